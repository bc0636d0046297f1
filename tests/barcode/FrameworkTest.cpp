#include "barcode/BarcodeImpl_Code128.h"
#include "barcode/BarcodeSymbology.h"
#include "model/DataBand.h"
#include "platform/VXException.h"
#include "LinearSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(BarcodeFactory, UnknownCodesThrowTheTypedErrorAndLeaveThePlaceAlone)
{
    std::unique_ptr<CBarcodeImpl> place = CreateBarcodeImpl(SymbologyCode128);
    CBarcodeImpl* before = place.get();
    for (int code : {32, 60, 61, 81, 83, 85, 6, 86, -1, 1000}) {
        try {
            CreateBarcodeImpl(code, place);
            FAIL() << "code " << code << " was built";
        } catch (const CBarcodeException& e) {
            EXPECT_EQ(e.GetMessage(), QStringLiteral("Not implemented barcode type"));
        }
        EXPECT_EQ(place.get(), before);
    }
}

TEST(BarcodeFactory, TableKnowsEveryDisplayName)
{
    EXPECT_EQ(GetSymbologyDisplayName(32), QStringLiteral("EAN/UCC 128 Mulit"));
    EXPECT_EQ(GetSymbologyDisplayName(72), QStringLiteral(u"邮件给据条码"));
    EXPECT_EQ(GetSymbologyDisplayName(86), QString());
    int withSettings = 0;
    int previous = -1;
    for (const SymbologyInfo& row : GetSymbologyTable()) {
        EXPECT_GT(row.code, previous);
        previous = row.code;
        if (row.makeSettings)
            ++withSettings;
    }
    EXPECT_EQ(withSettings, 30);
    EXPECT_EQ(GetSymbologyTable().size(), 36u);
}

TEST(BarcodeFactory, CodeSpecificDefaults)
{
    auto ean14 = CreateBarcodeImpl(SymbologyEAN14);
    auto scc14 = CreateBarcodeImpl(SymbologySCC14EAN128);
    auto sscc = CreateBarcodeImpl(SymbologySSCC18);
    auto gs1 = CreateBarcodeImpl(SymbologyEAN128);
    EXPECT_EQ(static_cast<CBarcodeSettings_Code128*>(ean14->GetSettings())->m_nCodeSet, Code128SetC);
    EXPECT_EQ(static_cast<CBarcodeSettings_Code128*>(scc14->GetSettings())->m_nCodeSet, Code128SetC);
    EXPECT_EQ(scc14->GetSettings()->m_nSymbology, SymbologySCC14EAN128);
    EXPECT_EQ(typeid(*scc14), typeid(*ean14));
    EXPECT_EQ(static_cast<CBarcodeSettings_Code128*>(sscc->GetSettings())->m_nCodeSet, Code128SetA);
    EXPECT_FLOAT_EQ(sscc->GetSettings()->m_fFontSize, 8.0f);
    EXPECT_FLOAT_EQ(gs1->GetSettings()->m_fFontSize, 10.0f);

    const std::unique_ptr<CBarcodeImpl> code128 = CreateBarcodeImpl(SymbologyCode128);
    const CBarcodeSettings& s = *code128->GetSettings();
    EXPECT_EQ(s.m_strContent, QStringLiteral("12345678"));
    EXPECT_EQ(s.m_strName, QStringLiteral(u"条码1"));
    EXPECT_EQ(s.m_strFontName, QStringLiteral("Arial"));
    EXPECT_FLOAT_EQ(s.m_fFontSize, 10.0f);
    EXPECT_FLOAT_EQ(s.m_fModuleWidth, 10.0f);
    EXPECT_FLOAT_EQ(s.m_fRatio, 2.0f);
    EXPECT_FLOAT_EQ(s.m_fBarHeight, 10.0f);
    EXPECT_EQ(s.m_crBar, 0xFF000000u);
    EXPECT_EQ(s.m_crText, 0xFF000000u);
    EXPECT_EQ(s.m_crBackground, 0x00FFFFFFu);
    EXPECT_TRUE(s.m_bShowText);
    EXPECT_FALSE(s.m_bTextAbove);
    EXPECT_EQ(s.m_nTextAlign, 1);
    EXPECT_TRUE(s.m_bAddCheckDigit);

    const auto postalImpl = CreateBarcodeImpl(SymbologyPostalCode);
    const auto& postal = static_cast<const CBarcodeSettings_Code128&>(*postalImpl->GetSettings());
    EXPECT_EQ(postal.m_nCodeSet, Code128SetAuto);
    EXPECT_EQ(postal.m_strGroupRule, QStringLiteral("2,4,4,1,2"));
    EXPECT_TRUE(postal.m_bGrouping);
    const auto monitorImpl = CreateBarcodeImpl(SymbologyMonitorCode);
    const auto& monitor = static_cast<const CBarcodeSettings_EAN128&>(*monitorImpl->GetSettings());
    EXPECT_EQ(monitor.m_nCodeSet, Code128SetC);
    EXPECT_EQ(monitor.m_strGroupRule, QStringLiteral("5,5,5,5"));
    EXPECT_TRUE(monitor.m_bHideParentheses);
}

