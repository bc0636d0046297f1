#include "DataSourceSupport.h"
#include "FakeServices.h"
#include "TestSupport.h"
#include "WorkbookFixtures.h"
#include "dialogs/datasource/DataSourceDlg.h"
#include "dialogs/datasource/DatabaseDlg.h"
#include "dialogs/datasource/ReportList.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/TextGraph.h"
#include "platform/Crypt.h"
#include "tests/model/DocRoundTrip.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr int kPagingButtons[] = {1115, 1116, 1117, 1118};

QTreeWidget* Tree(const QWidget* d)
{
    return ctl<QTreeWidget>(d, 1112);
}

QTreeWidgetItem* Root(const QWidget* d)
{
    return Tree(d)->topLevelItem(0);
}

QStringList ChildTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; item && i < item->childCount(); ++i)
        texts.append(item->child(i)->text(0));
    return texts;
}

QTreeWidgetItem* DataSourceItem(const QWidget* d, const QString& name)
{
    for (int i = 0; i < Root(d)->childCount(); ++i) {
        if (Root(d)->child(i)->text(0) == name)
            return Root(d)->child(i);
    }
    ADD_FAILURE() << "no data source " << name.toStdString();
    return nullptr;
}

// A click on the tree item, as a person selects it.
void ClickItem(const QWidget* d, QTreeWidgetItem* item)
{
    ASSERT_NE(item, nullptr);
    QTreeWidget* tree = Tree(d);
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    ASSERT_EQ(tree->currentItem(), item);
}

bool Enabled(const QWidget* d, int id)
{
    return ctl<QPushButton>(d, id)->isEnabled();
}

// The record numbers the list shows.
QStringList Numbers(const QWidget* d)
{
    QStringList numbers;
    const QList<QStringList> rows = ReportRows(d, 1089);
    for (qsizetype i = 1; i < rows.size(); ++i)
        numbers.append(rows[i].value(0));
    return numbers;
}

QStringList Range(int first, int last)
{
    QStringList numbers;
    for (int i = first; i <= last; ++i)
        numbers.append(QString::number(i));
    return numbers;
}

std::unique_ptr<CTextDS> TextSource(const QString& name, const QString& path)
{
    auto ds = std::make_unique<CTextDS>();
    ds->m_strName = name;
    ds->m_strPath = path;
    ds->m_selectedFields = {"字段 1", "字段 2"};
    return ds;
}

// The names of the SQLite fixture's people, as "人员".
std::unique_ptr<CSQLiteDS> PeopleNames(const QString& path)
{
    auto ds = std::make_unique<CSQLiteDS>();
    ds->m_strName = "人员";
    ds->m_strPath = path;
    ds->m_strTable = "people";
    ds->m_selectedFields = {"name"};
    return ds;
}

// The wizard's answer: the radio of that id, then "下一步(&N)".
FakeServices::DialogHandler Choose(int radio)
{
    return [radio](QDialog& d) {
        ClickCtl(&d, radio);
        ClickCtl(&d, 1168);
    };
}

// The manager adds a workbook source with its own statement, which `statement` gives
// in the database dialog (the messages shown at hand), and shows it with
// `labelRows` rows a page to `inManager`. The messages shown, in order.
QStringList AddWorkbookStatement(int labelRows, const std::function<void(QDialog&, const FakeServices&)>& statement,
    const std::function<void(QDialog&)>& inManager)
{
    QTemporaryDir dir;
    const QString workbook = dir.filePath("staff.xlsx");
    if (!WriteTestXlsx(workbook))
        return {"the workbook was not written"};
    FakeServices services;
    CLabelData label;
    label.m_nColumns = 1;
    label.m_nRows = labelRows;
    services.OnNextDialog([&](QDialog& d) {
        services.OnNextDialog(Choose(1144));
        services.OnNextDialog([&](QDialog& e) {
            TypeInto(&e, 1170, workbook);
            ClickCtl(&e, 1004);
            ClickCtl(&e, 1081);
            ClickCtl(&e, 1189);
            statement(e, services);
            ClickCtl(&e, 1);
        });
        ClickCtl(&d, 1114);
        inManager(d);
        ClickCtl(&d, 2);
    });
    RunDataSourceManager(label, nullptr);
    return services.MessageTexts();
}

} // namespace

