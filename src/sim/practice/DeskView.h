#pragma once

// Draws the simulated trading desktop as layoutDesk() places it: the client's main window, its
// order dialogs with their Static, Edit and Button children and current texts, and the boxes
// over them. It holds the last layout it was given and paints exactly that.

#include "sim/practice/DeskLayout.h"

#include <QWidget>

namespace practice {

class DeskView : public QWidget
{
    Q_OBJECT

public:
    explicit DeskView(QWidget* parent = nullptr);

    // Lays the snapshot out for the view's size and paints it at once (a change that lasts
    // only a moment, such as a quantity the program confirms right after writing it, is still
    // seen on screen).
    void display(const sim::DesktopSnapshot& desk);
    // What was painted last.
    const QVector<DrawnWindow>& drawn() const { return m_drawn; }

    QSize sizeHint() const override { return QSize(640, 420); }

signals:
    // After each paint.
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void paintWindow(QPainter& p, const DrawnWindow& w);
    void paintControl(QPainter& p, const DrawnControl& c);

    sim::DesktopSnapshot m_desk;
    QVector<DrawnWindow> m_drawn;
};

} // namespace practice
