// The platform contract: what trade automation relies on from Desktop, Processes and Registry,
// asserted the same way against every backend that stands in for Windows (the real one under
// Wine, the simulated desktop natively).

#include "ContractFixture.h"

#include "platform/api/Text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace contract {

namespace {

using namespace platform;

// ---- reporting

std::string describe(const std::u16string& text)
{
    return '"' + toUtf8(text) + '"';
}

std::string describe(const char16_t* text)
{
    return text ? describe(std::u16string(text)) : "null";
}

std::string describe(const std::string& bytes)
{
    return '"' + bytes + '"';
}

std::string describe(bool value)
{
    return value ? "true" : "false";
}

template <typename T> std::string describe(const T& value)
{
    return std::to_string(value);
}

// One running case: what it created (removed afterwards) and the first failure.
class Case
{
public:
    explicit Case(Fixture& fixture)
        : fixture(fixture), desktop(fixture.desktop()), processes(fixture.processes()),
          registry(fixture.registry())
    {
    }
    ~Case()
    {
        for (WindowId window : m_windows)
            fixture.destroyWindow(window);
    }

    void fail(int line, const std::string& what)
    {
        if (failure.empty())
            failure = what + " (line " + std::to_string(line) + ")";
    }
    void skip(const std::string& why) { skipped = why; }

    WindowId dialog(const std::u16string& title, const std::vector<ChildSpec>& children)
    {
        const WindowId window = fixture.createDialog(title, children);
        if (window)
            m_windows.push_back(window);
        return window;
    }
    WindowId hungWindow()
    {
        const WindowId window = fixture.createHungWindow();
        if (window)
            m_windows.push_back(window);
        return window;
    }

    // Lets the backend work (and runs what hooks handed to the dispatcher) until done() holds;
    // false when it still does not after limitMs of the fixture's time.
    bool waitUntil(const std::function<bool()>& done, int limitMs = 3000)
    {
        for (int spent = 0;; spent += 10) {
            runDispatched();
            if (done())
                return true;
            if (spent >= limitMs)
                return false;
            fixture.processEvents(10);
        }
    }

    // The dispatcher handed to hookForeground: tasks run on this thread, while the case waits.
    Dispatcher dispatcher()
    {
        return [this](std::function<void()> task) { m_dispatched.push_back(std::move(task)); };
    }

    // WM_GETTEXT into a buffer large enough for any text the cases use.
    std::u16string text(WindowId window)
    {
        char16_t buffer[1024] = {};
        const auto length =
            desktop.sendMessage(window, msg::GetText, 1024, reinterpret_cast<std::intptr_t>(buffer));
        return length > 0 ? std::u16string(buffer) : std::u16string();
    }
    std::u16string className(WindowId window)
    {
        char16_t buffer[256] = {};
        return desktop.className(window, buffer, 256) > 0 ? std::u16string(buffer) : std::u16string();
    }
    // The direct child with this control id.
    WindowId child(WindowId dialog, int controlId)
    {
        for (WindowId window : desktop.childWindows(dialog)) {
            if (desktop.parentWindow(window) == dialog && desktop.dlgCtrlId(window) == controlId)
                return window;
        }
        return 0;
    }
    bool hasProcess(ProcessId pid, std::u16string* exeFile = nullptr)
    {
        std::vector<ProcessEntry> entries;
        if (!processes.snapshot(entries))
            return false;
        for (const auto& entry : entries) {
            if (entry.pid == pid) {
                if (exeFile)
                    *exeFile = entry.exeFile;
                return true;
            }
        }
        return false;
    }

    Fixture& fixture;
    Desktop& desktop;
    Processes& processes;
    Registry& registry;
    std::string failure;
    std::string skipped;

private:
    void runDispatched()
    {
        while (!m_dispatched.empty()) {
            auto task = std::move(m_dispatched.front());
            m_dispatched.erase(m_dispatched.begin());
            task();
        }
    }

    std::vector<WindowId> m_windows;
    std::vector<std::function<void()>> m_dispatched;
};

#define REQUIRE(condition)                                                                                   \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            c.fail(__LINE__, #condition);                                                                    \
            return;                                                                                          \
        }                                                                                                    \
    } while (0)

#define REQUIRE_EQ(actual, expected)                                                                         \
    do {                                                                                                     \
        const auto& actual_ = (actual);                                                                      \
        const auto& expected_ = (expected);                                                                  \
        if (!(actual_ == expected_)) {                                                                       \
            c.fail(__LINE__,                                                                                 \
                   std::string(#actual) + " is " + describe(actual_) + ", expected " + describe(expected_)); \
            return;                                                                                          \
        }                                                                                                    \
    } while (0)

// ---- shared data

// An order dialog as TDX lays one out: labels, values and edits interleaved, so that "the n-th
// Static" and "the n-th Edit" only come out right when enumeration keeps the creation order.
enum Ids
{
    CodeLabel = 1001,
    CodeEdit,
    NameLabel,
    NameValue,
    PriceLabel,
    PriceEdit,
    MaxLabel,
    MaxValue,
    QuantityEdit,
    ConfirmButton,
    HalfButton,
    HiddenStatic,
    DisabledButton
};

std::vector<ChildSpec> orderDialog()
{
    return {
        {u"Static", u"证券代码", CodeLabel},
        {u"Edit", u"600000", CodeEdit},
        {u"Static", u"证券名称", NameLabel},
        {u"Static", u"浦发银行", NameValue},
        {u"Static", u"买入价格", PriceLabel},
        {u"Edit", u"10.50", PriceEdit},
        {u"Static", u"最大可买", MaxLabel},
        {u"Static", u"1,200", MaxValue},
        {u"Edit", u"", QuantityEdit},
        {u"Button", u"买入", ConfirmButton},
        {u"Button", u"1/2", HalfButton},
        {u"Static", u"隐藏", HiddenStatic, false, true},
        {u"Button", u"停用", DisabledButton, true, false},
    };
}

// Titles unique per case, so that a window left over by another case never answers for this one.
std::u16string uniqueTitle(const char16_t* base)
{
    static int counter = 0;
    std::u16string title = base;
    title += u" #";
    for (char ch : std::to_string(++counter))
        title += static_cast<char16_t>(ch);
    return title;
}

bool sameIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char ch) {
                   return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
               };
               return lower(x) == lower(y);
           });
}

