#include "ZkTest.h"

#include "trade/BuyAmountConfig.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>

namespace {

QJsonObject preset(bool enabled, int amount, const QString& name)
{
    return QJsonObject{{"enabled", enabled}, {"amount", amount}, {"name", name}};
}

} // namespace

class TestBuyAmountConfig : public QObject
{
    Q_OBJECT

    int m_fileNumber = 0;

    QString freshPath()
    {
        return zktest::testHome() + QStringLiteral("/presets/%1/buy_amount_limits.json").arg(++m_fileNumber);
    }

    static void write(const QString& path, const QByteArray& content)
    {
        QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    static QByteArray document(int currentIndex, const QJsonArray& limits)
    {
        return QJsonDocument(
                   QJsonObject{{"version", "1.0"}, {"currentIndex", currentIndex}, {"limits", limits}})
            .toJson();
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Zentrik"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
    }

    void nameRule_data()
    {
        QTest::addColumn<int>("amount");
        QTest::addColumn<QString>("name");
        QTest::newRow("zero") << 0 << "";
        QTest::newRow("negative") << -5 << "";
        QTest::newRow("one") << 1 << "最大1元";
        QTest::newRow("below ten thousand") << 9999 << "最大9999元";
        QTest::newRow("ten thousand") << 10000 << "最大1万元";
        QTest::newRow("fifteen thousand") << 15000 << "最大1.5万元";
        QTest::newRow("one decimal only") << 12345 << "最大1.2万元";
        QTest::newRow("hundred thousand") << 100000 << "最大10万元";
    }

    void nameRule()
    {
        QFETCH(int, amount);
        QFETCH(QString, name);
        QCOMPARE(BuyAmountConfig::nameForAmount(amount), name);
    }

    void defaultsFollowTheNameRule()
    {
        const QList<BuyAmountLimit> d = BuyAmountConfig::defaultLimits();
        QCOMPARE(d.size(), 8);
        for (int i = 0; i < 7; ++i) {
            QVERIFY(d.at(i).enabled);
            QCOMPARE(d.at(i).name, BuyAmountConfig::nameForAmount(d.at(i).amount));
        }
        QCOMPARE(d.at(0).amount, 1000);
        QCOMPARE(d.at(6).amount, 50000);
        QCOMPARE(d.at(7), (BuyAmountLimit{false, 0, QString()}));
    }

    void missingFileFailsToLoad()
    {
        BuyAmountConfig config(freshPath());
        QVERIFY(!config.load());
        QCOMPARE(config.limits(), BuyAmountConfig::defaultLimits());
        QCOMPARE(config.currentIndex(), -1);
    }

    void brokenFilesFailToLoad_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not json") << QByteArray("{ limits: ");
        QTest::newRow("array") << QByteArray("[1, 2]");
        QTest::newRow("empty") << QByteArray();
    }

    void brokenFilesFailToLoad()
    {
        QFETCH(QByteArray, content);
        const QString path = freshPath();
        write(path, content);
        BuyAmountConfig config(path);
        config.setCurrentIndex(2);
        QVERIFY(!config.load());
        QCOMPARE(config.limits(), BuyAmountConfig::defaultLimits());
        QCOMPARE(config.currentIndex(), 2);
    }

    void tenPresetsKeepTheFirstEight()
    {
        QJsonArray limits;
        for (int i = 1; i <= 10; ++i)
            limits.append(preset(true, i * 1000, QStringLiteral("p%1").arg(i)));
        const QString path = freshPath();
        write(path, document(7, limits));
        BuyAmountConfig config(path);
        QVERIFY(config.load());
        QCOMPARE(config.limits().size(), 8);
        QCOMPARE(config.limits().first().amount, 1000);
        QCOMPARE(config.limits().last().amount, 8000);
        QCOMPARE(config.limits().last().name, QStringLiteral("p8"));
        QCOMPARE(config.currentIndex(), 7);
    }

    void threePresetsAreFilledUpWithDisabledOnes()
    {
        const QString path = freshPath();
        write(path, document(1, QJsonArray{preset(true, 1000, "a"), preset(false, 2000, "b"),
                                           preset(true, 3000, "c")}));
        BuyAmountConfig config(path);
        QVERIFY(config.load());
        const QList<BuyAmountLimit> l = config.limits();
        QCOMPARE(l.size(), 8);
        QCOMPARE(l.at(1), (BuyAmountLimit{false, 2000, QStringLiteral("b")}));
        QCOMPARE(l.at(2), (BuyAmountLimit{true, 3000, QStringLiteral("c")}));
        for (int i = 3; i < 8; ++i)
            QCOMPARE(l.at(i), (BuyAmountLimit{false, 0, QString()}));
        QCOMPARE(config.currentIndex(), 1);
    }

    void nonObjectElementsAreSkipped()
    {
        const QString path = freshPath();
        QJsonArray limits{42, preset(true, 1000, "a"), QStringLiteral("text"), QJsonArray{1},
                          preset(true, 5000, "b")};
        write(path, document(-1, limits));
        BuyAmountConfig config(path);
        QVERIFY(config.load());
        QCOMPARE(config.limits().at(0).amount, 1000);
        QCOMPARE(config.limits().at(1).amount, 5000);
        QCOMPARE(config.limits().at(2), (BuyAmountLimit{false, 0, QString()}));
    }

    void missingKeysTakeTheirDefaults()
    {
        const QString path = freshPath();
        write(path, QByteArray(R"({"limits": [{"amount": 3000}, {"enabled": false}, {}]})"));
        BuyAmountConfig config(path);
        QVERIFY(config.load());
        QCOMPARE(config.currentIndex(), -1);
        QCOMPARE(config.limits().at(0), (BuyAmountLimit{true, 3000, QString()}));
        QCOMPARE(config.limits().at(1), (BuyAmountLimit{false, 0, QString()}));
        QCOMPARE(config.limits().at(2), (BuyAmountLimit{true, 0, QString()}));
    }

    void currentIndexOutsideThePresetsBecomesNone_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("loaded");
        QTest::newRow("8") << 8 << -1;
        QTest::newRow("-2") << -2 << -1;
        QTest::newRow("7") << 7 << 7;
    }

