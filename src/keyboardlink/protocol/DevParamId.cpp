#include "DevParamId.h"

namespace {

struct DevParam
{
    DevParamId id;
    quint8 command;
    const char* key;
};

// In DevParamId order.
constexpr DevParam kParams[DevParamCount] = {
    {DevParamId::Soft, 0x31, "soft"},
    {DevParamId::Trade, 0x36, "trade"},
    {DevParamId::NumLock, 0x37, "numlock"},
    {DevParamId::Speed, 0x33, "speed"},
    {DevParamId::Query, 0x39, "query"},
    {DevParamId::Focus, 0x3A, "focus"},
    {DevParamId::Cancel, 0x38, "cancel"},
    {DevParamId::Cost, 0x3B, "cost"},
    {DevParamId::BuyConfirm, 0x2B, "buyconfirm"},
    {DevParamId::SellConfirm, 0x2E, "sellconfirm"},
    {DevParamId::FnKey, 0x3D, "fnkey"},
    {DevParamId::LedColor, 0xED, "ledcolor"},
};

} // namespace

quint8 devParamCommand(DevParamId id)
{
    return kParams[static_cast<int>(id)].command;
}

QString devParamKey(DevParamId id)
{
    return QString::fromLatin1(kParams[static_cast<int>(id)].key);
}

std::optional<DevParamId> devParamFromCommand(int command)
{
    for (const DevParam& p : kParams)
        if (p.command == command)
            return p.id;
    return std::nullopt;
}

std::optional<DevParamId> devParamFromKey(const QString& key)
{
    for (const DevParam& p : kParams)
        if (key == QLatin1String(p.key))
            return p.id;
    return std::nullopt;
}
