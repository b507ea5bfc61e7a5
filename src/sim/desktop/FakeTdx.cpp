#include "FakeTdx.h"

#include "SimSystem.h"
#include "SimText.h"
#include "TdxOrderRules.h"

#include <algorithm>

namespace sim {

using namespace platform;

namespace {

constexpr std::uint32_t CopyStockMessage = 0x841B; // TDX copies "code name" to the clipboard
constexpr std::uint32_t EmSetSel = 0x00B1;
constexpr int FieldIdBase = 0x0400;
constexpr int SplitIdBase = 0x0500;
constexpr int InertIdBase = 0x0600;

} // namespace

struct FakeTdx::OrderDialog
{
    TdxDialogKind kind = TdxDialogKind::FlashBuy;
    TdxOrderOptions options; // code, name and price resolved
    std::u16string title;
    std::map<TdxField, WindowId> controls;
    std::map<int, WindowId> splitButtons; // ratio → button
    std::map<int, int> splitIds;          // control id → ratio
    long long maxValue = -1;              // the maximum as shown, once it is a number
};

FakeTdx::FakeTdx(SimSystem& system, FakeTdxOptions options)
    : m_system(system), m_options(std::move(options)), m_hotkeyOrder(m_options.hotkeyOrder)
{
    const std::u16string exe = m_options.is64Bit ? u"tdxw64.exe" : u"tdxw.exe";
    ProcessSpec spec;
    spec.exeFile = exe;
    spec.imagePath = m_options.installDir + u"\\" + exe;
    spec.wow64 = !m_options.is64Bit;
    m_pid = m_system.processes().startProcess(spec);
    if (m_options.is64Bit && m_options.loggedIn)
        login();

    SimDesktop::ActingAs as(m_pid);
    WindowSpec main;
    main.className = u"TdxW_MainFrame_Class";
    main.text = mainTitle();
    main.pid = m_pid;
    main.proc = [this](WindowId w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) {
        return mainProc(w, m, wp, lp);
    };
    m_main = desktop().createWindow(main);
    if (m_options.activate)
        desktop().setForegroundWindow(m_main);
}

FakeTdx::~FakeTdx()
{
    if (m_tcPid)
        m_system.processes().endProcess(m_tcPid);
    m_system.processes().endProcess(m_pid);
}

SimDesktop& FakeTdx::desktop()
{
    return m_system.desktop();
}

ProcessId FakeTdx::dialogPid() const
{
    if (!m_options.is64Bit)
        return m_pid;
    const ProcessId tc = m_tcPid;
    return tc && m_system.processes().isRunning(tc) ? tc : 0;
}

std::u16string FakeTdx::imagePath() const
{
    return m_options.installDir + (m_options.is64Bit ? u"\\tdxw64.exe" : u"\\tdxw.exe");
}

std::u16string FakeTdx::dialogImagePath() const
{
    if (!m_options.is64Bit)
        return imagePath();
    const std::u16string dir = m_options.tcSubdirectory.empty()
                                   ? m_options.installDir
                                   : m_options.installDir + u"\\" + m_options.tcSubdirectory;
    return dir + u"\\TC.exe";
}

std::u16string FakeTdx::mainTitle() const
{
    return m_options.page.empty() ? m_options.mainTitle : m_options.mainTitle + u" - " + m_options.page;
}

void FakeTdx::setCurrentStock(const std::u16string& code, const std::u16string& name,
                              const std::u16string& price)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_code = code;
    m_name = name;
    m_price = price;
}

void FakeTdx::setHotkeyOrder(const TdxOrderOptions& order)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hotkeyOrder = order;
}

TdxOrderOptions FakeTdx::hotkeyOrder() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hotkeyOrder;
}

void FakeTdx::showPage(const std::u16string& page)
{
    m_options.page = page;
    SimDesktop::ActingAs as(m_pid);
    const std::u16string title = mainTitle();
    desktop().sendMessage(m_main, msg::SetText, 0, reinterpret_cast<std::intptr_t>(title.c_str()));
}

void FakeTdx::login()
{
    if (!m_options.is64Bit || (m_tcPid && m_system.processes().isRunning(m_tcPid)))
        return;
    ProcessSpec spec;
    spec.exeFile = u"TC.exe";
    spec.imagePath = dialogImagePath();
    spec.parentPid = m_pid;
    m_tcPid = m_system.processes().startProcess(spec);
}

void FakeTdx::activate()
{
    desktop().setForegroundWindow(m_main);
}

