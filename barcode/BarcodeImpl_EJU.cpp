#include "barcode/BarcodeImpl_EJU.h"

#include "barcode/DotGrid.h"
#include "platform/Drawing.h"

#include <QPainter>
#include <QVarLengthArray>
#include <algorithm>
#include <optional>

namespace eanupc {
namespace {

// Indexed by digit * 3 + set.
constexpr const char* kDigitPatterns[30] = {
    "0001101", "0100111", "1110010", "0011001", "0110011", "1100110", "0010011", "0011011", "1101100",
    "0111101", "0100001", "1000010", "0100011", "0011101", "1011100", "0110001", "0111001", "1001110",
    "0101111", "0000101", "1010000", "0111011", "0010001", "1000100", "0110111", "0001001", "1001000",
    "0001011", "0010111", "1110100",
};

// 'A' number set A, 'B' number set B.
constexpr const char* kEAN13Parity[10] = {
    "AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB", "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA",
};
constexpr const char* kUPCEParity[10] = {
    "BBBAAA", "BBABAA", "BBAABA", "BBAAAB", "BABBAA", "BAABBA", "BAAABB", "BABABA", "BABAAB", "BAABAB",
};
constexpr const char* kAddon2Parity[4] = {"AA", "AB", "BA", "BB"};
constexpr const char* kAddon5Parity[10] = {
    "BBAAA", "BABAA", "BAABA", "BAAAB", "ABBAA", "AABBA", "AAABB", "ABABA", "ABAAB", "AABAB",
};

int SetOf(const char* parityRow, int index)
{
    return parityRow[index] == 'A' ? SetA : SetB;
}

int Digit(QChar c)
{
    return c.unicode() - u'0';
}

} // namespace

QLatin1String GetDigitPattern(int digit, int set)
{
    return QLatin1String(kDigitPatterns[digit * 3 + set]);
}

QLatin1String GetEAN13LeftDigitPattern(int leadingDigit, int position, int digit)
{
    return GetDigitPattern(digit, SetOf(kEAN13Parity[leadingDigit], position - 1));
}

QLatin1String GetUPCEDigitPattern(int checkDigit, int position, int digit)
{
    return GetDigitPattern(digit, SetOf(kUPCEParity[checkDigit], position - 1));
}

QLatin1String GetAddon2DigitPattern(int valueMod4, int position, int digit)
{
    return GetDigitPattern(digit, SetOf(kAddon2Parity[valueMod4], position));
}

QLatin1String GetAddon5DigitPattern(int checkValue, int position, int digit)
{
    return GetDigitPattern(digit, SetOf(kAddon5Parity[checkValue], position));
}

QString FilterDigits(const QString& text, int n)
{
    QString digits;
    digits.reserve(n);
    for (QChar c : text)
        if (c >= u'0' && c <= u'9')
            digits += c;
    if (digits.size() < n)
        digits.prepend(QString(n - digits.size(), u'0'));
    return digits.left(n);
}

QChar CheckDigit(QStringView digits, int firstWeight)
{
    int sum = 0;
    int weight = firstWeight;
    for (QChar c : digits) {
        sum += Digit(c) * weight;
        weight = 4 - weight;
    }
    return QChar(static_cast<char16_t>(u'0' + (10 - sum % 10) % 10));
}

QString ExpandUPCE(QStringView d)
{
    const QString s = d.toString();
    QString a = QStringLiteral("0");
    switch (Digit(d[5])) {
    case 0:
    case 1:
    case 2:
        a += s.mid(0, 2);
        a += s[5];
        a += QLatin1String("0000");
        a += s.mid(2, 3);
        break;
    case 3:
        a += s.mid(0, 3);
        a += QLatin1String("00000");
        a += s.mid(3, 2);
        break;
    case 4:
        a += s.mid(0, 4);
        a += QLatin1String("00000");
        a += s[4];
        break;
    default:
        a += s.mid(0, 5);
        a += QLatin1String("0000");
        a += s[5];
        break;
    }
    return a;
}

QString EAN13Pattern(QStringView t)
{
    QString p = QStringLiteral("101");
    for (int i = 1; i <= 6; ++i)
        p += GetEAN13LeftDigitPattern(Digit(t[0]), i, Digit(t[i]));
    p += u"01010";
    for (int i = 7; i <= 12; ++i)
        p += GetDigitPattern(Digit(t[i]), SetC);
    p += u"101";
    return p;
}

QString EAN8Pattern(QStringView t)
{
    QString p = QStringLiteral("101");
    for (int i = 0; i < 4; ++i)
        p += GetDigitPattern(Digit(t[i]), SetA);
    p += u"01010";
    for (int i = 4; i < 8; ++i)
        p += GetDigitPattern(Digit(t[i]), SetC);
    p += u"101";
    return p;
}

QString UPCAPattern(QStringView t)
{
    QString withZero = QStringLiteral("0");
    withZero += t.left(12);
    return EAN13Pattern(withZero);
}

QString UPCEPattern(QStringView t)
{
    QString p = QStringLiteral("101");
    for (int i = 0; i < 6; ++i)
        p += GetUPCEDigitPattern(Digit(t[6]), i + 1, Digit(t[i]));
    p += u"010101";
    return p;
}

QString BuildAddonPattern(QStringView digits, int kind)
{
    QString p = QStringLiteral("1011");
    if (kind == 1) {
        const int v = (Digit(digits[0]) * 10 + Digit(digits[1])) % 4;
        p += GetAddon2DigitPattern(v, 0, Digit(digits[0]));
        p += u"01";
        p += GetAddon2DigitPattern(v, 1, Digit(digits[1]));
        return p;
    }
    const int check = (3 * (Digit(digits[0]) + Digit(digits[2]) + Digit(digits[4]))
                       + 9 * (Digit(digits[1]) + Digit(digits[3])))
        % 10;
    for (int i = 0; i < 5; ++i) {
        if (i > 0)
            p += u"01";
        p += GetAddon5DigitPattern(check, i, Digit(digits[i]));
    }
    return p;
}

void BuildBarsFromPattern(const QString& pattern, int addonKind, int addonGap, float m, bool leftMargin,
                          CBarcodeData& bars)
{
    const qsizetype addonLength = addonKind == 1 ? 20 : addonKind == 2 ? 47 : 0;
    const qsizetype mainLength = std::max<qsizetype>(pattern.size() - addonLength, 0);
    float x = leftMargin ? 7 * m : 0.0f;
    x = AddModuleRuns(bars, QStringView(pattern).left(mainLength), x, m);
    if (addonLength > 0) {
        x = x + 7 * m + static_cast<float>(addonGap) * m;
        AddModuleRuns(bars, QStringView(pattern).mid(mainLength), x, m);
    }
}

} // namespace eanupc

