#pragma once

// The desktop portal's screen cast (org.freedesktop.portal.ScreenCast), the way a Wayland
// desktop lets an application see a screen: CreateSession → SelectSources (one monitor) →
// Start (the desktop asks the user) → OpenPipeWireRemote. Each of the first three answers
// arrives later, as the Response signal of a request object; the code in it is the portal's:
// 0 granted, 1 cancelled by the user, 2 ended some other way. What the user granted is then a
// PipeWire node, read through the remote's file descriptor (KLPipeWireCapture).
//
// Lives on the thread that creates it (the main thread); every call is asynchronous, nothing
// waits on the bus.

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QVariantMap>

#include <functional>

/// What one screen-cast request ended with.
struct KLPortalScreenCastResult {
    enum class Outcome {
        Granted,  ///< Start answered 0: the user chose a screen
        Answered, ///< a step answered non-zero (`response` says how)
        NoPortal, ///< there is no ScreenCast portal on the bus
        Failed,   ///< a call failed (`error` says why)
    };
    Outcome outcome = Outcome::Failed;
    /// The portal's response code of the last step answered (0, 1 or 2); 2 for failed calls.
    uint response = 2;
    QString error;
    /// The portal's session (closed by closeSession() once the cast is over).
    QString sessionHandle;
    /// The stream granted: its PipeWire node and, when the portal says, its size.
    quint32 nodeId = 0;
    int width = 0;
    int height = 0;
    /// The PipeWire remote; invalid when OpenPipeWireRemote failed (`error` says why).
    QDBusUnixFileDescriptor pipeWireRemote;
};

class KLPortalScreenCast final : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const KLPortalScreenCastResult &result)>;

    explicit KLPortalScreenCast(QDBusConnection bus, QObject *parent = nullptr);
    ~KLPortalScreenCast() override;

    /// Runs the whole request; `completion` runs once, on this object's thread. A second start
    /// while one runs is refused (Failed) at once.
    void start(Completion completion);
    bool isRunning() const { return static_cast<bool>(m_completion); }

    /// Ends a portal session (fire and forget; any thread).
    static void closeSession(const QDBusConnection &bus, const QString &sessionHandle);

    /// The portal's answer code as the platform's authorisation status: 0 → authorised (3),
    /// 1 → denied (2, the user said no), anything else → restricted (1).
    static int authorizationStatus(uint response);

    /// Time allowed for each call to be accepted; the user's own choice has no limit.
    static constexpr int kCallTimeoutMs = 5000;

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);

private:
    using Step = std::function<void(const QVariantMap &results)>;
    void request(const QString &method, const QVariantList &arguments, QVariantMap options, Step onGranted);
    void listen(const QString &path);
    void stopListening();
    void selectSources();
    void startCast();
    void openRemote(const QVariantMap &startResults);
    void finish(KLPortalScreenCastResult result);
    void fail(KLPortalScreenCastResult::Outcome outcome, const QString &error);

    QDBusConnection m_bus;
    Completion m_completion;
    Step m_onGranted;
    QString m_listeningOn;
    QString m_session;
    int m_nextToken = 1;
};
