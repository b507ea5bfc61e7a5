// The keyboard protocol: host frames byte for byte, the decoding of device frames, and the value
// tables the menus and messages rely on.

#include "ZkTest.h"

#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/protocol/DevParamId.h"
#include "keyboardlink/protocol/HostFrame.h"
#include "keyboardlink/protocol/Protocol.h"
#include "platform/api/Clock.h"

#include <QDateTime>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A 64-byte chunk as the transport delivers it: command, length, status, then fields set by
// offset.
QByteArray chunk(quint8 command, quint8 status, const QMap<int, quint8>& fields = {}, quint8 length = 55)
{
    QByteArray c(64, '\0');
    c[0] = char(0x5A);
    c[1] = char(command);
    c[2] = char(length);
    c[3] = char(status);
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        c[it.key()] = char(it.value());
    return c;
}

} // namespace

class TestDataParser : public QObject
{
    Q_OBJECT
private slots:
    void hostFrames_data();
    void hostFrames();
    void stateLayout();
    void decodeCases_data();
    void decodeCases();
    void noticeDecodesOnlyHeaderAndReason();
    void keyMapFrames_data();
    void keyMapFrames();
    void bcd_data();
    void bcd();
    void lastTradingDay_data();
    void lastTradingDay();
    void devParamTable();
    void keyMapLabels();
};

void TestDataParser::hostFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("state request") << HostFrame::build(0xA0) << hex("5AA00000CA");
    QTest::newRow("speed 3") << HostFrame::build(0x33, quint8(3)) << hex("5A33010303CA");
    QTest::newRow("trade action 2/11") << HostFrame::build(0xA1, hex("020B")) << hex("5AA102020B09CA");
    QTest::newRow("key map 3 keys") << HostFrame::build(0x1E, hex("0A141E")) << hex("5A1E030A141E00CA");
    QTest::newRow("led colour 5") << HostFrame::build(devParamCommand(DevParamId::LedColor), quint8(5))
                                  << hex("5AED010505CA");
    // The longest frame still fits behind the report number; one more byte does not.
    QTest::newRow("58-byte payload") << HostFrame::build(0x1E, QByteArray(58, '\1')).left(3) << hex("5A1E3A");
    QTest::newRow("59-byte payload refused") << HostFrame::build(0x1E, QByteArray(59, '\1')) << QByteArray();
}

void TestDataParser::hostFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestDataParser::stateLayout()
{
    QByteArray c = chunk(0xF1, 0,
                         {{16, 0x77}, {17, 0x03}, {18, 2},  {19, 13},   {20, 4},    {21, 9},    {22, 11},
                          {23, 1},    {26, 4},    {27, 0x66}, {28, 5},  {32, 0x02}, {33, 0xFE}, {34, 1},
                          {35, 3},    {36, 1},    {37, 1},  {38, 0},    {39, 1},    {40, 0x34}, {41, 0x12},
                          {42, 22},   {43, 0x43}, {44, 0x44}, {45, 99}, {46, 0x46}, {47, 0x47}, {48, 0x48},
                          {49, 0x80}, {50, 0x01}, {51, 0x02}, {56, 0xFF}, {57, 0xFF}});
    c.replace(4, 8, "ZK123456");
    c.replace(12, 4, hex("20250630"));
    DataParser p;
    p.decode(c);
    QCOMPARE(p.command(), 0xF1);
    QCOMPARE(p.length(), 55);
    QCOMPARE(p.serialNumber(), QStringLiteral("ZK123456"));
    QCOMPARE(p.build(), QStringLiteral("20250630"));
    QCOMPARE(p.byte16(), 0x77);
    QVERIFY(p.workState()); // bit 0 of 0x03
    QCOMPARE(p.soft(), 2);
    QCOMPARE(p.softName(), QStringLiteral("通达信"));
    QCOMPARE(p.priceType(), 13);
    QCOMPARE(p.priceTypeName(), QStringLiteral("挂三价"));
    QCOMPARE(p.speed(), 4);
    QCOMPARE(p.speedName(), QStringLiteral("快速"));
    QCOMPARE(p.keyDownDelay(), 9);
    QCOMPARE(p.keyUpDelay(), 11);
    QCOMPARE(p.bytes23to26(), hex("01000004"));
    QCOMPARE(p.byte27(), 0x66);
    QCOMPARE(p.ledColor(), 5);
    QVERIFY(!p.buyConfirm());
    QVERIFY(p.sellConfirm());
    QVERIFY(!p.numLock()); // 0xFE: only bit 0 counts
    QVERIFY(p.tradeOnStartup());
    QCOMPARE(p.focus(), 3);
    QVERIFY(p.focusEnabled());
    QVERIFY(p.cancelAll());
    QVERIFY(p.queryKey());
    QVERIFY(!p.fnKey());
    QVERIFY(p.costStat());
    QCOMPARE(p.elapsedMs(), 0x1234);
    QCOMPARE(p.keyFunction(), 22);
    QCOMPARE(p.keyFunctionName(), QStringLiteral("1/2卖"));
    QCOMPARE(p.byte43(), 0x43);
    QCOMPARE(p.byte44(), 0x44);
    QCOMPARE(p.reason(), 99);
    QCOMPARE(p.byte46(), 0x46);
    QCOMPARE(p.byte47(), 0x47);
    QCOMPARE(p.byte48(), 0x48);
    QVERIFY(p.flag49());
    QCOMPARE(p.words50()[0], quint16(0x0201));
    QCOMPARE(p.words50()[3], quint16(0xFFFF));
}

