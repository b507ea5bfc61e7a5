// Any bytes the keyboard (or something pretending to be it) sends must decode without a crash,
// and a notice (status other than 0) must never overwrite the state of the last normal frame.

#include "keyboardlink/protocol/DataParser.h"
#include "keyboardlink/protocol/HostFrame.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray normalFrame()
{
    QByteArray f(64, '\0');
    f[1] = char(0xD0);
    f[2] = 55;
    f[18] = 2;
    f[19] = 3;
    f[20] = 4;
    f[42] = 13;
    return f;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<int>(size));

    DataParser parser;
    parser.decode(normalFrame());
    parser.decode(input);
    if (input.size() >= 4 && input.at(3) != 0) {
        check(parser.keyFunction() == 13 && parser.priceType() == 3 && parser.soft() == 2 && parser.speed() == 4);
        check(parser.keyFunctionName() == QStringLiteral("1/3买"));
    }
    check(parser.keyMap().size() <= qMax(0, input.size() - 4));

    // The single steps on their own, as a caller may use them.
    DataParser fresh;
    fresh.parseHeader(input);
    fresh.parseState(input);
    fresh.parseKeyMap(input);
    (void)fresh.priceTypeName();
    (void)DataParser::bcdToString(input.left(4));
    (void)DataParser::xorChecksum(input, size > 0 ? data[0] : 0);

    // Whatever the payload, a frame is either refused or exactly 5 + N bytes with a right checksum.
    const QByteArray payload = input.mid(1);
    const QByteArray frame = HostFrame::build(size > 0 ? data[0] : 0, payload);
    if (payload.size() > 58) {
        check(frame.isEmpty());
    } else {
        check(frame.size() == payload.size() + 5);
        std::uint8_t x = 0;
        for (char c : payload)
            x ^= static_cast<std::uint8_t>(c);
        check(static_cast<std::uint8_t>(frame.at(frame.size() - 2)) == x);
    }
    return 0;
}
