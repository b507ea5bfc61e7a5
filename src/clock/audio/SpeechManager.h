#pragma once

// Speaks short texts through the system's speech engine: always the newest text only (a new one
// interrupts the one being spoken), and never a text that waited longer than the expiry.

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace platform {
class Clock;
class Speech;
}

class SpeechManager : public QObject
{
    Q_OBJECT

public:
    // Time comes from platform::services().clock.
    explicit SpeechManager(QObject* parent = nullptr);
    ~SpeechManager() override;

    static constexpr int ExpirySeconds = 5;

    // Creates the system's engine (rate 0.3, pitch 0, volume 1).
    void init();
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }
    // Speaks text now, interrupting whatever is being spoken; nothing while disabled.
    void speak(const QString& text);
    int queuedTasks() const { return m_queue.size(); }
    platform::Speech* engine() const { return m_engine.get(); }

public slots:
    // Speaks text unless it is older than the expiry, whether enabled or not.
    void speakText(const QString& text, const QDateTime& timestamp);

protected:
    // The engine's side, separate so that a test can stand in for the system's voice.
    virtual bool engineSpeaking() const;
    virtual void engineStop();
    virtual void engineSay(const QString& text);

private:
    struct Task
    {
        QString text;
        QDateTime timestamp;
    };

    void processQueue();
    bool expired(const QDateTime& timestamp) const;
    QDateTime now() const;

    bool m_enabled = false;
    std::unique_ptr<platform::Speech> m_engine;
    QList<Task> m_queue;
    int m_expirySeconds = ExpirySeconds;
};
