// Real web pages in real web views, served over TLS on loopback: the rating page's bridge, the
// caption page's bridge with the simulator's page, and certificates the view must refuse.

#include "KLWebTestServer.h"

#include "MeetingSim.h"
#include "SimCertificates.h"
#include "collab/KLCaptionBridge.h"
#include "collab/KLMeetingNoteManager.h"
#include "ui/web/KLCaptionWebView.h"
#include "ui/web/KLMeetingRateView.h"
#include "ui/web/KLWebPageView.h"

#include "KLTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebEnginePage>

#include <memory>

namespace {

using ::testing::ElementsAre;

constexpr int kLoadMs = 20000;

class WebPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new kelvosim::MeetingSim();
        QString error;
        ASSERT_TRUE(sim->start(&error)) << error.toStdString();
        kelvosim::SimCertificateFiles simFiles;
        ASSERT_TRUE(kelvosim::SimCertificates::ensure(sim->certDir(), &simFiles, &error)) << error.toStdString();
        trusted = new kltest::WebTestServer;
        ASSERT_TRUE(trusted->start(simFiles, &error)) << error.toStdString();
        // Another authority, valid in every way except that nobody here trusts it.
        strangerDir = new QTemporaryDir;
        kelvosim::SimCertificateFiles strangerFiles;
        ASSERT_TRUE(kelvosim::SimCertificates::generate(strangerDir->path(), &strangerFiles, &error));
        stranger = new kltest::WebTestServer;
        ASSERT_TRUE(stranger->start(strangerFiles, &error)) << error.toStdString();
    }
    static void TearDownTestSuite()
    {
        delete stranger;
        delete strangerDir;
        delete trusted;
        sim->stop();
        delete sim;
    }

    // What the page's script expression evaluates to, read back from the page.
    static QVariant evaluate(KLWebPageView &view, const QString &expression)
    {
        QVariant result;
        bool done = false;
        view.page()->runJavaScript(expression, [&](const QVariant &value) {
            result = value;
            done = true;
        });
        kltest::waitUntil([&] { return done; }, kLoadMs);
        return result;
    }

    // Loads `url` and waits for the outcome; `failures` (when given) collects the reasons.
    static bool loadAndWait(KLWebPageView &view, const QString &url, QStringList *failures = nullptr)
    {
        bool loaded = false;
        QStringList failed;
        QObject context;
        QObject::connect(&view, &KLWebPageView::pageLoaded, &context, [&] { loaded = true; });
        QObject::connect(&view, &KLWebPageView::pageFailed, &context, [&](const QString &why) { failed << why; });
        view.load(QUrl(url));
        kltest::waitUntil([&] { return loaded || !failed.isEmpty(); }, kLoadMs);
        kltest::pumpEvents(100); // a second outcome would show here
        if (failures)
            *failures = failed;
        return loaded && failed.isEmpty();
    }

    static inline kelvosim::MeetingSim *sim = nullptr;
    static inline kltest::WebTestServer *trusted = nullptr;
    static inline kltest::WebTestServer *stranger = nullptr;
    static inline QTemporaryDir *strangerDir = nullptr;
};

const QByteArray kRatePage = R"(<!DOCTYPE html><html><head><script>
window.native.ocMethod("kelvo-evaluate-complete");
</script></head><body><script>
window.native.ocMethod("second");
document.addEventListener("DOMContentLoaded", function () { window.native.ocMethod("third"); });
</script></body></html>)";

TEST_F(WebPageTest, TheRatePagesFirstInlineScriptReachesNativeInOrder)
{
    trusted->setPage(QStringLiteral("/rate-first-script.html"), kRatePage);
    QStringList statuses;
    KLMeetingRateView view(sim->caFile(), [&](const QString &status) { statuses << status; });
    view.resize(400, 300);
    ASSERT_TRUE(loadAndWait(view, trusted->url(QStringLiteral("/rate-first-script.html")))) << view.failureText().toStdString();
    // The first call was made before the bridge could be up; it is queued, not lost.
    ASSERT_TRUE(kltest::waitUntil([&] { return statuses.size() >= 3; }, kLoadMs)) << statuses.join(',').toStdString();
    EXPECT_THAT(statuses, ElementsAre(QStringLiteral("kelvo-evaluate-complete"), QStringLiteral("second"),
                                      QStringLiteral("third")));
    // Once the bridge is up, a call goes straight through.
    evaluate(view, QStringLiteral("window.native.ocMethod('kelvo-evaluate-later')"));
    ASSERT_TRUE(kltest::waitUntil([&] { return statuses.size() == 4; }, kLoadMs));
    EXPECT_EQ(statuses.last(), QStringLiteral("kelvo-evaluate-later"));
}

