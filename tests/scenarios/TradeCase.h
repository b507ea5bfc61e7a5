#pragma once

// A generated trade: the user's settings, what the client shows and does, what the keyboard
// does. Generated from a seed, so that any case can be made again from its seed alone.

#include "sim/desktop/FakeTdx.h"
#include "sim/world/TradeKeyTyping.h"

#include <QString>

#include <cstdint>
#include <random>
#include <string>

class ConfigManager;

namespace scenario {

struct TradeCase
{
    std::uint64_t seed = 0;

    // The user's settings.
    bool onlyBond = false;
    bool onlyMain = false;
    bool notST = false;
    bool maxPriceOn = false;
    bool minPriceOn = false;
    bool amountOn = false;
    int maxPrice = 30;
    int minPrice = 0;
    int maxAmount = 10000;
    bool softwareSplit = true;

    // The client: its layout, and whether the profile for it is found by the automatic switch
    // (else it is the current profile already).
    int layout = 0; // 0 金融终端, 1 券商版A, 2 券商版B
    bool profileBySwitch = false;
    std::u16string code = u"600000";
    std::u16string name = u"浦发银行";
    std::u16string price = u"10.52";
    long long maximum = 1000; // < 0: never shown
    std::u16string maxText;   // set: shown instead of the maximum
    int maxDelayMs = 0;
    long long fixedQuantity = -1; // the client's preset quantity, < 0: none
    int visibleAfterMs = 0;
    bool splitButtonsWork = true;
    int clientSplitDelayMs = 0;
    int insistUntilMs = -1; // the client keeps "0" in the quantity edit until this long after the key
    int fieldsAfterMs = 0;  // code, name and price are filled in this long after the dialog opens

    // The keyboard.
    int key = 13;
    bool splitMode = false;
    int typingDelayMs = 5;
    int keyboardSplitDelayMs = 30;
    std::u16string typedQuantity; // split mode: typed instead of clicking a split button
    int speed = 2;                // the keyboard's typing speed, 1 极速 … 6 低速
    bool secondKey = false;       // told (32, 0), the keyboard presses the key again
    bool earlierTrade = false;    // a software 1/3 buy of another dialog just before
    int unplugAfterMs = -1;       // the keyboard is pulled out this long after the key

    static TradeCase generate(std::uint64_t seed, bool realTime);

    bool isBuy() const { return key < 20; }
    sim::TdxLayout tdxLayout() const;
    sim::FakeTdxOptions tdxOptions() const;
    sim::TradeKeyTypingOptions typingOptions() const;
    // The settings of the case into the store (the profiles included).
    void applySettings(ConfigManager& config) const;

    // What the buy rules decide before anything else, from the case alone: 100 when the stock
    // cannot be read for the restrictions, the reason of the first restriction that refuses
    // (10, 11, 12), 102 when the price cannot be read for the limits, 15 for the price limits,
    // 0 when they pass. Sells are never restricted.
    int expectedRefusal() const;
    // Cents of the price, -1 when it is not a price.
    long long priceCents() const;
    // The quantity a case that nothing refuses must end confirmed with, worked out from the case
    // alone: the split of the maximum (in whole lots, at least one), the client's or the
    // keyboard's quantity, each cut to the amount limit. -1 where the case leaves the outcome
    // open (the user's, the keyboard's second key, a client that fights the program) or a
    // check refuses it.
    long long expectedQuantity() const;
    // The lot the client's split buttons round down to.
    static long long splitLotOf(bool bond);

    QString describe() const;
};

} // namespace scenario
