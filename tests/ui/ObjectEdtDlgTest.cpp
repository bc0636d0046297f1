// The object property dialogs driven through their controls: OK without touching
// keeps the label's file bytes, each control reaches its field, refusals keep the
// object and show the right tab, Cancel (also after a confirmed nested dialog) keeps
// the object, and a pane that throws leaves the object and the undo history alone.
#include "FakeServices.h"
#include "ProxyTestSupport.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "app/controls/ColourPicker.h"
#include "app/controls/ComboBoxes.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/properties/ObjectEdtDlg.h"
#include "dialogs/properties/ObjectPanes.h"
#include "editor/ObjectKinds.h"
#include "editor/PropertyEditing.h"
#include "editor/UndoRecordBuilder.h"
#include "model/DSBase.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "platform/Drawing.h"
#include "platform/ScreenDpi.h"
#include "platform/VXException.h"
#include "tests/model/DocRoundTrip.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <new>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

QString WritePng(const QString& path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    EXPECT_TRUE(image.save(path, "PNG"));
    return path;
}

// A label holding one object of every kind this dialog family edits, each with
// values far from the defaults that the dialogs show and read back exactly.
struct Label
{
    CLabelData label;
    QTemporaryDir dir;
    QString picture;

    template <class T>
    T* Add(std::unique_ptr<T> object, const QString& name)
    {
        object->m_strName = name;
        object->m_strDescription = name + QStringLiteral(" 的说明");
        object->m_fX = 12.25f;
        object->m_fY = 7.5f;
        object->m_fWidth = 31.75f;
        object->m_fHeight = 9.5f;
        object->m_fAngle = 45.0f;
        object->m_nAnchor = AnchorBottomRight;
        object->m_bLocked = true;
        object->m_bNotPrinted = true;
        object->m_bHiddenInPreview = true;
        object->m_pLabelData = &label;
        T* raw = object.get();
        label.m_objects.push_back(std::move(object));
        return raw;
    }

    CTextGraph* AddText(int mode, const QString& name)
    {
        auto text = std::make_unique<CTextGraph>();
        text->m_nLayoutMode = mode;
        text->m_strText = QStringLiteral("ABC123");
        text->m_strFontName = QStringLiteral("NoSuchFace Pro");
        text->m_fFontSize = 9.5f;
        text->m_bBold = true;
        text->m_bItalic = true;
        text->m_bUnderline = true;
        text->m_bStrikeout = true;
        text->m_byStyle5 = 1;
        text->m_crText = 0xFF123456u;
        text->m_crFill = 0xFF654321u;
        text->m_nAlignment = mode == MultiLine ? 1 : mode == VertText ? 2 : 0;
        text->m_nVertAlignment = 2;
        text->m_fCharSpacing = 1.25f;
        text->m_nLineSpacingChoice = 3;
        text->m_fLineSpacing = 2.5f;
        text->m_bGrouping = true;
        text->m_nSeparatorChoice = 2;
        text->m_strCustomSeparator = QStringLiteral("-");
        text->m_fGroupGap = 0.75f;
        text->m_strGroupRule = QStringLiteral("2,3");
        text->m_nWrapDirection = 1;
        text->m_nTextDirection = 1;
        text->m_bSquareBox = false;
        text->m_bAutoStep = true;
        text->m_fAngleStep = 22.5f;
        return Add(std::move(text), name);
    }

    template <class T>
    T* AddShape(const QString& name)
    {
        auto shape = std::make_unique<T>();
        shape->m_fLineWidth = 0.75f;
        shape->m_crLine = 0xFF102030u;
        shape->m_crFill = 0xFF405060u;
        shape->m_nDashStyle = 3;
        shape->m_bHatch = true;
        shape->m_nHatchStyle = HatchStyleDiagonalBrick;
        shape->m_crHatch = 0xFF708090u;
        shape->m_nGradient = 5;
        shape->m_crGradient1 = 0xFFA0B0C0u;
        shape->m_crGradient2 = 0xFFD0E0F0u;
        return Add(std::move(shape), name);
    }

    Label()
    {
        picture = WritePng(dir.filePath(QStringLiteral("logo.png")), 40, 20);
        for (int mode : {SingleLine, MultiLine, VertText, CurvedText})
            AddText(mode, QStringLiteral("文字%1").arg(mode));
        auto line = std::make_unique<CLineGraph>();
        line->m_fX1 = 3.5f;
        line->m_fY1 = 4.25f;
        line->m_fX2 = 40.75f;
        line->m_fY2 = 9.0f;
        line->m_fLineWidth = 1.5f;
        line->m_nDashStyle = 4;
        line->m_nLineEnd = 1;
        line->m_crLine = 0xFF0000FFu;
        line->m_bHorzVertOnly = true;
        Add(std::move(line), QStringLiteral("直线"));
        AddShape<CRectangleGraph>(QStringLiteral("矩形"))->m_fCornerRadius = 2.25f;
        AddShape<CEllipseGraph>(QStringLiteral("椭圆"));
        auto* polygon = AddShape<CPolygonGraph>(QStringLiteral("多边形"));
        polygon->m_points = {QPointF(1.5, 2.5), QPointF(20.25, 3.0), QPointF(10.0, 15.75)};
        polygon->RecalcBounds();
        auto image = std::make_unique<CImageGraph>();
        image->m_nSourceKind = ImageEmbedded;
        image->m_strFileName = picture;
        image->m_strMimeType = QStringLiteral("image/png");
        image->m_strDataSource = QStringLiteral("源");
        image->m_strFieldName = QStringLiteral("字段");
        image->m_strSuffix = QStringLiteral(".png");
        image->m_strPrefix = QStringLiteral("/pics/");
        image->m_nSizeMode = ImageSizeFitBox;
        image->m_nErrorHandling = ImageErrorAsk;
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromFile(picture));
        Add(std::move(image), QStringLiteral("图片"));
    }

    CBaseGraph* Object(const QString& name) const
    {
        for (const auto& object : label.m_objects) {
            if (object->m_strName == name)
                return object.get();
        }
        return nullptr;
    }
};

// Counts the undo callbacks as the canvas would see them.
struct UndoLog
{
    int before = 0;
    int after = 0;
    int failed = 0;
};

ObjectEditRequest MakeRequest(Label& l, CBaseGraph* object, UndoLog& log)
{
    ObjectEditRequest request;
    request.object = object;
    for (const auto& each : l.label.m_objects)
        request.objects.push_back(each.get());
    request.label = &l.label;
    request.beforeApply = [&log] { ++log.before; };
    request.afterApply = [&log] { ++log.after; };
    request.applyFailed = [&log] { ++log.failed; };
    return request;
}