TEST_F(WebPageTest, CaptionCallsAfterTheLoadArriveInOrderAndEscapedEarlierOnesAreDropped)
{
    KLWebPageView view(QStringLiteral("caption page"));
    view.resize(320, 480);
    auto page = std::make_shared<KLCaptionWebView>(&view, sim->caFile());
    KLMeetingNoteManager manager;
    manager.initMeetingCaptionView(page);
    const std::shared_ptr<KLCaptionBridge> bridge = manager.captionView();
    ASSERT_TRUE(bridge);

    bool completed = false;
    bridge->loadUrl(QUrl(sim->baseUrl() + QStringLiteral("/it-service/kelvo-subtitle/0.0.5/index.html?translateLang=en&speakLang=zh")),
                    [&] { completed = true; });
    // Sent before the page has loaded: dropped.
    manager.pushSubTitle({{QStringLiteral("displayName"), QStringLiteral("Early")}, {QStringLiteral("asrText"), QStringLiteral("lost")}});
    bridge->changeTranslageLanguage(QStringLiteral("early"));
    ASSERT_TRUE(kltest::waitUntil([&] { return completed; }, kLoadMs)) << view.failureText().toStdString();
    EXPECT_TRUE(bridge->webviewIsLoad());

    const QJsonObject first{{QStringLiteral("displayName"), QStringLiteral("O'Neil \"Bo\"")},
                            {QStringLiteral("asrText"), QStringLiteral("line one\nline two </script>")},
                            {QStringLiteral("asrSentenceId"), 1}};
    manager.pushSubTitle(first);
    bridge->changeTranslageLanguage(QStringLiteral("it's \"en\"\r\nnext"));
    manager.pushSubTitle({{QStringLiteral("displayName"), QStringLiteral("Second")}, {QStringLiteral("asrSentenceId"), 2}});
    bridge->changeSpeakerLanguage(QStringLiteral("en"));
    bridge->closeTranslate();
    bridge->onlyOnePersonInMeeting();

    QJsonArray calls;
    ASSERT_TRUE(kltest::waitUntil([&] {
        calls = QJsonDocument::fromVariant(evaluate(view, QStringLiteral("window.receivedCalls"))).array();
        return calls.size() >= 6;
    }, kLoadMs)) << QJsonDocument(calls).toJson().toStdString();
    ASSERT_EQ(calls.size(), 6);
    auto call = [&](int i) { return calls.at(i).toObject(); };
    EXPECT_EQ(call(0).value(QLatin1String("action")).toString(), QStringLiteral("onReceive"));
    // A caption travels as the JSON text of the message, unescaped, with the unknown member type.
    QJsonObject expected = first;
    expected.insert(QStringLiteral("memberType"), 3);
    EXPECT_EQ(QJsonDocument::fromJson(call(0).value(QLatin1String("param")).toString().toUtf8()).object(), expected);
    EXPECT_EQ(call(1).value(QLatin1String("action")).toString(), QStringLiteral("onTranslateChange"));
    EXPECT_EQ(call(1).value(QLatin1String("param")).toString(), QStringLiteral("it\\'s \\\"en\\\"\\nnext"));
    EXPECT_EQ(QJsonDocument::fromJson(call(2).value(QLatin1String("param")).toString().toUtf8())
                  .object().value(QLatin1String("displayName")).toString(), QStringLiteral("Second"));
    EXPECT_EQ(call(3).value(QLatin1String("action")).toString(), QStringLiteral("onSpeakChange"));
    EXPECT_EQ(call(4).value(QLatin1String("action")).toString(), QStringLiteral("onTranslateClose"));
    EXPECT_EQ(call(4).value(QLatin1String("param")).toString(), QStringLiteral("zh"));
    EXPECT_EQ(call(5).value(QLatin1String("action")).toString(), QStringLiteral("onOnlySelfInMeeting"));
    // The page drew what it received, the speaker's name as text.
    EXPECT_EQ(evaluate(view, QStringLiteral("document.querySelectorAll('.caption').length")).toInt(), 2);
    EXPECT_TRUE(evaluate(view, QStringLiteral("document.body.textContent")).toString().contains(QStringLiteral("O'Neil \"Bo\":line one")));
    // The caption view is the page's window.kelvoMac.
    EXPECT_EQ(evaluate(view, QStringLiteral("typeof window.kelvoMac.log")).toString(), QStringLiteral("function"));
    EXPECT_TRUE(kltest::waitUntil([&] { return evaluate(view, QStringLiteral("window.kelvoMac.webviewIsLoad === true")).toBool(); }, kLoadMs));
    manager.initMeetingCaptionView(nullptr);
}

