#pragma once

#include <QString>
#include <QtGlobal>

// A server named in freetds.conf, which FreeTDS's Servername (in a data source's
// registration) stands for, read as FreeTDS reads it: $FREETDSCONF, $FREETDS/etc/freetds.conf,
// the user's ~/.freetds.conf (the home of the account, not $HOME) and
// /etc/freetds/freetds.conf, in that order, up to the first file holding a section of that
// name. The [global] section of each file read comes first, the server's own section after
// it, a later value over an earlier one.
struct FreeTdsServer
{
    QString file; // the file whose section was found; empty when none holds one
    // Each value with the file and section it came from; empty where no section gives it.
    struct Value
    {
        QString value;
        QString from;
    };
    Value host;
    Value port; // as FreeTDS reads it: a number other than 0
    Value instance; // a named instance, whose port the server's browser service tells
};
FreeTdsServer ReadFreeTdsServer(const QString& name);

// A number at the start of text as C's strtol reads it (blanks, a sign, digits), which is
// how FreeTDS reads a port wherever it finds one (atoi, which keeps the low 32 bits of it:
// never a port between 1 and 65535 where the number itself is not one).
qint64 FreeTdsNumber(const QString& text);
