#pragma once

#include "app/Commands.h"
#include "editor/BaseProxy.h"
#include "editor/EditStatus.h"
#include "editor/UndoRecordBuilder.h"
#include "editor/UndoRedo.h"
#include "model/LabelData.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class CBarcodeGraph;
class CBaseGraph;
class CDataBand;
class CLabelData;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
enum SettingsDrawItem : int;

// The canvas is 1500 mm square; the label's top-left corner lies this far from its
// top-left corner, leaving a margin objects may be moved into.
constexpr float kCanvasMarginMm = 250.0f;
constexpr float kCanvasSizeMm = 1500.0f;

// Canvas geometry in screen pixels. Single-precision steps and truncations are kept
// as the editor has always computed them, so marks land on the same pixels.
float CanvasMarginPixels(int dpi);                         // (f)(250 x dpi / 25.4)
int CanvasLabelOrigin(int dpi, float zoom, float scroll);  // client pixels
QSize CanvasLabelBox(const CLabelData& label, float zoom); // 0 x 0 unless the size mode is 0
int CanvasGuidePixels(float mm, int dpi, float zoom, float scroll);
// The label's size in pixels at zoom 1, 0 x 0 unless the size mode is 0.
QSizeF LabelPixelSize(const CLabelData& label);

// A guide line dragged out of a ruler: vertical (at a horizontal position) when the
// orientation is 0, else horizontal; the position in mm from the label's corner.
class CAlignLine
{
public:
    int m_nOrientation = 0;
    float m_fPosition = 0.0f;
};

// The label's objects as the canvas holds them, each in its proxy, in stacking order
// (first drawn first).
using CanvasObjectList = ProxyList;

// Opens the property dialog of an object; what it applies goes into one undo record
// through the builder (begin before the change, end after it). True after OK.
using PropertyDialogFactory =
    std::function<bool(QWidget* parent, CBaseProxy& proxy, CUndoRecordBuilder& undo, CDataBand* band)>;
// Opens the editor of an object's band texts, with the same contract.
using BandEditorFactory = std::function<bool(QWidget* parent, CBaseProxy& proxy, CUndoRecordBuilder& undo)>;

// Command ids of the canvas's context menu for an object kind, -1 for none under the
// mouse; 0 stands for a separator. Empty for a kind without a menu.
std::vector<int> CanvasContextMenu(int kind);

// The tools that create an object.
bool IsCreationTool(int tool);
// The end of a line drawn from start towards end made horizontal or vertical: the
// larger of the two extents wins, a tie is horizontal.
QPoint StraightLineEnd(QPoint start, QPoint end);

// A new barcode of the default symbology showing the content, bound by the band (not
// yet encoded), as the barcode tool and a drop from the object pane make it.
std::unique_ptr<CBarcodeGraph> NewBarcode(const QString& content, std::unique_ptr<CDataBand> band);

// Where the canvas's client pixels lie on the label, at one zoom and scroll position.
// Every conversion between the window and the label goes through here, each with its
// rounding named: the label origin is cut toward zero as it always was, points are
// floored, so a point left of or above the origin is never taken one pixel too far in.
struct CanvasMapping
{
    int dpiX;
    int dpiY;
    float zoom;
    float scrollX;
    float scrollY;

    // The label's top-left corner in client pixels (cut toward zero).
    QPoint Origin() const;
    // The margin of 250 mm at this zoom, cut toward zero.
    QPoint ZoomedMargin() const;
    // Client pixels to zoomed label pixels, where the proxies measure handles.
    QPoint ToZoomedLabel(QPoint client) const;
    // Client pixels to label pixels at zoom 1, where the proxies hit-test bodies.
    QPoint ToLabel(QPoint client) const;
    // Client pixels to label pixels at zoom 1, measured from the unzoomed margin as
    // clicks and creation drags are.
    QPoint ToClick(QPoint client) const;
    // Client pixels to label millimetres in single precision, as click creation
    // places objects (not yet cut to hundredths).
    QPointF ToMillimetres(QPoint client) const;
    // A polygon point: client pixels to millimetres from the scrolled origin.
    QPointF OriginToMillimetres(QPoint client) const;
    // Label pixels at zoom 1 to client pixels (cut toward zero).
    QPoint FromLabel(QPointF labelPixels) const;
};

