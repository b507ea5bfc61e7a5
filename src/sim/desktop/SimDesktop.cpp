#include "SimDesktop.h"

#include "platform/api/Text.h"

#include <algorithm>
#include <atomic>
#include <sstream>

namespace sim {

using namespace platform;

namespace {

// > 0 while this thread runs a window procedure or an event: calls made from there must not run
// other events underneath (a message loop does not re-enter itself either).
thread_local int t_depth = 0;
// The process this thread currently acts as; 0 means the program under test.
thread_local ProcessId t_actingPid = 0;
// While an event runs: the time it was due.
constexpr std::int64_t NoEventTime = INT64_MIN;
thread_local std::int64_t t_eventTime = NoEventTime;

struct DepthGuard
{
    DepthGuard() { ++t_depth; }
    ~DepthGuard() { --t_depth; }
};

struct ActGuard
{
    explicit ActGuard(ProcessId pid) : previous(t_actingPid) { t_actingPid = pid; }
    ~ActGuard() { t_actingPid = previous; }
    ProcessId previous;
};

char16_t charOfKey(std::uint16_t vk)
{
    if (vk >= '0' && vk <= '9')
        return static_cast<char16_t>(vk);
    if (vk >= 0x60 && vk <= 0x69) // numeric keypad
        return static_cast<char16_t>(u'0' + (vk - 0x60));
    if (vk == 0x6E || vk == 0xBE) // VK_DECIMAL, VK_OEM_PERIOD
        return u'.';
    if (vk == 0x08) // VK_BACK
        return 0x08;
    return 0;
}

} // namespace

struct SimDesktop::Window
{
    WindowId id = 0;
    std::u16string cls;
    std::u16string caption; // the text the system keeps (what DefWindowProc sets)
    std::u16string ownText; // an edit control's own content
    bool isEdit = false;
    bool selectAll = false;
    WindowId parent = 0;
    WindowId owner = 0;
    std::vector<WindowId> children;
    int ctrlId = 0;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    ProcessId pid = 0;
    std::uint32_t thread = 0;
    WindowProc proc;
    Rect rect;
    bool iconic = false;
    bool destroying = false;
    int readsLeft = -1;
    WindowId lastFocus = 0;
    bool recording = false;
    std::deque<MessageRecord> log;
};

struct SimDesktop::Event
{
    std::int64_t due = 0;
    std::uint32_t thread = 0;
    ProcessId pid = 0;
    WindowId window = 0;
    std::function<void()> fn;
};

class SimDesktop::HookRegistry
{
public:
    struct Entry
    {
        ForegroundCallback callback;
        Dispatcher dispatcher;
        std::atomic<bool> alive{true};
    };

    int add(ForegroundCallback callback, Dispatcher dispatcher)
    {
        auto entry = std::make_shared<Entry>();
        entry->callback = std::move(callback);
        entry->dispatcher = std::move(dispatcher);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries[++m_next] = entry;
        return m_next;
    }
    void remove(int id)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_entries.find(id);
        if (it != m_entries.end()) {
            it->second->alive = false;
            m_entries.erase(it);
        }
    }
    std::vector<std::shared_ptr<Entry>> entries()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::shared_ptr<Entry>> out;
        for (auto& e : m_entries)
            out.push_back(e.second);
        return out;
    }

private:
    std::mutex m_mutex;
    std::map<int, std::shared_ptr<Entry>> m_entries;
    int m_next = 0;
};

class SimDesktop::Hook : public ForegroundHook
{
public:
    Hook(std::shared_ptr<HookRegistry> registry, int id) : m_registry(std::move(registry)), m_id(id) {}
    ~Hook() override { m_registry->remove(m_id); }

private:
    std::shared_ptr<HookRegistry> m_registry;
    int m_id;
};

SimDesktop::ActingAs::ActingAs(ProcessId pid) : m_previous(t_actingPid)
{
    t_actingPid = pid;
}

SimDesktop::ActingAs::~ActingAs()
{
    t_actingPid = m_previous;
}

SimDesktop::SimDesktop(Clock& clock) : m_clock(clock), m_hooks(std::make_shared<HookRegistry>()) {}

SimDesktop::~SimDesktop() = default;

// ---------------------------------------------------------------- internals

std::shared_ptr<SimDesktop::Window> SimDesktop::find(WindowId window) const
{
    auto it = m_windows.find(window);
    return it == m_windows.end() ? nullptr : it->second;
}

WindowId SimDesktop::rootOf(WindowId window) const
{
    auto w = find(window);
    while (w && w->parent) {
        auto parent = find(w->parent);
        if (!parent)
            break;
        w = parent;
    }
    return w ? w->id : 0;
}

ProcessId SimDesktop::callerPid() const
{
    return t_actingPid ? t_actingPid : m_programPid;
}

void SimDesktop::enter()
{
    if (t_depth > 0)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_events.empty() || m_events.begin()->first.first > m_clock.monotonicMs())
            return;
    }
    runPendingLocked(true);
}

std::shared_ptr<std::recursive_mutex> SimDesktop::threadLock(std::uint32_t thread)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto& slot = m_threadLocks[thread];
    if (!slot)
        slot = std::make_shared<std::recursive_mutex>();
    return slot;
}

