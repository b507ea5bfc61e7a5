#pragma once

// The handle types that travel in trade automation's signals. They are the platform seam's
// window ids under the names the trading code is written in; they live in a namespace so that
// they never meet the Windows SDK's own HWND / WPARAM (Qt declares HWND on Windows).

#include "platform/api/Types.h"

#include <QString>
#include <QtGlobal>

namespace trade {

// A window of the trading clients (Win32 HWND).
using HWND = platform::WindowId;
// A window handle as carried by desktopChanged, setNewTask and performDetection: an unsigned
// 64-bit number, whatever the pointer size.
using WPARAM = quint64;

inline HWND toHwnd(WPARAM value)
{
    return static_cast<HWND>(value);
}

inline WPARAM toWParam(HWND hwnd)
{
    return static_cast<WPARAM>(hwnd);
}

// Registers trade::HWND, trade::WPARAM and WindowState for queued signals (string-based
// connections included). Called once by the application at start; harmless to repeat.
void registerMetaTypes();

// ---------------------------------------------------------------- the words of a trade

// Trade types are the key function codes the keyboard reports: 10 定额买 … 29 市价卖, below 20
// buys, 0 when no trade key is known.
// Its name as logged ("1/3买"; "交易类型<n>" for a code without one).
QString tradeTypeName(int type);
// 1 for 全仓, 2 … 5 for the 1/2 … 1/5 keys of either side, 0 for types without a split.
int splitRatio(int type);
// 10 and 17 … 20: the client fills the quantity in; the program only checks and confirms it.
bool isFixedQuantityType(int type);

// The kind of a TDX order dialog, from its title.
enum DialogKind
{
    BuyDialog = 0,       // 闪电买入
    SellDialog = 1,      // 闪电卖出
    MarginBuyDialog = 2, // 闪电融资买入 (read at the margin positions)
    OtherDialog = 3      // anything else: never filled or confirmed
};
DialogKind dialogKind(const QString& title);
// "闪电买入", "闪电卖出", "闪电融资买入", "当前" for the other kind.
QString dialogKindName(int kind);
inline bool isOrderDialog(int kind)
{
    return kind == BuyDialog || kind == SellDialog || kind == MarginBuyDialog;
}

// Trade actions, sent to the keyboard (actionSignal) and as notices.
namespace Action {
enum : int
{
    TdxBox = 2,             // a "Tdx" box has been visible for 10 ms
    DialogVisible = 4,      // an order dialog or a cancel confirmation is up
    SecondKeyQuantity = 16, // keyboard split mode: the quantity came after a second key
    NoKeyboardQuantity = 32,
    Trade = 64,             // reason 0: going ahead; above 0: refused or abandoned for it
    KeyboardTimeout = 128,  // notice: keyboard split mode ran out with no quantity
    Submitted = 255         // 一键撤单 visible (action); order submitted (notice)
};
}

// Reasons of action 64 and 128; their spoken texts are in OutcomeMessages.
namespace Reason {
enum : int
{
    None = 0,
    BuyZero = 1,
    SellZero = 2,
    CannotTrade = 8, // the maximum stayed unreadable; a confirmation that did not happen
    NotBond = 10,
    NotMainBoard = 11,
    ST = 12,
    PriceLimit = 15,
    AmountLimit = 16,
    NotClickedStock = 99,
    NoCode = 100,
    NoQuantity = 101,
    NoPrice = 102,
    BadMaximum = 103,
    NoMaximumIndex = 104,
    AmountLimitKeyboard = 105,
    NoPriceValue = 106,
    FixedBuyEmpty = 107,
    FixedSellEmpty = 108,
    KeyboardBuyZero = 109,
    KeyboardSellZero = 110
};
}

} // namespace trade
