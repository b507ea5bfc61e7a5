// Whatever a peer writes to the single-instance socket (any bytes, in one piece or cut in two,
// the peer hanging up at once or staying connected) must not bring the first instance down, and
// only the exact "SHOW_WINDOW" activates it. The peer is a real local socket in this process,
// talking to a real first instance on a key of its own.
//
// Input: the first byte picks how the peer behaves, the rest is what it writes.

#include "FuzzSupport.h"

#include "app/SingleApplication.h"

#include <QElapsedTimer>
#include <QLocalSocket>

#include <cstdint>

namespace {

SingleApplication* g_app = nullptr;
QString g_serverName;
int g_activations = 0;
int g_connections = 0;

// Runs the event loop until the first instance has dealt with one more connection.
void awaitConnection(int before)
{
    QElapsedTimer waited;
    waited.start();
    while (g_connections == before) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ZK_FUZZ_CHECK(waited.elapsed() < 5000);
    }
    // The handled socket is deleted later; do it now, so sockets do not pile up between inputs.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    zkfuzz::setUp("fuzz_singleinstance");
    zkfuzz::diagnosticWatcher() = [](const QString& line) {
        if (line == QStringLiteral("收到新的连接请求"))
            ++g_connections;
    };
    const QString key = QStringLiteral("zk_fuzz_%1").arg(QCoreApplication::applicationPid());
    g_app = new SingleApplication(*argc, *argv, key);
    ZK_FUZZ_CHECK(!g_app->isRunning());
    QObject::connect(g_app, &SingleApplication::instanceStarted, [] { ++g_activations; });
    g_serverName = key + QStringLiteral("_LocalServer");
    // Ends the first instance (server, segment) when the run ends normally.
    std::atexit([] { delete g_app; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int mode = data[0] % 3;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));
    // What the first instance reads: what has arrived when it looks.
    const int cut = mode == 2 ? int(data[0] / 3) % (bytes.size() + 1) : bytes.size();
    const QByteArray seen = bytes.left(cut);
    // A peer that stays connected without a byte keeps the first instance waiting its full 3 s.
    if (mode != 0 && seen.isEmpty())
        return 0;
    const int activationsBefore = g_activations;
    const int connectionsBefore = g_connections;

    QLocalSocket peer;
    peer.connectToServer(g_serverName);
    ZK_FUZZ_CHECK(peer.waitForConnected(1000));
    switch (mode) {
    case 0: // writes and hangs up at once, as a later start does
        peer.write(bytes);
        peer.flush();
        peer.disconnectFromServer();
        awaitConnection(connectionsBefore);
        break;
    case 1: // writes and stays connected until the first instance hangs up
        peer.write(bytes);
        peer.flush();
        awaitConnection(connectionsBefore);
        peer.disconnectFromServer();
        break;
    case 2: // the message cut in two, the second part after the first instance has read
        peer.write(seen);
        peer.flush();
        awaitConnection(connectionsBefore);
        peer.write(bytes.mid(cut));
        peer.flush();
        peer.disconnectFromServer();
        break;
    }
    ZK_FUZZ_CHECK(g_activations - activationsBefore == (seen == QByteArray("SHOW_WINDOW") ? 1 : 0));
    return 0;
}
