#include "model/SqlStatementCheck.h"

#include <QList>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

namespace {

enum class SqlBrackets { None, Plain, Doubled };
// Whose reading it is: the name a refusal gives, and the server's own schemas.
enum class SqlFamily { SQLite, Standard, PostgreSQL, MySQL, TSql };

// How one dialect splits a text into literals, quoted names and comments.
struct SqlReading
{
    SqlFamily family = SqlFamily::Standard;
    bool backticks = false; // `name`
    SqlBrackets brackets = SqlBrackets::None; // [name], "]]" inside or not
    bool nestedComments = false;
    bool hashComments = false; // # to the end of the line
    bool dashNeedsBlank = false; // "--" starts a comment only before a blank
    bool backslashInSingle = false;
    bool backslashInDouble = false;
    bool executableComments = false; // /*! ... */ runs
    // PostgreSQL's words, numbers, parameters and literals (dollar quotes, E'', B'', X'',
    // a literal continued on a later line) are read by its scanner's own rules.
};

// SQLite (and the staged workbooks), the standard as Oracle and DB2 read it,
// PostgreSQL with standard_conforming_strings on and off, MySQL/MariaDB with
// backslash escapes, with ANSI_QUOTES and with NO_BACKSLASH_ESCAPES, MariaDB's MSSQL
// mode (which brings ANSI_QUOTES, and reads [name]) with escapes and without, and T-SQL.
enum SqlReadingIndex {
    kSQLite,
    kStandard,
    kPgStandard,
    kPgEscapes,
    kMyEscapes,
    kMyAnsiQuotes,
    kMyNoEscapes,
    kMyBrackets,
    kMyBracketsNoEscapes,
    kTSql
};
const SqlReading kSqlReadings[] = {
    {.family = SqlFamily::SQLite, .backticks = true, .brackets = SqlBrackets::Plain},
    {.family = SqlFamily::Standard},
    {.family = SqlFamily::PostgreSQL, .nestedComments = true},
    {.family = SqlFamily::PostgreSQL, .nestedComments = true, .backslashInSingle = true},
    {.family = SqlFamily::MySQL, .backticks = true, .hashComments = true, .dashNeedsBlank = true,
        .backslashInSingle = true, .backslashInDouble = true, .executableComments = true},
    {.family = SqlFamily::MySQL, .backticks = true, .hashComments = true, .dashNeedsBlank = true,
        .backslashInSingle = true, .executableComments = true},
    {.family = SqlFamily::MySQL, .backticks = true, .hashComments = true, .dashNeedsBlank = true,
        .executableComments = true},
    {.family = SqlFamily::MySQL, .backticks = true, .brackets = SqlBrackets::Doubled, .hashComments = true,
        .dashNeedsBlank = true, .backslashInSingle = true, .executableComments = true},
    {.family = SqlFamily::MySQL, .backticks = true, .brackets = SqlBrackets::Doubled, .hashComments = true,
        .dashNeedsBlank = true, .executableComments = true},
    {.family = SqlFamily::TSql, .brackets = SqlBrackets::Doubled, .nestedComments = true},
};
constexpr unsigned kEveryReading = (1u << std::size(kSqlReadings)) - 1;

// The readings a server may give a text: one for each setting the connection knows,
// both where it does not, all of them for an unknown server.
unsigned SqlReadingsOf(const SqlServerKind& kind)
{
    switch (kind.server) {
    case SqlServerKind::SQLite:
        return 1u << kSQLite;
    case SqlServerKind::PostgreSQL:
        return (kind.standardStrings != false ? 1u << kPgStandard : 0u)
            | (kind.standardStrings != true ? 1u << kPgEscapes : 0u);
    case SqlServerKind::MySQL: {
        // MSSQL may be on wherever ANSI_QUOTES is.
        const unsigned brackets = kind.ansiQuotes != false ? 1u << kMyBracketsNoEscapes : 0u;
        unsigned readings = kind.noBackslashEscapes != false ? (1u << kMyNoEscapes) | brackets : 0u;
        if (kind.noBackslashEscapes != true)
            readings |= (kind.ansiQuotes != true ? 1u << kMyEscapes : 0u)
                | (kind.ansiQuotes != false ? (1u << kMyAnsiQuotes) | (1u << kMyBrackets) : 0u);
        return readings;
    }
    case SqlServerKind::SqlServer:
        return 1u << kTSql;
    case SqlServerKind::Unknown:
        break;
    }
    return kEveryReading;
}

QString SqlReadingName(SqlFamily family)
{
    switch (family) {
    case SqlFamily::SQLite:
        return QStringLiteral("SQLite");
    case SqlFamily::PostgreSQL:
        return QStringLiteral("PostgreSQL");
    case SqlFamily::MySQL:
        return QStringLiteral("MySQL/MariaDB");
    case SqlFamily::TSql:
        return QStringLiteral("SQL Server");
    case SqlFamily::Standard:
        break;
    }
    return QStringLiteral("标准 SQL");
}

// A statement of a megabyte makes hundreds of thousands of tokens: a token's text is a view into
// the text read, which outlives its tokens, and its places fit in 32 bits (a text read is at most
// about a megabyte long).
class SqlToken
{
    // First, so that the pointer leaves no gap.
    const QChar* m_text;
    qint32 m_size;

public:
    enum Kind : quint8 { Word, Name, Literal, Mark };
    SqlToken(Kind k, QStringView t, qsizetype from, qsizetype to, QChar q = {})
        : m_text(t.data())
        , m_size(qint32(t.size()))
        , start(qint32(from))
        , end(qint32(to))
        , kind(k)
        , quote(q)
    {
    }
    // Its text: the inside of a literal or a quoted name, or the word or mark itself.
    QStringView Text() const { return {m_text, m_size}; }

    qint32 start; // where the token starts in the text
    qint32 end; // just after the token in the text
    Kind kind;
    QChar quote; // of a name or literal
};
static_assert(sizeof(SqlToken) <= 24);

// What a reading refuses and where (an offset into the text it read).
struct SqlFault
{
    qsizetype at = -1;
    QString what;

    explicit operator bool() const { return at >= 0; }
};

const QString kQuoteOpen = QStringLiteral("引号没有结束");
const QString kCommentOpen = QStringLiteral("注释没有结束");

bool IsSqlWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() >= 0x80;
}

// The characters every server reads as part of a name; a server may read any other
// character we take for a letter as a blank.
bool IsSqlAsciiWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_';
}

// Whether a word is one of the list, in any case (the words compared are ASCII's), without a copy.
bool IsSqlWordAmong(QStringView word, std::initializer_list<QStringView> list)
{
    return std::any_of(
        list.begin(), list.end(), [&](QStringView w) { return word.compare(w, Qt::CaseInsensitive) == 0; });
}

QString UsedSqlText(QStringView what)
{
    return QStringLiteral("不能使用“%1”").arg(what);
}

