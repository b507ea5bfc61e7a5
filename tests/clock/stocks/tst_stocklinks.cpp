// The stock menu's pages: the clipboard text a client copies, the placeholders and their
// encoding, the latest trading date, and the entries offered for a code.

#include "clock/stocks/StockLinks.h"

#include "ZkTest.h"

#include <QAction>
#include <QMenu>

using StockLinks::Stock;

namespace {

Stock maotai()
{
    return {QStringLiteral("600519"), QStringLiteral("贵州茅台"), QStringLiteral("sh600519"), QString()};
}

QDateTime at(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

} // namespace

class TestStockLinks : public QObject
{
    Q_OBJECT

private slots:
    void clipboardText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("code and name") << "600519 贵州茅台" << true << "600519" << "贵州茅台";
        QTest::newRow("two-word name, extra spaces") << "  000001  平安   银行 " << true << "000001" << "平安 银行";
        QTest::newRow("code only") << "600000" << true << "600000" << "";
        QTest::newRow("empty") << "" << false << "unchanged" << "unchanged";
        QTest::newRow("spaces only") << "    " << false << "unchanged" << "unchanged";
    }
    void clipboardText()
    {
        QFETCH(QString, text);
        QFETCH(bool, parsed);
        QFETCH(QString, code);
        QFETCH(QString, name);
        QString gotCode = QStringLiteral("unchanged");
        QString gotName = QStringLiteral("unchanged");
        QCOMPARE(StockLinks::parseClipboardText(text, gotCode, gotName), parsed);
        QCOMPARE(gotCode, code);
        QCOMPARE(gotName, name);
    }

    void placeholdersAreReplacedAndEncoded()
    {
        Stock stock = maotai();
        stock.name = QStringLiteral("A&B #1");
        const QUrl url = StockLinks::buildUrl(
            QStringLiteral("https://x.example/%code%/%marketCode%/%market%?w=%stockName%&d=%curdate%&c=%code%"),
            stock);
        QCOMPARE(url.toEncoded(),
                 QByteArray("https://x.example/600519/sh600519/?w=A%26B%20%231&d=2024-08-18&c=600519"));
        // A Chinese name arrives as UTF-8, percent-encoded.
        const QUrl chinese = StockLinks::buildUrl(QStringLiteral("https://x.example/s?w=%stockName%"), maotai());
        QCOMPARE(chinese.toEncoded(), QByteArray("https://x.example/s?w=%E8%B4%B5%E5%B7%9E%E8%8C%85%E5%8F%B0"));
    }

    void latestTradingDate_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDate>("expected");
        // 2024-08-14 is a Wednesday.
        QTest::newRow("Wednesday 11:59") << at(2024, 8, 14, 11, 59) << QDate(2024, 8, 13);
        QTest::newRow("Wednesday 12:00") << at(2024, 8, 14, 12, 0) << QDate(2024, 8, 14);
        QTest::newRow("Saturday afternoon") << at(2024, 8, 17, 15, 0) << QDate(2024, 8, 16);
        QTest::newRow("Sunday") << at(2024, 8, 18, 9, 0) << QDate(2024, 8, 16);
        QTest::newRow("Monday morning") << at(2024, 8, 19, 9, 30) << QDate(2024, 8, 16);
    }
    void latestTradingDate()
    {
        QFETCH(QDateTime, now);
        QFETCH(QDate, expected);
        QCOMPARE(StockLinks::latestTradingDate(now), expected);
    }

    void menuOfAnAShareStock()
    {
        QMenu menu;
        StockLinks::addLinkEntries(&menu, maotai(), at(2024, 8, 17, 10, 0)); // Saturday
        QStringList seen;
        for (QAction* action : menu.actions()) {
            seen << (action->isSeparator() ? QStringLiteral("--")
                                           : action->text() + QLatin1Char(' ') +
                                                 QString::fromLatin1(StockLinks::buildUrl(action->data().toString(),
                                                                                          maotai())
                                                                         .toEncoded()));
        }
        const QStringList expected = {
            "贵州茅台 > 个股详情 https://www.cls.cn/stock?code=sh600519",
            "贵州茅台 > 资讯公告 https://vip.stock.finance.sina.com.cn/corp/go.php/vCB_AllNewsStock/symbol/"
            "sh600519.phtml",
            "贵州茅台 > 互动问答 https://basic.10jqka.com.cn/m/600519/touzi/?_t_t_t=0.15033243875950575",
            "贵州茅台 > 异动解析 https://www.tgb.cn/search/lists/type/WZ/content/%E8%B4%B5%E5%B7%9E%E8%8C%85%E5%8F%B0",
            "贵州茅台 > 东财股吧 https://guba.eastmoney.com/list,600519.html",
            "贵州茅台 > 淘股吧 https://www.tgb.cn/quotes/sh600519",
            "贵州茅台 > 龙虎榜 https://xueqiu.com/snowman/S/sh600519/detail#/LHB",
            "贵州茅台 > 韭研公社 https://www.jiuyangongshe.com/search/new?k=600519&type=stock",
            "贵州茅台 > i问财 https://www.iwencai.com/unifiedwap/inforesult?w=%E8%B4%B5%E5%B7%9E%E8%8C%85%E5%8F%B0"
            "&querytype=info&tab=",
            "--",
            "涨停复盘 异动股揭秘 https://stock.10jqka.com.cn/mrnxgg_list/",
            "08-16 全部异动分析 https://www.jiuyangongshe.com/action/2024-08-16",
        };
        QCOMPARE(seen, expected);
    }

    void menuOfACodeThatIsNoAShare()
    {
        // A convertible bond: only the search, the separator and the two daily reviews.
        const Stock bond{QStringLiteral("113050"), QStringLiteral("南银转债"), QStringLiteral("sh113050"), QString()};
        QStringList texts;
        for (const StockLinks::Entry& entry : StockLinks::linkEntries(bond, at(2024, 8, 14, 11, 59)))
            texts << entry.text;
        QCOMPARE(texts, QStringList({"南银转债 > i问财", "", "涨停复盘 异动股揭秘", "08-13 全部异动分析"}));
    }
};

ZK_TEST_MAIN(TestStockLinks)
#include "tst_stocklinks.moc"
