// The screen-data form designer driven by mouse and keys: creation and naming,
// selection, the move threshold, item and form resizing, rubber band, arrows and
// Delete; the property pages round trip every field; Cancel leaves the label's bytes
// alone and OK hands the designed items over.
#include "FakeServices.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "barcode/BarcodeImpl_Code128.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/DocWriter.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "output/ui/ScreenDataDlg.h"
#include "output/ui/PrintCommands.h"
#include "output/ui/PrintDlg.h"
#include "output/ui/ScreenDataView.h"
#include "output/ui/WindowDataInputDlg.h"
#include "tests/model/DocRoundTrip.h"
#include "tests/output/OutputSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLocale>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Widget point of a point in the form's client area.
QPoint At(int x, int y)
{
    return QPoint(x + CScreenDataView::kFormOffset, y + CScreenDataView::kFormOffset + CScreenDataView::kCaptionHeight);
}

void Move(QWidget* widget, QPoint to, Qt::MouseButtons buttons)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(to), widget->mapToGlobal(QPointF(to)), Qt::NoButton, buttons,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

// Press, one move on the way and release, as a person drags.
void Drag(QWidget* widget, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mousePress(widget, Qt::LeftButton, modifiers, from);
    Move(widget, (from + to) / 2, Qt::LeftButton);
    Move(widget, to, Qt::LeftButton);
    QTest::mouseRelease(widget, Qt::LeftButton, modifiers, to);
}

QRect Box(const CSDGraph* item) { return QRect(item->m_nX, item->m_nY, item->m_nWidth, item->m_nHeight); }

void ReplaceText(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    TypeText(edit, text);
    QTest::keyClick(edit, Qt::Key_Return); // ends the edit as leaving it does
}

class ScreenDataDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        services.now = QDateTime(QDate(2026, 3, 7), QTime(10, 0));
        dialog = std::make_unique<CScreenDataDlg>();
        dialog->SetLabelData(&label);
        dialog->resize(900, 560);
        dialog->show();
        view = dialog->View();
        selector = ctl<QComboBox>(dialog.get(), 1084);
    }

    CSDGraph* Create(int tool, QPoint clientPoint)
    {
        dialog->findChild<QAction*>(QStringLiteral("cmd_%1").arg(tool))->trigger();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(clientPoint.x(), clientPoint.y()));
        return view->m_items.empty() ? nullptr : view->m_items.back().get();
    }

    QStringList Names() const
    {
        QStringList names;
        for (const auto& item : view->m_items)
            names << item->m_strName;
        return names;
    }

    QStringList SelectorEntries() const
    {
        QStringList entries;
        for (int i = 0; i < selector->count(); ++i)
            entries << selector->itemText(i);
        return entries;
    }

    FakeServices services;
    CLabelData label;
    std::unique_ptr<CScreenDataDlg> dialog;
    CScreenDataView* view = nullptr;
    QComboBox* selector = nullptr;
};

} // namespace

