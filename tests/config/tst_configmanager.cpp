// The settings store: start defaults, value encodings of hand-edited files, appearance reset,
// and use from two threads.

#include "config/ConfigManager.h"

#include "ZkTest.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <thread>

class TestConfigManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString iniPath() const { return m_dir->path() + QStringLiteral("/ZentrikClock.ini"); }

    // The file as another program sees it.
    QVariant rawValue(const QString& key) const
    {
        QSettings raw(iniPath(), QSettings::IniFormat);
        raw.setIniCodec("UTF-8");
        return raw.value(key);
    }

    // A hand-written file, before the store opens it.
    void writeIni(const QByteArray& content)
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void firstStartWritesExactlyTheStartKeys()
    {
        {
            ConfigManager store(m_dir->path());
            QVERIFY(QDir(store.configDirPath()).exists());
        }
        QSettings raw(iniPath(), QSettings::IniFormat);
        raw.setIniCodec("UTF-8");
        QStringList keys = raw.allKeys();
        keys.sort();
        QStringList expected = {
            "Font/Family", "Font/Size", "Font/Weight", "Font/Italic", "Font/Color", "Background/Color",
            "Background/Alpha", "Features/TimeType", "Features/TTS", "Features/Alarm", "Features/AutoSwitch",
            "Features/StockCheck", "Window/AlwaysOnTop", "Window/FixedPosition", "Window/BootOnStartup",
            // what the profile store adds: the built-in profile, made current and loaded
            "Software/TdxProfileList", "Software/TdxCurrentProfile", "Software/TdxCodeIndex",
            "Software/TdxNameIndex", "Software/TdxPriceIndex", "Software/TdxQuantityIndex",
            "Software/TdxMaxQuantityIndex", "Software/TdxMarginCodeIndex", "Software/TdxMarginNameIndex",
            "Software/TdxMarginPriceIndex", "Software/TdxMarginQuantityIndex",
            "Software/TdxMarginMaxQuantityIndex"};
        expected.sort();
        QCOMPARE(keys, expected);

        QCOMPARE(raw.value("Font/Family").toString(), QString("Arial"));
        QCOMPARE(raw.value("Font/Size").toInt(), 30);
        QCOMPARE(raw.value("Font/Weight").toInt(), 75);
        QCOMPARE(raw.value("Font/Italic").toString(), QString("true"));
        QCOMPARE(rawValue("Font/Color").toString(), QString("255,0,127"));
        QCOMPARE(rawValue("Background/Color").toString(), QString("0,0,0"));
        QCOMPARE(raw.value("Background/Alpha").toInt(), 2);
        QCOMPARE(raw.value("Features/TimeType").toString(), QString("hh:mm:ss"));
        QCOMPARE(raw.value("Features/StockCheck").toString(), QString("false"));
        QCOMPARE(raw.value("Window/BootOnStartup").toString(), QString("true"));

        // Chinese texts are UTF-8 in the file itself.
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(QStringLiteral("金融终端").toUtf8()));
    }

    void existingValuesSurviveStart()
    {
        writeIni("[Font]\nFamily=Courier\n[Features]\nTTS=false\n[Window]\nPosition=\"40,50\"\n");
        ConfigManager store(m_dir->path());
        QCOMPARE(store.font().family(), QString("Courier"));
        // Only "Font/Family" decides whether the font keys are written.
        QVERIFY(!rawValue("Font/Size").isValid());
        QCOMPARE(store.font().pointSize(), 30);
        QCOMPARE(store.ttsEnabled(), false);
        QCOMPARE(store.windowPosition(), QPoint(40, 50));
        QVERIFY(!store.isWindowPositionUnset());
    }

    void gettersReturnDefaultsForAbsentKeys()
    {
        ConfigManager store(m_dir->path());
        QCOMPARE(store.windowPosition(), QPoint(0, 0));
        QVERIFY(store.isWindowPositionUnset());
        QCOMPARE(store.windowSize(), QSize(200, 200));
        QCOMPARE(store.multiKeyboardEnabled(), false);
        QCOMPARE(store.tdxBuyMaxAmount(), 10000);
        QCOMPARE(store.tdxBuyMaxPrice(), 30);
        QCOMPARE(store.tdxBuyMinPrice(), 0);
        QCOMPARE(store.reportTradeTime(), true);
        QCOMPARE(store.useSoftwareSplit(), true);
        QCOMPARE(store.autoSwitchProfileEnabled(), true);
        QCOMPARE(store.tdxPosition(), QPoint(0, 0));
    }

    void hand_edited_values_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QSize>("size");

        const QColor black(0, 0, 0);
        // Unquoted texts with commas are how people edit the file by hand.
        QTest::newRow("two colour parts")
            << QByteArray("[Background]\nColor=10,20\n") << black << QPoint() << QSize(200, 200);
        QTest::newRow("non-number part") << QByteArray("[Background]\nColor=255,x,0\n") << QColor(255, 0, 0)
                                         << QPoint() << QSize(200, 200);
        QTest::newRow("quoted, spaces") << QByteArray("[Background]\nColor=\" 7, 8 ,9\"\n") << QColor(7, 8, 9)
                                        << QPoint() << QSize(200, 200);
        QTest::newRow("extra part") << QByteArray("[Background]\nColor=1,2,3,4\n") << QColor(1, 2, 3)
                                    << QPoint() << QSize(200, 200);
        QTest::newRow("out of range clamped") << QByteArray("[Background]\nColor=300,-5,0\n")
                                              << QColor(255, 0, 0) << QPoint() << QSize(200, 200);
        QTest::newRow("empty colour")
            << QByteArray("[Background]\nColor=\n") << black << QPoint() << QSize(200, 200);
        QTest::newRow("one point part")
            << QByteArray("[Window]\nPosition=300\n") << black << QPoint(0, 0) << QSize(200, 200);
        QTest::newRow("point") << QByteArray("[Window]\nPosition=12,34\n") << black << QPoint(12, 34)
                               << QSize(200, 200);
        QTest::newRow("point with text")
            << QByteArray("[Window]\nPosition=a,-5\n") << black << QPoint(0, -5) << QSize(200, 200);
        QTest::newRow("one size part")
            << QByteArray("[Window]\nSize=640\n") << black << QPoint() << QSize(200, 200);
        QTest::newRow("size") << QByteArray("[Window]\nSize=640,480\n") << black << QPoint()
                              << QSize(640, 480);
    }

    void hand_edited_values()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QColor, background);
        QFETCH(QPoint, position);
        QFETCH(QSize, size);
        writeIni(ini);
        ConfigManager store(m_dir->path());
        const QColor read = store.backgroundColor();
        QVERIFY(read.isValid());
        QCOMPARE(read, background);
        QCOMPARE(read.alpha(), 255);
        QCOMPARE(store.windowPosition(), position);
        QCOMPARE(store.isWindowPositionUnset(), position == QPoint(0, 0));
        QCOMPARE(store.windowSize(), size);
    }

    void malformedNumbersAndSwitches()
    {
        writeIni(
            "[Background]\nAlpha=abc\n[Features]\nTTS=maybe\nAlarm=1\n[Software]\nTdxBuyMaxAmount=12,5\n");
        ConfigManager store(m_dir->path());
        QCOMPARE(store.backgroundAlpha(), 0);
        QCOMPARE(store.ttsEnabled(), false);
        QCOMPARE(store.alarmEnabled(), true);
        QCOMPARE(store.tdxBuyMaxAmount(), 0);
    }

    // A value Qt's reader would decode as a serialized object (the store never writes one) whose
    // list count asks for more memory than there is: the start must not end in bad_alloc. The
    // damaged line goes, every other line stays.
    void damagedEncodedValues_data()
    {
        QTest::addColumn<QByteArray>("line");
        const QByteArray hugeList = "(\\0\\0\\0\\v\\x7f\\xff\\xff\\xf0)";
        QTest::newRow("variant") << "TdxProfileList=@Variant" + hugeList;
        // Read with a newer stream version, whose object carries a null flag after its type.
        QTest::newRow("date time") << QByteArray(
            "TdxProfileList=@DateTime(\\0\\0\\0\\v\\0\\x7f\\xff\\xff\\xf0)");
        QTest::newRow("list element") << "TdxProfileList=A, @Variant" + hugeList;
        QTest::newRow("escaped at sign") << "TdxProfileList=\\x40Variant" + hugeList;
        QTest::newRow("octal at sign, quoted in pieces") << "TdxProfileList=\"\\100Var\"iant" + hugeList;
        QTest::newRow("continued line") << "TdxProfileList=@Var\\\niant" + hugeList;
        // Quotes keep a "," or "=" from starting a value, but not the value they begin.
        QTest::newRow("quoted value") << "TdxProfileList=\"@Variant" + hugeList + "\"";
        QTest::newRow("after a quoted element") << "TdxProfileList=\"a,b\", @Variant" + hugeList;
    }

    void damagedEncodedValues()
    {
        QFETCH(QByteArray, line);
        writeIni("[Font]\nFamily=Courier\n[Software]\n" + line +
                 "\nTdxBuyMaxAmount=777\n[Window]\nPosition=\"40,50\"\n");
        QTest::ignoreMessage(
            QtWarningMsg, ("设置文件中无法读取的行已删除: " + QString::fromUtf8(line)).toUtf8().constData());
        ConfigManager store(m_dir->path());
        QCOMPARE(store.profileList(), QStringList{QStringLiteral("金融终端")});
        QCOMPARE(store.font().family(), QString("Courier"));
        QCOMPARE(store.tdxBuyMaxAmount(), 777);
        QCOMPARE(store.windowPosition(), QPoint(40, 50));
        store.saveConfig();
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("iant("));
    }

    void fontKeysQFontCannotTake()
    {
        writeIni("[Font]\nFamily=Courier\nSize=abc\nWeight=500\nItalic=true\n");
        ConfigManager store(m_dir->path());
        QCOMPARE(store.font().pointSize(), 30);
        QCOMPARE(store.font().weight(), 99);
        QCOMPARE(store.font().italic(), true);
    }

    void colourIsWrittenWithoutAlpha()
    {
        ConfigManager store(m_dir->path());
        store.setBackgroundColor(QColor(1, 2, 3, 128));
        store.setFontColor(QColor(200, 100, 50));
        store.saveConfig();
        QCOMPARE(rawValue("Background/Color").toString(), QString("1,2,3"));
        QCOMPARE(store.backgroundColor(), QColor(1, 2, 3));
        QCOMPARE(store.fontColor(), QColor(200, 100, 50));
    }

    void fontRoundTrip()
    {
        ConfigManager store(m_dir->path());
        QFont f(QStringLiteral("微软雅黑"), 14, 50, false);
        store.setFont(f);
        QCOMPARE(store.font().family(), QStringLiteral("微软雅黑"));
        QCOMPARE(store.font().pointSize(), 14);
        QCOMPARE(store.font().weight(), 50);
        QCOMPARE(store.font().italic(), false);
        f.setStyle(QFont::StyleOblique); // any non-normal style counts as italic
        store.setFont(f);
        QCOMPARE(store.font().italic(), true);
    }

    void resetAppearanceKeepsSwitchesAndTradingKeys()
    {
        ConfigManager store(m_dir->path());
        store.setFont(QFont(QStringLiteral("Courier"), 12, 50, false));
        store.setFontColor(QColor(1, 1, 1));
        store.setBackgroundColor(QColor(9, 9, 9));
        store.setBackgroundAlpha(200);
        store.setTimeType(QStringLiteral("HH:mm"));
        store.setTtsEnabled(false);
        store.setFixedPosition(true);
        store.setWindowPosition(QPoint(5, 6));
        store.setTdxBuyMaxAmount(777);

        store.resetAppearance();
        // resetAppearance saves: another reader sees the defaults at once.
        QCOMPARE(rawValue("Font/Family").toString(), QString("Arial"));
        QCOMPARE(rawValue("Font/Color").toString(), QString("255,0,127"));
        QCOMPARE(store.font().pointSize(), 30);
        QCOMPARE(store.font().weight(), 75);
        QCOMPARE(store.font().italic(), true);
        QCOMPARE(store.backgroundColor(), QColor(0, 0, 0));
        QCOMPARE(store.backgroundAlpha(), 2);
        QCOMPARE(store.timeType(), QString("hh:mm:ss"));

        QCOMPARE(store.ttsEnabled(), false);
        QCOMPARE(store.fixedPosition(), true);
        QCOMPARE(store.windowPosition(), QPoint(5, 6));
        QCOMPARE(store.tdxBuyMaxAmount(), 777);
    }

    void wholeFileOperationLines()
    {
        ConfigManager store(m_dir->path());
        QTest::ignoreMessage(QtDebugMsg, "Configuration saved successfully");
        QTest::ignoreMessage(QtDebugMsg, "Appearance settings reset to defaults");
        store.resetAppearance();
        QTest::ignoreMessage(QtDebugMsg, "多键盘支持配置已保存: 启用");
        store.setMultiKeyboardEnabled(true);
        QTest::ignoreMessage(QtDebugMsg, "多键盘支持配置已保存: 禁用");
        store.setMultiKeyboardEnabled(false);
        QTest::ignoreMessage(QtDebugMsg, "Configuration loaded successfully");
        store.loadConfig();
        QTest::ignoreMessage(QtDebugMsg, "Configuration saved successfully");
        store.saveConfig();
    }

    void settersReachTheFileOnlyWhenSaved()
    {
        ConfigManager store(m_dir->path());
        store.setTdxBuyMaxPrice(55);
        store.setMultiKeyboardEnabled(true);
        store.saveConfig();
        QCOMPARE(rawValue("Software/TdxBuyMaxPrice").toInt(), 55);
        QCOMPARE(rawValue("Keyboard/MultiKeyboardEnabled").toString(), QString("true"));
        // "Limt" is how the key has always been spelled in users' files.
        store.setTdxBuyAmountLimitEnabled(true);
        store.saveConfig();
        QCOMPARE(rawValue("Software/TdxBuyAmountLimt").toString(), QString("true"));
    }

    // The worker thread writes while the GUI thread reads and the settings object flushes
    // itself from the event loop: nothing may be lost or torn.
    void twoThreadsShareTheStore()
    {
        ConfigManager store(m_dir->path());
        std::atomic<bool> done{false};
        std::thread worker([&] {
            for (int i = 1; i <= 2000; ++i) {
                store.setTdxBuyMaxAmount(i);
                store.setTdxPosition(QPoint(i, -i));
            }
            done = true;
        });
        while (!done) {
            const QPoint p = store.tdxPosition();
            QCOMPARE(p.x(), -p.y());
            QCoreApplication::processEvents();
        }
        worker.join();
        QCoreApplication::processEvents();
        QCOMPARE(store.tdxBuyMaxAmount(), 2000);
        store.saveConfig();
        QCOMPARE(rawValue("Software/TdxBuyMaxAmount").toInt(), 2000);
    }

    void processStoreLivesInTheAppDataLocation()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
        ConfigManager* store = ConfigManager::instance();
        QCOMPARE(ConfigManager::instance(), store);
        const QString expected =
            zktest::testHome() + QStringLiteral("/.local/share/ZentrikSoft/ZentrikClock");
        QCOMPARE(store->iniFilePath(), expected + QStringLiteral("/ZentrikClock.ini"));
        QCOMPARE(store->configDirPath(), expected + QStringLiteral("/config"));
        QVERIFY(QFile::exists(expected + QStringLiteral("/profiles/6YeR6J6N57uI56uv.json")));
        ConfigManager::destroyInstance();
        QVERIFY(QFile::exists(expected + QStringLiteral("/ZentrikClock.ini")));
    }
};

ZK_TEST_MAIN(TestConfigManager)
#include "tst_configmanager.moc"
