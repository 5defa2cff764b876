// Two sample hosts, each a process of its own, in one meeting whose media server is Janus. What
// each receives is read from what the product already reports: the media status records the
// SDK sends to the cloud log service (per received stream: frames decoded, their size, the
// audio level) and the host's own event lines (chat, the member list). Their microphone is a
// tone from a GStreamer plugin of the tests (KLTestMicrophonePlugin.c). The SDK's timers run four times faster, so a record window
// closes every 2.5 s instead of every 10 s.

#include "KLHostE2EFixture.h"

#include "SimJanus.h"

#include "KLTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSize>

#include <functional>

namespace e2e {
namespace {

const QString kGuestEmployee = QStringLiteral("E10003");
// The member events a host reports as "userStatus".
constexpr int kSpeaking = 6, kStoppedSpeaking = 7;

/// A received video stream as one media status record of `reporter` shows it (the first
/// sample of the record's window).
struct ReceivedVideo {
    qsizetype at = -1; ///< position among the log entries
    qint64 frames = -1;
    QSize size;
};

bool isMediaStatus(const QJsonObject &entry, const QString &reporter, const char *mtype)
{
    return entry.value(QLatin1String("value")).toString() == QLatin1String("mediaStatus")
           && entry.value(QLatin1String("memberUUid")).toString() == reporter
           && entry.value(QLatin1String("mtype")).toString() == QLatin1String(mtype);
}

qint64 firstOf(const QJsonObject &lists, const char *key)
{
    return lists.value(QLatin1String(key)).toArray().first().toInteger(-1);
}

/// Calls `visit(position among the log entries, status)` for each receiving-side media status
/// record `reporter` sent, in order.
void forEachListenerStatus(const kelvosim::MeetingSim &sim, const QString &reporter,
                           const std::function<void(qsizetype, const QJsonObject &)> &visit)
{
    const QList<QJsonObject> entries = sim.logEntries(QStringLiteral("meeting-track"));
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (isMediaStatus(entries.at(i), reporter, "listener"))
            visit(i, QJsonDocument::fromJson(entries.at(i).value(QLatin1String("mediaStatus")).toString().toUtf8()).object());
}

/// Every received-video record `reporter` sent, in order.
QList<ReceivedVideo> receivedVideo(const kelvosim::MeetingSim &sim, const QString &reporter)
{
    QList<ReceivedVideo> found;
    forEachListenerStatus(sim, reporter, [&](qsizetype at, const QJsonObject &status) {
        for (const QJsonValue &stream : status.value(QLatin1String("recvVideo")).toObject()) {
            const QJsonObject lists = stream.toObject();
            found.append({at, firstOf(lists, "framesDelivered"),
                          QSize(int(firstOf(lists, "frameWidth")), int(firstOf(lists, "frameHeight")))});
        }
    });
    return found;
}

/// The received audio level in each received-audio record of `reporter`, with its position
/// among the log entries.
QList<std::pair<qsizetype, qint64>> receivedLevels(const kelvosim::MeetingSim &sim, const QString &reporter)
{
    QList<std::pair<qsizetype, qint64>> found;
    forEachListenerStatus(sim, reporter, [&](qsizetype at, const QJsonObject &status) {
        for (const QJsonValue &stream : status.value(QLatin1String("recvAudio")).toObject())
            found.append({at, firstOf(stream.toObject(), "oLevel")});
    });
    return found;
}

/// The camera frames `reporter` had let through to its encoder, per "main" record (the sending
/// side's), in order.
QList<qint64> sentVideoFrames(const kelvosim::MeetingSim &sim, const QString &reporter)
{
    QList<qint64> frames;
    for (const QJsonObject &entry : sim.logEntries(QStringLiteral("meeting-track"))) {
        if (!isMediaStatus(entry, reporter, "main"))
            continue;
        const QJsonObject status =
            QJsonDocument::fromJson(entry.value(QLatin1String("mediaStatus")).toString().toUtf8()).object();
        frames.append(status.value(QLatin1String("sendVideo")).toObject().value(QLatin1String("framesDelivered")).toInteger(-1));
    }
    return frames;
}

/// A "members" event in which the member `uuid` is online with its camera `on` or off.
EventMatch memberVideo(const QString &uuid, bool on)
{
    return [=](const QJsonObject &event) {
        if (event.value(QLatin1String("type")).toString() != QLatin1String("members"))
            return false;
        for (const QJsonValue &member : event.value(QLatin1String("online")).toArray())
            if (member.toObject().value(QLatin1String("uuid")).toString() == uuid)
                return member.toObject().value(QLatin1String("video")).toBool() == on;
        return false;
    };
}

/// A "members" event in which the member `uuid` is not online.
EventMatch memberGone(const QString &uuid)
{
    return [=](const QJsonObject &event) {
        if (event.value(QLatin1String("type")).toString() != QLatin1String("members"))
            return false;
        for (const QJsonValue &member : event.value(QLatin1String("online")).toArray())
            if (member.toObject().value(QLatin1String("uuid")).toString() == uuid)
                return false;
        return true;
    };
}

/// For each whole window of records `reporter` sent after entry `from` (a "main" record closes
/// a window), whether it listed a received stream (a listener record since the window before).
QList<bool> windowsListingReceived(const kelvosim::MeetingSim &sim, const QString &reporter, qsizetype from)
{
    const QList<QJsonObject> entries = sim.logEntries(QStringLiteral("meeting-track"));
    QList<bool> windows;
    bool windowBegun = false, listened = false;
    for (qsizetype i = from; i < entries.size(); ++i) {
        if (isMediaStatus(entries.at(i), reporter, "listener")) {
            listened = true;
        } else if (isMediaStatus(entries.at(i), reporter, "main")) {
            if (windowBegun)
                windows.append(listened);
            windowBegun = true;
            listened = false;
        }
    }
    return windows;
}

std::string describe(const QList<qint64> &numbers)
{
    QStringList parts;
    for (qint64 n : numbers)
        parts.append(QString::number(n));
    return parts.join(QLatin1String(", ")).toStdString();
}

std::string describe(const QList<std::pair<qsizetype, qint64>> &levels)
{
    QList<qint64> numbers;
    for (const auto &level : levels)
        numbers.append(level.second);
    return describe(numbers);
}

std::string describe(const QList<ReceivedVideo> &records)
{
    QStringList parts;
    for (const ReceivedVideo &r : records)
        parts.append(QStringLiteral("%1 frames %2x%3").arg(r.frames).arg(r.size.width()).arg(r.size.height()));
    return parts.join(QLatin1String("; ")).toStdString();
}

class TwoHostsE2ETest : public HostE2ETest {
protected:
    void SetUp() override
    {
        QString why;
        if (!kelvosim::SimJanus::installed(&why))
            GTEST_SKIP() << why.toStdString();
        // Janus serves the meeting; nobody of the scenario is online, so the two hosts are the
        // only publishers in the room, and the guest's member record has its camera and
        // microphone on.
        ASSERT_NO_FATAL_FAILURE(startSimulator([](QJsonObject &scenario, QJsonObject &meeting) {
            scenario.insert(QStringLiteral("mediaServer"), QStringLiteral("janus"));
            for (const char *list : {"members", "rooms"}) {
                QJsonArray entries = meeting.value(QLatin1String(list)).toArray();
                for (qsizetype i = 0; i < entries.size(); ++i) {
                    QJsonObject entry = entries.at(i).toObject();
                    QJsonObject state = entry.value(QLatin1String("callState")).toObject();
                    state.insert(QStringLiteral("online"), 0);
                    if (entry.value(QLatin1String("empId")).toString() == kGuestEmployee) {
                        state.insert(QStringLiteral("hasVideo"), 1);
                        state.insert(QStringLiteral("vmute"), 0);
                        state.insert(QStringLiteral("mute"), 0);
                    }
                    entry.insert(QStringLiteral("callState"), state);
                    entries.replace(i, entry);
                }
                meeting.insert(QLatin1String(list), entries);
            }
        }));
        run.extraArguments = {QStringLiteral("--meeting"), QStringLiteral("qlsInfo=") + cloudLogSettings()};
        run.environment = {{QStringLiteral("KELVO_TIME_SCALE"), QStringLiteral("0.25")},
                           {QStringLiteral("GST_PLUGIN_PATH"), QStringLiteral(KELVO_TEST_GST_PLUGIN_DIR)}};
    }