TEST_F(ScreenDataDlgTest, CreationNamesEachKindAndNeverRepeatsAName)
{
    CSDGraph* label1 = Create(SDToolStatic, {10, 10});
    ASSERT_NE(label1, nullptr);
    EXPECT_EQ(Box(label1), QRect(10, 10, 60, 20));
    EXPECT_EQ(label1->m_strText, QStringLiteral("Label"));
    EXPECT_EQ(view->GetTool(), SDToolSelect);
    EXPECT_TRUE(dialog->findChild<QAction*>(QStringLiteral("cmd_40543"))->isChecked());
    EXPECT_EQ(view->m_pCurrent, label1);

    Create(SDToolStatic, {10, 40});
    CSDGraph* text = Create(SDToolEdit, {100, 10});
    Create(SDToolCombo, {100, 50});
    CSDGraph* date = Create(SDToolDate, {100, 90});
    EXPECT_EQ(Names(), (QStringList{"Label1", "Label2", "Text1", "ComboBox1", "Date1"}));
    EXPECT_EQ(SelectorEntries(), Names());
    EXPECT_EQ(selector->currentText(), QStringLiteral("Date1"));
    EXPECT_EQ(date->m_strText, QStringLiteral("2026-3-7"));
    EXPECT_EQ(text->GetKind(), SDTextBox);

    // Deleting Label1 does not free its number: the counter goes on.
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(15, 15));
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(Create(SDToolStatic, {10, 70})->m_strName, QStringLiteral("Label3"));

    // A name taken by another item is skipped.
    view->m_items[1]->m_strName = QStringLiteral("Label4"); // Text1 renamed
    EXPECT_EQ(Create(SDToolStatic, {10, 100})->m_strName, QStringLiteral("Label5"));

    // A right click returns to the select tool without creating anything.
    dialog->findChild<QAction*>(QStringLiteral("cmd_40545"))->trigger();
    const size_t count = view->m_items.size();
    EXPECT_TRUE(dialog->findChild<QAction*>(QStringLiteral("cmd_40545"))->isChecked());
    QTest::mouseClick(view, Qt::RightButton, Qt::NoModifier, At(200, 200));
    EXPECT_EQ(view->GetTool(), SDToolSelect);
    EXPECT_TRUE(dialog->findChild<QAction*>(QStringLiteral("cmd_40543"))->isChecked());
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(200, 200));
    EXPECT_EQ(view->m_items.size(), count);
}

TEST_F(ScreenDataDlgTest, ClicksSelectShiftAddsAndEmptySpaceClears)
{
    CSDGraph* a = Create(SDToolStatic, {10, 10});
    CSDGraph* b = Create(SDToolEdit, {10, 60});
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(20, 15));
    EXPECT_EQ(view->m_selection, (std::vector<CSDGraph*>{a}));
    EXPECT_EQ(selector->currentText(), QStringLiteral("Label1"));
    EXPECT_EQ(dialog->CurrentPage()->objectName(), PageName(220));
    EXPECT_TRUE(dialog->CurrentPage()->isVisible());

    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, At(20, 65));
    EXPECT_EQ(view->m_selection, (std::vector<CSDGraph*>{a, b}));
    EXPECT_EQ(view->m_pCurrent, b);
    EXPECT_EQ(dialog->CurrentPage()->objectName(), PageName(218));

    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(300, 200));
    EXPECT_TRUE(view->m_selection.empty());
    EXPECT_EQ(view->m_pCurrent, nullptr);
    EXPECT_EQ(selector->currentIndex(), -1);
    EXPECT_EQ(dialog->CurrentPage()->objectName(), PageName(217));
    EXPECT_TRUE(dialog->CurrentPage()->isVisible());
}

TEST_F(ScreenDataDlgTest, SmallDragsAreClicksLargerOnesMoveTheWholeSelection)
{
    CSDGraph* a = Create(SDToolStatic, {10, 10});
    CSDGraph* b = Create(SDToolStatic, {10, 60});
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, At(20, 15));

    Drag(view, At(20, 15), At(23, 18));
    EXPECT_EQ(Box(a).topLeft(), QPoint(10, 10));
    EXPECT_EQ(Box(b).topLeft(), QPoint(10, 60));

    Drag(view, At(20, 15), At(50, 19));
    EXPECT_EQ(Box(a), QRect(40, 14, 60, 20));
    EXPECT_EQ(Box(b), QRect(40, 64, 60, 20));
}

TEST_F(ScreenDataDlgTest, HandlesResizeTheItemAndNegativeSizesFlip)
{
    CSDGraph* item = Create(SDToolStatic, {50, 50}); // 60 x 20, selected
    item->UpdateHandles();
    const QPoint right = item->m_handles[2].center();
    Drag(view, At(right.x(), right.y()), At(150, right.y()));
    EXPECT_EQ(Box(item), QRect(50, 50, 100, 20));

    // A travel under the threshold is ignored.
    item->UpdateHandles();
    const QPoint bottom = item->m_handles[3].center();
    Drag(view, At(bottom.x(), bottom.y()), At(bottom.x(), bottom.y() + 3));
    EXPECT_EQ(Box(item), QRect(50, 50, 100, 20));

    // The left edge dragged past the right one: the box turns round.
    item->UpdateHandles();
    const QPoint left = item->m_handles[0].center();
    Drag(view, At(left.x(), left.y()), At(170, left.y() + 1));
    EXPECT_EQ(Box(item), QRect(150, 50, 20, 20));
}

