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

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, PerLine };

constexpr qsizetype kChunk = 1 << 20;

// Strict UTF-8: overlong forms, surrogates and values past U+10FFFF are invalid, as
// GB18030 text nearly always is.
bool IsUtf8(const char* text, qsizetype n)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    qsizetype i = 0;
    while (i < n) {
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
        int need = 0;
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            lo = b == 0xE0 ? 0xA0 : 0x80;
            hi = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            lo = b == 0xF0 ? 0x90 : 0x80;
            hi = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        for (; need > 0; --need, lo = 0x80, hi = 0xBF) {
            if (i >= n || p[i] < lo || p[i] > hi)
                return false;
            ++i;
        }
    }
    return true;
}

// Where the separator next occurs at or after from; -1 when it does not.
qsizetype FindSeparator(const char* p, qsizetype from, qsizetype n, QByteArrayView separator)
{
    if (from >= n)
        return -1;
    if (separator.size() == 1) {
        const void* at = std::memchr(p + from, separator.front(), static_cast<size_t>(n - from));
        return at ? static_cast<const char*>(at) - p : -1;
    }
    // A character of several bytes: UTF-8 never matches one inside another.
    return QByteArrayView(p, n).indexOf(separator, from);
}

// From just inside a quoted field: the position after its closing quote, or -1 when
// the text ends inside the field. The field's text, with doubled quotes made single,
// is appended to out when given.
qsizetype ScanQuoted(const char* p, qsizetype from, qsizetype n, QByteArray* out)
{
    for (qsizetype j = from;;) {
        const void* quote = std::memchr(p + j, '"', static_cast<size_t>(n - j));
        const qsizetype at = quote ? static_cast<const char*>(quote) - p : n;
        if (out)
            out->append(p + j, at - j);
        if (at >= n)
            return -1;
        if (at + 1 < n && p[at + 1] == '"') {
            if (out)
                out->append('"');
            j = at + 2;
            continue;
        }
        return at + 1;
    }
}

// Whether a line leaves a quoted field open, so that the record goes on on the next
// line. inQuote: the line starts inside one.
bool QuoteOpenAtEnd(QByteArrayView line, QByteArrayView separator, bool inQuote)
{
    const char* p = line.data();
    const qsizetype n = line.size();
    if (!inQuote && !std::memchr(p, '"', static_cast<size_t>(n)))
        return false;
    qsizetype i = 0;
    bool atFieldStart = !inQuote;
    if (inQuote && (i = ScanQuoted(p, 0, n, nullptr)) < 0)
        return true;
    for (;;) {
        if (atFieldStart && i < n && p[i] == '"' && (i = ScanQuoted(p, i + 1, n, nullptr)) < 0)
            return true;
        const qsizetype at = FindSeparator(p, i, n, separator);
        if (at < 0)
            return false;
        i = at + separator.size();
        atFieldStart = true;
    }
}

// Hands each field of a line cut at a separator to emit (UTF-8 bytes), at most limit
// of them; returns how many. A field that starts with a double quote is quoted: it
// ends at the closing quote (a doubled quote inside stands for one), separators and
// line breaks inside are kept, and text after the closing quote up to the next
// separator is kept as it stands. A line of n separators has n + 1 fields.
template <class Emit> int ForEachField(QByteArrayView line, QByteArrayView separator, int limit, Emit emit)
{
    const char* p = line.data();
    const qsizetype n = line.size();
    QByteArray unquoted;
    int count = 0;
    for (qsizetype i = 0; count < limit; ++count) {
        if (i < n && p[i] == '"') {
            unquoted.clear();
            qsizetype j = ScanQuoted(p, i + 1, n, &unquoted);
            if (j < 0)
                j = n;
            const qsizetype at = FindSeparator(p, j, n, separator);
            unquoted.append(p + j, (at < 0 ? n : at) - j);
            emit(unquoted.constData(), unquoted.size());
            if (at < 0)
                return count + 1;
            i = at + separator.size();
            continue;
        }
        const qsizetype at = FindSeparator(p, i, n, separator);
        if (at < 0) {
            emit(p + std::min(i, n), std::max<qsizetype>(n - i, 0));
            return count + 1;
        }
        emit(p + i, at - i);
        i = at + separator.size();
    }
    return count;
}

