#include "platform/KLLinuxPermissions.h"

#include "platform/KLPlatformBuses.h"
#include "runtime/KLSDKLog.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>

namespace {

const QString kTag = QStringLiteral("KLPlatform");

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenCastInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kCameraInterface = QStringLiteral("org.freedesktop.portal.Camera");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kResponse = QStringLiteral("Response");

/// Errors that mean "there is no such portal", as opposed to a portal that failed.
bool meansNoPortal(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownProperty:
    case QDBusError::InvalidArgs: // Properties.Get of an interface the object does not have
        return true;
    default:
        return false;
    }
}

void whenFinished(QObject *context, const QDBusPendingCall &call,
                  std::function<void(const QDBusPendingCall &)> onReply)
{
    auto *watcher = new QDBusPendingCallWatcher(call, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, onReply = std::move(onReply)](QDBusPendingCallWatcher *) {
                         onReply(*watcher);
                         watcher->deleteLater();
                     });
}

} // namespace

KLLinuxPermissions::KLLinuxPermissions(KLPlatformBuses &buses) : m_buses(buses) {}

KLLinuxPermissions::~KLLinuxPermissions() = default;

void KLLinuxPermissions::probe()
{
    if (m_probeStarted.load())
        return;
    const std::optional<QDBusConnection> session = m_buses.session();
    if (!session) {
        KL_LOG_INFO(kTag, QStringLiteral("desktop portal not asked: no session bus (%1)").arg(m_buses.sessionError()));
        m_probeStarted = true;
        return;
    }
    // Both answers are counted as outstanding before anyone can see the probe as started.
    m_probesPending = 2;
    m_probeStarted = true;
    const auto getProperty = [&](const QString &interface, const QString &property,
                                 std::function<void(bool present, const QVariant &value)> store) {
        QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                           QStringLiteral("org.freedesktop.DBus.Properties"),
                                                           QStringLiteral("Get"));
        call << interface << property;
        whenFinished(this, session->asyncCall(call, KLPlatformCallTimeoutMs),
                     [this, interface, store = std::move(store)](const QDBusPendingCall &finished) {
                         const QDBusPendingReply<QDBusVariant> reply = finished;
                         if (reply.isError())
                             KL_LOG_INFO(kTag, QStringLiteral("portal %1 absent (%2)").arg(interface, reply.error().message()));
                         else
                             KL_LOG_INFO(kTag, QStringLiteral("portal %1 present").arg(interface));
                         store(!reply.isError(), reply.isError() ? QVariant() : reply.value().variant());
                         --m_probesPending;
                     });
    };
    getProperty(kScreenCastInterface, QStringLiteral("version"),
                [this](bool present, const QVariant &) { m_screenCastPortal = present; });
    getProperty(kCameraInterface, QStringLiteral("IsCameraPresent"), [this](bool present, const QVariant &value) {
        m_cameraPortal = present;
        m_portalSeesCamera = present && value.toBool();
    });
}

void KLLinuxPermissions::requestCameraAccess(Completion completion)
{
    const std::optional<QDBusConnection> session = m_buses.session();
    if (!session) {
        KL_LOG_INFO(kTag, QStringLiteral("camera access granted without asking: no session bus (%1)")
                              .arg(m_buses.sessionError()));
        completion(true);
        return;
    }
    const QString token = QStringLiteral("kelvo_camera_%1").arg(m_nextToken++);
    QString sender = session->baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString expectedPath = QStringLiteral("%1/request/%2/%3").arg(kPortalPath, sender, token);

    auto *request = new KLPortalRequest(
        [completion](uint response) {
            KL_LOG_INFO(kTag, QStringLiteral("camera portal answered %1").arg(response));
            completion(response == 0);
        },
        this);
    // Listen before asking, so that a quick answer is not missed.
    request->listen(session->name(), expectedPath);

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kCameraInterface,
                                                       QStringLiteral("AccessCamera"));
    call << QVariantMap{{QStringLiteral("handle_token"), token}};
    const QString connectionName = session->name();
    const QPointer<KLPortalRequest> guard(request);
    whenFinished(this, session->asyncCall(call, KLPlatformCallTimeoutMs),
                 [guard, connectionName, expectedPath, completion](const QDBusPendingCall &finished) {
                     if (!guard)
                         return; // answered already
                     const QDBusPendingReply<QDBusObjectPath> reply = finished;
                     if (reply.isError()) {
                         const bool noPortal = meansNoPortal(reply.error());
                         KL_LOG_INFO(kTag, QStringLiteral("camera portal %1 (%2): access %3")
                                               .arg(noPortal ? QStringLiteral("absent") : QStringLiteral("failed"),
                                                    reply.error().message(),
                                                    noPortal ? QStringLiteral("granted") : QStringLiteral("refused")));
                         guard->finish(noPortal ? 0 : 2);
                         return;
                     }
                     // Portals older than version 0.9 pick their own request path.
                     if (reply.value().path() != expectedPath)
                         guard->listen(connectionName, reply.value().path());
                 });
}

void KLPortalRequest::finish(uint response)
{
    if (!m_onResponse)
        return;
    stopListening();
    const auto handler = std::move(m_onResponse);
    m_onResponse = nullptr;
    deleteLater();
    handler(response);
}

bool KLPortalRequest::listen(const QString &connectionName, const QString &path)
{
    stopListening();
    m_connectionName = connectionName;
    m_path = path;
    return QDBusConnection(connectionName)
        .connect(kPortalService, path, kRequestInterface, kResponse, this, SLOT(onResponse(uint, QVariantMap)));
}

void KLPortalRequest::stopListening()
{
    if (m_path.isEmpty())
        return;
    QDBusConnection(m_connectionName)
        .disconnect(kPortalService, m_path, kRequestInterface, kResponse, this, SLOT(onResponse(uint, QVariantMap)));
    m_path.clear();
}

void KLPortalRequest::onResponse(uint response, const QVariantMap &)
{
    finish(response);
}