// Where the quoted part that starts at i (on its opening quote) ends, just past its
// closing quote; -1 when it does not end.
qsizetype SqlQuoteEnd(QStringView s, qsizetype i, QChar close, bool doubling, bool backslash)
{
    for (qsizetype j = i + 1; j < s.size(); ++j) {
        if (backslash && s[j] == u'\\')
            ++j;
        else if (s[j] == close && doubling && j + 1 < s.size() && s[j + 1] == close)
            ++j;
        else if (s[j] == close)
            return j + 1;
    }
    return -1;
}

// PostgreSQL's scanner reads the text's UTF-8 bytes, and takes every byte at or above
// 0x80 as a letter: a character outside ASCII, whatever its kind (a digit such as U+0663,
// a blank such as U+00A0 or U+3000), starts or continues a name or a dollar-quote tag.
bool IsPgIdentStart(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'_' || u >= 0x80;
}

bool IsSqlAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// A tag's characters; a name also takes '$'.
bool IsPgTagChar(QChar c)
{
    return IsPgIdentStart(c) || IsSqlAsciiDigit(c);
}

// How a PostgreSQL literal reads its inside: as '...' with standard_conforming_strings
// on (and U&'...'), as E'...' (a backslash escapes the next character), or as B'...' and
// X'...' (no quote doubled: "''" ends it and starts another).
enum class PgLiteral { Plain, Escapes, Bits };

// After a literal's closing quote just before p: the quote that goes on with the same
// literal (blanks and "--" comments holding a line break, then a quote), or -1.
qsizetype PgContinuingQuote(QStringView s, qsizetype p)
{
    bool lineBreak = false;
    while (p < s.size()) {
        const QChar c = s[p];
        if (c == u' ' || c == u'\t' || c == u'\f') {
            ++p;
        } else if (c == u'\n' || c == u'\r') {
            lineBreak = true;
            ++p;
        } else if (c == u'-' && p + 1 < s.size() && s[p + 1] == u'-') {
            while (p < s.size() && s[p] != u'\n' && s[p] != u'\r')
                ++p;
        } else {
            break;
        }
    }
    return lineBreak && p < s.size() && s[p] == u'\'' ? p : -1;
}

// Where the PostgreSQL literal whose opening quote is at i ends, just past its closing
// quote (the continued parts read as the first); -1 when it does not end.
qsizetype PgLiteralEnd(QStringView s, qsizetype i, PgLiteral kind)
{
    for (qsizetype j = i + 1; j < s.size(); ++j) {
        if (s[j] == u'\\' && kind == PgLiteral::Escapes) {
            ++j;
            continue;
        }
        if (s[j] != u'\'')
            continue;
        if (kind != PgLiteral::Bits && j + 1 < s.size() && s[j + 1] == u'\'') {
            ++j;
            continue;
        }
        const qsizetype next = PgContinuingQuote(s, j + 1);
        if (next < 0)
            return j + 1;
        j = next;
    }
    return -1;
}

// One PostgreSQL token that starts at i with a letter, a digit, '$' or a quote: its
// end, after appending it; 0 when c is none of these (a mark the caller reads).
qsizetype ReadPgToken(QStringView s, qsizetype i, const SqlReading& r, QList<SqlToken>& tokens, SqlFault& fault)
{
    const auto at = [&](qsizetype k) { return k < s.size() ? s[k] : QChar(); };
    const QChar c = s[i];
    const auto literal = [&](qsizetype quote, PgLiteral kind) -> qsizetype {
        const qsizetype end = PgLiteralEnd(s, quote, kind);
        if (end < 0) {
            fault = {quote, kQuoteOpen};
            return s.size();
        }
        tokens.append({SqlToken::Literal, s.mid(quote + 1, end - quote - 2), quote, end, u'\''});
        return end;
    };
    const PgLiteral plain = r.backslashInSingle ? PgLiteral::Escapes : PgLiteral::Plain;
    if (c == u'\'')
        return literal(i, plain);
    if (c == u'$') {
        if (IsSqlAsciiDigit(at(i + 1))) { // $1, a parameter
            qsizetype k = i + 1;
            while (k < s.size() && IsSqlAsciiDigit(s[k]))
                ++k;
            tokens.append({SqlToken::Word, s.mid(i, k - i), i, k});
            return k;
        }
        qsizetype k = i + 1;
        if (IsPgIdentStart(at(k))) {
            while (k < s.size() && IsPgTagChar(s[k]))
                ++k;
        }
        if (at(k) != u'$') { // '$' alone; what follows is read on its own
            tokens.append({SqlToken::Mark, s.mid(i, 1), i, i + 1});
            return i + 1;
        }
        const QStringView tag = s.mid(i, k - i + 1);
        const qsizetype close = s.indexOf(tag, k + 1);
        if (close < 0) {
            fault = {i, kQuoteOpen};
            return s.size();
        }
        tokens.append({SqlToken::Literal, s.mid(k + 1, close - k - 1), i, close + tag.size()});
        return close + tag.size();
    }
    if (IsSqlAsciiDigit(c)) {
        // A number; a letter straight after it is an error on the server, read here as
        // part of the word.
        qsizetype k = i;
        while (k < s.size() && IsSqlAsciiDigit(s[k]))
            ++k;
        if (at(k) == u'.' && at(k + 1) != u'.') {
            ++k;
            while (k < s.size() && IsSqlAsciiDigit(s[k]))
                ++k;
        }
        const qsizetype sign = (at(k + 1) == u'+' || at(k + 1) == u'-') ? 1 : 0;
        if ((at(k) == u'e' || at(k) == u'E') && IsSqlAsciiDigit(at(k + 1 + sign))) {
            k += 1 + sign;
            while (k < s.size() && IsSqlAsciiDigit(s[k]))
                ++k;
        }
        if (IsPgIdentStart(at(k))) {
            while (k < s.size() && (IsPgTagChar(s[k]) || s[k] == u'$'))
                ++k;
        }
        tokens.append({SqlToken::Word, s.mid(i, k - i), i, k});
        return k;
    }
    if (!IsPgIdentStart(c))
        return 0;
    if (at(i + 1) == u'\'') {
        switch (c.toLower().unicode()) {
        case u'e':
            return literal(i + 1, PgLiteral::Escapes);
        case u'b':
        case u'x':
            return literal(i + 1, PgLiteral::Bits);
        case u'n':
            return literal(i + 1, plain);
        default:
            break;
        }
    }
    qsizetype k = i;
    while (k < s.size() && (IsPgTagChar(s[k]) || s[k] == u'$'))
        ++k;
    tokens.append({SqlToken::Word, s.mid(i, k - i), i, k});
    return k;
}

