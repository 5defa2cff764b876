#include "HostProjector.h"

#include "HostEventSink.h"
#include "HostMeetingListener.h"
#include "MeetingSim.h"

#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>
#include <KelvoUISDK/KLUISDKMultiProjectorWindow.h>

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMap>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace kelvohost {

namespace {

// The projection meeting's moments, in milliseconds after the join.
constexpr int kAcceptMs = 800;
constexpr int kRejectMs = 1400;
constexpr int kLeaveMs = 6000;
// The picture is taken once the receivers are in (and before the room leaves).
constexpr int kPictureMs = 3000;

QString memberOf(const QJsonObject &meeting, const char *list, int index)
{
    return meeting.value(QLatin1String(list)).toArray().at(index).toObject().value(QLatin1String("memberUUID")).toString();
}

// The simulator's side of a projection meeting, played on this process's loop.
void playProjection(kelvosim::MeetingSim &sim, HostEventSink &sink, bool sender)
{
    const QJsonObject meeting = sim.scenario().value(QLatin1String("meetings")).toArray().first().toObject();
    const QString shanghai = memberOf(meeting, "rooms", 0);
    const QString beijing = memberOf(meeting, "rooms", 1);
    const QString zhou = memberOf(meeting, "members", 1);
    auto say = [&sink](const QString &what) { sink.emitEvent({{"type", "projection"}, {"say", what}}); };
    if (!sender) {
        QTimer::singleShot(kAcceptMs, qApp, [&sim, zhou, say] {
            say(QStringLiteral("Zhou Ming casts a screen"));
            sim.addRemoteStream(QStringLiteral("screen-") + zhou, QString::fromLatin1(QByteArray("Zhou Ming").toBase64()), true);
        });
        return;
    }
    QTimer::singleShot(kAcceptMs, qApp, [&sim, shanghai, zhou, say] {
        say(QStringLiteral("the Shanghai room accepts and receives; Zhou Ming receives"));
        sim.pushEvent(28, shanghai);
        sim.pushEvent(30, shanghai);
        sim.pushEvent(30, zhou);
    });
    QTimer::singleShot(kRejectMs, qApp, [&sim, beijing, say] {
        say(QStringLiteral("the Beijing room rejects"));
        sim.pushEvent(29, beijing, {{QStringLiteral("reasonCode"), 1}});
    });
    QTimer::singleShot(kLeaveMs, qApp, [&sim, shanghai, say] {
        say(QStringLiteral("the Shanghai room leaves"));
        sim.pushEvent(31, shanghai);
        sim.pushEvent(2, shanghai);
    });
}

// --control for a projector run: one JSON command per line, acting as the user or host would:
// "stopCast" (the stop button), "audio" (the audio-meeting button), "close" (the window's close),
// "stopFromHost" (the host ends the cast) and "dialog" with "id" and "button". Anything else is
// answered with a "commandError" event.
void runCommand(KLUISDKMultiProjectorWindow &projector, HostEventSink &sink, const QByteArray &line)
{
    const QJsonObject command = QJsonDocument::fromJson(line).object();
    const QString name = command.value(QLatin1String("cmd")).toString();
    bool done = false;
    if (name == QLatin1String("dialog"))
        done = projector.pressDialogButton(quint64(command.value(QLatin1String("id")).toInteger()),
                                           command.value(QLatin1String("button")).toInt());
    else if (name == QLatin1String("stopCast"))
        done = projector.performAction(KLUISDKProjectorAction::StopCast);
    else if (name == QLatin1String("audio"))
        done = projector.performAction(KLUISDKProjectorAction::AudioMeeting);
    else if (name == QLatin1String("close"))
        done = projector.performAction(KLUISDKProjectorAction::Close);
    else if (name == QLatin1String("stopFromHost"))
        done = projector.performAction(KLUISDKProjectorAction::StopFromHost);
    if (!done)
        sink.emitEvent({{"type", "commandError"}, {"line", QString::fromUtf8(line.trimmed())},
                        {"reason", QStringLiteral("not a projector command, or nothing to act on")}});
}

QWidget *projectorWindow()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName().startsWith(QLatin1String("multi-projector-")) && top->isVisible())
            return top;
    return nullptr;
}

