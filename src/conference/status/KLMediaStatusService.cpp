#include "conference/status/KLMediaStatusService.h"

#include "cloudlog/KLQLSLogger.h"
#include "media/KLRTCMediaConnection.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKGCDTimer.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <atomic>

namespace {

const QString kTag = QStringLiteral("KLMediaStatusService");
const QString kThreadLabel = QStringLiteral("com.kelvo.mediastatus.thread");
constexpr double kSampleInterval = 1.0;

void commitToCloudLog(int level, int group, const QJsonObject &params)
{
    KLQLSLogger::sharedInstance().commitMonitorLevel(level, group, params);
}

} // namespace

/// What ticks and statistics answers reach. They hold it weakly, so a reporter that has been
/// destroyed is never touched; `generation` tells a current run from an earlier one.
struct KLMediaStatusService::Shared {
    std::weak_ptr<KLMediaStatusSource> source;
    RecordSink recordSink;
    std::atomic<quint64> generation{0};
    mutable std::mutex mutex; // guards window
    KLMediaStatusWindow window;

    void requestStatus(const std::weak_ptr<Shared> &self, quint64 run);
    void takeSample(const QJsonObject &sample, quint64 run);
};

void KLMediaStatusService::Shared::requestStatus(const std::weak_ptr<Shared> &self, quint64 run)
{
    if (generation.load() != run)
        return;
    const auto conference = source.lock();
    if (!conference)
        return;
    const auto connection = conference->mediaConnection().lock();
    if (!connection)
        return;
    connection->getStatusForMedia(QString(), [self, run](const QJsonObject &sample) {
        if (const auto shared = self.lock())
            shared->takeSample(sample, run);
    });
}

void KLMediaStatusService::Shared::takeSample(const QJsonObject &sample, quint64 run)
{
    if (generation.load() != run)
        return;
    const auto conference = source.lock();
    if (!conference)
        return;

    // The conference service is asked before the window is locked, so that its own lock is
    // never taken inside ours.
    KLMediaStatusContext context;
    context.conferenceMode = conference->conferenceMode();
    context.mainFeed = conference->displayingFeed();
    context.feeds = conference->registeredFeeds();

    KLMediaStatusOutcome outcome;
    {
        std::lock_guard lock(mutex);
        if (generation.load() != run)
            return;
        outcome = window.uploadMediaStatus(sample, context);
    }
    // The own feed first, as the sample is read: the window's records come after it.
    for (const KLMediaStatusPublisherAudio &audio : outcome.publisherAudio) {
        if (generation.load() != run)
            return;
        conference->updatePublisherAudioStatus(audio.iLevel, audio.packetsSent);
    }
    if (outcome.records.isEmpty())
        return;
    // Sent under the lock: once stopTimer has had the lock, no record of its run follows.
    std::lock_guard lock(mutex);
    if (generation.load() != run)
        return;
    for (const QJsonObject &record : outcome.records)
        recordSink(KLMediaStatusWindow::kRecordLevel, KLMediaStatusWindow::kRecordGroup, record);
}

KLMediaStatusService::KLMediaStatusService(std::weak_ptr<KLMediaStatusSource> conferenceManager,
                                           RecordSink recordSink)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->source = std::move(conferenceManager);
    m_shared->recordSink = recordSink ? std::move(recordSink) : RecordSink(&commitToCloudLog);
}

KLMediaStatusService::~KLMediaStatusService()
{
    stopTimer();
}

void KLMediaStatusService::startTimer()
{
    stopTimer();
    std::lock_guard control(m_controlMutex);
    const quint64 run = m_shared->generation.load();
    m_thread = std::make_unique<KLDispatchQueue>(kThreadLabel);
    std::weak_ptr<Shared> weakShared = m_shared;
    m_timer = KLSDKGCDTimer::scheduledTimerWithTimeInterval(
        kSampleInterval, m_shared,
        [weakShared, run]() {
            KLPerformBlockOnSerialQueue([weakShared, run]() {
                if (const auto shared = weakShared.lock())
                    shared->requestStatus(weakShared, run);
            });
        },
        m_thread.get(), QVariant(), true);
    KL_LOG_INFO(kTag, QStringLiteral("media status sampling started"));
}

void KLMediaStatusService::stopTimer()
{
    std::lock_guard control(m_controlMutex);
    // Everything of the ending run now checks a stale generation and stops.
    m_shared->generation.fetch_add(1);
    const bool wasRunning = m_thread != nullptr;
    if (m_thread) {
        m_timer.reset();
        // The timer deletes its platform timer on the queue; let that run before the queue
        // ends, so that nothing of it is left on a finished thread.
        m_thread->sync([]() {});
        m_thread.reset();
    }
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->window.reset();
    }
    if (wasRunning)
        KL_LOG_INFO(kTag, QStringLiteral("media status sampling stopped"));
}

bool KLMediaStatusService::isRunning() const
{
    std::lock_guard control(m_controlMutex);
    return m_thread != nullptr;
}

void KLMediaStatusService::uploadMediaStatus(const QJsonObject &sample)
{
    m_shared->takeSample(sample, m_shared->generation.load());
}

int KLMediaStatusService::mediaCount() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->window.mediaCount();
}

std::vector<KLMediaObject> KLMediaStatusService::mediaObjectList() const
{
    std::lock_guard lock(m_shared->mutex);
    std::vector<KLMediaObject> copies;
    for (const auto &bucket : m_shared->window.mediaObjectList())
        copies.push_back(*bucket);
    return copies;
}
