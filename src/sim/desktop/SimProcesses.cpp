#include "SimProcesses.h"

#include "SimDesktop.h"
#include "platform/api/Text.h"

#include <algorithm>
#include <cstring>

namespace sim {

using namespace platform;

namespace {
// GetLastError is per thread, whatever object the failing call went through.
thread_local std::uint32_t t_lastError = 0;

constexpr std::uint32_t QueryAccess = access::QueryInformation | access::QueryLimitedInformation;

std::u16string stripExe(const std::u16string& program)
{
    const std::u16string name = lowerAscii(program);
    const auto slash = name.find_last_of(u"\\/");
    std::u16string base = slash == std::u16string::npos ? name : name.substr(slash + 1);
    if (base.size() > 4 && base.compare(base.size() - 4, 4, u".exe") == 0)
        base.resize(base.size() - 4);
    return base;
}
} // namespace

SimProcesses::SimProcesses(SimDesktop& desktop) : m_desktop(desktop) {}

bool SimProcesses::fail(std::uint32_t error)
{
    t_lastError = error;
    return false;
}

SimProcesses::Process* SimProcesses::processOf(ProcessHandle handle, std::uint32_t neededAccess)
{
    auto h = m_handles.find(handle);
    if (h == m_handles.end()) {
        fail(ErrorInvalidHandle);
        return nullptr;
    }
    if (neededAccess && !(h->second.access & neededAccess)) {
        fail(error::AccessDenied);
        return nullptr;
    }
    auto p = m_processes.find(h->second.pid);
    if (p == m_processes.end()) {
        fail(ErrorInvalidHandle);
        return nullptr;
    }
    return &p->second;
}

bool SimProcesses::snapshot(std::vector<ProcessEntry>& out)
{
    m_desktop.runPending();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_snapshotFails)
        return fail(ErrorInvalidParameter);
    out.clear();
    for (ProcessId pid : m_order) {
        const Process& p = m_processes.at(pid);
        if (p.running)
            out.push_back({p.pid, p.spec.parentPid, p.spec.exeFile});
    }
    return true;
}

ProcessId SimProcesses::currentProcessId()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_currentPid;
}

ProcessHandle SimProcesses::openProcess(std::uint32_t desiredAccess, ProcessId pid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto p = m_processes.find(pid);
    if (pid == 0 || p == m_processes.end() || !p->second.running) {
        fail(ErrorInvalidParameter);
        return 0;
    }
    if (p->second.spec.accessDenied) {
        fail(error::AccessDenied);
        return 0;
    }
    const ProcessHandle handle = m_nextHandle;
    m_nextHandle += 4;
    m_handles[handle] = {pid, desiredAccess};
    return handle;
}

void SimProcesses::closeHandle(ProcessHandle handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handles.erase(handle);
}

bool SimProcesses::queryFullProcessImageName(ProcessHandle handle, std::u16string& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Process* p = processOf(handle, QueryAccess);
    if (!p)
        return false;
    if (!p->running)
        return fail(31); // ERROR_GEN_FAILURE: the process has ended
    if (p->spec.imagePath.size() >= 260)
        return fail(ErrorInsufficientBuffer);
    path = p->spec.imagePath;
    return true;
}

bool SimProcesses::isWow64Process(ProcessHandle handle, bool* wow64)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Process* p = processOf(handle, QueryAccess);
    if (!p)
        return false;
    if (wow64)
        *wow64 = p->spec.wow64;
    return true;
}

bool SimProcesses::enumProcessModules(ProcessHandle handle, ModuleFilter filter,
                                      std::vector<ModuleEntry>& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Process* p = processOf(handle, access::QueryInformation);
    if (!p)
        return false;
    if (!(m_handles[handle].access & access::VmRead))
        return fail(error::AccessDenied);
    if (!p->running)
        return fail(ErrorPartialCopy);
    out.clear();
    const bool want64 = filter == ModuleFilter::Bits64;
    for (const SimModule& m : p->modules) {
        if (m.bits64 == want64)
            out.push_back({m.baseName, m.base});
    }
    return true;
}