// What the drawn window shows, as events whenever it changes: each row's presence (sender) and
// whether the cast is on screen (receiver).
void reportWindow(HostEventSink &sink, QMap<QString, QString> &shown)
{
    QWidget *window = projectorWindow();
    if (!window)
        return;
    QMap<QString, QString> now;
    for (QWidget *row : window->findChildren<QWidget *>()) {
        const QString name = row->objectName();
        if (name.startsWith(QLatin1String("multi-projector-row-")))
            if (auto *presence = row->findChild<QLabel *>(QStringLiteral("presence")))
                now.insert(name.mid(20), presence->text());
    }
    if (auto *cast = window->findChild<QWidget *>(QStringLiteral("multi-projector-cast")))
        now.insert(QStringLiteral("cast"), cast->isVisible() ? QStringLiteral("shown") : QStringLiteral("hidden"));
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (shown.value(it.key()) == it.value())
            continue;
        if (it.key() == QLatin1String("cast"))
            sink.emitEvent({{"type", "projectorCast"}, {"shown", it.value() == QLatin1String("shown")}});
        else
            sink.emitEvent({{"type", "projectorRow"}, {"uuid", it.key()}, {"presence", it.value()}});
    }
    shown = now;
}

} // namespace

int runProjector(const HostOptions &options, bool headless, HostEventSink &sink, kelvosim::MeetingSim *sim,
                 const std::function<void(int)> &exitWhenDone)
{
    const bool sender = options.projector == QLatin1String("sender");
    auto listener = std::make_shared<HostMeetingListener>(sink, exitWhenDone);
    const QString uuid = options.meeting.value(QLatin1String(KLSDKMeetingConfigMeetingUUID)).toString();
    KLUISDKMultiProjectorWindow projector(uuid, options.projector, options.withAudio, options.projectId,
                                          options.meeting, listener);
    if (headless)
        projector.setPresenter(listener);
    else
        projector.setObserver(listener);
    projector.start();
    if (!projector.isRunning())
        return 1; // the credentials were refused; the error event says which
    if (sim)
        playProjection(*sim, sink, sender);
    // Control lines from stdin (the only source a projector run reads).
    std::unique_ptr<QSocketNotifier> control;
    if (options.controlPath == QLatin1String("-")) {
        control = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(control.get(), &QSocketNotifier::activated, qApp, [&projector, &sink, &control] {
            char buffer[4096];
            const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (count <= 0) {
                control->setEnabled(false); // the other end has gone
                return;
            }
            static QByteArray pending;
            pending.append(buffer, count);
            for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
                const QByteArray line = pending.left(end);
                pending.remove(0, end + 1);
                if (!line.trimmed().isEmpty())
                    runCommand(projector, sink, line);
            }
        });
    }
    QMap<QString, QString> shown;
    QTimer watch;
    if (!headless) {
        QObject::connect(&watch, &QTimer::timeout, qApp, [&sink, &shown] { reportWindow(sink, shown); });
        watch.start(200);
    }
    const QString pictures = qEnvironmentVariable("KELVO_HOST_SCREENSHOTS");
    if (!headless && !pictures.isEmpty()) {
        const QString language = options.language.isEmpty() ? QStringLiteral("en") : options.language;
        QTimer::singleShot(kPictureMs, qApp, [&projector, pictures, language, sender] {
            QWidget *window = projectorWindow();
            const QString path = QDir(pictures).filePath(
                QStringLiteral("projector-%1-%2.png").arg(sender ? QStringLiteral("sender") : QStringLiteral("receiver"), language));
            if (!window || !window->grab().save(path))
                std::fprintf(stderr, "kelvo-host: cannot picture the projector window to %s\n", qPrintable(path));
            else
                std::fprintf(stderr, "kelvo-host: pictured %s\n", qPrintable(path));
            projector.performAction(KLUISDKProjectorAction::Close);
        });
    }
    return qApp->exec();
}

} // namespace kelvohost
