// A fake 通达信 (TDX) as a Win32 process of its own (tdxw.exe): the "TdxW_MainFrame_Class" main
// window and real "#32770" flash order dialogs laid out by the same TdxLayout as the simulated
// TDX, so that the program (or a test) reads and drives them across processes with WM_GETTEXT,
// WM_SETTEXT, BM_CLICK and WM_CLOSE exactly as it does a real client.
//
//   tdxw.exe --journal <file> [--commands <file>] [--layout 金融终端|券商版A|券商版B]
//            [--code 600000 --name 浦发银行 --price 10.52 --max 10000] [--max-delay-ms 30]
//
// The client behaves as the simulated one does: F9 / F10 / F11 typed into the main window open
// 闪电买入 / 闪电融资买入 / 闪电卖出 for the current stock with the quantity edit focused and
// selected; the maximum quantity appears --max-delay-ms after the dialog; a split button fills in
// max / ratio rounded down to whole lots; the confirm button checks the order (no quantity, an
// odd lot of a buy, more than the maximum, a bad price are refused with a "Tdx" box over the
// dialog, which stays open) or places it, shows 提示 "委托已提交，合同编号：…" and closes the
// dialog; the cancel button, Esc and WM_CLOSE close it.
//
// Commands, one UTF-8 line each, appended to the commands file (read every 20 ms):
//   stock <code> <name> <price> <max>   the stock of the next order dialog
//   buy | margin | sell                 open that dialog, as its hot key does
//   front                               bring the main window to the front
//   quit                                end the client
// The journal (UTF-8, one line per event, flushed at once) is what a test reads back:
//   ready <main window> <pid>
//   dialog <window> <title>             an order dialog opened
//   order submitted|rejected <kind> <code> <name> <price> <quantity> <contract number|refusal>
//   closed <window>                     an order dialog closed
//   front <window>                      after "front": the window in front
// Window handles are written in decimal.

#include "platform/api/Text.h"
#include "sim/desktop/TdxLayout.h"
#include "sim/desktop/TdxOrderRules.h"
#include "wine/DialogTemplate.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using sim::TdxControl;
using sim::TdxField;
using sim::TdxLayout;
using sim::parseShareCount;

constexpr int FieldIdBase = 0x0400;
constexpr int SplitIdBase = 0x0500;
constexpr int InertIdBase = 0x0600;
constexpr UINT_PTR CommandTimer = 1;
constexpr UINT_PTR MaximumTimer = 2;
constexpr UINT CommandPollMs = 20;

enum class Kind
{
    Buy,
    Margin,
    Sell
};

struct Stock
{
    std::u16string code = u"600000";
    std::u16string name = u"浦发银行";
    std::u16string price = u"10.52";
    long long maxQuantity = 10000;
};

struct OrderDialog
{
    Kind kind = Kind::Buy;
    Stock stock;
    std::u16string title;
    std::map<TdxField, HWND> controls;
    std::map<int, int> splitRatios; // control id → ratio
    long long maxValue = -1;        // the maximum as shown, once it is
};

struct Client
{
    TdxLayout layout = TdxLayout::jinRongZhongDuan();
    Stock stock;
    UINT maxDelayMs = 30;
    std::wstring commandsPath;
    long long commandsOffset = 0;
    std::string partialLine;
    FILE* journal = nullptr;
    HWND main = nullptr;
    std::map<HWND, std::unique_ptr<OrderDialog>> dialogs;
    std::vector<HWND> boxes; // 提示 and Tdx boxes
    int nextContract = 1001;
};

Client* client = nullptr;

std::string utf8(const std::u16string& text)
{
    return platform::toUtf8(text);
}

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string fromWide(const wchar_t* text)
{
    return reinterpret_cast<const char16_t*>(text);
}

std::u16string decimal(long long value)
{
    return platform::fromUtf8(std::to_string(value));
}

void journal(const std::string& line)
{
    if (!client->journal)
        return;
    std::fputs((line + "\n").c_str(), client->journal);
    std::fflush(client->journal);
}

std::string handle(HWND window)
{
    return std::to_string(reinterpret_cast<std::uintptr_t>(window));
}

std::u16string windowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return fromWide(text.c_str());
}

void setText(HWND window, const std::u16string& text)
{
    SetWindowTextW(window, wide(text));
}

const char* kindName(Kind kind)
{
    return kind == Kind::Buy ? "buy" : kind == Kind::Margin ? "margin" : "sell";
}

// ---------------------------------------------------------------- boxes

