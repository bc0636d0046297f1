#include "app/TemplateWnd.h"

#include "app/Ctl.h"
#include "app/MainFrame.h"
#include "app/Panes.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "editor/ChildView.h"
#include "model/BaseGraph.h"
#include "model/DataBand.h"
#include "model/DocLoader.h"
#include "model/DocWriter.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "platform/Drawing.h"
#include "platform/ScreenDpi.h"
#include "platform/VXException.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kTemplateRoot = 0;
constexpr int kTemplateFolder = 1;
constexpr int kTemplateOpenFolder = 2;
constexpr int kTemplateFile = 3;
constexpr int kTemplateIcons[] = {345, 339, 340, 344};
constexpr int kGap = 13;         // between the tree and the bottom of the preview's top edge
constexpr int kMinTreeHeight = 40;
constexpr int kMinPreviewHeight = 20;

QIcon TemplateImage(int image)
{
    return ResourceIcon(kTemplateIcons[image]);
}

void AddTemplateRecords(CTemplateWnd::Record& record, std::vector<LibraryEntry>& entries)
{
    record.children.reserve(entries.size());
    for (LibraryEntry& entry : entries) {
        auto child = std::make_unique<CTemplateWnd::Record>();
        child->kind = entry.folder ? 0 : 1;
        child->name = std::move(entry.name);
        child->path = std::move(entry.path);
        AddTemplateRecords(*child, entry.entries);
        record.children.push_back(std::move(child));
    }
}

// An object whose content comes from data: a text or barcode with a band of any kind
// but a constant.
bool IsVariable(CBaseGraph& object)
{
    const DataBandList* bands = ObjectBands(&object);
    return bands && std::any_of(bands->begin(), bands->end(),
                                [](const auto& band) { return band->m_nKind != BandConstant; });
}

struct Sheet
{
    const char16_t* name;
    float paperWidth, paperHeight;
    float width, height;
    int columns, rows;
    float left, top, horzGap, vertGap;
    int shape;
    int printerType;
};

// Common label sheets and one thermal roll label.
constexpr Sheet kSheets[] = {
    {u"A4 3x7 (70 x 42.4 毫米).vmk", 210, 297, 70, 42.4f, 3, 7, 0, 0.2f, 0, 0, ShapeRectangle, 0},
    {u"A4 2x8 (105 x 37 毫米).vmk", 210, 297, 105, 37, 2, 8, 0, 0.5f, 0, 0, ShapeRectangle, 0},
    {u"A4 4x10 (48.5 x 25.4 毫米).vmk", 210, 297, 48.5f, 25.4f, 4, 10, 8, 21.5f, 0, 0, ShapeRoundRect, 0},
    {u"热敏标签 100 x 60 毫米.vmk", 100, 60, 100, 60, 1, 1, 0, 0, 0, 0, ShapeRoundRect, 1},
};

} // namespace

// ---- CLabelPreviewPane ----------------------------------------------------------------

CLabelPreviewPane::CLabelPreviewPane(QWidget* parent) : QWidget(parent)
{
    setObjectName(CtlName(1194));
}

void CLabelPreviewPane::SetLabel(const CLabelData* label)
{
    m_pLabel = label;
    Layout();
    update();
}

void CLabelPreviewPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Layout();
    update();
}

void CLabelPreviewPane::Layout()
{
    if (!m_pLabel)
        return;
    const double dpiX = g_nScreenDpiX, dpiY = g_nScreenDpiY;
    const float aw = static_cast<float>((width() - 10) * 25.4 / dpiX);
    const float ah = static_cast<float>((height() - 10) * 25.4 / dpiY);
    const float lw = m_pLabel->m_fLabelWidth, lh = m_pLabel->m_fLabelHeight;
    // A label without an extent has nothing to fit: only its surround is drawn.
    if (lw <= 0 || lh <= 0 || aw <= 0 || ah <= 0) {
        m_fScale = 0;
        m_nLeft = m_nTop = m_nWidth = m_nHeight = 0;
        return;
    }
    m_fScale = ah / aw > lh / lw ? aw / lw : ah / lh;
    const float w = lw * m_fScale, h = lh * m_fScale;
    m_fOffsetX = static_cast<float>((width() * 25.4 / dpiX - w) / 2);
    m_fOffsetY = static_cast<float>((height() * 25.4 / dpiY - h) / 2);
    m_nWidth = static_cast<int>(w * dpiX / 25.4);
    m_nHeight = static_cast<int>(h * dpiY / 25.4);
    m_nLeft = static_cast<int>(m_fOffsetX * dpiX / 25.4);
    m_nTop = static_cast<int>(m_fOffsetY * dpiY / 25.4);
}

void CLabelPreviewPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_pLabel)
        Render(painter);
}

