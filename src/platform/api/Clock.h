#pragma once

// Time as trade automation sees it. Production code uses the system clock; tests and the
// deterministic core use a manual clock whose sleeps advance time instantly.

#include <cstdint>
#include <functional>
#include <mutex>

namespace platform {

class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since the Unix epoch (like QDateTime::currentMSecsSinceEpoch).
    virtual std::int64_t nowMs() = 0;
    // Blocks the calling thread for ms milliseconds of this clock's time.
    virtual void sleepMs(int ms) = 0;
};

// The real clock.
Clock& systemClock();

// A clock that only moves when told to: sleepMs(n) and advance(n) add n at once. An observer,
// when set, runs after every change of time (simulators use it to make scheduled things happen).
class ManualClock : public Clock
{
public:
    explicit ManualClock(std::int64_t startMs = 1'700'000'000'000) : m_now(startMs) {}
    std::int64_t nowMs() override;
    void sleepMs(int ms) override { advance(ms); }
    void advance(std::int64_t ms);
    void setNow(std::int64_t ms);
    void setObserver(std::function<void(std::int64_t)> observer);

private:
    std::mutex m_mutex;
    std::int64_t m_now;
    std::function<void(std::int64_t)> m_observer;
};

} // namespace platform
