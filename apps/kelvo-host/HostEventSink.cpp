#include "HostEventSink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace kelvohost {

bool HostEventSink::open(const QString &path, QString *error)
{
    m_json = !path.isEmpty();
    if (path.isEmpty() || path == QLatin1String("-"))
        return true;
    m_file = std::fopen(path.toLocal8Bit().constData(), "w");
    if (!m_file) {
        m_file = stdout;
        *error = QStringLiteral("cannot open %1 for events").arg(path);
        return false;
    }
    m_ownsFile = true;
    return true;
}

HostEventSink::~HostEventSink()
{
    if (m_ownsFile)
        std::fclose(m_file);
}

void HostEventSink::emitEvent(const QJsonObject &event)
{
    const QByteArray line = m_json ? QJsonDocument(event).toJson(QJsonDocument::Compact)
                                   : readable(event).toUtf8();
    std::lock_guard lock(m_mutex);
    std::fwrite(line.constData(), 1, size_t(line.size()), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}

namespace {

QString textOrKey(const QJsonObject &event, const char *textName, const char *keyName)
{
    const QString text = event.value(QLatin1String(textName)).toString();
    return text.isEmpty() ? event.value(QLatin1String(keyName)).toString() : text;
}

} // namespace

QString HostEventSink::readable(const QJsonObject &event)
{
    const QString type = event.value(QLatin1String("type")).toString();
    if (type == QLatin1String("userStatus")) {
        static const char *const names[] = {"online", "offline", "muted", "unmuted", "camera off",
                                            "camera on", "speaking", "stopped speaking", "has the floor"};
        const int kind = event.value(QLatin1String("event")).toInt();
        const QJsonObject user = event.value(QLatin1String("user")).toObject();
        const QString name = user.value(QLatin1String("name")).toString();
        const QString what = kind >= 0 && kind < 9 ? QLatin1String(names[kind]) : QString::number(kind);
        return QStringLiteral("[member] %1: %2").arg(name.isEmpty() ? user.value(QLatin1String("uuid")).toString() : name, what);
    }
    if (type == QLatin1String("dialog")) {
        QStringList buttons;
        for (const QJsonValue &button : event.value(QLatin1String("buttonTexts")).toArray())
            buttons.append(button.toString());
        return QStringLiteral("[dialog %1] %2 %3 [%4]")
            .arg(event.value(QLatin1String("id")).toInteger())
            .arg(textOrKey(event, "titleText", "title"), textOrKey(event, "descText", "desc"),
                 buttons.join(QLatin1String(" | ")));
    }
    if (type == QLatin1String("toast"))
        return QStringLiteral("[toast] %1").arg(event.value(QLatin1String("text")).toString());
    if (type == QLatin1String("chat") || type == QLatin1String("demo"))
        return QStringLiteral("[%1] %2").arg(type, event.value(QLatin1String("text")).toString());
    if (type == QLatin1String("notice"))
        return QStringLiteral("[notice %1] %2").arg(event.value(QLatin1String("shown")).toBool() ? "on" : "off",
                                                     event.value(QLatin1String("text")).toString());
    if (type == QLatin1String("members")) {
        QStringList names;
        for (const QJsonValue &member : event.value(QLatin1String("online")).toArray())
            names.append(member.toObject().value(QLatin1String("name")).toString());
        return QStringLiteral("[members] %1 in the meeting: %2; %3 not joined")
            .arg(names.size())
            .arg(names.join(QLatin1String(", ")))
            .arg(event.value(QLatin1String("offline")).toArray().size());
    }
    QJsonObject rest = event;
    rest.remove(QLatin1String("type"));
    const QString details = QString::fromUtf8(QJsonDocument(rest).toJson(QJsonDocument::Compact));
    return QStringLiteral("[%1]%2").arg(type, rest.isEmpty() ? QString() : QLatin1Char(' ') + details);
}

} // namespace kelvohost
