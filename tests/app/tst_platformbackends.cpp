// The backends main() installs: on Linux under X11 the X11 desktop, /proc processes, key-grab
// hot keys, XDG autostart and the keyboard's HID interfaces, for as long as the installer object
// lives; in demo mode simulated keyboards and a simulated trading desktop with a fake TDX beside
// the host's desktop and hot keys, and the demo's command file; with simulated keyboards the
// system's backends beside them.

#include "app/PlatformBackends.h"
#include "platform/api/Diagnostics.h"
#include "platform/api/Platform.h"
#include "platform/linux/LinuxHidApi.h"
#include "platform/linux/LinuxHidPorts.h"
#include "platform/linux/LinuxServices.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "sim/world/DemoWorld.h"

#include "ZkTest.h"

#include <QTemporaryDir>

namespace {

QStringList g_messages;

void capture(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    g_messages.append(QStringLiteral("%1 %2").arg(type == QtWarningMsg ? "warning" : "debug", message));
}

QString classOf(platform::Desktop& desktop, platform::WindowId window)
{
    char16_t buffer[64] = {};
    const int n = desktop.className(window, buffer, 64);
    return QString::fromUtf16(buffer, n);
}

void append(const QString& file, const QByteArray& text)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::Append));
    f.write(text);
}

} // namespace

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
            // A real keyboard can be found and opened.
            QCOMPARE(os.hid, &platform::linuxHidApi());
            QCOMPARE(os.hidPorts, &platform::linuxHidPorts());
            QVERIFY(!backends.demo());
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
        QVERIFY(!platform::services().hid);
        QVERIFY(platform::services().clock);
    }

    void demoModeIsRequestedByArgumentOrEnvironment()
    {
        qunsetenv("ZENTRIK_DEMO");
        QVERIFY(DemoWorld::requested({"zentrikclock", "--demo"}));
        QVERIFY(!DemoWorld::requested({"zentrikclock"}));
        qputenv("ZENTRIK_DEMO", "1");
        QVERIFY(DemoWorld::requested({"zentrikclock"}));
        qputenv("ZENTRIK_DEMO", "yes");
        QVERIFY(!DemoWorld::requested({"zentrikclock"}));
        qunsetenv("ZENTRIK_DEMO");

        for (const auto& [value, count] :
             {std::pair<QByteArray, int>{"", 1}, {"3", 3}, {"0", 0}, {"9", 1}, {"x", 1}}) {
            qputenv("ZENTRIK_SIM_KEYBOARDS", value);
            QCOMPARE(DemoWorld::keyboardCountFromEnvironment(), count);
        }
        qunsetenv("ZENTRIK_SIM_KEYBOARDS");
    }

    void demoInstallsTheSimulationBesideTheHost()
    {
        qputenv("ZENTRIK_SIM_KEYBOARDS", "2");
        {
            PlatformBackends backends(PlatformBackends::Mode::Demo);
            qunsetenv("ZENTRIK_SIM_KEYBOARDS");
            QCOMPARE(backends.name(), "demo");
            QVERIFY(backends.demo());
            const platform::Services& os = platform::services();
            const platform::Services host = platform::linuxServices();
            // The program's own windows and the user's keys stay on the host.
            QCOMPARE(os.hostDesktop, host.hostDesktop);
            QCOMPARE(os.hotkeys, host.hotkeys);
            // Trading clients, processes and autostart are the simulation's.
            QVERIFY(os.desktop && os.desktop != os.hostDesktop);
            QVERIFY(os.processes != host.processes);
            QVERIFY(os.autostart != host.autostart);
            QCOMPARE(classOf(*os.desktop, os.desktop->foregroundWindow()),
                     QStringLiteral("TdxW_MainFrame_Class"));
            // Two simulated keyboards behind the HID seam.
            QVERIFY(os.hid != &platform::linuxHidApi());
            const auto ports = os.hidPorts->enumeratePorts(0x3721, 0x2405, 0xFF00);
            QCOMPARE(ports.size(), size_t(2));
            QCOMPARE(QString::fromStdU16String(ports.at(1).serialNumber), QStringLiteral("ZK000002"));
        }
        QVERIFY(!platform::services().desktop);
        QVERIFY(!platform::services().hid);
    }

    // The system's backends stay, the keyboards are simulated.
    void simKeyboardModeKeepsTheSystemDesktop()
    {
        {
            PlatformBackends backends(PlatformBackends::Mode::SimKeyboard);
            QCOMPARE(backends.name(), "linux");
            QVERIFY(backends.simKeyboards());
            QVERIFY(!backends.demo());
            const platform::Services& os = platform::services();
            const platform::Services host = platform::linuxServices();
            QCOMPARE(os.desktop, host.desktop);
            QCOMPARE(os.processes, host.processes);
            QCOMPARE(os.hotkeys, host.hotkeys);
            QVERIFY(os.hid != &platform::linuxHidApi());
            QCOMPARE(os.hidPorts->enumeratePorts(0x3721, 0x2405, 0xFF00).size(), size_t(1));
        }
        QVERIFY(!platform::services().hid);
    }

    void demoFollowsTheCommandFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("control"));
        qputenv("ZENTRIK_SIM_CONTROL", file.toUtf8());
        PlatformBackends backends(PlatformBackends::Mode::Demo);
        qunsetenv("ZENTRIK_SIM_CONTROL");
        DemoWorld* demo = backends.demo();
        sim::KeyboardSimulator& keyboards = demo->keyboards();
        QVERIFY(keyboards.isPlugged("ZK000001"));

        g_messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(capture);
        // A line may arrive in pieces: the start of the next one comes with this one.
        append(file, "unplug ZK000001\npl");
        QTRY_VERIFY(!keyboards.isPlugged("ZK000001"));
        append(file, "ug ZK000001\nfly ZK000001\n");
        QTRY_VERIFY(keyboards.isPlugged("ZK000001"));
        QTRY_VERIFY(
            g_messages.contains(QStringLiteral("warning Demo control: not understood: fly ZK000001")));
        QCOMPARE(g_messages.filter(QStringLiteral("not understood")).size(), 1);
        qInstallMessageHandler(previous);

        // A trade key reaches the program like a real one.
        platform::HidApi& hid = *platform::services().hid;
        platform::HidDevice* handle = hid.openPath(keyboards.path("ZK000001").c_str());
        QVERIFY(handle);
        QVERIFY(demo->runCommand(QStringLiteral("press ZK000001 13")));
        unsigned char report[65] = {};
        QVERIFY(hid.readTimeout(handle, report, sizeof report, 2000) > 0);
        QCOMPARE(int(report[2]), 0xD0);
        hid.close(handle);

        for (const char* bad :
             {"unplug ZK000009", "press ZK000001 x", "press ZK000001 300", "plug", "unplug ZK000001 now"})
            QVERIFY2(!demo->runCommand(QString::fromLatin1(bad)), bad);
    }

    void platformDiagnosticsBecomeQtMessages()
    {
        g_messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(capture);
        {
            PlatformBackends backends;
            platform::diagnostic(platform::DiagnosticLevel::Warning, "设备监视失败");
            platform::diagnostic(platform::DiagnosticLevel::Debug, "设备到达");
        }
        platform::diagnostic(platform::DiagnosticLevel::Warning, "无人接收");
        qInstallMessageHandler(previous);
        QCOMPARE(g_messages, (QStringList{"warning 设备监视失败", "debug 设备到达"}));
    }
};

ZK_TEST_MAIN(TestPlatformBackends)
#include "tst_platformbackends.moc"
