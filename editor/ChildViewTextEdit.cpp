// Editing a text object's words in place, over the object on the canvas, and the
// delayed click that opens the editor.
#include "editor/ChildView.h"

#include "dialogs/properties/DataSourcePane.h"
#include "editor/TextProxy.h"
#include "model/DataBand.h"
#include "model/TextGraph.h"
#include "platform/Drawing.h"
#include "platform/ScreenDpi.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

bool IsText(const CBaseProxy* proxy)
{
    return proxy && proxy->GetObject() && proxy->GetObject()->GetKind() == KindText;
}

CTextGraph& TextOf(CBaseProxy& proxy)
{
    return static_cast<CTextGraph&>(*proxy.GetObject());
}

QString ShownInEditor(const QWidget* edit)
{
    if (const auto* multi = qobject_cast<const QPlainTextEdit*>(edit))
        return multi->toPlainText();
    return static_cast<const QLineEdit*>(edit)->text();
}

// The editor shows the text as the canvas draws the object at this zoom: the object's
// font at the size it has on screen (points scaled by the zoom, through the canvas's
// resolution and then back to the points of the widget's own), its stretch, colours
// and alignment, and no frame or margin of its own to shift the text off the object.
void StyleInPlaceEdit(QWidget* edit, const CTextGraph& text, float zoom)
{
    QFont font = text.MakeTextFont();
    const double screenPixels = static_cast<double>(text.m_fFontSize) * g_nScreenDpiY * zoom / 72.0;
    const double points = screenPixels * 72.0 / edit->logicalDpiY();
    if (std::isfinite(points) && points > 0)
        font.setPointSizeF(points);
    // A single line is drawn stretched by its horizontal scale; the font carries it as
    // a percentage in the range Qt accepts.
    if (text.m_nLayoutMode == SingleLine && text.m_fHorzScale > 0.0f)
        font.setStretch(std::clamp(static_cast<int>(std::lround(text.m_fHorzScale * 100.0f)), 1, 4000));
    edit->setFont(font);

    QPalette palette = edit->palette();
    if (IsVisibleArgb(text.m_crText))
        palette.setColor(QPalette::Text, ArgbToColor(text.m_crText));
    if (IsVisibleArgb(text.m_crFill))
        palette.setColor(QPalette::Base, ArgbToColor(text.m_crFill));
    edit->setPalette(palette);

    const Qt::Alignment horizontal = text.m_nLayoutMode != MultiLine ? Qt::AlignLeft
                                     : text.m_nAlignment == 1        ? Qt::AlignHCenter
                                     : text.m_nAlignment == 2        ? Qt::AlignRight
                                                                     : Qt::AlignLeft;
    if (auto* multi = qobject_cast<QPlainTextEdit*>(edit)) {
        multi->setFrameShape(QFrame::NoFrame);
        multi->document()->setDocumentMargin(0);
        QTextOption option = multi->document()->defaultTextOption();
        option.setAlignment(horizontal);
        multi->document()->setDefaultTextOption(option);
    } else if (auto* line = qobject_cast<QLineEdit*>(edit)) {
        line->setFrame(false);
        line->setTextMargins(0, 0, 0, 0);
        line->setAlignment(horizontal | Qt::AlignTop);
    }
    edit->setContentsMargins(0, 0, 0, 0);
}

} // namespace

void CChildView::OpenInPlaceEditor(CBaseProxy* proxy)
{
    if (!IsText(proxy))
        return;
    const CTextGraph& text = TextOf(*proxy);
    CEditStatus& status = EditStatus();
    const bool multiLine = text.m_nLayoutMode == MultiLine || text.m_nLayoutMode == VertText;
    if (multiLine) {
        if (!m_pMultiEdit)
            m_pMultiEdit = new QPlainTextEdit(this);
        m_pMultiEdit->setPlainText(BandTextForEdit(text.m_strText));
        m_pMultiEdit->selectAll();
        m_pMultiEdit->ensureCursorVisible();
        m_pActiveEdit = m_pMultiEdit;
    } else {
        if (!m_pLineEdit)
            m_pLineEdit = new QLineEdit(this);
        m_pLineEdit->setText(text.m_strText);
        m_pLineEdit->selectAll();
        m_pActiveEdit = m_pLineEdit;
    }
    // As the editor holds it: an edit may keep a text otherwise than it was given.
    m_strInPlaceOpened = ShownInEditor(m_pActiveEdit);
    status.m_pEditedObject = proxy;
    status.m_bInPlaceEditing = true;
    PositionInPlaceEditor();
    m_pActiveEdit->show();
    m_pActiveEdit->setFocus();
    // The object goes from under the editor and its frame appears.
    Redraw();
}

