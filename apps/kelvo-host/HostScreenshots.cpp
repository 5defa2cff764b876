#include "HostScreenshots.h"

#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include <QApplication>
#include <QDir>
#include <QJsonObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace kelvohost {

namespace {
// How long after the share starts the picture is taken: the shared screen's first frames are
// drawn and its toast is still up (toasts last three seconds).
constexpr int kAfterShareMs = 1500;
// The leave dialog is given a moment to be laid out and painted.
constexpr int kAfterLeaveMs = 400;
} // namespace

HostScreenshots::HostScreenshots(KLUISDKMeetingMainWindow &meeting, QString directory, QString language)
    : m_meeting(meeting), m_directory(std::move(directory)), m_language(std::move(language))
{
}

QWidget *HostScreenshots::meetingWindow() const
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("meeting-window") && top->isVisible())
            return top;
    }
    return nullptr;
}

void HostScreenshots::start()
{
    QDir().mkpath(m_directory);
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (m_enteringTaken || !meetingWindow())
            return;
        // The window is up with its loading page: pictured before the join completes.
        m_enteringTaken = true;
        poll->stop();
        grab(QStringLiteral("entering"));
    });
    poll->start(1);
}

void HostScreenshots::demoStep(const QJsonObject &step)
{
    if (step.value(QLatin1String("screen")).toString() != QLatin1String("start"))
        return;
    QTimer::singleShot(kAfterShareMs, this, [this] {
        grab(QStringLiteral("shared-screen"));
        m_meeting.performUserAction(KLUISDKUserAction::Leave);
        QTimer::singleShot(kAfterLeaveMs, this, [this] {
            grab(QStringLiteral("leave-dialog"));
            m_meeting.performUserAction(KLUISDKUserAction::Close);
        });
    });
}

void HostScreenshots::grab(const QString &moment)
{
    QWidget *window = meetingWindow();
    if (!window) {
        std::fprintf(stderr, "kelvo-host: no meeting window to picture at \"%s\"\n", qPrintable(moment));
        return;
    }
    const QString path = QDir(m_directory).filePath(QStringLiteral("meeting-%1-%2.png").arg(moment, m_language));
    if (!window->grab().save(path))
        std::fprintf(stderr, "kelvo-host: cannot write %s\n", qPrintable(path));
    else
        std::fprintf(stderr, "kelvo-host: pictured %s\n", qPrintable(path));
}

} // namespace kelvohost
