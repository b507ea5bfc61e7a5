#pragma once

// The main window: a small frameless, translucent, always-on-top clock showing the time and the
// weekday, with a one-line info text under it. It owns (or will own) everything behind the
// clock: the keyboard link, the menus and tray icon, speech and alarms, the stock table.
//
// Pieces that belong to the keyboard link, the menus, speech and alarms, the stock lookup and the
// dialogs are marked where they plug in ("Keyboard link:", "Menus:", ...). Their entry points are
// the virtual functions of the "Hooks" section below, which the later pieces fill.

#include "clock/stocks/StockLinks.h"
#include "clock/stocks/StockTable.h"
#include "keyboardlink/protocol/DevParamId.h"
#include "keyboardui/KeyboardSettingsHost.h"
#include "trade/TradeTypes.h"

#include <QDateTime>
#include <QPoint>
#include <QString>
#include <QVector>
#include <QWidget>

#include <functional>

class Clicker;
class CustomerServiceDialog;
class ConfigManager;
class DataParser;
class DimmerWidget;
class ForegroundClientCheck;
class ProcessUtils;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QMessageBox;
class QStyle;
class QSystemTrayIcon;
class QTimer;
class QUrl;
class QVariant;
class QVBoxLayout;
class SetDlg;
class SettingsDialog;
class SoundReminder;
class SpeechManager;
class TdxCfgDlg;
class ThsCfgDlg;
class ThsMenu;

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
    ProcessUtils* processUtils() const { return m_processUtils; }

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

    // ---- Stock lookup, appearance dialog, dimmer, autostart, about and support
    // The entry of the user's start-at-login list ("Run" value on Windows).
    static const char16_t* const kAutostartEntry;
    const StockTable& stockTable() const { return m_stockTable; }
    const StockLinks::Stock& currentStock() const { return m_currentStock; }
    QString clickedStockCode() const { return m_clickedStockCode; }
    QString stockDatabasePath() const { return m_stockDatabasePath; }
    SetDlg* setDlg() const { return m_setDlg; }
    DimmerWidget* dimmer() const { return m_dimmer; }
    bool isDimmerShown() const { return m_dimmerShown; }
    bool isBootOnStartup() const { return m_bootOnStartup; }
    CustomerServiceDialog* customerServiceDialog() const { return m_customerServiceDialog; }
    // The THS name lookup through its 持股机构 window (3000 ms).
    bool getThsStockCode(trade::HWND hwnd, QString& code, QString& name);
    bool copyTdxStockCode(trade::HWND hwnd, int limitMs);
    // The link template with the current stock put in.
    QUrl buildUrl(const QString& urlTemplate) const;

