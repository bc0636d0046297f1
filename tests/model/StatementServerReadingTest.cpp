// The statement check against the servers' own scanners: generated statements that mix
// characters of every Unicode category into dollar-quote tags, names, literals and
// comments, around quotes, comments and ";", go to the real PostgreSQL (simple-query
// protocol, standard_conforming_strings on and off) and the real MariaDB (multi-statements
// on, sql_mode with and without ANSI_QUOTES, NO_BACKSLASH_ESCAPES and MSSQL). Wherever a server
// sees more than one statement the check refuses the text; where it runs one statement
// without an error the check takes it, but for the few forms it refuses by design.
#include "DbTestEnv.h"
#include "model/SqlStatementCheck.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <mysql.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

// What a server did with one text: the statements it ran or began (each gives a result),
// and whether every one of them ran without an error.
struct ServerReading
{
    int statements = 0;
    bool failed = false;
};

// A deterministic stream of choices (the same statements on every run and machine).
class StatementDice
{
public:
    explicit StatementDice(std::uint64_t seed)
        : m_state(seed)
    {
    }
    unsigned Below(unsigned n)
    {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return unsigned(m_state >> 33) % n;
    }

private:
    std::uint64_t m_state;
};

// Characters of each general category: letters (U+0663 among the digits), marks, blanks
// (U+00A0, U+3000), format characters, symbols, punctuation, private use, unassigned and
// an astral character; no surrogate alone.
const char32_t kCategoryChars[] = {
    U'A', U'z', U'Ä', U'ß', U'Ω', U'ǅ', U'ʰ', U'中', U'א', U'ㄱ', // letters
    U'\u0301', U'\u0903', U'\u20DD', // marks
    U'7', U'\u0663', U'\uFF10', U'\u216B', U'\u00B2', // digits and numbers
    U' ', U'\u00A0', U'\u3000', U'\u2003', U'\u202F', // blanks
    U'\u200B', U'\u200D', U'\uFEFF', U'\u202E', U'\u00AD', // format characters
    U'_', U'\u203F', U'-', U'\u2014', U'\uFF08', U'\uFF09', U'«', U'»', U'!', U'\uFF1B', U'、', // punctuation
    U'+', U'\u00D7', U'\u2211', U'$', U'€', U'\uFFE5', U'^', U'\u00B4', U'©', // symbols
    U'\uE000', U'\u0378', U'\U0001F600', // private use, unassigned, astral
};

// The lexical pieces whose reading differs between servers and settings.
const char* const kAmbiguousPieces[] = {"'", "\"", "`", "\\", "\\'", "''", "$", "$$", "$1", "E'", "e'", "B'", "X'",
    "N'", "U&'", "U&\"", "_utf8mb4'", "_binary'", "--", "-- ", "--\t", "#", "/*", "*/", "/*!", "/*M!", "\n", " ",
    "\n'", "-", "*", "/", "+", "@", "1", "0x", "b'0'", "x'0f'", "n", "'\\\\'", "[", "]", "(", ")"};

QString CategoryChars(StatementDice& dice, unsigned most)
{
    QString text;
    for (unsigned n = 1 + dice.Below(most); n > 0; --n) {
        const char32_t c = kCategoryChars[dice.Below(std::size(kCategoryChars))];
        text += QString::fromUcs4(&c, 1);
    }
    return text;
}

// A dollar-quote tag, or what only looks like one: "$", a name's first character (of any
// category outside ASCII), more of them, "$".
QString DollarTag(StatementDice& dice)
{
    const char* const starts[] = {"", "q", "_", "1", "a", "\xd9\xa3", "\xef\xbc\x90", "\xc2\xa0"};
    const QString start = QString::fromUtf8(starts[dice.Below(std::size(starts))]);
    return u'$' + start + CategoryChars(dice, 2) + u'$';
}

