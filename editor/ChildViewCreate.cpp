// The canvas's creation tools: one click for barcodes, texts and pictures, a drag for
// lines, rectangles and ellipses, clicks and a double click for polygons.
#include "editor/ChildView.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "editor/ObjectKinds.h"
#include "editor/ShapeProxies.h"
#include "editor/TextProxy.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/GlobalSettings.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "platform/ImageHolder.h"
#include "platform/ScreenDpi.h"

#include <QMouseEvent>
#include <cmath>

namespace {

float PixelsToMm(int pixels, int dpi)
{
    return TruncateToHundredths(static_cast<float>(pixels * kMmPerInchF / dpi));
}

std::unique_ptr<CDataBand> ConstantBand(const QString& text)
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandConstant;
    band->m_strValue = text;
    return band;
}

} // namespace

std::unique_ptr<CBarcodeGraph> NewBarcode(const QString& content, std::unique_ptr<CDataBand> band)
{
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(0);
    CBarcodeSettings& settings = *barcode->m_pBarcodeImpl->GetSettings();
    settings.m_strFontName = QStringLiteral("Arial");
    settings.m_strContent = content;
    settings.m_bandList.push_back(std::move(band));
    return barcode;
}

bool IsCreationTool(int tool)
{
    return FindCreationTool(tool) != nullptr;
}

void CChildView::SetDefaultName(CBaseProxy& proxy)
{
    CBaseGraph* object = proxy.GetObject();
    if (!object)
        return;
    object->m_strName = m_builder.MakeDefaultName(object->GetKind());
    // A barcode shows and stores the name of its settings.
    if (object->GetKind() == KindBarcode)
        if (CBarcodeImpl* impl = static_cast<CBarcodeGraph*>(object)->GetImpl())
            impl->GetSettings()->m_strName = object->m_strName;
}

CBaseProxy* CChildView::AddCreatedObject(std::unique_ptr<CBaseGraph> object, bool notifyPane)
{
    object->m_pLabelData = m_pLabelData;
    std::unique_ptr<CBaseProxy> owned = CreateProxy(std::move(object));
    CBaseProxy* proxy = owned.get();
    SetDefaultName(*proxy);
    proxy->m_pCanvas = this;
    proxy->m_pLabel = m_pLabelData;
    m_objects.push_back(std::move(owned));
    m_selection.push_back(proxy);
    m_pCurrent = proxy;
    if (GroupRotation())
        UpdateRotationCentre();
    Redraw();
    if (notifyPane)
        NotifyObjectsChanged();
    m_undo.AddCommand(std::make_unique<CAddURC>(proxy));
    return proxy;
}

void CChildView::EndCreation(bool keepTool)
{
    CEditStatus& status = EditStatus();
    status.m_bCreating = false;
    if (!keepTool && !CGlobalSettings::GetInstance()->m_bContinueCreating) {
        status.m_nTool = ToolSelect;
        setCursor(Qt::ArrowCursor);
    }
    Redraw();
}

void CChildView::PressCreationTool(QMouseEvent* event, QPoint point)
{
    CEditStatus& status = EditStatus();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (status.m_nTool) {
    case ToolBarcode:
    case ToolText:
    case ToolImage:
        CreateAtClick(status.m_nTool, point);
        EndCreation(ctrl);
        return;
    case ToolPolygon:
        if (!status.m_bPolygon) {
            status.m_bCreating = true;
            status.m_bPolygon = true;
            status.m_polygonPoints.clear();
        }
        status.m_lastMouse = point;
        status.m_polygonPoints.append(point);
        Redraw();
        return;
    default:
        m_bCtrlDrag = ctrl;
        StartGesture(&CEditStatus::m_bCreating, point);
        return;
    }
}

