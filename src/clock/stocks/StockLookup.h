#pragma once

// Reading the stock in front out of the trading clients. Both waits run a local event loop on
// the GUI thread, so the clock keeps ticking while the client answers.

#include "trade/TradeTypes.h"

#include <QString>

namespace StockLookup {

// TDX message: copy the current stock ("code name") to the clipboard.
constexpr std::uint32_t kCopyStockMessage = 0x841B;
// THS message: open the 持股机构 window of the current stock.
constexpr std::uint32_t kHoldingWindowMessage = 0x795B;

// Clears the clipboard, asks the TDX window to copy its stock and waits until the clipboard
// changes or limitMs pass. True when the clipboard changed.
bool copyTdxStockCode(trade::HWND tdxWindow, int limitMs);

// Asks the THS window for its 持股机构 window and, within limitMs, reads code and name from that
// window's title ("持股机构-贵州茅台(600519)"), bringing it to the front and closing it with
// Enter. False, with code and name empty, when no such window came or its title has no code.
bool getThsStockCode(trade::HWND thsWindow, QString& code, QString& name, int limitMs = 3000);

} // namespace StockLookup
