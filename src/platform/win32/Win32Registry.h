#pragma once

// REG_SZ values below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE.

#include "platform/api/Registry.h"

namespace platform::win32 {

class Win32Registry : public Registry
{
public:
    bool readString(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                    std::u16string& value) override;
    bool writeString(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                     const std::u16string& value) override;
    bool removeValue(RegistryRoot root, const std::u16string& key, const std::u16string& name) override;
};

} // namespace platform::win32