void TestDataParser::decodeCases_data()
{
    // A first frame sets the scene, the second is the one under test.
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<int>("soft");
    QTest::addColumn<QString>("keyFunctionName");
    QTest::addColumn<QString>("priceTypeName");

    const QByteArray tdx = chunk(0xA0, 0, {{18, 2}, {42, 13}, {19, 1}});
    QTest::newRow("soft 0 is decoded as reported") << tdx << chunk(0xA0, 0, {{18, 0}, {42, 13}, {19, 1}}) << 0
                                                          << "1/3买" << "一档价";
    QTest::newRow("19 under TDX") << tdx << chunk(0xD0, 0, {{18, 2}, {42, 19}}) << 2 << "市价买" << "限价";
    QTest::newRow("19 under THS") << tdx << chunk(0xD0, 0, {{18, 1}, {42, 19}}) << 1 << "涨停价买" << "";
    QTest::newRow("29 under TDX") << tdx << chunk(0xD0, 0, {{18, 2}, {42, 29}}) << 2 << "市价卖" << "限价";
    QTest::newRow("29 under THS") << tdx << chunk(0xD0, 0, {{18, 1}, {42, 29}}) << 1 << "跌停价卖" << "";
    QTest::newRow("price type 7") << tdx << chunk(0xA0, 0, {{18, 2}, {19, 7}, {42, 13}}) << 2 << "1/3买" << "其他";
    QTest::newRow("price type 99") << tdx << chunk(0xA0, 0, {{18, 1}, {19, 99}, {42, 13}}) << 1 << "1/3买" << "市价";
    // Codes without a name, and codes beyond 50, leave the last name in place.
    QTest::newRow("code 16 has no name") << tdx << chunk(0xD0, 0, {{18, 2}, {42, 16}}) << 2 << "1/3买" << "限价";
    QTest::newRow("code 55 is beyond 50") << tdx << chunk(0xD0, 0, {{18, 2}, {42, 55}}) << 2 << "1/3买" << "限价";
    QTest::newRow("code 50") << tdx << chunk(0xD0, 0, {{18, 2}, {42, 50}}) << 2 << "选股" << "限价";
}

void TestDataParser::decodeCases()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    DataParser p;
    p.decode(first);
    p.decode(second);
    QTEST(p.soft(), "soft");
    QTEST(p.keyFunctionName(), "keyFunctionName");
    QTEST(p.priceTypeName(), "priceTypeName");
}

void TestDataParser::noticeDecodesOnlyHeaderAndReason()
{
    DataParser p;
    p.decode(chunk(0xD0, 0, {{18, 2}, {19, 3}, {42, 15}, {17, 1}, {45, 0}}));
    // A status-2 notice that carries other values everywhere.
    QByteArray notice = chunk(0xD0, 2, {{18, 1}, {19, 9}, {42, 25}, {17, 0}, {45, 110}}, 9);
    p.decode(notice);
    QCOMPARE(p.command(), 0xD0);
    QCOMPARE(p.length(), 9);
    QCOMPARE(p.status(), 2);
    QCOMPARE(p.reason(), 110);
    QCOMPARE(p.priceType(), 3);
    QCOMPARE(p.keyFunction(), 15);
    QCOMPARE(p.soft(), 2);
    QVERIFY(p.workState());
    // A frame too short to reach byte 45 keeps the reason as well.
    p.decode(chunk(0xC0, 3).left(40));
    QCOMPARE(p.status(), 3);
    QCOMPARE(p.reason(), 110);
}

void TestDataParser::keyMapFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("keyMap");
    QTest::newRow("0xF3 three keys") << chunk(0xF3, 0, {{4, 10}, {5, 20}, {6, 30}, {7, 99}}, 4) << hex("0A141E");
    QTest::newRow("0x1F from the keyboard") << chunk(0x1F, 0, {{4, 1}}, 2) << hex("01");
    QTest::newRow("length 1 is an empty map") << chunk(0x1E, 0, {{4, 10}}, 1) << QByteArray();
    QTest::newRow("length 0 is an empty map") << chunk(0x1E, 0, {{4, 10}}, 0) << QByteArray();
    QTest::newRow("length beyond the chunk") << chunk(0x1E, 0, {{4, 7}, {63, 8}}, 255) << (hex("07") + QByteArray(58, '\0') + hex("08"));
}

