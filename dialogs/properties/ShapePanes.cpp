#include "dialogs/properties/ObjectPanes.h"

#include "app/Ctl.h"
#include "app/controls/ColourPicker.h"
#include "app/controls/ComboBoxes.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/ShapeGraph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace {

CColourPicker* AddPickerRow(QFormLayout* form, const QString& label, int id)
{
    auto* picker = SetCtlId(new CColourPicker, id);
    form->addRow(label, picker);
    return picker;
}

// Hatch and gradient colours are written opaque even from a picker without colour
// (a disabled one): opaque black.
uint32_t OpaqueArgb(const QColor& colour)
{
    return colour.isValid() ? PickerColourToArgb(colour) : 0xFF000000u;
}

// Dash styles outside 1 .. 4 are stored as solid.
int32_t DashStyleOf(const CDashStyleComboBox* combo)
{
    const int style = combo->GetDashStyle();
    return style >= 1 && style <= 4 ? style : 0;
}

void EnablePicker(CColourPicker* picker, bool enable, uint32_t stored)
{
    picker->setEnabled(enable);
    picker->SetColour(enable ? ArgbToPickerColour(stored) : QColor());
}

} // namespace

CFilledShapeEdtPane::CFilledShapeEdtPane(int pageId, bool cornerRadius, QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, pageId);
    auto* layout = new QVBoxLayout(this);
    QFormLayout* outline = AddGroup(layout, QStringLiteral("边框"));
    m_lineWidth = AddLengthRow(outline, QStringLiteral("线宽:"), 1079);
    if (cornerRadius)
        m_cornerRadius = AddLengthRow(outline, QStringLiteral("圆角半径:"), 1080);
    m_dash = SetCtlId(new CDashStyleComboBox, 1098);
    outline->addRow(QStringLiteral("线型:"), m_dash);
    m_lineColour = AddPickerRow(outline, QStringLiteral("边线颜色:"), 1078);
    m_background = AddPickerRow(outline, QStringLiteral("背景颜色:"), 1115);

    QFormLayout* hatch = AddGroup(layout, QStringLiteral("底纹"), 1287);
    m_hatch = SetCtlId(new CHatchStyleComboBox, 1100);
    hatch->addRow(QStringLiteral("底纹样式:"), m_hatch);
    m_hatchColour = AddPickerRow(hatch, QStringLiteral("底纹颜色:"), 1289);

    QFormLayout* gradient = AddGroup(layout, QStringLiteral("渐变"), 1288);
    m_gradient = MakeCombo(1102, {QStringLiteral("无渐变"), QStringLiteral("从上到下"), QStringLiteral("从左到右"),
                                  QStringLiteral("从左上到右下"), QStringLiteral("从右上到左下"),
                                  QStringLiteral("从下到上"), QStringLiteral("从右到左"),
                                  QStringLiteral("从右下到左上"), QStringLiteral("从左下到右上")});
    gradient->addRow(QStringLiteral("渐变方向:"), m_gradient);
    m_gradient1 = AddPickerRow(gradient, QStringLiteral("渐变色一:"), 1117);
    m_gradient2 = AddPickerRow(gradient, QStringLiteral("渐变色二:"), 1118);
    layout->addStretch(1);

    connect(m_hatch, &QComboBox::activated, this, &CFilledShapeEdtPane::UpdateHatch);
    connect(m_gradient, &QComboBox::activated, this, &CFilledShapeEdtPane::UpdateGradient);
}

void CFilledShapeEdtPane::Load()
{
    const auto& shape = static_cast<const CFilledShapeGraph&>(*m_pObject);
    SetLengthText(m_lineWidth, shape.m_fLineWidth);
    if (m_cornerRadius)
        SetLengthText(m_cornerRadius, static_cast<const CRectangleGraph&>(shape).m_fCornerRadius);
    m_lineColour->SetColour(ArgbToPickerColour(shape.m_crLine));
    m_background->SetColour(ArgbToPickerColour(shape.m_crFill));
    m_dash->SetDashStyle(shape.m_nDashStyle);
    m_hatch->setCurrentIndex(0);
    if (shape.m_bHatch) {
        m_hatch->SetHatchStyle(shape.m_nHatchStyle);
        // A style the list does not offer (the percent patterns) selects nothing, so
        // that OK keeps it instead of turning the hatch off.
        if (m_hatch->GetHatchStyle() != shape.m_nHatchStyle)
            m_hatch->setCurrentIndex(-1);
    }
    m_hatchColour->SetColour(ArgbToPickerColour(shape.m_crHatch));
    m_gradient->setCurrentIndex(shape.m_nGradient >= 0 && shape.m_nGradient < m_gradient->count() ? shape.m_nGradient
                                                                                                  : -1);
    m_gradient1->SetColour(ArgbToPickerColour(shape.m_crGradient1));
    m_gradient2->SetColour(ArgbToPickerColour(shape.m_crGradient2));
    UpdateHatch();
    UpdateGradient();
}

