#include "TestSupport.h"
#include "model/TextGraph.h"
#include "platform/Drawing.h"

#include <gtest/gtest.h>

namespace {

constexpr double kTextDpi = 200.0;

QImage DrawText(const CBaseGraph& object, double widthMm = 80, double heightMm = 60)
{
    return PaintCanvas(widthMm, heightMm, kTextDpi, [&](QPainter& p) { object.Draw(p); }, true);
}

QRectF InkBoxMm(const QImage& image)
{
    return InkBox(image, kTextDpi);
}

std::unique_ptr<CTextGraph> Text(const QString& text, float x = 10, float y = 10, float w = 60, float h = 20)
{
    auto object = std::make_unique<CTextGraph>();
    object->m_strText = text;
    object->m_fX = x;
    object->m_fY = y;
    object->m_fWidth = w;
    object->m_fHeight = h;
    return object;
}

QStringList Groups(const QString& text, const QString& rule)
{
    CTextGraph object;
    object.m_strText = text;
    object.m_strGroupRule = rule;
    QStringList groups;
    object.SplitGroups(groups);
    return groups;
}

} // namespace

TEST(TextGraph, DefaultsAndTheAngleOfCurvedText)
{
    CTextGraph text;
    EXPECT_EQ(text.GetKind(), KindText);
    EXPECT_EQ(text.m_strName, "Text1");
    EXPECT_EQ(text.m_strText, QString::fromUtf8("样例文字"));
    EXPECT_EQ(text.m_strFontName, "Arial");
    EXPECT_EQ(text.m_fFontSize, 12.0f);
    EXPECT_EQ(text.m_fHorzScale, 1.0f);
    EXPECT_EQ(text.m_strCustomSeparator, " ");
    EXPECT_TRUE(text.m_bSquareBox);
    EXPECT_TRUE(text.m_bAutoStep);
    EXPECT_EQ(text.m_fAngleStep, 15.0f);
    text.m_fAngle = 30;
    EXPECT_EQ(text.GetAngle(), 30.0f);
    text.m_nLayoutMode = CurvedText;
    EXPECT_EQ(text.GetAngle(), 0.0f);
}

TEST(TextGraph, GroupingRules)
{
    EXPECT_EQ(Groups("1234567890", "2,3"), QStringList({"12", "345", "67890"}));
    EXPECT_EQ(Groups("abcdef", ",,3,x,2"), QStringList({"abc", "de", "f"}));
    EXPECT_EQ(Groups("abc", "10"), QStringList({"abc"}));
    EXPECT_EQ(Groups("abcdef", " 2, -1,+2"), QStringList({"ab", "cd", "ef"}));
    EXPECT_EQ(Groups("abcdef", "2,4,9"), QStringList({"ab", "cdef"}));
    EXPECT_EQ(Groups("abc", ""), QStringList({"abc"}));
    EXPECT_TRUE(Groups("", "2,3").isEmpty());

    CTextGraph text;
    text.m_strText = "1234567890";
    text.m_strGroupRule = "2,3";
    EXPECT_EQ(text.GetGroupedText(), "12 345 67890");
    text.m_nSeparatorChoice = 1;
    EXPECT_EQ(text.GetGroupedText(), QString::fromUtf8("12　345　67890"));
    text.m_nSeparatorChoice = 2;
    text.m_strCustomSeparator = "-";
    EXPECT_EQ(text.GetGroupedText(), "12-345-67890");
    text.m_nSeparatorChoice = 3;
    EXPECT_EQ(text.GetGroupedText(), "12 345 67890");
    text.m_nSeparatorChoice = 42;
    EXPECT_EQ(text.GetGroupedText(), "12 345 67890");
}

TEST(TextGraph, EmptyTextDrawsNothingInAnyMode)
{
    for (int mode = 0; mode <= 4; ++mode) {
        auto text = Text("");
        text->m_nLayoutMode = mode;
        text->m_crFill = 0xFF000000u;
        EXPECT_TRUE(InkBoxMm(DrawText(*text)).isEmpty()) << mode;
    }
    auto unknown = Text("abc");
    unknown->m_nLayoutMode = 4;
    EXPECT_TRUE(InkBoxMm(DrawText(*unknown)).isEmpty());
}

