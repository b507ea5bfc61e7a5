// Win32HidPorts: enumeration and device-change resolution on made-up devices (Wine has no HID
// devices), the notification window, and one real SetupAPI enumeration.

#include "WineTest.h"

#include "platform/win32/SetupApiDeviceSource.h"
#include "platform/win32/Win32HidPorts.h"

#include <windows.h>

#include <dbt.h>

#include <cstddef>
#include <cstring>
#include <memory>

using platform::HidPortInfo;
using platform::win32::DeviceInfoSource;
using platform::win32::Win32HidPorts;

namespace {

constexpr std::uint32_t VendorId = 0x3721;
constexpr std::uint32_t ProductId = 0x2405;
constexpr std::uint32_t UsagePage = 0xFF00;

// Interface paths as Windows broadcasts them, and the instance ids of their devices.
const std::u16string KeyboardPath =
    u"\\\\?\\hid#vid_3721&pid_2405&mi_01#7&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
const std::u16string KeyboardId = u"HID\\VID_3721&PID_2405&MI_01\\7&1A2B3C4D&0&0000";
const std::u16string KeyboardNormalised =
    u"\\\\?\\HID\\VID_3721&PID_2405&MI_01\\7&1A2B3C4D&0&0000\\{4D1E55B2-F16F-11CF-88CB-001111000030}";
// The same keyboard's other interface (standard keys, usage page 1).
const std::u16string KeysPath =
    u"\\\\?\\hid#vid_3721&pid_2405&mi_00#7&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
const std::u16string KeysId = u"HID\\VID_3721&PID_2405&MI_00\\7&1A2B3C4D&0&0000";
const std::u16string SecondKeyboardPath =
    u"\\\\?\\hid#vid_3721&pid_2405&mi_01#7&5e6f7a8b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
const std::u16string SecondKeyboardId = u"HID\\VID_3721&PID_2405&MI_01\\7&5E6F7A8B&0&0000";
const std::u16string MousePath =
    u"\\\\?\\hid#vid_046d&pid_c077#6&2e5f1a0b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
const std::u16string MouseId = u"HID\\VID_046D&PID_C077\\6&2E5F1A0B&0&0000";

struct FakeDevice
{
    std::u16string instanceId;
    DeviceInfoSource::InterfaceRead read = DeviceInfoSource::InterfaceRead::Read;
    HidPortInfo info;
};

FakeDevice hidDevice(const std::u16string& path, const std::u16string& id, std::uint32_t vendor,
                     std::uint32_t product, std::uint32_t usagePage, const std::u16string& serial)
{
    FakeDevice device;
    device.instanceId = id;
    device.info.path = path;
    device.info.vendorId = vendor;
    device.info.productId = product;
    device.info.usagePage = usagePage;
    device.info.usage = 1;
    device.info.versionNumber = 0x0102;
    device.info.serialNumber = serial;
    device.info.manufacturer = u"Zentrik";
    device.info.product = u"灵拓键盘";
    return device;
}

FakeDevice keyboard(const std::u16string& path = KeyboardPath, const std::u16string& id = KeyboardId,
                    const std::u16string& serial = u"ZK20240001")
{
    return hidDevice(path, id, VendorId, ProductId, UsagePage, serial);
}

FakeDevice keysInterface()
{
    return hidDevice(KeysPath, KeysId, VendorId, ProductId, 0x0001, u"ZK20240001");
}

FakeDevice mouse()
{
    return hidDevice(MousePath, MouseId, 0x046D, 0xC077, 0x0001, u"");
}

FakeDevice unreadable(const std::u16string& id)
{
    FakeDevice device;
    device.instanceId = id;
    device.read = DeviceInfoSource::InterfaceRead::Unreadable;
    return device;
}

// Devices as SetupAPI would list them; records which sets were asked for and that each is freed.
class FakeDeviceSource : public DeviceInfoSource
{
public:
    std::vector<FakeDevice> devices;
    std::vector<Scope> opened;
    int openSets = 0;
    bool failOpen = false;

