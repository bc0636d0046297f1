#include "model/Utils.h"

#include "platform/Numbers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QLocale>
#include <QProcessEnvironment>
#include <algorithm>
#include <cmath>

namespace {

int RunMaximum(QChar letter)
{
    return letter == u'y' || letter == u'd' ? 4 : 2;
}

bool IsTokenLetter(QChar c)
{
    return c == u'y' || c == u'M' || c == u'd' || c == u'H' || c == u'm' || c == u's';
}

QString TwoDigits(int value)
{
    return QString::asprintf("%02d", value);
}

// The weekday names and the AM/PM markers are the program's language, whatever the
// system's.
const QLocale& NameLocale()
{
    static const QLocale locale(QLocale::Chinese, QLocale::China);
    return locale;
}

void EmitRun(const QString& run, const QDateTime& time, QString& out)
{
    if (run.isEmpty())
        return;
    const QDate date = time.date();
    const QTime clock = time.time();
    const bool two = run.size() == 2;
    switch (run[0].unicode()) {
    case u'y':
        if (run.size() == 4)
            out += QString::asprintf("%04d", date.year());
        else if (two)
            out += TwoDigits(((date.year() % 100) + 100) % 100);
        else
            out += run;
        return;
    case u'M': out += two ? TwoDigits(date.month()) : QString::number(date.month()); return;
    case u'd':
        if (run.size() == 4) {
            out += NameLocale().dayName(date.dayOfWeek(), QLocale::LongFormat);
        } else {
            // "ddd" stays what it always was: the two-digit day, then the day.
            out += run.size() >= 2 ? TwoDigits(date.day()) : QString::number(date.day());
            if (run.size() == 3)
                out += QString::number(date.day());
        }
        return;
    case u'H': out += two ? TwoDigits(clock.hour()) : QString::number(clock.hour()); return;
    case u'm': out += two ? TwoDigits(clock.minute()) : QString::number(clock.minute()); return;
    case u's': out += two ? TwoDigits(clock.second()) : QString::number(clock.second()); return;
    default: out += run; return;
    }
}

bool IsAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The 12-hour clock: "tt" is the AM/PM marker, "h" and "hh" the hour 1 to 12. They
// are tokens only where they stand apart from other Latin letters, so that a word in
// a template ("batch", "Attn") keeps printing as itself. Returns the characters
// used from position i, 0 when the text there is no such token.
qsizetype EmitTwelveHourToken(const QString& text, qsizetype i, const QDateTime& time, QString& out)
{
    const QChar letter = text[i];
    if (letter != u't' && letter != u'h')
        return 0;
    qsizetype end = i;
    while (end < text.size() && text[end] == letter)
        ++end;
    if ((i > 0 && IsAsciiLetter(text[i - 1])) || (end < text.size() && IsAsciiLetter(text[end])))
        return 0;
    const QTime clock = time.time();
    if (letter == u't') {
        if (end - i != 2)
            return 0;
        out += clock.hour() < 12 ? NameLocale().amText() : NameLocale().pmText();
        return 2;
    }
    const int hour = clock.hour() % 12 == 0 ? 12 : clock.hour() % 12;
    out += end - i >= 2 ? TwoDigits(hour) : QString::number(hour);
    return std::min<qsizetype>(end - i, 2);
}

// Path of the running program, whether or not a QCoreApplication exists.
QString ProgramPath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString CutBeforeLastSeparator(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.left(slash);
}

QString RemoveTrailingZero(QString text)
{
    if (text.endsWith(u'0'))
        text.chop(1);
    return text;
}

} // namespace

QString FormatDateTime(const QString& strTemplate, const QDateTime& time)
{
    QString out;
    QString run;
    for (qsizetype i = 0; i < strTemplate.size(); ++i) {
        const QChar c = strTemplate[i];
        if (IsTokenLetter(c)) {
            if (run.isEmpty() || (run[0] == c && run.size() < RunMaximum(c))) {
                run += c;
                continue;
            }
            EmitRun(run, time, out);
            run = c;
            continue;
        }
        EmitRun(run, time, out);
        run.clear();
        if (const qsizetype used = EmitTwelveHourToken(strTemplate, i, time, out)) {
            i += used - 1;
            continue;
        }
        out += c;
    }
    EmitRun(run, time, out);
    return out;
}

QString FormatCurrentTime(const QString& strTemplate)
{
    return FormatDateTime(strTemplate, QDateTime::currentDateTime());
}

