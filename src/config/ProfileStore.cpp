// The TDX profile store: the profile list and current profile in the settings file, one JSON
// file per profile under "profiles", and the automatic choice of a profile for the TDX
// installation behind an order dialog. Operations of ConfigManager, under its lock.

#include "ConfigManager.h"

#include "platform/api/Platform.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>

#include <cmath>
#include <limits>

const QString ConfigManager::ReservedProfileName = QStringLiteral("默认配置");
const QString ConfigManager::BuiltInProfileName = QStringLiteral("金融终端");

namespace {

const QString kProfileListKey = QStringLiteral("Software/TdxProfileList");
const QString kCurrentProfileKey = QStringLiteral("Software/TdxCurrentProfile");
const QString kLegacyGroupPrefix = QStringLiteral("TdxProfile_");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// The ten control indices: the field name inside a profile file and the active-index key, in
// the order profiles are read and written.
struct IndexField
{
    const char* field;
    const char* key;
};
const IndexField kIndexFields[] = {
    {"CodeIndex", "Software/TdxCodeIndex"},
    {"NameIndex", "Software/TdxNameIndex"},
    {"PriceIndex", "Software/TdxPriceIndex"},
    {"QuantityIndex", "Software/TdxQuantityIndex"},
    {"MaxQuantityIndex", "Software/TdxMaxQuantityIndex"},
    {"MarginCodeIndex", "Software/TdxMarginCodeIndex"},
    {"MarginNameIndex", "Software/TdxMarginNameIndex"},
    {"MarginPriceIndex", "Software/TdxMarginPriceIndex"},
    {"MarginQuantityIndex", "Software/TdxMarginQuantityIndex"},
    {"MarginMaxQuantityIndex", "Software/TdxMarginMaxQuantityIndex"},
};
const int kBuiltInIndices[] = {2, 3, 0, 2, 8, 6, 7, 0, 2, 8};

// A whole JSON number, or -1 for anything else (missing, fractional, text, out of range).
int indexFromJson(const QJsonValue& value)
{
    if (!value.isDouble())
        return -1;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < std::numeric_limits<int>::min() ||
        d > std::numeric_limits<int>::max())
        return -1;
    return static_cast<int>(d);
}

// The image path as Win32 reports it ("C:\\new_tdx\\tdxw.exe"), in Qt's form. Done by hand:
// QDir::fromNativeSeparators leaves backslashes alone on Linux, where the simulated desktop
// reports Windows paths too.
QString qtFormPath(const QString& win32Path)
{
    QString path = win32Path;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(path);
}

// The directory part of a Qt-form Windows path; a drive root keeps its slash ("C:/").
QString directoryOf(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    if (slash == 2 && path.at(1) == QLatin1Char(':'))
        return path.left(3);
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

bool isGeneralIdentifier(const QString& identifier)
{
    return identifier.isEmpty() || identifier == ConfigManager::BuiltInProfileName;
}

bool readJsonObject(const QString& path, QJsonObject& object, bool& opened)
{
    QFile file(path);
    opened = file.open(QIODevice::ReadOnly | QIODevice::Text);
    if (!opened)
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return false;
    object = document.object();
    return true;
}

// Writes the file as a whole or not at all: the document goes to a new file beside it, which
// replaces the old one only once every byte is written and on the disk, and is then read back.
// Unbuffered, so that a write the disk cut short is seen (a buffered one is not). A full disk
// leaves the old file as it was and reports failure.
bool writeJsonObject(const QString& path, const QJsonObject& object)
{
    const QByteArray document = QJsonDocument(object).toJson(QJsonDocument::Indented);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(document) != document.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    QFile written(path);
    return written.open(QIODevice::ReadOnly) && written.readAll() == document;
}

} // namespace

// ---------------------------------------------------------------- profiles

QStringList ConfigManager::profileList()
{
    QStringList list = value(kProfileListKey).toStringList();
    list.removeAll(QString());
    return list;
}

void ConfigManager::writeProfileList(const QStringList& list)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (list.isEmpty())
        m_settings->remove(kProfileListKey);
    else
        setValue(kProfileListKey, list);
}

QString ConfigManager::currentProfileName()
{
    return text(kCurrentProfileKey, ReservedProfileName);
}

