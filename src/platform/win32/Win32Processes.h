#pragma once

// kernel32 / psapi: snapshots, image paths, WOW64, modules, process memory, and system commands.

#include "platform/api/Processes.h"

namespace platform::win32 {

class Win32Processes : public Processes
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

    // One argument quoted so that CommandLineToArgvW (and the C runtime) give it back unchanged.
    static std::u16string quoteArgument(const std::u16string& argument);
};

} // namespace platform::win32
