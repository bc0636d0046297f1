#include "barcode/BarcodeImpl_EJU.h"
#include "barcode/BarcodeImpl_PostNet.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "LinearSupport.h"
#include "TestSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zint.h>

namespace {

using Options = BarcodeOptions;

Options WithCheckDigit(bool on)
{
    return [on](CBarcodeSettings& s) { s.m_bAddCheckDigit = on; };
}

Options Ratio(float ratio, bool check = false)
{
    return [=](CBarcodeSettings& s) {
        s.m_fRatio = ratio;
        s.m_bAddCheckDigit = check;
    };
}

Options Addon(int kind, int gap)
{
    return [=](CBarcodeSettings& s) {
        auto& e = static_cast<CBarcodeSettings_EJU&>(s);
        e.m_nAddonKind = kind;
        e.m_nAddonGap = gap;
    };
}

std::string TrimLight(std::string modules)
{
    modules.erase(0, modules.find('1'));
    return modules;
}

QImage Render(const CBarcodeGraph& graph, double dpi = 300)
{
    return RenderObject(graph, graph.m_fWidth + 10, graph.m_fHeight + 10, dpi);
}

std::string ReadText(const QImage& image, ZXing::BarcodeFormat format, bool code39Full = false)
{
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setTryHarder(true);
    hints.setTryCode39ExtendedMode(code39Full);
    const auto read = ReadLinear(image, hints);
    return read ? read->text.toStdString() : std::string("(not read)");
}

} // namespace

TEST(LinearSymbologies, ModuleForModuleWithZint)
{
    struct Case
    {
        int ours;
        const char* content;
        Options options;
        int zint;
        const char* zintData;
        int option2;
    };
    const Case cases[] = {
        {SymbologyCode39, "CODE39-1 $/+%.", WithCheckDigit(false), BARCODE_CODE39, "CODE39-1 $/+%.", 0},
        {SymbologyCode39, "1234", WithCheckDigit(true), BARCODE_CODE39, "1234", 1},
        {SymbologyCode39Full, "abc*~\x01", WithCheckDigit(false), BARCODE_EXCODE39, "abc*~\x01", 0},
        {SymbologyCode39Full, "Full, ASCII!", WithCheckDigit(true), BARCODE_EXCODE39, "Full, ASCII!", 1},
        {SymbologyCode93, "TEST93", WithCheckDigit(true), BARCODE_CODE93, "TEST93", 0},
        {SymbologyCode93, "CODE 93-/.", WithCheckDigit(true), BARCODE_CODE93, "CODE 93-/.", 0},
        {SymbologyCode93Full, "a'] ~", WithCheckDigit(true), BARCODE_CODE93, "a'] ~", 0},
        {SymbologyInterleaved25, "123456", Ratio(3, true), BARCODE_C25INTER, "123456", 1},
        {SymbologyInterleaved25, "1234567", Ratio(3), BARCODE_C25INTER, "01234567", 0},
        {SymbologyIndustrial25, "012345", Ratio(3), BARCODE_C25IND, "012345", 0},
        {SymbologyMatrix25, "1234", Ratio(3), BARCODE_C25STANDARD, "1234", 0},
        {SymbologyITF14, "1234567890123", Ratio(3, true), BARCODE_ITF14, "1234567890123", 0},
        {SymbologySCC14ITF, "1234567890123", Ratio(3, true), BARCODE_ITF14, "1234567890123", 0},
        {SymbologyMSI, "1234567", WithCheckDigit(true), BARCODE_MSI_PLESSEY, "1234567", 1},
        {SymbologyMSI, "80523", WithCheckDigit(false), BARCODE_MSI_PLESSEY, "80523", 0},
        {SymbologyEAN13, "590123412345", {}, BARCODE_EANX, "590123412345", 0},
        {SymbologyEAN8, "1234567", {}, BARCODE_EANX, "1234567", 0},
        {SymbologyUPCA, "01234567890", {}, BARCODE_UPCA, "01234567890", 0},
        {SymbologyUPCE, "123450", {}, BARCODE_UPCE, "123450", 0},
        {SymbologyUPCE, "654321", {}, BARCODE_UPCE, "654321", 0},
        {SymbologySupp2, "12", {}, BARCODE_EANX, "12", 0},
        {SymbologySupp2, "03", {}, BARCODE_EANX, "03", 0},
        {SymbologySupp5, "51234", {}, BARCODE_EANX, "51234", 0},
    };
    for (const Case& c : cases) {
        auto impl = EncodeBarcode(c.ours, c.content, c.options);
        const std::string zint = ZintModules(c.zint, DATA_MODE, c.zintData, c.option2);
        ASSERT_FALSE(zint.empty()) << c.content;
        EXPECT_EQ(TrimLight(ModulesOf(*impl)), zint) << c.ours << " " << c.content;
    }
}

