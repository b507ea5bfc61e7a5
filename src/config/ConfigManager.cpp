#include "ConfigManager.h"

#include "platform/api/Platform.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <cmath>
#include <limits>

const QString ConfigManager::ReservedProfileName = QStringLiteral("默认配置");
const QString ConfigManager::BuiltInProfileName = QStringLiteral("金融终端");

namespace {

ConfigManager* g_instance = nullptr;

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

// The appearance set, written at first start and by resetAppearance.
const QString kDefaultFamily = QStringLiteral("Arial");
const int kDefaultSize = 30;
const int kDefaultWeight = 75;
const bool kDefaultItalic = true;
const QString kDefaultFontColor = QStringLiteral("255,0,127");
const QString kDefaultBackgroundColor = QStringLiteral("0,0,0");
const int kDefaultAlpha = 2;
const QString kDefaultTimeType = QStringLiteral("hh:mm:ss");

// A number part of a colour or point text; anything that is not a number counts as 0.
int numberPart(const QString& part)
{
    bool ok = false;
    const int value = part.trimmed().toInt(&ok);
    return ok ? value : 0;
}

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

bool writeJsonObject(const QString& path, const QJsonObject& object)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    file.write(QJsonDocument(object).toJson(QJsonDocument::Indented));
    file.close();
    return true;
}

// The value of a digit in that base, or -1.
int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// Whether marker begins a value ("Key=@Variant(") or an element of a comma list: only there does the
// reader decode it. A text of the store's own that begins with '@' is written with the '@' doubled
// ("@@Variant(1)", a profile name), and must stay.
bool startsAValue(const QString& text, QLatin1String marker)
{
    for (int at = text.indexOf(marker); at >= 0; at = text.indexOf(marker, at + 1)) {
        int before = at - 1;
        while (before >= 0 && (text.at(before) == QLatin1Char(' ') || text.at(before) == QLatin1Char('\t')))
            --before;
        if (before >= 0 && (text.at(before) == QLatin1Char('=') || text.at(before) == QLatin1Char(',')))
            return true;
    }
    return false;
}

// Qt's INI reader turns a value written as @Variant(...) or @DateTime(...) into whatever object
// the bytes inside describe, trusting the counts they hold: a damaged value can make it ask for
// more memory than there is, and the program would end at every start. The store never writes
// such values (it keeps texts, numbers, switches and text lists), so a line that would read as one
// is damage. A line is looked at as the reader sees it: quotes dropped, escapes decoded (an '@'
// may be written "\x40"), a backslash at the end joining the next line.
bool readsAsEncodedValue(const QByteArray& line)
{
    static const char escapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                      {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                      {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QString text;
    const int n = line.size();
    for (int i = 0; i < n;) {
        const char c = line.at(i++);
        if (c == '"')
            continue;
        if (c != '\\') {
            text += QChar(uchar(c)); // bytes of UTF-8 sequences never read as the ASCII markers
            continue;
        }
        if (i >= n)
            break;
        const char e = line.at(i++);
        const char* mapped = nullptr;
        for (const auto& escape : escapes) {
            if (e == escape[0])
                mapped = &escape[1];
        }
        if (mapped) {
            text += QLatin1Char(*mapped);
        } else if (e == 'x' || (e >= '0' && e <= '7')) {
            // As many digits as follow; the reader keeps the low 16 bits.
            const int base = e == 'x' ? 16 : 8;
            uint value = e == 'x' ? 0 : uint(e - '0');
            bool any = e != 'x';
            for (int digit; i < n && (digit = digitValue(line.at(i), base)) >= 0; ++i) {
                value = (value * uint(base) + uint(digit)) & 0xFFFF;
                any = true;
            }
            if (any)
                text += QChar(ushort(value));
        } else if ((e == '\n' || e == '\r') && i < n && (line.at(i) == '\n' || line.at(i) == '\r') &&
                   line.at(i) != e) {
            ++i; // a continued line: the break itself reads as nothing
        }
        // any other escaped character reads as nothing
    }
    return startsAValue(text, QLatin1String("@Variant(")) || startsAValue(text, QLatin1String("@DateTime("));
}

// Drops the lines of the settings file that would read as such values, before Qt's reader sees
// the file; every other byte of it stays as it was.
void dropEncodedValues(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray raw = file.readAll();
    file.close();
    if (!readsAsEncodedValue(raw))
        return;

    QByteArray kept;
    int start = 0;
    const auto endLine = [&](int end) {
        const QByteArray line = raw.mid(start, end - start);
        if (readsAsEncodedValue(line))
            qWarning().noquote() << "设置文件中无法读取的行已删除:" << QString::fromUtf8(line).trimmed();
        else
            kept += line;
        start = end;
    };
    // Lines end at a line break that is not escaped, as the reader splits them.
    for (int i = 0; i < raw.size();) {
        const char c = raw.at(i++);
        if (c == '\\' && i < raw.size()) {
            const char e = raw.at(i++);
            if ((e == '\n' || e == '\r') && i < raw.size() && (raw.at(i) == '\n' || raw.at(i) == '\r') &&
                raw.at(i) != e)
                ++i;
        } else if (c == '\n' || c == '\r') {
            endLine(i);
        }
    }
    endLine(raw.size());

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(kept) != kept.size() || !out.commit())
        qWarning().noquote() << "无法写入设置文件:" << path;
}

} // namespace

