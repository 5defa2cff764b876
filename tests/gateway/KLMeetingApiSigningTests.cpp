// Known answers for the meeting API's request signing and parameter sets: the service
// recomputes all of these, so any drift is a rejected request.

#include "gateway/KLMeetingApiParameters.h"
#include "gateway/KLMeetingApiResponse.h"
#include "gateway/KLMeetingApiSigner.h"
#include "runtime/KLFormEncoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

QDateTime fixedTime()
{
    // 30 December 2024 belongs to week 1 of the week-based year 2025.
    return QDateTime(QDate(2024, 12, 30), QTime(10, 20, 30, 45), QTimeZone(8 * 3600));
}

KLApiIdentity identity(bool staff, const QString &token = QStringLiteral("tok+/="))
{
    KLApiIdentity who;
    who.workId = QStringLiteral("4711");
    who.accessToken = token;
    who.machineId = QStringLiteral("umid-1");
    who.appVersion = QStringLiteral("v1.2 (1.2)");
    who.staff = staff;
    return who;
}

} // namespace

TEST(KLMeetingApiSigning, HmacSha256MatchesRfc4231Vectors)
{
    EXPECT_EQ(KLMeetingApiSigner::hmacSha256Base64("Hi There", QByteArray(20, '\x0b')),
              QStringLiteral("sDRMYdjbOFNcqK/OrwvxK4gdwgDJgz2nJuk3bC4yz/c="));
    EXPECT_EQ(KLMeetingApiSigner::hmacSha256Base64("what do ya want for nothing?", "Jefe"),
              QStringLiteral("W9zBRr9gdU5qBCQmCJV1x1oAPwidJzmDnexYuWTsOEM="));
}

TEST(KLMeetingApiSigning, HeadersAreDeterministicForAFixedClockAndDigits)
{
    int next = 4;
    KLMeetingApiSigner signer([] { return fixedTime(); }, [&next] { return next++; });
    const QJsonObject parameters{{QStringLiteral("status"), QStringLiteral("true")},
                                 {QStringLiteral("member_id"), QStringLiteral("7")},
                                 {QStringLiteral("appcode"), QString()},
                                 {QStringLiteral("__appcode"), QString()},
                                 {QStringLiteral("__accesstoken"), QStringLiteral("tok+/=")}};
    const auto headers = signer.createHttpHeaderForURI(
        QStringLiteral("/conference/api/muteMeetingMember"), QStringLiteral("POST"), parameters,
        QStringLiteral("4711"), QString());

    QMap<QString, QString> byName;
    for (const auto &header : headers)
        byName.insert(header.first, header.second);
    ASSERT_EQ(headers.size(), 8);
    EXPECT_EQ(byName.value("X-Hmac-Auth-Timestamp"), "2025-12-30T10:20:30.045+08:00");
    EXPECT_EQ(byName.value("X-Hmac-Auth-Nonce"), "17355252300454567");
    EXPECT_EQ(byName.value("X-Hmac-Auth-Signature"), "YzsHEgdniOj1x1SA4Krr+qaSvYx68XGx0We3qjyAReo=");
    EXPECT_EQ(byName.value("X-Hmac-Auth-MAC"), "no-mac");
    EXPECT_EQ(byName.value("empId"), "4711");
    EXPECT_TRUE(byName.contains("apiKey"));
    EXPECT_TRUE(byName.value("apiKey").isEmpty());
}

TEST(KLMeetingApiSigning, ParameterTextSortsWithoutCaseAndNeverEscapes)
{
    const QJsonObject parameters{{QStringLiteral("b"), QStringLiteral("x y")},
                                 {QStringLiteral("A"), QStringLiteral("1&2=3+4")},
                                 {QStringLiteral("appcode"), QString()},
                                 {QStringLiteral("__appcode"), QString()},
                                 {QStringLiteral("n"), 12},
                                 {QStringLiteral("list"), QJsonArray{"a", 2}}};
    EXPECT_EQ(KLMeetingApiSigner::formatParameters(parameters),
              "__appcode=&A=1&2=3+4&appcode=&b=x y&list=(a,2)&n=12");
    EXPECT_EQ(KLMeetingApiSigner::timestamp(
                  QDateTime(QDate(2026, 6, 1), QTime(8, 0), QTimeZone(-(3 * 3600 + 1800)))),
              "2026-06-01T08:00:00.000-03:30");
}

