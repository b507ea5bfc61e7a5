#include "sim/practice/KeyFunctions.h"

#include "keyboardui/KeyFunctions.h"

namespace practice {

namespace {
constexpr int kWorkSwitch = 55;
} // namespace

KeyAction keyActionOf(int function)
{
    if (function == kWorkSwitch)
        return KeyAction::WorkSwitch;
    // 定买 … 撤卖: the keys the keyboard reports as trade keys (query keys are the client's own).
    if (function >= 10 && function <= 33 && KeyFunctions::codeOf(KeyFunctions::labelOf(function)))
        return KeyAction::TradeKey;
    return KeyAction::None;
}

} // namespace practice
