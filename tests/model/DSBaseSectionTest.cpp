#include "TestSupport.h"
#include "DSBaseTestFields.h"
#include "model/DSBase.h"
#include "model/DataSourceSection.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/LabelData.h"
#include "platform/Archive.h"
#include "platform/Crypt.h"
#include "platform/VXException.h"

#include <gtest/gtest.h>

namespace {

// Expected bytes built straight from the layout table, not through the archive writer.
struct Bytes
{
    QByteArray b;
    Bytes& u32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        return *this;
    }
    Bytes& u8(uint8_t v)
    {
        b.append(static_cast<char>(v));
        return *this;
    }
    Bytes& str(const QString& s) // short strings only: one length byte
    {
        b.append("\xFF\xFE\xFF", 3);
        b.append(static_cast<char>(s.size()));
        for (QChar c : s)
            u8(c.unicode() & 0xFF).u8(c.unicode() >> 8);
        return *this;
    }
    // An untouched common block: empty texts, from 1, to 100, both lists empty.
    Bytes& common(uint32_t type) { return u32(type).str("").str("").str("").u32(0).u32(0).u32(1).u32(100).str("").u32(0).u32(0); }
};

QByteArray Written(const CLabelData& label)
{
    CArchiveWriter w;
    WriteDataSources(w, label);
    return w.Data();
}

} // namespace

TEST(DataSourceSection, GoldenBytes)
{
    CLabelData label;
    EXPECT_EQ(Written(label), Bytes().u32(0).b); // no data sources: a single 0

    auto text = std::make_unique<CTextDS>();
    text->m_strName = QStringLiteral(u"货品");
    text->m_nRangeMode = RangeFromTo;
    text->m_nFrom = 2;
    text->m_nTo = 9;
    text->m_selectedFields = {"id", "qty"};
    text->m_sampleValues = {"7"};
    text->m_strPath = "a.csv";
    text->m_bHeaderRow = true;
    text->m_nReserved = 0x01020304;
    label.m_dataSources.push_back(std::move(text));
    auto pg = std::make_unique<CPostgreSQLDS>();
    pg->m_strHost = "ab";
    label.m_dataSources.push_back(std::move(pg));
    label.m_dataSources.push_back(std::make_unique<CODBCDS>());
    auto excel = std::make_unique<CExcelDS>();
    excel->m_bHeaderRow = true;
    label.m_dataSources.push_back(std::move(excel));
    auto sqlite = std::make_unique<CSQLiteDS>();
    sqlite->m_nVersion = 1;
    label.m_dataSources.push_back(std::move(sqlite));
    auto oracle = std::make_unique<COracleDS>();
    oracle->m_nConnectionType = 1;
    oracle->m_nReserved = 2;
    oracle->m_nNameKind = 3;
    label.m_dataSources.push_back(std::move(oracle));
    auto access = std::make_unique<CAccessDS>();
    access->m_strPath = "d";
    access->m_strPassword = "0f";
    label.m_dataSources.push_back(std::move(access));
    auto sybase = std::make_unique<CSybaseDS>();
    sybase->m_strServer = "s";
    sybase->m_strPassword = "p";
    label.m_dataSources.push_back(std::move(sybase));
    auto custom = std::make_unique<CCustomDS>();
    custom->m_strConnectionString = "c";
    label.m_dataSources.push_back(std::move(custom));

    Bytes e;
    e.u32(9);
    e.u32(0).str(QStringLiteral(u"货品")).str("").str("").u32(0).u32(1).u32(2).u32(9).str("");
    e.u32(2).str("id").str("qty").u32(1).str("7");
    e.str("a.csv").u32(1).str("").str("").u8(1).u32(0x01020304);
    e.common(4).str("ab").u32(5432).str("").str("").str("");
    e.common(11);
    e.common(1).str("").str("").u8(1);
    e.common(3).str("").u32(1);
    e.common(7).u32(1).u32(2).str("").u32(1521).u32(3).str("").str("").str("");
    e.common(2).str("d").str("0f");
    e.common(8).str("s").str("").str("").str("p");
    e.common(12).str("c");
    EXPECT_EQ(Written(label).toHex(), e.b.toHex());
}