QString GeneratedPiece(StatementDice& dice)
{
    QString piece;
    for (unsigned n = 1 + dice.Below(3); n > 0; --n) {
        switch (dice.Below(4)) {
        case 0:
            piece += QString::fromUtf8(kAmbiguousPieces[dice.Below(std::size(kAmbiguousPieces))]);
            break;
        case 1:
            piece += DollarTag(dice);
            break;
        default:
            piece += CategoryChars(dice, 2);
            break;
        }
    }
    return piece;
}

// A name of characters of any category, unquoted or quoted.
QString GeneratedName(StatementDice& dice)
{
    const QString name = u'n' + CategoryChars(dice, 3);
    switch (dice.Below(4)) {
    case 0:
        return u'"' + name + u'"';
    case 1:
        return u'`' + name + u'`';
    default:
        return name;
    }
}

// What opens a literal, a name or a comment in some reading.
QString QuoteOpener(StatementDice& dice)
{
    const char* const openers[] = {"'", "\"", "`", "--", "/*", "#", "\\'"};
    return QString::fromUtf8(openers[dice.Below(std::size(openers))]);
}

// A piece that one reading takes as a whole literal and another as a quote it opens
// (or closes, the second time): a dollar quote whose tag, or what stands before it,
// holds characters of any category, or a literal continued on a later line after E''.
QString GeneratedHider(StatementDice& dice)
{
    const char* const before[] = {"", "", "1", "$1", "\xd9\xa3", "a", "1.5", "e"};
    const QString quote = QuoteOpener(dice);
    if (dice.Below(3) == 0) {
        const char* const between[] = {"\n", " -- x\n  ", "\n\n", " ", "\t\n"};
        const QString gap = QString::fromUtf8(between[dice.Below(std::size(between))]);
        return QStringLiteral("E'%1'%2'\\''").arg(CategoryChars(dice, 2), gap);
    }
    const QString lead = QString::fromUtf8(before[dice.Below(std::size(before))]);
    const QString tag = DollarTag(dice);
    return lead + tag + quote + tag;
}

// What a literal or a comment may hold: characters of any category, quotes, escapes,
// tags and ";".
QString LiteralInside(StatementDice& dice)
{
    const char* const pieces[] = {"'", "''", "\\", "\\'", "\\\\", "\"", "`", "$", "$$", "$\xd9\xa3$", ";", "; select 9 as z;",
        "--", "#", "/*", "*/", "\n", "\n'", "' '", "')"};
    QString inside;
    for (unsigned n = dice.Below(4); n > 0; --n) {
        if (dice.Below(2) == 0)
            inside += QString::fromUtf8(pieces[dice.Below(std::size(pieces))]);
        else
            inside += CategoryChars(dice, 3);
    }
    return inside;
}

// A constant in one of the forms some server reads as a literal, a name or a comment
// before a number.
QString GeneratedConstant(StatementDice& dice)
{
    const QString inside = LiteralInside(dice);
    switch (dice.Below(12)) {
    case 0:
        return u'\'' + inside + u'\'';
    case 1:
        return QStringLiteral("E'%1'").arg(inside);
    case 2: {
        const QString tag = DollarTag(dice);
        return tag + inside + tag;
    }
    case 3:
        return u'"' + inside + u'"';
    case 4:
        return QStringLiteral("N'%1'").arg(inside);
    case 5:
        return QStringLiteral("_utf8mb4'%1'").arg(inside);
    case 6:
        return QStringLiteral("U&'%1'").arg(inside);
    case 7:
        return QStringLiteral("/* %1 */ 1").arg(inside);
    case 8:
        return QStringLiteral("1 -- %1\n").arg(inside);
    case 9:
        return QStringLiteral("1 # %1\n").arg(inside);
    case 10:
        return QStringLiteral("'%1'\n'%2'").arg(inside, LiteralInside(dice));
    default:
        return QStringLiteral("E'a' -- x\n'%1'").arg(inside);
    }
}