std::intptr_t SimDesktop::dispatch(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam)
{
    WindowProc proc;
    std::u16string cls;
    std::uint32_t thread = 0;
    ProcessId pid = 0;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return 0;
        const std::uint32_t windowThread = w->thread;
        // A thread that does not answer keeps the sender waiting, as SendMessage does.
        m_threadAnswered.wait(lock,
                              [&] { return !m_hungThreads.count(windowThread) || !m_windows.count(window); });
        if (!m_windows.count(window))
            return 0;
        proc = w->proc;
        cls = w->cls;
        thread = w->thread;
        pid = w->pid;
        if (w->recording) {
            w->log.push_back(
                {message, wParam, lParam, t_eventTime != NoEventTime ? t_eventTime : m_clock.monotonicMs()});
            if (w->log.size() > 512)
                w->log.pop_front();
        }
    }
    std::intptr_t result = 0;
    {
        auto lock = threadLock(thread);
        std::lock_guard<std::recursive_mutex> threadGuard(*lock);
        DepthGuard depth;
        ActGuard act(pid);
        result = proc ? proc(window, message, wParam, lParam) : standardProc(cls, window, message, wParam, lParam);
    }
    // Reading a text changes nothing a viewer sees; any other message may.
    if (message != msg::GetText && message != msg::GetTextLength)
        notifyChanged();
    return result;
}

std::intptr_t SimDesktop::standardProc(const std::u16string& cls, WindowId window, std::uint32_t message,
                                       std::uintptr_t wParam, std::intptr_t lParam)
{
    if (equalsIgnoreCase(cls, u"Edit"))
        return editProc(window, message, wParam, lParam);
    if (equalsIgnoreCase(cls, u"Button"))
        return buttonProc(window, message, wParam, lParam);
    if (cls == u"#32770")
        return defDialogProc(window, message, wParam, lParam);
    return defWindowProc(window, message, wParam, lParam);
}

std::intptr_t SimDesktop::defWindowProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                        std::intptr_t lParam)
{
    switch (message) {
    case msg::SetText: {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return 0;
        w->caption = lParam ? std::u16string(reinterpret_cast<const char16_t*>(lParam)) : std::u16string();
        return 1;
    }
    case msg::GetText: {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return 0;
        return copyTruncated(w->caption, reinterpret_cast<char16_t*>(lParam),
                             static_cast<std::int64_t>(wParam));
    }
    case msg::GetTextLength: {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        return w ? static_cast<std::intptr_t>(w->caption.size()) : 0;
    }
    case msg::Close:
        destroyWindow(window);
        return 0;
    default:
        return 0;
    }
}

std::intptr_t SimDesktop::defDialogProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                        std::intptr_t lParam)
{
    if (message == msg::Close) {
        // DefDlgProc posts the cancel command instead of destroying the dialog itself.
        const WindowId cancel = dlgItem(window, IdCancel);
        postMessage(window, msg::Command, makeCommandWParam(IdCancel, notify::BnClicked),
                    static_cast<std::intptr_t>(cancel));
        return 0;
    }
    if (message == wm::GetDefId) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto dialog = find(window);
        if (!dialog)
            return 0;
        for (WindowId child : dialog->children) {
            auto c = find(child);
            if (c && equalsIgnoreCase(c->cls, u"Button") && (c->style & BsDefPushButton))
                return static_cast<std::intptr_t>((std::uint32_t(DcHasDefId) << 16) | (c->ctrlId & 0xFFFF));
        }
        return 0;
    }
    return defWindowProc(window, message, wParam, lParam);
}

std::intptr_t SimDesktop::editProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam)
{
    WindowId parent = 0;
    int id = 0;
    switch (message) {
    case msg::SetText: {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return 0;
        w->ownText = lParam ? std::u16string(reinterpret_cast<const char16_t*>(lParam)) : std::u16string();
        w->selectAll = false;
        parent = w->parent;
        id = w->ctrlId;
        break;
    }
    case msg::GetText: {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return 0;
        return copyTruncated(w->ownText, reinterpret_cast<char16_t*>(lParam),
                             static_cast<std::int64_t>(wParam));
    }
    case msg::GetTextLength: {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        return w ? static_cast<std::intptr_t>(w->ownText.size()) : 0;
    }
    case 0x00B1: { // EM_SETSEL: (0, -1) selects everything, anything else clears the selection
        std::lock_guard<std::mutex> lock(m_mutex);
        if (auto w = find(window))
            w->selectAll = (wParam == 0 && lParam == -1);
        return 0;
    }
    case wm::Char: {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w || (w->style & style::Disabled))
            return 0;
        const char16_t c = static_cast<char16_t>(wParam);
        if (c == 0x08) {
            if (w->selectAll)
                w->ownText.clear();
            else if (!w->ownText.empty())
                w->ownText.pop_back();
        } else if (c >= 0x20) {
            if (w->selectAll)
                w->ownText.clear();
            w->ownText += c;
        } else {
            return 0;
        }
        w->selectAll = false;
        parent = w->parent;
        id = w->ctrlId;
        break;
    }
    default:
        return defWindowProc(window, message, wParam, lParam);
    }
    // A single-line edit tells its parent about every change of its text, WM_SETTEXT included.
    if (parent)
        dispatch(parent, msg::Command, makeCommandWParam(id, notify::EnChange),
                 static_cast<std::intptr_t>(window));
    return message == msg::SetText ? 1 : 0;
}

std::intptr_t SimDesktop::buttonProc(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam)
{
    if (message != msg::BmClick)
        return defWindowProc(window, message, wParam, lParam);
    WindowId parent = 0;
    int id = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w || (w->style & style::Disabled))
            return 0; // a disabled button does not react to a click
        parent = w->parent;
        id = w->ctrlId;
        // The click's button-down gives the button the focus before the parent hears of it.
        takeFocusLocked(window);
    }
    if (parent)
        dispatch(parent, msg::Command, makeCommandWParam(id, notify::BnClicked),
                 static_cast<std::intptr_t>(window));
    return 0;
}

void SimDesktop::countRead(WindowId window)
{
    bool vanish = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (w && w->readsLeft > 0 && --w->readsLeft == 0)
            vanish = true;
    }
    if (vanish)
        destroyWindow(window);
}

void SimDesktop::takeFocusLocked(WindowId window)
{
    const WindowId root = rootOf(window);
    if (auto r = find(root))
        r->lastFocus = window;
    if (root == m_foreground)
        m_focus = window;
}

