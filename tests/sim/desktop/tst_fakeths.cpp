// The fake THS honours what the program relies on: main window classes and titles of both
// editions, the current code in hexin.exe's memory, order dialogs confirmed with Enter, the
// 持股机构 window, xiadan.exe and its window, and the installation found through the registry.

#include "DesktopReads.h"

#include "sim/desktop/FakeThs.h"
#include "sim/desktop/SimSystem.h"

#include "ZkTest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>

using namespace platform;
using namespace reads;
using sim::FakeThs;
using sim::FakeThsOptions;
using sim::Order;
using sim::ThsOrderOptions;

namespace {

sim::SimSystem& drivenBy(sim::SimSystem& system, ManualClock& clock)
{
    system.driveEventsFrom(clock);
    return system;
}

struct World
{
    explicit World(FakeThsOptions options = {}) : system(clock), ths(drivenBy(system, clock), options) {}
    sim::SimDesktop& desktop() { return system.desktop(); }

    ManualClock clock;
    sim::SimSystem system;
    FakeThs ths;
};

void press(sim::SimDesktop& desktop, ManualClock& clock, int key)
{
    Input keys[2];
    keys[0].vk = static_cast<std::uint16_t>(key);
    keys[1].vk = static_cast<std::uint16_t>(key);
    keys[1].flags = keyevent::KeyUp;
    desktop.sendInput(keys, 2);
    clock.advance(1);
}

// How the program reads the code THS shows: the module "hexin.exe" of the first hexin.exe
// process, a 32-bit pointer at its base + offset, 8 bytes there, the first character dropped.
bool readThsCode(Processes& processes, std::uint32_t offset, QString& code, bool forceFilter64 = false)
{
    std::vector<ProcessEntry> entries;
    if (!processes.snapshot(entries))
        return false;
    ProcessId pid = 0;
    for (const auto& e : entries) {
        if (qs(e.exeFile).compare(QLatin1String("hexin.exe"), Qt::CaseInsensitive) == 0) {
            pid = e.pid;
            break;
        }
    }
    const ProcessHandle h = pid ? processes.openProcess(access::QueryInformation | access::VmRead, pid) : 0;
    if (!h)
        return false;
    bool ok = false;
    bool wow64 = false;
    std::vector<ModuleEntry> modules;
    if (processes.isWow64Process(h, &wow64) &&
        processes.enumProcessModules(
            h, (wow64 && !forceFilter64) ? ModuleFilter::Bits32 : ModuleFilter::Bits64, modules)) {
        for (const auto& m : modules) {
            if (QString::fromStdString(m.baseName).compare(QLatin1String("hexin.exe"), Qt::CaseInsensitive) !=
                0)
                continue;
            unsigned char pointer[4] = {};
            char text[8] = {};
            std::size_t read = 0;
            if (processes.readProcessMemory(h, m.base + offset, pointer, 4, &read)) {
                const std::uint32_t at =
                    pointer[0] | (pointer[1] << 8) | (pointer[2] << 16) | (std::uint32_t(pointer[3]) << 24);
                if (processes.readProcessMemory(h, at, text, 8, &read) && read == 8) {
                    code = QString::fromUtf8(text, static_cast<int>(qstrnlen(text, 8))).mid(1).trimmed();
                    ok = code.size() >= 6 &&
                         QRegularExpression(QStringLiteral("^[0-9]+$")).match(code).hasMatch();
                }
            }
            break;
        }
    }
    processes.closeHandle(h);
    return ok;
}

WindowId findByTitlePrefix(Desktop& desktop, const QString& prefix)
{
    for (WindowId w : desktop.topLevelWindows()) {
        if (windowText(desktop, w).startsWith(prefix))
            return w;
    }
    return 0;
}

WindowId staticStartingWith(Desktop& desktop, WindowId dialog, const QString& prefix)
{
    for (WindowId child : desktop.childWindows(dialog)) {
        if (className(desktop, child) == QLatin1String("Static") &&
            windowText(desktop, child).startsWith(prefix))
            return child;
    }
    return 0;
}

} // namespace

