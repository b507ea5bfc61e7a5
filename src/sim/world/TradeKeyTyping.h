#pragma once

// What a trading keyboard types into the trading client in front when one of its trade keys is
// pressed, on the simulated desktop. The real keyboard sends the program a trade-key frame and
// types the client's hot key itself; the simulated keyboards only send the frame, and this class
// does the typing, so that a key press opens the client's dialog just as on a real desk. The demo
// and the scenario tests both use it, so they agree on what every key does.
//
//   Key function                    通达信 (TDX) in front               同花顺 (THS) in front
//   10-16, 19  buys                 F9  -> 闪电买入                     买入下单
//   17, 18     margin buys          F10 -> 闪电融资买入                 买入下单
//   20-29      sells                F11 -> 闪电卖出                     卖出下单
//   30, 32, 33 撤单 / 撤买 / 撤卖   撤单确认 "您确定撤消…"              -
//   31         全撤                 撤单确认 "一键撤单…"                -
//
// The hot key reaches the window in front typingDelayMs after the key; a TDX answers it only when
// its main window is in front (a key typed into an open dialog does nothing), which is why the
// fake TDX must be made with withHotkeys(). With another program in front nothing happens.
//
// A trade key reported with 0xDF is a key of the keyboard's own split mode: splitDelayMs after
// the key the keyboard clicks the order dialog's split button of its ratio (the 1/2 … 1/5 keys of
// either side), or types splitQuantity into the dialog when that is set, one digit per keystroke
// interval of its speed and key delays. Keys without a ratio,
// and dialogs without split buttons, get nothing unless splitQuantity is set.

#include "sim/desktop/FakeTdx.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace sim {

class FakeThs;
class KeyboardSimulator;
class SimSystem;

struct TradeKeyTypingOptions
{
    int typingDelayMs = 5;        // key → the client's hot key is typed
    int splitDelayMs = 30;        // split mode: key → split button clicked / quantity typed
    std::u16string splitQuantity; // split mode: digits typed instead of clicking a split button
    // How fast splitQuantity is typed: the keyboard's speed (1 极速 … 6 低速) and key delays.
    // With keyboards observed, the pressing keyboard's own settings are used.
    int speed = 2;
    int keyDownDelayMs = 8;
    int keyUpDelayMs = 8;
};

class TradeKeyTyping
{
public:
    // The TDX hot keys (virtual-key codes) the keyboard types.
    static constexpr int FlashBuyKey = 0x78;  // F9
    static constexpr int MarginBuyKey = 0x79; // F10
    static constexpr int FlashSellKey = 0x7A; // F11

    enum class Target
    {
        None,
        FlashBuy,
        MarginBuy,
        FlashSell,
        CancelOne,
        CancelAll
    };
    // What a key function opens in a TDX.
    static Target targetOf(int keyFunction);
    // 2 … 5 for the 1/2 … 1/5 keys of either side, 0 for every other key.
    static int splitRatioOf(int keyFunction);
    // options with the hot keys above answered by the fake TDX.
    static FakeTdxOptions withHotkeys(FakeTdxOptions options = {});

    explicit TradeKeyTyping(SimSystem& system, TradeKeyTypingOptions options = {});
    // Stops observing the keyboards.
    ~TradeKeyTyping();
    TradeKeyTyping(const TradeKeyTyping&) = delete;
    TradeKeyTyping& operator=(const TradeKeyTyping&) = delete;

    // Types for every trade key pressed on these keyboards from now on (replaces their key
    // observer). The keyboards must outlive this object or be detached first.
    void observe(KeyboardSimulator& keyboards);
    void detach();

    // The clients the keys are typed into (null: not running). The clients must outlive this
    // object, or be set to null before they go.
    void setTdx(FakeTdx* tdx);
    void setThs(FakeThs* ths);
    void setOptions(const TradeKeyTypingOptions& options);

    // What a trade key does (the observer calls this; a test without keyboards may call it
    // itself): command 0xD0 is a trade key, 0xDF a trade key in the keyboard's split mode; other
    // commands type nothing.
    void keyPressed(std::uint8_t command, std::uint8_t keyFunction);

private:
    void keyPressed(std::uint8_t command, std::uint8_t keyFunction, const TradeKeyTypingOptions& options);
    void typeIntoTdx(FakeTdx& tdx, Target target, int ratio, const TradeKeyTypingOptions& options,
                     bool splitMode);
    void typeIntoThs(FakeThs& ths, bool buy, const TradeKeyTypingOptions& options);

    SimSystem& m_system;
    std::mutex m_mutex;
    TradeKeyTypingOptions m_options;
    FakeTdx* m_tdx = nullptr;
    FakeThs* m_ths = nullptr;
    KeyboardSimulator* m_keyboards = nullptr;
};

} // namespace sim
