#pragma once

#include "editor/BaseProxy.h"

#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class CLabelData;

// The canvas's proxies in drawing order (first drawn first); the canvas owns them.
using ProxyList = std::vector<std::unique_ptr<CBaseProxy>>;
// Proxies picked out of the object list; not owned.
using ProxySelection = std::vector<CBaseProxy*>;

// How undo records and the undo manager reach the canvas. The canvas implements it.
class CChildViewUndoRedoProxy : public CProxyCanvas
{
public:
    // The document window's caption: the label's name, " *" while modified.
    virtual void UpdateTitle() = 0;
    virtual ProxyList& GetObjectList() = 0;
    virtual ProxySelection& GetSelection() = 0;
    virtual CBaseProxy*& GetCurrentObjectRef() = 0;
    // The object pane lists the objects again.
    virtual void NotifyObjectsChanged() = 0;
    // Repaints the whole canvas.
    virtual void RepaintView() = 0;
    // Runs before the history changes (a record added, undone or redone): a gesture
    // still open ends first, so no record is ever made over proxies the change frees.
    virtual void BeforeHistoryChange() {}
    // The history changed: commands that depend on it update.
    virtual void HistoryChanged() {}
};

// The one place where a proxy changes owner between the canvas and an undo record.
// Taking it out also drops it from the selection and, when it is the current object,
// clears that, so the canvas never points at a proxy it no longer holds.
std::unique_ptr<CBaseProxy> TakeFromCanvas(CChildViewUndoRedoProxy& view, CBaseProxy* proxy);
// Inserts before the element at index; an index at or past the end appends.
void PutIntoCanvas(CChildViewUndoRedoProxy& view, std::unique_ptr<CBaseProxy> proxy, size_t index);
// Position of a proxy in the object list; the list's size when it is not there.
size_t IndexInCanvas(CChildViewUndoRedoProxy& view, const CBaseProxy* proxy);

// ----- Memos: the state of one object before and after a change -----

enum MemoSide : int { MemoOld = 0, MemoNew = 1 };

class CMemo
{
public:
    virtual ~CMemo() = default;
    // Reads the side's state from the proxy's object.
    virtual void Capture(const CBaseProxy& proxy, MemoSide side) = 0;
    // Writes the side's state into the proxy's object.
    virtual void Apply(CBaseProxy& proxy, MemoSide side) const = 0;
    void ApplyOld(CBaseProxy& proxy) const { Apply(proxy, MemoOld); }
    void ApplyNew(CBaseProxy& proxy) const { Apply(proxy, MemoNew); }
};

class CPosMemo : public CMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
    std::array<float, 2> m_fX{}, m_fY{};
};

class CLinePosMemo : public CPosMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
    std::array<std::array<float, 4>, 2> m_ends{};
};

// Also keeps the box: recomputed from moved points it can differ in the last bit.
class CPolygonPosMemo : public CPosMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
    std::array<std::vector<QPointF>, 2> m_points;
    std::array<float, 2> m_fWidth{}, m_fHeight{};
};

class CSizeMemo : public CMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
    std::array<float, 2> m_fX{}, m_fY{}, m_fWidth{}, m_fHeight{};
};

class CLineSizeMemo : public CSizeMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
    std::array<std::array<float, 4>, 2> m_ends{};
    std::array<bool, 2> m_bHorzVertOnly{};
};

class CPolygonSizeMemo : public CSizeMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
    std::array<std::vector<QPointF>, 2> m_points;
};

class CTextSizeMemo : public CSizeMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    // Also tells the document window that the font size changed.
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
    std::array<float, 2> m_fHorzScale{}, m_fFontSize{};
};

// A barcode's box, bar height and module width, the module size of a 2-D symbol and
// the size the engine computed, so that an undo leaves the settings as they were.
class CBarcodeSizeMemo : public CSizeMemo
{
public:
    // PDF417 and QR Code symbols restore without rebuilding.
    explicit CBarcodeSizeMemo(bool rebuild = true)
        : m_bRebuild(rebuild)
    {
    }
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
    std::array<float, 2> m_fBarHeight{}, m_fModuleWidth{}, m_fModuleWidthX{};
    std::array<float, 2> m_fSymbolWidth{}, m_fSymbolHeight{};
    bool m_bRebuild;
};

