#include "platform/db/SQLiteStage.h"

#include "platform/db/DbCall.h"
#include "platform/db/DbWait.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <lz4.h>
#include <zstd.h>
#include <sqlite3.h>

namespace {

QString QuotedName(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// Where the piece of the statement at i ends, n being where the statement does: a
// comment at its line's end or its "*/", a quoted text or name at its closing quote,
// anything else after one character. code is false for a comment or a blank.
qsizetype SqlPieceEnd(const QString& sql, qsizetype i, qsizetype n, bool& code)
{
    const QChar c = sql[i];
    const QChar next = i + 1 < n ? sql[i + 1] : QChar();
    code = false;
    if (c == u'-' && next == u'-') {
        const qsizetype lineEnd = sql.indexOf(u'\n', i);
        return lineEnd < 0 ? n : lineEnd + 1;
    }
    if (c == u'/' && next == u'*') {
        const qsizetype close = sql.indexOf(QStringLiteral("*/"), i + 2);
        return close < 0 ? n : close + 2;
    }
    code = !c.isSpace();
    if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
        const qsizetype close = sql.indexOf(c == u'[' ? u']' : c, i + 1);
        return close < 0 ? n : close + 1;
    }
    return i + 1;
}

// Where the code of the statement that starts at `from` ends: past its last token,
// before the blanks, comments and ";" that may follow. Quoted texts and names are
// passed over whole, so a ";" or "--" inside them ends nothing.
qsizetype StatementCodeEnd(const QString& sql, qsizetype from)
{
    const qsizetype n = sql.size();
    qsizetype end = from;
    qsizetype i = from;
    while (i < n && sql[i] != u';') {
        bool code = false;
        i = SqlPieceEnd(sql, i, n, code);
        if (code)
            end = i;
    }
    return end;
}

// A NULL cell of a staged row.
constexpr quint32 kStagedNull = 0xFFFFFFFFu;

// A private database in an unnamed temporary file, deleted when it closes, with the
// capped VFS; null when it cannot be made.
sqlite3* OpenPrivateSQLite()
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2("", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, CappedSQLiteVfs()) != SQLITE_OK
        || sqlite3_exec(db, "pragma cache_size = -2048", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

} // namespace

StagedConnection::~StagedConnection()
{
    StagedConnection::Close();
}

void StagedConnection::Close()
{
    m_engine.reset();
    m_db = nullptr;
}

bool StagedConnection::OpenEngine()
{
    // The empty name makes a private database in an unnamed temporary file, deleted when
    // it closes; the capped VFS counts that file (and its journal), so the copies of all
    // sources share DbLimits::tempBytes with SQLite's other temporary files. The page
    // cache is what stays in memory; the rest is read back from the file.
    sqlite3* db = OpenPrivateSQLite();
    if (!db)
        return Fail(QStringLiteral("无法创建临时数据库，无法读取%1。").arg(SourceText()));
    m_db = db;
    m_engine = AdoptSQLite(db);
    return Succeed();
}

void StagedConnection::Interrupt()
{
    if (m_engine)
        m_engine->Interrupt();
}

bool StagedConnection::FailCopy(const QString& table)
{
    const QString source = SourceText();
    switch (sqlite3_errcode(m_db)) {
    case SQLITE_FULL:
        return Fail(QStringLiteral("%1的表 %2 的副本超过了临时存储 %3 MB 的上限，无法读取。")
                        .arg(source, table)
                        .arg(GetDbLimits().tempBytes >> 20));
    case SQLITE_NOMEM: return Fail(QStringLiteral("%1的表 %2 太大，无法读入内存。").arg(source, table));
    default: break;
    }
    return Fail(QStringLiteral("%1的表 %2 无法复制到临时数据库：%3")
                    .arg(source, table, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

bool StagedConnection::ListTables(QStringList& tables)
{
    tables = m_tables;
    return IsOpen() ? Succeed() : FailNotConnected();
}

bool StagedConnection::ListFields(const QString& table, QStringList& fields)
{
    fields.clear();
    // Staging readers tell their own failures by an error set meanwhile; one left
    // from an earlier statement must not pass for this one's.
    m_strLastError.clear();
    m_bUnreadable = false;
    if (!IsOpen())
        return FailNotConnected();
    const qsizetype index = m_tables.indexOf(table);
    if (index < 0)
        return Fail(QStringLiteral("没有表“%1”。").arg(table));
    if (!StageIndex(static_cast<int>(index)))
        return false;
    if (!m_engine->ListFields(table, fields))
        return Fail(m_engine->LastError());
    return Succeed();
}

bool StagedConnection::Query(const QString& sql, DbRows& rows, qint64 skip, qint64 maxRows)
{
    rows.Clear();
    m_strLastError.clear(); // as in ListFields
    m_bUnreadable = false;
    if (!IsOpen())
        return FailNotConnected();
    if (!StageNamed(sql))
        return false;
    QString refusal;
    const QString translated = RewriteTop(sql, refusal);
    if (!refusal.isEmpty())
        return Fail(refusal);
    m_bStopped = false;
    if (!m_engine->Query(translated, rows, skip, maxRows)) {
        m_bStopped = m_engine->Stopped(); // a refusal of data past a bound, complete in itself
        return Fail(m_engine->LastError());
    }
    return Succeed();
}

std::unique_ptr<DbCursor> StagedConnection::OpenCursor(const QString& sql)
{
    m_strLastError.clear();
    QString refusal;
    const QString translated = RewriteTop(sql, refusal);
    if (!IsOpen() || !StageNamed(sql) || !refusal.isEmpty())
        return DbConnection::OpenCursor(sql); // fails with the reason at its first call
    return m_engine->OpenCursor(translated);
}

QString StagedConnection::RewriteTop(const QString& sql, QString& refusal)
{
    // Jet's "select [distinct|all] top n [percent]" may open any select of the
    // statement, the outer one or one in parentheses (a count or a page wraps the
    // user's statement in another). Each becomes "select ... limit n", the limit placed
    // after the last token of its own select: before the parenthesis that closes it,
    // or at the statement's end, where after a trailing "-- comment" it would be
    // commented out and after a ";" never run. n percent is the count of the select's
    // rows, n/100 of it rounded up. In a union each select's top takes that select's
    // own rows, so such a select becomes a subquery, "select * from (... limit n)":
    // SQLite puts a limit written after a union's select on the whole union.
    static const QRegularExpression top(QStringLiteral("select\\s+(?:(distinct|all)\\s+)?top\\s+(\\d+)\\s+(?:(percent)\\b\\s*)?"),
        QRegularExpression::CaseInsensitiveOption);
    refusal.clear();
    const qsizetype codeEnd = StatementCodeEnd(sql, 0);
    struct Pending
    {
        int depth;
        QString count;
        bool percent;
        qsizetype start; // in out, where its "select" is
        bool ordered = false; // an "order by" of its own depth follows it
    };
    std::vector<Pending> pending;
    std::vector<bool> compound {false}; // by depth: a union joins selects there
    QString out;
    qsizetype outCodeEnd = 0; // in out, past the last token copied
    bool rewritten = false;
    int depth = 0;
    const auto closeSelect = [&](bool branch) {
        const Pending& select = pending.back();
        QString limit = select.count;
        if (select.percent) {
            limit = QStringLiteral("(select (count(*) * %1 + 99) / 100 from (%2))")
                        .arg(select.count, QStringView(out).mid(select.start, outCodeEnd - select.start));
        }
        limit = QStringLiteral(" limit ") + limit;
        if (branch)
            limit += u')';
        out.insert(outCodeEnd, limit);
        outCodeEnd += limit.size();
        if (branch) {
            const QString wrap = QStringLiteral("select * from (");
            out.insert(select.start, wrap);
            outCodeEnd += wrap.size();
        }
        pending.pop_back();
    };
    // Ends the selects of depth level and deeper, at a ")" or the statement's end.
    const auto closeDepth = [&](int level) {
        while (!pending.empty() && pending.back().depth >= level) {
            const bool branch = compound[pending.back().depth];
            // The last select of a union: Jet's "order by" there sorts the union,
            // and whether its top counts in that order or the select's own is
            // left unsaid, so the statement is not guessed at.
            if (branch && pending.back().ordered && refusal.isEmpty()) {
                refusal = QStringLiteral("不支持的 SQL 形式：UNION 的最后一个 SELECT 带 TOP 又后跟 ORDER BY。"
                                         "请把这个 SELECT 写成子查询，如 select * from (select top 2 … order by …)");
            }
            closeSelect(branch);
        }
        compound.resize(level + 1);
        compound[level] = false;
    };
    for (qsizetype i = 0; i < codeEnd;) {
        const QChar c = sql[i];
        bool code = false;
        qsizetype end = SqlPieceEnd(sql, i, codeEnd, code);
        if (c == u'(') {
            ++depth;
            compound.resize(depth + 1);
            compound[depth] = false;
        } else if (c == u')') {
            closeDepth(depth);
            depth = std::max(depth - 1, 0);
        } else if (c.isLetterOrNumber() || c == u'_') {
            const QRegularExpressionMatch match
                = top.match(sql, i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
            if (match.hasMatch()) {
                pending.push_back({depth, match.captured(2), match.hasCaptured(3), out.size()});
                out += QStringLiteral("select ");
                if (match.hasCaptured(1))
                    out += match.captured(1).toLower() + u' ';
                rewritten = true;
                i = match.capturedEnd(0);
                continue;
            }
            while (end < codeEnd && (sql[end].isLetterOrNumber() || sql[end] == u'_'))
                ++end;
            const QStringView word = QStringView(sql).mid(i, end - i);
            const bool own = !pending.empty() && pending.back().depth == depth;
            if (word.compare(u"union", Qt::CaseInsensitive) == 0 || word.compare(u"intersect", Qt::CaseInsensitive) == 0
                || word.compare(u"except", Qt::CaseInsensitive) == 0) {
                if (own)
                    closeSelect(true);
                compound[depth] = true;
            } else if (own && word.compare(u"order", Qt::CaseInsensitive) == 0) {
                pending.back().ordered = true;
            }
        }
        out += QStringView(sql).mid(i, std::min(end, codeEnd) - i);
        if (code)
            outCodeEnd = out.size();
        i = end;
    }
    if (!rewritten)
        return sql;
    closeDepth(0);
    return out.left(outCodeEnd);
}

bool StagedConnection::StageNamed(const QString& sql)
{
    // Any table whose name appears in the statement is copied, also as a quoted
    // name holds it (its quotes doubled); a name inside a literal only costs the copy.
    for (int i = 0; i < m_tables.size(); ++i) {
        if (m_staged[i])
            continue;
        const QString& table = m_tables[i];
        const bool named = sql.contains(table, Qt::CaseInsensitive)
            || sql.contains(QString(table).replace(u'"', QStringLiteral("\"\"")), Qt::CaseInsensitive)
            || sql.contains(QString(table).replace(u'`', QStringLiteral("``")), Qt::CaseInsensitive);
        if (named && !StageIndex(i))
            return false;
    }
    return true;
}

bool StagedConnection::StageIndex(int index)
{
    if (m_staged[index])
        return true;
    if (!Stage(index)) {
        // What the file holds was refused, and the message names the file and the fault:
        // no name or statement of the user's is to blame.
        m_bUnreadable = true;
        return false;
    }
    m_staged[index] = true;
    return true;
}

StagedConnection::TableWriter::TableWriter(
    StagedConnection& owner, const QString& table, const QStringList& columns, const QStringList& declaredTypes)
    : m_owner(owner)
    , m_table(table)
{
    QStringList definitions;
    QStringList marks;
    for (int c = 0; c < columns.size(); ++c) {
        definitions.append(QuotedName(columns[c]) + (c < declaredTypes.size() ? u' ' + declaredTypes[c] : QString()));
        marks.append(QStringLiteral("?"));
    }
    if (columns.isEmpty()) { // a table needs a column; an empty sheet gets F1
        definitions.append(QStringLiteral("F1"));
        marks.append(QStringLiteral("?"));
    }
    const QByteArray create
        = QStringLiteral("create table %1 (%2)").arg(QuotedName(table), definitions.join(u',')).toUtf8();
    const QByteArray insert
        = QStringLiteral("insert into %1 values (%2)").arg(QuotedName(table), marks.join(u',')).toUtf8();
    m_insertEmptySql = QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?1) "
                                      "insert into %1 (%2) select null from n")
                           .arg(QuotedName(table), columns.isEmpty() ? QStringLiteral("F1") : QuotedName(columns[0]))
                           .toUtf8();
    sqlite3* db = owner.Handle();
    m_ok = true; // until a step fails
    if (Exec("begin") && Exec(create.constData()))
        Check(sqlite3_prepare_v2(db, insert.constData(), static_cast<int>(insert.size()), &m_insert, nullptr));
}

StagedConnection::TableWriter::~TableWriter()
{
    sqlite3_finalize(m_insert);
    sqlite3_finalize(m_insertEmpty);
    if (!m_finished)
        sqlite3_exec(m_owner.Handle(), "rollback", nullptr, nullptr, nullptr);
}

bool StagedConnection::TableWriter::Check(int rc)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        m_ok = false;
        m_owner.FailCopy(m_table);
    }
    return m_ok;
}

bool StagedConnection::TableWriter::Exec(const char* sql)
{
    return Check(sqlite3_exec(m_owner.Handle(), sql, nullptr, nullptr, nullptr));
}

void StagedConnection::TableWriter::BindInt(int column, qint64 value)
{
    if (m_ok)
        Check(sqlite3_bind_int64(m_insert, column + 1, value));
}

void StagedConnection::TableWriter::BindDouble(int column, double value)
{
    if (m_ok)
        Check(sqlite3_bind_double(m_insert, column + 1, value));
}

void StagedConnection::TableWriter::BindText(int column, QByteArrayView utf8)
{
    if (m_ok)
        Check(sqlite3_bind_text64(m_insert, column + 1, utf8.data(), static_cast<sqlite3_uint64>(utf8.size()),
            SQLITE_TRANSIENT, SQLITE_UTF8));
}

bool StagedConnection::TableWriter::EndRow()
{
    if (!m_ok)
        return false;
    Check(sqlite3_step(m_insert));
    sqlite3_reset(m_insert);
    sqlite3_clear_bindings(m_insert);
    return m_ok;
}

bool StagedConnection::TableWriter::AddEmptyRows(qint64 count)
{
    if (!m_ok || count <= 0)
        return m_ok;
    if (!m_insertEmpty
        && !Check(sqlite3_prepare_v2(m_owner.Handle(), m_insertEmptySql.constData(),
            static_cast<int>(m_insertEmptySql.size()), &m_insertEmpty, nullptr)))
        return false;
    Check(sqlite3_bind_int64(m_insertEmpty, 1, count));
    if (m_ok)
        Check(sqlite3_step(m_insertEmpty));
    sqlite3_reset(m_insertEmpty);
    return m_ok;
}

bool StagedConnection::TableWriter::Finish()
{
    if (m_ok && Exec("commit"))
        m_finished = true;
    return m_finished;
}

namespace {

// A run of kept rows holds at most this many rows, and is cut earlier past kRunBytes, so that
// a page reads back little more than itself.
constexpr int kStageRunRows = 256;
constexpr qsizetype kStageRunBytes = 256 << 10;

// Appends one row's first columns cells, each as its length and its bytes, a NULL as a length of
// all ones: every value comes back as it came.
// The bytes of a row as packed: each cell as its length (kStagedNull for a NULL) and its bytes.
qsizetype StagedRowBytes(const DbRows& rows, int row, int columns)
{
    qsizetype bytes = 0;
    for (int c = 0; c < columns; ++c)
        bytes += qsizetype(sizeof(quint32)) + (rows.IsNull(row, c) ? 0 : rows.Utf8(row, c).size());
    return bytes;
}

// Writes the row packed at out, which has room for it; the end of what it wrote.
char* WriteStagedRow(const DbRows& rows, int row, int columns, char* out)
{
    for (int c = 0; c < columns; ++c) {
        const QByteArrayView value = rows.Utf8(row, c);
        const quint32 length = rows.IsNull(row, c) ? kStagedNull : static_cast<quint32>(value.size());
        std::memcpy(out, &length, sizeof length);
        out += sizeof length;
        if (length != kStagedNull) {
            std::memcpy(out, value.data(), static_cast<size_t>(value.size()));
            out += value.size();
        }
    }
    return out;
}

void PackStagedRow(const DbRows& rows, int row, int columns, QByteArray& packed)
{
    const qsizetype at = packed.size();
    packed.resize(at + StagedRowBytes(rows, row, columns));
    WriteStagedRow(rows, row, columns, packed.data() + at);
}

// A run is kept as a tag, its packed size, then the packed rows compressed by LZ4, the fastest
// compression at hand, under which a table's texts shrink several times; where LZ4 saves less
// than a quarter (text without repeats, such as hexadecimal digits), by zstd, whose entropy
// coding still halves it, so that the temporary storage's cap is met as far as can be. The walk
// waits for it.
constexpr char kRunLz4 = 'L';
constexpr char kRunZstd = 'Z';
constexpr qsizetype kRunHead = 1 + qsizetype(sizeof(quint32));

// The run of packed, compressed with cctx's help (zstd's context, made on first use); empty when
// it is too large for one block.
QByteArray CompressRun(const QByteArray& packed, ZSTD_CCtx*& cctx)
{
    if (packed.size() > LZ4_MAX_INPUT_SIZE)
        return {};
    const int size = static_cast<int>(packed.size());
    const auto head = [&](QByteArray& run, char tag) {
        run[0] = tag;
        const auto bytes = static_cast<quint32>(size);
        std::memcpy(run.data() + 1, &bytes, sizeof bytes);
    };
    const int lz4Bound = LZ4_compressBound(size);
    QByteArray run(kRunHead + lz4Bound, Qt::Uninitialized);
    const int lz4 = LZ4_compress_default(packed.constData(), run.data() + kRunHead, size, lz4Bound);
    if (lz4 > 0 && lz4 <= size - size / 4) {
        head(run, kRunLz4);
        run.truncate(kRunHead + lz4);
        return run;
    }
    if (!cctx)
        cctx = ZSTD_createCCtx();
    if (!cctx)
        return {};
    const size_t zstdBound = ZSTD_compressBound(static_cast<size_t>(size));
    run.resize(kRunHead + static_cast<qsizetype>(zstdBound));
    const size_t zstd = ZSTD_compressCCtx(cctx, run.data() + kRunHead, zstdBound, packed.constData(),
        static_cast<size_t>(size), 1);
    if (ZSTD_isError(zstd))
        return {};
    head(run, kRunZstd);
    run.truncate(kRunHead + static_cast<qsizetype>(zstd));
    return run;
}

// The packed rows of a run; false when it is damaged.
bool UncompressRun(QByteArrayView run, QByteArray& packed)
{
    quint32 size = 0;
    if (run.size() < kRunHead)
        return false;
    std::memcpy(&size, run.data() + 1, sizeof size);
    if (size > quint32(LZ4_MAX_INPUT_SIZE))
        return false;
    packed.resize(size);
    const QByteArrayView body = run.sliced(kRunHead);
    if (run[0] == kRunLz4) {
        return body.size() <= LZ4_MAX_INPUT_SIZE
            && LZ4_decompress_safe(body.data(), packed.data(), static_cast<int>(body.size()), static_cast<int>(size))
            == static_cast<int>(size);
    }
    return run[0] == kRunZstd
        && ZSTD_decompress(packed.data(), size, body.data(), static_cast<size_t>(body.size())) == size;
}

quint64 StagedRowHash(QByteArrayView packed)
{
    return qHashBits(packed.data(), static_cast<size_t>(packed.size()), 0);
}

} // namespace

DbRowStage::DbRowStage(int keptColumns) : m_keptColumns(std::max(keptColumns, 0))
{
    // Nothing of it outlives the stage, so nothing need reach the disk in order; the journal
    // stays, so that a block refused at the cap is rolled back and the rows before it kept.
    m_db = OpenPrivateSQLite();
    if (m_db && sqlite3_exec(m_db, "pragma synchronous = off", nullptr, nullptr, nullptr)
            != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

bool DbRowStage::Begin()
{
    m_full = m_refused = m_changed = false;
    m_strLastError.clear();
    if (m_db)
        return true;
    m_strLastError = QStringLiteral("无法创建临时数据库");
    return false;
}

DbRowStage::~DbRowStage()
{
    sqlite3_finalize(m_insert);
    sqlite3_finalize(m_select);
    sqlite3_finalize(m_selectHashes);
    sqlite3_close(m_db);
    ZSTD_freeCCtx(m_zstd);
}

bool DbRowStage::Check(int rc)
{
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    m_full = rc == SQLITE_FULL;
    m_strLastError = m_full ? QStringLiteral("临时存储已满") : QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

bool DbRowStage::Prepare(const QByteArray& sql, sqlite3_stmt*& stmt)
{
    return Check(sqlite3_prepare_v2(m_db, sql.constData(), static_cast<int>(sql.size()), &stmt, nullptr));
}

int DbRowStage::KeptColumns(const DbRows& rows) const
{
    return m_keptColumns > 0 ? std::min(m_keptColumns, rows.ColumnCount()) : rows.ColumnCount();
}

bool DbRowStage::SameColumns(const DbRows& rows) const
{
    return !m_named || (KeptColumns(rows) == m_columns.size() && rows.Columns().mid(0, m_columns.size()) == m_columns);
}

bool DbRowStage::PackRun(const DbRows& rows, int from, int to, int columns, qsizetype bytes, PackedRun& run)
{
    // Each row as its size and its cells, so that a damaged run is never read past its end;
    // written in place.
    QByteArray packed(bytes, Qt::Uninitialized);
    run.first = m_rowCount + from;
    run.rows = to - from;
    run.hashes.reserve(static_cast<size_t>(to - from));
    char* out = packed.data();
    for (int r = from; r < to; ++r) {
        char* const row = out + sizeof(quint32);
        out = WriteStagedRow(rows, r, columns, row);
        const auto size = static_cast<quint32>(out - row);
        std::memcpy(row - sizeof size, &size, sizeof size);
        run.hashes.push_back(StagedRowHash(QByteArrayView(row, size)));
    }
    run.blob = CompressRun(packed, m_zstd);
    if (run.blob.isEmpty())
        m_strLastError = QStringLiteral("无法压缩要保存的记录");
    return !run.blob.isEmpty();
}

bool DbRowStage::StoreRun(const PackedRun& run)
{
    const bool ok = Check(sqlite3_bind_int64(m_insert, 1, run.first)) && Check(sqlite3_bind_int64(m_insert, 2, run.rows))
        && Check(sqlite3_bind_blob64(m_insert, 3, run.hashes.data(), run.hashes.size() * sizeof(quint64), SQLITE_STATIC))
        && Check(sqlite3_bind_blob64(m_insert, 4, run.blob.constData(), static_cast<sqlite3_uint64>(run.blob.size()),
            SQLITE_STATIC))
        && Check(sqlite3_step(m_insert));
    sqlite3_reset(m_insert);
    sqlite3_clear_bindings(m_insert);
    return ok;
}

bool DbRowStage::Append(const DbRows& rows)
{
    if (!Begin())
        return false;
    if (!m_insert) {
        // A run of rows per row of the table, keyed by its first row's place in the walk.
        if (!Check(sqlite3_exec(m_db, "create table r (k integer primary key, n integer, h blob, v blob)", nullptr,
                nullptr, nullptr))
            || !Prepare("insert into r values (?1, ?2, ?3, ?4)", m_insert)
            || !Prepare("select k, n, v from r where k > ?1 - " + QByteArray::number(kStageRunRows)
                    + " and k < ?2 order by k",
                m_select)
            || !Prepare("select k, n, h from r where k > ?1 - " + QByteArray::number(kStageRunRows)
                    + " and k < ?2 order by k",
                m_selectHashes))
            return false;
    }
    if (!SameColumns(rows)) {
        m_changed = true;
        m_strLastError = QStringLiteral("记录的列与先前读取的不同");
        return false;
    }
    const int columns = KeptColumns(rows);
    // Every run is packed before SQLite is given any, so that a block the temporary storage has
    // no room for is refused unwritten: a temporary database that could not grow at a commit
    // cannot be read again, and the rows kept before must stay.
    std::vector<PackedRun> runs;
    qint64 bytes = 0;
    int from = 0;
    qsizetype runBytes = 0;
    for (int r = 0; r < rows.RowCount(); ++r) {
        runBytes += qsizetype(sizeof(quint32)) + StagedRowBytes(rows, r, columns);
        if (r + 1 - from >= kStageRunRows || runBytes >= kStageRunBytes || r + 1 == rows.RowCount()) {
            runs.emplace_back();
            if (!PackRun(rows, from, r + 1, columns, runBytes, runs.back()))
                return false;
            bytes += runs.back().blob.size() + qint64(runs.back().hashes.size() * sizeof(quint64));
            from = r + 1;
            runBytes = 0;
        }
    }
    // What SQLite writes besides: each run's part-filled page and headers, the pages of the
    // table's tree, and the journal of the pages the block changes.
    constexpr qint64 kPage = 4096;
    if (bytes + bytes / 8 + qint64(runs.size()) * kPage + 16 * kPage > SQLiteTempBytesLeft())
        return Check(SQLITE_FULL);
    if (!Check(sqlite3_exec(m_db, "begin", nullptr, nullptr, nullptr)))
        return false;
    bool ok = true;
    for (const PackedRun& run : runs) {
        if (!(ok = StoreRun(run)))
            break;
    }
    if (!ok || !Check(sqlite3_exec(m_db, "commit", nullptr, nullptr, nullptr))) {
        // Rows kept before stay; this block leaves nothing.
        sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
        return false;
    }
    if (!m_named) {
        m_columns = rows.Columns().mid(0, columns);
        m_named = true;
    }
    m_rowCount += rows.RowCount();
    return true;
}

template <typename Visit>
bool DbRowStage::VisitRuns(sqlite3_stmt* select, qint64 first, qint64 count, Visit visit)
{
    sqlite3_bind_int64(select, 1, first);
    sqlite3_bind_int64(select, 2, first + count);
    int rc = SQLITE_OK;
    bool going = true;
    while (going && (rc = sqlite3_step(select)) == SQLITE_ROW) {
        const qint64 start = sqlite3_column_int64(select, 0);
        const qint64 rows = sqlite3_column_int64(select, 1);
        const char* blob = static_cast<const char*>(sqlite3_column_blob(select, 2));
        const int size = sqlite3_column_bytes(select, 2);
        if (start + rows <= first)
            continue;
        going = visit(Run {std::max<qint64>(first - start, 0), rows, QByteArrayView(blob, size)});
    }
    sqlite3_reset(select);
    return going && Check(rc);
}

bool DbRowStage::Matches(qint64 first, const DbRows& rows)
{
    if (!Begin())
        return false;
    if (!SameColumns(rows) || first < 0 || rows.RowCount() > m_rowCount - first) {
        m_changed = true;
        return false;
    }
    if (rows.IsEmpty())
        return true;
    const int columns = KeptColumns(rows);
    int row = 0; // of rows, the next to compare
    QByteArray packed;
    VisitRuns(m_selectHashes, first, rows.RowCount(), [&](const Run& run) {
        for (qint64 i = run.skipped; i < run.rows && row < rows.RowCount(); ++i, ++row) {
            quint64 kept = 0;
            if ((i + 1) * qsizetype(sizeof kept) > run.blob.size())
                return false;
            std::memcpy(&kept, run.blob.data() + i * qsizetype(sizeof kept), sizeof kept);
            packed.clear();
            PackStagedRow(rows, row, columns, packed);
            if (StagedRowHash(packed) != kept)
                return false;
        }
        return row < rows.RowCount();
    });
    if (row == rows.RowCount() && m_strLastError.isEmpty())
        return true;
    m_changed = m_strLastError.isEmpty();
    return false;
}

bool DbRowStage::Hashes(qint64 first, qint64 count, std::vector<quint64>& hashes)
{
    hashes.clear();
    if (!Begin())
        return false;
    first = std::max<qint64>(first, 0);
    count = std::min(count, m_rowCount - first);
    if (count <= 0)
        return true;
    hashes.reserve(static_cast<size_t>(count));
    bool damaged = false;
    VisitRuns(m_selectHashes, first, count, [&](const Run& run) {
        for (qint64 i = run.skipped; i < run.rows && qint64(hashes.size()) < count; ++i) {
            quint64 kept = 0;
            if ((i + 1) * qsizetype(sizeof kept) > run.blob.size()) {
                damaged = true;
                return false;
            }
            std::memcpy(&kept, run.blob.data() + i * qsizetype(sizeof kept), sizeof kept);
            hashes.push_back(kept);
        }
        return qint64(hashes.size()) < count;
    });
    if (qint64(hashes.size()) == count && m_strLastError.isEmpty())
        return true;
    if (m_strLastError.isEmpty() || damaged)
        m_strLastError = QStringLiteral("临时数据库中保存的记录已损坏");
    hashes.clear();
    return false;
}

bool DbRowStage::Read(qint64 first, qint64 count, DbRows& rows)
{
    rows.Reset(m_columns);
    if (!Begin())
        return false;
    if (!m_select || count <= 0)
        return true;
    // Only the kept rows are looked for: a caller may ask for "all the rest" (count up to
    // INT64_MAX), whose end lies past any number.
    if (first < 0) {
        count += first;
        first = 0;
    }
    count = std::min(count, m_rowCount - first);
    if (count <= 0)
        return true;
    const qint64 bound = GetDbLimits().sliceBytes;
    const int columns = static_cast<int>(m_columns.size());
    qint64 kept = 0;
    qint64 left = count;
    bool damaged = false;
    QByteArray packed; // one run's rows, the buffer kept from run to run
    const bool read = VisitRuns(m_select, first, count, [&](const Run& run) {
        if (!UncompressRun(run.blob, packed)) {
            damaged = true;
            return false;
        }
        qsizetype at = 0;
        for (qint64 i = 0; i < run.rows && left > 0; ++i) {
            quint32 size = 0;
            if (at + qsizetype(sizeof size) > packed.size()) {
                damaged = true;
                return false;
            }
            std::memcpy(&size, packed.constData() + at, sizeof size);
            at += sizeof size;
            if (size > packed.size() - at) {
                damaged = true;
                return false;
            }
            const qsizetype end = at + size;
            if (i < run.skipped) {
                at = end;
                continue;
            }
            kept += size;
            if (kept > bound) {
                m_refused = true;
                m_strLastError = DbSliceTooLargeMessage();
                return false;
            }
            // Every cell within its row: a row of other columns is damage, never read past.
            for (int c = 0; c < columns; ++c) {
                quint32 length = 0;
                if (at + qsizetype(sizeof length) > end) {
                    damaged = true;
                    return false;
                }
                std::memcpy(&length, packed.constData() + at, sizeof length);
                at += sizeof length;
                if (length == kStagedNull) {
                    rows.AppendNull();
                } else if (length > quint32(end - at)) {
                    damaged = true;
                    return false;
                } else {
                    rows.AppendUtf8(packed.constData() + at, length);
                    at += length;
                }
            }
            if (at != end) {
                damaged = true;
                return false;
            }
            --left;
        }
        return left > 0;
    });
    if (read || (left == 0 && m_strLastError.isEmpty() && !damaged))
        return true;
    if (damaged)
        m_strLastError = QStringLiteral("临时数据库中保存的记录已损坏");
    rows.Reset(m_columns);
    return false;
}

quint64 DbRowHash(const DbRows& rows, int row, int columns)
{
    QByteArray packed;
    PackStagedRow(rows, row, std::min(columns, rows.ColumnCount()), packed);
    return StagedRowHash(packed);
}

QStringList UniqueColumnNames(const QStringList& names)
{
    QStringList unique;
    QSet<QString> taken;
    for (int c = 0; c < names.size(); ++c) {
        QString name = names[c].trimmed();
        if (name.isEmpty())
            name = QStringLiteral("F%1").arg(c + 1);
        // SQLite compares column names without regard to case.
        QString candidate = name;
        for (int n = 1; taken.contains(candidate.toCaseFolded()); ++n)
            candidate = name + QString::number(n);
        taken.insert(candidate.toCaseFolded());
        unique.append(candidate);
    }
    return unique;
}
