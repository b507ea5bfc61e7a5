// The clock's menus, tray icon and order-menu hot key on a simulated keyboard: the menu tree,
// keyboard entries whose marks wait for the keyboard's answer (frames compared on the wire),
// trading restrictions and amount presets written to the settings, the TDX profile section, the
// web pages and the confirmation boxes; and the reporting of outcomes: what is spoken for the
// keyboard's reports and the calibration prompts of the order dialog worker.

#include "clock/Widget.h"
#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardlink/protocol/DataParser.h"
#include "platform/api/Platform.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "trade/BuyAmountConfig.h"
#include "trade/EditBoxChangeWorker.h"

#include "ClockFakes.h"
#include "ZkTest.h"

#include <QAction>
#include <QActionGroup>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include <memory>
#include <thread>

namespace {

const std::string kSerial = "ZK000001";

using Frame = std::vector<std::uint8_t>;

// A one-byte host frame: start, command, length 1, payload, checksum (the payload), end.
Frame frame(std::uint8_t command, std::uint8_t value)
{
    return {0x5A, command, 0x01, value, value, 0xCA};
}

struct ShownBox
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QStringList buttons;
    QString defaultButton;
};

// The clock with its boxes answered and recorded, the TDX configuration dialog stood in for and
// what it says recorded.
class MenuWidget : public Widget
{
public:
    QList<ShownBox> boxes;
    QList<int> answers; // one per box; Ok when none is left
    QList<bool> tdxDialogs; // calibration tab asked for
    bool acceptTdxDialog = false;
    QStringList spoken;

protected:
    int runMessageBox(QMessageBox& box) override
    {
        ShownBox shown{box.icon(), box.windowTitle(), box.text(), {}, {}};
        for (QAbstractButton* b : box.buttons())
            shown.buttons << b->text();
        shown.buttons.sort();
        if (box.defaultButton())
            shown.defaultButton = box.defaultButton()->text();
        boxes.append(shown);
        return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
    }
    bool runTdxConfigDialog(bool calibrationTab) override
    {
        tdxDialogs.append(calibrationTab);
        return acceptTdxDialog;
    }
    void speak(const QString& text) override { spoken.append(text); }
};

// Opened web pages.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

QStringList entryTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

QAction* entry(const QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

QMenu* submenu(const QMenu* menu, const QString& title)
{
    QAction* a = entry(menu, title);
    return a ? a->menu() : nullptr;
}

QStringList checkedTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* a : menu->actions()) {
        if (a->isChecked())
            texts << a->text();
    }
    return texts;
}

} // namespace

class TestMenus : public QObject
{
    Q_OBJECT

private:
    HostDesktop m_desktop;
    RecordingHotkeys m_hotkeys;
    platform::ManualClock m_clock;
    std::unique_ptr<sim::KeyboardSimulator> m_keyboards;
    std::unique_ptr<MenuWidget> m_widget;

