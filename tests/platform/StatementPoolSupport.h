#pragma once

#include "platform/db/DbConnection.h"

#include <QStringList>
#include <gtest/gtest.h>

// One round of reading through PgBouncer pooling statement by statement, which ends a client
// whose transaction is still open when a statement's answer ends: a failed statement leaves
// the connection reading on, pages and walks read as from the server, and nothing a
// statement sets for the session reaches the next, which may run on another of the pool's
// server connections.
inline void ReadThroughAPoolOfSingleStatements(DbConnection& db)
{
    DbRows rows;
    EXPECT_FALSE(db.Query("select 1/0", rows));
    EXPECT_TRUE(db.LastError().contains("division by zero")) << db.LastError().toStdString();
    ASSERT_TRUE(db.Query("select \"Id\", \"City\" from \"People\" order by \"Id\"", rows, 8, 2))
        << db.LastError().toStdString();
    EXPECT_EQ(rows.Row(1), (QStringList {"10", "Zürich"}));
    EXPECT_FALSE(db.Query("select * from \"NoSuchTable\"", rows));
    EXPECT_TRUE(db.LastError().contains("does not exist")) << db.LastError().toStdString();
    ASSERT_TRUE(db.Query("select set_config('application_name', 'vc-left', false)", rows))
        << db.LastError().toStdString();
    ASSERT_TRUE(db.Query("select current_setting('application_name'), current_setting('transaction_read_only'), "
                         "current_user::text",
        rows))
        << db.LastError().toStdString();
    EXPECT_NE(rows.Value(0, 0), "vc-left");
    EXPECT_EQ(rows.Row(0).mid(1), (QStringList {"on", "pg_read_all_data"}));
    auto walk = db.OpenCursor("select \"Id\" from \"People\" order by \"Id\"");
    qint64 total = 0;
    for (;;) {
        ASSERT_TRUE(walk->Fetch(40, rows)) << walk->LastError().toStdString();
        if (rows.IsEmpty())
            break;
        EXPECT_EQ(rows.Value(0, 0).toLongLong(), total + 1);
        total += rows.RowCount();
    }
    EXPECT_EQ(total, 100);
}
