// The data-band dialogs driven through their controls: the data-source tab of the
// text dialog (opening, editing, toolbar, OK and Cancel), the data-band settings
// pages, the named substrings, and the band text editor, also as the canvas opens it.
#include "FakeServices.h"
#include "ProxyTestSupport.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "app/controls/ComboBoxes.h"
#include "app/controls/NumSpinCtrl.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "dialogs/properties/BandTextEidtor.h"
#include "dialogs/properties/DataBandSettingsDlg.h"
#include "dialogs/properties/DataSourcePane.h"
#include "dialogs/properties/NamedSubstringDlg.h"
#include "dialogs/properties/ObjectEdtDlg.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "editor/ObjectKinds.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/DocWriter.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "platform/Archive.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

// The bands as the label file keeps them, with the serial step the record leaves out.
QByteArray BandBytes(const BandVector& bands)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CArchiveWriter ar(&buffer);
    WriteDataBandList(ar, bands);
    ar.Flush();
    QByteArray bytes = buffer.data();
    for (const auto& band : bands)
        bytes += QByteArray::number(band->m_nSerialStep) + ';';
    return bytes;
}

std::unique_ptr<CDataBand> Band(int kind, const QString& value)
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = kind;
    band->m_strValue = value;
    return band;
}

// A label with a data source, form items and named substrings, and a text object
// whose bands are one of every kind, each far from the defaults.
struct BandedLabel
{
    CLabelData label;
    CTextGraph* text;

    BandedLabel()
    {
        if (CGlobalSettings::GetInstance()->m_dateTemplates.isEmpty())
            CGlobalSettings::GetInstance()->Init();
        auto source = std::make_unique<CTextDS>();
        source->m_strName = QStringLiteral("Goods");
        source->m_selectedFields = {QStringLiteral("Code"), QStringLiteral("Name"), QStringLiteral("Price")};
        source->m_sampleValues = {QStringLiteral("A100"), QStringLiteral("螺丝")};
        label.m_dataSources.push_back(std::move(source));
        auto caption = std::make_unique<CStaticSDGraph>();
        caption->m_strName = QStringLiteral("Caption");
        label.m_formItems.push_back(std::move(caption));
        auto input = std::make_unique<CEditSDGraph>();
        input->m_strName = QStringLiteral("Batch");
        input->m_strText = QStringLiteral("B-7");
        label.m_formItems.push_back(std::move(input));
        auto substring = Band(BandConstant, QStringLiteral("公司名"));
        substring->m_strName = QStringLiteral("Company");
        label.m_namedSubstrings.push_back(std::move(substring));
        auto other = Band(BandSerial, QStringLiteral("0001"));
        other->m_strName = QStringLiteral("Lot");
        label.m_namedSubstrings.push_back(std::move(other));

        auto object = std::make_unique<CTextGraph>();
        object->m_strName = QStringLiteral("文字");
        object->m_pLabelData = &label;
        text = object.get();
        auto& bands = object->m_bands;
        bands.push_back(Band(BandConstant, QStringLiteral("第一行\r\n第二行")));
        auto date = Band(BandDate, QStringLiteral("2001-01-01"));
        date->m_strDateTimeFormat = QStringLiteral("dd/MM/yyyy HH"); // no template of the list
        date->m_nDateTimeOffset = -3;
        bands.push_back(std::move(date));
        auto time = Band(BandTime, QStringLiteral("08:00"));
        time->m_strDateTimeFormat = QStringLiteral("H:mm");
        time->m_nDateTimeOffset = 15;
        bands.push_back(std::move(time));
        auto serial = Band(BandSerial, QStringLiteral("00042"));
        serial->m_nSerialBase = SerialHex;
        serial->m_nSerialStep = 3;
        bands.push_back(std::move(serial));
        auto field = Band(BandDatabase, QStringLiteral("A100"));
        field->m_strDataSource = QStringLiteral("GOODS"); // case differs
        field->m_strFieldName = QStringLiteral("code");
        bands.push_back(std::move(field));
        auto missing = Band(BandDatabase, QStringLiteral("x"));
        missing->m_strDataSource = QStringLiteral("Gone");
        missing->m_strFieldName = QStringLiteral("Gone");
        bands.push_back(std::move(missing));
        auto window = Band(BandWindowData, QStringLiteral("B-7"));
        window->m_strWindowItem = QStringLiteral("Batch");
        bands.push_back(std::move(window));
        auto named = Band(BandNamedSubstring, QStringLiteral("公司名"));
        named->m_strRefBandName = QStringLiteral("Nobody");
        bands.push_back(std::move(named));
        auto dropped = Band(BandItemValue, QStringLiteral("dropped"));
        dropped->m_strItemName = QStringLiteral("Price");
        bands.push_back(std::move(dropped));
        object->m_strText = GetBandsText(*object);
        label.m_objects.push_back(std::move(object));
    }

