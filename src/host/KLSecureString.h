#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/// AES-256-CBC with PKCS#7 padding, the cipher behind the secure strings of the persistent
/// store. The key of a secure string is the UTF-8 text of a key string, zero-padded (or cut)
/// to 32 bytes; the IV is all zero.
namespace KLSecureString {

constexpr int kKeyLength = 32;
constexpr int kBlockLength = 16;

/// The 32-byte key made from `keyString` (an empty string gives 32 zero bytes).
QByteArray keyFromString(const QString &keyString);

/// Raw cipher: `key` must be 32 bytes and `iv` 16 bytes, otherwise nothing is returned.
/// Encryption always pads, so the result is 1 to 16 bytes longer than the input.
std::optional<QByteArray> aes256CbcEncrypt(const QByteArray &plain, const QByteArray &key,
                                           const QByteArray &iv);
/// Nothing when the key or IV has the wrong size, the data is not a whole number of blocks or
/// the padding is wrong.
std::optional<QByteArray> aes256CbcDecrypt(const QByteArray &cipher, const QByteArray &key,
                                           const QByteArray &iv);

/// The UTF-8 text encrypted under `keyString` with an all-zero IV.
std::optional<QByteArray> encrypt(const QString &text, const QString &keyString);
/// The text back; nothing when the data does not decrypt or is not valid UTF-8.
std::optional<QString> decrypt(const QByteArray &cipher, const QString &keyString);

} // namespace KLSecureString
