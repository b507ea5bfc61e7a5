// The fake TDX honours what the program relies on: dialog classes and titles, control positions
// by layout, the maximum quantity after a delay, split buttons, the confirm button and its order
// book, the boxes around an order, and the 64-bit build's TC.exe.

#include "DesktopReads.h"

#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/SimSystem.h"

#include "ZkTest.h"

#include <QRegularExpression>

using namespace platform;
using namespace reads;
using sim::FakeTdx;
using sim::FakeTdxOptions;
using sim::Order;
using sim::TdxDialogKind;
using sim::TdxField;
using sim::TdxIndices;
using sim::TdxLayout;
using sim::TdxOrderOptions;

Q_DECLARE_METATYPE(sim::TdxLayout)
Q_DECLARE_METATYPE(sim::TdxDialogKind)

namespace {

sim::SimSystem& drivenBy(sim::SimSystem& system, ManualClock& clock)
{
    system.driveEventsFrom(clock);
    return system;
}

// A world on a manual clock whose advances run the desktop's due events.
struct World
{
    explicit World(FakeTdxOptions options = {}) : system(clock), tdx(drivenBy(system, clock), options) {}
    sim::SimDesktop& desktop() { return system.desktop(); }

    ManualClock clock;
    sim::SimSystem system;
    FakeTdx tdx;
};

void setQuantity(Desktop& desktop, WindowId edit, const std::u16string& text)
{
    desktop.sendMessage(edit, msg::SetText, 0, reinterpret_cast<std::intptr_t>(text.c_str()));
}

// The confirm button as the program looks for it: the first visible, enabled "Button" whose
// text without spaces is one of the order verbs.
WindowId findConfirmButton(Desktop& desktop, WindowId dialog)
{
    for (WindowId child : desktop.childWindows(dialog)) {
        if (className(desktop, child) != QLatin1String("Button"))
            continue;
        const QString raw = windowText(desktop, child);
        QString text = raw.simplified();
        text.remove(QLatin1Char(' '));
        const bool verb = text == QStringLiteral("买入") || text == QStringLiteral("卖出") ||
                          text == QStringLiteral("融资买入") || text == QStringLiteral("融券卖出");
        if (verb && !raw.contains(QStringLiteral("数量")) && !raw.contains(QStringLiteral("金额")) &&
            desktop.isWindowVisible(child) && desktop.isWindowEnabled(child))
            return child;
    }
    return 0;
}

WindowId findButtonByText(Desktop& desktop, WindowId dialog, const QString& wanted)
{
    for (WindowId child : desktop.childWindows(dialog)) {
        if (className(desktop, child).contains(QLatin1String("Button"), Qt::CaseInsensitive) &&
            windowText(desktop, child).trimmed() == wanted.trimmed())
            return child;
    }
    return 0;
}

bool isInteger(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]+$"));
    return pattern.match(text).hasMatch();
}

bool isPrice(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]+\\.[0-9]+$"));
    return pattern.match(text).hasMatch();
}

bool isValidStockName(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[一-鿿*ST退]+$"));
    return pattern.match(text).hasMatch();
}

// The calibration test of the TDX settings dialog, for a dialog showing 600000 浦发银行.
TdxIndices calibrate(Desktop& desktop, WindowId dialog)
{
    TdxIndices found;
    int position = 0;
    for (WindowId c = desktop.findWindowEx(dialog, 0, u"Static", nullptr); c;
         c = desktop.findWindowEx(dialog, c, u"Static", nullptr), ++position) {
        const QString text = windowText(desktop, c);
        if (text.size() == 6 && isInteger(text) && text == QLatin1String("600000"))
            found.code = position;
        if (isValidStockName(text) &&
            (text.contains(QStringLiteral("浦发")) || text.contains(QStringLiteral("银行"))))
            found.name = position;
    }
    position = 0;
    for (WindowId c = desktop.findWindowEx(dialog, 0, u"Edit", nullptr); c;
         c = desktop.findWindowEx(dialog, c, u"Edit", nullptr), ++position) {
        const QString text = controlText(desktop, c);
        if (found.price < 0 && isPrice(text))
            found.price = position;
        if (found.quantity < 0 && isInteger(text) && text != QLatin1String("600000"))
            found.quantity = position;
    }
    position = 0;
    for (WindowId c = desktop.findWindowEx(dialog, 0, u"Static", nullptr); c;
         c = desktop.findWindowEx(dialog, c, u"Static", nullptr), ++position) {
        const QString text = windowText(desktop, c);
        bool ok = false;
        const int value = text.toInt(&ok);
        if (found.maxQuantity < 0 && position != found.code && isInteger(text) &&
            text != QLatin1String("600000") && ok && (value == 0 || value >= 100))
            found.maxQuantity = position;
    }
    return found;
}

