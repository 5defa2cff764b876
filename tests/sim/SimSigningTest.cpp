// The meeting API's request checks, driven with requests signed by the test's own code.

#include "SimTestClient.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using kelvosim::MeetingSim;
using namespace simtest;

namespace {

const QString kMultiScreen = QStringLiteral("/conference/api/v2/notifyMultiScreen");

class SimSigning : public SimTest
{
protected:

    // Body sent in a shuffled order with a list, a map, a blank sent as "+", an escaped "+"
    // and a value with brackets; `status` varies.
    static QByteArray multiScreenBody(const QByteArray &status)
    {
        return "status=" + status
            + "&memberUUID=3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01&members%5B%5D=8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02&appointmentId=880012345"
              "&members%5B%5D=F1A2B3C4-3D4E-4F50-8A12-5D6E7F8A9B05&extra%5Bzeta%5D=z&extra%5BAlpha%5D=a"
              "&note=two+words&plus=%2B1&ownerId=E10001&appcode=&clientid=&authAppCode=tandu_mac"
              "&authContent=%7B%22timeStamp%22%3A%221735660800%22%2C%22appVer%22%3A%22v1.0.0%20%28100%29%22%7D"
              "&authSign=dd4e7ed6f201151187b4c1d06dd496d2&clientVersion=v1.0.0%20%28100%29"
              "&__appcode=&__accesstoken=sim-access-token-7c41e9";
    }

    // Written out by hand from the body above: keys sorted ignoring case, "_" before letters,
    // the list as (a,b), the map as {k=v;...} with its keys in plain order, values unescaped.
    static QString multiScreenText(const QString &status)
    {
        return QStringLiteral(
                   "__accesstoken=sim-access-token-7c41e9&__appcode=&appcode=&appointmentId=880012345"
                   "&authAppCode=tandu_mac&authContent={\"timeStamp\":\"1735660800\",\"appVer\":\"v1.0.0 (100)\"}"
                   "&authSign=dd4e7ed6f201151187b4c1d06dd496d2&clientid=&clientVersion=v1.0.0 (100)"
                   "&extra={Alpha=a;zeta=z}"
                   "&members=(8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02,F1A2B3C4-3D4E-4F50-8A12-5D6E7F8A9B05)"
                   "&memberUUID=3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01"
                   "&note=two words&ownerId=E10001&plus=+1&status=")
            + status;
    }

};

} // namespace

TEST_F(SimSigning, HelpersReproduceKnownAnswers)
{
    // Values computed outside this code base (HMAC-SHA256 with an empty key, MD5 with the salt).
    EXPECT_EQ(hmacSha256Base64("POST\n2025-01-01T00:00:00.000+08:00\n17356608000001234\n/x\na=1"),
              QByteArray("ng5hM6KPyVBI1KA/eazidoxUnUOGG/tZF8k6cSGFfek="));
    EXPECT_EQ(md5Hex(QByteArray(kAuthContent) + "5e2d94a1-7c3b-11e8-9f4a-0a1b2c3d4e5f"), QByteArray(kAuthSign));
    EXPECT_EQ(freshNonce().size(), 17);
}

