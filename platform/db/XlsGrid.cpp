#include "platform/db/XlsGrid.h"

#include <QIODevice>
#include <QString>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr quint32 kLastSector = 0xFFFFFFFA; // larger numbers mark free, end-of-chain and table sectors
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr int kMiniSectorBytes = 64;
constexpr int kEntryBytes = 128; // one directory entry

quint16 U16(const char* p)
{
    const auto* u = reinterpret_cast<const uchar*>(p);
    return static_cast<quint16>(u[0] | (u[1] << 8));
}

quint32 U32(const char* p)
{
    return U16(p) | (quint32(U16(p + 2)) << 16);
}

// One stream's bytes in blocks (sectors, or mini sectors inside the mini stream), each at
// its offset in the file, read in order: a block is read when a read first reaches it.
class BlockStream
{
public:
    BlockStream(QIODevice& file, std::vector<qint64> offsets, int blockSize, qint64 size)
        : m_file(&file), m_offsets(std::move(offsets)), m_blockSize(blockSize), m_size(size), m_block(blockSize, '\0')
    {
    }

    // False at the stream's end, or where its file ends short.
    bool Read(char* into, qint64 bytes)
    {
        if (bytes > m_size - m_position)
            return false;
        while (bytes > 0) {
            const qint64 block = m_position / m_blockSize;
            const qint64 within = m_position % m_blockSize;
            if (block != m_loaded) {
                if (!m_file->seek(m_offsets[static_cast<size_t>(block)]))
                    return false;
                m_got = std::max<qint64>(m_file->read(m_block.data(), m_blockSize), 0);
                m_loaded = block;
            }
            const qint64 take = std::min<qint64>(bytes, m_blockSize - within);
            if (within + take > m_got)
                return false;
            std::memcpy(into, m_block.data() + within, static_cast<size_t>(take));
            into += take;
            bytes -= take;
            m_position += take;
        }
        return true;
    }

    bool Skip(qint64 bytes)
    {
        if (bytes > m_size - m_position)
            return false;
        m_position += bytes;
        return true;
    }

private:
    QIODevice* m_file;
    std::vector<qint64> m_offsets;
    int m_blockSize;
    qint64 m_size;
    std::vector<char> m_block;
    qint64 m_loaded = -1;
    qint64 m_got = 0;
    qint64 m_position = 0;
};

// The compound file a .xls workbook is: sectors chained by an allocation table, a
// directory of streams, and small streams kept in mini sectors of one stream of their own.
class CompoundFile
{
public:
    explicit CompoundFile(QIODevice& file) : m_file(file) {}

    bool Open()
    {
        char header[512];
        if (!m_file.seek(0) || m_file.read(header, sizeof header) != qint64(sizeof header)
            || std::memcmp(header, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0)
            return false;
        const int shift = U16(header + 0x1E);
        if ((shift != 9 && shift != 12) || U16(header + 0x20) != 6)
            return false;
        m_sectorSize = 1 << shift;
        m_version3 = shift == 9;
        m_firstDirectory = U32(header + 0x30);
        m_cutoff = U32(header + 0x38);
        m_firstMiniFat = U32(header + 0x3C);
        // The table needs an entry for each sector of the file, and no more sectors than
        // that: a header that claims more would have its table outgrow the file.
        const qint64 sectors = m_file.size() / m_sectorSize + 1;
        const qint64 perSector = m_sectorSize / 4;
        const quint32 fatSectors = U32(header + 0x2C);
        if (fatSectors > sectors / perSector + 2)
            return false;
        std::vector<quint32> fatList;
        for (int i = 0; i < 109 && fatList.size() < fatSectors; ++i)
            fatList.push_back(U32(header + 0x4C + 4 * i));
        std::vector<char> block(static_cast<size_t>(m_sectorSize));
        quint32 next = U32(header + 0x44);
        for (qint64 read = 0; fatList.size() < fatSectors; ++read) {
            if (read > sectors || !ReadSector(next, block.data()))
                return false;
            for (qint64 i = 0; i < perSector - 1 && fatList.size() < fatSectors; ++i)
                fatList.push_back(U32(block.data() + 4 * i));
            next = U32(block.data() + 4 * (perSector - 1));
        }
        for (const quint32 sector : fatList) {
            if (!ReadSector(sector, block.data()))
                return false;
            for (qint64 i = 0; i < perSector; ++i)
                m_fat.push_back(U32(block.data() + 4 * i));
        }
        return true;
    }

    // The streams named Workbook (BIFF8) or Book (BIFF5); false when the directory or a
    // chain is broken.
    bool WorkbookStreams(std::vector<BlockStream>& streams)
    {
        std::vector<quint32> chain;
        if (!Chain(m_firstDirectory, m_fat, chain))
            return false;
        std::vector<char> directory(chain.size() * static_cast<size_t>(m_sectorSize));
        for (size_t i = 0; i < chain.size(); ++i)
            if (!ReadSector(chain[i], directory.data() + i * static_cast<size_t>(m_sectorSize)))
                return false;
        if (directory.size() < size_t(kEntryBytes) || directory[0x42] != 5) // the root
            return false;
        for (size_t at = kEntryBytes; at + kEntryBytes <= directory.size(); at += kEntryBytes) {
            const char* entry = directory.data() + at;
            const int nameBytes = U16(entry + 0x40);
            if (entry[0x42] != 2 || nameBytes < 2 || nameBytes > 64)
                continue;
            QString name;
            for (int i = 0; i + 2 < nameBytes; i += 2)
                name.append(QChar(U16(entry + i)));
            if (name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) != 0
                && name.compare(QLatin1String("Book"), Qt::CaseInsensitive) != 0)
                continue;
            // Version 3 files keep only the size's low half.
            const quint64 size = m_version3 ? U32(entry + 0x78) : (quint64(U32(entry + 0x7C)) << 32) | U32(entry + 0x78);
            if (size > quint64(m_file.size()))
                return false;
            std::vector<qint64> offsets;
            const bool mini = size < m_cutoff;
            if (!(mini ? MiniOffsets(U32(entry + 0x74), directory.data(), offsets)
                       : SectorOffsets(U32(entry + 0x74), offsets)))
                return false;
            const int blockSize = mini ? kMiniSectorBytes : m_sectorSize;
            if (qint64(offsets.size()) * blockSize < qint64(size))
                return false;
            streams.emplace_back(m_file, std::move(offsets), blockSize, static_cast<qint64>(size));
        }
        return true;
    }

private:
    qint64 SectorOffset(quint32 sector) const { return (qint64(sector) + 1) * m_sectorSize; }

