#include "LinuxHidApi.h"

#include "platform/api/HidapiReports.h"
#include "platform/api/Text.h"

#include <hidapi/hidapi.h>

#include <cerrno>
#include <unistd.h>

namespace platform {

namespace {

thread_local HidOpenError t_lastOpenError = HidOpenError::None;

hid_device* native(HidDevice* device)
{
    return reinterpret_cast<hid_device*>(device);
}

std::u16string fromWide(const wchar_t* text)
{
    std::u16string out;
    for (; text && *text; ++text)
        appendUtf16(out, static_cast<char32_t>(*text)); // wchar_t is UTF-32 here
    return out;
}

} // namespace

int LinuxHidApi::init()
{
    return hid_init();
}

int LinuxHidApi::exit()
{
    return hid_exit();
}

std::vector<HidDeviceInfo> LinuxHidApi::enumerate(std::uint16_t vendorId, std::uint16_t productId)
{
    hid_device_info* all = hid_enumerate(vendorId, productId);
    std::vector<HidDeviceInfo> list =
        hidapi::deviceList(all, [](const wchar_t* text) { return fromWide(text); });
    hid_free_enumeration(all);
    return list;
}

HidDevice* LinuxHidApi::openPath(const char* path)
{
    hid_device* device = hid_open_path(path);
    if (device) {
        t_lastOpenError = HidOpenError::None;
        return reinterpret_cast<HidDevice*>(device);
    }
    // hidapi keeps no errno for us; ask the node itself.
    if (::access(path, R_OK | W_OK) == 0)
        t_lastOpenError = HidOpenError::Other;
    else if (errno == EACCES || errno == EPERM)
        t_lastOpenError = HidOpenError::PermissionDenied;
    else if (errno == ENOENT || errno == ENODEV)
        t_lastOpenError = HidOpenError::NotFound;
    else
        t_lastOpenError = HidOpenError::Other;
    return nullptr;
}

HidOpenError LinuxHidApi::lastOpenError()
{
    return t_lastOpenError;
}

int LinuxHidApi::readTimeout(HidDevice* device, unsigned char* data, std::size_t length, int milliseconds)
{
    return hidapi::readUnnumbered(data, length, [&](unsigned char* buffer, std::size_t size) {
        return hid_read_timeout(native(device), buffer, size, milliseconds);
    });
}

int LinuxHidApi::write(HidDevice* device, const unsigned char* data, std::size_t length)
{
    return hid_write(native(device), data, length);
}

void LinuxHidApi::close(HidDevice* device)
{
    hid_close(native(device));
}

LinuxHidApi& linuxHidApi()
{
    static LinuxHidApi api;
    return api;
}

} // namespace platform
