#include "sim/world/DemoWorld.h"

#include "platform/api/Clock.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/FakeThs.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "sim/world/ClipboardBridge.h"
#include "sim/world/KeyboardCommands.h"
#include "sim/world/TradeKeyTyping.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTextCodec>

namespace {

constexpr int kMaxKeyboards = 8;

} // namespace

bool DemoWorld::requested(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--demo")) || qgetenv("ZENTRIK_DEMO") == "1";
}

int DemoWorld::keyboardCountFromEnvironment()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("ZENTRIK_SIM_KEYBOARDS", &ok);
    return ok && n >= 0 && n <= kMaxKeyboards ? n : 1;
}

DemoWorld::DemoWorld(int keyboards, QObject* parent)
    : QObject(parent), m_keyboards(std::make_unique<sim::KeyboardSimulator>()),
      m_system(std::make_unique<sim::SimSystem>(platform::systemClock()))
{
    for (int i = 0; i < qBound(0, keyboards, kMaxKeyboards); ++i)
        m_keyboards->addKeyboard();
    m_tdx = std::make_unique<sim::FakeTdx>(*m_system, sim::TradeKeyTyping::withHotkeys());
    // A trade key opens the TDX's order dialog, as the real keyboard's typing does.
    m_typing = std::make_unique<sim::TradeKeyTyping>(*m_system);
    m_typing->setTdx(m_tdx.get());
    m_typing->observe(*m_keyboards);
    installThs();
    // Made after it, 同花顺's main window lies above the TDX's, which keeps the foreground: the
    // TDX is raised as well, so that it is in front in every sense.
    m_system->desktop().bringWindowToTop(m_tdx->mainWindow());
    // The stock menu reads what TDX copies from the clipboard.
    bridgeClipboard(m_system->desktop(), this);
    m_system->startEventThread();

    const QString control = qEnvironmentVariable("ZENTRIK_SIM_CONTROL");
    if (!control.isEmpty())
        followCommands(control);
}

DemoWorld::~DemoWorld()
{
    m_typing.reset();
    m_system->stopEventThread();
    m_ths.reset();
    m_tdx.reset();
}

void DemoWorld::installThs()
{
    sim::FakeThsOptions options;
    options.activate = false; // the TDX stays in front
    m_ths = std::make_unique<sim::FakeThs>(*m_system, options);
    m_ths->setCurrentStock(m_stock.code.toStdU16String(), m_stock.name.toStdU16String());
    m_typing->setThs(m_ths.get());

    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString directory = data + QStringLiteral("/demo-ths");
    std::string ini = sim::FakeThs::defaultXiadanIni();
    QFile existing(directory + QStringLiteral("/xiadan.ini"));
    if (existing.open(QIODevice::ReadOnly))
        ini = existing.readAll().toStdString();
    if (m_ths->install(directory.toStdString(), ini).empty())
        qWarning().noquote() << "Demo: the fake THS could not be installed in" << directory;

    const QString configDir = data + QStringLiteral("/config");
    QDir().mkpath(configDir);
    if (!QDir(configDir).entryList({QStringLiteral("*.json")}, QDir::Files).isEmpty())
        return;
    const struct
    {
        const char* name;
        int buy;
        int sell;
    } configurations[] = {{"一档", 10000, 100}, {"二档", 20000, 200}};
    for (const auto& c : configurations) {
        const QString json =
            QStringLiteral("{\n    \"FloatSetting\": {\n        \"FloatSchemeList\": [\n"
                           "            {\"Index\": 0, \"Name\": \"%1\", \"AmountType\": 0, \"AmountNumber\": 0},\n"
                           "            {\"Index\": 1, \"Name\": \"定买\", \"AmountType\": 1, \"AmountNumber\": %2},\n"
                           "            {\"Index\": 2, \"Name\": \"定卖\", \"AmountType\": 0, \"AmountNumber\": %3},\n"
                           "            {\"Index\": 3, \"Name\": \"融买\", \"AmountType\": 1, \"AmountNumber\": %2}\n"
                           "        ]\n    }\n}\n")
                .arg(QString::fromUtf8(c.name))
                .arg(c.buy)
                .arg(c.sell);
        QFile file(configDir + QLatin1Char('/') + QString::fromUtf8(c.name) + QStringLiteral(".json"));
        if (file.open(QIODevice::WriteOnly))
            file.write(QTextCodec::codecForName("GB2312")->fromUnicode(json));
    }
}

void DemoWorld::setStock(const Stock& stock)
{
    m_stock = stock;
    m_tdx->setCurrentStock(stock.code.toStdU16String(), stock.name.toStdU16String(),
                           stock.price.toStdU16String());
    sim::TdxOrderOptions order = m_tdx->hotkeyOrder();
    order.maxQuantity = stock.maxQuantity;
    m_tdx->setHotkeyOrder(order);
    m_ths->setCurrentStock(stock.code.toStdU16String(), stock.name.toStdU16String());
}

void DemoWorld::showClient(Client client)
{
    if (client == Client::Tdx) {
        m_tdx->activate();
        return;
    }
    m_ths->activate();
}

bool DemoWorld::restartTdx(const sim::TdxLayout& layout)
{
    if (!m_tdx->orderDialogs().empty())
        return false;
    // No event of the old client may be running while it goes.
    m_system->stopEventThread();
    m_typing->setTdx(nullptr);
    sim::FakeTdxOptions options = m_tdx->options();
    options.layout = layout;
    options.hotkeyOrder = m_tdx->hotkeyOrder();
    m_tdx.reset();
    m_tdx = std::make_unique<sim::FakeTdx>(*m_system, options);
    setStock(m_stock);
    m_typing->setTdx(m_tdx.get());
    m_system->startEventThread();
    return true;
}

platform::Services DemoWorld::services(const platform::Services& host) const
{
    platform::Services os = m_system->services(host);
    // The user's own keys keep working on the host (Ctrl+Shift+Z and the others).
    if (host.hotkeys)
        os.hotkeys = host.hotkeys;
    m_keyboards->installInto(os);
    return os;
}

void DemoWorld::followCommands(const QString& file)
{
    if (!m_commands)
        m_commands = new CommandFile([this](const QString& line) { return runCommand(line); }, this);
    m_commands->follow(file);
}

bool DemoWorld::runCommand(const QString& line)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() == 4 && words.at(0) == QLatin1String("stock")) {
        setStock({words.at(1), words.at(2), words.at(3), m_stock.maxQuantity});
        return true;
    }
    return runKeyboardCommand(*m_keyboards, words);
}
