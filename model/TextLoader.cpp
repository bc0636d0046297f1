#include "model/TextLoader.h"

#include "model/DSBase.h"
#include "platform/InputLimits.h"
#include "platform/Numbers.h"
#include "platform/VXException.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <ctime>
#include <unistd.h>

namespace {

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Gb18030 };

constexpr qsizetype kChunk = 1 << 20;

// Strict UTF-8 check over a stream of chunks: overlong forms, surrogates and values
// past U+10FFFF are invalid, as GB18030 text nearly always is.
class Utf8Validator
{
public:
    bool Feed(const unsigned char* p, qsizetype n)
    {
        qsizetype i = 0;
        while (i < n) {
            if (m_need == 0) {
                // ASCII runs eight bytes at a time.
                while (i + 8 <= n) {
                    uint64_t word;
                    std::memcpy(&word, p + i, 8);
                    if (word & 0x8080808080808080ULL)
                        break;
                    i += 8;
                }
                if (i >= n)
                    break;
                const unsigned char b = p[i++];
                if (b < 0x80)
                    continue;
                if (b >= 0xC2 && b <= 0xDF) {
                    m_need = 1;
                    m_lo = 0x80, m_hi = 0xBF;
                } else if (b >= 0xE0 && b <= 0xEF) {
                    m_need = 2;
                    m_lo = b == 0xE0 ? 0xA0 : 0x80;
                    m_hi = b == 0xED ? 0x9F : 0xBF;
                } else if (b >= 0xF0 && b <= 0xF4) {
                    m_need = 3;
                    m_lo = b == 0xF0 ? 0x90 : 0x80;
                    m_hi = b == 0xF4 ? 0x8F : 0xBF;
                } else {
                    return false;
                }
            } else {
                const unsigned char b = p[i++];
                if (b < m_lo || b > m_hi)
                    return false;
                m_lo = 0x80, m_hi = 0xBF;
                --m_need;
            }
        }
        return true;
    }
    bool Complete() const { return m_need == 0; }

private:
    int m_need = 0;
    unsigned char m_lo = 0x80;
    unsigned char m_hi = 0xBF;
};

// Every kIndexStride-th line's start is remembered: a load reads at most that many
// lines before its first.
constexpr qint64 kIndexStride = 64;

// How long a file must be unchanged before its size and time are trusted to tell
// a rewrite (file times move in clock ticks of a few milliseconds).
constexpr qint64 kRestMs = 50;

// What one reading of the file taught: the encoding, the line count and where
// lines 1, 1 + kIndexStride, 1 + 2 kIndexStride, ... start (file offsets; only
// line 1 for UTF-16, whose lines are found by decoding).
struct TextFileIndex
{
    TextEncoding encoding = TextEncoding::Utf8;
    qint64 lines = 0;
    std::vector<qint64> starts;
};

