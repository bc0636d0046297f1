#pragma once

// One field order for both directions: each record of the label file is described
// once, as a function template over a field mover, and the reader and the writer
// instantiate it with FieldIn and FieldOut. A reader can then never drift from its
// writer by a field.

#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "platform/VXException.h"
#include "model/BaseGraph.h"
#include "model/DataBand.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "model/SDGraph.h"
#include "platform/Archive.h"

#include <QString>
#include <cstdint>
#include <type_traits>

// Marks a 32-bit ARGB value that the file stores as four bytes R, G, B, A.
struct Colour
{
    uint32_t& value;
};
struct ConstColour
{
    uint32_t value;
};
inline Colour AsColour(uint32_t& v) { return {v}; }
inline ConstColour AsColour(const uint32_t& v) { return {v}; }

class FieldIn
{
public:
    explicit FieldIn(CArchiveReader& ar) : m_ar(ar) {}
    static constexpr bool kLoading = true;

    template <typename T> void operator()(T& v)
    {
        if constexpr (std::is_same_v<T, bool>)
            v = m_ar.ReadBool();
        else if constexpr (std::is_same_v<T, QString>)
            v = m_ar.ReadString();
        else if constexpr (std::is_same_v<T, float>)
            v = m_ar.ReadF32();
        else if constexpr (std::is_same_v<T, uint8_t>)
            v = m_ar.ReadU8();
        else if constexpr (std::is_same_v<T, char>) // a raw character byte
            v = static_cast<char>(m_ar.ReadU8());
        else if constexpr (std::is_same_v<T, uint16_t>)
            v = m_ar.ReadU16();
        else if constexpr (std::is_enum_v<T> || std::is_same_v<T, int32_t> || std::is_same_v<T, uint32_t>) {
            static_assert(sizeof(T) == 4, "stored as 32 bits");
            v = static_cast<T>(m_ar.ReadU32());
        } else
            static_assert(sizeof(T) == 0, "no file form for this type");
    }
    void operator()(Colour c) { c.value = m_ar.ReadColor(); }

    CArchiveReader& Archive() { return m_ar; }

private:
    CArchiveReader& m_ar;
};

class FieldOut
{
public:
    explicit FieldOut(CArchiveWriter& ar) : m_ar(ar) {}
    static constexpr bool kLoading = false;

    template <typename T> void operator()(const T& v)
    {
        if constexpr (std::is_same_v<T, bool>)
            m_ar.WriteBool(v);
        else if constexpr (std::is_same_v<T, QString>)
            m_ar.WriteString(v);
        else if constexpr (std::is_same_v<T, float>)
            m_ar.WriteF32(v);
        else if constexpr (std::is_same_v<T, uint8_t>)
            m_ar.WriteU8(v);
        else if constexpr (std::is_same_v<T, char>)
            m_ar.WriteU8(static_cast<uint8_t>(v));
        else if constexpr (std::is_same_v<T, uint16_t>)
            m_ar.WriteU16(v);
        else if constexpr (std::is_enum_v<T> || std::is_same_v<T, int32_t> || std::is_same_v<T, uint32_t>) {
            static_assert(sizeof(T) == 4, "stored as 32 bits");
            m_ar.WriteU32(static_cast<uint32_t>(v));
        } else
            static_assert(sizeof(T) == 0, "no file form for this type");
    }
    void operator()(ConstColour c) { m_ar.WriteColor(c.value); }
    void operator()(Colour c) { m_ar.WriteColor(c.value); }

    CArchiveWriter& Archive() { return m_ar; }

private:
    CArchiveWriter& m_ar;
};

// The smallest number of bytes a record of each list can take; a list count read from
// a file must fit the bytes left at that size before room is reserved for it.
constexpr qsizetype kMinStringBytes = 1;

