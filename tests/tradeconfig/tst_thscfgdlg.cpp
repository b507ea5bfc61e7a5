#include "ZkTest.h"

#include "ModalAnswers.h"
#include "../trade/SimFixture.h"
#include "config/ConfigManager.h"
#include "sim/desktop/FakeThs.h"
#include "tradeconfig/ThsCfgDlg.h"
#include "tradeconfig/ThsMenu.h"
#include "tradeconfig/ThsPresetFiles.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextCodec>

#include <memory>
#include <optional>

namespace {

QTextCodec* gb2312()
{
    return QTextCodec::codecForName("GB2312");
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

QJsonObject preset(int index, const QString& name, int type, int number)
{
    return QJsonObject{{"Index", index}, {"Name", name}, {"AmountType", type}, {"AmountNumber", number}};
}

// A trading configuration as the program keeps it: indented JSON in GB2312.
QJsonObject configuration(const QString& name, int buyNumber)
{
    return QJsonObject{
        {"FloatSetting",
         QJsonObject{{"FloatSchemeList", QJsonArray{preset(0, name, 0, 0), preset(1, "定买", 1, buyNumber),
                                                    preset(2, "定卖", 0, 100), preset(3, "融买", 1, buyNumber)}}}},
        {"Version", 3}};
}

QJsonObject readConfiguration(const QString& path)
{
    return QJsonDocument::fromJson(gb2312()->toUnicode(readBytes(path)).toUtf8()).object();
}

QString configDir()
{
    return ConfigManager::instance()->configDirPath();
}

// A fake THS installed in a fresh directory with its xiadan.ini, and three configurations.
struct ThsDesk
{
    SimFixture sim;
    std::unique_ptr<sim::FakeThs> ths;
    QString directory;
    QString ini;

    explicit ThsDesk(int number)
    {
        ths = std::make_unique<sim::FakeThs>(sim.system);
        directory = zktest::testHome() + QStringLiteral("/ths/%1").arg(number);
        ini = QString::fromStdString(ths->install(directory.toStdString()));
        QDir config(configDir());
        for (const QString& file : config.entryList(QDir::Files))
            config.remove(file);
        for (const auto& [name, amount] : {std::pair<QString, int>{"二档", 2000}, {"一档", 1000}, {"默认方案", 8000}})
            writeBytes(configDir() + "/" + name + ".json",
                       gb2312()->fromUnicode(QString::fromUtf8(QJsonDocument(configuration(name, amount)).toJson())));
    }

    QStringList iniBackups() const { return QDir(directory).entryList({"xiadan.ini.*.bak"}, QDir::Files); }
    QString schemeName() const
    {
        QString name;
        ThsPresetFiles::currentConfigurationName(ini, name);
        return name;
    }
    // The order client refuses to end.
    void makeOrderClientUnkillable()
    {
        sim.system.processes().setCommandHandler(
            [](const std::u16string&, const std::vector<std::u16string>&) -> std::optional<platform::CommandResult> {
                platform::CommandResult denied;
                denied.started = true;
                denied.exitCode = 1;
                return denied;
            });
    }
};

template <typename T>
T* child(QObject& parent, const char* name)
{
    T* found = parent.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

} // namespace

class TestThsCfgDlg : public QObject
{
    Q_OBJECT

    int m_number = 0;

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Zentrik"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
        ConfigManager::instance();
    }

    void loadShowsWhatIsInForce()
    {
        ThsDesk desk(++m_number);
        ThsCfgDlg dialog;
        auto* combo = child<QComboBox>(dialog, "comboBox");
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QStringLiteral("一档")); // numeral order
        dialog.setSoftwareId(ThsPresetFiles::ThsClassic);
        QVERIFY(dialog.load());
        QCOMPARE(dialog.currentConfigurationName(), QStringLiteral("默认方案"));
        QCOMPARE(combo->currentText(), QStringLiteral("默认方案"));
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit")->text(), dialog.thsDirectory());
        QCOMPARE(child<QComboBox>(dialog, "cmbBuyType")->currentIndex(), 1);
        QCOMPARE(child<QLineEdit>(dialog, "lineEditBuyAmount")->text(), QStringLiteral("10000"));
        QCOMPARE(child<QLabel>(dialog, "labelBuyAmount")->text(), QStringLiteral("定买金额(元)"));
        QCOMPARE(child<QComboBox>(dialog, "cmbSellType")->currentIndex(), 0);
        QCOMPARE(child<QLineEdit>(dialog, "lineEditSellAmount")->text(), QStringLiteral("100"));
        QCOMPARE(child<QLabel>(dialog, "labelSellAmount")->text(), QStringLiteral("定卖数量(股)"));
        child<QComboBox>(dialog, "cmbSellType")->setCurrentIndex(1);
        QCOMPARE(child<QLabel>(dialog, "labelSellAmount")->text(), QStringLiteral("定卖金额(元)"));

        // No THS for that variant, or no xiadan.ini.
        dialog.setSoftwareId(ThsPresetFiles::ThsYuanhang);
        {
            ModalAnswers answers;
            QVERIFY(!dialog.load());
            QCOMPARE(answers.texts(), QStringList{"未发现同花顺安装目录"});
        }
        QFile::remove(desk.ini);
        dialog.setSoftwareId(ThsPresetFiles::ThsClassic);
        ModalAnswers answers;
        QVERIFY(!dialog.load());
        QCOMPARE(answers.texts(), QStringList{"同花顺配置文件不存在，请先登录同花顺交易然后退出"});
    }

