// The feed's server operations: muting a member on the server, calling a member's phones into
// the meeting, hanging up, and the dialogs a busy meeting room answers a call with.

#include "conference/registry/KLFeedClient.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/registry/KLConferenceManagerProtocol.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <QJsonObject>
#include <QVariant>

namespace {

const QString kTag = QStringLiteral("KLFeedClient");

// User actions go to the cloud log as level 3 ("info"), group 1 ("action").
constexpr int kActionLevel = 3;
constexpr int kActionGroup = 1;

void commitAction(const QJsonObject &record)
{
    KLQLSLogger::sharedInstance().commitMonitorLevel(kActionLevel, kActionGroup, record);
}

void ignoreSuccess(const QJsonValue &) {}
void ignoreFailure(const QString &, const QString &) {}

/// How a busy room's answer is presented: the key of the title text, whether the room's name
/// leads the title, and whether the user may seize the room.
struct RoomBusyCase {
    const char *code;
    const char *titleKey;
    bool namedTitle;
    bool offerSeize;
};

constexpr RoomBusyCase kRoomBusyCases[] = {
    {"-20", "ROOM_MEETING_BUSY", true, true},
    {"-26", "ROOM_MPROJECTOR_BUSY", true, true},
    {"-25", "ROOM_PROJECTOR_BUSY", true, false},
    {"-16", "ROOM_IS_CALL", false, false},
    {"-17", "ROOM_IS_LOCK", false, false},
    {"-22", "ROOM_IS_NOT_AVAILABLE", false, false},
};

} // namespace

std::shared_ptr<KLSDKMeetingApiProtocol> KLFeedClient::meetingApi() const
{
    const auto manager = conferenceManager().lock();
    auto api = manager ? manager->meetingApi() : nullptr;
    if (!api)
        KL_LOG_WARN(kTag, QStringLiteral("no meeting api for feed %1").arg(uuid()));
    return api;
}

void KLFeedClient::muteAudio(bool muted, bool toServer)
{
    setAudioMuted(muted);
    const auto member = participant();
    const auto state = callState();
    // An offline member has nothing to mute on the server; the local flag is all there is.
    if (!toServer || !member || !state || state->online != 1)
        return;
    commitAction({{"value", muted ? "mute" : "unmute"}, {"to", display()}});
    if (const auto api = meetingApi())
        api->muteMemberWithAppointment(member, muted, ignoreSuccess, ignoreFailure);
}

void KLFeedClient::muteVideo(bool muted, bool toServer)
{
    setVideoMuted(muted);
    const auto member = participant();
    if (!toServer || !member)
        return;
    if (muted && isPublisher()) {
        // The own tile and toolbar switch to "camera off" before the server answers.
        QVariantMap userInfo;
        userInfo.insert(KLNotificationKeys::client, QVariant::fromValue(shared_from_this()));
        userInfo.insert(KLNotificationKeys::videoAction, true);
        KLNotificationCenter::defaultCenter().postNotification(
            KLNotificationNames::AudioVideoChangeNotification, this, userInfo);
    }
    commitAction({{"value", muted ? "muteVideo" : "unmuteVideo"}, {"to", display()}});
    if (const auto api = meetingApi())
        api->vmuteMemberWithAppointment(member, muted, ignoreSuccess, ignoreFailure);
}

void KLFeedClient::unmuteCellPhoneWhenExtensionCellphoneBothOnline()
{
    commitAction({{"value", "unmute"}, {"to", display()}});
    if (const auto api = meetingApi())
        api->muteMemberWithAppointment(participant(), false, ignoreSuccess, ignoreFailure);
}

void KLFeedClient::hangupWithType(const QString &type)
{
    commitAction({{"value", "hangupInConference"}, {"callee", display()}});
    const auto api = meetingApi();
    if (!api)
        return;
    const QString callee = display();
    api->hangUpMeetingMemberWithAppointment(
        participant(), type, ignoreSuccess, [callee, type](const QString &code, const QString &) {
            KL_LOG_WARN(kTag, QStringLiteral("hang up %1 (%2) failed with %3")
                                  .arg(callee, type, code));
        });
}

void KLFeedClient::hangupConferenceCall()
{
    hangupWithType(QStringLiteral("Pallas,FreeSWITCH"));
}

void KLFeedClient::hangupConferenceCellCall()
{
    hangupWithType(QStringLiteral("FreeSWITCH"));
}

void KLFeedClient::hangupMcuConferenceCall()
{
    if (!isOnline() || isExtensionAndCellPhoneOnline())
        hangupWithType(QStringLiteral("ALL"));
    else if (isCellPhoneEnter())
        hangupWithType(QStringLiteral("McuTelephone"));
    else
        hangupWithType(QStringLiteral("McuExtension"));
}

