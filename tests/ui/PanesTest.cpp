// The docking panes in the running program: the object pane follows the active
// label's canvas and turns its items into selections and bound objects; the resource
// and template libraries work on folders on disk.
#include "SessionTestSupport.h"
#include "TestSupport.h"
#include "app/MainFrame.h"
#include "app/ObjectWnd.h"
#include "app/ResourceWnd.h"
#include "app/TemplateWnd.h"
#include "model/DocLoader.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "output/ui/PreviewFrame.h"
#include "platform/ImageHolder.h"
#include "model/LabelLimits.h"
#include "platform/ScreenDpi.h"
#include "app/SysOptionsDlg.h"
#include "app/Ctl.h"
#include "app/controls/ColourPicker.h"
#include "UiTestSupport.h"
#include "app/VellumcraftApp.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "editor/ObjectClipboard.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class PanesTest : public SessionTest
{
protected:
    void SetUp() override
    {
        qputenv("VELLUMCRAFT_HOME", m_dir.path().toUtf8());
        SessionTest::SetUp();
    }
    void TearDown() override
    {
        SessionTest::TearDown();
        qunsetenv("VELLUMCRAFT_HOME");
    }

    CObjectWnd& ObjectPane() const
    {
        return *static_cast<CObjectWnd*>(frame->Pane(PaneObjects)->widget());
    }
    CObjectTreeCtrl& Tree() const { return *ObjectPane().ShownTree(); }
    QStringList Children(QTreeWidgetItem* item) const
    {
        QStringList texts;
        for (int i = 0; i < item->childCount(); ++i)
            texts << item->child(i)->text(0);
        return texts;
    }
    QStringList Objects() const { return Children(Tree().Group(NodeObjectGroup)); }

    // Drags the item of the shown tree to a canvas point as a mouse would, in steps.
    void DragToCanvas(QTreeWidgetItem* item, QPoint canvasPoint, int firstStep = 3)
    {
        CObjectTreeCtrl& tree = Tree();
        tree.scrollToItem(item);
        QWidget* viewport = tree.viewport();
        const QPoint from = tree.visualItemRect(item).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from + QPoint(firstStep, 0));
        const QPoint to = viewport->mapFromGlobal(View().mapToGlobal(canvasPoint));
        QTest::mouseMove(viewport, to);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        Settle();
    }
    QMenu* OpenMenu() const
    {
        for (QMenu* menu : Window().findChildren<QMenu*>())
            if (menu->isVisible())
                return menu;
        return nullptr;
    }

};

TEST_F(PanesTest, ObjectGroupFollowsTheCanvasTextsAndBarcodesOnly)
{
    ASSERT_NE(ObjectPane().ShownTree(), nullptr);
    QStringList top;
    for (int i = 0; i < Tree().topLevelItemCount(); ++i)
        top << Tree().topLevelItem(i)->text(0);
    EXPECT_EQ(top, (QStringList{"日期", "时间", "窗口数据", "命名子串", "数据库", "标签对象"}));
    EXPECT_EQ(Objects(), QStringList{"<未创建>"});

    ASSERT_TRUE(Trigger(CmdToolRectangle));
    QTest::mousePress(&View(), Qt::LeftButton, {}, At(5, 5));
    QTest::mouseMove(&View(), At(20, 8));
    QTest::mouseRelease(&View(), Qt::LeftButton, {}, At(20, 8));
    Create(CmdToolText, 10, 10);
    Create(CmdToolBarcode, 10, 20);
    ASSERT_EQ(View().ObjectList().size(), 3u);
    const QString text = View().ObjectList()[1]->GetObject()->m_strName;
    const QString barcode = Last()->GetObject()->m_strName;
    EXPECT_EQ(Objects(), (QStringList{text, barcode}));
    // Each object lists its bands.
    QTreeWidgetItem* barcodeItem = Tree().Group(NodeObjectGroup)->child(1);
    EXPECT_EQ(Children(barcodeItem), QStringList{"12345678"});

    // A rename shows without a new item; a deleted object's item goes.
    Last()->GetObject()->m_strName = QStringLiteral("条码甲");
    View().SelectObject(Last());
    EXPECT_EQ(Tree().Group(NodeObjectGroup)->child(1), barcodeItem);
    EXPECT_EQ(barcodeItem->text(0), QStringLiteral("条码甲"));
    ASSERT_TRUE(Trigger(CmdEditDelete));
    EXPECT_EQ(Objects(), QStringList{text});
    // Undo brings it back at the end; the band item stands for the band again.
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(Objects(), (QStringList{text, QStringLiteral("条码甲")}));
    QTreeWidgetItem* band = Tree().Group(NodeObjectGroup)->child(1)->child(0);
    auto& barcodeObject = static_cast<CBarcodeGraph&>(*Last()->GetObject());
    EXPECT_EQ(Tree().BandOf(band), barcodeObject.GetImpl()->GetSettings()->m_bandList[0].get());

    // Choosing an item selects its object; a band item selects the band's object.
    Tree().setCurrentItem(Tree().Group(NodeObjectGroup)->child(0));
    EXPECT_EQ(View().CurrentObject(), View().ObjectList()[1].get());
    EXPECT_EQ(View().GetSelection().size(), 1u);
    Tree().setCurrentItem(band);
    EXPECT_EQ(View().CurrentObject(), Last());

    // Only a rectangle left: the placeholder again.
    View().SelectAll();
    View().SelectObject(View().ObjectList()[0].get());
    for (int i = 0; i < 2; ++i) {
        View().SelectObject(Last());
        ASSERT_TRUE(Trigger(CmdEditDelete));
    }
    EXPECT_EQ(Objects(), QStringList{"<未创建>"});
}

TEST_F(PanesTest, AHostileLabelOpensWithOneMessageAndAShortenedRow)
{
    const QString huge(10'000'000, u'N');
    CLabelData label;
    label.m_nRows = 2147483647;
    label.m_fPaperWidth = 1e20f;
    auto text = std::make_unique<CTextGraph>();
    text->m_strName = huge;
    text->m_strText = huge;
    text->m_fWidth = 1e20f;
    auto band = std::make_unique<CDataBand>();
    band->m_strValue = huge;
    text->m_bands.push_back(std::move(band));
    label.m_objects.push_back(std::move(text));
    CDocWriterV1_0 writer;
    writer.m_strPath = m_dir.filePath("hostile.vmk");
    writer.m_pLabelData = &label;
    writer.WriteDocument();

    QElapsedTimer timer;
    timer.start();
    services.files = {writer.m_strPath};
    ASSERT_TRUE(Trigger(CmdFileOpen));
    Settle();
    EXPECT_LT(timer.elapsed(), 60000); // a hang, not the speed of a loaded machine
    const QString file = QDir::toNativeSeparators(writer.m_strPath);
    EXPECT_EQ(services.MessageTexts(),
              QStringList{QStringLiteral("文件“%1”中有 3 个数值超出允许范围，已改为允许的值。\n"
                                         "文件“%1”中有 3 段文字长于 65536 个字符，只保留了前 65536 个字符。")
                              .arg(file)});
    EXPECT_EQ(frame->ActiveLabelWindow()->LabelData().m_nRows, kMaxLabelsAcross);
    QTreeWidgetItem* row = Tree().Group(NodeObjectGroup)->child(0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(0), QString(100, u'N') + QStringLiteral("…"));
    ASSERT_EQ(row->childCount(), 1);
    EXPECT_EQ(row->child(0)->text(0), QString(100, u'N') + QStringLiteral("…"));
    // The row still selects its object.
    Tree().setCurrentItem(row);
    EXPECT_EQ(View().GetSelection().size(), 1u);
}

