// RawHID on simulated keyboards: report geometry, the write queue's packing, failures of a
// device that is gone or only hiccups, and the stream's life cycle.

#include "ZkTest.h"

#include "keyboardlink/protocol/HostFrame.h"
#include "keyboardlink/transport/RawHID.h"
#include "sim/keyboard/KeyboardSimulator.h"

#include <QPointer>

#include <memory>

namespace {

const std::string kSerial = "ZK000001";

QByteArray bytes(const std::vector<std::uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size()));
}

QByteArray frameOf(int i)
{
    return HostFrame::build(0xA1, QByteArray::fromHex("01") + char(i));
}

// A stream's readyRead and bytesWritten, seen on the test's thread. RawHID emits them on its reader
// and writer threads, where a QSignalSpy would record them while the test reads its count.
class StreamSignals : public QObject
{
public:
    explicit StreamSignals(RawHID* stream)
    {
        connect(stream, &QIODevice::readyRead, this, [this] { ++readyReads; }, Qt::QueuedConnection);
        connect(
            stream, &QIODevice::bytesWritten, this, [this](qint64 bytes) { written << bytes; },
            Qt::QueuedConnection);
    }
    int readyReads = 0;
    QList<qint64> written;
};

} // namespace

class TestRawHID : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void closedStream();
    void shortReportIsOneFullChunk();
    void bufferedReportsStayApart();
    void writesReportAndSignalsReportSize();
    void framesAreNeverSplit();
    void oversizeWriteGoesInPieces();
    void unpluggedDevice();
    void writeFailures_data();
    void writeFailures();
    void openFailures();
    void initAndExitPerStream();
    void deletedWhileOpen();

private:
    std::unique_ptr<RawHID> openStream();

    std::unique_ptr<sim::KeyboardSimulator> m_sim;
};

void TestRawHID::init()
{
    m_sim = std::make_unique<sim::KeyboardSimulator>();
    m_sim->addKeyboard(kSerial);
}

void TestRawHID::cleanup()
{
    m_sim.reset();
}

std::unique_ptr<RawHID> TestRawHID::openStream()
{
    auto stream = std::make_unique<RawHID>(QString::fromStdString(m_sim->path(kSerial)), &m_sim->hidApi());
    if (!stream->open(QIODevice::ReadWrite))
        return nullptr;
    return stream;
}

void TestRawHID::closedStream()
{
    RawHID stream(QString::fromStdString(m_sim->path(kSerial)), &m_sim->hidApi());
    char buffer[64];
    stream.close(); // never opened: nothing happens
    QCOMPARE(stream.bytesAvailable(), qint64(-1));
    QCOMPARE(stream.bytesToWrite(), qint64(-1));
    QCOMPARE(stream.readData(buffer, sizeof buffer), qint64(-1));
    QCOMPARE(stream.writeData("\x5A", 1), qint64(-1));

    QVERIFY(stream.open(QIODevice::ReadWrite));
    QCOMPARE(stream.bytesAvailable(), qint64(0));
    QCOMPARE(stream.readData(nullptr, 64), qint64(-1));
    QCOMPARE(stream.writeData(nullptr, 1), qint64(-1));
    QCOMPARE(stream.writeData("\x5A", -5), qint64(-1));
    QCOMPARE(stream.bytesToWrite(), qint64(0));
    stream.close();
    QCOMPARE(stream.bytesAvailable(), qint64(-1));
    QCOMPARE(stream.bytesToWrite(), qint64(-1));
    QCOMPARE(m_sim->openHandles(kSerial), 0);

    // It can be opened again.
    QVERIFY(stream.open(QIODevice::ReadWrite));
    QCOMPARE(m_sim->openHandles(kSerial), 1);
}

void TestRawHID::shortReportIsOneFullChunk()
{
    auto stream = openStream();
    QVERIFY(stream);
    StreamSignals seen(stream.get());
    m_sim->sendReport(kSerial, {0x00, 0x5A, 0xD0, 0x07});
    QTRY_COMPARE(seen.readyReads, 1);
    QCOMPARE(stream->bytesAvailable(), qint64(64));
    char chunk[100];
    QCOMPARE(stream->readData(chunk, sizeof chunk), qint64(64));
    QCOMPARE(QByteArray(chunk, 64), QByteArray::fromHex("5AD007") + QByteArray(61, '\0'));
}

