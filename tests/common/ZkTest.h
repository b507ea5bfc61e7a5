#pragma once

#include <QApplication>
#include <QString>
#include <QtTest>

namespace zktest {

// Points HOME and the XDG directories at a fresh directory below ZK_TEST_TMP (or the system temp
// directory) before Qt reads them, so that settings, profiles and presets written by a test never
// reach the user's real files and every run starts from an empty installation.
// Returns the directory.
QString isolateUserDirectories(const char* testName);

// The directory chosen by isolateUserDirectories for this process.
QString testHome();

} // namespace zktest

// Like QTEST_MAIN, with isolated user directories and a QApplication.
#define ZK_TEST_MAIN(TestObject)                                                                             \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        zktest::isolateUserDirectories(#TestObject);                                                         \
        QApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
