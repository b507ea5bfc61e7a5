#include "KeyMapFile.h"

#include "KeyFunctions.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace KeyMapFile {

namespace {

const QString kType = QStringLiteral("ZentrikClock key map");
constexpr int kVersion = 1;

bool refuse(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

QByteArray toJson(const Content& content)
{
    QJsonArray keys;
    for (int i = 0; i < content.keyMap.size(); ++i) {
        const int code = static_cast<quint8>(content.keyMap.at(i));
        keys.append(QJsonObject{{QStringLiteral("key"), i + 1},
                                {QStringLiteral("code"), code},
                                {QStringLiteral("label"), KeyFunctions::labelOf(code)}});
    }
    const QJsonObject root{{QStringLiteral("type"), kType},
                           {QStringLiteral("version"), kVersion},
                           {QStringLiteral("serial"), content.serial},
                           {QStringLiteral("build"), content.build},
                           {QStringLiteral("keys"), keys}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool fromJson(const QByteArray& json, Content* content, QString* error)
{
    const QString notAKeyMap = QStringLiteral("该文件不是键位文件。");
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return refuse(error, notAKeyMap);
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("type")).toString() != kType ||
        !root.value(QStringLiteral("keys")).isArray())
        return refuse(error, notAKeyMap);
    if (root.value(QStringLiteral("version")).toInt() != kVersion)
        return refuse(error, QStringLiteral("不支持该键位文件的版本。"));

    const QJsonArray keys = root.value(QStringLiteral("keys")).toArray();
    QByteArray keyMap;
    for (int i = 0; i < keys.size(); ++i) {
        const QJsonObject key = keys.at(i).toObject();
        const QJsonValue code = key.value(QStringLiteral("code"));
        // Keys in order, each code a byte: a hand-edited file with a gap or a wrong number is
        // refused rather than shifting every key after it.
        const double number = code.toDouble(-1);
        if (key.value(QStringLiteral("key")).toInt() != i + 1 || !code.isDouble() || number < 0 ||
            number > 255 || number != static_cast<int>(number))
            return refuse(error, QStringLiteral("键位文件第%1个按键的内容无效。").arg(i + 1));
        keyMap.append(static_cast<char>(static_cast<int>(number)));
    }
    if (keyMap.isEmpty())
        return refuse(error, QStringLiteral("键位文件中没有按键。"));
    content->keyMap = keyMap;
    content->serial = root.value(QStringLiteral("serial")).toString();
    content->build = root.value(QStringLiteral("build")).toVariant().toString();
    return true;
}

bool save(const QString& path, const Content& content, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson(content)) < 0 || !file.commit())
        return refuse(error, QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
    return true;
}

bool load(const QString& path, Content* content, QString* error)
{
    QFile file(path);
    // A key map file is a few kilobytes; anything far larger is not one.
    constexpr qint64 kMaxSize = 1 << 20;
    if (!file.open(QIODevice::ReadOnly))
        return refuse(error, QStringLiteral("无法读取文件 %1：%2").arg(path, file.errorString()));
    if (file.size() > kMaxSize)
        return refuse(error, QStringLiteral("该文件不是键位文件。"));
    return fromJson(file.readAll(), content, error);
}

} // namespace KeyMapFile
