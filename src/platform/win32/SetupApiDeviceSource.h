#pragma once

// DeviceInfoSource on the real SetupAPI and HID library.

#include "DeviceInfoSource.h"

namespace platform::win32 {

class SetupApiDeviceSource : public DeviceInfoSource
{
public:
    DeviceSet open(Scope scope) override;
    void close(DeviceSet set) override;
    bool deviceExists(DeviceSet set, unsigned index) override;
    bool instanceId(DeviceSet set, unsigned index, std::u16string& id) override;
    InterfaceRead readInterface(DeviceSet set, unsigned index, HidPortInfo& info) override;
};

} // namespace platform::win32
