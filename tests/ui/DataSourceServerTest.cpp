// The PostgreSQL and MySQL dialogs against the servers scripts/dbservers.sh starts.
#include "ClosedPort.h"
#include "DataSourceSupport.h"
#include "DbTestEnv.h"
#include "FakeServices.h"
#include "TestSupport.h"
#include "dialogs/datasource/DataSourceDlg.h"
#include "model/DSBase.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "platform/Crypt.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

struct ServerCase
{
    const char* name;
    const char* prefix; // of the settings in the environment
    int32_t type;
    const char* caption;
    QString table;
    int nullsFirstOrder; // the order radio that puts NULL notes first
    QString statement; // picks Name and Id of the first three rows
    bool portRequired = true;
};

const ServerCase kServers[] = {
    {"PostgreSQL", "VC_PG", DSPostgreSQL, "数据源_PostgreSQL", "People", 1187,
     R"(select "Name", "Id" from "People" where "Id" <= 3 order by "Id")"},
    {"MySQL", "VC_MY", DSMySQL, "数据源_MySQL", "People", 1186,
     "select Name, Id from People where Id <= 3 order by Id", false},
};

// Types the login into a server dialog's edits, the password given apart.
void FillServerLogin(QDialog& d, const DbServerSettings& s, const QString& password = {})
{
    TypeInto(&d, 1079, s.host);
    TypeInto(&d, 1083, QString::number(s.port));
    TypeInto(&d, 1081, s.database);
    TypeInto(&d, 1080, s.user);
    TypeInto(&d, 1183, password);
}

class ServerDialog : public ::testing::TestWithParam<ServerCase>
{
protected:
    void FillLogin(QDialog& d, const DbServerSettings& s, const QString& password) { FillServerLogin(d, s, password); }

    FakeServices services;
};

} // namespace

TEST_P(ServerDialog, MissingInputsWrongPasswordAndReconnect)
{
    const ServerCase& c = GetParam();
    VC_TEST_SERVER(server, c.prefix);
    auto ds = RunNew(services, c.type, [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QString::fromUtf8(c.caption));
        EXPECT_EQ(ctl<QLineEdit>(&d, 1183)->echoMode(), QLineEdit::Password);
        FillLogin(d, server, server.password);
        TypeInto(&d, 1083, "");
        ClickCtl(&d, 1082); // the PostgreSQL port is required, the password is not
        TypeInto(&d, 1083, QString::number(server.port));
        TypeInto(&d, 1183, server.password + "x");
        ClickCtl(&d, 1082);
        EXPECT_TRUE(ListTexts(&d, 1090).isEmpty());
        ClickCtl(&d, 1192);

        TypeInto(&d, 1183, server.password); // blanks and quotes pass as they are
        ClickCtl(&d, 1082);
        EXPECT_TRUE(ListTexts(&d, 1090).contains(c.table));
        // A failed reconnect leaves no connection behind.
        TypeInto(&d, 1183, "wrong");
        ClickCtl(&d, 1082);
        EXPECT_TRUE(ListTexts(&d, 1090).isEmpty());
        ClickCtl(&d, 1192);
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(ds, nullptr);
    // A refusal says what to check, with the server's own words as the detail.
    const QString refused = QStringLiteral("无法连接数据库，请检查服务器地址、端口、数据库名、用户名和密码。\n详细信息：");
    const QStringList texts = services.MessageTexts();
    ASSERT_EQ(texts.size(), 5);
    // Without a port MariaDB's client goes to 3306, where the test server is not.
    if (c.portRequired)
        EXPECT_EQ(texts[0], "请指定数据库连接信息");
    else
        EXPECT_TRUE(texts[0].startsWith(refused)) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].startsWith(refused) && texts[1].size() > refused.size()) << texts[1].toStdString();
    EXPECT_TRUE(texts[3].startsWith(refused)) << texts[3].toStdString();
    EXPECT_EQ(texts[2], "未连接数据库");
    EXPECT_EQ(texts[4], "未连接数据库");
    EXPECT_EQ(services.messages[0].icon, c.portRequired ? MessageIcon::Information : MessageIcon::Stop);
    EXPECT_EQ(services.messages[1].icon, MessageIcon::Stop);
    EXPECT_EQ(services.messages[2].icon, MessageIcon::Stop);
}

