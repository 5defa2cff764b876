#include "KLRecordingPrinter.h"

#include "host/KLMessageMode.h"
#include "host/UserPersistentData.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace {

template <class Json>
QString pretty(const Json &json) { return QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented)); }

QJsonObject envelope(const char *path, const QString &track, const std::optional<QJsonObject> &body = {}, bool multi = false)
{
    QJsonObject object{{"path", path}, {"track", track}, {"withResponse", false}};
    if (body)
        object.insert("body", *body);
    if (multi)
        object.insert("isMulti", true);
    return object;
}

/// A message mode whose sink records each text and whether it was composed on the serial queue.
class MessageModeTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override { kltest::RecordingPrinter::uninstall(); }
    void start()
    {
        mode = std::make_unique<KLMessageMode>([this](const QByteArray &text) {
            const bool onQueue = QThread::currentThread()->objectName() == QLatin1String("com.kelvo.messagemode.serial");
            std::lock_guard<std::mutex> lock(mutex);
            composed.push_back({text, onQueue});
        });
        ASSERT_TRUE(waitForCount(1));
    }
    bool waitForCount(size_t n) { return kltest::waitUntil([&]() { std::lock_guard lock(mutex); return composed.size() >= n; }); }
    /// Message `i`, checked to be exactly the indented writer's text and composed where expected.
    QJsonObject at(size_t i, bool expectOnQueue)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const QJsonDocument document = QJsonDocument::fromJson(composed.at(i).first);
        EXPECT_EQ(composed[i].first, document.toJson(QJsonDocument::Indented));
        EXPECT_EQ(composed[i].second, expectOnQueue);
        return document.object();
    }
    int logged(const QString &text) const { return log->count("info", text); }

    std::shared_ptr<kltest::RecordingPrinter> log = kltest::RecordingPrinter::install();
    std::mutex mutex;
    std::vector<std::pair<QByteArray, bool>> composed;
    std::unique_ptr<KLMessageMode> mode;
};

} // namespace

TEST_F(MessageModeTest, ComposesEveryEnvelopeExactlyAndLogsTheStatusOnes)
{
    start();
    EXPECT_EQ(at(0, true), envelope("/kelvo/started", QStringLiteral("")));
    EXPECT_EQ(logged(QStringLiteral("Message Mode Init")), 1);
    EXPECT_EQ(logged(QStringLiteral("kelvo messagemode: current thread com.kelvo.messagemode.serial")), 1);
    EXPECT_EQ(logged(QStringLiteral("kelvo messagemode pipe name: (null)")), 1);
    EXPECT_EQ(logged(QStringLiteral("kelvo messagemode pipeName")), 0); // only for a stored name

    const QJsonObject detail{{"code", 7}}, record{{"value", "join"}, {"errCode", "11002"}}, qls{{"log", pretty(record)}};
    for (const QString &track : {QStringLiteral(""), QStringLiteral("trk-9")}) {
        UserPersistentData::sharedInstance().writeTanduTrack(track);
        const auto status = [&](const QJsonObject &body) { return envelope("/projector/NotifyWorkStatus", track, body, true); };
        const std::pair<std::function<void()>, QJsonObject> cases[] = {
            {[&] { mode->notifyWorkStatus(3); }, status({{"status", 3}})},
            {[&] { mode->notifyErrorStatus(5, detail); }, status({{"status", 5}, {"param", pretty(detail)}})},
            {[&] { mode->notifyErrorStatus(4, QJsonArray{1, 2}); }, status({{"status", 4}, {"param", pretty(QJsonArray{1, 2})}})},
            {[&] { mode->notifyErrorStatus(6, QJsonValue()); }, status({{"status", 6}, {"param", ""}})},
            {[&] { mode->enterMeetingRatePage(); }, envelope("/kelvo/evaluating", track)},
            {[&] { mode->reEnterMeeting("u-1"); },
             envelope("/kelvo/ReEnterMeeting", track, {{{"uuid", "u-1"}, {"bizType", "conference"}}})},
            {[&] { mode->commitQls(record); }, envelope("/projector/UploadLogToQLS", track, qls)},
            {[&] { mode->setLogModuleFlag(true); mode->commitQls(record); mode->setLogModuleFlag(false); },
             envelope("/kelvo/UploadLogToQLS", track, qls)},
        };
        for (const auto &[operation, expected] : cases) {
            operation();
            EXPECT_EQ(at(composed.size() - 1, false), expected); // composed before the call returns
            const bool isStatus = expected["path"] == "/projector/NotifyWorkStatus";
            EXPECT_EQ(logged("projector send notifyWorkStatus: " + QString::fromUtf8(composed.back().first)), int(isStatus));
        }
    }
    initCallBack("from-host");
    initCallBack(nullptr);
    EXPECT_EQ(logged(QStringLiteral("kelvo messagemode pipeName from-host")), 1);
    EXPECT_EQ(logged(QStringLiteral("kelvo messagemode pipeName (null)")), 1);
}

TEST_F(MessageModeTest, ButtonMessagesAreComposedOnTheQueueInCallOrder)
{
    UserPersistentData::sharedInstance().writePipeName(QStringLiteral("pipe-x"));
    start();
    EXPECT_EQ(logged(QStringLiteral("kelvo messagemode pipeName pipe-x")), 1);
    const double before = QDateTime::currentMSecsSinceEpoch() / 1000.0 - 0.001;
    mode->actionLog(QString());
    for (int i = 0; i < 200; ++i)
        mode->actionLog(QStringLiteral("btn-%1").arg(i));
    ASSERT_TRUE(waitForCount(202));
    const double after = QDateTime::currentMSecsSinceEpoch() / 1000.0 + 0.001;
    for (size_t i = 1; i < composed.size(); ++i) {
        const QJsonObject message = at(i, true);
        const QJsonObject body = message["body"].toObject();
        EXPECT_EQ(message, envelope("/kelvo/action", "", body));
        EXPECT_EQ(body["btn"], i == 1 ? QStringLiteral("") : QStringLiteral("btn-%1").arg(i - 2));
        const double ts = body["ts"].toDouble();
        EXPECT_TRUE(body.size() == 2 && ts >= before && ts <= after);
    }
}
