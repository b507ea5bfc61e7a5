#include "TradeCase.h"

#include "config/ConfigManager.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStringList>

#include <cstdlib>
#include <vector>

namespace scenario {

namespace {

const QString kBrokerProfile = QStringLiteral("券商");
const std::u16string kBrokerDir = u"C:\\Broker_TDX";

struct Stock
{
    const char16_t* code;
    const char16_t* name;
};

// Main board, other boards, convertible bonds; ST names among them.
const std::vector<Stock> kStocks = {
    {u"600000", u"浦发银行"}, {u"000001", u"平安银行"}, {u"601398", u"工商银行"}, {u"002594", u"比亚迪"},
    {u"688001", u"华兴源创"}, {u"300750", u"宁德时代"}, {u"113001", u"中行转债"}, {u"123045", u"雷迪转债"},
    {u"600234", u"*ST科新"},  {u"000004", u"ST国华"},   {u"300013", u"*ST新联"},
    // A full-width letter, a new listing's N: names the stock name rule does not take.
    {u"000002", u"万科Ａ"},   {u"601121", u"N宝地"},
};

const std::vector<int> kKeys = {10, 11, 12, 13, 14, 15, 17, 18, 19, 20, 21, 22, 23, 24, 25, 29};

class Dice
{
public:
    explicit Dice(std::uint64_t seed) : m_engine(seed) {}
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_engine); }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_engine); }
    template <typename T> const T& pick(const std::vector<T>& from)
    {
        return from.at(std::size_t(between(0, int(from.size()) - 1)));
    }

private:
    std::mt19937_64 m_engine;
};

std::u16string priceText(long long cents)
{
    return QStringLiteral("%1.%2")
        .arg(cents / 100)
        .arg(cents % 100, 2, 10, QLatin1Char('0'))
        .toStdU16String();
}

void useLayout(ConfigManager& c, const sim::TdxLayout& l)
{
    c.setTdxCodeIndex(l.buyIndices.code);
    c.setTdxNameIndex(l.buyIndices.name);
    c.setTdxPriceIndex(l.buyIndices.price);
    c.setTdxQuantityIndex(l.buyIndices.quantity);
    c.setTdxMaxQuantityIndex(l.buyIndices.maxQuantity);
    c.setTdxMarginCodeIndex(l.marginIndices.code);
    c.setTdxMarginNameIndex(l.marginIndices.name);
    c.setTdxMarginPriceIndex(l.marginIndices.price);
    c.setTdxMarginQuantityIndex(l.marginIndices.quantity);
    c.setTdxMarginMaxQuantityIndex(l.marginIndices.maxQuantity);
}

QString q(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

} // namespace

