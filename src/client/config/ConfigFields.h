#pragma once

// The configuration values that IniConfigModel and ConfigModel share, in declaration order; each
// record adds its own company key, which the two read differently. A plain value; any thread.

#include <QObject>
#include <QString>

class ConfigFields
{
    Q_GADGET
    Q_PROPERTY(QString printerName MEMBER printerName)
    Q_PROPERTY(QString pAddress MEMBER pAddress)
    Q_PROPERTY(QString serviceIP MEMBER serviceIP)
    Q_PROPERTY(QString servicePort MEMBER servicePort)
    Q_PROPERTY(QString ftpName MEMBER ftpName)
    Q_PROPERTY(bool enableHttps MEMBER enableHttps)
    Q_PROPERTY(bool isNeedQrcode MEMBER isNeedQrcode)

public:
    QString printerName;
    QString pAddress; // the HTTP API's base URL, derived when the record is stored
    QString serviceIP;
    QString servicePort;
    QString ftpName;
    bool enableHttps = false;
    bool isNeedQrcode = false;

    // An unset text as the platform writes a null object, "(null)"; set texts unchanged.
    static QString textOrNull(const QString &text);

protected:
    // One line naming printer name, service address, port, https flag (0 or 1) and company key;
    // unset texts show as "(null)".
    QString describe(const QString &entKey) const;
};
