// Processes read from /proc, checked against what the system itself says (the dynamic loader,
// a child started by QProcess, exit statuses of real commands).

#include "ZkTest.h"

#include "platform/linux/LinuxProcesses.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cstring>
#include <dlfcn.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace platform;

namespace {

constexpr std::uint32_t ErrorAccessDenied = 5;
constexpr std::uint32_t ErrorInvalidHandle = 6;
constexpr std::uint32_t ErrorInvalidParameter = 87;
constexpr std::uint32_t ErrorPartialCopy = 299;
constexpr std::uint32_t AllRights = access::QueryInformation | access::VmRead;

// What a THS process holds at a known place: the current code.
const char g_known[] = "\x01"
                       "600519\0tail";

int markerFunction()
{
    return 42;
}

QString canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

// The dynamic loader's view of where the object holding address starts and what it is.
std::pair<std::uint64_t, QString> loadedObject(const void* address)
{
    Dl_info info{};
    if (!dladdr(address, &info))
        return {0, QString()};
    // The loader names an object as it was asked for it (libQt5Core.so.5); the mapping is of the
    // file behind that link (libQt5Core.so.5.15.8).
    const QString file = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath();
    return {reinterpret_cast<std::uint64_t>(info.dli_fbase), QFileInfo(file).fileName()};
}

} // namespace

class TestLinuxProcesses : public QObject
{
    Q_OBJECT

private:
    LinuxProcesses m_processes;
    QProcess m_child;

private slots:
    void init()
    {
        m_child.start(QStandardPaths::findExecutable("sleep"), {"30"});
        QVERIFY(m_child.waitForStarted());
    }

    void cleanup()
    {
        m_child.kill();
        m_child.waitForFinished();
    }

