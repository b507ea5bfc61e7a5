#pragma once

// The desktop of the program's own windows on Linux, over X11 with the window manager's EWMH
// protocol and XTest for synthetic input. Window ids are X window ids (a Qt widget's winId()).
//
// What maps onto X11:
//   foregroundWindow    the root's _NET_ACTIVE_WINDOW; without that property (no EWMH window
//                       manager) the top-level window holding the input focus
//   className           the class part of WM_CLASS, truncated into the caller's buffer like
//                       GetClassNameW
//   windowText          _NET_WM_NAME (UTF-8), else WM_NAME; setWindowText writes both
//   isWindowVisible     viewable (mapped with every ancestor) or minimized, as WS_VISIBLE stays
//                       set on a minimized Windows window; windowStyle reports just that bit
//   isIconic            WM_STATE is IconicState
//   windowProcessId     _NET_WM_PID (0 when the window does not publish it)
//   parentWindow        WM_TRANSIENT_FOR (the owner)
//   windowExStyle       Topmost while _NET_WM_STATE holds _NET_WM_STATE_ABOVE; Transparent while
//                       the window's input region is empty; Layered as last set
//   setWindowExStyle    Transparent = clicks pass through (an empty XShape input region);
//                       Layered has no X11 meaning and is only remembered; Topmost is ignored,
//                       as on Windows (SetWindowPos changes it)
//   setWindowPos        Topmost / NoTopmost add or remove _NET_WM_STATE_ABOVE: a request to the
//                       window manager for a managed window, the property itself for a withdrawn
//                       window or when no EWMH window manager runs; Topmost and Top also raise,
//                       Bottom lowers; moving, sizing and swp::ShowWindow as on Windows
//   setForegroundWindow, bringWindowToTop
//                       a _NET_ACTIVE_WINDOW request to the window manager and a raise; without
//                       a window manager the window is raised and given the input focus
//   showWindow          Hide withdraws, Minimize iconifies (needs a window manager), the others map
//   sendMessage / postMessage
//                       WM_CLOSE asks the window to close (WM_DELETE_WINDOW; false when the
//                       window does not take part in that protocol); WM_GETTEXT,
//                       WM_GETTEXTLENGTH and WM_SETTEXT act on the title of a top-level window
//   keybdEvent, sendInput, asyncKeyDown, cursorPos, setCursorPos
//                       XTest, XQueryKeymap, XQueryPointer; absolute mouse positions are
//                       scaled from 0..65535 to the X screen and, as on Windows, used only with
//                       mouseevent::Move
//   screenSize          the X screen (all monitors together)
//   hookForeground      a watcher thread on its own connection (X11ForegroundHook)
//
// Only a window manager makes the topmost band, activation and minimizing effective; without one
// (a bare Xvfb) the state is recorded in the properties and the windows are raised and focused
// directly, but nothing keeps a topmost window above others.
//
// What Linux does not offer answers "none": there are no child controls of Windows programs
// (childWindows is empty, findWindowEx below a parent is 0, dlgCtrlId is 0), no dialog commands
// (WM_COMMAND, BM_CLICK and private messages answer 0 / false), no disabled windows
// (isWindowEnabled is true for every window) and no hung-window detection (sendMessageTimeout
// of WM_NULL and any message other than the title and close ones answers false).
//
// Thread-safe: every call takes the object's lock around its own X connection.

#include "platform/api/Desktop.h"

#include <memory>
#include <string>

namespace platform {

class X11Desktop : public Desktop
{
public:
    // Opens a connection to displayName (empty: $DISPLAY). Null when no X server answers.
    static std::unique_ptr<X11Desktop> open(const std::string& displayName = std::string());
    ~X11Desktop() override;

    std::vector<WindowId> topLevelWindows() override;
    std::vector<WindowId> childWindows(WindowId parent) override;
    WindowId findWindowEx(WindowId parent, WindowId childAfter, const char16_t* className,
                          const char16_t* windowName) override;
    WindowId foregroundWindow() override;

    bool isWindow(WindowId window) override;
    bool isWindowVisible(WindowId window) override;
    bool isWindowEnabled(WindowId window) override;
    bool isIconic(WindowId window) override;
    std::uint32_t windowStyle(WindowId window) override;
    std::uint32_t windowExStyle(WindowId window) override;
    bool setWindowExStyle(WindowId window, std::uint32_t exStyle) override;
    WindowId parentWindow(WindowId window) override;
    int dlgCtrlId(WindowId window) override;
    ProcessId windowProcessId(WindowId window) override;
    int className(WindowId window, char16_t* buffer, int bufferSize) override;
    int windowText(WindowId window, char16_t* buffer, int maxCount) override;
    bool setWindowText(WindowId window, const char16_t* text) override;

    std::intptr_t sendMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
    bool sendMessageTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam, std::uint32_t flags, std::uint32_t timeoutMs,
                            std::uintptr_t* result) override;
    bool postMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) override;

    bool setWindowPos(WindowId window, WindowId insertAfter, int x, int y, int cx, int cy,
                      std::uint32_t flags) override;
    bool setForegroundWindow(WindowId window) override;
    bool bringWindowToTop(WindowId window) override;
    WindowId setFocus(WindowId window) override;
    bool showWindow(WindowId window, int command) override;

    void keybdEvent(std::uint8_t virtualKey, bool keyUp) override;
    unsigned sendInput(const Input* inputs, unsigned count) override;
    bool asyncKeyDown(int virtualKey) override;
    bool cursorPos(int* x, int* y) override;
    bool setCursorPos(int x, int y) override;
    ScreenSize screenSize() override;

    std::unique_ptr<ForegroundHook> hookForeground(ForegroundCallback callback,
                                                   Dispatcher dispatcher) override;

    // Whether an EWMH window manager runs on this display (_NET_SUPPORTING_WM_CHECK).
    bool windowManagerRunning();

private:
    struct Impl;
    explicit X11Desktop(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace platform