    DeviceSet open(Scope scope) override
    {
        if (failOpen)
            return 0;
        opened.push_back(scope);
        ++openSets;
        return 0x1000 + opened.size();
    }
    void close(DeviceSet) override { --openSets; }
    bool deviceExists(DeviceSet, unsigned index) override { return index < devices.size(); }
    bool instanceId(DeviceSet, unsigned index, std::u16string& id) override
    {
        if (index >= devices.size())
            return false;
        id = devices[index].instanceId;
        return true;
    }
    InterfaceRead readInterface(DeviceSet, unsigned index, HidPortInfo& info) override
    {
        if (index >= devices.size())
            return InterfaceRead::None;
        if (devices[index].read == InterfaceRead::Read)
            info = devices[index].info;
        return devices[index].read;
    }
};

// Win32HidPorts over a fake source, watching for the keyboard and recording what it announces.
struct Ports
{
    explicit Ports(std::vector<FakeDevice> devices)
    {
        auto fake = std::make_unique<FakeDeviceSource>();
        fake->devices = std::move(devices);
        source = fake.get();
        ports = std::make_unique<Win32HidPorts>(std::move(fake));
    }
    bool watch()
    {
        return ports->startWatching(
            VendorId, ProductId, UsagePage, [this](const HidPortInfo& info) { arrived.push_back(info); },
            [this](const HidPortInfo& info) { removed.push_back(info); });
    }

