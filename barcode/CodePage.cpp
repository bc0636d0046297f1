#include "barcode/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

// Lone surrogates have no encoding in any of the code pages; they become "?" like
// every other character that cannot be represented.
QString ReplaceLoneSurrogates(const QString& text)
{
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        if (c.isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            out[i] = QLatin1Char('?');
    }
    return out;
}

int Utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    return 4;
}

// iconv from UTF-8, putting "?" in place of each character the target cannot hold.
QByteArray ConvertWithIconv(const QByteArray& utf8, const char* firstName, const char* secondName)
{
    iconv_t cd = iconv_open(firstName, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1) && secondName)
        cd = iconv_open(secondName, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return utf8;

    QByteArray out;
    out.reserve(utf8.size() * 2 + 8);
    char buffer[256];
    char* in = const_cast<char*>(utf8.constData());
    size_t inLeft = static_cast<size_t>(utf8.size());
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ (not representable) or EINVAL (cut sequence): one character becomes "?".
        const size_t skip = std::min<size_t>(static_cast<size_t>(Utf8SequenceLength(static_cast<unsigned char>(*in))), inLeft);
        in += skip;
        inLeft -= skip;
        out.append('?');
    }
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
    iconv_close(cd);
    return out;
}

} // namespace

QByteArray ConvertToCodePage(const QString& text, int codePage)
{
    const QByteArray utf8 = ReplaceLoneSurrogates(text).toUtf8();
    switch (codePage) {
    case CodePageGBK:
        return ConvertWithIconv(utf8, "CP936", "GBK");
    case CodePageBig5:
        return ConvertWithIconv(utf8, "CP950", "BIG5");
    default:
        return utf8;
    }
}