    ConfigManager* config() { return ConfigManager::instance(); }
    // The clock, connected to its keyboard and with the keyboard's first answer handled.
    MenuWidget* create()
    {
        m_widget = std::make_unique<MenuWidget>();
        // A clock that never got there fails at its test's first look at a mark or a frame.
        (void)QTest::qWaitFor(
            [this] {
                return m_widget->connectionManager()->keyboardCount() == 1 &&
                       entry(menu({"交易设置"}), QStringLiteral("通达信交易"))->isChecked();
            },
            5000);
        m_keyboards->clearRecords(kSerial);
        return m_widget.get();
    }
    QMenu* menu(const QStringList& path)
    {
        QMenu* m = m_widget->mainMenu();
        for (const QString& title : path)
            m = m ? submenu(m, title) : nullptr;
        return m;
    }
    Frame onlyFrameReceived()
    {
        const auto frames = m_keyboards->receivedFrameBytes(kSerial);
        return frames.size() == 1 ? frames.front() : Frame{};
    }
    void pressOrderMenuHotkey()
    {
        m_hotkeys.press(platform::modifier::Control | platform::modifier::Shift, platform::vk::Space);
    }
    void setTradingMode(bool on, int soft)
    {
        m_keyboards->changeState(kSerial, [on, soft](sim::KeyboardState& s) {
            s.workState = on;
            s.soft = std::uint8_t(soft);
        });
        m_widget->connectionManager()->reloadState();
        QTRY_COMPARE(m_widget->connectionManager()->getTradeState(), on);
        QTRY_COMPARE(m_widget->connectionManager()->activeSoftType(), soft);
    }
    QStringList profileEntries()
    {
        QStringList names;
        for (const QAction* a : m_widget->tdxOrderMenu()->actions()) {
            if (a->data().toString().startsWith(QLatin1String("profile:")))
                names << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        return names;
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
    }

    void init()
    {
        m_keyboards = startClockPlatform(m_desktop, m_hotkeys, m_clock, kSerial);
        BuyAmountConfig::instance().resetToDefaults();
        BuyAmountConfig::instance().setCurrentIndex(-1);
        m_clock.setNow(QDateTime(QDate(2024, 6, 3), QTime(10, 0)).toMSecsSinceEpoch());
    }

    void cleanup()
    {
        m_widget.reset();
        ConfigManager::destroyInstance();
        platform::install(platform::Services());
        m_keyboards.reset();
    }

    void menuTree()
    {
        MenuWidget* w = create();
        QCOMPARE(entryTexts(w->mainMenu()),
                 (QStringList{"外观设置", "播放语音", "股市闹钟", "护眼模式", "-", "大盘云图", "交易设置", "价格设置",
                              "速度设置", "键盘设置", "软件更新", "在线客服", "关于", "-", "退出"}));
        QCOMPARE(entryTexts(menu({"外观设置"})),
                 (QStringList{"置顶显示", "调整外观", "默认外观", "固定位置", "开机启动", "保存配置"}));
        QCOMPARE(entryTexts(menu({"交易设置"})),
                 (QStringList{"自动切换", "开启防跳票(通达信)", "同花顺交易", "通达信交易", "软件下载"}));
        QCOMPARE(entryTexts(menu({"交易设置", "软件下载"})),
                 (QStringList{"同花顺软件下载", "通达信软件下载", "灵拓软件下载"}));
        QCOMPARE(entryTexts(menu({"价格设置"})), (QStringList{"同花顺委托", "通达信委托"}));
        QCOMPARE(entryTexts(menu({"速度设置"})), (QStringList{"极速", "高速", "特快", "快速", "普速", "低速"}));
        QCOMPARE(entryTexts(menu({"键盘设置"})),
                 (QStringList{"查询键隐藏切换", "自动获得焦点", "启动时开启交易模式", "启动时开启NumLock键",
                              "买入需要确认", "卖出需要确认", "交易耗时统计", "高级设置...", "保存键盘设置",
                              "恢复出厂设置", "键盘重启动"}));
        QCOMPARE(menu({"价格设置", "同花顺委托"}), w->thsOrderMenu());
        QCOMPARE(entryTexts(w->thsOrderMenu()),
                 (QStringList{"一键全撤", "-", "买入确认", "卖出确认", "-", "委托设置...", "-"}));
        QCOMPARE(menu({"价格设置", "通达信委托"}), w->tdxOrderMenu());
        QCOMPARE(entryTexts(w->tdxOrderMenu()),
                 (QStringList{"买入限制设置...", "-", "最高买入价30元", "最低买入价0元", "-", "关闭限额限制", "-",
                              "最大1000元", "最大5000元", "最大8000元", "最大1万元", "最大2万元", "最大3万元",
                              "最大5万元", "-", "不买ST股", "只买沪深主板股票", "只买可转债", "-", "一键全撤", "-",
                              "买入确认", "卖出确认", "-", "融资>市价", "融资>限价", "-", "市价", "限价", "-",
                              "一档价", "二档价", "三档价", "四档价", "五档价", "-", "挂一价", "挂二价", "挂三价",
                              "挂四价", "挂五价"}));

        // Every icon a menu names is a picture that loads (a misspelt name gives none).
        QList<QMenu*> menus = w->findChildren<QMenu*>();
        for (QMenu* m : menus) {
            for (QAction* a : m->actions()) {
                if (!a->icon().isNull())
                    QVERIFY2(!a->icon().pixmap(16, 16).isNull(), qPrintable(a->text()));
            }
            if (!m->icon().isNull())
                QVERIFY2(!m->icon().pixmap(16, 16).isNull(), qPrintable(m->title()));
        }
        // The checked indicator of the style sheet.
        QVERIFY(!QPixmap(QStringLiteral(":/img/reddot.png")).isNull());
    }

    void trayIcon()
    {
        MenuWidget* w = create();
        QSystemTrayIcon* tray = w->trayIcon();
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QStringLiteral("灵拓键盘专业版"));
        QCOMPARE(tray->contextMenu(), w->mainMenu());
        QVERIFY(!tray->icon().pixmap(16, 16).isNull());
        // Xvfb has no system tray: the clock goes on without showing it.
        QCOMPARE(tray->isVisible(), QSystemTrayIcon::isSystemTrayAvailable());
    }

