#include "TestSupport.h"
#include "model/Utils.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QDateTime kTime(QDate(2024, 3, 5), QTime(7, 8, 9));
}

TEST(FormatDateTime, TemplatesRunsAndLiterals)
{
    EXPECT_EQ(FormatDateTime("yyyy-MM-dd HH:mm:ss", kTime), "2024-03-05 07:08:09");
    EXPECT_EQ(FormatDateTime(QString::fromUtf8("yyyy年M月d日"), kTime), QString::fromUtf8("2024年3月5日"));
    EXPECT_EQ(FormatDateTime("yy/M/d H:m:s", kTime), "24/3/5 7:8:9");
    EXPECT_EQ(FormatDateTime("yyyyy", kTime), "2024y");
    EXPECT_EQ(FormatDateTime("y", kTime), "y");
    EXPECT_EQ(FormatDateTime("yyy-", kTime), "yyy-");
    // A run stops at two letters: "MMM" is a two-digit month then a one-digit month.
    EXPECT_EQ(FormatDateTime("MMM", kTime), "033");
    EXPECT_EQ(FormatDateTime("Mm", kTime), "38");
    EXPECT_EQ(FormatDateTime("", kTime), "");
    EXPECT_EQ(FormatDateTime("batch #A-1", kTime), "batch #A-1");
    EXPECT_EQ(FormatDateTime("HH", QDateTime(QDate(2024, 12, 31), QTime(23, 59, 0))), "23");
}

TEST(FormatDateTime, WeekdayNameAndTwelveHourClock)
{
    const QDateTime afternoon(QDate(2024, 3, 5), QTime(15, 8, 9));
    EXPECT_EQ(FormatDateTime("dddd", kTime), QString::fromUtf8("星期二"));
    EXPECT_EQ(FormatDateTime("yyyy-MM-dd dddd", kTime), QString::fromUtf8("2024-03-05 星期二"));
    EXPECT_EQ(FormatDateTime("tt h:mm:ss", kTime), QString::fromUtf8("上午 7:08:09"));
    EXPECT_EQ(FormatDateTime("tt h:mm", afternoon), QString::fromUtf8("下午 3:08"));
    EXPECT_EQ(FormatDateTime("tt H:mm", afternoon), QString::fromUtf8("下午 15:08"));
    EXPECT_EQ(FormatDateTime("hh:mm tt", afternoon), QString::fromUtf8("03:08 下午"));
    EXPECT_EQ(FormatDateTime("h", QDateTime(QDate(2024, 3, 5), QTime(0, 30))), "12");
    EXPECT_EQ(FormatDateTime("h", QDateTime(QDate(2024, 3, 5), QTime(12, 30))), "12");
    // What already printed keeps printing the same: "ddd", and Latin words.
    EXPECT_EQ(FormatDateTime("ddd", kTime), "055");
    EXPECT_EQ(FormatDateTime("batch #A-1", afternoon), "batch #A-1");
    EXPECT_EQ(FormatDateTime("Attn: t", afternoon), "Attn: t");
}

TEST(FloatText, ShortAndFixedForms)
{
    EXPECT_EQ(FormatFloat2(1.005f), "1.00");
    EXPECT_EQ(FormatFloat3(2.0f), "2.000");
    EXPECT_EQ(FormatFloatShort2(1.5f), "1.5");
    EXPECT_EQ(FormatFloatShort2(1.0f), "1.0");
    EXPECT_EQ(FormatFloatShort2(1.25f), "1.25");
    EXPECT_EQ(FormatFloatShort2(0.0f), "0.0");
    EXPECT_EQ(FormatFloatShort2(-2.5f), "-2.5");
    EXPECT_EQ(FormatFloatShort3(1.5f), "1.5");
    EXPECT_EQ(FormatFloatShort3(2.0f), "2.0");
    EXPECT_EQ(FormatFloatShort3(1.25f), "1.25");
    EXPECT_EQ(FormatFloatShort3(1.125f), "1.125");
    EXPECT_EQ(FormatFloatDecimals(3.14159, 0), "3");
    EXPECT_EQ(FormatFloatDecimals(3.14159, 4), "3.1416");
    EXPECT_EQ(FormatFloatDecimals(3.14159, 5), "3.14159");
    EXPECT_EQ(FormatFloatDecimals(3.14159, 9), "3.14159");
    EXPECT_EQ(FormatFloatDecimals(3.14159, -1), "3.14159");
}

