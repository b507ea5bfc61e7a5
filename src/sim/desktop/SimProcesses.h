#pragma once

// Simulated processes behind platform::Processes: a snapshot list with executable names and
// Win32 image paths, WOW64, modules with their bitness, process memory made of registered bytes,
// and "taskkill" ending processes (and their windows) with taskkill's exit codes.

#include "platform/api/Processes.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class SimDesktop;

struct ProcessSpec
{
    std::u16string exeFile;   // "tdxw.exe"
    std::u16string imagePath; // "C:\\new_tdx\\tdxw.exe"; empty: "C:\\Windows\\System32\\" + exeFile
    platform::ProcessId parentPid = 0;
    bool wow64 = false;        // a 32-bit program on 64-bit Windows
    bool accessDenied = false; // OpenProcess fails with ERROR_ACCESS_DENIED (a protected process)
};

struct SimModule
{
    std::string baseName; // "hexin.exe"
    std::uint64_t base = 0;
    bool bits64 = false; // listed by LIST_MODULES_64BIT, else by LIST_MODULES_32BIT
};

struct CommandRecord
{
    std::u16string program;
    std::vector<std::u16string> arguments;
};

class SimProcesses : public platform::Processes
{
public:
    // GetLastError values beyond those of platform::error.
    static constexpr std::uint32_t ErrorInvalidHandle = 6;
    static constexpr std::uint32_t ErrorInvalidParameter = 87;
    static constexpr std::uint32_t ErrorInsufficientBuffer = 122;
    static constexpr std::uint32_t ErrorPartialCopy = 299;

    explicit SimProcesses(SimDesktop& desktop);

    // ---- platform::Processes
    bool snapshot(std::vector<platform::ProcessEntry>& out) override;
    platform::ProcessId currentProcessId() override;
    platform::ProcessHandle openProcess(std::uint32_t desiredAccess, platform::ProcessId pid) override;
    void closeHandle(platform::ProcessHandle handle) override;
    bool queryFullProcessImageName(platform::ProcessHandle handle, std::u16string& path) override;
    bool isWow64Process(platform::ProcessHandle handle, bool* wow64) override;
    bool enumProcessModules(platform::ProcessHandle handle, platform::ModuleFilter filter,
                            std::vector<platform::ModuleEntry>& out) override;
    bool readProcessMemory(platform::ProcessHandle handle, std::uint64_t address, void* buffer,
                           std::size_t size, std::size_t* bytesRead) override;
    std::uint32_t lastError() override;
    // "taskkill /F /IM name" ends every process of that executable name (exit code 0) or answers
    // 128 when none runs; other programs are not found (not started). A handler set below
    // answers first.
    platform::CommandResult runCommand(const std::u16string& program,
                                       const std::vector<std::u16string>& arguments,
                                       std::uint32_t timeoutMs) override;

    // ---- building
    platform::ProcessId startProcess(const ProcessSpec& spec);
    platform::ProcessId startProcess(const std::u16string& exeFile);
    // Ends the process: it leaves the snapshot and its windows are gone. False when not running.
    bool endProcess(platform::ProcessId pid);
    bool isRunning(platform::ProcessId pid);
    // Running processes with that executable name (ignoring case), in start order.
    std::vector<platform::ProcessId> findByExe(const std::u16string& exeFile);
    void addModule(platform::ProcessId pid, const SimModule& module);
    // Bytes at an address of the process's memory (later writes overwrite).
    void writeMemory(platform::ProcessId pid, std::uint64_t address, const std::string& bytes);
    // The program's own process (what currentProcessId answers).
    void setCurrentProcess(platform::ProcessId pid);
    void setSnapshotFails(bool fails);
    void setCommandHandler(std::function<std::optional<platform::CommandResult>(
                               const std::u16string&, const std::vector<std::u16string>&)>
                               handler);
    std::vector<CommandRecord> commandsRun();
    // Handles that are still open (a reader that leaks handles shows here).
    std::size_t openHandleCount();

private:
    struct Process
    {
        ProcessSpec spec;
        platform::ProcessId pid = 0;
        bool running = true;
        std::vector<SimModule> modules;
        std::map<std::uint64_t, std::uint8_t> memory;
    };
    struct Handle
    {
        platform::ProcessId pid = 0;
        std::uint32_t access = 0;
    };

    Process* processOf(platform::ProcessHandle handle, std::uint32_t neededAccess); // under m_mutex
    bool fail(std::uint32_t error);

    SimDesktop& m_desktop;
    std::mutex m_mutex;
    std::map<platform::ProcessId, Process> m_processes;
    std::vector<platform::ProcessId> m_order;
    std::map<platform::ProcessHandle, Handle> m_handles;
    platform::ProcessId m_nextPid = 1000;
    platform::ProcessHandle m_nextHandle = 0x100;
    platform::ProcessId m_currentPid = 0;
    bool m_snapshotFails = false;
    std::function<std::optional<platform::CommandResult>(const std::u16string&,
                                                         const std::vector<std::u16string>&)>
        m_commandHandler;
    std::vector<CommandRecord> m_commands;
};

} // namespace sim
