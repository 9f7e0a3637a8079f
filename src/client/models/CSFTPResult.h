#pragma once

// The FTP configuration that the REST path "/api/v1.Tools/ftp" answers with. Property names are
// the JSON member names, except ftpId, which reads the member "id" (read it with
// KeyMappedRecord::fromJson). A plain value; any thread.

#include <QHash>
#include <QObject>
#include <QString>

class CSFTPResult
{
    Q_GADGET
    Q_PROPERTY(qint64 ftpId MEMBER ftpId)
    Q_PROPERTY(QString ftp_ip MEMBER ftp_ip)
    Q_PROPERTY(QString ftp_pwd MEMBER ftp_pwd)
    Q_PROPERTY(qint64 ftp_port MEMBER ftp_port)
    Q_PROPERTY(QString ftp_absolute_dir MEMBER ftp_absolute_dir)
    Q_PROPERTY(qint64 http_type MEMBER http_type)
    Q_PROPERTY(QString ftp_user MEMBER ftp_user)
    Q_PROPERTY(qint64 http_port MEMBER http_port)
    Q_PROPERTY(QString ftp_virtual_dir MEMBER ftp_virtual_dir)
    Q_PROPERTY(QString http_virtual_name MEMBER http_virtual_name)
    Q_PROPERTY(QString http_ip MEMBER http_ip)

public:
    qint64 ftpId = 0;
    QString ftp_ip;
    QString ftp_pwd;
    qint64 ftp_port = 0;
    QString ftp_absolute_dir;
    qint64 http_type = 0;
    QString ftp_user;
    qint64 http_port = 0;
    QString ftp_virtual_dir;
    QString http_virtual_name;
    QString http_ip;

    static QHash<QString, QString> modelCustomPropertyMapper()
    {
        return {{QStringLiteral("ftpId"), QStringLiteral("id")}};
    }
};