    FakeDeviceSource* source = nullptr;
    std::unique_ptr<Win32HidPorts> ports;
    std::vector<HidPortInfo> arrived;
    std::vector<HidPortInfo> removed;
};

// A DEV_BROADCAST_DEVICEINTERFACE_W as the system sends it with WM_DEVICECHANGE.
class Broadcast
{
public:
    explicit Broadcast(const std::u16string& name, DWORD deviceType = DBT_DEVTYP_DEVICEINTERFACE)
    {
        const std::size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (name.size() + 1) * 2;
        m_storage.assign(size / sizeof(std::uint64_t) + 2, 0);
        auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(m_storage.data());
        header->dbcc_size = static_cast<DWORD>(size);
        header->dbcc_devicetype = deviceType;
        std::memcpy(header->dbcc_name, name.c_str(), (name.size() + 1) * 2);
    }
    LPARAM lParam() { return reinterpret_cast<LPARAM>(m_storage.data()); }
    DEV_BROADCAST_DEVICEINTERFACE_W* header()
    {
        return reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(m_storage.data());
    }

private:
    std::vector<std::uint64_t> m_storage;
};

bool samePort(const HidPortInfo& a, const HidPortInfo& b)
{
    return a.path == b.path && a.serialNumber == b.serialNumber && a.vendorId == b.vendorId &&
           a.productId == b.productId && a.usagePage == b.usagePage && a.usage == b.usage &&
           a.versionNumber == b.versionNumber && a.manufacturer == b.manufacturer && a.product == b.product;
}

bool pathOnly(const HidPortInfo& info, const std::u16string& path)
{
    return info.path == path && info.serialNumber.empty() && info.manufacturer.empty() &&
           info.product.empty() && info.vendorId == 0 && info.productId == 0 && info.usagePage == 0 &&
           info.usage == 0 && info.versionNumber == 0;
}

// ---- enumeration

void enumerationKeepsOnlyKeyboardPortsInOrder()
{
    Ports p({mouse(), keysInterface(), unreadable(u"HID\\VID_1234&PID_0001\\1&2&0&0000"), keyboard(),
             keyboard(SecondKeyboardPath, SecondKeyboardId, u"ZK20240002")});
    const auto ports = p.ports->enumeratePorts(VendorId, ProductId, UsagePage);
    REQUIRE(ports.size() == 2);
    REQUIRE(samePort(ports[0], p.source->devices[3].info));
    REQUIRE(samePort(ports[1], p.source->devices[4].info));
    REQUIRE(p.source->opened.size() == 1 && p.source->opened[0] == DeviceInfoSource::Scope::Present);
    REQUIRE(p.source->openSets == 0);
    // The filter is the caller's: the keys interface is found when asked for.
    const auto keys = p.ports->enumeratePorts(VendorId, ProductId, 0x0001);
    REQUIRE(keys.size() == 1 && keys[0].path == KeysPath);
}

void enumerationStopsWhereTheInterfacesEnd()
{
    Ports p({keyboard(), unreadable(u"X"), keyboard(SecondKeyboardPath, SecondKeyboardId, u"ZK20240002")});
    p.source->devices[1].read = DeviceInfoSource::InterfaceRead::None;
    const auto ports = p.ports->enumeratePorts(VendorId, ProductId, UsagePage);
    REQUIRE(ports.size() == 1 && ports[0].path == KeyboardPath);
    REQUIRE(p.source->openSets == 0);
}

void enumerationWithoutDeviceSetIsEmpty()
{
    Ports p({keyboard()});
    p.source->failOpen = true;
    REQUIRE(p.ports->enumeratePorts(VendorId, ProductId, UsagePage).empty());
}

// ---- device changes

void pathNormalisation()
{
    REQUIRE(Win32HidPorts::normalisedPath(KeyboardPath) == KeyboardNormalised);
    REQUIRE(Win32HidPorts::normalisedPath(KeyboardNormalised) == KeyboardNormalised);
    REQUIRE(Win32HidPorts::normalisedPath(u"").empty());
}

void arrivalOfKeyboardIsAnnounced()
{
    // The matching device is not the first: the interface read must be the matched one's.
    Ports p({mouse(), keysInterface(), keyboard(SecondKeyboardPath, SecondKeyboardId, u"ZK20240002"),
             keyboard()});
    REQUIRE(p.watch());
    Broadcast arrival(KeyboardPath);
    REQUIRE(p.ports->handleDeviceChange(DBT_DEVICEARRIVAL, arrival.lParam()) == TRUE);
    REQUIRE(p.arrived.size() == 1);
    REQUIRE(samePort(p.arrived[0], p.source->devices[3].info));
    REQUIRE(p.removed.empty());
    REQUIRE(p.source->opened.size() == 1 && p.source->opened[0] == DeviceInfoSource::Scope::Present);
    REQUIRE(p.source->openSets == 0);
    REQUIRE(p.ports->knownPorts().size() == 1);
}

void arrivalOfAnotherInterfaceEmitsNothing()
{
    Ports p({keysInterface(), mouse(), keyboard()});
    REQUIRE(p.watch());
    Broadcast keys(KeysPath);
    REQUIRE(p.ports->handleDeviceChange(DBT_DEVICEARRIVAL, keys.lParam()) == TRUE);
    Broadcast pointer(MousePath);
    REQUIRE(p.ports->handleDeviceChange(DBT_DEVICEARRIVAL, pointer.lParam()) == TRUE);
    REQUIRE(p.arrived.empty() && p.removed.empty());
    REQUIRE(p.ports->knownPorts().empty());
    REQUIRE(p.source->openSets == 0);
}

void arrivalWithoutMatchingDeviceEmitsNothing()
{
    // An empty instance id would be "contained" in any path; it must never match.
    Ports p({mouse(), unreadable(u"")});
    REQUIRE(p.watch());
    Broadcast arrival(KeyboardPath);
    REQUIRE(p.ports->handleDeviceChange(DBT_DEVICEARRIVAL, arrival.lParam()) == TRUE);
    REQUIRE(p.arrived.empty() && p.removed.empty());
    REQUIRE(p.source->opened.size() == 1);
    REQUIRE(p.source->openSets == 0);
}

void removalOfAnnouncedPortCarriesItsFields()
{
    Ports p({mouse(), keyboard()});
    REQUIRE(p.watch());
    Broadcast change(KeyboardPath);
    p.ports->handleDeviceChange(DBT_DEVICEARRIVAL, change.lParam());
    REQUIRE(p.arrived.size() == 1);

    REQUIRE(p.ports->handleDeviceChange(DBT_DEVICEREMOVECOMPLETE, change.lParam()) == TRUE);
    REQUIRE(p.removed.size() == 1);
    REQUIRE(samePort(p.removed[0], p.arrived[0])); // the path as enumerated, not the normalised one
    // Gone devices are only in the set of every device.
    REQUIRE(p.source->opened.back() == DeviceInfoSource::Scope::AllClasses);
    REQUIRE(p.ports->knownPorts().empty());

    // Removed twice: no longer known, so the path is all that is left to tell.
    p.ports->handleDeviceChange(DBT_DEVICEREMOVECOMPLETE, change.lParam());
    REQUIRE(p.removed.size() == 2);
    REQUIRE(pathOnly(p.removed[1], KeyboardNormalised));
    REQUIRE(p.source->openSets == 0);
}

void removalOfUnknownDeviceAnnouncesPathOnly()
{
    Ports p({keysInterface(), mouse(), keyboard()});
    REQUIRE(p.watch());
    Broadcast keys(KeysPath);
    REQUIRE(p.ports->handleDeviceChange(DBT_DEVICEREMOVECOMPLETE, keys.lParam()) == TRUE);
    REQUIRE(p.removed.size() == 1);
    REQUIRE(pathOnly(p.removed[0], Win32HidPorts::normalisedPath(KeysPath)));
    // A keyboard present since before the watch started was never announced either.
    Broadcast board(KeyboardPath);
    p.ports->handleDeviceChange(DBT_DEVICEREMOVECOMPLETE, board.lParam());
    REQUIRE(p.removed.size() == 2 && pathOnly(p.removed[1], KeyboardNormalised));
    REQUIRE(p.arrived.empty());
}

void removalWithoutMatchingDeviceEmitsNothing()
{
    Ports p({mouse()});
    REQUIRE(p.watch());
    Broadcast removal(KeyboardPath);
    REQUIRE(p.ports->handleDeviceChange(DBT_DEVICEREMOVECOMPLETE, removal.lParam()) == TRUE);
    REQUIRE(p.removed.empty());
    REQUIRE(p.source->openSets == 0);
}

void otherDeviceChangesAreSwallowed()
{
    Ports p({keyboard()});
    REQUIRE(p.watch());
    Broadcast arrival(KeyboardPath);
    for (WPARAM event :
         {WPARAM(DBT_DEVNODES_CHANGED), WPARAM(DBT_CONFIGCHANGED), WPARAM(DBT_DEVICEQUERYREMOVE)}) {
        REQUIRE(p.ports->handleDeviceChange(event, event == DBT_DEVNODES_CHANGED ? 0 : arrival.lParam()) ==
                TRUE);
    }
    // An arrival of something that is not a device interface (a volume, a port).
    Broadcast volume(KeyboardPath, DBT_DEVTYP_VOLUME);
    REQUIRE(p.ports->handleDeviceChange(DBT_DEVICEARRIVAL, volume.lParam()) == TRUE);
    REQUIRE(p.ports->handleDeviceChange(DBT_DEVICEARRIVAL, 0) == TRUE);
    REQUIRE(p.arrived.empty() && p.removed.empty());
    REQUIRE(p.source->opened.empty());
}

// The name is read within the structure's size, terminator or not.
void unterminatedNameIsReadWithinItsSize()
{
    Ports p({mouse()});
    REQUIRE(p.watch());
    Broadcast removal(MousePath + u"XXXX");
    DEV_BROADCAST_DEVICEINTERFACE_W* header = removal.header();
    header->dbcc_size =
        static_cast<DWORD>(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + MousePath.size() * 2);
    p.ports->handleDeviceChange(DBT_DEVICEREMOVECOMPLETE, removal.lParam());
    REQUIRE(p.removed.size() == 1);
    REQUIRE(p.removed[0].path == Win32HidPorts::normalisedPath(MousePath));
}

// ---- the notification window and the monitor's native messages

void notificationWindowResolvesDeviceChanges()
{
    Ports p({keyboard()});
    REQUIRE(p.ports->notificationWindow() == 0);
    REQUIRE(p.watch());
    HWND window = reinterpret_cast<HWND>(p.ports->notificationWindow());
    REQUIRE(IsWindow(window));
    REQUIRE(p.ports->watchError() == 0);

    Broadcast arrival(KeyboardPath);
    REQUIRE(SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, arrival.lParam()) == TRUE);
    REQUIRE(p.arrived.size() == 1 && p.arrived[0].path == KeyboardPath);
    REQUIRE(SendMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0) == TRUE);
    REQUIRE(p.arrived.size() == 1 && p.removed.empty());

    p.ports->stopWatching();
    REQUIRE(!IsWindow(window));
    REQUIRE(p.ports->notificationWindow() == 0);
}

