// The fake TDX process (tdxw.exe beside this program) driven from another process through the
// Windows backend, as the program drives a real client: its dialogs are found and read with
// FindWindowExW and WM_GETTEXT, the quantity is set with WM_SETTEXT, buttons are clicked with
// BM_CLICK or WM_COMMAND, dialogs closed with WM_CLOSE or Esc, hot keys typed with keybd_event;
// the outcome is read back from the client's journal.

#include "WineTest.h"

#include "platform/api/Text.h"
#include "platform/win32/Win32Desktop.h"
#include "sim/desktop/TdxLayout.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace platform;

namespace {

constexpr std::uint32_t WmGetText = 0x000D;
constexpr std::uint32_t WmSetText = 0x000C;
constexpr std::uint32_t WmClose = 0x0010;
constexpr std::uint32_t WmCommand = 0x0111;
constexpr std::uint32_t BmClick = 0x00F5;

win32::Win32Desktop desktop;

std::wstring directoryOfThisProgram()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\'));
}

// Waits for a condition that another process makes true, at most limitMs.
bool waitFor(const std::function<bool()>& done, DWORD limitMs = 5000)
{
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    while (!done()) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(5);
    }
    return true;
}

std::u16string text(WindowId window)
{
    char16_t buffer[256] = {};
    const auto copied = desktop.sendMessage(window, WmGetText, 256, reinterpret_cast<std::intptr_t>(buffer));
    return std::u16string(buffer, static_cast<std::size_t>(copied > 0 ? copied : 0));
}

std::u16string className(WindowId window)
{
    char16_t buffer[64] = {};
    desktop.className(window, buffer, 64);
    return buffer;
}

// The index-th direct child of that class, counted as a TDX profile counts them.
WindowId nthChild(WindowId dialog, const char16_t* cls, int index)
{
    WindowId child = 0;
    for (int i = 0; i <= index; ++i) {
        child = desktop.findWindowEx(dialog, child, cls, nullptr);
        if (!child)
            return 0;
    }
    return child;
}

WindowId buttonWithText(WindowId dialog, const std::u16string& label)
{
    for (WindowId b = desktop.findWindowEx(dialog, 0, u"Button", nullptr); b;
         b = desktop.findWindowEx(dialog, b, u"Button", nullptr)) {
        std::u16string t = text(b);
        t.erase(0, t.find_first_not_of(u' '));
        t.erase(t.find_last_not_of(u' ') + 1);
        if (t == label && desktop.isWindowVisible(b))
            return b;
    }
    return 0;
}

// A top-level "#32770" of that process with that title.
WindowId boxOf(ProcessId pid, const std::u16string& title)
{
    for (WindowId w = desktop.findWindowEx(0, 0, u"#32770", title.c_str()); w;
         w = desktop.findWindowEx(0, w, u"#32770", title.c_str())) {
        if (desktop.windowProcessId(w) == pid)
            return w;
    }
    return 0;
}

class FakeTdx
{
public:
    explicit FakeTdx(const std::u16string& layout = u"金融终端")
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring base = std::wstring(temp) + L"zk-fake-tdx-" + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(++s_started);
        m_journal = base + L".journal";
        m_commands = base + L".commands";
        DeleteFileW(m_journal.c_str());
        DeleteFileW(m_commands.c_str());
        const std::wstring exe = directoryOfThisProgram() + L"\\tdxw.exe";
        std::wstring commandLine = L"\"" + exe + L"\" --journal \"" + m_journal + L"\" --commands \"" +
                                   m_commands + L"\" --layout " + reinterpret_cast<const wchar_t*>(layout.c_str()) +
                                   L" --code 600000 --name 浦发银行 --price 10.52 --max 10000";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &m_process))
            return;
        CloseHandle(m_process.hThread);
        waitFor([this] { return !lines("ready ").empty(); });
        const auto ready = lines("ready ");
        if (!ready.empty()) {
            std::istringstream in(ready.front().substr(6));
            std::uintptr_t main = 0;
            in >> main;
            m_main = static_cast<WindowId>(main);
        }
    }

    ~FakeTdx()
    {
        if (m_process.hProcess) {
            command("quit");
            if (WaitForSingleObject(m_process.hProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(m_process.hProcess, 1);
            CloseHandle(m_process.hProcess);
        }
        DeleteFileW(m_journal.c_str());
        DeleteFileW(m_commands.c_str());
    }

    WindowId mainWindow() const { return m_main; }
    ProcessId pid() const { return m_process.dwProcessId; }

    void command(const std::string& line)
    {
        if (FILE* out = _wfopen(m_commands.c_str(), L"ab")) {
            std::fputs((line + "\n").c_str(), out);
            std::fclose(out);
        }
    }

    // The journal's lines that start with prefix.
    std::vector<std::string> lines(const std::string& prefix = {}) const
    {
        std::string all;
        if (FILE* in = _wfopen(m_journal.c_str(), L"rb")) {
            char buffer[4096];
            std::size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
                all.append(buffer, got);
            std::fclose(in);
        }
        std::istringstream lines(all);
        std::vector<std::string> out;
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind(prefix, 0) == 0)
                out.push_back(line);
        }
        return out;
    }

    // Opens an order dialog (command or hot key) and waits for it and for its maximum.
    WindowId open(const std::string& how)
    {
        const std::size_t before = lines("dialog ").size();
        if (how == "F9") {
            // Typed into the window in front, as a trading keyboard types its hot key.
            const std::size_t fronts = lines("front ").size();
            command("front");
            if (!waitFor([&] { return lines("front ").size() > fronts; }))
                return 0;
            desktop.keybdEvent(VK_F9, false);
            desktop.keybdEvent(VK_F9, true);
        } else {
            command(how);
        }
        if (!waitFor([&] { return lines("dialog ").size() > before; }))
            return 0;
        std::istringstream in(lines("dialog ").back().substr(7));
        std::uintptr_t dialog = 0;
        in >> dialog;
        return static_cast<WindowId>(dialog);
    }

