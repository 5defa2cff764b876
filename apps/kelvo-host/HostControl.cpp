#include "HostControl.h"

#include "HostEventSink.h"

#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

#include <fcntl.h>
#include <map>
#include <thread>
#include <unistd.h>

namespace kelvohost {

// The reading thread may be blocked in read() when the host ends; it is left detached and
// only ever reaches the control object through this guard.
struct HostControl::Reader {
    std::mutex mutex;
    HostControl *control = nullptr;

    void deliver(QByteArray line)
    {
        std::lock_guard lock(mutex);
        if (!control)
            return;
        QPointer<HostControl> target(control);
        QMetaObject::invokeMethod(control, [target, line] {
            if (target)
                target->execute(line);
        }, Qt::QueuedConnection);
    }

    static void readLines(std::shared_ptr<Reader> reader, int fd)
    {
        QByteArray pending;
        char buffer[4096];
        for (;;) {
            const ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            pending.append(buffer, count);
            for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
                reader->deliver(pending.left(end));
        }
        if (!pending.trimmed().isEmpty())
            reader->deliver(pending);
        if (fd != STDIN_FILENO)
            ::close(fd);
    }
};

HostControl::HostControl(KLUISDKMeetingMainWindow &meeting, HostEventSink &sink)
    : m_meeting(meeting), m_sink(sink), m_reader(std::make_shared<Reader>())
{
    m_reader->control = this;
}

HostControl::~HostControl()
{
    std::lock_guard lock(m_reader->mutex);
    m_reader->control = nullptr;
}

bool HostControl::start(const QString &path, QString *error)
{
    const int fd = path == QLatin1String("-") ? STDIN_FILENO
                                              : ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot open %1 for control").arg(path);
        return false;
    }
    std::thread(&Reader::readLines, m_reader, fd).detach();
    return true;
}

void HostControl::execute(const QByteArray &line)
{
    if (line.trimmed().isEmpty())
        return;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
    if (!document.isObject()) {
        commandError(line, parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                         : QStringLiteral("not a JSON object"));
        return;
    }
    if (const QString failure = run(document.object()); !failure.isEmpty())
        commandError(line, failure);
}

void HostControl::commandError(const QByteArray &line, const QString &reason)
{
    m_sink.emitEvent({{"type", "commandError"}, {"line", QString::fromUtf8(line)}, {"reason", reason}});
}

namespace {

struct ActionCommand {
    KLUISDKUserAction action;
    const char *argument;  ///< the command's field carrying the argument, or null
};

const std::map<QString, ActionCommand> &actionCommands()
{
    static const std::map<QString, ActionCommand> commands = {
        {QStringLiteral("mute"), {KLUISDKUserAction::Mute, nullptr}},
        {QStringLiteral("camera"), {KLUISDKUserAction::Camera, nullptr}},
        {QStringLiteral("speaker"), {KLUISDKUserAction::Speaker, nullptr}},
        {QStringLiteral("share"), {KLUISDKUserAction::Share, nullptr}},
        {QStringLiteral("leave"), {KLUISDKUserAction::Leave, nullptr}},
        {QStringLiteral("meetingNote"), {KLUISDKUserAction::MeetingNote, nullptr}},
        {QStringLiteral("muteAll"), {KLUISDKUserAction::MuteAll, nullptr}},
        {QStringLiteral("callAll"), {KLUISDKUserAction::CallAll, nullptr}},
        {QStringLiteral("sleep"), {KLUISDKUserAction::Sleep, nullptr}},
        {QStringLiteral("close"), {KLUISDKUserAction::Close, nullptr}},
        {QStringLiteral("chat"), {KLUISDKUserAction::Chat, "text"}},
        {QStringLiteral("click"), {KLUISDKUserAction::Click, "uuid"}},
        {QStringLiteral("lock"), {KLUISDKUserAction::Lock, "uuid"}},
        {QStringLiteral("muteMember"), {KLUISDKUserAction::MuteMember, "uuid"}},
        {QStringLiteral("hangupMember"), {KLUISDKUserAction::HangupMember, "uuid"}},
        {QStringLiteral("rate"), {KLUISDKUserAction::RatePage, "status"}},
        {QStringLiteral("call"), {KLUISDKUserAction::CallMember, "uuid"}},
    };
    return commands;
}

} // namespace

