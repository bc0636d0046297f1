#include "ScreenDataView.h"

#include "app/UiServices.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kFormHandleSize = 8;
// The name search gives up here and leaves the name empty.
constexpr int kLastNameNumber = 2013;

const QCursor& SharedCursor(SettingsCursor which)
{
    return CGlobalSettings::GetInstance()->GetCursor(which);
}

QString KindPrefix(int kind)
{
    switch (kind) {
    case SDStaticText: return QStringLiteral("Label");
    case SDTextBox: return QStringLiteral("Text");
    case SDDropDownList: return QStringLiteral("ComboBox");
    default: return QStringLiteral("Date");
    }
}

QRect ItemBox(const CSDGraph& item) { return QRect(item.m_nX, item.m_nY, item.m_nWidth, item.m_nHeight); }

} // namespace

CScreenDataView::CScreenDataView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(SharedCursor(CursorArrow));
}

CScreenDataView::~CScreenDataView() = default;

void CScreenDataView::LoadForm()
{
    m_items.clear();
    m_selection.clear();
    m_pCurrent = nullptr;
    if (!m_pLabelData)
        return;
    m_strCaption = m_pLabelData->m_strFormCaption;
    // A damaged file may hold any size; the drawing works within a screen's.
    m_nFormWidth = std::clamp(m_pLabelData->m_nFormWidth, 1, kMaxFormSize);
    m_nFormHeight = std::clamp(m_pLabelData->m_nFormHeight, 1, kMaxFormSize);
    for (const auto& item : m_pLabelData->m_formItems) {
        if (auto copy = item ? item->Clone() : nullptr)
            m_items.push_back(std::move(copy));
    }
    update();
}

void CScreenDataView::StoreForm()
{
    if (!m_pLabelData)
        return;
    m_pLabelData->m_strFormCaption = m_strCaption;
    m_pLabelData->m_nFormWidth = m_nFormWidth;
    m_pLabelData->m_nFormHeight = m_nFormHeight;
    m_pLabelData->m_formItems = std::move(m_items);
    m_items.clear();
    m_selection.clear();
    m_pCurrent = nullptr;
}

void CScreenDataView::SetTool(int tool)
{
    m_nTool = tool;
    setCursor(SharedCursor(tool == SDToolSelect ? CursorArrow : CursorCross));
    update();
    Q_EMIT ToolChanged(tool);
}

void CScreenDataView::SelectByName(const QString& name)
{
    m_selection.clear();
    m_pCurrent = nullptr;
    if (!name.isEmpty()) {
        for (const auto& item : m_items) {
            if (item->m_strName == name) {
                m_selection.push_back(item.get());
                m_pCurrent = item.get();
                break;
            }
        }
    }
    update();
}

bool CScreenDataView::IsNameUsed(const QString& name, const CSDGraph* except) const
{
    return std::any_of(m_items.begin(), m_items.end(), [&](const auto& item) {
        return item.get() != except && item->m_strName == name;
    });
}

QString CScreenDataView::NextName(int kind)
{
    int& counter = m_counters[size_t(std::clamp(kind, 0, 3))];
    ++counter;
    for (int n = counter; n < kLastNameNumber; ++n) {
        const QString name = QString::asprintf("%s%d", qPrintable(KindPrefix(kind)), n);
        if (!IsNameUsed(name))
            return name;
    }
    return QString();
}

bool CScreenDataView::IsSelected(const CSDGraph* item) const
{
    return std::find(m_selection.begin(), m_selection.end(), item) != m_selection.end();
}

std::array<QRect, 3> CScreenDataView::FormHandles() const
{
    const QSize size(kFormHandleSize, kFormHandleSize);
    return {QRect(QPoint(m_nFormWidth - 6, (m_nFormHeight - 8) / 2), size),
            QRect(QPoint(m_nFormWidth - 6, m_nFormHeight - 6), size),
            QRect(QPoint((m_nFormWidth - 8) / 2, m_nFormHeight - 6), size)};
}

