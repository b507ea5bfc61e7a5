#include "clock/audio/SystemSpeech.h"

#include "platform/win32/SapiSpeech.h"

std::unique_ptr<platform::Speech> createSystemSpeech()
{
    return std::make_unique<platform::win32::SapiSpeech>();
}
