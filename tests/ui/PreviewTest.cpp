// The print preview: paging, zoom and scroll rules, a failing page, the private copy
// of the label, pages of a server's records, and a picture of the window (VC_SHOWCASE_DIR names its folder; run
// with VC_TEST_PLATFORM=xcb under xvfb-run to see what the desktop draws).
#include "DbTestEnv.h"
#include "PgServerObjects.h"
#include "FakeServices.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "app/controls/DbWaitWindow.h"
#include "barcode/BarcodeImpl_Code128.h"
#include "model/BarcodeGraph.h"
#include "model/BaseGraph.h"
#include "dialogs/properties/DataSourcePane.h"
#include "model/DataBand.h"
#include "model/GlobalSettings.h"
#include "model/TextGraph.h"
#include "output/ui/PreviewFrame.h"
#include "output/ui/PrintDlg.h"
#include "platform/ScreenDpi.h"
#include "platform/VXException.h"
#include "tests/output/OutputSupport.h"

#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// 7 labels of serial text and a barcode, 2 x 2 to a page: 2 pages.
std::unique_ptr<CLabelData> SerialLabel(int labels = 7)
{
    auto label = MakeGridLabel(2, 2);
    label->m_fLabelWidth = 80;
    label->m_fLabelHeight = 45;
    label->m_nPrintCount = labels;
    label->m_strTitle = QStringLiteral("serials.vmk");
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(ConstantBand(QStringLiteral("No. ")));
    bands.push_back(SerialBand(1));
    CTextGraph& text = AddText(*label, "T", std::move(bands));
    text.m_fX = 5;
    text.m_fY = 3;
    text.m_fWidth = 60;
    text.m_fHeight = 8;
    AddSerialBarcode(*label, "B", 1000, 5, 14);
    return label;
}

bool Enabled(CPreviewFrame& frame, int id)
{
    frame.Commands().UpdateAll();
    return frame.Commands().Action(id)->isEnabled();
}

QString FirstText(const CPreviewFrameView& view)
{
    if (view.m_items.empty())
        return {};
    for (const auto& o : view.m_items.front()->m_objects)
        if (o->m_strName == "T")
            return o->m_strText;
    return {};
}

// A label of one record a page from a server's statement, its text the record's `shown` field.
std::unique_ptr<CLabelData> ServerRecordLabel(std::unique_ptr<CDSBase> source, const QString& name, const QString& sql,
    const QStringList& fields, const char* shown)
{
    auto label = MakeGridLabel(1, 1);
    label->m_strTitle = QStringLiteral("records.vmk");
    source->m_strName = name;
    source->m_nRangeMode = RangeSQL;
    source->m_strSQL = sql;
    source->m_selectedFields = fields;
    label->m_dataSources.push_back(std::move(source));
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand(name, shown));
    AddText(*label, "T", std::move(bands));
    return label;
}

// Types a page number into the preview's page box, as a user does.
void TypePage(CPreviewFrame& frame, const QString& page)
{
    auto* box = ctl<QLineEdit>(&frame, 40514);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, page);
    QTest::keyClick(box, Qt::Key_Return);
}

class RefusingCode128 : public CBarcodeImpl_Code128
{
public:
    void Encode() override
    {
        if (GetSettings()->m_strContent == "1005")
            throw CBarcodeException(QStringLiteral("data too long"));
        CBarcodeImpl_Code128::Encode();
    }
};

