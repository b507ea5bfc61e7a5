#include "Win32HidApi.h"

#include "Win32Text.h"
#include "platform/api/HidapiReports.h"
#include "platform/api/Text.h"

#include <hidapi.h>

namespace platform::win32 {

namespace {

thread_local HidOpenError t_lastOpenError = HidOpenError::None;

hid_device* native(HidDevice* device)
{
    return reinterpret_cast<hid_device*>(device);
}

HidOpenError classifyOpenFailure(const char* path)
{
    const std::u16string widePath = fromUtf8(path ? path : "");
    HANDLE handle =
        CreateFileW(wide(widePath), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return HidOpenError::Other; // the interface opens; hidapi failed after that
    }
    switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return HidOpenError::PermissionDenied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_INVALID_NAME:
        return HidOpenError::NotFound;
    default:
        return HidOpenError::Other;
    }
}

} // namespace

int Win32HidApi::init()
{
    return hid_init();
}

int Win32HidApi::exit()
{
    return hid_exit();
}

std::vector<HidDeviceInfo> Win32HidApi::enumerate(std::uint16_t vendorId, std::uint16_t productId)
{
    hid_device_info* all = hid_enumerate(vendorId, productId);
    std::vector<HidDeviceInfo> list =
        hidapi::deviceList(all, [](const wchar_t* text) { return fromWide(text); });
    hid_free_enumeration(all);
    return list;
}

HidDevice* Win32HidApi::openPath(const char* path)
{
    hid_device* device = hid_open_path(path);
    t_lastOpenError = device ? HidOpenError::None : classifyOpenFailure(path);
    return reinterpret_cast<HidDevice*>(device);
}

HidOpenError Win32HidApi::lastOpenError()
{
    return t_lastOpenError;
}

int Win32HidApi::readTimeout(HidDevice* device, unsigned char* data, std::size_t length, int milliseconds)
{
    return hidapi::readUnnumbered(data, length, [&](unsigned char* buffer, std::size_t size) {
        return hid_read_timeout(native(device), buffer, size, milliseconds);
    });
}

int Win32HidApi::write(HidDevice* device, const unsigned char* data, std::size_t length)
{
    return hid_write(native(device), data, length);
}

void Win32HidApi::close(HidDevice* device)
{
    hid_close(native(device));
}

Win32HidApi& win32HidApi()
{
    static Win32HidApi api;
    return api;
}

} // namespace platform::win32