TEST_F(ScreenDataDlgTest, FormHandlesResizeTheFormDownToItsMinimum)
{
    const QPoint offset(CScreenDataView::kFormOffset, CScreenDataView::kFormOffset);
    const QPoint corner = QPoint(view->m_nFormWidth - 2, view->m_nFormHeight - 2) + offset;
    Drag(view, corner, QPoint(420, 260) + offset);
    EXPECT_EQ(QSize(view->m_nFormWidth, view->m_nFormHeight), QSize(420, 260));
    EXPECT_EQ(ctl<QLineEdit>(dialog.get(), 1086)->text(), QStringLiteral("420"));

    const QPoint right = QPoint(view->m_nFormWidth - 2, (view->m_nFormHeight - 8) / 2 + 4) + offset;
    Drag(view, right, QPoint(300, 10) + offset);
    EXPECT_EQ(QSize(view->m_nFormWidth, view->m_nFormHeight), QSize(300, 260));

    const QPoint corner2 = QPoint(view->m_nFormWidth - 2, view->m_nFormHeight - 2) + offset;
    Drag(view, corner2, QPoint(50, 10) + offset);
    EXPECT_EQ(QSize(view->m_nFormWidth, view->m_nFormHeight), QSize(100, 30));
}

TEST_F(ScreenDataDlgTest, RubberBandSelectsOnlyWhollyCoveredItems)
{
    CSDGraph* a = Create(SDToolStatic, {20, 20});
    CSDGraph* b = Create(SDToolStatic, {20, 60});
    Create(SDToolStatic, {200, 20});
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(300, 200));

    // Covers a and b wholly, the third only in part.
    Drag(view, At(10, 10), At(230, 90));
    EXPECT_EQ(view->m_selection, (std::vector<CSDGraph*>{a, b}));
    EXPECT_EQ(view->m_pCurrent, b);
    EXPECT_EQ(selector->currentText(), QStringLiteral("Label2"));
}

TEST_F(ScreenDataDlgTest, ArrowsNudgeAndDeleteRemovesTheSelection)
{
    CSDGraph* a = Create(SDToolStatic, {20, 20});
    Create(SDToolStatic, {20, 60});
    CSDGraph* c = Create(SDToolStatic, {200, 20});
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(25, 25));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, At(205, 25));
    for (auto key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Down, Qt::Key_Up})
        QTest::keyClick(view, key);
    EXPECT_EQ(Box(a).topLeft(), QPoint(21, 21));
    EXPECT_EQ(Box(c).topLeft(), QPoint(201, 21));

    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(Names(), QStringList{"Label2"});
    EXPECT_EQ(SelectorEntries(), QStringList{"Label2"});
    EXPECT_EQ(view->m_pCurrent, nullptr);

    // Without a current item the keys do nothing.
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_EQ(Names(), QStringList{"Label2"});
    EXPECT_EQ(Box(view->m_items[0].get()).topLeft(), QPoint(20, 60));
}

