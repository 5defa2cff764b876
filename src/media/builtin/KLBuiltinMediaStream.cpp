#include "media/builtin/KLBuiltinMediaStream.h"

#include "media/KLRTCMediaLogging.h"
#include "media/KLRTCMediaVideoRenderView.h"
#include "media/capture/KLScreenCapture.h"
#include "runtime/KLDispatchQueue.h"

#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace {

QString newTrackId(const QString &kind)
{
    return kind + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

QJsonObject KLBuiltinStreamDescription::toJson() const
{
    return {{QStringLiteral("streamId"), streamId},     {QStringLiteral("display"), display},
            {QStringLiteral("screen"), screen},         {QStringLiteral("fake"), fake},
            {QStringLiteral("audio"), audio},           {QStringLiteral("video"), video},
            {QStringLiteral("audioTrackId"), audioTrackId}, {QStringLiteral("videoTrackId"), videoTrackId}};
}

std::optional<KLBuiltinStreamDescription> KLBuiltinStreamDescription::fromJson(const QJsonObject &message)
{
    KLBuiltinStreamDescription description;
    description.streamId = message.value(QLatin1String("streamId")).toString();
    if (description.streamId.isEmpty())
        return std::nullopt;
    description.display = message.value(QLatin1String("display")).toString();
    description.screen = message.value(QLatin1String("screen")).toBool();
    description.fake = message.value(QLatin1String("fake")).toBool();
    description.audio = message.value(QLatin1String("audio")).toBool();
    description.video = message.value(QLatin1String("video")).toBool();
    description.audioTrackId = message.value(QLatin1String("audioTrackId")).toString();
    description.videoTrackId = message.value(QLatin1String("videoTrackId")).toString();
    return description;
}

std::shared_ptr<KLBuiltinMediaStream>
KLBuiltinMediaStream::createLocal(std::shared_ptr<KLDispatchQueue> queue, const QJsonObject &mediaDictionary,
                                  std::weak_ptr<KLRTCMediaStreamDelegate> delegate)
{
    KLBuiltinStreamDescription description;
    description.screen = mediaDictionary.value(QLatin1String("screen")).toBool();
    description.fake = mediaDictionary.value(QLatin1String("fakeStream")).toBool();
    description.audio = !description.fake && mediaDictionary.value(QLatin1String("audio")).toBool();
    description.video = !description.fake &&
                        (description.screen || mediaDictionary.value(QLatin1String("video")).toBool());
    if (description.audio)
        description.audioTrackId = newTrackId(QStringLiteral("audio"));
    if (description.video)
        description.videoTrackId = newTrackId(QStringLiteral("video"));
    // Until it is published the stream carries a local id of its own.
    description.streamId = QStringLiteral("local-") + QUuid::createUuid().toString(QUuid::Id128);
    auto stream = std::shared_ptr<KLBuiltinMediaStream>(
        new KLBuiltinMediaStream(std::move(queue), true, description, std::move(delegate)));
    stream->m_beauty = mediaDictionary.value(QLatin1String("KLRTCMedia-Video-Beauty")).toBool();
    if (description.screen)
        stream->m_capture = KLScreenCapture::open().source;
    return stream;
}

std::shared_ptr<KLBuiltinMediaStream>
KLBuiltinMediaStream::createRemote(std::shared_ptr<KLDispatchQueue> queue,
                                   const KLBuiltinStreamDescription &description)
{
    return std::shared_ptr<KLBuiltinMediaStream>(
        new KLBuiltinMediaStream(std::move(queue), false, description, {}));
}

KLBuiltinMediaStream::KLBuiltinMediaStream(std::shared_ptr<KLDispatchQueue> queue, bool local,
                                           const KLBuiltinStreamDescription &description,
                                           std::weak_ptr<KLRTCMediaStreamDelegate> delegate)
    : m_queue(std::move(queue)), m_local(local), m_delegate(std::move(delegate)),
      m_description(description),
      m_pattern(std::make_unique<KLBuiltinVideoPattern>(description.streamId))
{
    m_clock.start();
}

KLBuiltinMediaStream::~KLBuiltinMediaStream()
{
    if (m_capture)
        m_capture->stop();
    // The frame timer lives on the engine queue and is stopped there.
    QTimer *timer = m_timer;
    if (!timer)
        return;
    if (m_queue->isCurrent()) {
        timer->stop();
        timer->disconnect();
        timer->deleteLater(); // we may be inside its own timeout
    } else {
        m_queue->sync([timer] { delete timer; });
    }
}

void KLBuiltinMediaStream::initStream()
{
    std::weak_ptr<KLBuiltinMediaStream> weak =
        std::static_pointer_cast<KLBuiltinMediaStream>(shared_from_this());
    m_queue->async([weak] {
        auto self = weak.lock();
        if (!self || self->isClosed())
            return;
        auto delegate = self->m_delegate.lock();
        if (!delegate)
            return;
        const KLBuiltinStreamDescription description = self->description();
        delegate->rtcStream(self, KLRTCMediaStreamStateReady,
                            {{QStringLiteral("streamId"), description.streamId},
                             {QStringLiteral("audio"), description.audio},
                             {QStringLiteral("video"), description.video}});
    });
}

QString KLBuiltinMediaStream::getID() const
{
    std::lock_guard lock(m_mutex);
    return m_description.streamId;
}

QString KLBuiltinMediaStream::display() const
{
    std::lock_guard lock(m_mutex);
    return m_description.display;
}

bool KLBuiltinMediaStream::hasScreen() const
{
    std::lock_guard lock(m_mutex);
    return m_description.screen;
}

bool KLBuiltinMediaStream::isFakeStream() const
{
    std::lock_guard lock(m_mutex);
    return m_description.fake;
}

bool KLBuiltinMediaStream::isEnable(const QString &kind) const
{
    std::lock_guard lock(m_mutex);
    if (kind == QLatin1String("audio"))
        return m_description.audio && !m_audioMuted;
    if (kind == QLatin1String("video"))
        return m_description.video && !m_videoMuted;
    return false;
}

QString KLBuiltinMediaStream::audioTrackId() const
{
    std::lock_guard lock(m_mutex);
    return m_description.audioTrackId;
}

QString KLBuiltinMediaStream::videoTrackId() const
{
    std::lock_guard lock(m_mutex);
    return m_description.videoTrackId;
}

void KLBuiltinMediaStream::muteAudio(bool muted)
{
    std::lock_guard lock(m_mutex);
    m_audioMuted = muted;
}

void KLBuiltinMediaStream::muteVideo(bool muted)
{
    std::lock_guard lock(m_mutex);
    m_videoMuted = muted;
    kickLocked();
}

void KLBuiltinMediaStream::setBeautyFlag(bool enabled)
{
    std::lock_guard lock(m_mutex);
    m_beauty = enabled;
}

bool KLBuiltinMediaStream::beautyFlag() const
{
    std::lock_guard lock(m_mutex);
    return m_beauty;
}

void KLBuiltinMediaStream::playWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    addView(view);
}

