#include "model/SqlStatementCheck.h"

#include <QList>
#include <QRegularExpression>
#include <QSet>

namespace {

enum class SqlBrackets { None, Plain, Doubled };

// How one dialect splits a text into literals, quoted names and comments.
struct SqlReading
{
    bool backticks = false; // `name`
    SqlBrackets brackets = SqlBrackets::None; // [name], "]]" inside or not
    bool dollarQuotes = false; // $tag$ ... $tag$
    bool nestedComments = false;
    bool hashComments = false; // # to the end of the line
    bool dashNeedsBlank = false; // "--" starts a comment only before a blank
    bool backslashInSingle = false;
    bool backslashInDouble = false;
    bool backslashAfterE = false; // E'...'
    bool executableComments = false; // /*! ... */ runs
};

// SQLite (and the staged workbooks), the standard as Oracle and DB2 read it,
// PostgreSQL with standard_conforming_strings on and off, MySQL/MariaDB with
// backslash escapes, with ANSI_QUOTES and with NO_BACKSLASH_ESCAPES, and T-SQL.
const SqlReading kSqlReadings[] = {
    {.backticks = true, .brackets = SqlBrackets::Plain},
    {},
    {.dollarQuotes = true, .nestedComments = true, .backslashAfterE = true},
    {.dollarQuotes = true, .nestedComments = true, .backslashInSingle = true, .backslashAfterE = true},
    {.backticks = true, .hashComments = true, .dashNeedsBlank = true, .backslashInSingle = true,
        .backslashInDouble = true, .executableComments = true},
    {.backticks = true, .hashComments = true, .dashNeedsBlank = true, .backslashInSingle = true,
        .executableComments = true},
    {.backticks = true, .hashComments = true, .dashNeedsBlank = true, .executableComments = true},
    {.brackets = SqlBrackets::Doubled, .nestedComments = true},
};

struct SqlToken
{
    enum Kind { Word, Name, Literal, Mark } kind;
    QString text;
    qsizetype end; // just after the token in the text
    QChar quote = {}; // of a name or literal
};

bool IsSqlWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() >= 0x80;
}

QString RefusedSqlText(const QString& what)
{
    return QStringLiteral("不能使用“%1”。").arg(what);
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

// Splits the text as the reading does: its words, quoted names, literals and marks in
// order, comments left out; or why the text is refused under it.
QString ReadSql(QStringView s, const SqlReading& r, QList<SqlToken>& tokens)
{
    const auto at = [&](qsizetype k) { return k < s.size() ? s[k] : QChar(); };
    const QString unterminated = QStringLiteral("引号、括号或注释没有结束。");
    int depth = 0;
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
                return RefusedSqlText(QStringLiteral("/*!"));
            int level = 0;
            do {
                if (i + 1 >= s.size())
                    return unterminated;
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
        const QString prefix = prefixed ? tokens.last().text.toLower() : QString();
        QChar close;
        bool doubling = true;
        bool backslash = false;
        SqlToken::Kind kind = SqlToken::Name;
        if (c == u'\'') {
            if (prefix == u"q" || prefix == u"nq")
                return RefusedSqlText(QStringLiteral("q'"));
            close = c;
            kind = SqlToken::Literal;
            backslash = r.backslashInSingle || (r.backslashAfterE && prefix == u"e");
        } else if (c == u'"') {
            if (i >= 2 && s[i - 1] == u'&' && s[i - 2].toLower() == u'u' && (i < 3 || !IsSqlWordChar(s[i - 3])))
                return RefusedSqlText(QStringLiteral("U&\""));
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
                return unterminated;
            if (kind == SqlToken::Literal && prefixed)
                tokens.removeLast(); // N'..', E'..', X'..': the letter is part of the literal
            tokens.append({kind, s.mid(i + 1, end - i - 2).toString(), end, c});
            i = end;
            continue;
        }
        if (c == u'$' && r.dollarQuotes && !prefixed && !at(i + 1).isDigit()) {
            qsizetype k = i + 1;
            while (k < s.size() && s[k] != u'$' && IsSqlWordChar(s[k]))
                ++k;
            if (at(k) == u'$') {
                const QStringView tag = s.mid(i, k - i + 1);
                const qsizetype close = s.indexOf(tag, k + 1);
                if (close < 0)
                    return unterminated;
                tokens.append({SqlToken::Literal, s.mid(k + 1, close - k - 1).toString(), close + tag.size()});
                i = close + tag.size();
                continue;
            }
        }
        if (IsSqlWordChar(c)) {
            qsizetype k = i;
            while (k < s.size() && IsSqlWordChar(s[k]))
                ++k;
            tokens.append({SqlToken::Word, s.mid(i, k - i).toString(), k});
            i = k;
            continue;
        }
        if (c == u'(')
            ++depth;
        else if (c == u')' && --depth < 0)
            return QStringLiteral("右括号多于左括号。");
        else if (c == u';')
            return QStringLiteral("分号之后不能再有语句。");
        if (!c.isSpace())
            tokens.append({SqlToken::Mark, QString(c), i + 1});
        ++i;
    }
    return depth == 0 ? QString() : unterminated;
}

// The functions that reach outside a read-only transaction or run a text as a statement
// of its own on the servers we reach, so that neither a transaction that only reads nor
// a rollback holds them: PostgreSQL's large-object files, dblink and adminpack, and the
// functions that run a query given as text (lo_export writes its file even inside
// BEGIN READ ONLY, and query_to_xml runs its text in the same transaction); MySQL's
// "into outfile/dumpfile"; SQL Server's extended procedures, dynamic SQL, server
// options, OLE automation and the functions that open other sources or files.
bool IsRefusedSqlName(const QString& name)
{
    static const QSet<QString> names = {QStringLiteral("lo_export"), QStringLiteral("lo_import"),
        QStringLiteral("pg_file_write"), QStringLiteral("pg_file_rename"), QStringLiteral("pg_file_unlink"),
        QStringLiteral("pg_file_sync"), QStringLiteral("query_to_xml"), QStringLiteral("query_to_xmlschema"),
        QStringLiteral("query_to_xml_and_xmlschema"), QStringLiteral("cursor_to_xml"),
        QStringLiteral("cursor_to_xmlschema"), QStringLiteral("ts_stat"), QStringLiteral("outfile"),
        QStringLiteral("dumpfile"), QStringLiteral("sp_executesql"), QStringLiteral("sp_configure"),
        QStringLiteral("sp_addextendedproc"), QStringLiteral("openrowset"), QStringLiteral("opendatasource"),
        QStringLiteral("openquery"), QStringLiteral("bulk"), QStringLiteral("dblink")};
    const QString lower = name.toLower();
    return names.contains(lower) || lower.startsWith(u"dblink_") || lower.startsWith(u"xp_")
        || lower.startsWith(u"sp_oa");
}

// What the tokens of one reading name or run that is refused.
QString RefusedSqlToken(const QList<SqlToken>& tokens)
{
    for (qsizetype t = 0; t < tokens.size(); ++t) {
        const SqlToken& token = tokens[t];
        if (token.kind != SqlToken::Word && token.kind != SqlToken::Name)
            continue;
        // Each part of a qualified name, and each run of plain letters: a server may
        // read a character we take for a letter as a blank.
        static const QRegularExpression separators(QStringLiteral("[^A-Za-z0-9_]+"));
        for (const QString& part : token.text.split(separators, Qt::SkipEmptyParts)) {
            if (IsRefusedSqlName(part))
                return RefusedSqlText(part);
        }
        // A procedure call names its procedure; a text or a variable after EXEC is
        // run as a statement of its own ("..." is a text to T-SQL without quoted names).
        const QString lower = token.text.toLower();
        const bool procedureNext = t + 1 < tokens.size()
            && (tokens[t + 1].kind == SqlToken::Word
                || (tokens[t + 1].kind == SqlToken::Name && tokens[t + 1].quote != u'"'));
        if (token.kind == SqlToken::Word && (lower == u"exec" || lower == u"execute") && t + 1 < tokens.size()
            && !procedureNext)
            return QStringLiteral("EXEC 之后只能是存储过程名。");
    }
    return {};
}

} // namespace

