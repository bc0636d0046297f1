#include "platform/db/DbSocket.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <arpa/inet.h>

#include <array>
#include <cstring>

namespace {

// An address as IPv6, an IPv4 address mapped into it, so that either form of one compares equal.
using Address = std::array<quint8, 16>;

Address MappedV4(const quint8* v4)
{
    Address address {};
    address[10] = address[11] = 0xff;
    std::memcpy(address.data() + 12, v4, 4);
    return address;
}

bool ParseAddress(const QString& text, Address& address)
{
    const QByteArray latin = text.toLatin1();
    quint8 v4[4];
    if (inet_pton(AF_INET, latin.constData(), v4) == 1) {
        address = MappedV4(v4);
        return true;
    }
    return inet_pton(AF_INET6, latin.constData(), address.data()) == 1;
}

// An address and port as /proc/net/tcp and tcp6 write them: the address's 32-bit words each in
// the machine's own byte order, in hexadecimal, then ':' and the port.
bool ParseProcEndpoint(const QByteArray& text, Address& address, int& port)
{
    const qsizetype colon = text.indexOf(':');
    if (colon != 8 && colon != 32)
        return false;
    bool ok = false;
    port = text.mid(colon + 1).toInt(&ok, 16);
    if (!ok)
        return false;
    quint8 bytes[16] = {};
    for (qsizetype word = 0; word < colon / 8; ++word) {
        const quint32 value = text.mid(word * 8, 8).toUInt(&ok, 16);
        if (!ok)
            return false;
        std::memcpy(bytes + word * 4, &value, sizeof value);
    }
    if (colon == 8)
        address = MappedV4(bytes);
    else
        std::memcpy(address.data(), bytes, 16);
    return true;
}

// The inodes of this process's open sockets.
QSet<quint64> OwnSocketInodes()
{
    QSet<quint64> inodes;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        // The link reads "socket:[12345]"; symLinkTarget makes it a path ending so.
        const QString target = QFile::symLinkTarget(fds.filePath(fd));
        const qsizetype open = target.lastIndexOf(QStringLiteral("socket:["));
        if (open >= 0 && target.endsWith(u']'))
            inodes.insert(target.mid(open + 8, target.size() - open - 9).toULongLong());
    }
    return inodes;
}

} // namespace

bool ProcessHoldsTcpConnection(const QString& localAddress, int localPort, const QString& remoteAddress, int remotePort)
{
    Address local {};
    Address remote {};
    if (!ParseAddress(localAddress, local) || !ParseAddress(remoteAddress, remote))
        return false;
    QSet<quint64> inodes;
    for (const char* table : {"/proc/self/net/tcp", "/proc/self/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        file.readLine(); // the heading
        while (!file.atEnd()) {
            // sl local rem st tx:rx tr:when retrnsmt uid timeout inode ...
            const QList<QByteArray> fields = file.readLine().simplified().split(' ');
            Address from {};
            Address to {};
            int fromPort = 0;
            int toPort = 0;
            if (fields.size() < 10 || !ParseProcEndpoint(fields[1], from, fromPort)
                || !ParseProcEndpoint(fields[2], to, toPort) || fromPort != localPort || toPort != remotePort
                || from != local || to != remote)
                continue;
            // The table lists every socket of the network namespace: another process's
            // connection with the same ends (a pooler on the same machine) is not this one's.
            if (inodes.isEmpty())
                inodes = OwnSocketInodes();
            if (inodes.contains(fields[9].toULongLong()))
                return true;
        }
    }
    return false;
}
