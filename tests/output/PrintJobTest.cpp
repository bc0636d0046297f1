// Job preparation and label order: counts, cell order, which labels land on which
// page, and which rows and serials they get.
#include "OutputSupport.h"
#include "TestSupport.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/ImageGraph.h"
#include "model/TextGraph.h"
#include "platform/VXException.h"

#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>

namespace {

// Installs fake loaders, one per data source in list order.
void UseFakeLoaders(CPrintHandler& job, std::vector<std::vector<QStringList>> data, int* loads = nullptr)
{
    auto shared = std::make_shared<std::vector<std::vector<QStringList>>>(std::move(data));
    auto next = std::make_shared<size_t>(0);
    job.SetLoaderFactory([shared, next, loads](const CDSBase&) -> std::unique_ptr<CDLBase> {
        return std::make_unique<FakeLoader>((*shared)[(*next)++], loads);
    });
}

std::vector<QStringList> NumberedRows(int count, int copiesColumnValue = -1)
{
    std::vector<QStringList> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({QStringLiteral("row%1").arg(i), QString::number(copiesColumnValue < 0 ? i : copiesColumnValue)});
    return rows;
}

// Five pages read at a time, and a text T that shows the field Name of a source S.
void PreloadFivePagesOfNames(CLabelData& label)
{
    label.m_nPreloadPages = 5;
    AddSource(label, "S", {"Name"});
    std::vector<std::unique_ptr<CDataBand>> field;
    field.push_back(FieldBand("S", "Name"));
    AddText(label, "T", std::move(field));
}

struct Job
{
    std::unique_ptr<CLabelData> label;
    CPrintHandler job;

    Job(int rows, int columns) : label(MakeGridLabel(rows, columns))
    {
        job.SetMode(CPrintHandler::ModePreview);
        job.SetLabelData(label.get());
    }
};

std::vector<int> Numbers(const std::vector<PreviewCell>& cells)
{
    std::vector<int> numbers;
    for (const auto& c : cells)
        numbers.push_back(c.number);
    return numbers;
}

} // namespace

TEST(LabelSequence, EveryStartCornerDirectionAndSerpentine)
{
    struct Case
    {
        int corner, direction;
        bool same;
        std::vector<int> grid; // row by row, 2 rows of 3
    };
    const Case cases[] = {
        {0, 0, true, {1, 2, 3, 4, 5, 6}},  {0, 0, false, {1, 2, 3, 6, 5, 4}},
        {1, 0, true, {3, 2, 1, 6, 5, 4}},  {1, 0, false, {3, 2, 1, 4, 5, 6}},
        {2, 0, true, {4, 5, 6, 1, 2, 3}},  {2, 0, false, {6, 5, 4, 1, 2, 3}},
        {3, 0, true, {6, 5, 4, 3, 2, 1}},  {3, 0, false, {4, 5, 6, 3, 2, 1}},
        {0, 1, true, {1, 3, 5, 2, 4, 6}},  {0, 1, false, {1, 4, 5, 2, 3, 6}},
        {1, 1, true, {5, 3, 1, 6, 4, 2}},  {1, 1, false, {5, 4, 1, 6, 3, 2}},
        {2, 1, true, {2, 4, 6, 1, 3, 5}},  {2, 1, false, {2, 3, 6, 1, 4, 5}},
        {3, 1, true, {6, 4, 2, 5, 3, 1}},  {3, 1, false, {6, 3, 2, 5, 4, 1}},
        {7, 0, true, {6, 5, 4, 3, 2, 1}}, // unknown corners count from bottom-right
        // every direction but 0 fills by columns
        {0, 2, true, {1, 3, 5, 2, 4, 6}},  {3, -1, false, {6, 3, 2, 5, 4, 1}},
    };
    for (const Case& c : cases) {
        Job j(2, 3);
        j.label->m_nStartCorner = c.corner;
        j.label->m_nFillDirection = c.direction;
        j.label->m_bSameDirection = c.same;
        std::vector<int> grid;
        for (int r = 0; r < 2; ++r)
            for (int col = 0; col < 3; ++col)
                grid.push_back(j.job.GetLabelSequence(r, col));
        EXPECT_EQ(grid, c.grid) << "corner " << c.corner << " direction " << c.direction << " same " << c.same;
    }
    Job tall(5, 2);
    tall.label->m_nFillDirection = FillVertical;
    EXPECT_EQ(tall.job.GetLabelSequence(4, 0), 5);
    EXPECT_EQ(tall.job.GetLabelSequence(0, 1), 6);
}

