// What is spoken for the keyboard's own reports: outcome frames by status and reason, the
// confirmation mode and the trade key used.

#include "ZkTest.h"

#include "trade/KeyboardReports.h"

class TestKeyboardReports : public QObject
{
    Q_OBJECT

private slots:
    void keyboardReportText_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("keyFunction");
        QTest::addColumn<QString>("spoken"); // empty: silent
        QTest::newRow("2, not main board") << 2 << 11 << 13 << "你选的不是主板,交易取消";
        QTest::newRow("3, not the clicked stock") << 3 << 99 << 13 << "下单的股票不是你当前点击的,交易取消";
        QTest::newRow("2, no reason") << 2 << 0 << 13 << "交易取消";
        QTest::newRow("3, no reason") << 3 << 0 << 13 << QString();
        QTest::newRow("2, reason outside the table") << 2 << 77 << 13 << "交易取消";
        QTest::newRow("3, reason outside the table") << 3 << 77 << 13 << QString();
        QTest::newRow("2, 109 on a buy key") << 2 << 109 << 15 << "可买数量为0";
        QTest::newRow("2, 109 on a sell key") << 2 << 109 << 25 << "可卖数量为0";
        QTest::newRow("3, 110 on key 19") << 3 << 110 << 19 << "可买数量为0";
        QTest::newRow("6") << 6 << 0 << 0 << "按键已禁用";
        QTest::newRow("9") << 9 << 11 << 0 << "当前状态下不支持该操作";
        QTest::newRow("11, 107") << 11 << 107 << 0 << "买入数量为0";
        QTest::newRow("11, 108") << 11 << 108 << 0 << "卖出数量为0";
        QTest::newRow("11, other") << 11 << 1 << 0 << "请输入数量";
        QTest::newRow("12") << 12 << 0 << 0 << "按任意买卖键确认,按撤单键取消";
        QTest::newRow("4") << 4 << 11 << 0 << QString();
        QTest::newRow("10") << 10 << 0 << 0 << QString();
        QTest::newRow("0") << 0 << 11 << 0 << QString();
    }
    void keyboardReportText()
    {
        QFETCH(int, status);
        QFETCH(int, reason);
        QFETCH(int, keyFunction);
        QFETCH(QString, spoken);
        QCOMPARE(OutcomeMessages::keyboardReportText(status, reason, keyFunction), spoken);
    }

    void confirmModeText_data()
    {
        QTest::addColumn<bool>("buy");
        QTest::addColumn<bool>("sell");
        QTest::addColumn<QString>("always");
        QTest::addColumn<QString>("unlessNeither");
        QTest::newRow("buy") << true << false << "买入需要确认"
                             << "买入需要确认";
        QTest::newRow("both") << true << true << "买入和卖出交易都需要确认"
                              << "买入和卖出交易都需要确认";
        QTest::newRow("sell") << false << true << "卖出需要确认"
                              << "卖出需要确认";
        QTest::newRow("neither") << false << false << "买卖都不需要确认" << QString();
    }
    void confirmModeText()
    {
        QFETCH(bool, buy);
        QFETCH(bool, sell);
        QFETCH(QString, always);
        QFETCH(QString, unlessNeither);
        QCOMPARE(OutcomeMessages::confirmModeText(buy, sell), always);
        QCOMPARE(OutcomeMessages::confirmModeText(buy, sell, false), unlessNeither);
    }

    void tradeKeyUsedText_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("plain") << 0 << 0 << "1/3买";
        QTest::newRow("waits for confirmation") << 5 << 0 << "1/3买,请确认";
        QTest::newRow("timed") << 0 << 356 << "1/3买耗时356毫秒";
        QTest::newRow("both") << 5 << 12 << "1/3买,请确认耗时12毫秒";
    }
    void tradeKeyUsedText()
    {
        QFETCH(int, reason);
        QFETCH(int, elapsedMs);
        QFETCH(QString, spoken);
        QCOMPARE(OutcomeMessages::tradeKeyUsedText(QStringLiteral("1/3买"), reason, elapsedMs), spoken);
    }
};

ZK_TEST_MAIN(TestKeyboardReports)
#include "tst_keyboardreports.moc"
