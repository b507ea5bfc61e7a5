#pragma once

// What the fuzz targets share: a check that names the broken promise before it stops the run, the
// program's silence on diagnostics (they would cost more than the code under test), and a
// throw-away home for the files a target writes.

#include "ZkTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

#define ZK_FUZZ_CHECK(condition)                                                                             \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition);                     \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

namespace zkfuzz {

// Called with every diagnostic line before it is dropped (a target may watch for one).
inline std::function<void(const QString&)>& diagnosticWatcher()
{
    static std::function<void(const QString&)> watcher;
    return watcher;
}

inline void dropDiagnostic(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (diagnosticWatcher())
        diagnosticWatcher()(message);
}

// Silences diagnostics and points HOME and the XDG directories at a fresh directory, so that
// nothing a target does reaches the user's files. Returns a directory for the target's files: in
// memory where the system has such a place, since the stores flush every write to the disk and
// a real disk would make that the whole cost of an input.
inline QString setUp(const char* name)
{
    qInstallMessageHandler(dropDiagnostic);
    const QString home = zktest::isolateUserDirectories(name);
    static QTemporaryDir* inMemory = nullptr;
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable()) {
        inMemory = new QTemporaryDir(QStringLiteral("/dev/shm/%1-XXXXXX").arg(QLatin1String(name)));
        // Removed when the run ends normally; a crash leaves it for a look.
        std::atexit([] { delete inMemory; });
        if (inMemory->isValid())
            return inMemory->path();
    }
    const QString work = home + QStringLiteral("/work");
    QDir().mkpath(work);
    return work;
}

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

} // namespace zkfuzz