// Splits the text as the reading does: its words, quoted names, literals and marks in
// order, comments left out; or why and where the text is refused under it.
SqlFault ReadSql(QStringView s, const SqlReading& r, QList<SqlToken>& tokens)
{
    const auto at = [&](qsizetype k) { return k < s.size() ? s[k] : QChar(); };
    QList<qsizetype> opened; // the parentheses not closed yet
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s[i];
        const bool dash = c == u'-' && at(i + 1) == u'-'
            && (!r.dashNeedsBlank || QStringView(u" \t\r\n").contains(at(i + 2)));
        if (dash || (c == u'#' && r.hashComments)) {
            const qsizetype end = s.indexOf(u'\n', i);
            i = end < 0 ? s.size() : end + 1;
            continue;
        }
        if (c == u'/' && at(i + 1) == u'*') {
            if (r.executableComments && (at(i + 2) == u'!' || (at(i + 2) == u'M' && at(i + 3) == u'!')))
                return {i, UsedSqlText(u"/*!")};
            const qsizetype start = i;
            int level = 0;
            do {
                if (i + 1 >= s.size())
                    return {start, kCommentOpen};
                if (s[i] == u'/' && s[i + 1] == u'*' && (level == 0 || r.nestedComments)) {
                    ++level;
                    i += 2;
                } else if (s[i] == u'*' && s[i + 1] == u'/') {
                    --level;
                    i += 2;
                } else {
                    ++i;
                }
            } while (level > 0);
            continue;
        }
        // The word just before, when nothing stands between it and c.
        const bool prefixed = !tokens.isEmpty() && tokens.last().kind == SqlToken::Word && tokens.last().end == i;
        const QStringView prefix = prefixed ? tokens.last().Text() : QStringView();
        // U&'..' and U&"..": escapes of their own, with an escape character of their own.
        // PostgreSQL reads them where its "u" is a word of its own ("$u&'..'" too).
        const bool unicodeEscapes = (c == u'\'' || c == u'"') && i >= 2 && s[i - 1] == u'&'
            && s[i - 2].toLower() == u'u'
            && (i < 3 || !IsSqlWordChar(s[i - 3])
                || (r.family == SqlFamily::PostgreSQL && tokens.size() >= 2
                    && tokens[tokens.size() - 2].start == i - 2 && tokens[tokens.size() - 2].end == i - 1));
        if (unicodeEscapes)
            return {i - 2, UsedSqlText(QStringView(s.mid(i - 2, 3)))};
        const bool oracleText = c == u'\''
            && (prefix.compare(u"q", Qt::CaseInsensitive) == 0 || prefix.compare(u"nq", Qt::CaseInsensitive) == 0);
        if (r.family == SqlFamily::PostgreSQL && !oracleText) {
            SqlFault fault;
            if (const qsizetype end = ReadPgToken(s, i, r, tokens, fault)) {
                if (fault)
                    return fault;
                i = end;
                continue;
            }
        }
        QChar close;
        bool doubling = true;
        bool backslash = false;
        SqlToken::Kind kind = SqlToken::Name;
        if (c == u'\'') {
            if (oracleText)
                return {i - prefix.size(), UsedSqlText(u"q'")};
            close = c;
            kind = SqlToken::Literal;
            backslash = r.backslashInSingle;
        } else if (c == u'"') {
            close = c;
            backslash = r.backslashInDouble;
        } else if (c == u'`' && r.backticks) {
            close = c;
        } else if (c == u'[' && r.brackets != SqlBrackets::None) {
            close = u']';
            doubling = r.brackets == SqlBrackets::Doubled;
        }
        if (!close.isNull()) {
            const qsizetype end = SqlQuoteEnd(s, i, close, doubling, backslash);
            if (end < 0)
                return {i, kQuoteOpen};
            if (kind == SqlToken::Literal && prefixed)
                tokens.removeLast(); // N'..', E'..', X'..': the letter is part of the literal
            tokens.append({kind, s.mid(i + 1, end - i - 2), i, end, c});
            i = end;
            continue;
        }
        if (IsSqlWordChar(c)) {
            qsizetype k = i;
            while (k < s.size() && IsSqlWordChar(s[k]))
                ++k;
            tokens.append({SqlToken::Word, s.mid(i, k - i), i, k});
            i = k;
            continue;
        }
        if (c == u'(') {
            opened.append(i);
        } else if (c == u')') {
            if (opened.isEmpty())
                return {i, QStringLiteral("右括号多于左括号")};
            opened.removeLast();
        } else if (c == u';') {
            return {i, QStringLiteral("分号之后不能再有语句")};
        }
        if (!c.isSpace())
            tokens.append({SqlToken::Mark, s.mid(i, 1), i, i + 1});
        ++i;
    }
    if (!opened.isEmpty())
        return {opened.last(), QStringLiteral("括号没有结束")};
    return {};
}

bool RefusedSqlNameLess(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

QList<QStringView> SortedSqlNames(std::initializer_list<QStringView> list)
{
    QList<QStringView> names(list);
    std::sort(names.begin(), names.end(), RefusedSqlNameLess);
    return names;
}

// The functions and procedures that reach outside a read-only transaction that is
// rolled back, read the server's files, change the role or run a text as a statement
// of its own, on the servers we reach: PostgreSQL's large-object files (lo_export
// writes its file even inside BEGIN READ ONLY), adminpack, server files and settings,
// replication slots and origins, backends, dblink and the functions that run a query
// given as text; what outlives the read in the session or the database (session-level
// advisory locks, the random seed, an index's summaries and pending list, MySQL's user
// locks), which a pooled server connection keeps for its next client; MySQL's file
// reading and command UDFs; SQL Server's extended
// procedures, dynamic SQL, server options, application roles, OLE automation and the
// functions that open other sources or files.
const QList<QStringView>& RefusedSqlNames()
{
    static const QList<QStringView> names = SortedSqlNames({u"set_config", u"pg_read_file", u"pg_read_binary_file",
        u"pg_stat_file", u"pg_logdir_ls", u"pg_create_physical_replication_slot", u"pg_create_logical_replication_slot",
        u"pg_drop_replication_slot", u"pg_replication_slot_advance", u"pg_logical_emit_message", u"pg_switch_wal",
        u"pg_switch_xlog", u"pg_terminate_backend", u"pg_cancel_backend", u"pg_reload_conf", u"pg_rotate_logfile",
        u"pg_promote", u"pg_create_restore_point", u"pg_start_backup", u"pg_stop_backup", u"pg_backup_start",
        u"pg_backup_stop", u"pg_wal_replay_pause", u"pg_wal_replay_resume", u"lowrite", u"ts_stat", u"dblink",
        u"pg_advisory_lock", u"pg_advisory_lock_shared", u"pg_try_advisory_lock", u"pg_try_advisory_lock_shared",
        u"setseed", u"brin_summarize_new_values", u"brin_summarize_range", u"brin_desummarize_range",
        u"gin_clean_pending_list", u"load_file", u"sys_exec", u"sys_eval", u"get_lock", u"sp_executesql",
        u"sp_configure", u"sp_addextendedproc", u"sp_setapprole", u"openrowset", u"opendatasource", u"openquery"});
    return names;
}

// The large-object functions (lo_) that only read.
const QList<QStringView>& LargeObjectReaders()
{
    static const QList<QStringView> readers
        = SortedSqlNames({u"lo_get", u"lo_open", u"lo_close", u"lo_lseek", u"lo_lseek64", u"lo_tell", u"lo_tell64"});
    return readers;
}

constexpr QStringView kRefusedSqlPrefixes[]
    = {u"pg_file_", u"pg_ls_", u"pg_stat_reset", u"pg_copy_", u"pg_replication_origin_", u"pg_logical_slot_",
        u"dblink_", u"query_to_xml", u"cursor_to_xml", u"schema_to_xml", u"database_to_xml", u"xp_", u"sp_oa"};

bool IsRefusedSqlName(QStringView name)
{
    // Looked up in sorted order, with a few comparisons and no copy: every name of a statement of
    // a megabyte is.
    const QList<QStringView>& names = RefusedSqlNames();
    const QList<QStringView>& largeObjectReaders = LargeObjectReaders();
    const auto& prefixes = kRefusedSqlPrefixes;
    const auto less = RefusedSqlNameLess;
    // The names compared are runs of ASCII letters: folding their case is all a server does.
    const auto among
        = [&](const auto& list) { return std::binary_search(std::begin(list), std::end(list), name, less); };
    if (name.size() < 3)
        return false;
    if (among(names))
        return true;
    if (name.startsWith(u"lo_", Qt::CaseInsensitive))
        return !among(largeObjectReaders);
    return std::any_of(std::begin(prefixes), std::end(prefixes),
        [&](QStringView p) { return name.startsWith(p, Qt::CaseInsensitive); });
}

} // namespace

