#include "app/PlatformBackends.h"

#include "platform/api/Diagnostics.h"
#include "platform/api/Platform.h"
#include "sim/world/DemoWorld.h"
#include "sim/world/SimKeyboardMode.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDebug>

#if defined(ZK_HAVE_PLATFORM_LINUX)
#include "platform/linux/LinuxHidApi.h"
#include "platform/linux/LinuxHidPorts.h"
#include "platform/linux/LinuxServices.h"
#include "platform/linux/X11Hotkeys.h"

#include <QX11Info>
#elif defined(ZK_HAVE_PLATFORM_WIN32)
#include "platform/win32/Win32HidApi.h"
#include "platform/win32/Win32Services.h"
#endif

namespace {

// Hands every native event of the GUI thread to the hot keys (a key press of a grabbed
// combination arrives here, not as a Qt key event).
class HotkeyEventFilter : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray&, void* message, long*) override
    {
        platform::Hotkeys* hotkeys = platform::services().hotkeys;
        return hotkeys && message && hotkeys->handleNativeEvent(message);
    }
};

void toQtMessages(platform::DiagnosticLevel level, const std::string& text)
{
    const QString line = QString::fromStdString(text);
    if (level == platform::DiagnosticLevel::Warning)
        qWarning().noquote() << line;
    else
        qDebug().noquote() << line;
}

} // namespace

PlatformBackends::PlatformBackends(Mode mode) : m_hotkeyFilter(std::make_unique<HotkeyEventFilter>())
{
    platform::setDiagnosticSink(toQtMessages);
    platform::Services os;
#if defined(ZK_HAVE_PLATFORM_LINUX)
    os = platform::linuxServices();
    if (QX11Info::isPlatformX11())
        platform::linuxHotkeys().setConnection(QX11Info::connection());
    m_name = "linux";
    if (mode == Mode::Normal) {
        os.hid = &platform::linuxHidApi();
        os.hidPorts = &platform::linuxHidPorts();
    }
#elif defined(ZK_HAVE_PLATFORM_WIN32)
    // Hot keys arrive as WM_HOTKEY in the GUI thread's messages (MSG*), device changes as
    // WM_DEVICECHANGE in USBRegistrationWidget's; both reach the win32 objects from there.
    os = platform::win32Services();
    m_name = "win32";
    if (mode == Mode::Normal)
        os.hid = &platform::win32::win32HidApi();
#endif
    if (mode == Mode::Demo) {
        m_demo = std::make_unique<DemoWorld>(DemoWorld::keyboardCountFromEnvironment());
        os = m_demo->services(os);
        m_name = "demo";
    } else if (mode == Mode::SimKeyboard) {
        m_simKeyboards = std::make_unique<SimKeyboardMode>(DemoWorld::keyboardCountFromEnvironment());
        m_simKeyboards->installInto(os);
    }
    platform::install(os);
    QCoreApplication::instance()->installNativeEventFilter(m_hotkeyFilter.get());
}

PlatformBackends::~PlatformBackends()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(m_hotkeyFilter.get());
#if defined(ZK_HAVE_PLATFORM_LINUX)
    // The grabs live on Qt's connection, which closes with the application object.
    platform::linuxHotkeys().setConnection(nullptr);
#endif
    platform::install(platform::Services());
    m_demo.reset();
    m_simKeyboards.reset();
    platform::setDiagnosticSink(nullptr);
}
