#pragma once

#include <QByteArray>
#include <QtEndian>
#include <cstdint>
#include <vector>

// A small reader of EMF records for tests: walks the records by their sizes and
// rejects any file whose record chain does not fit its bytes exactly.
struct EmfRecordView
{
    uint32_t type = 0;
    uint32_t size = 0;
    qsizetype offset = 0; // of the record in the file
};

struct EmfFile
{
    bool valid = false;
    std::vector<EmfRecordView> records;
    QByteArray bytes;

    uint32_t U32(qsizetype at) const { return qFromLittleEndian<uint32_t>(bytes.constData() + at); }
    int32_t I32(qsizetype at) const { return qFromLittleEndian<int32_t>(bytes.constData() + at); }
    // A field of record i, by its byte offset within the record.
    uint32_t Field(size_t i, qsizetype at) const { return U32(records[i].offset + at); }
    int32_t IField(size_t i, qsizetype at) const { return I32(records[i].offset + at); }
    size_t Count(uint32_t type) const
    {
        size_t n = 0;
        for (const auto& r : records)
            n += r.type == type;
        return n;
    }
};

inline EmfFile ParseEmf(const QByteArray& bytes)
{
    EmfFile file;
    file.bytes = bytes;
    qsizetype at = 0;
    while (at + 8 <= bytes.size()) {
        EmfRecordView r{file.U32(at), file.U32(at + 4), at};
        if (r.size < 8 || r.size % 4 || at + qsizetype(r.size) > bytes.size())
            return file;
        file.records.push_back(r);
        at += r.size;
        if (r.type == 14) // EMR_EOF
            break;
    }
    const bool headerFirst = !file.records.empty() && file.records.front().type == 1 && file.U32(40) == 0x464D4520;
    file.valid = headerFirst && at == bytes.size() && file.records.back().type == 14 && file.U32(48) == bytes.size()
                 && file.U32(52) == file.records.size();
    return file;
}