std::u16string fileNameOf(const std::u16string& path)
{
    const auto slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::ptrdiff_t zIndex(const std::vector<WindowId>& windows, WindowId window)
{
    const auto it = std::find(windows.begin(), windows.end(), window);
    return it == windows.end() ? -1 : it - windows.begin();
}

bool hasCommand(const std::vector<CommandRecord>& records, std::uintptr_t wParam, std::intptr_t lParam)
{
    return std::any_of(records.begin(), records.end(),
                       [&](const CommandRecord& r) { return r.wParam == wParam && r.lParam == lParam; });
}

// ---- finding windows and controls

void childWindowsInCreationOrder(Case& c)
{
    const auto layout = orderDialog();
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), layout);
    REQUIRE(dialog);
    const auto children = c.desktop.childWindows(dialog);
    REQUIRE_EQ(children.size(), layout.size());
    for (std::size_t i = 0; i < layout.size(); ++i) {
        REQUIRE_EQ(c.className(children[i]), layout[i].className);
        REQUIRE_EQ(c.text(children[i]), layout[i].text);
        REQUIRE_EQ(c.desktop.dlgCtrlId(children[i]), layout[i].controlId);
    }
}

// The way the maximum quantity is found: the n-th child whose class contains "Static".
void nthStaticByEnumerationOrder(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    REQUIRE(dialog);
    std::vector<std::u16string> statics;
    for (WindowId child : c.desktop.childWindows(dialog)) {
        if (lowerAscii(c.className(child)).find(u"static") != std::u16string::npos)
            statics.push_back(c.text(child));
    }
    REQUIRE_EQ(statics.size(), std::size_t(7));
    REQUIRE_EQ(statics[1], u"证券名称");
    REQUIRE_EQ(statics[2], u"浦发银行");
    REQUIRE_EQ(statics[5], u"1,200");
}

// The way the quantity and price edits are found: FindWindowExW, each step after the previous find.
void findWindowExWalksAfterPreviousFind(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    REQUIRE(dialog);
    const WindowId first = c.desktop.findWindowEx(dialog, 0, u"Edit", nullptr);
    const WindowId second = c.desktop.findWindowEx(dialog, first, u"Edit", nullptr);
    const WindowId third = c.desktop.findWindowEx(dialog, second, u"Edit", nullptr);
    REQUIRE(first && second && third);
    REQUIRE_EQ(c.desktop.dlgCtrlId(first), int(CodeEdit));
    REQUIRE_EQ(c.desktop.dlgCtrlId(second), int(PriceEdit));
    REQUIRE_EQ(c.desktop.dlgCtrlId(third), int(QuantityEdit));
    REQUIRE_EQ(c.desktop.findWindowEx(dialog, third, u"Edit", nullptr), WindowId(0));
    // Titles match as whole names; a null class matches any class.
    REQUIRE_EQ(c.desktop.dlgCtrlId(c.desktop.findWindowEx(dialog, 0, u"Button", u"1/2")), int(HalfButton));
    REQUIRE_EQ(c.desktop.findWindowEx(dialog, 0, u"Button", u"1/"), WindowId(0));
    REQUIRE_EQ(c.desktop.dlgCtrlId(c.desktop.findWindowEx(dialog, 0, nullptr, u"买入")), int(ConfirmButton));
}

// Class names and titles compare without case, as user32 compares them.
void findWindowExIgnoresCase(Case& c)
{
    const std::u16string title = uniqueTitle(u"Tdx");
    const WindowId dialog = c.dialog(title, {{u"Edit", u"", 11}});
    REQUIRE(dialog);
    REQUIRE_EQ(c.desktop.findWindowEx(0, 0, u"#32770", lowerAscii(title).c_str()), dialog);
    REQUIRE_EQ(c.desktop.dlgCtrlId(c.desktop.findWindowEx(dialog, 0, u"EDIT", nullptr)), 11);
}

// "After" is a position among all children, whatever their class.
void findWindowExAfterChildOfOtherClass(Case& c)
{
    std::string whyNot;
    if (!c.fixture.findsAfterChildOfOtherClass(whyNot)) {
        c.skip(whyNot);
        return;
    }
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    const WindowId codeEdit = c.child(dialog, CodeEdit);
    REQUIRE(codeEdit);
    REQUIRE_EQ(c.desktop.dlgCtrlId(c.desktop.findWindowEx(dialog, codeEdit, u"Static", nullptr)),
               int(NameLabel));
    REQUIRE_EQ(c.desktop.dlgCtrlId(c.desktop.findWindowEx(dialog, codeEdit, nullptr, nullptr)),
               int(NameLabel));
}