TEST(FloatText, LeadingNumberAndTolerantEquality)
{
    EXPECT_FLOAT_EQ(TextToFloat("12.5abc"), 12.5f);
    EXPECT_FLOAT_EQ(TextToFloat("  -3"), -3.0f);
    EXPECT_FLOAT_EQ(TextToFloat("1e2x"), 100.0f);
    EXPECT_EQ(TextToFloat("abc"), 0.0f);
    EXPECT_EQ(TextToFloat(""), 0.0f);
    EXPECT_TRUE(FloatEquals2(1.0f, 1.009f));
    EXPECT_FALSE(FloatEquals2(1.0f, 1.02f));
    EXPECT_TRUE(FloatEquals3(1.0f, 1.0009f));
    EXPECT_FALSE(FloatEquals3(1.0f, 1.002f));
}

TEST(SerialAlphabets, BijectiveNumbering)
{
    EXPECT_EQ(SerialToLetters(1), "A");
    EXPECT_EQ(SerialToLetters(26), "Z");
    EXPECT_EQ(SerialToLetters(27), "AA");
    EXPECT_EQ(SerialToLetters(702), "ZZ");
    EXPECT_EQ(SerialToLetters(703), "AAA");
    EXPECT_EQ(SerialToLetters(0), "");
    EXPECT_EQ(SerialToLetters(-5), "");
    EXPECT_EQ(SerialToBase36(1), "0");
    EXPECT_EQ(SerialToBase36(36), "Z");
    EXPECT_EQ(SerialToBase36(37), "00");
    EXPECT_EQ(SerialToLettersNoIOLQ(9), "J");
    EXPECT_EQ(SerialToLettersNoIOLQ(23), "AA");
    EXPECT_EQ(SerialToLettersNoIOQU(11), "L");
    EXPECT_EQ(SerialToLettersNoIO(24), "Z");
    EXPECT_EQ(SerialToLettersNoIO(25), "AA");
    EXPECT_EQ(SerialToAlphabet(3, "xy"), "xx");
    EXPECT_EQ(SerialToAlphabet(5, ""), "");
    EXPECT_EQ(SerialToLetters(INT_MAX), "FXSHRXW");
    EXPECT_EQ(SerialToLetters(int64_t(INT_MAX) + 1), "FXSHRXX");
}

TEST(Text, ZeroPadding)
{
    QString s = "12";
    MakeZeroString(3, s);
    EXPECT_EQ(s, "00012");
    MakeZeroString(0, s);
    MakeZeroString(-2, s);
    EXPECT_EQ(s, "00012");
    QString empty;
    MakeZeroString(2, empty);
    EXPECT_EQ(empty, "00");
}

TEST(Paths, AppDirectoryHelpFileAndExistence)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("VELLUMCRAFT_HOME", dir.path().toUtf8() + "/");
    EXPECT_EQ(GetAppDirectory(), dir.path());
    EXPECT_TRUE(GetHelpFilePath().startsWith(dir.path() + "/"));
    EXPECT_TRUE(GetHelpFilePath().endsWith(".chm"));
    EXPECT_FALSE(GetHelpFilePath().endsWith(".chm.chm"));
    qunsetenv("VELLUMCRAFT_HOME");
    EXPECT_FALSE(GetAppDirectory().endsWith('/'));
    EXPECT_TRUE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(dir.path() + "/nothing"));
    EXPECT_FALSE(FileExists(dir.path() + "/*"));
    EXPECT_FALSE(FileExists(""));
}

TEST(Images, EncoderLookupByMimeType)
{
    QByteArray format;
    EXPECT_GE(GetEncoderClsid("image/png", &format), 0);
    EXPECT_EQ(format, "png");
    EXPECT_GE(GetEncoderClsid("image/jpeg"), 0);
    EXPECT_EQ(GetEncoderClsid("IMAGE/PNG"), -1);
    EXPECT_EQ(GetEncoderClsid("image/x-nothing"), -1);
}
