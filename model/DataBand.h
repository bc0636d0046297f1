#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>

// Where a band's raw value comes from. Stored as a 32-bit integer; any other value
// contributes nothing when a label is printed, and a label file's reader makes it a
// constant.
enum BandKind : int32_t {
    BandConstant = 0,        // the value text
    BandDate = 5,            // print time + offset days, by the date/time template
    BandTime = 10,           // print time + offset minutes, by the date/time template
    BandSerial = 15,         // serial number of the label being printed
    BandDatabase = 20,       // field of a data source, current row
    BandWindowData = 25,     // text of a screen-data form item
    BandItemValue = 30,      // the value text, made from an object-pane item
    BandNamedSubstring = 45, // current value of a named substring of the label
};

// Numbering system of a serial band. Any code not listed writes decimal.
enum SerialBase : int32_t {
    SerialDecimal = 0,      // "%d"
    SerialHex = 1,          // "%X"
    SerialLetters = 2,      // bijective A..Z
    SerialBase36 = 3,       // bijective 0..9A..Z
    SerialNoIOLQ = 4,       // bijective letters without I, L, O, Q
    SerialNoIOQU = 5,       // bijective letters without I, O, Q, U
    SerialNoIO = 6,         // bijective letters without I, O
    SerialCustomAlphabet = 99, // bijective over the band's own alphabet
};

// Chinese numeral conversion of the number step.
enum ChineseNumeralMode : int32_t {
    ChineseNone = 0,
    ChineseUpperComplex = 1,  // 壹贰叁, 拾佰仟
    ChineseUpperSimple = 2,   // 一二三, 十百千
    ChineseAmountComplex = 3, // as 1, followed by 元
    ChineseAmountSimple = 4,  // as 2, followed by 元
};

// No label shows a longer value; a damaged file asking for more (huge padding, many
// bands) must not exhaust memory. Each band's text and each joined value stop here.
constexpr qsizetype kMaxValueLength = 65536;

// Joins band texts up to kMaxValueLength.
inline void AppendBandText(QString& value, const QString& text)
{
    if (value.size() < kMaxValueLength)
        value += QStringView(text).left(kMaxValueLength - value.size());
}

// One piece of the value of a text object or a barcode: where its raw value comes
// from and how that raw value is post-processed. Objects own their bands through
// std::unique_ptr and copy them with Clone; the file form is written field by field
// by the band record reader and writer, so every field here is public.
class CDataBand
{
public:
    CDataBand() = default;
    ~CDataBand() = default;
    // Copies go through Clone/CopyFrom so that the run-time texts never travel.
    CDataBand(const CDataBand&) = delete;
    CDataBand& operator=(const CDataBand&) = delete;

    // The value text through the formatting pipeline.
    QString GetText() const;
    // Trimming, cutting, padding, case, number format, thousands separators or
    // Chinese numerals, then prefix and suffix; at most 65,536 units long. The band
    // is not changed.
    QString FormatValue(const QString& raw) const;
    // The start value in the band's numbering system, padded; shown by the editor.
    // Empty when FormatSerial refuses the start value: the editor shows nothing,
    // printing reports why.
    QString GetSerialText() const;

    // Serial value of the n-th label (1-based): start plus or minus (n - 1) steps;
    // with an end value the count stops at it, or, when restarting is on, reaches it
    // and starts again from the start value.
    int64_t GetSerialValue(int64_t n) const;
    // A serial value written in the band's numbering system with the serial padding.
    // A text longer than kMaxValueLength (a one-symbol alphabet counts in unary) is
    // refused with a VXException naming the value and the alphabet.
    QString FormatSerial(int64_t value) const;

    // The time a date or time band shows for a job started at start (local time): a
    // date band adds its offset as calendar days, so 1 is the next day also across a
    // daylight-saving change; a time band adds its offset in minutes. Other kinds
    // give start.
    QDateTime OffsetTime(const QDateTime& start) const;

