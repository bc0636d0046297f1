#include "platform/db/DbRows.h"

#include "platform/VXException.h"

#include <limits>

void DbRows::Reset(const QStringList& columns)
{
    m_columns = columns;
    m_nColumns = static_cast<int>(columns.size());
    m_text.clear();
    m_ends.clear();
    m_nulls.clear();
}

void DbRows::Reset(int columnCount)
{
    QStringList names;
    for (int i = 1; i <= columnCount; ++i)
        names.append(QString::number(i));
    Reset(names);
}

void DbRows::Reserve(qsizetype rows, qsizetype textBytes)
{
    m_text.reserve(textBytes);
    m_ends.reserve(static_cast<size_t>(rows) * m_nColumns);
    m_nulls.reserve(static_cast<size_t>(rows) * m_nColumns);
}

void DbRows::CheckRoom(qsizetype length) const
{
    // Offsets are 32-bit to keep the per-cell cost low; 4 GB of text in one block is
    // far beyond what a label job reads at once.
    if (m_text.size() + length > std::numeric_limits<uint32_t>::max())
        throw CDataSourceException(QStringLiteral("一次读取的记录数据太多（文字超过 4 GB）。"));
}

void DbRows::AppendUtf8(const char* text, qsizetype length)
{
    CheckRoom(length);
    m_text.append(text, length);
    m_ends.push_back(static_cast<uint32_t>(m_text.size()));
    m_nulls.push_back(false);
}

void DbRows::AppendText(QStringView text)
{
    // Most label data is ASCII: copied without a temporary text.
    const qsizetype length = text.size();
    qsizetype i = 0;
    while (i < length && text[i].unicode() < 0x80)
        ++i;
    if (i < length) {
        const QByteArray utf8 = text.toUtf8();
        AppendUtf8(utf8.constData(), utf8.size());
        return;
    }
    const qsizetype at = m_text.size();
    CheckRoom(length);
    m_text.resize(at + length);
    char* out = m_text.data() + at;
    for (i = 0; i < length; ++i)
        out[i] = static_cast<char>(text[i].unicode());
    m_ends.push_back(static_cast<uint32_t>(m_text.size()));
    m_nulls.push_back(false);
}

void DbRows::AppendNull()
{
    AppendUtf8(nullptr, 0);
    m_nulls.back() = true;
}

void DbRows::AppendRow(const QStringList& values)
{
    for (int i = 0; i < m_nColumns; ++i)
        AppendText(i < values.size() ? QStringView(values[i]) : QStringView());
}

qsizetype DbRows::CellIndex(int row, int column) const
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= m_nColumns)
        return -1;
    return static_cast<qsizetype>(row) * m_nColumns + column;
}

QByteArrayView DbRows::Utf8(int row, int column) const
{
    const qsizetype cell = CellIndex(row, column);
    if (cell < 0)
        return {};
    const qsizetype begin = cell == 0 ? 0 : m_ends[cell - 1];
    return QByteArrayView(m_text.constData() + begin, m_ends[cell] - begin);
}

QString DbRows::Value(int row, int column) const
{
    return QString::fromUtf8(Utf8(row, column));
}

bool DbRows::IsNull(int row, int column) const
{
    const qsizetype cell = CellIndex(row, column);
    return cell >= 0 && m_nulls[cell];
}

QStringList DbRows::Row(int row) const
{
    QStringList values;
    values.reserve(m_nColumns);
    for (int c = 0; c < m_nColumns; ++c)
        values.append(Value(row, c));
    return values;
}

qsizetype DbRows::MemoryUsed() const
{
    return m_text.capacity() + static_cast<qsizetype>(m_ends.capacity() * sizeof(uint32_t) + m_nulls.capacity() / 8);
}
