// The public meeting-code entry page: the join button's state, the errors under the fields and
// how typing clears them, a valid link handed to the host, and a required update.

#include <KelvoUISDK/KLUISDKMeetingCodeEntryView.h>

#include "runtime/KLLocalization.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

namespace {

TEST(UICodeEntry, ChecksTheFieldsAndHandsAValidLinkToTheHost)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    KLUISDKMeetingCodeEntryView page;
    QStringList entered;
    page.setEnterMeetingHandler([&](const QString &meetingId) { entered << meetingId; });
    page.setDisplayName(QString());
    page.setMeetingCode(QStringLiteral("12345"));
    EXPECT_FALSE(page.isJoinEnabled());
    page.findChild<QPushButton *>(QStringLiteral("code-entry-join"))->click();
    EXPECT_TRUE(page.codeError().isEmpty()) << "an empty name makes the button do nothing";

    page.setDisplayName(QStringLiteral("Ada"));
    ASSERT_TRUE(page.isJoinEnabled());
    page.join();
    EXPECT_EQ(page.codeError(), KLLocalizedString(QStringLiteral("ERROR_CODE_ERROR")));
    EXPECT_TRUE(page.nameError().isEmpty());

    // Typing in the field takes the error away.
    page.findChild<QLineEdit *>(QStringLiteral("code-entry-code"))->insert(QStringLiteral("6"));
    EXPECT_TRUE(page.codeError().isEmpty());

    page.setDisplayName(QStringLiteral("   "));
    page.join();
    EXPECT_EQ(page.nameError(), KLLocalizedString(QStringLiteral("ERROR_NAME_ONLY_BLANK")));
    EXPECT_TRUE(page.codeError().isEmpty()) << "123456 is a meeting code";
    EXPECT_TRUE(entered.isEmpty());

    const QString uuid = QStringLiteral("5F3C2A9E-8D41-4B7A-9C62-1E0D7A4B8F21");
    page.setDisplayName(QStringLiteral("Ada"));
    page.setMeetingCode(QStringLiteral("https://meet.example.test/join?uuid=") + uuid + QStringLiteral("/"));
    page.join();
    EXPECT_EQ(entered, QStringList{uuid});
    EXPECT_TRUE(page.nameError().isEmpty());

    page.setMeetingCode(QStringLiteral("https://meet.example.test/join"));
    page.join();
    EXPECT_EQ(page.codeError(), KLLocalizedString(QStringLiteral("ERROR_URL_INVALID")));

    // A newer client is required: the download offer instead of any check.
    page.setShouldUpdate(true, QStringLiteral("https://meet.example.test/download"));
    page.setMeetingCode(QStringLiteral("1"));
    page.join();
    EXPECT_TRUE(page.isDownloadShown());
    EXPECT_TRUE(page.codeError().isEmpty());
    EXPECT_EQ(entered.size(), 1);

    // The remembered name fills the next page.
    KLUISDKMeetingCodeEntryView next;
    EXPECT_EQ(next.displayName(), QStringLiteral("Ada"));
}

} // namespace
