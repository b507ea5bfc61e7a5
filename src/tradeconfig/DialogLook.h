#pragma once

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

// What the configuration dialogs share in looks: a fixed size without the help button, 12 pt.
inline void setConfigurationDialogLook(QDialog* dialog, Qt::WindowFlags extraFlags = {})
{
    dialog->setWindowFlags((dialog->windowFlags() | extraFlags | Qt::MSWindowsFixedSizeDialogHint)
                           & ~Qt::WindowContextHelpButtonHint);
    QFont font = dialog->font();
    font.setPointSize(12);
    dialog->setFont(font);
    dialog->setStyleSheet(QStringLiteral("QDialog { font-size: 12pt; }"));
}

// Centres a dialog on the primary screen's available area, measured from the screen's corner
// (the area's origin is not added, as the main window has always placed its dialogs).
inline void centreOnPrimaryScreen(QWidget* dialog)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        dialog->move((area.width() - dialog->width()) / 2, (area.height() - dialog->height()) / 2);
    }
}