    void applyWritesPresetsEverywhereAndBacksUp()
    {
        ThsDesk desk(++m_number);
        desk.ths->startOrderClient();
        ThsCfgDlg dialog;
        dialog.setSoftwareId(ThsPresetFiles::ThsClassic);
        QVERIFY(dialog.load());
        const QByteArray before = readBytes(desk.ini);
        child<QComboBox>(dialog, "comboBox")->setCurrentText("二档");
        child<QComboBox>(dialog, "cmbBuyType")->setCurrentIndex(0);
        child<QLineEdit>(dialog, "lineEditBuyAmount")->setText("500");
        child<QComboBox>(dialog, "cmbSellType")->setCurrentIndex(1);
        child<QLineEdit>(dialog, "lineEditSellAmount")->setText(""); // counts as 0
        QSignalSpy menu(&dialog, &ThsCfgDlg::reflashThsMenu);
        {
            ModalAnswers answers;
            child<QPushButton>(dialog, "confirmButton")->click();
            QCOMPARE(answers.titles(), QStringList{"配置完成"});
        }
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu.first().first().toString(), QStringLiteral("二档"));

        // Every configuration carries the new presets; THS has 二档, its old file one backup.
        for (const QString& name : {"一档", "二档", "默认方案"}) {
            const QJsonObject set = readConfiguration(configDir() + "/" + name + ".json");
            int type = -1, number = -1;
            QVERIFY(ThsPresetFiles::findPresetAmount(set, "定买", type, number));
            QCOMPARE(type, 0);
            QCOMPARE(number, 500);
            QVERIFY(ThsPresetFiles::findPresetAmount(set, "定卖", type, number));
            QCOMPARE(type, 1);
            QCOMPARE(number, 0);
            QVERIFY(ThsPresetFiles::findPresetAmount(set, "融买", type, number));
            QCOMPARE(number, 500);
            QCOMPARE(set["Version"].toInt(), 3);
        }
        QCOMPARE(desk.schemeName(), QStringLiteral("二档"));
        QCOMPARE(QJsonDocument::fromJson(ThsPresetFiles::readFloatScheme(desk.ini).toUtf8()).object(),
                 readConfiguration(configDir() + "/二档.json"));
        QCOMPARE(desk.iniBackups().size(), 1);
        QCOMPARE(readBytes(desk.directory + "/" + desk.iniBackups().first()), before);
        QVERIFY(readBytes(desk.ini).contains("\r\nFLOATPOS=100,100\r\n[WINDOW]\r\n")); // the rest as it was

