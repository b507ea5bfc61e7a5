#include "KeyFunctions.h"

#include "keyboardlink/protocol/Protocol.h"

namespace KeyFunctions {

const QVector<QPair<QString, int>>& labelMap()
{
    static const QVector<QPair<QString, int>> map = [] {
        // Disabled and query first, then the buys (margin and market buys beside the fixed-amount buy), the
        // sells, the cancels and the trading switch.
        const int order[] = {0,  1,  10, 17, 18, 19, 11, 12, 13, 14, 15, 20,
                             21, 22, 23, 24, 25, 29, 30, 31, 32, 33, 55};
        QVector<QPair<QString, int>> m;
        for (int code : order)
            m.append({Protocol::keyMapLabel(code), code});
        return m;
    }();
    return map;
}

QString labelOf(int code)
{
    for (const auto& entry : labelMap())
        if (entry.second == code)
            return entry.first;
    return QString::number(code);
}

std::optional<int> codeOf(const QString& label)
{
    for (const auto& entry : labelMap())
        if (entry.first == label)
            return entry.second;
    return std::nullopt;
}

QColor color(const QString& label)
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

} // namespace KeyFunctions
