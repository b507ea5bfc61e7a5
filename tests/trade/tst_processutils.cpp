#include "ZkTest.h"

#include "LogCapture.h"
#include "SimFixture.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/FakeThs.h"
#include "trade/ProcessUtils.h"

#include <optional>

class TestProcessUtils : public QObject
{
    Q_OBJECT

private slots:
    void listsTheTdxClients()
    {
        SimFixture f;
        sim::FakeTdxOptions classic;
        sim::FakeTdx tdx32(f.system, classic);
        sim::FakeTdxOptions wide;
        wide.is64Bit = true;
        wide.installDir = u"D:\\zd_tdx";
        wide.mainTitle = u"招商证券通达信";
        sim::FakeTdx tdx64(f.system, wide);
        sim::FakeThs ths(f.system);
        sim::ProcessSpec upper;
        upper.exeFile = u"TDXW.EXE";
        upper.wow64 = true;
        const auto windowless = f.system.processes().startProcess(upper);

        ProcessUtils utils;
        LogCapture log;
        const QList<TdxProcessInfo> found = utils.getAllTdxProcesses();
        QCOMPARE(found.size(), 3);
        QCOMPARE(found.at(0).pid, quint32(tdx32.pid()));
        QCOMPARE(found.at(0).path, QString::fromStdU16String(tdx32.imagePath()));
        QVERIFY(found.at(0).title.startsWith(QStringLiteral("通达信金融终端")));
        QCOMPARE(found.at(1).pid, quint32(tdx64.pid()));
        QVERIFY(found.at(1).is64Bit);
        QVERIFY(found.at(1).path.endsWith(QStringLiteral("tdxw64.exe")));
        QVERIFY(found.at(1).title.startsWith(QStringLiteral("招商证券通达信")));
        QCOMPARE(found.at(2).pid, quint32(windowless));
        QVERIFY(!found.at(2).is64Bit);
        QCOMPARE(found.at(2).title, QString());
        QCOMPARE(log.startingWith(QStringLiteral("找到通达信进程 - PID:")).size(), 3);
        QCOMPARE(log.lines().last(),
                 QStringLiteral("ProcessUtils::getAllTdxProcesses - 共找到 3 个通达信进程"));
        QCOMPARE(f.system.processes().openHandleCount(), std::size_t(0));
    }

    void aFailedSnapshotListsNothing()
    {
        SimFixture f;
        sim::FakeTdx tdx(f.system);
        f.system.processes().setSnapshotFails(true);
        ProcessUtils utils;
        LogCapture log;
        QVERIFY(utils.getAllTdxProcesses().isEmpty());
        QCOMPARE(log.lines(), QStringList{"ProcessUtils::getAllTdxProcesses - 创建进程快照失败"});
        QCOMPARE(utils.findProcessIdByName(QStringLiteral("tdxw.exe")), quint32(0));
    }

    void findsAProcessIgnoringCase()
    {
        SimFixture f;
        sim::FakeTdx tdx(f.system);
        ProcessUtils utils;
        QCOMPARE(utils.findProcessIdByName(QStringLiteral("TdxW.exe")), quint32(tdx.pid()));
        QCOMPARE(utils.findProcessIdByName(QStringLiteral("tdxw")), quint32(0));
    }

