#include "TestSupport.h"
#include "platform/Archive.h"
#include "platform/VXException.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

QByteArray Written(const QString& s)
{
    CArchiveWriter w;
    w.WriteString(s);
    return w.Data();
}

} // namespace

TEST(Archive, ScalarsAreLittleEndianAndColoursRGBA)
{
    CArchiveWriter w;
    w.WriteU8(0xAB);
    w.WriteU16(0x1234);
    w.WriteU32(0x0A000000u);
    w.WriteI32(-2);
    w.WriteF32(1.0f);
    w.WriteBool(true);
    w.WriteColor(0x00FFFFFFu);
    w.WriteColor(0xFF102030u);
    EXPECT_EQ(w.Data(), Hex("ab" "3412" "0000000a" "feffffff" "0000803f" "01" "ffffff00" "102030ff"));

    CArchiveReader r(w.Data());
    EXPECT_EQ(r.ReadU8(), 0xAB);
    EXPECT_EQ(r.ReadU16(), 0x1234);
    EXPECT_EQ(r.ReadU32(), 0x0A000000u);
    EXPECT_EQ(r.ReadI32(), -2);
    EXPECT_EQ(r.ReadF32(), 1.0f);
    EXPECT_TRUE(r.ReadBool());
    EXPECT_EQ(r.ReadColor(), 0x00FFFFFFu);
    EXPECT_EQ(r.ReadColor(), 0xFF102030u);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_THROW(r.ReadU8(), CArchiveException);
}

TEST(Archive, AnyNonZeroByteIsTrue)
{
    CArchiveReader r(Hex("00027f"));
    EXPECT_FALSE(r.ReadBool());
    EXPECT_TRUE(r.ReadBool());
    EXPECT_TRUE(r.ReadBool());
}

TEST(Archive, StringLengthPrefixesAtEachBoundary)
{
    EXPECT_EQ(Written(QString()), Hex("fffeff00"));
    EXPECT_EQ(Written("FV1.0"), Hex("fffeff05" "460056003100" "2e003000"));

    const QString s254(254, QChar(u'a'));
    EXPECT_EQ(Written(s254).left(4), Hex("fffefffe"));
    EXPECT_EQ(Written(s254).size(), 4 + 2 * 254);

    const QString s255(255, QChar(u'b'));
    EXPECT_EQ(Written(s255).left(6), Hex("fffeffffff00"));
    EXPECT_EQ(Written(s255).size(), 6 + 2 * 255);

    const QString s65534(65534, QChar(u'c'));
    EXPECT_EQ(Written(s65534).left(10), Hex("fffeffffffff" "feff0000"));
    EXPECT_EQ(Written(s65534).size(), 10 + 2 * 65534);

    for (const QString& s : {QString(), s254, s255, s65534, QString::fromUtf8("提示对话框")}) {
        CArchiveReader r(Written(s));
        EXPECT_EQ(r.ReadString(), s);
        EXPECT_TRUE(r.AtEnd());
    }
}

TEST(Archive, ReadsTheEightBitFormAsGbk)
{
    CArchiveReader r(Hex("04c4e3bac3" "03414243" "ff0300" "78797a"));
    EXPECT_EQ(r.ReadString(), QString::fromUtf8("你好"));
    EXPECT_EQ(r.ReadString(), "ABC");
    EXPECT_EQ(r.ReadString(), "xyz"); // a u16 length after FF
    EXPECT_TRUE(r.AtEnd());
}

TEST(Archive, LengthsAndCountsBeyondTheDataThrowBeforeAllocating)
{
    // A wide string claiming 2^32 - 2 units in a handful of bytes.
    EXPECT_THROW(CArchiveReader(Hex("fffeffffffff" "feffffff" "4100")).ReadString(), CArchiveException);
    // The 64-bit length form.
    EXPECT_THROW(CArchiveReader(Hex("fffeffffffffffffffff" "ffffffffffffff7f")).ReadString(), CArchiveException);
    // One unit short.
    EXPECT_THROW(CArchiveReader(Hex("fffeff02" "4100")).ReadString(), CArchiveException);
    // Cut inside the marker.
    EXPECT_THROW(CArchiveReader(Hex("fffe")).ReadString(), CArchiveException);

    CArchiveReader counts(Hex("03000000" "aabbccddeeff"));
    EXPECT_THROW(counts.ReadCount(4), CArchiveException);
    CArchiveReader fits(Hex("03000000" "aabbcc"));
    EXPECT_EQ(fits.ReadCount(1), 3u);
    // Zero and negative counts are empty lists.
    EXPECT_EQ(CArchiveReader(Hex("00000000")).ReadCount(4), 0u);
    EXPECT_EQ(CArchiveReader(Hex("ffffffff")).ReadCount(4), 0u);
    EXPECT_THROW(CArchiveReader(Hex("0a")).ReadBytes(2), CArchiveException);
    EXPECT_THROW(CArchiveReader(Hex("0a")).ReadBytes(-1), CArchiveException);
}

TEST(Archive, WriterPassesBlocksToItsDevice)
{
    QByteArray sink;
    QBuffer buffer(&sink);
    buffer.open(QIODevice::WriteOnly);
    CArchiveWriter w(&buffer);
    for (uint32_t i = 0; i < 3000; ++i)
        w.WriteU32(i);
    EXPECT_GT(sink.size(), 0);
    EXPECT_LT(w.Data().size(), 4096 + 4);
    w.Flush();
    EXPECT_TRUE(w.Data().isEmpty());
    ASSERT_EQ(sink.size(), 12000);
    CArchiveReader r(sink);
    for (uint32_t i = 0; i < 3000; ++i)
        ASSERT_EQ(r.ReadU32(), i);

    QBuffer closed;
    CArchiveWriter failing(&closed);
    failing.WriteU32(1);
    EXPECT_THROW(failing.Flush(), CFileException);
}
