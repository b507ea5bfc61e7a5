// The X11 desktop against a real X server (Xvfb): what it reads from windows, what it does to
// them as another client sees it, and the input it synthesizes as the receiving window sees it.

#include "XProbe.h"
#include "ZkTest.h"

#include "platform/linux/LinuxServices.h"
#include "platform/linux/X11Desktop.h"
#include "platform/linux/X11Hotkeys.h"

#include <QCloseEvent>
#include <QWidget>

#include <X11/keysym.h>

#include <memory>
#include <unistd.h>

using namespace platform;
using probe::Id;
using probe::WindowSpec;
using probe::XProbe;

namespace {

class ClosableWidget : public QWidget
{
public:
    int closeRequests = 0;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++closeRequests;
        QWidget::closeEvent(event);
    }
};

bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

QString text(const char16_t* units, int count)
{
    return QString::fromUtf16(units, count);
}

Input mouse(std::uint32_t flags, int dx = 0, int dy = 0)
{
    Input input;
    input.type = Input::Type::Mouse;
    input.flags = flags;
    input.dx = dx;
    input.dy = dy;
    return input;
}

Input key(int vk, bool up)
{
    Input input;
    input.type = Input::Type::Keyboard;
    input.vk = static_cast<std::uint16_t>(vk);
    input.flags = up ? keyevent::KeyUp : 0;
    return input;
}

} // namespace

class TestX11Desktop : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<X11Desktop> m_desktop;
    std::unique_ptr<XProbe> m_probe;
    std::vector<Id> m_windows;

    Id window(WindowSpec spec = {})
    {
        const Id id = m_probe->createWindow(spec);
        m_windows.push_back(id);
        return id;
    }

    // The absolute coordinate a caller computes for a pixel, as the program's clicks do.
    int absolute(int pixel, int extent) { return (65536 / extent) * pixel; }

