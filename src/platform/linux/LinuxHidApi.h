#pragma once

// The HID seam over hidapi's hidraw backend (Debian's libhidapi-hidraw).

#include "platform/api/HidApi.h"

namespace platform {

class LinuxHidApi : public HidApi
{
public:
    int init() override;
    int exit() override;
    std::vector<HidDeviceInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
    HidDevice* openPath(const char* path) override;
    // hidraw nodes belong to root unless a udev rule hands them to the user at the seat; a
    // keyboard that is listed (sysfs is world-readable) but cannot be opened is PermissionDenied.
    HidOpenError lastOpenError() override;
    int readTimeout(HidDevice* device, unsigned char* data, std::size_t length, int milliseconds) override;
    int write(HidDevice* device, const unsigned char* data, std::size_t length) override;
    void close(HidDevice* device) override;
};

// The process's instance.
LinuxHidApi& linuxHidApi();

} // namespace platform
