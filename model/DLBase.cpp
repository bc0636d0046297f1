#include "model/DLBase.h"

#include "model/DSBase.h"
#include "model/DataSourceTypes.h"
#include "model/SourceApproval.h"
#include "platform/Numbers.h"
#include "platform/VXException.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"
#include "platform/db/SQLiteStage.h"
#include "platform/db/StageRecheck.h"

#include <QDebug>
#include <algorithm>
#include <climits>
#include <limits>

namespace {
CLoaderNotifier* g_pLoaderNotifier = nullptr;

const QString kReadFailure = QStringLiteral("无法从数据源读取记录，请检查表名、字段名和SQL语句。");

int ClampToInt(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}
} // namespace

QString FailureMessage(const QString& sentence, const QString& detail)
{
    return detail.isEmpty() ? sentence : sentence + QStringLiteral("\n详细信息：") + detail;
}

QString NoLoaderMessage()
{
    return FailureMessage(QStringLiteral("这种数据源不能读取记录，请改用自定义数据源的连接字符串。"),
                          QStringLiteral("not support data loader"));
}

std::unique_ptr<CDLBase> CDLBase::CreateLoader(int32_t type)
{
    const DataSourceTypeInfo* info = FindDataSourceType(type);
    if (!info || !info->makeLoader)
        throw CDataSourceException(NoLoaderMessage());
    return info->makeLoader();
}

void CDLBase::SetNotifier(CLoaderNotifier* notifier)
{
    g_pLoaderNotifier = notifier;
}

CDLBase::CDLBase() = default;
CDLBase::~CDLBase() = default;

void CDLBase::SetDataSource(const CDSBase* source)
{
    if (source != m_pDataSource)
        Close();
    m_pDataSource = source;
}

bool CDLBase::Close()
{
    EndWalk();
    DropStage();
    m_connection.reset();
    m_bStatementAllowed = false;
    return true;
}

void CDLBase::EndWalk()
{
    m_recheck.reset();
    m_cursor.reset();
    m_strCursorSql.clear();
}

void CDLBase::DropStage()
{
    m_stage.reset();
    m_strStageSql.clear();
    m_bStageComplete = false;
    m_shownPages.clear();
    m_shownColumns.clear();
    m_pins.reset();
}

bool CDLBase::Reconnect()
{
    std::shared_ptr<DbRowStage> stage = std::move(m_stage);
    const QString stageSql = m_strStageSql;
    const bool complete = m_bStageComplete;
    auto shownPages = std::move(m_shownPages);
    const QStringList shownColumns = m_shownColumns;
    std::shared_ptr<DbStagePins> pins = std::move(m_pins);
    Close();
    const bool open = OpenWithStatement();
    m_stage = std::move(stage);
    m_strStageSql = stageSql;
    m_bStageComplete = complete;
    m_shownPages = std::move(shownPages);
    m_shownColumns = shownColumns;
    m_pins = std::move(pins);
    return open;
}

namespace {
const QString kChangedMessage
    = QStringLiteral("数据源“%1”的记录在预览期间有了变化，预览将从现在的记录重新开始，请重新翻页。");
const QString kServerEndedMessage = QStringLiteral("服务器中断了数据源“%1”的记录读取，重新读取也没有成功。");

// The columns of a page that a preview shows and checks: the selected fields, which lead.
int ShownColumns(const CDSBase& source, const DbRows& rows)
{
    const int fields = static_cast<int>(source.m_selectedFields.size());
    return fields > 0 ? std::min(fields, rows.ColumnCount()) : rows.ColumnCount();
}
} // namespace

void CDLBase::OpenSeekingWalk(const QString& sql)
{
    m_cursor = m_connection->OpenSeekingCursor(sql);
    m_cursor->WatchWhileIdle();
    m_strCursorSql = sql;
}