void CLabelPreviewPane::Render(QPainter& painter) const
{
    const QColor outside = ArgbToColor(0xFFDCDCDCu);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (m_fScale <= 0) {
        painter.fillRect(rect(), outside);
        return;
    }
    const CLabelData& label = *m_pLabel;
    const double dpiX = g_nScreenDpiX, dpiY = g_nScreenDpiY;
    const QRectF box(m_nLeft, m_nTop, m_nWidth, m_nHeight);
    QPainterPath shape;
    switch (label.m_nShape) {
    case ShapeRoundRect: {
        const int r = static_cast<int>(label.m_fCornerRadius * dpiX / 25.4 * m_fScale);
        shape.addRoundedRect(box, r, r);
        break;
    }
    case ShapeEllipse: shape.addEllipse(box); break;
    default: shape.addRect(box); break;
    }
    QPainterPath whole;
    whole.addRect(rect());
    painter.fillPath(whole.subtracted(shape), outside);
    painter.fillPath(shape, Qt::white);
    const QPen black(Qt::black, 1.0);
    painter.strokePath(shape, black);
    if (label.m_nShape == ShapeEllipse && label.m_bCenterHole) {
        const int d = label.m_nPageWidthFlag == 0 ? static_cast<int>(label.m_fHoleDiameter * dpiX / 25.4 * m_fScale) : 0;
        const QRectF hole(m_nLeft + (m_nWidth - d) / 2, m_nTop + (m_nHeight - d) / 2, d, d);
        painter.setPen(black);
        painter.setBrush(outside);
        painter.drawEllipse(hole);
    }

    painter.save();
    SetScreenMillimetreWorld(painter, m_fScale);
    painter.translate(m_fOffsetX / m_fScale, m_fOffsetY / m_fScale);
    for (const auto& object : label.m_objects) {
        object->m_fDrawScale = m_fScale;
        // A thumbnail has too few pixels for a symbol's modules: laid on them, the
        // bars would grow far past the object. Drawn in exact millimetres instead.
        object->m_fOutputDpi = -1.0f;
        object->Draw(painter);
    }
    painter.restore();

    const QPen frame = CGlobalSettings::GetInstance()->GetPen(PenDashRed);
    const auto pixels = [&](float mm, double dpi) { return static_cast<int>(mm * m_fScale * dpi / 25.4); };
    for (const auto& object : label.m_objects) {
        if (!IsVariable(*object))
            continue;
        painter.save();
        QPen pen = frame;
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        QRect r(pixels(object->GetX(), dpiX), pixels(object->GetY(), dpiY), pixels(object->GetWidth(), dpiX),
                pixels(object->GetHeight(), dpiY));
        if (object->GetAngle() == 0.0f) {
            painter.translate(m_nLeft, m_nTop);
        } else {
            const QPointF c = object->GetAnchorPoint();
            const int cx = pixels(static_cast<float>(c.x()), dpiX), cy = pixels(static_cast<float>(c.y()), dpiY);
            painter.translate(m_nLeft + cx, m_nTop + cy);
            painter.rotate(object->GetAngle());
            r.translate(-cx, -cy);
        }
        painter.drawRect(r);
        painter.restore();
    }
}

// ---- CTemplateWnd ---------------------------------------------------------------------

CTemplateWnd::CTemplateWnd(CMainFrame& mainFrame, const QString& folder, QWidget* parent)
    : QWidget(parent), m_mainFrame(mainFrame), m_pTree(new QTreeWidget(this)), m_pPreview(new CLabelPreviewPane(this))
{
    setObjectName(QStringLiteral("templatePane"));
    m_pTree->setObjectName(CtlName(1198));
    m_pTree->setHeaderHidden(true);
    m_pTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTree->setStyleSheet(QStringLiteral("QTreeView::item { height: 18px; }"));
    m_pTree->viewport()->installEventFilter(this);
    setMouseTracking(true);

    if (QFileInfo(folder).isDir()) {
        m_pRoot = std::make_unique<Record>();
        m_pRoot->kind = -1;
        m_pRoot->path = folder;
        std::vector<LibraryEntry> entries = ReadLibraryFolder(folder, QLatin1String(".VMK"));
        AddTemplateRecords(*m_pRoot, entries);
    }
    auto* root = new QTreeWidgetItem(QStringList{QStringLiteral("模板库")});
    root->setIcon(0, TemplateImage(kTemplateRoot));
    m_pTree->addTopLevelItem(root);
    if (m_pRoot)
        Fill(root, *m_pRoot);
    root->setExpanded(true);

    connect(m_pTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { OnSelected(item); });
    FollowFolderIcons(*m_pTree, TemplateImage(kTemplateFolder), TemplateImage(kTemplateOpenFolder));
}

CTemplateWnd::~CTemplateWnd() = default;

