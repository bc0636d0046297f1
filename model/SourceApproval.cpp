#include "model/SourceApproval.h"

#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/DataSourceTypes.h"
#include "model/SqlStatementCheck.h"
#include "model/SqlStatements.h"
#include "platform/db/DbReach.h"
#include "platform/db/DbWait.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QIODevice>
#include <QSettings>

#include <algorithm>

namespace {

CSourceApprover* g_pSourceApprover = nullptr;

const QString kApprovalGroup = QStringLiteral("ApprovedDataSources");
// How an approval came: the user's own typing in a data-source dialog, or the question.
const QString kTyped = QStringLiteral("typed");
const QString kAsked = QStringLiteral("asked");

// What the source's loader would send, or nothing for a type no loader reads.
DbReach ReachOf(const CDSBase& ds)
{
    try {
        const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds.GetType());
        loader->SetDataSource(&ds);
        return loader->Reach();
    } catch (const CDataSourceException&) {
        return {};
    }
}

QString TypeCaption(const CDSBase& ds)
{
    const DataSourceTypeInfo* info = FindDataSourceType(ds.GetType());
    if (info && info->typeName)
        return QString::fromUtf16(info->typeName);
    return ds.GetType() == DSCustom ? QStringLiteral("自定义数据源") : QString::number(ds.GetType());
}

QString ClientCaption(const DbReach& reach)
{
    if (reach.client == u"libpq")
        return QStringLiteral("PostgreSQL 客户端库（libpq）");
    if (reach.client == u"MariaDB")
        return QStringLiteral("MariaDB/MySQL 客户端库");
    return QStringLiteral("ODBC 驱动程序");
}

// The rows a question has, the names each client gives their values, and whether the row
// is shown when nothing names it (where the client then takes a default of its own).
struct MainRow
{
    const char16_t* caption;
    std::initializer_list<const char*> keys;
    bool always;
};
const MainRow kMainRows[] = {
    {u"服务器", {"host", "Server", "Servername", "Hostname", "Host", "Address"}, true},
    {u"服务器地址", {"hostaddr"}, false},
    {u"端口", {"port"}, true},
    {u"本机套接字", {"unix_socket"}, false},
    {u"数据库", {"dbname", "database", "DB", "DBQ", "service"}, true},
    {u"用户", {"user", "UID", "Username"}, true},
    {u"驱动程序", {"Driver"}, false},
    {u"数据源名（DSN）", {"DSN"}, false},
};

bool IsKeyOf(const QString& key, std::initializer_list<const char*> names)
{
    return std::any_of(
        names.begin(), names.end(), [&](const char* name) { return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; });
}

bool IsPassword(const QString& key)
{
    return IsKeyOf(key, {"password", "PWD"});
}

// Where nothing names a value, what the client takes instead.
QString Unnamed(const DbReach& reach, const char16_t* caption)
{
    const QString row = QString::fromUtf16(caption);
    if (reach.client == u"libpq") {
        if (row == u"服务器")
            return QStringLiteral("（未指定：本机，经 Unix 套接字连接）");
        if (row == u"数据库")
            return QStringLiteral("（未指定：与用户同名的数据库）");
    }
    if (reach.client == u"MariaDB") {
        if (row == u"服务器")
            return QStringLiteral("（未指定：本机，经套接字连接）");
        if (row == u"端口") {
            const bool socket = std::any_of(
                reach.sent.begin(), reach.sent.end(), [](const auto& sent) { return sent.first == u"unix_socket"; });
            return socket ? QStringLiteral("（未指定：经本机套接字连接，不用端口）") : QStringLiteral("（未指定：3306）");
        }
    }
    return QStringLiteral("（未指定）");
}

