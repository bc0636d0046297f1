// The barcode property dialog driven through its controls: every symbology's option
// pane round-trips through the file writer, symbology changes keep what every
// barcode shares, what triggers a re-encode, encoder refusals keep the dialog open,
// the add-on and grouping dialogs, and the dialog reached by a double click on the
// canvas, its result printed to PDF and decoded.
#include "FakeServices.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "app/controls/ColourPicker.h"
#include "app/controls/VXUnitEdit.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "barcode/QRCode.h"
#include "dialogs/properties/BarcodeEdtDlg.h"
#include "dialogs/properties/BarcodeEdtPane.h"
#include "dialogs/properties/BarcodeEdtPane_Base.h"
#include "dialogs/properties/GroupingSettingsDlg.h"
#include "dialogs/properties/ObjectPanes.h"
#include "dialogs/properties/SupplementalDlg.h"
#include "editor/BarcodeProxy.h"
#include "editor/BarcodeProxyImpl.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "editor/ObjectKinds.h"
#include "model/BarcodeGraph.h"
#include "model/DocWriter.h"
#include "model/LabelData.h"
#include "tests/model/DocRoundTrip.h"
#include "tests/output/OutputSupport.h"
#include "output/PrintHandler.h"
#include "output/PrintTarget.h"
#include "platform/VXException.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

// A content each symbology encodes.
QString ContentFor(int code)
{
    switch (code) {
    case SymbologyCodabar: return QStringLiteral("123456");
    case SymbologyCode11: return QStringLiteral("123-45");
    case SymbologyEAN13: return QStringLiteral("690123456789");
    case SymbologyEAN8: return QStringLiteral("1234567");
    case SymbologyUPCA: return QStringLiteral("01234567890");
    case SymbologyUPCE: return QStringLiteral("0123456");
    case SymbologySupp2: return QStringLiteral("12");
    case SymbologySupp5: return QStringLiteral("12345");
    case SymbologyEAN14: case SymbologySCC14EAN128: case SymbologyITF14: case SymbologySCC14ITF:
        return QStringLiteral("1234567890123");
    case SymbologySSCC18: return QStringLiteral("12345678901234567");
    case SymbologyEAN128: return QStringLiteral("(01)12345678901231");
    case SymbologyMedicalCode: case SymbologyMonitorCode: return QStringLiteral("12345678901234567890");
    case SymbologyPostalCode: return QStringLiteral("1234567890123");
    case SymbologyPostNet: return QStringLiteral("12345");
    case SymbologyDataMatrix: return QStringLiteral("HELLO123");
    case SymbologyPDF417: case SymbologyQRCode: return QStringLiteral("Vellum 标签");
    default: return QStringLiteral("12345678");
    }
}

// A label with one encoded barcode of the code, the way the canvas makes one.
struct BarcodeLabel
{
    CLabelData label;
    CBarcodeGraph* barcode;

    explicit BarcodeLabel(int code, const QString& content = {})
    {
        label.m_fLabelWidth = 100;
        label.m_fLabelHeight = 60;
        auto object = std::make_unique<CBarcodeGraph>();
        object->m_pBarcodeImpl = CreateBarcodeImpl(code);
        CBarcodeSettings& s = Settings(*object);
        s.m_strFontName = QStringLiteral("Arial");
        s.m_strContent = content.isEmpty() ? ContentFor(code) : content;
        s.m_bandList.push_back(ConstantBand(s.m_strContent));
        EncodeToSize(*object);
        object->m_strName = QStringLiteral("条码1");
        object->m_fX = 5.25f;
        object->m_fY = 4.5f;
        object->m_pLabelData = &label;
        barcode = object.get();
        label.m_objects.push_back(std::move(object));
    }

    static CBarcodeSettings& Settings(const CBarcodeGraph& barcode) { return *barcode.GetImpl()->GetSettings(); }
    CBarcodeSettings& Settings() const { return Settings(*barcode); }
};

ObjectEditRequest Request(BarcodeLabel& l, int* failed = nullptr)
{
    ObjectEditRequest request;
    request.object = l.barcode;
    request.objects = {l.barcode};
    request.label = &l.label;
    if (failed)
        request.applyFailed = [failed] { ++*failed; };
    return request;
}

// The option pane on show in the barcode tab.
QWidget* OptionPane(QWidget& dialog)
{
    auto* frame = Ctl<QGroupBox>(&dialog, 266, 1160);
    for (auto* pane : frame->findChildren<CBarcodeEdtPane_Base*>(Qt::FindDirectChildrenOnly)) {
        if (pane->isVisible())
            return pane;
    }
    ADD_FAILURE() << "no option pane on show";
    return frame;
}

void Retype(QWidget* pane, int id, const QString& text)
{
    auto* edit = ctl<QLineEdit>(pane, id);
    ASSERT_NE(edit, nullptr) << id;
    RetypeText(edit, text);
}

void Choose(QWidget* pane, int id, int index)
{
    auto* combo = ctl<QComboBox>(pane, id);
    ASSERT_NE(combo, nullptr) << id;
    ChooseItem(combo, index);
}

void Toggle(QWidget* pane, int id)
{
    auto* check = ctl<QCheckBox>(pane, id);
    ASSERT_NE(check, nullptr) << id;
    Click(check);
}

// Types the content anew: the one band's value, on the data-source tab.
void TypeContent(QDialog& d, const QString& content)
{
    ctl<QTabWidget>(&d, 1117)->setCurrentIndex(2);
    auto* bands = Ctl<QListWidget>(&d, 249, 1169);
    ASSERT_EQ(bands->count(), 1);
    QTest::mouseClick(bands->viewport(), Qt::LeftButton, {}, bands->visualItemRect(bands->item(0)).center());
    auto* value = Ctl<QPlainTextEdit>(&d, 258, 1204);
    value->selectAll();
    TypeText(value, content);
}

// Runs the barcode's dialog; fill works in it, then OK (or Cancel) is clicked.
bool RunDialog(BarcodeLabel& l, FakeServices& services, const std::function<void(QDialog&)>& fill, bool ok = true,
               int* failed = nullptr)
{
    services.OnNextDialog([&](QDialog& dialog) {
        fill(dialog);
        ClickButton(&dialog, ok ? 1 : 2);
    });
    return EditObjectProperties(Request(l, failed));
}

template <class T>
T& As(CBarcodeSettings& settings)
{
    auto* typed = dynamic_cast<T*>(&settings);
    EXPECT_NE(typed, nullptr);
    return *typed;
}

// One row per code the dialog offers: what is typed into its option pane and what
// the settings must then hold.
struct PaneRow
{
    int code;
    std::function<void(QWidget& pane, FakeServices& services)> fill;
    std::function<void(CBarcodeSettings&)> expect;
};

void FillTwoWidths(QWidget& pane, const QString& width, int ratio, bool toggleCheck)
{
    Retype(&pane, 1079, width);
    Choose(&pane, 1098, ratio);
    if (toggleCheck)
        Toggle(&pane, 1057);
}

PaneRow Code39Row(int code)
{
    return {code,
            [](QWidget& p, FakeServices&) { FillTwoWidths(p, QStringLiteral("12.5"), 6, true); },
            [](CBarcodeSettings& s) {
                s.m_fModuleWidth = 12.5f;
                s.m_fRatio = 2.6f;
                s.m_bAddCheckDigit = true;
            }};
}

PaneRow WidthRow(int code, float width)
{
    return {code, [width](QWidget& p, FakeServices&) { Retype(&p, 1079, QString::number(width)); },
            [width](CBarcodeSettings& s) { s.m_fModuleWidth = width; }};
}