    void snapshotListsThisProcessAndItsChild()
    {
        std::vector<ProcessEntry> processes;
        QVERIFY(m_processes.snapshot(processes));
        const auto find = [&](qint64 pid) {
            return std::find_if(processes.begin(), processes.end(),
                                [&](const ProcessEntry& p) { return p.pid == static_cast<ProcessId>(pid); });
        };
        const auto self = find(getpid());
        QVERIFY(self != processes.end());
        QCOMPARE(self->parentPid, static_cast<ProcessId>(getppid()));
        QCOMPARE(QString::fromStdU16String(self->exeFile),
                 QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        const auto child = find(m_child.processId());
        QVERIFY(child != processes.end());
        QCOMPARE(child->parentPid, static_cast<ProcessId>(getpid()));
        QCOMPARE(QString::fromStdU16String(child->exeFile), QStringLiteral("sleep"));
        QCOMPARE(m_processes.currentProcessId(), static_cast<ProcessId>(getpid()));
    }

    void imagePathOfThisProcessAndItsChild()
    {
        std::u16string path;
        const ProcessHandle self = m_processes.openProcess(access::QueryLimitedInformation, getpid());
        QVERIFY(self != 0);
        QVERIFY(m_processes.queryFullProcessImageName(self, path));
        QCOMPARE(QString::fromStdU16String(path), canonical(QCoreApplication::applicationFilePath()));
        bool wow64 = true;
        QVERIFY(m_processes.isWow64Process(self, &wow64));
        QVERIFY(!wow64);
        m_processes.closeHandle(self);

        const ProcessHandle child = m_processes.openProcess(access::QueryInformation, m_child.processId());
        QVERIFY(child != 0 && child != self);
        QVERIFY(m_processes.queryFullProcessImageName(child, path));
        QCOMPARE(QString::fromStdU16String(path), canonical(QStandardPaths::findExecutable("sleep")));
        m_processes.closeHandle(child);
    }

    void handlesFollowTheProcessTheyOpened()
    {
        const auto pid = static_cast<ProcessId>(m_child.processId());
        const ProcessHandle handle = m_processes.openProcess(access::QueryInformation, pid);
        QVERIFY(handle != 0);
        m_child.kill();
        QVERIFY(m_child.waitForFinished());

        std::u16string path;
        QVERIFY(!m_processes.queryFullProcessImageName(handle, path));
        QCOMPARE(m_processes.lastError(), ErrorInvalidParameter);
        QCOMPARE(m_processes.openProcess(access::QueryInformation, pid), ProcessHandle(0));
        QCOMPARE(m_processes.lastError(), ErrorInvalidParameter);
        QCOMPARE(m_processes.openProcess(access::QueryInformation, 0), ProcessHandle(0));

        m_processes.closeHandle(handle);
        QVERIFY(!m_processes.queryFullProcessImageName(handle, path));
        QCOMPARE(m_processes.lastError(), ErrorInvalidHandle);
        QVERIFY(!m_processes.isWow64Process(0x7777, nullptr));
        QCOMPARE(m_processes.lastError(), ErrorInvalidHandle);
    }

    void rightsOfTheHandleAreEnforced()
    {
        const ProcessHandle limited = m_processes.openProcess(access::QueryLimitedInformation, getpid());
        char buffer[8];
        std::vector<ModuleEntry> modules;
        QVERIFY(!m_processes.readProcessMemory(limited, reinterpret_cast<std::uintptr_t>(g_known), buffer, 8,
                                               nullptr));
        QCOMPARE(m_processes.lastError(), ErrorAccessDenied);
        QVERIFY(!m_processes.enumProcessModules(limited, ModuleFilter::Bits64, modules));
        QCOMPARE(m_processes.lastError(), ErrorAccessDenied);
        const ProcessHandle readOnly = m_processes.openProcess(access::VmRead, getpid());
        std::u16string path;
        QVERIFY(!m_processes.queryFullProcessImageName(readOnly, path));
        QCOMPARE(m_processes.lastError(), ErrorAccessDenied);
        m_processes.closeHandle(limited);
        m_processes.closeHandle(readOnly);
    }

    void readsAKnownBufferOfItsOwnProcess()
    {
        const ProcessHandle self = m_processes.openProcess(AllRights, getpid());
        char buffer[8] = {};
        std::size_t read = 0;
        QVERIFY(
            m_processes.readProcessMemory(self, reinterpret_cast<std::uintptr_t>(g_known), buffer, 8, &read));
        QCOMPARE(read, std::size_t(8));
        QCOMPARE(QByteArray(buffer, 8), QByteArray(g_known, 8));
        QVERIFY(
            m_processes.readProcessMemory(self, reinterpret_cast<std::uintptr_t>(g_known), buffer, 0, &read));
        QCOMPARE(read, std::size_t(0));
        m_processes.closeHandle(self);
    }

    void readsStopAtTheEndOfTheMapping()
    {
        const long page = sysconf(_SC_PAGESIZE);
        auto* pages = static_cast<char*>(mmap(nullptr, static_cast<std::size_t>(2 * page),
                                              PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        QVERIFY(pages != MAP_FAILED);
        std::memcpy(pages + page - 4, "6005", 4);
        QCOMPARE(munmap(pages + page, static_cast<std::size_t>(page)), 0); // the second page is gone

        const ProcessHandle self = m_processes.openProcess(AllRights, getpid());
        char buffer[8] = {};
        std::size_t read = 99;
        QVERIFY(!m_processes.readProcessMemory(self, reinterpret_cast<std::uintptr_t>(pages + page - 4),
                                               buffer, 8, &read));
        QCOMPARE(m_processes.lastError(), ErrorPartialCopy);
        QCOMPARE(read, std::size_t(4));
        QCOMPARE(QByteArray(buffer, 4), QByteArray("6005"));

        read = 99;
        QVERIFY(!m_processes.readProcessMemory(self, reinterpret_cast<std::uintptr_t>(pages + page), buffer,
                                               8, &read));
        QCOMPARE(m_processes.lastError(), ErrorPartialCopy);
        QCOMPARE(read, std::size_t(0));
        munmap(pages, static_cast<std::size_t>(page));
        m_processes.closeHandle(self);
    }

    void modulesAreTheLoadedObjectsAtTheirBases()
    {
        // A mapped data file, which is no module.
        QFile data(zktest::testHome() + "/zk-data.bin");
        QVERIFY(data.open(QIODevice::ReadWrite));
        data.write(QByteArray(4096, 'd'));
        data.flush();
        uchar* mapped = data.map(0, 4096);
        QVERIFY(mapped);

        const ProcessHandle self = m_processes.openProcess(AllRights, getpid());
        std::vector<ModuleEntry> modules;
        QVERIFY(m_processes.enumProcessModules(self, ModuleFilter::Bits64, modules));
        m_processes.closeHandle(self);

        QStringList names;
        for (const ModuleEntry& module : modules)
            names << QString::fromStdString(module.baseName);
        QCOMPARE(names.removeDuplicates(), 0);
        for (std::size_t i = 1; i < modules.size(); ++i)
            QVERIFY(modules[i - 1].base < modules[i].base);
        QVERIFY(!names.contains("zk-data.bin"));
        data.unmap(mapped);

        // Each module's base is where the dynamic loader put that object.
        for (const void* address :
             {reinterpret_cast<const void*>(&markerFunction), reinterpret_cast<const void*>(&printf),
              reinterpret_cast<const void*>(&qVersion)}) {
            const auto object = loadedObject(address);
            const std::uint64_t base = object.first;
            const QString name = object.second;
            QVERIFY(base != 0);
            const auto it = std::find_if(modules.begin(), modules.end(), [&](const ModuleEntry& m) {
                return QString::fromStdString(m.baseName) == name;
            });
            QVERIFY2(it != modules.end(), qPrintable(name));
            QCOMPARE(it->base, base);
        }
    }

    void runCommandReportsExitCodes_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("true") << "true" << QStringList() << 0;
        QTest::newRow("false") << "false" << QStringList() << 1;
        QTest::newRow("128, taskkill's no such process") << "sh" << QStringList{"-c", "exit 128"} << 128;
        QTest::newRow("argument with spaces arrives whole")
            << "sh" << QStringList{"-c", "test \"$1\" = \"a b\"", "sh", "a b"} << 0;
        QTest::newRow("chinese argument")
            << "sh" << QStringList{"-c", "test \"$1\" = 同花顺", "sh", "同花顺"} << 0;
        QTest::newRow("killed by a signal") << "sh" << QStringList{"-c", "kill -TERM $$"} << 128 + SIGTERM;
        QTest::newRow("output goes nowhere")
            << "sh" << QStringList{"-c", "echo out; echo err >&2; exit 3"} << 3;
    }

    void runCommandReportsExitCodes()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        std::vector<std::u16string> args;
        for (const QString& argument : arguments)
            args.push_back(argument.toStdU16String());
        const CommandResult result = m_processes.runCommand(program.toStdU16String(), args, 5000);
        QVERIFY(result.started);
        QVERIFY(!result.timedOut);
        QCOMPARE(result.exitCode, exitCode);
    }

    void runCommandThatCannotStart()
    {
        const CommandResult result = m_processes.runCommand(u"zk-no-such-program", {}, 1000);
        QVERIFY(!result.started);
        QVERIFY(!result.timedOut);
    }

    void runCommandTimeOutEndsTheCommand()
    {
        const CommandResult result = m_processes.runCommand(u"sleep", {u"10"}, 200);
        QVERIFY(result.started);
        QVERIFY(result.timedOut);
        QCOMPARE(result.exitCode, -1);
    }

    void runCommandTimeOutEndsWhatTheCommandStarted()
    {
        // The shell writes the pid of a background sleep, then waits for it.
        const QString pidFile = zktest::testHome() + "/sleep.pid";
        const CommandResult result = m_processes.runCommand(
            u"sh", {u"-c", u"sleep 10 & echo $! > \"$1\"; wait", u"sh", pidFile.toStdU16String()}, 1000);
        QVERIFY(result.timedOut);
        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const int sleeper = file.readAll().trimmed().toInt();
        QVERIFY(sleeper > 0);
        // Killed with its group; it may linger as a zombie until init reaps it, never as a sleeper.
        const auto alive = [&] {
            QFile stat(QString("/proc/%1/stat").arg(sleeper));
            if (!stat.open(QIODevice::ReadOnly))
                return false;
            const QByteArray line = stat.readAll();
            return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
        };
        QTRY_VERIFY(!alive());
    }
};

ZK_TEST_MAIN(TestLinuxProcesses)
#include "tst_linuxprocesses.moc"
