// Any bytes as "ZentrikClock.ini" (a file users edit by hand and other programs may damage): the
// store must start on it, every getter must give a value its users can take (font sizes QFont
// accepts, opaque colours with parts 0-255), writing each value back through its setter must read
// back the same, and what was saved must read back equal after a restart. Profile operations on
// whatever list and legacy groups the file holds must not crash either.

#include "FuzzSupport.h"

#include "config/ConfigManager.h"

#include <QCoreApplication>
#include <QFont>

#include <cstdint>

namespace {

QString g_work;
int g_run = 0;

struct Snapshot
{
    QString family;
    int pointSize = 0, weight = 0;
    bool italic = false;
    QRgb fontColor = 0, backgroundColor = 0;
    int alpha = 0;
    QString timeType;
    QVector<bool> switches;
    QPoint position, tdxPosition, thsPosition;
    bool positionUnset = false;
    QSize size;
    QVector<int> numbers;
    QStringList profiles;
    QString current;

    bool operator==(const Snapshot& o) const
    {
        return family == o.family && pointSize == o.pointSize && weight == o.weight && italic == o.italic &&
               fontColor == o.fontColor && backgroundColor == o.backgroundColor && alpha == o.alpha &&
               timeType == o.timeType && switches == o.switches && position == o.position &&
               tdxPosition == o.tdxPosition && thsPosition == o.thsPosition &&
               positionUnset == o.positionUnset && size == o.size && numbers == o.numbers &&
               profiles == o.profiles && current == o.current;
    }
};

void checkColor(const QColor& c)
{
    ZK_FUZZ_CHECK(c.isValid());
    ZK_FUZZ_CHECK(c.alpha() == 255);
}

Snapshot read(ConfigManager& s)
{
    Snapshot r;
    const QFont font = s.font();
    r.family = font.family();
    r.pointSize = font.pointSize();
    r.weight = font.weight();
    r.italic = font.italic();
    ZK_FUZZ_CHECK(r.pointSize > 0);
    ZK_FUZZ_CHECK(r.weight >= 0 && r.weight <= 99);

    const QColor fontColor = s.fontColor();
    const QColor backgroundColor = s.backgroundColor();
    checkColor(fontColor);
    checkColor(backgroundColor);
    r.fontColor = fontColor.rgba();
    r.backgroundColor = backgroundColor.rgba();
    r.alpha = s.backgroundAlpha();
    r.timeType = s.timeType();

    r.switches = {s.ttsEnabled(),
                  s.alarmEnabled(),
                  s.autoSwitch(),
                  s.stockCheck(),
                  s.alwaysOnTop(),
                  s.fixedPosition(),
                  s.bootOnStartup(),
                  s.multiKeyboardEnabled(),
                  s.tdxBuyAmountLimitEnabled(),
                  s.tdxBuyMaxPriceLimitEnabled(),
                  s.tdxBuyMinPriceLimitEnabled(),
                  s.tdxOnlyMain(),
                  s.tdxOnlyZz(),
                  s.tdxNotST(),
                  s.reportTradeTime(),
                  s.useSoftwareSplit(),
                  s.autoSwitchProfileEnabled()};
    r.position = s.windowPosition();
    r.positionUnset = s.isWindowPositionUnset();
    ZK_FUZZ_CHECK(r.positionUnset == (r.position == QPoint(0, 0)));
    r.tdxPosition = s.tdxPosition();
    r.thsPosition = s.thsPosition();
    r.size = s.windowSize();
    r.numbers = {s.tdxBuyMaxAmount(),
                 s.tdxBuyMaxPrice(),
                 s.tdxBuyMinPrice(),
                 s.tdxCodeIndex(),
                 s.tdxNameIndex(),
                 s.tdxPriceIndex(),
                 s.tdxQuantityIndex(),
                 s.tdxMaxQuantityIndex(),
                 s.tdxMarginCodeIndex(),
                 s.tdxMarginNameIndex(),
                 s.tdxMarginPriceIndex(),
                 s.tdxMarginQuantityIndex(),
                 s.tdxMarginMaxQuantityIndex()};
    r.profiles = s.profileList();
    ZK_FUZZ_CHECK(!r.profiles.contains(QString()));
    // The start makes sure of the built-in profile.
    ZK_FUZZ_CHECK(r.profiles.contains(ConfigManager::BuiltInProfileName));
    r.current = s.currentProfileName();
    return r;
}

// Every value written back through its own setter.
void writeBack(ConfigManager& s, const Snapshot& r)
{
    QFont font(r.family);
    font.setPointSize(r.pointSize);
    font.setWeight(r.weight);
    font.setItalic(r.italic);
    s.setFont(font);
    s.setFontColor(QColor::fromRgba(r.fontColor));
    s.setBackgroundColor(QColor::fromRgba(r.backgroundColor));
    s.setBackgroundAlpha(r.alpha);
    s.setTimeType(r.timeType);
    s.setTtsEnabled(r.switches[0]);
    s.setAlarmEnabled(r.switches[1]);
    s.setAutoSwitch(r.switches[2]);
    s.setStockCheck(r.switches[3]);
    s.setAlwaysOnTop(r.switches[4]);
    s.setFixedPosition(r.switches[5]);
    s.setBootOnStartup(r.switches[6]);
    s.setMultiKeyboardEnabled(r.switches[7]);
    s.setTdxBuyAmountLimitEnabled(r.switches[8]);
    s.setTdxBuyMaxPriceLimitEnabled(r.switches[9]);
    s.setTdxBuyMinPriceLimitEnabled(r.switches[10]);
    s.setTdxOnlyMain(r.switches[11]);
    s.setTdxOnlyZz(r.switches[12]);
    s.setTdxNotST(r.switches[13]);
    s.setAutoSwitchProfileEnabled(r.switches[16]);
    s.setWindowPosition(r.position);
    s.setTdxPosition(r.tdxPosition);
    s.setThsPosition(r.thsPosition);
    s.setTdxBuyMaxAmount(r.numbers[0]);
    s.setTdxBuyMaxPrice(r.numbers[1]);
    s.setTdxBuyMinPrice(r.numbers[2]);
    s.setTdxCodeIndex(r.numbers[3]);
    s.setTdxNameIndex(r.numbers[4]);
    s.setTdxPriceIndex(r.numbers[5]);
    s.setTdxQuantityIndex(r.numbers[6]);
    s.setTdxMaxQuantityIndex(r.numbers[7]);
    s.setTdxMarginCodeIndex(r.numbers[8]);
    s.setTdxMarginNameIndex(r.numbers[9]);
    s.setTdxMarginPriceIndex(r.numbers[10]);
    s.setTdxMarginQuantityIndex(r.numbers[11]);
    s.setTdxMarginMaxQuantityIndex(r.numbers[12]);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    g_work = zkfuzz::setUp("fuzz_configini");
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A directory of its own per input: the settings object caches files by path.
    const QString dir = g_work + QLatin1Char('/') + QString::number(++g_run);
    QDir().mkpath(dir);
    ZK_FUZZ_CHECK(zkfuzz::writeFile(dir + QStringLiteral("/ZentrikClock.ini"),
                                    QByteArray(reinterpret_cast<const char*>(data), int(size))));
    Snapshot first;
    {
        ConfigManager store(dir);
        first = read(store);
        store.loadConfig(); // filling in defaults twice changes nothing
        ZK_FUZZ_CHECK(read(store) == first);
        store.saveConfig();
    }
    {
        ConfigManager again(dir);
        ZK_FUZZ_CHECK(read(again) == first);
        writeBack(again, first);
        ZK_FUZZ_CHECK(read(again) == first);
        again.resetAppearance();
        read(again);

        // The profile operations on the file's list and legacy groups.
        const QStringList profiles = again.profileList();
        for (const QString& name : profiles.mid(0, 4)) {
            again.profileProcessIdentifier(name);
            again.profileSaveTime(name);
        }
        again.findProfileByProcessIdentifier(QStringLiteral("C:/new_tdx"));
        for (const QString& name : profiles.mid(0, 2)) {
            if (name == ConfigManager::BuiltInProfileName)
                continue;
            const QString renamed = name + QStringLiteral("'");
            if (again.renameProfile(name, renamed))
                ZK_FUZZ_CHECK(again.profileList().contains(renamed) && !again.profileList().contains(name));
            ZK_FUZZ_CHECK(again.deleteProfile(renamed));
            ZK_FUZZ_CHECK(!again.profileList().contains(renamed));
            ZK_FUZZ_CHECK(again.deleteProfile(name) == (name != ConfigManager::ReservedProfileName));
        }
    }
    QDir(dir).removeRecursively();
    return 0;
}
