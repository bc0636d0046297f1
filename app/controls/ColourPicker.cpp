#include "app/controls/ColourPicker.h"

#include "app/UiServices.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>

namespace {

struct NamedColour
{
    uint8_t r, g, b;
    const char* name;
};

constexpr NamedColour kTable[CColourPopup::kColours] = {
    {0, 0, 0, "Black"},           {165, 42, 0, "Brown"},         {0, 64, 64, "Dark Olive Green"},
    {0, 85, 0, "Dark Green"},     {0, 0, 94, "Dark Teal"},       {0, 0, 139, "Dark blue"},
    {75, 0, 130, "Indigo"},       {40, 40, 40, "Dark grey"},     {139, 0, 0, "Dark red"},
    {255, 104, 32, "Orange"},     {139, 139, 0, "Dark yellow"},  {0, 147, 0, "Green"},
    {56, 142, 142, "Teal"},       {0, 0, 255, "Blue"},           {123, 123, 192, "Blue-grey"},
    {102, 102, 102, "Grey - 40"}, {255, 0, 0, "Red"},            {255, 173, 91, "Light orange"},
    {50, 205, 50, "Lime"},        {60, 179, 113, "Sea green"},   {127, 255, 212, "Aqua"},
    {125, 158, 192, "Light blue"}, {128, 0, 128, "Violet"},      {127, 127, 127, "Grey - 50"},
    {255, 192, 203, "Pink"},      {255, 215, 0, "Gold"},         {255, 255, 0, "Yellow"},
    {0, 255, 0, "Bright green"},  {64, 224, 208, "Turquoise"},   {192, 255, 255, "Skyblue"},
    {72, 0, 72, "Plum"},          {192, 192, 192, "Light grey"}, {255, 228, 225, "Rose"},
    {210, 180, 140, "Tan"},       {255, 255, 224, "Light yellow"}, {152, 251, 152, "Pale green "},
    {175, 238, 238, "Pale turquoise"}, {104, 131, 139, "Pale blue"}, {230, 230, 250, "Lavender"},
    {255, 255, 255, "White"},
};

// Two colours are the same colour when both are "no colour" or both have the same
// red, green and blue.
bool SameColour(const QColor& a, const QColor& b)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    return a.rgb() == b.rgb();
}

} // namespace

QColor ArgbToPickerColour(uint32_t argb)
{
    if ((argb >> 24) == 0)
        return QColor();
    return QColor::fromRgb(argb | 0xFF000000u);
}

uint32_t PickerColourToArgb(const QColor& colour)
{
    if (!colour.isValid())
        return 0x00FFFFFFu;
    return 0xFF000000u | (colour.rgb() & 0x00FFFFFFu);
}

// ---- CColourPicker ------------------------------------------------------------------

CColourPicker::CColourPicker(QWidget* parent)
    : QPushButton(parent),
      m_crColourBk(palette().color(QPalette::Button)),
      m_crColourText(palette().color(QPalette::ButtonText))
{
    // A click leaves the keyboard focus where it was, so that picking a colour does not move
    // Return and Esc into the pane around the picker, which keeps them from the dialog;
    // Tab still reaches the picker, and Space opens it.
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QPushButton::clicked, this, &CColourPicker::OpenPopup);
}

void CColourPicker::SetColour(const QColor& colour)
{
    (m_nMode == ModeText ? m_crColourText : m_crColourBk) = colour;
    update();
}

QColor CColourPicker::GetColour() const
{
    return m_nMode == ModeText ? m_crColourText : m_crColourBk;
}

QSize CColourPicker::sizeHint() const
{
    const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return QSize(std::max(4 * arrow, 2 * (arrow + 2) + fontMetrics().horizontalAdvance(m_strDefaultText) + 8),
                 std::max(arrow + 4, fontMetrics().height() + 8));
}

void CColourPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool pushed = isDown() || m_bPopupActive;
    QRect box = rect();
    // Sunken frame, then the arrow at the right.
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = box;
    frame.lineWidth = 2;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
    const int edge = 2;
    const int arrowWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QRect arrowRect(box.width() - arrowWidth - edge, edge, arrowWidth, box.height() - 2 * edge);
    QStyleOptionButton button;
    button.initFrom(this);
    button.rect = arrowRect;
    button.state |= pushed ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &button, &painter, this);
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = arrowRect.adjusted(3, 3, -3, -3).translated(pushed ? 1 : 0, pushed ? 1 : 0);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);

    // The swatch fills the rest, button face when disabled or without a colour.
    box.adjust(edge + 1, edge + 1, -(edge + arrowWidth + 1), -edge);
    const QColor swatch = m_crColourBk.isValid() && isEnabled() ? m_crColourBk : palette().color(QPalette::Button);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(swatch);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    if (!GetColour().isValid() && !m_strDefaultText.isEmpty()) {
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, m_strDefaultText);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = box.adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void CColourPicker::OpenPopup()
{
    if (m_bPopupActive)
        return;
    m_bPopupActive = true;
    m_popup = new CColourPopup(mapToGlobal(QPoint(0, height())), GetColour(), this, m_strDefaultText,
                               m_strCustomText);
    update();
    Q_EMIT popupOpened(GetColour());
}

void CColourPicker::OnSelEndOK(const QColor& colour)
{
    m_bPopupActive = false;
    m_popup = nullptr;
    const QColor before = GetColour();
    SetColour(colour);
    Q_EMIT popupClosed(colour);
    Q_EMIT colourAccepted(colour);
    if (!SameColour(colour, before))
        Q_EMIT colourChanged(colour);
}

void CColourPicker::OnSelEndCancel(const QColor& colour)
{
    m_bPopupActive = false;
    m_popup = nullptr;
    SetColour(colour);
    Q_EMIT popupClosed(colour);
    Q_EMIT selectionCancelled(colour);
}

void CColourPicker::ChooseCustomColour(const QColor& initial)
{
    m_popup = nullptr;
    // The dialog belongs to the picker's window, so that F1 in it shows that window's page;
    // the picker may go while it runs (its window closed from elsewhere).
    const QPointer<CColourPicker> self(this);
    const QColor chosen = Services().GetColor(this, initial);
    if (!self)
        return;
    if (chosen.isValid())
        OnSelEndOK(QColor(chosen.rgb()));
    else
        OnSelEndCancel(initial);
}

void CColourPicker::OnSelChange(const QColor& colour)
{
    if (m_bTrackSelection)
        SetColour(colour);
    Q_EMIT colourChanged(colour);
}

// ---- CColourPopup -------------------------------------------------------------------

QColor CColourPopup::TableColour(int index)
{
    return QColor(kTable[index].r, kTable[index].g, kTable[index].b);
}

QString CColourPopup::TableName(int index)
{
    return QString::fromLatin1(kTable[index].name);
}

CColourPopup::CColourPopup(const QPoint& topLeft, const QColor& colour, CColourPicker* picker,
                           const QString& defaultText, const QString& customText)
    : QWidget(picker, Qt::Popup),
      m_picker(picker),
      m_strDefaultText(defaultText),
      m_strCustomText(customText),
      m_crInitialColour(colour),
      m_crColour(colour)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    if (m_nBoxSize - 2 * m_nMargin - 2 < 5)
        m_nBoxSize = 2 * m_nMargin + 7;
    Layout(topLeft);

    if (!colour.isValid() && HasDefault()) {
        m_nChosenColourSel = kDefaultBox;
    } else {
        m_nChosenColourSel = HasCustom() ? kCustomBox : kNone;
        for (int i = 0; i < kColours; ++i) {
            if (colour.isValid() && SameColour(TableColour(i), colour)) {
                m_nChosenColourSel = i;
                break;
            }
        }
    }
    m_nCurrentSel = m_nChosenColourSel;
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            EndSelection(false);
    });
    show();
    setFocus();
}

