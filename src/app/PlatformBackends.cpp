#include "app/PlatformBackends.h"

#include "platform/api/Platform.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#if defined(ZK_HAVE_PLATFORM_LINUX)
#include "platform/linux/LinuxServices.h"
#include "platform/linux/X11Hotkeys.h"

#include <QX11Info>
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

} // namespace

PlatformBackends::PlatformBackends() : m_hotkeyFilter(std::make_unique<HotkeyEventFilter>())
{
#if defined(ZK_HAVE_PLATFORM_LINUX)
    platform::install(platform::linuxServices());
    if (QX11Info::isPlatformX11())
        platform::linuxHotkeys().setConnection(QX11Info::connection());
    m_name = "linux";
#endif
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
}
