#pragma once

// What travels between the program and the trading keyboard: the command codes and the value
// tables both sides share. Frames are built by HostFrame and decoded by DataParser; the
// keyboard's USB identity is the monitor's.

#include <QList>
#include <QString>
#include <QtGlobal>

namespace Protocol {

// Transport geometry.
constexpr int ChunkSize = 64;        // one received frame
constexpr int MaxHostFrame = 63;     // one output report behind the report number
constexpr int MaxPayload = MaxHostFrame - 5;
constexpr quint8 StartByte = 0x5A;
constexpr quint8 EndByte = 0xCA;

// Host commands and the keyboard's frames.
namespace Cmd {
constexpr quint8 DeviceInfo = 0xF1;      // hello; answered with the full state
constexpr quint8 ReloadState = 0xA0;
constexpr quint8 RequestKeyMap = 0xF3;   // answered with a key-map frame
constexpr quint8 WriteKeyMap = 0x1E;     // answered with a key-map frame
constexpr quint8 KeyMapFromDevice = 0x1F;
constexpr quint8 Save = 0x3F;
constexpr quint8 FactoryReset = 0x3E;
constexpr quint8 Reboot = 0xB0;
constexpr quint8 SwitchSoft = 0x20;
constexpr quint8 ToggleWorkState = 0x21;
constexpr quint8 SetWorkState = 0x22;
constexpr quint8 SpeedKey = 0x23;        // the keyboard's own speed key
constexpr quint8 SetBuyIndex = 0x32;
constexpr quint8 SetSpeed = 0x33;
constexpr quint8 TradeAction = 0xA1;
// Events of the keyboard.
constexpr quint8 TradeKeyUsed = 0xC0;
constexpr quint8 Confirmed = 0xCD;
constexpr quint8 TradeCompleted = 0xCE;
constexpr quint8 TradeKeyPressed = 0xD0;
constexpr quint8 TradeKeyPressedFlag = 0xDF;
constexpr quint8 FocusKey = 0xAC;
constexpr quint8 Ignored = 0x55;
} // namespace Cmd

// Whether a device frame with status 0 and this command carries a key map.
bool isKeyMapCommand(int command);

// Software type: 1 = 同花顺 (THS), 2 = 通达信 (TDX), 0 = none.
namespace Soft {
constexpr int None = 0;
constexpr int Ths = 1;
constexpr int Tdx = 2;
} // namespace Soft
QString softName(int soft);

// Typing speed index 1 … 6; empty for anything else.
QString speedName(int speed);
QList<int> speedIndexes();

// How fast the keyboard types. Each key is held for its key-down delay, and the next key goes
// down the key-up delay plus the pause of the speed after the release:
//
//   speed   1 极速  2 高速  3 特快  4 快速  5 普速  6 低速
//   pause   0       5       10      20      35      50      ms
//
// so one keystroke takes keyDownDelay + keyUpDelay + pause (66 ms at 低速 with the factory
// delays of 8 ms each). The pause of a speed outside 1 … 6 is the slowest one's.
int keystrokePauseMs(int speed);
int keystrokeIntervalMs(int speed, int keyDownDelayMs, int keyUpDelayMs);
// The interval at the slowest speed: what a typed quantity may stay unchanged between two
// digits, whatever the speed is set to at the moment.
int slowestKeystrokeIntervalMs(int keyDownDelayMs, int keyUpDelayMs);
// The key-down and key-up delays the keyboard leaves the factory with.
constexpr int FactoryKeyDelayMs = 8;

// Price type of the buy keys (the buy index). 0 is "限价", but has no name under THS.
QString priceTypeName(int priceType, int soft);
QList<int> priceTypes();

// Key function codes: what a state frame calls the key that caused it (a null string
// for codes without one); THS names the market-price keys after the limit price.
QString keyFunctionName(int code, int soft);
// The label of a code in the key-map editor (empty for codes the editor does not offer), and
// the codes it offers, in menu order.
QString keyMapLabel(int code);
QList<int> keyMapCodes();
// Trade keys: 10 … 19 buy, 20 … 29 sell.
inline bool isBuyKey(int code)
{
    return code >= 10 && code < 20;
}

// LED colour ids.
namespace Led {
constexpr int Default = 1;
constexpr int Blue = 2;
constexpr int Green = 3;
constexpr int ThsBlueTdxGreen = 4; // "同花顺蓝色/通达信绿色"
constexpr int ThsGreenTdxBlue = 5; // "同花顺绿色/通达信蓝色"
} // namespace Led

// Focus modes.
namespace Focus {
constexpr int Off = 0;
constexpr int On = 1;
constexpr int FollowMouse = 2;
constexpr int FixedPosition = 3; // the position is the program's, per trading software
} // namespace Focus

} // namespace Protocol
