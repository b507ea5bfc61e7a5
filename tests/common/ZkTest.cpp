#include "ZkTest.h"

#include <QDir>
#include <QUuid>

#include <cstdlib>

namespace zktest {

namespace {
QString g_home;
}

QString isolateUserDirectories(const char* testName)
{
    QString base = QString::fromLocal8Bit(qgetenv("ZK_TEST_TMP"));
    if (base.isEmpty())
        base = QDir::tempPath() + QStringLiteral("/zk-test-home");
    g_home = base + QLatin1Char('/') + QString::fromLatin1(testName) + QLatin1Char('-') +
             QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
    QDir().mkpath(g_home);
    const QByteArray home = QFile::encodeName(g_home);
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", home + "/.local/share");
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    qputenv("XDG_CACHE_HOME", home + "/.cache");
    return g_home;
}

QString testHome()
{
    return g_home;
}

} // namespace zktest