    // True when the fields the data-source pane cares about are equal (strings
    // compared case-sensitively). Name, value text, the reserved fields, the
    // referenced band name, round and thousands separators are not compared.
    bool IsEqual(const CDataBand& other) const;
    // A new band with every stored field copied (the serial step included); the
    // run-time texts stay empty.
    std::unique_ptr<CDataBand> Clone() const;
    // Copies every stored field (the serial step included); the run-time texts of
    // this band are left as they are.
    void CopyFrom(const CDataBand& source);

    // Pad characters are single 8-bit characters, widened with sign extension.
    static QChar WidenChar(char c);

    // Source
    int32_t m_nKind = BandConstant;
    QString m_strName;            // name of a named substring
    QString m_strValue;           // constant text (kinds 0 and 30)
    QString m_strDateTimeFormat;  // template of date and time bands
    int32_t m_nDateTimeOffset = 0; // days (date) or minutes (time)
    QString m_strDataSource;      // database bands
    QString m_strFieldName;       // database bands
    QString m_strWindowItem;      // window-data bands: form item name
    QString m_strItemName;        // kind 30: object-pane item the band came from
    QString m_strReserved10;      // stored and copied, read by nothing
    QString m_strReserved11;      // stored and copied, read by nothing
    QString m_strRefBandName;     // named-substring bands: the substring's name
    int32_t m_nReserved13 = 0;    // stored and copied, read by nothing
    QString m_strReserved14;      // stored and copied, read by nothing

    // Serial number
    int32_t m_nSerialBase = SerialDecimal;
    QString m_strCustomAlphabet = QStringLiteral("0123456789");
    bool m_bCountUp = true;
    int32_t m_nSerialStep = 1;    // not part of the band record
    int32_t m_nSerialPadWidth = 5;
    bool m_bSerialPad = false;
    char m_chSerialPad = '0';
    QString m_strStartValue = QStringLiteral("1");
    bool m_bHasEndValue = false;
    QString m_strEndValue = QStringLiteral("1000");
    bool m_bRestart = false;

    // Formatting
    QString m_strPrefix;
    QString m_strSuffix;
    bool m_bPadToLength = false;
    int32_t m_nMinLength = 1;
    bool m_bPadLeft = true;
    char m_chPad = '0';
    bool m_bCutToLength = false;
    int32_t m_nMaxLength = 10;
    bool m_bKeepRight = false; // cutting keeps the right part
    bool m_bTrimLeft = false;
    bool m_bTrimRight = false;
    bool m_bDropLeading = false;
    int32_t m_nDropLeadingCount = 0;
    bool m_bDropTrailing = false;
    int32_t m_nDropTrailingCount = 0;
    bool m_bKeepFirst = false;
    int32_t m_nKeepFirstCount = 1;
    bool m_bKeepLast = false;
    int32_t m_nKeepLastCount = 1;
    bool m_bUpperCase = false;
    bool m_bLowerCase = false;
    bool m_bNumberFormat = false;
    int32_t m_nDecimals = 2;
    bool m_bRound = false;
    bool m_bReserved50 = false; // stored and copied, read by nothing
    bool m_bReserved51 = false; // stored and copied, read by nothing
    bool m_bThousands = false;
    int32_t m_nChineseMode = ChineseNone;
    bool m_bReserved54 = false; // stored and copied, read by nothing
    QString m_strReserved55;    // stored and copied, read by nothing
    bool m_bReserved56 = true;  // stored and copied, read by nothing

    // Run time only: neither stored, compared nor copied.
    QString m_strWorkText;     // scratch text of the band text editor
    QString m_strCurrentValue; // a named substring's value for the label being printed
};

// One group of at most four digits in Chinese numerals (positions counted from the
// right; a zero group gives an empty text). complex picks 壹..玖 with 拾佰仟.
QString FormatChineseGroup(QStringView group, bool complex);
