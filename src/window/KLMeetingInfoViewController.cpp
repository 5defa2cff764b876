#include "window/KLMeetingInfoViewController.h"

#include "conference/registry/KLFeedClient.h"
#include "host/KLDateUtils.h"
#include "model/KLUISDKGuiConfigInternal.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLMeetingInfoViewController";

QString text(const char *key)
{
    return KLLocalizedString(QLatin1String(key));
}

QString format(const char *key, const QString &value)
{
    return text(key).replace(QLatin1String("%@"), value);
}

QString field(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isDouble())
        return QString::number(value.toInteger());
    return value.toString();
}
} // namespace

KLMeetingInfoViewController::KLMeetingInfoViewController(std::shared_ptr<KLPanelMeeting> meeting,
                                                         std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
                                                         Setup setup)
    : m_meeting(std::move(meeting)), m_guiConfig(std::move(guiConfig)), m_setup(std::move(setup))
{
    if (!m_setup.showToast)
        m_setup.showToast = [](const KLToastMessage &message) { KLToastManager::shared().pushToastMessage(message); };
}

KLMeetingShareSource KLMeetingInfoViewController::sourceFrom(const KLUISDKGuiConfigInternal *guiConfig)
{
    if (!guiConfig)
        return {};
    return {guiConfig->meetingTopic(), guiConfig->meetingTime(), guiConfig->meetingCode(), guiConfig->meetingUrl()};
}

QString KLMeetingInfoViewController::shareText(const QJsonObject &detail, const KLMeetingShareSource &source)
{
    if (!detail.isEmpty()) {
        return text("share_meeting_code_text_external") + format("share_meeting_code_text_2", field(detail, "appointmentName"))
            + format("share_meeting_code_text_3",
                     KLDateUtils::timeStringWithStartTime(field(detail, "starttimeGMT"), field(detail, "endtimeGMT")))
            + format("share_meeting_code_text_4", field(detail, "password"))
            + format("share_meeting_code_text_5", field(detail, "shareUrl")) + text("share_meeting_code_text_6")
            + text("share_meeting_code_text_7") + text("share_meeting_code_text_8");
    }
    QString result = text("share_meeting_code_text_1");
    const std::pair<const char *, QString> parts[] = {{"share_meeting_code_text_2", source.topic},
                                                      {"share_meeting_code_text_3", source.time},
                                                      {"share_meeting_code_text_4", source.code},
                                                      {"share_meeting_code_text_9", source.url}};
    for (const auto &[key, value] : parts)
        if (!value.isEmpty())
            result += format(key, value);
    return result;
}

QString KLMeetingInfoViewController::passwordText(const QJsonObject &detail, const KLMeetingShareSource &source)
{
    return detail.isEmpty() ? source.code : field(detail, "password");
}

QString KLMeetingInfoViewController::linkText(const QJsonObject &detail, const KLMeetingShareSource &source)
{
    return detail.isEmpty() ? source.url : field(detail, "shortJumpUrl");
}

QString KLMeetingInfoViewController::textFor(Copy what) const
{
    const QJsonObject detail = m_meeting ? m_meeting->appointmentDetail() : QJsonObject();
    const KLMeetingShareSource source = sourceFrom(m_guiConfig.get());
    // With neither source there is nothing to share, not even the greeting.
    if (detail.isEmpty() && !m_guiConfig)
        return {};
    switch (what) {
    case Copy::Share:
        return shareText(detail, source);
    case Copy::Password:
        return passwordText(detail, source);
    case Copy::Link:
        return linkText(detail, source);
    }
    return {};
}

QString KLMeetingInfoViewController::copy(Copy what)
{
    const QString written = textFor(what);
    if (!written.isEmpty() && m_setup.writeClipboard)
        m_setup.writeClipboard(written);
    else if (written.isEmpty())
        KL_LOG_INFO(kTag, QStringLiteral("nothing to copy"));
    if (m_setup.closePopover)
        m_setup.closePopover();
    std::optional<KLToastClient> client;
    if (const auto publisher = m_meeting ? m_meeting->publisher() : nullptr)
        client = KLToastClient{publisher->uuid(), publisher->display()};
    KLToastMessage message = what == Copy::Share      ? KLToastMessage::meetingShare(client)
        : what == Copy::Password                      ? KLToastMessage::meetingCodeCopy(client)
                                                      : KLToastMessage::meetingURLCopy(client);
    m_setup.showToast(message);
    return written;
}

QStringList KLMeetingInfoViewController::dialInLines(const QJsonArray &list, bool english)
{
    QStringList lines;
    for (const QJsonValue &value : list) {
        if (lines.size() == kDialInLines)
            break;
        const QJsonObject entry = value.toObject();
        lines << QStringLiteral("%1    %2").arg(field(entry, english ? "countryEn" : "countryZh"), field(entry, "number"));
    }
    return lines;
}

QString KLMeetingInfoViewController::dialInPageUrl(const QString &base)
{
    QString root = base;
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root.isEmpty() ? QString() : root + QStringLiteral("/kelvo/web/webvc/conferencePhone");
}

QStringList KLMeetingInfoViewController::dialInLines() const
{
    return dialInLines(m_meeting ? m_meeting->phoneDialInList() : QJsonArray(),
                       KLLocalizedString(QStringLiteral("Language")) == QLatin1String("english"));
}

QString KLMeetingInfoViewController::dialInPageUrl() const
{
    return dialInPageUrl(m_meeting ? m_meeting->webBaseUrl() : QString());
}

KLMeetingShareSource KLMeetingInfoViewController::shown() const
{
    const QJsonObject detail = m_meeting ? m_meeting->appointmentDetail() : QJsonObject();
    const KLMeetingShareSource source = sourceFrom(m_guiConfig.get());
    if (detail.isEmpty())
        return source;
    return {field(detail, "appointmentName"),
            KLDateUtils::timeStringWithStartTime(field(detail, "starttimeGMT"), field(detail, "endtimeGMT")),
            passwordText(detail, source), linkText(detail, source)};
}
