#pragma once

// The process's choice of backends. main() installs one set at start (Windows → win32, Linux →
// linux, demo mode → the simulators); tests install simulators. Code above the seam reaches the
// operating system only through these pointers.

#include "Autostart.h"
#include "Clock.h"
#include "Desktop.h"
#include "HidApi.h"
#include "HidPorts.h"
#include "Hotkeys.h"
#include "Processes.h"
#include "Registry.h"

namespace platform {

struct Services
{
    // The desktop the trading clients live on (the simulated one in demo mode and tests).
    Desktop* desktop = nullptr;
    // The desktop of the program's own windows (clock topmost, dimmer). The same object as
    // desktop on Windows; the X11 backend on Linux, also in demo mode.
    Desktop* hostDesktop = nullptr;
    Processes* processes = nullptr;
    Registry* registry = nullptr;
    Hotkeys* hotkeys = nullptr;
    Autostart* autostart = nullptr;
    HidApi* hid = nullptr;
    HidPorts* hidPorts = nullptr;
    Clock* clock = nullptr;
};

// The installed services. Before install() every pointer is null except clock (system clock).
const Services& services();
// Replaces the installed services; members left null keep null (the clock falls back to the
// system clock). Call before any component that uses them is created.
void install(const Services& services);

} // namespace platform
