#pragma once

// Global hot keys on the simulated desktop: registrations are recorded, a combination another
// program holds is refused, and press() stands for the user pressing a combination.

#include "platform/api/Hotkeys.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace sim {

class SimHotkeys : public platform::Hotkeys
{
public:
    int registerHotkey(std::uint32_t modifiers, std::uint32_t virtualKey,
                       std::function<void()> onPressed) override;
    void unregisterHotkey(int id) override;
    bool handleNativeEvent(const void* message) override;

    // Runs the callback of the registered combination on the calling thread; false when none.
    bool press(std::uint32_t modifiers, std::uint32_t virtualKey);
    bool isRegistered(std::uint32_t modifiers, std::uint32_t virtualKey);
    // Another program already holds this combination.
    void takeByOtherProgram(std::uint32_t modifiers, std::uint32_t virtualKey);

private:
    struct Entry
    {
        std::uint32_t modifiers = 0;
        std::uint32_t virtualKey = 0;
        std::function<void()> onPressed;
    };
    std::mutex m_mutex;
    std::map<int, Entry> m_entries;
    std::set<std::pair<std::uint32_t, std::uint32_t>> m_taken;
    int m_nextId = 1;
};

} // namespace sim
