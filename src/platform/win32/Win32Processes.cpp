#include "Win32Processes.h"

#include "Win32Text.h"

#include <psapi.h>
#include <tlhelp32.h>

namespace platform::win32 {

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

// Every failing call of this interface records why, for lastError().
bool failed()
{
    t_lastError = GetLastError();
    return false;
}

HANDLE handleOf(ProcessHandle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

bool Win32Processes::snapshot(std::vector<ProcessEntry>& out)
{
    out.clear();
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return failed();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry))
        out.push_back({entry.th32ProcessID, entry.th32ParentProcessID, fromWide(entry.szExeFile)});
    CloseHandle(snap);
    return true;
}

ProcessId Win32Processes::currentProcessId()
{
    return GetCurrentProcessId();
}

ProcessHandle Win32Processes::openProcess(std::uint32_t desiredAccess, ProcessId pid)
{
    HANDLE process = OpenProcess(desiredAccess, FALSE, pid);
    if (!process)
        failed();
    return reinterpret_cast<ProcessHandle>(process);
}

void Win32Processes::closeHandle(ProcessHandle handle)
{
    if (handle)
        CloseHandle(handleOf(handle));
}

bool Win32Processes::queryFullProcessImageName(ProcessHandle handle, std::u16string& path)
{
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameW(handleOf(handle), 0, buffer, &size))
        return failed();
    path = fromWide(buffer);
    return true;
}

bool Win32Processes::isWow64Process(ProcessHandle handle, bool* wow64)
{
    BOOL value = FALSE;
    if (!IsWow64Process(handleOf(handle), &value))
        return failed();
    if (wow64)
        *wow64 = value;
    return true;
}

bool Win32Processes::enumProcessModules(ProcessHandle handle, ModuleFilter filter,
                                        std::vector<ModuleEntry>& out)
{
    out.clear();
    const DWORD listFlag = filter == ModuleFilter::Bits64 ? LIST_MODULES_64BIT : LIST_MODULES_32BIT;
    std::vector<HMODULE> modules(256);
    // Modules may be loaded between the two calls: ask again while the list grew.
    for (;;) {
        DWORD needed = 0;
        const DWORD bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!EnumProcessModulesEx(handleOf(handle), modules.data(), bytes, &needed, listFlag))
            return failed();
        if (needed <= bytes) {
            modules.resize(needed / sizeof(HMODULE));
            break;
        }
        modules.resize(needed / sizeof(HMODULE) + 16);
    }
    for (HMODULE module : modules) {
        char name[MAX_PATH] = {};
        if (!GetModuleBaseNameA(handleOf(handle), module, name, MAX_PATH))
            continue;
        out.push_back({name, reinterpret_cast<std::uint64_t>(module)});
    }
    return true;
}

bool Win32Processes::readProcessMemory(ProcessHandle handle, std::uint64_t address, void* buffer,
                                       std::size_t size, std::size_t* bytesRead)
{
    SIZE_T read = 0;
    const bool ok =
        ReadProcessMemory(handleOf(handle), reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)),
                          buffer, size, &read);
    if (bytesRead)
        *bytesRead = read;
    return ok || failed();
}

std::uint32_t Win32Processes::lastError()
{
    return t_lastError;
}

std::u16string Win32Processes::quoteArgument(const std::u16string& argument)
{
    if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == std::u16string::npos)
        return argument;
    std::u16string quoted = u"\"";
    std::size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless they precede a quote: then each must be doubled.
        quoted.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, u'\\');
    quoted += u'"';
    return quoted;
}

CommandResult Win32Processes::runCommand(const std::u16string& program,
                                         const std::vector<std::u16string>& arguments,
                                         std::uint32_t timeoutMs)
{
    CommandResult result;
    std::u16string commandLine = quoteArgument(program);
    for (const auto& argument : arguments)
        commandLine += u' ' + quoteArgument(argument);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // No application name: the system looks the program up (own folder, system folders, PATH)
    // and appends ".exe", as a shell would for "taskkill".
    if (!CreateProcessW(nullptr, wide(commandLine.data()), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
        failed();
        return result;
    }
    CloseHandle(info.hThread);
    result.started = true;

    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(info.hProcess, &code))
            result.exitCode = static_cast<int>(code);
        else
            failed();
    } else {
        // Nothing is left running behind the caller's back.
        result.timedOut = true;
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 1000);
    }
    CloseHandle(info.hProcess);
    return result;
}

} // namespace platform::win32
