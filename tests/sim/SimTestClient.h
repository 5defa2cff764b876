#pragma once

// A client for the simulator tests: HTTPS that trusts only the simulator's CA, plus the
// signing the meeting API expects, written here independently of the simulator's code.

#include "MeetingSim.h"

#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPair>
#include <QPointer>
#include <QSslConfiguration>

#include <gtest/gtest.h>

#include <memory>

namespace simtest {

struct HttpResult {
    bool finished = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray contentType;
    QByteArray body;
    QJsonObject json() const;
};

using Pairs = QList<QPair<QString, QString>>;

class SimClient
{
public:
    explicit SimClient(const kelvosim::MeetingSim &sim);

    /// Starts a request; the reply belongs to the client's manager.
    QNetworkReply *start(const QByteArray &method, const QString &pathAndQuery,
                         const QList<QPair<QByteArray, QByteArray>> &headers = {}, const QByteArray &body = {});
    /// Waits (pumping events) for `reply` to finish, at most `timeoutMs`.
    static HttpResult wait(QNetworkReply *reply, int timeoutMs = 10000);
    HttpResult send(const QByteArray &method, const QString &pathAndQuery,
                    const QList<QPair<QByteArray, QByteArray>> &headers = {}, const QByteArray &body = {});

    /// POST of a form to the meeting API with the eight signing headers, signed over
    /// `parameterText` (the caller writes it out by hand).
    HttpResult signedPost(const QString &path, const QByteArray &body, const QString &parameterText,
                          const QString &nonce = {});

    QSslConfiguration tls() const { return m_tls; }

private:
    QString m_base;
    QSslConfiguration m_tls;
    QNetworkAccessManager m_manager;
};

/// A simulator of the test's own on loopback, with a client that trusts it.
class SimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        client = std::make_unique<SimClient>(sim);
    }

    kelvosim::MeetingSim sim;
    std::unique_ptr<SimClient> client;
};

/// Form body from pairs, every byte but A-Z a-z 0-9 - . _ ~ percent-escaped.
QByteArray formBody(const Pairs &pairs);
/// Flat parameter text: keys sorted ignoring case, "k=v" joined with "&" (no lists or maps).
QString flatParameterText(const Pairs &pairs);
/// The common authentication parameters of a non-addMember request, with the access token.
Pairs commonParameters(const QString &accessToken);
/// "yyyy-MM-ddTHH:mm:ss.zzz+hh:mm" of now in the local zone.
QString hmacTimestamp();
/// Millisecond time followed by four digits, different on every call.
QString freshNonce();
QByteArray hmacSha256Base64(const QByteArray &text);
QByteArray hmacSha1Base64(const QByteArray &key, const QByteArray &text);
QByteArray md5Hex(const QByteArray &data);

/// The meeting API access token and the meeting token of the default scenario.
inline const QString kAccessToken = QStringLiteral("sim-access-token-7c41e9");
inline const QString kMeetingToken = QStringLiteral("sim-meeting-token-4b8f21");

/// The known-answer values the helpers above must reproduce (derived outside this code base).
constexpr const char *kAuthContent = "{\"timeStamp\":\"1735660800\",\"appVer\":\"v1.0.0 (100)\"}";
constexpr const char *kAuthSign = "dd4e7ed6f201151187b4c1d06dd496d2";

} // namespace simtest
