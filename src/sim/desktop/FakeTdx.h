#pragma once

// A fake 通达信 (TDX) on the simulated desktop: the "TdxW_MainFrame_Class" main window of
// tdxw.exe (or tdxw64.exe), the flash order dialogs laid out by a TdxLayout, and the boxes around
// an order (提示, Tdx, 请选择, trade confirmation, cancel confirmations). Orders end in the
// system's OrderBook.
//
// The client behaves as far as the program can see it: the maximum quantity appears after a
// delay (or never, or unreadable), split buttons fill in max / ratio rounded down to whole lots,
// the confirm button (or Enter) places the order, closes the dialog and shows 提示 with
// "委托已提交…", Esc closes a dialog. A 64-bit TDX shows its trading dialogs from the process
// TC.exe (in a subdirectory of the installation) once the user has logged in.

#include "MessageDialog.h"
#include "OrderBook.h"
#include "TdxLayout.h"

#include "platform/api/Types.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class SimSystem;

enum class TdxDialogKind
{
    FlashBuy,
    MarginBuy,
    FlashSell
};

struct TdxOrderOptions
{
    std::u16string code; // empty: the client's current stock (and its name and price)
    std::u16string name;
    std::u16string price;
    std::u16string quantity = u"0"; // the quantity edit when the dialog opens
    long long maxQuantity = 10000;  // < 0: the maximum never appears
    std::u16string maxText;         // set: shown instead of the number (e.g. "abc", "-5")
    int maxDelayMs = 0;
    long long fixedQuantity = -1; // >= 0: the client fills this quantity in when the maximum appears
    int visibleAfterMs = 0;       // the dialog is in front at once but visible only after this
    int fieldsAfterMs = 0;        // code, name and price are shown only after this (empty before)
    std::u16string title;         // empty: 闪电买入 / 闪电融资买入 / 闪电卖出
};

// How a trading keyboard types: each key held keyDownMs, one key every intervalMs. An
// interval of 0 types everything at once.
struct KeyPace
{
    int keyDownMs = 0;
    int intervalMs = 0;
};

struct FakeTdxOptions
{
    std::u16string installDir = u"C:\\new_tdx"; // without a trailing separator
    bool is64Bit = false;                       // tdxw64.exe, trading dialogs in TC.exe
    bool loggedIn = true;                       // 64-bit: TC.exe runs from the start
    std::u16string tcSubdirectory = u"tc";      // TC.exe lives in installDir\<this>
    TdxLayout layout = TdxLayout::jinRongZhongDuan();
    std::u16string mainTitle = u"通达信金融终端V7.65";
    std::u16string page = u"[版面-自选股]"; // shown after " - " in the main window's title
    int splitDelayMs = 0;                   // a split button's quantity appears after this
    bool splitButtonsWork = true;
    int splitLot = 0;        // 0: 100 shares, 10 for convertible bonds
    bool checkOrders = true; // refuse no quantity, odd lots of a buy, more than the maximum, a bad price
    // The box a refusal shows over the order dialog, which stays open: "Tdx", or an error
    // "提示" (without 委托已提交). Closing it brings the order dialog back to the front.
    std::u16string refusalBoxTitle = u"Tdx";
    bool tradeConfirmation = false; // confirm shows 买入交易确认 / 卖出交易确认 first
    bool activate = true;           // the main window comes to the front at start
    // Keys (virtual-key codes) the main window answers by opening an order dialog, and how.
    std::map<int, TdxDialogKind> hotkeys{{0x78 /* F9 */, TdxDialogKind::FlashBuy}};
    TdxOrderOptions hotkeyOrder;
};

class FakeTdx
{
public:
    FakeTdx(SimSystem& system, FakeTdxOptions options = {});
    // Ends the client's processes (its windows vanish).
    ~FakeTdx();
    FakeTdx(const FakeTdx&) = delete;
    FakeTdx& operator=(const FakeTdx&) = delete;