    QByteArray Bytes() const
    {
        CDocWriterV1_0 writer;
        writer.m_pLabelData = &label;
        return writer.DocumentBytes() + BandBytes(text->m_bands);
    }
};

ObjectEditRequest Request(BandedLabel& l, CDataBand* select = nullptr)
{
    ObjectEditRequest request;
    request.object = l.text;
    request.objects = {l.text};
    request.label = &l.label;
    request.bandToSelect = select;
    return request;
}

CDataSourceEdtPane* DataSourcePane(QWidget& dialog)
{
    auto* pane = page<CDataSourceEdtPane>(&dialog, 249);
    EXPECT_NE(pane, nullptr);
    return pane;
}

void ClickButton(QWidget& dialog, int id)
{
    QTest::mouseClick(ctl<QPushButton>(&dialog, id), Qt::LeftButton);
}

void Trigger(QWidget& owner, int command)
{
    auto* action = ctl<QAction>(&owner, command);
    ASSERT_NE(action, nullptr) << command;
    action->trigger();
}

void SelectRow(CBandListPanel& panel, int row)
{
    panel.m_list->setCurrentRow(row);
}

// Runs the text dialog; the handler works on its data-source pane.
bool RunTextDialog(BandedLabel& l, FakeServices& services, const std::function<void(QDialog&, CDataSourceEdtPane&)>& fill,
                   bool ok = true, CDataBand* select = nullptr)
{
    services.OnNextDialog([&](QDialog& dialog) {
        fill(dialog, *DataSourcePane(dialog));
        ClickButton(dialog, ok ? 1 : 2);
    });
    return EditObjectProperties(Request(l, select));
}

} // namespace

TEST(DataSourcePane, OkWithoutTouchingKeepsEveryBandAndItsKind)
{
    FakeServices services;
    BandedLabel l;
    const QByteArray before = l.Bytes();
    for (int row = 0; row < 9; ++row) {
        SCOPED_TRACE(row);
        // Opening on each band in turn, so each is loaded and stored once.
        EXPECT_TRUE(RunTextDialog(l, services, [](QDialog&, CDataSourceEdtPane&) {}, true,
                                  l.text->m_bands[static_cast<size_t>(row)].get()));
        EXPECT_EQ(l.Bytes(), before);
    }
    EXPECT_TRUE(services.messages.empty());
}

TEST(DataSourcePane, OpensOnTheRequestedBandAndShowsItsSettings)
{
    FakeServices services;
    BandedLabel l;
    CDataBand* field = l.text->m_bands[4].get();
    auto dialog = CreateObjectEdtDlg(Request(l, field));
    auto* tabs = ctl<QTabWidget>(dialog.get(), 1117);
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    EXPECT_EQ(captions, (QStringList{"文字", "字体", "数据源", "位置", "常规"}));
    EXPECT_EQ(tabs->currentIndex(), 2);
    CDataSourceEdtPane& pane = *DataSourcePane(*dialog);
    CBandListPanel& panel = *pane.m_panel;
    EXPECT_EQ(panel.m_list->count(), 9);
    EXPECT_EQ(panel.m_list->currentRow(), 4);
    EXPECT_EQ(panel.m_kind->currentText(), "数据库");
    EXPECT_FALSE(panel.m_database->isHidden());
    EXPECT_EQ(panel.m_database->m_source->currentText(), "Goods");
    EXPECT_EQ(panel.m_database->m_field->currentText(), "Code");
    EXPECT_EQ(panel.m_list->item(0)->text(), QStringLiteral("第一行 第二行"));

    // Names that match nothing show no selection; a kind the list lacks shows none.
    SelectRow(panel, 5);
    EXPECT_EQ(panel.m_database->m_source->currentIndex(), -1);
    EXPECT_EQ(panel.m_database->m_field->count(), 0);
    SelectRow(panel, 7);
    EXPECT_EQ(panel.m_namedSubstring->m_name->currentIndex(), -1);
    EXPECT_EQ(panel.m_namedSubstring->m_name->count(), 2);
    SelectRow(panel, 8);
    EXPECT_EQ(panel.m_kind->currentIndex(), -1);
    EXPECT_EQ(panel.m_fixed->m_value->toPlainText(), "dropped");
    // Static form items are not offered.
    EXPECT_EQ(panel.m_windowData->m_item->count(), 1);

    // Opened from the canvas: the first tab and the first band.
    auto plain = CreateObjectEdtDlg(Request(l));
    EXPECT_EQ(ctl<QTabWidget>(plain.get(), 1117)->currentIndex(), 0);
    EXPECT_EQ(DataSourcePane(*plain)->m_panel->m_list->currentRow(), 0);
}

