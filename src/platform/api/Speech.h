#pragma once

// The system's text-to-speech engine: QTextToSpeech on Linux, SAPI's ISpVoice on Windows.

#include <string>

namespace platform {

class Speech
{
public:
    virtual ~Speech() = default;
    // Rate and pitch from -1 (slowest, lowest) through 0 (normal) to 1; volume from 0 to 1.
    virtual void setRate(double rate) = 0;
    virtual void setPitch(double pitch) = 0;
    virtual void setVolume(double volume) = 0;
    // Starts speaking text and returns at once; whatever was being spoken is cut off. Without a
    // working engine nothing is heard and nothing is reported.
    virtual void say(const std::u16string& text) = 0;
    virtual void stop() = 0;
    virtual bool isSpeaking() const = 0;
};

} // namespace platform
