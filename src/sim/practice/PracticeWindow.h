#pragma once

// 练习模式: the simulated trading desk on screen, beside the clock in demo mode. It draws the
// simulated desktop live (the client in front, its order dialogs and boxes), shows the order book
// and the keyboard's keys, and lets the user pick the stock, the client and its layout, and the
// buy restrictions — all with the mouse, with no keyboard and no money at risk.
//
// It owns no state of the simulation: every change the simulators announce (on any thread) is
// carried to the GUI thread and drawn from a snapshot they give.

#include "sim/desktop/DesktopSnapshot.h"
#include "sim/practice/OrderRows.h"
#include "sim/world/DemoWorld.h"

#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTableWidget;

namespace practice {

class ChangeRelay;
class DeskView;
class Keypad;

class PracticeWindow : public QWidget
{
    Q_OBJECT

public:
    struct Preset
    {
        QString label;
        DemoWorld::Stock stock;
    };
    // The stocks offered: a main-board stock, an ST stock, a STAR-market stock, a convertible bond.
    static QVector<Preset> presets();

    explicit PracticeWindow(DemoWorld& demo, QWidget* parent = nullptr);
    ~PracticeWindow() override;

    // Called after a buy restriction was switched (and written to the settings), so the program
    // reads its settings again.
    void setRestrictionsChanged(std::function<void()> callback) { m_restrictionsChanged = std::move(callback); }

    DeskView* desk() const { return m_desk; }
    Keypad* keypad() const { return m_keypad; }
    const std::vector<OrderRow>& orderRows() const { return m_rows; }
    // What the panel's choices do: a stock preset, the TDX layout (false while a TDX order
    // dialog is open), the client in front.
    void choosePreset(int index);
    bool chooseLayout(int index);
    void chooseClient(DemoWorld::Client client);

signals:
    // The window shows the model as it was after a change first announced at firstChangeNs
    // (ChangeRelay::nowNs()).
    void refreshed(qint64 firstChangeNs);

private:
    QWidget* makeStockPanel();
    QLayout* makeRestrictions(QWidget* box);
    void refresh(qint64 firstChangeNs);
    void refreshOrders();
    // The order the TDX dialog in front stands for, so that a buy the program refuses (and whose
    // dialog it closes) can be shown with its stock.
    void rememberOrderDialog(const sim::DesktopSnapshot& desk);
    void refreshKeyboard();
    void pressKey(int function);
    void clickButton(platform::WindowId button);
    void applyStock();
    std::string serial() const;

    DemoWorld& m_demo;
    ChangeRelay* m_relay;
    DeskView* m_desk;
    Keypad* m_keypad;
    QLabel* m_keyboardState;
    QLabel* m_status;
    QTableWidget* m_orders;
    QComboBox* m_presets = nullptr;
    QLineEdit* m_code = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_price = nullptr;
    QSpinBox* m_maximum = nullptr;
    QComboBox* m_layouts = nullptr;
    QRadioButton* m_tdx = nullptr;
    QRadioButton* m_ths = nullptr;
    int m_shownLayout = 0;
    std::function<void()> m_restrictionsChanged;

    // The rows shown, in the order they were first seen, and how much of each source they cover.
    std::vector<OrderRow> m_rows;
    std::size_t m_ordersSeen = 0;
    std::map<std::string, std::size_t> m_actionsSeen;
    OrderRow m_lastDialog; // client, kind, code, name, price; empty client when none was seen
};

} // namespace practice
