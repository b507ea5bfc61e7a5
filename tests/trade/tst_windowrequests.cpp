#include "ZkTest.h"

#include "LogCapture.h"
#include "SimFixture.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/MessageDialog.h"
#include "trade/WindowRequests.h"

using platform::WindowId;

namespace {

bool receivedMessage(sim::SimDesktop& desktop, WindowId window, std::uint32_t message)
{
    for (const auto& m : desktop.messagesReceived(window)) {
        if (m.message == message)
            return true;
    }
    return false;
}

} // namespace

class TestWindowRequests : public QObject
{
    Q_OBJECT

private slots:
    void clickButtonRoutes_data()
    {
        QTest::addColumn<bool>("withParent");
        QTest::addColumn<int>("controlId");
        QTest::addColumn<bool>("bmClick");
        QTest::newRow("no parent") << false << 5 << true;
        QTest::newRow("control id 0") << true << 0 << true;
        QTest::newRow("negative control id") << true << -3 << true;
        QTest::newRow("child with id") << true << 1003 << false;
    }

    void clickButtonRoutes()
    {
        QFETCH(bool, withParent);
        QFETCH(int, controlId);
        QFETCH(bool, bmClick);
        SimFixture f;
        const auto pid = f.client();
        const WindowId dialog = f.window(pid, u"#32770", u"闪电买入");
        sim::WindowSpec spec;
        spec.className = u"Button";
        spec.text = u"买入";
        spec.controlId = controlId;
        spec.parent = withParent ? dialog : 0;
        spec.pid = pid;
        const WindowId button = f.desktop().createWindow(spec);
        f.desktop().recordMessages(dialog);
        f.desktop().recordMessages(button);

        LogCapture log;
        WindowRequests::clickButton(button);
        const QString id = QString::number(f.desktop().dlgCtrlId(button));
        const QString parent = QString::number(withParent ? dialog : 0);
        QCOMPARE(log.lines(), (QStringList{"=== 开始点击按钮 ===", "按钮句柄: " + QString::number(button),
                                           "按钮ID: " + id, "父窗口: " + parent,
                                           bmClick ? "已发送 BM_CLICK 消息" : "已发送 WM_COMMAND 消息",
                                           "=== 点击按钮流程结束 ===\n"}));
        QCOMPARE(receivedMessage(f.desktop(), button, platform::msg::BmClick), bmClick);
        const auto commands = f.desktop().messagesReceived(dialog);
        if (bmClick) {
            QVERIFY(!receivedMessage(f.desktop(), dialog, platform::msg::Command) ||
                    commands.back().lParam ==
                        std::intptr_t(button)); // a real button notifies its parent itself
        } else {
            QCOMPARE(commands.size(), std::size_t(1));
            QCOMPARE(commands[0].message, platform::msg::Command);
            QCOMPARE(commands[0].wParam, platform::makeCommandWParam(controlId, platform::notify::BnClicked));
            QCOMPARE(commands[0].lParam, std::intptr_t(button));
        }
    }

    void clickingPlacesTheOrder()
    {
        SimFixture f;
        sim::FakeTdx tdx(f.system);
        sim::TdxOrderOptions order;
        order.quantity = u"300";
        const WindowId dialog = tdx.openFlashBuy(order);
        f.desktop().runPending();
        WindowRequests::clickButton(tdx.control(dialog, sim::TdxField::Confirm));
        f.desktop().runPending();
        const auto orders = f.system.orderBook().submitted();
        QCOMPARE(orders.size(), std::size_t(1));
        QCOMPARE(orders[0].quantity, std::int64_t(300));
    }

