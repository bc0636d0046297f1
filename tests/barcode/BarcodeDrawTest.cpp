#include "barcode/BarcodeImpl_PostalCode.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "platform/Drawing.h"
#include "LinearSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A barcode object with its box set from the computed size, placed at (x, y).
std::unique_ptr<CBarcodeGraph> MakeBarcode(int symbology, const QString& content, float x = 5, float y = 5,
                                           int codeSet = -1)
{
    return PlaceBarcode(EncodeBarcode(symbology, content,
                                      [codeSet](CBarcodeSettings& s) {
                                          if (codeSet >= 0)
                                              static_cast<CBarcodeSettings_Code128&>(s).m_nCodeSet = codeSet;
                                      }),
                        x, y);
}

CBarcodeSettings& SettingsOf(const CBarcodeGraph& graph)
{
    return *graph.GetImpl()->GetSettings();
}

// 10-mil modules at 200 dpi are two pixels each.
constexpr double kDpi = 200.0;

double PxToMm(int px)
{
    return px * 25.4 / kDpi;
}

int MmToPx(double mm)
{
    return int(std::floor(mm * kDpi / 25.4));
}

// The dark pixels of the human-readable line, in millimetres from the image's left.
struct Span
{
    double left;
    double right;
};
Span TextSpan(const QImage& image, const CBarcodeGraph& graph, bool above = false)
{
    const double h = SettingsOf(graph).m_fFontSize * 25.4 / 72.0;
    const double top = above ? graph.m_fY : graph.m_fY + graph.m_fHeight - h;
    const QRect band(0, MmToPx(top) + 1, image.width(), MmToPx(h) - 2);
    const QRect dark = DarkBounds(image, band);
    return {PxToMm(dark.left()), PxToMm(dark.right() + 1)};
}

} // namespace

TEST(BarcodeDraw, DecodersReadWhatWeDrawInEveryTurn)
{
    struct Case
    {
        int symbology;
        const char* content;
        int codeSet;
        const char* expected;
        const char* symbologyId;
    };
    const Case cases[] = {
        {SymbologyCode128, "CODE-128 A", Code128SetA, "CODE-128 A", "]C0"},
        {SymbologyCode128, "Set b: ~{}", Code128SetB, "Set b: ~{}", "]C0"},
        {SymbologyCode128, "0123456789", Code128SetC, "0123456789", "]C0"},
        {SymbologyCode128, "ab12345\tCD", Code128SetAuto, "ab12345\tCD", "]C0"},
        {SymbologyEAN128, "0112345678901231", Code128SetC, "0112345678901231", "]C1"},
        {SymbologyEAN128, "10ABC123", Code128SetAuto, "10ABC123", "]C1"},
        {SymbologyEAN14, "1234567890123", -1, "0101234567890123", "]C1"},
        {SymbologySSCC18, "12345678901234567", -1, "00123456789012345675", "]C1"},
        {SymbologyPostalCode, "KA123456789", -1, "KA12345678900", "]C0"},
        {SymbologyMedicalCode, "81234567890123456789", -1, "81234567890123456789", "]C0"},
        {SymbologyMonitorCode, "81234567890123456789", -1, "2181234567890123456789", "]C1"},
    };
    for (const Case& c : cases) {
        for (float angle : {0.0f, 90.0f, 180.0f, 270.0f}) {
            auto graph = MakeBarcode(c.symbology, QString::fromLatin1(c.content), 0, 0, c.codeSet);
            // Turn about the centre of the box and put that centre in the middle of the image.
            const float side = std::max(graph->m_fWidth, graph->m_fHeight) + 10.0f;
            graph->m_fX = (side - graph->m_fWidth) / 2;
            graph->m_fY = (side - graph->m_fHeight) / 2;
            graph->m_nAnchor = 8;
            graph->m_fAngle = angle;
            const QImage image = RenderObject(*graph, side, side, kDpi);
            const auto read = ReadLinear(image, ZXing::BarcodeFormat::Code128, true);
            ASSERT_TRUE(read) << c.content << " at " << angle;
            EXPECT_EQ(read->text, QByteArray(c.expected)) << c.content << " at " << angle;
            EXPECT_EQ(read->symbologyIdentifier, c.symbologyId) << c.content;
        }
    }
}

