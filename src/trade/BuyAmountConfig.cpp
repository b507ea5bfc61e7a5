#include "trade/BuyAmountConfig.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

BuyAmountConfig& BuyAmountConfig::instance()
{
    static BuyAmountConfig* store = [] {
        auto* created = new BuyAmountConfig(defaultFilePath());
        if (!created->load()) {
            created->resetToDefaults();
            created->save();
        }
        return created;
    }();
    return *store;
}

BuyAmountConfig::BuyAmountConfig(const QString& filePath, QObject* parent)
    : QObject(parent), m_filePath(filePath), m_limits(defaultLimits())
{
}

QString BuyAmountConfig::defaultFilePath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    return QDir::cleanPath(dir + QStringLiteral("/buy_amount_limits.json"));
}

QList<BuyAmountLimit> BuyAmountConfig::defaultLimits()
{
    const QList<BuyAmountLimit> limits = {
        {true, 1000, QStringLiteral("最大1000元")}, {true, 5000, QStringLiteral("最大5000元")},
        {true, 8000, QStringLiteral("最大8000元")}, {true, 10000, QStringLiteral("最大1万元")},
        {true, 20000, QStringLiteral("最大2万元")}, {true, 30000, QStringLiteral("最大3万元")},
        {true, 50000, QStringLiteral("最大5万元")}, {false, 0, QString()},
    };
    return limits;
}

QString BuyAmountConfig::nameForAmount(int amount)
{
    if (amount < 1)
        return QString();
    if (amount < 10000)
        return QStringLiteral("最大%1元").arg(amount);
    if (amount % 10000 == 0)
        return QStringLiteral("最大%1万元").arg(amount / 10000);
    return QStringLiteral("最大%1万元").arg(amount / 10000.0, 0, 'f', 1);
}

int BuyAmountConfig::indexOfAmount(int amount) const
{
    for (int i = 0; i < m_limits.size(); ++i) {
        if (m_limits.at(i).enabled && m_limits.at(i).amount == amount)
            return i;
    }
    return -1;
}

void BuyAmountConfig::setLimits(const QList<BuyAmountLimit>& limits)
{
    if (limits.size() > MaxLimits) {
        qDebug().noquote() << "限额配置项最多8个";
        return;
    }
    m_limits = limits;
    if (m_currentIndex >= m_limits.size())
        m_currentIndex = -1;
    emit configChanged();
}

void BuyAmountConfig::setCurrentIndex(int index)
{
    if (index < -1 || index >= m_limits.size()) {
        qDebug().noquote() << "无效的索引：" << index;
        return;
    }
    if (index >= 0 && !m_limits.at(index).enabled) {
        qDebug().noquote() << "该限额项未启用：" << index;
        return;
    }
    m_currentIndex = index;
    emit configChanged();
}

bool BuyAmountConfig::load()
{
    qDebug().noquote() << "========== 买入限额配置加载 ==========";
    qDebug().noquote() << "文件路径：" << m_filePath;
    QFile file(m_filePath);
    if (!file.exists()) {
        qDebug().noquote() << "配置文件不存在：" << m_filePath;
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "无法打开配置文件进行读取：" << m_filePath;
        return false;
    }
    const QByteArray data = file.readAll();
    file.close();
    qDebug().noquote() << "读取字节数：" << data.size();

    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject()) {
        qDebug().noquote() << "配置文件格式错误";
        return false;
    }
    const QJsonObject root = document.object();
    int index = root.value(QStringLiteral("currentIndex")).toInt(-1);
    qDebug().noquote() << "加载的当前索引：" << index;
    // A hand-edited index outside the eight presets would point at nothing; treat it as none.
    if (index < -1 || index >= MaxLimits) {
        qDebug().noquote() << "无效的索引：" << index;
        index = -1;
    }

    QList<BuyAmountLimit> limits;
    const QJsonArray array = root.value(QStringLiteral("limits")).toArray();
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            continue;
        const QJsonObject object = element.toObject();
        BuyAmountLimit limit;
        limit.enabled = object.value(QStringLiteral("enabled")).toBool(true);
        limit.amount = object.value(QStringLiteral("amount")).toInt(0);
        limit.name = object.value(QStringLiteral("name")).toString();
        limits.append(limit);
    }
    while (limits.size() < MaxLimits)
        limits.append(BuyAmountLimit{false, 0, QString()});
    while (limits.size() > MaxLimits)
        limits.removeLast();

    m_limits = limits;
    m_currentIndex = index;
    qDebug().noquote() << "买入限额配置已加载，共" << m_limits.size() << "项";
    return true;
}

bool BuyAmountConfig::save()
{
    QJsonArray array;
    for (const BuyAmountLimit& limit : qAsConst(m_limits)) {
        QJsonObject object;
        object.insert(QStringLiteral("enabled"), limit.enabled);
        object.insert(QStringLiteral("amount"), limit.amount);
        object.insert(QStringLiteral("name"), limit.name);
        array.append(object);
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), QStringLiteral("1.0"));
    root.insert(QStringLiteral("currentIndex"), m_currentIndex);
    root.insert(QStringLiteral("limits"), array);
    const QByteArray data = QJsonDocument(root).toJson(QJsonDocument::Indented);

    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    // Written to a temporary file and renamed, so an interrupted write never leaves a torn file.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        qDebug().noquote() << "无法打开配置文件进行写入：" << m_filePath;
        return false;
    }
    const qint64 written = file.write(data);
    if (written != data.size() || !file.commit()) {
        qDebug().noquote() << "写入配置文件失败：" << m_filePath;
        return false;
    }
    qDebug().noquote() << "========== 买入限额配置保存 ==========";
    qDebug().noquote() << "文件路径：" << m_filePath;
    qDebug().noquote() << "当前索引：" << m_currentIndex;
    qDebug().noquote() << "写入字节：" << written;
    return true;
}

void BuyAmountConfig::resetToDefaults()
{
    m_limits = defaultLimits();
    m_currentIndex = -1;
    emit configChanged();
}