// ---------------------------------------------------------------- construction

ConfigManager* ConfigManager::instance()
{
    // The GUI thread creates it while the main window is built, before any worker exists.
    if (!g_instance)
        g_instance = new ConfigManager(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    return g_instance;
}

void ConfigManager::destroyInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

ConfigManager::ConfigManager(const QString& dataDir) : m_dataDir(QDir::cleanPath(dataDir))
{
    QDir().mkpath(configDirPath());

    dropEncodedValues(iniFilePath());
    m_settings = new QSettings(iniFilePath(), QSettings::IniFormat, this);
    m_settings->setIniCodec("UTF-8");
    // QSettings flushes itself from the event loop of this thread; route that flush through the
    // store's lock, since the worker thread may be writing at the same moment.
    m_settings->installEventFilter(this);

    loadConfig();
    ensureBuiltInProfile();

    const QString current = text(kCurrentProfileKey, ReservedProfileName);
    if (!current.isEmpty()) {
        if (loadProfile(current)) {
            qDebug().noquote() << "已加载当前配置方案:" << current;
            saveConfig();
        } else {
            qWarning().noquote() << "无法加载当前配置方案:" << current;
        }
    }
}

ConfigManager::~ConfigManager()
{
    if (g_instance == this)
        g_instance = nullptr;
    saveConfig();
}

bool ConfigManager::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_settings && event->type() == QEvent::UpdateRequest) {
        sync();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------- raw access

QVariant ConfigManager::value(const QString& key, const QVariant& defaultValue)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_settings->value(key, defaultValue);
}

QString ConfigManager::text(const QString& key, const QString& defaultValue)
{
    const QVariant v = value(key, defaultValue);
    // An unquoted value with commas (a hand-edited "10,20") reads back as a list.
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

bool ConfigManager::flag(const QString& key, bool defaultValue)
{
    const QVariant v = value(key);
    if (!v.isValid())
        return defaultValue;
    if (v.type() == QVariant::Bool)
        return v.toBool();
    const QString t = v.toString().trimmed().toLower();
    return t == QLatin1String("true") || t == QLatin1String("1");
}

int ConfigManager::number(const QString& key, int defaultValue)
{
    const QVariant v = value(key);
    if (!v.isValid())
        return defaultValue;
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n : 0;
}

void ConfigManager::setValue(const QString& key, const QVariant& value)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_settings->setValue(key, value);
}

bool ConfigManager::contains(const QString& key)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_settings->contains(key);
}

void ConfigManager::sync()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_settings->sync();
}

// ---------------------------------------------------------------- whole file

