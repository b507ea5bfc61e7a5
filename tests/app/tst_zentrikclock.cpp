// The whole program as a user starts it, as a child process on the test's X display: without a
// keyboard it shows one error box and ends with 1; in demo mode it greets the simulated
// keyboard, a double click on the clock switches trading mode and the status line follows, and
// pulling the keyboard out and plugging it in again reconnects it without harm; a trade key in
// trading mode trades on the demo's fake TDX. With a simulated keyboard on the real desktop the
// keyboard's keys reach the program.

#include "KilledProgramIpc.h"
#include "XWindows.h"

#include "ZkTest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const QString kHello = QStringLiteral("H>D ZK000001 5A F1 00 00 CA");
const QString kToggle = QStringLiteral("H>D ZK000001 5A 21 00 00 CA");
const QString kConnected = QStringLiteral("[debug] 成功连接单个设备: USB: ZK000001");

// One run of zentrikclock with its own home, temporary directory (single-instance key files),
// frame trace and demo command file; diagnostics on stderr.
class Program
{
public:
    explicit Program(const QStringList& arguments, const QMap<QString, QString>& extraEnvironment = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("TMPDIR"), m_dir.path());
        env.insert(QStringLiteral("ZENTRIK_DEBUG"), QStringLiteral("1"));
        env.insert(QStringLiteral("ZENTRIK_SIM_TRACE"), tracePath());
        env.insert(QStringLiteral("ZENTRIK_SIM_CONTROL"), controlPath());
        env.remove(QStringLiteral("ZENTRIK_DEMO"));
        env.remove(QStringLiteral("ZENTRIK_SIM_KEYBOARDS"));
        for (auto it = extraEnvironment.cbegin(); it != extraEnvironment.cend(); ++it)
            env.insert(it.key(), it.value());
        m_process.setProcessEnvironment(env);
        m_process.setProgram(QStringLiteral(ZK_PROGRAM));
        m_process.setArguments(arguments);
        QObject::connect(&m_process, &QProcess::readyReadStandardError,
                         [this] { m_stderr += m_process.readAllStandardError(); });
    }
    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
        removeSystemVObjectsOfKilledProgram(m_dir.path());
    }

    // The clock's place, stored before the start: away from other tests' clocks on the display.
    void placeClockAt(const QPoint& position)
    {
        QSettings ini(dataHome() + QStringLiteral("/ZentrikSoft/ZentrikClock/ZentrikClock.ini"),
                      QSettings::IniFormat);
        ini.setIniCodec("UTF-8");
        ini.setValue(QStringLiteral("Window/Position"),
                     QStringLiteral("%1,%2").arg(position.x()).arg(position.y()));
    }
    void start() { m_process.start(); }

    QProcess& process() { return m_process; }
    long pid() const { return long(m_process.processId()); }
    QString diagnostics() const { return QString::fromUtf8(m_stderr); }
    QStringList trace() const
    {
        QFile file(tracePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    void command(const QByteArray& line)
    {
        QFile file(controlPath());
        file.open(QIODevice::Append);
        file.write(line + '\n');
    }

private:
    QString dataHome() const { return m_dir.filePath(QStringLiteral("data")); }
    QString tracePath() const { return m_dir.filePath(QStringLiteral("trace.txt")); }
    QString controlPath() const { return m_dir.filePath(QStringLiteral("control.txt")); }

    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_stderr;
};

} // namespace

class TestZentrikClock : public QObject
{
    Q_OBJECT

private:
    xwin::XWindows m_x;

private slots:
    void initTestCase() { QVERIFY(m_x.ok()); }

