// The fake other suites drive the meeting with: it must record, answer as told and deliver
// sleep and access answers on the main thread like the real platform.
#include "KLTestSupport.h"

#include "platform/KLFakePlatform.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

TEST(FakePlatform, RecordsDisplaySleepCallsAndHeldHandles)
{
    KLFakePlatform platform;
    const KLDisplaySleepHandle first = platform.preventDisplaySleep(QStringLiteral("meeting"));
    const KLDisplaySleepHandle second = platform.preventDisplaySleep(QStringLiteral("share"));
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    platform.allowDisplaySleep(first);
    EXPECT_EQ(platform.heldDisplaySleepHandles(), std::set<KLDisplaySleepHandle>{second});

    const std::vector<KLFakePlatform::Call> calls = platform.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, QStringLiteral("preventDisplaySleep"));
    EXPECT_EQ(calls[0].arguments.value(0).toString(), QStringLiteral("meeting"));
    EXPECT_EQ(calls[2].name, QStringLiteral("allowDisplaySleep"));
    EXPECT_EQ(calls[2].arguments.value(0).toUInt(), first);
    platform.clearCalls();
    EXPECT_EQ(platform.callCount(QStringLiteral("preventDisplaySleep")), 0);
}

TEST(FakePlatform, FiresSleepOnTheMainThreadOnlyWhileWatched)
{
    KLFakePlatform platform;
    int delivered = 0;
    bool onMainThread = false;
    int owner = 0;
    KLNotificationCenter::defaultCenter().addObserver(&owner, KLNotificationNames::SystemWillSleep,
                                                      [&](const KLNotification &note) {
                                                          ++delivered;
                                                          onMainThread = QThread::currentThread() == qApp->thread();
                                                          EXPECT_EQ(note.object, nullptr);
                                                      });
    EXPECT_FALSE(platform.fireSystemWillSleep());
    platform.startMonitoringSleep();
    std::thread([&] { EXPECT_TRUE(platform.fireSystemWillSleep()); }).join();
    EXPECT_TRUE(kltest::waitUntil([&] { return delivered == 1; }));
    EXPECT_TRUE(onMainThread);
    platform.stopMonitoringSleep();
    EXPECT_FALSE(platform.fireSystemWillSleep());
    kltest::pumpEvents(20);
    EXPECT_EQ(delivered, 1);
    KLNotificationCenter::defaultCenter().removeObserver(&owner);
}

TEST(FakePlatform, AnswersAccessAsToldAndCanHoldRequests)
{
    KLFakePlatform platform;
    EXPECT_EQ(platform.authorizationStatusForMediaType(KLMediaType::Audio), KLAuthorizationStatusAuthorized);
    platform.setAuthorizationStatus(KLMediaType::Video, KLAuthorizationStatusNotDetermined);
    platform.setAccessAnswer(KLMediaType::Video, std::nullopt);

    std::vector<bool> answers;
    platform.requestAccessForMediaType(KLMediaType::Video, [&](bool granted) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        answers.push_back(granted);
    });
    kltest::pumpEvents(20);
    EXPECT_TRUE(answers.empty());
    EXPECT_EQ(platform.pendingRequestCount(KLMediaType::Video), 1);
    platform.answerPendingRequests(KLMediaType::Video, false);
    ASSERT_TRUE(kltest::waitUntil([&] { return answers.size() == 1; }));
    EXPECT_FALSE(answers[0]);
    EXPECT_EQ(platform.authorizationStatusForMediaType(KLMediaType::Video), KLAuthorizationStatusDenied);

    platform.setAccessAnswer(KLMediaType::Audio, true);
    platform.requestAccessForMediaType(KLMediaType::Audio, [&](bool granted) { answers.push_back(granted); });
    ASSERT_TRUE(kltest::waitUntil([&] { return answers.size() == 2; }));
    EXPECT_TRUE(answers[1]);
    EXPECT_EQ(platform.callCount(QStringLiteral("requestAccessForMediaType")), 2);
}

TEST(FakePlatform, InstalledPlatformIsTheSharedOne)
{
    auto fake = std::make_shared<KLFakePlatform>();
    KLPlatform::install(fake);
    EXPECT_EQ(KLPlatform::shared(), fake);
    fake->setCanRecordScreen(false);
    EXPECT_FALSE(KLPlatform::shared()->canRecordScreen());
    KLPlatform::install(nullptr);
    EXPECT_EQ(fake.use_count(), 1);
}
