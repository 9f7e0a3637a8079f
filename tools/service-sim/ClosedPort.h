#pragma once

#include "foundation/Error.h"

#include <QtGlobal>

// A TCP port on 127.0.0.1 that refuses every connection: a socket bound to it that never listens.
// Holding the socket keeps anyone else from taking the port while the simulator runs, so an FTP
// target naming it is unreachable for sure.
class ClosedPort
{
public:
    ClosedPort() = default;
    ~ClosedPort();
    ClosedPort(const ClosedPort &) = delete;
    ClosedPort &operator=(const ClosedPort &) = delete;

    Result<Done> open();
    quint16 port() const { return m_port; }

private:
    int m_socket = -1;
    quint16 m_port = 0;
};