// Harmless statements only: selects of constants. A piece P twice around ";" ("select P
// as a; select 2 as b; select P as c") is read by one server as one statement and by
// another as three, as its quotes and comments have it; so is a list of constants whose
// insides hold quotes, escapes and ";".
QString GeneratedStatement(StatementDice& dice)
{
    switch (dice.Below(6)) {
    case 0: { // a dollar quote with a tag of any characters, holding a quote
        const QString tag = DollarTag(dice);
        const QString inside = QString::fromUtf8(kAmbiguousPieces[dice.Below(std::size(kAmbiguousPieces))]);
        return QStringLiteral("select %1%2%1 as a; select 2 as b; select %1%2%1 as %3").arg(tag, inside, GeneratedName(dice));
    }
    case 1: { // one name or literal of any characters, alone
        const QString literal = CategoryChars(dice, 4);
        const QString forms[] = {QStringLiteral("select 1 as %1").arg(GeneratedName(dice)),
            QStringLiteral("select '%1' as %2").arg(literal, GeneratedName(dice)),
            QStringLiteral("select %1%2%1 as a").arg(DollarTag(dice), literal),
            QStringLiteral("select 1 as a -- %1\n, 2 as b").arg(literal),
            QStringLiteral("select 1 /* %1 /* %1 */ */ as a").arg(literal)};
        return forms[dice.Below(std::size(forms))];
    }
    case 2: {
        if (dice.Below(5) == 0) { // a quote in a name MariaDB's MSSQL mode reads
            const QString quote = QuoteOpener(dice);
            const QString name = u'[' + CategoryChars(dice, 2) + quote + u']';
            return QStringLiteral("select 1 as %1; select 2 as b; select 3 as %1").arg(name);
        }
        const QString piece = dice.Below(2) ? GeneratedPiece(dice) : GeneratedHider(dice);
        const QString second = dice.Below(3) == 0 ? GeneratedPiece(dice) : piece;
        return QStringLiteral("select %1 as a; select 2 as b; select %2 as c").arg(piece, second);
    }
    default: {
        QString text = QStringLiteral("select ");
        for (unsigned n = 1 + dice.Below(3), k = 0; k < n; ++k) {
            if (k > 0)
                text += dice.Below(2) ? QStringLiteral(", ") : QStringLiteral("; select ");
            const QString constant = GeneratedConstant(dice);
            text += constant + QStringLiteral(" as c%1").arg(k);
        }
        return text;
    }
    }
}

// The text as the check judges it and the program sends it: without closing ";" and
// blanks, a line break after it.
QByteArray SentText(const QString& sql)
{
    QString text = sql.trimmed();
    while (text.endsWith(u';'))
        text = text.chopped(1).trimmed();
    return (text + u'\n').toUtf8();
}

using PgConnection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

PgConnection ConnectPg(const DbServerSettings& s)
{
    const QByteArray host = s.host.toUtf8(), port = QByteArray::number(s.port), database = s.database.toUtf8(),
                     user = s.user.toUtf8(), password = s.password.toUtf8();
    const char* const keywords[] = {"host", "port", "dbname", "user", "password", "client_encoding", "options", nullptr};
    const char* const values[] = {host.constData(), port.constData(), database.constData(), user.constData(),
        password.constData(), "UTF8", "-c default_transaction_read_only=on -c escape_string_warning=off", nullptr};
    PgConnection conn(PQconnectdbParams(keywords, values, 0), &PQfinish);
    PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
    return conn;
}

bool RunPg(PGconn* conn, const char* sql)
{
    PGresult* result = PQexec(conn, sql);
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    return ok;
}

