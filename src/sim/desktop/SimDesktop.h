#pragma once

// A simulated Windows desktop behind platform::Desktop. Windows have a handle, class, text,
// parent or owner, child order, control id, styles and an owning process and thread; messages go
// through window procedures the way user32 routes them, so the program's window code can be
// exercised call for call without Windows.
//
// Things that happen "later" on a real desktop (posted messages and keystrokes, 1 ms after they
// were sent; a value a client computes after a while) are events with a due time on the given
// clock. They run lazily: every call into the desktop from outside a window procedure first runs
// the events that are due, and runPending() runs them on request. No background thread exists,
// so a ManualClock makes every timing exact.
//
// Thread safety: one mutex guards the desktop's state and is never held while a window procedure,
// an event or a foreground hook runs. The procedures of one simulated thread run one at a time
// (as they would on that thread's message loop).

#include "DesktopSnapshot.h"

#include "platform/api/Clock.h"
#include "platform/api/Desktop.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace sim {

using platform::ProcessId;
using platform::WindowId;

// WNDPROC: (window, message, wParam, lParam) → result.
using WindowProc = std::function<std::intptr_t(WindowId, std::uint32_t, std::uintptr_t, std::intptr_t)>;

// Messages the simulator's standard controls and clients use beyond platform::msg.
namespace wm {
constexpr std::uint32_t Destroy = 0x0002;
constexpr std::uint32_t SetFocus = 0x0007;
constexpr std::uint32_t Char = 0x0102;
constexpr std::uint32_t GetDefId = 0x0400; // DM_GETDEFID
} // namespace wm

constexpr int IdOk = 1;
constexpr int IdCancel = 2;
constexpr std::uint32_t BsDefPushButton = 0x0001; // BS_DEFPUSHBUTTON in the window style
constexpr std::uint32_t DcHasDefId = 0x534B;      // DM_GETDEFID's high word

struct WindowSpec
{
    std::u16string className;
    std::u16string text;
    WindowId parent = 0;      // set: a child window of parent (WS_CHILD)
    WindowId owner = 0;       // for top-level windows: the owner (GetParent of a popup)
    ProcessId pid = 0;        // 0: the parent's process, else the acting process (see ActingAs)
    std::uint32_t thread = 0; // 0: the process's UI thread (the owning process of a child window)
    int controlId = 0;
    std::uint32_t style = platform::style::Visible; // Visible, Disabled, Popup, BsDefPushButton...
    std::uint32_t exStyle = 0;
    Rect rect;
    // Null: the standard procedure of the class ("Static", "Edit", "Button", "#32770"), else
    // DefWindowProc.
    WindowProc proc;
};

struct InputRecord
{
    enum class Source
    {
        Program,
        Device
    };
    enum class Kind
    {
        Key,
        Mouse
    };
    Source source = Source::Program;
    Kind kind = Kind::Key;
    std::uint16_t vk = 0;
    bool keyUp = false;
    std::uint32_t mouseFlags = 0;
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    int cursorX = 0; // the cursor when the input happened (after a move it carries)
    int cursorY = 0;
    WindowId target = 0; // where a key went (focus or foreground window), 0 when nowhere
    std::int64_t timeMs = 0;
};

struct MessageRecord
{
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::int64_t timeMs = 0;
};

class SimDesktop : public platform::Desktop
{
public:
    explicit SimDesktop(platform::Clock& clock);
    ~SimDesktop() override;
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    platform::Clock& clock() { return m_clock; }

