#pragma once

// Foreground changes on X11: the window manager publishes the active window in the root window's
// _NET_ACTIVE_WINDOW property; a thread with its own connection watches that property and reports
// each new active window.

#include "platform/api/Desktop.h"

#include <memory>
#include <string>
#include <thread>

namespace platform {

class X11ForegroundHook : public ForegroundHook
{
public:
    // Null when the display cannot be opened. The callback runs through the dispatcher (on the
    // thread that runs the dispatcher's tasks), or on the watcher thread when there is none.
    // Only changes are reported (never the window active at installation), and never "no window".
    // The property is read when its change is seen, so changes in quick succession may come as
    // one, the latest.
    static std::unique_ptr<X11ForegroundHook> install(const std::string& displayName,
                                                      ForegroundCallback callback, Dispatcher dispatcher);
    // No callback runs after this returns, including tasks still queued in the dispatcher.
    ~X11ForegroundHook() override;

private:
    struct State;
    explicit X11ForegroundHook(std::shared_ptr<State> state);
    static void run(std::shared_ptr<State> state);

    std::shared_ptr<State> m_state; // shared with the watcher thread, which may outlive this
    std::thread m_thread;
};

} // namespace platform
