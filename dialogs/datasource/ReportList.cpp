#include "dialogs/datasource/ReportList.h"

#include <QHeaderView>
#include <algorithm>
#include <vector>

namespace {

// Room beside a text for the cell's own margins.
constexpr int kTextPadding = 12;

} // namespace

CReportList::CReportList(QWidget* parent) : QTableWidget(parent)
{
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CReportList::Clear()
{
    setRowCount(0);
    setColumnCount(0);
}

void CReportList::AddColumn(const QString& header, int width)
{
    const int column = columnCount();
    insertColumn(column);
    setHorizontalHeaderItem(column, new QTableWidgetItem(header));
    setColumnWidth(column, width);
    Widen(column, horizontalHeader()->fontMetrics().horizontalAdvance(header));
}

int CReportList::AddRow()
{
    const int row = rowCount();
    insertRow(row);
    return row;
}

void CReportList::SetCell(int row, int column, const QString& text)
{
    if (column >= columnCount())
        return;
    const QString shown = Visible(text);
    setItem(row, column, new QTableWidgetItem(shown));
    Widen(column, fontMetrics().horizontalAdvance(shown));
}

QString CReportList::Visible(const QString& text)
{
    // A NUL inside a value is kept and prints as nothing; a preview shows it.
    if (!text.contains(QChar(u'\0')))
        return text;
    QString shown = text;
    return shown.replace(QChar(u'\0'), QChar::ReplacementCharacter);
}

void CReportList::ShowRows(const QStringList& headers, const QList<QStringList>& rows, int firstNumber,
                           const QString& endMarker)
{
    setUpdatesEnabled(false);
    Clear();
    // The grid is sized once: a file of thousands of fields must not grow it column
    // by column.
    const int columns = 1 + static_cast<int>(headers.size());
    setColumnCount(columns);
    setRowCount(static_cast<int>(rows.size()) + (endMarker.isEmpty() ? 0 : 1));
    std::vector<int> widths(columns, 100);
    widths[0] = 60;
    const QFontMetrics headerMetrics = horizontalHeader()->fontMetrics();
    const auto widen = [&widths](int column, int textWidth) {
        widths[column] = std::max(widths[column], textWidth + kTextPadding);
    };
    const auto put = [&](int row, int column, const QString& text) {
        const QString shown = Visible(text);
        setItem(row, column, new QTableWidgetItem(shown));
        widen(column, fontMetrics().horizontalAdvance(shown));
    };
    for (int c = 0; c < columns; ++c) {
        const QString header = c == 0 ? QStringLiteral("序号") : headers[c - 1];
        setHorizontalHeaderItem(c, new QTableWidgetItem(header));
        widen(c, headerMetrics.horizontalAdvance(header));
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(i);
        put(row, 0, QString::asprintf("%d", firstNumber + row));
        for (qsizetype c = 0; c < rows[i].size() && c < headers.size(); ++c)
            put(row, static_cast<int>(c) + 1, rows[i][c]);
    }
    if (!endMarker.isEmpty())
        put(static_cast<int>(rows.size()), 0, endMarker);
    for (int c = 0; c < columns; ++c)
        setColumnWidth(c, widths[c]);
    setUpdatesEnabled(true);
}

QString CReportList::Cell(int row, int column) const
{
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

QStringList CReportList::Headers() const
{
    QStringList headers;
    for (int c = 0; c < columnCount(); ++c)
        headers.append(horizontalHeaderItem(c) ? horizontalHeaderItem(c)->text() : QString());
    return headers;
}

QStringList CReportList::RowTexts(int row) const
{
    QStringList texts;
    for (int c = 0; c < columnCount(); ++c)
        texts.append(Cell(row, c));
    return texts;
}

void CReportList::Widen(int column, int textWidth)
{
    if (textWidth + kTextPadding > columnWidth(column))
        setColumnWidth(column, textWidth + kTextPadding);
}