    void killProcessExitCodes_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("handlerCode"); // -1: the simulator's own taskkill
        QTest::addColumn<bool>("timedOut");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("line");
        QTest::newRow("ended") << true << -1 << false << true << true << "xiadan.exe 终止成功";
        QTest::newRow("not running") << false << -1 << false << true << true
                                     << "xiadan.exe 进程不存在，无需终止";
        QTest::newRow("access denied")
            << true << 1 << false << true << false << "xiadan.exe 终止失败，退出码: 1";
        QTest::newRow("time-out") << true << 0 << true << true << false << "终止 xiadan.exe 超时";
        QTest::newRow("not started") << true << 0 << false << false << false
                                     << "xiadan.exe 终止失败，无法运行 taskkill";
    }

    void killProcessExitCodes()
    {
        QFETCH(bool, running);
        QFETCH(int, handlerCode);
        QFETCH(bool, timedOut);
        QFETCH(bool, started);
        QFETCH(bool, ok);
        QFETCH(QString, line);
        SimFixture f;
        sim::FakeThs ths(f.system);
        if (running)
            ths.startOrderClient();
        if (handlerCode >= 0 || !started) {
            f.system.processes().setCommandHandler(
                [=](const std::u16string&,
                    const std::vector<std::u16string>&) -> std::optional<platform::CommandResult> {
                    platform::CommandResult r;
                    r.started = started;
                    r.timedOut = timedOut;
                    r.exitCode = handlerCode;
                    return r;
                });
        }
        ProcessUtils utils;
        LogCapture log;
        QCOMPARE(utils.killThsOrderClient(), ok);
        QCOMPARE(log.lines(), (QStringList{"正在终止进程: xiadan.exe", line}));
        const auto commands = f.system.processes().commandsRun();
        QCOMPARE(commands.size(), std::size_t(1));
        QVERIFY(commands[0].program == u"taskkill");
        QVERIFY((commands[0].arguments == std::vector<std::u16string>{u"/F", u"/IM", u"xiadan.exe"}));
        if (running && handlerCode < 0)
            QCOMPARE(ths.orderClientPid() != 0 && f.system.processes().isRunning(ths.orderClientPid()),
                     false);
    }

    void offsetText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<quint32>("value");
        QTest::newRow("prefixed") << "0x1E96650" << true << quint32(0x1E96650);
        QTest::newRow("upper prefix") << "0X1e96650" << true << quint32(0x1E96650);
        QTest::newRow("bare") << "1E96650" << true << quint32(0x1E96650);
        QTest::newRow("largest") << "0xFFFFFFFF" << true << quint32(0xFFFFFFFF);
        QTest::newRow("too large") << "0x100000000" << false << quint32(0);
        QTest::newRow("not hex") << "0x1G" << false << quint32(0);
        QTest::newRow("negative") << "-1" << false << quint32(0);
        QTest::newRow("prefix only") << "0x" << false << quint32(0);
        QTest::newRow("empty") << "" << false << quint32(0);
    }

    void offsetText()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(quint32, value);
        ProcessUtils utils;
        LogCapture log;
        QCOMPARE(utils.setOffset(text), ok);
        QCOMPARE(utils.offset(), value);
        QCOMPARE(log.lines(), ok ? QStringList() : QStringList{"无效的偏移基地址: " + text});
    }

    void readsTheCodeThsShows()
    {
        SimFixture f;
        sim::FakeThs ths(f.system);
        ths.setCurrentStock(u"600519", u"贵州茅台");
        ProcessUtils utils;
        QVERIFY(utils.setOffset(QStringLiteral("0x1E96650")));
        QString code;
        LogCapture log;
        QVERIFY(utils.readThsStockCode(code));
        QCOMPARE(code, QStringLiteral("600519"));
        QVERIFY(log.contains("hexin.exe found at: 0x400000"));
        QVERIFY(log.contains("Target process is 32-bit , searching for: hexin.exe"));
        QVERIFY(log.contains("Read pointer successfully from 0x2296650 -> 0xb2d0040"));

        // The pointer is kept: the next read goes straight to the code.
        log.clear();
        ths.setCurrentStock(u"000001", u"平安银行");
        QVERIFY(utils.readThsStockCode(code));
        QCOMPARE(code, QStringLiteral("000001"));
        QVERIFY(log.startingWith(QStringLiteral("Read pointer")).isEmpty());
        QCOMPARE(f.system.processes().openHandleCount(), std::size_t(1));
    }

    void readingFailures()
    {
        SimFixture f;
        ProcessUtils utils;
        QString code = QStringLiteral("stale");
        QVERIFY(!utils.readThsStockCode(code)); // no offset yet
        QCOMPARE(code, QString());
        QVERIFY(utils.setOffset(QStringLiteral("0x1E96650")));
        LogCapture log;
        QVERIFY(!utils.readThsStockCode(code)); // no THS running
        QCOMPARE(log.lines(), QStringList{"未找到同花顺进程"});

        sim::FakeThs ths(f.system);
        ths.writeCodeBytes(std::string("Xabc\0\0\0\0", 8));
        QVERIFY(!utils.readThsStockCode(code));
        QCOMPARE(f.system.processes().openHandleCount(), std::size_t(0));

        // A wrong offset reads no pointer: the handle is closed and the next call starts afresh.
        ths.setCurrentStock(u"600000", u"浦发银行");
        QVERIFY(utils.setOffset(QStringLiteral("0x10")));
        log.clear();
        QVERIFY(!utils.readThsStockCode(code));
        QCOMPARE(log.startingWith(QStringLiteral("ReadProcessMemory failed. Error:")).size(), 1);
        QCOMPARE(f.system.processes().openHandleCount(), std::size_t(0));
        QVERIFY(utils.setOffset(QStringLiteral("0x1E96650")));
        QVERIFY(utils.readThsStockCode(code));
        QCOMPARE(code, QStringLiteral("600000"));
    }

    void theProcessGoingAwayIsSurvived()
    {
        SimFixture f;
        ProcessUtils utils;
        utils.setOffset(QStringLiteral("0x1E96650"));
        QString code;
        {
            sim::FakeThs ths(f.system);
            QVERIFY(utils.readThsStockCode(code));
        }
        QVERIFY(!utils.readThsStockCode(code));
        QCOMPARE(f.system.processes().openHandleCount(), std::size_t(0));
        sim::FakeThs again(f.system);
        again.setCurrentStock(u"300750", u"宁德时代");
        QVERIFY(utils.readThsStockCode(code));
        QCOMPARE(code, QStringLiteral("300750"));
    }

    void baseAddressOfAChosenProcess()
    {
        SimFixture f;
        sim::FakeThs ths(f.system);
        sim::FakeTdx tdx(f.system);
        ProcessUtils utils;
        LogCapture log;
        QVERIFY(!utils.getTdxBaseAddress(tdx.pid())); // no hexin.exe module in TDX
        QCOMPARE(log.lines().last(), QStringLiteral("hexin.exe not found in process"));
        utils.setUserPid(true, ths.pid());
        QVERIFY(utils.getTdxBaseAddress(tdx.pid()));
        QCOMPARE(log.startingWith("ProcessUtils::getTdxBaseAddress - 使用用户指定的PID:").size(), 1);
        utils.setUserPid(true, 99999);
        QVERIFY(!utils.getTdxBaseAddress(0));
        QCOMPARE(log.lines().last(),
                 QStringLiteral("ProcessUtils::getTdxBaseAddressByPid - 无法打开进程，PID: 99999"));
        QCOMPARE(f.system.processes().openHandleCount(), std::size_t(0));
    }
};

ZK_TEST_MAIN(TestProcessUtils)
#include "tst_processutils.moc"
