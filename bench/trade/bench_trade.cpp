// Trade latency on the simulators: from the trade key to the click that confirms the order,
// through the program's own trade automation (connection manager, desktop watcher, control
// detector, order dialog worker, clicks on the GUI thread), with the second core kept busy by a
// spinning child process.
//
// Each kind of trade has a floor: the least time the worker's own waits and its pass pacing
// allow (passes 2 ms apart, 1 ms in steps 3 and 5, and 1 ms polls while a click is answered).
// The floor is found by replaying those waits on a manual clock with the timer mode's sleeps, the
// worker's first pass when the dialog opens (or 1 ms later), at the best phase of the timer tick.
//
//   A  1/3 buy, software split: the dialog opens 5 ms after the key with the maximum shown and
//      the quantity 0; 20 ms visibility wait, the split button's click, 30 ms before the split is
//      verified.
//   B  定额买, fixed quantity: the dialog opens 5 ms after the key with the client's preset
//      quantity; 20 ms visibility wait, the quantity's 3 sightings over >= 6 ms.
//   C  1/3 buy, keyboard split: the keyboard clicks 1/3 itself 20 ms after its key; the quantity
//      must be seen >= 30 ms after the key, >= 6 ms after it first appeared, and unchanged for
//      longer than the slowest keystroke interval with the factory key delays (66 ms).
//
// The key is pressed on a simulated keyboard (its frame gives the worker the trade type); what
// the keyboard types is played on the client's event thread.
//
// Timer modes (--timer, repeatable; all three by default, interleaved in every run):
//   linux         the system clock as it is;
//   windows       every sleep of the program ends on the next 15.625 ms tick, Windows' default
//                 timer resolution (the program's fine-timer request is not granted);
//   windows-fine  what the program gets on Windows: it holds the 1 ms timer while trading, so
//                 sleeps end on the next 1 ms tick.
// Ratios are to the linux mode of the same run. The simulated clients and keyboard keep real
// time in every mode; only the program's clock is Windows'.
//
//   bench_trade [runs] [trades per run, kind and mode] [--idle] [--timer=MODE]...
//   (defaults: 3 100; --idle: no load)

#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardlink/protocol/Protocol.h"
#include "platform/api/Clock.h"
#include "platform/api/Platform.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "trade/EditBoxChangeWorker.h"
#include "trade/QuantityStabilityTracker.h"
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
#include <limits>
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

enum class Timer { Linux, Windows, WindowsFine };

const char* timerName(Timer timer)
{
    switch (timer) {
    case Timer::Linux:
        return "linux";
    case Timer::Windows:
        return "windows";
    case Timer::WindowsFine:
        return "windows-fine";
    }
    return "";
}

// The program's clock in one timer mode, over the real (or, for the floors, a manual) clock.
class TimerClock : public platform::Clock
{
public:
    TimerClock(platform::Clock& inner, Timer timer) : m_inner(inner), m_windows(inner), m_timer(timer) {}
    std::int64_t nowMs() override { return m_inner.nowMs(); }
    std::int64_t monotonicMs() override { return m_inner.monotonicMs(); }
    void sleepMs(int ms) override
    {
        if (m_timer == Timer::Linux)
            m_inner.sleepMs(ms);
        else
            m_windows.sleepMs(ms);
    }
    // Windows grants the fine timer; the coarse mode shows the program without it.
    void beginFineTimer() override
    {
        if (m_timer == Timer::WindowsFine)
            m_windows.beginFineTimer();
    }
    void endFineTimer() override
    {
        if (m_timer == Timer::WindowsFine)
            m_windows.endFineTimer();
    }

private:
    platform::Clock& m_inner;
    platform::WindowsTimerClock m_windows;
    Timer m_timer;
};

enum class Path { SoftwareSplit, FixedQuantity, KeyboardSplit };

struct Kind
{
    const char* name;
    int key;
    Path path;
    long long fixedQuantity; // < 0: none
    long long expectedQuantity;
};

const Kind kKinds[] = {
    {"1/3 buy, software split", 13, Path::SoftwareSplit, -1, 300},
    {"fixed-amount buy (10)", 10, Path::FixedQuantity, 500, 500},
    {"1/3 buy, keyboard split", 13, Path::KeyboardSplit, -1, 300},
};

