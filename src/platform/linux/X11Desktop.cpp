#include "X11Desktop.h"

#include "VirtualKeys.h"
#include "X11Errors.h"
#include "X11ForegroundHook.h"

#include "platform/api/Text.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#undef Absolute // XInput's, via XTest.h; the name is ours (mouseevent::Absolute)

#include <algorithm>
#include <iterator>
#include <map>
#include <mutex>

namespace platform {

namespace {

constexpr long NetWmStateRemove = 0;
constexpr long NetWmStateAdd = 1;
// Source indication of _NET_ACTIVE_WINDOW and _NET_WM_STATE requests. Activation is asked for as
// a pager does: the program activates a window because the user asked for it (a second start, a
// hot key), and window managers apply focus-stealing prevention to plain application requests.
constexpr long SourceApplication = 1;
constexpr long SourcePager = 2;

// The largest X resource id (29 bits); anything else is not a window of this server.
constexpr WindowId MaxResourceId = 0x1FFFFFFF;

} // namespace

struct X11Desktop::Impl
{
    Display* display = nullptr;
    Window root = None;
    int screen = 0;
    std::string displayName;
    bool hasXTest = false;
    bool hasShapeInput = false;
    std::mutex mutex;
    std::map<WindowId, std::uint32_t> layered; // windows marked Layered by setWindowExStyle

    Atom netActiveWindow, netWmState, netWmStateAbove, netWmName, utf8String, netSupportingWmCheck,
        netClientListStacking, netWmPid, wmProtocols, wmDeleteWindow, wmState;

    ~Impl()
    {
        if (display) {
            x11::releaseDisplay(display);
            XCloseDisplay(display);
        }
    }

    void internAtoms()
    {
        const char* names[] = {"_NET_ACTIVE_WINDOW",
                               "_NET_WM_STATE",
                               "_NET_WM_STATE_ABOVE",
                               "_NET_WM_NAME",
                               "UTF8_STRING",
                               "_NET_SUPPORTING_WM_CHECK",
                               "_NET_CLIENT_LIST_STACKING",
                               "_NET_WM_PID",
                               "WM_PROTOCOLS",
                               "WM_DELETE_WINDOW",
                               "WM_STATE"};
        Atom atoms[std::size(names)];
        XInternAtoms(display, const_cast<char**>(names), static_cast<int>(std::size(names)), False, atoms);
        Atom* targets[] = {&netActiveWindow,
                           &netWmState,
                           &netWmStateAbove,
                           &netWmName,
                           &utf8String,
                           &netSupportingWmCheck,
                           &netClientListStacking,
                           &netWmPid,
                           &wmProtocols,
                           &wmDeleteWindow,
                           &wmState};
        for (std::size_t i = 0; i < std::size(names); ++i)
            *targets[i] = atoms[i];
    }

    // ---- properties

    // The 32-bit items of a property of the given type (AnyPropertyType: any); false when absent.
    bool readLongs(Window window, Atom property, Atom type, std::vector<unsigned long>& out)
    {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        out.clear();
        const bool ok = XGetWindowProperty(display, window, property, 0, 1 << 16, False, type, &actualType,
                                           &format, &count, &remaining, &data) == Success &&
                        actualType != None && format == 32 && (type == AnyPropertyType || actualType == type);
        if (ok) {
            // Xlib hands 32-bit items over as longs.
            const auto* items = reinterpret_cast<const unsigned long*>(data);
            out.assign(items, items + count);
        }
        if (data)
            XFree(data);
        return ok;
    }

    bool readWindowProperty(Window window, Atom property, Window& value)
    {
        std::vector<unsigned long> items;
        if (!readLongs(window, property, XA_WINDOW, items) || items.empty())
            return false;
        value = items[0];
        return true;
    }

    // An 8-bit property as bytes; its type in type.
    bool readBytes(Window window, Atom property, std::string& out, Atom& type)
    {
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        type = None;
        const bool ok = XGetWindowProperty(display, window, property, 0, 1 << 16, False, AnyPropertyType,
                                           &type, &format, &count, &remaining, &data) == Success &&
                        type != None && format == 8;
        if (ok)
            out.assign(reinterpret_cast<const char*>(data), count);
        if (data)
            XFree(data);
        return ok;
    }