TEST(DatabaseDlg, ALabelWithoutDataSourcesShowsOnlyTheRoot)
{
    FakeServices services;
    CLabelData label;
    label.m_nColumns = 2;
    label.m_nRows = 3;
    services.OnNextDialog([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "数据库");
        // Nothing selected yet: no made-up count, page or page size.
        for (const QString& text : {ctl<QLabel>(&d, 1165)->text(), ctl<QLineEdit>(&d, 17)->text(),
                                    ctl<QLineEdit>(&d, 1079)->text()})
            EXPECT_EQ(text, "");
        ASSERT_EQ(Tree(&d)->topLevelItemCount(), 1);
        EXPECT_EQ(Root(&d)->text(0), "全部数据源");
        EXPECT_EQ(Root(&d)->childCount(), 0);
        EXPECT_TRUE(Enabled(&d, 1114));
        for (int id : {1113, 3, 4, 1115, 1116, 1117, 1118})
            EXPECT_FALSE(Enabled(&d, id)) << id;
        ClickItem(&d, Root(&d));
        for (const QString& text : {ctl<QLabel>(&d, 1165)->text(), ctl<QLineEdit>(&d, 17)->text(),
                                    ctl<QLineEdit>(&d, 1079)->text()})
            EXPECT_EQ(text, "");
        EXPECT_FALSE(Enabled(&d, 4));
        ClickCtl(&d, 1);
    });
    EXPECT_TRUE(RunDataSourceManager(label, nullptr));
    EXPECT_TRUE(label.m_dataSources.empty());
}

TEST(DatabaseDlg, PagesThroughTheRowsOfATextFile)
{
    QTemporaryDir dir;
    QByteArray text;
    for (int i = 1; i <= 45; ++i)
        text += "r" + QByteArray::number(i) + ",v" + QByteArray::number(i) + "\n";
    CLabelData label;
    label.m_nColumns = 4;
    label.m_nRows = 5;
    label.m_dataSources.push_back(TextSource("行", WriteFile(dir.path(), "rows.txt", text)));
    const QByteArray before = DocumentBytes(label);
    FakeServices services;
    services.OnNextDialog([&](QDialog& d) {
        QTreeWidgetItem* item = DataSourceItem(&d, "行");
        EXPECT_EQ(Tree(&d)->currentItem(), item); // the first data source is selected
        EXPECT_EQ(ChildTexts(item), (QStringList{"类型: 文本文件(*.txt)", "数据字段"}));
        EXPECT_EQ(ChildTexts(item->child(1)), (QStringList{"字段 1", "字段 2"}));
        EXPECT_EQ(ReportRows(&d, 1089), QList<QStringList>{(QStringList{"序号", "字段 1", "字段 2"})});
        EXPECT_EQ(ctl<QLineEdit>(&d, 17)->text(), "20"); // four columns of five rows

        ClickCtl(&d, 4);
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共45条记录,3页");
        EXPECT_EQ(Numbers(&d), Range(1, 20));
        EXPECT_EQ(ReportRows(&d, 1089)[1], (QStringList{"1", "r1", "v1"}));
        EXPECT_FALSE(Enabled(&d, 1115) || Enabled(&d, 1116));
        EXPECT_TRUE(Enabled(&d, 1117) && Enabled(&d, 1118));
        ClickCtl(&d, 1118);
        EXPECT_EQ(Numbers(&d), Range(41, 45));
        EXPECT_EQ(ReportRows(&d, 1089)[5], (QStringList{"45", "r45", "v45"}));
        EXPECT_EQ(ctl<QLineEdit>(&d, 1079)->text(), "3");
        EXPECT_FALSE(Enabled(&d, 1117) || Enabled(&d, 1118));
        ClickCtl(&d, 1116);
        EXPECT_EQ(Numbers(&d), Range(21, 40));

        // Return in the page number turns the page and closes nothing.
        TypeInto(&d, 1079, "1");
        QTest::keyClick(ctl<QLineEdit>(&d, 1079), Qt::Key_Return);
        EXPECT_EQ(Numbers(&d), Range(1, 20));
        TypeInto(&d, 1079, "9");
        QTest::keyClick(ctl<QLineEdit>(&d, 1079), Qt::Key_Return);
        EXPECT_EQ(Numbers(&d), Range(41, 45));
        EXPECT_TRUE(d.isVisible());

        // The page size in force at the last load.
        TypeInto(&d, 17, "15");
        ClickCtl(&d, 4);
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共45条记录,3页");
        TypeInto(&d, 17, "0");
        ClickCtl(&d, 4);
        EXPECT_EQ(ctl<QLineEdit>(&d, 17)->text(), "20");

        // Items below the shown data source keep the list as it is.
        ctl<CReportList>(&d, 1089)->SetCell(0, 1, "marker");
        for (QTreeWidgetItem* below : {item->child(0), item->child(1), item->child(1)->child(1)}) {
            ClickItem(&d, below);
            EXPECT_EQ(ReportRows(&d, 1089)[1][1], "marker");
            EXPECT_TRUE(Enabled(&d, 4));
            EXPECT_FALSE(Enabled(&d, 1113) || Enabled(&d, 3));
        }
        ClickItem(&d, Root(&d));
        EXPECT_EQ(ReportRows(&d, 1089), QList<QStringList>{QStringList{}});
        EXPECT_EQ(ctl<QLineEdit>(&d, 17)->text(), ""); // no page size where nothing pages
        for (int id : kPagingButtons)
            EXPECT_FALSE(Enabled(&d, id));
        ClickCtl(&d, 1);
    });
    EXPECT_TRUE(RunDataSourceManager(label, nullptr));
    EXPECT_TRUE(services.MessageTexts().isEmpty());
    EXPECT_EQ(DocumentBytes(label), before);
}

