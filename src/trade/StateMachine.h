#pragma once

#include "trade/TradeWindowRecord.h"

#include <QObject>
#include <atomic>
#include <mutex>

namespace platform {
class Clock;
}

// The one shared record of the trade in progress: which trading-client window is in front and of
// what kind (the state), how far the automation has got with it (the step, 0 … 7), when each
// began, what was read out of the order dialog and whether the order has been committed.
//
// The desktop watcher thread, the GUI thread and the control detector thread all use it. Every
// setter takes one recursive lock; state, step, the two times and the committed flag are atomic
// reads without the lock. The record is reached by pointer: the worker owns its reading fields,
// the watcher writes window, class and title through setWindow. Code that reads the record from
// another thread than the one writing it holds mutex() meanwhile (WindowState::capture does).
class StateMachine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(State state READ state WRITE setState)

public:
    enum State
    {
        Idle = 0,
        ThsMain = 1,
        ThsYhMain = 2,
        ThsDialog = 3,
        TdxLayout = 4,
        TdxMain = 5,
        FlashBuy = 6,
        FlashSell = 7,
        TdxDialog = 8,
        SelectDialog = 9,
        TradeConfirm = 10,
        OrderSubmitted = 11,
        CancelConfirm = 12,
        CancelAll = 13,
    };
    Q_ENUM(State)

    // The end of the transaction for this window: nothing more is done until the state changes
    // or the step is reset.
    static constexpr unsigned FinalStep = 7;

    // Time comes from platform::services().clock.
    explicit StateMachine(QObject* parent = nullptr);
    explicit StateMachine(platform::Clock& clock, QObject* parent = nullptr);

    void setState(State state);
    State state() const { return m_state.load(); }

    // Stores the window into the record. A different window while an order dialog state
    // (FlashBuy, FlashSell) is current starts its transaction afresh, as entering the state does.
    void setWindow(trade::HWND hwnd, const QString& className, const QString& title);

    void setStep(unsigned step);
    void advanceStep();
    unsigned step() const { return m_step.load(); }

    // Every transaction has a number of its own (a new window, a new state): what was decided
    // for one must never act on the next.
    quint64 transaction() const { return m_transaction.load(); }
    // The record as one consistent moment: window, title, state, step and transaction read
    // under the lock together.
    struct Snapshot
    {
        trade::HWND window = 0;
        QString className;
        QString title;
        State state = Idle;
        unsigned step = 0;
        quint64 transaction = 0;
        qint64 stateEnteredAt = 0;
    };
    Snapshot snapshot() const;
    // setStep / advanceStep that act only while transaction is still the current one; false
    // (and nothing changed) when the watcher has started another meanwhile.
    bool setStepIn(quint64 transaction, unsigned step);
    bool advanceStepIn(quint64 transaction);

    qint64 stateEnteredAt() const { return m_stateEnteredAt.load(); }
    qint64 stepChangedAt() const { return m_stepChangedAt.load(); }

    void markCommitted();
    void clearCommitted();
    bool isCommitted() const { return m_committed.load(); }

    TradeWindowRecord* record() { return &m_record; }
    const TradeWindowRecord* record() const { return &m_record; }

    // The lock every setter takes; hold it while reading or writing several record fields that
    // another thread may change.
    // A standard recursive mutex: visible to the thread sanitizer, unlike Qt's.
    using Lock = std::lock_guard<std::recursive_mutex>;
    std::recursive_mutex& mutex() const { return m_mutex; }
    // The current window, read under the lock.
    trade::HWND window() const;

    platform::Clock& clock() const { return m_clock; }
    qint64 now() const;

private:
    // Step 0 of a new transaction: times, mark, and for order dialogs the readings and caches.
    void beginTransaction();

    platform::Clock& m_clock;
    mutable std::recursive_mutex m_mutex;
    TradeWindowRecord m_record;
    std::atomic<State> m_state{Idle};
    std::atomic<qint64> m_stateEnteredAt{0};
    std::atomic<unsigned> m_step{0};
    std::atomic<qint64> m_stepChangedAt{0};
    std::atomic<bool> m_committed{false};
    std::atomic<quint64> m_transaction{0};
};