INT_PTR CALLBACK boxProc(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        DestroyWindow(box);
        return TRUE;
    }
    if (message == WM_CLOSE) {
        DestroyWindow(box);
        return TRUE;
    }
    if (message == WM_DESTROY) {
        auto& boxes = client->boxes;
        boxes.erase(std::remove(boxes.begin(), boxes.end(), box), boxes.end());
        // Closing a refusal brings its order dialog back to the front.
        if (HWND owner = GetWindow(box, GW_OWNER); owner && client->dialogs.count(owner))
            SetForegroundWindow(owner);
    }
    return FALSE;
}

// A "#32770" message box of the client (modeless: the client's loop keeps running).
HWND openBox(HWND owner, const std::u16string& title, const std::u16string& text)
{
    winetest::DialogTemplate box(title, 60, 60, 180, 60, 2);
    box.addItem(u"Static", text, WS_VISIBLE, 0xFFFF, 10, 10, 160, 20);
    box.addItem(u"Button", u"确定", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 65, 38, 50, 14);
    HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), box.data(), owner, boxProc, 0);
    if (window) {
        client->boxes.push_back(window);
        SetForegroundWindow(window);
    }
    return window;
}

// ---------------------------------------------------------------- order dialogs

OrderDialog* orderDialog(HWND dialog)
{
    auto it = client->dialogs.find(dialog);
    return it == client->dialogs.end() ? nullptr : it->second.get();
}

std::u16string fieldText(const OrderDialog& d, TdxField field)
{
    auto it = d.controls.find(field);
    return it == d.controls.end() ? std::u16string() : windowText(it->second);
}

void showMaximum(HWND dialog)
{
    OrderDialog* d = orderDialog(dialog);
    if (!d || d->stock.maxQuantity < 0)
        return; // the client never manages to compute it
    d->maxValue = d->stock.maxQuantity;
    auto it = d->controls.find(TdxField::MaxQuantity);
    if (it != d->controls.end())
        setText(it->second, client->layout.groupThousands ? sim::groupedThousands(d->maxValue) : decimal(d->maxValue));
}

void split(HWND dialog, int ratio)
{
    OrderDialog* d = orderDialog(dialog);
    if (!d || !d->controls.count(TdxField::Quantity))
        return;
    HWND quantity = d->controls.at(TdxField::Quantity);
    setText(quantity, decimal(sim::splitQuantity(d->maxValue, ratio, sim::tdxLot(d->stock.code))));
}

void confirm(HWND dialog)
{
    OrderDialog* d = orderDialog(dialog);
    if (!d)
        return;
    const std::u16string code = fieldText(*d, TdxField::Code);
    const std::u16string name = fieldText(*d, TdxField::Name);
    const std::u16string price = fieldText(*d, TdxField::Price);
    const std::u16string quantityText = fieldText(*d, TdxField::Quantity);
    long long quantity = 0;
    parseShareCount(quantityText, quantity);
    const std::string order = std::string(kindName(d->kind)) + " " + utf8(code) + " " + utf8(name) + " " +
                              utf8(price) + " " + std::to_string(quantity) + " ";

    const std::u16string refused = sim::tdxRefusal(d->kind != Kind::Sell, d->stock.code, d->maxValue, quantityText, price);
    if (!refused.empty()) {
        journal("order rejected " + order + utf8(refused));
        openBox(dialog, u"Tdx", refused);
        return;
    }
    const int contract = client->nextContract++;
    journal("order submitted " + order + std::to_string(contract));
    // The notice comes up over the dialog, then the dialog goes: the notice keeps the front.
    openBox(client->main, u"提示", u"委托已提交，合同编号：" + decimal(contract));
    DestroyWindow(dialog);
}

INT_PTR CALLBACK orderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return FALSE; // the focus is set by the opener
    case WM_COMMAND: {
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        const int id = LOWORD(wParam);
        OrderDialog* d = orderDialog(dialog);
        if (id == IDOK)
            confirm(dialog);
        else if (id == IDCANCEL)
            DestroyWindow(dialog);
        else if (d && d->splitRatios.count(id))
            split(dialog, d->splitRatios.at(id));
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == MaximumTimer) {
            KillTimer(dialog, MaximumTimer);
            showMaximum(dialog);
        }
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        if (client->dialogs.erase(dialog))
            journal("closed " + handle(dialog));
        return FALSE;
    default:
        return FALSE;
    }
}

