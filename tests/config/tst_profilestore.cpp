// The TDX profile store: the built-in profile, file names, save / load / rename / delete, legacy
// groups, and the automatic choice of a profile for an order dialog.

#include "config/ConfigManager.h"
#include "platform/api/Platform.h"

#include "StubDesktop.h"
#include "ZkTest.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <thread>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString kBuiltIn = QStringLiteral("金融终端");

// One order dialog owned by one process whose executable lives at a Win32 path.
class DialogDesktop : public zktest::StubDesktop
{
public:
    std::u16string title = u"闪电买入";
    platform::ProcessId pid = 42;

    platform::ProcessId windowProcessId(WindowId window) override { return window == 100 ? pid : 0; }
    int windowText(WindowId window, char16_t* buffer, int maxCount) override
    {
        if (window != 100)
            return terminate(buffer, maxCount);
        const int n = std::min<int>(static_cast<int>(title.size()), maxCount - 1);
        std::copy(title.begin(), title.begin() + n, buffer);
        buffer[n] = 0;
        return n;
    }
};

class ImageProcesses : public zktest::StubProcesses
{
public:
    std::u16string imagePath = u"C:\\new_tdx\\tdxw.exe";
    bool openFails = false;
    int opened = 0;
    int closed = 0;
    std::uint32_t lastAccess = 0;

    platform::ProcessHandle openProcess(std::uint32_t access, platform::ProcessId pid) override
    {
        lastAccess = access;
        if (openFails || pid != 42)
            return 0;
        ++opened;
        return 7;
    }
    void closeHandle(platform::ProcessHandle handle) override
    {
        if (handle == 7)
            ++closed;
    }
    bool queryFullProcessImageName(platform::ProcessHandle handle, std::u16string& path) override
    {
        if (handle != 7)
            return false;
        path = imagePath;
        return true;
    }
};

using Indices = QVector<int>;

} // namespace

