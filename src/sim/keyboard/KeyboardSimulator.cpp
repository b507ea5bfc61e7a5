#include "KeyboardSimulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace sim {

struct KeyboardSimulator::Keyboard
{
    explicit Keyboard(const std::string& serial) : firmware(serial) {}
    SimKeyboard firmware;
    bool plugged = true;
    bool accessDenied = false;
    unsigned generation = 1; // handles of an earlier plugging stay dead
    int failReads = 0;
    int failWrites = 0;
    int failWriteResult = -1;
    bool holdWrites = false;
    int heldWrites = 0;
    int writeAttempts = 0;
    std::vector<Report> reports;
    std::vector<ReceivedFrame> received;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> tradeActions;
};

struct KeyboardSimulator::Handle
{
    Keyboard* keyboard = nullptr;
    bool keysInterface = false;
    unsigned generation = 0;
    std::vector<Report> queue; // reports not read yet, oldest first
};

// Marks the calling thread as running a callback from the moment the callback is copied under
// the simulator's lock until it has returned, so that stopWatching() and setKeyEventObserver()
// can wait for it.
class KeyboardSimulator::CallbackScope
{
public:
    explicit CallbackScope(KeyboardSimulator& sim) : m_sim(sim) {}
    ~CallbackScope()
    {
        if (!m_entered)
            return;
        std::lock_guard<std::mutex> lock(m_sim.m_mutex);
        m_sim.m_callbackThreads.erase(m_sim.m_callbackThreads.find(std::this_thread::get_id()));
        m_sim.m_changed.notify_all();
    }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

    // Under the simulator's lock.
    void enterLocked()
    {
        m_sim.m_callbackThreads.insert(std::this_thread::get_id());
        m_entered = true;
    }

private:
    KeyboardSimulator& m_sim;
    bool m_entered = false;
};

namespace {

thread_local platform::HidOpenError t_lastOpenError = platform::HidOpenError::None;

std::u16string toU16(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::uintptr_t handleId(platform::HidDevice* device)
{
    return reinterpret_cast<std::uintptr_t>(device);
}

} // namespace

KeyboardSimulator::KeyboardSimulator()
{
    if (const char* file = std::getenv("ZENTRIK_SIM_TRACE"); file && *file)
        setTraceFile(file);
}

KeyboardSimulator::~KeyboardSimulator()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handles.clear();
    m_changed.notify_all();
}

void KeyboardSimulator::installInto(platform::Services& services)
{
    services.hid = &hidApi();
    services.hidPorts = &hidPorts();
}

void KeyboardSimulator::install()
{
    platform::Services services = platform::services();
    installInto(services);
    platform::install(services);
}

// --- keyboards -------------------------------------------------------------------------------

KeyboardSimulator::Keyboard& KeyboardSimulator::keyboardLocked(const std::string& serialNumber) const
{
    for (const auto& k : m_keyboards)
        if (k->firmware.state().serialNumber == serialNumber)
            return *k;
    throw std::invalid_argument("no simulated keyboard " + serialNumber);
}

std::string KeyboardSimulator::addKeyboard(const std::string& serialNumber)
{
    std::string serial = serialNumber;
    PortCallback arrived;
    platform::HidPortInfo info;
    CallbackScope scope(*this);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (serial.empty()) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "ZK%06zu", m_keyboards.size() + 1);
            serial = buffer;
        }
        for (const auto& k : m_keyboards)
            if (k->firmware.state().serialNumber == serial)
                throw std::invalid_argument("simulated keyboard exists: " + serial);
        m_keyboards.push_back(std::make_unique<Keyboard>(serial));
        if (watchesKeyboardsLocked()) {
            arrived = m_watch.arrived;
            info = portInfo(*m_keyboards.back(), false);
            scope.enterLocked();
        }
    }
    if (arrived)
        arrived(info);
    return serial;
}

void KeyboardSimulator::removeKeyboard(const std::string& serialNumber)
{
    unplug(serialNumber);
    std::unique_lock<std::mutex> lock(m_mutex);
    Keyboard* keyboard = &keyboardLocked(serialNumber);
    keyboard->holdWrites = false;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return keyboard->heldWrites == 0; }); // writers still look at it
    for (auto it = m_handles.begin(); it != m_handles.end();) {
        if (it->second->keyboard == keyboard)
            it = m_handles.erase(it);
        else
            ++it;
    }
    m_keyboards.erase(std::find_if(m_keyboards.begin(), m_keyboards.end(),
                                   [&](const auto& k) { return k.get() == keyboard; }));
    m_changed.notify_all();
}

