#pragma once

// What a TDX does with the texts of its flash order dialogs and with an order, shared by the
// simulated TDX (FakeTdx) and the fake TDX process of the Wine tests, so that both are equally
// strict. Qt-free and Windows-free.

#include "TdxLayout.h"

#include <string>

namespace sim {

// Convertible bonds ("11…", "12…") trade in lots of 10, everything else in lots of 100.
int tdxLot(const std::u16string& code);
// A plain count of shares: digits only, at most 15.
bool parseShareCount(const std::u16string& text, long long& value);
// The maximum as a TDX that groups thousands shows it ("12,300").
std::u16string groupedThousands(long long value);
// The sell dialog is the buy dialog with 卖出 for 买入 in its texts.
std::u16string sellText(std::u16string text);
// 2 … 5 for the split buttons 1/2 … 1/5, 0 for every other field.
int splitRatio(TdxField field);
// What a split button fills in: max / ratio rounded down to whole lots.
long long splitQuantity(long long maxQuantity, int ratio, int lot);
// Why the client refuses an order (empty: it accepts it): a bad price, no quantity, an odd lot of
// a buy, more than the maximum (maxQuantity < 0: not known, not checked).
std::u16string tdxRefusal(bool buy, const std::u16string& code, long long maxQuantity,
                          const std::u16string& quantityText, const std::u16string& price);

} // namespace sim