    void iconsFollowTheSwitches()
    {
        config()->setTtsEnabled(false);
        MenuWidget* w = create();
        QAction* speech = entry(w->mainMenu(), QStringLiteral("播放语音"));
        const QImage off = speech->icon().pixmap(16, 16).toImage();
        QCOMPARE(off, QIcon(QStringLiteral(":/img/voiceoff.png")).pixmap(16, 16).toImage());
        speech->trigger();
        QCOMPARE(speech->icon().pixmap(16, 16).toImage(),
                 QIcon(QStringLiteral(":/img/voiceon.png")).pixmap(16, 16).toImage());
        QAction* fixed = entry(menu({"外观设置"}), QStringLiteral("固定位置"));
        fixed->trigger();
        QCOMPARE(fixed->icon().pixmap(16, 16).toImage(),
                 QIcon(QStringLiteral(":/img/nail_fixed.png")).pixmap(16, 16).toImage());
        // 固定位置 saves at once, with the other switches as the window has them.
        QSettings saved(config()->iniFilePath(), QSettings::IniFormat);
        QCOMPARE(saved.value("Window/FixedPosition").toString(), QStringLiteral("true"));
        QCOMPARE(saved.value("Features/TTS").toString(), QStringLiteral("true"));
    }

    // The program's own switches take effect at once and reach the file with the next save-all.
    void switchEntries()
    {
        MenuWidget* w = create();
        Core::ConnectionManager* manager = w->connectionManager();
        QAction* autoSwitch = entry(menu({"交易设置"}), QStringLiteral("自动切换"));
        QAction* stockCheck = entry(menu({"交易设置"}), QStringLiteral("开启防跳票(通达信)"));
        QVERIFY(autoSwitch->isChecked() && manager->autoSwitchSoft());
        QVERIFY(!stockCheck->isChecked() && !manager->stockCheck());
        autoSwitch->trigger();
        stockCheck->trigger();
        entry(w->mainMenu(), QStringLiteral("股市闹钟"))->trigger();
        QVERIFY(!autoSwitch->isChecked() && !manager->autoSwitchSoft());
        QVERIFY(stockCheck->isChecked() && manager->stockCheck());
        QVERIFY(config()->autoSwitch() && !config()->stockCheck() && config()->alarmEnabled());

        entry(menu({"外观设置"}), QStringLiteral("保存配置"))->trigger();
        QSettings saved(config()->iniFilePath(), QSettings::IniFormat);
        QCOMPARE(saved.value("Features/AutoSwitch").toString(), QStringLiteral("false"));
        QCOMPARE(saved.value("Features/StockCheck").toString(), QStringLiteral("true"));
        QCOMPARE(saved.value("Features/Alarm").toString(), QStringLiteral("false"));
    }