TEST(KLMeetingApiSigning, FinalParametersCarryAuthenticationAndToken)
{
    const QJsonObject own{{QStringLiteral("keyword"), QStringLiteral("li")},
                          {QStringLiteral("appcode"), QStringLiteral("ignored")}};
    const QJsonObject plain = KLMeetingApiParameters::finalParameters(
        own, QStringLiteral("/conference/api/findMember"), identity(false), 1700000000);
    EXPECT_EQ(plain.value("appcode").toString(), "");
    EXPECT_EQ(plain.value("authContent").toString(),
              R"x({"timeStamp":"1700000000","appVer":"v1.2 (1.2)"})x");
    EXPECT_EQ(plain.value("authSign").toString(), "dd4dbf6f187ab3642725a75a894dbbc8");
    EXPECT_EQ(plain.value("__accesstoken").toString(), "tok+/=");
    EXPECT_FALSE(plain.contains("ownerId"));
    EXPECT_FALSE(plain.contains("sysUserToken"));

    const QJsonObject staff = KLMeetingApiParameters::finalParameters(
        own, QStringLiteral("/conference/api/findMember"), identity(true, QString()), 1700000000);
    EXPECT_EQ(staff.value("ownerId").toString(), "4711");
    EXPECT_EQ(staff.value("sysUserId").toString(), "4711");
    EXPECT_EQ(staff.value("clientIdentifiers").toString(), "umid-1");
    EXPECT_FALSE(staff.contains("__accesstoken"));
    EXPECT_TRUE(staff.contains("__appcode"));
}

TEST(KLMeetingApiSigning, AddMemberSendsOnlyItsJsonPackage)
{
    const QJsonObject own{{QStringLiteral("appointmentId"), QStringLiteral("12")},
                          {QStringLiteral("memberList"), QJsonArray{QJsonObject{{"empId", "9"}}}}};
    const QJsonObject sent = KLMeetingApiParameters::finalParameters(
        own, QStringLiteral("/conference/api/addMember"), identity(false), 1700000000);
    EXPECT_EQ(QStringList(sent.keys()),
              (QStringList{"__accesstoken", "__appcode", "data"}));
    const QJsonObject data = QJsonDocument::fromJson(sent.value("data").toString().toUtf8()).object();
    EXPECT_EQ(data.value("appointmentId").toString(), "12");
    EXPECT_EQ(data.value("appcode").toString(), "");
    EXPECT_TRUE(data.value("memberList").isArray());

    const QJsonObject noToken = KLMeetingApiParameters::finalParameters(
        own, QStringLiteral("/conference/api/addMember"), identity(false, QString()), 1);
    EXPECT_EQ(QStringList(noToken.keys()), (QStringList{"__appcode", "data"}));
}

TEST(KLMeetingApiSigning, FormBodyEscapesEveryReservedCharacter)
{
    const QJsonObject parameters{{QStringLiteral("v"), QStringLiteral("a+b c&d=e/f?g#h[i]~-._")},
                                 {QStringLiteral("list"), QJsonArray{"x", "y"}},
                                 {QStringLiteral("map"), QJsonObject{{"k", "1"}}},
                                 {QStringLiteral("name"), QStringLiteral("李")}};
    EXPECT_EQ(KLFormEncoding::encode(parameters),
              "list%5B%5D=x&list%5B%5D=y&map%5Bk%5D=1&name=%E6%9D%8E"
              "&v=a%2Bb%20c%26d%3De%2Ff%3Fg%23h%5Bi%5D~-._");
}

TEST(KLMeetingApiResponse, ErrorsComeFromErrorCodeOrTheFirstListEntry)
{
    using namespace KLMeetingApiResponse;
    const Error direct = errorOf(QJsonObject{{"success", false}, {"errorCode", -7}, {"errorMsg", "busy"}});
    EXPECT_EQ(direct.code, "-7");
    EXPECT_EQ(direct.message, "busy");
    const Error listed = errorOf(QJsonObject{
        {"success", false},
        {"errorList", QJsonArray{QJsonObject{{"code", "E1"}, {"message", "first"}},
                                 QJsonObject{{"code", "E2"}, {"message", "second"}}}}});
    EXPECT_EQ(listed.code, "E1");
    EXPECT_EQ(listed.message, "first");
    const Error empty = errorOf(QJsonObject{{"errorList", QJsonArray{}}, {"errorMsg", "m"}});
    EXPECT_TRUE(empty.code.isEmpty());
    EXPECT_EQ(empty.message, "m");

    EXPECT_TRUE(isCallMemberWarning("https://h/conference/api/callMeetingMember", "-20"));
    EXPECT_FALSE(isCallMemberWarning("https://h/conference/api/callMeetingMember", "-21"));
    EXPECT_FALSE(isCallMemberWarning("https://h/conference/api/muteMeetingMember", "-20"));
    EXPECT_EQ(payload(QJsonObject{{"data", 1}, {"content", 2}}).toInt(), 2);
    EXPECT_TRUE(payload(QJsonObject{{"success", true}}).isUndefined());
}
