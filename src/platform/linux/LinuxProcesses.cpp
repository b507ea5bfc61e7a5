#include "LinuxProcesses.h"

#include "platform/api/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

constexpr std::uint32_t ErrorAccessDenied = 5;
constexpr std::uint32_t ErrorInvalidHandle = 6;
constexpr std::uint32_t ErrorNotEnoughMemory = 8;
constexpr std::uint32_t ErrorInvalidParameter = 87;
constexpr std::uint32_t ErrorPartialCopy = 299;

thread_local std::uint32_t t_lastError = 0;

void fail(std::uint32_t error)
{
    t_lastError = error;
}

void failFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        fail(ErrorAccessDenied);
        break;
    case ENOMEM:
        fail(ErrorNotEnoughMemory);
        break;
    case EFAULT:
        fail(ErrorPartialCopy);
        break;
    default:
        fail(ErrorInvalidParameter);
        break; // ENOENT, ESRCH: the process is gone
    }
}

std::string procPath(ProcessId pid, const char* entry)
{
    return "/proc/" + std::to_string(pid) + "/" + entry;
}

struct Stat
{
    ProcessId parentPid = 0;
    std::string comm;
    unsigned long long startTime = 0;
};

// /proc/<pid>/stat: "pid (comm) state ppid ... starttime ...". comm may itself hold spaces and
// parentheses, so the fields are counted from the last ')'.
bool readStat(ProcessId pid, Stat& stat)
{
    std::ifstream file(procPath(pid, "stat"));
    std::string line;
    if (!file || !std::getline(file, line)) {
        errno = ENOENT;
        return false;
    }
    const std::size_t open = line.find('(');
    const std::size_t close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;
    stat.comm = line.substr(open + 1, close - open - 1);
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int index = 3; fields >> field; ++index) { // field 3 is the state
        if (index == 4)
            stat.parentPid = static_cast<ProcessId>(std::strtoul(field.c_str(), nullptr, 10));
        if (index == 22) {
            stat.startTime = std::strtoull(field.c_str(), nullptr, 10);
            return true;
        }
    }
    return false;
}

// The kernel appends " (deleted)" to the paths of files removed since they were mapped.
void dropDeletedMark(std::string& path)
{
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
}

