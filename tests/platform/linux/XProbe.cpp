#include "XProbe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace probe {

namespace {
bool g_failed = false;
int recordError(Display*, XErrorEvent*)
{
    g_failed = true;
    return 0;
}
} // namespace

XProbe::XProbe()
{
    m_display = XOpenDisplay(nullptr);
    if (m_display)
        m_root = DefaultRootWindow(m_display);
}

XProbe::~XProbe()
{
    if (!m_display)
        return;
    if (m_wmCheck)
        resignWindowManager();
    XCloseDisplay(m_display);
}

unsigned long XProbe::atom(const char* name)
{
    return XInternAtom(m_display, name, False);
}

std::string XProbe::atomName(unsigned long a)
{
    if (a == None)
        return {};
    char* name = XGetAtomName(m_display, a);
    std::string result = name ? name : "";
    if (name)
        XFree(name);
    return result;
}

Id XProbe::createWindow(const WindowSpec& spec)
{
    XSetWindowAttributes attrs{};
    attrs.background_pixel = WhitePixel(m_display, DefaultScreen(m_display));
    const Window window = XCreateWindow(m_display, m_root, spec.x, spec.y, static_cast<unsigned>(spec.width),
                                        static_cast<unsigned>(spec.height), 0, CopyFromParent, InputOutput,
                                        CopyFromParent, CWBackPixel, &attrs);
    if (!spec.resClass.empty()) {
        XClassHint hint;
        hint.res_name = const_cast<char*>(spec.resName.c_str());
        hint.res_class = const_cast<char*>(spec.resClass.c_str());
        XSetClassHint(m_display, window, &hint);
    }
    if (!spec.utf8Title.empty())
        XChangeProperty(m_display, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(spec.utf8Title.data()),
                        static_cast<int>(spec.utf8Title.size()));
    if (!spec.latin1Title.empty())
        XChangeProperty(m_display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(spec.latin1Title.data()),
                        static_cast<int>(spec.latin1Title.size()));
    if (spec.deleteProtocol) {
        Atom protocol = atom("WM_DELETE_WINDOW");
        XSetWMProtocols(m_display, window, &protocol, 1);
    }
    if (spec.map)
        XMapRaised(m_display, window);
    XSync(m_display, False);
    return window;
}

Id XProbe::createChild(Id parent)
{
    const Window child = XCreateSimpleWindow(m_display, parent, 5, 5, 20, 20, 0, 0, 0);
    XMapWindow(m_display, child);
    XSync(m_display, False);
    return child;
}

void XProbe::destroyWindow(Id window)
{
    XDestroyWindow(m_display, window);
    XSync(m_display, False);
}

void XProbe::map(Id window)
{
    XMapWindow(m_display, window);
    XSync(m_display, False);
}

void XProbe::raise(Id window)
{
    XRaiseWindow(m_display, window);
    XSync(m_display, False);
}

std::vector<std::string> XProbe::stateAtoms(Id window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<std::string> names;
    if (XGetWindowProperty(m_display, window, atom("_NET_WM_STATE"), 0, 1024, False, XA_ATOM, &type, &format,
                           &count, &remaining, &data) == Success &&
        type == XA_ATOM) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i)
            names.push_back(atomName(atoms[i]));
    }
    if (data)
        XFree(data);
    return names;
}

void XProbe::setStateAtoms(Id window, const std::vector<std::string>& names)
{
    std::vector<Atom> atoms;
    for (const std::string& name : names)
        atoms.push_back(atom(name.c_str()));
    XChangeProperty(m_display, window, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms.data()), static_cast<int>(atoms.size()));
    XSync(m_display, False);
}

std::string XProbe::utf8Property(Id window, const char* property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::string bytes;
    if (XGetWindowProperty(m_display, window, atom(property), 0, 1 << 16, False, AnyPropertyType, &type,
                           &format, &count, &remaining, &data) == Success &&
        format == 8)
        bytes.assign(reinterpret_cast<const char*>(data), count);
    if (data)
        XFree(data);
    return bytes;
}

void XProbe::setCardinal(Id window, const char* property, unsigned long value)
{
    XChangeProperty(m_display, window, atom(property), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XSync(m_display, False);
}

void XProbe::setTransientFor(Id window, Id owner)
{
    XSetTransientForHint(m_display, window, owner);
    XSync(m_display, False);
}

bool XProbe::isViewable(Id window)
{
    XWindowAttributes attrs;
    return XGetWindowAttributes(m_display, window, &attrs) && attrs.map_state == IsViewable;
}

Id XProbe::inputFocus()
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus;
}

void XProbe::setInputFocus(Id window)
{
    XSetInputFocus(m_display, window, RevertToPointerRoot, CurrentTime);
    XSync(m_display, False);
}

std::vector<Id> XProbe::stacking()
{
    Window rootReturn, parent, *children = nullptr;
    unsigned count = 0;
    std::vector<Id> windows;
    if (XQueryTree(m_display, m_root, &rootReturn, &parent, &children, &count))
        windows.assign(children, children + count);
    if (children)
        XFree(children);
    return windows;
}

