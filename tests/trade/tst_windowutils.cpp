#include "ZkTest.h"

#include "SimFixture.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/FakeThs.h"
#include "trade/WindowUtils.h"

#include <QAbstractButton>
#include <QMessageBox>

using platform::WindowId;

Q_DECLARE_METATYPE(sim::TdxField)

namespace {

sim::TdxLayout layoutNamed(const QString& name)
{
    if (name == QLatin1String("brokerA"))
        return sim::TdxLayout::brokerA();
    if (name == QLatin1String("brokerB"))
        return sim::TdxLayout::brokerB();
    return sim::TdxLayout::jinRongZhongDuan();
}

} // namespace

class TestWindowUtils : public QObject
{
    Q_OBJECT

private slots:
    void textsAreCutToTheirBuffers()
    {
        SimFixture f;
        const auto pid = f.client();
        const std::u16string longClass(40, u'C');
        const std::u16string longTitle(300, u'题');
        const WindowId w = f.window(pid, longClass, longTitle, {{u"Edit", std::u16string(50, u'9')}});
        QCOMPARE(WindowUtils::getClassName(w), QString(31, QLatin1Char('C')));
        QCOMPARE(WindowUtils::getClassName(w, 256), QString(40, QLatin1Char('C')));
        QCOMPARE(WindowUtils::getWindowText(w), QString(254, QChar(u'题')));
        QCOMPARE(WindowUtils::getWindowText(w, 1024), QString(300, QChar(u'题')));
        const WindowId edit = f.desktop().childWindows(w).front();
        QCOMPARE(WindowUtils::getControlText(edit), QString(31, QLatin1Char('9')));
        QCOMPARE(WindowUtils::getControlText(0), QString());
        QCOMPARE(WindowUtils::getClassName(0x7777), QString());
    }

    void withoutADesktopNothingIsFound()
    {
        platform::install({});
        QCOMPARE(WindowUtils::getWindowText(1), QString());
        QCOMPARE(WindowUtils::findConfirmButton(1), WindowId(0));
        QCOMPARE(WindowUtils::findNthEdit(1, 0), WindowId(0));
        QVERIFY(!WindowUtils::leftClickAt(1, 1));
        WindowUtils::pressEnter(); // must not crash
    }

