#pragma once

// The values the backend records for one job in the job table; the page counts are left empty
// for the monitor to fill. Plain value, any thread.

#include <QString>

struct JobRow
{
    qint64 jobId = 0;
    QString fileName; // the document title as Base64 text
    QString copies;
    QString orientation;
    QString duplex;
    QString color;
    QString paperSize;
    QString pageType; // the paper name, plain text
};