bool CDLBase::SeekRows(const QString& sql, qint64 first, qint64 last, LoaderRow& rows)
{
    for (int reruns = 0;;) {
        if (!m_cursor)
            OpenSeekingWalk(sql);
        bool read = m_cursor->Seek(first - 1) && m_cursor->Fetch(last - first + 1, rows);
        if (read && !m_shownColumns.isEmpty()
            && rows.Columns().mid(0, ShownColumns(*m_pDataSource, rows)) != m_shownColumns) {
            rows.Clear();
            EndWalk();
            DropStage();
            return Fail(kChangedMessage.arg(DbSourceScope::Current()));
        }
        if (read) {
            const int columns = ShownColumns(*m_pDataSource, rows);
            m_shownColumns = rows.Columns().mid(0, columns);
            std::vector<quint64>& hashes = m_shownPages[first - 1];
            hashes.clear();
            for (int r = 0; r < rows.RowCount(); ++r)
                hashes.push_back(DbRowHash(rows, r, columns));
            if (hashes.empty())
                m_shownPages.erase(first - 1);
            return true;
        }
        rows.Clear();
        const QString error = m_cursor->LastError();
        const bool stopped = m_cursor->Stopped();
        EndWalk();
        if (stopped)
            return Fail(error);
        // Nothing shown yet, on a connection that still serves: the statement itself failed.
        if (m_shownPages.empty() && m_shownColumns.isEmpty() && !m_connection->Lost())
            return FailQuery(error);
        if (!RunAgain(reruns, error))
            return false;
        if (m_shownPages.empty())
            continue;
        // Rows that tie in the order may come in another order in the run again: read by
        // position, a page would show some of them a second time and leave others out. The walk
        // is kept from its start instead, each shown row where it was shown.
        std::map<qint64, quint64> pins;
        for (const auto& [start, hashes] : m_shownPages)
            for (size_t r = 0; r < hashes.size(); ++r)
                pins[start + static_cast<qint64>(r)] = hashes[r];
        m_pins = std::make_shared<DbStagePins>(m_stage, std::move(pins), m_shownColumns);
        m_shownPages.clear();
        return BrowseRows(sql, first, last, rows);
    }
}

bool CDLBase::RunAgain(int& reruns, const QString& error)
{
    // Once more on the same connection where it still serves, then on a new one. Counted for
    // the page being read only: every end is run again, however many pages ago the last was.
    ++reruns;
    if (reruns > 2)
        return Fail(FailureMessage(kServerEndedMessage.arg(DbSourceScope::Current()), error));
    if (reruns == 2 || m_connection->Lost()) {
        reruns = 2;
        return Reconnect();
    }
    return true;
}