TEST_P(ServerDialog, PreviewWithNullsSqlModeAndTheStoredLoginRoundTrip)
{
    const ServerCase& c = GetParam();
    VC_TEST_SERVER(server, c.prefix);
    auto ds = RunNew(services, c.type, [&](QDialog& d) {
        FillLogin(d, server, server.password);
        ClickCtl(&d, 1082);
        SelectRow(&d, 1090, c.table);
        EXPECT_EQ(ListTexts(&d, 1089), (QStringList{"Id", "Name", "City", "Note"}));
        CheckItem(&d, 1089, "Id");
        CheckItem(&d, 1089, "Note");
        ChooseItem(&d, 1284, "Note");
        ClickCtl(&d, c.nullsFirstOrder);
        ClickCtl(&d, 1192);
        QList<QStringList> rows = ReportRows(&d, 1179);
        ASSERT_EQ(rows.size(), 11); // header, nine of 100 rows, "..."
        EXPECT_EQ(rows[0], (QStringList{"序号", "Id", "Note"}));
        EXPECT_EQ(rows[1][2], "");  // NULL: an empty cell in its own column
        EXPECT_EQ(rows[1][1].toInt() % 10, 0);
        EXPECT_EQ(rows[10], (QStringList{"...", "", ""}));

        ClickCtl(&d, 1189);
        TypeInto(&d, 1188, c.statement);
        ClickCtl(&d, 1192);
        EXPECT_EQ(ReportRows(&d, 1179), (QList<QStringList>{{"序号", "Name", "Id"},
                                                           {"1", "name1", "1"},
                                                           {"2", "name2", "2"},
                                                           {"3", "name3", "3"},
                                                           {"...", "", ""}}));
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_TRUE(services.MessageTexts().isEmpty());
    EXPECT_EQ(ds->GetType(), c.type);
    EXPECT_EQ(ds->m_strTable, c.table);
    EXPECT_EQ(ds->m_nRangeMode, RangeSQL);
    EXPECT_EQ(ds->m_strSQL, c.statement);
    EXPECT_EQ(ds->m_selectedFields, (QStringList{"Name", "Id"}));
    EXPECT_EQ(ds->m_sampleValues, (QStringList{"name1", "1"}));
    EXPECT_EQ(ds->m_strSortField, "Note");

    // The login is held enciphered only, and comes back through a label file.
    const auto& login = static_cast<const CHostPortDS&>(*ds);
    for (const auto& [cipher, plain] : {std::pair{login.m_strHost, server.host}, {login.m_strDatabase, server.database},
                                        {login.m_strUser, server.user}, {login.m_strPassword, server.password}}) {
        EXPECT_NE(cipher, plain);
        EXPECT_FALSE(cipher.contains(plain));
        EXPECT_EQ(DecryptString(cipher), plain);
    }
    EXPECT_EQ(login.m_nPort, server.port);
    CLabelData label;
    label.m_dataSources.push_back(ds->Clone());
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    CLabelData read;
    CDocReaderV1_0 reader;
    reader.m_pLabelData = &read;
    reader.ReadDocumentData(writer.DocumentBytes());
    ASSERT_EQ(read.m_dataSources.size(), 1u);
    const auto& back = static_cast<const CHostPortDS&>(*read.m_dataSources[0]);
    EXPECT_EQ(back.m_strPassword, login.m_strPassword);
    EXPECT_EQ(back.m_strHost, login.m_strHost);

    services.OnNextDialog([&](QDialog& d) {
        EXPECT_EQ(ctl<QLineEdit>(&d, 1079)->text(), server.host);
        EXPECT_EQ(ctl<QLineEdit>(&d, 1083)->text(), QString::number(server.port));
        EXPECT_EQ(ctl<QLineEdit>(&d, 1183)->text(), server.password);
        EXPECT_EQ(ctl<QListWidget>(&d, 1090)->currentItem()->text(), c.table);
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1189)->isChecked());
        EXPECT_EQ(ctl<QPlainTextEdit>(&d, 1188)->toPlainText(), c.statement);
        ClickCtl(&d, 1192);
        EXPECT_EQ(ReportRows(&d, 1179).size(), 5);
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(RunEditDataSourceDlg(back, nullptr), nullptr);
    EXPECT_TRUE(services.MessageTexts().isEmpty());
}

TEST_P(ServerDialog, OkWithoutReadAsksForItAndKeepsWhatWasTyped)
{
    const ServerCase& c = GetParam();
    VC_TEST_SERVER(server, c.prefix);
    auto ds = RunNew(services, c.type, [&](QDialog& d) {
        ClickCtl(&d, 1);
        EXPECT_TRUE(d.isVisible());
        FillLogin(d, server, server.password);
        ClickCtl(&d, 1082);
        SelectRow(&d, 1090, c.table);
        CheckItem(&d, 1089, "Id");
        ClickCtl(&d, 1);
        EXPECT_TRUE(d.isVisible());
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(services.MessageTexts(), (QStringList{"请读入数据以生成字段信息", "请读入数据以生成字段信息"}));
    EXPECT_EQ(ds->m_strTable, c.table);
    EXPECT_EQ(ds->m_selectedFields, QStringList{"Id"});
    EXPECT_EQ(DecryptString(static_cast<const CHostPortDS&>(*ds).m_strHost), server.host);
    EXPECT_EQ(static_cast<const CHostPortDS&>(*ds).m_nPort, server.port);
}

// PostgreSQL keeps the case of a quoted name: "People" and people are two tables, and
// an edited description opens on its own one.
TEST(PostgreSQLDialog, EditingPicksTheTableOfTheExactName)
{
    VC_TEST_SERVER(server, "VC_PG");
    CPostgreSQLDS stored;
    StoreLogin(stored, server);
    stored.m_strTable = "people";
    stored.m_selectedFields = {"name"};
    FakeServices services;
    auto edited = RunEdit(services, stored, [&](QDialog& d) {
        EXPECT_EQ(ctl<QListWidget>(&d, 1090)->currentItem()->text(), "people");
        EXPECT_EQ(CheckedTexts(&d, 1089), QStringList{"name"});
        ClickCtl(&d, 1192);
        EXPECT_EQ(ReportRows(&d, 1179)[1], (QStringList{"1", "lower"}));
        ClickCtl(&d, 1);
    });
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->m_strTable, "people");
    EXPECT_EQ(edited->m_sampleValues, QStringList{"lower"});
    EXPECT_TRUE(services.MessageTexts().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerDialog, ::testing::ValuesIn(kServers),
                         [](const auto& info) { return std::string(info.param.name); });

// The MySQL dialog connecting to "localhost" and the port it always gives, where the local
// server listens only on its socket: the refusal says the socket is there and to clear the port,
// the client's words after; once the port is cleared the dialog reaches the socket.
TEST(ServerDialogSocket, ARefusedLocalPortBesideTheSocketSaysToClearThePort)
{
    FakeServices services;
    const ShortConnects limits; // the socket listens but never answers
    const LocalServerSocket local;
    const unsigned short closed = ClosedLoopbackPort();
    auto ds = RunNew(services, DSMySQL, [&](QDialog& d) {
        FillServerLogin(d, {QStringLiteral("localhost"), closed, QStringLiteral("db"), QStringLiteral("u"), {}});
        ClickCtl(&d, 1082);
        EXPECT_FALSE(local.Knocked(0));
        TypeInto(&d, 1083, QString());
        ClickCtl(&d, 1082);
        EXPECT_TRUE(local.Knocked());
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(ds, nullptr);
    const QStringList texts = services.MessageTexts();
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_TRUE(texts[0].startsWith(
        QStringLiteral("无法连接MySQL数据库：本机的服务器没有在端口 %1 上接受 TCP 连接，而它的本机套接字 %2 存在。"
                       "请清空端口，程序就会经本机套接字连接。\n详细信息：Can't connect to server on 'localhost'")
            .arg(closed)
            .arg(local.Path())))
        << texts[0].toStdString();
}