PaneRow TwoOfFiveRow(int code)
{
    return {code, [](QWidget& p, FakeServices&) { FillTwoWidths(p, QStringLiteral("11.25"), 10, true); },
            [](CBarcodeSettings& s) {
                s.m_fModuleWidth = 11.25f;
                s.m_fRatio = 3.0f;
                s.m_bAddCheckDigit = true;
            }};
}

PaneRow EAN14Row(int code)
{
    return {code,
            [](QWidget& p, FakeServices&) {
                Retype(&p, 1079, QStringLiteral("9.5"));
                EXPECT_FALSE(ctl<QComboBox>(&p, 1293)->isEnabled());
                Toggle(&p, 1004);
            },
            [](CBarcodeSettings& s) {
                s.m_fModuleWidth = 9.5f;
                As<CBarcodeSettings_EAN128>(s).m_bHideParentheses = true;
            }};
}

PaneRow EJURow(int code)
{
    return {code,
            [](QWidget& p, FakeServices&) {
                Retype(&p, 1079, QStringLiteral("13.5"));
                Toggle(&p, 1057);
            },
            [](CBarcodeSettings& s) {
                s.m_fModuleWidth = 13.5f;
                s.m_bAddCheckDigit = !s.m_bAddCheckDigit;
            }};
}

std::vector<PaneRow> PaneRows()
{
    return {
        Code39Row(SymbologyCode39),
        Code39Row(SymbologyCode39Full),
        WidthRow(SymbologyCode93, 11.0f),
        WidthRow(SymbologyCode93Full, 11.5f),
        WidthRow(SymbologyMSI, 12.0f),
        WidthRow(SymbologyPostNet, 14.0f),
        {SymbologyCode11, [](QWidget& p, FakeServices&) { FillTwoWidths(p, QStringLiteral("10.75"), 10, false); },
         [](CBarcodeSettings& s) {
             s.m_fModuleWidth = 10.75f;
             s.m_fRatio = 3.0f;
         }},
        {SymbologyCodabar,
         [](QWidget& p, FakeServices&) {
             FillTwoWidths(p, QStringLiteral("10.5"), 3, false);
             Choose(&p, 1100, 2);
             Choose(&p, 1101, 3);
         },
         [](CBarcodeSettings& s) {
             s.m_fModuleWidth = 10.5f;
             s.m_fRatio = 2.3f;
             s.m_nStartChar = 2;
             s.m_nStopChar = 3;
         }},
        TwoOfFiveRow(SymbologyInterleaved25),
        TwoOfFiveRow(SymbologyIndustrial25),
        TwoOfFiveRow(SymbologyMatrix25),
        TwoOfFiveRow(SymbologyITF14),
        TwoOfFiveRow(SymbologySCC14ITF),
        {SymbologyCode128,
         [](QWidget& p, FakeServices&) {
             Retype(&p, 1079, QStringLiteral("8.75"));
             Choose(&p, 1293, 1);
         },
         [](CBarcodeSettings& s) {
             s.m_fModuleWidth = 8.75f;
             As<CBarcodeSettings_Code128>(s).m_nCodeSet = Code128SetB;
         }},
        {SymbologyEAN128,
         [](QWidget& p, FakeServices&) {
             Choose(&p, 1293, 3);
             Toggle(&p, 1004);
         },
         [](CBarcodeSettings& s) {
             As<CBarcodeSettings_EAN128>(s).m_nCodeSet = Code128SetAuto;
             As<CBarcodeSettings_EAN128>(s).m_bHideParentheses = true;
         }},
        EAN14Row(SymbologyEAN14),
        EAN14Row(SymbologySCC14EAN128),
        EAN14Row(SymbologySSCC18),
        {SymbologyEAN13,
         [](QWidget& p, FakeServices& services) {
             services.OnNextDialog([](QDialog& d) {
                 ChooseItem(ctl<QComboBox>(&d, 1098), 2);
                 ChooseItem(ctl<QComboBox>(&d, 1100), 7);
                 Click(ctl<QRadioButton>(&d, 1146));
                 ClickButton(&d, 1);
             });
             ClickButton(&p, 1078);
         },
         [](CBarcodeSettings& s) {
             auto& eju = As<CBarcodeSettings_EJU>(s);
             eju.m_nAddonKind = AddonFiveDigits;
             eju.m_nAddonGap = 7;
             eju.m_nAddonStyle = 3;
         }},
        EJURow(SymbologyEAN8),
        EJURow(SymbologyUPCA),
        EJURow(SymbologyUPCE),
        WidthRow(SymbologySupp2, 14.5f),
        WidthRow(SymbologySupp5, 15.5f),
        WidthRow(SymbologyMedicalCode, 9.0f),
        WidthRow(SymbologyMonitorCode, 9.25f),
        WidthRow(SymbologyPostalCode, 9.75f),
        {SymbologyPDF417,
         [](QWidget& p, FakeServices&) {
             EXPECT_FALSE(ctl<QComboBox>(&p, 1098)->isVisibleTo(&p));
             Choose(&p, 1296, 2);
             Choose(&p, 1162, 3);
             Retype(&p, 1080, QStringLiteral("15"));
             Choose(&p, 1161, 4);
             Choose(&p, 1100, 5);
             Choose(&p, 1099, 4);
             Retype(&p, 1079, QStringLiteral("5"));
             Toggle(&p, 1004);
         },
         [](CBarcodeSettings& s) {
             auto& pdf = As<CBarcodeSettings_PDF417>(s);
             pdf.m_nCodePage = 936;
             pdf.m_nECLevel = 2;
             pdf.m_fModuleWidthX = 15.0f;
             pdf.m_nRowHeightRatio = 5;
             pdf.m_nRows = 7;
             pdf.m_nColumns = 4;
             pdf.m_nRowColumnLimit = 5;
             pdf.m_bTruncated = true;
         }},
        {SymbologyQRCode,
         [](QWidget& p, FakeServices&) {
             Choose(&p, 1296, 3);
             Choose(&p, 1162, 3);
             Retype(&p, 1080, QStringLiteral("20"));
             Choose(&p, 1297, 3);
             Choose(&p, 1298, 5);
             Toggle(&p, 1004);
         },
         [](CBarcodeSettings& s) {
             auto& qr = As<CBarcodeSettings_QRCode>(s);
             qr.m_nCodePage = 950;
             qr.m_nECLevel = 3;
             qr.m_fModuleWidthX = 20.0f;
             qr.m_nMask = 2;
             qr.m_nVersion = 5;
             qr.m_bAutoExtend = false;
         }},
        {SymbologyDataMatrix,
         [](QWidget& p, FakeServices&) {
             Choose(&p, 1098, 1);
             Choose(&p, 1100, 32);
             Retype(&p, 1080, QStringLiteral("18.5"));
         },
         [](CBarcodeSettings& s) {
             auto& dm = As<CBarcodeSettings_DataMatrix>(s);
             dm.m_nEncodation = 1;
             dm.m_nSizeChoice = 32;
             dm.m_fModuleWidthX = 18.5f;
         }},
    };
}

} // namespace

