#pragma once

// Runs the simulated desktop's events in real time, on a thread of its own: for the demo and for
// scenarios on the system clock, where nothing else may call into the desktop when a client's
// delayed change falls due (a dialog that opens 50 ms after a key, a maximum that appears later).
// Deterministic tests drive events from a ManualClock instead (SimSystem::driveEventsFrom).

#include <condition_variable>
#include <mutex>
#include <thread>

namespace sim {

class SimDesktop;

class EventPump
{
public:
    // Starts the thread. The desktop's clock must follow real time.
    explicit EventPump(SimDesktop& desktop);
    // Stops and joins the thread.
    ~EventPump();
    EventPump(const EventPump&) = delete;
    EventPump& operator=(const EventPump&) = delete;

private:
    void run();
    void wake();

    SimDesktop& m_desktop;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_woken = false;
    std::thread m_thread;
};

} // namespace sim
