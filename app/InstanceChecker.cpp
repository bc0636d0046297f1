#include "app/InstanceChecker.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <unistd.h>

namespace {

QString InstanceFolder(const QString& folder)
{
    if (!folder.isEmpty())
        return folder;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
    return QDir::tempPath();
}

constexpr char kAck = '1';

} // namespace

CInstanceChecker::CInstanceChecker(const QString& folder, const QString& session, QObject* parent)
    : QObject(parent),
      m_strBase(QDir(InstanceFolder(folder)).filePath(BaseName(session))),
      m_lock(m_strBase + QStringLiteral(".lock"))
{
    // Only a lock whose process is gone is stale, however long the program runs.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, &CInstanceChecker::OnConnection);
}

CInstanceChecker::~CInstanceChecker()
{
    m_server.close();
}

QString CInstanceChecker::GetMMFName()
{
    return QStringLiteral("CInstanceChecker_MMF_Vellumcraft");
}

QString CInstanceChecker::SessionName()
{
    const QString platform = QGuiApplication::platformName();
    QString display;
    if (platform == QLatin1String("xcb")) {
        display = qEnvironmentVariable("DISPLAY");
        // ":0" and ":0.0" are the same display.
        static const QRegularExpression screen(QStringLiteral("\\.\\d+$"));
        display.remove(screen);
    } else if (platform.startsWith(QLatin1String("wayland"))) {
        display = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    }
    QString name = display.isEmpty() ? platform : platform + QLatin1Char('-') + display;
    for (QChar& c : name)
        if (!c.isLetterOrNumber() && c != u'-' && c != u'_' && c != u'.' && c != u':')
            c = u'_';
    return name;
}

QString CInstanceChecker::BaseName(const QString& session)
{
    return GetMMFName() + QLatin1Char('-') + QString::number(getuid()) + QLatin1Char('-') + session;
}

bool CInstanceChecker::IsFirstInstance()
{
    return m_lock.isLocked() || m_lock.tryLock(0);
}

bool CInstanceChecker::ActivatePreviousInstance(const QString& path, int timeoutMs)
{
    // The first instance may still be starting (splash, settings) before it listens.
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(m_strBase);
        if (socket.waitForConnected(500))
            break;
        if (deadline.hasExpired())
            return false;
        socket.abort();
        QThread::msleep(100);
    }
    socket.write(path.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 100))))
        return false;
    while (socket.bytesAvailable() == 0)
        if (!socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 100))))
            return false;
    char ack = 0;
    return socket.getChar(&ack) && ack == kAck;
}

bool CInstanceChecker::TrackFirstInstanceRunning()
{
    // Holding the lock makes any socket left at the name a dead instance's.
    QLocalServer::removeServer(m_strBase);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_strBase);
}

void CInstanceChecker::OnConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QString path = QString::fromUtf8(socket->readLine()).chopped(1);
            socket->putChar(kAck);
            socket->flush();
            Q_EMIT fileHandedOver(path);
        });
    }
}
