#pragma once

// A strip along the top of a frameless window by which the user drags the window.

#include <QPoint>
#include <QWidget>

class TitleMoveWidget : public QWidget
{
    Q_OBJECT

public:
    // Spans the parent's width at its top, height pixels high, styled by styleSheet.
    TitleMoveWidget(int height, const QString& styleSheet, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPoint m_pressPos;
};
