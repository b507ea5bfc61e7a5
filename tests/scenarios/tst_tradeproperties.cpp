// Safety properties of trading over generated cases: random stocks, prices, maxima, switches and
// limits, client layouts, delays, keyboard timings, the keyboard's own split mode, a keyboard
// pulled out in the middle of a trade.
//
// - No order is confirmed when a restriction or a price limit refuses the buy; the dialog is
//   closed and the keyboard told why.
// - With the amount limit on, no buy is confirmed above the maximum amount.
// - In keyboard split mode no quantity more than 99 away from the target computed for that same
//   dialog is confirmed.
// - Good orders go through: every case nothing refuses ends confirmed with exactly the quantity
//   worked out from the case itself (TradeCase::expectedQuantity), never from the program's log.
// - Every dialog ends confirmed, closed by the program for a reason it gave, or left to the user
//   for a reason that leaves it open; nothing is confirmed that was refused, nothing closed
//   without a word.
// - The worker always finishes (within its 5000 ms), the program never hangs or crashes, and
//   after a keyboard was pulled out and plugged in again it trades on.
//
// Most cases run on a virtual clock (the worker, the desktop watcher's classification and the
// simulated desktop, exact and fast); a smaller set runs on the whole program in real time.
// ZENTRIK_PROPERTY_SEED=<n> starts the cases at that seed (case i uses seed n + i), and
// ZENTRIK_PROPERTY_CASES=<k> sets how many run; a failing case prints the two to run it alone.

#include "LogCapture.h"
#include "TradeCase.h"
#include "TradingDesk.h"

#include "ZkTest.h"
#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "platform/api/Clock.h"
#include "sim/desktop/SimSystem.h"
#include "trade/DesktopWatcher.h"
#include "trade/EditBoxChangeWorker.h"
#include "trade/StateMachine.h"
#include "trade/WindowRequests.h"

#include <QElapsedTimer>

#include <algorithm>
#include <memory>
#include <mutex>
#include <random>

using scenario::Pairs;
using scenario::TradeCase;

namespace {

constexpr int kDefaultCases = 300;
constexpr int kDefaultRealTimeCases = 10;
constexpr qint64 kDetectionLimitMs = 5000;
// The longest a single pass can take past the limit: closing a dialog, typing with attempts.
constexpr qint64 kLongestPassMs = 600;
// How long a trade must look finished before it counts as finished (real time).
constexpr qint64 kQuietMs = 400;

std::uint64_t baseSeed()
{
    bool ok = false;
    const qulonglong seed = qEnvironmentVariable("ZENTRIK_PROPERTY_SEED").toULongLong(&ok);
    if (ok)
        return seed;
    return std::random_device{}() % 1000000000ULL;
}

int caseCount(int fallback)
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("ZENTRIK_PROPERTY_CASES", &ok);
    return ok && n > 0 ? n : fallback;
}

// Reasons with which the worker closes the dialog, and those with which it leaves it open.
bool closingReason(int reason)
{
    return reason == 1 || reason == 2 || reason == 10 || reason == 11 || reason == 12 || reason == 15 ||
           reason == 16 || reason == 106;
}

// What one trade looked like from outside.
struct Outcome
{
    bool opened = false; // the key opened an order dialog
    bool dialogOpen = false;
    Pairs actions;
    Pairs notices; // (virtual clock only)
    int closeRequests = 0;
    QStringList log;
    std::vector<sim::Order> orders;
    std::vector<EditBoxChangeWorker::Verdict> verdicts; // of this trade (virtual clock only)
    qint64 detectionMs = 0; // (virtual clock only)
};

bool logged(const QStringList& log, const QString& prefix)
{
    for (const QString& line : log) {
        if (line.startsWith(prefix))
            return true;
    }
    return false;
}