TEST(PrintJob, PartialPagesSkipOnlyTheCellsWithoutLabels)
{
    // 7 labels on pages of 2 x 3: page 2 holds label 7 in the first cell.
    Job plain(2, 3);
    plain.label->m_nPrintCount = 7;
    plain.job.Prepare();
    EXPECT_EQ(plain.job.GetPageCount(), 2);
    const auto page2 = PreviewPage(plain.job, 2);
    ASSERT_EQ(page2.size(), 1u);
    EXPECT_EQ(page2[0].number, 7);
    EXPECT_FLOAT_EQ(page2[0].x, 10.0f);
    EXPECT_FLOAT_EQ(page2[0].y, 10.0f);

    // From the top-right corner, 2 labels: the row's first cells hold none, the
    // cells after them do; both labels are drawn, right to left.
    Job reversed(2, 3);
    reversed.label->m_nStartCorner = CornerTopRight;
    reversed.label->m_nPrintCount = 2;
    reversed.job.Prepare();
    const auto cells = PreviewPage(reversed.job, 1);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].number, 2);
    EXPECT_FLOAT_EQ(cells[0].x, 45.0f);
    EXPECT_EQ(cells[1].number, 1);
    EXPECT_FLOAT_EQ(cells[1].x, 80.0f);

    // Serpentine from the bottom: 4 labels, the top row runs left to right.
    Job serpentine(2, 3);
    serpentine.label->m_nStartCorner = CornerBottomRight;
    serpentine.label->m_bSameDirection = false;
    serpentine.label->m_nPrintCount = 4;
    serpentine.job.Prepare();
    EXPECT_EQ(Numbers(PreviewPage(serpentine.job, 1)), (std::vector<int>{4, 3, 2, 1}));
}

TEST(PrintJob, EveryLayoutDrawsExactlyTheCellsOfItsLabels)
{
    // Whatever the order, the page draws the cells numbered 1 to its label count,
    // row by row from the top, left to right.
    for (int corner = 0; corner < 4; ++corner) {
        for (int direction : {0, 1}) {
            for (bool same : {true, false}) {
                for (int count = 1; count <= 12; ++count) {
                    Job j(3, 4);
                    j.label->m_nStartCorner = corner;
                    j.label->m_nFillDirection = direction;
                    j.label->m_bSameDirection = same;
                    j.label->m_nPrintCount = count;
                    j.job.Prepare();
                    std::vector<int> expected;
                    for (int r = 0; r < 3; ++r)
                        for (int c = 0; c < 4; ++c)
                            if (j.job.GetLabelSequence(r, c) <= count)
                                expected.push_back(int(j.job.GetLabelSequence(r, c)));
                    EXPECT_EQ(Numbers(PreviewPage(j.job, 1)), expected)
                        << "corner " << corner << " direction " << direction << " same " << same << " count " << count;
                }
            }
        }
    }
}

TEST(PrintJob, GridsWithoutCellsStopTheJob)
{
    const struct
    {
        int rows, columns;
    } grids[] = {{0, 3}, {3, 0}, {-2, -2}, {-1, 5}, {INT_MIN, INT_MIN}};
    for (const auto& g : grids) {
        Job j(g.rows, g.columns);
        j.label->m_nPrintCount = 10;
        try {
            j.job.Prepare();
            ADD_FAILURE() << g.rows << " x " << g.columns << " prepared";
        } catch (const VXException& e) {
            EXPECT_EQ(e.GetMessage(), "标签的行数和列数必须大于等于1！");
        }
    }
}