signals:
    void clipboardTextReady(const QString& text);

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

    // ---- Trading-client configuration: the TDX and THS dialogs (slot_action_tdxConfig_clicked,
    // openTestDialog, slot_action_thsConfig_clicked below) and the THS menu's content.
    // Fills the THS order menu anew; a non-empty name is the configuration now in THS.
    void slot_reflash_ths_menu(QString actionName);
    // A configuration chosen in the THS order menu: applied to THS at once.
    void slot_action_ths_menu_clicked(QString jsonFile);

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
    // A click on a 版面 page of TDX while trade watching runs (0: the click left TDX).
    void onTradingClientClick(trade::WPARAM hwnd);

    // ---- Stock lookup
    void getClipboardText();
    void onClipboardTextChanged(const QString& text);
    void copyToClipboard(const QString& text);
    // ---- Appearance dialog and its live preview on the clock
    void slot_action_set_clicked();
    void onFontChanged(const QFont& font);
    void onFontColorChanged(const QColor& color);
    void onBackgroundColorChanged(const QColor& color);
    void onBackgroundAlphaChanged(int alpha);
    // ---- Eye-care, autostart, about and support
    void onDimScreenTriggered();
    void onUndimScreenTriggered();
    void applyAutostart();
    void slot_action_boot_clicked();
    void slot_action_about_clicked();
    void slot_action_customer_service_clicked();

    // ---- Menus, tray and their commands (WidgetMenus.cpp). Entries that carry a value (data
    // code) get their action passed in.
    void slot_action_top_clicked();
    void slot_action_fixed_clicked();
    void slot_action_speak_clicked();
    void slot_action_alarmclock_clicked();
    void slot_action_openUrl_clicked();
    void slot_action_autoSwitch_clicked();
    void slot_action_autoCheck_clicked();
    void slot_action_softIndex_clicked(QAction* action);
    void slot_action_download_clicked(QAction* action);
    void slot_action_SpeedIndex_clicked(QAction* action);
    void slot_action_querySwitch_clicked(QAction* action);
    void slot_action_getFocus_clicked(QAction* action);
    void slot_action_tradeOnStartup_clicked(QAction* action);
    void slot_action_numLockOnStartup_clicked(QAction* action);
    void slot_action_buyConfirm_clicked(QAction* action);
    void slot_action_sellConfirm_clicked(QAction* action);
    void slot_action_costTimeStat_clicked(QAction* action);
    void slot_action_cancelAll_clicked(QAction* action);
    void slot_action_devSave_clicked();
    void slot_action_devReset_clicked();
    void slot_action_devReboot_clicked();
    void slot_action_update_clicked();
    void slot_action_tdxConfig_clicked();
    void slot_action_thsConfig_clicked();
    void slot_action_limitPrice_clicked(QAction* action);
    void slot_action_limitMinPrice_clicked(QAction* action);
    void slot_action_notST_clicked(QAction* action);
    void slot_action_onlyMain_clicked(QAction* action);
    void slot_action_onlyZz_clicked(QAction* action);
    void slot_action_quickSetAmount_clicked(QAction* action);
    void slot_action_buyIndex_clicked(QAction* action);
    void slot_action_tdxProfile_clicked(QAction* action);

    // ---- Trade outcome reporting (WidgetOutcomes.cpp)
    void trade_confirm_tip(DataParser* dataParser, bool all);
    void showConfigPrompt(QString dataType, QString dialogTypeName);
    void showSwitchProfilePrompt(QString profileName, QString dataType, QString dialogTypeName);
    void openTestDialog();

public:
    QMenu* mainMenu() const { return m_mainMenu; }
    QMenu* stockMenu() const { return m_stockMenu; }
    QMenu* thsOrderMenu() const { return m_thsOrderMenu; }
    QMenu* tdxOrderMenu() const { return m_tdxOrderMenu; }
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    // The price type the keyboard last reported (re-applied when the TDX order menu is rebuilt).
    int currentPriceType() const { return m_currentPriceType; }
    // The box texts of the two calibration prompts.
    static QString configPromptText(const QString& dataType, const QString& dialogTypeName);
    static QString switchProfilePromptText(const QString& profileName, const QString& dataType,
                                           const QString& dialogTypeName);

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
    // The message boxes of the menu commands and prompts (a box's result; tests answer them).
    virtual int runMessageBox(QMessageBox& box);
    // The TDX configuration dialog, on its calibration tab or its first one; true when the user
    // accepted it.
    virtual bool runTdxConfigDialog(bool calibrationTab);