void KLFeedClient::callMemberInternalWithNumber(const QString &number, const QString &type,
                                                KLApiSuccessBlock success,
                                                KLApiFailureBlock failure)
{
    if (number.isEmpty() || type.isEmpty())
        return;
    const QString callee = display();
    commitAction({{"value", "callInConference"}, {"callee", callee}, {"calleeNumber", number}});
    const auto api = meetingApi();
    if (!api) {
        if (failure)
            failure(QString(), QString());
        return;
    }
    // The reply may come after the tile is gone; a dead feed has no dialog to show.
    const std::weak_ptr<KLFeedClient> weakSelf = weak_from_this();
    api->callMeetingMemberWithAppointment(
        participant(), number, type,
        [callee, success](const QJsonValue &result) {
            KL_LOG_INFO(kTag, QStringLiteral("callmeeting member %1 success").arg(callee));
            if (success)
                success(result);
        },
        [weakSelf, failure](const QString &code, const QString &message) {
            KL_LOG_WARN(kTag, QStringLiteral("call meeting member failed with %1").arg(message));
            if (const auto self = weakSelf.lock())
                self->meetingRoomCallError(code);
            if (failure)
                failure(code, message);
        });
}

void KLFeedClient::robRoom()
{
    const auto api = meetingApi();
    if (!api)
        return;
    const auto member = participant();
    const QJsonValue appointment = member ? member->appointmentId : QJsonValue();
    const QString memberUuid = member ? member->memberUUID : QString();
    const QString roomName = display();
    api->robRoomWithAppointment(
        appointment, memberUuid,
        [roomName](const QJsonValue &) {
            KL_LOG_INFO(kTag, QStringLiteral("rob Room Success"));
            commitAction({{"value", "robMeetingRoom"}, {"roomName", roomName}});
        },
        [](const QString &, const QString &) {
            KL_LOG_WARN(kTag, QStringLiteral("rob Room failed"));
        });
}

void KLFeedClient::makeCellPhoneCallWithSuccessBlock(KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure)
{
    const auto member = participant();
    const QString cellPhone = member ? member->cellPhone : QString();
    if (cellPhone.isEmpty()) {
        if (failure)
            failure(QString(""), QString(""));
        return;
    }
    callMemberInternalWithNumber(cellPhone, QStringLiteral("cellphone"), std::move(success),
                                 std::move(failure));
}

void KLFeedClient::makeConferenceCellCall()
{
    const auto member = participant();
    const QString cellPhone = member ? member->cellPhone : QString();
    makeCellPhoneCallWithSuccessBlock(
        [cellPhone](const QJsonValue &) {
            KL_LOG_INFO(kTag, QStringLiteral("call cell %1 success").arg(cellPhone));
        },
        [cellPhone](const QString &, const QString &) {
            KL_LOG_WARN(kTag, QStringLiteral("call cell %1 failed").arg(cellPhone));
        });
}

void KLFeedClient::makeConferenceCall()
{
    const auto member = participant();
    if (!member)
        return;
    if (!member->extensionPhone.isEmpty()) {
        callMemberInternalWithNumber(member->extensionPhone, QStringLiteral("extension"),
                                     ignoreSuccess, ignoreFailure);
    } else if (!member->cellPhone.isEmpty()) {
        callMemberInternalWithNumber(member->cellPhone, QStringLiteral("cellphone"),
                                     ignoreSuccess, ignoreFailure);
    }
}

void KLFeedClient::meetingRoomCallError(const QString &code)
{
    for (const RoomBusyCase &busy : kRoomBusyCases) {
        if (code != QLatin1String(busy.code))
            continue;
        const QString key = QString::fromLatin1(busy.titleKey);
        const QString title = busy.namedTitle
                                  ? QStringLiteral("%1 %2").arg(display(), KLLocalizedString(key))
                                  : KLLocalizedString(key);
        showRoomBusyDialog(title, busy.offerSeize);
        return;
    }
}

void KLFeedClient::showRoomBusyDialog(const QString &title, bool offerSeize)
{
    KLDialogRequest request;
    request.title = title;
    if (offerSeize) {
        // The dialog may be answered long after the call failed; seize only if the tile lives.
        const std::weak_ptr<KLFeedClient> weakSelf = weak_from_this();
        request.firstButtonText = KLLocalizedString(QStringLiteral("SEIZE_MEETING_ROOM"));
        request.firstBlock = [weakSelf] {
            if (const auto self = weakSelf.lock())
                self->robRoom();
        };
        request.secondButtonText = KLLocalizedString(QStringLiteral("CANCEL"));
        request.secondBlock = [] {};
    } else {
        request.firstButtonText = KLLocalizedString(QStringLiteral("CONFIRM_OK"));
        request.firstBlock = [] {};
    }
    KLToastManager::shared().showToastDialog(std::move(request));
}
