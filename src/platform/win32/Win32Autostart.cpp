#include "Win32Autostart.h"

namespace platform::win32 {

const std::u16string& Win32Autostart::runKey()
{
    static const std::u16string key = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    return key;
}

bool Win32Autostart::isEnabled(const std::u16string& entryName)
{
    std::u16string path;
    return m_registry.readString(RegistryRoot::CurrentUser, runKey(), entryName, path) && !path.empty();
}

bool Win32Autostart::enable(const std::u16string& entryName, const std::u16string& executablePath)
{
    return m_registry.writeString(RegistryRoot::CurrentUser, runKey(), entryName, executablePath);
}

bool Win32Autostart::disable(const std::u16string& entryName)
{
    return m_registry.removeValue(RegistryRoot::CurrentUser, runKey(), entryName);
}

} // namespace platform::win32