QStringList RefusedSqlNamePatterns()
{
    const auto escaped = [](QStringView name) {
        QString pattern = name.toString();
        return pattern.replace(u'\\', QStringLiteral("\\\\"))
            .replace(u'_', QStringLiteral("\\_"))
            .replace(u'%', QStringLiteral("\\%"));
    };
    QStringList patterns;
    for (const QStringView name : RefusedSqlNames())
        patterns << escaped(name);
    for (const QStringView prefix : kRefusedSqlPrefixes)
        patterns << escaped(prefix) + u'%';
    patterns << escaped(u"lo_") + u'%' << escaped(u"ts_rewrite");
    return patterns;
}

namespace {

// A schema of the server's own, whose procedures run statements given as text or
// change the server: no CALL or EXEC of one is sent.
bool IsSystemSqlSchema(SqlFamily family, QStringView name)
{
    const QString lower = name.toString().toLower();
    switch (family) {
    case SqlFamily::MySQL:
        return lower == u"sys" || lower == u"mysql";
    case SqlFamily::PostgreSQL:
        return lower == u"pg_catalog";
    case SqlFamily::TSql:
        return lower == u"master" || lower == u"msdb" || lower == u"sys";
    case SqlFamily::SQLite:
    case SqlFamily::Standard:
        break;
    }
    return false;
}

// A token as the checks read it: each run of plain letters of a word or a quoted name
// on its own, so that a character a server may take for a blank hides nothing.
struct SqlItem
{
    SqlToken::Kind kind;
    QStringView text;
    qsizetype start;
    qsizetype token; // the token it is part of
    QChar quote;
};

// The items of a reading's tokens. Each is kept as its place in its token (12 bytes, where a
// statement of a megabyte has hundreds of thousands), the rest read from the token when asked.
class SqlItems
{
public:
    explicit SqlItems(const QList<SqlToken>& tokens)
        : m_tokens(tokens)
    {
        m_places.reserve(tokens.size());
        for (qsizetype t = 0; t < tokens.size(); ++t) {
            const SqlToken& token = tokens[t];
            const QStringView text = token.Text();
            const qsizetype before = m_places.size();
            for (qsizetype i = 0; (token.kind == SqlToken::Word || token.kind == SqlToken::Name) && i < text.size();) {
                if (!IsSqlAsciiWordChar(text[i])) {
                    ++i;
                    continue;
                }
                qsizetype k = i;
                while (k < text.size() && IsSqlAsciiWordChar(text[k]))
                    ++k;
                m_places.append({qint32(t), qint32(i), qint32(k - i)});
                i = k;
            }
            if (m_places.size() == before)
                m_places.append({qint32(t), -1, 0});
        }
    }

    qsizetype size() const { return m_places.size(); }

    SqlItem operator[](qsizetype k) const
    {
        const Place& place = m_places[k];
        const SqlToken& token = m_tokens[place.token];
        if (place.from < 0)
            return {token.kind, token.Text(), token.start, place.token, token.quote};
        const qsizetype inside = token.start + (token.kind == SqlToken::Name ? 1 : 0);
        return {token.kind, token.Text().mid(place.from, place.size), inside + place.from, place.token, token.quote};
    }

private:
    // A run of the token's text, or the whole token (from -1).
    struct Place
    {
        qint32 token;
        qint32 from;
        qint32 size;
    };
    const QList<SqlToken>& m_tokens;
    QList<Place> m_places;
};

QString SqlEscapesDecoded(QStringView s, bool unicodeForm)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        // \xHH, \uXXXX, \UXXXXXXXX, \ooo; in U&'..' \XXXX and \+XXXXXX.
        const QChar c = s[i + 1];
        int base = 16;
        qsizetype skip = 1;
        qsizetype digits = 0;
        if (unicodeForm) {
            skip = c == u'+' ? 2 : 1;
            digits = c == u'+' ? 6 : 4;
        } else if (c == u'x') {
            skip = 2;
            digits = 2;
        } else if (c == u'u' || c == u'U') {
            skip = 2;
            digits = c == u'u' ? 4 : 8;
        } else if (c >= u'0' && c <= u'7') {
            base = 8;
            digits = 3;
        }
        char32_t code = 0;
        qsizetype n = 0;
        for (; n < digits && i + skip + n < s.size(); ++n) {
            const int digit = QStringView(u"0123456789abcdef").indexOf(s[i + skip + n].toLower());
            if (digit < 0 || digit >= base)
                break;
            code = code * base + char32_t(digit);
        }
        if (n == 0 || code > 0x10FFFF) {
            out += c;
            ++i;
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i += skip + n - 1;
    }
    return out;
}

// Whether a dot may stand before offset i of a text, past blanks and the quotes of a quoted
// name: a comment that ends there may hide one (where it starts is not looked for, which
// would read the text again for each name).
bool SqlTextAfterDot(QStringView s, qsizetype i)
{
    qsizetype j = i - 1;
    while (j >= 0 && (s[j].isSpace() || s[j] == u'"'))
        --j;
    return j >= 0 && (s[j] == u'.' || (s[j] == u'/' && j > 0 && s[j - 1] == u'*'));
}

// The next occurrence of what in s at or after a place, for a reader that asks from many
// places: no occurrence lies between the place last searched from and what that search found,
// so a text whose comments never end (each asked about, "f/*f/*f/*...") is searched once, not
// once per comment.
class SqlNextInText
{
public:
    SqlNextInText(QStringView s, QStringView what) : m_s(s), m_what(what) {}

    qsizetype From(qsizetype from)
    {
        if (m_searched && from >= m_from && (m_found < 0 || from <= m_found))
            return m_found;
        m_searched = true;
        m_from = from;
        m_found = m_s.indexOf(m_what, from);
        return m_found;
    }

private:
    QStringView m_s;
    QStringView m_what;
    bool m_searched = false;
    qsizetype m_from = 0;
    qsizetype m_found = -1;
};

