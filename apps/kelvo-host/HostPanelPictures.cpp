#include "HostPanelPictures.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QWidget>

#include <cstdio>

namespace kelvohost {

namespace {
// A popover or window is laid out and painted after this.
constexpr int kAfterOpenMs = 600;
// The directory's answer to a search arrives well within this.
constexpr int kAfterSearchMs = 1200;
// The device window's level bar and preview have run for a few ticks.
constexpr int kDeviceWindowMs = 2500;
} // namespace

void HostPanelPictures::start()
{
    startWhenShown("hub-meeting-info-button", [this] { pictureInformation(); });
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
                        grab(page, QStringLiteral("invitation"));
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

void HostPanelPictures::grabScreenOverWindow(const QString &moment, const char *objectName)
{
    QWidget *window = topLevel(objectName);
    QScreen *screen = window ? window->screen() : nullptr;
    const QString path = picturePath(moment);
    const QRect area = window ? window->frameGeometry() : QRect();
    report(screen && screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path), path);
}

} // namespace kelvohost
