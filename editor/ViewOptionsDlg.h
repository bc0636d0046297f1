#pragma once

#include <QDialog>

class CLabelData;
class CVXUnitEdit;
class QCheckBox;

// The grid settings of one label: show the grid, its step, snap to it. Not an undo
// step; the caller repaints the canvas after OK.
class CViewOptionsDlg : public QDialog
{
    Q_OBJECT
public:
    CViewOptionsDlg(CLabelData& label, QWidget* parent = nullptr);

    void accept() override;

private:
    CLabelData& m_label;
    QCheckBox* m_pShowGrid;
    CVXUnitEdit* m_pGridSize;
    QCheckBox* m_pSnapToGrid;
};