QWidget* Pane(QWidget* dialog, int pageId)
{
    auto* pane = page<QWidget>(dialog, pageId);
    EXPECT_NE(pane, nullptr) << pageId;
    return pane;
}

// Runs the object's dialog: the handler fills it; true when it closed with OK.
bool RunDialog(Label& l, CBaseGraph* object, UndoLog& log, FakeServices& services,
               const std::function<void(QWidget&)>& fill, bool ok = true)
{
    services.OnNextDialog([&](QDialog& dialog) {
        fill(dialog);
        ClickButton(&dialog, ok ? 1 : 2);
    });
    return EditObjectProperties(MakeRequest(l, object, log));
}

const QStringList kAllObjects = {QStringLiteral("文字0"), QStringLiteral("文字1"), QStringLiteral("文字2"),
                                 QStringLiteral("文字3"), QStringLiteral("直线"),  QStringLiteral("矩形"),
                                 QStringLiteral("椭圆"),  QStringLiteral("多边形"), QStringLiteral("图片")};

} // namespace

TEST(ObjectEdtDlg, OkWithoutTouchingKeepsEveryObjectsBytes)
{
    for (const QString& name : kAllObjects) {
        SCOPED_TRACE(name.toStdString());
        FakeServices services;
        Label l;
        const QByteArray before = DocumentBytes(l.label);
        UndoLog log;
        EXPECT_TRUE(RunDialog(l, l.Object(name), log, services, [](QWidget&) {}));
        EXPECT_EQ(DocumentBytes(l.label), before);
        EXPECT_EQ(log.before, 1);
        EXPECT_EQ(log.after, 1);
        EXPECT_EQ(log.failed, 0);
        EXPECT_TRUE(services.messages.empty());
    }
}

TEST(ObjectEdtDlg, HatchStyleTheListDoesNotOfferIsKept)
{
    FakeServices services;
    Label l;
    auto* ellipse = static_cast<CFilledShapeGraph*>(l.Object(QStringLiteral("椭圆")));
    ellipse->m_nHatchStyle = HatchStyle10Percent;
    const QByteArray before = DocumentBytes(l.label);
    UndoLog log;
    EXPECT_TRUE(RunDialog(l, ellipse, log, services, [](QWidget& d) {
        EXPECT_EQ(Ctl<QComboBox>(&d, 237, 1100)->currentIndex(), -1);
        EXPECT_TRUE(Ctl<CColourPicker>(&d, 237, 1289)->isEnabled());
    }));
    EXPECT_EQ(DocumentBytes(l.label), before);
}

TEST(ObjectEdtDlg, CaptionsTabsAndFirstTab)
{
    struct Row
    {
        QString object;
        QString caption;
        QStringList tabs;
    };
    const Row rows[] = {
        {QStringLiteral("文字0"), QStringLiteral("文字编辑框"), {"文字", "字体", "数据源", "位置", "常规"}},
        {QStringLiteral("直线"), QStringLiteral("直线编辑框"), {"直线", "位置", "常规"}},
        {QStringLiteral("矩形"), QStringLiteral("矩形编辑框"), {"矩形", "位置", "常规"}},
        {QStringLiteral("椭圆"), QStringLiteral("椭圆编辑框"), {"椭圆", "位置", "常规"}},
        {QStringLiteral("多边形"), QStringLiteral("多边形编辑框"), {"多边形", "位置", "常规"}},
        {QStringLiteral("图片"), QStringLiteral("图片编辑框"), {"图片", "位置", "常规"}},
    };
    Label l;
    UndoLog log;
    for (const Row& row : rows) {
        auto dialog = CreateObjectEdtDlg(MakeRequest(l, l.Object(row.object), log));
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), row.caption);
        auto* tabs = ctl<QTabWidget>(dialog.get(), 1117);
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        EXPECT_EQ(captions, row.tabs);
        EXPECT_EQ(tabs->currentIndex(), 0);
    }
    auto barcode = std::make_unique<CBaseGraph>();
    barcode->m_nKind = KindBarcode;
    ObjectEditRequest request;
    request.object = barcode.get();
    EXPECT_EQ(CreateObjectEdtDlg(request), nullptr);
    EXPECT_FALSE(EditObjectProperties(request));
}

TEST(ObjectEdtDlg, CancelAfterEditsAndConfirmedNestedDialogsKeepsTheObject)
{
    FakeServices services;
    Label l;
    const QByteArray before = DocumentBytes(l.label);
    UndoLog log;
    // Polygon: a vertex added through the confirmed point dialog, then Cancel.
    EXPECT_FALSE(RunDialog(
        l, l.Object(QStringLiteral("多边形")), log, services,
        [&](QWidget& dialog) {
            services.OnNextDialog([](QDialog& point) {
                RetypeText(ctl<QLineEdit>(&point, 1124), QStringLiteral("5"));
                RetypeText(ctl<QLineEdit>(&point, 1125), QStringLiteral("6"));
                ClickButton(&point, 1);
            });
            ClickButton(Pane(&dialog, 242), 1072);
            EXPECT_EQ(Ctl<QTableWidget>(&dialog, 242, 1123)->rowCount(), 4);
            RetypeText(Ctl<QLineEdit>(&dialog, 232, 1079), QStringLiteral("新名字"));
        },
        false));
    EXPECT_EQ(DocumentBytes(l.label), before);
    // Image: a data source confirmed in the nested dialog and a new file chosen.
    auto source = std::make_unique<CTextDS>();
    source->m_strName = QStringLiteral("客户");
    source->m_selectedFields = {QStringLiteral("照片")};
    l.label.m_dataSources.push_back(std::move(source));
    const QByteArray withSource = DocumentBytes(l.label);
    const QString other = WritePng(l.dir.filePath(QStringLiteral("other.png")), 10, 30);
    EXPECT_FALSE(RunDialog(
        l, l.Object(QStringLiteral("图片")), log, services,
        [&](QWidget& dialog) {
            auto* type = Ctl<QComboBox>(&dialog, 246, 1098);
            services.files.push_back(other);
            ClickButton(Pane(&dialog, 246), 1078);
            ChooseItem(type, ImageDataSource);
            services.OnNextDialog([](QDialog& sources) {
                ChooseItem(ctl<QComboBox>(&sources, 1101), 0);
                ChooseItem(ctl<QComboBox>(&sources, 1100), 0);
                ClickButton(&sources, 1);
            });
            ClickButton(Pane(&dialog, 246), 1078);
        },
        false));
    EXPECT_EQ(DocumentBytes(l.label), withSource);
    EXPECT_EQ(log.before + log.after + log.failed, 0);
}

