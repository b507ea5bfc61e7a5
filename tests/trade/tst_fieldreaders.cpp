#include "ZkTest.h"

#include "LogCapture.h"
#include "SimFixture.h"
#include "trade/FieldReaders.h"

using platform::WindowId;

namespace {

// An order dialog of another program: Static 0 is a caption, Static 1 the maximum quantity; Edit 0
// the price, Edit 1 the quantity.
struct Dialog
{
    SimFixture f;
    WindowId dialog = 0;

    Dialog(const QString& maxText, const QString& price, const QString& quantity)
    {
        dialog = f.window(f.client(u"tdxw.exe"), u"#32770", u"闪电买入",
                          {{u"Static", u"最大可买"},
                           {u"Static", maxText.toStdU16String()},
                           {u"Edit", price.toStdU16String()},
                           {u"Edit", quantity.toStdU16String()}});
    }
    WindowId child(int i) { return f.desktop().childWindows(dialog).at(i); }
};

} // namespace

class TestFieldReaders : public QObject
{
    Q_OBJECT

private slots:
    void price_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("result");
        QTest::newRow("10.50") << "10.50" << int(FieldReadOk);
        QTest::newRow("0.001") << "0.001" << int(FieldReadOk);
        QTest::newRow("10") << "10" << int(FieldInvalid);
        QTest::newRow(".5") << ".5" << int(FieldInvalid);
        QTest::newRow("5.") << "5." << int(FieldInvalid);
        QTest::newRow("1.2.3") << "1.2.3" << int(FieldInvalid);
        QTest::newRow("-1.5") << "-1.5" << int(FieldInvalid);
        QTest::newRow("empty") << "" << int(FieldEmpty);
    }

    void price()
    {
        QFETCH(QString, text);
        QFETCH(int, result);
        Dialog d(QStringLiteral("1000"), text, QStringLiteral("100"));
        WindowId cache = 0;
        QString read = QStringLiteral("unchanged");
        LogCapture log;
        QCOMPARE(int(FieldReaders::readPrice(d.dialog, cache, 0, read)), result);
        QCOMPARE(cache, d.child(2)); // the control was found either way
        if (result == FieldReadOk) {
            QCOMPARE(read, text);
            QCOMPARE(log.lines(), QStringList{QStringLiteral("stock buy price (configured index): ") + text});
        } else {
            QCOMPARE(read, QStringLiteral("unchanged"));
        }
    }

    void quantity_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("result");
        QTest::newRow("100") << "100" << int(FieldReadOk);
        QTest::newRow("+100") << "+100" << int(FieldReadOk);
        QTest::newRow("-100") << "-100" << int(FieldReadOk);
        QTest::newRow("0") << "0" << int(FieldReadOk);
        QTest::newRow("1,000") << "1,000" << int(FieldInvalid);
        QTest::newRow("1 000") << "1 000" << int(FieldInvalid);
        QTest::newRow("10.5") << "10.5" << int(FieldInvalid);
        QTest::newRow("empty") << "" << int(FieldEmpty);
    }

    void quantity()
    {
        QFETCH(QString, text);
        QFETCH(int, result);
        Dialog d(QStringLiteral("1000"), QStringLiteral("10.50"), text);
        WindowId cache = 0;
        QString read;
        QCOMPARE(int(FieldReaders::readQuantity(d.dialog, cache, 1, read)), result);
        if (result == FieldReadOk)
            QCOMPARE(read, text);
    }

    void maxQuantity_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "1200" << int(FieldReadOk) << 1200;
        QTest::newRow("grouped") << "1,200" << int(FieldReadOk) << 1200;
        QTest::newRow("spaced") << "1 200" << int(FieldReadOk) << 1200;
        QTest::newRow("ideographic space") << QStringLiteral("1\u3000200") << int(FieldReadOk) << 1200;
        QTest::newRow("padded") << "  300 " << int(FieldReadOk) << 300;
        QTest::newRow("zero") << "0" << int(FieldReadOk) << 0;
        QTest::newRow("negative") << "-5" << int(FieldNegative) << -1;
        QTest::newRow("letters") << "abc" << int(FieldInvalid) << -1;
        QTest::newRow("decimal") << "12.5" << int(FieldInvalid) << -1;
        QTest::newRow("empty") << "" << int(FieldEmpty) << -1;
        QTest::newRow("only separators") << " , " << int(FieldEmpty) << -1;
    }

    void maxQuantity()
    {
        QFETCH(QString, text);
        QFETCH(int, result);
        QFETCH(int, value);
        Dialog d(text, QStringLiteral("10.50"), QStringLiteral("100"));
        WindowId cache = 0;
        int read = -1;
        LogCapture log;
        QCOMPARE(int(FieldReaders::readMaxQuantity(d.dialog, cache, 1, read)), result);
        QCOMPARE(read, value);
        if (result == FieldReadOk)
            QCOMPARE(log.lines(), QStringList{QStringLiteral("读取到最大可买数量： %1").arg(value)});
        if (result == FieldInvalid)
            QCOMPARE(log.lines(), QStringList{QStringLiteral("最大可买数量无效： ") + text});
        if (result == FieldNegative || result == FieldEmpty)
            QVERIFY(log.lines().isEmpty());
        // Not cached while the client has not filled it in yet.
        QCOMPARE(cache, result == FieldEmpty ? WindowId(0) : d.child(1));
    }

    void failures_data()
    {
        QTest::addColumn<bool>("withDialog");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("maxLog");
        QTest::newRow("no dialog") << false << 1 << int(FieldNoDialog) << "";
        QTest::newRow("index not configured")
            << true << -1 << int(FieldIndexNotConfigured) << "最大数量索引未配置";
        QTest::newRow("no control there")
            << true << 9 << int(FieldControlMissing) << "无法读取最大数量，索引： 9";
    }

    void failures()
    {
        QFETCH(bool, withDialog);
        QFETCH(int, index);
        QFETCH(int, result);
        QFETCH(QString, maxLog);
        Dialog d(QStringLiteral("1000"), QStringLiteral("10.50"), QStringLiteral("100"));
        const WindowId dialog = withDialog ? d.dialog : 0;
        WindowId cache = 0;
        QString text;
        int value = -1;
        LogCapture log;
        QCOMPARE(int(FieldReaders::readMaxQuantity(dialog, cache, index, value)), result);
        QCOMPARE(log.lines(), maxLog.isEmpty() ? QStringList() : QStringList{maxLog});
        QCOMPARE(int(FieldReaders::readQuantity(dialog, cache, index, text)), result);
        QCOMPARE(int(FieldReaders::readPrice(dialog, cache, index, text)), result);
        QCOMPARE(cache, WindowId(0));
        QCOMPARE(value, -1);
    }

    void theCacheIsUsedOnTheSecondRead()
    {
        Dialog d(QStringLiteral("1,500"), QStringLiteral("10.50"), QStringLiteral("300"));
        WindowId maxCache = 0;
        WindowId quantityCache = 0;
        WindowId priceCache = 0;
        int max = 0;
        QString quantity;
        QString price;
        QCOMPARE(FieldReaders::readMaxQuantity(d.dialog, maxCache, 1, max), FieldReadOk);
        QCOMPARE(FieldReaders::readQuantity(d.dialog, quantityCache, 1, quantity), FieldReadOk);
        QCOMPARE(FieldReaders::readPrice(d.dialog, priceCache, 0, price), FieldReadOk);

        // With live caches the index is not looked at any more (not even a missing one), and the
        // controls are read as they are now.
        d.f.desktop().sendMessage(d.child(3), platform::msg::SetText, 0,
                                  reinterpret_cast<std::intptr_t>(u"200"));
        {
            sim::SimDesktop::ActingAs client(d.f.desktop().windowProcessId(d.dialog));
            d.f.desktop().setWindowText(d.child(1), u"2,000");
        }
        LogCapture log;
        QCOMPARE(FieldReaders::readMaxQuantity(d.dialog, maxCache, -1, max), FieldReadOk);
        QCOMPARE(max, 2000);
        QCOMPARE(FieldReaders::readQuantity(d.dialog, quantityCache, 7, quantity), FieldReadOk);
        QCOMPARE(quantity, QStringLiteral("200"));
        QCOMPARE(FieldReaders::readPrice(d.dialog, priceCache, -1, price), FieldReadOk);
        QCOMPARE(log.lines(),
                 (QStringList{"读取最大可买/可卖数量（使用缓存）： 2000", "stock trade num (cached): 200",
                              "stock buy price (cached): 10.50"}));
    }

    // A control that does not answer (hung, or slower than the program waits) has an unknown
    // text: neither empty nor a value, and nothing from an earlier read is handed back. Its
    // answer time is measured on the clock seam: the reader never waits longer than the limit.
    void aControlThatDoesNotAnswerIsNotRead_data()
    {
        QTest::addColumn<bool>("hung");
        QTest::newRow("hung") << true;
        QTest::newRow("slower than the limit") << false;
    }
    void aControlThatDoesNotAnswerIsNotRead()
    {
        QFETCH(bool, hung);
        Dialog d(QStringLiteral("800"), QStringLiteral("9.99"), QStringLiteral("100"));
        WindowId maxCache = 0;
        WindowId quantityCache = 0;
        WindowId priceCache = 0;
        int max = -1;
        QString quantity = QStringLiteral("stale");
        QString price = QStringLiteral("stale");
        QCOMPARE(FieldReaders::readMaxQuantity(d.dialog, maxCache, 1, max), FieldReadOk);
        max = -1;
        if (hung)
            d.f.desktop().setHung(d.dialog, true);
        else
            d.f.desktop().setAnswerTime(d.dialog,
                                        [](std::uint32_t, std::uintptr_t, std::intptr_t) { return 201; });
        const qint64 start = d.f.clock.nowMs();
        QCOMPARE(FieldReaders::readMaxQuantity(d.dialog, maxCache, 1, max), FieldNoAnswer);
        QCOMPARE(FieldReaders::readQuantity(d.dialog, quantityCache, 1, quantity), FieldNoAnswer);
        QCOMPARE(FieldReaders::readPrice(d.dialog, priceCache, 0, price), FieldNoAnswer);
        QCOMPARE(d.f.clock.nowMs() - start, qint64(3 * 200));
        QCOMPARE(max, -1);
        QCOMPARE(quantity, QStringLiteral("stale"));
        QCOMPARE(price, QStringLiteral("stale"));
    }

    void aDeadCacheFallsBackToTheIndex()
    {
        Dialog d(QStringLiteral("800"), QStringLiteral("9.99"), QStringLiteral("100"));
        WindowId cache = d.child(3);
        const WindowId next = d.f.window(d.f.desktop().windowProcessId(d.dialog), u"#32770", u"闪电买入",
                                         {{u"Edit", u"1.23"}, {u"Edit", u"700"}});
        d.f.desktop().destroyWindow(d.dialog); // the previous dialog and its controls are gone
        QString quantity;
        LogCapture log;
        QCOMPARE(FieldReaders::readQuantity(next, cache, 1, quantity), FieldReadOk);
        QCOMPARE(quantity, QStringLiteral("700"));
        QCOMPARE(cache, d.f.desktop().childWindows(next).at(1));
        QCOMPARE(log.lines(), QStringList{"stock trade num (configured index): 700"});
    }
};

ZK_TEST_MAIN(TestFieldReaders)
#include "tst_fieldreaders.moc"
