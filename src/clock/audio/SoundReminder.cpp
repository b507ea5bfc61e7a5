#include "clock/audio/SoundReminder.h"

#include <QFile>

namespace {

const QString kDefaultRing = QStringLiteral(":/media/ring.wav");

QUrl sourceOf(const QString& path)
{
    if (path.startsWith(QLatin1Char(':')))
        return QUrl(QStringLiteral("qrc") + path);
    if (path.startsWith(QLatin1String("qrc:")))
        return QUrl(path);
    return QUrl::fromLocalFile(path);
}

} // namespace

SoundReminder::SoundReminder(QObject* parent) : QObject(parent)
{
    if (QFile::exists(kDefaultRing))
        m_defaultEffect.setSource(sourceOf(kDefaultRing));
}

const QVector<QTime>& SoundReminder::alarmTimes()
{
    static const QVector<QTime> times{QTime(9, 15),  QTime(9, 25),  QTime(9, 30),  QTime(10, 15),
                                      QTime(10, 30), QTime(11, 28), QTime(12, 59), QTime(14, 55)};
    return times;
}

QString SoundReminder::soundFileFor(const QTime& time)
{
    return QStringLiteral(":/media/%1.wav").arg(time.toString(QStringLiteral("hhmm")));
}

void SoundReminder::checkAlarm(const QTime& now)
{
    for (const QTime& alarm : alarmTimes()) {
        // Whole seconds: the tick must fall in the alarm minute's second 00.
        if (alarm.secsTo(now) == 0) {
            playSoundForTime(alarm);
            return;
        }
    }
}

void SoundReminder::playSoundForTime(const QTime& time)
{
    const QString file = soundFileFor(time);
    if (QFile::exists(file))
        playFile(file);
    else
        play(m_defaultEffect);
}

void SoundReminder::playFile(const QString& path)
{
    const QUrl source = sourceOf(path);
    QSoundEffect*& effect = m_effects[source];
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(source);
    }
    play(*effect);
}

void SoundReminder::play(QSoundEffect& effect)
{
    // A missing default ring has no source: silent, as promised.
    if (effect.source().isEmpty())
        return;
    effect.play();
    emit soundPlayed(effect.source());
}
