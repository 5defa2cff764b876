#include "presentation/KLToastMessage.h"

#include "runtime/KLLocalization.h"

QString KLToastMessage::text() const
{
    if (suffixMessage.isEmpty())
        return displayMessage;
    return displayMessage + QLatin1Char(' ') + suffixMessage;
}

bool KLToastMessage::isAboutSameClient(const KLToastMessage &other) const
{
    return client && other.client && client->uuid == other.client->uuid;
}

KLToastMessage KLToastMessage::aboutPerson(KLToastKind kind, const KLToastClient &client, const char *key)
{
    KLToastMessage message;
    message.client = client;
    message.messageType = kind;
    message.messageKey = QString::fromLatin1(key);
    message.displayMessage = client.displayName;
    message.suffixMessage = KLLocalizedString(message.messageKey);
    return message;
}

KLToastMessage KLToastMessage::plain(KLToastKind kind, std::optional<KLToastClient> client, const char *key)
{
    KLToastMessage message;
    message.client = std::move(client);
    message.messageType = kind;
    message.messageKey = QString::fromLatin1(key);
    message.displayMessage = KLLocalizedString(message.messageKey);
    return message;
}

KLToastMessage KLToastMessage::audioMute(const KLToastClient &client)
{
    return aboutPerson(KLToastKind::AudioMute, client, "MUTED_BY_PERSON");
}

KLToastMessage KLToastMessage::audioUnMute(const KLToastClient &client)
{
    return aboutPerson(KLToastKind::AudioUnMute, client, "UNMUTED_BY_PERSON");
}

KLToastMessage KLToastMessage::memberOnline(const KLToastClient &client)
{
    return aboutPerson(KLToastKind::MemberOnline, client, "ONLINE_TOAST_TIPS");
}

KLToastMessage KLToastMessage::memberOffline(const KLToastClient &client)
{
    return aboutPerson(KLToastKind::MemberOffline, client, "OFFLINE_TOAST_TIPS");
}

KLToastMessage KLToastMessage::memberRing(const KLToastClient &client)
{
    return aboutPerson(KLToastKind::MemberRing, client, "RING_TIPS");
}

KLToastMessage KLToastMessage::memberNoAnswer(const KLToastClient &client)
{
    return aboutPerson(KLToastKind::MemberNoAnswer, client, "NOANSWER_TIPS");
}

KLToastMessage KLToastMessage::screenShare(const KLToastClient &client)
{
    return aboutPerson(KLToastKind::ScreenShare, client, "SHARE_TOAST_TIPS");
}

KLToastMessage KLToastMessage::stopShare(const KLToastClient &client)
{
    return aboutPerson(KLToastKind::StopShare, client, "STOP_SHARE_TOAST_TIPS");
}

KLToastMessage KLToastMessage::speakerMute(std::optional<KLToastClient> client)
{
    return plain(KLToastKind::SpeakerMute, std::move(client), "SPEAKER_MUTE_TIPS");
}

KLToastMessage KLToastMessage::speakerUnMute(std::optional<KLToastClient> client)
{
    return plain(KLToastKind::SpeakerUnMute, std::move(client), "SPEAKER_UNMUTE_TIPS");
}

KLToastMessage KLToastMessage::shareScreenEsc(std::optional<KLToastClient> client)
{
    return plain(KLToastKind::ShareScreenEsc, std::move(client), "SHARE_SCREEN_ESC_TIPS");
}

KLToastMessage KLToastMessage::meetingCallCellPhone(std::optional<KLToastClient> client)
{
    return plain(KLToastKind::CellPhone, std::move(client), "CALLING_CELLPHONE_TOAST");
}

KLToastMessage KLToastMessage::meetingCellPhoneOnline(std::optional<KLToastClient> client)
{
    return plain(KLToastKind::CellPhone, std::move(client), "ENTER_CELLPHONE_TOAST");
}

KLToastMessage KLToastMessage::meetingCellPhoneOffline(std::optional<KLToastClient> client)
{
    return plain(KLToastKind::CellPhone, std::move(client), "Exit_CELLPHONE_TOAST");
}

KLToastMessage KLToastMessage::meetingCodeCopy(std::optional<KLToastClient> client)
{
    return plain(KLToastKind::CellPhone, std::move(client), "PASSWORD_COPY_TOAST");
}

KLToastMessage KLToastMessage::meetingURLCopy(std::optional<KLToastClient> client)
{
    return plain(KLToastKind::MeetingURLCopy, std::move(client), "COPY_MEETING_URL_TOAST");
}

KLToastMessage KLToastMessage::meetingShare(std::optional<KLToastClient> client)
{
    return plain(KLToastKind::MeetingShare, std::move(client), "summary_share_tips");
}

KLToastMessage KLToastMessage::custom(const QString &text)
{
    KLToastMessage message;
    message.messageType = KLToastKind::Custom;
    message.displayMessage = text;
    return message;
}