TEST(LinearSymbologies, AttachedAddonsWithEveryGapMatchZint)
{
    struct Case
    {
        int ours;
        const char* main;
        int zint;
    };
    for (const Case& c : {Case{SymbologyEAN13, "590123412345", BARCODE_EANX}, Case{SymbologyEAN8, "1234567", BARCODE_EANX},
                          Case{SymbologyUPCA, "01234567890", BARCODE_UPCA}, Case{SymbologyUPCE, "123450", BARCODE_UPCE}}) {
        for (int kind : {AddonTwoDigits, AddonFiveDigits}) {
            const QString addon = kind == AddonTwoDigits ? "12" : "51234";
            // zint's UPC-A add-on gap starts at 9 modules, ours at 7.
            for (int gap = c.ours == SymbologyUPCA ? 2 : 0; gap <= 5; ++gap) {
                auto impl = EncodeBarcode(c.ours, c.main + addon, Addon(kind, gap));
                const QByteArray zintData = QByteArray(c.main) + "+" + addon.toLatin1();
                const std::string zint = ZintModules(c.zint, DATA_MODE, zintData, 7 + gap);
                ASSERT_FALSE(zint.empty());
                EXPECT_EQ(TrimLight(ModulesOf(*impl)), zint) << c.ours << " gap " << gap;
            }
        }
    }
}

TEST(LinearSymbologies, PostNetBarSequenceMatchesZint)
{
    for (const char* digits : {"12345", "555551237", "0"}) {
        auto impl = EncodeBarcode(SymbologyPostNet, digits);
        zint_symbol* symbol = ZBarcode_Create();
        symbol->symbology = BARCODE_POSTNET;
        ASSERT_LT(ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(digits), int(strlen(digits))), 5);
        QString tall;
        for (int i = 0; i < symbol->width; i += 2)
            tall += ((symbol->encoded_data[0][i >> 3] >> (i & 7)) & 1) ? u'1' : u'0';
        ZBarcode_Delete(symbol);
        EXPECT_EQ(static_cast<CBarcodeImpl_PostNet&>(*impl).m_strPattern, tall) << digits;
    }
}

