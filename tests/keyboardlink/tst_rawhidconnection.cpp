// RawHIDConnection on simulated keyboards: listing, connecting, every host command byte for byte,
// decoding what comes back, and the save command's guards.

#include "ZkTest.h"

#include "keyboardlink/connection/RawHIDConnection.h"
#include "keyboardlink/connection/USBDevice.h"
#include "keyboardlink/monitor/USBMonitor.h"
#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/transport/RawHID.h"
#include "sim/keyboard/KeyboardSimulator.h"

#include <QPointer>
#include <QSignalSpy>

#include <functional>
#include <memory>

namespace {

const std::string kSerial = "ZK000001";

QByteArray hexOf(const std::vector<std::uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size())).toHex(' ').toUpper();
}

using Command = std::function<qint64(RawHIDConnection&)>;

} // namespace

Q_DECLARE_METATYPE(Command)

class TestRawHIDConnection : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void noKeyboards();
    void listsKeyboardsAsNewObjects();
    void commandFrames_data();
    void commandFrames();
    void commandsWithoutOpenStream();
    void answersAreDecoded();
    void bufferedReportsArriveInOrder();
    void softTypeKeepsLastReported();
    void noticesAreAnnouncedButNotDecoded();
    void reconnectClosesOldStream();
    void devSaveGuards();
    void removalNotice();

private:
    // A connection with the keyboard's stream open.
    std::unique_ptr<RawHIDConnection> connected(const std::string& serial = kSerial);

    std::unique_ptr<sim::KeyboardSimulator> m_sim;
};

void TestRawHIDConnection::init()
{
    m_sim = std::make_unique<sim::KeyboardSimulator>();
    m_sim->install();
}

void TestRawHIDConnection::cleanup()
{
    QCOMPARE(USBMonitor::instance(), nullptr); // every test's connections are gone, and their monitor
    platform::install(platform::Services());
    m_sim.reset();
}

std::unique_ptr<RawHIDConnection> TestRawHIDConnection::connected(const std::string& serial)
{
    auto connection = std::make_unique<RawHIDConnection>();
    USBDevice device(QString::fromStdString(serial), QString(), QString::fromStdString(m_sim->path(serial)), 0x3721,
                     0x2405);
    QIODevice* stream = connection->connectDevice(&device);
    if (!stream || !stream->open(QIODevice::ReadWrite))
        return nullptr;
    return connection;
}

void TestRawHIDConnection::noKeyboards()
{
    RawHIDConnection connection;
    QTest::ignoreMessage(QtDebugMsg, "RawHIDConnection::availableDevices 发现 0 个USB端口");
    QTest::ignoreMessage(QtDebugMsg, "RawHIDConnection::availableDevices 返回 0 个设备");
    QVERIFY(connection.availableDevices().isEmpty());
    QCOMPARE(connection.displayName(), QStringLiteral("Raw HID USB"));
    QCOMPARE(connection.type(), QStringLiteral("USB"));
    QVERIFY(!connection.supportsReconnect());
    QVERIFY(!connection.workState());
    QCOMPARE(connection.softType(), 0);
}

void TestRawHIDConnection::listsKeyboardsAsNewObjects()
{
    m_sim->addKeyboard("ZK000001");
    m_sim->addKeyboard("ZK000002");
    RawHIDConnection connection;
    QTest::ignoreMessage(QtDebugMsg, "RawHIDConnection::availableDevices 发现 2 个USB端口");
    QTest::ignoreMessage(QtDebugMsg,
                         "添加USB设备: ZK000001 产品: Zentrik Trading Keyboard 路径: sim:ZK000001/vendor");
    const QList<Core::IDevice*> first = connection.availableDevices();
    const QList<Core::IDevice*> second = connection.availableDevices();
    QCOMPARE(first.size(), 2);
    QVERIFY(first.at(0) != second.at(0));
    auto* device = qobject_cast<USBDevice*>(first.at(1));
    QVERIFY(device);
    QCOMPARE(device->serialNumber(), QStringLiteral("ZK000002"));
    QCOMPARE(device->path(), QStringLiteral("sim:ZK000002/vendor"));
    QCOMPARE(device->product(), QStringLiteral("Zentrik Trading Keyboard"));
    QCOMPARE(device->vendorId(), quint32(0x3721));
    QCOMPARE(device->productId(), quint32(0x2405));
    qDeleteAll(first);
    qDeleteAll(second);
}

