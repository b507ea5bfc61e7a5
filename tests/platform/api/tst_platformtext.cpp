// The platform's shared text helpers: UTF-8 in and out of the seam's UTF-16 (text of other
// programs may be broken and must never break the reader), Win32's copy into a caller's buffer,
// and the case rules of Windows names.

#include "ZkTest.h"

#include "platform/api/Text.h"

using platform::copyTruncated;

namespace {

QString q(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

const std::u16string Replacement(1, u'\uFFFD');

} // namespace

class TestPlatformText : public QObject
{
    Q_OBJECT
private slots:
    void everyScalarValueRoundTrips();
    void toUtf8_data();
    void toUtf8();
    void malformedUtf8_data();
    void malformedUtf8();
    void latin1();
    void appendUtf16OutsideUnicode();
    void copyTruncated_data();
    void copyTruncated();
    void nothingWrittenWithoutRoom();
    void caseRules();
};

void TestPlatformText::everyScalarValueRoundTrips()
{
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        std::u16string units;
        platform::appendUtf16(units, c);
        const std::string bytes = platform::toUtf8(units);
        if (!platform::isValidUtf8(bytes) || platform::fromUtf8(bytes) != units)
            QFAIL(qPrintable(
                QStringLiteral("U+%1 does not survive UTF-8").arg(quint32(c), 4, 16, QLatin1Char('0'))));
    }
}

void TestPlatformText::toUtf8_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("Edit") << QByteArray("Edit");
    QTest::newRow("chinese") << QStringLiteral("闪电买入")
                             << QByteArray("\xE9\x97\xAA\xE7\x94\xB5\xE4\xB9\xB0\xE5\x85\xA5");
    QTest::newRow("surrogate pair") << QString::fromUtf16(u"\xD83D\xDE00") << QByteArray("\xF0\x9F\x98\x80");
    QTest::newRow("lone high surrogate") << QString::fromUtf16(u"a\xD83D"
                                                               "b")
                                         << QByteArray("a\xEF\xBF\xBD"
                                                       "b");
    QTest::newRow("lone low surrogate") << QString::fromUtf16(u"\xDE00") << QByteArray("\xEF\xBF\xBD");
    QTest::newRow("swapped pair") << QString::fromUtf16(u"\xDE00\xD83D")
                                  << QByteArray("\xEF\xBF\xBD\xEF\xBF\xBD");
}

void TestPlatformText::toUtf8()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(QByteArray::fromStdString(platform::toUtf8(text.toStdU16String())), bytes);
}

void TestPlatformText::malformedUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString r = q(Replacement);
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << r + r;
    QTest::newRow("cut short") << QByteArray("\xE4\xB8") << r + r;
    QTest::newRow("cut short, then ascii") << QByteArray("\xE4\xB8x") << r + r + QLatin1Char('x');
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << r + r + r;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << r + r + r + r;
    QTest::newRow("stray continuation") << QByteArray("a\x80"
                                                      "b")
                                        << QLatin1Char('a') + r + QLatin1Char('b');
    QTest::newRow("invalid lead") << QByteArray("\xFF") << r;
}

void TestPlatformText::malformedUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QVERIFY(!platform::isValidUtf8(bytes.toStdString()));
    QCOMPARE(q(platform::fromUtf8(bytes.toStdString())), text);
}

void TestPlatformText::latin1()
{
    QCOMPARE(q(platform::fromLatin1("caf\xE9")), QStringLiteral("café"));
}

void TestPlatformText::appendUtf16OutsideUnicode()
{
    std::u16string out;
    platform::appendUtf16(out, 0x110000);
    platform::appendUtf16(out, 0xD800);
    QCOMPARE(out, Replacement + Replacement);
}

void TestPlatformText::copyTruncated_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("copied");
    QTest::addColumn<QString>("buffer");
    QTest::newRow("room for the terminator only") << 1 << 0 << QString();
    QTest::newRow("truncated") << 4 << 3 << QStringLiteral("闪电买");
    QTest::newRow("exactly fits") << 6 << 5 << QStringLiteral("闪电买入x");
    QTest::newRow("more room than needed") << 64 << 5 << QStringLiteral("闪电买入x");
}

void TestPlatformText::copyTruncated()
{
    QFETCH(int, size);
    QFETCH(int, copied);
    QFETCH(QString, buffer);
    std::u16string storage(70, u'#');
    QCOMPARE(platform::copyTruncated(u"闪电买入x", storage.data(), size), copied);
    QCOMPARE(q(storage.c_str()), buffer);
    QCOMPARE(storage[static_cast<std::size_t>(size)], u'#'); // nothing beyond the buffer
}

void TestPlatformText::nothingWrittenWithoutRoom()
{
    char16_t sentinel = u'#';
    QCOMPARE(platform::copyTruncated(u"abc", &sentinel, 0), 0);
    QCOMPARE(platform::copyTruncated(u"abc", &sentinel, -5), 0);
    QCOMPARE(sentinel, u'#');
    QCOMPARE(platform::copyTruncated(u"abc", nullptr, 10), 0);
}

void TestPlatformText::caseRules()
{
    QVERIFY(platform::equalsIgnoreCase(u"TdxW_MainFrame_Class", u"tdxw_mainframe_class"));
    QVERIFY(platform::equalsIgnoreCase(u"闪电买入", u"闪电买入"));
    QVERIFY(!platform::equalsIgnoreCase(u"Edit", u"Edit "));
    QVERIFY(!platform::equalsIgnoreCase(u"Static", u"Statik"));
    QCOMPARE(q(platform::lowerAscii(u"C:\\New_TDX\\TdxW.EXE")), QStringLiteral("c:\\new_tdx\\tdxw.exe"));
}

ZK_TEST_MAIN(TestPlatformText)
#include "tst_platformtext.moc"
