#include "tradeconfig/ThsPresetFiles.h"

#include "platform/api/Platform.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextCodec>

#include <algorithm>

namespace ThsPresetFiles {

namespace {

const QString FloatSettingHeader = QStringLiteral("[FLOATSETTING]");
const QString FloatSchemeKey = QStringLiteral("FLOATSCHEME=");

QTextCodec* gb2312()
{
    static QTextCodec* codec = QTextCodec::codecForName("GB2312");
    return codec;
}

// One line of a text file as found: its bytes without the line break, and the break itself
// ("\r\n", "\n" or nothing for a last line without one). Lines are split at LF bytes, which
// never occur inside a GB2312 character.
struct RawLine
{
    QByteArray bytes;
    QByteArray lineBreak;
    QString text; // decoded, for recognising headers and keys
};

QList<RawLine> splitLines(const QByteArray& data)
{
    QList<RawLine> lines;
    int start = 0;
    while (start < data.size()) {
        const int lf = data.indexOf('\n', start);
        RawLine line;
        if (lf < 0) {
            line.bytes = data.mid(start);
            start = data.size();
        } else {
            line.bytes = data.mid(start, lf - start);
            line.lineBreak = QByteArrayLiteral("\n");
            start = lf + 1;
        }
        if (line.bytes.endsWith('\r')) {
            line.bytes.chop(1);
            line.lineBreak.prepend('\r');
        }
        line.text = gb2312()->toUnicode(line.bytes);
        lines.append(line);
    }
    return lines;
}

bool isHeader(const QString& line)
{
    return line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'));
}

bool readAll(const QString& path, QByteArray& data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    data = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// Writes a temporary file beside path and renames it over path, so that a failure at any point
// leaves the old file whole.
bool replaceAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool encodable(const QString& text)
{
    return gb2312()->canEncode(text);
}

QJsonArray schemeList(const QJsonObject& schemeSet, bool* found)
{
    const QJsonValue setting = schemeSet.value(QStringLiteral("FloatSetting"));
    const QJsonValue list = setting.toObject().value(QStringLiteral("FloatSchemeList"));
    *found = setting.isObject() && list.isArray();
    return list.toArray();
}

// The numeral value of the character at position, -1 when it is not one of 一 … 十.
int numeralAt(const QString& name, int position)
{
    static const QString numerals = QStringLiteral("一二三四五六七八九十");
    return position < name.size() ? numerals.indexOf(name.at(position)) : -1;
}

} // namespace

QString thsInstallDirectory(int softwareId)
{
    platform::Registry* registry = platform::services().registry;
    if (!registry)
        return QString();
    std::u16string value;
    if (softwareId == ThsClassic) {
        if (!registry->readString(platform::RegistryRoot::CurrentUser, u"Software\\HexinSoft", u"FilePath", value))
            return QString();
        return QString::fromStdU16String(value);
    }
    if (softwareId == ThsYuanhang) {
        if (!registry->readString(platform::RegistryRoot::LocalMachine,
                                  u"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\同花顺远航版",
                                  u"InstallLocation", value)
            || value.empty())
            return QString();
        // "\transaction\" on Windows; the same with the separator of the system elsewhere.
        return QString::fromStdU16String(value) + QDir::toNativeSeparators(QStringLiteral("/transaction/"));
    }
    return QString();
}

QString cleanValue(const QString& value)
{
    QString text = value;
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text.simplified();
}

QString readFloatScheme(const QString& iniPath)
{
    QByteArray data;
    if (!readAll(iniPath, data))
        return QString();
    QString section;
    QString value;
    for (const RawLine& line : splitLines(data)) {
        if (isHeader(line.text)) {
            section = line.text;
            continue;
        }
        if (section == FloatSettingHeader && line.text.startsWith(FloatSchemeKey))
            value = line.text.mid(FloatSchemeKey.size()).trimmed();
    }
    return cleanValue(value);
}

bool writeFloatScheme(const QString& iniPath, const QString& value)
{
    QByteArray data;
    if (!readAll(iniPath, data))
        return false;
    // A line break in the value would put lines of its own into THS's file.
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')) || !encodable(value)) {
        qWarning().noquote() << "FLOATSCHEME value cannot be written as one GB2312 line:" << iniPath;
        return false;
    }

