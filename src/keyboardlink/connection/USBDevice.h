#pragma once

// A keyboard's HID interface as RawHIDConnection lists it.

#include "IDevice.h"

#include <QString>

class USBDevice : public Core::IDevice
{
    Q_OBJECT
public:
    USBDevice(const QString& serialNumber, const QString& product, const QString& path, quint32 vendorId,
              quint32 productId, QObject* parent = nullptr);

    QString serialNumber() const { return m_serialNumber; }
    QString product() const { return m_product; }
    QString path() const { return m_path; }
    quint32 vendorId() const { return m_vendorId; }
    quint32 productId() const { return m_productId; }

private:
    QString m_serialNumber;
    QString m_product;
    QString m_path;
    quint32 m_vendorId;
    quint32 m_productId;
};
