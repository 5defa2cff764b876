#include "ui/web/KLWebCertificateTrust.h"

#include <QFile>
#include <QHostAddress>

#include <openssl/err.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

template <typename T, void (*Free)(T *)> struct Deleter {
    void operator()(T *p) const { Free(p); }
};
using Store = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using StoreContext = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX, X509_STORE_CTX_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;
void freeStack(STACK_OF(X509) *stack) { sk_X509_pop_free(stack, X509_free); }
using CertificateStack = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), freeStack>>;

Certificate toX509(const QSslCertificate &certificate)
{
    const QByteArray der = certificate.toDer();
    const auto *bytes = reinterpret_cast<const unsigned char *>(der.constData());
    return Certificate(d2i_X509(nullptr, &bytes, der.size()));
}

bool fail(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return false;
}

} // namespace

bool KLWebCertificateTrust::verifyChain(const QList<QSslCertificate> &chain, const QString &host,
                                        const QString &caFile, QString *why)
{
    if (chain.isEmpty() || host.isEmpty())
        return fail(why, QStringLiteral("no certificate or no host name"));

    Store store(X509_STORE_new());
    if (!store)
        return fail(why, QStringLiteral("out of memory"));
    X509_STORE_set_default_paths(store.get());
    if (!caFile.isEmpty()) {
        QFile file(caFile);
        if (!file.open(QIODevice::ReadOnly))
            return fail(why, QStringLiteral("CA file %1 unreadable: %2").arg(caFile, file.errorString()));
        const QList<QSslCertificate> authorities = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
        if (authorities.isEmpty())
            return fail(why, QStringLiteral("CA file %1 holds no certificate").arg(caFile));
        for (const QSslCertificate &authority : authorities) {
            Certificate x509 = toX509(authority);
            if (x509)
                X509_STORE_add_cert(store.get(), x509.get());
        }
    }

    Certificate leaf = toX509(chain.first());
    CertificateStack intermediates(sk_X509_new_null());
    if (!leaf || !intermediates)
        return fail(why, QStringLiteral("unreadable certificate"));
    for (qsizetype i = 1; i < chain.size(); ++i) {
        if (Certificate x509 = toX509(chain.at(i)); x509 && sk_X509_push(intermediates.get(), x509.get()) > 0)
            x509.release();
    }

    StoreContext context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), intermediates.get()) != 1)
        return fail(why, QStringLiteral("verification could not start"));
    X509_VERIFY_PARAM *param = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
    const QByteArray name = host.toUtf8();
    // An address is matched against the certificate's IP entries, a name against its DNS ones.
    const bool isAddress = !QHostAddress(host).isNull();
    const int hostSet = isAddress ? X509_VERIFY_PARAM_set1_ip_asc(param, name.constData())
                                  : X509_VERIFY_PARAM_set1_host(param, name.constData(), size_t(name.size()));
    if (hostSet != 1)
        return fail(why, QStringLiteral("bad host name %1").arg(host));
    if (X509_verify_cert(context.get()) != 1) {
        const int error = X509_STORE_CTX_get_error(context.get());
        ERR_clear_error();
        return fail(why, QString::fromLatin1(X509_verify_cert_error_string(error)));
    }
    return true;
}
