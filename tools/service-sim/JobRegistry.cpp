#include "JobRegistry.h"

JobRegistry::Job &JobRegistry::add(const QString &entId, const QString &userId,
                                   const QString &fileName, QDate day)
{
    Job job;
    job.jobId = m_nextJobId++;
    job.entId = entId;
    job.userId = userId;
    job.fileName = fileName;
    job.dir = QStringLiteral("/%1/%2/%3/").arg(entId, day.toString("yyyyMMdd")).arg(job.jobId);
    return *m_jobs.insert(job.jobId, job);
}

JobRegistry::Job *JobRegistry::find(qint64 jobId)
{
    const auto found = m_jobs.find(jobId);
    return found == m_jobs.end() ? nullptr : &*found;
}
