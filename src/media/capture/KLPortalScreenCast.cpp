#include "media/capture/KLPortalScreenCast.h"

#include "platform/KLPlatform.h"
#include "runtime/KLSDKLog.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <atomic>

namespace {
const char *const kTag = "KLPortalScreenCast";

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

constexpr uint kSourceMonitor = 1;

/// Errors meaning "no such portal here", as opposed to a portal that failed.
bool meansNoPortal(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownObject:
        return true;
    default:
        return false;
    }
}

/// Tokens are unique in the process: two requests never wait on the same path.
QString nextToken(const char *kind)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("kelvo_%1_%2").arg(QLatin1String(kind)).arg(++counter);
}

/// The first stream of Start's "streams" (a(ua{sv})): node and size.
bool firstStream(const QVariant &streams, KLPortalScreenCastResult &result)
{
    if (!streams.canConvert<QDBusArgument>())
        return false;
    const QDBusArgument argument = streams.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return false;
    bool found = false;
    argument.beginArray();
    while (!argument.atEnd()) {
        uint node = 0;
        QVariantMap properties;
        argument.beginStructure();
        argument >> node >> properties;
        argument.endStructure();
        if (found)
            continue; // one monitor was asked for; any further stream is not shown
        found = true;
        result.nodeId = node;
        const QVariant size = properties.value(QStringLiteral("size"));
        if (size.canConvert<QDBusArgument>()) {
            const QDBusArgument pair = size.value<QDBusArgument>();
            int width = 0, height = 0;
            pair.beginStructure();
            pair >> width >> height;
            pair.endStructure();
            result.width = width;
            result.height = height;
        }
    }
    argument.endArray();
    return found;
}
} // namespace

KLPortalScreenCast::KLPortalScreenCast(QDBusConnection bus, QObject *parent) : QObject(parent), m_bus(std::move(bus))
{
}

KLPortalScreenCast::~KLPortalScreenCast()
{
    stopListening();
    if (!m_session.isEmpty())
        closeSession(m_bus, m_session); // given up half-way: the portal forgets it
}

int KLPortalScreenCast::authorizationStatus(uint response)
{
    switch (response) {
    case 0:
        return KLAuthorizationStatusAuthorized;
    case 1:
        return KLAuthorizationStatusDenied;
    default:
        return KLAuthorizationStatusRestricted;
    }
}

void KLPortalScreenCast::closeSession(const QDBusConnection &bus, const QString &sessionHandle)
{
    if (sessionHandle.isEmpty() || !bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, sessionHandle, QStringLiteral("org.freedesktop.portal.Session"),
                                                       QStringLiteral("Close"));
    bus.asyncCall(call, kCallTimeoutMs);
    KL_LOG_INFO(kTag, QStringLiteral("portal session %1 closed").arg(sessionHandle));
}

void KLPortalScreenCast::start(Completion completion)
{
    if (m_completion) {
        KLPortalScreenCastResult busy;
        busy.error = QStringLiteral("a screen-cast request is already waiting for the desktop");
        completion(busy);
        return;
    }
    m_completion = std::move(completion);
    if (!m_bus.isConnected()) {
        fail(KLPortalScreenCastResult::Outcome::NoPortal,
             QStringLiteral("no session bus (%1)").arg(m_bus.lastError().message()));
        return;
    }
    const QString sessionToken = nextToken("session");
    request(QStringLiteral("CreateSession"), {}, {{QStringLiteral("session_handle_token"), sessionToken}},
            [this](const QVariantMap &results) {
                m_session = results.value(QStringLiteral("session_handle")).toString();
                if (m_session.isEmpty()) {
                    fail(KLPortalScreenCastResult::Outcome::Failed, QStringLiteral("CreateSession gave no session"));
                    return;
                }
                selectSources();
            });
}

void KLPortalScreenCast::selectSources()
{
    request(QStringLiteral("SelectSources"), {QVariant::fromValue(QDBusObjectPath(m_session))},
            {{QStringLiteral("types"), kSourceMonitor}, {QStringLiteral("multiple"), false}},
            [this](const QVariantMap &) { startCast(); });
}

