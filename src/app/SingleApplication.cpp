#include "app/SingleApplication.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSharedMemory>

const char* const SingleApplication::ShowWindowCommand = "SHOW_WINDOW";

namespace {
const int kConnectTimeoutMs = 1000;
const int kWriteTimeoutMs = 1000;
const int kReadTimeoutMs = 3000;
} // namespace

SingleApplication::SingleApplication(int& argc, char** argv, const QString& instanceKey)
    : QApplication(argc, argv)
{
    const QString key = instanceKey.isEmpty() ? applicationName() : instanceKey;
    m_sharedMemoryKey = key + QStringLiteral("_SharedMemory");
    m_serverName = key + QStringLiteral("_LocalServer");

    m_sharedMemory = new QSharedMemory(m_sharedMemoryKey, this);
    if (m_sharedMemory->attach(QSharedMemory::ReadWrite)) {
        qDebug().noquote() << "应用程序已经在运行，尝试激活现有实例";
        if (signalRunningInstance()) {
            m_running = true;
            return;
        }
        // Nobody answers. On Unix a segment outlives a first instance that crashed; left alone it
        // would turn every later start away. Detaching removes it when nobody else holds it,
        // after which this process can take over. If it is still held, the first instance is
        // alive (only unreachable) and this start stays the second one.
        qWarning().noquote() << "现有实例无响应，共享内存视为残留:" << m_sharedMemoryKey;
        m_sharedMemory->detach();
        if (!m_sharedMemory->create(8, QSharedMemory::ReadWrite) &&
            m_sharedMemory->error() == QSharedMemory::AlreadyExists) {
            m_running = true;
            return;
        }
    } else {
        createSegment();
    }
    startServer();
    qDebug().noquote() << "创建新的应用程序实例";
}

SingleApplication::~SingleApplication()
{
    if (m_sharedMemory) {
        m_sharedMemory->detach();
        delete m_sharedMemory;
        m_sharedMemory = nullptr;
    }
    if (m_localServer) {
        m_localServer->close();
        delete m_localServer;
        m_localServer = nullptr;
    }
}

void SingleApplication::showMainWindow()
{
    emit instanceStarted();
}

bool SingleApplication::signalRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName, QIODevice::ReadWrite);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(ShowWindowCommand);
    socket.waitForBytesWritten(kWriteTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kWriteTimeoutMs);
    qDebug().noquote() << "已发送激活信号到现有实例";
    return true;
}

void SingleApplication::createSegment()
{
    // Without the segment later starts cannot find this one; the program still runs.
    if (!m_sharedMemory->create(8, QSharedMemory::ReadWrite))
        qDebug().noquote() << "共享内存错误:" << m_sharedMemory->errorString();
}

void SingleApplication::startServer()
{
    m_localServer = new QLocalServer(this);
    // Only processes of the same user may ask this one to show itself.
    m_localServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_localServer, &QLocalServer::newConnection, this, &SingleApplication::onNewConnection);
    QLocalServer::removeServer(m_serverName);
    if (m_localServer->listen(m_serverName))
        qDebug().noquote() << "本地服务器已启动:" << m_serverName;
    else
        qDebug().noquote() << "无法启动本地服务器:" << m_localServer->errorString();
}

void SingleApplication::onNewConnection()
{
    QLocalSocket* socket = m_localServer->nextPendingConnection();
    if (!socket)
        return;
    qDebug().noquote() << "收到新的连接请求";
    if (socket->bytesAvailable() > 0 || socket->waitForReadyRead(kReadTimeoutMs)) {
        const QByteArray received = socket->readAll();
        qDebug().noquote() << "收到命令:" << QString::fromUtf8(received.constData(), received.size());
        // The bytes themselves are compared: Qt's UTF-8 decoding stops at a NUL and drops a byte
        // order mark, which would let "SHOW_WINDOW" with a NUL and anything after it, or behind
        // a byte order mark, pass for the command.
        if (received == QByteArray(ShowWindowCommand))
            emit instanceStarted();
    }
    socket->disconnectFromServer();
    socket->deleteLater();
}
