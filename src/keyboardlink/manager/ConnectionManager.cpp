#include "keyboardlink/manager/ConnectionManager.h"

#include "config/ConfigManager.h"
#include "keyboardlink/connection/RawHIDConnection.h"
#include "keyboardlink/connection/USBDevice.h"
#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/protocol/Protocol.h"
#include "platform/api/Platform.h"
#include "trade/ControlDetector.h"
#include "trade/DesktopWatcher.h"
#include "trade/EditBoxChangeWorker.h"
#include "trade/StateMachine.h"
#include "trade/WindowRequests.h"

#include <QComboBox>
#include <QDebug>
#include <QIODevice>
#include <QMap>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace Core {

namespace {

QDebug log()
{
    return qDebug().noquote();
}

QDebug warn()
{
    return qWarning().noquote();
}

QString onOff(bool on)
{
    return on ? QStringLiteral("启用") : QStringLiteral("禁用");
}

QString address(const void* object)
{
    return QStringLiteral("0x%1").arg(quintptr(object), 0, 16);
}

QString commandText(int command)
{
    return QStringLiteral("0x") + QString::number(command, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

} // namespace

ConnectionManager::ConnectionManager(QWidget* parent)
    : QWidget(parent), m_deviceCombo(new QComboBox(this)), m_reconnectTimer(new QTimer(this)),
      m_reconnectCheckTimer(new QTimer(this)), m_stateMachine(new StateMachine(this)),
      m_worker(new EditBoxChangeWorker(m_stateMachine, this))
{
    qRegisterMetaType<Core::DevListItem>("Core::DevListItem");
    qRegisterMetaType<QList<Core::DevListItem>>("QList<Core::DevListItem>");
    qRegisterMetaType<DataParser*>("DataParser*");
    trade::registerMetaTypes();
    // A helper of the main window, never on screen.
    hide();
    m_deviceCombo->hide();
    m_stockCheck = ConfigManager::instance()->stockCheck();
    // The stored mode until the main window says otherwise.
    m_multiKeyboard = ConfigManager::instance()->multiKeyboardEnabled();

    m_reconnectTimer->setInterval(ReconnectIntervalMs);
    m_reconnectCheckTimer->setInterval(ReconnectCheckIntervalMs);
    connect(m_reconnectTimer, &QTimer::timeout, this, &ConnectionManager::reconnectActive);
    connect(m_reconnectCheckTimer, &QTimer::timeout, this, &ConnectionManager::reconnectCheckExpired);
    connectWorker();
}

void ConnectionManager::connectWorker()
{
    // The worker lives in this (GUI) thread but emits from the control detector's thread, so its
    // outbound signals arrive here queued: keyboard frames, clicks and closes all happen on the
    // GUI thread, in the order the worker decided them.
    connect(m_worker, &EditBoxChangeWorker::actionSignal, this, &ConnectionManager::postTradeAction);
    connect(m_worker, &EditBoxChangeWorker::notice, this, &ConnectionManager::onNotice);
    connect(m_worker, &EditBoxChangeWorker::requestClickButton, this, &ConnectionManager::clickButton);
    connect(m_worker, &EditBoxChangeWorker::requestCloseWindow, this, &ConnectionManager::closeWindow);
    // The main window takes tradeCompleted and the configuration requests from worker() itself.

    // What the keyboards report reaches the worker at once; the fields it writes are read by the
    // worker's next pass.
    connect(this, &ConnectionManager::tradeTypeSet, m_worker, &EditBoxChangeWorker::onTradeTypeSet);
    connect(this, &ConnectionManager::reloadCfg, m_worker, &EditBoxChangeWorker::onReloadCfg);
    connect(this, &ConnectionManager::tradeCompleted, m_worker, &EditBoxChangeWorker::onTradeCompleted);
}

ConnectionManager::~ConnectionManager()
{
    // The main window may be half gone already: nobody hears about the winding down.
    blockSignals(true);
    for (IConnection* kind : qAsConst(m_connectionKinds))
        kind->disableRemovalNotice();
    m_autoConnect = false;
    disconnectActive();
    stopThreads();
    if (m_abandonedDetector && m_abandonedDetector->isRunning()) {
        // Its thread still uses the worker and the state machine: they stay (with it) for the
        // rest of the process instead of going with this manager.
        qWarning().noquote() << "控制检测线程仍在运行，保留其使用的对象";
        m_worker->setParent(nullptr);
        m_stateMachine->setParent(nullptr);
    } else {
        delete m_abandonedDetector;
    }
    m_abandonedDetector = nullptr;
    for (int i = m_hidConnections.size() - 1; i >= 0; --i)
        dropKeyboardAt(i);
    for (const DevListItem& item : qAsConst(m_deviceList))
        delete item.device.data();
    m_deviceList.clear();
    // The own connections go now, while this object is still whole.
    for (IConnection* kind : qAsConst(m_connectionKinds)) {
        disconnect(kind, nullptr, this, nullptr);
        delete kind;
    }
    m_connectionKinds.clear();
}

// ---------------------------------------------------------------- device list

void ConnectionManager::initConnections()
{
    auto* connection = new RawHIDConnection(this);
    m_currentConnection = connection;
    devChanged(connection);
    m_connectionKinds.append(connection);
    connect(connection, &IConnection::availableDevChanged, this, &ConnectionManager::devChanged);
    connect(connection, &RawHIDConnection::dataArrived, this, &ConnectionManager::devDataResp);
}

void ConnectionManager::devChanged(IConnection* connection)
{
    if (!connection)
        return;
    log() << "=== 设备列表发生变化 ===";
    log() << "连接类型:" << connection->type();
    m_deviceCombo->clear();

    updateConnectionList(connection);

    for (const DevListItem& item : qAsConst(m_deviceList))
        m_deviceCombo->addItem(item.label());
    for (int i = 0; i < m_deviceList.size() && !m_activeStream; ++i) {
        const DevListItem item = m_deviceList.at(i);
        if (!item.isValid())
            continue;
        m_deviceCombo->setCurrentIndex(i);
        if (m_autoConnect)
            connectActiveDevice(item);
    }

    emit availableDevicesChanged(m_deviceList);

    if (m_hidConnections.isEmpty() && !m_deviceList.isEmpty()) {
        log() << "检测到可用设备，尝试自动重新连接多键盘...";
        QTimer::singleShot(AutoReconnectDelayMs, this, &ConnectionManager::autoReconnect);
    }
    log() << "=== 设备列表更新完成 ===";
}

void ConnectionManager::updateConnectionList(IConnection* connection)
{
    log() << "ConnectionManager::updateConnectionList 开始更新连接列表";
    const QList<IDevice*> found = connection->availableDevices();
    log() << "从连接获取到" << found.size() << "个可用设备";

    // Each listing is made of new objects, so every item of this connection goes: its keyboard is
    // disconnected now and connected again from the new list.
    for (int i = m_deviceList.size() - 1; i >= 0; --i) {
        const DevListItem item = m_deviceList.at(i);
        if (item.connection != connection || found.contains(item.device.data()))
            continue;
        log() << "设备已断开，从列表中移除:" << item.path();
        // The manager's own stream is on the active keyboard; close it while the item still
        // says which one that is.
        if (item.device && item.sameObjects(m_activeItem))
            disconnectActive();
        handleKeyboardRemoval(item.device.data());
        if (item.device)
            item.device->deleteLater();
        m_deviceList.removeAt(i);
    }

    for (IDevice* device : found) {
        const DevListItem item(connection, device);
        const bool listed =
            std::any_of(m_deviceList.cbegin(), m_deviceList.cend(), [&](const DevListItem& other) {
                return other.sameObjects(item) || (!item.path().isEmpty() && other.path() == item.path());
            });
        if (!listed) {
            const auto* usb = qobject_cast<const USBDevice*>(device);
            log() << "发现新设备，添加到列表:" << item.path()
                  << "名称:" << (usb ? usb->serialNumber() : QString()) << "路径:" << item.path();
        }
        if (listed || !registerDevice(item))
            delete device; // the listing is ours; a duplicate would leak
    }
    log() << "ConnectionManager::updateConnectionList 更新完成，当前设备列表大小:" << m_deviceList.size();
}

bool ConnectionManager::registerDevice(const DevListItem& item)
{
    for (const DevListItem& other : qAsConst(m_deviceList)) {
        if (other.sameObjects(item)) {
            log() << "设备已存在于主设备列表，跳过添加:" << item.label();
            return false;
        }
        if (!item.path().isEmpty() && other.path() == item.path()) {
            log() << "设备路径已存在于主设备列表，跳过添加:" << item.path();
            return false;
        }
    }
    m_deviceList.append(item);
    log() << "成功注册设备到主设备列表:" << item.label();
    log() << "路径:" << item.path();
    return true;
}

void ConnectionManager::autoReconnect()
{
    if (!m_hidConnections.isEmpty() || m_deviceList.isEmpty())
        return;
    log() << "执行自动多键盘重连...";
    try {
        connectAllKeyboards();
    } catch (const std::exception& e) {
        log() << "自动重连时发生异常:" << e.what();
    } catch (...) {
        log() << "自动重连时发生未知异常";
    }
}

void ConnectionManager::handleKeyboardRemoval(IDevice* device)
{
    log() << "=== 处理设备移除 ===";
    const auto* usb = qobject_cast<const USBDevice*>(device);
    log() << "移除设备:" << (usb ? usb->path() : QString());
    if (m_connectionDevices.isEmpty()) {
        log() << "多键盘连接列表为空，无需处理";
        return;
    }
    for (int i = 0; i < m_connectionDevices.size(); ++i) {
        if (m_connectionDevices.at(i)->device != device)
            continue;
        if (i >= m_hidConnections.size() || i >= m_ioDevices.size()) {
            log() << "索引超出范围，跳过此设备";
            continue;
        }
        try {
            if (m_hidConnections.at(i))
                m_hidConnections.at(i)->disconnectDevice();
            log() << "成功断开设备连接";
        } catch (...) {
            log() << "断开设备连接时发生异常";
        }
        const bool wasActive = i == m_activeIndex;
        dropKeyboardAt(i);
        log() << "已安全移除设备，重新构建列表完成";
        if (wasActive) {
            if (m_hidConnections.isEmpty()) {
                resetActive();
                log() << "活跃设备被移除，重置连接状态";
            } else {
                makeActive(0);
                log() << "活跃设备被移除，设置新活跃设备索引: 0";
            }
        } else if (i < m_activeIndex) {
            const int old = m_activeIndex--;
            log() << "调整活跃设备索引从" << old << "到" << m_activeIndex;
        }
        break;
    }
    log() << "设备移除完成，当前多键盘连接数:" << m_hidConnections.size();
    log() << "当前活跃键盘索引:" << m_activeIndex;
    log() << "=== 设备移除处理完成 ===";
    checkMonitorThreadState();
}

// ---------------------------------------------------------------- connecting

bool ConnectionManager::connectActiveDevice(const DevListItem& item)
{
    QIODevice* stream = item.isValid() ? item.connection->connectDevice(item.device.data()) : nullptr;
    if (!stream || !(stream->isOpen() || stream->open(QIODevice::ReadWrite))) {
        emit connectDeviceFailed(item);
        return false;
    }
    m_activeItem = item;
    m_activeStream = stream;
    // Before any keyboard has a connection of its own, the manager's connection is the way to it.
    if (m_hidConnections.isEmpty())
        m_currentConnection = item.connection;
    connect(item.connection, &QObject::destroyed, this, &ConnectionManager::onConnectionDestroyed,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
    emit deviceConnected(stream);
    if (auto* hid = qobject_cast<RawHIDConnection*>(item.connection))
        hid->requestDeviceInfo();
    if (item.connection->supportsReconnect())
        m_reconnectCheckTimer->start();
    return true;
}

bool ConnectionManager::connectAllKeyboards()
{
    log() << "开始连接多个USB键盘设备...";
    if (!m_multiKeyboard) {
        log() << "多键盘支持已禁用，只连接第一个设备";
        for (const DevListItem& item : qAsConst(m_deviceList)) {
            if (item.isValid()) {
                log() << "连接第一个设备:" << item.label();
                return connectSingleKeyboard(item);
            }
        }
        return false;
    }
    if (m_deviceList.isEmpty()) {
        log() << "没有可用的USB键盘设备";
        return false;
    }

    cleanupInvalidConnections();
    int connected = 0;
    int i = -1;
    const QList<DevListItem> items = m_deviceList;
    for (const DevListItem& item : items) {
        if (!item.isValid())
            continue;
        ++i;
        log() << "=== 处理设备" << i << "===";
        log() << "设备名称:" << item.label();
        log() << "设备路径:" << item.path();
        log() << "连接对象地址:" << address(item.connection);
        log() << "设备对象地址:" << address(item.device.data());

        bool already = false;
        for (const DevListItem* other : qAsConst(m_connectionDevices)) {
            if (other->sameObjects(item)) {
                log() << "设备已存在（连接对象和设备对象完全相同）:" << item.label();
                already = true;
            } else if (!item.path().isEmpty() && other->path() == item.path()) {
                log() << "设备路径已存在:" << item.label() << "路径:" << item.path();
                already = true;
            }
            if (already)
                break;
        }
        if (already) {
            log() << "设备已存在，跳过连接:" << item.label();
            ++connected;
            continue;
        }

        log() << "设备验证通过，开始连接...";
        log() << "原始连接对象地址:" << address(item.connection);
        RawHIDConnection* connection = nullptr;
        try {
            connection = new RawHIDConnection();
            log() << "创建新的 RawHIDConnection 实例:" << address(connection);
            QIODevice* stream = connection->connectDevice(item.device.data());
            if (stream && stream->open(QIODevice::ReadWrite)) {
                appendKeyboard(item, connection, stream);
                log() << "成功连接设备" << i << ":" << item.label()
                      << "，新RawHIDConnection地址:" << address(connection);
                if (i == 0) {
                    makeActive(m_hidConnections.size() - 1);
                    log() << "设置设备" << 0 << "为活跃设备";
                }
                ++connected;
            } else {
                log() << "连接设备失败:" << item.label();
                delete connection;
            }
        } catch (const std::exception& e) {
            log() << "设置设备时发生异常:" << e.what();
            delete connection;
        } catch (...) {
            log() << "设置设备时发生未知异常";
            delete connection;
        }
    }

    if (m_hidConnections.size() > 1) {
        log() << "检测到多个键盘，开始自动同步状态...";
        verifyConnectionUniqueness();
        QTimer::singleShot(SyncDelayMs, this, &ConnectionManager::syncAllKeyboards);
    }
    checkMonitorThreadState();

    if (connected == 0) {
        log() << "没有成功连接任何设备";
        return false;
    }
    log() << "成功连接" << connected << "个USB键盘设备";
    if (RawHIDConnection* active = activeConnection())
        active->requestDeviceInfo();
    return true;
}

bool ConnectionManager::connectSingleKeyboard(const DevListItem& item)
{
    log() << "开始连接单个USB键盘设备:" << item.label();
    if (!item.isValid()) {
        log() << "设备无效，无法连接";
        return false;
    }
    disconnectAll();

    RawHIDConnection* connection = nullptr;
    try {
        connection = new RawHIDConnection();
        QIODevice* stream = connection->connectDevice(item.device.data());
        if (!stream || !stream->open(QIODevice::ReadWrite)) {
            log() << "连接设备失败:" << item.label();
            delete connection;
            return false;
        }
        appendKeyboard(item, connection, stream);
        makeActive(0);
        if (RawHIDConnection* active = activeConnection())
            active->requestDeviceInfo();
        log() << "成功连接单个设备:" << item.label();
        return true;
    } catch (const std::exception& e) {
        log() << "连接单个设备时发生异常:" << e.what();
    } catch (...) {
        log() << "连接单个设备时发生未知异常";
    }
    delete connection;
    return false;
}

bool ConnectionManager::disconnectAll()
{
    log() << "开始断开所有USB键盘设备...";
    m_reconnectTimer->stop();
    m_reconnectCheckTimer->stop();
    emit deviceAboutToDisconnect();
    for (int i = 0; i < m_hidConnections.size(); ++i) {
        try {
            if (m_hidConnections.at(i))
                m_hidConnections.at(i)->disconnectDevice();
        } catch (...) {
            log() << "断开设备" << i << "时发生异常";
        }
    }
    for (int i = m_hidConnections.size() - 1; i >= 0; --i)
        dropKeyboardAt(i);
    m_connectionDevices.clear();
    m_hidConnections.clear();
    m_ioDevices.clear();
    m_syncAwaitingState = false;
    resetActive();

    m_multiKeyboard = ConfigManager::instance()->multiKeyboardEnabled();
    log() << "ConnectionManager: 从配置文件加载多键盘配置:" << onOff(m_multiKeyboard);

    emit deviceDisconnected();
    log() << "已断开所有USB键盘设备";
    return true;
}

bool ConnectionManager::disconnectActive()
{
    if (!m_activeStream)
        return false;
    m_reconnectTimer->stop();
    m_reconnectCheckTimer->stop();
    emit deviceAboutToDisconnect();
    try {
        if (m_activeItem.connection)
            m_activeItem.connection->disconnectDevice();
    } catch (...) {
    }
    m_activeItem.connection = nullptr;
    m_activeStream = nullptr;
    emit deviceDisconnected();
    return true;
}

void ConnectionManager::setMultiKeyboardEnabled(bool enabled)
{
    m_multiKeyboard = enabled;
    log() << "多键盘支持已" << onOff(enabled);
    if (!enabled) {
        log() << "禁用多键盘支持，停止USB监控并清理多余连接...";
        if (m_connectionDevices.size() >= 2) {
            log() << "清理多余连接...";
            while (m_connectionDevices.size() > 1)
                removeKeyboard(*m_connectionDevices.last());
        }
        return;
    }
    log() << "启用多键盘支持，启动USB设备监控...";
    QTimer::singleShot(MultiKeyboardStartDelayMs, this, [this] {
        if (!m_multiKeyboard)
            return;
        log() << "USB监控已启动，开始连接多键盘设备...";
        connectAllKeyboards();
    });
}

void ConnectionManager::removeKeyboard(const DevListItem& item)
{
    const int i = indexOfDevice(item.device.data());
    if (i < 0) {
        log() << "未找到要移除的设备:" << item.label();
        return;
    }
    log() << "移除设备:" << item.label();
    try {
        if (m_hidConnections.value(i))
            m_hidConnections.at(i)->disconnectDevice();
    } catch (...) {
        log() << "断开设备时发生异常";
    }
    const bool wasActive = i == m_activeIndex;
    dropKeyboardAt(i);
    if (wasActive) {
        if (m_hidConnections.isEmpty())
            resetActive();
        else
            setActiveKeyboard(0);
    } else if (i < m_activeIndex) {
        --m_activeIndex;
    }
    log() << "设备移除成功，当前连接数:" << m_hidConnections.size();
}

void ConnectionManager::setActiveKeyboard(int index)
{
    if (index < 0 || index >= m_hidConnections.size()) {
        log() << "无效的键盘索引:" << index << "，当前连接数:" << m_hidConnections.size();
        return;
    }
    makeActive(index);
    log() << "设置活跃键盘索引为:" << index << "，设备:" << m_activeItem.label()
          << "，连接ID:" << m_activeConnectionId;
}

void ConnectionManager::cleanupInvalidConnections()
{
    log() << "=== 清理无效连接 ===";
    for (int i = m_hidConnections.size() - 1; i >= 0; --i) {
        const DevListItem* item = m_connectionDevices.value(i);
        bool invalid = false;
        if (!m_hidConnections.at(i)) {
            log() << "发现空指针连接对象，索引:" << i;
            invalid = true;
        } else if (!item || !item->device) {
            log() << "发现无效设备对象，索引:" << i;
            invalid = true;
        } else if (!m_ioDevices.value(i)) {
            log() << "发现无效IO设备，索引:" << i;
            invalid = true;
        }
        if (!invalid)
            continue;

        log() << "清理无效连接，索引:" << i;
        if (RawHIDConnection* connection = m_hidConnections.at(i)) {
            try {
                connection->disconnectDevice();
                log() << "成功断开无效连接";
            } catch (...) {
                log() << "断开无效连接时发生异常";
            }
        }
        const bool wasActive = i == m_activeIndex;
        dropKeyboardAt(i);
        if (wasActive) {
            m_activeIndex = 0;
            if (m_hidConnections.isEmpty()) {
                resetActive();
                log() << "活跃设备被清理，重置连接状态";
            } else {
                makeActive(0);
                log() << "活跃设备被清理，设置新活跃设备索引: 0";
            }
        } else if (i < m_activeIndex) {
            --m_activeIndex;
            log() << "调整活跃设备索引到:" << m_activeIndex;
        }
    }
    log() << "清理完成，当前连接数:" << m_hidConnections.size();
    log() << "当前活跃键盘索引:" << m_activeIndex;
    log() << "=== 无效连接清理完成 ===";
}

void ConnectionManager::prepareShutdown()
{
    for (IConnection* kind : qAsConst(m_connectionKinds))
        kind->disableRemovalNotice();
    m_autoConnect = false;
}

void ConnectionManager::onConnectionDestroyed(QObject* object)
{
    // Connections the manager deletes itself are unhooked first; anything else that goes is a
    // connection lost under the active keyboard.
    if (object && object == m_activeItem.connection)
        disconnectActive();
}

// ---------------------------------------------------------------- per-keyboard lists

void ConnectionManager::appendKeyboard(const DevListItem& item, RawHIDConnection* connection,
                                       QIODevice* stream)
{
    m_connectionDevices.append(new DevListItem(item));
    m_hidConnections.append(connection);
    m_ioDevices.append(stream);
    // Direct: the connection's parser holds this frame only until the next one is read.
    connect(connection, &RawHIDConnection::dataArrived, this, &ConnectionManager::devDataResp,
            Qt::DirectConnection);
    connect(connection, &QObject::destroyed, this, &ConnectionManager::onConnectionDestroyed,
            Qt::QueuedConnection);
}

void ConnectionManager::dropKeyboardAt(int i)
{
    RawHIDConnection* connection = m_hidConnections.value(i);
    if (i < m_hidConnections.size())
        m_hidConnections.removeAt(i);
    if (i < m_ioDevices.size())
        m_ioDevices.removeAt(i);
    if (i < m_connectionDevices.size())
        delete m_connectionDevices.takeAt(i);
    if (connection) {
        disconnect(connection, nullptr, this, nullptr);
        if (connection == m_currentConnection)
            m_currentConnection = nullptr;
        delete connection;
    }
}

void ConnectionManager::makeActive(int index)
{
    m_activeIndex = index;
    m_activeItem = *m_connectionDevices.at(index);
    m_activeStream = m_ioDevices.at(index);
    m_currentConnection = m_hidConnections.at(index);
    // Named after the keyboard's own connection: every listed item shares the manager's.
    m_activeConnectionId = connectionIdOf(m_currentConnection);
}

void ConnectionManager::resetActive()
{
    m_activeItem = DevListItem();
    m_activeStream = nullptr;
    m_currentConnection = nullptr;
    m_activeIndex = 0;
    m_activeConnectionId.clear();
}

int ConnectionManager::indexOfDevice(const IDevice* device) const
{
    if (!device)
        return -1;
    for (int i = 0; i < m_connectionDevices.size(); ++i) {
        if (m_connectionDevices.at(i)->device == device)
            return i;
    }
    return -1;
}

QString ConnectionManager::connectionIdOf(const IConnection* connection) const
{
    return QStringLiteral("conn_%1").arg(quintptr(connection));
}

QList<DevListItem> ConnectionManager::connectedKeyboards() const
{
    QList<DevListItem> items;
    for (const DevListItem* item : m_connectionDevices)
        items.append(*item);
    return items;
}

RawHIDConnection* ConnectionManager::activeConnection() const
{
    if (!m_activeItem.connection)
        return nullptr;
    return qobject_cast<RawHIDConnection*>(m_currentConnection ? m_currentConnection
                                                               : m_activeItem.connection);
}

int ConnectionManager::activeSoftType() const
{
    const RawHIDConnection* active = activeConnection();
    return active ? active->softType() : 0;
}

void ConnectionManager::verifyConnectionUniqueness()
{
    log() << "=== 验证连接对象唯一性 ===";
    if (m_hidConnections.isEmpty()) {
        log() << "没有连接的键盘设备";
        return;
    }
    log() << "当前连接数量:" << m_hidConnections.size();
    QMap<RawHIDConnection*, QList<int>> users;
    for (int i = 0; i < m_hidConnections.size(); ++i) {
        log() << "索引" << i << ":" << address(m_hidConnections.at(i))
              << m_connectionDevices.value(i)->label();
        users[m_hidConnections.at(i)].append(i);
    }
    log() << "唯一连接对象数量:" << users.size();
    if (users.size() == m_hidConnections.size()) {
        log() << "所有连接对象都是唯一的";
    } else {
        log() << "检测到重复的连接对象！";
        for (auto it = users.cbegin(); it != users.cend(); ++it) {
            if (it.value().size() > 1)
                log() << "连接对象" << address(it.key()) << "被多个设备使用:" << it.value();
        }
    }
    log() << "=== 验证完成 ===";
}

// ---------------------------------------------------------------- reconnect timers

void ConnectionManager::reconnectActive()
{
    if (!m_activeStream)
        return;
    m_activeStream->close();
    if (m_activeStream->open(QIODevice::ReadWrite)) {
        m_reconnectTimer->stop();
        m_reconnectCheckTimer->start();
    }
}

void ConnectionManager::reconnectCheckExpired()
{
    m_reconnectCheckTimer->stop();
    m_reconnectTimer->start();
}

// ---------------------------------------------------------------- frames of the keyboards

void ConnectionManager::devDataResp(IConnection* connection)
{
    int index = -1;
    for (int i = 0; i < m_hidConnections.size(); ++i) {
        if (m_hidConnections.at(i) == connection && m_ioDevices.value(i)) {
            index = i;
            break;
        }
    }
    if (index < 0)
        return;
    DataParser* parser = m_hidConnections.at(index)->dataParser();
    log() << "处理键盘" << index << "的数据，命令:" << commandText(parser->command());
    switch (parser->command()) {
    case Protocol::Cmd::WriteKeyMap:
    case Protocol::Cmd::KeyMapFromDevice:
    case Protocol::Cmd::RequestKeyMap:
        emit sendKeyMapData(parser->keyMap());
        break;
    case Protocol::Cmd::TradeCompleted:
        emit tradeCompleted(parser->keyFunction());
        break;
    case Protocol::Cmd::TradeKeyPressed:
        emit tradeTypeSet(parser->priceType(), parser->keyFunction(), 0);
        break;
    case Protocol::Cmd::TradeKeyPressedFlag:
        // The keyboard types this one's quantity itself, at the pace of its delays.
        if (m_worker)
            m_worker->onKeyboardDelays(parser->keyDownDelay(), parser->keyUpDelay());
        emit tradeTypeSet(parser->priceType(), parser->keyFunction(), parser->reason());
        break;
    default:
        emit updateDevState(parser);
        break;
    }
    if (m_syncAwaitingState && m_hidConnections.at(index) == activeConnection() &&
        m_hidConnections.at(index)->hasReportedState())
        syncAllKeyboards();
}

// ---------------------------------------------------------------- keyboard operations

void ConnectionManager::logKeyboardStatus()
{
    log() << "当前连接键盘数量:" << m_hidConnections.size();
    log() << "当前活跃键盘索引:" << m_activeIndex;
    log() << "当前活跃设备连接ID:" << m_activeConnectionId;
    log() << "多键盘支持状态:" << onOff(m_multiKeyboard);
}

bool ConnectionManager::broadcastToAllKeyboards(const BroadcastOperation& operation)
{
    log() << "=== broadcastToAllKeyboards 开始执行 ===";
    if (m_hidConnections.isEmpty()) {
        log() << "没有连接的键盘设备";
        return false;
    }
    log() << "m_hidConnections.size():" << m_hidConnections.size();
    log() << "m_connectionDevices.size():" << m_connectionDevices.size();
    log() << "开始向所有" << m_hidConnections.size() << "个键盘广播操作";

    bool all = true;
    int successes = 0;
    for (int i = 0; i < m_hidConnections.size(); ++i) {
        if (i >= m_connectionDevices.size()) {
            warn() << "键盘" << i << "索引超出范围，跳过处理";
            all = false;
            continue;
        }
        RawHIDConnection* connection = m_hidConnections.at(i);
        const DevListItem* item = m_connectionDevices.at(i);
        if (!connection || !item || !item->device) {
            warn() << "键盘" << i << "对象无效，跳过处理";
            all = false;
            continue;
        }
        log() << "处理键盘" << i << ":";
        log() << "  m_hidConnections[" << i << "]:" << address(connection);
        log() << "  m_connectionDevices[" << i << "]:" << item->label();
        log() << "  执行操作...";
        try {
            const bool ok = operation(connection);
            log() << "  操作结果:" << ok;
            if (ok) {
                ++successes;
                log() << "键盘" << i << "操作成功:" << item->label();
            } else {
                log() << "键盘" << i << "操作失败:" << item->label();
                all = false;
            }
        } catch (const std::exception& e) {
            log() << "键盘" << i << "操作异常:" << e.what();
            all = false;
        } catch (...) {
            log() << "键盘" << i << "操作未知异常";
            all = false;
        }
    }
    log() << "广播操作完成，成功:" << successes << "/" << m_hidConnections.size();
    log() << "=== broadcastToAllKeyboards 执行完成 ===";
    return all;
}

bool ConnectionManager::getTradeState()
{
    log() << "=== getTradeState 开始执行 ===";
    logKeyboardStatus();
    if (m_multiKeyboard && m_hidConnections.size() > 1) {
        log() << "检测到多个键盘连接，从所有键盘获取状态";
        RawHIDConnection* first = m_hidConnections.at(0);
        const bool reference = first && first->workState();
        bool consistent = true;
        for (int i = 1; i < m_hidConnections.size(); ++i) {
            try {
                const DevListItem* item = m_connectionDevices.value(i);
                RawHIDConnection* connection = m_hidConnections.at(i);
                if (!connection || !item || !item->device) {
                    log() << "键盘" << i << "索引无效或对象不存在，跳过检查";
                    consistent = false;
                    continue;
                }
                if (connection->workState() != reference) {
                    log() << "键盘" << i << "交易状态不一致:" << connection->workState() << "vs" << reference;
                    consistent = false;
                }
            } catch (const std::exception& e) {
                log() << "获取交易状态失败，异常:" << e.what();
                consistent = false;
            } catch (...) {
                log() << "获取交易状态失败，未知异常";
                consistent = false;
            }
        }
        if (consistent)
            log() << "所有键盘交易状态一致:" << reference;
        else
            log() << "键盘交易状态不一致，需要同步";
        return reference;
    }
    const RawHIDConnection* active = activeConnection();
    return active && active->workState();
}

bool ConnectionManager::switchWorkState()
{
    log() << "=== switchWorkState 开始执行 ===";
    logKeyboardStatus();
    RawHIDConnection* active = activeConnection();
    if (!active)
        return false;
    if (m_multiKeyboard && m_hidConnections.size() > 1) {
        log() << "检测到多个键盘连接，使用多键盘同步通讯";
        // Every keyboard takes the state opposite to the active one's, so keyboards that
        // differed before end up alike.
        const int state = active->workState() ? 0 : 1;
        return broadcastToAllKeyboards([state](RawHIDConnection* c) { return c->setWorkState(state) > 0; });
    }
    return active->toggleWorkState() > 0;
}

bool ConnectionManager::setWorkOff()
{
    log() << "=== setWorkOff 开始执行 ===";
    logKeyboardStatus();
    RawHIDConnection* active = activeConnection();
    if (m_multiKeyboard && m_hidConnections.size() > 1) {
        log() << "检测到多个键盘连接，使用多键盘同步通讯";
        log() << "m_hidConnections 内容:";
        for (int i = 0; i < m_hidConnections.size(); ++i)
            log() << "  索引" << i << ":"
                  << "设备:" << m_connectionDevices.value(i)->label();
        return broadcastToAllKeyboards(
            [](RawHIDConnection* c) { return !c->workState() || c->setWorkState(0) > 0; });
    }
    if (m_multiKeyboard) {
        log() << "使用单键盘模式";
        if (active)
            log() << "当前连接设备:" << m_activeItem.label();
        else
            log() << "没有活跃的连接设备";
    }
    log() << "单键盘高性能模式，直接操作设备:" << m_activeItem.label();
    if (!active)
        return false;
    if (!active->workState()) {
        log() << "设备已经处于关闭状态";
        return true;
    }
    log() << "设备处于工作状态，执行关闭操作";
    return active->setWorkState(0) > 0;
}

bool ConnectionManager::postTradeAction(int action, int reason)
{
    log() << "=== postTradeAction 开始执行 ===";
    log() << "当前连接键盘数量:" << m_hidConnections.size();
    log() << "当前活跃键盘索引:" << m_activeIndex;
    log() << "当前活跃设备连接ID:" << m_activeConnectionId;
    log() << "动作:" << action << "原因:" << reason;
    if (m_hidConnections.size() < 2) {
        RawHIDConnection* active = activeConnection();
        return active && active->sendTradeAction(action, reason) > 0;
    }
    log() << "检测到多个键盘连接，使用多键盘同步通讯";
    return broadcastToAllKeyboards(
        [action, reason](RawHIDConnection* c) { return c->sendTradeAction(action, reason) > 0; });
}

void ConnectionManager::syncAllKeyboards()
{
    RawHIDConnection* active = activeConnection();
    if (m_hidConnections.size() < 2 || !active)
        return;
    // Until the active keyboard has answered, its parser holds defaults (trading mode off): sent
    // to every keyboard, they would take each of them out of trading mode.
    if (!active->hasReportedState()) {
        log() << "活跃键盘尚未报告状态，收到后再同步";
        m_syncAwaitingState = true;
        return;
    }
    m_syncAwaitingState = false;
    try {
        log() << "开始同步所有键盘状态...";
        const int state = active->workState() ? 1 : 0;
        const int soft = active->softType();
        broadcastToAllKeyboards([state](RawHIDConnection* c) { return c->setWorkState(state) > 0; });
        broadcastToAllKeyboards([soft](RawHIDConnection* c) {
            c->setParameter(DevParamId::Soft, soft);
            return true;
        });
        log() << "键盘状态同步完成，交易状态:" << state << "软件类型:" << soft;
        checkMonitorThreadState();
    } catch (...) {
        log() << "同步键盘状态时发生异常";
    }
}

bool ConnectionManager::sendToEveryKeyboard(const char* successLog, int value,
                                            qint64 (RawHIDConnection::*command)(int))
{
    bool anyTook = false;
    for (int i = 0; i < m_hidConnections.size(); ++i) {
        RawHIDConnection* connection = m_hidConnections.at(i);
        if (!connection || !m_ioDevices.value(i))
            continue;
        if ((connection->*command)(value) > 0) {
            anyTook = true;
            log() << successLog << value;
        }
    }
    if (RawHIDConnection* active = activeConnection())
        return (active->*command)(value) > 0;
    return anyTook;
}

bool ConnectionManager::setSpeedIndex(int index)
{
    return sendToEveryKeyboard("键盘设置速度索引成功:", index, &RawHIDConnection::setSpeed);
}

bool ConnectionManager::switchSpeedIndex(int index)
{
    return sendToEveryKeyboard("键盘切换速度索引成功:", index, &RawHIDConnection::setSpeed);
}

bool ConnectionManager::switchBuyIndex(int index)
{
    return sendToEveryKeyboard("键盘切换买入索引成功:", index, &RawHIDConnection::setBuyIndex);
}

void ConnectionManager::switchSoftType(int type)
{
    if (RawHIDConnection* active = activeConnection())
        active->switchSoft(type);
}

void ConnectionManager::setSoftIndex(int type)
{
    if (RawHIDConnection* active = activeConnection())
        active->setParameter(DevParamId::Soft, type);
}

bool ConnectionManager::setDeviceParameter(DevParamId id, int value)
{
    if (id == DevParamId::Speed)
        return setSpeedIndex(value);
    RawHIDConnection* active = activeConnection();
    return active && active->setParameter(id, value) > 0;
}

bool ConnectionManager::writeKeyMap(const QByteArray& keyMap)
{
    RawHIDConnection* active = activeConnection();
    return active && active->writeKeyMap(keyMap) > 0;
}

void ConnectionManager::requestKeyMap()
{
    if (RawHIDConnection* active = activeConnection())
        active->requestKeyMap();
}

void ConnectionManager::reloadState()
{
    if (RawHIDConnection* active = activeConnection())
        active->reloadState();
}

bool ConnectionManager::devSave()
{
    try {
        if (!m_activeItem.connection) {
            warn() << "ConnectionManager::devSave: No connection device";
            return false;
        }
        if (!m_activeStream) {
            warn() << "ConnectionManager::devSave: Device not connected";
            return false;
        }
        RawHIDConnection* active = activeConnection();
        if (!active) {
            warn() << "ConnectionManager::devSave: Invalid connection type";
            return false;
        }
        const qint64 result = active->devSave();
        log() << "ConnectionManager::devSave: Result =" << result;
        return result > 0;
    } catch (const std::exception& e) {
        qCritical().noquote() << "ConnectionManager::devSave exception:" << e.what();
    } catch (...) {
        qCritical().noquote() << "ConnectionManager::devSave unknown exception";
    }
    return false;
}

bool ConnectionManager::factoryReset()
{
    RawHIDConnection* active = activeConnection();
    return active && active->factoryReset() > 0;
}

bool ConnectionManager::reboot()
{
    RawHIDConnection* active = activeConnection();
    return active && active->reboot() > 0;
}

// ---------------------------------------------------------------- trade automation

void ConnectionManager::onNotice(int action, int reason)
{
    emit notice(action, reason);
}

void ConnectionManager::clickButton(trade::HWND button)
{
    const bool clicked = WindowRequests::clickButton(button);
    if (m_worker)
        m_worker->onButtonClicked(button, clicked);
}

void ConnectionManager::closeWindow(trade::HWND window)
{
    WindowRequests::closeWindow(window);
}

void ConnectionManager::setStockCheck(bool on)
{
    m_stockCheck = on;
    if (m_watcher)
        m_watcher->setPolling(on);
}

void ConnectionManager::checkMonitorThreadState()
{
    log() << "=== 检查监控线程状态 ===";
    log() << "当前连接键盘数量:" << m_hidConnections.size();
    if (m_hidConnections.isEmpty()) {
        log() << "没有键盘连接，停止监控线程";
        if (m_watchersRunning)
            stopThreads();
    } else {
        bool anyWorking = false;
        for (int i = 0; i < m_hidConnections.size() && !anyWorking; ++i) {
            try {
                const DevListItem* item = m_connectionDevices.value(i);
                RawHIDConnection* connection = m_hidConnections.at(i);
                if (!connection || !item || !item->device) {
                    log() << "键盘" << i << "索引无效或对象不存在，跳过检查";
                    continue;
                }
                if (connection->workState()) {
                    log() << "键盘" << i << "处于工作状态";
                    anyWorking = true;
                }
            } catch (const std::exception& e) {
                log() << "检查键盘" << i << "状态时发生异常:" << e.what();
            } catch (...) {
                log() << "检查键盘" << i << "状态时发生未知异常";
            }
        }
        if (anyWorking) {
            log() << "有键盘在工作，确保监控线程运行";
            if (!m_watchersRunning)
                startThreads();
        } else {
            log() << "所有键盘都处于非工作状态，停止监控线程";
            if (m_watchersRunning)
                stopThreads();
        }
    }
    log() << "=== 监控线程状态检查完成 ===";
}

void ConnectionManager::onTradeStateChanged(bool on)
{
    if (on == m_watchersRunning)
        return;
    if (on)
        startThreads();
    else
        stopThreads();
}

void ConnectionManager::startThreads()
{
    if (!m_watcher) {
        m_watcher = new DesktopWatcher(
            m_stateMachine, [this] { return m_stockCheck; }, this);
        connect(m_watcher, &DesktopWatcher::appActivated, this, &ConnectionManager::appActivated);
        connect(m_watcher, &DesktopWatcher::mouseClick, this, &ConnectionManager::mouseClick);
    }
    // A detector left running by the last stop still works in the worker: the new one starts
    // once it has finished (abandonDetector), never beside it.
    if (!m_abandonedDetector)
        makeDetector();
    m_watcher->start();
    if (m_detector)
        m_detector->start();
    // The worker's passes (1 and 2 ms apart) and short waits would end on Windows' 15.625 ms
    // timer tick otherwise: a software split takes about twice as long to confirm, a fixed
    // quantity nearly three times (the trade benchmark's timer modes). Held only while trading,
    // as a raised timer resolution costs power.
    if (!m_fineTimer) {
        m_fineTimer = platform::services().clock;
        m_fineTimer->beginFineTimer();
    }
    m_watchersRunning = true;
}

void ConnectionManager::makeDetector()
{
    if (!m_detector)
        m_detector = new ControlDetector(m_stateMachine, m_worker, this);
    // Every window the watcher classifies becomes the detector's next task.
    connect(m_watcher, &DesktopWatcher::desktopChanged, m_detector, &ControlDetector::setNewTask,
            Qt::UniqueConnection);
}

void ConnectionManager::stopThreads()
{
    if (m_fineTimer) {
        m_fineTimer->endFineTimer();
        m_fineTimer = nullptr;
    }
    m_watchersRunning = false;
    if (m_watcher) {
        m_watcher->stop();
        m_watcher->wait();
        delete m_watcher;
        m_watcher = nullptr;
    }
    if (m_detector) {
        if (m_detector->stop())
            delete m_detector;
        else
            abandonDetector(m_detector);
        m_detector = nullptr;
    }
}

void ConnectionManager::abandonDetector(ControlDetector* detector)
{
    qWarning().noquote() << "控制检测线程仍在运行，不再等待；它结束后再释放";
    // Never deleted while its thread runs, not even with this manager: it goes when it has
    // finished (a queued call, on this thread).
    detector->setParent(nullptr);
    m_abandonedDetector = detector;
    connect(detector, &QThread::finished, this, [this, detector] {
        detector->deleteLater();
        if (m_abandonedDetector != detector)
            return;
        m_abandonedDetector = nullptr;
        if (!m_watchersRunning || m_detector)
            return;
        makeDetector();
        m_detector->start();
        // What the watcher classified meanwhile is the new detector's first task.
        if (const trade::HWND window = m_stateMachine->window())
            m_detector->setNewTask(trade::toWParam(window));
    });
}

} // namespace Core
