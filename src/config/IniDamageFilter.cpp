#include "IniDamageFilter.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

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

// Whether marker begins a value ("Key=@Variant(") or an element of a comma list: only there does the
// reader decode it. A text of the store's own that begins with '@' is written with the '@' doubled
// ("@@Variant(1)", a profile name), and must stay.
bool startsAValue(const QString& text, QLatin1String marker)
{
    for (int at = text.indexOf(marker); at >= 0; at = text.indexOf(marker, at + 1)) {
        int before = at - 1;
        while (before >= 0 && (text.at(before) == QLatin1Char(' ') || text.at(before) == QLatin1Char('\t')))
            --before;
        if (before >= 0 && (text.at(before) == QLatin1Char('=') || text.at(before) == QLatin1Char(',')))
            return true;
    }
    return false;
}

} // namespace

// Qt's INI reader turns a value written as @Variant(...) or @DateTime(...) into whatever object
// the bytes inside describe, trusting the counts they hold: a damaged value can make it ask for
// more memory than there is, and the program would end at every start. The store never writes
// such values (it keeps texts, numbers, switches and text lists), so a line that would read as one
// is damage. A line is looked at as the reader sees it: quotes dropped, escapes decoded (an '@'
// may be written "\x40"), a backslash at the end joining the next line.
bool readsAsEncodedValue(const QByteArray& line)
{
    static const char escapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                      {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                      {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QString text;
    const int n = line.size();
    for (int i = 0; i < n;) {
        const char c = line.at(i++);
        if (c == '"')
            continue;
        if (c != '\\') {
            text += QChar(uchar(c)); // bytes of UTF-8 sequences never read as the ASCII markers
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
            text += QLatin1Char(*mapped);
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
                text += QChar(ushort(value));
        } else if ((e == '\n' || e == '\r') && i < n && (line.at(i) == '\n' || line.at(i) == '\r') &&
                   line.at(i) != e) {
            ++i; // a continued line: the break itself reads as nothing
        }
        // any other escaped character reads as nothing
    }
    return startsAValue(text, QLatin1String("@Variant(")) || startsAValue(text, QLatin1String("@DateTime("));
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
    if (!readsAsEncodedValue(raw))
        return;

    QByteArray kept;
    int start = 0;
    const auto endLine = [&](int end) {
        const QByteArray line = raw.mid(start, end - start);
        if (readsAsEncodedValue(line))
            qWarning().noquote() << "设置文件中无法读取的行已删除:" << QString::fromUtf8(line).trimmed();
        else
            kept += line;
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

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(kept) != kept.size() || !out.commit())
        qWarning().noquote() << "无法写入设置文件:" << path;
}

} // namespace config
