#pragma once

// The few registry values the program reads and writes (autostart Run key, THS install keys).

#include <string>

namespace platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

class Registry
{
public:
    virtual ~Registry() = default;
    // key: path below the root with backslashes ("Software\\HexinSoft"); REG_SZ values.
    virtual bool readString(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                            std::u16string& value) = 0;
    // Creates the key when missing.
    virtual bool writeString(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                             const std::u16string& value) = 0;
    // True when the value is gone afterwards (also when it did not exist).
    virtual bool removeValue(RegistryRoot root, const std::u16string& key, const std::u16string& name) = 0;
};

} // namespace platform