// Label settings, the fields before the embedded-image flag.
template <class F, class L> void TransferLabelSettingsHead(F& f, L& d)
{
    f(d.m_nPageWidthFlag);
    f(d.m_nPrinterType);
    f(d.m_strPrinterName);
    f(d.m_strReservedPrinter1);
    f(d.m_strReservedPrinter2);
    f(d.m_nResolution);
    f(d.m_nPaperSize);
    f(d.m_strPaperName);
    f(d.m_fPaperWidth);
    f(d.m_fPaperHeight);
    f(d.m_bLandscape);
    f(d.m_fPaperLeftMargin);
    f(d.m_fPaperTopMargin);
    f(d.m_nShape);
    f(d.m_fCornerRadius);
    f(d.m_bCenterHole);
    f(d.m_fHoleDiameter);
    f(d.m_bPrintBorder);
    f(d.m_fBorderWidth);
    f(AsColour(d.m_crBorder));
    f(d.m_fLabelWidth);
    f(d.m_fLabelHeight);
    f(d.m_fLeftMargin);
    f(d.m_fTopMargin);
    f(d.m_fHorzGap);
    f(d.m_fVertGap);
    f(d.m_nRows);
    f(d.m_nColumns);
    f(d.m_bAutoCount);
    f(d.m_nStartCorner);
    f(d.m_nFillDirection);
    f(d.m_bSameDirection);
    f(d.m_nCutMarks);
    f(d.m_fCutMarkWidth);
    f(d.m_fCutMarkOffset);
    f(d.m_bPageHeader);
    f(d.m_bPageNumber);
    f(d.m_fHorzOffset);
    f(d.m_fVertOffset);
    f(d.m_fReservedAdvanced1);
    f(d.m_fReservedAdvanced2);
    f(d.m_bReservedAdvanced);
    f(d.m_nHeaderPosition);
    f(d.m_nHeaderAlign);
    f(d.m_fHeaderVertMargin);
    f(d.m_fHeaderHorzMargin);
    f(d.m_nHeaderKind);
    f(d.m_strHeaderText);
    f(d.m_strHeaderFontName);
    f(d.m_fHeaderFontSize);
    f(d.m_nHeaderFontStyle);
    f(d.m_strHeaderObjectName);
    f(d.m_strHeaderFilePath);
    f(d.m_nNumberPosition);
    f(d.m_nNumberAlign);
    f(d.m_fNumberVertMargin);
    f(d.m_fNumberHorzMargin);
    f(d.m_nNumberStyle);
    f(d.m_strNumberFontName);
    f(d.m_fNumberFontSize);
    f(d.m_nNumberFontStyle);
    f(d.m_strNumberPrefix);
    f(d.m_strNumberSuffix);
    f(d.m_nNumberRange);
    f(AsColour(d.m_crBackground));
    f(d.m_nBackgroundSource);
    f(d.m_strImagePath);
    f(d.m_strImageMimeType);
    f(d.m_nImagePlacement);
    f(d.m_bPrintBackground);
    f(d.m_bPreviewBackground);
    f(d.m_bDesignBackground);
}

// Label settings after the background image.
template <class F, class L> void TransferLabelSettingsTail(F& f, L& d)
{
    f(d.m_nPrintCount);
    f(d.m_nCopyMode);
    f(d.m_nCopies);
    f(d.m_strCopiesDataSource);
    f(d.m_strCopiesField);
    f(d.m_bForcePageBreak);
    f(d.m_bReservedCount1);
    f(d.m_nPreloadPages);
    f(d.m_bReservedCount2);
    f(d.m_nReservedCount);
    f(d.m_fGridSize);
    f(d.m_bShowGrid);
    f(d.m_bSnapToGrid);
    for (auto& s : d.m_strReservedTail1)
        f(s);
    for (auto& n : d.m_nReservedTail)
        f(n);
    for (auto& x : d.m_fReservedTail)
        f(x);
    for (auto& s : d.m_strReservedTail2)
        f(s);
}

