// What a small job costs on a server route, as a whole: the source approved once and then
// asked again by each job as a label's source is, the connect, the count and the first ten
// records of a statement of the user's, all through a relay that holds each message a few
// milliseconds each way as a distant server would. Prints the records read (the same on every
// build that reads them right), then the round trips each job took up to its rows and the
// wall milliseconds of each job (median, min, max). Built from the same source against
// another commit's libraries (OtherCommit.cmake), its figures compare the two; with --log it
// lists what each round trip of the last job sent and how long the server took to answer.
//
// vc_jobcost ROUTE [--delay MS] [--jobs N] [--print] [--table] [--pooled [POOL]] [--log] [--setup [--rows N]]
//           [--name TABLE]
//   ROUTE: pg (libpq), pgodbc (psqlODBC), my (MariaDB's client), myodbc (a MariaDB ODBC string)
//   --print runs the program's own print job instead: a label of ten texts bound to the source,
//   printed to a PDF, one page; the round trips are then those of the whole job.
//   --table binds the label to the table (records 1 to 10 by Id) instead of a statement.
//   --pooled goes through PgBouncer (VC_PGB_PORT) to the same database; POOL (transaction, statement)
//   names the pool of the scripts' PgBouncer that hands out server connections that way
//   (VC_PGB_<POOL>_DATABASE).
//   --name reads another table of the same columns than vc_jobcost: one made with --setup, or a
//   large one whose first ten records a one-page job reads.
//   --log writes what the client sent in each round trip of the last job to standard error.
//   --setup makes the table once (through psql and mariadb), with its eleven named records and, with
//   --rows, numbered ones after them up to N; the settings are those of scripts/dbservers.sh
//   (source its env file).
#include "LatencyProxy.h"

#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/SourceApproval.h"
#include "model/TextGraph.h"
#include "output/PrintHandler.h"
#include "output/PrintTarget.h"
#include "platform/Crypt.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRecords = 10;

struct Server
{
    QString host;
    int port = 0;
    QString database;
    QString user;
    QString password;
};

Server FromEnvironment(bool postgres)
{
    const char* prefix = postgres ? "VC_PG" : "VC_MY";
    const auto setting = [prefix](const char* key) { return qEnvironmentVariable(QByteArray(prefix).append(key)); };
    return {setting("_HOST"), setting("_PORT").toInt(), setting("_DATABASE"), setting("_USER"), setting("_PASSWORD")};
}

bool MakeTable(bool postgres, const Server& s, const QString& table, qint64 rowCount)
{
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    client.setProcessEnvironment(env);
    QString rows = QStringLiteral("insert into %1 values (1, 'Anna', 'A-001'), (2, 'Bo', 'B-002'), "
                                  "(3, 'Chen', 'C-003'), (4, '丁', 'D-004'), (5, 'Eva', 'E-005'), "
                                  "(6, 'Fu', 'F-006'), (7, 'Gil', 'G-007'), (8, 'Hu', 'H-008'), "
                                  "(9, 'Ida', 'I-009'), (10, 'Jo', 'J-010'), (11, 'Kim', 'K-011');")
                       .arg(table);
    if (rowCount > 11) {
        rows += postgres
            ? QStringLiteral(" insert into %1 select g, 'N' || g, 'R-' || g from generate_series(12, %2) g;")
            : QStringLiteral(" insert into %1 select seq, concat('N', seq), concat('R-', seq) from seq_12_to_%2;");
        rows = rows.arg(table).arg(rowCount);
    }
    const QString make = QStringLiteral("drop table if exists %1; "
                                        "create table %1 (Id int primary key, Name varchar(20), Code varchar(10)); ")
                             .arg(table)
        + rows;
    if (postgres) {
        client.start(QStringLiteral("psql"), {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", s.host, "-p",
                                                 QString::number(s.port), "-U", s.user, "-d", s.database, "-c", make});
    } else {
        client.start(QStringLiteral("mariadb"), {"--no-defaults", "-h", s.host, "-P", QString::number(s.port), "-u",
                                                    s.user, "--password=" + s.password, s.database, "-e", make});
    }
    return client.waitForFinished(60000) && client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
}

// Allows every question, as a user who answers 允许 does.
class Allowing final : public CSourceApprover
{
public:
    bool Ask(const SourceQuestion& question) override
    {
        ApproveQuestion(question);
        return true;
    }
};