    // The click runs on the GUI thread: a client that does not answer holds it for the reply
    // limit at most (on the clock seam), and a click it did not answer does not count as made.
    void aClickTheClientDoesNotAnswer_data()
    {
        QTest::addColumn<int>("answerMs"); // -1: hung
        QTest::addColumn<bool>("clicked");
        QTest::addColumn<int>("waitedMs");
        QTest::newRow("hung") << -1 << false << 200;
        QTest::newRow("slower than the limit") << 350 << false << 200;
        QTest::newRow("busy but within the limit") << 150 << true << 150;
    }
    void aClickTheClientDoesNotAnswer()
    {
        QFETCH(int, answerMs);
        QFETCH(bool, clicked);
        QFETCH(int, waitedMs);
        SimFixture f;
        sim::FakeTdx tdx(f.system);
        sim::TdxOrderOptions order;
        order.quantity = u"300";
        const WindowId dialog = tdx.openFlashBuy(order);
        f.desktop().runPending();
        if (answerMs < 0)
            f.desktop().setHung(dialog, true);
        else
            f.desktop().setAnswerTime(
                dialog, [answerMs](std::uint32_t, std::uintptr_t, std::intptr_t) { return answerMs; });
        const qint64 start = f.clock.nowMs();
        QCOMPARE(WindowRequests::clickButton(tdx.control(dialog, sim::TdxField::Confirm)), clicked);
        QCOMPARE(f.clock.nowMs() - start, qint64(waitedMs));
        QCOMPARE(f.system.orderBook().submitted().size(), std::size_t(clicked ? 1 : 0));
    }

    void clickADisabledButtonWarnsButClicks()
    {
        SimFixture f;
        const auto pid = f.client();
        const WindowId dialog =
            f.window(pid, u"#32770", u"闪电买入",
                     {{u"Button", u"买入", 7, platform::style::Visible | platform::style::Disabled}});
        const WindowId button = f.desktop().childWindows(dialog).front();
        f.desktop().recordMessages(dialog);
        LogCapture log;
        WindowRequests::clickButton(button);
        QCOMPARE(log.lines().value(0), QStringLiteral("警告：按钮可能不可见或已禁用，但仍尝试点击"));
        QVERIFY(receivedMessage(f.desktop(), dialog, platform::msg::Command));
    }

    void clickAnInvalidButton()
    {
        SimFixture f;
        LogCapture log;
        WindowRequests::clickButton(0);
        WindowRequests::clickButton(0x4242);
        QCOMPARE(log.lines(),
                 (QStringList{"按钮句柄无效，buttonHwnd= 0", "按钮句柄无效，buttonHwnd= 16962"}));
    }

    void escSufficesWithoutWmClose_data()
    {
        QTest::addColumn<bool>("orderDialog");
        QTest::newRow("order dialog") << true;
        QTest::newRow("message box") << false;
    }

    void escSufficesWithoutWmClose()
    {
        QFETCH(bool, orderDialog);
        SimFixture f;
        sim::FakeTdx tdx(f.system);
        WindowId dialog = 0;
        if (orderDialog) {
            dialog = tdx.openFlashBuy();
        } else {
            sim::MessageDialogSpec spec;
            spec.pid = tdx.pid();
            spec.title = u"提示";
            spec.texts = {u"委托已提交"};
            dialog = sim::openMessageDialog(f.desktop(), spec);
        }
        tdx.activate(); // something else in front: closing brings the dialog forward first
        f.desktop().recordMessages(dialog);
        const qint64 start = f.clock.nowMs();

        LogCapture log;
        WindowRequests::closeWindow(dialog);
        QVERIFY(!f.desktop().isWindow(dialog));
        QVERIFY(!receivedMessage(f.desktop(), dialog, platform::msg::Close));
        QCOMPARE(f.clock.nowMs() - start, qint64(150));
        const QStringList lines = log.lines();
        QCOMPARE(lines.mid(0, 2),
                 (QStringList{"=== 开始关闭窗口 ===", "窗口句柄: " + QString::number(dialog)}));
        QVERIFY(lines.contains("窗口可见: 是"));
        QVERIFY(lines.contains("当前前台窗口: " + QString::number(tdx.mainWindow())));
        QVERIFY(lines.contains("切换后前台窗口: " + QString::number(dialog)));
        QCOMPARE(lines.mid(lines.size() - 3),
                 (QStringList{"已发送 ESC 键", "ESC键成功关闭窗口", "=== 关闭窗口流程结束 ===\n"}));
        QVERIFY(!lines.contains("尝试发送 WM_CLOSE 消息"));
    }

