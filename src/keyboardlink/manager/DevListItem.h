#pragma once

// One keyboard that can be connected: the connection kind that listed it and the device object
// that connection made for it. The device is guarded, so an item whose device was deleted stops
// being valid instead of pointing at freed memory.

#include "keyboardlink/connection/IConnection.h"
#include "keyboardlink/connection/IDevice.h"

#include <QMetaType>
#include <QPointer>
#include <QString>

namespace Core {

struct DevListItem
{
    IConnection* connection = nullptr;
    QPointer<IDevice> device;

    DevListItem() = default;
    DevListItem(IConnection* c, IDevice* d) : connection(c), device(d) {}

    bool isValid() const { return connection && device; }
    // "USB: <serial>" for a HID keyboard; empty for an invalid item.
    QString label() const;
    // The device's interface path; empty when unknown.
    QString path() const;
    // The same connection and the same device object.
    bool sameObjects(const DevListItem& other) const
    {
        return connection == other.connection && device == other.device;
    }
};

} // namespace Core

Q_DECLARE_METATYPE(Core::DevListItem)