// Yields the lines of a text file as UTF-8, whatever the file's encoding.
class TextLineReader
{
public:
    bool Open(const QString& path, QString& error)
    {
        m_path = path;
        QString reason;
        const int fd = OpenRegularFile(path, reason);
        if (fd < 0 || !m_file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0) {
                reason = m_file.errorString();
                ::close(fd);
            }
            error = QStringLiteral("Cannot open the text file \"%1\": %2").arg(path, reason);
            return false;
        }
        // The file is read up to its size when opened: a file under /proc that
        // reports 0 bytes yet reads without end is empty here.
        m_size = m_file.size();
        return true;
    }

    // One pass over the file: its encoding, line count and line starts. Leaves the
    // reader at line 1.
    bool Learn(TextFileIndex& index, QString& error)
    {
        index.starts.clear();
        index.lines = 0;
        const QByteArray head = m_file.peek(std::min<qint64>(3, m_size));
        qint64 bom = 0;
        bool validate = false;
        if (head.startsWith("\xEF\xBB\xBF")) {
            index.encoding = TextEncoding::Utf8, bom = 3;
        } else if (head.startsWith("\xFF\xFE")) {
            index.encoding = TextEncoding::Utf16LE, bom = 2;
        } else if (head.startsWith("\xFE\xFF")) {
            index.encoding = TextEncoding::Utf16BE, bom = 2;
        } else {
            index.encoding = TextEncoding::Utf8, validate = true;
        }
        if (index.encoding == TextEncoding::Utf16LE || index.encoding == TextEncoding::Utf16BE) {
            index.starts.push_back(bom);
            if (!Start(index.encoding, bom, error))
                return false;
            QByteArrayView line;
            while (NextLine(line))
                ++index.lines;
            if (!m_error.isEmpty()) {
                error = m_error;
                return false;
            }
            return Start(index.encoding, bom, error);
        }
        // In UTF-8 and GB18030 a newline byte is never part of a longer character,
        // so lines are cut on the raw bytes while the encoding is being decided.
        if (!m_file.seek(bom))
            return ReadError(error);
        Utf8Validator validator;
        QByteArray chunk(kChunk, Qt::Uninitialized);
        qint64 offset = bom;
        qint64 lineStart = bom;
        index.starts.push_back(bom);
        for (;;) {
            const qint64 n = m_file.read(chunk.data(), ChunkLeft());
            if (n <= 0)
                break;
            const char* data = chunk.constData();
            if (validate
                && !validator.Feed(reinterpret_cast<const unsigned char*>(data), n)) {
                validate = false;
                index.encoding = TextEncoding::Gb18030;
            }
            for (qint64 i = 0; i < n;) {
                const void* nl = std::memchr(data + i, '\n', static_cast<size_t>(n - i));
                if (!nl)
                    break;
                const qint64 at = static_cast<const char*>(nl) - data;
                if (offset + at - lineStart > kMaxTextLineBytes)
                    return LineTooLong(error);
                lineStart = offset + at + 1;
                if (++index.lines % kIndexStride == 0)
                    index.starts.push_back(lineStart);
                i = at + 1;
            }
            offset += n;
            if (offset - lineStart > kMaxTextLineBytes)
                return LineTooLong(error);
        }
        if (validate && !validator.Complete())
            index.encoding = TextEncoding::Gb18030;
        if (offset > lineStart)
            ++index.lines;
        return Start(index.encoding, bom, error);
    }

    // Reads from offset, the start of a line, on.
    bool Start(TextEncoding encoding, qint64 offset, QString& error)
    {
        if (!m_file.seek(offset))
            return ReadError(error);
        m_buffer.clear();
        m_pos = 0;
        m_atEnd = false;
        m_error.clear();
        m_decoder.reset();
        m_bytewise = encoding == TextEncoding::Gb18030;
        m_rawTail = false;
        switch (encoding) {
        case TextEncoding::Utf8:
            break;
        case TextEncoding::Utf16LE:
            m_decoder.emplace(QStringConverter::Utf16LE);
            break;
        case TextEncoding::Utf16BE:
            m_decoder.emplace(QStringConverter::Utf16BE);
            break;
        case TextEncoding::Gb18030:
            m_decoder.emplace("GB18030");
            break;
        }
        return true;
    }

    // The next line without its line end; false after the last line, or on a line
    // longer than kMaxTextLineBytes (then Error() says so).
    bool NextLine(QByteArrayView& line)
    {
        // Bytes of the current line already searched for its end: a long line is
        // scanned once, not again after each refill.
        qsizetype scanned = 0;
        for (;;) {
            const char* begin = m_buffer.constData() + m_pos;
            const qsizetype available = m_buffer.size() - m_pos;
            if (const void* nl
                = std::memchr(begin + scanned, '\n', static_cast<size_t>(available - scanned))) {
                const qsizetype length = static_cast<const char*>(nl) - begin;
                line = Trimmed(begin, length);
                m_pos += length + 1;
                return true;
            }
            scanned = available;
            if (m_atEnd) {
                if (available == 0)
                    return false;
                line = Trimmed(begin, available);
                m_pos = m_buffer.size();
                return true;
            }
            if (available > kMaxTextLineBytes) {
                LineTooLong(m_error);
                return false;
            }
            Fill();
        }
    }

    const QString& Error() const { return m_error; }

