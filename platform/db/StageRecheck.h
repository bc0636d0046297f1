#pragma once

#include "platform/db/DbRows.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
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
    // The rows kept after the stage's end go to append (the stage's own Append when empty).
    explicit DbStageRecheck(std::shared_ptr<DbRowStage> stage, std::function<bool(const DbRows&)> append = {});

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
    std::function<bool(const DbRows&)> m_append;
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

// A walk whose server moved the cursor itself showed its pages where they lay in one run, and
// kept only a hash of each row shown. Run again, rows that tie in the order may come in another
// order, so a page read by position would show some records a second time and others never.
// Such a walk goes on kept in a stage instead, from the run again's first row, each shown place
// pinned: it takes the row it showed (met earlier or later in the run, held until its place
// comes), and every other place the run's next row that is not one of the shown rows. Every
// record then shows once, each shown one where it was shown, and the rest in the run's order; the
// rows held are as many as the ties moved. A shown row that never comes by the statement's end
// (deleted, or its values changed) is a change. Rows compare by DbRowHash of the kept columns.
class DbStagePins
{
public:
    // pins: the hash of each row shown by its place (0-based) in the walk; columns: the names of
    // the columns shown.
    DbStagePins(std::shared_ptr<DbRowStage> stage, std::map<qint64, quint64> pins, QStringList columns);

    // The walk runs again: what was held comes again in the new run.
    void Restart();
    // The run's next rows after those taken since it began (the kept ones passed over by a
    // recheck). False when they cannot be kept: the stage's failure, the held rows past the
    // bound of one read (LastError()), or columns that are not the shown ones (Changed()).
    bool Take(const DbRows& rows);
    // The run reached the statement's end: what is held is kept. False when a shown row never
    // came (Changed()) or the rows cannot be kept.
    bool Finish();
    // Rows of the run taken but not kept yet.
    qint64 Held() const { return m_pooled + m_queue.RowCount() - m_queueHead; }
    bool Changed() const { return m_changed; }
    QString LastError() const { return m_strLastError; }

private:
    // Keeps into out, after the stage's rows, every place that what is held can fill in turn.
    void Place(DbRows& out);
    bool Keep(const DbRows& out);

    std::shared_ptr<DbRowStage> m_stage;
    std::map<qint64, quint64> m_pins; // the places not kept yet
    std::unordered_map<quint64, qint64> m_wanted; // by hash: pins not kept yet, less rows pooled
    // Shown rows met before their place, by hash: their rows in m_poolRows.
    std::unordered_map<quint64, std::vector<int>> m_pool;
    DbRows m_poolRows;
    qint64 m_pooled = 0;
    // Rows not shown, met while a place before them waits for its shown row.
    DbRows m_queue;
    int m_queueHead = 0;
    QStringList m_columns;
    bool m_changed = false;
    QString m_strLastError;
};