void SimDesktop::raiseInBand(WindowId window)
{
    auto w = find(window);
    if (!w || w->parent)
        return;
    m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), window), m_zOrder.end());
    if (w->exStyle & exstyle::Topmost) {
        m_zOrder.insert(m_zOrder.begin(), window);
        return;
    }
    auto firstNormal = std::find_if(m_zOrder.begin(), m_zOrder.end(), [this](WindowId id) {
        auto other = find(id);
        return !other || !(other->exStyle & exstyle::Topmost);
    });
    m_zOrder.insert(firstNormal, window);
}

WindowId SimDesktop::nextActiveAfter(const Window& gone)
{
    // Windows hands the activation to the owner first, then to the next window in z-order.
    auto owner = find(gone.owner);
    if (owner && !owner->destroying && (owner->style & style::Visible) && !owner->iconic)
        return owner->id;
    for (WindowId id : m_zOrder) {
        auto w = find(id);
        if (w && id != gone.id && !w->destroying && (w->style & style::Visible) && !w->iconic)
            return id;
    }
    return 0;
}

void SimDesktop::changeForeground(WindowId newForeground, bool notify)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (newForeground && !find(newForeground))
            return;
        if (m_foreground == newForeground)
            return;
        m_foreground = newForeground;
        m_focus = 0;
        if (auto w = find(newForeground)) {
            raiseInBand(newForeground);
            m_focus = (w->lastFocus && find(w->lastFocus)) ? w->lastFocus : newForeground;
        }
    }
    notifyChanged();
    if (notify && newForeground)
        notifyForeground(newForeground);
}

void SimDesktop::notifyForeground(WindowId window)
{
    if (!m_foregroundEvents)
        return;
    for (auto& entry : m_hooks->entries()) {
        auto task = [entry, window] {
            if (entry->alive)
                entry->callback(window);
        };
        if (entry->dispatcher)
            entry->dispatcher(task);
        else
            task();
    }
}

// ---------------------------------------------------------------- finding windows

std::vector<WindowId> SimDesktop::topLevelWindows()
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<WindowId> out;
    for (WindowId id : m_zOrder) {
        auto w = find(id);
        if (w && !w->destroying)
            out.push_back(id);
    }
    return out;
}

std::vector<WindowId> SimDesktop::childWindows(WindowId parent)
{
    if (!parent)
        return topLevelWindows(); // EnumChildWindows(NULL) is EnumWindows
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<WindowId> out;
    std::function<void(WindowId)> walk = [&](WindowId id) {
        auto w = find(id);
        if (!w)
            return;
        for (WindowId child : w->children) {
            auto c = find(child);
            if (!c || c->destroying)
                continue;
            out.push_back(child);
            walk(child);
        }
    };
    walk(parent);
    return out;
}

WindowId SimDesktop::findWindowEx(WindowId parent, WindowId childAfter, const char16_t* className,
                                  const char16_t* windowName)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<WindowId> list;
    if (parent) {
        auto p = find(parent);
        if (!p)
            return 0;
        list = p->children;
    } else {
        list = m_zOrder;
    }
    auto it = list.begin();
    if (childAfter) {
        it = std::find(list.begin(), list.end(), childAfter);
        if (it == list.end())
            return 0; // childAfter must be a direct child of parent
        ++it;
    }
    for (; it != list.end(); ++it) {
        auto w = find(*it);
        if (!w || w->destroying)
            continue;
        if (className && !equalsIgnoreCase(w->cls, className))
            continue;
        if (windowName && !equalsIgnoreCase(w->caption, windowName))
            continue;
        return w->id;
    }
    return 0;
}

WindowId SimDesktop::foregroundWindow()
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_foreground;
}

// ---------------------------------------------------------------- window properties

bool SimDesktop::isWindow(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    return w && !w->destroying;
}

bool SimDesktop::isWindowVisible(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    if (!w)
        return false;
    for (; w; w = find(w->parent)) {
        if (!(w->style & style::Visible))
            return false;
        if (!w->parent)
            break;
    }
    return true;
}

bool SimDesktop::isWindowEnabled(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    return w && !(w->style & style::Disabled);
}

bool SimDesktop::isIconic(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    return w && w->iconic;
}

std::uint32_t SimDesktop::windowStyle(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    return w ? w->style : 0;
}

std::uint32_t SimDesktop::windowExStyle(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    return w ? w->exStyle : 0;
}

bool SimDesktop::setWindowExStyle(WindowId window, std::uint32_t exStyle)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    if (!w)
        return false;
    w->exStyle = (exStyle & ~exstyle::Topmost) | (w->exStyle & exstyle::Topmost);
    return true;
}

WindowId SimDesktop::parentWindow(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    if (!w)
        return 0;
    if (w->parent)
        return w->parent;
    return (w->style & style::Popup) ? w->owner : 0;
}

int SimDesktop::dlgCtrlId(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    return (w && w->parent) ? w->ctrlId : 0;
}

ProcessId SimDesktop::windowProcessId(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    return w ? w->pid : 0;
}

int SimDesktop::className(WindowId window, char16_t* buffer, int bufferSize)
{
    enter();
    if (bufferSize <= 0 || !buffer)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    if (!w) {
        buffer[0] = 0;
        return 0;
    }
    return copyTruncated(w->cls, buffer, bufferSize);
}

int SimDesktop::windowText(WindowId window, char16_t* buffer, int maxCount)
{
    enter();
    if (maxCount <= 0 || !buffer)
        return 0;
    buffer[0] = 0;
    bool sameProcess = false;
    int copied = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return 0;
        sameProcess = w->pid == callerPid();
        if (!sameProcess)
            copied = copyTruncated(w->caption, buffer, maxCount);
    }
    if (sameProcess)
        copied = static_cast<int>(dispatch(window, msg::GetText, static_cast<std::uintptr_t>(maxCount),
                                           reinterpret_cast<std::intptr_t>(buffer)));
    countRead(window);
    return copied;
}

