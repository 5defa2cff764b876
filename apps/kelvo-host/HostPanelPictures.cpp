#include "HostPanelPictures.h"

#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace kelvohost {

namespace {
// The meeting page is given time to draw its first frames before the first picture.
constexpr int kAfterJoinMs = 2500;
// A popover or window is laid out and painted after this.
constexpr int kAfterOpenMs = 600;
// The directory's answer to a search arrives well within this.
constexpr int kAfterSearchMs = 1200;
// The device window's level bar and preview have run for a few ticks.
constexpr int kDeviceWindowMs = 2500;
} // namespace

HostPanelPictures::HostPanelPictures(KLUISDKMeetingMainWindow &meeting, QString directory, QString language)
    : m_meeting(meeting), m_directory(std::move(directory)), m_language(std::move(language))
{
}

QWidget *HostPanelPictures::topLevel(const char *objectName) const
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String(objectName) && top->isVisible())
            return top;
    return nullptr;
}

QWidget *HostPanelPictures::find(const char *objectName) const
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

void HostPanelPictures::after(int ms, std::function<void()> step)
{
    QTimer::singleShot(ms, this, std::move(step));
}

void HostPanelPictures::start()
{
    QDir().mkpath(m_directory);
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (!find("hub-meeting-info-button"))
            return;
        poll->stop();
        poll->deleteLater();
        after(kAfterJoinMs, [this] { pictureInformation(); });
    });
    poll->start(50);
}

void HostPanelPictures::pictureInformation()
{
    auto *button = qobject_cast<QAbstractButton *>(find("hub-meeting-info-button"));
    if (!button)
        return finish();
    button->click();
    after(kAfterOpenMs, [this] {
        grabScreenOverWindow(QStringLiteral("info-popover"));
        if (QWidget *popover = topLevel("hub-popover"))
            popover->close();
        pictureInvitation();
    });
}

void HostPanelPictures::pictureInvitation()
{
    auto *more = qobject_cast<QAbstractButton *>(find("hub-more-button"));
    if (!more)
        return finish();
    more->click();
    after(kAfterOpenMs, [this] {
        auto *invite = qobject_cast<QAbstractButton *>(find("more-invite"));
        if (!invite) {
            std::fprintf(stderr, "kelvo-host: no invite entry in the more popover\n");
            return finish();
        }
        invite->click();
        after(kAfterOpenMs, [this] {
            auto *search = qobject_cast<QLineEdit *>(find("invite-search"));
            if (!search) {
                std::fprintf(stderr, "kelvo-host: no invitation page\n");
                return finish();
            }
            // One person chosen, then a second search whose results are shown.
            search->setText(QStringLiteral("Chen"));
            after(kAfterSearchMs, [this, search] {
                auto *results = qobject_cast<QListWidget *>(find("invite-results"));
                if (results && results->count() > 0)
                    Q_EMIT results->itemClicked(results->item(0));
                search->setText(QStringLiteral("Wang"));
                after(kAfterSearchMs, [this] {
                    if (QWidget *page = topLevel("invitation-page")) {
                        grabWidget(page, QStringLiteral("invitation"));
                        page->close();
                    }
                    pictureSettings();
                });
            });
        });
    });
}

void HostPanelPictures::pictureSettings()
{
    auto *settings = qobject_cast<QAbstractButton *>(find("hub-setting-button"));
    if (!settings)
        return finish();
    settings->click();
    after(kAfterOpenMs, [this] {
        grabScreenOverWindow(QStringLiteral("settings-popover"));
        auto *devices = qobject_cast<QAbstractButton *>(find("settings-device"));
        if (!devices) {
            std::fprintf(stderr, "kelvo-host: no device settings entry\n");
            return finish();
        }
        devices->click();
        after(kDeviceWindowMs, [this] {
            if (QWidget *window = topLevel("device-settings-window")) {
                grabScreenOverWindow(QStringLiteral("device-window"), "device-settings-window");
                window->close();
            }
            finish();
        });
    });
}

void HostPanelPictures::finish()
{
    m_meeting.performUserAction(KLUISDKUserAction::Close);
}

void HostPanelPictures::grabWidget(QWidget *widget, const QString &moment)
{
    const QString path = QDir(m_directory).filePath(QStringLiteral("meeting-%1-%2.png").arg(moment, m_language));
    if (!widget->grab().save(path))
        std::fprintf(stderr, "kelvo-host: cannot write %s\n", qPrintable(path));
    else
        std::fprintf(stderr, "kelvo-host: pictured %s\n", qPrintable(path));
}

void HostPanelPictures::grabScreenOverWindow(const QString &moment, const char *objectName)
{
    QWidget *window = topLevel(objectName);
    QScreen *screen = window ? window->screen() : nullptr;
    const QString path = QDir(m_directory).filePath(QStringLiteral("meeting-%1-%2.png").arg(moment, m_language));
    const QRect area = window ? window->frameGeometry() : QRect();
    if (!screen || !screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path))
        std::fprintf(stderr, "kelvo-host: cannot write %s\n", qPrintable(path));
    else
        std::fprintf(stderr, "kelvo-host: pictured %s\n", qPrintable(path));
}

} // namespace kelvohost
