#pragma once

// The calibration test of a TDX order dialog: with the stock 600000 (浦发银行) typed into a
// 闪电买入 or 闪电融资买入 dialog, find at which position among the dialog's direct "Static" and
// "Edit" children the client shows the code, the name, the price, the quantity and the maximum
// quantity. The positions count as the order dialog worker counts them (FindWindowEx order).

#include "trade/TradeTypes.h"

#include <QString>

namespace TdxCalibration {

// The stock the user types into the dialog before testing.
inline const QString TestCode = QStringLiteral("600000");

struct Result
{
    int code = -1;
    int name = -1;
    int price = -1;
    int quantity = -1;
    int maxQuantity = -1; // optional

    // Code, name, price and quantity found.
    bool succeeded() const { return code >= 0 && name >= 0 && price >= 0 && quantity >= 0; }
};

// Reads the dialog's children in three passes: the "Static" texts for code and name, the "Edit"
// texts for price and quantity, the "Static" texts again for the maximum quantity.
Result measure(trade::HWND dialog);

} // namespace TdxCalibration
