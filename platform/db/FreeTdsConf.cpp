#include "platform/db/FreeTdsConf.h"

#include <QFile>
#include <QStringList>
#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsConfSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The words of text up to the first of the stop characters, each run of blanks between
// them made one blank, as FreeTDS reads both halves of a line; lower is for the name.
QByteArray ConfWords(const char*& s, const char* stops, bool lower)
{
    QByteArray words;
    char previous = 0;
    for (; *s && !std::strchr(stops, *s); ++s) {
        if (!IsConfSpace(*s)) {
            if (IsConfSpace(previous))
                words += ' ';
            words += lower && *s >= 'A' && *s <= 'Z' ? char(*s + 32) : *s;
        }
        previous = *s;
    }
    return words;
}

// The home folder of the account the program runs as, where FreeTDS looks for ~/.freetds.conf.
QString AccountHome()
{
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
        return {};
    return QFile::decodeName(found->pw_dir);
}

// Reads the sections of one file named section (the comparison ignores ASCII case) into
// server; true when there was one. Lines are read as fgets reads them into FreeTDS's
// 256-byte buffer: a longer line goes on as a line of its own.
bool ReadConfSection(QFile& file, const QByteArray& section, FreeTdsServer& server, const QString& from)
{
    file.seek(0);
    bool inSection = false;
    bool found = false;
    while (!file.atEnd()) {
        char line[256] = {};
        if (file.readLine(line, sizeof line) < 0)
            break;
        const char* s = line;
        while (*s && IsConfSpace(*s))
            ++s;
        if (*s == ';' || *s == '#')
            continue;
        const QByteArray option = ConfWords(s, "=", true);
        if (option.isEmpty())
            continue;
        if (*s)
            ++s;
        while (*s && IsConfSpace(*s))
            ++s;
        const QByteArray value = ConfWords(s, ";#", false);
        if (option.startsWith('[')) {
            const qsizetype close = option.indexOf(']');
            inSection = option.mid(1, close < 0 ? -1 : close - 1).compare(section, Qt::CaseInsensitive) == 0;
            found = found || inSection;
        } else if (inSection) {
            const QString text = QString::fromUtf8(value);
            if (option == "host" && !value.isEmpty())
                server.host = {text, from};
            else if (option == "port" && FreeTdsNumber(text) != 0)
                server.port = {QString::number(FreeTdsNumber(text)), from};
            else if (option == "instance")
                server.instance = {text, from};
        }
    }
    return found;
}

} // namespace

qint64 FreeTdsNumber(const QString& text)
{
    return std::strtoll(text.toUtf8().constData(), nullptr, 10);
}

FreeTdsServer ReadFreeTdsServer(const QString& name)
{
    QStringList files;
    if (qEnvironmentVariableIsSet("FREETDSCONF"))
        files.append(qEnvironmentVariable("FREETDSCONF"));
    if (qEnvironmentVariableIsSet("FREETDS"))
        files.append(qEnvironmentVariable("FREETDS") + QStringLiteral("/etc/freetds.conf"));
    if (const QString home = AccountHome(); !home.isEmpty())
        files.append(home + QStringLiteral("/.freetds.conf"));
    files.append(QStringLiteral("/etc/freetds/freetds.conf"));

    FreeTdsServer server;
    const QByteArray section = name.toUtf8();
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        ReadConfSection(file, "global", server, QStringLiteral("%1 中的 [global]").arg(path));
        if (!section.isEmpty()
            && ReadConfSection(file, section, server, QStringLiteral("%1 中的 [%2]").arg(path, name))) {
            server.file = path;
            break;
        }
    }
    return server;
}
