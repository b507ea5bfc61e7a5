#include "USBRegistrationWidget.h"

#include "USBMonitor.h"

#include "platform/api/HidPorts.h"

USBRegistrationWidget::USBRegistrationWidget(USBMonitor* monitor) : QWidget(nullptr), m_monitor(monitor) {}

bool USBRegistrationWidget::nativeEvent(const QByteArray& eventType, void* message, long* result)
{
    Q_UNUSED(eventType)
    if (m_monitor && m_monitor->ports())
        return m_monitor->ports()->handleNativeMessage(message, result);
    return false;
}
