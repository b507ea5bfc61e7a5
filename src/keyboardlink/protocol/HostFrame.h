#pragma once

// Frames the program sends to the keyboard:
//   5A <command> <N> <N payload bytes> <XOR of the payload> CA
// A frame lies within one output report behind the report number, so N is at most 58.

#include <QByteArray>
#include <QtGlobal>

class HostFrame
{
public:
    // The frame, or an empty array when the payload does not fit into one report.
    static QByteArray build(quint8 command, const QByteArray& payload = QByteArray());
    static QByteArray build(quint8 command, quint8 value) { return build(command, QByteArray(1, char(value))); }
};