TEST(BarcodeEdtDlg, SymbologyListNamesAndEncodings)
{
    BarcodeLabel l(SymbologyCode39);
    auto dialog = CreateObjectEdtDlg(Request(l));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("条码编辑框"));
    auto* tabs = ctl<QTabWidget>(dialog.get(), 1117);
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    EXPECT_EQ(captions, (QStringList{"条形码", "字体", "数据源", "位置", "常规"}));
    EXPECT_EQ(tabs->currentIndex(), 0);
    // From the band text editor, with a band to select: the data-source tab.
    ObjectEditRequest withBand = Request(l);
    withBand.bandToSelect = l.Settings().m_bandList.front().get();
    auto fromEditor = CreateObjectEdtDlg(withBand);
    EXPECT_EQ(ctl<QTabWidget>(fromEditor.get(), 1117)->currentIndex(), 2);

    auto* combo = Ctl<QComboBox>(dialog.get(), 266, 1157);
    const std::pair<int, const char*> expected[] = {
        {5, "Codabar"}, {4, "Code 11"}, {30, "Code 128"}, {0, "Code 39"}, {1, "Code 39 - Full ASCII"},
        {2, "Code 93"}, {3, "Code 93 - Full ASCII"}, {62, "Code MSI"}, {63, "Code PostNet"}, {84, "Data Matrix"},
        {40, "EAN/JAN-13"}, {41, "EAN/JAN-8"}, {44, "EAN/JAN/UPC 2-digit Supplemental"},
        {45, "EAN/JAN/UPC 5-digit Supplemental"}, {31, "EAN/UCC 128"}, {50, "EAN-14"}, {21, "Industrial 2/5"},
        {20, "Interleaved 2/5"}, {51, "ITF-14"}, {22, "Matrix 2/5"}, {80, "PDF 417"}, {82, "QR Code"},
        {53, "SCC-14(EAN-128)"}, {52, "SCC-14(ITF)"}, {54, "SSCC-18"}, {42, "UPC-A"}, {43, "UPC-E"},
        {70, "药品监管码"}, {71, "电子监管码"}, {72, "邮件给据条码"}};
    ASSERT_EQ(combo->count(), 30);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(combo->itemData(i).toInt(), expected[i].first) << i;
        EXPECT_EQ(combo->itemText(i), QString::fromUtf8(expected[i].second)) << i;
    }
    EXPECT_EQ(combo->currentIndex(), 3);

    EXPECT_EQ(GetBarcodeTypeName(32), QStringLiteral("EAN/UCC 128 Mulit"));
    for (int code : {6, 86, -1}) {
        try {
            GetBarcodeTypeName(code);
            ADD_FAILURE() << code;
        } catch (const CBarcodeException& e) {
            EXPECT_EQ(e.GetMessage(), QStringLiteral("not support barcode type"));
        }
    }
    for (int code : {32, 60, 85, 86}) {
        try {
            CreateBarcodeOptionPane(code, nullptr);
            ADD_FAILURE() << code;
        } catch (const CBarcodeException& e) {
            EXPECT_EQ(e.GetMessage(), QStringLiteral("not supported barcode type"));
        }
    }

    QComboBox encodings;
    FillTextEncodingCombo(&encodings);
    ASSERT_EQ(encodings.count(), 4);
    EXPECT_EQ(encodings.itemText(2), QStringLiteral("简体中文(GB2312)"));
    SelectTextEncoding(&encodings, 950);
    EXPECT_EQ(encodings.currentIndex(), 3);
    SelectTextEncoding(&encodings, 1252);
    EXPECT_EQ(encodings.currentText(), QStringLiteral("ANSI"));
}

TEST(BarcodeEdtDlg, OkWithoutTouchingKeepsEverySymbologysBytes)
{
    for (int32_t code : GetListedSymbologies()) {
        SCOPED_TRACE(code);
        FakeServices services;
        BarcodeLabel l(code);
        // A box the position pane cannot show exactly stays as it was.
        l.barcode->m_fWidth += 0.0012f;
        const QByteArray before = DocumentBytes(l.label);
        EXPECT_TRUE(RunDialog(l, services, [](QDialog&) {}));
        EXPECT_EQ(DocumentBytes(l.label), before);
        EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(' ').toStdString();
    }
}

TEST(BarcodeEdtDlg, EveryOptionPaneReachesItsSettingsBlock)
{
    const std::vector<PaneRow> rows = PaneRows();
    std::vector<int32_t> covered;
    for (const PaneRow& row : rows) {
        SCOPED_TRACE(row.code);
        covered.push_back(row.code);
        FakeServices services;
        BarcodeLabel l(row.code);
        EXPECT_TRUE(RunDialog(l, services, [&](QDialog& d) { row.fill(*OptionPane(d), services); }));
        EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(' ').toStdString();

        BarcodeLabel expected(row.code);
        row.expect(expected.Settings());
        EncodeToSize(*expected.barcode);
        EXPECT_EQ(DocumentBytes(l.label), DocumentBytes(expected.label));
    }
    std::sort(covered.begin(), covered.end());
    std::vector<int32_t> listed = GetListedSymbologies();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(covered, listed);
}

TEST(BarcodeEdtDlg, ChangingSymbologyKeepsWhatEveryBarcodeShares)
{
    // One code of each settings block the file knows.
    const int family[] = {SymbologyCode39, SymbologyCode128, SymbologyEAN128,  SymbologyEAN13,
                          SymbologyITF14,  SymbologyPDF417,  SymbologyQRCode,  SymbologyDataMatrix};
    for (int from : family) {
        for (int to : family) {
            if (from == to)
                continue;
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            FakeServices services;
            BarcodeLabel l(from, ContentFor(to));
            CBarcodeSettings& old = l.Settings();
            old.m_strFontName = QStringLiteral("DejaVu Sans");
            old.m_fFontSize = 9.0f;
            old.m_bBold = true;
            old.m_crText = 0xFF112233u;
            old.m_crBackground = 0xFFEEDDCCu;
            old.m_fBarHeight = 12.5f;
            old.m_nTextAlign = 2;
            old.m_fAngle = 90.0f;
            l.barcode->m_fAngle = 90.0f;
            EXPECT_TRUE(RunDialog(l, services, [&](QDialog& d) {
                auto* combo = Ctl<QComboBox>(&d, 266, 1157);
                ChooseItem(combo, combo->findData(to));
                Toggle(page<QWidget>(&d, 266), 1061);
            }));
            EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(' ').toStdString();
            const CBarcodeSettings& s = l.Settings();
            EXPECT_EQ(s.m_nSymbology, to);
            EXPECT_EQ(typeid(s), typeid(*FindSymbology(to)->makeSettings()));
            EXPECT_EQ(s.m_strContent, ContentFor(to));
            ASSERT_EQ(s.m_bandList.size(), 1u);
            EXPECT_EQ(s.GetBandsText(), ContentFor(to));
            EXPECT_EQ(s.m_strFontName, QStringLiteral("DejaVu Sans"));
            EXPECT_EQ(s.m_fFontSize, 9.0f);
            EXPECT_TRUE(s.m_bBold);
            EXPECT_EQ(s.m_crText, 0xFF112233u);
            EXPECT_EQ(s.m_crBackground, 0xFFEEDDCCu);
            EXPECT_EQ(s.m_fBarHeight, 12.5f);
            EXPECT_EQ(s.m_nTextAlign, 2);
            EXPECT_TRUE(s.m_bTextAbove);
            EXPECT_EQ(l.barcode->m_strName, QStringLiteral("条码1"));
            EXPECT_EQ(l.barcode->m_fX, 5.25f);
            EXPECT_EQ(l.barcode->m_fAngle, 90.0f);
            // The box is the size the new symbol really has.
            EXPECT_EQ(l.barcode->m_fWidth, s.m_fWidth);
            EXPECT_EQ(l.barcode->m_fHeight, s.m_fHeight);
            EXPECT_GT(s.m_fWidth, 0.0f);
        }
    }
}

