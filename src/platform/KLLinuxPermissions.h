#pragma once

#include <QObject>
#include <QVariantMap>

#include <atomic>
#include <functional>

class KLPlatformBuses;

/// What the desktop portal (xdg-desktop-portal) says about capture, over the session bus.
///
/// - probe(): asks, once, whether the ScreenCast and Camera portals exist and whether the Camera
///   portal sees a camera. The answers are kept and read without waiting from any thread; until
///   they arrive (or when there is no portal) they read "absent".
/// - requestCameraAccess(): the Camera portal's AccessCamera; the answer comes with the
///   request object's Response signal once the user has decided.
///
/// Lives on the platform's thread; probe() and requestCameraAccess() are called there.
class KLLinuxPermissions : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(bool granted)>;

    explicit KLLinuxPermissions(KLPlatformBuses &buses);
    ~KLLinuxPermissions() override;

    /// Asks once; later calls do nothing.
    void probe();
    /// `completion` runs on this object's thread; granted is false when the portal refuses,
    /// and true, with a log line, when there is no portal to ask.
    void requestCameraAccess(Completion completion);

    bool probeFinished() const { return m_probeStarted.load() && m_probesPending.load() == 0; }
    bool hasScreenCastPortal() const { return m_screenCastPortal.load(); }
    bool hasCameraPortal() const { return m_cameraPortal.load(); }
    bool portalSeesCamera() const { return m_portalSeesCamera.load(); }

private:
    std::atomic<bool> m_probeStarted{false};
    std::atomic<int> m_probesPending{0};
    std::atomic<bool> m_screenCastPortal{false};
    std::atomic<bool> m_cameraPortal{false};
    std::atomic<bool> m_portalSeesCamera{false};
    KLPlatformBuses &m_buses;
    int m_nextToken = 1;
};

/// One pending portal request: waits for org.freedesktop.portal.Request.Response on its path.
class KLPortalRequest : public QObject {
    Q_OBJECT
public:
    KLPortalRequest(std::function<void(uint response)> onResponse, QObject *parent)
        : QObject(parent), m_onResponse(std::move(onResponse))
    {
    }

    /// Stops listening and calls the handler, at most once; the object then deletes itself.
    void finish(uint response);
    /// Listens for Response on `path`, replacing any earlier path.
    bool listen(const QString &connectionName, const QString &path);

public Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

private:
    void stopListening();

    std::function<void(uint)> m_onResponse;
    QString m_connectionName;
    QString m_path;
};
