#include "DocRoundTrip.h"
#include "DocTestBytes.h"
#include "TestSupport.h"
#include "model/BaseGraph.h"
#include "model/DocLoader.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/ShapeGraph.h"
#include "platform/Archive.h"
#include "platform/ImageHolder.h"
#include "platform/VXException.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The label settings of a new record, from the record's table of defaults.
Golden DefaultSettings()
{
    Golden g;
    g.i32(0).i32(0).str("").str("").str("").i32(-1);               // printer
    g.u16(0).str("A4").f32(210).f32(297).flag(false).f32(0).f32(0); // paper
    g.i32(1).f32(2).flag(false).f32(30).flag(false).f32(0.2f).rgba(0, 0, 0, 0xFF); // shape
    g.f32(90).f32(50).f32(10).f32(10).f32(5).f32(5).i32(5).i32(2).flag(true).i32(0).i32(0).flag(true);
    g.i32(0).f32(0.2f).f32(0).flag(false).flag(false).f32(0).f32(0).f32(0).f32(0).flag(false); // advanced
    g.i32(0).i32(0).f32(5).f32(5).i32(0).str("").str("Arial").f32(8).i32(0).str("").str(""); // header
    g.i32(0).i32(0).f32(5).f32(5).i32(0).str("Arial").f32(8).i32(0).str("").str("").i32(0); // number
    g.rgba(0xFF, 0xFF, 0xFF, 0).i32(0).str("").str("").i32(0).flag(false).flag(false).flag(false); // background
    g.flag(false); // nothing embedded
    g.i32(1).i32(0).i32(1).str("").str("").flag(false).flag(false).i32(1).flag(false).i32(1); // counts
    g.f32(1).flag(false).flag(false); // grid
    g.strs(6);
    for (int i = 0; i < 5; ++i)
        g.i32(0);
    for (int i = 0; i < 5; ++i)
        g.f32(0);
    g.strs(5);
    return g;
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray PngBytes(QColor colour)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(colour);
    return PngOf(image);
}

} // namespace

TEST(DocFile, EmptyLabelHasTheGoldenBytes)
{
    CLabelData label;
    Golden expected;
    expected.header().raw(DefaultSettings());
    expected.str(QString::fromUtf8("提示对话框")).i32(500).i32(300).u32(0); // form
    expected.u32(0);                                                       // external variables
    expected.u32(0);                                                       // named substrings
    for (int i = 0; i < kScriptEventCount; ++i)
        expected.str(QString::fromUtf16(g_scriptEvents[i].initialText));
    expected.strs(kScriptTextCount - kScriptEventCount);
    expected.u32(0); // data sources
    expected.u32(0); // objects

    const QByteArray bytes = DocumentBytes(label);
    EXPECT_EQ(bytes.left(20).toHex().toStdString(), "01000000030000000700000" "00a000000fffeff05");
    EXPECT_EQ(bytes.toHex().toStdString(), expected.bytes().toHex().toStdString());
}