TEST(BarcodeEdtDlg, WhatReEncodesAndWhatOnlyRescales)
{
    FakeServices services;
    {
        // Only the bar colour: written opaque, nothing re-encoded, both flags clear.
        BarcodeLabel l(SymbologyCode39);
        l.Settings().m_crBar = 0x80102030u;
        l.Settings().m_fLeftBlank = 1.0f;
        const float width = l.barcode->m_fWidth;
        auto dialog = CreateObjectEdtDlg(Request(l));
        auto* picker = Ctl<CColourPicker>(dialog.get(), 266, 1158);
        EXPECT_EQ(picker->GetColour(), QColor(0x10, 0x20, 0x30));
        EXPECT_TRUE(picker->m_strDefaultText.isEmpty());
        picker->SetColour(QColor(0x40, 0x50, 0x60));
        Retype(page<QWidget>(dialog.get(), 266), 1082, QStringLiteral("1.005"));
        l.Settings().m_fWidth = 1.0f; // a re-encode would put the real width back
        dialog->accept();
        auto& pane = *static_cast<CBarcodeEdtDlg&>(*dialog).m_pBarcodePane;
        EXPECT_FALSE(pane.m_bSymbologyChanged);
        EXPECT_FALSE(pane.m_bOptionsChanged);
        EXPECT_EQ(l.Settings().m_crBar, 0xFF405060u);
        EXPECT_FLOAT_EQ(l.Settings().m_fLeftBlank, 1.005f);
        EXPECT_EQ(l.Settings().m_fWidth, 1.0f);
        EXPECT_EQ(l.barcode->m_fWidth, width);
    }
    {
        // A box typed 0.01 mm or more away is rescaled to what the symbol really takes.
        BarcodeLabel l(SymbologyCode39);
        const float width = l.barcode->m_fWidth;
        const QString typed = QString::asprintf("%.2f", double(width * 2));
        EXPECT_TRUE(RunDialog(l, services, [&](QDialog& d) { Retype(page<QWidget>(&d, 233), 1079, typed); }));
        BarcodeLabel expected(SymbologyCode39);
        expected.barcode->GetImpl()->Resize(typed.toFloat(), expected.barcode->m_fHeight);
        EXPECT_EQ(l.Settings().m_fModuleWidth, expected.Settings().m_fModuleWidth);
        EXPECT_GT(l.Settings().m_fModuleWidth, 10.0f);
        EXPECT_EQ(l.barcode->m_fWidth, l.Settings().m_fWidth);
        EXPECT_NEAR(l.barcode->m_fWidth, width * 2, 1.0f);
    }
    {
        // New content is encoded and the box takes the symbol's size, whatever was typed.
        BarcodeLabel l(SymbologyCode39);
        EXPECT_TRUE(RunDialog(l, services, [](QDialog& d) {
            TypeContent(d, QStringLiteral("9876543210"));
            Retype(page<QWidget>(&d, 233), 1079, QStringLiteral("5"));
        }));
        BarcodeLabel expected(SymbologyCode39, QStringLiteral("9876543210"));
        EXPECT_EQ(l.Settings().m_strContent, QStringLiteral("9876543210"));
        EXPECT_EQ(l.barcode->m_fWidth, expected.barcode->m_fWidth);
        EXPECT_EQ(l.barcode->m_fHeight, expected.barcode->m_fHeight);
    }
    {
        // A larger text line makes the box taller at once.
        BarcodeLabel l(SymbologyCode39);
        const float height = l.barcode->m_fHeight;
        EXPECT_TRUE(RunDialog(l, services, [](QDialog& d) {
            RetypeText(Ctl<QComboBox>(&d, 250, 5)->lineEdit(), QStringLiteral("36"));
        }));
        EXPECT_EQ(l.Settings().m_fFontSize, 36.0f);
        EXPECT_GT(l.barcode->m_fHeight, height + 5.0f);
        EXPECT_EQ(l.barcode->m_fHeight, l.Settings().m_fHeight);
    }
    {
        // Showing the text above is an option change: re-encoded, box recomputed.
        BarcodeLabel l(SymbologyCode39);
        l.barcode->m_fHeight = 40.0f;
        EXPECT_TRUE(RunDialog(l, services, [](QDialog& d) { Toggle(page<QWidget>(&d, 266), 1061); }));
        EXPECT_TRUE(l.Settings().m_bTextAbove);
        EXPECT_EQ(l.barcode->m_fHeight, l.Settings().m_fHeight);
        EXPECT_LT(l.barcode->m_fHeight, 40.0f);
    }
    EXPECT_TRUE(services.messages.empty());
}

TEST(BarcodeEdtDlg, ASymbolThatCannotBeEncodedKeepsTheDialogOpenAndTheBarcode)
{
    FakeServices services;
    // Fits level M at the largest version, not level H.
    BarcodeLabel l(SymbologyQRCode, QString(2000, u'A'));
    const QByteArray before = DocumentBytes(l.label);
    int failed = 0;
    QString message;
    EXPECT_FALSE(RunDialog(
        l, services,
        [&](QDialog& d) {
            QWidget* pane = OptionPane(d);
            Choose(pane, 1162, 3);
            ClickButton(&d, 1);
            EXPECT_TRUE(d.isVisible());
            ASSERT_EQ(services.messages.size(), 1u);
            message = services.messages.front().text;
            // What was typed is still there for a second try.
            EXPECT_EQ(ctl<QComboBox>(pane, 1162)->currentIndex(), 3);
        },
        false, &failed));
    EXPECT_EQ(message, kQRCodeTooMuchData);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(DocumentBytes(l.label), before);
}

TEST(BarcodeEdtDlg, EachSymbologyKeepsWhatWasTypedInItsPane)
{
    FakeServices services;
    BarcodeLabel l(SymbologyCode39);
    EXPECT_TRUE(RunDialog(l, services, [](QDialog& d) {
        auto* combo = Ctl<QComboBox>(&d, 266, 1157);
        Retype(OptionPane(d), 1079, QStringLiteral("13"));
        QWidget* code39 = OptionPane(d);
        ChooseItem(combo, combo->findData(SymbologyQRCode));
        EXPECT_EQ(OptionPane(d)->objectName(), PageName(393));
        EXPECT_FALSE(code39->isVisible());
        ChooseItem(combo, combo->findData(SymbologyCode39Full));
        QWidget* full = OptionPane(d);
        EXPECT_NE(full, code39); // one pane per code
        EXPECT_EQ(ctl<QLineEdit>(full, 1079)->text(), QStringLiteral("10.0"));
        ChooseItem(combo, combo->findData(SymbologyCode39));
        EXPECT_EQ(OptionPane(d), code39);
        EXPECT_EQ(ctl<QLineEdit>(code39, 1079)->text(), QStringLiteral("13.0"));
    }));
    EXPECT_EQ(l.Settings().m_nSymbology, SymbologyCode39);
    EXPECT_EQ(l.Settings().m_fModuleWidth, 13.0f);
}