void findWindowExFindsTopLevelDialog(Case& c)
{
    const std::u16string title = uniqueTitle(u"闪电卖出");
    const WindowId dialog = c.dialog(title, {{u"Static", u"卖出价格", 11}});
    REQUIRE(dialog);
    REQUIRE_EQ(c.desktop.findWindowEx(0, 0, u"#32770", title.c_str()), dialog);
    REQUIRE_EQ(c.desktop.findWindowEx(0, 0, nullptr, title.c_str()), dialog);
    REQUIRE(c.desktop.findWindowEx(0, 0, u"TdxW_MainFrame_Class", title.c_str()) != dialog);
    const auto topLevel = c.desktop.topLevelWindows();
    REQUIRE(zIndex(topLevel, dialog) >= 0);
    REQUIRE(zIndex(topLevel, c.child(dialog, 11)) < 0);
    c.fixture.destroyWindow(dialog);
    REQUIRE_EQ(c.desktop.findWindowEx(0, 0, u"#32770", title.c_str()), WindowId(0));
}

// ---- texts

void wmGetTextTruncatesToBuffer(Case& c)
{
    const std::u16string long40 = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789委托已提交";
    REQUIRE_EQ(long40.size(), std::size_t(41));
    const WindowId dialog = c.dialog(uniqueTitle(u"提示"), {{u"Static", long40, 11}, {u"Edit", long40, 12}});
    REQUIRE(dialog);
    for (int id : {11, 12}) {
        const WindowId control = c.child(dialog, id);
        REQUIRE(control);
        char16_t buffer[40];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        const auto copied =
            c.desktop.sendMessage(control, msg::GetText, 32, reinterpret_cast<std::intptr_t>(buffer));
        REQUIRE_EQ(copied, std::intptr_t(31));
        REQUIRE_EQ(buffer[31], u'\0');
        REQUIRE_EQ(std::u16string(buffer), long40.substr(0, 31));
        REQUIRE_EQ(buffer[32], u'#'); // nothing written past the caller's buffer size
        REQUIRE_EQ(c.desktop.sendMessage(control, msg::GetTextLength, 0, 0), std::intptr_t(41));
        REQUIRE_EQ(c.text(control), long40);
    }
}

void classNameTruncatesToBuffer(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"请选择"), {{u"Static", u"x", 11}});
    REQUIRE(dialog);
    char16_t buffer[32] = {};
    REQUIRE_EQ(c.desktop.className(dialog, buffer, 32), 6);
    REQUIRE_EQ(std::u16string(buffer), u"#32770");
    char16_t small[8];
    std::fill(std::begin(small), std::end(small), u'#');
    REQUIRE_EQ(c.desktop.className(c.child(dialog, 11), small, 4), 3);
    REQUIRE_EQ(std::u16string(small), u"Sta");
    REQUIRE_EQ(small[4], u'#');
}

void windowTextLimitedToMaxCount(Case& c)
{
    const std::u16string title(300, u'题');
    const WindowId dialog = c.dialog(title, {{u"Static", u"x", 11}});
    REQUIRE(dialog);
    char16_t buffer[300] = {};
    REQUIRE_EQ(c.desktop.windowText(dialog, buffer, 256), 255);
    REQUIRE_EQ(std::u16string(buffer), title.substr(0, 255));
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    REQUIRE_EQ(c.desktop.windowText(dialog, buffer, 255), 254);
    REQUIRE_EQ(buffer[254], u'\0');
    REQUIRE_EQ(buffer[255], u'#');
    const std::u16string shortTitle = uniqueTitle(u"闪电买入");
    REQUIRE(c.desktop.setWindowText(dialog, shortTitle.c_str()));
    REQUIRE_EQ(c.desktop.windowText(dialog, buffer, 256), int(shortTitle.size()));
    REQUIRE_EQ(std::u16string(buffer), shortTitle);
}

// Setting the quantity the way the order worker does, and the edit telling its dialog.
void wmSetTextSetsEditText(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    const WindowId quantity = c.child(dialog, QuantityEdit);
    REQUIRE(quantity);
    REQUIRE_EQ(c.desktop.sendMessage(quantity, msg::SetText, 0, reinterpret_cast<std::intptr_t>(u"1300")),
               std::intptr_t(1));
    REQUIRE_EQ(c.text(quantity), u"1300");
    // A single-line edit reports a WM_SETTEXT change to its parent as EN_CHANGE.
    REQUIRE(hasCommand(c.fixture.commandsReceived(dialog), makeCommandWParam(QuantityEdit, notify::EnChange),
                       static_cast<std::intptr_t>(quantity)));
}

void setWindowTextSetsEditText(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    const WindowId price = c.child(dialog, PriceEdit);
    REQUIRE(price);
    REQUIRE(c.desktop.setWindowText(price, u"9.87"));
    REQUIRE_EQ(c.text(price), u"9.87");
    char16_t buffer[256] = {};
    REQUIRE_EQ(c.desktop.windowText(price, buffer, 255), 4);
    REQUIRE_EQ(std::u16string(buffer), u"9.87");
}

