#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>

// Value and text utilities shared by the whole program. None keeps state.

// Formats a time by a date/time template: runs of y, M, d, H, m, s become the
// date and time fields ("dddd" the weekday's name), "tt" the AM/PM marker and "h",
// "hh" the hour of the 12-hour clock where they stand apart from other Latin
// letters; everything else is copied.
QString FormatDateTime(const QString& strTemplate, const QDateTime& time);
QString FormatCurrentTime(const QString& strTemplate);

// The program's folder (VELLUMCRAFT_HOME when set, else the executable's folder),
// without a trailing separator.
QString GetAppDirectory();
// The help file beside the program: the program's name without a ".exe" or ".bin"
// suffix, and ".chm".
QString GetHelpFilePath();
bool FileExists(const QString& path);

QString FormatFloat2(float value);
QString FormatFloat3(float value);
// "%.2f" without a last '0': 1.50 -> "1.5", 1.00 -> "1.0".
QString FormatFloatShort2(float value);
// "%.3f" without up to two trailing '0's: 1.500 -> "1.5", 1.000 -> "1.0".
QString FormatFloatShort3(float value);
// 0 to 4 decimals as asked; any other count gives 5.
QString FormatFloatDecimals(double value, int decimals);
// The leading numeric part of the text, 0 when there is none.
float TextToFloat(const QString& text);

bool FloatEquals2(float a, float b);
bool FloatEquals3(float a, float b);

// Bijective numbering: 1 is the first symbol, n < 1 gives an empty text. Serials
// count in 64 bits, so these do too.
QString SerialToAlphabet(int64_t n, const QString& alphabet);
// How many symbols SerialToAlphabet writes for n, without writing them: with one
// symbol the text is n long.
int64_t SerialAlphabetLength(int64_t n, qsizetype symbols);
QString SerialToLetters(int64_t n);
QString SerialToBase36(int64_t n);
QString SerialToLettersNoIOLQ(int64_t n);
QString SerialToLettersNoIOQU(int64_t n);
QString SerialToLettersNoIO(int64_t n);

// Index of the first image writer format whose MIME type equals mimeType exactly,
// -1 when this platform cannot write that type. The format name Qt uses for it is
// copied to *format when given.
int GetEncoderClsid(const QString& mimeType, QByteArray* format = nullptr);

// How much of a text read from a file or a data source a message or a list row shows.
constexpr qsizetype kShownTextLength = 100;
// The first `length` units of the text (a surrogate pair is kept whole or not at
// all) followed by "…" when it is longer; the text itself when it is not.
QString ShortenedText(const QString& text, qsizetype length);

// Puts n '0' characters in front of text; n below 1 leaves it unchanged.
void MakeZeroString(int n, QString& text);

// Rounds half away from zero. Used where the reading of a formatted "%.0f" must
// not depend on the C library's tie rule.
int RoundHalfAway(double value);
