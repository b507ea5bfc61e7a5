#include "ZkTest.h"

#include "platform/api/Clock.h"
#include "trade/StateMachine.h"
#include "trade/WindowState.h"

#include <QMetaProperty>

namespace {

void fillReadings(TradeWindowRecord& r)
{
    r.code = QStringLiteral("600000");
    r.name = QStringLiteral("浦发银行");
    r.quantityText = QStringLiteral("300");
    r.initialQuantityText = QStringLiteral("100");
    r.priceText = QStringLiteral("10.50");
    r.codeControl = 11;
    r.priceControl = 12;
    r.nameControl = 13;
    r.quantityControl = 14;
    r.maxQuantityControl = 15;
    r.markTime = 42;
}

bool readingsCleared(const TradeWindowRecord& r)
{
    return r.code.isEmpty() && r.name.isEmpty() && r.quantityText.isEmpty() &&
           r.initialQuantityText.isEmpty() && r.priceText.isEmpty() && r.codeControl == 0 &&
           r.priceControl == 0 && r.nameControl == 0 && r.quantityControl == 0 && r.maxQuantityControl == 0;
}

} // namespace

class TestStateMachine : public QObject
{
    Q_OBJECT

private slots:
    void newStateRestartsTheTransaction()
    {
        platform::ManualClock clock(1000);
        StateMachine m(clock);
        m.setState(StateMachine::TdxMain);
        m.setStep(3);
        m.record()->markTime = 77;
        clock.advance(250);

        m.setState(StateMachine::TdxDialog);
        QCOMPARE(m.state(), StateMachine::TdxDialog);
        QCOMPARE(m.step(), 0u);
        QCOMPARE(m.stateEnteredAt(), qint64(1250));
        QCOMPARE(m.stepChangedAt(), qint64(1250));
        QCOMPARE(m.record()->markTime, qint64(0));
    }

    void sameStateChangesNothing()
    {
        platform::ManualClock clock(1000);
        StateMachine m(clock);
        m.setState(StateMachine::FlashBuy);
        clock.advance(10);
        fillReadings(*m.record());
        m.setStep(2);
        clock.advance(10);

        m.setState(StateMachine::FlashBuy);
        QCOMPARE(m.step(), 2u);
        QCOMPARE(m.stateEnteredAt(), qint64(1000));
        QCOMPARE(m.stepChangedAt(), qint64(1010));
        QCOMPARE(m.record()->code, QStringLiteral("600000"));
        QCOMPARE(m.record()->quantityControl, trade::HWND(14));
        QCOMPARE(m.record()->markTime, qint64(42));
    }

