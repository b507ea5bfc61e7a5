// Trade latency on the simulators: from the moment an order dialog's quantities are ready to the
// click that confirms it, through the program's own trade automation (connection manager, desktop
// watcher, control detector, order dialog worker, clicks on the GUI thread), with the second core
// kept busy by a spinning child process.
//
// Each kind of trade has a floor set by the worker's own waits; the report gives the latency and
// what the program adds above that floor (median and p99 of each run, then the median over runs),
// and the CPU time per trade of the whole process and of the worker's thread.
//
//   A  1/3 buy, software split: the dialog opens with the maximum shown and the quantity 0.
//      Floor: the 20 ms the dialog must be visible + the 30 ms before the split is verified.
//   B  定额买, fixed quantity: the dialog opens with the client's preset quantity and the maximum.
//      Floor: the 20 ms visibility wait (the quantity's 3 sightings over >= 6 ms fit inside it).
//   C  1/3 buy, keyboard split: the keyboard clicks 1/3 itself 20 ms after its key; ready is that
//      click. Floor: the quantity must be seen >= 30 ms after the key, >= 6 ms after it first
//      appeared, and unchanged for longer than the slowest keystroke interval with the factory
//      key delays (a keyboard may still be typing it): max(30 - 20, 6, 66 + 1) = 67 ms.
// Above the floors the worker's passes (1 or 2 ms apart) and the hand-over of the click to the GUI
// thread are part of what is measured.
//
// The key is pressed on a simulated keyboard (its frame gives the worker the trade type); what
// the keyboard types is played here on the client's event thread, 5 ms after the key, so that the
// moment the quantities are ready is taken exactly where it happens.
//
//   bench_trade [runs] [trades per run and kind] [--idle]     (defaults: 3 100; --idle: no load)

#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardlink/protocol/Protocol.h"
#include "platform/api/Clock.h"
#include "platform/api/Platform.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "trade/EditBoxChangeWorker.h"
#include "trade/StateMachine.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <pthread.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string kSerial = "ZK000001";
constexpr int kTypingMs = 5;         // key → the dialog opens
constexpr int kKeyboardSplitMs = 20; // key → the keyboard clicks 1/3 (kind C)

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<std::size_t>(p * double(v.size())))];
}

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}

double threadCpuMs(pthread_t thread)
{
    clockid_t id;
    timespec t{};
    if (pthread_getcpuclockid(thread, &id) != 0 || clock_gettime(id, &t) != 0)
        return 0;
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Runs the GUI thread's events until done() holds; false after timeoutMs.
bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || Clock::now() > deadline)
            loop.quit();
    });
    poll.start(5);
    if (!done())
        loop.exec();
    return done();
}

struct Kind
{
    const char* name;
    int key;
    bool keyboardSplit;
    long long fixedQuantity; // < 0: none
    double floorMs;          // the worker's waits
    double passesMs;         // the least pass pacing on top: passes are 2 ms apart (1 ms in step 3)
    long long expectedQuantity;
};

const Kind kKinds[] = {
    // step 2 one pass after the visibility wait, step 3 one (1 ms) pass later
    {"1/3 buy, software split", 13, false, -1, 20 + 30, 2 + 1, 300},
    // the 2nd and 3rd sightings of the quantity in step 2, then step 3
    {"fixed-amount buy (10)", 10, false, 500, 20, 2 + 2 + 1, 500},
    // the quantity must outlast the slowest keystroke interval
    {"1/3 buy, keyboard split", 13, true, -1,
     double(std::max({30 - kKeyboardSplitMs, 6,
                      Protocol::slowestKeystrokeIntervalMs(Protocol::FactoryKeyDelayMs, Protocol::FactoryKeyDelayMs) +
                          1})),
     0, 300},
};

struct RunResult
{
    std::vector<double> latencyMs;
    double processCpuPerTradeMs = 0;
    double workerCpuPerTradeMs = 0;
    int failures = 0;
};

class Bench
{
public:
    Bench() : m_system(platform::systemClock())
    {
        m_keyboards.addKeyboard(kSerial);
        platform::Services os = m_system.services(platform::Services());
        m_keyboards.installInto(os);
        platform::install(os);
        m_system.startEventThread();
        m_system.orderBook().setObserver([this](const sim::Order& order) {
            m_confirmedAt = Clock::now();
            m_lastQuantity = order.quantity;
            m_orders.fetch_add(1);
        });
    }
    ~Bench()
    {
        m_manager.reset();
        m_tdx.reset();
        m_system.orderBook().setObserver(nullptr);
        m_system.stopEventThread();
        platform::install({});
    }

