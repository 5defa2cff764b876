#include "SimCertificates.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace kelvosim {

namespace {

struct PkeyFree { void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); } };
struct X509Free { void operator()(X509 *p) const { X509_free(p); } };
struct BioFree { void operator()(BIO *p) const { BIO_free(p); } };
struct ExtFree { void operator()(X509_EXTENSION *p) const { X509_EXTENSION_free(p); } };
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;
using BioPtr = std::unique_ptr<BIO, BioFree>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, ExtFree>;

const char kCaName[] = "ca.pem";
const char kCertName[] = "server.pem";
const char kKeyName[] = "server.key";

QString opensslError(const char *what)
{
    QString text = QString::fromLatin1(what);
    const unsigned long code = ERR_get_error();
    if (code != 0) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        text += QStringLiteral(": ") + QString::fromLatin1(buffer);
    }
    ERR_clear_error();
    return text;
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

PkeyPtr makeKey()
{
    return PkeyPtr(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
}

bool setRandomSerial(X509 *cert)
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        return false;
    bytes[0] &= 0x7f; // positive
    BIGNUM *number = BN_bin2bn(bytes, sizeof bytes, nullptr);
    if (!number)
        return false;
    const bool ok = BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert)) != nullptr;
    BN_free(number);
    return ok;
}

bool setName(X509_NAME *name, const char *commonName)
{
    return X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char *>("Kelvo meeting simulator"),
                                      -1, -1, 0) == 1
        && X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char *>(commonName), -1, -1, 0) == 1;
}

bool addExtension(X509 *cert, X509 *issuer, int nid, const char *value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    ExtPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(cert, extension.get(), -1) == 1;
}

// A certificate for `key`, issued by `issuer` (nullptr: self-signed) and signed with `issuerKey`.
X509Ptr makeCertificate(EVP_PKEY *key, const char *commonName, X509 *issuer, EVP_PKEY *issuerKey,
                        bool isCa, QString *error)
{
    X509Ptr cert(X509_new());
    if (!cert || X509_set_version(cert.get(), 2) != 1 || !setRandomSerial(cert.get())) {
        fail(error, opensslError("certificate setup failed"));
        return {};
    }
    // Valid from a day ago (clock skew between processes) for two years.
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24L * 3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 730L * 24 * 3600);
    if (X509_set_pubkey(cert.get(), key) != 1 || !setName(X509_get_subject_name(cert.get()), commonName)) {
        fail(error, opensslError("certificate subject failed"));
        return {};
    }
    X509 *signer = issuer ? issuer : cert.get();
    if (X509_set_issuer_name(cert.get(), X509_get_subject_name(signer)) != 1) {
        fail(error, opensslError("certificate issuer failed"));
        return {};
    }
    bool ok = addExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    if (isCa) {
        ok = ok && addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE")
            && addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        ok = ok && addExtension(cert.get(), signer, NID_authority_key_identifier, "keyid:always")
            && addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE")
            && addExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyAgreement")
            && addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth")
            && addExtension(cert.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
    }
    if (!ok) {
        fail(error, opensslError("certificate extensions failed"));
        return {};
    }
    if (X509_sign(cert.get(), issuerKey, EVP_sha256()) <= 0) {
        fail(error, opensslError("certificate signing failed"));
        return {};
    }
    return cert;
}

QByteArray bioText(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? QByteArray(data, static_cast<qsizetype>(size)) : QByteArray();
}

QByteArray certificatePem(X509 *cert)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), cert) != 1)
        return {};
    return bioText(bio.get());
}

QByteArray keyPem(EVP_PKEY *key)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return {};
    return bioText(bio.get());
}

