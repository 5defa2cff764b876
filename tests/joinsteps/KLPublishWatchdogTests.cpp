// The own-audio watchdog on a real feed: thresholds, one alarm per silence, the records of
// alarm and recovery, and the no-audio dialog.
#include "../devices/KLRecordCapture.h"

#include "conference/registry/KLFeedClient.h"
#include "conference/service/KLPublishWatchdog.h"
#include "runtime/KLLocalization.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class PublishWatchdogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KLPublishWatchdog::notifactionPublish(
            feed, [this] { ++confirmed; },
            [this](KLDialogRequest request) { dialogs.push_back(std::move(request)); });
    }

    /// The record values and error codes sent so far, as "value/errCode".
    QStringList sent()
    {
        QStringList found;
        for (const QJsonObject &r : capture.settle())
            if (r["value"] == "mediaError" || r["value"].toString().startsWith("audioStreamRefresh"))
                found << r["value"].toString() + "/" + r["errCode"].toString() + "@" + r["level"].toString();
        return found;
    }

    kltest::RecordCapture capture;
    std::shared_ptr<KLFeedClient> feed = KLFeedClient::create(QJsonValue(1), "me", {});
    std::vector<KLDialogRequest> dialogs;
    int confirmed = 0;
};

const QString kError = KLQLSLogger::stringsOfLogLevels(5);
const QString kTrace = KLQLSLogger::stringsOfLogLevels(3);

} // namespace

TEST_F(PublishWatchdogTest, UnchangedPacketsRaiseOneAlarmAndRecover)
{
    feed->setPacketsSent(40);
    for (int i = 0; i < KLPublishWatchdog::kNoAudioThreshold - 1; ++i)
        feed->setPacketsSent(40);
    EXPECT_EQ(feed->noAudioCount(), 9);
    EXPECT_FALSE(feed->noAudioFlag());
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(dialogs.empty());

    for (int i = 0; i < 5; ++i)
        feed->setPacketsSent(40);
    EXPECT_TRUE(feed->noAudioFlag());
    EXPECT_EQ(sent(), QStringList{"mediaError/604@" + kError});
    ASSERT_EQ(dialogs.size(), 1u);

    feed->setPacketsSent(41);
    EXPECT_EQ(feed->noAudioCount(), 0);
    EXPECT_FALSE(feed->noAudioFlag());
    feed->setPacketsSent(42); // a second change reports nothing more
    EXPECT_EQ(sent(), (QStringList{"mediaError/604@" + kError, "audioStreamRefresh/@" + kTrace}));

    // The dialog: confirm runs the service's action, cancel does not.
    const KLDialogRequest &dialog = dialogs.front();
    EXPECT_EQ(dialog.title, KLLocalizedString("ERROR_NOAUDIO_MSG"));
    EXPECT_EQ(dialog.firstButtonText, KLLocalizedString("CONFIRM"));
    EXPECT_EQ(dialog.secondButtonText, KLLocalizedString("CANCEL"));
    dialog.secondBlock();
    EXPECT_EQ(confirmed, 0);
    dialog.firstBlock();
    EXPECT_EQ(confirmed, 1);
}

TEST_F(PublishWatchdogTest, FlatInputLevelRaisesOneAlarmAndRecovers)
{
    for (int i = 0; i < 5; ++i) { // a short silence recovers without any report
        feed->setPacketsSent(7);
        feed->setILevel(0);
    }
    feed->setPacketsSent(8);
    feed->setILevel(30);
    EXPECT_EQ(feed->noAudioCount() + feed->noILevelCount(), 0);
    EXPECT_TRUE(sent().isEmpty());

    for (int i = 0; i < KLPublishWatchdog::kNoInputLevelThreshold - 1; ++i)
        feed->setILevel(i % 2); // 0 and 1 both count as silence
    EXPECT_FALSE(feed->noILevelFlag());
    EXPECT_TRUE(sent().isEmpty());
    feed->setILevel(1);
    feed->setILevel(0);
    EXPECT_TRUE(feed->noILevelFlag());
    EXPECT_EQ(feed->noILevelCount(), 21);

    feed->setILevel(2);
    EXPECT_EQ(feed->noILevelCount(), 0);
    EXPECT_FALSE(feed->noILevelFlag());
    EXPECT_EQ(sent(), (QStringList{"mediaError/609@" + kError, "audioStreamRefreshLevel/@" + kTrace}));
    EXPECT_TRUE(dialogs.empty()); // only missing packets ask the user
}