std::vector<std::string> KeyboardSimulator::serialNumbers() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> serials;
    for (const auto& k : m_keyboards)
        serials.push_back(k->firmware.state().serialNumber);
    return serials;
}

std::string KeyboardSimulator::path(const std::string& serialNumber, bool keysInterface) const
{
    return "sim:" + serialNumber + (keysInterface ? "/keys" : "/vendor");
}

KeyboardState KeyboardSimulator::state(const std::string& serialNumber) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return keyboardLocked(serialNumber).firmware.state();
}

void KeyboardSimulator::changeState(const std::string& serialNumber,
                                    const std::function<void(KeyboardState&)>& change)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        change(keyboardLocked(serialNumber).firmware.state());
    }
    notifyChanged();
}

bool KeyboardSimulator::watchesKeyboardsLocked() const
{
    return m_watch.active && m_watch.vendorId == kKeyboardVendorId && m_watch.productId == kKeyboardProductId &&
           m_watch.usagePage == kKeyboardUsagePage;
}

platform::HidPortInfo KeyboardSimulator::portInfo(const Keyboard& keyboard, bool keysInterface) const
{
    platform::HidPortInfo info;
    const std::string& serial = keyboard.firmware.state().serialNumber;
    info.serialNumber = toU16(serial);
    info.manufacturer = u"Zentrik";
    info.product = u"Zentrik Trading Keyboard";
    info.path = toU16(path(serial, keysInterface));
    info.usagePage = keysInterface ? kKeysUsagePage : kKeyboardUsagePage;
    info.usage = keysInterface ? 0x06 : 0x01;
    info.vendorId = kKeyboardVendorId;
    info.productId = kKeyboardProductId;
    info.versionNumber = 0x0100;
    return info;
}

// --- plugging --------------------------------------------------------------------------------

void KeyboardSimulator::unplug(const std::string& serialNumber)
{
    PortCallback removed;
    std::vector<platform::HidPortInfo> gone;
    CallbackScope scope(*this);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Keyboard& k = keyboardLocked(serialNumber);
        if (!k.plugged)
            return;
        k.plugged = false;
        ++k.generation;
        m_changed.notify_all();
        if (m_watch.active) {
            removed = m_watch.removed;
            // As udev or WM_DEVICECHANGE: a removal names only the interface's path.
            for (bool keys : {false, true}) {
                platform::HidPortInfo info;
                info.path = portInfo(k, keys).path;
                gone.push_back(info);
            }
            scope.enterLocked();
        }
    }
    if (removed) {
        for (const auto& info : gone)
            removed(info);
    }
}

void KeyboardSimulator::plug(const std::string& serialNumber)
{
    PortCallback arrived;
    platform::HidPortInfo info;
    CallbackScope scope(*this);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Keyboard& k = keyboardLocked(serialNumber);
        if (k.plugged)
            return;
        k.plugged = true;
        if (watchesKeyboardsLocked()) {
            arrived = m_watch.arrived;
            info = portInfo(k, false);
            scope.enterLocked();
        }
    }
    if (arrived)
        arrived(info);
}

bool KeyboardSimulator::isPlugged(const std::string& serialNumber) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return keyboardLocked(serialNumber).plugged;
}

void KeyboardSimulator::setAccessDenied(const std::string& serialNumber, bool denied)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    keyboardLocked(serialNumber).accessDenied = denied;
}

// --- what the keyboard sends -----------------------------------------------------------------

void KeyboardSimulator::deliverLocked(Keyboard& keyboard, const Report& report)
{
    for (auto& [id, handle] : m_handles)
        if (handle->keyboard == &keyboard && !handle->keysInterface && handle->generation == keyboard.generation)
            handle->queue.push_back(report);
    m_changed.notify_all();
}

void KeyboardSimulator::emitReport(const std::string& serialNumber, const Report& report)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Keyboard& k = keyboardLocked(serialNumber);
        if (!k.plugged)
            return;
        deliverLocked(k, report);
    }
    trace("D>H", serialNumber, report.data(), report.size());
    notifyChanged();
}

