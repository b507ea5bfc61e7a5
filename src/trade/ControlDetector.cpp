#include "trade/ControlDetector.h"

#include "trade/DetectionWorker.h"

#include <QDebug>
#include <QMutexLocker>

ControlDetector::ControlDetector(StateMachine* stateMachine, DetectionWorker* worker, QObject* parent)
    : QThread(parent), m_stateMachine(stateMachine), m_worker(worker)
{
    // setNewTask and taskStarted carry trade::WPARAM across threads.
    trade::registerMetaTypes();
}

ControlDetector::~ControlDetector()
{
    stop();
}

void ControlDetector::setNewTask(trade::WPARAM hwnd)
{
    qDebug().noquote() << "收到新任务，hwnd:" << hwnd;
    QMutexLocker lock(&m_mutex);
    m_pendingHwnd = hwnd;
    m_condition.wakeOne();
    qDebug().noquote() << "新任务已设置，等待处理";
}

void ControlDetector::run()
{
    m_running = true;
    for (;;) {
        {
            QMutexLocker lock(&m_mutex);
            if (!m_pendingHwnd)
                m_condition.wait(&m_mutex, 100);
        }
        if (isInterruptionRequested()) {
            m_running = false;
            return;
        }

        trade::WPARAM task = 0;
        {
            QMutexLocker lock(&m_mutex);
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
                QMutexLocker lock(&m_mutex);
                m_taskInProgress = false;
            }
            emit taskCompleted();
        }
        if (!m_running)
            return;
    }
}

void ControlDetector::stop()
{
    qDebug().noquote() << "ControlDetector 停止";
    requestInterruption();
    {
        QMutexLocker lock(&m_mutex);
        if (m_taskInProgress)
            m_worker->stop();
        m_taskInProgress = false;
        m_pendingHwnd = 0;
        m_condition.wakeAll();
    }
    quit();
    wait();
    qDebug().noquote() << "ControlDetector 已停止";
}
