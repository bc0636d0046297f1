#include "platform/db/StageRecheck.h"

#include "platform/db/SQLiteStage.h"

#include <algorithm>

namespace {

void AppendRowOf(const DbRows& from, int row, DbRows& to)
{
    for (int c = 0; c < from.ColumnCount(); ++c) {
        if (from.IsNull(row, c))
            to.AppendNull();
        else
            to.AppendUtf8(from.Utf8(row, c));
    }
}

} // namespace

DbStageRecheck::DbStageRecheck(std::shared_ptr<DbRowStage> stage) : m_stage(std::move(stage)), m_kept(m_stage->RowCount())
{
}

void DbStageRecheck::Count(quint64 hash, int step, const DbRows* rows, int row)
{
    qint64& count = m_difference[hash];
    // What the change does to the totals of both signs.
    const auto negative = [](qint64 n) { return n < 0 ? -n : 0; };
    const auto positive = [](qint64 n) { return n > 0 ? n : 0; };
    m_missing -= negative(count);
    m_surplus -= positive(count);
    count += step;
    m_missing += negative(count);
    m_surplus += positive(count);
    if (rows && count > 0) {
        if (m_met.ColumnCount() != rows->ColumnCount())
            m_met.Reset(rows->Columns());
        AppendRowOf(*rows, row, m_met);
        m_metHashes.push_back(hash);
    }
    if (count == 0)
        m_difference.erase(hash);
}

bool DbStageRecheck::Take(const DbRows& rows)
{
    if (!m_stage->SameColumns(rows)) {
        m_changed = true;
        return false;
    }
    const int keptColumns = m_stage->KeptColumns(rows);
    int row = 0;
    // Before the end: each row against the kept row of its place.
    if (m_position < m_kept) {
        const int checked = static_cast<int>(std::min<qint64>(rows.RowCount(), m_kept - m_position));
        std::vector<quint64> kept;
        if (!m_stage->Hashes(m_position, checked, kept))
            return false;
        for (; row < checked; ++row) {
            const quint64 hash = DbRowHash(rows, row, keptColumns);
            if (m_difference.empty() && hash == kept[static_cast<size_t>(row)])
                continue;
            Count(kept[static_cast<size_t>(row)], -1, nullptr, 0);
            Count(hash, +1, &rows, row);
        }
        m_position += checked;
        if (m_met.RowCount() > 4096 && m_met.RowCount() > 2 * m_surplus)
            Compact();
        if (Passed() && !KeepMet())
            return false;
    }
    if (row == rows.RowCount())
        return true;
    // Past it: every row kept, but for kept rows that come late.
    if (m_missing == 0 && row == 0) {
        m_position += rows.RowCount();
        return m_stage->Append(rows);
    }
    DbRows keep;
    keep.Reset(rows.Columns());
    for (; row < rows.RowCount(); ++row) {
        const quint64 hash = DbRowHash(rows, row, keptColumns);
        const auto late = m_difference.find(hash);
        if (late != m_difference.end() && late->second < 0)
            Count(hash, +1, nullptr, 0);
        else
            AppendRowOf(rows, row, keep);
        ++m_position;
    }
    return keep.IsEmpty() || m_stage->Append(keep);
}

bool DbStageRecheck::KeepMet()
{
    DbRows keep;
    keep.Reset(m_met.Columns());
    for (int r = 0; r < m_met.RowCount(); ++r) {
        const auto found = m_difference.find(m_metHashes[static_cast<size_t>(r)]);
        if (found == m_difference.end() || found->second <= 0)
            continue;
        AppendRowOf(m_met, r, keep);
        Count(found->first, -1, nullptr, 0);
    }
    m_met.Clear();
    m_metHashes.clear();
    return keep.IsEmpty() || m_stage->Append(keep);
}

void DbStageRecheck::Compact()
{
    // Only as many rows of each hash as its count still asks for, the last met.
    DbRows met;
    met.Reset(m_met.Columns());
    std::vector<quint64> hashes;
    std::unordered_map<quint64, qint64> wanted;
    for (const auto& [hash, count] : m_difference)
        if (count > 0)
            wanted[hash] = count;
    std::vector<bool> held(m_metHashes.size(), false);
    for (int r = m_met.RowCount() - 1; r >= 0; --r) {
        const auto found = wanted.find(m_metHashes[static_cast<size_t>(r)]);
        if (found != wanted.end() && found->second > 0) {
            --found->second;
            held[static_cast<size_t>(r)] = true;
        }
    }
    for (int r = 0; r < m_met.RowCount(); ++r) {
        if (held[static_cast<size_t>(r)]) {
            hashes.push_back(m_metHashes[static_cast<size_t>(r)]);
            AppendRowOf(m_met, r, met);
        }
    }
    m_met = std::move(met);
    m_metHashes = std::move(hashes);
}
