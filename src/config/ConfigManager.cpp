#include "ConfigManager.h"

#include "IniDamageFilter.h"

#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QSettings>
#include <QStandardPaths>

namespace {

ConfigManager* g_instance = nullptr;

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

    config::dropEncodedValues(iniFilePath());
    m_settings = new QSettings(iniFilePath(), QSettings::IniFormat, this);
    m_settings->setIniCodec("UTF-8");
    // QSettings flushes itself from the event loop of this thread; route that flush through the
    // store's lock, since the worker thread may be writing at the same moment.
    m_settings->installEventFilter(this);

    loadConfig();
    ensureBuiltInProfile();
    loadCurrentProfile();
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
