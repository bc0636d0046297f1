#include "model/DSBase.h"
#include "model/TextLoader.h"

#include <QDir>
#include <QFile>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

// The first byte chooses the separator kind and the header flag, the rest is the
// file. Any bytes load; the count agrees with the rows loaded, and every row has
// the same number of elements.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    struct TempFile
    {
        QString path = QDir::temp().filePath(QStringLiteral("vc-text-fuzz-%1.txt").arg(getpid()));
        ~TempFile() { QFile::remove(path); }
    };
    static const TempFile temp;
    const QString& path = temp.path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
    file.close();

    CTextDS ds;
    ds.m_strPath = path;
    ds.m_nSeparator = data[0] & 7;
    ds.m_bHeaderRow = (data[0] & 8) != 0;
    ds.m_strOtherSeparator = QStringLiteral(";");
    ds.m_strCustomSegments = QStringLiteral("1,3,2");
    ds.m_selectedFields = QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    CTextDL loader;
    loader.SetDataSource(&ds);
    LoaderRow rows;
    if (!loader.LoadRows(1, INT_MAX, rows))
        std::abort();
    if (rows.RowCount() != loader.GetRecordCount())
        std::abort();
    const int width = ds.m_nSeparator == TextSeparatorNone ? 1 : 3;
    if (rows.RowCount() > 0 && rows.ColumnCount() != width)
        std::abort();
    for (int r = 0; r < rows.RowCount(); ++r)
        for (int c = 0; c < width; ++c)
            (void)rows.Value(r, c);
    return 0;
}
