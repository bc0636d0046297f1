#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

// Keeps the program to one running instance per user and display (one desktop
// session; a start on another display runs a program of its own). The first start takes a lock
// file and holds it for its whole life, so two quick starts cannot both go on; once
// its window exists it listens on a local socket. A later start finds the lock
// taken, hands its file (possibly none) to the first over the socket and ends; the
// first opens the file and comes to the front.
class CInstanceChecker : public QObject
{
    Q_OBJECT
public:
    // The folder for the lock and the socket; empty: the user's runtime folder.
    // session: the display the instance is one of, SessionName() by default.
    explicit CInstanceChecker(const QString& folder = {}, const QString& session = SessionName(),
                              QObject* parent = nullptr);
    ~CInstanceChecker() override;

    // The name both files are made from.
    static QString GetMMFName();
    // The window system and display this process shows its windows on ("xcb-:0",
    // "wayland-wayland-0", "offscreen"), as a file-name part.
    static QString SessionName();
    // The file name, without folder, of the socket for the user in that session (the
    // lock adds ".lock").
    static QString BaseName(const QString& session);

    // Takes the lock; true when this is the first instance (it then keeps the lock).
    bool IsFirstInstance();
    // A later start: sends the path (absolute, or empty) to the first instance and
    // waits until it took it. False when no first instance answered in time.
    bool ActivatePreviousInstance(const QString& path, int timeoutMs = 15000);
    // The first start, once its window exists: takes the hand-overs of later starts.
    bool TrackFirstInstanceRunning();

Q_SIGNALS:
    // A later start handed over this path (empty when it named no file).
    void fileHandedOver(const QString& path);

private:
    void OnConnection();

    QString m_strBase;
    QLockFile m_lock;
    QLocalServer m_server;
};
