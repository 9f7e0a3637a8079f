#include "foundation/NetworkInterfaceRoles.h"

#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Interface = NetworkInterfaceRoles::Interface;

constexpr auto kHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\t"
                         "Window\tIRTT\n";

QByteArray routingTable(std::initializer_list<const char *> routes)
{
    QByteArray table(kHeader);
    for (const char *route : routes)
        table += QByteArray(route) + '\n';
    return table;
}

struct RouteCase
{
    const char *name;
    QByteArray table;
    QString expected;
};

TEST(NetworkInterfaceRoles, DefaultRouteIsTheUpRouteToAnyAddressOfLowestMetric)
{
    const RouteCase cases[] = {
        {"single",
         routingTable({"eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0",
                       "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0"}),
         "eth0"},
        {"lowerMetricListedLater",
         routingTable({"wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0",
                       "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0"}),
         "eth0"},
        {"firstAmongEquals",
         routingTable({"wlan0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0",
                       "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0"}),
         "wlan0"},
        {"routeDownIgnored",
         routingTable({"eth0\t00000000\t0100000A\t0002\t0\t0\t0\t00000000\t0\t0\t0",
                       "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0"}),
         "wlan0"},
        {"onlyNetworkRoutes",
         routingTable({"eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0"}), QString()},
        {"headerOnly", routingTable({}), QString()},
        {"empty", QByteArray(), QString()},
        {"garbage", "eth0 00000000 x y\nnot a table at all\n", QString()},
    };
    for (const RouteCase &c : cases)
        EXPECT_EQ(NetworkInterfaceRoles::defaultRouteInterface(c.table), c.expected) << c.name;
}

TEST(NetworkInterfaceRoles, HostRoutingTableIsReadFromItsFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("route"));
    ASSERT_TRUE(TestSupport::writeFile(
        path, routingTable({"enp3s0\t00000000\t0100000A\t0003\t0\t0\t0\t00000000\t0\t0\t0"})));
    EXPECT_EQ(NetworkInterfaceRoles::hostDefaultRouteInterface(path), "enp3s0");
    EXPECT_TRUE(NetworkInterfaceRoles::hostDefaultRouteInterface(dir.filePath("missing")).isNull());
}

struct RolesCase
{
    const char *name;
    QString defaultRoute;
    QStringList expectedByRole; // the interface of "en0", "en1", ...
};

TEST(NetworkInterfaceRoles, PrimaryIsTheDefaultRouteAndTheOthersFollowByName)
{
    const QList<Interface> interfaces = {
        {"lo", true}, {"wlan0", false}, {"eth1", false}, {"eth0", false}, {"eth0", false}};
    const RolesCase cases[] = {
        {"defaultRouteFirst", "wlan0", {"wlan0", "eth0", "eth1"}},
        {"defaultRouteAlreadyFirstByName", "eth0", {"eth0", "eth1", "wlan0"}},
        {"noDefaultRoute", QString(), {"eth0", "eth1", "wlan0"}},
        {"defaultRouteOverLoopback", "lo", {"eth0", "eth1", "wlan0"}},
        {"defaultRouteOverUnknownInterface", "ppp0", {"eth0", "eth1", "wlan0"}},
    };
    for (const RolesCase &c : cases) {
        const NetworkInterfaceRoles roles(interfaces, c.defaultRoute);
        for (int i = 0; i < c.expectedByRole.size(); ++i) {
            const QString role = QStringLiteral("en%1").arg(i);
            EXPECT_EQ(roles.interfaceFor(role), c.expectedByRole.at(i)) << c.name << " " << i;
            EXPECT_EQ(roles.roleOf(c.expectedByRole.at(i)), role) << c.name << " " << i;
        }
        EXPECT_TRUE(roles.interfaceFor(QStringLiteral("en3")).isNull()) << c.name;
        EXPECT_TRUE(roles.roleOf(QStringLiteral("lo")).isNull()) << c.name;
    }
}

TEST(NetworkInterfaceRoles, OnlyExactRoleNamesNameARole)
{
    const NetworkInterfaceRoles roles({{"eth0", false}, {"eth1", false}}, "eth0");
    for (const char *notARole : {"en01", "en+1", "en", "eth0", "EN0", "en-1", ""})
        EXPECT_TRUE(roles.interfaceFor(QLatin1String(notARole)).isNull()) << notARole;
    EXPECT_TRUE(roles.roleOf(QStringLiteral("eth7")).isNull());
}

} // namespace
