#include "model/SDGraph.h"

#include <QFont>
#include <QPainter>
#include <QPolygon>

namespace {

constexpr int kHandleSize = 6;
constexpr int kDropDownButton = 13;
const QColor kBlack(0, 0, 0);
const QColor kGrey(0x80, 0x80, 0x80);
const QColor kWhite(0xFF, 0xFF, 0xFF);

template <typename T> std::unique_ptr<CSDGraph> CloneAs(const T& source)
{
    auto copy = std::make_unique<T>();
    copy->CopyFrom(source);
    return copy;
}

} // namespace

CSDGraph::CSDGraph()
{
    for (QRect& box : m_handles)
        box = QRect(0, 0, kHandleSize, kHandleSize);
}

CSDGraph::CSDGraph(int32_t kind) : CSDGraph() { m_nKind = kind; }

void CSDGraph::SaveRect() { m_savedRect = QRect(m_nX, m_nY, m_nWidth, m_nHeight); }

bool CSDGraph::IsInRect(const QRect& r) const
{
    const auto inside = [&r](int64_t px, int64_t py) {
        return px >= r.left() && py >= r.top() && px < int64_t(r.left()) + r.width()
               && py < int64_t(r.top()) + r.height();
    };
    const int64_t right = int64_t(m_nX) + m_nWidth;
    const int64_t bottom = int64_t(m_nY) + m_nHeight;
    return inside(m_nX, m_nY) && inside(right, m_nY) && inside(right, bottom) && inside(m_nX, bottom);
}

void CSDGraph::UpdateHandles()
{
    m_handles[0].moveTo(m_nX - kHandleSize, m_nY + m_nHeight / 2 - 3);
    m_handles[1].moveTo(m_nX + m_nWidth / 2 - 3, m_nY - kHandleSize);
    m_handles[2].moveTo(m_nX + m_nWidth, m_nY + m_nHeight / 2 - 3);
    m_handles[3].moveTo(m_nX + m_nWidth / 2 - 3, m_nY + m_nHeight);
    for (QRect& box : m_handles)
        box.setSize(QSize(kHandleSize, kHandleSize));
}

void CSDGraph::DrawSelection(QPainter& graphics) const
{
    graphics.save();
    graphics.setRenderHint(QPainter::Antialiasing, false);
    graphics.setPen(QPen(kGrey, 1, Qt::DotLine));
    graphics.setBrush(Qt::NoBrush);
    graphics.drawRect(QRectF(m_nX - 3, m_nY - 3, m_nWidth + 6, m_nHeight + 6));
    graphics.restore();
}

void CSDGraph::DrawHandles(QPainter& graphics)
{
    UpdateHandles();
    graphics.save();
    graphics.setRenderHint(QPainter::Antialiasing, false);
    graphics.setPen(QPen(kBlack, 1));
    graphics.setBrush(kWhite);
    for (size_t i = 0; i < m_handles.size(); ++i) {
        if (m_bHandleEnabled[i])
            graphics.drawRect(QRectF(m_handles[i]));
    }
    graphics.restore();
}

void CSDGraph::CopyFrom(const CSDGraph& other)
{
    m_strName = other.m_strName;
    m_nX = other.m_nX;
    m_nY = other.m_nY;
    m_nWidth = other.m_nWidth;
    m_nHeight = other.m_nHeight;
    m_strText = other.m_strText;
}

void CSDGraph::Draw(QPainter&) const {}

// Black "Arial" 9.25 pt at the near edge, centred vertically in the item's height. A
// layout width of 0 places the text without a width limit, as the drop-down list of
// a very narrow item does.
void CSDGraph::DrawText(QPainter& graphics, int32_t layoutWidth, bool wrap) const
{
    graphics.save();
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.25);
    graphics.setFont(font);
    graphics.setPen(kBlack);
    int flags = Qt::AlignLeft | Qt::AlignVCenter;
    if (wrap)
        flags |= Qt::TextWordWrap;
    if (layoutWidth > 0) {
        const QRectF box(m_nX, m_nY, layoutWidth, m_nHeight);
        graphics.setClipRect(box, Qt::IntersectClip);
        graphics.drawText(box, flags, m_strText);
    } else {
        graphics.drawText(QRectF(m_nX, m_nY, 0, m_nHeight), flags | Qt::TextDontClip, m_strText);
    }
    graphics.restore();
}

