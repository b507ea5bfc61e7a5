#pragma once

// RegisterHotKey without a window: WM_HOTKEY is posted to the registering thread's queue (the GUI
// thread), where the native event filter hands it to handleNativeEvent.

#include "platform/api/Hotkeys.h"

#include <map>
#include <mutex>

namespace platform::win32 {

class Win32Hotkeys : public Hotkeys
{
public:
    ~Win32Hotkeys() override;

    int registerHotkey(std::uint32_t modifiers, std::uint32_t virtualKey,
                       std::function<void()> onPressed) override;
    void unregisterHotkey(int id) override;
    // message: a const MSG*.
    bool handleNativeEvent(const void* message) override;

private:
    std::mutex m_mutex;
    std::map<int, std::function<void()>> m_callbacks;
    int m_nextId = 1;
};

} // namespace platform::win32
