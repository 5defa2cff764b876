#pragma once

// The own-audio watchdog: notices when the own feed stops sending audio packets or its
// microphone level stays flat, reports it to the cloud log and, for missing packets, offers
// the user to rejoin. It counts on the feed itself (`noAudioCount`, `noAudioFlag`,
// `noILevelCount`, `noILevelFlag`), fed by the feed's stats observer each time media reporting
// sets "packetsSent" or "iLevel".
//
// - "iLevel": a level above 1 resets the count (and, after an alarm, reports
//   "audioStreamRefreshLevel", level 3 group 1); any other level counts. 20 flat levels raise
//   the alarm once: {"value": "mediaError", "errCode": "609"}, level 5 group 3.
// - "packetsSent": a changed value resets the count (and, after an alarm, reports
//   "audioStreamRefresh", level 3 group 1); an unchanged one counts. 10 unchanged values raise
//   the alarm once: {"value": "mediaError", "errCode": "604"}, level 5 group 3, and the dialog
//   "ERROR_NOAUDIO_MSG" with "CONFIRM" and "CANCEL".

#include "conference/registry/KLFeedClient.h"
#include "presentation/KLDialogQueue.h"

#include <functional>
#include <memory>

class KLPublishWatchdog {
public:
    /// Unchanged "packetsSent" values that raise the no-audio alarm.
    static constexpr qint32 kNoAudioThreshold = 10;
    /// Flat "iLevel" values that raise the no-level alarm.
    static constexpr qint32 kNoInputLevelThreshold = 20;

    /// Shows a dialog; by default through the toast manager's dialog queue.
    using DialogPresenter = std::function<void(KLDialogRequest request)>;

    /// Installs the watchdog as `feed`'s stats observer (replacing any other). `onConfirm` runs
    /// when the user confirms the no-audio dialog; it is stored in the feed, so it must not
    /// hold the feed's owner strongly. A null feed installs nothing.
    static void notifactionPublish(const std::shared_ptr<KLFeedClient> &feed,
                                   std::function<void()> onConfirm,
                                   DialogPresenter presenter = nullptr);

    /// One observed change, as the installed observer handles it.
    static void handleStat(KLFeedClient &feed, KLFeedStat stat, qint64 oldValue, qint64 newValue,
                           const std::function<void()> &onConfirm,
                           const DialogPresenter &presenter);

    /// The no-audio dialog: confirm runs `onConfirm`, cancel only closes it.
    static KLDialogRequest noAudioDialog(std::function<void()> onConfirm);
};
