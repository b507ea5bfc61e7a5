#pragma once

// The contract suite's fixture on the real Windows backend: real "#32770" dialogs made from
// in-memory dialog templates, a window whose thread never pumps, this process as the known process.

#include "ContractFixture.h"
#include "platform/api/Platform.h"

#include <windows.h>

#include <list>
#include <map>
#include <string>
#include <vector>

namespace contract {

class Win32Fixture : public Fixture
{
public:
    Win32Fixture();
    ~Win32Fixture() override;

    const char* backendName() const override { return "win32"; }
    platform::Desktop& desktop() override { return *m_services.desktop; }
    platform::Processes& processes() override { return *m_services.processes; }
    platform::Registry& registry() override { return *m_services.registry; }

    platform::WindowId createDialog(const std::u16string& title,
                                    const std::vector<ChildSpec>& children) override;
    std::vector<CommandRecord> commandsReceived(platform::WindowId dialog) override;
    void destroyWindow(platform::WindowId window) override;
    platform::WindowId createHungWindow() override;
    void processEvents(int ms) override;

    platform::ProcessId knownProcess(std::u16string& expectedImagePath) override;
    std::uint64_t knownMemory(const std::string& bytes) override;
    platform::ProcessId startIdleProcess(const std::u16string& imageName) override;
    std::u16string scratchRegistryKey() override;
    bool deliversForegroundEvents(std::string& whyNot) override;
    bool findsAfterChildOfOtherClass(std::string& whyNot) override;

    // What a process started by startIdleProcess runs: it waits until it is ended or parentPid ends,
    // at most a minute, so that no copy outlives the suite.
    static int runIdle(DWORD parentPid);

private:
    struct HungWindow
    {
        HWND window = nullptr;
        HANDLE thread = nullptr;
        HANDLE release = nullptr;
    };
    struct IdleProcess
    {
        PROCESS_INFORMATION info{};
        std::wstring executable;
    };

    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI hungThread(void* context);
    void releaseHungWindow(std::map<HWND, HungWindow>::iterator hung);

    platform::Services m_services;
    std::vector<HWND> m_dialogs;
    std::map<HWND, std::vector<CommandRecord>> m_commands;
    std::map<HWND, HungWindow> m_hungWindows;
    std::list<std::string> m_memory; // stable addresses for knownMemory
    std::vector<IdleProcess> m_idleProcesses;
    std::wstring m_idleFolder;
    std::u16string m_scratchKey;
};

} // namespace contract
