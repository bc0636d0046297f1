#pragma once

#include "model/DLBase.h"
#include "model/DSBase.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

// The records of the pages given, in turn, as "value|value" texts of the selected fields (which
// lead the statement's columns); a page that fails is a test failure with the loader's words.
inline QStringList PageRecords(CDLBase& loader, const std::vector<int>& pages, int pageSize)
{
    QStringList records;
    LoaderRow rows;
    const qsizetype fields = loader.GetDataSource()->m_selectedFields.size();
    for (const int page : pages) {
        EXPECT_TRUE(loader.LoadPage(page, pageSize, rows)) << loader.GetLastError().toStdString();
        for (int r = 0; r < rows.RowCount(); ++r)
            records.append(rows.Row(r).mid(0, fields).join(u'|'));
    }
    return records;
}
