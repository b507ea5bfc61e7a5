#pragma once

// A red dot that pulses on a screen point for a few seconds, so the user sees where the focus
// point is. It closes and deletes itself.

#include <QWidget>

class BreathingLight : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int radius READ radius WRITE setRadius)
public:
    static constexpr int Size = 100;
    static constexpr int PulseMs = 1000;
    static constexpr int LifetimeMs = 3000;

    explicit BreathingLight(QWidget* parent = nullptr);

    // A new light centred on the global point, shown at once.
    static BreathingLight* flash(const QPoint& globalPoint);

    int radius() const { return m_radius; }
    void setRadius(int radius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_radius = 0;
};