void CFilledShapeEdtPane::UpdateHatch()
{
    EnablePicker(m_hatchColour, m_hatch->currentIndex() != 0,
                 static_cast<const CFilledShapeGraph&>(*m_pObject).m_crHatch);
}

void CFilledShapeEdtPane::UpdateGradient()
{
    const auto& shape = static_cast<const CFilledShapeGraph&>(*m_pObject);
    const bool on = m_gradient->currentIndex() != 0;
    EnablePicker(m_gradient1, on, shape.m_crGradient1);
    EnablePicker(m_gradient2, on, shape.m_crGradient2);
}

void CFilledShapeEdtPane::Apply()
{
    auto& shape = static_cast<CFilledShapeGraph&>(*m_pObject);
    StoreNumber(m_lineWidth, shape.m_fLineWidth);
    if (m_cornerRadius)
        StoreNumber(m_cornerRadius, static_cast<CRectangleGraph&>(shape).m_fCornerRadius);
    shape.m_crLine = PickerColourToArgb(m_lineColour->GetColour());
    shape.m_crFill = PickerColourToArgb(m_background->GetColour());
    shape.m_nDashStyle = DashStyleOf(m_dash);
    if (m_hatch->currentIndex() >= 0) {
        shape.m_bHatch = m_hatch->currentIndex() != 0;
        if (shape.m_bHatch)
            shape.m_nHatchStyle = m_hatch->GetHatchStyle();
    }
    shape.m_crHatch = OpaqueArgb(m_hatchColour->GetColour());
    shape.m_nGradient = m_gradient->currentIndex();
    shape.m_crGradient1 = OpaqueArgb(m_gradient1->GetColour());
    shape.m_crGradient2 = OpaqueArgb(m_gradient2->GetColour());
}

CLineEdtPane::CLineEdtPane(QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, 239);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_lineWidth = AddLengthRow(form, QStringLiteral("线宽:"), 1079);
    m_dash = SetCtlId(new CDashStyleComboBox, 1098);
    form->addRow(QStringLiteral("线型:"), m_dash);
    m_cap = MakeCombo(1099, {QStringLiteral("正方形"), QStringLiteral("圆形")});
    form->addRow(QStringLiteral("线端:"), m_cap);
    m_colour = AddPickerRow(form, QStringLiteral("线条颜色:"), 1078);
    m_horzVertOnly = MakeCheck(QStringLiteral("限制为横线或竖线"), 1004);
    form->addRow(m_horzVertOnly);
    layout->addLayout(form);
    layout->addStretch(1);
}

void CLineEdtPane::Load()
{
    const auto& line = static_cast<const CLineGraph&>(*m_pObject);
    SetLengthText(m_lineWidth, line.m_fLineWidth);
    m_dash->SetDashStyle(line.m_nDashStyle);
    m_cap->setCurrentIndex(line.m_nLineEnd >= 0 && line.m_nLineEnd < m_cap->count() ? line.m_nLineEnd : -1);
    m_colour->SetColour(ArgbToPickerColour(line.m_crLine));
    m_horzVertOnly->setChecked(line.m_bHorzVertOnly);
}

void CLineEdtPane::Apply()
{
    auto& line = static_cast<CLineGraph&>(*m_pObject);
    StoreNumber(m_lineWidth, line.m_fLineWidth);
    line.m_nDashStyle = DashStyleOf(m_dash);
    line.m_nLineEnd = m_cap->currentIndex();
    line.m_crLine = PickerColourToArgb(m_colour->GetColour());
    line.m_bHorzVertOnly = m_horzVertOnly->isChecked();
}