TEST(BarcodeDraw, EveryAlignmentAndGroupingKeepsTheSymbolReadable)
{
    for (int align = 0; align <= 4; ++align) {
        for (int separator : {-1, 0, 1, 2, 3}) {
            for (bool above : {false, true}) {
                auto graph = MakeBarcode(SymbologyMonitorCode, QStringLiteral("81234567890123456789"));
                CBarcodeSettings& s = SettingsOf(*graph);
                s.m_nTextAlign = align;
                s.m_bGrouping = separator >= 0;
                s.m_nSeparator = std::max(separator, 0);
                s.m_strSeparator = QStringLiteral("-");
                s.m_fGroupGap = 1.0f;
                s.m_fLeftBlank = 2.0f;
                s.m_bTextAbove = above;
                s.m_fTextGap = 0.5f;
                Recompute(*graph->GetImpl());
                graph->m_fHeight = s.m_fHeight;
                const QImage image = RenderObject(*graph, graph->m_fWidth + 10, graph->m_fHeight + 10, kDpi);
                const auto read = ReadLinear(image, ZXing::BarcodeFormat::Code128);
                ASSERT_TRUE(read) << align << " " << separator << " " << above;
                EXPECT_EQ(read->text, QByteArray("2181234567890123456789"));
                const Span span = TextSpan(image, *graph, above);
                EXPECT_GT(span.right, span.left) << "no text line drawn";
            }
        }
    }
}

TEST(BarcodeDraw, TextAlignmentPlacesTheLine)
{
    auto graph = MakeBarcode(SymbologyCode128, QStringLiteral("1234"), 5, 5, Code128SetC);
    CBarcodeSettings& s = SettingsOf(*graph);
    graph->m_fWidth = 40.0f; // wider than the bars, so the placements differ clearly
    s.m_fLeftBlank = 3.0f;
    const double left = graph->m_fX, right = graph->m_fX + graph->m_fWidth;
    const double tolerance = 0.6; // glyph side bearings
    auto spanFor = [&](int align) {
        s.m_nTextAlign = align;
        const QImage image = RenderObject(*graph, 50, 30, kDpi);
        return TextSpan(image, *graph);
    };
    const Span leftAligned = spanFor(0);
    EXPECT_NEAR(leftAligned.left, left + 3.0, tolerance);
    const Span centred = spanFor(1);
    EXPECT_NEAR(centred.left - left, right - centred.right, tolerance);
    const Span rightAligned = spanFor(2);
    EXPECT_NEAR(rightAligned.right, right, tolerance);
    const Span spread = spanFor(3);
    EXPECT_NEAR(spread.left, left, tolerance);
    EXPECT_NEAR(spread.right, right, tolerance);
    EXPECT_GT(spread.right - spread.left, centred.right - centred.left + 20);

    // One character spread: drawn at the left edge.
    s.m_strContent = QStringLiteral("7");
    static_cast<CBarcodeSettings_Code128&>(s).m_nCodeSet = Code128SetB;
    graph->GetImpl()->Encode();
    EXPECT_NEAR(spanFor(3).left, left, tolerance);
}

TEST(BarcodeDraw, TurnsAboutTheAnchorPoint)
{
    auto graph = MakeBarcode(SymbologyCode128, QStringLiteral("12345678"), 30, 10, Code128SetC);
    SettingsOf(*graph).m_crBackground = 0xFF000000u; // fill the box, so the bounds are the box
    const double w = graph->m_fWidth, h = graph->m_fHeight;
    graph->m_fAngle = 90.0f;
    graph->m_nAnchor = 0;
    QRect dark = DarkBounds(RenderObject(*graph, 80, 80, kDpi));
    // Clockwise on the y-down page: the box swings to the left of its top-left corner.
    EXPECT_NEAR(PxToMm(dark.left()), 30 - h, 0.2);
    EXPECT_NEAR(PxToMm(dark.right() + 1), 30, 0.2);
    EXPECT_NEAR(PxToMm(dark.top()), 10, 0.2);
    EXPECT_NEAR(PxToMm(dark.bottom() + 1), 10 + w, 0.2);

    graph->m_nAnchor = 4; // bottom right
    graph->m_fAngle = 180.0f;
    dark = DarkBounds(RenderObject(*graph, 80, 80, kDpi));
    EXPECT_NEAR(PxToMm(dark.left()), 30 + w, 0.2);
    EXPECT_NEAR(PxToMm(dark.top()), 10 + h, 0.2);

    // Drawing origin of the label cell shifts everything.
    graph->m_fAngle = 0.0f;
    graph->m_fOriginX = 5;
    graph->m_fOriginY = 7;
    dark = DarkBounds(RenderObject(*graph, 80, 80, kDpi));
    EXPECT_NEAR(PxToMm(dark.left()), 35, 0.2);
    EXPECT_NEAR(PxToMm(dark.top()), 17, 0.2);
}

