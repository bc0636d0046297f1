#include "platform/db/StageRecheck.h"

#include "platform/db/DbWait.h"
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

DbStageRecheck::DbStageRecheck(std::shared_ptr<DbRowStage> stage, std::function<bool(const DbRows&)> append)
    : m_stage(std::move(stage)), m_append(std::move(append)), m_kept(m_stage->RowCount())
{
    if (!m_append)
        m_append = [stage = m_stage](const DbRows& rows) { return stage->Append(rows); };
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
        return m_append(rows);
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
    return keep.IsEmpty() || m_append(keep);
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
    return keep.IsEmpty() || m_append(keep);
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

DbStagePins::DbStagePins(std::shared_ptr<DbRowStage> stage, std::map<qint64, quint64> pins, QStringList columns)
    : m_stage(std::move(stage)), m_pins(std::move(pins)), m_columns(std::move(columns))
{
    m_pins.erase(m_pins.begin(), m_pins.lower_bound(m_stage->RowCount()));
    for (const auto& [place, hash] : m_pins)
        ++m_wanted[hash];
}

void DbStagePins::Restart()
{
    for (const auto& [hash, rows] : m_pool)
        m_wanted[hash] += static_cast<qint64>(rows.size());
    m_pool.clear();
    m_pooled = 0;
    m_poolRows.Reset(m_poolRows.Columns());
    m_queue.Reset(m_queue.Columns());
    m_queueHead = 0;
}

bool DbStagePins::Take(const DbRows& rows)
{
    const int columns = m_stage->KeptColumns(rows);
    if (rows.Columns().mid(0, columns) != m_columns) {
        m_changed = true;
        return false;
    }
    // Every pinned place kept: the run's rows follow as they come.
    if (m_pins.empty() && Held() == 0)
        return rows.IsEmpty() || Keep(rows);
    if (m_queue.ColumnCount() != rows.ColumnCount()) {
        m_queue.Reset(rows.Columns());
        m_poolRows.Reset(rows.Columns());
    }
    DbRows out;
    out.Reset(rows.Columns());
    for (int r = 0; r < rows.RowCount(); ++r) {
        const quint64 hash = DbRowHash(rows, r, columns);
        const auto wanted = m_wanted.find(hash);
        if (wanted != m_wanted.end() && wanted->second > 0) {
            --wanted->second;
            m_pool[hash].push_back(m_poolRows.RowCount());
            AppendRowOf(rows, r, m_poolRows);
            ++m_pooled;
        } else {
            AppendRowOf(rows, r, m_queue);
        }
        Place(out);
    }
    // Held unshown rows wait for a shown row that has not come; in a change it never does, and
    // they are bounded as the rows of one read are.
    if (m_queue.MemoryUsed() > GetDbLimits().sliceBytes) {
        m_strLastError = DbSliceTooLargeMessage();
        return false;
    }
    return out.IsEmpty() || Keep(out);
}

void DbStagePins::Place(DbRows& out)
{
    for (;;) {
        const qint64 place = m_stage->RowCount() + out.RowCount();
        const auto pin = m_pins.begin();
        if (pin != m_pins.end() && pin->first == place) {
            const auto pooled = m_pool.find(pin->second);
            if (pooled == m_pool.end())
                break;
            AppendRowOf(m_poolRows, pooled->second.back(), out);
            pooled->second.pop_back();
            if (pooled->second.empty())
                m_pool.erase(pooled);
            m_pins.erase(pin);
            if (--m_pooled == 0)
                m_poolRows.Reset(m_poolRows.Columns());
        } else if (m_queueHead < m_queue.RowCount()) {
            AppendRowOf(m_queue, m_queueHead++, out);
        } else {
            break;
        }
    }
    if (m_queueHead == m_queue.RowCount()) {
        m_queue.Reset(m_queue.Columns());
        m_queueHead = 0;
    } else if (m_queueHead > 4096 && m_queueHead * 2 > m_queue.RowCount()) {
        DbRows rest;
        rest.Reset(m_queue.Columns());
        for (int r = m_queueHead; r < m_queue.RowCount(); ++r)
            AppendRowOf(m_queue, r, rest);
        m_queue = std::move(rest);
        m_queueHead = 0;
    }
}

bool DbStagePins::Finish()
{
    DbRows out;
    out.Reset(m_queue.Columns());
    for (;;) {
        Place(out);
        if (m_pins.empty())
            break;
        const auto pin = m_pins.begin();
        if (!m_pool.count(pin->second)) {
            m_changed = true;
            return false;
        }
        // Fewer unshown rows came than before the pinned place (some were deleted): the shown
        // rows left follow the run's rows, in their order.
        const quint64 hash = pin->second;
        m_pins.erase(pin);
        m_pins.emplace(m_stage->RowCount() + out.RowCount(), hash);
    }
    return out.IsEmpty() || Keep(out);
}

bool DbStagePins::Keep(const DbRows& out)
{
    if (m_stage->Append(out))
        return true;
    m_changed = m_stage->Changed();
    return false;
}
