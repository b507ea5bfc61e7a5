#include "trade/KeyboardReports.h"

#include "trade/OutcomeMessages.h"

namespace OutcomeMessages {

QString keyboardReportText(int status, int reason, int keyFunction)
{
    switch (status) {
    case 2:
    case 3: {
        const QString text = reasonText(reason, Source::KeyboardReport, keyFunction);
        if (!text.isEmpty())
            return text;
        // A cancelled trade is always told, a plain notice only when it has something to say.
        return status == 2 ? QStringLiteral("交易取消") : QString();
    }
    case 6:
        return QStringLiteral("按键已禁用");
    case 9:
        return QStringLiteral("当前状态下不支持该操作");
    case 11:
        if (reason == 107)
            return QStringLiteral("买入数量为0");
        if (reason == 108)
            return QStringLiteral("卖出数量为0");
        return QStringLiteral("请输入数量");
    case 12:
        return QStringLiteral("按任意买卖键确认,按撤单键取消");
    default:
        return QString();
    }
}

QString confirmModeText(bool buyConfirm, bool sellConfirm, bool sayNeither)
{
    if (buyConfirm && sellConfirm)
        return QStringLiteral("买入和卖出交易都需要确认");
    if (buyConfirm)
        return QStringLiteral("买入需要确认");
    if (sellConfirm)
        return QStringLiteral("卖出需要确认");
    return sayNeither ? QStringLiteral("买卖都不需要确认") : QString();
}

QString tradeKeyUsedText(const QString& keyFunctionName, int reason, int elapsedMs)
{
    QString text = keyFunctionName;
    if (reason == 5)
        text += QStringLiteral(",请确认");
    if (elapsedMs != 0)
        text += QStringLiteral("耗时") + QString::number(elapsedMs) + QStringLiteral("毫秒");
    return text;
}

} // namespace OutcomeMessages
