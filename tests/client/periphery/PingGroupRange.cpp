#include "PingGroupRange.h"

#include <QByteArray>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

const char *const RangeSetting = "/proc/sys/net/ipv4/ping_group_range";
constexpr auto LockAttempts = 300; // 30 s in steps of 0.1 s
constexpr auto LockStep = std::chrono::milliseconds(100);

bool canOpenIcmpSocket()
{
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
    if (descriptor < 0)
        return false;
    ::close(descriptor);
    return true;
}

QByteArray readSetting(int descriptor)
{
    char text[64] = {};
    const ssize_t read = ::pread(descriptor, text, sizeof text - 1, 0);
    return read > 0 ? QByteArray(text, int(read)).trimmed() : QByteArray();
}

bool writeSetting(const QByteArray &value)
{
    const int descriptor = ::open(RangeSetting, O_WRONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool written =
        ::write(descriptor, value.constData(), size_t(value.size())) == value.size();
    ::close(descriptor);
    return written;
}

bool lockWithin(int descriptor)
{
    for (int attempt = 0; attempt < LockAttempts; ++attempt) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
            return true;
        std::this_thread::sleep_for(LockStep);
    }
    return false;
}

} // namespace

PingGroupRange::PingGroupRange()
{
    if (getuid() != 0) {
        m_available = canOpenIcmpSocket();
        m_reason = QStringLiteral("datagram ICMP sockets are not allowed for this group "
                                  "(net.ipv4.ping_group_range) and the test is not root");
        return;
    }
    m_lockDescriptor = ::open(RangeSetting, O_RDONLY | O_CLOEXEC);
    if (m_lockDescriptor < 0 || !lockWithin(m_lockDescriptor)) {
        m_available = canOpenIcmpSocket();
        m_reason = QStringLiteral("cannot read or lock net.ipv4.ping_group_range: %1")
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_original = readSetting(m_lockDescriptor);
    const QByteArray wide = QByteArray::number(getgid()) + ' ' + QByteArray::number(getgid());
    if (!canOpenIcmpSocket())
        m_widened = writeSetting(wide);
    m_available = canOpenIcmpSocket();
    if (!m_available)
        m_reason = QStringLiteral("net.ipv4.ping_group_range could not be widened (read-only?)");
}

PingGroupRange::~PingGroupRange()
{
    if (m_widened)
        writeSetting(m_original);
    if (m_lockDescriptor >= 0)
        ::close(m_lockDescriptor); // releases the lock
}
