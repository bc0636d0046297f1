#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

// Keeps the program to one running instance per user. The first start takes a lock
// file and holds it for its whole life, so two quick starts cannot both go on; once
// its window exists it listens on a local socket. A later start finds the lock
// taken, hands its file (possibly none) to the first over the socket and ends; the
// first opens the file and comes to the front.
class CInstanceChecker : public QObject
{
    Q_OBJECT
public:
    // The folder for the lock and the socket; empty: the user's runtime folder.
    explicit CInstanceChecker(const QString& folder = {}, QObject* parent = nullptr);
    ~CInstanceChecker() override;

    // The name both files are made from.
    static QString GetMMFName();

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