TEST(LinearSymbologies, ZXingReadsWhatWeDraw)
{
    using ZXing::BarcodeFormat;
    struct Case
    {
        int symbology;
        const char* content;
        Options options;
        BarcodeFormat format;
        const char* expected;
    };
    const Case cases[] = {
        {SymbologyCode39, "CODE-39 $/+%.", WithCheckDigit(false), BarcodeFormat::Code39, "CODE-39 $/+%."},
        {SymbologyCode39, "A*B", WithCheckDigit(true), BarcodeFormat::Code39, "A0BL"},
        {SymbologyCode39Full, "Hello, world! ~{}", WithCheckDigit(false), BarcodeFormat::Code39, "Hello, world! ~{}"},
        {SymbologyCode93, "TEST93", WithCheckDigit(true), BarcodeFormat::Code93, "TEST93"},
        {SymbologyCode93Full, "Code 93: full ASCII.", WithCheckDigit(true), BarcodeFormat::Code93, "Code 93: full ASCII."},
        {SymbologyCodabar, "12345678", WithCheckDigit(false), BarcodeFormat::Codabar, "12345678"},
        {SymbologyCodabar, "40156-$:/.+", WithCheckDigit(true), BarcodeFormat::Codabar, nullptr},
        {SymbologyInterleaved25, "123456", WithCheckDigit(true), BarcodeFormat::ITF, "01234565"},
        {SymbologyInterleaved25, "12345678901", Ratio(3), BarcodeFormat::ITF, "012345678901"},
        {SymbologyITF14, "1234567890123", WithCheckDigit(true), BarcodeFormat::ITF, "12345678901231"},
        {SymbologySCC14ITF, "00012345678905", WithCheckDigit(false), BarcodeFormat::ITF, "00012345678905"},
        {SymbologyEAN13, "590123412345", {}, BarcodeFormat::EAN13, "5901234123457"},
        {SymbologyEAN8, "1234567", {}, BarcodeFormat::EAN8, "12345670"},
        {SymbologyUPCA, "01234567890", {}, BarcodeFormat::UPCA, "012345678905"},
        {SymbologyUPCE, "123450", {}, BarcodeFormat::UPCE, "01234505"},
    };
    for (const Case& c : cases) {
        auto graph = PlaceBarcode(EncodeBarcode(c.symbology, c.content, c.options));
        const QImage image = Render(*graph);
        std::string expected = c.expected ? c.expected : "";
        if (!c.expected) {
            CBarcodeSettings& s = *graph->GetImpl()->GetSettings();
            expected = QString(s.m_strFullText + s.m_strCheckDigit).toStdString();
        }
        EXPECT_EQ(ReadText(image, c.format, c.symbology == SymbologyCode39Full), expected) << c.content;
    }
}

TEST(LinearSymbologies, ZXingReadsTurnedSymbols)
{
    for (float angle : {90.0f, 180.0f, 270.0f}) {
        auto graph = PlaceBarcode(EncodeBarcode(SymbologyEAN13, "400638133393"));
        graph->m_fX = 10;
        graph->m_fY = 20;
        graph->m_fAngle = angle;
        graph->m_nAnchor = 8;
        const QImage image = RenderObject(*graph, 50, 50, 300);
        ZXing::DecodeHints hints;
        hints.setFormats(ZXing::BarcodeFormat::EAN13);
        hints.setTryHarder(true);
        hints.setTryRotate(true);
        const auto read = ReadLinear(image, hints);
        ASSERT_TRUE(read) << angle;
        EXPECT_EQ(read->text, "4006381333931");
    }
}

