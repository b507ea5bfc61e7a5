#pragma once

// Diagnostic lines of the Qt-free platform layer (device monitoring texts and the like). The
// application installs a sink that hands them to qDebug / qWarning; without a sink they are
// dropped, like every diagnostic of the program when no one listens.

#include <functional>
#include <string>

namespace platform {

enum class DiagnosticLevel
{
    Debug,
    Warning
};

// text is UTF-8.
using DiagnosticSink = std::function<void(DiagnosticLevel level, const std::string& text)>;

void setDiagnosticSink(DiagnosticSink sink);
// Safe from any thread; the sink runs on the calling thread.
void diagnostic(DiagnosticLevel level, const std::string& text);

} // namespace platform
