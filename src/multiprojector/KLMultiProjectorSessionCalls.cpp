// The accompanying audio meeting: opening it, the call dialogs, calling members in, and the
// tips that tell the user what was sent.

#include "multiprojector/KLMultiProjectorSession.h"

#include "conference/multiprojector/KLMultiProjectorContext.h"
#include "conference/multiprojector/KLMultiProjectorMembers.h"
#include "gateway/KLSDKMeetingApiProtocol.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLMultiProjectorSession";
// shareMultiScreenMember type that calls the members named into the audio meeting.
constexpr int kShareTypeCall = 1;
} // namespace

namespace Members = KLMultiProjectorMembers;

void KLMultiProjectorSession::showTip(const QString &text) const
{
    KLToastManager::shared().pushToastMessage(KLToastMessage::custom(text));
}

void KLMultiProjectorSession::shareBarOpenAudioPressed()
{
    actionLog(QStringLiteral("sharebar-open-audio-button"));
    onMain([](KLMultiProjectorSession &s) { s.openAudioThenCall(); });
}

void KLMultiProjectorSession::openAudioThenCall()
{
    if (m_context->isOpenAudioMeetingForMultiProjector()) {
        showCallDialog();
        return;
    }
    auto api = m_context->meetingApi();
    if (!api)
        return;
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    api->openAudioForMultiProjector(
        QJsonValue(m_context->appointmentId()),
        [weak](const QJsonValue &) {
            if (auto self = weak.lock())
                self->onMain([](KLMultiProjectorSession &s) { s.audioMeetingOpened(); });
        },
        [](const QString &code, const QString &message) {
            KL_LOG_WARN(kTag, QStringLiteral("open audio meeting failed %1 %2").arg(code, message));
        });
}

void KLMultiProjectorSession::audioMeetingOpened()
{
    m_context->setIsOpenAudioMeetingForMultiProjector(true);
    KLNotificationCenter::defaultCenter().postNotification(
        KLNotificationNames::OpenAudioMeetingForMultiProjector);
    showCallDialog();
}

// With only people left to call, one confirmation calls everybody including the user; with
// rooms still to call the user chooses whether their own phone joins too.
void KLMultiProjectorSession::showCallDialog()
{
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    auto call = [weak](const char *button, bool withSelf) {
        return [weak, button, withSelf] {
            if (auto self = weak.lock()) {
                self->actionLog(QLatin1String(button));
                self->callAllMember(withSelf);
            }
        };
    };
    auto cancel = [weak] {
        if (auto self = weak.lock()) {
            self->actionLog(QStringLiteral("dialog-call-cancel"));
            self->showTip(KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_IN_MEMBER_LIST_TIPS")));
        }
    };
    KLDialogRequest request;
    if (Members::isOnlyPersonCallNotOnlineForMultiProjector(m_context->registeredFeeds())) {
        request.title = KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_ALL_WITH_PERSON"));
        request.desc = KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_ALL_WITH_PERSON_DESC"));
        request.firstButtonText = KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_ALL_CONFIRM"));
        request.firstBlock = call("dialog-call-other", true);
        request.secondButtonText = KLLocalizedString(QStringLiteral("CANCEL"));
        request.secondBlock = cancel;
    } else {
        request.title = KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_ALL_WITH_ROOM"));
        request.desc = KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_ALL_WITH_ROOM_DESC"));
        request.firstButtonText = KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_OTHER"));
        request.firstBlock = call("dialog-call-other", false);
        request.secondButtonText = KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_ALL"));
        request.secondBlock = call("dialog-call-all", true);
        request.showThirdButton = true;
        request.thirdBlock = cancel;
    }
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLMultiProjectorSession::callAllMember(bool withSelf)
{
    const QString uuids = Members::audioOfflineUuidsForMultiProjectorWithSelf(
        m_context->registeredFeeds(), m_context->publisher(), withSelf);
    auto api = m_context->meetingApi();
    if (uuids.isEmpty() || !api)
        return;
    const qsizetype count = uuids.split(QLatin1Char(',')).size();
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    api->shareMultiScreenMemberForMemberUuid(
        uuids, QJsonValue(kShareTypeCall), false, true,
        [weak, count](const QJsonValue &) {
            if (auto self = weak.lock()) {
                self->showTip(QStringLiteral("%1%2%3").arg(
                    KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_HAS_SENT_FIRST")),
                    QString::number(count),
                    KLLocalizedString(QStringLiteral("MULTIPROJECTOR_CALL_HAS_SENT_Second"))));
            }
        },
        [](const QString &code, const QString &message) {
            KL_LOG_WARN(kTag, QStringLiteral("calling members failed %1 %2").arg(code, message));
        });
}

void KLMultiProjectorSession::shareBarDidReset()
{
    onMain([](KLMultiProjectorSession &s) {
        if (s.m_shareBarWasReset || !s.isSender())
            return;
        s.m_shareBarWasReset = true;
        const bool onlyPerson = s.m_context->isOnlyPersonFromEnterForMultiProjector();
        if (s.m_context->openAudioFromJSForMultiProjector() && !onlyPerson)
            s.openAudioThenCall();
        const bool callSent = onlyPerson && s.m_context->isOpenAudioMeetingForMultiProjector();
        s.showTip(KLLocalizedString(callSent ? QStringLiteral("MULTIPROJECTOR_CALL_AND_INVITE_HAS_SENT_INIT")
                                             : QStringLiteral("MULTIPROJECTOR_INVITE_HAS_SENT")));
    });
}

void KLMultiProjectorSession::inviteSucceeded(bool withAudio)
{
    showTip(KLLocalizedString(withAudio ? QStringLiteral("MULTIPROJECTOR_CALL_AND_INVITE_HAS_SENT")
                                        : QStringLiteral("MULTIPROJECTOR_INVITE_HAS_SENT")));
}
