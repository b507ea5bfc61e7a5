#include "X11Errors.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform {
namespace x11 {

namespace {

std::mutex g_mutex;
std::vector<Display*> g_displays;
XErrorHandler g_previous = nullptr;

int onError(Display* display, XErrorEvent* event)
{
    XErrorHandler previous;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (std::find(g_displays.begin(), g_displays.end(), display) != g_displays.end())
            return 0;
        previous = g_previous;
    }
    return previous ? previous(display, event) : 0;
}

} // namespace

void adoptDisplay(Display* display)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        XErrorHandler previous = XSetErrorHandler(onError);
        std::lock_guard<std::mutex> lock(g_mutex);
        g_previous = previous;
    });
    std::lock_guard<std::mutex> lock(g_mutex);
    g_displays.push_back(display);
}

void releaseDisplay(Display* display)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_displays.erase(std::remove(g_displays.begin(), g_displays.end(), display), g_displays.end());
}

} // namespace x11
} // namespace platform