TEST(BarcodeEdtDlg, OptionPanesLoadWhatTheyCanShowAndNoteChanges)
{
    auto settingsOf = [](int code) { return CreateBarcodeImpl(code); };
    {
        auto impl = settingsOf(SymbologyCode39);
        CBarcodeSettings& s = *impl->GetSettings();
        s.m_nStartChar = 2;
        s.m_fRatio = 2.5f;
        CBarcodeEdtPane_Code39 pane;
        EXPECT_TRUE(pane.IsChanged()); // never loaded
        pane.LoadOptions(s);
        EXPECT_EQ(pane.m_start->currentIndex(), 0);
        pane.m_moduleWidth->setText(QStringLiteral("10.0005"));
        pane.StoreOptions(s);
        EXPECT_EQ(s.m_nStartChar, 0);
        EXPECT_FALSE(pane.IsChanged());
        ChooseItem(pane.m_ratio, 6);
        pane.StoreOptions(s);
        EXPECT_FLOAT_EQ(s.m_fRatio, 2.6f);
        EXPECT_TRUE(pane.IsChanged());
        // A ratio the list does not hold is kept, not read as 0.
        s.m_fRatio = 2.55f;
        pane.LoadOptions(s);
        EXPECT_EQ(pane.m_ratio->currentIndex(), -1);
        pane.StoreOptions(s);
        EXPECT_FLOAT_EQ(s.m_fRatio, 2.55f);
        EXPECT_FALSE(pane.IsChanged());
    }
    {
        auto impl = settingsOf(SymbologyCodabar);
        CBarcodeSettings& s = *impl->GetSettings();
        s.m_nStopChar = 7;
        CBarcodeEdtPane_Codabar pane;
        pane.LoadOptions(s);
        EXPECT_EQ(pane.m_stop->currentText(), QStringLiteral("D"));
        pane.StoreOptions(s);
        EXPECT_EQ(s.m_nStopChar, 3);
    }
    {
        auto impl = settingsOf(SymbologyPDF417);
        auto& s = static_cast<CBarcodeSettings_PDF417&>(*impl->GetSettings());
        s.m_nSpareFlag = 7;
        CBarcodeEdtPane_PDF417 pane;
        pane.LoadOptions(s);
        EXPECT_EQ(pane.m_level->currentText(), QStringLiteral("Auto"));
        EXPECT_EQ(pane.m_rowHeight->currentIndex(), 2);
        const struct
        {
            int level, rows;
            QString ratio;
            int storedLevel, storedRows, storedRatio;
        } cases[] = {{0, 0, "0", 9, 0, 1}, {1, 1, "abc", 0, 3, 1}, {9, 88, "100", 8, 90, 100}};
        for (const auto& c : cases) {
            ChooseItem(pane.m_level, c.level);
            ChooseItem(pane.m_rows, c.rows);
            RetypeText(pane.m_rowColumnRatio, c.ratio);
            pane.StoreOptions(s);
            EXPECT_EQ(s.m_nECLevel, c.storedLevel);
            EXPECT_EQ(s.m_nRows, c.storedRows);
            EXPECT_EQ(s.m_nRowColumnLimit, c.storedRatio);
            EXPECT_EQ(s.m_nSpareFlag, 7);
        }
        // The encoding follows the hidden mode: only automatic and bytes take one.
        EXPECT_TRUE(pane.m_codePage->isEnabled());
        pane.m_mode->setCurrentIndex(2);
        pane.UpdateCodePage();
        EXPECT_FALSE(pane.m_codePage->isEnabled());
    }
    {
        auto impl = settingsOf(SymbologyQRCode);
        auto& s = static_cast<CBarcodeSettings_QRCode&>(*impl->GetSettings());
        s.m_nMode = 5;
        CBarcodeEdtPane_QRCode pane;
        pane.LoadOptions(s);
        EXPECT_EQ(pane.m_mode->currentText(), QStringLiteral("Auto"));
        EXPECT_EQ(pane.m_mask->currentText(), QStringLiteral("Auto"));
        pane.StoreOptions(s);
        EXPECT_EQ(s.m_nMode, 5);
        EXPECT_EQ(s.m_nMask, -1);
        EXPECT_EQ(s.m_nVersion, 0);
        EXPECT_FALSE(pane.IsChanged());
        ChooseItem(pane.m_mask, 1);
        pane.StoreOptions(s);
        EXPECT_EQ(s.m_nMask, 0);
        EXPECT_TRUE(pane.IsChanged());
    }
    {
        auto impl = settingsOf(SymbologyDataMatrix);
        auto& s = static_cast<CBarcodeSettings_DataMatrix&>(*impl->GetSettings());
        CBarcodeEdtPane_DataMatrix pane;
        pane.LoadOptions(s);
        EXPECT_EQ(pane.m_size->currentText(), QStringLiteral("自动正方形"));
        EXPECT_EQ(pane.m_size->itemText(32), QStringLiteral("16x48"));
        EXPECT_EQ(pane.m_size->count(), 33);
    }
}

TEST(BarcodeEdtDlg, AddonDialogEnablesByLengthAndCancelChangesNothing)
{
    FakeServices services;
    CSupplementalDlg dialog;
    dialog.m_nStyle = 7;
    services.OnNextDialog([](QDialog& d) {
        auto* zone = ctl<QComboBox>(&d, 1100);
        EXPECT_FALSE(zone->isEnabled());
        EXPECT_FALSE(ctl<QRadioButton>(&d, 1147)->isEnabled());
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1143)->isChecked());
        ChooseItem(ctl<QComboBox>(&d, 1098), 2);
        EXPECT_TRUE(zone->isEnabled());
        EXPECT_TRUE(ctl<QRadioButton>(&d, 1147)->isEnabled());
        ClickButton(&d, 1);
    });
    ASSERT_EQ(Services().RunModal(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.m_nAddonKind, 2);
    EXPECT_EQ(dialog.m_nStyle, 0);

    // Through the EAN-13 pane: Cancel keeps the pane's values.
    BarcodeLabel l(SymbologyEAN13);
    static_cast<CBarcodeSettings_EJU&>(l.Settings()).m_nAddonGap = 4;
    const QByteArray before = DocumentBytes(l.label);
    EXPECT_TRUE(RunDialog(l, services, [&](QDialog& d) {
        services.OnNextDialog([](QDialog& addon) {
            EXPECT_EQ(ctl<QComboBox>(&addon, 1100)->currentIndex(), 4);
            ChooseItem(ctl<QComboBox>(&addon, 1098), 1);
            ClickButton(&addon, 2);
        });
        ClickButton(OptionPane(d), 1078);
    }));
    EXPECT_EQ(DocumentBytes(l.label), before);
}

