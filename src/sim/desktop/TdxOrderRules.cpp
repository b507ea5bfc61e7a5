#include "TdxOrderRules.h"

#include "platform/api/Text.h"

namespace sim {

namespace {

std::u16string number(long long value)
{
    return platform::fromUtf8(std::to_string(value));
}

bool isPositivePrice(const std::u16string& text)
{
    int dots = 0;
    bool nonZero = false;
    for (char16_t c : text) {
        if (c == u'.')
            ++dots;
        else if (c < u'0' || c > u'9')
            return false;
        else if (c != u'0')
            nonZero = true;
    }
    return !text.empty() && dots <= 1 && text.front() != u'.' && text.back() != u'.' && nonZero;
}

} // namespace

int tdxLot(const std::u16string& code)
{
    const bool bond = code.rfind(u"11", 0) == 0 || code.rfind(u"12", 0) == 0;
    return bond ? 10 : 100;
}

bool parseShareCount(const std::u16string& text, long long& value)
{
    if (text.empty() || text.size() > 15)
        return false;
    value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
    }
    return true;
}

std::u16string groupedThousands(long long value)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return platform::fromUtf8((value < 0 ? "-" : "") + out);
}

std::u16string sellText(std::u16string text)
{
    for (auto& c : text) {
        if (c == u'买')
            c = u'卖';
        else if (c == u'入')
            c = u'出';
    }
    return text;
}

int splitRatio(TdxField field)
{
    switch (field) {
    case TdxField::Split2:
        return 2;
    case TdxField::Split3:
        return 3;
    case TdxField::Split4:
        return 4;
    case TdxField::Split5:
        return 5;
    default:
        return 0;
    }
}

long long splitQuantity(long long maxQuantity, int ratio, int lot)
{
    return maxQuantity > 0 && ratio > 0 && lot > 0 ? maxQuantity / ratio / lot * lot : 0;
}

std::u16string tdxRefusal(bool buy, const std::u16string& code, long long maxQuantity,
                          const std::u16string& quantityText, const std::u16string& price)
{
    if (!isPositivePrice(price))
        return u"委托价格无效";
    long long quantity = 0;
    if (!parseShareCount(quantityText, quantity))
        return u"委托数量无效";
    if (quantity == 0)
        return u"委托数量必须大于0";
    const int lot = tdxLot(code);
    if (buy && quantity % lot != 0)
        return u"买入数量必须是" + number(lot) + u"的整数倍";
    if (maxQuantity >= 0 && quantity > maxQuantity)
        return buy ? u"可用资金不足" : u"可用股份不足";
    return {};
}

} // namespace sim