void CChildView::PositionInPlaceEditor()
{
    CEditStatus& status = EditStatus();
    if (!status.m_bInPlaceEditing || !status.m_pEditedObject || !m_pActiveEdit)
        return;
    const CBaseProxy& proxy = *status.m_pEditedObject;
    const QPoint corner = Mapping().FromLabel(QPointF(proxy.GetLeftPixels(), proxy.GetTopPixels()));
    const int left = corner.x();
    const int top = corner.y();
    const int w = static_cast<int>(proxy.GetWidthPixels() * m_fZoom);
    const int h = static_cast<int>(proxy.GetHeightPixels() * m_fZoom);
    if (IsText(status.m_pEditedObject))
        StyleInPlaceEdit(m_pActiveEdit, TextOf(*status.m_pEditedObject), m_fZoom);
    m_pActiveEdit->setGeometry(left, top, w, h);
    status.m_editorRect[0] = left;
    status.m_editorRect[1] = top;
    status.m_editorRect[2] = left + w;
    status.m_editorRect[3] = top + h;
}

void CChildView::CommitInPlaceEditor()
{
    CEditStatus& status = EditStatus();
    if (!status.m_bInPlaceEditing)
        return;
    CBaseProxy* proxy = status.m_pEditedObject;
    const QString shown = ShownInEditor(m_pActiveEdit);
    const bool multiLine = m_pActiveEdit == m_pMultiEdit;
    m_pActiveEdit->hide();
    status.m_bInPlaceEditing = false;
    status.m_pEditedObject = nullptr;
    // Left as it opened, the text stays exactly as it was: a refit of its box would be
    // a change nobody made, with no record to take it back.
    if (shown != m_strInPlaceOpened && IsText(proxy) && HoldsObject(proxy)) {
        // One record per committed change, holding the refit that follows it: undoing an
        // earlier edit restores its own copy of the object, so without a record of its
        // own the typed text would go with it and never come back.
        CPendingRecord record = CUndoRecordBuilder::BeginEdit(proxy);
        CTextGraph& text = TextOf(*proxy);
        // Lines are kept with the file's line breaks, as the property dialog keeps them.
        const QString typed = multiLine ? BandTextFromEdit(shown) : shown;
        if (!text.m_bands.empty())
            text.m_bands.front()->m_strValue = typed;
        static_cast<CTextProxy*>(proxy)->SetShownText(typed);
        m_builder.End(std::move(record));
        NotifyObjectsChanged();
    }
    Redraw();
}

void CChildView::ArmDelayedClick(CBaseProxy* proxy)
{
    CEditStatus& status = EditStatus();
    status.m_bDelayedClickArmed = true;
    status.m_pEditedObject = proxy;
    if (!m_pDelayedClick) {
        m_pDelayedClick = new QTimer(this);
        m_pDelayedClick->setSingleShot(true);
        connect(m_pDelayedClick, &QTimer::timeout, this, &CChildView::OnDelayedClick);
    }
    m_pDelayedClick->start(status.m_nDelayedClickMs);
}

void CChildView::OnDelayedClick()
{
    CEditStatus& status = EditStatus();
    if (!status.m_bDelayedClickArmed)
        return;
    status.m_bDelayedClickArmed = false;
    CBaseProxy* proxy = status.m_pEditedObject;
    // The object may have gone (deleted, undone) while the timer ran.
    if (HoldsObject(proxy) && IsText(proxy) && TextOf(*proxy).m_bands.size() == 1) {
        OpenInPlaceEditor(proxy);
    } else {
        status.m_pEditedObject = nullptr;
        // Several bands (or none): they are edited one by one in the band editor.
        if (HoldsObject(proxy) && IsText(proxy))
            OpenBandEditor(proxy);
    }
    Redraw();
}