TEST(DataSourceSection, EveryTypeRoundTripsInListOrder)
{
    CLabelData label;
    for (int32_t type = kDataSourceTypeCount - 1; type >= 0; --type) {
        label.m_dataSources.push_back(CDSBase::Create(type));
        FillEveryField(*label.m_dataSources.back());
        label.m_dataSources.push_back(CDSBase::Create(type)); // and its defaults
    }
    const QByteArray bytes = Written(label);

    CLabelData back;
    CArchiveReader r(bytes);
    ReadDataSources(r, back);
    EXPECT_TRUE(r.AtEnd());
    ASSERT_EQ(back.m_dataSources.size(), label.m_dataSources.size());
    for (size_t i = 0; i < back.m_dataSources.size(); ++i)
        ExpectSameFields(*label.m_dataSources[i], *back.m_dataSources[i]);
}

TEST(DataSourceSection, EncipheredFieldsAreStoredAsTheDescriptionHoldsThem)
{
    CLabelData label;
    auto pg = std::make_unique<CPostgreSQLDS>();
    pg->m_strHost = EncryptString("db.example");
    pg->m_nPort = 6543;
    pg->m_strDatabase = EncryptString(QStringLiteral(u"库存"));
    pg->m_strUser = EncryptString("alice");
    pg->m_strPassword = EncryptString("s3cret");
    label.m_dataSources.push_back(std::move(pg));
    const QByteArray bytes = Written(label);
    // Neither the plain texts nor their UTF-16 forms reach the file.
    EXPECT_FALSE(bytes.contains(QStringLiteral("s3cret").toUtf8()));
    EXPECT_FALSE(bytes.contains(QByteArray("s\0003\000c\000r", 7)));

    CLabelData back;
    CArchiveReader r(bytes);
    ReadDataSources(r, back);
    const auto& read = dynamic_cast<const CPostgreSQLDS&>(*back.m_dataSources.at(0));
    EXPECT_EQ(read.m_nPort, 6543);
    EXPECT_EQ(read.m_strHost, EncryptString("db.example"));
    EXPECT_EQ(DecryptString(read.m_strDatabase), QStringLiteral(u"库存"));
    EXPECT_EQ(DecryptString(read.m_strUser), "alice");
    EXPECT_EQ(DecryptString(read.m_strPassword), "s3cret");
}

TEST(DataSourceSection, DamagedSectionsThrowAndKeepWhatWasRead)
{
    CLabelData label;
    label.m_dataSources.push_back(std::make_unique<CODBCDS>());
    label.m_dataSources.push_back(std::make_unique<CMySQLDS>());
    const QByteArray bytes = Written(label);

    // Cut inside the second record: the first stays, the partial one is not appended.
    CLabelData back;
    CArchiveReader cut(bytes.left(bytes.size() - 3));
    EXPECT_THROW(ReadDataSources(cut, back), CArchiveException);
    ASSERT_EQ(back.m_dataSources.size(), 1u);
    EXPECT_EQ(back.m_dataSources[0]->GetType(), DSODBC);

    // An unknown type code stops the section: its length is not stored.
    CLabelData unknown;
    CArchiveReader r(Bytes().u32(2).common(10).common(13).common(10).b);
    EXPECT_THROW(ReadDataSources(r, unknown), CArchiveException);
    EXPECT_EQ(unknown.m_dataSources.size(), 1u);

    // A negative count reads no records; a huge one is refused before allocating.
    CLabelData none;
    CArchiveReader negative(Bytes().u32(0xFFFFFFFFu).b);
    ReadDataSources(negative, none);
    EXPECT_TRUE(none.m_dataSources.empty());
    CArchiveReader huge(Bytes().u32(0x7FFFFFFFu).common(11).b);
    EXPECT_THROW(ReadDataSources(huge, none), CArchiveException);
}

TEST(DataSourceSection, EveryTypeRoundTripsWithinAFullLabelFile)
{
    CLabelData label;
    for (int32_t type = 0; type < kDataSourceTypeCount; ++type) {
        label.m_dataSources.push_back(CDSBase::Create(type));
        FillEveryField(*label.m_dataSources.back());
    }
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    const QByteArray file = writer.DocumentBytes();
    // The section comes last but for the object list, here empty: one u32 0.
    EXPECT_TRUE(file.endsWith(QByteArray(Written(label) + Bytes().u32(0).b)));

    CLabelData back;
    CDocReaderV1_0 reader;
    reader.m_pLabelData = &back;
    reader.ReadDocumentData(file);
    ASSERT_EQ(back.m_dataSources.size(), label.m_dataSources.size());
    for (size_t i = 0; i < back.m_dataSources.size(); ++i)
        ExpectSameFields(*label.m_dataSources[i], *back.m_dataSources[i]);
}
