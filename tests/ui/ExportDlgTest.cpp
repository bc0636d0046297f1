// The export commands of the document window driven through their dialogs: a
// selected barcode to a PNG file and to the clipboard, batch export one file per
// row, and what the dialogs refuse.
#include "FakeServices.h"
#include "app/Ctl.h"
#include "app/controls/VXUnitEdit.h"
#include "barcode/BarcodeImpl.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "output/ui/ExportDlg.h"
#include "tests/output/OutputSupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int kExport = 30601;
constexpr int kBatchExport = 30602;

void SetText(QDialog& d, int id, const QString& text)
{
    ctl<QLineEdit>(&d, id)->setText(text);
}

void ClickButton(QDialog& d, int id)
{
    ctl<QAbstractButton>(&d, id)->click();
}

class ExportDlgTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ExportSettings::Reset();
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override { ExportSettings::Reset(); }

    // A document window over the label, its first object selected when select is set.
    void Open(std::unique_ptr<CLabelData> label, bool select = true)
    {
        label->m_fLabelWidth = 100;
        label->m_fLabelHeight = 50;
        frame = std::make_unique<CChildFrame>(std::move(label), nullptr);
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        CChildView& view = frame->View();
        if (select) {
            CBaseProxy* first = view.ObjectList().front().get();
            view.GetSelection().push_back(first);
            view.SetCurrentObject(first);
        }
    }
    bool Enabled(int id)
    {
        CommandUpdate update(id);
        frame->UpdateCommand(update);
        return update.enabled;
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    FakeServices services;
    QTemporaryDir dir;
    std::unique_ptr<CChildFrame> frame;
};

TEST_F(ExportDlgTest, CommandsNeedASelectedObject)
{
    auto label = std::make_unique<CLabelData>();
    AddEncodedBarcode(*label, QStringLiteral("A1"));
    Open(std::move(label), false);
    for (int id : {kExport, kBatchExport}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(Enabled(id));
        services.messages.clear();
        EXPECT_TRUE(frame->HandleCommand(id));
        EXPECT_EQ(services.MessageTexts(), QStringList{"请选定要导出的图形对象"});
        EXPECT_TRUE(services.dialogClasses.empty());
    }
    CChildView& view = frame->View();
    view.GetSelection().push_back(view.ObjectList().front().get());
    view.SetCurrentObject(view.ObjectList().front().get());
    EXPECT_TRUE(Enabled(kExport));
    EXPECT_TRUE(Enabled(kBatchExport));
}

TEST_F(ExportDlgTest, SelectedBarcodeToPngAt300DpiDecodesAndTheChoicesAreRemembered)
{
    auto label = std::make_unique<CLabelData>();
    AddEncodedBarcode(*label, QStringLiteral("VC-300"));
    Open(std::move(label));

    services.files.push_back(Path(QStringLiteral("code")));
    const QString png = Path(QStringLiteral("code.png"));
    services.OnNextDialog([png](QDialog& d) {
        // A fresh process: clipboard, true colour, printer resolution.
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1137)->isChecked());
        EXPECT_FALSE(ctl<QLineEdit>(&d, 1279)->isEnabled());
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1146)->isChecked());
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1147)->isChecked());
        EXPECT_FALSE(ctl<CVXUnitEdit>(&d, 1079)->isEnabled());
        ClickButton(d, 1131);
        EXPECT_TRUE(ctl<QLineEdit>(&d, 1279)->isEnabled());
        ClickButton(d, 1280); // the picker's name without a suffix gets ".bmp"
        EXPECT_TRUE(ctl<QLineEdit>(&d, 1279)->text().endsWith("code.bmp"));
        ClickButton(d, 1149);
        EXPECT_TRUE(ctl<CVXUnitEdit>(&d, 1079)->isEnabled());
        SetText(d, 1279, png);
        SetText(d, 1079, QStringLiteral("300"));
        ClickButton(d, 1);
    });
    ASSERT_TRUE(frame->HandleCommand(kExport));
    EXPECT_EQ(services.MessageTexts(), QStringList{"导出成功!"});

    QImageReader reader(png);
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull());
    EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 300.0, 0.5);
    EXPECT_EQ(ReadCode128(image), QStringLiteral("VC-300"));

    // The next dialog opens with the file, the path and the typed resolution.
    services.OnNextDialog([&](QDialog& d) {
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1131)->isChecked());
        EXPECT_EQ(ctl<QLineEdit>(&d, 1279)->text(), png);
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1149)->isChecked());
        EXPECT_EQ(ctl<CVXUnitEdit>(&d, 1079)->text(), "300");
        d.reject();
    });
    frame->HandleCommand(kExport);
    EXPECT_EQ(services.MessageTexts().size(), 1);
}

