#include "trade/StockRules.h"

#include <QRegularExpression>
#include <QStringList>

namespace StockRules {

bool isInteger(const QString& text)
{
    // Anchored on the whole text: "$" alone would also accept a trailing line break.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[+-]?[0-9]+")));
    return pattern.match(text).hasMatch();
}

bool isPrice(const QString& text)
{
    if (text.isEmpty())
        return false;
    int dots = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('.'))
            ++dots;
        else if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return dots == 1 && !text.startsWith(QLatin1Char('.')) && !text.endsWith(QLatin1Char('.'));
}

bool isNonZero(const QString& text)
{
    return !text.isEmpty() && text != QLatin1String("0");
}

bool isConvertibleBond(const QString& code)
{
    return code.startsWith(QLatin1String("11")) || code.startsWith(QLatin1String("12"));
}

bool isMainBoard(const QString& code)
{
    return code.size() == 6 && (code.startsWith(QLatin1String("00")) || code.startsWith(QLatin1String("60")));
}

bool isST(const QString& name)
{
    return name.contains(QLatin1String("ST"), Qt::CaseInsensitive);
}

bool isValidStockName(const QString& text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[\u4e00-\u9fff*ST\u9000]+")));
    return pattern.match(text).hasMatch();
}

bool isAShareCode(const QString& code)
{
    static const char* const prefixes[] = {"60", "688", "00", "30", "43", "83", "87", "92"};
    for (const char* prefix : prefixes) {
        if (code.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

QString marketForm(const QString& code, bool suffixForm)
{
    const QString head = code.left(2);
    static const QStringList shanghai = {"60", "11", "68", "50", "51", "58"};
    static const QStringList shenzhen = {"00", "30", "12", "15"};
    static const QStringList beijing = {"43", "83", "87", "92"};
    if (head.size() < 2)
        return QString();
    if (shanghai.contains(head))
        return QStringLiteral("sh") + code;
    if (shenzhen.contains(head))
        return QStringLiteral("sz") + code;
    if (beijing.contains(head))
        return suffixForm ? code + QStringLiteral(".BJ") : QStringLiteral("bj") + code;
    return QString();
}

bool parseHoldingTitle(const QString& title, QString& code, QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("\\((\\d+)\\)$"));
    const QRegularExpressionMatch match = pattern.match(title);
    if (!match.hasMatch()) {
        code.clear();
        name.clear();
        return false;
    }
    code = match.captured(1);
    const QStringList parts = title.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    QString last;
    for (auto it = parts.crbegin(); it != parts.crend(); ++it) {
        if (!it->trimmed().isEmpty()) {
            last = *it;
            break;
        }
    }
    name = last.remove(match.captured(0)).trimmed();
    return true;
}

} // namespace StockRules
