#include "ZkTest.h"

#include "SimFixture.h"
#include "trade/Clicker.h"

using platform::WindowId;

class TestClicker : public QObject
{
    Q_OBJECT

    static std::vector<std::uint32_t> downFlags(sim::SimDesktop& desktop)
    {
        std::vector<std::uint32_t> flags;
        for (const auto& input : desktop.inputLog()) {
            if (input.kind == sim::InputRecord::Kind::Mouse &&
                (input.mouseFlags & platform::mouseevent::Absolute))
                flags.push_back(input.mouseFlags);
        }
        return flags;
    }

private slots:
    void startsAtTheCursorAndAlternatesClicks()
    {
        SimFixture f;
        const WindowId front = f.window(f.client(), u"TdxW_MainFrame_Class", u"通达信");
        f.desktop().setWindowPos(front, platform::zorder::Topmost, 0, 0, 0, 0,
                                 platform::swp::NoMove | platform::swp::NoSize);
        f.desktop().setForegroundWindow(front);
        f.desktop().setCursorPos(400, 300);

        Clicker clicker;
        clicker.startAutoClicking();
        QVERIFY(clicker.isRunning());
        QCOMPARE(clicker.targetX(), 400);
        QCOMPARE(clicker.targetY(), 300);
        QVERIFY(clicker.tickTimer().isActive());
        QCOMPARE(clicker.tickTimer().interval(), 500);
        QVERIFY(clicker.checkTimer().isActive());
        QCOMPARE(clicker.checkTimer().interval(), 300);
        // The window in front loses its topmost state, so the clicks are not hidden behind it.
        QCOMPARE(f.desktop().windowExStyle(front) & platform::exstyle::Topmost, 0u);

        f.desktop().clearInputLog();
        clicker.onTimerTick();
        clicker.onTimerTick();
        clicker.onTimerTick();
        using namespace platform::mouseevent;
        QCOMPARE(
            downFlags(f.desktop()),
            (std::vector<std::uint32_t>{Absolute | LeftDown, Absolute | MiddleDown, Absolute | LeftDown}));
        const auto first = f.desktop().inputLog().front();
        QCOMPARE(first.dx, (65536 / 1920) * 400);
        QCOMPARE(first.dy, (65536 / 1080) * 300);
    }

    void aSecondStartKeepsThePoint()
    {
        SimFixture f;
        f.desktop().setCursorPos(100, 100);
        Clicker clicker;
        clicker.startAutoClicking();
        f.desktop().setCursorPos(105, 100);
        clicker.startAutoClicking();
        QCOMPARE(clicker.targetX(), 100);
    }

    void movingAwayStops_data()
    {
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<bool>("stops");
        QTest::newRow("10 px") << 10 << 0 << false;
        QTest::newRow("11 px") << 0 << -11 << true;
        QTest::newRow("diagonal 7/7") << 7 << 7 << false;
        QTest::newRow("diagonal 8/7") << 8 << 7 << true;
    }

    void movingAwayStops()
    {
        QFETCH(int, dx);
        QFETCH(int, dy);
        QFETCH(bool, stops);
        SimFixture f;
        f.desktop().setCursorPos(500, 500);
        Clicker clicker;
        clicker.startAutoClicking();
        f.desktop().setCursorPos(500 + dx, 500 + dy);
        clicker.checkMousePosition();
        QCOMPARE(clicker.isRunning(), !stops);
        QCOMPARE(clicker.tickTimer().isActive(), !stops);
        QCOMPARE(clicker.checkTimer().isActive(), !stops);

        f.desktop().clearInputLog();
        clicker.onTimerTick(); // a tick already queued does nothing once stopped
        QCOMPARE(downFlags(f.desktop()).size(), std::size_t(stops ? 0 : 1));
        if (stops) {
            // And it can be started again at the new point.
            clicker.startAutoClicking();
            QVERIFY(clicker.isRunning());
            QCOMPARE(clicker.targetX(), 500 + dx);
        }
    }
};

ZK_TEST_MAIN(TestClicker)
#include "tst_clicker.moc"
