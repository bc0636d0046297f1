#pragma once

#include "platform/db/DbRows.h"

#include <QString>
#include <memory>
#include <unordered_map>
#include <vector>

class DbRowStage;

// A walk run again (its server ended the first, or gave it back while it idled) passes over the
// rows the stage kept of the walk before it, then goes on keeping rows after them.
//
// Rows that tie in the statement's order may come in another order each run, so the rows passed
// over are compared as a multiset, not place by place: the kept rows stay right exactly when the
// run again gives the same rows before the stage's end. Ties across that end may also change
// sides: a kept row comes after it and an unkept one before. So the check does not stop at the
// end. The unkept rows met before it are kept next (they were never shown), and further on each
// row is kept unless it is one of the kept rows still missing, which is passed over. The check is
// settled once every kept row has come; the walk is then right, each record once, the kept ones
// where they were shown. A kept row that never comes (deleted, or its values changed) is a change,
// found at the latest at the statement's end; till then no page past the stage is shown. A row
// only added before the end is not one: it is kept after the kept rows.
//
// Rows compare by DbRowHash of the kept columns; in the common run, in the same order, they
// match place by place and nothing is held but the count.
class DbStageRecheck
{
public:
    explicit DbStageRecheck(std::shared_ptr<DbRowStage> stage);

    // The next rows of the walk run again, the first of them at Position(). False when the
    // stage fails (its LastError()) or the columns are not the kept ones (Changed()).
    bool Take(const DbRows& rows);
    qint64 Position() const { return m_position; }
    // The walk has passed the rows kept when it began.
    bool Passed() const { return m_position >= m_kept; }
    // Passed, and every kept row has come.
    bool Settled() const { return Passed() && m_missing == 0; }
    bool Changed() const { return m_changed; }

private:
    // Counts a row met (+1) or a kept row expected (-1); the row met is held while it is unmatched.
    void Count(quint64 hash, int step, const DbRows* rows, int row);
    // Keeps the unkept rows met before the end, once it is passed.
    bool KeepMet();
    void Compact();

    std::shared_ptr<DbRowStage> m_stage;
    qint64 m_kept;
    qint64 m_position = 0;
    // Rows met less kept rows expected, by hash; zero counts are dropped.
    std::unordered_map<quint64, qint64> m_difference;
    qint64 m_missing = 0; // the negative counts together: kept rows not met yet
    qint64 m_surplus = 0; // the positive counts together
    DbRows m_met; // rows met before the end that were unmatched when met
    std::vector<quint64> m_metHashes;
    bool m_changed = false;
};