// The server's advisory lock on key, held by a session of its own from construction until
// Release (or the end).
class HeldServerLock
{
public:
    HeldServerLock(const DbServerSettings& server, const QString& key)
        : m_server(server), m_name(QStringLiteral("vc-held-") + QUuid::createUuid().toString(QUuid::Id128).left(12))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), server.password);
        env.insert(QStringLiteral("PGAPPNAME"), m_name);
        m_holder.setProcessEnvironment(env);
        m_holder.start(QStringLiteral("psql"), {"-X", "-q", "-h", server.host, "-p", QString::number(server.port),
            "-U", server.user, "-d", server.database, "-c", "select pg_advisory_lock(hashtext('" + key + "'))", "-c",
            "select pg_sleep(3600)"});
        // Held once the session sleeps, however long it takes to get there; a minute is a watchdog.
        m_error = WriteOnTestServer(server, true,
            "do $$ begin for n in 1..1200 loop exit when " + Sleeping() + "; perform pg_sleep(0.05); "
            "perform pg_stat_clear_snapshot(); end loop; "
            "if not " + Sleeping() + " then raise exception 'the lock was never held'; end if; end $$");
    }
    ~HeldServerLock() { Release(); }
    HeldServerLock(const HeldServerLock&) = delete;
    HeldServerLock& operator=(const HeldServerLock&) = delete;

    const QString& Error() const { return m_error; }
    void Release()
    {
        if (m_holder.state() == QProcess::NotRunning)
            return;
        WriteOnTestServer(m_server, true,
            "select pg_terminate_backend(pid) from pg_stat_activity where application_name = '" + m_name + "'");
        if (!m_holder.waitForFinished(60000))
            m_holder.kill();
        m_holder.waitForFinished();
    }

private:
    QString Sleeping() const
    {
        return "exists (select 1 from pg_stat_activity where application_name = '" + m_name
            + "' and state = 'active' and query = 'select pg_sleep(3600)')";
    }

    DbServerSettings m_server;
    QString m_name;
    QProcess m_holder;
    QString m_error;
};

// The program's wait window for database steps, and a statement limit that only a lost 取消
// reaches, while the object lives.
class ProgramWaitWindow
{
public:
    ProgramWaitWindow()
    {
        DbLimits patient = m_limits;
        patient.statementMs = 60000;
        SetDbLimits(patient);
    }
    ~ProgramWaitWindow()
    {
        InstallDbWaiter(m_outer);
        SetDbLimits(m_limits);
    }
    ProgramWaitWindow(const ProgramWaitWindow&) = delete;
    ProgramWaitWindow& operator=(const ProgramWaitWindow&) = delete;

private:
    DbLimits m_limits = GetDbLimits();
    CDbWaitUi m_ui;
    DbWaiter* m_outer = InstallDbWaiter(&m_ui);
};

// Clicks 取消 in the wait window once it shows, with the mouse.
class CancelTheWait : public QObject
{
public:
    explicit CancelTheWait(QObject* parent) : QObject(parent)
    {
        m_poll.callOnTimeout(this, [this] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (window->objectName() != QLatin1String("dbWait") || !window->isVisible())
                    continue;
                m_poll.stop();
                clicked = true;
                QTest::mouseClick(ctl<QPushButton>(window, 2), Qt::LeftButton);
                return;
            }
        });
        m_poll.start(50);
    }
    bool clicked = false;

private:
    QTimer m_poll;
};

} // namespace

TEST(Preview, PagesAndTheirCommands)
{
    FakeServices services;
    auto label = SerialLabel();
    CPreviewFrame* frame = OpenPrintPreview(*label, nullptr);
    ASSERT_NE(frame, nullptr);
    std::unique_ptr<CPreviewFrame> owner(frame);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("打印预览 - serials.vmk"));
    auto* count = ctl<QLabel>(frame, 40537);
    EXPECT_EQ(count->text(), QStringLiteral("共2页,7个标签"));
    CPreviewFrameView& view = frame->View();
    EXPECT_EQ(view.m_nCurrentPage, 1);
    ASSERT_EQ(view.m_items.size(), 4u);
    EXPECT_EQ(FirstText(view), QStringLiteral("No. 1"));
    EXPECT_FALSE(Enabled(*frame, 40510));
    EXPECT_FALSE(Enabled(*frame, 40511));
    EXPECT_TRUE(Enabled(*frame, 40512));
    EXPECT_EQ(count->text(), QStringLiteral("共2页"));
    // The status bar keeps both counts and the page shown.
    auto* status = ctl<QStatusBar>(frame, 59393);
    ASSERT_EQ(status->findChildren<QLabel*>().size(), 1);
    QLabel* statusText = status->findChildren<QLabel*>().front();
    EXPECT_EQ(statusText->text(), QStringLiteral("第1页　共2页,7个标签"));

    frame->Commands().Execute(40513);
    EXPECT_EQ(view.m_nCurrentPage, 2);
    EXPECT_EQ(statusText->text(), QStringLiteral("第2页　共2页,7个标签"));
    EXPECT_EQ(ctl<QLineEdit>(frame, 40514)->text(), QStringLiteral("2"));
    ASSERT_EQ(view.m_items.size(), 3u);
    EXPECT_EQ(FirstText(view), QStringLiteral("No. 5"));
    EXPECT_TRUE(Enabled(*frame, 40511));
    EXPECT_FALSE(Enabled(*frame, 40512));
    EXPECT_FALSE(Enabled(*frame, 40513));

    for (const char* typed : {"0", "abc", "3", "2x"}) {
        auto* edit = ctl<QLineEdit>(frame, 40514);
        edit->setText(QString::fromLatin1(typed));
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(view.m_nCurrentPage, QByteArray(typed) == "2x" ? 2 : 1) << typed;
    }
}

