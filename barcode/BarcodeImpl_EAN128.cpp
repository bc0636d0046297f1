#include "barcode/BarcodeImpl_EAN128.h"

namespace {

std::vector<GS1AiRow> BuildAiTable()
{
    std::vector<GS1AiRow> t;
    t.reserve(131);
    auto fixed = [&](const char* ai, int total, const char16_t* name) { t.push_back({ai, true, total, 0, name}); };
    auto variable = [&](const char* ai, int maxTotal, const char16_t* name) {
        t.push_back({ai, false, int(qstrlen(ai)), maxTotal, name});
    };
    // AIs with a number of digits after them name the whole range; the strings
    // must outlive the table, so the ranges are spelt out.
    static const char* const k31x[] = {"310", "311", "312", "313", "314", "315", "316"};
    static const char* const k32x[] = {"320", "321", "322", "323", "324", "325", "326", "327", "328", "329"};
    static const char* const k33x[] = {"330", "331", "332", "333", "334", "335", "336", "337"};
    static const char* const k34x[] = {"340", "341", "342", "343", "344", "345", "346", "347", "348", "349"};
    static const char* const k35x[] = {"350", "351", "352", "353", "354", "355", "356", "357"};
    static const char* const k36x[] = {"360", "361", "362", "363", "364", "365", "366", "367", "368", "369"};
    static const char* const k39x[] = {"390", "391", "392", "393"};
    static const char* const k703x[] = {"7030", "7031", "7032", "7033", "7034",
                                         "7035", "7036", "7037", "7038", "7039"};
    static const char* const k800x[] = {"8001", "8002", "8003", "8004", "8005", "8006", "8007", "8008"};
    static const char* const k9x[] = {"90", "91", "92", "93", "94", "95", "96", "97", "98", "99"};

    fixed("00", 20, u"SSCC-18 Serial Shipping Container Code");
    fixed("01", 16, u"SCC-14 Shiupping Container Code(GTIN)");
    fixed("02", 16, u"物流单元中所含货物的项目代码(GTIN)");
    variable("10", 22, u"批号");
    fixed("11", 8, u"生产日期(YYMMDD)");
    fixed("12", 8, u"Due date (YYMMDD)");
    fixed("13", 8, u"Packaging date (YYMMDD)");
    fixed("15", 8, u"Best before date (YYMMDD)");
    fixed("17", 8, u"到期日期(安全)(YYMMDD)");
    fixed("20", 4, u"Product variant");
    variable("21", 22, u"序列号");
    variable("22", 31, u"Secondary data fields");
    variable("23", 21, u"Lot number");
    variable("240", 33, u"Additional product identification");
    variable("241", 33, u"Customer part number");
    variable("242", 90, u"Made-to-order variation number");
    variable("250", 33, u"Secondary serial number");
    variable("251", 33, u"Reference to source entity");
    variable("253", 33, u"Global document type identifier");
    variable("30", 10, u"Variable count");
    for (const char* ai : k31x)
        variable(ai, 10, u"Trade measures (metric)");
    for (const char* ai : k32x)
        variable(ai, 10, u"Trade measures (imperial)");
    for (const char* ai : k33x)
        variable(ai, 10, u"Logistic measures (metric)");
    for (const char* ai : k34x)
        variable(ai, 10, u"Logistic measures (imperial)");
    for (const char* ai : k35x)
        variable(ai, 10, u"Area and volume (metric)");
    for (const char* ai : k36x)
        variable(ai, 10, u"Area and volume (imperial)");
    variable("37", 10, u"Count of trade items");
    const int k39Max[] = {19, 22, 19, 22};
    for (int i = 0; i < 4; ++i)
        variable(k39x[i], k39Max[i], u"Amount payable");
    variable("400", 33, u"Customer purchase order number");
    variable("401", 33, u"Consignment number");
    variable("402", 20, u"Shipment identification number");
    variable("403", 33, u"Routing code");
    variable("410", 16, u"Ship to location");
    variable("411", 16, u"Bill to location");
    variable("412", 16, u"Purchased from location");
    variable("413", 16, u"Ship for location");
    variable("414", 16, u"Physical location");
    variable("415", 16, u"Invoicing party");
    variable("420", 23, u"Ship to postal code");
    variable("421", 15, u"Ship to postal code with country code");
    variable("422", 6, u"Country of origin");
    variable("423", 18, u"Country of initial processing");
    variable("424", 6, u"Country of processing");
    variable("425", 6, u"Country of disassembly");
    variable("426", 6, u"Country of full process chain");
    variable("7001", 17, u"NATO stock number");
    variable("7002", 34, u"Meat carcasses and cuts classification");
    variable("7003", 14, u"Expiration date and time");
    for (const char* ai : k703x)
        variable(ai, 34, u"Approval number of processor");
    const int k800Max[] = {18, 24, 34, 34, 10, 22, 38, 16};
    for (int i = 0; i < 8; ++i)
        variable(k800x[i], k800Max[i], u"Application identifier 800x");
    variable("8018", 22, u"Global service relation number");
    variable("8020", 29, u"Payment slip reference number");
    variable("8100", 10, u"Coupon extended code");
    variable("8101", 14, u"Coupon extended code");
    variable("8102", 6, u"Coupon extended code");
    variable(k9x[0], 32, u"Mutually agreed information");
    for (int i = 1; i < 10; ++i)
        variable(k9x[i], 32, u"公司内部信息");
    return t;
}

} // namespace

