#pragma once

// The whole program on a simulated trading desk, in real time, in this process: the clock window
// (which starts the keyboard link and, through it, trade automation) on simulated keyboards, and a
// simulated Windows desktop running its events on a thread of its own with a fake TDX or THS in
// front. The keyboards type the clients' hot keys (sim::TradeKeyTyping), so a trade key pressed
// on a simulated keyboard travels the way it does on a real desk:
//
//   keyboard frame → connection → manager → worker's trade type
//   keyboard typing → client's order dialog → desktop watcher → control detector → worker
//   worker → 0xA1 frames to the keyboards, notices spoken by the clock, clicks into the client
//
// What the scenario checks is what the outside world saw: the client's order book, the frames the
// keyboards received, the texts the clock spoke.

#include "clock/Widget.h"

#include <QMessageBox>
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/FakeThs.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "sim/world/TradeKeyTyping.h"

#include <QList>
#include <QPair>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

class ConfigManager;

namespace scenario {

using Pairs = QList<QPair<int, int>>;

// The clock with its speech recorded instead of spoken, and its message boxes (the worker's
// prompts among them) recorded and declined instead of waiting for a user.
class ProgramWindow : public Widget
{
public:
    QStringList spoken; // GUI thread only
    QStringList boxes;  // GUI thread only

protected:
    void speak(const QString& text) override { spoken.append(text); }
    int runMessageBox(QMessageBox& box) override
    {
        boxes.append(box.text());
        return QMessageBox::No;
    }
    bool runTdxConfigDialog(bool) override { return false; }
};

struct DeskSetup
{
    int keyboards = 1; // ZK000001, ZK000002, ... in multi-keyboard mode when more than one
    bool ths = false;  // a THS in front instead of the TDX
    sim::FakeTdxOptions tdx = sim::TradeKeyTyping::withHotkeys();
    sim::TradeKeyTypingOptions typing;
};

class TradingDesk
{
public:
    // Builds the simulated desk and installs it behind the platform seam; the program is not
    // started yet, so the settings can still be changed.
    explicit TradingDesk(const DeskSetup& setup = {});
    // The program goes first, then the desk; the platform seam is emptied.
    ~TradingDesk();
    TradingDesk(const TradingDesk&) = delete;
    TradingDesk& operator=(const TradingDesk&) = delete;

    // Starts the program, waits until every keyboard is connected (and, with several, in step),
    // switches trading mode on through the keyboard and waits until trade watching has settled
    // on the client in front. False (with the reason in failure()) when it does not get there.
    bool startTrading(int timeoutMs = 15000);
    QString failure() const { return m_failure; }

    // The key on keyboard index (0 = ZK000001).
    void press(int keyFunction, bool splitMode = false, int keyboard = 0);
    // The program has finished with the window in front: the watcher classified it, the worker's
    // transaction for it is over and nothing is running.
    bool settled();
    // The watcher classified the window in front and the worker is not working on it: finished,
    // or its time for the window ran out with the dialog left to the user. (Also true for a
    // moment before the worker takes a window up; ask twice, with events processed between.)
    bool idle();
    // The window of the client in front at the start (TDX or THS main window).
    platform::WindowId mainWindow() const;
    platform::WindowId foregroundWindow();
    std::u16string foregroundTitle();

    std::string serial(int keyboard = 0) const { return m_serials.at(std::size_t(keyboard)); }
    Pairs tradeActions(int keyboard = 0) const;
    // Orders of the book as "Tdx Buy 600000 浦发银行 10.52 300" (+ " rejected" when refused).
    QStringList orders();
    void clearRecords();

    ProgramWindow* program() const { return m_program.get(); }
    Core::ConnectionManager* manager() const;

    sim::KeyboardSimulator keyboards;
    sim::SimSystem system;
    std::unique_ptr<sim::FakeTdx> tdx;
    std::unique_ptr<sim::FakeThs> ths;
    sim::TradeKeyTyping typing;

private:
    bool waitFor(const std::function<bool()>& condition, int timeoutMs, const QString& what);

    std::vector<std::string> m_serials;
    std::unique_ptr<ProgramWindow> m_program;
    QString m_failure;
};

// The settings every scenario starts from are the program's defaults (a fresh installation);
// this resets the store between scenarios of one process.
void freshInstallation();

QString orderText(const sim::Order& order);

} // namespace scenario
