#pragma once

// Global hot keys on X11: passive key grabs on the root window.
//
// The grabs are made on the connection whose events the GUI thread reads — Qt's own xcb
// connection (QX11Info::connection()), handed over with setConnection() — so the X server sends
// the key presses of a hot key to the GUI thread's event loop, where a native event filter hands
// each event to handleNativeEvent() and the hot key's callback runs right there, on the GUI thread.
// Without a connection registerHotkey answers 0.
//
// Each combination is grabbed four times (plain, with Caps Lock, with Num Lock, with both), so a
// lock key that is on does not disable the hot key. Modifiers: Alt = Mod1, Win = Mod4.

#include "platform/api/Hotkeys.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

struct xcb_connection_t;

namespace platform {

class X11Hotkeys : public Hotkeys
{
public:
    X11Hotkeys() = default;
    ~X11Hotkeys() override; // releases every grab
    X11Hotkeys(const X11Hotkeys&) = delete;
    X11Hotkeys& operator=(const X11Hotkeys&) = delete;

    // The connection to grab on; hot keys registered before are moved to it. Null releases them
    // all (they are kept and come back with the next connection). Not owned.
    void setConnection(xcb_connection_t* connection);

    // 0 when there is no connection, the key has no keycode on this keyboard, the combination is
    // registered here already, or another client holds it (BadAccess).
    int registerHotkey(std::uint32_t modifiers, std::uint32_t virtualKey,
                       std::function<void()> onPressed) override;
    void unregisterHotkey(int id) override;
    // message: an xcb_generic_event_t*. True for a key press of a registered combination, after its
    // callback has run.
    bool handleNativeEvent(const void* message) override;

private:
    struct Entry
    {
        int id = 0;
        std::uint32_t virtualKey = 0;
        std::uint8_t keycode = 0; // 0 while not grabbed
        std::uint16_t xModifiers = 0;
        std::function<void()> onPressed;
    };

    bool grab(Entry& entry);
    void ungrab(Entry& entry);
    std::uint8_t keycodeFor(std::uint32_t virtualKey);
    std::uint16_t numLockMask();
    std::vector<std::uint16_t> lockVariants();

    std::mutex m_mutex;
    xcb_connection_t* m_connection = nullptr;
    std::vector<Entry> m_entries;
    int m_nextId = 1;
};

} // namespace platform