    // ---- windows

    static bool plausible(WindowId window) { return window != 0 && window <= MaxResourceId; }

    bool attributes(WindowId window, XWindowAttributes& attrs)
    {
        return plausible(window) && XGetWindowAttributes(display, window, &attrs) != 0;
    }

    bool exists(WindowId window)
    {
        XWindowAttributes attrs;
        return attributes(window, attrs);
    }

    long wmStateOf(Window window)
    {
        std::vector<unsigned long> items;
        if (!readLongs(window, wmState, wmState, items) || items.empty())
            return -1;
        return static_cast<long>(items[0]);
    }

    bool iconic(WindowId window) { return plausible(window) && wmStateOf(window) == IconicState; }

    bool visible(WindowId window)
    {
        XWindowAttributes attrs;
        return attributes(window, attrs) && (attrs.map_state == IsViewable || iconic(window));
    }

    // Mapped in the sense of the window manager protocols: in the normal or iconic state (a
    // minimized window is unmapped but still managed), or mapped where nobody manages it.
    bool managed(WindowId window, const XWindowAttributes& attrs)
    {
        const long state = wmStateOf(window);
        return attrs.map_state != IsUnmapped || state == NormalState || state == IconicState;
    }

    bool windowManagerRunning()
    {
        Window check = None, self = None;
        return readWindowProperty(root, netSupportingWmCheck, check) && check != None &&
               readWindowProperty(check, netSupportingWmCheck, self) && self == check;
    }

