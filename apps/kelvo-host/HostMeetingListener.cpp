#include "HostMeetingListener.h"

#include "HostEventSink.h"

#include <KelvoUISDK/KLSDKMeetingUser.h>

#include <QJsonArray>

namespace kelvohost {

namespace {

QJsonValue textOrNull(const QString &text)
{
    return text.isNull() ? QJsonValue() : QJsonValue(text);
}

QJsonValue keyOrNull(const QString &key)
{
    return key.isEmpty() ? QJsonValue() : QJsonValue(key);
}

QJsonObject userRecord(const KLSDKMeetingUser &user)
{
    const auto &state = user.callState;
    return {{"uuid", user.uuid},
            {"name", user.name},
            {"nameEn", user.nameEn()},
            {"userId", user.userId},
            {"empId", user.empId},
            {"memberType", user.memberType},
            {"deptName", user.deptName},
            {"email", user.email},
            {"roomId", user.roomId},
            {"roomName", user.roomName},
            {"callState", QJsonObject{{"online", state.online}, {"mute", state.mute},
                                      {"vmute", state.vmute}, {"ringing", state.ringing},
                                      {"hasVideo", state.hasVideo}, {"cellphone", state.cellphone},
                                      {"extension", state.extension}, {"callType", state.callType},
                                      {"multiScreen", state.multiScreen}}}};
}

QJsonArray keysOrNulls(const QStringList &keys)
{
    QJsonArray out;
    for (const QString &key : keys)
        out.append(keyOrNull(key));
    return out;
}

QJsonObject memberRecord(const KLUISDKMember &member)
{
    return {{"uuid", member.uuid},
            {"name", member.name},
            {"memberType", member.memberType},
            {"online", member.online},
            {"muted", member.muted},
            {"video", member.video},
            {"calling", member.calling},
            {"speaking", member.speaking},
            {"locked", member.locked},
            {"focused", member.focused},
            {"self", member.isSelf},
            {"buttons", QJsonArray::fromStringList(member.buttons)}};
}

QJsonArray memberRecords(const QList<KLUISDKMember> &members)
{
    QJsonArray out;
    for (const KLUISDKMember &member : members)
        out.append(memberRecord(member));
    return out;
}

} // namespace

HostMeetingListener::HostMeetingListener(HostEventSink &sink, std::function<void(int exitCode)> onClosed)
    : m_sink(sink), m_onClosed(std::move(onClosed))
{
}

void HostMeetingListener::onMeetingJoined()
{
    m_joined = true;
    m_sink.emitEvent({{"type", "joined"}});
}

void HostMeetingListener::onError(int code, const QString &reason)
{
    m_failed = true;
    m_sink.emitEvent({{"type", "error"}, {"code", code}, {"reason", textOrNull(reason)}});
}

void HostMeetingListener::onMeetingFinish(int reason, const QString &text)
{
    m_sink.emitEvent({{"type", "finish"}, {"reason", reason}, {"text", textOrNull(text)}});
}

void HostMeetingListener::onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &user, int event)
{
    m_sink.emitEvent({{"type", "userStatus"}, {"event", event},
                      {"user", user ? QJsonValue(userRecord(*user)) : QJsonValue()}});
}

void HostMeetingListener::showDialog(const KLUISDKDialog &dialog)
{
    m_sink.emitEvent({{"type", "dialog"},
                      {"id", qint64(dialog.id)},
                      {"title", keyOrNull(dialog.titleKey)},
                      {"desc", keyOrNull(dialog.descKey)},
                      {"buttons", keysOrNulls(dialog.buttonKeys)},
                      {"titleText", dialog.title},
                      {"descText", dialog.desc},
                      {"buttonTexts", QJsonArray::fromStringList(dialog.buttons)}});
}

void HostMeetingListener::closeDialog()
{
    m_sink.emitEvent({{"type", "dialogClosed"}});
}

void HostMeetingListener::showToast(int kind, const QString &key, const QString &text)
{
    m_sink.emitEvent({{"type", "toast"}, {"kind", kind}, {"key", keyOrNull(key)}, {"text", text}});
}

void HostMeetingListener::noticeChanged(int kind, const QString &text, bool shown)
{
    m_sink.emitEvent({{"type", "notice"}, {"kind", kind}, {"shown", shown}, {"text", text}});
}

void HostMeetingListener::showChatMessage(const QString &senderUuid, const QString &text)
{
    m_sink.emitEvent({{"type", "chat"}, {"from", senderUuid}, {"text", text}});
}

void HostMeetingListener::showRatePage(const QString &url)
{
    m_sink.emitEvent({{"type", "ratePage"}, {"url", url}});
}

void HostMeetingListener::membersChanged(const QList<KLUISDKMember> &online, const QList<KLUISDKMember> &offline)
{
    m_sink.emitEvent({{"type", "members"}, {"online", memberRecords(online)}, {"offline", memberRecords(offline)}});
}

void HostMeetingListener::toolbarChanged(const QList<KLUISDKToolbarButton> &buttons)
{
    QJsonObject byControl;
    for (const KLUISDKToolbarButton &button : buttons)
        byControl.insert(button.control, QJsonObject{{"icon", button.icon},
                                                     {"label", button.label},
                                                     {"tooltip", button.tooltip},
                                                     {"enabled", button.enabled},
                                                     {"visible", button.visible},
                                                     {"busy", button.busy}});
    m_sink.emitEvent({{"type", "toolbar"}, {"buttons", byControl}});
}

void HostMeetingListener::callRoomsChanged(const QList<KLUISDKMember> &rooms, bool shown)
{
    m_sink.emitEvent({{"type", "callRooms"}, {"shown", shown}, {"rooms", memberRecords(rooms)}});
}

void HostMeetingListener::showEnterName(const QString &error)
{
    m_sink.emitEvent({{"type", "enterName"}, {"error", textOrNull(error)}});
}

void HostMeetingListener::searchResults(const QList<KLUISDKSearchResult> &results)
{
    QJsonArray items;
    for (const KLUISDKSearchResult &result : results)
        items.append(QJsonObject{{"id", result.id}, {"name", result.name}, {"memberType", result.memberType},
                                 {"detail", textOrNull(result.detail)}});
    m_sink.emitEvent({{"type", "searchResults"}, {"items", items}});
}

void HostMeetingListener::clipboardWritten(const QString &text)
{
    m_sink.emitEvent({{"type", "clipboard"}, {"text", textOrNull(text)}});
}

void HostMeetingListener::windowClosed()
{
    m_sink.emitEvent({{"type", "closed"}});
    // A meeting that ended in an error before it was ever joined did not start.
    if (m_onClosed)
        m_onClosed(m_failed && !m_joined ? 1 : 0);
}

} // namespace kelvohost