TEST(BarcodeEdtDlg, GroupingDialogFromTheBarcodeAndTheTextPane)
{
    FakeServices services;
    BarcodeLabel l(SymbologyCode128);
    {
        CBarcodeSettings& s = l.Settings();
        s.m_bGrouping = true;
        s.m_nSeparator = SeparatorCustomText;
        s.m_strSeparator = QStringLiteral(" - ");
        s.m_strGroupRule = QStringLiteral("2,3");
        s.m_fGroupGap = 1.5f;
        s.m_strGroupText = QStringLiteral("carried");
    }
    // OK replaces the barcode's settings by the edited copy's.
    auto s = [&]() -> const CBarcodeSettings& { return l.Settings(); };
    // OK without touching: the custom separator is taken trimmed.
    EXPECT_TRUE(RunDialog(l, services, [&](QDialog& d) {
        services.OnNextDialog([](QDialog& g) {
            EXPECT_EQ(ctl<QLineEdit>(&g, 1079)->text(), QStringLiteral("-"));
            EXPECT_FALSE(ctl<QLineEdit>(&g, 1080)->isEnabled());
            ClickButton(&g, 1);
        });
        ClickButton(page<QWidget>(&d, 266), 1078);
    }));
    EXPECT_EQ(s().m_strSeparator, QStringLiteral("-"));
    EXPECT_EQ(s().m_strGroupText, QStringLiteral("carried"));
    // Cleared and checked again restores the stored choice and rule; the ideographic
    // space leaves the gap alone.
    EXPECT_TRUE(RunDialog(l, services, [&](QDialog& d) {
        services.OnNextDialog([](QDialog& g) {
            auto* check = ctl<QCheckBox>(&g, 1151);
            Click(check);
            EXPECT_EQ(ctl<QComboBox>(&g, 1294)->currentIndex(), -1);
            EXPECT_TRUE(ctl<QLineEdit>(&g, 1153)->text().isEmpty());
            Click(check);
            EXPECT_EQ(ctl<QComboBox>(&g, 1294)->currentIndex(), SeparatorCustomText);
            EXPECT_EQ(ctl<QLineEdit>(&g, 1153)->text(), QStringLiteral("2,3"));
            ChooseItem(ctl<QComboBox>(&g, 1294), SeparatorIdeographicSpace);
            ClickButton(&g, 1);
        });
        ClickButton(page<QWidget>(&d, 266), 1078);
    }));
    EXPECT_EQ(s().m_nSeparator, SeparatorIdeographicSpace);
    EXPECT_EQ(s().m_strSeparator, QString(QChar(0x3000)));
    EXPECT_EQ(s().m_fGroupGap, 1.5f);
    // Cleared: off, no choice, no rule. Then a Cancel changes nothing.
    EXPECT_TRUE(RunDialog(l, services, [&](QDialog& d) {
        services.OnNextDialog([](QDialog& g) {
            Click(ctl<QCheckBox>(&g, 1151));
            ClickButton(&g, 1);
        });
        ClickButton(page<QWidget>(&d, 266), 1078);
        services.OnNextDialog([](QDialog& g) {
            Click(ctl<QCheckBox>(&g, 1151));
            ClickButton(&g, 2);
        });
        ClickButton(page<QWidget>(&d, 266), 1078);
    }));
    EXPECT_FALSE(s().m_bGrouping);
    EXPECT_EQ(s().m_nSeparator, SeparatorIdeographicSpace); // kept for a later tick, and for the file
    EXPECT_TRUE(s().m_strGroupRule.isEmpty());

    // The single-line text pane opens the same dialog.
    CTextEdtPane_SingleLine text;
    text.m_strGroupRule = QStringLiteral("4");
    services.OnNextDialog([](QDialog& g) {
        Click(ctl<QCheckBox>(&g, 1151));
        ChooseItem(ctl<QComboBox>(&g, 1294), SeparatorFixedGap);
        RetypeText(ctl<QLineEdit>(&g, 1080), QStringLiteral("2.5"));
        ClickButton(&g, 1);
    });
    Click(text.m_grouping);
    EXPECT_TRUE(text.m_bGrouping);
    EXPECT_EQ(text.m_nSeparatorChoice, SeparatorFixedGap);
    EXPECT_EQ(text.m_fGroupGap, 2.5f);
    EXPECT_EQ(text.m_strGroupRule, QStringLiteral("4"));
}

// The running editor: a double click on a barcode opens its dialog; the edit is one
// undo step, the canvas's size rules follow the new symbology, and the printed PDF
// holds the symbol with the content.
TEST(BarcodeEdtDlg, DoubleClickOnTheCanvasEditsAndThePdfDecodes)
{
    FakeServices services;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto label = std::make_unique<CLabelData>();
    label->m_fLabelWidth = 80;
    label->m_fLabelHeight = 50;
    BarcodeLabel source(SymbologyCode128, QStringLiteral("VC-2026-07"));
    label->m_objects.push_back(source.barcode->Clone());
    label->m_objects.back()->m_fX = 10;
    label->m_objects.back()->m_fY = 10;
    auto frame = std::make_unique<CChildFrame>(std::move(label), nullptr);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->resize(824, 624);
    frame->show();
    CChildView& view = frame->View();
    view.SetView(1.0f, 934.0f, 934.0f);
    const QPoint at(10 + static_cast<int>(15 * 96 / 25.4), 10 + static_cast<int>(15 * 96 / 25.4));

    services.OnNextDialog([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("条码编辑框"));
        auto* combo = Ctl<QComboBox>(&d, 266, 1157);
        ChooseItem(combo, combo->findData(SymbologyQRCode));
        Choose(OptionPane(d), 1162, 2);
        TypeContent(d, QStringLiteral("LOT 2026/12 批次"));
        ClickButton(&d, 1);
    });
    QTest::mousePress(&view, Qt::LeftButton, {}, at);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, at);
    QTest::mousePress(&view, Qt::LeftButton, {}, at);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, at);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, at);
    EXPECT_TRUE(services.dialogs.empty());
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(' ').toStdString();
    ASSERT_EQ(view.ObjectList().size(), 1u);
    auto& proxy = static_cast<CBarcodeProxy&>(*view.ObjectList().front());
    EXPECT_EQ(proxy.GetSymbologyOfObject(), SymbologyQRCode);
    EXPECT_EQ(typeid(*proxy.FollowSymbology()), typeid(CBarcodeProxyImpl_QRCode));
    ASSERT_GE(view.UndoManager().UndoCount(), 1u);
    EXPECT_TRUE(view.IsModified());

    const CChildFrame::ObjectListScope scope = frame->WholeLabel();
    CPrintHandler job;
    job.SetLabelData(&scope.Label());
    job.Prepare();
    const QString pdf = dir.filePath("edited.pdf");
    auto target = CPrinterTarget::ForPdf(pdf);
    QString error;
    ASSERT_EQ(RunPrintJob(job, *target, {1, job.GetPageCount(), 1, true}, nullptr, &error), PrintResult::Success)
        << error.toStdString();
    const std::vector<QImage> pages = RasterisePdf(pdf, 300);
    ASSERT_EQ(pages.size(), 1u);
    const auto read = ReadSymbol(pages.front(), ZXing::BarcodeFormat::QRCode);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(QString::fromUtf8(*read), QStringLiteral("LOT 2026/12 批次"));

    // Undo and redo: the size rules follow the symbology they restore.
    view.UndoManager().Undo();
    EXPECT_EQ(proxy.GetSymbologyOfObject(), SymbologyCode128);
    // Resizing goes by the linear rules again: the module width follows the width.
    const float module = BarcodeLabel::Settings(proxy.Barcode()).m_fModuleWidth;
    proxy.SetWidth(proxy.GetObject()->GetWidth() * 2);
    EXPECT_EQ(typeid(*proxy.GetImpl()), typeid(CBarcodeProxyImpl_Code128));
    EXPECT_GT(BarcodeLabel::Settings(proxy.Barcode()).m_fModuleWidth, module * 1.5f);
    view.UndoManager().Redo();
    EXPECT_EQ(proxy.GetSymbologyOfObject(), SymbologyQRCode);
    EXPECT_EQ(typeid(*proxy.FollowSymbology()), typeid(CBarcodeProxyImpl_QRCode));
}

TEST(Showcase, BarcodeObjectDialog)
{
    QTemporaryDir temp;
    QString dir = qEnvironmentVariable("VC_SHOWCASE_DIR");
    if (dir.isEmpty())
        dir = temp.path();
    QDir().mkpath(dir);
    FakeServices services;
    for (int code : {SymbologyCode39, SymbologyEAN13, SymbologyPDF417, SymbologyQRCode}) {
        BarcodeLabel l(code);
        auto dialog = CreateObjectEdtDlg(Request(l));
        dialog->show();
        dialog->resize(dialog->sizeHint());
        QTest::qWait(30);
        EXPECT_TRUE(dialog->grab().save(dir + QStringLiteral("/barcode-dialog-%1.png").arg(code)));
        if (code == SymbologyQRCode) {
            ctl<QTabWidget>(dialog.get(), 1117)->setCurrentIndex(2);
            QTest::qWait(30);
            EXPECT_TRUE(dialog->grab().save(dir + QStringLiteral("/barcode-dialog-data-source.png")));
        }
    }
    for (QDialog* small : std::initializer_list<QDialog*>{new CSupplementalDlg, new CGroupingSettingsDlg}) {
        small->show();
        QTest::qWait(30);
        EXPECT_TRUE(small->grab().save(dir + QStringLiteral("/%1.png").arg(small->metaObject()->className())));
        delete small;
    }
}

