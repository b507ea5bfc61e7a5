#pragma once

// Time as trade automation sees it. Production code uses the system clock; tests and the
// deterministic core use a manual clock whose sleeps advance time instantly.
//
// Two readings: the wall time (nowMs) for what happens at a time of day, and a monotonic reading
// (monotonicMs) for every interval and wait. Setting the system time (by hand, or an NTP step)
// moves the wall time only, so a 1000 ms limit measured on the monotonic reading neither fires at
// once nor stretches when it happens mid-trade.

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
    // Milliseconds from an arbitrary start that only ever moves forward with real time; for
    // intervals only (compare two readings, never show one).
    virtual std::int64_t monotonicMs() = 0;
    // Blocks the calling thread for ms milliseconds of this clock's time.
    virtual void sleepMs(int ms) = 0;
    // Asks for timers of 1 ms resolution until the matching endFineTimer; calls nest, and an end
    // without a begin does nothing. Windows otherwise ends every sleep on its 15.625 ms tick
    // (timeBeginPeriod); elsewhere sleeps are fine already and these do nothing.
    virtual void beginFineTimer() {}
    virtual void endFineTimer() {}
};

// Counts fine-timer holds: true from begin() when it is the first hold, from end() when it was
// the last one; an end() without a hold changes nothing and gives false.
class FineTimerHolds
{
public:
    bool begin();
    bool end();
    int count() const;

private:
    mutable std::mutex m_mutex;
    int m_count = 0;
};

// The real clock.
Clock& systemClock();

// A clock that only moves when told to: sleepMs(n) and advance(n) add n at once to both
// readings; setNow sets the wall time alone, as a change of the system time does (the monotonic
// reading starts equal to the wall time). An observer, when set, runs after every change of time
// with the monotonic reading (simulators use it to make scheduled things happen).
class ManualClock : public Clock
{
public:
    explicit ManualClock(std::int64_t startMs = 1'700'000'000'000) : m_now(startMs), m_monotonic(startMs) {}
    std::int64_t nowMs() override;
    std::int64_t monotonicMs() override;
    void sleepMs(int ms) override { advance(ms); }
    void advance(std::int64_t ms);
    void setNow(std::int64_t ms);
    void setObserver(std::function<void(std::int64_t)> observer);

private:
    std::mutex m_mutex;
    std::int64_t m_now;
    std::int64_t m_monotonic;
    std::function<void(std::int64_t)> m_observer;
};

// A clock whose sleeps end as Windows ends them: on the first timer tick at or after the due
// time, ticks 15.625 ms apart (the default resolution) or 1 ms apart while a fine timer is held.
// Ticks fall on the wrapped clock's monotonic reading (its multiples of the tick, rounded up to
// whole milliseconds); nowMs and monotonicMs are the wrapped clock's. Shows the program's timing
// as Windows would run it, on a ManualClock in tests and on the real clock in the benchmark.
class WindowsTimerClock : public Clock
{
public:
    explicit WindowsTimerClock(Clock& inner) : m_inner(inner) {}
    std::int64_t nowMs() override { return m_inner.nowMs(); }
    std::int64_t monotonicMs() override { return m_inner.monotonicMs(); }
    void sleepMs(int ms) override;
    void beginFineTimer() override { m_holds.begin(); }
    void endFineTimer() override { m_holds.end(); }
    int fineTimerHolds() const { return m_holds.count(); }
    // How long a sleep of ms begun at the monotonic reading `at` lasts.
    static std::int64_t sleptMs(std::int64_t at, int ms, bool fine);

private:
    Clock& m_inner;
    FineTimerHolds m_holds;
};

} // namespace platform
