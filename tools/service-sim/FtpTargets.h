#pragma once

#include <QString>

// The FTP servers the service names in its answers: the one for each job's own target, the public
// (system) one, and the closed port used when a target is to be unreachable. With the simulator's
// own FTP server both are that server, under two different logins.
struct FtpTargets
{
    struct Server
    {
        QString host;
        quint16 port = 0;
        QString user;
        QString password;
    };

    Server jobServer;
    Server publicServer;
    quint16 unreachablePort = 0;

    // Where the closed port lies, and the host answers name when the servers listen on all
    // addresses.
    static constexpr auto kLoopbackHost = "127.0.0.1";
    // The equipment configuration ids that tell the two targets apart in upload reports.
    static constexpr auto kJobEquipmentId = "1";
    static constexpr auto kPublicEquipmentId = "2";
};