WindowId findDialogByTitle(Desktop& desktop, const QString& title, ProcessId pid)
{
    for (WindowId w : desktop.topLevelWindows()) {
        if (className(desktop, w) == QLatin1String("#32770") && desktop.isWindowVisible(w) &&
            windowText(desktop, w).contains(title) && (pid == 0 || desktop.windowProcessId(w) == pid))
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

void press(sim::SimDesktop& desktop, ManualClock& clock, int key)
{
    desktop.keybdEvent(static_cast<std::uint8_t>(key), false);
    desktop.keybdEvent(static_cast<std::uint8_t>(key), true);
    clock.advance(1);
}

} // namespace

class TestFakeTdx : public QObject
{
    Q_OBJECT

private slots:
    void builtInLayoutIsTheBuiltInProfile();
    void layoutsReadByTheirIndices_data();
    void layoutsReadByTheirIndices();
    void calibrationFindsTheLayoutIndices_data();
    void calibrationFindsTheLayoutIndices();
    void maximumAppearsAfterItsDelay_data();
    void maximumAppearsAfterItsDelay();
    void splitButtonsFillWholeLots_data();
    void splitButtonsFillWholeLots();
    void splitButtonQuirks();
    void confirmPlacesTheOrder_data();
    void confirmPlacesTheOrder();
    void refusedOrdersShowTdxBox_data();
    void refusedOrdersShowTdxBox();
    void sellAndMarginDialogs();
    void escapeClosesWithoutOrder();
    void tradeConfirmationComesFirst();
    void hiddenDecoyButtonDoesNothing();
    void fixedQuantityAppearsWithTheMaximum();
    void delayedVisibility();
    void tdx64DialogsBelongToTC();
    void keyboardSplitMode();
    void cancelAndOtherBoxes();
    void mainWindowPagesAndCopy();
    void taskkillEndsTheClient();
};

void TestFakeTdx::builtInLayoutIsTheBuiltInProfile()
{
    const TdxLayout l = TdxLayout::jinRongZhongDuan();
    QCOMPARE(qs(l.name), QStringLiteral("金融终端"));
    const auto b = l.buyIndices;
    const auto m = l.marginIndices;
    QCOMPARE((QList<int>{b.code, b.name, b.price, b.quantity, b.maxQuantity}), (QList<int>{2, 3, 0, 2, 8}));
    QCOMPARE((QList<int>{m.code, m.name, m.price, m.quantity, m.maxQuantity}), (QList<int>{6, 7, 0, 2, 8}));
}

void TestFakeTdx::layoutsReadByTheirIndices_data()
{
    QTest::addColumn<TdxLayout>("layout");
    QTest::addColumn<TdxDialogKind>("kind");
    for (const TdxLayout& l : TdxLayout::all()) {
        const QByteArray name = qs(l.name).toUtf8();
        QTest::newRow(name + " 闪电买入") << l << TdxDialogKind::FlashBuy;
        QTest::newRow(name + " 闪电融资买入") << l << TdxDialogKind::MarginBuy;
        QTest::newRow(name + " 闪电卖出") << l << TdxDialogKind::FlashSell;
    }
}

void TestFakeTdx::layoutsReadByTheirIndices()
{
    QFETCH(TdxLayout, layout);
    QFETCH(TdxDialogKind, kind);
    FakeTdxOptions options;
    options.layout = layout;
    World world(options);
    auto& desktop = world.desktop();
    TdxOrderOptions order;
    order.code = u"000001";
    order.name = u"平安银行";
    order.price = u"12.34";
    order.quantity = u"0";
    order.maxQuantity = 12300;
    const WindowId dialog = world.tdx.openOrderDialog(kind, order);
    QVERIFY(dialog);
    QCOMPARE(desktop.foregroundWindow(), dialog);
    QCOMPARE(className(desktop, dialog), QStringLiteral("#32770"));
    const QString title = windowText(desktop, dialog);
    QCOMPARE(title, kind == TdxDialogKind::FlashBuy    ? QStringLiteral("闪电买入")
                    : kind == TdxDialogKind::MarginBuy ? QStringLiteral("闪电融资买入")
                                                       : QStringLiteral("闪电卖出"));

    // The sell dialog is read with the normal indices, the margin dialog with its own.
    const TdxIndices idx = kind == TdxDialogKind::MarginBuy ? layout.marginIndices : layout.buyIndices;
    const QString diagnostics = QString::fromStdString(desktop.describe(dialog));
    QVERIFY2(nthChild(desktop, dialog, u"Static", idx.code), qPrintable(diagnostics));
    QCOMPARE(windowText(desktop, nthChild(desktop, dialog, u"Static", idx.code)), QStringLiteral("000001"));
    QCOMPARE(windowText(desktop, nthChild(desktop, dialog, u"Static", idx.name)), QStringLiteral("平安银行"));
    QCOMPARE(controlText(desktop, nthChild(desktop, dialog, u"Edit", idx.price)), QStringLiteral("12.34"));
    QCOMPARE(controlText(desktop, nthChild(desktop, dialog, u"Edit", idx.quantity)), QStringLiteral("0"));
    QCOMPARE(windowText(desktop, nthStatic(desktop, dialog, idx.maxQuantity)),
             layout.groupThousands ? QStringLiteral("12,300") : QStringLiteral("12300"));

    // The program's quantity write lands in the control the index names.
    setQuantity(desktop, nthChild(desktop, dialog, u"Edit", idx.quantity), u"300");
    QCOMPARE(qs(world.tdx.fieldText(dialog, TdxField::Quantity)), QStringLiteral("300"));
    const WindowId confirm = findConfirmButton(desktop, dialog);
    QVERIFY(confirm);
    QCOMPARE(desktop.dlgCtrlId(confirm), sim::IdOk);
}

void TestFakeTdx::calibrationFindsTheLayoutIndices_data()
{
    QTest::addColumn<TdxLayout>("layout");
    QTest::addColumn<bool>("margin");
    for (const TdxLayout& l : TdxLayout::all()) {
        const QByteArray name = qs(l.name).toUtf8();
        QTest::newRow(name + " 闪电买入") << l << false;
        QTest::newRow(name + " 闪电融资买入") << l << true;
    }
}

void TestFakeTdx::calibrationFindsTheLayoutIndices()
{
    QFETCH(TdxLayout, layout);
    QFETCH(bool, margin);
    FakeTdxOptions options;
    options.layout = layout;
    World world(options);
    TdxOrderOptions order; // the current stock: 600000 浦发银行 10.52
    order.maxQuantity = 800;
    world.tdx.openOrderDialog(margin ? TdxDialogKind::MarginBuy : TdxDialogKind::FlashBuy, order);
    const WindowId dialog = findDialogByTitle(
        world.desktop(), margin ? QStringLiteral("闪电融资买入") : QStringLiteral("闪电买入"),
        world.tdx.dialogPid());
    QVERIFY(dialog);
    const TdxIndices found = calibrate(world.desktop(), dialog);
    const TdxIndices expected = margin ? layout.marginIndices : layout.buyIndices;
    QCOMPARE(
        (QList<int>{found.code, found.name, found.price, found.quantity, found.maxQuantity}),
        (QList<int>{expected.code, expected.name, expected.price, expected.quantity, expected.maxQuantity}));
}

void TestFakeTdx::maximumAppearsAfterItsDelay_data()
{
    QTest::addColumn<qlonglong>("maxQuantity");
    QTest::addColumn<QString>("maxText");
    QTest::addColumn<QString>("shown");
    QTest::newRow("a number") << 10000LL << QString() << "10000";
    QTest::newRow("zero") << 0LL << QString() << "0";
    QTest::newRow("unreadable") << 10000LL << "--"
                                << "--";
    QTest::newRow("never") << -1LL << QString() << "";
}

void TestFakeTdx::maximumAppearsAfterItsDelay()
{
    QFETCH(qlonglong, maxQuantity);
    QFETCH(QString, maxText);
    QFETCH(QString, shown);
    World world;
    auto& desktop = world.desktop();
    TdxOrderOptions order;
    order.maxQuantity = maxQuantity;
    order.maxText = maxText.toStdU16String();
    order.maxDelayMs = 300;
    const WindowId dialog = world.tdx.openFlashBuy(order);
    const WindowId max = nthStatic(desktop, dialog, 8);
    QVERIFY(max);
    QCOMPARE(windowText(desktop, max), QString());
    world.clock.advance(299);
    QCOMPARE(windowText(desktop, max), QString());
    QCOMPARE(controlText(desktop, max), QString());
    world.clock.advance(1);
    QCOMPARE(windowText(desktop, max), shown);
    world.clock.advance(5000);
    QCOMPARE(windowText(desktop, max), shown);
}

void TestFakeTdx::splitButtonsFillWholeLots_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<qlonglong>("max");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("quantity");
    QTest::newRow("1/3 of 1000") << "600000" << 1000LL << "1/3"
                                 << "300";
    QTest::newRow("1/2 of 150") << "600000" << 150LL << "1/2"
                                << "0";
    QTest::newRow("1/4 of 12345") << "600000" << 12345LL << "1/4"
                                  << "3000";
    QTest::newRow("1/5 of 100000") << "000001" << 100000LL << "1/5"
                                   << "20000";
    QTest::newRow("bond: lots of 10") << "113001" << 1000LL << "1/3"
                                      << "330";
}

