#pragma once

// The handle types that travel in trade automation's signals. They are the platform seam's
// window ids under the names the trading code is written in; they live in a namespace so that
// they never meet the Windows SDK's own HWND / WPARAM (Qt declares HWND on Windows).

#include "platform/api/Types.h"

#include <QtGlobal>

namespace trade {

// A window of the trading clients (Win32 HWND).
using HWND = platform::WindowId;
// A window handle as carried by desktopChanged, setNewTask and performDetection: an unsigned
// 64-bit number, whatever the pointer size.
using WPARAM = quint64;

inline HWND toHwnd(WPARAM value)
{
    return static_cast<HWND>(value);
}

inline WPARAM toWParam(HWND hwnd)
{
    return static_cast<WPARAM>(hwnd);
}

// Registers trade::HWND, trade::WPARAM and WindowState for queued signals (string-based
// connections included). Called once by the application at start; harmless to repeat.
void registerMetaTypes();

} // namespace trade
