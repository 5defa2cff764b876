// Chat typed into the sample host's control: the same rules as the chat input, checked where
// the messages end up — the data channel the media server relays and the sender's own bubble.

#include "KLHostE2EFixture.h"

#include "KLTestSupport.h"

namespace e2e {
namespace {

/// The chat texts the host sent over the data channel, in order.
QStringList sentChatTexts(const kelvosim::MeetingSim &sim)
{
    QStringList texts;
    for (const kelvosim::SimMediaFrame &frame : sim.mediaFrames()) {
        const QJsonObject data = frame.message.value(QLatin1String("data")).toObject();
        if (frame.message.value(QLatin1String("type")).toString() == QLatin1String("data")
            && data.value(QLatin1String("type")).toString() == QLatin1String("chatMsg"))
            texts.append(data.value(QLatin1String("content")).toObject().value(QLatin1String("text")).toString());
    }
    return texts;
}

TEST_F(HostE2ETest, ChatFromTheHostFollowsTheChatInputsRules)
{
    ASSERT_NO_FATAL_FAILURE(launchHost());
    ASSERT_NO_FATAL_FAILURE(awaitJoined());
    ASSERT_NO_FATAL_FAILURE(awaitOwnStreamPublished());

    // Blanks and line breaks only: nothing to send. Then a text with both around and inside.
    host->send({{"cmd", "chat"}, {"text", " \r\n\t "}});
    host->send({{"cmd", "chat"}, {"text", "  good\r\nbye \n"}});
    ASSERT_TRUE(kltest::waitUntil([&] { return !sentChatTexts(*sim).isEmpty(); }, HostProcess::kDeadlineMs))
        << host->transcript();
    EXPECT_EQ(sentChatTexts(*sim).join(QLatin1Char('|')), QStringLiteral("goodbye"));
    const auto bubble = await(typeIs(QStringLiteral("chat")));
    ASSERT_TRUE(bubble) << host->transcript();
    EXPECT_TRUE(bubble->value(QLatin1String("text")).toString().endsWith(QStringLiteral("\uFF1Agoodbye")))
        << host->transcript();

    // 114 characters go as 113 and the one left over, the second a moment later.
    const QString longText = QString(113, QLatin1Char('a')) + QLatin1Char('z');
    host->send({{"cmd", "chat"}, {"text", longText}});
    ASSERT_TRUE(kltest::waitUntil([&] { return sentChatTexts(*sim).size() == 3; }, HostProcess::kDeadlineMs))
        << host->transcript();
    EXPECT_EQ(sentChatTexts(*sim).join(QLatin1Char('|')),
              QStringLiteral("goodbye|") + QString(113, QLatin1Char('a')) + QStringLiteral("|z"));

    host->send({{"cmd", "close"}});
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
}

} // namespace
} // namespace e2e