// The properties of one case. exact: the outcome is complete (every action and notice, the
// whole log of this dialog), as on the virtual clock.
QStringList violations(const TradeCase& c, const Outcome& o, bool exact)
{
    QStringList found;
    if (!o.opened) {
        found << QStringLiteral("the key opened no order dialog");
        return found;
    }
    const bool confirmed = !o.orders.empty();
    const bool closed = !confirmed && !o.dialogOpen;

    // Refusals by the rules, decided from the case alone.
    const int refusal = c.expectedRefusal();
    if (refusal && c.unplugAfterMs < 0) {
        if (confirmed)
            found << QStringLiteral("refused with %1 but an order was confirmed").arg(refusal);
        if (closingReason(refusal) && !closed)
            found << QStringLiteral("refused with %1 but the dialog was not closed").arg(refusal);
        if (o.actions != Pairs{{64, refusal}})
            found << QStringLiteral("refused with %1 but the keyboard was told otherwise").arg(refusal);
    }
    if (refusal && confirmed)
        found << QStringLiteral("an order was confirmed although the rules refuse it (%1)").arg(refusal);

    // The amount limit: trunc(quantity × price) ≤ maxAmount for every buy confirmed.
    const long long cents = c.priceCents();
    if (c.isBuy() && c.amountOn && cents > 0) {
        for (const sim::Order& order : o.orders) {
            if (order.quantity * cents / 100 > c.maxAmount)
                found << QStringLiteral("confirmed %1 at %2: above the amount limit %3")
                             .arg(order.quantity)
                             .arg(QString::fromStdU16String(c.price))
                             .arg(c.maxAmount);
        }
    }

    // Against the worker's own record of this dialog: its target, its verdict.
    if (exact) {
        using Verdict = EditBoxChangeWorker::Verdict;
        for (const Verdict& v : o.verdicts) {
            if (v.outcome == Verdict::Confirmed && v.target > 0) {
                for (const sim::Order& order : o.orders) {
                    if (std::abs(order.quantity - v.target) > 99)
                        found << QStringLiteral("confirmed %1, more than 99 from the target %2")
                                     .arg(order.quantity)
                                     .arg(v.target);
                }
            }
            if (v.outcome == Verdict::Refused && confirmed)
                found << QStringLiteral("confirmed although the worker refused it (%1)").arg(v.reason);
        }
        if (confirmed && std::none_of(o.verdicts.begin(), o.verdicts.end(),
                                      [](const Verdict& v) { return v.outcome == Verdict::Confirmed; }))
            found << QStringLiteral("an order was placed that the worker never confirmed");
        // Good orders go through, with the quantity the case itself gives.
        const long long expected = c.expectedQuantity();
        if (expected > 0 && (o.orders.size() != 1 || o.orders[0].quantity != expected))
            found << QStringLiteral("a good order did not go through with %1").arg(expected);
    }

    // Every dialog ends as the worker said.
    bool refusedForReason = false;
    bool closingDecision = false;
    for (const auto& a : o.actions) {
        if (a.first == 64 && a.second > 0)
            refusedForReason = true;
        if (a.first == 64 && closingReason(a.second))
            closingDecision = true;
    }
    for (const auto& n : o.notices) {
        if (n.first == 128 || (n.first == 64 && closingReason(n.second)))
            closingDecision = true;
    }
    if (logged(o.log, QStringLiteral("定额买入：")) && logged(o.log, QStringLiteral("取消交易")))
        closingDecision = true;
    if (confirmed && refusedForReason)
        found << QStringLiteral("confirmed although the keyboard was told the trade was refused");
    if (confirmed && o.closeRequests > 0)
        found << QStringLiteral("confirmed and asked to be closed");
    if (c.unplugAfterMs < 0) {
        if (closed && o.closeRequests == 0)
            found << QStringLiteral("the dialog went without the program closing it");
        if (exact && closed && !closingDecision)
            found << QStringLiteral("closed without a reason given");
        if (o.dialogOpen && !confirmed && o.closeRequests > 0)
            found << QStringLiteral("asked to close the dialog but it stayed");
        if (exact && o.dialogOpen && !confirmed) {
            for (const auto& a : o.actions) {
                if (a.first == 64 && closingReason(a.second))
                    found << QStringLiteral("refused with %1 but left the dialog open").arg(a.second);
            }
        }
    }
    if (exact && o.detectionMs > kDetectionLimitMs + kLongestPassMs)
        found << QStringLiteral("the worker ran %1 ms").arg(o.detectionMs);
    return found;
}

