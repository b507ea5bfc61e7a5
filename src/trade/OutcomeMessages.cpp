#include "trade/OutcomeMessages.h"

namespace OutcomeMessages {

QString reasonText(int reason, Source source, int keyFunction)
{
    const bool keyboard = source == Source::KeyboardReport;
    switch (reason) {
    case 1:
        return QStringLiteral("可买数量为0");
    case 2:
        return QStringLiteral("可卖数量为0");
    case 8:
        return QStringLiteral("当前状态不能交易");
    case 10:
        return QStringLiteral("你选的不是转债,交易取消");
    case 11:
        return QStringLiteral("你选的不是主板,交易取消");
    case 12:
        return QStringLiteral("你选的是ST股票,交易取消");
    case 15:
        return QStringLiteral("股票价格超过限制");
    case 16:
    case 105:
        return QStringLiteral("买入金额超过限额");
    case 99:
        return keyboard ? QStringLiteral("下单的股票不是你当前点击的,交易取消")
                        : QStringLiteral("下单的股票不是你当前点击的股票,交易取消");
    case 100:
        return QStringLiteral("股票代码未找到,交易取消");
    case 101:
        return QStringLiteral("股票数量未找到,交易取消");
    case 102:
        return QStringLiteral("股票价格未找到,交易取消");
    case 103:
        return QStringLiteral("最大可买卖数量未找到,交易取消");
    case 104:
        return QStringLiteral("该通达信版本未配置,交易取消");
    case 106:
        return QStringLiteral("股票没有价格");
    case 107:
        return QStringLiteral("买入数量为0");
    case 108:
        return QStringLiteral("卖出数量为0");
    case 109:
    case 110:
        if (!keyboard)
            return QString();
        return keyFunction >= 10 && keyFunction <= 19 ? QStringLiteral("可买数量为0")
                                                      : QStringLiteral("可卖数量为0");
    default:
        return QString();
    }
}

QString noticeText(int action, int reason)
{
    if (action == 255)
        return QStringLiteral("委托已提交");
    if (action != 64 && action != 128)
        return QString();
    const QString text = reasonText(reason, Source::Notice);
    if (!text.isEmpty())
        return text;
    return action == 128 ? QStringLiteral("交易取消") : QString();
}

} // namespace OutcomeMessages
