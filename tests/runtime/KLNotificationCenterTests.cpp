#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>

namespace {
const QString kName = QStringLiteral("TestNotification");
}

TEST(NotificationCenter, DeliversSynchronouslyOnThePostingThreadWithUserInfo)
{
    KLNotificationCenter center;
    int owner = 0, poster = 0;
    KLNotification received;
    std::thread::id deliveredOn;
    center.addObserver(&owner, KLNotificationNames::AudioVideoChangeNotification, [&](const KLNotification &note) {
        deliveredOn = std::this_thread::get_id();
        received = note;
    });
    std::thread worker([&]() {
        center.postNotification(KLNotificationNames::AudioVideoChangeNotification, &poster,
                                {{KLNotificationKeys::audioAction, true}});
        EXPECT_EQ(deliveredOn, std::this_thread::get_id()); // already delivered on return
    });
    worker.join();
    EXPECT_EQ(received.name, KLNotificationNames::AudioVideoChangeNotification);
    EXPECT_EQ(received.object, &poster);
    EXPECT_TRUE(received.userInfo.value("audioAction").toBool());
}

TEST(NotificationCenter, SenderFilterAndRemovalByOwnerNameAndToken)
{
    KLNotificationCenter center;
    int ownerA = 0, ownerB = 0, senderX = 0, senderY = 0;
    QStringList calls;
    center.addObserver(&ownerA, kName, [&](const KLNotification &) { calls << "A-any"; });
    center.addObserver(&ownerA, "Other", [&](const KLNotification &) { calls << "A-other"; });
    center.addObserver(&ownerB, kName, [&](const KLNotification &) { calls << "B-x"; }, &senderX);
    const quint64 token = center.addObserver(&ownerB, kName, [&](const KLNotification &) { calls << "B-token"; });

    center.postNotification(kName, &senderY);
    EXPECT_EQ(calls, QStringList({"A-any", "B-token"}));

    calls.clear();
    center.removeObserverWithToken(token);
    center.removeObserver(&ownerA, kName);
    center.postNotification(kName, &senderX);
    center.postNotification("Other");
    EXPECT_EQ(calls, QStringList({"B-x", "A-other"}));

    calls.clear();
    center.removeObserver(&ownerA);
    center.removeObserver(&ownerB);
    center.postNotification(kName, &senderX);
    center.postNotification("Other");
    EXPECT_TRUE(calls.isEmpty());
}

TEST(NotificationCenter, ObserverMayRemoveItselfOrOthersDuringDelivery)
{
    KLNotificationCenter center;
    int first = 0, second = 0, third = 0;
    QStringList calls;
    center.addObserver(&first, kName, [&](const KLNotification &) {
        calls << "first";
        center.removeObserver(&first);
        center.removeObserver(&third); // not yet delivered: must not be called now
    });
    center.addObserver(&second, kName, [&](const KLNotification &) { calls << "second"; });
    center.addObserver(&third, kName, [&](const KLNotification &) { calls << "third"; });

    center.postNotification(kName);
    center.postNotification(kName);
    EXPECT_EQ(calls, QStringList({"first", "second", "second"}));
}

TEST(NotificationCenter, RemovalWaitsForADeliveryRunningOnAnotherThread)
{
    KLNotificationCenter center;
    int owner = 0;
    std::latch entered(1);
    std::atomic<bool> handlerFinished{false};
    center.addObserver(&owner, kName, [&](const KLNotification &) {
        entered.count_down();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        handlerFinished = true;
    });
    std::thread poster([&]() { center.postNotification(kName); });
    entered.wait();
    center.removeObserver(&owner);
    EXPECT_TRUE(handlerFinished.load()); // the owner may now be destroyed safely
    poster.join();
}
