#pragma once

// What the toolbar and the member list ask of the meeting, and the feed operations they make.
// The conference service answers it through KLHubMeetingAdapter; keeping the controllers on
// this narrow surface lets them be driven without a joined meeting.

#include "gateway/KLSDKMeetingApiProtocol.h"

#include <QList>

#include <atomic>
#include <memory>

class KLConferenceService;
class KLFeedClient;

using KLHubFeedPtr = std::shared_ptr<KLFeedClient>;

/// Server operations on one participant's feed.
enum class KLHubFeedAction {
    MakeCall,          ///< extension, else cell phone
    MakeCellCall,      ///< cell phone only
    HangupCall,        ///< a Pallas meeting's hang-up
    HangupMcuCall,     ///< an MCU meeting's hang-up
    UnmuteCellPhone,   ///< unmute while extension and cell phone are both in the call
};

class KLHubMeeting {
public:
    virtual ~KLHubMeeting() = default;

    // --- Reads ------------------------------------------------------------------------
    /// The local participant's feed; null before the meeting registered it.
    virtual KLHubFeedPtr publisher() const = 0;
    /// The own screen share, else the remote one, else null.
    virtual KLHubFeedPtr sharedFeed() const = 0;
    virtual KLHubFeedPtr displayingClient() const = 0;
    virtual QList<KLHubFeedPtr> participantsWithOnline(bool online) const = 0;
    virtual bool isMaster() const = 0;
    /// The internal deployment (`isVanInternal`).
    virtual bool isInternal() const = 0;
    /// The client configuration says the user is staff.
    virtual bool isStaff() const = 0;
    virtual bool isVideoMeeting() const = 0;
    virtual bool isPallasMeeting() const = 0;
    virtual bool isMicrophoneAvailable() const = 0;
    virtual bool isValidToVisitScreenRecording() const = 0;
    /// The meeting offers notes and captions, and whether the summary runs now.
    virtual bool isShowMeetingSummaryModule() const = 0;
    virtual bool isOpenSummary() const = 0;

    // --- Meeting state ----------------------------------------------------------------
    virtual bool isMuteInitStage() const = 0;
    virtual void setIsMuteInitStage(bool value) = 0;
    virtual bool isSpeakerOpen() const = 0;
    virtual void setIsSpeakerOpen(bool open) = 0;
    /// Marks that the local user is ending the meeting, so its end is not taken for a removal.
    virtual void setIsLeavingRoomBySelf() = 0;

    // --- Operations -------------------------------------------------------------------
    virtual void muteSpeaker(bool muted) = 0;
    virtual void desktopShare() = 0;
    virtual void stopShare() = 0;
    /// Stops showing a remote participant's share.
    virtual void closeClient(const KLHubFeedPtr &feed) = 0;
    virtual void clickedClientFeed(const KLHubFeedPtr &feed) = 0;
    /// Hands the own call status (1 calling, -1 idle) to the media engine.
    virtual void setMemberCallStatus(int status) = 0;
    /// Ends the meeting for everyone through the meeting API.
    virtual void finishMeetingForAll(KLApiSuccessBlock success, KLApiFailureBlock failure) = 0;
    virtual void muteAudio(const KLHubFeedPtr &feed, bool muted, bool toServer) = 0;
    virtual void muteVideo(const KLHubFeedPtr &feed, bool muted, bool toServer) = 0;
    virtual void perform(const KLHubFeedPtr &feed, KLHubFeedAction action) = 0;
};

/// The meeting as the conference service carries it. The service has no speaker setter for
/// the views, so the speaker's open state is kept here, starting from the service's value.
class KLHubMeetingAdapter final : public KLHubMeeting {
public:
    explicit KLHubMeetingAdapter(std::weak_ptr<KLConferenceService> service);

    KLHubFeedPtr publisher() const override;
    KLHubFeedPtr sharedFeed() const override;
    KLHubFeedPtr displayingClient() const override;
    QList<KLHubFeedPtr> participantsWithOnline(bool online) const override;
    bool isMaster() const override;
    bool isInternal() const override;
    bool isStaff() const override;
    bool isVideoMeeting() const override;
    bool isPallasMeeting() const override;
    bool isMicrophoneAvailable() const override;
    bool isValidToVisitScreenRecording() const override;
    bool isShowMeetingSummaryModule() const override;
    bool isOpenSummary() const override;
    bool isMuteInitStage() const override;
    void setIsMuteInitStage(bool value) override;
    bool isSpeakerOpen() const override;
    void setIsSpeakerOpen(bool open) override;
    void setIsLeavingRoomBySelf() override;
    void muteSpeaker(bool muted) override;
    void desktopShare() override;
    void stopShare() override;
    void closeClient(const KLHubFeedPtr &feed) override;
    void clickedClientFeed(const KLHubFeedPtr &feed) override;
    void setMemberCallStatus(int status) override;
    void finishMeetingForAll(KLApiSuccessBlock success, KLApiFailureBlock failure) override;
    void muteAudio(const KLHubFeedPtr &feed, bool muted, bool toServer) override;
    void muteVideo(const KLHubFeedPtr &feed, bool muted, bool toServer) override;
    void perform(const KLHubFeedPtr &feed, KLHubFeedAction action) override;

private:
    const std::weak_ptr<KLConferenceService> m_service;
};
