#include "SimRegistry.h"

#include "platform/api/Text.h"

namespace sim {

using platform::RegistryRoot;

namespace {
std::u16string fold(const std::u16string& key)
{
    std::u16string text = platform::lowerAscii(key);
    // "Software\\X\\" and "Software\\X" name the same key.
    while (!text.empty() && text.back() == u'\\')
        text.pop_back();
    return text;
}
} // namespace

bool SimRegistry::readString(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                             std::u16string& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto k = m_keys.find({root, fold(key)});
    if (k == m_keys.end())
        return false;
    auto v = k->second.find(fold(name));
    if (v == k->second.end())
        return false;
    value = v->second.data;
    return true;
}

bool SimRegistry::writeString(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                              const std::u16string& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_readOnly[root] || key.empty())
        return false;
    auto& values = m_keys[{root, fold(key)}];
    auto& v = values[fold(name)];
    if (v.name.empty())
        v.name = name;
    v.data = value;
    return true;
}

bool SimRegistry::removeValue(RegistryRoot root, const std::u16string& key, const std::u16string& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto k = m_keys.find({root, fold(key)});
    if (k == m_keys.end() || !k->second.count(fold(name)))
        return true;
    if (m_readOnly[root])
        return false;
    k->second.erase(fold(name));
    return true;
}

bool SimRegistry::keyExists(RegistryRoot root, const std::u16string& key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_keys.count({root, fold(key)}) > 0;
}

std::vector<std::pair<std::u16string, std::u16string>> SimRegistry::values(RegistryRoot root,
                                                                           const std::u16string& key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::pair<std::u16string, std::u16string>> out;
    auto k = m_keys.find({root, fold(key)});
    if (k != m_keys.end()) {
        for (auto& v : k->second)
            out.emplace_back(v.second.name, v.second.data);
    }
    return out;
}

void SimRegistry::deleteKey(RegistryRoot root, const std::u16string& key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::u16string folded = fold(key);
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        const bool below = it->first.first == root &&
                           (it->first.second == folded || it->first.second.rfind(folded + u"\\", 0) == 0);
        it = below ? m_keys.erase(it) : std::next(it);
    }
}

void SimRegistry::setReadOnly(RegistryRoot root, bool readOnly)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readOnly[root] = readOnly;
}

} // namespace sim
