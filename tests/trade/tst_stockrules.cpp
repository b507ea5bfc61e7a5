#include "ZkTest.h"

#include "trade/StockRules.h"

class TestStockRules : public QObject
{
    Q_OBJECT

private slots:
    void textClassifiers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("integer");
        QTest::addColumn<bool>("price");
        QTest::addColumn<bool>("nonZero");
        QTest::newRow("plain") << "100" << true << false << true;
        QTest::newRow("plus") << "+100" << true << false << true;
        QTest::newRow("minus") << "-100" << true << false << true;
        QTest::newRow("zero") << "0" << true << false << false;
        QTest::newRow("padded zero") << "00" << true << false << true;
        QTest::newRow("empty") << "" << false << false << false;
        QTest::newRow("thousands") << "1,000" << false << false << true;
        QTest::newRow("space") << "1 000" << false << false << true;
        QTest::newRow("line break") << "100\n" << false << false << true;
        QTest::newRow("sign only") << "+" << false << false << true;
        QTest::newRow("price") << "10.50" << false << true << true;
        QTest::newRow("three decimals") << "1.005" << false << true << true;
        QTest::newRow("leading dot") << ".5" << false << false << true;
        QTest::newRow("trailing dot") << "5." << false << false << true;
        QTest::newRow("two dots") << "1.2.3" << false << false << true;
        QTest::newRow("signed price") << "-1.5" << false << false << true;
        QTest::newRow("full-width digits") << "１０.５" << false << false << true;
    }

    void textClassifiers()
    {
        QFETCH(QString, text);
        QFETCH(bool, integer);
        QFETCH(bool, price);
        QFETCH(bool, nonZero);
        QCOMPARE(StockRules::isInteger(text), integer);
        QCOMPARE(StockRules::isPrice(text), price);
        QCOMPARE(StockRules::isNonZero(text), nonZero);
    }

    void codeClassifiers_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("bond");
        QTest::addColumn<bool>("mainBoard");
        QTest::addColumn<bool>("aShare");
        QTest::newRow("sh main") << "600000" << false << true << true;
        QTest::newRow("sz main") << "000001" << false << true << true;
        QTest::newRow("chinext") << "300750" << false << false << true;
        QTest::newRow("star") << "688981" << false << false << true;
        QTest::newRow("five chars") << "60000" << false << false << true;
        QTest::newRow("seven chars") << "6000001" << false << false << true;
        QTest::newRow("sh bond") << "113050" << true << false << false;
        QTest::newRow("sz bond") << "123100" << true << false << false;
        QTest::newRow("bj 43") << "430047" << false << false << true;
        QTest::newRow("bj 83") << "830799" << false << false << true;
        QTest::newRow("bj 87") << "872925" << false << false << true;
        QTest::newRow("bj 92") << "920001" << false << false << true;
        QTest::newRow("fund") << "510300" << false << false << false;
        QTest::newRow("68 not star") << "680001" << false << false << false;
        QTest::newRow("empty") << "" << false << false << false;
        QTest::newRow("one") << "1" << false << false << false;
    }

    void codeClassifiers()
    {
        QFETCH(QString, code);
        QFETCH(bool, bond);
        QFETCH(bool, mainBoard);
        QFETCH(bool, aShare);
        QCOMPARE(StockRules::isConvertibleBond(code), bond);
        QCOMPARE(StockRules::isMainBoard(code), mainBoard);
        QCOMPARE(StockRules::isAShareCode(code), aShare);
    }

    void nameClassifiers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("st");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "浦发银行" << false << true;
        QTest::newRow("*ST") << "*ST海润" << true << true;
        QTest::newRow("ST") << "ST康美" << true << true;
        QTest::newRow("lower st") << "st康美" << true << false;
        QTest::newRow("mixed case") << "sT康美" << true << false;
        QTest::newRow("delisting") << "退市海润" << false << true;
        QTest::newRow("digit") << "中国1号" << false << false;
        QTest::newRow("latin") << "TCL科技" << false << false;
        QTest::newRow("space") << "浦发 银行" << false << false;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("first ideograph") << QString(QChar(0x4E00)) << false << true;
        QTest::newRow("last ideograph") << QString(QChar(0x9FFF)) << false << true;
        QTest::newRow("beyond the block") << QString(QChar(0x3400)) << false << false;
    }

    void nameClassifiers()
    {
        QFETCH(QString, name);
        QFETCH(bool, st);
        QFETCH(bool, valid);
        QCOMPARE(StockRules::isST(name), st);
        QCOMPARE(StockRules::isValidStockName(name), valid);
    }

    void marketForms_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("suffixed");
        QTest::newRow("60") << "600000"
                            << "sh600000"
                            << "sh600000";
        QTest::newRow("11") << "113050"
                            << "sh113050"
                            << "sh113050";
        QTest::newRow("68") << "688981"
                            << "sh688981"
                            << "sh688981";
        QTest::newRow("50") << "501018"
                            << "sh501018"
                            << "sh501018";
        QTest::newRow("51") << "510300"
                            << "sh510300"
                            << "sh510300";
        QTest::newRow("58") << "588000"
                            << "sh588000"
                            << "sh588000";
        QTest::newRow("00") << "000001"
                            << "sz000001"
                            << "sz000001";
        QTest::newRow("30") << "300750"
                            << "sz300750"
                            << "sz300750";
        QTest::newRow("12") << "123100"
                            << "sz123100"
                            << "sz123100";
        QTest::newRow("15") << "159915"
                            << "sz159915"
                            << "sz159915";
        QTest::newRow("43") << "430047"
                            << "bj430047"
                            << "430047.BJ";
        QTest::newRow("83") << "830799"
                            << "bj830799"
                            << "830799.BJ";
        QTest::newRow("87") << "872925"
                            << "bj872925"
                            << "872925.BJ";
        QTest::newRow("92") << "920001"
                            << "bj920001"
                            << "920001.BJ";
        QTest::newRow("unknown") << "900901"
                                 << ""
                                 << "";
        QTest::newRow("one char") << "6"
                                  << ""
                                  << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
    }

    void marketForms()
    {
        QFETCH(QString, code);
        QFETCH(QString, plain);
        QFETCH(QString, suffixed);
        QCOMPARE(StockRules::marketForm(code), plain);
        QCOMPARE(StockRules::marketForm(code, true), suffixed);
    }

    void holdingTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("typical") << "持股机构 - 贵州茅台(600519)" << true << "600519"
                                 << "贵州茅台";
        QTest::newRow("several parts") << "同花顺-持股-浦发银行 (600000)" << true << "600000"
                                       << "浦发银行";
        QTest::newRow("trailing dash part") << "持股机构 - 中国平安(601318)" << true << "601318"
                                            << "中国平安";
        QTest::newRow("no dash") << "平安银行(000001)" << true << "000001"
                                 << "平安银行";
        QTest::newRow("not at the end") << "贵州茅台(600519) 持股" << false << ""
                                        << "";
        QTest::newRow("letters in parens") << "持股机构 - 茅台(ABC)" << false << ""
                                           << "";
        QTest::newRow("empty") << "" << false << ""
                               << "";
    }

    void holdingTitle()
    {
        QFETCH(QString, title);
        QFETCH(bool, ok);
        QFETCH(QString, code);
        QFETCH(QString, name);
        QString gotCode = QStringLiteral("stale");
        QString gotName = QStringLiteral("stale");
        QCOMPARE(StockRules::parseHoldingTitle(title, gotCode, gotName), ok);
        QCOMPARE(gotCode, code);
        QCOMPARE(gotName, name);
    }
};

ZK_TEST_MAIN(TestStockRules)
#include "tst_stockrules.moc"
