#include "app/MessageHandler.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace {

const char* severity(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "debug";
}

void discard(QtMsgType, const QMessageLogContext&, const QString&) {}

void toStderr(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    std::fprintf(stderr, "[%s] %s\n", severity(type), message.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace

void installMessageHandler()
{
    qInstallMessageHandler(qgetenv("ZENTRIK_DEBUG") == "1" ? toStderr : discard);
}
