#include "editor/ChildFrame.h"

#include "app/UiServices.h"
#include "editor/ChildView.h"
#include "editor/EditStatus.h"
#include "editor/PropertyEditing.h"
#include "editor/Ruler.h"
#include "editor/ViewOptionsDlg.h"
#include "model/DocWriter.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "output/ui/ExportCommands.h"
#include "platform/Numbers.h"
#include "platform/ScreenDpi.h"
#include "platform/VXException.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr float kMinZoom = 0.2f;
constexpr float kMaxZoom = 5.0f;
constexpr int kLineStep = 40;
constexpr int kWheelStep = 80;

float ClampZoom(double zoom)
{
    return static_cast<float>(std::clamp(zoom, double(kMinZoom), double(kMaxZoom)));
}

double MarginPixels(int dpi)
{
    return kCanvasMarginMm * dpi / 25.4;
}

// How far the scroll bars ever reach, in millimetres from the label's corner: as far as
// an object may lie, or be dragged, with the margin the label has before its corner.
constexpr double kFarthestLowMm = -double(kMaxLabelLengthMm) - kCanvasMarginMm;
constexpr double kFarthestHighMm = 2.0 * kMaxLabelLengthMm + kCanvasMarginMm;

// Scroll pixels at a zoom from the canvas's corner to a place in millimetres from the
// label's corner.
double ReachPixels(double mm, int dpi, float zoom)
{
    const double at = std::isfinite(mm) ? std::clamp(mm, kFarthestLowMm, kFarthestHighMm) : 0.0;
    return (MarginPixels(dpi) + at * dpi / 25.4) * zoom;
}

} // namespace

CChildFrame::CChildFrame(std::unique_ptr<CLabelData> label, IDocumentHost* mainFrame, QWidget* parent)
    : LabelDocumentWindow(std::move(label), parent),
      m_pMainFrame(mainFrame),
      m_pEditStatus(std::make_unique<CEditStatus>()),
      m_pHorzRuler(new CHorzRuler(this)),
      m_pVertRuler(new CVertRuler(this)),
      m_pVertBar(new QScrollBar(Qt::Vertical, this)),
      m_pHorzBar(new QScrollBar(Qt::Horizontal, this)),
      m_pView(new CChildView(this)),
      m_pZoomCombo(new QComboBox(this)),
      m_pUnitButton(new CUnitButton(this)),
      m_pCornerButton(new CCornerButton(this))
{
    setObjectName(QStringLiteral("labelWindow"));
    m_pVertBar->setObjectName(QStringLiteral("ctl_33333"));
    m_pHorzBar->setObjectName(QStringLiteral("ctl_33334"));
    m_pZoomCombo->setObjectName(QStringLiteral("ctl_30304"));
    for (QScrollBar* bar : {m_pVertBar, m_pHorzBar}) {
        bar->setRange(0, 1520);
        bar->setSingleStep(kLineStep);
    }
    connect(m_pHorzBar, &QScrollBar::valueChanged, this, [this](int v) { OnScroll(false, v); });
    connect(m_pVertBar, &QScrollBar::valueChanged, this, [this](int v) { OnScroll(true, v); });

    QFont zoomFont(QStringLiteral("Arial"));
    zoomFont.setPointSizeF(8.0);
    m_pZoomCombo->setFont(zoomFont);
    m_pZoomCombo->setEditable(true);
    m_pZoomCombo->setInsertPolicy(QComboBox::NoInsert);
    for (int percent : {50, 75, 100, 150, 200, 250, 300, 350, 400, 450, 500})
        m_pZoomCombo->addItem(QString::asprintf("%d %c", percent, '%'));
    m_pZoomCombo->setCurrentIndex(2);
    m_pZoomCombo->lineEdit()->selectAll();
    connect(m_pZoomCombo, &QComboBox::activated, this, &CChildFrame::OnZoomChosen);

    m_pView->SetLabelData(m_pLabelData.get());
    m_pView->SetEditStatus(m_pEditStatus.get());
    m_pView->SetPropertyDialogFactory(
        [this](QWidget* parent, CBaseProxy& proxy, CUndoRecordBuilder& undo, CDataBand* band) {
            return EditProxyProperties(proxy, m_pView->ObjectList(), m_pLabelData.get(), undo, parent, band);
        });
    m_pView->SetBandEditorFactory([this](QWidget* parent, CBaseProxy& proxy, CUndoRecordBuilder& undo) {
        return EditBandTexts(proxy, m_pView->ObjectList(), m_pLabelData.get(), undo, parent);
    });
    AttachLabelObjects();

    connect(m_pView, &CChildView::contextMenuRequested, this, &CChildFrame::ShowContextMenu);
    // The font-size box keeps what is typed while one object stays current, but an
    // edit of that object elsewhere (its dialog, an undo) must show.
    connect(m_pView, &CChildView::historyChanged, this, [this] { m_bFontSizeCacheValid = false; });
    if (m_pMainFrame)
        connect(m_pView, &CChildView::stateChanged, &m_pMainFrame->Commands(), &CommandManager::ScheduleUpdate);
    connect(m_pView, &CChildView::autoScrollRequested, this, &CChildFrame::OnAutoScroll);
    // Objects moved, added or removed: the bars reach as far as they now lie.
    connect(m_pView, &CChildView::historyChanged, this, &CChildFrame::UpdateScrollRange);
    connect(m_pView, &CChildView::rulerMarks, this, [this](int x, int y) {
        m_pHorzRuler->SetMarker(x);
        m_pVertRuler->SetMarker(y);
    });
    for (CRuler* ruler : {static_cast<CRuler*>(m_pHorzRuler), static_cast<CRuler*>(m_pVertRuler)}) {
        connect(ruler, &CRuler::recenterLabel, this, &CChildFrame::RecenterLabel);
        connect(ruler, &CRuler::beginGuideDrag, m_pView, &CChildView::BeginGuideDrag);
        connect(ruler, &CRuler::guideDragMove, m_pView, &CChildView::MoveGuideDrag);
        connect(ruler, &CRuler::guideDragEnd, m_pView, &CChildView::ReleaseGuide);
    }
    RegisterCommands();
    m_pView->UpdateTitle();
}