std::intptr_t FakeTdx::mainProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam)
{
    if (message == CopyStockMessage) {
        std::u16string text;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            text = m_code + u" " + m_name;
        }
        desktop().putClipboardText(text);
        return 0;
    }
    if (message == msg::KeyDown) {
        auto key = m_options.hotkeys.find(static_cast<int>(wParam));
        if (key != m_options.hotkeys.end()) {
            openOrderDialog(key->second, hotkeyOrder());
            return 0;
        }
    }
    return desktop().defWindowProc(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- order dialogs

WindowId FakeTdx::openFlashBuy(const TdxOrderOptions& options)
{
    return openOrderDialog(TdxDialogKind::FlashBuy, options);
}

WindowId FakeTdx::openMarginBuy(const TdxOrderOptions& options)
{
    return openOrderDialog(TdxDialogKind::MarginBuy, options);
}

WindowId FakeTdx::openFlashSell(const TdxOrderOptions& options)
{
    return openOrderDialog(TdxDialogKind::FlashSell, options);
}

WindowId FakeTdx::openOrderDialog(TdxDialogKind kind, const TdxOrderOptions& options)
{
    const ProcessId pid = dialogPid();
    if (!pid)
        return 0;
    for (WindowId open : orderDialogs())
        desktop().destroyWindow(open);

    auto d = std::make_shared<OrderDialog>();
    d->kind = kind;
    d->options = options;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (d->options.code.empty()) {
            d->options.code = m_code;
            d->options.name = m_name;
            d->options.price = m_price;
        }
    }
    d->title = options.title;
    if (d->title.empty())
        d->title = kind == TdxDialogKind::FlashBuy    ? u"闪电买入"
                   : kind == TdxDialogKind::MarginBuy ? u"闪电融资买入"
                                                      : u"闪电卖出";

    SimDesktop::ActingAs as(pid);
    WindowSpec spec;
    spec.className = u"#32770";
    spec.text = d->title;
    spec.owner = m_main;
    spec.pid = pid;
    spec.style = style::Popup | (options.visibleAfterMs > 0 ? 0 : style::Visible);
    spec.proc = [this](WindowId w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) {
        return orderDialogProc(w, m, wp, lp);
    };
    const WindowId dialog = desktop().createWindow(spec);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_dialogs[dialog] = d;
    }

    createControls(dialog, *d);

    if (options.maxDelayMs > 0)
        desktop().scheduleAfter(options.maxDelayMs, pid, dialog, [this, dialog] { showMaximum(dialog); });
    else
        showMaximum(dialog);
    if (options.visibleAfterMs > 0)
        desktop().scheduleAfter(options.visibleAfterMs, pid, dialog,
                                [this, dialog] { desktop().setVisible(dialog, true); });
    if (options.fieldsAfterMs > 0) {
        // The client looks the stock up after the dialog is up.
        desktop().scheduleAfter(options.fieldsAfterMs, pid, dialog, [this, dialog, d] {
            const std::pair<TdxField, std::u16string> fields[] = {{TdxField::Code, d->options.code},
                                                                  {TdxField::Name, d->options.name},
                                                                  {TdxField::Price, d->options.price}};
            for (const auto& field : fields) {
                if (const WindowId c = control(dialog, field.first))
                    desktop().sendMessage(c, msg::SetText, 0, reinterpret_cast<std::intptr_t>(field.second.c_str()));
            }
        });
    }

    desktop().setForegroundWindow(dialog);
    if (const WindowId quantity = control(dialog, TdxField::Quantity)) {
        desktop().setFocus(quantity);
        desktop().sendMessage(quantity, EmSetSel, 0, -1);
    }
    return dialog;
}

