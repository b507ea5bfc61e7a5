#pragma once

// Watches the clipboard after asking a TDX window to copy the stock the user clicked, on a
// thread of its own (one watcher and one thread per click). It never touches the clipboard
// itself: every poll asks the main window for the text (requestClipboardText), which answers
// on the GUI thread (onClipboardTextReady). It reports the first text that differs from the
// last one it saw, or timeout when the limit passes first.

#include "trade/TradeTypes.h"

#include <QBasicTimer>
#include <QObject>
#include <QString>

class ClipboardWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollMs = 300;

    explicit ClipboardWatcher(QObject* window, QObject* parent = nullptr);

    QObject* window() const { return m_window; }

public slots:
    // Starts both timers and asks the window to copy its stock (message 0x841B).
    void start(trade::WPARAM window, int timeoutMs);
    void onClipboardTextReady(const QString& text);

signals:
    void timeout();
    void requestClipboardText();
    void clipboardTextChanged(const QString& text);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QObject* m_window;
    QString m_lastText;
    QBasicTimer m_pollTimer;
    QBasicTimer m_timeoutTimer;
    trade::HWND m_target = 0;
    int m_timeoutMs = 0;
};
