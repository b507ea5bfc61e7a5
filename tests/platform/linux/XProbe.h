#pragma once

// The other side of the X server in the backend's tests: a client of its own that makes windows,
// reads what the backend did to them, receives their input, and can play a minimal window manager.
// Qt-free and Xlib-free in its interface, so tests include it beside Qt headers.

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace probe {

using Id = unsigned long;

struct WindowSpec
{
    std::string resName = "zkprobe";
    std::string resClass = "ZkProbe"; // empty: no WM_CLASS at all
    std::string utf8Title;            // _NET_WM_NAME when not empty
    std::string latin1Title;          // WM_NAME of type STRING when not empty
    int x = 50, y = 50, width = 200, height = 120;
    bool map = true;
    bool deleteProtocol = false; // takes part in WM_DELETE_WINDOW
};

struct ButtonEvent
{
    Id window = 0;
    unsigned button = 0;
    int rootX = 0, rootY = 0;
};

struct Message
{
    Id window = 0;
    std::string type;
    long data[5] = {};
};

class XProbe
{
public:
    XProbe();
    ~XProbe();
    bool ok() const { return m_display != nullptr; }

    Id createWindow(const WindowSpec& spec);
    Id createChild(Id parent);
    void destroyWindow(Id window);
    void map(Id window);
    void raise(Id window);

    std::vector<std::string> stateAtoms(Id window); // _NET_WM_STATE as atom names
    void setStateAtoms(Id window, const std::vector<std::string>& names);
    std::string utf8Property(Id window, const char* property); // bytes of an 8-bit property
    void setCardinal(Id window, const char* property, unsigned long value);
    void setTransientFor(Id window, Id owner);
    bool isViewable(Id window);
    Id inputFocus();
    void setInputFocus(Id window);
    // Children of the root, bottom to top.
    std::vector<Id> stacking();
    int screenWidth();
    int screenHeight();
    unsigned keycodeOf(unsigned long keysym);

    // Root _NET_ACTIVE_WINDOW, as a window manager publishes it; 0 deletes it.
    void setActiveWindow(Id window);

    // Input and messages received by this client since forgetEvents(), read from the connection
    // without blocking. Reading does not consume them, so a test can wait on a condition and then
    // look at the same events again.
    void selectInput(Id window, long mask);
    std::vector<ButtonEvent> buttonPresses();
    std::vector<unsigned> keyPresses(Id window); // keycodes
    std::vector<Message> clientMessages();
    void forgetEvents();

    // A minimal EWMH window manager: announces itself on the root, receives the requests sent
    // to the root (clientMessages) and can apply them. Only one client may do this at a time.
    bool becomeWindowManager();
    void resignWindowManager();
    // Applies a _NET_WM_STATE or _NET_ACTIVE_WINDOW request as a window manager would.
    void apply(const Message& request);

    static long buttonPressMask();
    static long keyPressMask();

private:
    void drain();
    unsigned long atom(const char* name);
    std::string atomName(unsigned long atom);

    _XDisplay* m_display = nullptr;
    Id m_root = 0;
    Id m_wmCheck = 0;
    std::vector<ButtonEvent> m_buttons;
    std::vector<std::pair<Id, unsigned>> m_keys;
    std::vector<Message> m_messages;
};

} // namespace probe
