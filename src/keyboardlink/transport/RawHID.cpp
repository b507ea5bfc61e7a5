#include "RawHID.h"

#include "RawHIDReadThread.h"
#include "RawHIDWriteThread.h"

#include "platform/api/Platform.h"

#include <QDebug>

namespace {

constexpr int kStopWaitMs = 500;
// How long close() goes on waiting for a thread stuck in a HID call before it gives the handle up.
constexpr int kStuckWaitMs = 10000;

// Threads are deleted through the event loop, and only once they have really ended.
void releaseThread(QThread* thread)
{
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (thread->isFinished())
        thread->deleteLater();
}

} // namespace

RawHID::RawHID(const QString& path, platform::HidApi* hid, QObject* parent)
    : QIODevice(parent), m_path(path), m_hid(hid ? hid : platform::services().hid)
{
}

RawHID::~RawHID()
{
    close(); // a stream deleted while open must not leave its threads behind
    if (m_hid)
        m_hid->exit();
}

QString RawHID::permissionHint(const QString& path)
{
    return QStringLiteral("[RawHID] 没有权限打开键盘设备 %1。请将 udev 规则文件 %2（在程序的 packaging 目录中）"
                          "复制到 /etc/udev/rules.d/，执行 sudo udevadm control --reload-rules && "
                          "sudo udevadm trigger，然后重新插拔键盘。")
        .arg(path, udevRuleFile());
}

bool RawHID::open(OpenMode mode)
{
    QMutexLocker locker(&m_mutex);
    if (isOpen())
        return false;
    m_openError = platform::HidOpenError::Other;
    if (!m_hid) {
        qWarning().noquote() << "[RawHID] Failed to open USB device";
        return false;
    }
    m_hid->init();
    m_handle = m_hid->openPath(m_path.toUtf8().constData());
    if (!m_handle) {
        m_openError = m_hid->lastOpenError();
        qWarning().noquote() << "[RawHID] Failed to open USB device";
        if (m_openError == platform::HidOpenError::PermissionDenied)
            qWarning().noquote() << permissionHint(m_path);
        return false;
    }
    m_openError = platform::HidOpenError::None;
    m_writeThread = new RawHIDWriteThread(*m_hid, m_handle);
    m_readThread = new RawHIDReadThread(*m_hid, m_handle);
    connect(m_readThread, &RawHIDReadThread::chunkRead, this, &QIODevice::readyRead, Qt::DirectConnection);
    connect(m_writeThread, &RawHIDWriteThread::reportWritten, this, &QIODevice::bytesWritten, Qt::DirectConnection);
    m_readThread->start();
    m_writeThread->start();
    return QIODevice::open(mode);
}

void RawHID::close()
{
    QMutexLocker locker(&m_mutex);
    if (!m_handle)
        return;
    m_writeThread->stop();
    m_readThread->stop();
    bool ended = m_writeThread->wait(kStopWaitMs);
    ended = m_readThread->wait(kStopWaitMs) && ended;
    if (!ended) // the handle must outlive every call that still uses it
        ended = m_writeThread->wait(kStuckWaitMs) && m_readThread->wait(kStuckWaitMs);
    disconnect(m_readThread, nullptr, this, nullptr);
    disconnect(m_writeThread, nullptr, this, nullptr);
    releaseThread(m_writeThread);
    releaseThread(m_readThread);
    m_writeThread = nullptr;
    m_readThread = nullptr;
    if (ended)
        m_hid->close(m_handle);
    else
        qWarning().noquote() << "[RawHID] HID call did not return, handle left open:" << m_path;
    m_handle = nullptr;
    QIODevice::close();
}

qint64 RawHID::bytesAvailable() const
{
    QMutexLocker locker(&m_mutex);
    if (!m_readThread)
        return -1;
    return m_readThread->bufferedBytes() + QIODevice::bytesAvailable();
}

qint64 RawHID::bytesToWrite() const
{
    QMutexLocker locker(&m_mutex);
    if (!m_writeThread)
        return -1;
    return m_writeThread->queuedBytes() + QIODevice::bytesToWrite();
}

qint64 RawHID::readData(char* data, qint64 maxSize)
{
    QMutexLocker locker(&m_mutex);
    if (!m_readThread || !data || maxSize < 0)
        return -1;
    return m_readThread->take(data, maxSize);
}

qint64 RawHID::writeData(const char* data, qint64 len)
{
    QMutexLocker locker(&m_mutex);
    if (!m_writeThread || !data || len < 0)
        return -1;
    if (m_writeThread->hasGivenUp()) {
        // Queuing would only hide that nothing reaches the keyboard any more.
        qWarning().noquote() << "[RawHID] Device no longer accepts data, not sent:" << m_path;
        return -1;
    }
    m_writeThread->enqueue(data, len);
    return len;
}

bool RawHID::readerStopped() const
{
    QMutexLocker locker(&m_mutex);
    return m_readThread && !m_readThread->isActive();
}

bool RawHID::writerStopped() const
{
    QMutexLocker locker(&m_mutex);
    return m_writeThread && !m_writeThread->isActive();
}
