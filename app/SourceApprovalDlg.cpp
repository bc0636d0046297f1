#include "app/SourceApprovalDlg.h"

#include "app/VXBaseDialog.h"
#include "model/SourceApproval.h"

#include <QAbstractTextDocumentLayout>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <limits>

namespace {

// Whether a character shows as nothing, moves or reorders the text around it, or ends a line.
bool Invisible(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: break;
    }
    // Blank in every font, though not formats: the Hangul and Braille blanks, the variation
    // selectors.
    return c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0xFFA0 || c == 0x2800 || (c >= 0xFE00 && c <= 0xFE0F)
        || (c >= 0xE0100 && c <= 0xE01EF);
}

// Read-only text that wraps anywhere. A value is as high as all its lines; the statement as
// high as its lines up to maxLines, past which it scrolls and takes the focus so that the
// keyboard scrolls it too.
class ReadOnlyText : public QPlainTextEdit
{
public:
    // maxLines 0: a value, shown whole.
    ReadOnlyText(const QString& text, int maxLines) : m_maxLines(maxLines)
    {
        setPlainText(text);
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (m_maxLines == 0) {
            // Its height follows the wrapped text, so no scroll bar comes and goes to change
            // the width it wraps at.
            setWordWrapMode(QTextOption::WrapAnywhere);
            setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            setFocusPolicy(Qt::NoFocus);
            setFrameShape(QFrame::NoFrame);
            QPalette flat = palette();
            flat.setColor(QPalette::Base, flat.color(QPalette::Window));
            setPalette(flat);
        } else {
            setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            setFocusPolicy(Qt::StrongFocus);
            connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
                [this] { FitHeight(); });
        }
        FitHeight();
    }

    // Lines as wrapped at the present width.
    int VisualLines() const { return std::max(1, int(document()->documentLayout()->documentSize().height())); }
    int VisibleLines() const { return std::min(VisualLines(), m_maxLines); }

    std::function<void()> onLayout;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QPlainTextEdit::resizeEvent(event); // wraps the text anew at the new width
        FitHeight();
    }

private:
    void FitHeight()
    {
        const int margins = 2 * int(document()->documentMargin()) + 2 * frameWidth() + 2;
        int text = 0;
        if (m_maxLines == 0) {
            const int width = std::max(1, viewport()->width() - 2 * int(document()->documentMargin()));
            text = fontMetrics()
                       .boundingRect(QRect(0, 0, width, std::numeric_limits<int>::max() / 2), Qt::TextWrapAnywhere,
                           toPlainText())
                       .height();
        } else {
            text = VisibleLines() * fontMetrics().lineSpacing();
        }
        if (text + margins != height())
            setFixedHeight(text + margins);
        if (onLayout)
            onLayout();
    }

    int m_maxLines;
};

constexpr int kStatementLines = 12;

QLabel* PlainLabel(const QString& text, const char* name = nullptr)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    if (name)
        label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

QString VisibleText(const QString& text, bool keepLines)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        if (keepLines && (c == u'\n' || c == u'\t')) {
            shown += QChar(c);
        } else if (keepLines && c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue; // the "\n" that follows is the line's end
        } else if (Invisible(c)) {
            const bool wide = c > 0xFFFF;
            shown += (wide ? QStringLiteral("\\U") : QStringLiteral("\\u"))
                + QString::number(uint(c), 16).toUpper().rightJustified(wide ? 8 : 4, u'0');
        } else {
            shown += QString::fromUcs4(&c, 1);
        }
    }
    return shown;
}