TEST(Preview, ZoomSteps)
{
    FakeServices services;
    auto label = SerialLabel();
    std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
    ASSERT_TRUE(frame);
    auto* combo = ctl<QComboBox>(frame.get(), 40517);
    EXPECT_EQ(combo->currentText(), QStringLiteral("100%"));
    frame->SetZoom(2.75f);
    frame->Commands().Execute(40515);
    EXPECT_FLOAT_EQ(frame->View().m_fZoom, 3.0f);
    frame->Commands().Execute(40515);
    EXPECT_FLOAT_EQ(frame->View().m_fZoom, 3.0f);
    frame->SetZoom(0.75f);
    frame->Commands().Execute(40516);
    EXPECT_FLOAT_EQ(frame->View().m_fZoom, 0.5f);
    frame->SetZoom(0.75f);
    frame->Commands().Execute(40515);
    EXPECT_EQ(combo->currentText(), QStringLiteral("125%"));
    frame->SetZoom(0.333f);
    EXPECT_EQ(combo->currentText(), QStringLiteral("33.3%"));
    frame->Commands().Execute(40519);
    EXPECT_FLOAT_EQ(frame->View().m_fZoom, 1.0f);

    // The list's entries give 50 to 300 percent; nothing can be typed.
    EXPECT_TRUE(combo->lineEdit()->isReadOnly());
    combo->setCurrentIndex(combo->findData(250));
    Q_EMIT combo->activated(combo->currentIndex());
    EXPECT_FLOAT_EQ(frame->View().m_fZoom, 2.5f);
    // Zooming keeps the labels of the page: nothing is generated again.
    EXPECT_EQ(FirstText(frame->View()), QStringLiteral("No. 1"));
}

TEST(Preview, ScrollBarsAndPaperPlace)
{
    FakeServices services;
    auto label = SerialLabel();
    std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
    ASSERT_TRUE(frame);
    frame->showNormal();
    CPreviewFrameCon& con = frame->Container();
    CPreviewFrameView& view = frame->View();
    const QSize a4 = PreviewPaperSize(*label, 1.0f);
    EXPECT_EQ(a4.width(), int(210.0 * g_nScreenDpiX / 25.4));
    EXPECT_EQ(a4.height(), int(297.0 * g_nScreenDpiY / 25.4));

    // Small paper: no bars, centred.
    con.LayoutScrollBars(a4.height() + 100, a4.width() + 200);
    EXPECT_FALSE(con.HorzBar().isVisible());
    EXPECT_FALSE(con.VertBar().isVisible());
    EXPECT_EQ(view.ComputePaperRect().topLeft(), QPoint(100, 50));

    // Only taller than the window: a vertical bar whose range is the paper + 20.
    con.LayoutScrollBars(400, a4.width() + 200);
    EXPECT_FALSE(con.HorzBar().isVisible());
    ASSERT_TRUE(con.VertBar().isVisible());
    EXPECT_EQ(con.VertBar().pageStep(), 400);
    EXPECT_EQ(con.VertBar().maximum(), a4.height() + 20 - 400 + 1);
    EXPECT_EQ(view.ComputePaperRect().top(), 5);

    // The wheel moves 80 pixels for exactly one notch, nothing for two.
    const auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(50, 50), con.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&con, &event);
    };
    wheel(-120);
    EXPECT_EQ(con.VertBar().value(), 80);
    EXPECT_FLOAT_EQ(view.m_fOffsetY, -80.0f);
    EXPECT_EQ(view.ComputePaperRect().top(), -75);
    wheel(240);
    EXPECT_EQ(con.VertBar().value(), 80);
    wheel(120);
    EXPECT_EQ(con.VertBar().value(), 0);

    // Both bars leave room for each other.
    con.LayoutScrollBars(300, 300);
    EXPECT_TRUE(con.HorzBar().isVisible());
    EXPECT_EQ(con.HorzBar().maximum(), a4.width() + 40 - 300 + 1);
    EXPECT_EQ(con.VertBar().maximum(), a4.height() + 40 - 300 + 1);

    // Landscape exchanges width and height before the bars are decided.
    label->m_bLandscape = true;
    EXPECT_EQ(PreviewPaperSize(*label, 1.0f), a4.transposed());
    label->m_bLandscape = false;
    EXPECT_EQ(PreviewPaperSize(*label, 2.0f).width(), int(float(210.0 * g_nScreenDpiX / 25.4) * 2.0f));
}

