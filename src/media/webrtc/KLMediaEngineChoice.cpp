#include "media/webrtc/KLMediaEngineChoice.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"

#include <mutex>

void KL_chooseMediaEngine(const QString &name)
{
    static std::mutex mutex;
    static std::shared_ptr<KLWebRtcMediaSDK> webrtc; // made on first choice, kept for the process
    static bool installed = false;
    std::lock_guard lock(mutex);
    if (name == QLatin1String("webrtc")) {
        QString why;
        if (!KLWebRtcMediaSDK::available(&why)) {
            KL_ENGINE_LOG(8, QStringLiteral("the WebRTC engine cannot run here (%1): the built-in engine is kept").arg(why));
            return;
        }
        if (!webrtc)
            webrtc = std::make_shared<KLWebRtcMediaSDK>();
        KLRTCMediaSDK::install(webrtc);
        installed = true;
        KL_ENGINE_LOG(4, QStringLiteral("media engine: WebRTC"));
        return;
    }
    if (!name.isEmpty() && name != QLatin1String("builtin")) {
        KL_ENGINE_LOG(2, QStringLiteral("media engine %1 unknown: ignored").arg(name));
        return;
    }
    if (installed) {
        KLRTCMediaSDK::install(nullptr);
        installed = false;
        KL_ENGINE_LOG(4, QStringLiteral("media engine: built-in"));
    }
}
