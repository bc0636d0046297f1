#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// A block of rows read from a data source: column names and, for every cell, its
// text and whether it was NULL. Rows hold a fixed number of cells. The cells' text
// lives in one UTF-8 buffer with an end offset per cell, so a million rows cost
// little more than their text; QStrings are made only when a value is read.
class DbRows
{
public:
    // Forgets every row and sets the column names (the cells per row).
    void Reset(const QStringList& columns);
    // Like Reset with columns named by number, for sources without names.
    void Reset(int columnCount);
    void Clear() { Reset(0); }
    void Reserve(qsizetype rows, qsizetype textBytes);

    // Cells are appended in row order; a row is complete after ColumnCount() cells.
    void AppendUtf8(const char* text, qsizetype length);
    void AppendUtf8(QByteArrayView text) { AppendUtf8(text.data(), text.size()); }
    void AppendText(QStringView text);
    void AppendNull();
    // Appends one whole row; missing cells are empty, surplus ones dropped.
    void AppendRow(const QStringList& values);

    int ColumnCount() const { return m_nColumns; }
    int RowCount() const { return m_nColumns ? static_cast<int>(m_ends.size() / m_nColumns) : 0; }
    bool IsEmpty() const { return RowCount() == 0; }
    const QStringList& Columns() const { return m_columns; }

    // A NULL cell, and a cell outside the block, reads as an empty text.
    QString Value(int row, int column) const;
    QByteArrayView Utf8(int row, int column) const;
    bool IsNull(int row, int column) const;
    QStringList Row(int row) const;

    // Bytes held, for the memory figures of the benchmarks.
    qsizetype MemoryUsed() const;

private:
    qsizetype CellIndex(int row, int column) const;
    void CheckRoom(qsizetype length) const;

    QStringList m_columns;
    int m_nColumns = 0;
    QByteArray m_text;
    std::vector<uint32_t> m_ends;
    std::vector<bool> m_nulls;
};

// The rows of a result that a query keeps: the first `skip` rows are passed over,
// then up to `maxRows` are kept (every remaining row when negative). Every backend
// walks its result through one of these (ODBC and SQLite through their cursors, whose
// Skip and Fetch keep the same rule), so "none wanted" means none everywhere.
class RowWindow
{
public:
    RowWindow(qint64 skip, qint64 maxRows)
        : m_toSkip(skip > 0 ? skip : 0)
        , m_toKeep(maxRows)
    {
    }

    // No further row is wanted: stop reading before fetching another.
    bool Done() const { return m_toKeep == 0; }
    // Counts one row that was read; true when it is to be kept.
    bool Take()
    {
        if (Done())
            return false;
        if (m_toSkip > 0) {
            --m_toSkip;
            return false;
        }
        if (m_toKeep > 0)
            --m_toKeep;
        return true;
    }

private:
    qint64 m_toSkip;
    qint64 m_toKeep;
};
