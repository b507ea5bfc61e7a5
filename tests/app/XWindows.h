#pragma once

// The test's own view of the X display the program under test draws on: find a process's
// top-level windows by title, ask one to close as a window manager would, and click the mouse
// as a user would (XTest). Xlib-free interface, so that tests include it beside Qt.

#include <string>
#include <vector>

struct _XDisplay;

namespace xwin {

using Id = unsigned long;

struct Geometry
{
    int x = 0, y = 0, width = 0, height = 0;
};

class XWindows
{
public:
    XWindows();
    ~XWindows();
    bool ok() const { return m_display != nullptr; }

    // Mapped top-level windows of process pid whose title (_NET_WM_NAME, else WM_NAME) starts
    // with titlePrefix.
    std::vector<Id> find(long pid, const std::string& titlePrefix);
    Geometry geometry(Id window);
    void raise(Id window);
    // WM_DELETE_WINDOW, as a window manager's close button sends it.
    void requestClose(Id window);
    // Two left clicks in quick succession at a point of the screen.
    void doubleClick(int x, int y);

private:
    unsigned long atom(const char* name);
    std::string title(Id window);

    _XDisplay* m_display = nullptr;
};

} // namespace xwin
