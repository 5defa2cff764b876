#include "HostSharePictures.h"

#include "SimScreenCastPortal.h"

#include <QAbstractButton>
#include <QDBusConnection>
#include <QWidget>

#include <cstdio>

namespace kelvohost {

namespace {
// A window or dialog is laid out and painted after this.
constexpr int kAfterOpenMs = 600;
} // namespace

HostSharePictures::~HostSharePictures() = default;

void HostSharePictures::start()
{
    const QString address = qEnvironmentVariable("KELVO_SCREEN_CAST_PORTAL_BUS");
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("kelvo-host-portal"));
    // The desktop as a user who closes its dialog leaves it: Start answers 1 (cancelled).
    auto portal = std::make_unique<kelvosim::SimScreenCastPortal>(bus);
    portal->startResponse = 1;
    if (!portal->publish())
        std::fprintf(stderr, "kelvo-host: no stand-in portal on \"%s\": %s\n", qPrintable(address),
                     qPrintable(bus.lastError().message()));
    m_portal = std::move(portal);
    startWhenShown("hub-share-button", [this] { picturePicker(); });
}

// The share button with two screens: the picker, pictured; its first screen is picked.
void HostSharePictures::picturePicker()
{
    auto *share = qobject_cast<QAbstractButton *>(find("hub-share-button"));
    if (!share)
        return finish();
    share->click();
    after(kAfterOpenMs, [this] {
        QWidget *picker = find("screen-picker");
        if (!picker) {
            std::fprintf(stderr, "kelvo-host: no screen picker (one screen?)\n");
            return finish();
        }
        grab(picker, QStringLiteral("screen-picker"));
        QAbstractButton *first = nullptr;
        for (auto *button : picker->findChildren<QAbstractButton *>())
            if (!first && button->objectName().startsWith(QLatin1String("screen-picker-")) &&
                button->objectName() != QLatin1String("screen-picker-cancel"))
                first = button;
        if (!first)
            return finish();
        first->click();
        after(kAfterOpenMs, [this] { picturePermissionDialog(); });
    });
}

// The stand-in desktop said the user cancelled: the meeting window explains, and nothing is shared.
void HostSharePictures::picturePermissionDialog()
{
    QWidget *window = find("meeting-window");
    if (!find("dialog-first-button")) {
        std::fprintf(stderr, "kelvo-host: no screen-recording dialog\n");
        return finish();
    }
    grab(window, QStringLiteral("screen-permission"));
    if (auto *cancel = qobject_cast<QAbstractButton *>(find("dialog-second-button")))
        cancel->click();
    after(kAfterOpenMs, [this] { finish(); });
}

} // namespace kelvohost