    // ---- platform::Desktop
    std::vector<WindowId> topLevelWindows() override;
    std::vector<WindowId> childWindows(WindowId parent) override;
    // Class and title compare as Windows compares them: ignoring case.
    WindowId findWindowEx(WindowId parent, WindowId childAfter, const char16_t* className,
                          const char16_t* windowName) override;
    WindowId foregroundWindow() override;
    bool isWindow(WindowId window) override;
    bool isWindowVisible(WindowId window) override;
    bool isWindowEnabled(WindowId window) override;
    bool isIconic(WindowId window) override;
    std::uint32_t windowStyle(WindowId window) override;
    std::uint32_t windowExStyle(WindowId window) override;
    // WS_EX_TOPMOST cannot be changed this way (only SetWindowPos moves a window between bands).
    bool setWindowExStyle(WindowId window, std::uint32_t exStyle) override;
    WindowId parentWindow(WindowId window) override;
    int dlgCtrlId(WindowId window) override;
    ProcessId windowProcessId(WindowId window) override;
    int className(WindowId window, char16_t* buffer, int bufferSize) override;
    // For a window of another process: the text the system keeps for it, without a message (so
    // an edit control of another program answers with its creation text). For a window of the
    // calling process: WM_GETTEXT.
    int windowText(WindowId window, char16_t* buffer, int maxCount) override;
    // For a window of another process only the system's copy changes (no WM_SETTEXT is sent, so
    // another program's edit control keeps its content); in the calling process WM_SETTEXT.
    bool setWindowText(WindowId window, const char16_t* text) override;
    std::intptr_t sendMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
    bool sendMessageTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam, std::uint32_t flags, std::uint32_t timeoutMs,
                            std::uintptr_t* result) override;
    bool postMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) override;
    // Z-order only; the foreground never changes here (another program's window cannot take it).
    bool setWindowPos(WindowId window, WindowId insertAfter, int x, int y, int cx, int cy,
                      std::uint32_t flags) override;
    // Succeeds for an existing window unless the foreground lock (below) refuses the caller.
    bool setForegroundWindow(WindowId window) override;
    bool bringWindowToTop(WindowId window) override;
    WindowId setFocus(WindowId window) override;
    bool showWindow(WindowId window, int command) override;
    void keybdEvent(std::uint8_t virtualKey, bool keyUp) override;
    unsigned sendInput(const platform::Input* inputs, unsigned count) override;
    bool asyncKeyDown(int virtualKey) override;
    bool cursorPos(int* x, int* y) override;
    bool setCursorPos(int x, int y) override;
    platform::ScreenSize screenSize() override;
    std::unique_ptr<platform::ForegroundHook> hookForeground(platform::ForegroundCallback callback,
                                                             platform::Dispatcher dispatcher) override;
    // Whether foreground changes reach the installed hooks. Off, the desktop behaves as Wine's
    // does, or as Windows with a lost hook: hooks install, but are never called.
    void setForegroundEvents(bool raised) { m_foregroundEvents = raised; }

    // ---- building the desktop (used by the fake clients and by tests)
    WindowId createWindow(const WindowSpec& spec);
    // DestroyWindow: owned windows first, then the window (WM_DESTROY to it, then to its
    // children); the foreground passes to the owner or the next visible top-level window.
    bool destroyWindow(WindowId window);
    void destroyWindowsOfProcess(ProcessId pid);
    // The default procedures, for window procedures to fall back on.
    std::intptr_t defWindowProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);
    // DefDlgProc: WM_CLOSE becomes WM_COMMAND IDCANCEL; DM_GETDEFID names the default button.
    std::intptr_t defDialogProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);
    // Style changes by the owning program (no activation).
    void setVisible(WindowId window, bool visible);
    void setEnabled(WindowId window, bool enabled);
    // The first direct child with that control id (GetDlgItem).
    WindowId dlgItem(WindowId dialog, int controlId);
    // The text the window's procedure answers to WM_GETTEXT (any length), as its program sees it.
    std::u16string text(WindowId window);
    // The calling program's process (the one whose windows get messages from GetWindowTextW).
    void setProgramProcess(ProcessId pid);
    ProcessId programProcess();

    // While alive, calls on this thread act as the given process (fake clients touching their
    // own windows). Window procedures and events already run as their window's process.
    class ActingAs
    {
    public:
        explicit ActingAs(ProcessId pid);
        ~ActingAs();
        ActingAs(const ActingAs&) = delete;
        ActingAs& operator=(const ActingAs&) = delete;

    private:
        ProcessId m_previous;
    };

    // ---- time
    // The desktop's time: inside an event the time it was due (an event that runs late still
    // schedules and stamps relative to its own time), else the clock's monotonic reading (as
    // Windows' message times and timers are: a change of the system time moves none of them).
    std::int64_t now();
    // Runs fn as process pid at atMs (the desktop's time, above), or as soon after as the desktop is next used.
    // With a window, the event is dropped when that window no longer exists by then.
    void scheduleAt(std::int64_t atMs, ProcessId pid, WindowId window, std::function<void()> fn);
    void scheduleAfter(int delayMs, ProcessId pid, WindowId window, std::function<void()> fn);
    // Runs every due event (posted messages, input, scheduled changes). Does nothing when called
    // from inside a window procedure or an event.
    void runPending();
    // The earliest due time of a waiting event, or -1.
    std::int64_t nextEventTime();
    // Called (outside the desktop's lock) whenever an event is scheduled: lets a real-time event
    // pump wake up early.
    void setScheduleListener(std::function<void()> listener);
    // How long a posted message or an input event waits in its thread's queue (default 1 ms):
    // it is never handled before PostMessage / SendInput has returned.
    void setQueueLatency(int ms);

    // ---- faults
    // The thread of the window stops answering: SendMessage blocks until it answers again, posted
    // messages wait. SendMessageTimeout waits out its time-out and fails; the message it sent is
    // handled once the thread answers again. As on Windows, a thread counts as hung only after
    // it has not answered for HungAfterMs: before that SMTO_ABORTIFHUNG waits the time-out as
    // well, after it such a call fails at once and sends nothing.
    void setHung(WindowId window, bool hung);
    static constexpr std::int64_t HungAfterMs = 5000;
    // The thread of the window takes this long (ms, on the desktop's clock) to handle each message
    // sent to it by another process, asked anew for every message; null: at once again. A
    // SendMessage waits that long; a SendMessageTimeout with a shorter time-out fails after its
    // time-out while the message is still handled when its time has come (what it asked for
    // happens, what it reads back is lost). It may change the desktop (hang the client at this
    // very message, for example).
    using AnswerTime = std::function<int(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)>;
    void setAnswerTime(WindowId window, AnswerTime answerTime);
    // The thread of the window answers n more messages sent by other processes, then hangs (as
    // setHung(window, true)) in the middle of whatever it was doing.
    void hangAfterMessages(WindowId window, int n);
    // The window is destroyed right after its text has been read n more times (WM_GETTEXT or
    // GetWindowTextW); the n-th read still succeeds.
    void vanishAfterReads(WindowId window, int n);
    void destroyAt(WindowId window, std::int64_t atMs);
    // A fresh thread id for a window that must hang on its own.
    std::uint32_t newThreadId();
    // Windows' foreground lock: while on, SetForegroundWindow called by a process that does not
    // own the foreground window fails and changes nothing (Windows flashes the taskbar button
    // instead; each refusal is counted). Bringing the foreground window itself forward, or any
    // window while nothing is in front, still succeeds. Off by default.
    void setForegroundLock(bool locked);
    int foregroundRefusals();

    // ---- input from the user's devices (the trading keyboard types into the foreground window)
    void deviceKey(std::uint8_t virtualKey, bool keyUp);
    // Key presses (down and up) of the digits and '.' of text.
    void deviceType(const std::u16string& text);
    // A button or key held by the user (GetAsyncKeyState).
    void setDeviceKeyState(int virtualKey, bool down);
    std::vector<InputRecord> inputLog();
    void clearInputLog();
    void setScreenSize(int width, int height);

    // ---- observing
    // Every message the window receives from now on (bounded to the last 512).
    void recordMessages(WindowId window);
    std::vector<MessageRecord> messagesReceived(WindowId window);
    WindowId focusWindow();
    // A readable dump of a window and its children (for failure messages).
    std::string describe(WindowId window);
    // Everything on the desktop as one consistent copy, taken under the desktop's lock; it sends
    // no message (reading a text changes nothing, not even a read counter).
    DesktopSnapshot snapshot();
    // Called (outside the desktop's lock, on whichever thread made the change) after anything a
    // viewer could see may have changed: a window made, destroyed, shown, hidden, moved or
    // enabled, the foreground, or a message handled (a text set, a key typed, a click). Calls may
    // come in bursts and for changes nobody can see; a viewer coalesces them. Null stops them;
    // a call already running may still finish after that.
    void setChangeListener(std::function<void()> listener);

    // The clipboard as the fake clients write it (TDX copies the current stock on request).
    void setClipboardSink(std::function<void(const std::u16string&)> sink);
    void putClipboardText(const std::u16string& text);
    std::u16string clipboardText();