QList<QPair<QString, QString>> ReachRows(const DbReach& reach)
{
    QList<QPair<QString, QString>> rows;
    const bool odbc = reach.client == u"ODBC";
    QList<bool> sentShown(reach.sent.size(), false);
    QList<bool> defaultShown(reach.defaults.size(), false);
    for (const MainRow& main : kMainRows) {
        const QString caption = QString::fromUtf16(main.caption);
        bool named = false;
        for (qsizetype i = 0; i < reach.sent.size(); ++i) {
            const auto& [key, value] = reach.sent[i];
            if (!IsKeyOf(key, main.keys))
                continue;
            sentShown[i] = true;
            if (value.isEmpty())
                continue;
            rows.append({odbc ? QStringLiteral("%1（%2）").arg(caption, key) : caption, value});
            named = true;
        }
        for (const DbReach::Resolved& resolved : reach.resolved) {
            if (named || !IsKeyOf(resolved.key, main.keys))
                continue;
            rows.append({QStringLiteral("%1（%2）").arg(caption, resolved.how), resolved.value});
            named = true;
        }
        for (qsizetype i = 0; i < reach.defaults.size(); ++i) {
            const auto& [key, value] = reach.defaults[i];
            if (!IsKeyOf(key, main.keys))
                continue;
            defaultShown[i] = true;
            if (named || value.isEmpty())
                continue;
            rows.append({QStringLiteral("%1（%2，来自%3）").arg(caption, key, reach.defaultsFrom), value});
            named = true;
        }
        if (!named && main.always)
            rows.append({caption, Unnamed(reach, main.caption)});
    }
    QStringList others;
    for (qsizetype i = 0; i < reach.sent.size(); ++i) {
        if (!sentShown[i] && !IsPassword(reach.sent[i].first))
            others.append(reach.sent[i].first + u'=' + reach.sent[i].second);
    }
    if (!others.isEmpty())
        rows.append({QStringLiteral("其他连接设置"), others.join(QStringLiteral("; "))});
    QStringList registered;
    for (qsizetype i = 0; i < reach.defaults.size(); ++i) {
        if (!defaultShown[i])
            registered.append(reach.defaults[i].first + u'=' + reach.defaults[i].second);
    }
    if (!registered.isEmpty())
        rows.append({QStringLiteral("其他设置（来自%1）").arg(reach.defaultsFrom), registered.join(QStringLiteral("; "))});
    return rows;
}

const QString kProcedureCaution = QStringLiteral(
    "这条语句调用存储过程。在这种数据库上，本程序不能让存储过程只读取数据：它可以修改或删除数据库中的数据，"
    "也可以在服务器上写文件。");
const QString kSuperuserCaution = QStringLiteral(
    "您在这个数据库服务器上的登录是超级用户。超级用户可以解除本程序加在语句上的只读限制，"
    "所以这条语句可以修改或删除数据，也可以读取或写入服务器上的文件。");
const QString kRoutinePowers = QStringLiteral("无论在什么事务中调用，都可以修改数据、在服务器上写文件、运行程序或连接其他服务器");
const QString kUnknownRoutinesCaution = QStringLiteral(
    "在这种数据库上，本程序不一定能得知这条语句调用的函数或存储过程是否为数据库中定义的。"
    "数据库中定义的函数或存储过程可以以其所有者的权限运行，%1。")
                                            .arg(kRoutinePowers);

// What each role of file or program rights lets its members do.
QString RightsCaution(const QStringList& roles)
{
    QStringList can;
    for (const QString& role : roles) {
        if (role == u"pg_read_server_files")
            can << QStringLiteral("读取服务器上的文件");
        else if (role == u"pg_write_server_files")
            can << QStringLiteral("写入服务器上的文件");
        else if (role == u"pg_execute_server_program")
            can << QStringLiteral("在服务器上运行程序");
    }
    const QString what = can.join(QStringLiteral("、"));
    return QStringLiteral("您在这个数据库服务器上的登录属于角色 %1（直接或经由其他角色），有权%2。"
                          "本程序加在语句上的只读限制挡不住这样的权限，所以这条语句可以借数据库中的函数%2。")
        .arg(roles.join(QStringLiteral("、")), what);
}

// Where the server did not resolve the statement, why, and what the program cannot see then.
QString UnresolvedCaution(DbStatementFacts::Unresolved why)
{
    QString reason;
    switch (why) {
    case DbStatementFacts::Unresolved::Standby:
        reason = QStringLiteral("它是只读的备用服务器");
        break;
    case DbStatementFacts::Unresolved::ReadOnly:
        reason = QStringLiteral("您的登录或这个数据库的事务是只读的");
        break;
    case DbStatementFacts::Unresolved::NoTempRight:
        reason = QStringLiteral("您的登录在这个数据库中无权创建临时对象（TEMP）");
        break;
    case DbStatementFacts::Unresolved::EventTrigger:
        reason = QStringLiteral("数据库中有事件触发器，解析时创建的临时视图会运行它们");
        break;
    case DbStatementFacts::Unresolved::DomainCheck:
        reason = QStringLiteral("数据库中有域的检查约束或范围类型（直接或经由比较、GREATEST、LEAST）调用数据库中定义的函数或可能修改数据的函数，解析语句时就会运行它们");
        break;
    case DbStatementFacts::Unresolved::None:
    case DbStatementFacts::Unresolved::Other:
        reason = QStringLiteral("服务器拒绝了为它创建的临时视图，语句本身也可能有错误");
        break;
    }
    return QStringLiteral("这个数据库服务器没能先解析这条语句而不运行它（%1）。本程序只能按语句的文字判断它调用哪些函数："
                          "以其他写法调用的函数（例如“(参数).函数名”、类型转换的函数、视图或以文字指定的表调用的函数）可能没有被发现。"
                          "数据库中定义的函数可以以其所有者的权限运行，%2。")
        .arg(reason, kRoutinePowers);
}

