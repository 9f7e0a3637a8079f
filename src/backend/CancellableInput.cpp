#include "CancellableInput.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

CancellableInput::CancellableInput(int descriptor, std::function<bool()> isCancelled)
    : m_descriptor(descriptor)
    , m_isCancelled(std::move(isCancelled))
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 CancellableInput::readData(char *data, qint64 maxSize)
{
    for (;;) {
        if (m_isCancelled())
            return failed(QStringLiteral("the job was cancelled"));
        pollfd ready = {m_descriptor, POLLIN, 0};
        const int waited = ::poll(&ready, 1, int(kCancelCheckInterval.count()));
        if (waited < 0 && errno == EINTR)
            continue;
        if (waited < 0)
            return failed(QString::fromLocal8Bit(std::strerror(errno)));
        if (waited == 0)
            continue;
        // A closed writer shows as POLLHUP and reads as the end of the data.
        if (ready.revents & POLLNVAL)
            return failed(QString::fromLocal8Bit(std::strerror(EBADF)));
        const ssize_t length = ::read(m_descriptor, data, size_t(maxSize));
        if (length >= 0)
            return length;
        if (errno != EINTR && errno != EAGAIN)
            return failed(QString::fromLocal8Bit(std::strerror(errno)));
    }
}

qint64 CancellableInput::failed(const QString &reason)
{
    setErrorString(reason);
    return -1;
}
