#pragma once

// Polls the keyboard's input reports into a read buffer, one 64-byte chunk per report.

#include <QByteArray>
#include <QThread>

#include <atomic>
#include <mutex>

namespace platform {
class HidApi;
struct HidDevice;
} // namespace platform

class RawHIDReadThread : public QThread
{
    Q_OBJECT
public:
    RawHIDReadThread(platform::HidApi& hid, platform::HidDevice* handle);
    ~RawHIDReadThread() override;

    // Lets the loop end after the read in progress (at most one poll time-out).
    void stop() { m_running = false; }
    bool isActive() const { return m_running; }

    qint64 bufferedBytes() const;
    // Moves up to maxSize bytes from the front of the buffer into data.
    qint64 take(char* data, qint64 maxSize);

    static constexpr int ReportLength = 64;
    static constexpr int PollTimeoutMs = 200;

signals:
    // One chunk was appended (the stream forwards it as readyRead).
    void chunkRead();

protected:
    void run() override;

private:
    platform::HidApi& m_hid;
    platform::HidDevice* m_handle;
    mutable std::mutex m_mutex; // guards m_buffer (std::mutex: visible to the thread sanitizer)
    QByteArray m_buffer;
    std::atomic<bool> m_running{true};
};
