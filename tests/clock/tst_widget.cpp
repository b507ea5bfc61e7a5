// The clock window: start-up state and style, the clock tick and work-off check on a driven
// clock, always-on-top keeping through the host desktop, dragging, hot keys, activation by a
// second start and closing; on a simulated keyboard: the refusal to start without one, the
// keyboard answers on the status line and in sounds, double click and work-off, the foreground
// client check.

#include "clock/Widget.h"
#include "clock/audio/SoundReminder.h"
#include "config/ConfigManager.h"
#include "keyboardlink/connection/RawHIDConnection.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardlink/protocol/DataParser.h"
#include "platform/api/Platform.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "trade/Clicker.h"
#include "trade/EditBoxChangeWorker.h"
#include "tradeconfig/TdxCfgDlg.h"

#include "ClockFakes.h"
#include "ZkTest.h"

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <thread>

namespace {

// The clock with its hooks for the later pieces counted (and, with keyboardHooks set, the
// keyboard ones passed on to the connection manager as well).
class ProbeWidget : public Widget
{
public:
    bool keyboardHooks = false;
    int workOffCalls = 0;
    int workStateToggles = 0;
    QVector<QTime> reminderTimes;
    QVector<QPoint> mainMenus;
    int orderMenus = 0;
    int stockMenus = 0;
    int autoClicks = 0;
    QStringList spoken;

