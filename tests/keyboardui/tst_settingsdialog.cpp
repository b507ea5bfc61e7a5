// The keyboard settings dialog on the clock window and simulated keyboards: what "应用" writes
// and when, saving, the software radios, "重置", the focus point, the key map table and its
// write, key map files copied to a second keyboard, the LED radios and the multi-keyboard switch.
// The oracle is what the keyboards received and hold.

#include "clock/Widget.h"
#include "config/ConfigManager.h"
#include "keyboardlink/manager/ConnectionManager.h"
#include "keyboardui/BreathingLight.h"
#include "keyboardui/ColorComboBox.h"
#include "keyboardui/KeyFunctions.h"
#include "keyboardui/MousePositionWidget.h"
#include "keyboardui/SettingsDialog.h"
#include "platform/api/Platform.h"
#include "sim/keyboard/KeyboardSimulator.h"

#include "StubDesktop.h"
#include "ZkTest.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

using Frame = std::vector<std::uint8_t>;

const std::string kFirst = "ZK000001";
const std::string kSecond = "ZK000002";

// The message boxes the dialog opens: each one's title and text is recorded and it is answered
// with the next button text of answers (none left: its default or escape button).
class Boxes : public QObject
{
public:
    struct Box
    {
        QString title;
        QString text;
    };
    QVector<Box> seen;
    QStringList answers;

    Boxes()
    {
        connect(&m_timer, &QTimer::timeout, this, &Boxes::answer);
        m_timer.start(10);
    }
    QStringList texts() const
    {
        QStringList t;
        for (const Box& b : seen)
            t << b.text;
        return t;
    }

private:
    void answer()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            seen.append({box->windowTitle(), box->text()});
            const QString wanted = answers.isEmpty() ? QString() : answers.takeFirst();
            QAbstractButton* press = nullptr;
            for (QAbstractButton* b : box->buttons())
                if (b->text() == wanted)
                    press = b;
            if (!press)
                press = box->defaultButton() ? box->defaultButton() : box->escapeButton();
            if (!press)
                press = box->buttons().value(0);
            press->click();
        }
    }
    QTimer m_timer;
};

Frame frame(std::uint8_t command, std::vector<std::uint8_t> payload)
{
    Frame f{0x5A, command, static_cast<std::uint8_t>(payload.size())};
    std::uint8_t x = 0;
    for (std::uint8_t b : payload) {
        f.push_back(b);
        x ^= b;
    }
    f.push_back(x);
    f.push_back(0xCA);
    return f;
}

// Consecutive copies of one frame as one: the speed goes to every keyboard and then to the
// active one, which is the same keyboard here.
std::vector<Frame> distinct(const std::vector<Frame>& frames)
{
    std::vector<Frame> out;
    for (const Frame& f : frames)
        if (out.empty() || out.back() != f)
            out.push_back(f);
    return out;
}

QByteArray bytesOf(const std::vector<std::uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size()));
}

} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT

private:
    zktest::StubDesktop m_desktop;
    platform::ManualClock m_clock;
    std::unique_ptr<sim::KeyboardSimulator> m_keyboards;
    std::unique_ptr<Widget> m_widget;

    SettingsDialog* dialog() { return m_widget->settingsDialog(); }
    template <typename T> T* child(const char* name)
    {
        T* w = dialog()->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no %s in the dialog", name);
        return w;
    }
    void click(const char* button) { child<QAbstractButton>(button)->click(); }
    QTableWidget* table() { return child<QTableWidget>("tableWidget"); }
    QString cell(int row, int column) { return table()->item(row, column)->text(); }
    std::vector<Frame> sent(const std::string& serial = kFirst)
    {
        return m_keyboards->receivedFrameBytes(serial);
    }

    // The clock on the keyboards plugged in, once the active keyboard's greeting is in the dialog.
    void start()
    {
        m_widget = std::make_unique<Widget>();
        QTRY_COMPARE(m_widget->connectionManager()->keyboardCount(), 1);
        QTRY_VERIFY(
            child<QLabel>("lblKeyboardBuildDate")->text().contains(QStringLiteral("固件版本:20240115")));
    }
    // The key map tab in front, its map read from the keyboard.
    void openKeyMap(int keys)
    {
        child<QTabWidget>("tabWidget")->setCurrentIndex(SettingsDialog::KeyMapTab);
        QTRY_COMPARE(table()->rowCount(), keys);
    }
    void selectRow(int row)
    {
        QTableWidgetItem* item = table()->item(row, 1);
        emit table()->itemClicked(item);
    }
    void changeRowTo(int row, const QString& label)
    {
        selectRow(row);
        auto* combo = child<QComboBox>("comboBox");
        combo->setCurrentIndex(combo->findText(label));
        click("btnOK");
    }
    static QPoint centreOf(const QWidget* w) { return w->pos() + QPoint(w->width() / 2, w->height() / 2); }
    // The points the breathing lights on screen flash.
    static QVector<QPoint> lights()
    {
        QVector<QPoint> centres;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<BreathingLight*>(w) && w->isVisible())
                centres << centreOf(w);
        return centres;
    }
    static void clearLights()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<BreathingLight*>(w))
                delete w;
    }
    // What the settings file holds (not the store's own view).
    static QString storedMultiKeyboard()
    {
        QSettings file(ConfigManager::instance()->iniFilePath(), QSettings::IniFormat);
        return file.value(QStringLiteral("Keyboard/MultiKeyboardEnabled")).toString();
    }
    void setKeyMap(const std::string& serial, std::vector<std::uint8_t> keyMap)
    {
        m_keyboards->changeState(serial, [&](sim::KeyboardState& s) { s.keyMap = keyMap; });
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("ZentrikSoft"));
        QCoreApplication::setApplicationName(QStringLiteral("ZentrikClock"));
    }

    void init()
    {
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
        m_keyboards = std::make_unique<sim::KeyboardSimulator>();
        m_keyboards->addKeyboard(kFirst);
        platform::Services os;
        os.hostDesktop = &m_desktop;
        os.clock = &m_clock;
        m_keyboards->installInto(os);
        platform::install(os);
    }

    void cleanup()
    {
        m_widget.reset();
        ConfigManager::destroyInstance();
        platform::install(platform::Services());
        m_keyboards.reset();
    }

    void formShowsTheKeyboard()
    {
        m_keyboards->changeState(kFirst, [](sim::KeyboardState& s) {
            s.soft = 1;
            s.speed = 5;
            s.focus = 2;
            s.buyConfirm = true;
            s.fnKey = true;
            s.keyDownDelay = 12;
            s.keyUpDelay = 30;
            s.ledColor = 4;
        });
        ConfigManager::instance()->setThsPosition(QPoint(640, 360));
        start();
        QCOMPARE(dialog()->windowTitle(), QStringLiteral("高级设置"));
        QCOMPARE(child<QTabWidget>("tabWidget")->currentIndex(), 0);
        QCOMPARE(child<QLabel>("lblKeyboardBuildDate")->text(),
                 QStringLiteral("设备序列号:ZK000001 固件版本:20240115"));
        QVERIFY(child<QRadioButton>("radioThs")->isChecked());
        QVERIFY(child<QRadioButton>("radioThsActive")->isChecked());
        QVERIFY(child<QRadioButton>("radioFocusMouseMove")->isChecked());
        QCOMPARE(child<QComboBox>("comboBoxSpeed")->currentText(), QStringLiteral("普速"));
        QVERIFY(child<QCheckBox>("chkEnableBuyConfirm")->isChecked());
        QVERIFY(!child<QCheckBox>("chkEnableSellConfirm")->isChecked());
        QVERIFY(child<QCheckBox>("chkDisableFnKey")->isChecked());
        QVERIFY(child<QCheckBox>("chkEnableNumLockOnStart")->isChecked());
        QCOMPARE(child<QSpinBox>("spinKeyDownInterval")->value(), 12);
        QCOMPARE(child<QSpinBox>("spinKeyUpInterval")->value(), 30);
        QVERIFY(!child<QSpinBox>("spinKeyUpInterval")->isEnabled());
        QCOMPARE(child<QLineEdit>("coordinateEdit")->text(), QStringLiteral("X: 640, Y: 360"));
        QVERIFY(child<QRadioButton>("radioLedThsBlue")->isChecked());
    }

    // Only the speed and the buy confirmation changed: two writes, the speed first, the second
    // one a pacing interval later, with the progress counting them.
    void applyWritesTheChangesOneByOne()
    {
        start();
        m_keyboards->clearRecords(kFirst);
        child<QComboBox>("comboBoxSpeed")->setCurrentIndex(3); // 快速
        child<QCheckBox>("chkEnableBuyConfirm")->setChecked(true);
        click("btnApply");

        QPointer<QProgressDialog> progress = dialog()->findChild<QProgressDialog*>();
        QVERIFY(progress);
        QCOMPARE(progress->windowTitle(), QStringLiteral("请稍候"));
        QCOMPARE(progress->labelText(), QStringLiteral("正在更新设备参数..."));
        QCOMPARE(progress->maximum(), 2);
        QCOMPARE(progress->value(), 1);
        const QVector<QPair<DevParamId, int>> writes{{DevParamId::Speed, 4}, {DevParamId::BuyConfirm, 1}};
        QCOMPARE(dialog()->pendingWrites(), writes);

        const std::vector<Frame> expected{frame(0x33, {4}), frame(0x2B, {1})};
        QTRY_COMPARE(distinct(sent()), expected);
        QTRY_VERIFY(!progress);
        const auto frames = m_keyboards->receivedFrames(kFirst);
        QVERIFY(frames.back().receivedAtMs - frames.front().receivedAtMs >=
                SettingsDialog::ParameterIntervalMs - 50);
        QCOMPARE(m_keyboards->state(kFirst).speed, std::uint8_t(4));
        QVERIFY(m_keyboards->state(kFirst).buyConfirm);

        // The keyboard's answers are the new device values: nothing is left to apply.
        QTRY_VERIFY(child<QCheckBox>("chkEnableBuyConfirm")->isChecked());
        const auto before = sent().size();
        Boxes boxes;
        click("btnApply");
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("没有参数被修改.")});
        QCOMPARE(boxes.seen.at(0).title, QStringLiteral("提示"));
        QTest::qWait(SettingsDialog::ParameterIntervalMs + 100);
        QCOMPARE(sent().size(), before);
    }

    void everyParameterHasItsPlaceInTheQueue()
    {
        start();
        m_keyboards->clearRecords(kFirst);
        child<QComboBox>("comboBoxSpeed")->setCurrentIndex(0);
        child<QRadioButton>("radioFocusEnable")->setChecked(true);
        for (const char* box : {"chkEnableTradeOpenOnStart", "chkEnableNumLockOnStart", "chkEnableCancelAll",
                                "chkEnableQuerySwitch", "chkEnableCostStat", "chkEnableBuyConfirm",
                                "chkEnableSellConfirm", "chkDisableFnKey"})
            child<QCheckBox>(box)->toggle();
        child<QRadioButton>("radioThs")->setChecked(true);
        click("btnApply");
        const QVector<QPair<DevParamId, int>> writes{
            {DevParamId::Speed, 1},      {DevParamId::Focus, 1},       {DevParamId::Cancel, 1},
            {DevParamId::Cost, 1},       {DevParamId::Query, 1},       {DevParamId::FnKey, 1},
            {DevParamId::BuyConfirm, 1}, {DevParamId::SellConfirm, 1}, {DevParamId::Soft, 1},
            {DevParamId::Trade, 1},      {DevParamId::NumLock, 0}};
        QCOMPARE(dialog()->pendingWrites(), writes);
        QTRY_COMPARE_WITH_TIMEOUT(distinct(sent()).size(), size_t(11), 10000);
        const sim::KeyboardState s = m_keyboards->state(kFirst);
        QCOMPARE(s.speed, std::uint8_t(1));
        QCOMPARE(s.focus, std::uint8_t(1));
        QVERIFY(s.cancelAll && s.costStat && s.queryKey && s.fnKey && s.buyConfirm && s.sellConfirm &&
                s.tradeOnStartup && !s.numLock);
        QCOMPARE(s.soft, std::uint8_t(1));
    }

    // "保存": the keyboard stores what it holds, and the dialog closes as accepted.
    void saveStoresInTheKeyboard()
    {
        start();
        m_keyboards->clearRecords(kFirst);
        QTimer::singleShot(0, this, [this] { click("btnSave"); });
        QCOMPARE(dialog()->exec(), int(QDialog::Accepted));
        QTRY_COMPARE(sent(), std::vector<Frame>{frame(0x3F, {})});
    }

    // The software radios switch the keyboard at once and show that software's focus point.
    void softwareRadiosSwitchTheKeyboard()
    {
        ConfigManager::instance()->setThsPosition(QPoint(10, 20));
        ConfigManager::instance()->setTdxPosition(QPoint(-5, 7));
        start();
        m_keyboards->clearRecords(kFirst);
        click("radioThsActive");
        QCOMPARE(child<QLineEdit>("coordinateEdit")->text(), QStringLiteral("X: 10, Y: 20"));
        QTRY_COMPARE(sent(), std::vector<Frame>{frame(0x20, {1})});
        QTRY_COMPARE(m_keyboards->state(kFirst).soft, std::uint8_t(1));
        click("radioTdxActive");
        QCOMPARE(child<QLineEdit>("coordinateEdit")->text(), QStringLiteral("X: -5, Y: 7"));
        QTRY_COMPARE(sent().size(), size_t(2));
        QCOMPARE(sent().back(), frame(0x20, {2}));
    }

    // "重置" asks the keyboard for its state, and its answer replaces what the form was changed to.
    void reloadResetsTheForm()
    {
        start();
        child<QCheckBox>("chkEnableCancelAll")->setChecked(true);
        child<QComboBox>("comboBoxSpeed")->setCurrentIndex(5);
        m_keyboards->clearRecords(kFirst);
        click("btnReload");
        QTRY_COMPARE(sent(), std::vector<Frame>{frame(0xA0, {})});
        QTRY_VERIFY(!child<QCheckBox>("chkEnableCancelAll")->isChecked());
        QCOMPARE(child<QComboBox>("comboBoxSpeed")->currentText(), QStringLiteral("高速"));
    }

    void focusPointIsPickedPerSoftware_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("stored");
        QTest::newRow("确定") << QStringLiteral("确定") << true;
        QTest::newRow("取消") << QStringLiteral("取消") << false;
    }

    void focusPointIsPickedPerSoftware()
    {
        QFETCH(QString, answer);
        QFETCH(bool, stored);
        start(); // TDX is the keyboard's software
        clearLights();
        QCursor::setPos(300, 200);
        click("radioFocusPositon");
        auto* tracker = dialog()->findChild<MousePositionWidget*>();
        QTRY_VERIFY(tracker->isVisible());
        QTRY_COMPARE(tracker->positionText(), QStringLiteral("X: 300, Y: 200"));
        QCOMPARE(centreOf(tracker), QPoint(300, 200));

        Boxes boxes;
        boxes.answers << answer;
        emit tracker->leftClicked();
        QVERIFY(!tracker->isVisible());
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen.at(0).title, QStringLiteral("保存确认"));
        QCOMPARE(boxes.seen.at(0).text, QStringLiteral("是否确定把把鼠标移动到当前位置 X: 300, Y: 200 ?"));
        ConfigManager* config = ConfigManager::instance();
        QCOMPARE(config->tdxPosition(), stored ? QPoint(300, 200) : QPoint(0, 0));
        QCOMPARE(config->thsPosition(), QPoint(0, 0));
        QCOMPARE(child<QLineEdit>("coordinateEdit")->text(),
                 QStringLiteral("X: %1, Y: %2").arg(stored ? 300 : 0).arg(stored ? 200 : 0));
        QCOMPARE(lights(), stored ? QVector<QPoint>{QPoint(300, 200)} : QVector<QPoint>());
    }

    void positionDisplayFlashesOnlyAValidPoint_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("centre"); // (-1, -1): nothing flashed
        QTest::newRow("stored form") << QStringLiteral("X: 120, Y: 80") << QPoint(120, 80);
        QTest::newRow("negative, no spaces") << QStringLiteral("X:-30,Y:40") << QPoint(-30, 40);
        QTest::newRow("not a point") << QStringLiteral("120, 80") << QPoint(-1, -1);
        QTest::newRow("too large") << QStringLiteral("X: 99999999999, Y: 1") << QPoint(-1, -1);
    }

    void positionDisplayFlashesOnlyAValidPoint()
    {
        QFETCH(QString, text);
        QFETCH(QPoint, centre);
        start();
        clearLights();
        child<QLineEdit>("coordinateEdit")->setText(text);
        click("btnToPositon");
        QCOMPARE(lights(), centre == QPoint(-1, -1) ? QVector<QPoint>() : QVector<QPoint>{centre});
    }

    // The map is read once, on the first visit of the key tab; a code without a label shows its
    // number, and a map holding one cannot be saved.
    void keyMapTableShowsTheKeyboardsMap()
    {
        start();
        m_keyboards->clearRecords(kFirst);
        openKeyMap(24); // the keyboard's map has 查询资金 (2) and 选股 (50), which have no label
        QCOMPARE(sent(), std::vector<Frame>{frame(0xF3, {})});
        QCOMPARE(cell(0, 0), QStringLiteral("1"));
        QCOMPARE(cell(0, 1), QStringLiteral("查询"));
        QCOMPARE(cell(7, 2), QStringLiteral("市买"));
        QCOMPARE(table()->item(7, 2)->background().color(), QColor(Qt::red));
        QCOMPARE(table()->item(14, 1)->background().color(), QColor(128, 128, 255)); // 市卖
        QCOMPARE(cell(21, 1), QStringLiteral("2"));
        QCOMPARE(cell(21, 2), QStringLiteral("2"));
        QCOMPARE(cell(22, 2), QStringLiteral("50"));
        QCOMPARE(cell(23, 2), QStringLiteral("开关"));
        QCOMPARE(table()->item(23, 2)->background().color(), QColor(Qt::darkGreen));

        child<QTabWidget>("tabWidget")->setCurrentIndex(0);
        child<QTabWidget>("tabWidget")->setCurrentIndex(SettingsDialog::KeyMapTab);
        QTest::qWait(100);
        QCOMPARE(sent().size(), size_t(1)); // not asked again

        changeRowTo(1, QStringLiteral("全买"));
        Boxes boxes;
        click("btnSaveKeyMap");
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("2:暂不支持该选项")});
        QCOMPARE(sent().size(), size_t(1)); // nothing written
    }

    void rowEditing()
    {
        setKeyMap(kFirst, {1, 10, 20, 30});
        start();
        openKeyMap(4);

        Boxes boxes;
        click("btnOK");
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请点击要修改的按键记录.")});

        selectRow(2);
        QCOMPARE(child<QLabel>("labelKeyIndex")->text(), QStringLiteral("3"));
        QCOMPARE(child<QLabel>("labelKeyName")->text(), QStringLiteral("定卖"));
        QCOMPARE(child<QComboBox>("comboBox")->currentText(), QStringLiteral("定卖"));
        QCOMPARE(table()->item(2, 0)->background().color(), QColor(Qt::darkYellow));
        QCOMPARE(table()->item(0, 0)->background().color(), QColor(Qt::darkCyan));

        // The same function again: the row stays unchanged.
        click("btnOK");
        QCOMPARE(cell(2, 2), QStringLiteral("定卖"));
        QCOMPARE(cell(2, 3), QString());
        click("btnSaveKeyMap");
        QCOMPARE(boxes.texts().last(), QStringLiteral("没有任何修改，无需保存"));

        changeRowTo(2, QStringLiteral("1/3卖"));
        QCOMPARE(cell(2, 2), QStringLiteral("1/3卖"));
        QCOMPARE(cell(2, 3), QStringLiteral("定卖 -> 1/3卖"));
        QCOMPARE(child<QLabel>("labelKeyName")->text(), QStringLiteral("1/3卖"));
        click("btnRevert");
        QCOMPARE(cell(2, 2), QStringLiteral("定卖"));
        QCOMPARE(cell(2, 3), QString());
        QCOMPARE(child<QComboBox>("comboBox")->currentText(), QStringLiteral("定卖"));

        // Declining the question writes nothing.
        changeRowTo(0, QStringLiteral("禁用"));
        m_keyboards->clearRecords(kFirst);
        boxes.answers << QStringLiteral("取消");
        click("btnSaveKeyMap");
        QCOMPARE(boxes.seen.last().title, QStringLiteral("保存"));
        QCOMPARE(boxes.seen.last().text, QStringLiteral("是否保存修改？"));
        QTest::qWait(100);
        QVERIFY(sent().empty());
    }

    // What a user does in the demo: a new speed and a new key, saved; the keyboard's answers to a
    // fresh state and key map request show them.
    void speedAndKeySavedReachTheKeyboard()
    {
        setKeyMap(kFirst, {1, 10, 20, 30});
        start();
        child<QComboBox>("comboBoxSpeed")->setCurrentIndex(0); // 极速
        click("btnApply");
        QTRY_COMPARE(m_keyboards->state(kFirst).speed, std::uint8_t(1));

        openKeyMap(4);
        changeRowTo(1, QStringLiteral("1/2买"));
        m_keyboards->clearRecords(kFirst);
        Boxes boxes;
        boxes.answers << QStringLiteral("确定");
        click("btnSaveKeyMap");
        QTRY_COMPARE(sent(), std::vector<Frame>{frame(0x1E, {1, 12, 20, 30})});
        // The keyboard's answer is the table's new "current" map.
        QTRY_COMPARE(cell(1, 1), QStringLiteral("1/2买"));
        QCOMPARE(cell(1, 3), QString());

        child<QTabWidget>("tabWidget")->setCurrentIndex(0);
        QTimer::singleShot(0, this, [this] { click("btnSave"); });
        QCOMPARE(dialog()->exec(), int(QDialog::Accepted));
        QTRY_COMPARE(sent().back(), frame(0x3F, {}));

        // A restart brings back what was stored.
        m_keyboards->clearRecords(kFirst);
        m_widget->connectionManager()->reboot();
        QTRY_COMPARE(sent().size(), size_t(1));
        child<QComboBox>("comboBoxSpeed")->setCurrentIndex(5);
        click("btnReload");
        click("btnReflash");
        QTRY_COMPARE(sent().size(), size_t(3));
        QCOMPARE(m_keyboards->state(kFirst).speed, std::uint8_t(1));
        QCOMPARE(bytesOf(m_keyboards->state(kFirst).keyMap), bytesOf({1, 12, 20, 30}));
        QTRY_COMPARE(child<QComboBox>("comboBoxSpeed")->currentText(), QStringLiteral("极速"));
        QCOMPARE(cell(1, 1), QStringLiteral("1/2买"));
    }

    // A map saved from one keyboard, loaded on another and saved there, gives it the same map.
    void keyMapCopiedToASecondKeyboard()
    {
        const std::vector<std::uint8_t> layout{1,  10, 11, 12, 13, 14, 15, 19, 20, 21, 22, 23,
                                               24, 25, 29, 31, 30, 33, 32, 18, 17, 0,  55, 1};
        setKeyMap(kFirst, layout);
        m_keyboards->addKeyboard(kSecond);
        start();
        openKeyMap(24);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("键位.json"));
        Boxes boxes;
        QVERIFY(dialog()->exportKeyMap(path));

        // The second keyboard becomes the active one: its own map replaces the first one's.
        m_keyboards->unplug(kFirst);
        QTRY_COMPARE_WITH_TIMEOUT(m_widget->deviceSerialNumber(), QString::fromStdString(kSecond), 10000);
        QTRY_COMPARE(cell(21, 1), QStringLiteral("2"));
        QCOMPARE(child<QLabel>("lblKeyMapKeyboard")->text(), QStringLiteral("设备序列号:ZK000002"));

        QVERIFY(dialog()->importKeyMap(path));
        QCOMPARE(cell(15, 2), QStringLiteral("全撤"));
        QCOMPARE(cell(15, 3), QStringLiteral("撤单 -> 全撤"));
        QCOMPARE(cell(21, 2), QStringLiteral("禁用"));
        QCOMPARE(cell(0, 3), QString());
        m_keyboards->clearRecords(kSecond);
        boxes.answers << QStringLiteral("确定");
        click("btnSaveKeyMap");
        QTRY_COMPARE(sent(kSecond), std::vector<Frame>{frame(0x1E, layout)});
        QTRY_COMPARE(bytesOf(m_keyboards->state(kSecond).keyMap), bytesOf(layout));
        QTRY_COMPARE(cell(15, 1), QStringLiteral("全撤"));
    }

    void importRefusesAnotherKeyboardsSize()
    {
        setKeyMap(kFirst, {1, 10, 20});
        start();
        openKeyMap(3);
        QTemporaryDir dir;
        const QString longer = dir.filePath(QStringLiteral("long.json"));
        QFile file(longer);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"type": "ZentrikClock key map", "version": 1,
                      "keys": [{"key": 1, "code": 0}, {"key": 2, "code": 0}, {"key": 3, "code": 0}, {"key": 4, "code": 0}]})");
        file.close();
        const QString other = dir.filePath(QStringLiteral("other.json"));
        QFile profile(other);
        QVERIFY(profile.open(QIODevice::WriteOnly));
        profile.write(R"({"name": "金融终端", "codeIndex": 3})");
        profile.close();

        Boxes boxes;
        QVERIFY(!dialog()->importKeyMap(longer));
        QVERIFY(!dialog()->importKeyMap(other));
        QCOMPARE(boxes.texts(),
                 (QStringList{QStringLiteral("键位文件有4个按键，当前键盘有3个按键，无法导入。"),
                              QStringLiteral("该文件不是键位文件。")}));
        for (int row = 0; row < 3; ++row)
            QCOMPARE(cell(row, 2), cell(row, 1));
    }

    void ledRadios_data()
    {
        QTest::addColumn<int>("reported");
        QTest::addColumn<QString>("checked"); // empty: none
        QTest::newRow("1") << 1 << QStringLiteral("radioLedDefault");
        QTest::newRow("3") << 3 << QStringLiteral("radioLedGreen");
        QTest::newRow("5") << 5 << QStringLiteral("radioLedThsGreen");
        QTest::newRow("0") << 0 << QString();
        QTest::newRow("6") << 6 << QString();
    }

    void ledRadios()
    {
        QFETCH(int, reported);
        QFETCH(QString, checked);
        m_keyboards->changeState(kFirst, [&](sim::KeyboardState& s) { s.ledColor = std::uint8_t(reported); });
        start();
        QStringList on;
        for (QRadioButton* r : dialog()->findChildren<QRadioButton*>())
            if (r->objectName().startsWith(QStringLiteral("radioLed")) && r->isChecked())
                on << r->objectName();
        QCOMPARE(on, checked.isEmpty() ? QStringList() : QStringList{checked});

        // 应用 with nothing checked does nothing; the reported colour is "no change"; another
        // colour is written.
        m_keyboards->clearRecords(kFirst);
        Boxes boxes;
        click("btnLedApply");
        if (checked.isEmpty()) {
            QVERIFY(boxes.seen.isEmpty());
        } else {
            QCOMPARE(boxes.texts(), QStringList{QStringLiteral("没有参数被修改.")});
        }
        click("radioLedBlue");
        click("btnLedApply");
        QTRY_COMPARE(sent(), std::vector<Frame>{frame(0xED, {2})});
    }

    void multiKeyboardSwitch()
    {
        m_keyboards->addKeyboard(kSecond);
        start();
        auto* check = child<QCheckBox>("chkEnableMultiKeyboard");
        auto* info = child<QLabel>("lblMultiKeyboardInfo");
        QVERIFY(!check->isChecked());
        QCOMPARE(info->text(), QStringLiteral("已禁用多键盘支持，只支持单键盘"));
        Core::ConnectionManager* manager = m_widget->connectionManager();

        check->setChecked(true);
        QCOMPARE(info->text(), QStringLiteral("已启用多键盘支持，支持多个灵拓键盘同步操作"));
        QCOMPARE(info->styleSheet(), QStringLiteral("color: #006600; font-size: 14px;"));
        QVERIFY(manager->isMultiKeyboardEnabled());
        QCOMPARE(storedMultiKeyboard(), QStringLiteral("true"));
        QTRY_COMPARE_WITH_TIMEOUT(manager->keyboardCount(), 2, 10000);

        check->setChecked(false);
        QVERIFY(!manager->isMultiKeyboardEnabled());
        QCOMPARE(manager->keyboardCount(), 1);
        QCOMPARE(storedMultiKeyboard(), QStringLiteral("false"));
        QCOMPARE(info->styleSheet(), QStringLiteral("color: #666666; font-size: 14px;"));
    }

    // A dialog that does not belong to the main window tells the user and sends nothing.
    void withoutMainWindowNothingIsSent()
    {
        start();
        m_keyboards->clearRecords(kFirst);
        SettingsDialog orphan;
        Boxes boxes;
        orphan.findChild<QComboBox*>(QStringLiteral("comboBoxSpeed"))->setCurrentIndex(5);
        orphan.findChild<QPushButton*>(QStringLiteral("btnApply"))->click();
        orphan.findChild<QPushButton*>(QStringLiteral("btnReload"))->click();
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen.at(0).title, QStringLiteral("Error"));
        QCOMPARE(boxes.seen.at(0).text, QStringLiteral("无法获取主窗口指针。"));
        QTest::qWait(100);
        QVERIFY(sent().empty());
    }

    // The menu entry: loaded afresh from the keyboard, centred on the screen, modal.
    void menuEntryOpensTheDialog()
    {
        start();
        m_keyboards->changeState(kFirst, [](sim::KeyboardState& s) { s.costStat = true; });
        child<QCheckBox>("chkEnableSellConfirm")->setChecked(true); // left over from last time
        m_keyboards->clearRecords(kFirst);
        bool modal = false;
        bool reloaded = false;
        QTimer::singleShot(0, this, [&] {
            modal = QTest::qWaitFor([&] { return QApplication::activeModalWidget() == dialog(); });
            reloaded = QTest::qWaitFor([&] { return child<QCheckBox>("chkEnableCostStat")->isChecked(); });
            dialog()->reject();
        });
        m_widget->slot_action_devSetting_clicked();
        QVERIFY(modal);
        QVERIFY(reloaded); // by the keyboard's answer
        QVERIFY(!child<QCheckBox>("chkEnableSellConfirm")->isChecked());
        QCOMPARE(sent(), std::vector<Frame>{frame(0xA0, {})});
        // Centred (a few pixels' play: the fonts' fallbacks settle their sizes at the first paint).
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint offCentre = dialog()->pos() + QPoint(dialog()->width() / 2, dialog()->height() / 2) -
                                 QPoint(available.width() / 2, available.height() / 2);
        QVERIFY2(offCentre.manhattanLength() <= 4,
                 qPrintable(QStringLiteral("%1, %2").arg(offCentre.x()).arg(offCentre.y())));
    }

    void functionColours_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("撤买: cancels first") << QStringLiteral("撤买") << QColor(255, 128, 192);
        QTest::newRow("全撤") << QStringLiteral("全撤") << QColor(255, 128, 192);
        QTest::newRow("融市") << QStringLiteral("融市") << QColor(Qt::red);
        QTest::newRow("1/3买") << QStringLiteral("1/3买") << QColor(Qt::red);
        QTest::newRow("市卖") << QStringLiteral("市卖") << QColor(128, 128, 255);
        QTest::newRow("禁用") << QStringLiteral("禁用") << QColor(Qt::black);
        QTest::newRow("开关") << QStringLiteral("开关") << QColor(Qt::darkGreen);
        QTest::newRow("查询") << QStringLiteral("查询") << QColor(255, 128, 128);
        QTest::newRow("a bare code") << QStringLiteral("50") << QColor(255, 128, 128);
    }

    void functionColours()
    {
        QFETCH(QString, label);
        QFETCH(QColor, colour);
        QCOMPARE(KeyFunctions::color(label), colour);
    }
};

ZK_TEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
