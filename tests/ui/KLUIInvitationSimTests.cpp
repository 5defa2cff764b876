// The invitation page, the information and dial-in popovers and the settings against the
// simulator, through the drawn widgets: a search finds a person and inviting them makes them
// ring in the meeting; copying the link puts it on the clipboard; a microphone chosen in the
// device window is the one the next meeting starts with.

#include "KLUIWindowFixture.h"

#include "conference/service/KLConferenceService.h"
#include "conference/devices/KLDeviceManager.h"
#include "conference/registry/KLFeedClient.h"
#include "model/KLParticipant.h"
#include "ui/invitation/KLInvitationWidget.h"
#include "ui/meetinginfo/KLHubPanels.h"
#include "ui/meetinginfo/KLMeetingInfoPanels.h"
#include "ui/settings/KLDeviceSettingsWindow.h"
#include "ui/settings/KLMeetingSettingsPanel.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

namespace {

/// Takes the URLs QDesktopServices would open in the browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened << url; }
};

class UIPanels : public kltest::UIWindowFixture {
protected:
    KLHubPanels *panels() const { return KLHubPanels::current(); }
    template <class Panel>
    Panel *openPopover(const char *control)
    {
        hubButton(control)->click();
        QWidget *popover = layout()->hubWidget()->openPopoverWidget();
        return popover ? popover->findChild<Panel *>() : nullptr;
    }
    std::shared_ptr<KLConferenceService> service() const { return layout()->controller()->service(); }
};

TEST_F(UIPanels, ASearchFindsAPersonAndInvitingThemMakesThemRing)
{
    join({{"meetingTopic", "Release planning"}}, true);
    hubButton("hub-more-button")->click();
    auto *more = layout()->hubWidget()->openPopoverWidget();
    ASSERT_NE(more, nullptr);
    auto *invite = more->findChild<QPushButton *>(QStringLiteral("more-invite"));
    ASSERT_NE(invite, nullptr);
    invite->click();
    KLInvitationWidget *page = panels()->invitation();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->isVisible());
    // Recent contacts come first, while the field is empty.
    ASSERT_TRUE(kltest::waitUntil([&] { return page->resultsList()->count() == 2; }, 10000));
    EXPECT_EQ(page->resultsHeader()->text(), KLLocalizedString(QStringLiteral("SEARCH_RECENT_MEETING_CONTACT")));
    EXPECT_FALSE(page->addButton()->isEnabled());

    page->searchField()->setText(QStringLiteral("Chen"));
    ASSERT_TRUE(kltest::waitUntil([&] {
        return page->resultsHeader()->text() == KLLocalizedString(QStringLiteral("SEARCH_RESULT")) && page->resultsList()->count() == 1;
    }, 10000));
    ASSERT_EQ(sim->requests("/conference/api/findMember").size(), 1);
    EXPECT_EQ(sim->requests("/conference/api/findMember").first().form.value("keyword"), QStringLiteral("Chen"));
    EXPECT_TRUE(page->resultsList()->item(0)->text().startsWith(QStringLiteral("Chen Jing")));

    QListWidgetItem *found = page->resultsList()->item(0);
    Q_EMIT page->resultsList()->itemClicked(found);
    EXPECT_EQ(page->countLabel()->text(), QStringLiteral("Selected(1)"));
    EXPECT_FALSE(page->resultsList()->isVisible());
    ASSERT_TRUE(page->addButton()->isEnabled());
    page->addButton()->click();

    ASSERT_TRUE(kltest::waitUntil([&] { return sim->requests("/conference/api/addMember").size() == 1; }, 10000));
    const QJsonObject data = QJsonDocument::fromJson(sim->requests("/conference/api/addMember").first().form.value("data").toUtf8()).object();
    EXPECT_TRUE(QJsonDocument(data).toJson(QJsonDocument::Compact).contains("E10004"));
    EXPECT_TRUE(kltest::waitUntil([&] { return panels()->invitation() == nullptr; }));

    // The simulator rings them: they appear in the meeting, being called.
    KLFeedPtr invited;
    ASSERT_TRUE(kltest::waitUntil([&] {
        for (const auto &feed : service()->memberList())
            if (feed->participant() && feed->participant()->empId == QLatin1String("E10004"))
                invited = feed;
        return invited && invited->isCalling();
    }, 10000));
    EXPECT_FALSE(invited->isOnline());
}