TEST(DocFile, EveryStoredFieldSurvivesARoundTrip)
{
    CLabelData label;
    label.m_nPageWidthFlag = 3;
    label.m_nPrinterType = 1;
    label.m_strPrinterName = QString::fromUtf8("标签打印机 1");
    label.m_strReservedPrinter1 = "r1";
    label.m_strReservedPrinter2 = "r2";
    label.m_nResolution = 300;
    label.m_nPaperSize = 0xBEEF;
    label.m_strPaperName = "Custom";
    label.m_fPaperWidth = 100.5f;
    label.m_bLandscape = true;
    label.m_crBorder = 0x80123456u;
    label.m_nRows = 40;
    label.m_bSameDirection = false;
    label.m_fReservedAdvanced2 = 7.25f;
    label.m_strHeaderText = QString(300, QChar(u'页'));
    label.m_nNumberRange = 1;
    label.m_crBackground = 0x11223344u;
    label.m_nBackgroundSource = 2;
    label.m_strImagePath = "/nonexistent/picture.png";
    label.m_bDesignBackground = true;
    label.m_nReservedCount = -9;
    label.m_bSnapToGrid = true;
    label.m_strReservedTail1[5] = "t5";
    label.m_nReservedTail[4] = 44;
    label.m_fReservedTail[0] = -1.5f;
    label.m_strReservedTail2[0] = "u0";
    label.m_nReservedLast = 99; // not stored
    label.m_strFormCaption = "Prompt";
    label.m_nFormWidth = 320;
    for (int i = 0; i < kScriptTextCount; ++i)
        label.m_strScripts[i] = QStringLiteral("script %1").arg(i);
    for (int i = 0; i < 2; ++i) {
        auto v = std::make_unique<CExternalVariable>();
        v->m_strName = QStringLiteral("var%1").arg(i);
        v->m_strText2 = "second";
        v->m_strText3 = QString::fromUtf8("第三");
        label.m_externalVariables.push_back(std::move(v));
    }

    CLabelData read;
    ReadInto(read, DocumentBytes(label));
    EXPECT_EQ(read.m_nPageWidthFlag, 3);
    EXPECT_EQ(read.m_nPrinterType, 1);
    EXPECT_EQ(read.m_strPrinterName, label.m_strPrinterName);
    EXPECT_EQ(read.m_strReservedPrinter1, "r1");
    EXPECT_EQ(read.m_strReservedPrinter2, "r2");
    EXPECT_EQ(read.m_nResolution, 300);
    EXPECT_EQ(read.m_nPaperSize, 0xBEEF);
    EXPECT_EQ(read.m_strPaperName, "Custom");
    EXPECT_EQ(read.m_fPaperWidth, 100.5f);
    EXPECT_TRUE(read.m_bLandscape);
    EXPECT_EQ(read.m_crBorder, 0x80123456u);
    EXPECT_EQ(read.m_nRows, 40);
    EXPECT_FALSE(read.m_bSameDirection);
    EXPECT_EQ(read.m_fReservedAdvanced2, 7.25f);
    EXPECT_EQ(read.m_strHeaderText, label.m_strHeaderText);
    EXPECT_EQ(read.m_nNumberRange, 1);
    EXPECT_EQ(read.m_crBackground, 0x11223344u);
    EXPECT_EQ(read.m_nBackgroundSource, 2);
    EXPECT_EQ(read.m_strImagePath, label.m_strImagePath); // kept though the file is missing
    EXPECT_EQ(read.m_pImage, nullptr);
    EXPECT_TRUE(read.m_bDesignBackground);
    EXPECT_EQ(read.m_nReservedCount, -9);
    EXPECT_TRUE(read.m_bSnapToGrid);
    EXPECT_EQ(read.m_strReservedTail1, label.m_strReservedTail1);
    EXPECT_EQ(read.m_nReservedTail, label.m_nReservedTail);
    EXPECT_EQ(read.m_fReservedTail, label.m_fReservedTail);
    EXPECT_EQ(read.m_strReservedTail2, label.m_strReservedTail2);
    EXPECT_EQ(read.m_nReservedLast, 0);
    EXPECT_EQ(read.m_strFormCaption, "Prompt");
    EXPECT_EQ(read.m_nFormWidth, 320);
    EXPECT_EQ(read.m_strScripts, label.m_strScripts);
    ASSERT_EQ(read.m_externalVariables.size(), 2u);
    EXPECT_EQ(read.m_externalVariables[1]->m_strName, "var1");
    EXPECT_EQ(read.m_externalVariables[1]->m_strText2, "second");
    EXPECT_EQ(read.m_externalVariables[1]->m_strText3, QString::fromUtf8("第三"));
    // Writing what was read gives the same bytes.
    EXPECT_EQ(DocumentBytes(read), DocumentBytes(label));
}

