#include "platform/Numbers.h"

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <string>

namespace {

// Copies the numeric-looking prefix into ASCII for the C readers, which themselves
// stop at the first character that does not fit.
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

// The C runtime's readers in the C locale: overflow gives the largest value of the
// sign, a number too small for a double gives zero, exactly as strtod does.
locale_t CLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

} // namespace

double LeadingDouble(QStringView text)
{
    const std::string s = AsciiPrefix(text);
    return strtod_l(s.c_str(), nullptr, CLocale());
}

int LeadingInt(QStringView text)
{
    const std::string s = AsciiPrefix(text);
    const long long value = strtoll_l(s.c_str(), nullptr, 10, CLocale());
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}
