#include "Win32Registry.h"

#include "Win32Text.h"

namespace platform::win32 {

namespace {
HKEY rootKey(RegistryRoot root)
{
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}
} // namespace

bool Win32Registry::readString(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                               std::u16string& value)
{
    // RegGetValueW checks the type and guarantees a terminated string (RegQueryValueExW does neither).
    DWORD bytes = 0;
    LSTATUS status =
        RegGetValueW(rootKey(root), wide(key), wide(name), RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        std::u16string buffer(bytes / sizeof(char16_t) + 1, u'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(char16_t));
        status =
            RegGetValueW(rootKey(root), wide(key), wide(name), RRF_RT_REG_SZ, nullptr, buffer.data(), &size);
        if (status == ERROR_SUCCESS) {
            buffer.resize(std::char_traits<char16_t>::length(buffer.c_str()));
            value = std::move(buffer);
            return true;
        }
        bytes = size; // the value grew in between: try again with the new size
    }
    return false;
}

bool Win32Registry::writeString(RegistryRoot root, const std::u16string& key, const std::u16string& name,
                                const std::u16string& value)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(rootKey(root), wide(key), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(char16_t));
    const LSTATUS status =
        RegSetValueExW(handle, wide(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

bool Win32Registry::removeValue(RegistryRoot root, const std::u16string& key, const std::u16string& name)
{
    HKEY handle = nullptr;
    LSTATUS status = RegOpenKeyExW(rootKey(root), wide(key), 0, KEY_SET_VALUE, &handle);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return false;
    status = RegDeleteValueW(handle, wide(name));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace platform::win32
