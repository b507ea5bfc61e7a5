#include "USBDevice.h"

USBDevice::USBDevice(const QString& serialNumber, const QString& product, const QString& path, quint32 vendorId,
                     quint32 productId, QObject* parent)
    : Core::IDevice(parent), m_serialNumber(serialNumber), m_product(product), m_path(path), m_vendorId(vendorId),
      m_productId(productId)
{
}
