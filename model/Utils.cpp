#include "model/Utils.h"

#include "platform/Numbers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QProcessEnvironment>
#include <algorithm>
#include <cmath>

namespace {

int RunMaximum(QChar letter)
{
    return letter == u'y' ? 4 : 2;
}

bool IsTokenLetter(QChar c)
{
    return c == u'y' || c == u'M' || c == u'd' || c == u'H' || c == u'm' || c == u's';
}

QString TwoDigits(int value)
{
    return QString::asprintf("%02d", value);
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
    case u'd': out += two ? TwoDigits(date.day()) : QString::number(date.day()); return;
    case u'H': out += two ? TwoDigits(clock.hour()) : QString::number(clock.hour()); return;
    case u'm': out += two ? TwoDigits(clock.minute()) : QString::number(clock.minute()); return;
    case u's': out += two ? TwoDigits(clock.second()) : QString::number(clock.second()); return;
    default: out += run; return;
    }
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
    for (const QChar c : strTemplate) {
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
