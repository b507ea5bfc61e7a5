#include "LinuxHidPorts.h"

#include "LinuxHidApi.h"

#include <libudev.h>

#include <algorithm>
#include <cerrno>

namespace platform {

namespace {

std::u16string fromAscii(const std::string& path)
{
    return std::u16string(path.begin(), path.end()); // /dev/hidrawN
}

} // namespace

LinuxHidPorts::LinuxHidPorts(HidApi& hid) : m_hid(hid) {}

LinuxHidPorts::~LinuxHidPorts()
{
    stopWatching();
}

std::vector<HidPortInfo> LinuxHidPorts::enumeratePorts(std::uint32_t vendorId, std::uint32_t productId,
                                                       std::uint32_t usagePage)
{
    std::vector<HidPortInfo> ports;
    for (const HidDeviceInfo& d : m_hid.enumerate(static_cast<std::uint16_t>(vendorId),
                                                  static_cast<std::uint16_t>(productId))) {
        if (d.vendorId != vendorId || d.productId != productId || d.usagePage != usagePage)
            continue;
        const std::u16string path = fromAscii(d.path);
        // hidapi lists a node once per top-level collection; the node is the port.
        if (std::any_of(ports.begin(), ports.end(), [&](const HidPortInfo& p) { return p.path == path; }))
            continue;
        HidPortInfo port;
        port.serialNumber = d.serialNumber;
        port.manufacturer = d.manufacturer;
        port.product = d.product;
        port.path = path;
        port.usagePage = d.usagePage;
        port.usage = d.usage;
        port.vendorId = d.vendorId;
        port.productId = d.productId;
        port.versionNumber = d.releaseNumber;
        ports.push_back(std::move(port));
    }
    return ports;
}

bool LinuxHidPorts::startWatching(std::uint32_t vendorId, std::uint32_t productId, std::uint32_t usagePage,
                                  PortCallback arrived, PortCallback removed)
{
    stopWatching();
    m_vendorId = vendorId;
    m_productId = productId;
    m_usagePage = usagePage;
    m_arrived = std::move(arrived);
    m_removed = std::move(removed);
    errno = 0;
    m_udev = udev_new();
    if (m_udev)
        m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        m_error = static_cast<std::uint32_t>(errno);
        stopWatching();
        return false;
    }
    m_error = 0;
    return true;
}

void LinuxHidPorts::stopWatching()
{
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
    m_monitor = nullptr;
    m_udev = nullptr;
}

int LinuxHidPorts::pollDescriptor() const
{
    return m_monitor ? udev_monitor_get_fd(m_monitor) : -1;
}

void LinuxHidPorts::dispatchPending()
{
    if (!m_monitor)
        return;
    // The monitor's socket does not block: take everything that is there.
    while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
        const char* action = udev_device_get_action(device);
        const char* devnode = udev_device_get_devnode(device);
        const std::string a = action ? action : "";
        const std::string n = devnode ? devnode : "";
        udev_device_unref(device);
        if (!n.empty())
            handleEvent(a, n);
    }
}

void LinuxHidPorts::handleEvent(const std::string& action, const std::string& devnode)
{
    if (action == "add" && m_arrived) {
        for (const HidPortInfo& port : enumeratePorts(m_vendorId, m_productId, m_usagePage))
            if (port.path == fromAscii(devnode))
                m_arrived(port);
    } else if (action == "remove" && m_removed) {
        HidPortInfo port;
        port.path = fromAscii(devnode);
        m_removed(port);
    }
}

LinuxHidPorts& linuxHidPorts()
{
    static LinuxHidPorts ports(linuxHidApi());
    return ports;
}

} // namespace platform