// The dialog's children in the layout's order, each with its text and control id.
void FakeTdx::createControls(WindowId dialog, OrderDialog& d)
{
    const TdxDialogKind kind = d.kind;
    const auto& controls = kind == TdxDialogKind::MarginBuy ? m_options.layout.margin : m_options.layout.buy;
    int inert = 0;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const TdxControl& c = controls[i];
        WindowSpec child;
        child.className = c.className;
        child.parent = dialog;
        child.style = (c.visible ? style::Visible : 0) | (c.enabled ? 0 : style::Disabled);
        child.controlId = FieldIdBase + static_cast<int>(i);
        const bool late = d.options.fieldsAfterMs > 0;
        switch (c.field) {
        case TdxField::Code:
            child.text = late ? std::u16string() : d.options.code;
            break;
        case TdxField::Name:
            child.text = late ? std::u16string() : d.options.name;
            break;
        case TdxField::Price:
            child.text = late ? std::u16string() : d.options.price;
            break;
        case TdxField::Quantity:
            child.text = d.options.quantity;
            break;
        case TdxField::MaxQuantity:
        case TdxField::Amount:
            break;
        case TdxField::Confirm:
            child.controlId = IdOk;
            child.style |= BsDefPushButton;
            child.text = c.text;
            break;
        case TdxField::Cancel:
            child.controlId = IdCancel;
            child.text = c.text;
            break;
        case TdxField::Inert:
            child.controlId = InertIdBase + inert++;
            child.text = c.text;
            break;
        default:
            child.text = c.text;
            if (c.className == u"Static")
                child.controlId = 0xFFFF; // IDC_STATIC
            break;
        }
        if (kind == TdxDialogKind::FlashSell && c.field != TdxField::Name)
            child.text = sellText(child.text);
        if (const int ratio = splitRatio(c.field))
            child.controlId = SplitIdBase + ratio;
        const WindowId made = desktop().createWindow(child);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (c.field != TdxField::Label && c.field != TdxField::Inert)
            d.controls[c.field] = made;
        if (const int ratio = splitRatio(c.field)) {
            d.splitButtons[ratio] = made;
            d.splitIds[child.controlId] = ratio;
        }
    }
}

std::intptr_t FakeTdx::orderDialogProc(WindowId dialog, std::uint32_t message, std::uintptr_t wParam,
                                       std::intptr_t lParam)
{
    if (message == msg::Command) {
        if ((wParam >> 16) != notify::BnClicked)
            return 0;
        const int id = static_cast<int>(wParam & 0xFFFF);
        int ratio = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto d = m_dialogs.find(dialog);
            if (d != m_dialogs.end() && d->second->splitIds.count(id))
                ratio = d->second->splitIds.at(id);
        }
        if (id == IdOk)
            confirm(dialog);
        else if (id == IdCancel)
            desktop().destroyWindow(dialog);
        else if (ratio)
            split(dialog, ratio);
        return 0;
    }
    if (message == wm::Destroy) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_dialogs.erase(dialog);
        return 0;
    }
    return desktop().defDialogProc(dialog, message, wParam, lParam);
}

void FakeTdx::showMaximum(WindowId dialog)
{
    std::shared_ptr<OrderDialog> d;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_dialogs.find(dialog);
        if (it == m_dialogs.end())
            return;
        d = it->second;
    }
    const TdxOrderOptions& o = d->options;
    std::u16string text;
    if (!o.maxText.empty()) {
        text = o.maxText;
        long long value = 0;
        if (parseShareCount(text, value)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            d->maxValue = value;
        }
    } else if (o.maxQuantity >= 0) {
        text = m_options.layout.groupThousands ? groupedThousands(o.maxQuantity) : decimal(o.maxQuantity);
        std::lock_guard<std::mutex> lock(m_mutex);
        d->maxValue = o.maxQuantity;
    } else {
        return; // the client never manages to compute it
    }
    desktop().sendMessage(control(dialog, TdxField::MaxQuantity), msg::SetText, 0,
                          reinterpret_cast<std::intptr_t>(text.c_str()));
    if (o.fixedQuantity >= 0) {
        const std::u16string quantity = decimal(o.fixedQuantity);
        desktop().sendMessage(control(dialog, TdxField::Quantity), msg::SetText, 0,
                              reinterpret_cast<std::intptr_t>(quantity.c_str()));
    }
}

void FakeTdx::split(WindowId dialog, int ratio)
{
    if (!m_options.splitButtonsWork)
        return;
    long long max = 0;
    std::u16string code;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_dialogs.find(dialog);
        if (it == m_dialogs.end())
            return;
        max = std::max(it->second->maxValue, 0LL);
        code = it->second->options.code;
    }
    const int lot = m_options.splitLot > 0 ? m_options.splitLot : tdxLot(code);
    const long long quantity = splitQuantity(max, ratio, lot);
    auto fill = [this, dialog, quantity] {
        const std::u16string text = decimal(quantity);
        desktop().sendMessage(control(dialog, TdxField::Quantity), msg::SetText, 0,
                              reinterpret_cast<std::intptr_t>(text.c_str()));
    };
    if (m_options.splitDelayMs > 0)
        desktop().scheduleAfter(m_options.splitDelayMs, desktop().windowProcessId(dialog), dialog, fill);
    else
        fill();
}

