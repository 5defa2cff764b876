// Two runs of the sample host in one simulated projection, each with its drawn window on the
// offscreen platform: a sender (the user) and a receiver (Zhao Xue). The receiver shows the
// sender's cast; the sender follows the rooms and people answering (accepting, declining,
// leaving); the host's stop ends the cast for its viewers, the receiver included, and both runs
// end cleanly.

#include "KLHostE2EFixture.h"

#include "KLTestSupport.h"

#include <QJsonArray>

namespace e2e {
namespace {

class HostProjector : public HostE2ETest {
protected:
    /// Staff run casts: the meeting service's cast operations are the staff's HTTP interface.
    QStringList projectorArguments(const QString &mode, const QString &workId) const
    {
        return QStringList{QStringLiteral("--projector"), mode, QStringLiteral("--project-id"), QStringLiteral("P-2024"),
                           QStringLiteral("--internal"), QStringLiteral("--user-id"), workId}
               + baseArguments(workId);
    }
    static EventMatch row(const QString &uuid, const QString &presence)
    {
        return [uuid, presence](const QJsonObject &event) {
            return event.value(QLatin1String("type")).toString() == QLatin1String("projectorRow")
                && event.value(QLatin1String("uuid")).toString() == uuid
                && event.value(QLatin1String("presence")).toString() == presence;
        };
    }
    /// The cast states reported to the meeting service, for failure messages.
    std::string reports() const
    {
        QStringList seen;
        for (const auto &request : sim->requests(QStringLiteral("/conference/api/v2/notifyMultiScreen")))
            seen << request.form.value(QStringLiteral("memberUUID")) + QLatin1Char('=') + request.form.value(QStringLiteral("status"));
        return seen.join(QLatin1Char(' ')).toStdString();
    }
    /// Waits until some member reported cast state `status`; that member's uuid.
    bool waitUntilReported(int status, QString *member) const
    {
        return kltest::waitUntil([&] {
            for (const auto &request : sim->requests(QStringLiteral("/conference/api/v2/notifyMultiScreen")))
                if (request.form.value(QStringLiteral("status")) == QString::number(status)) {
                    *member = request.form.value(QStringLiteral("memberUUID"));
                    return true;
                }
            return false;
        }, HostProcess::kDeadlineMs);
    }
    static EventMatch cast(bool shown)
    {
        return [shown](const QJsonObject &event) {
            return event.value(QLatin1String("type")).toString() == QLatin1String("projectorCast")
                && event.value(QLatin1String("shown")).toBool() == shown;
        };
    }
};

TEST_F(HostProjector, TheReceiverShowsTheCastTheSenderFollowsTheRoomsAndStopEndsBoth)
{
    ASSERT_NO_FATAL_FAILURE(startSimulator());
    const QMap<QString, QString> drawn{{"QT_QPA_PLATFORM", "offscreen"}};
    const QString shanghai = uuidOf(QStringLiteral("R-SH-3F-01"));
    const QString beijing = uuidOf(QStringLiteral("R-BJ-2F-07"));

    HostProcess sender;
    ASSERT_TRUE(sender.start(projectorArguments(QStringLiteral("sender"), QStringLiteral("E10001")), drawn));
    ASSERT_TRUE(sender.waitFor(typeIs(QStringLiteral("joined")))) << sender.transcript();
    HostProcess receiver;
    ASSERT_TRUE(receiver.start(projectorArguments(QStringLiteral("receiver"), QStringLiteral("E10003")), drawn));
    ASSERT_TRUE(receiver.waitFor(typeIs(QStringLiteral("joined")))) << receiver.transcript();

    // The receiver plays the sender's screen and tells the meeting service it watches.
    EXPECT_TRUE(receiver.waitFor(cast(true))) << receiver.transcript();
    QString receiverUuid;
    ASSERT_TRUE(waitUntilReported(3, &receiverUuid)) << reports();

    // The rooms and people answer: Shanghai accepts and receives, Beijing declines, Zhou Ming
    // receives for a while and leaves again.
    const QString zhou = uuidOf(QStringLiteral("E10002"));
    sim->pushEvent(28, shanghai);
    sim->pushEvent(30, shanghai);
    sim->pushEvent(29, beijing, {{"reasonCode", 1}});
    sim->pushEvent(30, zhou);
    EXPECT_TRUE(sender.waitFor(row(shanghai, QStringLiteral("Receiving")))) << sender.transcript();
    EXPECT_TRUE(sender.waitFor(row(beijing, QStringLiteral("Declined")))) << sender.transcript();
    const qsizetype zhouReceiving = sender.indexOf(row(zhou, QStringLiteral("Receiving")));
    ASSERT_TRUE(sender.waitFor(row(zhou, QStringLiteral("Receiving")))) << sender.transcript();
    sim->pushEvent(31, zhou);
    EXPECT_TRUE(sender.waitFor(row(zhou, QStringLiteral("Online")), std::max<qsizetype>(zhouReceiving, 0) + 1))
        << sender.transcript();

    // The host ends the cast: the receiver's watching ends with the end message, its button
    // closes it; the sender closes by itself.
    sender.send({{"cmd", "stopFromHost"}});
    ASSERT_TRUE(sender.waitFor(finishWith(0))) << sender.transcript();
    ASSERT_TRUE(sender.waitForExit()) << sender.transcript();
    EXPECT_TRUE(sender.exitedCleanly()) << sender.transcript();
    const auto ended = receiver.waitFor(dialogTitled(QStringLiteral("MULTIPROJECTOR_BY_KICK_TOAST_DIALOG")));
    ASSERT_TRUE(ended) << receiver.transcript();
    receiver.send({{"cmd", "dialog"}, {"id", ended->value(QLatin1String("id"))}, {"button", 1}});
    ASSERT_TRUE(receiver.waitFor(finishWith(0))) << receiver.transcript();
    ASSERT_TRUE(receiver.waitForExit()) << receiver.transcript();
    EXPECT_TRUE(receiver.exitedCleanly()) << receiver.transcript();
}

} // namespace
} // namespace e2e
