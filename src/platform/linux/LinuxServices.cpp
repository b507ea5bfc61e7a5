#include "LinuxServices.h"

#include "LinuxProcesses.h"
#include "LinuxRegistry.h"
#include "X11Desktop.h"
#include "X11Hotkeys.h"
#include "XdgAutostart.h"

namespace platform {

namespace {

struct Backends
{
    std::unique_ptr<X11Desktop> desktop = X11Desktop::open();
    LinuxProcesses processes;
    LinuxRegistry registry;
    X11Hotkeys hotkeys;
    XdgAutostart autostart;
};

Backends& backends()
{
    // Never destroyed: at exit the GUI's X connection is gone before static objects are, and the
    // hot keys must not touch it then. The X server drops every grab of a client that leaves.
    static Backends* instance = new Backends;
    return *instance;
}

} // namespace

Services linuxServices()
{
    Backends& b = backends();
    Services s;
    s.desktop = b.desktop.get();
    s.hostDesktop = b.desktop.get();
    s.processes = &b.processes;
    s.registry = &b.registry;
    s.hotkeys = &b.hotkeys;
    s.autostart = &b.autostart;
    s.clock = &systemClock();
    return s;
}

X11Hotkeys& linuxHotkeys()
{
    return backends().hotkeys;
}

} // namespace platform
