#pragma once

// A fake 同花顺 (THS) on the simulated desktop: the classic client (an "Afx:…" main window titled
// "同花顺…") or 同花顺远航版 (a "HwndWrapper[…]" window titled "同花顺远航版…"), its order dialogs
// ("#32770" over the main window, confirmed with Enter), the order client xiadan.exe with its
// "网上股票交易系统5.0" window (started by F12 in the main window), the "持股机构" window the main
// window opens on message 0x795B, the current stock code in the process memory, and an
// installation directory with xiadan.ini found through the registry.
//
// Memory: module "hexin.exe" (32-bit, the process runs under WOW64) at moduleBase; at
// moduleBase + codeOffset a 4-byte little-endian pointer; there 8 bytes: a market letter, the
// six digits of the code, a zero.

#include "MessageDialog.h"
#include "OrderBook.h"

#include "platform/api/Types.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace sim {

class SimSystem;

struct FakeThsOptions
{
    bool yuanhang = false;                                 // 同花顺远航版 instead of the classic client
    std::u16string installDir = u"D:\\同花顺软件\\同花顺"; // of the image paths
    std::u16string exeFile;                                // empty: "hexin.exe" (远航版: "hexinyh.exe")
    std::u16string mainTitle; // empty: "同花顺(v9.30.71) - 自选股" / "同花顺远航版 - 自选股"
    std::uint32_t codeOffset = 0x1E96650;
    std::uint64_t moduleBase = 0x00400000;
    bool wow64 = true;
    int holdingWindowDelayMs = 200; // 0x795B → the 持股机构 window after this
    int orderClientDelayMs = 0;     // F12 → xiadan.exe after this
    bool submittedNotice = true;    // an order placed shows 提示 "委托已提交…"
    bool activate = true;
};

struct ThsOrderOptions
{
    bool buy = true;
    std::u16string code; // empty: the current stock
    std::u16string name;
    std::u16string price = u"10.52";
    std::u16string quantity = u"100"; // THS fills it from the order preset
    std::u16string title;             // empty: "买入下单" / "卖出下单"
};

class FakeThs
{
public:
    static constexpr std::uint32_t HoldingWindowMessage = 0x795B;
    static constexpr std::uint64_t CodeAddress = 0x0B2D0040; // where the pointer leads

    FakeThs(SimSystem& system, FakeThsOptions options = {});
    // Ends hexin.exe and xiadan.exe.
    ~FakeThs();
    FakeThs(const FakeThs&) = delete;
    FakeThs& operator=(const FakeThs&) = delete;

    platform::ProcessId pid() const { return m_pid; }
    WindowId mainWindow() const { return m_main; }
    std::u16string imagePath() const;
    const FakeThsOptions& options() const { return m_options; }

    // The stock shown: its code goes to the process memory, code and name to the 持股机构 window.
    void setCurrentStock(const std::u16string& code, const std::u16string& name);
    // Raw bytes at the code address (a broken or foreign memory layout).
    void writeCodeBytes(const std::string& bytes);
    void activate();

    // An order dialog over the main window, in front. Enter (or the 买入/卖出 button) places the
    // order; Esc closes it.
    WindowId openOrderDialog(const ThsOrderOptions& options = {});
    // xiadan.exe with its "网上股票交易系统5.0" window (not brought to the front).
    WindowId startOrderClient();
    platform::ProcessId orderClientPid() const;
    WindowId orderClientWindow() const;
    // The 持股机构 window, 0 when none is open.
    WindowId holdingWindow() const;

    // Creates the installation under directory (a real directory on this machine): xiadan.ini
    // there (the classic client) or in its "transaction" subdirectory (远航版), and the registry
    // value that leads to it (HKCU Software\HexinSoft FilePath with a trailing separator, or the
    // 远航版 uninstall key's InstallLocation). Returns the path of xiadan.ini, empty on failure.
    std::string install(const std::string& directory, const std::string& xiadanIni = defaultXiadanIni());
    // A GB2312 xiadan.ini with a [FLOATSETTING] FLOATSCHEME of five presets (默认方案, 定买 10000
    // yuan, 定卖 100 shares, 融买 5000 yuan, 市买一 200 shares), CRLF line ends.
    static std::string defaultXiadanIni();

private:
    SimDesktop& desktop();
    std::intptr_t mainProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam);
    void openHoldingWindow();
    void placeOrder(WindowId dialog, const ThsOrderOptions& o, WindowId priceEdit, WindowId quantityEdit);

    SimSystem& m_system;
    FakeThsOptions m_options;
    platform::ProcessId m_pid = 0;
    platform::ProcessId m_xiadanPid = 0;
    WindowId m_main = 0;
    WindowId m_xiadanWindow = 0;
    WindowId m_holding = 0;
    mutable std::mutex m_mutex;
    std::u16string m_code = u"600000";
    std::u16string m_name = u"浦发银行";
    int m_nextContract = 5001;
};

} // namespace sim
