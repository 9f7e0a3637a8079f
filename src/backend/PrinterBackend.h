#pragma once

// The vqmprinter backend as CUPS runs it. Without arguments it lists its device; with a job it
// records the job's row in the job table first and then leaves the PDF in the spool folder, so
// the row is there by the time the monitor finds the PDF. Messages for CUPS ("ERROR: ...",
// "INFO: ...") go to the message stream, one a line. Runs on the calling thread; the cancel
// check is polled while the PDF is copied (CUPS cancels a job with SIGTERM).

#include <QByteArrayList>
#include <QString>

#include <functional>

class QIODevice;
struct JobArguments;

class PrinterBackend
{
public:
    struct Streams
    {
        QIODevice &input;    // the job's data when no file is named
        QIODevice &output;   // the device listing
        QIODevice &messages; // status lines for CUPS
    };

    // The spool root holds the "pdf_out" and "db" folders.
    PrinterBackend(QString spoolRoot, Streams streams, std::function<bool()> isCancelled);

    // The arguments after the program name; returns the CUPS backend exit status.
    int run(const QByteArrayList &arguments);

private:
    int spool(const JobArguments &job, QIODevice &data);
    int fail(const QString &description);
    void message(const char *prefix, const QString &text);

    QString m_spoolRoot;
    Streams m_streams;
    std::function<bool()> m_isCancelled;
};
