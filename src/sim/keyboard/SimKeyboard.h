#pragma once

// The firmware of one simulated trading keyboard: its parameters, key map and work state, and
// what it answers to each host frame. It knows nothing about handles or threads; the
// KeyboardSimulator feeds it frames and carries its reports to the program.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sim {

constexpr std::uint16_t kKeyboardVendorId = 0x3721;
constexpr std::uint16_t kKeyboardProductId = 0x2405;
constexpr std::uint16_t kKeyboardUsagePage = 0xFF00;
// The keyboard's other interface (the keys themselves), which the program must ignore.
constexpr std::uint16_t kKeysUsagePage = 0x0001;

// An input report as hid_read_timeout hands it over: the report number (0) first, then the
// report data. The keyboard's reports are 64 bytes; tests may send shorter ones.
using Report = std::vector<std::uint8_t>;
constexpr std::size_t kReportSize = 64;

// Everything the keyboard reports in its state frame and keeps as settings.
struct KeyboardState
{
    std::string serialNumber;                          // 8 Latin-1 characters on the wire
    std::array<std::uint8_t, 4> build{0x20, 0x24, 0x01, 0x15}; // packed BCD: 2024-01-15
    bool workState = false;
    std::uint8_t soft = 2;      // 1 THS, 2 TDX
    std::uint8_t priceType = 0; // buy index
    std::uint8_t speed = 2;     // 1 … 6
    std::uint8_t keyDownDelay = 8;
    std::uint8_t keyUpDelay = 8;
    std::uint8_t ledColor = 1;
    bool buyConfirm = false;
    bool sellConfirm = false;
    bool numLock = true;
    bool tradeOnStartup = false;
    std::uint8_t focus = 0;
    bool cancelAll = false;
    bool queryKey = false;
    bool fnKey = false;
    bool costStat = false;
    std::uint16_t elapsedMs = 0;
    std::uint8_t keyFunction = 0;
    std::uint8_t reason = 0;
    std::vector<std::uint8_t> keyMap; // key 1 first, one function code per key
};

// A frame the host sent, as found in an output report.
struct ReceivedFrame
{
    std::vector<std::uint8_t> bytes; // from the start byte to the end byte (or the unparsable rest)
    bool wellFormed = false;         // start, length, checksum and end byte all right
    std::int64_t receivedAtMs = 0;   // when it reached the keyboard, on a steady clock
};

class SimKeyboard
{
public:
    explicit SimKeyboard(const std::string& serialNumber);

    KeyboardState& state() { return m_state; }
    const KeyboardState& state() const { return m_state; }
    // What a factory reset (0x3E) restores.
    void setFactoryState(const KeyboardState& state) { m_factory = state; }

    // Acts on one host frame; returns the reports the keyboard sends back (none or one).
    std::vector<Report> handleFrame(const ReceivedFrame& frame);

    // The keyboard's reports.
    Report stateReport(std::uint8_t command, std::uint8_t status = 0) const;
    Report keyMapReport(std::uint8_t command) const;
    // A key event: the keyboard records the key and reports its state with the event command.
    Report eventReport(std::uint8_t command, std::uint8_t keyFunction, std::uint8_t reason, std::uint16_t elapsedMs);

    // Splits the data of one output report (after the report number) into host frames.
    static std::vector<ReceivedFrame> splitFrames(const std::uint8_t* data, std::size_t length);

    // The longest key map a key-map report can carry.
    static constexpr std::size_t kMaxReportedKeys = kReportSize - 1 - 4;

private:
    KeyboardState m_state;
    KeyboardState m_saved;   // what 0x3F stored; a restart (0xB0) comes back with it
    KeyboardState m_factory; // what 0x3E restores
};

} // namespace sim