TEST(TextGraph, SingleLineSpacingScaleAndGroupGap)
{
    auto text = Text("ABCDE");
    text->m_fFontSize = 20;
    const QRectF plain = InkBoxMm(DrawText(*text));
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_NEAR(plain.left(), 10, 0.5);

    text->m_fCharSpacing = 0.000005f; // drawn at once
    EXPECT_EQ(InkBoxMm(DrawText(*text)), plain);
    text->m_fCharSpacing = 0.5f; // character by character, 0.5 mm after each
    const QRectF spaced = InkBoxMm(DrawText(*text));
    EXPECT_NEAR(spaced.width() - plain.width(), 4 * 0.5, 0.15);
    EXPECT_NEAR(spaced.left(), plain.left(), 0.05);

    text->m_fCharSpacing = 0;
    text->m_fHorzScale = 2;
    const QRectF wide = InkBoxMm(DrawText(*text));
    EXPECT_NEAR(wide.width(), 2 * plain.width(), 0.3);
    EXPECT_NEAR(wide.left(), plain.left(), 0.3); // the left edge stays

    // Separator choice 3: no separator character, the gap after each group.
    auto grouped = Text("1234567890");
    grouped->m_fFontSize = 20;
    const QRectF ungrouped = InkBoxMm(DrawText(*grouped));
    grouped->m_bGrouping = true;
    grouped->m_strGroupRule = "2,3";
    grouped->m_nSeparatorChoice = 3;
    grouped->m_fGroupGap = 2;
    EXPECT_NEAR(InkBoxMm(DrawText(*grouped)).width() - ungrouped.width(), 2 * 2, 0.15);
    grouped->m_nSeparatorChoice = 0; // a space between groups
    const double space = MeasureTextWidth(grouped->MakeTextFont(), " ");
    EXPECT_NEAR(InkBoxMm(DrawText(*grouped)).width() - ungrouped.width(), 2 * space, 0.15);
}

TEST(TextGraph, SingleLineFillAndRotationAboutTheAnchor)
{
    auto text = Text("x", 20, 20, 30, 10);
    text->m_crFill = 0xFF000000u;
    text->m_fAngle = 90;
    text->m_nAnchor = AnchorTopLeft;
    // Turned clockwise about (20, 20): the filled box spans x 10..20, y 20..50.
    const QRectF ink = InkBoxMm(DrawText(*text));
    EXPECT_NEAR(ink.left(), 10, 0.2);
    EXPECT_NEAR(ink.right(), 20, 0.2);
    EXPECT_NEAR(ink.top(), 20, 0.2);
    EXPECT_NEAR(ink.bottom(), 50, 0.2);
}

TEST(TextGraph, MultiLineAlignmentAndFitToBox)
{
    auto text = Text("Right\nside", 10, 10, 60, 30);
    text->m_nLayoutMode = MultiLine;
    const QRectF left = InkBoxMm(DrawText(*text));
    text->m_nAlignment = 3; // justified draws as left
    EXPECT_EQ(InkBoxMm(DrawText(*text)), left);
    text->m_nAlignment = 2;
    text->m_nVertAlignment = 2;
    const QRectF right = InkBoxMm(DrawText(*text));
    EXPECT_NEAR(right.right(), 70, 0.6);
    EXPECT_GT(right.top(), left.top() + 10);

    // Long text wraps inside the box and is cut at its bottom.
    auto wrapped = Text("one two three four five six seven eight nine ten eleven twelve", 10, 10, 30, 12);
    wrapped->m_nLayoutMode = MultiLine;
    const QRectF w = InkBoxMm(DrawText(*wrapped));
    EXPECT_LE(w.right(), 40.1);
    EXPECT_LE(w.bottom(), 22.1);

    // Fit to box stretches the text over the whole box, larger or smaller.
    for (QSizeF size : {QSizeF(60, 40), QSizeF(8, 3)}) {
        auto fit = Text("AB", 10, 10, size.width(), size.height());
        fit->m_nLayoutMode = MultiLine;
        fit->m_bFitToBox = true;
        const QRectF ink = InkBoxMm(DrawText(*fit));
        EXPECT_NEAR(ink.left(), 10, 0.1 * size.width()) << size.width();
        EXPECT_NEAR(ink.right(), 10 + size.width(), 0.1 * size.width()) << size.width();
        EXPECT_GT(ink.height(), 0.55 * size.height()) << size.width();
    }
    // A box of no width cannot be fitted; nothing breaks.
    auto flat = Text("AB", 10, 10, 0, 10);
    flat->m_nLayoutMode = MultiLine;
    flat->m_bFitToBox = true;
    DrawText(*flat);
}

