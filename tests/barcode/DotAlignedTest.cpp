#include "barcode/BarcodeImpl_EJU.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "barcode/DotGrid.h"
#include "model/BarcodeGraph.h"
#include "platform/Drawing.h"
#include "Barcode2DSupport.h"
#include "LinearSupport.h"
#include "TestSupport.h"

#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

// Barcodes drawn at thermal- and office-printer resolutions, through the barcode
// object, at module widths that are not whole dots and at positions between dots:
// what a scanner gets from a label printer.

namespace {

using ZXing::BarcodeFormat;

enum class Reader { ZXing, Zbar, None };

struct LinearCase
{
    int symbology;
    const char* content;
    BarcodeOptions options;
    Reader reader;
    BarcodeFormat format; // ZXing
    const char* expected; // ZXing: the text; zbar: its lines joined by '|'
};

BarcodeOptions Check(bool on, float ratio = 0.0f)
{
    return [=](CBarcodeSettings& s) {
        s.m_bAddCheckDigit = on;
        if (ratio > 0.0f)
            s.m_fRatio = ratio;
    };
}

BarcodeOptions CodeSet(int set)
{
    return [=](CBarcodeSettings& s) { static_cast<CBarcodeSettings_Code128&>(s).m_nCodeSet = set; };
}

BarcodeOptions Addon(int kind)
{
    return [=](CBarcodeSettings& s) { static_cast<CBarcodeSettings_EJU&>(s).m_nAddonKind = kind; };
}

// Every linear symbology we make; those no decoder here reads are checked dot by dot only.
const LinearCase kLinearCases[] = {
    {SymbologyCode39, "CODE-39 $/+%.", Check(false), Reader::ZXing, BarcodeFormat::Code39, "CODE-39 $/+%."},
    {SymbologyCode39, "A1B2", Check(false, 2.5f), Reader::ZXing, BarcodeFormat::Code39, "A1B2"},
    {SymbologyCode39Full, "Hello, world! ~{}", Check(false), Reader::ZXing, BarcodeFormat::Code39, "Hello, world! ~{}"},
    {SymbologyCode93, "TEST93", Check(true), Reader::ZXing, BarcodeFormat::Code93, "TEST93"},
    {SymbologyCode93Full, "Code 93: full ASCII.", Check(true), Reader::ZXing, BarcodeFormat::Code93,
     "Code 93: full ASCII."},
    {SymbologyCodabar, "12345678", Check(false), Reader::ZXing, BarcodeFormat::Codabar, "12345678"},
    {SymbologyInterleaved25, "123456", Check(true), Reader::ZXing, BarcodeFormat::ITF, "01234565"},
    {SymbologyInterleaved25, "12345678901", Check(false, 2.5f), Reader::ZXing, BarcodeFormat::ITF, "012345678901"},
    {SymbologyITF14, "1234567890123", Check(true), Reader::ZXing, BarcodeFormat::ITF, "12345678901231"},
    {SymbologySCC14ITF, "00012345678905", Check(false), Reader::ZXing, BarcodeFormat::ITF, "00012345678905"},
    {SymbologyCode128, "CODE-128 A", CodeSet(Code128SetA), Reader::ZXing, BarcodeFormat::Code128, "CODE-128 A"},
    {SymbologyCode128, "ab12345\tCD", CodeSet(Code128SetAuto), Reader::ZXing, BarcodeFormat::Code128, "ab12345\tCD"},
    {SymbologyEAN128, "0112345678901231", CodeSet(Code128SetC), Reader::ZXing, BarcodeFormat::Code128,
     "0112345678901231"},
    {SymbologyEAN14, "1234567890123", {}, Reader::ZXing, BarcodeFormat::Code128, "0101234567890123"},
    {SymbologySCC14EAN128, "1234567890123", {}, Reader::ZXing, BarcodeFormat::Code128, "0101234567890123"},
    {SymbologySSCC18, "12345678901234567", {}, Reader::ZXing, BarcodeFormat::Code128, "00123456789012345675"},
    {SymbologyMedicalCode, "81234567890123456789", {}, Reader::ZXing, BarcodeFormat::Code128, "81234567890123456789"},
    {SymbologyMonitorCode, "81234567890123456789", {}, Reader::ZXing, BarcodeFormat::Code128,
     "2181234567890123456789"},
    {SymbologyPostalCode, "KA123456789", {}, Reader::ZXing, BarcodeFormat::Code128, "KA12345678900"},
    {SymbologyEAN13, "590123412345", {}, Reader::ZXing, BarcodeFormat::EAN13, "5901234123457"},
    {SymbologyEAN8, "1234567", {}, Reader::ZXing, BarcodeFormat::EAN8, "12345670"},
    {SymbologyUPCA, "01234567890", {}, Reader::ZXing, BarcodeFormat::UPCA, "012345678905"},
    {SymbologyUPCE, "123450", {}, Reader::ZXing, BarcodeFormat::UPCE, "01234505"},
    {SymbologySupp2, "12", {}, Reader::Zbar, {}, "EAN-2:12"},
    {SymbologySupp5, "51234", {}, Reader::Zbar, {}, "EAN-5:51234"},
    {SymbologyEAN13, "590123412345" "51234", Addon(AddonFiveDigits), Reader::Zbar, {},
     "EAN-13:5901234123457|EAN-5:51234"},
    {SymbologyCode11, "123-45", {}, Reader::None, {}, nullptr},
    {SymbologyIndustrial25, "012345", Check(false, 2.5f), Reader::None, {}, nullptr},
    {SymbologyMatrix25, "1234", {}, Reader::None, {}, nullptr},
    {SymbologyMSI, "1234567", {}, Reader::None, {}, nullptr},
    {SymbologyPostNet, "12345", {}, Reader::None, {}, nullptr},
};

constexpr double kDpis[] = {203, 300, 600};
constexpr float kMils[] = {6.0f, 6.5f, 7.0f, 8.0f, 10.0f, 13.0f, 16.0f, 20.0f};
constexpr float kAngles[] = {0.0f, 90.0f, 180.0f, 270.0f};
// Where the symbol starts between two dots, as a part of a dot.
constexpr double kSubDot[] = {0.0, 0.3, 0.5, 0.8};

// The case's barcode at the module width, turned by angle about its centre, in the
// middle of an image with quiet zones of at least 15 modules, shifted by `shift` dots.
struct Drawn
{
    std::unique_ptr<CBarcodeGraph> graph;
    QImage image;
};
Drawn Draw(const LinearCase& c, double dpi, float mil, float angle, double shift)
{
    auto graph = PlaceBarcode(EncodeBarcode(c.symbology, QString::fromUtf8(c.content), [&](CBarcodeSettings& s) {
        if (c.options)
            c.options(s);
        s.m_fModuleWidth = mil;
        s.m_fBarHeight = 8.0f;
    }));
    // Quiet zones a reader is content with at every module width.
    const double quiet = 15 * mil * kMilToMm + 2.0 + 0.2 * std::max(graph->m_fWidth, graph->m_fHeight);
    const bool across = angle == 90.0f || angle == 270.0f;
    const double w = graph->m_fWidth + 2 * quiet, h = graph->m_fHeight + 2 * quiet;
    const double imageW = across ? h : w, imageH = across ? w : h;
    const double offset = shift * 25.4 / dpi;
    graph->m_nAnchor = 8;
    graph->m_fAngle = angle;
    graph->m_fX = float((imageW - graph->m_fWidth) / 2 + offset);
    graph->m_fY = float((imageH - graph->m_fHeight) / 2 + offset);
    QImage image = RenderObject(*graph, imageW, imageH, dpi);
    return {std::move(graph), std::move(image)};
}

std::string ReadWithZXing(const LinearCase& c, const QImage& image, float angle)
{
    ZXing::DecodeHints hints;
    hints.setFormats(c.format);
    hints.setTryRotate(angle == 90.0f || angle == 270.0f);
    hints.setTryCode39ExtendedMode(c.symbology == SymbologyCode39Full);
    const auto read = ReadLinear(image, hints);
    return read ? read->text.toStdString() : std::string("(not read)");
}

std::string ReadWithZbar(const QImage& image, const QTemporaryDir& dir)
{
    const QString file = dir.filePath(QStringLiteral("symbol.png"));
    if (!image.save(file))
        return "(not saved)";
    QProcess zbar;
    zbar.start(QStandardPaths::findExecutable(QStringLiteral("zbarimg")),
               {"-q", "-Sean2.enable", "-Sean5.enable", "-Supca.enable", file});
    if (!zbar.waitForFinished(30000))
        return "(zbar hung)";
    QStringList lines = QString::fromLatin1(zbar.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines.join(u'|').toStdString();
}

// Lengths in pixels of the dark and light runs along one pixel row (or column, when
// `vertical`), from the first dark pixel to the last.
std::vector<int> RunsAlong(const QImage& image, bool vertical, int line)
{
    const int length = vertical ? image.height() : image.width();
    std::vector<int> runs;
    int first = -1;
    bool dark = false;
    int runStart = 0;
    for (int i = 0; i < length; ++i) {
        const QRgb px = vertical ? image.pixel(line, i) : image.pixel(i, line);
        const bool d = qGray(px) < 128;
        if (first < 0) {
            if (d)
                first = runStart = i, dark = true;
            continue;
        }
        if (d != dark) {
            runs.push_back(i - runStart);
            runStart = i;
            dark = d;
        }
    }
    if (first >= 0 && dark)
        runs.push_back(length - runStart);
    return runs;
}

// The exact element widths (bar, space, bar, ...) of a symbol in millimetres.
std::vector<double> ExactElements(const CBarcodeData& data)
{
    std::vector<double> elements;
    for (int i = 0; i < data.GetBarCount(); ++i) {
        if (i > 0)
            elements.push_back(double(data.m_arrX[i]) - data.m_arrX[i - 1] - data.m_arrWidth[i - 1]);
        elements.push_back(data.m_arrWidth[i]);
    }
    return elements;
}

// Checks the drawn elements against the exact ones: one run per element, the narrow
// element whole dots (at least one), every element of one width the same number of
// dots, and a wider element never drawn narrower.
void ExpectWholeDotElements(const Drawn& d, double dpi, const std::string& what)
{
    const CBarcodeImpl& impl = *d.graph->GetImpl();
    const std::vector<double> exact = ExactElements(*impl.GetData());
    ASSERT_FALSE(exact.empty()) << what;
    const CBarcodeSettings& s = *impl.GetSettings();
    const bool vertical = d.graph->m_fAngle == 90.0f || d.graph->m_fAngle == 270.0f;
    // Across the bars, 1 mm in from the box's bar edge (the baseline for POSTNET).
    const double intoBars = s.m_nSymbology == SymbologyPostNet ? s.m_fBarHeight - 1.0 : 1.0;
    const double sign = d.graph->m_fAngle == 180.0f || d.graph->m_fAngle == 90.0f ? -1.0 : 1.0;
    const double centreAcross = (vertical ? d.image.width() : d.image.height()) * 25.4 / dpi / 2;
    const double lineMm = centreAcross + sign * (intoBars - d.graph->m_fHeight / 2);
    std::vector<int> runs = RunsAlong(d.image, vertical, int(lineMm * dpi / 25.4));
    if (d.graph->m_fAngle == 180.0f || d.graph->m_fAngle == 270.0f)
        std::reverse(runs.begin(), runs.end()); // the symbol runs right to left, or upwards
    ASSERT_EQ(runs.size(), exact.size()) << what;

    const double narrow = *std::min_element(exact.begin(), exact.end());
    // Whole dots no wider than the module, at least one.
    const int narrowDots = std::max(1, int(std::floor(narrow * dpi / 25.4 + 1e-3)));
    std::map<long, int> dotsOfKind; // kind: width in thousandths of the narrow element
    for (size_t i = 0; i < exact.size(); ++i) {
        const long kind = std::lround(exact[i] / narrow * 1000);
        if (kind == 1000) {
            EXPECT_EQ(runs[i], narrowDots) << what << " element " << i;
        }
        const auto [it, added] = dotsOfKind.emplace(kind, runs[i]);
        if (!added) {
            EXPECT_EQ(runs[i], it->second) << what << " element " << i << " of kind " << kind;
        }
    }
    int previous = 0;
    for (const auto& [kind, dots] : dotsOfKind) {
        EXPECT_GT(dots, previous) << what << " kind " << kind;
        previous = dots;
    }
}

std::string Describe(const LinearCase& c, double dpi, float mil, float angle, double shift)
{
    return QString::asprintf("%d \"%s\" at %g dpi, %g mil, %g degrees, +%g dot", c.symbology, c.content, dpi, mil,
                             angle, shift)
        .toStdString();
}

} // namespace

// Each case at every resolution and module width, once at each angle and sub-dot
// position in turn (the grid is walked diagonally to keep the run short).
TEST(DotAlignedBars, EveryLinearSymbologyReadsAtPrinterResolutions)
{
    QTemporaryDir dir;
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
        << "zbar-tools is not installed";
    for (const LinearCase& c : kLinearCases) {
        for (size_t di = 0; di < std::size(kDpis); ++di) {
            for (size_t mi = 0; mi < std::size(kMils); ++mi) {
                const double dpi = kDpis[di];
                const float mil = kMils[mi];
                const float angle = kAngles[(mi + di) % std::size(kAngles)];
                const double shift = kSubDot[(mi / 2 + di) % std::size(kSubDot)];
                const std::string what = Describe(c, dpi, mil, angle, shift);
                const Drawn d = Draw(c, dpi, mil, angle, shift);
                switch (c.reader) {
                case Reader::ZXing: EXPECT_EQ(ReadWithZXing(c, d.image, angle), c.expected) << what; break;
                case Reader::Zbar: EXPECT_EQ(ReadWithZbar(d.image, dir), c.expected) << what; break;
                case Reader::None: break;
                }
                // The bearer box of ITF-14 crosses every line through the bars.
                if (c.symbology != SymbologyITF14 && c.symbology != SymbologySCC14ITF)
                    ExpectWholeDotElements(d, dpi, what);
            }
        }
    }
}

// The symbols that read worst at 203 dpi with bars rounded one by one, at every
// sub-dot position and angle.
TEST(DotAlignedBars, ThinModulesOnAThermalPrinterReadAtEveryPosition)
{
    const LinearCase cases[] = {
        {SymbologyEAN13, "590123412345", {}, Reader::ZXing, BarcodeFormat::EAN13, "5901234123457"},
        {SymbologyCode39, "CODE39", Check(false), Reader::ZXing, BarcodeFormat::Code39, "CODE39"},
        {SymbologyCode128, "CODE-128", CodeSet(Code128SetB), Reader::ZXing, BarcodeFormat::Code128, "CODE-128"},
        {SymbologyInterleaved25, "12345678", Check(false), Reader::ZXing, BarcodeFormat::ITF, "12345678"},
    };
    for (const LinearCase& c : cases) {
        for (float mil : {6.0f, 6.5f}) {
            for (float angle : kAngles) {
                for (int k = 0; k < 8; ++k) {
                    const double shift = k / 8.0;
                    const Drawn d = Draw(c, 203, mil, angle, shift);
                    EXPECT_EQ(ReadWithZXing(c, d.image, angle), c.expected) << Describe(c, 203, mil, angle, shift);
                }
            }
        }
    }
}

// A symbol sized for its box at a module that is not whole dots (13 mil at 203 dpi is
// 2.64 dots) stays inside that box on the dots, with only the box's own margin around
// it, and reads wherever it starts between two dots.
TEST(DotAlignedBars, SymbolsStayInsideTheirBoxAtEveryPlacement)
{
    struct Case
    {
        LinearCase symbol;
        double dpi;
        float mil;
    };
    const LinearCase kSymbols[] = {
        {SymbologyCode128, "VELLUMCRAFT-0042", CodeSet(Code128SetB), Reader::ZXing, BarcodeFormat::Code128,
            "VELLUMCRAFT-0042"},
        {SymbologyCode39, "LABEL-0042", Check(false), Reader::ZXing, BarcodeFormat::Code39, "LABEL-0042"},
        {SymbologyCode93, "LABEL93", Check(true), Reader::ZXing, BarcodeFormat::Code93, "LABEL93"},
        {SymbologyCodabar, "31415926", Check(false), Reader::ZXing, BarcodeFormat::Codabar, "31415926"},
        {SymbologyInterleaved25, "12345678", Check(false), Reader::ZXing, BarcodeFormat::ITF, "12345678"},
        {SymbologyEAN13, "590123412345", {}, Reader::ZXing, BarcodeFormat::EAN13, "5901234123457"},
    };
    std::vector<Case> cases;
    for (const LinearCase& symbol : kSymbols)
        for (float mil : {7.5f, 8.0f, 13.0f})
            cases.push_back({symbol, 203, mil});
    cases.push_back(
        {{SymbologyCode39, "LABEL-0042", Check(false, 3.0f), Reader::ZXing, BarcodeFormat::Code39, "LABEL-0042"}, 300,
            12.0f});

    constexpr double kMargin = 5.0;
    for (const Case& c : cases) {
        auto impl = EncodeBarcode(c.symbol.symbology, QString::fromUtf8(c.symbol.content), [&](CBarcodeSettings& s) {
            if (c.symbol.options)
                c.symbol.options(s);
            s.m_fModuleWidth = c.mil;
            s.m_fBarHeight = 8.0f;
            s.m_bShowText = false;
        });
        const CBarcodeSettings& s = *impl->GetSettings();
        const double dotsPerMm = c.dpi / 25.4;
        for (int k = 0; k < 16; ++k) {
            const double shift = k / 16.0;
            const std::string what = Describe(c.symbol, c.dpi, c.mil, 0.0f, shift);
            const QImage image = RenderBarcode(*impl, c.dpi, kMargin + shift / dotsPerMm);
            EXPECT_EQ(ReadWithZXing(c.symbol, image, 0.0f), c.symbol.expected) << what;
            // Every dark dot lies on a dot the box touches.
            const QRect dark = DarkBounds(image);
            ASSERT_FALSE(dark.isEmpty()) << what;
            const double left = double(s.m_fX) * dotsPerMm, right = (double(s.m_fX) + s.m_fWidth) * dotsPerMm;
            EXPECT_GE(dark.left(), int(std::floor(left))) << what;
            EXPECT_LE(dark.right() + 1, int(std::ceil(right))) << what;
        }
    }
}

TEST(DotAlignedBars, TwoDimensionalModulesAreWholeDots)
{
    struct Case
    {
        int symbology;
        BarcodeFormat format;
    };
    const QByteArray content("DOT-ALIGNED 2D 0123456789");
    for (const Case& c : {Case{SymbologyQRCode, BarcodeFormat::QRCode}, Case{SymbologyDataMatrix, BarcodeFormat::DataMatrix},
                          Case{SymbologyPDF417, BarcodeFormat::PDF417}}) {
        // Modules of 1.3 and 2.4 dots at 203 dpi: rounded one by one they would mix sizes.
        for (float mil : {6.5f, 12.0f}) {
            auto impl = EncodeBarcode(c.symbology, QString::fromLatin1(content), [&](CBarcodeSettings& s) {
                switch (c.symbology) {
                case SymbologyQRCode: static_cast<CBarcodeSettings_QRCode&>(s).m_fModuleWidthX = mil; break;
                case SymbologyDataMatrix: static_cast<CBarcodeSettings_DataMatrix&>(s).m_fModuleWidthX = mil; break;
                default: static_cast<CBarcodeSettings_PDF417&>(s).m_fModuleWidthX = mil; break;
                }
            });
            CBarcodeSettings& s = *impl->GetSettings();
            for (double dpi : {203.0, 300.0}) {
                for (float angle : kAngles) {
                    // Turned about its centre in the middle of a square image, off the dots.
                    const double side = std::max(s.m_fWidth, s.m_fHeight) + 10.0;
                    const double shift = 0.4 * 25.4 / dpi;
                    s.m_fAngle = angle;
                    s.m_nAnchor = 8;
                    s.m_fX = float((side - s.m_fWidth) / 2 + shift);
                    s.m_fY = float((side - s.m_fHeight) / 2 + shift);
                    const QImage image = PaintCanvas(side, side, dpi, [&](QPainter& p) { impl->Draw(p); });
                    // Each dot made 3x3 pixels: the reader's detectors want modules of
                    // more than one pixel, and whole-dot modules stay whole.
                    const QImage enlarged = image.scaled(image.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation);
                    const auto read = ReadLinear(enlarged, c.format, true);
                    const std::string what = QString::asprintf("%d at %g dpi, %g mil, %g degrees", c.symbology, dpi,
                                                               mil, angle)
                                                 .toStdString();
                    EXPECT_EQ(read ? read->text : QByteArray("(not read)"), content) << what;
                    // Across the middle every run of dark or light is whole modules.
                    // (PDF417 rows are three modules high, rounded as one length.)
                    const double module = mil * kMilToMm * dpi / 25.4;
                    const int moduleDots = std::max(1, int(std::lround(module)));
                    const int rowDots = c.symbology == SymbologyPDF417 ? int(std::lround(3 * module)) : moduleDots;
                    const bool turned = angle == 90.0f || angle == 270.0f;
                    for (bool vertical : {false, true}) {
                        const int unit = vertical != turned ? rowDots : moduleDots;
                        size_t seen = 0;
                        for (int line = image.width() / 2 - 4; line <= image.width() / 2 + 4; ++line) {
                            const std::vector<int> runs = RunsAlong(image, vertical, line);
                            seen += runs.size();
                            for (int run : runs)
                                EXPECT_EQ(run % unit, 0) << what << " run of " << run << " dots";
                        }
                        EXPECT_GT(seen, 10u) << what;
                    }
                }
            }
        }
    }
}

// A grid of cells filled as one scaled picture must give exactly the pixels of its
// runs filled as rectangles, wherever it is placed and whatever the cell size; where
// the picture cannot give them (a turned world, a translucent colour) nothing is drawn.
TEST(DotAlignedBars, CellsAsPictureMatchTheirRectangles)
{
    const int columns = 23, rows = 9;
    std::vector<uint8_t> cells(size_t(columns * rows));
    for (size_t i = 0; i < cells.size(); ++i)
        cells[i] = uint8_t((i * 7 + i / 5) % 3 == 0 || i % 11 == 0);
    const QColor colour(20, 40, 200);
    struct Placement
    {
        double dpi, dotsX, dotsY, x, y;
    };
    int drawn = 0;
    for (const Placement& p : {Placement{203, 2, 6, 3.1, 2.07}, Placement{300, 3, 3, 0.0, 0.0},
                               Placement{96, 1, 3, 5.55, 7.3}, Placement{600, 5, 4, 1.234, 9.876}}) {
        const double dot = 25.4 / p.dpi;
        auto paint = [&](bool picture) {
            QImage image = MakeImageAtDpi(40, 40, p.dpi, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            SetMillimetreWorld(painter);
            // As a 2-D symbol's frame places it: the grid's corner on a dot edge.
            const DotGrid grid(painter, 0.0f);
            const QPointF corner(grid.SnapX(p.x), grid.SnapY(p.y));
            const double w = p.dotsX * dot, h = p.dotsY * dot;
            if (picture) {
                drawn += FillCellsAsPicture(painter, grid, cells, columns, rows, corner, w, h, colour);
            } else {
                DotFiller filler(painter, grid);
                for (int r = 0; r < rows; ++r)
                    for (int c = 0; c < columns; ++c)
                        if (cells[size_t(r * columns + c)])
                            filler.Fill(QRectF(corner.x() + c * w, corner.y() + r * h, w, h), colour);
            }
            painter.end();
            return image;
        };
        EXPECT_EQ(paint(true), paint(false)) << p.dpi << " dpi";
    }
    EXPECT_EQ(drawn, 4);

    QImage image = MakeImageAtDpi(40, 40, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    SetMillimetreWorld(painter);
    const double dot = 25.4 / 300;
    painter.rotate(90);
    EXPECT_FALSE(FillCellsAsPicture(painter, DotGrid(painter, 0.0f), cells, columns, rows, {}, dot, dot, colour));
    painter.resetTransform();
    SetMillimetreWorld(painter);
    EXPECT_FALSE(FillCellsAsPicture(painter, DotGrid(painter, 0.0f), cells, columns, rows, {}, dot, dot,
                                    QColor(0, 0, 0, 128)));
    painter.end();
    QImage white = MakeImageAtDpi(40, 40, 300, QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_EQ(image, white);
}
