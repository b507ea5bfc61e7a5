#include "Win32Desktop.h"

#include "Win32Text.h"

#include <map>
#include <mutex>

namespace platform::win32 {

namespace {

HWND hwnd(WindowId window)
{
    return reinterpret_cast<HWND>(window);
}

WindowId id(HWND window)
{
    return reinterpret_cast<WindowId>(window);
}

BOOL CALLBACK collectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<WindowId>*>(list)->push_back(id(window));
    return TRUE;
}

// WinEvent callbacks carry no context: the installed hooks are looked up by their handle.
std::mutex& hooksMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<HWINEVENTHOOK, ForegroundCallback>& hooks()
{
    static std::map<HWINEVENTHOOK, ForegroundCallback> map;
    return map;
}

void CALLBACK foregroundChanged(HWINEVENTHOOK hook, DWORD event, HWND window, LONG, LONG, DWORD, DWORD)
{
    if (event != EVENT_SYSTEM_FOREGROUND)
        return;
    ForegroundCallback callback;
    {
        std::lock_guard<std::mutex> lock(hooksMutex());
        auto it = hooks().find(hook);
        if (it == hooks().end())
            return;
        callback = it->second;
    }
    callback(id(window));
}

class Win32ForegroundHook : public ForegroundHook
{
public:
    explicit Win32ForegroundHook(HWINEVENTHOOK hook) : m_hook(hook) {}
    ~Win32ForegroundHook() override
    {
        UnhookWinEvent(m_hook);
        std::lock_guard<std::mutex> lock(hooksMutex());
        hooks().erase(m_hook);
    }

private:
    HWINEVENTHOOK m_hook;
};

} // namespace