// The drawing surface of one label document. Every frame is painted into a back
// buffer that reaches the screen in one copy; scrolling moves the buffer and paints
// only the strip that came into view. It is the first target of the document's
// commands: the editing commands (tools, undo, redo, delete, selection, properties)
// are its own.
class CChildView : public QWidget, public CChildViewUndoRedoProxy, public CommandTarget
{
    Q_OBJECT
public:
    explicit CChildView(QWidget* parent = nullptr);
    ~CChildView() override;

    void SetLabelData(CLabelData* label) { m_pLabelData = label; }
    // Without one the canvas keeps a status of its own.
    void SetEditStatus(CEditStatus* status);
    CEditStatus& EditStatus() { return m_pEditStatus ? *m_pEditStatus : m_ownStatus; }
    CanvasObjectList& ObjectList() { return m_objects; }
    // What the objects cover as they are drawn, in millimetres from the label's corner;
    // empty without objects.
    QRectF ObjectsExtentMm() const;
    // Wraps the object in its proxy and puts it on top.
    void AddObject(std::unique_ptr<CBaseGraph> object);
    void OnFontSizeChanged() override {}

    // The current proxy among the selection, which the status bar and the object
    // commands speak of.
    CBaseProxy* CurrentObject() const { return m_pCurrent; }
    void SetCurrentObject(CBaseProxy* proxy);

    // The tool commands: the tool, its cursor; a polygon in progress is abandoned.
    void SelectTool(int tool);
    // Ends whatever is open before anything reads or changes the whole label: the
    // in-place editor commits its text, a gesture in progress ends as its release
    // would end it (a creation drag is abandoned).
    void CommitPendingEdits();
    // Ends a gesture in progress; the history never changes under an open one.
    void FinishGesture();
    // The geometry of the current view.
    CanvasMapping Mapping() const;

    float Zoom() const { return m_fZoom; }
    float ScrollX() const { return m_fScrollX; }
    float ScrollY() const { return m_fScrollY; }
    // The scroll position in whole pixels, as proxies and gestures take it.
    QPoint ScrollPixels() const { return QPoint(static_cast<int>(m_fScrollX), static_cast<int>(m_fScrollY)); }
    void SetZoom(float zoom);
    void SetScroll(float x, float y);
    // Zoom and scroll position at once, with one full repaint.
    void SetView(float zoom, float x, float y);

    std::vector<std::unique_ptr<CAlignLine>>& Guides() { return m_guides; }
    CAlignLine* ActiveGuide() const { return m_pActiveGuide; }
    // A new guide line at a client position across its axis, made the active one.
    void BeginGuideDrag(bool horizontal, int position);
    void MoveGuideDrag(int position);
    void EndGuideDrag();
    // Ends the drag with the guide released at that client position across its axis:
    // over the ruler (below 1) it is deleted.
    void ReleaseGuide(int position);

    // The modified flag follows the undo history.
    bool IsModified() const { return m_undo.m_bModified; }
    void SetModified(bool modified);
    // The parent's caption: the label's name, with " *" while modified.
    void UpdateTitle() override;

    CUndoRedoManager& UndoManager() { return m_undo; }
    CUndoRecordBuilder& RecordBuilder() { return m_builder; }
    ProxyList& GetObjectList() override { return m_objects; }
    ProxySelection& GetSelection() override { return m_selection; }
    CBaseProxy*& GetCurrentObjectRef() override { return m_pCurrent; }
    // The object the last context menu opened on; null for none.
    CBaseProxy* ContextObject() const { return m_pContextObject; }
    void NotifyObjectsChanged() override;
    bool HoldsObject(const CBaseProxy* proxy) const;
    void RepaintView() override { Redraw(); }
    void BeforeHistoryChange() override { FinishGesture(); }
    void HistoryChanged() override
    {
        Q_EMIT historyChanged();
        AnnounceState();
    }
    // A command not the canvas's own passes on untouched; one of its own first ends
    // what is pending.
    bool HandleCommand(int id) override;

