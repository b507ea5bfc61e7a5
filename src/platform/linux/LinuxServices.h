#pragma once

// The Linux backends, created once per process on first use and never destroyed.

#include "platform/api/Platform.h"

namespace platform {

class X11Hotkeys;

// desktop and hostDesktop: the X11 desktop (null when no X display can be opened); processes
// (/proc), registry (none on Linux), hotkeys (X11 key grabs), autostart (XDG entry), clock (the
// system clock). hid and hidPorts are left null here.
Services linuxServices();

// The object behind linuxServices().hotkeys: it needs the GUI's xcb connection
// (X11Hotkeys::setConnection) before hot keys can be registered.
X11Hotkeys& linuxHotkeys();

} // namespace platform