// A call of a refused function inside a text, which a server may run as a query: the
// name, or an empty view; offset where it stands in the text.
QStringView CallInSqlText(QStringView s, qsizetype& offset)
{
    const qsizetype n = s.size();
    SqlNextInText commentEnd(s, u"*/");
    SqlNextInText lineEnd(s, u"\n");
    for (qsizetype i = 0; i < n;) {
        if (!IsSqlAsciiWordChar(s[i])) {
            if (s[i] == u'&' && i > 0 && s[i - 1].toLower() == u'u' && i + 1 < n && (s[i + 1] == u'\'' || s[i + 1] == u'"')) {
                offset = i - 1;
                return s.mid(i - 1, 3);
            }
            ++i;
            continue;
        }
        qsizetype k = i;
        while (k < n && IsSqlAsciiWordChar(s[k]))
            ++k;
        const QStringView run = s.mid(i, k - i);
        // "x.f": the text may be a query where x is one value (as in the statement itself).
        if (IsRefusedSqlName(run) && SqlTextAfterDot(s, i)) {
            offset = i;
            return run;
        }
        if (IsRefusedSqlName(run) || run.compare(u"ts_rewrite", Qt::CaseInsensitive) == 0) {
            // Blanks, comments and the quotes of a quoted name before its "(".
            qsizetype j = k;
            for (;;) {
                while (j < n && (s[j].isSpace() || s[j] == u'"' || s[j] == u'`' || s[j] == u']'))
                    ++j;
                const QStringView two = s.mid(j, 2);
                const qsizetype end = two == u"/*" ? commentEnd.From(j + 2) : two == u"--" ? lineEnd.From(j) : -1;
                if (end < 0)
                    break;
                j = end + 1;
            }
            if (j < n && s[j] == u'(') {
                offset = i;
                return run;
            }
        }
        i = k;
    }
    return {};
}

SqlFault CallInSqlLiteral(const SqlItem& literal)
{
    qsizetype offset = 0;
    QStringView found = CallInSqlText(literal.text, offset);
    if (!found.isEmpty())
        return {literal.start + 1 + offset, UsedSqlText(found)};
    if (!literal.text.contains(u'\\'))
        return {};
    // As a server may read the text's escapes, once or again where the text holds a text.
    const QString once = SqlEscapesDecoded(literal.text, false);
    for (const QString& decoded : {once, SqlEscapesDecoded(once, false), SqlEscapesDecoded(literal.text, true)}) {
        found = CallInSqlText(decoded, offset);
        if (!found.isEmpty())
            return {literal.start, UsedSqlText(found.toString())};
    }
    return {};
}

bool IsSqlNameItem(const SqlItems& items, qsizetype k)
{
    return k >= 0 && k < items.size() && (items[k].kind == SqlToken::Word || items[k].kind == SqlToken::Name);
}

bool IsSqlMarkItem(const SqlItems& items, qsizetype k, char16_t mark)
{
    return k >= 0 && k < items.size() && items[k].kind == SqlToken::Mark && items[k].text.front() == mark;
}

// The first item of the qualified name ("db.schema.name", "master..name") that ends
// with item e, and the last of the one that starts with item b.
qsizetype SqlQualifiedStart(const SqlItems& items, qsizetype e)
{
    for (qsizetype b = e;;) {
        while (b > 0 && items[b - 1].token == items[b].token)
            --b;
        qsizetype d = b;
        while (IsSqlMarkItem(items, d - 1, u'.'))
            --d;
        if (d == b || !IsSqlNameItem(items, d - 1))
            return b;
        b = d - 1;
    }
}

qsizetype SqlQualifiedEnd(const SqlItems& items, qsizetype b)
{
    for (qsizetype e = b;;) {
        while (e + 1 < items.size() && items[e + 1].token == items[e].token)
            ++e;
        qsizetype d = e;
        while (IsSqlMarkItem(items, d + 1, u'.'))
            ++d;
        if (d == e || !IsSqlNameItem(items, d + 1))
            return e;
        e = d + 1;
    }
}

// The arguments of each call, by the item of its "(", counted in one pass over the items the
// first time one is asked for: a call nested in another's arguments is not read again for each
// call around it.
class SqlArgumentCounts
{
public:
    explicit SqlArgumentCounts(const SqlItems& items) : m_items(items) {}

    int Of(qsizetype open)
    {
        if (m_counts.empty())
            Count();
        return m_counts[static_cast<size_t>(open)];
    }

private:
    void Count()
    {
        m_counts.assign(static_cast<size_t>(m_items.size()), 0);
        // The open "(" items, each with the commas met at its own depth so far.
        std::vector<std::pair<qsizetype, int>> open;
        for (qsizetype k = 0; k < m_items.size(); ++k) {
            if (IsSqlMarkItem(m_items, k, u'(')) {
                open.emplace_back(k, 0);
            } else if (IsSqlMarkItem(m_items, k, u')') && !open.empty()) {
                const auto [at, commas] = open.back();
                open.pop_back();
                m_counts[static_cast<size_t>(at)] = k == at + 1 ? 0 : commas + 1;
            } else if (IsSqlMarkItem(m_items, k, u',') && !open.empty()) {
                ++open.back().second;
            }
        }
        // A call the text never closes has the arguments it got.
        for (const auto& [at, commas] : open)
            m_counts[static_cast<size_t>(at)] = commas + 1;
    }

    const SqlItems& m_items;
    std::vector<int> m_counts;
};

