#include "FakeThs.h"

#include "SimSystem.h"
#include "SimText.h"

#include <filesystem>
#include <fstream>
#include <memory>

namespace sim {

using namespace platform;

namespace {

constexpr int F12 = 0x7B;

bool positiveCount(const std::u16string& text)
{
    if (text.empty())
        return false;
    bool nonZero = false;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return false;
        nonZero = nonZero || c != u'0';
    }
    return nonZero;
}

// The few Chinese characters of the default xiadan.ini, in GB2312.
std::string gb2312(const std::u16string& text)
{
    static const std::pair<char16_t, const char*> table[] = {
        {u'默', "\xC4\xAC"}, {u'认', "\xC8\xCF"}, {u'方', "\xB7\xBD"}, {u'案', "\xB0\xB8"},
        {u'定', "\xB6\xA8"}, {u'买', "\xC2\xF2"}, {u'卖', "\xC2\xF4"}, {u'融', "\xC8\xDA"},
        {u'市', "\xCA\xD0"}, {u'一', "\xD2\xBB"},
    };
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        const char* bytes = "?";
        for (auto& entry : table) {
            if (entry.first == c)
                bytes = entry.second;
        }
        out += bytes;
    }
    return out;
}

} // namespace

FakeThs::FakeThs(SimSystem& system, FakeThsOptions options) : m_system(system), m_options(std::move(options))
{
    if (m_options.exeFile.empty())
        m_options.exeFile = m_options.yuanhang ? u"hexinyh.exe" : u"hexin.exe";
    if (m_options.mainTitle.empty())
        m_options.mainTitle = m_options.yuanhang ? u"同花顺远航版 - 自选股" : u"同花顺(v9.30.71) - 自选股";

    ProcessSpec spec;
    spec.exeFile = m_options.exeFile;
    spec.imagePath = imagePath();
    spec.wow64 = m_options.wow64;
    m_pid = m_system.processes().startProcess(spec);
    auto& processes = m_system.processes();
    processes.addModule(m_pid, {toUtf8(m_options.exeFile), m_options.moduleBase, !m_options.wow64});
    processes.addModule(m_pid, {"ntdll.dll", 0x7FFC12300000ULL, true});
    if (m_options.wow64) {
        processes.addModule(m_pid, {"wow64.dll", 0x7FFC0F000000ULL, true});
        processes.addModule(m_pid, {"ntdll.dll", 0x77A00000ULL, false});
        processes.addModule(m_pid, {"kernel32.dll", 0x76B00000ULL, false});
    } else {
        processes.addModule(m_pid, {"kernel32.dll", 0x7FFC11A00000ULL, true});
    }
    const std::uint64_t slot = m_options.moduleBase + m_options.codeOffset;
    std::string pointer(4, '\0');
    for (int i = 0; i < 4; ++i)
        pointer[static_cast<std::size_t>(i)] = static_cast<char>((CodeAddress >> (8 * i)) & 0xFF);
    processes.writeMemory(m_pid, slot, pointer);
    setCurrentStock(m_code, m_name);

    SimDesktop::ActingAs as(m_pid);
    WindowSpec main;
    main.className = m_options.yuanhang ? u"HwndWrapper[hexinyh.exe;;6e2f1b7c-3d4a-4e8b-9f10-2a3b4c5d6e7f]"
                                        : u"Afx:00400000:b:00010003:00000006:00000000";
    main.text = m_options.mainTitle;
    main.pid = m_pid;
    main.proc = [this](WindowId w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) {
        return mainProc(w, m, wp, lp);
    };
    m_main = desktop().createWindow(main);
    if (m_options.activate)
        desktop().setForegroundWindow(m_main);
}

FakeThs::~FakeThs()
{
    if (m_xiadanPid)
        m_system.processes().endProcess(m_xiadanPid);
    m_system.processes().endProcess(m_pid);
}

SimDesktop& FakeThs::desktop()
{
    return m_system.desktop();
}

std::u16string FakeThs::imagePath() const
{
    return m_options.installDir + u"\\" + m_options.exeFile;
}

void FakeThs::setCurrentStock(const std::u16string& code, const std::u16string& name)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_code = code;
        m_name = name;
    }
    const char market = code.empty()                                              ? 'Z'
                        : (code[0] == u'6' || code[0] == u'5' || code[0] == u'9') ? 'H'
                        : (code[0] == u'4' || code[0] == u'8')                    ? 'B'
                                                                                  : 'Z';
    std::string bytes(1, market);
    bytes += toUtf8(code).substr(0, 6);
    bytes.resize(8, '\0');
    writeCodeBytes(bytes);
}

