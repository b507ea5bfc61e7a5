#include "clock/audio/SystemSpeech.h"

#include <QString>
#include <QTextToSpeech>

namespace {

class QtSpeech : public platform::Speech
{
public:
    void setRate(double rate) override { m_engine.setRate(rate); }
    void setPitch(double pitch) override { m_engine.setPitch(pitch); }
    void setVolume(double volume) override { m_engine.setVolume(volume); }
    void say(const std::u16string& text) override { m_engine.say(QString::fromStdU16String(text)); }
    void stop() override { m_engine.stop(); }
    bool isSpeaking() const override { return m_engine.state() == QTextToSpeech::Speaking; }

private:
    QTextToSpeech m_engine;
};

} // namespace

std::unique_ptr<platform::Speech> createSystemSpeech()
{
    return std::make_unique<QtSpeech>();
}
