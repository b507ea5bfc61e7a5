#pragma once

// The hidapi calls the keyboard transport uses, one virtual per call and with hidapi's meaning,
// so that the real library and the simulated keyboard firmware can stand behind it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct HidDevice; // hid_device: opaque, owned by the backend until close()

// Why an openPath() failed, so that the program can tell a user who lacks the permission to open
// a keyboard that is plainly present (Linux hidraw nodes without a udev rule) what to do.
enum class HidOpenError {
    None,
    NotFound,         // no such interface (any more)
    PermissionDenied, // the interface exists but this user may not open it
    Other
};

struct HidDeviceInfo
{
    std::string path;          // what openPath() takes
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::u16string serialNumber;
    std::u16string manufacturer;
    std::u16string product;
    std::uint16_t releaseNumber = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    int interfaceNumber = -1;
};

class HidApi
{
public:
    virtual ~HidApi() = default;
    // hid_init: prepares the library; may be called repeatedly. 0 on success.
    virtual int init() = 0;
    // hid_exit: releases the library.
    virtual int exit() = 0;
    // hid_enumerate: every HID interface with that vendor and product (0 = any).
    virtual std::vector<HidDeviceInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) = 0;
    // hid_open_path: null on failure.
    virtual HidDevice* openPath(const char* path) = 0;
    // Why the last openPath() made on the calling thread returned null.
    virtual HidOpenError lastOpenError() { return HidOpenError::Other; }
    // hid_read_timeout: bytes copied (report number first), 0 on time-out, < 0 on error.
    virtual int readTimeout(HidDevice* device, unsigned char* data, std::size_t length, int milliseconds) = 0;
    // hid_write: data[0] is the report number; bytes written or < 0.
    virtual int write(HidDevice* device, const unsigned char* data, std::size_t length) = 0;
    // hid_close.
    virtual void close(HidDevice* device) = 0;
};

} // namespace platform
