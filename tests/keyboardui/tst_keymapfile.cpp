// Key map files: what is written reads back as the same codes (also codes the editor has no
// label for), and files that are not a key map are refused without touching the result.

#include "keyboardui/KeyMapFile.h"

#include "ZkTest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

class TestKeyMapFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTripKeepsEveryCode()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("键位.json"));
        KeyMapFile::Content written;
        written.keyMap = QByteArray::fromHex("010a0b1d2e1f0237000332");
        written.serial = QStringLiteral("ZK000001");
        written.build = QStringLiteral("20240115");
        QString error;
        QVERIFY2(KeyMapFile::save(path, written, &error), qPrintable(error));

        KeyMapFile::Content read;
        QVERIFY2(KeyMapFile::load(path, &read, &error), qPrintable(error));
        QCOMPARE(read.keyMap.toHex(), written.keyMap.toHex());
        QCOMPARE(read.serial, written.serial);
        QCOMPARE(read.build, written.build);

        // The labels are there for the reader: key 2 is 定买, key 7 (code 2) shows its number.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
        const QJsonArray keys = root.value(QStringLiteral("keys")).toArray();
        QCOMPARE(keys.size(), 11);
        QCOMPARE(keys.at(1).toObject().value(QStringLiteral("label")).toString(), QStringLiteral("定买"));
        QCOMPARE(keys.at(6).toObject().value(QStringLiteral("label")).toString(), QStringLiteral("2"));
    }

    void refusesWhatIsNotAKeyMap_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QByteArray head = R"({"type": "ZentrikClock key map", "version": 1, "keys": )";
        QTest::newRow("not json") << QByteArray("键位");
        QTest::newRow("an array") << QByteArray("[1, 2, 3]");
        QTest::newRow("another file") << QByteArray(R"({"type": "profile", "version": 1, "keys": []})");
        QTest::newRow("no keys") << QByteArray(R"({"type": "ZentrikClock key map", "version": 1})");
        QTest::newRow("newer version") << QByteArray(
            R"({"type": "ZentrikClock key map", "version": 2, "keys": [{"key": 1, "code": 1}]})");
        QTest::newRow("empty") << head + "[]}";
        QTest::newRow("code too big") << head + R"([{"key": 1, "code": 256}]})";
        QTest::newRow("negative code") << head + R"([{"key": 1, "code": -1}]})";
        QTest::newRow("fractional code") << head + R"([{"key": 1, "code": 1.5}]})";
        QTest::newRow("code as text") << head + R"([{"key": 1, "code": "10"}]})";
        QTest::newRow("no code") << head + R"([{"key": 1, "label": "查询"}]})";
        QTest::newRow("keys out of order") << head + R"([{"key": 2, "code": 1}, {"key": 1, "code": 10}]})";
        QTest::newRow("a key missing") << head + R"([{"key": 1, "code": 1}, {"key": 3, "code": 10}]})";
    }

    void refusesWhatIsNotAKeyMap()
    {
        QFETCH(QByteArray, json);
        KeyMapFile::Content content;
        content.keyMap = "keep";
        QString error;
        QVERIFY(!KeyMapFile::fromJson(json, &content, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(content.keyMap, QByteArray("keep"));
    }

    void unreadableFileIsRefused()
    {
        KeyMapFile::Content content;
        QString error;
        QVERIFY(!KeyMapFile::load(QStringLiteral("/nonexistent/键位.json"), &content, &error));
        QVERIFY(error.contains(QStringLiteral("/nonexistent/键位.json")));
    }
};

ZK_TEST_MAIN(TestKeyMapFile)
#include "tst_keymapfile.moc"
