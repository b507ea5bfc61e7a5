#include "sim/practice/OrderRows.h"

#include "trade/OutcomeMessages.h"

#include <QDateTime>

namespace practice {

namespace {

QString kindText(sim::Order::Kind kind)
{
    switch (kind) {
    case sim::Order::Kind::Buy:
        return QStringLiteral("买入");
    case sim::Order::Kind::MarginBuy:
        return QStringLiteral("融资买入");
    case sim::Order::Kind::Sell:
        return QStringLiteral("卖出");
    case sim::Order::Kind::Cancel:
        return QStringLiteral("撤单");
    case sim::Order::Kind::CancelAll:
        return QStringLiteral("全撤");
    }
    return QString();
}

} // namespace

OrderRow orderRow(const sim::Order& order)
{
    OrderRow row;
    const bool placed = order.status == sim::Order::Status::Submitted;
    row.outcome = placed ? OrderRow::Outcome::Placed : OrderRow::Outcome::RefusedByClient;
    row.time = QDateTime::fromMSecsSinceEpoch(order.timeMs).toString(QStringLiteral("HH:mm:ss"));
    row.client = order.client == sim::Order::Client::Tdx ? QStringLiteral("通达信") : QStringLiteral("同花顺");
    row.kind = kindText(order.kind);
    row.code = QString::fromStdU16String(order.code);
    row.name = QString::fromStdU16String(order.name);
    row.price = QString::fromStdU16String(order.price);
    const bool cancel = order.kind == sim::Order::Kind::Cancel || order.kind == sim::Order::Kind::CancelAll;
    row.quantity = cancel && order.quantity == 0 ? QString() : QString::number(order.quantity);
    const QString message = QString::fromStdU16String(order.message);
    row.detail = placed && !cancel ? QStringLiteral("合同编号 %1").arg(message) : message;
    return row;
}

bool isRefusal(std::uint8_t action, std::uint8_t reason)
{
    return action == 64 && reason != 0;
}

OrderRow refusalRow(std::uint8_t reason, const QString& time)
{
    OrderRow row;
    row.outcome = OrderRow::Outcome::RefusedByProgram;
    row.time = time;
    row.client = QStringLiteral("程序");
    row.detail = OutcomeMessages::reasonText(reason);
    if (row.detail.isEmpty())
        row.detail = QStringLiteral("原因 %1").arg(reason);
    return row;
}

QString outcomeText(OrderRow::Outcome outcome)
{
    switch (outcome) {
    case OrderRow::Outcome::Placed:
        return QStringLiteral("已委托");
    case OrderRow::Outcome::RefusedByClient:
        return QStringLiteral("客户端拒绝");
    case OrderRow::Outcome::RefusedByProgram:
        return QStringLiteral("程序拦截");
    }
    return QString();
}

} // namespace practice
