#include "trade/BuyRestrictions.h"

#include "platform/api/Platform.h"
#include "trade/StateMachine.h"
#include "trade/StockRules.h"
#include "trade/TradeOutcomeSink.h"
#include "trade/TradeTypes.h"

#include <QDebug>

#include <cmath>

namespace {

// Quantity × price and limit ÷ price of decimal prices land a hair below whole numbers in binary
// floating point (0.29 × 100 = 28.999…, 10000 ÷ 0.1 = 99999.999…), which would let an amount one
// yuan over the limit pass or lose a whole lot. A relative nudge of 1e-13 is far larger than
// that error and far smaller than any real fraction of a price with up to six decimals.
qint64 truncateMoney(double value)
{
    return static_cast<qint64>(std::floor(value * (1.0 + 1e-13)));
}

} // namespace

BuyLimits BuyLimits::fromSettings(const SettingsReader& value)
{
    BuyLimits limits;
    limits.onlyBond = value(QStringLiteral("Software/TdxOnlyZz"), false).toBool();
    limits.onlyMain = value(QStringLiteral("Software/TdxOnlyMain"), false).toBool();
    limits.notST = value(QStringLiteral("Software/TdxNotST"), false).toBool();
    limits.maxPriceLimit = value(QStringLiteral("Software/TdxBuyMaxPriceLimit"), false).toBool();
    limits.minPriceLimit = value(QStringLiteral("Software/TdxBuyMinPriceLimit"), false).toBool();
    limits.amountLimit = value(QStringLiteral("Software/TdxBuyAmountLimt"), false).toBool();
    limits.maxPrice = value(QStringLiteral("Software/TdxBuyMaxPrice"), 30).toInt();
    limits.minPrice = value(QStringLiteral("Software/TdxBuyMinPrice"), 0).toInt();
    limits.maxAmount = value(QStringLiteral("Software/TdxBuyMaxAmount"), 10000).toInt();
    return limits;
}

BuyRestrictions::BuyRestrictions(StateMachine& machine, TradeOutcomeSink& sink, platform::Desktop* desktop)
    : m_machine(machine), m_sink(sink), m_desktop(desktop)
{
}

platform::Desktop* BuyRestrictions::desktop() const
{
    return m_desktop ? m_desktop : platform::services().desktop;
}

int BuyRestrictions::restrictionReason(const QString& code, const QString& name) const
{
    if (m_limits.onlyBond && !StockRules::isConvertibleBond(code))
        return trade::Reason::NotBond;
    if (m_limits.onlyMain && !StockRules::isMainBoard(code))
        return trade::Reason::NotMainBoard;
    if (m_limits.notST && StockRules::isST(name))
        return trade::Reason::ST;
    return 0;
}

bool BuyRestrictions::priceLimitCheck()
{
    QString priceText;
    trade::HWND dialog = 0;
    {
        StateMachine::Lock lock(m_machine.mutex());
        priceText = m_machine.record()->priceText;
        dialog = m_machine.record()->hwnd;
    }
    if ((!m_limits.maxPriceLimit && !m_limits.minPriceLimit) || priceText.isEmpty() ||
        !StockRules::isPrice(priceText))
        return true;

    const double price = priceText.toDouble();
    if (m_limits.maxPriceLimit && price > m_limits.maxPrice) {
        qDebug().noquote() << "价格超限检测(高于上限): 当前价格=" << price << ", 上限=" << m_limits.maxPrice;
    } else if (m_limits.minPriceLimit && m_limits.minPrice > price) {
        qDebug().noquote() << "价格超限检测(低于下限): 当前价格=" << price << ", 下限=" << m_limits.minPrice;
    } else {
        return true;
    }

    m_sink.sendAction(trade::Action::Trade, trade::Reason::PriceLimit);
    m_machine.setStep(StateMachine::FinalStep);
    m_machine.markCommitted();
    platform::Desktop* d = desktop();
    const bool alive = dialog != 0 && d && d->isWindow(dialog);
    qDebug().noquote() << "准备关闭窗口: hwnd=" << dialog << ", IsWindow=" << (alive ? "true" : "false");
    if (alive) {
        qDebug().noquote() << "发送 requestCloseWindow 信号";
        m_sink.requestClose(dialog);
    } else {
        qDebug().noquote() << "窗口句柄无效，无法关闭";
    }
    return false;
}

bool BuyRestrictions::amountLimitCheck(int& quantity)
{
    if (m_machine.state() != StateMachine::FlashBuy || !m_limits.amountLimit)
        return true;

    QString priceText;
    QString code;
    {
        StateMachine::Lock lock(m_machine.mutex());
        priceText = m_machine.record()->priceText;
        code = m_machine.record()->code;
    }
    if (priceText.isEmpty()) {
        qDebug().noquote() << "价格为空，无法检查金额限制";
        return false;
    }
    if (!StockRules::isPrice(priceText)) {
        qDebug().noquote() << "价格格式错误：" << priceText;
        return false;
    }
    const double price = priceText.toDouble();
    if (!(price > 0)) {
        qDebug().noquote() << "价格无效：" << price;
        return false;
    }

    const int maxAmount = m_limits.maxAmount;
    const qint64 amount = truncateMoney(quantity * price);
    if (amount <= maxAmount) {
        qDebug().noquote() << "金额检查通过：数量=" << quantity << "，价格=" << price << "，金额=" << amount
                           << "，限额=" << maxAmount;
        return true;
    }

    qint64 newQuantity = maxAmount > 0 ? truncateMoney(maxAmount / price) : 0;
    const int lot = (m_limits.onlyBond || StockRules::isConvertibleBond(code)) ? 10 : 100;
    newQuantity -= newQuantity % lot;
    if (newQuantity < 1) {
        qDebug().noquote() << "❌ 调整后数量为0，无法交易：价格=" << price << "，限额=" << maxAmount;
        m_sink.sendNotice(trade::Action::Trade, trade::Reason::AmountLimit);
        return false;
    }
    qDebug().noquote() << "⚠️ 金额超限，自动调整数量：";
    qDebug().noquote() << "   原数量=" << quantity << "，原金额=" << amount;
    qDebug().noquote() << "   新数量=" << newQuantity << "，新金额=" << truncateMoney(newQuantity * price);
    qDebug().noquote() << "   价格=" << price << "，限额=" << maxAmount;
    quantity = static_cast<int>(newQuantity);
    return true;
}
