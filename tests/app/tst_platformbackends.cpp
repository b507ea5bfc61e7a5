// The backends main() installs: on Linux under X11 the X11 desktop, /proc processes, key-grab
// hot keys and XDG autostart, for as long as the installer object lives.

#include "app/PlatformBackends.h"
#include "platform/api/Platform.h"

#include "ZkTest.h"

class TestPlatformBackends : public QObject
{
    Q_OBJECT

private slots:
    void installsTheLinuxBackendWhileAlive()
    {
        QVERIFY(!platform::services().hostDesktop);
        {
            PlatformBackends backends;
            QCOMPARE(backends.name(), "linux");
            const platform::Services& os = platform::services();
            QVERIFY(os.desktop);
            QCOMPARE(os.hostDesktop, os.desktop);
            QVERIFY(os.processes);
            QVERIFY(os.hotkeys);
            QVERIFY(os.autostart);
            QVERIFY(os.clock);
            // Hot keys can be grabbed on the GUI's connection (a combination no other test of the
            // shared test display uses).
            const int id = os.hotkeys->registerHotkey(platform::modifier::Control | platform::modifier::Alt |
                                                          platform::modifier::Shift,
                                                      platform::vk::F12, [] {});
            QVERIFY(id > 0);
            os.hotkeys->unregisterHotkey(id);
        }
        QVERIFY(!platform::services().hostDesktop);
        QVERIFY(!platform::services().hotkeys);
        QVERIFY(platform::services().clock);
    }
};

ZK_TEST_MAIN(TestPlatformBackends)
#include "tst_platformbackends.moc"
