// Trades end to end, in real time, on the whole program: a key pressed on a simulated keyboard,
// the client's dialog, the program's decision, and what the outside world saw of it: the
// client's order book (exactly which orders were placed), the action frames every keyboard
// received, the texts the clock spoke, and which window is left in front.

#include "TradingDesk.h"

#include "ZkTest.h"
#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "trade/EditBoxChangeWorker.h"

#include <QSignalSpy>

#include <functional>

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

    Pairs actions;       // what every keyboard received, in order
    QStringList orders;  // the whole order book
    QStringList spoken;  // in order
    int completed = 0;   // the trade type reported as done, 0 when none
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
    }

    void trades()
    {
        QFETCH(Scenario, s);
        if (s.settings)
            s.settings(*ConfigManager::instance());
        TradingDesk desk(s.desk);
        QVERIFY2(desk.startTrading(), qPrintable(desk.failure()));
        QSignalSpy completed(desk.manager()->worker(), &EditBoxChangeWorker::tradeCompleted);

        desk.press(s.key, s.splitMode, s.pressOn);
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
        QCOMPARE(completed.size(), s.completed ? 1 : 0);
        if (s.completed)
            QCOMPARE(completed.at(0).at(0).toInt(), s.completed);
        if (!s.profile.isEmpty())
            QCOMPARE(ConfigManager::instance()->currentProfileName(), s.profile);
    }
};

ZK_TEST_MAIN(TestTradeScenarios)
#include "tst_tradescenarios.moc"