bool writeFile(const QString &path, const QByteArray &data, bool secret, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    if (secret)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(data) != data.size())
        return fail(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

SimCertificateFiles filesIn(const QString &dir)
{
    const QDir folder(dir);
    return {folder.absolutePath(), folder.absoluteFilePath(QLatin1String(kCaName)),
            folder.absoluteFilePath(QLatin1String(kCertName)),
            folder.absoluteFilePath(QLatin1String(kKeyName))};
}

bool readFile(const QString &path, QByteArray *data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *data = file.readAll();
    return true;
}

// The existing set is usable when every file loads, the server certificate was issued by the CA
// and both stay valid for at least a day.
bool existingSetUsable(const SimCertificateFiles &files)
{
    QByteArray caData, certData, keyData;
    if (!readFile(files.caFile, &caData) || !readFile(files.certFile, &certData)
        || !readFile(files.keyFile, &keyData))
        return false;
    const auto cas = QSslCertificate::fromData(caData, QSsl::Pem);
    const auto certs = QSslCertificate::fromData(certData, QSsl::Pem);
    if (cas.size() != 1 || certs.size() != 1 || QSslKey(keyData, QSsl::Ec).isNull())
        return false;
    const QDateTime tomorrow = QDateTime::currentDateTimeUtc().addDays(1);
    if (cas.first().expiryDate() < tomorrow || certs.first().expiryDate() < tomorrow)
        return false;
    const auto errors = QSslCertificate::verify({certs.first(), cas.first()}, QStringLiteral("localhost"));
    // The CA is not in the system store, so verify() reports it as untrusted; anything else
    // (wrong name, broken signature, expired) means the set must be replaced.
    for (const QSslError &e : errors) {
        if (e.error() != QSslError::UnableToGetLocalIssuerCertificate
            && e.error() != QSslError::SelfSignedCertificateInChain
            && e.error() != QSslError::UnableToVerifyFirstCertificate)
            return false;
    }
    return true;
}

} // namespace

bool SimCertificates::generate(const QString &dir, SimCertificateFiles *files, QString *error)
{
    if (!QDir().mkpath(dir))
        return fail(error, QStringLiteral("cannot create certificate folder %1").arg(dir));
    const SimCertificateFiles out = filesIn(dir);

    PkeyPtr caKey = makeKey();
    PkeyPtr serverKey = makeKey();
    if (!caKey || !serverKey)
        return fail(error, opensslError("EC P-256 key generation failed"));
    X509Ptr ca = makeCertificate(caKey.get(), "Kelvo meeting simulator CA", nullptr, caKey.get(), true, error);
    if (!ca)
        return false;
    X509Ptr server = makeCertificate(serverKey.get(), "localhost", ca.get(), caKey.get(), false, error);
    if (!server)
        return false;

    const QByteArray caPem = certificatePem(ca.get());
    const QByteArray serverPem = certificatePem(server.get());
    const QByteArray serverKeyPem = keyPem(serverKey.get());
    if (caPem.isEmpty() || serverPem.isEmpty() || serverKeyPem.isEmpty())
        return fail(error, opensslError("PEM encoding failed"));
    if (!writeFile(out.keyFile, serverKeyPem, true, error) || !writeFile(out.certFile, serverPem, false, error)
        || !writeFile(out.caFile, caPem, false, error))
        return false;
    if (files)
        *files = out;
    return true;
}

bool SimCertificates::ensure(const QString &dir, SimCertificateFiles *files, QString *error)
{
    const SimCertificateFiles existing = filesIn(dir);
    if (existingSetUsable(existing)) {
        if (files)
            *files = existing;
        return true;
    }
    return generate(dir, files, error);
}

bool SimCertificates::serverConfiguration(const SimCertificateFiles &files, QSslConfiguration *config,
                                          QString *error)
{
    QByteArray caData, certData, keyData;
    if (!readFile(files.caFile, &caData) || !readFile(files.certFile, &certData)
        || !readFile(files.keyFile, &keyData))
        return fail(error, QStringLiteral("cannot read the certificate files in %1").arg(files.dir));
    const auto cas = QSslCertificate::fromData(caData, QSsl::Pem);
    const auto certs = QSslCertificate::fromData(certData, QSsl::Pem);
    const QSslKey key(keyData, QSsl::Ec);
    if (cas.isEmpty() || certs.isEmpty() || key.isNull())
        return fail(error, QStringLiteral("the certificate files in %1 do not load").arg(files.dir));

    QSslConfiguration result = QSslConfiguration::defaultConfiguration();
    result.setLocalCertificateChain({certs.first(), cas.first()});
    result.setPrivateKey(key);
    result.setPeerVerifyMode(QSslSocket::VerifyNone); // no client certificates
    result.setProtocol(QSsl::TlsV1_2OrLater);
    *config = result;
    return true;
}

} // namespace kelvosim
