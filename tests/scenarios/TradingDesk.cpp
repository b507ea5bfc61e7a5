#include "TradingDesk.h"

#include "config/ConfigManager.h"
#include "keyboardlink/connection/RawHIDConnection.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardlink/protocol/DataParser.h"
#include "platform/api/Clock.h"
#include "platform/api/Platform.h"
#include "trade/DesktopWatcher.h"
#include "trade/EditBoxChangeWorker.h"
#include "trade/StateMachine.h"

#include <QDir>
#include <QStandardPaths>
#include <QtTest>

namespace scenario {

void freshInstallation()
{
    ConfigManager::destroyInstance();
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    // What a new start of the program would have forgotten.
    EditBoxChangeWorker::forgetProcessHistory();
}

QString orderText(const sim::Order& order)
{
    static const char* const kinds[] = {"Buy", "MarginBuy", "Sell", "Cancel", "CancelAll"};
    QString text =
        QStringLiteral("%1 %2 %3 %4 %5 %6")
            .arg(order.client == sim::Order::Client::Tdx ? QStringLiteral("Tdx") : QStringLiteral("Ths"))
            .arg(QLatin1String(kinds[int(order.kind)]))
            .arg(QString::fromStdU16String(order.code))
            .arg(QString::fromStdU16String(order.name))
            .arg(QString::fromStdU16String(order.price))
            .arg(order.quantity);
    if (order.status == sim::Order::Status::Rejected)
        text += QStringLiteral(" rejected");
    return text;
}

TradingDesk::TradingDesk(const DeskSetup& setup)
    : system(platform::systemClock()), typing(system, setup.typing)
{
    for (int i = 0; i < setup.keyboards; ++i)
        m_serials.push_back(keyboards.addKeyboard());
    if (setup.ths) {
        ths = std::make_unique<sim::FakeThs>(system);
        typing.setThs(ths.get());
    } else {
        tdx = std::make_unique<sim::FakeTdx>(system, setup.tdx);
        typing.setTdx(tdx.get());
    }
    typing.observe(keyboards);
    // The program's own windows have no place on the simulated desktop; hot keys go to it.
    platform::Services os = system.services(platform::Services());
    keyboards.installInto(os);
    platform::install(os);
    system.startEventThread();
    ConfigManager::instance()->setMultiKeyboardEnabled(setup.keyboards > 1);
}

TradingDesk::~TradingDesk()
{
    m_program.reset();
    typing.detach();
    typing.setTdx(nullptr);
    typing.setThs(nullptr);
    system.stopEventThread();
    platform::install(platform::Services());
}

Core::ConnectionManager* TradingDesk::manager() const
{
    return m_program ? m_program->connectionManager() : nullptr;
}

bool TradingDesk::waitFor(const std::function<bool()>& condition, int timeoutMs, const QString& what)
{
    if (QTest::qWaitFor(condition, timeoutMs))
        return true;
    m_failure = QStringLiteral("timed out waiting for ") + what;
    return false;
}

bool TradingDesk::startTrading(int timeoutMs)
{
    m_program = std::make_unique<ProgramWindow>();
    Core::ConnectionManager* m = manager();
    const int count = int(m_serials.size());
    if (!waitFor([m, count] { return m->keyboardCount() == count; }, timeoutMs,
                 QStringLiteral("the keyboards")))
        return false;
    // Several keyboards are put in step a second after they are connected; trading mode is
    // switched on after that, or the step would switch it off again.
    for (const std::string& s : m_serials) {
        if (count > 1 && !waitFor(
                             [this, s] {
                                 for (const auto& frame : keyboards.receivedFrameBytes(s)) {
                                     if (frame.size() > 1 && frame[1] == 0x31)
                                         return true;
                                 }
                                 return false;
                             },
                             timeoutMs, QStringLiteral("the keyboards in step")))
            return false;
    }
    if (!m->switchWorkState())
        m_failure = QStringLiteral("trading mode could not be asked for");
    if (!m_failure.isEmpty() ||
        !waitFor([m] { return m->watchersRunning() && m->desktopWatcher()->isHooked(); }, timeoutMs,
                 QStringLiteral("trade watching")))
        return false;
    if (!waitFor([this] { return settled() && foregroundWindow() == mainWindow(); }, timeoutMs,
                 QStringLiteral("the client's main window to be handled")))
        return false;
    clearRecords();
    return true;
}

void TradingDesk::press(int keyFunction, bool splitMode, int keyboard)
{
    if (splitMode)
        keyboards.pressTradeKeyWithFlag(serial(keyboard), std::uint8_t(keyFunction), 1);
    else
        keyboards.pressTradeKey(serial(keyboard), std::uint8_t(keyFunction));
}

bool TradingDesk::settled()
{
    return idle() && manager()->stateMachine()->step() == StateMachine::FinalStep;
}

bool TradingDesk::idle()
{
    Core::ConnectionManager* m = manager();
    if (!m || !m->watchersRunning())
        return false;
    return m->stateMachine()->window() == foregroundWindow() && !m->worker()->isRunning();
}

platform::WindowId TradingDesk::mainWindow() const
{
    return tdx ? tdx->mainWindow() : ths->mainWindow();
}

platform::WindowId TradingDesk::foregroundWindow()
{
    return system.desktop().foregroundWindow();
}

std::u16string TradingDesk::foregroundTitle()
{
    // GetWindowTextW: another program's title without a message, so a hung client answers too.
    char16_t title[256] = {};
    system.desktop().windowText(foregroundWindow(), title, 256);
    return title;
}

Pairs TradingDesk::tradeActions(int keyboard) const
{
    Pairs pairs;
    for (const auto& p : keyboards.tradeActions(serial(keyboard)))
        pairs.append({p.first, p.second});
    return pairs;
}

QStringList TradingDesk::orders()
{
    QStringList list;
    for (const sim::Order& o : system.orderBook().orders())
        list.append(orderText(o));
    return list;
}

void TradingDesk::clearRecords()
{
    for (const std::string& s : m_serials)
        keyboards.clearRecords(s);
    if (m_program)
        m_program->spoken.clear();
}

} // namespace scenario
