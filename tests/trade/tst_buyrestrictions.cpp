#include "ZkTest.h"

#include "LogCapture.h"
#include "SimFixture.h"
#include "sim/desktop/FakeTdx.h"

#include "platform/api/Clock.h"
#include "trade/BuyRestrictions.h"
#include "trade/StateMachine.h"
#include "trade/TradeOutcomeSink.h"

#include <QSettings>

namespace {

struct Report
{
    QString kind; // "action", "notice", "close"
    int a = 0;
    int b = 0;
    bool operator==(const Report& o) const { return kind == o.kind && a == o.a && b == o.b; }
};

class RecordingSink : public TradeOutcomeSink
{
public:
    void sendAction(int action, int reason) override
    {
        reports.append({QStringLiteral("action"), action, reason});
    }
    void sendNotice(int action, int reason) override
    {
        reports.append({QStringLiteral("notice"), action, reason});
    }
    void requestClose(trade::HWND window) override
    {
        reports.append({QStringLiteral("close"), int(window), 0});
    }
    QList<Report> reports;
};

} // namespace

class TestBuyRestrictions : public QObject
{
    Q_OBJECT

    // A FlashBuy transaction on dialog 0 (no live window: closing is covered with a desktop).
    struct Fixture
    {
        platform::ManualClock clock;
        StateMachine machine{clock};
        RecordingSink sink;
        BuyRestrictions rules{machine, sink};

        Fixture(const QString& code, const QString& price)
        {
            machine.setState(StateMachine::FlashBuy);
            machine.record()->code = code;
            machine.record()->priceText = price;
        }
    };

private slots:
    void restrictions_data()
    {
        QTest::addColumn<bool>("onlyBond");
        QTest::addColumn<bool>("onlyMain");
        QTest::addColumn<bool>("notST");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("reason");
        QTest::newRow("all off") << false << false << false << "300750"
                                 << "*ST测试" << 0;
        QTest::newRow("bond wanted, bond") << true << false << false << "113050"
                                           << "南银转债" << 0;
        QTest::newRow("bond wanted, stock") << true << false << false << "600000"
                                            << "浦发银行" << 10;
        QTest::newRow("main wanted, main") << false << true << false << "600000"
                                           << "浦发银行" << 0;
        QTest::newRow("main wanted, chinext") << false << true << false << "300750"
                                              << "宁德时代" << 11;
        QTest::newRow("no ST, ST") << false << false << true << "600000"
                                   << "*ST浦发" << 12;
        QTest::newRow("no ST, lower st") << false << false << true << "600000"
                                         << "st浦发" << 12;
        QTest::newRow("no ST, clean") << false << false << true << "600000"
                                      << "浦发银行" << 0;
        // Order of the tests: the first that refuses gives the reason.
        QTest::newRow("bond before main") << true << true << true << "300750"
                                          << "*ST测试" << 10;
        QTest::newRow("main before ST") << false << true << true << "300750"
                                        << "*ST测试" << 11;
    }

    void restrictions()
    {
        QFETCH(bool, onlyBond);
        QFETCH(bool, onlyMain);
        QFETCH(bool, notST);
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(int, reason);
        Fixture f(code, QString());
        BuyLimits limits;
        limits.onlyBond = onlyBond;
        limits.onlyMain = onlyMain;
        limits.notST = notST;
        f.rules.setLimits(limits);
        QCOMPARE(f.rules.restrictionReason(code, name), reason);
        QVERIFY(f.sink.reports.isEmpty());
    }

    void priceLimit_data()
    {
        QTest::addColumn<bool>("maxOn");
        QTest::addColumn<bool>("minOn");
        QTest::addColumn<QString>("price");
        QTest::addColumn<bool>("passes");
        QTest::newRow("equal to the maximum") << true << false << "30.00" << true;
        QTest::newRow("one cent above") << true << false << "30.01" << false;
        QTest::newRow("far above, limit off") << false << false << "99.00" << true;
        QTest::newRow("equal to the minimum") << false << true << "5.00" << true;
        QTest::newRow("one cent below") << false << true << "4.99" << false;
        QTest::newRow("below minimum, only max on") << true << false << "1.00" << true;
        QTest::newRow("empty price") << true << true << "" << true;
        QTest::newRow("not a price") << true << true << "45" << true;
        QTest::newRow("inside both") << true << true << "10.50" << true;
    }