// The cautions of what the server told once connected.
QStringList ConnectedCautions(const DbStatementFacts& facts, bool ownStatement)
{
    QStringList cautions;
    if (facts.unresolved != DbStatementFacts::Unresolved::None)
        cautions << UnresolvedCaution(facts.unresolved);
    if (ownStatement && facts.superuser)
        cautions << kSuperuserCaution;
    else if (ownStatement && !facts.loginRights.isEmpty())
        cautions << RightsCaution(facts.loginRights);
    if (!facts.routines.isEmpty())
        cautions << QStringLiteral("这条语句调用数据库中定义的函数或存储过程（直接调用，或经由视图、类型转换、运算符等）：%1。"
                                   "它们可以以其所有者的权限运行，%2，本程序不能让它们只读取数据。")
                        .arg(facts.routines.join(QStringLiteral("、")), kRoutinePowers);
    if (!facts.unreadViews.isEmpty())
        cautions << QStringLiteral("这条语句读取的视图 %1 的定义，您的登录无权查看，本程序无法得知它们调用哪些函数。"
                                   "数据库中定义的函数可以以其所有者的权限运行，%2。")
                        .arg(facts.unreadViews.join(QStringLiteral("、")), kRoutinePowers);
    if (!facts.unseenRelations.isEmpty())
        cautions << QStringLiteral("这条语句经由视图读取 %1，您的登录在数据库中看不到它们，本程序无法得知它们是数据表还是视图，"
                                   "也无法得知它们调用哪些函数。数据库中定义的函数可以以其所有者的权限运行，%2。")
                        .arg(facts.unseenRelations.join(QStringLiteral("、")), kRoutinePowers);
    return cautions;
}

QByteArray KeyBytes(const CDSBase& ds, const DbReach& reach, const SourceQuestion& question)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << QStringLiteral("vellumcraft data source 2") << static_cast<qint32>(ds.GetType()) << reach.client;
    for (const auto& [key, value] : reach.sent)
        out << key << value;
    out << QStringLiteral("defaults");
    for (const auto& [key, value] : reach.defaults)
        out << key << value;
    // Only where there is any, so that the keys of sources without stay as they were.
    if (!reach.resolved.isEmpty())
        out << QStringLiteral("resolved");
    for (const DbReach::Resolved& resolved : reach.resolved)
        out << resolved.key << resolved.value;
    out << static_cast<qint32>(ds.m_nRangeMode) << question.statement;
    if (ds.m_nRangeMode == RangeFromTo)
        out << static_cast<qint32>(ds.m_nFrom) << static_cast<qint32>(ds.m_nTo);
    out << question.cautions;
    return bytes;
}

void Remember(const QString& key, const QString& how)
{
    QSettings settings;
    settings.beginGroup(kApprovalGroup);
    settings.setValue(key, how);
}

QString ApprovedHow(const QString& key)
{
    QSettings settings;
    settings.beginGroup(kApprovalGroup);
    return settings.value(key).toString();
}

QString NoWindowRefusal(const CDSBase& ds)
{
    return QStringLiteral("数据源“%1”要用您的登录连接数据库，但还没有得到您的允许，没有连接。"
                          "请在程序中打开这个标签，选择“打印预览”、“打印”或“数据库设置...”，在询问是否允许时选择“允许”。")
        .arg(SourceApprovalName(ds));
}

// Asks, and the refusal when the user does not allow it.
QString Ask(const CDSBase& ds, const SourceQuestion& question)
{
    if (!g_pSourceApprover)
        return NoWindowRefusal(ds);
    if (g_pSourceApprover->Ask(question))
        return {};
    if (question.connected && question.parsed)
        return QStringLiteral("您没有允许数据源“%1”运行它的语句：程序已连接数据库并读取了服务器的目录，"
                              "服务器解析了这条语句以得知它调用哪些函数，但没有运行它的任何部分，没有读取它的记录。")
            .arg(SourceApprovalName(ds));
    if (question.connected)
        return QStringLiteral("您没有允许数据源“%1”发送它的语句：程序已连接数据库并读取了服务器的目录，"
                              "但没有发送这条语句，没有读取它的记录。")
            .arg(SourceApprovalName(ds));
    return QStringLiteral("您没有允许数据源“%1”连接数据库，没有读取它的记录。").arg(SourceApprovalName(ds));
}

