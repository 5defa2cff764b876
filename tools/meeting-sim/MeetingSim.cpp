#include "MeetingSim.h"

#include "SimCertificates.h"
#include "SimScenario.h"
#include "SimServerWorker.h"
#include "SimSignallingEvents.h"

#include <QJsonDocument>
#include <QMetaObject>
#include <QTemporaryDir>
#include <QThread>

#include <openssl/crypto.h>

namespace kelvosim {

MeetingSim::MeetingSim(Options options) : m_options(std::move(options)) {}

MeetingSim::~MeetingSim()
{
    stop();
}

bool MeetingSim::start(QString *error)
{
    auto failWith = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_thread)
            return true;
    }

    QJsonObject scenario;
    QString why;
    if (!SimScenario::load(m_options.scenarioPath, &scenario, &why))
        return failWith(why);

    QString dir = m_options.certDir;
    std::unique_ptr<QTemporaryDir> tempDir;
    if (dir.isEmpty()) {
        tempDir = std::make_unique<QTemporaryDir>();
        if (!tempDir->isValid())
            return failWith(QStringLiteral("cannot create a temporary certificate folder: %1").arg(tempDir->errorString()));
        dir = tempDir->path();
    }
    SimCertificateFiles files;
    QSslConfiguration tls;
    if (!SimCertificates::ensure(dir, &files, &why) || !SimCertificates::serverConfiguration(files, &tls, &why))
        return failWith(why);

    std::unique_ptr<SimJanus> janus;
    if (m_options.janus || scenario.value(QLatin1String("mediaServer")).toString() == QLatin1String("janus")) {
        janus = std::make_unique<SimJanus>();
        if (!janus->startFor(scenario, files, &why))
            return failWith(why);
    }

    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("kelvo-meeting-sim"));
    auto *worker = new SimServerWorker(&m_control, &m_mediaRecord);
    worker->moveToThread(thread);
    QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    thread->start();

    bool listening = false;
    quint16 port = 0;
    SimJanusFeeds *feeds = nullptr;
    QJsonObject served;
    QMetaObject::invokeMethod(
        worker,
        [&] {
            listening = worker->listen(tls, m_options.address, m_options.port, &why);
            if (!listening)
                return;
            port = worker->port();
            served = SimScenario::substitute(scenario, port).toObject();
            worker->setScenario(served);
            // The members present send real media into the Janus room, and follow the events
            // pushed about them from then on.
            if (janus) {
                feeds = new SimJanusFeeds(janus->url(), janus->caFile(), janus->token(24 * 3600), worker);
                // A member's client talking in the room is pushed to the others as speaking.
                feeds->onTalking([worker](const QString &meetingUUID, const QString &member, bool talking) {
                    if (SimSignallingServer *server = worker->signalling())
                        server->pushEvent(talking ? signalling::Speaking : signalling::StoppedTalking, member, {},
                                              meetingUUID, member);
                });
                feeds->start(served);
            }
        },
        Qt::BlockingQueuedConnection);
    if (!listening) {
        thread->quit();
        thread->wait();
        delete thread;
        return failWith(why);
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    m_thread = thread;
    m_worker = worker;
    m_port = port;
    m_scenario = served;
    m_certDir = files.dir;
    m_caFile = files.caFile;
    m_tempDir = std::move(tempDir);
    m_janus = std::move(janus);
    m_feeds = feeds;
    return true;
}

void MeetingSim::stop()
{
    QThread *thread = nullptr;
    SimServerWorker *worker = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        thread = m_thread;
        worker = m_worker;
        m_thread = nullptr;
        m_worker = nullptr;
        m_feeds = nullptr;
        m_port = 0;
    }
    if (!thread)
        return;
    if (QThread::currentThread() == thread) {
        // Not supported: stop() must come from outside the simulator's own thread.
        qFatal("MeetingSim::stop() called on the simulator thread");
    }
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            worker->shutdown();
            // Free OpenSSL's per-thread state now: QThread::wait() returns before the thread's
            // exit handlers run, and a process that exits right after stop() would otherwise
            // still hold that state at exit.
            OPENSSL_thread_stop();
        },
        Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait(); // the worker is deleted as the thread finishes
    delete thread;
    // QThread::wait() is Qt's own join, which ThreadSanitizer does not see: passing through the
    // records' locks orders what comes next (the simulator's destruction) after the thread's
    // last write to them.
    (void)m_control.openSignallingConnections();
    (void)m_mediaRecord.openClients();
    if (m_janus)
        m_janus->stop();
}

