#include "USBMonitor.h"

#include "USBRegistrationWidget.h"

#include "platform/api/HidPorts.h"
#include "platform/api/Platform.h"

#include <QDebug>
#include <QSocketNotifier>

namespace {
USBMonitor* s_instance = nullptr;
}

USBMonitor::USBMonitor(QObject* parent, platform::HidPorts* ports)
    : QThread(parent), m_ports(ports ? ports : platform::services().hidPorts)
{
    qRegisterMetaType<USBPortInfo>("USBPortInfo");
    registerForDeviceEvents();
    s_instance = this;
}

USBMonitor::~USBMonitor()
{
    if (s_instance == this)
        s_instance = nullptr;
    if (m_ports && m_watching)
        m_ports->stopWatching();
    delete m_registrationWidget;
}

USBMonitor* USBMonitor::instance()
{
    return s_instance;
}

USBPortInfo USBMonitor::fromPlatform(const platform::HidPortInfo& port)
{
    USBPortInfo info;
    info.serialNumber = QString::fromStdU16String(port.serialNumber);
    info.manufacturer = QString::fromStdU16String(port.manufacturer);
    info.product = QString::fromStdU16String(port.product);
    info.path = QString::fromStdU16String(port.path);
    info.usagePage = port.usagePage;
    info.usage = port.usage;
    info.vendorId = port.vendorId;
    info.productId = port.productId;
    info.versionNumber = port.versionNumber;
    return info;
}

QString USBMonitor::normalisedPath(const QString& path)
{
    return path.toUpper().replace(QLatin1Char('#'), QLatin1Char('\\'));
}

void USBMonitor::registerForDeviceEvents()
{
    if (m_registrationWidget)
        return;
    m_registrationWidget = new USBRegistrationWidget(this);
    if (!m_ports)
        return;

    // Callbacks may come from any thread (a simulated keyboard unplugged by a test thread);
    // the signals always leave from the monitor's own thread.
    auto arrived = [this](const platform::HidPortInfo& port) {
        const USBPortInfo info = fromPlatform(port);
        QMetaObject::invokeMethod(this, [this, info] { portArrived(info); }, Qt::AutoConnection);
    };
    auto removed = [this](const platform::HidPortInfo& port) {
        const USBPortInfo info = fromPlatform(port);
        QMetaObject::invokeMethod(this, [this, info] { portRemoved(info); }, Qt::AutoConnection);
    };
    m_watching = m_ports->startWatching(KeyboardVendorId, KeyboardProductId, KeyboardUsagePage, arrived, removed);
    if (!m_watching) {
        // Enumeration still works; only arrivals and removals go unnoticed.
        qWarning().noquote() << "RegisterDeviceNotification failed:" << m_ports->watchError();
        return;
    }
    const int fd = m_ports->pollDescriptor();
    if (fd >= 0) {
        m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { m_ports->dispatchPending(); });
    }
}

QList<USBPortInfo> USBMonitor::enumeratePorts()
{
    return availablePorts(KeyboardVendorId, KeyboardProductId);
}

QList<USBPortInfo> USBMonitor::availablePorts(quint32 vendorId, quint32 productId)
{
    QList<USBPortInfo> list;
    if (!m_ports)
        return list;
    for (const platform::HidPortInfo& port : m_ports->enumeratePorts(vendorId, productId, KeyboardUsagePage))
        list.append(fromPlatform(port));
    return list;
}

void USBMonitor::portArrived(const USBPortInfo& info)
{
    // Backends announce only the keyboard's vendor interface; anything else is not ours.
    if (info.vendorId != KeyboardVendorId || info.productId != KeyboardProductId ||
        info.usagePage != KeyboardUsagePage)
        return;
    qDebug().noquote() << "USB_MONITOR infoFromHandle Success on matchAndDispatchChangedDevice";
    m_knownPorts.append(info);
    emit deviceDiscovered(info);
}

void USBMonitor::portRemoved(const USBPortInfo& gone)
{
    const QString normalised = normalisedPath(gone.path);
    for (int i = 0; i < m_knownPorts.size(); ++i) {
        if (normalisedPath(m_knownPorts.at(i).path) == normalised) {
            const USBPortInfo info = m_knownPorts.takeAt(i);
            emit deviceRemoved(info);
            return;
        }
    }
    // A backend that keeps its own record of ports may have resolved the removal already.
    if (gone.vendorId != 0) {
        emit deviceRemoved(gone);
        return;
    }
    qDebug().noquote() << "USB_MONITOR emit device removed on unknown device";
    USBPortInfo info;
    info.path = gone.path;
    emit deviceRemoved(info);
}