void CScreenDataView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const int w = m_nFormWidth;
    const int h = m_nFormHeight;

    p.save();
    p.translate(kFormOffset, kFormOffset);
    p.fillRect(QRect(0, 0, w, h), QColor(0xF0, 0xF0, 0xF0));
    const QRect captionBar(3, 3, w - 6, kCaptionHeight);
    p.fillRect(captionBar, QColor(0xBF, 0xCD, 0xDB));
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.25);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(captionBar, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_strCaption);
    p.fillRect(QRect(1, 1, w - 1, 1), Qt::white);
    p.fillRect(QRect(1, 1, 1, h - 1), Qt::white);
    p.fillRect(QRect(1, h - 2, w - 1, 1), QColor(0xA0, 0xA0, 0xA0));
    p.fillRect(QRect(w - 2, 0, 1, h), QColor(0xA0, 0xA0, 0xA0));
    p.fillRect(QRect(0, h - 1, w, 1), QColor(0x64, 0x64, 0x64));
    p.fillRect(QRect(w - 1, 0, 1, h - 1), QColor(0x64, 0x64, 0x64));
    if (!m_pCurrent) {
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(-2, -2, w + 2, h + 2));
    }
    p.restore();

    p.save();
    p.translate(kFormOffset, kFormOffset + kCaptionHeight);
    p.setClipRect(QRect(3, 3, w - 6, h - 29));
    for (const auto& item : m_items)
        item->Draw(p);
    p.restore();

    if (!m_pCurrent) {
        p.save();
        p.translate(kFormOffset, kFormOffset);
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        for (const QRect& handle : FormHandles())
            p.drawRect(handle.adjusted(0, 0, -1, -1));
        if (m_drag == Drag::RubberBand) {
            p.setPen(QPen(Qt::black, 1, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRect(m_dragStart, m_dragPoint).normalized());
        }
        p.restore();
    } else {
        p.save();
        p.translate(kFormOffset, kFormOffset + kCaptionHeight);
        for (CSDGraph* item : m_selection) {
            item->DrawSelection(p);
            item->DrawHandles(p);
        }
        p.restore();
    }
}

void CScreenDataView::Create(int kind, QPoint clientPoint)
{
    ClearSelection();
    auto item = CreateSDGraph(kind);
    if (!item)
        return;
    item->m_nX = clientPoint.x();
    item->m_nY = clientPoint.y();
    if (kind == SDDatePicker) {
        const QDate today = Services().CurrentDateTime().date();
        item->m_strText = QString::asprintf("%d-%d-%d", today.year(), today.month(), today.day());
    }
    item->m_strName = NextName(kind);
    m_pCurrent = item.get();
    m_selection.push_back(item.get());
    m_items.push_back(std::move(item));
    SetTool(SDToolSelect);
    Q_EMIT Changed();
}

void CScreenDataView::ClearSelection()
{
    m_selection.clear();
    m_pCurrent = nullptr;
}

