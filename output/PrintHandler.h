#pragma once

#include "model/DLBase.h"
#include "output/PrintSeams.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class CBaseGraph;
class KeptTextMeasure;
class CBarcodeGraph;
class CDataBand;
class CDSBase;
class CImageGraph;
class CLabelData;
class QPainter;

// How the cells of a page are numbered: from a start corner, along rows or columns,
// every line the same way or every second one back. The print job and the label
// settings sheet's preview both number cells with LabelSequence.
struct LabelOrder
{
    int rows = 0;
    int columns = 0;
    int startCorner = 0;   // LabelStartCorner; any other value behaves as bottom-right
    int fillDirection = 0; // LabelFillDirection; any value but 0 is vertical
    bool sameDirection = true;
};
LabelOrder LabelOrderOf(const CLabelData& label);
// The 1-based print position of the cell at row, column (both from 0, top-left).
qint64 LabelSequence(const LabelOrder& order, int row, int column);

// The rows of one data source held by a print job, with the loader that reads them.
class CDatabaseDataLoad
{
public:
    CDatabaseDataLoad() = default;
    virtual ~CDatabaseDataLoad();
    CDatabaseDataLoad(const CDatabaseDataLoad&) = delete;
    CDatabaseDataLoad& operator=(const CDatabaseDataLoad&) = delete;

    int RowCount() const { return m_rows.RowCount(); }
    // Index of a field among the description's selected fields (letter case
    // ignored), -1 when it is not one of them.
    int FieldIndex(const QString& fieldName) const;

    QString m_strName;
    const CDSBase* m_pSource = nullptr; // the label's description, not owned
    LoaderRow m_rows;
    int m_nFieldCount = 0;
    std::unique_ptr<CDLBase> m_pLoader;
};

// One label of a previewed page: where it sits and copies of its objects with the
// values they had for it.
class CGeneratedLabel
{
public:
    virtual ~CGeneratedLabel() = default;

    int m_nLabelNumber = 0; // 1-based over the whole job
    float m_fX = 0.0f;
    float m_fY = 0.0f;
    std::vector<std::unique_ptr<CBaseGraph>> m_objects;
};

using GeneratedLabels = std::vector<std::unique_ptr<CGeneratedLabel>>;

// One print or preview job over a label record: loads the data rows, numbers the
// labels, generates each label's values from its data bands and draws pages. Every
// failure leaves as a VXException (or one of its kinds) carrying a message for the
// user; the job never opens a window.
//
// Order of use: construct, SetMode, SetLabelData, the optional seams, Prepare, read
// the counts, draw pages in any order, delete.
class CPrintHandler
{
public:
    enum Mode { ModePreview = 0, ModePrint = 1 };

    CPrintHandler();
    virtual ~CPrintHandler();
    CPrintHandler(const CPrintHandler&) = delete;
    CPrintHandler& operator=(const CPrintHandler&) = delete;

    void SetMode(int mode) { m_nMode = mode; }
    // Not owned; must outlive the job.
    void SetLabelData(CLabelData* label) { m_pLabelData = label; }
    CLabelData* GetLabelData() const { return m_pLabelData; }
    // Not owned. Without one, window-data values stay empty.
    void SetWindowDataPrompt(IWindowDataPrompt* prompt) { m_pPrompt = prompt; }
    // Replaces the engine that runs the event scripts (a null engine by default).
    void SetScriptEngine(std::unique_ptr<IScriptEngine> engine);
    // The user cancelled the job: a running script stops, no later one runs.
    void CancelScripts() { m_pScriptEngine->Cancel(); }
    // The user chose, in a script's box, to stop the job.
    bool ScriptsStoppedJob() const { return m_pScriptEngine->StopsJob(); }
    // A run over the job (one print) is over: the next one runs the scripts again.
    void EndScriptRun() { m_pScriptEngine->EndRun(); }
    // Seconds since 1970-01-01 UTC; read once, at preparation.
    void SetClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // Makes the loader of a data source; CDLBase::CreateLoader by the source's type
    // unless replaced.
    using LoaderFactory = std::function<std::unique_ptr<CDLBase>(const CDSBase&)>;
    void SetLoaderFactory(LoaderFactory factory) { m_loaderFactory = std::move(factory); }

    void Prepare();