TEST(Preview, WorksOnItsOwnCopyOfTheLabel)
{
    FakeServices services;
    auto label = SerialLabel();
    std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
    ASSERT_TRUE(frame);
    auto& text = static_cast<CTextGraph&>(*label->m_objects.front());
    const QString before = text.m_strText;
    // The document changes, and even goes away: the preview does not see it.
    text.m_bands.clear();
    text.m_bands.push_back(ConstantBand(QStringLiteral("changed")));
    label.reset();
    frame->Commands().Execute(40512);
    EXPECT_EQ(FirstText(frame->View()), QStringLiteral("No. 5"));
    EXPECT_TRUE(before.isEmpty() || before != QStringLiteral("No. 4"));
}

TEST(Preview, AFailingPageIsReportedAndThePreviewGoesOn)
{
    FakeServices services;
    auto label = SerialLabel();
    auto& barcode = static_cast<CBarcodeGraph&>(*label->m_objects.back());
    auto refusing = std::make_unique<RefusingCode128>();
    refusing->Attach(barcode.GetImpl()->GetSettings()->Clone(), barcode.GetImpl()->GetData()->Clone());
    barcode.m_pBarcodeImpl = std::move(refusing);
    auto* frame = new CPreviewFrame(std::move(label));
    std::unique_ptr<CPreviewFrame> owner(frame);
    frame->CreatePrintHandler();
    frame->GoToPage(1);
    EXPECT_TRUE(services.messages.empty());
    frame->GoToPage(2);
    // The sixth label (1005) cannot be encoded: said once; the fifth, made before it, stays.
    ASSERT_EQ(services.MessageTexts(), QStringList{QStringLiteral("条码“B”无法编码“1005”：data too long")});
    EXPECT_EQ(frame->View().m_items.size(), 1u);
    frame->show();
    frame->View().repaint();
    frame->GoToPage(1);
    EXPECT_EQ(frame->View().m_items.size(), 4u);
}

TEST(Preview, OpensMaximisedOnTheScreen)
{
    FakeServices services;
    auto label = SerialLabel();
    std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(frame->geometry().size(), frame->screen()->availableGeometry().size());
}