private:
    static QByteArrayView Trimmed(const char* begin, qsizetype length)
    {
        if (length > 0 && begin[length - 1] == '\r')
            --length;
        return QByteArrayView(begin, length);
    }

    bool LineTooLong(QString& error) const
    {
        error = QStringLiteral("A line of the text file \"%1\" is longer than %2 bytes")
                    .arg(m_path)
                    .arg(kMaxTextLineBytes);
        return false;
    }

    bool ReadError(QString& error) const
    {
        error = QStringLiteral("Cannot read the text file \"%1\": %2").arg(m_path, m_file.errorString());
        return false;
    }

    qint64 ChunkLeft() const { return std::clamp<qint64>(m_size - m_file.pos(), 0, kChunk); }

    void Fill()
    {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
        if (!m_decoder) {
            const qsizetype old = m_buffer.size();
            m_buffer.resize(old + kChunk);
            const qint64 n = m_file.read(m_buffer.data() + old, ChunkLeft());
            m_buffer.resize(old + std::max<qint64>(n, 0));
            m_atEnd = n <= 0;
        } else {
            const QByteArray raw = m_file.read(ChunkLeft());
            const QString text = (*m_decoder)(raw);
            m_buffer.append(text.toUtf8());
            m_atEnd = raw.isEmpty();
            if (m_bytewise) {
                // The lines were counted on the raw bytes: a last line whose bytes the
                // decoder still holds (a lead byte cut off by the end of the file) must
                // not vanish, or the count and the rows would disagree.
                const qsizetype nl = raw.lastIndexOf('\n');
                m_rawTail = nl >= 0 ? nl + 1 < raw.size() : (m_rawTail || !raw.isEmpty());
                if (m_atEnd && m_rawTail && (m_buffer.size() == m_pos || m_buffer.endsWith('\n')))
                    m_buffer.append(QString(QChar::ReplacementCharacter).toUtf8());
            }
        }
    }

    QFile m_file;
    qint64 m_size = 0;
    QString m_path;
    QString m_error;
    std::optional<QStringDecoder> m_decoder;
    bool m_bytewise = false; // lines were counted on the raw bytes (GB18030)
    bool m_rawTail = false;  // raw bytes were read after the last line feed
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_atEnd = false;
};

// UTF-16 units of the UTF-8 sequence starting with lead.
int Utf16Units(unsigned char lead)
{
    return lead >= 0xF0 ? 2 : 1;
}

int SequenceLength(unsigned char lead)
{
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

} // namespace

std::vector<int> ParseSegments(const QString& segments)
{
    std::vector<int> widths;
    for (const QString& piece : segments.split(u','))
        if (const int width = std::abs(LeadingInt(piece)); width >= 1)
            widths.push_back(width);
    return widths;
}

QByteArray TextSeparator(int32_t kind, const QString& otherSeparator)
{
    switch (kind) {
    case TextSeparatorNone:
        return {};
    case TextSeparatorSpace:
        return QByteArrayLiteral(" ");
    case TextSeparatorTab:
        return QByteArrayLiteral("\t");
    case TextSeparatorBackslash:
        return QByteArrayLiteral("\\");
    case TextSeparatorSlash:
        return QByteArrayLiteral("/");
    case TextSeparatorOther: {
        // The whole first character, a surrogate pair included.
        if (otherSeparator.isEmpty())
            return {};
        const qsizetype length = otherSeparator.at(0).isHighSurrogate() && otherSeparator.size() > 1 ? 2 : 1;
        return otherSeparator.left(length).toUtf8();
    }
    default:
        return QByteArrayLiteral(",");
    }
}

