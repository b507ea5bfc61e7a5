// Simulated keyboards on a desktop they do not simulate: a trade key reaches the program as a
// frame and types the TDX hot key of its trade into the window in front through the installed
// desktop (here a simulated one with a fake TDX, as a real TDX would get it); the command file.

#include "ZkTest.h"

#include "platform/api/Clock.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "sim/world/SimKeyboardMode.h"
#include "sim/world/TradeKeyTyping.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// A desktop with a TDX in front that answers its hot keys, and the keyboards of the mode.
struct Desk
{
    platform::ManualClock clock;
    sim::SimSystem system{clock};
    sim::FakeTdx tdx{system, sim::TradeKeyTyping::withHotkeys()};
    SimKeyboardMode mode{1};

    Desk()
    {
        system.driveEventsFrom(clock);
        platform::Services os = system.services();
        mode.installInto(os);
        platform::install(os);
    }
    ~Desk()
    {
        clock.setObserver(nullptr);
        platform::install({});
    }
    QStringList dialogTitles()
    {
        QStringList titles;
        for (sim::WindowId dialog : tdx.orderDialogs())
            titles.append(QString::fromStdU16String(system.desktop().text(dialog)));
        return titles;
    }
};

} // namespace

class TestSimKeyboardMode : public QObject
{
    Q_OBJECT

private slots:
    void isRequestedByArgumentOrEnvironment()
    {
        qunsetenv("ZENTRIK_SIM_KEYBOARD");
        QVERIFY(SimKeyboardMode::requested({"zentrikclock", "--sim-keyboard"}));
        QVERIFY(!SimKeyboardMode::requested({"zentrikclock", "--demo"}));
        qputenv("ZENTRIK_SIM_KEYBOARD", "1");
        QVERIFY(SimKeyboardMode::requested({"zentrikclock"}));
        qunsetenv("ZENTRIK_SIM_KEYBOARD");
    }

    void keysTypeTheHotKeyOfTheirTrade_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("dialogs");
        QTest::newRow("1/3买") << "press ZK000001 13" << QStringList{"闪电买入"};
        QTest::newRow("1/3买 in split mode") << "split ZK000001 13" << QStringList{"闪电买入"};
        QTest::newRow("融资买") << "press ZK000001 18" << QStringList{"闪电融资买入"};
        QTest::newRow("1/2卖") << "press ZK000001 22" << QStringList{"闪电卖出"};
        QTest::newRow("撤单: no hot key") << "press ZK000001 30" << QStringList{};
    }
    void keysTypeTheHotKeyOfTheirTrade()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, dialogs);
        Desk desk;
        platform::HidApi& hid = *platform::services().hid;
        platform::HidDevice* handle = hid.openPath(desk.mode.keyboards().path("ZK000001").c_str());
        QVERIFY(handle);

        QVERIFY(desk.mode.runCommand(line));
        desk.clock.advance(10);
        QCOMPARE(desk.dialogTitles(), dialogs);
        // The program is told of the key as by a real keyboard.
        unsigned char report[65] = {};
        QVERIFY(hid.readTimeout(handle, report, sizeof report, 2000) > 0);
        QCOMPARE(int(report[2]), line.startsWith(QLatin1String("split")) ? 0xDF : 0xD0);
        hid.close(handle);
    }

    void followsTheCommandFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("control"));
        qputenv("ZENTRIK_SIM_CONTROL", file.toUtf8());
        Desk desk;
        qunsetenv("ZENTRIK_SIM_CONTROL");
        QFile control(file);
        QVERIFY(control.open(QIODevice::Append));
        control.write("unplug ZK000001\n");
        control.flush();
        QTRY_VERIFY(!desk.mode.keyboards().isPlugged("ZK000001"));
        control.write("plug ZK000001\n");
        control.flush();
        QTRY_VERIFY(desk.mode.keyboards().isPlugged("ZK000001"));
        // The 开关 key, twice.
        control.write("switch ZK000001\n");
        control.flush();
        QTRY_VERIFY(desk.mode.keyboards().state("ZK000001").workState);
        QVERIFY(desk.mode.runCommand(QStringLiteral("switch ZK000001")));
        QVERIFY(!desk.mode.keyboards().state("ZK000001").workState);

        for (const char* bad : {"stock 600000 浦发银行 10.52", "press ZK000009 13", "press ZK000001 x"})
            QVERIFY2(!desk.mode.runCommand(QString::fromUtf8(bad)), bad);
    }
};

ZK_TEST_MAIN(TestSimKeyboardMode)
#include "tst_simkeyboardmode.moc"
