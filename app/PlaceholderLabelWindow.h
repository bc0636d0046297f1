#pragma once

#include "app/LabelDocumentWindow.h"

class QLabel;

// A label window that shows its document's name and saves the record as it was
// read: enough for the main frame to open, save and close labels until the editor
// window takes its place through the frame's window factory.
class PlaceholderLabelWindow : public LabelDocumentWindow
{
    Q_OBJECT
public:
    explicit PlaceholderLabelWindow(std::unique_ptr<CLabelData> label, QWidget* parent = nullptr);

    bool IsModified() const override { return m_bModified; }
    bool SaveLabel() override;
    void SetModified(bool modified);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void UpdateTitle();

    QLabel* m_pName;
    bool m_bModified = false;
};