TEST_F(ScreenDataDlgTest, PagesRoundTripEveryField)
{
    auto* text = static_cast<CEditSDGraph*>(Create(SDToolEdit, {10, 10}));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1090), QStringLiteral("客户"));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1079), QStringLiteral("12"));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1080), QStringLiteral("34"));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1081), QStringLiteral("156"));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1082), QStringLiteral("27"));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1083), QStringLiteral("默认值"));
    ctl<QCheckBox>(dialog->CurrentPage(), 1004)->click();
    EXPECT_EQ(text->m_strName, QStringLiteral("客户"));
    EXPECT_EQ(Box(text), QRect(12, 34, 156, 27));
    EXPECT_EQ(text->m_strText, QStringLiteral("默认值"));
    EXPECT_TRUE(text->m_bMultiLine);
    EXPECT_EQ(SelectorEntries(), QStringList{"客户"});

    auto* combo = static_cast<CComboSDGraph*>(Create(SDToolCombo, {10, 100}));
    QWidget* comboPage = dialog->CurrentPage();
    for (const QString& entry : {QStringLiteral("甲"), QString(), QStringLiteral("丙")}) {
        services.OnNextDialog([entry](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), QStringLiteral("项目"));
            ReplaceText(ctl<QLineEdit>(&d, 1079), entry);
            ctl<QPushButton>(&d, 1)->click();
        });
        ctl<QPushButton>(comboPage, 1078)->click();
    }
    EXPECT_EQ(combo->m_entries, (QStringList{"甲", "", "丙"}));
    auto* list = ctl<QListWidget>(comboPage, 1089);
    ctl<QPushButton>(comboPage, 1091)->click(); // nothing selected: nothing removed
    EXPECT_EQ(combo->m_entries.size(), 3);
    list->setCurrentRow(1);
    ctl<QPushButton>(comboPage, 1091)->click();
    EXPECT_EQ(combo->m_entries, (QStringList{"甲", "丙"}));

    auto* date = Create(SDToolDate, {10, 150});
    auto* picker = ctl<QDateEdit>(dialog->CurrentPage(), 1088);
    EXPECT_EQ(picker->date(), QDate(2026, 3, 7));
    picker->setDate(QDate(2025, 12, 31));
    EXPECT_EQ(date->m_strText, QStringLiteral("2025-12-31"));

    // Back to the first item: the page shows what was applied.
    selector->setCurrentIndex(0);
    Q_EMIT selector->activated(0);
    EXPECT_EQ(view->m_pCurrent, text);
    EXPECT_EQ(ctl<QLineEdit>(dialog->CurrentPage(), 1081)->text(), QStringLiteral("156"));
    EXPECT_TRUE(ctl<QCheckBox>(dialog->CurrentPage(), 1004)->isChecked());

    // The form page, with no current item.
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(380, 200));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1085), QStringLiteral("请输入"));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1086), QStringLiteral("400"));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1087), QStringLiteral("250"));
    EXPECT_EQ(view->m_strCaption, QStringLiteral("请输入"));
    EXPECT_EQ(QSize(view->m_nFormWidth, view->m_nFormHeight), QSize(400, 250));
}

TEST_F(ScreenDataDlgTest, AFormSizeBeyondAScreenIsRefused)
{
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(380, 200));
    auto* width = ctl<QLineEdit>(dialog->CurrentPage(), 1086);
    auto* height = ctl<QLineEdit>(dialog->CurrentPage(), 1087);
    for (const char* typed : {"999999999999999999999", "4097", "0"}) {
        services.messages.clear();
        ReplaceText(width, QString::fromLatin1(typed));
        ReplaceText(height, QString::fromLatin1(typed));
        EXPECT_EQ(services.MessageTexts(), QStringList(2, QStringLiteral("窗口的宽度和高度必须在1到4096之间！")))
            << typed;
        EXPECT_EQ(QSize(view->m_nFormWidth, view->m_nFormHeight), QSize(500, 300)) << typed;
        EXPECT_EQ(width->text(), QStringLiteral("500"));
    }
    services.messages.clear();
    ReplaceText(width, QStringLiteral("4096"));
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(view->m_nFormWidth, 4096);
    // The largest form still draws, its edge handles where the form ends.
    view->repaint();
    ctl<QPushButton>(dialog.get(), 1)->click();
    EXPECT_EQ(label.m_nFormWidth, 4096);
    EXPECT_EQ(label.m_nFormHeight, 300);
    // The file keeps the largest form the designer takes, and opens it without a word.
    CLabelData read;
    CDocReaderV1_0 reader;
    reader.m_pLabelData = &read;
    reader.ReadDocumentData(DocumentBytes(label));
    EXPECT_TRUE(reader.GetWarnings().isEmpty());
    EXPECT_EQ(read.m_nFormWidth, 4096);
}

