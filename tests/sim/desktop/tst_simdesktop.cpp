// The simulated desktop keeps the Win32 semantics the program's window code relies on.

#include "DesktopReads.h"

#include "sim/desktop/MessageDialog.h"
#include "sim/desktop/SimSystem.h"

#include "ZkTest.h"

#include <atomic>
#include <functional>
#include <future>
#include <thread>

using namespace platform;
using namespace reads;
using sim::WindowSpec;

namespace {

struct Commands
{
    std::mutex mutex;
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> received;

    std::vector<std::pair<std::uintptr_t, std::intptr_t>> all()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }
};

// A "#32770" dialog of process pid whose procedure records WM_COMMAND and closes on IDCANCEL.
WindowId makeDialog(sim::SimDesktop& desktop, ProcessId pid, const std::u16string& title, Commands* commands,
                    WindowId owner = 0)
{
    WindowSpec spec;
    spec.className = u"#32770";
    spec.text = title;
    spec.pid = pid;
    spec.owner = owner;
    spec.style = style::Visible | style::Popup;
    spec.proc = [&desktop, commands](WindowId w, std::uint32_t m, std::uintptr_t wp,
                                     std::intptr_t lp) -> std::intptr_t {
        if (m != msg::Command)
            return desktop.defDialogProc(w, m, wp, lp);
        if (commands) {
            std::lock_guard<std::mutex> lock(commands->mutex);
            commands->received.emplace_back(wp, lp);
        }
        if ((wp & 0xFFFF) == sim::IdCancel)
            desktop.destroyWindow(w);
        return 0;
    };
    return desktop.createWindow(spec);
}

WindowId makeChild(sim::SimDesktop& desktop, WindowId parent, const std::u16string& cls,
                   const std::u16string& text, int id = 0, std::uint32_t extraStyle = 0)
{
    WindowSpec spec;
    spec.className = cls;
    spec.text = text;
    spec.parent = parent;
    spec.controlId = id;
    spec.style = style::Visible | extraStyle;
    return desktop.createWindow(spec);
}

WindowId makeTopLevel(sim::SimDesktop& desktop, const std::u16string& title, ProcessId pid = 0)
{
    WindowSpec spec;
    spec.className = u"SimTestWindow";
    spec.text = title;
    spec.pid = pid;
    return desktop.createWindow(spec);
}

void setTextAs(sim::SimDesktop& desktop, ProcessId pid, WindowId window, const std::u16string& text)
{
    sim::SimDesktop::ActingAs as(pid);
    desktop.sendMessage(window, msg::SetText, 0, reinterpret_cast<std::intptr_t>(text.c_str()));
}

} // namespace

class TestSimDesktop : public QObject
{
    Q_OBJECT

private slots:
    void otherProcessesTextsFollowWindowsRules();
    void textBuffersTruncate_data();
    void textBuffersTruncate();
    void findWindowExContinuesAfterThePreviousFind();
    void childEnumerationIsDepthFirst();
    void buttonClickAndEditChangeReachTheParent();
    void clickedButtonTakesTheFocus();
    void keysGoToTheForegroundDialog_data();
    void keysGoToTheForegroundDialog();
    void typedDigitsReplaceTheSelection();
    void postedMessagesWaitForTheQueue();
    void foregroundChangesReachHooksThroughTheirDispatcher();
    void topmostBands();
    void hungWindowDoesNotAnswer();
    void busyAndHangingClients();
    void scheduledChangesHappenAtTheirTime();
    void eventThreadRunsDueEventsInRealTime();
    void windowsVanishMidRead();
    void minimizingHandsTheForegroundOn();
    void foregroundLockRefusesBackgroundProcesses();
    void mouseInputIsRecordedAndKeepsTheCursor();
    void processQueries();
    void processAccessRightsAndMemory();
    void taskkill_data();
    void taskkill();
    void registryRoundTrip();
    void hotkeys();
    void concurrentUseFromSeveralThreads();
    void snapshotShowsWhatTheClientShowsAndReadsNothing();
    void changesAreAnnouncedButReadsAreNot();
};

void TestSimDesktop::otherProcessesTextsFollowWindowsRules()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    const WindowId dialog = makeDialog(desktop, app, u"dialog", nullptr);
    const WindowId label = makeChild(desktop, dialog, u"Static", u"old");
    const WindowId edit = makeChild(desktop, dialog, u"Edit", u"created");

    // The client changes its own controls.
    setTextAs(desktop, app, label, u"600000");
    setTextAs(desktop, app, edit, u"300");

    // GetWindowTextW on another program's window answers with the system's copy: current for a
    // static, the creation text for an edit; only WM_GETTEXT reaches the edit's content.
    QCOMPARE(windowText(desktop, label), QStringLiteral("600000"));
    QCOMPARE(windowText(desktop, edit), QStringLiteral("created"));
    QCOMPARE(controlText(desktop, edit), QStringLiteral("300"));

    // SetWindowTextW cannot change another program's edit control; WM_SETTEXT can.
    QVERIFY(desktop.setWindowText(edit, u"999"));
    QCOMPARE(controlText(desktop, edit), QStringLiteral("300"));
    desktop.sendMessage(edit, msg::SetText, 0, reinterpret_cast<std::intptr_t>(u"400"));
    QCOMPARE(controlText(desktop, edit), QStringLiteral("400"));

    // In the program's own process both calls go through the window procedure.
    const WindowId own = makeDialog(desktop, 0, u"own", nullptr);
    const WindowId ownEdit = makeChild(desktop, own, u"Edit", u"created");
    QCOMPARE(desktop.windowProcessId(ownEdit), system.programPid());
    QVERIFY(desktop.setWindowText(ownEdit, u"123"));
    QCOMPARE(windowText(desktop, ownEdit), QStringLiteral("123"));
    QCOMPARE(controlText(desktop, ownEdit), QStringLiteral("123"));
}

void TestSimDesktop::textBuffersTruncate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<QString>("expected");
    const QString longText = QString(300, QLatin1Char('x'));
    QTest::newRow("fits") << "600000" << 32 << "600000";
    QTest::newRow("31 of 40") << QString(40, QLatin1Char('a')) << 32 << QString(31, QLatin1Char('a'));
    QTest::newRow("exactly 31") << QString(31, QLatin1Char('b')) << 32 << QString(31, QLatin1Char('b'));
    QTest::newRow("one unit holds only the zero") << "abc" << 1 << "";
    QTest::newRow("255 of 300") << longText << 256 << longText.left(255);
}