void TestRawHIDConnection::commandFrames_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("requestDeviceInfo") << Command([](auto& c) { return c.requestDeviceInfo(); }) << QByteArray("5A F1 00 00 CA");
    QTest::newRow("reloadState") << Command([](auto& c) { return c.reloadState(); }) << QByteArray("5A A0 00 00 CA");
    QTest::newRow("requestKeyMap") << Command([](auto& c) { return c.requestKeyMap(); }) << QByteArray("5A F3 00 00 CA");
    QTest::newRow("writeKeyMap") << Command([](auto& c) { return c.writeKeyMap(QByteArray::fromHex("010A1437")); })
                                 << QByteArray("5A 1E 04 01 0A 14 37 28 CA");
    QTest::newRow("devSave") << Command([](auto& c) { return c.devSave(); }) << QByteArray("5A 3F 00 00 CA");
    QTest::newRow("factoryReset") << Command([](auto& c) { return c.factoryReset(); }) << QByteArray("5A 3E 00 00 CA");
    QTest::newRow("reboot") << Command([](auto& c) { return c.reboot(); }) << QByteArray("5A B0 00 00 CA");
    QTest::newRow("switchSoft") << Command([](auto& c) { return c.switchSoft(1); }) << QByteArray("5A 20 01 01 01 CA");
    QTest::newRow("toggleWorkState") << Command([](auto& c) { return c.toggleWorkState(); }) << QByteArray("5A 21 00 00 CA");
    QTest::newRow("setWorkState") << Command([](auto& c) { return c.setWorkState(1); }) << QByteArray("5A 22 01 01 01 CA");
    QTest::newRow("setBuyIndex") << Command([](auto& c) { return c.setBuyIndex(99); }) << QByteArray("5A 32 01 63 63 CA");
    QTest::newRow("setSpeed") << Command([](auto& c) { return c.setSpeed(3); }) << QByteArray("5A 33 01 03 03 CA");
    QTest::newRow("sendTradeAction") << Command([](auto& c) { return c.sendTradeAction(2, 11); })
                                     << QByteArray("5A A1 02 02 0B 09 CA");
    QTest::newRow("setParameter FnKey") << Command([](auto& c) { return c.setParameter(DevParamId::FnKey, 1); })
                                        << QByteArray("5A 3D 01 01 01 CA");
    QTest::newRow("setParameter 43 (buy confirm)") << Command([](auto& c) { return c.setParameter(quint8(43), 1); })
                                                   << QByteArray("5A 2B 01 01 01 CA");
    QTest::newRow("setParameter LedColor") << Command([](auto& c) { return c.setParameter(DevParamId::LedColor, 4); })
                                           << QByteArray("5A ED 01 04 04 CA");
}

void TestRawHIDConnection::commandFrames()
{
    QFETCH(Command, command);
    QFETCH(QByteArray, frame);
    m_sim->addKeyboard(kSerial);
    auto connection = connected();
    QVERIFY(connection);
    const qint64 expectedLength = frame.count(' ') + 1;
    QCOMPARE(command(*connection), expectedLength);
    QTRY_COMPARE(m_sim->receivedFrames(kSerial).size(), size_t(1));
    QCOMPARE(hexOf(m_sim->receivedFrames(kSerial).at(0).bytes), frame);
    QVERIFY(m_sim->receivedFrames(kSerial).at(0).wellFormed);
}