    int GetLabelCount() const { return m_nLabelCount; }
    int GetPageCount() const { return m_nPageCount; }
    int GetLabelsPerPage() const { return m_nLabelsPerPage; }
    qint64 GetStartTime() const { return m_tStartTime; }

    // Set by the print loop: the first page of the run (relative page numbers count
    // from it) and the offsets added to every drawing position.
    int m_nFirstPrintedPage = 1;
    // Set by the print loop for the last page it prints: the data sources are closed as soon as
    // that page has its rows, so that what ends their server sessions goes at once, with nothing
    // left to wait for (MariaDB's rollback of the last statement goes with the quit), not after
    // the page is drawn and the document written.
    bool m_bLastPageOfRun = false;
    float m_fPrinterOffsetX = 0.0f;
    float m_fPrinterOffsetY = 0.0f;
    // Dots per inch of the output the page is drawn for (objects lay barcodes on
    // them): 0 the device's own pixels, below 0 exact millimetres.
    float m_fOutputDpi = 0.0f;

    // Draws page `page` (1-based) on a painter whose world unit is the millimetre,
    // origin at the paper's corner.
    void DrawPage(QPainter& graphics, int page);
    // Generates the labels of page `page` into items (appended) without drawing; the
    // page items are updated for the preview to paint. The page's records are read
    // first: when they cannot be (cancelled, a failed read), a CDataSourceException
    // comes before anything of the page is made or any script runs.
    void DrawPreviewPage(GeneratedLabels& items, int page);

    // The 1-based position of a cell in the order the label layout asks for; along a
    // row or a column it rises or falls monotonically.
    qint64 GetLabelSequence(int row, int column) const;

    // Page header and page number objects, updated for the last page drawn.
    const std::vector<CBaseGraph*>& GetPageItems() const { return m_pageItems; }
    const std::vector<std::unique_ptr<CDatabaseDataLoad>>& GetDataLoads() const { return m_dataLoads; }
    const WindowDataTags& GetWindowDataTags() const { return m_windowDataTags; }
    // The module handed to the script engine; empty when no event is set.
    const QString& GetScriptModule() const { return m_scriptModule.text; }

    // A job of one output per data row (picture batch export) instead of pages: reads
    // the clock and, when loadRows, the rows firstRow..lastRow of every data source.
    // Row r is then found at r - firstRow of what was loaded. Replaces Prepare.
    void PrepareRows(int firstRow, int lastRow, bool loadRows);
    // Generates the values of the given objects (not the label's own) for row r of a
    // PrepareRows job: serials count from r, fields come from row r.
    void GenerateRowValues(const std::vector<CBaseGraph*>& objects, int row);

    // The text the page number shows on a page.
    QString FormatPageNumber(int page) const;

    // The value of a band for the job's label labelNumber, the sequence-th (from 1)
    // of its page; exposed for the script objects and tests.
    QString EvaluateBands(const std::vector<std::unique_ptr<CDataBand>>& bands, int sequence, int labelNumber);
    QString FieldValue(const QString& dataSource, const QString& field, int sequence, int labelNumber) const;

private:
    struct PageRange
    {
        int base = 0;
        int highest = 0; // sequence numbers above it stay empty
        bool empty = false;
    };

    void CreateDataLoads();
    void CreatePageItems();
    void ComputeCounts();
    void LoadRowsForPage(int page);
    PageRange GetPageRange(int page) const;
    int RowOfLabel(int n) const;

    void DrawPageCommon(int page);
    void RenderLabel(int sequence, int labelNumber, float x, float y);
    void DrawPrintedLabel(float x, float y);
    bool PrintedObjectsInsideShape() const;
    void UpdatePageItems();
    void PlacePageHeaderText(CBaseGraph& item) const;
    void PlacePageNumber(CBaseGraph& item) const;

    void EvaluateNamedSubstrings(int sequence, int labelNumber);
    void GenerateObjectValues(int sequence, int labelNumber);
    void GenerateObjectValue(CBaseGraph& object, int sequence, int labelNumber);
    QString BandValue(const CDataBand& band, int sequence, int labelNumber);
    QString DateTimeText(const CDataBand& band);
    void UpdateBarcode(CBarcodeGraph& barcode, const QString& content);
    void UpdateDatabaseImage(CImageGraph& image, int sequence, int labelNumber);
    bool Draws(const CBaseGraph& object) const;

    bool IsEventSet(int event) const;
    void CallEvent(int event);