    bool start()
    {
        m_manager = std::make_unique<Core::ConnectionManager>();
        m_manager->initConnections();
        m_manager->setMultiKeyboardEnabled(false);
        if (!runUntil([this] { return m_manager->keyboardCount() == 1; }, 10000))
            return false;
        EditBoxChangeWorker* worker = m_manager->worker();
        // The worker's thread, learnt from its first signal there.
        QObject::connect(
            worker, &EditBoxChangeWorker::actionSignal, worker,
            [this](int, int) {
                if (!m_workerThreadKnown.exchange(true))
                    m_workerThread = pthread_self();
            },
            Qt::DirectConnection);
        return true;
    }

    RunResult run(const Kind& kind, int trades)
    {
        RunResult result;
        sim::FakeTdxOptions options;
        m_tdx = std::make_unique<sim::FakeTdx>(m_system, options);
        m_manager->stopThreads();
        m_manager->startThreads();
        m_workerThreadKnown = false; // a new detector thread
        StateMachine* machine = m_manager->stateMachine();
        const sim::WindowId main = m_tdx->mainWindow();
        if (!runUntil([&] { return machine->window() == main && !machine->isCommitted(); }, 5000)) {
            result.failures = trades;
            return result;
        }
        // One trade first, so that the worker's thread is known and everything is warm.
        trade(kind, main);
        const double processStart = processCpuMs();
        const double workerStart = m_workerThreadKnown ? threadCpuMs(m_workerThread) : 0;
        for (int i = 0; i < trades; ++i) {
            double latency = 0;
            if (trade(kind, main, &latency))
                result.latencyMs.push_back(latency);
            else
                ++result.failures;
        }
        const int done = std::max<int>(1, int(result.latencyMs.size()));
        result.processCpuPerTradeMs = (processCpuMs() - processStart) / done;
        if (m_workerThreadKnown)
            result.workerCpuPerTradeMs = (threadCpuMs(m_workerThread) - workerStart) / done;
        m_manager->stopThreads();
        m_tdx.reset();
        return result;
    }

private:
    // One trade from the key to the program back on the main window; the latency from the
    // quantities being ready to the confirm click.
    bool trade(const Kind& kind, sim::WindowId main, double* latency = nullptr)
    {
        StateMachine* machine = m_manager->stateMachine();
        sim::SimDesktop& desktop = m_system.desktop();
        const int ordersBefore = m_orders.load();
        // Written by the client's event thread; shared, as an event may outlive a failed trade.
        struct Ready
        {
            std::atomic<bool> seen{false};
            Clock::time_point at;
        };
        auto ready = std::make_shared<Ready>();
        sim::FakeTdx* tdx = m_tdx.get();

        if (kind.keyboardSplit)
            m_keyboards.pressTradeKeyWithFlag(kSerial, std::uint8_t(kind.key), 1);
        else
            m_keyboards.pressTradeKey(kSerial, std::uint8_t(kind.key));
        // The keyboard's hot key opens the dialog a moment later (the client's event thread).
        const long long fixedQuantity = kind.fixedQuantity;
        const bool keyboardSplit = kind.keyboardSplit;
        desktop.scheduleAfter(kTypingMs, m_tdx->pid(), main, [ready, tdx, fixedQuantity, keyboardSplit] {
            sim::TdxOrderOptions order;
            order.maxQuantity = 1000;
            order.fixedQuantity = fixedQuantity;
            tdx->openFlashBuy(order);
            if (!keyboardSplit) {
                ready->at = Clock::now();
                ready->seen = true;
            }
        });
        if (keyboardSplit) {
            desktop.scheduleAfter(kKeyboardSplitMs, m_tdx->pid(), main, [ready, tdx] {
                const std::vector<sim::WindowId> dialogs = tdx->orderDialogs();
                if (dialogs.empty() || !tdx->keyboardSplit(dialogs.back(), 3))
                    return;
                ready->at = Clock::now();
                ready->seen = true;
            });
        }

        const bool confirmed = runUntil([&] { return m_orders.load() > ordersBefore; }, 5000);
        const bool good = confirmed && ready->seen && m_lastQuantity == kind.expectedQuantity;
        if (good && latency)
            *latency = ms(m_confirmedAt - ready->at);
        // The client's 委托已提交 box goes; the program is back on the main window.
        runUntil([&] { return m_tdx->lastNotice() != 0 || !confirmed; }, 1000);
        if (const sim::WindowId notice = m_tdx->lastNotice())
            desktop.destroyWindow(notice);
        for (sim::WindowId dialog : m_tdx->orderDialogs())
            desktop.destroyWindow(dialog);
        const bool back = runUntil(
            [&] {
                return desktop.foregroundWindow() == main && machine->window() == main &&
                       !machine->isCommitted();
            },
            5000);
        // Nothing of this trade may still be due when the next key comes.
        runUntil([&] { return desktop.nextEventTime() < 0; }, 1000);
        return good && back;
    }

