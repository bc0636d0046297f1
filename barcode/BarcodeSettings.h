#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class CDataBand;

// 1 mil in millimetres, in single precision as the module widths are kept.
constexpr float kMilToMm = 0.0254f;

// Code sets of Code 128 and its relatives; any other stored value counts as automatic.
enum Code128CodeSet : int32_t {
    Code128SetA = 0,
    Code128SetB = 1,
    Code128SetC = 2,
    Code128SetAuto = 3,
};

// How the groups of a grouped human-readable line are separated.
enum GroupSeparator : int32_t {
    SeparatorSpace = 0,
    SeparatorIdeographicSpace = 1,
    SeparatorCustomText = 2,
    SeparatorFixedGap = 3,
};

// Add-on of an EAN/UPC symbol.
enum AddonKind : int32_t {
    AddonNone = 0,
    AddonTwoDigits = 1,
    AddonFiveDigits = 2,
};

// The options of one barcode. Fields are public: the file reader and writer, the
// editor, the property panes and the undo memos read and write them directly.
// Lengths in millimetres, module widths in mils, font sizes in points, colours ARGB.
class CBarcodeSettings
{
public:
    CBarcodeSettings();
    virtual ~CBarcodeSettings();
    CBarcodeSettings(const CBarcodeSettings&) = delete;
    CBarcodeSettings& operator=(const CBarcodeSettings&) = delete;

    // A new object of the same class with the class defaults, then CopyFrom this one.
    virtual std::unique_ptr<CBarcodeSettings> Clone() const;
    // Every field, the derived texts included; the bands are replaced by clones of
    // the other's. Subclasses copy their own fields after the base ones.
    virtual void CopyFrom(const CBarcodeSettings& other);

    // The texts of the bands joined in list order; empty without bands.
    QString GetBandsText() const;

    int32_t m_nSymbology = 0;
    QString m_strName;
    QString m_strContent;
    float m_fX = 0.0f;
    float m_fY = 0.0f;
    float m_fWidth = 60.0f;
    float m_fHeight = 20.0f;
    float m_fAngle = 0.0f;
    int32_t m_nAnchor = 0;
    QString m_strFontName;
    float m_fFontSize = 10.0f;
    bool m_bBold = false;
    bool m_bItalic = false;
    bool m_bUnderline = false;
    bool m_bStrikeout = false;
    uint8_t m_nFontSpare = 0;    // stored and copied, no effect
    int32_t m_nTextAlign = 1;    // 0 left blank, 1 centre, 2 right, 3 spread
    bool m_bShowText = true;
    bool m_bTextAbove = false;
    float m_fTextGap = 0.0f;
    float m_fCharSpacing = 0.0f;
    float m_fLeftBlank = 0.0f;
    float m_fSpareLength = 0.0f; // stored and copied, no effect
    float m_fModuleWidth = 10.0f;
    float m_fRatio = 2.0f;
    float m_fBarHeight = 10.0f;
    int32_t m_nStartChar = 0;
    int32_t m_nStopChar = 0;
    bool m_bAddCheckDigit = false;
    int32_t m_nSpareNumber = 0;  // stored and copied, no effect
    uint32_t m_crText = 0xFF000000u;
    uint32_t m_crBackground = 0x00FFFFFFu;
    uint32_t m_crBar = 0xFF000000u;
    bool m_bGrouping = false;
    QString m_strGroupRule;
    QString m_strGroupText;      // stored and copied, no effect
    int32_t m_nSeparator = SeparatorSpace;
    QString m_strSeparator;
    float m_fGroupGap = 0.0f;
    std::vector<std::unique_ptr<CDataBand>> m_bandList;

    // Not stored: set before each draw, or computed by the encoder.
    float m_fDrawScale = 1.0f;
    float m_fOriginX = 0.0f;
    float m_fOriginY = 0.0f;
    float m_fOutputDpi = 0.0f; // the output's dots: see DotGrid.h
    QString m_strFullText;     // the filtered content the encoder works on
    QString m_strEncodedText;  // per-symbology working text (what is encoded)
    QString m_strDisplayText;  // per-symbology working text (what is shown)
    QString m_strCheckDigit;   // the last computed check digit or character

protected:
    // Clone's second half: copy this object into a freshly made one of the same class.
    template <class T>
    std::unique_ptr<CBarcodeSettings> CloneAs() const
    {
        auto copy = std::make_unique<T>();
        copy->CopyFrom(*this);
        return copy;
    }
};

class CBarcodeSettings_Code39 : public CBarcodeSettings
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_Code39>(); }
};

class CBarcodeSettings_Code93 : public CBarcodeSettings
{
public:
    CBarcodeSettings_Code93()
    {
        m_bAddCheckDigit = true;
    }
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_Code93>(); }
};

class CBarcodeSettings_Code11 : public CBarcodeSettings
{
public:
    CBarcodeSettings_Code11()
    {
        m_bAddCheckDigit = true;
    }
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_Code11>(); }
};

class CBarcodeSettings_Codabar : public CBarcodeSettings
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_Codabar>(); }
};

class CBarcodeSettings_Interleaved25 : public CBarcodeSettings
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_Interleaved25>(); }
};

class CBarcodeSettings_Industrial25 : public CBarcodeSettings
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_Industrial25>(); }
};

class CBarcodeSettings_Matrix25 : public CBarcodeSettings
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_Matrix25>(); }
};