void FakeThs::writeCodeBytes(const std::string& bytes)
{
    m_system.processes().writeMemory(m_pid, CodeAddress, bytes);
}

void FakeThs::activate()
{
    desktop().setForegroundWindow(m_main);
}

std::intptr_t FakeThs::mainProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam)
{
    if (message == HoldingWindowMessage) {
        if (m_options.holdingWindowDelayMs > 0)
            desktop().scheduleAfter(m_options.holdingWindowDelayMs, m_pid, m_main,
                                    [this] { openHoldingWindow(); });
        else
            openHoldingWindow();
        return 0;
    }
    if (message == msg::KeyDown && wParam == F12) {
        if (m_options.orderClientDelayMs > 0)
            desktop().scheduleAfter(m_options.orderClientDelayMs, m_pid, m_main,
                                    [this] { startOrderClient(); });
        else
            startOrderClient();
        return 0;
    }
    return desktop().defWindowProc(window, message, wParam, lParam);
}

void FakeThs::openHoldingWindow()
{
    std::u16string code;
    std::u16string name;
    WindowId previous = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        code = m_code;
        name = m_name;
        previous = m_holding;
    }
    if (previous)
        desktop().destroyWindow(previous);
    MessageDialogSpec box;
    box.pid = m_pid;
    box.owner = m_main;
    box.title = u"持股机构-" + name + u"(" + code + u")";
    box.texts = {u"持股机构", name + u" " + code};
    const WindowId holding = openMessageDialog(desktop(), box);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_holding = holding;
}

WindowId FakeThs::holdingWindow() const
{
    // Read under the lock, ask the desktop outside it: the desktop may run this client's events.
    WindowId holding = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        holding = m_holding;
    }
    return holding && m_system.desktop().isWindow(holding) ? holding : 0;
}

// 确定 in an order dialog: a count of shares is placed and noted with 提示, anything else refused.
void FakeThs::placeOrder(WindowId dialog, const ThsOrderOptions& o, WindowId priceEdit, WindowId quantityEdit)
{
    Order order;
    order.client = Order::Client::Ths;
    order.kind = o.buy ? Order::Kind::Buy : Order::Kind::Sell;
    order.code = o.code;
    order.name = o.name;
    order.price = desktop().text(priceEdit);
    const std::u16string quantity = desktop().text(quantityEdit);
    order.quantity = positiveCount(quantity) && quantity.size() < 16 ? std::stoll(toUtf8(quantity)) : 0;
    order.dialogTitle = o.title;
    order.pid = m_pid;
    order.timeMs = m_system.desktop().now();
    MessageDialogSpec box;
    box.pid = m_pid;
    box.title = u"提示";
    if (order.quantity == 0) {
        order.status = Order::Status::Rejected;
        order.message = u"委托数量无效";
        m_system.orderBook().add(order);
        box.owner = dialog;
        box.texts = {order.message};
        openMessageDialog(desktop(), box);
        return;
    }
    int contract = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        contract = m_nextContract++;
    }
    order.message = decimal(contract);
    m_system.orderBook().add(order);
    if (m_options.submittedNotice) {
        box.owner = m_main;
        box.texts = {u"委托已提交，合同编号：" + decimal(contract)};
        openMessageDialog(desktop(), box);
    }
    desktop().destroyWindow(dialog);
}

WindowId FakeThs::openOrderDialog(const ThsOrderOptions& options)
{
    ThsOrderOptions o = options;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (o.code.empty()) {
            o.code = m_code;
            o.name = m_name;
        }
    }
    if (o.title.empty())
        o.title = o.buy ? u"买入下单" : u"卖出下单";

    SimDesktop::ActingAs as(m_pid);
    // Filled in once the children exist; the procedure only reads them on a click.
    struct Edits
    {
        WindowId price = 0;
        WindowId quantity = 0;
    };
    auto edits = std::make_shared<Edits>();
    WindowSpec spec;
    spec.className = u"#32770";
    spec.text = o.title;
    spec.owner = m_main;
    spec.pid = m_pid;
    spec.style = style::Visible | style::Popup;
    spec.proc = [this, o, edits](WindowId dialog, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) -> std::intptr_t {
        if (message != msg::Command)
            return desktop().defDialogProc(dialog, message, wParam, lParam);
        const int id = static_cast<int>(wParam & 0xFFFF);
        if ((wParam >> 16) != notify::BnClicked)
            return 0;
        if (id == IdCancel) {
            desktop().destroyWindow(dialog);
            return 0;
        }
        if (id == IdOk)
            placeOrder(dialog, o, edits->price, edits->quantity);
        return 0;
    };
    const WindowId dialog = desktop().createWindow(spec);

    auto add = [&](const char16_t* cls, const std::u16string& text, int id, std::uint32_t extra = 0) {
        WindowSpec child;
        child.className = cls;
        child.text = text;
        child.parent = dialog;
        child.controlId = id;
        child.style = style::Visible | extra;
        return desktop().createWindow(child);
    };
    add(u"Static", u"证券代码", 0xFFFF);
    add(u"Static", o.code, 0x0401);
    add(u"Static", u"证券名称", 0xFFFF);
    add(u"Static", o.name, 0x0402);
    add(u"Static", o.buy ? u"买入价格" : u"卖出价格", 0xFFFF);
    edits->price = add(u"Edit", o.price, 0x0403);
    add(u"Static", o.buy ? u"买入数量" : u"卖出数量", 0xFFFF);
    edits->quantity = add(u"Edit", o.quantity, 0x0404);
    add(u"Button", o.buy ? u"买入" : u"卖出", IdOk, BsDefPushButton);
    add(u"Button", u"取消", IdCancel);
    desktop().setForegroundWindow(dialog);
    return dialog;
}