CChildFrame::~CChildFrame() = default;

LabelWindowFactory CChildFrame::Factory()
{
    return [](std::unique_ptr<CLabelData> label, IDocumentHost& frame) -> LabelDocumentWindow* {
        return new CChildFrame(std::move(label), &frame);
    };
}

void CChildFrame::AttachLabelObjects()
{
    // The canvas holds the objects while the document is open; saving hands copies
    // back to the record for the writer.
    for (auto& object : m_pLabelData->m_objects)
        m_pView->AddObject(std::move(object));
    m_pLabelData->m_objects.clear();
}

void CChildFrame::ShowContextMenu(const std::vector<int>& items, QPoint globalPos)
{
    if (!m_pMainFrame)
        return;
    CommandManager& commands = m_pMainFrame->Commands();
    // One menu, kept with the window and filled afresh each time. A menu closes itself
    // before it runs the chosen command, whose dialogs and progress run event loops while
    // the menu's click is still being handled: a menu deleted on closing would be gone by
    // the time that handling ends.
    const QString name = QStringLiteral("canvasContextMenu");
    auto* menu = findChild<QMenu*>(name, Qt::FindDirectChildrenOnly);
    if (!menu) {
        menu = new QMenu(this);
        menu->setObjectName(name);
    }
    menu->clear();
    for (const int id : items) {
        if (id == 0)
            menu->addSeparator();
        else
            menu->addAction(commands.Action(id));
    }
    commands.UpdateMenu(menu);
    menu->popup(globalPos);
}