private:
    static inline int s_started = 0;
    PROCESS_INFORMATION m_process{};
    std::wstring m_journal;
    std::wstring m_commands;
    WindowId m_main = 0;
};

struct Fields
{
    WindowId code, name, price, quantity, max;
};

Fields fieldsOf(WindowId dialog, const sim::TdxIndices& at)
{
    return {nthChild(dialog, u"Static", at.code), nthChild(dialog, u"Static", at.name),
            nthChild(dialog, u"Edit", at.price), nthChild(dialog, u"Edit", at.quantity),
            nthChild(dialog, u"Static", at.maxQuantity)};
}

const sim::TdxIndices Standard = sim::TdxLayout::jinRongZhongDuan().buyIndices;

// ---- cases

void main_window_and_hot_key_dialog_as_the_program_finds_them()
{
    FakeTdx tdx;
    REQUIRE(tdx.mainWindow());
    const WindowId main = desktop.findWindowEx(0, 0, u"TdxW_MainFrame_Class", nullptr);
    REQUIRE(main == tdx.mainWindow());
    REQUIRE(desktop.windowProcessId(main) == tdx.pid());
    REQUIRE(text(main).find(u"版面") != std::u16string::npos);

    const WindowId dialog = tdx.open("F9");
    REQUIRE(dialog);
    REQUIRE(className(dialog) == u"#32770");
    REQUIRE(text(dialog) == u"闪电买入");
    REQUIRE(desktop.windowProcessId(dialog) == tdx.pid());
    REQUIRE(desktop.parentWindow(dialog) == main);
    REQUIRE(waitFor([&] { return desktop.foregroundWindow() == dialog; }));
}

// Every layout's dialog has its fields at the indices its profile reads, filled in by the
// client; the maximum comes a moment later.
void layouts_put_the_fields_where_their_profiles_read_them()
{
    for (const sim::TdxLayout& layout : sim::TdxLayout::all()) {
        FakeTdx tdx(layout.name);
        const WindowId dialog = tdx.open("buy");
        REQUIRE(dialog);
        const Fields f = fieldsOf(dialog, layout.buyIndices);
        REQUIRE(text(f.code) == u"600000");
        REQUIRE(text(f.name) == u"浦发银行");
        REQUIRE(text(f.price) == u"10.52");
        REQUIRE(text(f.quantity) == u"0");
        const std::u16string max = layout.groupThousands ? u"10,000" : u"10000";
        REQUIRE(waitFor([&] { return text(f.max) == max; }));
    }
}

void split_button_and_confirm_place_the_order()
{
    FakeTdx tdx;
    tdx.command("stock 000001 平安银行 11.20 1000");
    const WindowId dialog = tdx.open("buy");
    REQUIRE(dialog);
    const Fields f = fieldsOf(dialog, Standard);
    REQUIRE(waitFor([&] { return text(f.max) == u"1000"; }));

    // Clicked as the program clicks a button with a control id: WM_COMMAND to the dialog.
    const auto click = [dialog](WindowId button) {
        desktop.sendMessage(dialog, WmCommand, MAKEWPARAM(desktop.dlgCtrlId(button), BN_CLICKED),
                            static_cast<std::intptr_t>(button));
    };
    const WindowId third = buttonWithText(dialog, u"1/3");
    REQUIRE(third);
    click(third);
    REQUIRE(text(f.quantity) == u"300"); // 333 in whole lots

    const WindowId confirm = buttonWithText(dialog, u"买入");
    REQUIRE(confirm);
    REQUIRE(desktop.dlgCtrlId(confirm) == IDOK);
    click(confirm);
    REQUIRE(waitFor([&] { return !tdx.lines("order ").empty(); }));
    REQUIRE(tdx.lines("order ") == std::vector<std::string>{"order submitted buy 000001 平安银行 11.20 300 1001"});
    REQUIRE(!desktop.isWindow(dialog));
    const WindowId notice = boxOf(tdx.pid(), u"提示");
    REQUIRE(notice);
    REQUIRE(text(nthChild(notice, u"Static", 0)) == u"委托已提交，合同编号：1001");
}