void CChildView::CreateAtClick(int tool, QPoint point)
{
    const QPointF mm = Mapping().ToMillimetres(point);
    const float x = TruncateToHundredths(static_cast<float>(mm.x()));
    const float y = TruncateToHundredths(static_cast<float>(mm.y()));
    const bool snap = m_pLabelData && m_pLabelData->m_bSnapToGrid;
    const auto place = [&](CBaseGraph& object) {
        object.SetX(x);
        object.SetY(y);
        if (!snap)
            return;
        const auto [sx, sy] = m_pLabelData->SnapPointToGrid(object.GetX(), object.GetY());
        object.SetX(sx);
        object.SetY(sy);
        const auto [sw, sh] = m_pLabelData->SnapPointToGrid(object.GetWidth(), object.GetHeight());
        object.SetWidth(sw);
        object.SetHeight(sh);
    };
    if (tool == ToolBarcode) {
        const QString content = QStringLiteral("12345678");
        std::unique_ptr<CBarcodeGraph> barcode = NewBarcode(content, ConstantBand(content));
        EncodeToSymbolBox(*barcode);
        place(*barcode);
        AddCreatedObject(std::move(barcode), true);
    } else if (tool == ToolText) {
        auto text = std::make_unique<CTextGraph>();
        text->m_strFontName = QStringLiteral("Arial");
        text->m_bands.push_back(ConstantBand(QStringLiteral("样例文字")));
        text->m_strText = GetBandsText(*text);
        text->SetX(x);
        text->SetY(y);
        CBaseProxy* proxy = AddCreatedObject(std::move(text), true);
        static_cast<CTextProxy*>(proxy)->FitTextBoxToText();
        if (snap)
            place(*proxy->GetObject());
    } else {
        auto image = std::make_unique<CImageGraph>();
        const QImage& picture = ImageHolder::PlaceholderImage();
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromImage(picture));
        image->m_strMimeType = QStringLiteral("image/bmp");
        image->SetWidth(static_cast<float>(std::trunc(100 * picture.width() * kMmPerInchF / g_nScreenDpiX) / 100));
        image->SetHeight(static_cast<float>(std::trunc(100 * picture.height() * kMmPerInchF / g_nScreenDpiY) / 100));
        place(*image);
        CBaseProxy* proxy = AddCreatedObject(std::move(image), false);
        if (snap)
            static_cast<CImageProxy*>(proxy)->KeepImageAspect(true);
    }
}

void CChildView::ReleaseCreationDrag(QMouseEvent* event, QPoint point)
{
    CEditStatus& status = EditStatus();
    status.m_currentPoint = point;
    const bool inside = point.x() > 0 && point.x() < width() && point.y() > 0 && point.y() < height();
    if (inside && !InDeadZone()) {
        const QPoint s = GestureStart();
        const bool snap = m_pLabelData && m_pLabelData->m_bSnapToGrid;
        if (status.m_nTool == ToolLine) {
            const QPoint a = Mapping().ToClick(s);
            const QPoint b = Mapping().ToClick(point);
            float x1 = PixelsToMm(a.x(), g_nScreenDpiX), y1 = PixelsToMm(a.y(), g_nScreenDpiY);
            float x2 = PixelsToMm(b.x(), g_nScreenDpiX), y2 = PixelsToMm(b.y(), g_nScreenDpiY);
            if (snap) {
                std::tie(x1, y1) = m_pLabelData->SnapPointToGrid(x1, y1);
                std::tie(x2, y2) = m_pLabelData->SnapPointToGrid(x2, y2);
            }
            m_bCtrlDrag = event->modifiers() & Qt::ControlModifier;
            // Straightened as the preview showed it: the larger of the two extents wins.
            if (StraightensLine()) {
                if (StraightLineEnd(s, point).x() == s.x())
                    x2 = x1;
                else
                    y2 = y1;
            }
            auto line = std::make_unique<CLineGraph>();
            line->m_fX1 = x1;
            line->m_fY1 = y1;
            line->m_fX2 = x2;
            line->m_fY2 = y2;
            line->m_bHorzVertOnly = CGlobalSettings::GetInstance()->m_bCreateAsHVLine;
            AddCreatedObject(std::move(line), false);
        } else {
            const QPoint corner = Mapping().ToClick(QPoint(std::min(s.x(), point.x()), std::min(s.y(), point.y())));
            const int w = static_cast<int>(std::abs(point.x() - s.x()) / m_fZoom);
            const int h = static_cast<int>(std::abs(point.y() - s.y()) / m_fZoom);
            std::unique_ptr<CBaseGraph> shape;
            if (status.m_nTool == ToolEllipse)
                shape = std::make_unique<CEllipseGraph>();
            else
                shape = std::make_unique<CRectangleGraph>();
            float x = PixelsToMm(corner.x(), g_nScreenDpiX), y = PixelsToMm(corner.y(), g_nScreenDpiY);
            float sw = PixelsToMm(w, g_nScreenDpiX), sh = PixelsToMm(h, g_nScreenDpiY);
            if (snap) {
                std::tie(x, y) = m_pLabelData->SnapPointToGrid(x, y);
                std::tie(sw, sh) = m_pLabelData->SnapPointToGrid(sw, sh);
            }
            shape->SetX(x);
            shape->SetY(y);
            shape->SetWidth(sw);
            shape->SetHeight(sh);
            AddCreatedObject(std::move(shape), false);
        }
    }
    EndCreation(event->modifiers() & Qt::ControlModifier);
}