WindowId FakeThs::startOrderClient()
{
    if (const WindowId running = orderClientWindow())
        return running;
    ProcessSpec spec;
    spec.exeFile = u"xiadan.exe";
    spec.imagePath = m_options.installDir + u"\\xiadan.exe";
    spec.parentPid = m_pid;
    spec.wow64 = true;
    const ProcessId pid = m_system.processes().startProcess(spec);
    SimDesktop::ActingAs as(pid);
    WindowSpec window;
    window.className = u"Afx:00400000:b:00010003:00000010:00000000";
    window.text = u"网上股票交易系统5.0";
    window.pid = pid;
    const WindowId made = desktop().createWindow(window);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_xiadanPid = pid;
    m_xiadanWindow = made;
    return made;
}

ProcessId FakeThs::orderClientPid() const
{
    ProcessId pid = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pid = m_xiadanPid;
    }
    return pid && m_system.processes().isRunning(pid) ? pid : 0;
}

WindowId FakeThs::orderClientWindow() const
{
    WindowId window = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        window = m_xiadanWindow;
    }
    return window && orderClientPid() && m_system.desktop().isWindow(window) ? window : 0;
}

std::string FakeThs::install(const std::string& directory, const std::string& xiadanIni)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path dir = fs::absolute(fs::u8path(directory), error);
    if (error)
        return {};
    const fs::path iniDir = m_options.yuanhang ? dir / "transaction" : dir;
    fs::create_directories(iniDir, error);
    if (error)
        return {};
    const fs::path ini = iniDir / "xiadan.ini";
    {
        std::ofstream out(ini, std::ios::binary | std::ios::trunc);
        out << xiadanIni;
        if (!out)
            return {};
    }
    const std::u16string native = fromUtf8(dir.u8string());
    const char16_t separator = static_cast<char16_t>(fs::path::preferred_separator);
    bool written = false;
    if (m_options.yuanhang) {
        written = m_system.registry().writeString(
            RegistryRoot::LocalMachine,
            u"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\同花顺远航版",
            u"InstallLocation", native);
    } else {
        written = m_system.registry().writeString(RegistryRoot::CurrentUser, u"Software\\HexinSoft",
                                                  u"FilePath", native + separator);
    }
    return written ? ini.u8string() : std::string();
}

std::string FakeThs::defaultXiadanIni()
{
    const std::u16string scheme =
        u"{\"FloatSetting\":{\"FloatSchemeList\":["
        u"{\"Index\":0,\"Name\":\"默认方案\",\"AmountType\":0,\"AmountNumber\":0},"
        u"{\"Index\":1,\"Name\":\"定买\",\"AmountType\":1,\"AmountNumber\":10000},"
        u"{\"Index\":2,\"Name\":\"定卖\",\"AmountType\":0,\"AmountNumber\":100},"
        u"{\"Index\":3,\"Name\":\"融买\",\"AmountType\":1,\"AmountNumber\":5000},"
        u"{\"Index\":4,\"Name\":\"市买一\",\"AmountType\":0,\"AmountNumber\":200}]}}";
    return "[SYSTEM]\r\nVERSION=5.0\r\nAUTOLOCK=0\r\n[FLOATSETTING]\r\nFLOATSCHEME=" + gb2312(scheme) +
           "\r\nFLOATPOS=100,100\r\n[WINDOW]\r\nLEFT=0\r\nTOP=0\r\n";
}

} // namespace sim
