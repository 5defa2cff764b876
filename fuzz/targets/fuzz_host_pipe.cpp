// What the host writes back on the pipe. The channel is one-way: whatever arrives must be read
// and dropped while messages keep flowing, and a host that hangs up after writing must not
// cost the next message.

#include "KLFuzzSupport.h"

#include "host/KLHostPipe.h"
#include "runtime/KLDispatchQueue.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    klfuzz::initialise();
    static QLocalServer server;
    static QPointer<QLocalSocket> host;
    static const QString name = QStringLiteral("kelvo-fuzz-pipe-%1").arg(QCoreApplication::applicationPid());
    if (!server.isListening()) {
        QLocalServer::removeServer(name);
        server.listen(name);
        QObject::connect(&server, &QLocalServer::newConnection, [] { host = server.nextPendingConnection(); });
    }
    static const auto queue = KLDispatchQueue::makeShared(QStringLiteral("com.kelvo.fuzz.pipe"));
    static KLHostPipe pipe(*queue, [] { return name; });

    const QByteArray input = klfuzz::bytes(data, size);
    const quint64 before = pipe.deliveredCount() + pipe.droppedCount();
    pipe.send(QByteArrayLiteral("{\"type\":\"fuzz\"}"));
    klfuzz::spin(2000, [&] { return host && pipe.deliveredCount() + pipe.droppedCount() > before; });
    if (host) {
        host->write(input);
        host->flush();
        // An odd first byte: the host hangs up after writing.
        if (!input.isEmpty() && (input.at(0) & 1))
            host->disconnectFromServer();
    }
    klfuzz::spin(1);
    return 0;
}
