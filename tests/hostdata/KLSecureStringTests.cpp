#include "host/KLSecureString.h"

#include <gtest/gtest.h>

using namespace KLSecureString;

TEST(KLSecureString, RawCipherMatchesNistVectorWithPkcs7Padding)
{
    // NIST SP 800-38A, F.2.5 (CBC-AES256.Encrypt): four whole blocks.
    const QByteArray key = QByteArray::fromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const QByteArray iv = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
    const QByteArray plain = QByteArray::fromHex(
        "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
        "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    const QByteArray expected = QByteArray::fromHex(
        "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
        "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");
    const auto cipher = aes256CbcEncrypt(plain, key, iv);
    ASSERT_TRUE(cipher.has_value());
    ASSERT_EQ(cipher->size(), plain.size() + 16); // a whole block of padding
    EXPECT_EQ(cipher->left(64).toHex(), expected.toHex());
    EXPECT_EQ(aes256CbcDecrypt(*cipher, key, iv), plain);
    EXPECT_FALSE(aes256CbcDecrypt(expected, key, iv)); // unpadded: padding check fails
    EXPECT_FALSE(aes256CbcEncrypt(plain, key.left(31), iv));
    EXPECT_FALSE(aes256CbcEncrypt(plain, key, iv.left(8)));
    EXPECT_FALSE(aes256CbcDecrypt(QByteArray(), key, iv));
    EXPECT_FALSE(aes256CbcDecrypt(expected.left(15), key, iv));
}

TEST(KLSecureString, KeyStringIsZeroPaddedOrCutAndEmptyMeansZeroKey)
{
    EXPECT_EQ(keyFromString(QString()), QByteArray(32, '\0'));
    EXPECT_EQ(keyFromString(QStringLiteral("ké")), QByteArray("k\xc3\xa9") + QByteArray(29, '\0'));
    EXPECT_EQ(keyFromString(QString(40, QLatin1Char('x'))), QByteArray(32, 'x'));

    // AES-256 of a zero block under the zero key is dc95c078…; with a zero IV, the first CBC block.
    const auto zeros = encrypt(QString(16, QChar(0)), QString());
    ASSERT_TRUE(zeros.has_value());
    EXPECT_EQ(zeros->left(16).toHex(), QByteArray("dc95c078a2408989ad48a21492842087"));

    for (const QString &text : {QString(), QStringLiteral("工号 A-0042 ✓"), QString(100, QLatin1Char('z'))}) {
        const auto sealed = encrypt(text, QString());
        ASSERT_TRUE(sealed.has_value());
        EXPECT_EQ(decrypt(*sealed, QString()), text);
    }
    // Valid padding around bytes that are not UTF-8 is still unreadable.
    const auto notUtf8 = aes256CbcEncrypt("\xff\xfe\xc3", QByteArray(32, '\0'), QByteArray(16, '\0'));
    ASSERT_TRUE(notUtf8.has_value());
    EXPECT_FALSE(decrypt(*notUtf8, QString()));
}