// What one reading finds called or run that is refused: a refused function called
// (each part of its name), a procedure after CALL or EXEC that is refused or lives in
// the server's own schemas, INTO OUTFILE/DUMPFILE, BULK INSERT, a text that holds such
// a call, and in T-SQL an EXEC of anything but a procedure's name.
// namesCall: a bare name of a refused function is refused in PostgreSQL's reading (see below).
SqlFault RefusedSqlItems(const SqlItems& items, const SqlReading& r, bool namesCall)
{
    SqlArgumentCounts arguments(items);
    for (qsizetype i = 0; i < items.size(); ++i) {
        const SqlItem item = items[i];
        if (item.kind != SqlToken::Literal)
            continue;
        if (const SqlFault fault = CallInSqlLiteral(item))
            return fault;
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        const SqlItem item = items[i];
        if (!IsSqlNameItem(items, i))
            continue;
        // PostgreSQL also calls a function of one argument written after it: "(pid).f",
        // "(a[1]).f".
        if (IsSqlMarkItem(items, i - 1, u'.') && (IsSqlMarkItem(items, i - 2, u')') || IsSqlMarkItem(items, i - 2, u']'))
            && IsRefusedSqlName(item.text))
            return {item.start, UsedSqlText(item.text)};
        // And "x.f" where x is a FROM item that is one value ("unnest(...) x", "cast(... as
        // text) x", a function in FROM), in whatever case, quoted or not, with comments and blanks
        // around the dot: where the server may be another that reads the text as PostgreSQL
        // does, a name of PostgreSQL's is refused wherever it stands, even where it is only a
        // column's or a table's. A server known to be PostgreSQL resolves the statement itself,
        // or, where it cannot, its catalog tells which names are its refused functions'
        // (ConnectedStatementRefusal): there a column named lo_limit reads. Written so, a
        // function has one argument, and ts_rewrite runs a text only with two: its name alone
        // is not refused.
        if (namesCall && r.family == SqlFamily::PostgreSQL && IsRefusedSqlName(item.text))
            return {item.start, UsedSqlText(item.text)};
        if (IsSqlMarkItem(items, i + 1, u'(')) {
            for (qsizetype k = SqlQualifiedStart(items, i); k <= i; ++k) {
                const SqlItem part = items[k];
                if (IsSqlNameItem(items, k) && IsRefusedSqlName(part.text))
                    return {part.start, UsedSqlText(part.text)};
            }
            // ts_rewrite(query, 'select ...') runs its text as a query.
            if (item.text.compare(u"ts_rewrite", Qt::CaseInsensitive) == 0 && arguments.Of(i + 1) == 2)
                return {item.start, QStringLiteral("不能使用“%1”的两个参数的形式").arg(item.text)};
        }
        if (item.kind != SqlToken::Word)
            continue;
        const bool call = IsSqlWordAmong(item.text, {u"call"});
        const bool exec = IsSqlWordAmong(item.text, {u"exec", u"execute"});
        if ((call || exec) && IsSqlNameItem(items, i + 1)) {
            const qsizetype last = SqlQualifiedEnd(items, i + 1);
            for (qsizetype k = i + 1; k <= last; ++k) {
                const SqlItem part = items[k];
                if (!IsSqlNameItem(items, k))
                    continue;
                if (IsRefusedSqlName(part.text))
                    return {part.start, UsedSqlText(part.text)};
                if (part.token != items[last].token && IsSystemSqlSchema(r.family, part.text))
                    return {part.start, QStringLiteral("不能调用“%1”中的存储过程").arg(part.text)};
            }
        }
        // A text or a variable after EXEC is run as a statement of its own ("..." is a
        // text to T-SQL without quoted names).
        if (exec && r.family == SqlFamily::TSql && i + 1 < items.size()) {
            const SqlItem next = items[i + 1];
            const bool procedure = next.kind == SqlToken::Word ? next.text.compare(u"as", Qt::CaseInsensitive) != 0
                                                               : next.kind == SqlToken::Name && next.quote != u'"';
            if (!procedure)
                return {item.start, QStringLiteral("EXEC 之后只能是存储过程名")};
        }
        if (IsSqlNameItem(items, i + 1) && items[i + 1].kind == SqlToken::Word) {
            const QStringView next = items[i + 1].text;
            if ((IsSqlWordAmong(item.text, {u"into"}) && IsSqlWordAmong(next, {u"outfile", u"dumpfile"}))
                || (IsSqlWordAmong(item.text, {u"bulk"}) && IsSqlWordAmong(next, {u"insert"})))
                return {item.start, UsedSqlText(QStringLiteral("%1 %2").arg(item.text, next))};
        }
    }
    return {};
}

// Whether token k is the word, in any case.
bool IsSqlWordAt(const QList<SqlToken>& tokens, qsizetype k, QStringView word)
{
    return k >= 0 && k < tokens.size() && tokens[k].kind == SqlToken::Word
        && tokens[k].Text().compare(word, Qt::CaseInsensitive) == 0;
}

// A statement that changes data or the database: INSERT, UPDATE, CREATE and the like
// as the statement's first word, as what a WITH leads to, or as the body of one of its
// queries ("with d as (delete from t returning *) select ..."). Sent inside a select it
// would only fail on the server, and the session only reads anyway.
SqlFault WritingSqlStatement(const QList<SqlToken>& tokens)
{
    const auto writes = [](QStringView word) {
        return IsSqlWordAmong(word,
            {u"insert", u"update", u"delete", u"merge", u"upsert", u"replace", u"create", u"drop", u"alter",
                u"truncate", u"rename", u"grant", u"revoke", u"copy", u"load", u"import", u"comment", u"vacuum",
                u"reindex", u"cluster", u"refresh"});
    };
    const auto isWord = [&](qsizetype k, QStringView word) { return IsSqlWordAt(tokens, k, word); };
    const auto fault = [&](qsizetype k) {
        return SqlFault {
            tokens[k].start, QStringLiteral("“%1”语句会修改数据，而本程序只读取数据").arg(tokens[k].Text())};
    };
    if (tokens.isEmpty() || tokens.first().kind != SqlToken::Word)
        return {};
    if (writes(tokens.first().Text()))
        return fault(0);
    if (!isWord(0, u"with"))
        return {};
    int depth = 0;
    for (qsizetype k = 1; k < tokens.size(); ++k) {
        const SqlToken& token = tokens[k];
        if (token.kind == SqlToken::Mark && token.Text() == u"(") {
            // A query of the WITH: "name as (", "as materialized (", "as not materialized (".
            if (depth == 0 && (isWord(k - 1, u"as") || isWord(k - 1, u"materialized")) && k + 1 < tokens.size()
                && tokens[k + 1].kind == SqlToken::Word && writes(tokens[k + 1].Text()))
                return fault(k + 1);
            ++depth;
        } else if (token.kind == SqlToken::Mark && token.Text() == u")") {
            --depth;
        } else if (depth == 0 && token.kind == SqlToken::Word && !isWord(k + 1, u"as")
            && !(k + 1 < tokens.size() && tokens[k + 1].kind == SqlToken::Mark && tokens[k + 1].Text() == u"(")) {
            // What the WITH leads to, past its queries' names ("name as (", "name(a, b) as (").
            if (writes(token.Text()))
                return fault(k);
            if (IsSqlWordAmong(token.Text(), {u"select", u"values", u"table"}))
                return {};
        }
    }
    return {};
}

// A read that locks the rows it reads for as long as its transaction lasts, which a preview
// holds open between pages: FOR UPDATE, FOR NO KEY UPDATE, FOR SHARE, FOR KEY SHARE, LOCK IN
// SHARE MODE, wherever they stand (a subquery's too). Other clients' changes of those rows wait
// for it; PostgreSQL refuses them in a read-only transaction, MariaDB and MySQL take them.
SqlFault LockingSqlRead(const QList<SqlToken>& tokens)
{
    static const std::initializer_list<QStringView> phrases[] = {{u"for", u"update"}, {u"for", u"no", u"key", u"update"},
        {u"for", u"share"}, {u"for", u"key", u"share"}, {u"lock", u"in", u"share", u"mode"}};
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        for (const auto& phrase : phrases) {
            qsizetype w = 0;
            for (const QStringView word : phrase) {
                if (!IsSqlWordAt(tokens, k + w, word))
                    break;
                ++w;
            }
            if (w < qsizetype(phrase.size()))
                continue;
            QStringList words;
            for (const QStringView word : phrase)
                words << word.toString().toUpper();
            return {tokens[k].start, QStringLiteral("“%1”会锁住读到的行，让别的用户等待，而本程序只读取数据").arg(words.join(u' '))};
        }
    }
    return {};
}

bool IsSqlQueryStart(const SqlToken& token)
{
    if (token.kind == SqlToken::Mark)
        return token.Text() == u"(";
    return token.kind == SqlToken::Word && IsSqlWordAmong(token.Text(), {u"select", u"with", u"values", u"table"});
}