void TestRawHID::bufferedReportsStayApart()
{
    auto stream = openStream();
    QVERIFY(stream);
    sim::Report first(64, 0x11), second(64, 0x22);
    first[0] = second[0] = 0;
    m_sim->sendReport(kSerial, first);
    m_sim->sendReport(kSerial, second);
    QTRY_COMPARE(stream->bytesAvailable(), qint64(128));
    char chunk[64];
    QCOMPARE(stream->readData(chunk, -1), qint64(-1)); // a caller's slip takes nothing
    QCOMPARE(stream->bytesAvailable(), qint64(128));
    QCOMPARE(stream->readData(chunk, 64), qint64(64));
    QCOMPARE(QByteArray(chunk, 64), QByteArray(63, 0x11) + '\0'); // the 64th byte of a chunk is padding
    QCOMPARE(stream->readData(chunk, 64), qint64(64));
    QCOMPARE(QByteArray(chunk, 64), QByteArray(63, 0x22) + '\0');
    QCOMPARE(stream->readData(chunk, 64), qint64(0));
}

void TestRawHID::writesReportAndSignalsReportSize()
{
    auto stream = openStream();
    QVERIFY(stream);
    StreamSignals seen(stream.get());
    const QByteArray frame = HostFrame::build(0x33, quint8(3));
    QCOMPARE(stream->writeData(frame.constData(), frame.size()), qint64(frame.size()));
    QTRY_COMPARE(seen.written.size(), 1);
    QCOMPARE(seen.written.at(0), qint64(64));
    const auto reports = m_sim->receivedReports(kSerial);
    QCOMPARE(reports.size(), size_t(1));
    QCOMPARE(bytes(reports[0]), QByteArray(1, '\0') + frame + QByteArray(63 - frame.size(), '\0'));
    QTRY_COMPARE(stream->bytesToWrite(), qint64(0));
}

void TestRawHID::framesAreNeverSplit()
{
    auto stream = openStream();
    QVERIFY(stream);
    // The device is busy with the first report while eleven more 7-byte frames queue up.
    m_sim->holdWrites(kSerial, true);
    QByteArray all;
    const QByteArray first = frameOf(0);
    stream->writeData(first.constData(), first.size());
    QTRY_COMPARE(m_sim->heldWrites(kSerial), 1);
    for (int i = 1; i <= 11; ++i) {
        const QByteArray f = frameOf(i);
        QCOMPARE(stream->writeData(f.constData(), f.size()), qint64(7));
        all += f;
    }
    QCOMPARE(stream->bytesToWrite(), qint64(12 * 7));
    m_sim->holdWrites(kSerial, false);
    QTRY_COMPARE(m_sim->reportsReceived(kSerial), 3);

    const auto reports = m_sim->receivedReports(kSerial);
    QCOMPARE(bytes(reports[0]).mid(1), first + QByteArray(56, '\0'));
    // Nine frames fill 63 bytes exactly; the tenth would not fit and waits for the next report.
    QCOMPARE(bytes(reports[1]).mid(1), all.left(63));
    QCOMPARE(bytes(reports[2]).mid(1), all.mid(63) + QByteArray(63 - 14, '\0'));
    QCOMPARE(m_sim->receivedFrameBytes(kSerial).size(), size_t(12));
    QCOMPARE(int(m_sim->tradeActions(kSerial).back().second), 11);
}

void TestRawHID::oversizeWriteGoesInPieces()
{
    auto stream = openStream();
    QVERIFY(stream);
    QByteArray big(100, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i + 1);
    QCOMPARE(stream->writeData(big.constData(), big.size()), qint64(100));
    QTRY_COMPARE(m_sim->reportsReceived(kSerial), 2);
    const auto reports = m_sim->receivedReports(kSerial);
    QCOMPARE(bytes(reports[0]).mid(1), big.left(63));
    QCOMPARE(bytes(reports[1]).mid(1, 37), big.mid(63));
}

void TestRawHID::unpluggedDevice()
{
    auto stream = openStream();
    QVERIFY(stream);
    StreamSignals seen(stream.get());
    QTest::ignoreMessage(QtInfoMsg, " read error");
    QTest::ignoreMessage(QtWarningMsg, "[RawHID] Error writing to device");
    m_sim->unplug(kSerial);
    QTRY_VERIFY(stream->readerStopped());

    const QByteArray frame = HostFrame::build(0xA0);
    QCOMPARE(stream->writeData(frame.constData(), frame.size()), qint64(5));
    QTRY_VERIFY(stream->writerStopped());
    QCOMPARE(m_sim->writeAttempts(kSerial), 4);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[RawHID\\] Device no longer accepts data"));
    QCOMPARE(stream->writeData(frame.constData(), frame.size()), qint64(-1));

    // Replugging does not revive the old handle, and the stream closes cleanly.
    m_sim->plug(kSerial);
    m_sim->sendReport(kSerial, sim::Report(64, 0));
    QVERIFY(stream->isOpen());
    stream->close();
    QVERIFY(!stream->isOpen());
    QCOMPARE(m_sim->openHandles(kSerial), 0);
    QCoreApplication::sendPostedEvents(&seen);
    QCOMPARE(seen.readyReads, 0);
}