TEST_F(SimSigning, CorrectSignatureIsAcceptedAndEveryTamperingIsRejectedAndRecorded)
{
    const QString nonce = freshNonce();
    const HttpResult ok = client->signedPost(kMultiScreen, multiScreenBody("5"), multiScreenText("5"), nonce);
    EXPECT_TRUE(ok.json().value("success").toBool()) << ok.body.toStdString();

    auto recorded = sim.requests(kMultiScreen);
    ASSERT_EQ(recorded.size(), 1);
    EXPECT_FALSE(recorded[0].rejected) << recorded[0].rejectReason.toStdString();
    EXPECT_EQ(recorded[0].form.value(QStringLiteral("members[]")),
              QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02,F1A2B3C4-3D4E-4F50-8A12-5D6E7F8A9B05"));
    EXPECT_EQ(recorded[0].form.value(QStringLiteral("note")), QStringLiteral("two words"));
    EXPECT_EQ(recorded[0].form.value(QStringLiteral("plus")), QStringLiteral("+1"));
    EXPECT_EQ(recorded[0].headers.value("x-hmac-auth-nonce"), nonce.toLatin1());

    struct Case { const char *name; QByteArray body; QString text; QString nonce; const char *reason; };
    const QString wrongSign = multiScreenText("5").replace(QLatin1String(kAuthSign), QStringLiteral("0123"));
    QByteArray wrongSignBody = multiScreenBody("5");
    wrongSignBody.replace(kAuthSign, "0123");
    const QList<Case> cases{
        // Signed over status 5, sent with status 4.
        {"tampered parameter", multiScreenBody("4"), multiScreenText("5"), {}, "Signature"},
        {"replayed nonce", multiScreenBody("5"), multiScreenText("5"), nonce, "replayed"},
        {"wrong authSign", wrongSignBody, wrongSign, {}, "authSign"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const HttpResult refused = client->signedPost(kMultiScreen, c.body, c.text, c.nonce);
        EXPECT_EQ(refused.status, 200);
        EXPECT_EQ(refused.json().value("errorCode").toString(), QStringLiteral("401"));
        EXPECT_TRUE(refused.json().value("errorMsg").toString().contains(QLatin1String(c.reason)))
            << refused.body.toStdString();
        const auto last = sim.requests(kMultiScreen).last();
        EXPECT_TRUE(last.rejected);
        EXPECT_TRUE(last.rejectReason.contains(QLatin1String(c.reason))) << last.rejectReason.toStdString();
    }
    EXPECT_EQ(sim.requests(kMultiScreen).size(), 4);
}

TEST_F(SimSigning, AccessTokenAndAddMemberShapeAreEnforced)
{
    const auto post = [&](const QString &path, const Pairs &pairs) {
        return client->signedPost(path, formBody(pairs), flatParameterText(pairs)).json();
    };
    const QString dialIn = "/conference/api/v2/getCallInNumberByLetter";
    EXPECT_EQ(post(dialIn, commonParameters("stale-token")).value("errorMsg").toString(), QStringLiteral("invalid access token"));
    const QJsonObject numbers = post(dialIn, commonParameters(kAccessToken));
    EXPECT_TRUE(numbers.value("success").toBool());
    EXPECT_EQ(numbers.value("content").toArray().size(), 7);

    // Every path containing "addMember" carries only data, __appcode and __accesstoken.
    const auto dataOnly = [](const QString &data) { return Pairs{{"data", data}, {"__appcode", ""}, {"__accesstoken", kAccessToken}}; };
    const QString addMember = "/conference/api/addMember";
    Pairs add = dataOnly("{\"appointmentId\":\"880012345\",\"roomIds\":\"R-SH-3F-02\",\"memberList\":[{\"empId\":\"E10005\"}]}");
    const QJsonObject added = post(addMember, add);
    ASSERT_TRUE(added.value("success").toBool());
    EXPECT_EQ(added.value("content").toObject().value("added").toArray().size(), 2);
    add.append({QStringLiteral("authAppCode"), QStringLiteral("tandu_mac")});
    EXPECT_TRUE(post(addMember, add).value("errorMsg").toString().contains(QLatin1String("authAppCode")));
    EXPECT_EQ(post(addMember, dataOnly("{not json")).value("errorCode").toString(), QStringLiteral("401"));
    EXPECT_TRUE(sim.requests(addMember).last().rejected);

    // The route's own parameters are checked inside data.
    const QString multiScreen = "/conference/api/v2/addMemberMultiScreen";
    EXPECT_TRUE(post(multiScreen, dataOnly("{\"appointmentId\":\"880012345\",\"ownerId\":\"E10001\",\"startAudio\":\"true\","
                                           "\"members\":[\"R-SH-3F-01\"]}")).value("success").toBool());
    EXPECT_TRUE(post(multiScreen, dataOnly("{\"appointmentId\":\"880012345\"}")).value("errorMsg").toString().contains(QLatin1String("startAudio")));
}
