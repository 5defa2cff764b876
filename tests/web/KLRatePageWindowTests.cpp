// The rating page in the drawn window, joined to the simulator: the page the host's display
// configuration names is loaded, hidden, as the meeting starts and shown once it is left. (Its
// first script reaching native: the web page tests; a complete finishing the meeting: the
// meeting window's tests and the host's end-to-end rating-page run.)

#include "../ui/KLUIWindowFixture.h"

#include "KLWebTestServer.h"

#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "ui/web/KLMeetingRateView.h"

namespace {

using kltest::waitUntil;

constexpr int kPageMs = 20000;

class RatePageWindowTest : public kltest::UIWindowFixture {
protected:
    void SetUp() override
    {
        UIWindowFixture::SetUp();
        kelvosim::SimCertificateFiles files;
        QString error;
        ASSERT_TRUE(kelvosim::SimCertificates::ensure(sim->certDir(), &files, &error)) << error.toStdString();
        ASSERT_TRUE(server.start(files, &error)) << error.toStdString();
    }

    // Joins with the rating page `html`.
    void joinWithRatePage(const QByteArray &html)
    {
        server.setPage(QStringLiteral("/rate.html"), html);
        ASSERT_NO_FATAL_FAILURE(join({{"meetingTopic", "Release planning"},
                                      {"meetingRateUrl", server.url(QStringLiteral("/rate.html"))}}));
    }

    kltest::WebTestServer server;
};

TEST_F(RatePageWindowTest, AnyOtherStatusLeavesTheWindowOpenAndShowsThePageAfterTheLeave)
{
    ASSERT_NO_FATAL_FAILURE(joinWithRatePage(
        "<!DOCTYPE html><html><head><script>window.native.ocMethod('kelvo-evaluate-later');"
        "window.native.ocMethod('KELVO-EVALUATE-COMPLETE');</script></head><body>later</body></html>"));
    ASSERT_TRUE(waitUntil([] { return layout()->ratePage() && layout()->ratePage()->hasLoaded(); }, kPageMs));
    EXPECT_TRUE(layout()->ratePage()->requestedUrl().toString().startsWith(server.url(QStringLiteral("/rate.html?lang=en&meetingId="))));
    kltest::pumpEvents(500);
    EXPECT_FALSE(host->heard().join(',').contains("finish")) << host->heard().join(',').toStdString();
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(layout()->page(), KLMeetingLayoutWidget::Page::Meeting);
    // The page stays hidden until the meeting is left, then replaces everything else.
    EXPECT_FALSE(layout()->ratePage()->isVisible());
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::ShowRatePage);
    ASSERT_TRUE(waitUntil([] { return layout()->page() == KLMeetingLayoutWidget::Page::Rate; }));
    EXPECT_TRUE(layout()->ratePage()->isVisible());
    EXPECT_FALSE(host->heard().join(',').contains("finish"));
}

} // namespace