QString ConfigManager::configDirPath() const
{
    return m_dataDir + QStringLiteral("/config");
}

QString ConfigManager::iniFilePath() const
{
    return m_dataDir + QStringLiteral("/ZentrikClock.ini");
}

void ConfigManager::loadConfig()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!contains(QStringLiteral("Font/Family"))) {
        setValue(QStringLiteral("Font/Family"), kDefaultFamily);
        setValue(QStringLiteral("Font/Size"), kDefaultSize);
        setValue(QStringLiteral("Font/Weight"), kDefaultWeight);
        setValue(QStringLiteral("Font/Italic"), kDefaultItalic);
    }
    const std::pair<QString, QVariant> defaults[] = {
        {QStringLiteral("Font/Color"), kDefaultFontColor},
        {QStringLiteral("Background/Color"), kDefaultBackgroundColor},
        {QStringLiteral("Background/Alpha"), kDefaultAlpha},
        {QStringLiteral("Features/TimeType"), kDefaultTimeType},
        {QStringLiteral("Features/TTS"), true},
        {QStringLiteral("Features/Alarm"), true},
        {QStringLiteral("Features/AutoSwitch"), true},
        {QStringLiteral("Features/StockCheck"), false},
        {QStringLiteral("Window/AlwaysOnTop"), true},
        {QStringLiteral("Window/FixedPosition"), false},
        {QStringLiteral("Window/BootOnStartup"), true},
    };
    for (const auto& d : defaults) {
        if (!contains(d.first))
            setValue(d.first, d.second);
    }
    qDebug().noquote() << "Configuration loaded successfully";
}

void ConfigManager::resetAppearance()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    setValue(QStringLiteral("Font/Family"), kDefaultFamily);
    setValue(QStringLiteral("Font/Size"), kDefaultSize);
    setValue(QStringLiteral("Font/Weight"), kDefaultWeight);
    setValue(QStringLiteral("Font/Italic"), kDefaultItalic);
    setValue(QStringLiteral("Font/Color"), kDefaultFontColor);
    setValue(QStringLiteral("Background/Color"), kDefaultBackgroundColor);
    setValue(QStringLiteral("Background/Alpha"), kDefaultAlpha);
    setValue(QStringLiteral("Features/TimeType"), kDefaultTimeType);
    saveConfig();
    qDebug().noquote() << "Appearance settings reset to defaults";
}

void ConfigManager::saveConfig()
{
    sync();
    qDebug().noquote() << "Configuration saved successfully";
}

// ---------------------------------------------------------------- encodings

QColor ConfigManager::colorFromText(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 3)
        return QColor(0, 0, 0);
    // Out-of-range parts are clamped: QColor would otherwise turn the whole colour invalid.
    return QColor(qBound(0, numberPart(parts.at(0)), 255), qBound(0, numberPart(parts.at(1)), 255),
                  qBound(0, numberPart(parts.at(2)), 255));
}

QString ConfigManager::colorToText(const QColor& color)
{
    return QStringLiteral("%1,%2,%3").arg(color.red()).arg(color.green()).arg(color.blue());
}

QPoint ConfigManager::pointFromText(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 2)
        return QPoint(0, 0);
    return QPoint(numberPart(parts.at(0)), numberPart(parts.at(1)));
}

QString ConfigManager::pointToText(const QPoint& point)
{
    return QStringLiteral("%1,%2").arg(point.x()).arg(point.y());
}

QSize ConfigManager::sizeFromText(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 2)
        return QSize(200, 200);
    return QSize(numberPart(parts.at(0)), numberPart(parts.at(1)));
}

// ---------------------------------------------------------------- typed settings

QFont ConfigManager::font()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    QFont f(text(QStringLiteral("Font/Family"), kDefaultFamily));
    // A hand-edited file may hold sizes and weights QFont cannot take.
    const int size = number(QStringLiteral("Font/Size"), kDefaultSize);
    f.setPointSize(size > 0 ? size : kDefaultSize);
    f.setWeight(qBound(0, number(QStringLiteral("Font/Weight"), kDefaultWeight), 99));
    f.setItalic(flag(QStringLiteral("Font/Italic"), kDefaultItalic));
    return f;
}