// The refusal as the user reads it: the line, a few characters around the place, what
// is refused, and whose reading refuses it.
QString PlacedSqlRefusal(const QString& sql, qsizetype at, const QString& what, const QString& reading)
{
    at = std::clamp<qsizetype>(at, 0, sql.size());
    const auto isBreak = [](QChar c) { return c == u'\n' || c == u'\r'; };
    qsizetype lineStart = at;
    while (lineStart > 0 && !isBreak(sql[lineStart - 1]))
        --lineStart;
    qsizetype lineEnd = at;
    while (lineEnd < sql.size() && !isBreak(sql[lineEnd]))
        ++lineEnd;
    qsizetype from = std::max(lineStart, at - 10);
    qsizetype to = std::min(lineEnd, at + 14);
    if (from > lineStart && sql[from].isLowSurrogate())
        --from;
    if (to < lineEnd && sql[to].isLowSurrogate())
        ++to;
    QString shown = sql.mid(from, to - from);
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    const bool cutBefore = !sql.mid(lineStart, from - lineStart).trimmed().isEmpty();
    const bool cutAfter = !sql.mid(to, lineEnd - to).trimmed().isEmpty();
    shown = (cutBefore ? QStringLiteral("…") : QString()) + shown.trimmed() + (cutAfter ? QStringLiteral("…") : QString());
    QString text = QStringLiteral("第 %1 行“%2”附近：%3").arg(sql.left(at).count(u'\n') + 1).arg(shown, what);
    if (!reading.isEmpty())
        text += QStringLiteral("（按 %1 的读法）").arg(reading);
    return text + u'。';
}

// The names of the readings, once each, in the order of the table: "A、B 和 C".
QString SqlReadingNames(unsigned readings)
{
    QStringList names;
    for (qsizetype r = 0; r < qsizetype(std::size(kSqlReadings)); ++r) {
        const QString name = SqlReadingName(kSqlReadings[r].family);
        if ((readings & (1u << r)) && !names.contains(name))
            names.append(name);
    }
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return names.join(u'、') + QStringLiteral(" 和 ") + last;
}

// Asked before connecting: refused only where each reading of the set refuses.
constexpr unsigned kWhereEveryReadingRefuses = 1u << 31;

// The statement judged by each reading of the set. Refused where one of them refuses
// (the server reads the text one of these ways), or with kWhereEveryReadingRefuses where
// each of them does (the connection will tell which one is the server's). The refusal is
// that of the first reading that refuses, naming each reading that refuses it alike.
SqlStatementVerdict JudgedSqlStatement(const QString& sql, unsigned readings)
{
    SqlStatementVerdict verdict;
    qsizetype lead = 0;
    while (lead < sql.size() && sql[lead].isSpace())
        ++lead;
    const QString text = SqlWithoutClosingSemicolons(sql);
    // A line ends at LF for some servers and at CR for others.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar::Category category = c.category();
        if ((category == QChar::Other_Control && c != u'\t' && c != u'\n' && c != u'\r')
            || category == QChar::Separator_Line || category == QChar::Separator_Paragraph
            || (c == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))) {
            verdict.refusal = PlacedSqlRefusal(sql, lead + i, QStringLiteral("不能含有控制字符或单独的回车符"), {});
            return verdict;
        }
    }
    // As the statement is sent: inside parentheses, after a line break.
    const QString sent = text + u'\n';
    bool query = true;
    SqlFault faults[std::size(kSqlReadings)];
    const bool postgresOnly = (readings & kEveryReading & ~((1u << kPgStandard) | (1u << kPgEscapes))) == 0;
    // Before connecting, a reading refuses only what its server would refuse once known: a
    // PostgreSQL server, known then, judges names by its own resolution, not their spelling.
    const bool namesCall = !postgresOnly && !(readings & kWhereEveryReadingRefuses);
    unsigned judged = 0;
    unsigned refusing = 0;
    for (qsizetype r = 0; r < qsizetype(std::size(kSqlReadings)); ++r) {
        if (!(readings & (1u << r)))
            continue;
        judged |= 1u << r;
        const SqlReading& reading = kSqlReadings[r];
        QList<SqlToken> tokens;
        SqlFault fault = ReadSql(sent, reading, tokens);
        if (!fault)
            fault = WritingSqlStatement(tokens);
        if (!fault)
            fault = LockingSqlRead(tokens);
        if (!fault)
            fault = RefusedSqlItems(SqlItems(tokens), reading, namesCall);
        if (fault) {
            faults[r] = fault;
            refusing |= 1u << r;
            continue;
        }
        query = query && !tokens.isEmpty() && IsSqlQueryStart(tokens.first());
    }
    const bool refused = (readings & kWhereEveryReadingRefuses) ? refusing != 0 && refusing == judged : refusing != 0;
    if (refused) {
        qsizetype first = 0;
        while (!(refusing & (1u << first)))
            ++first;
        unsigned alike = 0;
        for (qsizetype r = first; r < qsizetype(std::size(kSqlReadings)); ++r) {
            if ((refusing & (1u << r)) && faults[r].at == faults[first].at && faults[r].what == faults[first].what)
                alike |= 1u << r;
        }
        verdict.refusal = PlacedSqlRefusal(sql, lead + faults[first].at, faults[first].what, SqlReadingNames(alike));
        return verdict;
    }
    verdict.query = query && refusing == 0;
    // Literals without a backslash read alike in every dialect.
    static const QString name = QStringLiteral(R"([A-Za-z_][A-Za-z0-9_]*(?:\.[A-Za-z_][A-Za-z0-9_]*){0,2})");
    static const QString literal = QStringLiteral(R"((?:N?'(?:[^'\\\x00-\x1f]|'')*'|[-+]?\d+(?:\.\d+)?))");
    static const QString list = QStringLiteral(R"((?:%1(?:\s*,\s*%1)*)?)").arg(literal);
    static const QString call = QStringLiteral(R"(call\s+%1\s*(?:\(\s*%2\s*\))?)").arg(name, list);
    static const QString argument = QStringLiteral(R"((?:@[A-Za-z_][A-Za-z0-9_]*\s*=\s*)?%1)").arg(literal);
    static const QRegularExpression form(
        QStringLiteral(R"(^(?:%1|\{\s*%1\s*\}|exec(?:ute)?\s+%2(?:\s+%3(?:\s*,\s*%3)*)?)$)")
            .arg(call, name, argument),
        QRegularExpression::CaseInsensitiveOption);
    verdict.procedureCall = refusing == 0 && form.match(text).hasMatch();
    return verdict;
}

// Whether the text is longer than bound bytes of UTF-8, told by its length alone where that
// tells it (a UTF-16 unit is one to three bytes, a pair of them four).
bool IsSqlTextLongerThan(QStringView s, qsizetype bound)
{
    if (s.size() > bound)
        return true;
    if (s.size() * 3 <= bound)
        return false;
    qsizetype bytes = 0;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        bytes += u < 0x80 ? 1 : (u < 0x800 || c.isSurrogate()) ? 2 : 3;
    }
    return bytes > bound;
}