void CChildFrame::RegisterCommands()
{
    OnCommand(CmdFileSave, [this] { SaveLabel(); });
    OnCommand(CmdFileSaveAs, [this] { SaveLabelAs(); });
    // The tab goes with the window: close its sub-window, which asks this window.
    OnCommand(CmdFileClose, [this] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->close();
        else
            close();
    });
    OnCommand(CmdZoomIn, [this] {
        m_bFitToWindow = false;
        SetZoom(std::min(m_fZoom + 0.5f, kMaxZoom));
    });
    OnCommand(CmdZoomOut, [this] {
        m_bFitToWindow = false;
        SetZoom(std::max(m_fZoom - 0.5f, kMinZoom));
    });
    OnCommand(CmdZoomActual, [this] {
        m_bFitToWindow = false;
        SetZoom(1.0f);
    });
    OnCommand(CmdZoomFit, [this] { FitToWindow(); });
    OnCommand(CmdCentreLabel, [this] { RecenterLabel(); });
    OnUpdate(CmdZoomCombo, [](CommandUpdate& u) { u.Enable(); });
    OnCommand(CmdViewOptions, [this] {
        CViewOptionsDlg dialog(*m_pLabelData, this);
        if (Services().RunModal(dialog) != QDialog::Accepted)
            return;
        if (dialog.Changed())
            DocumentChanged();
        m_pView->Redraw();
    });
    RegisterDocumentCommands();
    RegisterExportCommands();
    RegisterFormatCommands();
}

// Export of the objects selected on the canvas: one picture, or one per data row.
void CChildFrame::RegisterExportCommands()
{
    const auto selection = [this] {
        std::vector<CBaseGraph*> objects;
        for (CBaseProxy* proxy : m_pView->GetSelection())
            objects.push_back(proxy->GetObject());
        return objects;
    };
    const auto current = [this]() -> const CBaseGraph* {
        CBaseProxy* proxy = m_pView->CurrentObject();
        return proxy ? proxy->GetObject() : nullptr;
    };
    OnCommand(CmdExportImage, [this, selection, current] { RunExportCommand(*m_pLabelData, selection(), current(),
    this); });
    OnCommand(CmdBatchExport, [this, selection, current] {
        RunBatchExportCommand(*m_pLabelData, selection(), current(), this);
    });
    const auto enableWithSelection = [this](CommandUpdate& u) { u.Enable(m_pView->CurrentObject() != nullptr); };
    OnUpdate(CmdExportImage, enableWithSelection);
    OnUpdate(CmdBatchExport, enableWithSelection);
}

bool CChildFrame::IsModified() const
{
    return m_pView->IsModified();
}

QStringList CChildFrame::ObjectStatusTexts() const
{
    QString name, position, size;
    if (const CBaseProxy* proxy = m_pView->CurrentObject())
        proxy->GetStatusPanes(name, position, size);
    return {name, position, size};
}

CommandTarget* CChildFrame::CanvasTarget() const
{
    return m_pView;
}

bool CChildFrame::HandleCommand(int id)
{
    if (!HasHandler(id))
        return false;
    m_pView->CommitPendingEdits();
    return CommandTarget::HandleCommand(id);
}

void CChildFrame::ApplyDefaultZoom()
{
    RecenterLabel();
    // The option may come from a hand-edited file: keep it to what the view allows.
    SetZoom(CGlobalSettings::GetInstance()->m_fDefScale);
}

int CChildFrame::ScrollRange(float zoom) const
{
    return static_cast<int>((MarginPixels(g_nScreenDpiX) + 1250.0 * g_nScreenDpiX / 25.4) * zoom);
}

CChildFrame::ScrollLimits CChildFrame::LimitsAt(float zoom) const
{
    // The label and every object, with the margin the label has before its corner all
    // round; never less than the canvas's first 1,500 mm.
    const bool sized = m_pLabelData->m_nPageWidthFlag == 0;
    QRectF reach(0, 0, sized ? m_pLabelData->m_fLabelWidth : 0.0, sized ? m_pLabelData->m_fLabelHeight : 0.0);
    reach |= m_pView->ObjectsExtentMm();
    reach.adjust(-kCanvasMarginMm, -kCanvasMarginMm, kCanvasMarginMm, kCanvasMarginMm);
    const int fixed = ScrollRange(zoom);
    const auto low = [zoom](double mm, int dpi) {
        return std::min(0, static_cast<int>(std::floor(ReachPixels(mm, dpi, zoom))));
    };
    const auto high = [zoom, fixed](double mm, int dpi, int page) {
        return std::max(fixed, static_cast<int>(std::ceil(ReachPixels(mm, dpi, zoom))) - page);
    };
    ScrollLimits limits;
    limits.left = low(reach.left(), g_nScreenDpiX);
    limits.right = high(reach.right(), g_nScreenDpiX, m_pView->width());
    limits.top = low(reach.top(), g_nScreenDpiY);
    limits.bottom = high(reach.bottom(), g_nScreenDpiY, m_pView->height());
    return limits;
}