quint16 MeetingSim::port() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port;
}

QString MeetingSim::caFile() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_caFile;
}

QString MeetingSim::certDir() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_certDir;
}

QString MeetingSim::baseUrl() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port ? QStringLiteral("https://%1:%2").arg(m_options.address.toString()).arg(m_port) : QString();
}

QJsonObject MeetingSim::scenario() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_scenario;
}

void MeetingSim::setFault(const QString &path, const Fault &fault)
{
    m_control.setFault(path, fault);
}

void MeetingSim::clearFaults()
{
    m_control.clearFaults();
}

void MeetingSim::releaseHeld(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, [worker = m_worker, path] { worker->releaseHeld(path); }, Qt::QueuedConnection);
}

QList<RecordedRequest> MeetingSim::requests(const QString &path) const
{
    return m_control.requests(path);
}

void MeetingSim::clearRequests()
{
    m_control.clearRequests();
}

void MeetingSim::clearMediaFrames()
{
    m_mediaRecord.clear();
}

QList<QJsonObject> MeetingSim::logEntries(const QString &logstore) const
{
    return m_control.logEntries(logstore);
}

void MeetingSim::onWorker(std::function<void(SimServerWorker *)> work)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_worker)
        return;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, work = std::move(work)] { work(worker); },
        Qt::QueuedConnection);
}

void MeetingSim::onSignalling(std::function<void(SimSignallingServer *)> work)
{
    onWorker([work = std::move(work)](SimServerWorker *worker) {
        if (SimSignallingServer *signalling = worker->signalling())
            work(signalling);
    });
}

QList<SignallingFrame> MeetingSim::signallingFrames(int connection) const
{
    return m_control.signallingFrames(connection);
}

int MeetingSim::signallingConnections() const
{
    return m_control.signallingConnections();
}

QMap<int, int> MeetingSim::signallingCloseCodes() const
{
    return m_control.signallingCloseCodes();
}

QMap<int, int> MeetingSim::mediaCloseCodes() const
{
    return m_mediaRecord.closeCodes();
}

int MeetingSim::openSignallingConnections() const
{
    return m_control.openSignallingConnections();
}

void MeetingSim::pushEvent(int eventId, const QString &memberUUID, const QJsonObject &fields, const QString &meetingUUID)
{
    onSignalling([=](SimSignallingServer *s) { s->pushEvent(eventId, memberUUID, fields, meetingUUID); });
    onFeeds([=](SimJanusFeeds *feeds) { feeds->follow(eventId, memberUUID, meetingUUID); });
}

void MeetingSim::onFeeds(std::function<void(SimJanusFeeds *)> work)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_worker || !m_feeds)
        return;
    QMetaObject::invokeMethod(
        m_feeds, [feeds = m_feeds, work = std::move(work)] { work(feeds); }, Qt::QueuedConnection);
}

QStringList MeetingSim::janusParticipants() const
{
    QStringList ids;
    SimJanusFeeds *feeds = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        feeds = m_feeds;
    }
    if (feeds)
        QMetaObject::invokeMethod(feeds, [&ids, feeds] { ids = feeds->participants(); }, Qt::BlockingQueuedConnection);
    return ids;
}

QStringList MeetingSim::janusFeeds() const
{
    QStringList ids;
    SimJanusFeeds *feeds = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        feeds = m_feeds;
    }
    // Not under the lock: the simulator thread may need it meanwhile. The feeds live until stop().
    if (feeds)
        QMetaObject::invokeMethod(feeds, [&ids, feeds] { ids = feeds->sending(); }, Qt::BlockingQueuedConnection);
    return ids;
}

void MeetingSim::setMemberOnline(const QString &memberUUID, bool online, const QString &meetingUUID)
{
    onSignalling([=](SimSignallingServer *s) { s->setMemberOnline(memberUUID, online, meetingUUID); });
}

QJsonObject MeetingSim::liveMeeting(const QString &meetingUUID) const
{
    QJsonObject live;
    SimServerWorker *worker = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        worker = m_worker;
    }
    // Not under the lock, as janusFeeds(): the simulator thread may need it meanwhile.
    if (worker)
        QMetaObject::invokeMethod(worker, [&live, worker, meetingUUID] {
            if (SimSignallingServer *signalling = worker->signalling())
                live = signalling->liveMeeting(meetingUUID);
        }, Qt::BlockingQueuedConnection);
    return live;
}

