#pragma once

#include "platform/db/DbConnection.h"

#include <gtest/gtest.h>

#include <algorithm>

// Runs one statement through a series of row windows and checks each against the
// same rule, so every backend is held to it. `sql` must give one column holding 1..
// rowCount in order. The windows run one after another on the same connection, so
// stopping a result early must leave the connection usable.
inline void ExpectRowWindows(DbConnection& db, const QString& sql, qint64 rowCount)
{
    struct Window
    {
        qint64 skip;
        qint64 maxRows;
    };
    const Window windows[] = {
        {0, 0}, {3, 0}, {0, 1}, {2, 3}, {rowCount - 1, 5}, {rowCount, -1}, {rowCount + 5, 2}, {-2, 2}, {0, -1}, {1, 0}};
    for (const Window& w : windows) {
        SCOPED_TRACE(testing::Message() << "skip " << w.skip << ", maxRows " << w.maxRows);
        DbRows rows;
        ASSERT_TRUE(db.Query(sql, rows, w.skip, w.maxRows)) << db.LastError().toStdString();
        EXPECT_EQ(rows.ColumnCount(), 1); // known also when no row is kept
        const qint64 first = std::max<qint64>(w.skip, 0) + 1;
        const qint64 available = std::max<qint64>(rowCount - first + 1, 0);
        const qint64 expected = w.maxRows < 0 ? available : std::min(available, w.maxRows);
        ASSERT_EQ(rows.RowCount(), expected);
        for (int r = 0; r < rows.RowCount(); ++r)
            EXPECT_EQ(rows.Value(r, 0), QString::number(first + r));
    }
}