void CChildFrame::SetBars(float zoom, int horizontal, int vertical)
{
    const ScrollLimits limits = LimitsAt(zoom);
    const QSignalBlocker blockH(m_pHorzBar);
    const QSignalBlocker blockV(m_pVertBar);
    m_pHorzBar->setRange(limits.left, limits.right);
    m_pHorzBar->setPageStep(std::max(1, m_pView->width()));
    m_pHorzBar->setValue(horizontal);
    m_pVertBar->setRange(limits.top, limits.bottom);
    m_pVertBar->setPageStep(std::max(1, m_pView->height()));
    m_pVertBar->setValue(vertical);
}

void CChildFrame::UpdateScrollRange()
{
    const int oldH = m_pHorzBar->value();
    const int oldV = m_pVertBar->value();
    SetBars(m_fZoom, oldH, oldV);
    const int h = m_pHorzBar->value();
    const int v = m_pVertBar->value();
    // Only a bar the new range moved moves the view: one left where it was keeps the
    // canvas's own (possibly fractional) position.
    if (h == oldH && v == oldV)
        return;
    m_pHorzRuler->SetScrollPos(h);
    m_pVertRuler->SetScrollPos(v);
    m_pView->SetScroll(h == oldH ? m_pView->ScrollX() : static_cast<float>(h),
                       v == oldV ? m_pView->ScrollY() : static_cast<float>(v));
    m_pHorzRuler->SetFindLabel(!IsLabelVisible());
}

void CChildFrame::OnAutoScroll(bool vertical, int step)
{
    // A drag past the edge may take its objects beyond what the bars reach, as far as an
    // object may lie: the bar reaches further as the drag goes.
    QScrollBar& bar = vertical ? *m_pVertBar : *m_pHorzBar;
    const int dpi = vertical ? g_nScreenDpiY : g_nScreenDpiX;
    const int page = vertical ? m_pView->height() : m_pView->width();
    const int lowest = static_cast<int>(std::floor(ReachPixels(kFarthestLowMm, dpi, m_fZoom)));
    const int highest = static_cast<int>(std::ceil(ReachPixels(kFarthestHighMm, dpi, m_fZoom))) - page;
    const int target = bar.value() + step;
    if (target < bar.minimum())
        bar.setMinimum(std::max(target, std::min(lowest, bar.minimum())));
    else if (target > bar.maximum())
        bar.setMaximum(std::min(target, std::max(highest, bar.maximum())));
    bar.setValue(std::clamp(target, bar.minimum(), bar.maximum()));
}

void CChildFrame::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int cx = width();
    const int cy = height();
    const int V = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int H = V;
    const int R = kRulerSize;
    m_pHorzRuler->setGeometry(R, 0, cx - R, R);
    m_pVertRuler->setGeometry(0, R, R, cy - R);
    m_pVertBar->setGeometry(cx - V, R, V, cy - H - R);
    m_pZoomCombo->setGeometry(R, cy - H, 68, H);
    m_pHorzBar->setGeometry(92, cy - H, cx - V - 92, H);
    m_pView->setGeometry(R, R, cx - V - R, cy - H - R);
    m_pUnitButton->setGeometry(0, 0, R, R);
    m_pCornerButton->setGeometry(cx - V, cy - H, V, H);
    if (m_bFitToWindow)
        Fit();
    else
        SetBars(m_fZoom, m_pHorzBar->value(), m_pVertBar->value());
}

void CChildFrame::FitToWindow()
{
    m_bFitToWindow = true;
    Fit();
}

