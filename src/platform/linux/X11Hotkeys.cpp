#include "X11Hotkeys.h"

#include "VirtualKeys.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace platform {

namespace {

constexpr std::uint16_t RelevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

std::uint16_t xModifiersOf(std::uint32_t modifiers)
{
    std::uint16_t mask = 0;
    if (modifiers & modifier::Alt)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & modifier::Control)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & modifier::Shift)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & modifier::Win)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

std::vector<xcb_window_t> roots(xcb_connection_t* connection)
{
    std::vector<xcb_window_t> windows;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem; xcb_screen_next(&it))
        windows.push_back(it.data->root);
    return windows;
}

// The keycodes that carry keysym, in XKeysymToKeycode's order of preference: first by column,
// then by keycode.
std::vector<xcb_keycode_t> keycodesOf(xcb_connection_t* connection, xcb_keysym_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    std::vector<xcb_keycode_t> codes;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, static_cast<xcb_keycode_t>(first), count), nullptr);
    if (!reply)
        return codes;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perKeycode = reply->keysyms_per_keycode;
    for (int column = 0; column < perKeycode; ++column) {
        for (int k = 0; k < count; ++k) {
            if (keysyms[k * perKeycode + column] == keysym)
                codes.push_back(static_cast<xcb_keycode_t>(first + k));
        }
    }
    std::free(reply);
    return codes;
}

} // namespace

X11Hotkeys::~X11Hotkeys()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Entry& entry : m_entries)
        ungrab(entry);
}

void X11Hotkeys::setConnection(xcb_connection_t* connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Entry& entry : m_entries)
        ungrab(entry);
    m_connection = connection;
    for (Entry& entry : m_entries)
        grab(entry);
}

std::uint8_t X11Hotkeys::keycodeFor(std::uint32_t virtualKey)
{
    const std::uint32_t keysym = keysymForVirtualKey(static_cast<int>(virtualKey));
    if (!keysym)
        return 0;
    const std::vector<xcb_keycode_t> codes = keycodesOf(m_connection, keysym);
    return codes.empty() ? 0 : codes.front();
}

std::uint16_t X11Hotkeys::numLockMask()
{
    const std::vector<xcb_keycode_t> numLock = keycodesOf(m_connection, XK_Num_Lock);
    xcb_get_modifier_mapping_reply_t* reply =
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr);
    if (!reply)
        return 0;
    std::uint16_t mask = 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int k = 0; k < perModifier; ++k) {
            const xcb_keycode_t code = codes[modifier * perModifier + k];
            if (code && std::find(numLock.begin(), numLock.end(), code) != numLock.end())
                mask |= static_cast<std::uint16_t>(1u << modifier);
        }
    }
    std::free(reply);
    return mask;
}

std::vector<std::uint16_t> X11Hotkeys::lockVariants()
{
    const std::uint16_t numLock = numLockMask();
    std::vector<std::uint16_t> variants = {0, XCB_MOD_MASK_LOCK};
    if (numLock && numLock != XCB_MOD_MASK_LOCK) {
        variants.push_back(numLock);
        variants.push_back(static_cast<std::uint16_t>(numLock | XCB_MOD_MASK_LOCK));
    }
    return variants;
}

bool X11Hotkeys::grab(Entry& entry)
{
    if (!m_connection)
        return false;
    const std::uint8_t keycode = keycodeFor(entry.virtualKey);
    if (!keycode)
        return false;
    const std::vector<std::uint16_t> variants = lockVariants();
    const std::vector<xcb_window_t> rootWindows = roots(m_connection);
    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_window_t root : rootWindows) {
        for (const std::uint16_t lock : variants)
            cookies.push_back(xcb_grab_key_checked(m_connection, 1, root, entry.xModifiers | lock, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    bool ok = true;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            ok = false; // BadAccess: another client holds the combination
            std::free(error);
        }
    }
    entry.keycode = keycode;
    if (!ok)
        ungrab(entry);
    return ok;
}

void X11Hotkeys::ungrab(Entry& entry)
{
    if (!m_connection || !entry.keycode)
        return;
    for (const xcb_window_t root : roots(m_connection)) {
        for (const std::uint16_t lock : lockVariants())
            xcb_ungrab_key(m_connection, entry.keycode, root, entry.xModifiers | lock);
    }
    xcb_flush(m_connection);
    entry.keycode = 0;
}

int X11Hotkeys::registerHotkey(std::uint32_t modifiers, std::uint32_t virtualKey,
                               std::function<void()> onPressed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::uint16_t xModifiers = xModifiersOf(modifiers);
    const bool taken = std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
        return e.xModifiers == xModifiers && e.virtualKey == virtualKey;
    });
    if (taken || !onPressed)
        return 0;
    Entry entry;
    entry.virtualKey = virtualKey;
    entry.xModifiers = xModifiers;
    entry.onPressed = std::move(onPressed);
    if (!grab(entry))
        return 0;
    entry.id = m_nextId++;
    m_entries.push_back(std::move(entry));
    return m_entries.back().id;
}

void X11Hotkeys::unregisterHotkey(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it =
        std::find_if(m_entries.begin(), m_entries.end(), [id](const Entry& e) { return e.id == id; });
    if (it == m_entries.end())
        return;
    ungrab(*it);
    m_entries.erase(it);
}

bool X11Hotkeys::handleNativeEvent(const void* message)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (!event || (event->response_type & 0x7F) != XCB_KEY_PRESS)
        return false;
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    std::function<void()> onPressed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_connection)
            return false;
        const std::vector<xcb_window_t> rootWindows = roots(m_connection);
        if (std::find(rootWindows.begin(), rootWindows.end(), press->event) == rootWindows.end())
            return false; // a key press in a window, not one of our grabs
        const std::uint16_t state = press->state & RelevantModifiers;
        const auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
            return e.keycode && e.keycode == press->detail && e.xModifiers == state;
        });
        if (it == m_entries.end())
            return false;
        onPressed = it->onPressed;
    }
    // Outside the lock: the callback may register or unregister hot keys.
    onPressed();
    return true;
}

} // namespace platform