TEST_F(PanesTest, APictureThatDoesNotDecodeIsToldOnceForCanvasAndPreview)
{
    // Its header reads, so the label opens quietly; its pixels stop short.
    QImage noisy(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgb(x * 5 % 256, y * 11 % 256, (x + y) % 256));
    const QByteArray png = PngOf(noisy);
    CLabelData label;
    auto image = std::make_unique<CImageGraph>();
    image->m_strName = QStringLiteral("Photo");
    image->m_fX = image->m_fY = 5;
    image->m_fWidth = 30;
    image->m_fHeight = 20;
    image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(png.left(png.size() / 4)));
    label.m_objects.push_back(std::move(image));
    CDocWriterV1_0 writer;
    writer.m_strPath = m_dir.filePath("cut.vmk");
    writer.m_pLabelData = &label;
    writer.WriteDocument();

    services.files = {writer.m_strPath};
    ASSERT_TRUE(Trigger(CmdFileOpen));
    View().repaint();
    Settle();
    const QStringList told{QStringLiteral("一张 300 × 200 像素的图片无法解码，显示为占位图。")};
    EXPECT_EQ(services.MessageTexts(), told);
    // Repainted, zoomed, previewed: not told again.
    ASSERT_TRUE(Trigger(CmdZoomIn));
    View().repaint();
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    CPreviewFrame* preview = OpenedPreview();
    ASSERT_NE(preview, nullptr);
    const std::unique_ptr<CPreviewFrame> owner(preview);
    ASSERT_EQ(preview->LabelData().m_objects.size(), 1u);
    preview->grab();
    Settle();
    EXPECT_EQ(services.MessageTexts(), told);
}

TEST_F(PanesTest, EachLabelWindowHasItsOwnTreeAndClosingDropsIt)
{
    CObjectTreeCtrl* first = ObjectPane().ShownTree();
    LabelDocumentWindow* firstWindow = frame->ActiveLabelWindow();
    NewLabel();
    CObjectTreeCtrl* second = ObjectPane().ShownTree();
    EXPECT_NE(first, second);
    EXPECT_EQ(ObjectPane().Tree(frame->ActiveLabelWindow()), second);
    frame->MdiArea()->activatePreviousSubWindow();
    Settle();
    EXPECT_EQ(frame->ActiveLabelWindow(), firstWindow);
    EXPECT_EQ(ObjectPane().ShownTree(), first);
    ASSERT_TRUE(Trigger(CmdFileClose));
    EXPECT_EQ(ObjectPane().Tree(firstWindow), nullptr);
}

TEST_F(PanesTest, GroupsListTheLabelsBindingsAndSelectWhatUsesThem)
{
    CLabelData& label = Window().LabelData();
    auto source = CDSBase::Create(0);
    source->m_strName = QStringLiteral("订单");
    source->m_selectedFields = QStringList{"编号", "客户"};
    source->m_sampleValues = QStringList{"A-17", "王五"};
    label.m_dataSources.push_back(std::move(source));
    for (int kind : {SDStaticText, SDTextBox}) {
        auto item = CreateSDGraph(kind);
        item->m_strName = kind == SDTextBox ? QStringLiteral("姓名") : QStringLiteral("标题");
        item->m_strText = QStringLiteral("张三");
        label.m_formItems.push_back(std::move(item));
    }
    for (int code : {PaneScreenDataChanged, PaneDataSourcesChanged})
        Q_EMIT frame->objectPaneUpdate(&Window(), code);
    // Static texts give no window data.
    EXPECT_EQ(Children(Tree().Group(NodeWindowDataGroup)), QStringList{"姓名"});
    QTreeWidgetItem* sourceItem = Tree().Group(NodeDatabaseGroup)->child(0);
    EXPECT_EQ(sourceItem->text(0), QStringLiteral("订单"));
    EXPECT_EQ(Children(sourceItem), (QStringList{"编号", "客户"}));

    // A field dropped on the canvas offers the drop menu; 创建为文本 makes a text bound
    // to it, showing the sample, where it was dropped.
    DragToCanvas(sourceItem->child(1), At(20, 15));
    QMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    QStringList entries;
    for (QAction* action : menu->actions())
        entries << action->text();
    EXPECT_EQ(entries, (QStringList{"创建为文本", "创建为条码", "", "取消"}));
    menu->close();
    const size_t history = View().UndoManager().UndoCount();
    ASSERT_TRUE(Trigger(CmdCreateTextFromDrop));
    ASSERT_EQ(View().ObjectList().size(), 1u);
    const auto& text = static_cast<CTextGraph&>(*Last()->GetObject());
    EXPECT_EQ(text.m_strText, QStringLiteral("王五"));
    ASSERT_EQ(text.m_bands.size(), 1u);
    EXPECT_EQ(text.m_bands[0]->m_nKind, BandDatabase);
    EXPECT_EQ(text.m_bands[0]->m_strDataSource, QStringLiteral("订单"));
    EXPECT_EQ(text.m_bands[0]->m_strFieldName, QStringLiteral("客户"));
    EXPECT_NEAR(text.GetX(), 20, 0.6);
    EXPECT_NEAR(text.GetY(), 15, 0.6);
    EXPECT_GT(View().UndoManager().UndoCount(), history);
    EXPECT_EQ(Objects(), QStringList{text.m_strName});
    // One step takes it away and brings it back.
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_TRUE(View().ObjectList().empty());
    ASSERT_TRUE(Trigger(CmdEditRedo));
    ASSERT_EQ(View().ObjectList().size(), 1u);

    // A window-data field made a barcode; with no sample the barcode encodes 12345678.
    label.m_formItems[1]->m_strText.clear();
    DragToCanvas(Tree().Group(NodeWindowDataGroup)->child(0), At(30, 30));
    ASSERT_TRUE(Trigger(CmdCreateBarcodeFromDrop));
    auto& barcode = static_cast<CBarcodeGraph&>(*Last()->GetObject());
    const CBarcodeSettings& settings = *barcode.GetImpl()->GetSettings();
    EXPECT_EQ(settings.m_strContent, QStringLiteral("12345678"));
    EXPECT_EQ(settings.m_bandList[0]->m_nKind, BandWindowData);
    EXPECT_EQ(settings.m_bandList[0]->m_strWindowItem, QStringLiteral("姓名"));
    EXPECT_GT(barcode.GetWidth(), 0);

    // The date group makes a date band from the first template.
    DragToCanvas(Tree().Group(NodeDateGroup), At(10, 40));
    ASSERT_TRUE(Trigger(CmdCreateTextFromDrop));
    auto& date = static_cast<CTextGraph&>(*Last()->GetObject());
    EXPECT_EQ(date.m_bands[0]->m_nKind, BandDate);
    EXPECT_EQ(date.m_bands[0]->m_strDateTimeFormat, CGlobalSettings::GetInstance()->m_dateTemplates.value(0));

    // Choosing a field selects every object bound to it, and only those.
    Tree().setCurrentItem(sourceItem->child(1));
    ASSERT_EQ(View().GetSelection().size(), 1u);
    EXPECT_EQ(View().CurrentObject(), View().ObjectList()[0].get());
    Tree().setCurrentItem(Tree().Group(NodeWindowDataGroup)->child(0));
    EXPECT_EQ(View().CurrentObject(), View().ObjectList()[1].get());
    Tree().setCurrentItem(Tree().Group(NodeDateGroup));
    EXPECT_EQ(View().CurrentObject(), Last());
    Tree().setCurrentItem(Tree().Group(NodeTimeGroup));
    EXPECT_TRUE(View().GetSelection().empty());
}

