#include "ZkTest.h"

#include "ModalAnswers.h"
#include "../trade/SimFixture.h"
#include "config/ConfigManager.h"
#include "sim/desktop/FakeTdx.h"
#include "trade/BuyAmountConfig.h"
#include "trade/BuyAmountConfigWidget.h"
#include "trade/DesktopWatcher.h"
#include "trade/EditBoxChangeWorker.h"
#include "trade/StateMachine.h"
#include "trade/WindowRequests.h"
#include "tradeconfig/TdxCalibration.h"
#include "tradeconfig/TdxCfgDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>

#include <memory>

Q_DECLARE_METATYPE(sim::TdxLayout)

namespace {

const QString BuiltIn = QStringLiteral("金融终端");

using Indices = QList<int>; // code, name, price, quantity, maximum

Indices activeIndices(bool margin)
{
    ConfigManager* c = ConfigManager::instance();
    if (margin)
        return {c->tdxMarginCodeIndex(), c->tdxMarginNameIndex(), c->tdxMarginPriceIndex(),
                c->tdxMarginQuantityIndex(), c->tdxMarginMaxQuantityIndex()};
    return {c->tdxCodeIndex(), c->tdxNameIndex(), c->tdxPriceIndex(), c->tdxQuantityIndex(), c->tdxMaxQuantityIndex()};
}

Indices indicesOf(const sim::TdxIndices& i)
{
    return {i.code, i.name, i.price, i.quantity, i.maxQuantity};
}

// The built-in profile current, nothing restricted.
void resetSettings()
{
    ConfigManager* c = ConfigManager::instance();
    for (const QString& name : c->profileList()) {
        if (name != BuiltIn)
            c->deleteProfile(name);
    }
    QVERIFY(c->loadProfile(BuiltIn));
    c->setCurrentProfile(BuiltIn);
    c->setTdxOnlyZz(false);
    c->setTdxOnlyMain(false);
    c->setTdxNotST(false);
    c->setTdxBuyMaxPriceLimitEnabled(false);
    c->setTdxBuyMinPriceLimitEnabled(false);
    c->setTdxBuyAmountLimitEnabled(false);
    c->setTdxBuyMaxPrice(30);
    c->setTdxBuyMinPrice(0);
    c->setAutoSwitchProfileEnabled(true);
}

sim::TdxOrderOptions order600000(long long maximum = 800)
{
    sim::TdxOrderOptions o;
    o.maxQuantity = maximum;
    return o;
}

// The fake TDX and the order dialog worker on one manual clock; the worker's click and close
// requests run at once.
struct Desk
{
    SimFixture sim;
    std::unique_ptr<sim::FakeTdx> tdx;
    StateMachine machine{sim.clock};
    DesktopWatcher watcher{&machine, [] { return false; }};
    EditBoxChangeWorker worker{&machine};
    QObject context;

    explicit Desk(sim::FakeTdxOptions options = {})
    {
        tdx = std::make_unique<sim::FakeTdx>(sim.system, std::move(options));
        tdx->setCurrentStock(u"600000", u"浦发银行", u"10.52");
        QObject::connect(
            &worker, &EditBoxChangeWorker::requestClickButton, &context,
            [this](trade::HWND button) { worker.onButtonClicked(button, WindowRequests::clickButton(button)); },
            Qt::DirectConnection);
        QObject::connect(&worker, &EditBoxChangeWorker::requestCloseWindow, &context, &WindowRequests::closeWindow,
                         Qt::DirectConnection);
    }

    // A trade key, its dialog, the worker on it.
    void trade(int type, const sim::TdxOrderOptions& options)
    {
        worker.onTradeTypeSet(0, type, 0);
        tdx->openFlashBuy(options);
        watcher.onForegroundChanged(sim.desktop().foregroundWindow());
        worker.performDetection(trade::toWParam(machine.window()));
    }
    std::vector<sim::Order> submitted() { return sim.system.orderBook().submitted(); }
};

template <typename T>
T* child(QObject& parent, const char* name)
{
    T* found = parent.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

void click(QObject& dialog, const char* button)
{
    child<QPushButton>(dialog, button)->click();
}

} // namespace

class TestTdxCfgDlg : public QObject
{
    Q_OBJECT