std::unique_ptr<CDSBase> Describe(const QString& route, const Server& s, int port, bool table, const QString& name)
{
    std::unique_ptr<CDSBase> ds;
    if (route == u"pg" || route == u"my") {
        std::unique_ptr<CHostPortDS> server;
        if (route == u"pg")
            server = std::make_unique<CPostgreSQLDS>();
        else
            server = std::make_unique<CMySQLDS>();
        server->m_strHost = EncryptString(s.host);
        server->m_nPort = port;
        server->m_strDatabase = EncryptString(s.database);
        server->m_strUser = EncryptString(s.user);
        server->m_strPassword = EncryptString(s.password);
        ds = std::move(server);
    } else {
        auto custom = std::make_unique<CCustomDS>();
        const QString text = route == u"pgodbc"
            ? QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5;")
            : QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;DB=%3;User=%4;Password=%5;");
        custom->m_strConnectionString
            = EncryptString(text.arg(s.host).arg(port).arg(s.database, s.user, s.password));
        ds = std::move(custom);
    }
    ds->m_strName = QStringLiteral("jobcost");
    const bool folds = route.startsWith(u"pg");
    if (table) {
        ds->m_strTable = name;
        ds->m_strSortField = folds ? QStringLiteral("id") : QStringLiteral("Id");
        ds->m_nRangeMode = RangeFromTo;
        ds->m_nFrom = 1;
        ds->m_nTo = kRecords;
    } else {
        ds->m_nRangeMode = RangeSQL;
        ds->m_strSQL = QStringLiteral("select Id, Name, Code from %1 where Id <= 10 order by Id").arg(name);
    }
    ds->m_selectedFields = folds ? QStringList {"id", "name", "code"} : QStringList {"Id", "Name", "Code"};
    return ds;
}

struct Job
{
    bool ok = false;
    QString error;
    QStringList rows;
    int64_t trips = 0;
    double ms = 0;
};

Job RunJob(const CDSBase& ds, LatencyProxy& proxy)
{
    Job job;
    proxy.ResetRoundTrips();
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds.GetType());
    loader->SetDataSource(&ds);
    try {
        if (loader->GetRecordCount() != kRecords) {
            job.error = QStringLiteral("wrong count: ") + loader->GetLastError();
            return job;
        }
    } catch (const std::exception& e) {
        job.error = QString::fromUtf8(e.what());
        return job;
    }
    LoaderRow rows;
    if (!loader->LoadRows(1, kRecords, rows)) {
        job.error = loader->GetLastError();
        return job;
    }
    job.trips = proxy.RoundTrips();
    loader.reset();
    job.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (int r = 0; r < rows.RowCount(); ++r)
        job.rows.append(rows.Row(r).join(u'|'));
    job.ok = job.rows.size() == kRecords;
    if (!job.ok)
        job.error = QStringLiteral("wrong rows");
    return job;
}

// A label of two columns and five rows, each with a text of the record's name and code: the
// ten records fill its one page.
std::unique_ptr<CLabelData> PrintedLabel(const CDSBase& ds)
{
    auto label = std::make_unique<CLabelData>();
    label->m_nRows = 5;
    label->m_nColumns = 2;
    auto text = std::make_unique<CTextGraph>();
    text->m_fX = 3;
    text->m_fY = 3;
    text->m_fWidth = 60;
    text->m_fHeight = 8;
    for (int field = 1; field < ds.m_selectedFields.size(); ++field) {
        auto band = std::make_unique<CDataBand>();
        band->m_nKind = BandDatabase;
        band->m_strDataSource = ds.m_strName;
        band->m_strFieldName = ds.m_selectedFields[field];
        text->m_bands.push_back(std::move(band));
    }
    label->m_objects.push_back(std::move(text));
    label->m_dataSources.push_back(ds.Clone());
    return label;
}

// The print job a user starts, up to its closed PDF and its closed connections; the rows are
// those of its last page.
Job RunPrint(const CDSBase& ds, LatencyProxy& proxy, const QString& pdf)
{
    Job job;
    proxy.ResetRoundTrips();
    const auto start = std::chrono::steady_clock::now();
    try {
        const std::unique_ptr<CLabelData> label = PrintedLabel(ds);
        CPrintHandler print;
        print.SetMode(CPrintHandler::ModePrint);
        print.SetLabelData(label.get());
        print.Prepare();
        if (print.GetLabelCount() != kRecords || print.GetPageCount() != 1) {
            job.error = QStringLiteral("wrong count: %1 labels").arg(print.GetLabelCount());
            return job;
        }
        const std::unique_ptr<CPrinterTarget> target = CPrinterTarget::ForPdf(pdf);
        if (RunPrintJob(print, *target, {1, 1, 1, true}, nullptr, &job.error) != PrintResult::Success)
            return job;
        const LoaderRow& rows = print.GetDataLoads().front()->m_rows;
        for (int r = 0; r < rows.RowCount(); ++r)
            job.rows.append(rows.Row(r).join(u'|'));
    } catch (const VXException& e) {
        job.error = e.GetMessage();
        return job;
    }
    job.trips = proxy.RoundTrips();
    job.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    job.ok = job.rows.size() == kRecords && QFileInfo(pdf).size() > 0;
    if (!job.ok)
        job.error = QStringLiteral("wrong rows or no PDF");
    return job;
}

} // namespace