// The dialog's children in the layout's order, each with its text and control id: code, name
// and price filled in, the quantity "0", the maximum empty until it has been computed.
HWND openOrderDialog(Kind kind)
{
    // One order dialog at a time, as the client does.
    while (!client->dialogs.empty())
        DestroyWindow(client->dialogs.begin()->first);

    auto d = std::make_unique<OrderDialog>();
    d->kind = kind;
    d->stock = client->stock;
    d->title = kind == Kind::Buy ? u"闪电买入" : kind == Kind::Margin ? u"闪电融资买入" : u"闪电卖出";
    const std::vector<TdxControl>& controls = kind == Kind::Margin ? client->layout.margin : client->layout.buy;

    // Fields one under the other, the buttons in a row beneath them.
    std::size_t fields = 0;
    std::size_t buttons = 0;
    for (const TdxControl& c : controls)
        ++(c.className == u"Button" ? buttons : fields);
    const short rows = static_cast<short>(fields);
    winetest::DialogTemplate dialogTemplate(d->title, 40, 30, static_cast<short>(std::max<std::size_t>(180, 40 * buttons + 10)),
                                            static_cast<short>(14 * rows + 30), controls.size());
    short row = 0;
    short column = 0;
    int inert = 0;
    std::vector<std::pair<TdxField, int>> ids; // per control, in order
    for (const TdxControl& c : controls) {
        std::u16string text;
        WORD id = static_cast<WORD>(FieldIdBase + ids.size());
        DWORD style = (c.visible ? WS_VISIBLE : 0) | (c.enabled ? 0 : WS_DISABLED);
        switch (c.field) {
        case TdxField::Code:
            text = d->stock.code;
            break;
        case TdxField::Name:
            text = d->stock.name;
            break;
        case TdxField::Price:
            text = d->stock.price;
            break;
        case TdxField::Quantity:
            text = u"0";
            break;
        case TdxField::MaxQuantity:
        case TdxField::Amount:
            break;
        case TdxField::Confirm:
            id = IDOK;
            style |= BS_DEFPUSHBUTTON;
            text = c.text;
            break;
        case TdxField::Cancel:
            id = IDCANCEL;
            text = c.text;
            break;
        case TdxField::Inert:
            id = static_cast<WORD>(InertIdBase + inert++);
            text = c.text;
            break;
        default:
            text = c.text;
            if (c.className == u"Static")
                id = 0xFFFF; // IDC_STATIC
            break;
        }
        if (kind == Kind::Sell && c.field != TdxField::Name)
            text = sim::sellText(text);
        if (const int ratio = sim::splitRatio(c.field)) {
            id = static_cast<WORD>(SplitIdBase + ratio);
            d->splitRatios[id] = ratio;
        }
        if (c.className == u"Edit")
            style |= WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
        else if (c.className == u"Button" && !(style & BS_DEFPUSHBUTTON))
            style |= WS_TABSTOP | BS_PUSHBUTTON;
        else if (c.className == u"Button")
            style |= WS_TABSTOP;
        else if (c.className == u"ComboBox")
            style |= CBS_DROPDOWNLIST;
        if (c.className == u"Button") {
            dialogTemplate.addItem(c.className, text, style, id, static_cast<short>(5 + 40 * column++),
                                   static_cast<short>(14 * rows + 10), 36, 14);
        } else {
            dialogTemplate.addItem(c.className, text, style, id, 5, static_cast<short>(5 + 14 * row++), 120,
                                   c.className == u"ComboBox" ? 60 : 12);
        }
        ids.emplace_back(c.field, id);
    }

    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate.data(), client->main,
                                             orderDialogProc, 0);
    if (!dialog)
        return nullptr;
    // The children in creation order are the controls in layout order; the last one of a field
    // counts (a header may repeat the code).
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const auto& entry : ids) {
        if (!child)
            break;
        if (entry.first != TdxField::Label && entry.first != TdxField::Inert)
            d->controls[entry.first] = child;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    OrderDialog& made = *d;
    client->dialogs[dialog] = std::move(d);
    journal("dialog " + handle(dialog) + " " + utf8(made.title));

    SetForegroundWindow(dialog);
    auto quantity = made.controls.find(TdxField::Quantity);
    if (quantity != made.controls.end()) {
        SetFocus(quantity->second);
        SendMessageW(quantity->second, EM_SETSEL, 0, -1);
    }
    if (client->maxDelayMs > 0)
        SetTimer(dialog, MaximumTimer, client->maxDelayMs, nullptr);
    else
        showMaximum(dialog);
    return dialog;
}

// ---------------------------------------------------------------- commands