// The lines a quoted field may hold. One still open after them, or at the end of
// the file, is taken for a stray quote: its field ends at the end of its own line,
// so one mistyped quote cannot swallow the rest of the file into one record.
constexpr int kMaxQuotedLines = 100;

// Every kIndexStride-th record's start is remembered: a load reads at most that many
// records before its first.
constexpr qint64 kIndexStride = 64;

// How long a file must be unchanged before its size and time are trusted to tell
// a rewrite (file times move in clock ticks of a few milliseconds).
constexpr qint64 kRestMs = 50;

// What one reading of the file taught: the encoding, the record count, how many
// lines were not UTF-8 and where records 1, 1 + kIndexStride, 1 + 2 kIndexStride, ...
// start (file offsets; only record 1 for UTF-16, whose lines are found by decoding).
// Records are lines, or several lines where a quoted field holds line breaks; the
// separator that decides quoting is part of what was learnt.
struct TextFileIndex
{
    TextEncoding encoding = TextEncoding::Utf8;
    qint64 lines = 0;
    qint64 nonUtf8Lines = 0;
    qint64 openQuoteLine = 0; // the first line whose quoted field never closes (1-based), 0 for none
    QByteArray quoteSeparator;
    std::vector<qint64> starts;
};

// Yields the records of a text file as UTF-8, whatever the file's encoding.
//
// Encoding: a byte-order mark decides for the whole file; without one each line
// that is valid UTF-8 is UTF-8 and any other is GB18030, so a few bad bytes cost
// only their own line. In UTF-8 and GB18030 a newline byte is never part of a
// longer character, so lines are cut on the raw bytes before they are decoded.
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
                // Qt's words are for the log; the user reads the program's own.
                qWarning("Text file not opened: %s", qPrintable(m_file.errorString()));
                reason = QStringLiteral("无法读取文件");
                ::close(fd);
            }
            error = QStringLiteral("无法打开文本文件“%1”：%2。").arg(path, reason);
            return false;
        }
        // The file is read up to its size when opened: a file under /proc that
        // reports 0 bytes yet reads without end is empty here.
        m_size = m_file.size();
        return true;
    }

    // One pass over the file: its encoding, record count and record starts. Leaves
    // the reader at record 1.
    bool Learn(TextFileIndex& index, QByteArrayView quoteSeparator, QString& error)
    {
        index = TextFileIndex();
        index.quoteSeparator = quoteSeparator.toByteArray();
        const QByteArray head = m_file.peek(std::min<qint64>(3, m_size));
        qint64 bom = 0;
        if (head.startsWith("\xEF\xBB\xBF")) {
            index.encoding = TextEncoding::Utf8, bom = 3;
        } else if (head.startsWith("\xFF\xFE")) {
            index.encoding = TextEncoding::Utf16LE, bom = 2;
        } else if (head.startsWith("\xFE\xFF")) {
            index.encoding = TextEncoding::Utf16BE, bom = 2;
        } else {
            index.encoding = TextEncoding::PerLine;
        }
        index.starts.push_back(bom);
        // Every line is checked on this pass; later reads check lines only in a file
        // that has lines that are not UTF-8.
        index.nonUtf8Lines = index.encoding == TextEncoding::PerLine ? 1 : 0;
        if (!Start(index, bom, error))
            return false;
        m_nonUtf8Lines = 0;
        m_lineNumber = 0;
        m_openQuoteLine = 0;
        QByteArrayView record;
        while (NextRecord(record)) {
            if (++index.lines % kIndexStride == 0 && !m_decoder)
                index.starts.push_back(m_bufferOffset + m_pos);
        }
        if (!m_error.isEmpty()) {
            error = m_error;
            return false;
        }
        index.nonUtf8Lines = m_nonUtf8Lines;
        index.openQuoteLine = m_openQuoteLine;
        return Start(index, bom, error);
    }

    // Reads from offset, the start of a record, on.
    bool Start(const TextFileIndex& index, qint64 offset, QString& error)
    {
        if (!m_file.seek(offset))
            return ReadError(error);
        m_buffer.clear();
        m_bufferOffset = offset;
        m_pos = 0;
        m_keepFrom = -1;
        m_atEnd = false;
        m_error.clear();
        m_decoder.reset();
        m_checkLines = index.encoding == TextEncoding::PerLine && index.nonUtf8Lines > 0;
        m_quoteSeparator = index.quoteSeparator;
        if (index.encoding == TextEncoding::Utf16LE)
            m_decoder.emplace(QStringConverter::Utf16LE);
        else if (index.encoding == TextEncoding::Utf16BE)
            m_decoder.emplace(QStringConverter::Utf16BE);
        return true;
    }

    // The next record without its line end; false after the last record, or on a
    // line longer than kMaxTextLineBytes (then Error() says so). A quoted field that
    // does not close within kMaxQuotedLines lines (or the file, or kMaxTextLineBytes)
    // ends at the end of its own line, and the next record starts on the next line.
    bool NextRecord(QByteArrayView& record)
    {
        QByteArrayView line;
        bool carriageReturn = false;
        if (!NextLine(line, carriageReturn))
            return false;
        if (m_quoteSeparator.isEmpty() || !QuoteOpenAtEnd(line, m_quoteSeparator, false)) {
            record = line;
            return true;
        }
        m_record = line.toByteArray();
        const qsizetype firstLine = m_record.size();
        // The lines read in search of the closing quote stay in the buffer, to be
        // read again as records of their own should the quote never close.
        m_keepFrom = m_pos;
        const qint64 lineNumber = m_lineNumber;
        const qint64 nonUtf8Lines = m_nonUtf8Lines;
        bool closed = false;
        for (int extra = 0; extra < kMaxQuotedLines && m_record.size() <= kMaxTextLineBytes; ++extra) {
            const bool lineEndCr = carriageReturn;
            if (!NextLine(line, carriageReturn)) {
                if (!m_error.isEmpty()) {
                    m_keepFrom = -1;
                    return false;
                }
                break;
            }
            // The line break belongs to the field, as the file wrote it.
            m_record.append(lineEndCr ? QByteArrayView("\r\n") : QByteArrayView("\n"));
            m_record.append(line);
            closed = !QuoteOpenAtEnd(line, m_quoteSeparator, true) && m_record.size() <= kMaxTextLineBytes;
            if (closed)
                break;
        }
        if (!closed) {
            m_pos = m_keepFrom;
            m_lineNumber = lineNumber;
            m_nonUtf8Lines = nonUtf8Lines;
            m_record.truncate(firstLine);
            if (m_openQuoteLine == 0)
                m_openQuoteLine = lineNumber;
        }
        m_keepFrom = -1;
        record = m_record;
        return true;
    }

    const QString& Error() const { return m_error; }
    // Lines read so far (since Learn started) that were not UTF-8.
    qint64 NonUtf8Lines() const { return m_nonUtf8Lines; }
    // Since Learn started: the first line whose quoted field never closed, 0 for none.
    qint64 OpenQuoteLine() const { return m_openQuoteLine; }

