// Any bytes as a TDX profile file (JSON that users copy between machines and edit by hand). The
// file is the current profile "F" of a store that also holds the built-in profile and a profile
// "G" of another installation, with a legacy INI group for each of F and G. Start, the profile
// table's reads, automatic selection for an order dialog whose executable lies in F's own
// directory, rename and delete must not crash, and:
// - F loads exactly when the file is a JSON object; its indices are whole JSON numbers or -1;
//   a failed load changes neither the indices nor the current profile;
// - automatic selection ends on F, G or the built-in profile, with that profile's indices active;
// - rename keeps every field of the file but the name, and takes F's legacy group with it;
// - delete leaves neither list entry, file nor legacy group.

#include "FuzzSupport.h"

#include "StubDesktop.h"
#include "config/ConfigManager.h"
#include "platform/api/Platform.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

const QString kBuiltIn = QStringLiteral("金融终端");
const char* const kFields[] = {"CodeIndex",           "NameIndex",
                               "PriceIndex",          "QuantityIndex",
                               "MaxQuantityIndex",    "MarginCodeIndex",
                               "MarginNameIndex",     "MarginPriceIndex",
                               "MarginQuantityIndex", "MarginMaxQuantityIndex"};
const QVector<int> kIniIndices = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
const QVector<int> kBuiltInIndices = {2, 3, 0, 2, 8, 6, 7, 0, 2, 8};
const QVector<int> kGIndices = {30, 31, 32, 33, 34, 35, 36, 37, 38, 39};

// The order dialog of a TDX whose executable path the input decides.
class Desktop : public zktest::StubDesktop
{
public:
    platform::ProcessId windowProcessId(WindowId window) override { return window == 100 ? 42 : 0; }
    int windowText(WindowId window, char16_t* buffer, int maxCount) override
    {
        const std::u16string title = window == 100 ? u"闪电买入" : u"";
        const int n = std::min<int>(int(title.size()), maxCount - 1);
        std::copy(title.begin(), title.begin() + n, buffer);
        buffer[n] = 0;
        return n;
    }
};

class Processes : public zktest::StubProcesses
{
public:
    std::u16string imagePath;
    platform::ProcessHandle openProcess(std::uint32_t, platform::ProcessId pid) override
    {
        return pid == 42 ? 7 : 0;
    }
    void closeHandle(platform::ProcessHandle) override {}
    bool queryFullProcessImageName(platform::ProcessHandle handle, std::u16string& path) override
    {
        if (handle != 7)
            return false;
        path = imagePath;
        return true;
    }
};

QString g_work;
int g_run = 0;
Desktop g_desktop;
Processes g_processes;

QByteArray jsonProfile(const QString& name, const QString& identifier, const QVector<int>& indices)
{
    QJsonObject o{
        {"ProfileName", name}, {"ProcessIdentifier", identifier}, {"SaveTime", "2024-05-06 14:03:09"}};
    for (int i = 0; i < 10; ++i)
        o.insert(QLatin1String(kFields[i]), indices[i]);
    return QJsonDocument(o).toJson();
}

// The store's reading of an index field, written out again: a whole number in int's range.
int expectedIndex(const QJsonValue& v)
{
    if (!v.isDouble())
        return -1;
    const double d = v.toDouble();
    if (!(d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max()) || d != std::floor(d))
        return -1;
    return int(d);
}

QVector<int> indices(ConfigManager& s)
{
    return {s.tdxCodeIndex(),           s.tdxNameIndex(),
            s.tdxPriceIndex(),          s.tdxQuantityIndex(),
            s.tdxMaxQuantityIndex(),    s.tdxMarginCodeIndex(),
            s.tdxMarginNameIndex(),     s.tdxMarginPriceIndex(),
            s.tdxMarginQuantityIndex(), s.tdxMarginMaxQuantityIndex()};
}

// The file as the store reads it (text mode).
bool readObject(const QString& path, QJsonObject& object)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    object = document.object();
    return document.isObject();
}

