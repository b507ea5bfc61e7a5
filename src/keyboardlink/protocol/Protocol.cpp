#include "Protocol.h"

namespace Protocol {

bool isKeyMapCommand(int command)
{
    return command == Cmd::WriteKeyMap || command == Cmd::KeyMapFromDevice || command == Cmd::RequestKeyMap;
}

QString softName(int soft)
{
    switch (soft) {
    case Soft::Ths:
        return QStringLiteral("同花顺");
    case Soft::Tdx:
        return QStringLiteral("通达信");
    default:
        return QString();
    }
}

QString speedName(int speed)
{
    switch (speed) {
    case 1:
        return QStringLiteral("极速");
    case 2:
        return QStringLiteral("高速");
    case 3:
        return QStringLiteral("特快");
    case 4:
        return QStringLiteral("快速");
    case 5:
        return QStringLiteral("普速");
    case 6:
        return QStringLiteral("低速");
    default:
        return QString();
    }
}

QList<int> speedIndexes()
{
    return {1, 2, 3, 4, 5, 6};
}

namespace {
constexpr int KeystrokePauses[] = {0, 5, 10, 20, 35, 50}; // speeds 1 … 6
constexpr int SlowestSpeed = 6;
} // namespace

int keystrokePauseMs(int speed)
{
    if (speed < 1 || speed > SlowestSpeed)
        speed = SlowestSpeed;
    return KeystrokePauses[speed - 1];
}

int keystrokeIntervalMs(int speed, int keyDownDelayMs, int keyUpDelayMs)
{
    return qMax(keyDownDelayMs, 0) + qMax(keyUpDelayMs, 0) + keystrokePauseMs(speed);
}

int slowestKeystrokeIntervalMs(int keyDownDelayMs, int keyUpDelayMs)
{
    return keystrokeIntervalMs(SlowestSpeed, keyDownDelayMs, keyUpDelayMs);
}

QString priceTypeName(int priceType, int soft)
{
    switch (priceType) {
    case 0:
        return soft == Soft::Ths ? QString() : QStringLiteral("限价");
    case 1:
        return QStringLiteral("一档价");
    case 2:
        return QStringLiteral("二档价");
    case 3:
        return QStringLiteral("三档价");
    case 4:
        return QStringLiteral("四档价");
    case 5:
        return QStringLiteral("五档价");
    case 11:
        return QStringLiteral("挂一价");
    case 12:
        return QStringLiteral("挂二价");
    case 13:
        return QStringLiteral("挂三价");
    case 14:
        return QStringLiteral("挂四价");
    case 15:
        return QStringLiteral("挂五价");
    case 96:
        return QStringLiteral("融限价");
    case 97:
        return QStringLiteral("融市价");
    case 99:
        return QStringLiteral("市价");
    default:
        return QStringLiteral("其他");
    }
}

QList<int> priceTypes()
{
    return {0, 1, 2, 3, 4, 5, 11, 12, 13, 14, 15, 96, 97, 99};
}

QString keyFunctionName(int code, int soft)
{
    switch (code) {
    case 1:
        return QStringLiteral("查询");
    case 2:
        return QStringLiteral("查询资金");
    case 10:
        return QStringLiteral("定买");
    case 11:
        return QStringLiteral("全买");
    case 12:
        return QStringLiteral("1/2买");
    case 13:
        return QStringLiteral("1/3买");
    case 14:
        return QStringLiteral("1/4买");
    case 15:
        return QStringLiteral("1/5买");
    case 17:
        return QStringLiteral("市价融买");
    case 18:
        return QStringLiteral("融买");
    case 19:
        return soft == Soft::Ths ? QStringLiteral("涨停价买") : QStringLiteral("市价买");
    case 20:
        return QStringLiteral("定卖");
    case 21:
        return QStringLiteral("全卖");
    case 22:
        return QStringLiteral("1/2卖");
    case 23:
        return QStringLiteral("1/3卖");
    case 24:
        return QStringLiteral("1/4卖");
    case 25:
        return QStringLiteral("1/5卖");
    case 29:
        return soft == Soft::Ths ? QStringLiteral("跌停价卖") : QStringLiteral("市价卖");
    case 30:
        return QStringLiteral("撤单");
    case 31:
        return QStringLiteral("全撤");
    case 32:
        return QStringLiteral("撤买");
    case 33:
        return QStringLiteral("撤卖");
    case 50:
        return QStringLiteral("选股");
    default:
        return QString();
    }
}

QString keyMapLabel(int code)
{
    switch (code) {
    case 0:
        return QStringLiteral("禁用");
    case 17:
        return QStringLiteral("融市");
    case 19:
        return QStringLiteral("市买");
    case 29:
        return QStringLiteral("市卖");
    case 55:
        return QStringLiteral("开关");
    case 2:
    case 50:
        return QString();
    default:
        return keyFunctionName(code, Soft::Tdx);
    }
}

QList<int> keyMapCodes()
{
    return {0, 1, 10, 11, 12, 13, 14, 15, 17, 18, 19, 20, 21, 22, 23, 24, 25, 29, 30, 31, 32, 33, 55};
}

} // namespace Protocol
