#pragma once

// Start with Windows: a value named after the entry under the current user's Run key, holding the
// executable's path.

#include "platform/api/Autostart.h"
#include "platform/api/Registry.h"

namespace platform::win32 {

class Win32Autostart : public Autostart
{
public:
    explicit Win32Autostart(Registry& registry) : m_registry(registry) {}

    bool isEnabled(const std::u16string& entryName) override;
    bool enable(const std::u16string& entryName, const std::u16string& executablePath) override;
    bool disable(const std::u16string& entryName) override;

    static const std::u16string& runKey();

private:
    Registry& m_registry;
};

} // namespace platform::win32
