#include "trade/WindowState.h"

WindowState WindowState::capture(const StateMachine& machine)
{
    StateMachine::Lock lock(machine.mutex());
    WindowState copy;
    copy.record = *machine.record();
    copy.state = machine.state();
    copy.step = machine.step();
    copy.stateEnteredAt = machine.stateEnteredAt();
    copy.stepChangedAt = machine.stepChangedAt();
    copy.committed = machine.isCommitted();
    return copy;
}