// An item's typed place and size stay in the range a label file keeps, sizes not
// negative, so what is saved opens as it was.
TEST_F(ScreenDataDlgTest, ItemPlacesAndSizesStayInTheFilesRange)
{
    CSDGraph* item = Create(SDToolStatic, {10, 10});
    ASSERT_NE(item, nullptr);
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1079), QStringLiteral("99999999999"));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1080), QStringLiteral("-2147483648"));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1081), QStringLiteral("-5"));
    EXPECT_EQ(Box(item), QRect(10000, -10000, 0, item->m_nHeight));
}

TEST_F(ScreenDataDlgTest, ClashingOrEmptyNamesAreRefusedAndRenamesReachTheSelector)
{
    Create(SDToolStatic, {10, 10});
    CSDGraph* second = Create(SDToolStatic, {10, 50});
    auto* name = ctl<QLineEdit>(dialog->CurrentPage(), 1090);
    for (const QString& refused : {QStringLiteral("Label1"), QString()}) {
        ReplaceText(name, refused);
        EXPECT_EQ(second->m_strName, QStringLiteral("Label2"));
        EXPECT_EQ(name->text(), QStringLiteral("Label2"));
    }
    EXPECT_TRUE(services.messages.empty());

    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(15, 15));
    ReplaceText(ctl<QLineEdit>(dialog->CurrentPage(), 1090), QStringLiteral("Name"));
    EXPECT_EQ(SelectorEntries(), (QStringList{"Name", "Label2"}));
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(300, 200));
    selector->setCurrentIndex(0);
    Q_EMIT selector->activated(0);
    EXPECT_EQ(view->m_pCurrent, view->m_items[0].get());
    EXPECT_EQ(view->m_pCurrent->m_strName, QStringLiteral("Name"));
}

TEST(ScreenDataDlg, CancelLeavesTheLabelsBytesAndOkHandsTheItemsOver)
{
    FakeServices services;
    services.now = QDateTime(QDate(2026, 3, 7), QTime(10, 0));
    CLabelData label;
    auto combo = std::make_unique<CComboSDGraph>();
    combo->m_strName = QStringLiteral("ComboBox1");
    combo->m_entries = QStringList{"a", "b"};
    label.m_formItems.push_back(std::move(combo));
    const QByteArray before = DocumentBytes(label);

    const auto edit = [](QDialog& d) {
        auto* view = static_cast<CScreenDataDlg&>(d).View();
        d.findChild<QAction*>(QStringLiteral("cmd_40545"))->trigger();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(200, 100));
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(15, 15));
        QTest::keyClick(view, Qt::Key_Right);
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(380, 200));
        ReplaceText(ctl<QLineEdit>(&d, 1085), QStringLiteral("x"));
    };
    services.OnNextDialog([&](QDialog& d) {
        edit(d);
        ctl<QPushButton>(&d, 2)->click();
    });
    EXPECT_FALSE(EditScreenDataForm(label, nullptr));
    EXPECT_EQ(DocumentBytes(label), before);

    services.OnNextDialog([&](QDialog& d) {
        edit(d);
        ctl<QPushButton>(&d, 1)->click();
    });
    EXPECT_TRUE(EditScreenDataForm(label, nullptr));
    ASSERT_EQ(label.m_formItems.size(), 2u);
    EXPECT_EQ(label.m_formItems[0]->m_strName, QStringLiteral("ComboBox1"));
    EXPECT_EQ(static_cast<CComboSDGraph&>(*label.m_formItems[0]).m_entries, (QStringList{"a", "b"}));
    EXPECT_EQ(label.m_formItems[0]->m_nX, 1);
    EXPECT_EQ(label.m_formItems[1]->m_strName, QStringLiteral("Text1"));
    EXPECT_EQ(label.m_strFormCaption, QStringLiteral("x"));
    EXPECT_NE(DocumentBytes(label), before);
}