// The question about a source that reaches what reach says.
SourceQuestion QuestionFor(const CDSBase& ds, const DbReach& reach, const DbStatementFacts& connected)
{
    SourceQuestion question;
    question.name = SourceApprovalName(ds);
    question.rows = {{QStringLiteral("类型"), TypeCaption(ds)}, {QStringLiteral("连接方式"), ClientCaption(reach)}};
    question.rows += ReachRows(reach);
    SqlServerKind server;
    server.server = reach.server;
    const CSqlStatements statements(ds.GetType());
    if (ds.m_nRangeMode == RangeSQL) {
        question.statementCaption = QStringLiteral("SQL语句");
        question.statement = ds.m_strSQL;
        // A PostgreSQL server holds a procedure to its read-only transaction; the others can
        // let it commit.
        if (reach.server != SqlServerKind::PostgreSQL && IsSqlProcedureCall(ds.m_strSQL, server))
            question.cautions.append(kProcedureCaution);
        // Said before connecting where the route cannot tell the server, and kept once connected,
        // so that a connection that tells nothing new asks nothing again.
        if (reach.server == SqlServerKind::Unknown || connected.routinesUnknown)
            question.cautions.append(kUnknownRoutinesCaution);
    } else {
        question.statementCaption = QStringLiteral("读取数据的语句（由数据表、字段和排序生成）");
        question.statement = statements.Rows(ds);
        if (ds.m_nRangeMode == RangeFromTo)
            question.rows.append({QStringLiteral("记录范围"), QStringLiteral("第 %1 到 %2 条").arg(ds.m_nFrom).arg(ds.m_nTo)});
    }
    question.cautions += ConnectedCautions(connected, ds.m_nRangeMode == RangeSQL);
    question.key = QString::fromLatin1(
        QCryptographicHash::hash(KeyBytes(ds, reach, question), QCryptographicHash::Sha256).toHex());
    return question;
}

// The first of the server's functions the facts name (DbStatementFacts::builtins) that no
// statement may call; empty where none is.
QString RefusedBuiltin(const DbStatementFacts& facts)
{
    for (const QString& builtin : facts.builtins) {
        const qsizetype slash = builtin.lastIndexOf(u'/');
        const QString name = builtin.left(slash);
        if (IsRefusedSqlFunction(name, slash < 0 ? -1 : builtin.mid(slash + 1).toInt()))
            return name;
    }
    return {};
}

// A call of a refused function of the server's: resolved, however the statement wrote it; where
// the server could not resolve the statement, a name in it (or in a view it reads) that the
// catalog shows to be one, which PostgreSQL calls written x.f.
QString RefusedBuiltinRefusal(const CDSBase& ds, const DbStatementFacts& facts)
{
    const QString name = RefusedBuiltin(facts);
    if (name.isEmpty())
        return {};
    if (facts.resolved)
        return QStringLiteral(
            "数据源“%1”的SQL语句经服务器解析，调用服务器的函数 %2（无论写成哪种形式）。"
            "这个函数可以越出本程序加在语句上的只读限制、读写服务器上的文件，或把一段文字当作语句运行，"
            "本程序不发送这条语句。")
            .arg(SourceApprovalName(ds), name);
    return QStringLiteral("数据源“%1”的SQL语句不能使用“%2”：服务器没能先解析这条语句，而按服务器的目录，"
                          "语句中的名称（或它读取的视图）指向服务器的函数 %2，写成“x.%2”也是调用它。"
                          "这个函数可以越出本程序加在语句上的只读限制、读写服务器上的文件，或把一段文字当作语句运行，"
                          "本程序不发送这条语句。")
        .arg(SourceApprovalName(ds), name);
}

// The server's words about the view it refused, without the lines that quote the program's view
// around the statement and point into it ("LINE 1: create temp view ...", a caret under it): they
// show the program's wrapper, and their place counts in it, not in the user's statement.
QString RefusedViewWords(const QString& error)
{
    QStringList kept;
    const QStringList lines = error.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.startsWith(QStringLiteral("LINE ")) || line.contains(QStringLiteral("vellumcraft_resolved"))) {
            if (i + 1 < lines.size() && lines[i + 1].trimmed() == u"^")
                ++i;
            continue;
        }
        kept << line;
    }
    return kept.join(u'\n').trimmed();
}