class TestProfileStore : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ConfigManager> m_store;
    DialogDesktop m_desktop;
    ImageProcesses m_processes;

    QString profileDir() const { return m_dir->path() + QStringLiteral("/profiles"); }

    void reopen()
    {
        m_store.reset();
        m_store = std::make_unique<ConfigManager>(m_dir->path());
    }

    Indices activeIndices()
    {
        ConfigManager& s = *m_store;
        return {s.tdxCodeIndex(),           s.tdxNameIndex(),
                s.tdxPriceIndex(),          s.tdxQuantityIndex(),
                s.tdxMaxQuantityIndex(),    s.tdxMarginCodeIndex(),
                s.tdxMarginNameIndex(),     s.tdxMarginPriceIndex(),
                s.tdxMarginQuantityIndex(), s.tdxMarginMaxQuantityIndex()};
    }

    void setActiveIndices(const Indices& v)
    {
        ConfigManager& s = *m_store;
        s.setTdxCodeIndex(v[0]);
        s.setTdxNameIndex(v[1]);
        s.setTdxPriceIndex(v[2]);
        s.setTdxQuantityIndex(v[3]);
        s.setTdxMaxQuantityIndex(v[4]);
        s.setTdxMarginCodeIndex(v[5]);
        s.setTdxMarginNameIndex(v[6]);
        s.setTdxMarginPriceIndex(v[7]);
        s.setTdxMarginQuantityIndex(v[8]);
        s.setTdxMarginMaxQuantityIndex(v[9]);
    }

    QJsonObject profileJson(const QString& name)
    {
        QFile file(m_store->profileFilePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    void writeProfileFile(const QString& name, const QByteArray& content)
    {
        QFile file(m_store->profileFilePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    // A saved profile with distinct indices base, base+1, ... and an identifier.
    void makeProfile(const QString& name, int base, const QString& identifier)
    {
        Indices v;
        for (int i = 0; i < 10; ++i)
            v << base + i;
        setActiveIndices(v);
        QVERIFY(m_store->saveProfile(name, identifier));
    }

    // The next line of that level must be exactly text (the test fails when it never comes).
    static void expectLine(QtMsgType type, const QString& text)
    {
        QTest::ignoreMessage(type, text.toUtf8().constData());
    }

    QVariant rawValue(const QString& key)
    {
        m_store->saveConfig();
        QSettings raw(m_store->iniFilePath(), QSettings::IniFormat);
        raw.setIniCodec("UTF-8");
        return raw.value(key);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_store = std::make_unique<ConfigManager>(m_dir->path());
        m_desktop = DialogDesktop();
        m_processes = ImageProcesses();
        platform::Services os;
        os.desktop = &m_desktop;
        os.processes = &m_processes;
        platform::install(os);
    }

    void cleanup()
    {
        m_store.reset();
        platform::install(platform::Services());
    }

    void freshInstallHasTheBuiltInProfile()
    {
        QCOMPARE(QDir(profileDir()).entryList(QDir::Files), QStringList{"6YeR6J6N57uI56uv.json"});
        QCOMPARE(m_store->profileList(), QStringList{kBuiltIn});
        QCOMPARE(m_store->currentProfileName(), kBuiltIn);
        QCOMPARE(activeIndices(), (Indices{2, 3, 0, 2, 8, 6, 7, 0, 2, 8}));

        const QJsonObject json = profileJson(kBuiltIn);
        QCOMPARE(json.value("ProfileName").toString(), kBuiltIn);
        QCOMPARE(json.value("ProcessIdentifier").toString(), kBuiltIn);
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                    .match(m_store->profileSaveTime(kBuiltIn))
                    .hasMatch());
        QCOMPARE(m_store->profileProcessIdentifier(kBuiltIn), kBuiltIn);

        // A second start finds it and creates nothing more.
        reopen();
        QCOMPARE(m_store->profileList(), QStringList{kBuiltIn});
    }

    // Start-up on a fresh installation tells what it did, line by line.
    void freshStartLines()
    {
        QTemporaryDir fresh;
        QVERIFY(fresh.isValid());
        const QString builtInPath = QDir::cleanPath(fresh.path() + "/profiles/6YeR6J6N57uI56uv.json");
        expectLine(QtDebugMsg, "Configuration loaded successfully");
        expectLine(QtDebugMsg, "初始化金融终端默认配置...");
        expectLine(QtDebugMsg, "已将金融终端设置为当前配置方案");
        expectLine(QtDebugMsg, "金融终端默认配置已创建");
        expectLine(QtDebugMsg, "当前通达信配置方案已切换为: 金融终端");
        expectLine(QtDebugMsg, "JSON配置方案已加载: 金融终端");
        expectLine(QtDebugMsg, "已加载当前配置方案: 金融终端");
        expectLine(QtDebugMsg, "Configuration saved successfully");
        QString missing;
        {
            ConfigManager store(fresh.path());
            QVERIFY(QFile::exists(builtInPath));
            store.setCurrentProfile(QStringLiteral("无文件"));
            missing = store.profileFilePath(QStringLiteral("无文件"));
        }

        // A current profile whose file is gone is a warning at the next start, not a failure.
        expectLine(QtWarningMsg, "无法打开文件: " + missing);
        expectLine(QtWarningMsg, "无法加载当前配置方案: 无文件");
        ConfigManager again(fresh.path());
        QCOMPARE(again.currentProfileName(), QStringLiteral("无文件"));
        QCOMPARE(again.tdxCodeIndex(), 2); // the active indices stay as they were
    }

    void operationLines()
    {
        const QString pathA = m_store->profileFilePath(QStringLiteral("A"));
        const QString pathA2 = m_store->profileFilePath(QStringLiteral("A2"));
        expectLine(QtDebugMsg,
                   "保存JSON配置方案: A CodeIndex= 10 NameIndex= 11 PriceIndex= 12 QuantityIndex= 13");
        expectLine(QtDebugMsg, "当前通达信配置方案已切换为: A");
        expectLine(QtDebugMsg, "JSON配置方案已保存: " + pathA);
        makeProfile(QStringLiteral("A"), 10, QString());

        expectLine(QtDebugMsg, "JSON配置方案已加载: 金融终端");
        QVERIFY(m_store->loadProfile(kBuiltIn));

        expectLine(QtDebugMsg, "已重命名JSON文件: " + pathA + " -> " + pathA2);
        expectLine(QtDebugMsg, "通达信配置方案已重命名: A -> A2");
        QVERIFY(m_store->renameProfile(QStringLiteral("A"), QStringLiteral("A2")));

        expectLine(QtDebugMsg, "已删除JSON文件: " + pathA2);
        expectLine(QtDebugMsg, "通达信配置方案已删除: A2");
        QVERIFY(m_store->deleteProfile(QStringLiteral("A2")));
    }

    // Every refusal leaves one warning that says why.
    void failureWarnings()
    {
        const QString missing = m_store->profileFilePath(QStringLiteral("无此方案"));
        const QString broken = m_store->profileFilePath(QStringLiteral("坏"));
        writeProfileFile(QStringLiteral("坏"), "[1]");

        expectLine(QtWarningMsg, "配置方案名称不能为空");
        QVERIFY(!m_store->saveProfile(QString(), QString()));
        expectLine(QtWarningMsg, "配置方案名称不能为空");
        QVERIFY(!m_store->loadProfile(QString()));
        expectLine(QtWarningMsg, "无法打开文件: " + missing);
        QVERIFY(!m_store->loadProfile(QStringLiteral("无此方案")));
        expectLine(QtWarningMsg, "JSON格式错误: " + broken);
        QVERIFY(!m_store->loadProfile(QStringLiteral("坏")));

        expectLine(QtWarningMsg, "配置方案名称不能为空");
        QVERIFY(!m_store->renameProfile(QStringLiteral("坏"), QString()));
        expectLine(QtWarningMsg, "不能重命名默认配置");
        QVERIFY(!m_store->renameProfile(QStringLiteral("默认配置"), QStringLiteral("X")));
        expectLine(QtWarningMsg, "配置方案名称已存在: 金融终端");
        QVERIFY(!m_store->renameProfile(QStringLiteral("坏"), kBuiltIn));
        expectLine(QtWarningMsg, "JSON文件不存在: " + missing);
        QVERIFY(!m_store->renameProfile(QStringLiteral("无此方案"), QStringLiteral("X")));
        expectLine(QtWarningMsg, "JSON格式错误: " + broken);
        QVERIFY(!m_store->renameProfile(QStringLiteral("坏"), QStringLiteral("X")));

        expectLine(QtWarningMsg, "不能删除默认配置或空名称的配置方案");
        QVERIFY(!m_store->deleteProfile(QStringLiteral("默认配置")));
        expectLine(QtWarningMsg, "不能删除默认配置或空名称的配置方案");
        QVERIFY(!m_store->deleteProfile(QString()));
    }

    void otherCurrentProfileSurvivesRecreation()
    {
        makeProfile(QStringLiteral("我的券商"), 10, QStringLiteral("D:/broker"));
        QVERIFY(m_store->deleteProfile(kBuiltIn));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("我的券商"));
        reopen();
        QCOMPARE(m_store->profileList(), (QStringList{"我的券商", kBuiltIn}));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("我的券商"));
        QCOMPARE(m_store->tdxCodeIndex(), 10);
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("built-in") << kBuiltIn << "6YeR6J6N57uI56uv.json";
        QTest::newRow("ascii") << "abc"
                               << "YWJj.json";
        QTest::newRow("padding kept") << "a"
                                      << "YQ==.json";
        QTest::newRow("url alphabet") << "~~~?"
                                      << "fn5-Pw==.json";
    }

    void fileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, fileName);
        QCOMPARE(m_store->profileFilePath(name), profileDir() + QLatin1Char('/') + fileName);
    }

    void profileDirectoryIsCreatedWhenNeeded()
    {
        QVERIFY(QDir(profileDir()).removeRecursively());
        makeProfile(QStringLiteral("x"), 1, QString());
        QVERIFY(QFile::exists(profileDir() + QStringLiteral("/eA==.json")));
    }

    void saveOverwritesInPlaceAndMakesCurrent()
    {
        makeProfile(QStringLiteral("A"), 10, QStringLiteral("C:/tdx_a"));
        makeProfile(QStringLiteral("B"), 20, QStringLiteral("C:/tdx_b"));
        QCOMPARE(m_store->profileList(), (QStringList{kBuiltIn, "A", "B"}));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("B"));

        makeProfile(QStringLiteral("A"), 30, QString());
        QCOMPARE(m_store->profileList(), (QStringList{kBuiltIn, "A", "B"}));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("A"));
        const QJsonObject json = profileJson(QStringLiteral("A"));
        QCOMPARE(json.value("CodeIndex").toInt(), 30);
        QCOMPARE(json.value("MarginMaxQuantityIndex").toInt(), 39);
        QVERIFY(!json.contains("ProcessIdentifier")); // saved without a process: general
        QCOMPARE(rawValue("Software/TdxCurrentProfile").toString(), QStringLiteral("A"));

        QVERIFY(!m_store->saveProfile(QString(), QString()));
    }

    void namesThatAreNotFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("slash") << "华泰/新版";
        QTest::newRow("colon") << "C:券商";
        QTest::newRow("comma") << "a,b";
        QTest::newRow("spaces and dots") << " .. ";
        QTest::newRow("reserved") << "默认配置";
        // Stored as "@@Variant(1)": a text, which the settings file's damage check must keep.
        QTest::newRow("looks like an encoded value") << "@Variant(1)";
        // Quoted in the list because of the comma or '=': one text, not a value of its own.
        QTest::newRow("comma before an encoded value") << "a,@Variant(1)";
        QTest::newRow("equals sign before an encoded value") << "a=@DateTime(1)";
    }

    void namesThatAreNotFileNames()
    {
        QFETCH(QString, name);
        makeProfile(name, 40, QStringLiteral("E:/x"));
        setActiveIndices(Indices(10, -1));
        reopen(); // loads the current profile back from its file
        QVERIFY(m_store->profileList().contains(name));
        QCOMPARE(m_store->currentProfileName(), name);
        QCOMPARE(m_store->tdxCodeIndex(), 40);
        QCOMPARE(profileJson(name).value("ProfileName").toString(), name);
        QVERIFY(m_store->loadProfile(name));
    }

    void brokenProfileFilesDoNotLoad_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("array") << QByteArray("[1, 2, 3]");
        QTest::newRow("invalid") << QByteArray("{\"CodeIndex\": ");
        QTest::newRow("empty") << QByteArray();
    }

    void brokenProfileFilesDoNotLoad()
    {
        QFETCH(QByteArray, content);
        writeProfileFile(QStringLiteral("坏"), content);
        const Indices before = activeIndices();
        QVERIFY(!m_store->loadProfile(QStringLiteral("坏")));
        QCOMPARE(activeIndices(), before);
        QCOMPARE(m_store->currentProfileName(), kBuiltIn);
        QCOMPARE(m_store->profileProcessIdentifier(QStringLiteral("坏")), QString());
        QCOMPARE(m_store->profileSaveTime(QStringLiteral("坏")), QString());
        QVERIFY(!m_store->renameProfile(QStringLiteral("坏"), QStringLiteral("好")));
        QVERIFY(QFile::exists(m_store->profileFilePath(QStringLiteral("坏"))));
        QVERIFY(!m_store->loadProfile(QStringLiteral("无此方案")));
        QVERIFY(!m_store->loadProfile(QString()));
    }

    void missingOrOddIndicesLoadAsMinusOne()
    {
        writeProfileFile(QStringLiteral("部分"),
                         R"({"ProfileName": "部分", "CodeIndex": 5, "NameIndex": 2.5, "PriceIndex": "1",
                             "QuantityIndex": 3, "Extra": true})");
        QVERIFY(m_store->loadProfile(QStringLiteral("部分")));
        QCOMPARE(activeIndices(), (Indices{5, -1, -1, 3, -1, -1, -1, -1, -1, -1}));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("部分"));
    }

    void renameRules()
    {
        makeProfile(QStringLiteral("A"), 10, QStringLiteral("C:/a"));
        makeProfile(QStringLiteral("B"), 20, QString());
        const QString oldPath = m_store->profileFilePath(QStringLiteral("B"));

        QVERIFY(!m_store->renameProfile(QStringLiteral("A"), QStringLiteral("B"))); // name taken
        QVERIFY(!m_store->renameProfile(QStringLiteral("默认配置"), QStringLiteral("C")));
        QVERIFY(!m_store->renameProfile(QString(), QStringLiteral("C")));
        QVERIFY(!m_store->renameProfile(QStringLiteral("A"), QString()));
        QVERIFY(!m_store->renameProfile(QStringLiteral("无此方案"), QStringLiteral("C")));
        QCOMPARE(m_store->profileList(), (QStringList{kBuiltIn, "A", "B"}));

        // B is current: the new name becomes current, the file moves, the list keeps its order.
        QVERIFY(m_store->renameProfile(QStringLiteral("B"), QStringLiteral("B2")));
        QCOMPARE(m_store->profileList(), (QStringList{kBuiltIn, "A", "B2"}));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("B2"));
        QVERIFY(!QFile::exists(oldPath));
        QCOMPARE(profileJson(QStringLiteral("B2")).value("ProfileName").toString(), QStringLiteral("B2"));
        QCOMPARE(profileJson(QStringLiteral("B2")).value("CodeIndex").toInt(), 20);

        // Renaming a profile that is not current leaves the current one alone.
        QVERIFY(m_store->renameProfile(QStringLiteral("A"), QStringLiteral("A2")));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("B2"));
        QCOMPARE(m_store->profileProcessIdentifier(QStringLiteral("A2")), QStringLiteral("C:/a"));
    }

    // A disk that takes only the first bytes of a file, as a full one does: a profile written over
    // or renamed there keeps its old file, and the operation reports failure.
    void fullDiskKeepsTheProfile_data()
    {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<QString>("warning");
        QTest::newRow("save over") << false << QStringLiteral("无法打开文件:");
        QTest::newRow("rename") << true << QStringLiteral("无法创建新JSON文件:");
    }

    void fullDiskKeepsTheProfile()
    {
        QFETCH(bool, rename);
        QFETCH(QString, warning);
        makeProfile(QStringLiteral("A"), 10, QStringLiteral("C:/a"));
        const QString path = m_store->profileFilePath(QStringLiteral("A"));
        const QString newPath = m_store->profileFilePath(QStringLiteral("A2"));
        const QStringList list = m_store->profileList();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        setActiveIndices(Indices(10, 50));
        bool done = true;
        {
            // Writes past 64 bytes fail (EFBIG) instead of ending the process.
            const auto previous = std::signal(SIGXFSZ, SIG_IGN);
            rlimit saved{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
            rlimit small = saved;
            small.rlim_cur = 64;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QLatin1Char('^') + warning));
            done = rename ? m_store->renameProfile(QStringLiteral("A"), QStringLiteral("A2"))
                          : m_store->saveProfile(QStringLiteral("A"), QStringLiteral("C:/a"));
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
            std::signal(SIGXFSZ, previous);
        }
        QVERIFY(!done);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QVERIFY(!QFile::exists(newPath));
        QCOMPARE(m_store->profileList(), list);
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("A"));
        QCOMPARE(QDir(profileDir()).entryList(QDir::Files).size(), 2); // no piece of a file left
    }

    void renameToItsOwnNameKeepsTheFile()
    {
        writeProfileFile(QStringLiteral("孤立"), R"({"ProfileName": "孤立", "CodeIndex": 4})");
        QVERIFY(m_store->renameProfile(QStringLiteral("孤立"), QStringLiteral("孤立")));
        QCOMPARE(profileJson(QStringLiteral("孤立")).value("CodeIndex").toInt(), 4);
    }

    void deleteRules()
    {
        makeProfile(QStringLiteral("A"), 10, QString());
        makeProfile(QStringLiteral("B"), 20, QString());
        QVERIFY(!m_store->deleteProfile(QStringLiteral("默认配置")));
        QVERIFY(!m_store->deleteProfile(QString()));

        // Deleting the current profile makes the first remaining one current and loads it.
        QVERIFY(m_store->deleteProfile(QStringLiteral("B")));
        QVERIFY(!QFile::exists(m_store->profileFilePath(QStringLiteral("B"))));
        QCOMPARE(m_store->profileList(), (QStringList{kBuiltIn, "A"}));
        QCOMPARE(m_store->currentProfileName(), kBuiltIn);
        QCOMPARE(activeIndices(), (Indices{2, 3, 0, 2, 8, 6, 7, 0, 2, 8}));

        // Deleting one that is not current, with no file, is fine.
        QVERIFY(QFile::remove(m_store->profileFilePath(QStringLiteral("A"))));
        QVERIFY(m_store->deleteProfile(QStringLiteral("A")));
        QCOMPARE(m_store->currentProfileName(), kBuiltIn);

        // The last one: the list key goes away and the current name is empty.
        QVERIFY(m_store->deleteProfile(kBuiltIn));
        QCOMPARE(m_store->profileList(), QStringList());
        QCOMPARE(m_store->currentProfileName(), QString());
        QVERIFY(!rawValue("Software/TdxProfileList").isValid());
        QVERIFY(rawValue("Software/TdxCurrentProfile").isValid());

        // Next start: the built-in profile is back and current.
        reopen();
        QCOMPARE(m_store->profileList(), QStringList{kBuiltIn});
        QCOMPARE(m_store->currentProfileName(), kBuiltIn);
    }

    void legacyGroupsGoWithTheirProfile()
    {
        const QString iniPath = m_store->iniFilePath();
        m_store.reset();
        QSettings raw(iniPath, QSettings::IniFormat);
        raw.setIniCodec("UTF-8");
        raw.setValue("TdxProfile_3/ProfileName", "旧A");
        raw.setValue("TdxProfile_0x/ProfileName", "旧B"); // not a number: skipped
        raw.setValue("TdxProfile_7/ProfileName", "旧B");
        raw.setValue("tdxprofile_9/ProfileName", "旧A"); // prefix is case-sensitive
        raw.sync();
        m_store = std::make_unique<ConfigManager>(m_dir->path());
        makeProfile(QStringLiteral("旧A"), 10, QString());
        makeProfile(QStringLiteral("旧B"), 20, QString());

        QVERIFY(m_store->renameProfile(QStringLiteral("旧A"), QStringLiteral("新A")));
        QVERIFY(m_store->deleteProfile(QStringLiteral("旧B")));
        m_store->saveConfig();
        QSettings after(m_store->iniFilePath(), QSettings::IniFormat);
        QStringList groups = after.childGroups();
        groups.sort();
        QCOMPARE(groups, (QStringList{"Background", "Features", "Font", "Software", "TdxProfile_0x", "Window",
                                      "tdxprofile_9"}));
    }

    void findByProcessIdentifier()
    {
        makeProfile(QStringLiteral("通用"), 10, QString());
        makeProfile(QStringLiteral("华泰"), 20, QStringLiteral("C:/HT_TDX"));
        makeProfile(QStringLiteral("华泰2"), 30, QStringLiteral("c:/ht_tdx"));
        QCOMPARE(m_store->findProfileByProcessIdentifier(QStringLiteral("c:/Ht_Tdx")),
                 QStringLiteral("华泰"));
        QCOMPARE(m_store->findProfileByProcessIdentifier(kBuiltIn), QString()); // general: never matches
        QCOMPARE(m_store->findProfileByProcessIdentifier(QString()), QString());
        QCOMPARE(m_store->findProfileByProcessIdentifier(QStringLiteral("C:/other")), QString());
    }

    // selectProfileForDialog: which profile ends up current, and whether the worker was told.
    void selectProfileForDialog_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("imagePath");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("expectedCurrent");
        QTest::addColumn<int>("reloads");

        // Profiles: 金融终端 (general), A "D:/other", B "C:/new_tdx", P "C:/tdx_root".
        QTest::newRow("not a flash dialog") << "买入下单"
                                            << "C:\\new_tdx\\tdxw.exe"
                                            << "A" << true << "A" << 0;
        QTest::newRow("current fits exe dir") << "闪电买入"
                                              << "C:\\NEW_TDX\\tdxw.exe"
                                              << "B" << true << "B" << 0;
        QTest::newRow("current fits parent dir") << "闪电融资买入"
                                                 << "C:\\tdx_root\\x64\\tdxw64.exe"
                                                 << "P" << true << "P" << 0;
        QTest::newRow("match switches") << "闪电买入"
                                        << "c:\\New_Tdx\\tdxw.exe"
                                        << "A" << true << "B" << 1;
        QTest::newRow("no match, general fallback") << "闪电买入"
                                                    << "E:\\tdx\\tdxw.exe"
                                                    << "A" << true << kBuiltIn << 1;
        QTest::newRow("no match, current general")
            << "闪电买入"
            << "E:\\tdx\\tdxw.exe" << kBuiltIn << true << kBuiltIn << 0;
        QTest::newRow("drive root") << "闪电买入"
                                    << "C:\\tdxw.exe"
                                    << "A" << true << kBuiltIn << 1;
    }

    void selectProfileForDialog()
    {
        QFETCH(QString, title);
        QFETCH(QString, imagePath);
        QFETCH(QString, current);
        QFETCH(bool, result);
        QFETCH(QString, expectedCurrent);
        QFETCH(int, reloads);

        makeProfile(QStringLiteral("A"), 10, QStringLiteral("D:/other"));
        makeProfile(QStringLiteral("B"), 20, QStringLiteral("C:/new_tdx"));
        makeProfile(QStringLiteral("P"), 30, QStringLiteral("C:/tdx_root"));
        QVERIFY(m_store->loadProfile(current));
        m_desktop.title = title.toStdU16String();
        m_processes.imagePath = imagePath.toStdU16String();

        int reloadCount = 0;
        QCOMPARE(m_store->selectProfileForDialog(100, [&] { ++reloadCount; }), result);
        QCOMPARE(m_store->currentProfileName(), expectedCurrent);
        QCOMPARE(reloadCount, reloads);
        QCOMPARE(m_processes.closed, m_processes.opened);
        if (reloads) {
            // The switched-to profile's indices are active and the choice is on disk.
            QCOMPARE(activeIndices().first(), profileJson(expectedCurrent).value("CodeIndex").toInt());
            QCOMPARE(rawValue("Software/TdxCurrentProfile").toString(), expectedCurrent);
        }
        if (title.contains(QStringLiteral("闪电")))
            QCOMPARE(m_processes.lastAccess, platform::access::QueryInformation | platform::access::VmRead);
        else
            QCOMPARE(m_processes.opened, 0);
    }

    // What automatic selection says when it switches, falls back to a general profile, or has
    // none to fall back to.
    void selectionLines()
    {
        makeProfile(QStringLiteral("A"), 10, QStringLiteral("D:/other"));
        makeProfile(QStringLiteral("B"), 20, QStringLiteral("C:/new_tdx"));
        QVERIFY(m_store->loadProfile(QStringLiteral("A")));

        m_processes.imagePath = u"C:\\New_Tdx\\tdxw.exe";
        expectLine(QtDebugMsg, "[自动切换配置] 检测到进程路径: C:/New_Tdx");
        expectLine(QtDebugMsg, "[自动切换配置] 从 A 切换到 B");
        expectLine(QtDebugMsg, "[自动切换配置] 切换成功！");
        QVERIFY(m_store->selectProfileForDialog(100, {}));

        m_processes.imagePath = u"E:\\tdx\\tdxw.exe";
        expectLine(QtDebugMsg,
                   "[自动切换配置] 当前配置 B 的进程路径 C:/new_tdx 与实际进程路径 E:/tdx 不匹配");
        expectLine(QtDebugMsg, "[自动切换配置] 切换到通用配置: 金融终端");
        expectLine(QtDebugMsg, "[自动切换配置] 切换成功！");
        QVERIFY(m_store->selectProfileForDialog(100, {}));
        QCOMPARE(m_store->currentProfileName(), kBuiltIn);

        QVERIFY(m_store->deleteProfile(kBuiltIn));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("A"));
        expectLine(QtDebugMsg, "[自动切换配置] 当前配置 A 的进程路径 D:/other 与实际进程路径 E:/tdx 不匹配");
        expectLine(QtDebugMsg, "[自动切换配置] 未找到通用配置，保持当前配置");
        QVERIFY(m_store->selectProfileForDialog(100, {}));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("A"));
    }

    void selectProfileWhenTheProcessCannotBeRead()
    {
        makeProfile(QStringLiteral("A"), 10, QStringLiteral("D:/other"));
        int reloads = 0;
        m_processes.openFails = true;
        QVERIFY(!m_store->selectProfileForDialog(100, [&] { ++reloads; }));
        m_processes.openFails = false;
        m_desktop.pid = 0; // the window went away
        QVERIFY(!m_store->selectProfileForDialog(100, [&] { ++reloads; }));
        platform::install(platform::Services()); // no backend at all
        QVERIFY(!m_store->selectProfileForDialog(100, {}));
        QCOMPARE(reloads, 0);
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("A"));
    }

    void noGeneralProfileKeepsTheCurrentOne()
    {
        makeProfile(QStringLiteral("A"), 10, QStringLiteral("D:/other"));
        QVERIFY(m_store->deleteProfile(kBuiltIn));
        QVERIFY(m_store->loadProfile(QStringLiteral("A")));
        m_processes.imagePath = u"E:\\tdx\\tdxw.exe";
        int reloads = 0;
        QVERIFY(m_store->selectProfileForDialog(100, [&] { ++reloads; }));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("A"));
        QCOMPARE(reloads, 0);
    }

    // The order dialog worker switches profiles on its thread while the user edits profiles in
    // a dialog on the GUI thread: every operation must see a consistent store.
    void workerAndGuiThreadsShareTheProfiles()
    {
        makeProfile(QStringLiteral("A"), 10, QStringLiteral("D:/other"));
        makeProfile(QStringLiteral("B"), 20, QStringLiteral("C:/new_tdx"));
        std::atomic<int> reloads{0};
        std::thread worker([&] {
            for (int i = 0; i < 30; ++i) {
                m_store->loadProfile(QStringLiteral("A"));
                m_store->selectProfileForDialog(100, [&] { ++reloads; });
            }
        });
        for (int i = 0; i < 15; ++i) {
            makeProfile(QStringLiteral("临时%1").arg(i % 5), i, QString());
            QVERIFY(m_store->deleteProfile(QStringLiteral("临时%1").arg(i % 5)));
            QCoreApplication::processEvents();
        }
        worker.join();
        // Between the worker's load of A and its selection the current profile is never B, so
        // every selection switched and told the worker.
        QCOMPARE(reloads.load(), 30);
        QCOMPARE(m_store->profileList(), (QStringList{kBuiltIn, "A", "B"}));
        QVERIFY(m_store->selectProfileForDialog(100, {}));
        QCOMPARE(m_store->currentProfileName(), QStringLiteral("B"));
        QCOMPARE(m_store->tdxCodeIndex(), 20);
    }
};

ZK_TEST_MAIN(TestProfileStore)
#include "tst_profilestore.moc"
