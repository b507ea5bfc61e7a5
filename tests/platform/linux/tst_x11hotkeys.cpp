// Hot keys grabbed on the GUI's own X connection, pressed through XTest, and delivered by the
// native event filter the application installs.

#include "ZkTest.h"

#include "platform/linux/X11Desktop.h"
#include "platform/linux/X11Hotkeys.h"

#include <QAbstractNativeEventFilter>
#include <QX11Info>

#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

using namespace platform;

namespace {

// What the application's glue does: every xcb event of the GUI thread goes to the hot keys.
class HotkeyFilter : public QAbstractNativeEventFilter
{
public:
    explicit HotkeyFilter(Hotkeys& hotkeys) : m_hotkeys(hotkeys) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, long*) override
    {
        return eventType == "xcb_generic_event_t" && m_hotkeys.handleNativeEvent(message);
    }

private:
    Hotkeys& m_hotkeys;
};

// Another client of the X server, to hold a combination before us.
class OtherClient
{
public:
    OtherClient() : m_connection(xcb_connect(nullptr, nullptr)) {}
    ~OtherClient() { xcb_disconnect(m_connection); }
    bool grab(std::uint16_t modifiers, xcb_keycode_t keycode)
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_generic_error_t* error =
            xcb_request_check(m_connection, xcb_grab_key_checked(m_connection, 1, root, modifiers, keycode,
                                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

private:
    xcb_connection_t* m_connection;
};

} // namespace

class TestX11Hotkeys : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<X11Desktop> m_desktop;
    std::unique_ptr<X11Hotkeys> m_hotkeys;
    std::unique_ptr<HotkeyFilter> m_filter;

    // Presses modifiers + key and releases them in reverse order, as a user does.
    void press(std::uint32_t modifiers, int virtualKey)
    {
        std::vector<int> held;
        if (modifiers & modifier::Control)
            held.push_back(vk::Control);
        if (modifiers & modifier::Shift)
            held.push_back(vk::Shift);
        if (modifiers & modifier::Alt)
            held.push_back(vk::Menu);
        for (const int key : held)
            m_desktop->keybdEvent(static_cast<std::uint8_t>(key), false);
        m_desktop->keybdEvent(static_cast<std::uint8_t>(virtualKey), false);
        m_desktop->keybdEvent(static_cast<std::uint8_t>(virtualKey), true);
        for (auto it = held.rbegin(); it != held.rend(); ++it)
            m_desktop->keybdEvent(static_cast<std::uint8_t>(*it), true);
    }

