#include "PrinterBackend.h"

#include "BackendDefaults.h"
#include "CompletePdfCheck.h"
#include "JobArguments.h"
#include "JobDatabaseWriter.h"
#include "JobOptions.h"
#include "SharedAccess.h"
#include "SpoolPdfWriter.h"

#include "foundation/SpoolLayout.h"
#include "foundation/TextHelpers/Base64.h"

#include <QFile>
#include <QIODevice>

#include <cups/backend.h>

namespace {

JobRow rowOf(const JobArguments &job)
{
    const JobOptions options = JobOptions::fromCupsOptions(job.options);
    JobRow row;
    row.jobId = job.jobId;
    row.fileName = Base64::encode(job.title);
    row.copies = QString::number(job.copies);
    row.orientation = QString::number(options.orientation);
    row.duplex = QString::number(options.duplex);
    row.color = QString::number(options.color);
    row.paperSize = QString::number(options.paper.code);
    row.pageType = options.paper.name;
    return row;
}

} // namespace

PrinterBackend::PrinterBackend(QString spoolRoot, Streams streams,
                               std::function<bool()> isCancelled)
    : m_spoolRoot(std::move(spoolRoot))
    , m_streams(streams)
    , m_isCancelled(std::move(isCancelled))
{}

int PrinterBackend::run(const QByteArrayList &arguments)
{
    if (arguments.isEmpty()) {
        m_streams.output.write(QByteArray(BackendDefaults::kDeviceListing) + '\n');
        return CUPS_BACKEND_OK;
    }
    const Result<JobArguments> job = JobArguments::parse(arguments);
    if (!job)
        return fail(job.error().description);
    if (job->file.isNull())
        return spool(job.value(), m_streams.input);
    QFile file(job->file);
    if (!file.open(QIODevice::ReadOnly))
        return fail(
            QStringLiteral("cannot open the job file %1: %2").arg(job->file, file.errorString()));
    return spool(job.value(), file);
}

int PrinterBackend::spool(const JobArguments &job, QIODevice &data)
{
    // The installation makes the spool root; it is made here only where that was skipped.
    if (const Result<FileDescriptor> root = SharedAccess::makeFolder(m_spoolRoot); !root)
        return fail(root.error().description);

    const SpoolPdfWriter pdf(
        QStringLiteral("%1/%2").arg(m_spoolRoot, QLatin1String(SpoolLayout::kPdfFolderName)),
        m_isCancelled);
    Result<StagedPdf> staged = pdf.stage(job.jobId, data);
    if (!staged) {
        // CUPS has already ended a cancelled job; there is nothing to report as a failure.
        if (m_isCancelled()) {
            message("INFO:", QStringLiteral("job %1 cancelled").arg(job.jobId));
            return CUPS_BACKEND_OK;
        }
        return fail(staged.error().description);
    }
    if (const Result<Done> checked = CompletePdfCheck::check(staged->descriptor()); !checked) {
        return CompletePdfCheck::isRefusal(checked.error()) ? refuse(checked.error().description)
                                                            : fail(checked.error().description);
    }

    // The row goes in before the PDF appears under its job name, where the monitor takes it.
    const JobDatabaseWriter database(
        QStringLiteral("%1/%2").arg(m_spoolRoot, QLatin1String(SpoolLayout::kDatabaseFolderName)));
    if (const Result<Done> written = database.write(rowOf(job)); !written)
        return fail(written.error().description);
    if (const Result<Done> published = staged->publish(); !published)
        return fail(published.error().description);
    message("INFO:", QStringLiteral("job %1 handed to the monitor").arg(job.jobId));
    return CUPS_BACKEND_OK;
}

int PrinterBackend::fail(const QString &description)
{
    message("ERROR:", description);
    return CUPS_BACKEND_FAILED;
}

int PrinterBackend::refuse(const QString &description)
{
    message("ERROR:", description);
    return CUPS_BACKEND_CANCEL;
}

void PrinterBackend::message(const char *prefix, const QString &text)
{
    // One line per message: CUPS reads the prefix at the start of each line.
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    m_streams.messages.write(QByteArray(prefix) + ' ' + oneLine.toUtf8() + '\n');
}
