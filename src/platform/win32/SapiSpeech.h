#pragma once

// Speech through SAPI: one ISpVoice of the default voice, speaking asynchronously on SAPI's own
// thread. Create and use it on one thread (the GUI thread); COM is initialised there if nobody
// has done so yet.

#include "platform/api/Speech.h"

struct ISpVoice; // sapi.h stays out of the header

namespace platform::win32 {

class SapiSpeech : public Speech
{
public:
    SapiSpeech();
    ~SapiSpeech() override;

    SapiSpeech(const SapiSpeech&) = delete;
    SapiSpeech& operator=(const SapiSpeech&) = delete;

    // False when no voice could be created (no SAPI, no voice installed); every call is then a
    // no-op.
    bool available() const { return m_voice != nullptr; }

    void setRate(double rate) override;
    void setPitch(double pitch) override;
    void setVolume(double volume) override;
    void say(const std::u16string& text) override;
    void stop() override;
    bool isSpeaking() const override;

    // The text handed to ISpVoice::Speak: plain text at normal pitch, else SAPI XML with the
    // pitch (-10 … 10) around the escaped text, since SAPI takes pitch only as markup.
    static std::u16string markup(const std::u16string& text, int sapiPitch);

private:
    ::ISpVoice* m_voice = nullptr;
    bool m_comInitialised = false;
    int m_pitch = 0; // SAPI's -10 … 10
};

} // namespace platform::win32