TEST(DatabaseDlg, AddDeleteAndUniqueNamesAreKeptOnlyByOk)
{
    QTemporaryDir dir;
    const QString path = WriteFile(dir.path(), "a.csv", "x,y,z\n1,2,3\n");
    const auto makeLabel = [&](CLabelData& label) {
        label.m_dataSources.push_back(TextSource("数据源 2", path));
        auto oledb = std::make_unique<COLEDBDS>();
        oledb->m_strName = "旧的";
        oledb->m_selectedFields = {"f"};
        label.m_dataSources.push_back(std::move(oledb));
    };
    const auto addText = [&](FakeServices& services) {
        services.OnNextDialog(Choose(1143));
        services.OnNextDialog([&](QDialog& d) {
            TypeInto(&d, 1170, path);
            ClickCtl(&d, 1192);
            ClickCtl(&d, 1);
        });
    };
    const auto edit = [&](FakeServices& services, QDialog& d) {
        addText(services);
        ClickCtl(&d, 1114);
        EXPECT_EQ(Tree(&d)->currentItem()->text(0), "数据源 1");
        EXPECT_EQ(ChildTexts(Tree(&d)->currentItem()),
                  (QStringList{"类型: 文本文件(*.csv)", "数据字段"}));
        addText(services);
        ClickCtl(&d, 1114);
        EXPECT_EQ(Tree(&d)->currentItem()->text(0), "数据源 3");
        ClickItem(&d, DataSourceItem(&d, "数据源 1"));
        ClickCtl(&d, 3);
        addText(services);
        ClickCtl(&d, 1114);
        EXPECT_EQ(Tree(&d)->currentItem()->text(0), "数据源 1");
        // Types without a dialog end the wizard and add nothing; so does Cancel.
        services.OnNextDialog(Choose(1153));
        ClickCtl(&d, 1114);
        services.OnNextDialog([](QDialog& w) { ClickCtl(&w, 2); });
        ClickCtl(&d, 1114);
        EXPECT_EQ(ChildTexts(Root(&d)), (QStringList{"数据源 2", "旧的", "数据源 3", "数据源 1"}));

        // A description read from a file, of a type without loader: listed, kept,
        // not opened and not loaded.
        QTreeWidgetItem* old = DataSourceItem(&d, "旧的");
        EXPECT_EQ(ChildTexts(old), (QStringList{"类型: OLEDB 数据源", "数据字段"}));
        EXPECT_EQ(ChildTexts(old->child(1)), QStringList{"f"});
        ClickItem(&d, old);
        ClickCtl(&d, 1113);
        ClickCtl(&d, 4);
        for (int id : kPagingButtons)
            EXPECT_FALSE(Enabled(&d, id));
    };

    FakeServices services;
    CLabelData label;
    makeLabel(label);
    const QByteArray before = DocumentBytes(label);
    services.OnNextDialog([&](QDialog& d) {
        edit(services, d);
        ClickCtl(&d, 2);
    });
    EXPECT_FALSE(RunDataSourceManager(label, nullptr));
    EXPECT_EQ(DocumentBytes(label), before);
    EXPECT_EQ(services.MessageTexts(), QStringList{NoLoaderMessage()});
    EXPECT_TRUE(NoLoaderMessage().startsWith(QStringLiteral("这种数据源不能读取记录")));

    services.OnNextDialog([&](QDialog& d) {
        edit(services, d);
        ClickCtl(&d, 1);
    });
    EXPECT_TRUE(RunDataSourceManager(label, nullptr));
    ASSERT_EQ(label.m_dataSources.size(), 4u);
    QStringList names;
    for (const auto& ds : label.m_dataSources)
        names.append(ds->m_strName);
    EXPECT_EQ(names, (QStringList{"数据源 2", "旧的", "数据源 3", "数据源 1"}));
    EXPECT_EQ(label.m_dataSources[1]->GetType(), DSOLEDB);
    EXPECT_EQ(label.m_dataSources[3]->m_selectedFields, (QStringList{"字段 1", "字段 2", "字段 3"}));
    EXPECT_EQ(label.m_dataSources[3]->m_sampleValues, (QStringList{"x", "y", "z"}));
}

