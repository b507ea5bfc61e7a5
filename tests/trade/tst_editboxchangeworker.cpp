#include "ZkTest.h"

#include "LogCapture.h"
#include "SimFixture.h"
#include "config/ConfigManager.h"
#include "keyboardlink/protocol/Protocol.h"
#include "sim/desktop/MessageDialog.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/FakeThs.h"
#include "trade/DesktopWatcher.h"
#include "trade/EditBoxChangeWorker.h"
#include "trade/QuantityStabilityTracker.h"
#include "trade/StateMachine.h"
#include "trade/WindowRequests.h"

#include <QSettings>

#include <cstdlib>
#include <functional>
#include <memory>

using sim::TdxField;
using sim::WindowId;

namespace {

// What the worker said, in order, with the clock's time.
struct Said
{
    QString kind; // "action", "notice", "prompt", "offer", "completed"
    int a = 0;
    int b = 0;
    qint64 at = 0;
    QString text;
};

using Pairs = QList<QPair<int, int>>;

const QString BuiltIn = QStringLiteral("金融终端");

// A setting the store has no setter for, written as the user's INI file holds it (settings
// objects of one file share their data within the process).
void setRawSetting(const QString& key, const QVariant& value)
{
    QSettings settings(ConfigManager::instance()->iniFilePath(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue(key, value);
}

// The settings every test starts from: the built-in profile (the fake TDX's default layout),
// no restrictions, no limits, automatic profile switching on.
void resetSettings()
{
    ConfigManager* c = ConfigManager::instance();
    for (const QString& name : c->profileList()) {
        if (name != BuiltIn)
            c->deleteProfile(name);
    }
    QVERIFY(c->loadProfile(BuiltIn));
    c->setTdxOnlyZz(false);
    c->setTdxOnlyMain(false);
    c->setTdxNotST(false);
    c->setTdxBuyMaxPriceLimitEnabled(false);
    c->setTdxBuyMinPriceLimitEnabled(false);
    c->setTdxBuyAmountLimitEnabled(false);
    c->setTdxBuyMaxPrice(30);
    c->setTdxBuyMinPrice(0);
    c->setTdxBuyMaxAmount(10000);
    c->setAutoSwitchProfileEnabled(true);
    setRawSetting(QStringLiteral("Software/UseSoftwareSplit"), true);
    setRawSetting(QStringLiteral("Software/ReportTradeTime"), true);
}

// A simulated desktop with a fake TDX, the state machine, the desktop watcher's classification
// and the worker, all on one manual clock. The worker's click and close requests run directly
// (on a real program they run on the GUI thread a moment later).
struct Trade
{
    SimFixture sim;
    std::unique_ptr<sim::FakeTdx> tdx;
    StateMachine machine{sim.clock};
    DesktopWatcher watcher{&machine, [] { return false; }};
    std::unique_ptr<EditBoxChangeWorker> worker;
    QObject context;
    QList<Said> said;
    std::function<void()> insistStep;
    // Clicks asked for while set wait here, as on a busy GUI thread.
    bool holdClicks = false;
    QList<trade::HWND> heldClicks;

    explicit Trade(sim::FakeTdxOptions options = {})
    {
        tdx = std::make_unique<sim::FakeTdx>(sim.system, std::move(options));
        tdx->setCurrentStock(u"600000", u"浦发银行", u"10.52");
        startWorker();
    }

    // A new worker reads the configuration as it is now.
    void startWorker()
    {
        worker = std::make_unique<EditBoxChangeWorker>(&machine);
        EditBoxChangeWorker* w = worker.get();
        const auto record = [this](const QString& kind, int a, int b, const QString& text = QString()) {
            said.append({kind, a, b, sim.clock.nowMs(), text});
        };
        QObject::connect(
            w, &EditBoxChangeWorker::actionSignal, &context,
            [record](int a, int r) { record(QStringLiteral("action"), a, r); }, Qt::DirectConnection);
        QObject::connect(
            w, &EditBoxChangeWorker::notice, &context,
            [record](int a, int r) { record(QStringLiteral("notice"), a, r); }, Qt::DirectConnection);
        QObject::connect(
            w, &EditBoxChangeWorker::tradeCompleted, &context,
            [record](int type, qint64 ms) { record(QStringLiteral("completed"), type, int(ms)); },
            Qt::DirectConnection);
        QObject::connect(
            w, &EditBoxChangeWorker::requestShowConfigPrompt, &context,
            [record](const QString& dataType, const QString& dialog) {
                record(QStringLiteral("prompt"), 0, 0, dataType + QLatin1Char('|') + dialog);
            },
            Qt::DirectConnection);
        QObject::connect(
            w, &EditBoxChangeWorker::requestSwitchProfile, &context,
            [record](const QString& profile, const QString& dataType, const QString& dialog) {
                record(QStringLiteral("offer"), 0, 0,
                       profile + QLatin1Char('|') + dataType + QLatin1Char('|') + dialog);
            },
            Qt::DirectConnection);
        QObject::connect(
            w, &EditBoxChangeWorker::requestClickButton, &context,
            [this, w](trade::HWND button) {
                if (holdClicks)
                    heldClicks.append(button);
                else
                    w->onButtonClicked(button, WindowRequests::clickButton(button));
            },
            Qt::DirectConnection);
        QObject::connect(w, &EditBoxChangeWorker::requestCloseWindow, &context, &WindowRequests::closeWindow,
                         Qt::DirectConnection);
    }

    void keyPressed(int type, bool keyboardSplits = false)
    {
        worker->onTradeTypeSet(0, type, keyboardSplits ? 1 : 0);
    }

    // From now on the watcher classifies every change of the foreground at once, in the middle of
    // whatever the worker is doing (as its own thread may).
    void watchForeground()
    {
        foregroundHook = sim.desktop().hookForeground(
            [this](WindowId window) { watcher.onForegroundChanged(window); }, nullptr);
    }
    std::unique_ptr<platform::ForegroundHook> foregroundHook;

    // Another program's window, with edits, texts and a "买入" button (Enter presses it): nothing
    // of it may ever be typed into or pressed.
    struct Foreign
    {
        WindowId window = 0;
        std::shared_ptr<int> presses = std::make_shared<int>(0);
    };
    Foreign openForeign(const std::u16string& className, const std::u16string& title)
    {
        Foreign f;
        sim::MessageDialogSpec spec;
        spec.pid = sim.system.processes().startProcess(u"other.exe");
        spec.className = className;
        spec.title = title;
        // As many texts and edits as an order dialog has, so that its positions all exist.
        spec.texts = {u"证券代码:", u"证券名称:", u"600000", u"浦发银行", u"a", u"b", u"c", u"d", u"1000"};
        spec.edits = {u"10.52", u"x", u"0"};
        spec.buttons = {{1, u"买入"}, {2, u"取消"}};
        auto presses = f.presses;
        spec.onClose = [presses](int id) {
            if (id == 1)
                ++*presses;
        };
        sim::SimDesktop::ActingAs as(spec.pid);
        f.window = sim::openMessageDialog(sim.desktop(), spec);
        return f;
    }
    std::vector<std::u16string> editTexts(WindowId window)
    {
        std::vector<std::u16string> texts;
        for (WindowId child = 0; (child = sim.desktop().findWindowEx(window, child, u"Edit", nullptr)) != 0;) {
            char16_t buffer[64] = {};
            sim.desktop().sendMessage(child, platform::msg::GetText, 64, reinterpret_cast<std::intptr_t>(buffer));
            texts.push_back(buffer);
        }
        return texts;
    }

    // The watcher classifies the window in front; the detector runs the worker on it.
    void runOnFront()
    {
        watcher.onForegroundChanged(sim.desktop().foregroundWindow());
        worker->performDetection(trade::toWParam(machine.window()));
    }

    Pairs of(const QString& kind) const
    {
        Pairs pairs;
        for (const Said& s : said) {
            if (s.kind == kind)
                pairs.append({s.a, s.b});
        }
        return pairs;
    }
    Pairs actions() const { return of(QStringLiteral("action")); }
    Pairs notices() const { return of(QStringLiteral("notice")); }
    QStringList texts(const QString& kind) const
    {
        QStringList found;
        for (const Said& s : said) {
            if (s.kind == kind)
                found.append(s.text);
        }
        return found;
    }
    // The time of the first report of that kind and pair, -1 when none.
    qint64 timeOf(const QString& kind, int a, int b) const
    {
        for (const Said& s : said) {
            if (s.kind == kind && s.a == a && s.b == b)
                return s.at;
        }
        return -1;
    }

    std::vector<sim::Order> submitted() { return sim.system.orderBook().submitted(); }
    std::vector<sim::Order> orders() { return sim.system.orderBook().orders(); }
    bool isOpen(WindowId window) { return sim.desktop().isWindow(window); }

    // A client that keeps writing its own quantity back into the edit (every millisecond until
    // untilMs, or while the dialog lives): whatever the program types never stays.
    void insistOnQuantity(WindowId dialog, const std::u16string& text, qint64 untilMs = -1)
    {
        const WindowId edit = tdx->control(dialog, TdxField::Quantity);
        const platform::ProcessId pid = sim.desktop().windowProcessId(dialog);
        insistStep = [this, dialog, edit, pid, text, untilMs] {
            if (untilMs >= 0 && sim.desktop().now() >= untilMs)
                return;
            sim.desktop().sendMessage(edit, platform::msg::SetText, 0,
                                      reinterpret_cast<std::intptr_t>(text.c_str()));
            sim.desktop().scheduleAfter(1, pid, dialog, insistStep);
        };
        sim.desktop().scheduleAfter(1, pid, dialog, insistStep);
    }

    // The client changes the maximum it shows at atMs.
    void showMaximumAt(WindowId dialog, const std::u16string& text, qint64 atMs)
    {
        const WindowId control = tdx->control(dialog, TdxField::MaxQuantity);
        auto copy = std::make_shared<std::u16string>(text);
        sim.desktop().scheduleAt(atMs, sim.desktop().windowProcessId(dialog), dialog, [this, control, copy] {
            sim.desktop().sendMessage(control, platform::msg::SetText, 0,
                                      reinterpret_cast<std::intptr_t>(copy->c_str()));
        });
    }
};

sim::TdxOrderOptions order(long long maximum, const std::u16string& price = u"10.52")
{
    sim::TdxOrderOptions o;
    o.maxQuantity = maximum;
    o.price = price;
    o.code = u"600000";
    o.name = u"浦发银行";
    return o;
}

} // namespace

class TestEditBoxChangeWorker : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        EditBoxChangeWorker::forgetProcessHistory();
        resetSettings();
    }