QStringList legacyGroups(ConfigManager& s)
{
    s.saveConfig();
    QSettings raw(s.iniFilePath(), QSettings::IniFormat);
    raw.setIniCodec("UTF-8");
    return raw.childGroups().filter(QStringLiteral("TdxProfile_"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    g_work = zkfuzz::setUp("fuzz_profilestore");
    static QCoreApplication app(*argc, *argv);
    platform::Services os;
    os.desktop = &g_desktop;
    os.processes = &g_processes;
    platform::install(os);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const QString dir = g_work + QLatin1Char('/') + QString::number(++g_run);
    const QString profiles = dir + QStringLiteral("/profiles/");
    QDir().mkpath(profiles);
    const QString fPath = profiles + QStringLiteral("Rg==.json");
    const QString hPath = profiles + QStringLiteral("SA==.json");
    QByteArray ini = "[Software]\nTdxProfileList=\xe9\x87\x91\xe8\x9e\x8d\xe7\xbb\x88\xe7\xab\xaf, F, G\n"
                     "TdxCurrentProfile=F\n";
    for (int i = 0; i < 10; ++i)
        ini += QByteArray("Tdx") + kFields[i] + '=' + QByteArray::number(kIniIndices[i]) + '\n';
    ini += "[TdxProfile_3]\nProfileName=F\n[TdxProfile_7]\nProfileName=G\n";
    ZK_FUZZ_CHECK(zkfuzz::writeFile(dir + QStringLiteral("/ZentrikClock.ini"), ini));
    ZK_FUZZ_CHECK(zkfuzz::writeFile(profiles + QStringLiteral("6YeR6J6N57uI56uv.json"),
                                    jsonProfile(kBuiltIn, kBuiltIn, kBuiltInIndices)));
    ZK_FUZZ_CHECK(zkfuzz::writeFile(profiles + QStringLiteral("Rw==.json"),
                                    jsonProfile(QStringLiteral("G"), QStringLiteral("D:/tdx_g"), kGIndices)));
    ZK_FUZZ_CHECK(zkfuzz::writeFile(fPath, input));

    QJsonObject f;
    const bool isObject = readObject(fPath, f);
    QVector<int> fIndices = kIniIndices;
    if (isObject) {
        for (int i = 0; i < 10; ++i)
            fIndices[i] = expectedIndex(f.value(QLatin1String(kFields[i])));
    }
    const QString fId = isObject ? f.value(QStringLiteral("ProcessIdentifier")).toString() : QString();
    const bool fGeneral = fId.isEmpty() || fId == kBuiltIn;
    {
        ConfigManager store(dir);
        ZK_FUZZ_CHECK(store.profileFilePath(QStringLiteral("F")) == fPath);
        ZK_FUZZ_CHECK(store.profileList() == QStringList({kBuiltIn, "F", "G"}));
        ZK_FUZZ_CHECK(store.currentProfileName() == QStringLiteral("F"));
        ZK_FUZZ_CHECK(indices(store) == fIndices);
        ZK_FUZZ_CHECK(store.loadProfile(QStringLiteral("F")) == isObject);
        ZK_FUZZ_CHECK(indices(store) == fIndices);
        ZK_FUZZ_CHECK(store.profileProcessIdentifier(QStringLiteral("F")) == fId);
        ZK_FUZZ_CHECK(store.profileSaveTime(QStringLiteral("F")) ==
                      (isObject ? f.value(QStringLiteral("SaveTime")).toString() : QString()));

        QString found;
        if (!fGeneral)
            found = QStringLiteral("F");
        else if (fId.compare(QStringLiteral("D:/tdx_g"), Qt::CaseInsensitive) == 0)
            found = QStringLiteral("G");
        ZK_FUZZ_CHECK(store.findProfileByProcessIdentifier(fId) == found);

        // An order dialog of the TDX in F's directory.
        QString image = fId.isEmpty() ? QStringLiteral("E:\\tdx") : fId;
        image.replace(QLatin1Char('/'), QLatin1Char('\\'));
        g_processes.imagePath = (image + QStringLiteral("\\tdxw.exe")).toStdU16String();
        // An identifier such as "C:a/.." makes an image path whose directory cannot be had (a real
        // one is always absolute and clean); the selection then fails and changes nothing.
        const bool resolvable = !ConfigManager::executableDirectory(100).isEmpty();
        int reloads = 0;
        ZK_FUZZ_CHECK(store.selectProfileForDialog(100, [&] { ++reloads; }) == resolvable);
        const QString current = store.currentProfileName();
        if (reloads == 0) {
            ZK_FUZZ_CHECK(current == QStringLiteral("F"));
            ZK_FUZZ_CHECK(indices(store) == fIndices);
        } else {
            ZK_FUZZ_CHECK(reloads == 1);
            ZK_FUZZ_CHECK(current == kBuiltIn || current == QStringLiteral("G"));
            ZK_FUZZ_CHECK(indices(store) == (current == kBuiltIn ? kBuiltInIndices : kGIndices));
        }

        const bool renamed = store.renameProfile(QStringLiteral("F"), QStringLiteral("H"));
        ZK_FUZZ_CHECK(renamed == isObject);
        QString last = QStringLiteral("F");
        if (renamed) {
            last = QStringLiteral("H");
            ZK_FUZZ_CHECK(store.profileList() == QStringList({kBuiltIn, "H", "G"}));
            ZK_FUZZ_CHECK(!QFile::exists(fPath));
            QJsonObject h;
            ZK_FUZZ_CHECK(readObject(hPath, h));
            // The fields the program reads. (Qt's own JSON objects do not survive a write and a
            // read when a key holds a NUL character; no field of a profile does.)
            ZK_FUZZ_CHECK(h.value(QStringLiteral("ProfileName")) == QStringLiteral("H"));
            for (const char* field : {"ProcessIdentifier", "SaveTime"})
                ZK_FUZZ_CHECK(h.value(QLatin1String(field)) == f.value(QLatin1String(field)));
            for (const char* field : kFields)
                ZK_FUZZ_CHECK(expectedIndex(h.value(QLatin1String(field))) ==
                              expectedIndex(f.value(QLatin1String(field))));
            ZK_FUZZ_CHECK(legacyGroups(store) == QStringList{QStringLiteral("TdxProfile_7")});
            if (current == QStringLiteral("F"))
                ZK_FUZZ_CHECK(store.currentProfileName() == QStringLiteral("H"));
        } else {
            ZK_FUZZ_CHECK(store.profileList() == QStringList({kBuiltIn, "F", "G"}));
            ZK_FUZZ_CHECK(QFile::exists(fPath));
        }

        const bool wasCurrent = store.currentProfileName() == last;
        ZK_FUZZ_CHECK(store.deleteProfile(last));
        ZK_FUZZ_CHECK(store.profileList() == QStringList({kBuiltIn, "G"}));
        ZK_FUZZ_CHECK(!QFile::exists(fPath) && !QFile::exists(hPath));
        ZK_FUZZ_CHECK(legacyGroups(store) == QStringList{QStringLiteral("TdxProfile_7")});
        if (wasCurrent) {
            ZK_FUZZ_CHECK(store.currentProfileName() == kBuiltIn);
            ZK_FUZZ_CHECK(indices(store) == kBuiltInIndices);
        }
    }
    QDir(dir).removeRecursively();
    return 0;
}
