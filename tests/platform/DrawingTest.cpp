#include "TestSupport.h"
#include "platform/Drawing.h"

#include <QFontInfo>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <bit>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr double kDpi = 300.0;

QImage Render(double widthMm, double heightMm, double dpi, const std::function<void(QPainter&)>& draw)
{
    return PaintCanvas(widthMm, heightMm, dpi, draw, true);
}

} // namespace

TEST(MillimetreWorld, MapsMillimetresToDevicePixels)
{
    QImage image = MakeImageAtDpi(50, 20, 254);
    EXPECT_EQ(image.width(), 500);
    EXPECT_EQ(image.height(), 200);
    QPainter painter(&image);
    SetMillimetreWorld(painter);
    EXPECT_DOUBLE_EQ(painter.worldTransform().map(QPointF(10, 5)).x(), 100.0);
    SetScreenMillimetreWorld(painter, 2.0);
    EXPECT_NEAR(painter.worldTransform().map(QPointF(25.4, 0)).x(), 192.0, 1e-9);
}

TEST(Pens, DashPatternsCountInPenWidths)
{
    // A 1 mm pen: dash 3 mm on, 1 mm off; dash-dot-dot 3-1-1-1-1-1.
    const QImage dash = Render(20, 4, kDpi, [](QPainter& p) {
        p.setPen(MakePen(0xFF000000u, 1.0f, DashStyleDash));
        p.drawLine(QPointF(0, 2), QPointF(20, 2));
    });
    for (double x : {0.5, 2.5, 4.5, 6.5})
        EXPECT_TRUE(IsDarkAt(dash, x, 2, kDpi)) << x;
    for (double x : {3.5, 7.5})
        EXPECT_FALSE(IsDarkAt(dash, x, 2, kDpi)) << x;
    // Flat caps: nothing before the start point.
    const QImage dotdot = Render(20, 4, kDpi, [](QPainter& p) {
        p.setPen(MakePen(0xFF000000u, 1.0f, DashStyleDashDotDot));
        p.drawLine(QPointF(2, 2), QPointF(20, 2));
    });
    EXPECT_FALSE(IsDarkAt(dotdot, 1.5, 2, kDpi));
    const bool expected[] = {true, true, true, false, true, false, true, false, true};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(IsDarkAt(dotdot, 2.5 + i, 2, kDpi), expected[i]) << i;
    EXPECT_EQ(MakePen(0xFF000000u, 1.0f, 7).style(), Qt::SolidLine);
}

TEST(Hatches, RepeatTheCellInForeAndBackColours)
{
    EXPECT_EQ(HatchPattern(HatchStyleHorizontal)[0], 0xFF);
    EXPECT_EQ(HatchPattern(HatchStyle50Percent)[0], 0xAA);
    EXPECT_EQ(HatchPattern(HatchStyle50Percent)[1], 0x55);
    EXPECT_EQ(HatchPattern(53), (std::array<uint8_t, 8>{}));
    // Each denser percent style covers the lighter one.
    for (int s = HatchStyle05Percent; s < HatchStyle90Percent; ++s)
        for (int r = 0; r < 8; ++r)
            EXPECT_EQ(HatchPattern(s)[r] & ~HatchPattern(s + 1)[r], 0) << s;
    // Every style has at least one fore and one back pixel, and none equals another.
    for (int s = 0; s < HatchStyleCount; ++s) {
        int count = 0;
        for (uint8_t row : HatchPattern(s))
            count += std::popcount(row);
        EXPECT_GT(count, 0) << s;
        EXPECT_LT(count, 64) << s;
        for (int t = 0; t < s; ++t)
            EXPECT_NE(HatchPattern(s), HatchPattern(t)) << s << " " << t;
    }

    // A horizontal hatch in red on blue: one red pixel row in eight, at 96 dpi.
    const QImage image = Render(10, 10, 96, [](QPainter& p) {
        p.fillRect(QRectF(0, 0, 10, 10), MakeHatchBrush(p, HatchStyleHorizontal, 0xFFFF0000u, 0xFF0000FFu));
    });
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(image.pixel(5, y), y % 8 == 0 ? 0xFFFF0000u : 0xFF0000FFu) << y;
    // The same cell keeps its size in millimetres at 300 dpi.
    const QImage fine = Render(10, 10, kDpi, [](QPainter& p) {
        p.fillRect(QRectF(0, 0, 10, 10), MakeHatchBrush(p, HatchStyleVertical, 0xFF000000u, 0xFFFFFFFFu));
    });
    EXPECT_TRUE(IsDarkAt(fine, 0.1, 1, kDpi));
    EXPECT_FALSE(IsDarkAt(fine, 1.0, 1, kDpi));
    EXPECT_TRUE(IsDarkAt(fine, 8 * kHatchPixelMm + 0.1, 1, kDpi));
    EXPECT_EQ(MakeHatchBrush(QPainter(), -1, 0, 0).style(), Qt::NoBrush);
}