void nativeMessagesOfOtherWindowsAreHandled()
{
    Ports p({keyboard()});
    MSG msg{};
    msg.message = WM_DEVICECHANGE;
    msg.wParam = DBT_DEVNODES_CHANGED;
    long result = 0;
    REQUIRE(!p.ports->handleNativeMessage(&msg, &result)); // not watching: not ours

    REQUIRE(p.watch());
    Broadcast removal(KeyboardPath);
    msg.hwnd = GetDesktopWindow();
    msg.wParam = DBT_DEVICEREMOVECOMPLETE;
    msg.lParam = removal.lParam();
    REQUIRE(p.ports->handleNativeMessage(&msg, &result));
    REQUIRE(result == 1);
    REQUIRE(p.removed.size() == 1 && pathOnly(p.removed[0], KeyboardNormalised));

    // The notification window's own messages go through its window procedure, never twice.
    msg.hwnd = reinterpret_cast<HWND>(p.ports->notificationWindow());
    REQUIRE(!p.ports->handleNativeMessage(&msg, &result));
    msg.hwnd = GetDesktopWindow();
    msg.message = WM_PAINT;
    REQUIRE(!p.ports->handleNativeMessage(&msg, &result));
    REQUIRE(p.removed.size() == 1);
}

// ---- the real SetupAPI

