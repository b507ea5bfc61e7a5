#pragma once

// The keyboard's key functions as the practice keypad shows them: the key-map label of each
// function code and the colour of its kind (buys red, sells blue, cancels pink, the switch dark
// green), and which keys the keypad can press.

#include <QColor>
#include <QString>

namespace practice {

// The key-map label of a function code ("1/3买" for 13), the code in decimal when it has none.
QString keyLabel(int function);
// The colour of a key-map label, by the first rule that matches it.
QColor functionColour(const QString& label);

enum class KeyAction
{
    None,      // the client's own shortcut or a disabled key: the keypad leaves it out
    TradeKey,  // the keyboard reports the key and types the client's hot key
    WorkSwitch // the keyboard switches its trading mode
};
KeyAction keyActionOf(int function);

} // namespace practice
