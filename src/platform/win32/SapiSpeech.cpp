#include "SapiSpeech.h"

#include "Win32Text.h"
#include "platform/api/Diagnostics.h"
#include "platform/api/Text.h"

#include <sapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace platform::win32 {

namespace {

std::string hexResult(HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// Qt's -1 … 1 (rate, pitch) on SAPI's -10 … 10.
long sapiScale(double value)
{
    return std::lround(std::clamp(value, -1.0, 1.0) * 10.0);
}

} // namespace

SapiSpeech::SapiSpeech()
{
    // Qt has usually made the GUI thread a single-threaded apartment already (S_FALSE then);
    // only a call that succeeded is balanced by CoUninitialize.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_comInitialised = SUCCEEDED(com);
    ISpVoice* voice = nullptr;
    const HRESULT created = CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice,
                                             reinterpret_cast<void**>(&voice));
    if (FAILED(created) || !voice) {
        diagnostic(DiagnosticLevel::Debug, "[Speech] no SAPI voice: " + hexResult(created));
        return;
    }
    m_voice = voice;
}

SapiSpeech::~SapiSpeech()
{
    if (m_voice) {
        m_voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
        m_voice->Release();
    }
    if (m_comInitialised)
        CoUninitialize();
}

void SapiSpeech::setRate(double rate)
{
    if (m_voice)
        m_voice->SetRate(sapiScale(rate));
}

void SapiSpeech::setPitch(double pitch)
{
    m_pitch = static_cast<int>(sapiScale(pitch));
}

void SapiSpeech::setVolume(double volume)
{
    if (m_voice)
        m_voice->SetVolume(static_cast<USHORT>(std::lround(std::clamp(volume, 0.0, 1.0) * 100.0)));
}

void SapiSpeech::say(const std::u16string& text)
{
    if (!m_voice)
        return;
    const std::u16string spoken = markup(text, m_pitch);
    const DWORD flags = SPF_ASYNC | SPF_PURGEBEFORESPEAK | (m_pitch == 0 ? SPF_IS_NOT_XML : SPF_IS_XML);
    const HRESULT result = m_voice->Speak(wide(spoken), flags, nullptr);
    if (FAILED(result))
        diagnostic(DiagnosticLevel::Debug, "[Speech] Speak failed: " + hexResult(result));
}

void SapiSpeech::stop()
{
    if (m_voice)
        m_voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
}

bool SapiSpeech::isSpeaking() const
{
    SPVOICESTATUS status = {};
    return m_voice && SUCCEEDED(m_voice->GetStatus(&status, nullptr))
        && status.dwRunningState == SPRS_IS_SPEAKING;
}

std::u16string SapiSpeech::markup(const std::u16string& text, int sapiPitch)
{
    if (sapiPitch == 0)
        return text;
    std::u16string out = u"<pitch absmiddle=\"" + fromUtf8(std::to_string(sapiPitch)) + u"\">";
    for (char16_t c : text) {
        switch (c) {
        case u'<': out += u"&lt;"; break;
        case u'>': out += u"&gt;"; break;
        case u'&': out += u"&amp;"; break;
        case u'"': out += u"&quot;"; break;
        default: out += c;
        }
    }
    return out + u"</pitch>";
}

} // namespace platform::win32
