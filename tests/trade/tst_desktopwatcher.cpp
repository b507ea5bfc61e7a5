#include "ZkTest.h"

#include "LogCapture.h"
#include "SimFixture.h"
#include "sim/desktop/FakeTdx.h"
#include "trade/DesktopWatcher.h"
#include "trade/StateMachine.h"

#include <QSignalSpy>

#include <functional>

using platform::WindowId;

namespace {

struct Watched
{
    SimFixture f;
    StateMachine machine{f.clock};
    bool stockCheck = false;
    DesktopWatcher watcher{&machine, [this] { return stockCheck; }};
    QSignalSpy changed{&watcher, &DesktopWatcher::desktopChanged};
    QSignalSpy activated{&watcher, &DesktopWatcher::appActivated};
    QSignalSpy clicks{&watcher, &DesktopWatcher::mouseClick};
    platform::ProcessId pid = f.client(u"tdxw.exe");

    WindowId window(const QString& className, const QString& title, const QStringList& statics = {})
    {
        std::vector<SimFixture::Child> children;
        for (const QString& text : statics)
            children.push_back({u"Static", text.toStdU16String()});
        return f.window(pid, className.toStdU16String(), title.toStdU16String(), children);
    }
};

} // namespace

class TestDesktopWatcher : public QObject
{
    Q_OBJECT

private slots:
    void classification_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("statics");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("announced");
        QTest::addColumn<int>("software");
        QTest::addColumn<int>("subtype");
        using S = StateMachine;
        const QStringList none;
        // Main windows of the clients.
        QTest::newRow("TDX layout page") << "TdxW_MainFrame_Class"
                                         << "通达信金融终端 - [版面-自选股]" << none << int(S::Idle)
                                         << int(S::TdxLayout) << true << 2 << 1;
        QTest::newRow("TDX other page")
            << "TdxW_MainFrame_Class"
            << "通达信金融终端 - [行情]" << none << int(S::FlashBuy) << int(S::TdxMain) << true << 2 << 1;
        QTest::newRow("THS classic") << "Afx:00400000:b:00010003"
                                     << "同花顺(v9.30.71) - 自选股" << none << int(S::Idle) << int(S::ThsMain)
                                     << true << 1 << 1;
        QTest::newRow("THS 远航版") << "HwndWrapper[hexinyh;;1]"
                                    << "同花顺远航版 - 自选股" << none << int(S::Idle) << int(S::ThsYhMain)
                                    << true << 1 << 2;
        // Windows of a client's classes that match no rule: announced, state kept.
        QTest::newRow("Afx, other title")
            << "Afx:00400000:b"
            << "资讯" << none << int(S::TdxMain) << int(S::TdxMain) << true << 0 << 0;
        QTest::newRow("HwndWrapper, classic title")
            << "HwndWrapper[x]"
            << "同花顺" << none << int(S::TdxMain) << int(S::TdxMain) << true << 0 << 0;
        QTest::newRow("class Tdx") << "Tdx"
                                   << "行情" << none << int(S::TdxMain) << int(S::TdxMain) << true << 0 << 0;
        QTest::newRow("class TdxW") << "TdxW"
                                    << "" << none << int(S::TdxLayout) << int(S::TdxLayout) << true << 0 << 0;
        QTest::newRow("远航版 title, other class")
            << "Chrome_WidgetWin_1"
            << "同花顺远航版帮助" << none << int(S::ThsMain) << int(S::ThsMain) << true << 0 << 0;
        // Dialogs.
        QTest::newRow("闪电买入") << "#32770"
                                  << "闪电买入" << none << int(S::TdxMain) << int(S::FlashBuy) << true << 0
                                  << 0;
        QTest::newRow("闪电融资买入")
            << "#32770"
            << "闪电融资买入" << none << int(S::TdxMain) << int(S::FlashBuy) << true << 0 << 0;
        QTest::newRow("闪电卖出") << "#32770"
                                  << "闪电卖出" << none << int(S::TdxMain) << int(S::FlashSell) << true << 0
                                  << 0;
        QTest::newRow("Tdx") << "#32770"
                             << "Tdx" << none << int(S::FlashBuy) << int(S::TdxDialog) << true << 0 << 0;
        QTest::newRow("Tdx is exact")
            << "#32770"
            << "Tdx " << none << int(S::TdxMain) << int(S::TdxMain) << true << 0 << 0;
        QTest::newRow("提示 委托已提交") << "#32770"
                                         << "提示" << QStringList{"合同", "委托已提交，合同号:1001"}
                                         << int(S::FlashBuy) << int(S::OrderSubmitted) << true << 0 << 0;
        QTest::newRow("提示 without 委托已提交") << "#32770"
                                                 << "提示" << QStringList{"可用资金不足"} << int(S::FlashBuy)
                                                 << int(S::FlashBuy) << true << 0 << 0;
        QTest::newRow("提示 over THS")
            << "#32770"
            << "提示" << QStringList{"其他"} << int(S::ThsMain) << int(S::ThsMain) << true << 0 << 0;
        QTest::newRow("请选择") << "#32770"
                                << "请选择" << none << int(S::TdxMain) << int(S::SelectDialog) << true << 0
                                << 0;
        QTest::newRow("买入交易确认")
            << "#32770"
            << "买入交易确认" << none << int(S::FlashBuy) << int(S::TradeConfirm) << true << 0 << 0;
        QTest::newRow("卖出交易确认")
            << "#32770"
            << "卖出交易确认" << none << int(S::FlashSell) << int(S::TradeConfirm) << true << 0 << 0;
        QTest::newRow("dialog over THS") << "#32770"
                                         << "买入下单" << QStringList{"您确定撤消"} << int(S::ThsMain)
                                         << int(S::ThsDialog) << true << 0 << 0;
        QTest::newRow("dialog over 远航版")
            << "#32770"
            << "" << none << int(S::ThsYhMain) << int(S::ThsDialog) << true << 0 << 0;
        QTest::newRow("cancel confirmation") << "#32770"
                                             << "撤单确认" << QStringList{"您确定撤消该委托吗？"}
                                             << int(S::TdxMain) << int(S::CancelConfirm) << true << 0 << 0;
        QTest::newRow("cancel all") << "#32770"
                                    << "撤单确认" << QStringList{"注意", "一键撤单 3 笔"} << int(S::TdxMain)
                                    << int(S::CancelAll) << true << 0 << 0;
        QTest::newRow("first matching text wins") << "#32770"
                                                  << "撤单" << QStringList{"一键撤单", "您确定撤消"}
                                                  << int(S::TdxMain) << int(S::CancelAll) << true << 0 << 0;
        QTest::newRow("dialog of nothing known")
            << "#32770"
            << "关于" << QStringList{"版本 7.65"} << int(S::TdxMain) << int(S::TdxMain) << true << 0 << 0;
        // Not trading windows.
        QTest::newRow("网上股票交易 (THS order client)")
            << "Afx:00400000:b"
            << "网上股票交易系统5.0" << none << int(S::ThsMain) << int(S::Idle) << false << 0 << 0;
        QTest::newRow("another program")
            << "Notepad"
            << "记事本" << none << int(S::FlashBuy) << int(S::Idle) << false << 0 << 0;
        QTest::newRow("shell flyout")
            << "XamlExplorerHostIslandWindow"
            << "" << none << int(S::FlashBuy) << int(S::FlashBuy) << false << 0 << 0;
    }

    void classification()
    {
        QFETCH(QString, className);
        QFETCH(QString, title);
        QFETCH(QStringList, statics);
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(bool, announced);
        QFETCH(int, software);
        QFETCH(int, subtype);
        Watched w;
        w.machine.setState(StateMachine::State(before));
        const WindowId window = w.window(className, title, statics);

        w.watcher.onForegroundChanged(window);
        QCOMPARE(int(w.machine.state()), after);
        QCOMPARE(w.changed.count(), announced ? 1 : 0);
        if (announced) {
            QCOMPARE(w.changed.at(0).at(0).value<trade::WPARAM>(), trade::WPARAM(window));
            QCOMPARE(w.machine.record()->hwnd, window);
            QCOMPARE(w.machine.record()->title, title);
            QCOMPARE(w.machine.record()->className, className.left(31));
        }
        QCOMPARE(w.activated.count(), software ? 1 : 0);
        if (software) {
            QCOMPARE(w.activated.at(0).at(0).toInt(), software);
            QCOMPARE(w.activated.at(0).at(1).toInt(), subtype);
        }
    }

    void mainWindowsAreLogged()
    {
        Watched w;
        const WindowId ths = w.window(QStringLiteral("Afx:1"), QStringLiteral("同花顺"));
        const WindowId tdx = w.window(QStringLiteral("TdxW_MainFrame_Class"), QStringLiteral("通达信"));
        LogCapture log;
        w.watcher.onForegroundChanged(ths);
        w.watcher.onForegroundChanged(tdx);
        QCOMPARE(log.lines(),
                 (QStringList{"同花顺，THS_MAIN", "DesktopWatcher检测到软件激活: 同花顺 (ID=1, 子类型=1)",
                              "DesktopWatcher检测到软件激活: 通达信 (ID=2, 子类型=1)"}));
    }

    void theSameWindowTwiceChangesNothing()
    {
        Watched w;
        const WindowId main =
            w.window(QStringLiteral("TdxW_MainFrame_Class"), QStringLiteral("通达信 - [行情]"));
        w.watcher.onForegroundChanged(main);
        QCOMPARE(w.machine.state(), StateMachine::TdxMain);
        w.machine.setStep(StateMachine::FinalStep);

        w.watcher.onForegroundChanged(main);
        QCOMPARE(w.changed.count(), 1);
        QCOMPARE(w.activated.count(), 1);
        QCOMPARE(w.machine.step(), StateMachine::FinalStep);

        // The flyout host in between does not count as another window either.
        const WindowId flyout = w.window(QStringLiteral("XamlExplorerHostIslandWindow"), QString());
        w.watcher.onForegroundChanged(flyout);
        w.watcher.onForegroundChanged(main);
        QCOMPARE(w.changed.count(), 1);
        QCOMPARE(w.machine.state(), StateMachine::TdxMain);

        // Another program in between does: the window is classified afresh.
        const WindowId notepad = w.window(QStringLiteral("Notepad"), QStringLiteral("记事本"));
        w.watcher.onForegroundChanged(notepad);
        QCOMPARE(w.machine.state(), StateMachine::Idle);
        w.watcher.onForegroundChanged(main);
        QCOMPARE(w.changed.count(), 2);
        QCOMPARE(w.activated.count(), 2);
        QCOMPARE(w.machine.state(), StateMachine::TdxMain);
        QCOMPARE(w.machine.step(), 0u);
    }

    void aNullWindowIsIgnored()
    {
        Watched w;
        w.machine.setState(StateMachine::TdxMain);
        w.watcher.classifyForegroundWindow(0, QStringLiteral("TdxW_MainFrame_Class"), QString());
        QCOMPARE(w.changed.count(), 0);
        QCOMPARE(w.machine.state(), StateMachine::TdxMain);
    }

    void followsTheForegroundOnItsThread()
    {
        SimFixture f;
        StateMachine machine(f.clock);
        DesktopWatcher watcher(&machine, [] { return false; });
        // Received on this thread (queued from the watcher's), as the connection manager does.
        std::vector<trade::WPARAM> changed;
        QObject receiver;
        connect(&watcher, &DesktopWatcher::desktopChanged, &receiver,
                [&changed](trade::WPARAM w) { changed.push_back(w); });
        sim::FakeTdx tdx(f.system); // its main window is in front when the watcher starts
        QVERIFY(!watcher.isHooked());
        watcher.start();
        QTRY_COMPARE(changed.size(), std::size_t(1)); // the window in front is classified at once
        QTRY_VERIFY(watcher.isHooked());
        QCOMPARE(machine.state(), StateMachine::TdxLayout);
        QCOMPARE(changed.at(0), trade::WPARAM(tdx.mainWindow()));

        const WindowId dialog = tdx.openFlashBuy();
        QTRY_COMPARE(changed.size(), std::size_t(2));
        QCOMPARE(changed.at(1), trade::WPARAM(dialog));
        QCOMPARE(machine.state(), StateMachine::FlashBuy);

        watcher.stop();
        QVERIFY(watcher.isFinished());
        QVERIFY(!watcher.isHooked());
        tdx.openFlashSell();
        QCoreApplication::processEvents();
        QCOMPARE(machine.state(), StateMachine::FlashBuy);
        QCOMPARE(changed.size(), std::size_t(2));

        // Started again (the next trading mode), it hooks again.
        watcher.start();
        QTRY_COMPARE(machine.state(), StateMachine::FlashSell);
        watcher.stop();
    }

    // A hook that stays silent (Wine, or a hook Windows dropped): the watcher's poll finds each
    // new foreground window once it has stayed in front for a poll interval on the clock, and a
    // change the hook did report is not reported again by the poll.
    void followsTheForegroundWhenTheHookIsSilent()
    {
        SimFixture f;
        // Time passes while the test waits (the poll looks every few milliseconds of real time).
        const auto after = [&f](const std::function<bool()>& done) {
            f.clock.advance(DesktopWatcher::ForegroundPollMs);
            return done();
        };
        StateMachine machine(f.clock);
        DesktopWatcher watcher(&machine, [] { return false; });
        std::vector<trade::WPARAM> changed;
        QObject receiver;
        connect(&watcher, &DesktopWatcher::desktopChanged, &receiver,
                [&changed](trade::WPARAM w) { changed.push_back(w); });
        sim::FakeTdx tdx(f.system);
        watcher.start();
        QTRY_COMPARE(changed.size(), std::size_t(1));
        QTRY_VERIFY(watcher.isHooked());

        // Reported by the hook; the poll sees the same window and says nothing.
        const WindowId buy = tdx.openFlashBuy();
        QTRY_COMPARE(changed.size(), std::size_t(2));
        QCOMPARE(changed.at(1), trade::WPARAM(buy));

        f.desktop().setForegroundEvents(false);
        const WindowId sell = tdx.openFlashSell();
        QTRY_VERIFY(after([&] { return machine.state() == StateMachine::FlashSell; }));
        QTRY_COMPARE(changed.size(), std::size_t(3));
        QCOMPARE(changed.at(2), trade::WPARAM(sell));

        // A window of another program in front: idle, and the TDX coming back is classified again.
        const WindowId other = f.window(f.client(), u"Notepad", u"notes");
        f.desktop().setForegroundWindow(other);
        QTRY_VERIFY(after([&] { return machine.state() == StateMachine::Idle; }));
        tdx.activate();
        QTRY_VERIFY(after([&] { return machine.state() == StateMachine::TdxLayout; }));
        QCOMPARE(changed.size(), std::size_t(4));
        QCOMPARE(changed.at(3), trade::WPARAM(tdx.mainWindow()));
        watcher.stop();
    }

    void theSignalsCrossToTheGuiThread()
    {
        SimFixture f;
        StateMachine machine(f.clock);
        DesktopWatcher watcher(&machine, [] { return false; });
        sim::FakeTdx tdx(f.system);
        QThread* receivedOn = nullptr;
        QObject receiver;
        connect(&watcher, &DesktopWatcher::desktopChanged, &receiver,
                [&receivedOn](trade::WPARAM) { receivedOn = QThread::currentThread(); });
        watcher.start();
        QTRY_VERIFY(receivedOn != nullptr);
        QCOMPARE(receivedOn, QThread::currentThread());
        watcher.stop();
    }

    void pollFollowsTheLayoutPages()
    {
        Watched w;
        sim::FakeTdx tdx(w.f.system);
        w.watcher.onForegroundChanged(tdx.mainWindow());
        QCOMPARE(w.machine.state(), StateMachine::TdxLayout);

        tdx.showPage(u"[行情-600000]");
        w.watcher.checkCurrentWindow(); // stock check off: nothing
        QCOMPARE(w.machine.state(), StateMachine::TdxLayout);

        w.stockCheck = true;
        w.watcher.checkCurrentWindow();
        QCOMPARE(w.machine.state(), StateMachine::TdxMain);
        w.watcher.checkCurrentWindow();
        QCOMPARE(w.machine.state(), StateMachine::TdxMain);
        tdx.showPage(u"[版面-自选股]");
        w.watcher.checkCurrentWindow();
        QCOMPARE(w.machine.state(), StateMachine::TdxLayout);
        QCOMPARE(w.clicks.count(), 0);

        // Other states are left to the foreground hook.
        w.machine.setState(StateMachine::FlashBuy);
        w.watcher.checkCurrentWindow();
        QCOMPARE(w.machine.state(), StateMachine::FlashBuy);
    }

    void aReleasedClickOverALayoutPageIsReported()
    {
        Watched w;
        w.stockCheck = true;
        sim::FakeTdx tdx(w.f.system);
        w.watcher.onForegroundChanged(tdx.mainWindow());
        w.watcher.checkCurrentWindow();
        QCOMPARE(w.clicks.count(), 0);

        w.f.desktop().setDeviceKeyState(platform::vk::LButton, true);
        w.watcher.checkCurrentWindow();
        w.watcher.checkCurrentWindow(); // held: still no click
        QCOMPARE(w.clicks.count(), 0);
        w.f.desktop().setDeviceKeyState(platform::vk::LButton, false);
        w.watcher.checkCurrentWindow();
        QCOMPARE(w.clicks.count(), 1);
        QCOMPARE(w.clicks.at(0).at(0).value<trade::WPARAM>(), trade::WPARAM(tdx.mainWindow()));
        w.watcher.checkCurrentWindow();
        QCOMPARE(w.clicks.count(), 1);

        // Not over a layout page: no click, the state follows the page instead.
        w.f.desktop().setDeviceKeyState(platform::vk::LButton, true);
        w.watcher.checkCurrentWindow();
        tdx.showPage(u"[行情]");
        w.f.desktop().setDeviceKeyState(platform::vk::LButton, false);
        w.watcher.checkCurrentWindow();
        QCOMPARE(w.clicks.count(), 1);
        QCOMPARE(w.machine.state(), StateMachine::TdxMain);
    }

    void pollingFollowsTheSetting()
    {
        SimFixture f;
        StateMachine machine(f.clock);
        bool stockCheck = true;
        DesktopWatcher on(&machine, [&stockCheck] { return stockCheck; });
        QVERIFY(on.isPolling());
        stockCheck = false;
        DesktopWatcher off(&machine, [&stockCheck] { return stockCheck; });
        QVERIFY(!off.isPolling());
        off.setPolling(true);
        QVERIFY(off.isPolling());
        off.setPolling(false);
        QVERIFY(!off.isPolling());
        on.stop();
        QVERIFY(!on.isPolling());
    }

    void theRunningPollSeesAPageChange()
    {
        Watched w;
        w.stockCheck = true;
        sim::FakeTdx tdx(w.f.system);
        w.watcher.onForegroundChanged(tdx.mainWindow());
        w.watcher.setPolling(true);
        tdx.showPage(u"[行情]");
        QTRY_COMPARE(w.machine.state(), StateMachine::TdxMain);
        tdx.showPage(u"[版面-板块]");
        QTRY_COMPARE(w.machine.state(), StateMachine::TdxLayout);
    }
};

ZK_TEST_MAIN(TestDesktopWatcher)
#include "tst_desktopwatcher.moc"
