#pragma once

// The meeting-code entry's checks, without widgets: a display name and a six-digit meeting code
// or a meeting link. A valid link gives the meeting's UUID, posted as
// "EnterMeetingWithMeetingId" (user info "meetingId") for the host to create the meeting with;
// the entry never joins a meeting itself. A valid name is remembered for the next time.

#include <QString>

struct KLMeetingCodeEntryResult {
    QString nameErrorKey;  ///< empty: the name passed
    QString codeErrorKey;  ///< empty: the code or link passed
    QString meetingId;     ///< the UUID of a valid link; empty for a code
    bool showDownload = false;  ///< the host requires a newer client: nothing was checked
};

class KLMeetingCodeEntry {
public:
    /// Characters a meeting code has.
    static constexpr int kCodeLength = 6;
    /// A UUID from a link must be longer than this.
    static constexpr int kShortestUuid = 35;

    /// The join button is active only with both fields filled.
    static bool canJoin(const QString &name, const QString &code);
    /// The code's or link's error key ("ERROR_CODE_ERROR", "ERROR_URL_INVALID") or empty;
    /// `meetingId` receives a valid link's UUID.
    static QString checkCode(const QString &code, QString *meetingId = nullptr);

    /// The join: with `shouldUpdate` nothing is checked. Otherwise both checks run; a passing
    /// name is stored, and a valid link is posted as "EnterMeetingWithMeetingId". Pressing with
    /// an empty field does nothing (an empty result).
    static KLMeetingCodeEntryResult join(const QString &name, const QString &code, bool shouldUpdate);
};
