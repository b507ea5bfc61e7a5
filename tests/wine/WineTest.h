#pragma once

// The few lines of harness the Windows-only suites need (they are Qt-free, cross-built and run
// under Wine): named cases, REQUIRE stops a case at its first failure, one line per case.

#include <cstdio>
#include <string>
#include <vector>

namespace winetest {

struct TestCase
{
    const char* name;
    void (*run)();
};

inline std::string& failure()
{
    static std::string text;
    return text;
}

inline void fail(int line, const std::string& what)
{
    if (failure().empty())
        failure() = what + " (line " + std::to_string(line) + ")";
}

// Prints "PASS name" / "FAIL name: why" and a closing count; the exit code for main().
inline int run(const char* suite, const std::vector<TestCase>& cases)
{
    int passed = 0;
    int failed = 0;
    std::printf("%s\n", suite);
    for (const TestCase& test : cases) {
        failure().clear();
        test.run();
        if (failure().empty()) {
            ++passed;
            std::printf("PASS %s\n", test.name);
        } else {
            ++failed;
            std::printf("FAIL %s: %s\n", test.name, failure().c_str());
        }
        std::fflush(stdout);
    }
    std::printf("%s: %d passed, %d failed\n", suite, passed, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace winetest

#define REQUIRE(condition)                                                                                   \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            winetest::fail(__LINE__, #condition);                                                            \
            return;                                                                                          \
        }                                                                                                    \
    } while (0)