void ConfigManager::setFont(const QFont& font)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    setValue(QStringLiteral("Font/Family"), font.family());
    setValue(QStringLiteral("Font/Size"), font.pointSize());
    setValue(QStringLiteral("Font/Weight"), font.weight());
    setValue(QStringLiteral("Font/Italic"), font.style() != QFont::StyleNormal);
}

QColor ConfigManager::fontColor()
{
    return colorFromText(text(QStringLiteral("Font/Color"), kDefaultFontColor));
}

void ConfigManager::setFontColor(const QColor& color)
{
    setValue(QStringLiteral("Font/Color"), colorToText(color));
}

QColor ConfigManager::backgroundColor()
{
    return colorFromText(text(QStringLiteral("Background/Color"), kDefaultBackgroundColor));
}

void ConfigManager::setBackgroundColor(const QColor& color)
{
    setValue(QStringLiteral("Background/Color"), colorToText(color));
}

int ConfigManager::backgroundAlpha()
{
    return number(QStringLiteral("Background/Alpha"), kDefaultAlpha);
}

void ConfigManager::setBackgroundAlpha(int alpha)
{
    setValue(QStringLiteral("Background/Alpha"), alpha);
}

QString ConfigManager::timeType()
{
    return text(QStringLiteral("Features/TimeType"), kDefaultTimeType);
}

void ConfigManager::setTimeType(const QString& pattern)
{
    setValue(QStringLiteral("Features/TimeType"), pattern);
}

#define ZK_BOOL_SETTING(getter, setter, key, def)                                                            \
    bool ConfigManager::getter()                                                                             \
    {                                                                                                        \
        return flag(QStringLiteral(key), def);                                                               \
    }                                                                                                        \
    void ConfigManager::setter(bool on)                                                                      \
    {                                                                                                        \
        setValue(QStringLiteral(key), on);                                                                   \
    }

#define ZK_INT_SETTING(getter, setter, key, def)                                                             \
    int ConfigManager::getter()                                                                              \
    {                                                                                                        \
        return number(QStringLiteral(key), def);                                                             \
    }                                                                                                        \
    void ConfigManager::setter(int n)                                                                        \
    {                                                                                                        \
        setValue(QStringLiteral(key), n);                                                                    \
    }

#define ZK_POINT_SETTING(getter, setter, key)                                                                \
    QPoint ConfigManager::getter()                                                                           \
    {                                                                                                        \
        return pointFromText(text(QStringLiteral(key), QStringLiteral("0,0")));                              \
    }                                                                                                        \
    void ConfigManager::setter(const QPoint& p)                                                              \
    {                                                                                                        \
        setValue(QStringLiteral(key), pointToText(p));                                                       \
    }

ZK_BOOL_SETTING(ttsEnabled, setTtsEnabled, "Features/TTS", true)
ZK_BOOL_SETTING(alarmEnabled, setAlarmEnabled, "Features/Alarm", true)
ZK_BOOL_SETTING(autoSwitch, setAutoSwitch, "Features/AutoSwitch", true)
ZK_BOOL_SETTING(stockCheck, setStockCheck, "Features/StockCheck", false)
ZK_BOOL_SETTING(alwaysOnTop, setAlwaysOnTop, "Window/AlwaysOnTop", true)
ZK_BOOL_SETTING(fixedPosition, setFixedPosition, "Window/FixedPosition", false)
ZK_BOOL_SETTING(bootOnStartup, setBootOnStartup, "Window/BootOnStartup", true)
ZK_POINT_SETTING(windowPosition, setWindowPosition, "Window/Position")
ZK_BOOL_SETTING(tdxBuyAmountLimitEnabled, setTdxBuyAmountLimitEnabled, "Software/TdxBuyAmountLimt", false)
ZK_INT_SETTING(tdxBuyMaxAmount, setTdxBuyMaxAmount, "Software/TdxBuyMaxAmount", 10000)
ZK_BOOL_SETTING(tdxBuyMaxPriceLimitEnabled, setTdxBuyMaxPriceLimitEnabled, "Software/TdxBuyMaxPriceLimit",
                false)