    void showContextMenu() override { ++orderMenus; }
    void showStockContextMenu() override { ++stockMenus; }
    void startAutoClicking() override
    {
        ++autoClicks;
        Widget::startAutoClicking(); // without a trading desktop it has nowhere to click
    }

protected:
    void switchKeyboardsOffWork() override
    {
        ++workOffCalls;
        if (keyboardHooks)
            Widget::switchKeyboardsOffWork();
    }
    void toggleKeyboardWorkState() override
    {
        ++workStateToggles;
        if (keyboardHooks)
            Widget::toggleKeyboardWorkState();
    }
    void handOffToSoundReminder(const QTime& time) override { reminderTimes.append(time); }
    void showMainMenu(const QPoint& globalPos) override { mainMenus.append(globalPos); }
    void speak(const QString& text) override { spoken.append(text); }
};

const QString kDefaultStyle = QStringLiteral(
    "background: rgba(0, 0, 0, 0.784314%); color: #ff007f; font-size: 30pt; font-family: Arial; "
    "font-weight: bold; font-style: italic;");
const QString kDefaultInfoStyle = QStringLiteral(
    "background: rgba(0, 0, 0, 0.784314%); color: #ff007f; font-size: 14pt; font-family: Arial; "
    "font-weight: bold; font-style: italic;");

const std::string kSerial = "ZK000001";

QDateTime at(int year, int month, int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestWidget : public QObject
{
    Q_OBJECT

private:
    HostDesktop m_desktop;
    RecordingHotkeys m_hotkeys;
    platform::ManualClock m_clock;
    std::unique_ptr<sim::KeyboardSimulator> m_keyboards;
    std::unique_ptr<sim::SimSystem> m_tradingDesktop;
    std::unique_ptr<ProbeWidget> m_widget;

    ConfigManager* config() { return ConfigManager::instance(); }
    QLabel* label() { return m_widget->findChild<QLabel*>(QStringLiteral("label")); }
    QLabel* infoLabel() { return m_widget->findChild<QLabel*>(QStringLiteral("labelInfo")); }
    // A simulated trading desktop behind the clock; the host desktop, hot keys and keyboards
    // stay as they are.
    sim::SimSystem& installTradingDesktop()
    {
        m_tradingDesktop = std::make_unique<sim::SimSystem>(m_clock);
        m_tradingDesktop->driveEventsFrom(m_clock);
        platform::Services os = m_tradingDesktop->services(platform::services());
        os.hotkeys = &m_hotkeys;
        platform::install(os);
        return *m_tradingDesktop;
    }
    ProbeWidget* create()
    {
        m_widget = std::make_unique<ProbeWidget>();
        return m_widget.get();
    }
    QTimer* activeTimer(int interval)
    {
        for (QTimer* t : m_widget->findChildren<QTimer*>()) {
            if (t->isActive() && t->interval() == interval)
                return t;
        }
        return nullptr;
    }
    static QPoint expectedDefaultPosition(int windowWidth)
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        return QPoint(((available.width() - windowWidth) * 3) / 5, available.top() + 100);
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
    }

    // Every test starts from a fresh installation and fresh host-desktop records.
    void init()
    {
        // The clock does not start without a keyboard.
        m_keyboards = startClockPlatform(m_desktop, m_hotkeys, m_clock, kSerial);
        m_clock.setNow(at(2024, 6, 3, 9, 15).toMSecsSinceEpoch());
    }

    void cleanup()
    {
        m_widget.reset();
        ConfigManager::destroyInstance();
        platform::install(platform::Services());
        m_clock.setObserver(nullptr);
        m_tradingDesktop.reset();
        m_keyboards.reset();
    }

    void startsWithTheDefaultLookAndPlace()
    {
        Widget* w = create();
        QCOMPARE(w->objectName(), QStringLiteral("Widget"));
        QCOMPARE(w->windowTitle(), QStringLiteral("clock"));
        QVERIFY(w->findChild<QVBoxLayout*>(QStringLiteral("verticalLayout")));
        QVERIFY(w->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(w->testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(w->testAttribute(Qt::WA_QuitOnClose));
        QVERIFY(!w->windowIcon().isNull());
        QVERIFY(w->isVisible());

        QCOMPARE(label()->styleSheet(), kDefaultStyle);
        QCOMPARE(infoLabel()->styleSheet(), kDefaultInfoStyle);
        QCOMPARE(infoLabel()->text(), QString());
        // The first tick is shown at once: Monday 09:15.
        QCOMPARE(label()->text(), QStringLiteral("09:15:00周一"));

        // No stored position: the default one (computed for the 684 px wide window of the
        // interface, before the settings shrink it) is stored and used.
        const QPoint expected = expectedDefaultPosition(684);
        QCOMPARE(config()->windowPosition(), expected);
        QCOMPARE(w->pos(), expected);
        QVERIFY(w->width() < 684);
    }

    void storedPositionIsUsed()
    {
        config()->setWindowPosition(QPoint(50, 60));
        Widget* w = create();
        QCOMPARE(w->pos(), QPoint(50, 60));
        QCOMPARE(config()->windowPosition(), QPoint(50, 60));
    }

    void infoFont_data()
    {
        QTest::addColumn<int>("mainSize");
        QTest::addColumn<int>("infoSize");
        QTest::newRow("30") << 30 << 14;
        QTest::newRow("45") << 45 << 15;
        QTest::newRow("12") << 12 << 12;
        QTest::newRow("14") << 14 << 14;
        QTest::newRow("15") << 15 << 14;
        QTest::newRow("44") << 44 << 14;
        QTest::newRow("48") << 48 << 16;
    }

    void infoFont()
    {
        QFETCH(int, mainSize);
        QFETCH(int, infoSize);
        QFont main(QStringLiteral("Courier"), mainSize, 63, true);
        const QFont info = Widget::infoFontFor(main);
        QCOMPARE(info.pointSize(), infoSize);
        QCOMPARE(info.family(), QStringLiteral("Courier"));
        QCOMPARE(info.weight(), 63);
        QCOMPARE(info.italic(), true);
    }

    void labelStyleSheet_data()
    {
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QFont>("font");
        QTest::addColumn<QString>("styleSheet");
        QTest::newRow("opaque, plain")
            << QColor(10, 20, 30, 255) << QColor(1, 2, 3) << QFont("Courier", 12, 50, false)
            << "background: rgba(10, 20, 30, 100%); color: #010203; font-size: 12pt; "
               "font-family: Courier; font-weight: normal; font-style: normal;";
        QTest::newRow("clear, demibold")
            << QColor(0, 0, 0, 0) << QColor(255, 255, 255) << QFont("Sans", 9, 63, true)
            << "background: rgba(0, 0, 0, 0%); color: #ffffff; font-size: 9pt; "
               "font-family: Sans; font-weight: normal; font-style: italic;";
        QTest::newRow("half") << QColor(0, 0, 0, 128) << QColor(255, 0, 127)
                              << QFont("微软雅黑", 30, 75, false)
                              << "background: rgba(0, 0, 0, 50.1961%); color: #ff007f; font-size: 30pt; "
                                 "font-family: 微软雅黑; font-weight: bold; font-style: normal;";
        QTest::newRow("odd family")
            << QColor(0, 0, 0, 2) << QColor(0, 0, 0) << QFont("%1 Mono", 10, 50, false)
            << "background: rgba(0, 0, 0, 0.784314%); color: #000000; font-size: 10pt; "
               "font-family: %1 Mono; font-weight: normal; font-style: normal;";
    }

    void labelStyleSheet()
    {
        QFETCH(QColor, background);
        QFETCH(QColor, text);
        QFETCH(QFont, font);
        QFETCH(QString, styleSheet);
        QCOMPARE(Widget::labelStyleSheet(background, text, font), styleSheet);
    }

    void storedAppearanceIsApplied()
    {
        config()->setFont(QFont(QStringLiteral("Courier"), 45, 50, false));
        config()->setFontColor(QColor(1, 2, 3));
        config()->setBackgroundColor(QColor(200, 100, 0));
        config()->setBackgroundAlpha(255);
        create();
        QCOMPARE(label()->styleSheet(),
                 QStringLiteral("background: rgba(200, 100, 0, 100%); color: #010203; font-size: 45pt; "
                                "font-family: Courier; font-weight: normal; font-style: normal;"));
        QVERIFY(infoLabel()->styleSheet().contains(QStringLiteral("font-size: 15pt;")));
    }

    void clockTickShowsTimeAndWeekday()
    {
        ProbeWidget* w = create();
        w->reminderTimes.clear();

        m_clock.setNow(at(2024, 6, 1, 11, 31, 5).toMSecsSinceEpoch()); // Saturday
        w->slot_timeout();
        QCOMPARE(label()->text(), QStringLiteral("11:31:05周六"));
        m_clock.setNow(at(2024, 6, 2, 0, 0, 1).toMSecsSinceEpoch()); // Sunday
        w->slot_timeout();
        QCOMPARE(label()->text(), QStringLiteral("00:00:01周日"));
        QVERIFY(w->reminderTimes.isEmpty()); // no market alarm at the weekend

        // The pattern is read on every tick; an empty one means "hh:mm:ss".
        config()->setTimeType(QStringLiteral("HH:mm"));
        m_clock.setNow(at(2024, 6, 7, 14, 56, 30).toMSecsSinceEpoch()); // Friday
        w->slot_timeout();
        QCOMPARE(label()->text(), QStringLiteral("14:56周五"));
        config()->setTimeType(QString());
        w->slot_timeout();
        QCOMPARE(label()->text(), QStringLiteral("14:56:30周五"));
        QCOMPARE(w->reminderTimes, (QVector<QTime>{QTime(14, 56, 30), QTime(14, 56, 30)}));
    }

    void noAlarmHandOffWhenTheAlarmIsOff()
    {
        config()->setAlarmEnabled(false);
        ProbeWidget* w = create();
        w->clockTick(at(2024, 6, 3, 9, 25)); // Monday
        QVERIFY(w->reminderTimes.isEmpty());
        QCOMPARE(label()->text(), QStringLiteral("09:25:00周一"));
    }

    void workOffCheck_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<bool>("switchedOff");
        QTest::newRow("Saturday 11:31") << at(2024, 6, 1, 11, 31, 40) << true;
        QTest::newRow("Sunday 15:10") << at(2024, 6, 2, 15, 10) << true;
        QTest::newRow("Monday 15:31") << at(2024, 6, 3, 15, 31, 59) << true;
        QTest::newRow("Monday 11:30") << at(2024, 6, 3, 11, 30, 59) << false;
        QTest::newRow("Monday 11:32") << at(2024, 6, 3, 11, 32) << false;
        QTest::newRow("Tuesday 15:11") << at(2024, 6, 4, 15, 11) << false;
        QTest::newRow("Wednesday 23:31") << at(2024, 6, 5, 23, 31) << false;
        QTest::newRow("Thursday 13:10") << at(2024, 6, 6, 13, 10) << false;
    }

    void workOffCheck()
    {
        QFETCH(QDateTime, time);
        QFETCH(bool, switchedOff);
        ProbeWidget* w = create();
        QCOMPARE(w->workOffCheck(time), switchedOff);
        QCOMPARE(w->workOffCalls, switchedOff ? 1 : 0);
    }

    void timersAtStart()
    {
        create();
        QVERIFY(activeTimer(1000));  // clock
        QVERIFY(activeTimer(3000));  // first foreground-client check
        QVERIFY(activeTimer(30000)); // top keeping (always on top by default)
        QVERIFY(activeTimer(3000)->isSingleShot());

        // A change of the client in front restarts the check with 300 ms.
        m_widget->onAppChanged(2, 0);
        QVERIFY(activeTimer(300));
        QVERIFY(!activeTimer(3000));

        m_widget->stopAllTimers();
        for (QTimer* t : m_widget->findChildren<QTimer*>())
            QVERIFY(!t->isActive());
    }

    void appChangeIgnoredWithoutAutoSwitch()
    {
        config()->setAutoSwitch(false);
        create();
        m_widget->onAppChanged(1, 2);
        QVERIFY(!activeTimer(300));
        QVERIFY(activeTimer(3000));
    }

    void alwaysOnTopAndTopKeeping()
    {
        Widget* w = create();
        const platform::WindowId self = w->winId();
        const std::uint32_t flags = platform::swp::NoSize | platform::swp::NoMove | platform::swp::ShowWindow;
        QCOMPARE(m_desktop.windowPos.size(), size_t(1));
        QCOMPARE(m_desktop.windowPos[0].window, self);
        QCOMPARE(m_desktop.windowPos[0].insertAfter, platform::zorder::Topmost);
        QCOMPARE(m_desktop.windowPos[0].flags, flags);

        // Still topmost, nobody else on top: nothing to do.
        m_desktop.exStyles[self] = platform::exstyle::Topmost;
        m_desktop.foreground = 0x777;
        w->checkAndMaintainTop();
        QCOMPARE(m_desktop.windowPos.size(), size_t(1));

        // Lost the topmost band: back into it.
        m_desktop.exStyles[self] = 0;
        w->checkAndMaintainTop();
        QCOMPARE(m_desktop.windowPos.size(), size_t(2));
        QCOMPARE(m_desktop.windowPos[1].insertAfter, platform::zorder::Topmost);

        // Another topmost window in front: pushed above it again.
        m_desktop.exStyles[self] = platform::exstyle::Topmost;
        m_desktop.exStyles[0x777] = platform::exstyle::Topmost;
        w->checkAndMaintainTop();
        QCOMPARE(m_desktop.windowPos.size(), size_t(3));
        QCOMPARE(m_desktop.windowPos[2].window, self);
        QCOMPARE(m_desktop.windowPos[2].flags, flags);

        // Our own window in front is no rival.
        m_desktop.foreground = self;
        w->checkAndMaintainTop();
        QCOMPARE(m_desktop.windowPos.size(), size_t(3));
    }

    void notOnTopWhenSwitchedOff()
    {
        config()->setAlwaysOnTop(false);
        Widget* w = create();
        QCOMPARE(m_desktop.windowPos.size(), size_t(1));
        QCOMPARE(m_desktop.windowPos[0].insertAfter, platform::zorder::NoTopmost);
        QVERIFY(!(w->windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(!activeTimer(30000));
        w->checkAndMaintainTop();
        QCOMPARE(m_desktop.windowPos.size(), size_t(1));
    }

    void worksWithoutAHostDesktop()
    {
        platform::Services os;
        os.clock = &m_clock;
        m_keyboards->installInto(os);
        platform::install(os);
        Widget* w = create();
        w->checkAndMaintainTop();
        w->hide();
        w->activateFromOtherInstance();
        QTRY_VERIFY(w->isVisible());
        QCOMPARE(label()->text(), QStringLiteral("09:15:00周一"));
    }

    void dragging()
    {
        Widget* w = create();
        const QPoint start = w->pos();
        sendMouse(w, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
        sendMouse(w, QEvent::MouseMove, QPoint(30, 25), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(w->pos(), start + QPoint(20, 15));
        sendMouse(w, QEvent::MouseButtonRelease, QPoint(30, 25), Qt::LeftButton, Qt::NoButton);
        // Without a press nothing follows the mouse.
        sendMouse(w, QEvent::MouseMove, QPoint(60, 60), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(w->pos(), start + QPoint(20, 15));
        // Dragging does not store the position.
        QCOMPARE(config()->windowPosition(), start);
    }

    void fixedPositionBlocksDraggingButNotDoubleClick()
    {
        config()->setFixedPosition(true);
        ProbeWidget* w = create();
        QVERIFY(w->isFixedPosition());
        const QPoint start = w->pos();
        sendMouse(w, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
        sendMouse(w, QEvent::MouseMove, QPoint(30, 25), Qt::NoButton, Qt::LeftButton);
        sendMouse(w, QEvent::MouseButtonRelease, QPoint(30, 25), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(w->pos(), start);

        sendMouse(w, QEvent::MouseButtonDblClick, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(w->workStateToggles, 1);
        sendMouse(w, QEvent::MouseButtonDblClick, QPoint(10, 10), Qt::RightButton, Qt::RightButton);
        QCOMPARE(w->workStateToggles, 1);
    }

    void contextMenuOpensTheMainMenu()
    {
        ProbeWidget* w = create();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 6), QPoint(105, 206));
        QApplication::sendEvent(w, &event);
        QCOMPARE(w->mainMenus, QVector<QPoint>{QPoint(105, 206)});
    }

    void hotkeys()
    {
        ProbeWidget* w = create();
        QCOMPARE(m_hotkeys.registered.size(), size_t(3));
        using namespace platform;
        m_hotkeys.press(modifier::Control | modifier::Shift, vk::Space);
        m_hotkeys.press(modifier::Control, 0xC0);
        m_hotkeys.press(modifier::Control | modifier::Shift, 'Z');
        QCOMPARE(w->orderMenus, 1);
        QCOMPARE(w->stockMenus, 1);
        QCOMPARE(w->autoClicks, 1);
        m_widget.reset();
        QVERIFY(m_hotkeys.registered.empty()); // no callback outlives the window
    }

    void secondStartRestoresTheDefaultLook()
    {
        config()->setFont(QFont(QStringLiteral("Courier"), 12, 50, false));
        config()->setFontColor(QColor(0, 255, 0));
        config()->setBackgroundAlpha(200);
        config()->setWindowPosition(QPoint(7, 8));
        config()->setTtsEnabled(false);
        ProbeWidget* w = create();
        QVERIFY(label()->styleSheet() != kDefaultStyle);
        const QSize size = w->size();
        w->showMinimized();
        m_desktop.iconic = true;

        w->activateFromOtherInstance();
        // At once: default look and place, saved.
        QCOMPARE(label()->styleSheet(), kDefaultStyle);
        QCOMPARE(infoLabel()->styleSheet(), kDefaultInfoStyle);
        QCOMPARE(w->pos(), expectedDefaultPosition(w->width()));
        QCOMPARE(w->size(), size);
        QSettings saved(config()->iniFilePath(), QSettings::IniFormat);
        QCOMPARE(saved.value("Font/Family").toString(), QStringLiteral("Arial"));
        QCOMPARE(saved.value("Font/Color").toString(), QStringLiteral("255,0,127"));
        QCOMPARE(saved.value("Features/TTS").toString(), QStringLiteral("false"));

        // Then, in two steps: shown, restored and brought to the front.
        QTRY_COMPARE(m_desktop.foregroundCalls, std::vector<platform::WindowId>{w->winId()});
        QVERIFY(!w->isMinimized());
        QCOMPARE(m_desktop.broughtToTop, std::vector<platform::WindowId>{w->winId()});
        QCOMPARE(m_desktop.shown.size(), size_t(1));
        QCOMPARE(m_desktop.shown[0].second, platform::sw::Restore);
    }

    void saveAllWritesPositionAndFlags()
    {
        config()->setTtsEnabled(false);
        Widget* w = create();
        w->move(321, 123);
        config()->setTtsEnabled(true); // the window's copy is the truth until saved
        config()->setAlwaysOnTop(false);
        w->slot_action_save_clicked();
        QSettings saved(config()->iniFilePath(), QSettings::IniFormat);
        QCOMPARE(saved.value("Window/Position").toString(), QStringLiteral("321,123"));
        QCOMPARE(saved.value("Features/TTS").toString(), QStringLiteral("false"));
        QCOMPARE(saved.value("Window/AlwaysOnTop").toString(), QStringLiteral("true"));
    }

    void closeIsIgnoredWhileAModalDialogIsOpen()
    {
        Widget* w = create();
        QDialog dialog;
        dialog.setModal(true);
        dialog.show();
        QTRY_VERIFY(QApplication::activeModalWidget() == &dialog);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        dialog.close();
    }

    void refusesToStartWithoutAKeyboard()
    {
        m_keyboards->removeKeyboard(kSerial);
        try {
            create();
            QFAIL("the clock started without a keyboard");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("检测到键盘未接入,请先接入键盘"));
        }
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!w->isVisible());
    }

    void startsTheKeyboardLink()
    {
        config()->setMultiKeyboardEnabled(true);
        Widget* w = create();
        Core::ConnectionManager* manager = w->connectionManager();
        QVERIFY(manager);
        QVERIFY(manager->isDeviceConnected());
        QVERIFY(manager->isMultiKeyboardEnabled());
        QVERIFY(!manager->isVisible());
        QTRY_COMPARE(manager->keyboardCount(), 1);
    }

    // Each keyboard answer on the status line, in sounds and in trade watching. The status line
    // shows an earlier state first, so that clearing it shows.
    void keyboardAnswers_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("soft");
        QTest::addColumn<QString>("statusLine");
        QTest::addColumn<QString>("sound");
        QTest::addColumn<bool>("watching");
        const QString earlier = QStringLiteral("通达信 | 交易中 | 极速 | 五档价");
        const QString tdx = QStringLiteral("通达信 | 交易中 | 高速 | 限价");
        QTest::newRow("software THS") << 0x20 << 0 << true << 1 << "同花顺 | 交易中 | 高速"
                                      << ":/media/toths.wav" << false;
        QTest::newRow("software parameter TDX")
            << 0x31 << 0 << true << 2 << tdx << ":/media/totdx.wav" << false;
        QTest::newRow("software, trading off") << 0x20 << 0 << false << 1 << earlier << QString() << false;
        QTest::newRow("toggle on") << 0x21 << 0 << true << 2 << tdx << ":/media/tradeon.wav" << true;
        QTest::newRow("set off") << 0x22 << 0 << false << 2 << QString() << ":/media/tradeoff.wav" << false;
        QTest::newRow("reload, on") << 0xA0 << 0 << true << 2 << tdx << QString() << true;
        QTest::newRow("hello, off") << 0xF1 << 0 << false << 2 << QString() << QString() << false;
        QTest::newRow("speed") << 0x33 << 0 << true << 2 << tdx << QString() << false;
        QTest::newRow("price type, off") << 0x32 << 0 << false << 2 << earlier << QString() << false;
        QTest::newRow("outcome notice") << 0x21 << 2 << true << 2 << earlier << QString() << false;
    }

    void keyboardAnswers()
    {
        QFETCH(int, command);
        QFETCH(int, status);
        QFETCH(bool, on);
        QFETCH(int, soft);
        QFETCH(QString, statusLine);
        QFETCH(QString, sound);
        QFETCH(bool, watching);
        Widget* w = create();
        QSignalSpy sounds(w->soundReminder(), &SoundReminder::soundPlayed);

        sim::SimKeyboard keyboard(kSerial);
        auto frame = [&keyboard](int cmd, int st) {
            const sim::Report report = keyboard.stateReport(std::uint8_t(cmd), std::uint8_t(st));
            QByteArray chunk(reinterpret_cast<const char*>(report.data()) + 1, int(report.size()) - 1);
            chunk.append('\0');
            return chunk;
        };
        DataParser parser;
        keyboard.state().workState = true;
        keyboard.state().speed = 1;
        keyboard.state().priceType = 5;
        parser.decode(frame(0x23, 0));
        w->slot_update_dev_state(&parser);
        QCOMPARE(infoLabel()->text(), QStringLiteral("通达信 | 交易中 | 极速 | 五档价"));

        keyboard.state() = sim::SimKeyboard(kSerial).state();
        keyboard.state().workState = on;
        keyboard.state().soft = std::uint8_t(soft);
        parser.decode(frame(command, status));
        w->slot_update_dev_state(&parser);
        QCOMPARE(infoLabel()->text(), statusLine);
        QCOMPARE(w->connectionManager()->watchersRunning(), watching);
        if (sound.isEmpty()) {
            QCOMPARE(sounds.size(), 0);
        } else {
            QCOMPARE(sounds.size(), 1);
            QCOMPARE(sounds.at(0).at(0).toUrl(), QUrl(QStringLiteral("qrc") + sound));
        }
    }

    void noSoundsWithoutSpeech()
    {
        config()->setTtsEnabled(false);
        Widget* w = create();
        QSignalSpy sounds(w->soundReminder(), &SoundReminder::soundPlayed);
        QTRY_COMPARE(w->connectionManager()->keyboardCount(), 1);
        QVERIFY(w->connectionManager()->switchWorkState());
        QTRY_VERIFY(w->connectionManager()->watchersRunning()); // the answer was handled
        QVERIFY(!infoLabel()->text().isEmpty());
        QCOMPARE(sounds.size(), 0);
    }

    void doubleClickSwitchesTradingModeAndTheStatusLineFollows()
    {
        ProbeWidget* w = create();
        w->keyboardHooks = true;
        Core::ConnectionManager* manager = w->connectionManager();
        QTRY_COMPARE(manager->keyboardCount(), 1); // the keyboard's own connection is up
        QSignalSpy sounds(w->soundReminder(), &SoundReminder::soundPlayed);
        m_keyboards->clearRecords(kSerial);

        sendMouse(w, QEvent::MouseButtonDblClick, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
        QTRY_COMPARE(infoLabel()->text(), QStringLiteral("通达信 | 交易中 | 高速 | 限价"));
        QCOMPARE(m_keyboards->receivedFrameBytes(kSerial).size(), size_t(1));
        QCOMPARE(m_keyboards->receivedFrameBytes(kSerial).at(0),
                 (std::vector<std::uint8_t>{0x5A, 0x21, 0, 0, 0xCA}));
        QVERIFY(m_keyboards->state(kSerial).workState);
        QVERIFY(manager->watchersRunning());
        QTRY_COMPARE(sounds.size(), 1);
        QCOMPARE(sounds.at(0).at(0).toUrl(), QUrl(QStringLiteral("qrc:/media/tradeon.wav")));

        sendMouse(w, QEvent::MouseButtonDblClick, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
        QTRY_COMPARE(infoLabel()->text(), QString());
        QVERIFY(!manager->watchersRunning());
        QVERIFY(!m_keyboards->state(kSerial).workState);
        QTRY_COMPARE(sounds.size(), 2);
        QCOMPARE(sounds.at(1).at(0).toUrl(), QUrl(QStringLiteral("qrc:/media/tradeoff.wav")));
    }

    void workOffTimeSwitchesTheKeyboardOff()
    {
        m_keyboards->changeState(kSerial, [](sim::KeyboardState& s) { s.workState = true; });
        ProbeWidget* w = create();
        w->keyboardHooks = true;
        QTRY_VERIFY(w->connectionManager()->getTradeState()); // the hello answer is in
        m_keyboards->clearRecords(kSerial);
        QVERIFY(w->workOffCheck(at(2024, 6, 3, 15, 10)));
        QTRY_VERIFY(!m_keyboards->state(kSerial).workState);
        QCOMPARE(m_keyboards->receivedFrameBytes(kSerial).at(0),
                 (std::vector<std::uint8_t>{0x5A, 0x22, 0x01, 0x00, 0x00, 0xCA}));
    }

    void foregroundClientSwitchesTheKeyboard()
    {
        sim::SimSystem& desktop = installTradingDesktop();
        m_keyboards->changeState(kSerial, [](sim::KeyboardState& s) { s.soft = 1; });
        Widget* w = create();
        QTRY_COMPARE(w->connectionManager()->activeSoftType(), 1);

        // No trading client in front: checked again every five seconds.
        w->onAppSwitchVerifyTimeout();
        QVERIFY(activeTimer(5000));
        QCOMPARE(m_keyboards->state(kSerial).soft, std::uint8_t(1));

        sim::FakeTdx tdx(desktop);
        m_keyboards->clearRecords(kSerial);
        w->onPeriodicCheckTimeout();
        QVERIFY(!activeTimer(5000));
        QTRY_COMPARE(m_keyboards->state(kSerial).soft, std::uint8_t(2));
        QCOMPARE(m_keyboards->receivedFrameBytes(kSerial).at(0),
                 (std::vector<std::uint8_t>{0x5A, 0x20, 0x01, 0x02, 0x02, 0xCA}));
    }

    void autoClickerHotkey()
    {
        installTradingDesktop();
        Widget* w = create();
        auto* clicker = w->findChild<Clicker*>();
        QVERIFY(clicker && !clicker->isRunning());
        m_hotkeys.press(platform::modifier::Control | platform::modifier::Shift, 'Z');
        QVERIFY(clicker->isRunning());
    }

    // The order dialog worker's notices, said from its own thread, are spoken by the clock.
    void workerNoticesAreSpoken_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("spoken"); // empty: silent
        QTest::newRow("order submitted") << 255 << 0 << "委托已提交";
        QTest::newRow("buyable zero") << 64 << 1 << "可买数量为0";
        QTest::newRow("sellable zero") << 64 << 2 << "可卖数量为0";
        QTest::newRow("amount limit") << 64 << 16 << "买入金额超过限额";
        QTest::newRow("not the clicked stock") << 64 << 99 << "下单的股票不是你当前点击的股票,交易取消";
        QTest::newRow("fixed sell empty") << 64 << 108 << "卖出数量为0";
        QTest::newRow("keyboard timed out, buy") << 128 << 1 << "可买数量为0";
        QTest::newRow("cancelled without a known reason") << 128 << 0 << "交易取消";
        QTest::newRow("keyboard-report-only reason") << 128 << 109 << "交易取消";
        QTest::newRow("trade action without reason") << 64 << 0 << QString();
        QTest::newRow("unknown reason") << 64 << 109 << QString();
        QTest::newRow("other action") << 4 << 12 << QString();
    }
    void workerNoticesAreSpoken()
    {
        QFETCH(int, action);
        QFETCH(int, reason);
        QFETCH(QString, spoken);
        ProbeWidget* w = create();
        EditBoxChangeWorker* worker = w->connectionManager()->worker();
        std::thread([worker, action, reason] { emit worker->notice(action, reason); }).join();
        // A marker behind it: once that is spoken, the notice has been handled.
        std::thread([worker] { emit worker->notice(255, 0); }).join();
        const QStringList expected = spoken.isEmpty() ? QStringList{QStringLiteral("委托已提交")}
                                                      : QStringList{spoken, QStringLiteral("委托已提交")};
        QTRY_COMPARE(w->spoken, expected);
    }

    void quitStopsTheKeyboardLink()
    {
        Widget* w = create();
        Core::ConnectionManager* manager = w->connectionManager();
        manager->onTradeStateChanged(true);
        QVERIFY(manager->watchersRunning());
        w->slot_action_quit_clicked();
        QVERIFY(!manager->watchersRunning());
        QVERIFY(!manager->desktopWatcher());
        QVERIFY(!manager->isDeviceConnected());
        // Leaving: an arrival is listed but no keyboard is opened as the active device any more.
        m_keyboards->addKeyboard("ZK000002");
        QTRY_COMPARE(manager->deviceList().size(), 2);
        QVERIFY(!manager->isDeviceConnected());
    }

    // Leaving through the menu asks the application to quit.
    void quitStopsTimersSavesAndCloses()
    {
        config()->setFixedPosition(false);
        ProbeWidget* w = create();
        w->move(222, 111);
        config()->setFixedPosition(true); // the window's own copy is what gets saved
        w->slot_action_quit_clicked();
        QVERIFY(!w->isVisible());
        for (QTimer* t : w->findChildren<QTimer*>())
            QVERIFY(!t->isActive());
        QSettings saved(config()->iniFilePath(), QSettings::IniFormat);
        QCOMPARE(saved.value("Window/Position").toString(), QStringLiteral("222,111"));
        QCOMPARE(saved.value("Window/FixedPosition").toString(), QStringLiteral("false"));
        // The quit stays pending and would end every later event loop (a modal dialog's exec
        // returns at once): one turn of the application's loop takes it.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    void tdxConfigurationDialogs()
    {
        // 应用 in 买入限制设置 writes the restrictions and has the order dialog worker reload; the
        // recalibration opens the same dialog on its calibration tab.
        Widget* w = create();
        QSignalSpy reloads(w->connectionManager(), &Core::ConnectionManager::reloadCfg);
        TdxCfgDlg* seen = nullptr;
        int tab = -1;
        QTimer::singleShot(0, [&] {
            seen = qobject_cast<TdxCfgDlg*>(QApplication::activeModalWidget());
            QVERIFY(seen);
            seen->findChild<QCheckBox*>(QStringLiteral("enableNotSTCheckBox"))->setChecked(true);
            seen->findChild<QPushButton*>(QStringLiteral("confirmButton"))->click();
        });
        w->slot_action_tdxConfig_clicked();
        QVERIFY(seen);
        QVERIFY(config()->tdxNotST());
        QVERIFY(reloads.count() >= 1);

        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TdxCfgDlg*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            tab = dialog->tabs()->currentIndex();
            dialog->reject();
        });
        w->openTestDialog();
        QCOMPARE(tab, int(TdxCfgDlg::CalibrationTab));
    }
};

ZK_TEST_MAIN(TestWidget)
#include "tst_widget.moc"