TEST_F(UIPanels, CopyingTheLinkPutsItOnTheClipboardAndTheDialInLinksToAllNumbers)
{
    join({{"meetingTopic", "Release planning"}}, true);
    QGuiApplication::clipboard()->clear();
    auto *info = openPopover<KLMeetingInfoPanel>("hub-meeting-info-button");
    ASSERT_NE(info, nullptr);
    const QString detailLink = meeting.value("appointmentDetail").toObject().value("shortJumpUrl").toString();
    info->copyButton(KLMeetingInfoViewController::Copy::Link)->click();
    ASSERT_TRUE(kltest::waitUntil([&] { return !QGuiApplication::clipboard()->text().isEmpty(); }));
    const QString copied = QGuiApplication::clipboard()->text();
    ASSERT_FALSE(detailLink.isEmpty());
    EXPECT_EQ(copied, detailLink);
    EXPECT_TRUE(kltest::waitUntil([&] { return layout()->hubWidget()->openPopoverWidget() == nullptr; }));

    // The password copy takes the appointment's password.
    info = openPopover<KLMeetingInfoPanel>("hub-meeting-info-button");
    ASSERT_NE(info, nullptr);
    info->copyButton(KLMeetingInfoViewController::Copy::Password)->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), meeting.value("appointmentDetail").toObject().value("password").toString());

    auto *dialIn = openPopover<KLDialInPanel>("hub-phone-enter-button");
    ASSERT_NE(dialIn, nullptr);
    const QJsonArray numbers = sim->scenario().value("dialInNumbers").toArray();
    ASSERT_GT(numbers.size(), 6);
    ASSERT_EQ(dialIn->lines().size(), 6);
    EXPECT_EQ(dialIn->lines().first(), QStringLiteral("%1    %2").arg(numbers.at(0).toObject().value("countryEn").toString(),
                                                                     numbers.at(0).toObject().value("number").toString()));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    dialIn->moreButton()->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.first().path(), QStringLiteral("/kelvo/web/webvc/conferencePhone"));
    EXPECT_EQ(catcher.opened.first().port(), int(sim->port()));
}

TEST_F(UIPanels, AMicrophoneChosenInTheDeviceWindowIsTheNextMeetingsMicrophone)
{
    join({{"meetingTopic", "Release planning"}}, true);
    auto *settings = openPopover<KLMeetingSettingsPanel>("hub-setting-button");
    ASSERT_NE(settings, nullptr);
    const bool before = UserPersistentData::sharedInstance().readEnterVideoMuteFlag();
    settings->enterVideoMutedBox()->click();
    EXPECT_EQ(UserPersistentData::sharedInstance().readEnterVideoMuteFlag(), !before);
    settings->enterVideoMutedBox()->click();
    settings->deviceButton()->click();
    KLDeviceSettingsWindow *devices = panels()->deviceWindow();
    ASSERT_NE(devices, nullptr);
    ASSERT_TRUE(devices->isVisible());
    EXPECT_EQ(layout()->hubWidget()->openPopoverWidget(), nullptr);

    QComboBox *microphones = devices->list(3);
    ASSERT_GE(microphones->count(), 2) << "the engine lists fewer than two microphones";
    const int other = microphones->currentIndex() == 0 ? 1 : 0;
    const QString chosen = microphones->itemText(other);
    microphones->setCurrentIndex(other);
    Q_EMIT microphones->activated(other);
    EXPECT_EQ(KLDeviceManager::sharedInstance()->currentAudioInput()->deviceName, chosen);
    // The level bar follows the own microphone.
    EXPECT_TRUE(kltest::waitUntil([&] { return devices->levelBar()->value() > 0; }, 5000));
    devices->close();

    // The next meeting: the microphone chosen is the one it starts with.
    entry.reset();
    ASSERT_TRUE(kltest::waitUntil([] { return window() == nullptr; }, 5000));
    join({{"meetingTopic", "Release planning"}}, true);
    ASSERT_TRUE(KLDeviceManager::sharedInstance()->currentAudioInput());
    EXPECT_EQ(KLDeviceManager::sharedInstance()->currentAudioInput()->deviceName, chosen);
}

} // namespace

#include "KLUIInvitationSimTests.moc"
