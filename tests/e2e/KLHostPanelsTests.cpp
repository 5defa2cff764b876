// The sample host's invitation, meeting information and settings lines against the simulator:
// a search lists the directory's people, inviting one makes them ring in the meeting, a copy
// prints the text put on the clipboard, and settings take only what they know.

#include "KLHostE2EFixture.h"

#include "KLTestSupport.h"

#include <QJsonArray>

namespace e2e {
namespace {

TEST_F(HostE2ETest, SearchInviteCopyAndSettingLines)
{
    ASSERT_NO_FATAL_FAILURE(launchHost({true, {}, {}}));
    ASSERT_NO_FATAL_FAILURE(awaitJoined());
    ASSERT_TRUE(await(typeIs(QStringLiteral("members")))) << host->transcript();

    // Inviting before any search has nothing to choose from.
    host->send({{"cmd", "invite"}, {"ids", QJsonArray{"E10005"}}});
    ASSERT_TRUE(await(typeIs(QStringLiteral("commandError")))) << host->transcript();

    host->send({{"cmd", "search"}, {"keyword", "wang"}});
    const auto results = await(typeIs(QStringLiteral("searchResults")));
    ASSERT_TRUE(results) << host->transcript();
    QStringList ids;
    for (const QJsonValue &item : results->value(QLatin1String("items")).toArray())
        ids << item.toObject().value(QLatin1String("id")).toString();
    EXPECT_EQ(ids, (QStringList{"E10005", "E10006"})) << host->transcript();

    const qsizetype before = host->events().size();
    host->send({{"cmd", "invite"}, {"ids", QJsonArray{"E10005", "nobody"}}});
    ASSERT_TRUE(await(typeIs(QStringLiteral("commandError")), before)) << host->transcript();
    EXPECT_TRUE(sim->requests(QStringLiteral("/conference/api/addMember")).isEmpty());

    host->send({{"cmd", "invite"}, {"ids", QJsonArray{"E10005"}}});
    ASSERT_TRUE(kltest::waitUntil([&] { return sim->requests(QStringLiteral("/conference/api/addMember")).size() == 1; },
                                  HostProcess::kDeadlineMs))
        << host->transcript();
    EXPECT_TRUE(sim->requests(QStringLiteral("/conference/api/addMember")).first().form.value("data").contains("E10005"));
    // They ring: the member list shows them offline and being called.
    const auto ringing = await([](const QJsonObject &event) {
        if (event.value(QLatin1String("type")).toString() != QLatin1String("members"))
            return false;
        for (const QJsonValue &row : event.value(QLatin1String("offline")).toArray()) {
            const QJsonObject member = row.toObject();
            const QString name = member.value(QLatin1String("name")).toString();
            if ((name == QLatin1String("Wang Lei") || name == QStringLiteral("王磊")) && member.value(QLatin1String("calling")).toBool())
                return true;
        }
        return false;
    });
    EXPECT_TRUE(ringing) << host->transcript();

    host->send({{"cmd", "copy"}, {"what", "link"}});
    const auto link = await(typeIs(QStringLiteral("clipboard")));
    ASSERT_TRUE(link) << host->transcript();
    EXPECT_EQ(link->value(QLatin1String("text")).toString(),
              meeting.value("appointmentDetail").toObject().value("shortJumpUrl").toString());
    const qsizetype afterLink = host->events().size();
    host->send({{"cmd", "copy"}, {"what", "password"}});
    const auto password = await(typeIs(QStringLiteral("clipboard")), afterLink);
    ASSERT_TRUE(password) << host->transcript();
    EXPECT_EQ(password->value(QLatin1String("text")).toString(),
              meeting.value("appointmentDetail").toObject().value("password").toString());

    const qsizetype errorsBefore = host->count(typeIs(QStringLiteral("commandError")));
    host->send({{"cmd", "setting"}, {"name", "microphone"}, {"value", "USB Headset Microphone"}});
    host->send({{"cmd", "setting"}, {"name", "beauty"}, {"value", true}});
    host->send({{"cmd", "setting"}, {"name", "microphone"}, {"value", "no such microphone"}});
    host->send({{"cmd", "setting"}, {"name", "volume"}, {"value", "11"}});
    ASSERT_TRUE(kltest::waitUntil([&] { return host->count(typeIs(QStringLiteral("commandError"))) == errorsBefore + 2; },
                                  HostProcess::kDeadlineMs))
        << host->transcript();
    kltest::pumpEvents(200);
    EXPECT_EQ(host->count(typeIs(QStringLiteral("commandError"))), errorsBefore + 2) << host->transcript();

    host->send({{"cmd", "close"}});
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
}

} // namespace
} // namespace e2e