TEST(DocFile, FormItemsOfEveryKindKeepEveryField)
{
    CLabelData label;
    auto text = std::make_unique<CStaticSDGraph>();
    text->m_nReserved1 = 5;
    text->m_crColor1 = 0x01020304u;
    text->m_crColor2 = 0xA0B0C0D0u;
    text->m_strReserved = "rsv";
    text->m_fReserved = 2.5f;
    text->m_nReserved2 = -6;
    text->m_bReserved1 = true;
    auto edit = std::make_unique<CEditSDGraph>();
    edit->m_strName = "qty";
    edit->m_bMultiLine = true;
    auto combo = std::make_unique<CComboSDGraph>();
    combo->m_strName = "size";
    combo->m_nListValue1 = 3;
    combo->m_nListValue2 = 4;
    combo->m_entries = QStringList{"S", "M", QString::fromUtf8("大")};
    auto date = std::make_unique<CDateSDGraph>();
    date->m_strExtra = "yyyy";
    date->m_nX = -10;
    auto emptyCombo = std::make_unique<CComboSDGraph>();
    label.m_formItems.push_back(std::move(text));
    label.m_formItems.push_back(std::move(edit));
    label.m_formItems.push_back(std::move(combo));
    label.m_formItems.push_back(std::move(date));
    label.m_formItems.push_back(std::move(emptyCombo));

    // The drop-down list's record, spelled out.
    CLabelData one;
    auto only = std::make_unique<CComboSDGraph>();
    only->m_strName = "n";
    only->m_nListValue1 = 3;
    only->m_entries = QStringList{"S"};
    one.m_formItems.push_back(std::move(only));
    Golden item;
    item.str("Prompt").i32(500).i32(300).u32(1);
    item.i32(2).str("n").i32(0).i32(0).i32(120).i32(25).str("").i32(0).rgba(0, 0, 0, 0xFF).rgba(0, 0, 0, 0xFF);
    item.str("").f32(0).i32(0).flag(false).flag(false);
    item.i32(3).i32(0).u32(1).str("S");
    one.m_strFormCaption = "Prompt";
    CArchiveWriter ar;
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &one;
    WriteScreenDataForm(ar, writer);
    EXPECT_EQ(ar.Data().toHex(), item.bytes().toHex());

    CLabelData read;
    read.m_formItems.push_back(std::make_unique<CStaticSDGraph>()); // reading appends
    ReadInto(read, DocumentBytes(label));
    ASSERT_EQ(read.m_formItems.size(), 6u);
    const auto& t = *read.m_formItems[1];
    EXPECT_EQ(t.GetKind(), SDStaticText);
    EXPECT_EQ(t.m_strText, "Label");
    EXPECT_EQ(t.m_nWidth, 60);
    EXPECT_EQ(t.m_nReserved1, 5);
    EXPECT_EQ(t.m_crColor1, 0x01020304u);
    EXPECT_EQ(t.m_crColor2, 0xA0B0C0D0u);
    EXPECT_EQ(t.m_strReserved, "rsv");
    EXPECT_EQ(t.m_fReserved, 2.5f);
    EXPECT_EQ(t.m_nReserved2, -6);
    EXPECT_TRUE(t.m_bReserved1);
    EXPECT_FALSE(t.m_bReserved2);
    const auto* e = dynamic_cast<const CEditSDGraph*>(read.m_formItems[2].get());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->m_strName, "qty");
    EXPECT_TRUE(e->m_bMultiLine);
    const auto* c = dynamic_cast<const CComboSDGraph*>(read.m_formItems[3].get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->m_nListValue1, 3);
    EXPECT_EQ(c->m_nListValue2, 4);
    EXPECT_EQ(c->m_entries, (QStringList{"S", "M", QString::fromUtf8("大")}));
    const auto* d = dynamic_cast<const CDateSDGraph*>(read.m_formItems[4].get());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->m_strText, "2000-1-1");
    EXPECT_EQ(d->m_strExtra, "yyyy");
    EXPECT_EQ(d->m_nX, -10);
    const auto* c2 = dynamic_cast<const CComboSDGraph*>(read.m_formItems[5].get());
    ASSERT_NE(c2, nullptr);
    EXPECT_TRUE(c2->m_entries.isEmpty());
}