    const QList<RawLine> lines = splitLines(data);
    // The new line takes the break the file uses (that of its first line), so CR LF stays CR LF.
    QByteArray lineBreak = QByteArrayLiteral("\r\n");
    if (!lines.isEmpty() && !lines.first().lineBreak.isEmpty())
        lineBreak = lines.first().lineBreak;

    QByteArray out;
    out.reserve(data.size() + value.size() * 2 + 16);
    QString section;
    bool inserted = false;
    for (const RawLine& line : lines) {
        if (isHeader(line.text)) {
            section = line.text;
        } else if (section == FloatSettingHeader) {
            if (!inserted) {
                out += gb2312()->fromUnicode(FloatSchemeKey + value) + lineBreak;
                inserted = true;
            }
            if (line.text.startsWith(FloatSchemeKey))
                continue;
        }
        out += line.bytes + line.lineBreak;
    }
    if (!inserted) {
        qWarning().noquote() << "FLOATSCHEME not found in the ini file.";
        return false;
    }
    if (!replaceAtomically(iniPath, out)) {
        qWarning().noquote() << "Failed to open ini file for writing:" << iniPath;
        return false;
    }
    return true;
}

bool currentConfigurationName(const QString& iniPath, QString& name)
{
    const QString value = readFloatScheme(iniPath);
    if (value.isEmpty())
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(value.toUtf8());
    if (document.isNull())
        return false;
    name = configurationName(document.object());
    return true;
}

QString configurationName(const QJsonObject& schemeSet)
{
    bool found = false;
    const QJsonArray list = schemeList(schemeSet, &found);
    for (const QJsonValue& element : list) {
        if (!element.isObject())
            continue;
        const QJsonObject preset = element.toObject();
        if (!preset.contains(QStringLiteral("Index")) || preset.value(QStringLiteral("Index")).toInt() != 0)
            continue;
        const QJsonValue name = preset.value(QStringLiteral("Name"));
        if (name.isString())
            return name.toString();
    }
    return QStringLiteral("default");
}

bool numeralLessThan(const QString& a, const QString& b)
{
    // Ranked as a key (rank, numeral, text), so that the order is a strict weak order and sorting
    // any set of names is well defined: names beginning with a numeral first, by that numeral;
    // then names with a numeral in second place, by that numeral; then the rest; ties by text.
    const auto key = [](const QString& name) {
        const int first = numeralAt(name, 0);
        if (first >= 0)
            return std::make_pair(0, first);
        const int second = numeralAt(name, 1);
        if (second >= 0)
            return std::make_pair(1, second);
        return std::make_pair(2, 0);
    };
    const auto ka = key(a), kb = key(b);
    if (ka != kb)
        return ka < kb;
    return a < b;
}

bool listConfigurationNames(const QString& directory, QStringList& names)
{
    QDir dir(directory);
    if (directory.isEmpty() || !dir.exists())
        return false;
    names.clear();
    const QString suffix = QStringLiteral(".json");
    for (const QString& file : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (file.endsWith(suffix))
            names.append(file.left(file.size() - suffix.size()));
    }
    std::sort(names.begin(), names.end(), numeralLessThan);
    return true;
}

bool findPresetAmount(const QJsonObject& schemeSet, const QString& name, int& type, int& number)
{
    bool found = false;
    const QJsonArray list = schemeList(schemeSet, &found);
    if (!found)
        return false;
    for (const QJsonValue& element : list) {
        const QJsonObject preset = element.toObject();
        if (!element.isObject() || preset.value(QStringLiteral("Name")).toString() != name
            || !preset.contains(QStringLiteral("AmountType")) || !preset.contains(QStringLiteral("AmountNumber")))
            continue;
        type = preset.value(QStringLiteral("AmountType")).toInt();
        number = preset.value(QStringLiteral("AmountNumber")).toInt();
        return true;
    }
    return false;
}

bool updatePresetAmounts(QJsonObject& schemeSet, int buyType, int buyNumber, int sellType, int sellNumber)
{
    if (!schemeSet.value(QStringLiteral("FloatSetting")).isObject())
        return false;
    QJsonObject setting = schemeSet.value(QStringLiteral("FloatSetting")).toObject();
    if (!setting.value(QStringLiteral("FloatSchemeList")).isArray())
        return false;
    QJsonArray list = setting.value(QStringLiteral("FloatSchemeList")).toArray();

    bool fixedBuy = false, marginBuy = false, marketBuy = false, fixedSell = false;
    for (int i = 0; i < list.size() && !(fixedBuy && marginBuy && marketBuy && fixedSell); ++i) {
        if (!list.at(i).isObject())
            continue;
        QJsonObject preset = list.at(i).toObject();
        const QString name = preset.value(QStringLiteral("Name")).toString();
        bool buy = false, sell = false;
        if (name == QStringLiteral("定买")) {
            fixedBuy = buy = true;
        } else if (name == QStringLiteral("融买")) {
            marginBuy = buy = true;
        } else if (name.startsWith(QStringLiteral("市买"))) {
            marketBuy = buy = true;
        } else if (name == QStringLiteral("定卖")) {
            fixedSell = sell = true;
        }
        if (!buy && !sell)
            continue;
        preset.insert(QStringLiteral("AmountType"), buy ? buyType : sellType);
        preset.insert(QStringLiteral("AmountNumber"), buy ? buyNumber : sellNumber);
        list.replace(i, preset);
    }
    setting.insert(QStringLiteral("FloatSchemeList"), list);
    schemeSet.insert(QStringLiteral("FloatSetting"), setting);
    return fixedBuy && fixedSell;
}

bool readConfigurationFile(const QString& path, QString& text)
{
    QByteArray data;
    if (!readAll(path, data))
        return false;
    text = gb2312()->toUnicode(data);
    return true;
}

bool updateAllConfigurationFiles(const QString& directory, int buyType, int buyNumber, int sellType,
                                 int sellNumber)
{
    QDir dir(directory);
    if (directory.isEmpty() || !dir.exists())
        return false;
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : files) {
        const QString path = info.absoluteFilePath();
        QString text;
        if (!readConfigurationFile(path, text))
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError) {
            qWarning().noquote() << "Failed to parse JSON from file:" << path << ", Error:" << error.errorString();
            continue;
        }
        if (!document.isObject())
            continue;
        QJsonObject schemeSet = document.object();
        if (!updatePresetAmounts(schemeSet, buyType, buyNumber, sellType, sellNumber)) {
            qWarning().noquote() << "Failed to update JSON from file:" << path;
            continue;
        }
        qDebug().noquote() << "updateFloatSchemeValues success:" << path;
        const QString json = QString::fromUtf8(QJsonDocument(schemeSet).toJson(QJsonDocument::Indented));
        // A name GB2312 cannot hold would come back as "?": leave such a file as it is.
        if (!encodable(json) || !replaceAtomically(path, gb2312()->fromUnicode(json)))
            qWarning().noquote() << "Failed to open file for writing:" << path;
    }
    return true;
}