void MeetingSim::pushSummary(const QString &sessionId, const QJsonObject &fields, const QString &meetingUUID)
{
    onSignalling([=](SimSignallingServer *s) { s->pushSummary(sessionId, fields, meetingUUID); });
}

void MeetingSim::pushTips(const QJsonObject &tips)
{
    // Tips carry their own event number: clients dispatch pushes by "data.body.eventId".
    constexpr int kTipsEventId = 10002;
    QJsonObject body = tips;
    body.insert(QStringLiteral("eventId"), kTipsEventId);
    const QJsonObject message = signalling::push(QStringLiteral("tips"), body);
    pushFrame(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

void MeetingSim::pushFrame(const QByteArray &payload, bool binary)
{
    onSignalling([=](SimSignallingServer *s) { s->pushFrame(payload, binary); });
}

void MeetingSim::closeSignalling(int code, const QString &reason)
{
    onSignalling([=](SimSignallingServer *s) { s->closeAll(code, reason); });
}

void MeetingSim::setRegisterMode(RegisterMode mode, int refuseCode)
{
    m_control.setRegisterMode(mode, refuseCode);
}

void MeetingSim::releaseHeldRegisters()
{
    onSignalling([](SimSignallingServer *s) { s->releaseHeldRegisters(); });
}

void MeetingSim::setSignallingFault(const QString &messageType, const Fault &fault)
{
    m_control.setSignallingFault(messageType, fault);
}

void MeetingSim::releaseHeldSignalling(const QString &messageType)
{
    onSignalling([=](SimSignallingServer *s) { s->releaseHeld(messageType); });
}

void MeetingSim::onMedia(std::function<void(SimMediaServer *)> work)
{
    onWorker([work = std::move(work)](SimServerWorker *worker) {
        if (SimMediaServer *media = worker->media())
            work(media);
    });
}

int MeetingSim::mediaClients() const
{
    return m_mediaRecord.openClients();
}

int MeetingSim::mediaConnections() const
{
    return m_mediaRecord.clientsSoFar();
}

QList<SimMediaFrame> MeetingSim::mediaFrames(int connection) const
{
    return m_mediaRecord.frames(connection);
}

void MeetingSim::pushMediaEvent(const QJsonObject &message)
{
    onMedia([=](SimMediaServer *m) { m->pushToAll(message); });
    // A member's data message goes out on the member's Janus feed.
    if (message.value(QLatin1String("type")).toString() == QLatin1String("data"))
        onFeeds([=](SimJanusFeeds *feeds) {
            feeds->sendData(message.value(QLatin1String("from")).toString(), message.value(QLatin1String("data")).toObject());
        });
}

void MeetingSim::addRemoteStream(const QString &streamId, const QString &display, bool screen)
{
    onMedia([=](SimMediaServer *m) { m->addRemoteStream(streamId, display, screen); });
    onFeeds([=](SimJanusFeeds *feeds) { feeds->publish(feeds->roomOf({}), streamId, display, screen); });
}

void MeetingSim::removeRemoteStream(const QString &streamId)
{
    onMedia([=](SimMediaServer *m) { m->removeRemoteStream(streamId); });
    onFeeds([=](SimJanusFeeds *feeds) { feeds->unpublish(streamId); });
}

void MeetingSim::hangUpMedia(int causeCode)
{
    onMedia([=](SimMediaServer *m) {
        m->pushToAll({{QStringLiteral("type"), QStringLiteral("hangup")}, {QStringLiteral("causeCode"), causeCode}});
    });
}

void MeetingSim::closeMedia(int code)
{
    onMedia([=](SimMediaServer *m) { m->closeAll(code); });
}

void MeetingSim::pushMediaFrame(const QByteArray &payload)
{
    onMedia([=](SimMediaServer *m) { m->pushRawToAll(payload); });
}

void MeetingSim::setMediaRefused(bool refused)
{
    onMedia([=](SimMediaServer *m) { m->setRefusing(refused); });
}

int MeetingSim::refusedMediaConnections() const
{
    return m_mediaRecord.refusedSoFar();
}

} // namespace kelvosim
