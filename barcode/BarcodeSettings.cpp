#include "barcode/BarcodeSettings.h"

#include "model/DataBand.h"

CBarcodeSettings::CBarcodeSettings()
    : m_strName(QStringLiteral(u"条码1")),
      m_strContent(QStringLiteral("12345678")),
      m_strFontName(QStringLiteral("Arial")),
      m_strSeparator(QStringLiteral(" "))
{
}

CBarcodeSettings::~CBarcodeSettings() = default;

std::unique_ptr<CBarcodeSettings> CBarcodeSettings::Clone() const
{
    return CloneAs<CBarcodeSettings>();
}

void CBarcodeSettings::CopyFrom(const CBarcodeSettings& other)
{
    if (&other == this)
        return;
    m_nSymbology = other.m_nSymbology;
    m_strName = other.m_strName;
    m_strContent = other.m_strContent;
    m_fX = other.m_fX;
    m_fY = other.m_fY;
    m_fWidth = other.m_fWidth;
    m_fHeight = other.m_fHeight;
    m_fAngle = other.m_fAngle;
    m_nAnchor = other.m_nAnchor;
    m_strFontName = other.m_strFontName;
    m_fFontSize = other.m_fFontSize;
    m_bBold = other.m_bBold;
    m_bItalic = other.m_bItalic;
    m_bUnderline = other.m_bUnderline;
    m_bStrikeout = other.m_bStrikeout;
    m_nFontSpare = other.m_nFontSpare;
    m_nTextAlign = other.m_nTextAlign;
    m_bShowText = other.m_bShowText;
    m_bTextAbove = other.m_bTextAbove;
    m_fTextGap = other.m_fTextGap;
    m_fCharSpacing = other.m_fCharSpacing;
    m_fLeftBlank = other.m_fLeftBlank;
    m_fSpareLength = other.m_fSpareLength;
    m_fModuleWidth = other.m_fModuleWidth;
    m_fRatio = other.m_fRatio;
    m_fBarHeight = other.m_fBarHeight;
    m_nStartChar = other.m_nStartChar;
    m_nStopChar = other.m_nStopChar;
    m_bAddCheckDigit = other.m_bAddCheckDigit;
    m_nSpareNumber = other.m_nSpareNumber;
    m_crText = other.m_crText;
    m_crBackground = other.m_crBackground;
    m_crBar = other.m_crBar;
    m_bGrouping = other.m_bGrouping;
    m_strGroupRule = other.m_strGroupRule;
    m_strGroupText = other.m_strGroupText;
    m_nSeparator = other.m_nSeparator;
    m_strSeparator = other.m_strSeparator;
    m_fGroupGap = other.m_fGroupGap;
    m_bandList.clear();
    m_bandList.reserve(other.m_bandList.size());
    for (const auto& band : other.m_bandList)
        m_bandList.push_back(band->Clone());
    m_fDrawScale = other.m_fDrawScale;
    m_fOriginX = other.m_fOriginX;
    m_fOriginY = other.m_fOriginY;
    m_fOutputDpi = other.m_fOutputDpi;
    m_strFullText = other.m_strFullText;
    m_strEncodedText = other.m_strEncodedText;
    m_strDisplayText = other.m_strDisplayText;
    m_strCheckDigit = other.m_strCheckDigit;
}

QString CBarcodeSettings::GetBandsText() const
{
    QString text;
    for (const auto& band : m_bandList)
        AppendBandText(text, band->GetText());
    return text;
}

void CBarcodeSettings_ITF14::CopyFrom(const CBarcodeSettings& other)
{
    CBarcodeSettings_Interleaved25::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeSettings_ITF14*>(&other)) {
        m_nFlag1 = o->m_nFlag1;
        m_nFlag2 = o->m_nFlag2;
    }
}

CBarcodeSettings_Code128::CBarcodeSettings_Code128()
{
    m_fModuleWidth = 10.0f;
    m_fRatio = 2.0f;
    m_bAddCheckDigit = true;
}

void CBarcodeSettings_Code128::CopyFrom(const CBarcodeSettings& other)
{
    CBarcodeSettings::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeSettings_Code128*>(&other)) {
        m_nCodeSet = o->m_nCodeSet;
        m_nCode128Option = o->m_nCode128Option;
    }
}