bool CDLBase::BrowseRows(const QString& sql, qint64 first, qint64 last, LoaderRow& rows)
{
    const DbSourceScope scope(m_pDataSource->m_strName);
    if (!m_stage || sql != m_strStageSql) {
        DropStage();
        // What the pages show: the selected fields, which lead the statement's columns.
        m_stage = std::make_shared<DbRowStage>(static_cast<int>(m_pDataSource->m_selectedFields.size()));
        m_strStageSql = sql;
    }
    // Where the server moves past rows itself, a page is read where it lies and nothing is kept.
    if (m_stage->RowCount() == 0 && !m_bStageComplete && !m_pins) {
        if (!m_cursor || sql != m_strCursorSql) {
            EndWalk();
            OpenSeekingWalk(sql);
        }
        if (m_cursor->CanSeek())
            return SeekRows(sql, first, last, rows);
    }
    const qint64 pageRows = last - first + 1;
    int reruns = 0;
    // A walk run again shows nothing past the kept rows before all of them came again.
    while (!m_bStageComplete && (m_stage->RowCount() < last || (m_recheck && !m_recheck->Settled()))) {
        // The walk goes on where the kept rows end. One that is gone (the server ended it: a
        // statement left waiting past the server's limits, a restart, a killed session; or it was
        // given back while it idled) is run again, on a new connection when the old one no longer
        // serves, and passes over the kept rows checking that they are still the same rows
        // (DbStageRecheck): a statement run whole gives the same rows each time, ties in its order
        // perhaps in another order, unless the data changed meanwhile.
        const qint64 walked
            = m_recheck ? m_recheck->Position() : m_stage->RowCount() + (m_pins ? m_pins->Held() : 0);
        const bool fresh = !m_cursor || sql != m_strCursorSql || m_cursor->Position() != walked;
        const std::shared_ptr<DbStagePins> pins = m_pins;
        if (fresh) {
            EndWalk();
            // Where the server moves past rows itself (a walk that ran again after pages it
            // showed), its walk is asked who waits for it while it idles.
            m_cursor = m_connection->OpenSeekingCursor(sql);
            m_cursor->WatchWhileIdle();
            m_strCursorSql = sql;
            if (pins)
                pins->Restart();
            if (m_stage->RowCount() > 0)
                m_recheck = pins ? std::make_shared<DbStageRecheck>(
                                m_stage, [pins](const DbRows& block) { return pins->Take(block); })
                                 : std::make_shared<DbStageRecheck>(m_stage);
        }
        const qint64 kept = m_stage->RowCount();
        const qint64 at = m_cursor->Position();
        const bool checking = m_recheck && !m_recheck->Passed();
        // To the kept rows' end first. Past the page while kept rows are still to come, as much as
        // was walked so far each time, so that a change found only at the statement's end costs
        // a few steps, not one a page.
        // Shown rows pinned further on hold the run's rows until they come: then as much again.
        const qint64 toPage = pins && pins->Held() > 0 ? std::max(last - kept, at) : last - kept;
        const qint64 wanted = checking ? kept - at : kept < last ? toPage : std::max(pageRows, at);
        // Checked or kept in the step that reads the rows, all the way to the page in one step,
        // so that the window waits for the whole jump with its 取消.
        struct Taken
        {
            bool ok = true;
            qint64 rows = 0;
        };
        const auto taken = std::make_shared<Taken>();
        const std::shared_ptr<DbRowStage> stage = m_stage;
        const std::shared_ptr<DbStageRecheck> recheck = m_recheck;
        const bool read = m_cursor->FetchInto(wanted, pageRows, [stage, recheck, pins, taken](const DbRows& block) {
            taken->ok = recheck ? recheck->Take(block) : pins ? pins->Take(block) : stage->Append(block);
            if (taken->ok)
                taken->rows += block.RowCount();
            return taken->ok;
        });
        if (!read) {
            const QString error = m_cursor->LastError();
            const bool stopped = m_cursor->Stopped();
            const bool underway = !fresh || kept > 0 || pins;
            EndWalk();
            // Cancelled, or past a limit: the step may still be running with the kept rows.
            if (stopped) {
                DropStage();
                return Fail(error);
            }
            if (!underway && !m_connection->Lost())
                return FailQuery(error);
            if (!RunAgain(reruns, error))
                return false;
            continue;
        }
        const bool ended = taken->ok && taken->rows < wanted;
        if (ended && pins && !pins->Finish())
            taken->ok = false;
        // Never pages of two states: what was kept goes, and the next page starts afresh.
        if (taken->ok ? ended && m_recheck && !m_recheck->Settled()
                      : m_stage->Changed() || (m_recheck && m_recheck->Changed()) || (pins && pins->Changed())) {
            EndWalk();
            DropStage();
            return Fail(kChangedMessage.arg(DbSourceScope::Current()));
        }
        if (!taken->ok) {
            EndWalk();
            if (pins && !pins->LastError().isEmpty() && !m_stage->Full())
                return Fail(pins->LastError());
            if (m_stage->Full())
                return Fail(QStringLiteral("数据源“%1”预览过的记录超过了临时存储 %2 MB 的上限，无法预览后面的记录。")
                                .arg(DbSourceScope::Current())
                                .arg(GetDbLimits().tempBytes >> 20));
            return FailQuery(m_stage->LastError());
        }
        if (ended) {
            m_bStageComplete = true;
            EndWalk();
        }
    }
    if (!m_stage->Read(first - 1, pageRows, rows))
        return m_stage->Refused() ? Fail(m_stage->LastError()) : FailQuery(m_stage->LastError());
    return true;
}