TEST_F(ExportDlgTest, ClipboardHoldsThePictureAndForgetsThePath)
{
    ExportSettings::s_nDestination = 1;
    ExportSettings::s_strFilePath = Path(QStringLiteral("old.png"));
    auto label = std::make_unique<CLabelData>();
    AddEncodedBarcode(*label, QStringLiteral("CLIP-7"));
    Open(std::move(label));
    services.OnNextDialog([](QDialog& d) {
        ClickButton(d, 1137);
        ClickButton(d, 1149);
        SetText(d, 1079, QStringLiteral("5000")); // kept to 3000
        ClickButton(d, 1);
    });
    frame->HandleCommand(kExport);
    EXPECT_EQ(services.MessageTexts(), QStringList{"导出成功!"});
    const QImage image = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(ReadCode128(image), QStringLiteral("CLIP-7"));
    EXPECT_EQ(ExportSettings::s_strFilePath, QString());
    EXPECT_EQ(ExportSettings::s_nDpi, 3000);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("old.png"))));
}

// The settings' start-up reset clears the choices the dialog opens with.
TEST_F(ExportDlgTest, TheStartUpResetClearsWhatTheDialogShows)
{
    ExportSettings::s_nDestination = 1;
    ExportSettings::s_strFilePath = Path(QStringLiteral("old.png"));
    CGlobalSettings settings;
    settings.Init();
    auto label = std::make_unique<CLabelData>();
    AddEncodedBarcode(*label, QStringLiteral("R"));
    Open(std::move(label));
    services.OnNextDialog([](QDialog& d) {
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1137)->isChecked());
        EXPECT_FALSE(ctl<QLineEdit>(&d, 1279)->text().endsWith("old.png"));
        d.reject();
    });
    frame->HandleCommand(kExport);
}

TEST_F(ExportDlgTest, RefusalsAndFailuresAreToldWithTheirTexts)
{
    auto label = std::make_unique<CLabelData>();
    AddEncodedBarcode(*label, QStringLiteral("X"));
    Open(std::move(label));

    // A blank path keeps the dialog open and the remembered choices untouched.
    services.OnNextDialog([](QDialog& d) {
        ClickButton(d, 1131);
        SetText(d, 1279, QStringLiteral("  "));
        ClickButton(d, 1);
        EXPECT_TRUE(d.isVisible());
        d.reject();
    });
    frame->HandleCommand(kExport);
    EXPECT_EQ(services.MessageTexts(), QStringList{"请指定输出文件路径和名称"});
    EXPECT_EQ(ExportSettings::s_nDestination, 0);

    // A suffix no writer knows (the '.' of the folder does not count) writes nothing
    // and is not reported as success.
    services.messages.clear();
    QDir(dir.path()).mkdir(QStringLiteral("a.png"));
    const QString odd = Path(QStringLiteral("a.png/picture"));
    services.OnNextDialog([odd](QDialog& d) {
        ClickButton(d, 1131);
        SetText(d, 1279, odd);
        ClickButton(d, 1);
    });
    frame->HandleCommand(kExport);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("不支持文件“%1”的图像类型。").arg(odd));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
    EXPECT_FALSE(QFile::exists(odd));

    // A file that cannot be written (its folder is a file): the program's sentence names it,
    // the system's reason follows as the detail.
    services.messages.clear();
    QFile plain(Path(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString unwritable = Path(QStringLiteral("plain/picture.png"));
    services.OnNextDialog([unwritable](QDialog& d) {
        ClickButton(d, 1131);
        SetText(d, 1279, unwritable);
        ClickButton(d, 1);
    });
    frame->HandleCommand(kExport);
    ASSERT_EQ(services.messages.size(), 1u);
    const QString told = services.messages[0].text;
    EXPECT_TRUE(told.startsWith(QStringLiteral("无法写入文件“%1”。\n详细信息：").arg(unwritable))) << told.toStdString();
    EXPECT_GT(told.size(), told.indexOf(QStringLiteral("详细信息：")) + 5);
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);

    // The batch dialog wants a folder.
    services.messages.clear();
    services.OnNextDialog([](QDialog& d) {
        SetText(d, 1274, QStringLiteral(" "));
        ClickButton(d, 1);
        EXPECT_TRUE(d.isVisible());
        d.reject();
    });
    frame->HandleCommand(kBatchExport);
    EXPECT_EQ(services.MessageTexts(), QStringList{"请指定保存目录"});
}

