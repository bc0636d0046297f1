#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

// A small INI file in the manner of the old profile functions: "[section]" headers and
// "key=value" lines, section and key names compared without regard to case, values
// taken as they stand between the '=' and the line end (blanks around them dropped,
// nothing unquoted, unescaped or parsed). The text is UTF-8; a file that starts with
// a UTF-16 byte-order mark is UTF-16 and stays so, and a line that is not valid
// UTF-8 is read as GB18030, as files written by older versions may hold. Setting a
// value keeps every other line of the file byte for byte (comments, unknown keys,
// their order, their encoding and line ends), so a hand-edited file survives a
// save; setting the value a key already has changes nothing.
class IniFile
{
public:
    IniFile() = default;

    // Reads the file as the label files are read: a regular file (not a pipe or a
    // device) of at most kMaxSettingsFileBytes. Any other file, and a missing one,
    // gives an empty one and false, with the reason in reason when it is given.
    bool Load(const QString& path, QString* reason = nullptr);
    void Parse(QByteArrayView text);
    QByteArray Serialize() const;
    // Writes the whole file at once; false when the location is not writable.
    bool Save(const QString& path) const;

    // The first matching section and key win, as with the profile functions.
    QString GetString(const QString& section, const QString& key, const QString& defaultValue) const;
    // The leading integer of the value ("12abc" is 12, "abc" is 0); the default only
    // when the key is missing or its value is empty.
    int GetInt(const QString& section, const QString& key, int defaultValue) const;
    // Replaces the value in place, or adds the key at the end of its section, adding
    // the section at the end of the file when it is missing. Line breaks in the value
    // become blanks.
    void SetString(const QString& section, const QString& key, const QString& value);

private:
    enum class Encoding { Utf8, Utf16LE, Utf16BE };
    struct Line
    {
        QByteArray bytes; // as read or as last written, without the line end
        QByteArray end;   // the line end as read; empty only for a last line without one
        QString text;     // the decoded line
        QString key;      // empty for headers, comments and other lines
        QString value;    // trimmed
    };
    struct Section
    {
        QString name;
        bool hasHeader = false; // false only for the lines before the first header
        std::vector<Line> lines;
    };

    const Line* Find(const QString& section, const QString& key) const;
    Line MakeLine(const QString& text) const;
    QByteArray Encode(const QString& text) const;

    std::vector<Section> m_sections;
    Encoding m_encoding = Encoding::Utf8;
    QByteArray m_bom; // written back as it was read
    QString m_lineEnd = QStringLiteral("\n"); // for new lines: the file's first line end
};
