#pragma once

// One field order for both directions: each record of the label file is described
// once, as a function template over a field mover, and the reader and the writer
// instantiate it with FieldIn and FieldOut. A reader can then never drift from its
// writer by a field.

#include "model/LabelData.h"
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

// Marks a one-byte character field (pad characters), kept as the raw byte.
struct Char8
{
    char16_t& value;
};
struct ConstChar8
{
    char16_t value;
};

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
        else if constexpr (std::is_same_v<T, uint16_t>)
            v = m_ar.ReadU16();
        else if constexpr (std::is_enum_v<T> || std::is_same_v<T, int32_t> || std::is_same_v<T, uint32_t>) {
            static_assert(sizeof(T) == 4, "stored as 32 bits");
            v = static_cast<T>(m_ar.ReadU32());
        } else
            static_assert(sizeof(T) == 0, "no file form for this type");
    }
    void operator()(Colour c) { c.value = m_ar.ReadColor(); }
    void operator()(Char8 c) { c.value = m_ar.ReadU8(); }

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
    void operator()(ConstChar8 c) { m_ar.WriteU8(static_cast<uint8_t>(c.value)); }

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
