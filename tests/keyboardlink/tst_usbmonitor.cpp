// USBMonitor: which interfaces count as keyboards, and how arrivals and removals are announced,
// on simulated keyboards and on a port watcher fed through a descriptor (as udev is).

#include "ZkTest.h"

#include "keyboardlink/monitor/USBMonitor.h"
#include "platform/api/HidPorts.h"
#include "sim/keyboard/KeyboardSimulator.h"

#include <QSignalSpy>

#include <memory>
#include <thread>
#include <unistd.h>

namespace {

// A watcher that delivers through a pipe: one byte written = one arrival of the port below.
class PipePorts : public platform::HidPorts
{
public:
    PipePorts()
    {
        if (::pipe(m_fds) != 0)
            m_fds[0] = m_fds[1] = -1;
    }
    ~PipePorts() override
    {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
    std::vector<platform::HidPortInfo> enumeratePorts(std::uint32_t, std::uint32_t, std::uint32_t) override { return {}; }
    bool startWatching(std::uint32_t, std::uint32_t, std::uint32_t, PortCallback arrived, PortCallback) override
    {
        m_arrived = arrived;
        return !m_fail;
    }
    void stopWatching() override { m_arrived = nullptr; }
    int pollDescriptor() const override { return m_fds[0]; }
    std::uint32_t watchError() const override { return 13; }
    void dispatchPending() override
    {
        char byte;
        if (::read(m_fds[0], &byte, 1) == 1 && m_arrived) {
            platform::HidPortInfo port;
            port.path = u"/dev/hidraw7";
            port.serialNumber = u"ZK777777";
            port.vendorId = 0x3721;
            port.productId = 0x2405;
            port.usagePage = byte == 'k' ? 0xFF00 : 0x0001;
            m_arrived(port);
        }
    }
    void signal(char byte) { QCOMPARE(::write(m_fds[1], &byte, 1), ssize_t(1)); }

    bool m_fail = false;

private:
    int m_fds[2];
    PortCallback m_arrived;
};

QStringList paths(const QList<USBPortInfo>& ports)
{
    QStringList list;
    for (const USBPortInfo& p : ports)
        list << p.path;
    return list;
}

} // namespace

class TestUSBMonitor : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void listsOnlyKeyboardInterfaces();
    void twoKeyboardsTwoDiscoveries();
    void removalOfKnownAndUnknownInterfaces();
    void keyboardPresentAtStartIsUnknownOnRemoval();
    void callbacksFromAnotherThread();
    void descriptorDrivenWatcher();
    void watcherThatCannotStart();
    void oneMonitorPerProcess();

private:
    std::unique_ptr<sim::KeyboardSimulator> m_sim;
};

void TestUSBMonitor::init()
{
    qRegisterMetaType<USBPortInfo>("USBPortInfo");
    m_sim = std::make_unique<sim::KeyboardSimulator>();
}

void TestUSBMonitor::cleanup()
{
    m_sim.reset();
}

void TestUSBMonitor::listsOnlyKeyboardInterfaces()
{
    m_sim->addKeyboard("ZK000001");
    m_sim->addKeyboard("ZK000002");
    USBMonitor monitor(nullptr, &m_sim->hidPorts());
    const QList<USBPortInfo> ports = monitor.availablePorts(0x3721, 0x2405);
    QCOMPARE(paths(ports), QStringList({"sim:ZK000001/vendor", "sim:ZK000002/vendor"}));
    QCOMPARE(paths(monitor.enumeratePorts()), paths(ports));
    const USBPortInfo& p = ports.at(1);
    QCOMPARE(p.serialNumber, QStringLiteral("ZK000002"));
    QCOMPARE(p.usagePage, quint32(0xFF00));
    QCOMPARE(p.vendorId, quint32(0x3721));
    QCOMPARE(p.productId, quint32(0x2405));
    QCOMPARE(p.product, QStringLiteral("Zentrik Trading Keyboard"));
    QVERIFY(monitor.availablePorts(0x3721, 0x9999).isEmpty());
}

void TestUSBMonitor::twoKeyboardsTwoDiscoveries()
{
    USBMonitor monitor(nullptr, &m_sim->hidPorts());
    QSignalSpy discovered(&monitor, &USBMonitor::deviceDiscovered);
    QTest::ignoreMessage(QtDebugMsg, "USB_MONITOR infoFromHandle Success on matchAndDispatchChangedDevice");
    m_sim->addKeyboard("ZK000001");
    m_sim->addKeyboard("ZK000002");
    // Each keyboard brings two interfaces; only the vendor interface is a keyboard port.
    QCOMPARE(discovered.count(), 2);
    const auto a = discovered.at(0).at(0).value<USBPortInfo>();
    const auto b = discovered.at(1).at(0).value<USBPortInfo>();
    QCOMPARE(a.serialNumber, QStringLiteral("ZK000001"));
    QCOMPARE(b.serialNumber, QStringLiteral("ZK000002"));
    QVERIFY(a.path != b.path);
    QCOMPARE(monitor.knownPorts().size(), 2);

    // A replug is a new discovery.
    m_sim->unplug("ZK000001");
    m_sim->plug("ZK000001");
    QCOMPARE(discovered.count(), 3);
}