    // Each keyboard switch: the click sends the parameter, the mark stays as it was until the
    // keyboard answers with the new value; a second click switches it off the same way.
    void keyboardParameterEntries_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("soft");
        QTest::addColumn<int>("command");
        QTest::newRow("查询键隐藏切换") << QStringList{"键盘设置"} << "查询键隐藏切换" << 2 << 0x39;
        QTest::newRow("自动获得焦点") << QStringList{"键盘设置"} << "自动获得焦点" << 2 << 0x3A;
        QTest::newRow("启动时开启交易模式") << QStringList{"键盘设置"} << "启动时开启交易模式" << 2 << 0x36;
        QTest::newRow("买入需要确认") << QStringList{"键盘设置"} << "买入需要确认" << 2 << 0x2B;
        QTest::newRow("卖出需要确认") << QStringList{"键盘设置"} << "卖出需要确认" << 2 << 0x2E;
        QTest::newRow("交易耗时统计") << QStringList{"键盘设置"} << "交易耗时统计" << 2 << 0x3B;
        QTest::newRow("TDX 一键全撤") << QStringList{"价格设置", "通达信委托"} << "一键全撤" << 2 << 0x38;
        QTest::newRow("TDX 买入确认") << QStringList{"价格设置", "通达信委托"} << "买入确认" << 2 << 0x2B;
        QTest::newRow("THS 卖出确认") << QStringList{"价格设置", "同花顺委托"} << "卖出确认" << 1 << 0x2E;
        QTest::newRow("THS 一键全撤") << QStringList{"价格设置", "同花顺委托"} << "一键全撤" << 1 << 0x38;
    }
    void keyboardParameterEntries()
    {
        QFETCH(QStringList, path);
        QFETCH(QString, text);
        QFETCH(int, soft);
        QFETCH(int, command);
        create();
        if (soft != 2) {
            setTradingMode(false, soft);
            m_keyboards->clearRecords(kSerial);
        }
        QAction* action = entry(menu(path), text);
        QVERIFY(action && action->isCheckable() && !action->isChecked());

        action->trigger();
        QVERIFY(!action->isChecked());
        QTRY_VERIFY(action->isChecked());
        QCOMPARE(onlyFrameReceived(), frame(std::uint8_t(command), 1));
        // The answer reached the keyboard menu as well (which has no 一键全撤).
        QAction* keyboardEntry = nullptr;
        for (QAction* a : menu({"键盘设置"})->actions()) {
            if (a->isCheckable() && a->data() == action->data())
                keyboardEntry = a;
        }
        QVERIFY(!keyboardEntry || keyboardEntry->isChecked());

        m_keyboards->clearRecords(kSerial);
        action->trigger();
        QVERIFY(action->isChecked());
        QTRY_VERIFY(!action->isChecked());
        QTRY_COMPARE(onlyFrameReceived(), frame(std::uint8_t(command), 0));
        QVERIFY(!keyboardEntry || !keyboardEntry->isChecked());
    }

    // Without a keyboard nothing is sent, and no answer will come: the marks stay as the
    // keyboard last reported them.
    void marksStayWhenNoKeyboardCanBeAsked()
    {
        MenuWidget* w = create();
        QAction* numLock = entry(menu({"键盘设置"}), QStringLiteral("启动时开启NumLock键"));
        QAction* buyConfirm = entry(menu({"键盘设置"}), QStringLiteral("买入需要确认"));
        QAction* fast = entry(menu({"速度设置"}), QStringLiteral("高速"));
        QVERIFY(numLock->isChecked() && !buyConfirm->isChecked() && fast->isChecked());
        m_keyboards->unplug(kSerial);
        QTRY_VERIFY(!w->connectionManager()->activeConnection());

        numLock->trigger();
        buyConfirm->trigger();
        entry(menu({"速度设置"}), QStringLiteral("极速"))->trigger();
        QVERIFY(numLock->isChecked());
        QVERIFY(!buyConfirm->isChecked());
        QCOMPARE(checkedTexts(menu({"速度设置"})), QStringList{"高速"});
        QVERIFY(m_keyboards->receivedFrameBytes(kSerial).empty());
    }

    // Software, speed and price type: the mark moves when the keyboard reports the new value.
    void groupEntries_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("极速") << QStringList{"速度设置"} << "极速"
                            << "高速" << QByteArray("\x5A\x33\x01\x01\x01\xCA", 6);
        QTest::newRow("同花顺交易") << QStringList{"交易设置"} << "同花顺交易"
                                 << "通达信交易" << QByteArray("\x5A\x31\x01\x01\x01\xCA", 6);
        QTest::newRow("三档价") << QStringList{"价格设置", "通达信委托"} << "三档价"
                             << "限价" << QByteArray("\x5A\x32\x01\x03\x03\xCA", 6);
        QTest::newRow("融资>市价") << QStringList{"价格设置", "通达信委托"} << "融资>市价"
                               << "限价" << QByteArray("\x5A\x32\x01\x61\x61\xCA", 6);
    }
    void groupEntries()
    {
        QFETCH(QStringList, path);
        QFETCH(QString, text);
        QFETCH(QString, before);
        QFETCH(QByteArray, sent);
        MenuWidget* w = create();
        QAction* action = entry(menu(path), text);
        QAction* current = entry(menu(path), before);
        QVERIFY(current->isChecked());

        action->trigger();
        QVERIFY(!action->isChecked());
        QTRY_VERIFY(action->isChecked());
        QVERIFY(!current->isChecked());
        const Frame expected(sent.begin(), sent.end());
        const auto frames = m_keyboards->receivedFrameBytes(kSerial);
        QVERIFY(!frames.empty());
        for (const Frame& f : frames) // speed and price type go to every keyboard, one of them twice
            QCOMPARE(f, expected);
        if (path.contains(QStringLiteral("通达信委托")))
            QCOMPARE(w->currentPriceType(), int(expected[3]));
    }

    void restrictionSwitchesAreWrittenAndReloaded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::newRow("最高买入价") << "最高买入价30元"
                               << "Software/TdxBuyMaxPriceLimit";
        QTest::newRow("最低买入价") << "最低买入价0元"
                               << "Software/TdxBuyMinPriceLimit";
        QTest::newRow("不买ST股") << "不买ST股"
                              << "Software/TdxNotST";
        QTest::newRow("只买沪深主板股票") << "只买沪深主板股票"
                                  << "Software/TdxOnlyMain";
        QTest::newRow("只买可转债") << "只买可转债"
                               << "Software/TdxOnlyZz";
    }
    void restrictionSwitchesAreWrittenAndReloaded()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        MenuWidget* w = create();
        QSignalSpy reloads(w->connectionManager(), &Core::ConnectionManager::reloadCfg);
        QAction* action = entry(w->tdxOrderMenu(), text);
        QVERIFY(!action->isChecked());
        action->trigger();
        QCOMPARE(reloads.size(), 1);
        QCOMPARE(QSettings(config()->iniFilePath(), QSettings::IniFormat).value(key).toString(),
                 QStringLiteral("true"));
        action->trigger();
        QCOMPARE(reloads.size(), 2);
        QCOMPARE(QSettings(config()->iniFilePath(), QSettings::IniFormat).value(key).toString(),
                 QStringLiteral("false"));
        QVERIFY(m_keyboards->receivedFrameBytes(kSerial).empty()); // a program setting only
    }

    // Which amount entry is checked when the menu is built.
    void buyAmountMarks_data()
    {
        QTest::addColumn<bool>("limitEnabled");
        QTest::addColumn<int>("currentIndex");
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<int>("maxAmount");
        QTest::newRow("a preset in force") << true << 2 << QStringList{"最大1万元"} << 10000;
        QTest::newRow("the unnamed preset") << true << 0 << QStringList{"最大3000元"} << 3000;
        QTest::newRow("limit off") << false << 2 << QStringList{"关闭限额限制"} << 7777;
        QTest::newRow("no preset chosen") << true << -1 << QStringList{"关闭限额限制"} << 7777;
        QTest::newRow("a preset no longer offered") << true << 1 << QStringList{} << 7777;
    }
    void buyAmountMarks()
    {
        QFETCH(bool, limitEnabled);
        QFETCH(int, currentIndex);
        QFETCH(QStringList, checked);
        QFETCH(int, maxAmount);
        BuyAmountConfig& presets = BuyAmountConfig::instance();
        presets.setLimits({{true, 3000, QString()}, {true, 5000, QStringLiteral("最大5000元")},
                           {true, 10000, QStringLiteral("最大1万元")}});
        presets.setCurrentIndex(currentIndex);
        presets.setLimits({{true, 3000, QString()}, {false, 5000, QStringLiteral("最大5000元")},
                           {true, 10000, QStringLiteral("最大1万元")}});
        config()->setTdxBuyAmountLimitEnabled(limitEnabled);
        config()->setTdxBuyMaxAmount(7777);
        MenuWidget* w = create();
        QCOMPARE(entryTexts(w->tdxOrderMenu()).mid(5, 5),
                 (QStringList{"关闭限额限制", "-", "最大3000元", "最大1万元", "-"}));
        QCOMPARE(checkedTexts(w->tdxOrderMenu()).filter(QStringLiteral("限额")) +
                     checkedTexts(w->tdxOrderMenu()).filter(QStringLiteral("最大")),
                 checked);
        QCOMPARE(config()->tdxBuyMaxAmount(), maxAmount);
    }

    void quickAmountChoice()
    {
        MenuWidget* w = create();
        QSignalSpy reloads(w->connectionManager(), &Core::ConnectionManager::reloadCfg);
        QAction* tenThousand = entry(w->tdxOrderMenu(), QStringLiteral("最大1万元"));
        tenThousand->trigger();
        QVERIFY(tenThousand->isChecked());
        QVERIFY(config()->tdxBuyAmountLimitEnabled());
        QCOMPARE(config()->tdxBuyMaxAmount(), 10000);
        BuyAmountConfig onDisk(BuyAmountConfig::instance().filePath());
        QVERIFY(onDisk.load());
        QCOMPARE(onDisk.currentIndex(), 3);
        QCOMPARE(reloads.size(), 1);

        QAction* noLimit = entry(w->tdxOrderMenu(), QStringLiteral("关闭限额限制"));
        noLimit->trigger();
        QVERIFY(noLimit->isChecked() && !tenThousand->isChecked());
        QVERIFY(!config()->tdxBuyAmountLimitEnabled());
        QCOMPARE(config()->tdxBuyMaxAmount(), 10000);
        QVERIFY(onDisk.load());
        QCOMPARE(onDisk.currentIndex(), -1);
        QCOMPARE(reloads.size(), 2);
        QSettings saved(config()->iniFilePath(), QSettings::IniFormat);
        QCOMPARE(saved.value("Software/TdxBuyAmountLimt").toString(), QStringLiteral("false"));
    }

    void orderMenuHotkey()
    {
        QVERIFY(config()->saveProfile(QStringLiteral("华泰专业版"), QStringLiteral("C:/htzq")));
        config()->setCurrentProfile(QStringLiteral("华泰专业版"));
        MenuWidget* w = create();
        QCOMPARE(m_hotkeys.registered.size(), size_t(3));

        // Out of trading mode: nothing.
        pressOrderMenuHotkey();
        QVERIFY(!w->tdxOrderMenu()->isVisible() && !w->thsOrderMenu()->isVisible());

        setTradingMode(true, 2);
        const int fixedEntries = w->tdxOrderMenu()->actions().size();
        pressOrderMenuHotkey();
        QTRY_VERIFY(w->tdxOrderMenu()->isVisible());
        const QStringList expected{"-", "金融终端", "华泰专业版"};
        QCOMPARE(profileEntries(), expected);
        QCOMPARE(checkedTexts(w->tdxOrderMenu()).filter(QStringLiteral("华泰")), QStringList{"华泰专业版"});
        w->tdxOrderMenu()->hide();
        // Again, after a profile was added: the section is rebuilt, not repeated.
        QVERIFY(config()->saveProfile(QStringLiteral("国信"), QStringLiteral("C:/gx")));
        pressOrderMenuHotkey();
        QTRY_VERIFY(w->tdxOrderMenu()->isVisible());
        QCOMPARE(profileEntries(), (QStringList{"-", "金融终端", "华泰专业版", "国信"}));
        QCOMPARE(w->tdxOrderMenu()->actions().size(), fixedEntries + 4);
        QCOMPARE(entryTexts(w->tdxOrderMenu()).at(fixedEntries - 1), QStringLiteral("挂五价"));
        w->tdxOrderMenu()->hide();

        setTradingMode(true, 1);
        pressOrderMenuHotkey();
        QTRY_VERIFY(w->thsOrderMenu()->isVisible());
        QVERIFY(!w->tdxOrderMenu()->isVisible());
        w->thsOrderMenu()->hide();

        setTradingMode(true, 3); // a software the program does not know
        pressOrderMenuHotkey();
        QTest::qWait(50);
        QVERIFY(!w->tdxOrderMenu()->isVisible() && !w->thsOrderMenu()->isVisible());
    }

    void choosingAProfile()
    {
        QVERIFY(config()->saveProfile(QStringLiteral("华泰专业版"), QStringLiteral("C:/htzq")));
        QVERIFY(config()->saveProfile(QStringLiteral("已删除"), QStringLiteral("C:/gone")));
        config()->setCurrentProfile(BuiltInProfile());
        MenuWidget* w = create();
        setTradingMode(true, 2);
        pressOrderMenuHotkey();
        QTRY_VERIFY(w->tdxOrderMenu()->isVisible());
        w->tdxOrderMenu()->hide();
        QSignalSpy reloads(w->connectionManager(), &Core::ConnectionManager::reloadCfg);

        entry(w->tdxOrderMenu(), QStringLiteral("华泰专业版"))->trigger();
        QCOMPARE(config()->currentProfileName(), QStringLiteral("华泰专业版"));
        QCOMPARE(reloads.size(), 1);
        QVERIFY(w->boxes.isEmpty());

        QVERIFY(QFile::remove(config()->profileFilePath(QStringLiteral("已删除"))));
        entry(w->tdxOrderMenu(), QStringLiteral("已删除"))->trigger();
        QCOMPARE(config()->currentProfileName(), QStringLiteral("华泰专业版"));
        QCOMPARE(reloads.size(), 1);
        QCOMPARE(w->boxes.size(), 1);
        QCOMPARE(w->boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(w->boxes[0].title, QStringLiteral("切换失败"));
        QCOMPARE(w->boxes[0].text, QStringLiteral("无法加载配置方案：已删除"));
    }

    void factoryResetAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("reset");
        QTest::newRow("取消") << int(QMessageBox::No) << false;
        QTest::newRow("确定") << int(QMessageBox::Yes) << true;
    }
    void factoryResetAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(bool, reset);
        MenuWidget* w = create();
        w->answers = {answer};
        entry(menu({"键盘设置"}), QStringLiteral("恢复出厂设置"))->trigger();
        QCOMPARE(w->boxes.size(), 1);
        QCOMPARE(w->boxes[0].title, QStringLiteral("确认"));
        QVERIFY(w->boxes[0].text.startsWith(QStringLiteral("你确定要恢复到出厂设置吗？")));
        QCOMPARE(w->boxes[0].buttons, (QStringList{"取消", "确定"}));
        QCOMPARE(w->boxes[0].defaultButton, QStringLiteral("取消"));
        // A restart behind it: once that has arrived, whatever the box sent has too.
        entry(menu({"键盘设置"}), QStringLiteral("键盘重启动"))->trigger();
        std::vector<Frame> expected{{0x5A, 0xB0, 0x00, 0x00, 0xCA}};
        if (reset)
            expected.insert(expected.begin(), {0x5A, 0x3E, 0x00, 0x00, 0xCA});
        QTRY_COMPARE(m_keyboards->receivedFrameBytes(kSerial).size(), expected.size());
        QCOMPARE(m_keyboards->receivedFrameBytes(kSerial), expected);
    }

    void keyboardCommands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("键盘重启动") << "键盘重启动" << QByteArray("\x5A\xB0\x00\x00\xCA", 5);
        QTest::newRow("保存键盘设置") << "保存键盘设置" << QByteArray("\x5A\x3F\x00\x00\xCA", 5);
    }
    void keyboardCommands()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, sent);
        create();
        entry(menu({"键盘设置"}), text)->trigger();
        QTRY_COMPARE(m_keyboards->receivedFrameBytes(kSerial).size(), size_t(1));
        QCOMPARE(m_keyboards->receivedFrameBytes(kSerial).front(), Frame(sent.begin(), sent.end()));
    }

    void webPages()
    {
        MenuWidget* w = create();
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
        entry(w->mainMenu(), QStringLiteral("大盘云图"))->trigger();
        for (const char* text : {"同花顺软件下载", "通达信软件下载", "灵拓软件下载"})
            entry(menu({"交易设置", "软件下载"}), QString::fromUtf8(text))->trigger();
        entry(w->mainMenu(), QStringLiteral("软件更新"))->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(recorder.opened.size(), 5);
        for (const QUrl& url : recorder.opened)
            QVERIFY2(url.isValid() && !url.host().isEmpty(), qPrintable(url.toString()));
        QCOMPARE(recorder.opened[2].path(), QStringLiteral("/soft.html"));
        QCOMPARE(recorder.opened[3].path(), QStringLiteral("/"));
        QCOMPARE(recorder.opened[4].fragment(), QStringLiteral("download"));
        QCOMPARE(recorder.opened[4].host(), recorder.opened[3].host());
    }

    // ---------------------------------------------------------------- outcome reporting

    // The keyboard's own reports, as it sends them, and what the clock says about them.
    void keyboardReportsAreSpoken_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("cancelled, not main board") << 2 << 11 << "你选的不是主板,交易取消";
        QTest::newRow("cancelled without a reason") << 2 << 0 << "交易取消";
        QTest::newRow("notice without a reason") << 3 << 0 << QString();
        QTest::newRow("key disabled") << 6 << 0 << "按键已禁用";
        QTest::newRow("confirm or cancel") << 12 << 0 << "按任意买卖键确认,按撤单键取消";
    }
    void keyboardReportsAreSpoken()
    {
        QFETCH(int, status);
        QFETCH(int, reason);
        QFETCH(QString, spoken);
        MenuWidget* w = create();
        m_keyboards->notice(kSerial, std::uint8_t(status), std::uint8_t(reason), 0xA1);
        m_keyboards->notice(kSerial, 9, 0, 0xA1); // a marker behind it
        const QStringList expected = spoken.isEmpty() ? QStringList{"当前状态下不支持该操作"}
                                                      : QStringList{spoken, "当前状态下不支持该操作"};
        QTRY_COMPARE(w->spoken, expected);
    }

    void keyboardEventsAreSpoken()
    {
        MenuWidget* w = create();
        m_keyboards->keyEvent(kSerial, 0xC0, 13, 5, 356); // trading mode off: silent
        setTradingMode(true, 2);
        m_keyboards->keyEvent(kSerial, 0xC0, 13, 5, 356);
        m_keyboards->keyEvent(kSerial, 0xCD);
        QTRY_COMPARE(w->spoken, (QStringList{"1/3买,请确认耗时356毫秒", "已确认"}));

        // A confirmation switch tells the new mode once the keyboard has it.
        w->spoken.clear();
        entry(menu({"键盘设置"}), QStringLiteral("卖出需要确认"))->trigger();
        QTRY_COMPARE(w->spoken, QStringList{"卖出需要确认"});
        entry(menu({"键盘设置"}), QStringLiteral("买入需要确认"))->trigger();
        QTRY_COMPARE(w->spoken, (QStringList{"卖出需要确认", "买入和卖出交易都需要确认"}));
    }

    void confirmTip()
    {
        MenuWidget* w = create();
        DataParser neither;
        w->trade_confirm_tip(&neither, false);
        QVERIFY(w->spoken.isEmpty());
        w->trade_confirm_tip(&neither, true);
        QCOMPARE(w->spoken, QStringList{"买卖都不需要确认"});
    }

    void promptTexts()
    {
        QCOMPARE(Widget::configPromptText(QStringLiteral("股票代码"), QStringLiteral("闪电买入")),
                 QStringLiteral("无法读取通达信\"闪电买入\"对话框的股票代码。\n\n这可能是因为当前软件的配置不正确。"
                                "\n\n是否现在打开测试页面重新配置？"));
        QCOMPARE(Widget::configPromptText(QStringLiteral("最大可买数量"), QString()),
                 QStringLiteral("无法读取通达信下单对话框的最大可买数量。\n\n这可能是因为当前软件的配置不正确。"
                                "\n\n是否现在打开测试页面重新配置？"));
        QCOMPARE(Widget::switchProfilePromptText(QStringLiteral("华泰"), QStringLiteral("股票价格"), QString()),
                 QStringLiteral("无法读取通达信下单对话框的股票价格。\n\n检测到您已有配置方案\"华泰\"，\n"
                                "是否切换到该配置方案？\n\n（如果选择\"否\"，将打开测试页面重新配置）"));
    }

    // The worker asks from its own thread; the box comes up on the clock's.
    void configPrompt_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QList<bool>>("testDialogs");
        QTest::newRow("是") << int(QMessageBox::Yes) << QList<bool>{true};
        QTest::newRow("否") << int(QMessageBox::No) << QList<bool>{};
    }
    void configPrompt()
    {
        QFETCH(int, answer);
        QFETCH(QList<bool>, testDialogs);
        MenuWidget* w = create();
        w->answers = {answer};
        EditBoxChangeWorker* worker = w->connectionManager()->worker();
        std::thread([worker] {
            emit worker->requestShowConfigPrompt(QStringLiteral("股票代码"), QStringLiteral("闪电买入"));
        }).join();
        QTRY_COMPARE(w->boxes.size(), 1);
        QCOMPARE(w->boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(w->boxes[0].title, QStringLiteral("需要配置"));
        QCOMPARE(w->boxes[0].text, Widget::configPromptText(QStringLiteral("股票代码"), QStringLiteral("闪电买入")));
        QCOMPARE(w->boxes[0].buttons, (QStringList{"否", "是"}));
        QCOMPARE(w->boxes[0].defaultButton, QStringLiteral("是"));
        QCOMPARE(w->tdxDialogs, testDialogs);
    }

    void switchProfilePrompt_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("followingBoxes");
        QTest::addColumn<QList<bool>>("testDialogs");
        QTest::newRow("是") << "华泰专业版" << int(QMessageBox::Yes) << "华泰专业版" << QStringList{"切换成功"}
                           << QList<bool>{};
        QTest::newRow("是, but it cannot be loaded")
            << "不存在" << int(QMessageBox::Yes) << "金融终端" << QStringList{"切换失败"} << QList<bool>{};
        QTest::newRow("否") << "华泰专业版" << int(QMessageBox::No) << "金融终端" << QStringList{}
                           << QList<bool>{true};
    }
    void switchProfilePrompt()
    {
        QFETCH(QString, profile);
        QFETCH(int, answer);
        QFETCH(QString, current);
        QFETCH(QStringList, followingBoxes);
        QFETCH(QList<bool>, testDialogs);
        QVERIFY(config()->saveProfile(QStringLiteral("华泰专业版"), QStringLiteral("C:/htzq")));
        config()->setCurrentProfile(BuiltInProfile());
        MenuWidget* w = create();
        QSignalSpy reloads(w->connectionManager(), &Core::ConnectionManager::reloadCfg);
        w->answers = {answer};
        EditBoxChangeWorker* worker = w->connectionManager()->worker();
        std::thread([worker, profile] {
            emit worker->requestSwitchProfile(profile, QStringLiteral("股票价格"), QStringLiteral("闪电买入"));
        }).join();
        QTRY_VERIFY(!w->boxes.isEmpty());
        QCOMPARE(w->boxes[0].icon, QMessageBox::Question);
        QCOMPARE(w->boxes[0].title, QStringLiteral("发现匹配的配置"));
        QCOMPARE(w->boxes[0].defaultButton, QStringLiteral("是"));
        QStringList following;
        for (int i = 1; i < w->boxes.size(); ++i)
            following << w->boxes[i].title;
        QCOMPARE(following, followingBoxes);
        if (followingBoxes == QStringList{"切换成功"}) {
            QCOMPARE(w->boxes[1].text, QStringLiteral("已成功切换到配置方案：华泰专业版\n\n请重新尝试交易操作。"));
            QCOMPARE(reloads.size(), 1);
        }
        QCOMPARE(config()->currentProfileName(), current);
        QCOMPARE(w->tdxDialogs, testDialogs);
    }

    void anAcceptedTestDialogRebuildsTheTdxMenu()
    {
        MenuWidget* w = create();
        QSignalSpy reloads(w->connectionManager(), &Core::ConnectionManager::reloadCfg);
        config()->setTdxBuyMaxPrice(88);
        w->acceptTdxDialog = true;
        const int entries = w->tdxOrderMenu()->actions().size();
        w->openTestDialog();
        QCOMPARE(w->tdxDialogs, QList<bool>{true});
        QVERIFY(entry(w->tdxOrderMenu(), QStringLiteral("最高买入价88元")));
        QCOMPARE(w->tdxOrderMenu()->actions().size(), entries);
        // The price type the keyboard reported is marked again.
        QCOMPARE(checkedTexts(w->tdxOrderMenu()).filter(QStringLiteral("限价")), QStringList{"限价"});
        QCOMPARE(reloads.size(), 1);
    }

private:
    static QString BuiltInProfile() { return ConfigManager::BuiltInProfileName; }
};

ZK_TEST_MAIN(TestMenus)
#include "tst_menus.moc"