void KeyboardSimulator::keyEvent(const std::string& serialNumber, std::uint8_t command, std::uint8_t keyFunction,
                                 std::uint8_t reason, std::uint16_t elapsedMs)
{
    Report report;
    std::function<void(const std::string&, std::uint8_t, std::uint8_t)> observer;
    {
        CallbackScope scope(*this);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Keyboard& k = keyboardLocked(serialNumber);
            if (!k.plugged)
                return;
            report = k.firmware.eventReport(command, keyFunction, reason, elapsedMs);
            observer = m_keyObserver;
            if (observer)
                scope.enterLocked();
        }
        if (observer)
            observer(serialNumber, command, keyFunction);
    }
    emitReport(serialNumber, report);
}

void KeyboardSimulator::pressSpeedKey(const std::string& serialNumber)
{
    Report report;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        KeyboardState& s = keyboardLocked(serialNumber).firmware.state();
        s.speed = static_cast<std::uint8_t>(s.speed % 6 + 1);
        report = keyboardLocked(serialNumber).firmware.stateReport(0x23);
    }
    emitReport(serialNumber, report);
}

void KeyboardSimulator::notice(const std::string& serialNumber, std::uint8_t status, std::uint8_t reason,
                               std::uint8_t command)
{
    Report report;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        SimKeyboard& firmware = keyboardLocked(serialNumber).firmware;
        firmware.state().reason = reason;
        report = firmware.stateReport(command, status);
    }
    emitReport(serialNumber, report);
}

void KeyboardSimulator::sendReport(const std::string& serialNumber, const Report& report)
{
    emitReport(serialNumber, report);
}

void KeyboardSimulator::setKeyEventObserver(
    std::function<void(const std::string&, std::uint8_t, std::uint8_t)> observer)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_keyObserver = std::move(observer);
    waitForOtherCallbacksLocked(lock);
}

void KeyboardSimulator::waitForOtherCallbacksLocked(std::unique_lock<std::mutex>& lock)
{
    // A callback may stop watching or replace the observer itself; it cannot wait for itself.
    const std::thread::id self = std::this_thread::get_id();
    m_changed.wait(lock, [&] { return m_callbackThreads.count(self) == m_callbackThreads.size(); });
}

// --- faults and records ----------------------------------------------------------------------

void KeyboardSimulator::failReads(const std::string& serialNumber, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    keyboardLocked(serialNumber).failReads = count;
    m_changed.notify_all();
}

void KeyboardSimulator::failWrites(const std::string& serialNumber, int count, int result)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Keyboard& k = keyboardLocked(serialNumber);
    k.failWrites = count;
    k.failWriteResult = result;
}

std::vector<ReceivedFrame> KeyboardSimulator::receivedFrames(const std::string& serialNumber) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return keyboardLocked(serialNumber).received;
}

std::vector<std::vector<std::uint8_t>> KeyboardSimulator::receivedFrameBytes(const std::string& serialNumber) const
{
    std::vector<std::vector<std::uint8_t>> frames;
    for (const ReceivedFrame& f : receivedFrames(serialNumber))
        if (f.wellFormed)
            frames.push_back(f.bytes);
    return frames;
}

std::vector<std::pair<std::uint8_t, std::uint8_t>> KeyboardSimulator::tradeActions(const std::string& serialNumber) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return keyboardLocked(serialNumber).tradeActions;
}

std::vector<Report> KeyboardSimulator::receivedReports(const std::string& serialNumber) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return keyboardLocked(serialNumber).reports;
}

int KeyboardSimulator::reportsReceived(const std::string& serialNumber) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(keyboardLocked(serialNumber).reports.size());
}

int KeyboardSimulator::writeAttempts(const std::string& serialNumber) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return keyboardLocked(serialNumber).writeAttempts;
}

void KeyboardSimulator::holdWrites(const std::string& serialNumber, bool hold)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    keyboardLocked(serialNumber).holdWrites = hold;
    m_changed.notify_all();
}

int KeyboardSimulator::heldWrites(const std::string& serialNumber) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return keyboardLocked(serialNumber).heldWrites;
}

void KeyboardSimulator::clearRecords(const std::string& serialNumber)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Keyboard& k = keyboardLocked(serialNumber);
    k.received.clear();
    k.tradeActions.clear();
    k.reports.clear();
    k.writeAttempts = 0;
}

int KeyboardSimulator::openHandles(const std::string& serialNumber) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Keyboard* keyboard = &keyboardLocked(serialNumber);
    return static_cast<int>(std::count_if(m_handles.begin(), m_handles.end(), [&](const auto& h) {
        return h.second->keyboard == keyboard && !h.second->keysInterface;
    }));
}

