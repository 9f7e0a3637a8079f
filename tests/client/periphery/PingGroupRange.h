#pragma once

// Lets the test process open datagram ICMP sockets for as long as it lives. Datagram ICMP needs
// the process's group inside net.ipv4.ping_group_range; as root the range is widened for the
// duration and put back afterwards. Tests of several processes take turns through an exclusive
// lock on the setting itself, so that each restores what it found.
//
// Construct it first in a test; when available() is false, skip with reason().

#include <QString>

class PingGroupRange
{
public:
    PingGroupRange();
    ~PingGroupRange();
    PingGroupRange(const PingGroupRange &) = delete;
    PingGroupRange &operator=(const PingGroupRange &) = delete;

    bool available() const { return m_available; }
    const QString &reason() const { return m_reason; }

private:
    int m_lockDescriptor = -1;
    QByteArray m_original;
    bool m_widened = false;
    bool m_available = false;
    QString m_reason;
};
