// The simulated keyboard keeps the keyboard's side of the protocol: it answers every host command
// with the frame the program expects (checked by decoding it with the program's own DataParser),
// reports key events and notices, and leaves a faithful frame log.

#include "ZkTest.h"

#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/protocol/HostFrame.h"
#include "sim/keyboard/KeyboardSimulator.h"

#include <QFile>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const std::string kSerial = "ZK000001";

// A handle on the vendor interface, driven as the transport drives it.
class Port
{
public:
    Port(sim::KeyboardSimulator& sim, const std::string& serial) : m_hid(sim.hidApi())
    {
        m_handle = m_hid.openPath(sim.path(serial).c_str());
    }
    ~Port()
    {
        if (m_handle)
            m_hid.close(m_handle);
    }
    bool isOpen() const { return m_handle != nullptr; }
    int send(const QByteArray& frames)
    {
        unsigned char report[64] = {0};
        memcpy(report + 1, frames.constData(), size_t(frames.size()));
        return m_hid.write(m_handle, report, sizeof report);
    }
    // The next report as the program sees it (report number dropped), empty on time-out.
    QByteArray receive(int timeoutMs = 0, int* result = nullptr)
    {
        unsigned char report[64] = {0};
        const int n = m_hid.readTimeout(m_handle, report, sizeof report, timeoutMs);
        if (result)
            *result = n;
        return n > 0 ? QByteArray(reinterpret_cast<char*>(report + 1), 63) + '\0' : QByteArray();
    }

private:
    platform::HidApi& m_hid;
    platform::HidDevice* m_handle = nullptr;
};

using StateCheck = std::function<bool(const DataParser&)>;

} // namespace

Q_DECLARE_METATYPE(StateCheck)

class TestSimKeyboard : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void answers_data();
    void answers();
    void settingsSurviveRestartOnlyWhenSaved();
    void tradeActionsAreRecordedNotAnswered();
    void keyEventsAndNotices();
    void interfacesAndEnumeration();
    void replugEndsOldHandles();
    void injectedFaults();
    void everyHandleGetsEveryReport();
    void traceFile();
    void stopWaitsForCallbacksInFlight_data();
    void stopWaitsForCallbacksInFlight();

private:
    std::unique_ptr<sim::KeyboardSimulator> m_sim;
};

void TestSimKeyboard::init()
{
    m_sim = std::make_unique<sim::KeyboardSimulator>();
    m_sim->addKeyboard(kSerial);
}

void TestSimKeyboard::cleanup()
{
    m_sim.reset();
}

