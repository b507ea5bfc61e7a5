#pragma once

// Demo mode: the real program on simulated trading keyboards and, behind the platform seam, a
// simulated Windows desktop with a fake 通达信 (TDX) in front, running in real time. A newcomer
// without the hardware and the trading clients sees the clock, the keyboard answers and trade
// watching at work.
//
//   DemoWorld demo(DemoWorld::keyboardCountFromEnvironment());
//   platform::install(demo.services(hostServices)); // the host's desktop and hot keys stay
//
// Demo control: with ZENTRIK_SIM_CONTROL=<file> the demo reads commands appended to that file,
// one per line (KeyboardCommands.h: unplug, plug, press, split, switch on its keyboards; a key
// pressed makes the keyboard type the TDX hot key, TradeKeyTyping), and one of its own:
//   stock <code> <name> <price>   the stock the fake TDX shows, for the next order dialog
//
// A fake 同花顺 runs behind the TDX, installed in the application data directory ("demo-ths",
// its xiadan.ini kept between runs), with two trading configurations (一档, 二档) put into the
// configuration directory when it holds none, as an installation brings them.

#include "platform/api/Platform.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class CommandFile;

namespace sim {
class FakeThs;
class FakeTdx;
struct TdxLayout;
class KeyboardSimulator;
class SimSystem;
class TradeKeyTyping;
} // namespace sim

class DemoWorld : public QObject
{
    Q_OBJECT

public:
    // "--demo" among the arguments, or ZENTRIK_DEMO=1.
    static bool requested(const QStringList& arguments);
    // ZENTRIK_SIM_KEYBOARDS (0 … 8; 0 shows how the program refuses to run without a keyboard),
    // 1 when unset or unusable.
    static int keyboardCountFromEnvironment();

    // Keyboards ZK000001, ZK000002, …, plugged in; the trading desktop's events run on a thread
    // of their own. Commands are read when ZENTRIK_SIM_CONTROL names a file.
    explicit DemoWorld(int keyboards = 1, QObject* parent = nullptr);
    ~DemoWorld() override;

    // host with the simulated keyboards, trading desktop, processes, registry and autostart put
    // in; the host's desktop (the program's own windows) and hot keys stay.
    platform::Services services(const platform::Services& host) const;

    sim::KeyboardSimulator& keyboards() { return *m_keyboards; }
    sim::SimSystem& system() { return *m_system; }
    sim::FakeTdx& tdx() { return *m_tdx; }
    sim::FakeThs& ths() { return *m_ths; }
    sim::TradeKeyTyping& typing() { return *m_typing; }

    // The stock both clients show in their next order dialog, with the most the account can buy
    // or sell of it.
    struct Stock
    {
        QString code;
        QString name;
        QString price;
        long long maxQuantity = 10000;
    };
    void setStock(const Stock& stock);
    Stock stock() const { return m_stock; }

    enum class Client
    {
        Tdx,
        Ths
    };
    // Brings that client's main window to the front (the keyboard types into it), starting 同花顺
    // the first time it is asked for.
    void showClient(Client client);
    // Ends the TDX and starts it again laid out as that build (a broker's TDX), in front, with the
    // current stock. Refused (false) while one of its order dialogs is open: the program may be
    // reading it.
    bool restartTdx(const sim::TdxLayout& layout);

    // Follows commands appended to file from now on (what is in it already counts too).
    void followCommands(const QString& file);
    // One command line; false when it is not understood.
    bool runCommand(const QString& line);

private:
    void installThs();

    std::unique_ptr<sim::KeyboardSimulator> m_keyboards;
    std::unique_ptr<sim::SimSystem> m_system;
    std::unique_ptr<sim::FakeTdx> m_tdx;
    std::unique_ptr<sim::FakeThs> m_ths;
    Stock m_stock{QStringLiteral("600000"), QStringLiteral("浦发银行"), QStringLiteral("10.52")};
    std::unique_ptr<sim::TradeKeyTyping> m_typing;
    CommandFile* m_commands = nullptr;
};
