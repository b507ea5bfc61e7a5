#include "SimAutostart.h"

namespace sim {

bool SimAutostart::isEnabled(const std::u16string& entryName)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries.count(entryName) > 0;
}

bool SimAutostart::enable(const std::u16string& entryName, const std::u16string& executablePath)
{
    if (entryName.empty() || executablePath.empty())
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries[entryName] = executablePath;
    return true;
}

bool SimAutostart::disable(const std::u16string& entryName)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.erase(entryName);
    return true;
}

std::u16string SimAutostart::command(const std::u16string& entryName)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_entries.find(entryName);
    return it == m_entries.end() ? std::u16string() : it->second;
}

} // namespace sim