void FakeTdx::confirm(WindowId dialog)
{
    std::shared_ptr<OrderDialog> d;
    long long maxValue = -1;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_dialogs.find(dialog);
        if (it == m_dialogs.end())
            return;
        d = it->second;
        maxValue = d->maxValue;
    }
    Order order;
    order.client = Order::Client::Tdx;
    order.kind = d->kind == TdxDialogKind::FlashBuy    ? Order::Kind::Buy
                 : d->kind == TdxDialogKind::MarginBuy ? Order::Kind::MarginBuy
                                                       : Order::Kind::Sell;
    order.code = fieldText(dialog, TdxField::Code);
    order.name = fieldText(dialog, TdxField::Name);
    order.price = fieldText(dialog, TdxField::Price);
    const std::u16string quantityText = fieldText(dialog, TdxField::Quantity);
    long long quantity = 0;
    parseShareCount(quantityText, quantity);
    order.quantity = quantity;
    order.dialogTitle = d->title;
    order.pid = desktop().windowProcessId(dialog);
    order.timeMs = m_system.desktop().now();

    const std::u16string refused =
        m_options.checkOrders ? tdxRefusal(d->kind != TdxDialogKind::FlashSell, d->options.code, maxValue, quantityText, order.price)
                              : std::u16string();
    if (!refused.empty()) {
        order.status = Order::Status::Rejected;
        order.message = refused;
        m_system.orderBook().add(order);
        MessageDialogSpec box;
        box.pid = order.pid;
        box.owner = dialog;
        box.title = m_options.refusalBoxTitle;
        box.texts = {refused};
        openMessageDialog(desktop(), box);
        return;
    }
    if (m_options.tradeConfirmation) {
        MessageDialogSpec box;
        box.pid = order.pid;
        box.owner = dialog;
        box.title = order.kind == Order::Kind::Sell ? u"卖出交易确认" : u"买入交易确认";
        box.texts = {u"证券代码：" + order.code + u" 证券名称：" + order.name,
                     u"委托价格：" + order.price + u" 委托数量：" + decimal(order.quantity)};
        box.buttons = {{IdOk, u"确认"}, {IdCancel, u"取消"}};
        box.onClose = [this, order, dialog](int id) {
            if (id == IdOk)
                submit(order, dialog);
        };
        openMessageDialog(desktop(), box);
        return;
    }
    submit(order, dialog);
}

void FakeTdx::submit(const Order& placed, WindowId dialog)
{
    Order order = placed;
    int contract = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        contract = m_nextContract++;
    }
    order.status = Order::Status::Submitted;
    order.message = decimal(contract);
    m_system.orderBook().add(order);
    // The notice comes up over the dialog, then the dialog goes: the notice keeps the front.
    MessageDialogSpec box;
    box.pid = order.pid;
    box.owner = m_main;
    box.title = u"提示";
    box.texts = {u"委托已提交，合同编号：" + decimal(contract)};
    const WindowId notice = openMessageDialog(desktop(), box);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastNotice = notice;
    }
    desktop().destroyWindow(dialog);
}

// ---------------------------------------------------------------- other boxes

ProcessId FakeTdx::boxPid() const
{
    const ProcessId trading = dialogPid();
    return trading ? trading : m_pid;
}

WindowId FakeTdx::openCancelBox(std::vector<std::u16string> texts, Order cancel)
{
    MessageDialogSpec box;
    box.pid = boxPid();
    box.owner = m_main;
    box.title = u"撤单确认";
    box.texts = std::move(texts);
    box.buttons = {{IdOk, u"确定"}, {IdCancel, u"取消"}};
    cancel.dialogTitle = box.title;
    cancel.pid = box.pid;
    box.onClose = [this, cancel](int id) {
        if (id != IdOk)
            return;
        Order order = cancel;
        order.timeMs = m_system.desktop().now();
        m_system.orderBook().add(order);
    };
    return openMessageDialog(desktop(), box);
}

WindowId FakeTdx::openCancelConfirm(const std::u16string& detail)
{
    Order cancel;
    cancel.kind = Order::Kind::Cancel;
    cancel.message = detail;
    return openCancelBox({u"您确定撤消该笔委托吗？", detail}, cancel);
}