    void priceLimit()
    {
        QFETCH(bool, maxOn);
        QFETCH(bool, minOn);
        QFETCH(QString, price);
        QFETCH(bool, passes);
        Fixture f(QStringLiteral("600000"), price);
        BuyLimits limits;
        limits.maxPriceLimit = maxOn;
        limits.minPriceLimit = minOn;
        limits.maxPrice = 30;
        limits.minPrice = 5;
        f.rules.setLimits(limits);
        f.machine.setStep(1);

        QCOMPARE(f.rules.priceLimitCheck(), passes);
        if (passes) {
            QVERIFY(f.sink.reports.isEmpty());
            QCOMPARE(f.machine.step(), 1u);
            QVERIFY(!f.machine.isCommitted());
        } else {
            // The dialog handle is 0 here: refused, ended, committed, but nothing to close.
            QCOMPARE(f.sink.reports, (QList<Report>{{QStringLiteral("action"), 64, 15}}));
            QCOMPARE(f.machine.step(), StateMachine::FinalStep);
            QVERIFY(f.machine.isCommitted());
        }
    }

    void aRefusedPriceClosesTheLiveDialog()
    {
        SimFixture sim;
        sim::FakeTdx tdx(sim.system);
        sim::TdxOrderOptions order;
        order.price = u"30.01";
        const platform::WindowId dialog = tdx.openFlashBuy(order);

        StateMachine machine(sim.clock);
        RecordingSink sink;
        BuyRestrictions rules(machine, sink);
        BuyLimits limits;
        limits.maxPriceLimit = true;
        limits.maxPrice = 30;
        rules.setLimits(limits);
        machine.setWindow(dialog, QStringLiteral("#32770"), QStringLiteral("闪电买入"));
        machine.setState(StateMachine::FlashBuy);
        machine.record()->priceText = QStringLiteral("30.01");

        LogCapture log;
        QVERIFY(!rules.priceLimitCheck());
        QCOMPARE(sink.reports, (QList<Report>{{QStringLiteral("action"), 64, 15},
                                              {QStringLiteral("close"), int(dialog), 0}}));
        QCOMPARE(machine.step(), StateMachine::FinalStep);
        QVERIFY(machine.isCommitted());
        QCOMPARE(log.lines(),
                 (QStringList{"价格超限检测(高于上限): 当前价格= 30.01 , 上限= 30",
                              QStringLiteral("准备关闭窗口: hwnd= %1 , IsWindow= true").arg(dialog),
                              "发送 requestCloseWindow 信号"}));

        // The same refusal for a dialog that is already gone asks for nothing to be closed.
        sim.desktop().destroyWindow(dialog);
        machine.setStep(0);
        sink.reports.clear();
        log.clear();
        QVERIFY(!rules.priceLimitCheck());
        QCOMPARE(sink.reports, (QList<Report>{{QStringLiteral("action"), 64, 15}}));
        QCOMPARE(log.lines().last(), QStringLiteral("窗口句柄无效，无法关闭"));
        QVERIFY(sim.system.orderBook().orders().empty());
    }