TEST(DataSourcePane, EditsReachTheRowTheSampleAndOnOkTheObject)
{
    FakeServices services;
    BandedLabel l;
    ASSERT_TRUE(RunTextDialog(l, services, [&](QDialog&, CDataSourceEdtPane& pane) {
        CBandListPanel& panel = *pane.m_panel;
        // A typed line break is kept as "\r\n"; row, sample and selection follow.
        QPlainTextEdit* value = panel.m_fixed->m_value;
        value->selectAll();
        QTest::keyClicks(value, "ab");
        QTest::keyClick(value, Qt::Key_Return);
        QTest::keyClicks(value, "c");
        EXPECT_EQ(panel.Controller().Current()->m_strValue, "ab\r\nc");
        EXPECT_EQ(panel.m_list->item(0)->text(), "ab c");
        EXPECT_TRUE(pane.m_sample->toPlainText().startsWith("ab\nc2001-01-01"));
        EXPECT_EQ(pane.m_sample->textCursor().selectedText(), QStringLiteral("ab\u2029c"));

        // A date band chosen after opening shows today's sample of its template.
        SelectRow(panel, 2);
        EXPECT_EQ(panel.Controller().Current()->m_strValue, "7:08");
        ChooseItem(panel.m_time->m_format, 0);
        QTest::keyClick(panel.m_time->m_offset, Qt::Key_Up);

        // The database band: choosing the field shows its previewed value; a field
        // beyond the previewed ones shows the last value.
        SelectRow(panel, 5);
        ChooseItem(panel.m_database->m_source, 0);
        ChooseItem(panel.m_database->m_field, 2);
        EXPECT_EQ(panel.m_database->m_value->toPlainText(), QStringLiteral("螺丝"));
        SelectRow(panel, 6);
        ChooseItem(panel.m_windowData->m_item, 0);
        SelectRow(panel, 7);
        ChooseItem(panel.m_namedSubstring->m_name, 1);
        EXPECT_EQ(panel.m_namedSubstring->m_value->toPlainText(), "0001");

        // The dropped band becomes a constant only when the user picks the kind.
        SelectRow(panel, 8);
        ChooseItem(panel.m_kind, 0);
        EXPECT_EQ(panel.Controller().Current()->m_nKind, BandConstant);
        EXPECT_EQ(pane.m_sample->toPlainText(), panel.Controller().SampleText());
    }));
    const auto& bands = l.text->m_bands;
    EXPECT_EQ(bands[0]->m_strValue, "ab\r\nc");
    EXPECT_EQ(bands[2]->m_strDateTimeFormat, CGlobalSettings::GetInstance()->m_timeTemplates.front());
    EXPECT_EQ(bands[2]->m_nDateTimeOffset, 16);
    EXPECT_EQ(bands[5]->m_strDataSource, "Goods");
    EXPECT_EQ(bands[5]->m_strFieldName, "Price");
    EXPECT_EQ(bands[5]->m_strValue, QStringLiteral("螺丝"));
    EXPECT_EQ(bands[6]->m_strWindowItem, "Batch");
    EXPECT_EQ(bands[7]->m_strRefBandName, "Lot");
    EXPECT_EQ(bands[8]->m_nKind, BandConstant);
    EXPECT_EQ(l.text->m_strText, GetBandsText(*l.text));
}

TEST(DataSourcePane, ToolbarBuildsTheListAndCancelKeepsTheObject)
{
    FakeServices services;
    BandedLabel l;
    const QByteArray before = l.Bytes();
    ASSERT_FALSE(RunTextDialog(
        l, services,
        [&](QDialog&, CDataSourceEdtPane& pane) {
            CBandListPanel& panel = *pane.m_panel;
            services.OnNextDialog([](QDialog& options) {
                ctl<QLineEdit>(&options, 1224)->setText("P-");
                ClickButton(options, 1);
            });
            ClickButton(pane, 1078);
            EXPECT_EQ(panel.Controller().Current()->m_strPrefix, "P-");
            Trigger(pane, 40568);
            Trigger(pane, 40569);
            Trigger(pane, 40569);
            EXPECT_EQ(panel.m_list->count(), 11);
            panel.m_fixed->m_value->selectAll();
            QTest::keyClicks(panel.m_fixed->m_value, "z");
            EXPECT_EQ(panel.m_list->item(9)->text(), panel.m_list->item(0)->text());
            EXPECT_EQ(panel.m_list->item(10)->text(), "z");
            Trigger(pane, 40567);
            EXPECT_EQ(panel.m_list->item(11)->text(), QStringLiteral("样例文字"));
            EXPECT_EQ(panel.m_list->currentRow(), 11);
            Trigger(pane, 40571);
            EXPECT_EQ(panel.m_list->item(10)->text(), QStringLiteral("样例文字"));
            EXPECT_EQ(panel.m_list->currentRow(), 10);
            Trigger(pane, 40570);
        },
        false));
    EXPECT_EQ(l.Bytes(), before);
}