    Window topLevelOf(Window window)
    {
        for (;;) {
            Window rootReturn = None, parent = None, *children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count))
                return None;
            if (children)
                XFree(children);
            if (parent == rootReturn || parent == None)
                return window;
            window = parent;
        }
    }

    std::vector<WindowId> topLevelWindows()
    {
        std::vector<unsigned long> stacking;
        if (readLongs(root, netClientListStacking, XA_WINDOW, stacking))
            return std::vector<WindowId>(stacking.rbegin(), stacking.rend()); // bottom-to-top there
        Window rootReturn = None, parent = None, *children = nullptr;
        unsigned count = 0;
        std::vector<WindowId> windows;
        if (XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
            for (unsigned i = count; i-- > 0;)
                windows.push_back(children[i]);
        }
        if (children)
            XFree(children);
        return windows;
    }

    bool classOf(WindowId window, std::u16string& name)
    {
        XClassHint hint{};
        if (!plausible(window) || !XGetClassHint(display, window, &hint))
            return false;
        const std::string bytes = hint.res_class ? hint.res_class : "";
        if (hint.res_name)
            XFree(hint.res_name);
        if (hint.res_class)
            XFree(hint.res_class);
        // ICCCM says Latin-1; many toolkits write UTF-8.
        name = isValidUtf8(bytes) ? fromUtf8(bytes) : fromLatin1(bytes);
        return true;
    }

    std::u16string titleOf(WindowId window)
    {
        if (!plausible(window))
            return {};
        std::string bytes;
        Atom type = None;
        if (readBytes(window, netWmName, bytes, type) && type == utf8String)
            return fromUtf8(bytes);
        if (readBytes(window, XA_WM_NAME, bytes, type)) {
            if (type == XA_STRING || !isValidUtf8(bytes))
                return fromLatin1(bytes);
            return fromUtf8(bytes);
        }
        return {};
    }

    bool setTitle(WindowId window, const std::u16string& title)
    {
        if (!exists(window))
            return false;
        const std::string bytes = toUtf8(title);
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        const int length = static_cast<int>(bytes.size());
        XChangeProperty(display, window, netWmName, utf8String, 8, PropModeReplace, data, length);
        XChangeProperty(display, window, XA_WM_NAME, utf8String, 8, PropModeReplace, data, length);
        XSync(display, False);
        return true;
    }

    bool hasAbove(WindowId window)
    {
        std::vector<unsigned long> states;
        return plausible(window) && readLongs(window, netWmState, XA_ATOM, states) &&
               std::find(states.begin(), states.end(), netWmStateAbove) != states.end();
    }

    bool inputRegionEmpty(WindowId window)
    {
        if (!hasShapeInput || !exists(window))
            return false;
        int count = 0, ordering = 0;
        XRectangle* rects = XShapeGetRectangles(display, window, ShapeInput, &count, &ordering);
        if (rects)
            XFree(rects);
        return count == 0;
    }

    void sendToRoot(Window window, Atom type, long l0, long l1, long l2, long l3)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = type;
        event.xclient.format = 32;
        event.xclient.data.l[0] = l0;
        event.xclient.data.l[1] = l1;
        event.xclient.data.l[2] = l2;
        event.xclient.data.l[3] = l3;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }

    // Adds or removes _NET_WM_STATE_ABOVE. A managed window's state belongs to the window manager
    // and is changed by asking it; a withdrawn window's state, or any window's when no window
    // manager runs, is the property itself.
    void setAbove(WindowId window, const XWindowAttributes& attrs, bool above)
    {
        if (managed(window, attrs) && windowManagerRunning()) {
            sendToRoot(window, netWmState, above ? NetWmStateAdd : NetWmStateRemove,
                       static_cast<long>(netWmStateAbove), 0, SourceApplication);
            return;
        }
        std::vector<unsigned long> states;
        readLongs(window, netWmState, XA_ATOM, states);
        states.erase(std::remove(states.begin(), states.end(), netWmStateAbove), states.end());
        if (above)
            states.push_back(netWmStateAbove);
        XChangeProperty(display, window, netWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states.data()),
                        static_cast<int>(states.size()));
    }

    bool activate(WindowId window)
    {
        XWindowAttributes attrs;
        if (!attributes(window, attrs))
            return false;
        if (windowManagerRunning()) {
            Window current = None;
            readWindowProperty(root, netActiveWindow, current);
            sendToRoot(window, netActiveWindow, SourcePager, CurrentTime, static_cast<long>(current), 0);
            XRaiseWindow(display, window);
        } else {
            XRaiseWindow(display, window);
            if (attrs.map_state == IsViewable)
                XSetInputFocus(display, window, RevertToParent, CurrentTime);
        }
        XSync(display, False);
        return true;
    }

    // WM_CLOSE: the window is asked to close, as its own close button would.
    bool requestClose(WindowId window)
    {
        if (!exists(window))
            return false;
        Atom* protocols = nullptr;
        int count = 0;
        bool supported = false;
        if (XGetWMProtocols(display, window, &protocols, &count)) {
            supported = std::find(protocols, protocols + count, wmDeleteWindow) != protocols + count;
            XFree(protocols);
        }
        if (!supported)
            return false;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = wmProtocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(wmDeleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XSync(display, False);
        return true;
    }

    // ---- input

    KeyCode keycodeOf(int virtualKey)
    {
        const std::uint32_t keysym = keysymForVirtualKey(virtualKey);
        return keysym ? XKeysymToKeycode(display, keysym) : 0;
    }

    bool fakeKey(int virtualKey, bool keyUp)
    {
        const KeyCode keycode = keycodeOf(virtualKey);
        if (!hasXTest || keycode == 0)
            return false;
        XTestFakeKeyEvent(display, keycode, keyUp ? False : True, CurrentTime);
        return true;
    }

    bool fakeMouse(const Input& input)
    {
        if (!hasXTest)
            return false;
        if (input.flags & mouseevent::Move) {
            if (input.flags & mouseevent::Absolute) {
                const ScreenSize size = screenSize();
                const auto scale = [](std::int32_t v, int extent) {
                    const long long p = (static_cast<long long>(std::clamp(v, 0, 65535)) * extent) >> 16;
                    return static_cast<int>(std::min<long long>(p, extent - 1));
                };
                XTestFakeMotionEvent(display, screen, scale(input.dx, size.width),
                                     scale(input.dy, size.height), CurrentTime);
            } else {
                XTestFakeRelativeMotionEvent(display, input.dx, input.dy, CurrentTime);
            }
        }
        static const struct
        {
            std::uint32_t flag;
            unsigned button;
            bool press;
        } buttons[] = {{mouseevent::LeftDown, 1, true},   {mouseevent::LeftUp, 1, false},
                       {mouseevent::RightDown, 3, true},  {mouseevent::RightUp, 3, false},
                       {mouseevent::MiddleDown, 2, true}, {mouseevent::MiddleUp, 2, false}};
        for (const auto& b : buttons) {
            if (input.flags & b.flag)
                XTestFakeButtonEvent(display, b.button, b.press ? True : False, CurrentTime);
        }
        return true;
    }

    bool keyDown(int virtualKey)
    {
        unsigned mask = 0;
        switch (virtualKey) {
        case vk::LButton:
            mask = Button1Mask;
            break;
        case vk::MButton:
            mask = Button2Mask;
            break;
        case vk::RButton:
            mask = Button3Mask;
            break;
        default:
            break;
        }
        if (mask) {
            Window rootReturn, child;
            int rx, ry, wx, wy;
            unsigned state = 0;
            return XQueryPointer(display, root, &rootReturn, &child, &rx, &ry, &wx, &wy, &state) &&
                   (state & mask);
        }
        // The generic Shift, Control and Alt keys are down when either of the pair is.
        std::vector<KeySym> keysyms;
        switch (virtualKey) {
        case vk::Shift:
            keysyms = {XK_Shift_L, XK_Shift_R};
            break;
        case vk::Control:
            keysyms = {XK_Control_L, XK_Control_R};
            break;
        case vk::Menu:
            keysyms = {XK_Alt_L, XK_Alt_R};
            break;
        default:
            if (const std::uint32_t keysym = keysymForVirtualKey(virtualKey))
                keysyms = {keysym};
        }
        char keys[32];
        XQueryKeymap(display, keys);
        for (const KeySym keysym : keysyms) {
            const KeyCode code = XKeysymToKeycode(display, keysym);
            if (code && (keys[code / 8] & (1 << (code % 8))))
                return true;
        }
        return false;
    }

    ScreenSize screenSize()
    {
        // The root's geometry, not the size cached at connection time: it follows RandR changes.
        Window rootReturn;
        int x, y;
        unsigned width = 0, height = 0, border, depth;
        if (!XGetGeometry(display, root, &rootReturn, &x, &y, &width, &height, &border, &depth))
            return {};
        return {static_cast<int>(width), static_cast<int>(height)};
    }
};