TEST(ScreenDataDlg, OkKeepsAValueTypedIntoThePageWithoutLeavingTheEdit)
{
    FakeServices services;
    CLabelData label;
    services.OnNextDialog([&](QDialog& d) {
        auto* caption = ctl<QLineEdit>(&d, 1085);
        caption->selectAll();
        TypeText(caption, QStringLiteral("入库单")); // no Return, no focus change
        ctl<QPushButton>(&d, 1)->click();
    });
    EXPECT_TRUE(EditScreenDataForm(label, nullptr));
    EXPECT_EQ(label.m_strFormCaption, QStringLiteral("入库单"));
}

// A form designed here is what the print-time dialog shows: the values typed into
// it for each label come out of the printed PDF.
TEST(ScreenDataDlg, ADesignedFormAsksForTheValuesThatArePrinted)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FakeServices services;
    auto label = MakeGridLabel(1, 2);
    label->m_fLabelWidth = 60;
    label->m_fLabelHeight = 40;
    label->m_nPrintCount = 2;
    label->m_strTitle = QStringLiteral("lots.vmk");
    CBarcodeGraph& barcode = AddSerialBarcode(*label, "B", 1, 5, 10);
    auto* settings = barcode.GetImpl()->GetSettings();
    settings->m_fModuleWidth = 15.0f;
    settings->m_bandList.clear();
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandWindowData;
    band->m_strWindowItem = QStringLiteral("Lot");
    settings->m_bandList.push_back(std::move(band));

    services.OnNextDialog([](QDialog& d) {
        auto* view = static_cast<CScreenDataDlg&>(d).View();
        d.findChild<QAction*>(QStringLiteral("cmd_40544"))->trigger();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(10, 10));
        d.findChild<QAction*>(QStringLiteral("cmd_40545"))->trigger();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(80, 10));
        ReplaceText(ctl<QLineEdit>(static_cast<CScreenDataDlg&>(d).CurrentPage(), 1090), QStringLiteral("Lot"));
        ctl<QPushButton>(&d, 1)->click();
    });
    ASSERT_TRUE(EditScreenDataForm(*label, nullptr));

    const QString pdf = dir.filePath("out.pdf");
    services.files.push_back(dir.filePath("out"));
    services.OnNextDialog([](QDialog& d) {
        auto* printers = ctl<QComboBox>(&d, 1001);
        printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
        ctl<QPushButton>(&d, 1)->click();
    });
    for (const QString& typed : {QStringLiteral("LOT-A7"), QStringLiteral("LOT-B8")}) {
        services.OnNextDialog([typed](QDialog& d) {
            auto* field = d.findChild<QLineEdit*>(QStringLiteral("field_Lot"));
            ASSERT_NE(field, nullptr);
            EXPECT_EQ(field->geometry(), QRect(80, 10, 120, 25));
            field->setText(typed);
            ctl<QPushButton>(&d, 1)->click();
        });
    }
    RunPrintDialog(*label, nullptr);
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(" ").toStdString();
    EXPECT_TRUE(services.dialogs.empty());
    ASSERT_TRUE(QFileInfo::exists(pdf));

    constexpr int dpi = 200;
    const std::vector<QImage> pages = RasterisePdf(pdf, dpi);
    ASSERT_EQ(pages.size(), 1u);
    const QImage& page = pages[0];
    QStringList read;
    for (int c = 0; c < 2; ++c) {
        const QRect cell(int((10 + 65.0 * c) * dpi / 25.4), int(10.0 * dpi / 25.4), int(60 * dpi / 25.4),
                         int(40 * dpi / 25.4));
        if (const auto value = ReadCode128(page.copy(cell)))
            read << *value;
    }
    EXPECT_EQ(read, (QStringList{"LOT-A7", "LOT-B8"}));
}

