#include "BreathingLight.h"

#include <QPainter>
#include <QPropertyAnimation>
#include <QTimer>

BreathingLight::BreathingLight(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("BreathingLight"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(Size, Size);

    // One breath per second: from a dot to the full circle and back.
    auto* pulse = new QPropertyAnimation(this, "radius", this);
    pulse->setDuration(PulseMs);
    pulse->setStartValue(Size / 10);
    pulse->setKeyValueAt(0.5, Size / 2);
    pulse->setEndValue(Size / 10);
    pulse->setLoopCount(-1);
    pulse->start();
    QTimer::singleShot(LifetimeMs, this, &QWidget::close);
}

BreathingLight* BreathingLight::flash(const QPoint& globalPoint)
{
    auto* light = new BreathingLight();
    light->move(globalPoint - QPoint(Size / 2, Size / 2));
    light->show();
    return light;
}

void BreathingLight::setRadius(int radius)
{
    m_radius = radius;
    update();
}

void BreathingLight::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::red);
    painter.drawEllipse(rect().center(), m_radius, m_radius);
}
