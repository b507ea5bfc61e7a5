// The hand-over of "the model changed" from the simulators' threads to the GUI thread: bursts
// become one delivery carrying the first change's time, and a trigger outliving its relay is
// harmless.

#include "ZkTest.h"

#include "sim/practice/ChangeRelay.h"

#include <functional>
#include <memory>
#include <thread>

using practice::ChangeRelay;

class TestChangeRelay : public QObject
{
    Q_OBJECT

private slots:
    void aBurstOnAnotherThreadIsDeliveredOnceOnTheRelaysThread()
    {
        ChangeRelay relay;
        QVector<qint64> times;
        QVector<Qt::HANDLE> threads;
        connect(&relay, &ChangeRelay::changed, this, [&](qint64 t) {
            times.append(t);
            threads.append(QThread::currentThreadId());
        });
        const std::function<void()> trigger = relay.trigger();
        const qint64 before = ChangeRelay::nowNs();
        std::thread burst([&] {
            for (int i = 0; i < 1000; ++i)
                trigger();
        });
        burst.join();
        const qint64 after = ChangeRelay::nowNs();
        QTRY_COMPARE(times.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(times.size(), 1);
        QCOMPARE(threads.at(0), QThread::currentThreadId());
        QVERIFY(times.at(0) >= before && times.at(0) <= after);

        // After a delivery the next change is announced again.
        trigger();
        QTRY_COMPARE(times.size(), 2);
    }

    void aTriggerOutlivingItsRelayDoesNothing()
    {
        auto relay = std::make_unique<ChangeRelay>();
        const std::function<void()> trigger = relay->trigger();
        trigger(); // a delivery is on its way
        relay.reset();
        trigger();
        QCoreApplication::processEvents(); // the pending delivery went with the relay
    }
};

ZK_TEST_MAIN(TestChangeRelay)
#include "tst_changerelay.moc"
