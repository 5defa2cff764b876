#include "gateway/KLReachability.h"

#include "runtime/KLMainThread.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

#include <QNetworkInformation>
#include <QNetworkInterface>
#include <QObject>

#include <atomic>
#include <optional>

namespace {

const QString kLogTag = QStringLiteral("KLReachability");
constexpr double kProbeIntervalSeconds = 5.0;

KLReachability::Status statusOf(QNetworkInformation::Reachability reachability,
                                QNetworkInformation::TransportMedium medium)
{
    switch (reachability) {
    case QNetworkInformation::Reachability::Unknown:
        return KLReachability::Status::Unknown;
    case QNetworkInformation::Reachability::Disconnected:
        return KLReachability::Status::NotReachable;
    default:
        // A site or local network may well hold the meeting service.
        return medium == QNetworkInformation::TransportMedium::Cellular
                   ? KLReachability::Status::ReachableViaWWAN
                   : KLReachability::Status::ReachableViaWiFi;
    }
}

// Main thread only: the backend object lives there.
bool loadSystemBackend()
{
    static const bool loaded = [] {
        const bool ok = QNetworkInformation::loadBackendByFeatures(
            QNetworkInformation::Feature::Reachability);
        KL_LOG_INFO(kLogTag, ok ? QStringLiteral("network information backend: %1")
                                      .arg(QNetworkInformation::instance()->backendName())
                                : QStringLiteral("no network information backend; probing "
                                                 "interfaces instead"));
        return ok;
    }();
    return loaded;
}

class SystemReachability final : public KLReachability {
public:
    ~SystemReachability() override
    {
        m_alive->store(false);
        QObject::disconnect(m_connection);
    }

    void startMonitoring(Handler handler) override
    {
        QNetworkInformation *info = QNetworkInformation::instance();
        auto alive = m_alive;
        auto report = [handler, info, alive] {
            if (alive->load())
                handler(statusOf(info->reachability(), info->transportMedium()));
        };
        m_connection = QObject::connect(info, &QNetworkInformation::reachabilityChanged, report);
        KLMainThread::post(report);
    }

private:
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
    QMetaObject::Connection m_connection;
};

class InterfaceProbe final : public KLReachability {
public:
    void startMonitoring(Handler handler) override
    {
        auto last = std::make_shared<std::optional<Status>>();
        auto probe = [handler, last] {
            const Status now = probeInterfaces();
            if (*last == now)
                return;
            *last = now;
            handler(now);
        };
        KLMainThread::post(probe);
        m_timer = std::make_unique<KLTimer>(kProbeIntervalSeconds, true, probe);
        m_timer->startTimer();
    }

private:
    static Status probeInterfaces()
    {
        for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
            const auto flags = interface.flags();
            const bool usable = flags.testFlag(QNetworkInterface::IsUp)
                                && flags.testFlag(QNetworkInterface::IsRunning)
                                && !flags.testFlag(QNetworkInterface::IsLoopBack)
                                && !interface.addressEntries().isEmpty();
            if (usable)
                return Status::ReachableViaWiFi;
        }
        return Status::NotReachable;
    }

    std::unique_ptr<KLTimer> m_timer;
};

} // namespace

std::unique_ptr<KLReachability> KLReachability::create()
{
    if (KLMainThread::isCurrent() && loadSystemBackend())
        return std::make_unique<SystemReachability>();
    return createInterfaceProbe();
}

std::unique_ptr<KLReachability> KLReachability::createInterfaceProbe()
{
    return std::make_unique<InterfaceProbe>();
}

void KLReachability::startUpdating(std::weak_ptr<std::atomic<bool>> networkAvailable)
{
    startMonitoring([networkAvailable](Status status) {
        const std::shared_ptr<std::atomic<bool>> flag = networkAvailable.lock();
        if (!flag)
            return;
        switch (status) {
        case Status::Unknown:
            KL_LOG_INFO(kLogTag, QStringLiteral("未知网络"));
            break;
        case Status::NotReachable:
            KL_LOG_INFO(kLogTag, QStringLiteral("没有网络(断网)"));
            flag->store(false);
            break;
        case Status::ReachableViaWWAN:
        case Status::ReachableViaWiFi:
            flag->store(true);
            KLNotificationCenter::defaultCenter().postNotification(
                KLNotificationNames::NetWorkAvaliable);
            break;
        }
    });
}
