#pragma once

// Which of the keyboard's key functions the practice keypad can press. Their labels and colours
// are the key map editor's (keyboardui/KeyFunctions.h).

namespace practice {

enum class KeyAction
{
    None,      // the client's own shortcut or a disabled key: the keypad leaves it out
    TradeKey,  // the keyboard reports the key and types the client's hot key
    WorkSwitch // the keyboard switches its trading mode
};
KeyAction keyActionOf(int function);

} // namespace practice