QString report(const TradeCase& c, const Outcome& o, const QStringList& problems, const char* function)
{
    QStringList orders;
    for (const sim::Order& order : o.orders)
        orders << scenario::orderText(order);
    QStringList actions;
    for (const auto& a : o.actions)
        actions << QStringLiteral("(%1, %2)").arg(a.first).arg(a.second);
    return QStringLiteral(
               "case seed %1: %2\n  case: %3\n  actions: %4\n  orders: %5\n  dialog %6\n"
               "  replay: ZENTRIK_PROPERTY_SEED=%1 ZENTRIK_PROPERTY_CASES=1 tst_tradeproperties %7")
        .arg(c.seed)
        .arg(problems.join(QStringLiteral("; ")), c.describe(), actions.join(QLatin1Char(' ')),
             orders.join(QStringLiteral(", ")),
             o.dialogOpen ? QStringLiteral("open") : QStringLiteral("gone"), QLatin1String(function));
}

// ---------------------------------------------------------------- on the virtual clock

// The worker, the watcher's classification and the simulated desktop with a fake TDX on one
// manual clock. What the worker asks of the GUI thread is done at once.
class VirtualDesk
{
public:
    explicit VirtualDesk(const TradeCase& c) : m_case(c), m_typing(m_system, c.typingOptions())
    {
        m_system.install();
        m_system.driveEventsFrom(m_clock);
        c.applySettings(*ConfigManager::instance());
        m_tdx = std::make_unique<sim::FakeTdx>(m_system, c.tdxOptions());
        m_typing.setTdx(m_tdx.get());
        m_worker = std::make_unique<EditBoxChangeWorker>(&m_machine);
        EditBoxChangeWorker* w = m_worker.get();
        QObject::connect(
            w, &EditBoxChangeWorker::actionSignal, &m_context,
            [this](int action, int reason) {
                m_outcome.actions.append({action, reason});
                // Told nothing came, the keyboard tries once more.
                if (action == 32 && m_case.secondKey && !m_secondKeyDone) {
                    m_secondKeyDone = true;
                    pressKey();
                }
            },
            Qt::DirectConnection);
        QObject::connect(
            w, &EditBoxChangeWorker::notice, &m_context,
            [this](int action, int reason) {
                m_outcome.notices.append({action, reason});
            },
            Qt::DirectConnection);
        QObject::connect(
            w, &EditBoxChangeWorker::requestClickButton, &m_context,
            [w](trade::HWND button) { w->onButtonClicked(button, WindowRequests::clickButton(button)); },
            Qt::DirectConnection);
        QObject::connect(
            w, &EditBoxChangeWorker::requestCloseWindow, &m_context,
            [this](trade::HWND window) {
                ++m_outcome.closeRequests;
                WindowRequests::closeWindow(window);
            },
            Qt::DirectConnection);
    }
    ~VirtualDesk()
    {
        m_worker.reset();
        m_typing.setTdx(nullptr);
        m_tdx.reset();
        m_clock.setObserver(nullptr);
        platform::install({});
    }

    Outcome run(LogCapture& log)
    {
        if (m_case.earlierTrade)
            earlierTrade();
        m_system.orderBook().clear();
        log.clear();
        m_outcome = Outcome();

        const std::size_t verdictsBefore = m_worker->verdicts().size();
        pressKey();
        m_clock.advance(m_case.typingDelayMs + 2);
        const std::vector<sim::WindowId> dialogs = m_tdx->orderDialogs();
        if (dialogs.empty())
            return m_outcome;
        const sim::WindowId dialog = dialogs.back();
        m_outcome.opened = true;
        if (m_case.insistUntilMs >= 0)
            insistOnNoQuantity(dialog, m_keyAt + m_case.insistUntilMs);

        m_watcher.onForegroundChanged(m_system.desktop().foregroundWindow());
        const qint64 start = m_clock.nowMs();
        m_worker->performDetection(trade::toWParam(dialog));
        m_outcome.detectionMs = m_clock.nowMs() - start;

        m_outcome.dialogOpen = m_system.desktop().isWindow(dialog);
        const auto verdicts = m_worker->verdicts();
        m_outcome.verdicts.assign(verdicts.begin() + std::ptrdiff_t(std::min(verdictsBefore, verdicts.size())),
                                  verdicts.end());
        m_outcome.orders = m_system.orderBook().orders();
        m_outcome.log = log.lines();
        return m_outcome;
    }

private:
    void pressKey()
    {
        m_keyAt = m_clock.nowMs();
        m_worker->onTradeTypeSet(0, m_case.key, m_case.splitMode ? 1 : 0);
        m_typing.keyPressed(m_case.splitMode ? 0xDF : 0xD0, std::uint8_t(m_case.key));
    }