private:
    // The next line in UTF-8, without its line end; carriageReturn tells whether a CR
    // stood before the line feed.
    bool NextLine(QByteArrayView& line, bool& carriageReturn)
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
                line = Decoded(Trimmed(begin, length, carriageReturn));
                m_pos += length + 1;
                ++m_lineNumber;
                return true;
            }
            scanned = available;
            if (m_atEnd) {
                if (available == 0)
                    return false;
                line = Decoded(Trimmed(begin, available, carriageReturn));
                m_pos = m_buffer.size();
                ++m_lineNumber;
                return true;
            }
            if (available > kMaxTextLineBytes) {
                LineTooLong(m_error);
                return false;
            }
            Fill();
        }
    }

    static QByteArrayView Trimmed(const char* begin, qsizetype length, bool& carriageReturn)
    {
        carriageReturn = length > 0 && begin[length - 1] == '\r';
        return QByteArrayView(begin, carriageReturn ? length - 1 : length);
    }

    // A line of a file without a byte-order mark: as it stands when it is UTF-8,
    // else decoded from GB18030.
    QByteArrayView Decoded(QByteArrayView raw)
    {
        if (!m_checkLines || IsUtf8(raw.data(), raw.size()))
            return raw;
        ++m_nonUtf8Lines;
        // Made on first use: most files never need it.
        if (!m_gb18030)
            m_gb18030.emplace("GB18030", QStringConverter::Flag::Stateless);
        m_line = m_gb18030->decode(raw);
        m_lineUtf8 = m_line.toUtf8();
        return m_lineUtf8;
    }

    bool LineTooLong(QString& error) const
    {
        error = QStringLiteral("文本文件“%1”中有一行长于 %2 字节，无法读入。").arg(m_path).arg(kMaxTextLineBytes);
        return false;
    }

    bool ReadError(QString& error) const
    {
        qWarning("Cannot read %s: %s", qUtf8Printable(m_path), qUtf8Printable(m_file.errorString()));
        error = QStringLiteral("无法读取文本文件“%1”。").arg(m_path);
        return false;
    }

    qint64 ChunkLeft() const { return std::clamp<qint64>(m_size - m_file.pos(), 0, kChunk); }

    void Fill()
    {
        const qsizetype done = m_keepFrom >= 0 ? m_keepFrom : m_pos;
        m_buffer.remove(0, done);
        m_bufferOffset += done;
        m_pos -= done;
        if (m_keepFrom >= 0)
            m_keepFrom = 0;
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
        }
    }

    QFile m_file;
    qint64 m_size = 0;
    QString m_path;
    QString m_error;
    std::optional<QStringDecoder> m_decoder; // UTF-16 files, decoded as they are read
    std::optional<QStringDecoder> m_gb18030;
    bool m_checkLines = false;               // lines may be GB18030
    qint64 m_nonUtf8Lines = 0;
    QByteArray m_quoteSeparator;             // empty: no quoted fields
    QByteArray m_buffer;
    qint64 m_bufferOffset = 0;               // file offset of m_buffer[0] (not for UTF-16)
    qsizetype m_pos = 0;
    qsizetype m_keepFrom = -1;               // the buffer is kept from here on; -1: up to m_pos
    qint64 m_lineNumber = 0;                 // lines read since Learn started
    qint64 m_openQuoteLine = 0;
    bool m_atEnd = false;
    QString m_line;
    QByteArray m_lineUtf8;
    QByteArray m_record;
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