void TestSimDesktop::textBuffersTruncate()
{
    QFETCH(QString, text);
    QFETCH(int, bufferSize);
    QFETCH(QString, expected);
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    const WindowId dialog = makeDialog(desktop, app, u"d", nullptr);
    const WindowId label = makeChild(desktop, dialog, u"Static", text.toStdU16String());
    WindowSpec classed;
    classed.className = text.toStdU16String();
    const WindowId odd = desktop.createWindow(classed);

    std::vector<char16_t> buffer(static_cast<std::size_t>(bufferSize) + 4, u'#');
    auto n = desktop.sendMessage(label, msg::GetText, static_cast<std::uintptr_t>(bufferSize),
                                 reinterpret_cast<std::intptr_t>(buffer.data()));
    QCOMPARE(QString::fromUtf16(buffer.data(), static_cast<int>(n)), expected);
    QCOMPARE(buffer[static_cast<std::size_t>(n)], char16_t(0));
    QCOMPARE(buffer[static_cast<std::size_t>(bufferSize)], char16_t(u'#')); // nothing written past the buffer

    std::fill(buffer.begin(), buffer.end(), u'#');
    n = desktop.windowText(label, buffer.data(), bufferSize);
    QCOMPARE(QString::fromUtf16(buffer.data(), static_cast<int>(n)), expected);

    std::fill(buffer.begin(), buffer.end(), u'#');
    n = desktop.className(odd, buffer.data(), bufferSize);
    QCOMPARE(QString::fromUtf16(buffer.data(), static_cast<int>(n)), expected);

    QCOMPARE(desktop.sendMessage(label, msg::GetText, 0, reinterpret_cast<std::intptr_t>(buffer.data())),
             std::intptr_t(0));
}

void TestSimDesktop::findWindowExContinuesAfterThePreviousFind()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const WindowId dialog = makeDialog(desktop, 0, u"闪电买入", nullptr);
    const WindowId e0 = makeChild(desktop, dialog, u"Edit", u"10.52");
    makeChild(desktop, dialog, u"Static", u"label");
    const WindowId e1 = makeChild(desktop, dialog, u"Edit", u"");
    const WindowId e2 = makeChild(desktop, dialog, u"Edit", u"300");

    QCOMPARE(nthChild(desktop, dialog, u"Edit", 0), e0);
    QCOMPARE(nthChild(desktop, dialog, u"Edit", 1), e1);
    QCOMPARE(nthChild(desktop, dialog, u"Edit", 2), e2);
    QCOMPARE(nthChild(desktop, dialog, u"Edit", 3), WindowId(0));
    QCOMPARE(desktop.findWindowEx(dialog, 0, u"edit", nullptr), e0); // class atoms ignore case
    QCOMPARE(desktop.findWindowEx(dialog, 0, nullptr, u"300"), e2);
    QCOMPARE(desktop.findWindowEx(dialog, 0, u"Edit", u"nothing"), WindowId(0));
    // childAfter must be a direct child of parent.
    const WindowId other = makeDialog(desktop, 0, u"other", nullptr);
    const WindowId foreign = makeChild(desktop, other, u"Edit", u"x");
    QCOMPARE(desktop.findWindowEx(dialog, foreign, u"Edit", nullptr), WindowId(0));
    // Parent 0 searches the top-level windows.
    QCOMPARE(desktop.findWindowEx(0, 0, u"#32770", u"闪电买入"), dialog);
    QCOMPARE(desktop.findWindowEx(0, 0, u"#32770", u"other"), other);
}

void TestSimDesktop::childEnumerationIsDepthFirst()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const WindowId dialog = makeDialog(desktop, 0, u"d", nullptr);
    const WindowId a = makeChild(desktop, dialog, u"Static", u"a");
    const WindowId group = makeChild(desktop, dialog, u"Button", u"group");
    const WindowId g1 = makeChild(desktop, group, u"Static", u"g1");
    const WindowId g2 = makeChild(desktop, group, u"Edit", u"g2");
    const WindowId b = makeChild(desktop, dialog, u"Static", u"b");
    desktop.setVisible(g1, false); // hidden windows are enumerated too

    QCOMPARE(desktop.childWindows(dialog), (std::vector<WindowId>{a, group, g1, g2, b}));
    QCOMPARE(nthStatic(desktop, dialog, 1), g1);          // descendants count
    QCOMPARE(nthChild(desktop, dialog, u"Static", 1), b); // direct children only
    QVERIFY(!desktop.isWindowVisible(g1));
    desktop.setVisible(dialog, false);
    QVERIFY(!desktop.isWindowVisible(g2)); // an ancestor hides it
    QCOMPARE(desktop.parentWindow(g2), group);
    QCOMPARE(desktop.childWindows(0), desktop.topLevelWindows());
}

void TestSimDesktop::buttonClickAndEditChangeReachTheParent()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    Commands commands;
    const WindowId dialog = makeDialog(desktop, 0, u"d", &commands);
    const WindowId button = makeChild(desktop, dialog, u"Button", u"买入", 1001);
    const WindowId edit = makeChild(desktop, dialog, u"Edit", u"", 1002);

    desktop.sendMessage(button, msg::BmClick, 0, 0);
    desktop.sendMessage(edit, msg::SetText, 0, reinterpret_cast<std::intptr_t>(u"100"));
    desktop.setEnabled(button, false);
    desktop.sendMessage(button, msg::BmClick, 0, 0); // a disabled button does not react

    const auto got = commands.all();
    QCOMPARE(got.size(), std::size_t(2));
    QCOMPARE(got[0].first, makeCommandWParam(1001, notify::BnClicked));
    QCOMPARE(got[0].second, static_cast<std::intptr_t>(button));
    QCOMPARE(got[1].first, makeCommandWParam(1002, notify::EnChange));
    QCOMPARE(got[1].second, static_cast<std::intptr_t>(edit));
    QCOMPARE(desktop.dlgCtrlId(button), 1001);
    QCOMPARE(desktop.dlgCtrlId(dialog), 0);
    QCOMPARE(desktop.parentWindow(button), dialog);
}

