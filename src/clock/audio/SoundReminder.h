#pragma once

// The clock's sounds: a ring or a spoken time at fixed moments of the trading day (weekdays, the
// caller decides), and any sound file the trade reporting asks for.

#include <QHash>
#include <QObject>
#include <QSoundEffect>
#include <QString>
#include <QTime>
#include <QUrl>
#include <QVector>

class SoundReminder : public QObject
{
    Q_OBJECT

public:
    explicit SoundReminder(QObject* parent = nullptr);

    // 09:15, 09:25, 09:30, 10:15, 10:30, 11:28, 12:59, 14:55.
    static const QVector<QTime>& alarmTimes();
    // ":/media/hhmm.wav" of a time.
    static QString soundFileFor(const QTime& time);

    // Plays the sound of the alarm time that now falls in (its second 00 … 00.999); nothing at
    // any other time.
    void checkAlarm(const QTime& now);
    // A local file path or a resource path (":/media/...").
    void playFile(const QString& path);

public slots:
    // The time's own announcement when there is one, else the default ring.
    void playSoundForTime(const QTime& time);

signals:
    // A sound was started, with its source.
    void soundPlayed(const QUrl& source);

private:
    void play(QSoundEffect& effect);

    QSoundEffect m_defaultEffect;
    // One effect per source, reused: playing a sound again restarts it instead of piling up
    // players for the life of the program.
    QHash<QUrl, QSoundEffect*> m_effects;
};
