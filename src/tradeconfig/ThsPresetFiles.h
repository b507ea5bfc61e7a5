#pragma once

// The order presets of 同花顺 (THS) as files: where THS is installed, the FLOATSCHEME line of its
// xiadan.ini, the trading configurations (交易配置) kept as JSON files in the program's
// configuration directory, and backups.
//
// xiadan.ini belongs to THS. It is read and written in GB2312; a rewrite changes only the
// FLOATSCHEME lines of its [FLOATSETTING] section, keeps every other line byte for byte with its
// own line break, and replaces the file atomically (a crash or a full disk leaves the old file).
// Configuration files are rewritten the same way. Nothing is cached: every call reads afresh.
// All operations run on the GUI thread and report failures by their result plus a log line.

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace ThsPresetFiles {

// The THS software ids of the desktop watcher.
constexpr int ThsClassic = 11;  // 同花顺
constexpr int ThsYuanhang = 12; // 同花顺远航版

// The install directory of that THS variant, from the registry (through the platform seam):
// 11: HKCU "Software\HexinSoft" FilePath as stored (it ends with a separator); 12: the
// 同花顺远航版 uninstall key's InstallLocation + "\transaction\". Empty when unknown.
QString thsInstallDirectory(int softwareId);

// Removes every CR and LF, collapses runs of white space to one space and trims.
QString cleanValue(const QString& value);

// The cleaned FLOATSCHEME value of the [FLOATSETTING] section (the last such line wins); empty
// when the file, the section or the line is missing.
QString readFloatScheme(const QString& iniPath);
// Replaces the section's FLOATSCHEME lines by one line "FLOATSCHEME=" + value, as the first line
// of the section. False, the file untouched, when the section has no line at all, the file
// cannot be read or replaced, or value has a line break or a character GB2312 cannot hold.
bool writeFloatScheme(const QString& iniPath, const QString& value);
// The configuration name of the scheme set in xiadan.ini.
bool currentConfigurationName(const QString& iniPath, QString& name);

// The name of a scheme set: the Name of the first list element whose Index reads 0; "default".
QString configurationName(const QJsonObject& schemeSet);
// The configuration names (file names without ".json") in numeral order. False when the
// directory does not exist.
bool listConfigurationNames(const QString& directory, QStringList& names);
// Names starting with 一 … 十 sort by that numeral and come first; then names with a numeral in
// second place, by it; then the rest; ties as UTF-16 strings.
bool numeralLessThan(const QString& a, const QString& b);

// The AmountType and AmountNumber of the first preset called name.
bool findPresetAmount(const QJsonObject& schemeSet, const QString& name, int& type, int& number);
// 定买, 融买 and 市买… take the buy values, 定卖 the sell values. True when both a 定买 and a 定卖
// were found.
bool updatePresetAmounts(QJsonObject& schemeSet, int buyType, int buyNumber, int sellType, int sellNumber);
// updatePresetAmounts on every "*.json" file of the directory, each rewritten atomically when it
// succeeds; a bad file is logged and left as it is. False when the directory does not exist.
bool updateAllConfigurationFiles(const QString& directory, int buyType, int buyNumber, int sellType,
                                 int sellNumber);

// A configuration file's scheme set as text (GB2312); false when it cannot be read.
bool readConfigurationFile(const QString& path, QString& text);

// Copies the file to "<absolute path>.<yyMMddhhmmss>.bak" beside it, then deletes the oldest
// backups of that file beyond keep, so that the newest keep remain. False when the file does not
// exist or the copy fails (nothing is deleted then).
bool backupFile(const QString& path, int keep);
// The name pattern of the file's backups ("xiadan.ini.*.bak").
QString backupPattern(const QString& path);

} // namespace ThsPresetFiles