TEST(TextGraph, VerticalColumnsRunLeftToRightOrRightToLeft)
{
    const QFont font = CTextGraph().MakeTextFont();
    const double line = MeasureFont(font).height;
    // One character, a break, then two: two columns, the first shorter.
    auto text = Text("I\nII", 10, 10, 40, 10);
    text->m_nLayoutMode = VertText;
    const QImage leftToRight = DrawText(*text);
    const auto columnHeight = [&](const QImage& image, double from, double to) {
        return InkBoxMm(image.copy(static_cast<int>(from * kTextDpi / 25.4), 0,
                                 static_cast<int>((to - from) * kTextDpi / 25.4), image.height()))
            .height();
    };
    EXPECT_LT(columnHeight(leftToRight, 10, 10 + line), columnHeight(leftToRight, 10 + line, 10 + 2 * line));
    text->m_nAlignment = 2;
    const QImage rightToLeft = DrawText(*text);
    EXPECT_LT(columnHeight(rightToLeft, 50 - line, 50), columnHeight(rightToLeft, 50 - 2 * line, 50 - line));
    EXPECT_TRUE(InkBoxMm(rightToLeft.copy(0, 0, static_cast<int>(30 * kTextDpi / 25.4), rightToLeft.height())).isEmpty());
}

TEST(TextGraph, CurvedTextStepsAndDirections)
{
    auto text = Text("ABCDEFGH", 10, 10, 40, 40);
    text->m_nLayoutMode = CurvedText;
    DrawText(*text);
    EXPECT_EQ(text->m_fAngleStep, 45.0f); // spread evenly over the circle, and kept

    // Clockwise from the left end over the top; counter-clockwise along the bottom.
    auto arc = Text("OOO", 10, 10, 40, 40);
    arc->m_nLayoutMode = CurvedText;
    arc->m_bAutoStep = false;
    arc->m_fAngleStep = 20;
    const QRectF over = InkBoxMm(DrawText(*arc));
    EXPECT_LT(over.left(), 12);
    EXPECT_LT(over.top(), 25);
    EXPECT_LT(over.bottom(), 32);
    EXPECT_LT(over.right(), 30);
    arc->m_nWrapDirection = 1;
    const QRectF under = InkBoxMm(DrawText(*arc));
    EXPECT_LT(under.left(), 12);
    EXPECT_GT(under.bottom(), 38);
    EXPECT_GT(under.top(), 25);

    // The angle moves the start round the circle, not the box.
    arc->m_nWrapDirection = 0;
    arc->m_fAngle = 90;
    const QRectF turned = InkBoxMm(DrawText(*arc));
    EXPECT_LT(turned.top(), 12);
    EXPECT_GT(turned.left(), 25);

    // A zero radius draws nothing.
    const QSizeF cell = MeasureText(arc->MakeTextFont(), QString::fromUtf8("国"));
    arc->m_fWidth = static_cast<float>(cell.width());
    EXPECT_TRUE(InkBoxMm(DrawText(*arc)).isEmpty());
}

TEST(TextGraph, CopiesOwnTheirBandsAndKeepStoredOnlyFields)
{
    auto source = std::make_unique<CTextGraph>();
    for (const char* value : {"ab", "cd"}) {
        auto band = std::make_unique<CDataBand>();
        band->m_strValue = value;
        source->m_bands.push_back(std::move(band));
    }
    source->m_nLineSpacingChoice = 3;
    source->m_fLineSpacing = 1.5f;
    source->m_nTextDirection = 1;
    source->m_byStyle5 = 7;
    source->m_strSpareText = "spare";
    source->m_strGroupRule = "2,2";
    source->m_fAngleStep = 33;
    EXPECT_EQ(GetBandsText(*source), "abcd");

    CTextGraph target;
    target.m_bands.push_back(std::make_unique<CDataBand>());
    target.CopyFrom(*source);
    source.reset();
    ASSERT_EQ(target.m_bands.size(), 2u);
    EXPECT_EQ(GetBandsText(target), "abcd");
    EXPECT_EQ(target.m_nLineSpacingChoice, 3);
    EXPECT_EQ(target.m_fLineSpacing, 1.5f);
    EXPECT_EQ(target.m_nTextDirection, 1);
    EXPECT_EQ(target.m_byStyle5, 7);
    EXPECT_EQ(target.m_strSpareText, "spare");
    EXPECT_EQ(target.m_strGroupRule, "2,2");
    EXPECT_EQ(target.m_fAngleStep, 33.0f);
    const auto clone = target.Clone();
    EXPECT_EQ(GetBandsText(dynamic_cast<CTextGraph&>(*clone)), "abcd");
    EXPECT_NE(dynamic_cast<CTextGraph&>(*clone).m_bands[0].get(), target.m_bands[0].get());
    EXPECT_EQ(GetBandsText(CTextGraph()), "");
}
