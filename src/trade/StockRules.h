#pragma once

// Small classifiers of stock codes, names, quantities and prices, and the two text forms of a
// code that the stock lookup needs. Pure functions of their arguments.

#include <QString>

namespace StockRules {

// "^[+-]?[0-9]+$"
bool isInteger(const QString& text);
// Decimal digits with exactly one ".", which is neither first nor last ("10.50", not "10").
bool isPrice(const QString& text);
// Non-empty and not exactly "0".
bool isNonZero(const QString& text);
// Starts with "11" or "12".
bool isConvertibleBond(const QString& code);
// Six characters starting with "00" or "60".
bool isMainBoard(const QString& code);
// Contains "ST", ignoring case.
bool isST(const QString& name);
// Only CJK unified ideographs (U+4E00 … U+9FFF) and "*", "S", "T", "退".
bool isValidStockName(const QString& text);
// Starts with "60", "688", "00", "30", "43", "83", "87" or "92".
bool isAShareCode(const QString& code);

// The code with its market: "sh600000", "sz000001", "bj430047" (or "430047.BJ" when suffixForm);
// empty for a code of no known market.
QString marketForm(const QString& code, bool suffixForm = false);

// Parses a holding window title ending in a parenthesised number, "… - 贵州茅台(600519)": code
// is the number, name the last non-empty "-" part without it. False, with both cleared, when the
// title does not end that way.
bool parseHoldingTitle(const QString& title, QString& code, QString& name);

} // namespace StockRules
