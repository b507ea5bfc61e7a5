#pragma once

// The practice window's order book: every order the fake clients accepted or refused, and every
// buy the program itself refused (the keyboard is told with action 64 and a reason, and the
// order never reaches the client), one row each, as the table shows them.

#include "sim/desktop/OrderBook.h"

#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace practice {

struct OrderRow
{
    enum class Outcome
    {
        Placed,          // the client accepted it
        RefusedByClient, // the client's own check refused it
        RefusedByProgram // the program refused it before it reached the client
    };
    Outcome outcome = Outcome::Placed;
    QString time; // HH:mm:ss
    QString client;
    QString kind;
    QString code;
    QString name;
    QString price;
    QString quantity;
    QString detail; // contract number, or the reason
};

OrderRow orderRow(const sim::Order& order);
// An action the program sent the keyboard (action, reason): a trade that ended (64) with a reason
// is one the program refused, which makes a row; the other actions are steps of a trade.
bool isRefusal(std::uint8_t action, std::uint8_t reason);
OrderRow refusalRow(std::uint8_t reason, const QString& time);

QString outcomeText(OrderRow::Outcome outcome);

} // namespace practice