    void wmCloseWhenEscIsIgnored()
    {
        SimFixture f;
        sim::SimDesktop& desktop = f.desktop();
        sim::WindowSpec spec;
        spec.className = u"#32770";
        spec.text = u"自定义";
        spec.pid = f.client();
        // Closes on WM_CLOSE only; Esc (IDCANCEL) is ignored.
        spec.proc = [&desktop](WindowId w, std::uint32_t m, std::uintptr_t wp,
                               std::intptr_t lp) -> std::intptr_t {
            if (m == platform::msg::Close) {
                desktop.destroyWindow(w);
                return 0;
            }
            return desktop.defWindowProc(w, m, wp, lp);
        };
        const WindowId dialog = desktop.createWindow(spec);
        const qint64 start = f.clock.nowMs();
        LogCapture log;
        WindowRequests::closeWindow(dialog);
        QVERIFY(!desktop.isWindow(dialog));
        QCOMPARE(f.clock.nowMs() - start, qint64(250));
        const QStringList lines = log.lines();
        QCOMPARE(
            lines.mid(lines.indexOf("已发送 ESC 键")),
            (QStringList{"已发送 ESC 键", "ESC键未能关闭窗口，窗口还存在", "窗口是否可见: 是",
                         "尝试发送 WM_CLOSE 消息", "WM_CLOSE 成功关闭窗口", "=== 关闭窗口流程结束 ===\n"}));
    }

    void noEscIntoAnotherProgramWhenTheSwitchIsRefused()
    {
        // Windows' foreground lock: the program is not in front, so it cannot bring the dialog
        // forward; Esc would reach the user's other program.
        SimFixture f;
        sim::SimDesktop& desktop = f.desktop();
        sim::FakeTdx tdx(f.system);
        const WindowId dialog = tdx.openFlashBuy();
        const WindowId chat = f.window(f.client(u"chat.exe"), u"ChatWindow", u"聊天");
        QVERIFY(desktop.setForegroundWindow(chat));
        desktop.setForegroundLock(true);
        desktop.clearInputLog();

        LogCapture log;
        WindowRequests::closeWindow(dialog);
        QCOMPARE(desktop.foregroundRefusals(), 1);
        QCOMPARE(desktop.foregroundWindow(), chat);
        QVERIFY(desktop.inputLog().empty());
        QVERIFY(!desktop.isWindow(dialog)); // closed by WM_CLOSE
        const QStringList lines = log.lines();
        QCOMPARE(lines.mid(lines.indexOf("窗口不在前台，不发送 ESC 键")),
                 (QStringList{"窗口不在前台，不发送 ESC 键", "尝试发送 WM_CLOSE 消息", "WM_CLOSE 成功关闭窗口",
                              "=== 关闭窗口流程结束 ===\n"}));
    }

    void aDialogThatStaysOpen()
    {
        // The standard dialog procedure turns both Esc and WM_CLOSE into IDCANCEL, which nobody
        // handles here.
        SimFixture f;
        const WindowId dialog = f.window(f.client(), u"#32770", u"顽固");
        LogCapture log;
        WindowRequests::closeWindow(dialog);
        QVERIFY(f.desktop().isWindow(dialog));
        const QStringList lines = log.lines();
        QCOMPARE(lines.mid(lines.size() - 3),
                 (QStringList{"WM_CLOSE 也未能关闭窗口", "窗口是否可见: 是", "=== 关闭窗口流程结束 ===\n"}));
    }

    void closeAnInvalidWindow()
    {
        SimFixture f;
        const qint64 start = f.clock.nowMs();
        LogCapture log;
        WindowRequests::closeWindow(0x999);
        QCOMPARE(log.lines(), QStringList{"窗口句柄无效，hwnd= 2457"});
        QCOMPARE(f.clock.nowMs(), start);
    }
};

ZK_TEST_MAIN(TestWindowRequests)
#include "tst_windowrequests.moc"
