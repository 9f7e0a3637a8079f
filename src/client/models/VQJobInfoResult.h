#pragma once

// The reply of the job registration and of the FTP-target request: the server job id and the FTP
// target (host, port, user, password, directory, equipment configuration id). Property names are
// the JSON member names; numbers arriving for texts become decimal text. A plain value; any thread.

#include <QObject>
#include <QString>

class VQJobInfoResult
{
    Q_GADGET
    Q_PROPERTY(QString errcode MEMBER errcode)
    Q_PROPERTY(QString errmsg MEMBER errmsg)
    Q_PROPERTY(QString jobId MEMBER jobId)
    Q_PROPERTY(QString saveFileName MEMBER saveFileName)
    Q_PROPERTY(QString ip MEMBER ip)
    Q_PROPERTY(QString port MEMBER port)
    Q_PROPERTY(QString user MEMBER user)
    Q_PROPERTY(QString pwd MEMBER pwd)
    Q_PROPERTY(QString dir MEMBER dir)
    Q_PROPERTY(QString path MEMBER path)
    Q_PROPERTY(QString equip_config_id MEMBER equip_config_id)
    Q_PROPERTY(bool update_file_storage MEMBER update_file_storage)

public:
    QString errcode;
    QString errmsg;
    QString jobId;
    QString saveFileName;
    QString ip;
    QString port;
    QString user;
    QString pwd;
    QString dir;
    QString path;
    QString equip_config_id;
    bool update_file_storage = false;
};