TEST(BarcodeSettings, EverySubclassClonesItsOwnFields)
{
    CBarcodeSettings_EJU eju;
    EXPECT_FLOAT_EQ(eju.m_fModuleWidth, 12.992f);
    EXPECT_TRUE(eju.m_bAddCheckDigit);
    eju.m_nAddonKind = AddonFiveDigits;
    eju.m_fReserved2 = 7.0f;
    auto ejuCopy = eju.Clone();
    ASSERT_NE(dynamic_cast<CBarcodeSettings_EJU*>(ejuCopy.get()), nullptr);
    EXPECT_EQ(static_cast<CBarcodeSettings_EJU&>(*ejuCopy).m_nAddonKind, AddonFiveDigits);
    EXPECT_FLOAT_EQ(static_cast<CBarcodeSettings_EJU&>(*ejuCopy).m_fReserved2, 7.0f);

    CBarcodeSettings_PDF417 pdf;
    EXPECT_EQ(pdf.m_nCodePage, 65001);
    EXPECT_EQ(pdf.m_nECLevel, 9);
    EXPECT_EQ(pdf.m_nRowColumnLimit, 3);
    pdf.m_bTruncated = true;
    pdf.m_nColumns = 4;
    auto pdfCopy = pdf.Clone();
    EXPECT_TRUE(static_cast<CBarcodeSettings_PDF417&>(*pdfCopy).m_bTruncated);
    EXPECT_EQ(static_cast<CBarcodeSettings_PDF417&>(*pdfCopy).m_nColumns, 4);

    CBarcodeSettings_QRCode qr;
    EXPECT_EQ(qr.m_nMask, -1);
    qr.m_nVersion = 7;
    EXPECT_EQ(static_cast<CBarcodeSettings_QRCode&>(*qr.Clone()).m_nVersion, 7);

    CBarcodeSettings_DataMatrix dm;
    EXPECT_EQ(dm.m_nSizeChoice, 1);
    dm.m_nEncodation = 5;
    EXPECT_EQ(static_cast<CBarcodeSettings_DataMatrix&>(*dm.Clone()).m_nEncodation, 5);

    CBarcodeSettings_ITF14 itf;
    EXPECT_EQ(itf.m_nFlag1, 1);
    itf.m_nFlag2 = 1;
    EXPECT_EQ(static_cast<CBarcodeSettings_ITF14&>(*itf.Clone()).m_nFlag2, 1);
}

TEST(BarcodeImpl, CopiesShareNothing)
{
    auto first = CreateBarcodeImpl(SymbologyCode128);
    first->GetSettings()->m_bandList.push_back(std::make_unique<CDataBand>());
    first->GetSettings()->m_bandList[0]->m_strValue = QStringLiteral("AB");
    Recompute(*first);
    auto copy = first->Clone();
    ASSERT_EQ(typeid(*copy), typeid(*first));
    EXPECT_EQ(copy->GetSettings()->GetBandsText(), QStringLiteral("AB"));
    copy->GetSettings()->m_bandList[0]->m_strValue = QStringLiteral("CD");
    copy->GetSettings()->m_bandList.push_back(std::make_unique<CDataBand>());
    EXPECT_EQ(first->GetSettings()->GetBandsText(), QStringLiteral("AB"));
    EXPECT_EQ(first->GetSettings()->m_bandList.size(), 1u);
    EXPECT_EQ(copy->GetData()->m_arrX, first->GetData()->m_arrX);
    EXPECT_EQ(static_cast<CBarcodeImpl_Code128&>(*copy).m_strPattern,
              static_cast<CBarcodeImpl_Code128&>(*first).m_strPattern);
    EXPECT_EQ(CreateBarcodeImpl(SymbologyCode39 + 30)->GetSettings()->GetBandsText(), QString());
}

TEST(BarcodeData, CopyMakesTheArraysEqualEvenWhenTheSourceIsEmpty)
{
    CBarcodeData_Codabar target;
    target.AddBar(1.0f, 2.0f);
    target.m_arrElements = {1, 0, 1};
    CBarcodeData_Codabar empty;
    target.CopyFrom(empty);
    EXPECT_EQ(target.GetBarCount(), 0);
    EXPECT_EQ(target.GetElementCount(), 0);
}

