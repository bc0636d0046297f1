#pragma once

#include "dialogs/properties/ObjectEdtDlg.h"

#include <QString>

class CBarcodeEdtPane;
class CBarcodeGraph;
class CFontEdtPane;

// "条码编辑框": after the panes applied, the barcode is re-encoded when its content,
// symbology, options or the face or size of its text changed (the text line is part
// of its height), else rescaled when only its box changed. A symbol that cannot be
// encoded, or that would be larger than a label, keeps the dialog open with the
// barcode as it was.
class CBarcodeEdtDlg : public CObjectEdtDlg
{
    Q_OBJECT
public:
    explicit CBarcodeEdtDlg(const ObjectEditRequest& request);

    CBarcodeEdtPane* m_pBarcodePane;
    CFontEdtPane* m_pFontPane;

    // The barcode as it was at opening.
    QString m_strContent;
    float m_fWidth = 0.0f;
    float m_fHeight = 0.0f;
    QString m_strFontName;
    float m_fFontSize = 0.0f;

protected:
    bool AfterPanesApplied(CBaseGraph& copy) override;

private:
    // A symbol wider or higher than a label can be (what the label file reader takes
    // back) is refused, naming the box that makes it so.
    bool SymbolFits(const CBarcodeGraph& barcode);
};

// The barcode's dialog, null for an object without a barcode implementation.
std::unique_ptr<CObjectEdtDlg> CreateBarcodeEdtDlg(const ObjectEditRequest& request);