// A statement the server resolved into a call of a refused function of its own, however it was
// written, or into a read of a relation nobody can tell, or one the server refused to resolve
// for a reason that is not the login's or the database's (the statement itself can make the
// view fail, where running it would not): refused outright, asked about never.
QString ResolvedRefusal(const CDSBase& ds, const DbStatementFacts& facts)
{
    if (const QString refusal = RefusedBuiltinRefusal(ds, facts); !refusal.isEmpty())
        return refusal;
    if (facts.unresolved == DbStatementFacts::Unresolved::Other)
        return QStringLiteral("数据源“%1”的语句没有运行：服务器拒绝了为解析它而创建的临时视图，不经服务器解析，"
                              "本程序无法得知它调用哪些函数。请检查表名、字段名和SQL语句。\n详细信息：%2")
            .arg(SourceApprovalName(ds), RefusedViewWords(facts.unresolvedError));
    if (!facts.variableRelations.isEmpty())
        return QStringLiteral("数据源“%1”的SQL语句经服务器解析，调用服务器的函数 pg_catalog.%2，而它读取的表或视图不是以常量指定的，"
                              "本程序无法得知它会读取什么、调用什么，不发送这条语句。")
            .arg(SourceApprovalName(ds), facts.variableRelations.first());
    return {};
}

} // namespace

bool SourceNeedsApproval(const CDSBase& ds)
{
    return ReachOf(ds).kind == DbReach::Server;
}

SourceQuestion SourceQuestionOf(const CDSBase& ds, const DbStatementFacts& connected)
{
    return QuestionFor(ds, ReachOf(ds), connected);
}

QString SourceApprovalKey(const CDSBase& ds)
{
    return SourceQuestionOf(ds).key;
}

bool IsSourceKeyApproved(const QString& key)
{
    return !ApprovedHow(key).isEmpty();
}

bool IsSourceApproved(const CDSBase& ds)
{
    return IsSourceKeyApproved(SourceApprovalKey(ds));
}

void ApproveSource(const CDSBase& ds)
{
    const DbReach reach = ReachOf(ds);
    if (reach.kind == DbReach::Server)
        Remember(QuestionFor(ds, reach, {}).key, kTyped);
}

void ApproveQuestion(const SourceQuestion& question)
{
    Remember(question.key, kAsked);
}

void ApproveCopy(const CDSBase& copy, const CDSBase& source)
{
    const QString how = ApprovedHow(SourceApprovalKey(source));
    const DbReach reach = ReachOf(copy);
    if (!how.isEmpty() && reach.kind == DbReach::Server)
        Remember(QuestionFor(copy, reach, {}).key, how);
}

QString SourceApprovalName(const CDSBase& ds)
{
    return ds.m_strName.isEmpty() ? DbSourceScope::Current() : ds.m_strName;
}

CSourceApprover* InstallSourceApprover(CSourceApprover* approver)
{
    CSourceApprover* previous = g_pSourceApprover;
    g_pSourceApprover = approver;
    return previous;
}

QString SourceApprovalRefusal(const CDSBase& ds)
{
    const DbReach reach = ReachOf(ds);
    if (reach.kind != DbReach::Server)
        return {};
    const SourceQuestion question = QuestionFor(ds, reach, {});
    return IsSourceKeyApproved(question.key) ? QString() : Ask(ds, question);
}

QString ConnectedStatementRefusal(const CDSBase& ds, DbConnection& connection)
{
    const DbReach reach = ReachOf(ds);
    if (reach.kind != DbReach::Server)
        return {};
    const bool typed = ApprovedHow(QuestionFor(ds, reach, {}).key) == kTyped;
    // The statement as it is sent, read as the connection's server reads it.
    const QString sent = CSqlStatements(ds.GetType(), &connection).Rows(ds);
    const SqlStatementNames names = SqlNamesOf(sent, connection.ServerKind());
    // A statement the user typed is not asked about; on PostgreSQL, where it holds a name of a
    // refused function (a column's, or x.f), the server still tells whether it calls one, as the
    // words no longer refuse the name (SqlStatementCheck.h).
    if (typed
        && (connection.ServerKind().server != SqlServerKind::PostgreSQL
            || std::none_of(names.names.begin(), names.names.end(),
                [](const QString& name) { return IsRefusedSqlFunction(name, 1); })))
        return {};
    DbStatementFacts facts;
    if (!ReadStatementFacts(connection, sent, names.names, names.operators, RefusedSqlNamePatterns(), facts))
        return connection.LastError();
    if (typed)
        return RefusedBuiltinRefusal(ds, facts);
    if (const QString refusal = ResolvedRefusal(ds, facts); !refusal.isEmpty())
        return refusal;
    SourceQuestion question = QuestionFor(ds, reach, facts);
    question.connected = true;
    question.parsed = facts.statementSent;
    return IsSourceKeyApproved(question.key) ? QString() : Ask(ds, question);
}