// A form item's common part from the name on (the kind comes first and is read by
// the caller to choose the class).
template <class F, class G> void TransferSDItemFields(F& f, G& g)
{
    f(g.m_strName);
    f(g.m_nX);
    f(g.m_nY);
    f(g.m_nWidth);
    f(g.m_nHeight);
    f(g.m_strText);
    f(g.m_nReserved1);
    f(AsColour(g.m_crColor1));
    f(AsColour(g.m_crColor2));
    f(g.m_strReserved);
    f(g.m_fReserved);
    f(g.m_nReserved2);
    f(g.m_bReserved1);
    f(g.m_bReserved2);
}

template <class F, class V> void TransferExternalVariable(F& f, V& v)
{
    f(v.m_strName);
    f(v.m_strText2);
    f(v.m_strText3);
}

// One data band. Integer 13 carries the serial step, which the band keeps in memory
// but the record has no field of its own for; files that never used it hold 0 there,
// which reads as step 1.
template <class F, class B> void TransferDataBand(F& f, B& b)
{
    f(b.m_nKind);
    f(b.m_strName);
    f(b.m_strValue);
    f(b.m_strDateTimeFormat);
    f(b.m_nDateTimeOffset);
    f(b.m_strDataSource);
    f(b.m_strFieldName);
    f(b.m_strWindowItem);
    f(b.m_strItemName);
    f(b.m_strReserved10);
    f(b.m_strReserved11);
    f(b.m_strRefBandName);
    if constexpr (F::kLoading) {
        int32_t step = 0;
        f(step);
        b.m_nSerialStep = step == 0 ? 1 : step;
    } else {
        f(b.m_nSerialStep);
    }
    f(b.m_strReserved14);
    f(b.m_nSerialBase);
    f(b.m_strCustomAlphabet);
    f(b.m_bCountUp);
    f(b.m_nSerialPadWidth);
    f(b.m_bSerialPad);
    f(b.m_chSerialPad);
    f(b.m_strStartValue);
    f(b.m_bHasEndValue);
    f(b.m_strEndValue);
    f(b.m_bRestart);
    f(b.m_strPrefix);
    f(b.m_strSuffix);
    f(b.m_bPadToLength);
    f(b.m_nMinLength);
    f(b.m_bPadLeft);
    f(b.m_chPad);
    f(b.m_bCutToLength);
    f(b.m_nMaxLength);
    f(b.m_bKeepRight);
    f(b.m_bTrimLeft);
    f(b.m_bTrimRight);
    f(b.m_bDropLeading);
    f(b.m_nDropLeadingCount);
    f(b.m_bDropTrailing);
    f(b.m_nDropTrailingCount);
    f(b.m_bKeepFirst);
    f(b.m_nKeepFirstCount);
    f(b.m_bKeepLast);
    f(b.m_nKeepLastCount);
    f(b.m_bUpperCase);
    f(b.m_bLowerCase);
    f(b.m_bNumberFormat);
    f(b.m_nDecimals);
    f(b.m_bRound);
    f(b.m_bReserved50);
    f(b.m_bReserved51);
    f(b.m_bThousands);
    f(b.m_nChineseMode);
    f(b.m_bReserved54);
    f(b.m_strReserved55);
    f(b.m_bReserved56);
}
// 17 texts of at least one byte, 13 words and 25 single bytes.
constexpr qsizetype kMinBandBytes = 17 + 13 * 4 + 25;

// Common object fields after the kind.
template <class F, class G> void TransferCommonObjectFields(F& f, G& g)
{
    f(g.m_strName);
    f(g.m_strText);
    f(g.m_fX);
    f(g.m_fY);
    f(g.m_fWidth);
    f(g.m_fHeight);
    f(g.m_fAngle);
    f(g.m_fLineWidth);
    f(g.m_nAnchor);
    f(AsColour(g.m_crText));
    f(AsColour(g.m_crFill));
    f(AsColour(g.m_crSpare));
    f(AsColour(g.m_crLine));
    f(g.m_bLocked);
    f(g.m_bNotPrinted);
    f(g.m_bHiddenInPreview);
    f(g.m_strDescription);
}
// The kind, 3 texts, 8 words, 4 colours and 3 flags.
constexpr qsizetype kMinObjectBytes = 4 + 3 + 8 * 4 + 4 * 4 + 3;

