#include "platform/VisibleText.h"

namespace {

// Whether a character shows as nothing, moves or reorders the text around it, or ends a line.
bool ShowsAsNothing(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: break;
    }
    // Blank in every font, though not formats: the Hangul and Braille blanks, the variation
    // selectors.
    return c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0xFFA0 || c == 0x2800 || (c >= 0xFE00 && c <= 0xFE0F)
        || (c >= 0xE0100 && c <= 0xE01EF);
}

} // namespace

QString VisibleText(const QString& text, bool keepLines)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        if (keepLines && (c == u'\n' || c == u'\t')) {
            shown += QChar(c);
        } else if (keepLines && c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue; // the "\n" that follows is the line's end
        } else if (ShowsAsNothing(c)) {
            const bool wide = c > 0xFFFF;
            shown += (wide ? QStringLiteral("\\U") : QStringLiteral("\\u"))
                + QString::number(uint(c), 16).toUpper().rightJustified(wide ? 8 : 4, u'0');
        } else {
            shown += QString::fromUcs4(&c, 1);
        }
    }
    return shown;
}