TradeCase TradeCase::generate(std::uint64_t seed, bool realTime)
{
    Dice dice(seed);
    TradeCase c;
    c.seed = seed;

    c.onlyBond = dice.chance(0.15);
    c.onlyMain = dice.chance(0.25);
    c.notST = dice.chance(0.3);
    c.maxPriceOn = dice.chance(0.25);
    c.minPriceOn = dice.chance(0.2);
    c.amountOn = dice.chance(0.4);
    c.maxPrice = dice.between(5, 100);
    c.minPrice = dice.between(0, 20);
    c.maxAmount = dice.chance(0.2) ? dice.between(100, 2000) : dice.between(2000, 100000);
    c.softwareSplit = dice.chance(0.85);

    c.layout = dice.chance(0.6) ? 0 : dice.between(1, 2);
    c.profileBySwitch = c.layout != 0 && dice.chance(0.5);
    const Stock& s = dice.pick(kStocks);
    c.code = s.code;
    c.name = s.name;
    long long cents = dice.between(100, 20000);
    if (dice.chance(0.1))
        cents = c.maxPrice * 100LL + dice.between(-1, 1); // at the limits and a cent beside them
    else if (dice.chance(0.1))
        cents = qMax(1LL, c.minPrice * 100LL + dice.between(-1, 1));
    c.price = priceText(cents);
    // Prices a client shows before it knows one, or never: empty, "--", zero.
    if (dice.chance(0.06))
        c.price = dice.pick(std::vector<std::u16string>{u"", u"--", u"0.00", u"0.0"});
    const int maximum = dice.between(0, 99);
    if (maximum < 5)
        c.maximum = 0;
    else if (maximum < 8)
        c.maximum = -1;
    else if (maximum < 10)
        c.maxText = u"--";
    else if (maximum < 40)
        c.maximum = dice.between(1, 999);
    else
        c.maximum = dice.between(1000, 60000);
    c.maxDelayMs = dice.chance(0.5) ? 0 : dice.between(1, 400);
    c.key = dice.pick(kKeys);
    const bool fixedType = c.key == 10 || (c.key >= 17 && c.key <= 20);
    if (fixedType && dice.chance(0.8))
        c.fixedQuantity = dice.chance(0.8) ? dice.between(1, 60) * 100LL : dice.between(1, 6000);
    c.visibleAfterMs = dice.chance(0.8) ? 0 : dice.between(1, 200);
    c.splitButtonsWork = dice.chance(0.85);
    c.clientSplitDelayMs = dice.chance(0.7) ? 0 : dice.between(1, 40);
    if (!realTime && dice.chance(0.1))
        c.insistUntilMs = dice.between(30, 600);
    if (dice.chance(0.15))
        c.fieldsAfterMs = dice.between(1, 300);

    c.splitMode = dice.chance(0.3);
    c.typingDelayMs = dice.between(1, 30);
    c.keyboardSplitDelayMs = dice.between(5, 120);
    if (c.splitMode && dice.chance(0.3))
        c.typedQuantity =
            QString::number(dice.chance(0.7) ? dice.between(1, 50) * 100 : dice.between(1, 5000))
                .toStdU16String();
    c.speed = dice.between(1, 6);
    c.secondKey = c.splitMode && dice.chance(0.3);
    c.earlierTrade = !realTime && dice.chance(0.15);
    if (realTime && dice.chance(0.25))
        c.unplugAfterMs = dice.between(0, 300);
    return c;
}

sim::TdxLayout TradeCase::tdxLayout() const
{
    switch (layout) {
    case 1:
        return sim::TdxLayout::brokerA();
    case 2:
        return sim::TdxLayout::brokerB();
    default:
        return sim::TdxLayout::jinRongZhongDuan();
    }
}

sim::FakeTdxOptions TradeCase::tdxOptions() const
{
    sim::FakeTdxOptions o = sim::TradeKeyTyping::withHotkeys();
    o.layout = tdxLayout();
    if (layout != 0)
        o.installDir = kBrokerDir;
    o.splitButtonsWork = splitButtonsWork;
    o.splitDelayMs = clientSplitDelayMs;
    sim::TdxOrderOptions& order = o.hotkeyOrder;
    order.code = code;
    order.name = name;
    order.price = price;
    order.maxQuantity = maximum;
    order.maxText = maxText;
    order.maxDelayMs = maxDelayMs;
    order.fixedQuantity = fixedQuantity;
    order.visibleAfterMs = visibleAfterMs;
    order.fieldsAfterMs = fieldsAfterMs;
    return o;
}

sim::TradeKeyTypingOptions TradeCase::typingOptions() const
{
    sim::TradeKeyTypingOptions o;
    o.typingDelayMs = typingDelayMs;
    o.splitDelayMs = keyboardSplitDelayMs;
    o.splitQuantity = typedQuantity;
    o.speed = speed;
    return o;
}

