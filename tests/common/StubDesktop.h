#pragma once

// Platform services that answer "nothing there" to every call. A test derives from them and
// overrides only the calls its code under test makes, recording what it needs to assert.

#include "platform/api/Desktop.h"
#include "platform/api/Processes.h"

namespace zktest {

class StubDesktop : public platform::Desktop
{
public:
    using WindowId = platform::WindowId;

    std::vector<WindowId> topLevelWindows() override { return {}; }
    std::vector<WindowId> childWindows(WindowId) override { return {}; }
    WindowId findWindowEx(WindowId, WindowId, const char16_t*, const char16_t*) override { return 0; }
    WindowId foregroundWindow() override { return 0; }
    bool isWindow(WindowId) override { return false; }
    bool isWindowVisible(WindowId) override { return false; }
    bool isWindowEnabled(WindowId) override { return false; }
    bool isIconic(WindowId) override { return false; }
    std::uint32_t windowStyle(WindowId) override { return 0; }
    std::uint32_t windowExStyle(WindowId) override { return 0; }
    bool setWindowExStyle(WindowId, std::uint32_t) override { return false; }
    WindowId parentWindow(WindowId) override { return 0; }
    int dlgCtrlId(WindowId) override { return 0; }
    platform::ProcessId windowProcessId(WindowId) override { return 0; }
    int className(WindowId, char16_t* buffer, int bufferSize) override
    {
        return terminate(buffer, bufferSize);
    }
    int windowText(WindowId, char16_t* buffer, int maxCount) override { return terminate(buffer, maxCount); }
    bool setWindowText(WindowId, const char16_t*) override { return false; }
    std::intptr_t sendMessage(WindowId, std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
    bool sendMessageTimeout(WindowId, std::uint32_t, std::uintptr_t, std::intptr_t, std::uint32_t,
                            std::uint32_t, std::uintptr_t*) override
    {
        return false;
    }
    bool postMessage(WindowId, std::uint32_t, std::uintptr_t, std::intptr_t) override { return false; }
    bool setWindowPos(WindowId, WindowId, int, int, int, int, std::uint32_t) override { return false; }
    bool setForegroundWindow(WindowId) override { return false; }
    bool bringWindowToTop(WindowId) override { return false; }
    WindowId setFocus(WindowId) override { return 0; }
    bool showWindow(WindowId, int) override { return false; }
    void keybdEvent(std::uint8_t, bool) override {}
    unsigned sendInput(const platform::Input*, unsigned) override { return 0; }
    bool asyncKeyDown(int) override { return false; }
    bool cursorPos(int*, int*) override { return false; }
    bool setCursorPos(int, int) override { return false; }
    platform::ScreenSize screenSize() override { return {}; }
    std::unique_ptr<platform::ForegroundHook> hookForeground(platform::ForegroundCallback,
                                                             platform::Dispatcher) override
    {
        return nullptr;
    }

protected:
    static int terminate(char16_t* buffer, int size)
    {
        if (buffer && size > 0)
            buffer[0] = 0;
        return 0;
    }
};

class StubProcesses : public platform::Processes
{
public:
    bool snapshot(std::vector<platform::ProcessEntry>&) override { return false; }
    platform::ProcessId currentProcessId() override { return 0; }
    platform::ProcessHandle openProcess(std::uint32_t, platform::ProcessId) override { return 0; }
    void closeHandle(platform::ProcessHandle) override {}
    bool queryFullProcessImageName(platform::ProcessHandle, std::u16string&) override { return false; }
    bool isWow64Process(platform::ProcessHandle, bool*) override { return false; }
    bool enumProcessModules(platform::ProcessHandle, platform::ModuleFilter,
                            std::vector<platform::ModuleEntry>&) override
    {
        return false;
    }
    bool readProcessMemory(platform::ProcessHandle, std::uint64_t, void*, std::size_t, std::size_t*) override
    {
        return false;
    }
    std::uint32_t lastError() override { return 0; }
    platform::CommandResult runCommand(const std::u16string&, const std::vector<std::u16string>&,
                                       std::uint32_t) override
    {
        return {};
    }
};

} // namespace zktest
