#pragma once

// System-wide hot keys (RegisterHotKey on Windows, key grabs on X11).

#include "Types.h"

#include <functional>

namespace platform {

class Hotkeys
{
public:
    virtual ~Hotkeys() = default;
    // Registers modifiers (modifier::) + virtual key; onPressed runs on the GUI thread when the
    // combination is pressed anywhere. Returns an id > 0, or 0 when the combination is taken or
    // cannot be grabbed.
    virtual int registerHotkey(std::uint32_t modifiers, std::uint32_t virtualKey, std::function<void()> onPressed) = 0;
    virtual void unregisterHotkey(int id) = 0;
    // Fed with every native event of the GUI thread (MSG* on Windows, xcb_generic_event_t* on
    // X11) by a native event filter; true when the event was a hot key of ours.
    virtual bool handleNativeEvent(const void* message) = 0;
};

} // namespace platform