    void currentIndexOutsideThePresetsBecomesNone()
    {
        QFETCH(int, index);
        QFETCH(int, loaded);
        const QString path = freshPath();
        write(path, document(index, QJsonArray{preset(true, 1000, "a")}));
        BuyAmountConfig config(path);
        QVERIFY(config.load());
        QCOMPARE(config.currentIndex(), loaded);
    }

    void saveAndLoadRoundTrip()
    {
        const QString path = freshPath();
        BuyAmountConfig config(path);
        QList<BuyAmountLimit> limits = BuyAmountConfig::defaultLimits();
        limits[7] = {true, 15000, BuyAmountConfig::nameForAmount(15000)};
        config.setLimits(limits);
        config.setCurrentIndex(7);
        QVERIFY(config.save());

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(root.value("version").toString(), QStringLiteral("1.0"));
        QCOMPARE(root.value("currentIndex").toInt(), 7);
        QCOMPARE(root.value("limits").toArray().size(), 8);
        QCOMPARE(root.value("limits").toArray().at(7).toObject().value("name").toString(),
                 QStringLiteral("最大1.5万元"));

        BuyAmountConfig again(path);
        QVERIFY(again.load());
        QCOMPARE(again.limits(), limits);
        QCOMPARE(again.currentIndex(), 7);
    }

    void saveIntoAnUnwritablePlaceFails()
    {
        const QString blocker = zktest::testHome() + QStringLiteral("/blocker");
        write(blocker, "a file, not a directory");
        BuyAmountConfig config(blocker + QStringLiteral("/buy_amount_limits.json"));
        QVERIFY(!config.save());
    }

    void setLimitsRules()
    {
        BuyAmountConfig config(freshPath());
        QSignalSpy changed(&config, &BuyAmountConfig::configChanged);
        config.setCurrentIndex(6);
        QCOMPARE(changed.count(), 1);

        QList<BuyAmountLimit> nine = BuyAmountConfig::defaultLimits();
        nine.append(BuyAmountLimit{true, 60000, QString()});
        config.setLimits(nine);
        QCOMPARE(config.limits().size(), 8);
        QCOMPARE(changed.count(), 1);

        // Shrinking below the current index forgets it.
        config.setLimits(BuyAmountConfig::defaultLimits().mid(0, 6));
        QCOMPARE(config.limits().size(), 6);
        QCOMPARE(config.currentIndex(), -1);
        QCOMPARE(changed.count(), 2);
    }

    void setCurrentIndexRules()
    {
        BuyAmountConfig config(freshPath());
        QSignalSpy changed(&config, &BuyAmountConfig::configChanged);
        config.setCurrentIndex(3);
        QCOMPARE(config.currentIndex(), 3);
        config.setCurrentIndex(8);  // out of range
        config.setCurrentIndex(-2); // out of range
        config.setCurrentIndex(7);  // disabled preset
        QCOMPARE(config.currentIndex(), 3);
        QCOMPARE(changed.count(), 1);
        config.setCurrentIndex(-1);
        QCOMPARE(config.currentIndex(), -1);
        QCOMPARE(changed.count(), 2);
    }

    void indexOfAmountFindsTheFirstEnabled()
    {
        BuyAmountConfig config(freshPath());
        QList<BuyAmountLimit> limits = BuyAmountConfig::defaultLimits();
        limits[0] = {false, 5000, QString()};
        limits[7] = {true, 5000, QString()};
        config.setLimits(limits);
        QCOMPARE(config.indexOfAmount(5000), 1);
        QCOMPARE(config.indexOfAmount(1000), -1);
        QCOMPARE(config.indexOfAmount(0), -1);
    }

    void instanceFallsBackToDefaultsAndWritesThem()
    {
        const QString path = BuyAmountConfig::defaultFilePath();
        QCOMPARE(path, QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                                       QStringLiteral("/buy_amount_limits.json")));
        QVERIFY(path.startsWith(zktest::testHome()));
        write(path, "garbage");
        BuyAmountConfig& store = BuyAmountConfig::instance();
        QCOMPARE(&store, &BuyAmountConfig::instance());
        QCOMPARE(store.filePath(), path);
        QCOMPARE(store.limits(), BuyAmountConfig::defaultLimits());
        BuyAmountConfig reread(path);
        QVERIFY(reread.load());
        QCOMPARE(reread.limits(), BuyAmountConfig::defaultLimits());
    }
};

ZK_TEST_MAIN(TestBuyAmountConfig)
#include "tst_buyamountconfig.moc"