class TestFakeThs : public QObject
{
    Q_OBJECT

private slots:
    void mainWindows_data();
    void mainWindows();
    void currentCodeReadFromMemory_data();
    void currentCodeReadFromMemory();
    void orderDialogConfirmedWithEnter_data();
    void orderDialogConfirmedWithEnter();
    void orderDialogRefusalAndEscape();
    void holdingWindowAfterTheMessage();
    void f12StartsTheOrderClient();
    void installDirectory_data();
    void installDirectory();
};

void TestFakeThs::mainWindows_data()
{
    QTest::addColumn<bool>("yuanhang");
    QTest::addColumn<QString>("classPrefix");
    QTest::addColumn<QString>("titlePrefix");
    QTest::newRow("classic") << false << "Afx:"
                             << "同花顺";
    QTest::newRow("远航版") << true << "HwndWrapper"
                            << "同花顺远航版";
}

void TestFakeThs::mainWindows()
{
    QFETCH(bool, yuanhang);
    QFETCH(QString, classPrefix);
    QFETCH(QString, titlePrefix);
    FakeThsOptions options;
    options.yuanhang = yuanhang;
    World world(options);
    auto& desktop = world.desktop();
    const WindowId main = world.ths.mainWindow();
    QCOMPARE(desktop.foregroundWindow(), main);
    const QString cls = className(desktop, main);
    QCOMPARE(cls.size(), 31); // the real class names are longer than the 32-unit buffer
    QVERIFY(cls.startsWith(classPrefix));
    QVERIFY(windowText(desktop, main).startsWith(titlePrefix));
    QCOMPARE(desktop.windowProcessId(main), world.ths.pid());
    // The classic client's title must not pass for 远航版.
    QCOMPARE(windowText(desktop, main).startsWith(QStringLiteral("同花顺远航版")), yuanhang);
}

void TestFakeThs::currentCodeReadFromMemory_data()
{
    QTest::addColumn<bool>("wow64");
    QTest::newRow("32-bit THS") << true;
    QTest::newRow("64-bit THS") << false;
}

void TestFakeThs::currentCodeReadFromMemory()
{
    QFETCH(bool, wow64);
    FakeThsOptions options;
    options.wow64 = wow64;
    World world(options);
    auto& processes = world.system.processes();
    QString code;
    QVERIFY(readThsCode(processes, 0x1E96650, code));
    QCOMPARE(code, QStringLiteral("600000"));
    world.ths.setCurrentStock(u"000001", u"平安银行");
    QVERIFY(readThsCode(processes, 0x1E96650, code));
    QCOMPARE(code, QStringLiteral("000001"));

    // The 32-bit client's module is only listed for LIST_MODULES_32BIT.
    QCOMPARE(readThsCode(processes, 0x1E96650, code, true), !wow64);
    // Another offset leads nowhere readable.
    QVERIFY(!readThsCode(processes, 0x1E96654, code));
    // Memory that holds no code is refused.
    world.ths.writeCodeBytes(std::string("H12AB\0\0\0", 8));
    QVERIFY(!readThsCode(processes, 0x1E96650, code));
    QCOMPARE(processes.openHandleCount(), std::size_t(0));
}

void TestFakeThs::orderDialogConfirmedWithEnter_data()
{
    QTest::addColumn<bool>("buy");
    QTest::newRow("buy") << true;
    QTest::newRow("sell") << false;
}

