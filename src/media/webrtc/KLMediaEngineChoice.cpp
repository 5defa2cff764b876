#include "media/webrtc/KLMediaEngineChoice.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"

#include <mutex>

void KL_chooseMediaEngine(const QString &name)
{
    static std::mutex mutex;
    static std::shared_ptr<KLWebRtcMediaSDK> webrtc; // made on first choice, kept for the process
    std::lock_guard lock(mutex);

    const std::shared_ptr<KLRTCMediaSDK> current = KLRTCMediaSDK::installed();
    if (current && current != webrtc) {
        KL_ENGINE_LOG(4, QStringLiteral("an installed media engine is in use: \"mediaEngine\" %1 not applied")
                             .arg(name.isEmpty() ? QStringLiteral("(default)") : name));
        return;
    }

    const bool builtin = name == QLatin1String("builtin");
    if (!builtin && !name.isEmpty() && name != QLatin1String("webrtc"))
        KL_ENGINE_LOG(2, QStringLiteral("media engine %1 unknown: the default engine is used").arg(name));
    if (!builtin) {
        // GStreamer is only set up when the WebRTC engine is wanted: a meeting that asks for the
        // built-in engine never loads its plugins.
        QString why;
        if (KLWebRtcMediaSDK::available(&why)) {
            if (!webrtc)
                webrtc = std::make_shared<KLWebRtcMediaSDK>();
            if (current != webrtc) {
                KLRTCMediaSDK::install(webrtc);
                KL_ENGINE_LOG(4, QStringLiteral("media engine: WebRTC"));
            }
            return;
        }
        KL_ENGINE_LOG(8, QStringLiteral("the WebRTC engine cannot run here (%1): the built-in engine is used").arg(why));
    }
    if (current) {
        KLRTCMediaSDK::install(nullptr);
        KL_ENGINE_LOG(4, QStringLiteral("media engine: built-in"));
    }
}