// The verdicts of the last statements judged: a print job asks for its statement's on
// every page, from the thread that prints.
struct SqlVerdictMemo
{
    struct Entry
    {
        QString sql;
        unsigned readings;
        SqlStatementVerdict verdict;
    };
    static constexpr qsizetype kSize = 64;
    // The texts it keeps alive, in characters, at most: a few statements of the largest size.
    static constexpr qsizetype kHeldChars = 4 * kMaxSqlStatementBytes;
    QMutex mutex;
    QList<Entry> entries;
    qsizetype heldChars = 0;
};

SqlVerdictMemo& VerdictMemo()
{
    static SqlVerdictMemo memo;
    return memo;
}

} // namespace

QString SqlLengthRefusal(const QString& sql)
{
    if (!IsSqlTextLongerThan(sql, kMaxSqlStatementBytes))
        return {};
    return QStringLiteral("这条语句长于 1 MB 的上限（按 UTF-8 编码计 %1 字节），本程序没有读取它，也不发送它。")
        .arg(kMaxSqlStatementBytes);
}

namespace {

// The verdict for a set of readings, remembered.
SqlStatementVerdict RememberedVerdict(const QString& sql, unsigned readings)
{
    SqlVerdictMemo& memo = VerdictMemo();
    {
        const QMutexLocker lock(&memo.mutex);
        for (qsizetype i = memo.entries.size() - 1; i >= 0; --i) {
            const QString& known = memo.entries[i].sql;
            // A job asks with the text the memo holds: no need to compare its characters.
            if (memo.entries[i].readings == readings && (known.isSharedWith(sql) || known == sql)) {
                // The statements in use stay; the least recently asked for go first.
                memo.entries.move(i, memo.entries.size() - 1);
                return memo.entries.last().verdict;
            }
        }
    }
    SqlStatementVerdict verdict = JudgedSqlStatement(sql, readings);
    const QMutexLocker lock(&memo.mutex);
    memo.entries.append({sql, readings, verdict});
    memo.heldChars += sql.size();
    while (memo.entries.size() > SqlVerdictMemo::kSize || memo.heldChars > SqlVerdictMemo::kHeldChars) {
        memo.heldChars -= memo.entries.first().sql.size();
        memo.entries.removeFirst();
    }
    return verdict;
}

} // namespace

QString SqlWithoutClosingSemicolons(const QString& sql)
{
    // One pass from the end: a label may close its statement with any number of them.
    qsizetype end = sql.size();
    while (end > 0 && (sql[end - 1] == u';' || sql[end - 1].isSpace()))
        --end;
    qsizetype begin = 0;
    while (begin < end && sql[begin].isSpace())
        ++begin;
    return sql.mid(begin, end - begin);
}

bool IsRefusedSqlFunction(const QString& name, int arguments)
{
    return IsRefusedSqlName(name) || (name.compare(u"ts_rewrite", Qt::CaseInsensitive) == 0 && arguments == 2);
}

SqlStatementVerdict JudgeSqlStatement(const QString& sql, const SqlServerKind& server)
{
    if (QString refusal = SqlLengthRefusal(sql); !refusal.isEmpty())
        return {.refusal = refusal};
    return RememberedVerdict(sql, SqlReadingsOf(server));
}

QString SqlRefusalOfEveryReading(const QString& sql, const SqlServerKind& server)
{
    if (QString refusal = SqlLengthRefusal(sql); !refusal.isEmpty())
        return refusal;
    const unsigned readings = SqlReadingsOf(server);
    // One reading: refused by it is refused by each, and the verdict is the one asked for later.
    const bool one = (readings & (readings - 1)) == 0;
    return RememberedVerdict(sql, one ? readings : readings | kWhereEveryReadingRefuses).refusal;
}

SqlStatementNames SqlNamesOf(const QString& sql, const SqlServerKind& server)
{
    SqlStatementNames found;
    // A statement is sent inside a few words of the program's (a select around it, an order, a
    // limit): room for them, not for a statement longer than the bound.
    if (IsSqlTextLongerThan(sql, kMaxSqlStatementBytes + 64 * 1024))
        return found;
    // What is listed, seen through views of the list's own texts (which stay where they are):
    // a name is copied once, however often the statement has it.
    QSet<QStringView> seen[2];
    const auto add = [&](QStringList& list, QStringView text) {
        QSet<QStringView>& listed = seen[&list == &found.names ? 0 : 1];
        if (!text.isEmpty() && !listed.contains(text)) {
            list.append(text.toString());
            listed.insert(list.last());
        }
    };
    // An unquoted word as PostgreSQL folds it (ASCII letters only), copied only where it changes.
    const auto addFolded = [&](QStringView word) {
        if (std::none_of(word.begin(), word.end(), [](QChar c) { return c >= u'A' && c <= u'Z'; }))
            return add(found.names, word);
        QString folded = word.toString();
        for (QChar& c : folded) {
            if (c >= u'A' && c <= u'Z')
                c = QChar(c.unicode() + (u'a' - u'A'));
        }
        add(found.names, folded);
    };
    const QString sent = sql + u'\n';
    const unsigned readings = SqlReadingsOf(server);
    for (qsizetype r = 0; r < qsizetype(std::size(kSqlReadings)); ++r) {
        const SqlReading& reading = kSqlReadings[r];
        QList<SqlToken> tokens;
        if (!(readings & (1u << r)) || ReadSql(sent, reading, tokens))
            continue;
        const bool folds = reading.family == SqlFamily::PostgreSQL;
        for (const SqlToken& token : tokens) {
            if (token.kind == SqlToken::Name) {
                const QChar close = token.quote == u'[' ? QChar(u']') : token.quote;
                const QString doubled(2, close);
                if (token.Text().contains(doubled))
                    add(found.names, token.Text().toString().replace(doubled, QString(close)));
                else
                    add(found.names, token.Text());
            } else if (token.kind == SqlToken::Word) {
                if (folds)
                    addFolded(token.Text());
                else
                    add(found.names, token.Text());
            }
        }
        const SqlItems items(tokens);
        for (qsizetype i = 0; i < items.size(); ++i) {
            const SqlItem item = items[i];
            if (item.kind == SqlToken::Word && folds)
                addFolded(item.text);
            else if (item.kind == SqlToken::Word || item.kind == SqlToken::Name)
                add(found.names, item.text);
        }
        // Adjacent marks make one run (one piece of the text): the server takes an operator's
        // name out of it.
        qsizetype runStart = -1;
        qsizetype runEnd = -1;
        for (const SqlToken& token : tokens) {
            const bool part
                = token.kind == SqlToken::Mark && QStringView(u"+-*/<>=~!@#%^&|`?").contains(token.Text()[0]);
            if (!part || token.start != runEnd) {
                if (runStart >= 0)
                    add(found.operators, QStringView(sent).mid(runStart, runEnd - runStart));
                runStart = part ? token.start : -1;
            }
            runEnd = part ? token.end : -1;
        }
        if (runStart >= 0)
            add(found.operators, QStringView(sent).mid(runStart, runEnd - runStart));
    }
    return found;
}
