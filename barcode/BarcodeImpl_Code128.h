#pragma once

#include "barcode/BarcodeImpl.h"

#include <QStringView>
#include <vector>

// Symbol character patterns (six width digits) by value 0-102, and the literals.
extern const char* const Code128Patterns[103];
constexpr const char* kCode128StartA = "211412";
constexpr const char* kCode128StartB = "211214";
constexpr const char* kCode128StartC = "211232";
constexpr const char* kCode128Stop = "2331112";

// The texts "00" to "99"; index = the set C value.
extern const char* const Code128PairTexts[100];

enum Code128SegmentKind : int {
    SegmentData = 0,
    SegmentCodeA = 1,
    SegmentCodeB = 2,
    SegmentCodeC = 3,
    SegmentShift = 4,
    SegmentFNC1 = 5,
    SegmentFNC2 = 6,
    SegmentFNC3 = 7,
    SegmentFNC4 = 8,
};

// One step of automatic code-set selection. Data segments name a slice of the text.
struct Code128Segment
{
    int codeSet;  // 0 A, 1 B, 2 C
    int kind;     // Code128SegmentKind
    int start = 0;
    int length = 0;
};

struct Code128SegmentList
{
    int startSet = Code128SetB;
    std::vector<Code128Segment> segments;
};

// Automatic code-set selection over a text.
Code128SegmentList BuildAutoSegments(QStringView text);
// The symbol values of a segment list: the start value, then one value per symbol
// character (-1 for a character the tables lack: no pattern, 0 in the check sum).
void AppendAutoValues(const Code128SegmentList& list, QStringView text, std::vector<int>& values);

// Set A and set B values of a UTF-16 unit; -1 when the set lacks it. Units above
// U+00FF are never in a set (their low byte is not their character).
int Code128ValueA(QChar c);
int Code128ValueB(QChar c);
// The set C value of two characters; -1 unless both are digits.
int Code128ValuePairC(QChar high, QChar low);

// Code 128 (ISO/IEC 15417): fixed code sets A, B, C or automatic selection.
class CBarcodeImpl_Code128 : public CBarcodeImpl
{
public:
    void BuildBars() override;
    void Encode() override;
    bool IsValidChar(QChar c) const override;
    QString SanitizeText(const QString& text) const override;
    QString BuildFullText(const QString& text) override { return text; }
    QString GetDisplayText(const QString& text) const override { return text; }
    // The check character's pattern for a fixed code set; throws in automatic.
    QString CalcCheckCharacter(const QString& text) const override;
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Code128>(); }

    int32_t CodeSet() const;

    // Width digits of every element, bars and spaces alternating from a bar.
    QString m_strPattern;

protected:
    void CopyFrom(const CBarcodeImpl& other) override;
    // GS1-128 puts FNC1 after the start character.
    virtual bool StartsWithFNC1() const { return false; }
    // The symbol values of a text in a code set: start, [FNC1], data.
    void BuildValues(QStringView text, int32_t codeSet, std::vector<int>& values) const;
    // Pattern of values, then check character and stop.
    static QString PatternOfValues(const std::vector<int>& values);
    static int CheckValue(const std::vector<int>& values);
};
