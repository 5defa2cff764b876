// The meeting-notes panel in the drawn window, joined to the simulator: opened by the toolbar,
// started with the user's choices, captions from the meeting in its page, stopped after the
// confirmation.

#include "../ui/KLUIWindowFixture.h"

#include "ui/notes/KLMeetingNotePanelWidget.h"
#include "ui/web/KLWebPageView.h"

#include <QCheckBox>
#include <QUrlQuery>
#include <QWebEnginePage>

namespace {

using kltest::waitUntil;

constexpr int kPageMs = 20000;

class NotePanelTest : public kltest::UIWindowFixture {
protected:
    static QString pageText(KLWebPageView *view)
    {
        QString text;
        bool done = false;
        view->page()->runJavaScript(QStringLiteral("document.body.textContent"), [&](const QVariant &value) {
            text = value.toString();
            done = true;
        });
        waitUntil([&] { return done; }, kPageMs);
        return text;
    }

    // The form the simulator received last on `path`.
    static QUrlQuery lastForm(const QString &path)
    {
        const auto requests = sim->requests(path);
        return requests.isEmpty() ? QUrlQuery() : QUrlQuery(QString::fromUtf8(requests.last().body));
    }
};

TEST_F(NotePanelTest, StartedFromTheToolbarItShowsTheMeetingsCaptionsUntilStopped)
{
    // Staff meetings carry the note taker's operations (the meeting API over HTTP).
    ASSERT_NO_FATAL_FAILURE(join({{"meetingTopic", "Release planning"}}, true));
    KLHubButtonWidget *note = hubButton("hub-meetingNote-button");
    ASSERT_TRUE(note);
    EXPECT_EQ(layout()->notePanel(), nullptr);
    note->click();
    ASSERT_TRUE(waitUntil([] { return layout()->notePanel() && layout()->notePanel()->isVisible(); }));
    KLMeetingNotePanelWidget *panel = layout()->notePanel();

    // The start view: mail ticked, the interface's language chosen, no consent.
    EXPECT_FALSE(panel->showsCaptionArea());
    EXPECT_TRUE(panel->sendMailBox()->isChecked());
    EXPECT_FALSE(panel->trainBox()->isChecked());
    EXPECT_TRUE(panel->englishButton()->isChecked());
    panel->chineseButton()->click();
    panel->sendMailBox()->setChecked(false);
    panel->trainBox()->setChecked(true);
    panel->startButton()->click();

    const QString open = QStringLiteral("/conference/api/v3/openSummary");
    ASSERT_TRUE(waitUntil([&] { return !sim->requests(open).isEmpty(); }));
    const QUrlQuery form = lastForm(open);
    EXPECT_EQ(form.queryItemValue(QStringLiteral("lang")), QStringLiteral("zh"));
    EXPECT_EQ(form.queryItemValue(QStringLiteral("isTrain")), QStringLiteral("true"));
    EXPECT_EQ(form.queryItemValue(QStringLiteral("sendMail")), QStringLiteral("false"));

    // The caption area with the simulator's page, addressed for an English interface.
    ASSERT_TRUE(waitUntil([&] { return panel->showsCaptionArea(); }));
    // Until the page has drawn, its place says it is loading: the open panel is never blank.
    bool blank = false;
    ASSERT_TRUE(waitUntil([&] {
        KLWebPageView *page = panel->captionPage();
        if (!page->hasLoaded() && page->loadingText().isEmpty() && page->failureText().isEmpty())
            blank = true;
        return page->hasLoaded();
    }, kPageMs)) << panel->captionPage()->failureText().toStdString();
    EXPECT_FALSE(blank);
    EXPECT_TRUE(panel->captionPage()->loadingText().isEmpty()) << "the page itself shows once loaded";
    const QUrlQuery address(panel->captionPage()->requestedUrl());
    EXPECT_EQ(address.queryItemValue(QStringLiteral("translateLang")), QStringLiteral("en"));
    EXPECT_EQ(address.queryItemValue(QStringLiteral("speakLang")), QStringLiteral("zh"));

    // A sentence recognised in the meeting shows in the page, with its speaker.
    const QJsonObject speaker = meeting.value("members").toArray().at(1).toObject();
    sim->pushSummary(speaker.value("memberUUID").toString(), {{"asrText", "Ship it on Friday, it's ready"}});
    ASSERT_TRUE(waitUntil([&] { return pageText(panel->captionPage()).contains("Ship it on Friday, it's ready"); }, kPageMs))
        << pageText(panel->captionPage()).toStdString();
    // The line carries the speaker's name as the meeting knows it from the speaker's feed.
    bool named = false;
    panel->captionPage()->page()->runJavaScript(QStringLiteral("document.querySelector('.caption .speaker').textContent"),
                                                [&](const QVariant &v) { named = v.toString().size() > 1; });
    EXPECT_TRUE(waitUntil([&] { return named; }));

    // Stop: the popover's button asks first; the confirmation stops and the start view returns.
    panel->openSettings();
    ASSERT_TRUE(panel->settingsPopover() && panel->settingsPopover()->isVisible());
    auto *stop = panel->settingsPopover()->findChild<QPushButton *>(QStringLiteral("meeting-note-stop"));
    ASSERT_TRUE(stop);
    stop->click();
    ASSERT_TRUE(waitUntil([] { return dialog()->isVisible(); }));
    EXPECT_TRUE(sim->requests(QStringLiteral("/conference/api/v3/stopSummary")).isEmpty()) << "nothing stops before the confirmation";
    auto *confirm = dialog()->findChild<QPushButton *>(QStringLiteral("dialog-first-button"));
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->text(), KLLocalizedString(QStringLiteral("STOP_NOTE")));
    confirm->click();
    ASSERT_TRUE(waitUntil([] { return !sim->requests(QStringLiteral("/conference/api/v3/stopSummary")).isEmpty(); }));
    ASSERT_TRUE(waitUntil([&] { return !panel->showsCaptionArea(); }));

    // The close button hides the panel; the toolbar brings it back.
    panel->findChild<QToolButton *>(QStringLiteral("meeting-note-close"))->click();
    EXPECT_FALSE(panel->isVisible());
    note->click();
    ASSERT_TRUE(waitUntil([&] { return panel->isVisible(); }));
    EXPECT_EQ(layout()->notePanel(), panel);
}

} // namespace