    void refusesToRunWithoutAKeyboard()
    {
        Program program({}, {{QStringLiteral("ZENTRIK_DEMO"), QStringLiteral("1")},
                             {QStringLiteral("ZENTRIK_SIM_KEYBOARDS"), QStringLiteral("0")}});
        program.start();
        QVERIFY(program.process().waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(program.diagnostics().contains(QStringLiteral(
                                     "[critical] 程序运行过程中发生异常:\n检测到键盘未接入,请先接入键盘\n")),
                                 20000);
        std::vector<xwin::Id> boxes;
        QTRY_VERIFY_WITH_TIMEOUT(!(boxes = m_x.find(program.pid(), "程序异常")).empty(), 20000);
        QCOMPARE(boxes.size(), size_t(1));
        QVERIFY(m_x.find(program.pid(), "clock").empty());      // no clock on screen
        QCOMPARE(program.process().state(), QProcess::Running); // waits for the user

        m_x.requestClose(boxes.front());
        QVERIFY(program.process().waitForFinished(20000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 1);
    }

    void demoRunsOnASimulatedKeyboard()
    {
        Program program({QStringLiteral("--demo")});
        program.placeClockAt(QPoint(41, 577));
        program.start();
        QVERIFY(program.process().waitForStarted());

        // The keyboard is greeted at once, and again by its own connection a second later.
        QTRY_VERIFY_WITH_TIMEOUT(program.trace().contains(kHello), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(program.diagnostics().contains(kConnected), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(program.trace().count(kHello), 2, 20000);
        std::vector<xwin::Id> clocks;
        QTRY_VERIFY_WITH_TIMEOUT(!(clocks = m_x.find(program.pid(), "clock")).empty(), 20000);

        // A double click on the clock switches trading mode on; the status line says so.
        m_x.raise(clocks.front());
        const xwin::Geometry g = m_x.geometry(clocks.front());
        m_x.doubleClick(g.x + g.width / 2, g.y + g.height / 2);
        QTRY_COMPARE_WITH_TIMEOUT(program.trace().count(kToggle), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(program.diagnostics().contains(
                                     QStringLiteral("[debug] Widget: 状态栏: 通达信 | 交易中 | 高速 | 限价")),
                                 20000);
        // And off again.
        m_x.raise(clocks.front());
        m_x.doubleClick(g.x + g.width / 2, g.y + g.height / 2);
        QTRY_COMPARE_WITH_TIMEOUT(program.trace().count(kToggle), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            program.diagnostics().contains(QStringLiteral("[debug] Widget: 状态栏已清除")), 20000);

        // Pulled out and plugged in again: connected again about a second after the arrival.
        program.command("unplug ZK000001");
        QTRY_VERIFY_WITH_TIMEOUT(program.diagnostics().contains(
                                     QStringLiteral("[debug] 设备已断开，从列表中移除: sim:ZK000001/vendor")),
                                 20000);
        const int hellos = program.trace().count(kHello);
        QElapsedTimer replugged;
        replugged.start();
        program.command("plug ZK000001");
        QTRY_COMPARE_WITH_TIMEOUT(program.diagnostics().count(kConnected), 2, 20000);
        qInfo().noquote() << "reconnected" << replugged.elapsed() << "ms after the plug command";
        QTRY_COMPARE_WITH_TIMEOUT(program.trace().count(kHello), hellos + 2, 20000);
        QCOMPARE(program.process().state(), QProcess::Running);

        // Still working: trading mode on through the new connection.
        m_x.raise(clocks.front());
        m_x.doubleClick(g.x + g.width / 2, g.y + g.height / 2);
        QTRY_COMPARE_WITH_TIMEOUT(program.trace().count(kToggle), 3, 20000);

        // Closing the clock ends the program cleanly.
        m_x.requestClose(clocks.front());
        QVERIFY(program.process().waitForFinished(20000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 0);
    }

    // On the real desktop with a simulated keyboard: the clock is this display's window, the
    // keyboard is greeted and its keys reach the program.
    void simulatedKeyboardOnTheRealDesktop()
    {
        Program program({QStringLiteral("--sim-keyboard")});
        program.placeClockAt(QPoint(81, 617));
        program.start();
        QVERIFY(program.process().waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(program.diagnostics().contains(kConnected), 20000);
        QVERIFY(program.trace().contains(kHello));
        std::vector<xwin::Id> clocks;
        QTRY_VERIFY_WITH_TIMEOUT(!(clocks = m_x.find(program.pid(), "clock")).empty(), 20000);
        // No practice window: nothing of the demo runs.
        QVERIFY(m_x.find(program.pid(), "练习模式").empty());

        program.command("press ZK000001 13");
        const auto keyReported = [&program] {
            return !program.trace().filter(QRegularExpression(QStringLiteral("^D>H ZK000001 00 5A D0 "))).isEmpty();
        };
        QTRY_VERIFY_WITH_TIMEOUT(keyReported(), 20000);

        m_x.requestClose(clocks.front());
        QVERIFY(program.process().waitForFinished(20000));
        QCOMPARE(program.process().exitCode(), 0);
    }

    // In trading mode a trade key opens the fake TDX's 闪电买入 and the program trades: 1/3 of
    // the maximum of 10000, confirmed, and the keyboard told so.
    void demoTradesOnAKeyPress()
    {
        Program program({QStringLiteral("--demo")});
        program.placeClockAt(QPoint(61, 597));
        program.start();
        QVERIFY(program.process().waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(program.diagnostics().contains(kConnected), 20000);
        std::vector<xwin::Id> clocks;
        QTRY_VERIFY_WITH_TIMEOUT(!(clocks = m_x.find(program.pid(), "clock")).empty(), 20000);
        m_x.raise(clocks.front());
        const xwin::Geometry g = m_x.geometry(clocks.front());
        m_x.doubleClick(g.x + g.width / 2, g.y + g.height / 2);
        QTRY_VERIFY_WITH_TIMEOUT(program.diagnostics().contains(
                                     QStringLiteral("[debug] Widget: 状态栏: 通达信 | 交易中 | 高速 | 限价")),
                                 20000);

        program.command("press ZK000001 13");
        QTRY_VERIFY_WITH_TIMEOUT(
            program.trace().contains(QStringLiteral("H>D ZK000001 5A A1 02 40 00 40 CA")), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            program.diagnostics().contains(QStringLiteral("[debug] ✓ 分仓验证成功：目标3300，实际3300")),
            20000);
        QVERIFY(program.trace().contains(QStringLiteral("H>D ZK000001 5A A1 02 04 00 04 CA")));
        // The client's 委托已提交 box (state 11) is dismissed by the program: the TDX main window
        // (state 4) is in front again.
        const auto dismissed = [&program] {
            const QString d = program.diagnostics();
            const int notice = d.indexOf(QStringLiteral("[debug] 开始处理状态: 11 步骤: 1"));
            return notice >= 0 &&
                   d.indexOf(QStringLiteral("[debug] 开始处理状态: 4 步骤: 0"), notice) > notice;
        };
        QTRY_VERIFY_WITH_TIMEOUT(dismissed(), 20000);

        m_x.requestClose(clocks.front());
        QVERIFY(program.process().waitForFinished(20000));
        QCOMPARE(program.process().exitCode(), 0);
    }
};

ZK_TEST_MAIN(TestZentrikClock)
#include "tst_zentrikclock.moc"
