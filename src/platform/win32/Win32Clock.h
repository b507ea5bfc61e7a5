#pragma once

// The system clock with Windows' timer resolution: a fine timer is timeBeginPeriod(1), held
// once while any caller holds it and given back by the last timeEndPeriod(1), so nested calls
// balance and the process never leaves the system timer raised. Held and given back from one
// thread (the GUI thread, where trading mode is switched).

#include "platform/api/Clock.h"

namespace platform::win32 {

class Win32Clock : public Clock
{
public:
    ~Win32Clock() override;
    std::int64_t nowMs() override { return systemClock().nowMs(); }
    std::int64_t monotonicMs() override { return systemClock().monotonicMs(); }
    void sleepMs(int ms) override { systemClock().sleepMs(ms); }
    void beginFineTimer() override;
    void endFineTimer() override;
    int fineTimerHolds() const { return m_holds.count(); }
    // timeBeginPeriod(1) answered TIMERR_NOERROR while the holds are on.
    bool fineTimerGranted() const { return m_granted; }

private:
    FineTimerHolds m_holds;
    bool m_granted = false;
};

} // namespace platform::win32
