#pragma once

// Start the program when the user logs in (Run key on Windows, XDG autostart entry on Linux).

#include <string>

namespace platform {

class Autostart
{
public:
    virtual ~Autostart() = default;
    virtual bool isEnabled(const std::u16string& entryName) = 0;
    // executablePath: the program's own executable with native separators.
    virtual bool enable(const std::u16string& entryName, const std::u16string& executablePath) = 0;
    virtual bool disable(const std::u16string& entryName) = 0;
};

} // namespace platform
