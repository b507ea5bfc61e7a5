#pragma once

// The stock menu's pages: the link templates with their placeholders, the latest trading date,
// the clipboard text a trading client copies, and the menu entries themselves.
//
// Placeholders, replaced in this order, exactly and every time they occur: "%market%",
// "%code%", "%marketCode%", "%stockName%", "%curdate%". The values are percent-encoded, so a
// Chinese name (or one holding '&' or '#') arrives at the page as one value.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QVector>

class QMenu;

namespace StockLinks {

// The stock in front as the main window knows it. market is never filled.
struct Stock
{
    QString code;
    QString name;
    QString marketCode; // "sh600519"
    QString market;
};

// "%curdate%" is always this day, not today: no page uses it.
extern const char* const kCurDate;

// The clipboard text of a trading client's copy, "600519 贵州茅台": split at spaces (empty parts
// dropped); the code is the first part, the name the others joined by single spaces. False when
// the text has no part.
bool parseClipboardText(const QString& text, QString& code, QString& name);

QUrl buildUrl(const QString& urlTemplate, const Stock& stock);

// Today on Monday to Friday from 12:00; otherwise the day before, stepping back over Saturday and
// Sunday (no holidays).
QDate latestTradingDate(const QDateTime& now);

// One entry of the stock menu; an entry without a template is the separator.
struct Entry
{
    QString text;
    QString urlTemplate;
};
// The link entries for the stock at that moment: the eight pages of an A-share stock (only for
// one), i问财, a separator and the two daily reviews.
QVector<Entry> linkEntries(const Stock& stock, const QDateTime& now);
// Adds them to the menu, each action carrying its template as data.
void addLinkEntries(QMenu* menu, const Stock& stock, const QDateTime& now);

// The stock menu's style sheet.
QString menuStyleSheet();

} // namespace StockLinks