namespace {

constexpr int kEAN13Guards[] = {0, 1, 14, 15, 28, 29, -1};
constexpr int kEAN8Guards[] = {0, 1, 10, 11, 20, 21, -1};
constexpr int kUPCAGuards[] = {0, 1, 2, 3, 14, 15, 26, 27, 28, 29, -1};
constexpr int kUPCEGuards[] = {0, 1, 14, 15, 16, -1};

using L = EJUSymbolLayout;
constexpr EJUSymbolLayout kEAN13{12, 1, true, false, kEAN13Guards, L::LeftDigitMain, {1, 7}, 6, {1, 15}, 40, -1, 0};
constexpr EJUSymbolLayout kEAN8{7, 3, false, false, kEAN8Guards, L::NoLeftDigit, {0, 4}, 4, {1, 11}, 26, -1, 0};
constexpr EJUSymbolLayout kUPCA{11, 3, true, true, kUPCAGuards, L::LeftDigitSmall, {1, 6}, 5, {3, 15}, 33, 11, 29};
constexpr EJUSymbolLayout kUPCE{6, 3, true, true, kUPCEGuards, L::LeftZeroSmall, {0, -1}, 6, {1, -1}, 40, 6, 16};

int AddonDigits(int kind)
{
    return kind == 1 ? 2 : kind == 2 ? 5 : 0;
}

} // namespace

