#include "sim/world/TradeKeyTyping.h"

#include "keyboardlink/protocol/Protocol.h"
#include "sim/desktop/FakeThs.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"

namespace sim {

namespace {

constexpr std::uint8_t TradeKeyCommand = 0xD0;
constexpr std::uint8_t SplitModeKeyCommand = 0xDF;

} // namespace

TradeKeyTyping::Target TradeKeyTyping::targetOf(int keyFunction)
{
    if (keyFunction == 17 || keyFunction == 18)
        return Target::MarginBuy;
    if (keyFunction >= 10 && keyFunction <= 19)
        return Target::FlashBuy;
    if (keyFunction >= 20 && keyFunction <= 29)
        return Target::FlashSell;
    if (keyFunction == 30 || keyFunction == 32 || keyFunction == 33)
        return Target::CancelOne;
    if (keyFunction == 31)
        return Target::CancelAll;
    return Target::None;
}

int TradeKeyTyping::splitRatioOf(int keyFunction)
{
    const int unit = keyFunction % 10;
    const bool tradeKey =
        (keyFunction >= 12 && keyFunction <= 15) || (keyFunction >= 22 && keyFunction <= 25);
    return tradeKey ? unit : 0;
}

FakeTdxOptions TradeKeyTyping::withHotkeys(FakeTdxOptions options)
{
    options.hotkeys[FlashBuyKey] = TdxDialogKind::FlashBuy;
    options.hotkeys[MarginBuyKey] = TdxDialogKind::MarginBuy;
    options.hotkeys[FlashSellKey] = TdxDialogKind::FlashSell;
    return options;
}

TradeKeyTyping::TradeKeyTyping(SimSystem& system, TradeKeyTypingOptions options)
    : m_system(system), m_options(std::move(options))
{
}

TradeKeyTyping::~TradeKeyTyping()
{
    detach();
}

void TradeKeyTyping::observe(KeyboardSimulator& keyboards)
{
    detach();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_keyboards = &keyboards;
    }
    keyboards.setKeyEventObserver(
        [this, &keyboards](const std::string& serial, std::uint8_t command, std::uint8_t keyFunction) {
            // The keyboard that was pressed types at its own pace.
            TradeKeyTypingOptions options;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                options = m_options;
            }
            const KeyboardState state = keyboards.state(serial);
            options.speed = state.speed;
            options.keyDownDelayMs = state.keyDownDelay;
            options.keyUpDelayMs = state.keyUpDelay;
            keyPressed(command, keyFunction, options);
        });
}

void TradeKeyTyping::detach()
{
    KeyboardSimulator* keyboards = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        keyboards = m_keyboards;
        m_keyboards = nullptr;
    }
    if (keyboards)
        keyboards->setKeyEventObserver(nullptr);
}

void TradeKeyTyping::setTdx(FakeTdx* tdx)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tdx = tdx;
}

void TradeKeyTyping::setThs(FakeThs* ths)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ths = ths;
}

void TradeKeyTyping::setOptions(const TradeKeyTypingOptions& options)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options = options;
}

void TradeKeyTyping::keyPressed(std::uint8_t command, std::uint8_t keyFunction)
{
    TradeKeyTypingOptions options;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        options = m_options;
    }
    keyPressed(command, keyFunction, options);
}

void TradeKeyTyping::keyPressed(std::uint8_t command, std::uint8_t keyFunction, const TradeKeyTypingOptions& options)
{
    if (command != TradeKeyCommand && command != SplitModeKeyCommand)
        return;
    const Target target = targetOf(keyFunction);
    if (target == Target::None)
        return;
    FakeTdx* tdx = nullptr;
    FakeThs* ths = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        tdx = m_tdx;
        ths = m_ths;
    }
    // The keys go to whichever client is in front.
    SimDesktop& desktop = m_system.desktop();
    const ProcessId front = desktop.windowProcessId(desktop.foregroundWindow());
    if (front == 0)
        return;
    if (tdx && (front == tdx->pid() || front == tdx->dialogPid()))
        typeIntoTdx(*tdx, target, splitRatioOf(keyFunction), options, command == SplitModeKeyCommand);
    else if (ths && front == ths->pid() && target != Target::CancelOne && target != Target::CancelAll)
        typeIntoThs(*ths, target != Target::FlashSell, options);
}

void TradeKeyTyping::typeIntoTdx(FakeTdx& tdx, Target target, int ratio, const TradeKeyTypingOptions& options,
                                 bool splitMode)
{
    SimDesktop& desktop = m_system.desktop();
    FakeTdx* client = &tdx;
    // Every step is tied to the client's main window: nothing happens once the client is gone.
    const WindowId main = tdx.mainWindow();
    const ProcessId pid = tdx.pid();
    if (target == Target::CancelOne || target == Target::CancelAll) {
        const bool all = target == Target::CancelAll;
        desktop.scheduleAfter(options.typingDelayMs, pid, main, [client, all] {
            if (all)
                client->openCancelAll();
            else
                client->openCancelConfirm();
        });
        return;
    }
    const std::uint8_t key = target == Target::FlashBuy    ? FlashBuyKey
                             : target == Target::MarginBuy ? MarginBuyKey
                                                           : FlashSellKey;
    desktop.scheduleAfter(options.typingDelayMs, pid, main, [&desktop, key] {
        desktop.deviceKey(key, false);
        desktop.deviceKey(key, true);
    });
    if (!splitMode || (ratio == 0 && options.splitQuantity.empty()))
        return;
    const std::u16string digits = options.splitQuantity;
    KeyPace pace;
    pace.keyDownMs = options.keyDownDelayMs;
    pace.intervalMs = Protocol::keystrokeIntervalMs(options.speed, options.keyDownDelayMs, options.keyUpDelayMs);
    desktop.scheduleAfter(options.splitDelayMs, pid, main, [client, ratio, digits, pace] {
        const std::vector<WindowId> dialogs = client->orderDialogs();
        if (dialogs.empty())
            return;
        if (!digits.empty())
            client->keyboardTypeQuantity(dialogs.back(), digits, 0, pace);
        else
            client->keyboardSplit(dialogs.back(), ratio);
    });
}

void TradeKeyTyping::typeIntoThs(FakeThs& ths, bool buy, const TradeKeyTypingOptions& options)
{
    FakeThs* client = &ths;
    m_system.desktop().scheduleAfter(options.typingDelayMs, ths.pid(), ths.mainWindow(), [client, buy] {
        ThsOrderOptions order;
        order.buy = buy;
        client->openOrderDialog(order);
    });
}

} // namespace sim
