// The toolbar of a drawn meeting against the simulator: a press on the microphone button goes
// over the wire as the member's mute request, and the button turns to its muted look.

#include "KLUITileSimFixture.h"

#include "conference/registry/KLFeedClient.h"
#include "ui/toolbar/KLHubButtonWidget.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QApplication>
#include <QMouseEvent>

namespace {

/// A press and release of the left button in the middle of `widget`, as the window system sends them.
void clickWithMouse(QWidget *widget)
{
    const QPointF at = QPointF(widget->rect().center());
    const QPointF global = QPointF(widget->mapToGlobal(widget->rect().center()));
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

class DrawnToolbar : public kltest::DrawnMeetingFixture {
protected:
    /// Mute requests the client sent for `member` with `status`.
    static int muteRequests(const QString &member, bool status)
    {
        int count = 0;
        for (const auto &frame : sim->signallingFrames()) {
            const QJsonObject message = QJsonDocument::fromJson(frame.text).object();
            const QJsonObject body = message.value("body").toObject();
            const QJsonValue sent = body.value("status");
            const bool sentStatus = sent.isBool() ? sent.toBool() : sent.toString() == QLatin1String("true");
            if (message.value("topic").toString() == QLatin1String("meeting_control")
                && message.value("messageType").toString() == QLatin1String("mute")
                && body.value("memberUuid").toString() == member && sentStatus == status)
                ++count;
        }
        return count;
    }
};

TEST_F(DrawnToolbar, PressingTheMicrophoneButtonMutesOnTheServer)
{
    joinDrawn();
    ASSERT_TRUE(waitEntered());
    const auto own = service->publisher();
    ASSERT_TRUE(own);
    // The service tells the meeting the user is in; a push before the member list is read is
    // dropped, so it is repeated until heard.
    for (int attempt = 0; attempt < 20 && !own->isOnline(); ++attempt) {
        sim->pushEvent(1, own->uuid());
        kltest::waitUntil([&] { return own->isOnline(); }, 500);
    }
    ASSERT_TRUE(own->isOnline());
    KLHubButtonWidget *mic = hubWidget->button(QStringLiteral("hub-mute-button"));
    ASSERT_NE(mic, nullptr);
    ASSERT_TRUE(kltest::waitUntil([&] { return mic->drawnState().icon == QStringLiteral("conf_tool_audio_normal"); }));
    // Entering may already have told the server the microphone's state (the own row is online
    // from the first member list on); the press adds exactly one request of its own.
    const int mutesBefore = muteRequests(own->uuid(), true);
    const int unmutesBefore = muteRequests(own->uuid(), false);

    clickWithMouse(mic);
    ASSERT_TRUE(kltest::waitUntil([&] { return muteRequests(own->uuid(), true) == mutesBefore + 1; }, 10000));
    ASSERT_TRUE(kltest::waitUntil([&] { return mic->drawnState().icon == QStringLiteral("conf_tool_audio_mute"); }));
    EXPECT_EQ(mic->currentBackground(), QColor("#FF6910"));
    EXPECT_FALSE(own->audioEnabled());

    // And back: the unmute request, the normal look.
    clickWithMouse(mic);
    ASSERT_TRUE(kltest::waitUntil([&] { return muteRequests(own->uuid(), false) == unmutesBefore + 1; }, 10000));
    ASSERT_TRUE(kltest::waitUntil([&] { return mic->drawnState().icon == QStringLiteral("conf_tool_audio_normal"); }));
}

} // namespace
