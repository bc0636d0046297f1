#include "output/ui/PreviewFrame.h"

#include "app/Ctl.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "model/BaseGraph.h"
#include "model/LabelData.h"
#include "output/ui/PrintCommands.h"
#include "output/ui/ScriptServices.h"
#include "output/ui/WindowDataInputDlg.h"
#include "platform/Drawing.h"
#include "platform/Numbers.h"
#include "platform/ScreenDpi.h"
#include "platform/VXException.h"
#include "platform/VisibleText.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <new>

QSize PreviewPaperSize(const CLabelData& label, float zoom)
{
    if (label.m_nPrinterType != 0) {
        // The page that prints: one row of labels.
        const QSizeF page = GetPageSizeMm(label);
        return QSize(static_cast<int>(page.width() * g_nScreenDpiX / 25.4 * zoom),
                     static_cast<int>(page.height() * g_nScreenDpiY / 25.4 * zoom));
    }
    const int width = static_cast<int>(label.GetPageWidthPixels() * zoom);
    const float heightMm = label.m_nPageWidthFlag != 0 ? 0.0f : label.m_fPaperHeight;
    const int height = static_cast<int>(static_cast<double>(heightMm) * g_nScreenDpiY / 25.4 * zoom);
    return label.m_bLandscape ? QSize(height, width) : QSize(width, height);
}

// ---- CPreviewFrameView ------------------------------------------------------------

CPreviewFrameView::CPreviewFrameView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CPreviewFrameView::~CPreviewFrameView() = default;

void CPreviewFrameView::RenderPage()
{
    m_bRenderQueued = false;
    if (!m_pPrintHandler) {
        m_items.clear();
        update();
        return;
    }
    const int shownPage = m_nDrawnPage;
    // Marked drawn before the job runs: the wait window paints the view meanwhile, and
    // must not start the page again.
    m_nDrawnPage = m_nCurrentPage;
    GeneratedLabels items;
    bool read = true;
    try {
        m_pPrintHandler->DrawPreviewPage(items, m_nCurrentPage);
    } catch (const CDataSourceException& e) {
        read = false;
        Services().ReportException(window(), e);
    } catch (const VXException& e) {
        Services().ReportException(window(), e);
    } catch (const std::bad_alloc& e) {
        Services().ReportException(window(), e);
    } catch (const std::exception&) {
        Services().ShowMessage(window(), QStringLiteral("打印出现未知错误，请寻求技术人员支持。"), MessageIcon::Stop);
    }
    if (read || shownPage < 1) {
        m_items = std::move(items);
    } else {
        // Nothing of the page was read (取消, a failed read or rerun): the page shown
        // before stays, with its number.
        m_nCurrentPage = m_nDrawnPage = shownPage;
    }
    update();
}

QRect CPreviewFrameView::ComputePaperRect() const
{
    if (!m_pLabelData)
        return {};
    const QSize paper = PreviewPaperSize(*m_pLabelData, m_fZoom);
    const int left = paper.width() >= width() ? static_cast<int>(m_fOffsetX + 5.0f) : (width() - paper.width()) / 2;
    const int top = paper.height() >= height() ? static_cast<int>(m_fOffsetY + 5.0f) : (height() - paper.height()) / 2;
    return QRect(left, top, paper.width(), paper.height());
}

void CPreviewFrameView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x7A, 0x7A, 0x7A));
    if (m_pLabelData)
        PaintPage(painter);
    // A page not rendered yet is rendered once the paint is over.
    if (m_pPrintHandler && m_nDrawnPage != m_nCurrentPage && !m_bRenderQueued) {
        m_bRenderQueued = true;
        QTimer::singleShot(0, this, [this] {
            if (m_bRenderQueued)
                RenderPage();
        });
    }
}

void CPreviewFrameView::PaintPage(QPainter& painter)
{
    m_rcPaper = ComputePaperRect();
    const QRect& paper = m_rcPaper;
    painter.fillRect(paper.left() + paper.width(), paper.top() + 8, 8, paper.height(), Qt::black);
    painter.fillRect(paper.left() + 8, paper.top() + paper.height(), paper.width(), 8, Qt::black);
    painter.fillRect(paper, Qt::white);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.drawRect(paper);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    SetScreenMillimetreWorld(painter, m_fZoom);
    painter.translate(paper.left() * 25.4 / g_nScreenDpiX / m_fZoom, paper.top() * 25.4 / g_nScreenDpiY / m_fZoom);
    for (const auto& generated : m_items)
        PaintGeneratedLabel(painter, *m_pLabelData, *generated, generated->m_fX, generated->m_fY);
    if (m_pPrintHandler)
        for (CBaseGraph* item : m_pPrintHandler->GetPageItems())
            DrawObjectAt(*item, painter, 0.0f, 0.0f);
    painter.restore();

    const QRect inside = paper.adjusted(0, 0, 1, 1);
    if (inside.contains(m_ptDragStart) && inside.contains(m_ptDragEnd) && m_ptDragStart != m_ptDragEnd) {
        const QPoint moved = QPoint(int(m_fOffsetX), int(m_fOffsetY)) - m_dragScroll;
        painter.setPen(QPen(QColor(0xFF, 0, 0), 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(m_ptDragStart, m_ptDragEnd).normalized().translated(moved));
    }
}

void CPreviewFrameView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_ptDragStart = m_ptDragEnd = QPoint();
    update();
}

