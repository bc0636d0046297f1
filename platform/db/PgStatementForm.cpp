#include "platform/db/PgStatementForm.h"

#include "platform/db/DbWait.h"

#include <initializer_list>

namespace {

// The server's blanks between tokens.
bool IsPgBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

// A character that goes on an identifier or keyword: any outside ASCII among them.
bool ContinuesPgWord(QChar c)
{
    return c.unicode() >= 0x80 || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
        || c == u'_' || c == u'$';
}

QStringView PastBlanks(QStringView sql)
{
    qsizetype at = 0;
    while (at < sql.size() && IsPgBlank(sql[at]))
        ++at;
    return sql.mid(at);
}

// True when text starts with the keyword word (ASCII, any case) as a whole word.
bool LeadsWithWord(QStringView text, QLatin1StringView word)
{
    return text.startsWith(word, Qt::CaseInsensitive) && (text.size() == word.size() || !ContinuesPgWord(text[word.size()]));
}

} // namespace

bool PgLeadsAsQuery(QStringView sql)
{
    const QStringView text = PastBlanks(sql);
    if (text.startsWith(u'('))
        return true;
    for (const char* word : {"select", "with", "values", "table"}) {
        if (LeadsWithWord(text, QLatin1StringView(word)))
            return true;
    }
    return false;
}

QStringView PgCalledPart(QStringView sql)
{
    const QStringView text = PastBlanks(sql);
    constexpr QLatin1StringView call("call");
    if (text.size() <= call.size() || !text.startsWith(call, Qt::CaseInsensitive) || !IsPgBlank(text[call.size()]))
        return {};
    return text.mid(call.size());
}

bool PgRefusesSeveralStatements(QStringView sqlState, QStringView message)
{
    return sqlState == u"42601" && message.contains(u"cannot insert multiple commands into a prepared statement");
}

QString PgSeveralStatementsMessage()
{
    return QStringLiteral("数据源“%1”的SQL语句被 PostgreSQL 服务器读作不止一条语句，没有执行。").arg(DbSourceScope::Current());
}