void TestUSBMonitor::removalOfKnownAndUnknownInterfaces()
{
    USBMonitor monitor(nullptr, &m_sim->hidPorts());
    m_sim->addKeyboard("ZK000001");
    QSignalSpy removed(&monitor, &USBMonitor::deviceRemoved);
    QTest::ignoreMessage(QtDebugMsg, "USB_MONITOR emit device removed on unknown device");
    m_sim->unplug("ZK000001");
    QCOMPARE(removed.count(), 2);
    const auto keyboard = removed.at(0).at(0).value<USBPortInfo>();
    QCOMPARE(keyboard.path, QStringLiteral("sim:ZK000001/vendor"));
    QCOMPARE(keyboard.serialNumber, QStringLiteral("ZK000001"));
    QCOMPARE(keyboard.usagePage, quint32(0xFF00));
    // The other interface was never a keyboard port: announced with its path only.
    const auto other = removed.at(1).at(0).value<USBPortInfo>();
    QCOMPARE(other.path, QStringLiteral("sim:ZK000001/keys"));
    QVERIFY(other.serialNumber.isEmpty());
    QCOMPARE(other.vendorId, quint32(0));
    QCOMPARE(other.usagePage, quint32(0));
    QVERIFY(monitor.knownPorts().isEmpty());
}

void TestUSBMonitor::keyboardPresentAtStartIsUnknownOnRemoval()
{
    m_sim->addKeyboard("ZK000001");
    USBMonitor monitor(nullptr, &m_sim->hidPorts());
    QVERIFY(monitor.knownPorts().isEmpty());
    QSignalSpy removed(&monitor, &USBMonitor::deviceRemoved);
    m_sim->unplug("ZK000001");
    QCOMPARE(removed.count(), 2);
    QCOMPARE(removed.at(0).at(0).value<USBPortInfo>().path, QStringLiteral("sim:ZK000001/vendor"));
    QVERIFY(removed.at(0).at(0).value<USBPortInfo>().serialNumber.isEmpty());
}

void TestUSBMonitor::callbacksFromAnotherThread()
{
    USBMonitor monitor(nullptr, &m_sim->hidPorts());
    QSignalSpy discovered(&monitor, &USBMonitor::deviceDiscovered);
    QThread* signalThread = nullptr;
    connect(&monitor, &USBMonitor::deviceDiscovered, this, [&] { signalThread = QThread::currentThread(); });
    std::thread plugger([this] { m_sim->addKeyboard("ZK000009"); });
    plugger.join();
    QTRY_COMPARE(discovered.count(), 1);
    QCOMPARE(signalThread, monitor.thread());
}

void TestUSBMonitor::descriptorDrivenWatcher()
{
    PipePorts ports;
    USBMonitor monitor(nullptr, &ports);
    QSignalSpy discovered(&monitor, &USBMonitor::deviceDiscovered);
    ports.signal('x'); // another device's interface
    ports.signal('k');
    QTRY_COMPARE(discovered.count(), 1);
    QCOMPARE(discovered.at(0).at(0).value<USBPortInfo>().path, QStringLiteral("/dev/hidraw7"));
}

void TestUSBMonitor::watcherThatCannotStart()
{
    PipePorts ports;
    ports.m_fail = true;
    QTest::ignoreMessage(QtWarningMsg, "RegisterDeviceNotification failed: 13");
    USBMonitor monitor(nullptr, &ports);
    QSignalSpy discovered(&monitor, &USBMonitor::deviceDiscovered);
    ports.signal('k');
    // The descriptor is readable, but nothing watches it: handling what is pending delivers nothing.
    QCoreApplication::processEvents();
    QCOMPARE(discovered.count(), 0);
}

void TestUSBMonitor::oneMonitorPerProcess()
{
    QCOMPARE(USBMonitor::instance(), nullptr);
    {
        USBMonitor monitor(nullptr, &m_sim->hidPorts());
        QCOMPARE(USBMonitor::instance(), &monitor);
    }
    QCOMPARE(USBMonitor::instance(), nullptr);
    QCOMPARE(USBMonitor::normalisedPath(QStringLiteral("\\\\?\\hid#vid_3721&pid_2405#7&1")),
             QStringLiteral("\\\\?\\HID\\VID_3721&PID_2405\\7&1"));
}

ZK_TEST_MAIN(TestUSBMonitor)
#include "tst_usbmonitor.moc"