TEST(Gradients, RunBetweenTheCornersOfTheBox)
{
    const QRectF box(0, 0, 40, 10);
    const auto render = [&](int gradient) {
        return Render(40, 10, 96, [&](QPainter& p) {
            p.fillRect(box, MakeGradientBrush(gradient, 0xFFFF0000u, 0xFF0000FFu, box));
        });
    };
    const auto redAt = [](const QImage& image, double x, double y) {
        return qRed(PixelAtMm(image, x, y, 96));
    };
    const QImage forward = render(3);
    EXPECT_GT(redAt(forward, 0.2, 0.2), 240);
    EXPECT_LT(redAt(forward, 39.5, 9.5), 15);
    // Isolines pass through the other two corners.
    EXPECT_NEAR(redAt(forward, 39.5, 0.2), redAt(forward, 0.2, 9.5), 12);
    EXPECT_NEAR(redAt(forward, 20, 5), 128, 12);
    const QImage exchanged = render(7);
    EXPECT_LT(redAt(exchanged, 0.2, 0.2), 15);
    const QImage vertical = render(1);
    EXPECT_NEAR(redAt(vertical, 0.2, 0.2), redAt(vertical, 39.5, 0.2), 2);
    EXPECT_LT(redAt(vertical, 20, 9.5), 30);
    const QImage horizontal = render(6);
    EXPECT_LT(redAt(horizontal, 0.2, 5), 15);
    EXPECT_GT(redAt(horizontal, 39.5, 5), 240);
    EXPECT_EQ(MakeGradientBrush(0, 0, 0, box).style(), Qt::NoBrush);
    EXPECT_EQ(MakeGradientBrush(9, 0, 0, box).style(), Qt::NoBrush);
}

TEST(TextHelper, MissingFontsAreSubstitutedNeverDropped)
{
    EXPECT_EQ(QFontInfo(MakeFont("Arial", 12)).family(), "Liberation Sans");
    const QImage image = Render(40, 15, 96, [](QPainter& p) {
        DrawText(p, "Hello", MakeFont("No Such Face 7f3a", 20), QRectF(0, 0, 40, 15), 0xFF000000u);
    });
    EXPECT_FALSE(InkBox(image, 96).isEmpty());
    const QFont styled = MakeFont("Arial", 9.5f, FontStyleBold | FontStyleUnderline);
    EXPECT_TRUE(styled.bold());
    EXPECT_FALSE(styled.italic());
    EXPECT_TRUE(styled.underline());
    EXPECT_DOUBLE_EQ(styled.pointSizeF(), 9.5);
}

TEST(TextHelper, MeasuresInPointsIndependentlyOfTheDevice)
{
    const QFont font = MakeFont("Arial", 72);
    const FontMetricsMm metrics = MeasureFont(font);
    // Liberation Sans: ascent + descent is 1.117 em; 72 pt is 25.4 mm.
    EXPECT_NEAR(metrics.height, 25.4 * 1.117, 0.1);
    EXPECT_NEAR(metrics.ascent + metrics.descent, metrics.height, 1e-9);
    const QSizeF two = MeasureText(font, "HH\nH");
    EXPECT_NEAR(two.width(), 2 * MeasureTextWidth(font, "H"), 1e-6);
    EXPECT_NEAR(two.height(), 2 * metrics.lineSpacing, 1e-6);
    EXPECT_TRUE(MeasureText(font, "").isEmpty());
    EXPECT_NEAR(MeasureTextWidth(font, "  "), 2 * MeasureTextWidth(font, " "), 1e-6);
}