    void enteringAnOrderDialogClearsReadings_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("FlashBuy after FlashSell")
            << int(StateMachine::FlashSell) << int(StateMachine::FlashBuy) << true;
        QTest::newRow("FlashSell after main")
            << int(StateMachine::TdxMain) << int(StateMachine::FlashSell) << true;
        QTest::newRow("FlashBuy again via Idle")
            << int(StateMachine::Idle) << int(StateMachine::FlashBuy) << true;
        QTest::newRow("confirm dialog keeps them")
            << int(StateMachine::FlashBuy) << int(StateMachine::TradeConfirm) << false;
        QTest::newRow("submitted notice keeps them")
            << int(StateMachine::FlashBuy) << int(StateMachine::OrderSubmitted) << false;
    }

    void enteringAnOrderDialogClearsReadings()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, cleared);
        platform::ManualClock clock;
        StateMachine m(clock);
        m.setState(StateMachine::State(from));
        fillReadings(*m.record());
        m.setState(StateMachine::State(to));
        QCOMPARE(readingsCleared(*m.record()), cleared);
        QCOMPARE(m.record()->markTime, qint64(0));
    }

    void secondOrderDialogWithoutStateChangeStartsAfresh()
    {
        platform::ManualClock clock(5000);
        StateMachine m(clock);
        m.setWindow(100, QStringLiteral("#32770"), QStringLiteral("闪电买入"));
        m.setState(StateMachine::FlashBuy);
        fillReadings(*m.record());
        m.setStep(StateMachine::FinalStep);
        clock.advance(300);

        // The same dialog again keeps everything.
        m.setWindow(100, QStringLiteral("#32770"), QStringLiteral("闪电买入"));
        QCOMPARE(m.step(), StateMachine::FinalStep);
        QCOMPARE(m.record()->code, QStringLiteral("600000"));

        // Another dialog in the same state: nothing of the first may be used for it.
        m.setWindow(200, QStringLiteral("#32770"), QStringLiteral("闪电买入"));
        m.setState(StateMachine::FlashBuy);
        QVERIFY(readingsCleared(*m.record()));
        QCOMPARE(m.step(), 0u);
        QCOMPARE(m.stateEnteredAt(), qint64(5300));
        QCOMPARE(m.record()->hwnd, trade::HWND(200));
    }

    void otherWindowOutsideOrderDialogsKeepsTheStep()
    {
        platform::ManualClock clock;
        StateMachine m(clock);
        m.setState(StateMachine::TdxMain);
        m.setWindow(100, QStringLiteral("TdxW_MainFrame_Class"), QStringLiteral("通达信"));
        m.setStep(5);
        m.setWindow(101, QStringLiteral("TdxW_MainFrame_Class"), QStringLiteral("通达信 版面"));
        QCOMPARE(m.step(), 5u);
        QCOMPARE(m.record()->title, QStringLiteral("通达信 版面"));
        QCOMPARE(m.record()->className, QStringLiteral("TdxW_MainFrame_Class"));
    }

    void advanceStepStopsAtTheEnd_data()
    {
        QTest::addColumn<unsigned>("from");
        QTest::addColumn<unsigned>("to");
        QTest::newRow("0") << 0u << 1u;
        QTest::newRow("5") << 5u << 6u;
        QTest::newRow("6") << 6u << 7u;
        QTest::newRow("7") << 7u << 7u;
        QTest::newRow("beyond") << 12u << 7u;
    }

    void advanceStepStopsAtTheEnd()
    {
        QFETCH(unsigned, from);
        QFETCH(unsigned, to);
        platform::ManualClock clock(100);
        StateMachine m(clock);
        m.setStep(from);
        clock.advance(20);
        m.advanceStep();
        QCOMPARE(m.step(), to);
        QCOMPARE(m.stepChangedAt(), qint64(120));
    }

    void setStepJumpsAndStamps()
    {
        platform::ManualClock clock(100);
        StateMachine m(clock);
        m.setState(StateMachine::FlashBuy);
        clock.advance(40);
        m.setStep(4);
        QCOMPARE(m.step(), 4u);
        QCOMPARE(m.stepChangedAt(), qint64(140));
        QCOMPARE(m.stateEnteredAt(), qint64(100));
    }

    void committedFlag()
    {
        platform::ManualClock clock;
        StateMachine m(clock);
        QVERIFY(!m.isCommitted());
        m.markCommitted();
        QVERIFY(m.isCommitted());
        // Committing outlives state changes: the next TDX main window clears it.
        m.setState(StateMachine::TdxMain);
        QVERIFY(m.isCommitted());
        m.clearCommitted();
        QVERIFY(!m.isCommitted());
    }

    void settersReenterTheLockHeldByTheCaller()
    {
        // The worker holds the lock while it updates several record fields and then moves the
        // step; the lock must let the same thread in again.
        platform::ManualClock clock;
        StateMachine m(clock);
        StateMachine::Lock lock(m.mutex());
        m.setState(StateMachine::FlashBuy);
        m.setWindow(3, QStringLiteral("#32770"), QStringLiteral("闪电买入"));
        m.advanceStep();
        m.markCommitted();
        QCOMPARE(m.window(), trade::HWND(3));
        QCOMPARE(m.step(), 1u);
    }

    void stateIsAMetaProperty()
    {
        platform::ManualClock clock;
        StateMachine m(clock);
        QVERIFY(m.setProperty("state", QVariant::fromValue(StateMachine::CancelAll)));
        QCOMPARE(m.state(), StateMachine::CancelAll);
        QCOMPARE(m.property("state").value<StateMachine::State>(), StateMachine::CancelAll);
        const QMetaProperty p = m.metaObject()->property(m.metaObject()->indexOfProperty("state"));
        QVERIFY(p.isEnumType());
        QCOMPARE(QString::fromLatin1(p.enumerator().valueToKey(StateMachine::TdxLayout)),
                 QStringLiteral("TdxLayout"));
    }

    void windowStateCopiesEverything()
    {
        platform::ManualClock clock(900);
        StateMachine m(clock);
        m.setWindow(7, QStringLiteral("#32770"), QStringLiteral("闪电卖出"));
        m.setState(StateMachine::FlashSell);
        fillReadings(*m.record());
        clock.advance(5);
        m.advanceStep();
        m.markCommitted();

        const WindowState s = WindowState::capture(m);
        QCOMPARE(s.state, StateMachine::FlashSell);
        QCOMPARE(s.step, 1u);
        QCOMPARE(s.stateEnteredAt, qint64(900));
        QCOMPARE(s.stepChangedAt, qint64(905));
        QVERIFY(s.committed);
        QCOMPARE(s.record.hwnd, trade::HWND(7));
        QCOMPARE(s.record.title, QStringLiteral("闪电卖出"));
        QCOMPARE(s.record.priceText, QStringLiteral("10.50"));
        QCOMPARE(s.record.maxQuantityControl, trade::HWND(15));

        // Travels through a queued connection once registered.
        trade::registerMetaTypes();
        QVERIFY(QMetaType::type("WindowState") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("trade::WPARAM") != QMetaType::UnknownType);
        const QVariant v = QVariant::fromValue(s);
        QCOMPARE(v.value<WindowState>().record.code, QStringLiteral("600000"));
    }
};

ZK_TEST_MAIN(TestStateMachine)
#include "tst_statemachine.moc"
