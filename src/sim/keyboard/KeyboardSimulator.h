#pragma once

// Simulated trading keyboards behind the HID seam: the program enumerates, opens, reads and
// writes them exactly as it would real ones (hidapi semantics), while tests, benchmarks and the
// demo mode script them: press keys, report trade outcomes, unplug and replug, fail reads and
// writes, and read back every frame the program sent.
//
//   sim::KeyboardSimulator keyboards;
//   keyboards.addKeyboard("ZK000001");
//   keyboards.install();                      // into platform::services() (hid and hidPorts)
//   ... program connects ...
//   keyboards.pressTradeKey("ZK000001", 13);  // a 1/3 buy key
//   keyboards.receivedFrames("ZK000001");     // what the program sent
//
// Each keyboard has two interfaces: its vendor interface (usage page 0xFF00), the one the
// program talks to, and its keys interface (usage page 0x0001), which the program must ignore.
// Every open handle of the vendor interface gets its own copy of each report, as on hidraw.
//
// With ZENTRIK_SIM_TRACE=<file> in the environment (or setTraceFile), every frame is appended to
// the file as one line:
//   H>D <serial> <frame bytes>   a frame the program sent, from 5A to CA (no report number, no
//                                padding); bytes that do not form a frame are written as they came
//   D>H <serial> <64 bytes>      a report the keyboard sent, as the program reads it: the report
//                                number 00 first, so protocol offset k is the (k+1)-th byte
// Bytes are two upper-case hex digits separated by single spaces.

#include "SimKeyboard.h"

#include "platform/api/HidApi.h"
#include "platform/api/HidPorts.h"
#include "platform/api/Platform.h"

#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sim {

class KeyboardSimulator : private platform::HidApi, private platform::HidPorts
{
public:
    KeyboardSimulator();
    ~KeyboardSimulator() override;
    KeyboardSimulator(const KeyboardSimulator&) = delete;
    KeyboardSimulator& operator=(const KeyboardSimulator&) = delete;

    platform::HidApi& hidApi() { return *this; }
    platform::HidPorts& hidPorts() { return *this; }
    // Puts hidApi() and hidPorts() into the services, leaving the other members as they are.
    void installInto(platform::Services& services);
    // The same for the process's installed services.
    void install();

    // --- keyboards ---------------------------------------------------------------------------
    // Adds a keyboard, plugged in (announced to a watcher). An empty serial picks "ZK00000n".
    // Returns the serial number.
    std::string addKeyboard(const std::string& serialNumber = {});
    // Unplugs the keyboard and forgets it.
    void removeKeyboard(const std::string& serialNumber);
    std::vector<std::string> serialNumbers() const;
    // Path of the vendor interface (keysInterface = false) or of the keys interface.
    std::string path(const std::string& serialNumber, bool keysInterface = false) const;
    KeyboardState state(const std::string& serialNumber) const;
    void changeState(const std::string& serialNumber, const std::function<void(KeyboardState&)>& change);

    // --- plugging -----------------------------------------------------------------------------
    // Unplugging ends every open handle (reads and writes fail from then on, also after a
    // replug) and announces the removal of both interfaces; plugging announces the vendor
    // interface's arrival.
    void unplug(const std::string& serialNumber);
    void plug(const std::string& serialNumber);
    bool isPlugged(const std::string& serialNumber) const;
    // Opening fails as for a user without permission on the device node.
    void setAccessDenied(const std::string& serialNumber, bool denied);

    // --- what the keyboard sends --------------------------------------------------------------
    // A key event with the keyboard's state: 0xD0 trade key, 0xDF trade key with flag (reason),
    // 0xC0 key used (reason 5 = confirm needed), 0xCD confirmed, 0xCE trade completed,
    // 0xAC focus key, 0x23 speed key, 0x1F key map sent by the keyboard.
    void keyEvent(const std::string& serialNumber, std::uint8_t command, std::uint8_t keyFunction = 0,
                  std::uint8_t reason = 0, std::uint16_t elapsedMs = 0);
    void pressTradeKey(const std::string& serialNumber, std::uint8_t keyFunction) { keyEvent(serialNumber, 0xD0, keyFunction); }
    void pressTradeKeyWithFlag(const std::string& serialNumber, std::uint8_t keyFunction, std::uint8_t flag)
    {
        keyEvent(serialNumber, 0xDF, keyFunction, flag);
    }
    // The speed key steps through the speeds 1 … 6 and reports 0x23.
    void pressSpeedKey(const std::string& serialNumber);
    // An outcome notice: status 2, 3, 6, 9, 11 or 12 with its reason in byte 45.
    void notice(const std::string& serialNumber, std::uint8_t status, std::uint8_t reason,
                std::uint8_t command = 0xD0);
    // Any report as it is, also a short one.
    void sendReport(const std::string& serialNumber, const Report& report);
    // Called (outside the simulator's lock) for every key event: a simulated desktop can type
    // the trading client's hot keys from here, as the real keyboard does. Replacing the observer
    // waits until calls of the old one on other threads have returned.
    void setKeyEventObserver(std::function<void(const std::string& serial, std::uint8_t command, std::uint8_t keyFunction)> observer);