void TestFakeTdx::splitButtonsFillWholeLots()
{
    QFETCH(QString, code);
    QFETCH(qlonglong, max);
    QFETCH(QString, button);
    QFETCH(QString, quantity);
    World world;
    auto& desktop = world.desktop();
    TdxOrderOptions order;
    order.code = code.toStdU16String();
    order.name = u"测试";
    order.price = u"10.00";
    order.maxQuantity = max;
    const WindowId dialog = world.tdx.openFlashBuy(order);
    const WindowId split = findButtonByText(desktop, dialog, button);
    QVERIFY(split);
    // The program clicks by WM_COMMAND to the dialog (a button with a parent and an id).
    desktop.sendMessage(dialog, msg::Command, makeCommandWParam(desktop.dlgCtrlId(split), notify::BnClicked),
                        static_cast<std::intptr_t>(split));
    QCOMPARE(controlText(desktop, nthChild(desktop, dialog, u"Edit", 2)), quantity);
    // BM_CLICK does the same.
    setQuantity(desktop, world.tdx.control(dialog, TdxField::Quantity), u"0");
    desktop.sendMessage(split, msg::BmClick, 0, 0);
    QCOMPARE(controlText(desktop, nthChild(desktop, dialog, u"Edit", 2)), quantity);
    QVERIFY(world.system.orderBook().orders().empty());
}

