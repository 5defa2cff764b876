#include "media/webrtc/KLWebRtcMediaSDK.h"

#include "media/KLRTCMediaLogging.h"
#include "media/builtin/KLBuiltinLocalTurnDetect.h"
#include "media/builtin/KLBuiltinMessageManager.h"
#include "media/builtin/KLBuiltinSettingStore.h"
#include "media/webrtc/KLWebRtcDeviceMonitor.h"
#include "media/webrtc/KLWebRtcMediaConnection.h"
#include "media/webrtc/KLWebRtcMediaStream.h"
#include "media/webrtc/KLWebRtcPeer.h"
#include "runtime/KLDispatchQueue.h"

bool KLWebRtcMediaSDK::available(QString *error)
{
    return KLWebRtcPeer::initialise(error);
}

KLWebRtcMediaSDK::KLWebRtcMediaSDK()
    : m_queue(KLDispatchQueue::makeShared(QStringLiteral("com.kelvo.media.webrtc.engine"),
                                         KLDispatchQueue::Lifetime::Process)),
      m_devices(std::make_shared<KLWebRtcDeviceMonitor>(m_queue)),
      m_settings(std::make_shared<KLBuiltinSettingStore>()),
      m_messages(std::make_shared<KLBuiltinMessageManager>(m_queue))
{
    QString error;
    if (!available(&error))
        KL_ENGINE_LOG(8, QStringLiteral("WebRTC engine unusable: %1").arg(error));
}

KLWebRtcMediaSDK::~KLWebRtcMediaSDK() = default;

std::shared_ptr<KLRTCMediaConnection>
KLWebRtcMediaSDK::createConnection(const QJsonObject &connectionParam, int, int, bool openDataChannel, bool,
                                   std::weak_ptr<KLRTCMediaConnectionDelegate> delegate)
{
    return KLWebRtcMediaConnection::create(connectionParam, openDataChannel, std::move(delegate), m_devices);
}

std::shared_ptr<KLRTCMediaStream> KLWebRtcMediaSDK::createStream(const QJsonObject &mediaDictionary,
                                                                 std::weak_ptr<KLRTCMediaStreamDelegate> delegate)
{
    return KLWebRtcMediaStream::createLocal(mediaDictionary, std::move(delegate), m_devices);
}

std::shared_ptr<KLRTCMediaLocalTurnDetect> KLWebRtcMediaSDK::createLocalTurnDetect()
{
    return std::make_shared<KLBuiltinLocalTurnDetect>(m_queue);
}

std::shared_ptr<KLRTCMediaDeviceManager> KLWebRtcMediaSDK::deviceManager() { return m_devices; }
std::shared_ptr<KLRTCMediaSettingStore> KLWebRtcMediaSDK::settingStore() { return m_settings; }
std::shared_ptr<KLRTCCommonWebRtcMsgManager> KLWebRtcMediaSDK::messageManager() { return m_messages; }