void ConfigManager::setCurrentProfile(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    setValue(kCurrentProfileKey, name);
    sync();
    qDebug().noquote() << "当前通达信配置方案已切换为:" << name;
}

void ConfigManager::loadCurrentProfile()
{
    const QString current = text(kCurrentProfileKey, ReservedProfileName);
    if (current.isEmpty())
        return;
    if (loadProfile(current)) {
        qDebug().noquote() << "已加载当前配置方案:" << current;
        saveConfig();
    } else {
        qWarning().noquote() << "无法加载当前配置方案:" << current;
    }
}

QString ConfigManager::profileFilePath(const QString& name)
{
    const QString dir = QDir::cleanPath(m_dataDir + QStringLiteral("/profiles"));
    if (!QDir(dir).exists())
        QDir().mkpath(dir);
    const QByteArray encoded = name.toUtf8().toBase64(QByteArray::Base64UrlEncoding);
    return dir + QLatin1Char('/') + QString::fromLatin1(encoded) + QStringLiteral(".json");
}

void ConfigManager::ensureBuiltInProfile()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (profileList().contains(BuiltInProfileName))
        return;
    qDebug().noquote() << "初始化金融终端默认配置...";

    QJsonObject profile;
    profile.insert(QStringLiteral("ProfileName"), BuiltInProfileName);
    profile.insert(QStringLiteral("ProcessIdentifier"), BuiltInProfileName);
    profile.insert(QStringLiteral("SaveTime"), QDateTime::currentDateTime().toString(kTimeFormat));
    for (int i = 0; i < 10; ++i)
        profile.insert(QLatin1String(kIndexFields[i].field), kBuiltInIndices[i]);

    const QString path = profileFilePath(BuiltInProfileName);
    if (!writeJsonObject(path, profile)) {
        qWarning().noquote() << "无法创建金融终端配置文件:" << path;
        return;
    }
    writeProfileList(profileList() << BuiltInProfileName);

    const QString current = value(kCurrentProfileKey).toString();
    if (current.isEmpty() || current == ReservedProfileName) {
        setValue(kCurrentProfileKey, BuiltInProfileName);
        qDebug().noquote() << "已将金融终端设置为当前配置方案";
    }
    sync();
    qDebug().noquote() << "金融终端默认配置已创建";
}

bool ConfigManager::saveProfile(const QString& name, const QString& processIdentifier)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (name.isEmpty()) {
        qWarning().noquote() << "配置方案名称不能为空";
        return false;
    }
    QJsonObject profile;
    profile.insert(QStringLiteral("ProfileName"), name);
    for (const IndexField& f : kIndexFields)
        profile.insert(QLatin1String(f.field), number(QLatin1String(f.key), -1));
    if (!processIdentifier.isEmpty())
        profile.insert(QStringLiteral("ProcessIdentifier"), processIdentifier);
    profile.insert(QStringLiteral("SaveTime"), QDateTime::currentDateTime().toString(kTimeFormat));

    qDebug().noquote() << "保存JSON配置方案:" << name << "CodeIndex=" << profile.value("CodeIndex").toInt()
                       << "NameIndex=" << profile.value("NameIndex").toInt()
                       << "PriceIndex=" << profile.value("PriceIndex").toInt()
                       << "QuantityIndex=" << profile.value("QuantityIndex").toInt();

    const QString path = profileFilePath(name);
    if (!writeJsonObject(path, profile)) {
        qWarning().noquote() << "无法打开文件:" << path;
        return false;
    }
    const QStringList list = profileList();
    if (!list.contains(name))
        writeProfileList(list + QStringList{name});
    setCurrentProfile(name);
    sync();
    qDebug().noquote() << "JSON配置方案已保存:" << path;
    return true;
}

bool ConfigManager::loadProfile(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (name.isEmpty()) {
        qWarning().noquote() << "配置方案名称不能为空";
        return false;
    }
    const QString path = profileFilePath(name);
    QJsonObject profile;
    bool opened = false;
    if (!readJsonObject(path, profile, opened)) {
        if (!opened)
            qWarning().noquote() << "无法打开文件:" << path;
        else
            qWarning().noquote() << "JSON格式错误:" << path;
        return false;
    }
    for (const IndexField& f : kIndexFields)
        setValue(QLatin1String(f.key), indexFromJson(profile.value(QLatin1String(f.field))));
    setCurrentProfile(name);
    sync();
    qDebug().noquote() << "JSON配置方案已加载:" << name;
    return true;
}

