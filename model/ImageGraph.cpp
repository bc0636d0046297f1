#include "model/ImageGraph.h"

#include "platform/Drawing.h"

CImageGraph::CImageGraph()
{
    m_nKind = KindImage;
    m_strName = QStringLiteral("Image1");
}

void CImageGraph::Draw(QPainter& graphics) const
{
    if (!m_pImage || m_pImage->IsEmpty())
        return;
    const CDrawFrame frame(*this, graphics);
    // A label file may hold a box with a negative width or height (the property dialog
    // once took one): the picture fills the box its corners span, upright, never beyond.
    const QRectF box = frame.Box().normalized();
    const bool smooth = graphics.testRenderHint(QPainter::SmoothPixmapTransform);
    graphics.setRenderHint(QPainter::SmoothPixmapTransform, true);
    graphics.drawImage(box, m_pImage->DrawnImage(DevicePixels(graphics, box.size())));
    graphics.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

std::unique_ptr<CBaseGraph> CImageGraph::Clone() const
{
    auto copy = std::make_unique<CImageGraph>();
    copy->CopyFrom(*this);
    return copy;
}

void CImageGraph::CopyFrom(const CBaseGraph& source)
{
    CBaseGraph::CopyFrom(source);
    const auto* image = dynamic_cast<const CImageGraph*>(&source);
    if (!image || image == this)
        return;
    m_nSourceKind = image->m_nSourceKind;
    m_strFileName = image->m_strFileName;
    m_strMimeType = image->m_strMimeType;
    m_strDataSource = image->m_strDataSource;
    m_strFieldName = image->m_strFieldName;
    m_strSuffix = image->m_strSuffix;
    m_strPrefix = image->m_strPrefix;
    m_nSizeMode = image->m_nSizeMode;
    m_nErrorHandling = image->m_nErrorHandling;
    m_pImage = image->m_pImage ? std::make_unique<ImageHolder>(*image->m_pImage) : nullptr;
}