private slots:
    void initTestCase()
    {
        m_desktop = X11Desktop::open();
        QVERIFY2(m_desktop, "no X display (run under xvfb-run)");
        m_probe = std::make_unique<XProbe>();
        QVERIFY(m_probe->ok());
        QVERIFY2(!m_desktop->windowManagerRunning(),
                 "these tests expect a bare X server without a window manager");
    }

    void cleanup()
    {
        for (const Id id : m_windows)
            m_probe->destroyWindow(id);
        m_windows.clear();
        m_probe->resignWindowManager();
        m_probe->setActiveWindow(0);
        m_probe->forgetEvents();
    }

    void servicesUseTheX11DesktopForBothDesktops()
    {
        const Services services = linuxServices();
        QVERIFY(services.desktop);
        QCOMPARE(services.hostDesktop, services.desktop);
        QVERIFY(services.processes && services.registry && services.hotkeys && services.autostart);
        QCOMPARE(services.hotkeys, static_cast<Hotkeys*>(&linuxHotkeys()));
        QCOMPARE(services.clock, &systemClock());
        QVERIFY(!services.hid && !services.hidPorts);
    }

    void classNameTruncatesLikeGetClassName_data()
    {
        QTest::addColumn<QByteArray>("resClass");
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<QString>("expected");
        const QByteArray long40 = "TdxW_MainFrame_Class_And_Then_Some_More";
        QTest::newRow("short") << QByteArray("ZkProbe") << 32 << "ZkProbe";
        QTest::newRow("31 fit in 32") << long40.left(31) << 32 << QString::fromLatin1(long40.left(31));
        QTest::newRow("40 truncated to 31") << long40 << 32 << QString::fromLatin1(long40.left(31));
        QTest::newRow("buffer of one") << QByteArray("ZkProbe") << 1 << "";
        QTest::newRow("utf-8 class") << QByteArray("同花顺Clock") << 32 << QStringLiteral("同花顺Clock");
    }

    void classNameTruncatesLikeGetClassName()
    {
        QFETCH(QByteArray, resClass);
        QFETCH(int, bufferSize);
        QFETCH(QString, expected);
        WindowSpec spec;
        spec.resClass = resClass.toStdString();
        const Id id = window(spec);

        std::vector<char16_t> buffer(static_cast<std::size_t>(bufferSize) + 4, u'#');
        const int copied = m_desktop->className(id, buffer.data(), bufferSize);
        QCOMPARE(copied, expected.size());
        QCOMPARE(text(buffer.data(), copied), expected);
        QCOMPARE(buffer[static_cast<std::size_t>(copied)], u'\0');
        QCOMPARE(buffer[static_cast<std::size_t>(bufferSize)], u'#'); // nothing beyond the buffer
    }

    void classNameFailsWithoutClassOrWindow()
    {
        WindowSpec spec;
        spec.resClass.clear();
        const Id bare = window(spec);
        char16_t buffer[32] = {u'#'};
        QCOMPARE(m_desktop->className(bare, buffer, 32), 0);
        QCOMPARE(buffer[0], u'\0');
        const Id gone = m_probe->createWindow({});
        m_probe->destroyWindow(gone);
        QCOMPARE(m_desktop->className(gone, buffer, 32), 0);
    }

    void windowTextReadsUtf8AndLegacyTitles_data()
    {
        QTest::addColumn<QByteArray>("utf8Title");
        QTest::addColumn<QByteArray>("latin1Title");
        QTest::addColumn<int>("maxCount");
        QTest::addColumn<QString>("expected");
        const QString long300 = QString(300, QLatin1Char('x'));
        QTest::newRow("utf-8 title") << QByteArray("同花顺远航版 - 600519") << QByteArray() << 256
                                     << QStringLiteral("同花顺远航版 - 600519");
        QTest::newRow("utf-8 wins over legacy")
            << QByteArray("通达信") << QByteArray("tdx") << 256 << QStringLiteral("通达信");
        QTest::newRow("legacy latin-1")
            << QByteArray() << QByteArray("Caf\xe9") << 256 << QStringLiteral("Café");
        QTest::newRow("255 of 300") << long300.toUtf8() << QByteArray() << 256 << long300.left(255);
        QTest::newRow("limit 255 keeps 254") << long300.toUtf8() << QByteArray() << 255 << long300.left(254);
        QTest::newRow("no title") << QByteArray() << QByteArray() << 256 << QString();
        QTest::newRow("broken utf-8 is replaced")
            << QByteArray("ab\xff\xc3") << QByteArray() << 256 << QStringLiteral("ab\uFFFD\uFFFD");
        QTest::newRow("outside the BMP takes two units") << QByteArray("x\xF0\x9F\x98\x80") << QByteArray()
                                                         << 256 << QString::fromUtf8("x\xF0\x9F\x98\x80");
        // Units, not characters, as GetWindowTextW: the pair is cut.
        QTest::newRow("cut inside a pair") << QByteArray("x\xF0\x9F\x98\x80") << QByteArray() << 3
                                           << QString::fromUtf8("x\xF0\x9F\x98\x80").left(2);
    }

    void windowTextReadsUtf8AndLegacyTitles()
    {
        QFETCH(QByteArray, utf8Title);
        QFETCH(QByteArray, latin1Title);
        QFETCH(int, maxCount);
        QFETCH(QString, expected);
        WindowSpec spec;
        spec.utf8Title = utf8Title.toStdString();
        spec.latin1Title = latin1Title.toStdString();
        const Id id = window(spec);

        std::vector<char16_t> buffer(static_cast<std::size_t>(maxCount), u'#');
        const int copied = m_desktop->windowText(id, buffer.data(), maxCount);
        QCOMPARE(text(buffer.data(), copied), expected);
        QCOMPARE(buffer[static_cast<std::size_t>(copied)], u'\0');
    }

    void titleMessagesActOnTopLevelWindows()
    {
        const Id id = window();
        QVERIFY(m_desktop->setWindowText(id, u"闪电买入 Ab"));
        QCOMPARE(QString::fromStdString(m_probe->utf8Property(id, "_NET_WM_NAME")),
                 QStringLiteral("闪电买入 Ab"));
        QCOMPARE(QString::fromStdString(m_probe->utf8Property(id, "WM_NAME")), QStringLiteral("闪电买入 Ab"));

        char16_t buffer[5] = {};
        QCOMPARE(m_desktop->sendMessage(id, msg::GetText, 5, reinterpret_cast<std::intptr_t>(buffer)),
                 std::intptr_t(4));
        QCOMPARE(text(buffer, 4), QStringLiteral("闪电买入"));
        QCOMPARE(m_desktop->sendMessage(id, msg::GetTextLength, 0, 0), std::intptr_t(7));
        QCOMPARE(m_desktop->sendMessage(id, msg::SetText, 0, reinterpret_cast<std::intptr_t>(u"提示")),
                 std::intptr_t(1));
        std::uintptr_t result = 0;
        QVERIFY(m_desktop->sendMessageTimeout(id, msg::GetTextLength, 0, 0, smto::AbortIfHung, 50, &result));
        QCOMPARE(result, std::uintptr_t(2));
    }

    void findWindowExContinuesAfterThePreviousFind()
    {
        WindowSpec spec;
        spec.resClass = "ZkFindMe";
        spec.utf8Title = "twin";
        const Id first = window(spec);
        const Id second = window(spec);
        spec.utf8Title = "other";
        const Id other = window(spec);

        // Top-level windows come topmost first: the last one mapped is found first.
        QCOMPARE(m_desktop->findWindowEx(0, 0, u"ZkFindMe", u"twin"), second);
        QCOMPARE(m_desktop->findWindowEx(0, second, u"ZkFindMe", u"twin"), first);
        QCOMPARE(m_desktop->findWindowEx(0, first, u"ZkFindMe", u"twin"), WindowId(0));
        QCOMPARE(m_desktop->findWindowEx(0, 0, u"ZkFindMe", nullptr), other);
        QCOMPARE(m_desktop->findWindowEx(0, 0, nullptr, u"other"), other);
        QCOMPARE(m_desktop->findWindowEx(0, 0, u"ZkFindMe", u"twi"), WindowId(0)); // whole names only
        QCOMPARE(m_desktop->findWindowEx(0, 0, u"zkfindme", u"TWIN"), second);     // as Windows: any case
        const std::vector<WindowId> all = m_desktop->topLevelWindows();
        QVERIFY(std::find(all.begin(), all.end(), first) != all.end());
    }

    void topmostOnWithdrawnWindowIsTheStateProperty()
    {
        WindowSpec spec;
        spec.map = false;
        const Id id = window(spec);
        m_probe->setStateAtoms(id, {"_NET_WM_STATE_STICKY"});

        QVERIFY(m_desktop->setWindowPos(id, zorder::Topmost, 0, 0, 0, 0, swp::NoMove | swp::NoSize));
        auto states = m_probe->stateAtoms(id);
        QVERIFY(contains(states, "_NET_WM_STATE_ABOVE"));
        QVERIFY(contains(states, "_NET_WM_STATE_STICKY")); // other states are kept
        QVERIFY(m_desktop->windowExStyle(id) & exstyle::Topmost);
        QVERIFY(!m_probe->isViewable(id)); // no swp::ShowWindow, so it stays withdrawn

        QVERIFY(m_desktop->setWindowPos(id, zorder::Topmost, 0, 0, 0, 0, swp::NoMove | swp::NoSize));
        QCOMPARE(m_probe->stateAtoms(id).size(), std::size_t(2)); // not added twice

        QVERIFY(m_desktop->setWindowPos(id, zorder::NoTopmost, 0, 0, 0, 0, swp::NoMove | swp::NoSize));
        states = m_probe->stateAtoms(id);
        QVERIFY(!contains(states, "_NET_WM_STATE_ABOVE"));
        QVERIFY(contains(states, "_NET_WM_STATE_STICKY"));
        QVERIFY(!(m_desktop->windowExStyle(id) & exstyle::Topmost));
        QVERIFY(m_probe->clientMessages().empty());
    }

    void topmostWithoutWindowManagerRaisesTheWindow()
    {
        WindowSpec spec;
        const Id below = window(spec);
        const Id above = window(spec);
        auto order = m_probe->stacking();
        QVERIFY(std::find(order.begin(), order.end(), below) < std::find(order.begin(), order.end(), above));

        QVERIFY(m_desktop->setWindowPos(below, zorder::Topmost, 0, 0, 0, 0,
                                        swp::NoMove | swp::NoSize | swp::ShowWindow));
        order = m_probe->stacking();
        QVERIFY(std::find(order.begin(), order.end(), below) > std::find(order.begin(), order.end(), above));
        QVERIFY(m_desktop->windowExStyle(below) & exstyle::Topmost);
        QVERIFY(!(m_desktop->windowExStyle(above) & exstyle::Topmost));
    }

    void setWindowPosMovesSizesAndShows()
    {
        WindowSpec spec;
        spec.map = false;
        const Id id = window(spec);
        QVERIFY(m_desktop->setWindowPos(id, zorder::Top, 30, 40, 111, 77, swp::ShowWindow));
        QVERIFY(m_probe->isViewable(id));
        m_probe->selectInput(id, XProbe::buttonPressMask());
        const Input click[] = {mouse(mouseevent::Move | mouseevent::Absolute,
                                     absolute(30 + 110, m_probe->screenWidth()),
                                     absolute(40 + 76, m_probe->screenHeight())),
                               mouse(mouseevent::LeftDown), mouse(mouseevent::LeftUp)};
        QCOMPARE(m_desktop->sendInput(click, 3), 3u);
        QTRY_COMPARE(m_probe->buttonPresses().size(), std::size_t(1));
    }

    void managedWindowStateIsAskedOfTheWindowManager()
    {
        const Id id = window();
        QVERIFY(m_probe->becomeWindowManager());
        QVERIFY(m_desktop->windowManagerRunning());

        QVERIFY(m_desktop->setWindowPos(id, zorder::Topmost, 0, 0, 0, 0, swp::NoMove | swp::NoSize));
        QVERIFY(m_probe->stateAtoms(id).empty()); // the state is the window manager's to change
        QTRY_COMPARE(m_probe->clientMessages().size(), std::size_t(1));
        auto request = m_probe->clientMessages().front();
        m_probe->forgetEvents();
        QCOMPARE(request.type, std::string("_NET_WM_STATE"));
        QCOMPARE(request.window, id);
        QCOMPARE(request.data[0], 1L); // _NET_WM_STATE_ADD
        QCOMPARE(request.data[3], 1L); // from an application
        m_probe->apply(request);
        QVERIFY(m_desktop->windowExStyle(id) & exstyle::Topmost);

        QVERIFY(m_desktop->setWindowPos(id, zorder::NoTopmost, 0, 0, 0, 0, swp::NoMove | swp::NoSize));
        QTRY_COMPARE(m_probe->clientMessages().size(), std::size_t(1));
        request = m_probe->clientMessages().front();
        m_probe->forgetEvents();
        QCOMPARE(request.type, std::string("_NET_WM_STATE"));
        QCOMPARE(request.data[0], 0L); // _NET_WM_STATE_REMOVE
        m_probe->apply(request);
        QVERIFY(!(m_desktop->windowExStyle(id) & exstyle::Topmost));

        // Activation goes through the window manager too, which publishes the result.
        QVERIFY(m_desktop->setForegroundWindow(id));
        QTRY_COMPARE(m_probe->clientMessages().size(), std::size_t(1));
        request = m_probe->clientMessages().front();
        m_probe->forgetEvents();
        QCOMPARE(request.type, std::string("_NET_ACTIVE_WINDOW"));
        QCOMPARE(request.window, id);
        QCOMPARE(request.data[0], 2L); // as a pager: the user asked for it
        m_probe->apply(request);
        QCOMPARE(m_desktop->foregroundWindow(), id);

        m_probe->resignWindowManager();
        QVERIFY(!m_desktop->windowManagerRunning());
    }

    void foregroundWithoutWindowManagerIsTheFocusedWindow()
    {
        const Id first = window();
        const Id second = window();
        QVERIFY(m_desktop->setForegroundWindow(first));
        QCOMPARE(m_probe->inputFocus(), first);
        QCOMPARE(m_desktop->foregroundWindow(), first);
        QVERIFY(m_desktop->bringWindowToTop(second));
        QCOMPARE(m_desktop->foregroundWindow(), second);
        const Id child = m_probe->createChild(second);
        m_probe->setInputFocus(child);
        QCOMPARE(m_desktop->foregroundWindow(), second); // the top-level window, not the child
        QCOMPARE(m_desktop->setFocus(first), child);
        QCOMPARE(m_probe->inputFocus(), first);
    }

    void foregroundHookReportsChangesOnTheDispatchingThread()
    {
        const Id first = window();
        const Id second = window();
        m_probe->setActiveWindow(first); // active before the hook: not reported

        QList<WindowId> seen;
        bool onGuiThread = true;
        Dispatcher toGui = [](std::function<void()> task) {
            QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
        };
        auto hook = m_desktop->hookForeground(
            [&](WindowId w) {
                onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
                seen << w;
            },
            toGui);
        QVERIFY(hook);

        m_probe->setActiveWindow(second);
        QTRY_COMPARE(seen, QList<WindowId>{second});
        m_probe->setActiveWindow(second); // rewritten without a change
        m_probe->setActiveWindow(0);      // no active window is not a foreground window
        m_probe->setActiveWindow(first);
        QTRY_COMPARE(seen, (QList<WindowId>{second, first}));
        QVERIFY(onGuiThread);

        // Once removed, a hook reports nothing, even what was already on its way.
        QList<WindowId> control;
        auto witness = m_desktop->hookForeground([&](WindowId w) { control << w; }, toGui);
        m_probe->setActiveWindow(second);
        hook.reset();
        QTRY_COMPARE(control, QList<WindowId>{second});
        QCOMPARE(seen, (QList<WindowId>{second, first}));
    }

    void clicksLandWhereTheyAreSent_data()
    {
        QTest::addColumn<quint32>("down");
        QTest::addColumn<quint32>("up");
        QTest::addColumn<uint>("button");
        QTest::newRow("left") << quint32(mouseevent::LeftDown) << quint32(mouseevent::LeftUp) << 1u;
        QTest::newRow("middle") << quint32(mouseevent::MiddleDown) << quint32(mouseevent::MiddleUp) << 2u;
        QTest::newRow("right") << quint32(mouseevent::RightDown) << quint32(mouseevent::RightUp) << 3u;
    }

    void clicksLandWhereTheyAreSent()
    {
        QFETCH(quint32, down);
        QFETCH(quint32, up);
        QFETCH(uint, button);
        WindowSpec spec;
        spec.x = 300, spec.y = 200, spec.width = 100, spec.height = 80;
        const Id target = window(spec);
        m_probe->selectInput(target, XProbe::buttonPressMask());
        const ScreenSize screen = m_desktop->screenSize();
        QCOMPARE(screen.width, m_probe->screenWidth());
        QCOMPARE(screen.height, m_probe->screenHeight());

        const Input inputs[] = {mouse(mouseevent::Move | mouseevent::Absolute, absolute(350, screen.width),
                                      absolute(240, screen.height)),
                                mouse(down), mouse(up)};
        QCOMPARE(m_desktop->sendInput(inputs, 3), 3u);
        QTRY_COMPARE(m_probe->buttonPresses().size(), std::size_t(1));
        auto presses = m_probe->buttonPresses();
        QCOMPARE(presses[0].window, target);
        QCOMPARE(presses[0].button, button);
        // Windows maps an absolute dx to dx * width / 65536, so (65536 / width) * x falls a little
        // short of x; the click lands on that pixel here too.
        QCOMPARE(presses[0].rootX, absolute(350, screen.width) * screen.width / 65536);
        QCOMPARE(presses[0].rootY, absolute(240, screen.height) * screen.height / 65536);
    }

    void clickWithoutMoveLandsAtTheCursor()
    {
        WindowSpec spec;
        spec.x = 100, spec.y = 100, spec.width = 60, spec.height = 60;
        const Id target = window(spec);
        m_probe->selectInput(target, XProbe::buttonPressMask());
        QVERIFY(m_desktop->setCursorPos(120, 130));
        int x = 0, y = 0;
        QVERIFY(m_desktop->cursorPos(&x, &y));
        QCOMPARE(QPoint(x, y), QPoint(120, 130));

        // Coordinates pointing far away are ignored without mouseevent::Move.
        const Input inputs[] = {mouse(mouseevent::LeftDown | mouseevent::Absolute, 60000, 60000),
                                mouse(mouseevent::LeftUp)};
        QCOMPARE(m_desktop->sendInput(inputs, 2), 2u);
        QTRY_COMPARE(m_probe->buttonPresses().size(), std::size_t(1));
        auto presses = m_probe->buttonPresses();
        QCOMPARE(QPoint(presses[0].rootX, presses[0].rootY), QPoint(120, 130));
    }

    void transparentWindowLetsClicksThrough()
    {
        WindowSpec spec;
        spec.x = 400, spec.y = 300, spec.width = 100, spec.height = 100;
        const Id below = window(spec);
        const Id sheet = window(spec); // the dimmer: same place, on top
        m_probe->selectInput(below, XProbe::buttonPressMask());
        m_probe->selectInput(sheet, XProbe::buttonPressMask());
        QVERIFY(m_desktop->setCursorPos(450, 350));
        const Input click[] = {mouse(mouseevent::LeftDown), mouse(mouseevent::LeftUp)};

        QVERIFY(m_desktop->setWindowExStyle(sheet, exstyle::Layered | exstyle::Transparent));
        QCOMPARE(m_desktop->windowExStyle(sheet), exstyle::Layered | exstyle::Transparent);
        QCOMPARE(m_desktop->sendInput(click, 2), 2u);
        QTRY_COMPARE(m_probe->buttonPresses().size(), std::size_t(1));
        auto presses = m_probe->buttonPresses();
        QCOMPARE(presses[0].window, below);

        m_probe->forgetEvents();
        QVERIFY(m_desktop->setWindowExStyle(sheet, 0));
        QCOMPARE(m_desktop->windowExStyle(sheet), 0u);
        QCOMPARE(m_desktop->sendInput(click, 2), 2u);
        QTRY_COMPARE(m_probe->buttonPresses().size(), std::size_t(1));
        QCOMPARE(m_probe->buttonPresses()[0].window, sheet);
    }

    void keysReachTheFocusedWindow_data()
    {
        QTest::addColumn<int>("vk");
        QTest::addColumn<qulonglong>("keysym");
        QTest::newRow("Return") << vk::Return << qulonglong(XK_Return);
        QTest::newRow("Escape") << vk::Escape << qulonglong(XK_Escape);
        QTest::newRow("F12") << vk::F12 << qulonglong(XK_F12);
        QTest::newRow("Space") << vk::Space << qulonglong(XK_space);
        QTest::newRow("letter A is the a key") << int('A') << qulonglong(XK_a);
        QTest::newRow("digit 7") << int('7') << qulonglong(XK_7);
        QTest::newRow("grave") << vk::Oem3 << qulonglong(XK_grave);
    }

    void keysReachTheFocusedWindow()
    {
        QFETCH(int, vk);
        QFETCH(qulonglong, keysym);
        const Id target = window();
        m_probe->selectInput(target, XProbe::keyPressMask());
        QVERIFY(m_desktop->setForegroundWindow(target));
        const unsigned expected = m_probe->keycodeOf(keysym);
        QVERIFY(expected != 0);

        m_desktop->keybdEvent(static_cast<std::uint8_t>(vk), false);
        m_desktop->keybdEvent(static_cast<std::uint8_t>(vk), true);
        const Input typed[] = {key(vk, false), key(vk, true)};
        QCOMPARE(m_desktop->sendInput(typed, 2), 2u);
        QTRY_COMPARE(m_probe->keyPresses(target), (std::vector<unsigned>{expected, expected}));
    }

    void asyncKeyStateFollowsKeysAndButtons_data()
    {
        QTest::addColumn<int>("vk");
        QTest::addColumn<bool>("viaMouse");
        QTest::newRow("Shift") << vk::Shift << false;
        QTest::newRow("Control") << vk::Control << false;
        QTest::newRow("letter Z") << int('Z') << false;
        QTest::newRow("left button") << vk::LButton << true;
        QTest::newRow("right button") << vk::RButton << true;
        QTest::newRow("middle button") << vk::MButton << true;
    }

    void asyncKeyStateFollowsKeysAndButtons()
    {
        QFETCH(int, vk);
        QFETCH(bool, viaMouse);
        const auto press = [&](bool up) {
            if (!viaMouse)
                return m_desktop->keybdEvent(static_cast<std::uint8_t>(vk), up);
            const std::uint32_t flags = vk == vk::LButton ? (up ? mouseevent::LeftUp : mouseevent::LeftDown)
                                        : vk == vk::RButton
                                            ? (up ? mouseevent::RightUp : mouseevent::RightDown)
                                            : (up ? mouseevent::MiddleUp : mouseevent::MiddleDown);
            const Input input = mouse(flags);
            m_desktop->sendInput(&input, 1);
        };
        QVERIFY(!m_desktop->asyncKeyDown(vk));
        press(false);
        QVERIFY(m_desktop->asyncKeyDown(vk));
        press(true);
        QVERIFY(!m_desktop->asyncKeyDown(vk));
    }

    void closeAsksTheWindowToClose()
    {
        WindowSpec spec;
        spec.deleteProtocol = true;
        const Id polite = window(spec);
        QVERIFY(m_desktop->postMessage(polite, msg::Close, 0, 0));
        QTRY_COMPARE(m_probe->clientMessages().size(), std::size_t(1));
        const auto messages = m_probe->clientMessages();
        QCOMPARE(messages[0].window, polite);
        QCOMPARE(messages[0].type, std::string("WM_PROTOCOLS"));
        QVERIFY(m_probe->isViewable(polite)); // asked, not destroyed

        const Id deaf = window(); // no WM_DELETE_WINDOW: nothing can ask it
        QVERIFY(!m_desktop->postMessage(deaf, msg::Close, 0, 0));
        QVERIFY(m_probe->isViewable(deaf));
    }

    void closeReachesAQtWindow()
    {
        ClosableWidget widget;
        widget.setGeometry(20, 20, 120, 80);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        const WindowId id = widget.winId();
        QCOMPARE(m_desktop->windowProcessId(id), static_cast<ProcessId>(getpid()));
        m_desktop->sendMessage(id, msg::Close, 0, 0);
        QTRY_COMPARE(widget.closeRequests, 1);
        QTRY_VERIFY(!widget.isVisible());
    }

    void showWindowReportsThePreviousVisibility()
    {
        const Id id = window();
        QVERIFY(m_desktop->isWindowVisible(id));
        QCOMPARE(m_desktop->windowStyle(id) & style::Visible, style::Visible);
        QVERIFY(m_desktop->showWindow(id, sw::Hide));
        QVERIFY(!m_probe->isViewable(id));
        QVERIFY(!m_desktop->isWindowVisible(id));
        QVERIFY(!m_desktop->showWindow(id, sw::Hide));
        QVERIFY(!m_desktop->showWindow(id, sw::ShowNormal));
        QVERIFY(m_probe->isViewable(id));
        QVERIFY(!m_desktop->isIconic(id));

        // A window inside an unmapped parent is not visible, like a child of a hidden window.
        WindowSpec hidden;
        hidden.map = false;
        const Id parent = window(hidden);
        const Id child = m_probe->createChild(parent);
        QVERIFY(!m_desktop->isWindowVisible(child));
    }

    void ownerAndProcessComeFromTheirProperties()
    {
        const Id owner = window();
        const Id dialog = window();
        QCOMPARE(m_desktop->windowProcessId(dialog), ProcessId(0)); // not published
        m_probe->setCardinal(dialog, "_NET_WM_PID", 4242);
        m_probe->setTransientFor(dialog, owner);
        QCOMPARE(m_desktop->windowProcessId(dialog), ProcessId(4242));
        QCOMPARE(m_desktop->parentWindow(dialog), owner);
        QCOMPARE(m_desktop->parentWindow(owner), WindowId(0));
    }

    void controlsOfWindowsProgramsDoNotExist()
    {
        const Id id = window();
        m_probe->createChild(id); // an X child window is not a control
        QVERIFY(m_desktop->childWindows(id).empty());
        QCOMPARE(m_desktop->findWindowEx(id, 0, nullptr, nullptr), WindowId(0));
        QCOMPARE(m_desktop->dlgCtrlId(id), 0);
        QCOMPARE(m_desktop->sendMessage(id, msg::BmClick, 0, 0), std::intptr_t(0));
        QCOMPARE(m_desktop->sendMessage(id, msg::Command, makeCommandWParam(1, notify::BnClicked), 0),
                 std::intptr_t(0));
        QVERIFY(!m_desktop->postMessage(id, msg::Command, makeCommandWParam(1, notify::BnClicked), 0));
        QVERIFY(!m_desktop->postMessage(id, 0x841B, 0, 0));
        std::uintptr_t result = 7;
        QVERIFY(!m_desktop->sendMessageTimeout(id, msg::Null, 0, 0, smto::AbortIfHung, 50, &result));
        QCOMPARE(result, std::uintptr_t(0));
        QVERIFY(m_desktop->isWindowEnabled(id));
    }

    void vanishedWindowsAnswerFalse()
    {
        const Id gone = m_probe->createWindow({});
        m_probe->destroyWindow(gone);
        // Each of these asks the server about a window that no longer exists; the errors must not
        // end the process.
        for (const WindowId id : {WindowId(gone), WindowId(0x1FFFFFF0), WindowId(0), ~WindowId(0)}) {
            char16_t buffer[8];
            QVERIFY(!m_desktop->isWindow(id));
            QVERIFY(!m_desktop->isWindowVisible(id));
            QVERIFY(!m_desktop->isWindowEnabled(id));
            QCOMPARE(m_desktop->windowText(id, buffer, 8), 0);
            QCOMPARE(m_desktop->windowExStyle(id), 0u);
            QVERIFY(!m_desktop->setWindowExStyle(id, exstyle::Transparent));
            QVERIFY(!m_desktop->setWindowPos(id, zorder::Topmost, 0, 0, 0, 0, swp::NoMove | swp::NoSize));
            QVERIFY(!m_desktop->setForegroundWindow(id));
            QVERIFY(!m_desktop->showWindow(id, sw::Show));
            QVERIFY(!m_desktop->setWindowText(id, u"x"));
            QVERIFY(!m_desktop->postMessage(id, msg::Close, 0, 0));
            QCOMPARE(m_desktop->windowProcessId(id), ProcessId(0));
        }
    }
};

ZK_TEST_MAIN(TestX11Desktop)
#include "tst_x11desktop.moc"
