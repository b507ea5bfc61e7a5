#pragma once

// The SetupAPI and HID calls behind device monitoring, as one small interface: the matching and
// dispatch logic of Win32HidPorts runs on it, and tests feed that logic made-up devices (a machine
// under test rarely has the keyboard, and Wine has no HID devices at all).

#include "platform/api/HidPorts.h"

#include <cstdint>
#include <string>

namespace platform::win32 {

class DeviceInfoSource
{
public:
    using DeviceSet = std::uintptr_t; // HDEVINFO; 0 = none

    enum class Scope
    {
        Present,   // DIGCF_PRESENT | DIGCF_DEVICEINTERFACE (0x12)
        AllClasses // DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE (0x14): also devices already gone
    };

    enum class InterfaceRead
    {
        None,       // no interface at this index: the end of the set
        Unreadable, // no detail, cannot be opened, or attributes / capabilities unavailable
        Read        // every field of the info filled
    };

    virtual ~DeviceInfoSource() = default;

    // SetupDiGetClassDevsW for the HID interface class; 0 on failure.
    virtual DeviceSet open(Scope scope) = 0;
    // SetupDiDestroyDeviceInfoList.
    virtual void close(DeviceSet set) = 0;
    // SetupDiEnumDeviceInfo: whether the set has a device at index.
    virtual bool deviceExists(DeviceSet set, unsigned index) = 0;
    // SetupDiGetDeviceInstanceIdW of the device at index (upper case, e.g.
    // "HID\VID_3721&PID_2405&MI_01\7&1A2B3C4D&0&0000").
    virtual bool instanceId(DeviceSet set, unsigned index, std::u16string& id) = 0;
    // The index-th HID interface of the set: its path (SetupDiGetDeviceInterfaceDetailW), and with
    // the device opened, attributes (HidD_GetAttributes), capabilities (HidP_GetCaps) and the
    // serial number, manufacturer and product strings.
    virtual InterfaceRead readInterface(DeviceSet set, unsigned index, HidPortInfo& info) = 0;
};

} // namespace platform::win32
