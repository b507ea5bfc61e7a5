#include "DataParser.h"

#include "Protocol.h"

#include "platform/api/Platform.h"

#include <QDateTime>

namespace {

// The state layout ends at offset 57.
constexpr int kStateSize = 58;
constexpr int kReasonOffset = 45;

int byteAt(const QByteArray& frame, int offset)
{
    return static_cast<quint8>(frame.at(offset));
}

bool bit0(const QByteArray& frame, int offset)
{
    return (byteAt(frame, offset) & 1) != 0;
}

quint16 word(const QByteArray& frame, int offset)
{
    return static_cast<quint16>(byteAt(frame, offset) | (byteAt(frame, offset + 1) << 8));
}

int bcdDigits(quint8 byte)
{
    return (byte >> 4) * 10 + (byte & 0x0F);
}

} // namespace

DataParser::DataParser(QObject* parent) : QObject(parent) {}

void DataParser::decode(const QByteArray& frame)
{
    parseHeader(frame);
    if (m_status != 0 || frame.size() < 4)
        return;
    if (Protocol::isKeyMapCommand(m_command))
        parseKeyMap(frame);
    else
        parseState(frame);
}

void DataParser::parseHeader(const QByteArray& frame)
{
    if (frame.size() < 4) // not even a header: a broken read, keep what we had
        return;
    m_command = byteAt(frame, 1);
    m_length = byteAt(frame, 2);
    m_status = byteAt(frame, 3);
    if (frame.size() > kReasonOffset)
        m_reason = byteAt(frame, kReasonOffset);
}

void DataParser::parseState(const QByteArray& frame)
{
    if (frame.size() < kStateSize)
        return;
    parseHeader(frame); // command, length, status and the reason byte are part of the layout
    m_serialNumber = QString::fromLatin1(frame.mid(4, 8));
    m_buildBytes = frame.mid(12, 4);
    m_build = bcdToString(m_buildBytes);
    m_byte16 = byteAt(frame, 16);
    m_workState = bit0(frame, 17);
    m_soft = byteAt(frame, 18);
    m_priceType = byteAt(frame, 19);
    m_speed = byteAt(frame, 20);
    m_keyDownDelay = byteAt(frame, 21);
    m_keyUpDelay = byteAt(frame, 22);
    m_bytes23to26 = frame.mid(23, 4);
    m_byte27 = byteAt(frame, 27);
    m_ledColor = byteAt(frame, 28);
    m_buyConfirm = (byteAt(frame, 32) & 1) != 0;
    m_sellConfirm = (byteAt(frame, 32) & 2) != 0;
    m_numLock = bit0(frame, 33);
    m_tradeOnStartup = bit0(frame, 34);
    m_focus = byteAt(frame, 35);
    m_cancelAll = bit0(frame, 36);
    m_queryKey = bit0(frame, 37);
    m_fnKey = bit0(frame, 38);
    m_costStat = bit0(frame, 39);
    m_elapsedMs = word(frame, 40);
    m_keyFunction = byteAt(frame, 42);
    m_byte43 = byteAt(frame, 43);
    m_byte44 = byteAt(frame, 44);
    m_byte46 = byteAt(frame, 46);
    m_byte47 = byteAt(frame, 47);
    m_byte48 = byteAt(frame, 48);
    m_flag49 = byteAt(frame, 49) != 0;
    for (int i = 0; i < 4; ++i)
        m_words50[i] = word(frame, 50 + 2 * i);

    if (m_keyFunction >= 1 && m_keyFunction <= 50) {
        const QString name = Protocol::keyFunctionName(m_keyFunction, m_soft);
        if (!name.isNull())
            m_keyFunctionName = name;
    }
    m_speedName = Protocol::speedName(m_speed);
}

void DataParser::parseKeyMap(const QByteArray& frame)
{
    // length counts the status byte and the keys; a length byte that claims more keys than the
    // chunk holds gets the keys that are there.
    if (frame.size() < 3) { // no length byte: no keys
        m_keyMap.clear();
        return;
    }
    const int keys = qBound(0, byteAt(frame, 2) - 1, qMax(0, frame.size() - 4));
    m_keyMap = frame.mid(4, keys);
}

QString DataParser::bcdToString(const QByteArray& bytes)
{
    if (bytes.size() != 4)
        return QStringLiteral("Invalid BCD bytes length");
    const int year = bcdDigits(bytes[0]) * 100 + bcdDigits(bytes[1]);
    return QString::number(year) + QStringLiteral("%1%2")
                                       .arg(bcdDigits(bytes[2]), 2, 10, QLatin1Char('0'))
                                       .arg(bcdDigits(bytes[3]), 2, 10, QLatin1Char('0'));
}

quint8 DataParser::xorChecksum(const QByteArray& frame, int n)
{
    quint8 x = 0;
    for (int i = 3; i < 3 + n && i < frame.size(); ++i)
        x ^= static_cast<quint8>(frame.at(i));
    return x;
}

QString DataParser::lastTradingDay()
{
    return lastTradingDay(*platform::services().clock);
}

QString DataParser::lastTradingDay(platform::Clock& clock)
{
    return lastTradingDay(QDateTime::fromMSecsSinceEpoch(clock.nowMs()));
}

QString DataParser::lastTradingDay(const QDateTime& now)
{
    const QDateTime local = now.toLocalTime();
    QDate day = local.date();
    const auto weekday = [](const QDate& d) { return d.dayOfWeek() <= 5; };
    if (!(weekday(day) && local.time().hour() >= 12)) {
        do {
            day = day.addDays(-1);
        } while (!weekday(day));
    }
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

QString DataParser::priceTypeName() const
{
    return Protocol::priceTypeName(m_priceType, m_soft);
}

QString DataParser::softName() const
{
    return Protocol::softName(m_soft);
}