bool SimProcesses::readProcessMemory(ProcessHandle handle, std::uint64_t address, void* buffer,
                                     std::size_t size, std::size_t* bytesRead)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (bytesRead)
        *bytesRead = 0;
    Process* p = processOf(handle, access::VmRead);
    if (!p)
        return false;
    if (!p->running)
        return fail(ErrorPartialCopy);
    // All or nothing, like a read that touches an unmapped page.
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < size; ++i) {
        auto byte = p->memory.find(address + i);
        if (byte == p->memory.end())
            return fail(ErrorPartialCopy);
        out[i] = byte->second;
    }
    if (bytesRead)
        *bytesRead = size;
    return true;
}

std::uint32_t SimProcesses::lastError()
{
    return t_lastError;
}

CommandResult SimProcesses::runCommand(const std::u16string& program,
                                       const std::vector<std::u16string>& arguments, std::uint32_t timeoutMs)
{
    decltype(m_commandHandler) handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_commands.push_back({program, arguments});
        handler = m_commandHandler;
    }
    if (handler) {
        if (auto answer = handler(program, arguments))
            return *answer;
    }
    CommandResult result;
    if (stripExe(program) != u"taskkill")
        return result; // not found on the path: never started
    result.started = true;
    std::u16string image;
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (lowerAscii(arguments[i]) == u"/im")
            image = arguments[i + 1];
    }
    if (image.empty()) {
        result.exitCode = 1; // taskkill's "invalid syntax"
        return result;
    }
    const auto pids = findByExe(image);
    for (ProcessId pid : pids)
        endProcess(pid);
    result.exitCode = pids.empty() ? 128 : 0;
    return result;
}

ProcessId SimProcesses::startProcess(const ProcessSpec& spec)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Process p;
    p.spec = spec;
    if (p.spec.imagePath.empty())
        p.spec.imagePath = u"C:\\Windows\\System32\\" + spec.exeFile;
    p.pid = m_nextPid;
    m_nextPid += 4;
    m_order.push_back(p.pid);
    const ProcessId pid = p.pid;
    m_processes[pid] = std::move(p);
    return pid;
}

ProcessId SimProcesses::startProcess(const std::u16string& exeFile)
{
    ProcessSpec spec;
    spec.exeFile = exeFile;
    return startProcess(spec);
}

bool SimProcesses::endProcess(ProcessId pid)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto p = m_processes.find(pid);
        if (p == m_processes.end() || !p->second.running)
            return false;
        p->second.running = false;
    }
    m_desktop.destroyWindowsOfProcess(pid);
    return true;
}

bool SimProcesses::isRunning(ProcessId pid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto p = m_processes.find(pid);
    return p != m_processes.end() && p->second.running;
}

std::vector<ProcessId> SimProcesses::findByExe(const std::u16string& exeFile)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<ProcessId> out;
    for (ProcessId pid : m_order) {
        const Process& p = m_processes.at(pid);
        if (p.running && equalsIgnoreCase(p.spec.exeFile, exeFile))
            out.push_back(pid);
    }
    return out;
}

void SimProcesses::addModule(ProcessId pid, const SimModule& module)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto p = m_processes.find(pid);
    if (p != m_processes.end())
        p->second.modules.push_back(module);
}

void SimProcesses::writeMemory(ProcessId pid, std::uint64_t address, const std::string& bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto p = m_processes.find(pid);
    if (p == m_processes.end())
        return;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        p->second.memory[address + i] = static_cast<std::uint8_t>(bytes[i]);
}

void SimProcesses::setCurrentProcess(ProcessId pid)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_currentPid = pid;
    }
    m_desktop.setProgramProcess(pid);
}

void SimProcesses::setSnapshotFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_snapshotFails = fails;
}

void SimProcesses::setCommandHandler(
    std::function<std::optional<CommandResult>(const std::u16string&, const std::vector<std::u16string>&)>
        handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_commandHandler = std::move(handler);
}

std::vector<CommandRecord> SimProcesses::commandsRun()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

std::size_t SimProcesses::openHandleCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handles.size();
}

} // namespace sim