// BM_CLICK presses the button as a mouse would: the button has the focus afterwards, so an Enter
// typed next presses it again rather than the dialog's default button.
void TestSimDesktop::clickedButtonTakesTheFocus()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    Commands commands;
    const WindowId dialog = makeDialog(desktop, app, u"front", &commands);
    const WindowId edit = makeChild(desktop, dialog, u"Edit", u"", 1002);
    const WindowId half = makeChild(desktop, dialog, u"Button", u"1/2", 77);
    const WindowId off = makeChild(desktop, dialog, u"Button", u"停用", 78);
    makeChild(desktop, dialog, u"Button", u"确定", 1234, sim::BsDefPushButton);
    const WindowId behind = makeDialog(desktop, app, u"behind", nullptr);
    const WindowId behindButton = makeChild(desktop, behind, u"Button", u"x", 5);
    desktop.setForegroundWindow(dialog);
    desktop.setFocus(edit);

    desktop.setEnabled(off, false);
    desktop.sendMessage(off, msg::BmClick, 0, 0);
    QCOMPARE(desktop.focusWindow(), edit); // a disabled button takes nothing
    desktop.sendMessage(half, msg::BmClick, 0, 0);
    QCOMPARE(desktop.focusWindow(), half);
    desktop.sendMessage(behindButton, msg::BmClick, 0, 0);
    QCOMPARE(desktop.focusWindow(), half); // a window in the background keeps the keyboard focus away

    desktop.keybdEvent(vk::Return, false);
    desktop.keybdEvent(vk::Return, true);
    clock.advance(1);
    desktop.runPending();
    const auto got = commands.all();
    QCOMPARE(got.size(), std::size_t(2));
    QCOMPARE(got[1].first, makeCommandWParam(77, notify::BnClicked));

    desktop.setForegroundWindow(behind);
    QCOMPARE(desktop.focusWindow(), behindButton); // its dialog remembers the click
}

void TestSimDesktop::keysGoToTheForegroundDialog_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("defaultButton");
    QTest::addColumn<bool>("defaultEnabled");
    QTest::addColumn<bool>("focusOnOther");
    QTest::addColumn<int>("expectedId"); // 0: no command
    QTest::newRow("Esc cancels") << int(vk::Escape) << true << true << false << sim::IdCancel;
    QTest::newRow("Enter presses the default button") << int(vk::Return) << true << true << false << 1234;
    QTest::newRow("Enter with the default disabled") << int(vk::Return) << true << false << false << 0;
    QTest::newRow("Enter without a default button") << int(vk::Return) << false << true << false << sim::IdOk;
    QTest::newRow("Enter on a focused button") << int(vk::Return) << true << true << true << 77;
}

void TestSimDesktop::keysGoToTheForegroundDialog()
{
    QFETCH(int, key);
    QFETCH(bool, defaultButton);
    QFETCH(bool, defaultEnabled);
    QFETCH(bool, focusOnOther);
    QFETCH(int, expectedId);
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    Commands commands;
    const WindowId dialog = makeDialog(desktop, app, u"d", &commands);
    const WindowId def =
        makeChild(desktop, dialog, u"Button", u"ok", 1234, defaultButton ? sim::BsDefPushButton : 0);
    const WindowId other = makeChild(desktop, dialog, u"Button", u"other", 77);
    desktop.setEnabled(def, defaultEnabled);
    desktop.setForegroundWindow(dialog);
    if (focusOnOther)
        desktop.setFocus(other);

    desktop.keybdEvent(static_cast<std::uint8_t>(key), false);
    desktop.keybdEvent(static_cast<std::uint8_t>(key), true);
    desktop.runPending();
    QVERIFY(commands.all().empty()); // input waits in the client's queue...
    clock.advance(1);
    desktop.runPending(); // ...until its time has come

    const auto got = commands.all();
    if (expectedId == 0) {
        QVERIFY(got.empty());
        return;
    }
    QCOMPARE(got.size(), std::size_t(1));
    QCOMPARE(int(got[0].first & 0xFFFF), expectedId);
    QCOMPARE(int(got[0].first >> 16), int(notify::BnClicked));
    QCOMPARE(desktop.isWindow(dialog), expectedId != sim::IdCancel);
    const auto log = desktop.inputLog();
    QCOMPARE(log.size(), std::size_t(2));
    QCOMPARE(log[0].target, focusOnOther ? other : dialog);
    QVERIFY(log[0].source == sim::InputRecord::Source::Program);
}

void TestSimDesktop::typedDigitsReplaceTheSelection()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    Commands commands;
    const WindowId dialog = makeDialog(desktop, app, u"d", &commands);
    const WindowId edit = makeChild(desktop, dialog, u"Edit", u"0", 1002);
    desktop.setForegroundWindow(dialog);
    desktop.setFocus(edit);
    desktop.sendMessage(edit, 0x00B1 /* EM_SETSEL */, 0, -1);
    system.driveEventsFrom(clock);

    desktop.deviceType(u"300");
    clock.advance(1);
    QCOMPARE(controlText(desktop, edit), QStringLiteral("300"));
    desktop.deviceType(u"5");
    clock.advance(1);
    QCOMPARE(controlText(desktop, edit), QStringLiteral("3005"));
    desktop.deviceKey(0x08, false); // backspace
    clock.advance(1);
    QCOMPARE(controlText(desktop, edit), QStringLiteral("300"));
    // Every change told the dialog; keyboard input from the device is not the program's input.
    QCOMPARE(commands.all().size(), std::size_t(5));
    for (const auto& record : desktop.inputLog())
        QVERIFY(record.source == sim::InputRecord::Source::Device);
}

void TestSimDesktop::postedMessagesWaitForTheQueue()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    const WindowId main = makeTopLevel(desktop, u"main", app);
    desktop.setForegroundWindow(main);
    sim::MessageDialogSpec spec;
    spec.pid = app;
    spec.owner = main;
    spec.title = u"提示";
    spec.texts = {u"委托已提交"};
    int closedWith = 0;
    spec.onClose = [&closedWith](int id) { closedWith = id; };
    const WindowId box = sim::openMessageDialog(desktop, spec);
    QCOMPARE(desktop.foregroundWindow(), box);

    system.driveEventsFrom(clock);
    QVERIFY(desktop.postMessage(box, msg::Close, 0, 0));
    desktop.runPending();
    QCOMPARE(closedWith, 0); // posted: not handled yet
    QVERIFY(!desktop.postMessage(box, msg::SetText, 0, reinterpret_cast<std::intptr_t>(u"x")));
    clock.advance(1);
    QCOMPARE(closedWith, 0); // WM_CLOSE handled: the dialog procedure posted IDCANCEL
    QVERIFY(desktop.isWindow(box));
    clock.advance(1);
    QCOMPARE(closedWith, sim::IdCancel);
    QVERIFY(!desktop.isWindow(box));
    QCOMPARE(desktop.foregroundWindow(), main); // the owner takes the front again
    QVERIFY(!desktop.postMessage(box, msg::Close, 0, 0));
}