// The angle, and the place: a selection turned as one carries each object round the
// group's centre, so its undo must bring the object back as well as upright.
class CRotateMemo : public CMemo
{
public:
    explicit CRotateMemo(std::unique_ptr<CPosMemo> position = nullptr)
        : m_pPosition(std::move(position))
    {
    }
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
    std::array<float, 2> m_fAngle{};
    std::unique_ptr<CPosMemo> m_pPosition;
};

// The object's four colour fields.
class CFormatMemo : public CMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;

    struct FormatState
    {
        QString fontName;
        float fontSize = 0.0f;
        uint8_t style = 0; // 1 bold, 2 italic, 4 underline, 8 strikeout
        uint8_t flag = 0;
        int32_t alignment = 0;
        std::array<uint32_t, 4> colours{0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u};
        // Barcodes: the settings' text, background and bar colours.
        std::array<uint32_t, 3> barcodeColours{0xFF000000u, 0xFF000000u, 0xFF000000u};
        // Texts: the box and how the text fills it.
        float width = 0.0f;
        float height = 0.0f;
        float horzScale = 0.0f;
        int32_t layoutMode = 0;
        int32_t circularVariant = 0;
        // An evenly spread ring text rewrites its step as it is drawn: the step it had
        // goes back with its layout.
        float angleStep = 0.0f;
    };
    std::array<FormatState, 2> m_state;
};

// Font, colours and alignment in the barcode's settings as well.
class CBarcodeFormatMemo : public CFormatMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
};

// Font, alignment, box, stretch and layout of a text as well.
class CTextFormatMemo : public CFormatMemo
{
public:
    void Capture(const CBaseProxy& proxy, MemoSide side) override;
    void Apply(CBaseProxy& proxy, MemoSide side) const override;
};

// The memos fitting an object's kind (ObjectKinds).
std::unique_ptr<CPosMemo> CreatePosMemo(const CBaseProxy& proxy);
std::unique_ptr<CSizeMemo> CreateSizeMemo(const CBaseProxy& proxy);
std::unique_ptr<CFormatMemo> CreateFormatMemo(const CBaseProxy& proxy);
// The barcode's entry: whether it rebuilds depends on the symbology.
std::unique_ptr<CSizeMemo> CreateBarcodeSizeMemo(const CBaseProxy& proxy);

// ----- Records -----

class CUndoRedoCommand
{
public:
    virtual ~CUndoRedoCommand() = default;
    virtual void Undo() {}
    virtual void Redo() {}
    // A record begun before a change reads the state after it here, just before it
    // joins the history.
    virtual void CaptureNewState() {}

    CChildViewUndoRedoProxy* m_pView = nullptr;
    bool m_bFileChanged = false;
    bool m_bUndone = false;

protected:
    void Repaint() const;
    // Object pane refresh, then repaint.
    void NotifyAndRepaint() const;
};

// Stands below the first change after a save.
class CFileChangedURC : public CUndoRedoCommand
{
public:
    CFileChangedURC() { m_bFileChanged = true; }
};

// Objects added to the canvas; while undone the record holds them.
class CAddBatchURC : public CUndoRedoCommand
{
public:
    void Undo() override;
    void Redo() override;

    ProxySelection m_proxies;

private:
    std::vector<std::unique_ptr<CBaseProxy>> m_held;
};

class CAddURC : public CAddBatchURC
{
public:
    explicit CAddURC(CBaseProxy* proxy) { m_proxies.push_back(proxy); }
};

// Objects deleted from the canvas with their former places; while not undone the
// record holds them.
class CDeleteBatchURC : public CUndoRedoCommand
{
public:
    // Takes the proxies out of the canvas, the indexes read before any is removed.
    CDeleteBatchURC(CChildViewUndoRedoProxy& view, const ProxySelection& proxies);
    void Undo() override;
    void Redo() override;

    ProxySelection m_proxies;
    std::vector<size_t> m_indexes;

private:
    std::vector<std::unique_ptr<CBaseProxy>> m_held;
};

