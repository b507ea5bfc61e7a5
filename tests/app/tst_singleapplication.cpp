// One clock per user: later starts signal the first and end; a segment left by a killed first
// instance does not lock the program out; only the exact command counts; diagnostics stay
// silent unless asked for.
//
// This test process is itself a first instance (on a key of its own); the other instances are
// real processes of zk_single_peer.

#include "app/FatalError.h"
#include "app/SingleApplication.h"

#include "ZkTest.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QSharedMemory>
#include <QSignalSpy>
#include <QTimer>

#include <stdexcept>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

namespace {

QStringList g_log;

void captureLog(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_log.append(message);
}

// Starts a peer and waits for the first line it prints ("first" or "second").
class Peer
{
public:
    explicit Peer(const QString& key) { m_process.start(QStringLiteral(ZK_SINGLE_PEER), {key}); }
    ~Peer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.closeWriteChannel();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // Every line printed so far (waits up to 10 s for at least `count`).
    QStringList lines(int count)
    {
        for (int i = 0; i < 1000 && m_lines.size() < count; ++i) {
            if (!m_process.waitForReadyRead(10) && m_process.state() == QProcess::NotRunning)
                break;
            m_output += m_process.readAllStandardOutput();
            m_lines = QString::fromUtf8(m_output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }
        m_output += m_process.readAllStandardOutput();
        m_lines = QString::fromUtf8(m_output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return m_lines;
    }
    QString firstLine() { return lines(1).value(0); }
    // Closes its input, which ends a first instance cleanly; returns the exit code.
    int finish()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_output;
    QStringList m_lines;
};

// Looks for a System V segment without attaching to it (attaching and detaching would remove a
// left-over segment, which is what the program must do, not the test). Qt derives the segment's
// key from its key file with project id 'Q'.
bool segmentExists(const QString& key)
{
    const QString keyFile = QSharedMemory(key).nativeKey();
    const key_t systemKey = ::ftok(QFile::encodeName(keyFile).constData(), 'Q');
    return systemKey != -1 && ::shmget(systemKey, 0, 0) != -1;
}

void sendRaw(const QString& serverName, const QByteArray& bytes)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    QVERIFY(socket.waitForConnected(1000));
    if (!bytes.isEmpty()) {
        socket.write(bytes);
        QVERIFY(socket.waitForBytesWritten(1000));
    }
    socket.disconnectFromServer();
}

} // namespace

class TestSingleApplication : public QObject
{
    Q_OBJECT

public:
    TestSingleApplication(SingleApplication* app, const QString& key) : m_app(app), m_key(key) {}

private:
    SingleApplication* m_app;
    QString m_key;

    QString serverName() const { return m_key + QStringLiteral("_LocalServer"); }

private slots:
    void initTestCase() { qInstallMessageHandler(captureLog); }

    void firstInstanceListensForItsUserOnly()
    {
        QVERIFY(!m_app->isRunning());
        const QFileInfo socket(QDir::tempPath() + QLatin1Char('/') + serverName());
        QVERIFY(socket.exists());
        QVERIFY(!(socket.permissions() &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
    }

    void secondStartSignalsTheFirstAndEnds()
    {
        QSignalSpy started(m_app, &SingleApplication::instanceStarted);
        Peer second(m_key);
        QCOMPARE(second.firstLine(), QStringLiteral("second"));
        QVERIFY(second.process().waitForFinished(5000));
        QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process().exitCode(), 0);
        QTRY_COMPARE(started.count(), 1);
        QCOMPARE(g_log.count(QStringLiteral("收到命令: SHOW_WINDOW")), 1);
        QVERIFY(!m_app->isRunning());
    }

    void onlyTheExactCommandCounts_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("trailing newline") << QByteArray("SHOW_WINDOW\n");
        QTest::newRow("lower case") << QByteArray("show_window");
        QTest::newRow("twice") << QByteArray("SHOW_WINDOWSHOW_WINDOW");
        QTest::newRow("cut short") << QByteArray("SHOW_WINDO");
        QTest::newRow("binary") << QByteArray("\xff\xfe\x00S", 4);
        // Text decoding stops at a NUL and drops a byte order mark: the bytes must be compared.
        QTest::newRow("NUL and more") << QByteArray("SHOW_WINDOW\0junk", 16);
        QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbfSHOW_WINDOW");
        QTest::newRow("nothing") << QByteArray();
    }

