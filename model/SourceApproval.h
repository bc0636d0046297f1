#pragma once

#include <QList>
#include <QPair>
#include <QString>

class CDSBase;

// A label is a document anyone can send, and a database source in it connects with the
// user's own logins (trust or peer authentication, ~/.pgpass, a DSN's saved password, a
// local socket). So such a source reaches its server only once the user has allowed it
// on this machine. The approval is kept in the program's settings, never in the label,
// so that no file approves itself, and it is keyed on what connects and what runs, so a
// changed source is asked about again. Sources that only read local files (text, SQLite,
// workbooks, Access) need none.

// Whether the source would connect to a database server: a server type, or a connection
// string that reaches a server (not one that names a local file, nor one refused before
// anything connects).
bool SourceNeedsApproval(const CDSBase& ds);
// What an approval is kept under: a hash of the kind, the connection fields but the
// password, and the user's statement.
QString SourceApprovalKey(const CDSBase& ds);
bool IsSourceApproved(const CDSBase& ds);
// Remembers the user's approval: the question's 允许, or the user's own typing in a
// data-source dialog.
void ApproveSource(const CDSBase& ds);

// What the question shows of a source, as (caption, value) lines: its kind, server, port,
// database and user (never a password); the statement apart.
QList<QPair<QString, QString>> SourceApprovalDetails(const CDSBase& ds);

// The source's name, or, for one a dialog edits before it is named, the name its
// database steps go by (DbSourceScope).
QString SourceApprovalName(const CDSBase& ds);

// Who answers the question. The application installs one with a window; where none is
// installed nobody can answer, and an unapproved source is refused.
class CSourceApprover
{
public:
    virtual ~CSourceApprover() = default;
    // True when the user allows the source to connect (and the approval is then kept).
    virtual bool Ask(const CDSBase& ds) = 0;
};
// Installs the approver (null: none) and returns the one that was installed.
CSourceApprover* InstallSourceApprover(CSourceApprover* approver);

// Empty when the source may connect now: it needs no approval, it was approved, or the
// user allows it when asked. Otherwise the refusal, naming the source: nothing of it has
// connected.
QString SourceApprovalRefusal(const CDSBase& ds);