// The templates the data-band pane offers print what their names promise: the
// weekday's name, the AM/PM marker, the hour of the 12-hour clock; the same in the
// pane's samples, the preview and the printed PDF.
TEST(Preview, WeekdayAndTwelveHourTemplatesInThePaneThePreviewAndThePdf)
{
    FakeServices services;
    services.now = QDateTime(QDate(2024, 3, 5), QTime(15, 8, 9));
    if (CGlobalSettings::GetInstance()->m_dateTemplates.isEmpty())
        CGlobalSettings::GetInstance()->Init();
    const auto sample = [](bool time, const QString& name) {
        CDataSourceEdtPane_DateTime pane(time);
        const QStringList& templates =
            time ? CGlobalSettings::GetInstance()->m_timeTemplates : CGlobalSettings::GetInstance()->m_dateTemplates;
        return pane.m_format->itemText(templates.indexOf(name));
    };
    EXPECT_EQ(sample(false, "dddd"), QStringLiteral("星期二"));
    EXPECT_EQ(sample(false, QStringLiteral("yyyy年M月d日")), QStringLiteral("2024年3月5日"));
    EXPECT_EQ(sample(true, "tt h:mm"), QStringLiteral("下午 3:08"));
    EXPECT_EQ(sample(true, "tt h:mm:ss"), QStringLiteral("下午 3:08:09"));
    EXPECT_EQ(sample(true, "tt H:mm"), QStringLiteral("下午 15:08"));
    EXPECT_EQ(sample(true, "H:mm:ss"), QStringLiteral("15:08:09"));

    // The job reads the real clock.
    auto label = MakeGridLabel(1, 1);
    label->m_fLabelWidth = 80;
    label->m_fLabelHeight = 30;
    label->m_nPrintCount = 1;
    std::vector<std::unique_ptr<CDataBand>> bands;
    for (const char* format : {"dddd", "tt h"}) {
        auto band = std::make_unique<CDataBand>();
        band->m_nKind = format[0] == 'd' ? BandDate : BandTime;
        band->m_strDateTimeFormat = QString::fromLatin1(format);
        bands.push_back(std::move(band));
        bands.push_back(ConstantBand(QStringLiteral(" ")));
    }
    AddText(*label, "T", std::move(bands)).m_fWidth = 70;
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const QString expected = QStringLiteral("%1 %2 %3 ")
                                 .arg(chinese.dayName(now.date().dayOfWeek()),
                                      now.time().hour() < 12 ? QStringLiteral("上午") : QStringLiteral("下午"))
                                 .arg(now.time().hour() % 12 == 0 ? 12 : now.time().hour() % 12);

    std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
    ASSERT_TRUE(frame);
    EXPECT_EQ(FirstText(frame->View()), expected);

    QTemporaryDir dir;
    const QString pdf = dir.filePath("week.pdf");
    services.files.push_back(pdf);
    services.OnNextDialog([](QDialog& d) {
        auto* printers = ctl<QComboBox>(&d, 1001);
        printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
        ctl<QPushButton>(&d, 1)->click();
    });
    frame->Commands().Action(40508)->trigger();
    const QStringList pages = PdfPageTexts(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QRegularExpression space(QStringLiteral("\\s"));
    EXPECT_TRUE(QString(pages[0]).remove(space).contains(QString(expected).remove(space))) << pages[0].toStdString();
}

TEST(Preview, PictureOfThePreview)
{
    FakeServices services;
    QTemporaryDir temp;
    QString dir = qEnvironmentVariable("VC_SHOWCASE_DIR");
    if (dir.isEmpty())
        dir = temp.path();
    QDir().mkpath(dir);
    auto label = SerialLabel(6);
    label->m_fPaperWidth = 200;
    label->m_fPaperHeight = 120;
    label->m_bPrintBorder = true;
    label->m_bPageNumber = true;
    std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
    ASSERT_TRUE(frame);
    frame->showNormal();
    frame->resize(1000, 640);
    QTest::qWait(100);
    frame->Commands().UpdateAll();
    QTest::qWait(50);
    const QImage image = frame->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(dir + QStringLiteral("/print-preview.png")));
}