// Text fields after the common ones, up to the band list.
template <class F, class G> void TransferTextFields(F& f, G& g)
{
    f(g.m_nLayoutMode);
    f(g.m_strFontName);
    f(g.m_fFontSize);
    f(g.m_bBold);
    f(g.m_bItalic);
    f(g.m_bUnderline);
    f(g.m_bStrikeout);
    f(g.m_byStyle5);
    f(g.m_nAlignment);
    f(g.m_nVertAlignment);
    f(g.m_fCharSpacing);
    f(g.m_nLineSpacingChoice);
    f(g.m_fLineSpacing);
    f(g.m_bFitToBox);
    f(g.m_fHorzScale);
    f(g.m_bGrouping);
    f(g.m_nSeparatorChoice);
    f(g.m_strCustomSeparator);
    f(g.m_fGroupGap);
    f(g.m_strGroupRule);
    f(g.m_strSpareText);
    f(g.m_nWrapDirection);
    f(g.m_nTextDirection);
    f(g.m_bSquareBox);
    f(g.m_bAutoStep);
    f(g.m_fAngleStep);
}

template <class F, class G> void TransferLineFields(F& f, G& g)
{
    f(g.m_fX1);
    f(g.m_fY1);
    f(g.m_fX2);
    f(g.m_fY2);
    f(g.m_nDashStyle);
    f(g.m_nLineEnd);
    for (auto& word : g.m_nReserved)
        f(word);
    f(g.m_bHorzVertOnly);
}

template <class F, class G> void TransferFillBlock(F& f, G& g)
{
    f(g.m_nDashStyle);
    f(g.m_bHatch);
    f(g.m_nHatchStyle);
    f(AsColour(g.m_crHatch));
    f(g.m_nGradient);
    f(AsColour(g.m_crGradient1));
    f(AsColour(g.m_crGradient2));
}

// Image fields before the embedded flag.
template <class F, class G> void TransferImageFields(F& f, G& g)
{
    f(g.m_nSourceKind);
    f(g.m_strFileName);
    f(g.m_strMimeType);
    f(g.m_strDataSource);
    f(g.m_strFieldName);
    f(g.m_strSuffix);
    f(g.m_strPrefix);
    f(g.m_nSizeMode);
    f(g.m_nErrorHandling);
}

// The generic barcode block after the symbology code, up to the band list. The bar
// height is stored before the module width and the ratio.
template <class F, class S> void TransferBarcodeSettings(F& f, S& s)
{
    f(s.m_strName);
    f(s.m_strContent);
    f(s.m_fX);
    f(s.m_fY);
    f(s.m_fWidth);
    f(s.m_fHeight);
    f(s.m_fAngle);
    f(s.m_nAnchor);
    f(s.m_strFontName);
    f(s.m_fFontSize);
    f(s.m_bBold);
    f(s.m_bItalic);
    f(s.m_bUnderline);
    f(s.m_bStrikeout);
    f(s.m_nFontSpare);
    f(s.m_nTextAlign);
    f(s.m_bShowText);
    f(s.m_bTextAbove);
    f(s.m_fTextGap);
    f(s.m_fCharSpacing);
    f(s.m_fLeftBlank);
    f(s.m_fSpareLength);
    f(s.m_fBarHeight);
    f(s.m_fModuleWidth);
    f(s.m_fRatio);
    f(s.m_nStartChar);
    f(s.m_nStopChar);
    f(s.m_bAddCheckDigit);
    f(s.m_nSpareNumber);
    f(s.m_bGrouping);
    f(s.m_nSeparator);
    f(s.m_strSeparator);
    f(s.m_fGroupGap);
    f(s.m_strGroupRule);
    f(s.m_strGroupText);
    f(AsColour(s.m_crText));
    f(AsColour(s.m_crBackground));
    f(AsColour(s.m_crBar));
}

