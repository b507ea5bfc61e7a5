#pragma once

// The settings file's damage filter: Qt's INI reader decodes a value written as @Variant(...) or
// @DateTime(...) into whatever object its bytes describe, trusting the counts inside. The store
// never writes such values, so a line that would read as one is damage, and goes before the
// reader sees the file.

#include <QByteArray>
#include <QString>

namespace config {

// Whether the reader would decode some value of this line (or these lines) as such an object.
bool readsAsEncodedValue(const QByteArray& line);

// Drops the lines of the settings file that would read as such values; every other byte of the
// file stays as it was. Each dropped line is a warning.
void dropEncodedValues(const QString& path);

} // namespace config
