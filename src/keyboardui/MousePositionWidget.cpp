#include "MousePositionWidget.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

MousePositionWidget::MousePositionWidget(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("MousePositionWidget"));
    setFixedSize(200, 100);
    QFont font = this->font();
    font.setPointSize(12);
    m_position = new QLabel(this);
    m_position->setObjectName(QStringLiteral("lblPosition"));
    m_position->setFont(font);
    m_position->setStyleSheet(QStringLiteral("color: red;"));
    m_position->setAlignment(Qt::AlignCenter);
    m_hint = new QLabel(QStringLiteral("鼠标点击确定位置"), this);
    m_hint->setFont(font);
    m_hint->setStyleSheet(QStringLiteral("color: blue;"));
    m_hint->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_position);
    layout->addWidget(m_hint);
    updatePosition(QPoint());
}

void MousePositionWidget::updatePosition(const QPoint& position)
{
    m_position->setText(QStringLiteral("X: %1, Y: %2").arg(position.x()).arg(position.y()));
}

QString MousePositionWidget::positionText() const
{
    return m_position->text();
}

void MousePositionWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit leftClicked();
    QWidget::mousePressEvent(event);
}