// The invitation, meeting information and settings commands: the reason one was refused (empty
// when done), or nothing when `name` is none of them.
std::optional<QString> HostControl::runPanelCommand(const QString &name, const QJsonObject &command)
{
    if (name == QLatin1String("search")) {
        const QJsonValue keyword = command.value(QLatin1String("keyword"));
        if (!keyword.isString())
            return QStringLiteral("\"search\" needs a string \"keyword\"");
        if (!m_meeting.performUserAction(KLUISDKUserAction::Search, keyword.toString()))
            return QStringLiteral("no meeting window to search from");
        return QString();
    }
    if (name == QLatin1String("invite")) {
        const QJsonValue ids = command.value(QLatin1String("ids"));
        QStringList list;
        for (const QJsonValue &id : ids.toArray())
            if (id.isString() && !id.toString().isEmpty() && !id.toString().contains(QLatin1Char(',')))
                list.append(id.toString());
        if (!ids.isArray() || list.isEmpty() || list.size() != ids.toArray().size())
            return QStringLiteral("\"invite\" needs \"ids\", a non-empty array of ids from the search results");
        if (!m_meeting.performUserAction(KLUISDKUserAction::Invite, list.join(QLatin1Char(','))))
            return QStringLiteral("an id is not among the last search results");
        return QString();
    }
    if (name == QLatin1String("copy")) {
        const QString what = command.value(QLatin1String("what")).toString();
        if (what != QLatin1String("share") && what != QLatin1String("password") && what != QLatin1String("link"))
            return QStringLiteral("\"copy\" needs \"what\": \"share\", \"password\" or \"link\"");
        if (!m_meeting.performUserAction(KLUISDKUserAction::Copy, what))
            return QStringLiteral("no meeting window to copy from");
        return QString();
    }
    if (name == QLatin1String("setting")) {
        const QJsonValue setting = command.value(QLatin1String("name"));
        const QJsonValue value = command.value(QLatin1String("value"));
        QString text = value.isBool() ? QString::fromLatin1(value.toBool() ? "true" : "false") : value.toString();
        if (!setting.isString() || setting.toString().isEmpty() || setting.toString().contains(QLatin1Char('=')))
            return QStringLiteral("\"setting\" needs a string \"name\"");
        if (!m_meeting.performUserAction(KLUISDKUserAction::Setting, setting.toString() + QLatin1Char('=') + text))
            return QStringLiteral("setting %1 cannot take %2").arg(setting.toString(), text);
        return QString();
    }
    return std::nullopt;
}

// Carries out a parsed command; the reason it was refused, or empty.
QString HostControl::run(const QJsonObject &command)
{
    const QJsonValue name = command.value(QLatin1String("cmd"));
    if (!name.isString())
        return QStringLiteral("\"cmd\" must be a string");
    if (name.toString() == QLatin1String("dialog")) {
        const QJsonValue id = command.value(QLatin1String("id"));
        const QJsonValue button = command.value(QLatin1String("button"));
        if (!id.isDouble() || !button.isDouble())
            return QStringLiteral("\"dialog\" needs a numeric \"id\" and \"button\"");
        if (!m_meeting.pressDialogButton(quint64(id.toInteger()), button.toInt()))
            return QStringLiteral("dialog %1 is not shown or has no button %2").arg(id.toInteger()).arg(button.toInt());
        return {};
    }
    if (name.toString() == QLatin1String("callRooms")) {
        // The call-rooms dialog's choice: the rooms to call, by uuid.
        const QJsonValue uuids = command.value(QLatin1String("uuids"));
        QStringList list;
        for (const QJsonValue &uuid : uuids.toArray())
            if (uuid.isString() && !uuid.toString().isEmpty() && !uuid.toString().contains(QLatin1Char(',')))
                list.append(uuid.toString());
        if (!uuids.isArray() || list.isEmpty() || list.size() != uuids.toArray().size())
            return QStringLiteral("\"callRooms\" needs \"uuids\", a non-empty array of uuids");
        if (!m_meeting.performUserAction(KLUISDKUserAction::CallRooms, list.join(QLatin1Char(','))))
            return QStringLiteral("no call-rooms dialog is open with any of these rooms");
        return {};
    }
    if (name.toString() == QLatin1String("enterName")) {
        const QJsonValue value = command.value(QLatin1String("name"));
        if (!value.isString())
            return QStringLiteral("\"enterName\" needs a string \"name\"");
        // An empty name is the dialog's to refuse, with its reason.
        if (!m_meeting.performUserAction(KLUISDKUserAction::EnterName, value.toString().isEmpty() ? QStringLiteral(" ") : value.toString()))
            return QStringLiteral("the name was not taken (no enter-name dialog, or the dialog refused it)");
        return {};
    }
    if (const auto refused = runPanelCommand(name.toString(), command))
        return *refused;
    const auto found = actionCommands().find(name.toString());
    if (found == actionCommands().end())
        return QStringLiteral("unknown command \"%1\"").arg(name.toString());
    QString argument;
    if (const char *field = found->second.argument) {
        const QJsonValue value = command.value(QLatin1String(field));
        if (!value.isString() || value.toString().isEmpty())
            return QStringLiteral("\"%1\" needs a non-empty string \"%2\"").arg(name.toString(), QLatin1String(field));
        argument = value.toString();
    }
    if (!m_meeting.performUserAction(found->second.action, argument))
        return QStringLiteral("no meeting window to act on");
    return {};
}

} // namespace kelvohost