void TradeCase::applySettings(ConfigManager& c) const
{
    c.setTdxOnlyZz(onlyBond);
    c.setTdxOnlyMain(onlyMain);
    c.setTdxNotST(notST);
    c.setTdxBuyMaxPriceLimitEnabled(maxPriceOn);
    c.setTdxBuyMinPriceLimitEnabled(minPriceOn);
    c.setTdxBuyAmountLimitEnabled(amountOn);
    c.setTdxBuyMaxPrice(maxPrice);
    c.setTdxBuyMinPrice(minPrice);
    c.setTdxBuyMaxAmount(maxAmount);
    c.setAutoSwitchProfileEnabled(true);
    if (layout != 0) {
        useLayout(c, tdxLayout());
        if (profileBySwitch) {
            c.saveProfile(kBrokerProfile,
                          QString::fromStdU16String(kBrokerDir).replace(QLatin1Char('\\'), '/'));
            c.loadProfile(ConfigManager::BuiltInProfileName);
        }
    }
    QSettings settings(c.iniFilePath(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue(QStringLiteral("Software/UseSoftwareSplit"), softwareSplit);
}

long long TradeCase::splitLotOf(bool bond)
{
    return bond ? 10 : 100;
}

long long TradeCase::priceCents() const
{
    const QString text = q(price);
    const int dot = text.indexOf(QLatin1Char('.'));
    if (dot <= 0 || dot != text.size() - 3)
        return -1;
    bool whole = false;
    bool fraction = false;
    const long long yuan = text.left(dot).toLongLong(&whole);
    const long long cents = text.mid(dot + 1).toLongLong(&fraction);
    return whole && fraction ? yuan * 100 + cents : -1;
}

long long TradeCase::expectedQuantity() const
{
    if (expectedRefusal() || unplugAfterMs >= 0 || insistUntilMs >= 0 || secondKey || maximum <= 0 ||
        !maxText.empty())
        return -1;
    const bool fixed = key == 10 || (key >= 17 && key <= 20);
    const int ratio = (key >= 11 && key <= 15) || (key >= 21 && key <= 25) ? key % 10 : 0;
    const bool bondCode = code.rfind(u"11", 0) == 0 || code.rfind(u"12", 0) == 0;
    const bool bond = onlyBond || bondCode;
    const long long lot = bond ? 10 : 100;
    // What the program cannot read refuses the buy, and leaves the dialog open: a name outside the
    // stock name rule (for the restrictions) or no price (for the limits).
    const QString n = q(name);
    const bool nameReadable = !n.isEmpty() && n.contains(QRegularExpression(QStringLiteral("^[一-鿿*ST退]+$")));
    if (isBuy() && (onlyBond || onlyMain || notST) && !nameReadable)
        return -1;
    if (isBuy() && (maxPriceOn || minPriceOn || amountOn) && priceCents() <= 0)
        return -1;
    long long quantity = -1;
    if (fixed) {
        if (fixedQuantity <= 0 || splitMode)
            return -1;
        quantity = fixedQuantity;
    } else if (ratio == 0) {
        return -1;
    } else {
        // This dialog's own target.
        const long long target = ratio == 1 ? maximum : qMax(maximum / ratio / 100 * 100, 100LL);
        if (!splitMode) {
            // A split button whose quantity comes about as late as the program verifies it
            // fights the program's own typing: which one the client shows at the click is open.
            if (!softwareSplit || (splitButtonsWork && clientSplitDelayMs >= 20))
                return -1;
            quantity = target;
        } else {
            // The keyboard must have put its quantity in before it is told none came (100 ms
            // after the key), into a dialog that was open by then.
            const int quantityAt = keyboardSplitDelayMs + (typedQuantity.empty() ? clientSplitDelayMs : 0);
            if (quantityAt >= 90 || keyboardSplitDelayMs <= typingDelayMs + 2 || (bond && fieldsAfterMs > 0) ||
                visibleAfterMs >= keyboardSplitDelayMs)
                return -1;
            // What the keyboard puts in: its typed digits, or the client's split button.
            long long keyboard = -1;
            if (!typedQuantity.empty())
                keyboard = q(typedQuantity).toLongLong();
            else if (ratio >= 2 && splitButtonsWork && layout != 2 &&
                     typingDelayMs + maxDelayMs + 2 < keyboardSplitDelayMs)
                // A split button pressed before the client knows its maximum fills in nothing.
                keyboard = maximum / ratio / splitLotOf(bondCode) * splitLotOf(bondCode);
            if (keyboard <= 0 || std::abs(keyboard - target) > 99 || (isBuy() && keyboard % lot != 0))
                return -1;
            quantity = keyboard;
        }
    }
    const long long cents = priceCents();
    if (isBuy() && amountOn) {
        if (cents <= 0)
            return -1;
        if (quantity * cents / 100 > maxAmount) {
            // The limit cuts to lots of 10 for a bond only where the program knows it is one:
            // with only bonds on, or with its code read for the ST restriction.
            const long long limitLot = onlyBond || (notST && bondCode) ? 10 : 100;
            quantity = maxAmount * 100 / cents / limitLot * limitLot;
            if (quantity < 1)
                return -1;
        }
    }
    return quantity;
}

int TradeCase::expectedRefusal() const
{
    if (!isBuy())
        return 0;
    const QString c = q(code);
    const QString n = q(name);
    // The restrictions need code and name read, and the stock name rule takes neither a
    // full-width letter (万科Ａ) nor a new listing's N: such a stock is never found.
    if ((onlyBond || onlyMain || notST) && !n.contains(QRegularExpression(QStringLiteral("^[一-鿿*ST退]+$"))))
        return 100;
    if (onlyBond && !(c.startsWith(QLatin1String("11")) || c.startsWith(QLatin1String("12"))))
        return 10;
    if (onlyMain &&
        !(c.size() == 6 && (c.startsWith(QLatin1String("00")) || c.startsWith(QLatin1String("60")))))
        return 11;
    if (notST && n.contains(QLatin1String("ST"), Qt::CaseInsensitive))
        return 12;
    const long long cents = priceCents();
    const bool priceRead = !price.empty() && QString(q(price)).contains(QRegularExpression(QStringLiteral("^[0-9]+\\.[0-9]+$")));
    if ((maxPriceOn || minPriceOn || amountOn) && !priceRead)
        return 102;
    const double value = q(price).toDouble();
    if (priceRead && maxPriceOn && value > maxPrice)
        return 15;
    if (priceRead && minPriceOn && minPrice > value)
        return 15;
    return 0;
}

QString TradeCase::describe() const
{
    QStringList parts;
    parts << QStringLiteral("key %1%2")
                 .arg(key)
                 .arg(splitMode ? QStringLiteral(" (keyboard split)") : QString());
    parts << QStringLiteral("%1 %2 at %3").arg(q(code), q(name), q(price));
    parts << QStringLiteral("maximum %1%2 after %3 ms")
                 .arg(maximum)
                 .arg(maxText.empty() ? QString() : QStringLiteral(" shown as \"%1\"").arg(q(maxText)))
                 .arg(maxDelayMs);
    if (fixedQuantity >= 0)
        parts << QStringLiteral("client quantity %1").arg(fixedQuantity);
    parts << QStringLiteral("layout %1%2")
                 .arg(layout)
                 .arg(profileBySwitch ? QStringLiteral(" (profile by switch)") : QString());
    QStringList on;
    if (onlyBond)
        on << QStringLiteral("only bonds");
    if (onlyMain)
        on << QStringLiteral("only main board");
    if (notST)
        on << QStringLiteral("no ST");
    if (maxPriceOn)
        on << QStringLiteral("max price %1").arg(maxPrice);
    if (minPriceOn)
        on << QStringLiteral("min price %1").arg(minPrice);
    if (amountOn)
        on << QStringLiteral("max amount %1").arg(maxAmount);
    if (!softwareSplit)
        on << QStringLiteral("software split off");
    parts << (on.isEmpty() ? QStringLiteral("no limits") : on.join(QStringLiteral(", ")));
    parts << QStringLiteral("visible after %1 ms, split buttons %2 (+%3 ms)")
                 .arg(visibleAfterMs)
                 .arg(splitButtonsWork ? QStringLiteral("work") : QStringLiteral("dead"))
                 .arg(clientSplitDelayMs);
    if (insistUntilMs >= 0)
        parts << QStringLiteral("client keeps 0 until %1 ms").arg(insistUntilMs);
    parts << QStringLiteral("typing %1 ms, keyboard split at %2 ms%3%4")
                 .arg(typingDelayMs)
                 .arg(keyboardSplitDelayMs)
                 .arg(typedQuantity.empty() ? QString() : QStringLiteral(" typing %1").arg(q(typedQuantity)))
                 .arg(secondKey ? QStringLiteral(", second key") : QString());
    if (earlierTrade)
        parts << QStringLiteral("after an earlier 1/3 buy");
    if (unplugAfterMs >= 0)
        parts << QStringLiteral("unplugged %1 ms after the key").arg(unplugAfterMs);
    return parts.join(QStringLiteral("; "));
}

} // namespace scenario
