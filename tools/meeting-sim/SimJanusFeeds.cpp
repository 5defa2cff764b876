#include "SimJanusFeeds.h"

#include "SimLog.h"
#include "SimSignallingEvents.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QUdpSocket>

namespace kelvosim {

namespace {

QString text(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString::number(value.toInteger());
}

// The id the simulator's listener has in every room (never a member uuid).
const QString kListenerId = QStringLiteral("kelvo-sim-listener");

} // namespace

SimJanusFeeds::SimJanusFeeds(const QString &url, const QString &caFile, const QString &token, QObject *parent)
    : QObject(parent), m_url(url), m_caFile(caFile), m_token(token), m_client(url, caFile, token, this)
{
    m_listing.setInterval(1000);
    connect(&m_listing, &QTimer::timeout, this, &SimJanusFeeds::listParticipants);
}

void SimJanusFeeds::listParticipants()
{
    QStringList rooms;
    for (const QJsonValue &value : m_scenario.value(QLatin1String("meetings")).toArray())
        rooms << text(value.toObject().value(QLatin1String("meetingInfo")).toObject(), "roomid");
    for (const auto &[id, feed] : m_feeds)
        rooms << feed.room;
    rooms.removeDuplicates();
    auto listed = std::make_shared<QStringList>();
    auto remaining = std::make_shared<qsizetype>(rooms.size());
    for (const QString &room : std::as_const(rooms))
        m_client.request({{"request", "listparticipants"}, {"room", room}},
                         [this, listed, remaining](const QJsonObject &data, const QString &) {
                             for (const QJsonValue &p : data.value(QLatin1String("participants")).toArray())
                                 if (text(p.toObject(), "id") != kListenerId)
                                     *listed << text(p.toObject(), "id");
                             if (--*remaining == 0)
                                 m_participants = *listed;
                         });
}

void SimJanusFeeds::start(const QJsonObject &scenario)
{
    m_scenario = scenario;
    for (const QJsonValue &value : scenario.value(QLatin1String("meetings")).toArray()) {
        const QJsonObject meeting = value.toObject();
        listen(text(meeting.value(QLatin1String("meetingInfo")).toObject(), "roomid"), text(meeting, "meetingUUID"));
    }
    QString why;
    if (!SimJanusPublisher::available(&why)) {
        qCWarning(lcSim) << "janus feeds: members send no media:" << why;
        return;
    }
    m_client.open();
    m_listing.start();
    for (const QJsonValue &value : scenario.value(QLatin1String("meetings")).toArray()) {
        const QJsonObject meeting = value.toObject();
        const QString room = text(meeting.value(QLatin1String("meetingInfo")).toObject(), "roomid");
        const QString self = text(meeting, "selfMemberUUID");
        for (const QJsonValue &member : meeting.value(QLatin1String("members")).toArray()) {
            const QJsonObject m = member.toObject();
            const QJsonObject state = m.value(QLatin1String("callState")).toObject();
            const QString uuid = text(m, "memberUUID");
            if (uuid == self || state.value(QLatin1String("online")).toInt() != 1)
                continue;
            publish(room, uuid, text(m, "displayName"));
            if (state.value(QLatin1String("vmute")).toInt() == 1)
                setVideo(uuid, false);
        }
    }
}

void SimJanusFeeds::listen(const QString &room, const QString &meetingUUID)
{
    if (room.isEmpty() || meetingUUID.isEmpty())
        return;
    auto listener = std::make_unique<SimJanusClient>(m_url, m_caFile, m_token, this);
    listener->onEvent([this, meetingUUID](const QJsonObject &data) {
        const QString what = data.value(QLatin1String("videoroom")).toString();
        if (what != QLatin1String("talking") && what != QLatin1String("stopped-talking"))
            return;
        const QString member = text(data, "id");
        qCInfo(lcSim) << "janus: publisher" << member << what << "at"
                      << data.value(QLatin1String("audio-level-dBov-avg")).toDouble() << "dBov";
        if (m_feeds.count(member) || !m_talking)
            return;
        m_talking(meetingUUID, member, what == QLatin1String("talking"));
    });
    listener->open();
    listener->request({{"request", "join"}, {"ptype", "publisher"}, {"room", room}, {"id", kListenerId},
                       {"display", "meeting service"}},
                      [room](const QJsonObject &, const QString &error) {
                          if (!error.isEmpty())
                              qCWarning(lcSim) << "janus feeds: cannot listen to room" << room << ":" << error;
                      });
    m_listeners.push_back(std::move(listener));
}

QString SimJanusFeeds::roomOf(const QString &meetingUUID) const
{
    for (const QJsonValue &value : m_scenario.value(QLatin1String("meetings")).toArray()) {
        const QJsonObject meeting = value.toObject();
        if (meetingUUID.isEmpty() || text(meeting, "meetingUUID") == meetingUUID)
            return text(meeting.value(QLatin1String("meetingInfo")).toObject(), "roomid");
    }
    return {};
}

void SimJanusFeeds::follow(int eventId, const QString &member, const QString &meetingUUID)
{
    using namespace signalling;
    switch (eventId) {
    case Online: {
        QString display = member;
        for (const QJsonValue &value : m_scenario.value(QLatin1String("meetings")).toArray())
            for (const QJsonValue &m : value.toObject().value(QLatin1String("members")).toArray())
                if (text(m.toObject(), "memberUUID") == member)
                    display = text(m.toObject(), "displayName");
        publish(roomOf(meetingUUID), member, display);
        break;
    }
    case Offline:
    case Kick:
        unpublish(member);
        break;
    case Speaking:
        setSpeaking(member, true);
        break;
    case StoppedTalking:
    case AudioMuted:
        setSpeaking(member, false);
        break;
    case VideoMuted:
        setVideo(member, false);
        break;
    case VideoUnmuted:
        setVideo(member, true);
        break;
    default:
        break;
    }
}

void SimJanusFeeds::publish(const QString &room, const QString &feedId, const QString &display, bool screen)
{
    if (room.isEmpty() || feedId.isEmpty() || m_feeds.count(feedId))
        return;
    Feed &feed = m_feeds[feedId];
    feed.room = room;
    feed.publisher = std::make_unique<SimJanusPublisher>(screen ? QString::fromUtf8(QByteArray::fromBase64(display.toLatin1())) : display, screen);
    const QJsonArray streams{
        QJsonObject{{"type", "audio"}, {"mindex", 0}, {"mid", "0"}, {"codec", "opus"}},
        QJsonObject{{"type", "video"}, {"mindex", 1}, {"mid", "1"}, {"codec", "vp8"}},
        QJsonObject{{"type", "data"}, {"mindex", 2}, {"mid", "2"}},
    };
    // Janus asks a feed for key frames (a new subscriber) by RTCP, to where RTCP comes from.
    feed.rtcp = std::make_unique<QUdpSocket>();
    feed.rtcp->bind(QHostAddress::LocalHost, 0);
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    const int rtcpPort = probe.localPort();
    probe.close();
    SimJanusPublisher *publisher = feed.publisher.get();
    connect(feed.rtcp.get(), &QUdpSocket::readyRead, this, [socket = feed.rtcp.get(), publisher] {
        while (socket->hasPendingDatagrams()) {
            const QByteArray packet = socket->receiveDatagram().data();
            if (SimJanusPublisher::asksForKeyFrame(packet))
                publisher->sendKeyFrame();
        }
    });
    m_client.request({{"request", "add_remote_publisher"}, {"room", room}, {"id", feedId}, {"display", display},
                      {"iface", "127.0.0.1"}, {"rtcp_port", rtcpPort}, {"streams", streams}},
                     [this, feedId](const QJsonObject &data, const QString &error) {
                         const auto it = m_feeds.find(feedId);
                         if (it == m_feeds.end())
                             return;
                         const int port = data.value(QLatin1String("port")).toInt();
                         if (!error.isEmpty() || port <= 0) {
                             qCWarning(lcSim) << "janus feeds: no feed for" << feedId << ":" << error;
                             m_feeds.erase(it);
                             return;
                         }
                         Feed &feed = it->second;
                         feed.port = port;
                         feed.rtcpPort = data.value(QLatin1String("rtcp_port")).toInt();
                         if (feed.rtcpPort > 0)
                             feed.rtcp->writeDatagram(SimJanusPublisher::receiverReport(), QHostAddress::LocalHost, quint16(feed.rtcpPort));
                         feed.publisher->setSpeaking(feed.speaking);
                         if (feed.publisher->start(port))
                             feed.publisher->setVideo(feed.video);
                     });
}

void SimJanusFeeds::unpublish(const QString &feedId)
{
    const auto it = m_feeds.find(feedId);
    if (it == m_feeds.end())
        return;
    const QString room = it->second.room;
    m_feeds.erase(it);
    m_client.request({{"request", "remove_remote_publisher"}, {"room", room}, {"id", feedId}},
                     [feedId](const QJsonObject &, const QString &error) {
                         if (!error.isEmpty())
                             qCWarning(lcSim) << "janus feeds: cannot remove" << feedId << ":" << error;
                     });
}

void SimJanusFeeds::setSpeaking(const QString &feedId, bool speaking)
{
    const auto it = m_feeds.find(feedId);
    if (it == m_feeds.end())
        return;
    it->second.speaking = speaking;
    it->second.publisher->setSpeaking(speaking);
}

void SimJanusFeeds::setVideo(const QString &feedId, bool on)
{
    const auto it = m_feeds.find(feedId);
    if (it == m_feeds.end())
        return;
    it->second.video = on;
    it->second.publisher->setVideo(on);
}

void SimJanusFeeds::sendData(const QString &feedId, const QJsonObject &data)
{
    // A feed's data go to its media port behind an RTP header whose SSRC names the data line.
    const auto it = m_feeds.find(feedId);
    if (it == m_feeds.end() || it->second.port <= 0) {
        qCWarning(lcSim) << "janus feeds: no feed" << feedId << "to send data from";
        return;
    }
    it->second.rtcp->writeDatagram(SimJanusPublisher::dataPacket(QJsonDocument(data).toJson(QJsonDocument::Compact)),
                                   QHostAddress::LocalHost, quint16(it->second.port));
}

QStringList SimJanusFeeds::sending() const
{
    QStringList ids;
    for (const auto &[id, feed] : m_feeds)
        if (feed.publisher->running())
            ids << id;
    return ids;
}

} // namespace kelvosim