    void SetPropertyDialogFactory(PropertyDialogFactory factory) { m_propertyDialogs = std::move(factory); }
    // Runs the object's property dialog; what it applies becomes one undo record.
    void OpenPropertyDialog(CBaseProxy* proxy, CDataBand* band = nullptr);
    // The editor of a text's or barcode's band texts (same contract as the property
    // dialogs'), for the edit-data tool and the delayed click.
    void SetBandEditorFactory(BandEditorFactory factory) { m_bandEditor = std::move(factory); }
    void OpenBandEditor(CBaseProxy* proxy);

    // Selection commands.
    void ClearSelection();
    void SelectByKind(int kind);
    // Empties the selection and selects, in drawing order, every object picked; the
    // last becomes the current object.
    void SelectWhere(const std::function<bool(const CBaseProxy&)>& pick);
    void SelectAll();
    void InvertSelection();
    // One undo record holds the deleted objects.
    void DeleteSelection();
    // Moves every selected object by whole millimetres, one undo record.
    void NudgeSelection(float dx, float dy);

    // The in-place text editor over a text object; committing a changed text is one
    // undo record, so undoing an earlier change can never take typed text with it. An
    // editor closed as it opened changes nothing.
    void OpenInPlaceEditor(CBaseProxy* proxy);
    // Also after scrolling and zooming.
    void PositionInPlaceEditor();
    void CommitInPlaceEditor();
    QWidget* InPlaceEditor() const { return m_pActiveEdit; }

    // ----- What the docking panes ask of the canvas (ChildViewPanes.cpp) -----

    // The object pane's choice: the selection becomes that object alone (none for null).
    void SelectObject(CBaseProxy* proxy);
    // Every text and barcode with a band bound to that item, the last one current.
    void SelectByDatabaseField(const QString& source, const QString& field);
    void SelectByBand30Name(const QString& name);
    void SelectByNamedSubstring(const QString& name);
    void SelectByWindowDataField(const QString& field);
    void SelectByTimeBand();
    void SelectByDateBand();
    // Runs the object's property dialog; a text's or barcode's OK lists it again.
    void EditObjectProperties(CBaseProxy* proxy, CDataBand* band = nullptr);

    // An item of the object pane dropped at a screen point: the drop menu offers a
    // text or a barcode bound to it (PendingDropKind).
    enum PendingDropKind : int { DropDatabaseFieldKind = 0, DropBand30Kind = 1, DropWindowDataKind = 2,
                                 DropTimeKind = 3, DropDateKind = 4 };
    void DropDatabaseField(const QString& source, const QString& field, QPoint globalPos);
    void DropBand30Item(const QString& name, QPoint globalPos);
    void DropWindowDataField(const QString& field, QPoint globalPos);
    void DropTimeOrDate(bool date, QPoint globalPos);
    CBaseProxy* CreateTextFromDrop();
    CBaseProxy* CreateBarcodeFromDrop();

    // A component dragged from the resource library: copies of its objects follow the
    // cursor over the canvas and enter the label (one undo record) when dropped.
    void BeginResourceDrag(const ::ObjectList& objects);
    void TrackResourceDrag(QPoint globalPos, bool overCanvas);
    void EndResourceDrag();
    void CancelResourceDrag();
    bool IsResourceDragging() const { return !m_resourceDrag.empty(); }
    // "添加到标签": copies of the objects just inside the visible corner, selected.
    void AddResourceObjects(const ::ObjectList& objects);