    sim::KeyboardSimulator m_keyboards;
    sim::SimSystem m_system;
    std::unique_ptr<sim::FakeTdx> m_tdx;
    std::unique_ptr<Core::ConnectionManager> m_manager;
    std::atomic<int> m_orders{0};
    Clock::time_point m_confirmedAt;
    long long m_lastQuantity = 0;
    std::atomic<bool> m_workerThreadKnown{false};
    pthread_t m_workerThread{};
};

// A child process that keeps one core busy until it is killed (or this process ends).
pid_t startLoad()
{
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(0);
        volatile unsigned long spin = 0;
        for (;;)
            spin = spin + 1;
    }
    return pid;
}

void quietMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

int main(int argc, char** argv)
{
    int runs = 3;
    int trades = 100;
    bool load = true;
    std::vector<int> numbers;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--idle")
            load = false;
        else
            numbers.push_back(std::max(1, std::atoi(argv[i])));
    }
    if (!numbers.empty())
        runs = numbers[0];
    if (numbers.size() > 1)
        trades = numbers[1];

    // Before any thread exists.
    const pid_t loadPid = load ? startLoad() : 0;

    // A settings store of its own: the user's files stay untouched.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // As in the program: diagnostics are discarded.
    qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
    QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));

    int status = 0;
    {
        Bench bench;
        if (!bench.start()) {
            std::fprintf(stderr, "bench_trade: the simulated keyboard was not connected\n");
            status = 1;
        } else {
            std::printf("Trade latency on the simulators: quantities ready -> confirm click\n");
            std::printf("%d runs x %d trades per kind, %s; medians over runs\n\n", runs, trades,
                        load ? "second core busy (spinning child process)" : "no extra load");
            std::printf("%-26s %8s %8s %9s %9s %10s %10s %10s %10s %6s\n", "kind", "floor", "passes",
                        "median", "p99", "over med", "over p99", "CPU/trade", "worker CPU", "failed");
            for (const Kind& kind : kKinds) {
                std::vector<double> medians, p99s, cpu, workerCpu;
                int failures = 0;
                for (int r = 0; r < runs; ++r) {
                    const RunResult result = bench.run(kind, trades);
                    medians.push_back(median(result.latencyMs));
                    p99s.push_back(percentile(result.latencyMs, 0.99));
                    cpu.push_back(result.processCpuPerTradeMs);
                    workerCpu.push_back(result.workerCpuPerTradeMs);
                    failures += result.failures;
                }
                const double med = median(medians);
                const double p99 = median(p99s);
                std::printf(
                    "%-26s %5.1f ms %5.1f ms %6.1f ms %6.1f ms %+7.1f ms %+7.1f ms %7.2f ms %7.2f ms %6d\n",
                    kind.name, kind.floorMs, kind.passesMs, med, p99, med - kind.floorMs, p99 - kind.floorMs,
                    median(cpu), median(workerCpu), failures);
                if (failures)
                    status = 1;
            }
            std::printf(
                "\nfloor: what the worker's own waits impose (see bench/trade/bench_trade.cpp); passes: the\n"
                "least pass pacing on top of it; over: latency minus floor (the passes included);\n"
                "CPU/trade: the whole process (program and simulators); worker CPU: the control\n"
                "detector's thread, where the order dialog worker runs.\n");
        }
    }
    if (loadPid > 0) {
        kill(loadPid, SIGKILL);
        waitpid(loadPid, nullptr, 0);
    }
    return status;
}