TEST(DatabaseDlg, ASourceTheWizardAddsShowsItsFirstPageAndCountAtOnce)
{
    QTemporaryDir dir;
    QByteArray lines;
    for (int i = 1; i <= 8; ++i)
        lines += QByteArray::number(i) + ",v" + QByteArray::number(i) + "\n";
    const QString path = WriteFile(dir.path(), "eight.csv", lines);
    FakeServices services;
    CLabelData label;
    label.m_nColumns = 1;
    label.m_nRows = 3;
    services.OnNextDialog([&](QDialog& d) {
        // Added from the root, where no page size stands: the label's is taken.
        ClickItem(&d, Root(&d));
        services.OnNextDialog(Choose(1143));
        services.OnNextDialog([&](QDialog& t) {
            TypeInto(&t, 1170, path);
            ClickCtl(&t, 1192);
            ClickCtl(&t, 1);
        });
        ClickCtl(&d, 1114);
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共8条记录,3页");
        EXPECT_EQ(ctl<QLineEdit>(&d, 17)->text(), "3");
        EXPECT_EQ(ctl<QLineEdit>(&d, 1079)->text(), "1");
        EXPECT_EQ(Numbers(&d), Range(1, 3));
        EXPECT_TRUE(Enabled(&d, 1117));
        ClickCtl(&d, 2);
    });
    EXPECT_FALSE(RunDataSourceManager(label, nullptr));
    EXPECT_TRUE(services.MessageTexts().isEmpty());
}

// A workbook whose own statement is "select top n": the dialog previews it, and the
// manager counts and pages it.
TEST(DatabaseDlg, AWorkbookStatementWithTopIsCountedAndPaged)
{
    const QStringList messages = AddWorkbookStatement(
        2,
        [](QDialog& e, const FakeServices&) {
            TypeInto(&e, 1188, "select top 3 Name, Id from [People$] order by Id");
            ClickCtl(&e, 1192);
            EXPECT_EQ(ReportRows(&e, 1179).size(), 5); // header, three rows, "..."
        },
        [](QDialog& d) {
            EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共3条记录,2页");
            EXPECT_EQ(Numbers(&d), Range(1, 2));
            ClickCtl(&d, 1117);
            EXPECT_EQ(Numbers(&d), Range(3, 3));
        });
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
}

