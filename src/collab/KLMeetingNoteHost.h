#pragma once

// What the meeting-notes panel needs from the meeting. The conference service implements it
// through an adapter that holds the service weakly and answers neutrally once it has gone.

#include "presentation/KLDialogQueue.h"

#include <QJsonObject>
#include <QString>

#include <memory>

class KLParticipant;
class KLSDKMeetingApiProtocol;

class KLMeetingNoteHost {
public:
    virtual ~KLMeetingNoteHost() = default;

    /// The meeting-service operations; null once the meeting is gone.
    virtual std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const = 0;
    /// The own participant record the summary operations name.
    virtual std::shared_ptr<KLParticipant> ownParticipant() const = 0;

    /// The note taker runs.
    virtual bool isOpenSummary() const = 0;
    virtual void setIsOpenSummary(bool open) = 0;
    /// The spoken language ("zh" or "en").
    virtual QString summaryLanguage() const = 0;
    virtual void setSummaryLanguage(const QString &language) = 0;
    /// The caption page's address without query.
    virtual QString meetingSummaryRtShowUrl() const = 0;
    /// No other online participant is in the meeting.
    virtual bool isSelfInMeeting() const = 0;

    /// A user action for the host's action log.
    virtual void actionLog(const QString &button) = 0;
    /// A monitor record for the cloud log.
    virtual void commitMonitorLevel(int level, int group, const QJsonObject &params) = 0;
    /// A confirmation dialog.
    virtual void showToastDialog(KLDialogRequest request) = 0;
};
