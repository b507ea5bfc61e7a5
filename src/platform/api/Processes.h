#pragma once

// kernel32 / psapi surface: process snapshots, image paths, WOW64, modules, process memory, and
// running a system command (taskkill) with its exit code.

#include "Types.h"

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry
{
    ProcessId pid = 0;
    ProcessId parentPid = 0;
    std::u16string exeFile; // the executable's file name, as the snapshot reports it ("tdxw.exe")
};

struct ModuleEntry
{
    std::string baseName; // GetModuleBaseNameA
    std::uint64_t base = 0;
};

enum class ModuleFilter { Bits32, Bits64 }; // LIST_MODULES_32BIT / LIST_MODULES_64BIT

struct CommandResult
{
    bool started = false;
    bool timedOut = false; // the command still ran when the time-out expired (it is then ended)
    int exitCode = -1;
};

class Processes
{
public:
    virtual ~Processes() = default;

    // CreateToolhelp32Snapshot + Process32FirstW/NextW: false when the snapshot fails.
    virtual bool snapshot(std::vector<ProcessEntry>& out) = 0;
    virtual ProcessId currentProcessId() = 0;
    // OpenProcess: 0 on failure (lastError tells why).
    virtual ProcessHandle openProcess(std::uint32_t desiredAccess, ProcessId pid) = 0;
    virtual void closeHandle(ProcessHandle handle) = 0;
    // QueryFullProcessImageNameW with a 260-unit buffer: the Win32 path of the executable,
    // with backslashes ("C:\\new_tdx\\tdxw.exe").
    virtual bool queryFullProcessImageName(ProcessHandle handle, std::u16string& path) = 0;
    // IsWow64Process.
    virtual bool isWow64Process(ProcessHandle handle, bool* wow64) = 0;
    // EnumProcessModulesEx + GetModuleBaseNameA (260 bytes) for each module, in load order.
    virtual bool enumProcessModules(ProcessHandle handle, ModuleFilter filter, std::vector<ModuleEntry>& out) = 0;
    // ReadProcessMemory: false on failure; bytesRead receives the count when not null.
    virtual bool readProcessMemory(ProcessHandle handle, std::uint64_t address, void* buffer, std::size_t size,
                                   std::size_t* bytesRead) = 0;
    // GetLastError of the calling thread after the last failed call of this interface.
    virtual std::uint32_t lastError() = 0;
    // Runs a program found on the system path (e.g. u"taskkill") with arguments, without a
    // window, and waits at most timeoutMs for it to end.
    virtual CommandResult runCommand(const std::u16string& program, const std::vector<std::u16string>& arguments,
                                     std::uint32_t timeoutMs) = 0;
};

} // namespace platform
