// The platform contract against the real Windows backend (run under Wine by the test command).

#include "Win32Fixture.h"

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--idle") == 0)
        return contract::Win32Fixture::runIdle(std::strtoul(argv[2], nullptr, 10));
    contract::Win32Fixture fixture;
    return contract::runContractSuite(fixture) == 0 ? 0 : 1;
}
