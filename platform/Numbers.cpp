#include "platform/Numbers.h"

#include <charconv>
#include <climits>
#include <string>

namespace {

// Copies the numeric-looking prefix into ASCII so std::from_chars can read it;
// from_chars itself stops at the first character that does not fit.
std::string AsciiPrefix(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r'
                               || text[i] == u'\v' || text[i] == u'\f'))
        ++i;
    std::string out;
    for (; i < text.size() && out.size() < 400; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80)
            break;
        const char a = static_cast<char>(c);
        if ((a >= '0' && a <= '9') || a == '+' || a == '-' || a == '.' || a == 'e' || a == 'E')
            out.push_back(a);
        else
            break;
    }
    return out;
}

} // namespace

double LeadingDouble(QStringView text)
{
    std::string s = AsciiPrefix(text);
    const char* first = s.data();
    const char* last = s.data() + s.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    if (first != last && (*first == '+' || *first == '-'))
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        return negative ? -HUGE_VAL : HUGE_VAL;
    if (result.ec != std::errc())
        return 0.0;
    return negative ? -value : value;
}

int LeadingInt(QStringView text)
{
    std::string s = AsciiPrefix(text);
    const char* first = s.data();
    const char* last = s.data() + s.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    if (first != last && (*first == '+' || *first == '-'))
        return 0;
    long long value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc::result_out_of_range)
        return negative ? INT_MIN : INT_MAX;
    if (result.ec != std::errc())
        return 0;
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}
