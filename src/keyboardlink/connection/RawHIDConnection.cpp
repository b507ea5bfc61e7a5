#include "RawHIDConnection.h"

#include "USBDevice.h"

#include "keyboardlink/monitor/USBMonitor.h"
#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/protocol/HostFrame.h"
#include "keyboardlink/protocol/Protocol.h"
#include "keyboardlink/transport/RawHID.h"

#include <QDebug>

#include <exception>

RawHIDConnection::RawHIDConnection(QObject* parent) : Core::IConnection(parent), m_parser(new DataParser(this))
{
    m_monitor = USBMonitor::instance();
    if (!m_monitor)
        m_monitor = new USBMonitor(this);
    connect(m_monitor, &USBMonitor::deviceDiscovered, this, &RawHIDConnection::onDeviceConnected);
    connect(m_monitor, &USBMonitor::deviceRemoved, this, &RawHIDConnection::onDeviceDisconnected);
}

RawHIDConnection::~RawHIDConnection()
{
    disconnectDevice();
}

bool RawHIDConnection::workState() const
{
    return m_parser && m_parser->workState();
}

QList<Core::IDevice*> RawHIDConnection::availableDevices()
{
    const QList<USBPortInfo> ports =
        m_monitor ? m_monitor->availablePorts(USBMonitor::KeyboardVendorId, USBMonitor::KeyboardProductId)
                  : QList<USBPortInfo>();
    qDebug().noquote() << "RawHIDConnection::availableDevices 发现" << ports.size() << "个USB端口";
    QList<Core::IDevice*> devices;
    for (const USBPortInfo& port : ports) {
        devices.append(new USBDevice(port.serialNumber, port.product, port.path, port.vendorId, port.productId));
        qDebug().noquote() << "添加USB设备:" << port.serialNumber << "产品:" << port.product << "路径:" << port.path;
    }
    qDebug().noquote() << "RawHIDConnection::availableDevices 返回" << devices.size() << "个设备";
    return devices;
}

QIODevice* RawHIDConnection::connectDevice(Core::IDevice* device)
{
    if (m_stream)
        disconnectDevice();
    auto* usb = qobject_cast<USBDevice*>(device);
    if (!usb)
        return nullptr;
    m_stateReported = false;
    m_stream = new RawHID(usb->path(), nullptr, this);
    connect(m_stream, &QIODevice::readyRead, this, &RawHIDConnection::slot_onReadyRead);
    connect(m_stream, &QIODevice::bytesWritten, this, &RawHIDConnection::slot_onWriteComplete);
    return m_stream;
}

void RawHIDConnection::disconnectDevice()
{
    if (!m_stream)
        return;
    m_stream->close();
    delete m_stream;
    m_stream = nullptr;
}

void RawHIDConnection::onDeviceConnected(const USBPortInfo&)
{
    emit availableDevChanged(this);
}

void RawHIDConnection::onDeviceDisconnected(const USBPortInfo&)
{
    if (m_removalNotice)
        emit availableDevChanged(this);
}

void RawHIDConnection::slot_onReadyRead()
{
    if (!m_stream)
        return;
    char chunk[Protocol::ChunkSize];
    const qint64 n = m_stream->readData(chunk, sizeof chunk);
    if (n <= 0)
        return;
    const QByteArray frame(chunk, static_cast<int>(n));
    m_parser->decode(frame);
    const bool stateFrame =
        n >= 4 && m_parser->status() == 0 && !Protocol::isKeyMapCommand(m_parser->command());
    if (stateFrame)
        m_stateReported = true;
    // A state frame that reports no software (0) leaves the last known one in place.
    if (stateFrame && m_parser->soft() != 0)
        m_softType = m_parser->soft();
    emit dataArrived(this);
}

void RawHIDConnection::slot_onWriteComplete(qint64) {}

qint64 RawHIDConnection::send(quint8 command, const QByteArray& payload)
{
    if (!m_stream)
        return -1;
    const QByteArray frame = HostFrame::build(command, payload);
    if (frame.isEmpty()) {
        qWarning().noquote() << "RawHIDConnection: frame too long for one report, command" << command
                             << "payload" << payload.size();
        return -1;
    }
    return m_stream->writeData(frame.constData(), frame.size());
}

qint64 RawHIDConnection::requestDeviceInfo()
{
    return send(Protocol::Cmd::DeviceInfo);
}

qint64 RawHIDConnection::reloadState()
{
    return send(Protocol::Cmd::ReloadState);
}

qint64 RawHIDConnection::requestKeyMap()
{
    return send(Protocol::Cmd::RequestKeyMap);
}

qint64 RawHIDConnection::writeKeyMap(const QByteArray& keyMap)
{
    return send(Protocol::Cmd::WriteKeyMap, keyMap);
}

qint64 RawHIDConnection::factoryReset()
{
    return send(Protocol::Cmd::FactoryReset);
}

qint64 RawHIDConnection::reboot()
{
    return send(Protocol::Cmd::Reboot);
}

qint64 RawHIDConnection::switchSoft(int softType)
{
    return send(Protocol::Cmd::SwitchSoft, QByteArray(1, char(softType)));
}

qint64 RawHIDConnection::toggleWorkState()
{
    return send(Protocol::Cmd::ToggleWorkState);
}

qint64 RawHIDConnection::setWorkState(int on)
{
    return send(Protocol::Cmd::SetWorkState, QByteArray(1, char(on)));
}

qint64 RawHIDConnection::setBuyIndex(int priceType)
{
    return send(Protocol::Cmd::SetBuyIndex, QByteArray(1, char(priceType)));
}

qint64 RawHIDConnection::setSpeed(int speedIndex)
{
    return send(Protocol::Cmd::SetSpeed, QByteArray(1, char(speedIndex)));
}

qint64 RawHIDConnection::sendTradeAction(int action, int reason)
{
    QByteArray payload;
    payload.append(char(action));
    payload.append(char(reason));
    return send(Protocol::Cmd::TradeAction, payload);
}

qint64 RawHIDConnection::setParameter(DevParamId id, int value)
{
    return send(devParamCommand(id), QByteArray(1, char(value)));
}

qint64 RawHIDConnection::setParameter(quint8 command, int value)
{
    const std::optional<DevParamId> id = devParamFromCommand(command);
    if (!id) {
        qWarning().noquote() << "RawHIDConnection::setParameter: not a parameter command:" << command;
        return -1;
    }
    return setParameter(*id, value);
}

qint64 RawHIDConnection::devSave()
{
    try {
        if (!m_stream) {
            qWarning().noquote() << "RawHIDConnection::devSave: RawHidHandle is null";
            return -1;
        }
        if (!m_stream->isOpen()) {
            qWarning().noquote() << "RawHIDConnection::devSave: Device not open";
            return -1;
        }
        const QByteArray frame = HostFrame::build(Protocol::Cmd::Save);
        if (frame.size() != 5) {
            qWarning().noquote() << "RawHIDConnection::devSave: Invalid data size:" << frame.size();
            return -1;
        }
        const qint64 result = m_stream->writeData(frame.constData(), frame.size());
        if (result < 0) {
            qWarning().noquote() << "RawHIDConnection::devSave: Write failed, result:" << result;
            return -1;
        }
        qDebug().noquote() << "RawHIDConnection::devSave: Success, bytes written:" << result;
        return result;
    } catch (const std::exception& e) {
        qCritical().noquote() << "RawHIDConnection::devSave exception:" << e.what();
        return -1;
    } catch (...) {
        qCritical().noquote() << "RawHIDConnection::devSave unknown exception";
        return -1;
    }
}