void TestDataParser::keyMapFrames()
{
    QFETCH(QByteArray, frame);
    DataParser p;
    p.decode(chunk(0xA0, 0, {{18, 2}, {20, 3}}));
    p.decode(frame);
    QTEST(p.keyMap(), "keyMap");
    // A key-map frame is not a state frame.
    QCOMPARE(p.soft(), 2);
    QCOMPARE(p.speed(), 3);
}

void TestDataParser::bcd_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("2024-01-15") << hex("20240115") << "20240115";
    QTest::newRow("1A reads as 20") << hex("1A240115") << "2024" "0115";
    QTest::newRow("a one-digit year") << hex("00050709") << "50709";
    QTest::newRow("three bytes") << hex("202401") << "Invalid BCD bytes length";
    QTest::newRow("five bytes") << hex("2024011500") << "Invalid BCD bytes length";
}

void TestDataParser::bcd()
{
    QFETCH(QByteArray, bytes);
    QTEST(DataParser::bcdToString(bytes), "text");
}

void TestDataParser::lastTradingDay_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("day");
    // 2024-01-15 is a Monday.
    QTest::newRow("Monday noon") << QDateTime(QDate(2024, 1, 15), QTime(12, 0)) << "2024-01-15";
    QTest::newRow("Monday morning") << QDateTime(QDate(2024, 1, 15), QTime(11, 59)) << "2024-01-12";
    QTest::newRow("Wednesday morning") << QDateTime(QDate(2024, 1, 17), QTime(9, 30)) << "2024-01-16";
    QTest::newRow("Saturday afternoon") << QDateTime(QDate(2024, 1, 20), QTime(15, 0)) << "2024-01-19";
    QTest::newRow("Sunday") << QDateTime(QDate(2024, 1, 21), QTime(13, 0)) << "2024-01-19";
}

void TestDataParser::lastTradingDay()
{
    QFETCH(QDateTime, now);
    platform::ManualClock clock(now.toMSecsSinceEpoch());
    QTEST(DataParser::lastTradingDay(clock), "day");
}

void TestDataParser::devParamTable()
{
    const QList<QPair<quint8, QString>> expected = {
        {0x31, "soft"},   {0x36, "trade"}, {0x37, "numlock"}, {0x33, "speed"},      {0x39, "query"},       {0x3A, "focus"},
        {0x38, "cancel"}, {0x3B, "cost"},  {0x2B, "buyconfirm"}, {0x2E, "sellconfirm"}, {0x3D, "fnkey"}, {0xED, "ledcolor"}};
    QCOMPARE(expected.size(), DevParamCount);
    for (int i = 0; i < DevParamCount; ++i) {
        const auto id = DevParamId(i);
        QCOMPARE(devParamCommand(id), expected[i].first);
        QCOMPARE(devParamKey(id), expected[i].second);
        QCOMPARE(devParamFromCommand(expected[i].first), std::optional<DevParamId>(id));
        QCOMPARE(devParamFromKey(expected[i].second), std::optional<DevParamId>(id));
    }
    QVERIFY(!devParamFromCommand(0x32)); // the buy index is a command of its own, not a parameter
    QVERIFY(!devParamFromKey(QStringLiteral("Soft")));
}

void TestDataParser::keyMapLabels()
{
    // The editor's labels differ from the reported names where the table says so.
    QCOMPARE(Protocol::keyMapLabel(0), QStringLiteral("禁用"));
    QCOMPARE(Protocol::keyMapLabel(17), QStringLiteral("融市"));
    QCOMPARE(Protocol::keyFunctionName(17, 2), QStringLiteral("市价融买"));
    QCOMPARE(Protocol::keyMapLabel(19), QStringLiteral("市买"));
    QCOMPARE(Protocol::keyMapLabel(29), QStringLiteral("市卖"));
    QCOMPARE(Protocol::keyMapLabel(55), QStringLiteral("开关"));
    QVERIFY(Protocol::keyFunctionName(55, 2).isNull());
    QVERIFY(Protocol::keyMapLabel(2).isEmpty());
    QVERIFY(Protocol::keyMapLabel(50).isEmpty());
    for (int code : Protocol::keyMapCodes())
        QVERIFY2(!Protocol::keyMapLabel(code).isEmpty(), qPrintable(QString::number(code)));
}

ZK_TEST_MAIN(TestDataParser)
#include "tst_dataparser.moc"