void TestFakeThs::orderDialogConfirmedWithEnter()
{
    QFETCH(bool, buy);
    World world;
    auto& desktop = world.desktop();
    ThsOrderOptions order;
    order.buy = buy;
    order.price = u"10.52";
    order.quantity = u"300";
    const WindowId dialog = world.ths.openOrderDialog(order);
    QCOMPARE(desktop.foregroundWindow(), dialog);
    QCOMPARE(className(desktop, dialog), QStringLiteral("#32770"));
    const QString title = windowText(desktop, dialog);
    // None of the TDX dialog rules may claim it.
    for (const char* word : {"闪电买", "闪电融资买", "闪电卖", "提示", "请选择", "交易确认"})
        QVERIFY2(!title.contains(QString::fromUtf8(word)), qPrintable(title));
    QCOMPARE(desktop.parentWindow(dialog), world.ths.mainWindow());

    press(desktop, world.clock, vk::Return);
    const auto orders = world.system.orderBook().submitted();
    QCOMPARE(orders.size(), std::size_t(1));
    QVERIFY(orders[0].client == Order::Client::Ths);
    QVERIFY(orders[0].kind == (buy ? Order::Kind::Buy : Order::Kind::Sell));
    QCOMPARE(qs(orders[0].code), QStringLiteral("600000"));
    QCOMPARE(qs(orders[0].price), QStringLiteral("10.52"));
    QCOMPARE(orders[0].quantity, std::int64_t(300));
    QVERIFY(!desktop.isWindow(dialog));

    const WindowId notice = desktop.foregroundWindow();
    QCOMPARE(windowText(desktop, notice), QStringLiteral("提示"));
    QVERIFY(staticStartingWith(desktop, notice, QStringLiteral("委托已提交")));
    press(desktop, world.clock, vk::Return);
    QVERIFY(!desktop.isWindow(notice));
    QCOMPARE(desktop.foregroundWindow(), world.ths.mainWindow());
}

void TestFakeThs::orderDialogRefusalAndEscape()
{
    World world;
    auto& desktop = world.desktop();
    ThsOrderOptions order;
    order.quantity = u"0";
    const WindowId dialog = world.ths.openOrderDialog(order);
    press(desktop, world.clock, vk::Return);
    QCOMPARE(world.system.orderBook().submittedCount(), std::size_t(0));
    QCOMPARE(world.system.orderBook().orders().size(), std::size_t(1));
    const WindowId box = desktop.foregroundWindow();
    QCOMPARE(windowText(desktop, box), QStringLiteral("提示"));
    QVERIFY(!staticStartingWith(desktop, box, QStringLiteral("委托已提交")));
    press(desktop, world.clock, vk::Return);
    QCOMPARE(desktop.foregroundWindow(), dialog);
    press(desktop, world.clock, vk::Escape);
    QVERIFY(!desktop.isWindow(dialog));
    QCOMPARE(world.system.orderBook().orders().size(), std::size_t(1));
}

void TestFakeThs::holdingWindowAfterTheMessage()
{
    World world;
    auto& desktop = world.desktop();
    world.ths.setCurrentStock(u"000001", u"平安银行");
    QVERIFY(desktop.postMessage(world.ths.mainWindow(), FakeThs::HoldingWindowMessage, 0, 0));
    world.clock.advance(200);
    QCOMPARE(findByTitlePrefix(desktop, QStringLiteral("持股机构")), WindowId(0));
    world.clock.advance(1);
    const WindowId holding = findByTitlePrefix(desktop, QStringLiteral("持股机构"));
    QVERIFY(holding);
    QCOMPARE(holding, world.ths.holdingWindow());

    // The title ends with the code in parentheses; the name is its last "-" part without them.
    const QString title = windowText(desktop, holding);
    const auto match = QRegularExpression(QStringLiteral("\\((\\d+)\\)$")).match(title);
    QVERIFY(match.hasMatch());
    QCOMPARE(match.captured(1), QStringLiteral("000001"));
    QString name = title.split(QLatin1Char('-'), Qt::SkipEmptyParts).last().trimmed();
    name.remove(match.captured(0));
    QCOMPARE(name, QStringLiteral("平安银行"));

    QVERIFY(desktop.setForegroundWindow(holding));
    press(desktop, world.clock, vk::Return);
    QVERIFY(!desktop.isWindow(holding));
    QCOMPARE(world.ths.holdingWindow(), WindowId(0));
}

