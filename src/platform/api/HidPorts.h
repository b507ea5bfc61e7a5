#pragma once

// Finding the keyboard's HID interfaces and following their arrival and removal: the
// operating-system half of the USB monitor. Windows enumerates with SetupAPI/HID and listens for
// WM_DEVICECHANGE; Linux enumerates through hidapi and listens to udev; the simulated keyboards
// announce their own plugging.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct HidPortInfo
{
    std::u16string serialNumber;
    std::u16string manufacturer;
    std::u16string product;
    std::u16string path; // the interface path that HidApi::openPath opens (UTF-16 here)
    std::uint32_t usagePage = 0;
    std::uint32_t usage = 0;
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
    std::uint32_t versionNumber = 0;
};

class HidPorts
{
public:
    using PortCallback = std::function<void(const HidPortInfo&)>;

    virtual ~HidPorts() = default;

    // The present interfaces with this vendor id, product id and top-level usage page, in the
    // system's enumeration order.
    virtual std::vector<HidPortInfo> enumeratePorts(std::uint32_t vendorId, std::uint32_t productId,
                                                    std::uint32_t usagePage) = 0;

    // Starts following changes. arrived is called for an interface of the keyboard that came
    // (vendor, product and usage page as given); removed for every HID interface that went away
    // (keyboard or not; fields other than path may be empty for interfaces never seen).
    // Callbacks run on the thread that delivers events (below). False when changes cannot be
    // followed; enumeration still works then.
    virtual bool startWatching(std::uint32_t vendorId, std::uint32_t productId, std::uint32_t usagePage,
                               PortCallback arrived, PortCallback removed) = 0;
    virtual void stopWatching() = 0;

    // Event delivery. A backend that needs its descriptor watched returns it here (>= 0) and
    // expects dispatchPending() whenever it is readable; a backend fed by window messages
    // expects handleNativeMessage() with each message of the GUI thread; a simulated backend
    // calls back by itself on the thread that changes it.
    virtual int pollDescriptor() const { return -1; }
    virtual void dispatchPending() {}
    virtual bool handleNativeMessage(const void* /*message*/, long* /*result*/) { return false; }

    // The system's error code of the last failed startWatching() (GetLastError(), errno), for
    // the monitor's diagnostic; 0 when unknown.
    virtual std::uint32_t watchError() const { return 0; }
};

} // namespace platform
