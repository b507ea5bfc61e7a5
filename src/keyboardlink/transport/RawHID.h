#pragma once

// The byte stream to one HID interface of the keyboard. A read thread turns each input report
// into one 64-byte chunk of the read buffer and announces it with readyRead; a write thread
// drains the write queue into 64-byte output reports. Callers only copy to and from memory, so
// neither reading nor writing ever blocks them.

#include "platform/api/HidApi.h"

#include <QIODevice>
#include <QMutex>
#include <QString>

class RawHIDReadThread;
class RawHIDWriteThread;

class RawHID : public QIODevice
{
    Q_OBJECT
public:
    // path: the interface path as the monitor lists it. hid: the HID library to use; null = the
    // installed platform's.
    explicit RawHID(const QString& path, platform::HidApi* hid = nullptr, QObject* parent = nullptr);
    ~RawHID() override;

    QString path() const { return m_path; }

    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;

    // Public so that a connection can take exactly one chunk per readyRead. −1 when the stream
    // is closed, data is null or maxSize is negative.
    qint64 readData(char* data, qint64 maxSize) override;
    // Queues len bytes as one unit (a frame is never split across reports). −1 when the stream
    // is closed, data is null, len is negative, or the device failed too often to send any more.
    qint64 writeData(const char* data, qint64 len) override;

    // Why the last open() failed.
    platform::HidOpenError openError() const { return m_openError; }
    // Whether the threads have stopped by themselves (device gone).
    bool readerStopped() const;
    bool writerStopped() const;

    // The udev rule that lets the user at the seat open the keyboard on Linux, and the text that
    // tells a user without permission what to do.
    static QString udevRuleFile() { return QStringLiteral("70-zentrik-keyboard.rules"); }
    static QString permissionHint(const QString& path);

private:
    const QString m_path;
    platform::HidApi* m_hid;
    platform::HidDevice* m_handle = nullptr;
    RawHIDReadThread* m_readThread = nullptr;
    RawHIDWriteThread* m_writeThread = nullptr;
    platform::HidOpenError m_openError = platform::HidOpenError::None;
    mutable QRecursiveMutex m_mutex;
};
