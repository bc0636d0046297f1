#include "app/controls/LineNumberEdit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

// ---- CLineNumberStatic -------------------------------------------------------------

CLineNumberStatic::CLineNumberStatic(CLineNumberEdit* edit) : QWidget(edit), m_edit(edit)
{
    setObjectName(QStringLiteral("ctl_1"));
}

void CLineNumberStatic::SetLineNumbers(int top, int bottom)
{
    m_nTopLine = top;
    m_nBottomLine = bottom;
    update();
}

QStringList CLineNumberStatic::NumberTexts() const
{
    QStringList texts;
    if (m_nBottomLine != 0)
        for (int n = m_nTopLine; n < m_nBottomLine; ++n)
            texts << m_edit->FormatNumber(n);
    return texts;
}

void CLineNumberStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_crBackground);
    painter.setPen(QPen(m_crText, 1));
    painter.drawLine(width() - 1, 0, width() - 1, height());
    painter.setFont(m_edit->font());
    const int lineHeight = m_edit->fontMetrics().height();
    const QStringList texts = NumberTexts();
    for (int i = 0; i < texts.size(); ++i) {
        const int top = m_edit->LineTop(m_nTopLine - m_edit->m_nFirstLineNumber + i);
        painter.drawText(QRect(2, top, width() - 3, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, texts[i]);
    }
}

void CLineNumberStatic::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int y = event->position().toPoint().y() - m_edit->LineTop(m_edit->firstVisibleBlock().blockNumber());
        m_edit->SelectLine(std::max(y, 0) / std::max(m_edit->fontMetrics().lineSpacing(), 1));
    }
    QWidget::mousePressEvent(event);
}

// ---- CLineNumberEdit ---------------------------------------------------------------

CLineNumberEdit::CLineNumberEdit(QWidget* parent)
    : QPlainTextEdit(parent),
      m_crDisabledText(palette().color(QPalette::Disabled, QPalette::Text)),
      m_crDisabledBackground(palette().color(QPalette::Button)),
      m_gutter(new CLineNumberStatic(this))
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { UpdateNumbers(); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect&, int dy) {
        if (dy != 0)
            UpdateNumbers();
        else
            m_gutter->update();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { UpdateNumbers(); });
    SetLineNumberFormat(m_strFormat);
}

QString CLineNumberEdit::FormatNumber(int number) const
{
    return QString::asprintf(m_strFormat.toLatin1().constData(), number);
}

void CLineNumberEdit::SetLineNumberFormat(const QString& format)
{
    m_strFormat = format;
    m_gutter->m_strFormat = format;
    UpdateLayout();
}

int CLineNumberEdit::GutterWidth() const
{
    const int widest = m_nMaxLineNumber ? m_nMaxLineNumber + m_nFirstLineNumber : kTextLimit;
    return fontMetrics().horizontalAdvance(FormatNumber(widest)) + 5;
}

void CLineNumberEdit::UpdateLayout()
{
    const int width = GutterWidth();
    setViewportMargins(width + 1, 0, 0, 0);
    const QRect client = contentsRect();
    m_gutter->setGeometry(client.left(), client.top(), width, client.height());
    UpdateColours();
    UpdateNumbers();
}

void CLineNumberEdit::UpdateColours()
{
    const QPalette system = QPalette();
    if (m_bUseSystemColours) {
        m_crText = system.color(QPalette::Active, QPalette::Text);
        m_crBackground = system.color(QPalette::Active, QPalette::Base);
    }
    if (m_bUseSystemDisabledColours) {
        m_crDisabledText = system.color(QPalette::Disabled, QPalette::Text);
        m_crDisabledBackground = system.color(QPalette::Active, QPalette::Button);
    }
    m_gutter->m_crText = isEnabled() ? m_crText : m_crDisabledText;
    m_gutter->m_crBackground = isEnabled() ? m_crBackground : m_crDisabledBackground;
    m_gutter->update();
}

void CLineNumberEdit::UpdateNumbers()
{
    const int digitHeight = std::max(fontMetrics().lineSpacing(), 1);
    const int top = m_nFirstLineNumber + firstVisibleBlock().blockNumber();
    int bottom = top + viewport()->height() / digitHeight;
    bottom = std::min(bottom, m_nFirstLineNumber + blockCount());
    if (m_nMaxLineNumber)
        bottom = std::min(bottom, m_nFirstLineNumber + m_nMaxLineNumber);
    m_gutter->SetLineNumbers(top, bottom);
}

int CLineNumberEdit::LineTop(int line) const
{
    const QTextBlock block = document()->findBlockByNumber(line);
    if (!block.isValid())
        return 0;
    return static_cast<int>(blockBoundingGeometry(block).translated(contentOffset()).top()) + viewport()->y() -
           contentsRect().top();
}

void CLineNumberEdit::SelectLine(int row)
{
    int line = firstVisibleBlock().blockNumber() + row;
    line = std::min(line, blockCount() - 1);
    const QTextBlock block = document()->findBlockByNumber(line);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void CLineNumberEdit::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    UpdateLayout();
}

void CLineNumberEdit::changeEvent(QEvent* event)
{
    QPlainTextEdit::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        UpdateColours();
        break;
    case QEvent::FontChange:
        UpdateLayout();
        break;
    default:
        break;
    }
}
