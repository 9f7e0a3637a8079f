#pragma once

// The vqmprinter backend as CUPS runs it. Without arguments it lists its device; with a job it
// copies the job's data into the spool folder out of the monitor's sight, makes the documents of
// a job of several (which CUPS sends back to back) one PDF (DocumentBoundaries, DocumentJoiner),
// lets it through only as a PDF the monitor will take as complete (CompletePdfCheck), records the
// job's row in the job
// table and only then gives the PDF its job name, so the row is there by the time the monitor
// finds the PDF. A document that is refused fails only its own job (CUPS cancels it and the queue
// goes on) and leaves neither file nor row; a spool folder or job table that cannot be written
// fails the job as a broken device does, and CUPS retries it. An entry another user planted at
// the job's name never stops it (StagedPdf). Messages for CUPS ("ERROR: ...", "INFO: ...") go to
// the message stream, one a line; an error line is the reason CUPS shows. Runs on the calling
// thread; the cancel check is polled while the data is copied and before each later step (CUPS
// cancels a job with SIGTERM): a job cancelled before its PDF is published leaves neither file nor
// row.

#include "PdfStaging.h"
#include "StagedPdf.h"

#include "foundation/Error.h"

#include <QByteArrayList>
#include <QString>

#include <functional>
#include <optional>

class QIODevice;
class SpoolPdfWriter;
struct JobArguments;

class PrinterBackend
{
public:
    struct Streams
    {
        QIODevice &input;    // the job's data when no file is named (a CancellableInput)
        QIODevice &output;   // the device listing
        QIODevice &messages; // status lines for CUPS
    };

    // The spool root holds the "pdf_out" and "db" folders.
    PrinterBackend(QString spoolRoot, Streams streams, std::function<bool()> isCancelled,
                   PdfStaging staging = PdfStaging::Unnamed);

    // The arguments after the program name; returns the CUPS backend exit status.
    int run(const QByteArrayList &arguments);

private:
    int spool(const JobArguments &job, QIODevice &data);
    // A second staged file with the staged job's documents joined, when it holds several; none
    // when it holds one, which is published as it came.
    Result<std::optional<StagedPdf>>
    joinDocuments(const JobArguments &job, const SpoolPdfWriter &pdf, const StagedPdf &staged);
    // The job was cancelled before it was handed over: nothing of it is left.
    int cancelled(const JobArguments &job);
    // The job cannot be run (its arguments, the spool folder, the job table): CUPS applies the
    // queue's error policy.
    int fail(const QString &description);
    // The document cannot become a job for the monitor: CUPS cancels this job only.
    int refuse(const QString &description);
    // Refuses for an error about the document, fails for any other.
    int reject(const Error &error);
    void message(const char *prefix, const QString &text);

    QString m_spoolRoot;
    Streams m_streams;
    std::function<bool()> m_isCancelled;
    PdfStaging m_staging;
};
