// Sleeps as Windows ends them, on a manual clock whose start lies on a 15.625 ms tick: the first
// tick at or after the due time, 1 ms ticks while a fine timer is held, holds that nest.

#include "ZkTest.h"

#include "platform/api/Clock.h"

using platform::ManualClock;
using platform::WindowsTimerClock;

namespace {

// On a tick: 1'700'000'000'000 ms is 108'800'000'000 ticks of 15.625 ms.
constexpr std::int64_t kTickStart = 1'700'000'000'000;

} // namespace

class TestWindowsTimerClock : public QObject
{
    Q_OBJECT
private slots:
    void sleepEndsOnTheNextTick_data()
    {
        QTest::addColumn<int>("offset"); // from the tick
        QTest::addColumn<int>("ms");
        QTest::addColumn<bool>("fine");
        QTest::addColumn<int>("slept");
        QTest::newRow("1 ms from a tick") << 0 << 1 << false << 16; // the tick at 15.625
        QTest::newRow("15 ms from a tick") << 0 << 15 << false << 16;
        QTest::newRow("16 ms from a tick") << 0 << 16 << false << 32; // 31.25
        QTest::newRow("1 ms, 5 ms after a tick") << 5 << 1 << false << 11;
        QTest::newRow("1 ms, on 16") << 16 << 1 << false << 16; // 16 + 1 → 31.25
        QTest::newRow("30 ms, on 62") << 62 << 30 << false << 32;   // 92 → 93.75
        QTest::newRow("0 ms") << 5 << 0 << false << 0;
        QTest::newRow("fine: 1 ms") << 5 << 1 << true << 1;
        QTest::newRow("fine: 30 ms") << 7 << 30 << true << 30;
    }

    void sleepEndsOnTheNextTick()
    {
        QFETCH(int, offset);
        QFETCH(int, ms);
        QFETCH(bool, fine);
        QFETCH(int, slept);
        ManualClock inner(kTickStart + offset);
        WindowsTimerClock clock(inner);
        if (fine)
            clock.beginFineTimer();
        const std::int64_t wallBefore = clock.nowMs();
        clock.sleepMs(ms);
        QCOMPARE(clock.monotonicMs() - (kTickStart + offset), std::int64_t(slept));
        QCOMPARE(clock.nowMs() - wallBefore, std::int64_t(slept));
    }

    void passesOfTwoMsTakeATickEach()
    {
        // The order dialog worker's pass loop: ten 2 ms sleeps are ten ticks, not 20 ms.
        ManualClock inner(kTickStart);
        WindowsTimerClock clock(inner);
        for (int i = 0; i < 10; ++i)
            clock.sleepMs(2);
        QCOMPARE(clock.monotonicMs() - kTickStart, std::int64_t(157)); // 156.25 rounded up
        clock.beginFineTimer();
        const std::int64_t start = clock.monotonicMs();
        for (int i = 0; i < 10; ++i)
            clock.sleepMs(2);
        QCOMPARE(clock.monotonicMs() - start, std::int64_t(20));
    }

    void fineTimerHoldsNest()
    {
        ManualClock inner(kTickStart);
        WindowsTimerClock clock(inner);
        clock.endFineTimer(); // nothing held: still coarse, and no debt
        clock.beginFineTimer();
        clock.beginFineTimer();
        clock.endFineTimer();
        QCOMPARE(clock.fineTimerHolds(), 1);
        std::int64_t start = clock.monotonicMs();
        clock.sleepMs(1);
        QCOMPARE(clock.monotonicMs() - start, std::int64_t(1));
        clock.endFineTimer();
        clock.endFineTimer();
        QCOMPARE(clock.fineTimerHolds(), 0);
        start = clock.monotonicMs();
        clock.sleepMs(1);
        QCOMPARE(clock.monotonicMs() - start, std::int64_t(15)); // 1 + 1 → 15.625
        clock.beginFineTimer();
        QCOMPARE(clock.fineTimerHolds(), 1);
    }
};

ZK_TEST_MAIN(TestWindowsTimerClock)
#include "tst_windowstimerclock.moc"
