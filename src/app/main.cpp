// Process entry: one clock per user. A second start asks the first to show its clock and ends.
// "zentrikclock --demo" (or ZENTRIK_DEMO=1) runs on simulated keyboards and a simulated trading
// desktop, drawn beside the clock by the practice window; "zentrikclock --sim-keyboard" (or
// ZENTRIK_SIM_KEYBOARD=1) on simulated keyboards beside this machine's own trading clients.

#include "app/FatalError.h"
#include "app/MessageHandler.h"
#include "app/PlatformBackends.h"
#include "app/SingleApplication.h"
#include "clock/Widget.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "sim/practice/PracticeWindow.h"
#include "sim/world/DemoWorld.h"
#include "sim/world/SimKeyboardMode.h"
#include "trade/TradeTypes.h"

#include <memory>

namespace {

void setIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("灵拓键盘专业版"));
    QCoreApplication::setApplicationVersion(QStringLiteral("3.4.2"));
    QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("zentrik.com.cn"));
}

} // namespace

int main(int argc, char* argv[])
{
    // Before anything can log: the single-instance check already does.
    installMessageHandler();
    auto app = std::make_unique<SingleApplication>(argc, argv, QStringLiteral("keyboard"));
    if (app->isRunning())
        return 0;

    setIdentity();
    trade::registerMetaTypes();
    PlatformBackends backends(DemoWorld::requested(app->arguments())          ? PlatformBackends::Mode::Demo
                              : SimKeyboardMode::requested(app->arguments()) ? PlatformBackends::Mode::SimKeyboard
                                                                             : PlatformBackends::Mode::Normal);

    // The window goes before the backends and the application object, also after a failure.
    std::unique_ptr<Widget> window;
    std::unique_ptr<practice::PracticeWindow> practiceWindow;
    const int exitCode = runReportingFatalErrors([&] {
        window = std::make_unique<Widget>();
        QObject::connect(app.get(), &SingleApplication::instanceStarted, window.get(),
                         &Widget::activateFromOtherInstance);
        window->show();
        if (DemoWorld* demo = backends.demo()) {
            practiceWindow = std::make_unique<practice::PracticeWindow>(*demo);
            Widget* clock = window.get();
            practiceWindow->setRestrictionsChanged([clock] {
                if (Core::ConnectionManager* manager = clock->connectionManager())
                    emit manager->reloadCfg();
            });
            practiceWindow->show();
            window->raise(); // the clock stays on top of it
        }
        return app->exec();
    });
    practiceWindow.reset();
    window.reset();
    return exitCode;
}
