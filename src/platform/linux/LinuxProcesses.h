#pragma once

// Processes on Linux, read from /proc.
//
//   snapshot            every /proc/<pid>: parent from stat, file name from the exe link (or the
//                       kernel's comm when the link cannot be read, e.g. another user's process)
//   openProcess         a handle of this object naming the process; it fails for a process that
//                       does not exist (lastError 87, as OpenProcess) and stops working when the
//                       process ends, even if its pid is reused
//   queryFullProcessImageName
//                       the exe link: a native path with slashes
//   isWow64Process      always false: no 32-bit-on-64-bit layer is reported
//   enumProcessModules  the files with code mapped into the process (/proc/<pid>/maps): the
//                       executable and its shared libraries, each once, in address order, base =
//                       its lowest mapped address, name = the file's (links resolved, as the
//                       kernel maps the file behind them); the filter is not used
//   readProcessMemory   process_vm_readv; needs the handle's VmRead right, and another process
//                       needs the usual ptrace permission. A partial read fails (lastError 299)
//                       with bytesRead set to what was copied
//   runCommand          the program from PATH, stdin/stdout/stderr on /dev/null, in its own process
//                       group; on time-out the whole group is killed. A death by signal gives
//                       exitCode 128 + the signal.
//
// Error codes are the Win32 ones: 5 access denied, 6 invalid handle, 87 no such process,
// 299 partial copy.

#include "platform/api/Processes.h"

#include <map>
#include <mutex>

namespace platform {

class LinuxProcesses : public Processes
{
public:
    bool snapshot(std::vector<ProcessEntry>& out) override;
    ProcessId currentProcessId() override;
    ProcessHandle openProcess(std::uint32_t desiredAccess, ProcessId pid) override;
    void closeHandle(ProcessHandle handle) override;
    bool queryFullProcessImageName(ProcessHandle handle, std::u16string& path) override;
    bool isWow64Process(ProcessHandle handle, bool* wow64) override;
    bool enumProcessModules(ProcessHandle handle, ModuleFilter filter,
                            std::vector<ModuleEntry>& out) override;
    bool readProcessMemory(ProcessHandle handle, std::uint64_t address, void* buffer, std::size_t size,
                           std::size_t* bytesRead) override;
    std::uint32_t lastError() override;
    CommandResult runCommand(const std::u16string& program, const std::vector<std::u16string>& arguments,
                             std::uint32_t timeoutMs) override;

private:
    struct Opened
    {
        ProcessId pid = 0;
        std::uint32_t access = 0;
        unsigned long long startTime = 0; // tells a reused pid from the process that was opened
    };
    // The process behind a handle while it still runs; sets lastError and returns false otherwise.
    bool resolve(ProcessHandle handle, Opened& opened);

    std::mutex m_mutex;
    std::map<ProcessHandle, Opened> m_handles;
    ProcessHandle m_nextHandle = 0x100;
};

} // namespace platform