TEST_F(PanesTest, OnlyBindingItemsDragAndOnlyFromThreePixels)
{
    auto item = CreateSDGraph(SDTextBox);
    item->m_strName = QStringLiteral("姓名");
    Window().LabelData().m_formItems.push_back(std::move(item));
    Q_EMIT frame->objectPaneUpdate(&Window(), PaneScreenDataChanged);

    // A group that binds nothing, and a move of two pixels, start no drag.
    DragToCanvas(Tree().Group(NodeDatabaseGroup), At(20, 15));
    EXPECT_EQ(OpenMenu(), nullptr);
    CObjectTreeCtrl& tree = Tree();
    QTreeWidgetItem* field = tree.Group(NodeWindowDataGroup)->child(0);
    const QPoint from = tree.visualItemRect(field).center();
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(tree.viewport(), from + QPoint(2, 2));
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, from + QPoint(2, 2));
    EXPECT_EQ(OpenMenu(), nullptr);
    // Dropped back onto the tree: nothing.
    DragToCanvas(field, View().mapFromGlobal(tree.viewport()->mapToGlobal(from + QPoint(0, 20))));
    EXPECT_EQ(OpenMenu(), nullptr);
    DragToCanvas(field, At(20, 15));
    ASSERT_NE(OpenMenu(), nullptr);
    OpenMenu()->close();
    ASSERT_TRUE(Trigger(CmdDropCancel));
    EXPECT_TRUE(View().ObjectList().empty());
}

TEST_F(PanesTest, DoubleClickOpensTheNamedSubstringsAndThePropertyDialog)
{
    auto substring = std::make_unique<CDataBand>();
    substring->m_strName = QStringLiteral("批号");
    Window().LabelData().m_namedSubstrings.push_back(std::move(substring));
    Q_EMIT frame->objectPaneUpdate(&Window(), PaneNamedSubstringsChanged);
    QTreeWidgetItem* item = Tree().Group(NodeNamedSubstringGroup)->child(0);
    ASSERT_EQ(item->text(0), QStringLiteral("批号"));
    Tree().setCurrentItem(item);
    QString caption;
    services.OnNextDialog([&](QDialog& dialog) {
        caption = dialog.windowTitle();
        dialog.reject();
    });
    QTest::mouseDClick(Tree().viewport(), Qt::LeftButton, {}, Tree().visualItemRect(item).center());
    EXPECT_FALSE(caption.isEmpty());
    EXPECT_TRUE(services.dialogs.empty());

    Create(CmdToolText, 10, 10);
    QTreeWidgetItem* object = Tree().Group(NodeObjectGroup)->child(0);
    Tree().setCurrentItem(object->child(0));
    // A band's item opens its object's dialog on the band.
    QString tab;
    services.OnNextDialog([&](QDialog& dialog) {
        auto* tabs = ctl<QTabWidget>(&dialog, 1117);
        tab = tabs ? tabs->tabText(tabs->currentIndex()) : QStringLiteral("?");
        dialog.reject();
    });
    QTest::mouseDClick(Tree().viewport(), Qt::LeftButton, {}, Tree().visualItemRect(object->child(0)).center());
    EXPECT_EQ(tab, QStringLiteral("数据源"));
}

} // namespace

// ---- 系统选项 -----------------------------------------------------------------------

namespace {

TEST_F(PanesTest, OptionsFromTheMenuStoreEveryPageAndTheFrameSavesThem)
{
    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    settings.ResetOptions();
    services.OnNextDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("系统选项"));
        auto* tabs = ctl<QTabWidget>(&dialog, 1058);
        ASSERT_NE(tabs, nullptr);
        EXPECT_EQ(tabs->count(), 3);
        EXPECT_EQ(tabs->tabText(0), QStringLiteral("常规设置"));
        Click(ctl<QCheckBox>(&dialog, 1061));
        ChooseItem(ctl<QComboBox>(&dialog, 1100), 2);
        tabs->setCurrentIndex(2);
        RetypeText(ctl<QLineEdit>(&dialog, 1265), QStringLiteral("7"));
        RetypeText(ctl<QLineEdit>(&dialog, 1262), QStringLiteral("120"));
        tabs->setCurrentIndex(1);
        Click(ctl<QRadioButton>(&dialog, 1096));
        RetypeText(ctl<QLineEdit>(&dialog, 1079), QStringLiteral("/labels/base.vmk"));
        dialog.accept();
    });
    ASSERT_TRUE(Trigger(CmdToolOptions));
    EXPECT_TRUE(settings.m_bContinueCreating);
    EXPECT_EQ(settings.m_nAppStartBehavior, 2);
    EXPECT_EQ(settings.m_fDefScale, 5.0f);
    EXPECT_EQ(settings.m_nUndoMax, 120);
    EXPECT_EQ(settings.m_nNewLabelBehavior, 2);
    EXPECT_EQ(settings.m_strNewLabelBasedFile, QStringLiteral("/labels/base.vmk"));

    // Written by the frame: a fresh read gives the same options.
    CGlobalSettings reread;
    reread.Init();
    reread.LoadOptions();
    EXPECT_TRUE(reread.m_bContinueCreating);
    EXPECT_EQ(reread.m_fDefScale, 5.0f);
    EXPECT_EQ(reread.m_nUndoMax, 120);
    EXPECT_EQ(reread.m_strNewLabelBasedFile, QStringLiteral("/labels/base.vmk"));
    EXPECT_EQ(reread.m_crLbkgnd, settings.m_crLbkgnd);

    // Cancel stores nothing.
    services.OnNextDialog([](QDialog& dialog) {
        RetypeText(ctl<QLineEdit>(&dialog, 1262), QStringLiteral("3"));
        dialog.reject();
    });
    ASSERT_TRUE(Trigger(CmdToolOptions));
    EXPECT_EQ(settings.m_nUndoMax, 120);
    settings.ResetOptions();
}

TEST_F(PanesTest, OptionsClampTheZoomAndRestoreDefaultsAtOnce)
{
    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    for (const auto& [typed, stored] : {std::pair{"0.1", 0.2f}, {"0.2", 0.2f}, {"5", 5.0f}, {"1.5", 1.5f}, {"x", 0.2f}}) {
        CSysOptionsDlg dialog(settings);
        RetypeText(ctl<QLineEdit>(&dialog, 1265), QString::fromLatin1(typed));
        RetypeText(ctl<QLineEdit>(&dialog, 1262), QStringLiteral("abc"));
        dialog.accept();
        EXPECT_EQ(settings.m_fDefScale, stored) << typed;
        EXPECT_EQ(settings.m_nUndoMax, 0);
    }

    settings.m_bAlertSaveFormat = false;
    settings.m_bShowAppWelcome = false;
    settings.m_nNewLabelBehavior = 1;
    settings.m_strNewLabelBasedFile = QStringLiteral("a.vmk");
    settings.m_crLbkgnd = 0xFF010203u;
    CSysOptionsDlg dialog(settings);
    EXPECT_FALSE(ctl<QLineEdit>(&dialog, 1079)->isEnabled());
    Click(ctl<QPushButton>(&dialog, 3));
    EXPECT_EQ(ctl<QComboBox>(&dialog, 1098)->currentIndex(), 0);
    EXPECT_TRUE(ctl<QCheckBox>(&dialog, 1004)->isChecked());
    EXPECT_FALSE(ctl<QCheckBox>(&dialog, 1061)->isChecked());
    for (int id : {1057, 1058, 1059, 1063})
        EXPECT_TRUE(ctl<QCheckBox>(&dialog, id)->isChecked()) << id;
    EXPECT_FALSE(ctl<QCheckBox>(&dialog, 1060)->isChecked());
    EXPECT_EQ(ctl<QComboBox>(&dialog, 1100)->currentIndex(), 0);
    EXPECT_TRUE(ctl<QRadioButton>(&dialog, 1093)->isChecked());
    EXPECT_EQ(ctl<QLineEdit>(&dialog, 1079)->text(), QString());
    EXPECT_EQ(ctl<QLineEdit>(&dialog, 1262)->text(), QStringLiteral("50"));
    EXPECT_EQ(ctl<QLineEdit>(&dialog, 1265)->text(), QStringLiteral("2.0"));
    EXPECT_EQ(ctl<CColourPicker>(&dialog, 1264)->GetColour(), QColor(144, 154, 174));
    EXPECT_EQ(ctl<CColourPicker>(&dialog, 1202)->GetColour(), QColor(112, 112, 112));
    // Already in the settings, even if the dialog is cancelled now.
    dialog.reject();
    EXPECT_TRUE(settings.m_bShowAppWelcome);
    EXPECT_EQ(settings.m_crLbkgnd, 0xFF707070u);
}

