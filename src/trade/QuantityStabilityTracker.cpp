#include "trade/QuantityStabilityTracker.h"

bool QuantityStabilityTracker::observe(const QString& text, qint64 nowMs, bool splitKey, qint64 keyTimeMs,
                                       qint64 keyboardSettleMs)
{
    if (text.isEmpty() || text == QLatin1String("0")) {
        reset();
        return false;
    }
    if (text != m_lastText) {
        m_lastText = text;
        m_firstSeenAt = nowMs;
        m_count = 1;
        return false;
    }
    ++m_count;
    const bool settled = m_count >= MinSightings && nowMs - m_firstSeenAt >= MinSettleMs;
    if (splitKey && keyTimeMs > 0)
        return settled && nowMs - keyTimeMs >= MinAfterKeyMs && nowMs - m_firstSeenAt > keyboardSettleMs;
    return settled;
}

void QuantityStabilityTracker::reset()
{
    m_lastText.clear();
    m_firstSeenAt = 0;
    m_count = 0;
}
