#pragma once

// One HID interface as the monitor lists and announces it. Travels in queued signals under the
// meta-type name "USBPortInfo".

#include <QMetaType>
#include <QString>

struct USBPortInfo
{
    QString serialNumber;
    QString manufacturer;
    QString product;
    QString path; // what RawHID opens
    quint32 usagePage = 0;
    quint32 usage = 0;
    quint32 vendorId = 0;
    quint32 productId = 0;
    quint32 versionNumber = 0;
};

Q_DECLARE_METATYPE(USBPortInfo)
