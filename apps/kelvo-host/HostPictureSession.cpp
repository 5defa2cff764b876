#include "HostPictureSession.h"

#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace kelvohost {

namespace {
// The meeting page is given time to draw its first frames before the first picture.
constexpr int kAfterJoinMs = 2500;
} // namespace

HostPictureSession::HostPictureSession(KLUISDKMeetingMainWindow &meeting, QString directory, QString language)
    : m_meeting(meeting), m_directory(std::move(directory)), m_language(std::move(language))
{
}

void HostPictureSession::startWhenShown(const char *objectName, std::function<void()> first)
{
    QDir().mkpath(m_directory);
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll, objectName, first = std::move(first)] {
        if (!find(objectName))
            return;
        poll->stop();
        poll->deleteLater();
        after(kAfterJoinMs, first);
    });
    poll->start(50);
}

QWidget *HostPictureSession::topLevel(const char *objectName) const
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String(objectName) && top->isVisible())
            return top;
    return nullptr;
}

QWidget *HostPictureSession::find(const char *objectName) const
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        if (top->objectName() == QLatin1String(objectName))
            return top;
        if (auto *child = top->findChild<QWidget *>(QLatin1String(objectName)); child && child->isVisible())
            return child;
    }
    return nullptr;
}

void HostPictureSession::after(int ms, std::function<void()> step)
{
    QTimer::singleShot(ms, this, std::move(step));
}

QString HostPictureSession::picturePath(const QString &moment) const
{
    return QDir(m_directory).filePath(QStringLiteral("meeting-%1-%2.png").arg(moment, m_language));
}

void HostPictureSession::grab(QWidget *widget, const QString &moment)
{
    const QString path = picturePath(moment);
    report(widget && widget->grab().save(path), path);
}

void HostPictureSession::report(bool written, const QString &path)
{
    if (written)
        std::fprintf(stderr, "kelvo-host: pictured %s\n", qPrintable(path));
    else
        std::fprintf(stderr, "kelvo-host: cannot write %s\n", qPrintable(path));
}

void HostPictureSession::finish()
{
    m_meeting.performUserAction(KLUISDKUserAction::Close);
}

} // namespace kelvohost