TEST(ObjectEdtDlg, RefusalsShowTheirTabAndKeepTheObject)
{
    struct Row
    {
        QString object;
        std::function<void(QWidget&)> fill;
        QString message;
        int tab;
    };
    const Row rows[] = {
        {QStringLiteral("文字0"),
         [](QWidget& d) { Ctl<QLineEdit>(&d, 232, 1079)->clear(); },
         QStringLiteral("请输入对象名称。"), 4},
        {QStringLiteral("矩形"),
         [](QWidget& d) { RetypeText(Ctl<QLineEdit>(&d, 232, 1079), QStringLiteral("椭圆")); },
         QStringLiteral("对象名称重复，请指定不同的对象名称。"), 2},
        {QStringLiteral("图片"),
         [](QWidget& d) { ChooseItem(Ctl<QComboBox>(&d, 246, 1098), ImageLinked); },
         QStringLiteral("请选择图片"), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message.toStdString());
        FakeServices services;
        Label l;
        if (row.object == QStringLiteral("图片"))
            QFile::remove(l.picture);
        const QByteArray before = DocumentBytes(l.label);
        UndoLog log;
        int tab = -1;
        bool stayedOpen = false;
        services.OnNextDialog([&](QDialog& dialog) {
            ctl<QTabWidget>(&dialog, 1117)->setCurrentIndex(1);
            row.fill(dialog);
            ClickButton(&dialog, 1);
            stayedOpen = dialog.isVisible();
            tab = ctl<QTabWidget>(&dialog, 1117)->currentIndex();
            ClickButton(&dialog, 2);
        });
        EXPECT_FALSE(EditObjectProperties(MakeRequest(l, l.Object(row.object), log)));
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(tab, row.tab);
        EXPECT_EQ(services.MessageTexts(), QStringList{row.message});
        EXPECT_EQ(DocumentBytes(l.label), before);
        EXPECT_EQ(log.before, 0);
    }
}

TEST(ObjectEdtDlg, NamesThatAreAccepted)
{
    // The object's own name, another's name in other letter case, spaces only.
    for (const QString& name : {QStringLiteral("矩形"), QStringLiteral("Abc"), QStringLiteral("   ")}) {
        FakeServices services;
        Label l;
        l.Object(QStringLiteral("椭圆"))->m_strName = QStringLiteral("ABC");
        UndoLog log;
        EXPECT_TRUE(RunDialog(l, l.Object(QStringLiteral("矩形")), log, services, [&](QWidget& d) {
            RetypeText(Ctl<QLineEdit>(&d, 232, 1079), name);
        }));
        EXPECT_TRUE(services.messages.empty());
    }
}

// A pane whose apply fails as an encoder can, or runs out of memory.
class ThrowingPane : public CObjectPane
{
public:
    bool m_bOutOfMemory = false;
    void Apply() override
    {
        if (m_bOutOfMemory)
            throw std::bad_alloc();
        throw VXException(QStringLiteral("编码失败"));
    }
};

TEST(ObjectEdtDlg, ApplyThatThrowsRestoresTheObjectAndClosesTheRecordWithoutAStep)
{
    // The encoder's own message, or the program's words for a failure of the system.
    for (const bool outOfMemory : {false, true}) {
        FakeServices services;
        Label l;
        const QByteArray before = DocumentBytes(l.label);
        UndoLog log;
        auto dialog = CreateObjectEdtDlg(MakeRequest(l, l.Object(QStringLiteral("矩形")), log));
        auto* throwing = new ThrowingPane;
        throwing->m_bOutOfMemory = outOfMemory;
        dialog->AddTab(throwing, QStringLiteral("测试"));
        dialog->SetApplyOrder({dialog->m_pGeneral, throwing});
        bool stayedOpen = false;
        services.OnNextDialog([&](QDialog& d) {
            RetypeText(Ctl<QLineEdit>(&d, 232, 1079), QStringLiteral("改名"));
            ClickButton(&d, 1);
            stayedOpen = d.isVisible();
            ClickButton(&d, 2);
        });
        EXPECT_EQ(Services().RunModal(*dialog), QDialog::Rejected);
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(services.MessageTexts(),
                  QStringList{outOfMemory ? QStringLiteral("内存不足，无法完成此任务。") : QStringLiteral("编码失败")});
        EXPECT_EQ(DocumentBytes(l.label), before);
        EXPECT_EQ(log.before, 1);
        EXPECT_EQ(log.failed, 1);
        EXPECT_EQ(log.after, 0);
    }
}

TEST(ObjectEdtDlg, ReturnAndEscapeInAPaneDoNotCloseTheDialog)
{
    Label l;
    UndoLog log;
    auto dialog = CreateObjectEdtDlg(MakeRequest(l, l.Object(QStringLiteral("文字0")), log));
    dialog->show();
    for (int pageId : {248, 250, 233, 232}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(Pane(dialog.get(), pageId), key);
            EXPECT_TRUE(dialog->isVisible()) << pageId;
        }
    }
    EXPECT_EQ(log.before, 0);
}