bool CDLBase::WalkRows(const QString& sql, qint64 first, qint64 last, LoaderRow& rows)
{
    if (!m_cursor || sql != m_strCursorSql || m_cursor->Position() > first - 1) {
        EndWalk();
        m_cursor = m_connection->OpenCursor(sql);
        m_strCursorSql = sql;
    }
    if (!m_cursor->Skip(first - 1 - m_cursor->Position()) || !m_cursor->Fetch(last - first + 1, rows)) {
        const QString error = m_cursor->LastError();
        const bool stopped = m_cursor->Stopped();
        EndWalk();
        rows.Clear();
        return stopped ? Fail(error) : FailQuery(error);
    }
    return true;
}

bool CDLBase::IsOpen() const
{
    return m_connection && m_connection->IsOpen();
}

bool CDLBase::LoadRows(int, int, LoaderRow& rows)
{
    rows.Clear();
    return Fail(QStringLiteral("这种数据源不能读取记录。"));
}

bool CDLBase::LoadPage(int nPage, int nPageSize, LoaderRow& rows)
{
    return LoadPages(nPage, nPageSize, 1, rows);
}

bool CDLBase::LoadPages(int nPage, int nPageSize, int nPages, LoaderRow& rows)
{
    // 64-bit, so a large page number cannot wrap around into earlier records.
    const qint64 first = (static_cast<qint64>(nPage) - 1) * nPageSize + 1;
    const qint64 last = first + static_cast<qint64>(nPageSize) * nPages - 1;
    if (last < first) {
        rows.Clear();
        m_strLastError.clear();
        return true;
    }
    return LoadRows(ClampToInt(first), ClampToInt(last), rows);
}

int CDLBase::RangeRecordCount() const
{
    const qint64 from = std::max<qint64>(m_pDataSource->m_nFrom, 1);
    return ClampToInt(std::max<qint64>(0, m_pDataSource->m_nTo - from + 1));
}

bool CDLBase::MapRecords(int nFirst, int nLast, qint64& first, qint64& last) const
{
    first = std::max(nFirst, 1);
    last = nLast;
    if (m_pDataSource->m_nRangeMode == RangeFromTo) {
        const qint64 shift = std::max<qint64>(m_pDataSource->m_nFrom, 1) - 1;
        first += shift;
        last += shift;
        last = std::min<qint64>(last, m_pDataSource->m_nTo);
    }
    return first <= last;
}

CSqlStatements CDLBase::Statements() const
{
    return CSqlStatements(m_pDataSource->GetType(), m_connection.get());
}

bool CDLBase::PrepareLoad(int nFirst, int nLast, LoaderRow& rows, qint64& first, qint64& last)
{
    rows.Clear();
    if (!OpenWithStatement())
        return false;
    if (!MapRecords(nFirst, nLast, first, last))
        first = last + 1;
    m_strLastError.clear();
    return true;
}

bool CDLBase::AcceptStatement()
{
    if (!m_pDataSource)
        return true;
    const CSqlStatements statements = Statements();
    const QString refusal
        = IsOpen() ? statements.Refusal(*m_pDataSource) : statements.RefusalBeforeConnecting(*m_pDataSource);
    return refusal.isEmpty() || Fail(refusal);
}

