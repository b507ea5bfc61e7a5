// The practice window on the demo's simulated desktop.
//
//   change -> paint  A text set in an open 闪电买入 dialog from another thread (as the program's
//                    worker sets the quantity), to the end of the window's paint that shows it:
//                    the hand-over to the GUI thread, the snapshot, the layout and the paint.
//                    Median and p90 of each run, then the median over runs; the paint alone
//                    (repaint of the desk) beside it.
//   CPU at rest      CPU time of the whole process (every thread) over a window of seconds with
//                    nothing changing, with the practice window open over an open dialog, and for
//                    the baseline the same demo world without the window; in % of one core.
//
//   bench_practice [runs] [changes per run] [seconds at rest]     (defaults: 3 200 5)

#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/SimSystem.h"
#include "sim/practice/ChangeRelay.h"
#include "sim/practice/DeskView.h"
#include "sim/practice/PracticeWindow.h"
#include "sim/world/DemoWorld.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

namespace {

using practice::ChangeRelay;
using practice::PracticeWindow;

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// CPU of the whole process over seconds of an event loop in which nothing is asked to happen.
double cpuPercentAtRest(int seconds)
{
    const double before = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return 100.0 * (processCpuSeconds() - before) / (double(wall.nsecsElapsed()) / 1e9);
}

struct Run
{
    double medianMs = -1, p90Ms = -1, paintMs = -1;
};

Run measureChanges(DemoWorld& demo, PracticeWindow& window, int changes)
{
    sim::FakeTdx& tdx = demo.tdx();
    const sim::WindowId dialog = tdx.openFlashBuy({});
    const sim::WindowId quantity = tdx.control(dialog, sim::TdxField::Quantity);
    sim::SimDesktop& desktop = demo.system().desktop();

    std::vector<double> latencies;
    std::vector<double> paints;
    qint64 paintStart = 0;
    qint64 lastChange = 0;
    bool refreshed = false;
    auto onRefreshed = QObject::connect(&window, &PracticeWindow::refreshed, [&](qint64 firstChangeNs) {
        lastChange = firstChangeNs;
        refreshed = true;
    });
    auto onPainted = QObject::connect(window.desk(), &practice::DeskView::painted, [&] {
        if (paintStart)
            paints.push_back(double(ChangeRelay::nowNs() - paintStart) / 1e6);
        paintStart = 0;
    });
    for (int i = 0; i < changes; ++i) {
        refreshed = false;
        const std::u16string text = std::u16string(u"1") + std::u16string(std::size_t(i % 5 + 1), u'0');
        // The program's worker writes the quantity: not the GUI thread.
        std::thread writer([&] {
            sim::SimDesktop::ActingAs as(desktop.windowProcessId(dialog));
            desktop.sendMessage(quantity, platform::msg::SetText, 0, reinterpret_cast<std::intptr_t>(text.c_str()));
        });
        writer.join();
        while (!refreshed)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        latencies.push_back(double(ChangeRelay::nowNs() - lastChange) / 1e6);
        // The paint alone, for comparison.
        paintStart = ChangeRelay::nowNs();
        window.desk()->repaint();
    }
    QObject::disconnect(onRefreshed);
    QObject::disconnect(onPainted);
    Run run;
    run.medianMs = percentile(latencies, 0.5);
    run.p90Ms = percentile(latencies, 0.9);
    run.paintMs = percentile(paints, 0.5);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true); // settings of the restriction panel stay out of $HOME
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int changes = argc > 2 ? std::max(10, std::atoi(argv[2])) : 200;
    const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

    std::vector<Run> results;
    std::vector<double> restWith, restWithout;
    for (int r = 0; r < runs; ++r) {
        {
            DemoWorld demo(1);
            restWithout.push_back(cpuPercentAtRest(seconds));
        }
        DemoWorld demo(1);
        PracticeWindow window(demo);
        window.show();
        QCoreApplication::processEvents();
        results.push_back(measureChanges(demo, window, changes));
        restWith.push_back(cpuPercentAtRest(seconds));
    }

    std::printf("Practice window: change of the simulated desktop -> painted\n");
    std::printf("%d runs x %d changes, %d s at rest per window; medians over runs\n\n", runs, changes, seconds);
    std::printf("%-5s %12s %12s %12s %14s %14s\n", "run", "median ms", "p90 ms", "paint ms", "rest CPU %",
                "without %");
    std::vector<double> med, p90, paint;
    for (int r = 0; r < runs; ++r) {
        const Run& x = results[std::size_t(r)];
        std::printf("%-5d %12.3f %12.3f %12.3f %14.3f %14.3f\n", r, x.medianMs, x.p90Ms, x.paintMs,
                    restWith[std::size_t(r)], restWithout[std::size_t(r)]);
        med.push_back(x.medianMs);
        p90.push_back(x.p90Ms);
        paint.push_back(x.paintMs);
    }
    std::printf("%-5s %12.3f %12.3f %12.3f %14.3f %14.3f\n", "all", percentile(med, 0.5), percentile(p90, 0.5),
                percentile(paint, 0.5), percentile(restWith, 0.5), percentile(restWithout, 0.5));
    return 0;
}
