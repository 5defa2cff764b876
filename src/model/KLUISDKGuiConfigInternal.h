#pragma once

// The display configuration: the host's display dictionary as typed fields. Read by the
// meeting window's views on the main thread only.

#include <QString>
#include <QVariantMap>

#include <utility>

class KLUISDKGuiConfigInternal {
public:
    /// Reads the display dictionary (KLUISDKGuiConfig… keys). Absent or non-text strings are
    /// null; "inviteMember" defaults to false and reads false when it is not a number.
    explicit KLUISDKGuiConfigInternal(const QVariantMap &dic = QVariantMap());

    /// The member list offers its invite button.
    bool meetingInviteMember() const { return m_meetingInviteMember; }
    void setMeetingInviteMember(bool value) { m_meetingInviteMember = value; }
    /// Kept as given; nothing shows it.
    QString appLogo() const { return m_appLogo; }
    void setAppLogo(QString value) { m_appLogo = std::move(value); }
    QString logoBanner() const { return m_logoBanner; }
    void setLogoBanner(QString value) { m_logoBanner = std::move(value); }
    QString meetingTopic() const { return m_meetingTopic; }
    void setMeetingTopic(QString value) { m_meetingTopic = std::move(value); }
    QString meetingTime() const { return m_meetingTime; }
    void setMeetingTime(QString value) { m_meetingTime = std::move(value); }
    QString meetingCode() const { return m_meetingCode; }
    void setMeetingCode(QString value) { m_meetingCode = std::move(value); }
    QString meetingUrl() const { return m_meetingUrl; }
    void setMeetingUrl(QString value) { m_meetingUrl = std::move(value); }
    QString meetingRateUrl() const { return m_meetingRateUrl; }
    void setMeetingRateUrl(QString value) { m_meetingRateUrl = std::move(value); }

private:
    bool m_meetingInviteMember = false;
    QString m_appLogo;
    QString m_logoBanner;
    QString m_meetingTopic;
    QString m_meetingTime;
    QString m_meetingCode;
    QString m_meetingUrl;
    QString m_meetingRateUrl;
};