void CChildFrame::Fit()
{
    const double w = m_pView->width();
    const double h = m_pView->height();
    const QSizeF label = LabelPixelSize(*m_pLabelData);
    const double lw = label.width();
    const double lh = label.height();
    // A label of no size fits at infinity: the clamp makes that the largest zoom.
    const float zoom = ClampZoom(lw / lh > (w - 4) / (h - 4) ? (w - 4) / lw : (h - 4) / lh);
    const double hp = MarginPixels(g_nScreenDpiX) * zoom - (w - lw * zoom) * 0.5;
    const double vp = MarginPixels(g_nScreenDpiY) * zoom - (h - lh * zoom) * 0.5;
    SetBars(zoom, static_cast<int>(hp), static_cast<int>(vp));
    m_pHorzRuler->SetZoom(zoom);
    m_pHorzRuler->SetScrollPos(static_cast<int>(hp));
    m_pHorzRuler->SetFindLabel(false);
    m_pVertRuler->SetZoom(zoom);
    m_pVertRuler->SetScrollPos(static_cast<int>(vp));
    m_pView->SetView(zoom, static_cast<float>(hp), static_cast<float>(vp));
    m_fZoom = zoom;
    ShowZoomText(zoom);
}

void CChildFrame::SetZoom(float zoom)
{
    const float z = ClampZoom(zoom);
    const float old = m_fZoom;
    m_fZoom = z;
    const ScrollLimits limits = LimitsAt(z);
    const QSizeF label = LabelPixelSize(*m_pLabelData);
    // The label's centre keeps its place in the window.
    const double cx = MarginPixels(g_nScreenDpiX) + label.width() / 2;
    const double cy = MarginPixels(g_nScreenDpiY) + label.height() / 2;
    double hp = cx * z - (cx * old - m_pHorzBar->value());
    double vp = cy * z - (cy * old - m_pVertBar->value());
    hp = std::clamp(hp, double(limits.left), double(limits.right));
    vp = std::clamp(vp, double(limits.top), double(limits.bottom));
    SetBars(z, static_cast<int>(hp), static_cast<int>(vp));
    m_pHorzRuler->SetZoom(z);
    m_pHorzRuler->SetScrollPos(static_cast<int>(hp));
    if (z < old)
        m_pHorzRuler->SetFindLabel(!IsLabelVisible());
    m_pVertRuler->SetZoom(z);
    m_pVertRuler->SetScrollPos(static_cast<int>(vp));
    m_pView->SetView(z, static_cast<float>(static_cast<int>(hp)), static_cast<float>(static_cast<int>(vp)));
    ShowZoomText(z);
}

void CChildFrame::ShowZoomText(float zoom)
{
    const float percent = zoom * 100.0f;
    const QString text = percent == static_cast<float>(static_cast<int>(percent))
                             ? QString::asprintf("%d %c", static_cast<int>(percent), '%')
                             : QString::asprintf("%.1f %c", percent, '%');
    m_pZoomCombo->setEditText(text);
}

void CChildFrame::OnZoomChosen(int index)
{
    int percent = LeadingInt(m_pZoomCombo->itemText(index));
    if (percent == 0)
        percent = 100;
    percent = std::clamp(percent, 20, 500);
    SetZoom(percent / 100.0f);
}

void CChildFrame::RecenterLabel()
{
    const QSizeF label = LabelPixelSize(*m_pLabelData);
    const double hp = std::max(0.0, (MarginPixels(g_nScreenDpiX) + label.width() * 0.5) * m_fZoom -
                                        m_pView->width() / 2);
    const double vp = std::max(0.0, (MarginPixels(g_nScreenDpiY) + label.height() * 0.5) * m_fZoom -
                                        m_pView->height() / 2);
    SetBars(m_fZoom, static_cast<int>(hp), static_cast<int>(vp));
    m_pHorzRuler->SetScrollPos(static_cast<int>(hp));
    m_pHorzRuler->SetFindLabel(false);
    m_pVertRuler->SetScrollPos(static_cast<int>(vp));
    m_pView->SetScroll(static_cast<float>(hp), static_cast<float>(vp));
}

