#pragma once

// The monitor's hidden native window. Where device changes arrive as window messages
// (WM_DEVICECHANGE on Windows) it hands each message to the platform's port watcher; it is never
// shown.

#include <QWidget>

class USBMonitor;

class USBRegistrationWidget : public QWidget
{
    Q_OBJECT
public:
    explicit USBRegistrationWidget(USBMonitor* monitor);

protected:
    bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;

private:
    USBMonitor* m_monitor;
};
