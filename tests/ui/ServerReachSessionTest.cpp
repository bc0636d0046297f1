// The running program previewing a label whose MariaDB source says "localhost" and a port: the
// question shows that port and the preview reads the server there, while the local server's
// socket hears nothing; a port that would wrap is refused, named, and nothing is asked or knocked.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "SessionTestSupport.h"
#include "model/DSBase.h"
#include "model/LabelData.h"
#include "output/ui/PreviewFrame.h"
#include "tests/output/OutputSupport.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

class ServerReachSessionTest : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        Create(CmdToolText, 10, 10);
    }

    // The label's only source, 本机, at login, read by a text through its field a.
    void UseSource(const DbServerSettings& login)
    {
        CLabelData& label = Window().LabelData();
        auto source = std::make_unique<CMySQLDS>();
        source->m_strName = QStringLiteral("本机");
        StoreLogin(*source, login);
        source->m_nRangeMode = RangeSQL;
        source->m_strSQL = QStringLiteral("select Name as a from People order by Id");
        source->m_selectedFields = QStringList {"a"};
        label.m_dataSources.clear();
        label.m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(QStringLiteral("本机"), "a"));
        AddText(label, "T", std::move(bands));
    }

    // Previews, allowing the question if one comes and keeping what it showed; true when the
    // preview opened.
    bool Preview()
    {
        services.messages.clear();
        services.OnNextDialog([this](QDialog& dialog) {
            ++questions;
            for (const QLabel* label : dialog.findChildren<QLabel*>())
                shown += label->text() + u'\n';
            for (const QPlainTextEdit* value : dialog.findChildren<QPlainTextEdit*>())
                shown += value->toPlainText() + u'\n';
            QTest::mouseClick(dialog.findChild<QPushButton*>("allow"), Qt::LeftButton);
        });
        EXPECT_TRUE(Trigger(CmdFilePrintPreview));
        const bool opened = OpenedPreview() != nullptr;
        if (CPreviewFrame* preview = OpenedPreview()) {
            preview->close();
            QCoreApplication::processEvents();
        }
        return opened;
    }

    int questions = 0;
    QString shown;
};

TEST_F(ServerReachSessionTest, LocalhostWithAPortIsReadThereAndAWrappingPortIsRefused)
{
    VC_TEST_SERVER(my, "VC_MY");
    const LocalServerSocket local;
    DbServerSettings login = my;
    login.host = QStringLiteral("localhost");
    UseSource(login);
    EXPECT_TRUE(Preview()) << services.MessageTexts().join("|").toStdString();
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(shown.contains(QString::number(my.port))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("本机套接字"))) << shown.toStdString();
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join("|").toStdString();
    EXPECT_FALSE(local.Knocked(0));

    KnockListener listener;
    login.port = listener.Port() + 65536;
    UseSource(login);
    EXPECT_FALSE(Preview());
    EXPECT_EQ(questions, 1);
    ASSERT_EQ(services.messages.size(), 1u) << services.MessageTexts().join("|").toStdString();
    EXPECT_TRUE(services.MessageTexts()[0].contains(
        QStringLiteral("数据源“本机”的端口“%1”不在 1 到 65535 之间，没有连接").arg(login.port)))
        << services.MessageTexts()[0].toStdString();
    EXPECT_FALSE(listener.Knocked(0));
    EXPECT_FALSE(local.Knocked(0));
}

} // namespace
