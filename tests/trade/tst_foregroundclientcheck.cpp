#include "ZkTest.h"

#include "LogCapture.h"
#include "SimFixture.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/FakeThs.h"

#include "trade/ForegroundClientCheck.h"

namespace {

struct Keyboard
{
    int software = 1;
    bool trading = true;
    bool autoSwitch = true;
    QList<int> switches;

    ForegroundClientCheck::Hooks hooks()
    {
        return {[this] { return software; }, [this] { return trading; },
                [this](int s) { switches.append(s); }, [this] { return autoSwitch; }};
    }
};

} // namespace

class TestForegroundClientCheck : public QObject
{
    Q_OBJECT

private slots:
    void recognisesTheClients_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("software");
        QTest::newRow("TDX") << "TdxW_MainFrame_Class"
                             << "通达信金融终端" << 2;
        QTest::newRow("TDX, any title") << "TdxW_MainFrame_Class"
                                        << "" << 2;
        QTest::newRow("THS classic") << "Afx:00400000:b"
                                     << "同花顺(v9.20)" << 1;
        QTest::newRow("THS 远航版") << "HwndWrapper[hexin;;1]"
                                    << "同花顺远航版" << 1;
        QTest::newRow("Afx other title") << "Afx:00400000:b"
                                         << "记事本" << 0;
        QTest::newRow("HwndWrapper classic title") << "HwndWrapper[x]"
                                                   << "同花顺" << 0;
        QTest::newRow("TDX dialog") << "#32770"
                                    << "闪电买入" << 0;
        QTest::newRow("nothing") << ""
                                 << "" << 0;
    }

    void recognisesTheClients()
    {
        QFETCH(QString, className);
        QFETCH(QString, title);
        QFETCH(int, software);
        Keyboard keyboard;
        keyboard.software = software == 0 ? 1 : software;
        ForegroundClientCheck check(keyboard.hooks());
        LogCapture log;
        check.checkForegroundSoftware(className, title);
        if (software == 0) {
            QCOMPARE(
                log.lines(),
                QStringList{
                    QStringLiteral("当前前台窗口不是股票软件 - 类名: %1, 标题: %2").arg(className, title)});
        }
        QCOMPARE(check.detectedSoftware(), software);
        QCOMPARE(check.softwareFound(), software != 0);
        QVERIFY(keyboard.switches.isEmpty());
    }

    void switchesTheKeyboardToTheClientInFront()
    {
        Keyboard keyboard;
        keyboard.software = 1;
        keyboard.trading = false;
        ForegroundClientCheck check(keyboard.hooks());
        LogCapture log;
        check.checkForegroundSoftware(QStringLiteral("TdxW_MainFrame_Class"),
                                      QStringLiteral("通达信金融终端"));
        QCOMPARE(log.lines(),
                 (QStringList{"软件检测结果:", "  前台窗口: 通达信金融终端 (类名: TdxW_MainFrame_Class)",
                              "  键盘设置: 同花顺", "  交易状态: 未开启", "检测到软件切换: 未知 -> 通达信",
                              "键盘软件类型不匹配，执行自动切换: 同花顺 -> 通达信"}));
        QCOMPARE(keyboard.switches, QList<int>{2});
    }

    void aMatchingKeyboardIsLeftAlone()
    {
        Keyboard keyboard;
        keyboard.software = 2;
        ForegroundClientCheck check(keyboard.hooks());
        check.checkForegroundSoftware(QStringLiteral("TdxW_MainFrame_Class"), QStringLiteral("通达信"));
        // The second time the client is the same: no switch line, a match line.
        LogCapture log;
        check.checkForegroundSoftware(QStringLiteral("TdxW_MainFrame_Class"), QStringLiteral("通达信"));
        QCOMPARE(log.lines(),
                 (QStringList{"软件检测结果:", "  前台窗口: 通达信 (类名: TdxW_MainFrame_Class)",
                              "  键盘设置: 通达信", "  交易状态: 已开启", "键盘软件类型已匹配，无需切换"}));
        QVERIFY(keyboard.switches.isEmpty());

        // Then THS comes to the front.
        log.clear();
        check.checkForegroundSoftware(QStringLiteral("Afx:1"), QStringLiteral("同花顺"));
        QVERIFY(log.contains(QStringLiteral("检测到软件切换: 通达信 -> 同花顺")));
        QVERIFY(log.contains(QStringLiteral("键盘软件类型不匹配，执行自动切换: 通达信 -> 同花顺")));
        QCOMPARE(keyboard.switches, QList<int>{1});
        QCOMPARE(check.detectedSoftware(), 1);
    }

    void startsAfterThreeSeconds()
    {
        Keyboard keyboard;
        ForegroundClientCheck check(keyboard.hooks());
        QVERIFY(!check.verifyTimer().isActive());
        check.start();
        QVERIFY(check.verifyTimer().isActive());
        QVERIFY(check.verifyTimer().isSingleShot());
        QCOMPARE(check.verifyTimer().interval(), 3000);
    }

    void activationRestartsTheCheckWithAutoSwitchOn()
    {
        Keyboard keyboard;
        ForegroundClientCheck check(keyboard.hooks());
        check.start();
        check.onAppChanged(2, 1);
        QVERIFY(check.verifyTimer().isActive());
        QCOMPARE(check.verifyTimer().interval(), 300);

        keyboard.autoSwitch = false;
        check.start();
        check.onAppChanged(1, 2);
        QCOMPARE(check.verifyTimer().interval(), 3000);
    }

    void nothingFoundStartsThePeriodicCheck()
    {
        // No desktop installed: nothing is in front.
        Keyboard keyboard;
        ForegroundClientCheck check(keyboard.hooks());
        LogCapture log;
        check.onAppSwitchVerifyTimeout();
        QCOMPARE(log.lines(), (QStringList{"Widget::onAppSwitchVerifyTimeout - 执行启动时股票软件检查",
                                           "当前前台窗口不是股票软件 - 类名: , 标题: ",
                                           "首次检查未发现股票软件，启动周期性检查 (每5秒)"}));
        QVERIFY(check.periodicTimer().isActive());
        QCOMPARE(check.periodicTimer().interval(), 5000);

        log.clear();
        check.onPeriodicCheckTimeout();
        QCOMPARE(log.lines(), (QStringList{"Widget::onPeriodicCheckTimeout - 执行周期性股票软件检查",
                                           "当前前台窗口不是股票软件 - 类名: , 标题: "}));
        QVERIFY(check.periodicTimer().isActive());

        log.clear();
        check.stopPeriodicCheck();
        QVERIFY(!check.periodicTimer().isActive());
        check.stopPeriodicCheck(); // already stopped: says nothing
        QCOMPARE(log.lines(), QStringList{"停止周期性股票软件检查"});
        QVERIFY(keyboard.switches.isEmpty());
    }

    void thePeriodicCheckEndsOnceAClientIsInFront()
    {
        SimFixture sim;
        sim.window(sim.client(), u"Notepad", u"记事本");
        Keyboard keyboard;
        keyboard.software = 1;
        ForegroundClientCheck check(keyboard.hooks());
        check.onAppSwitchVerifyTimeout();
        QVERIFY(check.periodicTimer().isActive());

        sim::FakeTdx tdx(sim.system); // comes to the front
        LogCapture log;
        check.onPeriodicCheckTimeout();
        QVERIFY(!check.periodicTimer().isActive());
        QCOMPARE(check.detectedSoftware(), 2);
        QCOMPARE(keyboard.switches, QList<int>{2});
        QCOMPARE(log.lines().last(), QStringLiteral("已检测到股票软件，停止周期性检查"));
        QVERIFY(log.contains(
            QStringLiteral("  前台窗口: 通达信金融终端V7.65 - [版面-自选股] (类名: TdxW_MainFrame_Class)")));
    }

    void anActivationLeadsToTheCheck()
    {
        SimFixture sim;
        sim::FakeThs ths(sim.system);
        Keyboard keyboard;
        keyboard.software = 2;
        ForegroundClientCheck check(keyboard.hooks());
        check.onAppChanged(1, 1);
        // The real timer fires after 300 ms and switches the keyboard to THS.
        QTRY_COMPARE(keyboard.switches, QList<int>{1});
        QVERIFY(check.softwareFound());
        QVERIFY(!check.periodicTimer().isActive());
    }

    void manualCheck()
    {
        Keyboard keyboard;
        ForegroundClientCheck check(keyboard.hooks());
        LogCapture log;
        check.checkCurrentSoftwareType();
        QCOMPARE(log.lines().value(0), QStringLiteral("手动触发软件类型检测"));
        QVERIFY(!check.softwareFound());
    }
};

ZK_TEST_MAIN(TestForegroundClientCheck)
#include "tst_foregroundclientcheck.moc"