// Jet's top in each select of a union: the manager counts and pages that select's rows
// alone; the form whose rows Jet leaves open is refused in words naming it.
TEST(DatabaseDlg, AWorkbookUnionOfTopSelectsIsCountedAndPaged)
{
    const QStringList messages = AddWorkbookStatement(
        3,
        [](QDialog& e, const FakeServices& services) {
            TypeInto(&e, 1188, "select Name from [My Data$] union all select top 2 Name from [People$] order by Name");
            ClickCtl(&e, 1192);
            const QStringList shown = services.MessageTexts();
            ASSERT_EQ(shown.size(), 1);
            EXPECT_TRUE(shown[0].contains(QStringLiteral("不支持的 SQL 形式：UNION"))) << shown[0].toStdString();
            TypeInto(&e, 1188,
                "select distinct top 2 City from [People$] union all select top 10 percent Name from [People$]");
            ClickCtl(&e, 1192);
        },
        [](QDialog& d) { EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共5条记录,2页"); });
    EXPECT_EQ(messages.size(), 1) << messages.join(" | ").toStdString();
}

TEST(DatabaseDlg, DeletingASourceThatObjectsReadAsksFirst)
{
    QTemporaryDir dir;
    const QString path = WriteFile(dir.path(), "a.csv", "x,y\n1,2\n");
    CLabelData label;
    label.m_dataSources.push_back(TextSource("货品", path));
    label.m_dataSources.push_back(TextSource("闲置", path));
    auto text = std::make_unique<CTextGraph>();
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandDatabase;
    band->m_strDataSource = "货品"; // the print looks a source up in any letter case
    band->m_strFieldName = "字段 1";
    text->m_bands.push_back(std::move(band));
    label.m_objects.push_back(std::move(text));
    auto picture = std::make_unique<CImageGraph>();
    picture->m_nSourceKind = ImageDataSource;
    picture->m_strDataSource = "货品";
    label.m_objects.push_back(std::move(picture));

    FakeServices services;
    services.answers = {IDNO, IDYES};
    services.OnNextDialog([&](QDialog& d) {
        ClickItem(&d, DataSourceItem(&d, "货品"));
        ClickCtl(&d, 3); // "No": kept
        EXPECT_EQ(ChildTexts(Root(&d)), (QStringList{"货品", "闲置"}));
        ClickCtl(&d, 3);
        EXPECT_EQ(ChildTexts(Root(&d)), QStringList{"闲置"});
        ClickItem(&d, DataSourceItem(&d, "闲置"));
        ClickCtl(&d, 3); // read by nothing: gone without a question
        EXPECT_EQ(Root(&d)->childCount(), 0);
        ClickCtl(&d, 1);
    });
    EXPECT_TRUE(RunDataSourceManager(label, nullptr));
    EXPECT_TRUE(label.m_dataSources.empty());
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_EQ(services.messages[0].text, services.messages[1].text);
    EXPECT_TRUE(services.messages[0].text.contains("货品"));
    EXPECT_TRUE(services.messages[0].text.contains("2"));
    EXPECT_EQ(services.messages[0].buttons, MessageButtons::YesNo);
}

TEST(DatabaseDlg, AReplacedDescriptionIsReadFromWhereItNowPoints)
{
    QTemporaryDir first;
    QTemporaryDir second;
    const QString oldPath = MakeSQLiteFixture(first.path());
    const QString newPath = MakeSQLiteFixture(second.path());
    ExecSQLite(newPath, "update people set name = '新的' where id = 1;");
    CLabelData label;
    label.m_dataSources.push_back(PeopleNames(oldPath));
    FakeServices services;
    services.OnNextDialog([&](QDialog& d) {
        ClickCtl(&d, 4);
        EXPECT_EQ(ReportRows(&d, 1089)[1], (QStringList{"1", "张三"}));
        services.OnNextDialog([&](QDialog& e) {
            EXPECT_EQ(CheckedTexts(&e, 1089), QStringList{"name"});
            TypeInto(&e, 1170, newPath);
            ClickCtl(&e, 1081);
            CheckItem(&e, 1089, "id");
            ClickCtl(&e, 1192);
            ClickCtl(&e, 1);
        });
        ClickCtl(&d, 1113);
        QTreeWidgetItem* item = DataSourceItem(&d, "人员");
        EXPECT_EQ(ChildTexts(item->child(1)), (QStringList{"id", "name"}));
        // Loaded before, so reloaded: from the new file, with the new fields.
        EXPECT_EQ(ReportRows(&d, 1089)[0], (QStringList{"序号", "id", "name"}));
        EXPECT_EQ(ReportRows(&d, 1089)[1], (QStringList{"1", "1", "新的"}));
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共25条记录,3页");
        ClickCtl(&d, 1);
    });
    EXPECT_TRUE(RunDataSourceManager(label, nullptr));
    EXPECT_TRUE(services.MessageTexts().isEmpty());
    ASSERT_EQ(label.m_dataSources.size(), 1u);
    const auto& stored = static_cast<const CSQLiteDS&>(*label.m_dataSources[0]);
    EXPECT_EQ(stored.m_strName, "人员");
    EXPECT_EQ(stored.m_strPath, newPath);
    EXPECT_EQ(stored.m_sampleValues, (QStringList{"1", "新的"}));
}

TEST(DatabaseDlg, ALoaderFailureIsShownAndLeavesTheSourceUnloaded)
{
    QTemporaryDir dir;
    CLabelData label;
    label.m_dataSources.push_back(TextSource("丢失", dir.filePath("missing.txt")));
    auto sqlite = std::make_unique<CSQLiteDS>();
    sqlite->m_strName = "坏表";
    sqlite->m_strPath = MakeSQLiteFixture(dir.path());
    sqlite->m_strTable = "people";
    sqlite->m_selectedFields = {"nothing"};
    sqlite->m_nRangeMode = RangeFromTo;
    sqlite->m_nFrom = 1;
    sqlite->m_nTo = 5;
    label.m_dataSources.push_back(std::move(sqlite));
    FakeServices services;
    services.OnNextDialog([&](QDialog& d) {
        ClickCtl(&d, 4);
        for (int id : kPagingButtons)
            EXPECT_FALSE(Enabled(&d, id));
        EXPECT_EQ(ReportRows(&d, 1089).size(), 1);
        ClickItem(&d, DataSourceItem(&d, "坏表"));
        ClickCtl(&d, 4); // counted from the range, but no row can be read
        EXPECT_EQ(ReportRows(&d, 1089).size(), 1);
        EXPECT_FALSE(Enabled(&d, 1117));
        ClickCtl(&d, 2);
    });
    EXPECT_FALSE(RunDataSourceManager(label, nullptr));
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_TRUE(services.messages[0].text.contains("missing.txt"));
    EXPECT_TRUE(services.messages[1].text.contains("nothing"));
    EXPECT_EQ(services.messages[1].icon, MessageIcon::Stop);
}

// A custom source of a label that names its driver library by path is refused by
// "加载" with the source's name, before the driver manager is asked.
TEST(DatabaseDlg, LoadingASourceThatNamesALibraryByPathIsRefused)
{
    CLabelData label;
    auto custom = std::make_unique<CCustomDS>();
    custom->m_strName = "库存";
    custom->m_strConnectionString = EncryptString("Driver={/nonexistent/evil.so};Database=x;");
    custom->m_strTable = "T";
    custom->m_selectedFields = {"A"};
    label.m_dataSources.push_back(std::move(custom));
    FakeServices services;
    services.OnNextDialog([&](QDialog& d) {
        ClickItem(&d, DataSourceItem(&d, "库存"));
        ClickCtl(&d, 4);
        EXPECT_EQ(ReportRows(&d, 1089).size(), 1);
        ClickCtl(&d, 2);
    });
    EXPECT_FALSE(RunDataSourceManager(label, nullptr));
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join('\n').toStdString();
    // Named as refused, the path itself not shown: a refusal shows no value.
    EXPECT_TRUE(services.messages[0].text.contains(
        QStringLiteral("数据源“库存”的连接字符串以路径指定驱动程序库，不允许使用")))
        << services.messages[0].text.toStdString();
    EXPECT_FALSE(services.messages[0].text.contains(QStringLiteral("evil.so")));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
}

TEST(DatabaseDlg, AReloadThatFailsForgetsTheOldCount)
{
    QTemporaryDir dir;
    const QString path = MakeSQLiteFixture(dir.path());
    CLabelData label;
    label.m_dataSources.push_back(PeopleNames(path));
    FakeServices services;
    services.OnNextDialog([&](QDialog& d) {
        ClickCtl(&d, 4);
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共25条记录,3页");
        // The table is renamed while the label is open.
        ExecSQLite(path, "alter table people rename to persons;");
        ClickCtl(&d, 4);
        EXPECT_EQ(ReportRows(&d, 1089).size(), 1);
        EXPECT_EQ(ctl<QLabel>(&d, 1165)->text(), "共0条记录,0页");
        for (int id : kPagingButtons)
            EXPECT_FALSE(Enabled(&d, id));
        ClickCtl(&d, 2);
    });
    RunDataSourceManager(label, nullptr);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_TRUE(services.messages[0].text.contains("people"));
}

TEST(DatabaseDlg, TypeNames)
{
    const auto name = [](int32_t type, const QString& path = {}) {
        std::unique_ptr<CDSBase> ds = CDSBase::Create(type);
        if (auto* text = dynamic_cast<CTextDS*>(ds.get()))
            text->m_strPath = path;
        if (auto* excel = dynamic_cast<CExcelDS*>(ds.get()))
            excel->m_strPath = path;
        if (auto* access = dynamic_cast<CAccessDS*>(ds.get()))
            access->m_strPath = path;
        return CDatabaseDlg::TypeName(*ds);
    };
    EXPECT_EQ(name(DSText, "a.TXT"), "文本文件(*.txt)");
    EXPECT_EQ(name(DSText, "/x/b.csv"), "文本文件(*.csv)");
    EXPECT_EQ(name(DSText, "c.dat"), "");
    EXPECT_EQ(name(DSExcel, "a.xls"), "Excel数据表(*.xls)");
    EXPECT_EQ(name(DSExcel, "a.XLSX"), "Excel数据表(*.xlsx)");
    EXPECT_EQ(name(DSAccess, "a.mdb"), "Access数据库(*.mdb)");
    EXPECT_EQ(name(DSAccess, "a.accdb"), "Access数据库(*.accdb)");
    EXPECT_EQ(name(DSAccess, "db"), "");
    EXPECT_EQ(name(DSSQLite), "SQLite数据库");
    EXPECT_EQ(name(DSPostgreSQL), "PostgreSQL数据库");
    EXPECT_EQ(name(DSMySQL), "MySQL数据库");
    EXPECT_EQ(name(DSSQLServer), "SQL Server数据库");
    EXPECT_EQ(name(DSOracle), "Oracle数据库");
    EXPECT_EQ(name(DSSybase), "Sybase数据库");
    EXPECT_EQ(name(DSDB2), "DB2数据库");
    EXPECT_EQ(name(DSCustom), "自定义数据源");
}

TEST(DatabaseDlg, UniqueNamesRunOutAfter87)
{
    CLabelData label;
    for (int n = 1; n <= 87; ++n) {
        auto ds = std::make_unique<CSQLiteDS>();
        ds->m_strName = QString::asprintf("数据源 %d", n);
        label.m_dataSources.push_back(std::move(ds));
    }
    CDatabaseDlg dialog;
    dialog.m_pLabelData = &label;
    dialog.CopyDataSources();
    EXPECT_EQ(dialog.UniqueName(), "");
    label.m_dataSources.erase(label.m_dataSources.begin() + 40);
    CDatabaseDlg other;
    other.m_pLabelData = &label;
    other.CopyDataSources();
    EXPECT_EQ(other.UniqueName(), "数据源 41");
}

// The manager and the type dialogs with their previews filled, grabbed to images so a
// person can look at them: VC_SHOWCASE_DIR names the folder; run under a real
// display with VC_TEST_PLATFORM=xcb (xvfb-run) to see what the desktop draws.
TEST(DataSourceShowcase, ManagerWizardAndTypeDialogsWithTheirPreviews)
{
    QTemporaryDir temp;
    const QString dir = qEnvironmentVariableIsEmpty("VC_SHOWCASE_DIR") ? temp.path()
                                                                       : qEnvironmentVariable("VC_SHOWCASE_DIR");
    QDir().mkpath(dir);
    const auto save = [&](QWidget& widget, const char* name) {
        QTest::qWait(50);
        const QImage image = widget.grab().toImage();
        EXPECT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(QDir(dir).filePath(QString::fromLatin1(name))));
    };
    QByteArray text = "姓名,城市,备注\n";
    const char* cities[] = {"北京", "上海", "广州", "深圳", "杭州"};
    for (int i = 1; i <= 32; ++i)
        text += "员工" + QByteArray::number(i) + "," + cities[i % 5] + ",第" + QByteArray::number(i) + "号\n";
    CLabelData label;
    auto staff = TextSource("员工名单", WriteFile(temp.path(), "staff.csv", text));
    staff->m_bHeaderRow = true;
    staff->m_selectedFields = {"姓名", "城市", "备注"};
    label.m_dataSources.push_back(std::move(staff));
    auto sqlite = std::make_unique<CSQLiteDS>();
    sqlite->m_strName = "人员库";
    sqlite->m_strPath = MakeSQLiteFixture(temp.path());
    sqlite->m_strTable = "people";
    sqlite->m_selectedFields = {"id", "name", "note"};
    label.m_dataSources.push_back(std::move(sqlite));

    FakeServices services;
    services.OnNextDialog([&](QDialog& d) {
        ClickCtl(&d, 4);
        ClickCtl(&d, 1117);
        DataSourceItem(&d, "员工名单")->child(1)->setExpanded(true);
        save(d, "datasource-manager.png");
        services.OnNextDialog([&](QDialog& w) {
            ClickCtl(&w, 1148);
            save(w, "datasource-wizard.png");
            ClickCtl(&w, 2);
        });
        ClickCtl(&d, 1114);
        ClickItem(&d, DataSourceItem(&d, "人员库"));
        services.OnNextDialog([&](QDialog& e) {
            ClickCtl(&e, 1192);
            save(e, "datasource-sqlite.png");
            ClickCtl(&e, 2);
        });
        ClickCtl(&d, 1113);
        ClickItem(&d, DataSourceItem(&d, "员工名单"));
        services.OnNextDialog([&](QDialog& e) {
            save(e, "datasource-text.png");
            ClickCtl(&e, 2);
        });
        ClickCtl(&d, 1113);
        ClickCtl(&d, 2);
    });
    EXPECT_FALSE(RunDataSourceManager(label, nullptr));
    services.OnNextDialog([&](QDialog& d) {
        TypeInto(&d, 1079, "127.0.0.1");
        TypeInto(&d, 1083, "5432");
        TypeInto(&d, 1081, "标签数据");
        TypeInto(&d, 1080, "vellum");
        TypeInto(&d, 1183, "secret");
        save(d, "datasource-postgresql.png");
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(RunNewDataSourceDlg(DSPostgreSQL, nullptr), nullptr);

    const QString workbook = QDir(temp.path()).filePath("staff.xlsx");
    ASSERT_TRUE(WriteTestXlsx(workbook));
    services.files.push_back(workbook);
    services.OnNextDialog([&](QDialog& d) {
        ClickCtl(&d, 1171);
        ClickCtl(&d, 1004);
        ClickCtl(&d, 1081);
        SelectRow(&d, 1090, "People");
        for (const char* field : {"Id", "Name", "City", "Note", "Price"})
            CheckItem(&d, 1089, field);
        ClickCtl(&d, 1192);
        save(d, "datasource-excel.png");
        ClickCtl(&d, 2);
    });
    EXPECT_EQ(RunNewDataSourceDlg(DSExcel, nullptr), nullptr);
    EXPECT_TRUE(services.MessageTexts().isEmpty());
}
