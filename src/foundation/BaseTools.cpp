#include "BaseTools.h"

#include "DatePattern.h"
#include "TextHelpers/Utf8.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUuid>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdio>

namespace {

constexpr const char *kMacInterface = "en0";
constexpr const char *kPreferredInterface = "en0";
constexpr const char *kFallbackInterfaces[] = {"en1", "en2"};
constexpr const char *kNoAddress = "0.0.0.0";
constexpr const char *kTimePattern = "YYYYMMddHHmmss";
constexpr const char *kDatePattern = "YYYYMMdd";
constexpr const char *kCalendarDateFormat = "yyyyMMdd";
constexpr const char *kShell = "/bin/bash";
constexpr const char *kPdfExtension = "pdf";
constexpr const char *kKeptMarker = "job";
constexpr int kMacAddressLength = 6;
constexpr int kRandomAlphabetSize = 36;
constexpr int kDigitCount = 10;
constexpr int kLetterCount = 26;
constexpr int kFtpGroupCount = 4;
constexpr int kFtpGroupMaximumLength = 20;

void printError(const char *line)
{
    std::fputs(line, stdout);
    std::fflush(stdout);
}

// The link-layer address of the named interface of the list, or null after the error line that
// says why: no such interface, or none of its entries carries a link-layer address.
QString macAddressOf(const QList<BaseTools::InterfaceAddress> &interfaces, const QString &name)
{
    bool listed = false;
    for (const BaseTools::InterfaceAddress &entry : interfaces) {
        if (name.isEmpty() || entry.name != name)
            continue;
        listed = true;
        const QByteArray &bytes = entry.hardwareAddress;
        if (bytes.size() < kMacAddressLength)
            continue;
        return QString::asprintf("%02X:%02X:%02X:%02X:%02X:%02X", quint8(bytes[0]),
                                 quint8(bytes[1]), quint8(bytes[2]), quint8(bytes[3]),
                                 quint8(bytes[4]), quint8(bytes[5]));
    }
    printError(listed ? "Error: sysctl, take 2\n" : "Error: if_nametoindex error\n");
    return QString();
}

// The host's interfaces, or nothing after the error line when they cannot be listed.
std::optional<QList<BaseTools::InterfaceAddress>> interfacesForMacAddress()
{
    auto interfaces = BaseTools::interfaceAddresses();
    if (!interfaces)
        printError("Error: sysctl, take 1\n");
    return interfaces;
}

QRandomGenerator *generator()
{
    return QRandomGenerator::system();
}

bool removeEntry(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

// Removes the entries below the folder whose relative path the predicate selects.
template <typename Predicate>
void removeBelow(const QString &folder, Predicate selected)
{
    if (!QFileInfo(folder).isDir())
        return;
    QStringList relativePaths;
    QDirIterator entries(folder,
                         QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
    const QDir base(folder);
    while (entries.hasNext())
        relativePaths << base.relativeFilePath(entries.next());
    for (const QString &relative : std::as_const(relativePaths)) {
        if (selected(relative))
            removeEntry(base.filePath(relative));
    }
}

QString runShell(const QStringList &arguments)
{
    QProcess shell;
    shell.start(QLatin1String(kShell), arguments);
    shell.waitForFinished(-1);
    return Utf8::utf8String(shell.readAllStandardOutput());
}

} // namespace

QString BaseTools::getCurrentTimes()
{
    return getCurrentTimes(QDateTime::currentDateTime());
}

QString BaseTools::getCurrentTimes(const QDateTime &instant, const QString &timeZoneId)
{
    return DatePattern::format(QLatin1String(kTimePattern), instant, timeZoneId);
}

QString BaseTools::stringWithUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString BaseTools::getMacAddress()
{
    const auto interfaces = interfacesForMacAddress();
    return interfaces ? getMacAddress(*interfaces, hostRoles(*interfaces)) : QString();
}

QString BaseTools::getMacAddress(const QString &interfaceName)
{
    const auto interfaces = interfacesForMacAddress();
    return interfaces ? macAddressOf(*interfaces, interfaceName) : QString();
}

QString BaseTools::getMacAddress(const QList<InterfaceAddress> &interfaces,
                                 const NetworkInterfaceRoles &roles)
{
    return macAddressOf(interfaces, roles.interfaceFor(QLatin1String(kMacInterface)));
}

QString BaseTools::getIPAddress()
{
    const std::optional<QList<InterfaceAddress>> interfaces = interfaceAddresses();
    if (!interfaces)
        return QLatin1String(kNoAddress);
    return getIPAddress(*interfaces, hostRoles(*interfaces));
}

QString BaseTools::getIPAddress(const QList<InterfaceAddress> &interfaces,
                                const NetworkInterfaceRoles &roles)
{
    QString result = QLatin1String(kNoAddress);
    for (const InterfaceAddress &entry : interfaces) {
        if (!entry.isIPv4)
            continue;
        const QString role = roles.roleOf(entry.name);
        if (role == QLatin1String(kPreferredInterface)) {
            result = entry.address;
        } else if (result == QLatin1String(kNoAddress)) {
            for (const char *fallback : kFallbackInterfaces) {
                if (role == QLatin1String(fallback))
                    result = entry.address;
            }
        }
        qInfo().noquote() << QStringLiteral("c_ifa_name : %1, ip: %2").arg(entry.name, result);
    }
    return result;
}

std::optional<QList<BaseTools::InterfaceAddress>> BaseTools::interfaceAddresses()
{
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::nullopt;
    QList<InterfaceAddress> interfaces;
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr)
            continue;
        InterfaceAddress address;
        address.name = QString::fromLocal8Bit(entry->ifa_name);
        address.isLoopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        address.isIPv4 = entry->ifa_addr->sa_family == AF_INET;
        if (address.isIPv4) {
            char text[INET_ADDRSTRLEN] = {};
            const auto *ipv4 = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr);
            inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
            address.address = QString::fromLatin1(text);
        } else if (entry->ifa_addr->sa_family == AF_PACKET) {
            const auto *link = reinterpret_cast<const sockaddr_ll *>(entry->ifa_addr);
            address.hardwareAddress =
                QByteArray(reinterpret_cast<const char *>(link->sll_addr),
                           qMin<qsizetype>(link->sll_halen, sizeof link->sll_addr));
        }
        interfaces << address;
    }
    freeifaddrs(list);
    return interfaces;
}