bool CDLBase::OpenWithStatement()
{
    // Not open yet, the statement is judged as no server would take it, so that a statement
    // refused everywhere connects to nothing; once open, as the connection's server reads it.
    if (!IsOpen() && !AcceptStatement())
        return false;
    return OpenIfNeeded() && AcceptStatement() && AllowStatementOnLogin();
}

bool CDLBase::AllowStatementOnLogin()
{
    if (m_bStatementAllowed)
        return true;
    // Nothing of the statement has run: a refused one leaves no connection either.
    const QString refusal = ConnectedStatementRefusal(*m_pDataSource, *m_connection);
    if (!refusal.isEmpty()) {
        Close();
        return Fail(refusal);
    }
    m_bStatementAllowed = true;
    return true;
}

bool CDLBase::OpenIfNeeded()
{
    if (!m_pDataSource)
        return Fail(QStringLiteral("没有指定数据源。"));
    if (IsOpen())
        return true;
    if (!Open())
        return m_strLastError.isEmpty() ? Fail(QStringLiteral("无法打开数据源。")) : false;
    return true;
}

DbReach CDLBase::Reach() const
{
    DbReach reach;
    reach.kind = DbReach::LocalFile;
    return reach;
}

bool CDLBase::ApproveConnection()
{
    // A source from a label the user has not allowed connects to nothing, not even a socket.
    const QString refusal = m_pDataSource ? SourceApprovalRefusal(*m_pDataSource) : QString();
    return refusal.isEmpty() || Fail(refusal);
}

bool CDLBase::Fail(const QString& message)
{
    m_strLastError = message;
    m_bErrorShown = false;
    return false;
}

bool CDLBase::FailQuery(const QString& detail)
{
    return Fail(FailureMessage(kReadFailure, detail));
}

bool CDLBase::FailConnection(const DbConnection& connection, const QString& sentence)
{
    // Nothing the user should check: the connection's own message says what happened.
    if (connection.Refused() || connection.Stopped() || connection.Unreadable())
        return Fail(connection.LastError());
    return Fail(FailureMessage(sentence, connection.LastError()));
}

bool CDLBase::FailRead()
{
    return FailConnection(*m_connection, kReadFailure);
}

CDataSourceException CDLBase::LastErrorException(const QString& prefix) const
{
    return CDataSourceException(prefix + m_strLastError, m_bErrorShown);
}

void CDLBase::ThrowLastError() const
{
    throw LastErrorException();
}

void CDLBase::ShowLastError()
{
    if (m_bErrorShown)
        return;
    // Without a notifier it is only logged: the caller shows the error.
    if (!g_pLoaderNotifier) {
        qWarning().noquote() << m_strLastError;
        return;
    }
    g_pLoaderNotifier->ShowError(m_strLastError);
    m_bErrorShown = true;
}

int CDLBase::QueryRecordCount()
{
    return CountRecords([this] { return Statements().Count(*m_pDataSource); });
}

int CDLBase::CountRecords(const std::function<QString()>& statement)
{
    m_nLastCounted = -1;
    if (m_pDataSource && m_pDataSource->m_nRangeMode == RangeFromTo) {
        m_nLastCounted = m_pDataSource->m_nTo;
        return RangeRecordCount();
    }
    if (!OpenWithStatement())
        ThrowLastError();
    LoaderRow rows;
    EndWalk();
    DropStage();
    if (Statements().CountsByReading(*m_pDataSource)) {
        // A procedure call cannot be counted inside a select: its rows are passed over.
        const std::unique_ptr<DbCursor> cursor = m_connection->OpenCursor(statement());
        if (!cursor->Skip(std::numeric_limits<qint64>::max())) {
            // A step cancelled or stopped at its limit says so itself: nothing to check.
            if (cursor->Stopped())
                Fail(cursor->LastError());
            else
                Fail(FailureMessage(QStringLiteral("无法统计数据源的记录数，请检查表名、字段名和SQL语句。"),
                                    cursor->LastError()));
            ThrowLastError();
        }
        m_strLastError.clear();
        return ClampToInt(cursor->Position());
    }
    if (!m_connection->Query(statement(), rows, 0, 1)) {
        FailConnection(*m_connection, QStringLiteral("无法统计数据源的记录数，请检查表名、字段名和SQL语句。"));
        ThrowLastError();
    }
    m_strLastError.clear();
    const int count = rows.IsEmpty() ? 0 : LeadingInt(rows.Value(0, 0));
    m_nLastCounted = count;
    return count;
}