QString GetAppDirectory()
{
    const QString home = qEnvironmentVariable("VELLUMCRAFT_HOME");
    if (!home.isEmpty()) {
        QString dir = QDir::cleanPath(home);
        if (dir.size() > 1 && dir.endsWith(u'/'))
            dir.chop(1);
        return dir == QStringLiteral("/") ? QString() : dir;
    }
    return CutBeforeLastSeparator(ProgramPath());
}

QString GetHelpFilePath()
{
    // Only a program suffix is cut: a dot inside the program's name is part of it.
    QString name = QFileInfo(ProgramPath()).fileName();
    for (const QLatin1String suffix : {QLatin1String(".exe"), QLatin1String(".bin")}) {
        if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive)) {
            name.chop(suffix.size());
            break;
        }
    }
    return GetAppDirectory() + u'/' + name + QStringLiteral(".chm");
}

bool FileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

QString FormatFloat2(float value)
{
    return QString::asprintf("%.2f", static_cast<double>(value));
}

QString FormatFloat3(float value)
{
    return QString::asprintf("%.3f", static_cast<double>(value));
}

QString FormatFloatShort2(float value)
{
    return RemoveTrailingZero(FormatFloat2(value));
}

QString FormatFloatShort3(float value)
{
    QString text = FormatFloat3(value);
    if (text.endsWith(u'0')) {
        text.chop(1);
        if (text.endsWith(u'0'))
            text.chop(1);
    }
    return text;
}

QString FormatFloatDecimals(double value, int decimals)
{
    if (decimals < 0 || decimals > 4)
        decimals = 5;
    return QString::asprintf("%.*f", decimals, value);
}

float TextToFloat(const QString& text)
{
    return static_cast<float>(LeadingDouble(text));
}

bool FloatEquals2(float a, float b)
{
    return std::fabs(a - b) < 0.01f;
}

bool FloatEquals3(float a, float b)
{
    return std::fabs(a - b) < 0.001f;
}

QString SerialToAlphabet(int64_t n, const QString& alphabet)
{
    const qsizetype k = alphabet.size();
    if (n < 1 || k == 0)
        return {};
    if (k == 1)
        return QString(static_cast<qsizetype>(n), alphabet[0]);
    QString result;
    int64_t m = n - 1;
    while (m >= 0) {
        result += alphabet[static_cast<qsizetype>(m % k)];
        m = m / k - 1;
    }
    std::reverse(result.begin(), result.end());
    return result;
}

int64_t SerialAlphabetLength(int64_t n, qsizetype symbols)
{
    if (n < 1 || symbols <= 0)
        return 0;
    if (symbols == 1)
        return n;
    int64_t length = 0;
    for (int64_t m = n - 1; m >= 0; m = m / symbols - 1)
        ++length;
    return length;
}

QString SerialToLetters(int64_t n)
{
    return SerialToAlphabet(n, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
}

QString SerialToBase36(int64_t n)
{
    return SerialToAlphabet(n, QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
}

QString SerialToLettersNoIOLQ(int64_t n)
{
    return SerialToAlphabet(n, QStringLiteral("ABCDEFGHJKMNPRSTUVWXYZ"));
}

QString SerialToLettersNoIOQU(int64_t n)
{
    return SerialToAlphabet(n, QStringLiteral("ABCDEFGHJKLMNPRSTVWXYZ"));
}

QString SerialToLettersNoIO(int64_t n)
{
    return SerialToAlphabet(n, QStringLiteral("ABCDEFGHJKLMNPQRSTUVWXYZ"));
}

int GetEncoderClsid(const QString& mimeType, QByteArray* format)
{
    const QList<QByteArray> mimeTypes = QImageWriter::supportedMimeTypes();
    for (qsizetype i = 0; i < mimeTypes.size(); ++i) {
        if (QString::fromLatin1(mimeTypes[i]) != mimeType)
            continue;
        if (format) {
            const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mimeTypes[i]);
            *format = formats.isEmpty() ? QByteArray() : formats.first();
        }
        return static_cast<int>(i);
    }
    return -1;
}

QString ShortenedText(const QString& text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    if (length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length) + QStringLiteral("…");
}

void MakeZeroString(int n, QString& text)
{
    if (n < 1)
        return;
    text.prepend(QString(n, u'0'));
}

int RoundHalfAway(double value)
{
    const double r = std::round(value); // std::round rounds halves away from zero
    if (r >= 2147483647.0)
        return 2147483647;
    if (r <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(r);
}
