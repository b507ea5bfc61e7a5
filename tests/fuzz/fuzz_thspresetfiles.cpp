// Any bytes as THS's xiadan.ini and as a trading configuration. The input is the INI file, a
// line "--", then the configuration (JSON, GB2312); without the separator both are the whole
// input. Promised: no crash; writeFloatScheme either reports failure and leaves the file byte for
// byte as it was, or rewrites only the FLOATSCHEME lines of [FLOATSETTING] (every other line
// kept, with its line break, in order) and reads back the cleaned value; no temporary file is
// left; updatePresetAmounts keeps the list's length and every other key, and when it succeeds the
// first 定买 and 定卖 carry the new values; updateAllConfigurationFiles leaves a file unchanged
// or holding exactly the updated set.

#include "FuzzSupport.h"

#include "tradeconfig/ThsPresetFiles.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextCodec>

#include <cstdint>

using namespace ThsPresetFiles;

namespace {

QString g_dir;

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines outside the scheme lines of [FLOATSETTING], each with its line break, as the file
// holds them.
QList<QByteArray> linesBesidesScheme(const QByteArray& data)
{
    QTextCodec* codec = QTextCodec::codecForName("GB2312");
    QList<QByteArray> kept;
    QString section;
    int start = 0;
    while (start < data.size()) {
        int end = data.indexOf('\n', start);
        end = end < 0 ? data.size() : end + 1;
        const QByteArray line = data.mid(start, end - start);
        start = end;
        QByteArray bare = line;
        if (bare.endsWith('\n'))
            bare.chop(1);
        if (bare.endsWith('\r'))
            bare.chop(1);
        const QString text = codec->toUnicode(bare);
        if (text.startsWith('[') && text.endsWith(']'))
            section = text;
        else if (section == QLatin1String("[FLOATSETTING]") && text.startsWith(QLatin1String("FLOATSCHEME=")))
            continue;
        kept.append(line);
    }
    return kept;
}

void checkIniRewrite(const QByteArray& ini, const QString& value)
{
    const QString path = g_dir + QStringLiteral("/xiadan.ini");
    ZK_FUZZ_CHECK(zkfuzz::writeFile(path, ini));
    readFloatScheme(path);
    const bool written = writeFloatScheme(path, value);
    const QByteArray after = readBytes(path);
    ZK_FUZZ_CHECK(QDir(g_dir).entryList(QDir::Files | QDir::Hidden) == QStringList{QStringLiteral("xiadan.ini")});
    if (!written) {
        ZK_FUZZ_CHECK(after == ini);
        return;
    }
    // Only the scheme lines changed; the new one is readable as the cleaned value.
    QList<QByteArray> before = linesBesidesScheme(ini);
    QList<QByteArray> now = linesBesidesScheme(after);
    // The original's last line may lack a break; it is kept without one.
    ZK_FUZZ_CHECK(before == now);
    ZK_FUZZ_CHECK(readFloatScheme(path) == cleanValue(value));
    // A second rewrite with the same value changes nothing more.
    ZK_FUZZ_CHECK(writeFloatScheme(path, value));
    ZK_FUZZ_CHECK(readBytes(path) == after);
}

void checkSchemeSet(const QByteArray& json)
{
    QTextCodec* codec = QTextCodec::codecForName("GB2312");
    const QJsonDocument document = QJsonDocument::fromJson(codec->toUnicode(json).toUtf8());
    QJsonObject set = document.object();
    configurationName(set);
    int type = 0, number = 0;
    findPresetAmount(set, QStringLiteral("定买"), type, number);

    const QJsonObject original = set;
    const bool updated = updatePresetAmounts(set, 1, 4321, 0, 1200);
    const auto listOf = [](const QJsonObject& o) {
        return o.value(QStringLiteral("FloatSetting")).toObject().value(QStringLiteral("FloatSchemeList")).toArray();
    };
    ZK_FUZZ_CHECK(listOf(set).size() == listOf(original).size());
    for (const QString& key : original.keys()) {
        if (key != QLatin1String("FloatSetting"))
            ZK_FUZZ_CHECK(set.value(key) == original.value(key));
    }
    if (updated) {
        ZK_FUZZ_CHECK(findPresetAmount(set, QStringLiteral("定买"), type, number) && type == 1 && number == 4321);
        ZK_FUZZ_CHECK(findPresetAmount(set, QStringLiteral("定卖"), type, number) && type == 0 && number == 1200);
    }

    // The same through a configuration file.
    const QString dir = g_dir + QStringLiteral("/config");
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/一档.json");
    ZK_FUZZ_CHECK(zkfuzz::writeFile(path, json));
    ZK_FUZZ_CHECK(updateAllConfigurationFiles(dir, 1, 4321, 0, 1200));
    const QByteArray after = readBytes(path);
    ZK_FUZZ_CHECK(QDir(dir).entryList(QDir::Files | QDir::Hidden).size() == 1);
    if (after != json) {
        const QJsonDocument rewritten = QJsonDocument::fromJson(codec->toUnicode(after).toUtf8());
        ZK_FUZZ_CHECK(document.isObject() && updated && rewritten.object() == set);
    }
    QFile::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    g_dir = zkfuzz::setUp("fuzz_thspresetfiles") + QStringLiteral("/ths");
    QDir().mkpath(g_dir);
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const int separator = input.indexOf("\n--\n");
    const QByteArray ini = separator < 0 ? input : input.left(separator + 1);
    const QByteArray json = separator < 0 ? input : input.mid(separator + 4);

    checkIniRewrite(ini, QTextCodec::codecForName("GB2312")->toUnicode(json).simplified());
    checkIniRewrite(ini, QString::fromUtf8(json));
    checkSchemeSet(json);
    return 0;
}