std::vector<std::u16string> words(const std::u16string& line)
{
    std::vector<std::u16string> out;
    std::u16string word;
    for (char16_t c : line + u" ") {
        if (c == u' ' || c == u'\t' || c == u'\r') {
            if (!word.empty())
                out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return out;
}

void runCommand(const std::u16string& line)
{
    const std::vector<std::u16string> w = words(line);
    if (w.empty())
        return;
    long long max = 0;
    if (w[0] == u"stock" && w.size() == 5 && parseShareCount(w[4], max)) {
        client->stock = {w[1], w[2], w[3], max};
    } else if (w[0] == u"buy" && w.size() == 1) {
        openOrderDialog(Kind::Buy);
    } else if (w[0] == u"margin" && w.size() == 1) {
        openOrderDialog(Kind::Margin);
    } else if (w[0] == u"sell" && w.size() == 1) {
        openOrderDialog(Kind::Sell);
    } else if (w[0] == u"front" && w.size() == 1) {
        SetForegroundWindow(client->main);
        journal("front " + handle(GetForegroundWindow()));
    } else if (w[0] == u"quit" && w.size() == 1) {
        DestroyWindow(client->main);
    } else {
        journal("not understood " + utf8(line));
    }
}

void readCommands()
{
    if (client->commandsPath.empty())
        return;
    HANDLE file = CreateFileW(client->commandsPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER offset{};
    offset.QuadPart = client->commandsOffset;
    SetFilePointerEx(file, offset, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        client->partialLine.append(buffer, got);
        client->commandsOffset += got;
    }
    CloseHandle(file);
    std::size_t end;
    while ((end = client->partialLine.find('\n')) != std::string::npos) {
        const std::string line = client->partialLine.substr(0, end);
        client->partialLine.erase(0, end + 1);
        runCommand(platform::fromUtf8(line));
    }
}

// ---------------------------------------------------------------- main window

LRESULT CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        // The hot keys a trading keyboard types.
        if (wParam == VK_F9) {
            openOrderDialog(Kind::Buy);
            return 0;
        }
        if (wParam == VK_F10) {
            openOrderDialog(Kind::Margin);
            return 0;
        }
        if (wParam == VK_F11) {
            openOrderDialog(Kind::Sell);
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == CommandTimer)
            readCommands();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool isDialogMessage(MSG& msg)
{
    for (auto& d : client->dialogs) {
        if (IsDialogMessageW(d.first, &msg))
            return true;
    }
    for (HWND box : client->boxes) {
        if (IsDialogMessageW(box, &msg))
            return true;
    }
    return false;
}

bool parseArguments(Client& c, std::u16string& journalPath)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return false;
    bool ok = true;
    for (int i = 1; i + 1 < argc && ok; i += 2) {
        const std::u16string option = fromWide(argv[i]);
        const std::u16string value = fromWide(argv[i + 1]);
        long long number = 0;
        if (option == u"--journal") {
            journalPath = value;
        } else if (option == u"--commands") {
            c.commandsPath = reinterpret_cast<const wchar_t*>(value.c_str());
        } else if (option == u"--layout") {
            ok = false;
            for (const TdxLayout& layout : TdxLayout::all()) {
                if (layout.name == value) {
                    c.layout = layout;
                    ok = true;
                }
            }
        } else if (option == u"--code") {
            c.stock.code = value;
        } else if (option == u"--name") {
            c.stock.name = value;
        } else if (option == u"--price") {
            c.stock.price = value;
        } else if (option == u"--max" && parseShareCount(value, number)) {
            c.stock.maxQuantity = number;
        } else if (option == u"--max-delay-ms" && parseShareCount(value, number)) {
            c.maxDelayMs = static_cast<UINT>(number);
        } else {
            ok = false;
        }
    }
    if (argc % 2 == 0)
        ok = false;
    LocalFree(argv);
    return ok && !journalPath.empty();
}

} // namespace

int main()
{
    Client c;
    client = &c;
    std::u16string journalPath;
    if (!parseArguments(c, journalPath)) {
        std::fprintf(stderr, "usage: tdxw.exe --journal <file> [--commands <file>] [--layout <name>] "
                             "[--code <code> --name <name> --price <price> --max <quantity>] [--max-delay-ms <ms>]\n");
        return 2;
    }
    c.journal = _wfopen(wide(journalPath), L"ab");
    if (!c.journal)
        return 1;

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = mainProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"TdxW_MainFrame_Class";
    if (!RegisterClassW(&windowClass))
        return 1;
    c.main = CreateWindowExW(0, windowClass.lpszClassName, L"通达信金融终端V7.65 - [版面-自选股]",
                             WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                             windowClass.hInstance, nullptr);
    if (!c.main)
        return 1;
    SetForegroundWindow(c.main);
    SetFocus(c.main);
    SetTimer(c.main, CommandTimer, CommandPollMs, nullptr);
    journal("ready " + handle(c.main) + " " + std::to_string(GetCurrentProcessId()));

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!isDialogMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    std::fclose(c.journal);
    return 0;
}