std::unique_ptr<X11Desktop> X11Desktop::open(const std::string& displayName)
{
    auto impl = std::make_unique<Impl>();
    impl->display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!impl->display)
        return nullptr;
    x11::adoptDisplay(impl->display);
    impl->displayName = DisplayString(impl->display);
    impl->screen = DefaultScreen(impl->display);
    impl->root = RootWindow(impl->display, impl->screen);
    int eventBase, errorBase, major, minor;
    impl->hasXTest = XTestQueryExtension(impl->display, &eventBase, &errorBase, &major, &minor);
    impl->hasShapeInput = XShapeQueryExtension(impl->display, &eventBase, &errorBase) &&
                          XShapeQueryVersion(impl->display, &major, &minor) &&
                          (major > 1 || (major == 1 && minor >= 1));
    impl->internAtoms();
    return std::unique_ptr<X11Desktop>(new X11Desktop(std::move(impl)));
}

X11Desktop::X11Desktop(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

X11Desktop::~X11Desktop() = default;

std::vector<WindowId> X11Desktop::topLevelWindows()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->topLevelWindows();
}

std::vector<WindowId> X11Desktop::childWindows(WindowId)
{
    return {};
}

WindowId X11Desktop::findWindowEx(WindowId parent, WindowId childAfter, const char16_t* className,
                                  const char16_t* windowName)
{
    if (parent != 0)
        return 0;
    std::lock_guard<std::mutex> lock(d->mutex);
    const std::vector<WindowId> windows = d->topLevelWindows();
    auto it = windows.begin();
    if (childAfter != 0) {
        it = std::find(windows.begin(), windows.end(), childAfter);
        if (it == windows.end())
            return 0;
        ++it;
    }
    for (; it != windows.end(); ++it) {
        std::u16string name;
        if (className && (!d->classOf(*it, name) || !equalsIgnoreCase(name, className)))
            continue;
        if (windowName && !equalsIgnoreCase(d->titleOf(*it), windowName))
            continue;
        return *it;
    }
    return 0;
}

WindowId X11Desktop::foregroundWindow()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    Window active = None;
    if (d->readWindowProperty(d->root, d->netActiveWindow, active))
        return active;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d->display, &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == d->root)
        return 0;
    return d->topLevelOf(focus);
}

