#pragma once

// Small text helpers shared by the simulated desktop and its fake clients (UTF-16 on the
// Windows side, UTF-8 for files and messages).

#include <string>

namespace sim {

// Windows compares class names, titles in FindWindowEx and executable names without case.
bool equalsIgnoreCase(const std::u16string& a, const std::u16string& b);
// ASCII letters to lower case (Windows paths, executable names, registry keys).
std::u16string lowerAscii(std::u16string text);
std::u16string decimal(long long value);
std::string toUtf8(const std::u16string& text);
std::u16string fromUtf8(const std::string& text);

} // namespace sim
