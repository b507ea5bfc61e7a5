#include "sim/practice/DeskLayout.h"

#include <QMap>

namespace practice {

namespace {

constexpr int kMargin = 8;
constexpr int kTitleHeight = 24;
constexpr int kDialogWidth = 392;
constexpr int kCellWidth = 180;
constexpr int kRowHeight = 30;
constexpr int kFieldHeight = 24;
constexpr int kButtonWidth = 84;
constexpr int kButtonsPerRow = 4;
constexpr int kCascade = 28;

QString fromU16(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

// A dialog with edit fields is a form: its other controls share the rows two by two, as
// caption and value. A message box gives every text a row of its own.
DrawnWindow layoutDialog(const sim::WindowSnapshot& w, const sim::DesktopSnapshot& desk)
{
    DrawnWindow d;
    d.id = w.id;
    d.className = fromU16(w.className);
    d.title = fromU16(w.text);
    d.foreground = w.id == desk.foreground;
    bool form = false;
    for (const auto& c : w.children)
        form = form || fromU16(c.className).compare(QLatin1String("Edit"), Qt::CaseInsensitive) == 0;

    QMap<QString, int> counts;
    QVector<DrawnControl> buttons;
    int cell = 0;
    const int top = kTitleHeight + kMargin;
    for (const auto& c : w.children) {
        DrawnControl control;
        control.id = c.id;
        control.className = fromU16(c.className);
        control.classIndex = counts[control.className.toLower()]++;
        control.text = fromU16(c.text);
        control.enabled = c.enabled;
        control.focused = c.id == desk.focus;
        if (!c.visible)
            continue;
        if (control.className.compare(QLatin1String("Button"), Qt::CaseInsensitive) == 0) {
            buttons.append(control);
            continue;
        }
        if (form) {
            control.rect = QRect(kMargin + (cell % 2) * (kCellWidth + kMargin), top + (cell / 2) * kRowHeight,
                                 kCellWidth, kFieldHeight);
        } else {
            control.rect = QRect(kMargin, top + cell * kRowHeight, kDialogWidth - 2 * kMargin, kFieldHeight);
        }
        ++cell;
        d.controls.append(control);
    }
    const int rows = form ? (cell + 1) / 2 : cell;
    int y = top + rows * kRowHeight + kMargin;
    for (int i = 0; i < buttons.size(); ++i) {
        buttons[i].rect = QRect(kMargin + (i % kButtonsPerRow) * (kButtonWidth + kMargin),
                                y + (i / kButtonsPerRow) * kRowHeight, kButtonWidth, kFieldHeight);
        d.controls.append(buttons[i]);
    }
    if (!buttons.isEmpty())
        y += ((buttons.size() + kButtonsPerRow - 1) / kButtonsPerRow) * kRowHeight;
    d.rect = QRect(0, 0, kDialogWidth, y + kMargin);
    return d;
}

} // namespace

bool isClientMainWindow(const QString& className)
{
    return className == QLatin1String("TdxW_MainFrame_Class") || className.startsWith(QLatin1String("Afx:")) ||
           className.startsWith(QLatin1String("HwndWrapper"));
}

QVector<DrawnWindow> layoutDesk(const sim::DesktopSnapshot& desk, const QSize& area)
{
    QVector<DrawnWindow> drawn;
    QVector<DrawnWindow> dialogs;
    for (const auto& w : desk.topLevel) { // front first
        if (!w.visible)
            continue;
        const QString cls = fromU16(w.className);
        if (isClientMainWindow(cls)) {
            // It fills the desk: whatever lies behind it is covered.
            DrawnWindow main;
            main.id = w.id;
            main.className = cls;
            main.title = fromU16(w.text);
            main.mainWindow = true;
            main.foreground = w.id == desk.foreground;
            main.rect = QRect(QPoint(0, 0), area);
            drawn.append(main);
            break;
        }
        dialogs.prepend(layoutDialog(w, desk)); // back to front
    }
    // The back dialog in the middle of the desk, each one nearer the front a little lower right.
    for (int i = 0; i < dialogs.size(); ++i) {
        DrawnWindow& d = dialogs[i];
        const int offset = i * kCascade - (dialogs.size() - 1) * kCascade / 2;
        QPoint at((area.width() - d.rect.width()) / 2 + offset, (area.height() - d.rect.height()) / 3 + offset);
        at.setX(qMax(kMargin, at.x()));
        at.setY(qMax(kTitleHeight + kMargin, at.y()));
        d.rect.moveTopLeft(at);
        drawn.append(d);
    }
    return drawn;
}

} // namespace practice
