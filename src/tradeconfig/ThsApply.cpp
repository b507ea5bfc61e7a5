#include "tradeconfig/ThsApply.h"

#include "platform/api/Platform.h"
#include "trade/ProcessUtils.h"
#include "trade/WindowUtils.h"
#include "tradeconfig/ThsPresetFiles.h"

#include <QDir>
#include <QFileInfo>

namespace ThsApply {

bool closeOrderClient()
{
    if (!WindowUtils::findWindowByTitlePrefix(QStringLiteral("网上股票交易系统")))
        return true;
    ProcessUtils processes;
    if (!processes.killThsOrderClient())
        return false;
    platform::services().clock->sleepMs(1000);
    return true;
}

QString iniPathIn(const QString& thsDirectory)
{
    if (thsDirectory.isEmpty())
        return QString();
    return QDir::cleanPath(thsDirectory + QStringLiteral("/xiadan.ini"));
}

QString configurationPath(const QString& configDirectory, const QString& name)
{
    return QDir::cleanPath(configDirectory + QLatin1Char('/') + name + QStringLiteral(".json"));
}

Result applyConfiguration(const QString& iniPath, const QString& configurationFile)
{
    if (iniPath.isEmpty() || !QFileInfo::exists(iniPath))
        return Result::IniMissing;
    if (!ThsPresetFiles::backupFile(iniPath, KeptBackups))
        return Result::BackupFailed;
    QString text;
    if (!ThsPresetFiles::readConfigurationFile(configurationFile, text))
        return Result::ConfigUnreadable;
    if (!ThsPresetFiles::writeFloatScheme(iniPath, ThsPresetFiles::cleanValue(text)))
        return Result::WriteFailed;
    return Result::Applied;
}

} // namespace ThsApply
