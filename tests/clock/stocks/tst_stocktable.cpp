// The stock table and its SQLite file: a code learned once is known after a restart, also when
// the file did not exist; reading never creates a file; a broken file leaves the table as it was.

#include "clock/stocks/StockTable.h"

#include "ZkTest.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

class TestStockTable : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    static int rowsFor(const QString& code)
    {
        QSqlQuery query(QSqlDatabase::database());
        query.prepare(QStringLiteral("SELECT COUNT(*) FROM stocks WHERE code = ?"));
        query.addBindValue(code);
        return query.exec() && query.next() ? query.value(0).toInt() : -1;
    }

private slots:
    void aLearnedCodeSurvivesARestart()
    {
        const QString file = m_dir.filePath(QStringLiteral("new/folder/stocks.db"));
        QVERIFY(!QFile::exists(file));
        StockTable first;
        QVERIFY(first.addStock(QStringLiteral("600519"), QStringLiteral("贵州茅台"), file));
        QVERIFY(first.addStock(QStringLiteral("600519"), QStringLiteral("贵州茅台"), file)); // known: no second row
        QCOMPARE(rowsFor(QStringLiteral("600519")), 1);
        QVERIFY(first.addStock(QStringLiteral("000001"), QStringLiteral("平安银行"), file));

        StockTable restarted;
        QVERIFY(restarted.loadStockTable(file));
        QCOMPARE(restarted.size(), 2);
        QCOMPARE(restarted.lookupStockName(QStringLiteral("600519")), QStringLiteral("贵州茅台"));
        QCOMPARE(restarted.lookupStockName(QStringLiteral("000001")), QStringLiteral("平安银行"));
        QCOMPARE(restarted.lookupStockName(QStringLiteral("300750")), QString());
    }

    void aLaterDuplicateWins()
    {
        const QString file = path("dup.db");
        StockTable table;
        QVERIFY(table.addStock(QStringLiteral("600000"), QStringLiteral("浦发银行"), file));
        QSqlQuery insert(QSqlDatabase::database());
        QVERIFY(insert.exec(QStringLiteral("INSERT INTO stocks (code, name) VALUES ('600000', '浦发')")));
        QVERIFY(table.loadStockTable(file));
        QCOMPARE(table.lookupStockName(QStringLiteral("600000")), QStringLiteral("浦发"));
    }

    void failedReadsKeepTheTable()
    {
        StockTable table;
        table.insert(QStringLiteral("600519"), QStringLiteral("贵州茅台"));

        const QString missing = path("missing.db");
        QVERIFY(!table.loadStockTable(missing));
        QVERIFY(!QFile::exists(missing));

        // A database without the table.
        const QString empty = path("empty.db");
        {
            QSqlDatabase db = QSqlDatabase::database();
            db.close();
            db.setDatabaseName(empty);
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("CREATE TABLE other (x TEXT)"));
        }
        QVERIFY(!table.loadStockTable(empty));
        // Not a database at all.
        const QString garbage = path("garbage.db");
        QFile file(garbage);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        QVERIFY(!table.loadStockTable(garbage));
        QVERIFY(!table.addStock(QStringLiteral("000001"), QStringLiteral("平安银行"), garbage));

        QCOMPARE(table.size(), 1);
        QCOMPARE(table.lookupStockName(QStringLiteral("600519")), QStringLiteral("贵州茅台"));

        // Adding to the file without the table makes the table.
        QVERIFY(table.addStock(QStringLiteral("000001"), QStringLiteral("平安银行"), empty));
        StockTable reread;
        QVERIFY(reread.loadStockTable(empty));
        QCOMPARE(reread.lookupStockName(QStringLiteral("000001")), QStringLiteral("平安银行"));
    }
};

ZK_TEST_MAIN(TestStockTable)
#include "tst_stocktable.moc"
