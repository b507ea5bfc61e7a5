#pragma once

// The small window that follows the mouse while a focus point is picked: it shows the pointer's
// coordinates and asks for a click, which it reports with leftClicked.

#include <QWidget>

class QLabel;

class MousePositionWidget : public QWidget
{
    Q_OBJECT
public:
    explicit MousePositionWidget(QWidget* parent = nullptr);

    void updatePosition(const QPoint& position);
    QString positionText() const;

signals:
    void leftClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QLabel* m_position;
    QLabel* m_hint;
};