// ---- messages

void bmClickReachesParentAsCommand(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    const WindowId confirm = c.child(dialog, ConfirmButton);
    REQUIRE(confirm);
    const std::size_t before = c.fixture.commandsReceived(dialog).size();
    c.desktop.sendMessage(confirm, msg::BmClick, 0, 0);
    // SendMessage returns after the click was handled, notification included. The click also
    // moves the focus, so the edit that had it may report that first (EN_KILLFOCUS).
    const auto records = c.fixture.commandsReceived(dialog);
    REQUIRE(records.size() > before);
    REQUIRE_EQ(records.back().wParam, makeCommandWParam(ConfirmButton, notify::BnClicked));
    REQUIRE_EQ(records.back().lParam, static_cast<std::intptr_t>(confirm));
    const auto clicks = std::count_if(
        records.begin() + static_cast<std::ptrdiff_t>(before), records.end(),
        [&](const CommandRecord& r) { return r.lParam == static_cast<std::intptr_t>(confirm); });
    REQUIRE_EQ(clicks, std::ptrdiff_t(1));
}

void commandWithEnChangeReachesDialog(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    const WindowId quantity = c.child(dialog, QuantityEdit);
    REQUIRE(quantity);
    const auto wParam = makeCommandWParam(QuantityEdit, notify::EnChange);
    c.desktop.sendMessage(dialog, msg::Command, wParam, static_cast<std::intptr_t>(quantity));
    const auto records = c.fixture.commandsReceived(dialog);
    REQUIRE(!records.empty());
    REQUIRE_EQ(records.back().wParam, wParam);
    REQUIRE_EQ(records.back().lParam, static_cast<std::intptr_t>(quantity));
    REQUIRE(c.desktop.isWindow(dialog));
}

void postedCloseClosesDialog(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"Tdx"), {{u"Static", u"x", 11}});
    REQUIRE(dialog);
    REQUIRE(c.desktop.postMessage(dialog, msg::Close, 0, 0));
    REQUIRE(c.desktop.isWindow(dialog)); // posted: nothing happened yet
    REQUIRE(c.waitUntil([&] { return !c.desktop.isWindow(dialog); }));
}

// Esc goes to the dialog in front, and only that one closes.
void escapeClosesDialogInFront(Case& c, bool throughSendInput)
{
    const WindowId behind = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    const WindowId front =
        c.dialog(uniqueTitle(u"提示"), {{u"Static", u"委托已提交", 11}, {u"Button", u"确定", 12}});
    REQUIRE(behind && front);
    REQUIRE(c.desktop.setForegroundWindow(front));
    REQUIRE(c.waitUntil([&] { return c.desktop.foregroundWindow() == front; }));
    if (throughSendInput) {
        Input keys[2];
        keys[0].vk = vk::Escape;
        keys[1].vk = vk::Escape;
        keys[1].flags = keyevent::KeyUp;
        REQUIRE_EQ(c.desktop.sendInput(keys, 2), 2u);
    } else {
        c.desktop.keybdEvent(vk::Escape, false);
        c.desktop.keybdEvent(vk::Escape, true);
    }
    REQUIRE(c.waitUntil([&] { return !c.desktop.isWindow(front); }));
    REQUIRE(c.desktop.isWindow(behind));
}

void keybdEventEscapeClosesDialogInFront(Case& c)
{
    escapeClosesDialogInFront(c, false);
}

void sendInputEscapeClosesDialogInFront(Case& c)
{
    escapeClosesDialogInFront(c, true);
}

void hungWindowFailsWmNull(Case& c)
{
    const WindowId hung = c.hungWindow();
    REQUIRE(hung);
    REQUIRE(c.desktop.isWindow(hung));
    std::uintptr_t result = 77;
    REQUIRE(!c.desktop.sendMessageTimeout(hung, msg::Null, 0, 0, smto::AbortIfHung, 50, &result));
    REQUIRE_EQ(result, std::uintptr_t(77)); // no answer, nothing written
}

void responsiveWindowAnswersWmNull(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    REQUIRE(dialog);
    std::uintptr_t result = 77;
    REQUIRE(c.desktop.sendMessageTimeout(dialog, msg::Null, 0, 0, smto::AbortIfHung, 50, &result));
    REQUIRE_EQ(result, std::uintptr_t(0));
}

// ---- window properties

void windowProperties(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    REQUIRE(dialog);
    const WindowId confirm = c.child(dialog, ConfirmButton);
    const WindowId hidden = c.child(dialog, HiddenStatic);
    const WindowId disabled = c.child(dialog, DisabledButton);
    REQUIRE(confirm && hidden && disabled);

    REQUIRE(c.desktop.isWindow(dialog));
    REQUIRE(c.desktop.isWindowVisible(dialog));
    REQUIRE(c.desktop.isWindowVisible(confirm));
    REQUIRE(!c.desktop.isWindowVisible(hidden));
    REQUIRE(c.desktop.isWindowEnabled(confirm));
    REQUIRE(!c.desktop.isWindowEnabled(disabled));
    REQUIRE((c.desktop.windowStyle(confirm) & style::Child) != 0);
    REQUIRE((c.desktop.windowStyle(disabled) & style::Disabled) != 0);
    REQUIRE((c.desktop.windowStyle(hidden) & style::Visible) == 0);
    REQUIRE_EQ(c.desktop.dlgCtrlId(confirm), int(ConfirmButton));
    REQUIRE_EQ(c.desktop.parentWindow(confirm), dialog);
    REQUIRE_EQ(c.desktop.parentWindow(dialog), WindowId(0));

    c.fixture.destroyWindow(dialog);
    REQUIRE(!c.desktop.isWindow(dialog));
    REQUIRE(!c.desktop.isWindow(confirm));
    REQUIRE(!c.desktop.isWindow(0));
    REQUIRE_EQ(c.desktop.windowProcessId(dialog), ProcessId(0));
    char16_t buffer[32] = {};
    REQUIRE_EQ(c.desktop.className(dialog, buffer, 32), 0);
    REQUIRE_EQ(c.desktop.windowText(dialog, buffer, 32), 0);
    REQUIRE(c.desktop.childWindows(dialog).empty());
}

