#include "ZkTest.h"

#include "trade/OutcomeMessages.h"

using OutcomeMessages::Source;

class TestOutcomeMessages : public QObject
{
    Q_OBJECT

private slots:
    // Where the two sources differ, and the reasons that have no text.
    void reasonText_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("keyFunction");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("keyboard");
        QTest::newRow("8") << 8 << 0 << "当前状态不能交易"
                           << "当前状态不能交易";
        QTest::newRow("16") << 16 << 0 << "买入金额超过限额"
                            << "买入金额超过限额";
        QTest::newRow("105") << 105 << 0 << "买入金额超过限额"
                             << "买入金额超过限额";
        QTest::newRow("99") << 99 << 0 << "下单的股票不是你当前点击的股票,交易取消"
                            << "下单的股票不是你当前点击的,交易取消";
        QTest::newRow("104") << 104 << 0 << "该通达信版本未配置,交易取消"
                             << "该通达信版本未配置,交易取消";
        QTest::newRow("109, buy key") << 109 << 15 << QString() << "可买数量为0";
        QTest::newRow("109, sell key") << 109 << 25 << QString() << "可卖数量为0";
        QTest::newRow("110, key 19") << 110 << 19 << QString() << "可买数量为0";
        QTest::newRow("110, key 20") << 110 << 20 << QString() << "可卖数量为0";
        QTest::newRow("0") << 0 << 0 << QString() << QString();
        QTest::newRow("9") << 9 << 0 << QString() << QString();
        QTest::newRow("111") << 111 << 0 << QString() << QString();
    }
    void reasonText()
    {
        QFETCH(int, reason);
        QFETCH(int, keyFunction);
        QFETCH(QString, notice);
        QFETCH(QString, keyboard);
        QCOMPARE(OutcomeMessages::reasonText(reason, Source::Notice, keyFunction), notice);
        QCOMPARE(OutcomeMessages::reasonText(reason, Source::KeyboardReport, keyFunction), keyboard);
    }

    // Every reason the worker gives has its text.
    void everyWorkerReasonIsSpoken()
    {
        for (int reason : {1, 2, 8, 10, 11, 12, 15, 16, 100, 101, 102, 103, 104, 107, 108})
            QVERIFY2(!OutcomeMessages::noticeText(64, reason).isEmpty(), qPrintable(QString::number(reason)));
    }
};

ZK_TEST_MAIN(TestOutcomeMessages)
#include "tst_outcomemessages.moc"
