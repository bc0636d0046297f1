#include "TestSupport.h"
#include "platform/Crypt.h"

#include <gtest/gtest.h>

// Stored label files hold these texts; a change of key, pass phrase or text encoding
// would make every saved connection unreadable. Values computed independently.
TEST(Crypt, CipherTextIsPinnedForStoredFiles)
{
    EXPECT_EQ(EncryptString("abc"), "75b1b0");
    EXPECT_EQ(EncryptString("sa"), "67b2");
    EXPECT_EQ(EncryptString(QStringLiteral(u"密码 pass")), "f17c55f44a229736a5bde7");
}

TEST(Crypt, RoundTripsAndIsDeterministic)
{
    for (const QString& plain : {QStringLiteral("abc"), QStringLiteral(u"数据库用户"),
                                 QStringLiteral(u"p@ss word;=é"), QString(2000, u'x')}) {
        const QString cipher = EncryptString(plain);
        EXPECT_EQ(cipher.size(), 2 * plain.toUtf8().size());
        EXPECT_EQ(cipher, cipher.toLower());
        EXPECT_EQ(EncryptString(plain), cipher); // no salt
        EXPECT_EQ(DecryptString(cipher), plain);
        EXPECT_EQ(DecryptString(cipher.toUpper()), plain);
    }
    EXPECT_EQ(EncryptString(""), "");
    EXPECT_EQ(DecryptString(""), "");
}

TEST(Crypt, MalformedCipherTextGivesEmptyText)
{
    const QString cipher = EncryptString("abc");
    EXPECT_EQ(DecryptString(cipher.left(5)), ""); // odd length
    EXPECT_EQ(DecryptString("7g"), "");
    EXPECT_EQ(DecryptString(" 75b1b0"), "");
    EXPECT_EQ(DecryptString(QStringLiteral(u"７５")), ""); // full-width digits
    // A plain value typed where a cipher text belongs is not passed through.
    EXPECT_EQ(DecryptString("password"), "");
}

TEST(Crypt, DecipheredTextStopsAtTheFirstZeroByte)
{
    QByteArray bytes("ab\0cd", 5);
    CCrypt crypt;
    crypt.CreateKey("Vc3&lb7Q");
    crypt.Apply(bytes);
    EXPECT_EQ(DecryptString(BytesToHex(bytes)), "ab");
}

TEST(Crypt, HexFormHelpers)
{
    EXPECT_EQ(BytesToHex(QByteArray("\x00\x0f\xa0\xff", 4)), "000fa0ff");
    EXPECT_EQ(HexToBytes("000FA0ff"), QByteArray("\x00\x0f\xa0\xff", 4));
    EXPECT_EQ(HexToBytes(""), QByteArray());
    EXPECT_FALSE(HexToBytes("abc"));
    EXPECT_FALSE(HexToBytes("zz"));
}
