#pragma once

// The main window: a small frameless, translucent, always-on-top clock showing the time and the
// weekday, with a one-line info text under it. It owns (or will own) everything behind the
// clock: the keyboard link, the menus and tray icon, speech and alarms, the stock table.
//
// Pieces that belong to the keyboard link, the menus, speech and alarms, the stock lookup and the
// dialogs are marked where they plug in ("Keyboard link:", "Menus:", ...). Their entry points are
// the virtual functions of the "Hooks" section below, which the later pieces fill.

#include "keyboardui/KeyboardSettingsHost.h"
#include "trade/TradeTypes.h"

#include <QDateTime>
#include <QPoint>
#include <QString>
#include <QVector>
#include <QWidget>

class Clicker;
class DataParser;
class ForegroundClientCheck;
class QLabel;
class QTimer;
class QVBoxLayout;
class SettingsDialog;
class SoundReminder;
class SpeechManager;

namespace Core {
class ConnectionManager;
}

class Widget : public QWidget, public KeyboardSettingsHost
{
    Q_OBJECT

public:
    explicit Widget(QWidget* parent = nullptr);
    ~Widget() override;

    // The info label's font: the main font's family, weight and italic; the main size up to
    // 14 pt, above that a third of it but at least 14 pt.
    static QFont infoFontFor(const QFont& mainFont);
    // The style sheet of a clock label.
    static QString labelStyleSheet(const QColor& background, const QColor& text, const QFont& font);
    // Where the clock goes when no position is stored: three fifths across the primary screen's
    // free width, 100 px below the top of its available area.
    QPoint defaultPosition() const;

    // The clock tick and the work-off check at a given moment (the timers pass the platform
    // clock's time).
    void clockTick(const QDateTime& now);
    // True when the keyboards were switched out of trading mode at that moment.
    bool workOffCheck(const QDateTime& now);
    static bool isWorkOffTime(const QTime& time);

    bool isFixedPosition() const { return m_fixedPosition; }
    bool isAlwaysOnTop() const { return m_alwaysOnTop; }

    // The status line while the keyboard is in trading mode: software, trading on, typing speed
    // and buy price type ("通达信 | 交易中 | 高速 | 限价").
    static QString statusText(const DataParser& state);

    Core::ConnectionManager* connectionManager() const { return m_connectionManager; }
    SoundReminder* soundReminder() const { return m_soundReminder; }
    SpeechManager* speechManager() const { return m_speechManager; }
    ForegroundClientCheck* foregroundClientCheck() const { return m_clientCheck; }

    // ---- Keyboard settings dialog (高级设置): what it needs of the active keyboard, through the
    // connection manager. It is loaded from the active keyboard's answers in slot_update_dev_state.
    SettingsDialog* settingsDialog() const { return m_settingsDialog; }
    // A keyboard's reported state under the keys the dialog reads.
    static QVariantMap deviceSettingsOf(const DataParser& state);
    QVariantMap deviceSettings() const override;
    QString deviceSerialNumber() const override;
    QPoint focusPosition(int softType) const override;
    void setFocusPosition(int softType, const QPoint& position) override;
    bool setDeviceParameter(DevParamId paramId, const QVariant& value) override;
    bool devSave() override;
    bool isDeviceConnected() const override;
    void switchDeviceSoft(int softId) override;
    void devReload() override;
    void keyMapReload() override;
    bool setKeyMap(const QByteArray& keyMap) override;
    void setMultiKeyboardEnabled(bool enabled) override;

public slots:
    void slot_timeout();
    void checkAndMaintainTop();
    void applyAlwaysOnTop();
    void onAppChanged(int softwareId, int subtype);
    void activateFromOtherInstance();
    void applyLabelStyle(QLabel* label, const QColor& background, const QColor& text, const QFont& font);
    void onApplicationAboutToQuit();
    void quickCleanup();
    void stopAllTimers();