// A refused order leaves the dialog open under a "Tdx" box with the refusal; closing the box
// brings the dialog back to the front.
void refused_orders_keep_the_dialog_open()
{
    const struct
    {
        const char16_t* quantity;
        const char* refusal;
    } cases[] = {
        {u"", "委托数量无效"},
        {u"0", "委托数量必须大于0"},
        {u"150", "买入数量必须是100的整数倍"},
        {u"10100", "可用资金不足"},
    };
    FakeTdx tdx;
    const WindowId dialog = tdx.open("buy");
    REQUIRE(dialog);
    const Fields f = fieldsOf(dialog, Standard);
    REQUIRE(waitFor([&] { return text(f.max) == u"10000"; }));
    const WindowId confirm = buttonWithText(dialog, u"买入");
    std::size_t orders = 0;
    for (const auto& c : cases) {
        desktop.sendMessage(f.quantity, WmSetText, 0, reinterpret_cast<std::intptr_t>(c.quantity));
        desktop.sendMessage(confirm, BmClick, 0, 0);
        REQUIRE(waitFor([&] { return tdx.lines("order ").size() > orders; }));
        orders = tdx.lines("order ").size();
        const std::string line = tdx.lines("order ").back();
        REQUIRE(line.rfind("order rejected buy 600000 ", 0) == 0);
        REQUIRE(line.substr(line.size() - std::string(c.refusal).size()) == c.refusal);
        REQUIRE(desktop.isWindow(dialog));
        const WindowId box = boxOf(tdx.pid(), u"Tdx");
        REQUIRE(box);
        REQUIRE(platform::toUtf8(text(nthChild(box, u"Static", 0))) == c.refusal);
        desktop.sendMessage(box, WmClose, 0, 0);
        REQUIRE(!desktop.isWindow(box));
        REQUIRE(waitFor([&] { return desktop.foregroundWindow() == dialog; })); // back in front
    }
    // 4000 of 10000: the last of them goes through.
    desktop.sendMessage(f.quantity, WmSetText, 0, reinterpret_cast<std::intptr_t>(u"4000"));
    desktop.sendMessage(confirm, BmClick, 0, 0);
    REQUIRE(waitFor([&] { return !desktop.isWindow(dialog); }));
    REQUIRE(tdx.lines("order submitted ") == std::vector<std::string>{"order submitted buy 600000 浦发银行 10.52 4000 1001"});
}

void close_cancel_and_escape_place_nothing()
{
    FakeTdx tdx;
    const WindowId closed = tdx.open("buy");
    REQUIRE(closed);
    desktop.sendMessage(closed, WmClose, 0, 0);
    REQUIRE(!desktop.isWindow(closed));

    const WindowId cancelled = tdx.open("sell");
    REQUIRE(cancelled);
    REQUIRE(text(cancelled) == u"闪电卖出");
    REQUIRE(buttonWithText(cancelled, u"卖出"));
    desktop.sendMessage(buttonWithText(cancelled, u"取消"), BmClick, 0, 0);
    REQUIRE(!desktop.isWindow(cancelled));

    // Esc typed into the dialog in front, as the program closes a dialog first.
    const WindowId escaped = tdx.open("buy");
    REQUIRE(escaped);
    REQUIRE(waitFor([&] { return desktop.foregroundWindow() == escaped; }));
    desktop.keybdEvent(VK_ESCAPE, false);
    desktop.keybdEvent(VK_ESCAPE, true);
    REQUIRE(waitFor([&] { return !desktop.isWindow(escaped); }));

    REQUIRE(tdx.lines("closed ").size() == 3);
    REQUIRE(tdx.lines("order ").empty());
}

} // namespace

int main()
{
    return winetest::run("tst_fake_tdx",
                         {
                             {"main_window_and_hot_key_dialog_as_the_program_finds_them",
                              main_window_and_hot_key_dialog_as_the_program_finds_them},
                             {"layouts_put_the_fields_where_their_profiles_read_them",
                              layouts_put_the_fields_where_their_profiles_read_them},
                             {"split_button_and_confirm_place_the_order", split_button_and_confirm_place_the_order},
                             {"refused_orders_keep_the_dialog_open", refused_orders_keep_the_dialog_open},
                             {"close_cancel_and_escape_place_nothing", close_cancel_and_escape_place_nothing},
                         });
}
