#include "trade/OutcomeMessages.h"

#include "trade/TradeTypes.h"

namespace OutcomeMessages {

namespace {

namespace Reason = trade::Reason;

struct ReasonText
{
    int reason;
    const char* notice;   // UTF-8; what a notice of the worker speaks
    const char* keyboard; // what a keyboard report speaks, null: as the notice
};

// Every reason with a text. 109 and 110 are the keyboard's own and depend on its key.
constexpr ReasonText ReasonTexts[] = {
    {Reason::BuyZero, "可买数量为0", nullptr},
    {Reason::SellZero, "可卖数量为0", nullptr},
    {Reason::CannotTrade, "当前状态不能交易", nullptr},
    {Reason::NotBond, "你选的不是转债,交易取消", nullptr},
    {Reason::NotMainBoard, "你选的不是主板,交易取消", nullptr},
    {Reason::ST, "你选的是ST股票,交易取消", nullptr},
    {Reason::PriceLimit, "股票价格超过限制", nullptr},
    {Reason::AmountLimit, "买入金额超过限额", nullptr},
    {Reason::AmountLimitKeyboard, "买入金额超过限额", nullptr},
    {Reason::NotClickedStock, "下单的股票不是你当前点击的股票,交易取消", "下单的股票不是你当前点击的,交易取消"},
    {Reason::NoCode, "股票代码未找到,交易取消", nullptr},
    {Reason::NoQuantity, "股票数量未找到,交易取消", nullptr},
    {Reason::NoPrice, "股票价格未找到,交易取消", nullptr},
    {Reason::BadMaximum, "最大可买卖数量未找到,交易取消", nullptr},
    {Reason::NoMaximumIndex, "该通达信版本未配置,交易取消", nullptr},
    {Reason::NoPriceValue, "股票没有价格", nullptr},
    {Reason::FixedBuyEmpty, "买入数量为0", nullptr},
    {Reason::FixedSellEmpty, "卖出数量为0", nullptr},
};

} // namespace

QString reasonText(int reason, Source source, int keyFunction)
{
    const bool keyboard = source == Source::KeyboardReport;
    if (reason == Reason::KeyboardBuyZero || reason == Reason::KeyboardSellZero) {
        if (!keyboard)
            return QString();
        return keyFunction >= 10 && keyFunction <= 19 ? QStringLiteral("可买数量为0")
                                                      : QStringLiteral("可卖数量为0");
    }
    for (const ReasonText& entry : ReasonTexts) {
        if (entry.reason == reason)
            return QString::fromUtf8(keyboard && entry.keyboard ? entry.keyboard : entry.notice);
    }
    return QString();
}

QString noticeText(int action, int reason)
{
    if (action == trade::Action::Submitted)
        return QStringLiteral("委托已提交");
    if (action != trade::Action::Trade && action != trade::Action::KeyboardTimeout)
        return QString();
    const QString text = reasonText(reason, Source::Notice);
    if (!text.isEmpty())
        return text;
    return action == trade::Action::KeyboardTimeout ? QStringLiteral("交易取消") : QString();
}

} // namespace OutcomeMessages