    // Menu commands this window needs itself: the activation from a second start resets the
    // appearance, and leaving the program saves the window's settings.
    void slot_action_reset_appearance_clicked();
    void slot_action_save_clicked();
    void slot_action_quit_clicked();
    // 键盘设置 ▸ 高级设置...: the keyboard settings dialog, loaded afresh, centred and modal.
    void slot_action_devSetting_clicked();

    // Targets of the global hot keys.
    virtual void showContextMenu();      // Ctrl+Shift+Space: order menu of the current client
    virtual void showStockContextMenu(); // Ctrl+`: stock menu
    virtual void startAutoClicking();    // Ctrl+Shift+Z: auto-clicker

    void onAppSwitchVerifyTimeout();
    void onPeriodicCheckTimeout();

    // A keyboard's answer (state frames and outcome reports).
    void slot_update_dev_state(DataParser* dataParser);
    // The order dialog worker's notices (through the connection manager): spoken.
    void onNotice(int action, int reason);
    // A trade the worker confirmed, with the time since its dialog came to the front.
    void onTradeCompleted(int tradeType, int elapsedMs);
    // A click on a 版面 page of TDX while trade watching runs.
    virtual void onTdxLayoutClicked(trade::WPARAM hwnd);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // ---- Hooks filled by the later pieces (see the comment at the top).
    // Keyboard link: Core::ConnectionManager::setWorkOff.
    virtual void switchKeyboardsOffWork();
    // Keyboard link: Core::ConnectionManager::switchWorkState.
    virtual void toggleKeyboardWorkState();
    // Alarms: hands the time of a weekday tick to the sound reminder.
    virtual void handOffToSoundReminder(const QTime& time);
    // Menus: the main menu at a global position.
    virtual void showMainMenu(const QPoint& globalPos);
    // Speech: hands a trade outcome to the speech manager.
    virtual void speak(const QString& text);

private:
    void buildInterface();
    void startKeyboardLink();
    void connectKeyboardLink();
    void stopKeyboardLink();
    void applySettings();
    void buildMenus();
    void restyleLabels();
    void registerHotkeys();
    void unregisterHotkeys();
    void closeDialogs();
    void forceActivate();
    void setStaysOnTopHint(bool on);
    QDateTime now() const;
    void showStatus(const DataParser& state);
    void clearStatus();
    // A sound of the keyboard answers, played only while Features/TTS is on.
    void playStatusSound(const QString& file);
    // The active keyboard's parser, null without one; and the dialog's loaders for its answers.
    DataParser* activeDeviceState() const;
    void loadSettingsDialog(DataParser* dataParser);

    QVBoxLayout* m_layout = nullptr;
    QLabel* m_label = nullptr;
    QLabel* m_labelInfo = nullptr;

    bool m_fixedPosition = false;
    bool m_alwaysOnTop = false;
    bool m_bootOnStartup = false;
    bool m_speechEnabled = false;
    bool m_dimmerShown = false;
    bool m_alarmEnabled = true;
    bool m_autoSwitch = true;
    bool m_stockCheck = false;

    bool m_dragging = false;
    QPoint m_pressOffset;
    int m_cachedWeekday = 0;
    QString m_weekdayText;
    QString m_clockText;
    QString m_stockDatabasePath;
    int m_verifySoftwareId = 0;
    int m_verifySubtype = 0;

    QTimer* m_clockTimer = nullptr;
    QTimer* m_workOffTimer = nullptr; // no parent: deleted by the destructor
    QTimer* m_switchVerifyTimer = nullptr;
    QTimer* m_periodicCheckTimer = nullptr;
    QTimer* m_topTimer = nullptr; // created on first use
    QVector<int> m_hotkeyIds;

    Core::ConnectionManager* m_connectionManager = nullptr;
    ForegroundClientCheck* m_clientCheck = nullptr;
    SpeechManager* m_speechManager = nullptr;
    SoundReminder* m_soundReminder = nullptr;
    Clicker* m_clicker = nullptr;
    SettingsDialog* m_settingsDialog = nullptr;
};
