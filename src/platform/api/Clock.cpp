#include "Clock.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {
class SystemClock : public Clock
{
public:
    std::int64_t nowMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    }
    std::int64_t monotonicMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void sleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};
} // namespace

Clock& systemClock()
{
    static SystemClock clock;
    return clock;
}

std::int64_t ManualClock::nowMs()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_now;
}

std::int64_t ManualClock::monotonicMs()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_monotonic;
}

void ManualClock::advance(std::int64_t ms)
{
    std::function<void(std::int64_t)> observer;
    std::int64_t now;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_now += ms;
        m_monotonic += ms;
        now = m_monotonic;
        observer = m_observer;
    }
    if (observer)
        observer(now);
}

void ManualClock::setNow(std::int64_t ms)
{
    std::function<void(std::int64_t)> observer;
    std::int64_t monotonic;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_now = ms;
        monotonic = m_monotonic;
        observer = m_observer;
    }
    if (observer)
        observer(monotonic);
}

bool FineTimerHolds::begin()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return ++m_count == 1;
}

bool FineTimerHolds::end()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_count == 0)
        return false;
    return --m_count == 0;
}

int FineTimerHolds::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
}

std::int64_t WindowsTimerClock::sleptMs(std::int64_t at, int ms, bool fine)
{
    if (ms <= 0)
        return 0;
    // In eighths of a millisecond, where the 15.625 ms tick is a whole number (125).
    const std::int64_t tick = fine ? 8 : 125;
    const std::int64_t due = (at + ms) * 8;
    const std::int64_t wake = (due + tick - 1) / tick * tick;
    return (wake + 7) / 8 - at;
}

void WindowsTimerClock::sleepMs(int ms)
{
    m_inner.sleepMs(int(sleptMs(m_inner.monotonicMs(), ms, m_holds.count() > 0)));
}

void ManualClock::setObserver(std::function<void(std::int64_t)> observer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observer = std::move(observer);
}

} // namespace platform