const EJUSymbolLayout& CBarcodeImpl_EAN13::Layout() const { return kEAN13; }
const EJUSymbolLayout& CBarcodeImpl_EAN8::Layout() const { return kEAN8; }
const EJUSymbolLayout& CBarcodeImpl_UPCA::Layout() const { return kUPCA; }
const EJUSymbolLayout& CBarcodeImpl_UPCE::Layout() const { return kUPCE; }

void CBarcodeImpl_EJU::CopyFrom(const CBarcodeImpl& other)
{
    CBarcodeImpl::CopyFrom(other);
    m_strPattern = static_cast<const CBarcodeImpl_EJU&>(other).m_strPattern;
}

int CBarcodeImpl_EJU::AddonKind() const
{
    const int kind = EJUSettings().m_nAddonKind;
    return kind == 1 || kind == 2 ? kind : 0;
}

QString CBarcodeImpl_EJUMain::SanitizeText(const QString& text) const
{
    const int n = Layout().dataDigits + (m_pSettings->m_bAddCheckDigit ? 0 : 1) + AddonDigits(AddonKind());
    return eanupc::FilterDigits(text, n);
}

QString CBarcodeImpl_EJUMain::CalcCheckDigit(const QString& text) const
{
    return QString(eanupc::CheckDigit(text, Layout().firstWeight));
}

QString CBarcodeImpl_UPCE::CalcCheckDigit(const QString& text) const
{
    return QString(eanupc::CheckDigit(eanupc::ExpandUPCE(eanupc::FilterDigits(text, 6)), 3));
}

QString CBarcodeImpl_EJUMain::BuildFullText(const QString& text)
{
    if (!m_pSettings->m_bAddCheckDigit)
        return text;
    const int d = Layout().dataDigits;
    m_pSettings->m_strCheckDigit = CalcCheckDigit(text.left(d));
    return text.left(d) + m_pSettings->m_strCheckDigit + text.mid(d);
}

void CBarcodeImpl_EJUMain::Encode()
{
    const QString& encoded = SetCompletedTexts(*this);
    const int mainDigits = Layout().dataDigits + 1;
    m_strPattern = MainPattern(QStringView(encoded).left(mainDigits));
    if (AddonKind() > 0)
        m_strPattern += eanupc::BuildAddonPattern(QStringView(encoded).mid(mainDigits), AddonKind());
}

void CBarcodeImpl_EJUMain::BuildBars()
{
    m_pData->ClearBars();
    eanupc::BuildBarsFromPattern(m_strPattern, AddonKind(), std::max(EJUSettings().m_nAddonGap, 0), Module(),
                                 Layout().leftMargin, *m_pData);
}

void CBarcodeImpl_EJUMain::CalcWidth()
{
    CBarcodeImpl_EJU::CalcWidth();
    if (Layout().rightMargin && AddonKind() == 0)
        m_pSettings->m_fWidth += 7 * Module();
}

QString CBarcodeImpl_EJU_Supp::SanitizeText(const QString& text) const
{
    return eanupc::FilterDigits(text, Digits());
}

void CBarcodeImpl_EJU_Supp::Encode()
{
    CBarcodeSettings& s = *m_pSettings;
    s.m_strFullText = SanitizeText(s.m_strContent);
    s.m_strEncodedText = s.m_strFullText;
    s.m_strDisplayText = s.m_strFullText;
    m_strPattern = eanupc::BuildAddonPattern(s.m_strFullText, Digits() == 2 ? 1 : 2);
}

void CBarcodeImpl_EJU_Supp::BuildBars()
{
    m_pData->ClearBars();
    AddModuleRuns(*m_pData, m_strPattern, 0.0f, Module());
}

