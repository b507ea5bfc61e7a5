#pragma once

// Keyboards over raw HID: lists the present ones through the process's USBMonitor, opens one as
// a RawHID stream, turns each host command into one frame written to that stream, and decodes
// every chunk that arrives into its DataParser, announcing it with dataArrived.

#include "IConnection.h"

#include "keyboardlink/monitor/USBPortInfo.h"
#include "keyboardlink/protocol/DevParamId.h"

#include <QByteArray>
#include <QPointer>

class DataParser;
class RawHID;
class USBMonitor;

class RawHIDConnection : public Core::IConnection
{
    Q_OBJECT
public:
    explicit RawHIDConnection(QObject* parent = nullptr);
    ~RawHIDConnection() override;

    QList<Core::IDevice*> availableDevices() override;
    QIODevice* connectDevice(Core::IDevice* device) override;
    void disconnectDevice() override;
    QString displayName() const override { return QStringLiteral("Raw HID USB"); }
    QString type() const override { return QStringLiteral("USB"); }
    void disableRemovalNotice() override { m_removalNotice = false; }
    void enableRemovalNotice() override { m_removalNotice = true; }
    bool supportsReconnect() const override { return false; }

    DataParser* dataParser() const { return m_parser; }
    // The software type the keyboard last reported (1 THS, 2 TDX), 0 before any.
    int softType() const { return m_softType; }
    bool workState() const;
    // Whether the keyboard has told its state (a state frame) since the device was connected:
    // before that, workState and softType are defaults, not what the keyboard holds.
    bool hasReportedState() const { return m_stateReported; }
    RawHID* stream() const { return m_stream; }

    // Host commands. Each writes one frame; the result is the frame's length, or −1 when nothing
    // was queued (no open stream, a value that does not fit the frame, a device that no longer
    // accepts data).
    qint64 requestDeviceInfo();
    qint64 reloadState();
    qint64 requestKeyMap();
    qint64 writeKeyMap(const QByteArray& keyMap); // at most 58 keys
    qint64 devSave();
    qint64 factoryReset();
    qint64 reboot();
    qint64 switchSoft(int softType);
    qint64 toggleWorkState();
    qint64 setWorkState(int on);
    qint64 setBuyIndex(int priceType);
    qint64 setSpeed(int speedIndex);
    qint64 sendTradeAction(int action, int reason);
    qint64 setParameter(DevParamId id, int value);
    // The same by command code (0x31, 0x36 … 0x3B, 0x2B, 0x2E, 0x3D, 0xED), as menu actions
    // carry it; any other code is refused.
    qint64 setParameter(quint8 command, int value);

signals:
    void dataArrived(Core::IConnection* connection);

public slots:
    void onDeviceConnected(const USBPortInfo& info);
    void onDeviceDisconnected(const USBPortInfo& info);
    void slot_onReadyRead();
    void slot_onWriteComplete(qint64 bytes);

private:
    qint64 send(quint8 command, const QByteArray& payload = QByteArray());

    RawHID* m_stream = nullptr;
    bool m_removalNotice = true;
    int m_softType = 0;
    bool m_stateReported = false;
    DataParser* m_parser;
    QPointer<USBMonitor> m_monitor;
};
