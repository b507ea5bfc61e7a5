#pragma once

// Finds the keyboard's HID interfaces (vendor 0x3721, product 0x2405, usage page 0xFF00) and
// announces arrivals and removals. One per process: created by the first connection, reused by
// every later one through instance(). Lives and signals on the GUI thread.
//
// The operating-system work is the platform's HidPorts: on Windows device changes come as
// messages to the hidden USBRegistrationWidget, on Linux through a descriptor (udev) watched
// with a socket notifier, and simulated keyboards call back by themselves.

#include "USBPortInfo.h"

#include <QList>
#include <QThread>

class QSocketNotifier;
class USBRegistrationWidget;

namespace platform {
class HidPorts;
struct HidPortInfo;
} // namespace platform

class USBMonitor : public QThread
{
    Q_OBJECT
public:
    // ports: the platform's port watcher; null = the installed platform's.
    explicit USBMonitor(QObject* parent = nullptr, platform::HidPorts* ports = nullptr);
    ~USBMonitor() override;

    static USBMonitor* instance();

    // The keyboard's vendor interface.
    static constexpr quint32 KeyboardVendorId = 0x3721;
    static constexpr quint32 KeyboardProductId = 0x2405;
    static constexpr quint32 KeyboardUsagePage = 0xFF00;

    // Starts following arrivals and removals; nothing when already done.
    void registerForDeviceEvents();
    // The keyboard interfaces present now, in the system's enumeration order.
    QList<USBPortInfo> enumeratePorts();
    QList<USBPortInfo> availablePorts(quint32 vendorId, quint32 productId);

    // Keyboard interfaces announced by arrival and not removed since.
    QList<USBPortInfo> knownPorts() const { return m_knownPorts; }
    platform::HidPorts* ports() const { return m_ports; }

    // Paths compared the way Windows names them in device notifications: upper case, "#" as "\".
    static QString normalisedPath(const QString& path);
    static USBPortInfo fromPlatform(const platform::HidPortInfo& port);

signals:
    void deviceDiscovered(const USBPortInfo& info);
    void deviceRemoved(const USBPortInfo& info);

public slots:
    void deviceEventReceived() {}

private:
    void portArrived(const USBPortInfo& info);
    void portRemoved(const USBPortInfo& gone);

    platform::HidPorts* m_ports;
    QList<USBPortInfo> m_knownPorts;
    USBRegistrationWidget* m_registrationWidget = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    bool m_watching = false;
};