// Each row edits one control of one object and checks the field it reaches.
TEST(ObjectEdtDlg, EachControlReachesItsField)
{
    struct Row
    {
        const char* what;
        QString object;
        std::function<void(QWidget&)> edit;
        std::function<void(const CBaseGraph&)> check;
    };
    auto text = [](const CBaseGraph& o) -> const CTextGraph& { return static_cast<const CTextGraph&>(o); };
    auto shape = [](const CBaseGraph& o) -> const CFilledShapeGraph& {
        return static_cast<const CFilledShapeGraph&>(o);
    };
    auto line = [](const CBaseGraph& o) -> const CLineGraph& { return static_cast<const CLineGraph&>(o); };
    auto image = [](const CBaseGraph& o) -> const CImageGraph& { return static_cast<const CImageGraph&>(o); };
    const Row rows[] = {
        {"not printed", QStringLiteral("椭圆"), [](QWidget& d) { Click(Ctl<QCheckBox>(&d, 232, 1006)); },
         [](const CBaseGraph& o) { EXPECT_FALSE(o.m_bNotPrinted); }},
        {"description", QStringLiteral("椭圆"),
         [](QWidget& d) { RetypeText(Ctl<QLineEdit>(&d, 232, 1080), QStringLiteral("说明")); },
         [](const CBaseGraph& o) { EXPECT_EQ(o.m_strDescription, QStringLiteral("说明")); }},
        {"x keeps three decimals", QStringLiteral("矩形"),
         [](QWidget& d) { Ctl<QLineEdit>(&d, 233, 1080)->setText(QStringLiteral("12.346")); },
         [](const CBaseGraph& o) { EXPECT_FLOAT_EQ(o.m_fX, 12.346f); }},
        {"negative width unclamped", QStringLiteral("矩形"),
         [](QWidget& d) { Ctl<QLineEdit>(&d, 233, 1079)->setText(QStringLiteral("-4")); },
         [](const CBaseGraph& o) { EXPECT_FLOAT_EQ(o.m_fWidth, -4.0f); }},
        {"anchor", QStringLiteral("矩形"), [](QWidget& d) { ChooseItem(Ctl<QComboBox>(&d, 233, 1098), 8); },
         [](const CBaseGraph& o) { EXPECT_EQ(o.m_nAnchor, 8); }},
        {"angle typed", QStringLiteral("图片"),
         [](QWidget& d) { Ctl<QComboBox>(&d, 233, 1100)->setEditText(QStringLiteral("400")); },
         [](const CBaseGraph& o) { EXPECT_FLOAT_EQ(o.m_fAngle, 400.0f); }},
        {"line end point", QStringLiteral("直线"),
         [](QWidget& d) { Ctl<QLineEdit>(&d, 240, 1121)->setText(QStringLiteral("33.5")); },
         [line](const CBaseGraph& o) { EXPECT_FLOAT_EQ(line(o).m_fY2, 33.5f); }},
        {"line caps", QStringLiteral("直线"), [](QWidget& d) { ChooseItem(Ctl<QComboBox>(&d, 239, 1099), 0); },
         [line](const CBaseGraph& o) { EXPECT_EQ(line(o).m_nLineEnd, 0); }},
        {"line constraint", QStringLiteral("直线"), [](QWidget& d) { Click(Ctl<QCheckBox>(&d, 239, 1004)); },
         [line](const CBaseGraph& o) { EXPECT_FALSE(line(o).m_bHorzVertOnly); }},
        {"corner radius", QStringLiteral("矩形"),
         [](QWidget& d) { Ctl<QLineEdit>(&d, 235, 1080)->setText(QStringLiteral("3.5")); },
         [](const CBaseGraph& o) { EXPECT_FLOAT_EQ(static_cast<const CRectangleGraph&>(o).m_fCornerRadius, 3.5f); }},
        {"hatch off keeps the style, stores black", QStringLiteral("椭圆"),
         [](QWidget& d) { ChooseItem(Ctl<QComboBox>(&d, 237, 1100), 0); },
         [shape](const CBaseGraph& o) {
             EXPECT_FALSE(shape(o).m_bHatch);
             EXPECT_EQ(shape(o).m_nHatchStyle, HatchStyleDiagonalBrick);
             EXPECT_EQ(shape(o).m_crHatch, 0xFF000000u);
         }},
        {"no gradient stores black colours", QStringLiteral("多边形"),
         [](QWidget& d) { ChooseItem(Ctl<QComboBox>(&d, 243, 1102), 0); },
         [shape](const CBaseGraph& o) {
             EXPECT_EQ(shape(o).m_nGradient, 0);
             EXPECT_EQ(shape(o).m_crGradient1, 0xFF000000u);
             EXPECT_EQ(shape(o).m_crGradient2, 0xFF000000u);
         }},
        {"no background", QStringLiteral("椭圆"),
         [](QWidget& d) { Ctl<CColourPicker>(&d, 237, 1115)->SetColour(QColor()); },
         [shape](const CBaseGraph& o) { EXPECT_EQ(shape(o).m_crFill, 0x00FFFFFFu); }},
        {"dash", QStringLiteral("椭圆"), [](QWidget& d) { ChooseItem(Ctl<QComboBox>(&d, 237, 1098), 1); },
         [shape](const CBaseGraph& o) { EXPECT_EQ(shape(o).m_nDashStyle, 1); }},
        {"font size typed", QStringLiteral("文字0"),
         [](QWidget& d) { Ctl<QComboBox>(&d, 250, 5)->setEditText(QStringLiteral("9.5")); },
         [text](const CBaseGraph& o) { EXPECT_EQ(text(o).m_fFontSize, 9.5f); }},
        {"font style regular", QStringLiteral("文字0"), [](QWidget& d) { ChooseItem(Ctl<QComboBox>(&d, 250, 3), 0); },
         [text](const CBaseGraph& o) {
             EXPECT_FALSE(text(o).m_bBold);
             EXPECT_FALSE(text(o).m_bItalic);
         }},
        {"white on black", QStringLiteral("文字0"), [](QWidget& d) { Click(Ctl<QCheckBox>(&d, 250, 1057)); },
         [text](const CBaseGraph& o) { EXPECT_EQ(text(o).m_byStyle5, 0); }},
        {"transparent text background", QStringLiteral("文字0"),
         [](QWidget& d) { Ctl<CColourPicker>(&d, 250, 1115)->SetColour(QColor()); },
         [text](const CBaseGraph& o) { EXPECT_EQ(text(o).m_crFill, 0x00FFFFFFu); }},
        {"multi-line to single keeps multi-line fields", QStringLiteral("文字1"),
         [](QWidget& d) {
             Click(Ctl<QRadioButton>(&d, 248, 1133));
             Ctl<QLineEdit>(&d, 253, 1209)->setText(QStringLiteral("0.5"));
         },
         [text](const CBaseGraph& o) {
             EXPECT_EQ(text(o).m_nLayoutMode, SingleLine);
             EXPECT_FLOAT_EQ(text(o).m_fCharSpacing, 0.5f);
             EXPECT_EQ(text(o).m_nAlignment, 1);
             EXPECT_EQ(text(o).m_nLineSpacingChoice, 3);
             EXPECT_FLOAT_EQ(text(o).m_fLineSpacing, 2.5f);
         }},
        {"multi-line right alignment is code 2", QStringLiteral("文字1"),
         [](QWidget& d) { ChooseItem(Ctl<QComboBox>(&d, 254, 1098), 1); },
         [text](const CBaseGraph& o) { EXPECT_EQ(text(o).m_nAlignment, 2); }},
        {"vertical right alignment is code 2", QStringLiteral("文字0"),
         [](QWidget& d) {
             Click(Ctl<QRadioButton>(&d, 248, 1135));
             ChooseItem(Ctl<QComboBox>(&d, 255, 1098), 1);
         },
         [text](const CBaseGraph& o) {
             EXPECT_EQ(text(o).m_nLayoutMode, VertText);
             EXPECT_EQ(text(o).m_nAlignment, 2);
             EXPECT_FALSE(text(o).m_bFitToBox);
         }},
        {"curved square box", QStringLiteral("文字3"), [](QWidget& d) { Click(Ctl<QCheckBox>(&d, 256, 1004)); },
         [text](const CBaseGraph& o) {
             EXPECT_TRUE(text(o).m_bSquareBox);
             EXPECT_FLOAT_EQ(text(o).m_fHeight, text(o).m_fWidth);
         }},
        {"image size by proportions", QStringLiteral("图片"), [](QWidget& d) { Click(Ctl<QRadioButton>(&d, 246, 1127)); },
         [image](const CBaseGraph& o) {
             EXPECT_EQ(image(o).m_nSizeMode, ImageSizeProportional);
             EXPECT_FLOAT_EQ(image(o).m_fHeight, 31.75f / 2);
         }},
        {"image natural size", QStringLiteral("图片"), [](QWidget& d) { Click(Ctl<QRadioButton>(&d, 246, 1126)); },
         [image](const CBaseGraph& o) {
             EXPECT_FLOAT_EQ(image(o).m_fWidth, static_cast<float>(40 * 25.4 / g_nScreenDpiX));
             EXPECT_FLOAT_EQ(image(o).m_fHeight, static_cast<float>(20 * 25.4 / g_nScreenDpiY));
         }},
        {"image error handling", QStringLiteral("图片"), [](QWidget& d) { Click(Ctl<QRadioButton>(&d, 246, 1131)); },
         [image](const CBaseGraph& o) { EXPECT_EQ(image(o).m_nErrorHandling, ImageErrorAbort); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeServices services;
        Label l;
        UndoLog log;
        ASSERT_TRUE(RunDialog(l, l.Object(row.object), log, services, row.edit));
        row.check(*l.Object(row.object));
        EXPECT_EQ(log.after, 1);
    }
}

TEST(ObjectEdtDlg, PolygonVertexButtons)
{
    FakeServices services;
    Label l;
    UndoLog log;
    auto* polygon = static_cast<CPolygonGraph*>(l.Object(QStringLiteral("多边形")));
    ASSERT_TRUE(RunDialog(l, polygon, log, services, [&](QWidget& d) {
        auto* list = Ctl<QTableWidget>(&d, 242, 1123);
        QWidget* pane = Pane(&d, 242);
        // Nothing selected: "-" and "*" do nothing.
        list->clearSelection();
        ClickButton(pane, 1073);
        ClickButton(pane, 1078);
        EXPECT_EQ(list->rowCount(), 3);
        // "*" edits the selected row with the texts as typed.
        list->selectRow(1);
        services.OnNextDialog([](QDialog& point) {
            EXPECT_EQ(ctl<QLineEdit>(&point, 1124)->text(), QStringLiteral("20.25"));
            ctl<QLineEdit>(&point, 1124)->setText(QStringLiteral("abc"));
            ClickButton(&point, 1);
        });
        ClickButton(pane, 1078);
        EXPECT_EQ(list->item(1, 0)->text(), QStringLiteral("abc"));
        // "-" removes down to one row and no further.
        for (int i = 0; i < 4; ++i) {
            list->selectRow(0);
            ClickButton(pane, 1073);
        }
        EXPECT_EQ(list->rowCount(), 1);
    }));
    ASSERT_EQ(polygon->m_points.size(), 1u);
    EXPECT_EQ(polygon->m_points[0], QPointF(10.0, 15.75));
    EXPECT_FLOAT_EQ(polygon->m_fX, 10.0f);
    EXPECT_FLOAT_EQ(polygon->m_fWidth, 0.0f);
}

TEST(ObjectEdtDlg, PickersFollowTheHatchAndGradientLists)
{
    Label l;
    UndoLog log;
    auto dialog = CreateObjectEdtDlg(MakeRequest(l, l.Object(QStringLiteral("椭圆")), log));
    dialog->show();
    auto* hatchColour = Ctl<CColourPicker>(dialog.get(), 237, 1289);
    auto* gradient1 = Ctl<CColourPicker>(dialog.get(), 237, 1117);
    EXPECT_TRUE(hatchColour->isEnabled());
    EXPECT_EQ(hatchColour->GetColour(), QColor(0x70, 0x80, 0x90));
    gradient1->SetColour(Qt::red);
    ChooseItem(Ctl<QComboBox>(dialog.get(), 237, 1102), 2);
    EXPECT_EQ(gradient1->GetColour(), QColor(0xA0, 0xB0, 0xC0)); // the stored colour again
    ChooseItem(Ctl<QComboBox>(dialog.get(), 237, 1100), 0);
    EXPECT_FALSE(hatchColour->isEnabled());
    EXPECT_FALSE(hatchColour->GetColour().isValid());
}

TEST(ObjectEdtDlg, FontPaneShowsWhatItCannotList)
{
    Label l;
    UndoLog log;
    auto dialog = CreateObjectEdtDlg(MakeRequest(l, l.Object(QStringLiteral("文字0")), log));
    EXPECT_EQ(Ctl<QComboBox>(dialog.get(), 250, 2)->currentText(), QStringLiteral("NoSuchFace Pro"));
    auto* size = Ctl<QComboBox>(dialog.get(), 250, 5);
    EXPECT_EQ(size->currentIndex(), -1);
    EXPECT_EQ(size->currentText(), QStringLiteral("9.50"));
    EXPECT_EQ(Ctl<QComboBox>(dialog.get(), 250, 3)->currentText(), QStringLiteral("粗斜体"));
}

TEST(ObjectEdtDlg, ImageTypeComesFromTheFileNameOrItsContent)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("shots.v2"));
    const struct
    {
        QString file;
        QString mime;
    } rows[] = {
        {QStringLiteral("b.JPG"), QStringLiteral("image/jpeg")},
        {QStringLiteral("x.tif"), QStringLiteral("image/tiff")},
        {QStringLiteral("c.Png"), QStringLiteral("image/png")},
        {QStringLiteral("shots.v2/picture"), QStringLiteral("image/png")},
    };
    for (const auto& row : rows) {
        const QString path = WritePng(dir.filePath(row.file), 4, 4);
        EXPECT_EQ(ImageMimeTypeOf(path), row.mime) << row.file.toStdString();
    }
}

