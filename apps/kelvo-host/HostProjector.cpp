#include "HostProjector.h"

#include "HostEventSink.h"
#include "HostMeetingListener.h"
#include "MeetingSim.h"

#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>
#include <KelvoUISDK/KLUISDKMultiProjectorWindow.h>

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>

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

QWidget *projectorWindow()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName().startsWith(QLatin1String("multi-projector-")) && top->isVisible())
            return top;
    return nullptr;
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
