#pragma once

// UTF-16 text between the seam (char16_t) and the Win32 wide API (wchar_t, 16 bits on Windows).

#include <windows.h>

#include <string>

namespace platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 wide API uses UTF-16 units");

inline const wchar_t* wide(const char16_t* text)
{
    return reinterpret_cast<const wchar_t*>(text);
}

inline wchar_t* wide(char16_t* text)
{
    return reinterpret_cast<wchar_t*>(text);
}

inline const wchar_t* wide(const std::u16string& text)
{
    return wide(text.c_str());
}

inline std::u16string fromWide(const wchar_t* text)
{
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

} // namespace platform::win32