void CChildView::FinishPolygon()
{
    CEditStatus& status = EditStatus();
    if (status.m_polygonPoints.size() >= 3) {
        auto polygon = std::make_unique<CPolygonGraph>();
        const CanvasMapping mapping = Mapping();
        for (const QPoint& p : status.m_polygonPoints) {
            const QPointF mm = mapping.OriginToMillimetres(p);
            polygon->m_points.emplace_back(TruncateToHundredths(static_cast<float>(mm.x())),
                                           TruncateToHundredths(static_cast<float>(mm.y())));
        }
        polygon->RecalcBounds();
        AddCreatedObject(std::move(polygon), false);
    }
    status.m_bPolygon = false;
    status.m_polygonPoints.clear();
    EndCreation(false);
}

bool CChildView::StraightensLine() const
{
    return CGlobalSettings::GetInstance()->m_bCreateAsHVLine || m_bCtrlDrag;
}

QPoint StraightLineEnd(QPoint start, QPoint end)
{
    const QPoint d = end - start;
    return std::abs(d.y()) > std::abs(d.x()) ? QPoint(start.x(), end.y()) : QPoint(end.x(), start.y());
}

void CChildView::DrawCreation(QPainter& painter)
{
    const CEditStatus& status = EditStatus();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(CanvasPen(PenBlack));
    painter.setBrush(Qt::NoBrush);
    if (status.m_bPolygon) {
        // The points so far solid, the segment to the mouse dashed.
        if (!status.m_polygonPoints.isEmpty()) {
            painter.drawPolyline(QPolygon(status.m_polygonPoints));
            painter.setPen(CanvasPen(PenDashBlack));
            painter.drawLine(status.m_polygonPoints.back(), status.m_lastMouse);
        }
    } else if (InDeadZone()) {
        // Nothing until the drag has started.
    } else if (status.m_nTool == ToolLine) {
        const QPoint s = GestureStart();
        painter.drawLine(s, StraightensLine() ? StraightLineEnd(s, status.m_currentPoint) : status.m_currentPoint);
    } else {
        // Corners at the press and at the mouse, the outline through both.
        const QPoint s = GestureStart(), p = status.m_currentPoint;
        const QRect box(std::min(s.x(), p.x()), std::min(s.y(), p.y()), std::abs(p.x() - s.x()),
                        std::abs(p.y() - s.y()));
        if (status.m_nTool == ToolEllipse)
            painter.drawEllipse(box);
        else
            painter.drawRect(box);
    }
    painter.restore();
}
