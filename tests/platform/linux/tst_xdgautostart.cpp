// The XDG autostart entry as the desktop session finds and reads it.

#include "ZkTest.h"

#include "platform/linux/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace platform;

namespace {

std::u16string u16(const QString& text)
{
    return text.toStdU16String();
}

// An executable file at path (directories made as needed).
void makeProgram(const QString& path, bool executable = true)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        permissions |= QFile::ExeOwner;
    QVERIFY(file.setPermissions(permissions));
}

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestXdgAutostart : public QObject
{
    Q_OBJECT

private:
    XdgAutostart m_autostart;
    QString m_configHome;
    QString m_entry;

private slots:
    void initTestCase()
    {
        m_configHome = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
        QVERIFY(m_configHome.startsWith(zktest::testHome()));
        m_entry = m_configHome + "/autostart/zentrikclock.desktop";
    }

    void cleanup()
    {
        qputenv("XDG_CONFIG_HOME", m_configHome.toLocal8Bit());
        QDir(m_configHome + "/autostart").removeRecursively();
    }

    void enableWritesTheEntryWhereTheSessionLooks()
    {
        const QString program = zktest::testHome() + "/bin/zentrikclock";
        makeProgram(program);
        QVERIFY(!m_autostart.isEnabled(u"ZENTRIKCLOCK"));
        QVERIFY(m_autostart.enable(u"ZENTRIKCLOCK", u16(program)));
        QCOMPARE(readAll(m_entry), QString("[Desktop Entry]\n"
                                           "Type=Application\n"
                                           "Name=ZENTRIKCLOCK\n"
                                           "Exec=" +
                                           program +
                                           "\n"
                                           "X-GNOME-Autostart-enabled=true\n"));
        QVERIFY(m_autostart.isEnabled(u"ZENTRIKCLOCK"));
        QVERIFY(m_autostart.isEnabled(u"zentrikclock")); // the same entry
        // Only the entry is left behind, no temporary file.
        QCOMPARE(QDir(m_configHome + "/autostart").entryList(QDir::Files),
                 QStringList{"zentrikclock.desktop"});
    }

    void execFollowsTheDesktopEntryQuoting_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/opt/zk/zentrikclock"
                               << "/opt/zk/zentrikclock";
        QTest::newRow("space") << "/opt/My Apps/zentrikclock"
                               << "\"/opt/My Apps/zentrikclock\"";
        QTest::newRow("double quote") << "/opt/a\"b/zk"
                                      << "\"/opt/a\\\\\"b/zk\"";
        QTest::newRow("dollar") << "/opt/$HOME/zk"
                                << "\"/opt/\\\\$HOME/zk\"";
        QTest::newRow("backtick") << "/opt/`x`/zk"
                                  << "\"/opt/\\\\`x\\\\`/zk\"";
        QTest::newRow("backslash") << "/opt/a\\b/zk"
                                   << "\"/opt/a\\\\\\\\b/zk\"";
        QTest::newRow("single quote") << "/opt/it's/zk"
                                      << "\"/opt/it's/zk\"";
        QTest::newRow("percent") << "/opt/100%/zk"
                                 << "/opt/100%%/zk";
        QTest::newRow("percent and space") << "/opt/100% x/zk"
                                           << "\"/opt/100%% x/zk\"";
        QTest::newRow("chinese") << QStringLiteral("/opt/灵拓/zk") << QStringLiteral("/opt/灵拓/zk");
    }

    void execFollowsTheDesktopEntryQuoting()
    {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        QCOMPARE(QString::fromStdString(XdgAutostart::execValue(path.toStdString())), exec);
        QCOMPARE(QString::fromStdString(XdgAutostart::programOfExec(exec.toStdString())), path);
    }

    void trickyPathsRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("space") << "My Apps/zentrikclock";
        QTest::newRow("quotes and dollar") << "a\"b'c$d/zk";
        QTest::newRow("backslash and percent") << "back\\slash 100%/zk";
        QTest::newRow("chinese") << QStringLiteral("灵拓 键盘/zk");
    }

    void trickyPathsRoundTrip()
    {
        QFETCH(QString, name);
        const QString program = zktest::testHome() + "/tricky/" + name;
        makeProgram(program);
        QVERIFY(m_autostart.enable(u"ZENTRIKCLOCK", u16(program)));
        QVERIFY(m_autostart.isEnabled(u"ZENTRIKCLOCK"));
    }

    void isEnabledNeedsAnExecutableAndNoSwitchOff()
    {
        const QString program = zktest::testHome() + "/bin/notexec";
        makeProgram(program, false);
        QVERIFY(m_autostart.enable(u"ZENTRIKCLOCK", u16(program)));
        QVERIFY(!m_autostart.isEnabled(u"ZENTRIKCLOCK"));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(m_autostart.isEnabled(u"ZENTRIKCLOCK"));

        QVERIFY(m_autostart.enable(u"ZENTRIKCLOCK", u16(zktest::testHome() + "/bin/missing")));
        QVERIFY(!m_autostart.isEnabled(u"ZENTRIKCLOCK"));
        QVERIFY(m_autostart.enable(u"ZENTRIKCLOCK", u16(zktest::testHome() + "/bin"))); // a directory
        QVERIFY(!m_autostart.isEnabled(u"ZENTRIKCLOCK"));

        // Entries the user switched off in the session settings.
        for (const char* switchOff : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
            QFile file(m_entry);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Desktop Entry]\nType=Application\nExec=" + program.toUtf8() + "\n" + switchOff +
                       "\n");
            file.close();
            QVERIFY2(!m_autostart.isEnabled(u"ZENTRIKCLOCK"), switchOff);
        }

        // Exec of another group does not count; a bare program name is looked up on PATH.
        QFile file(m_entry);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nExec=sh -c true\n[Desktop Action x]\nExec=/nonexistent/zk\n");
        file.close();
        QVERIFY(m_autostart.isEnabled(u"ZENTRIKCLOCK"));
    }

    void disableRemovesTheEntry()
    {
        const QString program = zktest::testHome() + "/bin/zentrikclock";
        makeProgram(program);
        QVERIFY(m_autostart.enable(u"ZENTRIKCLOCK", u16(program)));
        QVERIFY(m_autostart.disable(u"ZENTRIKCLOCK"));
        QVERIFY(!QFile::exists(m_entry));
        QVERIFY(!m_autostart.isEnabled(u"ZENTRIKCLOCK"));
        QVERIFY(m_autostart.disable(u"ZENTRIKCLOCK")); // nothing there is "gone" too
        // Enabling again writes the current path.
        const QString moved = zktest::testHome() + "/bin2/zentrikclock";
        makeProgram(moved);
        QVERIFY(m_autostart.enable(u"ZENTRIKCLOCK", u16(program)));
        QVERIFY(m_autostart.enable(u"ZENTRIKCLOCK", u16(moved)));
        QVERIFY(readAll(m_entry).contains("Exec=" + moved + "\n"));
    }

    void configHomeFallsBackToDotConfig_data()
    {
        QTest::addColumn<QByteArray>("xdgConfigHome");
        QTest::newRow("unset") << QByteArray();
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("relative") << QByteArray("relative/config");
    }

    void configHomeFallsBackToDotConfig()
    {
        QFETCH(QByteArray, xdgConfigHome);
        if (xdgConfigHome.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", xdgConfigHome);
        QCOMPARE(QString::fromStdString(XdgAutostart::entryPath(u"ZENTRIKCLOCK")),
                 zktest::testHome() + "/.config/autostart/zentrikclock.desktop");
    }

    void unusableNamesAndPlacesFail()
    {
        const QString program = zktest::testHome() + "/bin/zentrikclock";
        makeProgram(program);
        for (const char16_t* name : {u"", u"../evil", u".hidden", u"a/b"}) {
            QVERIFY(!m_autostart.enable(name, u16(program)));
            QVERIFY(!m_autostart.isEnabled(name));
            QVERIFY(!m_autostart.disable(name));
        }
        QVERIFY(!m_autostart.enable(u"ZENTRIKCLOCK", u""));
        QVERIFY(!QDir(m_configHome + "/autostart").exists() || QDir(m_configHome + "/autostart").isEmpty());

        // A file where the autostart folder belongs: nothing can be written (whoever we run as).
        QDir().mkpath(m_configHome);
        QFile blocker(m_configHome + "/autostart");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!m_autostart.enable(u"ZENTRIKCLOCK", u16(program)));
        QVERIFY(!m_autostart.isEnabled(u"ZENTRIKCLOCK"));
        QVERIFY(QFile::remove(m_configHome + "/autostart"));
    }
};

ZK_TEST_MAIN(TestXdgAutostart)
#include "tst_xdgautostart.moc"