void TestRawHIDConnection::commandsWithoutOpenStream()
{
    m_sim->addKeyboard(kSerial);
    RawHIDConnection connection;
    QCOMPARE(connection.reloadState(), qint64(-1)); // no stream at all
    USBDevice device("ZK000001", QString(), QString::fromStdString(m_sim->path(kSerial)), 0x3721, 0x2405);
    QVERIFY(connection.connectDevice(&device));
    QCOMPARE(connection.setSpeed(3), qint64(-1)); // stream not opened
    QVERIFY(connection.stream()->open(QIODevice::ReadWrite));
    // Parameters are only the parameter commands; a key map must fit one report.
    QTest::ignoreMessage(QtWarningMsg, "RawHIDConnection::setParameter: not a parameter command: 50");
    QCOMPARE(connection.setParameter(quint8(0x32), 1), qint64(-1));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^RawHIDConnection: frame too long"));
    QCOMPARE(connection.writeKeyMap(QByteArray(59, '\1')), qint64(-1));
    QCOMPARE(connection.writeKeyMap(QByteArray(58, '\1')), qint64(63));
    QTRY_COMPARE(m_sim->state(kSerial).keyMap.size(), size_t(58));
    QCOMPARE(m_sim->receivedFrames(kSerial).size(), size_t(1));
}

void TestRawHIDConnection::answersAreDecoded()
{
    m_sim->addKeyboard(kSerial);
    m_sim->changeState(kSerial, [](sim::KeyboardState& s) {
        s.workState = true;
        s.soft = 1;
        s.speed = 5;
        s.priceType = 12;
        s.build = {0x20, 0x24, 0x01, 0x15};
    });
    auto connection = connected();
    QVERIFY(connection);
    QSignalSpy arrived(connection.get(), &RawHIDConnection::dataArrived);
    connection->requestDeviceInfo();
    QTRY_COMPARE(arrived.count(), 1);
    QCOMPARE(arrived.at(0).at(0).value<Core::IConnection*>(), connection.get());
    DataParser* p = connection->dataParser();
    QCOMPARE(p->command(), 0xF1);
    QCOMPARE(p->serialNumber(), QStringLiteral("ZK000001"));
    QCOMPARE(p->build(), QStringLiteral("20240115"));
    QVERIFY(connection->workState());
    QCOMPARE(connection->softType(), 1);
    QCOMPARE(p->speedName(), QStringLiteral("普速"));
    QCOMPARE(p->priceTypeName(), QStringLiteral("挂二价"));

    connection->writeKeyMap(QByteArray::fromHex("0A0B0C"));
    QTRY_COMPARE(arrived.count(), 2);
    QCOMPARE(p->command(), 0x1E);
    QCOMPARE(p->keyMap(), QByteArray::fromHex("0A0B0C"));
}

void TestRawHIDConnection::bufferedReportsArriveInOrder()
{
    m_sim->addKeyboard(kSerial);
    auto connection = connected();
    QVERIFY(connection);
    QList<int> seen;
    connect(connection.get(), &RawHIDConnection::dataArrived, this,
            [&] { seen << connection->dataParser()->keyFunction(); });
    // Both reports are buffered before the GUI thread gets to either.
    m_sim->pressTradeKey(kSerial, 13);
    m_sim->keyEvent(kSerial, 0xCE, 23, 0, 812);
    QTRY_COMPARE(connection->stream()->bytesAvailable() + seen.size() * 64, qint64(128));
    QTRY_COMPARE(seen, QList<int>({13, 23}));
    QCOMPARE(connection->dataParser()->command(), 0xCE);
    QCOMPARE(connection->dataParser()->elapsedMs(), 812);
}

void TestRawHIDConnection::softTypeKeepsLastReported()
{
    m_sim->addKeyboard(kSerial);
    auto connection = connected();
    QVERIFY(connection);
    QSignalSpy arrived(connection.get(), &RawHIDConnection::dataArrived);
    connection->reloadState(); // the simulated keyboard starts with TDX
    QTRY_COMPARE(arrived.count(), 1);
    QCOMPARE(connection->softType(), 2);
    m_sim->changeState(kSerial, [](sim::KeyboardState& s) { s.soft = 0; });
    connection->reloadState();
    QTRY_COMPARE(arrived.count(), 2);
    QCOMPARE(connection->dataParser()->soft(), 0);
    QCOMPARE(connection->softType(), 2);
    connection->switchSoft(1);
    QTRY_COMPARE(arrived.count(), 3);
    QCOMPARE(connection->softType(), 1);
}