private:
    void buildInterface();
    void startKeyboardLink();
    void connectKeyboardLink();
    void stopKeyboardLink();
    void applySettings();
    void buildMenus();
    // The pieces of buildMenus (WidgetMenus.cpp), in build order.
    QMenu* newMenu(const QString& title, const QString& icon, bool styled, bool bigFont);
    QAction* addEntry(QMenu* menu, const QString& text, const QString& icon, void (Widget::*slot)());
    QAction* addEntry(QMenu* menu, const QString& text, const QString& icon, const QVariant& data,
                      void (Widget::*slot)(QAction*));
    void buildAppearanceMenu();
    void buildTradingMenu();
    void buildPriceMenu();
    void loadThsOrderMenu();
    void loadTdxOrderMenu();
    void buildSpeedMenu();
    void buildKeyboardMenu();
    void buildTrayIcon();
    void applyMenuStyle(QMenu* menu);
    void refreshTdxProfiles();
    // Keyboard parameter entries: the mark waits for the keyboard's answer.
    void requestKeyboardParameter(QAction* action, DevParamId id);
    // Software, speed and price type: the group's mark waits for the keyboard's answer.
    void requestGroupValue(QAction* action, const std::function<bool(int)>& send);
    void writeRestriction(QAction* action, void (ConfigManager::*set)(bool));
    void switchTdxProfile(const QString& name);
    void openPage(const QUrl& url);
    void rebuildTdxOrderMenu();
    // Check-mark refresh rules (WidgetOutcomes.cpp).
    void refreshAllCheckMarks(const DataParser& state);
    void refreshSoftwareMarks(int soft);
    void refreshSpeedMarks(int speed);
    void refreshPriceTypeMarks(int priceType);
    void refreshOrderMenuMarks(const DataParser& state);
    void refreshKeyboardMenuMarks(const DataParser& state);
    void reportTradeOutcome(const DataParser& state);
    void restyleLabels();
    void restyleLabels(const QFont& font, const QColor& text, QColor background, int alpha);
    void writeAutostart(bool on);
    void connectStockMenu();
    void startClipboardWatch(trade::HWND window);
    void registerHotkeys();
    void unregisterHotkeys();
    void closeDialogs();
    // Hides the tray icon; when leaving, it is deleted as well.
    void hideTrayIcon(bool andDelete);
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
    ProcessUtils* m_processUtils = nullptr;
    Clicker* m_clicker = nullptr;

    // Menus and tray (all children of this window).
    QStyle* m_menuStyle = nullptr;
    QMenu* m_mainMenu = nullptr;
    QMenu* m_stockMenu = nullptr;
    QMenu* m_appearanceMenu = nullptr;
    QMenu* m_tradingMenu = nullptr;
    QMenu* m_downloadMenu = nullptr;
    QMenu* m_priceMenu = nullptr;
    QMenu* m_thsOrderMenu = nullptr;
    QMenu* m_tdxOrderMenu = nullptr;
    QMenu* m_speedMenu = nullptr;
    QMenu* m_keyboardMenu = nullptr;
    QActionGroup* m_softwareGroup = nullptr;
    QActionGroup* m_speedGroup = nullptr;
    QActionGroup* m_buyAmountGroup = nullptr;
    QActionGroup* m_priceTypeGroup = nullptr;
    QActionGroup* m_tdxProfileGroup = nullptr;
    QAction* m_actionFixed = nullptr;
    QAction* m_actionBoot = nullptr;
    QAction* m_actionSpeak = nullptr;
    QAction* m_actionAlarm = nullptr;
    QAction* m_actionDim = nullptr;
    QAction* m_actionAutoSwitch = nullptr;
    QAction* m_actionAutoCheck = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    // What the keyboard last reported (marks of the software, speed and price-type groups).
    int m_currentSoft = 0;
    int m_currentSpeed = 0;
    int m_currentPriceType = -1;
    // Trading-client configuration: the dialogs are made on first use and kept. The THS order
    // menu is created with the other menus; ThsMenu fills it.
    void onThsVariantChanged(int softwareId, int subtype);
    TdxCfgDlg* tdxConfigDialog();
    TdxCfgDlg* m_tdxCfgDlg = nullptr;
    ThsCfgDlg* m_thsCfgDlg = nullptr;
    ThsMenu* m_thsMenu = nullptr;
    SettingsDialog* m_settingsDialog = nullptr;
    StockTable m_stockTable;
    StockLinks::Stock m_currentStock;
    QString m_clickedStockCode;
    SetDlg* m_setDlg = nullptr;
    DimmerWidget* m_dimmer = nullptr; // no parent: deleted when the dimmer is turned off
    CustomerServiceDialog* m_customerServiceDialog = nullptr;
};