int32_t CBarcodeSettings_Code128::EffectiveCodeSet() const
{
    return m_nCodeSet >= Code128SetA && m_nCodeSet <= Code128SetAuto ? m_nCodeSet : Code128SetAuto;
}

void CBarcodeSettings_EAN128::CopyFrom(const CBarcodeSettings& other)
{
    CBarcodeSettings_Code128::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeSettings_EAN128*>(&other))
        m_bHideParentheses = o->m_bHideParentheses;
}

namespace {

// What the three fixed-length supervision and postal codes share beyond Code 128.
void SetFixedLengthCodeDefaults(CBarcodeSettings_Code128& settings, int32_t codeSet, const QString& rule)
{
    settings.m_nCodeSet = codeSet;
    settings.m_nCode128Option = 0;
    settings.m_nTextAlign = 1;
    settings.m_bGrouping = true;
    settings.m_nSeparator = SeparatorSpace;
    settings.m_strGroupRule = rule;
}

} // namespace

CBarcodeSettings_MedicalCode::CBarcodeSettings_MedicalCode()
{
    SetFixedLengthCodeDefaults(*this, Code128SetC, QStringLiteral("5,5,5,5"));
}

CBarcodeSettings_PostalCode::CBarcodeSettings_PostalCode()
{
    SetFixedLengthCodeDefaults(*this, Code128SetAuto, QStringLiteral("2,4,4,1,2"));
}

CBarcodeSettings_MonitorCode::CBarcodeSettings_MonitorCode()
{
    SetFixedLengthCodeDefaults(*this, Code128SetC, QStringLiteral("5,5,5,5"));
    m_bHideParentheses = true;
}

CBarcodeSettings_EJU::CBarcodeSettings_EJU()
{
    m_fModuleWidth = 12.992f;
    m_bAddCheckDigit = true;
}

void CBarcodeSettings_EJU::CopyFrom(const CBarcodeSettings& other)
{
    CBarcodeSettings::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeSettings_EJU*>(&other)) {
        m_fReserved1 = o->m_fReserved1;
        m_fReserved2 = o->m_fReserved2;
        m_fReserved3 = o->m_fReserved3;
        m_nAddonKind = o->m_nAddonKind;
        m_nAddonStyle = o->m_nAddonStyle;
        m_nAddonGap = o->m_nAddonGap;
        m_nReservedFlag1 = o->m_nReservedFlag1;
        m_nReservedFlag2 = o->m_nReservedFlag2;
        m_nReservedFlag3 = o->m_nReservedFlag3;
    }
}

void CBarcodeSettings_PDF417::CopyFrom(const CBarcodeSettings& other)
{
    CBarcodeSettings::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeSettings_PDF417*>(&other)) {
        m_nMode = o->m_nMode;
        m_nCodePage = o->m_nCodePage;
        m_nECLevel = o->m_nECLevel;
        m_fModuleWidthX = o->m_fModuleWidthX;
        m_nRowHeightRatio = o->m_nRowHeightRatio;
        m_nRows = o->m_nRows;
        m_nColumns = o->m_nColumns;
        m_nRowColumnLimit = o->m_nRowColumnLimit;
        m_fQuietZone = o->m_fQuietZone;
        m_bTruncated = o->m_bTruncated;
        m_nSpareFlag = o->m_nSpareFlag;
    }
}

void CBarcodeSettings_QRCode::CopyFrom(const CBarcodeSettings& other)
{
    CBarcodeSettings::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeSettings_QRCode*>(&other)) {
        m_nMode = o->m_nMode;
        m_nCodePage = o->m_nCodePage;
        m_nECLevel = o->m_nECLevel;
        m_nMask = o->m_nMask;
        m_nVersion = o->m_nVersion;
        m_bAutoExtend = o->m_bAutoExtend;
        m_fModuleWidthX = o->m_fModuleWidthX;
    }
}

void CBarcodeSettings_DataMatrix::CopyFrom(const CBarcodeSettings& other)
{
    CBarcodeSettings::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeSettings_DataMatrix*>(&other)) {
        m_nEncodation = o->m_nEncodation;
        m_nSizeChoice = o->m_nSizeChoice;
        m_fModuleWidthX = o->m_fModuleWidthX;
    }
}
