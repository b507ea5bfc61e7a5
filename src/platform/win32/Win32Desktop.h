#pragma once

// The user32 surface: each call is the Win32 call the seam names, passed straight through.

#include "platform/api/Desktop.h"

namespace platform::win32 {

class Win32Desktop : public Desktop
{
public:
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
};

} // namespace platform::win32
