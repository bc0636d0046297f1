#include "platform/IniFile.h"

#include "platform/Numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <iterator>

namespace {

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

void IniFile::Load(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        Parse(file.readAll());
    else
        m_sections.clear();
}

void IniFile::Parse(QByteArrayView text)
{
    m_sections.clear();
    m_sections.push_back(Section{});
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    const QString all = QString::fromUtf8(text);
    const QStringList lines = all.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString raw = lines[i];
        if (raw.endsWith(u'\r'))
            raw.chop(1);
        // A final line break does not make an empty last line.
        if (i == lines.size() - 1 && raw.isEmpty())
            break;
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(u'[')) {
            qsizetype close = trimmed.indexOf(u']');
            if (close < 0)
                close = trimmed.size();
            m_sections.push_back(Section{trimmed.mid(1, close - 1).trimmed(), true, {}});
        }
        Line line{raw, {}, {}};
        const qsizetype eq = trimmed.indexOf(u'=');
        if (!trimmed.startsWith(u'[') && eq > 0) {
            line.key = trimmed.left(eq).trimmed();
            line.value = trimmed.mid(eq + 1).trimmed();
        }
        m_sections.back().lines.push_back(std::move(line));
    }
}

QByteArray IniFile::Serialize() const
{
    QString out;
    for (const Section& section : m_sections)
        for (const Line& line : section.lines)
            out += line.text + u'\n';
    return out.toUtf8();
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
        m_sections.push_back(Section{section, true, {Line{u'[' + section + u']', {}, {}}}});
        target = &m_sections.back();
    }
    for (Line& line : target->lines) {
        if (!line.key.isEmpty() && SameName(line.key, key)) {
            line.value = value.trimmed();
            line.text = line.key + u'=' + value;
            return;
        }
    }
    // After the section's last non-blank line, so blank lines before the next
    // header stay where they are.
    auto pos = target->lines.end();
    while (pos != target->lines.begin() && std::prev(pos)->text.trimmed().isEmpty())
        --pos;
    target->lines.insert(pos, Line{key + u'=' + value, key, value.trimmed()});
}
