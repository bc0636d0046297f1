#include "platform/db/XlsGrid.h"

#include <QBuffer>
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Any bytes as an .xls compound file: the declared cells are counted, or the file is
// refused, without reading past it, looping or taking memory beyond its size's share.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer file(&bytes);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    if (XlsDeclaredCells(file) < -1)
        std::abort();
    return 0;
}
