#pragma once

// Answers about the machine and the moment: time texts, UUIDs, the network identity, the version,
// random names, and a few file and shell helpers. Stateless class functions; callable from any
// thread (the shell helpers block the caller until the command ends).

#include "NetworkInterfaceRoles.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class BaseTools
{
public:
    // One address of one interface, as the interface list reports it.
    struct InterfaceAddress
    {
        QString name;
        bool isIPv4 = false;
        QString address; // dotted decimal for IPv4
        bool isLoopback = false;
        QByteArray hardwareAddress; // the link-layer address of a link-layer entry
    };

    // "YYYYMMddHHmmss" (week-based year) of now in the default time zone, or of the given instant
    // in the given ICU zone (null: default zone).
    static QString getCurrentTimes();
    static QString getCurrentTimes(const QDateTime &instant, const QString &timeZoneId = QString());

    // A new random UUID: 36 upper-case hex digits grouped 8-4-4-4-12.
    static QString stringWithUUID();

    // The interface names "en0", "en1" and "en2" below are a Mac's; NetworkInterfaceRoles maps
    // them to this host's interfaces.

    // The link-layer address of interface "en0" (or of the host interface of that name) as
    // "%02X:%02X:%02X:%02X:%02X:%02X", or null after printing an error line to standard output.
    static QString getMacAddress();
    static QString getMacAddress(const QString &interfaceName);
    static QString getMacAddress(const QList<InterfaceAddress> &interfaces,
                                 const NetworkInterfaceRoles &roles);

    // The IPv4 address by interface preference: en0 always wins (its last address), otherwise the
    // first one on en1 or en2; "0.0.0.0" when none. Writes "c_ifa_name : <name>, ip: <result>"
    // to the process log after each IPv4 entry, with the host's own interface name.
    static QString getIPAddress();
    static QString getIPAddress(const QList<InterfaceAddress> &interfaces,
                                const NetworkInterfaceRoles &roles);
    // The host's interface addresses in list order, or nothing when they cannot be listed.
    static std::optional<QList<InterfaceAddress>> interfaceAddresses();
    // The roles of the listed interfaces on this host (default route from the routing table).
    static NetworkInterfaceRoles hostRoles(const QList<InterfaceAddress> &interfaces);

    // The version text of the programs.
    static QString getVersion();

    // n random characters from digits and lower-case letters; "" when n <= 0.
    static QString getRandomStringWithNum(int n);

    // Four upper-case random groups of 1 to 20 characters joined by "-".
    static QString stringWithFtpUuid();

    // Today (or the given instant) as "YYYYMMdd", with the week-based year.
    static QString getCurrentDate();
    static QString getCurrentDate(const QDateTime &instant, const QString &timeZoneId = QString());

    // Today (or the given date) as calendar year, month and day, "yyyyMMdd".
    static QString createDateString();
    static QString createDateString(const QDate &date);

    // Removes every "pdf" entry directly in the folder ("Logs" in the user's Documents folder by
    // default).
    static void deleteAllPdf();
    static void deleteAllPdf(const QString &folder);

    // Removes every entry below the folder whose relative path does not contain "job".
    static void deleteOldPdf(const QString &folder = QLatin1String(kPdfWriterFolder));
    // Removes every entry below the folder.
    static void deleteOldAllPdf(const QString &folder = QLatin1String(kPdfWriterFolder));

    // Copies every entry of the source folder to the same name in the target folder, folders
    // recursively, writing each pair of paths and each copy's error to the process log.
    static void copyFileFromPath(const QString &fromPath, const QString &toPath);

    // Copies the file beside itself as "{name}.ext" and returns the new path.
    static QString fileRename(const QString &path);

    // Runs the command with "/bin/bash -c" and returns its standard output, leniently decoded.
    static QString cmd(const QString &command);
    // Runs "/bin/bash -a <scriptPath>" and returns its standard output, leniently decoded.
    static QString cmdcopy(const QString &scriptPath);

    static constexpr const char *kPdfWriterFolder = "/Users/Shared/PDFwriter/quenxpdf_out";
};
