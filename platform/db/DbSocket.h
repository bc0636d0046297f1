#pragma once

#include <QString>

// Whether this process holds the TCP connection whose ends are local (as this process's end)
// and remote: a server that names its client's address and port tells whether it talks to this
// process itself or to a go-between (a connection pooler) that speaks for it. False where the
// system does not say (no /proc) or an address does not parse.
bool ProcessHoldsTcpConnection(
    const QString& localAddress, int localPort, const QString& remoteAddress, int remotePort);