void TestRawHID::writeFailures_data()
{
    QTest::addColumn<QList<int>>("failuresBeforeEachFrame"); // consecutive failures injected per frame
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("writerAlive");
    QTest::addColumn<int>("framesDelivered");
    QTest::newRow("three in a row, then success") << QList<int>{3} << -1 << true << 1;
    QTest::newRow("hiccups spread over a session") << QList<int>{3, 3, 3, 2} << -1 << true << 4;
    QTest::newRow("four in a row: gone") << QList<int>{4} << -1 << false << 0;
    QTest::newRow("time-outs are not failures") << QList<int>{25} << -110 << true << 1;
}

void TestRawHID::writeFailures()
{
    QFETCH(QList<int>, failuresBeforeEachFrame);
    QFETCH(int, result);
    QFETCH(bool, writerAlive);
    QFETCH(int, framesDelivered);
    auto stream = openStream();
    QVERIFY(stream);
    if (!writerAlive)
        QTest::ignoreMessage(QtWarningMsg, "[RawHID] Error writing to device");
    int attempts = 0;
    for (int i = 0; i < failuresBeforeEachFrame.size(); ++i) {
        m_sim->failWrites(kSerial, failuresBeforeEachFrame[i], result);
        const QByteArray f = frameOf(i);
        stream->writeData(f.constData(), f.size());
        attempts += failuresBeforeEachFrame[i] + 1;
        if (writerAlive)
            QTRY_COMPARE(m_sim->reportsReceived(kSerial), i + 1);
    }
    if (!writerAlive) {
        QTRY_VERIFY(stream->writerStopped());
        attempts = 4;
    }
    QCOMPARE(m_sim->writeAttempts(kSerial), attempts);
    QCOMPARE(int(m_sim->tradeActions(kSerial).size()), framesDelivered);
    QCOMPARE(stream->writerStopped(), !writerAlive);
    const QByteArray f = frameOf(9);
    if (!writerAlive)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[RawHID\\] Device no longer accepts data"));
    QCOMPARE(stream->writeData(f.constData(), f.size()), writerAlive ? qint64(7) : qint64(-1));
}

void TestRawHID::openFailures()
{
    RawHID missing(QStringLiteral("sim:nothing/vendor"), &m_sim->hidApi());
    QTest::ignoreMessage(QtWarningMsg, "[RawHID] Failed to open USB device");
    QVERIFY(!missing.open(QIODevice::ReadWrite));
    QVERIFY(!missing.isOpen());
    QCOMPARE(missing.openError(), platform::HidOpenError::NotFound);
    QCOMPARE(missing.bytesAvailable(), qint64(-1));

    // Present but not ours to open: the diagnostic says what to install where.
    m_sim->setAccessDenied(kSerial, true);
    RawHID denied(QString::fromStdString(m_sim->path(kSerial)), &m_sim->hidApi());
    QTest::ignoreMessage(QtWarningMsg, "[RawHID] Failed to open USB device");
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("没有权限打开键盘设备 sim:ZK000001/vendor.*70-zentrik-keyboard\\.rules"
                                            ".*/etc/udev/rules\\.d/"));
    QVERIFY(!denied.open(QIODevice::ReadWrite));
    QCOMPARE(denied.openError(), platform::HidOpenError::PermissionDenied);

    m_sim->setAccessDenied(kSerial, false);
    QVERIFY(denied.open(QIODevice::ReadWrite));
    QCOMPARE(denied.openError(), platform::HidOpenError::None);
}

void TestRawHID::initAndExitPerStream()
{
    auto a = openStream();
    auto b = openStream();
    QVERIFY(a && b);
    QCOMPARE(m_sim->initCalls(), 2);
    a.reset();
    QCOMPARE(m_sim->exitCalls(), 1);
    // The library was released by the other stream; this one still works and opens again.
    m_sim->pressTradeKey(kSerial, 13);
    QTRY_COMPARE(b->bytesAvailable(), qint64(64));
    b->close();
    QVERIFY(b->open(QIODevice::ReadWrite));
    QCOMPARE(m_sim->initCalls(), 3);
}

void TestRawHID::deletedWhileOpen()
{
    auto stream = openStream();
    QVERIFY(stream);
    m_sim->pressTradeKey(kSerial, 13);
    stream.reset(); // closes: no thread may outlive it
    QCOMPARE(m_sim->openHandles(kSerial), 0);
    m_sim->pressTradeKey(kSerial, 13);
    QCoreApplication::processEvents(); // stale deliveries, if any, find no stream
}

ZK_TEST_MAIN(TestRawHID)
#include "tst_rawhid.moc"
