#pragma once

// The application object, which is also the single-instance guard. The first process of a user
// owns a small shared-memory segment and a local server; a later start finds the segment, sends
// "SHOW_WINDOW" to the server and reports isRunning(), so main() can end it at once.

#include <QApplication>
#include <QString>

class QLocalServer;
class QSharedMemory;

class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    // instanceKey names the segment and the server; empty means the application name.
    SingleApplication(int& argc, char** argv, const QString& instanceKey);
    ~SingleApplication() override;

    bool isRunning() const { return m_running; }

    static const char* const ShowWindowCommand; // "SHOW_WINDOW"

signals:
    // In the first instance, each time a later start asks for the window.
    void instanceStarted();

public slots:
    void showMainWindow();

private slots:
    void onNewConnection();

private:
    bool signalRunningInstance();
    void createSegment();
    void startServer();

    QString m_sharedMemoryKey;
    QString m_serverName;
    QSharedMemory* m_sharedMemory = nullptr;
    QLocalServer* m_localServer = nullptr;
    bool m_running = false;
};
