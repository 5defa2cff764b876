#pragma once

// A meeting API that answers nothing: every operation only reports its name to `unused()`.
// Test fakes derive from it and override the few operations they care about, so a call of any
// other operation is still visible (override `unused` to record it) without each fake
// repeating the whole interface.

#include "gateway/KLSDKMeetingApiProtocol.h"

#include <QJsonArray>
#include <QJsonObject>

namespace kltest {

class SilentMeetingApi : public KLSDKMeetingApiProtocol {
public:
    /// Called with the operation's name by every operation a fake does not override.
    virtual void unused(const char *name) { Q_UNUSED(name); }

    using S = KLApiSuccessBlock;
    using F = KLApiFailureBlock;
    using P = const KLParticipantPtr &;
    using V = const QJsonValue &;
    using T = const QString &;
    using C = const KLMeetingConfigPtr &;
    void addMeetingMemberWithAppointment(V, const QList<KLParticipantPtr> &, S, F) override { unused("addMember"); }
    void getAppointmentDetailById(T, S, F) override { unused("detail"); }
    void muteMemberWithAppointment(P, bool, S, F) override { unused("mute"); }
    void vmuteMemberWithAppointment(P, bool, S, F) override { unused("vmute"); }
    void findMemberWithKeywords(T, S, F) override { unused("find"); }
    void getMeetingInfoWithConfig(C, const std::optional<QJsonObject> &, T, S, F) override { unused("info"); }
    void callMeetingMemberWithAppointment(P, T, T, S, F) override { unused("call"); }
    void finishAppointmentWithConfig(C, S, F) override { unused("finish"); }
    void hangUpMeetingMemberWithAppointment(P, T, S, F) override { unused("hangUp"); }
    void getMeetingRoomStatusWithAppointment(V, T, S, F) override { unused("roomStatus"); }
    void robRoomWithAppointment(V, T, S, F) override { unused("robRoom"); }
    void openSummaryWithAppointment(P, T, bool, bool, S, F) override { unused("summary"); }
    void changeMemberSummaryLangWithAppointment(P, T, S, F) override { unused("lang"); }
    void stopSummaryWithAppointment(P, S, F) override { unused("stopSummary"); }
    void getCallInNumberByLetterWithSuccessBlock(S, F) override { unused("callIn"); }
    void getClientConfigWithConfig(C, S, F) override { unused("clientConfig"); }
    void getClientSwitchConfigWithConfig(C, S, F) override { unused("switchConfig"); }
    void savePcJumpStatusWithUuid(T, T, S, F) override { unused("jump"); }
    void getMeetingContactWithSuccessBlock(S, F) override { unused("contact"); }
    void getIceServerListWithConfig(C, S, F) override { unused("ice"); }
    void getMeetingInfoByPassword(T, S, F) override { unused("password"); }
    void notifyItMonitorForMultiProjectorWithType(T, T, T, T, S, F) override { unused("itMonitor"); }
    void openAudioForMultiProjector(V, S, F) override { unused("openAudio"); }
    void multiScreenRobRoomWithAppointmentId(V, T, bool, S, F) override { unused("multiRob"); }
    void getStartMultiScreenRoomStatusWithAppointmentId(V, S, F) override { unused("multiStatus"); }
    void shareMultiScreenMemberForMemberUuid(T, V, bool, bool, S, F) override { unused("shareMember"); }
    void shareMultiScreenAllWithAppointmentId(V, V, bool, bool, bool, S, F) override { unused("shareAll"); }
    void addMemberMultiScreenAppointmentId(V, bool, const QJsonArray &, S, F) override { unused("multiAdd"); }
    void notifyMultiScreenWithAppointmentId(V, T, V, S, F) override { unused("multiNotify"); }
    void findUserAndRoomWithKey(T, S, F) override { unused("findUser"); }
    bool isNetWorkAvailable() const override { return true; }
    void setConferenceChannel(std::shared_ptr<KLConferenceSignalChannel>) override {}
};

} // namespace kltest
