#include "SimFixture.h"

using namespace platform;

SimFixture::SimFixture() : m_system(m_clock) {}

WindowId SimFixture::createDialog(const std::u16string& title,
                                  const std::vector<contract::ChildSpec>& children)
{
    auto& desktop = m_system.desktop();
    sim::WindowSpec spec;
    spec.className = u"#32770";
    spec.text = title;
    spec.style = style::Visible | style::Popup;
    spec.proc = [this, &desktop](WindowId dialog, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) -> std::intptr_t {
        if (message != msg::Command)
            return desktop.defDialogProc(dialog, message, wParam, lParam);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_commands[dialog].push_back({wParam, lParam});
        }
        if ((wParam & 0xFFFF) == sim::IdCancel)
            desktop.destroyWindow(dialog);
        return 0;
    };
    const WindowId dialog = desktop.createWindow(spec);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_commands[dialog];
    }
    for (const auto& c : children) {
        sim::WindowSpec child;
        child.className = c.className;
        child.text = c.text;
        child.parent = dialog;
        child.controlId = c.controlId;
        child.style = (c.visible ? style::Visible : 0) | (c.enabled ? 0 : style::Disabled);
        desktop.createWindow(child);
    }
    desktop.setForegroundWindow(dialog);
    return dialog;
}

std::vector<contract::CommandRecord> SimFixture::commandsReceived(WindowId dialog)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_commands.find(dialog);
    return it == m_commands.end() ? std::vector<contract::CommandRecord>() : it->second;
}

void SimFixture::destroyWindow(WindowId window)
{
    m_system.desktop().destroyWindow(window);
}

WindowId SimFixture::createHungWindow()
{
    auto& desktop = m_system.desktop();
    sim::WindowSpec spec;
    spec.className = u"ContractHungWindow";
    spec.text = u"hung";
    spec.thread = desktop.newThreadId();
    const WindowId window = desktop.createWindow(spec);
    desktop.setHung(window, true);
    return window;
}

void SimFixture::processEvents(int ms)
{
    m_clock.advance(ms);
    m_system.desktop().runPending();
}

ProcessId SimFixture::knownProcess(std::u16string& expectedImagePath)
{
    expectedImagePath = u"C:\\Program Files\\ZentrikClock\\zentrikclock.exe";
    return m_system.programPid();
}

std::uint64_t SimFixture::knownMemory(const std::string& bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::uint64_t address = m_nextMemory;
    m_nextMemory += (bytes.size() + 0xFF) & ~std::uint64_t(0xFF);
    m_system.processes().writeMemory(m_system.programPid(), address, bytes);
    return address;
}

ProcessId SimFixture::startIdleProcess(const std::u16string& imageName)
{
    return m_system.processes().startProcess(imageName);
}

std::u16string SimFixture::scratchRegistryKey()
{
    return u"Software\\ZentrikClockContractTest";
}

bool SimFixture::deliversForegroundEvents(std::string&)
{
    return true;
}