// The statements PostgreSQL runs from one simple query; one that fails ends the query, so
// a text it also cannot prepare as one statement counts as more than one.
ServerReading ReadOnPg(PGconn* conn, const QByteArray& text)
{
    ServerReading reading;
    if (!PQsendQuery(conn, text.constData()))
        return {0, true};
    while (PGresult* result = PQgetResult(conn)) {
        ++reading.statements;
        reading.failed = reading.failed || PQresultStatus(result) != PGRES_TUPLES_OK;
        PQclear(result);
    }
    if (reading.failed && reading.statements == 1) {
        PGresult* prepared = PQprepare(conn, "", text.constData(), 0, nullptr);
        const char* message = PQresultErrorField(prepared, PG_DIAG_MESSAGE_PRIMARY);
        if (message && QByteArray(message).contains("multiple commands"))
            reading.statements = 2;
        PQclear(prepared);
    }
    return reading;
}

using MyConnection = std::unique_ptr<MYSQL, decltype(&mysql_close)>;

MyConnection ConnectMy(const DbServerSettings& s)
{
    MyConnection conn(mysql_init(nullptr), &mysql_close);
    mysql_options(conn.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const QByteArray host = s.host.toUtf8(), user = s.user.toUtf8(), password = s.password.toUtf8(),
                     database = s.database.toUtf8();
    if (!mysql_real_connect(conn.get(), host.constData(), user.constData(), password.constData(), database.constData(),
            unsigned(s.port), nullptr, CLIENT_MULTI_STATEMENTS)
        || mysql_query(conn.get(), "set session transaction read only") != 0)
        conn.reset();
    return conn;
}

// The statements MariaDB runs from one text with multi-statements on: each gives a result
// or ends the text with its error.
ServerReading ReadOnMy(MYSQL* conn, const QByteArray& text)
{
    ServerReading reading {1, mysql_real_query(conn, text.constData(), static_cast<unsigned long>(text.size())) != 0};
    if (reading.failed)
        return reading;
    for (;;) {
        if (MYSQL_RES* result = mysql_store_result(conn))
            mysql_free_result(result);
        const int next = mysql_next_result(conn);
        if (next < 0)
            return reading;
        ++reading.statements;
        if (next > 0) {
            reading.failed = true;
            return reading;
        }
    }
}

// What one server setting made of the statements: texts the server split that the check
// took (each a fault), and texts the server ran as one harmless statement that the check
// refused, counted by what the refusal says.
struct SettingTally
{
    QString setting;
    int split = 0;
    int ranOne = 0;
    QStringList missed;
    QMap<QString, int> refusedReasons;
    QStringList refusedExamples;
    int refusedUndescribed = 0; // refused for none of the forms refused by design
};

void JudgeReading(SettingTally& tally, const QString& sql, const ServerReading& reading, const SqlServerKind& kind)
{
    const QString refusal = SqlStatementRefusal(sql, kind);
    if (reading.statements > 1) {
        ++tally.split;
        if (refusal.isEmpty())
            tally.missed.append(sql);
    } else if (reading.statements == 1 && !reading.failed) {
        ++tally.ranOne;
        if (!refusal.isEmpty()) {
            const qsizetype colon = refusal.indexOf(u'：');
            ++tally.refusedReasons[refusal.mid(colon + 1)];
            // U&'' texts, MySQL's /*! */ and control characters are refused wherever they stand.
            const bool described = refusal.contains(QStringLiteral("&'”")) || refusal.contains(QStringLiteral("&\"”"))
                || refusal.contains(QStringLiteral("/*!")) || refusal.contains(QStringLiteral("控制字符"));
            tally.refusedUndescribed += described ? 0 : 1;
            if (tally.refusedExamples.size() < 5)
                tally.refusedExamples.append(sql);
        }
    }
}

void ReportTallies(const std::vector<SettingTally>& tallies)
{
    for (const SettingTally& t : tallies) {
        int refused = 0;
        for (int n : t.refusedReasons)
            refused += n;
        std::printf("%s: %d texts split, %d ran as one statement, %d of them refused\n", qPrintable(t.setting), t.split,
            t.ranOne, refused);
        for (auto r = t.refusedReasons.begin(); r != t.refusedReasons.end(); ++r)
            std::printf("    %4d  %s\n", r.value(), qPrintable(r.key()));
        for (const QString& example : t.refusedExamples)
            std::printf("    e.g. %s\n", qPrintable(example.toUtf8().toPercentEncoding(" '\"$;*/-#\\()`_@&!.,")));
        EXPECT_TRUE(t.missed.isEmpty()) << t.setting.toStdString() << ": the server reads more than one statement in "
                                        << t.missed.join(QStringLiteral("\n  ")).toStdString();
        // Every way of splitting was met, and the single statements were taken but for a
        // few (the forms refused by design aside).
        EXPECT_GT(t.split, 100) << t.setting.toStdString();
        EXPECT_GT(t.ranOne, 100) << t.setting.toStdString();
        EXPECT_LE(t.refusedUndescribed * 100, t.ranOne) << t.setting.toStdString();
    }
}

constexpr int kGeneratedStatements = 2500;

std::vector<QString> GeneratedStatements()
{
    StatementDice dice(20240607);
    std::vector<QString> statements;
    statements.reserve(kGeneratedStatements);
    for (int i = 0; i < kGeneratedStatements; ++i)
        statements.push_back(GeneratedStatement(dice));
    // The attack that first showed the fault, and its control.
    statements.push_back(QStringLiteral("select $٣$'$٣$ as a; select 2 as b; select $٣$'$٣$ as c"));
    statements.push_back(QStringLiteral("select $q$'$q$ as a; select 2 as b; select $q$'$q$ as c"));
    return statements;
}

} // namespace

