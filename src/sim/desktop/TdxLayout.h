#pragma once

// Where a TDX build puts the fields of its flash order dialogs. The children of a dialog are
// created in the order listed, so the n-th "Static" or "Edit" the program counts is fixed by this
// list; the indices that read the layout (a TDX profile) are given beside it.

#include <string>
#include <vector>

namespace sim {

enum class TdxField
{
    Label,       // a caption; its text is fixed
    Code,        // Static: stock code
    Name,        // Static: stock name
    Price,       // Edit: order price
    Amount,      // Edit: order amount in yuan (left empty)
    Quantity,    // Edit: order quantity
    MaxQuantity, // Static: maximum quantity (empty until the client has computed it)
    Split2,      // Button "1/2" … "1/5": fill the quantity with that part of the maximum
    Split3,
    Split4,
    Split5,
    Confirm, // Button: place the order (IDOK, the default button)
    Cancel,  // Button: close (IDCANCEL)
    Inert,   // Button that does nothing when clicked
};

struct TdxControl
{
    std::u16string className; // "Static", "Edit", "Button", "ComboBox", ...
    TdxField field = TdxField::Label;
    std::u16string text; // Label / buttons / inert controls: the text shown
    bool visible = true;
    bool enabled = true;
};

// A TDX profile's five positions for one dialog (-1: none).
struct TdxIndices
{
    int code = -1;
    int name = -1;
    int price = -1;
    int quantity = -1;
    int maxQuantity = -1;
};

struct TdxLayout
{
    std::u16string name;
    std::vector<TdxControl> buy;    // 闪电买入; 闪电卖出 is the same with 卖 for 买 in its texts
    std::vector<TdxControl> margin; // 闪电融资买入
    TdxIndices buyIndices;
    TdxIndices marginIndices;
    bool groupThousands = false; // the maximum shows as "12,300"

    // The layout the built-in profile 金融终端 reads: code/name/price/quantity/max at Static 2,
    // Static 3, Edit 0, Edit 2, Static 8; in the margin dialog at Static 6, 7, Edit 0, 2, Static 8.
    static TdxLayout jinRongZhongDuan();
    // A broker build with extra captions and edits: 1, 4, 1, 3, 11 / margin 3, 5, 2, 4, 9;
    // split buttons with padded texts, a hidden "买入" button before the real " 买 入 ".
    static TdxLayout brokerA();
    // A broker build without split buttons, the code shown twice (a header and the field), a
    // combo box among the children and the maximum grouped in thousands: 3, 4, 0, 1, 8 for both.
    static TdxLayout brokerB();
    static std::vector<TdxLayout> all();
};

} // namespace sim