void KLBuiltinMediaStream::preVideoWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    addView(view);
}

void KLBuiltinMediaStream::addView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    if (!view)
        return;
    std::lock_guard lock(m_mutex);
    const bool known = std::any_of(m_views.begin(), m_views.end(),
                                   [&](const auto &weak) { return weak.lock() == view; });
    if (!known)
        m_views.push_back(view);
    kickLocked();
}

void KLBuiltinMediaStream::stopPlay()
{
    std::lock_guard lock(m_mutex);
    m_views.clear();
}

void KLBuiltinMediaStream::stopPlayWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    std::lock_guard lock(m_mutex);
    m_views.erase(std::remove_if(m_views.begin(), m_views.end(),
                                 [&](const auto &weak) {
                                     auto shown = weak.lock();
                                     return !shown || shown == view;
                                 }),
                  m_views.end());
}

void KLBuiltinMediaStream::close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_views.clear();
    if (m_capture)
        m_capture->stop();
}

bool KLBuiltinMediaStream::capturesScreen() const
{
    std::lock_guard lock(m_mutex);
    return m_capture != nullptr;
}

void KLBuiltinMediaStream::assignPublication(const QString &streamId, const QString &display)
{
    std::lock_guard lock(m_mutex);
    if (m_description.streamId != streamId)
        m_pattern = std::make_unique<KLBuiltinVideoPattern>(streamId);
    m_description.streamId = streamId;
    m_description.display = display;
}