std::vector<WindowId> Win32Desktop::topLevelWindows()
{
    std::vector<WindowId> windows;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<WindowId> Win32Desktop::childWindows(WindowId parent)
{
    std::vector<WindowId> windows;
    if (parent)
        EnumChildWindows(hwnd(parent), collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

WindowId Win32Desktop::findWindowEx(WindowId parent, WindowId childAfter, const char16_t* className,
                                    const char16_t* windowName)
{
    return id(FindWindowExW(hwnd(parent), hwnd(childAfter), wide(className), wide(windowName)));
}

WindowId Win32Desktop::foregroundWindow()
{
    return id(GetForegroundWindow());
}

bool Win32Desktop::isWindow(WindowId window)
{
    return window && IsWindow(hwnd(window));
}

bool Win32Desktop::isWindowVisible(WindowId window)
{
    return IsWindowVisible(hwnd(window));
}

bool Win32Desktop::isWindowEnabled(WindowId window)
{
    return IsWindowEnabled(hwnd(window));
}

bool Win32Desktop::isIconic(WindowId window)
{
    return IsIconic(hwnd(window));
}

std::uint32_t Win32Desktop::windowStyle(WindowId window)
{
    return static_cast<std::uint32_t>(GetWindowLongW(hwnd(window), GWL_STYLE));
}

std::uint32_t Win32Desktop::windowExStyle(WindowId window)
{
    return static_cast<std::uint32_t>(GetWindowLongW(hwnd(window), GWL_EXSTYLE));
}

bool Win32Desktop::setWindowExStyle(WindowId window, std::uint32_t exStyle)
{
    // A previous value of 0 is also what failure returns; only the error code tells them apart.
    SetLastError(ERROR_SUCCESS);
    const LONG previous = SetWindowLongW(hwnd(window), GWL_EXSTYLE, static_cast<LONG>(exStyle));
    return previous != 0 || GetLastError() == ERROR_SUCCESS;
}

WindowId Win32Desktop::parentWindow(WindowId window)
{
    return id(GetParent(hwnd(window)));
}

int Win32Desktop::dlgCtrlId(WindowId window)
{
    return GetDlgCtrlID(hwnd(window));
}

ProcessId Win32Desktop::windowProcessId(WindowId window)
{
    DWORD pid = 0;
    if (!window || !GetWindowThreadProcessId(hwnd(window), &pid))
        return 0;
    return pid;
}

int Win32Desktop::className(WindowId window, char16_t* buffer, int bufferSize)
{
    return GetClassNameW(hwnd(window), wide(buffer), bufferSize);
}

int Win32Desktop::windowText(WindowId window, char16_t* buffer, int maxCount)
{
    return GetWindowTextW(hwnd(window), wide(buffer), maxCount);
}

bool Win32Desktop::setWindowText(WindowId window, const char16_t* text)
{
    return SetWindowTextW(hwnd(window), wide(text));
}

std::intptr_t Win32Desktop::sendMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                        std::intptr_t lParam)
{
    return SendMessageW(hwnd(window), message, wParam, lParam);
}

bool Win32Desktop::sendMessageTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam, std::uint32_t flags, std::uint32_t timeoutMs,
                                      std::uintptr_t* result)
{
    DWORD_PTR answer = 0;
    const bool ok =
        SendMessageTimeoutW(hwnd(window), message, wParam, lParam, flags, timeoutMs, &answer) != 0;
    if (ok && result)
        *result = answer;
    return ok;
}

bool Win32Desktop::postMessage(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam)
{
    return PostMessageW(hwnd(window), message, wParam, lParam);
}

bool Win32Desktop::setWindowPos(WindowId window, WindowId insertAfter, int x, int y, int cx, int cy,
                                std::uint32_t flags)
{
    return SetWindowPos(hwnd(window), hwnd(insertAfter), x, y, cx, cy, flags);
}

bool Win32Desktop::setForegroundWindow(WindowId window)
{
    return SetForegroundWindow(hwnd(window));
}

bool Win32Desktop::bringWindowToTop(WindowId window)
{
    return BringWindowToTop(hwnd(window));
}

WindowId Win32Desktop::setFocus(WindowId window)
{
    return id(SetFocus(hwnd(window)));
}

bool Win32Desktop::showWindow(WindowId window, int command)
{
    return ShowWindow(hwnd(window), command);
}

void Win32Desktop::keybdEvent(std::uint8_t virtualKey, bool keyUp)
{
    keybd_event(virtualKey, 0, keyUp ? KEYEVENTF_KEYUP : 0, 0);
}

unsigned Win32Desktop::sendInput(const Input* inputs, unsigned count)
{
    std::vector<INPUT> native(count);
    for (unsigned i = 0; i < count; ++i) {
        INPUT& in = native[i];
        in = INPUT{};
        if (inputs[i].type == Input::Type::Keyboard) {
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = inputs[i].vk;
            in.ki.dwFlags = inputs[i].flags;
        } else {
            in.type = INPUT_MOUSE;
            in.mi.dx = inputs[i].dx;
            in.mi.dy = inputs[i].dy;
            in.mi.dwFlags = inputs[i].flags;
        }
    }
    return count ? SendInput(count, native.data(), sizeof(INPUT)) : 0;
}

bool Win32Desktop::asyncKeyDown(int virtualKey)
{
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

bool Win32Desktop::cursorPos(int* x, int* y)
{
    POINT point{};
    if (!GetCursorPos(&point))
        return false;
    if (x)
        *x = point.x;
    if (y)
        *y = point.y;
    return true;
}

bool Win32Desktop::setCursorPos(int x, int y)
{
    return SetCursorPos(x, y);
}

ScreenSize Win32Desktop::screenSize()
{
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

std::unique_ptr<ForegroundHook> Win32Desktop::hookForeground(ForegroundCallback callback, Dispatcher)
{
    // Out-of-context events reach the installing thread through its own message loop, so the
    // callback already runs where the caller wants it: the dispatcher is not needed here.
    // The map is filled under the lock before any event can be looked up.
    std::lock_guard<std::mutex> lock(hooksMutex());
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                         foregroundChanged, 0, 0, WINEVENT_OUTOFCONTEXT);
    if (!hook)
        return nullptr;
    hooks()[hook] = std::move(callback);
    return std::make_unique<Win32ForegroundHook>(hook);
}

} // namespace platform::win32
