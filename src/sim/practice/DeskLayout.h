#pragma once

// Where the practice window draws the simulated desktop: the trading client in front as a large
// main window, its dialogs and message boxes over it (the front one last), each with its child
// controls in creation order — the order the program counts them in ("Static 2", "Edit 0"), which
// every control shows beside it. Fixed metrics, so the layout is the same on every screen.

#include "sim/desktop/DesktopSnapshot.h"

#include <QRect>
#include <QString>
#include <QVector>

namespace practice {

struct DrawnControl
{
    platform::WindowId id = 0;
    QString className;
    int classIndex = 0; // the n-th child of that class (hidden ones count too)
    QString text;
    QRect rect;
    bool enabled = true;
    bool focused = false;
};

struct DrawnWindow
{
    platform::WindowId id = 0;
    QString className;
    QString title;
    QRect rect;
    bool mainWindow = false; // a client's main window (the backdrop)
    bool foreground = false;
    QVector<DrawnControl> controls; // visible ones only
};

// Back to front: the front client's main window (when one is visible), then every visible dialog
// in front of it.
QVector<DrawnWindow> layoutDesk(const sim::DesktopSnapshot& desk, const QSize& area);

// True for the main window classes of the trading clients.
bool isClientMainWindow(const QString& className);

} // namespace practice