TEST(LinearSymbologies, ZbarReadsAddons)
{
    const QString zbarimg = QStandardPaths::findExecutable("zbarimg");
    ASSERT_FALSE(zbarimg.isEmpty()) << "zbar-tools is not installed";
    QTemporaryDir dir;
    struct Case
    {
        int symbology;
        const char* content;
        int kind;
        int style;
        QStringList expected;
    };
    const Case cases[] = {
        {SymbologySupp2, "12", 0, 0, {"EAN-2:12"}},
        {SymbologySupp5, "51234", 0, 0, {"EAN-5:51234"}},
        {SymbologyEAN13, "590123412345" "51234", AddonFiveDigits, 0, {"EAN-13:5901234123457", "EAN-5:51234"}},
        {SymbologyEAN13, "590123412345" "07", AddonTwoDigits, 3, {"EAN-13:5901234123457", "EAN-2:07"}},
        {SymbologyUPCA, "01234567890" "99", AddonTwoDigits, 1, {"UPC-A:012345678905", "EAN-2:99"}},
    };
    for (const Case& c : cases) {
        auto graph = PlaceBarcode(EncodeBarcode(c.symbology, c.content, [&](CBarcodeSettings& s) {
            auto& e = static_cast<CBarcodeSettings_EJU&>(s);
            e.m_nAddonKind = c.kind;
            e.m_nAddonStyle = c.style;
            e.m_fBarHeight = 15;
        }));
        const QString file = dir.filePath(QStringLiteral("addon.png"));
        ASSERT_TRUE(Render(*graph).save(file));
        QProcess zbar;
        zbar.start(zbarimg, {"-q", "-Sean2.enable", "-Sean5.enable", "-Supca.enable", file});
        ASSERT_TRUE(zbar.waitForFinished(30000));
        QStringList lines = QString::fromLatin1(zbar.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        lines.sort();
        QStringList expected = c.expected;
        expected.sort();
        EXPECT_EQ(lines, expected) << c.content;
    }
}

namespace {

// Checks the drawn image bar by bar: every bar dark over its whole height at its
// centre, every gap light, nothing above or below the bars.
void ExpectBarsAsComputed(int symbology, const QString& content, const Options& options = {})
{
    constexpr double dpi = 600;
    auto graph = PlaceBarcode(EncodeBarcode(symbology, content, options));
    const QImage image = Render(*graph, dpi);
    const CBarcodeSettings& s = *graph->GetImpl()->GetSettings();
    const CBarcodeData& data = *graph->GetImpl()->GetData();
    const double top = graph->m_fY;
    const double bottom = top + s.m_fBarHeight;
    ASSERT_GT(data.GetBarCount(), 0);
    for (int i = 0; i < data.GetBarCount(); ++i) {
        const double x = graph->m_fX + data.m_arrX[i];
        const double centre = x + data.m_arrWidth[i] / 2;
        for (double y : {top + 0.1, (top + bottom) / 2, bottom - 0.1})
            EXPECT_TRUE(IsDarkAt(image, centre, y, dpi)) << symbology << " bar " << i << " at " << y;
        EXPECT_FALSE(IsDarkAt(image, centre, top - 0.2, dpi)) << symbology << " bar " << i;
        EXPECT_FALSE(IsDarkAt(image, centre, bottom + 0.2, dpi)) << symbology << " bar " << i;
        if (i + 1 < data.GetBarCount()) {
            const double gap = (x + data.m_arrWidth[i] + graph->m_fX + data.m_arrX[i + 1]) / 2;
            EXPECT_FALSE(IsDarkAt(image, gap, (top + bottom) / 2, dpi)) << symbology << " gap after " << i;
        }
    }
}

} // namespace

TEST(LinearSymbologies, BarsOfTheSymbolsNoDecoderReadsAreDrawnAsComputed)
{
    ExpectBarsAsComputed(SymbologyCode11, "123-45");
    ExpectBarsAsComputed(SymbologyCode11, "0-9", Ratio(3));
    ExpectBarsAsComputed(SymbologyMSI, "1234567");
    ExpectBarsAsComputed(SymbologyIndustrial25, "2468", Ratio(3));
    ExpectBarsAsComputed(SymbologyMatrix25, "13579", WithCheckDigit(true));
}

// Centres in millimetres of the dark runs along the pixel row at yMm.
std::vector<double> DarkRunCentres(const QImage& image, double yMm, double dpi)
{
    std::vector<double> centres;
    const int y = int(yMm * dpi / 25.4);
    int start = -1;
    for (int x = 0; x <= image.width(); ++x) {
        const bool dark = x < image.width() && qGray(image.pixel(x, y)) < 128;
        if (dark && start < 0)
            start = x;
        if (!dark && start >= 0) {
            centres.push_back((start + x) / 2.0 * 25.4 / dpi);
            start = -1;
        }
    }
    return centres;
}

TEST(LinearSymbologies, PostNetDrawsTallAndShortBars)
{
    constexpr double dpi = 600;
    for (bool above : {false, true}) {
        auto graph = PlaceBarcode(EncodeBarcode(SymbologyPostNet, "12345", [=](CBarcodeSettings& s) {
            s.m_bTextAbove = above;
            s.m_fTextGap = 1;
            s.m_nTextAlign = 0;
            s.m_fLeftBlank = 5;
        }));
        const QImage image = Render(*graph, dpi);
        const CBarcodeSettings& s = *graph->GetImpl()->GetSettings();
        const auto& impl = static_cast<const CBarcodeImpl_PostNet&>(*graph->GetImpl());
        const double text = s.m_fTextGap + s.m_fFontSize * 25.4 / 72;
        const double top = graph->m_fY + (above ? text : 0);
        const double h = s.m_fBarHeight;
        EXPECT_NEAR(graph->m_fHeight, h + text, 1e-4);
        // Bars on whole dots move off their exact places: find them on the baseline.
        const std::vector<double> centres = DarkRunCentres(image, top + h - 0.1, dpi);
        ASSERT_EQ(qsizetype(centres.size()), impl.m_strPattern.size());
        for (int i = 0; i < int(centres.size()); ++i) {
            const double centre = centres[size_t(i)];
            const bool tall = impl.m_strPattern[i] == u'1';
            EXPECT_EQ(IsDarkAt(image, centre, top + 0.1, dpi), tall) << i;
            EXPECT_EQ(IsDarkAt(image, centre, top + h * 0.45, dpi), tall) << i;
            EXPECT_TRUE(IsDarkAt(image, centre, top + h * 0.55, dpi)) << i;
            EXPECT_TRUE(IsDarkAt(image, centre, top + h - 0.1, dpi)) << i;
            EXPECT_FALSE(IsDarkAt(image, centre, top + h + (above ? 0.2 : -h - 0.2), dpi)) << i;
        }
        // The line shows the digits without the check digit, from the box's left edge
        // for alignment 0 whatever the left blank.
        const double lineTop = above ? graph->m_fY : graph->m_fY + graph->m_fHeight - s.m_fFontSize * 25.4 / 72;
        const auto px = [&](double mm) { return int(mm * dpi / 25.4); };
        const QRect band(0, px(lineTop), image.width(), px(s.m_fFontSize * 25.4 / 72));
        const QRect line = DarkBounds(image, band);
        ASSERT_FALSE(line.isEmpty());
        EXPECT_NEAR(line.left() * 25.4 / dpi, graph->m_fX, 0.6);
    }
}

TEST(LinearSymbologies, Itf14BearerLeavesTheQuietZonesClear)
{
    constexpr double dpi = 600;
    auto graph = PlaceBarcode(EncodeBarcode(SymbologyITF14, "1234567890123"));
    const QImage image = Render(*graph, dpi);
    const CBarcodeSettings& s = *graph->GetImpl()->GetSettings();
    const CBarcodeData& data = *graph->GetImpl()->GetData();
    const double m = s.m_fModuleWidth * kMilToMm;
    const double mid = graph->m_fY + s.m_fBarHeight / 2;
    const double left = graph->m_fX;
    const double right = left + s.m_fWidth;
    // The frame: 2 modules centred on the box outline.
    EXPECT_TRUE(IsDarkAt(image, left + 0.5 * m, mid, dpi));
    EXPECT_TRUE(IsDarkAt(image, right - 0.5 * m, mid, dpi));
    EXPECT_TRUE(IsDarkAt(image, (left + right) / 2, graph->m_fY + 0.5 * m, dpi));
    // Ten clear modules between the frame's inner edge and the outer bars.
    const double firstBar = left + data.m_arrX.front();
    const double lastBarEnd = left + data.m_arrX.back() + data.m_arrWidth.back();
    EXPECT_NEAR(firstBar - (left + m), 10 * m, 1e-4);
    EXPECT_NEAR((right - m) - lastBarEnd, 10 * m, 1e-4);
    for (double x = left + 1.5 * m; x < firstBar - 0.5 * m; x += m / 2)
        EXPECT_FALSE(IsDarkAt(image, x, mid, dpi)) << x;
    for (double x = lastBarEnd + 0.5 * m; x < right - 1.5 * m; x += m / 2)
        EXPECT_FALSE(IsDarkAt(image, x, mid, dpi)) << x;
}

TEST(LinearSymbologies, EanGuardBarsAddonStylesAndDigitRow)
{
    constexpr double dpi = 600;
    // Top and bottom of the dark run of a bar's centre column through the given height.
    // The bar is found as drawn (on the dots, not at its exact place): the bar-th dark
    // run along the row at that height.
    const auto column = [&](const QImage& image, const CBarcodeGraph& graph, int bar, double throughMm) {
        const int row = int(throughMm * dpi / 25.4);
        const auto darkAt = [&](int x, int y) { return image.valid(x, y) && qGray(image.pixel(x, y)) < 128; };
        int x = int(graph.m_fX * dpi / 25.4) - 1;
        for (int run = -1; run < bar;) {
            while (x < image.width() && darkAt(x, row))
                ++x;
            while (x < image.width() && !darkAt(x, row))
                ++x;
            ++run;
        }
        int end = x;
        while (darkAt(end, row))
            ++end;
        x = (x + end) / 2;
        const auto dark = [&](int y) { return darkAt(x, y); };
        int top = row;
        int bottom = top;
        while (dark(top - 1))
            --top;
        while (dark(bottom + 1))
            ++bottom;
        return std::pair{top * 25.4 / dpi, (bottom + 1) * 25.4 / dpi};
    };
    for (float fontSize : {6.0f, 10.0f, 14.0f}) {
        auto graph = PlaceBarcode(EncodeBarcode(SymbologyEAN13, "590123412345" "51234", [&](CBarcodeSettings& s) {
            auto& e = static_cast<CBarcodeSettings_EJU&>(s);
            e.m_nAddonKind = AddonFiveDigits;
            e.m_nAddonStyle = 3;
            e.m_nAddonGap = 2;
            e.m_fFontSize = fontSize;
            e.m_fTextGap = 0.5f;
        }));
        const QImage image = Render(*graph, dpi);
        const CBarcodeSettings& s = *graph->GetImpl()->GetSettings();
        const double h = fontSize * 25.4 / 72;
        const double top = graph->m_fY;
        const double middle = top + s.m_fBarHeight / 2 + h;
        const auto guard = column(image, *graph, 0, middle);
        const auto data = column(image, *graph, 2, middle);
        const auto addon = column(image, *graph, 31, middle);
        EXPECT_NEAR(guard.first, top, 0.05);
        EXPECT_NEAR(data.second, top + s.m_fHeight - h - s.m_fTextGap, 0.05);
        EXPECT_NEAR(guard.second - data.second, h / 2, 0.05) << fontSize;
        // Style 3: the add-on starts a digit row lower and ends level with the data bars.
        EXPECT_NEAR(addon.first, top + h + s.m_fTextGap, 0.05);
        EXPECT_NEAR(addon.second, data.second, 0.05);
        // Its digits stand at the top of the box, above its bars.
        const CBarcodeData& bars = *graph->GetImpl()->GetData();
        const double addonLeft = graph->m_fX + bars.m_arrX[30];
        const QRect digits = DarkBounds(image, QRect(int(addonLeft * dpi / 25.4), int(top * dpi / 25.4),
                                                     image.width(), int(h * dpi / 25.4)));
        EXPECT_FALSE(digits.isEmpty());
        EXPECT_NEAR(bars.m_arrX[30] - (bars.m_arrX[29] + bars.m_arrWidth[29]), 9 * 12.992 * kMilToMm, 1e-4);
    }

    // The digits are drawn whatever the show-text flag says.
    auto hidden = PlaceBarcode(EncodeBarcode(SymbologyUPCE, "123450", [](CBarcodeSettings& s) { s.m_bShowText = false; }));
    const QImage image = Render(*hidden, dpi);
    const double h = 10 * 25.4 / 72;
    const int rowTop = int((hidden->m_fY + hidden->m_fHeight - h / 2) * dpi / 25.4);
    const CBarcodeData& bars = *hidden->GetImpl()->GetData();
    const int digitsLeft = int((hidden->m_fX + bars.m_arrX[2]) * dpi / 25.4);
    const int digitsRight = int((hidden->m_fX + bars.m_arrX[13]) * dpi / 25.4);
    EXPECT_FALSE(DarkBounds(image, QRect(digitsLeft, rowTop, digitsRight - digitsLeft, 3)).isEmpty());
    EXPECT_NEAR(column(image, *hidden, 3, hidden->m_fY + 1).second, hidden->m_fY + hidden->m_fHeight - h, 0.05);
}
