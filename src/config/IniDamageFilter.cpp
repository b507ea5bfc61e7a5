#include "IniDamageFilter.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace config {

namespace {

// The value of a digit in that base, or -1.
int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// One character of a line as the reader sees it. Only plain characters (outside quotes, not
// written as an escape) can end the key or separate list elements.
struct ReadChar
{
    QChar c;
    bool plain;
};

bool isPlain(const ReadChar& r, char c)
{
    return r.plain && r.c == QLatin1Char(c);
}

// Whether some value of the line begins with marker: the value after the first plain '=', or an
// element of a comma list (after a plain ','), plain blanks before it skipped, as the reader
// decodes it. Inside quotes, a "," or "=" is text: "a,@Variant(1)" (a profile name, quoted
// because of its comma) is one element that does not begin with the marker, and must stay. A
// text of the store's own that begins with '@' is written with the '@' doubled ("@@Variant(1)").
bool someValueBeginsWith(const std::vector<ReadChar>& line, QLatin1String marker)
{
    auto it = std::find_if(line.begin(), line.end(), [](const ReadChar& r) { return isPlain(r, '='); });
    if (it == line.end())
        return false;
    QString element;
    for (++it;; ++it) {
        if (it == line.end() || isPlain(*it, ',')) {
            if (element.startsWith(marker))
                return true;
            if (it == line.end())
                return false;
            element.clear();
        } else if (!(element.isEmpty() && (isPlain(*it, ' ') || isPlain(*it, '\t')))) {
            element += it->c;
        }
    }
}

} // namespace

// Qt's INI reader turns a value written as @Variant(...) or @DateTime(...) into whatever object
// the bytes inside describe, trusting the counts they hold: a damaged value can make it ask for
// more memory than there is, and the program would end at every start. The store never writes
// such values (it keeps texts, numbers, switches and text lists), so a line that would read as one
// is damage. A line is looked at as the reader sees it: quotes kept apart, escapes decoded (an '@'
// may be written "\x40"), a backslash at the end joining the next line.
bool readsAsEncodedValue(const QByteArray& line)
{
    static const char escapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                      {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                      {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    std::vector<ReadChar> text;
    bool quoted = false;
    const int n = line.size();
    for (int i = 0; i < n;) {
        const char c = line.at(i++);
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c != '\\') {
            // bytes of UTF-8 sequences never read as the ASCII markers
            text.push_back({QChar(uchar(c)), !quoted});
            continue;
        }
        if (i >= n)
            break;
        const char e = line.at(i++);
        const char* mapped = nullptr;
        for (const auto& escape : escapes) {
            if (e == escape[0])
                mapped = &escape[1];
        }
        if (mapped) {
            text.push_back({QLatin1Char(*mapped), false});
        } else if (e == 'x' || (e >= '0' && e <= '7')) {
            // As many digits as follow; the reader keeps the low 16 bits.
            const int base = e == 'x' ? 16 : 8;
            uint value = e == 'x' ? 0 : uint(e - '0');
            bool any = e != 'x';
            for (int digit; i < n && (digit = digitValue(line.at(i), base)) >= 0; ++i) {
                value = (value * uint(base) + uint(digit)) & 0xFFFF;
                any = true;
            }
            if (any)
                text.push_back({QChar(ushort(value)), false});
        } else if ((e == '\n' || e == '\r') && i < n && (line.at(i) == '\n' || line.at(i) == '\r') &&
                   line.at(i) != e) {
            ++i; // a continued line: the break itself reads as nothing
        }
        // any other escaped character reads as nothing
    }
    return someValueBeginsWith(text, QLatin1String("@Variant(")) ||
           someValueBeginsWith(text, QLatin1String("@DateTime("));
}

// Drops the lines of the settings file that would read as such values, before Qt's reader sees
// the file; every other byte of it stays as it was.
void dropEncodedValues(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray raw = file.readAll();
    file.close();

    QByteArray kept;
    bool dropped = false;
    int start = 0;
    const auto endLine = [&](int end) {
        const QByteArray line = raw.mid(start, end - start);
        if (readsAsEncodedValue(line)) {
            qWarning().noquote() << "设置文件中无法读取的行已删除:" << QString::fromUtf8(line).trimmed();
            dropped = true;
        } else {
            kept += line;
        }
        start = end;
    };
    // Lines end at a line break that is not escaped, as the reader splits them.
    for (int i = 0; i < raw.size();) {
        const char c = raw.at(i++);
        if (c == '\\' && i < raw.size()) {
            const char e = raw.at(i++);
            if ((e == '\n' || e == '\r') && i < raw.size() && (raw.at(i) == '\n' || raw.at(i) == '\r') &&
                raw.at(i) != e)
                ++i;
        } else if (c == '\n' || c == '\r') {
            endLine(i);
        }
    }
    endLine(raw.size());
    if (!dropped)
        return;

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(kept) != kept.size() || !out.commit())
        qWarning().noquote() << "无法写入设置文件:" << path;
}

} // namespace config