ZK_INT_SETTING(tdxBuyMaxPrice, setTdxBuyMaxPrice, "Software/TdxBuyMaxPrice", 30)
ZK_BOOL_SETTING(tdxBuyMinPriceLimitEnabled, setTdxBuyMinPriceLimitEnabled, "Software/TdxBuyMinPriceLimit",
                false)
ZK_INT_SETTING(tdxBuyMinPrice, setTdxBuyMinPrice, "Software/TdxBuyMinPrice", 0)
ZK_BOOL_SETTING(tdxOnlyMain, setTdxOnlyMain, "Software/TdxOnlyMain", false)
ZK_BOOL_SETTING(tdxOnlyZz, setTdxOnlyZz, "Software/TdxOnlyZz", false)
ZK_BOOL_SETTING(tdxNotST, setTdxNotST, "Software/TdxNotST", false)
ZK_POINT_SETTING(tdxPosition, setTdxPosition, "Software/TdxPosition")
ZK_POINT_SETTING(thsPosition, setThsPosition, "Software/ThsPosition")
ZK_BOOL_SETTING(autoSwitchProfileEnabled, setAutoSwitchProfileEnabled, "Software/EnableAutoSwitchProfile",
                true)
ZK_INT_SETTING(tdxCodeIndex, setTdxCodeIndex, "Software/TdxCodeIndex", -1)
ZK_INT_SETTING(tdxNameIndex, setTdxNameIndex, "Software/TdxNameIndex", -1)
ZK_INT_SETTING(tdxPriceIndex, setTdxPriceIndex, "Software/TdxPriceIndex", -1)
ZK_INT_SETTING(tdxQuantityIndex, setTdxQuantityIndex, "Software/TdxQuantityIndex", -1)
ZK_INT_SETTING(tdxMaxQuantityIndex, setTdxMaxQuantityIndex, "Software/TdxMaxQuantityIndex", -1)
ZK_INT_SETTING(tdxMarginCodeIndex, setTdxMarginCodeIndex, "Software/TdxMarginCodeIndex", -1)
ZK_INT_SETTING(tdxMarginNameIndex, setTdxMarginNameIndex, "Software/TdxMarginNameIndex", -1)
ZK_INT_SETTING(tdxMarginPriceIndex, setTdxMarginPriceIndex, "Software/TdxMarginPriceIndex", -1)
ZK_INT_SETTING(tdxMarginQuantityIndex, setTdxMarginQuantityIndex, "Software/TdxMarginQuantityIndex", -1)
ZK_INT_SETTING(tdxMarginMaxQuantityIndex, setTdxMarginMaxQuantityIndex, "Software/TdxMarginMaxQuantityIndex",
               -1)

#undef ZK_BOOL_SETTING
#undef ZK_INT_SETTING
#undef ZK_POINT_SETTING

bool ConfigManager::isWindowPositionUnset()
{
    return windowPosition() == QPoint(0, 0);
}

QSize ConfigManager::windowSize()
{
    return sizeFromText(text(QStringLiteral("Window/Size"), QStringLiteral("200,200")));
}

bool ConfigManager::multiKeyboardEnabled()
{
    return flag(QStringLiteral("Keyboard/MultiKeyboardEnabled"), false);
}

void ConfigManager::setMultiKeyboardEnabled(bool on)
{
    setValue(QStringLiteral("Keyboard/MultiKeyboardEnabled"), on);
    qDebug().noquote() << "多键盘支持配置已保存:" << (on ? "启用" : "禁用");
}

bool ConfigManager::reportTradeTime()
{
    return flag(QStringLiteral("Software/ReportTradeTime"), true);
}

bool ConfigManager::useSoftwareSplit()
{
    return flag(QStringLiteral("Software/UseSoftwareSplit"), true);
}

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
