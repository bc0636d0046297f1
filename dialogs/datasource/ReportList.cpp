#include "dialogs/datasource/ReportList.h"

#include <QHeaderView>

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
    setItem(row, column, new QTableWidgetItem(text));
    Widen(column, fontMetrics().horizontalAdvance(text));
}

void CReportList::ShowRows(const QStringList& headers, const QList<QStringList>& rows, int firstNumber,
                           const QString& endMarker)
{
    setUpdatesEnabled(false);
    Clear();
    AddColumn(QStringLiteral("序号"), 60);
    for (const QString& header : headers)
        AddColumn(header, 100);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const int row = AddRow();
        SetCell(row, 0, QString::asprintf("%d", firstNumber + static_cast<int>(i)));
        for (qsizetype c = 0; c < rows[i].size() && c < headers.size(); ++c)
            SetCell(row, static_cast<int>(c) + 1, rows[i][c]);
    }
    if (!endMarker.isEmpty())
        SetCell(AddRow(), 0, endMarker);
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
