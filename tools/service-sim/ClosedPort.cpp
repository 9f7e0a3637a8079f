#include "ClosedPort.h"

#include <QString>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

ClosedPort::~ClosedPort()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

Result<Done> ClosedPort::open()
{
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return Error{QStringLiteral("vqm-service-sim.ftp"), errno,
                     QStringLiteral("cannot reserve a closed port: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)))};
    m_port = ntohs(address.sin_port);
    return Done{};
}
