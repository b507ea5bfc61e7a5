#include "Win32Hotkeys.h"

#include <windows.h>

namespace platform::win32 {

namespace {
// RegisterHotKey takes application ids in 0x0000..0xBFFF.
constexpr int LastApplicationId = 0xBFFF;
} // namespace

Win32Hotkeys::~Win32Hotkeys()
{
    for (const auto& entry : m_callbacks)
        UnregisterHotKey(nullptr, entry.first);
}

int Win32Hotkeys::registerHotkey(std::uint32_t modifiers, std::uint32_t virtualKey,
                                 std::function<void()> onPressed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nextId > LastApplicationId)
        return 0;
    const int id = m_nextId;
    if (!RegisterHotKey(nullptr, id, modifiers, virtualKey))
        return 0;
    ++m_nextId;
    m_callbacks[id] = std::move(onPressed);
    return id;
}

void Win32Hotkeys::unregisterHotkey(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_callbacks.erase(id))
        UnregisterHotKey(nullptr, id);
}

bool Win32Hotkeys::handleNativeEvent(const void* message)
{
    const MSG* msg = static_cast<const MSG*>(message);
    // Thread hot keys arrive without a window; a WM_HOTKEY for some window belongs to someone else.
    if (!msg || msg->message != WM_HOTKEY || msg->hwnd)
        return false;
    std::function<void()> callback;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_callbacks.find(static_cast<int>(msg->wParam));
        if (it == m_callbacks.end())
            return false;
        callback = it->second;
    }
    if (callback)
        callback();
    return true;
}

} // namespace platform::win32