QPoint CPreviewFrameView::ClampToPaper(QPoint point) const
{
    return QPoint(std::clamp(point.x(), m_rcPaper.left(), m_rcPaper.left() + m_rcPaper.width()),
                  std::clamp(point.y(), m_rcPaper.top(), m_rcPaper.top() + m_rcPaper.height()));
}

void CPreviewFrameView::mousePressEvent(QMouseEvent* event)
{
    m_rcPaper = ComputePaperRect();
    if (event->button() != Qt::LeftButton || !m_rcPaper.contains(event->position().toPoint()))
        return;
    m_bDragging = true;
    m_ptDragStart = m_ptDragEnd = event->position().toPoint();
    m_dragScroll = QPoint(int(m_fOffsetX), int(m_fOffsetY));
}

void CPreviewFrameView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bDragging)
        return;
    m_ptDragEnd = ClampToPaper(event->position().toPoint());
    update();
}

void CPreviewFrameView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bDragging) {
        m_ptDragEnd = ClampToPaper(event->position().toPoint());
        m_bDragging = false;
    }
    update();
}

// ---- CPreviewFrameCon -------------------------------------------------------------

CPreviewFrameCon::CPreviewFrameCon(QWidget* parent) : QWidget(parent)
{
    m_pView = new CPreviewFrameView(this);
    m_pVert = SetCtlId(new QScrollBar(Qt::Vertical, this), 33333);
    m_pHorz = SetCtlId(new QScrollBar(Qt::Horizontal, this), 33334);
    for (QScrollBar* bar : {m_pVert, m_pHorz}) {
        bar->setSingleStep(40);
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this, &CPreviewFrameCon::Scrolled);
    }
}

void CPreviewFrameCon::LayoutScrollBars(int cy, int cx)
{
    CPreviewFrameView& view = *m_pView;
    const QSize paper = view.m_pLabelData ? PreviewPaperSize(*view.m_pLabelData, view.m_fZoom) : QSize();
    const int barW = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int barH = barW;
    const bool horz = paper.width() > cx - 10;
    const bool vert = paper.height() > cy - 10;
    // A scroll range as the platform counts it (0 to max, a page wide): the bar's
    // highest position is max - page + 1.
    const auto setRange = [](QScrollBar* bar, int max, int page) {
        const QSignalBlocker block(bar);
        bar->setPageStep(page);
        bar->setRange(0, std::max(0, max - page + 1));
    };
    if (horz) {
        m_pHorz->setGeometry(0, cy - barH, cx - (vert ? barW : 0), barH);
        setRange(m_pHorz, paper.width() + (vert ? 40 : 20), cx);
        m_pHorz->show();
    } else {
        m_pHorz->setGeometry(QRect());
        m_pHorz->hide();
    }
    if (vert) {
        m_pVert->setGeometry(cx - barW, 0, barW, cy - (horz ? barH : 0));
        setRange(m_pVert, paper.height() + (horz ? 40 : 20), cy);
        m_pVert->show();
    } else {
        m_pVert->setGeometry(QRect());
        m_pVert->hide();
    }
    view.setGeometry(0, 0, cx - (vert ? barW : 0), cy - (horz ? barH : 0));
    if (horz)
        view.m_fOffsetX = -float(m_pHorz->value());
    if (vert)
        view.m_fOffsetY = -float(m_pVert->value());
    view.update();
}

void CPreviewFrameCon::Scrolled()
{
    m_pView->m_fOffsetX = -float(m_pHorz->value());
    m_pView->m_fOffsetY = -float(m_pVert->value());
    m_pView->update();
}

void CPreviewFrameCon::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutScrollBars(height(), width());
}

void CPreviewFrameCon::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == -120 || delta == 120)
        m_pVert->setValue(std::clamp(m_pVert->value() + (delta < 0 ? 80 : -80), m_pVert->minimum(),
                                     m_pVert->maximum()));
    event->accept();
}

