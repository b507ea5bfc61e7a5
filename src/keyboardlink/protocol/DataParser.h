#pragma once

// The last decoded frame of one keyboard. Every 64-byte chunk the keyboard sends goes through
// decode(); fields a frame does not carry keep the values of earlier frames, so that handlers of
// a notice (status 2 or 3) still see the key function and price type of the last normal frame.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>

class QDateTime;

namespace platform {
class Clock;
}

class DataParser : public QObject
{
    Q_OBJECT
public:
    explicit DataParser(QObject* parent = nullptr);

    // Header, then the key map (status 0, command 0x1E/0x1F/0xF3) or the state (status 0, any
    // other command); a frame with another status is decoded only as far as header and reason.
    void decode(const QByteArray& frame);

    void parseHeader(const QByteArray& frame);
    void parseState(const QByteArray& frame);
    void parseKeyMap(const QByteArray& frame);

    // Four packed-BCD bytes to eight digits: year, month and day (no validity check).
    static QString bcdToString(const QByteArray& bytes);
    // XOR of frame bytes 3 … 3 + n − 1 (the payload of a host frame); 0 for n = 0.
    static quint8 xorChecksum(const QByteArray& frame, int n);
    // The trading day the market data belongs to, "yyyy-MM-dd": today from noon on a weekday,
    // otherwise the last weekday before today.
    static QString lastTradingDay();
    static QString lastTradingDay(platform::Clock& clock);
    static QString lastTradingDay(const QDateTime& now);

    QString priceTypeName() const;
    QString softName() const;

    // Header.
    int command() const { return m_command; }
    int length() const { return m_length; }
    int status() const { return m_status; }
    int reason() const { return m_reason; }
    // State.
    QString serialNumber() const { return m_serialNumber; }
    QByteArray buildBytes() const { return m_buildBytes; }
    QString build() const { return m_build; }
    int byte16() const { return m_byte16; }
    bool workState() const { return m_workState; }
    int soft() const { return m_soft; }
    int priceType() const { return m_priceType; }
    int speed() const { return m_speed; }
    int keyDownDelay() const { return m_keyDownDelay; }
    int keyUpDelay() const { return m_keyUpDelay; }
    QByteArray bytes23to26() const { return m_bytes23to26; }
    int byte27() const { return m_byte27; }
    int ledColor() const { return m_ledColor; }
    bool buyConfirm() const { return m_buyConfirm; }
    bool sellConfirm() const { return m_sellConfirm; }
    bool numLock() const { return m_numLock; }
    bool tradeOnStartup() const { return m_tradeOnStartup; }
    int focus() const { return m_focus; }
    bool focusEnabled() const { return m_focus != 0; }
    bool cancelAll() const { return m_cancelAll; }
    bool queryKey() const { return m_queryKey; }
    bool fnKey() const { return m_fnKey; }
    bool costStat() const { return m_costStat; }
    int elapsedMs() const { return m_elapsedMs; }
    int keyFunction() const { return m_keyFunction; }
    int byte43() const { return m_byte43; }
    int byte44() const { return m_byte44; }
    int byte46() const { return m_byte46; }
    int byte47() const { return m_byte47; }
    int byte48() const { return m_byte48; }
    bool flag49() const { return m_flag49; }
    std::array<quint16, 4> words50() const { return m_words50; }
    QString keyFunctionName() const { return m_keyFunctionName; }
    QString speedName() const { return m_speedName; }
    // Key map.
    QByteArray keyMap() const { return m_keyMap; }

private:
    int m_command = 0;
    int m_length = 0;
    int m_status = 0;
    int m_reason = 0;
    QString m_serialNumber;
    QByteArray m_buildBytes;
    QString m_build;
    int m_byte16 = 0;
    bool m_workState = false;
    int m_soft = 0;
    int m_priceType = 0;
    int m_speed = 0;
    int m_keyDownDelay = 0;
    int m_keyUpDelay = 0;
    QByteArray m_bytes23to26;
    int m_byte27 = 0;
    int m_ledColor = 0;
    bool m_buyConfirm = false;
    bool m_sellConfirm = false;
    bool m_numLock = false;
    bool m_tradeOnStartup = false;
    int m_focus = 0;
    bool m_cancelAll = false;
    bool m_queryKey = false;
    bool m_fnKey = false;
    bool m_costStat = false;
    int m_elapsedMs = 0;
    int m_keyFunction = 0;
    int m_byte43 = 0;
    int m_byte44 = 0;
    int m_byte46 = 0;
    int m_byte47 = 0;
    int m_byte48 = 0;
    bool m_flag49 = false;
    std::array<quint16, 4> m_words50{};
    QString m_keyFunctionName;
    QString m_speedName;
    QByteArray m_keyMap;
};
