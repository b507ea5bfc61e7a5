#include "trade/StateMachine.h"

#include "platform/api/Platform.h"

StateMachine::StateMachine(QObject* parent) : StateMachine(*platform::services().clock, parent) {}

StateMachine::StateMachine(platform::Clock& clock, QObject* parent) : QObject(parent), m_clock(clock) {}

qint64 StateMachine::now() const
{
    return m_clock.monotonicMs();
}

void StateMachine::setState(State state)
{
    Lock lock(m_mutex);
    if (state == m_state.load())
        return;
    m_state = state;
    beginTransaction();
}

void StateMachine::setWindow(trade::HWND hwnd, const QString& className, const QString& title)
{
    Lock lock(m_mutex);
    const bool otherWindow = hwnd != m_record.hwnd;
    m_record.hwnd = hwnd;
    m_record.className = className;
    m_record.title = title;
    // A second order dialog may follow the first without a state change in between (FlashBuy to
    // FlashBuy). Its transaction starts afresh as well: the first dialog's code, quantity and
    // control handles must never be used for it.
    const State current = m_state.load();
    if (otherWindow && (current == FlashBuy || current == FlashSell))
        beginTransaction();
}

void StateMachine::beginTransaction()
{
    const qint64 t = now();
    ++m_transaction;
    m_record.markTime = 0;
    m_step = 0;
    m_stateEnteredAt = t;
    m_stepChangedAt = t;
    // A new order dialog must never inherit what was read from the previous one.
    const State current = m_state.load();
    if (current == FlashBuy || current == FlashSell) {
        m_record.code.clear();
        m_record.name.clear();
        m_record.quantityText.clear();
        m_record.initialQuantityText.clear();
        m_record.priceText.clear();
        m_record.codeControl = 0;
        m_record.priceControl = 0;
        m_record.nameControl = 0;
        m_record.quantityControl = 0;
        m_record.maxQuantityControl = 0;
    }
}

void StateMachine::setStep(unsigned step)
{
    Lock lock(m_mutex);
    m_step = step;
    m_stepChangedAt = now();
}

void StateMachine::advanceStep()
{
    Lock lock(m_mutex);
    m_stepChangedAt = now();
    const unsigned current = m_step.load();
    m_step = current >= FinalStep ? FinalStep : current + 1;
}

StateMachine::Snapshot StateMachine::snapshot() const
{
    Lock lock(m_mutex);
    Snapshot s;
    s.window = m_record.hwnd;
    s.className = m_record.className;
    s.title = m_record.title;
    s.state = m_state.load();
    s.step = m_step.load();
    s.transaction = m_transaction.load();
    s.stateEnteredAt = m_stateEnteredAt.load();
    return s;
}

bool StateMachine::setStepIn(quint64 transaction, unsigned step)
{
    Lock lock(m_mutex);
    if (transaction != m_transaction.load())
        return false;
    setStep(step);
    return true;
}

bool StateMachine::advanceStepIn(quint64 transaction)
{
    Lock lock(m_mutex);
    if (transaction != m_transaction.load())
        return false;
    advanceStep();
    return true;
}

void StateMachine::markCommitted()
{
    Lock lock(m_mutex);
    m_committed = true;
}

void StateMachine::clearCommitted()
{
    Lock lock(m_mutex);
    m_committed = false;
}

trade::HWND StateMachine::window() const
{
    Lock lock(m_mutex);
    return m_record.hwnd;
}