QString TooLargeText(const QString& path)
{
    return QStringLiteral("文本文件“%1”太大，无法读入内存。").arg(path);
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

QByteArray QuoteSeparator(int32_t kind, const QString& otherSeparator)
{
    return kind == TextSeparatorCustom ? QByteArray() : TextSeparator(kind, otherSeparator);
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
    } else if (separator.isEmpty()) {
        if (pieceCount > 0 && n > 0) {
            rows.AppendUtf8(p, n);
            ++filled;
        }
    } else {
        filled = ForEachField(line, separator, pieceCount,
                              [&rows](const char* text, qsizetype length) { rows.AppendUtf8(text, length); });
    }
    for (; filled < pieceCount; ++filled)
        rows.AppendUtf8(nullptr, 0);
}

int CountFields(QByteArrayView line, QByteArrayView separator, int limit)
{
    if (separator.isEmpty())
        return std::min(limit, 1);
    return ForEachField(line, separator, limit, [](const char*, qsizetype) {});
}

QStringList SplitString(const QString& line, const QString& separator, int pieceCount, const std::vector<int>& widths)
{
    const int count = std::max(pieceCount, 1);
    LoaderRow rows;
    rows.Reset(count);
    AppendSplitLine(line.toUtf8(), separator.toUtf8(), widths, count, rows);
    return rows.Row(0);
}