void TestRawHIDConnection::noticesAreAnnouncedButNotDecoded()
{
    m_sim->addKeyboard(kSerial);
    auto connection = connected();
    QVERIFY(connection);
    QSignalSpy arrived(connection.get(), &RawHIDConnection::dataArrived);
    m_sim->pressTradeKey(kSerial, 15);
    QTRY_COMPARE(arrived.count(), 1);
    m_sim->changeState(kSerial, [](sim::KeyboardState& s) { s.keyFunction = 25; });
    m_sim->notice(kSerial, 2, 109);
    QTRY_COMPARE(arrived.count(), 2);
    QCOMPARE(connection->dataParser()->status(), 2);
    QCOMPARE(connection->dataParser()->reason(), 109);
    QCOMPARE(connection->dataParser()->keyFunction(), 15); // still the last normal frame's
}

void TestRawHIDConnection::reconnectClosesOldStream()
{
    m_sim->addKeyboard("ZK000001");
    m_sim->addKeyboard("ZK000002");
    auto connection = connected("ZK000001");
    QVERIFY(connection);
    QPointer<RawHID> old = connection->stream();
    QCOMPARE(m_sim->openHandles("ZK000001"), 1);
    USBDevice other("ZK000002", QString(), QString::fromStdString(m_sim->path("ZK000002")), 0x3721, 0x2405);
    QIODevice* stream = connection->connectDevice(&other);
    QVERIFY(stream && stream != old.data());
    QVERIFY(old.isNull());
    QCOMPARE(m_sim->openHandles("ZK000001"), 0);
    QVERIFY(stream->open(QIODevice::ReadWrite));
    connection->disconnectDevice();
    QVERIFY(!connection->stream());
    QCOMPARE(m_sim->openHandles("ZK000002"), 0);
}

void TestRawHIDConnection::devSaveGuards()
{
    m_sim->addKeyboard(kSerial);
    RawHIDConnection connection;
    QTest::ignoreMessage(QtWarningMsg, "RawHIDConnection::devSave: RawHidHandle is null");
    QCOMPARE(connection.devSave(), qint64(-1));

    USBDevice device("ZK000001", QString(), QString::fromStdString(m_sim->path(kSerial)), 0x3721, 0x2405);
    connection.connectDevice(&device);
    QTest::ignoreMessage(QtWarningMsg, "RawHIDConnection::devSave: Device not open");
    QCOMPARE(connection.devSave(), qint64(-1));

    QVERIFY(connection.stream()->open(QIODevice::ReadWrite));
    QTest::ignoreMessage(QtDebugMsg, "RawHIDConnection::devSave: Success, bytes written: 5");
    QCOMPARE(connection.devSave(), qint64(5));
    QTRY_COMPARE(m_sim->receivedFrames(kSerial).size(), size_t(1));

    // A keyboard that no longer takes data: the save is reported as failed, not as written.
    QTest::ignoreMessage(QtWarningMsg, "[RawHID] Error writing to device");
    m_sim->failWrites(kSerial, 4);
    connection.reloadState();
    QTRY_VERIFY(connection.stream()->writerStopped());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[RawHID\\] Device no longer accepts data"));
    QTest::ignoreMessage(QtWarningMsg, "RawHIDConnection::devSave: Write failed, result: -1");
    QCOMPARE(connection.devSave(), qint64(-1));
}

void TestRawHIDConnection::removalNotice()
{
    RawHIDConnection connection;
    QSignalSpy changed(&connection, &Core::IConnection::availableDevChanged);
    m_sim->addKeyboard(kSerial);
    QCOMPARE(changed.count(), 1);
    m_sim->unplug(kSerial); // two interfaces go
    QCOMPARE(changed.count(), 3);
    connection.disableRemovalNotice();
    m_sim->plug(kSerial);
    QCOMPARE(changed.count(), 4); // arrivals are always announced
    m_sim->unplug(kSerial);
    QCOMPARE(changed.count(), 4);
    connection.enableRemovalNotice();
    m_sim->plug(kSerial);
    m_sim->unplug(kSerial);
    QCOMPARE(changed.count(), 7);
}

ZK_TEST_MAIN(TestRawHIDConnection)
#include "tst_rawhidconnection.moc"
