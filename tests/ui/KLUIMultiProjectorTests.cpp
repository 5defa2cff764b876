// The multi-projector window drawn, started through the public entry object against the
// simulator: a sender sees the people of the meeting with where they are and follows a member
// starting to receive; its stop button asks, and ending there ends the cast for the viewers on
// the server and closes the window with the host told. A receiver shows the cast filling the
// window while there is one.

#include "KLUIWindowFixture.h"

#include "ui/multiprojector/KLMultiProjectorWidgetFactory.h"
#include "ui/multiprojector/KLMultiProjectorWindowWidget.h"
#include "ui/video/KLVideoRenderWidget.h"

#include <KelvoUISDK/KLUISDKMultiProjectorWindow.h>

namespace {

using kltest::waitUntil;

class UIMultiProjector : public kltest::UIWindowFixture {
protected:
    void TearDown() override
    {
        projector.reset();
        waitUntil([] { return KLMultiProjectorWidgetFactory::openWindow() == nullptr; }, 3000);
        UIWindowFixture::TearDown();
    }
    KLMultiProjectorWindowWidget *start(const QString &mode)
    {
        KLTimeScale::setFactor(0.2);
        projector = std::make_unique<KLUISDKMultiProjectorWindow>(meeting.value("meetingUUID").toString(), mode, false,
                                                                  QStringLiteral("P-2024"), meetingDictionary(true), host);
        projector->start();
        return KLMultiProjectorWidgetFactory::openWindow();
    }
    static QString memberUuid(int index)
    {
        return meeting.value("members").toArray().at(index).toObject().value("memberUUID").toString();
    }
    static QString presenceOf(const KLMultiProjectorWindowWidget *window, const QString &uuid)
    {
        for (const auto &row : window->rows())
            if (row.uuid == uuid)
                return row.presenceKey;
        return {};
    }
    std::unique_ptr<KLUISDKMultiProjectorWindow> projector;
};

TEST_F(UIMultiProjector, TheSenderFollowsWhoReceivesAndItsStopEndsTheCastForThem)
{
    KLMultiProjectorWindowWidget *window = start(QStringLiteral("sender"));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isSender());
    EXPECT_TRUE(projector->isSender());
    ASSERT_TRUE(waitUntil([this] { return host->heard().contains("joined"); }, 20000)) << "not joined";
    ASSERT_TRUE(waitUntil([&] { return window->isContentShown(); }));
    EXPECT_TRUE(waitUntil([&] { return window->castStateText() == KLLocalizedString("MULTIPROJECTOR_CASTING"); }, 10000))
        << window->castStateText().toStdString();

    const QString zhou = memberUuid(1); // online in the scenario
    ASSERT_TRUE(waitUntil([&] { return presenceOf(window, zhou) == QLatin1String("MULTIPROJECTOR_PRESENCE_ONLINE"); }, 10000))
        << presenceOf(window, zhou).toStdString() << " of " << window->rows().size() << " rows";
    const auto rooms = window->rows();
    ASSERT_GE(rooms.size(), 2);
    EXPECT_TRUE(rooms.first().room) << "rooms come first";
    sim->pushEvent(30, zhou); // starts receiving the cast
    EXPECT_TRUE(waitUntil([&] { return presenceOf(window, zhou) == QLatin1String("MULTIPROJECTOR_PRESENCE_RECEIVING"); }, 10000))
        << presenceOf(window, zhou).toStdString();

    const QString beijing = meeting.value("rooms").toArray().at(1).toObject().value("memberUUID").toString();
    sim->pushEvent(29, beijing, {{"reasonCode", 1}}); // the room turns the cast down
    EXPECT_TRUE(waitUntil([&] { return presenceOf(window, beijing) == QLatin1String("MULTIPROJECTOR_PRESENCE_DECLINED"); }, 10000))
        << presenceOf(window, beijing).toStdString();

    sim->clearRequests();
    window->stopButton()->click();
    KLDialogWidget *dialog = window->dialogWidget();
    ASSERT_TRUE(waitUntil([&] { return dialog->isDialogShown(); }));
    EXPECT_EQ(dialog->titleLabel()->text(), KLLocalizedString("MULTIPROJECTOR_STOP_PROJECTOR"));
    dialog->button(KLDialogButton::First)->click(); // end the cast
    ASSERT_TRUE(waitUntil([] { return !sim->requests("/conference/api/v2/shareMultiScreenMember").isEmpty(); }, 10000));
    const auto ended = sim->requests("/conference/api/v2/shareMultiScreenMember").first();
    EXPECT_EQ(ended.form.value("type"), QStringLiteral("2"));
    EXPECT_TRUE(ended.form.value("targetMemberUUID").contains(zhou)) << ended.form.value("targetMemberUUID").toStdString();
    EXPECT_TRUE(waitUntil([this] { return host->heard().contains("finish 0"); }, 10000));
    EXPECT_TRUE(waitUntil([] { return KLMultiProjectorWidgetFactory::openWindow() == nullptr; }));
    EXPECT_FALSE(projector->isRunning());
}

TEST_F(UIMultiProjector, TheReceiverShowsTheCastFillingTheWindowWhileThereIsOne)
{
    KLLocalization::setLanguage(KLLocalization::Language::Chinese);
    KLMultiProjectorWindowWidget *window = start(QStringLiteral("receiver"));
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isSender());
    ASSERT_TRUE(waitUntil([this] { return host->heard().contains("joined"); }, 20000)) << "not joined";
    ASSERT_TRUE(waitUntil([&] { return window->isContentShown(); }));
    EXPECT_FALSE(window->castVideo()->isVisible()) << "no cast yet";
    // Watching is reported to the meeting service.
    EXPECT_TRUE(waitUntil([] {
        for (const auto &request : sim->requests("/conference/api/v2/notifyMultiScreen"))
            if (request.form.value("status") == QLatin1String("3"))
                return true;
        return false;
    }, 10000)) << sim->requests("/conference/api/v2/notifyMultiScreen").size();

    const QString stream = QStringLiteral("screen-") + memberUuid(1);
    sim->addRemoteStream(stream, QString::fromLatin1(QByteArray("周明").toBase64()), true);
    ASSERT_TRUE(waitUntil([&] { return window->castVideo()->isVisible() && window->castVideo()->hasFrame(); }, 10000));
    EXPECT_EQ(window->castVideo()->size(), window->size()) << "the cast fills the window";

    sim->removeRemoteStream(stream);
    EXPECT_TRUE(waitUntil([&] { return !window->castVideo()->isVisible(); }, 10000));

    window->close(); // the user closes the window: the session is left and the host told
    EXPECT_TRUE(waitUntil([this] { return host->heard().contains("finish 0"); }, 10000));
    EXPECT_FALSE(projector->isRunning());
}

} // namespace