bool SimDesktop::setWindowText(WindowId window, const char16_t* text)
{
    enter();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return false;
        if (w->pid != callerPid()) {
            w->caption = text ? std::u16string(text) : std::u16string();
            lock.unlock();
            notifyChanged();
            return true;
        }
    }
    return dispatch(window, msg::SetText, 0, reinterpret_cast<std::intptr_t>(text)) != 0;
}

// ---------------------------------------------------------------- messages

std::intptr_t SimDesktop::sendMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam)
{
    enter();
    if (const int delay = answerDelay(window, message, wParam, lParam))
        m_clock.sleepMs(delay);
    const std::intptr_t result = dispatch(window, message, wParam, lParam);
    if (message == msg::GetText)
        countRead(window);
    return result;
}

bool SimDesktop::sendMessageTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam, std::uint32_t flags, std::uint32_t timeoutMs,
                                    std::uintptr_t* result)
{
    enter();
    const std::int64_t sentAt = now();
    const int delay = answerDelay(window, message, wParam, lParam);
    // -1: not hung; else how long the window's thread has not answered.
    auto hungFor = [&](bool& exists) -> std::int64_t {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        exists = static_cast<bool>(w);
        if (!w || !m_hungThreads.count(w->thread))
            return -1;
        auto since = m_hungSince.find(w->thread);
        return since == m_hungSince.end() ? 0 : now() - since->second;
    };
    bool exists = false;
    const std::int64_t hung = hungFor(exists);
    if (hung >= 0) {
        if ((flags & smto::AbortIfHung) && hung >= HungAfterMs)
            return false;
        // The sender waits out the time-out on the desktop's clock, then gives up if still unanswered.
        m_clock.sleepMs(static_cast<int>(timeoutMs));
        if (hungFor(exists) >= 0) {
            deliverLate(window, message, wParam, lParam, sentAt);
            return false;
        }
    }
    if (!exists)
        return false;
    if (delay > static_cast<std::int64_t>(timeoutMs)) {
        m_clock.sleepMs(static_cast<int>(timeoutMs));
        deliverLate(window, message, wParam, lParam, sentAt + delay);
        return false;
    }
    if (delay > 0)
        m_clock.sleepMs(delay);
    const std::intptr_t r = dispatch(window, message, wParam, lParam);
    if (message == msg::GetText)
        countRead(window);
    if (result)
        *result = static_cast<std::uintptr_t>(r);
    return true;
}

bool SimDesktop::postMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam)
{
    enter();
    // Messages that carry a pointer cannot be posted (ERROR_MESSAGE_SYNC_ONLY).
    if (message == msg::GetText || message == msg::SetText)
        return false;
    ProcessId pid = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return false;
        pid = w->pid;
    }
    int latency = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        latency = m_queueLatencyMs;
    }
    scheduleAt(now() + latency, pid, window,
               [this, window, message, wParam, lParam] { dispatch(window, message, wParam, lParam); });
    return true;
}

// ---------------------------------------------------------------- z-order and activation

bool SimDesktop::setWindowPos(WindowId window, WindowId insertAfter, int x, int y, int cx, int cy,
                              std::uint32_t flags)
{
    enter();
    bool done = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        done = setWindowPosLocked(window, insertAfter, x, y, cx, cy, flags);
    }
    notifyChanged();
    return done;
}

bool SimDesktop::setWindowPosLocked(WindowId window, WindowId insertAfter, int x, int y, int cx, int cy,
                                    std::uint32_t flags)
{
    auto w = find(window);
    if (!w)
        return false;
    if (!(flags & swp::NoZOrder) && !w->parent) {
        if (insertAfter == zorder::Topmost) {
            w->exStyle |= exstyle::Topmost;
            raiseInBand(window);
        } else if (insertAfter == zorder::NoTopmost) {
            // No effect on a window that is not topmost.
            if (w->exStyle & exstyle::Topmost) {
                w->exStyle &= ~exstyle::Topmost;
                raiseInBand(window);
            }
        } else if (insertAfter == zorder::Top) {
            raiseInBand(window);
        } else if (insertAfter == zorder::Bottom) {
            w->exStyle &= ~exstyle::Topmost;
            m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), window), m_zOrder.end());
            m_zOrder.push_back(window);
        } else if (auto after = find(insertAfter); after && !after->parent && insertAfter != window) {
            w->exStyle = (w->exStyle & ~exstyle::Topmost) | (after->exStyle & exstyle::Topmost);
            m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), window), m_zOrder.end());
            m_zOrder.insert(std::find(m_zOrder.begin(), m_zOrder.end(), insertAfter) + 1, window);
        }
    }
    if (!(flags & swp::NoMove)) {
        w->rect.x = x;
        w->rect.y = y;
    }
    if (!(flags & swp::NoSize)) {
        w->rect.width = cx;
        w->rect.height = cy;
    }
    if (flags & swp::ShowWindow)
        w->style |= style::Visible;
    if (flags & swp::HideWindow)
        w->style &= ~style::Visible;
    return true;
}

bool SimDesktop::setForegroundWindow(WindowId window)
{
    enter();
    WindowId root = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w || w->destroying)
            return false;
        root = rootOf(window);
        if (foregroundLockRefusesLocked(root)) {
            ++m_foregroundRefusals;
            return false;
        }
    }
    changeForeground(root, true);
    return true;
}

bool SimDesktop::bringWindowToTop(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!find(window))
        return false;
    raiseInBand(rootOf(window));
    return true;
}

WindowId SimDesktop::setFocus(WindowId window)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    const WindowId previous = m_focus;
    if (!window) {
        m_focus = 0;
        return previous;
    }
    if (!find(window))
        return 0;
    m_focus = window;
    if (auto root = find(rootOf(window)))
        root->lastFocus = window;
    return previous;
}

