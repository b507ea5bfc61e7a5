#pragma once

// Putting a trading configuration into THS: the steps the configuration dialog's 应用 and the
// main window's THS menu share. THS must not run its order client (xiadan.exe) while xiadan.ini
// is rewritten, and xiadan.ini is backed up before every rewrite.

#include <QString>

namespace ThsApply {

enum class Result
{
    Applied,
    IniMissing,        // xiadan.ini does not exist (THS never logged in to trading)
    BackupFailed,      // xiadan.ini could not be copied
    ConfigUnreadable,  // the configuration file is gone or unreadable
    WriteFailed        // xiadan.ini could not be rewritten (it is unchanged)
};

// Ends the order client when its "网上股票交易系统" window is open, then waits a second for it to
// let go of its files. False when it runs and could not be ended.
bool closeOrderClient();

// The path of xiadan.ini in a THS directory ("" when the directory is unknown).
QString iniPathIn(const QString& thsDirectory);
// The configuration file of that name in the configuration directory.
QString configurationPath(const QString& configDirectory, const QString& name);

// Backs xiadan.ini up (keeping ten), reads the configuration file and writes its cleaned scheme
// set as the FLOATSCHEME of xiadan.ini.
Result applyConfiguration(const QString& iniPath, const QString& configurationFile);

// The number of backups of xiadan.ini that are kept.
constexpr int KeptBackups = 10;

} // namespace ThsApply
