#pragma once

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "editor/BaseProxy.h"
#include "editor/UndoRedo.h"
#include "model/BarcodeGraph.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "platform/Archive.h"
#include "platform/ScreenDpi.h"

#include <QImage>
#include <QPainter>
#include <memory>

// Sets the screen resolution for one test and puts the old one back.
class ScopedDpi
{
public:
    explicit ScopedDpi(int dpi)
        : m_x(g_nScreenDpiX), m_y(g_nScreenDpiY)
    {
        g_nScreenDpiX = g_nScreenDpiY = dpi;
    }
    ~ScopedDpi()
    {
        g_nScreenDpiX = m_x;
        g_nScreenDpiY = m_y;
    }

private:
    int m_x, m_y;
};

template <class G>
std::unique_ptr<G> MakeBox(float x, float y, float w, float h)
{
    auto object = std::make_unique<G>();
    object->m_fX = x;
    object->m_fY = y;
    object->m_fWidth = w;
    object->m_fHeight = h;
    return object;
}

inline std::unique_ptr<CBarcodeGraph> MakeBarcode(int code, const QString& content)
{
    auto object = std::make_unique<CBarcodeGraph>();
    object->m_pBarcodeImpl = CreateBarcodeImpl(code);
    CBarcodeImpl& impl = *object->m_pBarcodeImpl;
    impl.GetSettings()->m_strContent = content;
    impl.BuildBars();
    impl.BuildBarsFromText();
    impl.CalcSize();
    object->m_fWidth = impl.GetSettings()->m_fWidth;
    object->m_fHeight = impl.GetSettings()->m_fHeight;
    return object;
}

// The objects as the label file writes them.
inline QByteArray ObjectBytes(const ProxyList& proxies)
{
    ObjectList objects;
    for (const auto& proxy : proxies)
        objects.push_back(proxy->GetObject()->Clone());
    CDocWriterV1_0 writer;
    writer.m_pCurObjects = &objects;
    CArchiveWriter ar;
    WriteObjectList(ar, writer);
    return ar.Data();
}

inline std::unique_ptr<CLineGraph> MakeLine(float x1, float y1, float x2, float y2)
{
    auto line = std::make_unique<CLineGraph>();
    line->m_fX1 = x1;
    line->m_fY1 = y1;
    line->m_fX2 = x2;
    line->m_fY2 = y2;
    return line;
}

inline std::unique_ptr<CPolygonGraph> MakePolygon(std::vector<QPointF> points)
{
    auto polygon = std::make_unique<CPolygonGraph>();
    polygon->m_points = std::move(points);
    polygon->RecalcBounds();
    return polygon;
}

// Lays the handles out as the canvas's painting would.
inline void PlaceHandles(CBaseProxy& proxy, bool current = true, bool rotate = false)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    QPainter painter(&image);
    proxy.DrawHandles(painter, current, rotate);
}

inline QPoint HandleCentre(const CBaseProxy& proxy, int handle)
{
    return proxy.GetHandleRect(handle).topLeft() + QPoint(3, 3);
}

// A canvas without a window: the lists, the title and the notifications counted.
class FakeCanvas : public CChildViewUndoRedoProxy
{
public:
    void UpdateTitle() override { title = modifiedSource && *modifiedSource ? "label *" : "label"; }
    ProxyList& GetObjectList() override { return objects; }
    ProxySelection& GetSelection() override { return selection; }
    CBaseProxy*& GetCurrentObjectRef() override { return current; }
    void NotifyObjectsChanged() override { ++paneUpdates; }
    void RepaintView() override { ++repaints; }
    void OnFontSizeChanged() override { ++fontSizeChanges; }

    CBaseProxy* Add(std::unique_ptr<CBaseGraph> object)
    {
        objects.push_back(CreateProxy(std::move(object)));
        objects.back()->m_pCanvas = this;
        return objects.back().get();
    }

    ProxyList objects;
    ProxySelection selection;
    CBaseProxy* current = nullptr;
    const bool* modifiedSource = nullptr;
    QString title = "label";
    int paneUpdates = 0;
    int repaints = 0;
    int fontSizeChanges = 0;
};