bool SimDesktop::showWindow(WindowId window, int command)
{
    enter();
    bool wasVisible = false;
    bool activate = false;
    WindowId handOver = 0;
    bool loseForeground = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return false;
        wasVisible = (w->style & style::Visible) != 0;
        switch (command) {
        case sw::Hide:
        case sw::Minimize:
            if (command == sw::Hide)
                w->style &= ~style::Visible;
            else
                w->iconic = true;
            if (m_foreground == rootOf(window)) {
                loseForeground = true;
                handOver = nextActiveAfter(*w);
            }
            break;
        case sw::ShowNormal:
        case sw::Show:
        case sw::Restore:
            w->style |= style::Visible;
            w->iconic = false;
            activate = true;
            break;
        default:
            w->style |= style::Visible;
            break;
        }
    }
    notifyChanged();
    if (activate)
        setForegroundWindow(window);
    else if (loseForeground)
        changeForeground(handOver, true);
    return wasVisible;
}

// ---------------------------------------------------------------- input

void SimDesktop::queueInput(InputRecord record)
{
    record.timeMs = now();
    WindowId target = 0;
    ProcessId pid = 0;
    int latency = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        latency = m_queueLatencyMs;
        if (record.kind == InputRecord::Kind::Key) {
            m_keyState[record.vk & 0xFF] = !record.keyUp;
            if (find(m_foreground)) {
                target = (find(m_focus) && rootOf(m_focus) == m_foreground) ? m_focus : m_foreground;
                pid = find(target)->pid;
            }
        }
        record.target = target;
        record.cursorX = m_cursorX;
        record.cursorY = m_cursorY;
        m_inputLog.push_back(record);
    }
    if (target) {
        const std::uint16_t vk = record.vk;
        const bool up = record.keyUp;
        scheduleAt(record.timeMs + latency, pid, target,
                   [this, target, vk, up] { deliverKey(target, vk, up); });
    }
}

void SimDesktop::deliverKey(WindowId target, std::uint16_t vk, bool keyUp)
{
    WindowId dialog = 0;
    WindowId focusButton = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto t = find(target);
        if (!t)
            return;
        auto root = find(rootOf(target));
        if (root && root->cls == u"#32770") {
            dialog = root->id;
            if (t != root && equalsIgnoreCase(t->cls, u"Button") && t->parent == root->id)
                focusButton = target;
        }
    }
    // The dialog manager of the client's message loop (IsDialogMessage) turns Esc and Enter into
    // commands of the dialog.
    if (dialog && !keyUp && vk == vk::Escape) {
        dispatch(dialog, msg::Command, makeCommandWParam(IdCancel, notify::BnClicked),
                 static_cast<std::intptr_t>(dlgItem(dialog, IdCancel)));
        return;
    }
    if (dialog && !keyUp && vk == vk::Return) {
        if (focusButton) {
            dispatch(dialog, msg::Command, makeCommandWParam(dlgCtrlId(focusButton), notify::BnClicked),
                     static_cast<std::intptr_t>(focusButton));
            return;
        }
        const auto defId = static_cast<std::uint32_t>(dispatch(dialog, wm::GetDefId, 0, 0));
        if ((defId >> 16) == DcHasDefId) {
            const int id = static_cast<int>(defId & 0xFFFF);
            const WindowId button = dlgItem(dialog, id);
            if (!button || isWindowEnabled(button))
                dispatch(dialog, msg::Command, makeCommandWParam(id, notify::BnClicked),
                         static_cast<std::intptr_t>(button));
        } else {
            dispatch(dialog, msg::Command, makeCommandWParam(IdOk, notify::BnClicked),
                     static_cast<std::intptr_t>(dlgItem(dialog, IdOk)));
        }
        return;
    }
    dispatch(target, keyUp ? msg::KeyUp : msg::KeyDown, vk, 0);
    if (!keyUp) {
        if (const char16_t c = charOfKey(vk))
            dispatch(target, wm::Char, c, 0);
    }
}

void SimDesktop::keybdEvent(std::uint8_t virtualKey, bool keyUp)
{
    enter();
    InputRecord record;
    record.vk = virtualKey;
    record.keyUp = keyUp;
    queueInput(record);
}

unsigned SimDesktop::sendInput(const Input* inputs, unsigned count)
{
    enter();
    for (unsigned i = 0; i < count; ++i) {
        const Input& in = inputs[i];
        InputRecord record;
        if (in.type == Input::Type::Keyboard) {
            record.vk = in.vk;
            record.keyUp = (in.flags & keyevent::KeyUp) != 0;
            queueInput(record);
            continue;
        }
        record.kind = InputRecord::Kind::Mouse;
        record.mouseFlags = in.flags;
        record.dx = in.dx;
        record.dy = in.dy;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (in.flags & mouseevent::Move) {
                if (in.flags & mouseevent::Absolute) {
                    m_cursorX = static_cast<int>(static_cast<std::int64_t>(in.dx) * m_screen.width / 65536);
                    m_cursorY = static_cast<int>(static_cast<std::int64_t>(in.dy) * m_screen.height / 65536);
                } else {
                    m_cursorX += in.dx;
                    m_cursorY += in.dy;
                }
                m_cursorX = std::clamp(m_cursorX, 0, m_screen.width - 1);
                m_cursorY = std::clamp(m_cursorY, 0, m_screen.height - 1);
            }
            if (in.flags & mouseevent::LeftDown)
                m_keyState[vk::LButton] = true;
            if (in.flags & mouseevent::LeftUp)
                m_keyState[vk::LButton] = false;
            if (in.flags & mouseevent::RightDown)
                m_keyState[vk::RButton] = true;
            if (in.flags & mouseevent::RightUp)
                m_keyState[vk::RButton] = false;
            if (in.flags & mouseevent::MiddleDown)
                m_keyState[vk::MButton] = true;
            if (in.flags & mouseevent::MiddleUp)
                m_keyState[vk::MButton] = false;
            record.cursorX = m_cursorX;
            record.cursorY = m_cursorY;
            record.timeMs = t_eventTime != NoEventTime ? t_eventTime : m_clock.monotonicMs();
            m_inputLog.push_back(record);
        }
    }
    return count;
}

