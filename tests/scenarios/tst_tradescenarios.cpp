// Trades end to end, in real time, on the whole program: a key pressed on a simulated keyboard,
// the client's dialog, the program's decision, and what the outside world saw of it: the
// client's order book (exactly which orders were placed), the action frames every keyboard
// received, the texts the clock spoke, and which window is left in front.

#include "TradingDesk.h"

#include "ZkTest.h"
#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "sim/desktop/MessageDialog.h"
#include "trade/ControlDetector.h"
#include "trade/EditBoxChangeWorker.h"

#include <QPointer>
#include <QSignalSpy>

#include <condition_variable>
#include <functional>
#include <mutex>

using scenario::Pairs;
using scenario::TradingDesk;

namespace {

// One trade: the desk, the settings, the key, and everything the world should see afterwards.
struct Scenario
{
    scenario::DeskSetup desk;
    std::function<void(ConfigManager&)> settings;
    int key = 13;
    bool splitMode = false;
    int pressOn = 0; // keyboard index
    // Before the key: the desk as the case wants it (a client that hangs, another window).
    std::function<void(TradingDesk&)> arrange;
    // Once the first key's trade has settled: what the user does next (closes a box, trades
    // again); the outcome below is the whole of both.
    std::function<void(TradingDesk&)> afterwards;
    // What the world must also look like at the end (beside the outcome below).
    std::function<bool(TradingDesk&)> verify;

    Pairs actions;       // what every keyboard received, in order
    QStringList orders;  // the whole order book
    QStringList spoken;  // in order
    int completed = 0;   // the trade type reported as done, 0 when none
    QList<int> completedAfterwards; // and those done after it
    QString leftInFront; // empty: the client's main window (the dialog went); else its title
    QString profile;     // the TDX profile in use afterwards, empty when not checked
};

const QString kPufa = QStringLiteral("600000 浦发银行");

sim::TdxOrderOptions stock(const std::u16string& code, const std::u16string& name,
                           const std::u16string& price, long long maximum)
{
    sim::TdxOrderOptions o;
    o.code = code;
    o.name = name;
    o.price = price;
    o.maxQuantity = maximum;
    return o;
}

// A TDX whose order dialogs show this stock.
Scenario tdx(int key, sim::TdxOrderOptions order)
{
    Scenario s;
    s.key = key;
    s.desk.tdx.hotkeyOrder = std::move(order);
    return s;
}

Scenario pufa(int key, long long maximum, const std::u16string& price = u"10.52")
{
    return tdx(key, stock(u"600000", u"浦发银行", price, maximum));
}

QString tdxOrder(const QString& kind, const QString& stockText, const QString& price, int quantity)
{
    return QStringLiteral("Tdx %1 %2 %3 %4").arg(kind, stockText, price).arg(quantity);
}

Scenario confirmed(Scenario s, const QString& order)
{
    s.actions = s.splitMode ? Pairs{{64, 0}} : Pairs{{4, 0}, {64, 0}};
    s.orders = QStringList{order};
    s.spoken = QStringList{QStringLiteral("委托已提交")};
    s.completed = s.key;
    return s;
}

// Refused in the order dialog's first checks: the keyboard is told why, the dialog closed.
Scenario refused(Scenario s, int reason)
{
    s.actions = Pairs{{64, reason}};
    return s;
}

Scenario splitMode(Scenario s)
{
    s.splitMode = true;
    return s;
}

Scenario with(Scenario s, std::function<void(ConfigManager&)> settings)
{
    s.settings = std::move(settings);
    return s;
}

bool waitUntilSettled(TradingDesk& desk, const std::function<bool()>& also)
{
    return QTest::qWaitFor([&] { return desk.settled() && also(); }, 10000);
}

// Another program's order-like box (an edit holding a price, a 买入 button): a stand-in the
// program must never type into or press.
struct Foreign
{
    platform::WindowId window = 0;
    std::shared_ptr<int> presses = std::make_shared<int>(0);
    std::shared_ptr<std::vector<std::u16string>> editsAtTheEnd =
        std::make_shared<std::vector<std::u16string>>();
};

Foreign openForeign(TradingDesk& desk)
{
    Foreign f;
    sim::SimDesktop& d = desk.system.desktop();
    sim::MessageDialogSpec box;
    box.pid = desk.system.processes().startProcess(u"other.exe");
    box.title = u"闪电买入";
    box.texts = {u"证券代码:", u"600000", u"浦发银行", u"1000"};
    box.edits = {u"10.52", u"0"};
    box.buttons = {{1, u"买入"}, {2, u"取消"}};
    auto presses = f.presses;
    box.onClose = [presses](int id) {
        if (id == 1)
            ++*presses;
    };
    sim::SimDesktop::ActingAs as(box.pid);
    f.window = sim::openMessageDialog(d, box);
    return f;
}

// What the foreign box's edits show, as its own program sees them.
std::vector<std::u16string> editTexts(sim::SimDesktop& d, platform::WindowId window)
{
    std::vector<std::u16string> texts;
    for (platform::WindowId edit = 0; (edit = d.findWindowEx(window, edit, u"Edit", nullptr)) != 0;)
        texts.push_back(d.text(edit));
    return texts;
}

} // namespace