TEST(StatementServerReading, WherePostgreSQLSplitsATextTheCheckRefusesIt)
{
    VC_TEST_SERVER(server, "VC_PG");
    PgConnection conn = ConnectPg(server);
    ASSERT_EQ(PQstatus(conn.get()), CONNECTION_OK) << PQerrorMessage(conn.get());
    const std::vector<QString> statements = GeneratedStatements();
    std::vector<SettingTally> tallies;
    for (const bool standard : {true, false}) {
        ASSERT_TRUE(RunPg(conn.get(),
            standard ? "set standard_conforming_strings = on" : "set standard_conforming_strings = off"));
        SettingTally& tally = tallies.emplace_back();
        tally.setting = QStringLiteral("PostgreSQL, standard_conforming_strings %1").arg(standard ? "on" : "off");
        const SqlServerKind kind {SqlServerKind::PostgreSQL, standard, {}, {}};
        for (const QString& sql : statements)
            JudgeReading(tally, sql, ReadOnPg(conn.get(), SentText(sql)), kind);
    }
    ReportTallies(tallies);
}

TEST(StatementServerReading, WhereMariaDBSplitsATextTheCheckRefusesIt)
{
    VC_TEST_SERVER(server, "VC_MY");
    MyConnection conn = ConnectMy(server);
    ASSERT_TRUE(conn) << "no connection";
    const std::vector<QString> statements = GeneratedStatements();
    std::vector<SettingTally> tallies;
    // MSSQL brings ANSI_QUOTES and reads [name].
    for (const char* mode : {"", "ANSI_QUOTES", "NO_BACKSLASH_ESCAPES", "ANSI_QUOTES,NO_BACKSLASH_ESCAPES", "MSSQL",
             "MSSQL,NO_BACKSLASH_ESCAPES"}) {
        ASSERT_EQ(mysql_query(conn.get(), QByteArray("set session sql_mode = '").append(mode).append('\'')), 0)
            << mysql_error(conn.get());
        SettingTally& tally = tallies.emplace_back();
        tally.setting = QStringLiteral("MariaDB, sql_mode '%1'").arg(QLatin1String(mode));
        const QByteArray modes(mode);
        const SqlServerKind kind {SqlServerKind::MySQL, {}, modes.contains("ANSI_QUOTES") || modes.contains("MSSQL"),
            modes.contains("NO_BACKSLASH_ESCAPES")};
        for (const QString& sql : statements)
            JudgeReading(tally, sql, ReadOnMy(conn.get(), SentText(sql)), kind);
    }
    ReportTallies(tallies);
}