TEST(ObjectEdtDlg, ChosenPictureIsStoredAndAnUndecodableOneLeavesTheBox)
{
    FakeServices services;
    Label l;
    UndoLog log;
    auto* image = static_cast<CImageGraph*>(l.Object(QStringLiteral("图片")));
    const QString tall = WritePng(l.dir.filePath(QStringLiteral("tall.PNG")), 10, 30);
    ASSERT_TRUE(RunDialog(l, image, log, services, [&](QWidget& d) {
        ChooseItem(Ctl<QComboBox>(&d, 246, 1098), ImageLinked);
        services.files.push_back(tall);
        ClickButton(Pane(&d, 246), 1078);
        Click(Ctl<QRadioButton>(&d, 246, 1127));
    }));
    EXPECT_EQ(image->m_nSourceKind, ImageLinked);
    EXPECT_EQ(image->m_strFileName, tall);
    EXPECT_EQ(image->m_strMimeType, QStringLiteral("image/png"));
    EXPECT_EQ(image->m_pImage->Image().size(), QSize(10, 30));
    EXPECT_FLOAT_EQ(image->m_fHeight, 31.75f * 3);

    QFile broken(l.dir.filePath(QStringLiteral("broken.png")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    const float width = image->m_fWidth, height = image->m_fHeight;
    ASSERT_TRUE(RunDialog(l, image, log, services, [&](QWidget& d) {
        services.files.push_back(broken.fileName());
        ClickButton(Pane(&d, 246), 1078);
    }));
    EXPECT_FALSE(image->m_pImage->IsDecoded());
    EXPECT_EQ(image->m_fWidth, width);
    EXPECT_EQ(image->m_fHeight, height);
}

TEST(ObjectEdtDlg, EmbeddedPictureWhoseFileIsGoneIsKept)
{
    FakeServices services;
    Label l;
    UndoLog log;
    auto* image = static_cast<CImageGraph*>(l.Object(QStringLiteral("图片")));
    const QByteArray bytes = image->m_pImage->Bytes();
    QFile::remove(l.picture);
    ASSERT_TRUE(RunDialog(l, image, log, services, [](QWidget&) {}));
    EXPECT_EQ(image->m_pImage->Bytes(), bytes);
}

TEST(ObjectEdtDlg, ImageDataSourceDialog)
{
    FakeServices services;
    Label l;
    for (const char* name : {"甲", "乙"}) {
        auto source = std::make_unique<CTextDS>();
        source->m_strName = QString::fromUtf8(name);
        source->m_selectedFields = {source->m_strName + QStringLiteral("1"), source->m_strName + QStringLiteral("2")};
        l.label.m_dataSources.push_back(std::move(source));
    }
    CImageDataSourceDlg dialog;
    dialog.m_pLabelData = &l.label;
    dialog.m_strDataSource = QStringLiteral("乙");
    dialog.m_strFieldName = QStringLiteral("乙2");
    dialog.m_strSuffix = QStringLiteral(".jpg");
    services.OnNextDialog([](QDialog& d) {
        EXPECT_EQ(ctl<QComboBox>(&d, 1101)->currentText(), QStringLiteral("乙"));
        EXPECT_EQ(ctl<QComboBox>(&d, 1100)->currentText(), QStringLiteral("乙2"));
        EXPECT_EQ(ctl<QLineEdit>(&d, 1225)->text(), QStringLiteral(".jpg"));
        ChooseItem(ctl<QComboBox>(&d, 1101), 0);
        EXPECT_EQ(ctl<QComboBox>(&d, 1100)->currentIndex(), -1);
        RetypeText(ctl<QLineEdit>(&d, 1224), QStringLiteral("C:"));
        ClickButton(&d, 1);
    });
    ASSERT_EQ(Services().RunModal(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.m_strDataSource, QStringLiteral("甲"));
    EXPECT_EQ(dialog.m_strFieldName, QStringLiteral("乙2")); // no field chosen: kept
    EXPECT_EQ(dialog.m_strPrefix, QStringLiteral("C:"));
}

TEST(ObjectEdtDlg, OneOkIsOneUndoStepOfTheCanvas)
{
    FakeServices services;
    Label l;
    FakeCanvas canvas;
    CUndoRedoManager manager{&canvas};
    CUndoRecordBuilder builder{canvas, manager};
    manager.m_bModified = true; // no file-changed marker before the edit's record
    CBaseProxy* other = canvas.Add(l.Object(QStringLiteral("椭圆"))->Clone());
    CBaseProxy* proxy = canvas.Add(l.Object(QStringLiteral("矩形"))->Clone());
    auto bytes = [&] {
        CLabelData copy;
        for (const auto& each : canvas.objects)
            copy.m_objects.push_back(each->GetObject()->Clone());
        return DocumentBytes(copy);
    };
    const QByteArray before = bytes();
    // A duplicate name is refused before any record is opened.
    services.OnNextDialog([&](QDialog& d) {
        RetypeText(Ctl<QLineEdit>(&d, 232, 1079), other->GetObject()->m_strName);
        ClickButton(&d, 1);
        RetypeText(Ctl<QLineEdit>(&d, 233, 1080), QStringLiteral("1.5"));
        ChooseItem(Ctl<QComboBox>(&d, 235, 1098), 2);
        RetypeText(Ctl<QLineEdit>(&d, 232, 1079), QStringLiteral("新矩形"));
        ClickButton(&d, 1);
    });
    ASSERT_TRUE(EditProxyProperties(*proxy, canvas.objects, &l.label, builder));
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("对象名称重复，请指定不同的对象名称。")});
    EXPECT_EQ(manager.UndoCount(), 1u);
    EXPECT_FALSE(builder.HasPendingEdit());
    const auto& rectangle = static_cast<const CRectangleGraph&>(*canvas.objects[1]->GetObject());
    EXPECT_EQ(rectangle.m_strName, QStringLiteral("新矩形"));
    EXPECT_FLOAT_EQ(rectangle.m_fX, 1.5f);
    EXPECT_EQ(rectangle.m_nDashStyle, 2);
    const QByteArray after = bytes();
    manager.Undo();
    EXPECT_EQ(bytes(), before);
    manager.Redo();
    EXPECT_EQ(bytes(), after);
}

TEST(Showcase, TextObjectDialog)
{
    QTemporaryDir temp;
    QString dir = qEnvironmentVariable("VC_SHOWCASE_DIR");
    if (dir.isEmpty())
        dir = temp.path();
    QDir().mkpath(dir);
    Label l;
    UndoLog log;
    auto* text = static_cast<CTextGraph*>(l.Object(QStringLiteral("文字1")));
    text->m_strFontName = QStringLiteral("DejaVu Sans");
    text->m_fFontSize = 14.0f;
    auto dialog = CreateObjectEdtDlg(MakeRequest(l, text, log));
    dialog->show();
    dialog->resize(dialog->sizeHint());
    auto* tabs = ctl<QTabWidget>(dialog.get(), 1117);
    const char* names[] = {"text-dialog-text.png", "text-dialog-font.png", "text-dialog-datasource.png",
                           "text-dialog-position.png", "text-dialog-general.png"};
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QTest::qWait(30);
        const QImage image = dialog->grab().toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(dir + QLatin1Char('/') + QLatin1String(names[i])));
    }
}

