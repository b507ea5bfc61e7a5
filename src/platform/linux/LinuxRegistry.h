#pragma once

// Linux has no registry. Every call fails (false), removeValue included, so a caller never takes
// "nothing there" for something it did. The program's registry uses have Linux counterparts of
// their own: autostart is XdgAutostart, the THS install location is a setting.

#include "platform/api/Registry.h"

namespace platform {

class LinuxRegistry : public Registry
{
public:
    bool readString(RegistryRoot, const std::u16string&, const std::u16string&, std::u16string&) override
    {
        return false;
    }
    bool writeString(RegistryRoot, const std::u16string&, const std::u16string&,
                     const std::u16string&) override
    {
        return false;
    }
    bool removeValue(RegistryRoot, const std::u16string&, const std::u16string&) override { return false; }
};

} // namespace platform
