#include "sim/practice/KeyFunctions.h"

#include <array>

namespace practice {

namespace {

struct Entry
{
    int function;
    const char* label;
};

constexpr std::array<Entry, 23> kLabels{{
    {0, "禁用"},   {1, "查询"},   {10, "定买"},  {11, "全买"},  {12, "1/2买"}, {13, "1/3买"},
    {14, "1/4买"}, {15, "1/5买"}, {17, "融市"},  {18, "融买"},  {19, "市买"},  {20, "定卖"},
    {21, "全卖"},  {22, "1/2卖"}, {23, "1/3卖"}, {24, "1/4卖"}, {25, "1/5卖"}, {29, "市卖"},
    {30, "撤单"},  {31, "全撤"},  {32, "撤买"},  {33, "撤卖"},  {55, "开关"},
}};

constexpr int kWorkSwitch = 55;

} // namespace

QString keyLabel(int function)
{
    for (const Entry& e : kLabels) {
        if (e.function == function)
            return QString::fromUtf8(e.label);
    }
    return QString::number(function);
}

QColor functionColour(const QString& label)
{
    if (label.contains(QStringLiteral("撤")))
        return QColor(255, 128, 192);
    if (label.contains(QStringLiteral("买")) || label.contains(QStringLiteral("融")))
        return QColor(Qt::red);
    if (label.contains(QStringLiteral("卖")))
        return QColor(128, 128, 255);
    if (label.contains(QStringLiteral("禁用")))
        return QColor(Qt::black);
    if (label.contains(QStringLiteral("开关")))
        return QColor(Qt::darkGreen);
    return QColor(255, 128, 128);
}

KeyAction keyActionOf(int function)
{
    if (function == kWorkSwitch)
        return KeyAction::WorkSwitch;
    // 定买 … 撤卖: the keys the keyboard reports as trade keys (query keys are the client's own).
    if (function >= 10 && function <= 33 && keyLabel(function) != QString::number(function))
        return KeyAction::TradeKey;
    return KeyAction::None;
}

} // namespace practice
