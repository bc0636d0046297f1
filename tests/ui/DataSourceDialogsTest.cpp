#include "DataSourceSupport.h"
#include "FakeServices.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "dialogs/datasource/DataSourceDBDlg.h"
#include "dialogs/datasource/DataSourceTXTDlg.h"
#include "dialogs/datasource/DataSourceTypesDlg.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/TextLoader.h"
#include "platform/InputLimits.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The rows the text loader reads for a description, at most ten.
QList<QStringList> LoaderRows(const CTextDS& ds)
{
    CTextDL loader;
    loader.SetDataSource(&ds);
    LoaderRow rows;
    EXPECT_TRUE(loader.LoadRows(1, 10, rows)) << loader.GetLastError().toStdString();
    QList<QStringList> out;
    for (int r = 0; r < rows.RowCount(); ++r)
        out.append(rows.Row(r));
    return out;
}

// The data cells of a preview: rows without the header, the number column and the
// end row.
QList<QStringList> PreviewData(const QWidget* dialog)
{
    QList<QStringList> rows = ReportRows(dialog, 1179);
    QList<QStringList> data;
    for (qsizetype i = 1; i + 1 < rows.size(); ++i)
        data.append(rows[i].mid(1));
    return data;
}

} // namespace

TEST(DataSourceTypesDlg, EachRadioStandsForItsTypeCode)
{
    const std::pair<int, int32_t> choices[] = {
        {1143, DSText},  {1144, DSExcel},  {1145, DSAccess}, {1148, DSSQLite}, {1147, DSPostgreSQL},
        {1146, DSMySQL}, {1154, DSSQLServer}, {1149, DSOracle}, {1150, DSDB2}, {1152, DSSybase},
        {1153, DSOLEDB}, {1151, DSODBC},   {1155, DSCustom},
    };
    FakeServices services;
    for (const auto& [id, type] : choices) {
        CDataSourceTypesDlg wizard;
        services.OnNextDialog([&, id = id](QDialog& d) {
            EXPECT_TRUE(ctl<QRadioButton>(&d, 1143)->isChecked()); // the text file first
            EXPECT_FALSE(ctl<QPushButton>(&d, 1167)->isEnabled());
            ClickCtl(&d, id);
            ClickCtl(&d, 1168);
        });
        EXPECT_EQ(Services().RunModal(wizard), QDialog::Accepted) << id;
        EXPECT_EQ(wizard.m_nType, type) << id;
    }
    CDataSourceTypesDlg wizard;
    services.OnNextDialog([](QDialog& d) {
        ClickCtl(&d, 1146);
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(Services().RunModal(wizard), QDialog::Rejected);
    EXPECT_EQ(wizard.m_nType, DSText);
    EXPECT_EQ(wizard.windowTitle(), "数据源创建向导");
    EXPECT_EQ(ctl<QRadioButton>(&wizard, 1143)->text(), "文本文件 (*.txt, *.csv)");
}

TEST(DataSourceDlg, TypesWithoutDialogOpenNothing)
{
    FakeServices services;
    for (int32_t type : {int32_t(DSOLEDB), int32_t(DSODBC), int32_t(99)}) {
        EXPECT_EQ(CreateDataSourceDlg(type), nullptr);
        EXPECT_EQ(RunNewDataSourceDlg(type, nullptr), nullptr);
    }
    COLEDBDS oledb;
    EXPECT_EQ(RunEditDataSourceDlg(oledb, nullptr), nullptr);
    EXPECT_TRUE(services.dialogClasses.empty());
}

TEST(DataSourceTXTDlg, HeaderLineNamesTheFieldsAndThePreviewShowsTenLines)
{
    QTemporaryDir dir;
    QByteArray text = "名字,城市\r\n";
    for (int i = 1; i <= 12; ++i)
        text += "张" + QByteArray::number(i) + ",北京" + QByteArray::number(i) + "\r\n";
    const QString path = WriteFile(dir.path(), "people.csv", text);
    FakeServices services;
    services.files.push_back(path);
    auto ds = RunNew(services, DSText, [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "数据源_文本文件");
        EXPECT_EQ(ctl<QComboBox>(&d, 1172)->currentIndex(), 1);
        EXPECT_EQ(ctl<QComboBox>(&d, 1172)->itemText(1), "以逗号分割");
        EXPECT_FALSE(ctl<QLineEdit>(&d, 1177)->isEnabled());
        ClickCtl(&d, 1171);
        EXPECT_EQ(ctl<QLineEdit>(&d, 1170)->text(), path);
        ClickCtl(&d, 1004);
        ClickCtl(&d, 1192);
        const QList<QStringList> rows = ReportRows(&d, 1179);
        ASSERT_EQ(rows.size(), 12); // header, ten lines, "......"
        EXPECT_EQ(rows[0], (QStringList{"序号", "名字", "城市"}));
        EXPECT_EQ(rows[1], (QStringList{"1", "张1", "北京1"}));
        EXPECT_EQ(rows[10], (QStringList{"10", "张10", "北京10"}));
        EXPECT_EQ(rows[11], (QStringList{"......", "", ""}));
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共 12 条记录");
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_TRUE(services.MessageTexts().isEmpty());
    const auto& text_ds = static_cast<const CTextDS&>(*ds);
    EXPECT_EQ(text_ds.m_strPath, path);
    EXPECT_TRUE(text_ds.m_bHeaderRow);
    EXPECT_EQ(text_ds.m_nSeparator, TextSeparatorComma);
    EXPECT_EQ(text_ds.m_selectedFields, (QStringList{"名字", "城市"}));
    EXPECT_EQ(text_ds.m_sampleValues, (QStringList{"张1", "北京1"}));
    EXPECT_EQ(text_ds.m_nRangeMode, RangeAll);
}

TEST(DataSourceTXTDlg, PreviewAndLoaderCutEveryLineAlike)
{
    struct Case
    {
        int separator;
        const char* other;
        const char* segments;
        QByteArray text;
        QStringList fields;
    };
    const Case cases[] = {
        {TextSeparatorNone, "", "", "a,b c\nd", {"字段 1"}},
        {TextSeparatorComma, "", "", "a,b,c\n1,2\n1,2,3,4\n,x,", {"字段 1", "字段 2", "字段 3"}},
        {TextSeparatorSpace, "", "", "a b\nc d e", {"字段 1", "字段 2"}},
        {TextSeparatorTab, "", "", "a\tb\n中\t文", {"字段 1", "字段 2"}},
        {TextSeparatorBackslash, "", "", "a\\b/c\nd\\e", {"字段 1", "字段 2"}},
        {TextSeparatorSlash, "", "", "a\\b/c\nd/e/f", {"字段 1", "字段 2"}},
        {TextSeparatorOther, ";", "", "a;b;c\nx;y", {"字段 1", "字段 2", "字段 3"}},
        {TextSeparatorOther, "，", "", "甲，乙\n丙，丁，戊", {"字段 1", "字段 2"}},
        {TextSeparatorCustom, "", "2,3", "ABCDEFG\nA\n中文字符集", {"字段 1", "字段 2"}},
        // Quoted fields, one over two lines, and a GB18030 line among UTF-8 ones.
        {TextSeparatorComma, "", "", "\"Bar, Baz\",x\r\n\"a\r\nb\",\"q\"\"q\"\n\xD5\xC5\xC8\xFD,\xB1\xB1\n名,城",
         {"字段 1", "字段 2"}},
    };
    QTemporaryDir dir;
    FakeServices services;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QString path = WriteFile(dir.path(), "cut.txt", c.text);
        QList<QStringList> preview;
        auto ds = RunNew(services, DSText, [&](QDialog& d) {
            TypeInto(&d, 1170, path);
            ChooseItem(&d, 1172, c.separator);
            if (*c.other)
                TypeInto(&d, 1173, QString::fromUtf8(c.other));
            if (*c.segments)
                TypeInto(&d, 1174, QString::fromUtf8(c.segments));
            ClickCtl(&d, 1192);
            preview = PreviewData(&d);
            ClickCtl(&d, 1);
        });
        ASSERT_NE(ds, nullptr);
        EXPECT_EQ(ds->m_selectedFields, c.fields);
        EXPECT_EQ(preview, LoaderRows(static_cast<const CTextDS&>(*ds)));
        // Samples: the first row, one per field (none for a whole line).
        if (c.separator != TextSeparatorNone) {
            EXPECT_EQ(ds->m_sampleValues, preview.value(0));
        }
    }
    EXPECT_TRUE(services.MessageTexts().isEmpty());
}

TEST(DataSourceTXTDlg, ReadAndOkRefuseWhatCannotWork)
{
    QTemporaryDir dir;
    const QString path = WriteFile(dir.path(), "a.txt", "a,b\n");
    FakeServices services;
    auto ds = RunNew(services, DSText, [&](QDialog& d) {
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
        TypeInto(&d, 1170, path);
        ChooseItem(&d, 1172, TextSeparatorOther);
        EXPECT_TRUE(ctl<QLineEdit>(&d, 1173)->isEnabled());
        EXPECT_FALSE(ctl<QLineEdit>(&d, 1174)->isEnabled());
        ClickCtl(&d, 1192);
        ChooseItem(&d, 1172, TextSeparatorCustom);
        ClickCtl(&d, 1192);
        TypeInto(&d, 1174, "x,0");
        ClickCtl(&d, 1192);
        TypeInto(&d, 1174, "1");
        ClickCtl(&d, 1192);
        EXPECT_EQ(ReportRows(&d, 1179).size(), 3);
        // A file that cannot be read is said so, naming it, and what was read before
        // no longer stands.
        TypeInto(&d, 1170, dir.filePath("missing.txt"));
        ClickCtl(&d, 1192);
        EXPECT_EQ(ReportRows(&d, 1179), QList<QStringList>{QStringList{}});
        TypeInto(&d, 1170, dir.path());
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(ds, nullptr);
    EXPECT_EQ(services.MessageTexts(),
              (QStringList{"请选择数据文件", "请读入数据以生成字段信息", "请输入分割字符!", "请输入自定义分段!",
                           "自定义分段错误!", QStringLiteral("无法打开文本文件“%1”：文件不存在。").arg(dir.filePath("missing.txt")),
                           QStringLiteral("无法打开文本文件“%1”：不是普通文件。").arg(dir.path()),
                           "请读入数据以生成字段信息"}));
    for (const auto& m : services.messages)
        EXPECT_EQ(m.icon, MessageIcon::Warning);
}

TEST(DataSourceTXTDlg, AnEmptyFileReplacesWhatAnEarlierReadFound)
{
    QTemporaryDir dir;
    const QString data = WriteFile(dir.path(), "d.csv", "name,code\nA,1\n");
    const QString empty = WriteFile(dir.path(), "e.csv", "");
    FakeServices services;
    auto ds = RunNew(services, DSText, [&](QDialog& d) {
        TypeInto(&d, 1170, data);
        ClickCtl(&d, 1004);
        ClickCtl(&d, 1192);
        ASSERT_EQ(ReportRows(&d, 1179).size(), 3);
        // The fields of the first file must not be kept under the empty file's name.
        TypeInto(&d, 1170, empty);
        ClickCtl(&d, 1192);
        EXPECT_EQ(ReportRows(&d, 1179), QList<QStringList>{QStringList{}});
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共 0 条记录");
        ClickCtl(&d, 1);
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(ds, nullptr);
    EXPECT_EQ(services.MessageTexts(), (QStringList{QStringLiteral("文本文件“%1”中没有数据。").arg(empty),
                                                    "请读入数据以生成字段信息"}));
}

TEST(DataSourceTXTDlg, HeaderCellsThatAreEmptyOrRepeatedGetTheirColumnsName)
{
    // A field is found by its name, letter case aside: an empty or repeated header
    // cell would print another column's values.
    QTemporaryDir dir;
    const QString path = WriteFile(dir.path(), "h.csv", "name,,Name,字段 2,qty\nA,B,C,D,1\n");
    FakeServices services;
    auto ds = RunNew(services, DSText, [&](QDialog& d) {
        TypeInto(&d, 1170, path);
        ClickCtl(&d, 1004);
        ClickCtl(&d, 1192);
        EXPECT_EQ(ReportRows(&d, 1179).value(0),
                  (QStringList{"序号", "name", "字段 2", "字段 3", "字段 4", "qty"}));
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(ds->m_selectedFields, (QStringList{"name", "字段 2", "字段 3", "字段 4", "qty"}));
    EXPECT_EQ(ds->m_sampleValues, (QStringList{"A", "B", "C", "D", "1"}));
}

TEST(DataSourceTXTDlg, NotesTellOfLinesNotInUtf8AndOfFieldsPastTheLimit)
{
    QTemporaryDir dir;
    // Two GB18030 lines among UTF-8 ones; a value holding a NUL.
    const QString mixed = WriteFile(dir.path(), "mixed.csv",
                                    QByteArray("a,b\n\xD5\xC5,\xC8\xFD\nc,d\n\xB1\xB1,x\nnul:") + '\0' + ",y\n");
    const QString wide = WriteFile(dir.path(), "wide.csv", QByteArray(3 * kMaxDataFields, ',') + "\nz\n");
    FakeServices services;
    QStringList notes;
    std::unique_ptr<CDSBase> ds;
    for (const QString& path : {mixed, wide}) {
        ds = RunNew(services, DSText, [&](QDialog& d) {
            TypeInto(&d, 1170, path);
            ClickCtl(&d, 1192);
            notes << d.findChild<QLabel*>("readNotes")->text();
            // A picture for a person to look at: VC_SHOWCASE_DIR names its folder.
            if (path == mixed && !qEnvironmentVariableIsEmpty("VC_SHOWCASE_DIR")) {
                d.resize(900, 560);
                QTest::qWait(50);
                EXPECT_TRUE(d.grab().save(QDir(qEnvironmentVariable("VC_SHOWCASE_DIR")).filePath("datasource-text-notes.png")));
            }
            if (path == mixed) {
                const QList<QStringList> rows = PreviewData(&d);
                ASSERT_EQ(rows.size(), 5);
                EXPECT_EQ(rows[1], (QStringList{QStringLiteral("张"), QStringLiteral("三")}));
                // Shown, not printed: the value keeps its NUL.
                EXPECT_EQ(rows[4][0], QStringLiteral("nul:\uFFFD"));
            }
            ClickCtl(&d, 1);
        });
        ASSERT_NE(ds, nullptr);
    }
    EXPECT_EQ(notes, (QStringList{QStringLiteral("有 2 行不是 UTF-8 编码，已按 GB18030 读入。"),
                                  QStringLiteral("第一行的字段超过 16384 个，只读入前 16384 个字段。")}));
    EXPECT_EQ(ds->m_selectedFields.size(), kMaxDataFields);
    EXPECT_TRUE(services.MessageTexts().isEmpty());
    CTextDS nul;
    nul.m_strPath = mixed;
    nul.m_selectedFields = QStringList{"a", "b"};
    EXPECT_EQ(LoaderRows(nul).value(4).value(0), QString("nul:") + QChar(u'\0'));
}

TEST(DataSourceTXTDlg, AQuoteThatNeverClosesIsNamedAndSwallowsNoLines)
{
    QTemporaryDir dir;
    const QString path = WriteFile(dir.path(), "stray.csv", "\"unterminated,1\nb,2\nc,3\n");
    FakeServices services;
    auto ds = RunNew(services, DSText, [&](QDialog& d) {
        TypeInto(&d, 1170, path);
        ClickCtl(&d, 1192);
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), QStringLiteral("共 3 条记录"));
        EXPECT_EQ(d.findChild<QLabel*>("readNotes")->text(),
                  QStringLiteral("第 1 行的双引号没有闭合：该字段到这一行的行尾为止。"));
        // The first record names the fields: one, as its quote swallows the comma.
        EXPECT_EQ(PreviewData(&d), (QList<QStringList>{{"unterminated,1"}, {"b"}, {"c"}}));
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(LoaderRows(static_cast<const CTextDS&>(*ds)).size(), 3);
}

TEST(DataSourceTXTDlg, ALineOfMillionsOfFieldsCostsNoMoreThanTheLimit)
{
    VC_SKIP_UNDER_ASAN();
    QTemporaryDir dir;
    // 24 million fields in one line of 24 MB: each field its own text took gigabytes.
    const QString path = WriteFile(dir.path(), "bomb.csv", QByteArray(24 << 20, ','));
    EXPECT_EXIT(RunWithLittleMemory(qint64(400) << 20,
                    [&] {
                        FakeServices services;
                        auto ds = RunNew(services, DSText, [&](QDialog& d) {
                            TypeInto(&d, 1170, path);
                            ClickCtl(&d, 1192);
                            ClickCtl(&d, 1);
                        });
                        return ds && ds->m_selectedFields.size() == kMaxDataFields;
                    }),
        ::testing::ExitedWithCode(0), "");
}

TEST(DataSourceTXTDlg, HeaderOnlyFileRangeCountAndARereadThatReplaces)
{
    QTemporaryDir dir;
    const QString headerOnly = WriteFile(dir.path(), "h.txt", "x,y\n");
    const QString data = WriteFile(dir.path(), "d.txt", "1;2,3\n4;5,6\n");
    FakeServices services;
    auto ds = RunNew(services, DSText, [&](QDialog& d) {
        TypeInto(&d, 1170, headerOnly);
        ClickCtl(&d, 1004);
        ClickCtl(&d, 1192);
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共 0 条记录");
        EXPECT_EQ(ReportRows(&d, 1179), (QList<QStringList>{{"序号", "x", "y"}, {"......", "", ""}}));

        TypeInto(&d, 1170, data);
        ClickCtl(&d, 1004);
        ClickCtl(&d, 1176);
        EXPECT_TRUE(ctl<QLineEdit>(&d, 1177)->isEnabled());
        TypeInto(&d, 1177, "5");
        TypeInto(&d, 1178, "3");
        ClickCtl(&d, 1192);
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共 0 条记录"); // an inverted range holds nothing
        TypeInto(&d, 1177, "0");
        TypeInto(&d, 1178, "7");
        ClickCtl(&d, 1192);
        EXPECT_EQ(ctl<QLineEdit>(&d, 1177)->text(), "1");
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共 7 条记录");

        ChooseItem(&d, 1172, TextSeparatorOther);
        TypeInto(&d, 1173, ";");
        ClickCtl(&d, 1192);
        // A changed path after the read does not reach the description.
        TypeInto(&d, 1170, headerOnly);
        TypeInto(&d, 1178, "2");
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    const auto& text = static_cast<const CTextDS&>(*ds);
    EXPECT_EQ(text.m_strPath, data);
    EXPECT_EQ(text.m_selectedFields, (QStringList{"字段 1", "字段 2"}));
    EXPECT_EQ(text.m_sampleValues, (QStringList{"1", "2,3"}));
    EXPECT_EQ(text.m_nRangeMode, RangeFromTo);
    EXPECT_EQ(text.m_nFrom, 1);
    EXPECT_EQ(text.m_nTo, 2);
    EXPECT_EQ(text.m_strOtherSeparator, ";");

    // Opened again it shows its preview at once; Cancel gives nothing back.
    auto again = RunEdit(services, *ds, [&](QDialog& d) {
        EXPECT_EQ(ctl<QComboBox>(&d, 1172)->currentIndex(), TextSeparatorOther);
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1176)->isChecked());
        EXPECT_EQ(ReportRows(&d, 1179).size(), 4);
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(again, nullptr);
    EXPECT_TRUE(services.MessageTexts().isEmpty());
}

class SQLiteDialog : public ::testing::Test
{
protected:
    void SetUp() override { path = MakeSQLiteFixture(dir.path()); }

    QTemporaryDir dir;
    QString path;
    FakeServices services;
};

TEST_F(SQLiteDialog, ConnectListPreviewSortAndKeep)
{
    services.files.push_back(path);
    auto ds = RunNew(services, DSSQLite, [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "数据源_SQLite 数据库");
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1186)->isChecked());
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1175)->isChecked());
        EXPECT_FALSE(ctl<QPlainTextEdit>(&d, 1188)->isEnabled());
        ClickCtl(&d, 1081); // nothing to connect to
        ClickCtl(&d, 1192); // not connected
        ClickCtl(&d, 1171);
        ClickCtl(&d, 1081);
        EXPECT_EQ(ListTexts(&d, 1090), (QStringList{"Alpha", "people", "zeta"}));
        EXPECT_EQ(ListTexts(&d, 1089), QStringList{"x"});
        SelectRow(&d, 1090, "people");
        EXPECT_EQ(ListTexts(&d, 1089), (QStringList{"id", "name", "note"}));
        EXPECT_EQ(ctl<QComboBox>(&d, 1284)->itemText(0), "默认");
        CheckItem(&d, 1089, "note");
        CheckItem(&d, 1089, "id");
        ClickCtl(&d, 1192);
        QList<QStringList> rows = ReportRows(&d, 1179);
        ASSERT_EQ(rows.size(), 11); // header, nine rows, "..."
        EXPECT_EQ(rows[0], (QStringList{"序号", "id", "note"}));
        EXPECT_EQ(rows[1], (QStringList{"1", "1", ""})); // NULL keeps its place
        EXPECT_EQ(rows[9], (QStringList{"9", "9", "note9"}));
        EXPECT_EQ(rows[10], (QStringList{"...", "", ""}));

        ChooseItem(&d, 1284, "id");
        ClickCtl(&d, 1187);
        ClickCtl(&d, 1192);
        rows = ReportRows(&d, 1179);
        EXPECT_EQ(rows[1], (QStringList{"1", "25", "note25"}));
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(services.MessageTexts(), (QStringList{"请指定数据库文件", "未连接数据库"}));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(services.messages[1].icon, MessageIcon::Stop);
    const auto& sqlite = static_cast<const CSQLiteDS&>(*ds);
    EXPECT_EQ(sqlite.GetType(), DSSQLite);
    EXPECT_EQ(sqlite.m_strPath, path);
    EXPECT_EQ(sqlite.m_nVersion, 0);
    EXPECT_EQ(sqlite.m_strTable, "people");
    EXPECT_EQ(sqlite.m_selectedFields, (QStringList{"id", "note"}));
    EXPECT_EQ(sqlite.m_sampleValues, (QStringList{"25", "note25"}));
    EXPECT_EQ(sqlite.m_strSortField, "id");
    EXPECT_EQ(sqlite.m_nSortOrder, 1);
}

TEST_F(SQLiteDialog, SqlModeTakesTheStatementsColumnsAndAFailureRefusesOk)
{
    auto ds = RunNew(services, DSSQLite, [&](QDialog& d) {
        TypeInto(&d, 1170, path);
        ClickCtl(&d, 1144);
        ClickCtl(&d, 1081);
        ClickCtl(&d, 1189);
        EXPECT_TRUE(ctl<QPlainTextEdit>(&d, 1188)->isEnabled());
        EXPECT_FALSE(ctl<QLineEdit>(&d, 1177)->isEnabled());
        TypeInto(&d, 1188, "select name, id from peeple");
        ClickCtl(&d, 1192);
        EXPECT_EQ(ReportRows(&d, 1179), (QList<QStringList>{{"序号"}, {"..."}}));
        ClickCtl(&d, 1);
        EXPECT_TRUE(d.isVisible());
        TypeInto(&d, 1188, "select name, id from people where id > 22");
        ClickCtl(&d, 1192);
        EXPECT_EQ(ReportRows(&d, 1179), (QList<QStringList>{{"序号", "name", "id"},
                                                           {"1", "name23", "23"},
                                                           {"2", "name24", "24"},
                                                           {"3", "name25", "25"},
                                                           {"...", "", ""}}));
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    // A statement that fails says why, with the database's own reason.
    EXPECT_EQ(services.MessageTexts(),
              (QStringList{QStringLiteral("无法从数据源读取记录，请检查表名、字段名和SQL语句。\n详细信息：no such table: peeple"),
                           "请读入数据以生成字段信息"}));
    EXPECT_EQ(ds->m_nRangeMode, RangeSQL);
    EXPECT_EQ(ds->m_selectedFields, (QStringList{"name", "id"}));
    EXPECT_EQ(ds->m_sampleValues, (QStringList{"name23", "23"}));
    EXPECT_EQ(static_cast<const CSQLiteDS&>(*ds).m_nVersion, 1);
}

TEST_F(SQLiteDialog, TheStatementTakesLinesAndOkNeverKeepsAnOlderRead)
{
    auto ds = RunNew(services, DSSQLite, [&](QDialog& d) {
        TypeInto(&d, 1170, path);
        ClickCtl(&d, 1081);
        ClickCtl(&d, 1189);
        TypeInto(&d, 1188, "select name from people where id > 20");
        ClickCtl(&d, 1192);
        // Enter in the statement starts a new line and leaves the dialog open.
        auto* sql = ctl<QPlainTextEdit>(&d, 1188);
        sql->setFocus();
        sql->moveCursor(QTextCursor::End);
        QTest::keyClick(sql, Qt::Key_Return);
        QTest::keyClicks(sql, "and id < 23");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(sql->toPlainText(), "select name from people where id > 20\nand id < 23");
        // OK asks for a read of what the box now says, then keeps it.
        ClickCtl(&d, 1);
        EXPECT_TRUE(d.isVisible());
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
    });
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(services.MessageTexts(), QStringList{"设置在上次读入数据后有改动，请再次读入数据"});
    EXPECT_EQ(ds->m_strSQL, "select name from people where id > 20\nand id < 23");
    EXPECT_EQ(ds->m_sampleValues, QStringList{"name21"});
}

TEST_F(SQLiteDialog, AFileThatCannotBeOpenedIsNamed)
{
    const QString missing = dir.filePath("nothere.db");
    const QString notADatabase = WriteFile(dir.path(), "items.csv", QByteArray("name,code\nAlpha,1\n").repeated(64));
    auto ds = RunNew(services, DSSQLite, [&](QDialog& d) {
        for (const QString& file : {missing, notADatabase}) {
            TypeInto(&d, 1170, file);
            ClickCtl(&d, 1081);
            EXPECT_TRUE(ListTexts(&d, 1090).isEmpty());
        }
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(ds, nullptr);
    // What failed and what to check, naming the file, with SQLite's own text after it.
    ASSERT_EQ(services.messages.size(), 2u);
    for (int i : {0, 1}) {
        const QString& text = services.messages[i].text;
        EXPECT_TRUE(text.startsWith(QStringLiteral("无法连接数据库，请检查文件“%1”是否存在并且是数据库文件。\n详细信息：")
                                        .arg(i == 0 ? missing : notADatabase)))
            << text.toStdString();
        EXPECT_GT(text.size(), text.indexOf(QStringLiteral("详细信息：")) + 5);
    }
    EXPECT_TRUE(services.messages[0].text.endsWith(QStringLiteral("SQLite数据库文件“%1”不存在。").arg(missing)));
    EXPECT_FALSE(QFile::exists(missing));

    // A stored description whose file is gone says so when it is opened for editing.
    CSQLiteDS stored;
    stored.m_strPath = missing;
    stored.m_strTable = "people";
    services.messages.clear();
    // Once the dialog stands on the screen, so that the message comes over it.
    RunEdit(services, stored, [&](QDialog& d) {
        ASSERT_EQ(services.messages.size(), 1u);
        ClickCtl(&d, 2);
    });
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_TRUE(services.messages[0].text.contains(missing));
}

TEST_F(SQLiteDialog, AStatementTypedWithASemicolonOrAClosingCommentReads)
{
    for (const QString& statement : {QStringLiteral("select name from people where id > 23;  "),
                                     QStringLiteral("select name from people where id > 23 -- the last two")}) {
        auto ds = RunNew(services, DSSQLite, [&](QDialog& d) {
            TypeInto(&d, 1170, path);
            ClickCtl(&d, 1081);
            ClickCtl(&d, 1189);
            TypeInto(&d, 1188, statement);
            ClickCtl(&d, 1192);
            EXPECT_EQ(ReportRows(&d, 1179), (QList<QStringList>{{"序号", "name"}, {"1", "name24"}, {"2", "name25"},
                                                               {"...", ""}}));
            ClickCtl(&d, 1);
        });
        ASSERT_NE(ds, nullptr);
        EXPECT_TRUE(services.MessageTexts().isEmpty()) << services.MessageTexts().join(' ').toStdString();
        // Printing counts and reads the rows through the same statements.
        std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSSQLite);
        loader->SetDataSource(ds.get());
        EXPECT_EQ(loader->GetRecordCount(), 2);
    }
}

TEST_F(SQLiteDialog, EditingRestoresTheStoredChoiceInAnyLetterCase)
{
    CSQLiteDS stored;
    stored.m_strPath = path;
    stored.m_strTable = "PEOPLE";
    stored.m_selectedFields = {"NAME", "gone"};
    stored.m_sampleValues = {"old"};
    stored.m_strSortField = "Id";
    stored.m_nSortOrder = 1;
    stored.m_nRangeMode = RangeFromTo;
    stored.m_nFrom = 3;
    stored.m_nTo = 8;
    auto edited = RunEdit(services, stored, [&](QDialog& d) {
        EXPECT_EQ(ctl<QLineEdit>(&d, 1170)->text(), path);
        EXPECT_EQ(ctl<QListWidget>(&d, 1090)->currentItem()->text(), "people");
        EXPECT_EQ(CheckedTexts(&d, 1089), QStringList{"name"});
        EXPECT_EQ(ctl<QComboBox>(&d, 1284)->currentText(), "id");
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1187)->isChecked());
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1176)->isChecked());
        EXPECT_EQ(ctl<QLineEdit>(&d, 1177)->text(), "3");
        EXPECT_EQ(ctl<QLineEdit>(&d, 1178)->text(), "8");
        ClickCtl(&d, 1); // the stored samples were not taken over
        EXPECT_TRUE(d.isVisible());
        ClickCtl(&d, 1192);
        // The preview starts at the first row whatever the range.
        EXPECT_EQ(ReportRows(&d, 1179)[1], (QStringList{"1", "name25"}));
        // Typed after the read: OK asks for another read rather than drop it.
        TypeInto(&d, 1177, "9");
        ClickCtl(&d, 1);
        EXPECT_TRUE(d.isVisible());
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
    });
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->m_strTable, "people");
    EXPECT_EQ(edited->m_selectedFields, QStringList{"name"});
    EXPECT_EQ(edited->m_strSortField, "id");
    EXPECT_EQ(edited->m_nFrom, 9);
    EXPECT_EQ(edited->m_nTo, 8);

    // A table that is gone: the first one is listed; a sort field that is gone: "默认".
    stored.m_strTable = "vanished";
    stored.m_strSortField = "nothing";
    edited = RunEdit(services, stored, [&](QDialog& d) {
        EXPECT_EQ(ctl<QListWidget>(&d, 1090)->currentItem()->text(), "Alpha");
        EXPECT_TRUE(CheckedTexts(&d, 1089).isEmpty());
        EXPECT_EQ(ctl<QComboBox>(&d, 1284)->currentIndex(), 0);
        CheckItem(&d, 1089, "x");
        ClickCtl(&d, 1192);
        ClickCtl(&d, 1);
    });
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->m_strSortField, "");
    EXPECT_EQ(edited->m_sampleValues, QStringList{"1"});
    EXPECT_EQ(services.MessageTexts(),
              (QStringList{"请读入数据以生成字段信息", "设置在上次读入数据后有改动，请再次读入数据"}));
}

TEST(DataSourceTypesDlg, StepButtonsCarryIconsLikeTheSharedButtons)
{
    CDataSourceTypesDlg wizard;
    for (int id : {1167, 1168, 2, 9})
        EXPECT_FALSE(ctl<QPushButton>(&wizard, id)->icon().isNull()) << id;
}