void windowOwnerIsListedProcess(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    REQUIRE(dialog);
    const ProcessId owner = c.desktop.windowProcessId(dialog);
    REQUIRE(owner != 0);
    REQUIRE_EQ(c.desktop.windowProcessId(c.child(dialog, ConfirmButton)), owner);
    REQUIRE(c.hasProcess(owner));
}

// A hidden dialog hides its children too: visibility looks at every ancestor.
void showWindowReportsPreviousVisibility(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"闪电买入"), orderDialog());
    const WindowId confirm = c.child(dialog, ConfirmButton);
    REQUIRE(confirm);
    REQUIRE(c.desktop.showWindow(dialog, sw::Hide));
    REQUIRE(!c.desktop.isWindowVisible(dialog));
    REQUIRE(!c.desktop.isWindowVisible(confirm));
    REQUIRE((c.desktop.windowStyle(confirm) & style::Visible) != 0);
    REQUIRE(!c.desktop.showWindow(dialog, sw::Show));
    REQUIRE(c.desktop.isWindowVisible(confirm));
}

void minimizeAndRestore(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"同花顺"), {{u"Static", u"x", 11}});
    REQUIRE(dialog);
    REQUIRE(!c.desktop.isIconic(dialog));
    c.desktop.showWindow(dialog, sw::Minimize);
    REQUIRE(c.waitUntil([&] { return c.desktop.isIconic(dialog); }));
    c.desktop.showWindow(dialog, sw::Restore);
    REQUIRE(c.waitUntil([&] { return !c.desktop.isIconic(dialog); }));
}

// ---- z-order and activation

void topmostBandSetAndCleared(Case& c)
{
    const WindowId a = c.dialog(uniqueTitle(u"A"), {{u"Static", u"a", 11}});
    const WindowId b = c.dialog(uniqueTitle(u"B"), {{u"Static", u"b", 11}});
    REQUIRE(a && b);
    const std::uint32_t keep = swp::NoMove | swp::NoSize | swp::NoActivate;
    REQUIRE(c.desktop.setWindowPos(b, zorder::Topmost, 0, 0, 0, 0, keep));
    REQUIRE((c.desktop.windowExStyle(b) & exstyle::Topmost) != 0);
    REQUIRE((c.desktop.windowExStyle(a) & exstyle::Topmost) == 0);
    auto order = c.desktop.topLevelWindows();
    REQUIRE(zIndex(order, b) < zIndex(order, a));

    REQUIRE(c.desktop.setWindowPos(a, zorder::Topmost, 0, 0, 0, 0, keep));
    order = c.desktop.topLevelWindows();
    REQUIRE(zIndex(order, a) < zIndex(order, b));

    REQUIRE(c.desktop.setWindowPos(a, zorder::NoTopmost, 0, 0, 0, 0, keep));
    REQUIRE((c.desktop.windowExStyle(a) & exstyle::Topmost) == 0);
    order = c.desktop.topLevelWindows();
    REQUIRE(zIndex(order, b) < zIndex(order, a));
    REQUIRE(c.desktop.setWindowPos(b, zorder::NoTopmost, 0, 0, 0, 0, keep));
    REQUIRE((c.desktop.windowExStyle(b) & exstyle::Topmost) == 0);
}

// The dimmer's click-through window.
void extendedStyleLayeredTransparent(Case& c)
{
    const WindowId dialog = c.dialog(uniqueTitle(u"护眼"), {{u"Static", u"x", 11}});
    REQUIRE(dialog);
    const std::uint32_t before = c.desktop.windowExStyle(dialog);
    REQUIRE(c.desktop.setWindowExStyle(dialog, before | exstyle::Layered | exstyle::Transparent));
    const std::uint32_t after = c.desktop.windowExStyle(dialog);
    REQUIRE_EQ(after & (exstyle::Layered | exstyle::Transparent), exstyle::Layered | exstyle::Transparent);
}

void foregroundFollowsSetForeground(Case& c)
{
    const WindowId a = c.dialog(uniqueTitle(u"A"), {{u"Button", u"a", 11}});
    const WindowId b = c.dialog(uniqueTitle(u"B"), {{u"Button", u"b", 11}});
    REQUIRE(a && b);
    REQUIRE(c.desktop.setForegroundWindow(a));
    REQUIRE(c.waitUntil([&] { return c.desktop.foregroundWindow() == a; }));
    REQUIRE(c.desktop.setForegroundWindow(b));
    REQUIRE(c.waitUntil([&] { return c.desktop.foregroundWindow() == b; }));
    REQUIRE(c.desktop.bringWindowToTop(a));
    const auto order = c.desktop.topLevelWindows();
    REQUIRE(zIndex(order, a) < zIndex(order, b));
}