void TestSimDesktop::foregroundChangesReachHooksThroughTheirDispatcher()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    std::vector<std::function<void()>> queued;
    std::vector<WindowId> seen;
    auto hook =
        desktop.hookForeground([&seen](WindowId w) { seen.push_back(w); },
                               [&queued](std::function<void()> task) { queued.push_back(std::move(task)); });
    QVERIFY(hook);
    const WindowId main = makeTopLevel(desktop, u"main");
    Commands commands;
    const WindowId dialog = makeDialog(desktop, 0, u"d", &commands, main);
    const WindowId child = makeChild(desktop, dialog, u"Edit", u"");

    desktop.setForegroundWindow(main);
    desktop.setForegroundWindow(child);  // the top-level window comes to the front
    desktop.setForegroundWindow(dialog); // already in front: no event
    QVERIFY(seen.empty());               // delivered by the dispatcher, not on the caller
    QCOMPARE(queued.size(), std::size_t(2));
    for (auto& task : queued)
        task();
    QCOMPARE(seen, (std::vector<WindowId>{main, dialog}));
    QCOMPARE(desktop.foregroundWindow(), dialog);

    queued.clear();
    desktop.destroyWindow(dialog);
    QCOMPARE(desktop.foregroundWindow(), main);
    QCOMPARE(queued.size(), std::size_t(1));
    hook.reset();
    queued[0](); // an event still in the queue after unhooking is dropped
    QCOMPARE(seen.size(), std::size_t(2));
    desktop.setForegroundWindow(makeTopLevel(desktop, u"other"));
    QCOMPARE(queued.size(), std::size_t(1));
}

void TestSimDesktop::topmostBands()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const WindowId a = makeTopLevel(desktop, u"a");
    const WindowId b = makeTopLevel(desktop, u"b");
    QCOMPARE(desktop.topLevelWindows(), (std::vector<WindowId>{b, a}));

    QVERIFY(desktop.setWindowPos(a, zorder::Topmost, 0, 0, 0, 0, swp::NoMove | swp::NoSize));
    QVERIFY(desktop.windowExStyle(a) & exstyle::Topmost);
    const WindowId c = makeTopLevel(desktop, u"c"); // new windows start on top of the normal band
    QCOMPARE(desktop.topLevelWindows(), (std::vector<WindowId>{a, c, b}));

    // WS_EX_TOPMOST cannot be set through the extended style.
    QVERIFY(desktop.setWindowExStyle(b, exstyle::Topmost | exstyle::Layered));
    QCOMPARE(desktop.windowExStyle(b), exstyle::Layered);
    QCOMPARE(desktop.topLevelWindows(), (std::vector<WindowId>{a, c, b}));

    // HWND_NOTOPMOST does not move a window that is not topmost.
    QVERIFY(desktop.setWindowPos(b, zorder::NoTopmost, 0, 0, 0, 0, swp::NoMove | swp::NoSize));
    QCOMPARE(desktop.topLevelWindows(), (std::vector<WindowId>{a, c, b}));
    QVERIFY(desktop.setWindowPos(a, zorder::NoTopmost, 0, 0, 0, 0, swp::NoMove | swp::NoSize));
    QVERIFY(!(desktop.windowExStyle(a) & exstyle::Topmost));
    QCOMPARE(desktop.topLevelWindows(), (std::vector<WindowId>{a, c, b}));
    QVERIFY(desktop.bringWindowToTop(b));
    QCOMPARE(desktop.topLevelWindows().front(), b);
    QVERIFY(!desktop.setWindowPos(0x999, zorder::Topmost, 0, 0, 0, 0, 0));
}

void TestSimDesktop::hungWindowDoesNotAnswer()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    Commands commands;
    const WindowId dialog = makeDialog(desktop, app, u"闪电买入", &commands);
    const WindowId edit = makeChild(desktop, dialog, u"Edit", u"");
    setTextAs(desktop, app, edit, u"300");
    desktop.setHung(dialog, true);

    auto before = clock.nowMs();
    std::uintptr_t result = 7;
    // Only just stopped answering: Windows does not call it hung yet, the sender waits.
    QVERIFY(!desktop.sendMessageTimeout(dialog, msg::Null, 0, 0, smto::AbortIfHung, 50, &result));
    QCOMPARE(clock.nowMs(), before + 50);
    clock.advance(sim::SimDesktop::HungAfterMs);
    before = clock.nowMs();
    QVERIFY(!desktop.sendMessageTimeout(dialog, msg::Null, 0, 0, smto::AbortIfHung, 50, &result));
    QCOMPARE(clock.nowMs(), before); // hung for long: gives up at once
    QVERIFY(!desktop.sendMessageTimeout(dialog, msg::Null, 0, 0, smto::Normal, 200, &result));
    QCOMPARE(clock.nowMs(), before + 200);                             // waits out its time-out
    QCOMPARE(windowText(desktop, dialog), QStringLiteral("闪电买入")); // no message needed

    // A plain SendMessage waits until the thread answers again.
    auto reading = std::async(std::launch::async, [&] { return controlText(desktop, edit); });
    QVERIFY(reading.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready);
    desktop.setHung(dialog, false);
    QCOMPARE(reading.get(), QStringLiteral("300"));
    QVERIFY(desktop.sendMessageTimeout(dialog, msg::Null, 0, 0, smto::AbortIfHung, 50, &result));
    QCOMPARE(result, std::uintptr_t(0));

    // Posted messages wait as well.
    desktop.setHung(dialog, true);
    QVERIFY(desktop.postMessage(dialog, msg::Close, 0, 0));
    clock.advance(10);
    desktop.runPending();
    QVERIFY(desktop.isWindow(dialog));
    desktop.setHung(dialog, false);
    system.driveEventsFrom(clock);
    clock.advance(1);
    clock.advance(1);
    QVERIFY(!desktop.isWindow(dialog));
    QVERIFY(!desktop.sendMessageTimeout(dialog, msg::Null, 0, 0, smto::AbortIfHung, 50, &result));
}

