// Process entry: one clock per user. A second start asks the first to show its clock and ends.

#include "app/MessageHandler.h"
#include "app/PlatformBackends.h"
#include "app/SingleApplication.h"
#include "clock/Widget.h"
#include "trade/TradeTypes.h"

#include <QMessageBox>

#include <exception>
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

void showFatalError(const QString& text)
{
    QMessageBox::critical(nullptr, QStringLiteral("程序异常"), text, QMessageBox::Ok);
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
    PlatformBackends backends;

    std::unique_ptr<Widget> window;
    try {
        window = std::make_unique<Widget>();
        QObject::connect(app.get(), &SingleApplication::instanceStarted, window.get(),
                         &Widget::activateFromOtherInstance);
        window->show();
        const int exitCode = app->exec();
        window.reset();
        return exitCode;
    } catch (const std::exception& e) {
        showFatalError(QStringLiteral("程序运行过程中发生异常:\n%1").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        showFatalError(QStringLiteral("程序运行过程中发生未知异常"));
    }
    window.reset();
    return 1;
}
