#pragma once

// Text between the seam's UTF-16 and the UTF-8 of files, diagnostics and Linux, and the Win32
// rules for copying text into a caller's buffer and comparing names. Qt-free, so that every
// backend (the Windows one included) and the simulators share one implementation.

#include <cstdint>
#include <string>

namespace platform {

// A lone surrogate has no UTF-8 form and becomes U+FFFD.
std::string toUtf8(const std::u16string& text);
// Each byte that does not start a well-formed sequence (overlong forms, surrogates and values
// above U+10FFFF included) becomes U+FFFD, so text from other programs never breaks a caller.
std::u16string fromUtf8(const std::string& bytes);
std::u16string fromLatin1(const std::string& bytes);
bool isValidUtf8(const std::string& bytes);
// Appends one code point (a surrogate pair above U+FFFF); one that is not a Unicode scalar value
// becomes U+FFFD.
void appendUtf16(std::u16string& out, char32_t codePoint);

// The copy-into-caller's-buffer rule of GetWindowTextW, GetClassNameW and WM_GETTEXT: at most
// size - 1 units and a terminating zero; returns the number of units copied. Nothing is written
// when buffer is null or size < 1.
int copyTruncated(const std::u16string& text, char16_t* buffer, std::int64_t size);

// Windows compares class names, titles in FindWindowEx, executable names and registry keys
// without case; the program's names differ in ASCII letters only.
bool equalsIgnoreCase(const std::u16string& a, const std::u16string& b);
std::u16string lowerAscii(std::u16string text);

} // namespace platform