NetworkInterfaceRoles BaseTools::hostRoles(const QList<InterfaceAddress> &interfaces)
{
    QList<NetworkInterfaceRoles::Interface> named;
    for (const InterfaceAddress &entry : interfaces)
        named << NetworkInterfaceRoles::Interface{entry.name, entry.isLoopback};
    return NetworkInterfaceRoles(named, NetworkInterfaceRoles::hostDefaultRouteInterface());
}

QString BaseTools::getVersion()
{
    return QStringLiteral(VQM_VERSION);
}

QString BaseTools::getRandomStringWithNum(int n)
{
    QString text = QStringLiteral("");
    for (int i = 0; i < n; ++i) {
        if (generator()->bounded(kRandomAlphabetSize) >= kDigitCount)
            text.append(QChar(u'a' + generator()->bounded(kLetterCount)));
        else
            text.append(QChar(u'0' + generator()->bounded(kDigitCount)));
    }
    return text;
}

QString BaseTools::stringWithFtpUuid()
{
    QStringList groups;
    for (int i = 0; i < kFtpGroupCount; ++i)
        groups
            << getRandomStringWithNum(generator()->bounded(kFtpGroupMaximumLength) + 1).toUpper();
    return groups.join(u'-');
}

QString BaseTools::getCurrentDate()
{
    return getCurrentDate(QDateTime::currentDateTime());
}

QString BaseTools::getCurrentDate(const QDateTime &instant, const QString &timeZoneId)
{
    return DatePattern::format(QLatin1String(kDatePattern), instant, timeZoneId);
}

QString BaseTools::createDateString()
{
    return createDateString(QDate::currentDate());
}

QString BaseTools::createDateString(const QDate &date)
{
    return date.toString(QLatin1String(kCalendarDateFormat));
}

void BaseTools::deleteAllPdf()
{
    deleteAllPdf(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                 QStringLiteral("/Logs"));
}

void BaseTools::deleteAllPdf(const QString &folder)
{
    const QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (QFileInfo(name).suffix() == QLatin1String(kPdfExtension))
            removeEntry(dir.filePath(name));
    }
}

void BaseTools::deleteOldPdf(const QString &folder)
{
    removeBelow(folder, [](const QString &relative) {
        return !relative.contains(QLatin1String(kKeptMarker));
    });
}

void BaseTools::deleteOldAllPdf(const QString &folder)
{
    removeBelow(folder, [](const QString &) { return true; });
}

void BaseTools::copyFileFromPath(const QString &fromPath, const QString &toPath)
{
    const QDir source(fromPath);
    const QStringList names =
        source.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const QString fullPath = source.filePath(name);
        const QString fullToPath = QDir(toPath).filePath(name);
        qInfo().noquote()
            << QStringLiteral("fullPath = %1, fullToPath = %2").arg(fullPath, fullToPath);
        const QFileInfo entry(fullPath);
        if (!entry.exists())
            continue;
        const bool copied =
            entry.isDir() ? QDir().mkpath(fullToPath) : QFile::copy(fullPath, fullToPath);
        qInfo().noquote()
            << (copied ? QStringLiteral("(null)")
                       : QStringLiteral("could not copy %1 to %2").arg(fullPath, fullToPath));
        if (entry.isDir())
            copyFileFromPath(fullPath, fullToPath);
    }
}

QString BaseTools::fileRename(const QString &path)
{
    const QFileInfo file(path);
    QString newName = QStringLiteral("{%1}").arg(file.completeBaseName());
    if (!file.suffix().isEmpty())
        newName += u'.' + file.suffix();
    const QString newPath = file.dir().filePath(newName);
    qInfo().noquote() << (QFile::copy(path, newPath) ? QStringLiteral("rename success")
                                                     : QStringLiteral("rename fail"));
    return newPath;
}

QString BaseTools::cmd(const QString &command)
{
    qInfo().noquote() << QStringLiteral("-----脚本---%1").arg(command);
    return runShell({QStringLiteral("-c"), command});
}

QString BaseTools::cmdcopy(const QString &scriptPath)
{
    qInfo().noquote() << QStringLiteral("-----脚本---%1").arg(scriptPath);
    return runShell({QStringLiteral("-a"), scriptPath});
}
