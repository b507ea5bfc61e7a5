#pragma once

// The one settings object of the process: every persistent setting in "ZentrikClock.ini"
// (UTF-8 INI in the writable application data location) and the TDX profiles (one JSON file per
// profile under "profiles"; their operations live in ProfileStore.cpp, the settings file's damage
// filter in IniDamageFilter).
//
// Every operation is serialised by one recursive mutex: the GUI thread and the order dialog
// worker's thread both use the store, and profile operations call each other. The store keeps no
// copies of its own; every getter asks the INI data at the time of the call, every profile
// operation reads the list, the current name and the files afresh.

#include "platform/api/Types.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <mutex>

class QSettings;

class ConfigManager : public QObject
{
public:
    // The process-wide store on the writable AppDataLocation; created on first call (after the
    // application identity is set, since it shapes that location).
    static ConfigManager* instance();
    // Ends the process-wide store (flushing it); the next instance() opens the file again.
    static void destroyInstance();

    // A store on another data directory (tests, tools). Creates dataDir/config, opens
    // dataDir/ZentrikClock.ini, writes the start defaults, makes sure the built-in profile exists
    // and loads the current profile.
    explicit ConfigManager(const QString& dataDir);
    ~ConfigManager() override;

    ConfigManager(const ConfigManager&) = delete;
    ConfigManager& operator=(const ConfigManager&) = delete;

    // ---- whole-file operations
    void loadConfig();
    void resetAppearance();
    void saveConfig();
    QString configDirPath() const;
    QString iniFilePath() const;

    // ---- appearance
    QFont font();
    void setFont(const QFont& font);
    QColor fontColor();
    void setFontColor(const QColor& color);
    QColor backgroundColor();
    void setBackgroundColor(const QColor& color);
    int backgroundAlpha();
    void setBackgroundAlpha(int alpha);
    QString timeType();
    void setTimeType(const QString& pattern);

    // ---- feature switches
    bool ttsEnabled();
    void setTtsEnabled(bool on);
    bool alarmEnabled();
    void setAlarmEnabled(bool on);
    bool autoSwitch();
    void setAutoSwitch(bool on);
    bool stockCheck();
    void setStockCheck(bool on);

    // ---- window
    bool alwaysOnTop();
    void setAlwaysOnTop(bool on);
    bool fixedPosition();
    void setFixedPosition(bool on);
    bool bootOnStartup();
    void setBootOnStartup(bool on);
    QPoint windowPosition();
    void setWindowPosition(const QPoint& position);
    bool isWindowPositionUnset();
    QSize windowSize();

    // ---- keyboard
    bool multiKeyboardEnabled();
    void setMultiKeyboardEnabled(bool on);

    // ---- trading restrictions and limits
    bool tdxBuyAmountLimitEnabled();
    void setTdxBuyAmountLimitEnabled(bool on);
    int tdxBuyMaxAmount();
    void setTdxBuyMaxAmount(int amount);
    bool tdxBuyMaxPriceLimitEnabled();
    void setTdxBuyMaxPriceLimitEnabled(bool on);
    int tdxBuyMaxPrice();
    void setTdxBuyMaxPrice(int price);
    bool tdxBuyMinPriceLimitEnabled();
    void setTdxBuyMinPriceLimitEnabled(bool on);
    int tdxBuyMinPrice();
    void setTdxBuyMinPrice(int price);
    bool tdxOnlyMain();
    void setTdxOnlyMain(bool on);
    bool tdxOnlyZz();
    void setTdxOnlyZz(bool on);
    bool tdxNotST();
    void setTdxNotST(bool on);
    bool reportTradeTime();
    bool useSoftwareSplit();
    QPoint tdxPosition();
    void setTdxPosition(const QPoint& position);
    QPoint thsPosition();
    void setThsPosition(const QPoint& position);