    void onlyTheExactCommandCounts()
    {
        QFETCH(QByteArray, text);
        QSignalSpy started(m_app, &SingleApplication::instanceStarted);
        sendRaw(serverName(), text);
        // Connections are handled one after the other: once the real command has been seen, the
        // odd one before it has been dealt with.
        sendRaw(serverName(), "SHOW_WINDOW");
        QTRY_COMPARE(started.count(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(started.count(), 1);
    }

    void escapingExceptionsBecomeOneMessageBox_data()
    {
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("text");
        QTest::newRow("standard") << true
                                  << QStringLiteral("程序运行过程中发生异常:\n检测到键盘未接入,请先接入键盘");
        QTest::newRow("other") << false << QStringLiteral("程序运行过程中发生未知异常");
    }

    void escapingExceptionsBecomeOneMessageBox()
    {
        QFETCH(bool, standard);
        QFETCH(QString, text);
        QStringList boxes;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&boxes] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|') +
                             QString::number(box->icon()) + QLatin1Char('|') +
                             QString::number(box->standardButtons());
                box->accept();
            }
        });
        closer.start(10);
        const int exitCode = runReportingFatalErrors([standard]() -> int {
            if (standard)
                throw std::runtime_error("检测到键盘未接入,请先接入键盘");
            throw 42;
        });
        QCOMPARE(exitCode, 1);
        QCOMPARE(boxes, QStringList{QStringLiteral("程序异常|%1|%2|%3")
                                        .arg(text)
                                        .arg(int(QMessageBox::Critical))
                                        .arg(int(QMessageBox::Ok))});
        QCOMPARE(runReportingFatalErrors([] { return 7; }), 7);
        QCOMPARE(boxes.size(), 1);
    }

    void showMainWindowEmits()
    {
        QSignalSpy started(m_app, &SingleApplication::instanceStarted);
        m_app->showMainWindow();
        QCOMPARE(started.count(), 1);
    }

    // A killed first instance leaves its segment behind (Unix keeps System V segments until
    // removed): the next start must still become the first instance.
    void segmentOfAKilledFirstInstanceIsTakenOver()
    {
        const QString key = m_key + QStringLiteral("-stale");
        {
            Peer crashed(key);
            QCOMPARE(crashed.firstLine(), QStringLiteral("first"));
            crashed.process().kill();
            QVERIFY(crashed.process().waitForFinished(5000));
        }
        QVERIFY(segmentExists(key + QStringLiteral("_SharedMemory"))); // really left behind

        Peer next(key);
        QCOMPARE(next.firstLine(), QStringLiteral("first"));
        {
            Peer later(key);
            QCOMPARE(later.firstLine(), QStringLiteral("second"));
            QCOMPARE(later.finish(), 0);
        }
        QCOMPARE(next.lines(2), (QStringList{"first", "shown 1"}));
        QCOMPARE(next.finish(), 0);

        // A clean end releases everything: the start after it is a first instance again.
        Peer again(key);
        QCOMPARE(again.firstLine(), QStringLiteral("first"));
        QCOMPARE(again.finish(), 0);
    }

    // The first instance is alive but cannot be reached (its server failed): a later start must
    // not take its place.
    void unreachableLiveInstanceStaysFirst()
    {
        const QString key = m_key + QStringLiteral("-mute");
        QSharedMemory held(key + QStringLiteral("_SharedMemory"));
        QVERIFY(held.create(8));
        Peer later(key);
        QCOMPARE(later.firstLine(), QStringLiteral("second"));
        QCOMPARE(later.finish(), 0);
        QVERIFY(held.isAttached());
    }

    void diagnosticsAreSilentUnlessAskedFor_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<bool>("shown");
        QTest::newRow("unset") << QByteArray() << false;
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("yes") << QByteArray("yes") << false;
        QTest::newRow("1") << QByteArray("1") << true;
    }

    void diagnosticsAreSilentUnlessAskedFor()
    {
        QFETCH(QByteArray, setting);
        QFETCH(bool, shown);
        QProcess peer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ZENTRIK_DEBUG"));
        if (!setting.isEmpty())
            env.insert(QStringLiteral("ZENTRIK_DEBUG"), QString::fromLatin1(setting));
        peer.setProcessEnvironment(env);
        peer.start(QStringLiteral(ZK_SINGLE_PEER), {QStringLiteral("--log")});
        QVERIFY(peer.waitForFinished(10000));
        QCOMPARE(peer.exitCode(), 0);
        const QString err = QString::fromUtf8(peer.readAllStandardError());
        if (!shown) {
            QCOMPARE(err, QString());
            return;
        }
        QCOMPARE(err.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 (QStringList{"[debug] 调试 1", "[info] 信息", "[warning] 警告", "[critical] 严重"}));
    }
};

int main(int argc, char** argv)
{
    zktest::isolateUserDirectories("TestSingleApplication");
    // A key of this run only: never the real program's, never another test run's.
    const QString key = QStringLiteral("zk-test-%1").arg(::getpid());
    SingleApplication app(argc, argv, key);
    TestSingleApplication tc(&app, key);
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_singleapplication.moc"