bool SimDesktop::asyncKeyDown(int virtualKey)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_keyState[virtualKey & 0xFF];
}

bool SimDesktop::cursorPos(int* x, int* y)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (x)
        *x = m_cursorX;
    if (y)
        *y = m_cursorY;
    return true;
}

bool SimDesktop::setCursorPos(int x, int y)
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cursorX = std::clamp(x, 0, m_screen.width - 1);
    m_cursorY = std::clamp(y, 0, m_screen.height - 1);
    return true;
}

ScreenSize SimDesktop::screenSize()
{
    enter();
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_screen;
}

std::unique_ptr<ForegroundHook> SimDesktop::hookForeground(ForegroundCallback callback, Dispatcher dispatcher)
{
    enter();
    if (!callback)
        return nullptr;
    const int id = m_hooks->add(std::move(callback), std::move(dispatcher));
    return std::make_unique<Hook>(m_hooks, id);
}

// ---------------------------------------------------------------- building the desktop

WindowId SimDesktop::createWindow(const WindowSpec& spec)
{
    enter();
    WindowId made = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        made = createWindowLocked(spec);
    }
    if (made)
        notifyChanged();
    return made;
}

WindowId SimDesktop::createWindowLocked(const WindowSpec& spec)
{
    auto w = std::make_shared<Window>();
    std::shared_ptr<Window> parent;
    if (spec.parent) {
        parent = find(spec.parent);
        if (!parent || parent->destroying)
            return 0;
    }
    w->id = m_nextWindow;
    m_nextWindow += 0x10;
    w->cls = spec.className;
    w->caption = spec.text;
    w->isEdit = equalsIgnoreCase(spec.className, u"Edit");
    if (w->isEdit)
        w->ownText = spec.text;
    w->parent = spec.parent;
    w->owner = spec.parent ? 0 : spec.owner;
    w->ctrlId = spec.controlId;
    w->style = spec.style | (spec.parent ? style::Child : 0);
    w->exStyle = spec.exStyle;
    w->pid = spec.pid ? spec.pid : (parent ? parent->pid : callerPid());
    w->thread = spec.thread ? spec.thread : (parent && !spec.pid ? parent->thread : w->pid);
    w->proc = spec.proc;
    w->rect = spec.rect;
    m_windows[w->id] = w;
    if (parent)
        parent->children.push_back(w->id);
    else
        raiseInBand(w->id);
    return w->id;
}

bool SimDesktop::destroyWindow(WindowId window)
{
    enter();
    std::vector<WindowId> order;
    std::vector<bool> answers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w || w->destroying)
            return false;
        std::function<void(WindowId)> collect = [&](WindowId id) {
            // Owned windows go first, then the window, then its children (parents before children).
            for (WindowId top : m_zOrder) {
                auto owned = find(top);
                if (owned && owned->owner == id && !owned->destroying)
                    collect(top);
            }
            auto self = find(id);
            if (!self || self->destroying)
                return;
            self->destroying = true;
            order.push_back(id);
            std::function<void(WindowId)> subtree = [&](WindowId parentId) {
                auto p = find(parentId);
                for (WindowId child : p->children) {
                    auto c = find(child);
                    if (!c || c->destroying)
                        continue;
                    c->destroying = true;
                    order.push_back(child);
                    subtree(child);
                }
            };
            subtree(id);
        };
        collect(window);
        for (WindowId id : order)
            answers.push_back(!m_hungThreads.count(find(id)->thread));
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (answers[i])
            dispatch(order[i], wm::Destroy, 0, 0);
    }
    WindowId newForeground = 0;
    bool foregroundLost = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        foregroundLost = forgetLocked(order, newForeground);
    }
    if (foregroundLost)
        changeForeground(newForeground, true);
    notifyChanged();
    return true;
}

void SimDesktop::destroyWindowsOfProcess(ProcessId pid)
{
    // A process that ends takes its windows with it; its procedures get no WM_DESTROY any more.
    std::vector<WindowId> gone;
    WindowId newForeground = 0;
    bool foregroundLost = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& entry : m_windows) {
            if (entry.second->pid == pid)
                gone.push_back(entry.first);
        }
        // Children of those windows go as well, whatever process made them.
        for (std::size_t i = 0; i < gone.size(); ++i) {
            for (WindowId child : find(gone[i])->children) {
                if (std::find(gone.begin(), gone.end(), child) == gone.end())
                    gone.push_back(child);
            }
        }
        foregroundLost = forgetLocked(gone, newForeground);
    }
    if (foregroundLost)
        changeForeground(newForeground, true);
    notifyChanged();
}

bool SimDesktop::forgetLocked(const std::vector<WindowId>& gone, WindowId& newForeground)
{
    std::shared_ptr<Window> oldForeground;
    for (WindowId id : gone) {
        auto w = find(id);
        if (!w)
            continue;
        if (id == m_foreground)
            oldForeground = w;
        if (auto p = find(w->parent))
            p->children.erase(std::remove(p->children.begin(), p->children.end(), id), p->children.end());
        m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), id), m_zOrder.end());
        if (m_focus == id)
            m_focus = 0;
    }
    for (WindowId id : gone)
        m_windows.erase(id);
    m_threadAnswered.notify_all(); // senders waiting on a window that is gone give up
    if (!oldForeground)
        return false;
    m_foreground = 0;
    newForeground = nextActiveAfter(*oldForeground);
    return true;
}

void SimDesktop::setVisible(WindowId window, bool visible)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (auto w = find(window)) {
            if (visible)
                w->style |= style::Visible;
            else
                w->style &= ~style::Visible;
        }
    }
    notifyChanged();
}

