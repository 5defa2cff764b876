// The sample host's command line: each option lands in the dictionary, the store or the run
// settings with the type a host would give it, and wrong input is refused with its reason.

#include "HostOptions.h"

#include <gtest/gtest.h>

namespace {

using kelvohost::parseHostOptions;

TEST(HostOptions, EveryOptionLandsWhereTheHostPutsIt)
{
    QString error;
    const auto options = parseHostOptions(
        {"--meeting-uuid", "M-1", "--member-uuid=U-1", "--token", "T", "--domain", "d.example",
         "--internal", "--mute-audio=false", "--mute-video", "--allow-no-mic=false", "--ca-file", "/ca.pem",
         "--meeting", "apiBaseUrl=https://api.example/x?a=b", "--meeting", "speakerEnabled=0",
         "--gui", "inviteMember=true", "--store", "KEY_WORK_ID=E1", "--store=KEY_PIPE_NAME=pipe",
         "--language", "zh", "--headless", "--events", "-", "--control", "/tmp/control", "--sim", "demo"},
        &error);
    ASSERT_TRUE(options) << error.toStdString();
    const QVariantMap &meeting = options->meeting;
    EXPECT_EQ(meeting.value("meetingUUID"), QVariant("M-1"));
    EXPECT_EQ(meeting.value("memberUUID"), QVariant("U-1"));
    EXPECT_EQ(meeting.value("meetingToken"), QVariant("T"));
    EXPECT_EQ(meeting.value("meetingDomain"), QVariant("d.example"));
    EXPECT_EQ(meeting.value("caFile"), QVariant("/ca.pem"));
    EXPECT_EQ(meeting.value("vanInternal"), QVariant(true));
    EXPECT_EQ(meeting.value("muteAudio"), QVariant(false));
    EXPECT_EQ(meeting.value("muteVideo"), QVariant(true));
    EXPECT_EQ(meeting.value("allowNoMic"), QVariant(false));
    EXPECT_EQ(meeting.value("apiBaseUrl"), QVariant("https://api.example/x?a=b")) << "only the first = splits";
    EXPECT_EQ(meeting.value("speakerEnabled").typeId(), QMetaType::LongLong) << "numbers stay numbers";
    EXPECT_EQ(options->gui.value("inviteMember"), QVariant(true));
    ASSERT_EQ(options->store.size(), 2u);
    EXPECT_EQ(options->store[1].first, "KEY_PIPE_NAME");
    EXPECT_EQ(options->store[1].second, "pipe");
    EXPECT_EQ(options->language, "zh");
    EXPECT_TRUE(options->headless);
    EXPECT_EQ(options->eventsPath, "-");
    EXPECT_EQ(options->controlPath, "/tmp/control");
    EXPECT_TRUE(options->useSimulator);
    EXPECT_EQ(options->simScenario, "demo");

    // The scenario is optional: an option right after --sim is not taken for one.
    const auto plain = parseHostOptions({"--sim", "--headless"}, &error);
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->useSimulator && plain->headless);
    EXPECT_TRUE(plain->simScenario.isEmpty());
}

TEST(HostOptions, WrongInputIsRefusedWithItsReason)
{
    const struct { QStringList arguments; const char *reason; } cases[] = {
        {{"--token"}, "needs a value"},
        {{"--allow-no-mic=maybe"}, "true or false"},
        {{"--allow-no-mic"}, "true or false"},
        {{"--mute-audio=yes"}, "true or false"},
        {{"--gui", "inviteMember"}, "KEY=VALUE"},
        {{"--store", "=value"}, "KEY=VALUE"},
        {{"--language", "fr"}, "en or zh"},
        {{"--headless=1"}, "unknown option"},
        {{"meeting-uuid"}, "unknown option"},
        {{"--projector", "viewer"}, "sender or receiver"},
        {{"--projector"}, "sender or receiver"},
        {{"--project-id"}, "needs a value"},
    };
    for (const auto &c : cases) {
        QString error;
        EXPECT_FALSE(parseHostOptions(c.arguments, &error)) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

TEST(HostOptions, AProjectorRunTakesItsModeProjectAndAudio)
{
    QString error;
    const auto options = parseHostOptions({"--sim", "--projector", "receiver", "--project-id=P-7", "--with-audio"}, &error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_EQ(options->projector, QStringLiteral("receiver"));
    EXPECT_EQ(options->projectId, QStringLiteral("P-7"));
    EXPECT_TRUE(options->withAudio);
    const auto meeting = parseHostOptions({"--sim"}, &error);
    ASSERT_TRUE(meeting);
    EXPECT_TRUE(meeting->projector.isEmpty()) << "without --projector the host runs the meeting";
    EXPECT_FALSE(meeting->withAudio);
}

} // namespace
