#include "platform/VisibleText.h"

#include <gtest/gtest.h>

namespace {

struct VisibleCase
{
    QString text;
    bool keepLines;
    QString shown;
};

TEST(VisibleText, WritesWhatShowsAsNothingOrReordersByItsCode)
{
    const QChar rlo(0x202E);
    const QString tag = QString::fromUcs4(U"\U000E0041");
    const VisibleCase cases[] = {
        // Reordering, invisible and line-breaking characters; a character past U+FFFF by its
        // whole code, a lone surrogate by its own.
        {QStringLiteral("数据源") + rlo + QStringLiteral("txt.exe"), false, QStringLiteral("数据源\\u202Etxt.exe")},
        {QStringLiteral("a") + QChar(0x200B) + QChar(0x2066) + QChar(0x00AD) + QChar(0x3164), false,
            QStringLiteral("a\\u200B\\u2066\\u00AD\\u3164")},
        {QStringLiteral("x") + tag + QChar(0xD800) + QStringLiteral("y"), false, QStringLiteral("x\\U000E0041\\uD800y")},
        {QStringLiteral("a\r\nb\tc") + QChar(0x2028) + QChar(0), false, QStringLiteral("a\\u000D\\u000Ab\\u0009c\\u2028\\u0000")},
        // A message's own lines stay; a lone carriage return does not.
        {QStringLiteral("a\r\nb\tc\rd") + QChar(0x2029), true, QStringLiteral("a\nb\tc\\u000Dd\\u2029")},
        // Text anyone can read stays as it is: other scripts, right-to-left letters, emoji,
        // markup, blanks.
        {QStringLiteral("<b>标签</b> مخزن שלום 😀 a b"), false, QStringLiteral("<b>标签</b> مخزن שלום 😀 a b")},
    };
    for (const VisibleCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QString shown = VisibleText(c.text, c.keepLines);
        EXPECT_EQ(shown, c.shown);
        // Shown twice, it reads as shown once: a message may pass through it again.
        EXPECT_EQ(VisibleText(shown, c.keepLines), shown);
    }
}

} // namespace