class CBarcodeSettings_MSI : public CBarcodeSettings
{
public:
    CBarcodeSettings_MSI()
    {
        m_bAddCheckDigit = true;
    }
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_MSI>(); }
};

class CBarcodeSettings_PostNet : public CBarcodeSettings
{
public:
    CBarcodeSettings_PostNet()
    {
        m_fBarHeight = 6.0f;
        m_bAddCheckDigit = true;
    }
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_PostNet>(); }
};

// ITF-14 and SCC-14 in its ITF form: two flags kept for the file, read by no encoder.
class CBarcodeSettings_ITF14 : public CBarcodeSettings_Interleaved25
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_ITF14>(); }
    void CopyFrom(const CBarcodeSettings& other) override;

    uint8_t m_nFlag1 = 1;
    uint8_t m_nFlag2 = 0;
};

class CBarcodeSettings_Code128 : public CBarcodeSettings
{
public:
    CBarcodeSettings_Code128();
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_Code128>(); }
    void CopyFrom(const CBarcodeSettings& other) override;

    // The code set the encoder uses: a value outside 0-3 (a damaged file) is automatic.
    int32_t EffectiveCodeSet() const;

    int32_t m_nCodeSet = Code128SetA;
    uint8_t m_nCode128Option = 0; // stored and copied, read by no encoder
};

// GS1-128 and the codes built on it (EAN-14, SSCC-18, the electronic supervision code).
class CBarcodeSettings_EAN128 : public CBarcodeSettings_Code128
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_EAN128>(); }
    void CopyFrom(const CBarcodeSettings& other) override;

    bool m_bHideParentheses = false; // show the content as typed, without "(AI)"
};

// The medical supervision code: twenty digits in set C, shown in groups of five.
class CBarcodeSettings_MedicalCode : public CBarcodeSettings_Code128
{
public:
    CBarcodeSettings_MedicalCode();
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_MedicalCode>(); }
};

// The postal receipt code: thirteen characters, automatic code sets.
class CBarcodeSettings_PostalCode : public CBarcodeSettings_Code128
{
public:
    CBarcodeSettings_PostalCode();
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_PostalCode>(); }
};

// The electronic supervision code: "21" and twenty digits in GS1-128, the digits shown.
class CBarcodeSettings_MonitorCode : public CBarcodeSettings_EAN128
{
public:
    CBarcodeSettings_MonitorCode();
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_MonitorCode>(); }
};

// EAN-13, EAN-8, UPC-A, UPC-E and the add-on symbols.
class CBarcodeSettings_EJU : public CBarcodeSettings
{
public:
    CBarcodeSettings_EJU();
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_EJU>(); }
    void CopyFrom(const CBarcodeSettings& other) override;

    float m_fReserved1 = 1.0f; // the three factors and three flags are stored and copied only
    float m_fReserved2 = 1.6f;
    float m_fReserved3 = 0.6f;
    int32_t m_nAddonKind = AddonNone; // AddonKind
    int32_t m_nAddonStyle = 0;        // 0-4, placement of an attached add-on
    int32_t m_nAddonGap = 0;          // modules between main symbol and add-on
    uint8_t m_nReservedFlag1 = 0;
    uint8_t m_nReservedFlag2 = 0;
    uint8_t m_nReservedFlag3 = 0;
};

class CBarcodeSettings_PDF417 : public CBarcodeSettings
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_PDF417>(); }
    void CopyFrom(const CBarcodeSettings& other) override;

    int32_t m_nMode = 3;          // kept for the property pane; the encoder always uses bytes
    int32_t m_nCodePage = 65001;  // EncodingCodePage of the content bytes
    int32_t m_nECLevel = 9;       // 0-8, 9 automatic
    float m_fModuleWidthX = 14.0f;
    int32_t m_nRowHeightRatio = 3; // row height in modules; below 1 counts as 3
    int32_t m_nRows = 0;          // 0: chosen by the encoder
    int32_t m_nColumns = 0;       // data columns; 0: chosen by the encoder
    int32_t m_nRowColumnLimit = 3;
    float m_fQuietZone = 0.0f;    // millimetres on every side
    bool m_bTruncated = false;
    uint8_t m_nSpareFlag = 0;     // stored and copied only
};

class CBarcodeSettings_QRCode : public CBarcodeSettings
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_QRCode>(); }
    void CopyFrom(const CBarcodeSettings& other) override;

    int32_t m_nMode = 2;          // 5 auto, 0 numeric, 1 alphanumeric, 2 byte, 3 kanji
    int32_t m_nCodePage = 65001;
    int32_t m_nECLevel = 1;       // 0 L, 1 M, 2 Q, 3 H
    int32_t m_nMask = -1;         // -1 automatic
    int32_t m_nVersion = 0;       // 0 automatic, 1-40
    bool m_bAutoExtend = true;
    float m_fModuleWidthX = 15.0f;
};

class CBarcodeSettings_DataMatrix : public CBarcodeSettings
{
public:
    std::unique_ptr<CBarcodeSettings> Clone() const override { return CloneAs<CBarcodeSettings_DataMatrix>(); }
    void CopyFrom(const CBarcodeSettings& other) override;

    int32_t m_nEncodation = 0;    // 0 ASCII, 1 C40, 2 Text, 3 X12, 4 EDIFACT, 5 Base 256
    int32_t m_nSizeChoice = 1;    // 0-2 automatic shapes, 3-26 squares, 27-32 rectangles
    float m_fModuleWidthX = 15.0f;
};