// ---- CPreviewFrame ----------------------------------------------------------------

namespace {

constexpr int kSeparator = 0;
constexpr int kToolbar[] = {40508, kSeparator, 40518, kSeparator, 40515, 40516, 40519, 40517,
                            kSeparator,  40510, 40511, 40514, 40512, 40513};

} // namespace

CPreviewFrame::CPreviewFrame(std::unique_ptr<CLabelData> label)
    : m_pLabelData(std::move(label)), m_pCommands(new CommandManager(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(ResourceIcon(327));
    resize(860, 450);
    m_pCon = new CPreviewFrameCon(this);
    setCentralWidget(m_pCon);
    // The counts stay in sight here, also beside a command's status tip: the tool
    // bar's count shows the pages only.
    m_pStatusText = new QLabel;
    SetCtlId(statusBar(), 59393)->addPermanentWidget(m_pStatusText);
    m_pCommands->SetRoute([this] { return std::vector<CommandTarget*>{this}; });
    RegisterCommands();
    CreateToolBar();
    UpdatePageCountText();
}

CPreviewFrame::~CPreviewFrame()
{
    // The view paints the job's items: it lets go of them before the job ends.
    View().m_items.clear();
    View().m_pPrintHandler = nullptr;
}

void CPreviewFrame::CreateToolBar()
{
    auto* bar = new QToolBar(QStringLiteral("Standard"), this);
    bar->setObjectName(QStringLiteral("bar_190"));
    bar->setIconSize(QSize(16, 16));
    bar->setMovable(false);
    bar->setAllowedAreas(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, bar);
    for (int id : kToolbar) {
        if (id == kSeparator) {
            bar->addSeparator();
        } else if (id == 40517) {
            m_pZoomCombo = SetCtlId(new QComboBox(bar), 40517);
            // A list to choose from; the text also shows zooms the list lacks.
            m_pZoomCombo->setEditable(true);
            m_pZoomCombo->lineEdit()->setReadOnly(true);
            m_pZoomCombo->setFixedWidth(80);
            for (int percent : {50, 75, 100, 150, 200, 250, 300})
                m_pZoomCombo->addItem(QStringLiteral("%1%").arg(percent), percent);
            m_pZoomCombo->setCurrentIndex(2);
            m_pZoomCombo->setToolTip(CommandToolTip(*FindCommand(40517)));
            connect(m_pZoomCombo, &QComboBox::activated, this, [this] { m_pCommands->Execute(40517); });
            bar->addWidget(m_pZoomCombo);
        } else if (id == 40514) {
            m_pPageEdit = SetCtlId(new QLineEdit(QStringLiteral("1"), bar), 40514);
            m_pPageEdit->setFixedWidth(60);
            m_pPageEdit->setToolTip(CommandToolTip(*FindCommand(40514)));
            connect(m_pPageEdit, &QLineEdit::returnPressed, this, [this] { m_pCommands->Execute(40514); });
            bar->addWidget(m_pPageEdit);
        } else {
            bar->addAction(m_pCommands->Action(id));
        }
    }
    m_pPageCountLabel = SetCtlId(new QLabel(QStringLiteral("共0页"), bar), 40537);
    m_pPageCountLabel->setContentsMargins(8, 0, 8, 0);
    bar->addWidget(m_pPageCountLabel);
    m_pCommands->Action(40537);

    const std::pair<int, int> icons[] = {{40508, 328}, {40515, 330}, {40516, 331}, {40519, 337}};
    for (const auto& [command, icon] : icons)
        m_pCommands->Action(command)->setIcon(ResourceIcon(icon));
    if (auto* close = qobject_cast<QToolButton*>(bar->widgetForAction(m_pCommands->Action(40518))))
        close->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

void CPreviewFrame::RegisterCommands()
{
    OnCommand(40508, [this] { RunPrintDialog(*m_pLabelData, this); });
    OnCommand(40518, [this] { close(); });
    OnCommand(40515, [this] { SetZoom(std::min(View().m_fZoom + 0.5f, 3.0f)); });
    OnCommand(40516, [this] { SetZoom(std::max(View().m_fZoom - 0.5f, 0.5f)); });
    OnCommand(40519, [this] { SetZoom(1.0f); });
    OnCommand(40517, [this] { OnZoomChosen(); });
    OnCommand(40514, [this] { OnPageTyped(); });
    OnCommand(40510, [this] { GoToPage(1); });
    OnCommand(40511, [this] { GoToPage(View().m_nCurrentPage - 1); });
    OnCommand(40512, [this] { GoToPage(View().m_nCurrentPage + 1); });
    OnCommand(40513, [this] { GoToPage(m_nPageCount); });
    const auto notFirst = [this](CommandUpdate& u) { u.Enable(View().m_nCurrentPage >= 2); };
    const auto notLast = [this](CommandUpdate& u) { u.Enable(View().m_nCurrentPage < m_nPageCount); };
    OnUpdate(40510, notFirst);
    OnUpdate(40511, notFirst);
    OnUpdate(40512, notLast);
    OnUpdate(40513, notLast);
    OnUpdate(40537, [this](CommandUpdate&) {
        if (m_pPageCountLabel)
            m_pPageCountLabel->setText(QString::asprintf("共%d页", m_nPageCount));
    });
}

void CPreviewFrame::CreatePrintHandler(QWidget* mainWindow)
{
    m_pPrompt = std::make_unique<CWindowDataPrompt>(this);
    auto job = std::make_unique<CPrintHandler>();
    job->SetMode(CPrintHandler::ModePreview);
    job->SetLabelData(m_pLabelData.get());
    job->SetWindowDataPrompt(m_pPrompt.get());
    m_pMainWindow = mainWindow;
    job->SetScriptEngine(CreateProgramScriptEngine(this, mainWindow));
    job->Prepare();
    m_nPageCount = job->GetPageCount();
    m_nLabelCount = job->GetLabelCount();
    m_pPrintHandler = std::move(job);
    View().m_pLabelData = m_pLabelData.get();
    View().m_pPrintHandler = m_pPrintHandler.get();
    View().m_nDrawnPage = -1;
    ShowStatusText();
    m_pCommands->ScheduleUpdate();
}

void CPreviewFrame::SetZoom(float zoom)
{
    View().m_fZoom = zoom;
    m_pCon->LayoutScrollBars(m_pCon->height(), m_pCon->width());
    m_pCon->update();
    ShowZoomText(zoom);
}

void CPreviewFrame::ShowZoomText(float zoom)
{
    const float percent = zoom * 100.0f;
    const QString text = percent == std::trunc(percent) ? QString::asprintf("%d%c", int(percent), '%')
                                                         : QString::asprintf("%.1f%c", double(percent), '%');
    if (m_pZoomCombo)
        m_pZoomCombo->setEditText(text);
}

void CPreviewFrame::UpdatePageCountText()
{
    if (m_pPageCountLabel)
        m_pPageCountLabel->setText(QString::asprintf("共%d页,%d个标签", m_nPageCount, m_nLabelCount));
    ShowStatusText();
}

void CPreviewFrame::ShowStatusText()
{
    m_pStatusText->setText(
        QString::asprintf("第%d页　共%d页,%d个标签", View().m_nCurrentPage, m_nPageCount, m_nLabelCount));
}

void CPreviewFrame::GoToPage(int page)
{
    View().m_nCurrentPage = page;
    View().RenderPage();
    View().update();
    // The page shown, which is the one before when the new one could not be read.
    if (m_pPageEdit)
        m_pPageEdit->setText(QString::asprintf("%d", View().m_nCurrentPage));
    ShowStatusText();
}

void CPreviewFrame::OnZoomChosen()
{
    int percent = LeadingInt(m_pZoomCombo->currentText());
    if (percent == 0)
        percent = 100;
    percent = std::clamp(percent, 20, 500);
    SetZoom(float(percent) / 100.0f);
}

void CPreviewFrame::OnPageTyped()
{
    int page = LeadingInt(m_pPageEdit->text());
    if (page < 1 || page > m_nPageCount)
        page = 1;
    GoToPage(page);
}

void CPreviewFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    UpdatePageCountText();
}

void CPreviewFrame::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    // The window manager leaves no window active once the preview goes, and the main
    // window's keys would wait for a click: it takes the focus back itself.
    if (event->isAccepted() && m_pMainWindow && m_pMainWindow->isVisible()) {
        m_pMainWindow->raise();
        m_pMainWindow->activateWindow();
    }
}

CPreviewFrame* OpenPrintPreview(const CLabelData& label, QWidget* parent)
{
    CPreviewFrame* frame = nullptr;
    try {
        frame = new CPreviewFrame(CopyLabelData(label));
        frame->setWindowTitle(QStringLiteral("打印预览 - %1").arg(VisibleText(label.m_strTitle)));
        frame->CreatePrintHandler(parent ? parent->window() : nullptr);
    } catch (const std::exception& e) { // out of memory in a script or a loader included
        delete frame;
        Services().ReportException(parent, e);
        return nullptr;
    }
    frame->View().m_nCurrentPage = 1;
    frame->View().RenderPage();
    ShowWindowMaximized(frame);
    frame->raise();
    frame->activateWindow();
    return frame;
}
