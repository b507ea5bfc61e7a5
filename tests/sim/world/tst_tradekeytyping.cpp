// What the simulated keyboards type for a trade key: the order dialog of the client in front, the
// cancel boxes, and in the keyboard's own split mode its click or quantity.

#include "ZkTest.h"

#include "keyboardlink/protocol/Protocol.h"
#include "platform/api/Clock.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/FakeThs.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "sim/world/TradeKeyTyping.h"

#include <memory>

using sim::TdxField;
using sim::TradeKeyTyping;
using sim::WindowId;

namespace {

const std::string kSerial = "ZK000001";

struct Desk
{
    platform::ManualClock clock;
    sim::SimSystem system{clock};
    sim::KeyboardSimulator keyboards;
    std::unique_ptr<sim::FakeTdx> tdx;
    std::unique_ptr<sim::FakeThs> ths;
    TradeKeyTyping typing{system};

    explicit Desk(sim::FakeTdxOptions options = TradeKeyTyping::withHotkeys())
    {
        system.driveEventsFrom(clock);
        keyboards.addKeyboard(kSerial);
        tdx = std::make_unique<sim::FakeTdx>(system, std::move(options));
        typing.setTdx(tdx.get());
        typing.observe(keyboards);
    }
    ~Desk()
    {
        typing.detach();
        clock.setObserver(nullptr);
    }
    sim::SimDesktop& desktop() { return system.desktop(); }
    std::u16string frontTitle() { return desktop().text(desktop().foregroundWindow()); }
    // The desktop some time after the key.
    void after(int ms) { clock.advance(ms); }
};

} // namespace

class TestTradeKeyTyping : public QObject
{
    Q_OBJECT

private slots:
    void tdxKeys_data()
    {
        QTest::addColumn<int>("keyFunction");
        QTest::addColumn<QString>("front"); // the title in front afterwards
        QTest::newRow("定买") << 10 << "闪电买入";
        QTest::newRow("1/3买") << 13 << "闪电买入";
        QTest::newRow("市价买") << 19 << "闪电买入";
        QTest::newRow("融市") << 17 << "闪电融资买入";
        QTest::newRow("融买") << 18 << "闪电融资买入";
        QTest::newRow("定卖") << 20 << "闪电卖出";
        QTest::newRow("1/2卖") << 22 << "闪电卖出";
        QTest::newRow("市卖") << 29 << "闪电卖出";
        QTest::newRow("撤单") << 30 << "撤单确认";
        QTest::newRow("撤买") << 32 << "撤单确认";
        QTest::newRow("全撤") << 31 << "撤单确认";
        QTest::newRow("查询") << 1 << "通达信金融终端V7.65 - [版面-自选股]";
        QTest::newRow("开关") << 55 << "通达信金融终端V7.65 - [版面-自选股]";
    }
    void tdxKeys()
    {
        QFETCH(int, keyFunction);
        QFETCH(QString, front);
        Desk desk;
        desk.keyboards.pressTradeKey(kSerial, std::uint8_t(keyFunction));
        // Typed a moment after the key, not at once.
        QCOMPARE(desk.frontTitle(), u"通达信金融终端V7.65 - [版面-自选股]");
        desk.after(10);
        QCOMPARE(QString::fromStdU16String(desk.frontTitle()), front);
        const WindowId box = desk.desktop().foregroundWindow();
        if (keyFunction == 31)
            QVERIFY(desk.desktop().describe(box).find("一键撤单") != std::string::npos);
        else if (keyFunction == 30 || keyFunction == 32)
            QVERIFY(desk.desktop().describe(box).find("您确定撤消") != std::string::npos);
        QVERIFY(desk.system.orderBook().orders().empty());
    }

    // The keys reach the window in front: a key typed into an open order dialog opens nothing.
    void keyIntoAnOpenDialogOpensNothing()
    {
        Desk desk;
        desk.keyboards.pressTradeKey(kSerial, 13);
        desk.after(10);
        const WindowId buy = desk.desktop().foregroundWindow();
        desk.keyboards.pressTradeKey(kSerial, 22);
        desk.after(10);
        QCOMPARE(desk.desktop().foregroundWindow(), buy);
        QCOMPARE(desk.tdx->orderDialogs().size(), std::size_t(1));
    }

