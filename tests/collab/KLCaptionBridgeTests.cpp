// The caption page's bridge and the notes manager: what "msgInvoke" carries, the escaping of
// every param but a caption's, and that nothing reaches a page before it has loaded.

#include "KLCollaborationFakes.h"

#include "collab/KLCaptionBridge.h"
#include "collab/KLMeetingNoteManager.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using kltest::FakeCaptionPage;

namespace {

QString compact(const QJsonObject &data)
{
    return QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact));
}

TEST(CaptionBridge, EscapesQuotesAndLineBreaksOfParams)
{
    const struct { const char *name; QString param, escaped; } cases[] = {
        {"apostrophe", "it's", "it\\'s"},
        {"double quotes", "say \"hi\"", "say \\\"hi\\\""},
        {"line feed", "a\nb", "a\\nb"},
        {"carriage return removed", "a\r\nb\r", "a\\nb"},
        {"plain word untouched", "zh", "zh"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(KLCaptionBridge::escapedParam(c.param), c.escaped) << c.name;
}

TEST(CaptionBridge, CallsCarryActionAndEscapedParamOnceThePageHasLoaded)
{
    auto page = std::make_shared<FakeCaptionPage>();
    auto bridge = KLCaptionBridge::create(page);
    int completions = 0;
    bridge->loadUrl(QUrl("https://127.0.0.1/page"), [&] { ++completions; });
    bridge->changeSpeakerLanguage("en");
    bridge->pushMessageToH5("{\"asrText\": \"lost\"}");
    EXPECT_TRUE(page->invocations.isEmpty()) << "calls before the page loaded must be dropped";
    EXPECT_FALSE(bridge->webviewIsLoad());

    page->finishLoading();
    page->finishLoading(); // a reload runs the completion only once
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(bridge->webviewIsLoad());

    bridge->changeTranslageLanguage("it's\n");
    bridge->changeSpeakerLanguage("zh");
    bridge->closeTranslate();
    bridge->onlyOnePersonInMeeting();
    bridge->onScrollBottom();
    bridge->pushMessageToH5("{\n    \"asrText\": \"it's\"\n}");
    EXPECT_EQ(page->actions(), (QStringList{"onTranslateChange", "onSpeakChange", "onTranslateClose",
                                            "onOnlySelfInMeeting", "onScrollBottom", "onReceive"}));
    EXPECT_EQ(page->handlers, QStringList(6, "msgInvoke"));
    EXPECT_EQ(compact(page->invocations[0]), R"({"action":"onTranslateChange","param":"it\\'s\\n"})");
    EXPECT_EQ(page->invocations[2].value("param"), "zh");
    // A caption goes as it is: its JSON text already carries its own escapes.
    EXPECT_EQ(page->invocations[5].value("param"), "{\n    \"asrText\": \"it's\"\n}");
}

TEST(MeetingNoteManager, CaptionLinesBecomePrettyJsonWithAMemberType)
{
    const struct { const char *name; QJsonObject caption; QJsonValue memberType; } cases[] = {
        {"absent", {{"asrText", "hello"}, {"memberUUID", "m-1"}}, 3},
        {"null", {{"asrText", "hello"}, {"memberType", QJsonValue()}}, 3},
        {"present", {{"asrText", "hello"}, {"memberType", 1}}, 1},
    };
    for (const auto &c : cases) {
        const QString text = KLMeetingNoteManager::captionText(c.caption);
        EXPECT_TRUE(text.contains("\n    \"asrText\"")) << c.name << ": not pretty-printed";
        const QJsonObject back = QJsonDocument::fromJson(text.toUtf8()).object();
        EXPECT_EQ(back.value("memberType"), c.memberType) << c.name;
        EXPECT_EQ(back.value("asrText"), "hello") << c.name;
    }
}

TEST(MeetingNoteManager, PushesCaptionsToTheAttachedPageInArrivalOrder)
{
    KLMeetingNoteManager manager;
    manager.pushSubTitle({{"asrText", "nobody listens"}}); // no page: dropped quietly

    auto page = std::make_shared<FakeCaptionPage>();
    manager.initMeetingCaptionView(page);
    ASSERT_TRUE(manager.captionView());
    manager.pushSubTitle({{"asrText", "before load"}});
    manager.captionView()->loadUrl(QUrl("https://127.0.0.1/page"));
    page->finishLoading();
    manager.pushSubTitle({{"asrText", "one"}, {"asrSentenceId", 1}});
    manager.pushSubTitle({{"asrText", "two"}, {"asrSentenceId", 2}});

    EXPECT_EQ(page->actions(), (QStringList{"onReceive", "onReceive"}));
    QStringList texts;
    for (const QJsonObject &call : page->invocations)
        texts.append(QJsonDocument::fromJson(call.value("param").toString().toUtf8())["asrText"].toString());
    EXPECT_EQ(texts, (QStringList{"one", "two"}));

    manager.initMeetingCaptionView(nullptr);
    EXPECT_FALSE(manager.captionView());
}

} // namespace
