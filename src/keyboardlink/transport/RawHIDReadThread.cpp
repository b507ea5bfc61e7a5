#include "RawHIDReadThread.h"

#include "platform/api/HidApi.h"

#include <QDebug>

#include <cstring>

RawHIDReadThread::RawHIDReadThread(platform::HidApi& hid, platform::HidDevice* handle)
    : m_hid(hid), m_handle(handle)
{
}

RawHIDReadThread::~RawHIDReadThread()
{
    m_running = false;
    if (!wait(10000))
        qWarning().noquote() << "Cannot terminate RawHIDReadThread";
}

qint64 RawHIDReadThread::bufferedBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_buffer.size();
}

qint64 RawHIDReadThread::take(char* data, qint64 maxSize)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int n = static_cast<int>(qMin<qint64>(maxSize, m_buffer.size()));
    std::memcpy(data, m_buffer.constData(), static_cast<size_t>(n));
    m_buffer.remove(0, n);
    return n;
}

void RawHIDReadThread::run()
{
    unsigned char report[ReportLength];
    while (m_running) {
        std::memset(report, 0, sizeof report);
        const int n = m_hid.readTimeout(m_handle, report, sizeof report, PollTimeoutMs);
        if (n > 0) {
            // The report number goes; the rest stays in place and a short report reads as zeros,
            // so every report is exactly one chunk and consumers stay aligned.
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_buffer.append(reinterpret_cast<const char*>(report + 1), ReportLength - 1);
                m_buffer.append('\0');
            }
            emit chunkRead();
        } else if (n < 0) {
            m_running = false;
            qInfo().noquote() << " read error";
        }
    }
}