void KLPortalScreenCast::startCast()
{
    request(QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(m_session)), QString()}, {},
            [this](const QVariantMap &results) { openRemote(results); });
}

void KLPortalScreenCast::openRemote(const QVariantMap &startResults)
{
    KLPortalScreenCastResult result;
    result.outcome = KLPortalScreenCastResult::Outcome::Granted;
    result.response = 0;
    result.sessionHandle = m_session;
    if (!firstStream(startResults.value(QStringLiteral("streams")), result)) {
        fail(KLPortalScreenCastResult::Outcome::Failed, QStringLiteral("Start granted no stream"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("OpenPipeWireRemote"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, result]() mutable {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (reply.isError())
            result.error = QStringLiteral("OpenPipeWireRemote failed: %1").arg(reply.error().message());
        else if (!reply.value().isValid())
            result.error = QStringLiteral("OpenPipeWireRemote gave no file descriptor");
        else
            result.pipeWireRemote = reply.value();
        m_session.clear(); // the session is the result's now
        finish(result);
    });
}

void KLPortalScreenCast::request(const QString &method, const QVariantList &arguments, QVariantMap options, Step onGranted)
{
    const QString token = nextToken("request");
    options.insert(QStringLiteral("handle_token"), token);
    QString sender = m_bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    // Listen before asking, so that a quick answer is not missed.
    listen(QStringLiteral("%1/request/%2/%3").arg(kPath, sender, token));
    m_onGranted = std::move(onGranted);

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    QVariantList all = arguments;
    all << options;
    call.setArguments(all);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, method]() {
        watcher->deleteLater();
        if (!m_completion)
            return;
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError()) {
            const auto outcome = meansNoPortal(reply.error()) ? KLPortalScreenCastResult::Outcome::NoPortal
                                                              : KLPortalScreenCastResult::Outcome::Failed;
            fail(outcome, QStringLiteral("%1: %2").arg(method, reply.error().message()));
            return;
        }
        // Portals older than version 0.9 choose their own request path.
        if (reply.value().path() != m_listeningOn)
            listen(reply.value().path());
    });
}

void KLPortalScreenCast::listen(const QString &path)
{
    stopListening();
    m_listeningOn = path;
    // Any sender: naming the portal's service would make Qt look its owner up with a blocking
    // call on this thread. The path carries our own bus name and a fresh token.
    m_bus.connect(QString(), path, kRequestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap)));
}

void KLPortalScreenCast::stopListening()
{
    if (m_listeningOn.isEmpty())
        return;
    m_bus.disconnect(QString(), m_listeningOn, kRequestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap)));
    m_listeningOn.clear();
}

void KLPortalScreenCast::onResponse(uint response, const QVariantMap &results)
{
    stopListening();
    if (!m_completion || !m_onGranted)
        return;
    if (response != 0) {
        KLPortalScreenCastResult result;
        result.outcome = KLPortalScreenCastResult::Outcome::Answered;
        result.response = response;
        result.error = response == 1 ? QStringLiteral("the user cancelled the screen cast")
                                     : QStringLiteral("the desktop ended the screen-cast request (response %1)").arg(response);
        finish(result);
        return;
    }
    const Step next = std::move(m_onGranted);
    m_onGranted = nullptr;
    next(results);
}

void KLPortalScreenCast::fail(KLPortalScreenCastResult::Outcome outcome, const QString &error)
{
    KLPortalScreenCastResult result;
    result.outcome = outcome;
    result.error = error;
    finish(result);
}

void KLPortalScreenCast::finish(KLPortalScreenCastResult result)
{
    stopListening();
    m_onGranted = nullptr;
    if (result.outcome != KLPortalScreenCastResult::Outcome::Granted && !m_session.isEmpty()) {
        closeSession(m_bus, m_session);
        m_session.clear();
    }
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion(result);
}