bool CDLBase::ReadRows(qint64 first, qint64 last, LoaderRow& rows)
{
    const CSqlStatements statements = Statements();
    const CDSBase& ds = *m_pDataSource;
    // Without a limit in the statement the rows before first are passed over.
    const bool paged = statements.PagesInStatement(ds);
    const bool ranged = ds.m_nRangeMode == RangeFromTo;
    // A range of records ends in the statement itself where the server takes a limit. Every read
    // of the job (print's walk, the preview's, a one-page job's one statement) then has the server
    // bound its sort at the range's last record, where it chooses alike among rows that tie there:
    // a limit on one read and none on another would have it choose other rows.
    const QString walked
        = ranged && paged ? statements.Rows(ds, 1, std::max<qint64>(ds.m_nTo, 0)) : statements.Rows(ds);
    // A walk of another statement is no walk of this job's.
    if (m_bSequential && m_cursor && walked != m_strCursorSql)
        EndWalk();
    // A job whose every record lies in the rows asked for (a small print job's one page) reads
    // them in one statement: no walk to begin and end. Only where that statement reads no more
    // than the job: the range's window, limited where the walk's statement ends, or the walk's
    // statement whose rows were all counted. A range's last record bounds nothing of a statement
    // without a limit, which a driver that holds a result whole (psqlODBC) would read to the
    // table's end: such a job walks.
    const qint64 firstRecord = ranged ? std::max(ds.m_nFrom, 1) : 1;
    const bool wholeJob
        = m_nLastCounted >= 0 && first == firstRecord && last >= m_nLastCounted && !m_cursor && (paged || !ranged);
    if (m_bSequential && !wholeJob)
        return WalkRows(walked, first, last, rows);
    // SQLite (a file, or the copy of a workbook or an Access file) orders a statement's rows
    // alike for every page; a server may not, once a page's limit has it choose among equal rows.
    if (m_bBrowsed && statements.Server().server != SqlServerKind::SQLite)
        return BrowseRows(walked, first, last, rows);
    const bool read = paged && !(wholeJob && !ranged)
        ? m_connection->Query(statements.Rows(ds, first, last - first + 1), rows)
        : m_connection->Query(walked, rows, first - 1, last - first + 1);
    return read || FailRead();
}

bool CDLBase::QueryRows(int nFirst, int nLast, LoaderRow& rows)
{
    qint64 first = 0;
    qint64 last = 0;
    if (!PrepareLoad(nFirst, nLast, rows, first, last))
        return false;
    if (first > last)
        return true;
    LoaderRow result;
    if (!ReadRows(first, last, result))
        return false;
    // One element per selected field, read by position.
    const QStringList& fields = m_pDataSource->m_selectedFields;
    if (result.ColumnCount() < fields.size())
        return FailQuery(QStringLiteral("语句给出 %1 列，少于所选的 %2 个字段。")
                        .arg(result.ColumnCount())
                        .arg(fields.size()));
    if (result.ColumnCount() == fields.size()) {
        rows = std::move(result);
    } else {
        rows.Reset(fields);
        for (int r = 0; r < result.RowCount(); ++r) {
            for (int c = 0; c < fields.size(); ++c) {
                if (result.IsNull(r, c))
                    rows.AppendNull();
                else
                    rows.AppendUtf8(result.Utf8(r, c));
            }
        }
    }
    m_strLastError.clear();
    return true;
}
