#include "SimKeyboard.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::uint8_t kStart = 0x5A;
constexpr std::uint8_t kEnd = 0xCA;
// Length byte of a state report: the status byte and the 54 state bytes after it (offsets 4 … 57).
constexpr std::uint8_t kStateLength = 55;

// Offsets below are those of the frame as the program sees it (the report without its report
// number), so report index = offset + 1.
void put(Report& r, std::size_t offset, std::uint8_t value)
{
    r.at(offset + 1) = value;
}

Report emptyReport(std::uint8_t command, std::uint8_t length, std::uint8_t status)
{
    Report r(kReportSize, 0);
    put(r, 0, kStart);
    put(r, 1, command);
    put(r, 2, length);
    put(r, 3, status);
    return r;
}

std::vector<std::uint8_t> defaultKeyMap()
{
    return {1, 10, 11, 12, 13, 14, 15, 19, 20, 21, 22, 23, 24, 25, 29, 30, 31, 32, 33, 17, 18, 2, 50, 55};
}

} // namespace

SimKeyboard::SimKeyboard(const std::string& serialNumber)
{
    m_state.serialNumber = serialNumber;
    m_state.keyMap = defaultKeyMap();
    m_saved = m_state;
    m_factory = m_state;
}

Report SimKeyboard::stateReport(std::uint8_t command, std::uint8_t status) const
{
    const KeyboardState& s = m_state;
    Report r = emptyReport(command, kStateLength, status);
    for (std::size_t i = 0; i < 8; ++i)
        put(r, 4 + i, i < s.serialNumber.size() ? static_cast<std::uint8_t>(s.serialNumber[i]) : ' ');
    for (std::size_t i = 0; i < 4; ++i)
        put(r, 12 + i, s.build[i]);
    put(r, 17, s.workState ? 1 : 0);
    put(r, 18, s.soft);
    put(r, 19, s.priceType);
    put(r, 20, s.speed);
    put(r, 21, s.keyDownDelay);
    put(r, 22, s.keyUpDelay);
    put(r, 28, s.ledColor);
    put(r, 32, static_cast<std::uint8_t>((s.buyConfirm ? 1 : 0) | (s.sellConfirm ? 2 : 0)));
    put(r, 33, s.numLock ? 1 : 0);
    put(r, 34, s.tradeOnStartup ? 1 : 0);
    put(r, 35, s.focus);
    put(r, 36, s.cancelAll ? 1 : 0);
    put(r, 37, s.queryKey ? 1 : 0);
    put(r, 38, s.fnKey ? 1 : 0);
    put(r, 39, s.costStat ? 1 : 0);
    put(r, 40, static_cast<std::uint8_t>(s.elapsedMs & 0xFF));
    put(r, 41, static_cast<std::uint8_t>(s.elapsedMs >> 8));
    put(r, 42, s.keyFunction);
    put(r, 45, s.reason);
    return r;
}

Report SimKeyboard::keyMapReport(std::uint8_t command) const
{
    const std::size_t keys = std::min(m_state.keyMap.size(), kMaxReportedKeys);
    Report r = emptyReport(command, static_cast<std::uint8_t>(keys + 1), 0);
    for (std::size_t i = 0; i < keys; ++i)
        put(r, 4 + i, m_state.keyMap[i]);
    return r;
}

Report SimKeyboard::eventReport(std::uint8_t command, std::uint8_t keyFunction, std::uint8_t reason,
                                std::uint16_t elapsedMs)
{
    m_state.keyFunction = keyFunction;
    m_state.reason = reason;
    m_state.elapsedMs = elapsedMs;
    if (command == 0x1F)
        return keyMapReport(command);
    return stateReport(command);
}

std::vector<ReceivedFrame> SimKeyboard::splitFrames(const std::uint8_t* data, std::size_t length)
{
    std::vector<ReceivedFrame> frames;
    std::size_t used = length;
    while (used > 0 && data[used - 1] == 0)
        --used; // the zero padding of the report
    std::size_t i = 0;
    while (i < used) {
        if (data[i] == 0) { // gaps between frames are padding too
            ++i;
            continue;
        }
        ReceivedFrame f;
        const std::size_t total = (data[i] == kStart && i + 2 < used) ? 5u + data[i + 2] : 0u;
        if (total == 0 || i + total > length) {
            f.bytes.assign(data + i, data + used); // not a frame: keep the rest as it came
            frames.push_back(std::move(f));
            break;
        }
        f.bytes.assign(data + i, data + i + total);
        std::uint8_t x = 0;
        for (std::size_t k = 3; k + 2 < total; ++k)
            x ^= f.bytes[k];
        f.wellFormed = f.bytes[total - 2] == x && f.bytes[total - 1] == kEnd;
        frames.push_back(std::move(f));
        i += total;
    }
    return frames;
}

std::vector<Report> SimKeyboard::handleFrame(const ReceivedFrame& frame)
{
    if (!frame.wellFormed)
        return {};
    const std::uint8_t command = frame.bytes[1];
    const std::uint8_t n = frame.bytes[2];
    const std::uint8_t* payload = frame.bytes.data() + 3;
    const std::uint8_t arg = n > 0 ? payload[0] : 0;
    KeyboardState& s = m_state;

    switch (command) {
    case 0xF3:
        return {keyMapReport(0xF3)};
    case 0x1E:
        s.keyMap.assign(payload, payload + n);
        return {keyMapReport(0x1E)};
    case 0xA1: // the outcome of a trade: recorded by the simulator, nothing comes back
        return {};
    case 0x3F:
        m_saved = s;
        break;
    case 0x3E: {
        const std::string serial = s.serialNumber;
        const auto build = s.build;
        s = m_factory;
        s.serialNumber = serial;
        s.build = build;
        m_saved = s;
        break;
    }
    case 0xB0: // a restart comes back with the stored settings
        s = m_saved;
        s.workState = s.tradeOnStartup;
        break;
    case 0x20:
    case 0x31:
        if (arg == 1 || arg == 2)
            s.soft = arg;
        break;
    case 0x21:
        s.workState = !s.workState;
        break;
    case 0x22:
        s.workState = (arg & 1) != 0;
        break;
    case 0x32:
        s.priceType = arg;
        break;
    case 0x33:
        if (arg >= 1 && arg <= 6)
            s.speed = arg;
        break;
    case 0x36:
        s.tradeOnStartup = (arg & 1) != 0;
        break;
    case 0x37:
        s.numLock = (arg & 1) != 0;
        break;
    case 0x38:
        s.cancelAll = (arg & 1) != 0;
        break;
    case 0x39:
        s.queryKey = (arg & 1) != 0;
        break;
    case 0x3A:
        if (arg <= 3)
            s.focus = arg;
        break;
    case 0x3B:
        s.costStat = (arg & 1) != 0;
        break;
    case 0x2B:
        s.buyConfirm = (arg & 1) != 0;
        break;
    case 0x2E:
        s.sellConfirm = (arg & 1) != 0;
        break;
    case 0x3D:
        s.fnKey = (arg & 1) != 0;
        break;
    case 0xED:
        if (arg >= 1 && arg <= 5)
            s.ledColor = arg;
        break;
    case 0xF1:
    case 0xA0:
        break;
    default: // unknown commands are ignored by the firmware
        return {};
    }
    return {stateReport(command)};
}

} // namespace sim