    int m_fileNumber = 0;
    std::unique_ptr<BuyAmountConfig> freshAmounts()
    {
        auto config = std::make_unique<BuyAmountConfig>(zktest::testHome() +
                                                        QStringLiteral("/amounts/%1.json").arg(++m_fileNumber));
        config->setLimits(BuyAmountConfig::defaultLimits());
        return config;
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Zentrik"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
        ConfigManager::instance();
    }
    void init()
    {
        EditBoxChangeWorker::forgetProcessHistory();
        resetSettings();
    }

    // ---------------------------------------------------------------- restrictions

    void restrictionsAreWrittenOnlyByApply()
    {
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        QCOMPARE(dialog.tabs()->currentIndex(), int(TdxCfgDlg::BuySettingsTab));
        QCOMPARE(dialog.tabs()->tabText(TdxCfgDlg::BuyAmountTab), QStringLiteral("买入限额配置"));
        QCOMPARE(child<QLineEdit>(dialog, "maxBuyPriceLineEdit")->text(), QStringLiteral("30"));
        const auto edit = [&] {
            child<QCheckBox>(dialog, "enableNotSTCheckBox")->setChecked(true);
            child<QCheckBox>(dialog, "enableOnlyMainCheckBox")->setChecked(true);
            child<QCheckBox>(dialog, "enableBuyPriceLimitCheckBox")->setChecked(true);
            child<QLineEdit>(dialog, "maxBuyPriceLineEdit")->setText("12");
            child<QCheckBox>(dialog, "enableMinPriceLimitCheckBox")->setChecked(true);
            child<QLineEdit>(dialog, "minBuyPriceLineEdit")->setText("");
            child<QCheckBox>(dialog, "enableAutoSwitchProfileCheckBox")->setChecked(false);
        };
        ConfigManager* c = ConfigManager::instance();

        edit();
        click(dialog, "cancelButton");
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!c->tdxNotST());
        QCOMPARE(c->tdxBuyMaxPrice(), 30);

        // A refused amount preset stops 应用 before anything is written.
        dialog.loadSettingsIntoUi();
        edit();
        dialog.amountWidget()->amountEdit(1)->setText("1000");
        {
            ModalAnswers answers;
            click(dialog, "confirmButton");
            QCOMPARE(answers.titles(), QStringList{"输入错误"});
        }
        QVERIFY(!c->tdxNotST());
        QVERIFY(!c->tdxOnlyMain());

        dialog.amountWidget()->amountEdit(1)->setText("6000");
        QSignalSpy changed(&dialog, &TdxCfgDlg::configChanged);
        click(dialog, "confirmButton");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(c->tdxNotST());
        QVERIFY(c->tdxOnlyMain());
        QVERIFY(!c->tdxOnlyZz());
        QVERIFY(c->tdxBuyMaxPriceLimitEnabled());
        QCOMPARE(c->tdxBuyMaxPrice(), 12);
        QVERIFY(c->tdxBuyMinPriceLimitEnabled());
        QCOMPARE(c->tdxBuyMinPrice(), 0);
        QVERIFY(!c->autoSwitchProfileEnabled());
        QCOMPARE(amounts->limits().at(1).amount, 6000);
        QCOMPARE(changed.count(), 1); // the presets changed
    }

    void notSTRefusesTheNextSTBuy()
    {
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        child<QCheckBox>(dialog, "enableNotSTCheckBox")->setChecked(true);
        click(dialog, "confirmButton");

        Desk desk;
        desk.worker.onReloadCfg();
        sim::TdxOrderOptions st = order600000(1000);
        st.code = u"600010";
        st.name = u"ST包钢";
        st.price = u"2.10";
        desk.trade(13, st);
        QVERIFY(desk.submitted().empty());
        desk.trade(13, order600000(1000));
        QCOMPARE(desk.submitted().size(), std::size_t(1));
    }