bool X11Desktop::isWindow(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->exists(window);
}

bool X11Desktop::isWindowVisible(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->visible(window);
}

bool X11Desktop::isWindowEnabled(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->exists(window);
}

bool X11Desktop::isIconic(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->iconic(window);
}

std::uint32_t X11Desktop::windowStyle(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->visible(window) ? style::Visible : 0;
}

std::uint32_t X11Desktop::windowExStyle(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->exists(window))
        return 0;
    std::uint32_t exStyle = 0;
    if (d->hasAbove(window))
        exStyle |= exstyle::Topmost;
    if (d->inputRegionEmpty(window))
        exStyle |= exstyle::Transparent;
    const auto it = d->layered.find(window);
    if (it != d->layered.end())
        exStyle |= it->second;
    return exStyle;
}

bool X11Desktop::setWindowExStyle(WindowId window, std::uint32_t exStyle)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->exists(window))
        return false;
    const bool transparent = exStyle & exstyle::Transparent;
    if (transparent && !d->hasShapeInput)
        return false;
    if (d->hasShapeInput) {
        if (transparent)
            XShapeCombineRectangles(d->display, window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
        else
            XShapeCombineMask(d->display, window, ShapeInput, 0, 0, None, ShapeSet); // the default region
    }
    if (exStyle & exstyle::Layered)
        d->layered[window] = exstyle::Layered;
    else
        d->layered.erase(window);
    XSync(d->display, False);
    return true;
}

WindowId X11Desktop::parentWindow(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    Window owner = None;
    if (!d->plausible(window) || !XGetTransientForHint(d->display, window, &owner))
        return 0;
    return owner;
}

int X11Desktop::dlgCtrlId(WindowId)
{
    return 0;
}

ProcessId X11Desktop::windowProcessId(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    std::vector<unsigned long> pid;
    if (!d->plausible(window) || !d->readLongs(window, d->netWmPid, XA_CARDINAL, pid) || pid.empty())
        return 0;
    return static_cast<ProcessId>(pid[0]);
}

int X11Desktop::className(WindowId window, char16_t* buffer, int bufferSize)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    std::u16string name;
    if (!d->classOf(window, name)) {
        copyTruncated(std::u16string(), buffer, bufferSize);
        return 0;
    }
    return copyTruncated(name, buffer, bufferSize);
}

int X11Desktop::windowText(WindowId window, char16_t* buffer, int maxCount)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return copyTruncated(d->titleOf(window), buffer, maxCount);
}

bool X11Desktop::setWindowText(WindowId window, const char16_t* text)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->setTitle(window, text ? std::u16string(text) : std::u16string());
}

std::intptr_t X11Desktop::sendMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    switch (message) {
    case msg::Close:
        d->requestClose(window);
        return 0;
    case msg::GetText:
        return copyTruncated(d->titleOf(window), reinterpret_cast<char16_t*>(lParam),
                             static_cast<std::int64_t>(wParam));
    case msg::GetTextLength:
        return static_cast<std::intptr_t>(d->titleOf(window).size());
    case msg::SetText: {
        const auto* text = reinterpret_cast<const char16_t*>(lParam);
        return d->setTitle(window, text ? std::u16string(text) : std::u16string()) ? 1 : 0;
    }
    default:
        return 0;
    }
}

bool X11Desktop::sendMessageTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam, std::uint32_t, std::uint32_t,
                                    std::uintptr_t* result)
{
    if (result)
        *result = 0;
    switch (message) {
    case msg::Close:
    case msg::GetText:
    case msg::GetTextLength:
    case msg::SetText:
        break;
    default:
        return false; // nothing to deliver it to, and no way to tell a hung window
    }
    if (!isWindow(window))
        return false;
    const std::intptr_t answer = sendMessage(window, message, wParam, lParam);
    if (result)
        *result = static_cast<std::uintptr_t>(answer);
    return true;
}

bool X11Desktop::postMessage(WindowId window, std::uint32_t message, std::uintptr_t, std::intptr_t)
{
    if (message != msg::Close)
        return false;
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->requestClose(window);
}

