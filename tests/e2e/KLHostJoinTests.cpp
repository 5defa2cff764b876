// Joining through the sample host, as a guest and as staff: the host hears "joined", a guest's
// host also hears one "online" for every member already in the meeting, and member changes the
// meeting service pushes later reach either as userStatus events. Closing the window ends the
// run without a finish report.

#include "KLHostE2EFixture.h"

#include <QJsonArray>
#include <QSet>

namespace e2e {
namespace {

struct JoinCase {
    const char *name;
    bool internal;
    bool announcesPresentMembers;  ///< staff hosts are not told who was there before them
};

void PrintTo(const JoinCase &join, std::ostream *out)
{
    *out << join.name;
}

class HostJoin : public HostE2ETest, public ::testing::WithParamInterface<JoinCase> {
protected:
    /// Members and rooms the scenario has online, the local user left out.
    QSet<QString> presentOthers() const
    {
        QSet<QString> present;
        for (const char *list : {"members", "rooms"}) {
            for (const QJsonValue &entry : meeting.value(QLatin1String(list)).toArray()) {
                const QJsonObject record = entry.toObject();
                const QString uuid = record.value(QLatin1String("memberUUID")).toString();
                const bool online = record.value(QLatin1String("callState")).toObject().value(QLatin1String("online")).toInt() == 1;
                if (online && uuid != selfUuid())
                    present.insert(uuid);
            }
        }
        return present;
    }

    QSet<QString> announcedOnline() const
    {
        QSet<QString> uuids;
        for (const QJsonObject &event : host->events()) {
            if (event.value(QLatin1String("type")).toString() == QLatin1String("userStatus")
                && event.value(QLatin1String("event")).toInt() == 0)
                uuids.insert(event.value(QLatin1String("user")).toObject().value(QLatin1String("uuid")).toString());
        }
        return uuids;
    }
};

TEST_P(HostJoin, HearsTheJoinAndEveryMemberChangeThenClosesWithoutAFinish)
{
    const JoinCase &join = GetParam();
    ASSERT_NO_FATAL_FAILURE(launchHost({join.internal, {}, {}}));
    ASSERT_NO_FATAL_FAILURE(awaitJoined());
    const QSet<QString> present = presentOthers();
    ASSERT_GE(present.size(), 2) << "the scenario has other members online";
    if (join.announcesPresentMembers) {
        for (const QString &uuid : present)
            ASSERT_TRUE(await(userStatus(0, uuid))) << uuid.toStdString() << host->transcript();
    }

    // The chair mutes, a guest drops out.
    ASSERT_NO_FATAL_FAILURE(awaitSignallingRegistered(join.internal));
    const QString chair = uuidOf(QStringLiteral("E10002"));
    const QString guest = uuidOf(QStringLiteral("E10003"));
    // Staff hear nothing when the member list has been read, so the first push may come before
    // the members it names are known (and is dropped); it is repeated until it is heard.
    std::optional<QJsonObject> muted;
    for (int attempt = 0; attempt < 10 && !muted; ++attempt) {
        sim->pushEvent(3, chair);
        muted = host->waitFor(userStatus(2, chair), 0, HostProcess::kDeadlineMs / 10);
    }
    ASSERT_TRUE(muted) << host->transcript();
    sim->pushEvent(2, guest);
    const QJsonObject mutedUser = muted->value(QLatin1String("user")).toObject();
    EXPECT_EQ(mutedUser.value(QLatin1String("empId")).toString(), QStringLiteral("E10002"));
    EXPECT_EQ(mutedUser.value(QLatin1String("callState")).toObject().value(QLatin1String("mute")).toInt(), 1);
    const auto left = await(userStatus(1, guest));
    ASSERT_TRUE(left) << host->transcript();
    EXPECT_EQ(left->value(QLatin1String("user")).toObject().value(QLatin1String("callState")).toObject()
                  .value(QLatin1String("online")).toInt(), 0);

    // The member list was read before those pushes, so every "online" it gives is in by now.
    // The user's own member is in the meeting too once its client has registered; only the
    // others are compared here.
    QSet<QString> others = announcedOnline();
    others.remove(selfUuid());
    EXPECT_EQ(others, join.announcesPresentMembers ? present : QSet<QString>()) << host->transcript();

    host->send({{"cmd", "close"}});
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
    EXPECT_EQ(host->count(typeIs(QStringLiteral("finish"))), 0) << host->transcript();
    EXPECT_EQ(host->count(typeIs(QStringLiteral("error"))), 0) << host->transcript();
    EXPECT_EQ(host->count(typeIs(QStringLiteral("joined"))), 1) << host->transcript();
}

INSTANTIATE_TEST_SUITE_P(Kinds, HostJoin,
                         ::testing::Values(JoinCase{"Guest", false, true}, JoinCase{"Staff", true, false}),
                         [](const ::testing::TestParamInfo<JoinCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace e2e
