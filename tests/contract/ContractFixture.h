#pragma once

// What a backend must provide so that the one Qt-free contract suite can run against it.
// The suite (ContractSuite.cpp) asserts only through platform::Desktop / Processes / Registry;
// a fixture builds the windows and processes those assertions look at, in the backend's own way:
// real "#32770" dialogs and child controls under Wine, simulated windows natively.

#include "platform/api/Desktop.h"
#include "platform/api/Processes.h"
#include "platform/api/Registry.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace contract {

struct ChildSpec
{
    std::u16string className; // "Static", "Edit", "Button"
    std::u16string text;
    int controlId = 0;
    bool visible = true;
    bool enabled = true;
};

struct CommandRecord
{
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class Fixture
{
public:
    virtual ~Fixture() = default;

    virtual const char* backendName() const = 0; // "sim", "win32"
    virtual platform::Desktop& desktop() = 0;
    virtual platform::Processes& processes() = 0;
    virtual platform::Registry& registry() = 0;

    // A visible top-level dialog of class "#32770" with the given children created in this
    // order (so enumeration returns them in this order). It closes (is destroyed) on WM_CLOSE and
    // when Esc is pressed while it is in front (IDCANCEL), and records every WM_COMMAND it gets.
    virtual platform::WindowId createDialog(const std::u16string& title, const std::vector<ChildSpec>& children) = 0;
    virtual std::vector<CommandRecord> commandsReceived(platform::WindowId dialog) = 0;
    // Destroys a window made by this fixture (no-op when it is gone).
    virtual void destroyWindow(platform::WindowId window) = 0;

    // A top-level window whose thread never answers messages (hung).
    virtual platform::WindowId createHungWindow() = 0;

    // Lets queued messages of the fixture's windows be handled for about ms milliseconds
    // (posted WM_CLOSE, synthetic key presses).
    virtual void processEvents(int ms) = 0;

    // A process whose image path is known: its pid and the expected full path.
    virtual platform::ProcessId knownProcess(std::u16string& expectedImagePath) = 0;
    // An address inside knownProcess() that holds exactly these bytes.
    virtual std::uint64_t knownMemory(const std::string& bytes) = 0;
    // What IsWow64Process says of knownProcess(): true for a 32-bit process on 64-bit Windows.
    virtual bool knownProcessIsWow64() { return false; }

    // Starts a process whose executable file name is imageName ("zkidle.exe"), which runs until it
    // is ended (taskkill) or the fixture goes away. Its pid, or 0 when the fixture cannot.
    virtual platform::ProcessId startIdleProcess(const std::u16string& /*imageName*/) { return 0; }

    // A registry key below HKEY_CURRENT_USER that the suite may create and delete.
    virtual std::u16string scratchRegistryKey() = 0;

    // Whether foreground changes are delivered to hooks by this backend here; when not, why.
    virtual bool deliversForegroundEvents(std::string& whyNot) = 0;
    // Whether FindWindowExW continues after a childAfter whose class differs from the one searched,
    // as Windows does; when not, why.
    virtual bool findsAfterChildOfOtherClass(std::string& /*whyNot*/) { return true; }
};

// Runs every contract case against the fixture; prints one line per case
// ("PASS name", "FAIL name: why", "SKIP name: why") and returns the number of failures.
int runContractSuite(Fixture& fixture);

} // namespace contract