TEST(BarcodeEdtDlg, AModuleWidthOfNothingIsRefusedOnTheBarcodeTab)
{
    // One message, named by the box's own caption, whichever end of its range is missed.
    for (const auto& [code, caption] : {std::pair{SymbologyCode39, u"窄单元"}, std::pair{SymbologyCode128, u"窄单元X"},
                                        std::pair{SymbologyDataMatrix, u"模块宽X"}}) {
        SCOPED_TRACE(code);
        FakeServices services;
        BarcodeLabel l(code);
        const QByteArray before = DocumentBytes(l.label);
        const QString message = QString::fromUtf16(caption) + QStringLiteral("必须大于 0 且不超过 10000，请重新输入。");
        EXPECT_FALSE(RunDialog(
            l, services,
            [&](QDialog& d) {
                QWidget* pane = OptionPane(d);
                auto* width = pane->findChild<CVXUnitEdit*>();
                for (const char* typed : {"0", "-1", "20000"}) {
                    services.messages.clear();
                    RetypeText(width, QString::fromLatin1(typed));
                    ctl<QTabWidget>(&d, 1117)->setCurrentIndex(4);
                    ClickButton(&d, 1);
                    EXPECT_TRUE(d.isVisible());
                    EXPECT_EQ(ctl<QTabWidget>(&d, 1117)->currentIndex(), 0);
                    EXPECT_EQ(services.MessageTexts(), QStringList{message}) << typed;
                }
            },
            false));
        EXPECT_EQ(DocumentBytes(l.label), before);
    }
}

#include "SessionTestSupport.h"
#include "barcode/DataMatrix.h"
#include "dialogs/properties/BandTextEidtor.h"

namespace {

// The running program with one barcode drawn by the barcode tool.
class BarcodeSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        Create(CmdToolBarcode, 10, 10);
        ASSERT_EQ(View().ObjectList().size(), 1u);
        barcode = &static_cast<CBarcodeProxy&>(*Last());
    }
    CBarcodeSettings& Settings() const { return *barcode->Barcode().GetImpl()->GetSettings(); }
    QPoint Centre()
    {
        const CBaseGraph& object = *barcode->GetObject();
        return At(object.m_fX + object.GetWidth() / 2, object.m_fY + object.GetHeight() / 2);
    }
    // Opens the property dialog with a double click; fill works in it, then OK.
    void EditWithDialog(const std::function<void(QDialog&)>& fill, bool ok = true)
    {
        services.OnNextDialog([&](QDialog& d) {
            fill(d);
            ClickButton(&d, ok ? 1 : 2);
            if (d.isVisible())
                ClickButton(&d, 2);
        });
        DoubleClick(Centre());
        Settle();
        EXPECT_TRUE(services.dialogs.empty());
    }
    // The label as written, after a paint: drawing copies the box into the settings.
    QByteArray Bytes()
    {
        View().grab();
        return DocumentBytes(Window().WholeLabel().Label());
    }
    // Prints the label to PDF and reads the one symbol of that format on the page;
    // empty when none is read.
    QString PrintAndRead(ZXing::BarcodeFormat format)
    {
        CPrintHandler job;
        const CChildFrame::ObjectListScope scope = Window().WholeLabel();
        job.SetLabelData(&scope.Label());
        job.Prepare();
        const QString pdf = m_dir.filePath("printed.pdf");
        auto target = CPrinterTarget::ForPdf(pdf);
        QString error;
        if (RunPrintJob(job, *target, {1, job.GetPageCount(), 1, true}, nullptr, &error) != PrintResult::Success) {
            ADD_FAILURE() << error.toStdString();
            return {};
        }
        const std::vector<QImage> pages = RasterisePdf(pdf, 300);
        const auto read = pages.size() == 1 ? ReadSymbol(pages.front(), format) : std::nullopt;
        return read ? QString::fromUtf8(*read) : QString();
    }

    CBarcodeProxy* barcode = nullptr;
};

} // namespace

TEST(BarcodeEdtDlg, DataMatrixEncodationNamesWhatTheEncoderUses)
{
    // By libdmtx's scheme numbers: ASCII, C40, Text, X12, Edifact, Base 256.
    const QStringList names = {"ASCII", "C40", "Text", "X12", "Edifact", "Base 256"};
    CBarcodeEdtPane_DataMatrix pane;
    ASSERT_EQ(pane.m_encodation->count(), 6);
    for (int i = 0; i < pane.m_encodation->count(); ++i)
        EXPECT_TRUE(pane.m_encodation->itemText(i).startsWith(names.value(DataMatrixScheme(i), "?")))
            << i << " " << pane.m_encodation->itemText(i).toStdString();
}

// Data Matrix of a fixed size holds only so much: new data typed in the band text
// editor that does not fit is told and the barcode stays as it was.
TEST_F(BarcodeSession, BandTextEditorRefusesDataTheSymbolCannotHold)
{
    EditWithDialog([](QDialog& d) {
        auto* combo = Ctl<QComboBox>(&d, 266, 1157);
        ChooseItem(combo, combo->findData(SymbologyDataMatrix));
        Choose(OptionPane(d), 1100, 4); // 12x12
    });
    ASSERT_EQ(Settings().m_nSymbology, SymbologyDataMatrix);
    ASSERT_TRUE(services.messages.empty()) << services.MessageTexts().join(' ').toStdString();
    const QByteArray before = Bytes();
    const size_t steps = View().UndoManager().UndoCount();

    ASSERT_TRUE(Trigger(CmdToolEditData));
    services.OnNextDialog([&](QDialog& d) {
        auto& editor = static_cast<CBandTextEidtor&>(d);
        editor.m_value->setPlainText("12345678901234567890123456789");
        ClickButton(&editor, 1);
        EXPECT_TRUE(editor.isVisible());
        EXPECT_EQ(services.MessageTexts(), QStringList{kDataMatrixCannotEncode});
        EXPECT_EQ(Bytes(), before);
        ClickButton(&editor, 2);
    });
    Click(Centre());
    Settle();
    EXPECT_TRUE(services.dialogs.empty());
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(View().UndoManager().UndoCount(), steps);

    // What fits is taken, as one step.
    services.OnNextDialog([](QDialog& d) {
        static_cast<CBandTextEidtor&>(d).m_value->setPlainText("1234567890");
        ClickButton(&d, 1);
    });
    Click(Centre());
    Settle();
    EXPECT_EQ(Settings().m_strContent, QStringLiteral("1234567890"));
    EXPECT_EQ(View().UndoManager().UndoCount(), steps + 1);
}

// What the dialog stores is what the reopened dialog shows, also after the label was
// saved, closed and opened again; the printed symbol holds the bands' content.
TEST_F(BarcodeSession, StoredOptionsComeBackAfterSaveAndOpen)
{
    EditWithDialog([](QDialog& d) {
        auto* combo = Ctl<QComboBox>(&d, 266, 1157);
        ChooseItem(combo, combo->findData(SymbologyQRCode));
        QWidget* pane = OptionPane(d);
        Choose(pane, 1162, 3);
        Retype(pane, 1080, QStringLiteral("20"));
        Choose(pane, 1298, 4);
        ctl<QTabWidget>(&d, 1117)->setCurrentIndex(2);
        ctl<QAction>(Ctl<QWidget>(&d, 249, 1211), 40567)->trigger();
        auto* value = Ctl<QPlainTextEdit>(&d, 258, 1204);
        value->selectAll();
        TypeText(value, QStringLiteral("-尾"));
    });
    ASSERT_TRUE(services.messages.empty()) << services.MessageTexts().join(' ').toStdString();
    auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        EditWithDialog(
            [](QDialog& d) {
                EXPECT_EQ(Ctl<QComboBox>(&d, 266, 1157)->currentData().toInt(), SymbologyQRCode);
                QWidget* pane = OptionPane(d);
                EXPECT_EQ(ctl<QComboBox>(pane, 1162)->currentIndex(), 3);
                EXPECT_EQ(ctl<QLineEdit>(pane, 1080)->text(), QStringLiteral("20.0"));
                EXPECT_EQ(ctl<QComboBox>(pane, 1298)->currentIndex(), 4);
                auto* bands = Ctl<QListWidget>(&d, 249, 1169);
                ASSERT_EQ(bands->count(), 2);
                EXPECT_EQ(bands->item(0)->text(), QStringLiteral("12345678"));
                EXPECT_EQ(bands->item(1)->text(), QStringLiteral("-尾"));
            },
            false);
        EXPECT_EQ(Settings().m_strContent, QStringLiteral("12345678-尾"));
    };
    check("edited");
    const QString path = m_dir.filePath("qr.vmk");
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileSave));
    ASSERT_TRUE(Trigger(CmdFileClose));
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileOpen));
    ASSERT_EQ(View().ObjectList().size(), 1u);
    barcode = &static_cast<CBarcodeProxy&>(*Last());
    check("opened");

    EXPECT_EQ(PrintAndRead(ZXing::BarcodeFormat::QRCode), QStringLiteral("12345678-尾"));
}