TEST(TextHelper, SameSizeOnAPdfAt1200DpiAndAnImageAt96Dpi)
{
    const QFont font = MakeFont("Arial", 36);
    const QRectF box(5, 5, 60, 20);
    const QString text = "HEH";
    const auto draw = [&](QPainter& p) { DrawText(p, text, font, box, 0xFF000000u); };

    const QImage screen = Render(70, 30, 96, draw);
    const QRectF screenInk = InkBox(screen, 96);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdfPath = dir.filePath("text.pdf");
    {
        QPdfWriter pdf(pdfPath);
        pdf.setResolution(1200);
        pdf.setPageSize(QPageSize(QSizeF(70, 30), QPageSize::Millimeter));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&pdf);
        SetMillimetreWorld(painter);
        draw(painter);
    }
    QProcess pdftoppm;
    pdftoppm.start("pdftoppm", {"-r", "300", "-png", "-singlefile", pdfPath, dir.filePath("page")});
    ASSERT_TRUE(pdftoppm.waitForFinished(30000));
    const QImage paper(dir.filePath("page.png"));
    ASSERT_FALSE(paper.isNull());
    const QRectF paperInk = InkBox(paper, 300);

    // Cap height of "H" in Liberation Sans is 0.688 em; 36 pt is 12.7 mm.
    EXPECT_NEAR(paperInk.height(), 12.7 * 0.688, 0.15);
    EXPECT_NEAR(screenInk.height(), paperInk.height(), 0.3);
    EXPECT_NEAR(screenInk.width(), paperInk.width(), 0.3);
    EXPECT_NEAR(screenInk.left(), paperInk.left(), 0.3);
    // The ink lies inside the advance, less the two side bearings.
    EXPECT_LT(paperInk.width(), MeasureTextWidth(font, text));
    EXPECT_GT(paperInk.width(), MeasureTextWidth(font, text) - 3.0);
}

TEST(TextHelper, AKeptMeasureFollowsTheTextAndTheFont)
{
    KeptTextMeasure kept;
    const QSizeF one = kept.Measure("Arial", 10, 0, "Lot 1", false);
    EXPECT_EQ(one, MeasureText(MakeFont("Arial", 10), "Lot 1"));
    EXPECT_EQ(kept.Measure("Arial", 10, 0, "Lot 1", false), one);
    // Any change of what was measured is measured again.
    EXPECT_GT(kept.Measure("Arial", 10, 0, "Lot 1 of 20", false).width(), one.width());
    EXPECT_GT(kept.Measure("Arial", 20, 0, "Lot 1", false).width(), one.width());
    EXPECT_GT(kept.Measure("Arial", 10, FontStyleBold, "Lot 1", false).width(), one.width());
    EXPECT_NE(kept.Measure("Courier New", 10, 0, "Lot 1", false).width(), one.width());
    EXPECT_EQ(kept.Measure("Arial", 10, 0, "Lot 1", true), QSizeF(one.width(), 0.0)) << "the width alone";
    EXPECT_EQ(kept.Measure("Arial", 10, 0, "Lot 1", false), one);
}

TEST(TextHelper, AlignsWrapsAndClipsInItsBox)
{
    const QFont font = MakeFont("Arial", 20);
    const QRectF box(10, 5, 60, 30);
    const auto inkOf = [&](const QString& text, const TextFormat& format) {
        return InkBox(Render(80, 40, kDpi, [&](QPainter& p) { DrawText(p, text, font, box, 0xFF000000u, format); }),
                      kDpi);
    };
    TextFormat format;
    format.alignment = Qt::AlignRight | Qt::AlignBottom;
    const QRectF right = inkOf("AB", format);
    EXPECT_NEAR(right.right(), box.right(), 1.0);
    EXPECT_NEAR(right.bottom(), box.bottom() - MeasureFont(font).descent, 0.5);
    format.alignment = Qt::AlignHCenter | Qt::AlignTop;
    const QRectF centred = inkOf("AB", format);
    EXPECT_NEAR(centred.center().x(), box.center().x(), 0.5);

    // Lines follow one another at the font's line spacing.
    const double spacing = MeasureFont(font).lineSpacing;
    const QRectF one = inkOf("H", {});
    const QRectF three = inkOf("H\nH\nH", {});
    EXPECT_NEAR(three.top(), one.top(), 0.05);
    EXPECT_NEAR(three.height(), one.height() + 2 * spacing, 0.1);

    format = {};
    format.wrap = true;
    const QRectF wrapped = inkOf("wrap these words inside the box", format);
    EXPECT_LE(wrapped.right(), box.right() + 0.1);
    EXPECT_GT(wrapped.height(), 1.5 * MeasureFont(font).height);
    format.wrap = false;
    EXPECT_GT(inkOf("wrap these words inside the box", format).right(), box.right() + 5);
    format.clip = true;
    EXPECT_LE(inkOf("wrap these words inside the box", format).right(), box.right() + 0.1);
}

