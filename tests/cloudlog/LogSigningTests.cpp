#include "cloudlog/LogClient.h"
#include "cloudlog/LogSigning.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <zlib.h>

namespace {

QString base64OfHex(const char *hex)
{
    return QString::fromLatin1(QByteArray::fromHex(hex).toBase64());
}

QByteArray inflated(const QByteArray &zipped, qsizetype rawSize)
{
    QByteArray out(rawSize, Qt::Uninitialized);
    uLongf outSize = uLongf(out.size());
    const int status = uncompress(reinterpret_cast<Bytef *>(out.data()), &outSize,
                                  reinterpret_cast<const Bytef *>(zipped.constData()),
                                  uLong(zipped.size()));
    return status == Z_OK ? out.left(qsizetype(outSize)) : QByteArray("<uncompress failed>");
}

const QDateTime kFixedDate(QDate(2024, 3, 5), QTime(9, 7, 3), QTimeZone::utc());

} // namespace

TEST(LogSigning, HmacSha1MatchesRfc2202)
{
    // Test cases 1, 2 and 6 of RFC 2202; 6 has a key longer than a block.
    EXPECT_EQ(KLLogSigning::SHA1WithSecret(QStringLiteral("Hi There"), QString(20, QChar(0x0b))),
              base64OfHex("b617318655057264e28bc0b6fb378c8ef146be00"));
    EXPECT_EQ(KLLogSigning::SHA1WithSecret(QStringLiteral("what do ya want for nothing?"),
                                           QStringLiteral("Jefe")),
              base64OfHex("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"));
    EXPECT_EQ(KLLogSigning::SHA1WithSecret(
                  QByteArray("Test Using Larger Than Block-Size Key - Hash Key First"),
                  QByteArray(80, char(0xaa))),
              base64OfHex("aa4ae5e15272d00e95705637ce8a3b55ed402112"));
}

TEST(LogSigning, StringToSignWithAndWithoutToken)
{
    const QString date = KLLogSigning::gmtDateText(kFixedDate);
    EXPECT_EQ(date, QStringLiteral("Tue, 05 Mar 2024 09:07:03 GMT"));
    // The same instant given in another zone prints the same GMT text.
    EXPECT_EQ(KLLogSigning::gmtDateText(kFixedDate.toTimeZone(QTimeZone(8 * 3600))), date);

    const QString md5 = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(KLLogSigning::stringToSign(md5, date, QString(), 321, QStringLiteral("client-log")),
              QStringLiteral("POST\n0123456789ABCDEF0123456789ABCDEF\napplication/json\n"
                             "Tue, 05 Mar 2024 09:07:03 GMT\n"
                             "x-log-apiversion:0.6.0\nx-log-bodyrawsize:321\n"
                             "x-log-compresstype:deflate\nx-log-signaturemethod:hmac-sha1\n"
                             "/logstores/client-log/shards/lb"));
    EXPECT_EQ(KLLogSigning::stringToSign(md5, date, QStringLiteral("tok"), 7, QStringLiteral("s")),
              QStringLiteral("POST\n0123456789ABCDEF0123456789ABCDEF\napplication/json\n"
                             "Tue, 05 Mar 2024 09:07:03 GMT\nx-acs-security-token:tok\n"
                             "x-log-apiversion:0.6.0\nx-log-bodyrawsize:7\n"
                             "x-log-compresstype:deflate\nx-log-signaturemethod:hmac-sha1\n"
                             "/logstores/s/shards/lb"));
    // MD5("abc") = 900150983cd24fb0d6963f7d28e17f72, written in upper case.
    EXPECT_EQ(KLLogSigning::contentMd5("abc"), QStringLiteral("900150983CD24FB0D6963F7D28E17F72"));
}

TEST(LogSigning, BodyIsDeflatedInTheZlibContainerUnlessAlreadyGzip)
{
    QByteArray raw = R"({"__topic__": "event", "__logs__": [)";
    for (int i = 0; i < 50; ++i)
        raw += R"({"meetingId": "7f3a", "value": "join"},)";
    raw += "{}]}";
    const QByteArray zipped = KLLogSigning::compressedBody(raw);
    ASSERT_GE(zipped.size(), 2);
    EXPECT_EQ(zipped.left(2).toHex(), QByteArray("789c")); // window 32 KiB, default level
    EXPECT_LT(zipped.size(), raw.size());
    EXPECT_EQ(inflated(zipped, raw.size()), raw);

    const QByteArray gzip = QByteArray::fromHex("1f8b0800000000000003") + "rest";
    EXPECT_EQ(KLLogSigning::compressedBody(gzip), gzip);
    EXPECT_EQ(KLLogSigning::compressedBody(QByteArray()), QByteArray());
}

TEST(LogClient, HeadersCarryDigestSizesHostTokenAndSignature)
{
    LogClient client(QStringLiteral("HTTPS://cn-north.log.example"), QStringLiteral("AK1"),
                     QStringLiteral("secret"), QStringLiteral("proj"));
    EXPECT_EQ(client.GetEndPoint(), QStringLiteral("cn-north.log.example"));
    EXPECT_EQ(LogClient(QStringLiteral("http://x"), {}, {}, {}).GetEndPoint(), QStringLiteral("x"));
    EXPECT_EQ(LogClient(QStringLiteral("x.https://y"), {}, {}, {}).GetEndPoint(),
              QStringLiteral("x.https://y"));

    const QString url = client.postUrl(QStringLiteral("client-log"));
    EXPECT_EQ(url, QStringLiteral("https://proj.cn-north.log.example/logstores/client-log/shards/lb"));
    const QByteArray raw = "raw body", zipped = "zipped";
    auto headers = client.GetHttpHeadersFrom(QStringLiteral("client-log"), url, raw, zipped, kFixedDate);
    const QString md5 = KLLogSigning::contentMd5(zipped);
    const QString signature = KLLogSigning::SHA1WithSecret(
        KLLogSigning::stringToSign(md5, QStringLiteral("Tue, 05 Mar 2024 09:07:03 GMT"), {}, 8,
                                   QStringLiteral("client-log")),
        QStringLiteral("secret"));
    const LogClient::Headers expected{
        {"x-log-apiversion", "0.6.0"},     {"x-log-signaturemethod", "hmac-sha1"},
        {"Content-Type", "application/json"}, {"Date", "Tue, 05 Mar 2024 09:07:03 GMT"},
        {"Content-MD5", md5},              {"Content-Length", "6"},
        {"x-log-bodyrawsize", "8"},        {"x-log-compresstype", "deflate"},
        {"Host", "proj.cn-north.log.example"}, {"Authorization", "LOG AK1:" + signature}};
    EXPECT_EQ(headers, expected);

    client.SetToken(QString()); // ignored
    EXPECT_TRUE(client.GetToken().isEmpty());
    client.SetToken(QStringLiteral("sts"));
    headers = client.GetHttpHeadersFrom(QStringLiteral("client-log"), url, raw, zipped, kFixedDate);
    ASSERT_EQ(headers.size(), expected.size() + 1);
    EXPECT_EQ(headers.at(9), qMakePair(QStringLiteral("x-acs-security-token"), QStringLiteral("sts")));
    EXPECT_NE(headers.last().second, expected.last().second); // the token is signed too
}
