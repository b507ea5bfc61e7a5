#pragma once

// The keyboard's HID interfaces on Linux: listed through hidapi (which reads the usage page from
// the report descriptor in sysfs), followed through a udev monitor on the "hidraw" subsystem
// whose socket the program's event loop watches (pollDescriptor / dispatchPending).

#include "platform/api/HidApi.h"
#include "platform/api/HidPorts.h"

struct udev;
struct udev_monitor;

namespace platform {

class LinuxHidPorts : public HidPorts
{
public:
    explicit LinuxHidPorts(HidApi& hid);
    ~LinuxHidPorts() override;

    std::vector<HidPortInfo> enumeratePorts(std::uint32_t vendorId, std::uint32_t productId,
                                            std::uint32_t usagePage) override;
    bool startWatching(std::uint32_t vendorId, std::uint32_t productId, std::uint32_t usagePage,
                       PortCallback arrived, PortCallback removed) override;
    void stopWatching() override;
    int pollDescriptor() const override;
    void dispatchPending() override;
    std::uint32_t watchError() const override { return m_error; }

    // One uevent of a hidraw node: "add" announces the node when it is an interface of the
    // watched kind, "remove" announces every node (by its path only).
    void handleEvent(const std::string& action, const std::string& devnode);

private:
    HidApi& m_hid;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    std::uint32_t m_error = 0;
    std::uint32_t m_vendorId = 0, m_productId = 0, m_usagePage = 0;
    PortCallback m_arrived;
    PortCallback m_removed;
};

// The process's instance, over linuxHidApi().
LinuxHidPorts& linuxHidPorts();

} // namespace platform