TEST(BarcodeImpl, SizeFollowsBarsAndText)
{
    auto impl = CreateBarcodeImpl(SymbologyCode128);
    CBarcodeSettings& s = *impl->GetSettings();
    s.m_fTextGap = 1.5f;
    Recompute(*impl);
    EXPECT_FLOAT_EQ(s.m_fWidth, impl->GetData()->m_arrX.back() + impl->GetData()->m_arrWidth.back());
    EXPECT_FLOAT_EQ(s.m_fHeight, 10.0f + 1.5f + 10.0f * 25.4f / 72.0f);
    s.m_bShowText = false;
    impl->CalcHeight();
    EXPECT_EQ(s.m_fHeight, 10.0f);

    impl->GetData()->ClearBars();
    impl->CalcWidth();
    EXPECT_EQ(s.m_fWidth, 0.0f);
}

TEST(BarcodeImpl, ResizeTruncatesModuleWidthAndBarHeight)
{
    auto impl = CreateBarcodeImpl(SymbologyCode128);
    CBarcodeSettings& s = *impl->GetSettings();
    s.m_bShowText = false;
    Recompute(*impl);
    const float width = s.m_fWidth;
    impl->Resize(width * 1.5f, 7.999f);
    EXPECT_FLOAT_EQ(s.m_fModuleWidth, 15.0f);
    EXPECT_FLOAT_EQ(s.m_fBarHeight, 7.99f);
    EXPECT_FLOAT_EQ(s.m_fHeight, 7.99f);

    s.m_fModuleWidth = 10.0f;
    Recompute(*impl);
    impl->Resize(s.m_fWidth * 4.0f / 3.0f, 10.0f);
    EXPECT_FLOAT_EQ(s.m_fModuleWidth, 13.333f);

    // A symbol without bars has width 0: resizing it keeps the module width.
    impl->GetData()->ClearBars();
    s.m_fWidth = 0.0f;
    s.m_fModuleWidth = 10.0f;
    static_cast<CBarcodeImpl_Code128&>(*impl).m_strPattern.clear();
    impl->Resize(30.0f, 10.0f);
    EXPECT_FLOAT_EQ(s.m_fModuleWidth, 10.0f);
}

TEST(BarcodeImpl, AnchorPointsAndUnknownAnchorsTurnAboutTheCentre)
{
    CBarcodeSettings s;
    s.m_fX = 10;
    s.m_fY = 20;
    s.m_fWidth = 40;
    s.m_fHeight = 10;
    const QPointF expected[] = {{10, 20}, {30, 20}, {50, 20}, {50, 25}, {50, 30}, {30, 30}, {10, 30}, {10, 25}};
    for (int a = 0; a < 8; ++a) {
        s.m_nAnchor = a;
        EXPECT_EQ(GetBarcodeAnchorPoint(s), expected[a]) << a;
    }
    for (int a : {8, -1}) {
        s.m_nAnchor = a;
        EXPECT_EQ(GetBarcodeAnchorPoint(s), QPointF(30, 25));
    }
}

TEST(BarcodeImpl, GroupingRules)
{
    CBarcodeSettings s;
    const QString digits = QStringLiteral("1234567890");
    auto grouped = [&](const char* rule, const QString& text) {
        s.m_strGroupRule = QLatin1String(rule);
        return FormatGroupedText(s, text);
    };
    EXPECT_EQ(grouped("2,3,3,2", digits), QStringLiteral("12 345 678 90"));
    EXPECT_EQ(grouped("2,3", digits), QStringLiteral("12 345 67890"));
    EXPECT_EQ(grouped("4", QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(grouped("0,a,3", QStringLiteral("12345")), QStringLiteral("123 45"));
    EXPECT_EQ(grouped(",,2,,", QStringLiteral("12345")), QStringLiteral("12 345"));
    s.m_nSeparator = SeparatorIdeographicSpace;
    EXPECT_EQ(grouped("2", QStringLiteral("1234")), QStringLiteral(u"12\u300034"));
    s.m_nSeparator = SeparatorCustomText;
    s.m_strSeparator = QStringLiteral("--");
    EXPECT_EQ(grouped("2", QStringLiteral("1234")), QStringLiteral("12--34"));
    s.m_strGroupRule = QStringLiteral("2,3");
    EXPECT_EQ(SplitGroupedText(s, QStringLiteral("1234567")), QStringList({"12", "345", "67"}));
}

TEST(BarcodeImpl, BuildFullTextKeepsTheCheckDigitFieldWhenTheFlagIsClear)
{
    auto impl = CreateBarcodeImpl(SymbologyCode128);
    CBarcodeSettings& s = *impl->GetSettings();
    s.m_strCheckDigit = QStringLiteral("7");
    s.m_bAddCheckDigit = false;
    impl->CBarcodeImpl::BuildFullText(QStringLiteral("AB"));
    EXPECT_EQ(s.m_strCheckDigit, QStringLiteral("7"));
    EXPECT_EQ(impl->CBarcodeImpl::GetDisplayText(QStringLiteral("AB")), QStringLiteral("AB"));
    s.m_bAddCheckDigit = true;
    EXPECT_EQ(impl->CBarcodeImpl::GetDisplayText(QStringLiteral("AB")), QStringLiteral("AB-"));
}
