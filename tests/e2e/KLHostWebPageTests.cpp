// The sample host with the drawn window and its real web pages: the leave dialog and the other
// event and control lines work as they do headless, and the simulator's rating page, clicked by
// the page's own scripted user, ends the meeting only when the rating is submitted.

#include "KLHostE2EFixture.h"

#include "SimRatePage.h"

#include "KLTestSupport.h"

#include <QJsonDocument>

namespace e2e {
namespace {

// The rating page of the simulator clicks by itself, 300 ms after it loaded.
ScenarioEdit ratePageClicks(const QString &button)
{
    return [button](QJsonObject &scenario, QJsonObject &) {
        scenario.insert(QStringLiteral("ratePage"), QJsonObject{{QStringLiteral("autoClick"), button}});
    };
}

HostRun drawnWithRatePage(const QString &rateUrl)
{
    HostRun run;
    run.extraArguments = {QStringLiteral("--gui"), QStringLiteral("meetingRateUrl=") + rateUrl};
    // Chromium will not start as root with its sandbox on (CI containers run as root).
    run.environment = {{QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1")}};
    return run;
}

class HostWebPageTest : public HostE2ETest {
protected:
    // Joins with the window drawn, leaves, and waits for the rating page's address.
    void leaveToTheRatingPage(const QString &button)
    {
        ASSERT_NO_FATAL_FAILURE(startSimulator(ratePageClicks(button)));
        const QString rateUrl = sim->baseUrl() + QLatin1String(kelvosim::SimRatePage::kPath);
        ASSERT_NO_FATAL_FAILURE(launchHost(drawnWithRatePage(rateUrl), true));
        ASSERT_NO_FATAL_FAILURE(awaitJoined());
        ASSERT_NO_FATAL_FAILURE(awaitMemberListRead());
        host->send({{"cmd", "leave"}});
        const auto dialog = awaitDialog(QStringLiteral("LEAVE_ROOM_OTHER_TOAST_DIALOG"));
        ASSERT_TRUE(dialog) << host->transcript();
        press(*dialog, 1);
        ASSERT_TRUE(await(typeIs(QStringLiteral("ratePage")))) << host->transcript();
    }

    // The clicks the page posted to the simulator, as JSON objects.
    QList<QJsonObject> postedClicks() const
    {
        QList<QJsonObject> clicks;
        for (const auto &request : sim->requests(QLatin1String(kelvosim::SimRatePage::kSubmitPath)))
            clicks << QJsonDocument::fromJson(request.body).object();
        return clicks;
    }

    bool waitForClicks(qsizetype count) const
    {
        return kltest::waitUntil([&] { return postedClicks().size() >= count; }, HostProcess::kDeadlineMs);
    }
};

TEST_F(HostWebPageTest, SubmittingTheDrawnRatingPageFinishesTheMeetingAndTheHostExits)
{
    ASSERT_NO_FATAL_FAILURE(leaveToTheRatingPage(QStringLiteral("submit")));
    const auto finish = await(typeIs(QStringLiteral("finish")));
    ASSERT_TRUE(finish) << host->transcript();
    EXPECT_EQ(finish->value(QLatin1String("reason")).toInt(), 4);
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
    EXPECT_EQ(host->count(typeIs(QStringLiteral("finish"))), 1) << host->transcript();
    // The page was really shown and clicked: its rating reached the simulator with the address's
    // meeting and member.
    ASSERT_TRUE(waitForClicks(1));
    const QJsonObject rating = postedClicks().first();
    EXPECT_EQ(rating.value(QLatin1String("action")).toString(), QStringLiteral("submit"));
    EXPECT_EQ(rating.value(QLatin1String("score")).toInt(), 4);
    EXPECT_EQ(rating.value(QLatin1String("meetingId")).toString(), meeting.value(QLatin1String("meetingUUID")).toString());
    EXPECT_EQ(rating.value(QLatin1String("memberUUid")).toString(), selfUuid());
}

TEST_F(HostWebPageTest, AnyOtherStatusFromTheRatingPageLeavesTheWindowOpen)
{
    ASSERT_NO_FATAL_FAILURE(leaveToTheRatingPage(QStringLiteral("later")));
    ASSERT_TRUE(waitForClicks(1)) << host->transcript();
    EXPECT_EQ(postedClicks().first().value(QLatin1String("action")).toString(), QStringLiteral("later"));
    // The page reported "kelvo-evaluate-later" right after its post: nothing ends.
    EXPECT_FALSE(host->waitFor(typeIs(QStringLiteral("finish")), 0, 1500)) << host->transcript();
    host->send({{"cmd", "rate"}, {"status", "kelvo-evaluate-complete"}});
    ASSERT_TRUE(await(typeIs(QStringLiteral("finish")))) << host->transcript();
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
}

} // namespace
} // namespace e2e
