#include "NetworkInterfaceRoles.h"

#include <QFile>

#include <limits>

namespace {

// Columns of /proc/net/route, after its header line.
constexpr int kInterfaceColumn = 0;
constexpr int kDestinationColumn = 1;
constexpr int kFlagsColumn = 3;
constexpr int kMetricColumn = 6;
constexpr int kMaskColumn = 7;
constexpr int kHexBase = 16;
constexpr unsigned kRouteUp = 0x0001; // RTF_UP
constexpr auto kAnyAddress = "00000000";

} // namespace

NetworkInterfaceRoles::NetworkInterfaceRoles(const QList<Interface> &interfaces,
                                             const QString &defaultRouteInterface)
{
    for (const Interface &interface : interfaces) {
        if (!interface.isLoopback && !m_byRole.contains(interface.name))
            m_byRole << interface.name;
    }
    m_byRole.sort();
    const qsizetype primary = m_byRole.indexOf(defaultRouteInterface);
    if (primary > 0)
        m_byRole.move(primary, 0);
}

QString NetworkInterfaceRoles::roleOf(const QString &interfaceName) const
{
    const qsizetype index = m_byRole.indexOf(interfaceName);
    return index < 0 ? QString() : QLatin1String(kRolePrefix) + QString::number(index);
}

QString NetworkInterfaceRoles::interfaceFor(const QString &role) const
{
    if (!role.startsWith(QLatin1String(kRolePrefix)))
        return QString();
    bool ok = false;
    const int index = role.mid(qsizetype(qstrlen(kRolePrefix))).toInt(&ok);
    const QString interface = ok ? m_byRole.value(index) : QString();
    // Only the exact spelling names a role: not "en01", not "en+1".
    return roleOf(interface) == role ? interface : QString();
}

QString NetworkInterfaceRoles::defaultRouteInterface(const QByteArray &routingTable)
{
    QString chosen;
    qulonglong lowestMetric = std::numeric_limits<qulonglong>::max();
    const QList<QByteArray> lines = routingTable.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> columns = lines.at(i).simplified().split(' ');
        if (columns.size() <= kMaskColumn)
            continue;
        bool flagsOk = false;
        bool metricOk = false;
        const uint flags = columns.at(kFlagsColumn).toUInt(&flagsOk, kHexBase);
        const qulonglong metric = columns.at(kMetricColumn).toULongLong(&metricOk);
        const bool isDefault =
            columns.at(kDestinationColumn) == kAnyAddress && columns.at(kMaskColumn) == kAnyAddress;
        if (!flagsOk || !metricOk || !isDefault || !(flags & kRouteUp))
            continue;
        if (chosen.isNull() || metric < lowestMetric) {
            chosen = QString::fromLocal8Bit(columns.at(kInterfaceColumn));
            lowestMetric = metric;
        }
    }
    return chosen;
}

QString NetworkInterfaceRoles::hostDefaultRouteInterface(const QString &routingTablePath)
{
    QFile table(routingTablePath);
    if (!table.open(QIODevice::ReadOnly))
        return QString();
    return defaultRouteInterface(table.readAll());
}
