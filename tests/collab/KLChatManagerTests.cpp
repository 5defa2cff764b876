// The chat's send and display rules: normalizing, cutting long texts into timed pieces, the
// bubble's name, lifetime and replacement, and dropping pieces of a meeting that has gone.

#include "KLCollaborationFakes.h"

#include "collab/KLChatManager.h"
#include "collab/KLChatText.h"

#include <gtest/gtest.h>

using kltest::FakeChatHost;
using kltest::ManualScheduler;
using kltest::RecordingBubble;

namespace {

TEST(ChatText, NormalizesWhitespaceAndLineBreaks)
{
    const struct { const char *name; QString input, expected; } cases[] = {
        {"spaces and a line break around a word", "  hello \n", "hello"},
        {"line break between words joins them", "good\nmorning", "goodmorning"},
        {"CRLF inside and tabs outside", "\tone\r\ntwo\t", "onetwo"},
        {"inner spaces stay", " a b ", "a b"},
        {"only breaks and blanks", " \r\n \n", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(KLChatText::normalized(c.input), c.expected) << c.name;
}

TEST(ChatText, BubbleTextAndSize)
{
    EXPECT_EQ(KLChatText::bubbleText("林晓", "hi"), QString::fromUtf8("林晓\xEF\xBC\x9Ahi"));
    EXPECT_EQ(KLChatText::bubbleText("", "hi"), QString::fromUtf8("\xEF\xBC\x9Ahi"));
    // One line of 17 points gets one step of spacing, two lines two, a partial line none.
    EXPECT_EQ(KLChatText::bubbleSize(100, 16), QSize(176, 50));
    EXPECT_EQ(KLChatText::bubbleSize(100, 17), QSize(176, 54));
    EXPECT_EQ(KLChatText::bubbleSize(240, 34), QSize(316, 74));
}

class ChatManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        chat.initWithConferenceManager(host);
        chat.initChatMessageView(bubble);
    }

    std::shared_ptr<ManualScheduler> clock = std::make_shared<ManualScheduler>();
    std::shared_ptr<FakeChatHost> host = std::make_shared<FakeChatHost>(*clock);
    std::shared_ptr<RecordingBubble> bubble = std::make_shared<RecordingBubble>();
    KLChatManager chat{clock};
};

TEST_F(ChatManager, LongTextsGoOutInPiecesOf113TwoSecondsApart)
{
    const struct { int length; QList<int> pieces; } cases[] = {{1, {1}}, {113, {113}}, {114, {113, 1}}, {227, {113, 113, 1}}, {339, {113, 113, 113}}};
    for (const auto &c : cases) {
        host->sent.clear();
        host->sentAt.clear();
        // Distinct letters per piece, so that order mistakes show.
        QString text;
        for (int i = 0; i < c.length; ++i)
            text.append(QChar('a' + i / 113));
        const double start = clock->now();
        chat.sendChatMessage(text);
        clock->advance(10);
        ASSERT_EQ(host->sent.size(), c.pieces.size()) << c.length;
        for (int i = 0; i < c.pieces.size(); ++i) {
            EXPECT_EQ(host->sent[i], QString(c.pieces[i], QChar('a' + i))) << c.length << " piece " << i;
            EXPECT_DOUBLE_EQ(host->sentAt[i] - start, 2.0 * i) << c.length << " piece " << i;
        }
    }
}

TEST_F(ChatManager, UnitsAreUtf16CodeUnitsAndTextIsNormalizedFirst)
{
    // 57 emoji are 114 code units: two pieces, the second starting with a low surrogate half.
    QString emoji;
    for (int i = 0; i < 57; ++i)
        emoji.append(QString::fromUtf8("\xF0\x9F\x98\x80"));
    chat.sendChatMessage(emoji);
    clock->advance(2);
    EXPECT_EQ(host->sent, (QStringList{emoji.left(113), emoji.mid(113)}));

    host->sent.clear();
    chat.sendChatMessage("  \n  ");
    chat.sendChatMessage(" see\nyou \r\n");
    EXPECT_EQ(host->sent, QStringList{"seeyou"});
}

TEST_F(ChatManager, PendingPiecesDieWithTheMeetingOrANewOne)
{
    const QString longText(300, 'x');
    chat.sendChatMessage(longText);
    chat.meetingEnded();
    clock->advance(10);
    EXPECT_EQ(host->sent.size(), 1);

    host->sent.clear();
    chat.sendChatMessage(longText);
    auto next = std::make_shared<FakeChatHost>(*clock);
    chat.initWithConferenceManager(next);
    clock->advance(10);
    EXPECT_EQ(host->sent.size(), 1);
    EXPECT_TRUE(next->sent.isEmpty()) << "pieces of the old meeting reached the new one";

    next->sent.clear();
    chat.sendChatMessage(longText);
    next->active = false; // the meeting is leaving
    clock->advance(10);
    EXPECT_EQ(next->sent.size(), 1);
    EXPECT_EQ(chat.pendingPieceCount(), 0);
}

// Without a view the manager still tracks what it would show.
TEST_F(ChatManager, BubbleShowsNameAndTextAndHidesAfterFiveSeconds)
{
    for (bool withView : {true, false}) {
        SCOPED_TRACE(withView);
        bubble->calls.clear();
        chat.initChatMessageView(withView ? bubble : nullptr);
        host->names.insert("u-1", "Ann");
        chat.pushChatMessage(QJsonObject{{"source", "u-1"}, {"text", "hello"}});
        EXPECT_EQ(chat.shownContent().text, QString::fromUtf8("Ann\xEF\xBC\x9Ahello"));
        EXPECT_EQ(chat.currentMessage().value("text"), "hello");
        clock->advance(4.9);
        EXPECT_FALSE(chat.shownContent().text.isEmpty());
        clock->advance(0.2);
        EXPECT_TRUE(chat.currentMessage().isEmpty());
        EXPECT_TRUE(chat.shownContent().text.isEmpty());
        const QStringList shown{QString::fromUtf8("show Ann\xEF\xBC\x9Ahello from u-1"), "hide"};
        EXPECT_EQ(bubble->calls, withView ? shown : QStringList{});
    }
}

TEST_F(ChatManager, ANewerMessageReplacesTheShownOneAndStaysFiveSeconds)
{
    host->names.insert("u-1", "Ann");
    host->names.insert("u-2", "Bo");
    chat.pushChatMessage(QJsonObject{{"source", "u-1"}, {"text", "first"}});
    clock->advance(3);
    chat.pushChatMessage(QJsonObject{{"source", "u-2"}, {"text", "second"}});
    clock->advance(4); // 7 s after the first, 4 s after the second
    EXPECT_EQ(bubble->calls.size(), 2) << bubble->calls.join(" | ").toStdString();
    EXPECT_EQ(chat.shownContent().senderUuid, "u-2");
    EXPECT_EQ(chat.currentMessage().value("text"), "second");
    clock->advance(1.1);
    EXPECT_EQ(bubble->calls.last(), "hide");
    EXPECT_EQ(clock->pending(), 0);
}

TEST_F(ChatManager, UnknownSendersShowWithAnEmptyNameAndNonObjectsAreIgnored)
{
    chat.pushChatMessage(QJsonObject{{"source", "stranger"}, {"text", "hi"}});
    EXPECT_EQ(chat.shownContent(),
              (KLChatBubbleContent{QString::fromUtf8("\xEF\xBC\x9Ahi"), "stranger"}));

    chat.pushChatMessage(QJsonValue("just text"));
    chat.pushChatMessage(QJsonValue());
    EXPECT_EQ(chat.currentMessage().value("source"), "stranger");
    EXPECT_EQ(bubble->calls.size(), 1);

    // Wrong types inside the message read as empty texts rather than failing.
    chat.pushChatMessage(QJsonObject{{"source", 7}, {"text", QJsonArray{1}}});
    EXPECT_EQ(chat.shownContent().text, QString::fromUtf8("\xEF\xBC\x9A"));
}

} // namespace
