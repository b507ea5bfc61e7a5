// The Linux HID backend: which hidraw nodes it lists and announces (driven here by the
// simulated keyboards' hidapi listing), the udev monitor's life cycle, and what a failed open
// reports.

#include "ZkTest.h"

#include "platform/linux/LinuxHidApi.h"
#include "platform/linux/LinuxHidPorts.h"
#include "sim/keyboard/KeyboardSimulator.h"

#include <memory>

class TestLinuxHidPorts : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void listsVendorInterfacesOnly();
    void ueventsBecomeArrivalsAndRemovals();
    void udevMonitorLifeCycle();
    void openFailureReasons();

private:
    std::unique_ptr<sim::KeyboardSimulator> m_sim;
    std::unique_ptr<platform::LinuxHidPorts> m_ports;
    std::vector<platform::HidPortInfo> m_arrived, m_removed;
};

void TestLinuxHidPorts::init()
{
    m_sim = std::make_unique<sim::KeyboardSimulator>();
    m_sim->addKeyboard("ZK000001");
    m_sim->addKeyboard("ZK000002");
    m_ports = std::make_unique<platform::LinuxHidPorts>(m_sim->hidApi());
    m_arrived.clear();
    m_removed.clear();
}

void TestLinuxHidPorts::cleanup()
{
    m_ports.reset();
    m_sim.reset();
}

void TestLinuxHidPorts::listsVendorInterfacesOnly()
{
    const auto ports = m_ports->enumeratePorts(0x3721, 0x2405, 0xFF00);
    QCOMPARE(ports.size(), size_t(2));
    QCOMPARE(ports[0].path, std::u16string(u"sim:ZK000001/vendor"));
    QCOMPARE(ports[1].serialNumber, std::u16string(u"ZK000002"));
    QCOMPARE(ports[1].usagePage, std::uint32_t(0xFF00));
    QCOMPARE(ports[1].versionNumber, std::uint32_t(0x0100));
    QCOMPARE(m_ports->enumeratePorts(0x3721, 0x2405, 0x0001).size(), size_t(2));
    QVERIFY(m_ports->enumeratePorts(0x3721, 0x2406, 0xFF00).empty());
}

void TestLinuxHidPorts::ueventsBecomeArrivalsAndRemovals()
{
    // Without a udev monitor (a container may have none) the callbacks are still installed.
    m_ports->startWatching(
        0x3721, 0x2405, 0xFF00, [this](const platform::HidPortInfo& p) { m_arrived.push_back(p); },
        [this](const platform::HidPortInfo& p) { m_removed.push_back(p); });
    m_ports->handleEvent("add", "sim:ZK000002/keys");
    m_ports->handleEvent("change", "sim:ZK000002/vendor");
    QVERIFY(m_arrived.empty());
    m_ports->handleEvent("add", "sim:ZK000002/vendor");
    QCOMPARE(m_arrived.size(), size_t(1));
    QCOMPARE(m_arrived[0].serialNumber, std::u16string(u"ZK000002"));

    m_ports->handleEvent("remove", "sim:ZK000002/keys");
    QCOMPARE(m_removed.size(), size_t(1));
    QCOMPARE(m_removed[0].path, std::u16string(u"sim:ZK000002/keys"));
    QVERIFY(m_removed[0].serialNumber.empty());
    QCOMPARE(m_removed[0].vendorId, std::uint32_t(0));

    m_ports->stopWatching();
    m_ports->handleEvent("remove", "sim:ZK000002/vendor");
    QCOMPARE(m_removed.size(), size_t(2)); // callbacks stay until the next start; the monitor is gone
}

void TestLinuxHidPorts::udevMonitorLifeCycle()
{
    const bool watching = m_ports->startWatching(0x3721, 0x2405, 0xFF00, nullptr, nullptr);
    if (!watching) {
        QVERIFY(m_ports->watchError() != 0 || m_ports->pollDescriptor() < 0);
        QSKIP(qPrintable(QStringLiteral("no udev netlink monitor here (errno %1)").arg(m_ports->watchError())));
    }
    QVERIFY(m_ports->pollDescriptor() >= 0);
    m_ports->dispatchPending(); // nothing pending: returns at once
    m_ports->stopWatching();
    QCOMPARE(m_ports->pollDescriptor(), -1);
}

void TestLinuxHidPorts::openFailureReasons()
{
    platform::HidApi& hid = platform::linuxHidApi();
    QCOMPARE(hid.init(), 0);
    QVERIFY(!hid.openPath("/dev/hidraw-that-does-not-exist"));
    QCOMPARE(hid.lastOpenError(), platform::HidOpenError::NotFound);
    QVERIFY(!hid.openPath("/dev/null")); // opens, but is no hidraw node
    QCOMPARE(hid.lastOpenError(), platform::HidOpenError::Other);
    hid.exit();
}

ZK_TEST_MAIN(TestLinuxHidPorts)
#include "tst_linuxhidports.moc"
