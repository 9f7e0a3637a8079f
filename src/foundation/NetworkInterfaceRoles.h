#pragma once

// Gives this host's network interfaces the names under which a Mac knows its own: "en0" is the
// primary interface, "en1" and "en2" the second and third, and so on. Other systems name their
// interfaces freely (eth0, enp3s0, wlan0, ...), so the names are mapped, not looked up:
// - "en0" is the interface of the default IPv4 route: the up route with destination and mask
//   0.0.0.0 and the lowest metric in the kernel's routing table (/proc/net/route), the first
//   listed among equals;
// - the other interfaces follow as "en1", "en2", ... in the character order of their names;
// - without such a route (or when it runs over a loopback or unknown interface) every interface
//   takes its role in the character order of the names, from "en0";
// - loopback interfaces take no role.
// A value; any thread.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class NetworkInterfaceRoles
{
public:
    struct Interface
    {
        QString name;
        bool isLoopback = false;
    };

    static constexpr auto kRoutingTable = "/proc/net/route";
    static constexpr auto kRolePrefix = "en";

    // The interfaces may repeat a name (one entry per address, as the system lists them).
    NetworkInterfaceRoles(const QList<Interface> &interfaces, const QString &defaultRouteInterface);

    // The role ("en0", ...) of the host interface; null when it has none.
    QString roleOf(const QString &interfaceName) const;
    // The host interface that has the role; null when none has it.
    QString interfaceFor(const QString &role) const;

    // The interface of the default route in a routing table in the text form of /proc/net/route;
    // null when the table has none.
    static QString defaultRouteInterface(const QByteArray &routingTable);
    // The same for the host's table; null when it has none or cannot be read.
    static QString
    hostDefaultRouteInterface(const QString &routingTablePath = QLatin1String(kRoutingTable));

private:
    // The interface at index i has the role "en<i>".
    QStringList m_byRole;
};