    // --- faults -------------------------------------------------------------------------------
    // The next count reads of the vendor interface fail (< 0).
    void failReads(const std::string& serialNumber, int count = 1);
    // The next count writes to the vendor interface return result (negative, e.g. -1 or -110)
    // and reach nothing.
    void failWrites(const std::string& serialNumber, int count, int result = -1);

    // While held, writes to the vendor interface wait (a busy device); heldWrites() tells how
    // many are waiting.
    void holdWrites(const std::string& serialNumber, bool hold);
    int heldWrites(const std::string& serialNumber) const;

    // --- records ------------------------------------------------------------------------------
    std::vector<ReceivedFrame> receivedFrames(const std::string& serialNumber) const;
    // The well-formed frames only, as byte vectors.
    std::vector<std::vector<std::uint8_t>> receivedFrameBytes(const std::string& serialNumber) const;
    // The 0xA1 frames: (action, reason) in arrival order.
    std::vector<std::pair<std::uint8_t, std::uint8_t>> tradeActions(const std::string& serialNumber) const;
    // Output reports that reached the keyboard (successful writes), as written: report number first.
    std::vector<Report> receivedReports(const std::string& serialNumber) const;
    int reportsReceived(const std::string& serialNumber) const;
    // Write calls on the vendor interface, failed ones included.
    int writeAttempts(const std::string& serialNumber) const;
    void clearRecords(const std::string& serialNumber);
    // Handles open on the vendor interface.
    int openHandles(const std::string& serialNumber) const;
    int initCalls() const;
    int exitCalls() const;

    // Writes the frame log to this file (appending); empty = no log.
    void setTraceFile(const std::string& fileName);

    // Called (outside the simulator's lock, on the thread of the change) after a keyboard's state
    // or records may have changed: a frame received from the program, a report sent, a state
    // changed by changeState. A viewer coalesces the calls. Null stops them; a call already
    // running may still finish after that.
    void setChangeListener(std::function<void()> listener);

private:
    struct Keyboard;
    struct Handle;
    class CallbackScope;

    // platform::HidApi
    int init() override;
    int exit() override;
    std::vector<platform::HidDeviceInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
    platform::HidDevice* openPath(const char* path) override;
    platform::HidOpenError lastOpenError() override;
    int readTimeout(platform::HidDevice* device, unsigned char* data, std::size_t length, int milliseconds) override;
    int write(platform::HidDevice* device, const unsigned char* data, std::size_t length) override;
    void close(platform::HidDevice* device) override;

    // platform::HidPorts
    std::vector<platform::HidPortInfo> enumeratePorts(std::uint32_t vendorId, std::uint32_t productId,
                                                      std::uint32_t usagePage) override;
    bool startWatching(std::uint32_t vendorId, std::uint32_t productId, std::uint32_t usagePage,
                       PortCallback arrived, PortCallback removed) override;
    // Waits until the callbacks running on other threads have returned: the watcher may be
    // destroyed as soon as this returns.
    void stopWatching() override;

    Keyboard& keyboardLocked(const std::string& serialNumber) const;
    bool watchesKeyboardsLocked() const;
    Handle* handleLocked(platform::HidDevice* device) const;
    void deliverLocked(Keyboard& keyboard, const Report& report);
    void emitReport(const std::string& serialNumber, const Report& report);
    platform::HidPortInfo portInfo(const Keyboard& keyboard, bool keysInterface) const;
    void trace(const char* direction, const std::string& serial, const std::uint8_t* bytes, std::size_t n);
    void waitForOtherCallbacksLocked(std::unique_lock<std::mutex>& lock);
    void notifyChanged(); // not under m_mutex

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<Keyboard>> m_keyboards;
    std::map<std::uintptr_t, std::unique_ptr<Handle>> m_handles;
    std::uintptr_t m_nextHandle = 1;
    int m_initCalls = 0;
    int m_exitCalls = 0;

    struct Watch
    {
        bool active = false;
        std::uint32_t vendorId = 0, productId = 0, usagePage = 0;
        PortCallback arrived, removed;
    } m_watch;
    std::function<void(const std::string&, std::uint8_t, std::uint8_t)> m_keyObserver;
    // Threads running a watcher callback or the key observer, which were copied under m_mutex and
    // are called outside it.
    std::multiset<std::thread::id> m_callbackThreads;

    std::mutex m_changeListenerMutex; // a standard lock, which the thread sanitizer sees
    std::shared_ptr<const std::function<void()>> m_changeListener;

    std::mutex m_traceMutex;
    std::ofstream m_trace;
};

} // namespace sim
