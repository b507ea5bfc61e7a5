// The practice window beside the running program: keys clicked on its keypad go through the
// simulated keyboard to the program and the fake 通达信, the window draws the order dialog as the
// program fills it in, and the order book shows what became of the order.
//
// With ZK_PRACTICE_SCREENSHOTS=<directory> the window is also saved as a picture at the moments
// the user guide shows (scripts/practice-screenshots).

#include "ZkTest.h"

#include "app/PlatformBackends.h"
#include "clock/Widget.h"
#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "sim/desktop/SimSystem.h"
#include "sim/practice/DeskView.h"
#include "sim/practice/Keypad.h"
#include "sim/practice/PracticeWindow.h"
#include "trade/TradeTypes.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>

#include <memory>
#include <set>

using practice::DrawnWindow;
using practice::OrderRow;
using practice::PracticeWindow;

namespace {

constexpr int kOneThirdBuy = 13;
constexpr int kWorkSwitch = 55;
constexpr int kStPreset = 1;
constexpr int kBrokerB = 2; // the layouts in TdxLayout::all()

// Everything the view has painted into the dialogs with that title: each control's text.
struct PaintedTexts
{
    std::set<QString> texts;
    void record(const QVector<DrawnWindow>& drawn, const QString& title)
    {
        for (const DrawnWindow& w : drawn) {
            if (w.title != title)
                continue;
            for (const auto& c : w.controls)
                texts.insert(c.className + QLatin1Char(':') + c.text);
        }
    }
};

bool shows(const QVector<DrawnWindow>& drawn, const QString& title)
{
    for (const DrawnWindow& w : drawn) {
        if (w.title == title)
            return true;
    }
    return false;
}

void saveScreenshot(QWidget* window, const QString& name)
{
    const QString dir = qEnvironmentVariable("ZK_PRACTICE_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QVERIFY(window->grab().save(QDir(dir).filePath(name)));
}

} // namespace

class TestPracticeWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PlatformBackends> m_backends;
    std::unique_ptr<Widget> m_clock;
    std::unique_ptr<PracticeWindow> m_window;

    DemoWorld& demo() { return *m_backends->demo(); }

    // The program in demo mode as main() starts it, with the practice window beside the clock.
    void start()
    {
        m_backends = std::make_unique<PlatformBackends>(PlatformBackends::Mode::Demo);
        m_clock = std::make_unique<Widget>();
        m_clock->show();
        m_window = std::make_unique<PracticeWindow>(demo());
        Widget* clock = m_clock.get();
        m_window->setRestrictionsChanged([clock] { emit clock->connectionManager()->reloadCfg(); });
        m_window->resize(1100, 760);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_COMPARE(m_clock->connectionManager()->keyboardCount(), 1);
    }

    // A click where the button takes it: a check box only on its box and text, which sit at its
    // left end.
    void click(QAbstractButton* button)
    {
        QVERIFY(button);
        QVERIFY(button->isVisible() && button->isEnabled());
        const QPoint at = qobject_cast<QCheckBox*>(button) ? QPoint(8, button->height() / 2) : button->rect().center();
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
    }

    void clickKey(int function) { click(m_window->keypad()->keyFor(function)); }

    // A click on a button the view draws in the window with that title.
    void clickDrawnButton(const QString& title, const QString& text)
    {
        for (const DrawnWindow& w : m_window->desk()->drawn()) {
            for (const auto& c : w.controls) {
                if (w.title == title && c.className == QStringLiteral("Button") && c.text.trimmed() == text) {
                    QTest::mouseClick(m_window->desk(), Qt::LeftButton, Qt::NoModifier,
                                      c.rect.translated(w.rect.topLeft()).center());
                    return;
                }
            }
        }
        QFAIL(qPrintable(QStringLiteral("no button %1 in %2").arg(text, title)));
    }

    // The keyboard's own switch key: the program follows the keyboard into trading mode.
    void switchTradingModeOn()
    {
        clickKey(kWorkSwitch);
        QTRY_VERIFY(m_clock->connectionManager()->watchersRunning());
        QTRY_COMPARE(m_clock->findChild<QLabel*>(QStringLiteral("labelInfo"))->text(),
                     QStringLiteral("通达信 | 交易中 | 高速 | 限价"));
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
        trade::registerMetaTypes();
    }

    void init()
    {
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }

    void cleanup()
    {
        m_window.reset();
        m_clock.reset();
        m_backends.reset();
        ConfigManager::destroyInstance();
    }

