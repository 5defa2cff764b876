#include "conference/service/KLPublishWatchdog.h"

#include "cloudlog/KLQLSLogger.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"

#include <QJsonObject>

#include <utility>

namespace {

const QString kTag = QStringLiteral("KLPublishWatchdog");

void report(int level, int group, const QString &value, const QString &errCode = QString())
{
    QJsonObject record{{QStringLiteral("value"), value}};
    if (!errCode.isEmpty())
        record.insert(QStringLiteral("errCode"), errCode);
    KLQLSLogger::sharedInstance().commitMonitorLevel(level, group, record);
}

void watchInputLevel(KLFeedClient &feed, qint64 level)
{
    if (level > 1) {
        feed.setNoILevelCount(0);
        if (feed.noILevelFlag()) {
            feed.setNoILevelFlag(false);
            report(3, 1, QStringLiteral("audioStreamRefreshLevel"));
        }
        return;
    }
    const qint32 count = feed.noILevelCount() + 1;
    feed.setNoILevelCount(count);
    if (count >= KLPublishWatchdog::kNoInputLevelThreshold && !feed.noILevelFlag()) {
        feed.setNoILevelFlag(true);
        KL_LOG_WARN(kTag, QStringLiteral("no input level for %1 samples").arg(count));
        report(5, 3, QStringLiteral("mediaError"), QStringLiteral("609"));
    }
}

void watchPacketsSent(KLFeedClient &feed, qint64 oldValue, qint64 newValue,
                      const std::function<void()> &onConfirm,
                      const KLPublishWatchdog::DialogPresenter &presenter)
{
    if (newValue != oldValue) {
        feed.setNoAudioCount(0);
        if (feed.noAudioFlag()) {
            feed.setNoAudioFlag(false);
            report(3, 1, QStringLiteral("audioStreamRefresh"));
        }
        return;
    }
    const qint32 count = feed.noAudioCount() + 1;
    feed.setNoAudioCount(count);
    if (count >= KLPublishWatchdog::kNoAudioThreshold && !feed.noAudioFlag()) {
        feed.setNoAudioFlag(true);
        KL_LOG_WARN(kTag, QStringLiteral("no audio packets sent for %1 samples").arg(count));
        report(5, 3, QStringLiteral("mediaError"), QStringLiteral("604"));
        KLDialogRequest dialog = KLPublishWatchdog::noAudioDialog(onConfirm);
        if (presenter)
            presenter(std::move(dialog));
        else
            KLToastManager::shared().showToastDialog(std::move(dialog));
    }
}

} // namespace

void KLPublishWatchdog::notifactionPublish(const std::shared_ptr<KLFeedClient> &feed,
                                           std::function<void()> onConfirm,
                                           DialogPresenter presenter)
{
    if (!feed) {
        KL_LOG_INFO(kTag, QStringLiteral("no own feed yet, nothing to watch"));
        return;
    }
    feed->setStatsObserver([onConfirm = std::move(onConfirm), presenter = std::move(presenter)](
                               KLFeedClient &watched, KLFeedStat stat, qint64 oldValue,
                               qint64 newValue) {
        handleStat(watched, stat, oldValue, newValue, onConfirm, presenter);
    });
}

void KLPublishWatchdog::handleStat(KLFeedClient &feed, KLFeedStat stat, qint64 oldValue,
                                   qint64 newValue, const std::function<void()> &onConfirm,
                                   const DialogPresenter &presenter)
{
    switch (stat) {
    case KLFeedStat::InputLevel:
        watchInputLevel(feed, newValue);
        break;
    case KLFeedStat::PacketsSent:
        watchPacketsSent(feed, oldValue, newValue, onConfirm, presenter);
        break;
    }
}

KLDialogRequest KLPublishWatchdog::noAudioDialog(std::function<void()> onConfirm)
{
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("ERROR_NOAUDIO_MSG"));
    request.firstButtonText = KLLocalizedString(QStringLiteral("CONFIRM"));
    request.firstBlock = [onConfirm = std::move(onConfirm)] {
        if (onConfirm)
            onConfirm();
    };
    request.secondButtonText = KLLocalizedString(QStringLiteral("CANCEL"));
    request.secondBlock = [] {};
    return request;
}
