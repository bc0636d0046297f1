#include "output/PrintHandler.h"

#include "model/BaseGraph.h"
#include "model/DSBase.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "platform/Numbers.h"
#include "platform/VXException.h"
#include "platform/script/ScriptEngine.h"

#include <QDateTime>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Every row a job can hold when each label is printed several times.
constexpr int kAllRows = 1000000;

int ClampToInt(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, 0, INT_MAX));
}

qint64 CeilDiv(qint64 a, qint64 b)
{
    return b <= 0 ? 0 : (a + b - 1) / b;
}

// The indices [first, end) of 0..count-1 whose value is at most `last`, for values
// that rise or fall monotonically with the index (so the indices are a prefix or a
// suffix); found by bisection.
template <class Value>
std::pair<int, int> MonotonicRunUpTo(int count, qint64 last, Value value)
{
    if (count < 1)
        return {0, 0};
    const bool rising = value(0) <= value(count - 1);
    int low = 0;
    int high = count;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if ((value(mid) <= last) == rising)
            low = mid + 1;
        else
            high = mid;
    }
    return rising ? std::pair{0, low} : std::pair{low, count};
}

// A run of k labels on pages of L: the labels of its last page.
qint64 LastPageLabels(qint64 copies, qint64 perPage)
{
    const qint64 rest = copies % perPage;
    return rest == 0 ? perPage : rest;
}

// A data source's failure, named by its source for the job's message. A message that
// names the source already (a cancelled or timed-out step: "已取消读取数据源“名”的记录。")
// is complete as it is; prefixed, it would name the source twice.
CDataSourceException SourceFailure(const QString& name, const QString& message, bool shown = false)
{
    if (name.isEmpty() || message.contains(QStringLiteral("“%1”").arg(name)))
        return CDataSourceException(message, shown);
    return CDataSourceException(QStringLiteral("数据源“%1”：%2").arg(name, message), shown);
}

CDataSourceException LoadFailure(const CDatabaseDataLoad& load)
{
    const CDataSourceException error = load.m_pLoader->LastErrorException();
    return SourceFailure(load.m_strName, error.GetMessage(), error.Shown());
}

} // namespace

CDatabaseDataLoad::~CDatabaseDataLoad()
{
    if (m_pLoader)
        m_pLoader->Close();
}