CSourceApprovalDlg::CSourceApprovalDlg(const QString& label, const SourceQuestion& question, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("sourceApproval"));
    setWindowTitle(QStringLiteral("是否允许连接数据库"));
    // All but the buttons scrolls, so that however long what the label wrote, the window fits
    // the screen and its buttons stay in sight.
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    const QString owner
        = label.isEmpty() ? QStringLiteral("这个标签") : QStringLiteral("标签“%1”").arg(VisibleText(label));
    auto* intro = PlainLabel(QStringLiteral("%1中的数据源“%2”要用您在这台电脑上的登录连接数据库。"
                                            "标签可能来自别处：只有您信任它的来源，并且认得下面的服务器和语句时，才选择“允许”。")
                                 .arg(owner, VisibleText(question.name)),
        "sourceApprovalText");
    layout->addWidget(intro);
    for (const QString& caution : question.cautions) {
        QLabel* warning = PlainLabel(VisibleText(caution), "sourceApprovalCaution");
        warning->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
        layout->addWidget(warning);
    }

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const auto& [caption, value] : question.rows) {
        auto* shown = new ReadOnlyText(VisibleText(value), 0);
        shown->setObjectName(QStringLiteral("sourceApprovalValue"));
        form->addRow(PlainLabel(caption + QStringLiteral("：")), shown);
    }
    layout->addLayout(form);

    const QString statementText = VisibleText(question.statement, true);
    auto* statementCaption = PlainLabel({}, "sourceApprovalStatementCaption");
    layout->addWidget(statementCaption);
    auto* statement = new ReadOnlyText(statementText, kStatementLines);
    statement->setObjectName(QStringLiteral("sourceApprovalStatement"));
    statement->installEventFilter(this);
    layout->addWidget(statement);
    auto* hidden = PlainLabel({}, "sourceApprovalStatementMore");
    layout->addWidget(hidden);
    // How much of the statement is out of sight, so a line far below the first is not missed.
    const int lines = statementText.isEmpty() ? 0 : statement->document()->blockCount();
    statementCaption->setText(QStringLiteral("%1（共 %2 行，%3 个字符）：")
                                  .arg(question.statementCaption)
                                  .arg(lines)
                                  .arg(question.statement.size()));
    statement->onLayout = [statement, hidden] {
        const int out = statement->VisualLines() - statement->VisibleLines();
        hidden->setVisible(out > 0);
        hidden->setText(QStringLiteral("框中只显示了语句的一部分，还有 %1 行在下面：请滚动，或点入框中后用方向键和 Page Down "
                                       "查看全部。")
                            .arg(out));
    };
    statement->onLayout();
    layout->addStretch();

    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("sourceApprovalContent"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(scroll);

    auto* buttons = new QDialogButtonBox;
    QPushButton* allow = buttons->addButton(QStringLiteral("允许"), QDialogButtonBox::AcceptRole);
    allow->setObjectName(QStringLiteral("allow"));
    SetButtonIcon(allow, QStyle::SP_DialogYesButton);
    m_pDeny = buttons->addButton(QStringLiteral("不允许"), QDialogButtonBox::RejectRole);
    m_pDeny->setObjectName(QStringLiteral("deny"));
    // Both are auto-default, so Return presses the button that has the focus; away from the
    // buttons it presses 不允许.
    allow->setAutoDefault(true);
    m_pDeny->setAutoDefault(true);
    m_pDeny->setDefault(true);
    SetButtonIcon(m_pDeny, QStyle::SP_DialogNoButton);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);
    setTabOrder(m_pDeny, allow);
    setTabOrder(allow, statement);
    m_pDeny->setFocus();

    // Wide enough that a usual value stays on one line, high enough for all of it where the
    // screen allows.
    const QScreen* screen = parent ? parent->screen() : this->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int width = std::min(680, available.width() * 9 / 10);
    content->setFixedWidth(width);
    scroll->setMinimumWidth(width + scroll->verticalScrollBar()->sizeHint().width());
    setMaximumHeight(available.height());
    m_pScroll = scroll;
    m_nTallest = available.height() * 3 / 4;
    FitContent();
    FitWindowTitle(*this);
}

void CSourceApprovalDlg::FitContent()
{
    // The values know their wrapped heights only once they have their width.
    QWidget* content = m_pScroll->widget();
    content->layout()->invalidate();
    content->layout()->activate();
    m_pScroll->setMinimumHeight(std::min(content->sizeHint().height(), m_nTallest));
    layout()->activate();
    resize(minimumSizeHint().expandedTo(sizeHint()));
}

void CSourceApprovalDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FitContent();
}

bool CSourceApprovalDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The statement box reads keys to scroll; Return there answers as away from the buttons.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_pDeny->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