TEST(PrintJob, HugeGridsNumberTheirCellsIn64Bits)
{
    // 50,000 x 50,000 cells: more than an int counts. Three labels from the
    // bottom-right corner land in the last three cells, each once.
    Job j(50000, 50000);
    j.label->m_nStartCorner = CornerBottomRight;
    j.label->m_nPrintCount = 3;
    j.job.Prepare();
    EXPECT_EQ(j.job.GetLabelSequence(0, 0), 2500000000LL);
    EXPECT_EQ(j.job.GetPageCount(), 1);
    const auto cells = PreviewPage(j.job, 1);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(Numbers(cells), (std::vector<int>{3, 2, 1}));
    EXPECT_FLOAT_EQ(cells[2].x, 10.0f + 35.0f * 49999);
    EXPECT_FLOAT_EQ(cells[2].y, 10.0f + 25.0f * 49999);
}

TEST(PrintJob, CountsWithAndWithoutRows)
{
    Job fixed(2, 3);
    fixed.label->m_nPrintCount = 13;
    fixed.label->m_nCopies = 5; // copies need rows; without a data source they mean nothing
    fixed.job.Prepare();
    EXPECT_EQ(fixed.job.GetLabelCount(), 13);
    EXPECT_EQ(fixed.job.GetPageCount(), 3);

    Job rows(2, 2);
    AddSource(*rows.label, "People", {"Name", "Copies"});
    int loads = 0;
    UseFakeLoaders(rows.job, {NumberedRows(9)}, &loads);
    rows.job.Prepare();
    EXPECT_EQ(rows.job.GetLabelCount(), 9);
    EXPECT_EQ(rows.job.GetPageCount(), 3);
    EXPECT_EQ(loads, 0) << "one copy per label loads page by page";

    Job copies(2, 2);
    copies.label->m_nCopies = 2;
    AddSource(*copies.label, "People", {"Name", "Copies"});
    UseFakeLoaders(copies.job, {NumberedRows(9)}, &loads);
    copies.job.Prepare();
    EXPECT_EQ(loads, 1) << "several copies load every row at once";
    EXPECT_EQ(copies.job.GetLabelCount(), 18);
    EXPECT_EQ(copies.job.GetPageCount(), 5);

    Job column(2, 2);
    column.label->m_nCopyMode = 1;
    column.label->m_strCopiesDataSource = "people";
    column.label->m_strCopiesField = "COPIES";
    AddSource(*column.label, "People", {"Name", "Copies"});
    UseFakeLoaders(column.job, {{{"a", "3"}, {"b", "-2"}, {"c", "many"}, {"d", "2x"}}});
    column.job.Prepare();
    EXPECT_EQ(column.job.GetLabelCount(), 5);
    EXPECT_EQ(column.job.GetPageCount(), 2);

    Job missing(2, 2);
    missing.label->m_nCopyMode = 1;
    missing.label->m_strCopiesDataSource = "People";
    missing.label->m_strCopiesField = "Nothing";
    AddSource(*missing.label, "People", {"Name", "Copies"});
    UseFakeLoaders(missing.job, {NumberedRows(3)});
    missing.job.Prepare();
    EXPECT_EQ(missing.job.GetLabelCount(), 0);
    EXPECT_EQ(missing.job.GetPageCount(), 0);
}

