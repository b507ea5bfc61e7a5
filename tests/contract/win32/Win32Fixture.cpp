#include "Win32Fixture.h"

#include "platform/win32/Win32Services.h"
#include "wine/DialogTemplate.h"

#include <algorithm>
#include <cstdio>

namespace contract {

namespace {

using platform::WindowId;

HWND hwnd(WindowId window)
{
    return reinterpret_cast<HWND>(window);
}

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

struct HungStart
{
    HANDLE ready = nullptr;
    HANDLE release = nullptr;
    HWND window = nullptr;
};

bool runningUnderWine(std::string& version)
{
    using WineGetVersion = const char*(CDECL*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto getVersion = ntdll ? reinterpret_cast<WineGetVersion>(
                                  reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
                            : nullptr;
    if (!getVersion)
        return false;
    version = getVersion();
    return true;
}

} // namespace

Win32Fixture::Win32Fixture() : m_services(platform::win32Services()) {}

Win32Fixture::~Win32Fixture()
{
    while (!m_hungWindows.empty())
        releaseHungWindow(m_hungWindows.begin());
    for (HWND dialog : m_dialogs) {
        if (IsWindow(dialog))
            DestroyWindow(dialog);
    }
    for (IdleProcess& idle : m_idleProcesses) {
        if (WaitForSingleObject(idle.info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(idle.info.hProcess, 1);
        WaitForSingleObject(idle.info.hProcess, 5000);
        CloseHandle(idle.info.hProcess);
        DeleteFileW(idle.executable.c_str());
    }
    if (!m_idleFolder.empty())
        RemoveDirectoryW(m_idleFolder.c_str());
    if (!m_scratchKey.empty()) {
        RegDeleteTreeW(HKEY_CURRENT_USER, wide(m_scratchKey));
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZentrikClockContract");
    }
}

INT_PTR CALLBACK Win32Fixture::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<Win32Fixture*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_COMMAND && self) {
        self->m_commands[dialog].push_back({wParam, lParam});
        // Esc, WM_CLOSE and a Cancel button all arrive as IDCANCEL: the dialog closes, as a
        // trading client's order dialog does.
        if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED)
            DestroyWindow(dialog);
        return TRUE;
    }
    return FALSE;
}

WindowId Win32Fixture::createDialog(const std::u16string& title, const std::vector<ChildSpec>& children)
{
    // Staggered near the top left, clear of the bottom-right corner the input cases click in.
    const short offset = static_cast<short>(10 * (m_dialogs.size() % 8));
    winetest::DialogTemplate dialogTemplate(title, static_cast<short>(10 + offset),
                                            static_cast<short>(10 + offset), 140,
                                            static_cast<short>(20 + 14 * children.size()), children.size());
    short y = 5;
    for (const ChildSpec& child : children) {
        DWORD style = 0;
        if (child.visible)
            style |= WS_VISIBLE;
        if (!child.enabled)
            style |= WS_DISABLED;
        if (child.className == u"Edit")
            style |= WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
        else if (child.className == u"Button")
            style |= WS_TABSTOP | BS_PUSHBUTTON;
        dialogTemplate.addItem(child.className, child.text, style, static_cast<WORD>(child.controlId), 5, y,
                               120, 12);
        y = static_cast<short>(y + 14);
    }
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate.data(), nullptr,
                                             dialogProc, reinterpret_cast<LPARAM>(this));
    if (!dialog) {
        std::printf("# CreateDialogIndirectParamW failed: %lu\n", GetLastError());
        return 0;
    }
    m_dialogs.push_back(dialog);
    return reinterpret_cast<WindowId>(dialog);
}

std::vector<CommandRecord> Win32Fixture::commandsReceived(WindowId dialog)
{
    auto it = m_commands.find(hwnd(dialog));
    return it == m_commands.end() ? std::vector<CommandRecord>() : it->second;
}

void Win32Fixture::destroyWindow(WindowId window)
{
    auto hung = m_hungWindows.find(hwnd(window));
    if (hung != m_hungWindows.end()) {
        releaseHungWindow(hung);
        return;
    }
    if (IsWindow(hwnd(window)))
        DestroyWindow(hwnd(window));
    m_dialogs.erase(std::remove(m_dialogs.begin(), m_dialogs.end(), hwnd(window)), m_dialogs.end());
}

DWORD WINAPI Win32Fixture::hungThread(void* context)
{
    auto* start = static_cast<HungStart*>(context);
    // Hidden and never activated: activation changes elsewhere must not wait on this thread.
    HWND window = CreateWindowExW(WS_EX_NOACTIVATE, L"Static", L"hung", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    HANDLE release = start->release;
    start->window = window;
    SetEvent(start->ready);
    // From here on this thread answers no message until it is released.
    WaitForSingleObject(release, INFINITE);
    if (window)
        DestroyWindow(window);
    return 0;
}

WindowId Win32Fixture::createHungWindow()
{
    HungStart start;
    start.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    start.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, hungThread, &start, 0, nullptr);
    if (thread)
        WaitForSingleObject(start.ready, INFINITE);
    CloseHandle(start.ready);
    if (!thread || !start.window) {
        if (thread) {
            SetEvent(start.release);
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        CloseHandle(start.release);
        return 0;
    }
    m_hungWindows[start.window] = {start.window, thread, start.release};
    return reinterpret_cast<WindowId>(start.window);
}

void Win32Fixture::releaseHungWindow(std::map<HWND, HungWindow>::iterator hung)
{
    SetEvent(hung->second.release);
    WaitForSingleObject(hung->second.thread, INFINITE);
    CloseHandle(hung->second.thread);
    CloseHandle(hung->second.release);
    m_hungWindows.erase(hung);
}

void Win32Fixture::processEvents(int ms)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // Dialog keyboard handling (Esc → IDCANCEL) happens in the message loop, as in a
            // trading client's modal loop.
            const bool dialogMessage = std::any_of(m_dialogs.begin(), m_dialogs.end(), [&](HWND dialog) {
                return IsWindow(dialog) && IsDialogMessageW(dialog, &msg);
            });
            if (!dialogMessage) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

platform::ProcessId Win32Fixture::knownProcess(std::u16string& expectedImagePath)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    expectedImagePath = reinterpret_cast<const char16_t*>(path);
    return GetCurrentProcessId();
}

std::uint64_t Win32Fixture::knownMemory(const std::string& bytes)
{
    m_memory.push_back(bytes);
    return reinterpret_cast<std::uintptr_t>(m_memory.back().data());
}

platform::ProcessId Win32Fixture::startIdleProcess(const std::u16string& imageName)
{
    if (m_idleFolder.empty()) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_idleFolder = std::wstring(temp) + L"zk-contract-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_idleFolder.c_str(), nullptr);
    }
    // A copy of this program under the wanted name: "taskkill /IM" then finds it, and only it.
    IdleProcess idle;
    idle.executable = m_idleFolder + L"\\" + reinterpret_cast<const wchar_t*>(imageName.c_str());
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!CopyFileW(self, idle.executable.c_str(), FALSE))
        return 0;
    std::wstring commandLine =
        L"\"" + idle.executable + L"\" --idle " + std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(idle.executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &idle.info)) {
        DeleteFileW(idle.executable.c_str());
        return 0;
    }
    CloseHandle(idle.info.hThread);
    m_idleProcesses.push_back(idle);
    return idle.info.dwProcessId;
}

int Win32Fixture::runIdle(DWORD parentPid)
{
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentPid);
    WaitForSingleObject(parent ? parent : GetCurrentProcess(), 60000);
    return 0;
}

std::u16string Win32Fixture::scratchRegistryKey()
{
    if (m_scratchKey.empty()) {
        m_scratchKey = u"Software\\ZentrikClockContract\\run-";
        for (char digit : std::to_string(GetCurrentProcessId()))
            m_scratchKey += static_cast<char16_t>(digit);
    }
    return m_scratchKey;
}

bool Win32Fixture::deliversForegroundEvents(std::string& whyNot)
{
    std::string version;
    if (!runningUnderWine(version))
        return true;
    whyNot = "Wine " + version +
             " raises no EVENT_SYSTEM_FOREGROUND WinEvents, so foreground changes never reach a hook";
    return false;
}

bool Win32Fixture::findsAfterChildOfOtherClass(std::string& whyNot)
{
    std::string version;
    if (!runningUnderWine(version))
        return true;
    whyNot = "Wine " + version +
             "'s FindWindowExW looks for childAfter among the children of the searched class only, "
             "and finds nothing when it has another class";
    return false;
}

} // namespace contract