void TestSimKeyboard::answers_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("answer"); // command byte of the answer, -1 for none
    QTest::addColumn<StateCheck>("check");
    auto f = [](quint8 c, int v = -1) { return v < 0 ? HostFrame::build(c) : HostFrame::build(c, quint8(v)); };
    QTest::newRow("F1 hello") << f(0xF1) << 0xF1 << StateCheck([](auto& p) { return p.serialNumber() == "ZK000001"; });
    QTest::newRow("A0 reload") << f(0xA0) << 0xA0 << StateCheck([](auto& p) { return p.build() == "20240115"; });
    QTest::newRow("F3 key map") << f(0xF3) << 0xF3 << StateCheck([](auto& p) { return p.keyMap().size() == 24; });
    QTest::newRow("1E write key map") << HostFrame::build(0x1E, QByteArray::fromHex("0A1437")) << 0x1E
                                      << StateCheck([](auto& p) { return p.keyMap() == QByteArray::fromHex("0A1437"); });
    QTest::newRow("20 switch soft") << f(0x20, 1) << 0x20 << StateCheck([](auto& p) { return p.soft() == 1; });
    QTest::newRow("21 toggle") << f(0x21) << 0x21 << StateCheck([](auto& p) { return p.workState(); });
    QTest::newRow("22 set work state") << f(0x22, 1) << 0x22 << StateCheck([](auto& p) { return p.workState(); });
    QTest::newRow("32 buy index") << f(0x32, 99) << 0x32 << StateCheck([](auto& p) { return p.priceType() == 99; });
    QTest::newRow("33 speed") << f(0x33, 6) << 0x33 << StateCheck([](auto& p) { return p.speedName() == "低速"; });
    QTest::newRow("31 soft") << f(0x31, 1) << 0x31 << StateCheck([](auto& p) { return p.soft() == 1; });
    QTest::newRow("36 trade on start") << f(0x36, 1) << 0x36 << StateCheck([](auto& p) { return p.tradeOnStartup(); });
    QTest::newRow("37 numlock off") << f(0x37, 0) << 0x37 << StateCheck([](auto& p) { return !p.numLock(); });
    QTest::newRow("38 cancel all") << f(0x38, 1) << 0x38 << StateCheck([](auto& p) { return p.cancelAll(); });
    QTest::newRow("39 query key") << f(0x39, 1) << 0x39 << StateCheck([](auto& p) { return p.queryKey(); });
    QTest::newRow("3A focus") << f(0x3A, 3) << 0x3A << StateCheck([](auto& p) { return p.focus() == 3 && p.focusEnabled(); });
    QTest::newRow("3B cost") << f(0x3B, 1) << 0x3B << StateCheck([](auto& p) { return p.costStat(); });
    QTest::newRow("2B buy confirm") << f(0x2B, 1) << 0x2B
                                    << StateCheck([](auto& p) { return p.buyConfirm() && !p.sellConfirm(); });
    QTest::newRow("2E sell confirm") << f(0x2E, 1) << 0x2E
                                     << StateCheck([](auto& p) { return p.sellConfirm() && !p.buyConfirm(); });
    QTest::newRow("3D fn key") << f(0x3D, 1) << 0x3D << StateCheck([](auto& p) { return p.fnKey(); });
    QTest::newRow("ED led") << f(0xED, 4) << 0xED << StateCheck([](auto& p) { return p.ledColor() == 4; });
    QTest::newRow("3F save") << f(0x3F) << 0x3F << StateCheck([](auto& p) { return p.status() == 0; });
    QTest::newRow("bad checksum is ignored") << QByteArray::fromHex("5A33010302CA") << -1 << StateCheck();
    QTest::newRow("unknown command is ignored") << f(0x77) << -1 << StateCheck();
}

void TestSimKeyboard::answers()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, answer);
    QFETCH(StateCheck, check);
    Port port(*m_sim, kSerial);
    QVERIFY(port.isOpen());
    QCOMPARE(port.send(frame), 64);
    const QByteArray reply = port.receive();
    if (answer < 0) {
        QVERIFY(reply.isEmpty());
        QCOMPARE(m_sim->receivedFrames(kSerial).size(), size_t(1));
        QVERIFY(!m_sim->receivedFrames(kSerial).at(0).wellFormed || frame[1] == char(0x77));
        return;
    }
    QCOMPARE(reply.size(), 64);
    DataParser parser;
    parser.decode(reply);
    QCOMPARE(parser.command(), answer);
    QCOMPARE(parser.status(), 0);
    QVERIFY(check(parser));
}

void TestSimKeyboard::settingsSurviveRestartOnlyWhenSaved()
{
    Port port(*m_sim, kSerial);
    port.send(HostFrame::build(0x33, quint8(5)) + HostFrame::build(0x3F) + HostFrame::build(0x33, quint8(1)));
    QCOMPARE(m_sim->state(kSerial).speed, 1);
    port.send(HostFrame::build(0xB0));
    QCOMPARE(m_sim->state(kSerial).speed, 5);
    port.send(HostFrame::build(0x3E));
    QCOMPARE(m_sim->state(kSerial).speed, 2);
    QCOMPARE(m_sim->state(kSerial).serialNumber, kSerial);
}

void TestSimKeyboard::tradeActionsAreRecordedNotAnswered()
{
    Port port(*m_sim, kSerial);
    // Two broadcasts back to back in one report.
    port.send(HostFrame::build(0xA1, QByteArray::fromHex("020B")) + HostFrame::build(0xA1, QByteArray::fromHex("FF00")));
    const auto actions = m_sim->tradeActions(kSerial);
    QCOMPARE(actions.size(), size_t(2));
    QCOMPARE(actions[0], std::make_pair(std::uint8_t(2), std::uint8_t(11)));
    QCOMPARE(actions[1], std::make_pair(std::uint8_t(255), std::uint8_t(0)));
    QVERIFY(port.receive().isEmpty());
}