bool CChildFrame::IsLabelVisible() const
{
    const QSizeF label = LabelPixelSize(*m_pLabelData);
    const double x0 = MarginPixels(g_nScreenDpiX);
    const double y0 = MarginPixels(g_nScreenDpiY);
    const double hp = m_pHorzBar->value();
    const double vp = m_pVertBar->value();
    const double left = x0 * m_fZoom - hp;
    const double right = (x0 + label.width()) * m_fZoom - hp;
    const double top = y0 * m_fZoom - vp;
    const double bottom = (y0 + label.height()) * m_fZoom - vp;
    return !(m_pView->width() <= left || right < 0 || m_pView->height() <= top || bottom < 0);
}

void CChildFrame::OnScroll(bool vertical, int position)
{
    CRuler* ruler = vertical ? static_cast<CRuler*>(m_pVertRuler) : static_cast<CRuler*>(m_pHorzRuler);
    ruler->SetScrollPos(position);
    if (vertical)
        m_pView->SetScroll(m_pView->ScrollX(), static_cast<float>(position));
    else
        m_pView->SetScroll(static_cast<float>(position), m_pView->ScrollY());
    m_pHorzRuler->SetFindLabel(!IsLabelVisible());
}

void CChildFrame::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 120)
        m_pVertBar->setValue(m_pVertBar->value() - kWheelStep);
    else if (delta == -120)
        m_pVertBar->setValue(m_pVertBar->value() + kWheelStep);
    event->accept();
}

QString CChildFrame::AskSavePath()
{
    return GetSaveFileNameWithSuffix(this, m_pLabelData->m_strTitle,
                                     QStringLiteral("Vellumcraft Files (*.vmk);;All Files (*.*)"),
                                     QStringLiteral("vmk"));
}

bool CChildFrame::SaveLabel()
{
    CLabelData& label = *m_pLabelData;
    if (label.m_strFilePath.isEmpty())
        return SaveLabelAs();
    if (!WriteLabel())
        return false;
    // A save starts a new history: nothing before it can be undone, so the modified
    // mark and the history can never disagree about the saved state.
    m_pView->UndoManager().Clear();
    m_pView->SetModified(false);
    if (m_pMainFrame)
        m_pMainFrame->LabelFileOpened(label.m_strFilePath);
    return true;
}

bool CChildFrame::WriteLabel()
{
    const ObjectListScope objects = WholeLabel();
    try {
        CDocWriterV1_0 writer;
        writer.m_strPath = objects.Label().m_strFilePath;
        writer.m_pLabelData = &objects.Label();
        writer.WriteDocument();
    } catch (const VXException& e) {
        Services().ReportException(this, e);
        return false;
    }
    return true;
}

bool CChildFrame::SaveLabelAs()
{
    const QString path = AskSavePath();
    if (path.isEmpty())
        return false;
    // Two windows on one file would each save over the other's edits.
    if (LabelDocumentWindow* other = m_pMainFrame ? m_pMainFrame->LabelWindowOf(path) : nullptr; other && other != this) {
        Services().ShowMessage(this, QStringLiteral("“%1”已在另一个窗口中打开，请先关闭该窗口，或另选一个文件名。")
                                         .arg(QDir::toNativeSeparators(path)),
                               MessageIcon::Warning);
        return false;
    }
    // The label takes the new name only once it is written there: after a failed
    // write it still belongs where it came from (or stays untitled).
    CLabelData& label = *m_pLabelData;
    const QString oldPath = std::exchange(label.m_strFilePath, path);
    const QString oldTitle = std::exchange(label.m_strTitle, QFileInfo(path).fileName());
    if (!SaveLabel()) {
        label.m_strFilePath = oldPath;
        label.m_strTitle = oldTitle;
        return false;
    }
    return true;
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    m_pView->CommitPendingEdits();
    if (IsModified()) {
        const int answer = Services().ShowMessage(
            this, QStringLiteral("是否保存对标签文件 %1 的修改？").arg(m_pLabelData->m_strTitle), MessageIcon::Question,
            MessageButtons::YesNoCancel);
        // Nothing is lost: a cancelled save dialog or a failed write keeps the window.
        if (answer == IDCANCEL || (answer == IDYES && !SaveLabel())) {
            event->ignore();
            return;
        }
    }
    NotifyObjectPane(2);
    event->accept();
}
