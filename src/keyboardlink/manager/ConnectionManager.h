#pragma once

// The program's view of its keyboards, and the only way the rest of it reaches them.
//
// The manager lists the keyboards that can be connected (through its own RawHIDConnection, which
// also opens the first one as the active device), connects one of them (single-keyboard mode) or
// every one (multi-keyboard mode, Keyboard/MultiKeyboardEnabled) each through a connection of its
// own, and keeps one of them active. Every arrival or removal a connection announces drops all
// keyboards, lists the present ones again and connects them one second later.
//
// Commands for the active keyboard go to the active keyboard's own connection once it has one
// (before that, to the manager's connection, which has the same keyboard open); broadcasts go to
// every connected keyboard in order. Frames are handled only from the per-keyboard connections.
//
// The manager also hosts trade automation: the shared state machine and the order dialog worker
// live as long as it does; the desktop watcher and the control detector threads run only while a
// keyboard is in trading mode (startThreads / stopThreads).

#include "keyboardlink/manager/DevListItem.h"
#include "keyboardlink/protocol/DevParamId.h"
#include "trade/TradeTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class ControlDetector;
class DataParser;
class DesktopWatcher;
class EditBoxChangeWorker;
class QComboBox;
class QIODevice;
class QTimer;
class RawHIDConnection;
class StateMachine;

namespace platform {
class Clock;
}

namespace Core {

class ConnectionManager : public QWidget
{
    Q_OBJECT

public:
    // Never shown; parent is the main window.
    explicit ConnectionManager(QWidget* parent = nullptr);
    ~ConnectionManager() override;

    static constexpr int AutoReconnectDelayMs = 1000;
    static constexpr int SyncDelayMs = 1000;
    static constexpr int MultiKeyboardStartDelayMs = 2000;
    static constexpr int ReconnectIntervalMs = 1000;
    static constexpr int ReconnectCheckIntervalMs = 20000;

    // ---- connecting
    // Creates the manager's own connection, lists the keyboards and opens the first one.
    void initConnections();
    void setMultiKeyboardEnabled(bool enabled);
    bool connectAllKeyboards();
    bool connectSingleKeyboard(const DevListItem& item);
    bool connectActiveDevice(const DevListItem& item);
    bool disconnectActive();
    bool disconnectAll();
    // Makes keyboard index (0 … count − 1) the active one; any other index changes nothing.
    void setActiveKeyboard(int index);
    void removeKeyboard(const DevListItem& item);
    void cleanupInvalidConnections();
    bool isDeviceConnected() const { return m_activeStream != nullptr; }
    // Before the program ends: no more reconnecting, removals no longer announced.
    void prepareShutdown();

    // ---- what the manager holds
    bool isMultiKeyboardEnabled() const { return m_multiKeyboard; }
    int keyboardCount() const { return m_hidConnections.size(); }
    int activeIndex() const { return m_activeIndex; }
    DevListItem activeItem() const { return m_activeItem; }
    QString activeConnectionId() const { return m_activeConnectionId; }
    QList<DevListItem> deviceList() const { return m_deviceList; }
    // The connected keyboards, in index order.
    QList<DevListItem> connectedKeyboards() const;
    QList<RawHIDConnection*> hidConnections() const { return m_hidConnections; }
    IConnection* currentConnection() const { return m_currentConnection; }
    QIODevice* activeStream() const { return m_activeStream; }
    // The connection that commands for the active keyboard go to; null without one.
    RawHIDConnection* activeConnection() const;

    // ---- keyboard operations (each needs an active keyboard; without one it sends nothing and
    // returns false)
    bool getTradeState();
    bool switchWorkState();
    bool setWorkOff();
    // Puts every keyboard into the active keyboard's trading mode and software, as that keyboard
    // reported them; before it has reported its state, the sync waits for its first state frame.
    void syncAllKeyboards();
    bool setSpeedIndex(int index);
    bool switchSpeedIndex(int index);
    bool switchBuyIndex(int index);
    void switchSoftType(int type);
    void setSoftIndex(int type);
    // Any parameter: Speed and Soft as setSpeedIndex / setSoftIndex, the others to the active
    // keyboard.
    bool setDeviceParameter(DevParamId id, int value);
    bool setTrade(int on) { return setDeviceParameter(DevParamId::Trade, on); }
    bool setNumLock(int on) { return setDeviceParameter(DevParamId::NumLock, on); }
    bool setQuery(int on) { return setDeviceParameter(DevParamId::Query, on); }
    bool setFocusMode(int mode) { return setDeviceParameter(DevParamId::Focus, mode); }
    bool setCancel(int on) { return setDeviceParameter(DevParamId::Cancel, on); }
    bool setCost(int on) { return setDeviceParameter(DevParamId::Cost, on); }
    bool setBuyConfirm(int on) { return setDeviceParameter(DevParamId::BuyConfirm, on); }
    bool setSellConfirm(int on) { return setDeviceParameter(DevParamId::SellConfirm, on); }
    bool setFnKey(int on) { return setDeviceParameter(DevParamId::FnKey, on); }
    bool setLedColor(int color) { return setDeviceParameter(DevParamId::LedColor, color); }
    bool writeKeyMap(const QByteArray& keyMap);
    void requestKeyMap();
    void reloadState();
    bool devSave();
    bool factoryReset();
    bool reboot();