void AppendSplitLine(QByteArrayView line, QByteArrayView separator, const std::vector<int>& widths, int pieceCount,
                     LoaderRow& rows)
{
    const char* p = line.data();
    const qsizetype n = line.size();
    int filled = 0;
    if (!widths.empty()) {
        qsizetype pos = 0;
        for (; filled < pieceCount && filled < static_cast<int>(widths.size()) && pos < n; ++filled) {
            const qsizetype start = pos;
            for (int units = 0; units < widths[filled] && pos < n;) {
                const auto lead = static_cast<unsigned char>(p[pos]);
                units += Utf16Units(lead);
                pos = std::min(n, pos + SequenceLength(lead));
            }
            rows.AppendUtf8(p + start, pos - start);
        }
    } else {
        qsizetype start = 0;
        if (separator.size() == 1) {
            const char sep = separator.front();
            for (qsizetype i = 0; i < n && filled < pieceCount; ++i) {
                if (p[i] != sep)
                    continue;
                rows.AppendUtf8(p + start, i - start);
                ++filled;
                start = i + 1;
            }
        } else if (!separator.isEmpty()) {
            // A character of several bytes: UTF-8 never matches one inside another.
            for (qsizetype i; filled < pieceCount && (i = line.indexOf(separator, start)) >= 0;) {
                rows.AppendUtf8(p + start, i - start);
                ++filled;
                start = i + separator.size();
            }
        }
        if (filled < pieceCount && start < n) {
            rows.AppendUtf8(p + start, n - start);
            ++filled;
        }
    }
    for (; filled < pieceCount; ++filled)
        rows.AppendUtf8(nullptr, 0);
}

QStringList SplitString(const QString& line, const QString& separator, int pieceCount, const std::vector<int>& widths)
{
    const int count = std::max(pieceCount, 1);
    LoaderRow rows;
    rows.Reset(count);
    AppendSplitLine(line.toUtf8(), separator.toUtf8(), widths, count, rows);
    return rows.Row(0);
}

bool ReadTextFileHead(const QString& path, int keep, qint64 countLimit, QStringList& lines, qint64& lineCount,
                      QString& error)
{
    lines.clear();
    lineCount = 0;
    TextLineReader reader;
    TextFileIndex index;
    if (!reader.Open(path, error) || !reader.Learn(index, error))
        return false;
    QByteArrayView line;
    while ((countLimit < 0 || lineCount <= countLimit) && reader.NextLine(line)) {
        if (lineCount++ < keep)
            lines.append(QString::fromUtf8(line));
    }
    error.clear();
    return true;
}

// The file last read, how to recognise it again and a reader left after the last
// line a load read.
struct CTextDL::FileState
{
    QString path;
    struct stat identity = {};
    // A file changed within a clock tick of being read may change again unseen
    // with the same size and time: it is read again until it has rested.
    bool racy = true;
    TextFileIndex index;
    std::unique_ptr<TextLineReader> reader;
    qint64 nextLine = 1;

    bool Same(const struct stat& other) const
    {
        return !racy && identity.st_dev == other.st_dev && identity.st_ino == other.st_ino
            && identity.st_size == other.st_size && identity.st_mtim.tv_sec == other.st_mtim.tv_sec
            && identity.st_mtim.tv_nsec == other.st_mtim.tv_nsec;
    }
};

CTextDL::CTextDL() = default;
CTextDL::~CTextDL() = default;

void CTextDL::SetDataSource(const CDSBase* source)
{
    m_pFile.reset();
    CDLBase::SetDataSource(source);
}

bool CTextDL::LearnFile(const QString& path)
{
    struct stat identity = {};
    const bool known = ::stat(QFile::encodeName(path).constData(), &identity) == 0;
    if (known && m_pFile && m_pFile->path == path && m_pFile->Same(identity))
        return true;
    m_pFile.reset();
    auto file = std::make_unique<FileState>();
    file->path = path;
    file->identity = identity;
    timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const qint64 age = (qint64(now.tv_sec) - identity.st_mtim.tv_sec) * 1000
                     + (qint64(now.tv_nsec) - identity.st_mtim.tv_nsec) / 1000000;
    file->racy = !known || age < kRestMs;
    file->reader = std::make_unique<TextLineReader>();
    if (!file->reader->Open(path, m_strLastError) || !file->reader->Learn(file->index, m_strLastError))
        return false;
    m_pFile = std::move(file);
    return true;
}

