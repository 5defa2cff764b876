// The chat drawn in the meeting window against the simulator: a text typed into the panel and
// sent reaches the media server's data channel and shows in the sender's own bubble; a message
// from another participant shows with their name; a click in the member panel's background
// hides the input again. The bubble, the notices and the big view's name never cover each
// other, whatever the window's size.

#include "KLSimChat.h"
#include "KLUIWindowFixture.h"

#include "ui/chat/KLChatBubbleWidget.h"
#include "ui/chat/KLChatPanelWidget.h"
#include "ui/memberlist/KLMeetingSidePanel.h"
#include "ui/memberlist/KLMemberListWidget.h"
#include "ui/tiles/KLMeetingBigView.h"
#include "ui/tiles/KLMeetingVideoArea.h"
#include "ui/toast/KLToastWidget.h"

#include "presentation/KLToastManager.h"

#include <QLineEdit>
#include <QMouseEvent>

namespace {

using kltest::UIWindowFixture;
using kltest::sentChatTexts;
using kltest::waitUntil;

class UIChat : public UIWindowFixture {
protected:
    /// The name the bubble gives a member: its alias, else its last name, else its display name.
    static QString shortName(const QJsonObject &member)
    {
        for (const char *key : {"aliasName", "lastName", "displayName"})
            if (!member.value(QLatin1String(key)).toString().isEmpty())
                return member.value(QLatin1String(key)).toString();
        return {};
    }
    static KLChatPanelWidget *chat() { return layout()->sidePanel()->chatPanel(); }
    static KLChatBubbleWidget *bubble() { return layout()->sidePanel()->chatBubble(); }
};

TEST_F(UIChat, TypedMessageReachesTheOtherSideAndShowsInTheBubble)
{
    join();
    ASSERT_TRUE(waitUntil([] { return sim->mediaClients() > 0; }, 10000));
    EXPECT_TRUE(chat()->chatButton()->isVisible());
    EXPECT_FALSE(chat()->inputArea()->isVisible());
    chat()->chatButton()->click();
    ASSERT_TRUE(waitUntil([] { return chat()->inputArea()->isVisible(); }));
    EXPECT_FALSE(chat()->chatButton()->isVisible());
    EXPECT_FALSE(chat()->sendButton()->isEnabled()) << "nothing to send yet";

    chat()->textField()->setText(QStringLiteral("  hello\neveryone  "));
    ASSERT_TRUE(chat()->sendButton()->isEnabled());
    chat()->sendButton()->click();
    EXPECT_TRUE(chat()->textField()->text().isEmpty());
    ASSERT_TRUE(waitUntil([this] { return !sentChatTexts(*sim).isEmpty(); }, 10000));
    EXPECT_EQ(sentChatTexts(*sim), QStringList{"helloeveryone"});
    ASSERT_TRUE(waitUntil([] { return bubble()->isVisible(); }));
    EXPECT_EQ(bubble()->textLabel()->text(), shortName(meeting.value("members").toArray().at(0).toObject()) + QChar(0xFF1A) + "helloeveryone");
    EXPECT_EQ(bubble()->senderUuid(), meeting.value("selfMemberUUID").toString());

    // Enter sends too.
    chat()->textField()->setText(QStringLiteral("second"));
    kltest::pressKey(chat()->textField(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([this] { return sentChatTexts(*sim).size() == 2; }, 10000));
    EXPECT_EQ(sentChatTexts(*sim).last(), "second");

    // Someone else's message replaces the bubble's, with their name.
    const QJsonObject other = meeting.value("members").toArray().at(1).toObject();
    sim->pushMediaEvent({{"type", "data"},
                         {"from", other.value("memberUUID").toString()},
                         {"data", QJsonObject{{"type", "chatMsg"},
                                              {"content", QJsonObject{{"source", other.value("memberUUID").toString()},
                                                                      {"text", "got it"}}}}}});
    ASSERT_TRUE(waitUntil([] { return bubble()->textLabel()->text().endsWith("got it"); }, 10000));
    EXPECT_EQ(bubble()->textLabel()->text(), shortName(other) + QChar(0xFF1A) + "got it");

    // A click in the member panel's background hides the input.
    KLMemberListWidget *list = layout()->sidePanel()->memberList();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, list->height() - 5), list->mapToGlobal(QPointF(5, list->height() - 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &press);
    ASSERT_TRUE(waitUntil([] { return !chat()->inputArea()->isVisible(); }));
    EXPECT_TRUE(chat()->chatButton()->isVisible());
}

TEST_F(UIChat, BubbleNoticesAndTheBigViewsNameNeverCoverEachOther)
{
    join();
    ASSERT_TRUE(waitUntil([] { return sim->mediaClients() > 0; }, 10000));
    KLMeetingBigView *big = layout()->videoArea()->bigView();
    ASSERT_NE(big, nullptr);
    ASSERT_TRUE(waitUntil([&] { return big->nameLabel()->isVisible(); }, 10000));
    const QJsonObject other = meeting.value("members").toArray().at(1).toObject();
    sim->pushMediaEvent({{"type", "data"},
                         {"from", other.value("memberUUID").toString()},
                         {"data", QJsonObject{{"type", "chatMsg"},
                                              {"content", QJsonObject{{"source", other.value("memberUUID").toString()},
                                                                      {"text", "The design review is done, two small fixes left."}}}}}});
    ASSERT_TRUE(waitUntil([] { return bubble()->isVisible(); }, 10000));
    KLToastPill *toast = layout()->toasts()->toast();
    KLToastPill *net = layout()->toasts()->netToast();
    KLToastManager::shared().pushToastMessage(KLToastMessage::custom(QStringLiteral("Zhou Ming started sharing")));
    layout()->toasts()->showNetToast(QStringLiteral("The network is poor"), KLToastStyle{}, -40);
    ASSERT_TRUE(waitUntil([&] { return toast->isVisible(); }));

    QWidget *page = bubble()->parentWidget();
    const auto inPage = [page](QWidget *widget) { return QRect(widget->mapTo(page, QPoint(0, 0)), widget->size()); };
    for (const QSize size : {QSize(1280, 800), QSize(900, 640), QSize(1600, 1000)}) {
        window()->resize(size);
        kltest::pumpEvents(50);
        const QRect name = inPage(big->nameLabel());
        const QRect chat = bubble()->geometry();
        const QRect view = inPage(big);
        const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
        EXPECT_TRUE(view.contains(chat)) << at;
        EXPECT_FALSE(chat.intersects(name)) << at << ": the bubble stands above the name";
        EXPECT_FALSE(toast->geometry().intersects(chat)) << at << ": the toast stands above the bubble";
        EXPECT_FALSE(toast->geometry().intersects(name)) << at;
        EXPECT_FALSE(net->geometry().intersects(chat)) << at;
        EXPECT_EQ(net->geometry().bottom(), toast->geometry().bottom() - 40) << at << ": still 40 points higher";
        EXPECT_NEAR(toast->geometry().center().x(), view.center().x(), 1) << at;
    }
    // Once the bubble goes the notices come back down to their own place.
    const int raised = toast->geometry().bottom();
    bubble()->hideMessage();
    kltest::pumpEvents(20);
    EXPECT_GT(toast->geometry().bottom(), raised);
    EXPECT_FALSE(toast->geometry().intersects(inPage(big->nameLabel())));
}

} // namespace
