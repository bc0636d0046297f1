#include "DataSourceSupport.h"
#include "tests/output/OutputSupport.h"
#include "SessionTestSupport.h"
#include "model/DSBase.h"
#include "model/LabelData.h"
#include "platform/db/DbWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {

constexpr char kEndlessRows[] = "with recursive c(x) as (select 1 union all select x+1 from c) select x as a from c";

// The running program reading a data source that never ends: the wait window shows
// what is waited for, and 取消 or the limit gives the program back with one message.
class DbWaitSessionTest : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        m_saved = GetDbLimits();
        m_file = m_dir.filePath("endless.sqlite");
        ExecSQLite(m_file, QByteArray("create view v as ") + kEndlessRows + ";");
    }
    void TearDown() override
    {
        SetDbLimits(m_saved);
        SessionTest::TearDown();
    }
    void SetStatementLimit(int ms)
    {
        DbLimits limits = GetDbLimits();
        limits.statementMs = ms;
        limits.graceMs = 1500;
        SetDbLimits(limits);
    }

    // A source named 无尽 (or name) on the file, and a text bound to its field a.
    CSQLiteDS& AddEndlessSource(const QString& name = QStringLiteral("无尽"))
    {
        CLabelData& label = Window().LabelData();
        auto source = std::make_unique<CSQLiteDS>();
        source->m_strName = name;
        source->m_strPath = m_file;
        source->m_selectedFields = QStringList {"a"};
        CSQLiteDS& added = *source;
        label.m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(name, "a"));
        AddText(label, "T", std::move(bands));
        return added;
    }

    // Presses the wait window's 取消 when it has shown; keeps its text and a picture of it.
    void CancelWhenShown()
    {
        auto* poll = new QTimer(frame);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (window->objectName() != QLatin1String("dbWait") || !window->isVisible())
                    continue;
                m_waitText = window->findChild<QLabel*>("dbWaitText")->text();
                m_waitPicture = window->grab();
                m_cancelled.start();
                ctl<QPushButton>(window, 2)->click();
                poll->deleteLater();
                return;
            }
        });
        poll->start(50);
    }

    QString m_file;
    DbLimits m_saved;
    QString m_waitText;
    QPixmap m_waitPicture;
    QElapsedTimer m_cancelled;
};

TEST_F(DbWaitSessionTest, PreviewOfAnEndlessStatementIsCancelledAndTheProgramGoesOn)
{
    SetStatementLimit(60000);
    CSQLiteDS& source = AddEndlessSource();
    source.m_nRangeMode = RangeSQL;
    source.m_strSQL = kEndlessRows;
    Create(CmdToolText, 10, 10);
    const size_t objects = View().ObjectList().size();

    CancelWhenShown();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    ASSERT_TRUE(m_cancelled.isValid()) << "the wait window never showed";
    EXPECT_GE(clock.elapsed(), 900); // shown after a second, not at once
    EXPECT_LT(m_cancelled.elapsed(), 30000); // ended by the 取消, long before the limit
    EXPECT_EQ(m_waitText, QStringLiteral("正在读取数据源“无尽”的记录…"));
    EXPECT_FALSE(m_waitPicture.isNull());
    if (qEnvironmentVariableIsSet("VC_SHOT_DIR"))
        m_waitPicture.save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("dbwait.png"));

    // Told once, in words that name the source; no preview, the label as it was.
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("已取消读取数据源“无尽”的记录。")))
        << services.MessageTexts()[0].toStdString();
    EXPECT_EQ(OpenedPreview(), nullptr);
    EXPECT_EQ(View().ObjectList().size(), objects);
    EXPECT_EQ(Window().LabelData().m_dataSources.size(), 1u);
    // And the program takes the next command.
    ASSERT_TRUE(Trigger(CmdZoomIn));
}

// A name that would turn the sentence around it is shown by its code, in the wait window and in
// the message after 取消.
TEST_F(DbWaitSessionTest, TheWaitWindowAndItsMessageShowAReversingNameByItsCode)
{
    SetStatementLimit(60000);
    CSQLiteDS& source = AddEndlessSource(QStringLiteral("无") + QChar(0x202E) + QStringLiteral("尽"));
    source.m_nRangeMode = RangeSQL;
    source.m_strSQL = kEndlessRows;
    Create(CmdToolText, 10, 10);

    CancelWhenShown();
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    ASSERT_TRUE(m_cancelled.isValid()) << "the wait window never showed";
    EXPECT_EQ(m_waitText, QStringLiteral("正在读取数据源“无\\u202E尽”的记录…"));
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("已取消读取数据源“无\\u202E尽”的记录。")))
        << services.MessageTexts()[0].toStdString();
}

TEST_F(DbWaitSessionTest, PrintToPdfStopsAtTheLimitWhileReadingTheRows)
{
    SetStatementLimit(1500);
    // The range is counted without the source; sorted, the view's rows never come.
    CSQLiteDS& source = AddEndlessSource();
    source.m_strTable = QStringLiteral("v");
    source.m_strSortField = QStringLiteral("a");
    source.m_nRangeMode = RangeFromTo;
    source.m_nFrom = 1;
    source.m_nTo = 3;

    const QString pdf = m_dir.filePath("out.pdf");
    services.files.push_back(pdf);
    bool printed = false;
    services.OnNextDialog([&](QDialog& dialog) {
        QElapsedTimer clock;
        clock.start();
        ctl<QPushButton>(&dialog, 1)->click();
        printed = true;
        EXPECT_LT(clock.elapsed(), 30000); // ended by the limit, not by the rows, which never end
        dialog.reject();
    });
    ASSERT_TRUE(Trigger(CmdFilePrint));
    ASSERT_TRUE(printed);
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("读取数据源“无尽”的记录超过了 2 秒的时限，已停止。")))
        << services.MessageTexts()[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

} // namespace

TEST_F(DbWaitSessionTest, ASourceEditedInTheManagerIsNamedInItsWaitNotItsFile)
{
    SetStatementLimit(60000);
    // Sorted, the endless rows' first never comes, also within a preview's limit.
    CSQLiteDS& source = AddEndlessSource();
    source.m_nRangeMode = RangeSQL;
    source.m_strSQL = QStringLiteral("select a from v order by a");

    bool edited = false;
    services.OnNextDialog([&](QDialog& manager) {
        auto* tree = manager.findChild<QTreeWidget*>();
        ASSERT_NE(tree, nullptr);
        const QList<QTreeWidgetItem*> found = tree->findItems(QStringLiteral("无尽"), Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1);
        tree->scrollToItem(found[0]);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(found[0]).center());
        services.OnNextDialog([&](QDialog& dialog) {
            CancelWhenShown();
            ctl<QPushButton>(&dialog, 1192)->click();
            edited = true;
            dialog.reject();
        });
        ctl<QPushButton>(&manager, 1113)->click();
        manager.reject();
    });
    ASSERT_TRUE(Trigger(CmdLabelDataSources));
    ASSERT_TRUE(edited);
    ASSERT_TRUE(m_cancelled.isValid()) << "the wait window never showed: " << services.MessageTexts().join("|").toStdString();
    EXPECT_EQ(m_waitText, QStringLiteral("正在读取数据源“无尽”的记录…"));
}
