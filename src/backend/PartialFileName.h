#pragma once

// The hidden names a job's PDF has in the spool folder while the backend writes it: the job id
// and an unguessable part, and no ".pdf" ending, so the monitor never takes it for a job and no
// other user can plant an entry at it beforehand. Plain functions, any thread.

#include <QString>

class PartialFileName
{
public:
    // A new name for a partial file of the job.
    static QString make(qint64 jobId);

    // Whether the name has the form of a partial file: this one, or ".<job id>.partial" as
    // earlier versions named it.
    static bool isPartial(const QString &name);
};