TEST(BarcodeDraw, BackgroundTextAboveAndPainterState)
{
    auto graph = MakeBarcode(SymbologyCode128, QStringLiteral("1234"), 5, 5, Code128SetC);
    CBarcodeSettings& s = SettingsOf(*graph);
    s.m_fTextGap = 1.0f;
    Recompute(*graph->GetImpl());
    graph->m_fHeight = s.m_fHeight;
    const double textHeight = 10 * 25.4 / 72;

    // Transparent background: nothing outside the bars and text is dark.
    QImage image = RenderObject(*graph, 40, 30, kDpi);
    EXPECT_FALSE(IsDarkAt(image, graph->m_fX + 0.1, graph->m_fY + 12.0, kDpi));
    QRect bars = DarkBounds(image, QRect(0, 0, image.width(), MmToPx(5 + 10)));
    EXPECT_NEAR(PxToMm(bars.top()), 5.0, 0.1);

    s.m_bTextAbove = true;
    image = RenderObject(*graph, 40, 30, kDpi);
    // Look below the middle of the gap between line and bars.
    bars = DarkBounds(image, QRect(0, MmToPx(5 + textHeight + 0.5), image.width(), image.height()));
    EXPECT_NEAR(PxToMm(bars.top()), 5 + 1.0 + textHeight, 0.1);
    EXPECT_NEAR(PxToMm(bars.bottom() + 1), 5 + graph->m_fHeight, 0.1);
    EXPECT_GT(TextSpan(image, *graph, true).right, 0.0);

    s.m_crBackground = 0xFFFF0000u;
    image = RenderObject(*graph, 40, 30, kDpi);
    EXPECT_EQ(image.pixel(MmToPx(5.05), MmToPx(5 + textHeight + 0.5)), qRgb(255, 0, 0));

    // An empty line draws the bars alone.
    s.m_strContent.clear();
    s.m_crBackground = 0;
    s.m_bTextAbove = false;
    Recompute(*graph->GetImpl());
    graph->m_fWidth = s.m_fWidth;
    image = RenderObject(*graph, 40, 30, kDpi);
    EXPECT_EQ(DarkBounds(image, QRect(0, MmToPx(15.2), image.width(), MmToPx(5))), QRect());
    EXPECT_NE(DarkBounds(image, QRect(0, 0, image.width(), MmToPx(15))), QRect());

    QImage canvas = MakeCanvas(40, 30, kDpi);
    QPainter painter(&canvas);
    SetMillimetreWorld(painter, kDpi, kDpi);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QTransform before = painter.worldTransform();
    graph->m_fAngle = 33.0f;
    graph->Draw(painter);
    EXPECT_EQ(painter.worldTransform(), before);
    EXPECT_TRUE(painter.testRenderHint(QPainter::Antialiasing));
}

TEST(BarcodeGraph, BoxFollowsTheObjectAndCopiesAreDeep)
{
    auto graph = MakeBarcode(SymbologyCode128, QStringLiteral("1234"), 5, 5, Code128SetC);
    EXPECT_EQ(graph->GetKind(), KindBarcode);
    QImage image = RenderObject(*graph, 60, 30, kDpi);
    EXPECT_NEAR(PxToMm(DarkBounds(image).left()), 5.0, 0.1);
    graph->m_fX = 20;
    image = RenderObject(*graph, 60, 30, kDpi);
    EXPECT_NEAR(PxToMm(DarkBounds(image).left()), 20.0, 0.1);
    EXPECT_FLOAT_EQ(SettingsOf(*graph).m_fX, 20.0f);

    auto other = MakeBarcode(SymbologySSCC18, QStringLiteral("1"));
    other->CopyFrom(*graph);
    ASSERT_NE(other->GetImpl(), graph->GetImpl());
    EXPECT_EQ(typeid(*other->GetImpl()), typeid(*graph->GetImpl()));
    EXPECT_EQ(SettingsOf(*other).m_nSymbology, SymbologyCode128);
    SettingsOf(*other).m_strContent = QStringLiteral("99");
    EXPECT_EQ(SettingsOf(*graph).m_strContent, QStringLiteral("1234"));

    auto clone = graph->Clone();
    ASSERT_NE(clone, nullptr);
    EXPECT_FLOAT_EQ(clone->m_fX, 20.0f);
    EXPECT_NE(static_cast<CBarcodeGraph&>(*clone).GetImpl(), graph->GetImpl());

    CBarcodeGraph empty;
    QImage blank = RenderObject(empty, 20, 20, kDpi);
    EXPECT_EQ(DarkBounds(blank), QRect());
    other->CopyFrom(empty);
    EXPECT_EQ(other->GetImpl(), nullptr);
}
