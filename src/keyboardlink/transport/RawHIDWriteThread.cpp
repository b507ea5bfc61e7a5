#include "RawHIDWriteThread.h"

#include "platform/api/HidApi.h"

#include <QDebug>

#include <chrono>
#include <cstring>

namespace {
constexpr int kTimedOut = -110;
}

RawHIDWriteThread::RawHIDWriteThread(platform::HidApi& hid, platform::HidDevice* handle)
    : m_hid(hid), m_handle(handle)
{
}

RawHIDWriteThread::~RawHIDWriteThread()
{
    stop();
    if (!wait(10000))
        qWarning().noquote() << "Cannot terminate RawHIDWriteThread";
}

void RawHIDWriteThread::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    m_wake.notify_all();
}

void RawHIDWriteThread::enqueue(const char* data, qint64 length)
{
    if (length <= 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.append(data, static_cast<int>(length));
    m_writes.push_back(static_cast<int>(length));
    m_wake.notify_all();
}

qint64 RawHIDWriteThread::queuedBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

int RawHIDWriteThread::bytesForNextReport() const
{
    int bytes = 0;
    for (int length : m_writes) {
        if (bytes + length > MaxDataPerReport)
            break;
        bytes += length;
    }
    if (bytes == 0) // a single write longer than a report goes out in pieces
        bytes = qMin(m_writes.front(), MaxDataPerReport);
    return bytes;
}

void RawHIDWriteThread::dropFront(int bytes)
{
    m_queue.remove(0, bytes);
    while (bytes > 0) {
        if (m_writes.front() <= bytes) {
            bytes -= m_writes.front();
            m_writes.pop_front();
        } else {
            m_writes.front() -= bytes;
            bytes = 0;
        }
    }
}

void RawHIDWriteThread::pause(int ms)
{
    // Waits on the condition rather than sleeping, so that close() does not wait for the pause.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !m_running; });
}

void RawHIDWriteThread::run()
{
    unsigned char report[ReportLength];
    int failures = 0;
    while (m_running) {
        std::memset(report, 0, sizeof report);
        int bytes = 0;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            while (m_queue.isEmpty()) {
                m_wake.wait_for(lock, std::chrono::milliseconds(IdleWaitMs));
                if (!m_running)
                    return;
            }
            bytes = bytesForNextReport();
            std::memcpy(report + 1, m_queue.constData(), static_cast<size_t>(bytes));
        }
        const int result = m_hid.write(m_handle, report, sizeof report);
        if (result > 0) {
            failures = 0;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                dropFront(bytes);
            }
            emit reportWritten(result);
        } else if (result < 0 && result != kTimedOut) {
            if (++failures > FailureLimit) {
                m_gaveUp = true;
                m_running = false;
                qWarning().noquote() << "[RawHID] Error writing to device";
                return;
            }
            pause(RetryPauseMs);
        }
        // A time-out (or nothing written) counts neither way: the same bytes go again.
    }
}