bool ReadTextFileHead(const QString& path, QByteArrayView quoteSeparator, int keep, TextFileHead& head,
                      QString& error)
{
    head = TextFileHead();
    try {
        TextLineReader reader;
        TextFileIndex index;
        if (!reader.Open(path, error) || !reader.Learn(index, quoteSeparator, error))
            return false;
        head.recordCount = index.lines;
        head.nonUtf8Lines = index.nonUtf8Lines;
        head.openQuoteLine = index.openQuoteLine;
        QByteArrayView record;
        while (head.records.size() < keep && reader.NextRecord(record)) {
            qsizetype length = std::min(record.size(), kMaxPreviewRecordBytes);
            // Never half a character: back to the start of the one cut through.
            if (length < record.size())
                while (length > 0 && (static_cast<unsigned char>(record[length]) & 0xC0) == 0x80)
                    --length;
            head.records.append(QString::fromUtf8(record.first(length)));
        }
        if (!reader.Error().isEmpty()) {
            error = reader.Error();
            return false;
        }
    } catch (const std::bad_alloc&) {
        head = TextFileHead();
        error = TooLargeText(path);
        return false;
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

bool CTextDL::LearnFile(const QString& path, const QByteArray& quoteSeparator)
{
    struct stat identity = {};
    const bool known = ::stat(QFile::encodeName(path).constData(), &identity) == 0;
    if (known && m_pFile && m_pFile->path == path && m_pFile->index.quoteSeparator == quoteSeparator
        && m_pFile->Same(identity))
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
    if (!file->reader->Open(path, m_strLastError) || !file->reader->Learn(file->index, quoteSeparator, m_strLastError))
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
    return TooLargeText(ds ? ds->m_strPath : QString());
}

int CTextDL::CountRecords()
{
    const auto* ds = dynamic_cast<const CTextDS*>(m_pDataSource);
    if (!ds) {
        m_strLastError = QStringLiteral("数据源不是文本文件。");
        ThrowLastError();
    }
    if (ds->m_nRangeMode == RangeFromTo)
        return RangeRecordCount();
    if (!LearnFile(ds->m_strPath, QuoteSeparator(ds->m_nSeparator, ds->m_strOtherSeparator)))
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
        return Fail(QStringLiteral("数据源不是文本文件。"));
    if (!LearnFile(ds->m_strPath, QuoteSeparator(ds->m_nSeparator, ds->m_strOtherSeparator)))
        return false;
    m_strLastError.clear();
    qint64 first = 0;
    qint64 last = 0;
    if (!MapRecords(nFirst, nLast, first, last))
        return true;
    if (ds->m_bHeaderRow) { // record 1 holds the field names
        ++first;
        ++last;
    }

    const bool wholeLine = ds->m_nSeparator == TextSeparatorNone;
    const int pieceCount
        = wholeLine ? 1 : static_cast<int>(std::clamp<qsizetype>(ds->m_selectedFields.size(), 1, kMaxDataFields));
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
    // nearest remembered record.
    if (file.nextLine > first || first - file.nextLine >= kIndexStride) {
        const auto slot = std::min<qint64>((first - 1) / kIndexStride,
                                           static_cast<qint64>(file.index.starts.size()) - 1);
        if (!file.reader->Start(file.index, file.index.starts[slot], m_strLastError)) {
            m_pFile.reset();
            rows.Clear();
            return false;
        }
        file.nextLine = slot * kIndexStride + 1;
    }
    TextLineReader& reader = *file.reader;
    QByteArrayView line;
    qint64 number = file.nextLine;
    for (; number <= last && reader.NextRecord(line); ++number) {
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
