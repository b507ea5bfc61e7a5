// Speech: only the newest text is spoken, nothing while switched off, nothing that waited longer
// than five seconds.

#include "clock/audio/SpeechManager.h"
#include "platform/api/Clock.h"
#include "platform/api/Platform.h"

#include "ZkTest.h"

namespace {

// The speech engine replaced by a record of what it was asked to do.
class RecordingSpeech : public SpeechManager
{
public:
    QStringList calls;
    bool speaking = false;

protected:
    bool engineSpeaking() const override { return speaking; }
    void engineStop() override
    {
        calls << QStringLiteral("stop");
        speaking = false;
    }
    void engineSay(const QString& text) override
    {
        calls << QStringLiteral("say ") + text;
        speaking = true;
    }
};

} // namespace

class TestSpeechManager : public QObject
{
    Q_OBJECT

private:
    platform::ManualClock m_clock;

private slots:
    void init()
    {
        platform::Services os;
        os.clock = &m_clock;
        platform::install(os);
    }
    void cleanup() { platform::install(platform::Services()); }

    void newestTextInterruptsTheOneBeingSpoken()
    {
        RecordingSpeech speech;
        speech.setEnabled(true);
        speech.speak(QStringLiteral("委托已提交"));
        speech.speak(QStringLiteral("交易取消"));
        QCOMPARE(speech.calls, (QStringList{"say 委托已提交", "stop", "say 交易取消"}));
        QCOMPARE(speech.queuedTasks(), 0);
        // Once the engine is quiet again nothing is stopped.
        speech.speaking = false;
        speech.speak(QStringLiteral("已确认"));
        QCOMPARE(speech.calls.last(), QStringLiteral("say 已确认"));
        QCOMPARE(speech.calls.count(QStringLiteral("stop")), 1);
    }

    void nothingWhileDisabled()
    {
        RecordingSpeech speech;
        speech.speaking = true;
        speech.speak(QStringLiteral("交易取消"));
        QVERIFY(speech.calls.isEmpty());
        QCOMPARE(speech.queuedTasks(), 0);
        QVERIFY(!speech.isEnabled());
    }

    void oldTextsAreNotSpoken()
    {
        RecordingSpeech speech; // speakText does not ask whether speech is on
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(m_clock.nowMs());
        speech.speakText(QStringLiteral("刚好五秒"), now.addMSecs(-5000));
        QTest::ignoreMessage(QtDebugMsg, "Task expired, skipping speech for: 太晚了");
        speech.speakText(QStringLiteral("太晚了"), now.addMSecs(-5001));
        QCOMPARE(speech.calls, QStringList{"say 刚好五秒"});
    }
};

ZK_TEST_MAIN(TestSpeechManager)
#include "tst_speechmanager.moc"
