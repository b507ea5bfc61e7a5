#pragma once

// The command file of the simulated keyboards: lines appended to a file are read (every 100 ms,
// what is in it already counts too) and acted out, so that a test of the whole program can plug
// and unplug a keyboard of the running process and press its keys:
//   unplug <serial>               the keyboard is pulled out
//   plug <serial>                 and plugged in again
//   press <serial> <function>     a trade key (0xD0 with that key function, e.g. 13 for 1/3买)
//   split <serial> <function>     the same key in the keyboard's own split mode (0xDF)
//   switch <serial>               the 开关 key: the keyboard switches trading mode and reports it
// Demo mode and the simulated keyboards on the real desktop both read it (ZENTRIK_SIM_CONTROL).

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QTimer;

namespace sim {
class KeyboardSimulator;
}

// One of the commands above on these keyboards; false when it is not understood (also for a
// serial number the simulator does not have).
bool runKeyboardCommand(sim::KeyboardSimulator& keyboards, const QStringList& words);

class CommandFile : public QObject
{
    Q_OBJECT

public:
    // Each complete line (trimmed, not empty) goes to run; a line it does not understand
    // (false) is logged as "Demo control: not understood: <line>", one it did as
    // "Demo control: <line>".
    using Runner = std::function<bool(const QString& line)>;

    explicit CommandFile(Runner run, QObject* parent = nullptr);
    // Follows commands appended to file from now on (what is in it already counts too).
    void follow(const QString& file);

private:
    void read();

    Runner m_run;
    QString m_file;
    qint64 m_offset = 0;
    QByteArray m_partialLine;
    QTimer* m_timer = nullptr;
};
