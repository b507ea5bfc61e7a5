#pragma once

#include <QString>
#include <QtGlobal>

// Tells when the quantity an order dialog shows has settled: the client (or the keyboard typing
// digits) may still be changing it, and confirming a half-typed number would place the wrong
// order. A text counts as stable once it has been seen at least three times in a row over at
// least 6 ms, and, when the keyboard does the split, not before 30 ms after its key and only
// once it has stayed unchanged for longer than keyboardSettleMs (a keyboard typing "1000"
// shows "1", "10" and "100" for up to one keystroke interval each).
class QuantityStabilityTracker
{
public:
    static constexpr int MinSightings = 3;
    static constexpr qint64 MinSettleMs = 6;
    static constexpr qint64 MinAfterKeyMs = 30;

    // Feeds one reading taken at nowMs. keyTimeMs is when the keyboard's split key arrived (0 when
    // unknown); it only counts with splitKey set.
    bool observe(const QString& text, qint64 nowMs, bool splitKey, qint64 keyTimeMs, qint64 keyboardSettleMs = 0);
    void reset();

    const QString& lastText() const { return m_lastText; }
    int count() const { return m_count; }

private:
    QString m_lastText;
    qint64 m_firstSeenAt = 0;
    int m_count = 0;
};
