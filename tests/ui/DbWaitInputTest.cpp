// Input while a database step runs: before the wait window shows, Escape cancels the step and
// nothing else is taken; once it shows, its 取消 takes a click at once.
#include "DataSourceSupport.h"
#include "RealWindowSupport.h"
#include "SessionTestSupport.h"
#include "tests/output/OutputSupport.h"

#include "app/controls/DbWaitWindow.h"
#include "model/DSBase.h"
#include "output/ui/PreviewFrame.h"
#include "model/LabelData.h"
#include "platform/db/DbWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

constexpr char kNeverEndingRows[] =
    "with recursive c(x) as (select 1 union all select x+1 from c) select x as a from c";

class DbWaitInput : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        m_limits = GetDbLimits();
        DbLimits limits = m_limits;
        // Only a lost 取消 or Escape lets a step run this long: the job then says the limit
        // passed, not that it was cancelled.
        limits.statementMs = 60000;
        SetDbLimits(limits);
        const QString file = m_dir.filePath("slow.sqlite");
        ExecSQLite(file, "create table t(a);");
        CLabelData& label = Window().LabelData();
        auto source = std::make_unique<CSQLiteDS>();
        source->m_strName = QStringLiteral("慢");
        source->m_strPath = file;
        source->m_selectedFields = QStringList {"a"};
        source->m_nRangeMode = RangeSQL;
        source->m_strSQL = kNeverEndingRows;
        label.m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(QStringLiteral("慢"), "a"));
        AddText(label, "T", std::move(bands));
        Create(CmdToolText, 10, 10);
    }
    void TearDown() override
    {
        SetDbLimits(m_limits);
        delete OpenedPreview();
        SessionTest::TearDown();
    }
    static QWidget* WaitWindow()
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QLatin1String("dbWait") && window->isVisible())
                return window;
        return nullptr;
    }
    // 打印预览, which reads the rows that never come.
    void Preview()
    {
        QElapsedTimer clock;
        clock.start();
        Action(CmdFilePrintPreview)->trigger();
        m_took = clock.elapsed();
    }
    bool Told()
    {
        return services.messages.size() == 1
               && services.MessageTexts()[0].contains(QStringLiteral("已取消读取数据源“慢”的记录。"));
    }

    DbLimits m_limits;
    qint64 m_took = 0;
};

// Acts at the start of the wait for a step, from inside the program's own wait, before its
// window can show: at once, however late a loaded machine comes to the step.
class ActAtTheWait : public DbWaiter
{
public:
    ActAtTheWait(QObject* context, std::function<void()> act)
        : m_context(context), m_act(std::move(act)), m_inner(InstallDbWaiter(this))
    {
    }
    ~ActAtTheWait() override { InstallDbWaiter(m_inner); }
    void Wait(DbPendingStep& step) override
    {
        if (m_act)
            QTimer::singleShot(0, m_context, std::exchange(m_act, nullptr));
        if (m_inner) {
            m_inner->Wait(step);
        } else {
            while (!step.Check())
                step.WaitDone(DbPendingStep::CheckInterval);
        }
    }

private:
    QObject* m_context;
    std::function<void()> m_act;
    DbWaiter* m_inner;
};

} // namespace

TEST_F(DbWaitInput, EscapeBeforeTheWaitWindowShowsCancelsAndOtherInputIsNotTaken)
{
    View().ClearSelection();
    Settle();
    const size_t windows = frame->LabelWindows().size();
    bool sawWindow = true;
    {
        const ActAtTheWait act(frame, [&] {
            // A shortcut, a click on the canvas, then Escape, as a person presses them at once.
            sawWindow = WaitWindow() != nullptr;
            SystemKey(&View(), Qt::Key_A, Qt::ControlModifier);
            SystemClick(&View(), At(12, 11));
            SystemKey(&View(), Qt::Key_Escape);
        });
        Preview();
    }
    EXPECT_FALSE(sawWindow) << m_took << " ms";
    EXPECT_TRUE(Told()) << services.MessageTexts().join(u'|').toStdString();
    EXPECT_EQ(OpenedPreview(), nullptr);
    // Neither the shortcut nor the click reached the label.
    EXPECT_TRUE(View().GetSelection().empty());
    EXPECT_EQ(frame->LabelWindows().size(), windows);
    // Input goes where it belongs again once the step is over.
    SystemKey(&View(), Qt::Key_A, Qt::ControlModifier);
    Settle();
    EXPECT_FALSE(View().GetSelection().empty());
}

TEST_F(DbWaitInput, ACancelClickAsSoonAsTheWaitWindowShows)
{
    QElapsedTimer shown;
    auto* poll = new QTimer(frame);
    QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
        QWidget* wait = WaitWindow();
        if (!wait)
            return;
        poll->stop();
        poll->deleteLater();
        shown.start();
        SystemClick(ctl<QPushButton>(wait, 2));
    });
    poll->start(10);
    Preview();
    ASSERT_TRUE(shown.isValid()) << "the wait window never showed";
    // Taken, not lost: a lost click would have let the step run to its limit.
    EXPECT_TRUE(Told()) << services.MessageTexts().join(u'|').toStdString();
}
