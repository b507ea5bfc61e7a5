#pragma once

// Drains the write queue into 64-byte output reports.
//
// Bytes are queued as the writes that brought them (frames): a report carries as many whole
// writes as fit behind the report number, and the rest waits, in order, for the next report,
// so that a frame never straddles two reports. Only a single write longer than a report is cut.
//
// A failed report is written again after a short pause; four failures in a row mean the device
// is gone and the thread ends. A success in between starts the count anew, so occasional
// failures over a long session never end the thread.

#include <QByteArray>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace platform {
class HidApi;
struct HidDevice;
} // namespace platform

class RawHIDWriteThread : public QThread
{
    Q_OBJECT
public:
    RawHIDWriteThread(platform::HidApi& hid, platform::HidDevice* handle);
    ~RawHIDWriteThread() override;

    void stop();
    // True until stop() or until the device failed too often.
    bool isActive() const { return m_running; }
    bool hasGivenUp() const { return m_gaveUp; }

    void enqueue(const char* data, qint64 length);
    qint64 queuedBytes() const;

    static constexpr int ReportLength = 64;
    static constexpr int MaxDataPerReport = ReportLength - 1;
    static constexpr int IdleWaitMs = 200;
    static constexpr int RetryPauseMs = 100;
    // The thread ends at the failure after this many consecutive ones.
    static constexpr int FailureLimit = 3;

signals:
    // A report was written; bytes = what the write call returned.
    void reportWritten(qint64 bytes);

protected:
    void run() override;

private:
    int bytesForNextReport() const;
    void dropFront(int bytes);
    void pause(int ms);

    platform::HidApi& m_hid;
    platform::HidDevice* m_handle;
    // Standard primitives rather than QMutex/QWaitCondition: the same semantics, and visible to
    // the thread sanitizer, which cannot see into Qt.
    mutable std::mutex m_mutex; // guards m_queue and m_writes
    std::condition_variable m_wake;
    QByteArray m_queue;
    std::deque<int> m_writes; // length of each queued write, oldest first
    std::atomic<bool> m_running{true};
    std::atomic<bool> m_gaveUp{false};
};