void CTemplateWnd::Fill(QTreeWidgetItem* item, Record& record)
{
    item->setData(0, Qt::UserRole, quintptr(&record));
    QList<QTreeWidgetItem*> children;
    children.reserve(qsizetype(record.children.size()));
    for (const auto& child : record.children) {
        auto* childItem = new QTreeWidgetItem(QStringList{child->name});
        childItem->setIcon(0, TemplateImage(child->kind == 0 ? kTemplateFolder : kTemplateFile));
        Fill(childItem, *child);
        children.append(childItem);
    }
    item->addChildren(children);
}

CTemplateWnd::Record* CTemplateWnd::RecordOf(const QTreeWidgetItem* item) const
{
    return item ? reinterpret_cast<Record*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

void CTemplateWnd::OnSelected(QTreeWidgetItem* item)
{
    Record* record = RecordOf(item);
    if (!record || record->kind != 1)
        return;
    if (!record->label) {
        auto label = std::make_unique<CLabelData>();
        label->m_strFilePath = record->path;
        try {
            CDocLoader loader;
            loader.m_strPath = record->path;
            loader.m_pLabelData = label.get();
            loader.LoadDocument();
        } catch (const VXException& e) {
            Services().ReportException(this, e);
            return;
        }
        record->label = std::move(label);
    }
    m_pPreview->SetLabel(record->label.get());
}

void CTemplateWnd::OpenSelected()
{
    const Record* record = RecordOf(m_pTree->currentItem());
    if (record && record->kind == 1)
        m_mainFrame.OpenAsNewLabel(record->path);
}

bool CTemplateWnd::eventFilter(QObject* watched, QEvent* event)
{
    // A double click opens a label file; on a folder it does nothing, not even expand.
    if (watched == m_pTree->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        OpenSelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CTemplateWnd::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutPanes();
}

int CTemplateWnd::PreviewHeight() const
{
    // The preview stays at least a strip high and leaves the tree a few rows. The
    // height asked for is kept, so a pane first laid out small gets it back once it
    // is large enough.
    return std::max(kMinPreviewHeight, std::min(m_nPreviewHeight, height() - kGap - kMinTreeHeight));
}

void CTemplateWnd::LayoutPanes()
{
    const int cx = width(), cy = height();
    const int preview = PreviewHeight();
    m_pTree->setGeometry(0, 0, cx, std::max(0, cy - preview - kGap));
    m_pPreview->setGeometry(7, cy - preview - 7, std::max(0, cx - 14), preview);
}

bool CTemplateWnd::NearSplitter(int y) const
{
    return std::abs(height() - PreviewHeight() - 10 - y) < 2;
}

void CTemplateWnd::mousePressEvent(QMouseEvent* event)
{
    const int y = event->position().toPoint().y();
    if (event->button() != Qt::LeftButton || !NearSplitter(y))
        return;
    m_bSplitterDrag = true;
    m_nLastDragY = y;
    setCursor(ResourceCursor(293));
}

void CTemplateWnd::mouseMoveEvent(QMouseEvent* event)
{
    const int y = event->position().toPoint().y();
    if (m_bSplitterDrag) {
        // The splitter moves from where it is shown, and stays where it can be shown.
        m_nPreviewHeight = PreviewHeight() + m_nLastDragY - y;
        m_nPreviewHeight = PreviewHeight();
        LayoutPanes();
        m_nLastDragY = y;
    } else if (NearSplitter(y)) {
        setCursor(ResourceCursor(293));
    } else {
        unsetCursor();
    }
}

void CTemplateWnd::mouseReleaseEvent(QMouseEvent*)
{
    if (m_bSplitterDrag) {
        m_bSplitterDrag = false;
        unsetCursor();
    }
}

bool CTemplateWnd::WriteShippedTemplates(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    for (const Sheet& sheet : kSheets) {
        CLabelData label;
        label.m_fPaperWidth = sheet.paperWidth;
        label.m_fPaperHeight = sheet.paperHeight;
        label.m_strPaperName = sheet.printerType == 0 ? QStringLiteral("A4") : QStringLiteral("100 x 60 mm");
        label.m_nPrinterType = sheet.printerType;
        label.m_fLabelWidth = sheet.width;
        label.m_fLabelHeight = sheet.height;
        label.m_nColumns = sheet.columns;
        label.m_nRows = sheet.rows;
        label.m_fLeftMargin = sheet.left;
        label.m_fTopMargin = sheet.top;
        label.m_fHorzGap = sheet.horzGap;
        label.m_fVertGap = sheet.vertGap;
        label.m_nShape = sheet.shape;
        try {
            CDocWriterV1_0 writer;
            writer.m_strPath = folder + QLatin1Char('/') + QString::fromUtf16(sheet.name);
            writer.m_pLabelData = &label;
            writer.WriteDocument();
        } catch (const VXException&) {
            return false;
        }
    }
    return true;
}