void TestSimDesktop::busyAndHangingClients()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    Commands commands;
    const WindowId dialog = makeDialog(desktop, app, u"闪电买入", &commands);
    const WindowId edit = makeChild(desktop, dialog, u"Edit", u"", 12);
    setTextAs(desktop, app, edit, u"300");
    // Every message takes the client 300 ms, a read 20 ms.
    desktop.setAnswerTime(dialog, [](std::uint32_t message, std::uintptr_t, std::intptr_t) {
        return message == msg::GetText ? 20 : 300;
    });

    char16_t buffer[32] = {};
    std::uintptr_t copied = 0;
    auto start = clock.nowMs();
    QVERIFY(desktop.sendMessageTimeout(edit, msg::GetText, 32, reinterpret_cast<std::intptr_t>(buffer),
                                       smto::AbortIfHung, 200, &copied));
    QCOMPARE(clock.nowMs(), start + 20);
    QCOMPARE(QString::fromUtf16(buffer, int(copied)), QStringLiteral("300"));

    // Slower than the time-out: the sender gives up, the client still does what it was asked,
    // when its time has come.
    start = clock.nowMs();
    const std::u16string text = u"500";
    QVERIFY(!desktop.sendMessageTimeout(edit, msg::SetText, 0, reinterpret_cast<std::intptr_t>(text.c_str()),
                                        smto::AbortIfHung, 200, nullptr));
    QCOMPARE(clock.nowMs(), start + 200);
    desktop.runPending();
    QCOMPARE(qs(desktop.text(edit)), QStringLiteral("300"));
    clock.advance(100);
    desktop.runPending();
    QCOMPARE(qs(desktop.text(edit)), QStringLiteral("500"));
    // A plain SendMessage waits as long as the client takes.
    start = clock.nowMs();
    const std::size_t commandsBefore = commands.all().size(); // the edit's EN_CHANGEs among them
    desktop.sendMessage(dialog, msg::Command, makeCommandWParam(7, notify::BnClicked), 0);
    QCOMPARE(clock.nowMs(), start + 300);
    QCOMPARE(commands.all().size(), commandsBefore + 1);

    // Two more answers, then it hangs in the middle: the third message waits out its time-out
    // and is handled once the client answers again.
    desktop.setAnswerTime(dialog, nullptr);
    desktop.hangAfterMessages(dialog, 2);
    QCOMPARE(controlText(desktop, edit), QStringLiteral("500"));
    QVERIFY(desktop.sendMessageTimeout(dialog, msg::Null, 0, 0, smto::AbortIfHung, 200, nullptr));
    start = clock.nowMs();
    QVERIFY(!desktop.sendMessageTimeout(dialog, msg::Command, makeCommandWParam(8, notify::BnClicked), 0,
                                        smto::AbortIfHung, 200, nullptr));
    QCOMPARE(clock.nowMs(), start + 200);
    clock.advance(1000);
    desktop.runPending();
    QCOMPARE(commands.all().size(), commandsBefore + 1);
    desktop.setHung(dialog, false);
    desktop.runPending();
    QCOMPARE(commands.all().size(), commandsBefore + 2);
    QCOMPARE(commands.all().back().first, makeCommandWParam(8, notify::BnClicked));
}

void TestSimDesktop::scheduledChangesHappenAtTheirTime()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    const WindowId dialog = makeDialog(desktop, app, u"d", nullptr);
    const WindowId label = makeChild(desktop, dialog, u"Static", u"");
    desktop.scheduleAfter(50, app, label, [&] { setTextAs(desktop, app, label, u"1200"); });

    clock.advance(49);
    QCOMPARE(windowText(desktop, label), QString());
    clock.advance(1);
    QCOMPARE(windowText(desktop, label), QStringLiteral("1200")); // evaluated by the read itself

    // Driven by the clock, events run without anyone touching the desktop.
    system.driveEventsFrom(clock);
    std::vector<WindowId> seen;
    auto hook = desktop.hookForeground([&seen](WindowId w) { seen.push_back(w); }, nullptr);
    desktop.scheduleAfter(30, app, dialog, [&] { desktop.setForegroundWindow(dialog); });
    QCOMPARE(desktop.nextEventTime(), clock.nowMs() + 30);
    clock.advance(30);
    QCOMPARE(seen, std::vector<WindowId>{dialog});
    QCOMPARE(desktop.nextEventTime(), std::int64_t(-1));
    // An event that runs late still counts from the time it was due: a chain of two 10 ms steps
    // is done after one advance of 25 ms.
    std::int64_t secondRanAt = 0;
    desktop.scheduleAfter(
        10, app, label, [&] { desktop.scheduleAfter(10, app, label, [&] { secondRanAt = desktop.now(); }); });
    const std::int64_t start = clock.nowMs();
    clock.advance(25);
    QCOMPARE(secondRanAt, start + 20);
    // Events of a window that is gone are dropped.
    desktop.scheduleAfter(10, app, label, [&] { QFAIL("ran for a destroyed window"); });
    desktop.destroyWindow(dialog);
    clock.advance(10);
}

void TestSimDesktop::eventThreadRunsDueEventsInRealTime()
{
    sim::SimSystem system(systemClock());
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    const WindowId main = makeTopLevel(desktop, u"main", app);
    const WindowId dialog = makeDialog(desktop, app, u"闪电买入", nullptr, main);
    desktop.setForegroundWindow(main);
    std::promise<std::pair<WindowId, std::int64_t>> came;
    auto hook = desktop.hookForeground(
        [&](WindowId w) {
            came.set_value({w, systemClock().monotonicMs()});
        },
        nullptr);
    system.startEventThread();
    const std::int64_t due = systemClock().monotonicMs() + 30;
    desktop.scheduleAt(due, app, dialog, [&] { desktop.setForegroundWindow(dialog); });

    // Nobody touches the desktop: the event thread brings the dialog up when it is due.
    auto future = came.get_future();
    QVERIFY(future.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
    const auto result = future.get();
    QCOMPARE(result.first, dialog);
    QVERIFY(result.second >= due);
    system.stopEventThread();
}

void TestSimDesktop::windowsVanishMidRead()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    const WindowId dialog = makeDialog(desktop, app, u"d", nullptr);
    const WindowId label = makeChild(desktop, dialog, u"Static", u"1200");
    const WindowId edit = makeChild(desktop, dialog, u"Edit", u"300");
    setTextAs(desktop, app, edit, u"300");

    desktop.vanishAfterReads(label, 2);
    QCOMPARE(windowText(desktop, label), QStringLiteral("1200"));
    QCOMPARE(controlText(desktop, label), QStringLiteral("1200")); // the second read still answers
    QVERIFY(!desktop.isWindow(label));
    QCOMPARE(windowText(desktop, label), QString());
    QCOMPARE(controlText(desktop, label), QString());
    QCOMPARE(nthChild(desktop, dialog, u"Static", 0), WindowId(0));

    desktop.destroyAt(dialog, clock.nowMs() + 100);
    clock.advance(99);
    QCOMPARE(controlText(desktop, edit), QStringLiteral("300"));
    clock.advance(1);
    QCOMPARE(controlText(desktop, edit), QString());
    QVERIFY(!desktop.isWindow(dialog));
    QVERIFY(!desktop.isWindow(edit)); // children go with their dialog
    QCOMPARE(desktop.windowProcessId(edit), ProcessId(0));
}

