#include "media/webrtc/KLWebRtcMediaStream.h"

#include "media/KLRTCMediaLogging.h"
#include "media/capture/KLScreenCapture.h"
#include "media/webrtc/KLWebRtcDeviceMonitor.h"
#include "media/KLRTCMediaVideoRenderView.h"

#include <algorithm>

std::shared_ptr<KLWebRtcMediaStream>
KLWebRtcMediaStream::createLocal(const QJsonObject &media, std::weak_ptr<KLRTCMediaStreamDelegate> delegate,
                                 std::shared_ptr<KLWebRtcDeviceMonitor> devices)
{
    auto stream = std::shared_ptr<KLWebRtcMediaStream>(new KLWebRtcMediaStream(true, std::move(delegate)));
    stream->m_screen = media.value(QLatin1String("screen")).toBool();
    stream->m_fake = media.value(QLatin1String("fakeStream")).toBool();
    stream->m_audio = !stream->m_screen && !stream->m_fake && media.value(QLatin1String("audio")).toBool(true);
    stream->m_video = !stream->m_fake && (stream->m_screen || media.value(QLatin1String("video")).toBool(true));
    KLWebRtcPeerConfig &config = stream->m_config;
    config.publisher = true;
    config.screen = stream->m_screen;
    config.audio = stream->m_audio;
    config.video = stream->m_video;
    config.cameraDevice = media.value(QLatin1String("cameraId")).toString();
    config.devices = std::move(devices);
    config.micId = media.value(QLatin1String("micId")).toString();
    config.speakerId = media.value(QLatin1String("speakerId")).toString();
    if (config.devices && !config.speakerId.isEmpty())
        config.devices->rememberSpeaker(config.speakerId);
    config.width = media.value(QLatin1String("vWidth")).toInt(320);
    config.height = media.value(QLatin1String("vHeight")).toInt(180);
    config.fps = stream->m_screen ? media.value(QLatin1String("screenFps")).toInt(15) : 15;
    if (stream->m_screen && !stream->m_fake) {
        // Opened once per share: a restart's fresh publisher sends from the same capture.
        KLScreenCaptureResult capture = KLScreenCapture::open();
        config.capture = std::move(capture.source);
        if (!config.capture)
            KL_ENGINE_LOG(2, QStringLiteral("no screen capture, the share sends a moving pattern: %1").arg(capture.why));
    }
    return stream;
}

std::shared_ptr<KLWebRtcMediaStream> KLWebRtcMediaStream::createRemote(const QString &feedId, const QString &display,
                                                                       bool audio, bool video)
{
    auto stream = std::shared_ptr<KLWebRtcMediaStream>(new KLWebRtcMediaStream(false, {}));
    stream->m_id = feedId;
    stream->m_display = display;
    stream->m_screen = feedId.startsWith(QLatin1String("screen-"));
    stream->m_audio = audio;
    stream->m_video = video;
    return stream;
}

KLWebRtcMediaStream::KLWebRtcMediaStream(bool local, std::weak_ptr<KLRTCMediaStreamDelegate> delegate)
    : m_local(local), m_delegate(std::move(delegate))
{
}

KLWebRtcMediaStream::~KLWebRtcMediaStream()
{
    if (m_peer)
        m_peer->stop();
    if (m_config.capture)
        m_config.capture->stop();
}

void KLWebRtcMediaStream::renewPeer()
{
    std::shared_ptr<KLWebRtcPeer> old;
    QString display;
    {
        std::lock_guard lock(m_mutex);
        old = std::exchange(m_peer, nullptr);
        display = m_display;
    }
    if (old)
        old->stop();
    initStream();
    std::shared_ptr<KLWebRtcPeer> fresh = peer();
    if (fresh) {
        fresh->setOverlayText(display);
        std::lock_guard lock(m_mutex);
        fresh->setAudioMuted(m_audioMuted);
        fresh->setVideoMuted(m_videoMuted);
    }
}

void KLWebRtcMediaStream::initStream()
{
    std::shared_ptr<KLWebRtcPeer> peer;
    {
        std::lock_guard lock(m_mutex);
        if (!m_local || m_closed || m_peer || m_fake)
            peer = nullptr;
        else {
            std::weak_ptr<KLWebRtcMediaStream> weak =
                std::static_pointer_cast<KLWebRtcMediaStream>(shared_from_this());
            KLWebRtcPeerCallbacks callbacks;
            callbacks.videoFrame = [weak](const KLRTCMediaVideoFrame &frame) {
                if (auto stream = weak.lock())
                    stream->deliver(frame);
            };
            m_peer = KLWebRtcPeer::create(m_config, std::move(callbacks));
            peer = m_peer;
        }
    }
    if (peer && !peer->start())
        KL_ENGINE_LOG(8, QStringLiteral("local media could not be opened"));
    if (auto delegate = m_delegate.lock())
        delegate->rtcStream(shared_from_this(), KLRTCMediaStreamStateReady, {});
}