// A refused OK, then Cancel: the barcode, the history and what follows are as if the
// dialog had never been opened.
TEST_F(BarcodeSession, RefusedOkThenCancelLeavesLabelAndHistory)
{
    const QByteArray before = Bytes();
    const size_t steps = View().UndoManager().UndoCount();
    services.OnNextDialog([&](QDialog& d) {
        auto* combo = Ctl<QComboBox>(&d, 266, 1157);
        ChooseItem(combo, combo->findData(SymbologyDataMatrix));
        Choose(OptionPane(d), 1100, 3); // 10x10 holds six digits
        ClickButton(&d, 1);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(services.MessageTexts(), QStringList{kDataMatrixCannotEncode});
        ClickButton(&d, 2);
    });
    DoubleClick(Centre());
    Settle();
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(View().UndoManager().UndoCount(), steps);
    EXPECT_EQ(Settings().m_nSymbology, SymbologyCode39);

    // The next edit is one step of its own, and undoing it gives the label back.
    EditWithDialog([](QDialog& d) { Retype(OptionPane(d), 1079, QStringLiteral("15")); });
    EXPECT_EQ(View().UndoManager().UndoCount(), steps + 1);
    EXPECT_NE(Bytes(), before);
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(Bytes(), before);
}

// Each symbology chosen in the dialog on the drawn barcode, with content typed on the
// data-source tab, prints a symbol that reads back as that content.
TEST_F(BarcodeSession, EachSymbologyChosenInTheDialogPrintsWhatWasTyped)
{
    using F = ZXing::BarcodeFormat;
    struct Row
    {
        int code;
        F format;
        QString content;
        QString read;
    };
    const Row rows[] = {
        {SymbologyCodabar, F::Codabar, QStringLiteral("40156"), QStringLiteral("40156")},
        {SymbologyCode39, F::Code39, QStringLiteral("LOT-42"), QStringLiteral("LOT-42")},
        {SymbologyCode93, F::Code93, QStringLiteral("CODE93"), QStringLiteral("CODE93")},
        {SymbologyCode128, F::Code128, QStringLiteral("VC-2026/12"), QStringLiteral("VC-2026/12")},
        {SymbologyEAN128, F::Code128, QStringLiteral("(01)12345678901231"), QStringLiteral("(01)12345678901231")},
        {SymbologyEAN13, F::EAN13, QStringLiteral("690123456789"), QStringLiteral("6901234567892")},
        {SymbologyEAN8, F::EAN8, QStringLiteral("1234567"), QStringLiteral("12345670")},
        {SymbologyUPCA, F::UPCA, QStringLiteral("01234567890"), QStringLiteral("012345678905")},
        {SymbologyInterleaved25, F::ITF, QStringLiteral("12345678"), QStringLiteral("12345678")},
        {SymbologyPDF417, F::PDF417, QStringLiteral("Vellum 2026"), QStringLiteral("Vellum 2026")},
        {SymbologyQRCode, F::QRCode, QStringLiteral("批次 7"), QStringLiteral("批次 7")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        EditWithDialog([&](QDialog& d) {
            auto* combo = Ctl<QComboBox>(&d, 266, 1157);
            ChooseItem(combo, combo->findData(row.code));
            TypeContent(d, row.content);
        });
        EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(' ').toStdString();
        services.messages.clear();
        EXPECT_EQ(Settings().m_nSymbology, row.code);
        EXPECT_EQ(PrintAndRead(row.format), row.read);
    }
}
// A 2-D symbol whose content is emptied draws nothing, but its box stays where it
// was, so that the barcode can still be clicked and given new content.
TEST_F(BarcodeSession, EmptiedTwoDimensionalSymbolKeepsItsBox)
{
    for (int code : {SymbologyQRCode, SymbologyPDF417, SymbologyDataMatrix}) {
        SCOPED_TRACE(code);
        EditWithDialog([&](QDialog& d) {
            auto* combo = Ctl<QComboBox>(&d, 266, 1157);
            ChooseItem(combo, combo->findData(code));
            TypeContent(d, QStringLiteral("A1"));
        });
        const float width = barcode->GetObject()->GetWidth(), height = barcode->GetObject()->GetHeight();
        ASSERT_GT(width, 1.0f);
        EditWithDialog([](QDialog& d) {
            TypeContent(d, QStringLiteral("x"));
            Ctl<QPlainTextEdit>(&d, 258, 1204)->clear();
        });
        EXPECT_TRUE(Settings().m_strContent.isEmpty());
        if (code == SymbologyPDF417) {
            // An empty PDF417 is still a symbol, with its own box.
            EXPECT_GT(barcode->GetObject()->GetWidth(), 1.0f);
            EXPECT_GT(barcode->GetObject()->GetHeight(), 1.0f);
        } else {
            EXPECT_FLOAT_EQ(barcode->GetObject()->GetWidth(), width);
            EXPECT_FLOAT_EQ(barcode->GetObject()->GetHeight(), height);
        }
        // Found again by a click on that box, through the band text editor too.
        ASSERT_TRUE(Trigger(CmdToolEditData));
        services.OnNextDialog([](QDialog& d) {
            static_cast<CBandTextEidtor&>(d).m_value->setPlainText(QString());
            ClickButton(&d, 1);
        });
        Click(Centre());
        Settle();
        EXPECT_TRUE(services.dialogs.empty());
        ASSERT_TRUE(Trigger(CmdToolSelect));
        EditWithDialog([](QDialog& d) { TypeContent(d, QStringLiteral("B2")); });
        EXPECT_EQ(Settings().m_strContent, QStringLiteral("B2"));
    }
}
// A name given on the general tab is the barcode's name everywhere: in the status
// bar, and for the names the next barcodes get.
TEST_F(BarcodeSession, RenamedBarcodeIsKnownByItsNewName)
{
    EditWithDialog([&](QDialog& d) {
        ctl<QTabWidget>(&d, 1117)->setCurrentIndex(4);
        RetypeText(Ctl<QLineEdit>(&d, 232, 1079), QStringLiteral("条形码 2"));
    });
    EXPECT_EQ(barcode->GetObject()->m_strName, QStringLiteral("条形码 2"));
    QString name, position, size;
    barcode->GetStatusPanes(name, position, size);
    EXPECT_EQ(name, QStringLiteral("条形码 2"));

    Create(CmdToolBarcode, 10, 35);
    ASSERT_EQ(View().ObjectList().size(), 2u);
    EXPECT_NE(Last()->GetObject()->m_strName, QStringLiteral("条形码 2"));
}
