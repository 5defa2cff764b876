#pragma once

// The scenario's members as Janus publishers: each member present in a meeting gets a feed of
// its own in the meeting's room (a VideoRoom remote publisher with the member uuid as its id
// and the display name as its display) that a SimJanusPublisher fills. Joining, leaving,
// speaking, muting and camera events pushed about a member start, stop or change its feed.
// A listener of its own sits in each room (joined, never publishing) to hear Janus say which
// publisher is talking or has stopped, from the audio levels their packets carry.
// Lives on the simulator thread.

#include "SimJanusClient.h"
#include "SimJanusPublisher.h"

#include <QJsonObject>
#include <QObject>
#include <QUdpSocket>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace kelvosim {

class SimJanusFeeds : public QObject
{
public:
    SimJanusFeeds(const QString &url, const QString &caFile, const QString &token, QObject *parent = nullptr);

    /// Called when Janus reports a publisher of a meeting's room talking or stopped talking
    /// (publishers of this object excepted: their speaking is the scenario's to say).
    using Talking = std::function<void(const QString &meetingUUID, const QString &member, bool talking)>;
    void onTalking(Talking handler) { m_talking = std::move(handler); }

    /// Publishes every member the scenario has online in each meeting, except the user's own,
    /// and starts listening to each meeting's room.
    void start(const QJsonObject &scenario);
    /// Follows a signalling event (online, offline, kick, mute, speaking, camera) about `member`.
    void follow(int eventId, const QString &member, const QString &meetingUUID);

    /// Opens the feed `feedId` in `room`; `screen` sends a moving picture instead.
    void publish(const QString &room, const QString &feedId, const QString &display, bool screen = false);
    void unpublish(const QString &feedId);
    void setSpeaking(const QString &feedId, bool speaking);
    void setVideo(const QString &feedId, bool on);
    /// Sends `data` as a data-channel message of the feed `feedId` (a chat line, ...).
    void sendData(const QString &feedId, const QJsonObject &data);
    /// Who is in the meetings' rooms as Janus last listed them (about every second), the feeds
    /// of this object included.
    QStringList participants() const { return m_participants; }
    /// Feeds Janus accepted and that are sending now.
    QStringList sending() const;
    /// The room of the scenario's meeting `meetingUUID` (the first meeting when empty).
    QString roomOf(const QString &meetingUUID) const;

private:
    struct Feed {
        QString room;
        std::unique_ptr<SimJanusPublisher> publisher;
        std::unique_ptr<QUdpSocket> rtcp; ///< Janus's key frame requests come here
        int rtcpPort = 0;                 ///< where Janus takes RTCP for the feed
        int port = 0;                     ///< where Janus takes the feed's media and data
        bool speaking = false;
        bool video = true;
    };

    void listParticipants();
    void listen(const QString &room, const QString &meetingUUID);

    QString m_url, m_caFile, m_token;
    SimJanusClient m_client;
    std::vector<std::unique_ptr<SimJanusClient>> m_listeners; ///< one per room
    Talking m_talking;
    QTimer m_listing;
    QStringList m_participants;
    QJsonObject m_scenario;
    std::map<QString, Feed> m_feeds;
};

} // namespace kelvosim
