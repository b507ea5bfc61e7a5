#include "clock/dialogs/TitleMoveWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

TitleMoveWidget::TitleMoveWidget(int height, const QString& styleSheet, QWidget* parent) : QWidget(parent)
{
    setFixedSize(parent->width(), height);
    move(0, 0);
    setStyleSheet(styleSheet);
}

void TitleMoveWidget::paintEvent(QPaintEvent*)
{
    // Through the style, so that a style sheet's background shows.
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void TitleMoveWidget::mousePressEvent(QMouseEvent* event)
{
    m_pressPos = event->pos();
}

void TitleMoveWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    QWidget* window = parentWidget();
    window->move(window->pos() + (event->pos() - m_pressPos));
}