TEST(PrintJob, NewPagePerRowWithFixedAndColumnCopies)
{
    // Fixed copies 6 on pages of 4: each row takes two pages, 4 labels then 2.
    Job six(2, 2);
    six.label->m_nCopies = 6;
    six.label->m_bForcePageBreak = true;
    AddSource(*six.label, "S", {"Name", "Copies"});
    AddText(*six.label, "T", [] {
        std::vector<std::unique_ptr<CDataBand>> b;
        b.push_back(FieldBand("S", "Name"));
        return b;
    }());
    UseFakeLoaders(six.job, {NumberedRows(3)});
    six.job.Prepare();
    EXPECT_EQ(six.job.GetPageCount(), 6);
    EXPECT_EQ(Numbers(PreviewPage(six.job, 3)), (std::vector<int>{7, 8, 9, 10}));
    const auto rowTwoEnd = PreviewPage(six.job, 4);
    EXPECT_EQ(Numbers(rowTwoEnd), (std::vector<int>{11, 12}));
    EXPECT_EQ(rowTwoEnd[0].text, "row2");

    Job eight(2, 2);
    eight.label->m_nCopies = 8;
    eight.label->m_bForcePageBreak = true;
    AddSource(*eight.label, "S", {"Name"});
    UseFakeLoaders(eight.job, {NumberedRows(2)});
    eight.job.Prepare();
    EXPECT_EQ(eight.job.GetPageCount(), 4);
    EXPECT_EQ(Numbers(PreviewPage(eight.job, 2)), (std::vector<int>{5, 6, 7, 8}));

    // Copies 5, 0 and 3 from a column on pages of 4: pages of 4, 1 and 3 labels.
    Job column(2, 2);
    column.label->m_nCopyMode = 1;
    column.label->m_strCopiesDataSource = "S";
    column.label->m_strCopiesField = "Copies";
    column.label->m_bForcePageBreak = true;
    AddSource(*column.label, "S", {"Name", "Copies"});
    AddText(*column.label, "T", [] {
        std::vector<std::unique_ptr<CDataBand>> b;
        b.push_back(FieldBand("S", "Name"));
        return b;
    }());
    UseFakeLoaders(column.job, {{{"a", "5"}, {"b", "0"}, {"c", "3"}}});
    column.job.Prepare();
    EXPECT_EQ(column.job.GetLabelCount(), 8);
    EXPECT_EQ(column.job.GetPageCount(), 3);
    EXPECT_EQ(Numbers(PreviewPage(column.job, 2)), (std::vector<int>{5}));
    const auto last = PreviewPage(column.job, 3);
    EXPECT_EQ(Numbers(last), (std::vector<int>{6, 7, 8}));
    EXPECT_EQ(last[0].text, "c");
    EXPECT_TRUE(PreviewPage(column.job, 4).empty());
}

TEST(PrintJob, SerialsAndRowsComeFromTheLabelNumber)
{
    Job j(2, 3);
    j.label->m_nPrintCount = 40;
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(ConstantBand("N"));
    bands.push_back(SerialBand(100, 2));
    AddText(*j.label, "T", std::move(bands));
    j.job.Prepare();
    // Page 5 first, then page 1: values do not depend on what was drawn before.
    const auto page5 = PreviewPage(j.job, 5);
    EXPECT_EQ(page5.front().text, "N148");
    EXPECT_EQ(PreviewPage(j.job, 1).front().text, "N100");
    EXPECT_EQ(PreviewPage(j.job, 5).back().text, "N158");

    // Three copies per row: labels 1 to 3 read row 0, 4 to 6 row 1.
    Job copies(2, 3);
    copies.label->m_nCopies = 3;
    AddSource(*copies.label, "S", {"Name"});
    std::vector<std::unique_ptr<CDataBand>> field;
    field.push_back(FieldBand("s", "NAME"));
    field.push_back(FieldBand("S", "NotSelected"));
    AddText(*copies.label, "T", std::move(field));
    UseFakeLoaders(copies.job, {NumberedRows(4)});
    copies.job.Prepare();
    std::vector<QString> texts;
    for (const auto& c : PreviewPage(copies.job, 2))
        texts.push_back(c.text);
    EXPECT_EQ(texts, (std::vector<QString>{"row3", "row3", "row3", "row4", "row4", "row4"}));
}

TEST(PrintJob, AUnarySerialNearTheIntLimitStopsTheJobWithItsMessage)
{
    Job j(1, 1);
    auto band = SerialBand(INT_MAX - 10);
    band->m_nSerialBase = SerialCustomAlphabet;
    band->m_strCustomAlphabet = "1";
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(std::move(band));
    AddText(*j.label, "T", std::move(bands));
    j.job.Prepare();
    try {
        PreviewPage(j.job, 1);
        ADD_FAILURE() << "no error";
    } catch (const VXException& e) {
        EXPECT_TRUE(e.GetMessage().startsWith(QStringLiteral("序列号 %1 ").arg(INT_MAX - 10))) << e.what();
    }
}

