// The clock's dialogs on their own: where the appearance dialog opens, what it writes and when,
// dragging by its strip, the clickable line edit, the support dialog's QR code, and a click under
// the dimmer reaching the window below (real X input under Xvfb).

#include "clock/dialogs/AboutDialog.h"
#include "clock/dialogs/BLineEdit.h"
#include "clock/dialogs/CustomerServiceDialog.h"
#include "clock/dialogs/DimmerWidget.h"
#include "clock/dialogs/SetDlg.h"
#include "clock/dialogs/TitleMoveWidget.h"
#include "config/ConfigManager.h"
#include "platform/api/Platform.h"
#include "platform/linux/X11Desktop.h"
#include "resources/Resources.h"

#include "ZkTest.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

namespace {

// A window that counts the presses it gets.
class Target : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

platform::Input mouse(std::uint32_t flags)
{
    platform::Input input;
    input.type = platform::Input::Type::Mouse;
    input.flags = flags;
    return input;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<platform::X11Desktop> m_host;

    ConfigManager* config() { return ConfigManager::instance(); }
    // Reads the settings file afresh, as the next start would.
    void restartStore() { ConfigManager::destroyInstance(); }

    // A left click at screen pixel (x, y), as the user's mouse gives it.
    void clickAt(int x, int y)
    {
        QVERIFY(m_host->setCursorPos(x, y));
        const platform::Input click[] = {mouse(platform::mouseevent::LeftDown), mouse(platform::mouseevent::LeftUp)};
        QCOMPARE(m_host->sendInput(click, 2), 2u);
    }

private slots:
    void initTestCase()
    {
        initResources();
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
        m_host = platform::X11Desktop::open();
        QVERIFY(m_host);
        platform::Services os;
        os.hostDesktop = m_host.get();
        platform::install(os);
    }

    void init() { QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively(); }
    void cleanup() { ConfigManager::destroyInstance(); }

    void placementNearTheClock_data()
    {
        QTest::addColumn<QRect>("clock");
        QTest::addColumn<QPoint>("expected");
        // Screen area 0,0 1920x1040; dialog 395x387. The half of a negative difference is
        // rounded towards zero: 800 + (300 - 395) / 2 = 753.
        QTest::newRow("below, centred") << QRect(800, 100, 300, 80) << QPoint(753, 200);
        QTest::newRow("near the bottom: above") << QRect(800, 900, 300, 80) << QPoint(753, 493);
        QTest::newRow("left edge") << QRect(0, 100, 100, 80) << QPoint(10, 200);
        QTest::newRow("right edge") << QRect(1850, 100, 100, 80) << QPoint(1515, 200);
        QTest::newRow("tall clock at both ends") << QRect(800, 50, 300, 900) << QPoint(753, 10);
    }
    void placementNearTheClock()
    {
        QFETCH(QRect, clock);
        QFETCH(QPoint, expected);
        QCOMPARE(SetDlg::placementNear(clock, QSize(395, 387), QRect(0, 0, 1920, 1040)), expected);
    }

    void fieldsShowTheStore()
    {
        config()->setFontColor(QColor(1, 2, 3));
        config()->setBackgroundAlpha(77);
        config()->setTimeType(QStringLiteral("MM-dd hh:mm:ss"));
        SetDlg dlg;
        QCOMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("lineEdit_font_rgb"))->text(), QStringLiteral("1,2,3"));
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("lineEdit_font_color"))->styleSheet(),
                 QStringLiteral("background-color:rgb(1,2,3);"));
        QCOMPARE(dlg.findChild<QSlider*>(QStringLiteral("horizontalSlider_background_alpha"))->value(), 77);
        QCOMPARE(dlg.findChild<QComboBox*>(QStringLiteral("comboBox_timetype"))->currentIndex(), 4);
        QVERIFY(dlg.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(dlg.size(), QSize(395, 387));
    }

    void choicesAreWrittenAndAnnouncedAtOnce()
    {
        SetDlg dlg;
        QSignalSpy alpha(&dlg, &SetDlg::backgroundAlphaChanged);
        dlg.findChild<QSlider*>(QStringLiteral("horizontalSlider_background_alpha"))->setValue(0);
        QCOMPARE(alpha.size(), 1);
        QCOMPARE(alpha.at(0).at(0).toInt(), 0);
        QCOMPARE(config()->backgroundAlpha(), 0);
        dlg.findChild<QComboBox*>(QStringLiteral("comboBox_timetype"))->setCurrentIndex(7);
        QCOMPARE(config()->timeType(), QStringLiteral("hh:mm:ss:zzz"));
    }

    void anUnofferedFormatStaysUntilApplied()
    {
        config()->setTimeType(QStringLiteral("hh时mm分"));
        SetDlg dlg;
        QCOMPARE(dlg.findChild<QComboBox*>(QStringLiteral("comboBox_timetype"))->currentIndex(), 0);
        QCOMPARE(config()->timeType(), QStringLiteral("hh时mm分"));
        dlg.show();
        QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("pushButton_close")), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        restartStore();
        QCOMPARE(config()->timeType(), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }

    void resetIsSavedEvenWhenEscaped()
    {
        config()->setFontColor(QColor(1, 2, 3));
        config()->setBackgroundAlpha(200);
        config()->saveConfig();
        SetDlg dlg;
        QSignalSpy colour(&dlg, &SetDlg::fontColorChanged);
        QTimer::singleShot(0, &dlg, [&dlg] {
            QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("pushButton_load_defaults")), Qt::LeftButton);
            QTest::keyClick(&dlg, Qt::Key_Escape);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QCOMPARE(colour.size(), 1);
        QCOMPARE(colour.at(0).at(0).value<QColor>(), QColor(255, 0, 127));
        QCOMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("lineEdit_font_rgb"))->text(), QStringLiteral("255,0,127"));
        restartStore();
        QCOMPARE(config()->fontColor(), QColor(255, 0, 127));
        QCOMPARE(config()->backgroundAlpha(), 2);
    }

    void dialogIsDraggedByItsStrip()
    {
        SetDlg dlg;
        dlg.move(300, 300);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* strip = dlg.findChild<TitleMoveWidget*>();
        QVERIFY(strip);
        QCOMPARE(strip->geometry(), QRect(0, 0, dlg.width(), 30));
        const QPoint start = dlg.pos();
        QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
        QMouseEvent move(QEvent::MouseMove, QPoint(80, 30), strip->mapToGlobal(QPoint(80, 30)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(strip, &move);
        QCOMPARE(dlg.pos(), start + QPoint(30, 20));
    }

    void lineEditReportsClicks()
    {
        BLineEdit edit;
        QSignalSpy clicked(&edit, &BLineEdit::clicked);
        QTest::mouseClick(&edit, Qt::LeftButton);
        QTest::mouseClick(&edit, Qt::RightButton);
        QCOMPARE(clicked.size(), 2);
    }

    void supportDialogShowsItsQrCode()
    {
        CustomerServiceDialog dlg;
        const QLabel* code = dlg.findChild<QLabel*>(QStringLiteral("qrCodeLabel"));
        QVERIFY(!code->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("客服支持"));
        QVERIFY(CustomerServiceDialog::unreachableText().contains(QLatin1Char('@')));
    }

    void aboutBoxHasALogo()
    {
        AboutDialog box;
        QCOMPARE(box.size(), QSize(450, 250));
        QVERIFY(!AboutDialog::logo().isNull());
    }

    void clicksPassThroughTheDimmer()
    {
        Target below;
        below.setWindowFlags(Qt::FramelessWindowHint);
        below.setGeometry(300, 300, 200, 200);
        below.show();
        QVERIFY(QTest::qWaitForWindowExposed(&below));

        DimmerWidget dimmer;
        dimmer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dimmer));
        const std::uint32_t passThrough = platform::exstyle::Layered | platform::exstyle::Transparent;
        QCOMPARE(m_host->windowExStyle(dimmer.winId()) & passThrough, passThrough);
        clickAt(400, 400);
        QTRY_COMPARE(below.presses, 1);

        // The sheet without its native styles would catch the click: the test sees the difference.
        QVERIFY(m_host->setWindowExStyle(dimmer.winId(), 0));
        clickAt(400, 400);
        QTest::qWait(200); // a click that must not arrive has no signal to wait for
        QCOMPARE(below.presses, 1);
        QVERIFY(m_host->setWindowExStyle(dimmer.winId(), passThrough));
        clickAt(400, 400);
        QTRY_COMPARE(below.presses, 2);
    }
};

ZK_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