TEST_F(ExportDlgTest, BatchExportWritesOneDecodableFilePerRow)
{
    auto label = std::make_unique<CLabelData>();
    AddSerialBarcode(*label, QStringLiteral("S"), 41, 5.0f, 5.0f);
    Open(std::move(label));
    const auto content = [this] {
        return static_cast<CBarcodeGraph*>(frame->View().CurrentObject()->GetObject())
            ->GetImpl()->GetSettings()->m_strContent;
    };
    const QString before = content();
    services.files.push_back(dir.path());
    services.OnNextDialog([](QDialog& d) {
        EXPECT_EQ(ctl<QLabel>(&d, 1276)->text(), ".bmp");
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1143)->isChecked());
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1147)->isChecked());
        EXPECT_EQ(ctl<QLineEdit>(&d, 1081)->text(), "1");
        ClickButton(d, 1275);
        auto* type = ctl<QComboBox>(&d, 1098);
        type->setCurrentIndex(type->findText(".png"));
        Q_EMIT type->activated(type->currentIndex());
        EXPECT_EQ(ctl<QLabel>(&d, 1276)->text(), ".png");
        SetText(d, 1080, QStringLiteral("L"));
        SetText(d, 1081, QStringLiteral("0")); // counts as the first row
        SetText(d, 1082, QStringLiteral("3"));
        ClickButton(d, 1146);
        ClickButton(d, 1149);
        SetText(d, 1079, QStringLiteral("300"));
        ClickButton(d, 1);
    });
    frame->HandleCommand(kBatchExport);
    EXPECT_EQ(services.MessageTexts(), QStringList{"导出成功!"});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              (QStringList{"L1.png", "L2.png", "L3.png"}));
    for (int row = 1; row <= 3; ++row) {
        const QImage image(Path(QStringLiteral("L%1.png").arg(row)));
        EXPECT_EQ(ReadCode128(image), QString::number(40 + row)) << row;
    }
    // The document keeps its own value.
    EXPECT_EQ(content(), before);
}

TEST_F(ExportDlgTest, BatchDialogReadsRowsTypeAndName)
{
    const struct {
        QString from, to;
        int fromRow, toRow;
    } cases[] = {
        {"5", "9", 5, 9},
        {"-3", "2", 1, 2},
        {"1", "100000", 1, CBatchExportDlg::kMaxRow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from.toStdString());
        CBatchExportDlg dialog;
        services.OnNextDialog([&](QDialog& d) {
            SetText(d, 1274, dir.path());
            SetText(d, 1081, c.from);
            SetText(d, 1082, c.to);
            ClickButton(d, 1004);
            ClickButton(d, 1);
        });
        ASSERT_EQ(services.RunModal(dialog), QDialog::Accepted);
        EXPECT_EQ(dialog.m_nFromRow, c.fromRow);
        EXPECT_EQ(dialog.m_nToRow, c.toRow);
        EXPECT_TRUE(dialog.m_bNameAfterObject);
        EXPECT_EQ(dialog.m_strExtension, ".bmp");
        EXPECT_EQ(dialog.m_nColourDepth, 0);
        EXPECT_EQ(dialog.m_nResolutionMode, 0);
    }
}

