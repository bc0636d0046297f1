#include "platform/db/DbConnection.h"

bool DbConnection::QueryFirstColumn(const QString& sql, QStringList& values)
{
    values.clear();
    DbRows rows;
    if (!Query(sql, rows))
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
        values.append(rows.Value(r, 0));
    return true;
}