    // Trading mode on, 1/3买 clicked: the 闪电买入 dialog is drawn with the quantity the program
    // wrote into it, the order is placed with that quantity, and the order book shows it.
    void oneThirdBuyIsDrawnAndPlaced()
    {
        start();
        PaintedTexts painted;
        connect(m_window->desk(), &practice::DeskView::painted, this,
                [&] { painted.record(m_window->desk()->drawn(), QStringLiteral("闪电买入")); });
        switchTradingModeOn();

        clickKey(kOneThirdBuy);
        QTRY_VERIFY(painted.texts.count(QStringLiteral("Edit:3300")));
        QVERIFY(painted.texts.count(QStringLiteral("Static:600000")));
        QVERIFY(painted.texts.count(QStringLiteral("Static:10000"))); // the maximum

        QTRY_COMPARE(m_window->orderRows().size(), std::size_t(1));
        const OrderRow row = m_window->orderRows().front();
        QCOMPARE(int(row.outcome), int(OrderRow::Outcome::Placed));
        QCOMPARE(row.client, QStringLiteral("通达信"));
        QCOMPARE(row.kind, QStringLiteral("买入"));
        QCOMPARE(row.code, QStringLiteral("600000"));
        QCOMPARE(row.price, QStringLiteral("10.52"));
        QCOMPARE(row.quantity, QStringLiteral("3300"));
        QVERIFY(row.detail.startsWith(QStringLiteral("合同编号")));
        const auto submitted = demo().system().orderBook().submitted();
        QCOMPARE(submitted.size(), std::size_t(1));
        QCOMPARE(submitted.front().quantity, 3300);

        // The client's notice is drawn, then the program closes it.
        QTRY_VERIFY(shows(m_window->desk()->drawn(), QStringLiteral("提示")));
        saveScreenshot(m_window.get(), QStringLiteral("practice-buy.png"));
        QTRY_VERIFY(!shows(m_window->desk()->drawn(), QStringLiteral("提示")));
        QCOMPARE(m_window->orderRows().size(), std::size_t(1)); // nothing more
    }

    // 不买ST股 on, the ST stock in front: the program refuses the buy, closes the dialog, and the
    // order book gives the reason; the client never sees an order.
    void stBuyIsRefusedWithItsReason()
    {
        start();
        click(m_window->findChild<QCheckBox*>(QStringLiteral("notST")));
        QVERIFY(ConfigManager::instance()->tdxNotST());
        m_window->choosePreset(kStPreset);
        bool dialogDrawn = false;
        connect(m_window->desk(), &practice::DeskView::painted, this,
                [&] { dialogDrawn = dialogDrawn || shows(m_window->desk()->drawn(), QStringLiteral("闪电买入")); });
        switchTradingModeOn();

        clickKey(kOneThirdBuy);
        QTRY_COMPARE(m_window->orderRows().size(), std::size_t(1));
        const OrderRow row = m_window->orderRows().front();
        QCOMPARE(int(row.outcome), int(OrderRow::Outcome::RefusedByProgram));
        QCOMPARE(row.detail, QStringLiteral("你选的是ST股票,交易取消"));
        QVERIFY(dialogDrawn);
        QTRY_VERIFY(!shows(m_window->desk()->drawn(), QStringLiteral("闪电买入")));
        saveScreenshot(m_window.get(), QStringLiteral("practice-st-refused.png"));
        QVERIFY(demo().system().orderBook().orders().empty());
        QCOMPARE(m_window->orderRows().size(), std::size_t(1)); // nothing more
    }

    // The panel's choices reach the simulation: a broker's TDX draws its own dialog (券商版B has a
    // combo box), the layout stays while its dialog is open, and with 同花顺 in front (covering
    // that dialog) a buy key opens its order dialog.
    void clientAndLayoutChoicesAreDrawn()
    {
        start();
        QVERIFY(m_window->chooseLayout(kBrokerB));
        clickKey(kOneThirdBuy);
        auto dialogWithCombo = [&] {
            for (const DrawnWindow& w : m_window->desk()->drawn()) {
                for (const auto& c : w.controls) {
                    if (w.title == QStringLiteral("闪电买入") && c.className == QStringLiteral("ComboBox"))
                        return true;
                }
            }
            return false;
        };
        QTRY_VERIFY(dialogWithCombo());
        QVERIFY(!m_window->chooseLayout(0));
        QVERIFY(dialogWithCombo());
        // The user closes it with a click on its 取消, and the layout may change again.
        clickDrawnButton(QStringLiteral("闪电买入"), QStringLiteral("取消"));
        QTRY_VERIFY(!dialogWithCombo());
        QVERIFY(m_window->chooseLayout(0));

        m_window->chooseClient(DemoWorld::Client::Ths);
        QTRY_VERIFY(m_window->desk()->drawn().front().title.startsWith(QStringLiteral("同花顺")));
        QVERIFY(!dialogWithCombo());
        clickKey(kOneThirdBuy);
        QTRY_VERIFY(shows(m_window->desk()->drawn(), QStringLiteral("买入下单")));
    }
};

ZK_TEST_MAIN(TestPracticeWindow)
#include "tst_practicewindow.moc"
