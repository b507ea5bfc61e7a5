#include "Win32Clock.h"

#include <windows.h>

#include <mmsystem.h>

namespace platform::win32 {

Win32Clock::~Win32Clock()
{
    while (m_holds.count() > 0)
        endFineTimer();
}

void Win32Clock::beginFineTimer()
{
    if (m_holds.begin())
        m_granted = timeBeginPeriod(1) == TIMERR_NOERROR;
}

void Win32Clock::endFineTimer()
{
    if (m_holds.end() && m_granted) {
        timeEndPeriod(1);
        m_granted = false;
    }
}

} // namespace platform::win32
