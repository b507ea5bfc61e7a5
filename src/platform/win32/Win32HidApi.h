#pragma once

// The HID seam over hidapi's own Windows backend (windows/hid.c, compiled into the program).

#include "platform/api/HidApi.h"

namespace platform::win32 {

class Win32HidApi : public HidApi
{
public:
    int init() override;
    int exit() override;
    std::vector<HidDeviceInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
    HidDevice* openPath(const char* path) override;
    // hidapi keeps only a message text; a failed open is classified by opening the interface
    // once more: Windows answers access denied for an interface another program holds exclusively
    // (or one this user may not open), not found for one that went away.
    HidOpenError lastOpenError() override;
    int readTimeout(HidDevice* device, unsigned char* data, std::size_t length, int milliseconds) override;
    int write(HidDevice* device, const unsigned char* data, std::size_t length) override;
    void close(HidDevice* device) override;
};

// The process's instance.
Win32HidApi& win32HidApi();

} // namespace platform::win32
