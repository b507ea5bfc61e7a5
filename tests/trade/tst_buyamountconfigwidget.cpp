#include "ZkTest.h"

#include "ModalAnswers.h"
#include "trade/BuyAmountConfig.h"
#include "trade/BuyAmountConfigWidget.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

// Rows given as "amount" (ticked) or "-amount" / "-" (unticked), the rest unticked and empty.
using Rows = QStringList;

class TestBuyAmountConfigWidget : public QObject
{
    Q_OBJECT

    int m_fileNumber = 0;
    QString freshPath() { return zktest::testHome() + QStringLiteral("/amounts/%1.json").arg(++m_fileNumber); }

    static void fill(BuyAmountConfigWidget& widget, const Rows& rows)
    {
        for (int i = 0; i < BuyAmountConfig::MaxLimits; ++i) {
            QString cell = i < rows.size() ? rows.at(i) : QStringLiteral("-");
            const bool ticked = !cell.startsWith('-');
            if (!ticked)
                cell = cell.mid(1);
            widget.enabledBox(i)->setChecked(ticked);
            widget.amountEdit(i)->setText(cell);
        }
    }

private slots:
    void loadShowsNamesByTheRule()
    {
        BuyAmountConfig config(freshPath());
        config.setLimits({{true, 15000, "stale"}, {false, 0, "x"}, {true, 800, ""}});
        BuyAmountConfigWidget widget(nullptr, &config);
        QCOMPARE(widget.nameEdit(0)->text(), QStringLiteral("最大1.5万元"));
        QCOMPARE(widget.amountEdit(1)->text(), QString());
        QCOMPARE(widget.nameEdit(1)->text(), QString());
        QVERIFY(!widget.amountEdit(1)->isEnabled());
        QCOMPARE(widget.nameEdit(2)->text(), QStringLiteral("最大800元"));
        QVERIFY(!widget.amountEdit(7)->isEnabled()); // rows beyond the store's list: off and empty

        // Typing renames the row at once; switching a row on enables its edits.
        widget.amountEdit(2)->setText("20000");
        QCOMPARE(widget.nameEdit(2)->text(), QStringLiteral("最大2万元"));
        widget.amountEdit(2)->setText("");
        QCOMPARE(widget.nameEdit(2)->text(), QString());
        widget.enabledBox(1)->setChecked(true);
        QVERIFY(widget.amountEdit(1)->isEnabled());
        QVERIFY(widget.nameEdit(1)->isEnabled());
    }

    void validation_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("problem"); // empty: accepted
        QTest::newRow("valid") << Rows{"1000", "5000", "-", "100000"} << "";
        QTest::newRow("unticked repeats pass") << Rows{"1000", "-3000", "-3000"} << "";
        QTest::newRow("unticked rows are not checked") << Rows{"1000", "-0"} << "";
        QTest::newRow("ticked without amount") << Rows{"1000", "5000", ""} << "第3行：启用的项必须填写金额";
        QTest::newRow("zero") << Rows{"0"} << "第1行：金额必须在1-100000之间";
        QTest::newRow("above the range") << Rows{"1000", "100001"} << "第2行：金额必须在1-100000之间";
        QTest::newRow("repeat of a ticked row") << Rows{"1000", "-2000", "1000"} << "第3行：金额1000元与其他行重复";
        QTest::newRow("first failure only") << Rows{"", "0"} << "第1行：启用的项必须填写金额";
    }
    void validation()
    {
        QFETCH(Rows, rows);
        QFETCH(QString, problem);
        const QString path = freshPath();
        BuyAmountConfig config(path);
        BuyAmountConfigWidget widget(nullptr, &config);
        fill(widget, rows);
        QSignalSpy changed(&widget, &BuyAmountConfigWidget::configChanged);
        ModalAnswers answers;
        QCOMPARE(widget.save(), problem.isEmpty());
        QCOMPARE(answers.texts(), problem.isEmpty() ? QStringList() : QStringList{problem});
        QCOMPARE(changed.count(), problem.isEmpty() ? 1 : 0);
        QCOMPARE(QFile::exists(path), problem.isEmpty()); // refused input writes nothing
        if (!problem.isEmpty())
            return;
        BuyAmountConfig reread(path);
        QVERIFY(reread.load());
        QCOMPARE(reread.limits().size(), BuyAmountConfig::MaxLimits);
        for (int i = 0; i < BuyAmountConfig::MaxLimits; ++i) {
            const BuyAmountLimit limit = reread.limits().at(i);
            QCOMPARE(limit.enabled, widget.enabledBox(i)->isChecked());
            QCOMPARE(limit.amount, widget.amountEdit(i)->text().toInt());
            QCOMPARE(limit.name, BuyAmountConfig::nameForAmount(limit.amount));
        }
    }

    void savingOffTheChosenPresetClearsTheChoice()
    {
        BuyAmountConfig config(freshPath());
        config.setLimits(BuyAmountConfig::defaultLimits());
        config.setCurrentIndex(2);
        BuyAmountConfigWidget widget(nullptr, &config);
        widget.enabledBox(2)->setChecked(false);
        QVERIFY(widget.save());
        QCOMPARE(config.currentIndex(), -1);
    }

    void reset()
    {
        const QString path = freshPath();
        BuyAmountConfig config(path);
        config.setLimits({{true, 777, "x"}});
        BuyAmountConfigWidget widget(nullptr, &config);
        auto* button = widget.findChild<QPushButton*>("resetButton");
        QVERIFY(button);
        {
            ModalAnswers answers({"&No"});
            button->click();
            QCOMPARE(answers.titles(), QStringList{"确认"});
            QCOMPARE(config.limits().first().amount, 777);
        }
        ModalAnswers answers({"&Yes"});
        button->click();
        QCOMPARE(answers.titles(), (QStringList{"确认", "成功"}));
        QCOMPARE(config.limits(), BuyAmountConfig::defaultLimits());
        QCOMPARE(widget.amountEdit(0)->text(), QStringLiteral("1000"));
        BuyAmountConfig reread(path);
        QVERIFY(reread.load());
        QCOMPARE(reread.limits(), BuyAmountConfig::defaultLimits());
    }
};

ZK_TEST_MAIN(TestBuyAmountConfigWidget)
#include "tst_buyamountconfigwidget.moc"