TEST(PrintJob, AnEmptyQRCodeAfterAFullOneHasNoSymbol)
{
    Job j(1, 3);
    j.label->m_nPrintCount = 3;
    AddSource(*j.label, "S", {"F"});
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_strName = "QR";
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyQRCode);
    barcode->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(FieldBand("S", "F"));
    j.label->m_objects.push_back(std::move(barcode));
    UseFakeLoaders(j.job, {{{"abc"}, {""}, {"abcdefghijklmnopqrstuvwxyz0123456789"}}});
    j.job.Prepare();
    GeneratedLabels items;
    j.job.DrawPreviewPage(items, 1);
    ASSERT_EQ(items.size(), 3u);
    std::vector<float> widths;
    for (const auto& item : items)
        widths.push_back(item->m_objects.front()->m_fWidth);
    EXPECT_GT(widths[0], 0.0f);
    EXPECT_EQ(widths[1], 0.0f);
    EXPECT_GT(widths[2], widths[0]);
    EXPECT_EQ(items[1]->m_objects.front()->m_fHeight, 0.0f);
}

TEST(PrintJob, RowsArePagedAndPreloaded)
{
    Job j(1, 2);
    PreloadFivePagesOfNames(*j.label);
    int loads = 0;
    UseFakeLoaders(j.job, {NumberedRows(20)}, &loads);
    j.job.Prepare();
    for (int page = 1; page <= 5; ++page)
        EXPECT_EQ(PreviewPage(j.job, page).back().text, QStringLiteral("row%1").arg(page * 2));
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(PreviewPage(j.job, 6).front().text, "row11");
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(PreviewPage(j.job, 10).front().text, "row19");
    EXPECT_EQ(loads, 2);
}

// A block of pages whose rows failed to load is not taken for loaded: a page of it is read
// again, not shown without its records.
TEST(PrintJob, APreloadThatFailedIsReadAgain)
{
    Job j(1, 2);
    PreloadFivePagesOfNames(*j.label);
    FakeLoader* loader = nullptr;
    j.job.SetLoaderFactory([&loader](const CDSBase&) {
        auto made = std::make_unique<FakeLoader>(NumberedRows(20));
        loader = made.get();
        return made;
    });
    j.job.Prepare();
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(PreviewPage(j.job, 2).back().text, "row4");
    loader->m_fail = true;
    EXPECT_THROW(PreviewPage(j.job, 8), CDataSourceException);
    loader->m_fail = false;
    EXPECT_EQ(PreviewPage(j.job, 9).back().text, "row18");
}

TEST(PrintJob, DataSourceFailuresStopTheJobWithTheirMessage)
{
    Job unsupported(1, 1);
    AddSource(*unsupported.label, "Odbc", {"A"});
    unsupported.label->m_dataSources.back() = CDSBase::Create(DSODBC);
    unsupported.label->m_dataSources.back()->m_strName = "Odbc";
    try {
        unsupported.job.Prepare();
        FAIL() << "an unsupported source must stop the job";
    } catch (const CDataSourceException& e) {
        EXPECT_TRUE(e.GetMessage().startsWith(QStringLiteral("数据源“Odbc”："))) << e.GetMessage().toStdString();
        EXPECT_TRUE(e.GetMessage().contains("not support data loader"));
    }

    Job failing(1, 1);
    AddSource(*failing.label, "S", {"A"});
    failing.job.SetLoaderFactory([](const CDSBase&) {
        auto loader = std::make_unique<FakeLoader>(NumberedRows(3));
        loader->m_fail = true;
        return loader;
    });
    failing.job.Prepare();
    GeneratedLabels items;
    try {
        failing.job.DrawPreviewPage(items, 1);
        FAIL() << "a failed load must stop the job";
    } catch (const CDataSourceException& e) {
        EXPECT_EQ(e.GetMessage(), QStringLiteral("数据源“S”：no such table"));
    }

    // A missing text file, through the program's own loader: the source, then the file, in
    // one sentence.
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("货品.txt"));
    Job missingFile(1, 1);
    static_cast<CTextDS&>(AddSource(*missingFile.label, "货品", {"A"})).m_strPath = gone;
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand(QStringLiteral("货品"), "A"));
    AddText(*missingFile.label, "T", std::move(bands));
    try {
        missingFile.job.Prepare();
        missingFile.job.DrawPreviewPage(items, 1);
        FAIL() << "a missing file must stop the job";
    } catch (const CDataSourceException& e) {
        EXPECT_EQ(e.GetMessage(), QStringLiteral("数据源“货品”：无法打开文本文件“%1”：文件不存在。").arg(gone));
    }
}

