#pragma once

// The operating-system backends of this process, chosen once at start: the X11 backend with the
// keyboard's HID interfaces on Linux, the Win32 backend with hidapi's Windows backend on Windows,
// or the demo world (simulated keyboards and trading desktop, the host's own desktop and hot
// keys), or the system's backends with simulated keyboards in place of the HID ones
// (SimKeyboardMode). While an object of this class lives, its backends are installed in
// platform::services(), the platform layer's diagnostic lines go to the Qt message functions, and
// the GUI thread's native events reach the global hot keys. Create it after the application object
// and destroy it before.

#include <memory>

class DemoWorld;
class SimKeyboardMode;
class QAbstractNativeEventFilter;

class PlatformBackends
{
public:
    enum class Mode
    {
        Normal,
        Demo,
        SimKeyboard
    };

    explicit PlatformBackends(Mode mode = Mode::Normal);
    ~PlatformBackends();

    PlatformBackends(const PlatformBackends&) = delete;
    PlatformBackends& operator=(const PlatformBackends&) = delete;

    // Which backend was installed ("linux", "win32", "demo", or "none" where no backend is built
    // in; the system's name with simulated keyboards too).
    const char* name() const { return m_name; }
    // The demo world in demo mode, else null.
    DemoWorld* demo() const { return m_demo.get(); }
    // The simulated keyboards of Mode::SimKeyboard, else null.
    SimKeyboardMode* simKeyboards() const { return m_simKeyboards.get(); }

private:
    const char* m_name = "none";
    std::unique_ptr<QAbstractNativeEventFilter> m_hotkeyFilter;
    std::unique_ptr<DemoWorld> m_demo;
    std::unique_ptr<SimKeyboardMode> m_simKeyboards;
};