    void amountLimit_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("price");
        QTest::addColumn<int>("maxAmount");
        QTest::addColumn<bool>("onlyBond");
        QTest::addColumn<int>("quantity");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("adjusted");
        QTest::newRow("reduced to lots of 100") << "600000"
                                                << "33.50" << 10000 << false << 1000 << true << 200;
        QTest::newRow("bond in lots of 10") << "113050"
                                            << "120.00" << 10000 << false << 100 << true << 80;
        QTest::newRow("only-bond switch uses lots of 10") << "600000"
                                                          << "120.00" << 10000 << true << 100 << true << 80;
        QTest::newRow("exactly the limit") << "600000"
                                           << "10.00" << 10000 << false << 1000 << true << 1000;
        QTest::newRow("below the limit") << "600000"
                                         << "9.99" << 10000 << false << 1000 << true << 1000;
        QTest::newRow("no lot fits") << "600000"
                                     << "120.00" << 10000 << false << 100 << false << 100;
        QTest::newRow("empty price") << "600000"
                                     << "" << 10000 << false << 100 << false << 100;
        QTest::newRow("malformed price") << "600000"
                                         << "12." << 10000 << false << 100 << false << 100;
        QTest::newRow("zero price") << "600000"
                                    << "0.00" << 10000 << false << 100 << false << 100;
        // Binary floating point must not let one yuan over the limit through (0.29 × 100 = 29).
        QTest::newRow("29 over 28") << "600000"
                                    << "0.29" << 28 << false << 100 << false << 100;
        // Nor lose a lot to rounding (5900 ÷ 2.95 is exactly 2000, not 1999.99…).
        QTest::newRow("exact quotient") << "600000"
                                        << "2.95" << 5900 << false << 3000 << true << 2000;
    }

    void amountLimit()
    {
        QFETCH(QString, code);
        QFETCH(QString, price);
        QFETCH(int, maxAmount);
        QFETCH(bool, onlyBond);
        QFETCH(int, quantity);
        QFETCH(bool, ok);
        QFETCH(int, adjusted);
        Fixture f(code, price);
        BuyLimits limits;
        limits.amountLimit = true;
        limits.maxAmount = maxAmount;
        limits.onlyBond = onlyBond;
        f.rules.setLimits(limits);

        int q = quantity;
        QCOMPARE(f.rules.amountLimitCheck(q), ok);
        QCOMPARE(q, adjusted);
        QCOMPARE(f.machine.step(), 0u);
    }

    void amountLimitWithoutFitSpeaksTheNotice()
    {
        Fixture f(QStringLiteral("600000"), QStringLiteral("120.00"));
        BuyLimits limits;
        limits.amountLimit = true;
        limits.maxAmount = 10000;
        f.rules.setLimits(limits);
        int q = 100;
        QVERIFY(!f.rules.amountLimitCheck(q));
        QCOMPARE(f.sink.reports, (QList<Report>{{QStringLiteral("notice"), 64, 16}}));
    }

    void amountLimitOnlyForBuysWithTheSwitchOn()
    {
        Fixture f(QStringLiteral("600000"), QStringLiteral("33.50"));
        BuyLimits limits;
        limits.amountLimit = false;
        limits.maxAmount = 10000;
        f.rules.setLimits(limits);
        int q = 1000;
        QVERIFY(f.rules.amountLimitCheck(q));
        QCOMPARE(q, 1000);

        limits.amountLimit = true;
        f.rules.setLimits(limits);
        f.machine.setState(StateMachine::FlashSell);
        f.machine.record()->priceText = QStringLiteral("33.50");
        QVERIFY(f.rules.amountLimitCheck(q));
        QCOMPARE(q, 1000);
        QVERIFY(f.sink.reports.isEmpty());
    }

    void limitsFromSettings()
    {
        QSettings settings(zktest::testHome() + QStringLiteral("/limits.ini"), QSettings::IniFormat);
        const auto reader = [&settings](const QString& key, const QVariant& def) {
            return settings.value(key, def);
        };
        const BuyLimits defaults = BuyLimits::fromSettings(reader);
        QCOMPARE(defaults.maxPrice, 30);
        QCOMPARE(defaults.minPrice, 0);
        QCOMPARE(defaults.maxAmount, 10000);
        QVERIFY(!defaults.onlyBond && !defaults.onlyMain && !defaults.notST);
        QVERIFY(!defaults.maxPriceLimit && !defaults.minPriceLimit && !defaults.amountLimit);

        settings.setValue(QStringLiteral("Software/TdxOnlyZz"), true);
        settings.setValue(QStringLiteral("Software/TdxBuyAmountLimt"), true);
        settings.setValue(QStringLiteral("Software/TdxBuyMaxAmount"), 20000);
        settings.setValue(QStringLiteral("Software/TdxBuyMinPriceLimit"), true);
        settings.setValue(QStringLiteral("Software/TdxBuyMinPrice"), 3);
        const BuyLimits read = BuyLimits::fromSettings(reader);
        QVERIFY(read.onlyBond && read.amountLimit && read.minPriceLimit);
        QVERIFY(!read.onlyMain && !read.maxPriceLimit);
        QCOMPARE(read.maxAmount, 20000);
        QCOMPARE(read.minPrice, 3);
    }
};

ZK_TEST_MAIN(TestBuyRestrictions)
#include "tst_buyrestrictions.moc"