TEST(TextHelper, VerticalColumnsRunEitherWay)
{
    const QFont font = MakeFont("Arial", 20);
    const double line = MeasureFont(font).height;
    const QRectF box(5, 5, 50, 2.5 * line);
    TextFormat format;
    format.vertical = true;
    format.wrap = true;
    // Three characters in a box two lines tall: two columns, the second on the right.
    const auto render = [&](const TextFormat& f) {
        return Render(60, 30, kDpi, [&](QPainter& p) { DrawText(p, "I\nIII", font, box, 0xFF000000u, f); });
    };
    const QImage leftToRight = render(format);
    const QRectF first = InkBox(leftToRight.copy(0, 0, static_cast<int>((5 + line) * kDpi / 25.4), leftToRight.height()), kDpi);
    EXPECT_LT(first.height(), line); // one character in the first column
    const QRectF all = InkBox(leftToRight, kDpi);
    EXPECT_NEAR(all.right(), 5 + 2.5 * line, 0.5 * line); // the third column is there
    format.rightToLeft = true;
    const QRectF rtl = InkBox(render(format), kDpi);
    EXPECT_NEAR(rtl.right(), 55 - 0.5 * line, 0.3 * line);
    EXPECT_NEAR(rtl.left(), 55 - 2.5 * line, 0.5 * line);
}

// Pieces drawn together come out where each drawn alone would, whatever fonts their
// characters need (a CJK character comes from a fallback font) and with decorations.
TEST(TextHelper, PiecesDrawnTogetherLandWhereEachAloneWould)
{
    const QString pieces[] = {"1", "W", "国", "4", "g", "", "9"};
    std::vector<QRectF> boxes;
    for (size_t i = 0; i < std::size(pieces); ++i)
        boxes.emplace_back(3 + 7.5 * double(i), 4 + (i % 2) * 0.7, 6.0, 8.0);
    for (const auto& [alignment, font] : {std::pair {Qt::AlignLeft | Qt::AlignTop, MakeFont("Arial", 14)},
             std::pair {Qt::Alignment(Qt::AlignCenter), MakeFont("Arial", 14, FontStyleUnderline)}}) {
        const QImage together = Render(
            60, 16, kDpi, [&](QPainter& p) { TextPainter(p, font, Qt::black).DrawEach(pieces, boxes, alignment); });
        const QImage alone = Render(60, 16, kDpi, [&](QPainter& p) {
            TextFormat format;
            format.alignment = alignment;
            for (size_t i = 0; i < std::size(pieces); ++i)
                TextPainter(p, font, Qt::black).Draw(pieces[i], boxes[i], format);
        });
        EXPECT_FALSE(InkBox(together, kDpi).isEmpty());
        EXPECT_EQ(together, alone) << alignment;
    }
}

// A text drawn again after a long stream of texts drawn once each (serial numbers
// through a job) is drawn as it was the first time.
TEST(TextHelper, TextsLookTheSameAfterManyOthers)
{
    const QFont font = MakeFont("Arial", 10);
    const auto draw = [&](const QString& text) {
        return Render(40, 8, kDpi, [&](QPainter& p) { DrawText(p, text, font, QRectF(1, 1, 38, 6), 0xFF000000u); });
    };
    const QImage first = draw("Item: Widget 42");
    for (int i = 0; i < 60000; ++i) {
        MeasureTextWidth(font, QString::number(1000000 + i));
        if (i % 997 == 0) {
            EXPECT_EQ(draw("Item: Widget 42"), first) << i;
        }
    }
    EXPECT_EQ(draw("Item: Widget 42"), first);
    // Fonts made again from the same settings are the same font; other settings are not.
    EXPECT_EQ(MakeFont("Arial", 10), font);
    EXPECT_NE(MakeFont("Arial", 10, FontStyleBold), font);
    EXPECT_NE(MakeFont("Arial", 10.5f), font);
}

TEST(Pens, FlattenedStrokesMatchCurveStrokes)
{
    QPainterPath path;
    path.addEllipse(QRectF(5, 5, 30, 12));
    path.addRoundedRect(QRectF(8, 20, 25, 10), 3, 3);
    const auto render = [&](bool flattened, int dash) {
        return Render(40, 35, kDpi, [&](QPainter& p) {
            p.rotate(5);
            const QPen pen = MakePen(0xFF000000u, 0.8f, dash);
            if (flattened) {
                StrokePath(p, path, pen);
            } else {
                p.setPen(pen);
                p.drawPath(path);
            }
        });
    };
    for (int dash : {DashStyleSolid, DashStyleDash}) {
        const QImage curves = render(false, dash);
        const QImage lines = render(true, dash);
        int dark = 0, differing = 0;
        for (int y = 0; y < curves.height(); ++y)
            for (int x = 0; x < curves.width(); ++x) {
                const int a = qGray(curves.pixel(x, y)), b = qGray(lines.pixel(x, y));
                dark += a < 128;
                differing += std::abs(a - b) > 96; // edge pixels may shade a little differently
            }
        EXPECT_GT(dark, 1000) << dash;
        EXPECT_LT(differing, dark / 20) << dash; // a thin fringe along the curves
    }
}
