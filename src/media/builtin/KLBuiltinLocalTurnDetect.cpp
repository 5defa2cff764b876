#include "media/builtin/KLBuiltinLocalTurnDetect.h"

#include "media/KLRTCMediaLogging.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLTimeScale.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QTcpSocket>

#include <algorithm>
#include <mutex>

struct KLBuiltinLocalTurnDetect::Run {
    struct Probe {
        KLBuiltinIceAddress address;
        QTcpSocket *socket = nullptr;
        QElapsedTimer clock;
        bool done = false;
        double rttMs = -1;
        QString localIp;
        quint16 localPort = 0;
        QString error;
    };

    // Used only inside blocks running on the queue, where the queue is alive: a queue being
    // taken down waits for its running block. Holding it would keep the engine's thread up
    // for as long as the time-out below is pending.
    KLDispatchQueue *queue = nullptr;
    KLRTCMediaTurnDetectHandler completion;
    std::vector<Probe> probes;
    bool finished = false;

    ~Run();
    static void start(const std::shared_ptr<Run> &run);
    void settle(size_t index, bool ok, const QString &error);
    void finishIfDone(bool force);
};

std::optional<KLBuiltinIceAddress> KLBuiltinLocalTurnDetect::parseUrl(const QString &url)
{
    const qsizetype colon = url.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    const QString scheme = url.left(colon).toLower();
    const bool secure = scheme == QLatin1String("stuns") || scheme == QLatin1String("turns");
    if (!secure && scheme != QLatin1String("stun") && scheme != QLatin1String("turn"))
        return std::nullopt;
    QString rest = url.mid(colon + 1);
    if (rest.startsWith(QLatin1String("//")))
        rest = rest.mid(2);
    rest = rest.section(QLatin1Char('?'), 0, 0);
    KLBuiltinIceAddress address;
    address.url = url;
    address.port = secure ? 5349 : 3478;
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        address.host = rest.mid(1, close - 1);
        if (rest.mid(close + 1).startsWith(QLatin1Char(':')))
            portText = rest.mid(close + 2);
    } else {
        const qsizetype portColon = rest.lastIndexOf(QLatin1Char(':'));
        address.host = portColon < 0 ? rest : rest.left(portColon);
        if (portColon >= 0)
            portText = rest.mid(portColon + 1);
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        address.port = quint16(port);
    }
    if (address.host.isEmpty())
        return std::nullopt;
    return address;
}

QList<KLBuiltinIceAddress> KLBuiltinLocalTurnDetect::addresses(const QJsonArray &iceServers)
{
    QList<KLBuiltinIceAddress> found;
    auto take = [&found](const QJsonValue &value) {
        const std::optional<KLBuiltinIceAddress> address = parseUrl(value.toString());
        if (address)
            found.append(*address);
        else
            KL_ENGINE_LOG(2, QStringLiteral("ICE server url skipped: %1").arg(value.toString()));
    };
    for (const QJsonValue &entry : iceServers) {
        if (entry.isString()) {
            take(entry);
            continue;
        }
        const QJsonObject server = entry.toObject();
        const QJsonValue urls = server.contains(QLatin1String("urls")) ? server.value(QLatin1String("urls"))
                                                                        : server.value(QLatin1String("url"));
        if (urls.isArray()) {
            for (const QJsonValue &url : urls.toArray())
                take(url);
        } else if (urls.isString()) {
            take(urls);
        }
    }
    return found;
}

KLBuiltinLocalTurnDetect::KLBuiltinLocalTurnDetect(std::shared_ptr<KLDispatchQueue> queue)
    : m_queue(std::move(queue))
{
}

KLBuiltinLocalTurnDetect::~KLBuiltinLocalTurnDetect() = default;

void KLBuiltinLocalTurnDetect::detectLocalTurnServerWithIceServices(const QJsonArray &iceServers,
                                                                    KLRTCMediaTurnDetectHandler completionHandler)
{
    auto run = std::make_shared<Run>();
    run->queue = m_queue.get();
    run->completion = std::move(completionHandler);
    for (const KLBuiltinIceAddress &address : addresses(iceServers)) {
        run->probes.emplace_back();
        run->probes.back().address = address;
    }
    m_run = run;
    m_queue->async([run] { Run::start(run); });
}

