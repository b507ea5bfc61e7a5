#include "Win32HidPorts.h"

#include "SetupApiDeviceSource.h"
#include "Win32Text.h"

#include <dbt.h>
extern "C" {
#include <hidsdi.h>
}

#include <cstddef>

namespace platform::win32 {

namespace {

constexpr wchar_t WindowClassName[] = L"ZentrikClockDeviceNotification";

LRESULT CALLBACK notificationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICECHANGE) {
        if (auto* ports = reinterpret_cast<Win32HidPorts*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
            return ports->handleDeviceChange(wParam, lParam);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool registerWindowClass()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = notificationWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = WindowClassName;
    return RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Destroys the device information set on every way out.
class SetGuard
{
public:
    SetGuard(DeviceInfoSource& source, DeviceInfoSource::DeviceSet set) : m_source(source), m_set(set) {}
    ~SetGuard()
    {
        if (m_set)
            m_source.close(m_set);
    }
    SetGuard(const SetGuard&) = delete;
    SetGuard& operator=(const SetGuard&) = delete;

private:
    DeviceInfoSource& m_source;
    DeviceInfoSource::DeviceSet m_set;
};

} // namespace

Win32HidPorts::Win32HidPorts() : Win32HidPorts(std::make_unique<SetupApiDeviceSource>()) {}

Win32HidPorts::Win32HidPorts(std::unique_ptr<DeviceInfoSource> source) : m_source(std::move(source)) {}

Win32HidPorts::~Win32HidPorts()
{
    stopWatching();
}

int Win32HidPorts::infoFromHandle(const Filter& filter, DeviceInfoSource::DeviceSet set, unsigned index,
                                  HidPortInfo& info)
{
    switch (m_source->readInterface(set, index, info)) {
    case DeviceInfoSource::InterfaceRead::None:
        return 0;
    case DeviceInfoSource::InterfaceRead::Unreadable:
        return 2;
    case DeviceInfoSource::InterfaceRead::Read:
        break;
    }
    const bool ours = info.vendorId == filter.vendorId && info.productId == filter.productId &&
                      info.usagePage == filter.usagePage;
    return ours ? 1 : 2;
}

std::vector<HidPortInfo> Win32HidPorts::enumeratePorts(std::uint32_t vendorId, std::uint32_t productId,
                                                       std::uint32_t usagePage)
{
    std::vector<HidPortInfo> ports;
    const DeviceInfoSource::DeviceSet set = m_source->open(DeviceInfoSource::Scope::Present);
    if (!set)
        return ports;
    SetGuard guard(*m_source, set);
    const Filter filter{vendorId, productId, usagePage};
    for (unsigned index = 0; m_source->deviceExists(set, index); ++index) {
        HidPortInfo info;
        const int found = infoFromHandle(filter, set, index, info);
        if (found == 0)
            break;
        if (found == 1)
            ports.push_back(std::move(info));
    }
    return ports;
}

bool Win32HidPorts::startWatching(std::uint32_t vendorId, std::uint32_t productId, std::uint32_t usagePage,
                                  PortCallback arrived, PortCallback removed)
{
    stopWatching();
    m_watchError = 0;
    HWND window = nullptr;
    if (registerWindowClass())
        window = CreateWindowExW(0, WindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        m_watchError = GetLastError();
        return false;
    }

    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    HDEVNOTIFY notification = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!notification) {
        m_watchError = GetLastError();
        DestroyWindow(window);
        return false;
    }

    m_filter = {vendorId, productId, usagePage};
    m_arrived = std::move(arrived);
    m_removed = std::move(removed);
    m_window = reinterpret_cast<WindowId>(window);
    m_notification = notification;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

void Win32HidPorts::stopWatching()
{
    if (m_notification)
        UnregisterDeviceNotification(m_notification);
    m_notification = nullptr;
    destroyWindow();
    m_arrived = nullptr;
    m_removed = nullptr;
}

void Win32HidPorts::destroyWindow()
{
    if (!m_window)
        return;
    HWND window = reinterpret_cast<HWND>(m_window);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    m_window = 0;
}

bool Win32HidPorts::handleNativeMessage(const void* message, long* result)
{
    const MSG* msg = static_cast<const MSG*>(message);
    if (!msg || msg->message != WM_DEVICECHANGE || !m_window || msg->hwnd == reinterpret_cast<HWND>(m_window))
        return false;
    const long answer = handleDeviceChange(msg->wParam, msg->lParam);
    if (result)
        *result = answer;
    return true;
}

long Win32HidPorts::handleDeviceChange(std::uintptr_t wParam, std::intptr_t lParam)
{
    if (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE)
        return TRUE;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return TRUE;
    // The name ends with the structure; a broadcast without a terminator must not be read past it.
    const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    const std::size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (header->dbch_size <= nameOffset)
        return TRUE;
    const std::size_t maxUnits = (header->dbch_size - nameOffset) / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < maxUnits && broadcast->dbcc_name[length])
        ++length;
    const std::u16string name(reinterpret_cast<const char16_t*>(broadcast->dbcc_name), length);
    matchAndDispatchChangedDevice(normalisedPath(name), wParam);
    return TRUE;
}

std::u16string Win32HidPorts::normalisedPath(const std::u16string& interfacePath)
{
    std::u16string path = interfacePath;
    if (!path.empty())
        CharUpperBuffW(wide(path.data()), static_cast<DWORD>(path.size()));
    for (char16_t& c : path) {
        if (c == u'#')
            c = u'\\';
    }
    return path;
}

void Win32HidPorts::matchAndDispatchChangedDevice(const std::u16string& path, std::uintptr_t event)
{
    const bool arrival = event == DBT_DEVICEARRIVAL;
    if (!arrival && event != DBT_DEVICEREMOVECOMPLETE)
        return;

    HidPortInfo info;
    bool announce = false;
    {
        // A removed device is no longer present, so removals look at every device.
        const DeviceInfoSource::DeviceSet set =
            m_source->open(arrival ? DeviceInfoSource::Scope::Present : DeviceInfoSource::Scope::AllClasses);
        if (!set)
            return;
        SetGuard guard(*m_source, set);

        bool matched = false;
        unsigned index = 0;
        for (; m_source->deviceExists(set, index); ++index) {
            std::u16string id;
            // An empty id would be "contained" in every path.
            if (m_source->instanceId(set, index, id) && !id.empty() &&
                path.find(id) != std::u16string::npos) {
                matched = true;
                break;
            }
        }
        if (!matched)
            return;

        if (arrival) {
            if (infoFromHandle(m_filter, set, index, info) == 1) {
                m_knownPorts.push_back(info);
                announce = true;
            }
        } else {
            announce = true;
            auto known = m_knownPorts.begin();
            while (known != m_knownPorts.end() && normalisedPath(known->path) != path)
                ++known;
            if (known != m_knownPorts.end()) {
                info = *known;
                m_knownPorts.erase(known);
            } else {
                // Never announced by us (present at start, or not a keyboard): the path is all we know.
                info.path = path;
            }
        }
    }
    // Callbacks run after the set is gone: they may well enumerate again or stop watching.
    const PortCallback& callback = arrival ? m_arrived : m_removed;
    if (announce && callback) {
        const PortCallback copy = callback;
        copy(info);
    }
}

} // namespace platform::win32
