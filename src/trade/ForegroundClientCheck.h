#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// The main window's check of which trading client is in front: when it is not the client the
// keyboard is set to, the keyboard is switched. It runs 3 s after start-up, 300 ms after each
// activation of a client (with Features/AutoSwitch on), and every 5 s while no client has been
// found yet. The main window owns one, starts it and forwards its slots; the connection manager
// answers through the hooks.
class ForegroundClientCheck : public QObject
{
    Q_OBJECT

public:
    struct Hooks
    {
        std::function<int()> keyboardSoftware;   // the keyboard's software type (1 THS, 2 TDX)
        std::function<bool()> tradeState;        // the keyboard is in trading mode
        std::function<void(int)> setSoftware;    // switch the active keyboard to this type
        std::function<bool()> autoSwitchEnabled; // Features/AutoSwitch
    };

    static constexpr int StartDelayMs = 3000;
    static constexpr int ActivationDelayMs = 300;
    static constexpr int PeriodicIntervalMs = 5000;

    explicit ForegroundClientCheck(Hooks hooks, QObject* parent = nullptr);

    // The first check, 3000 ms from now.
    void start();

    // Checks the foreground window of platform::services().desktop.
    void checkForegroundSoftware();
    // Checks a window of this class and title.
    void checkForegroundSoftware(const QString& className, const QString& title);

    int detectedSoftware() const { return m_detectedSoftware; }
    bool softwareFound() const { return m_softwareFound; }
    const QTimer& verifyTimer() const { return m_verifyTimer; }
    const QTimer& periodicTimer() const { return m_periodicTimer; }

public slots:
    void onAppChanged(int softwareId, int subtype);
    void onAppSwitchVerifyTimeout();
    void onPeriodicCheckTimeout();
    void checkCurrentSoftwareType();
    void stopPeriodicCheck();

private:
    Hooks m_hooks;
    QTimer m_verifyTimer;
    QTimer m_periodicTimer;
    int m_detectedSoftware = 0;
    bool m_softwareFound = false;
};