TEST(DocFile, EmbeddedBackgroundKeepsItsOriginalBytes)
{
    // A GIF cannot be encoded here, yet it is embedded and comes back byte for byte.
    const QByteArray gif = QByteArray::fromHex("47494638396101000100800000000000ffffff21f90401000000002c00000000010001"
                                               "000002024401003b");
    CLabelData label;
    label.m_nBackgroundSource = 1;
    label.m_strImageMimeType = "image/gif";
    label.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(gif));
    const QByteArray bytes = DocumentBytes(label);
    CLabelData read;
    ReadInto(read, bytes);
    ASSERT_NE(read.m_pImage, nullptr);
    EXPECT_EQ(read.m_pImage->Bytes(), gif);
    EXPECT_EQ(read.m_strImageMimeType, "image/gif");

    // The record: flag 1, u32 size, the bytes.
    Golden settings = DefaultSettings();
    const QByteArray plain = settings.bytes();
    CArchiveWriter ar;
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    WriteLabelSettings(ar, writer);
    const qsizetype flagAt = ar.Data().indexOf(gif) - 5;
    EXPECT_EQ(ar.Data().mid(flagAt, 5).toHex(), QByteArray("01") + Golden().u32(gif.size()).bytes().toHex());

    // No picture, or a source other than embedded: the flag is 0 and nothing follows.
    for (int source : {0, 2}) {
        CLabelData other;
        other.m_nBackgroundSource = source;
        other.m_strImagePath = "/nonexistent.png";
        other.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(gif));
        CArchiveWriter w;
        CDocWriterV1_0 wr;
        wr.m_pLabelData = &other;
        WriteLabelSettings(w, wr);
        EXPECT_EQ(w.Data().indexOf(gif), -1);
    }
    CLabelData noPicture;
    noPicture.m_nBackgroundSource = 1;
    CLabelData readBack;
    ReadInto(readBack, DocumentBytes(noPicture));
    EXPECT_EQ(readBack.m_nBackgroundSource, 1);
    EXPECT_EQ(readBack.m_pImage, nullptr);
}

TEST(DocFile, LinkedBackgroundIsLoadedOnlyWhileTheFileExists)
{
    QTemporaryDir dir;
    const QString picture = WriteFile(dir, "bg.png", PngBytes(Qt::red));
    CLabelData label;
    label.m_nBackgroundSource = 2;
    label.m_strImagePath = picture;
    label.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromFile(picture));
    const QByteArray bytes = DocumentBytes(label);
    EXPECT_EQ(bytes.indexOf(PngBytes(Qt::red)), -1);

    CLabelData read;
    ReadInto(read, bytes);
    ASSERT_NE(read.m_pImage, nullptr);
    EXPECT_EQ(read.m_pImage->Image().pixelColor(0, 0), QColor(Qt::red));

    QFile::remove(picture);
    CLabelData missing;
    ReadInto(missing, bytes);
    EXPECT_EQ(missing.m_pImage, nullptr);
    EXPECT_EQ(missing.m_strImagePath, picture);
}

TEST(DocLoader, ChecksTheVersionBeforeTouchingTheRecord)
{
    QTemporaryDir dir;
    CLabelData source;
    source.m_strPaperName = "Letter";
    const QByteArray good = DocumentBytes(source);

    for (const char* version : {"FV1.1", "fv1.0", "FV1.0 ", ""}) {
        QByteArray bad = Golden().u32(1).u32(3).u32(7).u32(10).str(version);
        bad += good.mid(Golden().header().bytes().size());
        CLabelData label;
        CDocLoader loader;
        loader.m_strPath = WriteFile(dir, "bad.vmk", bad);
        loader.m_pLabelData = &label;
        EXPECT_THROW(loader.LoadDocument(), CArchiveException) << version;
        EXPECT_EQ(label.m_strPaperName, "A4");
        EXPECT_TRUE(label.m_strFilePath.isEmpty());
    }

    CLabelData label;
    CDocLoader loader;
    loader.m_strPath = WriteFile(dir, "good.vmk", good);
    loader.m_pLabelData = &label;
    loader.LoadDocument();
    EXPECT_EQ(label.m_strPaperName, "Letter");
    EXPECT_EQ(label.m_strFilePath, loader.m_strPath);

    CDocLoader missing;
    missing.m_strPath = dir.filePath("none.vmk");
    missing.m_pLabelData = &label;
    EXPECT_THROW(missing.LoadDocument(), CFileException);
}

