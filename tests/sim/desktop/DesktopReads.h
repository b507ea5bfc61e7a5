#pragma once

// Reading simulated windows the way the program's window utilities read Windows: class names in
// 32 units, window texts in 256/255, control texts by WM_GETTEXT into 32 units, the n-th "Static"
// by child enumeration and the n-th "Edit" by FindWindowExW.

#include "platform/api/Desktop.h"

#include <QString>

namespace reads {

inline QString qs(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

inline QString className(platform::Desktop& desktop, platform::WindowId window)
{
    char16_t buffer[32] = {};
    const int n = desktop.className(window, buffer, 32);
    return QString::fromUtf16(buffer, n);
}

inline QString windowText(platform::Desktop& desktop, platform::WindowId window)
{
    char16_t buffer[256] = {};
    const int n = desktop.windowText(window, buffer, 255);
    return QString::fromUtf16(buffer, n);
}

inline QString controlText(platform::Desktop& desktop, platform::WindowId window)
{
    char16_t buffer[32] = {};
    const auto n =
        desktop.sendMessage(window, platform::msg::GetText, 32, reinterpret_cast<std::intptr_t>(buffer));
    return n < 1 ? QString() : QString::fromUtf16(buffer, static_cast<int>(n));
}

// Every descendant whose class contains "Static" (any case), counted in enumeration order.
inline platform::WindowId nthStatic(platform::Desktop& desktop, platform::WindowId dialog, int n)
{
    int seen = 0;
    for (platform::WindowId child : desktop.childWindows(dialog)) {
        if (className(desktop, child).contains(QLatin1String("Static"), Qt::CaseInsensitive) && seen++ == n)
            return child;
    }
    return 0;
}

// The n-th direct child of exactly this class, each FindWindowExW continuing after the last find.
inline platform::WindowId nthChild(platform::Desktop& desktop, platform::WindowId dialog, const char16_t* cls,
                                   int n)
{
    platform::WindowId found = 0;
    for (int i = 0; i <= n; ++i) {
        found = desktop.findWindowEx(dialog, found, cls, nullptr);
        if (!found)
            return 0;
    }
    return found;
}

} // namespace reads
