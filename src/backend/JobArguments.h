#pragma once

// The command line CUPS starts a backend with: job id, user, title, copies, options and,
// optionally, the file to print (standard input otherwise). The user is not recorded. Plain
// value, any thread.

#include "foundation/Error.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

struct JobArguments
{
    // Arguments after the program name: five without a file, six with one.
    static constexpr qsizetype kCountWithoutFile = 5;
    static constexpr qsizetype kCountWithFile = 6;

    qint64 jobId = 0;
    QString title;
    int copies = 1;
    QByteArray options;
    QString file; // null: the job arrives on standard input

    // The arguments after the program name. A job id or copies that is not a positive decimal
    // number is refused: the id names the spool file.
    static Result<JobArguments> parse(const QByteArrayList &arguments);
};