TEST(DocLoader, ALabelMustEndWithItsLastRecord)
{
    QTemporaryDir dir;
    CLabelData empty;
    const qsizetype countAt = DocumentBytes(empty).size() - 4; // the object count closes an empty label
    CLabelData full;
    for (int i = 0; i < 3; ++i)
        full.m_objects.push_back(std::make_unique<CRectangleGraph>());
    const QByteArray good = DocumentBytes(full);

    // Garbage after a whole label, and a damaged copy whose object count reads as
    // none (it used to open as an empty label, which a save would have kept).
    QByteArray zeroed = good;
    zeroed.replace(countAt, 4, QByteArray(4, '\0'));
    for (const QByteArray& bad : {QByteArray(good + QByteArray(100 << 10, 'g')), zeroed, QByteArray(good + QByteArray(1, '\0'))}) {
        CLabelData label;
        EXPECT_THROW(ReadInto(label, bad), CArchiveException);
        const QString path = WriteFile(dir, "damaged.vmk", bad);
        CDocLoader loader;
        loader.m_strPath = path;
        loader.m_pLabelData = &label;
        try {
            loader.LoadDocument();
            ADD_FAILURE() << "opened";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.GetMessage(), QStringLiteral("文件“%1”已损坏或不完整，无法打开。").arg(path));
        }
        EXPECT_TRUE(label.m_strFilePath.isEmpty());
    }
    CLabelData read;
    ReadInto(read, good);
    EXPECT_EQ(read.m_objects.size(), 3u);
}

TEST(DocLoader, FailuresAreToldInTheProgramsLanguageNamingTheFile)
{
    QTemporaryDir dir;
    const QString other = WriteFile(dir, "notes.vmk", "plain text, not a label");
    const QString missing = dir.filePath("missing.vmk");
    const std::pair<QString, QString> cases[] = {
        {other, QStringLiteral("文件“%1”不是本程序能读取的标签文件。").arg(other)},
        {WriteFile(dir, "short.vmk", DocumentBytes(CLabelData()).left(40)),
         QStringLiteral("文件“%1”已损坏或不完整，无法打开。").arg(dir.filePath("short.vmk"))},
        {missing, QStringLiteral("无法打开文件“%1”：文件不存在。").arg(missing)},
        {dir.path(), QStringLiteral("无法打开文件“%1”：不是普通文件。").arg(dir.path())},
    };
    for (const auto& [path, text] : cases) {
        CLabelData label;
        CDocLoader loader;
        loader.m_strPath = path;
        loader.m_pLabelData = &label;
        try {
            loader.LoadDocument();
            ADD_FAILURE() << path.toStdString();
        } catch (const VXException& e) {
            EXPECT_EQ(e.GetMessage(), text);
        }
    }
}

TEST(DocLoader, EveryTruncationThrowsTheArchiveError)
{
    CLabelData source;
    source.m_formItems.push_back(std::make_unique<CComboSDGraph>());
    source.m_externalVariables.push_back(std::make_unique<CExternalVariable>());
    const QByteArray bytes = DocumentBytes(source);
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        CLabelData label;
        EXPECT_THROW(ReadInto(label, bytes.left(n)), CArchiveException) << n;
    }
    // An unknown form item kind stops the read.
    CLabelData withItem;
    withItem.m_formItems.push_back(std::make_unique<CEditSDGraph>());
    QByteArray unknown = DocumentBytes(withItem);
    const QByteArray kind = Golden().i32(1).str("").bytes();
    const qsizetype at = unknown.indexOf(Golden().u32(1).raw(kind).bytes()) + 4;
    unknown[at] = 4;
    CLabelData label;
    EXPECT_THROW(ReadInto(label, unknown), CArchiveException);
    EXPECT_TRUE(label.m_formItems.empty());
}

TEST(DocWriter, SavingReplacesTheFileOnlyWhenComplete)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("label.vmk");
    CLabelData label;
    CDocWriterV1_0 writer;
    writer.m_strPath = path;
    writer.m_pLabelData = &label;
    writer.WriteDocument();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray first = file.readAll();
    file.close();
    EXPECT_EQ(first, DocumentBytes(label));

    // A save that fails half-way leaves the old file as it was.
    struct FailingWriter : CDocWriterV1_0
    {
        void WriteImage(CArchiveWriter&, const ImageHolder&, const QString&) override
        {
            throw CFileException("disk full");
        }
    } failing;
    label.m_strPaperName = "B5";
    label.m_nBackgroundSource = 1;
    label.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(PngBytes(Qt::blue)));
    failing.m_strPath = path;
    failing.m_pLabelData = &label;
    EXPECT_THROW(failing.WriteDocument(), CFileException);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), first);
    file.close();

    CDocWriterV1_0 nowhere;
    nowhere.m_strPath = dir.filePath("missing-folder/label.vmk");
    nowhere.m_pLabelData = &label;
    EXPECT_THROW(nowhere.WriteDocument(), CFileException);
}