    // ---- active TDX control indices (-1 = position unknown)
    int tdxCodeIndex();
    void setTdxCodeIndex(int index);
    int tdxNameIndex();
    void setTdxNameIndex(int index);
    int tdxPriceIndex();
    void setTdxPriceIndex(int index);
    int tdxQuantityIndex();
    void setTdxQuantityIndex(int index);
    int tdxMaxQuantityIndex();
    void setTdxMaxQuantityIndex(int index);
    int tdxMarginCodeIndex();
    void setTdxMarginCodeIndex(int index);
    int tdxMarginNameIndex();
    void setTdxMarginNameIndex(int index);
    int tdxMarginPriceIndex();
    void setTdxMarginPriceIndex(int index);
    int tdxMarginQuantityIndex();
    void setTdxMarginQuantityIndex(int index);
    int tdxMarginMaxQuantityIndex();
    void setTdxMarginMaxQuantityIndex(int index);

    // ---- TDX profiles
    QStringList profileList();
    QString currentProfileName();
    void setCurrentProfile(const QString& name);
    // Path of the profile's file (the Base64url of its UTF-8 name, '=' padding kept, + ".json");
    // creates the profile directory when missing.
    QString profileFilePath(const QString& name);
    bool saveProfile(const QString& name, const QString& processIdentifier);
    bool loadProfile(const QString& name);
    bool renameProfile(const QString& oldName, const QString& newName);
    bool deleteProfile(const QString& name);
    QString profileProcessIdentifier(const QString& name);
    QString profileSaveTime(const QString& name);
    // The first profile of the list measured on that directory (ignoring case); general
    // profiles never match. Empty when none.
    QString findProfileByProcessIdentifier(const QString& directory);
    bool autoSwitchProfileEnabled();
    void setAutoSwitchProfileEnabled(bool on);

    // Picks the profile that fits the TDX executable behind an order dialog (闪电买入 /
    // 闪电融资买入) and makes it current. The process is found through the platform seam
    // (desktop window → process → image path). reloadWorkerConfig is called after each switch so
    // the order dialog worker re-reads its configuration (it runs after the store's lock is
    // released, on the calling thread); it may be empty. False when the process or its image
    // path cannot be found, or a matching profile fails to load.
    bool selectProfileForDialog(platform::WindowId dialog, const std::function<void()>& reloadWorkerConfig);
    // The directory of the executable behind a window, in the form profiles store it
    // ("C:/new_tdx"); empty when the process or its image path cannot be had.
    static QString executableDirectory(platform::WindowId window);
    // The same for an image path as the system reports it ("C:\new_tdx\tdxw.exe" gives
    // "C:/new_tdx"); empty when the path has no directory.
    static QString imageDirectory(const QString& imagePath);

    // ---- value encodings, shared with anyone who reads such texts
    static QColor colorFromText(const QString& text);
    static QString colorToText(const QColor& color);
    static QPoint pointFromText(const QString& text);
    static QString pointToText(const QPoint& point);
    static QSize sizeFromText(const QString& text);

    static const QString ReservedProfileName; // "默认配置"
    static const QString BuiltInProfileName;  // "金融终端"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVariant value(const QString& key, const QVariant& defaultValue = QVariant());
    QString text(const QString& key, const QString& defaultValue);
    bool flag(const QString& key, bool defaultValue);
    int number(const QString& key, int defaultValue);
    void setValue(const QString& key, const QVariant& value);
    bool contains(const QString& key);
    void sync();

    void ensureBuiltInProfile();
    // At start: loads the current profile's indices (the store is built with it).
    void loadCurrentProfile();
    void writeProfileList(const QStringList& list);
    int legacyProfileGroupIndex(const QString& name);
    QString profileString(const QString& name, const QString& key);

    // The steps of selectProfileForDialog.
    enum class ProfileSelection
    {
        Kept,
        Switched,
        Failed
    };
    ProfileSelection selectProfileForDirectory(const QString& exeDir);
    // Loads the profile and makes it current, on disk at once.
    bool switchProfile(const QString& name);
    // The first profile of the list measured on no particular installation, empty when none.
    QString firstGeneralProfile();

    // A standard mutex rather than Qt's: the same semantics, and visible to the thread sanitizer.
    std::recursive_mutex m_mutex;
    QString m_dataDir;
    QSettings* m_settings = nullptr;
};
