#pragma once

#include "trade/StateMachine.h"

#include <QMetaType>

// A value copy of the state machine at one moment: the record, the state, the step, their
// time stamps and the committed flag. It
// travels in queued signals (the worker's detectionFinished), so it is a registered meta type.
struct WindowState
{
    TradeWindowRecord record;
    StateMachine::State state = StateMachine::Idle;
    unsigned step = 0;
    qint64 stateEnteredAt = 0;
    qint64 stepChangedAt = 0;
    bool committed = false;

    // Copies the state machine under its lock.
    static WindowState capture(const StateMachine& machine);
};

Q_DECLARE_METATYPE(WindowState)
