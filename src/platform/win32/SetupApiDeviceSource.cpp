#include "SetupApiDeviceSource.h"

#include "Win32Text.h"
#include "platform/api/Diagnostics.h"
#include "platform/api/Text.h"

#include <setupapi.h>
// mingw-w64's HID headers declare C functions without C++ linkage guards.
extern "C" {
#include <hidsdi.h>
}

#include <vector>

namespace platform::win32 {

namespace {

HDEVINFO deviceInfo(DeviceInfoSource::DeviceSet set)
{
    return reinterpret_cast<HDEVINFO>(set);
}

const GUID& hidGuid()
{
    static const GUID guid = [] {
        GUID g{};
        HidD_GetHidGuid(&g);
        return g;
    }();
    return guid;
}

// The HID strings come in 126-byte buffers (63 units); a full buffer may lack the terminator.
template <typename Reader> std::u16string hidString(HANDLE device, Reader reader)
{
    wchar_t buffer[63] = {};
    if (!reader(device, buffer, sizeof(buffer)))
        return {};
    std::size_t length = 0;
    while (length < 63 && buffer[length])
        ++length;
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), length);
}

bool readAttributesAndCaps(HANDLE device, HidPortInfo& info)
{
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    if (!HidD_GetAttributes(device, &attributes))
        return false;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(device, &preparsed))
        return false;
    HIDP_CAPS caps{};
    const bool ok = HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS;
    HidD_FreePreparsedData(preparsed);
    if (!ok)
        return false;
    info.vendorId = attributes.VendorID;
    info.productId = attributes.ProductID;
    info.versionNumber = attributes.VersionNumber;
    info.usagePage = caps.UsagePage;
    info.usage = caps.Usage;
    return true;
}

} // namespace

DeviceInfoSource::DeviceSet SetupApiDeviceSource::open(Scope scope)
{
    const DWORD flags = scope == Scope::Present ? (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)
                                                : (DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE);
    HDEVINFO set = SetupDiGetClassDevsW(&hidGuid(), nullptr, nullptr, flags);
    return set == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<DeviceSet>(set);
}

void SetupApiDeviceSource::close(DeviceSet set)
{
    if (set)
        SetupDiDestroyDeviceInfoList(deviceInfo(set));
}

bool SetupApiDeviceSource::deviceExists(DeviceSet set, unsigned index)
{
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof(data);
    return SetupDiEnumDeviceInfo(deviceInfo(set), index, &data);
}

bool SetupApiDeviceSource::instanceId(DeviceSet set, unsigned index, std::u16string& id)
{
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof(data);
    if (!SetupDiEnumDeviceInfo(deviceInfo(set), index, &data))
        return false;
    wchar_t buffer[MAX_PATH] = {};
    if (!SetupDiGetDeviceInstanceIdW(deviceInfo(set), &data, buffer, MAX_PATH, nullptr))
        return false;
    id = fromWide(buffer);
    return true;
}

DeviceInfoSource::InterfaceRead SetupApiDeviceSource::readInterface(DeviceSet set, unsigned index,
                                                                    HidPortInfo& info)
{
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(deviceInfo(set), nullptr, &hidGuid(), index, &interfaceData))
        return InterfaceRead::None;

    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(deviceInfo(set), &interfaceData, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return InterfaceRead::Unreadable;
    std::vector<std::uint64_t> storage(required / sizeof(std::uint64_t) + 1); // aligned for the struct
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(deviceInfo(set), &interfaceData, detail, required, nullptr,
                                          nullptr))
        return InterfaceRead::Unreadable;
    info.path = fromWide(detail->DevicePath);

    HANDLE device =
        CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        // System keyboards and mice refuse to be opened; that is normal and not worth a line.
        if (GetLastError() != ERROR_ACCESS_DENIED)
            diagnostic(DiagnosticLevel::Debug, "Problem opening handle, path: " + toUtf8(info.path));
        return InterfaceRead::Unreadable;
    }
    if (!readAttributesAndCaps(device, info)) {
        CloseHandle(device);
        return InterfaceRead::Unreadable;
    }
    info.serialNumber = hidString(device, HidD_GetSerialNumberString);
    info.manufacturer = hidString(device, HidD_GetManufacturerString);
    info.product = hidString(device, HidD_GetProductString);
    CloseHandle(device);
    return InterfaceRead::Read;
}

} // namespace platform::win32
