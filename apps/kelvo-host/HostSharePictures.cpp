#include "HostSharePictures.h"

#include <QAbstractButton>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace kelvohost {

namespace {
// A window or dialog is laid out and painted after this.
constexpr int kAfterOpenMs = 600;

/// The desktop's screen-cast portal as a user who closes its dialog sees it: the session and
/// the sources are accepted, Start answers 1 (cancelled by the user).
class CancellingPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.ScreenCast")
public:
    explicit CancellingPortal(QDBusConnection bus) : m_bus(std::move(bus)) {}

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap &options, const QDBusMessage &message)
    {
        const QString session = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                                    .arg(sender(message), options.value(QStringLiteral("session_handle_token")).toString());
        return answer(message, options, 0, {{QStringLiteral("session_handle"), session}});
    }
    QDBusObjectPath SelectSources(const QDBusObjectPath &, const QVariantMap &options, const QDBusMessage &message)
    {
        return answer(message, options, 0, {});
    }
    QDBusObjectPath Start(const QDBusObjectPath &, const QString &, const QVariantMap &options, const QDBusMessage &message)
    {
        return answer(message, options, 1, {});
    }

private:
    static QString sender(const QDBusMessage &message)
    {
        return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    }
    QDBusObjectPath answer(const QDBusMessage &message, const QVariantMap &options, uint response, const QVariantMap &results)
    {
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender(message), options.value(QStringLiteral("handle_token")).toString());
        QDBusConnection bus = m_bus;
        QTimer::singleShot(0, this, [bus, path, response, results]() mutable {
            QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                             QStringLiteral("Response"));
            signal << response << results;
            bus.send(signal);
        });
        return QDBusObjectPath(path);
    }
    QDBusConnection m_bus;
};
} // namespace

HostSharePictures::~HostSharePictures() = default;

void HostSharePictures::start()
{
    const QString address = qEnvironmentVariable("KELVO_SCREEN_CAST_PORTAL_BUS");
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("kelvo-host-portal"));
    auto portal = std::make_unique<CancellingPortal>(bus);
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), portal.get(), QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")))
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

#include "HostSharePictures.moc"