class CDeleteURC : public CDeleteBatchURC
{
public:
    CDeleteURC(CChildViewUndoRedoProxy& view, CBaseProxy* proxy)
        : CDeleteBatchURC(view, ProxySelection{proxy})
    {
    }
};

// One memo per proxy: move, size, rotate and format records, single or batch.
class CMemoBatchURC : public CUndoRedoCommand
{
public:
    void Undo() override;
    void Redo() override;
    void CaptureNewState() override;
    void Append(CBaseProxy* proxy, std::unique_ptr<CMemo> memo);

    ProxySelection m_proxies;
    std::vector<std::unique_ptr<CMemo>> m_memos;
};

// The memos make the difference between these, and one object is a batch of one.
using CMoveURC = CMemoBatchURC;
using CSizeURC = CMemoBatchURC;
using CRotateURC = CMemoBatchURC;
using CFormatURC = CMemoBatchURC;

// A change of drawing order.
class CZOrderURC : public CUndoRedoCommand
{
public:
    CZOrderURC(CBaseProxy* proxy, size_t oldIndex, size_t newIndex)
        : m_pProxy(proxy), m_nOldIndex(oldIndex), m_nNewIndex(newIndex)
    {
    }
    void Undo() override;
    void Redo() override;

    CBaseProxy* m_pProxy;
    size_t m_nOldIndex;
    size_t m_nNewIndex;

private:
    void MoveTo(size_t index);
};

// The label's show-background flag.
class CBkgndURC : public CUndoRedoCommand
{
public:
    CBkgndURC(CLabelData* label, bool oldState, bool newState)
        : m_pLabel(label), m_bOld(oldState), m_bNew(newState)
    {
    }
    void Undo() override;
    void Redo() override;

    CLabelData* m_pLabel;
    bool m_bOld;
    bool m_bNew;
};

// Locked, not printed and hidden in preview of one object.
class CLockPrintPreviewURC : public CUndoRedoCommand
{
public:
    explicit CLockPrintPreviewURC(CBaseProxy* proxy);
    // Reads the new flags after the change.
    void RecordNewStates();
    void Undo() override;
    void Redo() override;

    CBaseProxy* m_pProxy;
    std::array<std::array<bool, 3>, 2> m_flags{};
};

// The lock flags of several objects.
class CLockAllURC : public CUndoRedoCommand
{
public:
    void RecordOldStates(const ProxySelection& proxies);
    void RecordNewStates();
    void Undo() override;
    void Redo() override;

    ProxySelection m_proxies;
    std::vector<bool> m_oldStates;
    std::vector<bool> m_newStates;
};

// A property dialog's change: whole copies of the object before and after.
class CEditorURC : public CUndoRedoCommand
{
public:
    void Undo() override;
    void Redo() override;
    void CaptureNewState() override;

    CBaseProxy* m_pTarget = nullptr;
    std::unique_ptr<CBaseProxy> m_pBefore;
    std::unique_ptr<CBaseProxy> m_pAfter;
};

// ----- The history -----

class CUndoRedoManager
{
public:
    explicit CUndoRedoManager(CChildViewUndoRedoProxy* view = nullptr)
        : m_pView(view)
    {
    }
    ~CUndoRedoManager();
    CUndoRedoManager(const CUndoRedoManager&) = delete;
    CUndoRedoManager& operator=(const CUndoRedoManager&) = delete;

    void AddCommand(std::unique_ptr<CUndoRedoCommand> command);
    void Undo();
    void Redo();
    // Both lists emptied; the modified flag stays.
    void Clear();

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    size_t UndoCount() const { return m_undo.size(); }
    size_t RedoCount() const { return m_redo.size(); }

    CChildViewUndoRedoProxy* m_pView;
    bool m_bModified = false;

private:
    // The title and every command that reads the history follow each change.
    void UpdateTitle() const;
    void BeforeChange() const;

    std::deque<std::unique_ptr<CUndoRedoCommand>> m_undo; // oldest first
    std::deque<std::unique_ptr<CUndoRedoCommand>> m_redo; // undone last at the back
};
