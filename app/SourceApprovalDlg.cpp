#include "app/SourceApprovalDlg.h"

#include "app/VXBaseDialog.h"
#include "model/SourceApproval.h"
#include "platform/VisibleText.h"

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

// A line of the statement longer than kLongLineChars is shown in pieces of kPieceChars, each
// starting a line of its own: the box lays out only the lines in sight, but a line whole, and
// one line of a megabyte would take it minutes. A piece fits the box's width about once, so the
// lines the note under the box counts are about what the eye sees, before the box has laid
// them out. Nothing of the statement is left out; shorter lines wrap as they are.
constexpr qsizetype kLongLineChars = 2000;
constexpr qsizetype kPieceChars = 80;

QString ShownInPieces(const QString& text)
{
    QString shown;
    shown.reserve(text.size() + text.size() / kPieceChars);
    for (qsizetype start = 0; start <= text.size();) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        if (end - start <= kLongLineChars) {
            shown += QStringView(text).mid(start, end - start);
        } else {
            for (qsizetype piece = start; piece < end;) {
                qsizetype next = std::min(piece + kPieceChars, end);
                // A character of two UTF-16 units stays whole.
                if (next < end && text[next].isLowSurrogate())
                    ++next;
                if (piece > start)
                    shown += u'\n';
                shown += QStringView(text).mid(piece, next - piece);
                piece = next;
            }
        }
        if (end < text.size())
            shown += u'\n';
        start = end + 1;
    }
    return shown;
}

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
    const QString lead = !question.connected
        ? QStringLiteral("%1中的数据源“%2”要用您在这台电脑上的登录连接数据库。")
        : question.parsed
        ? QStringLiteral("%1中的数据源“%2”已经用您在这台电脑上的登录连接了数据库。程序读取了服务器的目录，"
                         "服务器解析了下面的语句以得知它调用哪些函数，但还没有运行它的任何部分："
                         "解析结果、目录中发现的情况和要注意的地方见下面的红字。")
        : QStringLiteral("%1中的数据源“%2”已经用您在这台电脑上的登录连接了数据库。程序读取了服务器的目录，"
                         "还没有发送下面的语句：目录中发现的情况和要注意的地方见下面的红字。");
    auto* intro = PlainLabel(lead.arg(owner, VisibleText(question.name))
            + QStringLiteral("标签可能来自别处：只有您信任它的来源，并且认得下面的服务器和语句时，才选择“允许”。"),
        "sourceApprovalText");
    layout->addWidget(intro);
    for (const QString& caution : question.cautions) {
        QLabel* warning = PlainLabel(VisibleText(caution, true), "sourceApprovalCaution");
        warning->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
        layout->addWidget(warning);
    }

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const auto& [caption, value] : question.rows) {
        auto* shown = new ReadOnlyText(VisibleText(value), 0);
        shown->setObjectName(QStringLiteral("sourceApprovalValue"));
        form->addRow(PlainLabel(VisibleText(caption) + QStringLiteral("：")), shown);
    }
    layout->addLayout(form);

    const QString statementText = VisibleText(question.statement, true);
    auto* statementCaption = PlainLabel({}, "sourceApprovalStatementCaption");
    layout->addWidget(statementCaption);
    auto* statement = new ReadOnlyText(ShownInPieces(statementText), kStatementLines);
    statement->setObjectName(QStringLiteral("sourceApprovalStatement"));
    statement->installEventFilter(this);
    layout->addWidget(statement);
    auto* hidden = PlainLabel({}, "sourceApprovalStatementMore");
    layout->addWidget(hidden);
    // How much of the statement is out of sight, so a line far below the first is not missed.
    const qsizetype lines = statementText.isEmpty() ? 0 : statementText.count(u'\n') + 1;
    statementCaption->setText(QStringLiteral("%1（共 %2 行，%3 个字符）：")
                                  .arg(question.statementCaption)
                                  .arg(lines)
                                  .arg(question.statement.size()));
    // Counted from where the box stands, as it scrolls.
    statement->onLayout = [statement, hidden] {
        const int out = statement->VisualLines() - statement->VisibleLines();
        const int above = std::clamp(statement->verticalScrollBar()->value(), 0, std::max(0, out));
        const int below = std::max(0, out - above);
        hidden->setVisible(out > 0);
        if (above == 0)
            hidden->setText(QStringLiteral("框中只显示了语句的一部分，还有 %1 行在下面：请滚动，或点入框中后用方向键和 "
                                           "Page Down 查看全部。")
                                .arg(below));
        else if (below == 0)
            hidden->setText(QStringLiteral("框中只显示了语句的一部分，还有 %1 行在上面：请滚动，或点入框中后用方向键和 "
                                           "Page Up 查看全部。")
                                .arg(above));
        else
            hidden->setText(QStringLiteral("框中只显示了语句的一部分，上面还有 %1 行，下面还有 %2 行：请滚动，或点入框中后用"
                                           "方向键和 Page Up、Page Down 查看全部。")
                                .arg(above)
                                .arg(below));
    };
    // The box moves its scroll bar with the bar's signals blocked, and tells of it so.
    connect(statement, &QPlainTextEdit::updateRequest, hidden, [statement](const QRect&, int dy) {
        if (dy != 0)
            statement->onLayout();
    });
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
    m_pAllow = buttons->addButton(QStringLiteral("允许"), QDialogButtonBox::AcceptRole);
    m_pAllow->setObjectName(QStringLiteral("allow"));
    SetButtonIcon(m_pAllow, QStyle::SP_DialogYesButton);
    m_pDeny = buttons->addButton(QStringLiteral("不允许"), QDialogButtonBox::RejectRole);
    m_pDeny->setObjectName(QStringLiteral("deny"));
    SetButtonIcon(m_pDeny, QStyle::SP_DialogNoButton);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);
    // Both are auto-default, so Return presses the button that has the focus, which shows the
    // default's frame; away from the buttons Return presses 不允许, which then shows it. The
    // window knows its default only once the buttons are in it.
    m_pAllow->setAutoDefault(true);
    m_pDeny->setAutoDefault(true);
    m_pDeny->setDefault(true);
    m_pStatement = statement;
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

bool CSourceApprovalDlg::focusNextPrevChild(bool next)
{
    // The window's own round, whatever order the button box gives its buttons: 不允许, 允许,
    // the statement and back to 不允许, so that no run of Tabs ends on 允许 unseen.
    QWidget* const order[] = {m_pDeny, m_pAllow, m_pStatement};
    constexpr int count = int(std::size(order));
    int at = 0;
    while (at < count && order[at] != focusWidget())
        ++at;
    if (at == count) // the focus on no control of the round: it starts at 不允许
        at = next ? count - 1 : 0;
    for (int step = 1; step <= count; ++step) {
        QWidget* candidate = order[(at + (next ? step : count - step)) % count];
        if (candidate->isVisibleTo(this) && candidate->isEnabled() && (candidate->focusPolicy() & Qt::TabFocus)) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            if (candidate == m_pStatement)
                m_pScroll->ensureWidgetVisible(m_pStatement);
            return true;
        }
    }
    return false;
}
