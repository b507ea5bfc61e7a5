#pragma once

// Text conversions between the seam's UTF-16 and what Linux speaks (UTF-8 file names and
// properties, Latin-1 in old X properties).

#include <string>

namespace platform {
namespace utf {

std::string toUtf8(const std::u16string& text);
// Invalid sequences become U+FFFD, so text from other programs never breaks a caller.
std::u16string fromUtf8(const std::string& bytes);
std::u16string fromLatin1(const std::string& bytes);
bool isValidUtf8(const std::string& bytes);

// Win32's copy-into-caller's-buffer rule: at most size - 1 units and a terminating zero; the
// number of units copied. Nothing is written for size < 1.
int copyTruncated(const std::u16string& text, char16_t* buffer, int size);

} // namespace utf
} // namespace platform
