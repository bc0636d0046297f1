#pragma once

#include "platform/db/DbCatalog.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class CDSBase;
class DbConnection;

// A label is a document anyone can send, and a database source in it connects with the
// user's own logins (trust or peer authentication, ~/.pgpass, a DSN's saved password, a
// local socket). So such a source reaches its server only once the user has allowed it
// on this machine. The approval is kept in the program's settings, never in the label,
// so that no file approves itself. What the user is shown and what the approval is kept
// under are read off what the loader would send (its DbReach) and the statement it would
// run, so a source that connects elsewhere, as someone else, or reads something else is
// asked about again. Sources that only read local files (text, SQLite, workbooks,
// Access) need none.

// The question about one source: what the window shows, and the key its answer is kept
// under. Every text in it is shown as plain text.
struct SourceQuestion
{
    QString name; // the source's name
    QList<QPair<QString, QString>> rows; // (caption, value): kind, client, server, port, database, user...
    QString statementCaption;
    QString statement; // the user's statement, or the query the program makes from the table
    // What the program cannot hold the statement to, in the user's words; each is a
    // reason to think twice before allowing.
    QStringList cautions;
    QString key;
    // Asked once connected, after the server's catalog was read and before the statement is
    // sent; cautions then tell what the catalog showed.
    bool connected = false;
    // Once connected: the server has parsed the statement to tell what it calls (PostgreSQL's
    // temporary view, rolled back), so its text has reached the server, though none of it ran.
    bool parsed = false;
};

// Whether the source would connect to a database server: a server type, or a connection
// string that reaches one (not one that names a local file, nor one refused before
// anything connects).
bool SourceNeedsApproval(const CDSBase& ds);
// The question about the source; connected: what the server told once connected, before the
// source's own statement is sent (a superuser login, or one with file or program rights, can
// undo whatever holds a statement to reading; the routines the statement reaches run with
// their owner's rights). Before connecting nothing is known.
SourceQuestion SourceQuestionOf(const CDSBase& ds, const DbStatementFacts& connected = {});
QString SourceApprovalKey(const CDSBase& ds);
bool IsSourceApproved(const CDSBase& ds);
bool IsSourceKeyApproved(const QString& key);
// Remembers that the user typed or changed the source in a data-source dialog: it is the
// user's own, its statement included, so it is not asked about, not even once connected.
void ApproveSource(const CDSBase& ds);
// Remembers the question's 允许.
void ApproveQuestion(const SourceQuestion& question);
// Keeps a copy the program made of an allowed source (a preview's, from the first row)
// allowed as the source is.
void ApproveCopy(const CDSBase& copy, const CDSBase& source);

// The source's name, or, for one a dialog edits before it is named, the name its
// database steps go by (DbSourceScope).
QString SourceApprovalName(const CDSBase& ds);

// Who answers the question. The application installs one with a window; where none is
// installed nobody can answer, and an unapproved source is refused.
class CSourceApprover
{
public:
    virtual ~CSourceApprover() = default;
    // True when the user allows it (the approver then keeps the answer: ApproveQuestion).
    virtual bool Ask(const SourceQuestion& question) = 0;
};
// Installs the approver (null: none) and returns the one that was installed.
CSourceApprover* InstallSourceApprover(CSourceApprover* approver);

// Empty when the source may connect now: it needs no approval, it was approved, or the
// user allows it when asked. Otherwise the refusal, naming the source: nothing of it has
// connected.
QString SourceApprovalRefusal(const CDSBase& ds);
// Once connected, before the source's own statement (or the query made of its table) is sent:
// the server's catalog is asked what the statement reaches beyond reading (DbCatalog.h), and
// where that adds to what the user allowed, the user is asked again, told why. Empty when the
// statement may run (a source the user typed, nothing new, or allowed when asked); otherwise
// the refusal, or the connection's message for a lookup that was stopped, and nothing of the
// statement has run (the server may have parsed it: SourceQuestion::parsed).
QString ConnectedStatementRefusal(const CDSBase& ds, DbConnection& connection);