void CScreenDataView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint form = event->position().toPoint() - QPoint(kFormOffset, kFormOffset);
    const QPoint client = form - QPoint(0, kCaptionHeight);
    if (event->button() == Qt::RightButton) {
        SetTool(SDToolSelect);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (m_nTool != SDToolSelect) {
        Create(m_nTool - SDToolStatic, client);
        return;
    }
    m_dragStart = m_dragPoint = form;
    for (CSDGraph* item : m_selection) {
        item->UpdateHandles();
        for (size_t i = 0; i < item->m_handles.size(); ++i) {
            if (item->m_bHandleEnabled[i] && item->m_handles[i].contains(client)) {
                m_drag = Drag::ResizingItem;
                m_pResizeItem = item;
                m_nResizeHandle = int(i);
                item->SaveRect();
                return;
            }
        }
    }
    if (!m_pCurrent) {
        const auto handles = FormHandles();
        for (size_t i = 0; i < handles.size(); ++i) {
            if (handles[i].contains(form)) {
                m_drag = Drag::ResizingForm;
                m_nResizeHandle = int(i);
                return;
            }
        }
    }
    const auto hit = std::find_if(m_items.begin(), m_items.end(),
                                  [&](const auto& item) { return ItemBox(*item).contains(client); });
    if (hit != m_items.end()) {
        CSDGraph* item = hit->get();
        if (!IsSelected(item)) {
            if (!(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
                m_selection.clear();
            m_selection.push_back(item);
            m_pCurrent = item;
            update();
            Q_EMIT Changed();
        }
        for (CSDGraph* selected : m_selection)
            selected->SaveRect();
        m_drag = Drag::Moving;
        setCursor(SharedCursor(CursorSizeAll));
        return;
    }
    ClearSelection();
    update();
    Q_EMIT Changed();
    m_drag = Drag::RubberBand;
}

void CScreenDataView::MoveSelection(QPoint travel)
{
    if (std::abs(travel.x()) < kMoveThreshold && std::abs(travel.y()) < kMoveThreshold)
        return;
    for (CSDGraph* item : m_selection) {
        item->m_nX = item->m_savedRect.x() + travel.x();
        item->m_nY = item->m_savedRect.y() + travel.y();
    }
    update();
    Q_EMIT Changed();
}

void CScreenDataView::ResizeItem(QPoint formPoint, bool release)
{
    CSDGraph* item = m_pResizeItem;
    const QRect saved = item->m_savedRect;
    const QPoint travel = formPoint - m_dragStart;
    if (release && std::abs(travel.x()) < kMoveThreshold && std::abs(travel.y()) < kMoveThreshold) {
        item->m_nX = saved.x();
        item->m_nY = saved.y();
        item->m_nWidth = saved.width();
        item->m_nHeight = saved.height();
        update();
        return;
    }
    const QPoint client = formPoint - QPoint(0, kCaptionHeight);
    switch (m_nResizeHandle) {
    case 0:
        item->m_nX = client.x();
        item->m_nWidth = saved.x() + saved.width() - client.x();
        break;
    case 1:
        item->m_nY = client.y();
        item->m_nHeight = saved.y() + saved.height() - client.y();
        break;
    case 2: item->m_nWidth = client.x() - saved.x(); break;
    default: item->m_nHeight = client.y() - saved.y(); break;
    }
    if (release) {
        if (item->m_nWidth < 0) {
            item->m_nX += item->m_nWidth;
            item->m_nWidth = -item->m_nWidth;
        }
        if (item->m_nHeight < 0) {
            item->m_nY += item->m_nHeight;
            item->m_nHeight = -item->m_nHeight;
        }
    }
    update();
    Q_EMIT Changed();
}

void CScreenDataView::ResizeForm(QPoint formPoint)
{
    const QPoint p(std::clamp(formPoint.x(), kMinFormWidth, kMaxFormSize),
                   std::clamp(formPoint.y(), kMinFormHeight, kMaxFormSize));
    if (m_nResizeHandle != 2)
        m_nFormWidth = p.x();
    if (m_nResizeHandle != 0)
        m_nFormHeight = p.y();
    update();
    Q_EMIT Changed();
}

void CScreenDataView::FinishRubberBand()
{
    const QRect band = QRect(m_dragStart, m_dragPoint).normalized().translated(0, -kCaptionHeight);
    for (const auto& item : m_items) {
        if (item->IsInRect(band) && !IsSelected(item.get())) {
            m_selection.push_back(item.get());
            m_pCurrent = item.get();
        }
    }
    update();
    Q_EMIT Changed();
}

void CScreenDataView::UpdateHoverCursor(QPoint form)
{
    const QPoint client = form - QPoint(0, kCaptionHeight);
    if (m_pCurrent) {
        for (CSDGraph* item : m_selection) {
            item->UpdateHandles();
            for (size_t i = 0; i < item->m_handles.size(); ++i) {
                if (item->m_bHandleEnabled[i] && item->m_handles[i].contains(client)) {
                    setCursor(SharedCursor(i % 2 == 0 ? CursorSizeWE : CursorSizeNS));
                    return;
                }
            }
        }
    } else {
        const auto handles = FormHandles();
        const SettingsCursor cursors[] = {CursorSizeWE, CursorSizeNWSE, CursorSizeNS};
        for (size_t i = 0; i < handles.size(); ++i) {
            if (handles[i].contains(form)) {
                setCursor(SharedCursor(cursors[i]));
                return;
            }
        }
    }
    setCursor(SharedCursor(CursorArrow));
}

void CScreenDataView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint form = event->position().toPoint() - QPoint(kFormOffset, kFormOffset);
    m_dragPoint = form;
    switch (m_drag) {
    case Drag::None:
        if (m_nTool == SDToolSelect)
            UpdateHoverCursor(form);
        break;
    case Drag::Moving: MoveSelection(form - m_dragStart); break;
    case Drag::ResizingItem: ResizeItem(form, false); break;
    case Drag::ResizingForm: ResizeForm(form); break;
    case Drag::RubberBand: update(); break;
    }
}

void CScreenDataView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_drag == Drag::None)
        return;
    const QPoint form = event->position().toPoint() - QPoint(kFormOffset, kFormOffset);
    m_dragPoint = form;
    const Drag drag = m_drag;
    m_drag = Drag::None;
    switch (drag) {
    case Drag::Moving:
        MoveSelection(form - m_dragStart);
        setCursor(SharedCursor(CursorArrow));
        break;
    case Drag::ResizingItem: ResizeItem(form, true); break;
    case Drag::ResizingForm: ResizeForm(form); break;
    case Drag::RubberBand: FinishRubberBand(); break;
    case Drag::None: break;
    }
    m_pResizeItem = nullptr;
    m_nResizeHandle = -1;
}

void CScreenDataView::DeleteSelection()
{
    std::erase_if(m_items, [this](const auto& item) { return IsSelected(item.get()); });
    ClearSelection();
    update();
    Q_EMIT Changed();
}

void CScreenDataView::keyPressEvent(QKeyEvent* event)
{
    QPoint step;
    switch (event->key()) {
    case Qt::Key_Left: step = QPoint(-1, 0); break;
    case Qt::Key_Right: step = QPoint(1, 0); break;
    case Qt::Key_Up: step = QPoint(0, -1); break;
    case Qt::Key_Down: step = QPoint(0, 1); break;
    case Qt::Key_Delete:
        if (m_pCurrent)
            DeleteSelection();
        return;
    default: QWidget::keyPressEvent(event); return;
    }
    if (!m_pCurrent)
        return;
    for (CSDGraph* item : m_selection) {
        item->m_nX += step.x();
        item->m_nY += step.y();
    }
    update();
    Q_EMIT Changed();
}
