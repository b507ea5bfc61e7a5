#include "trade/TradeTypes.h"

#include "trade/WindowState.h"

#include <QMetaType>

#include <iterator>

namespace trade {

void registerMetaTypes()
{
    qRegisterMetaType<HWND>("trade::HWND");
    qRegisterMetaType<WPARAM>("trade::WPARAM");
    qRegisterMetaType<WindowState>("WindowState");
}

namespace {

struct TradeTypeInfo
{
    int type;
    const char* name; // UTF-8
    int ratio;
    bool fixedQuantity;
};

// Every trade key the keyboard knows.
constexpr TradeTypeInfo TradeTypeTable[] = {
    {10, "定额买", 0, true},     {11, "全仓买", 1, false},   {12, "1/2买", 2, false},
    {13, "1/3买", 3, false},     {14, "1/4买", 4, false},    {15, "1/5买", 5, false},
    {17, "融资市价买", 0, true}, {18, "融资买", 0, true},    {19, "市价买", 0, true},
    {20, "定额卖", 0, true},     {21, "全仓卖", 1, false},   {22, "1/2卖", 2, false},
    {23, "1/3卖", 3, false},     {24, "1/4卖", 4, false},    {25, "1/5卖", 5, false},
    {29, "市价卖", 0, false},
};

const TradeTypeInfo* tradeTypeInfo(int type)
{
    for (const TradeTypeInfo& info : TradeTypeTable) {
        if (info.type == type)
            return &info;
    }
    return nullptr;
}

struct DialogKindInfo
{
    DialogKind kind;
    const char* titleContains; // tested in the order of the table
    const char* name;
};

constexpr DialogKindInfo DialogKindTable[] = {
    {MarginBuyDialog, "融资买", "闪电融资买入"},
    {BuyDialog, "闪电买", "闪电买入"},
    {SellDialog, "闪电卖", "闪电卖出"},
};

} // namespace

QString tradeTypeName(int type)
{
    if (const TradeTypeInfo* info = tradeTypeInfo(type))
        return QString::fromUtf8(info->name);
    return QStringLiteral("交易类型%1").arg(type);
}

int splitRatio(int type)
{
    const TradeTypeInfo* info = tradeTypeInfo(type);
    return info ? info->ratio : 0;
}

bool isFixedQuantityType(int type)
{
    const TradeTypeInfo* info = tradeTypeInfo(type);
    return info && info->fixedQuantity;
}

DialogKind dialogKind(const QString& title)
{
    for (const DialogKindInfo& info : DialogKindTable) {
        if (title.contains(QString::fromUtf8(info.titleContains)))
            return info.kind;
    }
    return OtherDialog;
}

QString dialogKindName(int kind)
{
    for (const DialogKindInfo& info : DialogKindTable) {
        if (info.kind == kind)
            return QString::fromUtf8(info.name);
    }
    return QStringLiteral("当前");
}

} // namespace trade