// The worker's waits for one kind, from the key, on clock c; the worker's first pass comes
// firstPassMs after the key. What the GUI thread does takes no time here.
std::int64_t replayWaits(const Kind& kind, platform::ManualClock& inner, platform::Clock& c, int firstPassMs)
{
    const std::int64_t key = c.monotonicMs();
    const auto since = [&c](std::int64_t t) { return c.monotonicMs() - t; };
    inner.advance(firstPassMs); // the detector thread waits for its task, it does not sleep
    const std::int64_t mark = c.monotonicMs();
    switch (kind.path) {
    case Path::SoftwareSplit:
        do
            c.sleepMs(2);
        while (since(mark) < 20); // step 1: visible for 20 ms
        c.sleepMs(2);             // step 2: the quantities are there
        c.sleepMs(1);             // step 3: the split button is clicked ...
        c.sleepMs(1);             // ... and its answer polled
        c.sleepMs(30);            // before the split is verified; then the confirm click
        break;
    case Path::FixedQuantity: {
        do
            c.sleepMs(2);
        while (since(mark) < 20);
        int sightings = 1; // step 0 saw the preset quantity
        do {
            c.sleepMs(2);
            ++sightings;
        } while (sightings < QuantityStabilityTracker::MinSightings ||
                 since(mark) < QuantityStabilityTracker::MinSettleMs);
        c.sleepMs(1); // step 3 confirms
        break;
    }
    case Path::KeyboardSplit: {
        while (since(key) < kKeyboardSplitMs) // step 4 polls until the keyboard's click
            c.sleepMs(2);
        const std::int64_t firstSeen = c.monotonicMs();
        const int settle =
            Protocol::slowestKeystrokeIntervalMs(Protocol::FactoryKeyDelayMs, Protocol::FactoryKeyDelayMs);
        int sightings = 1;
        do {
            c.sleepMs(2);
            ++sightings;
        } while (sightings < QuantityStabilityTracker::MinSightings ||
                 since(firstSeen) < QuantityStabilityTracker::MinSettleMs ||
                 since(key) < QuantityStabilityTracker::MinAfterKeyMs || since(firstSeen) <= settle);
        break;
    }
    }
    return c.monotonicMs() - key;
}

