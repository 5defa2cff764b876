// The user's actions on the meeting window, for hosts that draw the window themselves: each
// one is the click the widget would forward.

#include "collab/KLChatManager.h"
#include "conference/service/KLConferenceService.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "window/KLCallRoomViewController.h"
#include "window/KLEnterNameViewController.h"
#include "window/KLHubViewController.h"
#include "window/KLMeetingLayoutViewController.h"
#include "window/KLMemberListViewController.h"
#include "window/KLUISDKMeetingWindow.h"

namespace {

const char *const kTag = "KLUISDKMeetingWindow";

bool needsArgument(KLUISDKUserAction action)
{
    switch (action) {
    case KLUISDKUserAction::Chat:
    case KLUISDKUserAction::Click:
    case KLUISDKUserAction::Lock:
    case KLUISDKUserAction::MuteMember:
    case KLUISDKUserAction::HangupMember:
    case KLUISDKUserAction::RatePage:
    case KLUISDKUserAction::CallMember:
    case KLUISDKUserAction::CallRooms:
    case KLUISDKUserAction::EnterName:
        return true;
    default:
        return false;
    }
}

} // namespace

bool KLUISDKMeetingWindow::performUserAction(KLUISDKUserAction action, const QString &argument)
{
    if (m_closed)
        return false;
    if (needsArgument(action) && argument.isEmpty()) {
        KL_LOG_WARN(kTag, QStringLiteral("user action %1 without its argument ignored").arg(int(action)));
        return false;
    }
    const auto hubController = hub();
    const auto members = memberList();
    const auto layoutController = layout();
    const auto service = conferenceManager();
    if (!hubController || !members || !layoutController || !service)
        return false;
    switch (action) {
    case KLUISDKUserAction::Mute: hubController->muteClicked(); break;
    case KLUISDKUserAction::Camera: hubController->cameraClicked(); break;
    case KLUISDKUserAction::Speaker: hubController->speakerClicked(); break;
    case KLUISDKUserAction::Share: hubController->shareClicked(); break;
    case KLUISDKUserAction::Leave: hubController->leaveClicked(); break;
    case KLUISDKUserAction::MeetingNote: hubController->meetingNoteClicked(); break;
    // The chat input's own path: the text is trimmed, loses its line breaks and long texts go
    // in pieces (KLChatManager), whoever typed it.
    case KLUISDKUserAction::Chat: KLChatManager::sharedInstance().sendChatMessage(argument); break;
    case KLUISDKUserAction::Click: members->rowClicked(argument); break;
    case KLUISDKUserAction::Lock: members->lockClicked(argument); break;
    case KLUISDKUserAction::MuteMember: members->muteClicked(argument); break;
    case KLUISDKUserAction::HangupMember: members->hangupClicked(argument); break;
    case KLUISDKUserAction::MuteAll: members->muteAllClicked(); break;
    case KLUISDKUserAction::CallAll: members->callAllClicked(); break;
    case KLUISDKUserAction::Sleep:
        KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::SystemWillSleep);
        break;
    case KLUISDKUserAction::Close: closeWindow(); break;
    case KLUISDKUserAction::RatePage: layoutController->rateStatusReceived(argument); break;
    case KLUISDKUserAction::CallMember: members->callClicked(argument); break;
    case KLUISDKUserAction::CallRooms: {
        const auto dialog = members->callRoomDialog();
        if (!dialog) {
            KL_LOG_WARN(kTag, QStringLiteral("no call-rooms dialog is open"));
            return false;
        }
        return dialog->callRooms(argument.split(QLatin1Char(','), Qt::SkipEmptyParts));
    }
    // The invitation, information and settings actions are the entry object's.
    case KLUISDKUserAction::Search:
    case KLUISDKUserAction::Invite:
    case KLUISDKUserAction::Copy:
    case KLUISDKUserAction::Setting:
        return false;
    case KLUISDKUserAction::EnterName: {
        const auto dialog = enterName();
        return dialog && dialog->submit(argument);
    }
    }
    return true;
}