QString SqlStatementRefusal(const QString& sql)
{
    QString text = sql.trimmed();
    while (text.endsWith(u';'))
        text = text.chopped(1).trimmed();
    // A line ends at LF for some servers and at CR for others.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar::Category category = c.category();
        if ((category == QChar::Other_Control && c != u'\t' && c != u'\n' && c != u'\r')
            || category == QChar::Separator_Line || category == QChar::Separator_Paragraph
            || (c == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')))
            return QStringLiteral("不能含有控制字符或单独的回车符。");
    }
    // As the statement is sent: inside parentheses, after a line break.
    text += u'\n';
    for (const SqlReading& reading : kSqlReadings) {
        QList<SqlToken> tokens;
        QString refusal = ReadSql(text, reading, tokens);
        if (refusal.isEmpty())
            refusal = RefusedSqlToken(tokens);
        if (!refusal.isEmpty())
            return refusal;
    }
    return {};
}

bool IsSqlProcedureCall(const QString& sql)
{
    // Literals without a backslash read alike in every dialect.
    static const QString name = QStringLiteral(R"([A-Za-z_][A-Za-z0-9_]*(?:\.[A-Za-z_][A-Za-z0-9_]*){0,2})");
    static const QString literal = QStringLiteral(R"((?:N?'(?:[^'\\\x00-\x1f]|'')*'|[-+]?\d+(?:\.\d+)?))");
    static const QString list = QStringLiteral(R"((?:%1(?:\s*,\s*%1)*)?)").arg(literal);
    static const QString call = QStringLiteral(R"(call\s+%1\s*(?:\(\s*%2\s*\))?)").arg(name, list);
    static const QString argument = QStringLiteral(R"((?:@[A-Za-z_][A-Za-z0-9_]*\s*=\s*)?%1)").arg(literal);
    static const QRegularExpression form(
        QStringLiteral(R"(^(?:%1|\{\s*%1\s*\}|exec(?:ute)?\s+%2(?:\s+%3(?:\s*,\s*%3)*)?)(?:\s*;)*$)")
            .arg(call, name, argument),
        QRegularExpression::CaseInsensitiveOption);
    const QString text = sql.trimmed();
    return form.match(text).hasMatch() && SqlStatementRefusal(text).isEmpty();
}