TEST_F(PanesTest, OptionsBaseFileOnlyForTheThirdChoiceAndOnlyALabelFile)
{
    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    settings.ResetOptions();
    CSysOptionsDlg dialog(settings);
    auto* file = ctl<QLineEdit>(&dialog, 1079);
    auto* browse = ctl<QPushButton>(&dialog, 1078);
    Click(ctl<QRadioButton>(&dialog, 1096));
    EXPECT_TRUE(file->isEnabled());
    EXPECT_TRUE(browse->isEnabled());
    services.files = {QStringLiteral("/tmp/notes.txt")};
    Click(browse);
    EXPECT_EQ(file->text(), QString());
    services.files = {QStringLiteral("/tmp/Base.VMK")};
    Click(browse);
    EXPECT_EQ(file->text(), QStringLiteral("/tmp/Base.VMK"));
    const QString shot = qEnvironmentVariable("VC_OPTIONS_SCREENSHOT");
    for (int tab = 0; tab < 3 && !shot.isEmpty(); ++tab) {
        dialog.Tabs()->setCurrentIndex(tab);
        dialog.grab().save(shot.arg(tab));
    }
    Click(ctl<QRadioButton>(&dialog, 1094));
    EXPECT_FALSE(file->isEnabled());
    EXPECT_FALSE(browse->isEnabled());
    dialog.accept();
    EXPECT_EQ(settings.m_nNewLabelBehavior, 1);
    EXPECT_EQ(settings.m_strNewLabelBasedFile, QStringLiteral("/tmp/Base.VMK"));
    settings.ResetOptions();
}

} // namespace

// ---- 资源库 -------------------------------------------------------------------------

