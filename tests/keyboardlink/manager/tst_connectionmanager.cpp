// The connection manager on two and three simulated keyboards: which keyboards it connects in
// each mode, which one is active, what happens on arrival, removal and mode changes, the frames
// its operations send, how it dispatches what the keyboards send, and the trade automation
// threads that follow the trading mode.

#include "ZkTest.h"

#include "config/ConfigManager.h"
#include "keyboardlink/connection/RawHIDConnection.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardlink/monitor/USBMonitor.h"
#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/transport/RawHID.h"
#include "platform/api/Clock.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "trade/ControlDetector.h"
#include "trade/DesktopWatcher.h"
#include "trade/EditBoxChangeWorker.h"

#include <QPointer>
#include <QSignalSpy>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const std::string kFirst = "ZK000001";
const std::string kSecond = "ZK000002";
const std::string kThird = "ZK000003";

// Diagnostic lines of the program while alive, from any thread.
class Log
{
public:
    Log()
    {
        m_previous = qInstallMessageHandler(&Log::handler);
        s_current = this;
    }
    ~Log()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        return m_lines;
    }
    bool contains(const QString& line) const { return lines().contains(line); }

private:
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (s_current)
            s_current->m_lines.append(message);
    }
    static Log* s_current;
    static std::mutex s_mutex; // not QMutex: the thread sanitizer cannot see into Qt
    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};
Log* Log::s_current = nullptr;
std::mutex Log::s_mutex;

using ManagerOp = std::function<bool(Core::ConnectionManager&)>;

// The system clock, counting the fine-timer requests made of it.
struct CountingClock : platform::Clock
{
    std::int64_t nowMs() override { return platform::systemClock().nowMs(); }
    std::int64_t monotonicMs() override { return platform::systemClock().monotonicMs(); }
    void sleepMs(int ms) override { platform::systemClock().sleepMs(ms); }
    void beginFineTimer() override { ++begins; }
    void endFineTimer() override { ++ends; }
    int held() const { return begins - ends; }
    std::atomic<int> begins{0};
    std::atomic<int> ends{0};
};

QString hexOf(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())).toHex(' ').toUpper();
}

} // namespace

Q_DECLARE_METATYPE(ManagerOp)

class TestConnectionManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<sim::KeyboardSimulator> m_sim;
    std::unique_ptr<Core::ConnectionManager> m_manager;

    // The frames the program sent to a keyboard, as hex text.
    QStringList frames(const std::string& serial) const
    {
        QStringList list;
        for (const auto& frame : m_sim->receivedFrameBytes(serial))
            list.append(hexOf(frame));
        return list;
    }
    QStringList framesWithCommand(const std::string& serial, const QString& command) const
    {
        QStringList list;
        for (const QString& f : frames(serial)) {
            if (f.mid(3, 2) == command)
                list.append(f);
        }
        return list;
    }
    QString serialOf(const Core::DevListItem& item) const { return item.label().mid(5); }

    // Keyboards plugged in, the mode stored, the manager started as the main window starts it.
    void start(const std::vector<std::string>& serials, bool multi)
    {
        for (const std::string& s : serials)
            m_sim->addKeyboard(s);
        ConfigManager::instance()->setMultiKeyboardEnabled(multi);
        m_manager = std::make_unique<Core::ConnectionManager>();
        m_manager->initConnections();
        m_manager->setMultiKeyboardEnabled(multi);
    }
    // Keyboards plugged in and the mode stored; the manager connects them by that mode a second
    // after it lists them. Waits until they are connected and, with several, synchronised, so
    // that the test starts from quiet keyboards.
    void startConnected(const std::vector<std::string>& serials, bool multi)
    {
        for (const std::string& s : serials)
            m_sim->addKeyboard(s);
        ConfigManager::instance()->setMultiKeyboardEnabled(multi);
        m_manager = std::make_unique<Core::ConnectionManager>();
        m_manager->initConnections();
        const int expected = multi ? int(serials.size()) : 1;
        QTRY_COMPARE(m_manager->keyboardCount(), expected);
        if (expected > 1) {
            for (const std::string& s : serials)
                QTRY_VERIFY(!framesWithCommand(s, QStringLiteral("31")).isEmpty());
            // The keyboards' answers to that synchronisation (0x31 comes last) are handled too:
            // on a slow machine they would otherwise reach the signals a test watches next.
            for (int i = 0; i < expected; ++i)
                QTRY_COMPARE(keyboard(i)->dataParser()->command(), 0x31);
        }
        // Every keyboard's answers are in (the last keyboard answered the last command).
        QTRY_VERIFY(m_manager->hidConnections().last()->dataParser()->command() != 0);
        for (const std::string& s : serials)
            m_sim->clearRecords(s);
    }
    RawHIDConnection* keyboard(int i) const { return m_manager->hidConnections().at(i); }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
    }

    void init()
    {
        m_sim = std::make_unique<sim::KeyboardSimulator>();
        m_sim->install();
    }

    void cleanup()
    {
        m_manager.reset();
        QCOMPARE(USBMonitor::instance(), nullptr); // every connection went with the manager
        ConfigManager::destroyInstance();
        platform::install(platform::Services());
        m_sim.reset();
    }

    void singleModeConnectsOnlyTheFirstListed()
    {
        start({kFirst, kSecond}, false);
        // At once: the first keyboard is the active device, through the manager's own connection.
        QVERIFY(m_manager->isDeviceConnected());
        QCOMPARE(serialOf(m_manager->activeItem()), QString::fromStdString(kFirst));
        QCOMPARE(m_manager->deviceList().size(), 2);
        QCOMPARE(m_sim->openHandles(kFirst), 1);

        QTRY_COMPARE(m_manager->keyboardCount(), 1);
        QCOMPARE(serialOf(m_manager->connectedKeyboards().at(0)), QString::fromStdString(kFirst));
        QCOMPARE(m_manager->activeIndex(), 0);
        QCOMPARE(m_manager->currentConnection(), m_manager->hidConnections().at(0));
        QCOMPARE(m_manager->activeConnectionId(), QStringLiteral("conn_%1").arg(quintptr(keyboard(0))));
        QCOMPARE(m_sim->openHandles(kFirst), 2);
        QCOMPARE(m_sim->openHandles(kSecond), 0);
        QVERIFY(frames(kSecond).isEmpty());
        QVERIFY(frames(kFirst).contains(QStringLiteral("5A F1 00 00 CA")));
    }

    void multiModeConnectsAllAndSynchronisesAfterASecond()
    {
        m_sim->addKeyboard(kFirst);
        m_sim->changeState(kFirst, [](sim::KeyboardState& s) {
            s.workState = true;
            s.soft = 1;
        });
        Log log;
        start({kSecond}, true);
        QTRY_COMPARE(m_manager->keyboardCount(), 2);
        QCOMPARE(m_manager->activeIndex(), 0);
        QCOMPARE(serialOf(m_manager->activeItem()), QString::fromStdString(kFirst));
        QCOMPARE(m_manager->currentConnection(), m_manager->hidConnections().at(0));
        QCOMPARE(m_sim->openHandles(kSecond), 1);
        // Connected, not yet in step: the sync waits a second for the keyboards' answers.
        QVERIFY(framesWithCommand(kSecond, QStringLiteral("22")).isEmpty());
        QVERIFY(log.contains(QStringLiteral("检测到多个键盘，开始自动同步状态...")));

        // The second keyboard takes the first one's trading mode and software.
        QTRY_VERIFY(
            framesWithCommand(kSecond, QStringLiteral("31")).contains(QStringLiteral("5A 31 01 01 01 CA")));
        QVERIFY(
            framesWithCommand(kSecond, QStringLiteral("22")).contains(QStringLiteral("5A 22 01 01 01 CA")));
        QVERIFY(
            framesWithCommand(kFirst, QStringLiteral("22")).contains(QStringLiteral("5A 22 01 01 01 CA")));
        QCOMPARE(m_sim->state(kSecond).workState, true);
        QCOMPARE(m_sim->state(kSecond).soft, std::uint8_t(1));
        QVERIFY(log.contains(QStringLiteral("键盘状态同步完成，交易状态: 1 软件类型: 1")));
        // A keyboard in trading mode: trade watching runs.
        QVERIFY(m_manager->watchersRunning());
        QVERIFY(m_manager->desktopWatcher());
        QVERIFY(m_manager->controlDetector());
    }

    // The keyboard the sync copies has not answered yet (its commands wait in a busy device): its
    // state is not known, and the others keep their own until it has told it.
    void syncWaitsForTheActiveKeyboardsState()
    {
        for (const std::string& s : {kFirst, kSecond}) {
            m_sim->addKeyboard(s);
            m_sim->changeState(s, [](sim::KeyboardState& state) {
                state.workState = true;
                state.soft = 2;
            });
        }
        m_sim->holdWrites(kFirst, true);
        start({}, true);
        QTRY_COMPARE(m_manager->keyboardCount(), 2);
        QVERIFY(!keyboard(0)->hasReportedState());
        m_manager->syncAllKeyboards();
        QVERIFY(framesWithCommand(kSecond, QStringLiteral("22")).isEmpty());

        m_sim->holdWrites(kFirst, false); // it takes the commands and answers
        QTRY_VERIFY(
            framesWithCommand(kSecond, QStringLiteral("22")).contains(QStringLiteral("5A 22 01 01 01 CA")));
        QTRY_VERIFY(
            framesWithCommand(kSecond, QStringLiteral("31")).contains(QStringLiteral("5A 31 01 02 02 CA")));
        QVERIFY(!framesWithCommand(kSecond, QStringLiteral("22")).contains(QStringLiteral("5A 22 01 00 00 CA")));
        QCOMPARE(m_sim->state(kSecond).workState, true);
        QCOMPARE(m_sim->state(kFirst).workState, true);
    }

    void multiModeOffRemovesTheLastKeyboardsFirst()
    {
        startConnected({kFirst, kSecond, kThird}, true);
        Log log;
        m_manager->setMultiKeyboardEnabled(false);
        QCOMPARE(m_manager->keyboardCount(), 1);
        QCOMPARE(serialOf(m_manager->connectedKeyboards().at(0)), QString::fromStdString(kFirst));
        QCOMPARE(m_manager->activeIndex(), 0);
        const QStringList lines = log.lines();
        const int third = lines.indexOf(QStringLiteral("移除设备: USB: ZK000003"));
        const int second = lines.indexOf(QStringLiteral("移除设备: USB: ZK000002"));
        QVERIFY(third >= 0);
        QVERIFY(second > third);
        QVERIFY(lines.contains(QStringLiteral("设备移除成功，当前连接数: 1")));
        QCOMPARE(m_sim->openHandles(kThird), 0);
        QCOMPARE(m_sim->openHandles(kSecond), 0);
        QCOMPARE(m_sim->openHandles(kFirst), 2);
        // The one left still works.
        QVERIFY(m_manager->postTradeAction(1, 2));
        QTRY_COMPARE(m_sim->tradeActions(kFirst).size(), size_t(1));
    }

    void removingTheActiveKeyboardMakesTheNextOneActive()
    {
        startConnected({kFirst, kSecond}, true);
        QPointer<RawHIDConnection> removed = keyboard(0);
        m_manager->removeKeyboard(m_manager->connectedKeyboards().at(0));
        QVERIFY(!removed); // its connection is freed
        QCOMPARE(m_manager->keyboardCount(), 1);
        QCOMPARE(m_manager->activeIndex(), 0);
        QCOMPARE(serialOf(m_manager->activeItem()), QString::fromStdString(kSecond));
        QCOMPARE(m_manager->currentConnection(), keyboard(0));
        QCOMPARE(m_manager->activeStream(), keyboard(0)->stream());
        // Commands for the active keyboard reach the keyboard that is active now.
        QVERIFY(m_manager->switchWorkState());
        QTRY_COMPARE(frames(kSecond), QStringList{QStringLiteral("5A 21 00 00 CA")});
        QVERIFY(framesWithCommand(kFirst, QStringLiteral("21")).isEmpty());
    }

    void removingAKeyboardBelowTheActiveOneKeepsTheActiveKeyboard()
    {
        startConnected({kFirst, kSecond, kThird}, true);
        m_manager->setActiveKeyboard(2);
        QCOMPARE(serialOf(m_manager->activeItem()), QString::fromStdString(kThird));
        m_manager->removeKeyboard(m_manager->connectedKeyboards().at(0));
        QCOMPARE(m_manager->keyboardCount(), 2);
        QCOMPARE(m_manager->activeIndex(), 1);
        QCOMPARE(serialOf(m_manager->activeItem()), QString::fromStdString(kThird));
        QCOMPARE(m_manager->currentConnection(), keyboard(1));
        // Removing one that is not connected changes nothing.
        m_manager->removeKeyboard(Core::DevListItem());
        QCOMPARE(m_manager->keyboardCount(), 2);
        QCOMPARE(m_manager->activeIndex(), 1);
    }

    void setActiveKeyboardOutOfRangeChangesNothing()
    {
        startConnected({kFirst, kSecond}, true);
        m_manager->setActiveKeyboard(1);
        const QString id = m_manager->activeConnectionId();
        QCOMPARE(id, QStringLiteral("conn_%1").arg(quintptr(keyboard(1))));
        for (int index : {2, -1}) {
            Log log;
            m_manager->setActiveKeyboard(index);
            QVERIFY(log.contains(QStringLiteral("无效的键盘索引: %1 ，当前连接数: 2").arg(index)));
            QCOMPARE(m_manager->activeIndex(), 1);
            QCOMPARE(serialOf(m_manager->activeItem()), QString::fromStdString(kSecond));
            QCOMPARE(m_manager->currentConnection(), keyboard(1));
            QCOMPARE(m_manager->activeConnectionId(), id);
        }
    }

    void anyArrivalDropsAndReconnectsAfterASecond()
    {
        startConnected({kFirst, kSecond}, true);
        QPointer<RawHIDConnection> old0 = keyboard(0);
        QPointer<RawHIDConnection> old1 = keyboard(1);
        QVector<int> countWhenListed;
        connect(m_manager.get(), &Core::ConnectionManager::availableDevicesChanged, this,
                [&] { countWhenListed.append(m_manager->keyboardCount()); });

        m_sim->addKeyboard(kThird);
        QTRY_COMPARE(countWhenListed.size(), 1);
        // Dropped at once; the list has all three and the first is open again as the active device.
        QCOMPARE(countWhenListed.at(0), 0);
        QVERIFY(!old0 && !old1);
        QCOMPARE(m_manager->deviceList().size(), 3);
        QVERIFY(m_manager->isDeviceConnected());
        QCOMPARE(m_manager->keyboardCount(), 0);
        // A second later every keyboard is connected again.
        QTRY_COMPARE(m_manager->keyboardCount(), 3);
        QCOMPARE(serialOf(m_manager->activeItem()), QString::fromStdString(kFirst));
        QCOMPARE(m_sim->openHandles(kThird), 1);
    }

    void unplugAndReplug()
    {
        startConnected({kFirst}, false);
        m_sim->unplug(kFirst);
        QTRY_VERIFY(!m_manager->isDeviceConnected());
        QCOMPARE(m_manager->keyboardCount(), 0);
        QVERIFY(m_manager->deviceList().isEmpty());
        QVERIFY(!m_manager->switchWorkState()); // nothing to send to

        m_sim->plug(kFirst);
        QTRY_VERIFY(m_manager->isDeviceConnected());
        QTRY_COMPARE(m_manager->keyboardCount(), 1);
        QVERIFY(m_manager->switchWorkState());
        QTRY_VERIFY(frames(kFirst).contains(QStringLiteral("5A 21 00 00 CA")));
    }

    void postTradeAction_data()
    {
        QTest::addColumn<bool>("multi");
        QTest::newRow("two keyboards") << true;
        QTest::newRow("one keyboard") << false;
    }

    void postTradeAction()
    {
        QFETCH(bool, multi);
        startConnected({kFirst, kSecond}, multi);
        QVERIFY(m_manager->postTradeAction(0x40, 0x0B));
        const QStringList expected{QStringLiteral("5A A1 02 40 0B 4B CA")};
        QTRY_COMPARE(framesWithCommand(kFirst, QStringLiteral("A1")), expected);
        QTRY_COMPARE(framesWithCommand(kSecond, QStringLiteral("A1")), multi ? expected : QStringList());
        QCOMPARE(frames(kFirst), expected);
    }

    void switchWorkStateSetsAllToTheOppositeOfTheActiveOne()
    {
        startConnected({kFirst, kSecond}, true);
        QVERIFY(!keyboard(0)->workState());
        // The second keyboard goes into trading mode on its own and says so.
        m_sim->changeState(kSecond, [](sim::KeyboardState& s) { s.workState = true; });
        m_sim->pressSpeedKey(kSecond);
        QTRY_VERIFY(keyboard(1)->workState());

        Log log;
        QCOMPARE(m_manager->getTradeState(), false); // keyboard 0 is the reference
        QVERIFY(log.contains(QStringLiteral("键盘 1 交易状态不一致: true vs false")));
        QVERIFY(log.contains(QStringLiteral("键盘交易状态不一致，需要同步")));

        QVERIFY(m_manager->switchWorkState());
        const QStringList on{QStringLiteral("5A 22 01 01 01 CA")};
        QTRY_COMPARE(framesWithCommand(kFirst, QStringLiteral("22")), on);
        QTRY_COMPARE(framesWithCommand(kSecond, QStringLiteral("22")), on);
        QTRY_VERIFY(keyboard(0)->workState() && keyboard(1)->workState());
        QCOMPARE(m_manager->getTradeState(), true);
        QVERIFY(log.contains(QStringLiteral("所有键盘交易状态一致: true")));
    }

    void setWorkOff_data()
    {
        QTest::addColumn<bool>("multi");
        QTest::addColumn<bool>("firstOn");
        QTest::addColumn<bool>("secondOn");
        QTest::newRow("single, off") << false << false << false;
        QTest::newRow("single, on") << false << true << false;
        QTest::newRow("multi, one on") << true << false << true;
        QTest::newRow("multi, both off") << true << false << false;
    }

    void setWorkOff()
    {
        QFETCH(bool, multi);
        QFETCH(bool, firstOn);
        QFETCH(bool, secondOn);
        startConnected({kFirst, kSecond}, multi);
        const std::vector<std::pair<std::string, bool>> wanted{{kFirst, firstOn}, {kSecond, secondOn}};
        for (int i = 0; i < m_manager->keyboardCount(); ++i) {
            const auto& [serial, on] = wanted[size_t(i)];
            m_sim->changeState(serial, [on = on](sim::KeyboardState& s) { s.workState = on; });
            m_sim->pressSpeedKey(serial); // the keyboard reports its state
            QTRY_COMPARE(keyboard(i)->workState(), on);
            m_sim->clearRecords(serial);
        }

        QVERIFY(m_manager->setWorkOff());
        // A speed change behind it shows when everything sent before has arrived.
        QVERIFY(m_manager->switchSpeedIndex(1));
        const QString marker = QStringLiteral("5A 33 01 01 01 CA");
        const QStringList off{QStringLiteral("5A 22 01 00 00 CA")};
        QTRY_VERIFY(frames(kFirst).contains(marker));
        QCOMPARE(frames(kFirst).mid(0, frames(kFirst).indexOf(marker)), firstOn ? off : QStringList());
        if (multi) {
            QTRY_VERIFY(frames(kSecond).contains(marker));
            QCOMPARE(frames(kSecond).mid(0, frames(kSecond).indexOf(marker)), secondOn ? off : QStringList());
        } else {
            QCOMPARE(m_sim->writeAttempts(kSecond), 0);
        }
        QVERIFY(!m_sim->state(kFirst).workState && !m_sim->state(kSecond).workState);
    }

    void operationsWithoutAKeyboardSendNothing()
    {
        Log log;
        m_sim->addKeyboard(kFirst);
        m_manager = std::make_unique<Core::ConnectionManager>(); // never started
        QVERIFY(!m_manager->devSave());
        QVERIFY(log.contains(QStringLiteral("ConnectionManager::devSave: No connection device")));
        QVERIFY(!m_manager->switchWorkState());
        QVERIFY(!m_manager->setWorkOff());
        QVERIFY(!m_manager->postTradeAction(1, 1));
        QVERIFY(!m_manager->factoryReset());
        QVERIFY(!m_manager->writeKeyMap(QByteArray(3, 1)));
        QVERIFY(!m_manager->setSpeedIndex(3));
        QVERIFY(!m_manager->getTradeState());
        QCOMPARE(m_manager->activeSoftType(), 0);
        QCOMPARE(m_sim->writeAttempts(kFirst), 0);
    }

    // Each operation to the active keyboard, byte for byte (one connected pair of keyboards for
    // the whole table: connecting takes two seconds).
    void activeKeyboardCommands()
    {
        struct Case
        {
            const char* name;
            ManagerOp op;
            QString frame;
        };
        const Case cases[] = {
            {"save", [](Core::ConnectionManager& m) { return m.devSave(); }, "5A 3F 00 00 CA"},
            {"factory reset", [](Core::ConnectionManager& m) { return m.factoryReset(); }, "5A 3E 00 00 CA"},
            {"reboot", [](Core::ConnectionManager& m) { return m.reboot(); }, "5A B0 00 00 CA"},
            {"software switch",
             [](Core::ConnectionManager& m) {
                 m.switchSoftType(1);
                 return true;
             },
             "5A 20 01 01 01 CA"},
            {"software parameter",
             [](Core::ConnectionManager& m) {
                 m.setSoftIndex(2);
                 return true;
             },
             "5A 31 01 02 02 CA"},
            {"buy confirm", [](Core::ConnectionManager& m) { return m.setBuyConfirm(1); },
             "5A 2B 01 01 01 CA"},
            {"led colour", [](Core::ConnectionManager& m) { return m.setLedColor(3); }, "5A ED 01 03 03 CA"},
            {"key map", [](Core::ConnectionManager& m) { return m.writeKeyMap(QByteArray("\x0A\x0B", 2)); },
             "5A 1E 02 0A 0B 01 CA"},
        };
        startConnected({kFirst, kSecond}, true);
        for (const Case& c : cases) {
            m_sim->clearRecords(kFirst);
            QVERIFY2(c.op(*m_manager), c.name);
            QTRY_COMPARE(frames(kFirst), QStringList{c.frame});
        }
        QVERIFY(frames(kSecond).isEmpty());
    }

    void speedAndPriceTypeGoToEveryKeyboard()
    {
        startConnected({kFirst, kSecond}, true);
        QVERIFY(m_manager->switchSpeedIndex(4));
        QVERIFY(m_manager->switchBuyIndex(99));
        // The active keyboard is reached through its own connection and as the active keyboard.
        QTRY_COMPARE(frames(kFirst), (QStringList{"5A 33 01 04 04 CA", "5A 33 01 04 04 CA",
                                                  "5A 32 01 63 63 CA", "5A 32 01 63 63 CA"}));
        QTRY_COMPARE(frames(kSecond), (QStringList{"5A 33 01 04 04 CA", "5A 32 01 63 63 CA"}));
        QTRY_COMPARE(m_sim->state(kSecond).speed, std::uint8_t(4));
    }

    void framesAreDispatchedByCommand()
    {
        startConnected({kFirst, kSecond}, true);
        QSignalSpy types(m_manager.get(), &Core::ConnectionManager::tradeTypeSet);
        QSignalSpy completed(m_manager.get(), &Core::ConnectionManager::tradeCompleted);
        QSignalSpy keyMaps(m_manager.get(), &Core::ConnectionManager::sendKeyMapData);
        QSignalSpy states(m_manager.get(), &Core::ConnectionManager::updateDevState);

        m_sim->pressTradeKey(kSecond, 13);
        QTRY_COMPARE(types.size(), 1);
        QCOMPARE(types.at(0), (QVariantList{0, 13, 0}));
        m_sim->pressTradeKeyWithFlag(kFirst, 25, 3);
        QTRY_COMPARE(types.size(), 2);
        QCOMPARE(types.at(1), (QVariantList{0, 25, 3}));
        m_sim->keyEvent(kFirst, 0xCE, 21);
        QTRY_COMPARE(completed.size(), 1);
        QCOMPARE(completed.at(0).at(0).toInt(), 21);
        m_manager->requestKeyMap();
        QTRY_COMPARE(keyMaps.size(), 1);
        QCOMPARE(keyMaps.at(0).at(0).toByteArray(), keyboard(0)->dataParser()->keyMap());
        m_manager->reloadState();
        QTRY_COMPARE(states.size(), 1);
        QCOMPARE(states.at(0).at(0).value<DataParser*>(), keyboard(0)->dataParser());
        QCOMPARE(types.size(), 2); // the active keyboard's other handle does not count twice
    }

    void tradeKeyBeforeTheKeyboardIsConnectedIsIgnored()
    {
        start({kFirst}, false);
        // Only the manager's own connection is open so far; what it reads is not dispatched.
        QCOMPARE(m_manager->keyboardCount(), 0);
        auto* own = qobject_cast<RawHIDConnection*>(m_manager->activeItem().connection);
        QVERIFY(own);
        QVector<int> ownCommands;
        connect(own, &RawHIDConnection::dataArrived, this,
                [&] { ownCommands.append(own->dataParser()->command()); });
        QSignalSpy types(m_manager.get(), &Core::ConnectionManager::tradeTypeSet);
        m_sim->pressTradeKey(kFirst, 13);
        QTRY_VERIFY(ownCommands.contains(0xD0));
        QCOMPARE(types.size(), 0);
    }

    void tradingModeRunsTheWatcherAndTheDetector()
    {
        sim::SimSystem desktop(platform::systemClock());
        desktop.install();
        desktop.startEventThread();
        startConnected({kFirst}, false);
        QSignalSpy activated(m_manager.get(), &Core::ConnectionManager::appActivated);
        Log log;

        m_manager->onTradeStateChanged(true);
        QVERIFY(m_manager->watchersRunning());
        QPointer<DesktopWatcher> watcher = m_manager->desktopWatcher();
        QPointer<ControlDetector> detector = m_manager->controlDetector();
        QVERIFY(watcher && detector);
        QVERIFY(detector->isRunning());
        QTRY_VERIFY(watcher->isHooked());

        // A TDX main window in front: announced as TDX, and handed to the detector.
        sim::FakeTdx tdx(desktop);
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(activated.at(0), (QVariantList{2, 1}));
        QTRY_VERIFY(log.contains(QStringLiteral("收到新任务，hwnd: %1").arg(tdx.mainWindow())));

        m_manager->onTradeStateChanged(false);
        QVERIFY(!m_manager->watchersRunning());
        QVERIFY(!watcher && !detector);
        QVERIFY(!m_manager->desktopWatcher());

        // Started again, they are new threads.
        m_manager->onTradeStateChanged(true);
        QVERIFY(m_manager->desktopWatcher() && m_manager->controlDetector()->isRunning());
        m_manager.reset(); // the manager stops them when it goes
        platform::install(platform::Services());
        desktop.stopEventThread();
    }

    // Trading asks for Windows' fine timer; every way out of trading mode gives it back once.
    void tradingModeHoldsTheFineTimer()
    {
        CountingClock clock;
        platform::Services os = platform::services();
        os.clock = &clock;
        platform::install(os);
        startConnected({kFirst}, false);
        QCOMPARE(clock.begins.load(), 0);

        m_manager->onTradeStateChanged(true);
        m_manager->onTradeStateChanged(true);
        QCOMPARE(clock.begins.load(), 1);
        QCOMPARE(clock.held(), 1);
        m_manager->stopThreads(); // restarted threads hold it once
        m_manager->startThreads();
        m_manager->startThreads();
        QCOMPARE(clock.held(), 1);

        m_manager->onTradeStateChanged(false);
        m_manager->stopThreads();
        QCOMPARE(clock.held(), 0);
        QCOMPARE(clock.ends.load(), clock.begins.load());

        // Unplugging the last keyboard stops trading.
        m_manager->onTradeStateChanged(true);
        QCOMPARE(clock.held(), 1);
        m_sim->unplug(kFirst);
        QTRY_VERIFY(!m_manager->watchersRunning());
        QCOMPARE(clock.held(), 0);

        // Quitting while trading.
        m_sim->plug(kFirst);
        QTRY_COMPARE(m_manager->keyboardCount(), 1);
        m_manager->onTradeStateChanged(true);
        QCOMPARE(clock.held(), 1);
        m_manager.reset();
        QCOMPARE(clock.held(), 0);
        QCOMPARE(clock.ends.load(), clock.begins.load());
    }

    void stockCheckSwitchesTheWatcherPoll()
    {
        startConnected({kFirst}, false);
        m_manager->setStockCheck(false);
        m_manager->onTradeStateChanged(true);
        QVERIFY(!m_manager->desktopWatcher()->isPolling());
        m_manager->setStockCheck(true);
        QVERIFY(m_manager->desktopWatcher()->isPolling());
        m_manager->setStockCheck(false);
        QVERIFY(!m_manager->desktopWatcher()->isPolling());
        // A watcher made while stock check is on polls from the start.
        m_manager->setStockCheck(true);
        m_manager->stopThreads();
        m_manager->startThreads();
        QVERIFY(m_manager->desktopWatcher()->isPolling());
    }

    // What the order dialog worker asks of the GUI thread goes through the manager.
    void workerRequestsReachTheTradingDesktop()
    {
        platform::ManualClock clock;
        sim::SimSystem desktop(clock);
        desktop.driveEventsFrom(clock);
        desktop.install();
        sim::FakeTdx tdx(desktop);
        Core::ConnectionManager manager;

        sim::TdxOrderOptions order;
        order.quantity = u"300";
        const platform::WindowId buy = tdx.openFlashBuy(order);
        desktop.desktop().runPending();
        manager.clickButton(tdx.control(buy, sim::TdxField::Confirm));
        desktop.desktop().runPending();
        QCOMPARE(desktop.orderBook().submittedCount(), std::size_t(1));
        QCOMPARE(desktop.orderBook().submitted().at(0).quantity, std::int64_t(300));

        const platform::WindowId sell = tdx.openFlashSell();
        desktop.desktop().runPending();
        manager.closeWindow(sell);
        desktop.desktop().runPending();
        QVERIFY(!desktop.desktop().isWindow(sell));
        QCOMPARE(desktop.orderBook().submittedCount(), std::size_t(1));

        QSignalSpy notices(&manager, &Core::ConnectionManager::notice);
        manager.onNotice(128, 11);
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.at(0), (QVariantList{128, 11}));
        clock.setObserver(nullptr);
        platform::install(platform::Services());
    }

    // The order dialog worker decides on the detector's thread; what it decides reaches the
    // keyboards and the trading desktop on the GUI thread, and the keyboards' trade keys reach it.
    void workerIsWiredThroughTheManager()
    {
        platform::ManualClock clock;
        sim::SimSystem desktop(clock);
        desktop.driveEventsFrom(clock);
        platform::Services os = desktop.services(platform::services());
        platform::install(os);
        sim::FakeTdx tdx(desktop);
        startConnected({kFirst, kSecond}, true);
        EditBoxChangeWorker* worker = m_manager->worker();
        QSignalSpy notices(m_manager.get(), &Core::ConnectionManager::notice);

        sim::TdxOrderOptions order;
        order.quantity = u"300";
        const platform::WindowId buy = tdx.openFlashBuy(order);
        const platform::WindowId confirm = tdx.control(buy, sim::TdxField::Confirm);
        std::thread([&] {
            emit worker->actionSignal(64, 12);
            emit worker->notice(64, 1);
            emit worker->requestClickButton(confirm);
        }).join();
        QTRY_COMPARE(desktop.orderBook().submittedCount(), std::size_t(1));
        QCOMPARE(desktop.orderBook().submitted().at(0).quantity, std::int64_t(300));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.at(0), (QVariantList{64, 1}));
        for (const std::string& serial : {kFirst, kSecond}) {
            QTRY_COMPARE(framesWithCommand(serial, QStringLiteral("A1")),
                         QStringList{"5A A1 02 40 0C 4C CA"});
            QCOMPARE(m_sim->tradeActions(serial),
                     (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{64, 12}}));
        }

        const platform::WindowId sell = tdx.openFlashSell();
        desktop.desktop().runPending();
        std::thread([&] { emit worker->requestCloseWindow(sell); }).join();
        QTRY_VERIFY(!desktop.desktop().isWindow(sell));
        QCOMPARE(desktop.orderBook().submittedCount(), std::size_t(1));

        // A 1/3 key on either keyboard tells the worker what the next dialog is for. (The worker
        // runs on this thread here, so its requests are carried out at once.)
        QSignalSpy types(m_manager.get(), &Core::ConnectionManager::tradeTypeSet);
        m_sim->pressTradeKey(kSecond, 13);
        QTRY_COMPARE(types.size(), 1);
        DesktopWatcher watcher(m_manager->stateMachine(), [] { return false; });
        auto trade = [&](const std::u16string& name) {
            sim::TdxOrderOptions o;
            o.code = u"600000";
            o.name = name;
            o.price = u"10.52";
            o.maxQuantity = 1000;
            tdx.openFlashBuy(o);
            watcher.onForegroundChanged(desktop.desktop().foregroundWindow());
            worker->performDetection(0);
        };
        trade(u"浦发银行");
        QCOMPARE(desktop.orderBook().submittedCount(), std::size_t(2));
        QCOMPARE(desktop.orderBook().submitted().at(1).quantity, std::int64_t(300));
        QTRY_COMPARE(m_sim->tradeActions(kFirst),
                     (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{64, 12}, {4, 0}, {64, 0}}));

        // Changed trading settings reach the worker with reloadCfg.
        ConfigManager::instance()->setTdxNotST(true);
        emit m_manager->reloadCfg();
        m_sim->clearRecords(kFirst);
        trade(u"ST浦发");
        QCOMPARE(desktop.orderBook().submittedCount(), std::size_t(2));
        QTRY_COMPARE(m_sim->tradeActions(kFirst),
                     (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{64, 12}}));
        clock.setObserver(nullptr);
    }

    void disconnectAllRereadsTheMode()
    {
        startConnected({kFirst, kSecond}, true);
        QSignalSpy gone(m_manager.get(), &Core::ConnectionManager::deviceDisconnected);
        ConfigManager::instance()->setMultiKeyboardEnabled(false);
        QVERIFY(m_manager->disconnectAll());
        QCOMPARE(gone.size(), 1);
        QCOMPARE(m_manager->keyboardCount(), 0);
        QVERIFY(!m_manager->isDeviceConnected());
        QVERIFY(!m_manager->isMultiKeyboardEnabled());
        QCOMPARE(m_sim->openHandles(kSecond), 0);
        // Reconnecting now follows the stored mode: one keyboard.
        QVERIFY(m_manager->connectAllKeyboards());
        QCOMPARE(m_manager->keyboardCount(), 1);
    }
};

ZK_TEST_MAIN(TestConnectionManager)
#include "tst_connectionmanager.moc"