void TestSimDesktop::minimizingHandsTheForegroundOn()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const WindowId a = makeTopLevel(desktop, u"a");
    const WindowId b = makeTopLevel(desktop, u"b");
    desktop.setForegroundWindow(b);
    QVERIFY(desktop.showWindow(b, sw::Minimize));
    QVERIFY(desktop.isIconic(b));
    QCOMPARE(desktop.foregroundWindow(), a);
    desktop.showWindow(b, sw::Restore);
    QVERIFY(!desktop.isIconic(b));
    QCOMPARE(desktop.foregroundWindow(), b);
    QVERIFY(desktop.showWindow(b, sw::Hide));
    QVERIFY(!desktop.isWindowVisible(b));
    QCOMPARE(desktop.foregroundWindow(), a);
    QVERIFY(!desktop.showWindow(b, sw::Hide)); // it was hidden already
}

void TestSimDesktop::foregroundLockRefusesBackgroundProcesses()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    const ProcessId chat = system.processes().startProcess(u"chat.exe");
    const WindowId main = makeTopLevel(desktop, u"main", app);
    const WindowId dialog = makeDialog(desktop, app, u"d", nullptr, main);
    const WindowId talk = makeTopLevel(desktop, u"talk", chat);
    const WindowId own = makeTopLevel(desktop, u"own"); // the program's
    QVERIFY(desktop.setForegroundWindow(talk));
    desktop.setForegroundLock(true);

    // The program is in the background: refused, nothing changes.
    QVERIFY(!desktop.setForegroundWindow(dialog));
    QVERIFY(!desktop.setForegroundWindow(own));
    QCOMPARE(desktop.foregroundWindow(), talk);
    QCOMPARE(desktop.foregroundRefusals(), 2);
    QVERIFY(desktop.setForegroundWindow(talk)); // already in front
    {
        // The process in front may hand the foreground on.
        sim::SimDesktop::ActingAs as(chat);
        QVERIFY(desktop.setForegroundWindow(main));
    }
    QCOMPARE(desktop.foregroundWindow(), main);
    {
        sim::SimDesktop::ActingAs as(app);
        QVERIFY(desktop.setForegroundWindow(dialog));
    }
    QCOMPARE(desktop.foregroundWindow(), dialog);
    QCOMPARE(desktop.foregroundRefusals(), 2);

    desktop.setForegroundLock(false);
    QVERIFY(desktop.setForegroundWindow(own));
    QCOMPARE(desktop.foregroundWindow(), own);
}

void TestSimDesktop::mouseInputIsRecordedAndKeepsTheCursor()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    desktop.setScreenSize(1920, 1080);
    QVERIFY(desktop.setCursorPos(500, 400));
    Input down;
    down.type = Input::Type::Mouse;
    down.flags = mouseevent::Absolute | mouseevent::LeftDown;
    down.dx = (65536 / 1920) * 100;
    down.dy = (65536 / 1080) * 50;
    QCOMPARE(desktop.sendInput(&down, 1), 1u);
    QVERIFY(desktop.asyncKeyDown(vk::LButton));
    int x = 0;
    int y = 0;
    QVERIFY(desktop.cursorPos(&x, &y));
    QCOMPARE(x, 500); // without MOUSEEVENTF_MOVE the click lands where the cursor is
    QCOMPARE(y, 400);
    Input up;
    up.type = Input::Type::Mouse;
    up.flags = mouseevent::LeftUp;
    Input move;
    move.type = Input::Type::Mouse;
    move.flags = mouseevent::Absolute | mouseevent::Move;
    move.dx = 32768;
    move.dy = 32768;
    const Input both[] = {up, move};
    QCOMPARE(desktop.sendInput(both, 2), 2u);
    QVERIFY(!desktop.asyncKeyDown(vk::LButton));
    QVERIFY(desktop.cursorPos(&x, &y));
    QCOMPARE(x, 960);
    QCOMPARE(y, 540);
    const auto log = desktop.inputLog();
    QCOMPARE(log.size(), std::size_t(3));
    QCOMPARE(log[0].mouseFlags, down.flags);
    QCOMPARE(log[0].dx, down.dx);
    QCOMPARE(log[0].cursorX, 500);
    desktop.setDeviceKeyState(vk::LButton, true); // the user holds the button
    QVERIFY(desktop.asyncKeyDown(vk::LButton));
}

void TestSimDesktop::processQueries()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& processes = system.processes();
    sim::ProcessSpec tdx;
    tdx.exeFile = u"TdxW.exe";
    tdx.imagePath = u"C:\\new_tdx\\TdxW.exe";
    tdx.wow64 = true;
    const ProcessId pid = processes.startProcess(tdx);

    std::vector<ProcessEntry> list;
    QVERIFY(processes.snapshot(list));
    QStringList names;
    for (const auto& e : list)
        names << qs(e.exeFile);
    QCOMPARE(names, (QStringList{"System", "explorer.exe", "zentrikclock.exe", "TdxW.exe"}));
    QCOMPARE(processes.currentProcessId(), system.programPid());
    QCOMPARE(processes.findByExe(u"tdxw.exe"), std::vector<ProcessId>{pid});

    const ProcessHandle h = processes.openProcess(access::QueryLimitedInformation, pid);
    QVERIFY(h);
    std::u16string path;
    QVERIFY(processes.queryFullProcessImageName(h, path));
    QCOMPARE(qs(path), QStringLiteral("C:\\new_tdx\\TdxW.exe"));
    bool wow64 = false;
    QVERIFY(processes.isWow64Process(h, &wow64));
    QVERIFY(wow64);
    processes.closeHandle(h);
    QCOMPARE(processes.openHandleCount(), std::size_t(0));

    QCOMPARE(processes.openProcess(access::QueryInformation, 0), ProcessHandle(0));
    QCOMPARE(processes.lastError(), std::uint32_t(sim::SimProcesses::ErrorInvalidParameter));
    QCOMPARE(processes.openProcess(access::QueryInformation, list[0].pid), ProcessHandle(0)); // System
    QCOMPARE(processes.lastError(), error::AccessDenied);

    sim::ProcessSpec deep;
    deep.exeFile = u"deep.exe";
    deep.imagePath = u"C:\\" + std::u16string(260, u'd') + u"\\deep.exe";
    const ProcessHandle longPath =
        processes.openProcess(access::QueryInformation, processes.startProcess(deep));
    QVERIFY(!processes.queryFullProcessImageName(longPath, path));
    QCOMPARE(processes.lastError(), std::uint32_t(sim::SimProcesses::ErrorInsufficientBuffer));

    processes.setSnapshotFails(true);
    QVERIFY(!processes.snapshot(list));
}

