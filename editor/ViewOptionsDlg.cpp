#include "editor/ViewOptionsDlg.h"

#include "app/Ctl.h"
#include "app/VXBaseDialog.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/LabelData.h"
#include "model/Utils.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

CViewOptionsDlg::CViewOptionsDlg(CLabelData& label, QWidget* parent)
    : QDialog(parent),
      m_label(label),
      m_pShowGrid(new QCheckBox(QStringLiteral("显示网格"))),
      m_pGridSize(new CVXUnitEdit),
      m_pSnapToGrid(new QCheckBox(QStringLiteral("对齐到网格")))
{
    setWindowTitle(QStringLiteral("视图选项"));
    SetCtlId(m_pShowGrid, 1061);
    SetCtlId(m_pGridSize, 1079);
    SetCtlId(m_pSnapToGrid, 1004);
    auto* group = new QGroupBox(QStringLiteral("网格"));
    auto* form = new QFormLayout(group);
    form->addRow(m_pShowGrid);
    // The arrows step the grid by whole millimetres and keep its fraction.
    CNumSpinCtrl* gridSpin = MakeSpin(1092, m_pGridSize, 0.0f, 100.0f);
    gridSpin->m_nDecimals = -1;
    gridSpin->ApplyRange();
    form->addRow(QStringLiteral("网格大小:"), EditWithSpin(m_pGridSize, gridSpin));
    form->addRow(m_pSnapToGrid);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(MakeDialogButtons(this));

    m_pGridSize->m_nValueType = CVXUnitEdit::ValueReal;
    m_pGridSize->UpdateFrame();
    m_pGridSize->setText(FormatFloatShort2(label.m_fGridSize));
    m_pShowGrid->setChecked(label.m_bShowGrid);
    m_pSnapToGrid->setChecked(label.m_bSnapToGrid);
}

void CViewOptionsDlg::accept()
{
    // A grid of 0 is taken (the canvas ignores a grid that is not positive); what is
    // no number, or beyond the arrows' range, is not.
    if (!CheckNumberBoxes(this))
        return;
    const float grid = TextToFloat(m_pGridSize->text());
    const bool show = m_pShowGrid->isChecked();
    const bool snap = m_pSnapToGrid->isChecked();
    m_bChanged = grid != m_label.m_fGridSize || show != m_label.m_bShowGrid || snap != m_label.m_bSnapToGrid;
    m_label.m_fGridSize = grid;
    m_label.m_bShowGrid = show;
    m_label.m_bSnapToGrid = snap;
    QDialog::accept();
}
