#pragma once

#include <QDate>
#include <QJsonObject>
#include <QMap>
#include <QString>

#include <optional>

// The jobs registered through "addSubmitJobInfo", each with the FTP directory the service gave it
// and the upload report it received. Main thread only.
class JobRegistry
{
public:
    struct Job
    {
        qint64 jobId = 0;
        QString entId;
        QString userId;
        QString dir;      // "/<entId>/<yyyyMMdd>/<jobId>/", created by the client level by level
        QString fileName; // the job PDF's name as registered ("org_job_path")
        std::optional<QJsonObject> report;

        QString saveFileName() const { return dir + fileName; }
    };

    Job &add(const QString &entId, const QString &userId, const QString &fileName, QDate day);
    Job *find(qint64 jobId);

private:
    QMap<qint64, Job> m_jobs;
    qint64 m_nextJobId = kFirstJobId;

    static constexpr qint64 kFirstJobId = 1001;
};