// A failure that names its source already (a cancelled or timed-out read) is not named
// by the job a second time; one that does not is.
TEST(PrintJob, AFailureThatNamesItsSourceIsNotPrefixedAgain)
{
    const struct
    {
        const char16_t* failure;
        const char16_t* shown;
    } cases[] = {
        {u"已取消读取数据源“慢源”的记录。", u"已取消读取数据源“慢源”的记录。"},
        {u"读取数据源“慢源”的记录超过了 10 秒的时限，已停止。", u"读取数据源“慢源”的记录超过了 10 秒的时限，已停止。"},
        {u"已取消读取数据源“慢源2”的记录。", u"数据源“慢源”：已取消读取数据源“慢源2”的记录。"},
        {u"慢源 not found", u"数据源“慢源”：慢源 not found"},
    };
    for (const auto& c : cases) {
        const QString failure = QString::fromUtf16(c.failure);
        SCOPED_TRACE(failure.toStdString());
        Job job(1, 1);
        AddSource(*job.label, QStringLiteral("慢源"), {"A"});
        job.job.SetLoaderFactory([failure](const CDSBase&) {
            auto loader = std::make_unique<FakeLoader>(NumberedRows(3));
            loader->m_fail = true;
            loader->m_failure = failure;
            return loader;
        });
        job.job.Prepare();
        GeneratedLabels items;
        try {
            job.job.DrawPreviewPage(items, 1);
            ADD_FAILURE() << "a failed load must stop the job";
        } catch (const CDataSourceException& e) {
            EXPECT_EQ(e.GetMessage(), QString::fromUtf16(c.shown));
        }
    }
}

TEST(PrintJob, DatabaseImagesLoadPerRowAndCanStopTheJob)
{
    QTemporaryDir dir;
    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(dir.filePath("a.png")));

    Job j(1, 2);
    AddSource(*j.label, "S", {"Picture"});
    auto image = std::make_unique<CImageGraph>();
    image->m_strName = "Photo";
    image->m_nSourceKind = ImageDataSource;
    image->m_strDataSource = "S";
    image->m_strFieldName = "Picture";
    image->m_strPrefix = dir.path() + "/";
    image->m_strSuffix = ".png";
    image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::Placeholder());
    CImageGraph& photo = *image;
    j.label->m_objects.push_back(std::move(image));
    UseFakeLoaders(j.job, {{{"a"}, {"missing"}}});
    j.job.Prepare();
    GeneratedLabels items;
    j.job.DrawPreviewPage(items, 1);
    ASSERT_EQ(items.size(), 2u);
    const auto& first = static_cast<const CImageGraph&>(*items[0]->m_objects[0]);
    const auto& second = static_cast<const CImageGraph&>(*items[1]->m_objects[0]);
    ASSERT_TRUE(first.m_pImage);
    EXPECT_EQ(first.m_pImage->Image().pixel(0, 0), QColor(Qt::red).rgb());
    EXPECT_FALSE(second.m_pImage) << "a missing file leaves no picture, not the previous row's";

    photo.m_nErrorHandling = ImageErrorAbort;
    Job strict(1, 2);
    strict.label = std::move(j.label);
    strict.job.SetLabelData(strict.label.get());
    UseFakeLoaders(strict.job, {{{"a"}, {"missing"}}});
    strict.job.Prepare();
    GeneratedLabels none;
    try {
        strict.job.DrawPreviewPage(none, 1);
        ADD_FAILURE() << "a missing picture must stop the job";
    } catch (const VXException& e) {
        EXPECT_EQ(e.GetMessage(), QStringLiteral("无法载入图片“Photo”的文件“%1/missing.png”。").arg(dir.path()));
    }
}