// A label of one record a page from PostgreSQL, through its own client and its ODBC driver,
// directly (the server moves past the pages) and through PgBouncer (the preview keeps the rows
// it passes): the last page typed into the page box shows the last record, and the first page
// its first, as print has them.
TEST(Preview, TypingTheLastPageOfAServersRecordsShowsTheLastRecord)
{
    VC_TEST_SERVER(server, "VC_PG");
    ASSERT_EQ(WriteTiedTables(server, true, QStringLiteral("vc_pvpages")), "");
    const auto routes = DirectAndPooledRoutes(server);
    for (const auto& [route, reached] : routes) {
        for (const bool odbc : {false, true}) {
            SCOPED_TRACE(route);
            SCOPED_TRACE(odbc ? "psqlODBC" : "libpq");
            FakeServices services;
            const auto label = ServerRecordLabel(ServerSource(reached, true, odbc), QStringLiteral("库存"),
                QStringLiteral("select id, name from vc_pvpages_items order by id"), {"id", "name"}, "name");
            std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
            ASSERT_TRUE(frame) << services.MessageTexts().join("|").toStdString();
            frame->show();
            CPreviewFrameView& view = frame->View();
            EXPECT_EQ(FirstText(view), QStringLiteral("item1"));
            for (const auto& [typed, shown] : {std::pair {"2000", "item2000"}, std::pair {"1", "item1"}}) {
                TypePage(*frame, QString::fromLatin1(typed));
                EXPECT_EQ(view.m_nCurrentPage, QByteArray(typed).toInt());
                EXPECT_EQ(FirstText(view), QString::fromLatin1(shown));
            }
            EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();
            if (const QString dir = qEnvironmentVariable("VC_SHOWCASE_DIR"); !dir.isEmpty() && odbc) {
                TypePage(*frame, QStringLiteral("2000"));
                QTest::qWait(100);
                frame->grab().save(dir + QStringLiteral("/preview-server-%1.png").arg(QLatin1String(route)));
            }
        }
    }
}

// A preview of one record a page left open on PostgreSQL: another client's ALTER of the table goes
// through while it idles, and the pages typed after it show; its session ended again and again,
// once after the shown rows changed, gives the message of the change once, and every later end is
// run again with no message.
TEST(Preview, AnIdlePreviewLetsAnAlterThroughAndRunsEveryEndOfItsWalkAgain)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named("vc_preview_ends");
    const ServerObjects table(server,
        QStringLiteral("create table vc_pvends_%1 (id int primary key, item text); "
                       "insert into vc_pvends_%1 select i, 'item' || i from generate_series(1, 2000) i"),
        QStringLiteral("drop table if exists vc_pvends_%1"));
    ASSERT_EQ(table.Error(), "");
    const ScopedDbLimits watched([](DbLimits& limits) { limits.watchMs = 500; });
    FakeServices services;
    const auto label = ServerRecordLabel(ServerSource(server, true, false), QStringLiteral("货品"),
        table.Named("select item, id from vc_pvends_%1 order by id"), {"item", "id"}, "item");
    std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
    ASSERT_TRUE(frame) << services.MessageTexts().join("|").toStdString();
    frame->show();
    CPreviewFrameView& view = frame->View();
    const auto type = [&](int page) { TypePage(*frame, QString::number(page)); };
    const auto endSession = [&] {
        ASSERT_NE(ReadOnTestServer(server, true,
                      QStringLiteral("select count(pg_terminate_backend(pid)) from pg_stat_activity where "
                                     "application_name = 'vc_preview_ends' and pid <> pg_backend_pid()")),
            "0");
    };
    for (const int page : {3, 2, 4}) {
        type(page);
        ASSERT_EQ(FirstText(view), QStringLiteral("item%1").arg(page));
    }
    // The control: an end before any other is run again with no message.
    endSession();
    type(2);
    EXPECT_EQ(FirstText(view), QStringLiteral("item2"));
    EXPECT_EQ(WriteOnTestServer(server, true,
                  table.Named("set lock_timeout = '30s'; alter table vc_pvends_%1 add column extra int")),
        "");
    type(5);
    EXPECT_EQ(FirstText(view), QStringLiteral("item5"));
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();

    ASSERT_EQ(WriteOnTestServer(server, true, table.Named("update vc_pvends_%1 set item = item || '*' where id = 3")), "");
    endSession();
    type(6);
    EXPECT_EQ(services.MessageTexts(),
        QStringList {QStringLiteral("数据源“货品”的记录在预览期间有了变化，预览将从现在的记录重新开始，请重新翻页。")});
    services.messages.clear();
    for (const int page : {7, 8, 3}) {
        endSession();
        type(page);
        EXPECT_EQ(view.m_nCurrentPage, page);
        EXPECT_EQ(FirstText(view), page == 3 ? QStringLiteral("item3*") : QStringLiteral("item%1").arg(page));
    }
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();
}