void SimDesktop::setEnabled(WindowId window, bool enabled)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (auto w = find(window)) {
            if (enabled)
                w->style &= ~style::Disabled;
            else
                w->style |= style::Disabled;
        }
    }
    notifyChanged();
}

WindowId SimDesktop::dlgItem(WindowId dialog, int controlId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto d = find(dialog);
    if (!d)
        return 0;
    for (WindowId child : d->children) {
        auto c = find(child);
        if (c && c->ctrlId == controlId)
            return child;
    }
    return 0;
}

std::u16string SimDesktop::text(WindowId window)
{
    const auto length = dispatch(window, msg::GetTextLength, 0, 0);
    std::u16string buffer(static_cast<std::size_t>(length) + 1, u'\0');
    const auto copied =
        dispatch(window, msg::GetText, buffer.size(), reinterpret_cast<std::intptr_t>(&buffer[0]));
    buffer.resize(static_cast<std::size_t>(std::max<std::intptr_t>(copied, 0)));
    return buffer;
}

void SimDesktop::setProgramProcess(ProcessId pid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_programPid = pid;
}

ProcessId SimDesktop::programProcess()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_programPid;
}

// ---------------------------------------------------------------- time

void SimDesktop::scheduleAt(std::int64_t atMs, ProcessId pid, WindowId window, std::function<void()> fn)
{
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        addEvent(atMs, pid, window, std::move(fn));
        listener = m_scheduleListener;
    }
    if (listener)
        listener();
}

void SimDesktop::setScheduleListener(std::function<void()> listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scheduleListener = std::move(listener);
}

void SimDesktop::addEvent(std::int64_t atMs, ProcessId pid, WindowId window, std::function<void()> fn)
{
    auto event = std::make_shared<Event>();
    event->due = atMs;
    event->pid = pid;
    event->window = window;
    event->fn = std::move(fn);
    auto w = find(window);
    event->thread = w ? w->thread : pid;
    m_events[{atMs, m_nextEventSeq++}] = std::move(event);
}

void SimDesktop::scheduleAfter(int delayMs, ProcessId pid, WindowId window, std::function<void()> fn)
{
    scheduleAt(now() + delayMs, pid, window, std::move(fn));
}

std::int64_t SimDesktop::now()
{
    return t_eventTime != NoEventTime ? t_eventTime : m_clock.monotonicMs();
}

void SimDesktop::runPending()
{
    if (t_depth > 0)
        return;
    runPendingLocked(true);
}

void SimDesktop::runPendingLocked(bool wait)
{
    std::unique_lock<std::mutex> pump(m_pumpMutex, std::defer_lock);
    if (wait)
        pump.lock();
    else if (!pump.try_lock())
        return;
    DepthGuard depth;
    for (;;) {
        std::shared_ptr<Event> event;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const std::int64_t now = m_clock.monotonicMs();
            for (auto it = m_events.begin(); it != m_events.end() && it->first.first <= now;) {
                auto& candidate = it->second;
                if (candidate->window && !m_windows.count(candidate->window)) {
                    it = m_events.erase(it);
                    continue;
                }
                if (m_hungThreads.count(candidate->thread)) {
                    ++it;
                    continue;
                }
                event = candidate;
                m_events.erase(it);
                break;
            }
        }
        if (!event)
            break;
        // An event runs on its thread, one at a time with that thread's window procedures.
        auto threadGuard = threadLock(event->thread);
        std::lock_guard<std::recursive_mutex> serialised(*threadGuard);
        ActGuard act(event->pid);
        const std::int64_t outerTime = t_eventTime;
        t_eventTime = event->due;
        event->fn();
        t_eventTime = outerTime;
    }
}

std::int64_t SimDesktop::nextEventTime()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events.empty() ? -1 : m_events.begin()->first.first;
}

void SimDesktop::setQueueLatency(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queueLatencyMs = std::max(ms, 0);
}

// ---------------------------------------------------------------- faults

void SimDesktop::setHung(WindowId window, bool hung)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        if (!w)
            return;
        if (hung) {
            if (m_hungThreads.insert(w->thread).second)
                m_hungSince[w->thread] = t_eventTime != NoEventTime ? t_eventTime : m_clock.monotonicMs();
        } else {
            m_hungThreads.erase(w->thread);
            m_hungSince.erase(w->thread);
        }
    }
    m_threadAnswered.notify_all();
}

void SimDesktop::setAnswerTime(WindowId window, AnswerTime answerTime)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (auto w = find(window)) {
        if (answerTime)
            m_answerTimes[w->thread] = std::move(answerTime);
        else
            m_answerTimes.erase(w->thread);
    }
}

void SimDesktop::hangAfterMessages(WindowId window, int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (auto w = find(window))
        m_answersBeforeHang[w->thread] = std::max(n, 0);
}

int SimDesktop::answerDelay(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam)
{
    AnswerTime answerTime;
    bool hangs = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto w = find(window);
        // A program's own windows answer it at once (its procedures call each other directly).
        if (!w || w->pid == callerPid())
            return 0;
        auto left = m_answersBeforeHang.find(w->thread);
        if (left != m_answersBeforeHang.end()) {
            if (left->second == 0) {
                m_answersBeforeHang.erase(left);
                hangs = true;
            } else {
                --left->second;
            }
        }
        auto time = m_answerTimes.find(w->thread);
        if (time != m_answerTimes.end())
            answerTime = time->second;
    }
    if (hangs)
        setHung(window, true);
    return answerTime ? std::max(answerTime(message, wParam, lParam), 0) : 0;
}

