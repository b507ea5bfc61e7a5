#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

// Centres a dialog on the primary screen's available area, measured from the screen's corner
// (the area's origin is not added, as the main window has always placed its dialogs).
inline void centreOnPrimaryScreen(QWidget* dialog)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        dialog->move((area.width() - dialog->width()) / 2, (area.height() - dialog->height()) / 2);
    }
}
