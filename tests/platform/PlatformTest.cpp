#include "TestSupport.h"
#include "platform/ImageHolder.h"
#include "platform/Numbers.h"
#include "platform/VXException.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(LeadingNumber, ReadsThePrefixLikeTheCRuntime)
{
    EXPECT_EQ(LeadingInt(u"12abc"), 12);
    EXPECT_EQ(LeadingInt(u"  -7"), -7);
    EXPECT_EQ(LeadingInt(u"+3"), 3);
    EXPECT_EQ(LeadingInt(u"abc"), 0);
    EXPECT_EQ(LeadingInt(u"3.9"), 3);
    EXPECT_EQ(LeadingInt(u"99999999999"), INT_MAX);
    EXPECT_EQ(LeadingInt(u"-99999999999"), INT_MIN);
    EXPECT_DOUBLE_EQ(LeadingDouble(u"0.29"), 0.29);
    EXPECT_DOUBLE_EQ(LeadingDouble(u"-1.5e1kg"), -15.0);
    EXPECT_DOUBLE_EQ(LeadingDouble(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(LeadingDouble(u"--1"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingDouble(u"1e"), 1.0);
    EXPECT_DOUBLE_EQ(LeadingDouble(u"１２"), 0.0); // full-width digits are not numbers
    // Too large is the largest value of the sign; too small is zero, not infinity.
    EXPECT_EQ(LeadingDouble(u"-1e400"), -HUGE_VAL);
    EXPECT_EQ(LeadingDouble(u"1e-400"), 0.0);
    EXPECT_EQ(LeadingDouble(u"-0.5e-330"), 0.0);
}

TEST(VXException, CopiesCarryTheirOwnMessage)
{
    try {
        throw VXException(QString::fromUtf8("无法启动打印任务。"));
    } catch (const VXException& e) {
        VXException copy = e;
        copy.SetMessage("changed");
        EXPECT_EQ(e.GetMessage(), QString::fromUtf8("无法启动打印任务。"));
        EXPECT_EQ(copy.GetMessage(), "changed");
        EXPECT_STREQ(copy.what(), "changed");
    }
    EXPECT_TRUE(VXException(QString()).GetMessage().isEmpty());
    // The typed kinds are caught as the base.
    try {
        throw CDataSourceException("not support data loader");
    } catch (const VXException& e) {
        EXPECT_EQ(e.GetMessage(), "not support data loader");
    }
}

TEST(ImageHolder, KeepsOriginalBytesBesideTheDecodedImage)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    const ImageHolder png = ImageHolder::FromImage(image);
    EXPECT_EQ(png.MimeType(), "image/png");
    const ImageHolder again = ImageHolder::FromBytes(png.Bytes());
    EXPECT_EQ(again.MimeType(), "image/png");
    EXPECT_EQ(again.Image().size(), QSize(4, 3));
    EXPECT_EQ(again.Bytes(), png.Bytes());

    const QByteArray junk("not a picture at all");
    const ImageHolder broken = ImageHolder::FromBytes(junk, "image/gif");
    EXPECT_FALSE(broken.IsDecoded());
    EXPECT_FALSE(broken.IsEmpty());
    EXPECT_EQ(broken.Bytes(), junk);
    EXPECT_EQ(broken.MimeType(), "image/gif");
}
