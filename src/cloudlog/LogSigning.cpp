#include "cloudlog/LogSigning.h"

#include "runtime/KLSDKLog.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QMessageAuthenticationCode>
#include <QTimeZone>

#include <zlib.h>

namespace KLLogSigning {

namespace {

bool hasGzipMagic(const QByteArray &body)
{
    return body.size() >= 2 && quint8(body.at(0)) == 0x1F && quint8(body.at(1)) == 0x8B;
}

} // namespace

QByteArray compressedBody(const QByteArray &raw)
{
    if (raw.isEmpty() || hasGzipMagic(raw))
        return raw;

    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY)
        != Z_OK) {
        KL_LOG_ERROR(QStringLiteral("LogClient"), QStringLiteral("deflateInit2 failed; body sent as is"));
        return raw;
    }
    QByteArray out(qsizetype(deflateBound(&stream, uLong(raw.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.constData()));
    stream.avail_in = uInt(raw.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = deflate(&stream, Z_FINISH);
    const qsizetype written = qsizetype(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        KL_LOG_ERROR(QStringLiteral("LogClient"),
                     QStringLiteral("deflate failed (%1); body sent as is").arg(status));
        return raw;
    }
    out.truncate(written);
    return out;
}

QString contentMd5(const QByteArray &body)
{
    return QString::fromLatin1(QCryptographicHash::hash(body, QCryptographicHash::Md5).toHex())
        .toUpper();
}

QString gmtDateText(const QDateTime &date)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(date.toTimeZone(QTimeZone::utc()),
                            QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"))
        + QStringLiteral(" GMT");
}

QString stringToSign(const QString &md5, const QString &date, const QString &token,
                     qint64 rawSize, const QString &logStore)
{
    QString text = QStringLiteral("POST\n%1\n%2\n%3\n")
                       .arg(md5, QLatin1String(kContentType), date);
    if (!token.isEmpty())
        text += QStringLiteral("x-acs-security-token:%1\n").arg(token);
    text += QStringLiteral("x-log-apiversion:%1\n").arg(QLatin1String(kApiVersion));
    text += QStringLiteral("x-log-bodyrawsize:%1\n").arg(rawSize);
    text += QStringLiteral("x-log-compresstype:%1\n").arg(QLatin1String(kCompressType));
    text += QStringLiteral("x-log-signaturemethod:%1\n").arg(QLatin1String(kSignatureMethod));
    text += QStringLiteral("/logstores/%1/shards/lb").arg(logStore);
    return text;
}

QString SHA1WithSecret(const QString &text, const QString &secret)
{
    return SHA1WithSecret(text.toUtf8(), secret.toUtf8());
}

QString SHA1WithSecret(const QByteArray &text, const QByteArray &secret)
{
    const QByteArray digest =
        QMessageAuthenticationCode::hash(text, secret, QCryptographicHash::Sha1);
    return QString::fromLatin1(digest.toBase64());
}

QString cleanedEndpoint(const QString &endpoint)
{
    for (const QLatin1String prefix : {QLatin1String("http://"), QLatin1String("https://")}) {
        if (endpoint.startsWith(prefix, Qt::CaseInsensitive))
            return endpoint.mid(prefix.size());
    }
    return endpoint;
}

} // namespace KLLogSigning