void SimDesktop::deliverLate(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam, std::int64_t atMs)
{
    const ProcessId pid = windowProcessId(window);
    if (message == msg::GetText) {
        // The reply would go to a buffer the sender has given up on.
        auto scratch = std::make_shared<std::vector<char16_t>>(std::max<std::size_t>(wParam, 1));
        scheduleAt(atMs, pid, window, [this, window, wParam, scratch] {
            dispatch(window, msg::GetText, wParam, reinterpret_cast<std::intptr_t>(scratch->data()));
        });
        return;
    }
    if (message == msg::SetText) {
        const auto* text = reinterpret_cast<const char16_t*>(lParam);
        auto copy = std::make_shared<std::u16string>(text ? text : u"");
        scheduleAt(atMs, pid, window, [this, window, copy] {
            dispatch(window, msg::SetText, 0, reinterpret_cast<std::intptr_t>(copy->c_str()));
        });
        return;
    }
    scheduleAt(atMs, pid, window,
               [this, window, message, wParam, lParam] { dispatch(window, message, wParam, lParam); });
}

void SimDesktop::vanishAfterReads(WindowId window, int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (auto w = find(window))
        w->readsLeft = n;
}

void SimDesktop::destroyAt(WindowId window, std::int64_t atMs)
{
    ProcessId pid = windowProcessId(window);
    scheduleAt(atMs, pid, window, [this, window] { destroyWindow(window); });
}

std::uint32_t SimDesktop::newThreadId()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nextThread++;
}

void SimDesktop::setForegroundLock(bool locked)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_foregroundLock = locked;
}

int SimDesktop::foregroundRefusals()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_foregroundRefusals;
}

bool SimDesktop::foregroundLockRefusesLocked(WindowId root) const
{
    if (!m_foregroundLock || root == m_foreground)
        return false;
    const auto front = find(m_foreground);
    return front && front->pid != callerPid();
}

// ---------------------------------------------------------------- device input

void SimDesktop::deviceKey(std::uint8_t virtualKey, bool keyUp)
{
    enter();
    InputRecord record;
    record.source = InputRecord::Source::Device;
    record.vk = virtualKey;
    record.keyUp = keyUp;
    queueInput(record);
}

void SimDesktop::deviceType(const std::u16string& text)
{
    for (char16_t c : text) {
        std::uint8_t vk = 0;
        if (c >= u'0' && c <= u'9')
            vk = static_cast<std::uint8_t>(c);
        else if (c == u'.')
            vk = 0xBE;
        else
            continue;
        deviceKey(vk, false);
        deviceKey(vk, true);
    }
}

void SimDesktop::setDeviceKeyState(int virtualKey, bool down)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keyState[virtualKey & 0xFF] = down;
}

std::vector<InputRecord> SimDesktop::inputLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inputLog;
}

void SimDesktop::clearInputLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inputLog.clear();
}

void SimDesktop::setScreenSize(int width, int height)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_screen = {width, height};
}

// ---------------------------------------------------------------- observing

void SimDesktop::recordMessages(WindowId window)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (auto w = find(window))
        w->recording = true;
}

std::vector<MessageRecord> SimDesktop::messagesReceived(WindowId window)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto w = find(window);
    return w ? std::vector<MessageRecord>(w->log.begin(), w->log.end()) : std::vector<MessageRecord>();
}

WindowId SimDesktop::focusWindow()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_focus;
}

std::string SimDesktop::describe(WindowId window)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::ostringstream out;
    std::function<void(WindowId, int)> walk = [&](WindowId id, int depth) {
        auto w = find(id);
        if (!w)
            return;
        out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << "0x" << std::hex << id << std::dec
            << " \"" << toUtf8(w->cls) << "\" \"" << toUtf8(w->isEdit ? w->ownText : w->caption)
            << "\" id=" << w->ctrlId << " pid=" << w->pid << ((w->style & style::Visible) ? "" : " hidden")
            << ((w->style & style::Disabled) ? " disabled" : "") << '\n';
        for (WindowId child : w->children)
            walk(child, depth + 1);
    };
    walk(window, 0);
    return out.str();
}

void SimDesktop::setClipboardSink(std::function<void(const std::u16string&)> sink)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clipboardSink = std::move(sink);
}

void SimDesktop::putClipboardText(const std::u16string& text)
{
    std::function<void(const std::u16string&)> sink;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_clipboard = text;
        sink = m_clipboardSink;
    }
    if (sink)
        sink(text);
}

std::u16string SimDesktop::clipboardText()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_clipboard;
}

// ---------------------------------------------------------------- viewing

WindowSnapshot SimDesktop::snapshotLocked(const Window& w) const
{
    WindowSnapshot s;
    s.id = w.id;
    s.className = w.cls;
    s.text = w.isEdit ? w.ownText : w.caption;
    s.pid = w.pid;
    s.owner = w.owner;
    s.controlId = w.ctrlId;
    s.visible = (w.style & style::Visible) != 0;
    s.enabled = (w.style & style::Disabled) == 0;
    s.rect = w.rect;
    for (WindowId child : w.children) {
        if (auto c = find(child); c && !c->destroying)
            s.children.push_back(snapshotLocked(*c));
    }
    return s;
}

DesktopSnapshot SimDesktop::snapshot()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    DesktopSnapshot s;
    s.foreground = m_foreground;
    s.focus = m_focus;
    for (WindowId id : m_zOrder) {
        if (auto w = find(id); w && !w->destroying)
            s.topLevel.push_back(snapshotLocked(*w));
    }
    return s;
}

void SimDesktop::setChangeListener(std::function<void()> listener)
{
    std::shared_ptr<const std::function<void()>> next;
    if (listener)
        next = std::make_shared<const std::function<void()>>(std::move(listener));
    std::lock_guard<std::mutex> lock(m_changeListenerMutex);
    m_changeListener = std::move(next);
}

void SimDesktop::notifyChanged()
{
    std::shared_ptr<const std::function<void()>> listener;
    {
        std::lock_guard<std::mutex> lock(m_changeListenerMutex);
        listener = m_changeListener;
    }
    // Called without the lock: the listener may reach into the desktop again.
    if (listener)
        (*listener)();
}

} // namespace sim