    void thsInFrontGetsItsOrderDialog()
    {
        Desk desk;
        desk.ths = std::make_unique<sim::FakeThs>(desk.system);
        desk.typing.setThs(desk.ths.get());
        desk.keyboards.pressTradeKey(kSerial, 13);
        desk.after(10);
        QCOMPARE(desk.frontTitle(), u"买入下单");
        desk.desktop().destroyWindow(desk.desktop().foregroundWindow());
        desk.keyboards.pressTradeKey(kSerial, 25);
        desk.after(10);
        QCOMPARE(desk.frontTitle(), u"卖出下单");
        desk.desktop().destroyWindow(desk.desktop().foregroundWindow());
        desk.keyboards.pressTradeKey(kSerial, 30); // THS has no cancel box of its own
        desk.after(10);
        QCOMPARE(desk.desktop().foregroundWindow(), desk.ths->mainWindow());
        QVERIFY(desk.tdx->orderDialogs().empty());
    }

    void otherProgramInFrontGetsNothing()
    {
        Desk desk;
        sim::WindowSpec other;
        other.className = u"Notepad";
        other.text = u"无标题 - 记事本";
        desk.desktop().setForegroundWindow(desk.desktop().createWindow(other));
        desk.keyboards.pressTradeKey(kSerial, 13);
        desk.after(10);
        QCOMPARE(desk.frontTitle(), u"无标题 - 记事本");
        QVERIFY(desk.tdx->orderDialogs().empty());
    }

    // Without the hot keys the fake TDX only knows F9.
    void withHotkeysAddsTheKeyboardsKeys()
    {
        const sim::FakeTdxOptions plain;
        const sim::FakeTdxOptions options = TradeKeyTyping::withHotkeys(plain);
        QCOMPARE(options.hotkeys.size(), std::size_t(3));
        QVERIFY(options.hotkeys.at(TradeKeyTyping::FlashBuyKey) == sim::TdxDialogKind::FlashBuy);
        QVERIFY(options.hotkeys.at(TradeKeyTyping::MarginBuyKey) == sim::TdxDialogKind::MarginBuy);
        QVERIFY(options.hotkeys.at(TradeKeyTyping::FlashSellKey) == sim::TdxDialogKind::FlashSell);
    }

    void splitMode_data()
    {
        QTest::addColumn<int>("keyFunction");
        QTest::addColumn<QString>("typed"); // splitQuantity
        QTest::addColumn<QString>("quantity");
        QTest::newRow("1/3买 clicks 1/3") << 13 << QString() << "300";
        QTest::newRow("1/2卖 clicks 1/2") << 22 << QString() << "500";
        QTest::newRow("全买 has no button") << 11 << QString() << "0";
        QTest::newRow("typed quantity") << 13 << "1200"
                                        << "1200";
    }
    void splitMode()
    {
        QFETCH(int, keyFunction);
        QFETCH(QString, typed);
        QFETCH(QString, quantity);
        sim::FakeTdxOptions options = TradeKeyTyping::withHotkeys();
        options.hotkeyOrder.maxQuantity = 1000;
        Desk desk(options);
        sim::TradeKeyTypingOptions typing;
        typing.splitDelayMs = 40;
        typing.splitQuantity = typed.toStdU16String();
        desk.typing.setOptions(typing);

        desk.keyboards.pressTradeKeyWithFlag(kSerial, std::uint8_t(keyFunction), 1);
        desk.after(30);
        const WindowId dialog = desk.desktop().foregroundWindow();
        QCOMPARE(desk.tdx->fieldText(dialog, TdxField::Quantity), u"0");
        desk.after(20);
        if (!typed.isEmpty()) {
            // Typed at the keyboard's speed: one digit per keystroke interval.
            QCOMPARE(QString::fromStdU16String(desk.tdx->fieldText(dialog, TdxField::Quantity)), typed.left(1));
            desk.after(Protocol::keystrokeIntervalMs(2, 8, 8) * (typed.size() - 1));
        }
        QCOMPARE(QString::fromStdU16String(desk.tdx->fieldText(dialog, TdxField::Quantity)), quantity);
        QVERIFY(desk.system.orderBook().orders().empty()); // confirming is the program's part

        // A plain trade key leaves the quantity to the program.
        desk.keyboards.pressTradeKey(kSerial, std::uint8_t(keyFunction));
        desk.desktop().destroyWindow(dialog);
        desk.after(100);
        const WindowId again = desk.desktop().foregroundWindow();
        QVERIFY(again != dialog);
        QCOMPARE(desk.tdx->fieldText(again, TdxField::Quantity), u"0");
    }

    // Once detached (or gone) nothing types for the keyboards any more.
    void detachStopsTheTyping()
    {
        Desk desk;
        desk.typing.detach();
        desk.keyboards.pressTradeKey(kSerial, 13);
        desk.after(10);
        QVERIFY(desk.tdx->orderDialogs().empty());
    }
};

ZK_TEST_MAIN(TestTradeKeyTyping)
#include "tst_tradekeytyping.moc"