void TestFakeTdx::splitButtonQuirks()
{
    {
        // Before the maximum is known the client computes from 0; with a delay the quantity comes later.
        FakeTdxOptions options;
        options.splitDelayMs = 40;
        World world(options);
        auto& desktop = world.desktop();
        TdxOrderOptions order;
        order.maxDelayMs = 100;
        order.maxQuantity = 1000;
        const WindowId dialog = world.tdx.openFlashBuy(order);
        const WindowId half = findButtonByText(desktop, dialog, QStringLiteral("1/2"));
        const WindowId quantity = world.tdx.control(dialog, TdxField::Quantity);
        setQuantity(desktop, quantity, u"");
        desktop.sendMessage(half, msg::BmClick, 0, 0);
        world.clock.advance(39);
        QCOMPARE(controlText(desktop, quantity), QString());
        world.clock.advance(1);
        QCOMPARE(controlText(desktop, quantity), QStringLiteral("0"));
        world.clock.advance(60);
        desktop.sendMessage(half, msg::BmClick, 0, 0);
        world.clock.advance(40);
        QCOMPARE(controlText(desktop, quantity), QStringLiteral("500"));
    }
    {
        FakeTdxOptions options;
        options.splitButtonsWork = false;
        World world(options);
        const WindowId dialog = world.tdx.openFlashBuy({});
        world.desktop().sendMessage(findButtonByText(world.desktop(), dialog, QStringLiteral("1/2")),
                                    msg::BmClick, 0, 0);
        QCOMPARE(controlText(world.desktop(), world.tdx.control(dialog, TdxField::Quantity)),
                 QStringLiteral("0"));
    }
    {
        // A layout without split buttons.
        FakeTdxOptions options;
        options.layout = TdxLayout::brokerB();
        World world(options);
        const WindowId dialog = world.tdx.openFlashBuy({});
        QCOMPARE(findButtonByText(world.desktop(), dialog, QStringLiteral("1/2")), WindowId(0));
        QVERIFY(!world.tdx.keyboardSplit(dialog, 2));
    }
}

void TestFakeTdx::confirmPlacesTheOrder_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("WM_COMMAND to the dialog") << "command";
    QTest::newRow("BM_CLICK") << "click";
    QTest::newRow("Enter") << "enter";
}

