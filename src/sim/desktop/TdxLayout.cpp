#include "TdxLayout.h"

namespace sim {

namespace {
TdxControl label(const std::u16string& text)
{
    return {u"Static", TdxField::Label, text};
}
TdxControl field(const char16_t* cls, TdxField f)
{
    return {cls, f, {}};
}
TdxControl button(TdxField f, const std::u16string& text, bool visible = true)
{
    return {u"Button", f, text, visible};
}
std::vector<TdxControl> splitButtons(const std::u16string& pad = {})
{
    return {button(TdxField::Split2, pad + u"1/2" + pad), button(TdxField::Split3, pad + u"1/3" + pad),
            button(TdxField::Split4, pad + u"1/4" + pad), button(TdxField::Split5, pad + u"1/5" + pad)};
}
void append(std::vector<TdxControl>& to, const std::vector<TdxControl>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}
} // namespace

TdxLayout TdxLayout::jinRongZhongDuan()
{
    TdxLayout l;
    l.name = u"金融终端";
    l.buy = {
        label(u"证券代码:"),                     // Static 0
        label(u"证券名称:"),                     // Static 1
        field(u"Static", TdxField::Code),        // Static 2
        field(u"Static", TdxField::Name),        // Static 3
        label(u"买入价格:"),                     // Static 4
        field(u"Edit", TdxField::Price),         // Edit 0
        label(u"买入金额:"),                     // Static 5
        field(u"Edit", TdxField::Amount),        // Edit 1
        label(u"买入数量:"),                     // Static 6
        field(u"Edit", TdxField::Quantity),      // Edit 2
        label(u"最大可买:"),                     // Static 7
        field(u"Static", TdxField::MaxQuantity), // Static 8
        label(u"股"),                            // Static 9
    };
    append(l.buy, splitButtons());
    append(l.buy, {button(TdxField::Confirm, u"买入"), button(TdxField::Cancel, u"取消")});
    l.buyIndices = {2, 3, 0, 2, 8};

    l.margin = {
        label(u"信用账户:"),                     // Static 0
        label(u"E012345678"),                    // Static 1
        label(u"可用保证金:"),                   // Static 2
        label(u"52300.00"),                      // Static 3
        label(u"证券代码:"),                     // Static 4
        label(u"证券名称:"),                     // Static 5
        field(u"Static", TdxField::Code),        // Static 6
        field(u"Static", TdxField::Name),        // Static 7
        field(u"Edit", TdxField::Price),         // Edit 0
        field(u"Edit", TdxField::Amount),        // Edit 1
        field(u"Edit", TdxField::Quantity),      // Edit 2
        field(u"Static", TdxField::MaxQuantity), // Static 8
        label(u"融资价格:"),                     // Static 9
        label(u"融资数量:"),                     // Static 10
        label(u"最大可融:"),                     // Static 11
    };
    append(l.margin, splitButtons());
    append(l.margin, {button(TdxField::Confirm, u"融资买入"), button(TdxField::Cancel, u"取消")});
    l.marginIndices = {6, 7, 0, 2, 8};
    return l;
}

TdxLayout TdxLayout::brokerA()
{
    TdxLayout l;
    l.name = u"券商版A";
    l.buy = {
        label(u"代码"),                          // Static 0
        field(u"Static", TdxField::Code),        // Static 1
        label(u"名称"),                          // Static 2
        label(u"价格"),                          // Static 3
        field(u"Static", TdxField::Name),        // Static 4
        {u"Edit", TdxField::Label, u"限价"},     // Edit 0: the price type
        field(u"Edit", TdxField::Price),         // Edit 1
        label(u"数量"),                          // Static 5
        field(u"Edit", TdxField::Amount),        // Edit 2
        field(u"Edit", TdxField::Quantity),      // Edit 3
        label(u"可买"),                          // Static 6
        label(u"资金余额:"),                     // Static 7
        label(u"86000.00"),                      // Static 8
        label(u"股东账号:"),                     // Static 9
        label(u"A123456789"),                    // Static 10
        field(u"Static", TdxField::MaxQuantity), // Static 11
        label(u"股"),                            // Static 12
    };
    append(l.buy, splitButtons(u" "));
    append(l.buy, {button(TdxField::Inert, u"买入", false), button(TdxField::Confirm, u" 买 入 "),
                   button(TdxField::Cancel, u"取消")});
    l.buyIndices = {1, 4, 1, 3, 11};

    l.margin = {
        label(u"融资买入"),                      // Static 0
        label(u"代码"),                          // Static 1
        label(u"名称"),                          // Static 2
        field(u"Static", TdxField::Code),        // Static 3
        {u"Edit", TdxField::Label, u"限价"},     // Edit 0
        {u"Edit", TdxField::Label, u""},         // Edit 1: the guarantee ratio, empty
        field(u"Edit", TdxField::Price),         // Edit 2
        label(u"可融:"),                         // Static 4
        field(u"Static", TdxField::Name),        // Static 5
        field(u"Edit", TdxField::Amount),        // Edit 3
        field(u"Edit", TdxField::Quantity),      // Edit 4
        label(u"最大"),                          // Static 6
        label(u"担保比例:"),                     // Static 7
        label(u"230%"),                          // Static 8
        field(u"Static", TdxField::MaxQuantity), // Static 9
        button(TdxField::Confirm, u"融资买入"),
        button(TdxField::Cancel, u"取消"),
    };
    l.marginIndices = {3, 5, 2, 4, 9};
    return l;
}

TdxLayout TdxLayout::brokerB()
{
    TdxLayout l;
    l.name = u"券商版B";
    l.groupThousands = true;
    l.buy = {
        field(u"Static", TdxField::Code), // Static 0: the header repeats the code
        label(u"闪电委托"),               // Static 1
        {u"ComboBox", TdxField::Label, u"限价委托"},
        label(u"证券:"),                         // Static 2
        field(u"Static", TdxField::Code),        // Static 3
        field(u"Static", TdxField::Name),        // Static 4
        label(u"委托价"),                        // Static 5
        field(u"Edit", TdxField::Price),         // Edit 0
        label(u"委托量"),                        // Static 6
        field(u"Edit", TdxField::Quantity),      // Edit 1
        label(u"可买"),                          // Static 7
        field(u"Static", TdxField::MaxQuantity), // Static 8
        button(TdxField::Confirm, u"买入"),
        button(TdxField::Cancel, u"取消"),
    };
    l.buyIndices = {3, 4, 0, 1, 8};
    l.margin = {
        field(u"Static", TdxField::Code), // Static 0
        label(u"融资委托"),               // Static 1
        {u"ComboBox", TdxField::Label, u"限价委托"},
        label(u"证券:"),                         // Static 2
        field(u"Static", TdxField::Code),        // Static 3
        field(u"Static", TdxField::Name),        // Static 4
        label(u"融资价"),                        // Static 5
        field(u"Edit", TdxField::Price),         // Edit 0
        label(u"融资量"),                        // Static 6
        field(u"Edit", TdxField::Quantity),      // Edit 1
        label(u"可融"),                          // Static 7
        field(u"Static", TdxField::MaxQuantity), // Static 8
        button(TdxField::Confirm, u"融资买入"),
        button(TdxField::Cancel, u"取消"),
    };
    l.marginIndices = {3, 4, 0, 1, 8};
    return l;
}

std::vector<TdxLayout> TdxLayout::all()
{
    return {jinRongZhongDuan(), brokerA(), brokerB()};
}

} // namespace sim