    void TearDown() override
    {
        guest.reset();
        HostE2ETest::TearDown();
    }

    /// Waits for a received-video record of `reporter` with at least `frames` frames.
    std::optional<ReceivedVideo> awaitReceived(const QString &reporter, qint64 frames)
    {
        std::optional<ReceivedVideo> hit;
        kltest::waitUntil([&] {
            for (const ReceivedVideo &r : receivedVideo(*sim, reporter))
                if (r.frames >= frames)
                    hit = r;
            return hit.has_value();
        }, 2 * HostProcess::kDeadlineMs);
        return hit;
    }

    HostRun run;
    std::unique_ptr<HostProcess> guest;
};

TEST_F(TwoHostsE2ETest, EachSeesTheOtherAndHearsFromItUntilItLeaves)
{
    const QString self = selfUuid(), other = uuidOf(kGuestEmployee);
    // The user joins first; the guest, joining after, comes online in the user's member list.
    ASSERT_NO_FATAL_FAILURE(launchHost(run));
    ASSERT_NO_FATAL_FAILURE(awaitJoined());
    guest = std::make_unique<HostProcess>();
    ASSERT_TRUE(guest->start(baseArguments(kGuestEmployee) + run.extraArguments
                                 + QStringList{QStringLiteral("--headless"), QStringLiteral("--member-uuid"), other},
                             run.environment));
    ASSERT_TRUE(guest->waitFor(typeIs(QStringLiteral("joined")))) << guest->transcript();
    ASSERT_TRUE(await(memberVideo(other, true))) << host->transcript();

    // Each decodes the other's video (a test pattern here: no camera) at the size it was sent.
    const auto atSelf = awaitReceived(self, 30), atOther = awaitReceived(other, 30);
    ASSERT_TRUE(atSelf && atOther) << describe(receivedVideo(*sim, self)) << " / "
                                   << describe(receivedVideo(*sim, other)) << host->transcript()
                                   << guest->transcript();
    EXPECT_EQ(atSelf->size, QSize(320, 180));
    EXPECT_EQ(atOther->size, QSize(320, 180));

    // Each microphone is the test plugin's tone: the user hears the guest's, and the media server
    // hears the guest talking, which the meeting tells the user; once the guest mutes, the level in
    // the user's records drops and the guest has stopped speaking for the user.
    EXPECT_TRUE(await(userStatus(kSpeaking, other))) << host->transcript();
    const auto heard = [&](qsizetype after, auto loud) {
        return kltest::waitUntil([&] {
            for (const auto &[at, level] : receivedLevels(*sim, self))
                if (at > after && loud(level))
                    return true;
            return false;
        }, 2 * HostProcess::kDeadlineMs);
    };
    EXPECT_TRUE(heard(-1, [](qint64 level) { return level > 2000; })) << describe(receivedLevels(*sim, self));
    const qsizetype muted = sim->logEntries(QStringLiteral("meeting-track")).size();
    const qsizetype mutedEvents = host->events().size();
    guest->send({{"cmd", "mute"}});
    EXPECT_TRUE(heard(muted, [](qint64 level) { return level >= 0 && level < 300; }))
        << describe(receivedLevels(*sim, self));
    EXPECT_TRUE(await(userStatus(kStoppedSpeaking, other), mutedEvents)) << host->transcript();

    // A chat line goes over the data channel and shows in the other's bubble.
    host->send({{"cmd", "chat"}, {"text", "over Janus"}});
    const auto chat = guest->waitFor([&](const QJsonObject &event) {
        return typeIs(QStringLiteral("chat"))(event) && event.value("text").toString().endsWith(QStringLiteral("over Janus"));
    });
    ASSERT_TRUE(chat) << guest->transcript();
    EXPECT_EQ(chat->value("from").toString(), self);

    // The guest's camera off: the user's member list shows it, and no more of the guest's
    // frames reach its encoder from one window to the next.
    const qsizetype mark = host->events().size();
    const qsizetype windowsBefore = sentVideoFrames(*sim, other).size();
    guest->send({{"cmd", "camera"}});
    EXPECT_TRUE(await(memberVideo(other, false), mark)) << host->transcript();
    const bool stopped = kltest::waitUntil([&] {
        const QList<qint64> frames = sentVideoFrames(*sim, other);
        for (qsizetype i = windowsBefore + 1; i < frames.size(); ++i)
            if (frames.at(i) > 0 && frames.at(i) == frames.at(i - 1))
                return true;
        return false;
    }, 2 * HostProcess::kDeadlineMs);
    EXPECT_TRUE(stopped) << describe(sentVideoFrames(*sim, other));

    // The guest leaves: it is gone from the user's member list, and the user's records, which
    // listed its stream in every window until then, list no received stream any more.
    const QList<bool> before = windowsListingReceived(*sim, self, atSelf->at);
    ASSERT_FALSE(before.isEmpty());
    EXPECT_FALSE(before.contains(false));
    const qsizetype leaving = host->events().size();
    guest->send({{"cmd", "close"}});
    ASSERT_TRUE(guest->waitForExit()) << guest->transcript();
    EXPECT_TRUE(guest->exitedCleanly()) << guest->transcript();
    EXPECT_TRUE(await(memberGone(other), leaving)) << host->transcript();
    const qsizetype left = sim->logEntries(QStringLiteral("meeting-track")).size();
    EXPECT_TRUE(kltest::waitUntil([&] { return windowsListingReceived(*sim, self, left).contains(false); },
                                  2 * HostProcess::kDeadlineMs));

    host->send({{"cmd", "close"}});
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
}

} // namespace
} // namespace e2e