// The least key-to-confirm time over the phases of the timer tick, with the worker's first pass
// when the dialog opens or 1 ms later.
double floorMs(const Kind& kind, Timer timer)
{
    // On a 15.625 ms tick: 1'700'000'000'000 ms is a whole number of them.
    constexpr std::int64_t kOnTick = 1'700'000'000'000;
    std::int64_t least = std::numeric_limits<std::int64_t>::max();
    for (int phase = 0; phase < 16; ++phase) {
        for (int late = 0; late < 2; ++late) {
            platform::ManualClock inner(kOnTick + phase);
            TimerClock clock(inner, timer);
            clock.beginFineTimer(); // held while trading
            least = std::min(least, replayWaits(kind, inner, clock, kTypingMs + late));
        }
    }
    return double(least);
}

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
        m_services = m_system.services(platform::Services());
        m_keyboards.installInto(m_services);
        platform::install(m_services);
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

    // A program whose clock runs in the timer mode (the worker takes its clock when it is made).
    bool start(Timer timer)
    {
        m_manager.reset();
        m_clock = std::make_unique<TimerClock>(platform::systemClock(), timer);
        platform::Services os = m_services;
        os.clock = m_clock.get();
        platform::install(os);
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
    // One trade from the key to the program back on the main window; the latency from the key
    // to the confirm click.
    bool trade(const Kind& kind, sim::WindowId main, double* latency = nullptr)
    {
        StateMachine* machine = m_manager->stateMachine();
        sim::SimDesktop& desktop = m_system.desktop();
        const int ordersBefore = m_orders.load();
        // Set on the client's event thread once the quantities are there; shared, as an event may
        // outlive a failed trade.
        auto ready = std::make_shared<std::atomic<bool>>(false);
        sim::FakeTdx* tdx = m_tdx.get();

        const bool keyboardSplit = kind.path == Path::KeyboardSplit;
        const Clock::time_point keyAt = Clock::now();
        if (keyboardSplit)
            m_keyboards.pressTradeKeyWithFlag(kSerial, std::uint8_t(kind.key), 1);
        else
            m_keyboards.pressTradeKey(kSerial, std::uint8_t(kind.key));
        // The keyboard's hot key opens the dialog a moment later (the client's event thread).
        const long long fixedQuantity = kind.fixedQuantity;
        desktop.scheduleAfter(kTypingMs, m_tdx->pid(), main, [ready, tdx, fixedQuantity, keyboardSplit] {
            sim::TdxOrderOptions order;
            order.maxQuantity = 1000;
            order.fixedQuantity = fixedQuantity;
            tdx->openFlashBuy(order);
            if (!keyboardSplit)
                *ready = true;
        });
        if (keyboardSplit) {
            desktop.scheduleAfter(kKeyboardSplitMs, m_tdx->pid(), main, [ready, tdx] {
                const std::vector<sim::WindowId> dialogs = tdx->orderDialogs();
                if (dialogs.empty() || !tdx->keyboardSplit(dialogs.back(), 3))
                    return;
                *ready = true;
            });
        }

        const bool confirmed = runUntil([&] { return m_orders.load() > ordersBefore; }, 5000);
        const bool good = confirmed && *ready && m_lastQuantity == kind.expectedQuantity;
        if (good && latency)
            *latency = ms(m_confirmedAt - keyAt);
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
    platform::Services m_services;
    std::unique_ptr<TimerClock> m_clock;
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
    std::vector<Timer> timers;
    std::vector<int> numbers;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--idle") {
            load = false;
        } else if (arg.rfind("--timer=", 0) == 0) {
            const std::string name = arg.substr(8);
            bool known = false;
            for (Timer t : {Timer::Linux, Timer::Windows, Timer::WindowsFine}) {
                if (name == timerName(t)) {
                    timers.push_back(t);
                    known = true;
                }
            }
            if (!known) {
                std::fprintf(stderr, "bench_trade: --timer=linux|windows|windows-fine\n");
                return 2;
            }
        } else {
            numbers.push_back(std::max(1, std::atoi(argv[i])));
        }
    }
    if (!numbers.empty())
        runs = numbers[0];
    if (numbers.size() > 1)
        trades = numbers[1];
    if (timers.empty())
        timers = {Timer::Linux, Timer::Windows, Timer::WindowsFine};

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

    constexpr std::size_t kKindCount = sizeof kKinds / sizeof kKinds[0];
    struct Cell
    {
        std::vector<double> medians, p99s, medianRatios, p99Ratios, cpu, workerCpu;
        int failures = 0;
    };
    // cells[timer][kind], over the runs
    std::vector<std::vector<Cell>> cells(timers.size(), std::vector<Cell>(kKindCount));
    int status = 0;
    {
        Bench bench;
        for (int r = 0; r < runs && status == 0; ++r) {
            // Every mode in every run, so that the machine's state is shared by what is compared.
            std::vector<std::vector<double>> med(timers.size(), std::vector<double>(kKindCount));
            std::vector<std::vector<double>> p99(timers.size(), std::vector<double>(kKindCount));
            for (std::size_t t = 0; t < timers.size() && status == 0; ++t) {
                if (!bench.start(timers[t])) {
                    std::fprintf(stderr, "bench_trade: the simulated keyboard was not connected\n");
                    status = 1;
                    break;
                }
                for (std::size_t k = 0; k < kKindCount; ++k) {
                    const RunResult result = bench.run(kKinds[k], trades);
                    Cell& cell = cells[t][k];
                    med[t][k] = median(result.latencyMs);
                    p99[t][k] = percentile(result.latencyMs, 0.99);
                    cell.medians.push_back(med[t][k]);
                    cell.p99s.push_back(p99[t][k]);
                    cell.cpu.push_back(result.processCpuPerTradeMs);
                    cell.workerCpu.push_back(result.workerCpuPerTradeMs);
                    cell.failures += result.failures;
                    if (result.failures)
                        status = 1;
                }
            }
            // Ratios to the linux mode of this run, when it ran.
            for (std::size_t base = 0; base < timers.size(); ++base) {
                if (timers[base] != Timer::Linux)
                    continue;
                for (std::size_t t = 0; t < timers.size(); ++t) {
                    for (std::size_t k = 0; k < kKindCount; ++k) {
                        if (med[base][k] > 0 && p99[base][k] > 0) {
                            cells[t][k].medianRatios.push_back(med[t][k] / med[base][k]);
                            cells[t][k].p99Ratios.push_back(p99[t][k] / p99[base][k]);
                        }
                    }
                }
            }
        }
    }
    if (loadPid > 0) {
        kill(loadPid, SIGKILL);
        waitpid(loadPid, nullptr, 0);
    }
    {
        std::printf("Trade latency on the simulators: trade key -> confirm click\n");
        std::printf("%d runs x %d trades per kind and timer mode, %s; medians over runs\n\n", runs, trades,
                    load ? "second core busy (spinning child process)" : "no extra load");
        std::printf("%-25s %-12s %8s %9s %9s %9s %9s %8s %8s %9s %9s %6s\n", "kind", "timer", "floor", "median", "p99",
                    "over med", "over p99", "x med", "x p99", "CPU/trade", "worker", "failed");
        for (std::size_t k = 0; k < kKindCount; ++k) {
            for (std::size_t t = 0; t < timers.size(); ++t) {
                const Cell& cell = cells[t][k];
                const double floor = floorMs(kKinds[k], timers[t]);
                const double med = median(cell.medians);
                const double p99 = median(cell.p99s);
                std::printf("%-25s %-12s %5.0f ms %6.1f ms %6.1f ms %+6.1f ms %+6.1f ms", kKinds[k].name,
                            timerName(timers[t]), floor, med, p99, med - floor, p99 - floor);
                if (cell.medianRatios.empty())
                    std::printf(" %8s %8s", "-", "-");
                else
                    std::printf(" %7.2fx %7.2fx", median(cell.medianRatios), median(cell.p99Ratios));
                std::printf(" %6.2f ms %6.2f ms %6d\n", median(cell.cpu), median(cell.workerCpu), cell.failures);
            }
        }
        std::printf(
            "\nfloor: the least time the worker's own waits and pass pacing allow in that timer mode (see\n"
            "bench/trade/bench_trade.cpp); over: latency minus floor; x: the median over runs of the ratio\n"
            "to the linux mode of the same run; CPU/trade: the whole process (program and simulators);\n"
            "worker: the control detector's thread, where the order dialog worker runs.\n");
    }
    return status;
}
