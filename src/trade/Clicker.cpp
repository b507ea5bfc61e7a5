#include "trade/Clicker.h"

#include "platform/api/Platform.h"
#include "trade/WindowUtils.h"

Clicker::Clicker(QObject* parent) : QObject(parent)
{
    connect(&m_tickTimer, &QTimer::timeout, this, &Clicker::onTimerTick);
    connect(&m_checkTimer, &QTimer::timeout, this, &Clicker::checkMousePosition);
}

void Clicker::startAutoClicking()
{
    platform::Desktop* d = platform::services().desktop;
    if (!d)
        return;
    int x = 0;
    int y = 0;
    d->cursorPos(&x, &y);
    if (!m_running) {
        m_x = x;
        m_y = y;
        m_running = true;
        m_stopped = false;
        m_tickTimer.start(TickIntervalMs);
        m_checkTimer.start(CheckIntervalMs);
    }
    WindowUtils::cancelTopMost(d->foregroundWindow());
}

void Clicker::onTimerTick()
{
    if (m_stopped)
        return;
    if (m_nextIsMiddle)
        WindowUtils::middleClickAt(m_x, m_y);
    else
        WindowUtils::leftClickAt(m_x, m_y);
    m_nextIsMiddle = !m_nextIsMiddle;
}

void Clicker::checkMousePosition()
{
    platform::Desktop* d = platform::services().desktop;
    int x = 0;
    int y = 0;
    if (!d || !d->cursorPos(&x, &y))
        return;
    const qint64 dx = x - m_x;
    const qint64 dy = y - m_y;
    if (dx * dx + dy * dy > 100) {
        m_stopped = true;
        m_tickTimer.stop();
        m_checkTimer.stop();
        m_running = false;
    }
}
