#pragma once

// What the two hidapi backends (hidraw on Linux, hidapi's own Windows backend) hand over alike,
// turned into the seam's terms once: the device list, and the keyboard's unnumbered reports.
// Header-only and written over hidapi's types as templates, since each backend builds against
// its own hidapi.h.

#include "platform/api/HidApi.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace platform::hidapi {

// hid_enumerate's list as the seam's; fromWide turns hidapi's wchar_t strings into UTF-16.
template <class NativeInfo, class FromWide>
std::vector<HidDeviceInfo> deviceList(const NativeInfo* all, FromWide fromWide)
{
    std::vector<HidDeviceInfo> list;
    for (const NativeInfo* d = all; d; d = d->next) {
        HidDeviceInfo info;
        info.path = d->path ? d->path : "";
        info.vendorId = d->vendor_id;
        info.productId = d->product_id;
        info.serialNumber = fromWide(d->serial_number);
        info.manufacturer = fromWide(d->manufacturer_string);
        info.product = fromWide(d->product_string);
        info.releaseNumber = d->release_number;
        info.usagePage = d->usage_page;
        info.usage = d->usage;
        info.interfaceNumber = d->interface_number;
        list.push_back(std::move(info));
    }
    return list;
}

// The keyboard's reports are unnumbered. hidapi hands such a report over without its report
// number (hidraw never had it; the Windows backend removes the 0 that ReadFile puts first), while
// the seam hands it over with its number first and the transport skips that byte: the 0 goes
// back in front, or the first data byte would be lost. read(buffer, length) is hid_read_timeout.
template <class Read> int readUnnumbered(unsigned char* data, std::size_t length, Read read)
{
    if (length == 0)
        return 0;
    data[0] = 0;
    const int n = read(data + 1, length - 1);
    return n > 0 ? n + 1 : n;
}

} // namespace platform::hidapi
