#pragma once

// HID interfaces of the keyboard on Windows: SetupAPI/HID enumeration, and arrival and removal
// through RegisterDeviceNotificationW on a hidden message-only window of our own, created on the
// thread that starts watching (the GUI thread, whose event loop dispatches its messages).
// Removals of ports this object announced carry every field; others carry the normalised path
// only, and the monitor above resolves them against what it knows.

#include "DeviceInfoSource.h"
#include "platform/api/HidPorts.h"
#include "platform/api/Types.h"

#include <memory>

namespace platform::win32 {

class Win32HidPorts : public HidPorts
{
public:
    // On the real SetupAPI.
    Win32HidPorts();
    explicit Win32HidPorts(std::unique_ptr<DeviceInfoSource> source);
    ~Win32HidPorts() override;

    std::vector<HidPortInfo> enumeratePorts(std::uint32_t vendorId, std::uint32_t productId,
                                            std::uint32_t usagePage) override;
    bool startWatching(std::uint32_t vendorId, std::uint32_t productId, std::uint32_t usagePage,
                       PortCallback arrived, PortCallback removed) override;
    void stopWatching() override;
    // message: a const MSG*. Handles WM_DEVICECHANGE (result 1) while watching; the notification
    // window's own messages reach it directly and are not expected here.
    bool handleNativeMessage(const void* message, long* result) override;
    // GetLastError() of the failed window creation or RegisterDeviceNotificationW.
    std::uint32_t watchError() const override { return m_watchError; }

    // WM_DEVICECHANGE: arrival (0x8000) and removal (0x8004) of a device interface are resolved,
    // any other device change is swallowed. Returns the message's result (1).
    long handleDeviceChange(std::uintptr_t wParam, std::intptr_t lParam);
    // Resolves one change: path is the interface name upper-cased with every '#' turned into '\',
    // event the wParam of WM_DEVICECHANGE.
    void matchAndDispatchChangedDevice(const std::u16string& normalisedPath, std::uintptr_t event);
    static std::u16string normalisedPath(const std::u16string& interfacePath);

    // The message-only window that receives the notifications; 0 while not watching.
    WindowId notificationWindow() const { return m_window; }
    // Ports announced by arrival and not removed since.
    const std::vector<HidPortInfo>& knownPorts() const { return m_knownPorts; }

private:
    struct Filter
    {
        std::uint32_t vendorId = 0;
        std::uint32_t productId = 0;
        std::uint32_t usagePage = 0;
    };

    // 0 = no interface at index (end), 1 = a port of the filter, 2 = any other or unreadable one.
    int infoFromHandle(const Filter& filter, DeviceInfoSource::DeviceSet set, unsigned index,
                       HidPortInfo& info);
    void destroyWindow();

    std::unique_ptr<DeviceInfoSource> m_source;
    Filter m_filter;
    PortCallback m_arrived;
    PortCallback m_removed;
    std::vector<HidPortInfo> m_knownPorts;
    WindowId m_window = 0;
    void* m_notification = nullptr; // HDEVNOTIFY
    std::uint32_t m_watchError = 0;
};

} // namespace platform::win32