bool ConfigManager::renameProfile(const QString& oldName, const QString& newName)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (oldName.isEmpty() || newName.isEmpty()) {
        qWarning().noquote() << "配置方案名称不能为空";
        return false;
    }
    if (oldName == ReservedProfileName) {
        qWarning().noquote() << "不能重命名默认配置";
        return false;
    }
    QStringList list = profileList();
    if (list.contains(newName)) {
        qWarning().noquote() << "配置方案名称已存在:" << newName;
        return false;
    }
    const QString oldPath = profileFilePath(oldName);
    if (!QFile::exists(oldPath)) {
        qWarning().noquote() << "JSON文件不存在:" << oldPath;
        return false;
    }
    QJsonObject profile;
    bool opened = false;
    if (!readJsonObject(oldPath, profile, opened)) {
        if (!opened)
            qWarning().noquote() << "无法打开JSON文件:" << oldPath;
        else
            qWarning().noquote() << "JSON格式错误:" << oldPath;
        return false;
    }
    profile.insert(QStringLiteral("ProfileName"), newName);
    const QString newPath = profileFilePath(newName);
    if (!writeJsonObject(newPath, profile)) {
        qWarning().noquote() << "无法创建新JSON文件:" << newPath;
        return false;
    }
    // A profile missing from the list may be "renamed" to its own name: removing the old file
    // would then delete the one just written.
    if (newPath != oldPath)
        QFile::remove(oldPath);
    qDebug().noquote() << "已重命名JSON文件:" << oldPath << "->" << newPath;

    const int legacy = legacyProfileGroupIndex(oldName);
    if (legacy >= 0)
        m_settings->remove(kLegacyGroupPrefix + QString::number(legacy));

    const int at = list.indexOf(oldName);
    if (at >= 0) {
        list[at] = newName;
        writeProfileList(list);
    }
    if (currentProfileName() == oldName)
        setCurrentProfile(newName);
    sync();
    qDebug().noquote() << "通达信配置方案已重命名:" << oldName << "->" << newName;
    return true;
}

bool ConfigManager::deleteProfile(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (name.isEmpty() || name == ReservedProfileName) {
        qWarning().noquote() << "不能删除默认配置或空名称的配置方案";
        return false;
    }
    const QString path = profileFilePath(name);
    if (QFile::exists(path)) {
        if (!QFile::remove(path)) {
            qWarning().noquote() << "无法删除JSON文件:" << path;
            return false;
        }
        qDebug().noquote() << "已删除JSON文件:" << path;
    }
    const int legacy = legacyProfileGroupIndex(name);
    if (legacy >= 0) {
        const QString group = kLegacyGroupPrefix + QString::number(legacy);
        m_settings->remove(group);
        qDebug().noquote() << "已删除INI配置组:" << group;
    }
    QStringList list = profileList();
    list.removeAll(name);
    writeProfileList(list);

    if (currentProfileName() == name) {
        if (list.isEmpty()) {
            setCurrentProfile(QString());
        } else {
            setCurrentProfile(list.first());
            loadProfile(list.first());
        }
    }
    sync();
    qDebug().noquote() << "通达信配置方案已删除:" << name;
    return true;
}

int ConfigManager::legacyProfileGroupIndex(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (name.isEmpty())
        return -1;
    const QStringList groups = m_settings->childGroups();
    for (const QString& group : groups) {
        if (!group.startsWith(kLegacyGroupPrefix))
            continue;
        if (value(group + QStringLiteral("/ProfileName")).toString() != name)
            continue;
        bool ok = false;
        const int n = group.mid(kLegacyGroupPrefix.size()).toInt(&ok, 10);
        if (ok)
            return n;
    }
    return -1;
}

QString ConfigManager::profileString(const QString& name, const QString& key)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (name.isEmpty())
        return QString();
    QJsonObject profile;
    bool opened = false;
    if (!readJsonObject(profileFilePath(name), profile, opened))
        return QString();
    return profile.value(key).toString();
}

QString ConfigManager::profileProcessIdentifier(const QString& name)
{
    return profileString(name, QStringLiteral("ProcessIdentifier"));
}

QString ConfigManager::profileSaveTime(const QString& name)
{
    return profileString(name, QStringLiteral("SaveTime"));
}

