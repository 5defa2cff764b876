#include "host/KLSecureString.h"

#include <QStringDecoder>

#include <openssl/evp.h>

#include <memory>

namespace {

struct CipherContextDeleter {
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

std::optional<QByteArray> runCipher(bool encrypting, const QByteArray &input,
                                    const QByteArray &key, const QByteArray &iv)
{
    if (key.size() != KLSecureString::kKeyLength || iv.size() != KLSecureString::kBlockLength)
        return std::nullopt;
    if (!encrypting && (input.isEmpty() || input.size() % KLSecureString::kBlockLength != 0))
        return std::nullopt;
    // EVP takes int lengths.
    if (input.size() > (1 << 30))
        return std::nullopt;

    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context)
        return std::nullopt;
    if (EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, bytes(key), bytes(iv),
                          encrypting ? 1 : 0)
        != 1)
        return std::nullopt;
    EVP_CIPHER_CTX_set_padding(context.get(), 1);

    QByteArray output(input.size() + KLSecureString::kBlockLength, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(output.data());
    int written = 0;
    if (EVP_CipherUpdate(context.get(), out, &written, bytes(input),
                         static_cast<int>(input.size()))
        != 1)
        return std::nullopt;
    int finalWritten = 0;
    if (EVP_CipherFinal_ex(context.get(), out + written, &finalWritten) != 1)
        return std::nullopt;
    output.truncate(written + finalWritten);
    return output;
}

QByteArray zeroIv()
{
    return QByteArray(KLSecureString::kBlockLength, '\0');
}

} // namespace

namespace KLSecureString {

QByteArray keyFromString(const QString &keyString)
{
    QByteArray key = keyString.toUtf8().left(kKeyLength);
    key.append(QByteArray(kKeyLength - key.size(), '\0'));
    return key;
}

std::optional<QByteArray> aes256CbcEncrypt(const QByteArray &plain, const QByteArray &key,
                                           const QByteArray &iv)
{
    return runCipher(true, plain, key, iv);
}

std::optional<QByteArray> aes256CbcDecrypt(const QByteArray &cipher, const QByteArray &key,
                                           const QByteArray &iv)
{
    return runCipher(false, cipher, key, iv);
}

std::optional<QByteArray> encrypt(const QString &text, const QString &keyString)
{
    return aes256CbcEncrypt(text.toUtf8(), keyFromString(keyString), zeroIv());
}

std::optional<QString> decrypt(const QByteArray &cipher, const QString &keyString)
{
    const std::optional<QByteArray> plain =
        aes256CbcDecrypt(cipher, keyFromString(keyString), zeroIv());
    if (!plain)
        return std::nullopt;
    // Keep a leading byte-order mark as text: the stored value is returned exactly.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(*plain);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

} // namespace KLSecureString