    // Marks the whole frame for repainting.
    void Redraw();
    // Paints the frame of the given client area into the painter (also the back
    // buffer's painter): the whole picture, clipped to the area.
    void RenderFrame(QPainter& painter, const QRect& area);
    const QImage& BackBuffer() const { return m_backBuffer; }
    // Brings the back buffer up to date without waiting for a paint event.
    void Render();

Q_SIGNALS:
    // The cursor's position in client pixels, for the rulers' markers.
    void rulerMarks(int x, int y);
    // Objects were added, removed or reordered: the object pane lists them again.
    void objectsChanged();
    // A gesture dragged past an edge asks the document window to scroll by a step of
    // pixels; the window moves its scroll bar, which scrolls the canvas.
    void autoScrollRequested(bool vertical, int step);
    // The context menu's commands (CanvasContextMenu) at a screen point.
    void contextMenuRequested(const std::vector<int>& items, QPoint globalPos);
    // The selection, the current object, the tool or the history changed: the
    // commands' states and the status bar follow.
    void stateChanged();
    // An edit was recorded, undone or redone: objects may have changed under the
    // selection.
    void historyChanged();
    // "创建为资源": the selected objects (the label's own, not copies) for the resource
    // library to save as a component.
    void saveAsComponent(const std::vector<const CBaseGraph*>& objects);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void RegisterCommands();
    void RegisterArrangeCommands();
    void RegisterPaneCommands();
    // Selects every text and barcode with a band the test accepts.
    void SelectByBand(const std::function<bool(const CDataBand&)>& matches);
    void ShowDropMenu(QPoint globalPos);
    CBaseProxy* CreateFromDrop(bool barcode);
    std::vector<std::unique_ptr<CBaseProxy>> ProxiesFromComponent(const ::ObjectList& objects);
    // Puts the proxies on top, named and selected, and records them as one addition.
    void AddProxies(std::vector<std::unique_ptr<CBaseProxy>> proxies);
    void DrawResourceDrag(QPainter& painter);
    void RegisterClipboardCommands();
    // Clipboard and drag-end commands (ChildViewClipboard.cpp).
    void CopySelection();
    void CutSelection();
    void PasteObjects();
    bool DragMoved() const;
    void DragMoveSelection();
    void DragCopySelection();
    // A proxy coming into this canvas (pasted, copied): a new default name, and it
    // and its object point at this canvas and label.
    void AdoptProxy(CBaseProxy& proxy);
    // The next default name of the object's kind, where that kind keeps its name.
    void SetDefaultName(CBaseProxy& proxy);
    // Arrange commands (ChildViewArrange.cpp), each one undo record.
    ProxySelection AllObjects() const;
    void AlignSelection(QPointF (*corner)(const CBaseProxy& reference, const CBaseProxy& other));
    void CentreInLabel(bool horizontally);
    void Distribute(bool horizontally);
    void SameSize(bool width, bool height);
    void RotateSelection(float step, bool clear = false);
    void Reorder(int command);
    void SetLocks(const ProxySelection& proxies, bool lock);
    void SetNotPrinted(bool notPrinted);
    void SetDesignBackground(bool show);
    void ToggleLineRestriction();
    void AnnounceState() { Q_EMIT stateChanged(); }
    CBaseProxy* ObjectAt(QPoint client) const;
    CBaseProxy* HandleAt(QPoint client, int& handle, bool& rotating);
    CAlignLine* GuideAt(QPoint client) const;
    bool IsSelected(const CBaseProxy* proxy) const;
    void Select(CBaseProxy* proxy);
    // The press point corrected for scrolling since the press.
    QPoint GestureStart() const;
    bool InDeadZone() const;
    void StartGesture(bool CEditStatus::*flag, QPoint point);
    void SaveSelectedGeometry();
    // The selected objects a gesture moves, sizes or turns.
    ProxySelection UnlockedSelection() const;
    // The gesture's record, begun over the selection once the gesture leaves its
    // dead zone; closing ends exactly what was begun.
    void OpenGestureRecord(CPendingRecord (CUndoRecordBuilder::*begin)(const ProxySelection&));
    void CloseGestureRecord();
    // A press on a selection handle starts a resize or a rotation.
    bool StartHandleGesture(QPoint point);
    void ApplyMove(bool instant);
    void ApplySize(bool instant);
    void ApplyRotation(bool instant);
    void EndMove();
    void EndSize();
    void EndRotation();
    void FinishRubberBand();
    void EndGuideDragAt(QPoint point);
    bool GroupRotation() const;
    void UpdateRotationCentre();
    void PressLeft(QMouseEvent* event, QPoint point);
    void PressRight(QMouseEvent* event, QPoint point);
    void UpdateHoverCursor(QPoint point);
    void ShowContextMenu(QPoint point);
    void AutoScroll(QPoint point);
    // Creation tools.
    // Names the object, puts it on top, selects it and records it for undo.
    CBaseProxy* AddCreatedObject(std::unique_ptr<CBaseGraph> object, bool notifyPane);
    void EndCreation(bool keepTool);
    void PressCreationTool(QMouseEvent* event, QPoint point);
    void CreateAtClick(int tool, QPoint point);
    void ReleaseCreationDrag(QMouseEvent* event, QPoint point);
    void FinishPolygon();
    void DrawCreation(QPainter& painter);
    // A line being drawn comes out horizontal or vertical: the option asks for it, or
    // Ctrl is held.
    bool StraightensLine() const;
    void FollowCtrl(bool down);
    // A click on a selected text waits for a possible double click before it opens
    // the in-place editor.
    void ArmDelayedClick(CBaseProxy* proxy);
    void OnDelayedClick();
    void DrawSelection(QPainter& painter);
    void DrawRotationCentre(QPainter& painter, QPoint centre);
    // The settings' pen for what the canvas draws over the label in client pixels: its
    // width is in pixels whatever the painter's transform.
    static QPen CanvasPen(SettingsDrawItem which);
    // A copy drag shows the selected objects moved by the travel in client pixels.
    void DrawCopyGhost(QPainter& painter, QPoint travel);
    // True for the text open in the in-place editor.
    bool IsInPlaceEdited(const CBaseProxy* proxy) const;

