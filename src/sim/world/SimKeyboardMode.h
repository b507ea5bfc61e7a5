#pragma once

// The program on the real desktop (this machine's windows and trading clients, the Windows or the
// X11 backend) with simulated trading keyboards in place of the USB ones: "--sim-keyboard" or
// ZENTRIK_SIM_KEYBOARD=1. Tests of the whole program beside a real (or fake) trading client use
// it; the demo (DemoWorld) simulates the desktop as well.
//
// ZENTRIK_SIM_KEYBOARDS keyboards (1 when unset, as in the demo), plugged in; with
// ZENTRIK_SIM_CONTROL=<file> the commands of KeyboardCommands.h are read from that file. A trade
// key (also in the keyboard's split mode) makes the keyboard type the TDX hot key of its trade into
// the window in front, as the real keyboard's keys interface does: F9 for the buys (闪电买入), F10
// for the margin buys (闪电融资买入), F11 for the sells (闪电卖出), through the installed desktop's
// keybd_event. Other keys type nothing.

#include "platform/api/Platform.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <memory>

class CommandFile;

namespace sim {
class KeyboardSimulator;
}

class SimKeyboardMode : public QObject
{
    Q_OBJECT

public:
    static bool requested(const QStringList& arguments);

    explicit SimKeyboardMode(int keyboards = 1, QObject* parent = nullptr);
    ~SimKeyboardMode() override;

    // Puts the simulated keyboards behind the HID seam (hid and hidPorts); the rest stays.
    void installInto(platform::Services& services) const;
    sim::KeyboardSimulator& keyboards() { return *m_keyboards; }
    // One command line; false when it is not understood.
    bool runCommand(const QString& line);

private:
    void typeHotKey(std::uint8_t command, std::uint8_t keyFunction);

    std::unique_ptr<sim::KeyboardSimulator> m_keyboards;
    CommandFile* m_commands = nullptr;
};