void CColourPopup::Layout(const QPoint& topLeft)
{
    QSize text;
    if (HasDefault() || HasCustom()) {
        const QFontMetrics metrics = fontMetrics();
        text = QSize(std::max(metrics.horizontalAdvance(m_strDefaultText), metrics.horizontalAdvance(m_strCustomText)),
                     metrics.height());
        text = QSize(text.width() + 2 * m_nMargin, text.height() + 4 * m_nMargin + 2);
    }
    int width = kColumns * m_nBoxSize + 2 * m_nMargin;
    int height = Rows() * m_nBoxSize + 2 * m_nMargin;
    if (HasDefault()) {
        width = std::max(width, text.width());
        m_defaultTextRect = QRect(QPoint(m_nMargin, m_nMargin), QPoint(width - m_nMargin - 1, 2 * m_nMargin + text.height() - 1));
        height += m_defaultTextRect.height() + 2 * m_nMargin;
    }
    if (HasCustom()) {
        width = std::max(width, text.width());
        m_customTextRect = QRect(m_nMargin, height, width - 2 * m_nMargin, text.height());
        height += m_customTextRect.height() + 2 * m_nMargin;
    }
    // Keep the popup on the screen; near the bottom it opens above the button.
    QRect window(topLeft, QSize(width, height));
    const QScreen* screen = QGuiApplication::screenAt(topLeft);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        if (window.right() > area.right())
            window.moveRight(area.right());
        if (window.left() < area.left())
            window.moveLeft(area.left());
        if (window.bottom() > area.bottom())
            window.moveBottom(m_picker->mapToGlobal(QPoint(0, 0)).y() - 1);
    }
    setGeometry(window);
}

QRect CColourPopup::CellRect(int index) const
{
    if (index == kDefaultBox)
        return m_defaultTextRect;
    if (index == kCustomBox)
        return m_customTextRect;
    const int top = HasDefault() ? m_defaultTextRect.height() + m_nMargin : 0;
    return QRect((index % kColumns) * m_nBoxSize + m_nMargin, (index / kColumns) * m_nBoxSize + m_nMargin + top,
                 m_nBoxSize, m_nBoxSize);
}

void CColourPopup::DrawCell(QPainter& painter, int index)
{
    const QRect box = CellRect(index);
    const QPalette& pal = palette();
    const bool current = index == m_nCurrentSel;
    const bool chosen = index == m_nChosenColourSel;
    painter.fillRect(box, chosen && !current ? pal.color(QPalette::Light) : pal.color(QPalette::Button));
    if (current || chosen) {
        // Raised for the cell under the cursor, sunken for the colour of the picker.
        const QColor topLeft = current ? pal.color(QPalette::Light) : pal.color(QPalette::Dark);
        const QColor bottomRight = current ? pal.color(QPalette::Dark) : pal.color(QPalette::Light);
        const QRect r = box.adjusted(0, 0, -1, -1);
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
    if (index >= 0) {
        const int inset = m_nMargin + 1;
        painter.setPen(pal.color(QPalette::Dark));
        painter.setBrush(TableColour(index));
        painter.drawRect(box.adjusted(inset, inset, -inset - 1, -inset - 1));
        painter.setBrush(Qt::NoBrush);
        return;
    }
    painter.setPen(pal.color(QPalette::ButtonText));
    if (index == kDefaultBox) {
        painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, m_strDefaultText);
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawRect(box.adjusted(2 * m_nMargin, 2 * m_nMargin, -2 * m_nMargin - 1, -2 * m_nMargin - 1));
    } else {
        painter.drawText(box.adjusted(0, 2 * m_nMargin, 0, 0), Qt::AlignCenter | Qt::TextSingleLine, m_strCustomText);
        // An etched separator above the box.
        const int x0 = box.left() + 2 * m_nMargin;
        const int x1 = box.left() + box.width() - 2 * m_nMargin;
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawLine(x0, box.top(), x1, box.top());
        painter.setPen(pal.color(QPalette::Light));
        painter.drawLine(x0, box.top() + 1, x1, box.top() + 1);
    }
}

void CColourPopup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    if (HasDefault())
        DrawCell(painter, kDefaultBox);
    for (int i = 0; i < kColours; ++i)
        DrawCell(painter, i);
    if (HasCustom())
        DrawCell(painter, kCustomBox);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
}

int CColourPopup::HitTest(const QPoint& point) const
{
    if (HasCustom() && m_customTextRect.contains(point))
        return kCustomBox;
    if (HasDefault() && m_defaultTextRect.contains(point))
        return kDefaultBox;
    const int top = HasDefault() ? m_defaultTextRect.height() + m_nMargin : 0;
    const int x = point.x() - m_nMargin;
    const int y = point.y() - m_nMargin - top;
    if (x < 0 || y < 0)
        return kNone;
    const int row = y / m_nBoxSize;
    const int column = x / m_nBoxSize;
    if (column >= kColumns || row >= Rows())
        return kNone;
    const int index = row * kColumns + column;
    return index < kColours ? index : kNone;
}

