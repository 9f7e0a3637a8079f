#pragma once

// The job registration request ("addSubmitJobInfo"), filled from the logged-in identity (with its
// fresh request-key pair), the print job and the configuration's FTP storage name. Property names
// are the JSON member names; unset (null) texts are left out of the JSON, the three constants are
// always present. A plain value; any thread.

#include <QDateTime>
#include <QObject>
#include <QString>

class IniConfigModel;
class PrnParameterModel;
class VQLoginResult;

class VQAddSubmitJobInfoRequest
{
    Q_GADGET
    Q_PROPERTY(QString doc_size MEMBER doc_size)
    Q_PROPERTY(QString orientation MEMBER orientation)
    Q_PROPERTY(QString docName MEMBER docName)
    Q_PROPERTY(QString doublePrint MEMBER doublePrint)
    Q_PROPERTY(QString org_job_path MEMBER org_job_path)
    Q_PROPERTY(QString org_job_size MEMBER org_job_size)
    Q_PROPERTY(QString funType READ funType CONSTANT)
    Q_PROPERTY(QString DalvemorKeys MEMBER DalvemorKeys)
    Q_PROPERTY(QString user_id MEMBER user_id)
    Q_PROPERTY(QString color MEMBER color)
    Q_PROPERTY(QString file_from READ file_from CONSTANT)
    Q_PROPERTY(QString date MEMBER date)
    Q_PROPERTY(QString total_page MEMBER total_page)
    Q_PROPERTY(QString pageType MEMBER pageType)
    Q_PROPERTY(QString copies MEMBER copies)
    Q_PROPERTY(QString entId MEMBER entId)
    Q_PROPERTY(qint64 paper_source READ paper_source CONSTANT)
    Q_PROPERTY(QString submit_time MEMBER submit_time)
    Q_PROPERTY(QString file_storage_server MEMBER file_storage_server)

public:
    static constexpr auto kFunType = "addSubmitJobInfo";
    static constexpr auto kFileFrom = u8"Mac打印客户端";
    static constexpr qint64 kPaperSource = 1000;
    // Local time, calendar year.
    static constexpr auto kSubmitTimeFormat = "yyyy-MM-dd HH:mm:ss";

    QString doc_size;
    QString orientation;
    QString docName;
    QString doublePrint;
    QString org_job_path;
    QString org_job_size;
    QString DalvemorKeys;
    QString user_id;
    QString color;
    QString date;
    QString total_page;
    QString pageType;
    QString copies;
    QString entId;
    QString submit_time;
    QString file_storage_server;

    QString funType() const { return QString::fromLatin1(kFunType); }
    QString file_from() const;
    qint64 paper_source() const { return kPaperSource; }

    // Fills the request from the identity, the job and the configuration; values are copied as
    // they stand (unset stays unset), only the job PDF's path is cut to its file name.
    void convertFromVQLoginResult(const VQLoginResult &loginResult,
                                  const PrnParameterModel &jobModel, const IniConfigModel &config,
                                  const QDateTime &now = QDateTime::currentDateTime());
};
