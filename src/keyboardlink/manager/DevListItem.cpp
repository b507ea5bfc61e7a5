#include "keyboardlink/manager/DevListItem.h"

#include "keyboardlink/connection/USBDevice.h"

namespace Core {

QString DevListItem::label() const
{
    if (!isValid())
        return QString();
    const auto* usb = qobject_cast<const USBDevice*>(device.data());
    return connection->type() + QStringLiteral(": ") + (usb ? usb->serialNumber() : QString());
}

QString DevListItem::path() const
{
    const auto* usb = qobject_cast<const USBDevice*>(device.data());
    return usb ? usb->path() : QString();
}

} // namespace Core
