// Keyboard link on the simulated keyboard:
//  - latency from a report leaving the keyboard to dataArrived on the GUI thread (decoded), per
//    report, median and p99; baseline: the same report read by a bare thread straight from the
//    HID seam that wakes the waiting main thread (no Qt), so the ratio is what the transport, the
//    queued signal and decoding add;
//  - write path: frames per second that reach the keyboard, one frame at a time (each waits for
//    the previous to arrive) and queued all at once (packed into reports); baseline: the same
//    packed reports written straight into the seam.
// Several runs; each figure is the median over runs.
//
//   bench_keyboardlink [runs] [reports per run]

#include "keyboardlink/connection/RawHIDConnection.h"
#include "keyboardlink/connection/USBDevice.h"
#include "keyboardlink/protocol/DataParser.h"
#include "sim/keyboard/KeyboardSimulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const std::string kSerial = "ZK000001";
// The baseline reads from a keyboard of its own: reports of the measured keyboard read by a bare
// thread would also pile up, unread, in the connection's queue while the GUI thread waits, and the
// next run would measure that backlog instead of the link.
const std::string kBareSerial = "ZK000002";

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

struct Latency
{
    double medianUs = 0;
    double p99Us = 0;
};

// Report out of the keyboard → dataArrived on the GUI thread.
Latency guiLatency(sim::KeyboardSimulator& sim, RawHIDConnection& connection, int reports)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<double> us;
    us.reserve(reports);
    qint64 sent = 0;
    QEventLoop loop;
    auto arrived = QObject::connect(&connection, &RawHIDConnection::dataArrived, &loop, [&] {
        us.push_back((clock.nsecsElapsed() - sent) / 1000.0);
        loop.quit();
    });
    for (int i = 0; i < reports; ++i) {
        QTimer::singleShot(0, &loop, [&, i] {
            sent = clock.nsecsElapsed();
            sim.pressTradeKey(kSerial, static_cast<std::uint8_t>(10 + i % 6));
        });
        loop.exec();
    }
    QObject::disconnect(arrived);
    return {median(us), percentile(us, 0.99)};
}

// The same report read by a bare thread from the seam.
Latency bareLatency(sim::KeyboardSimulator& sim, int reports)
{
    platform::HidApi& hid = sim.hidApi();
    platform::HidDevice* handle = hid.openPath(sim.path(kBareSerial).c_str());
    std::mutex mutex;
    std::condition_variable cv;
    int received = 0;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        unsigned char report[64];
        while (!stop) {
            if (hid.readTimeout(handle, report, sizeof report, 50) > 0) {
                std::lock_guard<std::mutex> lock(mutex);
                ++received;
                cv.notify_all();
            }
        }
    });
    std::vector<double> us;
    for (int i = 0; i < reports; ++i) {
        const auto sent = std::chrono::steady_clock::now();
        sim.pressTradeKey(kBareSerial, 13);
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return received == i + 1; });
        // Taken where the waiting thread resumes: like dataArrived, two thread hops after the send.
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - sent).count());
    }
    stop = true;
    reader.join();
    hid.close(handle);
    return {median(us), percentile(us, 0.99)};
}

void waitForActions(sim::KeyboardSimulator& sim, size_t count)
{
    // Spins (yielding) rather than sleeping: a sleep's granularity would be all one measures.
    while (sim.tradeActions(kSerial).size() < count)
        std::this_thread::yield();
}

// Frames per second through the connection.
double framesPerSecond(sim::KeyboardSimulator& sim, RawHIDConnection& connection, int frames, bool oneAtATime)
{
    sim.clearRecords(kSerial);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < frames; ++i) {
        connection.sendTradeAction(i & 0xFF, 1);
        if (oneAtATime)
            waitForActions(sim, static_cast<size_t>(i + 1));
    }
    waitForActions(sim, static_cast<size_t>(frames));
    return frames / (clock.nsecsElapsed() / 1e9);
}

// Bare report writes into the seam, packed like the write thread packs them (9 frames each).
double bareWritesPerSecond(sim::KeyboardSimulator& sim, int frames)
{
    sim.clearRecords(kSerial);
    platform::HidApi& hid = sim.hidApi();
    platform::HidDevice* handle = hid.openPath(sim.path(kSerial).c_str());
    unsigned char report[64] = {0};
    const unsigned char frame[7] = {0x5A, 0xA1, 0x02, 0x01, 0x01, 0x00, 0xCA};
    for (int i = 0; i < 9; ++i)
        std::copy(frame, frame + 7, report + 1 + 7 * i);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < frames; i += 9)
        hid.write(handle, report, sizeof report);
    const double fps = frames / (clock.nsecsElapsed() / 1e9);
    hid.close(handle);
    return fps;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int reports = argc > 2 ? std::max(100, atoi(argv[2])) : 2000;
    const int frames = reports * 5;

    sim::KeyboardSimulator sim;
    sim.addKeyboard(kSerial);
    sim.addKeyboard(kBareSerial);
    sim.install();
    RawHIDConnection connection;
    USBDevice device(QString::fromStdString(kSerial), QString(), QString::fromStdString(sim.path(kSerial)), 0x3721,
                     0x2405);
    QIODevice* stream = connection.connectDevice(&device);
    if (!stream || !stream->open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot open the simulated keyboard\n");
        return 1;
    }

    std::vector<double> guiMedian, guiP99, bareMedian, bareP99, single, queued, bare;
    for (int run = 0; run < runs; ++run) {
        const Latency gui = guiLatency(sim, connection, reports);
        const Latency raw = bareLatency(sim, reports);
        guiMedian.push_back(gui.medianUs);
        guiP99.push_back(gui.p99Us);
        bareMedian.push_back(raw.medianUs);
        bareP99.push_back(raw.p99Us);
        single.push_back(framesPerSecond(sim, connection, reports, true));
        queued.push_back(framesPerSecond(sim, connection, frames, false));
        bare.push_back(bareWritesPerSecond(sim, frames));
    }

    std::printf("keyboard link on the simulated keyboard: %d runs, %d reports and %d queued frames per run "
                "(medians over runs)\n\n",
                runs, reports, frames);
    std::printf("%-52s %12s %12s\n", "report in -> dataArrived (GUI thread, decoded)", "median us", "p99 us");
    std::printf("%-52s %12.1f %12.1f\n", "  RawHIDConnection", median(guiMedian), median(guiP99));
    std::printf("%-52s %12.1f %12.1f\n", "  baseline: bare reader thread waking the main thread", median(bareMedian),
                median(bareP99));
    std::printf("%-52s %12.2f %12.2f\n\n", "  ratio", median(guiMedian) / median(bareMedian),
                median(guiP99) / median(bareP99));
    std::printf("%-52s %12s\n", "write path (7-byte frames reaching the keyboard)", "frames/s");
    std::printf("%-52s %12.0f\n", "  one at a time (each waits for the previous)", median(single));
    std::printf("%-52s %12.0f\n", "  queued at once (packed, 9 per report)", median(queued));
    std::printf("%-52s %12.0f\n", "  baseline: bare packed report writes on the seam", median(bare));
    std::printf("%-52s %12.2f\n", "  queued / baseline", median(queued) / median(bare));
    std::fflush(stdout);
    connection.disconnectDevice();
    return 0;
}