void CBarcodeImpl_EJU_Supp::CopyFrom(const CBarcodeImpl& other)
{
    CBarcodeImpl_EJU::CopyFrom(other);
    m_nDigitCount = static_cast<const CBarcodeImpl_EJU_Supp&>(other).m_nDigitCount;
}

namespace {

bool IsGuardBar(const EJUSymbolLayout& layout, int bar)
{
    for (const int* g = layout.guardBars; *g >= 0; ++g)
        if (*g == bar)
            return true;
    return false;
}

// The right edge of bar i, or nothing when the symbol has no such bar.
std::optional<float> BarEnd(const CBarcodeData& data, int i)
{
    if (i < 0 || i >= data.GetBarCount())
        return std::nullopt;
    return data.m_arrX[i] + data.m_arrWidth[i];
}

// Characters centred in cells of their own (the digits keep the places the symbol
// gives them), drawn together: one text item per font, not one per digit.
class Cells
{
public:
    void Add(QChar c, const QRectF& cell)
    {
        m_texts.append(QString(c));
        m_cells.append(cell);
    }
    void Draw(QPainter& g, const QFont& font, uint32_t argb) const
    {
        if (!m_texts.isEmpty())
            TextPainter(g, font, QBrush(ArgbToColor(argb))).DrawEach(m_texts, m_cells, Qt::AlignCenter);
    }

private:
    QVarLengthArray<QString, 16> m_texts;
    QVarLengthArray<QRectF, 16> m_cells;
};

} // namespace

void CBarcodeImpl_EJUMain::Draw(QPainter& g)
{
    if (!m_pData || !m_pSettings)
        return;
    const CBarcodeSettings_EJU& s = EJUSettings();
    const EJUSymbolLayout& layout = Layout();
    g.save();
    const QPointF corner = TransformToBox(g, s);
    const float left = corner.x();
    const float top = corner.y();
    const DotGrid grid(g, s.m_fOutputDpi);
    const DrawnBars drawn(*m_pSettings, *m_pData, left, grid);
    const CBarcodeData& data = drawn.Bars();
    FillBoxBackground(g, s, corner, s.m_fWidth);

    const QFont font = MakeBarcodeFont(s, s.m_fFontSize);
    const float h = GetTextHeight();
    const float gap = s.m_fTextGap;
    float hd = s.m_fHeight - h - gap;
    float hg = s.m_fHeight - h / 2 - gap;
    float t = top;
    const int kind = AddonKind();
    const int style = s.m_nAddonStyle;
    if (kind > 0 && (style == 1 || style == 2)) {
        t = top + h + gap;
        hd -= h + gap;
        hg -= h + gap;
    }
    const int bars = data.GetBarCount();
    const int mainBars = std::clamp(bars - (kind == 1 ? 7 : kind == 2 ? 16 : 0), 0, bars);

    g.setRenderHint(QPainter::Antialiasing, false);
    const QColor barColor = ArgbToColor(s.m_crBar);
    const BarBand dataBand = SnapBand({t, hd}, grid);
    const BarBand guardBand = SnapBand({t, hg}, grid);
    BarBand addon{t, hd};
    switch (style) {
    case 2: addon.height = hg; break;
    case 3: addon = {t + gap + h, hd - h - gap}; break;
    case 4: addon = {t + gap + h, hg - h - gap}; break;
    default: break;
    }
    addon = SnapBand(addon, grid);
    {
        DotFiller filler(g, grid);
        for (int i = 0; i < bars; ++i) {
            const BarBand& band = i >= mainBars ? addon : IsGuardBar(layout, i) ? guardBand : dataBand;
            filler.Fill(QRectF(left + data.m_arrX[i], band.top, data.m_arrWidth[i], band.height), barColor);
        }
    }

    const QString text = GetDisplayText(s.m_strFullText);
    const int n = static_cast<int>(text.size());
    if (n > 0) {
        const float m = float(grid.ModuleX(Module()));
        const float c = static_cast<float>(MeasureTextWidth(font, text)) / n;
        const float rowTop = t + hd + gap;
        const float smallSize = 0.85f * s.m_fFontSize;
        const QFont small = MakeBarcodeFont(s, smallSize);
        const float smallTop = rowTop + h - smallSize * 25.4f / 72.0f;
        Cells mainCells, smallCells;
        switch (layout.leftDigit) {
        case EJUSymbolLayout::LeftDigitMain: mainCells.Add(text[0], QRectF(left, rowTop, c, h)); break;
        case EJUSymbolLayout::LeftDigitSmall: smallCells.Add(text[0], QRectF(left, smallTop, c, h)); break;
        case EJUSymbolLayout::LeftZeroSmall: smallCells.Add(u'0', QRectF(left, smallTop, c, h)); break;
        case EJUSymbolLayout::NoLeftDigit: break;
        }
        const float spacing = (layout.spacingModules * m - layout.groupSize * c) / (layout.groupSize - 1);
        for (int group = 0; group < 2; ++group) {
            const int first = layout.groupFirstDigit[group];
            const auto anchor = BarEnd(data, layout.groupAnchorBar[group]);
            if (first < 0 || !anchor)
                continue;
            for (int k = 0; k < layout.groupSize && first + k < n; ++k)
                mainCells.Add(text[first + k], QRectF(left + *anchor + m + k * (c + spacing), rowTop, c, h));
        }
        if (const auto anchor = BarEnd(data, layout.rightAnchorBar); layout.rightDigit >= 0 && layout.rightDigit < n && anchor)
            smallCells.Add(text[layout.rightDigit], QRectF(left + *anchor + 7 * m - c, smallTop, c, h));
        if (const auto start = BarEnd(data, mainBars + 1); kind > 0 && start) {
            const float addonStep = c + spacing + 2 * m;
            const float addonRow = style >= 1 ? top : rowTop;
            for (int i = layout.dataDigits + 1, k = 0; i < n; ++i, ++k)
                mainCells.Add(text[i], QRectF(left + *start + k * addonStep, addonRow, c, h));
        }
        mainCells.Draw(g, font, s.m_crText);
        smallCells.Draw(g, small, s.m_crText);
    }
    g.restore();
}