int KeyboardSimulator::initCalls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_initCalls;
}

int KeyboardSimulator::exitCalls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_exitCalls;
}

void KeyboardSimulator::setTraceFile(const std::string& fileName)
{
    std::lock_guard<std::mutex> lock(m_traceMutex);
    if (m_trace.is_open())
        m_trace.close();
    if (!fileName.empty())
        m_trace.open(fileName, std::ios::out | std::ios::app);
}

void KeyboardSimulator::trace(const char* direction, const std::string& serial, const std::uint8_t* bytes,
                              std::size_t n)
{
    static const char hex[] = "0123456789ABCDEF";
    std::lock_guard<std::mutex> lock(m_traceMutex);
    if (!m_trace.is_open())
        return;
    std::string line = std::string(direction) + ' ' + serial;
    for (std::size_t i = 0; i < n; ++i) {
        line += ' ';
        line += hex[bytes[i] >> 4];
        line += hex[bytes[i] & 0xF];
    }
    line += '\n';
    m_trace << line;
    m_trace.flush();
}

// --- platform::HidApi ------------------------------------------------------------------------

int KeyboardSimulator::init()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_initCalls;
    return 0;
}

int KeyboardSimulator::exit()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_exitCalls;
    return 0;
}

std::vector<platform::HidDeviceInfo> KeyboardSimulator::enumerate(std::uint16_t vendorId, std::uint16_t productId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<platform::HidDeviceInfo> list;
    if ((vendorId && vendorId != kKeyboardVendorId) || (productId && productId != kKeyboardProductId))
        return list;
    for (const auto& k : m_keyboards) {
        if (!k->plugged)
            continue;
        // The keys interface comes first, so that a filter on the usage page really matters.
        for (bool keys : {true, false}) {
            const platform::HidPortInfo port = portInfo(*k, keys);
            platform::HidDeviceInfo info;
            info.path = path(k->firmware.state().serialNumber, keys);
            info.vendorId = kKeyboardVendorId;
            info.productId = kKeyboardProductId;
            info.serialNumber = port.serialNumber;
            info.manufacturer = port.manufacturer;
            info.product = port.product;
            info.releaseNumber = static_cast<std::uint16_t>(port.versionNumber);
            info.usagePage = static_cast<std::uint16_t>(port.usagePage);
            info.usage = static_cast<std::uint16_t>(port.usage);
            info.interfaceNumber = keys ? 0 : 1;
            list.push_back(info);
        }
    }
    return list;
}

platform::HidDevice* KeyboardSimulator::openPath(const char* devicePath)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string wanted = devicePath ? devicePath : "";
    for (const auto& k : m_keyboards) {
        for (bool keys : {false, true}) {
            if (path(k->firmware.state().serialNumber, keys) != wanted)
                continue;
            if (!k->plugged)
                break;
            if (k->accessDenied) {
                t_lastOpenError = platform::HidOpenError::PermissionDenied;
                return nullptr;
            }
            auto handle = std::make_unique<Handle>();
            handle->keyboard = k.get();
            handle->keysInterface = keys;
            handle->generation = k->generation;
            const std::uintptr_t id = m_nextHandle++;
            m_handles.emplace(id, std::move(handle));
            t_lastOpenError = platform::HidOpenError::None;
            return reinterpret_cast<platform::HidDevice*>(id);
        }
    }
    t_lastOpenError = platform::HidOpenError::NotFound;
    return nullptr;
}

platform::HidOpenError KeyboardSimulator::lastOpenError()
{
    return t_lastOpenError;
}

KeyboardSimulator::Handle* KeyboardSimulator::handleLocked(platform::HidDevice* device) const
{
    const auto it = m_handles.find(handleId(device));
    return it == m_handles.end() ? nullptr : it->second.get();
}

int KeyboardSimulator::readTimeout(platform::HidDevice* device, unsigned char* data, std::size_t length,
                                   int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    for (;;) {
        // Looked up again after every wait: the handle may have been closed meanwhile.
        Handle* h = handleLocked(device);
        if (!h || !h->keyboard->plugged || h->generation != h->keyboard->generation)
            return -1;
        if (!h->keysInterface && h->keyboard->failReads > 0) {
            --h->keyboard->failReads;
            return -1;
        }
        if (!h->queue.empty()) {
            const Report report = std::move(h->queue.front());
            h->queue.erase(h->queue.begin());
            const std::size_t n = std::min(length, report.size());
            std::copy(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(n), data);
            return static_cast<int>(n);
        }
        if (milliseconds < 0)
            m_changed.wait(lock);
        else if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout)
            return 0;
    }
}

