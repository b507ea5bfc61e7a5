#pragma once

#include <QString>
#include <QVariant>

#include <functional>

class StateMachine;
class TradeOutcomeSink;
namespace platform {
class Desktop;
}

// The user's buy restrictions and limits (settings group "Software"). They apply to TDX buy
// dialogs only; sells are never restricted.
struct BuyLimits
{
    bool onlyBond = false;      // Software/TdxOnlyZz
    bool onlyMain = false;      // Software/TdxOnlyMain
    bool notST = false;         // Software/TdxNotST
    bool maxPriceLimit = false; // Software/TdxBuyMaxPriceLimit
    bool minPriceLimit = false; // Software/TdxBuyMinPriceLimit
    bool amountLimit = false;   // Software/TdxBuyAmountLimt
    int maxPrice = 30;          // Software/TdxBuyMaxPrice, whole yuan
    int minPrice = 0;           // Software/TdxBuyMinPrice, whole yuan
    int maxAmount = 10000;      // Software/TdxBuyMaxAmount, yuan

    // Reads the keys above; value(key, default) is the settings store's getter.
    using SettingsReader = std::function<QVariant(const QString& key, const QVariant& defaultValue)>;
    static BuyLimits fromSettings(const SettingsReader& value);
};

// Decides whether a buy in a TDX order dialog may go ahead and with what quantity. Works on the
// state machine's record (the dialog, its price text, its code) and reports through the sink:
// refusals as actions, the zero-quantity case as a notice, closing the dialog as a request.
class BuyRestrictions
{
public:
    // desktop: null means platform::services().desktop at the time of each check.
    BuyRestrictions(StateMachine& machine, TradeOutcomeSink& sink, platform::Desktop* desktop = nullptr);

    void setLimits(const BuyLimits& limits) { m_limits = limits; }
    const BuyLimits& limits() const { return m_limits; }

    // The restriction tests of a buy, in order: 10 (only convertible bonds), 11 (only main board),
    // 12 (no ST); 0 when none refuses. The caller ends the transaction with action 64 and the
    // reason and closes the dialog.
    int restrictionReason(const QString& code, const QString& name) const;

    // True when the buy may continue. False after refusing: action (64, 15), step 7, committed,
    // and the dialog's closing requested.
    bool priceLimitCheck();

    // True with a possibly reduced quantity (whole lots of 100, or 10 for convertible bonds);
    // false when the buy must not go ahead (notice (64, 16) when no lot fits the limit).
    bool amountLimitCheck(int& quantity);

private:
    platform::Desktop* desktop() const;

    StateMachine& m_machine;
    TradeOutcomeSink& m_sink;
    platform::Desktop* m_desktop;
    BuyLimits m_limits;
};