void foregroundHookInstalls(Case& c)
{
    auto hook = c.desktop.hookForeground([](WindowId) {}, c.dispatcher());
    REQUIRE(hook != nullptr);
}

void foregroundChangeReachesHook(Case& c)
{
    std::string whyNot;
    if (!c.fixture.deliversForegroundEvents(whyNot)) {
        c.skip(whyNot);
        return;
    }
    const WindowId a = c.dialog(uniqueTitle(u"A"), {{u"Button", u"a", 11}});
    const WindowId b = c.dialog(uniqueTitle(u"B"), {{u"Button", u"b", 11}});
    REQUIRE(a && b);
    REQUIRE(c.desktop.setForegroundWindow(a));
    REQUIRE(c.waitUntil([&] { return c.desktop.foregroundWindow() == a; }));

    std::vector<WindowId> seen;
    auto hook = c.desktop.hookForeground([&](WindowId window) { seen.push_back(window); }, c.dispatcher());
    REQUIRE(hook != nullptr);
    REQUIRE(c.desktop.setForegroundWindow(b));
    REQUIRE(c.waitUntil([&] { return std::find(seen.begin(), seen.end(), b) != seen.end(); }));

    // Once removed, the hook reports nothing more.
    hook.reset();
    const std::size_t count = seen.size();
    REQUIRE(c.desktop.setForegroundWindow(a));
    REQUIRE(c.waitUntil([&] { return c.desktop.foregroundWindow() == a; }));
    c.fixture.processEvents(50);
    REQUIRE_EQ(seen.size(), count);
}

// ---- input

// The mouse edge detection of the layout poll: the left button's state follows the input.
void asyncMouseButtonStateFollowsInput(Case& c)
{
    // Input goes to the desktop's foreground window; make sure there is one. The click lands in a
    // corner where no window of the suite is.
    const WindowId front = c.dialog(uniqueTitle(u"版面"), {{u"Static", u"x", 11}});
    REQUIRE(front);
    REQUIRE(c.desktop.setForegroundWindow(front));
    REQUIRE(c.waitUntil([&] { return c.desktop.foregroundWindow() == front; }));
    const ScreenSize screen = c.desktop.screenSize();
    REQUIRE(c.desktop.setCursorPos(screen.width - 2, screen.height - 2));
    Input press;
    press.type = Input::Type::Mouse;
    press.flags = mouseevent::LeftDown;
    REQUIRE_EQ(c.desktop.sendInput(&press, 1), 1u);
    REQUIRE(c.waitUntil([&] { return c.desktop.asyncKeyDown(vk::LButton); }));
    press.flags = mouseevent::LeftUp;
    REQUIRE_EQ(c.desktop.sendInput(&press, 1), 1u);
    REQUIRE(c.waitUntil([&] { return !c.desktop.asyncKeyDown(vk::LButton); }));
}

void sendInputAbsoluteMovePlacesCursor(Case& c)
{
    const ScreenSize screen = c.desktop.screenSize();
    REQUIRE(screen.width > 0 && screen.height > 0);
    const int x = screen.width / 3;
    const int y = screen.height / 4;
    Input move;
    move.type = Input::Type::Mouse;
    move.flags = mouseevent::Move | mouseevent::Absolute;
    // 0..65535 across the screen; rounded up so that the pixel maps back exactly.
    move.dx =
        static_cast<std::int32_t>((static_cast<std::int64_t>(x) * 65536 + screen.width - 1) / screen.width);
    move.dy =
        static_cast<std::int32_t>((static_cast<std::int64_t>(y) * 65536 + screen.height - 1) / screen.height);
    REQUIRE_EQ(c.desktop.sendInput(&move, 1), 1u);
    int cx = -1;
    int cy = -1;
    REQUIRE(c.waitUntil(
        [&] { return c.desktop.cursorPos(&cx, &cy) && std::abs(cx - x) <= 1 && std::abs(cy - y) <= 1; }));
    REQUIRE(c.desktop.setCursorPos(10, 20));
    REQUIRE(c.desktop.cursorPos(&cx, &cy));
    REQUIRE_EQ(cx, 10);
    REQUIRE_EQ(cy, 20);
}

// ---- processes

void snapshotListsKnownProcess(Case& c)
{
    std::u16string path;
    const ProcessId pid = c.fixture.knownProcess(path);
    REQUIRE(pid != 0);
    std::u16string exeFile;
    REQUIRE(c.hasProcess(pid, &exeFile));
    REQUIRE_EQ(exeFile, fileNameOf(path));
}

void imagePathOfProcess(Case& c)
{
    std::u16string expected;
    const ProcessId pid = c.fixture.knownProcess(expected);
    const ProcessHandle handle = c.processes.openProcess(access::QueryLimitedInformation, pid);
    REQUIRE(handle);
    std::u16string path;
    const bool ok = c.processes.queryFullProcessImageName(handle, path);
    c.processes.closeHandle(handle);
    REQUIRE(ok);
    REQUIRE_EQ(path, expected);
}

