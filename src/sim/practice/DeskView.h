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

    // The button drawn at that point of the view, 0 when none (a disabled one neither).
    platform::WindowId buttonAt(const QPoint& point) const;

signals:
    // After each paint.
    void painted();
    // The user clicked a drawn button, as one clicks it in the client.
    void buttonClicked(platform::WindowId button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void paintWindow(QPainter& p, const DrawnWindow& w);
    void paintControl(QPainter& p, const DrawnControl& c);

    sim::DesktopSnapshot m_desk;
    QVector<DrawnWindow> m_drawn;
};

} // namespace practice
