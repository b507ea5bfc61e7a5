// The Linux services on a machine without an X display (this test runs with DISPLAY emptied).

#include "ZkTest.h"

#include "platform/linux/LinuxServices.h"
#include "platform/linux/X11Hotkeys.h"

using namespace platform;

class TestLinuxServices : public QObject
{
    Q_OBJECT

private slots:
    void withoutDisplayThereIsNoDesktop()
    {
        QVERIFY(qgetenv("DISPLAY").isEmpty());
        const Services services = linuxServices();
        QVERIFY(!services.desktop);
        QVERIFY(!services.hostDesktop);
        QVERIFY(services.processes && services.registry && services.autostart && services.hotkeys);
        QCOMPARE(services.clock, &systemClock());
        QVERIFY(!services.hid && !services.hidPorts);
        // The same objects on every call.
        QCOMPARE(linuxServices().processes, services.processes);
        QCOMPARE(services.hotkeys, static_cast<Hotkeys*>(&linuxHotkeys()));
        // No GUI connection: hot keys cannot be had, and say so.
        QCOMPARE(services.hotkeys->registerHotkey(modifier::Control, 'Y', [] {}), 0);
    }

    void registryIsAbsent()
    {
        Registry& registry = *linuxServices().registry;
        std::u16string value = u"untouched";
        const std::u16string run = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
        QVERIFY(
            !registry.writeString(RegistryRoot::CurrentUser, run, u"ZENTRIKCLOCK", u"/usr/bin/zentrikclock"));
        QVERIFY(!registry.readString(RegistryRoot::CurrentUser, run, u"ZENTRIKCLOCK", value));
        QCOMPARE(value, std::u16string(u"untouched"));
        QVERIFY(!registry.removeValue(RegistryRoot::CurrentUser, run, u"ZENTRIKCLOCK"));
    }
};

ZK_TEST_MAIN(TestLinuxServices)
#include "tst_linuxservices.moc"
