#pragma once

// One simulated Windows machine: the desktop, its processes, registry, hot keys and autostart
// entries, the order book of the fake trading clients, all on one clock. The program under test
// runs as the process "zentrikclock.exe".
//
//   platform::ManualClock clock;
//   sim::SimSystem system(clock);
//   system.install();                      // platform::services() now reaches the simulator
//   sim::FakeTdx tdx(system);              // a running TDX with the built-in layout
//   auto dialog = tdx.openFlashBuy({});    // 闪电买入 in front
//   ... system.orderBook().submitted() ...

#include "EventPump.h"
#include "OrderBook.h"
#include "SimAutostart.h"
#include "SimDesktop.h"
#include "SimHotkeys.h"
#include "SimProcesses.h"
#include "SimRegistry.h"

#include "platform/api/Platform.h"

#include <memory>

namespace sim {

class SimSystem
{
public:
    explicit SimSystem(platform::Clock& clock);
    ~SimSystem();
    SimSystem(const SimSystem&) = delete;
    SimSystem& operator=(const SimSystem&) = delete;

    platform::Clock& clock() { return m_clock; }
    SimDesktop& desktop() { return m_desktop; }
    SimProcesses& processes() { return m_processes; }
    SimRegistry& registry() { return m_registry; }
    SimHotkeys& hotkeys() { return m_hotkeys; }
    SimAutostart& autostart() { return m_autostart; }
    OrderBook& orderBook() { return m_orderBook; }
    platform::ProcessId programPid() const { return m_programPid; }

    // base with the simulated desktop, processes, registry, hot keys, autostart and clock filled
    // in. hid, hidPorts and hostDesktop are kept from base (the program's own windows live on the
    // host's desktop, not on this one).
    platform::Services services(const platform::Services& base = {});
    // platform::install(services(platform::services())).
    void install();
    // Lets a manual clock run the desktop's due events whenever it is advanced (replaces the
    // clock's observer).
    void driveEventsFrom(platform::ManualClock& clock);
    // On a real-time clock (demo, scenarios): a thread runs the desktop's events when they fall
    // due, until stopEventThread() or the end of the system.
    void startEventThread();
    void stopEventThread();

private:
    platform::Clock& m_clock;
    SimDesktop m_desktop;
    SimProcesses m_processes;
    SimRegistry m_registry;
    SimHotkeys m_hotkeys;
    SimAutostart m_autostart;
    OrderBook m_orderBook;
    platform::ProcessId m_programPid = 0;
    std::unique_ptr<EventPump> m_eventPump; // last: stops before the rest goes
};

} // namespace sim