TEST(DataSourcePane, DeletingDownToOneBandAndApplyingAnEmptyList)
{
    FakeServices services;
    BandedLabel l;
    ASSERT_TRUE(RunTextDialog(l, services, [&](QDialog&, CDataSourceEdtPane& pane) {
        for (int i = 0; i < 12; ++i)
            Trigger(pane, 40570);
        EXPECT_EQ(pane.m_panel->m_list->count(), 1);
    }));
    ASSERT_EQ(l.text->m_bands.size(), 1u);
    EXPECT_EQ(l.text->m_bands[0]->m_nKind, BandItemValue);

    // An object without bands keeps its content through OK; nothing is current until
    // "新建".
    l.text->m_bands.clear();
    l.text->m_strText = QStringLiteral("kept");
    ASSERT_TRUE(RunTextDialog(l, services, [](QDialog&, CDataSourceEdtPane&) {}));
    EXPECT_EQ(l.text->m_strText, "kept");
    ASSERT_TRUE(RunTextDialog(l, services, [&](QDialog&, CDataSourceEdtPane& pane) {
        EXPECT_FALSE(pane.m_panel->m_kind->isEnabled());
        EXPECT_TRUE(pane.m_panel->m_fixed->isHidden());
        Trigger(pane, 40567);
        EXPECT_TRUE(pane.m_panel->m_kind->isEnabled());
        Trigger(pane, 40570); // the only band stays
    }));
    ASSERT_EQ(l.text->m_bands.size(), 1u);
    EXPECT_EQ(l.text->m_strText, QStringLiteral("样例文字"));
}

// ----- Data-band settings -----

namespace {

// A band with every option away from its default.
std::unique_ptr<CDataBand> OptionsBand(int kind)
{
    auto band = Band(kind, QStringLiteral("1234.5"));
    band->m_nSerialBase = SerialCustomAlphabet;
    band->m_strCustomAlphabet = QStringLiteral("XYZ");
    band->m_bCountUp = false;
    band->m_nSerialStep = 7;
    band->m_nSerialPadWidth = 9;
    band->m_bSerialPad = true;
    band->m_chSerialPad = '#';
    band->m_strStartValue = QStringLiteral("50");
    band->m_bHasEndValue = true;
    band->m_strEndValue = QStringLiteral("90");
    band->m_bRestart = true;
    band->m_strPrefix = QStringLiteral("<");
    band->m_strSuffix = QStringLiteral(">");
    band->m_bPadToLength = true;
    band->m_nMinLength = 12;
    band->m_bPadLeft = false;
    band->m_chPad = '*';
    band->m_bCutToLength = true;
    band->m_nMaxLength = 20;
    band->m_bKeepRight = true;
    band->m_bTrimLeft = band->m_bTrimRight = true;
    band->m_bDropLeading = true;
    band->m_nDropLeadingCount = 2;
    band->m_bDropTrailing = true;
    band->m_nDropTrailingCount = 3;
    band->m_bKeepFirst = true;
    band->m_nKeepFirstCount = 8;
    band->m_bKeepLast = true;
    band->m_nKeepLastCount = 6;
    band->m_bUpperCase = band->m_bLowerCase = true;
    band->m_bNumberFormat = true;
    band->m_nDecimals = 4;
    band->m_bRound = true;
    band->m_bThousands = true;
    band->m_nChineseMode = ChineseAmountSimple;
    return band;
}

QByteArray OneBandBytes(const CDataBand& band)
{
    BandVector bands;
    bands.push_back(band.Clone());
    return BandBytes(bands);
}

// The page of that id, shown, as a person clicks its tab first.
QWidget* Page(CDataBandSettingsDlg& dialog, int id)
{
    auto* widget = page<QWidget>(&dialog, id);
    EXPECT_NE(widget, nullptr) << id;
    dialog.m_tabs->setCurrentWidget(widget);
    return widget;
}

} // namespace

TEST(DataBandSettingsDlg, TabsAndEveryPageRoundTripsItsFields)
{
    FakeServices services;
    for (int kind : {BandSerial, BandConstant}) {
        SCOPED_TRACE(kind);
        auto band = OptionsBand(kind);
        const QByteArray before = OneBandBytes(*band);
        CDataBandSettingsDlg dialog(band.get());
        dialog.show();
        QStringList tabs;
        for (int i = 0; i < dialog.m_tabs->count(); ++i)
            tabs << dialog.m_tabs->tabText(i);
        if (kind == BandSerial)
            EXPECT_EQ(tabs, (QStringList{"流水号", "常规", "字符数", "截短", "转换"}));
        else
            EXPECT_EQ(tabs, (QStringList{"常规", "字符数", "截短", "转换"}));
        dialog.accept();
        EXPECT_EQ(OneBandBytes(*band), before);
    }
}