void CBarcodeImpl_EJU_Supp::Draw(QPainter& g)
{
    if (!m_pData || !m_pSettings)
        return;
    const CBarcodeSettings& s = *m_pSettings;
    g.save();
    const QPointF corner = TransformToBox(g, s);
    const float left = corner.x();
    const float top = corner.y();
    const DotGrid grid(g, s.m_fOutputDpi);
    const DrawnBars drawn(*m_pSettings, *m_pData, left, grid);
    const CBarcodeData& data = drawn.Bars();
    FillBoxBackground(g, s, corner, s.m_fWidth);
    const QFont font = MakeBarcodeFont(s, s.m_fFontSize);
    const float h = GetTextHeight();
    const BarBand band = SnapBand(GetBarBand(top), grid);
    const float barTop = band.top;
    const float barHeight = band.height;
    g.setRenderHint(QPainter::Antialiasing, false);
    const QColor barColor = ArgbToColor(s.m_crBar);
    {
        DotFiller filler(g, grid);
        for (int i = 0; i < data.GetBarCount(); ++i)
            filler.Fill(QRectF(left + data.m_arrX[i], barTop, data.m_arrWidth[i], barHeight), barColor);
    }

    const QString& text = s.m_strFullText;
    const auto start = BarEnd(data, 1);
    if (s.m_bShowText && !text.isEmpty() && start) {
        const float m = float(grid.ModuleX(Module()));
        const float c = static_cast<float>(MeasureTextWidth(font, text)) / text.size();
        const float step = c + (40 * m - 6 * c) / 5 + 2 * m;
        const float rowTop = s.m_bTextAbove ? top : top + s.m_fHeight - h;
        Cells cells;
        for (qsizetype i = 0; i < text.size(); ++i)
            cells.Add(text[i], QRectF(left + *start + m + i * step, rowTop, c, h));
        cells.Draw(g, font, s.m_crText);
    }
    g.restore();
}