void TestSimKeyboard::keyEventsAndNotices()
{
    Port port(*m_sim, kSerial);
    std::vector<std::pair<int, int>> observed;
    m_sim->setKeyEventObserver([&](const std::string&, std::uint8_t c, std::uint8_t k) { observed.emplace_back(c, k); });
    DataParser p;

    m_sim->pressTradeKey(kSerial, 13);
    p.decode(port.receive());
    QCOMPARE(p.command(), 0xD0);
    QCOMPARE(p.keyFunctionName(), QStringLiteral("1/3买"));

    m_sim->pressTradeKeyWithFlag(kSerial, 23, 7);
    p.decode(port.receive());
    QCOMPARE(p.command(), 0xDF);
    QCOMPARE(p.reason(), 7);

    m_sim->keyEvent(kSerial, 0xC0, 11, 5, 350);
    p.decode(port.receive());
    QCOMPARE(p.command(), 0xC0);
    QCOMPARE(p.reason(), 5);
    QCOMPARE(p.elapsedMs(), 350);

    m_sim->pressSpeedKey(kSerial); // 2 → 3
    p.decode(port.receive());
    QCOMPARE(p.command(), 0x23);
    QCOMPARE(p.speed(), 3);

    m_sim->keyEvent(kSerial, 0x1F);
    p.decode(port.receive());
    QCOMPARE(p.keyMap().size(), 24);

    m_sim->notice(kSerial, 12, 0);
    p.decode(port.receive());
    QCOMPARE(p.status(), 12);
    QCOMPARE(p.keyFunction(), 11);
    QCOMPARE(observed.size(), size_t(4)); // the key events, not the speed key or the notice
    QCOMPARE(observed.front(), std::make_pair(0xD0, 13));
}

void TestSimKeyboard::interfacesAndEnumeration()
{
    m_sim->addKeyboard("ZK000002");
    const auto all = m_sim->hidApi().enumerate(0, 0);
    QCOMPARE(all.size(), size_t(4));
    QCOMPARE(all[0].usagePage, std::uint16_t(0x0001));
    QCOMPARE(all[1].usagePage, std::uint16_t(0xFF00));
    QCOMPARE(all[1].path, m_sim->path(kSerial));
    QVERIFY(m_sim->hidApi().enumerate(0x1234, 0).empty());
    QCOMPARE(m_sim->hidPorts().enumeratePorts(0x3721, 0x2405, 0xFF00).size(), size_t(2));

    // The keys interface opens, but nothing of the protocol happens there.
    platform::HidApi& hid = m_sim->hidApi();
    platform::HidDevice* keys = hid.openPath(m_sim->path(kSerial, true).c_str());
    QVERIFY(keys);
    unsigned char report[64] = {0, 0x5A, 0xA0, 0, 0, 0xCA};
    QCOMPARE(hid.write(keys, report, 64), 64);
    QVERIFY(m_sim->receivedFrames(kSerial).empty());
    m_sim->pressTradeKey(kSerial, 13);
    QCOMPARE(hid.readTimeout(keys, report, 64, 0), 0);
    hid.close(keys);
    QCOMPARE(m_sim->openHandles(kSerial), 0);
    QVERIFY(!hid.openPath("sim:ZK999999/vendor"));
    QCOMPARE(hid.lastOpenError(), platform::HidOpenError::NotFound);
}

void TestSimKeyboard::replugEndsOldHandles()
{
    Port old(*m_sim, kSerial);
    m_sim->unplug(kSerial);
    int result = 0;
    QVERIFY(old.receive(0, &result).isEmpty());
    QVERIFY(result < 0);
    QVERIFY(old.send(HostFrame::build(0xA0)) < 0);
    QVERIFY(!Port(*m_sim, kSerial).isOpen());
    QVERIFY(m_sim->hidPorts().enumeratePorts(0x3721, 0x2405, 0xFF00).empty());

    m_sim->plug(kSerial);
    Port fresh(*m_sim, kSerial);
    QVERIFY(fresh.isOpen());
    QVERIFY(old.send(HostFrame::build(0xA0)) < 0);
    QCOMPARE(fresh.send(HostFrame::build(0xA0)), 64);
    QCOMPARE(fresh.receive().at(1), char(0xA0));
}

