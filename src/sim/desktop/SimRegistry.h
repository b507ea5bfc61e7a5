#pragma once

// An in-memory registry behind platform::Registry. Key paths and value names compare without
// case, as in the Windows registry; the spelling first written is kept.

#include "platform/api/Registry.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace sim {

class SimRegistry : public platform::Registry
{
public:
    bool readString(platform::RegistryRoot root, const std::u16string& key, const std::u16string& name,
                    std::u16string& value) override;
    bool writeString(platform::RegistryRoot root, const std::u16string& key, const std::u16string& name,
                     const std::u16string& value) override;
    bool removeValue(platform::RegistryRoot root, const std::u16string& key,
                     const std::u16string& name) override;

    bool keyExists(platform::RegistryRoot root, const std::u16string& key);
    // The key's values as (name, data), in name order.
    std::vector<std::pair<std::u16string, std::u16string>> values(platform::RegistryRoot root,
                                                                  const std::u16string& key);
    // Removes the key and everything below it.
    void deleteKey(platform::RegistryRoot root, const std::u16string& key);
    // Writes fail from now on (a key the user may not change, e.g. below HKEY_LOCAL_MACHINE).
    void setReadOnly(platform::RegistryRoot root, bool readOnly);

private:
    struct Value
    {
        std::u16string name;
        std::u16string data;
    };
    using KeyId = std::pair<platform::RegistryRoot, std::u16string>; // path folded to lower case

    std::mutex m_mutex;
    std::map<KeyId, std::map<std::u16string, Value>> m_keys;
    std::map<platform::RegistryRoot, bool> m_readOnly;
};

} // namespace sim