WindowId FakeTdx::openCancelAll(int count)
{
    Order cancel;
    cancel.kind = Order::Kind::CancelAll;
    cancel.quantity = count;
    return openCancelBox({u"一键撤单：共" + decimal(count) + u"笔委托，确定全部撤消吗？"}, cancel);
}

WindowId FakeTdx::openTdxMessage(const std::u16string& text)
{
    MessageDialogSpec box;
    box.pid = boxPid();
    box.owner = m_main;
    box.title = u"Tdx";
    box.texts = {text};
    return openMessageDialog(desktop(), box);
}

WindowId FakeTdx::openSelectDialog(const std::vector<std::u16string>& choices)
{
    MessageDialogSpec box;
    box.pid = m_pid;
    box.owner = m_main;
    box.title = u"请选择";
    box.texts = choices;
    box.buttons = {{IdOk, u"确定"}, {IdCancel, u"取消"}};
    return openMessageDialog(desktop(), box);
}

WindowId FakeTdx::openTradeConfirm(bool buy, const std::u16string& summary)
{
    MessageDialogSpec box;
    box.pid = boxPid();
    box.owner = m_main;
    box.title = buy ? u"买入交易确认" : u"卖出交易确认";
    box.texts = {summary};
    box.buttons = {{IdOk, u"确认"}, {IdCancel, u"取消"}};
    return openMessageDialog(desktop(), box);
}

// ---------------------------------------------------------------- observing and the keyboard

WindowId FakeTdx::control(WindowId dialog, TdxField field) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto d = m_dialogs.find(dialog);
    if (d == m_dialogs.end())
        return 0;
    auto c = d->second->controls.find(field);
    return c == d->second->controls.end() ? 0 : c->second;
}

std::u16string FakeTdx::fieldText(WindowId dialog, TdxField field) const
{
    const WindowId c = control(dialog, field);
    return c ? m_system.desktop().text(c) : std::u16string();
}

WindowId FakeTdx::lastNotice() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastNotice;
}

std::vector<WindowId> FakeTdx::orderDialogs() const
{
    std::vector<WindowId> known;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& d : m_dialogs)
            known.push_back(d.first);
    }
    // A client that was ended lost its dialogs without being told.
    std::vector<WindowId> open;
    for (WindowId d : known) {
        if (m_system.desktop().isWindow(d))
            open.push_back(d);
    }
    return open;
}

bool FakeTdx::keyboardSplit(WindowId dialog, int ratio, int delayMs)
{
    WindowId button = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto d = m_dialogs.find(dialog);
        if (d == m_dialogs.end() || !d->second->splitButtons.count(ratio))
            return false;
        button = d->second->splitButtons.at(ratio);
    }
    auto press = [this, button] { desktop().sendMessage(button, msg::BmClick, 0, 0); };
    if (delayMs > 0) {
        desktop().scheduleAfter(delayMs, desktop().windowProcessId(dialog), dialog, press);
    } else {
        SimDesktop::ActingAs as(desktop().windowProcessId(dialog));
        press();
    }
    return true;
}

void FakeTdx::keyboardTypeQuantity(WindowId dialog, const std::u16string& digits, int delayMs, KeyPace pace)
{
    const ProcessId pid = desktop().windowProcessId(dialog);
    auto type = [this, dialog, digits, pace, pid] {
        if (const WindowId quantity = control(dialog, TdxField::Quantity)) {
            desktop().setFocus(quantity);
            desktop().sendMessage(quantity, EmSetSel, 0, -1);
        }
        if (pace.intervalMs <= 0) {
            desktop().deviceType(digits);
            return;
        }
        // One digit per keystroke interval, each held for the key-down delay.
        for (std::size_t i = 0; i < digits.size(); ++i) {
            const std::u16string digit(1, digits[i]);
            const int at = static_cast<int>(i) * pace.intervalMs;
            auto down = [this, digit] { desktop().deviceKey(static_cast<std::uint8_t>(digit[0]), false); };
            auto up = [this, digit] { desktop().deviceKey(static_cast<std::uint8_t>(digit[0]), true); };
            if (at == 0)
                down();
            else
                desktop().scheduleAfter(at, pid, dialog, down);
            desktop().scheduleAfter(at + std::max(pace.keyDownMs, 1), pid, dialog, up);
        }
    };
    if (delayMs > 0) {
        desktop().scheduleAfter(delayMs, pid, dialog, type);
    } else {
        SimDesktop::ActingAs as(pid);
        type();
    }
}

} // namespace sim
