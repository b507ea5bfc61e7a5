#include "trade/ControlDetector.h"

#include "trade/DetectionWorker.h"

#include <QDebug>

ControlDetector::ControlDetector(StateMachine* stateMachine, DetectionWorker* worker, QObject* parent)
    : QThread(parent), m_stateMachine(stateMachine), m_worker(worker)
{
    // setNewTask and taskStarted carry trade::WPARAM across threads.
    trade::registerMetaTypes();
}

ControlDetector::~ControlDetector()
{
    if (!stop())
        wait();
}

void ControlDetector::setNewTask(trade::WPARAM hwnd)
{
    qDebug().noquote() << "收到新任务，hwnd:" << hwnd;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pendingHwnd = hwnd;
    m_condition.notify_one();
    qDebug().noquote() << "新任务已设置，等待处理";
}

void ControlDetector::run()
{
    m_running = true;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_pendingHwnd)
                m_condition.wait_for(lock, std::chrono::milliseconds(100));
        }
        if (isInterruptionRequested()) {
            m_running = false;
            return;
        }

        trade::WPARAM task = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_pendingHwnd) {
                if (m_taskInProgress) {
                    qDebug().noquote() << "新任务到达，立即中断旧任务";
                    m_worker->stop();
                }
                task = m_pendingHwnd;
                m_pendingHwnd = 0;
                m_taskInProgress = true;
            }
        }
        if (task) {
            qDebug().noquote() << "开始执行新任务，hwnd:" << task;
            m_worker->performDetection(task);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_taskInProgress = false;
            }
            emit taskCompleted();
        }
        if (!m_running)
            return;
    }
}

bool ControlDetector::stop()
{
    qDebug().noquote() << "ControlDetector 停止";
    requestInterruption();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_taskInProgress)
            m_worker->stop();
        m_taskInProgress = false;
        m_pendingHwnd = 0;
        m_condition.notify_all();
    }
    quit();
    if (!wait(StopWaitMs)) {
        qWarning().noquote() << "ControlDetector 未能在" << StopWaitMs
                             << "毫秒内停止，线程将在当前操作结束后自行退出";
        return false;
    }
    qDebug().noquote() << "ControlDetector 已停止";
    return true;
}