bool X11Desktop::setWindowPos(WindowId window, WindowId insertAfter, int x, int y, int cx, int cy,
                              std::uint32_t flags)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    XWindowAttributes attrs;
    if (!d->attributes(window, attrs))
        return false;
    if (!(flags & swp::NoZOrder)) {
        if (insertAfter == zorder::Topmost) {
            d->setAbove(window, attrs, true);
            XRaiseWindow(d->display, window);
        } else if (insertAfter == zorder::NoTopmost) {
            d->setAbove(window, attrs, false);
        } else if (insertAfter == zorder::Top) {
            XRaiseWindow(d->display, window);
        } else if (insertAfter == zorder::Bottom) {
            XLowerWindow(d->display, window);
        } else if (d->plausible(insertAfter)) {
            XWindowChanges changes{};
            changes.sibling = insertAfter;
            changes.stack_mode = Below;
            XReconfigureWMWindow(d->display, window, d->screen, CWSibling | CWStackMode, &changes);
        }
    }
    if (!(flags & swp::NoMove))
        XMoveWindow(d->display, window, x, y);
    if (!(flags & swp::NoSize) && cx > 0 && cy > 0)
        XResizeWindow(d->display, window, static_cast<unsigned>(cx), static_cast<unsigned>(cy));
    if ((flags & swp::ShowWindow) && attrs.map_state == IsUnmapped)
        XMapWindow(d->display, window);
    XSync(d->display, False);
    return true;
}

bool X11Desktop::setForegroundWindow(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->activate(window);
}

bool X11Desktop::bringWindowToTop(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->activate(window);
}

WindowId X11Desktop::setFocus(WindowId window)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    XWindowAttributes attrs;
    if (!d->attributes(window, attrs) || attrs.map_state != IsViewable)
        return 0;
    Window previous = None;
    int revert = 0;
    XGetInputFocus(d->display, &previous, &revert);
    XSetInputFocus(d->display, window, RevertToParent, CurrentTime);
    XSync(d->display, False);
    return previous == PointerRoot ? 0 : previous;
}

bool X11Desktop::showWindow(WindowId window, int command)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->exists(window))
        return false;
    const bool wasVisible = d->visible(window);
    switch (command) {
    case sw::Hide:
        XWithdrawWindow(d->display, window, d->screen);
        break;
    case sw::Minimize:
    case sw::ShowMinimized:
    case sw::ShowMinNoActive:
        XIconifyWindow(d->display, window, d->screen);
        break;
    default:
        XMapWindow(d->display, window);
        break;
    }
    XSync(d->display, False);
    return wasVisible;
}

void X11Desktop::keybdEvent(std::uint8_t virtualKey, bool keyUp)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->fakeKey(virtualKey, keyUp))
        XSync(d->display, False);
}

unsigned X11Desktop::sendInput(const Input* inputs, unsigned count)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    unsigned inserted = 0;
    for (unsigned i = 0; inputs && i < count; ++i) {
        const Input& input = inputs[i];
        const bool ok = input.type == Input::Type::Keyboard
                            ? d->fakeKey(input.vk, input.flags & keyevent::KeyUp)
                            : d->fakeMouse(input);
        if (ok)
            ++inserted;
    }
    XSync(d->display, False);
    return inserted;
}

bool X11Desktop::asyncKeyDown(int virtualKey)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->keyDown(virtualKey);
}

bool X11Desktop::cursorPos(int* x, int* y)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    Window rootReturn, child;
    int rx = 0, ry = 0, wx, wy;
    unsigned state;
    if (!XQueryPointer(d->display, d->root, &rootReturn, &child, &rx, &ry, &wx, &wy, &state))
        return false; // the pointer is on another screen
    if (x)
        *x = rx;
    if (y)
        *y = ry;
    return true;
}

bool X11Desktop::setCursorPos(int x, int y)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    XWarpPointer(d->display, None, d->root, 0, 0, 0, 0, x, y);
    XSync(d->display, False);
    return true;
}

ScreenSize X11Desktop::screenSize()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->screenSize();
}

std::unique_ptr<ForegroundHook> X11Desktop::hookForeground(ForegroundCallback callback, Dispatcher dispatcher)
{
    return X11ForegroundHook::install(d->displayName, std::move(callback), std::move(dispatcher));
}

bool X11Desktop::windowManagerRunning()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->windowManagerRunning();
}

} // namespace platform