void openProcessFailsForMissingPid(Case& c)
{
    std::vector<ProcessEntry> entries;
    REQUIRE(c.processes.snapshot(entries));
    ProcessId highest = 0;
    for (const auto& entry : entries)
        highest = std::max(highest, entry.pid);
    const ProcessHandle handle = c.processes.openProcess(access::QueryLimitedInformation, highest + 4);
    REQUIRE_EQ(handle, ProcessHandle(0));
    REQUIRE(c.processes.lastError() != error::Success);
}

void wow64OfKnownProcess(Case& c)
{
    std::u16string path;
    const ProcessId pid = c.fixture.knownProcess(path);
    const ProcessHandle handle = c.processes.openProcess(access::QueryLimitedInformation, pid);
    REQUIRE(handle);
    bool wow64 = !c.fixture.knownProcessIsWow64();
    const bool ok = c.processes.isWow64Process(handle, &wow64);
    c.processes.closeHandle(handle);
    REQUIRE(ok);
    REQUIRE_EQ(wow64, c.fixture.knownProcessIsWow64());
}

// How the THS base address is found: the module list of the process, main module first.
void moduleListStartsWithMainModule(Case& c)
{
    std::u16string path;
    const ProcessId pid = c.fixture.knownProcess(path);
    const ProcessHandle handle = c.processes.openProcess(access::QueryInformation | access::VmRead, pid);
    REQUIRE(handle);
    const ModuleFilter filter = c.fixture.knownProcessIsWow64() ? ModuleFilter::Bits32 : ModuleFilter::Bits64;
    std::vector<ModuleEntry> modules;
    const bool ok = c.processes.enumProcessModules(handle, filter, modules);
    c.processes.closeHandle(handle);
    REQUIRE(ok);
    REQUIRE(!modules.empty());
    REQUIRE(modules.front().base != 0);
    const std::string mainModule = toUtf8(fileNameOf(path));
    if (!sameIgnoringAsciiCase(modules.front().baseName, mainModule)) {
        c.fail(__LINE__, "the first module is " + describe(modules.front().baseName) + ", expected " +
                             describe(mainModule));
        return;
    }
}

void readProcessMemoryReturnsKnownBytes(Case& c)
{
    const std::string bytes("600000\0\x01\xfe hexin", 16);
    std::u16string path;
    const ProcessId pid = c.fixture.knownProcess(path);
    const std::uint64_t address = c.fixture.knownMemory(bytes);
    REQUIRE(address != 0);
    const ProcessHandle handle = c.processes.openProcess(access::QueryInformation | access::VmRead, pid);
    REQUIRE(handle);
    std::string read(bytes.size(), '\0');
    std::size_t count = 0;
    const bool ok = c.processes.readProcessMemory(handle, address, read.data(), read.size(), &count);
    char unused[8];
    const bool nullRead = c.processes.readProcessMemory(handle, 0, unused, sizeof(unused), nullptr);
    c.processes.closeHandle(handle);
    REQUIRE(ok);
    REQUIRE_EQ(count, bytes.size());
    REQUIRE(read == bytes);
    REQUIRE(!nullRead);
}

// ---- registry

void registryRoundTripUnderCurrentUser(Case& c)
{
    const std::u16string key = c.fixture.scratchRegistryKey() + u"\\RoundTrip";
    const std::u16string name = u"InstallPath";
    std::u16string value;
    REQUIRE(!c.registry.readString(RegistryRoot::CurrentUser, key, name, value));
    REQUIRE(c.registry.removeValue(RegistryRoot::CurrentUser, key, name)); // no key: nothing to remove

    REQUIRE(c.registry.writeString(RegistryRoot::CurrentUser, key, name, u"D:\\同花顺软件\\同花顺"));
    REQUIRE(c.registry.readString(RegistryRoot::CurrentUser, key, name, value));
    REQUIRE_EQ(value, u"D:\\同花顺软件\\同花顺");
    REQUIRE(c.registry.writeString(RegistryRoot::CurrentUser, key, name, u""));
    REQUIRE(c.registry.readString(RegistryRoot::CurrentUser, key, name, value));
    REQUIRE_EQ(value, u"");
    REQUIRE(c.registry.writeString(RegistryRoot::CurrentUser, key, name, u"C:\\ths"));
    REQUIRE(c.registry.readString(RegistryRoot::CurrentUser, key, name, value));
    REQUIRE_EQ(value, u"C:\\ths");

    REQUIRE(c.registry.removeValue(RegistryRoot::CurrentUser, key, name));
    REQUIRE(!c.registry.readString(RegistryRoot::CurrentUser, key, name, value));
    REQUIRE(c.registry.removeValue(RegistryRoot::CurrentUser, key, name));
}

// ---- commands

void taskkillOfMissingImageExits128(Case& c)
{
    const CommandResult result =
        c.processes.runCommand(u"taskkill", {u"/F", u"/IM", u"zk-no-such-image.exe"}, 5000);
    REQUIRE(result.started);
    REQUIRE(!result.timedOut);
    REQUIRE_EQ(result.exitCode, 128);
}