void realEnumerationRunsAndFindsNoKeyboard()
{
    platform::win32::SetupApiDeviceSource source;
    const DeviceInfoSource::DeviceSet set = source.open(DeviceInfoSource::Scope::Present);
    REQUIRE(set != 0); // SetupDiGetClassDevsW answered
    source.close(set);

    Win32HidPorts ports;
    REQUIRE(ports.enumeratePorts(VendorId, ProductId, UsagePage).empty());
    REQUIRE(ports.startWatching(
        VendorId, ProductId, UsagePage, [](const HidPortInfo&) {}, [](const HidPortInfo&) {}));
    REQUIRE(ports.watchError() == 0);
    ports.stopWatching();
}

} // namespace

int main()
{
    return winetest::run(
        "tst_win32_hidports",
        {
            {"enumeration_keeps_only_keyboard_ports_in_order", enumerationKeepsOnlyKeyboardPortsInOrder},
            {"enumeration_stops_where_the_interfaces_end", enumerationStopsWhereTheInterfacesEnd},
            {"enumeration_without_device_set_is_empty", enumerationWithoutDeviceSetIsEmpty},
            {"path_normalisation", pathNormalisation},
            {"arrival_of_keyboard_is_announced", arrivalOfKeyboardIsAnnounced},
            {"arrival_of_another_interface_emits_nothing", arrivalOfAnotherInterfaceEmitsNothing},
            {"arrival_without_matching_device_emits_nothing", arrivalWithoutMatchingDeviceEmitsNothing},
            {"removal_of_announced_port_carries_its_fields", removalOfAnnouncedPortCarriesItsFields},
            {"removal_of_unknown_device_announces_path_only", removalOfUnknownDeviceAnnouncesPathOnly},
            {"removal_without_matching_device_emits_nothing", removalWithoutMatchingDeviceEmitsNothing},
            {"other_device_changes_are_swallowed", otherDeviceChangesAreSwallowed},
            {"unterminated_name_is_read_within_its_size", unterminatedNameIsReadWithinItsSize},
            {"notification_window_resolves_device_changes", notificationWindowResolvesDeviceChanges},
            {"native_messages_of_other_windows_are_handled", nativeMessagesOfOtherWindowsAreHandled},
            {"real_enumeration_runs_and_finds_no_keyboard", realEnumerationRunsAndFindsNoKeyboard},
        });
}