        // The order client was ended for the rewrite and is started again afterwards.
        QTRY_VERIFY(desk.ths->orderClientPid() != 0);
    }

    void applyRefusals_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("configsTouched"); // the preset update ran
        QTest::newRow("order client cannot be ended") << "unkillable" << "请先退出同花顺网上交易" << false;
        QTest::newRow("empty buy amount") << "emptyBuy" << "定买金额或数量不能为空" << false;
        QTest::newRow("configuration vanished") << "vanished" << "读取[二档.json]配置失败，配置不存在" << true;
        QTest::newRow("xiadan.ini gone") << "noIni" << "同花顺下单配置未初始化,请先登录同花顺交易,然后退出,然后再设置" << true;
    }
    void applyRefusals()
    {
        QFETCH(QString, problem);
        QFETCH(QString, message);
        QFETCH(bool, configsTouched);
        ThsDesk desk(++m_number);
        ThsCfgDlg dialog;
        dialog.setSoftwareId(ThsPresetFiles::ThsClassic);
        QVERIFY(dialog.load());
        child<QComboBox>(dialog, "comboBox")->setCurrentText("二档");
        child<QLineEdit>(dialog, "lineEditBuyAmount")->setText("777");
        if (problem == "unkillable") {
            desk.ths->startOrderClient();
            desk.makeOrderClientUnkillable();
        } else if (problem == "emptyBuy") {
            child<QLineEdit>(dialog, "lineEditBuyAmount")->clear();
        } else if (problem == "vanished") {
            QFile::remove(configDir() + "/二档.json");
        } else if (problem == "noIni") {
            QFile::remove(desk.ini);
        }
        const QByteArray ini = readBytes(desk.ini);
        const QByteArray first = readBytes(configDir() + "/一档.json");
        QSignalSpy menu(&dialog, &ThsCfgDlg::reflashThsMenu);
        {
            ModalAnswers answers;
            child<QPushButton>(dialog, "confirmButton")->click();
            QCOMPARE(answers.texts(), QStringList{message});
        }
        QCOMPARE(readBytes(desk.ini), ini);
        QCOMPARE(readBytes(configDir() + "/一档.json") != first, configsTouched);
        QCOMPARE(desk.iniBackups().size(), problem == "vanished" ? 1 : 0);
        QCOMPARE(menu.count(), 0);
    }

    void deleteConfiguration()
    {
        ThsDesk desk(++m_number);
        ThsCfgDlg dialog;
        dialog.setSoftwareId(ThsPresetFiles::ThsClassic);
        QVERIFY(dialog.load());
        auto* combo = child<QComboBox>(dialog, "comboBox");
        auto* button = child<QPushButton>(dialog, "deleteButton");
        {
            ModalAnswers answers;
            button->click(); // 默认方案 is in xiadan.ini
            QCOMPARE(answers.texts(), QStringList{"当前配置[默认方案]正在使用中,不能删除"});
        }
        combo->setCurrentText("一档");
        {
            ModalAnswers answers({"取消"});
            button->click();
            QCOMPARE(answers.titles(), QStringList{"确认删除"});
        }
        QVERIFY(QFile::exists(configDir() + "/一档.json"));
        const QByteArray content = readBytes(configDir() + "/一档.json");
        QSignalSpy menu(&dialog, &ThsCfgDlg::reflashThsMenu);
        {
            ModalAnswers answers({"确定"});
            button->click();
            QCOMPARE(answers.titles(), (QStringList{"确认删除", "删除完成"}));
        }
        QVERIFY(!QFile::exists(configDir() + "/一档.json"));
        const QStringList backups = QDir(configDir()).entryList({"一档.json.*.bak"}, QDir::Files);
        QCOMPARE(backups.size(), 1);
        QCOMPARE(readBytes(configDir() + "/" + backups.first()), content);
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu.first().first().toString(), QString());
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("二档"));
    }

    void folderChooserAddsTheSlash()
    {
        ThsDesk desk(++m_number);
        ThsCfgDlg dialog;
        ModalAnswers answers({"dir:" + desk.directory});
        dialog.on_lineEdit_clicked();
        QCOMPARE(answers.titles(), QStringList{"选择同花顺文件夹"});
        QCOMPARE(dialog.thsDirectory(), desk.directory + "/");
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit")->text(), desk.directory + "/");
    }

    void looksRight()
    {
        // The dialog and the menu as the user sees them, saved for a look (test home, "shots").
        ThsDesk desk(++m_number);
        ThsCfgDlg dialog;
        dialog.showFor(ThsPresetFiles::ThsClassic);
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QDir().mkpath(zktest::testHome() + "/shots");
        QVERIFY(dialog.grab().save(zktest::testHome() + "/shots/thscfgdlg.png"));
        QVERIFY(dialog.width() <= 1024 && dialog.height() <= 768);
        QWidget window;
        ThsMenu thsMenu(&window);
        QMenu menu;
        thsMenu.rebuild(&menu, "一档");
        menu.popup(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QVERIFY(menu.grab().save(zktest::testHome() + "/shots/thsmenu.png"));
    }

    // ---------------------------------------------------------------- the main window's THS menu

    void menuRebuild()
    {
        ThsDesk desk(++m_number);
        QWidget window;
        ThsMenu thsMenu(&window);
        QMenu menu;
        QSignalSpy current(&thsMenu, &ThsMenu::currentConfigurationChanged);
        ThsMenu::FixedActions fixed = thsMenu.rebuild(&menu, "二档");
        QStringList texts;
        for (QAction* action : menu.actions())
            texts.append(action->isSeparator() ? "|" : action->text());
        QCOMPARE(texts, (QStringList{"一键全撤", "|", "委托设置...", "|", "一档", "二档", "默认方案"}));
        QCOMPARE(fixed.cancelAll->data().toInt(), 56);
        QVERIFY(fixed.cancelAll->isCheckable());
        QCOMPARE(fixed.thsConfig->text(), QStringLiteral("委托设置..."));
        QCOMPARE(current.count(), 1);
        QStringList checked;
        for (QAction* action : menu.actions()) {
            if (action->isChecked())
                checked.append(action->data().toString());
        }
        QCOMPARE(checked, QStringList{"二档"});

        // An empty name keeps the current one.
        thsMenu.rebuild(&menu);
        QCOMPARE(thsMenu.currentConfigurationName(), QStringLiteral("二档"));
        QCOMPARE(current.count(), 1);
        QCOMPARE(menu.actions().size(), 7);
    }

    void menuApplyBacksUpAndSwitches()
    {
        ThsDesk desk(++m_number);
        QWidget window;
        ThsMenu thsMenu(&window);
        QStringList shown;
        thsMenu.showMessage = [&](bool isError, const QString& title, const QString& text) {
            shown.append((isError ? "E " : "I ") + title + " " + text);
        };
        QMenu menu;
        thsMenu.rebuild(&menu, "默认方案");
        const QByteArray before = readBytes(desk.ini);
        const QByteArray second = readBytes(configDir() + "/二档.json");

        QAction* entry = nullptr;
        for (QAction* action : menu.actions()) {
            if (action->data().toString() == "二档")
                entry = action;
        }
        QVERIFY(entry);
        entry->trigger();
        QCOMPARE(shown, QStringList{"I 配置完成 配置已成功更新，请重新登录交易"});
        QCOMPARE(desk.schemeName(), QStringLiteral("二档"));
        QCOMPARE(thsMenu.currentConfigurationName(), QStringLiteral("二档"));
        QVERIFY(entry->isChecked());
        QCOMPARE(desk.iniBackups().size(), 1);
        QCOMPARE(readBytes(desk.directory + "/" + desk.iniBackups().first()), before);
        QCOMPARE(readBytes(configDir() + "/二档.json"), second); // presets untouched
        QTRY_VERIFY(desk.ths->orderClientPid() != 0);

        // A refused apply leaves xiadan.ini and the check mark where they were.
        desk.makeOrderClientUnkillable();
        shown.clear();
        const QByteArray applied = readBytes(desk.ini);
        QVERIFY(!thsMenu.applyConfiguration("一档", ThsPresetFiles::ThsClassic));
        QCOMPARE(shown, QStringList{"E 错误 请先退出同花顺网上交易"});
        QCOMPARE(readBytes(desk.ini), applied);
        QVERIFY(entry->isChecked());

        desk.sim.system.processes().setCommandHandler({});
        shown.clear();
        QVERIFY(!thsMenu.applyConfiguration("三档", ThsPresetFiles::ThsClassic));
        QCOMPARE(shown, QStringList{"E 错误 读取[三档]配置失败，配置不存在"});
        QCOMPARE(readBytes(desk.ini), applied);
        QVERIFY(!thsMenu.applyConfiguration("一档", ThsPresetFiles::ThsYuanhang));
        QCOMPARE(readBytes(desk.ini), applied);
    }
};

ZK_TEST_MAIN(TestThsCfgDlg)
#include "tst_thscfgdlg.moc"