void TestFakeTdx::confirmPlacesTheOrder()
{
    QFETCH(QString, how);
    World world;
    auto& desktop = world.desktop();
    std::vector<WindowId> foreground;
    auto hook = desktop.hookForeground([&foreground](WindowId w) { foreground.push_back(w); }, nullptr);
    world.clock.advance(1000);
    TdxOrderOptions order;
    order.code = u"600519";
    order.name = u"贵州茅台";
    order.price = u"1688.00";
    order.maxQuantity = 500;
    const WindowId dialog = world.tdx.openFlashBuy(order);
    const std::int64_t openedAt = world.clock.nowMs();
    setQuantity(desktop, nthChild(desktop, dialog, u"Edit", 2), u"200");
    world.clock.advance(37);
    const WindowId confirm = findConfirmButton(desktop, dialog);
    QVERIFY(confirm);
    if (how == QLatin1String("command"))
        desktop.sendMessage(desktop.parentWindow(confirm), msg::Command,
                            makeCommandWParam(desktop.dlgCtrlId(confirm), notify::BnClicked),
                            static_cast<std::intptr_t>(confirm));
    else if (how == QLatin1String("click"))
        desktop.sendMessage(confirm, msg::BmClick, 0, 0);
    else
        press(desktop, world.clock, vk::Return);

    const auto orders = world.system.orderBook().orders();
    QCOMPARE(orders.size(), std::size_t(1));
    const Order& placed = orders[0];
    QVERIFY(placed.status == Order::Status::Submitted);
    QVERIFY(placed.client == Order::Client::Tdx);
    QVERIFY(placed.kind == Order::Kind::Buy);
    QCOMPARE(qs(placed.code), QStringLiteral("600519"));
    QCOMPARE(qs(placed.name), QStringLiteral("贵州茅台"));
    QCOMPARE(qs(placed.price), QStringLiteral("1688.00"));
    QCOMPARE(placed.quantity, std::int64_t(200));
    QCOMPARE(qs(placed.dialogTitle), QStringLiteral("闪电买入"));
    QCOMPARE(placed.pid, world.tdx.pid());
    QCOMPARE(placed.timeMs, openedAt + 37 + (how == QLatin1String("enter") ? 1 : 0));

    // The dialog is gone and 提示 reports the order.
    QVERIFY(!desktop.isWindow(dialog));
    const WindowId notice = desktop.foregroundWindow();
    QCOMPARE(notice, world.tdx.lastNotice());
    QCOMPARE(className(desktop, notice), QStringLiteral("#32770"));
    QCOMPARE(windowText(desktop, notice), QStringLiteral("提示"));
    QVERIFY(staticStartingWith(desktop, notice, QStringLiteral("委托已提交")));
    QCOMPARE(foreground, (std::vector<WindowId>{dialog, notice}));
    press(desktop, world.clock, vk::Return);
    QVERIFY(!desktop.isWindow(notice));
    QCOMPARE(desktop.foregroundWindow(), world.tdx.mainWindow());
    QCOMPARE(world.system.orderBook().orders().size(), std::size_t(1));
}

void TestFakeTdx::refusedOrdersShowTdxBox_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("nothing") << "0"
                             << "10.52"
                             << "委托数量必须大于0";
    QTest::newRow("empty") << ""
                           << "10.52"
                           << "委托数量无效";
    QTest::newRow("odd lot") << "150"
                             << "10.52"
                             << "买入数量必须是100的整数倍";
    QTest::newRow("above the maximum") << "20000"
                                       << "10.52"
                                       << "可用资金不足";
    QTest::newRow("no price") << "100"
                              << ""
                              << "委托价格无效";
}

void TestFakeTdx::refusedOrdersShowTdxBox()
{
    QFETCH(QString, quantity);
    QFETCH(QString, price);
    QFETCH(QString, refusal);
    World world;
    auto& desktop = world.desktop();
    const WindowId dialog = world.tdx.openFlashBuy({});
    setQuantity(desktop, world.tdx.control(dialog, TdxField::Quantity), quantity.toStdU16String());
    setQuantity(desktop, world.tdx.control(dialog, TdxField::Price), price.toStdU16String());
    desktop.sendMessage(findConfirmButton(desktop, dialog), msg::BmClick, 0, 0);

    QCOMPARE(world.system.orderBook().submittedCount(), std::size_t(0));
    const auto orders = world.system.orderBook().orders();
    QCOMPARE(orders.size(), std::size_t(1));
    QVERIFY(orders[0].status == Order::Status::Rejected);
    QCOMPARE(qs(orders[0].message), refusal);
    const WindowId box = desktop.foregroundWindow();
    QCOMPARE(windowText(desktop, box), QStringLiteral("Tdx"));
    QVERIFY(staticStartingWith(desktop, box, refusal));
    QVERIFY(desktop.isWindow(dialog));
    press(desktop, world.clock, vk::Return);
    QVERIFY(!desktop.isWindow(box));
    QCOMPARE(desktop.foregroundWindow(), dialog); // back to the order dialog that owns the box
}

void TestFakeTdx::sellAndMarginDialogs()
{
    World world;
    auto& desktop = world.desktop();
    TdxOrderOptions order;
    order.maxQuantity = 1250;
    WindowId dialog = world.tdx.openFlashSell(order);
    QCOMPARE(windowText(desktop, findConfirmButton(desktop, dialog)), QStringLiteral("卖出"));
    QVERIFY(desktop.findWindowEx(dialog, 0, u"Static", u"最大可卖:"));
    setQuantity(desktop, nthChild(desktop, dialog, u"Edit", 2), u"1250"); // odd lots may be sold
    press(desktop, world.clock, vk::Return);

    dialog = world.tdx.openMarginBuy(order);
    QCOMPARE(windowText(desktop, findConfirmButton(desktop, dialog)), QStringLiteral("融资买入"));
    setQuantity(desktop, nthChild(desktop, dialog, u"Edit", 2), u"1200");
    press(desktop, world.clock, vk::Return);

    const auto orders = world.system.orderBook().submitted();
    QCOMPARE(orders.size(), std::size_t(2));
    QVERIFY(orders[0].kind == Order::Kind::Sell);
    QCOMPARE(orders[0].quantity, std::int64_t(1250));
    QVERIFY(!orders[0].isBuy());
    QVERIFY(orders[1].kind == Order::Kind::MarginBuy);
    QCOMPARE(qs(orders[1].dialogTitle), QStringLiteral("闪电融资买入"));
    QVERIFY(orders[1].isBuy());
}