    // A software 1/3 buy of another dialog, confirmed, its 委托已提交 box closed.
    void earlierTrade()
    {
        m_worker->onTradeTypeSet(0, 13, 0);
        sim::TdxOrderOptions o;
        o.code = u"601398";
        o.name = u"工商银行";
        o.price = u"5.00";
        o.maxQuantity = 1000;
        m_tdx->openFlashBuy(o);
        m_watcher.onForegroundChanged(m_system.desktop().foregroundWindow());
        m_worker->performDetection(0);
        for (sim::WindowId d : m_tdx->orderDialogs())
            m_system.desktop().destroyWindow(d);
        if (const sim::WindowId notice = m_tdx->lastNotice())
            m_system.desktop().destroyWindow(notice);
        m_watcher.onForegroundChanged(m_system.desktop().foregroundWindow());
        m_worker->performDetection(0);
        m_clock.advance(10);
    }

    // The client writes "0" back into the quantity edit every millisecond until untilMs.
    void insistOnNoQuantity(sim::WindowId dialog, qint64 untilMs)
    {
        const sim::WindowId edit = m_tdx->control(dialog, sim::TdxField::Quantity);
        const platform::ProcessId pid = m_system.desktop().windowProcessId(dialog);
        m_insist = [this, dialog, edit, pid, untilMs] {
            if (m_system.desktop().now() >= untilMs)
                return;
            m_system.desktop().sendMessage(edit, platform::msg::SetText, 0,
                                           reinterpret_cast<std::intptr_t>(u"0"));
            m_system.desktop().scheduleAfter(1, pid, dialog, m_insist);
        };
        m_system.desktop().scheduleAfter(1, pid, dialog, m_insist);
    }

    const TradeCase& m_case;
    platform::ManualClock m_clock;
    sim::SimSystem m_system{m_clock};
    sim::TradeKeyTyping m_typing;
    std::unique_ptr<sim::FakeTdx> m_tdx;
    StateMachine m_machine{m_clock};
    DesktopWatcher m_watcher{&m_machine, [] { return false; }};
    std::unique_ptr<EditBoxChangeWorker> m_worker;
    QObject m_context;
    Outcome m_outcome;
    qint64 m_keyAt = 0;
    bool m_secondKeyDone = false;
    std::function<void()> m_insist;
};

// ---------------------------------------------------------------- on the whole program

// Standard locks rather than QMutex: visible to the thread sanitizer, which cannot see into Qt.
class Recorder
{
public:
    void add(trade::HWND window, const std::u16string& title)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_dialog && title.rfind(u"闪电", 0) == 0)
            m_dialog = window;
    }
    void closeRequested()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_closes;
    }
    trade::HWND dialog() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_dialog;
    }
    int closes() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_closes;
    }

private:
    mutable std::mutex m_mutex;
    trade::HWND m_dialog = 0;
    int m_closes = 0;
};

} // namespace