void TestSimDesktop::processAccessRightsAndMemory()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& processes = system.processes();
    sim::ProcessSpec spec;
    spec.exeFile = u"hexin.exe";
    spec.wow64 = true;
    const ProcessId pid = processes.startProcess(spec);
    processes.addModule(pid, {"hexin.exe", 0x400000, false});
    processes.addModule(pid, {"ntdll.dll", 0x7FFC12300000ULL, true});
    processes.writeMemory(pid, 0x1000, "ABCDEFGH");

    const ProcessHandle queryOnly = processes.openProcess(access::QueryInformation, pid);
    char buffer[8] = {};
    std::size_t read = 99;
    QVERIFY(!processes.readProcessMemory(queryOnly, 0x1000, buffer, 8, &read));
    QCOMPARE(processes.lastError(), error::AccessDenied);
    QCOMPARE(read, std::size_t(0));
    std::vector<ModuleEntry> modules;
    QVERIFY(!processes.enumProcessModules(queryOnly, ModuleFilter::Bits32, modules));

    const ProcessHandle h = processes.openProcess(access::QueryInformation | access::VmRead, pid);
    QVERIFY(processes.readProcessMemory(h, 0x1002, buffer, 4, &read));
    QCOMPARE(read, std::size_t(4));
    QCOMPARE(QByteArray(buffer, 4), QByteArray("CDEF"));
    QVERIFY(!processes.readProcessMemory(h, 0x1006, buffer, 4, &read)); // runs off the end
    QCOMPARE(processes.lastError(), std::uint32_t(sim::SimProcesses::ErrorPartialCopy));
    QCOMPARE(read, std::size_t(0));

    QVERIFY(processes.enumProcessModules(h, ModuleFilter::Bits32, modules));
    QCOMPARE(modules.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(modules[0].baseName), QStringLiteral("hexin.exe"));
    QCOMPARE(modules[0].base, std::uint64_t(0x400000));
    QVERIFY(processes.enumProcessModules(h, ModuleFilter::Bits64, modules));
    QCOMPARE(modules.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(modules[0].baseName), QStringLiteral("ntdll.dll"));

    QVERIFY(processes.endProcess(pid));
    QVERIFY(!processes.readProcessMemory(h, 0x1000, buffer, 4, &read));
    QCOMPARE(processes.openProcess(access::VmRead, pid), ProcessHandle(0));
    processes.closeHandle(h);
    QVERIFY(!processes.isWow64Process(h, nullptr));
    QCOMPARE(processes.lastError(), std::uint32_t(sim::SimProcesses::ErrorInvalidHandle));
}

void TestSimDesktop::taskkill_data()
{
    QTest::addColumn<QString>("running");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("started");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("stillRunning");
    QTest::newRow("ends it") << "xiadan.exe" << QStringList{"/F", "/IM", "xiadan.exe"} << true << 0 << false;
    QTest::newRow("any case") << "XiaDan.exe" << QStringList{"/f", "/im", "xiadan.EXE"} << true << 0 << false;
    QTest::newRow("not running") << "hexin.exe" << QStringList{"/F", "/IM", "xiadan.exe"} << true << 128
                                 << true;
}

void TestSimDesktop::taskkill()
{
    QFETCH(QString, running);
    QFETCH(QStringList, arguments);
    QFETCH(bool, started);
    QFETCH(int, exitCode);
    QFETCH(bool, stillRunning);
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& processes = system.processes();
    const ProcessId pid = processes.startProcess(running.toStdU16String());
    const WindowId window = makeTopLevel(system.desktop(), u"网上股票交易系统5.0", pid);
    system.desktop().setForegroundWindow(window);

    std::vector<std::u16string> args;
    for (const QString& a : arguments)
        args.push_back(a.toStdU16String());
    const CommandResult result = processes.runCommand(u"taskkill", args, 5000);
    QCOMPARE(result.started, started);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(!result.timedOut);
    QCOMPARE(processes.isRunning(pid), stillRunning);
    QCOMPARE(system.desktop().isWindow(window), stillRunning);
    QCOMPARE(system.desktop().foregroundWindow(), stillRunning ? window : WindowId(0));
    QCOMPARE(processes.commandsRun().size(), std::size_t(1));

    QVERIFY(!processes.runCommand(u"nosuchtool", {}, 5000).started);
    processes.setCommandHandler([](const std::u16string&, const std::vector<std::u16string>&) {
        CommandResult hung;
        hung.started = true;
        hung.timedOut = true;
        return std::optional<CommandResult>(hung);
    });
    QVERIFY(processes.runCommand(u"taskkill", args, 5000).timedOut);
}

void TestSimDesktop::registryRoundTrip()
{
    sim::SimRegistry registry;
    const std::u16string key = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::u16string value;
    QVERIFY(!registry.readString(RegistryRoot::CurrentUser, key, u"ZENTRIKCLOCK", value));
    QVERIFY(registry.writeString(RegistryRoot::CurrentUser, key, u"ZENTRIKCLOCK", u"\"C:\\zc.exe\""));
    QVERIFY(registry.readString(RegistryRoot::CurrentUser,
                                u"software\\microsoft\\windows\\currentversion\\run\\", u"zentrikclock",
                                value));
    QCOMPARE(qs(value), QStringLiteral("\"C:\\zc.exe\""));
    QVERIFY(!registry.readString(RegistryRoot::LocalMachine, key, u"ZENTRIKCLOCK", value));
    QCOMPARE(registry.values(RegistryRoot::CurrentUser, key).at(0).first, std::u16string(u"ZENTRIKCLOCK"));
    QVERIFY(registry.removeValue(RegistryRoot::CurrentUser, key, u"ZentrikClock"));
    QVERIFY(!registry.readString(RegistryRoot::CurrentUser, key, u"ZENTRIKCLOCK", value));
    QVERIFY(registry.removeValue(RegistryRoot::CurrentUser, key, u"ZENTRIKCLOCK")); // gone already
    registry.setReadOnly(RegistryRoot::LocalMachine, true);
    QVERIFY(!registry.writeString(RegistryRoot::LocalMachine, u"SOFTWARE\\X", u"a", u"b"));
    QVERIFY(!registry.keyExists(RegistryRoot::LocalMachine, u"SOFTWARE\\X"));
}

