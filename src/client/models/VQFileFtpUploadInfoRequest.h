#pragma once

// The upload report ("fileFtpUploadInfo"): the server job id, the outcome and where the file was
// stored; the request-key pair is set by the service call just before it is sent. Property names
// are the JSON member names; unset (null) texts are left out of the JSON. A plain value; any
// thread.

#include <QObject>
#include <QString>

class VQFileFtpUploadInfoRequest
{
    Q_GADGET
    Q_PROPERTY(QString jobId MEMBER jobId)
    Q_PROPERTY(QString funType READ funType CONSTANT)
    Q_PROPERTY(QString date MEMBER date)
    Q_PROPERTY(QString entId MEMBER entId)
    Q_PROPERTY(QString type MEMBER type)
    Q_PROPERTY(QString DalvemorKeys MEMBER DalvemorKeys)
    Q_PROPERTY(QString state MEMBER state)
    Q_PROPERTY(QString saveFileName MEMBER saveFileName)
    Q_PROPERTY(QString equip_config_id MEMBER equip_config_id)
    Q_PROPERTY(QString update_file_storage MEMBER update_file_storage)

public:
    static constexpr auto kFunType = "fileFtpUploadInfo";

    QString jobId;
    QString date;
    QString entId;
    QString type;
    QString DalvemorKeys;
    QString state;
    QString saveFileName;
    QString equip_config_id;
    QString update_file_storage;

    QString funType() const { return QString::fromLatin1(kFunType); }
};
