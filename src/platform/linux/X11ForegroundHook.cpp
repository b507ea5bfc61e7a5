#include "X11ForegroundHook.h"

#include "X11Errors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

struct X11ForegroundHook::State
{
    Display* display = nullptr;
    int wakeFd = -1;
    Atom activeAtom = None;
    WindowId last = 0; // the active window last seen by the watcher
    ForegroundCallback callback;
    Dispatcher dispatcher;
    std::shared_ptr<std::atomic<bool>> alive = std::make_shared<std::atomic<bool>>(true);

    ~State()
    {
        if (display) {
            x11::releaseDisplay(display);
            XCloseDisplay(display);
        }
        if (wakeFd >= 0)
            close(wakeFd);
    }

    WindowId activeWindow()
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        WindowId window = 0;
        if (XGetWindowProperty(display, DefaultRootWindow(display), activeAtom, 0, 1, False, XA_WINDOW, &type,
                               &format, &count, &remaining, &data) == Success &&
            type == XA_WINDOW && format == 32 && count == 1)
            window = reinterpret_cast<unsigned long*>(data)[0];
        if (data)
            XFree(data);
        return window;
    }

    void report(WindowId window)
    {
        // The task checks the flag where it runs, so a hook removed while tasks are still queued in
        // the dispatcher calls nobody.
        auto task = [alive = alive, callback = callback, window] {
            if (alive->load())
                callback(window);
        };
        if (dispatcher)
            dispatcher(std::move(task));
        else
            task();
    }
};

std::unique_ptr<X11ForegroundHook>
X11ForegroundHook::install(const std::string& displayName, ForegroundCallback callback, Dispatcher dispatcher)
{
    if (!callback)
        return nullptr;
    auto state = std::make_shared<State>();
    state->display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!state->display)
        return nullptr;
    x11::adoptDisplay(state->display);
    state->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state->wakeFd < 0)
        return nullptr;
    state->callback = std::move(callback);
    state->dispatcher = std::move(dispatcher);
    state->activeAtom = XInternAtom(state->display, "_NET_ACTIVE_WINDOW", False);
    XSelectInput(state->display, DefaultRootWindow(state->display), PropertyChangeMask);
    // Input is selected and the starting value read before install() returns, so any change after
    // it is reported.
    XSync(state->display, False);
    state->last = state->activeWindow();
    return std::unique_ptr<X11ForegroundHook>(new X11ForegroundHook(std::move(state)));
}

X11ForegroundHook::X11ForegroundHook(std::shared_ptr<State> state)
    : m_state(std::move(state)), m_thread(&X11ForegroundHook::run, m_state)
{
}

X11ForegroundHook::~X11ForegroundHook()
{
    m_state->alive->store(false);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_state->wakeFd, &one, sizeof one);
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach(); // removed from inside its own callback: the loop ends by itself
    else
        m_thread.join();
}

void X11ForegroundHook::run(std::shared_ptr<State> state)
{
    while (state->alive->load()) {
        while (XPending(state->display)) {
            XEvent event;
            XNextEvent(state->display, &event);
            if (event.type != PropertyNotify || event.xproperty.atom != state->activeAtom)
                continue;
            const WindowId now = state->activeWindow();
            if (now == state->last)
                continue; // window managers rewrite the property without a change
            state->last = now;
            if (now != 0 && state->alive->load())
                state->report(now);
        }
        pollfd fds[2] = {{ConnectionNumber(state->display), POLLIN, 0}, {state->wakeFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents || (fds[0].revents & (POLLHUP | POLLERR)))
            break;
    }
}

} // namespace platform