    int m_nMode = ModePrint;
    CLabelData* m_pLabelData = nullptr;
    IWindowDataPrompt* m_pPrompt = nullptr;
    std::unique_ptr<IScriptEngine> m_pScriptEngine;
    std::function<qint64()> m_clock;
    LoaderFactory m_loaderFactory;

    // Page items: the header and number objects the job made (owned) and a label
    // object borrowed as header (not owned; put back where it was when the job ends).
    std::vector<CBaseGraph*> m_pageItems;
    std::vector<std::unique_ptr<CBaseGraph>> m_ownedPageItems;
    CBaseGraph* m_pBorrowedHeader = nullptr;
    QPointF m_borrowedHeaderPos;

    // The page being drawn.
    bool m_bPrintOutput = true;
    QPainter* m_pGraphics = nullptr;
    GeneratedLabels* m_pPreviewItems = nullptr;
    int m_nCurrentPage = 1;

    std::vector<std::unique_ptr<CDatabaseDataLoad>> m_dataLoads;
    int m_nLabelsPerPage = 0;
    int m_nLabelCount = 0;
    int m_nPageCount = 0;
    int m_nFirstLoadedPage = 1;
    int m_nFirstRow = 1; // of a PrepareRows job
    bool m_bRowsLoaded = false;
    bool m_bSeveralCopies = false;
    // Copies taken from a column: the load and field, and per row the running sums
    // of labels and pages, so that any page or label finds its row by bisection.
    CDatabaseDataLoad* m_pCountLoad = nullptr;
    int m_nCountColumn = -1;
    std::vector<qint64> m_rowLabelEnds;
    std::vector<qint64> m_rowPageEnds;

    qint64 m_tStartTime = 0;
    bool m_bEventsSet = false;
    ScriptModuleText m_scriptModule;
    bool m_bPromptForm = false;
    WindowDataTags m_windowDataTags;

    // Barcode contents last encoded, so a barcode is rebuilt only when it changes;
    // database image paths last loaded, for the same reason; date and time texts,
    // which depend only on the band's format and offset.
    std::unordered_map<const CBarcodeGraph*, QString> m_encodedContent;
    std::unordered_map<const CImageGraph*, QString> m_loadedImagePath;
    std::unordered_map<QString, QString> m_dateTimeTexts;
};

// The page as it is printed: the paper's width and height, exchanged in landscape.
QSizeF GetPageSizeMm(const CLabelData& label);
// The part of the label (millimetres, unturned) an object's drawing can cover: its
// box, grown by what can stand out of it: a text wider or taller than its box, a
// barcode's bars and digits at their own size, and the pen. A caller that bounds the
// same object again and again keeps its text's measure.
QRectF DrawnExtentMm(const CBaseGraph& object, KeptTextMeasure* kept = nullptr);
// Whether a rectangle (label millimetres) lies wholly inside the label's rectangle or
// rounded rectangle; never for an ellipse.
bool LiesInsideLabelShape(const CLabelData& label, const QRectF& extent);
// The outline of a label at (x, y): a rectangle, a rounded rectangle or an ellipse.
QPainterPath MakeLabelShapePath(const CLabelData& label, float x, float y);
// The label's background colour and picture, in whole millimetres.
void DrawLabelBackground(QPainter& graphics, const CLabelData& label, float x, float y);
// The outline (with the centre hole of an ellipse) and the cut marks.
void DrawLabelOutline(QPainter& graphics, const CLabelData& label, float x, float y);
void DrawCutMarks(QPainter& graphics, const CLabelData& label, float x, float y);
// Gives a barcode new content and rebuilds its symbol and size; a content it cannot
// encode throws a CBarcodeException naming the barcode and the content.
void EncodeBarcode(CBarcodeGraph& barcode, const QString& content);
// Draws an object with its drawing origin at (x, y), at scale 1, for an output of
// outputDpi (see CPrintHandler::m_fOutputDpi).
void DrawObjectAt(CBaseGraph& object, QPainter& graphics, float x, float y, float outputDpi = 0.0f);
// One generated label as the preview shows it: clipped to its shape (the centre hole
// cut out), the preview background, its objects, outline and cut marks. (x, y) is the
// label's position plus the paper's origin.
void PaintGeneratedLabel(QPainter& graphics, const CLabelData& label, CGeneratedLabel& generated,
                         float x, float y);