void TestFakeTdx::escapeClosesWithoutOrder()
{
    World world;
    auto& desktop = world.desktop();
    const WindowId first = world.tdx.openFlashBuy({});
    const WindowId second = world.tdx.openFlashBuy({}); // a new flash dialog replaces the open one
    QVERIFY(!desktop.isWindow(first));
    QCOMPARE(world.tdx.orderDialogs(), std::vector<WindowId>{second});
    press(desktop, world.clock, vk::Escape);
    QVERIFY(!desktop.isWindow(second));
    QCOMPARE(desktop.foregroundWindow(), world.tdx.mainWindow());
    QVERIFY(world.system.orderBook().orders().empty());
    QVERIFY(world.tdx.orderDialogs().empty());
}

void TestFakeTdx::tradeConfirmationComesFirst()
{
    FakeTdxOptions options;
    options.tradeConfirmation = true;
    World world(options);
    auto& desktop = world.desktop();
    const WindowId dialog = world.tdx.openFlashBuy({});
    setQuantity(desktop, world.tdx.control(dialog, TdxField::Quantity), u"300");
    desktop.sendMessage(findConfirmButton(desktop, dialog), msg::BmClick, 0, 0);
    QVERIFY(world.system.orderBook().orders().empty());
    const WindowId confirmBox = desktop.foregroundWindow();
    QCOMPARE(windowText(desktop, confirmBox), QStringLiteral("买入交易确认"));
    press(desktop, world.clock, vk::Return);
    QCOMPARE(world.system.orderBook().submittedCount(), std::size_t(1));
    QCOMPARE(world.system.orderBook().submitted()[0].quantity, std::int64_t(300));
    QVERIFY(!desktop.isWindow(dialog));
    QVERIFY(!desktop.isWindow(confirmBox));
    QCOMPARE(windowText(desktop, desktop.foregroundWindow()), QStringLiteral("提示"));
}

void TestFakeTdx::hiddenDecoyButtonDoesNothing()
{
    FakeTdxOptions options;
    options.layout = TdxLayout::brokerA();
    World world(options);
    auto& desktop = world.desktop();
    const WindowId dialog = world.tdx.openFlashBuy({});
    setQuantity(desktop, nthChild(desktop, dialog, u"Edit", 3), u"100");
    const WindowId decoy = desktop.findWindowEx(dialog, 0, u"Button", u"买入");
    QVERIFY(decoy);
    QVERIFY(!desktop.isWindowVisible(decoy));
    desktop.sendMessage(dialog, msg::Command, makeCommandWParam(desktop.dlgCtrlId(decoy), notify::BnClicked),
                        static_cast<std::intptr_t>(decoy));
    QVERIFY(world.system.orderBook().orders().empty());
    const WindowId confirm = findConfirmButton(desktop, dialog);
    QCOMPARE(windowText(desktop, confirm), QStringLiteral(" 买 入 "));
    desktop.sendMessage(confirm, msg::BmClick, 0, 0);
    QCOMPARE(world.system.orderBook().submittedCount(), std::size_t(1));
}

void TestFakeTdx::fixedQuantityAppearsWithTheMaximum()
{
    World world;
    auto& desktop = world.desktop();
    TdxOrderOptions order;
    order.maxQuantity = 5000;
    order.maxDelayMs = 120;
    order.fixedQuantity = 900;
    const WindowId dialog = world.tdx.openFlashBuy(order);
    const WindowId quantity = nthChild(desktop, dialog, u"Edit", 2);
    QCOMPARE(controlText(desktop, quantity), QStringLiteral("0"));
    world.clock.advance(120);
    QCOMPARE(controlText(desktop, quantity), QStringLiteral("900"));
    QCOMPARE(windowText(desktop, nthStatic(desktop, dialog, 8)), QStringLiteral("5000"));
}

void TestFakeTdx::delayedVisibility()
{
    World world;
    auto& desktop = world.desktop();
    TdxOrderOptions order;
    order.visibleAfterMs = 20;
    const WindowId dialog = world.tdx.openFlashBuy(order);
    QCOMPARE(desktop.foregroundWindow(), dialog);
    QVERIFY(!(desktop.windowStyle(dialog) & style::Visible));
    world.clock.advance(19);
    QVERIFY(!desktop.isWindowVisible(dialog));
    world.clock.advance(1);
    QVERIFY(desktop.isWindowVisible(dialog));
}

