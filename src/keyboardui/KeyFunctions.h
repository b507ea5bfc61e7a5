#pragma once

// The key functions as the key map editor shows them: their labels (with the codes they stand
// for, in the editor's order) and the colour of each function.

#include <QColor>
#include <QPair>
#include <QString>
#include <QVector>

#include <optional>

namespace KeyFunctions {

// Label and code of every function a key can be given, in the order the editor offers them.
const QVector<QPair<QString, int>>& labelMap();
// The label of a code, or the code as a decimal number when no label stands for it.
QString labelOf(int code);
// The code a label stands for; nothing for a label the editor does not know (a bare number).
std::optional<int> codeOf(const QString& label);
// The colour of a function, by the first rule its label matches: cancels pink, buys and margin
// buys red, sells blue, disabled black, the trading switch dark green, anything else salmon.
QColor color(const QString& label);

} // namespace KeyFunctions