QString ConfigManager::findProfileByProcessIdentifier(const QString& directory)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (directory.isEmpty())
        return QString();
    const QStringList list = profileList();
    for (const QString& name : list) {
        const QString identifier = profileProcessIdentifier(name);
        if (isGeneralIdentifier(identifier))
            continue;
        if (identifier.compare(directory, Qt::CaseInsensitive) == 0)
            return name;
    }
    return QString();
}

bool ConfigManager::selectProfileForDialog(platform::WindowId dialog,
                                           const std::function<void()>& reloadWorkerConfig)
{
    const platform::Services& os = platform::services();
    if (!os.desktop || !os.processes)
        return false;
    char16_t title[512] = {};
    os.desktop->windowText(dialog, title, 512);
    if (!QString::fromUtf16(title).contains(QStringLiteral("闪电")))
        return true;

    const QString exeDir = executableDirectory(dialog);
    if (exeDir.isEmpty())
        return false;
    switch (selectProfileForDirectory(exeDir)) {
    case ProfileSelection::Failed:
        return false;
    case ProfileSelection::Kept:
        return true;
    case ProfileSelection::Switched:
        break;
    }
    // Outside the lock: the worker may read the store again while it reloads.
    if (reloadWorkerConfig)
        reloadWorkerConfig();
    qDebug().noquote() << "[自动切换配置] 切换成功！";
    return true;
}

QString ConfigManager::executableDirectory(platform::WindowId window)
{
    const platform::Services& os = platform::services();
    if (!os.desktop || !os.processes)
        return QString();
    const platform::ProcessId pid = os.desktop->windowProcessId(window);
    if (pid == 0)
        return QString();
    const platform::ProcessHandle process =
        os.processes->openProcess(platform::access::QueryInformation | platform::access::VmRead, pid);
    if (process == 0)
        return QString();
    std::u16string imagePath;
    const bool found = os.processes->queryFullProcessImageName(process, imagePath);
    os.processes->closeHandle(process);
    if (!found || imagePath.empty())
        return QString();
    return imageDirectory(QString::fromStdU16String(imagePath));
}

QString ConfigManager::imageDirectory(const QString& imagePath)
{
    return directoryOf(qtFormPath(imagePath));
}

ConfigManager::ProfileSelection ConfigManager::selectProfileForDirectory(const QString& exeDir)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const QString parentDir = exeDir.endsWith(QLatin1Char('/')) ? exeDir : directoryOf(exeDir);
    const QString current = currentProfileName();
    const QString currentId = profileProcessIdentifier(current);
    if (!currentId.isEmpty() && (currentId.compare(exeDir, Qt::CaseInsensitive) == 0 ||
                                 currentId.compare(parentDir, Qt::CaseInsensitive) == 0))
        return ProfileSelection::Kept;

    const QString match = findProfileByProcessIdentifier(exeDir);
    if (!match.isEmpty()) {
        if (match != current) {
            qDebug().noquote() << "[自动切换配置] 检测到进程路径:" << exeDir;
            qDebug().noquote() << "[自动切换配置] 从" << current << "切换到" << match;
        }
        if (!switchProfile(match)) {
            qWarning().noquote() << "[自动切换配置] 加载配置失败:" << match;
            return ProfileSelection::Failed;
        }
        return ProfileSelection::Switched;
    }
    if (isGeneralIdentifier(currentId))
        return ProfileSelection::Kept;

    qDebug().noquote() << "[自动切换配置] 当前配置" << current << "的进程路径" << currentId
                       << "与实际进程路径" << exeDir << "不匹配";
    const QString general = firstGeneralProfile();
    if (!general.isEmpty() && general != current) {
        qDebug().noquote() << "[自动切换配置] 切换到通用配置:" << general;
        if (switchProfile(general))
            return ProfileSelection::Switched;
    }
    qDebug().noquote() << "[自动切换配置] 未找到通用配置，保持当前配置";
    return ProfileSelection::Kept;
}

bool ConfigManager::switchProfile(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!loadProfile(name))
        return false;
    setCurrentProfile(name);
    sync();
    return true;
}

QString ConfigManager::firstGeneralProfile()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (const QString& name : profileList()) {
        if (isGeneralIdentifier(profileProcessIdentifier(name)))
            return name;
    }
    return QString();
}
