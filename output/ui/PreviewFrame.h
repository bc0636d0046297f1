#pragma once

#include "app/Commands.h"
#include "output/PrintHandler.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <memory>

class CLabelData;
class CWindowDataPrompt;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollBar;

// The paper of a label page in screen pixels at a zoom, width and height exchanged
// in landscape.
QSize PreviewPaperSize(const CLabelData& label, float zoom);

// The paper canvas: paints the generated labels of the page last rendered, at any
// zoom and scroll, on white paper over grey; a drag on the paper draws a red frame.
// Painting never runs the job: a page is rendered only by RenderPage, outside paint
// events, since the job may ask for window data in a modal dialog.
class CPreviewFrameView : public QWidget
{
    Q_OBJECT
public:
    explicit CPreviewFrameView(QWidget* parent = nullptr);
    ~CPreviewFrameView() override;

    // Generates the current page afresh. A failure of the job is reported; the labels
    // made before it stay, and the preview goes on. A page whose records cannot be read
    // (取消 in the wait window, a failed read) is not shown: the page before stays the
    // current one, drawn as it was.
    void RenderPage();
    QRect ComputePaperRect() const;

    float m_fZoom = 1.0f;
    float m_fOffsetX = 0.0f; // the negated scroll-bar positions
    float m_fOffsetY = 0.0f;
    int m_nCurrentPage = 1;
    CLabelData* m_pLabelData = nullptr;  // the frame's copy
    CPrintHandler* m_pPrintHandler = nullptr;
    GeneratedLabels m_items;
    int m_nDrawnPage = -1;
    QRect m_rcPaper;
    bool m_bDragging = false;
    QPoint m_ptDragStart;
    QPoint m_ptDragEnd;
    QPoint m_dragScroll; // offsets when the drag began

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void PaintPage(QPainter& painter);
    QPoint ClampToPaper(QPoint point) const;
    bool m_bRenderQueued = false;
};

// The client of the frame: the view and the two scroll bars it needs at the zoom.
class CPreviewFrameCon : public QWidget
{
    Q_OBJECT
public:
    explicit CPreviewFrameCon(QWidget* parent = nullptr);

    void LayoutScrollBars(int cy, int cx);
    CPreviewFrameView& View() const { return *m_pView; }
    QScrollBar& VertBar() const { return *m_pVert; }
    QScrollBar& HorzBar() const { return *m_pHorz; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Scrolled();

    CPreviewFrameView* m_pView;
    QScrollBar* m_pVert;
    QScrollBar* m_pHorz;
};

// The print preview window: toolbar (print, close, zoom, pages), the paper and a
// status bar. It owns a private copy of the label record and its preview job, so
// the document may change, print or close meanwhile; what changes afterwards is not
// seen. Deletes itself when closed.
class CPreviewFrame : public QMainWindow, public CommandTarget
{
    Q_OBJECT
public:
    explicit CPreviewFrame(std::unique_ptr<CLabelData> label);
    ~CPreviewFrame() override;

    // The preview-mode job over the copy, prepared; its failure leaves as the job's
    // exception. A script's QuitApp closes mainWindow, which takes the focus back when the
    // preview closes.
    void CreatePrintHandler(QWidget* mainWindow = nullptr);
    void SetZoom(float zoom);
    void ShowZoomText(float zoom);
    void UpdatePageCountText();
    // Shows page (1-based), rendered afresh.
    void GoToPage(int page);

    CPreviewFrameCon& Container() const { return *m_pCon; }
    CPreviewFrameView& View() const { return m_pCon->View(); }
    CommandManager& Commands() const { return *m_pCommands; }
    CLabelData& LabelData() const { return *m_pLabelData; }
    int PageCount() const { return m_nPageCount; }
    int LabelCount() const { return m_nLabelCount; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateToolBar();
    void RegisterCommands();
    void OnZoomChosen();
    void OnPageTyped();
    // The status bar: the page shown, the page and label counts.
    void ShowStatusText();

    std::unique_ptr<CLabelData> m_pLabelData;
    std::unique_ptr<CWindowDataPrompt> m_pPrompt;
    std::unique_ptr<CPrintHandler> m_pPrintHandler;
    QPointer<QWidget> m_pMainWindow;
    CPreviewFrameCon* m_pCon;
    CommandManager* m_pCommands;
    QComboBox* m_pZoomCombo = nullptr;
    QLineEdit* m_pPageEdit = nullptr;
    QLabel* m_pPageCountLabel = nullptr;
    QLabel* m_pStatusText;
    int m_nPageCount = 0;
    int m_nLabelCount = 0;
};

// The Print Preview command: a preview of a copy of the label, opened on page 1 and
// shown maximised; it lives on by itself. Null when the job could not be prepared
// (reported to the user, relative to parent).
CPreviewFrame* OpenPrintPreview(const CLabelData& label, QWidget* parent);