    void setAutoSwitchSoft(bool on) { m_autoSwitchSoft = on; }
    bool autoSwitchSoft() const { return m_autoSwitchSoft; }
    void setDesktopSoftType(int type) { m_desktopSoftType = type; }
    int desktopSoftType() const { return m_desktopSoftType; }
    // The active keyboard's software type (1 THS, 2 TDX), 0 without one.
    int activeSoftType() const;

    // ---- trade automation
    // Features/StockCheck: the desktop watcher polls the TDX main window while it is on.
    void setStockCheck(bool on);
    bool stockCheck() const { return m_stockCheck; }
    bool watchersRunning() const { return m_watchersRunning; }
    StateMachine* stateMachine() const { return m_stateMachine; }
    EditBoxChangeWorker* worker() const { return m_worker; }
    DesktopWatcher* desktopWatcher() const { return m_watcher; }
    ControlDetector* controlDetector() const { return m_detector; }

signals:
    void deviceConnected(QIODevice* device);
    void deviceAboutToDisconnect();
    void deviceDisconnected();
    void availableDevicesChanged(const QList<Core::DevListItem>& devices);
    void connectDeviceFailed(const Core::DevListItem& device);

    // A keyboard's state frame (and every frame that is neither key map nor trade key).
    void updateDevState(DataParser* dataParser);
    void sendKeyMapData(const QByteArray& keyMap);
    // A trade key: the buy price type, the key function and the keyboard's split flag.
    void tradeTypeSet(int buyIndex, int type, int flag);
    void tradeCompleted(int type);
    // The trading settings changed: the order dialog worker reads them again.
    void reloadCfg();

    // Relayed from the desktop watcher.
    void appActivated(int softwareId, int subtype);
    void mouseClick(trade::WPARAM hwnd);
    // Relayed from the order dialog worker to the main window.
    void notice(int action, int reason);

public slots:
    void devChanged(Core::IConnection* connection);
    void onConnectionDestroyed(QObject* object);
    void devDataResp(Core::IConnection* connection);

    // Tells every keyboard the outcome of a trade (command 0xA1).
    bool postTradeAction(int action, int reason);
    void onNotice(int action, int reason);
    // Requests of the order dialog worker, run on the GUI thread.
    void clickButton(trade::HWND button);
    void closeWindow(trade::HWND window);

    void onTradeStateChanged(bool on);
    void checkMonitorThreadState();
    void startThreads();
    void stopThreads();
    // The control detector, fed by the desktop watcher (not started).
    void makeDetector();
    // A detector that did not stop in time: kept until its thread has finished.
    void abandonDetector(ControlDetector* detector);

private:
    using BroadcastOperation = std::function<bool(RawHIDConnection*)>;

    // The order dialog worker's signals to this manager, and the keyboards' reports to it.
    void connectWorker();
    void updateConnectionList(IConnection* connection);
    bool registerDevice(const DevListItem& item);
    void handleKeyboardRemoval(IDevice* device);
    void autoReconnect();
    // Adds a connected keyboard at the end of the three per-keyboard lists.
    void appendKeyboard(const DevListItem& item, RawHIDConnection* connection, QIODevice* stream);
    // Drops index i from the three per-keyboard lists and frees its connection and item copy.
    void dropKeyboardAt(int i);
    // Points the active fields at keyboard index (which must exist).
    void makeActive(int index);
    void resetActive();
    int indexOfDevice(const IDevice* device) const;
    QString connectionIdOf(const IConnection* connection) const;
    void verifyConnectionUniqueness();
    void logKeyboardStatus();
    bool broadcastToAllKeyboards(const BroadcastOperation& operation);
    bool sendToEveryKeyboard(const char* successLog, int value, qint64 (RawHIDConnection::*command)(int));
    void reconnectActive();
    void reconnectCheckExpired();

    QComboBox* m_deviceCombo;
    QList<DevListItem> m_deviceList;
    QList<IConnection*> m_connectionKinds;
    DevListItem m_activeItem;
    IConnection* m_currentConnection = nullptr;
    QIODevice* m_activeStream = nullptr;
    QList<DevListItem*> m_connectionDevices;
    QList<RawHIDConnection*> m_hidConnections;
    QList<QIODevice*> m_ioDevices;
    int m_activeIndex = 0;
    QString m_activeConnectionId;
    bool m_autoConnect = true;
    bool m_autoSwitchSoft = true;
    bool m_watchersRunning = false;
    // The clock whose fine timer the running threads hold (given back to that one clock).
    platform::Clock* m_fineTimer = nullptr;
    bool m_syncAwaitingState = false; // a sync waits for the active keyboard's first state frame
    int m_desktopSoftType = 11;
    bool m_multiKeyboard = false;
    bool m_stockCheck = false;
    QTimer* m_reconnectTimer;
    QTimer* m_reconnectCheckTimer;

    StateMachine* m_stateMachine;
    EditBoxChangeWorker* m_worker;
    DesktopWatcher* m_watcher = nullptr;
    ControlDetector* m_detector = nullptr;
    ControlDetector* m_abandonedDetector = nullptr;
};

} // namespace Core