    void fieldsByPosition_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("margin");
        for (const char* name : {"jinRongZhongDuan", "brokerA", "brokerB"}) {
            QTest::newRow(QByteArray(name).append(" buy").constData()) << name << false;
            QTest::newRow(QByteArray(name).append(" margin").constData()) << name << true;
        }
    }

    void fieldsByPosition()
    {
        // The profile's indices find exactly the layout's controls.
        QFETCH(QString, layout);
        QFETCH(bool, margin);
        SimFixture f;
        sim::FakeTdxOptions options;
        options.layout = layoutNamed(layout);
        sim::FakeTdx tdx(f.system, options);
        const WindowId dialog = margin ? tdx.openMarginBuy() : tdx.openFlashBuy();
        const sim::TdxIndices idx = margin ? options.layout.marginIndices : options.layout.buyIndices;

        QString text;
        QCOMPARE(WindowUtils::findNthStatic(dialog, idx.code, &text),
                 tdx.control(dialog, sim::TdxField::Code));
        QCOMPARE(text, QStringLiteral("600000"));
        QCOMPARE(WindowUtils::findNthStatic(dialog, idx.name, &text),
                 tdx.control(dialog, sim::TdxField::Name));
        QCOMPARE(text, QStringLiteral("浦发银行"));
        QCOMPARE(WindowUtils::findNthStatic(dialog, idx.maxQuantity),
                 tdx.control(dialog, sim::TdxField::MaxQuantity));
        QCOMPARE(WindowUtils::findNthEdit(dialog, idx.price), tdx.control(dialog, sim::TdxField::Price));
        QCOMPARE(WindowUtils::findNthEdit(dialog, idx.quantity),
                 tdx.control(dialog, sim::TdxField::Quantity));
        QCOMPARE(WindowUtils::findNthEdit(dialog, 40), WindowId(0));
        QCOMPARE(WindowUtils::findNthStatic(dialog, 40, &text), WindowId(0));
        QCOMPARE(WindowUtils::findNthEdit(dialog, -1), WindowId(0));
    }

    void confirmButton_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("kind");
        QTest::newRow("jinRongZhongDuan buy") << "jinRongZhongDuan" << int(sim::TdxDialogKind::FlashBuy);
        QTest::newRow("jinRongZhongDuan sell") << "jinRongZhongDuan" << int(sim::TdxDialogKind::FlashSell);
        QTest::newRow("jinRongZhongDuan margin") << "jinRongZhongDuan" << int(sim::TdxDialogKind::MarginBuy);
        // A hidden "买入" button precedes the real " 买 入 ".
        QTest::newRow("brokerA buy") << "brokerA" << int(sim::TdxDialogKind::FlashBuy);
        QTest::newRow("brokerA margin") << "brokerA" << int(sim::TdxDialogKind::MarginBuy);
        QTest::newRow("brokerB sell") << "brokerB" << int(sim::TdxDialogKind::FlashSell);
    }

    void confirmButton()
    {
        QFETCH(QString, layout);
        QFETCH(int, kind);
        SimFixture f;
        sim::FakeTdxOptions options;
        options.layout = layoutNamed(layout);
        sim::FakeTdx tdx(f.system, options);
        const WindowId dialog = tdx.openOrderDialog(sim::TdxDialogKind(kind));
        const WindowId button = WindowUtils::findConfirmButton(dialog);
        QVERIFY(button != 0);
        QCOMPARE(button, tdx.control(dialog, sim::TdxField::Confirm));
    }

    void confirmButtonRules()
    {
        SimFixture f;
        const auto pid = f.client();
        const std::uint32_t visible = platform::style::Visible;
        const WindowId dialog = f.window(pid, u"#32770", u"闪电买入",
                                         {{u"Button", u"买入数量", 1, visible},
                                          {u"Button", u"金额买入", 2, visible},
                                          {u"Button", u"买入", 3, visible | platform::style::Disabled},
                                          {u"Button", u"买入", 4, 0},
                                          {u"button", u"买入", 5, visible},
                                          {u"Button", u" 融 券 卖 出 ", 6, visible}});
        // Quantity and amount helpers, a disabled and a hidden button and another class are passed by.
        const WindowId found = WindowUtils::findConfirmButton(dialog);
        QCOMPARE(f.desktop().dlgCtrlId(found), 6);
        f.desktop().destroyWindow(dialog);
        QCOMPARE(WindowUtils::findConfirmButton(dialog), WindowId(0));
    }

    void buttonByText()
    {
        SimFixture f;
        sim::FakeTdxOptions options;
        options.layout = sim::TdxLayout::brokerA(); // padded split button texts
        sim::FakeTdx tdx(f.system, options);
        const WindowId dialog = tdx.openFlashBuy();
        QCOMPARE(WindowUtils::findButtonByText(dialog, QStringLiteral("1/3")),
                 tdx.control(dialog, sim::TdxField::Split3));
        QCOMPARE(WindowUtils::findButtonByText(dialog, QStringLiteral(" 1/5 ")),
                 tdx.control(dialog, sim::TdxField::Split5));
        QCOMPARE(WindowUtils::findButtonByText(dialog, QStringLiteral("1/6")), WindowId(0));
    }

    void staticChildrenInOrder()
    {
        SimFixture f;
        const auto pid = f.client();
        const WindowId dialog = f.window(
            pid, u"#32770", u"提示",
            {{u"Static", u"第一"}, {u"Edit", u"x"}, {u"static", u"小写"}, {u"Static", u"委托已提交"}});
        const auto statics = WindowUtils::staticChildren(dialog);
        QCOMPARE(statics.size(), 2);
        QCOMPARE(statics.at(0).second, QStringLiteral("第一"));
        QCOMPARE(statics.at(1).second, QStringLiteral("委托已提交"));
        // Counting for positions is looser: any class containing "Static".
        QString text;
        WindowUtils::findNthStatic(dialog, 1, &text);
        QCOMPARE(text, QStringLiteral("小写"));
    }

    void topLevelLookups()
    {
        SimFixture f;
        const auto a = f.client(u"a.exe");
        const auto b = f.client(u"b.exe");
        const WindowId hidden = f.window(a, u"#32770", u"闪电买入");
        f.desktop().setVisible(hidden, false);
        const WindowId ofA = f.window(a, u"#32770", u"通达信 闪电买入 600000");
        const WindowId ofB = f.window(b, u"#32770", u"闪电买入");
        const WindowId other = f.window(b, u"Notepad", u"网上股票交易系统5.0");

        QCOMPARE(WindowUtils::findDialogByTitle(QStringLiteral("闪电买入"), a), ofA);
        QCOMPARE(WindowUtils::findDialogByTitle(QStringLiteral("闪电买入"), b), ofB);
        QCOMPARE(WindowUtils::findDialogByTitle(QStringLiteral("闪电卖出"), 0), WindowId(0));
        QVERIFY(WindowUtils::findDialogByTitle(QStringLiteral("闪电买入"), 0) != hidden);
        QString title;
        QCOMPARE(WindowUtils::findWindowByTitlePrefix(QStringLiteral("网上股票交易系统"), &title), other);
        QCOMPARE(title, QStringLiteral("网上股票交易系统5.0"));
        QCOMPARE(WindowUtils::findWindowByTitlePrefix(QStringLiteral("股票交易"), &title), WindowId(0));
    }

    void thsMainWindows()
    {
        SimFixture f;
        sim::FakeThs classic(f.system);
        sim::FakeThsOptions yhOptions;
        yhOptions.yuanhang = true;
        sim::FakeThs yuanhang(f.system, yhOptions);
        QCOMPARE(WindowUtils::findThsMainWindow(11), classic.mainWindow());
        QCOMPARE(WindowUtils::findThsMainWindow(12), yuanhang.mainWindow());
    }

    void bringThsToFrontOpensItsOrderClient()
    {
        SimFixture f;
        sim::FakeThs ths(f.system);
        sim::FakeTdx tdx(f.system); // in front now
        QVERIFY(f.desktop().foregroundWindow() != ths.mainWindow());
        const qint64 start = f.clock.nowMs();
        QVERIFY(WindowUtils::bringThsToFrontAndPressF12(11));
        QCOMPARE(f.desktop().foregroundWindow(), ths.mainWindow());
        QCOMPARE(f.clock.nowMs() - start, qint64(1005));
        f.desktop().runPending();
        QVERIFY(ths.orderClientWindow() != 0);
        QVERIFY(!WindowUtils::bringThsToFrontAndPressF12(12)); // no 远航版 running

        // Windows refuses the switch to a program in the background: no F12 into TDX.
        tdx.activate();
        f.desktop().setForegroundLock(true);
        f.desktop().clearInputLog();
        QVERIFY(!WindowUtils::bringThsToFrontAndPressF12(11));
        QCOMPARE(f.desktop().foregroundWindow(), tdx.mainWindow());
        QVERIFY(f.desktop().inputLog().empty());
    }

    void topMost()
    {
        SimFixture f;
        const WindowId w = f.window(f.client(), u"TdxW_MainFrame_Class", u"通达信");
        QVERIFY(!WindowUtils::isTopMost(w));
        QVERIFY(WindowUtils::setTopMost(w));
        QVERIFY(WindowUtils::isTopMost(w));
        QCOMPARE(f.desktop().foregroundWindow(), w);
        QVERIFY(WindowUtils::cancelTopMost(w));
        QVERIFY(!WindowUtils::isTopMost(w));
        QVERIFY(!WindowUtils::setTopMost(0));
        QVERIFY(!WindowUtils::cancelTopMost(0));
    }

    void clicksCarryAbsoluteCoordinates_data()
    {
        QTest::addColumn<bool>("middle");
        QTest::newRow("left") << false;
        QTest::newRow("middle") << true;
    }

    void clicksCarryAbsoluteCoordinates()
    {
        QFETCH(bool, middle);
        SimFixture f;
        f.desktop().setScreenSize(1920, 1080);
        f.desktop().clearInputLog();
        QVERIFY(middle ? WindowUtils::middleClickAt(960, 540) : WindowUtils::leftClickAt(960, 540));
        const auto log = f.desktop().inputLog();
        QCOMPARE(log.size(), std::size_t(2));
        using namespace platform::mouseevent;
        QCOMPARE(log[0].mouseFlags, Absolute | (middle ? MiddleDown : LeftDown));
        QCOMPARE(log[0].dx, (65536 / 1920) * 960);
        QCOMPARE(log[0].dy, (65536 / 1080) * 540);
        QCOMPARE(log[1].mouseFlags, middle ? MiddleUp : LeftUp);
        QCOMPARE(log[1].dx, 0);
        QCOMPARE(log[1].dy, 0);

        f.desktop().setScreenSize(0, 0);
        QVERIFY(!WindowUtils::leftClickAt(1, 1));
    }

    void keys()
    {
        SimFixture f;
        f.desktop().clearInputLog();
        const qint64 start = f.clock.nowMs();
        WindowUtils::sendKey(platform::vk::F12);
        WindowUtils::pressEnter();
        WindowUtils::pressEsc();
        const auto log = f.desktop().inputLog();
        QCOMPARE(log.size(), std::size_t(6));
        QCOMPARE(log[0].vk, std::uint16_t(platform::vk::F12));
        QVERIFY(!log[0].keyUp);
        QCOMPARE(log[0].timeMs, start);
        QVERIFY(log[1].keyUp);
        QCOMPARE(log[1].timeMs, start + 5);
        QCOMPARE(log[2].vk, std::uint16_t(platform::vk::Return));
        QVERIFY(!log[2].keyUp && log[3].keyUp);
        QCOMPARE(log[4].vk, std::uint16_t(platform::vk::Escape));
        QVERIFY(!log[4].keyUp && log[5].keyUp);
    }

    void postCommandQueuesTheMessage()
    {
        SimFixture f;
        const WindowId w = f.window(f.client(), u"TdxW_MainFrame_Class", u"通达信");
        f.desktop().recordMessages(w);
        QVERIFY(WindowUtils::postCommand(w, 0x1234, 0x56));
        QVERIFY(f.desktop().messagesReceived(w).empty()); // queued, not sent
        f.clock.advance(1);
        const auto messages = f.desktop().messagesReceived(w);
        QCOMPARE(messages.size(), std::size_t(1));
        QCOMPARE(messages[0].message, platform::msg::Command);
        QCOMPARE(messages[0].wParam, std::uintptr_t(0x1234));
        QCOMPARE(messages[0].lParam, std::intptr_t(0x56));
    }

    void ownWindowFallsBackToAQtWindowOfThisProcess()
    {
        // No active window in this test; the host desktop is asked instead.
        SimFixture f;
        platform::Services s = platform::services();
        s.hostDesktop = &f.desktop();
        platform::install(s);
        const auto self = f.system.programPid();
        f.window(f.client(), u"Qt5QWindowIcon", u"Other program");
        f.window(self, u"Qt5QWindowIcon", u""); // no title
        const WindowId hidden = f.window(self, u"Qt5QWindowIcon", u"hidden");
        f.desktop().setVisible(hidden, false);
        f.window(self, u"Static", u"not Qt");
        const WindowId mine = f.window(self, u"Qt5QWindowToolSaveBits", u"时钟");
        QVERIFY(QApplication::activeWindow() == nullptr);
        QCOMPARE(WindowUtils::ownWindowId(), mine);
    }

    void messageBoxButtonTexts()
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("确认"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No);
        WindowUtils::setMessageBoxButtonTexts(&box, QStringLiteral("是的"), QStringLiteral("不要"));
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("是的"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("不要"));
        WindowUtils::setMessageBoxButtonTexts(nullptr, QString(), QString());
    }
};

ZK_TEST_MAIN(TestWindowUtils)
#include "tst_windowutils.moc"
