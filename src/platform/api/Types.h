#pragma once

// Qt-free vocabulary of the platform seam. The values are the Win32 ones, so code above the seam
// reads like the Windows calls it stands for, and the Windows backend passes them through.

#include <cstdint>

namespace platform {

using WindowId = std::uintptr_t;  // HWND; 0 = no window
using ProcessId = std::uint32_t;  // 0 = no process
using ProcessHandle = std::uintptr_t; // HANDLE from OpenProcess; 0 = none

namespace msg {
constexpr std::uint32_t Null = 0x0000;
constexpr std::uint32_t SetText = 0x000C;
constexpr std::uint32_t GetText = 0x000D;
constexpr std::uint32_t GetTextLength = 0x000E;
constexpr std::uint32_t Close = 0x0010;
constexpr std::uint32_t KeyDown = 0x0100;
constexpr std::uint32_t KeyUp = 0x0101;
constexpr std::uint32_t Command = 0x0111;
constexpr std::uint32_t BmClick = 0x00F5;
constexpr std::uint32_t User = 0x0400;
} // namespace msg

namespace notify {
constexpr std::uint16_t BnClicked = 0;
constexpr std::uint16_t EnChange = 0x0300;
} // namespace notify

// WM_COMMAND's wParam: control id in the low word, notification code in the high word.
constexpr std::uintptr_t makeCommandWParam(int controlId, std::uint16_t code)
{
    return (static_cast<std::uintptr_t>(code) << 16) | (static_cast<std::uintptr_t>(controlId) & 0xFFFF);
}

namespace style {
constexpr std::uint32_t Visible = 0x10000000;  // WS_VISIBLE
constexpr std::uint32_t Disabled = 0x08000000; // WS_DISABLED
constexpr std::uint32_t Child = 0x40000000;    // WS_CHILD
constexpr std::uint32_t Popup = 0x80000000;    // WS_POPUP
} // namespace style

namespace exstyle {
constexpr std::uint32_t Topmost = 0x00000008;     // WS_EX_TOPMOST
constexpr std::uint32_t Transparent = 0x00000020; // WS_EX_TRANSPARENT
constexpr std::uint32_t Layered = 0x00080000;     // WS_EX_LAYERED
} // namespace exstyle

// SetWindowPos insert-after values.
namespace zorder {
constexpr WindowId Top = 0;
constexpr WindowId Bottom = 1;
constexpr WindowId Topmost = static_cast<WindowId>(-1);
constexpr WindowId NoTopmost = static_cast<WindowId>(-2);
} // namespace zorder

namespace swp {
constexpr std::uint32_t NoSize = 0x0001;
constexpr std::uint32_t NoMove = 0x0002;
constexpr std::uint32_t NoZOrder = 0x0004;
constexpr std::uint32_t NoActivate = 0x0010;
constexpr std::uint32_t ShowWindow = 0x0040;
constexpr std::uint32_t HideWindow = 0x0080;
} // namespace swp

// ShowWindow commands.
namespace sw {
constexpr int Hide = 0;
constexpr int ShowNormal = 1;
constexpr int ShowMinimized = 2;
constexpr int Show = 5;
constexpr int Minimize = 6;
constexpr int ShowMinNoActive = 7;
constexpr int Restore = 9;
} // namespace sw

// SendMessageTimeout flags.
namespace smto {
constexpr std::uint32_t Normal = 0x0000;
constexpr std::uint32_t Block = 0x0001;
constexpr std::uint32_t AbortIfHung = 0x0002;
} // namespace smto

// Virtual-key codes used by the program.
namespace vk {
constexpr int LButton = 0x01;
constexpr int RButton = 0x02;
constexpr int MButton = 0x04;
constexpr int Return = 0x0D;
constexpr int Shift = 0x10;
constexpr int Control = 0x11;
constexpr int Menu = 0x12;
constexpr int Escape = 0x1B;
constexpr int Space = 0x20;
constexpr int F12 = 0x7B;
constexpr int Oem3 = 0xC0; // the key of '`' / '~' (Qt's Key_Agrave maps here)
} // namespace vk

// Input (SendInput) records.
namespace keyevent {
constexpr std::uint32_t KeyUp = 0x0002; // KEYEVENTF_KEYUP
} // namespace keyevent

namespace mouseevent {
constexpr std::uint32_t Move = 0x0001;
constexpr std::uint32_t LeftDown = 0x0002;
constexpr std::uint32_t LeftUp = 0x0004;
constexpr std::uint32_t RightDown = 0x0008;
constexpr std::uint32_t RightUp = 0x0010;
constexpr std::uint32_t MiddleDown = 0x0020;
constexpr std::uint32_t MiddleUp = 0x0040;
constexpr std::uint32_t Absolute = 0x8000;
} // namespace mouseevent

struct Input
{
    enum class Type { Keyboard, Mouse };
    Type type = Type::Keyboard;
    // Keyboard
    std::uint16_t vk = 0;
    // Keyboard: keyevent flags; Mouse: mouseevent flags.
    std::uint32_t flags = 0;
    // Mouse: with mouseevent::Absolute, 0..65535 across the primary screen.
    std::int32_t dx = 0;
    std::int32_t dy = 0;
};

struct ScreenSize
{
    int width = 0;
    int height = 0;
};

// RegisterHotKey modifiers.
namespace modifier {
constexpr std::uint32_t Alt = 0x0001;
constexpr std::uint32_t Control = 0x0002;
constexpr std::uint32_t Shift = 0x0004;
constexpr std::uint32_t Win = 0x0008;
} // namespace modifier

// OpenProcess access rights.
namespace access {
constexpr std::uint32_t VmRead = 0x0010;
constexpr std::uint32_t QueryInformation = 0x0400;
constexpr std::uint32_t QueryLimitedInformation = 0x1000;
} // namespace access

// GetLastError values the program distinguishes.
namespace error {
constexpr std::uint32_t Success = 0;
constexpr std::uint32_t AccessDenied = 5;
constexpr std::uint32_t InvalidWindowHandle = 1400;
constexpr std::uint32_t Timeout = 1460;
} // namespace error

} // namespace platform