void CColourPopup::mouseMoveEvent(QMouseEvent* event)
{
    const int index = HitTest(event->position().toPoint());
    if (index != kNone && index != m_nCurrentSel)
        ChangeSelection(index);
}

void CColourPopup::mouseReleaseEvent(QMouseEvent* event)
{
    EndSelection(rect().contains(event->position().toPoint()));
}

void CColourPopup::ChangeSelection(int index)
{
    if (index > Last())
        index = kCustomBox;
    m_nCurrentSel = index;
    update();
    QColor colour;
    if (index == kCustomBox) {
        colour = m_crInitialColour;
    } else if (index == kDefaultBox) {
        m_crColour = colour = QColor();
    } else if (index >= 0) {
        m_crColour = colour = TableColour(index);
    } else {
        return;
    }
    m_picker->OnSelChange(colour);
}

void CColourPopup::keyPressEvent(QKeyEvent* event)
{
    int sel = m_nCurrentSel;
    const int last = Last();
    const int lastRowStart = (Rows() - 1) * kColumns;
    auto boxOr = [this](bool first, int firstBox, bool second, int secondBox, int otherwise) {
        return first ? firstBox : second ? secondBox : otherwise;
    };
    switch (event->key()) {
    case Qt::Key_Down:
        if (sel >= 0) {
            sel += kColumns;
            if (sel > last)
                sel = boxOr(HasCustom(), kCustomBox, HasDefault(), kDefaultBox, 0);
        } else if (sel == kCustomBox) {
            sel = HasDefault() ? kDefaultBox : 0;
        } else {
            sel = 0;
        }
        break;
    case Qt::Key_Up:
        if (sel >= 0) {
            sel -= kColumns;
            if (sel < 0)
                sel = boxOr(HasDefault(), kDefaultBox, HasCustom(), kCustomBox,
                            std::min(lastRowStart + (sel + kColumns), last));
        } else if (sel == kDefaultBox) {
            sel = HasCustom() ? kCustomBox : last;
        } else {
            sel = last;
        }
        break;
    case Qt::Key_Right:
        if (sel >= 0) {
            ++sel;
            if (sel > last)
                sel = boxOr(HasCustom(), kCustomBox, HasDefault(), kDefaultBox, 0);
        } else if (sel == kCustomBox) {
            sel = HasDefault() ? kDefaultBox : 0;
        } else {
            sel = 0;
        }
        break;
    case Qt::Key_Left:
        if (sel > 0) {
            --sel;
        } else if (sel == 0) {
            sel = boxOr(HasDefault(), kDefaultBox, HasCustom(), kCustomBox, last);
        } else if (sel == kDefaultBox) {
            sel = HasCustom() ? kCustomBox : last;
        } else {
            sel = last;
        }
        break;
    case Qt::Key_Escape:
        EndSelection(false);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        EndSelection(true);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    ChangeSelection(sel);
}

void CColourPopup::EndSelection(bool accept)
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    CColourPicker* picker = m_picker;
    const QColor initial = m_crInitialColour;
    const QColor colour = m_crColour;
    const bool custom = accept && m_nCurrentSel == kCustomBox;
    // A shown popup takes every click and key of the program: it goes before the colour
    // dialog opens, or that dialog would get no input at all. Closing only schedules its
    // deletion, so the handler that called this may go on; nothing here reads the popup
    // after the picker took over.
    close();
    if (custom)
        picker->ChooseCustomColour(initial);
    else if (accept)
        picker->OnSelEndOK(colour);
    else
        picker->OnSelEndCancel(initial);
}

void CColourPopup::closeEvent(QCloseEvent* event)
{
    // Closed from outside (a click elsewhere closes a popup): a cancellation.
    if (!m_bEnded)
        EndSelection(false);
    QWidget::closeEvent(event);
}

bool CColourPopup::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int index = HitTest(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(), TableName(index), this, CellRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
