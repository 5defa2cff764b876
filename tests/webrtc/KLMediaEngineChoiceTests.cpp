// Which engine a meeting runs on: the meeting dictionary chooses between the SDK's own engines,
// the WebRTC engine when it says nothing, and never displaces an engine installed directly.

#include "../conference/ConferenceTestSupport.h"

#include "SimJanus.h"
#include "media/builtin/KLBuiltinMediaSDK.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "media/webrtc/KLMediaEngineChoice.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"

namespace {

bool isBuiltin() { return std::dynamic_pointer_cast<KLBuiltinMediaSDK>(KLRTCMediaSDK::shared()) != nullptr; }
bool isWebRtc() { return std::dynamic_pointer_cast<KLWebRtcMediaSDK>(KLRTCMediaSDK::shared()) != nullptr; }

TEST(MediaEngineChoice, TheDictionaryChoosesAndAnInstalledEngineWins)
{
    QString why;
    if (!KLWebRtcMediaSDK::available(&why))
        GTEST_SKIP() << why.toStdString();
    KLRTCMediaSDK::install(nullptr);
    KL_chooseMediaEngine(QStringLiteral("builtin"));
    EXPECT_TRUE(isBuiltin());
    KL_chooseMediaEngine(QString());
    EXPECT_TRUE(isWebRtc()) << "no key: the WebRTC engine";
    const auto webrtc = KLRTCMediaSDK::shared();
    KL_chooseMediaEngine(QStringLiteral("builtin"));
    EXPECT_TRUE(isBuiltin());
    KL_chooseMediaEngine(QStringLiteral("no-such-engine"));
    EXPECT_EQ(KLRTCMediaSDK::shared(), webrtc) << "an unknown name is the default, the same engine again";
    KL_chooseMediaEngine(QStringLiteral("webrtc"));
    EXPECT_EQ(KLRTCMediaSDK::shared(), webrtc);

    // A fake installed before the join stays, whatever the meeting asks for; taking it out hands
    // the choice back to the dictionary.
    auto fake = std::make_shared<KLFakeMediaSDK>();
    KLRTCMediaSDK::install(fake);
    for (const QString &name : {QString(), QStringLiteral("webrtc"), QStringLiteral("builtin")}) {
        KL_chooseMediaEngine(name);
        EXPECT_EQ(KLRTCMediaSDK::shared(), fake) << name.toStdString();
    }
    KLRTCMediaSDK::install(nullptr);
    EXPECT_TRUE(isBuiltin());
    KL_chooseMediaEngine(QString());
    EXPECT_EQ(KLRTCMediaSDK::shared(), webrtc);

    // A projection chooses as a meeting does, from its own dictionary.
    const auto projection = [](const QVariantMap &dictionary) {
        KLConferenceService::create(QStringLiteral("M-1"), 1, true, QString(),
                                    dictionary.isEmpty() ? nullptr : KLSDKMeetingConfigInternal::create(dictionary));
    };
    projection({{"mediaEngine", "builtin"}});
    EXPECT_TRUE(isBuiltin()) << "a projection asking for the built-in engine";
    projection({});
    EXPECT_EQ(KLRTCMediaSDK::shared(), webrtc) << "a projection without a dictionary";
    KLRTCMediaSDK::install(nullptr);
}

// A whole join through the conference service against a simulated meeting whose media server is
// Janus, with no "mediaEngine" in the dictionary: the user enters Janus's room.
class MediaEngineDefaultJoin : public ConferenceSimFixture {
protected:
    static void SetUpTestSuite()
    {
        QString why;
        if (!kelvosim::SimJanus::installed(&why) || !KLWebRtcMediaSDK::available(&why)) {
            skipped = why;
            return;
        }
        kelvosim::MeetingSimOptions options;
        options.janus = true;
        sim = kltest::startSuiteSimulator(&meeting, &why, options);
        ASSERT_TRUE(sim) << why.toStdString();
    }
    void SetUp() override
    {
        if (!skipped.isEmpty())
            GTEST_SKIP() << skipped.toStdString();
        ConferenceSimFixture::SetUp();
        KLRTCMediaSDK::install(nullptr);
    }
    void TearDown() override
    {
        if (!skipped.isEmpty())
            return;
        ConferenceSimFixture::TearDown();
        KLRTCMediaSDK::install(nullptr);
    }
    static inline QString skipped;
};

TEST_F(MediaEngineDefaultJoin, AMeetingWithoutTheKeyRunsOnTheWebRtcEngine)
{
    QVariantMap dictionary = kltest::simMeetingDictionary(*sim, meeting, false);
    ASSERT_EQ(dictionary.take(QStringLiteral("mediaEngine")), QVariant(QStringLiteral("webrtc")));
    service = KLConferenceService::create(KLSDKMeetingConfigInternal::create(dictionary), delegate);
    service->setDataSource(layout);
    service->joinMeeting();
    const QString self = meeting.value(QLatin1String("selfMemberUUID")).toString();
    ASSERT_TRUE(kltest::waitUntil([&] { return layout->entered() == 1 && sim->janusParticipants().contains(self); },
                                  20000))
        << "entered " << layout->entered() << ", in the room: " << sim->janusParticipants().join(' ').toStdString();
    EXPECT_TRUE(isWebRtc());
    service->leave();
    EXPECT_TRUE(kltest::waitUntil([&] { return !sim->janusParticipants().contains(self); }, 10000));
}

} // namespace
