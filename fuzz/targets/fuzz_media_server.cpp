// A frame from the media server into the built-in engine's connection: the parse and every
// message type's handling, on the connection's own queue.

#include "KLFuzzSupport.h"

#include "media/builtin/KLBuiltinMediaConnection.h"
#include "media/builtin/KLBuiltinMediaSDK.h"
#include "runtime/KLDispatchQueue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    klfuzz::initialise();
    {
        const auto engine = std::make_shared<KLBuiltinMediaSDK>();
        const QJsonObject param{
            {"rtcWsRegInfo", QJsonObject{{"signalingServer", "wss://127.0.0.1:9/"},
                                         {"regInfo", QJsonObject{{"memberUuid", "me"}, {"displayName", "Me"}}}}}};
        const auto connection = std::dynamic_pointer_cast<KLBuiltinMediaConnection>(
            engine->createConnection(param, 1, 0, true, false, {}));
        // Frames may be several JSON objects in a row, one per line.
        for (const QByteArray &frame : klfuzz::bytes(data, size).split('\n'))
            connection->receiveFrameForTest(QString::fromUtf8(frame));
        connection->disconnect();
    }
    // A connection's queue let go on its own thread is joined by the main loop, which only
    // turns here when asked; without this every input would leave a thread behind.
    klfuzz::spin(1000, [] { return KLDispatchQueue::meetingQueuesAlive() == 0; });
    return 0;
}