int CTextDL::GetRecordCount()
{
    try {
        return CountRecords();
    } catch (const std::bad_alloc&) {
        m_pFile.reset();
        m_strLastError = OutOfMemory();
        ThrowLastError();
    }
}

bool CTextDL::LoadRows(int nFirst, int nLast, LoaderRow& rows)
{
    try {
        return ReadRows(nFirst, nLast, rows);
    } catch (const std::bad_alloc&) {
        m_pFile.reset();
        rows.Clear();
        return Fail(OutOfMemory());
    }
}

QString CTextDL::OutOfMemory() const
{
    const auto* ds = dynamic_cast<const CTextDS*>(m_pDataSource);
    return QStringLiteral("The text file \"%1\" is too large to be read into memory").arg(ds ? ds->m_strPath : QString());
}

int CTextDL::CountRecords()
{
    const auto* ds = dynamic_cast<const CTextDS*>(m_pDataSource);
    if (!ds) {
        m_strLastError = QStringLiteral("The data source is not a text file");
        ThrowLastError();
    }
    if (ds->m_nRangeMode == RangeFromTo)
        return RangeRecordCount();
    if (!LearnFile(ds->m_strPath))
        ThrowLastError();
    qint64 lines = m_pFile->index.lines;
    if (ds->m_bHeaderRow && lines > 0)
        --lines;
    m_strLastError.clear();
    return static_cast<int>(std::min<qint64>(lines, INT_MAX));
}

bool CTextDL::ReadRows(int nFirst, int nLast, LoaderRow& rows)
{
    rows.Clear();
    const auto* ds = dynamic_cast<const CTextDS*>(m_pDataSource);
    if (!ds)
        return Fail(QStringLiteral("The data source is not a text file"));
    if (!LearnFile(ds->m_strPath))
        return false;
    m_strLastError.clear();
    qint64 first = 0;
    qint64 last = 0;
    if (!MapRecords(nFirst, nLast, first, last))
        return true;
    if (ds->m_bHeaderRow) { // line 1 holds the field names
        ++first;
        ++last;
    }

    const bool wholeLine = ds->m_nSeparator == TextSeparatorNone;
    const int pieceCount = wholeLine ? 1 : std::max<int>(1, static_cast<int>(ds->m_selectedFields.size()));
    const QByteArray separator = TextSeparator(ds->m_nSeparator, ds->m_strOtherSeparator);
    const std::vector<int> widths = ds->m_nSeparator == TextSeparatorCustom ? ParseSegments(ds->m_strCustomSegments)
                                                                        : std::vector<int>();
    QStringList names = ds->m_selectedFields.mid(0, pieceCount);
    for (qsizetype i = names.size(); i < pieceCount; ++i)
        names.append(QString::number(i + 1));
    rows.Reset(names);

    FileState& file = *m_pFile;
    if (first > file.index.lines)
        return true;
    // Go on from where the last load stopped when that is near, else from the
    // nearest remembered line.
    if (file.nextLine > first || first - file.nextLine >= kIndexStride) {
        const auto slot = std::min<qint64>((first - 1) / kIndexStride,
                                           static_cast<qint64>(file.index.starts.size()) - 1);
        if (!file.reader->Start(file.index.encoding, file.index.starts[slot], m_strLastError)) {
            m_pFile.reset();
            rows.Clear();
            return false;
        }
        file.nextLine = slot * kIndexStride + 1;
    }
    TextLineReader& reader = *file.reader;
    QByteArrayView line;
    qint64 number = file.nextLine;
    for (; number <= last && reader.NextLine(line); ++number) {
        if (number < first)
            continue;
        if (wholeLine)
            rows.AppendUtf8(line);
        else
            AppendSplitLine(line, separator, widths, pieceCount, rows);
    }
    file.nextLine = number;
    if (!reader.Error().isEmpty()) {
        const QString error = reader.Error();
        m_pFile.reset();
        rows.Clear();
        return Fail(error);
    }
    return true;
}