TEST(DataBandSettingsDlg, ControlsReachTheirFieldsAndTheSamplesFollow)
{
    FakeServices services;
    auto band = Band(BandSerial, QStringLiteral("x"));
    CDataBandSettingsDlg dialog(band.get());
    dialog.show();
    QWidget* serial = Page(dialog, 312);
    auto* base = ctl<QComboBox>(serial, 1150);
    auto* alphabet = ctl<QLineEdit>(serial, 1216);
    ChooseItem(base, 1);
    EXPECT_EQ(alphabet->text(), "0123456789ABCDEF");
    EXPECT_TRUE(alphabet->isReadOnly());
    ChooseItem(base, 7);
    EXPECT_FALSE(alphabet->isReadOnly());
    EXPECT_EQ(alphabet->text(), "0123456789");
    ChooseItem(base, 1);
    ctl<QRadioButton>(serial, 1144)->click();
    RetypeText(ctl<QLineEdit>(serial, 1217), "2");
    RetypeText(ctl<QLineEdit>(serial, 1085), "4");
    ctl<QCheckBox>(serial, 1226)->click();
    RetypeText(ctl<QLineEdit>(serial, 1220), "_");
    RetypeText(ctl<QLineEdit>(serial, 1221), "255");
    QWidget* general = Page(dialog, 313);
    RetypeText(ctl<QLineEdit>(general, 1224), "[");
    RetypeText(ctl<QLineEdit>(general, 1225), "]");
    QWidget* conversion = Page(dialog, 311);
    ctl<QCheckBox>(conversion, 1061)->click();
    ChooseItem(ctl<QComboBox>(conversion, 1098), 2);
    dialog.accept();
    EXPECT_EQ(band->m_nSerialBase, SerialHex);
    EXPECT_EQ(band->m_strCustomAlphabet, "0123456789ABCDEF");
    EXPECT_FALSE(band->m_bCountUp);
    EXPECT_EQ(band->m_nSerialStep, 2);
    EXPECT_EQ(band->m_nSerialPadWidth, 4);
    EXPECT_TRUE(band->m_bSerialPad);
    EXPECT_EQ(band->m_chSerialPad, '_');
    EXPECT_EQ(band->m_strStartValue, "255");
    EXPECT_EQ(band->m_strPrefix, "[");
    EXPECT_TRUE(band->m_bUpperCase);
    EXPECT_EQ(band->m_nChineseMode, ChineseUpperSimple);
    EXPECT_EQ(band->GetSerialText(), "__FF");
}

