#include "KLHostProcess.h"

#include "KLTestSupport.h"

#include <QJsonDocument>
#include <QProcessEnvironment>

#include <algorithm>

namespace e2e {

namespace {

// Lines of the host's log shown with a failure: the last steps of the meeting, or a whole
// sanitizer report.
constexpr int kLogLinesShown = 160;

QString text(const QJsonObject &event, const char *key)
{
    return event.value(QLatin1String(key)).toString();
}

int number(const QJsonObject &event, const char *key)
{
    return event.value(QLatin1String(key)).toInt(-1);
}

} // namespace

EventMatch typeIs(const QString &type)
{
    return [type](const QJsonObject &event) { return text(event, "type") == type; };
}

EventMatch dialogTitled(const QString &titleKey)
{
    return [titleKey](const QJsonObject &event) {
        return text(event, "type") == QLatin1String("dialog") && text(event, "title") == titleKey;
    };
}

EventMatch finishWith(int reason)
{
    return [reason](const QJsonObject &event) {
        return text(event, "type") == QLatin1String("finish") && number(event, "reason") == reason;
    };
}

EventMatch errorWith(int code)
{
    return [code](const QJsonObject &event) {
        return text(event, "type") == QLatin1String("error") && number(event, "code") == code;
    };
}

EventMatch userStatus(int kind, const QString &uuid)
{
    return [kind, uuid](const QJsonObject &event) {
        return text(event, "type") == QLatin1String("userStatus") && number(event, "event") == kind
               && event.value(QLatin1String("user")).toObject().value(QLatin1String("uuid")).toString() == uuid;
    };
}

HostProcess::HostProcess()
{
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { readEvents(); });
    QObject::connect(&m_process, &QProcess::readyReadStandardError,
                     [this] { m_log += m_process.readAllStandardError(); });
}

HostProcess::~HostProcess()
{
    // A test that failed half-way leaves its host running: end that one process, nothing else.
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool HostProcess::start(const QStringList &arguments, const QMap<QString, QString> &environment)
{
    if (!m_home.isValid())
        return false;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("KELVO_TIME_SCALE"));
    env.remove(QStringLiteral("KELVO_MEDIA_DEVICES"));
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (auto it = environment.constBegin(); it != environment.constEnd(); ++it)
        env.insert(it.key(), it.value());
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_home.path());
    m_process.start(QStringLiteral(KELVO_HOST_EXE), arguments);
    return m_process.waitForStarted(kDeadlineMs);
}

void HostProcess::readEvents()
{
    m_pending += m_process.readAllStandardOutput();
    for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0; m_pending.remove(0, end + 1)) {
        const QByteArray line = m_pending.left(end);
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            m_events.append(document.object());
        else if (!line.trimmed().isEmpty())
            m_strayLines.append(QString::fromUtf8(line));
    }
}

qsizetype HostProcess::indexOf(const EventMatch &match, qsizetype from) const
{
    for (qsizetype i = qMax<qsizetype>(0, from); i < m_events.size(); ++i) {
        if (match(m_events.at(i)))
            return i;
    }
    return -1;
}

qsizetype HostProcess::count(const EventMatch &match) const
{
    return std::count_if(m_events.cbegin(), m_events.cend(), match);
}

std::optional<QJsonObject> HostProcess::waitFor(const EventMatch &match, qsizetype from, int timeoutMs)
{
    // A host that has ended sends nothing more: no use waiting out the deadline for it.
    kltest::waitUntil([&] { return indexOf(match, from) >= 0 || m_process.state() == QProcess::NotRunning; },
                      timeoutMs);
    readEvents();
    const qsizetype at = indexOf(match, from);
    if (at < 0)
        return std::nullopt;
    return m_events.at(at);
}

void HostProcess::send(const QJsonObject &command)
{
    sendLine(QJsonDocument(command).toJson(QJsonDocument::Compact));
}

void HostProcess::sendLine(const QByteArray &line)
{
    m_process.write(line + '\n');
}

bool HostProcess::waitForExit(int timeoutMs)
{
    const bool ended = kltest::waitUntil([this] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
    // What the host wrote last is read before anyone looks at the events.
    readEvents();
    m_log += m_process.readAllStandardError();
    return ended;
}

bool HostProcess::exitedCleanly() const
{
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit
           && m_process.exitCode() == 0;
}

int HostProcess::exitCode() const
{
    if (m_process.state() != QProcess::NotRunning || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}

std::string HostProcess::transcript() const
{
    QString out = QStringLiteral("\n--- host events ---\n");
    for (const QJsonObject &event : m_events)
        out += QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
    for (const QString &line : m_strayLines)
        out += QStringLiteral("(not an event) ") + line + QLatin1Char('\n');
    const QStringList log = QString::fromUtf8(m_log).split(QLatin1Char('\n'));
    out += QStringLiteral("--- exit: %1 %2; end of the host's log ---\n")
               .arg(m_process.exitStatus() == QProcess::NormalExit ? "status" : "crash")
               .arg(m_process.exitCode());
    out += log.mid(qMax<qsizetype>(0, log.size() - kLogLinesShown)).join(QLatin1Char('\n'));
    return out.toStdString();
}

} // namespace e2e