bool readExeLink(ProcessId pid, std::string& path)
{
    char buffer[4096];
    const ssize_t length = readlink(procPath(pid, "exe").c_str(), buffer, sizeof buffer);
    if (length <= 0)
        return false;
    path.assign(buffer, static_cast<std::size_t>(length));
    dropDeletedMark(path);
    return true;
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool LinuxProcesses::snapshot(std::vector<ProcessEntry>& out)
{
    out.clear();
    DIR* proc = opendir("/proc");
    if (!proc) {
        failFromErrno(errno);
        return false;
    }
    while (const dirent* entry = readdir(proc)) {
        const char* name = entry->d_name;
        if (!*name ||
            !std::all_of(name, name + std::strlen(name), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const auto pid = static_cast<ProcessId>(std::strtoul(name, nullptr, 10));
        Stat stat;
        if (!readStat(pid, stat))
            continue; // ended while we looked
        std::string exe;
        ProcessEntry process;
        process.pid = pid;
        process.parentPid = stat.parentPid;
        process.exeFile = fromUtf8(readExeLink(pid, exe) ? baseName(exe) : stat.comm);
        out.push_back(std::move(process));
    }
    closedir(proc);
    return true;
}

ProcessId LinuxProcesses::currentProcessId()
{
    return static_cast<ProcessId>(getpid());
}

ProcessHandle LinuxProcesses::openProcess(std::uint32_t desiredAccess, ProcessId pid)
{
    Stat stat;
    if (pid == 0 || !readStat(pid, stat)) {
        fail(ErrorInvalidParameter);
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    const ProcessHandle handle = m_nextHandle;
    m_nextHandle += 4;
    m_handles[handle] = Opened{pid, desiredAccess, stat.startTime};
    return handle;
}

void LinuxProcesses::closeHandle(ProcessHandle handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handles.erase(handle);
}

bool LinuxProcesses::resolve(ProcessHandle handle, Opened& opened)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_handles.find(handle);
        if (it == m_handles.end()) {
            fail(ErrorInvalidHandle);
            return false;
        }
        opened = it->second;
    }
    Stat stat;
    if (!readStat(opened.pid, stat) || stat.startTime != opened.startTime) {
        fail(ErrorInvalidParameter);
        return false;
    }
    return true;
}

bool LinuxProcesses::queryFullProcessImageName(ProcessHandle handle, std::u16string& path)
{
    Opened opened;
    if (!resolve(handle, opened))
        return false;
    if (!(opened.access & (access::QueryInformation | access::QueryLimitedInformation))) {
        fail(ErrorAccessDenied);
        return false;
    }
    std::string link;
    if (!readExeLink(opened.pid, link)) {
        failFromErrno(errno);
        return false;
    }
    path = fromUtf8(link);
    return true;
}

bool LinuxProcesses::isWow64Process(ProcessHandle handle, bool* wow64)
{
    Opened opened;
    if (!resolve(handle, opened))
        return false;
    if (!(opened.access & (access::QueryInformation | access::QueryLimitedInformation))) {
        fail(ErrorAccessDenied);
        return false;
    }
    if (wow64)
        *wow64 = false;
    return true;
}

bool LinuxProcesses::enumProcessModules(ProcessHandle handle, ModuleFilter, std::vector<ModuleEntry>& out)
{
    out.clear();
    Opened opened;
    if (!resolve(handle, opened))
        return false;
    if (!(opened.access & access::QueryInformation) || !(opened.access & access::VmRead)) {
        fail(ErrorAccessDenied);
        return false;
    }
    std::ifstream maps(procPath(opened.pid, "maps"));
    if (!maps) {
        failFromErrno(errno == 0 ? EACCES : errno);
        return false;
    }
    // "start-end perms offset dev inode   path"; mappings come in address order. A module is a file
    // with code mapped (an executable, a shared library), not a mapped data file; its base is its
    // first mapping, which holds the headers and comes before the code.
    struct Mapped
    {
        std::string path;
        std::uint64_t base = 0;
        bool code = false;
    };
    std::vector<Mapped> files;
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long long start = 0;
        char permissions[5] = {};
        int pathAt = 0;
        if (std::sscanf(line.c_str(), "%llx-%*llx %4s %*s %*s %*s %n", &start, permissions, &pathAt) < 2 ||
            pathAt <= 0)
            continue;
        const std::string path = line.substr(static_cast<std::size_t>(pathAt));
        if (path.empty() || path[0] != '/')
            continue; // anonymous memory, the heap, the stack, [vdso]
        auto it = std::find_if(files.begin(), files.end(), [&](const Mapped& m) { return m.path == path; });
        if (it == files.end())
            it = files.insert(files.end(), Mapped{path, start, false});
        it->code = it->code || permissions[2] == 'x';
    }
    for (const Mapped& file : files) {
        if (!file.code)
            continue;
        std::string path = file.path;
        dropDeletedMark(path);
        out.push_back(ModuleEntry{baseName(path), file.base});
    }
    return true;
}

bool LinuxProcesses::readProcessMemory(ProcessHandle handle, std::uint64_t address, void* buffer,
                                       std::size_t size, std::size_t* bytesRead)
{
    if (bytesRead)
        *bytesRead = 0;
    Opened opened;
    if (!resolve(handle, opened))
        return false;
    if (!(opened.access & access::VmRead)) {
        fail(ErrorAccessDenied);
        return false;
    }
    if (size == 0)
        return true;
    iovec local{buffer, size};
    iovec remote{reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), size};
    const ssize_t n = process_vm_readv(static_cast<pid_t>(opened.pid), &local, 1, &remote, 1, 0);
    if (n < 0) {
        failFromErrno(errno);
        return false;
    }
    if (bytesRead)
        *bytesRead = static_cast<std::size_t>(n);
    if (static_cast<std::size_t>(n) < size) {
        fail(ErrorPartialCopy);
        return false;
    }
    return true;
}

std::uint32_t LinuxProcesses::lastError()
{
    return t_lastError;
}

namespace {

// Waits for the child to end, at most timeoutMs; true when it ended (status filled in).
bool waitForChild(pid_t pid, std::uint32_t timeoutMs, int& status)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto remainingMs = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<long long>(0, left.count()));
    };
    // A pidfd becomes readable when the process ends, so the wait needs no polling.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd fd{pidfd, POLLIN, 0};
        int ready;
        do {
            ready = poll(&fd, 1, remainingMs());
        } while (ready < 0 && errno == EINTR);
        close(pidfd);
        if (ready <= 0)
            return false;
        while (waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR)
                return false;
        }
        return true;
    }
    // Kernels before 5.3: look every few milliseconds.
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return true;
        if (done < 0 && errno != EINTR)
            return false;
        if (remainingMs() == 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(5, remainingMs())));
    }
}

} // namespace

CommandResult LinuxProcesses::runCommand(const std::u16string& program,
                                         const std::vector<std::u16string>& arguments,
                                         std::uint32_t timeoutMs)
{
    CommandResult result;
    std::vector<std::string> args;
    args.push_back(toUtf8(program));
    for (const std::u16string& argument : arguments)
        args.push_back(toUtf8(argument));
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so a time-out ends whatever it started too; default signal handling
    // and an empty mask, whatever this process has set up for itself.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        failFromErrno(error);
        return result;
    }
    result.started = true;

    int status = 0;
    if (!waitForChild(pid, timeoutMs, status)) {
        result.timedOut = true;
        kill(-pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return result;
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exitCode = 128 + WTERMSIG(status);
    return result;
}

} // namespace platform