#include "SessionTestSupport.h"
#include "editor/TextProxy.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace {

class TextSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        Create(CmdToolText, 10, 10);
        ASSERT_EQ(View().ObjectList().size(), 1u);
        text = static_cast<CTextGraph*>(Last()->GetObject());
    }
    QPoint Centre() { return At(text->m_fX + text->GetWidth() / 2, text->m_fY + text->GetHeight() / 2); }
    void EditWithDialog(const std::function<void(QDialog&)>& fill)
    {
        services.OnNextDialog([&](QDialog& d) {
            fill(d);
            QTest::mouseClick(ctl<QPushButton>(&d, 1), Qt::LeftButton);
        });
        DoubleClick(Centre());
        Settle();
        EXPECT_TRUE(services.dialogs.empty());
        EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(' ').toStdString();
    }
    // The box the text would have, fitted to its words.
    QSizeF FittedBox()
    {
        const float width = text->GetWidth(), height = text->GetHeight();
        static_cast<CTextProxy&>(*Last()).FitTextBoxToText();
        const QSizeF fitted(text->GetWidth(), text->GetHeight());
        text->SetWidth(width);
        text->SetHeight(height);
        return fitted;
    }

    CTextGraph* text = nullptr;
};

} // namespace

// A single-line text's box follows what the dialog changed: a larger font, a second
// band; undo gives the old box back with the old words.
TEST_F(TextSession, SingleLineBoxFollowsFontAndBandsChangedInTheDialog)
{
    const QSizeF start(text->GetWidth(), text->GetHeight());
    EditWithDialog([](QDialog& d) {
        ctl<QTabWidget>(&d, 1117)->setCurrentIndex(1);
        auto* size = Ctl<QComboBox>(&d, 250, 5);
        size->setCurrentText(QStringLiteral("24"));
    });
    ASSERT_EQ(text->m_fFontSize, 24.0f);
    EXPECT_GT(text->GetHeight(), start.height() * 1.5);
    EXPECT_GT(text->GetWidth(), start.width() * 1.5);
    EXPECT_NEAR(text->GetWidth(), FittedBox().width(), 0.01);
    EXPECT_NEAR(text->GetHeight(), FittedBox().height(), 0.01);

    const float oneBand = text->GetWidth();
    EditWithDialog([](QDialog& d) {
        ctl<QTabWidget>(&d, 1117)->setCurrentIndex(2);
        ctl<QAction>(Ctl<QWidget>(&d, 249, 1211), 40567)->trigger();
    });
    ASSERT_EQ(text->m_bands.size(), 2u);
    EXPECT_GT(text->GetWidth(), oneBand * 1.8f);
    EXPECT_NEAR(text->GetWidth(), FittedBox().width(), 0.01);

    // A width typed on the position tab is the user's own.
    EditWithDialog([](QDialog& d) {
        ctl<QTabWidget>(&d, 1117)->setCurrentIndex(3);
        RetypeText(Ctl<QLineEdit>(&d, 233, 1079), QStringLiteral("40"));
    });
    EXPECT_FLOAT_EQ(text->GetWidth(), 40.0f);

    for (int step = 0; step < 3; ++step)
        ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_FLOAT_EQ(text->GetWidth(), float(start.width()));
    EXPECT_FLOAT_EQ(text->GetHeight(), float(start.height()));
}
// A font size that is no size is refused on the font tab of a text and of a barcode,
// instead of the words shrinking to nothing; the object stays as it was.
TEST_F(TextSession, AFontSizeOfNothingIsRefused)
{
    Create(CmdToolBarcode, 10, 30);
    ASSERT_EQ(View().ObjectList().size(), 2u);
    CBaseGraph* barcode = Last()->GetObject();
    for (CBaseGraph* object : {static_cast<CBaseGraph*>(text), barcode}) {
        for (const char* typed : {"abc", "0", "-3"}) {
            SCOPED_TRACE(typed);
            const float width = object->GetWidth(), height = object->GetHeight();
            const size_t steps = View().UndoManager().UndoCount();
            services.OnNextDialog([&](QDialog& d) {
                ctl<QTabWidget>(&d, 1117)->setCurrentIndex(4);
                Ctl<QComboBox>(&d, 250, 5)->setCurrentText(QString::fromLatin1(typed));
                QTest::mouseClick(ctl<QPushButton>(&d, 1), Qt::LeftButton);
                EXPECT_TRUE(d.isVisible());
                EXPECT_EQ(ctl<QTabWidget>(&d, 1117)->currentIndex(), 1);
                EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("字体大小必须大于 0 且不超过 1000，请重新输入。")});
                QTest::mouseClick(ctl<QPushButton>(&d, 2), Qt::LeftButton);
            });
            DoubleClick(At(object->m_fX + object->GetWidth() / 2, object->m_fY + object->GetHeight() / 2));
            Settle();
            EXPECT_TRUE(services.dialogs.empty());
            services.messages.clear();
            EXPECT_FLOAT_EQ(object->GetWidth(), width);
            EXPECT_FLOAT_EQ(object->GetHeight(), height);
            EXPECT_EQ(View().UndoManager().UndoCount(), steps);
        }
    }
}