KLBuiltinStreamDescription KLBuiltinMediaStream::description() const
{
    std::lock_guard lock(m_mutex);
    KLBuiltinStreamDescription description = m_description;
    description.audio = m_description.audio && !m_audioMuted;
    description.video = m_description.video && !m_videoMuted;
    return description;
}

void KLBuiltinMediaStream::setSubscribed(bool subscribed)
{
    std::lock_guard lock(m_mutex);
    m_subscribed = subscribed;
    kickLocked();
}

bool KLBuiltinMediaStream::isSubscribed() const
{
    std::lock_guard lock(m_mutex);
    return m_subscribed;
}

void KLBuiltinMediaStream::setServerVideo(bool on)
{
    std::lock_guard lock(m_mutex);
    m_serverVideo = on;
    kickLocked();
}

bool KLBuiltinMediaStream::isClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

int KLBuiltinMediaStream::audioLevel() const
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_description.audio || m_audioMuted || m_closed || (!m_local && !m_subscribed))
            return 0;
    }
    // Speech-like: a slow envelope with a faster ripple, never quite silent.
    const double t = double(m_clock.elapsed()) / 1000.0;
    const double envelope = 0.5 + 0.5 * std::sin(t * 1.3);
    const double ripple = 0.5 + 0.5 * std::sin(t * 11.0);
    return int(1500 + envelope * ripple * 24000);
}

qint64 KLBuiltinMediaStream::mediaMilliseconds() const
{
    return m_clock.elapsed();
}

bool KLBuiltinMediaStream::videoFlowingLocked() const
{
    if (m_closed || !m_description.video || m_videoMuted)
        return false;
    return m_local || (m_subscribed && m_serverVideo);
}

void KLBuiltinMediaStream::kickLocked()
{
    if (m_pumping || m_views.empty() || !videoFlowingLocked())
        return;
    m_pumping = true;
    std::weak_ptr<KLBuiltinMediaStream> weak =
        std::static_pointer_cast<KLBuiltinMediaStream>(shared_from_this());
    m_queue->async([weak] {
        auto self = weak.lock();
        if (!self)
            return;
        if (!self->m_timer) {
            self->m_timer = new QTimer;
            self->m_timer->setInterval(kFrameIntervalMs);
            QObject::connect(self->m_timer, &QTimer::timeout, self->m_timer, [weak] {
                if (auto stream = weak.lock())
                    stream->pumpFrame();
            });
        }
        self->m_timer->start();
        self->pumpFrame();
    });
}

void KLBuiltinMediaStream::pumpFrame()
{
    std::vector<std::shared_ptr<KLRTCMediaVideoRenderView>> views;
    KLRTCMediaVideoFrame frame;
    const int level = audioLevel(); // drawn as the meter strip
    {
        std::lock_guard lock(m_mutex);
        for (const auto &weak : m_views)
            if (auto view = weak.lock())
                views.push_back(std::move(view));
        if (views.empty() || !videoFlowingLocked()) {
            m_pumping = false;
            if (m_timer)
                m_timer->stop();
            return;
        }
        const qint64 now = m_clock.nsecsElapsed() / 1000;
        // The screen's newest picture; the pattern until the capture has its first one.
        if (!m_capture || !m_capture->latestFrame(frame) || !frame.isValid())
            frame = m_pattern->frame(m_frameIndex, level, now);
        frame.timestampUs = now;
        ++m_frameIndex;
    }
    for (const auto &view : views)
        view->renderFrame(frame);
}
