#pragma once

#include "platform/api/Types.h"
#include "trade/TradeTypes.h"

#include <QString>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>

class StateMachine;

// Tells the rest of the program which trading client is in front and what kind of its windows.
//
// Its thread installs the foreground hook and runs an event loop that receives the hook's
// callbacks; each new foreground window is classified, the state machine moved into the
// matching state and the change announced. The same thread also looks at the foreground window
// every ForegroundPollMs (measured on the platform clock) and treats a window that has stayed in
// front for one interval, unreported, as the hook would: a hook can stay silent (Wine raises no
// foreground events; Windows reports only the hook's own desktop, so nothing while another one,
// such as a UAC prompt's secure desktop, is in front), and a window the hook did report is not
// reported again.
// On the constructing (GUI) thread a 50 ms poll follows the TDX main window between its 版面
// pages and the others while the stock-check feature is on, and reports a left click released
// over a 版面 page.
class DesktopWatcher : public QThread
{
    Q_OBJECT

public:
    // Asked by the poll whether the stock-check feature (Features/StockCheck) is on.
    using StockCheckEnabled = std::function<bool()>;

    static constexpr int PollIntervalMs = 50;
    // The foreground poll of the watcher thread: at most this often on the platform clock,
    // looked at every ForegroundTickMs of real time.
    static constexpr int ForegroundPollMs = 50;
    static constexpr int ForegroundTickMs = 10;

    // The state machine is shared, not owned. The poll starts at once when stock check is on.
    DesktopWatcher(StateMachine* stateMachine, StockCheckEnabled stockCheckEnabled,
                   QObject* parent = nullptr);
    ~DesktopWatcher() override;

    // Ends the thread: stops the poll, ends the event loop (the hook is removed on the thread
    // that installed it) and waits for the thread.
    void stop();
    // Starts the poll at 50 ms or stops it.
    void setPolling(bool enabled);
    bool isPolling() const { return m_pollTimer.isActive(); }
    // True while the hook is installed.
    bool isHooked() const { return m_hooked.load(); }

    static bool isTradingWindow(trade::HWND hwnd, const QString& className, const QString& title);
    // Classifies a trading-client window in front (watcher thread; directly for the first one).
    void classifyForegroundWindow(trade::HWND hwnd, const QString& className, const QString& title);
    // What the foreground hook does with a new foreground window.
    void onForegroundChanged(trade::HWND hwnd);

signals:
    void desktopChanged(trade::WPARAM hwnd);
    void mouseClick(trade::WPARAM hwnd);
    void appActivated(int softwareId, int subtype);

public slots:
    void checkCurrentWindow();
    void checkMouseStatus(trade::HWND hwnd);

protected:
    void run() override;

private:
    // The foreground poll (watcher thread): a new foreground window goes to onForegroundChanged.
    void pollForeground();

    struct WindowKey
    {
        trade::HWND hwnd = 0;
        platform::ProcessId pid = 0;
        bool operator==(const WindowKey& o) const { return hwnd == o.hwnd && pid == o.pid; }
    };

    StateMachine* m_stateMachine;
    StockCheckEnabled m_stockCheckEnabled;
    QTimer m_pollTimer;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_hooked{false};
    // Touched by the watcher thread only (hook callbacks and run).
    WindowKey m_current;
    WindowKey m_last;
    trade::HWND m_polledForeground = 0; // the last foreground window reported, by hook or poll
    trade::HWND m_polledCandidate = 0;  // the foreground window at the last poll
    std::int64_t m_lastForegroundPollMs = 0;
    // Touched by the poll only (GUI thread).
    bool m_mouseDown = false;
};
