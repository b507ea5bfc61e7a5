#pragma once

// Windows, messages, input and foreground events: the user32 surface the program relies on.
//
// Every call keeps the semantics of the Win32 call it is named after (documented per call), so
// that trade automation can be written call for call and any backend can be held to the same
// contract (tests/contract). Backends: win32 (real), sim (the simulated desktop with fake
// trading clients) and linux (the program's own windows on X11; child controls of other programs
// do not exist there and every such query answers "none").

#include "Types.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Uninstalls the foreground hook when destroyed (UnhookWinEvent).
class ForegroundHook
{
public:
    virtual ~ForegroundHook() = default;
};

// Called with the new foreground window (EVENT_SYSTEM_FOREGROUND).
using ForegroundCallback = std::function<void(WindowId)>;
// Runs a task on the thread that installed a hook. Out-of-context WinEvent hooks are delivered by
// that thread's message loop on Windows (the dispatcher is not needed there); backends without
// such a loop hand their callbacks to the dispatcher instead.
using Dispatcher = std::function<void(std::function<void()>)>;

class Desktop
{
public:
    virtual ~Desktop() = default;

    // ---- finding windows
    // EnumWindows: top-level windows in z-order, topmost first.
    virtual std::vector<WindowId> topLevelWindows() = 0;
    // EnumChildWindows: every descendant of parent, depth first, each child followed by its own
    // children, siblings in their creation (z) order.
    virtual std::vector<WindowId> childWindows(WindowId parent) = 0;
    // FindWindowExW: the next direct child of parent (0 = the desktop, i.e. top-level windows)
    // after childAfter (0 = from the first) whose class equals className and whose title equals
    // windowName, as whole names compared without case; a null pointer matches anything. 0 when
    // none.
    virtual WindowId findWindowEx(WindowId parent, WindowId childAfter, const char16_t* className,
                                  const char16_t* windowName) = 0;
    // GetForegroundWindow.
    virtual WindowId foregroundWindow() = 0;

    // ---- window properties
    virtual bool isWindow(WindowId window) = 0;
    // IsWindowVisible: the window and all its ancestors have WS_VISIBLE.
    virtual bool isWindowVisible(WindowId window) = 0;
    virtual bool isWindowEnabled(WindowId window) = 0;
    virtual bool isIconic(WindowId window) = 0;
    // GetWindowLongW(GWL_STYLE / GWL_EXSTYLE).
    virtual std::uint32_t windowStyle(WindowId window) = 0;
    virtual std::uint32_t windowExStyle(WindowId window) = 0;
    // SetWindowLongW(GWL_EXSTYLE); true on success.
    virtual bool setWindowExStyle(WindowId window, std::uint32_t exStyle) = 0;
    // GetParent: the parent of a child window (for a top-level window its owner, 0 if none).
    virtual WindowId parentWindow(WindowId window) = 0;
    // GetDlgCtrlID: the control id of a child window, 0 for none.
    virtual int dlgCtrlId(WindowId window) = 0;
    // GetWindowThreadProcessId: the owning process, 0 when the window does not exist.
    virtual ProcessId windowProcessId(WindowId window) = 0;
    // GetClassNameW: copies at most bufferSize - 1 units and a terminating zero; returns the
    // number of units copied, 0 on failure.
    virtual int className(WindowId window, char16_t* buffer, int bufferSize) = 0;
    // GetWindowTextW: copies at most maxCount - 1 units and a terminating zero; returns the
    // number of units copied, 0 when there is no text or no window.
    virtual int windowText(WindowId window, char16_t* buffer, int maxCount) = 0;
    // SetWindowTextW.
    virtual bool setWindowText(WindowId window, const char16_t* text) = 0;

    // ---- messages
    // SendMessageW. WM_GETTEXT takes (buffer size in units, char16_t* buffer) and returns the
    // units copied, truncating to the buffer; WM_SETTEXT takes (0, const char16_t*).
    // Returns after the receiver handled the message, with what it sent on the way: a single-line
    // edit given WM_SETTEXT has sent its parent WM_COMMAND (id, EN_CHANGE, the edit); a button
    // given BM_CLICK has taken the focus and sent WM_COMMAND (id, BN_CLICKED, the button).
    virtual std::intptr_t sendMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) = 0;
    // SendMessageTimeoutW: false when the call failed or timed out (for SMTO_ABORTIFHUNG also when
    // the receiving thread is hung); result receives the message's result when not null.
    virtual bool sendMessageTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam, std::uint32_t flags, std::uint32_t timeoutMs,
                                    std::uintptr_t* result) = 0;
    // PostMessageW: queued, returns at once.
    virtual bool postMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;

    // ---- z-order and activation
    // SetWindowPos with a zorder:: insert-after value and swp:: flags.
    virtual bool setWindowPos(WindowId window, WindowId insertAfter, int x, int y, int cx, int cy,
                              std::uint32_t flags) = 0;
    virtual bool setForegroundWindow(WindowId window) = 0;
    virtual bool bringWindowToTop(WindowId window) = 0;
    // SetFocus: returns the window that had the focus before.
    virtual WindowId setFocus(WindowId window) = 0;
    // ShowWindow with an sw:: command: returns whether the window was visible before.
    virtual bool showWindow(WindowId window, int command) = 0;

    // ---- input
    // keybd_event: one key-down or key-up of a virtual key.
    virtual void keybdEvent(std::uint8_t virtualKey, bool keyUp) = 0;
    // SendInput: the number of inputs inserted.
    virtual unsigned sendInput(const Input* inputs, unsigned count) = 0;
    // High bit of GetAsyncKeyState.
    virtual bool asyncKeyDown(int virtualKey) = 0;
    // GetCursorPos / SetCursorPos in screen pixels.
    virtual bool cursorPos(int* x, int* y) = 0;
    virtual bool setCursorPos(int x, int y) = 0;
    // GetSystemMetrics(SM_CXSCREEN / SM_CYSCREEN).
    virtual ScreenSize screenSize() = 0;

    // ---- foreground events
    // SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, no module, callback,
    // all processes and threads, WINEVENT_OUTOFCONTEXT), installed for the calling thread.
    // Null when the hook cannot be installed.
    virtual std::unique_ptr<ForegroundHook> hookForeground(ForegroundCallback callback,
                                                           Dispatcher dispatcher) = 0;
};

} // namespace platform
