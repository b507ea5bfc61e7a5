// The clock's sounds: which sound each alarm moment plays, and that sound files are played
// through one reused player per file.

#include "clock/audio/SoundReminder.h"
#include "resources/Resources.h"

#include "ZkTest.h"

#include <QSignalSpy>
#include <QTemporaryDir>

class TestSoundReminder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initResources(); }

    void everySoundTheProgramNamesExists()
    {
        for (const char* name :
             {"ring", "0930", "0935", "1015", "1030", "toths", "totdx", "tradeon", "tradeoff"}) {
            QFile file(QStringLiteral(":/media/%1.wav").arg(QLatin1String(name)));
            QVERIFY2(file.open(QIODevice::ReadOnly), name);
            const QByteArray header = file.read(44);
            QVERIFY2(header.startsWith("RIFF") && header.mid(8, 4) == "WAVE", name);
            QVERIFY2(file.size() > 8000, name); // a quarter of a second at least
        }
    }

    void alarm_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QString>("played");
        QTest::newRow("09:30:00") << QTime(9, 30) << "qrc:/media/0930.wav";
        QTest::newRow("09:30:00.999") << QTime(9, 30, 0, 999) << "qrc:/media/0930.wav";
        QTest::newRow("10:15:00") << QTime(10, 15) << "qrc:/media/1015.wav";
        QTest::newRow("10:30:00") << QTime(10, 30) << "qrc:/media/1030.wav";
        QTest::newRow("09:15:00 rings") << QTime(9, 15) << "qrc:/media/ring.wav";
        QTest::newRow("14:55:00 rings") << QTime(14, 55) << "qrc:/media/ring.wav";
        QTest::newRow("09:35:00 has a file but no alarm") << QTime(9, 35) << QString();
        QTest::newRow("09:30:01") << QTime(9, 30, 1) << QString();
        QTest::newRow("09:29:59") << QTime(9, 29, 59) << QString();
        QTest::newRow("noon") << QTime(12, 0) << QString();
    }

    void alarm()
    {
        QFETCH(QTime, now);
        QFETCH(QString, played);
        SoundReminder reminder;
        QSignalSpy sounds(&reminder, &SoundReminder::soundPlayed);
        reminder.checkAlarm(now);
        if (played.isEmpty()) {
            QCOMPARE(sounds.size(), 0);
        } else {
            QCOMPARE(sounds.size(), 1);
            QCOMPARE(sounds.at(0).at(0).toUrl(), QUrl(played));
        }
    }

    void soundForAnyTime()
    {
        SoundReminder reminder;
        QSignalSpy sounds(&reminder, &SoundReminder::soundPlayed);
        reminder.playSoundForTime(QTime(9, 35));
        reminder.playSoundForTime(QTime(13, 0));
        QCOMPARE(sounds.size(), 2);
        QCOMPARE(sounds.at(0).at(0).toUrl(), QUrl("qrc:/media/0935.wav"));
        QCOMPARE(sounds.at(1).at(0).toUrl(), QUrl("qrc:/media/ring.wav"));
    }

    void filesReuseTheirPlayer()
    {
        QTemporaryDir dir;
        const QString local = dir.filePath(QStringLiteral("beep.wav"));
        QFile::copy(QStringLiteral(":/media/ring.wav"), local);
        SoundReminder reminder;
        QSignalSpy sounds(&reminder, &SoundReminder::soundPlayed);
        for (int i = 0; i < 3; ++i) {
            reminder.playFile(QStringLiteral(":/media/tradeon.wav"));
            reminder.playFile(local);
        }
        QCOMPARE(sounds.size(), 6);
        QCOMPARE(sounds.at(0).at(0).toUrl(), QUrl("qrc:/media/tradeon.wav"));
        QCOMPARE(sounds.at(1).at(0).toUrl(), QUrl::fromLocalFile(local));
        QCOMPARE(reminder.findChildren<QSoundEffect*>(QString(), Qt::FindDirectChildrenOnly).size(), 2);
    }
};

ZK_TEST_MAIN(TestSoundReminder)
#include "tst_soundreminder.moc"