TEST(DataBandSettingsDlg, EnterPressesOk)
{
    FakeServices services;
    auto band = Band(BandConstant, QStringLiteral("x"));
    CDataBandSettingsDlg dialog(band.get());
    services.OnNextDialog([&](QDialog& d) {
        auto* prefix = ctl<QLineEdit>(Page(dialog, 313), 1224);
        prefix->setFocus();
        RetypeText(prefix, "<");
        QTest::keyClick(prefix, Qt::Key_Return);
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(Services().RunModal(dialog), QDialog::Accepted);
    EXPECT_EQ(band->m_strPrefix, "<");
}

TEST(DataBandSettingsDlg, PadCharactersAndSwitchedOffOptions)
{
    FakeServices services;
    auto band = OptionsBand(BandSerial);
    {
        // Cancel after switching options off leaves the band as it was.
        const QByteArray before = OneBandBytes(*band);
        CDataBandSettingsDlg dialog(band.get());
        dialog.show();
        ctl<QCheckBox>(Page(dialog, 312), 1222)->click();
        ctl<QCheckBox>(Page(dialog, 309), 1227)->click();
        ctl<QCheckBox>(Page(dialog, 310), 1006)->click();
        dialog.reject();
        EXPECT_EQ(OneBandBytes(*band), before);
    }
    {
        // Switched off, an option keeps its values for the next time it is switched on.
        CDataBandSettingsDlg dialog(band.get());
        dialog.show();
        QWidget* serial = Page(dialog, 312);
        auto* threshold = ctl<QCheckBox>(serial, 1222);
        RetypeText(ctl<QLineEdit>(serial, 1084), "77");
        threshold->click();
        EXPECT_TRUE(ctl<QLineEdit>(serial, 1084)->text().isEmpty());
        ctl<QCheckBox>(Page(dialog, 309), 1227)->click();
        dialog.accept();
        EXPECT_FALSE(band->m_bHasEndValue);
        EXPECT_EQ(band->m_strEndValue, "77");
        EXPECT_FALSE(band->m_bPadToLength);
        EXPECT_EQ(band->m_nMinLength, 12);
        EXPECT_EQ(band->m_chPad, '*');
    }
    {
        CDataBandSettingsDlg dialog(band.get());
        dialog.show();
        QWidget* chars = Page(dialog, 309);
        ctl<QCheckBox>(chars, 1227)->click();
        EXPECT_EQ(ctl<QLineEdit>(chars, 1228)->text(), "12");
        EXPECT_EQ(ctl<QLineEdit>(chars, 1079)->text(), "*");
        // An empty pad is '0', never a NUL; a character outside ASCII keeps the old one.
        ctl<QLineEdit>(chars, 1079)->clear();
        RetypeText(ctl<QLineEdit>(Page(dialog, 312), 1220), QStringLiteral("é"));
        dialog.accept();
        EXPECT_EQ(band->m_chPad, '0');
        EXPECT_EQ(band->m_chSerialPad, '#');
    }
    EXPECT_EQ(BandCharFromText(QString(), 'x'), '0');
    EXPECT_EQ(BandCharFromText(QString(QChar(0)), 'x'), '0');
    EXPECT_EQ(BandCharFromText(QStringLiteral("丁"), 'x'), 'x');
    EXPECT_EQ(BandCharFromText(QStringLiteral("ab"), 'x'), 'a');
}

TEST(DataSourcePane, ConfirmedMoreOptionsShowTheSerialTextInTheSample)
{
    FakeServices services;
    BandedLabel l;
    ASSERT_TRUE(RunTextDialog(
        l, services,
        [&](QDialog&, CDataSourceEdtPane& pane) {
            services.OnNextDialog([](QDialog& options) {
                RetypeText(ctl<QLineEdit>(page<QWidget>(&options, 312), 1221), "255");
                ClickButton(options, 1);
            });
            ClickButton(pane, 1078);
            const CDataBand& serial = *pane.m_panel->Controller().Current();
            EXPECT_EQ(serial.m_strValue, "FF");
            EXPECT_EQ(pane.m_sample->textCursor().selectedText(), serial.FormatValue(serial.m_strValue));
        },
        true, l.text->m_bands[3].get()));
    EXPECT_EQ(l.text->m_bands[3]->m_strValue, "FF");
    EXPECT_EQ(l.text->m_bands[3]->m_strStartValue, "255");
}

// ----- Named substrings -----

TEST(NamedSubstringDlg, NewCopyPasteDeleteAndOk)
{
    FakeServices services;
    BandedLabel l;
    CDataBand* lot = l.label.m_namedSubstrings[1].get();
    services.OnNextDialog([&](QDialog& dialog) {
        auto& d = static_cast<CNamedSubstringDlg&>(dialog);
        CBandListPanel& panel = *d.m_panel;
        EXPECT_EQ(panel.m_list->currentRow(), 1);
        EXPECT_EQ(panel.m_kind->count(), 6);
        EXPECT_FALSE(panel.m_serial->isHidden());
        // A name of spaces is refused and the name dialog stays; the next is trimmed.
        services.OnNextDialog([&](QDialog& name) {
            RetypeText(ctl<QLineEdit>(&name, 1079), "   ");
            ClickButton(name, 1);
            EXPECT_TRUE(name.isVisible());
            RetypeText(ctl<QLineEdit>(&name, 1079), "  Date ");
            ClickButton(name, 1);
        });
        Trigger(dialog, 40567);
        EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("请输入命名子串的名称")});
        EXPECT_EQ(panel.m_list->item(2)->text(), "Date");
        ChooseItem(panel.m_kind, 1);
        Trigger(dialog, 40568);
        Trigger(dialog, 40569);
        Trigger(dialog, 40571);
        EXPECT_EQ(panel.m_list->item(2)->text(), "Date");
        EXPECT_EQ(panel.m_list->item(3)->text(), "Date");
        SelectRow(panel, 0);
        Trigger(dialog, 40570);
        ClickButton(dialog, 1);
    });
    ASSERT_TRUE(EditNamedSubstrings(l.label, lot));
    const auto& names = l.label.m_namedSubstrings;
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0]->m_strName, "Lot");
    EXPECT_EQ(names[1]->m_nKind, BandDate);
    EXPECT_EQ(names[2]->m_nKind, BandDate);
    EXPECT_EQ(names[1]->m_strName, names[2]->m_strName);
}

TEST(NamedSubstringDlg, DeletingEverySubstringAndCancel)
{
    FakeServices services;
    BandedLabel l;
    const QByteArray before = l.Bytes();
    services.OnNextDialog([&](QDialog& dialog) {
        Trigger(dialog, 40570);
        Trigger(dialog, 40570);
        ClickButton(dialog, 2);
    });
    EXPECT_FALSE(EditNamedSubstrings(l.label, nullptr));
    EXPECT_EQ(l.Bytes(), before);
    services.OnNextDialog([&](QDialog& dialog) {
        auto& panel = *static_cast<CNamedSubstringDlg&>(dialog).m_panel;
        Trigger(dialog, 40570);
        Trigger(dialog, 40570);
        EXPECT_FALSE(panel.m_kind->isEnabled());
        EXPECT_FALSE(panel.m_more->isEnabled());
        ClickButton(dialog, 1);
    });
    EXPECT_TRUE(EditNamedSubstrings(l.label, nullptr));
    EXPECT_TRUE(l.label.m_namedSubstrings.empty());
}

// ----- Band text editor -----