void TestSimKeyboard::injectedFaults()
{
    Port port(*m_sim, kSerial);
    m_sim->failWrites(kSerial, 2, -110);
    QCOMPARE(port.send(HostFrame::build(0xA0)), -110);
    QCOMPARE(port.send(HostFrame::build(0xA0)), -110);
    QCOMPARE(port.send(HostFrame::build(0xA0)), 64);
    QCOMPARE(m_sim->receivedFrames(kSerial).size(), size_t(1));
    QCOMPARE(m_sim->writeAttempts(kSerial), 3);

    m_sim->failReads(kSerial, 1);
    int result = 0;
    port.receive(0, &result);
    QVERIFY(result < 0);
    QCOMPARE(port.receive().at(1), char(0xA0)); // the answer was kept; one read failed, not the device

    m_sim->setAccessDenied(kSerial, true);
    QVERIFY(!Port(*m_sim, kSerial).isOpen());
    QCOMPARE(m_sim->hidApi().lastOpenError(), platform::HidOpenError::PermissionDenied);
}

void TestSimKeyboard::everyHandleGetsEveryReport()
{
    Port a(*m_sim, kSerial);
    Port b(*m_sim, kSerial);
    a.send(HostFrame::build(0xF1));
    QCOMPARE(a.receive().at(1), char(0xF1));
    QCOMPARE(b.receive().at(1), char(0xF1));
    // A blocked reader wakes for the report.
    std::thread presser([this] { m_sim->pressTradeKey(kSerial, 21); });
    QCOMPARE(a.receive(5000).at(42), char(21));
    presser.join();
}

void TestSimKeyboard::traceFile()
{
    const QString file = zktest::testHome() + QStringLiteral("/trace.log");
    qputenv("ZENTRIK_SIM_TRACE", QFile::encodeName(file));
    sim::KeyboardSimulator traced;
    qunsetenv("ZENTRIK_SIM_TRACE");
    traced.addKeyboard("ZK123456");
    {
        Port port(traced, "ZK123456");
        port.send(HostFrame::build(0x33, quint8(3)) + HostFrame::build(0xA1, QByteArray::fromHex("020B")));
    }
    QFile log(file);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // three lines and the final newline
    QCOMPARE(lines[0], QByteArray("H>D ZK123456 5A 33 01 03 03 CA"));
    QCOMPARE(lines[1], QByteArray("H>D ZK123456 5A A1 02 02 0B 09 CA"));
    QVERIFY(lines[2].startsWith("D>H ZK123456 00 5A 33 37 00 5A 4B 31 32 33 34 35 36 20 24 01 15 "));
    QCOMPARE(lines[2].split(' ').size(), 2 + 64);
    QVERIFY(lines[3].isEmpty());
}

// Whoever stops watching (the USB monitor) or drops the key observer may go away right after: a
// callback already running on another thread must have returned by then.
void TestSimKeyboard::stopWaitsForCallbacksInFlight_data()
{
    QTest::addColumn<bool>("keyObserver");
    QTest::newRow("port watcher") << false;
    QTest::newRow("key observer") << true;
}

void TestSimKeyboard::stopWaitsForCallbacksInFlight()
{
    QFETCH(bool, keyObserver);
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool stopped = false;
    bool stoppedWhileRunning = false;
    const auto callback = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        entered = true;
        changed.notify_all();
        // Ample time for a stop that does not wait to return; one that waits cannot end this early.
        changed.wait_for(lock, std::chrono::milliseconds(300), [&] { return stopped; });
        stoppedWhileRunning = stopped;
    };
    platform::HidPorts& ports = m_sim->hidPorts();
    if (keyObserver)
        m_sim->setKeyEventObserver([&](const std::string&, std::uint8_t, std::uint8_t) { callback(); });
    else
        QVERIFY(ports.startWatching(
            0x3721, 0x2405, 0xFF00, [&](const platform::HidPortInfo&) { callback(); }, nullptr));
    std::thread other([&] {
        if (keyObserver)
            m_sim->pressTradeKey(kSerial, 13);
        else
            m_sim->addKeyboard("ZK000002");
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return entered; });
    }
    if (keyObserver)
        m_sim->setKeyEventObserver(nullptr);
    else
        ports.stopWatching();
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
        changed.notify_all();
    }
    other.join();
    QVERIFY(!stoppedWhileRunning);
}

ZK_TEST_MAIN(TestSimKeyboard)
#include "tst_simkeyboard.moc"
