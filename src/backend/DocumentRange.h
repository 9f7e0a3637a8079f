#pragma once

// Where one document of a job lies in the job's file: the bytes from start up to, not including,
// end. Plain value, any thread.

#include <QtGlobal>

struct DocumentRange
{
    qint64 start = 0;
    qint64 end = 0;

    qint64 length() const { return end - start; }
    bool operator==(const DocumentRange &) const = default;
};
