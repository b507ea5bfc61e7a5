#include "clock/stocks/StockLinks.h"

#include "trade/StockRules.h"

#include <QAction>
#include <QMenu>
#include <QStringList>

namespace StockLinks {

const char* const kCurDate = "2024-08-18";

namespace {

// Every outside page the stock menu opens, in one place.
const char* const kStockDetail = "https://www.cls.cn/stock?code=";
const char* const kNewsAndNotices =
    "https://vip.stock.finance.sina.com.cn/corp/go.php/vCB_AllNewsStock/symbol/%marketCode%.phtml";
const char* const kInvestorQuestions =
    "https://basic.10jqka.com.cn/m/%code%/touzi/?_t_t_t=0.15033243875950575";
const char* const kMoveAnalysis = "https://www.tgb.cn/search/lists/type/WZ/content/%stockName%";
const char* const kEastmoneyBar = "https://guba.eastmoney.com/list,%code%.html";
const char* const kTaogubaQuotes = "https://www.tgb.cn/quotes/%marketCode%";
const char* const kDragonTiger = "https://xueqiu.com/snowman/S/%marketCode%/detail#/LHB";
const char* const kJiuyanSearch = "https://www.jiuyangongshe.com/search/new?k=%code%&type=stock";
const char* const kIwencai =
    "https://www.iwencai.com/unifiedwap/inforesult?w=%stockName%&querytype=info&tab=";
const char* const kLimitUpReview = "https://stock.10jqka.com.cn/mrnxgg_list/";
const char* const kAllMovers = "https://www.jiuyangongshe.com/action/";

QString encoded(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

bool parseClipboardText(const QString& text, QString& code, QString& name)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return false;
    code = parts.first();
    name = parts.mid(1).join(QLatin1Char(' '));
    return true;
}

QUrl buildUrl(const QString& urlTemplate, const Stock& stock)
{
    QString text = urlTemplate;
    text.replace(QStringLiteral("%market%"), encoded(stock.market));
    text.replace(QStringLiteral("%code%"), encoded(stock.code));
    text.replace(QStringLiteral("%marketCode%"), encoded(stock.marketCode));
    text.replace(QStringLiteral("%stockName%"), encoded(stock.name));
    text.replace(QStringLiteral("%curdate%"), QLatin1String(kCurDate));
    return QUrl(text);
}

QDate latestTradingDate(const QDateTime& now)
{
    const QDate today = now.date();
    if (today.dayOfWeek() <= 5 && now.time().hour() >= 12)
        return today;
    QDate day = today.addDays(-1);
    while (day.dayOfWeek() > 5)
        day = day.addDays(-1);
    return day;
}

QVector<Entry> linkEntries(const Stock& stock, const QDateTime& now)
{
    QVector<Entry> entries;
    const QString& name = stock.name;
    if (StockRules::isAShareCode(stock.code)) {
        entries = {
            {name + QStringLiteral(" > 个股详情"),
             QLatin1String(kStockDetail) + StockRules::marketForm(stock.code, true)},
            {name + QStringLiteral(" > 资讯公告"), QLatin1String(kNewsAndNotices)},
            {name + QStringLiteral(" > 互动问答"), QLatin1String(kInvestorQuestions)},
            {name + QStringLiteral(" > 异动解析"), QLatin1String(kMoveAnalysis)},
            {name + QStringLiteral(" > 东财股吧"), QLatin1String(kEastmoneyBar)},
            {name + QStringLiteral(" > 淘股吧"), QLatin1String(kTaogubaQuotes)},
            {name + QStringLiteral(" > 龙虎榜"), QLatin1String(kDragonTiger)},
            {name + QStringLiteral(" > 韭研公社"), QLatin1String(kJiuyanSearch)},
        };
    }
    const QString date = latestTradingDate(now).toString(QStringLiteral("yyyy-MM-dd"));
    entries.append({name + QStringLiteral(" > i问财"), QLatin1String(kIwencai)});
    entries.append({QString(), QString()});
    entries.append({QStringLiteral("涨停复盘 异动股揭秘"), QLatin1String(kLimitUpReview)});
    entries.append({date.right(5) + QStringLiteral(" 全部异动分析"), QLatin1String(kAllMovers) + date});
    return entries;
}

void addLinkEntries(QMenu* menu, const Stock& stock, const QDateTime& now)
{
    for (const Entry& entry : linkEntries(stock, now)) {
        if (entry.urlTemplate.isEmpty())
            menu->addSeparator();
        else
            menu->addAction(entry.text)->setData(entry.urlTemplate);
    }
}

QString menuStyleSheet()
{
    return QStringLiteral(" QMenu {background-color: #f0f0f0;color:rgb(5,0,127);}"
                          "        QMenu::item:selected{background-color:rgb(0,100,200);}"
                          "        QMenuBar{background-color:rgb(200,200,200);}");
}

} // namespace StockLinks
