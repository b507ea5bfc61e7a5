// Any bytes as "buy_amount_limits.json": loading must not crash; a file that is not a JSON object
// fails to load and leaves the store as it was (the process-wide store then falls back to the
// defaults and writes them); a loaded store holds exactly eight presets in the file's order and a
// current index of -1 to 7; and what is saved loads back equal.

#include "FuzzSupport.h"

#include "trade/BuyAmountConfig.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>

namespace {

QString g_path;

bool operator==(const BuyAmountConfig& a, const BuyAmountConfig& b)
{
    return a.limits() == b.limits() && a.currentIndex() == b.currentIndex();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    g_path = zkfuzz::setUp("fuzz_buyamountconfig") + QStringLiteral("/buy_amount_limits.json");
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    ZK_FUZZ_CHECK(zkfuzz::writeFile(g_path, input));

    BuyAmountConfig config(g_path);
    const QJsonDocument document = QJsonDocument::fromJson(input);
    const bool loaded = config.load();
    ZK_FUZZ_CHECK(loaded == document.isObject());
    if (!loaded) {
        ZK_FUZZ_CHECK(config.limits() == BuyAmountConfig::defaultLimits() && config.currentIndex() == -1);
        return 0;
    }

    const QList<BuyAmountLimit> limits = config.limits();
    ZK_FUZZ_CHECK(limits.size() == BuyAmountConfig::MaxLimits);
    ZK_FUZZ_CHECK(config.currentIndex() >= -1 && config.currentIndex() < BuyAmountConfig::MaxLimits);
    // The file's presets in order, then disabled empty ones.
    QList<QJsonObject> presets;
    for (const QJsonValue& v : document.object().value(QStringLiteral("limits")).toArray()) {
        if (v.isObject())
            presets.append(v.toObject());
    }
    for (int i = 0; i < limits.size(); ++i) {
        if (i < presets.size()) {
            ZK_FUZZ_CHECK(limits.at(i).name == presets.at(i).value(QStringLiteral("name")).toString());
        } else {
            ZK_FUZZ_CHECK(limits.at(i) == (BuyAmountLimit{false, 0, QString()}));
        }
        const int found = config.indexOfAmount(limits.at(i).amount);
        ZK_FUZZ_CHECK(limits.at(i).enabled ? found >= 0 && found <= i : found != i);
    }

    ZK_FUZZ_CHECK(config.save());
    BuyAmountConfig again(g_path);
    ZK_FUZZ_CHECK(again.load());
    ZK_FUZZ_CHECK(again == config);
    ZK_FUZZ_CHECK(again.save());
    BuyAmountConfig third(g_path);
    ZK_FUZZ_CHECK(third.load() && third == config);

    // The setters keep to their rules on whatever was loaded.
    for (int index = -2; index <= BuyAmountConfig::MaxLimits; ++index) {
        again.setCurrentIndex(index);
        const int now = again.currentIndex();
        ZK_FUZZ_CHECK(now >= -1 && now < BuyAmountConfig::MaxLimits);
        ZK_FUZZ_CHECK(now == -1 || now == config.currentIndex() || again.limits().at(now).enabled);
    }
    return 0;
}