TEST_F(ExportDlgTest, BatchRowsAreWholeNumbersUpToTheArrowsLimit)
{
    // A label without data: each row is one picture of the next serial.
    auto label = std::make_unique<CLabelData>();
    AddSerialBarcode(*label, QStringLiteral("S"), 1, 5.0f, 5.0f);
    Open(std::move(label));
    services.OnNextDialog([this](QDialog& d) {
        SetText(d, 1274, dir.path());
        for (const char* typed : {"70.0013.5", "700135", "2000000", "1e3", ""}) {
            SetText(d, 1082, QString::fromLatin1(typed));
            ClickButton(d, 1);
            EXPECT_TRUE(d.isVisible()) << typed;
        }
        SetText(d, 1082, QStringLiteral("2"));
        ClickButton(d, 1);
    });
    frame->HandleCommand(kBatchExport);
    QStringList expected(5, QStringLiteral("请输入1到100000之间的整数！"));
    expected << QStringLiteral("导出成功!");
    EXPECT_EQ(services.MessageTexts(), expected);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"1.bmp", "2.bmp"}));
}

TEST_F(ExportDlgTest, ABatchNamedAfterAWeekdayTemplateTakesTheWeekdaysName)
{
    auto label = std::make_unique<CLabelData>();
    std::vector<std::unique_ptr<CDataBand>> bands;
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandDate;
    band->m_strDateTimeFormat = QStringLiteral("dddd");
    bands.push_back(std::move(band));
    AddText(*label, QStringLiteral("Day"), std::move(bands));
    Open(std::move(label));
    services.OnNextDialog([this](QDialog& d) {
        SetText(d, 1274, dir.path());
        ClickButton(d, 1004);
        ClickButton(d, 1);
    });
    const int weekday = QDate::currentDate().dayOfWeek();
    frame->HandleCommand(kBatchExport);
    EXPECT_EQ(services.MessageTexts(), QStringList{"导出成功!"});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList{QLocale(QLocale::Chinese, QLocale::China).dayName(weekday) + QStringLiteral(".bmp")});
}

TEST_F(ExportDlgTest, APickedNameWithoutASuffixTakesTheTypeChosenInThePicker)
{
    auto label = std::make_unique<CLabelData>();
    AddEncodedBarcode(*label, QStringLiteral("TYPE-9"));
    Open(std::move(label));
    services.files = {Path(QStringLiteral("code")), Path(QStringLiteral("photo"))};
    services.chosenTypes = {QStringLiteral("PNG (*.png)"), QStringLiteral("JPEG (*.jpeg)")};
    services.OnNextDialog([](QDialog& d) {
        ClickButton(d, 1131);
        ClickButton(d, 1280);
        EXPECT_TRUE(ctl<QLineEdit>(&d, 1279)->text().endsWith("/code.png"));
        ClickButton(d, 1149);
        SetText(d, 1079, QStringLiteral("300"));
        ClickButton(d, 1);
    });
    frame->HandleCommand(kExport);
    EXPECT_EQ(services.MessageTexts(), QStringList{"导出成功!"});
    QImageReader reader(Path(QStringLiteral("code.png")));
    EXPECT_EQ(reader.format(), "png");
    EXPECT_EQ(ReadCode128(reader.read()), QStringLiteral("TYPE-9"));

    // The picker opens on the type of the path there; another type is taken as well.
    services.OnNextDialog([](QDialog& d) {
        ClickButton(d, 1280);
        EXPECT_TRUE(ctl<QLineEdit>(&d, 1279)->text().endsWith("/photo.jpeg"));
        d.reject();
    });
    frame->HandleCommand(kExport);
    EXPECT_EQ(services.shownFilters, (QStringList{QStringLiteral("BMP (*.bmp)"), QStringLiteral("PNG (*.png)")}));
}

// The dialog as a person sees it: VC_SHOWCASE_DIR names the folder for the image.
TEST_F(ExportDlgTest, ExportDialogPicture)
{
    ExportSettings::s_nDestination = 1;
    ExportSettings::s_strFilePath = QStringLiteral("/home/user/标签/条码.png");
    CExportDlg dialog;
    dialog.show();
    QTest::qWait(50);
    const QImage image = dialog.grab().toImage();
    ASSERT_FALSE(image.isNull());
    const QString folder = qEnvironmentVariable("VC_SHOWCASE_DIR");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        EXPECT_TRUE(image.save(folder + QStringLiteral("/export-dialog.png")));
        CBatchExportDlg batch;
        batch.show();
        QTest::qWait(50);
        EXPECT_TRUE(batch.grab().toImage().save(folder + QStringLiteral("/batch-export-dialog.png")));
    }
}

} // namespace
