#include "clock/audio/SpeechManager.h"

#include "clock/audio/SystemSpeech.h"
#include "platform/api/Platform.h"
#include "platform/api/Speech.h"

#include <QDebug>

SpeechManager::SpeechManager(QObject* parent) : QObject(parent) {}

SpeechManager::~SpeechManager() = default;

void SpeechManager::init()
{
    m_engine = createSystemSpeech();
    m_engine->setRate(0.3);
    m_engine->setPitch(0.0);
    m_engine->setVolume(1.0);
}

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
    return m_engine && m_engine->isSpeaking();
}

void SpeechManager::engineStop()
{
    if (m_engine)
        m_engine->stop();
}

void SpeechManager::engineSay(const QString& text)
{
    if (m_engine)
        m_engine->say(text.toStdU16String());
}
