#include "platform/IniFile.h"

#include "platform/InputLimits.h"
#include "platform/Numbers.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <iterator>

namespace {

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// One line's text. A line of a UTF-8 file that is not valid UTF-8 comes from a
// program that wrote the system code page: GB18030 covers GBK and GB2312.
QString DecodeLine(QByteArrayView bytes, QStringConverter::Encoding encoding)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() && encoding == QStringConverter::Utf8) {
        QStringDecoder gb18030("GB18030");
        if (gb18030.isValid())
            text = gb18030.decode(bytes);
    }
    return text;
}

} // namespace

bool IniFile::Load(const QString& path, QString* reason)
{
    QString why;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, kMaxSettingsFileBytes, why);
    if (!bytes) {
        *this = IniFile();
        if (reason)
            *reason = why;
        return false;
    }
    Parse(*bytes);
    return true;
}

void IniFile::Parse(QByteArrayView text)
{
    *this = IniFile();
    m_sections.push_back(Section{});
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    qsizetype unit = 1; // bytes per code unit
    QByteArrayView newline = "\n";
    QByteArrayView cr = "\r";
    if (text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF")) {
        const bool little = text[0] == '\xFF';
        m_encoding = little ? Encoding::Utf16LE : Encoding::Utf16BE;
        encoding = little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        unit = 2;
        newline = little ? QByteArrayView("\n\0", 2) : QByteArrayView("\0\n", 2);
        cr = little ? QByteArrayView("\r\0", 2) : QByteArrayView("\0\r", 2);
        m_bom = text.first(2).toByteArray();
        // Half a code unit at the end of a cut file is no character; kept, it would
        // shift every line written after it.
        text = text.first(text.size() - text.size() % 2);
    } else if (text.startsWith("\xEF\xBB\xBF")) {
        m_bom = text.first(3).toByteArray();
    }
    bool lineEndSeen = false;
    qsizetype start = m_bom.size();
    while (start < text.size()) {
        qsizetype stop = start;
        while (stop < text.size() && text.sliced(stop, unit) != newline)
            stop += unit;
        Line line;
        QByteArrayView bytes = text.sliced(start, stop - start);
        // A carriage return before the line feed, or at the very end of the file, belongs
        // to the line end: the line's text must not change when a line is added after it.
        const bool crEnd = bytes.endsWith(cr);
        if (crEnd)
            bytes.chop(unit);
        line.end = crEnd ? cr.toByteArray() : QByteArray();
        if (stop < text.size()) {
            line.end += newline.toByteArray();
            if (!lineEndSeen)
                m_lineEnd = crEnd ? QStringLiteral("\r\n") : QStringLiteral("\n");
            lineEndSeen = true;
        }
        line.bytes = bytes.toByteArray();
        line.text = DecodeLine(bytes, encoding);
        start = stop + unit;

        const QString trimmed = line.text.trimmed();
        if (trimmed.startsWith(u'[')) {
            qsizetype close = trimmed.indexOf(u']');
            if (close < 0)
                close = trimmed.size();
            m_sections.push_back(Section{trimmed.mid(1, close - 1).trimmed(), true, {}});
        }
        const qsizetype eq = trimmed.indexOf(u'=');
        if (!trimmed.startsWith(u'[') && eq > 0) {
            line.key = trimmed.left(eq).trimmed();
            line.value = trimmed.mid(eq + 1).trimmed();
        }
        m_sections.back().lines.push_back(std::move(line));
    }
}

QByteArray IniFile::Encode(const QString& text) const
{
    switch (m_encoding) {
    case Encoding::Utf16LE: return QStringEncoder(QStringConverter::Utf16LE).encode(text);
    case Encoding::Utf16BE: return QStringEncoder(QStringConverter::Utf16BE).encode(text);
    case Encoding::Utf8: break;
    }
    return text.toUtf8();
}

IniFile::Line IniFile::MakeLine(const QString& text) const
{
    return Line{Encode(text), Encode(m_lineEnd), text, {}, {}};
}

QByteArray IniFile::Serialize() const
{
    QByteArray out = m_bom;
    const Line* previous = nullptr;
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) {
            // A last line without a line end gets one when lines were added after it; a
            // lone carriage return there is completed to CR LF.
            if (previous) {
                if (previous->end.isEmpty())
                    out += Encode(m_lineEnd);
                else if (previous->end == Encode(QStringLiteral("\r")))
                    out += Encode(QStringLiteral("\r\n"));
                else
                    out += previous->end;
            }
            out += line.bytes;
            previous = &line;
        }
    }
    if (previous)
        out += previous->end;
    return out;
}

bool IniFile::Save(const QString& path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(Serialize());
    return file.commit();
}

const IniFile::Line* IniFile::Find(const QString& section, const QString& key) const
{
    for (const Section& s : m_sections) {
        if (!s.hasHeader || !SameName(s.name, section))
            continue;
        for (const Line& line : s.lines)
            if (!line.key.isEmpty() && SameName(line.key, key))
                return &line;
        return nullptr;
    }
    return nullptr;
}

QString IniFile::GetString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const Line* line = Find(section, key);
    return line ? line->value : defaultValue;
}

int IniFile::GetInt(const QString& section, const QString& key, int defaultValue) const
{
    const Line* line = Find(section, key);
    if (!line || line->value.isEmpty())
        return defaultValue;
    return LeadingInt(line->value);
}

void IniFile::SetString(const QString& section, const QString& key, const QString& text)
{
    // A line break inside a value would start a new line of the file, one that could
    // pass for another key or section.
    QString value = text;
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    if (m_sections.empty())
        m_sections.push_back(Section{});
    Section* target = nullptr;
    for (Section& s : m_sections) {
        if (s.hasHeader && SameName(s.name, section)) {
            target = &s;
            break;
        }
    }
    if (!target) {
        m_sections.push_back(Section{section, true, {MakeLine(u'[' + section + u']')}});
        target = &m_sections.back();
    }
    for (Line& line : target->lines) {
        if (!line.key.isEmpty() && SameName(line.key, key)) {
            if (line.value == value.trimmed())
                return; // the line keeps its bytes, whatever their encoding
            Line changed = MakeLine(line.key + u'=' + value);
            changed.end = line.end;
            changed.key = line.key;
            changed.value = value.trimmed();
            line = std::move(changed);
            return;
        }
    }
    // After the section's last non-blank line, so blank lines before the next
    // header stay where they are.
    auto pos = target->lines.end();
    while (pos != target->lines.begin() && std::prev(pos)->text.trimmed().isEmpty())
        --pos;
    Line added = MakeLine(key + u'=' + value);
    added.key = key;
    added.value = value.trimmed();
    target->lines.insert(pos, std::move(added));
}
