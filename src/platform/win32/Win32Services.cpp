#include "Win32Services.h"

#include "Win32Autostart.h"
#include "Win32Clock.h"
#include "Win32Desktop.h"
#include "Win32HidPorts.h"
#include "Win32Hotkeys.h"
#include "Win32Processes.h"
#include "Win32Registry.h"

namespace platform {

Services win32Services()
{
    static win32::Win32Desktop desktop;
    static win32::Win32Processes processes;
    static win32::Win32Registry registry;
    static win32::Win32Hotkeys hotkeys;
    static win32::Win32Autostart autostart(registry);
    static win32::Win32HidPorts hidPorts;
    static win32::Win32Clock clock;

    Services services;
    services.desktop = &desktop;
    services.hostDesktop = &desktop;
    services.processes = &processes;
    services.registry = &registry;
    services.hotkeys = &hotkeys;
    services.autostart = &autostart;
    services.hidPorts = &hidPorts;
    services.clock = &clock;
    return services;
}

} // namespace platform
