#pragma once

#include <QDialog>

class CLabelData;
class CVXUnitEdit;
class QCheckBox;

// The grid settings of one label: show the grid, its step, snap to it. They are saved
// with the label: after an OK that changed them the caller marks the document changed
// and repaints the canvas.
class CViewOptionsDlg : public QDialog
{
    Q_OBJECT
public:
    CViewOptionsDlg(CLabelData& label, QWidget* parent = nullptr);

    void accept() override;
    // True after an OK that changed a setting.
    bool Changed() const { return m_bChanged; }

private:
    CLabelData& m_label;
    QCheckBox* m_pShowGrid;
    CVXUnitEdit* m_pGridSize;
    QCheckBox* m_pSnapToGrid;
    bool m_bChanged = false;
};