class TestTradeProperties : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
    }
    void cleanup() { ConfigManager::destroyInstance(); }

    void generatedTrades()
    {
        const std::uint64_t seed = baseSeed();
        const int cases = caseCount(kDefaultCases);
        qInfo().noquote()
            << QStringLiteral("property seed %1, %2 cases (ZENTRIK_PROPERTY_SEED / ZENTRIK_PROPERTY_CASES)")
                   .arg(seed)
                   .arg(cases);
        int confirmed = 0;
        int closed = 0;
        int open = 0;
        for (int i = 0; i < cases; ++i) {
            const TradeCase c = TradeCase::generate(seed + std::uint64_t(i), false);
            scenario::freshInstallation();
            Outcome o;
            {
                LogCapture log;
                VirtualDesk desk(c);
                o = desk.run(log);
            }
            const QStringList problems = violations(c, o, true);
            if (!problems.isEmpty())
                QFAIL(qPrintable(report(c, o, problems, "generatedTrades")));
            (!o.orders.empty() ? confirmed : o.dialogOpen ? open : closed)++;
        }
        qInfo().noquote()
            << QStringLiteral("confirmed %1, closed %2, left open %3").arg(confirmed).arg(closed).arg(open);
    }

    void generatedTradesOnTheWholeProgram()
    {
        const std::uint64_t seed = baseSeed();
        const int cases = caseCount(kDefaultRealTimeCases);
        qInfo().noquote()
            << QStringLiteral("property seed %1, %2 cases (ZENTRIK_PROPERTY_SEED / ZENTRIK_PROPERTY_CASES)")
                   .arg(seed)
                   .arg(cases);
        for (int i = 0; i < cases; ++i) {
            const TradeCase c = TradeCase::generate(seed + std::uint64_t(i), true);
            scenario::freshInstallation();
            c.applySettings(*ConfigManager::instance());
            scenario::DeskSetup setup;
            setup.tdx = c.tdxOptions();
            setup.typing = c.typingOptions();
            scenario::TradingDesk desk(setup);
            QVERIFY2(desk.startTrading(),
                     qPrintable(QStringLiteral("case seed %1: %2").arg(c.seed).arg(desk.failure())));

            Recorder recorder;
            QObject context;
            sim::SimDesktop& screen = desk.system.desktop();
            connect(
                desk.manager()->desktopWatcher(), &DesktopWatcher::desktopChanged, &context,
                [&recorder, &screen](trade::WPARAM hwnd) {
                    recorder.add(trade::toHwnd(hwnd), screen.text(trade::toHwnd(hwnd)));
                },
                Qt::DirectConnection);
            connect(
                desk.manager()->worker(), &EditBoxChangeWorker::requestCloseWindow, &context,
                [&recorder](trade::HWND) { recorder.closeRequested(); }, Qt::DirectConnection);

            desk.press(c.key, c.splitMode);
            QElapsedTimer sinceKey;
            sinceKey.start();
            bool unplugged = false;
            bool secondKeyDone = false;
            const auto ended = [&] {
                if (c.unplugAfterMs >= 0 && !unplugged && sinceKey.elapsed() >= c.unplugAfterMs) {
                    desk.keyboards.unplug(desk.serial());
                    unplugged = true;
                }
                if (c.secondKey && !secondKeyDone && desk.tradeActions().contains({32, 0})) {
                    secondKeyDone = true;
                    desk.press(c.key, true);
                }
                if (unplugged)
                    return !desk.manager()->watchersRunning() && sinceKey.elapsed() > c.unplugAfterMs + 200;
                const trade::HWND dialog = recorder.dialog();
                if (!dialog || !desk.idle())
                    return false;
                return screen.isWindow(dialog) || desk.foregroundWindow() == desk.mainWindow();
            };
            // Ended, and still so once the GUI thread has carried out what was asked of it in
            // the meantime (a click, a close: the longest, closing, takes 250 ms).
            QElapsedTimer endedFor;
            const auto done = [&] {
                if (!ended())
                    endedFor.invalidate();
                else if (!endedFor.isValid())
                    endedFor.start();
                return endedFor.isValid() && endedFor.elapsed() >= kQuietMs;
            };
            const bool finished = QTest::qWaitFor(done, 15000);
            Outcome o;
            // Pulled out early, the keyboard may have stopped trade watching before the dialog
            // was seen: the client's own list of dialogs tells then.
            const std::vector<sim::WindowId> open = desk.tdx->orderDialogs();
            o.opened = recorder.dialog() != 0 || !open.empty();
            o.dialogOpen = recorder.dialog() ? screen.isWindow(recorder.dialog()) : !open.empty();
            o.actions = desk.tradeActions();
            o.closeRequests = recorder.closes();
            o.orders = desk.system.orderBook().orders();
            QStringList problems = violations(c, o, false);
            if (!finished)
                problems.prepend(QStringLiteral("the trade did not come to an end within 15 s"));
            if (unplugged) {
                // Plugged in again, the keyboard is connected anew and trading goes on.
                desk.keyboards.plug(desk.serial());
                if (!QTest::qWaitFor(
                        [&] {
                            return desk.manager()->keyboardCount() == 1 && desk.manager()->watchersRunning();
                        },
                        15000))
                    problems << QStringLiteral("the replugged keyboard did not trade again");
            }
            if (!problems.isEmpty())
                QFAIL(qPrintable(report(c, o, problems, "generatedTradesOnTheWholeProgram")));
        }
    }
};

ZK_TEST_MAIN(TestTradeProperties)
#include "tst_tradeproperties.moc"