void TestFakeTdx::tdx64DialogsBelongToTC()
{
    FakeTdxOptions options;
    options.is64Bit = true;
    options.loggedIn = false;
    options.installDir = u"D:\\中信证券\\new_tdx64";
    World world(options);
    auto& desktop = world.desktop();
    auto& processes = world.system.processes();
    QCOMPARE(world.tdx.openFlashBuy({}), WindowId(0)); // no trading before login
    world.tdx.login();

    std::vector<ProcessEntry> entries;
    QVERIFY(processes.snapshot(entries));
    ProcessId tdxPid = 0;
    ProcessId tcPid = 0;
    for (const auto& e : entries) {
        if (qs(e.exeFile).toLower() == QLatin1String("tdxw64.exe"))
            tdxPid = e.pid;
        if (qs(e.exeFile).compare(QLatin1String("TC.exe"), Qt::CaseInsensitive) == 0)
            tcPid = e.pid;
    }
    QCOMPARE(tdxPid, world.tdx.pid());
    QCOMPARE(tcPid, world.tdx.dialogPid());
    QVERIFY(tcPid && tcPid != tdxPid);

    const ProcessHandle tdx = processes.openProcess(access::QueryLimitedInformation, tdxPid);
    std::u16string path;
    bool wow64 = true;
    QVERIFY(processes.queryFullProcessImageName(tdx, path));
    QCOMPARE(qs(path), QStringLiteral("D:\\中信证券\\new_tdx64\\tdxw64.exe"));
    QVERIFY(processes.isWow64Process(tdx, &wow64));
    QVERIFY(!wow64);
    processes.closeHandle(tdx);
    QCOMPARE(desktop.windowProcessId(world.tdx.mainWindow()), tdxPid);
    QVERIFY(windowText(desktop, world.tdx.mainWindow()).contains(QStringLiteral("通达信")));

    world.tdx.openFlashBuy({});
    QCOMPARE(findDialogByTitle(desktop, QStringLiteral("闪电买入"), tdxPid), WindowId(0));
    const WindowId dialog = findDialogByTitle(desktop, QStringLiteral("闪电买入"), tcPid);
    QVERIFY(dialog);
    const ProcessHandle tc =
        processes.openProcess(access::QueryInformation | access::VmRead, desktop.windowProcessId(dialog));
    QVERIFY(processes.queryFullProcessImageName(tc, path));
    QCOMPARE(qs(path), QStringLiteral("D:\\中信证券\\new_tdx64\\tc\\TC.exe"));
    processes.closeHandle(tc);

    setQuantity(desktop, nthChild(desktop, dialog, u"Edit", 2), u"100");
    press(desktop, world.clock, vk::Return);
    QCOMPARE(world.system.orderBook().submitted().at(0).pid, tcPid);
}

void TestFakeTdx::keyboardSplitMode()
{
    World world;
    auto& desktop = world.desktop();
    TdxOrderOptions order;
    order.maxQuantity = 10000;
    const WindowId dialog = world.tdx.openFlashBuy(order);
    const WindowId quantity = nthChild(desktop, dialog, u"Edit", 2);
    desktop.clearInputLog();

    world.tdx.keyboardTypeQuantity(dialog, u"3000", 50);
    world.clock.advance(50);
    QCOMPARE(controlText(desktop, quantity), QStringLiteral("0"));
    world.clock.advance(1); // the keys wait in the client's queue like any input
    QCOMPARE(controlText(desktop, quantity), QStringLiteral("3000"));
    const auto log = desktop.inputLog();
    QCOMPARE(log.size(), std::size_t(8));
    for (const auto& record : log) {
        QVERIFY(record.source == sim::InputRecord::Source::Device);
        QCOMPARE(record.target, quantity);
    }

    QVERIFY(world.tdx.keyboardSplit(dialog, 4, 20));
    world.clock.advance(20);
    QCOMPARE(controlText(desktop, quantity), QStringLiteral("2500"));
    QVERIFY(world.system.orderBook().orders().empty());
}