int CDatabaseDataLoad::FieldIndex(const QString& fieldName) const
{
    if (!m_pSource)
        return -1;
    const int count = std::min<int>(m_nFieldCount, static_cast<int>(m_pSource->m_selectedFields.size()));
    for (int i = 0; i < count; ++i) {
        if (m_pSource->m_selectedFields[i].compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

CPrintHandler::CPrintHandler()
    : m_pScriptEngine(std::make_unique<CNullScriptEngine>()),
      m_clock([] { return QDateTime::currentSecsSinceEpoch(); }),
      m_loaderFactory([](const CDSBase& source) { return CDLBase::CreateLoader(source.GetType()); })
{
}

CPrintHandler::~CPrintHandler()
{
    m_dataLoads.clear();
    // The borrowed header belongs to the document: it goes back where it was.
    if (m_pBorrowedHeader) {
        m_pBorrowedHeader->SetX(static_cast<float>(m_borrowedHeaderPos.x()));
        m_pBorrowedHeader->SetY(static_cast<float>(m_borrowedHeaderPos.y()));
    }
}

void ScriptModuleText::Append(int script, const QString& scriptText, const QString& before, const QString& after)
{
    text += before;
    // Counted in the module itself: a text ending in a lone "\r" shares its line break
    // with the line after it.
    const int firstLine = ScriptTextEnd(text).line;
    const ScriptPosition end = ScriptTextEnd(scriptText);
    pieces.push_back({script, firstLine, end.line, end.column});
    text += scriptText + after;
}

ScriptModuleText::Place ScriptModuleText::Locate(int line, int column) const
{
    const Piece* at = nullptr;
    for (const Piece& piece : pieces) {
        if (piece.firstLine <= line)
            at = &piece;
    }
    if (!at)
        return {-1, line, column};
    if (line < at->firstLine + at->lines)
        return {at->script, line - at->firstLine + 1, column};
    return {at->script, at->lines, at->endColumn};
}

void CPrintHandler::SetScriptEngine(std::unique_ptr<IScriptEngine> engine)
{
    m_pScriptEngine = engine ? std::move(engine) : std::make_unique<CNullScriptEngine>();
}

bool CPrintHandler::IsEventSet(int event) const
{
    return m_pLabelData->m_strScripts[event] != QString::fromUtf16(g_scriptEvents[event].initialText);
}

void CPrintHandler::CallEvent(int event)
{
    if (m_bEventsSet && IsEventSet(event))
        m_pScriptEngine->CallProcedure(QString::fromUtf16(g_scriptEvents[event].procedure));
}

void CPrintHandler::Prepare()
{
    if (!m_pLabelData)
        throw VXException(QStringLiteral("没有标签数据。"));
    CLabelData& label = *m_pLabelData;
    // A damaged file can hold any grid; none without cells is printed.
    if (label.m_nRows < 1 || label.m_nColumns < 1)
        throw VXException(QStringLiteral("标签的行数和列数必须大于等于1！"));
    m_tStartTime = m_clock();

    static constexpr int kModuleEvents[] = {ScriptOnPrintStart, ScriptOnPrintEnd, ScriptOnPrintCancel,
                                            ScriptOnPageStart,  ScriptOnPageEnd,  ScriptOnLabelStart,
                                            ScriptOnLabelEnd,   ScriptOnIdenticalCopies};
    m_bEventsSet = std::any_of(std::begin(kModuleEvents), std::end(kModuleEvents),
                               [this](int event) { return IsEventSet(event); });
    if (m_bEventsSet) {
        if (IsEventSet(ScriptShared))
            m_scriptModule.Append(ScriptShared, label.m_strScripts[ScriptShared], QStringLiteral("\n"),
                                  QStringLiteral("\n"));
        for (const int event : kModuleEvents) {
            if (IsEventSet(event))
                m_scriptModule.Append(event, label.m_strScripts[event],
                                      QStringLiteral("\nSub ") + QString::fromUtf16(g_scriptEvents[event].procedure)
                                          + QStringLiteral("()\n"),
                                      QStringLiteral("\nEnd Sub\n"));
        }
        m_pScriptEngine->Load(label, m_scriptModule);
    }

    // Copies only mean something when rows drive the job.
    const bool asksCopies = (label.m_nCopyMode == 0 && label.m_nCopies > 1)
                            || (label.m_nCopyMode != 0 && !label.m_strCopiesDataSource.isEmpty());
    m_bSeveralCopies = asksCopies && !label.m_dataSources.empty();
    CreateDataLoads();
    if (m_bSeveralCopies) {
        for (auto& load : m_dataLoads) {
            if (!load->m_pLoader->LoadRows(1, kAllRows, load->m_rows))
                throw LoadFailure(*load);
        }
    }

    m_bPromptForm = std::any_of(label.m_formItems.begin(), label.m_formItems.end(),
                                [](const auto& item) { return item->GetKind() != SDStaticText; });
    if (m_bPromptForm) {
        for (const auto& item : label.m_formItems)
            m_windowDataTags.push_back(std::make_unique<CWindowDataInputTag>(item.get()));
    }

    CreatePageItems();
    ComputeCounts();
    CallEvent(ScriptOnPrintStart);
}

void CPrintHandler::PrepareRows(int firstRow, int lastRow, bool loadRows)
{
    if (!m_pLabelData)
        throw VXException(QStringLiteral("没有标签数据。"));
    m_tStartTime = m_clock();
    m_bSeveralCopies = false;
    m_nFirstRow = firstRow;
    m_nCurrentPage = m_nFirstLoadedPage = 1;
    if (!loadRows)
        return;
    CreateDataLoads();
    for (auto& load : m_dataLoads) {
        if (lastRow >= firstRow && !load->m_pLoader->LoadRows(firstRow, lastRow, load->m_rows))
            throw LoadFailure(*load);
    }
}

void CPrintHandler::CreateDataLoads()
{
    for (const auto& source : m_pLabelData->m_dataSources) {
        auto load = std::make_unique<CDatabaseDataLoad>();
        load->m_strName = source->m_strName;
        load->m_pSource = source.get();
        load->m_nFieldCount = static_cast<int>(source->m_selectedFields.size());
        try {
            load->m_pLoader = m_loaderFactory(*source);
        } catch (const VXException& e) {
            throw SourceFailure(source->m_strName, e.GetMessage());
        }
        load->m_pLoader->SetDataSource(source.get());
        // A print job reads its pages in order: each costs the same however far it lies.
        load->m_pLoader->SetSequentialLoads(m_nMode == ModePrint);
        // A preview shows its pages in any order, each with the records print puts there.
        load->m_pLoader->SetBrowsedLoads(m_nMode == ModePreview);
        m_dataLoads.push_back(std::move(load));
    }
}

void CPrintHandler::ComputeCounts()
{
    const CLabelData& label = *m_pLabelData;
    const qint64 perPage = std::max<qint64>(0, static_cast<qint64>(label.m_nRows) * label.m_nColumns);
    m_nLabelsPerPage = ClampToInt(perPage);
    const qint64 copies = std::max(0, label.m_nCopies);

    qint64 labels = 0;
    qint64 pages = -1; // -1: by the label count
    if (m_dataLoads.empty()) {
        labels = label.m_nPrintCount;
    } else if (!m_bSeveralCopies) {
        try {
            labels = m_dataLoads.front()->m_pLoader->GetRecordCount();
        } catch (const CDataSourceException& e) {
            throw SourceFailure(m_dataLoads.front()->m_strName, e.GetMessage(), e.Shown());
        } catch (const VXException& e) {
            throw SourceFailure(m_dataLoads.front()->m_strName, e.GetMessage());
        }
    } else if (label.m_nCopyMode == 0) {
        const qint64 rows = m_dataLoads.front()->RowCount();
        labels = rows * copies;
        if (label.m_bForcePageBreak)
            pages = CeilDiv(copies, perPage) * rows;
    } else {
        for (auto& load : m_dataLoads) {
            if (load->m_strName.compare(label.m_strCopiesDataSource, Qt::CaseInsensitive) == 0) {
                m_pCountLoad = load.get();
                break;
            }
        }
        m_nCountColumn = m_pCountLoad ? m_pCountLoad->FieldIndex(label.m_strCopiesField) : -1;
        if (m_nCountColumn < 0) {
            m_pCountLoad = nullptr;
            pages = 0;
        } else {
            qint64 pageSum = 0;
            for (int row = 0; row < m_pCountLoad->RowCount(); ++row) {
                const qint64 rowCopies = std::max(0, LeadingInt(m_pCountLoad->m_rows.Value(row, m_nCountColumn)));
                labels += rowCopies;
                pageSum += CeilDiv(rowCopies, perPage);
                m_rowLabelEnds.push_back(labels);
                m_rowPageEnds.push_back(pageSum);
            }
            if (label.m_bForcePageBreak)
                pages = pageSum;
        }
    }
    m_nLabelCount = ClampToInt(labels);
    m_nPageCount = ClampToInt(pages >= 0 ? pages : CeilDiv(m_nLabelCount, perPage));
}

void CPrintHandler::LoadRowsForPage(int page)
{
    // With every row loaded, or no cells to fill, there is nothing to fetch.
    if (m_bSeveralCopies || m_nLabelsPerPage <= 0)
        return;
    const int perQuery = m_pLabelData->m_nPreloadPages;
    if (m_bRowsLoaded && perQuery > 1 && page >= m_nFirstLoadedPage
        && static_cast<qint64>(page) < static_cast<qint64>(m_nFirstLoadedPage) + perQuery)
        return;
    // Until every source has its rows again, none is taken for loaded.
    m_bRowsLoaded = false;
    for (auto& load : m_dataLoads) {
        load->m_rows.Clear();
        bool loaded = false;
        if (perQuery < 2) {
            loaded = load->m_pLoader->LoadPage(page, m_nLabelsPerPage, load->m_rows);
        } else {
            loaded = load->m_pLoader->LoadPages(page, m_nLabelsPerPage, perQuery, load->m_rows);
            m_nFirstLoadedPage = page;
        }
        if (!loaded)
            throw LoadFailure(*load);
    }
    m_bRowsLoaded = true;
}

LabelOrder LabelOrderOf(const CLabelData& label)
{
    return {label.m_nRows, label.m_nColumns, label.m_nStartCorner, label.m_nFillDirection, label.m_bSameDirection};
}

qint64 CPrintHandler::GetLabelSequence(int row, int column) const
{
    return LabelSequence(LabelOrderOf(*m_pLabelData), row, column);
}

qint64 LabelSequence(const LabelOrder& order, int row, int column)
{
    const int R = order.rows;
    const int C = order.columns;
    int corner = order.startCorner;
    if (corner < CornerTopLeft || corner > CornerBottomRight)
        corner = CornerBottomRight;
    // Only 0 fills along rows; every other stored value fills by columns.
    const bool vertical = order.fillDirection != FillHorizontal;
    if (!order.sameDirection) {
        // Odd lines, counted from the start corner, run the other way: the mirrored
        // corner along the line gives their numbers.
        const bool fromBottom = corner == CornerBottomLeft || corner == CornerBottomRight;
        const bool fromRight = corner == CornerTopRight || corner == CornerBottomRight;
        const int line = vertical ? (fromRight ? C - 1 - column : column) : (fromBottom ? R - 1 - row : row);
        if (line % 2 != 0) {
            static constexpr int kAcross[] = {CornerTopRight, CornerTopLeft, CornerBottomRight, CornerBottomLeft};
            static constexpr int kDown[] = {CornerBottomLeft, CornerBottomRight, CornerTopLeft, CornerTopRight};
            corner = vertical ? kDown[corner] : kAcross[corner];
        }
    }
    const qint64 r = row;
    const qint64 c = column;
    if (!vertical) {
        switch (corner) {
        case CornerTopLeft: return C * r + c + 1;
        case CornerTopRight: return (r + 1) * C - c;
        case CornerBottomLeft: return (R - r - 1) * C + c + 1;
        default: return (R - r) * C - c;
        }
    }
    switch (corner) {
    case CornerTopLeft: return R * c + r + 1;
    case CornerTopRight: return (C - c - 1) * R + r + 1;
    case CornerBottomLeft: return (c + 1) * R - r;
    default: return (C - c) * R - r;
    }
}

CPrintHandler::PageRange CPrintHandler::GetPageRange(int page) const
{
    const CLabelData& label = *m_pLabelData;
    const qint64 L = m_nLabelsPerPage;
    const qint64 p = page;
    PageRange range;
    range.highest = INT_MAX;
    if (!m_bSeveralCopies || !label.m_bForcePageBreak || L <= 0) {
        range.base = ClampToInt((p - 1) * L);
        return range;
    }
    if (label.m_nCopyMode == 0) {
        const qint64 k = std::max(0, label.m_nCopies);
        if (k <= L) {
            range.highest = ClampToInt(k);
            range.base = ClampToInt((p - 1) * k);
        } else {
            const qint64 q = CeilDiv(k, L);
            range.highest = ClampToInt(p % q == 0 ? LastPageLabels(k, L) : k);
            range.base = ClampToInt(k * ((p - 1) / q) + ((p - 1) % q) * L);
        }
        return range;
    }
    // The row whose pages reach this page, by bisection over the running page sums.
    const auto it = std::lower_bound(m_rowPageEnds.begin(), m_rowPageEnds.end(), p);
    if (it == m_rowPageEnds.end()) {
        range.empty = true;
        return range;
    }
    const size_t row = static_cast<size_t>(it - m_rowPageEnds.begin());
    const qint64 pagesSoFar = *it;
    const qint64 labelsSoFar = m_rowLabelEnds[row];
    const qint64 copies = labelsSoFar - (row == 0 ? 0 : m_rowLabelEnds[row - 1]);
    if (p == pagesSoFar) {
        range.highest = ClampToInt(LastPageLabels(copies, L));
        range.base = ClampToInt(labelsSoFar - range.highest);
    } else {
        range.highest = ClampToInt(L);
        range.base = ClampToInt(labelsSoFar - (pagesSoFar - p) * L - LastPageLabels(copies, L));
    }
    return range;
}

int CPrintHandler::RowOfLabel(int n) const
{
    if (m_pLabelData->m_nCopyMode == 0) {
        const int k = std::max(1, m_pLabelData->m_nCopies);
        return static_cast<int>(CeilDiv(n, k) - 1);
    }
    const auto it = std::lower_bound(m_rowLabelEnds.begin(), m_rowLabelEnds.end(), static_cast<qint64>(n));
    return it == m_rowLabelEnds.end() ? 0 : static_cast<int>(it - m_rowLabelEnds.begin());
}

void CPrintHandler::DrawPage(QPainter& graphics, int page)
{
    m_bPrintOutput = true;
    m_pGraphics = &graphics;
    m_pPreviewItems = nullptr;
    DrawPageCommon(page);
    for (CBaseGraph* item : m_pageItems)
        DrawObjectAt(*item, graphics, m_fPrinterOffsetX, m_fPrinterOffsetY, m_fOutputDpi);
    m_pGraphics = nullptr;
}

void CPrintHandler::DrawPreviewPage(GeneratedLabels& items, int page)
{
    m_bPrintOutput = false;
    m_pGraphics = nullptr;
    m_pPreviewItems = &items;
    DrawPageCommon(page);
    m_pPreviewItems = nullptr;
}

void CPrintHandler::DrawPageCommon(int page)
{
    if (!m_pLabelData)
        return;
    const CLabelData& label = *m_pLabelData;
    m_nCurrentPage = page;
    if (!m_dataLoads.empty())
        LoadRowsForPage(page);
    if (m_bLastPageOfRun) {
        for (auto& load : m_dataLoads)
            load->m_pLoader->Close();
    }
    CallEvent(ScriptOnPageStart);

    const PageRange range = GetPageRange(page);
    // The cells whose sequence numbers are 1 to `last` hold labels, in any layout order.
    const qint64 last = range.empty ? 0 : std::min<qint64>(range.highest, qint64(m_nLabelCount) - range.base);
    if (last >= 1) {
        // Only those cells are visited, so a page costs its labels, not its grid.
        const auto rowStart = [this](int r) {
            return std::min(GetLabelSequence(r, 0), GetLabelSequence(r, m_pLabelData->m_nColumns - 1));
        };
        const auto [firstRow, endRow] = MonotonicRunUpTo(label.m_nRows, last, rowStart);
        for (int r = firstRow; r < endRow; ++r) {
            const auto [firstColumn, endColumn] =
                MonotonicRunUpTo(label.m_nColumns, last, [this, r](int c) { return GetLabelSequence(r, c); });
            for (int c = firstColumn; c < endColumn; ++c) {
                const qint64 s = GetLabelSequence(r, c);
                const float x = (label.m_fHorzGap + label.m_fLabelWidth) * c + label.m_fLeftMargin;
                const float y = (label.m_fVertGap + label.m_fLabelHeight) * r + label.m_fTopMargin;
                RenderLabel(static_cast<int>(s), static_cast<int>(range.base + s), x, y);
            }
        }
    }

    CallEvent(ScriptOnPageEnd);
    UpdatePageItems();
}

void CPrintHandler::RenderLabel(int sequence, int labelNumber, float x, float y)
{
    CLabelData& label = *m_pLabelData;
    if (m_bPromptForm && m_pPrompt)
        m_pPrompt->Prompt(label.m_strFormCaption, label.m_nFormWidth, label.m_nFormHeight, m_windowDataTags);
    EvaluateNamedSubstrings(sequence, labelNumber);
    GenerateObjectValues(sequence, labelNumber);
    CallEvent(ScriptOnLabelStart);

    if (m_bPrintOutput) {
        DrawPrintedLabel(x, y);
    } else if (m_pPreviewItems) {
        auto generated = std::make_unique<CGeneratedLabel>();
        generated->m_nLabelNumber = labelNumber;
        generated->m_fX = x;
        generated->m_fY = y;
        for (const auto& object : label.m_objects) {
            if (object.get() == m_pBorrowedHeader || object->m_bHiddenInPreview)
                continue;
            if (auto copy = object->Clone())
                generated->m_objects.push_back(std::move(copy));
        }
        m_pPreviewItems->push_back(std::move(generated));
    }
    CallEvent(ScriptOnLabelEnd);
}

// A clip that would cut nothing is left out: clipping to a rounded shape is dear on
// every device, and a PDF writes the path again for every label. Nothing is cut when
// each object's drawing, and two of the device's dots around it for smoothed edges,
// lies inside the shape; a background picture fills the whole box, so it is clipped.
bool CPrintHandler::PrintedObjectsInsideShape() const
{
    const CLabelData& label = *m_pLabelData;
    if (label.m_bPrintBackground)
        return false;
    const double dot = 1.0 / std::sqrt(std::abs(m_pGraphics->worldTransform().determinant()));
    if (!std::isfinite(dot))
        return false;
    for (const auto& object : label.m_objects) {
        if (object.get() == m_pBorrowedHeader || object->m_bNotPrinted)
            continue;
        if (!LiesInsideLabelShape(label, DrawnExtentMm(*object).adjusted(-2 * dot, -2 * dot, 2 * dot, 2 * dot)))
            return false;
    }
    return true;
}

void CPrintHandler::DrawPrintedLabel(float x, float y)
{
    const CLabelData& label = *m_pLabelData;
    QPainter& graphics = *m_pGraphics;
    const float ox = x + m_fPrinterOffsetX;
    const float oy = y + m_fPrinterOffsetY;

    graphics.save();
    // Ellipse labels are left unclipped in print, as they always have been.
    // A plain rectangle clips as a rectangle: far cheaper than a path on every device.
    if (label.m_nShape != ShapeEllipse && !PrintedObjectsInsideShape()) {
        if (label.m_nShape == ShapeRoundRect && label.m_fCornerRadius > 0)
            graphics.setClipPath(MakeLabelShapePath(label, ox, oy), Qt::IntersectClip);
        else
            graphics.setClipRect(QRectF(ox, oy, label.m_fLabelWidth, label.m_fLabelHeight), Qt::IntersectClip);
    }
    if (label.m_bPrintBackground)
        DrawLabelBackground(graphics, label, ox, oy);
    for (const auto& object : label.m_objects) {
        if (object.get() == m_pBorrowedHeader || object->m_bNotPrinted)
            continue;
        DrawObjectAt(*object, graphics, ox, oy, m_fOutputDpi);
    }
    graphics.restore();
    if (label.m_bPrintBorder)
        DrawLabelOutline(graphics, label, ox, oy);
    DrawCutMarks(graphics, label, ox, oy);
}
