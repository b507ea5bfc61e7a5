#include "EventPump.h"

#include "SimDesktop.h"

#include <algorithm>
#include <chrono>

namespace sim {

namespace {
// Events of a thread that hangs stay due; look again now and then instead of spinning.
constexpr std::int64_t BlockedRetryMs = 10;
} // namespace

EventPump::EventPump(SimDesktop& desktop) : m_desktop(desktop)
{
    m_desktop.setScheduleListener([this] { wake(); });
    m_thread = std::thread([this] { run(); });
}

EventPump::~EventPump()
{
    m_desktop.setScheduleListener(nullptr);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void EventPump::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_wake.notify_all();
}

void EventPump::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        m_woken = false;
        lock.unlock();
        m_desktop.runPending();
        const std::int64_t next = m_desktop.nextEventTime();
        const std::int64_t now = m_desktop.clock().monotonicMs();
        lock.lock();
        if (m_stop || m_woken)
            continue;
        auto done = [this] { return m_stop || m_woken; };
        if (next < 0)
            m_wake.wait(lock, done);
        else
            m_wake.wait_for(lock, std::chrono::milliseconds(next > now ? next - now : BlockedRetryMs), done);
    }
}

} // namespace sim
