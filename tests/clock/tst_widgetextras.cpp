// The clock's extras on the whole window: the stock menu for the client in front (a fake TDX,
// a fake THS, any other window) and the pages it opens, the clicked stock of the 防跳票 switch,
// start at login, the live preview of the appearance dialog, the dimmer and the support dialog.
// The trading desktop is simulated in real time; the program's own windows are on this X display.

#include "clock/Widget.h"
#include "clock/dialogs/CustomerServiceDialog.h"
#include "clock/dialogs/DimmerWidget.h"
#include "clock/dialogs/SetDlg.h"
#include "clock/stocks/StockLookup.h"
#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "platform/api/Platform.h"
#include "platform/linux/X11Desktop.h"
#include "platform/linux/XdgAutostart.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/FakeThs.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "sim/world/ClipboardBridge.h"

#include "ZkTest.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

namespace {

const std::string kSerial = "ZK000001";

// Stands in for the browser: records every address the program asks it to open.
class Browser : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

QStringList entryTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("--") : action->text());
    return texts;
}

QAction* entry(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class TestWidgetExtras : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<platform::X11Desktop> m_host;
    platform::XdgAutostart m_autostart;
    std::unique_ptr<sim::KeyboardSimulator> m_keyboards;
    std::unique_ptr<sim::SimSystem> m_system;
    std::unique_ptr<Widget> m_widget;
    Browser m_browser;

    Widget* create()
    {
        m_widget = std::make_unique<Widget>();
        return m_widget.get();
    }
    QLabel* label() { return m_widget->findChild<QLabel*>(QStringLiteral("label")); }
    QString autostartFile() const
    {
        return QString::fromStdString(platform::XdgAutostart::entryPath(Widget::kAutostartEntry));
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
        m_host = platform::X11Desktop::open();
        QVERIFY(m_host);
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_browser, "open");
    }

    void init()
    {
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
        QFile::remove(autostartFile());
        m_browser.opened.clear();
        m_keyboards = std::make_unique<sim::KeyboardSimulator>();
        m_keyboards->addKeyboard(kSerial);
        m_system = std::make_unique<sim::SimSystem>(platform::systemClock());
        sim::bridgeClipboard(m_system->desktop(), this);
        m_system->startEventThread();
        platform::Services host;
        host.hostDesktop = m_host.get();
        platform::Services os = m_system->services(host);
        os.autostart = &m_autostart; // the real XDG entry, in the test's own home
        m_keyboards->installInto(os);
        platform::install(os);
    }

    void cleanup()
    {
        m_widget.reset();
        ConfigManager::destroyInstance();
        platform::install(platform::Services());
        m_system->stopEventThread();
        m_system->desktop().setClipboardSink(nullptr);
        m_system.reset();
        m_keyboards.reset();
    }

    void stockMenuForTheTdxInFront()
    {
        sim::FakeTdx tdx(*m_system);
        tdx.setCurrentStock(u"600519", u"贵州茅台", u"1688.00");
        Widget* w = create();
        w->showStockContextMenu();
        QMenu* menu = w->stockMenu();
        QVERIFY(menu->isVisible());
        QCOMPARE(entryTexts(menu).mid(0, 2), QStringList({"贵州茅台 > 个股详情", "贵州茅台 > 资讯公告"}));
        QCOMPARE(menu->actions().size(), 12);
        QCOMPARE(w->currentStock().marketCode, QStringLiteral("sh600519"));

        entry(menu, QStringLiteral("贵州茅台 > i问财"))->trigger();
        QCOMPARE(m_browser.opened.size(), 1);
        QCOMPARE(m_browser.opened.at(0).toEncoded(),
                 QByteArray("https://www.iwencai.com/unifiedwap/inforesult?w=%E8%B4%B5%E5%B7%9E%E8%8C%85%E5%8F%B0"
                            "&querytype=info&tab="));
        menu->hide();
    }

    void thsCodeIsLearnedAndKeptAfterARestart()
    {
        sim::FakeThs ths(*m_system);
        ths.setCurrentStock(u"300750", u"宁德时代");
        ths.activate();
        Widget* w = create();
        QCOMPARE(w->stockTable().lookupStockName(QStringLiteral("300750")), QString());

        // Not in the table: the name comes from the 持股机构 window, which is closed again.
        w->showStockContextMenu();
        QVERIFY(w->stockMenu()->isVisible());
        QCOMPARE(entryTexts(w->stockMenu()).first(), QStringLiteral("宁德时代 > 个股详情"));
        QCOMPARE(w->stockTable().lookupStockName(QStringLiteral("300750")), QStringLiteral("宁德时代"));
        QTRY_COMPARE(ths.holdingWindow(), platform::WindowId(0));
        w->stockMenu()->hide();

        m_widget.reset();
        ConfigManager::destroyInstance();
        Widget* restarted = create();
        QCOMPARE(restarted->stockTable().lookupStockName(QStringLiteral("300750")), QStringLiteral("宁德时代"));
        // Known now: no 持股机构 window is asked for.
        restarted->showStockContextMenu();
        QVERIFY(restarted->stockMenu()->isVisible());
        QCOMPARE(ths.holdingWindow(), platform::WindowId(0));
        restarted->stockMenu()->hide();
    }

    void thsHoldingWindowBehindAnotherProgramGetsNoKey()
    {
        // The user went to another program meanwhile; Windows' foreground lock keeps both THS
        // and the program from bringing the 持股机构 window forward.
        sim::FakeThs ths(*m_system);
        ths.setCurrentStock(u"300750", u"宁德时代");
        sim::SimDesktop& desktop = m_system->desktop();
        sim::WindowSpec chatWindow;
        chatWindow.className = u"ChatWindow";
        chatWindow.text = u"聊天";
        chatWindow.pid = m_system->processes().startProcess(u"chat.exe");
        const platform::WindowId chat = desktop.createWindow(chatWindow);
        QVERIFY(desktop.setForegroundWindow(chat));
        desktop.setForegroundLock(true);
        desktop.clearInputLog();

        QString code, name;
        QVERIFY(StockLookup::getThsStockCode(ths.mainWindow(), code, name));
        QCOMPARE(code, QStringLiteral("300750"));
        QCOMPARE(name, QStringLiteral("宁德时代"));
        QTRY_COMPARE(ths.holdingWindow(), platform::WindowId(0)); // closed all the same
        QCOMPARE(desktop.foregroundWindow(), chat);
        QVERIFY(desktop.inputLog().empty());
    }

    void thsWithoutItsCodeInMemoryOpensNothing()
    {
        sim::FakeThs ths(*m_system);
        ths.writeCodeBytes(std::string("\0\0\0\0\0\0\0\0", 8));
        ths.activate();
        Widget* w = create();
        w->showStockContextMenu();
        QVERIFY(!w->stockMenu()->isVisible());
        QVERIFY(w->stockMenu()->actions().isEmpty());
    }

    void anyOtherWindowCanBePinned()
    {
        sim::SimDesktop& desktop = m_system->desktop();
        const platform::ProcessId notepad = m_system->processes().startProcess(u"notepad.exe");
        sim::WindowSpec spec;
        spec.className = u"Notepad";
        spec.text = u"无标题 - 记事本";
        spec.pid = notepad;
        const platform::WindowId window = desktop.createWindow(spec);
        desktop.setForegroundWindow(window);

        Widget* w = create();
        w->showStockContextMenu();
        QMenu* menu = w->stockMenu();
        QCOMPARE(entryTexts(menu), QStringList({"置顶显示", "取消置顶"}));
        entry(menu, QStringLiteral("置顶显示"))->trigger();
        QVERIFY(desktop.windowExStyle(window) & platform::exstyle::Topmost);
        entry(menu, QStringLiteral("取消置顶"))->trigger();
        QVERIFY(!(desktop.windowExStyle(window) & platform::exstyle::Topmost));
        QVERIFY(m_browser.opened.isEmpty());
        menu->hide();
    }

    void clickedTdxStockIsRemembered()
    {
        m_keyboards->changeState(kSerial, [](sim::KeyboardState& s) { s.workState = true; });
        ConfigManager::instance()->setStockCheck(true);
        sim::FakeTdx tdx(*m_system);
        tdx.setCurrentStock(u"000001", u"平安银行", u"10.50");
        Widget* w = create();
        QTRY_VERIFY(w->connectionManager()->getTradeState());

        w->onTradingClientClick(trade::toWParam(tdx.mainWindow()));
        QTRY_COMPARE(w->clickedStockCode(), QStringLiteral("000001"));
        tdx.setCurrentStock(u"600000", u"浦发银行", u"8.00");
        w->onTradingClientClick(trade::toWParam(tdx.mainWindow()));
        QTRY_COMPARE(w->clickedStockCode(), QStringLiteral("600000"));
        w->onTradingClientClick(0);
        QCOMPARE(w->clickedStockCode(), QString());
    }

    void autostartFollowsTheBootFlag()
    {
        // On by default: written at start.
        Widget* w = create();
        QVERIFY(w->isBootOnStartup());
        QVERIFY(m_autostart.isEnabled(Widget::kAutostartEntry));
        QFile entryFile(autostartFile());
        QVERIFY(entryFile.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(entryFile.readAll()).split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QStringLiteral("Exec=") + QCoreApplication::applicationFilePath()));

        w->slot_action_boot_clicked();
        QVERIFY(!QFile::exists(autostartFile()));
        w->slot_action_boot_clicked();
        QVERIFY(m_autostart.isEnabled(Widget::kAutostartEntry));

        // Off at start: nothing is written.
        m_widget.reset();
        QFile::remove(autostartFile());
        ConfigManager::instance()->setBootOnStartup(false);
        create();
        QVERIFY(!QFile::exists(autostartFile()));
    }

    void appearanceIsPreviewedOnTheClock()
    {
        Widget* w = create();
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen->availableGeometry();
        w->move(area.left() + 200, area.bottom() - w->height() - 5); // near the bottom
        QPoint dialogPos;
        QTimer::singleShot(0, this, [&] {
            SetDlg* dlg = w->setDlg();
            QVERIFY(dlg);
            dialogPos = dlg->pos();
            dlg->findChild<QSlider*>(QStringLiteral("horizontalSlider_background_alpha"))->setValue(0);
            QTest::keyClick(dlg, Qt::Key_Escape);
        });
        w->slot_action_set_clicked();
        // Opened above the clock, 20 px away.
        QCOMPARE(dialogPos.y(), w->y() - 20 - w->setDlg()->height());
        // Escaped, but the clock keeps the previewed, fully transparent background.
        QVERIFY(label()->styleSheet().startsWith(QStringLiteral("background: rgba(0, 0, 0, 0%);")));
        QCOMPARE(ConfigManager::instance()->backgroundAlpha(), 0);
    }

    void dimmerComesAndGoes()
    {
        Widget* w = create();
        QAction toggle(QStringLiteral("护眼模式"));
        connect(&toggle, &QAction::triggered, w, &Widget::onDimScreenTriggered);
        toggle.trigger();
        QVERIFY(w->isDimmerShown());
        QVERIFY(w->dimmer() && w->dimmer()->isVisible());
        QCOMPARE(w->dimmer()->geometry(), QGuiApplication::primaryScreen()->geometry());
        toggle.trigger();
        QVERIFY(!w->isDimmerShown());
        QVERIFY(!w->dimmer());

        toggle.trigger();
        w->quickCleanup();
        QVERIFY(!w->dimmer());
    }

    void supportDialogIsReadyHidden()
    {
        Widget* w = create();
        CustomerServiceDialog* support = w->customerServiceDialog();
        QVERIFY(support && !support->isVisible());
        w->slot_action_customer_service_clicked();
        QVERIFY(support->isVisible());
        QVERIFY(support->windowFlags() & Qt::WindowStaysOnTopHint);
        // The chat opens in the browser and the dialog closes.
        support->onWeChatClick();
        QCOMPARE(m_browser.opened.size(), 1);
        QCOMPARE(m_browser.opened.at(0).host(), QStringLiteral("work.weixin.qq.com"));
        QVERIFY(!support->isVisible());
    }
};

ZK_TEST_MAIN(TestWidgetExtras)
#include "tst_widgetextras.moc"