TEST(BandTextEidtor, PagesKeepTheirTextsUntilOk)
{
    FakeServices services;
    BandVector bands;
    bands.push_back(Band(BandConstant, QStringLiteral("one")));
    bands.push_back(Band(BandConstant, QStringLiteral("a\nb"))); // a stored lone "\n"
    bands.push_back(Band(BandConstant, QStringLiteral("three")));
    {
        CBandTextEidtor editor(&bands);
        EXPECT_EQ(editor.m_page->text(), "1 / 3");
        EXPECT_EQ(editor.m_value->toPlainText(), "one");
        editor.m_value->setPlainText("ONE");
        editor.m_spin->Step(1);
        EXPECT_EQ(editor.m_page->text(), "2 / 3");
        editor.m_spin->Step(-1);
        EXPECT_EQ(editor.m_value->toPlainText(), "ONE");
        editor.reject();
    }
    EXPECT_EQ(bands[0]->m_strValue, "one");
    {
        // Paging and OK without a change asks for no undo record.
        CBandTextEidtor editor(&bands);
        int records = 0;
        editor.m_beforeCommit = [&] { ++records; };
        editor.m_spin->Step(1);
        editor.accept();
        EXPECT_EQ(records, 0);
    }
    {
        CBandTextEidtor editor(&bands);
        editor.m_spin->Step(1);
        editor.m_spin->Step(1);
        editor.m_spin->Step(1); // beyond the last band: nothing changes
        EXPECT_EQ(editor.m_page->text(), "3 / 3");
        editor.m_value->setPlainText("x\ny");
        // Return is OK, not a line break.
        QTest::keyClick(editor.m_value, Qt::Key_Return);
        EXPECT_EQ(editor.result(), QDialog::Accepted);
    }
    EXPECT_EQ(bands[0]->m_strValue, "one");
    EXPECT_EQ(bands[1]->m_strValue, "a\nb");
    EXPECT_EQ(bands[2]->m_strValue, "x\r\ny");

    BandVector none;
    CBandTextEidtor empty(&none);
    EXPECT_EQ(empty.m_page->text(), "0 / 0");
    EXPECT_FALSE(empty.m_value->isEnabled());
    empty.accept();
    EXPECT_FALSE(empty.m_bOpenProperties);
}

TEST(BandTextEidtor, TheCanvasOpensItAndItsDataSourceButtonOpensTheProperties)
{
    FakeServices services;
    ScopedDpi dpi{96};
    BandedLabel l;
    l.text->SetX(10);
    l.text->SetY(10);
    l.text->SetWidth(30);
    l.text->SetHeight(8);
    auto label = std::make_unique<CLabelData>();
    label->m_fLabelWidth = 80;
    label->m_fLabelHeight = 50;
    label->m_objects.push_back(std::move(l.label.m_objects.front()));
    l.label.m_objects.clear();
    CChildFrame frame(std::move(label), nullptr);
    frame.setAttribute(Qt::WA_DeleteOnClose, false);
    frame.resize(600, 400);
    frame.show();
    CChildView& view = frame.View();
    view.SetView(1.0f, 934.0f, 934.0f);
    view.EditStatus().m_nDelayedClickMs = 10;
    const QPoint at(10 + static_cast<int>(20 * 96 / 25.4), 10 + static_cast<int>(12 * 96 / 25.4));
    auto click = [&] {
        QTest::mousePress(&view, Qt::LeftButton, {}, at);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, at);
    };
    bool propertiesShown = false;
    services.OnNextDialog([&](QDialog& editor) {
        EXPECT_EQ(editor.windowTitle(), QStringLiteral("修改子串数据"));
        auto& band = static_cast<CBandTextEidtor&>(editor);
        band.m_spin->Step(1);
        band.m_value->setPlainText("2002-02-02");
        services.OnNextDialog([&](QDialog& properties) {
            propertiesShown = true;
            EXPECT_EQ(ctl<QTabWidget>(&properties, 1117)->currentIndex(), 2);
            EXPECT_EQ(DataSourcePane(properties)->m_panel->m_list->currentRow(), 1);
            ClickButton(properties, 2);
        });
        ClickButton(editor, 1081);
    });
    view.UndoManager().m_bModified = true; // no file-changed marker before the edit's record
    click();
    click();
    EXPECT_EQ(view.UndoManager().UndoCount(), 0u);
    QTRY_VERIFY_WITH_TIMEOUT(services.dialogs.empty(), kHungAfterMs);
    EXPECT_TRUE(propertiesShown);
    const auto& text = static_cast<const CTextGraph&>(*view.ObjectList().front()->GetObject());
    EXPECT_EQ(text.m_bands[1]->m_strValue, "2002-02-02");
    EXPECT_TRUE(text.m_strText.contains("2002-02-02"));
    EXPECT_EQ(view.UndoManager().UndoCount(), 1u);
    view.UndoManager().Undo();
    const auto& undone = static_cast<const CTextGraph&>(*view.ObjectList().front()->GetObject());
    EXPECT_EQ(undone.m_bands[1]->m_strValue, "2001-01-01");
}

