#include "app/controls/ComboBoxes.h"

#include "app/ResourceIcons.h"
#include "platform/Drawing.h"

void SelectComboItemByText(const QString& text, QComboBox* combo)
{
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i) == text) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(-1);
}

CComboBoxBold::CComboBoxBold(QWidget* parent) : QComboBox(parent)
{
    setIconSize(QSize(16, 16));
}

void CComboBoxBold::SetItemIcon(int item, int iconId)
{
    setItemIcon(item, ResourceIcon(iconId));
}

CDashStyleComboBox::CDashStyleComboBox(QWidget* parent) : QComboBox(parent)
{
    for (const char16_t* text : {u"直线", u"划线", u"点线", u"点划线", u"双点划线"})
        addItem(QString::fromUtf16(text));
}

void CDashStyleComboBox::SetDashStyle(int style)
{
    setCurrentIndex(style >= DashStyleSolid && style <= DashStyleDashDotDot ? style : DashStyleSolid);
}

namespace {

struct HatchItem
{
    const char16_t* text;
    int style;
};

// "LargeGrid", "Min" and "Max" are other names of Cross, Horizontal and
// SolidDiamond; those come first when a style is looked up.
constexpr HatchItem kHatchItems[] = {
    {u"无底纹", HatchStyleBackwardDiagonal},
    {u"BackwardDiagonal", HatchStyleBackwardDiagonal},
    {u"Cross", HatchStyleCross},
    {u"DarkDownwardDiagonal", HatchStyleDarkDownwardDiagonal},
    {u"DarkHorizontal", HatchStyleDarkHorizontal},
    {u"DarkUpwardDiagonal", HatchStyleDarkUpwardDiagonal},
    {u"DarkVertical", HatchStyleDarkVertical},
    {u"DashedDownwardDiagonal", HatchStyleDashedDownwardDiagonal},
    {u"DashedHorizontal", HatchStyleDashedHorizontal},
    {u"DashedUpwardDiagonal", HatchStyleDashedUpwardDiagonal},
    {u"DashedVertical", HatchStyleDashedVertical},
    {u"DiagonalBrick", HatchStyleDiagonalBrick},
    {u"DiagonalCross", HatchStyleDiagonalCross},
    {u"Divot", HatchStyleDivot},
    {u"DottedDiamond", HatchStyleDottedDiamond},
    {u"DottedGrid", HatchStyleDottedGrid},
    {u"ForwardDiagonal", HatchStyleForwardDiagonal},
    {u"Horizontal", HatchStyleHorizontal},
    {u"HorizontalBrick", HatchStyleHorizontalBrick},
    {u"LargeCheckerBoard", HatchStyleLargeCheckerBoard},
    {u"LargeConfetti", HatchStyleLargeConfetti},
    {u"LargeGrid", HatchStyleLargeGrid},
    {u"LightDownwardDiagonal", HatchStyleLightDownwardDiagonal},
    {u"LightHorizontal", HatchStyleLightHorizontal},
    {u"LightUpwardDiagonal", HatchStyleLightUpwardDiagonal},
    {u"LightVertical", HatchStyleLightVertical},
    {u"Max", HatchStyleMax},
    {u"Min", HatchStyleMin},
    {u"NarrowHorizontal", HatchStyleNarrowHorizontal},
    {u"OutlinedDiamond", HatchStyleOutlinedDiamond},
    {u"Plaid", HatchStylePlaid},
    {u"Shingle", HatchStyleShingle},
    {u"SmallCheckerBoard", HatchStyleSmallCheckerBoard},
    {u"SmallConfetti", HatchStyleSmallConfetti},
    {u"SmallGrid", HatchStyleSmallGrid},
    {u"SolidDiamond", HatchStyleSolidDiamond},
    {u"Sphere", HatchStyleSphere},
    {u"Trellis", HatchStyleTrellis},
    {u"Vertical", HatchStyleVertical},
    {u"Wave", HatchStyleWave},
    {u"Weave", HatchStyleWeave},
    {u"WideDownwardDiagonal", HatchStyleWideDownwardDiagonal},
    {u"WideUpwardDiagonal", HatchStyleWideUpwardDiagonal},
    {u"ZigZag", HatchStyleZigZag},
};

// Items whose style another item names first.
bool IsAlias(int item)
{
    const QStringView text(kHatchItems[item].text);
    return text == u"LargeGrid" || text == u"Min" || text == u"Max";
}

} // namespace

CHatchStyleComboBox::CHatchStyleComboBox(QWidget* parent) : QComboBox(parent)
{
    for (const HatchItem& item : kHatchItems)
        addItem(QString::fromUtf16(item.text));
}

int CHatchStyleComboBox::GetHatchStyle() const
{
    const int item = currentIndex();
    if (item <= 0 || item >= static_cast<int>(std::size(kHatchItems)))
        return HatchStyleBackwardDiagonal;
    return kHatchItems[item].style;
}

void CHatchStyleComboBox::SetHatchStyle(int style)
{
    for (int item = 1; item < static_cast<int>(std::size(kHatchItems)); ++item) {
        if (kHatchItems[item].style == style && !IsAlias(item)) {
            setCurrentIndex(item);
            return;
        }
    }
}
