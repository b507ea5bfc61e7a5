// The program at rest, as a user runs it: zentrikclock --demo as a child process on this X
// display (a simulated keyboard, the simulated desktop with a fake TDX in front).
//
// Per run:
//   start      from process start to the clock window mapped on screen;
//   CPU off    CPU time of the whole process over a window of seconds, trading mode off (the
//              clock ticks, the keyboard link listens) — the baseline;
//   CPU on     the same after a double click on the clock switched trading mode on (the desktop
//              watcher polls the mouse every 50 ms, the foreground check runs, the keyboard link
//              keeps its connections);
//   RSS        resident memory at the end, and the program's own (anonymous) part of it: under Xvfb
//              the file-backed rest is mostly shared libraries, Mesa's software GL among them.
// CPU is read from /proc (utime + stime), so other load on the machine does not count against
// the program; only its own work does.
//
//   bench_idle [runs] [seconds per window]      (defaults: 3 20)

#include "KilledProgramIpc.h"
#include "XWindows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// utime + stime of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The command name is in parentheses and may hold spaces; the fields after it are plain.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // After the name: state is field 0, utime field 11, stime field 12.
    if (fields.size() < 13)
        return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// VmRSS or VmHWM of a process, in MiB.
double memoryMiB(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

struct Run
{
    double startMs = -1, cpuOffPercent = -1, cpuOnPercent = -1, rssMiB = -1, anonMiB = -1;
};

class Program
{
public:
    Program()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("TMPDIR"), m_dir.path());
        env.insert(QStringLiteral("ZENTRIK_DEBUG"), QStringLiteral("1"));
        env.remove(QStringLiteral("ZENTRIK_DEMO"));
        env.remove(QStringLiteral("ZENTRIK_SIM_KEYBOARDS"));
        m_process.setProcessEnvironment(env);
        m_process.setProgram(QStringLiteral(ZK_PROGRAM));
        m_process.setArguments({QStringLiteral("--demo")});
    }
    ~Program()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
        removeSystemVObjectsOfKilledProgram(m_dir.path());
    }
    QProcess& process() { return m_process; }
    qint64 pid() const { return m_process.processId(); }
    bool said(const QString& text)
    {
        m_stderr += m_process.readAllStandardError();
        return QString::fromUtf8(m_stderr).contains(text);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_stderr;
};

// Polls cond every few ms, processing the child's output, until it holds or timeoutMs passes.
template <typename Cond>
bool waitFor(Cond cond, int timeoutMs, int pollMs = 2)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(pollMs);
    }
    return true;
}

double cpuPercentOver(qint64 pid, int seconds)
{
    QElapsedTimer wall;
    const double before = cpuSeconds(pid);
    wall.start();
    QThread::sleep(seconds);
    const double after = cpuSeconds(pid);
    return 100.0 * (after - before) / (double(wall.nsecsElapsed()) / 1e9);
}

Run measureOnce(xwin::XWindows& x, int seconds)
{
    Run run;
    Program program;
    QElapsedTimer sinceStart;
    sinceStart.start();
    program.process().start();
    if (!program.process().waitForStarted())
        return run;
    std::vector<xwin::Id> clocks;
    if (!waitFor([&] { return !(clocks = x.find(program.pid(), "clock")).empty(); }, 20000))
        return run;
    run.startMs = double(sinceStart.nsecsElapsed()) / 1e6;

    // Let the keyboard's own connection come up (about a second after the start) before measuring.
    if (!waitFor([&] { return program.said(QStringLiteral("成功连接单个设备")); }, 20000, 20))
        return run;
    QThread::sleep(2);
    run.cpuOffPercent = cpuPercentOver(program.pid(), seconds);

    x.raise(clocks.front());
    const xwin::Geometry g = x.geometry(clocks.front());
    x.doubleClick(g.x + g.width / 2, g.y + g.height / 2);
    if (!waitFor([&] { return program.said(QStringLiteral("| 交易中 |")); }, 20000, 20))
        return run;
    QThread::sleep(2);
    run.cpuOnPercent = cpuPercentOver(program.pid(), seconds);
    run.rssMiB = memoryMiB(program.pid(), "VmRSS:");
    run.anonMiB = memoryMiB(program.pid(), "RssAnon:");
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 20;

    xwin::XWindows x;
    if (!x.ok()) {
        std::fprintf(stderr, "bench_idle: no X display (run it through scripts/bench)\n");
        return 1;
    }
    std::printf("%d runs, CPU over %d s per window; the program in demo mode\n\n", runs, seconds);
    std::printf("%-5s %10s %12s %12s %9s %9s\n", "run", "start ms", "CPU off %", "CPU on %", "RSS MiB",
                "anon MiB");
    std::vector<double> start, off, on, rss, anon;
    for (int i = 1; i <= runs; ++i) {
        const Run r = measureOnce(x, seconds);
        if (r.cpuOnPercent < 0) {
            std::fprintf(stderr, "bench_idle: run %d did not reach trading mode\n", i);
            return 1;
        }
        std::printf("%-5d %10.0f %12.2f %12.2f %9.1f %9.1f\n", i, r.startMs, r.cpuOffPercent, r.cpuOnPercent,
                    r.rssMiB, r.anonMiB);
        start.push_back(r.startMs);
        off.push_back(r.cpuOffPercent);
        on.push_back(r.cpuOnPercent);
        rss.push_back(r.rssMiB);
        anon.push_back(r.anonMiB);
    }
    std::printf("%-5s %10.0f %12.2f %12.2f %9.1f %9.1f\n", "median", median(start), median(off), median(on),
                median(rss), median(anon));
    std::printf("\ntrading mode costs %.2f %% of one core above the clock alone\n", median(on) - median(off));
    return 0;
}
