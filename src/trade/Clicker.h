#pragma once

#include <QObject>
#include <QTimer>

// A repeating mouse clicker at a fixed screen point: alternately a left and a middle click every
// 500 ms until the user moves the mouse more than 10 pixels away (checked every 300 ms).
// Works on platform::services().desktop.
class Clicker : public QObject
{
    Q_OBJECT

public:
    explicit Clicker(QObject* parent = nullptr);

    // Starts clicking at the cursor (a second start while running keeps the first point), and
    // in every case takes the topmost state from the foreground window.
    void startAutoClicking();
    bool isRunning() const { return m_running; }
    int targetX() const { return m_x; }
    int targetY() const { return m_y; }

    static constexpr int TickIntervalMs = 500;
    static constexpr int CheckIntervalMs = 300;
    const QTimer& tickTimer() const { return m_tickTimer; }
    const QTimer& checkTimer() const { return m_checkTimer; }

public slots:
    void onTimerTick();
    void checkMousePosition();

private:
    QTimer m_tickTimer;
    QTimer m_checkTimer;
    bool m_running = false;
    int m_x = 0;
    int m_y = 0;
    bool m_stopped = false;
    bool m_nextIsMiddle = false;
};