void TestFakeTdx::cancelAndOtherBoxes()
{
    World world;
    auto& desktop = world.desktop();
    auto& book = world.system.orderBook();

    WindowId box = world.tdx.openCancelConfirm(u"600000 浦发银行 买入 300股 10.52元");
    QCOMPARE(desktop.foregroundWindow(), box);
    QCOMPARE(windowText(desktop, box), QStringLiteral("撤单确认"));
    QVERIFY(staticStartingWith(desktop, box, QStringLiteral("您确定撤消")));
    press(desktop, world.clock, vk::Escape);
    QVERIFY(!desktop.isWindow(box));
    QVERIFY(book.orders().empty());
    box = world.tdx.openCancelConfirm();
    press(desktop, world.clock, vk::Return);
    QCOMPARE(book.orders().size(), std::size_t(1));
    QVERIFY(book.orders()[0].kind == Order::Kind::Cancel);

    box = world.tdx.openCancelAll(4);
    QVERIFY(staticStartingWith(desktop, box, QStringLiteral("一键撤单")));
    QVERIFY(!staticStartingWith(desktop, box, QStringLiteral("您确定撤消")));
    press(desktop, world.clock, vk::Return);
    QCOMPARE(book.orders().size(), std::size_t(2));
    QVERIFY(book.orders()[1].kind == Order::Kind::CancelAll);
    QCOMPARE(book.orders()[1].quantity, std::int64_t(4));

    const std::vector<std::pair<std::function<WindowId()>, QString>> boxes = {
        {[&] { return world.tdx.openTdxMessage(u"网络连接中断"); }, QStringLiteral("Tdx")},
        {[&] {
             return world.tdx.openSelectDialog({u"600000 浦发银行", u"600001 邯郸钢铁"});
         },
         QStringLiteral("请选择")},
        {[&] { return world.tdx.openTradeConfirm(true, u"买入 600000 100股"); },
         QStringLiteral("买入交易确认")},
        {[&] { return world.tdx.openTradeConfirm(false, u"卖出 600000 100股"); },
         QStringLiteral("卖出交易确认")},
    };
    for (const auto& b : boxes) {
        const WindowId window = b.first();
        QCOMPARE(className(desktop, window), QStringLiteral("#32770"));
        QCOMPARE(windowText(desktop, window), b.second);
        QCOMPARE(desktop.foregroundWindow(), window);
        press(desktop, world.clock, vk::Return);
        QVERIFY(!desktop.isWindow(window));
    }
    QCOMPARE(book.orders().size(), std::size_t(2));
}

void TestFakeTdx::mainWindowPagesAndCopy()
{
    World world;
    auto& desktop = world.desktop();
    const WindowId main = world.tdx.mainWindow();
    QCOMPARE(className(desktop, main), QStringLiteral("TdxW_MainFrame_Class"));
    QCOMPARE(desktop.foregroundWindow(), main);
    QVERIFY(windowText(desktop, main).contains(QStringLiteral("版面")));
    world.tdx.showPage(u"[分析图表-浦发银行]");
    QVERIFY(!windowText(desktop, main).contains(QStringLiteral("版面")));

    std::u16string copied;
    desktop.setClipboardSink([&copied](const std::u16string& text) { copied = text; });
    world.tdx.setCurrentStock(u"000001", u"平安银行", u"11.20");
    QVERIFY(desktop.postMessage(main, 0x841B, 0, 0));
    QVERIFY(copied.empty());
    world.clock.advance(1);
    QCOMPARE(qs(copied), QStringLiteral("000001 平安银行"));
    QCOMPARE(qs(desktop.clipboardText()), QStringLiteral("000001 平安银行"));
    // F9 in the main window opens the flash dialog on the current stock.
    world.tdx.showPage(u"[版面-自选股]");
    press(desktop, world.clock, 0x78);
    const WindowId dialog = desktop.foregroundWindow();
    QCOMPARE(world.tdx.orderDialogs(), std::vector<WindowId>{dialog});
    QCOMPARE(windowText(desktop, dialog), QStringLiteral("闪电买入"));
    QCOMPARE(windowText(desktop, nthChild(desktop, dialog, u"Static", 2)), QStringLiteral("000001"));
    QCOMPARE(controlText(desktop, nthChild(desktop, dialog, u"Edit", 0)), QStringLiteral("11.20"));
}

void TestFakeTdx::taskkillEndsTheClient()
{
    World world;
    auto& desktop = world.desktop();
    const WindowId dialog = world.tdx.openFlashBuy({});
    const CommandResult result =
        world.system.processes().runCommand(u"taskkill", {u"/F", u"/IM", u"tdxw.exe"}, 5000);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(!desktop.isWindow(dialog));
    QVERIFY(!desktop.isWindow(world.tdx.mainWindow()));
    QCOMPARE(desktop.foregroundWindow(), WindowId(0));
    QCOMPARE(world.tdx.dialogPid(), world.tdx.pid()); // the 32-bit client trades in its own process
    QCOMPARE(world.system.processes().runCommand(u"taskkill", {u"/F", u"/IM", u"tdxw.exe"}, 5000).exitCode,
             128);
}

ZK_TEST_MAIN(TestFakeTdx)
#include "tst_faketdx.moc"
