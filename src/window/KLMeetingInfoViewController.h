#pragma once

// The meeting-information and dial-in popovers' decisions, without widgets: what the three copy
// actions write (the invitation text, the password or code, the link) from the appointment
// detail or, without one, from the host's display configuration; the dial-in lines and the
// address of the page with every dial-in number.
//
// Threads: main thread.

#include "window/KLPanelMeeting.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class KLUISDKGuiConfigInternal;
struct KLToastMessage;

/// What the host's display configuration says of the meeting.
struct KLMeetingShareSource {
    QString topic;
    QString time;
    QString code;
    QString url;
};

class KLMeetingInfoViewController {
public:
    enum class Copy { Share, Password, Link };
    /// The dial-in popover shows at most this many numbers.
    static constexpr int kDialInLines = 6;

    struct Setup {
        /// Writes plain text to the system clipboard (the widget layer's QClipboard).
        std::function<void(const QString &text)> writeClipboard;
        /// Closes the popover the action was chosen in.
        std::function<void()> closePopover;
        /// Shows the confirmation; the toast manager's by default.
        std::function<void(const KLToastMessage &)> showToast;
    };

    KLMeetingInfoViewController(std::shared_ptr<KLPanelMeeting> meeting,
                                std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig, Setup setup);

    /// Runs a copy action: writes its text (when there is one), closes the popover and shows
    /// the confirmation toast. Returns the text written (empty: nothing was written).
    QString copy(Copy what);
    /// The text a copy action would write.
    QString textFor(Copy what) const;

    // --- Pure rules -------------------------------------------------------------------------
    /// `detail` (appointmentName, starttimeGMT, endtimeGMT, password, shareUrl, shortJumpUrl) wins
    /// when not empty; otherwise `source`.
    static QString shareText(const QJsonObject &detail, const KLMeetingShareSource &source);
    static QString passwordText(const QJsonObject &detail, const KLMeetingShareSource &source);
    static QString linkText(const QJsonObject &detail, const KLMeetingShareSource &source);
    /// The first six entries as "country    number", in the interface language.
    static QStringList dialInLines(const QJsonArray &list, bool english);
    /// The page of all dial-in numbers on the meeting service at `base`.
    static QString dialInPageUrl(const QString &base);
    static KLMeetingShareSource sourceFrom(const KLUISDKGuiConfigInternal *guiConfig);

    QStringList dialInLines() const;
    QString dialInPageUrl() const;
    /// What the popover shows: topic, time, code and link, from the same source as the copies.
    KLMeetingShareSource shown() const;

private:
    const std::shared_ptr<KLPanelMeeting> m_meeting;
    const std::shared_ptr<KLUISDKGuiConfigInternal> m_guiConfig;
    Setup m_setup;
};