    platform::ProcessId pid() const { return m_pid; }
    // The process of the trading dialogs: TC.exe for a 64-bit TDX (0 before login), else pid().
    platform::ProcessId dialogPid() const;
    std::u16string imagePath() const;
    std::u16string dialogImagePath() const;
    WindowId mainWindow() const { return m_main; }
    const FakeTdxOptions& options() const { return m_options; }

    void setCurrentStock(const std::u16string& code, const std::u16string& name, const std::u16string& price);
    // What the hot keys open from now on (the options' hotkeyOrder until then): the maximum
    // quantity and its delay, for example.
    void setHotkeyOrder(const TdxOrderOptions& order);
    TdxOrderOptions hotkeyOrder() const;
    // The main window's title becomes "<mainTitle> - <page>".
    void showPage(const std::u16string& page);
    // 64-bit: starts TC.exe (no-op when it runs).
    void login();
    void activate();

    // What the client's hot keys open; the dialog comes to the front with the quantity edit
    // focused and selected. An open order dialog is closed first. 0 when the client cannot
    // trade (64-bit without login).
    WindowId openFlashBuy(const TdxOrderOptions& options = {});
    WindowId openMarginBuy(const TdxOrderOptions& options = {});
    WindowId openFlashSell(const TdxOrderOptions& options = {});
    WindowId openOrderDialog(TdxDialogKind kind, const TdxOrderOptions& options = {});
    // "撤单确认" with a Static "您确定撤消…"; Enter records a Cancel, Esc closes.
    WindowId openCancelConfirm(const std::u16string& detail = u"600000 浦发银行 买入 100股 10.52元");
    // "撤单确认" with a Static "一键撤单…"; Enter records a CancelAll.
    WindowId openCancelAll(int count = 3);
    WindowId openTdxMessage(const std::u16string& text);
    WindowId openSelectDialog(const std::vector<std::u16string>& choices);
    WindowId openTradeConfirm(bool buy, const std::u16string& summary);

    // The control of a field in an order dialog (the last one of that field), 0 when none.
    WindowId control(WindowId dialog, TdxField field) const;
    // The client's own view of a field (what its control shows).
    std::u16string fieldText(WindowId dialog, TdxField field) const;
    // The last 提示 box shown for a placed order, 0 when none.
    WindowId lastNotice() const;
    // The order dialogs that are open.
    std::vector<WindowId> orderDialogs() const;

    // The trading keyboard in its own split mode: after delayMs it presses the client's split
    // button, or types the quantity into the order dialog (the quantity edit focused and
    // selected first, then one key press per digit into the foreground window, at the pace
    // given: the dialog shows "1", "10", "100" on the way to "1000").
    bool keyboardSplit(WindowId dialog, int ratio, int delayMs = 0);
    void keyboardTypeQuantity(WindowId dialog, const std::u16string& digits, int delayMs = 0, KeyPace pace = {});

private:
    struct OrderDialog;

    SimDesktop& desktop();
    std::intptr_t orderDialogProc(WindowId dialog, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam);
    std::intptr_t mainProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam);
    void createControls(WindowId dialog, OrderDialog& d);
    void showMaximum(WindowId dialog);
    void split(WindowId dialog, int ratio);
    void confirm(WindowId dialog);
    void submit(const Order& order, WindowId dialog);
    std::u16string mainTitle() const;
    // The process whose message boxes come up: the one that trades (TC.exe of a logged-in
    // 64-bit build), else the main program.
    platform::ProcessId boxPid() const;
    // A "撤单确认" box whose 确定 records cancel in the order book.
    WindowId openCancelBox(std::vector<std::u16string> texts, Order cancel);

    SimSystem& m_system;
    FakeTdxOptions m_options;
    platform::ProcessId m_pid = 0;
    std::atomic<platform::ProcessId> m_tcPid{0};
    WindowId m_main = 0;
    mutable std::mutex m_mutex;
    std::map<WindowId, std::shared_ptr<OrderDialog>> m_dialogs;
    std::u16string m_code = u"600000";
    std::u16string m_name = u"浦发银行";
    std::u16string m_price = u"10.52";
    WindowId m_lastNotice = 0;
    TdxOrderOptions m_hotkeyOrder;
    int m_nextContract = 1001;
};

} // namespace sim
