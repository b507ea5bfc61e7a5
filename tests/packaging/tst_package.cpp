// The Debian package as a user receives it (built by the package_deb test just before): its
// control fields, every file it installs, its maintainer scripts where udev is there, failing or
// missing, and the installed program started from its desktop entry in demo mode. The package is
// unpacked into a scratch root with dpkg-deb; the machine's own dpkg database is never touched.

#include "KilledProgramIpc.h"
#include "XWindows.h"

#include "ZkTest.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

struct Result
{
    int exitCode = -1;
    QString output;
};

// Runs a command to its end; the exit code and what it wrote on stdout and stderr.
Result run(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.output = QStringLiteral("%1 did not finish: %2").arg(program, process.errorString());
        return result;
    }
    result.output = QString::fromUtf8(process.readAll());
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}

QString debianArchitecture()
{
    return run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).output.trimmed();
}

QString packagePath()
{
    return QStringLiteral(ZK_DEB_DIR "/zentrikclock_" ZK_VERSION "_%1.deb").arg(debianArchitecture());
}

QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeScript(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

const QString kIconTheme = QStringLiteral("usr/share/icons/hicolor");
const QList<int> kIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_scratch;
    QString m_root;    // the unpacked file system tree
    QString m_control; // the unpacked control archive
    xwin::XWindows m_x;

    QString installed(const QString& path) const { return m_root + QLatin1Char('/') + path; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_x.ok());
        QVERIFY2(QFileInfo::exists(packagePath()), qPrintable(packagePath()));
        m_root = m_scratch.filePath(QStringLiteral("root"));
        m_control = m_scratch.filePath(QStringLiteral("control"));
        Result unpacked = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), packagePath(), m_root});
        QVERIFY2(unpacked.exitCode == 0, qPrintable(unpacked.output));
        unpacked = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), packagePath(), m_control});
        QVERIFY2(unpacked.exitCode == 0, qPrintable(unpacked.output));
    }

    void controlFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected"); // the whole value, or with a leading '~' a part of it
        QTest::newRow("name") << "Package" << "zentrikclock";
        QTest::newRow("version") << "Version" << ZK_VERSION;
        QTest::newRow("architecture") << "Architecture" << debianArchitecture();
        QTest::newRow("maintainer") << "Maintainer" << "灵拓软件 <support@zentrik.com.cn>";
        QTest::newRow("section") << "Section" << "utils";
        // From dpkg-shlibdeps: the libraries the program really links.
        QTest::newRow("Qt widgets") << "Depends" << "~libqt5widgets5 (>=";
        QTest::newRow("hidapi") << "Depends" << "~libhidapi-hidraw0";
        QTest::newRow("udev") << "Depends" << "~libudev1";
        // The stock table's SQLite driver is a plugin, loaded at run time.
        QTest::newRow("SQLite driver") << "Depends" << "~libqt5sql5-sqlite";
        QTest::newRow("summary") << "Description"
                                 << "~desktop clock and companion of the Zentrik USB trading keyboard\n";
    }
    void controlFields()
    {
        QFETCH(QString, field);
        QFETCH(QString, expected);
        const Result value = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), packagePath(), field});
        QCOMPARE(value.exitCode, 0);
        if (expected.startsWith(QLatin1Char('~')))
            QVERIFY2(value.output.contains(expected.mid(1)), qPrintable(value.output));
        else
            QCOMPARE(value.output.trimmed(), expected);
    }

    // Exactly these files, nothing left out and nothing stray (libraries, headers, test programs).
    void installsItsFilesOnly()
    {
        QStringList expected = {
            QStringLiteral("usr/bin/zentrikclock"),
            QStringLiteral("usr/lib/udev/rules.d/70-zentrik-keyboard.rules"),
            QStringLiteral("usr/share/applications/zentrikclock.desktop"),
            QStringLiteral("usr/share/man/man1/zentrikclock.1.gz"),
            QStringLiteral("usr/share/doc/zentrikclock/changelog.gz"),
            QStringLiteral("usr/share/doc/zentrikclock/copyright"),
            kIconTheme + QStringLiteral("/scalable/apps/zentrikclock.svg"),
        };
        for (const int size : kIconSizes)
            expected << QStringLiteral("%1/%2x%2/apps/zentrikclock.png").arg(kIconTheme).arg(size);
        QStringList files;
        QDirIterator it(m_root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next().mid(m_root.size() + 1);
        files.sort();
        expected.sort();
        QCOMPARE(files, expected);

        QVERIFY(QFileInfo(installed(QStringLiteral("usr/bin/zentrikclock"))).isExecutable());
        QCOMPARE(fileContents(installed(QStringLiteral("usr/lib/udev/rules.d/70-zentrik-keyboard.rules"))),
                 fileContents(QStringLiteral(ZK_SOURCE_DIR "/packaging/70-zentrik-keyboard.rules")));
        for (const int size : kIconSizes) {
            const QString icon = installed(QStringLiteral("%1/%2x%2/apps/zentrikclock.png").arg(kIconTheme).arg(size));
            QCOMPARE(QImage(icon).size(), QSize(size, size));
        }
    }

    void desktopEntry()
    {
        const QString entry = installed(QStringLiteral("usr/share/applications/zentrikclock.desktop"));
        const Result validation = run(QStringLiteral("desktop-file-validate"), {entry});
        QVERIFY2(validation.exitCode == 0 && validation.output.isEmpty(), qPrintable(validation.output));

        QSettings desktop(entry, QSettings::IniFormat);
        desktop.setIniCodec("UTF-8");
        desktop.beginGroup(QStringLiteral("Desktop Entry"));
        QCOMPARE(desktop.value(QStringLiteral("Name")).toString(), QStringLiteral("灵拓键盘专业版"));
        // What a menu starts, and the icon it shows, are the package's own.
        QCOMPARE(QStandardPaths::findExecutable(desktop.value(QStringLiteral("Exec")).toString(),
                                                {installed(QStringLiteral("usr/bin"))}),
                 installed(QStringLiteral("usr/bin/zentrikclock")));
        QCOMPARE(desktop.value(QStringLiteral("Icon")).toString(), QStringLiteral("zentrikclock"));
    }

    // The scripts run by dpkg must never fail an installation, whatever the state of udev; where
    // the udev daemon answers, the new rule is read and applied to the devices present.
    void maintainerScripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("udevadm"); // "missing", "no daemon" (fails) or "running"
        QTest::addColumn<QStringList>("calls");
        const QString reload = QStringLiteral("control --reload-rules");
        const QString trigger = QStringLiteral("trigger --subsystem-match=hidraw --action=change");
        QTest::newRow("install, no udev") << "postinst" << "configure" << "missing" << QStringList();
        QTest::newRow("install, chroot") << "postinst" << "configure" << "no daemon" << QStringList{reload};
        QTest::newRow("install") << "postinst" << "configure" << "running" << QStringList{reload, trigger};
        QTest::newRow("remove, no udev") << "postrm" << "remove" << "missing" << QStringList();
        QTest::newRow("remove, chroot") << "postrm" << "remove" << "no daemon" << QStringList{reload};
        QTest::newRow("remove") << "postrm" << "remove" << "running" << QStringList{reload};
        QTest::newRow("purge") << "postrm" << "purge" << "running" << QStringList();
    }
    void maintainerScripts()
    {
        QFETCH(QString, script);
        QFETCH(QString, argument);
        QFETCH(QString, udevadm);
        QFETCH(QStringList, calls);
        const QString path = m_control + QLatin1Char('/') + script;
        QVERIFY(QFileInfo(path).isExecutable());

        // A stand-in udevadm that records its calls, alone on PATH.
        QTemporaryDir bin;
        const QString log = bin.filePath(QStringLiteral("calls.txt"));
        if (udevadm != QLatin1String("missing")) {
            writeScript(bin.filePath(QStringLiteral("udevadm")),
                        QStringLiteral("#!/bin/sh\necho \"$*\" >>'%1'\nexit %2\n")
                            .arg(log, udevadm == QLatin1String("running") ? QStringLiteral("0")
                                                                           : QStringLiteral("1"))
                            .toUtf8());
        }
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), bin.path());
        const Result result = run(QStringLiteral("/bin/sh"), {path, argument}, environment);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QCOMPARE(QString::fromUtf8(fileContents(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts), calls);
    }

    // The installed program shows its clock in demo mode and ends cleanly when the clock is
    // closed, as by a window manager's close button.
    void installedProgramRunsInDemoMode()
    {
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("TMPDIR"), home.path()); // single-instance key files
        environment.remove(QStringLiteral("ZENTRIK_DEMO"));
        environment.remove(QStringLiteral("ZENTRIK_SIM_KEYBOARDS"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProgram(installed(QStringLiteral("usr/bin/zentrikclock")));
        program.setArguments({QStringLiteral("--demo")});
        program.start();
        QVERIFY(program.waitForStarted());
        const auto cleanUp = qScopeGuard([&] {
            if (program.state() != QProcess::NotRunning) {
                program.kill();
                program.waitForFinished(5000);
                removeSystemVObjectsOfKilledProgram(home.path());
            }
        });

        std::vector<xwin::Id> clocks;
        QTRY_VERIFY_WITH_TIMEOUT(!(clocks = m_x.find(long(program.processId()), "clock")).empty(), 30000);
        // On screen and alive: what shows at the clock's place changes as it draws its time,
        // second by second.
        const xwin::Geometry g = m_x.geometry(clocks.front());
        QScreen* screen = QGuiApplication::primaryScreen();
        const auto shot = [&] { return screen->grabWindow(0, g.x, g.y, g.width, g.height).toImage(); };
        const QImage first = shot();
        QTRY_VERIFY_WITH_TIMEOUT(shot() != first, 30000);
        QVERIFY(screen->grabWindow(0).save(QStringLiteral(ZK_SCREENSHOT)));
        qInfo().noquote() << "screenshot:" << ZK_SCREENSHOT;

        m_x.requestClose(clocks.front());
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

ZK_TEST_MAIN(TestPackage)
#include "tst_package.moc"
