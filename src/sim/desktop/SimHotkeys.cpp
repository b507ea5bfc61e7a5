#include "SimHotkeys.h"

namespace sim {

int SimHotkeys::registerHotkey(std::uint32_t modifiers, std::uint32_t virtualKey,
                               std::function<void()> onPressed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_taken.count({modifiers, virtualKey}))
        return 0;
    for (auto& e : m_entries) {
        if (e.second.modifiers == modifiers && e.second.virtualKey == virtualKey)
            return 0; // RegisterHotKey fails for a combination that is already registered
    }
    const int id = m_nextId++;
    m_entries[id] = {modifiers, virtualKey, std::move(onPressed)};
    return id;
}

void SimHotkeys::unregisterHotkey(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.erase(id);
}

bool SimHotkeys::handleNativeEvent(const void*)
{
    return false;
}

bool SimHotkeys::press(std::uint32_t modifiers, std::uint32_t virtualKey)
{
    std::function<void()> callback;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& e : m_entries) {
            if (e.second.modifiers == modifiers && e.second.virtualKey == virtualKey)
                callback = e.second.onPressed;
        }
    }
    if (!callback)
        return false;
    callback();
    return true;
}

bool SimHotkeys::isRegistered(std::uint32_t modifiers, std::uint32_t virtualKey)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& e : m_entries) {
        if (e.second.modifiers == modifiers && e.second.virtualKey == virtualKey)
            return true;
    }
    return false;
}

void SimHotkeys::takeByOtherProgram(std::uint32_t modifiers, std::uint32_t virtualKey)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_taken.insert({modifiers, virtualKey});
}

} // namespace sim
