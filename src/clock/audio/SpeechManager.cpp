#include "clock/audio/SpeechManager.h"

#include "platform/api/Platform.h"

#include <QDebug>

SpeechManager::SpeechManager(QObject* parent) : QObject(parent) {}

void SpeechManager::init()
{
    m_engine = new QTextToSpeech(this);
    m_engine->setRate(0.3);
    m_engine->setPitch(0.0);
    m_engine->setVolume(1.0);
    connect(m_engine, &QTextToSpeech::stateChanged, this, &SpeechManager::onStateChanged);
}

void SpeechManager::onStateChanged(QTextToSpeech::State) {}

void SpeechManager::speak(const QString& text)
{
    if (!m_enabled)
        return;
    if (engineSpeaking())
        engineStop();
    m_queue.clear();
    m_queue.append({text, now()});
    processQueue();
}

void SpeechManager::speakText(const QString& text, const QDateTime& timestamp)
{
    if (expired(timestamp)) {
        qDebug().noquote() << "Task expired, skipping speech for:" << text;
        return;
    }
    engineSay(text);
}

void SpeechManager::processQueue()
{
    if (!m_enabled || m_queue.isEmpty())
        return;
    const Task task = m_queue.takeFirst();
    speakText(task.text, task.timestamp);
}

bool SpeechManager::expired(const QDateTime& timestamp) const
{
    return timestamp.msecsTo(now()) > qint64(m_expirySeconds) * 1000;
}

QDateTime SpeechManager::now() const
{
    return QDateTime::fromMSecsSinceEpoch(platform::services().clock->nowMs());
}

bool SpeechManager::engineSpeaking() const
{
    return m_engine && m_engine->state() == QTextToSpeech::Speaking;
}

void SpeechManager::engineStop()
{
    if (m_engine)
        m_engine->stop();
}

void SpeechManager::engineSay(const QString& text)
{
    if (m_engine)
        m_engine->say(text);
}
