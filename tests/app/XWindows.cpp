#include "XWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace xwin {

XWindows::XWindows() : m_display(XOpenDisplay(nullptr)) {}

XWindows::~XWindows()
{
    if (m_display)
        XCloseDisplay(m_display);
}

unsigned long XWindows::atom(const char* name)
{
    return XInternAtom(m_display, name, False);
}

std::string XWindows::title(Id window)
{
    for (const char* property : {"_NET_WM_NAME", "WM_NAME"}) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, window, atom(property), 0, 1024, False, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success &&
            data) {
            std::string text(reinterpret_cast<char*>(data), count);
            XFree(data);
            if (!text.empty())
                return text;
        }
    }
    return {};
}

std::vector<Id> XWindows::find(long pid, const std::string& titlePrefix)
{
    std::vector<Id> found;
    if (!m_display)
        return found;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        const Window w = children[i];
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(m_display, w, &attributes) || attributes.map_state != IsViewable)
            continue;
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        long windowPid = -1;
        if (XGetWindowProperty(m_display, w, atom("_NET_WM_PID"), 0, 1, False, XA_CARDINAL, &type, &format,
                               &n, &after, &data) == Success &&
            data) {
            if (n == 1)
                windowPid = long(*reinterpret_cast<unsigned long*>(data));
            XFree(data);
        }
        if (windowPid == pid && title(w).rfind(titlePrefix, 0) == 0)
            found.push_back(w);
    }
    if (children)
        XFree(children);
    return found;
}

Geometry XWindows::geometry(Id window)
{
    Geometry g;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, window, &attributes))
        return g;
    Window child = 0;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &g.x, &g.y, &child);
    g.width = attributes.width;
    g.height = attributes.height;
    return g;
}

void XWindows::raise(Id window)
{
    XRaiseWindow(m_display, window);
    XSync(m_display, False);
}

void XWindows::requestClose(Id window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(atom("WM_DELETE_WINDOW"));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, window, False, NoEventMask, &event);
    XSync(m_display, False);
}

void XWindows::doubleClick(int x, int y)
{
    XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
    for (int i = 0; i < 2; ++i) {
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    }
    XSync(m_display, False);
}

} // namespace xwin