    // ---------------------------------------------------------------- processes

    void processList()
    {
        SimFixture sim;
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        auto* combo = child<QComboBox>(dialog, "processComboBox");
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->itemText(0), QStringLiteral("未检测到通达信进程"));
        QVERIFY(!combo->isEnabled());
        QVERIFY(!child<QPushButton>(dialog, "testNormalBuyButton")->isEnabled());
        QVERIFY(!child<QPushButton>(dialog, "testMarginBuyButton")->isEnabled());

        sim::FakeTdx tdx(sim.system);
        sim::FakeTdxOptions other;
        other.installDir = u"D:\\zd_tdx";
        other.mainTitle = u"某券商通达信";
        sim::FakeTdx broker(sim.system, other);
        {
            ModalAnswers answers;
            click(dialog, "refreshProcessButton");
            QCOMPARE(answers.titles(), QStringList{"刷新成功"});
        }
        QVERIFY(combo->isEnabled());
        QVERIFY(child<QPushButton>(dialog, "testMarginBuyButton")->isEnabled());
        QCOMPARE(combo->count(), 2);
        QCOMPARE(dialog.processes().size(), 2);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(combo->itemText(i), QStringLiteral("%1 (PID:%2)")
                                             .arg(dialog.processes().at(i).title)
                                             .arg(dialog.processes().at(i).pid));
    }

    // ---------------------------------------------------------------- calibration

    void calibration_data()
    {
        QTest::addColumn<sim::TdxLayout>("layout");
        QTest::addColumn<bool>("margin");
        for (const sim::TdxLayout& layout : sim::TdxLayout::all()) {
            QTest::addRow("%s buy", qPrintable(QString::fromStdU16String(layout.name))) << layout << false;
            QTest::addRow("%s margin", qPrintable(QString::fromStdU16String(layout.name))) << layout << true;
        }
    }
    void calibration()
    {
        QFETCH(sim::TdxLayout, layout);
        QFETCH(bool, margin);
        sim::FakeTdxOptions options;
        options.layout = layout;
        Desk desk(options);
        if (margin)
            desk.tdx->openMarginBuy(order600000());
        else
            desk.tdx->openFlashBuy(order600000());

        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        const Indices otherDialog = activeIndices(!margin);
        QSignalSpy changed(&dialog, &TdxCfgDlg::configChanged);
        ModalAnswers answers({"否"});
        click(dialog, margin ? "testMarginBuyButton" : "testNormalBuyButton");
        QCOMPARE(answers.titles(), QStringList{"保存配置"});
        const Indices expected = indicesOf(margin ? layout.marginIndices : layout.buyIndices);
        QCOMPARE(activeIndices(margin), expected);
        QCOMPARE(activeIndices(!margin), otherDialog);
        QVERIFY(changed.count() >= 1);
        QCOMPARE(ConfigManager::instance()->profileList(), QStringList{BuiltIn}); // 否: no profile
    }

    void calibrationMeasures_data()
    {
        QTest::addColumn<QString>("maxText");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<bool>("maxFound");
        QTest::addColumn<bool>("succeeded");
        QTest::newRow("maximum 0 counts") << "0" << "0" << true << true;
        QTest::newRow("maximum below one lot does not") << "50" << "0" << false << true;
        QTest::newRow("maximum not shown yet") << "" << "0" << false << true;
        QTest::newRow("empty quantity fails") << "800" << "" << true << false;
    }
    void calibrationMeasures()
    {
        QFETCH(QString, maxText);
        QFETCH(QString, quantity);
        QFETCH(bool, maxFound);
        QFETCH(bool, succeeded);
        Desk desk;
        sim::TdxOrderOptions o = order600000();
        o.maxText = maxText.isEmpty() ? u" " : maxText.toStdU16String();
        o.quantity = quantity.toStdU16String();
        const sim::WindowId window = desk.tdx->openFlashBuy(o);
        const TdxCalibration::Result found = TdxCalibration::measure(window);
        const sim::TdxIndices layout = desk.tdx->options().layout.buyIndices;
        QCOMPARE(found.code, layout.code);
        QCOMPARE(found.price, layout.price);
        QCOMPARE(found.maxQuantity, maxFound ? layout.maxQuantity : -1);
        QCOMPARE(found.succeeded(), succeeded);

        // A failed test writes no index.
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        ConfigManager::instance()->setTdxQuantityIndex(7);
        const Indices before = activeIndices(false);
        ModalAnswers answers({"否"});
        click(dialog, "testNormalBuyButton");
        QCOMPARE(answers.titles(), QStringList{succeeded ? "保存配置" : "测试失败"});
        if (!succeeded)
            QCOMPARE(activeIndices(false), before);
    }

    void calibrationFailures_data()
    {
        QTest::addColumn<bool>("is64Bit");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<bool>("dialogOpen");
        QTest::addColumn<QString>("box"); // empty: calibrated
        QTest::newRow("no dialog open") << false << true << false << "测试失败";
        QTest::newRow("64-bit without login") << true << false << false << "错误";
        QTest::newRow("64-bit, dialog in TC.exe") << true << true << true << "";
    }
    void calibrationFailures()
    {
        QFETCH(bool, is64Bit);
        QFETCH(bool, loggedIn);
        QFETCH(bool, dialogOpen);
        QFETCH(QString, box);
        sim::FakeTdxOptions options;
        options.is64Bit = is64Bit;
        options.loggedIn = loggedIn;
        options.layout = sim::TdxLayout::brokerA();
        Desk desk(options);
        if (dialogOpen)
            QVERIFY(desk.tdx->openFlashBuy(order600000()));
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        QCOMPARE(dialog.processes().size(), 1);
        QCOMPARE(dialog.processes().first().is64Bit, is64Bit);
        const Indices before = activeIndices(false);
        ModalAnswers answers({"否"});
        click(dialog, "testNormalBuyButton");
        QCOMPARE(answers.titles(), QStringList{box.isEmpty() ? "保存配置" : box});
        QCOMPARE(activeIndices(false), box.isEmpty() ? indicesOf(options.layout.buyIndices) : before);
    }

    // ---------------------------------------------------------------- profiles

    void profileTable()
    {
        ConfigManager* c = ConfigManager::instance();
        QVERIFY(c->saveProfile("券商A", "C:/broker"));
        QVERIFY(c->saveProfile("无路径", ""));
        QVERIFY(c->loadProfile("券商A"));
        c->setCurrentProfile("券商A");
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        auto* table = child<QTableWidget>(dialog, "profileTableWidget");
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(0, 0)->text(), BuiltIn);
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("✓ 券商A"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("C:/broker"));
        QCOMPARE(table->item(2, 1)->text(), QStringLiteral("-"));
        QVERIFY(table->item(1, 0)->font().bold());
        QVERIFY(!table->item(0, 0)->font().bold());
        QCOMPARE(table->item(1, 2)->background().color(), QColor(230, 247, 255));
        QVERIFY(!(table->item(1, 0)->flags() & Qt::ItemIsEditable));
        QCOMPARE(dialog.selectedProfileName(), QStringLiteral("券商A"));
    }

    void profileOperations()
    {
        SimFixture sim;
        sim::FakeTdxOptions options;
        options.mainTitle = u"某券商通达信";
        options.page = u"交易";
        sim::FakeTdx tdx(sim.system, options);
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        auto* table = child<QTableWidget>(dialog, "profileTableWidget");
        ConfigManager* c = ConfigManager::instance();
        c->setTdxCodeIndex(5);

        // Save: the suggestion is the title before " - ", the identifier the executable's folder.
        {
            ModalAnswers answers({"keep"});
            click(dialog, "saveProfileButton");
            QCOMPARE(answers.titles(), QStringList{"保存配置方案"});
        }
        QCOMPARE(c->profileList(), QStringList{BuiltIn}); // cancelled
        QSignalSpy changed(&dialog, &TdxCfgDlg::configChanged);
        {
            ModalAnswers answers({"accept", "OK"});
            click(dialog, "saveProfileButton");
            QCOMPARE(answers.titles(), (QStringList{"保存配置方案", "保存成功"}));
            QCOMPARE(answers.texts().first(), QStringLiteral("某券商通达信"));
        }
        QCOMPARE(c->profileList(), (QStringList{BuiltIn, "某券商通达信"}));
        QCOMPARE(c->currentProfileName(), QStringLiteral("某券商通达信"));
        QCOMPARE(c->profileProcessIdentifier("某券商通达信"), QStringLiteral("C:/new_tdx"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("✓ 某券商通达信"));

        // Switch: the current one is refused, another one becomes current with its indices.
        {
            ModalAnswers answers;
            click(dialog, "switchProfileButton");
            QCOMPARE(answers.titles(), QStringList{"提示"});
        }
        table->selectRow(0);
        {
            ModalAnswers answers;
            click(dialog, "switchProfileButton");
            QCOMPARE(answers.titles(), QStringList{"切换成功"});
        }
        QCOMPARE(c->currentProfileName(), BuiltIn);
        QCOMPARE(c->tdxCodeIndex(), 2);
        QCOMPARE(changed.count(), 2);

        // Rename, then delete (after a 否), the other profile.
        table->selectRow(1);
        {
            ModalAnswers answers({"text:新名字", "OK"});
            click(dialog, "renameProfileButton");
            QCOMPARE(answers.titles(), (QStringList{"重命名配置方案", "重命名成功"}));
        }
        QCOMPARE(c->profileList(), (QStringList{BuiltIn, "新名字"}));
        table->selectRow(1);
        {
            ModalAnswers answers({"否"});
            click(dialog, "deleteProfileButton");
            QCOMPARE(answers.titles(), QStringList{"确认删除"});
            QCOMPARE(answers.texts(), QStringList{"确定要删除配置方案“新名字”吗？"});
        }
        QCOMPARE(c->profileList().size(), 2);
        {
            ModalAnswers answers({"是", "OK"});
            click(dialog, "deleteProfileButton");
            QCOMPARE(answers.titles(), (QStringList{"确认删除", "删除成功"}));
        }
        QCOMPARE(c->profileList(), QStringList{BuiltIn});
        QCOMPARE(table->rowCount(), 1);

        // Nothing selected, or the reserved name: refused.
        table->clearSelection();
        for (const char* button : {"deleteProfileButton", "renameProfileButton", "switchProfileButton"}) {
            ModalAnswers answers;
            click(dialog, button);
            QCOMPARE(answers.texts().size(), 1);
        }
        QCOMPARE(c->profileList(), QStringList{BuiltIn});
        QVERIFY(c->saveProfile(ConfigManager::ReservedProfileName, QString()));
        dialog.refreshProfileTable();
        QCOMPARE(dialog.selectedProfileName(), ConfigManager::ReservedProfileName);
        for (const char* button : {"deleteProfileButton", "renameProfileButton"}) {
            ModalAnswers answers({"是", "text:别名"});
            click(dialog, button);
            QCOMPARE(answers.titles().size(), 1); // refused before any question
        }
        QCOMPARE(c->profileList(), (QStringList{BuiltIn, ConfigManager::ReservedProfileName}));
    }

    void everyTabFitsOnASmallScreen()
    {
        // Each tab as the user sees it, saved for a look (test home, "shots"); none may need more
        // than a 1024 x 768 screen.
        SimFixture sim;
        sim::FakeTdx tdx(sim.system);
        ConfigManager::instance()->saveProfile("券商A", "C:/broker");
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QDir().mkpath(zktest::testHome() + "/shots");
        for (int tab = 0; tab < dialog.tabs()->count(); ++tab) {
            dialog.tabs()->setCurrentIndex(tab);
            QTest::qWait(50);
            const QImage shot = dialog.grab().toImage();
            QVERIFY(shot.save(zktest::testHome() + QStringLiteral("/shots/tdxcfgdlg-%1.png").arg(tab)));
            QVERIFY2(shot.width() <= 1024 && shot.height() <= 768, qPrintable(QStringLiteral("%1x%2").arg(shot.width()).arg(shot.height())));
        }
        // The calibration tab with the log of a test.
        tdx.openFlashBuy(order600000());
        {
            ModalAnswers answers({"否"});
            click(dialog, "testNormalBuyButton");
        }
        dialog.tabs()->setCurrentIndex(TdxCfgDlg::CalibrationTab);
        QTest::qWait(50);
        QVERIFY(dialog.grab().save(zktest::testHome() + QStringLiteral("/shots/tdxcfgdlg-calibrated.png")));
    }

    // ---------------------------------------------------------------- end to end

    void calibrateSaveAndTradeInABrokerLayout()
    {
        sim::FakeTdxOptions options;
        options.layout = sim::TdxLayout::brokerA();
        Desk desk(options);
        // The built-in profile cannot read this layout: the worker refuses the trade.
        desk.trade(13, order600000(1000));
        QVERIFY(desk.submitted().empty());

        // The user opens 闪电买入 with 600000 (the open one closes) and runs the test; it is
        // saved as a profile.
        desk.tdx->openFlashBuy(order600000(1000));
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        QObject::connect(&dialog, &TdxCfgDlg::configChanged, &desk.worker, &EditBoxChangeWorker::onReloadCfg);
        {
            ModalAnswers answers({"是", "text:券商A", "OK"});
            click(dialog, "testNormalBuyButton");
            QCOMPARE(answers.titles(), (QStringList{"保存配置", "保存配置方案", "保存成功"}));
        }
        ConfigManager* c = ConfigManager::instance();
        QCOMPARE(c->currentProfileName(), QStringLiteral("券商A"));
        QCOMPARE(activeIndices(false), indicesOf(options.layout.buyIndices));
        QCOMPARE(c->profileProcessIdentifier("券商A"), QStringLiteral("C:/new_tdx"));

        // A 1/3 buy in that layout is confirmed with a third of the maximum.
        desk.trade(13, order600000(1000));
        const std::vector<sim::Order> orders = desk.submitted();
        QCOMPARE(orders.size(), std::size_t(1));
        QCOMPARE(int(orders[0].quantity), 300);
        QCOMPARE(orders[0].code, std::u16string(u"600000"));
    }

    void workerPromptLeadsToCalibration()
    {
        sim::FakeTdxOptions options;
        options.layout = sim::TdxLayout::brokerB();
        Desk desk(options);
        auto amounts = freshAmounts();
        TdxCfgDlg dialog(nullptr, amounts.get());
        QObject::connect(&dialog, &TdxCfgDlg::configChanged, &desk.worker, &EditBoxChangeWorker::onReloadCfg);
        // What the main window does on the worker's prompt when the user answers 是.
        QObject::connect(&desk.worker, &EditBoxChangeWorker::requestShowConfigPrompt, &dialog,
                         [&] { dialog.prepareForShowing(true); }, Qt::DirectConnection);
        dialog.tabs()->setCurrentIndex(TdxCfgDlg::ProfileTab);

        desk.trade(13, order600000(800));
        QVERIFY(desk.submitted().empty());
        QCOMPARE(dialog.tabs()->currentIndex(), int(TdxCfgDlg::CalibrationTab));

        desk.tdx->openFlashBuy(order600000(800));
        {
            ModalAnswers answers({"否"});
            click(dialog, "testNormalBuyButton");
        }
        QCOMPARE(activeIndices(false), indicesOf(options.layout.buyIndices));
        desk.trade(11, order600000(800));
        QCOMPARE(desk.submitted().size(), std::size_t(1));
        QCOMPARE(int(desk.submitted()[0].quantity), 800);
    }
};

ZK_TEST_MAIN(TestTdxCfgDlg)
#include "tst_tdxcfgdlg.moc"