QString KLWebRtcMediaStream::getID() const { std::lock_guard lock(m_mutex); return m_id; }
QString KLWebRtcMediaStream::display() const { std::lock_guard lock(m_mutex); return m_display; }
bool KLWebRtcMediaStream::hasScreen() const { std::lock_guard lock(m_mutex); return m_screen; }
bool KLWebRtcMediaStream::isFakeStream() const { std::lock_guard lock(m_mutex); return m_fake; }

bool KLWebRtcMediaStream::isEnable(const QString &kind) const
{
    std::lock_guard lock(m_mutex);
    if (kind == QLatin1String("audio"))
        return m_audio && !m_audioMuted;
    if (kind == QLatin1String("video"))
        return m_video && !m_videoMuted;
    return false;
}

QString KLWebRtcMediaStream::audioTrackId() const
{
    std::lock_guard lock(m_mutex);
    return m_audio ? m_id + QStringLiteral("-audio") : QString();
}

QString KLWebRtcMediaStream::videoTrackId() const
{
    std::lock_guard lock(m_mutex);
    return m_video ? m_id + QStringLiteral("-video") : QString();
}

void KLWebRtcMediaStream::muteAudio(bool muted)
{
    std::shared_ptr<KLWebRtcPeer> peer;
    {
        std::lock_guard lock(m_mutex);
        m_audioMuted = muted;
        peer = m_peer;
    }
    if (peer)
        m_local ? peer->setAudioMuted(muted) : peer->setPlaybackMuted(muted);
}

void KLWebRtcMediaStream::muteVideo(bool muted)
{
    std::shared_ptr<KLWebRtcPeer> peer;
    {
        std::lock_guard lock(m_mutex);
        m_videoMuted = muted;
        peer = m_local ? m_peer : nullptr;
    }
    if (peer)
        peer->setVideoMuted(muted);
}

void KLWebRtcMediaStream::setBeautyFlag(bool enabled)
{
    KL_ENGINE_LOG(4, QStringLiteral("beauty filter %1: not applied by this engine").arg(enabled ? 1 : 0));
}

void KLWebRtcMediaStream::addView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    if (!view)
        return;
    std::lock_guard lock(m_mutex);
    for (const auto &known : m_views)
        if (known.lock() == view)
            return;
    m_views.push_back(view);
}

void KLWebRtcMediaStream::playWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) { addView(view); }
void KLWebRtcMediaStream::preVideoWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) { addView(view); }

void KLWebRtcMediaStream::stopPlay()
{
    std::lock_guard lock(m_mutex);
    m_views.clear();
}

void KLWebRtcMediaStream::stopPlayWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_views, [&](const auto &known) { return known.expired() || known.lock() == view; });
}

void KLWebRtcMediaStream::close()
{
    std::shared_ptr<KLWebRtcPeer> peer;
    std::shared_ptr<KLScreenCaptureSource> capture;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_views.clear();
        peer = std::exchange(m_peer, nullptr);
        capture = std::exchange(m_config.capture, nullptr);
    }
    if (peer)
        peer->stop();
    if (capture)
        capture->stop();
}

void KLWebRtcMediaStream::assignPublication(const QString &streamId, const QString &display)
{
    std::shared_ptr<KLWebRtcPeer> peer;
    {
        std::lock_guard lock(m_mutex);
        m_id = streamId;
        m_display = display;
        peer = m_local && !m_screen ? m_peer : nullptr;
    }
    if (peer)
        peer->setOverlayText(display);
}

std::shared_ptr<KLWebRtcPeer> KLWebRtcMediaStream::peer() const
{
    std::lock_guard lock(m_mutex);
    return m_peer;
}

void KLWebRtcMediaStream::setPeer(std::shared_ptr<KLWebRtcPeer> peer)
{
    std::shared_ptr<KLWebRtcPeer> old;
    {
        std::lock_guard lock(m_mutex);
        old = std::exchange(m_peer, std::move(peer));
        if (m_peer && m_audioMuted)
            m_peer->setPlaybackMuted(true);
    }
    if (old)
        old->stop();
}

KLWebRtcPeerConfig KLWebRtcMediaStream::publisherConfig() const
{
    std::lock_guard lock(m_mutex);
    return m_config;
}

void KLWebRtcMediaStream::switchMicrophone(const QString &micId)
{
    std::shared_ptr<KLWebRtcPeer> peer;
    {
        std::lock_guard lock(m_mutex);
        if (!m_local)
            return;
        m_config.micId = micId;
        peer = m_peer;
    }
    if (peer)
        peer->switchMicrophone(micId);
}

void KLWebRtcMediaStream::deliver(const KLRTCMediaVideoFrame &frame)
{
    std::vector<std::shared_ptr<KLRTCMediaVideoRenderView>> views;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed || (m_local && m_videoMuted))
            return;
        for (const auto &weak : m_views)
            if (auto view = weak.lock())
                views.push_back(view);
    }
    for (const auto &view : views)
        view->renderFrame(frame);
}

int KLWebRtcMediaStream::audioLevel() const
{
    std::lock_guard lock(m_mutex);
    return (m_peer && !m_audioMuted) ? m_peer->audioLevel() : 0;
}