// A preview of records that tie in the statement's order, one a page, on PostgreSQL through its
// own client and its ODBC driver: pages 1 to 5 are shown, the preview's session is ended (as a
// give-back ends its walk), another client's CLUSTER puts the tied rows in another order, and
// every page typed after it, to the last, shows a record not shown before: each record once, the
// shown pages as they were.
TEST(Preview, TiedRecordsShowOnceEachAfterTheWalkWasGivenBack)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named("vc_preview_ties");
    const ServerObjects table(server,
        QStringLiteral("create table vc_pvties_%1 (id int primary key, grp int, item text); "
                       "insert into vc_pvties_%1 select i, i % 3, 'item' || i from generate_series(1, 30) i; "
                       "create index vc_pvties_desc_%1 on vc_pvties_%1 (id desc)"),
        QStringLiteral("drop table if exists vc_pvties_%1"));
    ASSERT_EQ(table.Error(), "");
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "psqlODBC" : "libpq");
        ASSERT_EQ(WriteOnTestServer(server, true, table.Named("cluster vc_pvties_%1 using vc_pvties_%1_pkey")), "");
        FakeServices services;
        const auto label = ServerRecordLabel(ServerSource(server, true, odbc), QStringLiteral("货品"),
            table.Named("select item, grp from vc_pvties_%1 order by grp"), {"item", "grp"}, "item");
        std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
        ASSERT_TRUE(frame) << services.MessageTexts().join("|").toStdString();
        frame->show();
        CPreviewFrameView& view = frame->View();
        QStringList shown;
        for (int page = 1; page <= 5; ++page) {
            TypePage(*frame, QString::number(page));
            shown << FirstText(view);
        }
        ASSERT_NE(ReadOnTestServer(server, true,
                      QStringLiteral("select count(pg_terminate_backend(pid)) from pg_stat_activity where "
                                     "application_name = 'vc_preview_ties' and pid <> pg_backend_pid()")),
            "0");
        ASSERT_EQ(WriteOnTestServer(server, true,
                      table.Named("set lock_timeout = '30s'; cluster vc_pvties_%1 using vc_pvties_desc_%1")),
            "");
        for (int page = 1; page <= 30; ++page) {
            TypePage(*frame, QString::number(page));
            ASSERT_EQ(view.m_nCurrentPage, page);
            if (page <= 5)
                EXPECT_EQ(FirstText(view), shown[page - 1]) << page;
            else
                shown << FirstText(view);
        }
        if (const QString dir = qEnvironmentVariable("VC_SHOT_DIR"); !dir.isEmpty()) {
            TypePage(*frame, QStringLiteral("12"));
            QTest::qWait(300);
            frame->screen()->grabWindow(0).save(dir + QStringLiteral("/preview-ties-%1.png").arg(odbc ? "odbc" : "libpq"));
        }
        EXPECT_EQ(QSet<QString>(shown.begin(), shown.end()).size(), 30) << shown.join(' ').toStdString();
        EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();
    }
}

