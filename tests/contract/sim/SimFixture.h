#pragma once

// The contract suite's fixture for the simulated desktop: the suite's dialogs and windows are
// simulated windows of the program's own process, as the Windows fixture creates real ones in
// the test process. Time is a manual clock that only processEvents moves, so the suite's waits
// cost no real time.

#include "../ContractFixture.h"

#include "sim/desktop/SimSystem.h"

#include <map>
#include <mutex>

class SimFixture : public contract::Fixture
{
public:
    SimFixture();

    const char* backendName() const override { return "sim"; }
    platform::Desktop& desktop() override { return m_system.desktop(); }
    platform::Processes& processes() override { return m_system.processes(); }
    platform::Registry& registry() override { return m_system.registry(); }

    platform::WindowId createDialog(const std::u16string& title,
                                    const std::vector<contract::ChildSpec>& children) override;
    std::vector<contract::CommandRecord> commandsReceived(platform::WindowId dialog) override;
    void destroyWindow(platform::WindowId window) override;
    platform::WindowId createHungWindow() override;
    void processEvents(int ms) override;
    platform::ProcessId knownProcess(std::u16string& expectedImagePath) override;
    std::uint64_t knownMemory(const std::string& bytes) override;
    platform::ProcessId startIdleProcess(const std::u16string& imageName) override;
    std::u16string scratchRegistryKey() override;
    bool deliversForegroundEvents(std::string& whyNot) override;

private:
    platform::ManualClock m_clock;
    sim::SimSystem m_system;
    std::mutex m_mutex;
    std::map<platform::WindowId, std::vector<contract::CommandRecord>> m_commands;
    std::uint64_t m_nextMemory = 0x20000000;
};
