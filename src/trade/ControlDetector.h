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
    ~ControlDetector() override;

    // Ends the thread: interrupts a running task through the worker, drops a pending one and
    // waits for the thread to finish. Call from another thread than the detector's.
    void stop();

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
