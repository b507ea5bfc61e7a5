#include "Diagnostics.h"

#include <mutex>

namespace platform {

namespace {
std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

DiagnosticSink& installedSink()
{
    static DiagnosticSink sink;
    return sink;
}
} // namespace

void setDiagnosticSink(DiagnosticSink sink)
{
    std::lock_guard<std::mutex> lock(sinkMutex());
    installedSink() = std::move(sink);
}

void diagnostic(DiagnosticLevel level, const std::string& text)
{
    DiagnosticSink sink;
    {
        std::lock_guard<std::mutex> lock(sinkMutex());
        sink = installedSink();
    }
    if (sink)
        sink(level, text);
}

} // namespace platform