int KeyboardSimulator::write(platform::HidDevice* device, const unsigned char* data, std::size_t length)
{
    std::vector<ReceivedFrame> frames;
    std::vector<Report> answers;
    std::string serial;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto alive = [&](Handle* h) {
            return h && h->keyboard->plugged && h->generation == h->keyboard->generation;
        };
        Handle* h = handleLocked(device);
        if (h && !h->keysInterface)
            ++h->keyboard->writeAttempts;
        if (!alive(h) || !data || length == 0)
            return -1;
        if (h->keysInterface)
            return static_cast<int>(length);
        if (h->keyboard->holdWrites) {
            ++h->keyboard->heldWrites;
            m_changed.notify_all();
            Keyboard* held = h->keyboard;
            m_changed.wait(lock, [&] { return !held->holdWrites || !alive(handleLocked(device)); });
            --held->heldWrites;
            m_changed.notify_all();
            h = handleLocked(device);
            if (!alive(h))
                return -1;
        }
        Keyboard& k = *h->keyboard;
        if (k.failWrites > 0) {
            --k.failWrites;
            return k.failWriteResult;
        }
        k.reports.emplace_back(data, data + length);
        serial = k.firmware.state().serialNumber;
        frames = SimKeyboard::splitFrames(data + 1, length - 1);
        const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count();
        for (ReceivedFrame& f : frames) {
            f.receivedAtMs = now;
            k.received.push_back(f);
            if (f.wellFormed && f.bytes[1] == 0xA1 && f.bytes[2] == 2)
                k.tradeActions.emplace_back(f.bytes[3], f.bytes[4]);
            for (Report& r : k.firmware.handleFrame(f))
                answers.push_back(std::move(r));
        }
        for (const Report& r : answers)
            deliverLocked(k, r);
    }
    for (const ReceivedFrame& f : frames)
        trace("H>D", serial, f.bytes.data(), f.bytes.size());
    for (const Report& r : answers)
        trace("D>H", serial, r.data(), r.size());
    notifyChanged();
    return static_cast<int>(length);
}

void KeyboardSimulator::setChangeListener(std::function<void()> listener)
{
    std::shared_ptr<const std::function<void()>> next;
    if (listener)
        next = std::make_shared<const std::function<void()>>(std::move(listener));
    std::lock_guard<std::mutex> lock(m_changeListenerMutex);
    m_changeListener = std::move(next);
}

void KeyboardSimulator::notifyChanged()
{
    std::shared_ptr<const std::function<void()>> listener;
    {
        std::lock_guard<std::mutex> lock(m_changeListenerMutex);
        listener = m_changeListener;
    }
    // Called without the lock: the listener may reach into the desktop again.
    if (listener)
        (*listener)();
}

void KeyboardSimulator::close(platform::HidDevice* device)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handles.erase(handleId(device));
    m_changed.notify_all();
}

// --- platform::HidPorts ----------------------------------------------------------------------

std::vector<platform::HidPortInfo> KeyboardSimulator::enumeratePorts(std::uint32_t vendorId, std::uint32_t productId,
                                                                     std::uint32_t usagePage)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<platform::HidPortInfo> ports;
    for (const auto& k : m_keyboards) {
        if (!k->plugged)
            continue;
        for (bool keys : {true, false}) {
            platform::HidPortInfo info = portInfo(*k, keys);
            if (info.vendorId == vendorId && info.productId == productId && info.usagePage == usagePage)
                ports.push_back(info);
        }
    }
    return ports;
}

bool KeyboardSimulator::startWatching(std::uint32_t vendorId, std::uint32_t productId, std::uint32_t usagePage,
                                      PortCallback arrived, PortCallback removed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_watch.active = true;
    m_watch.vendorId = vendorId;
    m_watch.productId = productId;
    m_watch.usagePage = usagePage;
    m_watch.arrived = std::move(arrived);
    m_watch.removed = std::move(removed);
    return true;
}

void KeyboardSimulator::stopWatching()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_watch = Watch{};
    waitForOtherCallbacksLocked(lock);
}

} // namespace sim