    void toggleLock(int virtualKey)
    {
        m_desktop->keybdEvent(static_cast<std::uint8_t>(virtualKey), false);
        m_desktop->keybdEvent(static_cast<std::uint8_t>(virtualKey), true);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QX11Info::isPlatformX11(), "needs the xcb platform (run under xvfb-run)");
        m_desktop = X11Desktop::open();
        QVERIFY(m_desktop);
    }

    void init()
    {
        m_hotkeys = std::make_unique<X11Hotkeys>();
        m_hotkeys->setConnection(QX11Info::connection());
        m_filter = std::make_unique<HotkeyFilter>(*m_hotkeys);
        qApp->installNativeEventFilter(m_filter.get());
    }

    void cleanup()
    {
        qApp->removeNativeEventFilter(m_filter.get());
        m_filter.reset();
        m_hotkeys.reset();
    }

    void firesOnTheGuiThread_data()
    {
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<quint32>("key");
        QTest::newRow("Ctrl+Shift+Space")
            << quint32(modifier::Control | modifier::Shift) << quint32(vk::Space);
        QTest::newRow("Ctrl+grave (0xC0)") << quint32(modifier::Control) << quint32(vk::Oem3);
        QTest::newRow("Ctrl+Shift+Z") << quint32(modifier::Control | modifier::Shift) << quint32('Z');
        QTest::newRow("Alt+F12") << quint32(modifier::Alt) << quint32(vk::F12);
    }

    void firesOnTheGuiThread()
    {
        QFETCH(quint32, modifiers);
        QFETCH(quint32, key);
        int fired = 0;
        bool onGuiThread = false;
        const int id = m_hotkeys->registerHotkey(modifiers, key, [&] {
            ++fired;
            onGuiThread = QThread::currentThread() == qApp->thread();
        });
        QVERIFY(id > 0);
        press(modifiers, static_cast<int>(key));
        QTRY_COMPARE(fired, 1);
        QVERIFY(onGuiThread);
        press(modifiers, static_cast<int>(key));
        QTRY_COMPARE(fired, 2);
    }

    void firesWithLockKeysOn_data()
    {
        QTest::addColumn<int>("lockKey");
        QTest::newRow("Num Lock") << 0x90;
        QTest::newRow("Caps Lock") << 0x14;
    }

    void firesWithLockKeysOn()
    {
        QFETCH(int, lockKey);
        int fired = 0;
        QVERIFY(m_hotkeys->registerHotkey(modifier::Control | modifier::Shift, vk::Space, [&] { ++fired; }) >
                0);
        toggleLock(lockKey);
        press(modifier::Control | modifier::Shift, vk::Space);
        toggleLock(lockKey);
        QTRY_COMPARE(fired, 1);
    }

    void otherModifiersDoNotFire()
    {
        int exact = 0, control = 0;
        QVERIFY(m_hotkeys->registerHotkey(modifier::Control | modifier::Shift, 'Z', [&] { ++exact; }) > 0);
        QVERIFY(m_hotkeys->registerHotkey(modifier::Control, 'Y', [&] { ++control; }) > 0);
        press(modifier::Control, 'Z');                   // Shift missing
        press(modifier::Control | modifier::Alt, 'Z');   // Alt too many, Shift missing
        press(modifier::Control | modifier::Shift, 'Y'); // Shift too many
        press(modifier::Control, 'Y');                   // events arrive in order: once this is seen,
        QTRY_COMPARE(control, 1);                        // the ones before were seen too
        QCOMPARE(exact, 0);
    }

    void unregisteredHotkeyStopsFiringAndCanBeTakenAgain()
    {
        int first = 0, witness = 0;
        const int id =
            m_hotkeys->registerHotkey(modifier::Control | modifier::Shift, vk::Space, [&] { ++first; });
        QVERIFY(m_hotkeys->registerHotkey(modifier::Control, 'Y', [&] { ++witness; }) > 0);
        m_hotkeys->unregisterHotkey(id);
        press(modifier::Control | modifier::Shift, vk::Space);
        press(modifier::Control, 'Y');
        QTRY_COMPARE(witness, 1);
        QCOMPARE(first, 0);

        OtherClient other; // the grab was really released
        QVERIFY(other.grab(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT,
                           static_cast<xcb_keycode_t>(keycodeOfSpace())));
    }

    void takenCombinationsAreRefused()
    {
        QVERIFY(m_hotkeys->registerHotkey(modifier::Control | modifier::Shift, 'Z', [] {}) > 0);
        QCOMPARE(m_hotkeys->registerHotkey(modifier::Control | modifier::Shift, 'Z', [] {}), 0);

        OtherClient other;
        QVERIFY(
            other.grab(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, static_cast<xcb_keycode_t>(keycodeOfSpace())));
        QCOMPARE(m_hotkeys->registerHotkey(modifier::Control | modifier::Alt, vk::Space, [] {}), 0);

        QCOMPARE(m_hotkeys->registerHotkey(modifier::Control, 0xFF, [] {}), 0); // no such key
        X11Hotkeys unconnected;
        QCOMPARE(unconnected.registerHotkey(modifier::Control, 'Y', [] {}), 0);
    }

    void destructionReleasesTheGrabs()
    {
        QVERIFY(m_hotkeys->registerHotkey(modifier::Control | modifier::Shift, vk::Space, [] {}) > 0);
        cleanup();
        OtherClient other;
        QVERIFY(other.grab(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT,
                           static_cast<xcb_keycode_t>(keycodeOfSpace())));
        init();
    }

    void foreignEventsAreNotOurs()
    {
        QVERIFY(m_hotkeys->registerHotkey(modifier::Control | modifier::Shift, vk::Space, [] {}) > 0);
        // The same key and modifiers reported for a window rather than the root: a focused
        // window's own key press, not our grab.
        xcb_key_press_event_t event{};
        event.response_type = XCB_KEY_PRESS;
        event.detail = static_cast<xcb_keycode_t>(keycodeOfSpace());
        event.state = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
        event.event = 0x1234567;
        QVERIFY(!m_hotkeys->handleNativeEvent(&event));
        event.response_type = XCB_KEY_RELEASE;
        event.event = QX11Info::appRootWindow();
        QVERIFY(!m_hotkeys->handleNativeEvent(&event));
        event.response_type = XCB_KEY_PRESS;
        QVERIFY(m_hotkeys->handleNativeEvent(&event));
    }

private:
    unsigned keycodeOfSpace()
    {
        xcb_connection_t* c = QX11Info::connection();
        const xcb_setup_t* setup = xcb_get_setup(c);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto* reply = xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
        unsigned found = 0;
        const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply);
        for (int k = 0; k < count && !found; ++k) {
            if (keysyms[k * reply->keysyms_per_keycode] == XK_space)
                found = static_cast<unsigned>(setup->min_keycode + k);
        }
        std::free(reply);
        return found;
    }
};

ZK_TEST_MAIN(TestX11Hotkeys)
#include "tst_x11hotkeys.moc"