namespace {

void Touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

QStringList Texts(QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

class ResourcePaneTest : public PanesTest
{
protected:
    CResourceWnd& Pane() const { return *static_cast<CResourceWnd*>(frame->Pane(PaneResources)->widget()); }
    QString Folder() const { return Pane().Folder(); }
    // Types a name into the editor the pane opened and presses Return.
    void TypeName(const QString& name)
    {
        auto* editor = Pane().viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(name);
        QTest::keyClick(editor, Qt::Key_Return);
        Settle();
    }
    void SaveSelectionAsComponent()
    {
        ASSERT_TRUE(Trigger(CmdCreateResource));
    }
};

TEST_F(ResourcePaneTest, FolderIsListedFoldersFirstByCodeUnitAndOnlyComponents)
{
    const QString dir = m_dir.filePath("lib");
    for (const char* name : {"b/in.vmc", "a/x.txt", "Z.vmc", "y.VMC", "x.txt", ".vmc"})
        Touch(dir + "/" + name);
    CResourceWnd pane(*frame, dir);
    QTreeWidgetItem* root = pane.RootItem();
    EXPECT_EQ(root->text(0), QStringLiteral("资源库"));
    EXPECT_EQ(Texts(root), (QStringList{"a", "b", "", "Z", "y"}));
    EXPECT_EQ(Texts(root->child(1)), QStringList{"in"});
    EXPECT_EQ(pane.PathOf(*pane.NodeOf(root->child(1)->child(0))), dir + "/b/in.vmc");

    // No folder: the bare root, and saving makes the folder.
    CResourceWnd missing(*frame, m_dir.filePath("none/Resources"));
    EXPECT_EQ(missing.RootItem()->childCount(), 0);
    Create(CmdToolText, 10, 10);
    missing.SaveAsComponent({Last()->GetObject()});
    EXPECT_TRUE(QFileInfo::exists(m_dir.filePath("none/Resources/组件1.vmc")));
}

// Files named in an order other than the sorted one, made without the stat calls
// that Touch makes for each.
void MakeEmptyFiles(const QString& dir, int count, const char* extension)
{
    ASSERT_TRUE(QDir().mkpath(dir));
    for (int i = 0; i < count; ++i) {
        QFile file(QStringLiteral("%1/%2%3").arg(dir).arg((i * 7919) % count, 6, 10, QLatin1Char('0')).arg(QLatin1String(extension)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
}

// Only a listing that never ends takes this long: how fast a library is listed is
// bench/PanesBench.cpp's to measure, on a quiet machine.
constexpr qint64 kListingBudgetMs = 120000;

TEST_F(ResourcePaneTest, AHundredThousandComponentsAndTemplatesAreListed)
{
    const QString components = m_dir.filePath("many/components");
    MakeEmptyFiles(components, 100000, ".vmc");
    QElapsedTimer timer;
    timer.start();
    CResourceWnd resources(*frame, components);
    EXPECT_LT(timer.elapsed(), kListingBudgetMs);
    QTreeWidgetItem* root = resources.RootItem();
    ASSERT_EQ(root->childCount(), 100000);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("000000"));
    EXPECT_EQ(root->child(99999)->text(0), QStringLiteral("099999"));
    EXPECT_EQ(resources.PathOf(*resources.NodeOf(root->child(4711))), components + "/004711.vmc");

    const QString templates = m_dir.filePath("many/templates");
    MakeEmptyFiles(templates, 100000, ".vmk");
    timer.restart();
    CTemplateWnd pane(*frame, templates);
    EXPECT_LT(timer.elapsed(), kListingBudgetMs);
    root = pane.Tree()->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 100000);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("000000.vmk"));
    EXPECT_EQ(root->child(99999)->text(0), QStringLiteral("099999.vmk"));
}

// A library nested a thousand folders deep, with links on the way down to the top
// and to the folder above, in place before the program starts. It serves as both
// libraries: "Resources" is a link to "Templates".
class DeepLibraryTest : public PanesTest
{
protected:
    static constexpr int kDepth = 1000;
    // The files and links the nest holds besides its folders.
    static constexpr const char* kNestEntries[] = {"deep.vmk", "deep.vmc", "top", "parent"};

    // Each level is made and taken down beside the open one above it: resolving a path
    // a thousand folders long costs the system a millisecond or so, every time.
    void SetUp() override
    {
        const QString top = m_dir.filePath("Templates");
        QDir().mkdir(top);
        QFile::link(top, m_dir.filePath("Resources"));
        int fd = OpenFolder(top);
        for (int level = 1; level <= kDepth; ++level) {
            ::mkdirat(fd, "d", 0700);
            fd = Below(fd, "d");
            if (level == kDepth / 2)
                ::symlinkat("..", fd, "parent");
        }
        ::symlinkat(QFile::encodeName(top).constData(), fd, "top");
        for (const char* file : {"deep.vmk", "deep.vmc"})
            ::close(::openat(fd, file, O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        ::close(fd);

        QElapsedTimer timer;
        timer.start();
        PanesTest::SetUp();
        m_startMs = timer.elapsed();
    }
    void TearDown() override
    {
        PanesTest::TearDown();
        int fd = OpenFolder(m_dir.filePath("Templates"));
        for (int level = 1; level <= kDepth; ++level)
            fd = Below(fd, "d");
        for (int level = kDepth; level >= 1; --level) {
            for (const char* name : kNestEntries)
                ::unlinkat(fd, name, 0);
            fd = Below(fd, "..");
            ::unlinkat(fd, "d", AT_REMOVEDIR);
        }
        ::close(fd);
    }
    static int OpenFolder(const QString& path)
    {
        return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    // The folder `name` of the open folder, which is closed.
    static int Below(int fd, const char* name)
    {
        const int below = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        return below;
    }
    QString Bottom(const char* library) const { return m_dir.filePath(library) + QString("/d").repeated(kDepth); }
    // How many levels of "d" lead down from the item, each the only entry of the one above.
    static int Depth(QTreeWidgetItem*& item)
    {
        int depth = 0;
        for (; Texts(item) == QStringList{"d"}; ++depth)
            item = item->child(0);
        return depth;
    }

    qint64 m_startMs = 0;
};

TEST_F(DeepLibraryTest, StartsAndEveryLevelIsListedLinksLeftOut)
{
    EXPECT_LT(m_startMs, kListingBudgetMs);

    auto& templates = *static_cast<CTemplateWnd*>(frame->Pane(PaneTemplates)->widget());
    QTreeWidgetItem* item = templates.Tree()->topLevelItem(0);
    EXPECT_EQ(Depth(item), kDepth);
    ASSERT_EQ(Texts(item), QStringList{"deep.vmk"});
    EXPECT_EQ(templates.RecordOf(item->child(0))->path, Bottom("Templates") + "/deep.vmk");

    auto& resources = *static_cast<CResourceWnd*>(frame->Pane(PaneResources)->widget());
    item = resources.RootItem();
    EXPECT_EQ(Depth(item), kDepth);
    ASSERT_EQ(Texts(item), QStringList{"deep"});
    EXPECT_EQ(resources.PathOf(*resources.NodeOf(item->child(0))), Bottom("Resources") + "/deep.vmc");
}

TEST_F(ResourcePaneTest, SelectionSavedAsComponentNamedFreshlyAndAddedBack)
{
    EXPECT_EQ(Folder(), m_dir.filePath("Resources"));
    Create(CmdToolText, 10, 10);
    Create(CmdToolBarcode, 30, 10);
    View().SelectAll();
    SaveSelectionAsComponent();
    const QString first = Folder() + "/组件1.vmc";
    ASSERT_TRUE(QFileInfo::exists(first));
    EXPECT_EQ(Texts(Pane().RootItem()), QStringList{"组件1"});
    // The user names it at once.
    TypeName(QStringLiteral("地址标签"));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(Folder() + "/地址标签.vmc"));
    EXPECT_EQ(Texts(Pane().RootItem()), QStringList{"地址标签"});
    // The label still holds its own objects, untouched.
    EXPECT_EQ(View().ObjectList().size(), 2u);

    // A name taken on disk is skipped: the next is 组件2 since 组件1 is a file there.
    Touch(Folder() + "/组件1.vmc");
    SaveSelectionAsComponent();
    TypeName(QStringLiteral("组件2"));
    EXPECT_TRUE(QFileInfo::exists(Folder() + "/组件2.vmc"));

    // Added to a new label: copies, selected, just inside the visible corner, and undone
    // in one step.
    NewLabel();
    Pane().setCurrentItem(Pane().RootItem()->child(0));
    Pane().UpdateActions();
    ASSERT_TRUE(Pane().Action(CmdResourceAddToLabel)->isEnabled());
    Pane().Action(CmdResourceAddToLabel)->trigger();
    ASSERT_EQ(View().ObjectList().size(), 2u);
    EXPECT_EQ(View().GetSelection().size(), 2u);
    const float left = std::min(View().ObjectList()[0]->GetLeft(), View().ObjectList()[1]->GetLeft());
    const float expected = View().ScrollX() / View().Zoom() * 25.4f / View().Mapping().dpiX - 250 + 1;
    EXPECT_NEAR(left, expected, 0.01);
    EXPECT_TRUE(Window().IsModified());
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_TRUE(View().ObjectList().empty());
}

// Keys and 编辑 entries act where the keyboard focus is: in a pane they do what the
// pane offers (the library's delete, which asks) or nothing, never touch the label.
TEST_F(ResourcePaneTest, EditKeysInAPaneNeverReachTheLabelsObjects)
{
    Create(CmdToolText, 10, 10);
    Create(CmdToolRectangle, 40, 10);
    Create(CmdToolEllipse, 40, 30);
    Create(CmdToolLine, 10, 40);
    View().SelectAll();
    SaveSelectionAsComponent();
    TypeName(QStringLiteral("件"));
    const QString component = Folder() + "/件.vmc";
    ASSERT_TRUE(QFileInfo::exists(component));
    ClearObjectClipboard(GetObjectClipboard());
    View().GetSelection() = {View().ObjectList()[1].get()};
    View().SetCurrentObject(View().ObjectList()[1].get());
    const size_t steps = View().UndoManager().UndoCount();
    // The object pane's tree selects what its current item stands for; keys there
    // must still leave the selection to the tree.
    const auto labelUntouched = [&](bool selection = true) {
        EXPECT_EQ(View().ObjectList().size(), 4u);
        if (selection) {
            EXPECT_EQ(View().GetSelection().size(), 1u);
        }
        EXPECT_EQ(View().UndoManager().UndoCount(), steps);
        EXPECT_TRUE(GetObjectClipboard().empty());
    };
    const auto focus = [&](QWidget* widget) {
        QApplication::setActiveWindow(frame);
        widget->setFocus();
        Settle();
        ASSERT_EQ(QApplication::focusWidget(), widget);
    };

    frame->ShowPane(PaneResources);
    Pane().setCurrentItem(Pane().RootItem()->child(0));
    focus(&Pane());
    for (const Qt::Key key : {Qt::Key_A, Qt::Key_X, Qt::Key_C, Qt::Key_V})
        QTest::keyClick(&Pane(), key, Qt::ControlModifier);
    Settle();
    labelUntouched();
    for (int id : {CmdEditCut, CmdEditCopy, CmdEditSelectAll, CmdEditInvertSelection, CmdSelectTexts,
                   CmdSelectRectangles})
        EXPECT_FALSE(Trigger(id)) << id;
    labelUntouched();
    // Delete is the library's: it asks first, and deletes the component, not objects.
    ASSERT_TRUE(Enabled(CmdEditDelete));
    services.answers = {IDNO};
    QTest::keyClick(&Pane(), Qt::Key_Delete);
    EXPECT_EQ(services.MessageTexts().last(), QStringLiteral("您确定删除这项资源吗？"));
    EXPECT_TRUE(QFileInfo::exists(component));
    labelUntouched();
    services.answers = {IDYES};
    ASSERT_TRUE(Trigger(CmdEditDelete));
    EXPECT_FALSE(QFileInfo::exists(component));
    labelUntouched();
    // With the root in hand there is nothing the pane deletes.
    EXPECT_FALSE(Enabled(CmdEditDelete));

    // The object and template panes offer none of these.
    frame->ShowPane(PaneObjects);
    focus(static_cast<CObjectWnd*>(frame->Pane(PaneObjects)->widget())->ShownTree());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    labelUntouched(false);
    frame->ShowPane(PaneTemplates);
    focus(static_cast<CTemplateWnd*>(frame->Pane(PaneTemplates)->widget())->Tree());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::ControlModifier);
    labelUntouched(false);

    // Back on the canvas the same keys act on the label.
    focus(&View());
    QTest::keyClick(&View(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(View().GetSelection().size(), 4u);
    Settle();
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_TRUE(View().ObjectList().empty());
}

TEST_F(ResourcePaneTest, ComponentWithAnUpperCaseExtensionIsUsedRenamedAndDeleted)
{
    Create(CmdToolText, 10, 10);
    SaveSelectionAsComponent();
    TypeName(QStringLiteral("件"));
    ASSERT_TRUE(QFile::rename(Folder() + "/件.vmc", Folder() + "/大.VMC"));
    CResourceWnd pane(*frame, Folder());
    QTreeWidgetItem* item = pane.RootItem()->child(0);
    ASSERT_EQ(item->text(0), QStringLiteral("大"));
    NewLabel();
    pane.setCurrentItem(item);
    pane.AddSelectedToLabel();
    EXPECT_EQ(View().ObjectList().size(), 1u);
    EXPECT_TRUE(services.MessageTexts().isEmpty());

    item->setText(0, QStringLiteral("小"));
    EXPECT_EQ(item->text(0), QStringLiteral("小"));
    EXPECT_TRUE(QFileInfo::exists(Folder() + "/小.vmc"));
    EXPECT_FALSE(QFileInfo::exists(Folder() + "/大.VMC"));

    ASSERT_TRUE(QFile::rename(Folder() + "/小.vmc", Folder() + "/再.VMC"));
    CResourceWnd again(*frame, Folder());
    again.setCurrentItem(again.RootItem()->child(0));
    services.answers = {IDYES};
    again.DeleteSelected();
    // The entry goes only with its file.
    EXPECT_FALSE(QFileInfo::exists(Folder() + "/再.VMC"));
    EXPECT_EQ(again.RootItem()->childCount(), 0);
}

// Links that lead back into a library folder: each is followed at most once, so the
// panes are built at all; a link elsewhere is a folder like any other.
TEST_F(ResourcePaneTest, LinksBackIntoTheLibraryAreNotFollowedForever)
{
    const QString dir = m_dir.filePath("lib");
    Touch(dir + "/a.vmc");
    Touch(dir + "/s/b.vmc");
    Touch(dir + "/t.vmk");
    Touch(m_dir.filePath("elsewhere/c.vmc"));
    for (const char* link : {"/loop", "/loop2", "/s/up"})
        ASSERT_TRUE(QFile::link(dir, dir + link));
    ASSERT_TRUE(QFile::link(m_dir.filePath("elsewhere"), dir + "/other"));

    CResourceWnd resources(*frame, dir);
    QTreeWidgetItem* root = resources.RootItem();
    EXPECT_EQ(Texts(root), (QStringList{"other", "s", "a"}));
    EXPECT_EQ(Texts(root->child(0)), QStringList{"c"});
    EXPECT_EQ(Texts(root->child(1)), QStringList{"b"});

    CTemplateWnd templates(*frame, dir);
    EXPECT_EQ(Texts(templates.Tree()->topLevelItem(0)), (QStringList{"other", "s", "t.vmk"}));

    // Deleting the linked folder takes the link away, not what it leads to.
    resources.setCurrentItem(root->child(0));
    services.answers = {IDYES};
    resources.DeleteSelected();
    EXPECT_FALSE(QFileInfo(dir + "/other").isSymLink());
    EXPECT_TRUE(QFileInfo::exists(m_dir.filePath("elsewhere/c.vmc")));
    EXPECT_EQ(Texts(root), (QStringList{"s", "a"}));
    // A folder holding a link back: the folder goes, the library stays.
    resources.setCurrentItem(root->child(0));
    services.answers = {IDYES};
    resources.DeleteSelected();
    EXPECT_FALSE(QFileInfo::exists(dir + "/s"));
    EXPECT_TRUE(QFileInfo::exists(dir + "/a.vmc"));
}

TEST_F(ResourcePaneTest, RenamesNeverReplaceAndRefuseSeparators)
{
    Touch(Folder() + "/甲.vmc");
    Touch(Folder() + "/乙.vmc");
    Touch(Folder() + "/夹/丙.vmc");
    CResourceWnd pane(*frame, Folder());
    QTreeWidgetItem* item = pane.RootItem()->child(1);
    ASSERT_EQ(item->text(0), QStringLiteral("乙"));
    for (const QString& bad : {QString(), QStringLiteral("a/b"), QStringLiteral("a\\b"), QStringLiteral(".."),
                               QStringLiteral(".")}) {
        item->setText(0, bad);
        EXPECT_EQ(item->text(0), QStringLiteral("乙")) << bad.toStdString();
    }
    EXPECT_TRUE(services.MessageTexts().isEmpty());
    item->setText(0, QStringLiteral("甲"));
    EXPECT_EQ(item->text(0), QStringLiteral("乙"));
    EXPECT_EQ(services.MessageTexts().size(), 1);
    EXPECT_TRUE(QFileInfo::exists(Folder() + "/乙.vmc"));
    // A folder takes its new name with everything in it.
    QTreeWidgetItem* folder = pane.RootItem()->child(0);
    folder->setText(0, QStringLiteral("新夹"));
    EXPECT_TRUE(QFileInfo::exists(Folder() + "/新夹/丙.vmc"));
    EXPECT_EQ(pane.PathOf(*pane.NodeOf(folder->child(0))), Folder() + "/新夹/丙.vmc");
}

TEST_F(ResourcePaneTest, NewFolderAndDeleteWorkOnDisk)
{
    Touch(Folder() + "/夹/内/丙.vmc");
    CResourceWnd pane(*frame, Folder());
    pane.setCurrentItem(pane.RootItem());
    pane.UpdateActions();
    EXPECT_FALSE(pane.Action(CmdResourceDelete)->isEnabled());
    EXPECT_FALSE(pane.Action(CmdResourceAddToLabel)->isEnabled());
    pane.Action(CmdResourceNewFolder)->trigger();
    EXPECT_TRUE(QFileInfo(Folder() + "/文件夹1").isDir());
    EXPECT_EQ(pane.currentItem()->text(0), QStringLiteral("文件夹1"));

    pane.setCurrentItem(pane.RootItem()->child(0));
    ASSERT_EQ(pane.currentItem()->text(0), QStringLiteral("夹"));
    services.answers = {IDNO};
    pane.DeleteSelected();
    EXPECT_TRUE(QFileInfo::exists(Folder() + "/夹/内/丙.vmc"));
    services.answers = {IDYES};
    pane.DeleteSelected();
    EXPECT_EQ(services.MessageTexts().last(), QStringLiteral("您确定删除这项资源吗？"));
    EXPECT_FALSE(QFileInfo::exists(Folder() + "/夹"));
    EXPECT_EQ(Texts(pane.RootItem()), QStringList{"文件夹1"});
}

TEST_F(ResourcePaneTest, DraggingAComponentOntoTheCanvasAddsItOffTheCanvasNothing)
{
    Create(CmdToolText, 10, 10);
    SaveSelectionAsComponent();
    TypeName(QStringLiteral("件"));
    NewLabel();
    QWidget* viewport = Pane().viewport();
    const QPoint from = Pane().visualItemRect(Pane().RootItem()->child(0)).center();
    const auto drag = [&](QPoint to, int first) {
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from + QPoint(first, first));
        QTest::mouseMove(viewport, to);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        Settle();
    };
    // Two pixels start nothing; off the canvas the copies go again.
    drag(from + QPoint(2, 2), 1);
    EXPECT_TRUE(View().ObjectList().empty());
    drag(viewport->mapFromGlobal(frame->mapToGlobal(QPoint(2, 2))), 3);
    EXPECT_TRUE(View().ObjectList().empty());
    EXPECT_FALSE(View().UndoManager().CanUndo());
    drag(viewport->mapFromGlobal(View().mapToGlobal(At(40, 20))), 3);
    ASSERT_EQ(View().ObjectList().size(), 1u);
    EXPECT_TRUE(View().UndoManager().CanUndo());
    const CBaseGraph& object = *Last()->GetObject();
    EXPECT_NEAR(object.GetX() + object.GetWidth() / 2, 40, 0.6);
}

TEST_F(ResourcePaneTest, AComponentWithValuesOutOfRangeIsAddedBroughtInWithOneMessage)
{
    const QString dir = m_dir.filePath("far");
    ASSERT_TRUE(QDir().mkpath(dir));
    ObjectList objects;
    auto text = std::make_unique<CTextGraph>();
    text->m_fHeight = 1e20f;
    objects.push_back(std::move(text));
    CDocWriterV1_0 writer;
    writer.m_pObjects = &objects;
    QFile file(dir + "/far.vmc");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(writer.ObjectsBytes());
    file.close();

    CResourceWnd pane(*frame, dir);
    pane.resize(250, 300);
    pane.show();
    Settle();
    QWidget* viewport = pane.viewport();
    const QPoint from = pane.visualItemRect(pane.RootItem()->child(0)).center();
    const QPoint to = viewport->mapFromGlobal(View().mapToGlobal(At(40, 20)));
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(3, 3));
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    Settle();
    ASSERT_EQ(View().ObjectList().size(), 1u);
    EXPECT_LE(Last()->GetObject()->GetHeight(), kMaxLabelLengthMm);
    EXPECT_EQ(services.MessageTexts(),
              QStringList{QStringLiteral("文件“%1”中有 1 个数值超出允许范围，已改为允许的值。")
                              .arg(QDir::toNativeSeparators(file.fileName()))});
}

} // namespace

// ---- 模板库 -------------------------------------------------------------------------

namespace {

class TemplatePaneTest : public PanesTest
{
protected:
    CTemplateWnd& Pane() const { return *static_cast<CTemplateWnd*>(frame->Pane(PaneTemplates)->widget()); }
    void WriteTemplate(const QString& path, float width = 90, float height = 50)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        CLabelData label;
        label.m_fLabelWidth = width;
        label.m_fLabelHeight = height;
        CDocWriterV1_0 writer;
        writer.m_strPath = path;
        writer.m_pLabelData = &label;
        writer.WriteDocument();
    }
};

TEST_F(TemplatePaneTest, ShippedSheetsAreThereOnFirstStartAndOpenAsNewLabels)
{
    QTreeWidgetItem* root = Pane().Tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("模板库"));
    ASSERT_EQ(root->childCount(), 4);
    EXPECT_TRUE(QFileInfo(m_dir.filePath("Templates")).isDir());
    for (int i = 0; i < root->childCount(); ++i) {
        SCOPED_TRACE(root->child(i)->text(0).toStdString());
        Pane().Tree()->setCurrentItem(root->child(i));
        ASSERT_NE(Pane().Preview()->Label(), nullptr);
        EXPECT_GT(Pane().Preview()->Scale(), 0);
    }
    EXPECT_TRUE(services.MessageTexts().isEmpty());
    // A double click opens the file as an untitled label.
    const int windows = frame->LabelWindows().size();
    QTreeWidgetItem* sheet = root->child(3);
    Pane().Tree()->setCurrentItem(sheet);
    QTest::mouseDClick(Pane().Tree()->viewport(), Qt::LeftButton, {},
                       Pane().Tree()->visualItemRect(sheet).center());
    ASSERT_EQ(frame->LabelWindows().size(), windows + 1);
    EXPECT_TRUE(Window().LabelData().m_strFilePath.isEmpty());
    EXPECT_EQ(Window().LabelData().m_fLabelWidth, 100.0f);
}

TEST_F(TemplatePaneTest, FolderListsLabelFilesFoldersFirstAndLoadsEachOnce)
{
    const QString dir = m_dir.filePath("tpl");
    WriteTemplate(dir + "/b.vmk");
    WriteTemplate(dir + "/a.VMK");
    WriteTemplate(dir + "/z/in.vmk");
    Touch(dir + "/a.lbl");
    CTemplateWnd pane(*frame, dir);
    pane.resize(250, 400);
    QTreeWidgetItem* root = pane.Tree()->topLevelItem(0);
    EXPECT_EQ(Texts(root), (QStringList{"z", "a.VMK", "b.vmk"}));

    pane.Tree()->setCurrentItem(root->child(2));
    const CLabelData* first = pane.Preview()->Label();
    ASSERT_NE(first, nullptr);
    pane.Tree()->setCurrentItem(root->child(1));
    pane.Tree()->setCurrentItem(root->child(2));
    EXPECT_EQ(pane.Preview()->Label(), first);
    // A folder leaves the preview alone; a double click on it opens nothing and
    // leaves it as it was.
    const int windows = frame->LabelWindows().size();
    pane.Tree()->setCurrentItem(root->child(0));
    EXPECT_EQ(pane.Preview()->Label(), first);
    const bool expanded = root->child(0)->isExpanded();
    QTest::mouseDClick(pane.Tree()->viewport(), Qt::LeftButton, {},
                       pane.Tree()->visualItemRect(root->child(0)).center());
    EXPECT_EQ(root->child(0)->isExpanded(), expanded);
    EXPECT_EQ(frame->LabelWindows().size(), windows);

    // A damaged file is reported, shows nothing new, and is tried again next time.
    Touch(dir + "/bad.vmk");
    CTemplateWnd other(*frame, dir);
    QTreeWidgetItem* bad = other.Tree()->topLevelItem(0)->child(3);
    ASSERT_EQ(bad->text(0), QStringLiteral("bad.vmk"));
    other.Tree()->setCurrentItem(bad);
    EXPECT_EQ(other.Preview()->Label(), nullptr);
    EXPECT_EQ(services.MessageTexts().size(), 1);

    CTemplateWnd missing(*frame, m_dir.filePath("nothing"));
    EXPECT_EQ(missing.Tree()->topLevelItem(0)->childCount(), 0);
    missing.Tree()->setCurrentItem(missing.Tree()->topLevelItem(0));
    missing.OpenSelected();
    EXPECT_EQ(frame->LabelWindows().size(), windows);
}

// Files are listed through links too, but never a broken link, a pipe or a device.
TEST_F(TemplatePaneTest, LinksToLabelFilesAreListedBrokenLinksPipesAndDevicesAreNot)
{
    const QString dir = m_dir.filePath("kinds");
    Touch(dir + "/a.vmk");
    ASSERT_TRUE(QFile::link(dir + "/a.vmk", dir + "/b.vmk"));
    ASSERT_TRUE(QFile::link(dir + "/gone.vmk", dir + "/c.vmk"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "/d.vmk").constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/null", dir + "/e.vmk"));
    // A folder named with a trailing separator gives its entries paths like any other.
    CTemplateWnd pane(*frame, dir + "/");
    QTreeWidgetItem* root = pane.Tree()->topLevelItem(0);
    EXPECT_EQ(Texts(root), (QStringList{"a.vmk", "b.vmk"}));
    EXPECT_EQ(pane.RecordOf(root->child(1))->path, dir + "/b.vmk");
}

// The span of dark pixels along the row through the middle of a preview's barcode.
int DarkSpan(const QImage& image, int row)
{
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        if (qGray(image.pixel(x, row)) < 100) {
            if (first < 0)
                first = x;
            last = x;
        }
    return first < 0 ? 0 : last - first + 1;
}

TEST_F(TemplatePaneTest, PreviewDrawsABarcodeToTheLabelsScale)
{
    Create(CmdToolBarcode, 20, 20);
    CLabelData label;
    label.m_fLabelWidth = 100;
    label.m_fLabelHeight = 60;
    label.m_objects.push_back(Last()->GetObject()->Clone());
    const CBaseGraph& barcode = *label.m_objects.back();
    const auto span = [&](int width) {
        CLabelPreviewPane preview;
        preview.resize(width, width * 6 / 10);
        preview.SetLabel(&label);
        const QRect box = preview.LabelRect();
        const float mm = box.width() / 100.0f;
        const int row = box.top() + static_cast<int>((barcode.GetY() + barcode.GetHeight() * 0.3f) * mm);
        return DarkSpan(preview.grab().toImage(), row) / mm;
    };
    // The bars take as many of the label's millimetres in a small preview as in a
    // large one: a thumbnail does not widen them to whole pixels.
    const float large = span(1200);
    ASSERT_GT(large, 5);
    EXPECT_NEAR(span(240), large, large * 0.1);
}

TEST_F(TemplatePaneTest, PreviewFitsTheLabelAndTheSplitterIsClamped)
{
    const int dpi[] = {g_nScreenDpiX, g_nScreenDpiY};
    g_nScreenDpiX = g_nScreenDpiY = 96;
    CLabelData label;
    label.m_fLabelWidth = 90;
    label.m_fLabelHeight = 50;
    CLabelPreviewPane preview;
    preview.resize(200, 110);
    preview.SetLabel(&label);
    EXPECT_NEAR(preview.Scale(), 26.458f / 50, 0.001);
    EXPECT_NEAR(preview.LabelRect().height(), 100, 1);
    // A label of no size draws only its surround.
    label.m_fLabelWidth = 0;
    preview.Layout();
    const QImage empty = preview.grab().toImage();
    EXPECT_EQ(empty.pixelColor(100, 55), QColor(0xDC, 0xDC, 0xDC));
    g_nScreenDpiX = dpi[0];
    g_nScreenDpiY = dpi[1];

    // Laid out small first, as a docked pane is while the window builds: the preview
    // still gets its height once there is room.
    CTemplateWnd pane(*frame, m_dir.filePath("Templates"));
    pane.resize(250, 120);
    pane.show();
    Settle();
    EXPECT_LE(pane.Preview()->geometry().bottom(), 120);
    pane.resize(250, 500);
    Settle();
    EXPECT_EQ(pane.PreviewHeight(), 150);
    EXPECT_EQ(pane.Preview()->height(), 150);
    const int height = pane.PreviewHeight();
    const QRect tree = pane.Tree()->geometry();
    const int row = 500 - height - 10;
    QTest::mousePress(&pane, Qt::LeftButton, {}, QPoint(100, row));
    QTest::mouseMove(&pane, QPoint(100, row - 20));
    QTest::mouseRelease(&pane, Qt::LeftButton, {}, QPoint(100, row - 20));
    EXPECT_EQ(pane.PreviewHeight(), height + 20);
    EXPECT_EQ(pane.Tree()->height(), tree.height() - 20);
    // Far past either end: the preview and the tree both keep some room.
    QTest::mousePress(&pane, Qt::LeftButton, {}, QPoint(100, row - 20));
    QTest::mouseMove(&pane, QPoint(100, -2000));
    EXPECT_GE(pane.Tree()->height(), 40);
    QTest::mouseMove(&pane, QPoint(100, 4000));
    QTest::mouseRelease(&pane, Qt::LeftButton, {}, QPoint(100, 4000));
    EXPECT_GE(pane.PreviewHeight(), 20);
    EXPECT_LE(pane.Preview()->geometry().bottom(), 500);
}

} // namespace

namespace {

// With VC_PANES_SCREENSHOT set, the main window with the three panes side by side.
TEST_F(TemplatePaneTest, AllThreePanesTogether)
{
    const QString shot = qEnvironmentVariable("VC_PANES_SCREENSHOT");
    if (shot.isEmpty())
        GTEST_SKIP() << "no screenshot asked for";
    Create(CmdToolText, 10, 10);
    Create(CmdToolBarcode, 10, 25);
    View().SelectAll();
    ASSERT_TRUE(Trigger(CmdCreateResource));
    Settle();
    QDockWidget* panes[] = {frame->Pane(PaneObjects), frame->Pane(PaneResources), frame->Pane(PaneTemplates)};
    for (QDockWidget* dock : panes)
        frame->removeDockWidget(dock);
    frame->addDockWidget(Qt::LeftDockWidgetArea, panes[0]);
    frame->splitDockWidget(panes[0], panes[1], Qt::Vertical);
    frame->addDockWidget(Qt::RightDockWidgetArea, panes[2]);
    for (QDockWidget* dock : panes)
        dock->show();
    Pane().Tree()->setCurrentItem(Pane().Tree()->topLevelItem(0)->child(3));
    frame->show();
    Settle();
    frame->grab().save(shot);
}

} // namespace

namespace {

TEST_F(ResourcePaneTest, SecondClickRenamesEscapeKeepsAndSavingGoesBesideTheSelection)
{
    Touch(Folder() + "/夹/甲.vmc");
    Touch(Folder() + "/乙.vmc");
    CResourceWnd pane(*frame, Folder());
    pane.resize(250, 300);
    pane.show();
    pane.expandAll();
    QTreeWidgetItem* folder = pane.RootItem()->child(0);
    QTreeWidgetItem* inside = folder->child(0);
    QTreeWidgetItem* other = pane.RootItem()->child(1);
    const auto click = [&](QTreeWidgetItem* item) {
        QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, pane.visualItemRect(item).center());
        Settle();
    };
    const auto editor = [&] { return pane.viewport()->findChild<QLineEdit*>(); };
    // A click on another entry only selects it; a second click on it names it anew.
    click(inside);
    EXPECT_EQ(pane.currentItem(), inside);
    EXPECT_TRUE(!editor() || !editor()->isVisible());
    click(inside);
    ASSERT_NE(editor(), nullptr);
    ASSERT_TRUE(editor()->isVisible());
    editor()->setText(QStringLiteral("丁"));
    QTest::keyClick(editor(), Qt::Key_Escape);
    Settle();
    EXPECT_EQ(inside->text(0), QStringLiteral("甲"));
    EXPECT_TRUE(QFileInfo::exists(Folder() + "/夹/甲.vmc"));
    // The root is never renamed.
    click(pane.RootItem());
    click(pane.RootItem());
    EXPECT_TRUE(!editor() || !editor()->isVisible());

    // Saved with a component selected: into that component's folder.
    Create(CmdToolText, 10, 10);
    pane.setCurrentItem(inside);
    pane.SaveAsComponent({Last()->GetObject()});
    EXPECT_TRUE(QFileInfo::exists(Folder() + "/夹/组件1.vmc"));
    EXPECT_EQ(Texts(folder), (QStringList{"甲", "组件1"}));
    pane.setCurrentItem(other);
    pane.SaveAsComponent({Last()->GetObject()});
    EXPECT_TRUE(QFileInfo::exists(Folder() + "/组件1.vmc"));
    // What was saved reads back as the label's text.
    ObjectList objects;
    CDocLoader loader;
    loader.m_strPath = Folder() + "/组件1.vmc";
    loader.m_pObjects = &objects;
    loader.LoadObjects();
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]->GetKind(), KindText);
}

} // namespace
