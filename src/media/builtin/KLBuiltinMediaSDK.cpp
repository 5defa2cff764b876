#include "media/builtin/KLBuiltinMediaSDK.h"

#include "media/KLRTCMediaLogging.h"
#include "media/builtin/KLBuiltinDeviceManager.h"
#include "runtime/KLDispatchQueue.h"
#include "media/builtin/KLBuiltinLocalTurnDetect.h"
#include "media/builtin/KLBuiltinMediaConnection.h"
#include "media/builtin/KLBuiltinMediaStream.h"
#include "media/builtin/KLBuiltinMessageManager.h"
#include "media/builtin/KLBuiltinSettingStore.h"

std::function<std::shared_ptr<KLRTCMediaSDK>()> KLBuiltinMediaSDK::defaultFactory()
{
    return [] { return std::make_shared<KLBuiltinMediaSDK>(); };
}

void KLBuiltinMediaSDK::registerAsDefault()
{
    KLRTCMediaSDK::registerDefaultEngine(defaultFactory());
}

KLBuiltinMediaSDK::KLBuiltinMediaSDK()
    : m_queue(KLDispatchQueue::makeShared(QStringLiteral("com.kelvo.media.engine"),
                                         KLDispatchQueue::Lifetime::Process)),
      m_devices(std::make_shared<KLBuiltinDeviceManager>(m_queue)),
      m_settings(std::make_shared<KLBuiltinSettingStore>()),
      m_messages(std::make_shared<KLBuiltinMessageManager>(m_queue))
{
}

KLBuiltinMediaSDK::~KLBuiltinMediaSDK() = default;

std::shared_ptr<KLRTCMediaConnection>
KLBuiltinMediaSDK::createConnection(const QJsonObject &connectionParam, int mode, int transport,
                                    bool openDataChannel, bool useSimulcast,
                                    std::weak_ptr<KLRTCMediaConnectionDelegate> delegate)
{
    if (mode != KLRTCMediaConnectionModeDefault || transport != KLRTCMediaConnectionTransportDefault)
        KL_ENGINE_LOG(2, QStringLiteral("connection mode %1 transport %2: handled as mode 1 transport 0")
                             .arg(mode)
                             .arg(transport));
    return KLBuiltinMediaConnection::create(connectionParam, openDataChannel, useSimulcast, std::move(delegate),
                                            m_queue, m_messages);
}

std::shared_ptr<KLRTCMediaStream> KLBuiltinMediaSDK::createStream(const QJsonObject &mediaDictionary,
                                                                  std::weak_ptr<KLRTCMediaStreamDelegate> delegate)
{
    return KLBuiltinMediaStream::createLocal(m_queue, mediaDictionary, std::move(delegate));
}

std::shared_ptr<KLRTCMediaLocalTurnDetect> KLBuiltinMediaSDK::createLocalTurnDetect()
{
    return std::make_shared<KLBuiltinLocalTurnDetect>(m_queue);
}

std::shared_ptr<KLRTCMediaDeviceManager> KLBuiltinMediaSDK::deviceManager()
{
    return m_devices;
}

std::shared_ptr<KLRTCMediaSettingStore> KLBuiltinMediaSDK::settingStore()
{
    return m_settings;
}

std::shared_ptr<KLRTCCommonWebRtcMsgManager> KLBuiltinMediaSDK::messageManager()
{
    return m_messages;
}
