#pragma once

// A copy of what the simulated desktop shows at one moment: its top-level windows front to back
// with their children, as a viewer (the practice window) draws them. Taken by
// SimDesktop::snapshot() under the desktop's lock, so it is consistent in itself.

#include "platform/api/Types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct Rect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct WindowSnapshot
{
    platform::WindowId id = 0;
    std::u16string className;
    // What the window shows: an edit control's own content, else the text the system keeps.
    std::u16string text;
    platform::ProcessId pid = 0;
    platform::WindowId owner = 0;
    int controlId = 0;
    bool visible = false; // its own style bit (a child of a hidden window may still have it)
    bool enabled = true;
    Rect rect;
    std::vector<WindowSnapshot> children; // creation order
};

struct DesktopSnapshot
{
    std::vector<WindowSnapshot> topLevel; // z-order, topmost band first, front first
    platform::WindowId foreground = 0;
    platform::WindowId focus = 0;
};

} // namespace sim
