#pragma once

#include "app/LabelDocumentWindow.h"

#include <QPoint>
#include <functional>
#include <memory>
#include <vector>

class CBaseProxy;
class CChildView;
class CCornerButton;
class CDataBand;
class CEditStatus;
class CHorzRuler;
class CUnitButton;
class CVertRuler;
class QComboBox;
class QScrollBar;

// The window of one open label document: the canvas between two rulers and two
// scroll bars, with the zoom box in the corner. It owns the document's zoom and
// scroll positions and hands them to the rulers and the canvas; it saves the label.
class CChildFrame : public LabelDocumentWindow
{
    Q_OBJECT
public:
    CChildFrame(std::unique_ptr<CLabelData> label, IDocumentHost* mainFrame, QWidget* parent = nullptr);
    ~CChildFrame() override;

    // The factory the main frame makes its label windows with.
    static LabelWindowFactory Factory();
    // The label settings sheet the main frame asks a new label's settings with.
    static std::function<bool(CLabelData&)> NewLabelPrompt(QWidget* parent);

    bool IsModified() const override;
    bool SaveLabel() override;
    QStringList ObjectStatusTexts() const override;
    CommandTarget* CanvasTarget() const override;
    // Every command of this window first ends what the canvas has pending.
    bool HandleCommand(int id) override;
    bool SaveLabelAs();
    void ApplyDefaultZoom() override;

    void SetZoom(float zoom);
    void FitToWindow();
    void RecenterLabel();
    bool IsLabelVisible() const;
    void ShowZoomText(float zoom);

    float Zoom() const { return m_fZoom; }
    bool IsFitToWindow() const { return m_bFitToWindow; }
    CChildView& View() const { return *m_pView; }
    CEditStatus& EditStatus() const { return *m_pEditStatus; }
    CHorzRuler& HorzRuler() const { return *m_pHorzRuler; }
    CVertRuler& VertRuler() const { return *m_pVertRuler; }
    QScrollBar& HorzBar() const { return *m_pHorzBar; }
    QScrollBar& VertBar() const { return *m_pVertBar; }
    QComboBox& ZoomCombo() const { return *m_pZoomCombo; }

    // A colour button's remembered choice: a colour (0xRRGGBB in the low bits) or none.
    struct ColourChoice
    {
        quint32 colour = 0xFF000000u;
        bool none = false;
    };

    // ----- Document commands: print, preview and the label dialogs (ChildFrameDocument.cpp) -----

    // The label's named substrings in their dialog, on select (one of them) or the
    // first; after OK the history is dropped and the object pane lists them again.
    void EditNamedSubstrings(CDataBand* select = nullptr);

    // While a document is open its objects live in the canvas and the record's object
    // list is empty. A scope fills that list with clones of the canvas's objects,
    // bottom first, for whatever reads the record whole (the writer, printing, the
    // preview, exports), and empties it again when it ends. WholeLabel() makes one.
    class ObjectListScope
    {
    public:
        ~ObjectListScope();
        ObjectListScope(const ObjectListScope&) = delete;
        ObjectListScope& operator=(const ObjectListScope&) = delete;
        CLabelData& Label() const { return m_label; }

    private:
        friend class CChildFrame;
        explicit ObjectListScope(CChildFrame& frame);
        CLabelData& m_label;
    };

    // The whole label with its objects, for every reader of the whole document: what
    // the canvas has pending (an in-place edit, a gesture) is committed first.
    ObjectListScope WholeLabel();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void AttachLabelObjects();
    void RegisterCommands();
    void RegisterExportCommands();
    // Format and colour commands (ChildFrameFormat.cpp).
    void RegisterFormatCommands();
    void RegisterColourCommands(const std::function<void(CommandUpdate&)>& textOrBarcode,
                                const std::function<void(CommandUpdate&)>& textOnly);
    // One undo step around a change of the current object; nothing without one.
    void FormatChange(const std::function<void(CBaseProxy*)>& change);
    void ShowFontName();
    void ShowFontSize();
    void ShowContextMenu(const std::vector<int>& items, QPoint globalPos);
    void RegisterDocumentCommands();
    // A dialog changed the record behind the history's back: the history is dropped
    // and the document counts as modified.
    void DocumentChanged();
    void NotifyObjectPane(int code);
    void Fit();
    int ScrollRange(float zoom) const;
    // The positions each scroll bar takes at a zoom.
    struct ScrollLimits
    {
        int left = 0, right = 0, top = 0, bottom = 0;
    };
    ScrollLimits LimitsAt(float zoom) const;
    void SetBars(float zoom, int horizontal, int vertical);
    // The bars take in the label and the objects as they are now; a bar that the new
    // range moved takes the rulers and the canvas with it.
    void UpdateScrollRange();
    void OnAutoScroll(bool vertical, int step);
    void OnScroll(bool vertical, int position);
    void OnZoomChosen(int index);
    QString AskSavePath();
    bool WriteLabel();

    IDocumentHost* m_pMainFrame;
    std::unique_ptr<CEditStatus> m_pEditStatus;
    CHorzRuler* m_pHorzRuler;
    CVertRuler* m_pVertRuler;
    QScrollBar* m_pVertBar;
    QScrollBar* m_pHorzBar;
    CChildView* m_pView;
    QComboBox* m_pZoomCombo;
    CUnitButton* m_pUnitButton;
    CCornerButton* m_pCornerButton;
    float m_fZoom = 1.0f;
    bool m_bFitToWindow = false;
    // The colour buttons' choices; font and line start as opaque black, background
    // and fill as no colour.
    ColourChoice m_fontColour{0xFF000000u, false};
    ColourChoice m_backColour{0xFFFFFFFFu, true};
    ColourChoice m_lineColour{0xFF000000u, false};
    ColourChoice m_fillColour{0xFFFFFFFFu, true};
    // The size box shows this object's size while the cache is valid.
    bool m_bFontSizeCacheValid = false;
    const CBaseProxy* m_pFontSizeCacheObject = nullptr;
};