template <class F, class S> void TransferCode128Settings(F& f, S& s)
{
    f(s.m_nCodeSet);
    f(s.m_nCode128Option);
}

template <class F, class S> void TransferEAN128Settings(F& f, S& s)
{
    TransferCode128Settings(f, s);
    f(s.m_bHideParentheses);
}

template <class F, class S> void TransferEJUSettings(F& f, S& s)
{
    f(s.m_fReserved1);
    f(s.m_fReserved2);
    f(s.m_fReserved3);
    f(s.m_nAddonKind);
    f(s.m_nAddonStyle);
    f(s.m_nAddonGap);
    f(s.m_nReservedFlag1);
    f(s.m_nReservedFlag2);
    f(s.m_nReservedFlag3);
}

template <class F, class S> void TransferITF14Settings(F& f, S& s)
{
    f(s.m_nFlag1);
    f(s.m_nFlag2);
}

template <class F, class S> void TransferPDF417Settings(F& f, S& s)
{
    f(s.m_nMode);
    f(s.m_nCodePage);
    f(s.m_nECLevel);
    f(s.m_fModuleWidthX);
    f(s.m_nRowHeightRatio);
    f(s.m_nRows);
    f(s.m_nColumns);
    f(s.m_nRowColumnLimit);
    f(s.m_fQuietZone);
    f(s.m_bTruncated);
    f(s.m_nSpareFlag);
}

template <class F, class S> void TransferQRCodeSettings(F& f, S& s)
{
    f(s.m_nMode);
    f(s.m_nCodePage);
    f(s.m_nECLevel);
    f(s.m_nMask);
    f(s.m_nVersion);
    f(s.m_bAutoExtend);
    f(s.m_fModuleWidthX);
}

template <class F, class S> void TransferDataMatrixSettings(F& f, S& s)
{
    f(s.m_nEncodation);
    f(s.m_nSizeChoice);
    f(s.m_fModuleWidthX);
}

// The settings as the class the symbology's block needs, const when S is.
template <class T, class S> auto& SettingsAs(S& settings)
{
    using Target = std::conditional_t<std::is_const_v<S>, const T, T>;
    auto* typed = dynamic_cast<Target*>(&settings);
    if (!typed)
        throw CArchiveException(QStringLiteral("Barcode settings do not match symbology %1.").arg(settings.m_nSymbology));
    return *typed;
}

// The fields some symbologies add after the whole generic block (band list included).
template <class F, class S> void TransferBarcodeBlockExtension(F& f, S& settings)
{
    const SymbologyInfo* row = FindSymbology(settings.m_nSymbology);
    if (!row)
        throw CArchiveException(QStringLiteral("The file holds an unknown barcode symbology (%1).").arg(settings.m_nSymbology));
    switch (row->block) {
    case BarcodeSettingsBlock::Generic:
        break;
    case BarcodeSettingsBlock::Code128:
        TransferCode128Settings(f, SettingsAs<CBarcodeSettings_Code128>(settings));
        break;
    case BarcodeSettingsBlock::EAN128:
        TransferEAN128Settings(f, SettingsAs<CBarcodeSettings_EAN128>(settings));
        break;
    case BarcodeSettingsBlock::EJU:
        TransferEJUSettings(f, SettingsAs<CBarcodeSettings_EJU>(settings));
        break;
    case BarcodeSettingsBlock::ITF14:
        TransferITF14Settings(f, SettingsAs<CBarcodeSettings_ITF14>(settings));
        break;
    case BarcodeSettingsBlock::PDF417:
        TransferPDF417Settings(f, SettingsAs<CBarcodeSettings_PDF417>(settings));
        break;
    case BarcodeSettingsBlock::QRCode:
        TransferQRCodeSettings(f, SettingsAs<CBarcodeSettings_QRCode>(settings));
        break;
    case BarcodeSettingsBlock::DataMatrix:
        TransferDataMatrixSettings(f, SettingsAs<CBarcodeSettings_DataMatrix>(settings));
        break;
    }
}