void TestSimDesktop::hotkeys()
{
    sim::SimHotkeys hotkeys;
    int pressed = 0;
    const int id =
        hotkeys.registerHotkey(modifier::Control | modifier::Shift, vk::Space, [&pressed] { ++pressed; });
    QVERIFY(id > 0);
    QCOMPARE(hotkeys.registerHotkey(modifier::Control | modifier::Shift, vk::Space, [] {}), 0);
    hotkeys.takeByOtherProgram(modifier::Control, vk::Oem3);
    QCOMPARE(hotkeys.registerHotkey(modifier::Control, vk::Oem3, [] {}), 0);
    QVERIFY(hotkeys.press(modifier::Control | modifier::Shift, vk::Space));
    QVERIFY(!hotkeys.press(modifier::Control, vk::Space));
    QCOMPARE(pressed, 1);
    hotkeys.unregisterHotkey(id);
    QVERIFY(!hotkeys.press(modifier::Control | modifier::Shift, vk::Space));
}

void TestSimDesktop::concurrentUseFromSeveralThreads()
{
    // The watcher, the detector and the GUI thread use the desktop at once.
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    std::atomic<bool> done{false};
    std::atomic<int> hookCalls{0};
    auto hook = desktop.hookForeground(
        [&](WindowId w) {
            hookCalls++;
            windowText(desktop, w);
        },
        nullptr);

    std::thread opener([&] {
        for (int i = 0; i < 300; ++i) {
            sim::SimDesktop::ActingAs as(app);
            Commands* none = nullptr;
            const WindowId d = makeDialog(desktop, app, u"闪电买入", none);
            makeChild(desktop, d, u"Static", u"600000");
            makeChild(desktop, d, u"Edit", u"0", 1);
            makeChild(desktop, d, u"Button", u"买入", 2);
            desktop.setForegroundWindow(d);
            desktop.postMessage(d, msg::Close, 0, 0);
            if (i % 2)
                desktop.destroyWindow(d);
        }
        done = true;
    });
    auto reader = [&] {
        while (!done) {
            const WindowId fg = desktop.foregroundWindow();
            for (WindowId c : desktop.childWindows(fg)) {
                controlText(desktop, c);
                windowText(desktop, c);
                className(desktop, c);
                desktop.sendMessage(c, msg::BmClick, 0, 0);
            }
            nthChild(desktop, fg, u"Edit", 0);
        }
    };
    std::thread detector(reader);
    std::thread gui(reader);
    opener.join();
    detector.join();
    gui.join();
    for (int i = 0; i < 3; ++i) {
        clock.advance(1);
        desktop.runPending();
    }
    QVERIFY(hookCalls.load() >= 300);
    // Every dialog is gone: the posted WM_CLOSE turns into IDCANCEL, on which these dialogs close.
    for (WindowId w : desktop.topLevelWindows())
        QVERIFY2(desktop.windowProcessId(w) != app, desktop.describe(w).c_str());
}

// A viewer's copy of the desktop: front to back, each control's shown text (an edit's own content,
// which GetWindowTextW would not give), hidden windows marked, and taking it is no read.
void TestSimDesktop::snapshotShowsWhatTheClientShowsAndReadsNothing()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    const WindowId back = makeTopLevel(desktop, u"back", app);
    const WindowId dialog = makeDialog(desktop, app, u"dialog", nullptr, back);
    const WindowId edit = makeChild(desktop, dialog, u"Edit", u"0");
    const WindowId hidden = makeChild(desktop, dialog, u"Button", u"hidden");
    desktop.setVisible(hidden, false);
    desktop.setForegroundWindow(dialog);
    setTextAs(desktop, app, edit, u"3300");
    desktop.vanishAfterReads(edit, 1);

    const sim::DesktopSnapshot snap = desktop.snapshot();
    QCOMPARE(snap.foreground, dialog);
    QCOMPARE(snap.topLevel.size(), std::size_t(2));
    QCOMPARE(snap.topLevel.at(0).id, dialog);
    QCOMPARE(snap.topLevel.at(0).owner, back);
    QCOMPARE(snap.topLevel.at(1).id, back);
    const auto& children = snap.topLevel.at(0).children;
    QCOMPARE(children.size(), std::size_t(2));
    QCOMPARE(children.at(0).text, u"3300");
    QVERIFY(children.at(0).visible);
    QCOMPARE(children.at(1).text, u"hidden");
    QVERIFY(!children.at(1).visible);
    // The edit would vanish on its next read: the snapshot was none.
    QVERIFY(desktop.isWindow(edit));
}

void TestSimDesktop::changesAreAnnouncedButReadsAreNot()
{
    ManualClock clock;
    sim::SimSystem system(clock);
    auto& desktop = system.desktop();
    const ProcessId app = system.processes().startProcess(u"app.exe");
    std::atomic<int> changes{0};
    desktop.setChangeListener([&] { ++changes; });
    const WindowId dialog = makeDialog(desktop, app, u"dialog", nullptr);
    const WindowId edit = makeChild(desktop, dialog, u"Edit", u"0");
    QVERIFY(changes > 0);

    struct Step
    {
        const char* what;
        std::function<void()> act;
        bool announced;
    };
    const Step steps[] = {
        {"WM_GETTEXT", [&] { controlText(desktop, edit); }, false},
        {"GetWindowTextW", [&] { windowText(desktop, edit); }, false},
        {"WM_SETTEXT", [&] { setTextAs(desktop, app, edit, u"100"); }, true},
        {"hidden", [&] { desktop.setVisible(edit, false); }, true},
        {"foreground", [&] { desktop.setForegroundWindow(dialog); }, true},
        {"destroyed", [&] { desktop.destroyWindow(dialog); }, true},
    };
    for (const Step& step : steps) {
        changes = 0;
        step.act();
        QVERIFY2((changes > 0) == step.announced, step.what);
    }
    desktop.setChangeListener(nullptr);
    changes = 0;
    makeTopLevel(desktop, u"unseen", app);
    QCOMPARE(changes.load(), 0);
}

ZK_TEST_MAIN(TestSimDesktop)
#include "tst_simdesktop.moc"
