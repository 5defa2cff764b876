// The cloud log service and the IT-monitor endpoint.

#include "SimTestClient.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

#include <gtest/gtest.h>

using kelvosim::MeetingSim;
using namespace simtest;

namespace {

const QByteArray kSecret = "sim-log-secret-2f8a61d4";
const QString kPostPath = QStringLiteral("/logstores/client-log/shards/lb");

struct LogPost { QByteArray body; QList<QPair<QByteArray, QByteArray>> headers; };

// A signed post of `raw`, built the way the uploader builds it.
LogPost signedLogPost(const QByteArray &raw)
{
    const QByteArray deflated = qCompress(raw).mid(4); // zlib stream without Qt's length prefix
    const QByteArray md5 = md5Hex(deflated).toUpper();
    const QByteArray date = QLocale(QLocale::English, QLocale::UnitedStates)
                                .toString(QDateTime::currentDateTimeUtc(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"))
                                .toLatin1()
        + " GMT";
    const QByteArray toSign = "POST\n" + md5 + "\napplication/json\n" + date + "\nx-log-apiversion:0.6.0\nx-log-bodyrawsize:"
        + QByteArray::number(raw.size()) + "\nx-log-compresstype:deflate\nx-log-signaturemethod:hmac-sha1\n"
        + kPostPath.toLatin1();
    return {deflated,
            {{"Content-Type", "application/json"},
             {"Content-MD5", md5},
             {"Date", date},
             {"Host", "kelvo-sim.cn-sim.log.kelvo.local"},
             {"x-log-apiversion", "0.6.0"},
             {"x-log-signaturemethod", "hmac-sha1"},
             {"x-log-compresstype", "deflate"},
             {"x-log-bodyrawsize", QByteArray::number(raw.size())},
             {"Authorization", "LOG SIMLOGKEY0001:" + hmacSha1Base64(kSecret, toSign)}}};
}

using SimLogService = SimTest;

} // namespace

TEST_F(SimLogService, SignedDeflatedPostIsKeptAndBadOnesAreRejected)
{
    // Known answer for the signing helper (computed outside this code base).
    EXPECT_EQ(hmacSha1Base64(kSecret, "POST\nABC\napplication/json\nWed, 01 Jan 2025 00:00:00 GMT\n"
                                      "x-log-apiversion:0.6.0\nx-log-bodyrawsize:10\nx-log-compresstype:deflate\n"
                                      "x-log-signaturemethod:hmac-sha1\n/logstores/client-log/shards/lb"),
              QByteArray("DehGXmnA89SuPQbGJzwv/vs3aac="));

    const QByteArray raw = QJsonDocument(QJsonObject{
                                             {"__topic__", "error"},
                                             {"__source__", ""},
                                             {"__logs__", QJsonArray{QJsonObject{{"__time__", 1735660800}, {"value", "apiError"}, {"level", "error"}},
                                                                     QJsonObject{{"__time__", 1735660801}, {"value", "invite"}}}}})
                               .toJson(QJsonDocument::Indented);
    const LogPost post = signedLogPost(raw);
    EXPECT_EQ(client->send("POST", kPostPath, post.headers, post.body).status, 200);

    const auto entries = sim.logEntries(QStringLiteral("client-log"));
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].value("value").toString(), QStringLiteral("apiError"));
    EXPECT_EQ(entries[0].value("__topic__").toString(), QStringLiteral("error"));
    EXPECT_EQ(entries[0].value("__route__").toString(), QStringLiteral("post"));
    EXPECT_EQ(entries[1].value("value").toString(), QStringLiteral("invite"));

    struct Case { const char *name; QByteArray header; QByteArray value; int status; const char *code; };
    const QList<Case> cases{
        {"wrong MD5", "Content-MD5", md5Hex("other").toUpper(), 400, "InvalidContentMD5"},
        {"lower-case MD5", "Content-MD5", md5Hex(post.body), 400, "InvalidContentMD5"},
        {"raw size off by one", "x-log-bodyrawsize", QByteArray::number(raw.size() + 1), 401, "SignatureNotMatch"},
        {"wrong key id", "Authorization", "LOG OTHERKEY:" + post.headers.last().second.mid(18), 401, "InvalidAccessKeyId"},
        {"old date", "Date", "Wed, 01 Jan 2025 00:00:00 GMT", 400, "RequestTimeTooSkewed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto headers = post.headers;
        for (auto &header : headers) {
            if (header.first == c.header)
                header.second = c.value;
        }
        const HttpResult refused = client->send("POST", kPostPath, headers, post.body);
        EXPECT_EQ(refused.status, c.status) << refused.body.toStdString();
        EXPECT_EQ(refused.json().value("errorCode").toString(), QLatin1String(c.code));
        EXPECT_TRUE(sim.requests(kPostPath).last().rejected);
    }
    EXPECT_EQ(sim.logEntries().size(), 2);
}

TEST_F(SimLogService, TrackingGetAndItMonitorAreChecked)
{
    EXPECT_EQ(client->send("GET", "/logstores/client-log/track?APIVersion=0.6.0&level=info&value=mute%20on&project=ecology",
                           {{"Host", "kelvo-sim.cn-sim.log.kelvo.local"}}).status, 200);
    const auto entries = sim.logEntries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].value("value").toString(), QStringLiteral("mute on"));
    EXPECT_EQ(entries[0].value("__project__").toString(), QStringLiteral("kelvo-sim"));
    EXPECT_EQ(entries[0].value("__route__").toString(), QStringLiteral("track"));
    EXPECT_FALSE(entries[0].contains("APIVersion"));

    const QString monitor = QStringLiteral("/openapi/ProjectorUsedApi.json");
    const QString query = QStringLiteral("agent=tanduPc&empId=E10001&ip=127.0.0.1&mac=no-mac&meetingId=880012345"
                                         "&moreScreen=2&os=2&partner_id=tandu&projectId=P-1&success=1&ts=1735660800000"
                                         "&type=1&version=100");
    // _sign computed outside this code base: MD5 of the query followed by the monitor salt.
    HttpResult result = client->send("GET", monitor + QLatin1Char('?') + query + QStringLiteral("&_sign=b02a4c348b7c7d1e339e1f8709ab6efe"));
    EXPECT_TRUE(result.json().value("success").toBool()) << result.body.toStdString();
    EXPECT_EQ(result.json().value("data").toObject().value("projectId").toString(), QStringLiteral("P-1"));
    EXPECT_FALSE(sim.requests(monitor).last().rejected);

    result = client->send("GET", monitor + QLatin1Char('?') + query + QStringLiteral("&_sign=b02a4c348b7c7d1e339e1f8709ab6eff"));
    EXPECT_FALSE(result.json().value("success").toBool());
    EXPECT_TRUE(sim.requests(monitor).last().rejected);

    // Right signature over keys in the wrong order.
    const QString swapped = "empId=E10001&agent=tanduPc" + query.mid(query.indexOf("&ip="));
    const QString sign = QString::fromLatin1(md5Hex((swapped + QStringLiteral("$#!%4Qzm")).toUtf8()));
    result = client->send("GET", monitor + QLatin1Char('?') + swapped + QStringLiteral("&_sign=") + sign);
    EXPECT_FALSE(result.json().value("success").toBool());
    EXPECT_TRUE(sim.requests(monitor).last().rejectReason.contains(QLatin1String("expected")));
}
