#pragma once

// Start-at-login entries of the simulated desktop, kept in memory.

#include "platform/api/Autostart.h"

#include <map>
#include <mutex>
#include <string>

namespace sim {

class SimAutostart : public platform::Autostart
{
public:
    bool isEnabled(const std::u16string& entryName) override;
    bool enable(const std::u16string& entryName, const std::u16string& executablePath) override;
    bool disable(const std::u16string& entryName) override;

    // The executable registered under the entry, empty when none.
    std::u16string command(const std::u16string& entryName);

private:
    std::mutex m_mutex;
    std::map<std::u16string, std::u16string> m_entries;
};

} // namespace sim