const std::vector<GS1AiRow>& GS1AiTable()
{
    static const std::vector<GS1AiRow> table = BuildAiTable();
    return table;
}

QString CBarcodeImpl_EAN128::GetDisplayText(const QString& text) const
{
    if (SettingsAs<CBarcodeSettings_EAN128>().m_bHideParentheses)
        return text;
    QString result;
    qsizetype p = 0;
    const qsizetype n = text.size();
    const auto& table = GS1AiTable();
    for (size_t row = 0; row < 6 && row < table.size(); ++row) {
        const GS1AiRow& ai = table[row];
        if (!ai.fixedLength)
            continue;
        const QLatin1String aiText(ai.ai);
        if (QStringView(text).mid(p).startsWith(aiText) && p + ai.firstLength <= n) {
            result += QLatin1Char('(') + aiText + QLatin1Char(')') +
                      QStringView(text).mid(p + aiText.size(), ai.firstLength - aiText.size());
            p += ai.firstLength;
        }
    }
    if (p < n)
        result += QStringView(text).mid(p);
    return result;
}

QString SanitizeFixedLength(const CBarcodeImpl& impl, const QString& text, int length, const QString& prefix)
{
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (impl.IsValidChar(c))
            kept += c;
    }
    if (kept.size() > length)
        kept.truncate(length);
    else
        kept.prepend(QString(length - kept.size(), QLatin1Char('0')));
    return prefix + kept;
}

QString CBarcodeImpl_EAN14::SanitizeText(const QString& text) const
{
    return SanitizeFixedLength(*this, text, 14, QStringLiteral("01"));
}

QString CBarcodeImpl_SSCC18::SanitizeText(const QString& text) const
{
    return SanitizeFixedLength(*this, text, 17, QStringLiteral("00"));
}

QString CBarcodeImpl_SSCC18::CalcCheckDigit(const QString& text) const
{
    int sum = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        sum += (int(text[i].unicode()) - 0x30) * (i % 2 == 0 ? 3 : 1);
    return QString::number((10 - sum % 10) % 10);
}

QString CBarcodeImpl_SSCC18::BuildFullText(const QString& text)
{
    m_strCheckDigit = CalcCheckDigit(text);
    return text + m_strCheckDigit;
}

QString CBarcodeImpl_SSCC18::GetDisplayText(const QString& text) const
{
    const QString s = text + m_strCheckDigit;
    const QStringView v(s);
    return QLatin1Char('(') + v.left(2) + QLatin1String(") ") + v.mid(2, 1) + QLatin1Char(' ') + v.mid(3, 7) +
           QLatin1Char(' ') + v.mid(10, 9) + QLatin1Char(' ') + v.right(1);
}

void CBarcodeImpl_SSCC18::CopyFrom(const CBarcodeImpl& other)
{
    CBarcodeImpl_EAN128::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeImpl_SSCC18*>(&other))
        m_strCheckDigit = o->m_strCheckDigit;
}