    bool ReadSector(quint32 sector, char* into)
    {
        return sector <= kLastSector && m_file.seek(SectorOffset(sector))
            && m_file.read(into, m_sectorSize) == m_sectorSize;
    }

    // The chain from first through table; false when it leaves the table or loops.
    static bool Chain(quint32 first, const std::vector<quint32>& table, std::vector<quint32>& chain)
    {
        chain.clear();
        for (quint32 at = first; at != kEndOfChain; at = table[at]) {
            if (at >= table.size() || chain.size() >= table.size())
                return false;
            chain.push_back(at);
        }
        return true;
    }

    bool SectorOffsets(quint32 first, std::vector<qint64>& offsets) const
    {
        std::vector<quint32> chain;
        if (!Chain(first, m_fat, chain))
            return false;
        for (const quint32 sector : chain)
            offsets.push_back(SectorOffset(sector));
        return true;
    }

    // Where each mini sector of the chain from first lies in the file: inside the root's
    // stream, whose chain the regular table gives, at the place the mini table chains.
    bool MiniOffsets(quint32 first, const char* root, std::vector<qint64>& offsets)
    {
        std::vector<quint32> container;
        std::vector<quint32> tableSectors;
        if (!Chain(U32(root + 0x74), m_fat, container) || !Chain(m_firstMiniFat, m_fat, tableSectors))
            return false;
        std::vector<quint32> miniFat;
        std::vector<char> block(static_cast<size_t>(m_sectorSize));
        for (const quint32 sector : tableSectors) {
            if (!ReadSector(sector, block.data()))
                return false;
            for (int i = 0; i < m_sectorSize / 4; ++i)
                miniFat.push_back(U32(block.data() + 4 * i));
        }
        std::vector<quint32> chain;
        if (!Chain(first, miniFat, chain))
            return false;
        for (const quint32 mini : chain) {
            const qint64 at = qint64(mini) * kMiniSectorBytes;
            const size_t index = static_cast<size_t>(at / m_sectorSize);
            if (index >= container.size())
                return false;
            offsets.push_back(SectorOffset(container[index]) + at % m_sectorSize);
        }
        return true;
    }

    QIODevice& m_file;
    int m_sectorSize = 512;
    bool m_version3 = true;
    quint32 m_firstDirectory = kEndOfChain;
    quint32 m_cutoff = 4096;
    quint32 m_firstMiniFat = kEndOfChain;
    std::vector<quint32> m_fat;
};

} // namespace

qint64 XlsDeclaredCells(QIODevice& file)
{
    CompoundFile compound(file);
    std::vector<BlockStream> streams;
    if (!compound.Open() || !compound.WorkbookStreams(streams) || streams.empty())
        return -1;
    // Past any grid, so that adding more never overflows.
    constexpr qint64 kPlenty = qint64(1) << 56;
    qint64 cells = 0;
    for (BlockStream& stream : streams) {
        char head[4];
        while (stream.Read(head, sizeof head)) {
            const quint16 id = U16(head);
            const quint16 length = U16(head + 2);
            // DIMENSIONS: rows and columns past the last used, 32-bit rows in BIFF8
            // (14 bytes), 16-bit in BIFF5 and before (10 bytes; BIFF2's own record, 8).
            const bool dimensions = (id == 0x0200 && (length == 14 || length == 10)) || (id == 0x0000 && length == 8);
            if (!dimensions) {
                if (!stream.Skip(length))
                    break;
                continue;
            }
            char body[14];
            if (!stream.Read(body, length))
                break;
            const qint64 rows = length == 14 ? qint64(U32(body + 4)) : qint64(U16(body + 2));
            const qint64 columns = length == 14 ? qint64(U16(body + 10)) : qint64(U16(body + 6));
            cells = std::min(kPlenty, cells + rows * columns);
        }
    }
    return cells;
}