private:
    struct Window;
    struct Event;
    class HookRegistry;
    class Hook;

    std::shared_ptr<Window> find(WindowId window) const; // under m_mutex
    WindowId rootOf(WindowId window) const;              // under m_mutex
    ProcessId callerPid() const;
    void enter();
    std::intptr_t dispatch(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam);
    std::shared_ptr<std::recursive_mutex> threadLock(std::uint32_t thread);
    std::intptr_t standardProc(const std::u16string& className, WindowId window, std::uint32_t message,
                               std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t editProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam);
    std::intptr_t buttonProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam);
    void countRead(WindowId window);
    // For a message sent to window by another process: counts it against hangAfterMessages and gives
    // the time its thread takes to answer it (0: at once).
    int answerDelay(WindowId window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // A message the sender stopped waiting for: its thread handles it at atMs, or once it answers
    // again; a text it carries is copied, a text it reads goes nowhere.
    void deliverLate(WindowId window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                     std::int64_t atMs);
    // SetFocus from the window's own thread: the focus its top-level window comes back to, and
    // the keyboard focus while that window is in the foreground. Under m_mutex.
    void takeFocusLocked(WindowId window);
    void raiseInBand(WindowId window);            // under m_mutex
    WindowId nextActiveAfter(const Window& gone); // under m_mutex
    // Takes the windows off the desktop. When the foreground window was among them: true, and
    // the window that takes the foreground over in newForeground. Under m_mutex.
    bool forgetLocked(const std::vector<WindowId>& gone, WindowId& newForeground);
    void changeForeground(WindowId newForeground, bool notify);
    // The foreground lock refuses the calling process to bring root forward. Under m_mutex.
    bool foregroundLockRefusesLocked(WindowId root) const;
    void notifyForeground(WindowId window);
    void queueInput(InputRecord record);
    void deliverKey(WindowId target, std::uint16_t vk, bool keyUp);
    void runPendingLocked(bool wait);
    void addEvent(std::int64_t atMs, ProcessId pid, WindowId window,
                  std::function<void()> fn); // under m_mutex
    void notifyChanged(); // not under m_mutex
    WindowId createWindowLocked(const WindowSpec& spec); // under m_mutex
    bool setWindowPosLocked(WindowId window, WindowId insertAfter, int x, int y, int cx, int cy,
                            std::uint32_t flags); // under m_mutex
    WindowSnapshot snapshotLocked(const Window& w) const; // under m_mutex

    platform::Clock& m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_threadAnswered;
    std::unordered_map<WindowId, std::shared_ptr<Window>> m_windows;
    std::vector<WindowId> m_zOrder; // top-level windows, topmost band first
    WindowId m_nextWindow = 0x00010010;
    WindowId m_foreground = 0;
    WindowId m_focus = 0;
    ProcessId m_programPid = 0;
    std::set<std::uint32_t> m_hungThreads;
    std::map<std::uint32_t, std::int64_t> m_hungSince;
    std::map<std::uint32_t, AnswerTime> m_answerTimes;
    std::map<std::uint32_t, int> m_answersBeforeHang;
    std::uint32_t m_nextThread = 0x40000000;
    std::map<std::uint32_t, std::shared_ptr<std::recursive_mutex>> m_threadLocks;
    std::map<std::pair<std::int64_t, std::uint64_t>, std::shared_ptr<Event>> m_events;
    std::uint64_t m_nextEventSeq = 0;
    std::mutex m_pumpMutex;
    std::vector<InputRecord> m_inputLog;
    std::array<bool, 256> m_keyState{};
    int m_cursorX = 0;
    int m_cursorY = 0;
    platform::ScreenSize m_screen{1920, 1080};
    int m_queueLatencyMs = 1;
    bool m_foregroundLock = false;
    int m_foregroundRefusals = 0;
    std::shared_ptr<HookRegistry> m_hooks;
    std::atomic<bool> m_foregroundEvents{true};
    std::function<void(const std::u16string&)> m_clipboardSink;
    std::function<void()> m_scheduleListener;
    std::mutex m_changeListenerMutex; // a standard lock, which the thread sanitizer sees
    std::shared_ptr<const std::function<void()>> m_changeListener;
    std::u16string m_clipboard;
};

} // namespace sim