// A number typed into a property dialog reaches the object only when it is finite and
// in its box's range: OK shows the box's tab with a message naming box and range, and
// the object and the history stay as they were.
TEST_F(TextSession, NumbersThatAreNoneOrOutOfRangeAreRefusedOnTheirTab)
{
    Create(CmdToolRectangle, 40, 30);
    CBaseProxy* rectangle = Last();
    const struct {
        CBaseProxy* proxy;
        int page;
        int id;
        const char* typed;
        const char16_t* message;
    } cases[] = {
        {rectangle, 233, 1100, "1e91", u"角度必须是 -3600 到 3600 之间的数，请重新输入。"},
        {rectangle, 233, 1100, "-1e39", u"角度必须是 -3600 到 3600 之间的数，请重新输入。"},
        {rectangle, 233, 1080, "99999", u"X必须是 -10000 到 10000 之间的数，请重新输入。"},
        {rectangle, 235, 1079, "1e40", u"线宽必须是 -10000 到 10000 之间的数，请重新输入。"},
        {View().ObjectList()[0].get(), 250, 5, "1e91", u"字体大小必须大于 0 且不超过 1000，请重新输入。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        View().GetSelection() = {c.proxy};
        View().SetCurrentObject(c.proxy);
        const std::unique_ptr<CBaseGraph> before = c.proxy->GetObject()->Clone();
        const size_t steps = View().UndoManager().UndoCount();
        services.OnNextDialog([&](QDialog& d) {
            QWidget* box = Ctl<QWidget>(&d, c.page, c.id);
            if (auto* combo = qobject_cast<QComboBox*>(box))
                combo->setEditText(QString::fromLatin1(c.typed));
            else
                static_cast<QLineEdit*>(box)->setText(QString::fromLatin1(c.typed));
            ctl<QTabWidget>(&d, 1117)->setCurrentIndex(0);
            QTest::mouseClick(ctl<QPushButton>(&d, 1), Qt::LeftButton);
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(services.MessageTexts(), QStringList{QString::fromUtf16(c.message)});
            EXPECT_TRUE(box->isVisibleTo(&d));
            QTest::mouseClick(ctl<QPushButton>(&d, 2), Qt::LeftButton);
        });
        ASSERT_TRUE(Trigger(CmdProperties));
        services.messages.clear();
        EXPECT_EQ(c.proxy->GetObject()->m_fAngle, before->m_fAngle);
        EXPECT_EQ(c.proxy->GetObject()->m_fX, before->m_fX);
        EXPECT_EQ(c.proxy->GetObject()->m_fLineWidth, before->m_fLineWidth);
        EXPECT_EQ(View().UndoManager().UndoCount(), steps);
    }
    // Ten turns are still an angle.
    services.OnNextDialog([](QDialog& d) {
        Ctl<QComboBox>(&d, 233, 1100)->setEditText(QStringLiteral("-3600"));
        QTest::mouseClick(ctl<QPushButton>(&d, 1), Qt::LeftButton);
    });
    View().GetSelection() = {rectangle};
    View().SetCurrentObject(rectangle);
    ASSERT_TRUE(Trigger(CmdProperties));
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(rectangle->GetObject()->m_fAngle, -3600.0f);

    // A polygon's vertex is checked in its own dialog.
    Create(CmdToolPolygon, 10, 50);
    const size_t vertices = static_cast<CPolygonGraph&>(*Last()->GetObject()).m_points.size();
    services.OnNextDialog([&](QDialog& d) {
        services.OnNextDialog([&](QDialog& point) {
            ctl<QLineEdit>(&point, 1124)->setText(QStringLiteral("123456"));
            QTest::mouseClick(ctl<QPushButton>(&point, 1), Qt::LeftButton);
            EXPECT_TRUE(point.isVisible());
            EXPECT_EQ(services.MessageTexts(),
                      QStringList{QStringLiteral("X必须是 -10000 到 10000 之间的数，请重新输入。")});
        });
        Click(Ctl<QPushButton>(&d, 242, 1072));
        EXPECT_EQ(Ctl<QTableWidget>(&d, 242, 1123)->rowCount(), int(vertices));
        QTest::mouseClick(ctl<QPushButton>(&d, 2), Qt::LeftButton);
    });
    ASSERT_TRUE(Trigger(CmdProperties));
}

// The polygon's point list shows both columns side by side when its tab first shows,
// with no scroll bar hiding the Y column.
TEST_F(TextSession, PolygonPointsShowBothColumnsAtFirstSight)
{
    Create(CmdToolPolygon, 10, 50);
    services.OnNextDialog([&](QDialog& d) {
        auto* points = Ctl<QTableWidget>(&d, 242, 1123);
        ctl<QTabWidget>(&d, 1117)->setCurrentWidget(d.findChild<QWidget*>(QStringLiteral("page_242")));
        QTest::qWait(20);
        ASSERT_TRUE(points->isVisible());
        EXPECT_EQ(points->horizontalScrollBar()->maximum(), 0);
        const int width = points->viewport()->width();
        EXPECT_LE(points->columnWidth(0) + points->columnWidth(1), width);
        EXPECT_GE(points->columnWidth(1), width / 2 - 1);
        const QString shot = qEnvironmentVariable("VC_POLYGON_SCREENSHOT");
        if (!shot.isEmpty())
            d.grab().save(shot);
        QTest::mouseClick(ctl<QPushButton>(&d, 2), Qt::LeftButton);
    });
    ASSERT_TRUE(Trigger(CmdProperties));
}

// The dialogs show two decimals; an OK that changes only a name must not round the
// box, the angle, the font size or the vertices to them, and undoing everything and
// redoing it gives back exactly what was there.
TEST_F(TextSession, AnOkKeepsTheDigitsOfWhatWasNotTypedAndUndoRedoGiveThemBack)
{
    ASSERT_TRUE(Trigger(CmdMultiLine));
    text->m_fX = 10.005f;
    text->m_fWidth = 40.1234f;
    text->m_fHeight = 76.7186f;
    text->m_fAngle = 12.345f;
    text->m_fFontSize = 11.234f;
    CBaseProxy* textProxy = Last();
    Create(CmdToolPolygon, 10, 50);
    CBaseProxy* polygonProxy = Last();
    auto& polygon = static_cast<CPolygonGraph&>(*polygonProxy->GetObject());
    polygon.m_points = {{10.1234, 50.5678}, {22.2222, 50.0049}, {16.0001, 58.9999}};
    polygon.RecalcBounds();
    const std::unique_ptr<CBaseGraph> textBefore = text->Clone();
    const std::vector<QPointF> points = polygon.m_points;
    const auto exact = [&] {
        EXPECT_EQ(text->m_fX, textBefore->m_fX);
        EXPECT_EQ(text->GetWidth(), 40.1234f);
        EXPECT_EQ(text->GetHeight(), 76.7186f);
        EXPECT_EQ(text->m_fAngle, 12.345f);
        EXPECT_EQ(text->m_fFontSize, 11.234f);
        EXPECT_EQ(polygon.m_points, points);
    };
    for (CBaseProxy* proxy : {textProxy, polygonProxy}) {
        View().GetSelection() = {proxy};
        View().SetCurrentObject(proxy);
        services.OnNextDialog([](QDialog& d) {
            Ctl<QLineEdit>(&d, 232, 1079)->setText(QStringLiteral("改过名的"));
            QTest::mouseClick(ctl<QPushButton>(&d, 1), Qt::LeftButton);
        });
        ASSERT_TRUE(Trigger(CmdProperties));
        EXPECT_TRUE(services.dialogs.empty());
        EXPECT_EQ(proxy->GetObject()->m_strName, QStringLiteral("改过名的"));
        // The next one needs a name of its own.
        proxy->GetObject()->m_strName += proxy == textProxy ? u'1' : u'2';
    }
    exact();
    while (Trigger(CmdEditUndo)) {
    }
    while (Trigger(CmdEditRedo)) {
    }
    exact();
}