    float GuidePositionMm(bool horizontal, int position) const;
    void DrawLabelShape(QPainter& painter, const QRect& area);
    void DrawGrid(QPainter& painter, const QRect& area, QPoint origin);
    void DrawObjects(QPainter& painter);
    float PrinterDots();
    void DrawGuides(QPainter& painter);

    CLabelData* m_pLabelData = nullptr;
    CEditStatus* m_pEditStatus = nullptr;
    CEditStatus m_ownStatus;
    CanvasObjectList m_objects;
    ProxySelection m_selection;
    CBaseProxy* m_pCurrent = nullptr;
    CUndoRedoManager m_undo{this};
    CUndoRecordBuilder m_builder{*this, m_undo};
    PropertyDialogFactory m_propertyDialogs;
    BandEditorFactory m_bandEditor;
    // An object's dialogs edit its parts in place (the band editor its bands), and the
    // OK of another would replace those parts under it: one is open at a time, and a
    // timer or a queued press that comes meanwhile opens none.
    bool m_bObjectDialogOpen = false;
    // The edit-data tool's press has its band editor waiting for the event loop.
    bool m_bBandEditorQueued = false;
    // The record of the gesture in progress, if it has begun one.
    CPendingRecord m_gestureRecord;
    QPoint m_lastClick; // label pixels
    // Where the next paste puts its group's corner, in screen pixels from the label's.
    QPoint m_pasteOffset;
    CBaseProxy* m_pContextObject = nullptr;
    QLineEdit* m_pLineEdit = nullptr;
    QPlainTextEdit* m_pMultiEdit = nullptr;
    QWidget* m_pActiveEdit = nullptr;
    QString m_strInPlaceOpened; // the active edit's text when it opened
    QTimer* m_pDelayedClick = nullptr;
    std::vector<std::unique_ptr<CAlignLine>> m_guides;
    CAlignLine* m_pActiveGuide = nullptr;
    // The dots of the label's printer, for as long as the label names the same printer
    // and resolution: asking the printer system costs too much for every paint.
    struct PrinterDotsCache
    {
        QString printer;
        int resolution = 0;
        float dpi = -1.0f;
        bool known = false;
    } m_printerDots;
    float m_fZoom = 1.0f;
    float m_fScrollX = 0.0f;
    float m_fScrollY = 0.0f;

    // The object pane's item waiting for the drop menu's choice.
    struct PendingDrop
    {
        int kind = DropDatabaseFieldKind;
        QString source;
        QString field;
        QString item;
        QString windowField;
        QPoint globalPos;
    } m_pendingDrop;
    // Copies of a component being dragged in, and the point (mm) they are centred on.
    std::vector<std::unique_ptr<CBaseProxy>> m_resourceDrag;
    QPointF m_resourceDragCentre;
    bool m_bResourceOverCanvas = false;

    QImage m_backBuffer;
    QRegion m_dirty; // client area the back buffer does not show yet
    bool m_bCtrlDrag = false; // Ctrl held at the last event of a creation drag
};