TEST(Showcase, BandDialogs)
{
    // VC_SHOWCASE_DIR names the folder for the pictures, for a person to look at.
    QTemporaryDir temp;
    const QString env = qEnvironmentVariable("VC_SHOWCASE_DIR");
    const QString dir = env.isEmpty() ? temp.path() : env;
    QDir().mkpath(dir);
    FakeServices services;
    BandedLabel l;
    auto save = [&](QWidget& widget, const char* name) {
        widget.show();
        widget.resize(widget.sizeHint().expandedTo(widget.size()));
        QTest::qWait(30);
        const QImage image = widget.grab().toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(dir + QLatin1Char('/') + QLatin1String(name)));
    };
    auto properties = CreateObjectEdtDlg(Request(l, l.text->m_bands[2].get()));
    save(*properties, "data-source-pane.png");
    CNamedSubstringDlg names(&l.label, nullptr);
    save(names, "named-substrings.png");
    CBandTextEidtor editor(&l.text->m_bands);
    save(editor, "band-text-editor.png");
    CDataBandSettingsDlg settings(l.text->m_bands[3].get());
    for (int i = 0; i < settings.m_tabs->count(); ++i) {
        settings.m_tabs->setCurrentIndex(i);
        save(settings, QStringLiteral("band-settings-%1.png").arg(i).toUtf8().constData());
    }
}

TEST(NamedSubstringDlg, TheDocumentWindowDropsItsHistoryAfterOk)
{
    FakeServices services;
    BandedLabel l;
    auto label = std::make_unique<CLabelData>();
    label->m_namedSubstrings = std::move(l.label.m_namedSubstrings);
    CChildFrame frame(std::move(label), nullptr);
    frame.setAttribute(Qt::WA_DeleteOnClose, false);
    CDataBand* lot = frame.LabelData().m_namedSubstrings[1].get();
    services.OnNextDialog([](QDialog& dialog) {
        EXPECT_EQ(static_cast<CNamedSubstringDlg&>(dialog).m_panel->m_list->currentRow(), 1);
        ClickButton(dialog, 2);
    });
    frame.EditNamedSubstrings(lot);
    EXPECT_FALSE(frame.IsModified());
    services.OnNextDialog([](QDialog& dialog) { ClickButton(dialog, 1); });
    frame.EditNamedSubstrings();
    EXPECT_TRUE(frame.IsModified());
    EXPECT_EQ(frame.View().UndoManager().UndoCount(), 0u);
}

// ----- Barcodes -----

TEST(DataSourcePane, BarcodeModeEditsTheSettingsBands)
{
    FakeServices services;
    auto barcode = MakeBarcode(0, QStringLiteral("12"));
    CBarcodeSettings& settings = *barcode->GetImpl()->GetSettings();
    settings.m_bandList.push_back(Band(BandConstant, QStringLiteral("12")));
    CDataSourceEdtPane pane(true);
    pane.m_pObject = barcode.get();
    pane.Load();
    Trigger(pane, 40567);
    EXPECT_EQ(pane.m_panel->m_list->item(1)->text(), "12345678");
    pane.Apply();
    ASSERT_EQ(settings.m_bandList.size(), 2u);
    EXPECT_EQ(settings.m_strContent, "1212345678");
}

TEST(BandTextEidtor, TheEditDataToolOnABarcodeEncodesTheNewContent)
{
    FakeServices services;
    ScopedDpi dpi{96};
    auto label = std::make_unique<CLabelData>();
    label->m_fLabelWidth = 80;
    label->m_fLabelHeight = 50;
    auto barcode = MakeBarcode(0, QStringLiteral("12"));
    barcode->m_fX = 10;
    barcode->m_fY = 10;
    barcode->GetImpl()->GetSettings()->m_bandList.push_back(Band(BandConstant, QStringLiteral("12")));
    label->m_objects.push_back(std::move(barcode));
    CChildFrame frame(std::move(label), nullptr);
    frame.setAttribute(Qt::WA_DeleteOnClose, false);
    frame.resize(600, 400);
    frame.show();
    CChildView& view = frame.View();
    view.SetView(1.0f, 934.0f, 934.0f);
    view.EditStatus().m_nTool = ToolEditData;
    const auto& object = static_cast<const CBarcodeGraph&>(*view.ObjectList().front()->GetObject());
    const float width = object.GetWidth();
    services.OnNextDialog([](QDialog& editor) {
        static_cast<CBandTextEidtor&>(editor).m_value->setPlainText("1234567890");
        ClickButton(editor, 1);
    });
    const QPoint at(10 + static_cast<int>(12 * 96 / 25.4), 10 + static_cast<int>(12 * 96 / 25.4));
    QTest::mousePress(&view, Qt::LeftButton, {}, at);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, at);
    QTRY_VERIFY_WITH_TIMEOUT(services.dialogs.empty(), kHungAfterMs);
    const CBarcodeSettings& settings = *object.GetImpl()->GetSettings();
    EXPECT_EQ(settings.m_strContent, "1234567890");
    EXPECT_GT(object.GetWidth(), width);
    EXPECT_FLOAT_EQ(object.GetWidth(), settings.m_fWidth);
}