int XProbe::screenWidth()
{
    return DisplayWidth(m_display, DefaultScreen(m_display));
}

int XProbe::screenHeight()
{
    return DisplayHeight(m_display, DefaultScreen(m_display));
}

unsigned XProbe::keycodeOf(unsigned long keysym)
{
    return XKeysymToKeycode(m_display, keysym);
}

void XProbe::setActiveWindow(Id window)
{
    if (window)
        XChangeProperty(m_display, m_root, atom("_NET_ACTIVE_WINDOW"), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&window), 1);
    else
        XDeleteProperty(m_display, m_root, atom("_NET_ACTIVE_WINDOW"));
    XSync(m_display, False);
}

void XProbe::selectInput(Id window, long mask)
{
    XSelectInput(m_display, window, mask);
    XSync(m_display, False);
}

long XProbe::buttonPressMask()
{
    return ButtonPressMask;
}

long XProbe::keyPressMask()
{
    return KeyPressMask;
}

void XProbe::drain()
{
    while (XPending(m_display)) {
        XEvent event;
        XNextEvent(m_display, &event);
        switch (event.type) {
        case ButtonPress:
            m_buttons.push_back(
                {event.xbutton.window, event.xbutton.button, event.xbutton.x_root, event.xbutton.y_root});
            break;
        case KeyPress:
            m_keys.emplace_back(event.xkey.window, event.xkey.keycode);
            break;
        case ClientMessage: {
            Message message;
            message.window = event.xclient.window;
            message.type = atomName(event.xclient.message_type);
            std::copy(event.xclient.data.l, event.xclient.data.l + 5, message.data);
            m_messages.push_back(message);
            break;
        }
        case MapRequest: // while playing the window manager, let windows appear
            XMapWindow(m_display, event.xmaprequest.window);
            break;
        case ConfigureRequest: {
            XWindowChanges changes{};
            changes.x = event.xconfigurerequest.x;
            changes.y = event.xconfigurerequest.y;
            changes.width = event.xconfigurerequest.width;
            changes.height = event.xconfigurerequest.height;
            changes.sibling = event.xconfigurerequest.above;
            changes.stack_mode = event.xconfigurerequest.detail;
            XConfigureWindow(m_display, event.xconfigurerequest.window,
                             static_cast<unsigned>(event.xconfigurerequest.value_mask), &changes);
            break;
        }
        default:
            break;
        }
    }
}

std::vector<ButtonEvent> XProbe::buttonPresses()
{
    drain();
    return m_buttons;
}

std::vector<unsigned> XProbe::keyPresses(Id window)
{
    drain();
    std::vector<unsigned> keys;
    for (const auto& key : m_keys) {
        if (key.first == window)
            keys.push_back(key.second);
    }
    return keys;
}

std::vector<Message> XProbe::clientMessages()
{
    drain();
    return m_messages;
}

void XProbe::forgetEvents()
{
    drain();
    m_buttons.clear();
    m_keys.clear();
    m_messages.clear();
}

bool XProbe::becomeWindowManager()
{
    g_failed = false;
    XErrorHandler previous = XSetErrorHandler(recordError);
    XSelectInput(m_display, m_root, SubstructureRedirectMask | SubstructureNotifyMask);
    XSync(m_display, False);
    XSetErrorHandler(previous);
    if (g_failed)
        return false; // another window manager runs
    m_wmCheck = XCreateSimpleWindow(m_display, m_root, -10, -10, 1, 1, 0, 0, 0);
    const Window check = m_wmCheck;
    for (const Window target : {m_root, check})
        XChangeProperty(m_display, target, atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&check), 1);
    XSync(m_display, False);
    return true;
}

void XProbe::resignWindowManager()
{
    if (!m_wmCheck)
        return;
    XSelectInput(m_display, m_root, NoEventMask);
    XDeleteProperty(m_display, m_root, atom("_NET_SUPPORTING_WM_CHECK"));
    XDestroyWindow(m_display, m_wmCheck);
    m_wmCheck = 0;
    XSync(m_display, False);
    drain();
}

void XProbe::apply(const Message& request)
{
    if (request.type == "_NET_ACTIVE_WINDOW") {
        setActiveWindow(request.window);
        XRaiseWindow(m_display, request.window);
        XSync(m_display, False);
        return;
    }
    if (request.type != "_NET_WM_STATE")
        return;
    std::vector<std::string> states = stateAtoms(request.window);
    for (const long changed : {request.data[1], request.data[2]}) {
        if (!changed)
            continue;
        const std::string name = atomName(static_cast<Atom>(changed));
        const auto it = std::find(states.begin(), states.end(), name);
        const bool present = it != states.end();
        const bool want = request.data[0] == 1 || (request.data[0] == 2 && !present);
        if (present && !want)
            states.erase(it);
        else if (!present && want)
            states.push_back(name);
    }
    setStateAtoms(request.window, states);
}

} // namespace probe