TEST_F(WebPageTest, APageWithoutTheHandlerIsToldNothingAndBreaksNothing)
{
    trusted->setPage(QStringLiteral("/plain.html"), "<!DOCTYPE html><html><body>plain</body></html>");
    KLWebPageView view(QStringLiteral("caption page"));
    view.setCaFile(sim->caFile());
    ASSERT_TRUE(loadAndWait(view, trusted->url(QStringLiteral("/plain.html"))));
    bool answered = false;
    bool handled = true;
    view.callPageFunction(QStringLiteral("msgInvoke"), QJsonObject{{QStringLiteral("action"), QStringLiteral("onScrollBottom")}},
                          [&](bool wasHandled, const QVariant &) {
                              handled = wasHandled;
                              answered = true;
                          });
    ASSERT_TRUE(kltest::waitUntil([&] { return answered; }, kLoadMs));
    EXPECT_FALSE(handled);
}

TEST_F(WebPageTest, AnUntrustedCertificateIsRefusedWithAMessageInThePagesPlace)
{
    stranger->setPage(QStringLiteral("/rate.html"), kRatePage);
    QStringList statuses;
    KLMeetingRateView view(sim->caFile(), [&](const QString &status) { statuses << status; });
    QStringList failed;
    EXPECT_FALSE(loadAndWait(view, stranger->url(QStringLiteral("/rate.html")), &failed));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_THAT(failed.first().toStdString(), ::testing::HasSubstr("untrusted certificate"));
    EXPECT_FALSE(view.failureText().isEmpty());
    EXPECT_FALSE(view.hasLoaded());
    kltest::pumpEvents(200);
    EXPECT_TRUE(statuses.isEmpty()) << statuses.join(',').toStdString();

    // Without the meeting's CA file the simulator itself is a stranger too.
    KLWebPageView plain(QStringLiteral("caption page"));
    EXPECT_FALSE(loadAndWait(plain, sim->baseUrl() + QStringLiteral("/it-service/kelvo-subtitle/0.0.5/index.html")));
    EXPECT_FALSE(plain.failureText().isEmpty());
}

TEST_F(WebPageTest, AMissingPageOrAnUnreachableServerShowsAMessage)
{
    KLWebPageView missing(QStringLiteral("rate page"));
    missing.setCaFile(sim->caFile());
    EXPECT_FALSE(loadAndWait(missing, sim->baseUrl() + QStringLiteral("/no/such/page.html")));
    EXPECT_THAT(missing.failureText().toStdString(), ::testing::HasSubstr("404"));

    // A port nobody listens on any more.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    KLWebPageView unreachable(QStringLiteral("rate page"));
    EXPECT_FALSE(loadAndWait(unreachable, QStringLiteral("https://127.0.0.1:%1/").arg(port)));
    EXPECT_FALSE(unreachable.failureText().isEmpty());

    KLWebPageView notWeb(QStringLiteral("rate page"));
    EXPECT_FALSE(loadAndWait(notWeb, QStringLiteral("file:///etc/passwd")));
    EXPECT_FALSE(notWeb.failureText().isEmpty());
}

} // namespace