KLBuiltinLocalTurnDetect::Run::~Run()
{
    // Probes still open when the queue went down before their time-out: the queue's thread
    // has ended, so they are deleted here.
    for (Probe &probe : probes)
        delete probe.socket;
}

void KLBuiltinLocalTurnDetect::Run::start(const std::shared_ptr<Run> &run)
{
    if (run->probes.empty()) {
        run->finishIfDone(true);
        return;
    }
    Run *self = run.get();
    for (size_t i = 0; i < self->probes.size(); ++i) {
        Probe &probe = self->probes[i];
        probe.socket = new QTcpSocket;
        QObject::connect(probe.socket, &QTcpSocket::connected, probe.socket, [self, i] { self->settle(i, true, {}); });
        QObject::connect(probe.socket, &QTcpSocket::errorOccurred, probe.socket,
                         [self, i] { self->settle(i, false, self->probes[i].socket->errorString()); });
        probe.clock.start();
        probe.socket->connectToHost(probe.address.host, probe.address.port);
    }
    // The time-out holds the run while its sockets may still call into it. A queue taken down
    // earlier drops the block, and with it the run and its sockets.
    self->queue->asyncAfter(KLTimeScale::scaledMilliseconds(kTimeoutSeconds), [run] { run->finishIfDone(true); });
}

void KLBuiltinLocalTurnDetect::Run::settle(size_t index, bool ok, const QString &error)
{
    Probe &probe = probes[index];
    if (probe.done || finished)
        return;
    probe.done = true;
    if (ok) {
        probe.rttMs = double(probe.clock.nsecsElapsed()) / 1e6;
        probe.localIp = probe.socket->localAddress().toString();
        probe.localPort = probe.socket->localPort();
    } else {
        probe.error = error;
    }
    finishIfDone(false);
}

void KLBuiltinLocalTurnDetect::Run::finishIfDone(bool force)
{
    if (finished)
        return;
    if (!force && std::any_of(probes.begin(), probes.end(), [](const Probe &p) { return !p.done; }))
        return;
    finished = true;

    std::vector<const Probe *> order;
    for (const Probe &probe : probes)
        order.push_back(&probe);
    std::stable_sort(order.begin(), order.end(), [](const Probe *a, const Probe *b) {
        const bool aOk = a->rttMs >= 0, bOk = b->rttMs >= 0;
        if (aOk != bOk)
            return aOk;
        return aOk && a->rttMs < b->rttMs;
    });
    QJsonArray ips, rtts;
    QString localIp;
    for (const Probe *probe : order) {
        if (probe->rttMs >= 0) {
            rtts.append(QJsonObject{{QStringLiteral("server"), probe->address.url}, {QStringLiteral("rtt"), probe->rttMs}});
            ips.append(QJsonObject{{QStringLiteral("ip"), probe->localIp},
                                   {QStringLiteral("port"), probe->localPort},
                                   {QStringLiteral("server"), probe->address.url}});
            if (localIp.isEmpty())
                localIp = probe->localIp;
        } else {
            const QString why = probe->done ? probe->error : QStringLiteral("timed out");
            KL_ENGINE_LOG(2, QStringLiteral("ICE server %1 unreachable: %2").arg(probe->address.url, why));
            rtts.append(QJsonObject{{QStringLiteral("server"), probe->address.url},
                                    {QStringLiteral("rtt"), -1},
                                    {QStringLiteral("failed"), true},
                                    {QStringLiteral("error"), why}});
        }
    }
    // Deleted later, as this may run inside one of their signals; a thread that ends deletes
    // what it was asked to, so none outlives the engine's queue.
    for (Probe &probe : probes) {
        if (probe.socket) {
            probe.socket->disconnect();
            probe.socket->abort();
            std::exchange(probe.socket, nullptr)->deleteLater();
        }
    }
    if (completion)
        std::exchange(completion, nullptr)(ips, rtts, localIp);
}