void TestFakeThs::f12StartsTheOrderClient()
{
    World world;
    auto& desktop = world.desktop();
    auto& processes = world.system.processes();
    QCOMPARE(world.ths.orderClientPid(), ProcessId(0));
    QVERIFY(desktop.setForegroundWindow(world.ths.mainWindow()));
    press(desktop, world.clock, vk::F12);

    const WindowId window = findByTitlePrefix(desktop, QStringLiteral("网上股票交易系统"));
    QVERIFY(window);
    QCOMPARE(windowText(desktop, window), QStringLiteral("网上股票交易系统5.0"));
    QVERIFY(className(desktop, window).startsWith(QStringLiteral("Afx:")));
    const ProcessId pid = desktop.windowProcessId(window);
    QCOMPARE(processes.findByExe(u"xiadan.exe"), std::vector<ProcessId>{pid});

    CommandResult result = processes.runCommand(u"taskkill", {u"/F", u"/IM", u"xiadan.exe"}, 5000);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(!desktop.isWindow(window));
    QCOMPARE(world.ths.orderClientPid(), ProcessId(0));
    QVERIFY(processes.isRunning(world.ths.pid()));
    result = processes.runCommand(u"taskkill", {u"/F", u"/IM", u"xiadan.exe"}, 5000);
    QCOMPARE(result.exitCode, 128);
}

void TestFakeThs::installDirectory_data()
{
    QTest::addColumn<bool>("yuanhang");
    QTest::newRow("classic") << false;
    QTest::newRow("远航版") << true;
}

void TestFakeThs::installDirectory()
{
    QFETCH(bool, yuanhang);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    FakeThsOptions options;
    options.yuanhang = yuanhang;
    World world(options);
    const QString dir = root.filePath(QStringLiteral("同花顺"));
    const QString ini = QString::fromStdString(world.ths.install(dir.toStdString()));
    QVERIFY(!ini.isEmpty());

    std::u16string value;
    QString expected;
    if (yuanhang) {
        QVERIFY(world.system.registry().readString(
            RegistryRoot::LocalMachine,
            u"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\同花顺远航版",
            u"InstallLocation", value));
        QCOMPARE(qs(value), dir);
        expected = dir + QStringLiteral("/transaction/xiadan.ini");
    } else {
        QVERIFY(world.system.registry().readString(RegistryRoot::CurrentUser, u"Software\\HexinSoft",
                                                   u"FilePath", value));
        QCOMPARE(qs(value), dir + QLatin1Char('/')); // the stored directory ends with a separator
        expected = qs(value) + QStringLiteral("xiadan.ini");
    }
    QCOMPARE(QDir::cleanPath(ini), QDir::cleanPath(expected));

    QFile file(expected);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("\r\n[FLOATSETTING]\r\nFLOATSCHEME={"));
    const QString text = QTextCodec::codecForName("GB2312")->toUnicode(bytes);
    const int start = text.indexOf(QStringLiteral("FLOATSCHEME=")) + 12;
    const QString json = text.mid(start, text.indexOf(QStringLiteral("\r\n"), start) - start);
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
    QVERIFY(doc.isObject());
    QStringList names;
    for (const auto& element : doc.object()
                                   .value(QStringLiteral("FloatSetting"))
                                   .toObject()
                                   .value(QStringLiteral("FloatSchemeList"))
                                   .toArray())
        names << element.toObject().value(QStringLiteral("Name")).toString();
    QCOMPARE(names, (QStringList{QStringLiteral("默认方案"), QStringLiteral("定买"), QStringLiteral("定卖"),
                                 QStringLiteral("融买"), QStringLiteral("市买一")}));
}

ZK_TEST_MAIN(TestFakeThs)
#include "tst_fakeths.moc"
