#include "SimSystem.h"

namespace sim {

SimSystem::SimSystem(platform::Clock& clock) : m_clock(clock), m_desktop(clock), m_processes(m_desktop)
{
    ProcessSpec system;
    system.exeFile = u"System";
    system.accessDenied = true;
    m_processes.startProcess(system);
    ProcessSpec explorer;
    explorer.exeFile = u"explorer.exe";
    explorer.imagePath = u"C:\\Windows\\explorer.exe";
    const auto explorerPid = m_processes.startProcess(explorer);
    ProcessSpec program;
    program.exeFile = u"zentrikclock.exe";
    program.imagePath = u"C:\\Program Files\\ZentrikClock\\zentrikclock.exe";
    program.parentPid = explorerPid;
    m_programPid = m_processes.startProcess(program);
    m_processes.addModule(m_programPid, {"zentrikclock.exe", 0x140000000ULL, true});
    m_processes.addModule(m_programPid, {"ntdll.dll", 0x7FFC12300000ULL, true});
    m_processes.addModule(m_programPid, {"KERNEL32.DLL", 0x7FFC11A00000ULL, true});
    m_processes.setCurrentProcess(m_programPid);
}

SimSystem::~SimSystem()
{
    stopEventThread();
}

void SimSystem::startEventThread()
{
    if (!m_eventPump)
        m_eventPump = std::make_unique<EventPump>(m_desktop);
}

void SimSystem::stopEventThread()
{
    m_eventPump.reset();
}

platform::Services SimSystem::services(const platform::Services& base)
{
    platform::Services s = base;
    s.desktop = &m_desktop;
    s.processes = &m_processes;
    s.registry = &m_registry;
    s.hotkeys = &m_hotkeys;
    s.autostart = &m_autostart;
    s.clock = &m_clock;
    return s;
}

void SimSystem::install()
{
    platform::install(services(platform::services()));
}

void SimSystem::driveEventsFrom(platform::ManualClock& clock)
{
    clock.setObserver([this](std::int64_t) { m_desktop.runPending(); });
}

} // namespace sim