    // ---------------------------------------------------------------- the software split

    void softwareSplitTargets_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("confirmed");
        QTest::addColumn<bool>("accepted");
        // The client's 1/3 button gives 300 as well.
        QTest::newRow("1/3 of 1000") << 13 << 1000 << 300 << true;
        // The client's 1/2 button gives 0 lots; the worker retries, then types 100 itself.
        QTest::newRow("1/2 of 150") << 12 << 150 << 100 << true;
        // Never less than one lot, even beyond the maximum: the client refuses it.
        QTest::newRow("1/2 of 50") << 12 << 50 << 100 << false;
        QTest::newRow("全仓 of 1200") << 11 << 1200 << 1200 << true;
        QTest::newRow("1/5 of 999") << 15 << 999 << 100 << true;
    }
    void softwareSplitTargets()
    {
        QFETCH(int, type);
        QFETCH(int, maximum);
        QFETCH(int, confirmed);
        QFETCH(bool, accepted);
        Trade t;
        t.keyPressed(type);
        const qint64 opened = t.sim.clock.nowMs();
        t.tdx->openFlashBuy(order(maximum));
        t.runOnFront();

        const std::vector<sim::Order> orders = t.orders();
        QCOMPARE(int(orders.size()), 1);
        QCOMPARE(int(orders[0].quantity), confirmed);
        QCOMPARE(orders[0].status == sim::Order::Status::Submitted, accepted);
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
        QVERIFY(t.notices().isEmpty());
        QCOMPARE(t.machine.step(), StateMachine::FinalStep);
        QVERIFY(t.machine.isCommitted());
        // The trade time runs from the dialog coming to the front to the confirm.
        const QList<Said> completed = [&] {
            QList<Said> c;
            for (const Said& s : t.said)
                if (s.kind == QLatin1String("completed"))
                    c.append(s);
            return c;
        }();
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed[0].a, type);
        QCOMPARE(qint64(completed[0].b), completed[0].at - opened);
        QVERIFY(completed[0].b >= 20); // at least the visibility wait
    }

    void orderDialogSeenReady_data()
    {
        QTest::addColumn<int>("visibleAfter");
        QTest::addColumn<qint64>("ready"); // action (4, 0), ms after the dialog came to the front
        QTest::newRow("visible at once") << 0 << qint64(20);
        QTest::newRow("visible after 50 ms") << 50 << qint64(70);
    }
    void orderDialogSeenReady()
    {
        QFETCH(int, visibleAfter);
        QFETCH(qint64, ready);
        Trade t;
        t.keyPressed(13);
        const qint64 opened = t.sim.clock.nowMs();
        sim::TdxOrderOptions o = order(1000);
        o.visibleAfterMs = visibleAfter;
        t.tdx->openFlashBuy(o);
        t.runOnFront();
        QCOMPARE(t.timeOf(QStringLiteral("action"), 4, 0) - opened, ready);
        QCOMPARE(t.submitted().size(), std::size_t(1));
    }

    void softwareSplitOffLeavesTheSplitToTheKeyboard()
    {
        setRawSetting(QStringLiteral("Software/UseSoftwareSplit"), false);
        QVERIFY(!ConfigManager::instance()->useSoftwareSplit());
        Trade t;
        t.keyPressed(13);
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
        QVERIFY(t.isOpen(dialog));
        QCOMPARE(t.tdx->fieldText(dialog, TdxField::Quantity), std::u16string(u"0"));
        QVERIFY(t.orders().empty());
        QCOMPARE(t.machine.step(), 3u);
    }

    void tradeTimeReportCanBeOff()
    {
        setRawSetting(QStringLiteral("Software/ReportTradeTime"), false);
        QVERIFY(!ConfigManager::instance()->reportTradeTime());
        Trade t;
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QVERIFY(t.of(QStringLiteral("completed")).isEmpty());
    }

    void softwareSplitRunsOnTheClientsOwnSplitButton()
    {
        LogCapture log;
        Trade t;
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QVERIFY(!log.startingWith(QStringLiteral("找到分仓按钮： 1/3 ，发送点击信号")).isEmpty());
        QVERIFY(log.contains(QStringLiteral("✓ 分仓验证成功：目标300，实际300")));
        QVERIFY(log.contains(QStringLiteral("软件分仓成功，数量验证通过： 300")));
        QVERIFY(log.contains(QStringLiteral("发送点击按钮信号，使用缓存")));
        QVERIFY(log.contains(QStringLiteral("✓ 1/3买 成功，总耗时： ") + QString::number(t.said.last().b) +
                             QStringLiteral(" 毫秒")));
        QCOMPARE(t.submitted().size(), std::size_t(1));
    }

    void softwareSplitFallsBackToKeyboardWhenTheQuantityNeverHolds()
    {
        // The client throws every typed quantity away: two split attempts and a forced value all
        // fail to verify, so the worker does not confirm and leaves the dialog to the keyboard.
        LogCapture log;
        sim::FakeTdxOptions options;
        options.splitButtonsWork = false;
        Trade t(options);
        t.keyPressed(13);
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        t.insistOnQuantity(dialog, u"0");
        t.runOnFront();
        QCOMPARE(log.startingWith(QStringLiteral("分仓验证失败，尝试重试")).size(), 2);
        QVERIFY(log.contains(QStringLiteral("重试次数超限，尝试强制设置数量")));
        QVERIFY(log.contains(QStringLiteral("强制设置后验证仍失败，回退到键盘模式")));
        QVERIFY(t.orders().empty());
        QVERIFY(t.isOpen(dialog));
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
        QCOMPARE(t.machine.step(), 4u);
    }

    void amountLimitReducesTheSplitTarget()
    {
        ConfigManager::instance()->setTdxBuyAmountLimitEnabled(true);
        ConfigManager::instance()->setTdxBuyMaxAmount(5000);
        LogCapture log;
        Trade t;
        t.keyPressed(12);
        t.tdx->openFlashBuy(order(2000));
        t.runOnFront();
        // 1000 × 10.52 is over 5000: 475 in whole lots.
        QVERIFY(log.contains(QStringLiteral("限额调整： 1000  →  400 ，跳过分仓操作，直接设置数量")));
        const std::vector<sim::Order> placed = t.submitted();
        QCOMPARE(placed.size(), std::size_t(1));
        QCOMPARE(int(placed[0].quantity), 400);
    }

    // ---------------------------------------------------------------- fixed quantities

    void fixedAmountBuy_data()
    {
        QTest::addColumn<bool>("clientInsists");
        QTest::addColumn<int>("confirmed"); // 0: cancelled
        QTest::newRow("reduced and confirmed") << false << 400;
        QTest::newRow("retyped three times, then cancelled") << true << 0;
    }
    void fixedAmountBuy()
    {
        QFETCH(bool, clientInsists);
        QFETCH(int, confirmed);
        ConfigManager::instance()->setTdxBuyAmountLimitEnabled(true);
        ConfigManager::instance()->setTdxBuyMaxAmount(5000);
        LogCapture log;
        Trade t;
        t.keyPressed(10);
        sim::TdxOrderOptions o = order(5000);
        o.fixedQuantity = 1000; // the client's fixed-amount preset
        const WindowId dialog = t.tdx->openFlashBuy(o);
        if (clientInsists)
            t.insistOnQuantity(dialog, u"1000");
        t.runOnFront();

        QVERIFY(log.contains(QStringLiteral("定额买入：数量已调整，从 1000 调整为 400")));
        // A cancel is told to the keyboard: the limit could not be kept.
        QCOMPARE(t.actions(), (confirmed ? Pairs{{4, 0}, {64, 0}} : Pairs{{4, 0}, {64, 0}, {64, 16}}));
        if (confirmed) {
            QCOMPARE(log.startingWith(QStringLiteral("第")).size(), 1);
            QVERIFY(log.contains(QStringLiteral("数量设置成功，验证= 400")));
            QCOMPARE(t.submitted().size(), std::size_t(1));
            QCOMPARE(int(t.submitted()[0].quantity), confirmed);
        } else {
            QCOMPARE(log.startingWith(QStringLiteral("第")),
                     (QStringList{QStringLiteral("第 1 次尝试设置数量： 400"),
                                  QStringLiteral("第 2 次尝试设置数量： 400"),
                                  QStringLiteral("第 3 次尝试设置数量： 400")}));
            QCOMPARE(log.startingWith(QStringLiteral("数量验证失败，期望= 400 ，实际= 1000")).size(), 3);
            QVERIFY(log.contains(QStringLiteral("多次尝试后仍无法设置正确数量")));
            QVERIFY(log.contains(QStringLiteral("定额买入：无法设置正确数量，取消交易")));
            QVERIFY(!t.isOpen(dialog));
            QVERIFY(t.orders().empty());
        }
    }

    void fixedQuantityIsConfirmedOnlyOnceItSettles()
    {
        // The client fills the preset quantity in digit by digit; confirming "1" or "10" would
        // place the wrong order.
        Trade t;
        t.keyPressed(10);
        const qint64 opened = t.sim.clock.nowMs();
        const WindowId dialog = t.tdx->openFlashBuy(order(5000));
        const WindowId edit = t.tdx->control(dialog, TdxField::Quantity);
        const platform::ProcessId pid = t.sim.desktop().windowProcessId(dialog);
        static const std::u16string typed[] = {u"1", u"10", u"100", u"1000"};
        for (int i = 0; i < 4; ++i) {
            t.sim.desktop().scheduleAt(opened + 30 + 2 * i, pid, dialog, [&t, edit, i] {
                t.sim.desktop().sendMessage(edit, platform::msg::SetText, 0,
                                            reinterpret_cast<std::intptr_t>(typed[i].c_str()));
            });
        }
        t.runOnFront();
        QCOMPARE(t.orders().size(), std::size_t(1));
        QCOMPARE(int(t.orders()[0].quantity), 1000);
        QVERIFY(t.timeOf(QStringLiteral("action"), 64, 0) - opened >= 36 + 6);
    }

    void fixedSellNeedsNoHelp()
    {
        // 定额卖: the client's own quantity is confirmed as it is; sells know no amount limit.
        ConfigManager::instance()->setTdxBuyAmountLimitEnabled(true);
        ConfigManager::instance()->setTdxBuyMaxAmount(100);
        Trade t;
        t.keyPressed(20);
        sim::TdxOrderOptions o = order(800);
        o.fixedQuantity = 500;
        t.tdx->openFlashSell(o);
        t.runOnFront();
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 500);
        QVERIFY(t.submitted()[0].kind == sim::Order::Kind::Sell);
    }

    // ---------------------------------------------------------------- the maximum quantity

    void zeroMaximum_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<qint64>("positiveAfter"); // ms after opening, -1 never
        QTest::addColumn<Pairs>("notices");
        QTest::newRow("buy, zero throughout") << 13 << qint64(-1) << Pairs{{64, 1}};
        QTest::newRow("sell, zero throughout") << 23 << qint64(-1) << Pairs{{64, 2}};
        // Opened by hand: the dialog says which side it is.
        QTest::newRow("sell dialog, no trade type") << 0 << qint64(-1) << Pairs{{64, 2}};
        QTest::newRow("zero for 100 ms, then 900") << 13 << qint64(100) << Pairs{};
    }
    void zeroMaximum()
    {
        QFETCH(int, type);
        QFETCH(qint64, positiveAfter);
        QFETCH(Pairs, notices);
        Trade t;
        if (type)
            t.keyPressed(type);
        const qint64 opened = t.sim.clock.nowMs();
        // The client shows 0 at first; computing the real maximum may take it a while.
        sim::TdxOrderOptions o = order(positiveAfter >= 0 ? 900 : 0);
        o.maxDelayMs = positiveAfter >= 0 ? int(positiveAfter) : 0;
        const bool sell = type == 0 || type >= 20;
        const WindowId dialog = sell ? t.tdx->openFlashSell(o) : t.tdx->openFlashBuy(o);
        if (positiveAfter >= 0)
            t.showMaximumAt(dialog, u"0", opened);
        t.runOnFront();

        QCOMPARE(t.notices(), notices);
        if (notices.isEmpty()) {
            QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
            QCOMPARE(t.submitted().size(), std::size_t(1));
            QCOMPARE(int(t.submitted()[0].quantity), 300);
            return;
        }
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
        // Refused once the maximum has stayed 0 for 150 ms of waiting for the quantities.
        const qint64 waiting = t.timeOf(QStringLiteral("action"), 4, 0);
        const qint64 refused = t.timeOf(QStringLiteral("action"), 64, 0);
        QVERIFY2(refused - waiting >= 150 && refused - waiting < 153,
                 qPrintable(QString::number(refused - waiting)));
        QCOMPARE(t.timeOf(QStringLiteral("notice"), notices[0].first, notices[0].second), refused);
        QVERIFY(!t.isOpen(dialog));
        QVERIFY(t.orders().empty());
    }

    void maximumProblemsRefuse_data()
    {
        QTest::addColumn<int>("maxIndex");
        QTest::addColumn<QString>("maxText");
        QTest::addColumn<long long>("maximum");
        QTest::addColumn<int>("reason");
        QTest::addColumn<qint64>("after"); // ms after the dialog was seen ready (action 4)
        QTest::newRow("index not configured") << -1 << QString() << 1000LL << 104 << qint64(0);
        QTest::newRow("no control at the index") << 40 << QString() << 1000LL << 103 << qint64(0);
        QTest::newRow("not a number") << 8 << QStringLiteral("abc") << 1000LL << 103 << qint64(0);
        QTest::newRow("negative") << 8 << QStringLiteral("-5") << 1000LL << 103 << qint64(0);
        QTest::newRow("never computed") << 8 << QString() << -1LL << 8 << qint64(1000);
    }
    void maximumProblemsRefuse()
    {
        QFETCH(int, maxIndex);
        QFETCH(QString, maxText);
        QFETCH(long long, maximum);
        QFETCH(int, reason);
        QFETCH(qint64, after);
        ConfigManager::instance()->setTdxMaxQuantityIndex(maxIndex);
        Trade t;
        t.keyPressed(13);
        sim::TdxOrderOptions o = order(maximum);
        o.maxText = maxText.toStdU16String();
        const WindowId dialog = t.tdx->openFlashBuy(o);
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, reason}}));
        const qint64 waited =
            t.timeOf(QStringLiteral("action"), 64, reason) - t.timeOf(QStringLiteral("action"), 4, 0);
        QVERIFY2(waited >= after && waited < after + 3, qPrintable(QString::number(waited)));
        QVERIFY(t.notices().isEmpty());
        QVERIFY(t.isOpen(dialog)); // left to the user
        QVERIFY(t.orders().empty());
        QCOMPARE(t.machine.step(), StateMachine::FinalStep);
    }

    // ---------------------------------------------------------------- every reason

    // Each reason the worker gives, reached the way it happens: the pairs the keyboard receives,
    // the notices spoken, whether the dialog was closed, and never an order.
    void reasons_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("type");
        QTest::addColumn<Pairs>("actions");
        QTest::addColumn<Pairs>("notices");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("1 nothing to buy")
            << "max0" << 13 << Pairs{{4, 0}, {64, 0}} << Pairs{{64, 1}} << true << "";
        QTest::newRow("2 nothing to sell")
            << "sell max0" << 23 << Pairs{{4, 0}, {64, 0}} << Pairs{{64, 2}} << true << "";
        QTest::newRow("8 maximum never computed")
            << "max never" << 13 << Pairs{{4, 0}, {64, 8}} << Pairs{} << false << "";
        QTest::newRow("10 not a convertible bond")
            << "onlyBond" << 13 << Pairs{{64, 10}} << Pairs{} << true << "";
        QTest::newRow("11 not main board")
            << "onlyMain 300750" << 13 << Pairs{{64, 11}} << Pairs{} << true << "";
        QTest::newRow("12 ST") << "notST *ST" << 13 << Pairs{{64, 12}} << Pairs{} << true << "";
        QTest::newRow("15 above the maximum price")
            << "maxPrice 35.00" << 13 << Pairs{{64, 15}} << Pairs{} << true << "";
        QTest::newRow("16 amount limit leaves nothing")
            << "fixed 1000, maxAmount 500" << 10 << Pairs{{4, 0}, {64, 0}, {64, 16}} << Pairs{{64, 16}} << true
            << "";
        QTest::newRow("100 code not found") << "onlyMain, code index on a caption" << 13 << Pairs{{64, 100}}
                                            << Pairs{} << false << "股票代码|";
        QTest::newRow("101 quantity not found")
            << "quantity index missing" << 13 << Pairs{{64, 101}} << Pairs{} << false << "交易数量|闪电买入";
        QTest::newRow("102 price not found") << "maxPrice on, price index missing" << 13 << Pairs{{64, 102}}
                                             << Pairs{} << false << "股票价格|闪电买入";
        QTest::newRow("103 maximum unreadable")
            << "max abc" << 13 << Pairs{{4, 0}, {64, 103}} << Pairs{} << false << "";
        QTest::newRow("104 maximum index missing")
            << "max index missing" << 13 << Pairs{{4, 0}, {64, 104}} << Pairs{} << false << "";
        QTest::newRow("107 fixed buy without quantity")
            << "no fixed quantity" << 10 << Pairs{{4, 0}, {64, 0}} << Pairs{{64, 107}} << false << "";
        QTest::newRow("108 fixed sell without quantity")
            << "sell, no fixed quantity" << 20 << Pairs{{4, 0}, {64, 0}} << Pairs{{64, 108}} << false << "";
        QTest::newRow("101 sell quantity not found")
            << "sell, quantity index missing" << 23 << Pairs{{64, 101}} << Pairs{} << false
            << "交易数量|闪电卖出";
    }
    void reasons()
    {
        QFETCH(QString, setup);
        QFETCH(int, type);
        QFETCH(Pairs, actions);
        QFETCH(Pairs, notices);
        QFETCH(bool, closed);
        QFETCH(QString, prompt);

        ConfigManager* c = ConfigManager::instance();
        sim::TdxOrderOptions o = order(1000);
        bool sell = setup.startsWith(QLatin1String("sell"));
        if (setup.contains(QLatin1String("max0")))
            o.maxQuantity = 0;
        if (setup == QLatin1String("max never"))
            o.maxQuantity = -1;
        if (setup == QLatin1String("max abc"))
            o.maxText = u"abc";
        if (setup == QLatin1String("max index missing"))
            c->setTdxMaxQuantityIndex(-1);
        if (setup == QLatin1String("onlyBond"))
            c->setTdxOnlyZz(true);
        if (setup == QLatin1String("onlyMain 300750")) {
            c->setTdxOnlyMain(true);
            o.code = u"300750";
            o.name = u"宁德时代";
        }
        if (setup == QLatin1String("notST *ST")) {
            c->setTdxNotST(true);
            o.code = u"600123";
            o.name = u"*ST兰花";
        }
        if (setup == QLatin1String("maxPrice 35.00")) {
            c->setTdxBuyMaxPriceLimitEnabled(true);
            o.price = u"35.00";
        }
        if (setup == QLatin1String("fixed 1000, maxAmount 500")) {
            c->setTdxBuyAmountLimitEnabled(true);
            c->setTdxBuyMaxAmount(500);
            o.fixedQuantity = 1000;
        }
        if (setup == QLatin1String("onlyMain, code index on a caption")) {
            c->setTdxOnlyMain(true);
            c->setTdxCodeIndex(0); // "证券代码:"
        }
        if (setup.contains(QLatin1String("quantity index missing")))
            c->setTdxQuantityIndex(-1);
        if (setup == QLatin1String("maxPrice on, price index missing")) {
            c->setTdxBuyMaxPriceLimitEnabled(true);
            c->setTdxPriceIndex(-1);
        }

        Trade t;
        t.keyPressed(type);
        const WindowId dialog = sell ? t.tdx->openFlashSell(o) : t.tdx->openFlashBuy(o);
        t.runOnFront();

        QCOMPARE(t.actions(), actions);
        QCOMPARE(t.notices(), notices);
        QCOMPARE(!t.isOpen(dialog), closed);
        QVERIFY(t.orders().empty());
        QCOMPARE(t.texts(QStringLiteral("prompt")), prompt.isEmpty() ? QStringList() : QStringList{prompt});
        QCOMPARE(t.machine.step(), StateMachine::FinalStep);
        // A read that never succeeds is given up after its time limit, not before.
        if (setup.contains(QLatin1String("missing")) && !setup.contains(QLatin1String("max index"))) {
            const qint64 given =
                t.timeOf(QStringLiteral("action"), actions.last().first, actions.last().second);
            QVERIFY2(given - t.machine.stateEnteredAt() >= 1000, qPrintable(QString::number(given)));
        }
    }

    void restrictionsLetGoodBuysThrough_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("price");
        QTest::newRow("convertible bond") << "onlyBond"
                                          << "113050"
                                          << "南银转债"
                                          << "120.00";
        QTest::newRow("main board") << "onlyMain"
                                    << "600000"
                                    << "浦发银行"
                                    << "10.52";
        QTest::newRow("not ST") << "notST"
                                << "600000"
                                << "浦发银行"
                                << "10.52";
        QTest::newRow("price at the maximum") << "maxPrice 30"
                                              << "600000"
                                              << "浦发银行"
                                              << "30.00";
        QTest::newRow("price at the minimum") << "minPrice 5"
                                              << "600000"
                                              << "浦发银行"
                                              << "5.00";
    }
    void restrictionsLetGoodBuysThrough()
    {
        QFETCH(QString, setup);
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, price);
        ConfigManager* c = ConfigManager::instance();
        c->setTdxOnlyZz(setup == QLatin1String("onlyBond"));
        c->setTdxOnlyMain(setup == QLatin1String("onlyMain"));
        c->setTdxNotST(setup == QLatin1String("notST"));
        c->setTdxBuyMaxPriceLimitEnabled(setup == QLatin1String("maxPrice 30"));
        c->setTdxBuyMinPriceLimitEnabled(setup == QLatin1String("minPrice 5"));
        c->setTdxBuyMinPrice(5);
        Trade t;
        t.keyPressed(11);
        sim::TdxOrderOptions o = order(500, price.toStdU16String());
        o.code = code.toStdU16String();
        o.name = name.toStdU16String();
        t.tdx->openFlashBuy(o);
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(QString::fromStdU16String(t.submitted()[0].code), code);
    }

    void minimumPriceLimit_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<bool>("refused");
        QTest::newRow("one cent below") << "4.99" << true;
        QTest::newRow("at the minimum") << "5.00" << false;
    }
    void minimumPriceLimit()
    {
        QFETCH(QString, price);
        QFETCH(bool, refused);
        ConfigManager::instance()->setTdxBuyMinPriceLimitEnabled(true);
        ConfigManager::instance()->setTdxBuyMinPrice(5);
        Trade t;
        t.keyPressed(13);
        const WindowId dialog = t.tdx->openFlashBuy(order(1000, price.toStdU16String()));
        t.runOnFront();
        if (refused) {
            QCOMPARE(t.actions(), (Pairs{{64, 15}}));
            QVERIFY(!t.isOpen(dialog));
            QVERIFY(t.orders().empty());
        } else {
            QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
            QCOMPARE(t.submitted().size(), std::size_t(1));
        }
    }

    void sellsAreNeverRestricted()
    {
        ConfigManager* c = ConfigManager::instance();
        c->setTdxOnlyMain(true);
        c->setTdxNotST(true);
        c->setTdxBuyMaxPriceLimitEnabled(true);
        c->setTdxBuyAmountLimitEnabled(true);
        c->setTdxBuyMaxAmount(100);
        Trade t;
        t.keyPressed(23);
        sim::TdxOrderOptions o = order(900, u"88.00");
        o.code = u"300123";
        o.name = u"*ST天龙";
        t.tdx->openFlashSell(o);
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 300);
        QVERIFY(t.submitted()[0].kind == sim::Order::Kind::Sell);
    }

    void marginBuyReadsTheMarginPositions()
    {
        // The buy positions point at nothing useful here; only the margin ones can work.
        ConfigManager* c = ConfigManager::instance();
        c->setTdxOnlyMain(true);
        c->setTdxBuyMaxPriceLimitEnabled(true);
        c->setTdxCodeIndex(-1);
        c->setTdxNameIndex(-1);
        c->setTdxPriceIndex(-1);
        c->setTdxQuantityIndex(-1);
        c->setTdxMaxQuantityIndex(-1);
        Trade t;
        t.keyPressed(12);
        t.tdx->openMarginBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
        const std::vector<sim::Order> placed = t.submitted();
        QCOMPARE(placed.size(), std::size_t(1));
        QVERIFY(placed[0].kind == sim::Order::Kind::MarginBuy);
        QCOMPARE(int(placed[0].quantity), 500);
        QCOMPARE(t.machine.record()->code, QStringLiteral("600000"));
    }

    // ---------------------------------------------------------------- keyboard split mode

    void keyboardSplitAgainstTheDialogsOwnTarget_data()
    {
        QTest::addColumn<bool>("sell");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("sell 99 away") << true << "399" << true;
        QTest::newRow("sell 100 away") << true << "400" << false;
        QTest::newRow("sell 99 below") << true << "201" << true;
        QTest::newRow("sell 100 below") << true << "200" << false;
        QTest::newRow("buy on target") << false << "300" << true;
        QTest::newRow("buy 100 away") << false << "400" << false;
        // Within 99, but not whole lots: a buy of odd shares is never confirmed.
        QTest::newRow("buy 99 away, odd lot") << false << "399" << false;
    }
    void keyboardSplitAgainstTheDialogsOwnTarget()
    {
        // The software split aimed at 300 but the client would not keep it; the keyboard then
        // types the quantity, and only a quantity within 99 of 300 is confirmed.
        QFETCH(bool, sell);
        QFETCH(QString, typed);
        QFETCH(bool, confirmed);
        LogCapture log;
        sim::FakeTdxOptions options;
        options.splitButtonsWork = false;
        options.checkOrders = false; // what matters is what the worker confirms
        Trade t(options);
        t.keyPressed(sell ? 23 : 13);
        const qint64 opened = t.sim.clock.nowMs();
        const WindowId dialog = sell ? t.tdx->openFlashSell(order(1000)) : t.tdx->openFlashBuy(order(1000));
        t.insistOnQuantity(dialog, u"0", opened + 300);
        t.tdx->keyboardTypeQuantity(dialog, typed.toStdU16String(), 320);
        t.runOnFront();

        QVERIFY(log.contains(QStringLiteral("强制设置后验证仍失败，回退到键盘模式")));
        QCOMPARE(t.worker->verdicts().back().target, 300);
        QCOMPARE(t.worker->verdicts().back().outcome, confirmed ? EditBoxChangeWorker::Verdict::Confirmed
                                                                : EditBoxChangeWorker::Verdict::Refused);
        const int actual = typed.toInt();
        if (confirmed) {
            QVERIFY(log.contains(QStringLiteral("✓ 键盘模式分仓验证成功：目标 300 ，实际 ") + typed));
            QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}, {64, 0}}));
            QCOMPARE(t.submitted().size(), std::size_t(1));
            QCOMPARE(int(t.submitted()[0].quantity), actual);
        } else {
            if (std::abs(actual - 300) > 99) {
                QVERIFY(log.contains(
                    QStringLiteral("❌ 键盘模式分仓验证失败：目标 300 ，实际 %1 ，差异 100").arg(actual)));
                QVERIFY(log.contains(QStringLiteral("阻止提交订单，避免下错单")));
            }
            QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}, {64, 101}}));
            QVERIFY(t.orders().empty());
            QVERIFY(t.isOpen(dialog)); // left open, unconfirmed
            QCOMPARE(t.tdx->fieldText(dialog, TdxField::Quantity), typed.toStdU16String());
        }
    }

    void keyboardSplitKey_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("confirmed");
        QTest::newRow("1/2 buy") << 12 << 2000 << 1000;
        QTest::newRow("1/3 buy") << 13 << 1000 << 300;
    }
    void keyboardSplitKey()
    {
        // The keyboard presses the client's split button itself; the worker waits for the
        // quantity to settle and confirms it once it matches this dialog's own target.
        QFETCH(int, type);
        QFETCH(int, maximum);
        QFETCH(int, confirmed);
        LogCapture log;
        Trade t;
        t.keyPressed(type, true);
        const qint64 key = t.sim.clock.nowMs();
        const WindowId dialog = t.tdx->openFlashBuy(order(maximum));
        QVERIFY(t.tdx->keyboardSplit(dialog, type - 10, 10));
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{64, 0}}));
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), confirmed);
        QVERIFY(t.timeOf(QStringLiteral("action"), 64, 0) - key >= 30); // settled after the key
        QVERIFY(log.contains(QStringLiteral("缓存失效，重新查找按钮")));
        QVERIFY(log.contains(QStringLiteral("找到按钮，发送点击信号")));
        QCOMPARE(t.worker->verdicts().back().target, confirmed);
        QCOMPARE(t.worker->verdicts().back().outcome, EditBoxChangeWorker::Verdict::Confirmed);
    }

    void keyboardSplitWithoutQuantity_data()
    {
        QTest::addColumn<bool>("secondKey");
        QTest::addColumn<Pairs>("actions");
        QTest::addColumn<Pairs>("notices");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<qint64>("endAt"); // the last action, ms after the first key
        // No quantity 100 ms after the key: (32, 0); a quantity after a second key: (16, 0).
        QTest::newRow("quantity after a second key")
            << true << Pairs{{32, 0}, {16, 0}} << Pairs{} << false << qint64(106);
        // The keyboard's second key brings nothing either: abandoned 150 ms after it.
        QTest::newRow("nothing after a second key")
            << false << Pairs{{32, 0}, {64, 0}} << Pairs{{128, 1}} << true << qint64(250);
    }
    void keyboardSplitWithoutQuantity()
    {
        QFETCH(bool, secondKey);
        QFETCH(Pairs, actions);
        QFETCH(Pairs, notices);
        QFETCH(bool, closed);
        QFETCH(qint64, endAt);
        Trade t;
        t.keyPressed(13, true);
        const qint64 key = t.sim.clock.nowMs();
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        // The keyboard gets (32, 0) at key + 100 ms and tries again.
        QObject::connect(
            t.worker.get(), &EditBoxChangeWorker::actionSignal, &t.context,
            [&](int action, int) {
                if (action != 32)
                    return;
                t.keyPressed(13, true);
                if (secondKey)
                    t.tdx->keyboardSplit(dialog, 3, 5);
            },
            Qt::DirectConnection);
        t.runOnFront();
        QCOMPARE(t.actions(), actions);
        QCOMPARE(t.notices(), notices);
        QCOMPARE(t.timeOf(QStringLiteral("action"), 32, 0) - key, qint64(100));
        // Within the next pass or two (1 to 2 ms apart).
        const qint64 end =
            t.timeOf(QStringLiteral("action"), actions.last().first, actions.last().second) - key;
        QVERIFY2(end >= endAt && end <= endAt + 2, qPrintable(QString::number(end)));
        QCOMPARE(!t.isOpen(dialog), closed);
        QVERIFY(t.orders().empty()); // (16, 0) leaves the confirmation to the keyboard
        QVERIFY(t.machine.isCommitted());
    }

    void keyboardSplitQuantityUnreadable()
    {
        ConfigManager::instance()->setTdxQuantityIndex(-1);
        Trade t;
        t.keyPressed(13, true);
        const qint64 key = t.sim.clock.nowMs();
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        t.tdx->keyboardSplit(dialog, 3, 10);
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{64, 101}}));
        QCOMPARE(t.timeOf(QStringLiteral("action"), 64, 101) - key, qint64(500));
        QVERIFY(t.isOpen(dialog));
        QVERIFY(t.orders().empty());
    }

    // A target computed for an earlier dialog says nothing about this one.
    void keyboardSplitIgnoresAnEarlierDialogsTarget_data()
    {
        QTest::addColumn<int>("splitOf2000");
        QTest::addColumn<int>("confirmed");
        // 1000 is 700 away from the earlier 300: it must not be blocked.
        QTest::newRow("far from the earlier target") << 2 << 1000;
        // 400 is within 99 of the earlier 300: it must not count as verified against it.
        QTest::newRow("near the earlier target") << 5 << 400;
    }
    void keyboardSplitIgnoresAnEarlierDialogsTarget()
    {
        QFETCH(int, splitOf2000);
        QFETCH(int, confirmed);
        LogCapture log;
        Trade t;
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QVERIFY(log.contains(QStringLiteral("软件分仓成功，数量验证通过： 300")));

        log.clear();
        t.said.clear();
        t.keyPressed(10 + splitOf2000, true);
        const WindowId second = t.tdx->openFlashBuy(order(2000));
        QVERIFY(t.tdx->keyboardSplit(second, splitOf2000, 10));
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{64, 0}}));
        const std::vector<sim::Order> placed = t.submitted();
        QCOMPARE(placed.size(), std::size_t(2));
        QCOMPARE(int(placed[1].quantity), confirmed);
        // Checked against its own target, never the earlier dialog's 300.
        QCOMPARE(t.worker->verdicts().back().target, confirmed);
        QVERIFY(log.startingWith(QStringLiteral("❌ 键盘模式分仓验证")).isEmpty());
    }

    // With the split on the keyboard the user's restrictions and limits still hold.
    void keyboardSplitKeepsTheChecks_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<Pairs>("actions");
        QTest::addColumn<Pairs>("notices");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("confirmed"); // 0: nothing placed
        QTest::newRow("ST refused") << "notST" << Pairs{{64, 12}} << Pairs{} << true << 0;
        QTest::newRow("not main board refused") << "onlyMain" << Pairs{{64, 11}} << Pairs{} << true << 0;
        QTest::newRow("not a bond refused") << "onlyBond" << Pairs{{64, 10}} << Pairs{} << true << 0;
        QTest::newRow("price above the limit refused")
            << "maxPrice" << Pairs{{64, 15}} << Pairs{} << true << 0;
        QTest::newRow("code unreadable")
            << "onlyMain, code index on a caption" << Pairs{{64, 100}} << Pairs{} << false << 0;
        QTest::newRow("price unreadable")
            << "maxPrice, price index missing" << Pairs{{64, 102}} << Pairs{} << false << 0;
        QTest::newRow("amount reduced to the limit")
            << "maxAmount 5000" << Pairs{{64, 0}} << Pairs{} << false << 400;
        QTest::newRow("amount limit leaves nothing")
            << "maxAmount 500" << Pairs{{64, 16}} << Pairs{{64, 16}} << true << 0;
        QTest::newRow("all checks pass")
            << "all on, good stock" << Pairs{{64, 0}} << Pairs{} << false << 1000;
    }
    void keyboardSplitKeepsTheChecks()
    {
        QFETCH(QString, setup);
        QFETCH(Pairs, actions);
        QFETCH(Pairs, notices);
        QFETCH(bool, closed);
        QFETCH(int, confirmed);
        ConfigManager* c = ConfigManager::instance();
        sim::TdxOrderOptions o = order(2000);
        const bool all = setup == QLatin1String("all on, good stock");
        if (setup == QLatin1String("notST") || all) {
            c->setTdxNotST(true);
            if (!all)
                o.name = u"*ST浦发";
        }
        if (setup.startsWith(QLatin1String("onlyMain")) || all) {
            c->setTdxOnlyMain(true);
            if (!all)
                o.code = u"688001";
        }
        if (setup == QLatin1String("onlyMain, code index on a caption")) {
            o.code = u"600000";
            c->setTdxCodeIndex(0);
        }
        if (setup == QLatin1String("onlyBond"))
            c->setTdxOnlyZz(true);
        if (setup.startsWith(QLatin1String("maxPrice")) || all) {
            c->setTdxBuyMaxPriceLimitEnabled(true);
            if (setup == QLatin1String("maxPrice"))
                o.price = u"30.01";
        }
        if (setup == QLatin1String("maxPrice, price index missing"))
            c->setTdxPriceIndex(-1);
        if (setup.startsWith(QLatin1String("maxAmount")) || all) {
            c->setTdxBuyAmountLimitEnabled(true);
            c->setTdxBuyMaxAmount(setup == QLatin1String("maxAmount 500") ? 500 : all ? 20000 : 5000);
        }

        LogCapture log;
        Trade t;
        t.keyPressed(12, true);
        const WindowId dialog = t.tdx->openFlashBuy(o);
        t.tdx->keyboardSplit(dialog, 2, 10); // 1000 shares, whatever the worker decides
        t.runOnFront();

        QCOMPARE(t.actions(), actions);
        QCOMPARE(t.notices(), notices);
        QCOMPARE(!t.isOpen(dialog), closed || confirmed > 0);
        if (confirmed) {
            QCOMPARE(t.submitted().size(), std::size_t(1));
            QCOMPARE(int(t.submitted()[0].quantity), confirmed);
        } else {
            QVERIFY(t.orders().empty());
        }
        if (setup == QLatin1String("maxAmount 5000"))
            QVERIFY(log.contains(QStringLiteral("键盘分仓：数量已调整，从 1000 调整为 400")));
    }

    void keyboardSplitSellGoesStraightToTheKeyboard()
    {
        ConfigManager::instance()->setTdxNotST(true);
        Trade t;
        t.keyPressed(22, true);
        sim::TdxOrderOptions o = order(800);
        o.name = u"*ST浦发";
        const WindowId dialog = t.tdx->openFlashSell(o);
        t.tdx->keyboardSplit(dialog, 2, 10);
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{64, 0}}));
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 400);
    }

    // ---------------------------------------------------------------- confirming

    void confirmFallsBackToEnter()
    {
        // A build whose confirm button says 下单: no known confirm text, so Enter places it.
        LogCapture log;
        sim::FakeTdxOptions options;
        for (sim::TdxControl& control : options.layout.buy) {
            if (control.field == TdxField::Confirm)
                control.text = u"下单";
        }
        Trade t(options);
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QVERIFY(log.contains(QStringLiteral("缓存失效，重新查找按钮")));
        QVERIFY(log.contains(QStringLiteral("未找到按钮，回退到 SendEnterKey 方式")));
        t.sim.clock.advance(2); // the key arrives a moment later
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 300);
    }

    void withoutTradeTypeTheDialogIsLeftToTheUser()
    {
        Trade t;
        const qint64 start = t.sim.clock.nowMs();
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.sim.clock.nowMs() - start, qint64(5000));
        QCOMPARE(t.actions(), (Pairs{{4, 0}}));
        QVERIFY(t.isOpen(dialog));
        QVERIFY(t.orders().empty());
        QVERIFY(!t.worker->isRunning());
    }

    void stopEndsTheLoopAtItsNextCheck()
    {
        Trade t;
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        QObject::connect(
            t.worker.get(), &EditBoxChangeWorker::actionSignal, &t.context,
            [&](int action, int) {
                QVERIFY(t.worker->isRunning());
                if (action == 4)
                    t.worker->stop();
            },
            Qt::DirectConnection);
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{4, 0}}));
        QCOMPARE(t.machine.step(), 2u);
        QVERIFY(t.orders().empty());
    }

    // ---------------------------------------------------------------- clients that do not answer

    // A client that hangs at any point of a trade never gets a wrong order and never holds the
    // worker: the transaction ends, refused to the keyboard with nothing placed (the quantity
    // could not be read; at the confirm click: not confirmed), or confirmed with the right
    // quantity when the client answered all the way. What could not be read says nothing about
    // the configuration: no prompt.
    void aClientThatHangsMidTrade_data()
    {
        QTest::addColumn<int>("answers"); // messages the client answers before it hangs
        QTest::addColumn<Pairs>("actions");
        QTest::addColumn<int>("ordered"); // the quantity placed, 0 for none
        QTest::newRow("hung from the start") << 0 << Pairs{{64, 101}} << 0;
        QTest::newRow("hangs before its dialog is confirmed visible") << 1 << Pairs{{4, 0}, {64, 101}} << 0;
        for (int answers = 2; answers <= 4; ++answers)
            QTest::addRow("hangs while the quantity is made (%d)", answers)
                << answers << Pairs{{4, 0}, {64, 0}, {64, 101}} << 0;
        QTest::newRow("hangs at the confirm click") << 5 << Pairs{{4, 0}, {64, 0}, {64, 8}} << 0;
        QTest::newRow("hangs after the trade") << 6 << Pairs{{4, 0}, {64, 0}} << 300;
    }
    void aClientThatHangsMidTrade()
    {
        QFETCH(int, answers);
        QFETCH(Pairs, actions);
        QFETCH(int, ordered);
        Trade t;
        t.keyPressed(13);
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        t.sim.desktop().hangAfterMessages(dialog, answers);
        t.runOnFront();

        QVERIFY(!t.worker->isRunning());
        QCOMPARE(t.machine.step(), StateMachine::FinalStep);
        QCOMPARE(t.actions(), actions);
        QVERIFY(t.notices().isEmpty());
        QVERIFY(t.texts(QStringLiteral("prompt")).isEmpty());
        QVERIFY(t.texts(QStringLiteral("offer")).isEmpty());
        QCOMPARE(int(t.orders().size()), ordered ? 1 : 0);
        if (ordered) {
            QCOMPARE(int(t.submitted().size()), 1);
            QCOMPARE(int(t.submitted()[0].quantity), ordered);
        }
        QCOMPARE(t.worker->verdicts().back().outcome,
                 ordered ? EditBoxChangeWorker::Verdict::Confirmed : EditBoxChangeWorker::Verdict::Refused);
    }

    // A client that takes its time but answers within the limit trades as a quick one does; one
    // whose reads now and then take longer than the limit is read again, never taken for empty.
    void aBusyClientStillTrades_data()
    {
        QTest::addColumn<int>("answerMs");
        QTest::addColumn<int>("lateEvery"); // every n-th read takes 350 ms; 0: none
        QTest::newRow("50 ms a message") << 50 << 0;
        QTest::newRow("just within the limit") << 200 << 0;
        QTest::newRow("every second read late") << 20 << 2;
        QTest::newRow("every third read late") << 150 << 3;
    }
    void aBusyClientStillTrades()
    {
        QFETCH(int, answerMs);
        QFETCH(int, lateEvery);
        Trade t;
        t.keyPressed(13);
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        auto reads = std::make_shared<int>(0);
        t.sim.desktop().setAnswerTime(dialog, [=](std::uint32_t message, std::uintptr_t, std::intptr_t) {
            if (message == platform::msg::GetText && lateEvery > 0 && ++*reads % lateEvery == 0)
                return 350;
            return answerMs;
        });
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 300);
        QCOMPARE(int(t.orders().size()), 1);
    }

    // ---------------------------------------------------------------- other windows

    void shortDialogs_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<Pairs>("actions");
        QTest::addColumn<qint64>("after");
        QTest::newRow("Tdx") << "Tdx" << Pairs{{2, 0}} << qint64(10);
        QTest::newRow("cancel confirmation") << "cancel" << Pairs{{4, 0}} << qint64(10);
        QTest::newRow("一键撤单") << "cancelAll" << Pairs{{255, 0}} << qint64(10);
        QTest::newRow("请选择") << "select" << Pairs{} << qint64(0);
    }
    void shortDialogs()
    {
        QFETCH(QString, dialog);
        QFETCH(Pairs, actions);
        QFETCH(qint64, after);
        Trade t;
        t.keyPressed(13);
        const qint64 opened = t.sim.clock.nowMs();
        WindowId window = 0;
        if (dialog == QLatin1String("Tdx"))
            window = t.tdx->openTdxMessage(u"委托数量必须大于0");
        else if (dialog == QLatin1String("cancel"))
            window = t.tdx->openCancelConfirm();
        else if (dialog == QLatin1String("cancelAll"))
            window = t.tdx->openCancelAll();
        else
            window = t.tdx->openSelectDialog({u"A", u"B"});
        t.runOnFront();
        QCOMPARE(t.actions(), actions);
        QVERIFY(t.notices().isEmpty());
        if (!actions.isEmpty())
            QCOMPARE(t.timeOf(QStringLiteral("action"), actions[0].first, actions[0].second) - opened, after);
        QCOMPARE(t.machine.step(), StateMachine::FinalStep);
        QVERIFY(t.isOpen(window)); // the user (or the keyboard) decides
        QVERIFY(t.orders().empty());
    }

    void aNewWindowInTheSameStateStartsAgain()
    {
        LogCapture log;
        Trade t;
        t.tdx->openTdxMessage(u"第一条");
        t.runOnFront();
        t.tdx->openTdxMessage(u"第二条");
        t.runOnFront();
        QCOMPARE(t.machine.state(), StateMachine::TdxDialog);
        QCOMPARE(t.actions(), (Pairs{{2, 0}, {2, 0}}));
        QVERIFY(log.contains(QStringLiteral("窗口句柄变化，重置界面状态")));
    }

    void orderSubmittedNoticeIsSpokenAndDismissed()
    {
        Trade t;
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        const WindowId notice = t.tdx->lastNotice();
        QVERIFY(notice && t.isOpen(notice));
        QCOMPARE(t.sim.desktop().foregroundWindow(), notice);

        t.said.clear();
        t.sim.desktop().clearInputLog();
        const qint64 front = t.sim.clock.nowMs();
        t.runOnFront();
        QCOMPARE(t.machine.state(), StateMachine::OrderSubmitted);
        QCOMPARE(t.notices(), (Pairs{{255, 0}}));
        QVERIFY(t.actions().isEmpty());
        QCOMPARE(t.timeOf(QStringLiteral("notice"), 255, 0), front);
        qint64 enterAt = -1;
        for (const sim::InputRecord& input : t.sim.desktop().inputLog()) {
            if (input.vk == platform::vk::Return && !input.keyUp && enterAt < 0)
                enterAt = input.timeMs;
        }
        QVERIFY(enterAt - front >= 500 && enterAt - front < 503);
        t.sim.clock.advance(2);
        QVERIFY(!t.isOpen(notice));
    }

    void thsOrderDialog()
    {
        SimFixture sim;
        sim::FakeThs ths(sim.system);
        StateMachine machine(sim.clock);
        DesktopWatcher watcher(&machine, [] { return false; });
        EditBoxChangeWorker worker(&machine);
        Pairs actions;
        QObject::connect(&worker, &EditBoxChangeWorker::actionSignal, &worker, [&](int a, int r) {
            actions.append({a, r});
        });
        const auto run = [&] {
            watcher.onForegroundChanged(sim.desktop().foregroundWindow());
            worker.performDetection(trade::toWParam(machine.window()));
        };
        run();
        QCOMPARE(machine.state(), StateMachine::ThsMain);

        worker.onTradeTypeSet(0, 10, 0);
        ths.openOrderDialog();
        run();
        QCOMPARE(machine.state(), StateMachine::ThsDialog);
        QCOMPARE(actions, (Pairs{{4, 0}, {64, 0}}));
        QCOMPARE(sim.system.orderBook().submittedCount(), std::size_t(1));
        QVERIFY(sim.system.orderBook().submitted()[0].client == sim::Order::Client::Ths);

        // The trade type has been used up: the next order dialog is left to the user.
        actions.clear();
        ths.activate();
        watcher.onForegroundChanged(ths.mainWindow()); // classified, no worker run on it
        const WindowId second = ths.openOrderDialog();
        run();
        QCOMPARE(actions, (Pairs{{4, 0}}));
        QVERIFY(sim.desktop().isWindow(second));
        QCOMPARE(sim.system.orderBook().submittedCount(), std::size_t(1));
    }

    void mainWindowEndsTheTransaction()
    {
        LogCapture log;
        Trade t;
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QVERIFY(t.machine.isCommitted());

        t.tdx->activate();
        // A client left topmost would cover the clock: it goes back to the normal band.
        const WindowId main = t.tdx->mainWindow();
        t.sim.desktop().setWindowPos(main, platform::zorder::Topmost, 0, 0, 0, 0,
                                     platform::swp::NoMove | platform::swp::NoSize);
        QVERIFY(t.sim.desktop().windowExStyle(main) & platform::exstyle::Topmost);
        const qint64 front = t.sim.clock.nowMs();
        t.runOnFront();
        QVERIFY(log.contains(QStringLiteral("事务已提交，重置交易状态")));
        QVERIFY(!t.machine.isCommitted());
        QCOMPARE(t.sim.clock.nowMs() - front, qint64(150));
        QVERIFY(!(t.sim.desktop().windowExStyle(main) & platform::exstyle::Topmost));
        // The trade type went with the transaction: a new order dialog is the user's.
        t.said.clear();
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{4, 0}}));
        QVERIFY(t.isOpen(dialog));
    }

    // ---------------------------------------------------------------- profiles and prompts

    void brokerLayoutSwitchesProfile()
    {
        // A profile measured on the broker's TDX, saved earlier; the built-in one is current.
        ConfigManager* c = ConfigManager::instance();
        const sim::TdxLayout broker = sim::TdxLayout::brokerA();
        c->setTdxCodeIndex(broker.buyIndices.code);
        c->setTdxNameIndex(broker.buyIndices.name);
        c->setTdxPriceIndex(broker.buyIndices.price);
        c->setTdxQuantityIndex(broker.buyIndices.quantity);
        c->setTdxMaxQuantityIndex(broker.buyIndices.maxQuantity);
        QVERIFY(c->saveProfile(QStringLiteral("券商A"), QStringLiteral("C:/Broker_TDX")));
        QVERIFY(c->loadProfile(BuiltIn));
        c->setTdxNotST(true);
        c->setTdxBuyMaxPriceLimitEnabled(true);

        LogCapture log;
        sim::FakeTdxOptions options;
        options.layout = broker;
        options.installDir = u"c:\\broker_tdx";
        Trade t(options);
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(c->currentProfileName(), QStringLiteral("券商A"));
        QVERIFY(log.contains(QStringLiteral("[自动切换配置] 切换成功！")));
        QCOMPARE(t.actions(), (Pairs{{4, 0}, {64, 0}}));
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 300);
        QCOMPARE(t.machine.record()->name, QStringLiteral("浦发银行"));
        QCOMPARE(t.machine.record()->priceText, QStringLiteral("10.52"));
    }

    void profileSwitchRunsOncePerDialog()
    {
        ConfigManager* c = ConfigManager::instance();
        QVERIFY(c->saveProfile(QStringLiteral("本机"), QStringLiteral("C:/new_tdx")));
        QVERIFY(c->loadProfile(BuiltIn));
        LogCapture log;
        Trade t;
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        // The user picks the built-in profile again while the dialog is worked on: the worker
        // does not take it back at every pass.
        QObject::connect(
            t.worker.get(), &EditBoxChangeWorker::actionSignal, &t.context,
            [c](int action, int) {
                if (action == 4)
                    c->loadProfile(BuiltIn);
            },
            Qt::DirectConnection);
        t.runOnFront();
        QCOMPARE(log.startingWith(QStringLiteral("[自动切换配置] 从")).size(), 1);
        QCOMPARE(c->currentProfileName(), BuiltIn);
        QCOMPARE(t.submitted().size(), std::size_t(1));
    }

    void promptAskedOncePerPair()
    {
        ConfigManager::instance()->setTdxQuantityIndex(-1);
        Trade t;
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        t.tdx->openFlashSell(order(1000));
        t.runOnFront();
        QCOMPARE(t.actions(), (Pairs{{64, 101}, {64, 101}, {64, 101}}));
        QCOMPARE(t.texts(QStringLiteral("prompt")),
                 (QStringList{QStringLiteral("交易数量|闪电买入"), QStringLiteral("交易数量|闪电卖出")}));

        // A new worker in the same run remembers it too; a restart of the program forgets.
        t.startWorker();
        t.said.clear();
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QVERIFY(t.texts(QStringLiteral("prompt")).isEmpty());
        EditBoxChangeWorker::forgetProcessHistory();
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.texts(QStringLiteral("prompt")), QStringList{QStringLiteral("交易数量|闪电买入")});
    }

    void promptOffersTheProfileOfThisInstallation()
    {
        // A profile made for this very TDX exists but the automatic switch is off: the prompt
        // offers it instead of the calibration.
        ConfigManager* c = ConfigManager::instance();
        QVERIFY(c->saveProfile(QStringLiteral("其他"), QStringLiteral("D:/other_tdx")));
        QVERIFY(c->saveProfile(QStringLiteral("本机"), QStringLiteral("c:/NEW_tdx")));
        QVERIFY(c->loadProfile(BuiltIn));
        c->setAutoSwitchProfileEnabled(false);
        c->setTdxQuantityIndex(-1);
        Trade t; // installed in C:\new_tdx
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.texts(QStringLiteral("offer")), QStringList{QStringLiteral("本机|交易数量|闪电买入")});
        QVERIFY(t.texts(QStringLiteral("prompt")).isEmpty());
        QCOMPARE(c->currentProfileName(), BuiltIn);
    }

    // ---------------------------------------------------------------- the stability tracker

    // ---------------------------------------------------------------- safety

    // The watcher starts the second dialog's transaction while the worker is in the middle of the
    // first one's split: nothing decided for the first may act on the second, whose own checks run.
    void aSecondDialogMidTradeGetsItsOwnChecks()
    {
        ConfigManager::instance()->setTdxOnlyMain(true);
        sim::FakeTdxOptions options;
        options.splitDelayMs = 100; // the split button fills slowly: the worker retries
        Trade t(options);
        t.watchForeground();
        t.keyPressed(13);
        const qint64 opened = t.sim.clock.nowMs();
        const WindowId first = t.tdx->openFlashBuy(order(1000));
        sim::TdxOrderOptions second = order(1000);
        second.code = u"300750"; // not main board
        second.name = u"宁德时代";
        WindowId secondDialog = 0;
        t.sim.desktop().scheduleAt(opened + 60, t.tdx->pid(), t.tdx->mainWindow(),
                                   [&] { secondDialog = t.tdx->openFlashBuy(second); });
        t.runOnFront();

        QVERIFY(secondDialog != 0);
        QVERIFY(!t.isOpen(first));
        QVERIFY(t.submitted().empty());
        QCOMPARE(t.actions().last(), (QPair<int, int>{64, 11}));
        QVERIFY(!t.isOpen(secondDialog));
        const auto verdicts = t.worker->verdicts();
        QVERIFY(!verdicts.empty());
        QCOMPARE(verdicts.back().dialog, secondDialog);
        QCOMPARE(verdicts.back().outcome, EditBoxChangeWorker::Verdict::Refused);
        QCOMPARE(verdicts.back().reason, 11);
    }

    // A dialog this program confirmed or refused is never confirmed again when it comes back to
    // the front; another trade needs another key press.
    void aHandledDialogIsNeverConfirmedAgain_data()
    {
        QTest::addColumn<QString>("how");
        // The client refuses the order (more than the maximum) and keeps the dialog under its box.
        QTest::newRow("client refused, Tdx box") << "Tdx";
        QTest::newRow("client refused, 提示 box") << "提示";
        // The program refused it (keyboard quantity off the target) and left it open; alt-tab.
        QTest::newRow("program refused, alt-tab") << "alt-tab";
    }
    void aHandledDialogIsNeverConfirmedAgain()
    {
        QFETCH(QString, how);
        sim::FakeTdxOptions options;
        options.refusalBoxTitle = how == QLatin1String("提示") ? u"提示" : u"Tdx";
        Trade t(options);
        t.watchForeground();
        WindowId dialog = 0;
        if (how == QLatin1String("alt-tab")) {
            t.keyPressed(12, true); // target 1000 of 2000
            dialog = t.tdx->openFlashBuy(order(2000));
            t.tdx->keyboardTypeQuantity(dialog, u"500", 10);
            t.runOnFront();
            QCOMPARE(t.actions().last(), (QPair<int, int>{64, 101}));
            QVERIFY(t.orders().empty());
            t.sim.desktop().setForegroundWindow(t.tdx->mainWindow());
            t.runOnFront();
            t.sim.desktop().setForegroundWindow(dialog);
        } else {
            t.keyPressed(12); // 1/2 of 50 aims at one lot, above the maximum
            dialog = t.tdx->openFlashBuy(order(50));
            t.runOnFront();
            QCOMPARE(t.orders().size(), std::size_t(1));
            QCOMPARE(t.orders()[0].status, sim::Order::Status::Rejected);
            // The user reads the box and closes it: the dialog is in front again.
            WindowId box = t.sim.desktop().foregroundWindow();
            QVERIFY(box != dialog);
            t.runOnFront();
            t.sim.desktop().sendMessage(box, platform::msg::Command,
                                        platform::makeCommandWParam(sim::IdOk, platform::notify::BnClicked), 0);
        }
        QCOMPARE(t.sim.desktop().foregroundWindow(), dialog);
        const std::size_t ordersBefore = t.orders().size();
        const std::u16string quantityBefore = t.tdx->fieldText(dialog, TdxField::Quantity);
        t.said.clear();
        t.runOnFront();
        QCOMPARE(t.orders().size(), ordersBefore);
        QCOMPARE(t.tdx->fieldText(dialog, TdxField::Quantity), quantityBefore);
        QCOMPARE(t.actions(), Pairs{});

        // A new dialog without a new key press is the user's.
        t.sim.desktop().destroyWindow(dialog);
        const WindowId next = t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.orders().size(), ordersBefore);
        QCOMPARE(t.tdx->fieldText(next, TdxField::Quantity), std::u16string(u"0"));
        // The next key press trades again.
        t.sim.desktop().destroyWindow(next);
        t.keyPressed(13);
        t.tdx->openFlashBuy(order(1000));
        t.runOnFront();
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 300);
    }

    // Another program's window in front during a trade is never typed into or confirmed; the
    // order dialog, back in front, is then traded as asked.
    void foreignWindowsAreNeverFilled_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("title");
        QTest::newRow("unmatched #32770") << "#32770" << "记事本";
        QTest::newRow("提示 without 委托已提交") << "#32770" << "提示";
        QTest::newRow("Afx: not THS") << "Afx:400000:8" << "Notepad";
        QTest::newRow("HwndWrapper not THS") << "HwndWrapper[App;;1]" << "闪电买入助手";
    }
    void foreignWindowsAreNeverFilled()
    {
        QFETCH(QString, className);
        QFETCH(QString, title);
        Trade t;
        t.watchForeground();
        t.keyPressed(13);
        sim::TdxOrderOptions o = order(1000);
        o.maxDelayMs = 300; // the trade is under way when the other window comes up
        const qint64 opened = t.sim.clock.nowMs();
        const WindowId dialog = t.tdx->openFlashBuy(o);
        Trade::Foreign foreign;
        t.sim.desktop().scheduleAt(opened + 100, t.tdx->pid(), dialog, [&] {
            foreign = t.openForeign(className.toStdU16String(), title.toStdU16String());
        });
        t.runOnFront();
        QVERIFY(foreign.window != 0);
        QCOMPARE(t.sim.desktop().foregroundWindow(), foreign.window);
        t.runOnFront();
        QCOMPARE(t.editTexts(foreign.window), (std::vector<std::u16string>{u"10.52", u"x", u"0"}));
        QCOMPARE(*foreign.presses, 0);
        QVERIFY(t.isOpen(foreign.window));
        QVERIFY(t.orders().empty());

        // The user closes the other window; the order dialog is traded.
        t.sim.desktop().destroyWindow(foreign.window);
        QCOMPARE(t.sim.desktop().foregroundWindow(), dialog);
        t.runOnFront();
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 300);
        QCOMPARE(*foreign.presses, 0);
    }

    // A cancel for a price the amount limit cannot work with is told to the keyboard and the user.
    void amountLimitTellsThePriceProblem_data()
    {
        QTest::addColumn<bool>("keyboardSplit");
        QTest::addColumn<QString>("price");
        QTest::addColumn<int>("reason");
        QTest::newRow("fixed amount, price 0.00") << false << "0.00" << 106;
        QTest::newRow("fixed amount, price 0.0") << false << "0.0" << 106;
        QTest::newRow("keyboard split, price 0.00") << true << "0.00" << 106;
        // A price that never becomes readable is the price-not-found refusal of the read.
        QTest::newRow("fixed amount, price --") << false << "--" << 102;
    }
    void amountLimitTellsThePriceProblem()
    {
        QFETCH(bool, keyboardSplit);
        QFETCH(QString, price);
        QFETCH(int, reason);
        ConfigManager::instance()->setTdxBuyAmountLimitEnabled(true);
        Trade t;
        sim::TdxOrderOptions o = order(2000, price.toStdU16String());
        WindowId dialog = 0;
        if (keyboardSplit) {
            t.keyPressed(12, true);
            dialog = t.tdx->openFlashBuy(o);
            QVERIFY(t.tdx->keyboardSplit(dialog, 2, 10));
        } else {
            t.keyPressed(10);
            o.fixedQuantity = 1000;
            dialog = t.tdx->openFlashBuy(o);
        }
        t.runOnFront();
        QCOMPARE(t.actions().last(), (QPair<int, int>{64, reason}));
        QVERIFY(t.notices().contains({64, reason}) || reason == 102);
        QVERIFY(!t.notices().contains({64, 16}));
        QVERIFY(t.orders().empty());
        QCOMPARE(t.worker->verdicts().back().outcome, EditBoxChangeWorker::Verdict::Refused);
        QCOMPARE(t.worker->verdicts().back().reason, reason);
    }

    // Success is reported only once the confirm click has really happened.
    void successOnlyAfterTheClick_data()
    {
        QTest::addColumn<bool>("keyboardSplit");
        QTest::addColumn<bool>("buttonGone"); // the dialog is gone before the click runs
        QTest::newRow("software split, late click") << false << false;
        QTest::newRow("keyboard split, late click") << true << false;
        QTest::newRow("software split, button gone") << false << true;
        QTest::newRow("keyboard split, button gone") << true << true;
    }
    void successOnlyAfterTheClick()
    {
        QFETCH(bool, keyboardSplit);
        QFETCH(bool, buttonGone);
        Trade t;
        t.keyPressed(13, keyboardSplit);
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        if (keyboardSplit)
            QVERIFY(t.tdx->keyboardSplit(dialog, 3, 10));
        // The GUI thread is busy: a click asked for runs 40 ms later.
        t.holdClicks = true;
        const WindowId confirmButton = t.tdx->control(dialog, TdxField::Confirm);
        qint64 clickedAt = -1;
        QObject::connect(
            t.worker.get(), &EditBoxChangeWorker::requestClickButton, &t.context,
            [&t, &clickedAt, dialog, buttonGone, confirmButton](trade::HWND) {
                t.sim.desktop().scheduleAfter(40, t.tdx->pid(), 0, [&t, &clickedAt, dialog, buttonGone, confirmButton] {
                    const QList<trade::HWND> held = t.heldClicks;
                    t.heldClicks.clear();
                    if (buttonGone && held.contains(confirmButton))
                        t.sim.desktop().destroyWindow(dialog);
                    for (trade::HWND button : held)
                        t.worker->onButtonClicked(button, WindowRequests::clickButton(button));
                    if (held.contains(confirmButton))
                        clickedAt = t.sim.clock.nowMs();
                });
            },
            Qt::DirectConnection);
        t.runOnFront();
        qint64 reportedAt = -1;
        for (const Said& s : t.said) {
            if (s.kind == QLatin1String("completed"))
                reportedAt = s.at;
        }
        QVERIFY(clickedAt >= 0);
        if (buttonGone) {
            QCOMPARE(reportedAt, qint64(-1));
            QVERIFY(t.orders().empty());
            QCOMPARE(t.actions().last(), (QPair<int, int>{64, 8}));
            QCOMPARE(t.worker->verdicts().back().outcome, EditBoxChangeWorker::Verdict::Refused);
        } else {
            QCOMPARE(t.submitted().size(), std::size_t(1));
            QCOMPARE(int(t.submitted()[0].quantity), 300);
            QVERIFY2(reportedAt >= clickedAt, qPrintable(QStringLiteral("%1 %2").arg(reportedAt).arg(clickedAt)));
            if (keyboardSplit)
                QVERIFY(t.timeOf(QStringLiteral("action"), 64, 0) >= clickedAt);
            QCOMPARE(t.worker->verdicts().back().outcome, EditBoxChangeWorker::Verdict::Confirmed);
        }
    }

    // A split button clicked late must not change the quantity after it was verified.
    void aLateSplitClickLandsBeforeTheVerification()
    {
        Trade t;
        t.keyPressed(13);
        const WindowId dialog = t.tdx->openFlashBuy(order(1000));
        t.holdClicks = true;
        QObject::connect(
            t.worker.get(), &EditBoxChangeWorker::requestClickButton, &t.context,
            [&t](trade::HWND) {
                t.sim.desktop().scheduleAfter(45, t.tdx->pid(), 0, [&t] {
                    const QList<trade::HWND> held = t.heldClicks;
                    t.heldClicks.clear();
                    for (trade::HWND button : held)
                        t.worker->onButtonClicked(button, WindowRequests::clickButton(button));
                });
            },
            Qt::DirectConnection);
        t.runOnFront();
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 300);
        QVERIFY(!t.isOpen(dialog));
        // One split click, verified once: nothing typed over it.
        QCOMPARE(t.worker->verdicts().back().target, 300);
    }

    // A keyboard typing the quantity digit by digit is confirmed only once it has finished, at
    // every speed, and only when it matches this dialog's own target.
    void keyboardTypedQuantity_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("confirmed"); // 0: refused
        for (int speed = 1; speed <= 6; ++speed)
            QTest::addRow("1/2 of 2000, %s", qPrintable(Protocol::speedName(speed)))
                << speed << 12 << 2000 << "1000" << 1000;
        QTest::newRow("全仓 of 1200, 低速") << 6 << 11 << 1200 << "1200" << 1200;
        QTest::newRow("1/3 of 3000, 低速") << 6 << 13 << 3000 << "1000" << 1000;
        QTest::newRow("1/2 of 2000 typed 100, 低速") << 6 << 12 << 2000 << "100" << 0;
        QTest::newRow("sell 1/2 of 2000, 低速") << 6 << 22 << 2000 << "1000" << 1000;
    }
    void keyboardTypedQuantity()
    {
        QFETCH(int, speed);
        QFETCH(int, type);
        QFETCH(int, maximum);
        QFETCH(QString, typed);
        QFETCH(int, confirmed);
        Trade t;
        t.keyPressed(type, true);
        const bool sell = type >= 20;
        const WindowId dialog = sell ? t.tdx->openFlashSell(order(maximum)) : t.tdx->openFlashBuy(order(maximum));
        sim::KeyPace pace;
        pace.keyDownMs = Protocol::FactoryKeyDelayMs;
        pace.intervalMs =
            Protocol::keystrokeIntervalMs(speed, Protocol::FactoryKeyDelayMs, Protocol::FactoryKeyDelayMs);
        t.tdx->keyboardTypeQuantity(dialog, typed.toStdU16String(), 30, pace);
        t.runOnFront();
        if (confirmed) {
            QCOMPARE(t.orders().size(), std::size_t(1));
            QCOMPARE(t.submitted().size(), std::size_t(1));
            QCOMPARE(int(t.submitted()[0].quantity), confirmed);
        } else {
            QVERIFY(t.orders().empty());
            QCOMPARE(t.actions().last(), (QPair<int, int>{64, 101}));
        }
    }

    // Every wait is measured on the monotonic clock: the system time set forward an hour in the
    // middle of a trade neither fires the 1000 ms limits nor changes the trade.
    void aWallClockStepChangesNoInterval_data()
    {
        QTest::addColumn<qint64>("stepMs");
        QTest::newRow("an hour forward") << qint64(3600 * 1000);
        QTest::newRow("a minute back") << qint64(-60 * 1000);
    }
    void aWallClockStepChangesNoInterval()
    {
        QFETCH(qint64, stepMs);
        Trade t;
        t.keyPressed(13);
        sim::TdxOrderOptions o = order(1000);
        o.maxDelayMs = 500;
        t.tdx->openFlashBuy(o);
        QObject::connect(
            t.worker.get(), &EditBoxChangeWorker::actionSignal, &t.context,
            [&t, stepMs](int action, int) {
                if (action == 4)
                    t.sim.clock.setNow(t.sim.clock.nowMs() + stepMs);
            },
            Qt::DirectConnection);
        const qint64 start = t.sim.clock.monotonicMs();
        t.runOnFront();
        QCOMPARE(t.submitted().size(), std::size_t(1));
        QCOMPARE(int(t.submitted()[0].quantity), 300);
        QVERIFY(t.sim.clock.monotonicMs() - start < 1000);
    }

    void stabilityTracker_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("splitKey");
        QTest::addColumn<QList<bool>>("stable");
        const qint64 key = 1000;
        QTest::newRow("three sightings over 6 ms")
            << QList<qint64>{key, key + 3, key + 6} << QStringList{"300", "300", "300"} << false
            << QList<bool>{false, false, true};
        QTest::newRow("three sightings within 5 ms")
            << QList<qint64>{key, key + 2, key + 5, key + 6} << QStringList{"300", "300", "300", "300"}
            << false << QList<bool>{false, false, false, true};
        QTest::newRow("a change starts over") << QList<qint64>{key, key + 3, key + 6, key + 9, key + 12}
                                              << QStringList{"3", "3", "30", "30", "30"} << false
                                              << QList<bool>{false, false, false, false, true};
        QTest::newRow("zero forgets")
            << QList<qint64>{key, key + 3, key + 6, key + 9} << QStringList{"300", "300", "0", "300"} << false
            << QList<bool>{false, false, false, false};
        QTest::newRow("split key: not before 30 ms after it")
            << QList<qint64>{key + 1, key + 10, key + 20, key + 29, key + 30}
            << QStringList{"300", "300", "300", "300", "300"} << true
            << QList<bool>{false, false, false, false, true};
    }
    void stabilityTracker()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QStringList, texts);
        QFETCH(bool, splitKey);
        QFETCH(QList<bool>, stable);
        QuantityStabilityTracker tracker;
        for (int i = 0; i < times.size(); ++i)
            QCOMPARE(tracker.observe(texts[i], times[i], splitKey, 1000), stable[i]);
    }
};

ZK_TEST_MAIN(TestEditBoxChangeWorker)
#include "tst_editboxchangeworker.moc"
