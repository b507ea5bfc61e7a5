#include "sim/world/KeyboardCommands.h"

#include "sim/keyboard/KeyboardSimulator.h"

#include <QDebug>
#include <QFile>
#include <QTimer>

#include <algorithm>

namespace {

// How often the command file is looked at: quick enough for a person or a test, cheap enough to
// go unnoticed.
constexpr int kCommandPollMs = 100;
constexpr std::uint8_t kToggleWorkState = 0x21;
constexpr std::uint8_t kWorkSwitchKey = 55;

} // namespace

bool runKeyboardCommand(sim::KeyboardSimulator& keyboards, const QStringList& words)
{
    if (words.size() < 2)
        return false;
    const QString command = words.at(0);
    const std::string serial = words.at(1).toStdString();
    const std::vector<std::string> known = keyboards.serialNumbers();
    if (std::find(known.begin(), known.end(), serial) == known.end())
        return false;
    if (command == QLatin1String("unplug") && words.size() == 2) {
        keyboards.unplug(serial);
    } else if (command == QLatin1String("plug") && words.size() == 2) {
        keyboards.plug(serial);
    } else if (command == QLatin1String("switch") && words.size() == 2) {
        // The keyboard switches itself and reports its new state, as for the program's toggle.
        keyboards.changeState(serial, [](sim::KeyboardState& state) { state.workState = !state.workState; });
        keyboards.keyEvent(serial, kToggleWorkState, kWorkSwitchKey);
    } else if ((command == QLatin1String("press") || command == QLatin1String("split")) && words.size() == 3) {
        bool ok = false;
        const int function = words.at(2).toInt(&ok);
        if (!ok || function < 0 || function > 255)
            return false;
        if (command == QLatin1String("press"))
            keyboards.pressTradeKey(serial, std::uint8_t(function));
        else
            keyboards.pressTradeKeyWithFlag(serial, std::uint8_t(function), 1);
    } else {
        return false;
    }
    return true;
}

CommandFile::CommandFile(Runner run, QObject* parent) : QObject(parent), m_run(std::move(run)) {}

void CommandFile::follow(const QString& file)
{
    m_file = file;
    m_offset = 0;
    if (!m_timer) {
        m_timer = new QTimer(this);
        connect(m_timer, &QTimer::timeout, this, &CommandFile::read);
    }
    m_timer->start(kCommandPollMs);
    read();
}

void CommandFile::read()
{
    QFile file(m_file);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (file.size() < m_offset) // started afresh
        m_offset = 0;
    file.seek(m_offset);
    m_partialLine += file.readAll();
    m_offset = file.pos();
    int end;
    while ((end = m_partialLine.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_partialLine.left(end)).trimmed();
        m_partialLine.remove(0, end + 1);
        if (line.isEmpty())
            continue;
        if (m_run(line))
            qDebug().noquote() << "Demo control:" << line;
        else
            qWarning().noquote() << "Demo control: not understood:" << line;
    }
}
