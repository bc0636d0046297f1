#pragma once

#include <QTableWidget>

// A list of rows and columns for previews and record pages: grid lines, whole rows
// selected, nothing edited in place. Columns widen, never narrow, to the widest
// text put into them, so every value can be read without dragging a border.
class CReportList : public QTableWidget
{
    Q_OBJECT
public:
    explicit CReportList(QWidget* parent = nullptr);

    // Removes every row, then every column.
    void Clear();
    void AddColumn(const QString& header, int width);
    // A new empty row at the end; its index.
    int AddRow();
    // The cell shows NUL characters as the replacement symbol.
    void SetCell(int row, int column, const QString& text);

    // Shows rows of values under a "序号" column: the list is emptied, "序号" is 60
    // pixels wide, each header gets a column 100 pixels wide, row i is numbered
    // firstNumber + i, and a last row shows the end marker in the number column
    // (none when the marker is empty).
    void ShowRows(const QStringList& headers, const QList<QStringList>& rows, int firstNumber,
                  const QString& endMarker);

    // What the list shows, for callers and tests.
    QString Cell(int row, int column) const;
    QStringList Headers() const;
    QStringList RowTexts(int row) const;

private:
    static QString Visible(const QString& text);
    void Widen(int column, int textWidth);
};