// A date item takes the designer's date (written without leading zeros, "2024-3-5"):
// the print-time form shows it on any later day, and it comes out of the PDF.
TEST(ScreenDataDlg, ADesignedDateIsTheFormsDateInPrint)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FakeServices services;
    services.now = QDateTime(QDate(2024, 3, 5), QTime(9, 0));
    auto label = MakeGridLabel(1, 1);
    label->m_fLabelWidth = 80;
    label->m_fLabelHeight = 30;
    label->m_nPrintCount = 1;
    std::vector<std::unique_ptr<CDataBand>> bands;
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandWindowData;
    bands.push_back(std::move(band));
    AddText(*label, "T", std::move(bands));

    // A date item made with a click, as it comes: named and dated by the designer.
    services.OnNextDialog([](QDialog& d) {
        auto* view = static_cast<CScreenDataDlg&>(d).View();
        d.findChild<QAction*>(QStringLiteral("cmd_40547"))->trigger();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(80, 10));
        d.findChild<QAction*>(QStringLiteral("cmd_40544"))->trigger();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(10, 10));
        ctl<QPushButton>(&d, 1)->click();
    });
    ASSERT_TRUE(EditScreenDataForm(*label, nullptr));
    ASSERT_EQ(label->m_formItems.size(), 2u);
    EXPECT_EQ(label->m_formItems[0]->m_strText, QStringLiteral("2024-3-5"));
    static_cast<CTextGraph&>(*label->m_objects.front()).m_bands.front()->m_strWindowItem =
        label->m_formItems[0]->m_strName;

    // Printed on a later day.
    services.now = QDateTime(QDate(2026, 12, 7), QTime(9, 0));
    const QString pdf = dir.filePath("made.pdf");
    services.files.push_back(pdf);
    services.OnNextDialog([](QDialog& d) {
        auto* printers = ctl<QComboBox>(&d, 1001);
        printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
        ctl<QPushButton>(&d, 1)->click();
    });
    services.OnNextDialog([](QDialog& d) {
        auto* date = d.findChild<QDateEdit*>();
        ASSERT_NE(date, nullptr);
        EXPECT_EQ(date->date(), QDate(2024, 3, 5));
        ctl<QPushButton>(&d, 1)->click();
    });
    RunPrintDialog(*label, nullptr);
    EXPECT_TRUE(services.dialogs.empty());
    const QStringList pages = PdfPageTexts(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("2024-03-05"))) << pages[0].toStdString();
}

TEST(ScreenDataDlg, FormDatesAreReadAsTheDesignerAndTheLocaleWriteThem)
{
    for (const char* text : {"2024-3-5", "2024-03-05", " 2024-3-05 ", "2024/3/5", "2024.03.05"})
        EXPECT_EQ(ReadFormDate(QString::fromLatin1(text)), QDate(2024, 3, 5)) << text;
    EXPECT_EQ(ReadFormDate(QStringLiteral("2024年3月5日")), QDate(2024, 3, 5));
    EXPECT_EQ(ReadFormDate(QLocale::system().toString(QDate(2024, 3, 5), QLocale::LongFormat)), QDate(2024, 3, 5));
    for (const char* text : {"", "Date", "2024-13-5", "2024-2-30"})
        EXPECT_FALSE(ReadFormDate(QString::fromLatin1(text)).isValid()) << text;
}

// The designer with a few items, grabbed for a person to look at.
TEST_F(ScreenDataDlgTest, ShowcaseDesigner)
{
    Create(SDToolStatic, {20, 20})->m_strText = QStringLiteral("客户名称:");
    Create(SDToolEdit, {100, 18});
    Create(SDToolStatic, {20, 60})->m_strText = QStringLiteral("等级:");
    static_cast<CComboSDGraph*>(Create(SDToolCombo, {100, 58}))->m_entries = QStringList{"A", "B"};
    Create(SDToolStatic, {20, 100})->m_strText = QStringLiteral("日期:");
    Create(SDToolDate, {100, 98});
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, At(105, 60));
    QTest::qWait(50);
    QTemporaryDir temp;
    const QString env = qEnvironmentVariable("VC_SHOWCASE_DIR");
    const QString dir = env.isEmpty() ? temp.path() : env;
    QDir().mkpath(dir);
    const QImage image = dialog->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(dir + QStringLiteral("/screen-data-designer.png")));
}