QString backupPattern(const QString& path)
{
    return QFileInfo(path).fileName() + QStringLiteral(".*.bak");
}

bool backupFile(const QString& path, int keep)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        qWarning().noquote() << "The file does not exist:" << path;
        return false;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyMMddhhmmss"));
    QString backup = info.absoluteFilePath() + QLatin1Char('.') + stamp + QStringLiteral(".bak");
    // A second backup within the same second must not fail or overwrite the first.
    for (int n = 2; QFileInfo::exists(backup); ++n)
        backup = info.absoluteFilePath() + QLatin1Char('.') + stamp + QLatin1Char('_') + QString::number(n)
                 + QStringLiteral(".bak");
    if (!QFile::copy(info.absoluteFilePath(), backup))
        return false;

    // The older backups, newest first (by modification time, then by name, which carries the
    // time as well); beyond the keep - 1 newest of them they go, the new one always stays.
    QFileInfoList backups = info.absoluteDir().entryInfoList({backupPattern(path)}, QDir::Files);
    backups.erase(std::remove_if(backups.begin(), backups.end(),
                                 [&](const QFileInfo& b) { return b.absoluteFilePath() == backup; }),
                  backups.end());
    std::sort(backups.begin(), backups.end(), [](const QFileInfo& a, const QFileInfo& b) {
        if (a.lastModified() != b.lastModified())
            return a.lastModified() > b.lastModified();
        return a.fileName() > b.fileName();
    });
    for (int i = qMax(keep - 1, 0); i < backups.size(); ++i) {
        if (!QFile::remove(backups.at(i).absoluteFilePath()))
            qWarning().noquote() << "Failed to remove old backup:" << backups.at(i).absoluteFilePath();
    }
    return true;
}

} // namespace ThsPresetFiles
