#include "ZkTest.h"

#include "platform/api/Clock.h"
#include "trade/ControlDetector.h"
#include "trade/DetectionWorker.h"
#include "trade/StateMachine.h"

#include <QSignalSpy>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// Records the windows it is run for. With holdUntilStopped, a run lasts until stop() is called,
// like the order dialog worker on a dialog that never finishes.
class RecordingWorker : public DetectionWorker
{
public:
    explicit RecordingWorker(bool holdUntilStopped = false) : m_hold(holdUntilStopped) {}

    void performDetection(trade::WPARAM hwnd) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_runs.push_back(hwnd);
        m_running = true;
        if (m_hold)
            m_changed.wait(lock, [this] { return !m_running; });
        m_running = false;
    }
    void stop() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_stops;
        m_running = false;
        m_changed.notify_all();
    }
    bool isRunning() const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_running;
    }
    std::vector<trade::WPARAM> runs() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_runs;
    }
    int stops() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stops;
    }

private:
    const bool m_hold;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<trade::WPARAM> m_runs;
    bool m_running = false;
    int m_stops = 0;
};

// A worker caught in a call that does not come back (a client that never answers): stop() cannot
// reach it until release().
class StuckWorker : public DetectionWorker
{
public:
    void performDetection(trade::WPARAM) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_inside = true;
        m_changed.wait(lock, [this] { return m_released; });
        m_inside = false;
    }
    void stop() override {}
    bool isRunning() const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_inside;
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_inside = false;
    bool m_released = false;
};

// Counts taskCompleted on the test's thread: the signal comes from the detector thread and is
// delivered queued, so the count is never read while the detector writes it.
class CompletionCounter : public QObject
{
public:
    explicit CompletionCounter(ControlDetector* detector)
    {
        connect(detector, &ControlDetector::taskCompleted, this, [this] { ++m_count; });
    }
    int count() const { return m_count; }

private:
    int m_count = 0;
};

} // namespace

class TestControlDetector : public QObject
{
    Q_OBJECT

    platform::ManualClock m_clock;
    StateMachine m_machine{m_clock};

private slots:
    void runsTheTaskAndReportsCompletion()
    {
        RecordingWorker worker;
        ControlDetector detector(&m_machine, &worker);
        CompletionCounter completed(&detector);
        detector.start();
        detector.setNewTask(0x1234);
        QTRY_COMPARE(completed.count(), 1);
        QCOMPARE(worker.runs(), std::vector<trade::WPARAM>{0x1234});

        detector.setNewTask(0x5678);
        QTRY_COMPARE(completed.count(), 2);
        QCOMPARE(worker.runs(), (std::vector<trade::WPARAM>{0x1234, 0x5678}));
        detector.stop();
        QVERIFY(detector.isFinished());
    }

    void aNewerTaskReplacesThePendingOne()
    {
        RecordingWorker worker;
        ControlDetector detector(&m_machine, &worker);
        CompletionCounter completed(&detector);
        // Both arrive before the thread looks at its slot: only the newer window is processed.
        detector.setNewTask(0xA);
        detector.setNewTask(0xB);
        detector.start();
        QTRY_COMPARE(completed.count(), 1);
        detector.stop();
        QCoreApplication::processEvents(); // everything the finished thread emitted
        QCOMPARE(worker.runs(), std::vector<trade::WPARAM>{0xB});
        QCOMPARE(completed.count(), 1);
    }

    void aTaskArrivingDuringARunWaitsForIt()
    {
        RecordingWorker worker(true);
        ControlDetector detector(&m_machine, &worker);
        CompletionCounter completed(&detector);
        detector.start();
        detector.setNewTask(0x1);
        QTRY_VERIFY(worker.isRunning());
        detector.setNewTask(0x2);
        detector.setNewTask(0x3);
        QCOMPARE(worker.runs(), std::vector<trade::WPARAM>{0x1});
        worker.stop(); // the first dialog's transaction ends
        QTRY_COMPARE(worker.runs().size(), std::size_t(2));
        QCOMPARE(worker.runs().back(), trade::WPARAM(0x3));
        worker.stop();
        QTRY_COMPARE(completed.count(), 2);
        detector.stop();
    }

    void stopInterruptsARunningTaskAndDropsThePendingOne()
    {
        RecordingWorker worker(true);
        ControlDetector detector(&m_machine, &worker);
        CompletionCounter completed(&detector);
        detector.start();
        detector.setNewTask(0x10);
        QTRY_VERIFY(worker.isRunning());
        detector.setNewTask(0x20);

        detector.stop(); // returns only once the worker has left performDetection
        QVERIFY(detector.isFinished());
        QVERIFY(!worker.isRunning());
        QVERIFY(worker.stops() >= 1);
        QCOMPARE(worker.runs(), std::vector<trade::WPARAM>{0x10});
        QCoreApplication::processEvents();
        QCOMPARE(completed.count(), 1);
    }

    // Stopping never waits on a worker that cannot leave: after a bounded wait the thread is left
    // to end by itself, which it does as soon as the call returns.
    void stopGivesUpOnAStuckWorker()
    {
        StuckWorker worker;
        ControlDetector detector(&m_machine, &worker);
        QSignalSpy finished(&detector, &QThread::finished);
        detector.start();
        detector.setNewTask(0x10);
        QTRY_VERIFY(worker.isRunning());

        QVERIFY(!detector.stop());
        QVERIFY(detector.isRunning());
        QCOMPARE(finished.count(), 0);
        worker.release();
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(detector.isFinished());
    }

    void stopWhenIdleAndTwice()
    {
        RecordingWorker worker;
        ControlDetector detector(&m_machine, &worker);
        detector.start();
        QTRY_VERIFY(detector.isRunning());
        detector.stop();
        QVERIFY(detector.isFinished());
        QCOMPARE(worker.stops(), 0);
        detector.stop();
        QVERIFY(worker.runs().empty());

        // It can be started again after a stop, as the manager does on the next trading mode.
        CompletionCounter completed(&detector);
        detector.start();
        detector.setNewTask(0x77);
        QTRY_COMPARE(completed.count(), 1);
        QCOMPARE(worker.runs(), std::vector<trade::WPARAM>{0x77});
    }

    void destructorStopsTheThread()
    {
        RecordingWorker worker(true);
        {
            ControlDetector detector(&m_machine, &worker);
            detector.start();
            detector.setNewTask(0x99);
            QTRY_VERIFY(worker.isRunning());
        }
        QVERIFY(!worker.isRunning());
        QCOMPARE(worker.runs(), std::vector<trade::WPARAM>{0x99});
    }
};

ZK_TEST_MAIN(TestControlDetector)
#include "tst_controldetector.moc"