void CSDGraph::DrawInputBox(QPainter& graphics) const
{
    graphics.save();
    graphics.setRenderHint(QPainter::Antialiasing, false);
    graphics.fillRect(QRectF(m_nX, m_nY, m_nWidth, m_nHeight), kWhite);
    graphics.setPen(QPen(kGrey, 1));
    graphics.setBrush(Qt::NoBrush);
    graphics.drawRect(QRectF(m_nX, m_nY, m_nWidth, m_nHeight));
    graphics.restore();
}

void CSDGraph::DrawDropDown(QPainter& graphics) const
{
    DrawInputBox(graphics);
    const int ax = m_nX + m_nWidth - kDropDownButton;
    const int ay = static_cast<int>(static_cast<float>(m_nY) + static_cast<float>(m_nHeight) * 0.5f - 2.0f);
    graphics.save();
    graphics.setRenderHint(QPainter::Antialiasing, false);
    graphics.setPen(Qt::NoPen);
    graphics.setBrush(kBlack);
    graphics.drawPolygon(QPolygon({QPoint(ax, ay), QPoint(ax + 8, ay), QPoint(ax + 4, ay + 4)}));
    graphics.restore();
    DrawText(graphics, std::max(0, m_nWidth - kDropDownButton), false);
}

CStaticSDGraph::CStaticSDGraph() : CSDGraph(SDStaticText)
{
    m_nWidth = 60;
    m_nHeight = 20;
    m_strText = QStringLiteral("Label");
}

std::unique_ptr<CSDGraph> CStaticSDGraph::Clone() const { return CloneAs(*this); }

void CStaticSDGraph::Draw(QPainter& graphics) const { DrawText(graphics, m_nWidth, true); }

CEditSDGraph::CEditSDGraph() : CSDGraph(SDTextBox) {}

std::unique_ptr<CSDGraph> CEditSDGraph::Clone() const { return CloneAs(*this); }

void CEditSDGraph::CopyFrom(const CSDGraph& other)
{
    CSDGraph::CopyFrom(other);
    if (const auto* edit = dynamic_cast<const CEditSDGraph*>(&other))
        m_bMultiLine = edit->m_bMultiLine;
}

void CEditSDGraph::Draw(QPainter& graphics) const
{
    DrawInputBox(graphics);
    DrawText(graphics, m_nWidth, true);
}

CComboSDGraph::CComboSDGraph() : CSDGraph(SDDropDownList) {}

std::unique_ptr<CSDGraph> CComboSDGraph::Clone() const { return CloneAs(*this); }

void CComboSDGraph::CopyFrom(const CSDGraph& other)
{
    CSDGraph::CopyFrom(other);
    if (const auto* combo = dynamic_cast<const CComboSDGraph*>(&other)) {
        m_nListValue1 = combo->m_nListValue1;
        m_entries += combo->m_entries;
    }
}

void CComboSDGraph::Draw(QPainter& graphics) const { DrawDropDown(graphics); }

CDateSDGraph::CDateSDGraph() : CSDGraph(SDDatePicker) { m_strText = QStringLiteral("2000-1-1"); }

std::unique_ptr<CSDGraph> CDateSDGraph::Clone() const { return CloneAs(*this); }

void CDateSDGraph::Draw(QPainter& graphics) const { DrawDropDown(graphics); }

std::unique_ptr<CSDGraph> CreateSDGraph(int32_t kind)
{
    switch (kind) {
    case SDStaticText:
        return std::make_unique<CStaticSDGraph>();
    case SDTextBox:
        return std::make_unique<CEditSDGraph>();
    case SDDropDownList:
        return std::make_unique<CComboSDGraph>();
    case SDDatePicker:
        return std::make_unique<CDateSDGraph>();
    default:
        return nullptr;
    }
}
