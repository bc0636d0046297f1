#include "TestSupport.h"
#include "barcode/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, ConvertsToEachCodePageAndMarksWhatItCannotHold)
{
    const QString zhong = QStringLiteral("中");
    EXPECT_EQ(ConvertToCodePage(zhong, CodePageUTF8), QByteArray("\xe4\xb8\xad"));
    EXPECT_EQ(ConvertToCodePage(zhong, CodePageSystem), QByteArray("\xe4\xb8\xad"));
    EXPECT_EQ(ConvertToCodePage(zhong, CodePageGBK), QByteArray("\xd6\xd0"));
    EXPECT_EQ(ConvertToCodePage(zhong, CodePageBig5), QByteArray("\xa4\xa4"));
    EXPECT_EQ(ConvertToCodePage(QStringLiteral("a€b"), CodePageGBK), QByteArray("a\x80" "b"));
    // Outside the code page: one "?" per character, surrogate pairs included.
    EXPECT_EQ(ConvertToCodePage(QStringLiteral("x😀y한z"), CodePageGBK), QByteArray("x?y?z"));
    EXPECT_EQ(ConvertToCodePage(QStringLiteral("简한"), CodePageBig5), QByteArray("??"));
    EXPECT_EQ(ConvertToCodePage(QStringLiteral("😀"), CodePageUTF8), QByteArray("\xf0\x9f\x98\x80"));
    QString lone = QStringLiteral("ab");
    lone.insert(1, QChar(0xD800));
    EXPECT_EQ(ConvertToCodePage(lone, CodePageUTF8), QByteArray("a?b"));
    EXPECT_EQ(ConvertToCodePage(lone, CodePageGBK), QByteArray("a?b"));
    // A number that is no code page of ours keeps the content as UTF-8.
    EXPECT_EQ(ConvertToCodePage(zhong, 1252), QByteArray("\xe4\xb8\xad"));
    // Long text passes the conversion buffer boundary intact.
    const QString longText = QString(zhong).repeated(1000) + QStringLiteral("😀");
    const QByteArray gbk = ConvertToCodePage(longText, CodePageGBK);
    EXPECT_EQ(gbk.size(), 2001);
    EXPECT_EQ(gbk.right(3), QByteArray("\xd6\xd0?"));
}