Q_DECLARE_METATYPE(Scenario)

class TestTradeScenarios : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
    }
    void init() { scenario::freshInstallation(); }
    void cleanup() { ConfigManager::destroyInstance(); }

    void trades_data()
    {
        QTest::addColumn<Scenario>("s");
        const QString price = QStringLiteral("10.52");

        QTest::newRow("1/3 buy") << confirmed(pufa(13, 1000), tdxOrder("Buy", kPufa, price, 300));
        QTest::newRow("全仓 buy") << confirmed(pufa(11, 1200), tdxOrder("Buy", kPufa, price, 1200));
        // The client's 1/2 button gives no whole lot; the program types the one lot itself.
        QTest::newRow("1/2 buy of a small account")
            << confirmed(pufa(12, 150), tdxOrder("Buy", kPufa, price, 100));
        {
            Scenario s = pufa(10, 10000);
            s.desk.tdx.hotkeyOrder.fixedQuantity = 1000; // the client's preset amount
            s = with(s, [](ConfigManager& c) {
                c.setTdxBuyAmountLimitEnabled(true);
                c.setTdxBuyMaxAmount(5000);
            });
            QTest::newRow("fixed-amount buy reduced by the amount limit")
                << confirmed(s, tdxOrder("Buy", kPufa, price, 400));
        }
        QTest::newRow("only bonds refuses a stock")
            << refused(with(pufa(13, 1000), [](ConfigManager& c) { c.setTdxOnlyZz(true); }), 10);
        // The client splits bonds in lots of 10 (330); the program insists on its own 300.
        QTest::newRow("only bonds lets a bond through")
            << confirmed(with(tdx(13, stock(u"113001", u"中行转债", u"120.00", 1000)),
                              [](ConfigManager& c) { c.setTdxOnlyZz(true); }),
                         tdxOrder("Buy", QStringLiteral("113001 中行转债"), QStringLiteral("120.00"), 300));
        QTest::newRow("only main board refuses 688")
            << refused(with(tdx(13, stock(u"688001", u"华兴源创", u"25.00", 1000)),
                            [](ConfigManager& c) { c.setTdxOnlyMain(true); }),
                       11);
        QTest::newRow("no ST refuses an ST stock")
            << refused(with(tdx(13, stock(u"600000", u"*ST浦发", u"10.52", 1000)),
                            [](ConfigManager& c) { c.setTdxNotST(true); }),
                       12);
        QTest::newRow("price above the maximum") << refused(
            with(pufa(13, 1000, u"30.01"), [](ConfigManager& c) { c.setTdxBuyMaxPriceLimitEnabled(true); }),
            15);
        QTest::newRow("price at the maximum passes") << confirmed(
            with(pufa(13, 1000, u"30.00"), [](ConfigManager& c) { c.setTdxBuyMaxPriceLimitEnabled(true); }),
            tdxOrder("Buy", kPufa, QStringLiteral("30.00"), 300));
        QTest::newRow("price below the minimum") << refused(with(pufa(13, 1000, u"4.99"),
                                                                 [](ConfigManager& c) {
                                                                     c.setTdxBuyMinPriceLimitEnabled(true);
                                                                     c.setTdxBuyMinPrice(5);
                                                                 }),
                                                            15);
        {
            // The margin dialog's price sits elsewhere; the amount limit reads it there.
            Scenario s = pufa(18, 10000);
            s.desk.tdx.hotkeyOrder.fixedQuantity = 500;
            s = with(s, [](ConfigManager& c) {
                c.setTdxBuyAmountLimitEnabled(true);
                c.setTdxBuyMaxAmount(3000);
            });
            QTest::newRow("margin buy with the margin positions")
                << confirmed(s, tdxOrder("MarginBuy", kPufa, price, 200));
        }
        QTest::newRow("1/2 sell, never restricted")
            << confirmed(with(tdx(22, stock(u"600000", u"*ST浦发", u"10.52", 800)),
                              [](ConfigManager& c) { c.setTdxNotST(true); }),
                         tdxOrder("Sell", QStringLiteral("600000 *ST浦发"), price, 400));
        QTest::newRow("zero maximum") << [] {
            Scenario s = pufa(13, 0);
            s.actions = Pairs{{4, 0}, {64, 0}};
            s.spoken = QStringList{QStringLiteral("可买数量为0")};
            return s;
        }();
        QTest::newRow("keyboard split")
            << confirmed(splitMode(pufa(13, 1000)), tdxOrder("Buy", kPufa, price, 300));
        QTest::newRow("keyboard split still refuses ST")
            << refused(splitMode(with(tdx(12, stock(u"600000", u"*ST浦发", u"10.52", 2000)),
                                      [](ConfigManager& c) { c.setTdxNotST(true); })),
                       12);
        QTest::newRow("keyboard split reduced by the amount limit")
            << confirmed(splitMode(with(pufa(12, 2000),
                                        [](ConfigManager& c) {
                                            c.setTdxBuyAmountLimitEnabled(true);
                                            c.setTdxBuyMaxAmount(5000);
                                        })),
                         tdxOrder("Buy", kPufa, price, 400));
        QTest::newRow("keyboard split, amount limit leaves nothing") << [] {
            Scenario s = refused(splitMode(with(pufa(12, 2000),
                                                [](ConfigManager& c) {
                                                    c.setTdxBuyAmountLimitEnabled(true);
                                                    c.setTdxBuyMaxAmount(500);
                                                })),
                                 16);
            s.spoken = QStringList{QStringLiteral("买入金额超过限额")};
            return s;
        }();
        QTest::newRow("THS order dialog") << [] {
            Scenario s;
            s.desk.ths = true;
            s.key = 13;
            s.actions = Pairs{{4, 0}, {64, 0}};
            s.orders = QStringList{QStringLiteral("Ths Buy 600000 浦发银行 10.52 100")};
            s.spoken = QStringList{QStringLiteral("委托已提交")};
            return s;
        }();
        QTest::newRow("cancel one") << [] {
            Scenario s;
            s.key = 30;
            s.actions = Pairs{{4, 0}};
            s.leftInFront = QStringLiteral("撤单确认"); // the keyboard confirms it, not the program
            return s;
        }();
        QTest::newRow("cancel all") << [] {
            Scenario s;
            s.key = 31;
            s.actions = Pairs{{255, 0}};
            s.leftInFront = QStringLiteral("撤单确认");
            return s;
        }();
        {
            // A broker's TDX lays its dialogs out differently; the profile measured on that
            // installation is taken for its dialogs.
            Scenario s = pufa(13, 1000);
            s.desk.tdx.layout = sim::TdxLayout::brokerA();
            s.desk.tdx.installDir = u"C:\\Broker_TDX";
            s = with(s, [](ConfigManager& c) {
                const sim::TdxLayout broker = sim::TdxLayout::brokerA();
                c.setTdxCodeIndex(broker.buyIndices.code);
                c.setTdxNameIndex(broker.buyIndices.name);
                c.setTdxPriceIndex(broker.buyIndices.price);
                c.setTdxQuantityIndex(broker.buyIndices.quantity);
                c.setTdxMaxQuantityIndex(broker.buyIndices.maxQuantity);
                c.saveProfile(QStringLiteral("券商A"), QStringLiteral("C:/Broker_TDX"));
                c.loadProfile(QStringLiteral("金融终端"));
                c.setTdxOnlyMain(true); // the code is read at the broker's position
            });
            s = confirmed(s, tdxOrder("Buy", kPufa, price, 300));
            s.profile = QStringLiteral("券商A");
            QTest::newRow("broker layout switches the profile") << s;
        }
        {
            Scenario s = confirmed(pufa(13, 1000), tdxOrder("Buy", kPufa, price, 300));
            s.desk.keyboards = 2;
            s.pressOn = 1;
            QTest::newRow("two keyboards") << s;
        }

        // ---- under real conditions
        {
            // The next trade's dialog shows another stock: nothing of the first decides for it.
            Scenario s = confirmed(pufa(13, 1000), tdxOrder("Buy", kPufa, price, 300));
            s.afterwards = [](TradingDesk& desk) {
                // The first order placed, its 提示 box spoken and dismissed.
                waitUntilSettled(desk, [&] {
                    return desk.program()->spoken.size() == 1 && desk.foregroundWindow() == desk.mainWindow();
                });
                desk.tdx->setHotkeyOrder(stock(u"601988", u"中国银行", u"3.50", 800));
                desk.press(12);
            };
            s.actions += Pairs{{4, 0}, {64, 0}};
            s.orders += tdxOrder("Buy", QStringLiteral("601988 中国银行"), QStringLiteral("3.50"), 400);
            s.spoken += QStringLiteral("委托已提交");
            s.completedAfterwards = {12};
            QTest::newRow("a second order dialog after a trade") << s;
        }
        {
            // 1/2 of 50 aims at one lot, above the maximum: the client refuses the order under its
            // "Tdx" box. The user closes the box, the order dialog is in front again: never
            // confirmed a second time.
            Scenario s = pufa(12, 50);
            s.actions = Pairs{{4, 0}, {64, 0}, {2, 0}};
            s.orders = QStringList{tdxOrder("Buy", kPufa, price, 100) + QStringLiteral(" rejected")};
            s.completed = 12;
            s.afterwards = [](TradingDesk& desk) {
                waitUntilSettled(desk, [&] { return desk.foregroundTitle() == u"Tdx"; });
                desk.system.desktop().deviceKey(platform::vk::Return, false);
                desk.system.desktop().deviceKey(platform::vk::Return, true);
                // Handled again by the program (a new transaction): a wrong second confirm
                // would have happened by then.
                waitUntilSettled(desk, [&] { return desk.foregroundTitle() == u"闪电买入"; });
            };
            s.leftInFront = QStringLiteral("闪电买入");
            QTest::newRow("a refused dialog back in front") << s;
        }
        {
            // Another program's box comes to the front while the client computes the maximum;
            // it goes, the order dialog is in front again and traded as asked.
            Scenario s = tdx(13, [] {
                sim::TdxOrderOptions o = stock(u"600000", u"浦发银行", u"10.52", 1000);
                o.maxDelayMs = 1500;
                return o;
            }());
            s = confirmed(s, tdxOrder("Buy", kPufa, price, 300));
            s.actions = Pairs{{4, 0}, {4, 0}, {64, 0}};
            auto foreign = std::make_shared<Foreign>();
            s.arrange = [foreign](TradingDesk& desk) {
                sim::SimDesktop& d = desk.system.desktop();
                const platform::ProcessId client = desk.tdx->pid();
                d.scheduleAfter(300, client, 0, [&desk, foreign] { *foreign = openForeign(desk); });
                d.scheduleAfter(800, client, 0, [&d, foreign] {
                    *foreign->editsAtTheEnd = editTexts(d, foreign->window);
                    d.destroyWindow(foreign->window);
                });
            };
            s.verify = [foreign](TradingDesk&) {
                return foreign->window != 0 && *foreign->presses == 0 &&
                       *foreign->editsAtTheEnd == std::vector<std::u16string>{u"10.52", u"0"};
            };
            QTest::newRow("another program's box in front mid-trade") << s;
        }
        {
            // The client hangs as soon as it is asked anything: what cannot be read is not taken
            // for a value, the keyboard hears that the quantity was not found.
            Scenario s = refused(pufa(13, 1000), 101);
            s.arrange = [](TradingDesk& desk) {
                desk.system.desktop().hangAfterMessages(desk.tdx->mainWindow(), 0);
            };
            s.leftInFront = QStringLiteral("闪电买入");
            QTest::newRow("a hung client") << s;
        }
        {
            // The client hangs when the confirm button is clicked (on the GUI thread): no order,
            // the keyboard hears it was not confirmed, and the program goes on.
            Scenario s = pufa(13, 1000);
            s.actions = Pairs{{4, 0}, {64, 0}, {64, 8}};
            s.arrange = [](TradingDesk& desk) {
                sim::SimDesktop& d = desk.system.desktop();
                sim::FakeTdx* client = desk.tdx.get();
                d.setAnswerTime(client->mainWindow(), [&d, client](std::uint32_t message, std::uintptr_t,
                                                                   std::intptr_t lParam) {
                    const auto button = platform::WindowId(lParam);
                    if (message == platform::msg::Command && button &&
                        client->control(d.parentWindow(button), sim::TdxField::Confirm) == button)
                        d.setHung(client->mainWindow(), true);
                    return 0;
                });
            };
            s.leftInFront = QStringLiteral("闪电买入");
            QTest::newRow("a client that hangs at the confirm click") << s;
        }
        {
            Scenario s = confirmed(pufa(13, 1000), tdxOrder("Buy", kPufa, price, 300));
            s.arrange = [](TradingDesk& desk) {
                desk.system.desktop().setAnswerTime(
                    desk.tdx->mainWindow(), [](std::uint32_t, std::uintptr_t, std::intptr_t) { return 150; });
            };
            QTest::newRow("a busy client that answers within the limit") << s;
        }
    }

    void trades()
    {
        QFETCH(Scenario, s);
        if (s.settings)
            s.settings(*ConfigManager::instance());
        TradingDesk desk(s.desk);
        QVERIFY2(desk.startTrading(), qPrintable(desk.failure()));
        QSignalSpy completed(desk.manager()->worker(), &EditBoxChangeWorker::tradeCompleted);
        if (s.arrange)
            s.arrange(desk);

        desk.press(s.key, s.splitMode, s.pressOn);
        if (s.afterwards)
            s.afterwards(desk);
        for (int k = 0; k < s.desk.keyboards; ++k)
            QTRY_COMPARE_WITH_TIMEOUT(desk.tradeActions(k), s.actions, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(desk.settled() &&
                                     (s.leftInFront.isEmpty() ? desk.foregroundWindow() == desk.mainWindow()
                                                              : desk.foregroundWindow() != desk.mainWindow()),
                                 10000);

        // Nothing more than expected, anywhere.
        for (int k = 0; k < s.desk.keyboards; ++k)
            QCOMPARE(desk.tradeActions(k), s.actions);
        QCOMPARE(desk.orders(), s.orders);
        QCOMPARE(desk.program()->spoken, s.spoken);
        if (!s.leftInFront.isEmpty())
            QCOMPARE(QString::fromStdU16String(desk.foregroundTitle()), s.leftInFront);
        QList<int> completedTypes;
        for (const QList<QVariant>& c : completed)
            completedTypes.append(c.at(0).toInt());
        QCOMPARE(completedTypes,
                 (s.completed ? QList<int>{s.completed} : QList<int>()) + s.completedAfterwards);
        if (s.verify)
            QVERIFY(s.verify(desk));
        if (!s.profile.isEmpty())
            QCOMPARE(ConfigManager::instance()->currentProfileName(), s.profile);
    }

    // Trading mode goes off while the worker waits on a client that has hung in the middle of
    // reading its dialog: the trade threads stop (the GUI thread is never held), nothing is
    // placed, and the keyboard hears nothing the worker had not decided yet.
    void tradingModeOffWhileTheClientHangs()
    {
        TradingDesk desk;
        QVERIFY2(desk.startTrading(), qPrintable(desk.failure()));
        desk.system.desktop().hangAfterMessages(desk.tdx->mainWindow(), 0);
        desk.press(13);
        QTRY_VERIFY_WITH_TIMEOUT(
            desk.foregroundTitle() == u"闪电买入" && desk.manager()->worker()->isRunning(), 10000);

        QVERIFY(desk.manager()->switchWorkState());
        QTRY_VERIFY_WITH_TIMEOUT(!desk.manager()->watchersRunning(), 10000);
        QVERIFY(!desk.manager()->controlDetector());
        QTRY_VERIFY_WITH_TIMEOUT(!desk.manager()->worker()->isRunning(), 5000);
        QCOMPARE(desk.orders(), QStringList());
        const Pairs actions = desk.tradeActions();
        QVERIFY2(actions.isEmpty() || actions == (Pairs{{64, 101}}),
                 qPrintable(QString::number(actions.size())));
    }

    // Should a call into the client ever outlast the stop's wait, trading mode still goes off at
    // once: the detector is left behind to finish by itself, no new one starts beside it, and
    // once it has finished it is gone and the next one runs.
    void aDetectorThatCannotStopInTimeIsLeftBehind()
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool held = false;
        bool released = false;
        TradingDesk desk;
        QVERIFY2(desk.startTrading(), qPrintable(desk.failure()));
        desk.system.desktop().setAnswerTime(desk.tdx->mainWindow(),
                                            [&](std::uint32_t, std::uintptr_t, std::intptr_t) {
                                                std::unique_lock<std::mutex> lock(mutex);
                                                held = true;
                                                changed.notify_all();
                                                changed.wait(lock, [&] { return released; });
                                                return 0;
                                            });
        const auto isHeld = [&] {
            std::lock_guard<std::mutex> lock(mutex);
            return held;
        };
        QPointer<ControlDetector> first = desk.manager()->controlDetector();
        QVERIFY(first);
        desk.press(13);
        QTRY_VERIFY_WITH_TIMEOUT(isHeld(), 10000);

        QVERIFY(desk.manager()->switchWorkState());
        QTRY_VERIFY_WITH_TIMEOUT(!desk.manager()->watchersRunning(), 10000);
        QVERIFY(first && first->isRunning()); // still inside the client's call
        QVERIFY(desk.manager()->switchWorkState());
        QTRY_VERIFY_WITH_TIMEOUT(desk.manager()->watchersRunning(), 10000);
        QVERIFY(!desk.manager()->controlDetector());

        {
            std::lock_guard<std::mutex> lock(mutex);
            released = true;
            changed.notify_all();
        }
        desk.system.desktop().setAnswerTime(desk.tdx->mainWindow(), nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            desk.manager()->controlDetector() && desk.manager()->controlDetector()->isRunning(), 10000);
    }
};

ZK_TEST_MAIN(TestTradeScenarios)
#include "tst_tradescenarios.moc"
