#pragma once

#include "trade/TradeTypes.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

class DetectionWorker;
class StateMachine;

// The thread that runs the order dialog worker for the newest foreground window, one task at a
// time. The queue has one slot: a window that arrives while another one waits replaces it.
class ControlDetector : public QThread
{
    Q_OBJECT

public:
    // Neither the state machine nor the worker is owned; both must outlive the detector.
    ControlDetector(StateMachine* stateMachine, DetectionWorker* worker, QObject* parent = nullptr);
    // Stops the thread; should it not finish within StopWaitMs, waits for it (a running thread
    // must not lose its object): owners that must not wait use stop() first.
    ~ControlDetector() override;

    // How long stop() waits for the thread. Every call the worker makes into a client is bounded
    // (WindowUtils::ClientReplyLimitMs), so a stopped worker is out within a pass; the limit only
    // keeps the caller (the GUI thread turning trading mode off, a keyboard pulled out, quitting)
    // responsive should a pass ever take longer.
    static constexpr unsigned long StopWaitMs = 2000;

    // Ends the thread: interrupts a running task through the worker, drops a pending one and
    // waits up to StopWaitMs for the thread to finish. True when it has finished. False when it
    // is still busy: it has been told to end and ends by itself at its next check, still using
    // the worker and the state machine until then; the caller must keep those and this object
    // alive until finished(). Call from another thread than the detector's.
    bool stop();

    StateMachine* stateMachine() const { return m_stateMachine; }

public slots:
    void setNewTask(trade::WPARAM hwnd);

signals:
    void taskCompleted();
    void taskInterrupted();
    void taskStarted(trade::WPARAM hwnd);
    void newTaskReceived();

protected:
    void run() override;

private:
    StateMachine* m_stateMachine;
    DetectionWorker* m_worker;
    // Standard primitives rather than QMutex/QWaitCondition: the same semantics, and visible to
    // the thread sanitizer, which cannot see into the uninstrumented Qt library.
    std::mutex m_mutex;
    std::condition_variable m_condition;
    trade::WPARAM m_pendingHwnd = 0; // 0: nothing waiting
    bool m_taskInProgress = false;
    std::atomic<bool> m_running{false};
};