void taskkillEndsRunningProcess(Case& c)
{
    const std::u16string image = u"zkidle.exe";
    const ProcessId pid = c.fixture.startIdleProcess(image);
    if (!pid) {
        c.fail(__LINE__, std::string("the ") + c.fixture.backendName() + " fixture cannot start a process");
        return;
    }
    std::u16string exeFile;
    REQUIRE(c.hasProcess(pid, &exeFile));
    REQUIRE_EQ(exeFile, image);
    const CommandResult result = c.processes.runCommand(u"taskkill", {u"/F", u"/IM", image}, 5000);
    REQUIRE(result.started);
    REQUIRE(!result.timedOut);
    REQUIRE_EQ(result.exitCode, 0);
    REQUIRE(c.waitUntil([&] { return !c.hasProcess(pid); }));
}

void unknownProgramDoesNotStart(Case& c)
{
    const CommandResult result = c.processes.runCommand(u"zk-no-such-program", {}, 1000);
    REQUIRE(!result.started);
    REQUIRE(!result.timedOut);
}

struct CaseEntry
{
    const char* name;
    void (*run)(Case&);
};

const CaseEntry cases[] = {
    {"child_windows_in_creation_order", childWindowsInCreationOrder},
    {"nth_static_by_enumeration_order", nthStaticByEnumerationOrder},
    {"find_window_ex_walks_after_previous_find", findWindowExWalksAfterPreviousFind},
    {"find_window_ex_ignores_case", findWindowExIgnoresCase},
    {"find_window_ex_after_child_of_other_class", findWindowExAfterChildOfOtherClass},
    {"find_window_ex_finds_top_level_dialog", findWindowExFindsTopLevelDialog},
    {"wm_gettext_truncates_to_buffer", wmGetTextTruncatesToBuffer},
    {"class_name_truncates_to_buffer", classNameTruncatesToBuffer},
    {"window_text_limited_to_max_count", windowTextLimitedToMaxCount},
    {"wm_settext_sets_edit_text", wmSetTextSetsEditText},
    {"set_window_text_sets_edit_text", setWindowTextSetsEditText},
    {"bm_click_reaches_parent_as_wm_command", bmClickReachesParentAsCommand},
    {"wm_command_en_change_reaches_dialog", commandWithEnChangeReachesDialog},
    {"posted_wm_close_closes_dialog", postedCloseClosesDialog},
    {"keybd_event_escape_closes_dialog_in_front", keybdEventEscapeClosesDialogInFront},
    {"send_input_escape_closes_dialog_in_front", sendInputEscapeClosesDialogInFront},
    {"hung_window_fails_wm_null_abort_if_hung", hungWindowFailsWmNull},
    {"responsive_window_answers_wm_null", responsiveWindowAnswersWmNull},
    {"window_properties", windowProperties},
    {"window_owner_is_listed_process", windowOwnerIsListedProcess},
    {"show_window_reports_previous_visibility", showWindowReportsPreviousVisibility},
    {"minimize_and_restore", minimizeAndRestore},
    {"topmost_band_set_and_cleared", topmostBandSetAndCleared},
    {"extended_style_layered_transparent", extendedStyleLayeredTransparent},
    {"foreground_follows_set_foreground", foregroundFollowsSetForeground},
    {"foreground_hook_installs", foregroundHookInstalls},
    {"foreground_change_reaches_hook", foregroundChangeReachesHook},
    {"async_mouse_button_state_follows_input", asyncMouseButtonStateFollowsInput},
    {"send_input_absolute_move_places_cursor", sendInputAbsoluteMovePlacesCursor},
    {"snapshot_lists_known_process", snapshotListsKnownProcess},
    {"image_path_of_process", imagePathOfProcess},
    {"open_process_fails_for_missing_pid", openProcessFailsForMissingPid},
    {"wow64_of_known_process", wow64OfKnownProcess},
    {"module_list_starts_with_main_module", moduleListStartsWithMainModule},
    {"read_process_memory_returns_known_bytes", readProcessMemoryReturnsKnownBytes},
    {"registry_round_trip_under_current_user", registryRoundTripUnderCurrentUser},
    {"taskkill_of_missing_image_exits_128", taskkillOfMissingImageExits128},
    {"taskkill_ends_running_process", taskkillEndsRunningProcess},
    {"unknown_program_does_not_start", unknownProgramDoesNotStart},
};

} // namespace

int runContractSuite(Fixture& fixture)
{
    // ZK_CONTRACT_CASE=<name>[,<name>...] runs only these cases (when hunting a failure).
    const char* only = std::getenv("ZK_CONTRACT_CASE");
    const std::string selected = only ? "," + std::string(only) + "," : std::string();
    int passed = 0;
    int failed = 0;
    int skipped = 0;
    std::printf("platform contract on the %s backend\n", fixture.backendName());
    for (const CaseEntry& entry : cases) {
        if (!selected.empty() && selected.find("," + std::string(entry.name) + ",") == std::string::npos)
            continue;
        std::string failure;
        std::string skip;
        {
            Case c(fixture);
            entry.run(c);
            failure = c.failure;
            skip = c.skipped;
        }
        if (!failure.empty()) {
            ++failed;
            std::printf("FAIL %s: %s\n", entry.name, failure.c_str());
        } else if (!skip.empty()) {
            ++skipped;
            std::printf("SKIP %s: %s\n", entry.name, skip.c_str());
        } else {
            ++passed;
            std::printf("PASS %s\n", entry.name);
        }
        std::fflush(stdout);
    }
    std::printf("contract: %d passed, %d failed, %d skipped\n", passed, failed, skipped);
    std::fflush(stdout);
    return failed;
}

} // namespace contract
