#include "ZkTest.h"

#include "platform/api/Clock.h"
#include "platform/api/Platform.h"
#include "sim/desktop/SimSystem.h"
#include "tradeconfig/ThsApply.h"
#include "tradeconfig/ThsPresetFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextCodec>

#include <algorithm>

using namespace ThsPresetFiles;

namespace {

QByteArray gb(const QString& text)
{
    return QTextCodec::codecForName("GB2312")->fromUnicode(text);
}

// Lines joined with CR LF, each line ended by it.
QByteArray crlf(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines)
        out += gb(line) + "\r\n";
    return out;
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(data), qint64(data.size()));
}

QJsonObject preset(int index, const QString& name, int type, int number)
{
    return QJsonObject{{"Index", index}, {"Name", name}, {"AmountType", type}, {"AmountNumber", number}};
}

QJsonObject schemeSet(const QJsonArray& list)
{
    return QJsonObject{{"FloatSetting", QJsonObject{{"FloatSchemeList", list}}}};
}

const QString Scheme = QStringLiteral("{\"FloatSetting\":{\"FloatSchemeList\":[{\"Index\":0,\"Name\":\"一档\"}]}}");

} // namespace

class TestThsPresetFiles : public QObject
{
    Q_OBJECT

    int m_dirNumber = 0;
    QString freshDir()
    {
        const QString dir = zktest::testHome() + QStringLiteral("/files/%1").arg(++m_dirNumber);
        QDir().mkpath(dir);
        return dir;
    }

private slots:
    void readFloatScheme_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("value");
        QTest::newRow("last of two lines, cleaned")
            << crlf({"[FLOATSETTING]", "FLOATSCHEME=old", "FLOATPOS=1", "FLOATSCHEME=  {\"a\":   \"定买\"}  "})
            << "{\"a\": \"定买\"}";
        QTest::newRow("other section only") << crlf({"[SYSTEM]", "FLOATSCHEME=x"}) << "";
        QTest::newRow("header with a leading space") << crlf({" [FLOATSETTING]", "FLOATSCHEME=x"}) << "";
        QTest::newRow("key in lower case") << crlf({"[FLOATSETTING]", "floatscheme=x"}) << "";
        QTest::newRow("LF line breaks") << QByteArray("[FLOATSETTING]\nFLOATSCHEME=x\n") << "x";
        QTest::newRow("section ends at the next header")
            << crlf({"[FLOATSETTING]", "FLOATSCHEME=x", "[WINDOW]", "FLOATSCHEME=y"}) << "x";
    }
    void readFloatScheme()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, value);
        const QString path = freshDir() + "/xiadan.ini";
        writeBytes(path, ini);
        QCOMPARE(ThsPresetFiles::readFloatScheme(path), value);
    }

    void writeFloatScheme_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QByteArray>("after"); // the file afterwards (unchanged when not written)

        const QByteArray foreign = QByteArray("[USER]\r\nNAME=\xFF\xFE\x81]\r\n"); // not valid GB2312
        QTest::newRow("two lines among other keys, CR LF kept")
            << crlf({"[SYSTEM]", "VERSION=5.0", "[FLOATSETTING]", "FLOATSCHEME=a", "FLOATPOS=100,100",
                     "FLOATSCHEME=b", "FLOATSIZE=2", "[WINDOW]", "LEFT=0"})
            << "{\"Name\":\"定买\"}" << true
            << crlf({"[SYSTEM]", "VERSION=5.0", "[FLOATSETTING]", "FLOATSCHEME={\"Name\":\"定买\"}", "FLOATPOS=100,100",
                     "FLOATSIZE=2", "[WINDOW]", "LEFT=0"});
        QTest::newRow("other lines kept byte for byte")
            << foreign + crlf({"[FLOATSETTING]", "FLOATSCHEME=a"}) + QByteArray("TAIL=\xB6\xA8") << "v" << true
            << foreign + crlf({"[FLOATSETTING]", "FLOATSCHEME=v"}) + QByteArray("TAIL=\xB6\xA8");
        QTest::newRow("LF file stays LF") << QByteArray("[FLOATSETTING]\nX=1\n") << "v" << true
                                          << QByteArray("[FLOATSETTING]\nFLOATSCHEME=v\nX=1\n");
        QTest::newRow("section without a scheme line gets one") << crlf({"[FLOATSETTING]", "FLOATPOS=1"}) << "v"
                                                                << true
                                                                << crlf({"[FLOATSETTING]", "FLOATSCHEME=v", "FLOATPOS=1"});
        const QByteArray headerThenHeader = crlf({"[FLOATSETTING]", "[WINDOW]", "FLOATSCHEME=a"});
        QTest::newRow("header followed by a header") << headerThenHeader << "v" << false << headerThenHeader;
        const QByteArray headerAtEnd = crlf({"[SYSTEM]", "A=1", "[FLOATSETTING]"});
        QTest::newRow("header at the end") << headerAtEnd << "v" << false << headerAtEnd;
        const QByteArray spaced = crlf({" [FLOATSETTING]", "FLOATSCHEME=a"});
        QTest::newRow("header with a leading space") << spaced << "v" << false << spaced;
        const QByteArray plain = crlf({"[FLOATSETTING]", "FLOATSCHEME=a"});
        QTest::newRow("value GB2312 cannot hold") << plain << QString::fromUtf8("定买\xF0\x9F\x98\x80") << false
                                                  << plain;
    }
    void writeFloatScheme()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, value);
        QFETCH(bool, written);
        QFETCH(QByteArray, after);
        const QString dir = freshDir();
        const QString path = dir + "/xiadan.ini";
        writeBytes(path, ini);
        QCOMPARE(ThsPresetFiles::writeFloatScheme(path, value), written);
        QCOMPARE(readBytes(path), after);
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"xiadan.ini"}); // no temporary left
    }

    void writeFloatSchemeReplacesTheFileAsAWhole()
    {
        // A reader that has the old file open (THS, or a crash halfway) keeps seeing all of it:
        // the new content arrives as a new file, never by truncating the old one.
        const QString path = freshDir() + "/xiadan.ini";
        const QByteArray old = crlf({"[FLOATSETTING]", "FLOATSCHEME=old", "A=1"});
        writeBytes(path, old);
        QFile reader(path);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QVERIFY(ThsPresetFiles::writeFloatScheme(path, "new"));
        QCOMPARE(reader.readAll(), old);
        QCOMPARE(ThsPresetFiles::readFloatScheme(path), QStringLiteral("new"));
        QVERIFY(!ThsPresetFiles::writeFloatScheme(path + ".missing", "new"));
    }

    void configurationName_data()
    {
        QTest::addColumn<QJsonObject>("set");
        QTest::addColumn<QString>("name");
        QTest::newRow("element of Index 0") << schemeSet({preset(1, "定买", 1, 1), preset(0, "二档", 0, 0)}) << "二档";
        QTest::newRow("no element of Index 0") << schemeSet({preset(1, "定买", 1, 1), preset(2, "定卖", 0, 1)})
                                               << "default";
        QTest::newRow("non-numeric Index reads 0")
            << schemeSet({QJsonObject{{"Index", "x"}, {"Name", "三档"}}}) << "三档";
        QTest::newRow("no Index, non-string Name, non-objects skipped")
            << schemeSet({QJsonObject{{"Name", "无序号"}}, QJsonObject{{"Index", 0}, {"Name", 5}}, 7, "s",
                          QJsonObject{{"Index", 0}, {"Name", "四档"}}})
            << "四档";
        QTest::newRow("no FloatSetting") << QJsonObject{{"Other", 1}} << "default";
        QTest::newRow("list not an array") << QJsonObject{{"FloatSetting", QJsonObject{{"FloatSchemeList", 3}}}}
                                           << "default";
    }
    void configurationName()
    {
        QFETCH(QJsonObject, set);
        QFETCH(QString, name);
        QCOMPARE(ThsPresetFiles::configurationName(set), name);
    }

    void numeralOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("leading numerals by value, first")
            << QStringList{"十档", "abc", "三档", "一档", "二档"} << QStringList{"一档", "二档", "三档", "十档", "abc"};
        QTest::newRow("second-place numerals by value")
            << QStringList{"z", "A三", "B一", "C二"} << QStringList{"B一", "C二", "A三", "z"};
        QTest::newRow("no numerals: as text") << QStringList{"b", "a", "中"} << QStringList{"a", "b", "中"};
        // Sets where a pairwise rule alone would go round in a circle still sort the same way
        // from every starting order.
        QTest::newRow("mixed") << QStringList{"一三", "二x", "x二", "y一", "m"}
                               << QStringList{"一三", "二x", "y一", "x二", "m"};
    }
    void numeralOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        std::sort(names.begin(), names.end());
        do {
            QStringList list = names;
            std::sort(list.begin(), list.end(), numeralLessThan);
            QCOMPARE(list, sorted);
        } while (std::next_permutation(names.begin(), names.end()));
    }

    void listConfigurationNames()
    {
        QStringList names{"stale"};
        QVERIFY(!ThsPresetFiles::listConfigurationNames(zktest::testHome() + "/no-such-dir", names));
        const QString dir = freshDir();
        for (const char* file : {"二档.json", "一档.json", "x.json.json", "upper.JSON", "old.json.bak", "note.txt"})
            writeBytes(dir + "/" + QString::fromUtf8(file), "{}");
        QDir().mkpath(dir + "/folder.json");
        QVERIFY(ThsPresetFiles::listConfigurationNames(dir, names));
        QCOMPARE(names, (QStringList{"一档", "二档", "x.json"}));
    }

    void presetAmounts()
    {
        QJsonObject set = schemeSet({preset(0, "一档", 0, 0), "junk", preset(1, "定买", 1, 10000),
                                     preset(2, "定卖", 0, 100), preset(3, "融买", 1, 5000), preset(4, "市买一", 0, 200),
                                     preset(5, "市买二", 1, 999), QJsonObject{{"Name", "定买"}, {"AmountType", 0}}});
        set.insert("Extra", QJsonObject{{"kept", true}});
        int type = -1, number = -1;
        QVERIFY(findPresetAmount(set, "定卖", type, number));
        QCOMPARE(type, 0);
        QCOMPARE(number, 100);
        QVERIFY(!findPresetAmount(set, "限买", type, number));

        QVERIFY(updatePresetAmounts(set, 0, 300, 1, 20000));
        const QJsonArray list = set["FloatSetting"].toObject()["FloatSchemeList"].toArray();
        QCOMPARE(list.size(), 8);
        QCOMPARE(list[2].toObject(), preset(1, "定买", 0, 300));
        QCOMPARE(list[3].toObject(), preset(2, "定卖", 1, 20000));
        QCOMPARE(list[4].toObject(), preset(3, "融买", 0, 300));
        QCOMPARE(list[5].toObject(), preset(4, "市买一", 0, 300));
        // The walk stops once each kind has been seen: the second 市买 keeps its values.
        QCOMPARE(list[6].toObject(), preset(5, "市买二", 1, 999));
        QCOMPARE(list[7].toObject(), (QJsonObject{{"Name", "定买"}, {"AmountType", 0}}));
        QCOMPARE(list[1], QJsonValue("junk"));
        QCOMPARE(set["Extra"].toObject()["kept"].toBool(), true);

        // 定买 without 定卖: changed in memory, reported as failed.
        QJsonObject buyOnly = schemeSet({preset(1, "定买", 1, 1)});
        QVERIFY(!updatePresetAmounts(buyOnly, 0, 500, 0, 0));
        QCOMPARE(buyOnly["FloatSetting"].toObject()["FloatSchemeList"].toArray()[0].toObject(), preset(1, "定买", 0, 500));
        QJsonObject none{{"FloatSetting", 1}};
        QVERIFY(!updatePresetAmounts(none, 0, 1, 0, 1));
        QCOMPARE(none, (QJsonObject{{"FloatSetting", 1}}));
    }

    void updateAllConfigurationFiles()
    {
        const QString dir = freshDir();
        const QJsonObject good = schemeSet({preset(0, "一档", 0, 0), preset(1, "定买", 1, 1), preset(2, "定卖", 0, 1)});
        writeBytes(dir + "/一档.json", gb(QString::fromUtf8(QJsonDocument(good).toJson())));
        const QByteArray buyOnly = gb(QString::fromUtf8(QJsonDocument(schemeSet({preset(1, "定买", 1, 1)})).toJson()));
        writeBytes(dir + "/二档.json", buyOnly);
        const QByteArray broken = gb("{\"FloatSetting\": [定买");
        writeBytes(dir + "/坏.json", broken);
        writeBytes(dir + "/array.json", "[1,2]");

        QVERIFY(ThsPresetFiles::updateAllConfigurationFiles(dir, 0, 700, 1, 9000));
        QString text;
        QVERIFY(readConfigurationFile(dir + "/一档.json", text));
        QJsonObject expected = good;
        QVERIFY(updatePresetAmounts(expected, 0, 700, 1, 9000));
        QCOMPARE(QJsonDocument::fromJson(text.toUtf8()).object(), expected);
        QCOMPARE(readBytes(dir + "/二档.json"), buyOnly);
        QCOMPARE(readBytes(dir + "/坏.json"), broken);
        QCOMPARE(readBytes(dir + "/array.json"), QByteArray("[1,2]"));
        QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 4); // nothing left behind
        QVERIFY(!ThsPresetFiles::updateAllConfigurationFiles(dir + "/missing", 0, 1, 0, 1));
    }

    void applyJoinsASchemeSpreadOverLines()
    {
        const QString dir = freshDir();
        const QString ini = dir + "/xiadan.ini";
        writeBytes(ini, crlf({"[FLOATSETTING]", "FLOATSCHEME=old", "FLOATPOS=1"}));
        const QByteArray pretty = gb("{\r\n  \"FloatSetting\": {\r\n    \"FloatSchemeList\": [\r\n      "
                                     "{ \"Index\": 0, \"Name\": \"一档\" }\r\n    ]\r\n  }\r\n}\r\n");
        writeBytes(dir + "/一档.json", pretty);
        QCOMPARE(ThsApply::applyConfiguration(ini, ThsApply::configurationPath(dir, "一档")), ThsApply::Result::Applied);
        QCOMPARE(readBytes(ini),
                 crlf({"[FLOATSETTING]",
                       "FLOATSCHEME={ \"FloatSetting\": { \"FloatSchemeList\": [ { \"Index\": 0, \"Name\": \"一档\" } ] }}",
                       "FLOATPOS=1"}));
        QString name;
        QVERIFY(currentConfigurationName(ini, name));
        QCOMPARE(name, QStringLiteral("一档"));
        QCOMPARE(QDir(dir).entryList({"xiadan.ini.*.bak"}, QDir::Files).size(), 1);

        // A configuration that is gone: backed up, but xiadan.ini keeps its content.
        const QByteArray before = readBytes(ini);
        QCOMPARE(ThsApply::applyConfiguration(ini, ThsApply::configurationPath(dir, "二档")),
                 ThsApply::Result::ConfigUnreadable);
        QCOMPARE(readBytes(ini), before);
        QCOMPARE(ThsApply::applyConfiguration(dir + "/none.ini", ThsApply::configurationPath(dir, "一档")),
                 ThsApply::Result::IniMissing);
        QCOMPARE(ThsApply::applyConfiguration(QString(), ThsApply::configurationPath(dir, "一档")),
                 ThsApply::Result::IniMissing);
    }

    void backupKeepsTheNewest()
    {
        const QString dir = freshDir();
        const QString ini = dir + "/xiadan.ini";
        writeBytes(ini, crlf({"[FLOATSETTING]", "FLOATSCHEME=now"}));
        // Twelve older backups, a day apart, plus backups of other files that must stay.
        QStringList old;
        const QDateTime start = QDateTime::currentDateTime().addDays(-30);
        for (int i = 0; i < 12; ++i) {
            const QDateTime at = start.addDays(i);
            const QString path = ini + "." + at.toString("yyMMddhhmmss") + ".bak";
            writeBytes(path, "old");
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(at, QFileDevice::FileModificationTime));
            old.append(QFileInfo(path).fileName());
        }
        writeBytes(dir + "/xiadan.txt.240101000000.bak", "other");
        writeBytes(dir + "/一档.json.240101000000.bak", "other");

        QVERIFY(backupFile(ini, 10));
        QStringList after = QDir(dir).entryList({"xiadan.ini.*.bak"}, QDir::Files, QDir::Name);
        QCOMPARE(after.size(), 10);
        QCOMPARE(after.mid(0, 9), old.mid(3)); // the three oldest went
        QCOMPARE(readBytes(dir + "/" + after.last()), readBytes(ini));

        // A second backup within the same second is a file of its own.
        QVERIFY(backupFile(ini, 10));
        QVERIFY(backupFile(ini, 10));
        after = QDir(dir).entryList({"xiadan.ini.*.bak"}, QDir::Files, QDir::Name);
        QCOMPARE(after.size(), 10);
        QCOMPARE(after.mid(0, 7), old.mid(5));
        QVERIFY(QFile::exists(dir + "/xiadan.txt.240101000000.bak"));
        QVERIFY(QFile::exists(dir + "/一档.json.240101000000.bak"));
        QVERIFY(!backupFile(dir + "/missing.ini", 10));
    }

    void installDirectory()
    {
        platform::ManualClock clock;
        sim::SimSystem system(clock);
        system.install();
        QCOMPARE(thsInstallDirectory(ThsClassic), QString());
        system.registry().writeString(platform::RegistryRoot::CurrentUser, u"SOFTWARE\\hexinsoft", u"FilePath",
                                      u"D:\\同花顺\\");
        system.registry().writeString(
            platform::RegistryRoot::LocalMachine,
            u"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\同花顺远航版", u"InstallLocation",
            u"E:\\远航");
        QCOMPARE(thsInstallDirectory(ThsClassic), QStringLiteral("D:\\同花顺\\"));
        QCOMPARE(thsInstallDirectory(ThsYuanhang), QStringLiteral("E:\\远航") + QDir::toNativeSeparators("/transaction/"));
        QCOMPARE(thsInstallDirectory(2), QString());
        platform::install({});
    }
};

ZK_TEST_MAIN(TestThsPresetFiles)
#include "tst_thspresetfiles.moc"
