#pragma once

// A keyboard's key map in a small JSON file, so that a layout can be copied to another keyboard
// or restored after a factory reset:
//
//   {
//     "type": "ZentrikClock key map", "version": 1,
//     "serial": "ZK000001", "build": "20240115",
//     "keys": [ {"key": 1, "code": 1, "label": "查询"}, {"key": 2, "code": 10, "label": "定买"}, ... ]
//   }
//
// The code is what counts; the label is written for the reader and ignored when the file is read.

#include <QByteArray>
#include <QString>

namespace KeyMapFile {

struct Content
{
    QByteArray keyMap; // one function code per key, key 1 first
    QString serial;    // of the keyboard the map was saved from
    QString build;
};

QByteArray toJson(const Content& content);
// False with a message for the user when the data is not a key map.
bool fromJson(const QByteArray& json, Content* content, QString* error);

bool save(const QString& path, const Content& content, QString* error);
bool load(const QString& path, Content* content, QString* error);

} // namespace KeyMapFile
