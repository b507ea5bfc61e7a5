#include "sim/world/SimKeyboardMode.h"

#include "sim/keyboard/KeyboardSimulator.h"
#include "sim/world/KeyboardCommands.h"
#include "sim/world/TradeKeyTyping.h"

#include <QtGlobal>

namespace {

constexpr int kMaxKeyboards = 8;
constexpr std::uint8_t kTradeKey = 0xD0;
constexpr std::uint8_t kSplitModeTradeKey = 0xDF;

} // namespace

bool SimKeyboardMode::requested(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--sim-keyboard")) || qgetenv("ZENTRIK_SIM_KEYBOARD") == "1";
}

SimKeyboardMode::SimKeyboardMode(int keyboards, QObject* parent)
    : QObject(parent), m_keyboards(std::make_unique<sim::KeyboardSimulator>())
{
    for (int i = 0; i < qBound(0, keyboards, kMaxKeyboards); ++i)
        m_keyboards->addKeyboard();
    m_keyboards->setKeyEventObserver(
        [this](const std::string&, std::uint8_t command, std::uint8_t keyFunction) {
            typeHotKey(command, keyFunction);
        });
    const QString control = qEnvironmentVariable("ZENTRIK_SIM_CONTROL");
    if (!control.isEmpty()) {
        m_commands = new CommandFile([this](const QString& line) { return runCommand(line); }, this);
        m_commands->follow(control);
    }
}

SimKeyboardMode::~SimKeyboardMode()
{
    m_keyboards->setKeyEventObserver(nullptr);
}

void SimKeyboardMode::installInto(platform::Services& services) const
{
    m_keyboards->installInto(services);
}

bool SimKeyboardMode::runCommand(const QString& line)
{
    return runKeyboardCommand(*m_keyboards, line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

void SimKeyboardMode::typeHotKey(std::uint8_t command, std::uint8_t keyFunction)
{
    if (command != kTradeKey && command != kSplitModeTradeKey)
        return;
    using Typing = sim::TradeKeyTyping;
    int key = 0;
    switch (Typing::targetOf(keyFunction)) {
    case Typing::Target::FlashBuy:
        key = Typing::FlashBuyKey;
        break;
    case Typing::Target::MarginBuy:
        key = Typing::MarginBuyKey;
        break;
    case Typing::Target::FlashSell:
        key = Typing::FlashSellKey;
        break;
    default:
        return;
    }
    if (platform::Desktop* desktop = platform::services().desktop) {
        desktop->keybdEvent(std::uint8_t(key), false);
        desktop->keybdEvent(std::uint8_t(key), true);
    }
}