int main(int argc, char** argv)
{
    // Approvals are kept in the settings: a folder of this run's own.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qputenv("HOME", home.path().toUtf8());
    // Printing lays out text: a GUI application, without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vellumcraft"));
    QCoreApplication::setApplicationName(QStringLiteral("VellumcraftJobCost"));
    QStringList args = app.arguments().mid(1);
    const QString route = args.value(0);
    if (route != u"pg" && route != u"pgodbc" && route != u"my" && route != u"myodbc") {
        std::fprintf(stderr,
            "usage: vc_jobcost pg|pgodbc|my|myodbc [--delay MS] [--jobs N] [--print] [--table] "
            "[--pooled [POOL]] [--log] [--setup [--rows N]] [--name TABLE]\n");
        return 2;
    }
    const auto option = [&args](const char* name, int fallback) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at >= 0 ? args.value(at + 1).toInt() : fallback;
    };
    const int delayMs = option("--delay", 5);
    const int jobs = std::max(1, option("--jobs", 20));
    const bool postgres = route.startsWith(u"pg");
    const bool print = args.contains(QStringLiteral("--print"));
    const bool table = args.contains(QStringLiteral("--table"));
    const qsizetype pooledAt = args.indexOf(QStringLiteral("--pooled"));
    const bool pooled = pooledAt >= 0;
    const QString pool = pooled && !args.value(pooledAt + 1).startsWith(u'-') ? args.value(pooledAt + 1) : QString();
    const qsizetype nameAt = args.indexOf(QStringLiteral("--name"));
    const QString name = nameAt >= 0 ? args.value(nameAt + 1) : QStringLiteral("vc_jobcost");
    const bool log = args.contains(QStringLiteral("--log"));
    Server server = FromEnvironment(postgres);
    if (server.port == 0) {
        std::fprintf(stderr, "no server: run scripts/dbservers.sh start and source its env file\n");
        return 2;
    }
    if (args.contains(QStringLiteral("--setup")) && !MakeTable(postgres, server, name, option("--rows", 11))) {
        std::fprintf(stderr, "the table was not made\n");
        return 1;
    }
    const int target = pooled ? qEnvironmentVariableIntValue("VC_PGB_PORT") : server.port;
    if (target == 0 || (pooled && !postgres)) {
        std::fprintf(stderr, "no pooler: PgBouncer stands before PostgreSQL only\n");
        return 2;
    }
    // The pool's name in the pooler, for the same database.
    if (!pool.isEmpty())
        server.database
            = qEnvironmentVariable(QByteArray("VC_PGB_").append(pool.toUpper().toUtf8()).append("_DATABASE"));
    LatencyProxy proxy(server.host.toStdString(), target, delayMs);
    if (!proxy.Ok()) {
        std::fprintf(stderr, "no relay\n");
        return 1;
    }
    Allowing allowing;
    InstallSourceApprover(&allowing);
    const std::unique_ptr<CDSBase> ds = Describe(route, server, proxy.Port(), table, name);
    std::vector<double> ms;
    std::vector<int64_t> trips;
    QStringList first;
    for (int n = 0; n <= jobs; ++n) { // the first job answers the question and is not counted
        proxy.LogRoundTrips(log && n == jobs);
        const Job job = print ? RunPrint(*ds, proxy, home.filePath(QStringLiteral("job.pdf"))) : RunJob(*ds, proxy);
        if (!job.ok) {
            std::fprintf(stderr, "job failed: %s\n", qPrintable(job.error));
            return 1;
        }
        if (n == 0) {
            first = job.rows;
            continue;
        }
        if (job.rows != first) {
            std::fprintf(stderr, "jobs read different rows\n");
            return 1;
        }
        ms.push_back(job.ms);
        trips.push_back(job.trips);
    }
    InstallSourceApprover(nullptr);
    std::sort(ms.begin(), ms.end());
    std::sort(trips.begin(), trips.end());
    for (const QString& row : first)
        std::printf("%s\n", row.toUtf8().constData());
    std::printf("route %s%s%s%s, delay %d ms each way, %d jobs: round trips %s %lld (max %lld); "
                "ms median %.2f min %.2f max %.2f\n",
        qPrintable(route),
        pooled ? qPrintable(QStringLiteral(" through PgBouncer") + (pool.isEmpty() ? QString() : u' ' + pool)) : "",
        print ? ", print job" : "", table ? " of the table" : " of a statement", delayMs, jobs,
        print ? "of the job" : "to the rows", static_cast<long long>(trips[trips.size() / 2]),
        static_cast<long long>(trips.back()), ms[ms.size() / 2], ms.front(), ms.back());
    return 0;
}
