#pragma once

#include <QList>
#include <QObject>
#include <QString>

// One quick amount preset: the amount limit of TDX buys it selects.
struct BuyAmountLimit
{
    bool enabled = false;
    int amount = 0; // yuan
    QString name;   // generated from the amount (BuyAmountConfig::nameForAmount)

    bool operator==(const BuyAmountLimit& other) const
    {
        return enabled == other.enabled && amount == other.amount && name == other.name;
    }
};

// The user's eight amount-limit presets and the one chosen, kept in "buy_amount_limits.json" in
// the application data directory. A missing or broken file never blocks: instance() falls back
// to the defaults and writes them.
class BuyAmountConfig : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxLimits = 8;

    // The process-wide store: created on first use, loaded, reset to the defaults and saved when
    // loading fails.
    static BuyAmountConfig& instance();

    // A store on the given file (the process-wide one uses defaultFilePath()).
    explicit BuyAmountConfig(const QString& filePath, QObject* parent = nullptr);

    // The writable application data location + "/buy_amount_limits.json"; creates the directory.
    static QString defaultFilePath();
    static QList<BuyAmountLimit> defaultLimits();
    // "最大1000元", "最大1万元", "最大1.5万元"; empty below 1.
    static QString nameForAmount(int amount);

    QString filePath() const { return m_filePath; }
    QList<BuyAmountLimit> limits() const { return m_limits; }
    int currentIndex() const { return m_currentIndex; }
    // The first enabled preset with that amount, or -1.
    int indexOfAmount(int amount) const;

    // More than 8 presets are refused. A current index that no longer exists becomes -1.
    void setLimits(const QList<BuyAmountLimit>& limits);
    // -1 (none) or the index of an enabled preset.
    void setCurrentIndex(int index);

    bool load();
    bool save();
    void resetToDefaults();

signals:
    void configChanged();

private:
    QString m_filePath;
    QList<BuyAmountLimit> m_limits;
    int m_currentIndex = -1;
};
