#pragma once

// The operating-system backends of this process, chosen once at start: the X11 backend on Linux
// (the Windows backend on Windows once it exists). While an object of this class lives, its
// backends are installed in platform::services() and the GUI thread's native events reach the
// global hot keys. Create it after the application object and destroy it before.

#include <memory>

class QAbstractNativeEventFilter;

class PlatformBackends
{
public:
    PlatformBackends();
    ~PlatformBackends();

    PlatformBackends(const PlatformBackends&) = delete;
    PlatformBackends& operator=(const PlatformBackends&) = delete;

    // Which backend was installed ("linux", or "none" where no backend is built in).
    const char* name() const { return m_name; }

private:
    const char* m_name = "none";
    std::unique_ptr<QAbstractNativeEventFilter> m_hotkeyFilter;
};