// On page 10 of a server's records, a far page whose records cannot be read (取消 in the wait
// window, with the statement waiting on a lock past its 100th row; or the statement failing
// there) leaves page 10 shown: its number in the page box and the status bar, and the page drawn
// as it was. Once the rows can be read, the same page typed again shows.
TEST(Preview, AFarPageThatCannotBeReadLeavesThePageShownBefore)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName session("PreviewFarPageKept");
    const ServerObjects objects(server,
        "create table vc_pvkeep%1 (id int, name text); "
        "insert into vc_pvkeep%1 select i, 'item' || i from generate_series(1, 25000) i; "
        "create function vc_pvkeep%1_wait(i int) returns boolean language plpgsql as $$ begin "
        "if i > 100 then perform pg_advisory_lock_shared(hashtext('vc_pvkeep%1')); "
        "perform pg_advisory_unlock_shared(hashtext('vc_pvkeep%1')); end if; return true; end $$; "
        "create function vc_pvkeep%1_fail(i int) returns boolean language plpgsql as $$ begin "
        "if i > 100 then if not pg_try_advisory_lock_shared(hashtext('vc_pvkeep%1')) then "
        "raise exception 'row % is held', i; end if; "
        "perform pg_advisory_unlock_shared(hashtext('vc_pvkeep%1')); end if; return true; end $$;",
        "drop table if exists vc_pvkeep%1; drop function if exists vc_pvkeep%1_wait(int); "
        "drop function if exists vc_pvkeep%1_fail(int);");
    ASSERT_EQ(objects.Error(), "");
    const ProgramWaitWindow waitWindow;
    const struct
    {
        const char* name;
        bool odbc;
        const char* gate;
    } cases[] = {{"cancelled through psqlODBC", true, "wait"}, {"cancelled", false, "wait"}, {"failed", false, "fail"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServices services;
        const auto label = ServerRecordLabel(ServerSource(server, true, c.odbc), QStringLiteral("库存"),
            objects.Named("select id, name from vc_pvkeep%1 where vc_pvkeep%1_") + c.gate + "(id)", {"id", "name"}, "name");
        std::unique_ptr<CPreviewFrame> frame(OpenPrintPreview(*label, nullptr));
        ASSERT_TRUE(frame) << services.MessageTexts().join("|").toStdString();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        CPreviewFrameView& view = frame->View();
        auto* page = ctl<QLineEdit>(frame.get(), 40514);
        QLabel* status = ctl<QStatusBar>(frame.get(), 59393)->findChildren<QLabel*>().front();
        TypePage(*frame, QStringLiteral("10"));
        ASSERT_EQ(FirstText(view), QStringLiteral("item10"));
        const QImage drawn = view.grab().toImage();
        ASSERT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();

        HeldServerLock held(server, objects.Named("vc_pvkeep%1"));
        if (!held.Error().isEmpty()) { QProcess::execute("psql", {"-h", server.host, "-p", QString::number(server.port), "-U", server.user, "-d", server.database, "-c", "select l.pid, l.mode, l.granted, a.application_name, a.state, a.query from pg_locks l join pg_stat_activity a using (pid) where l.locktype = 'advisory'"}); }
        ASSERT_EQ(held.Error(), "");
        {
            CancelTheWait cancel(frame.get());
            TypePage(*frame, QStringLiteral("24000"));
            EXPECT_EQ(cancel.clicked, QByteArray(c.gate) == "wait");
        }
        ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
        if (QByteArray(c.gate) == "wait") {
            EXPECT_TRUE(services.MessageTexts()[0].contains(QStringLiteral("已取消读取数据源“库存”的记录。")))
                << services.MessageTexts()[0].toStdString();
        }
        EXPECT_EQ(view.m_nCurrentPage, 10);
        EXPECT_EQ(page->text(), QStringLiteral("10"));
        EXPECT_EQ(status->text(), QStringLiteral("第10页　共25000页,25000个标签"));
        EXPECT_EQ(FirstText(view), QStringLiteral("item10"));
        EXPECT_TRUE(view.grab().toImage() == drawn) << frame->geometry().width() << " " << view.width() << " " << drawn.width();
        if (const QString dir = qEnvironmentVariable("VC_SHOWCASE_DIR"); !dir.isEmpty() && !c.odbc) {
            QTest::qWait(300); // the desktop draws what went away
            frame->screen()->grabWindow(0).save(dir + QStringLiteral("/preview-far-page-%1.png").arg(QLatin1String(c.gate)));
        }

        held.Release();
        services.messages.clear();
        TypePage(*frame, QStringLiteral("24000"));
        EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();
        EXPECT_EQ(view.m_nCurrentPage, 24000);
        EXPECT_EQ(page->text(), QStringLiteral("24000"));
        EXPECT_EQ(status->text(), QStringLiteral("第24000页　共25000页,25000个标签"));
        EXPECT_EQ(FirstText(view), QStringLiteral("item24000"));
    }
}
