#include "clock/stocks/ClipboardWatcher.h"

#include "clock/stocks/StockLookup.h"
#include "platform/api/Platform.h"

#include <QTimerEvent>

ClipboardWatcher::ClipboardWatcher(QObject* window, QObject* parent) : QObject(parent), m_window(window) {}

void ClipboardWatcher::start(trade::WPARAM window, int timeoutMs)
{
    m_target = trade::toHwnd(window);
    m_timeoutMs = timeoutMs;
    m_pollTimer.start(PollMs, this);
    m_timeoutTimer.start(timeoutMs, this);
    if (platform::Desktop* desktop = platform::services().desktop)
        desktop->postMessage(m_target, StockLookup::kCopyStockMessage, 0, 0);
}

void ClipboardWatcher::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_pollTimer.timerId())
        emit requestClipboardText();
    else if (event->timerId() == m_timeoutTimer.timerId()) {
        m_pollTimer.stop();
        m_timeoutTimer.stop();
        emit timeout();
    }
    else
        QObject::timerEvent(event);
}

void ClipboardWatcher::onClipboardTextReady(const QString& text)
{
    if (text == m_lastText)
        return;
    m_lastText = text;
    m_pollTimer.stop();
    m_timeoutTimer.stop();
    emit clipboardTextChanged(text);
}
