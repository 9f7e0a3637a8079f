#include "PrinterBackend.h"

#include "BackendDefaults.h"
#include "CancellableInput.h"
#include "ChildProcessStep.h"
#include "CompletePdfCheck.h"
#include "DocumentBoundaries.h"
#include "DocumentJoiner.h"
#include "JobArguments.h"
#include "JobDatabaseWriter.h"
#include "JobOptions.h"
#include "NamedDocumentCount.h"
#include "SharedAccess.h"
#include "SpoolPdfWriter.h"

#include "foundation/SpoolLayout.h"
#include "foundation/TextHelpers/Base64.h"

#include <QFile>
#include <QIODevice>

#include <cups/backend.h>
#include <fcntl.h>

#include <cerrno>

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
                               std::function<bool()> isCancelled, PdfStaging staging)
    : m_spoolRoot(std::move(spoolRoot))
    , m_streams(streams)
    , m_isCancelled(std::move(isCancelled))
    , m_staging(staging)
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
    const FileDescriptor file(
        ::open(QFile::encodeName(job->file).constData(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return fail(SharedFolderFiles::systemError(
                        QStringLiteral("cannot open the job file %1").arg(job->file), errno)
                        .description);
    }
    CancellableInput data(file.get(), m_isCancelled);
    return spool(job.value(), data);
}

int PrinterBackend::spool(const JobArguments &job, QIODevice &data)
{
    // The installation makes the spool root; it is made here only where that was skipped.
    if (const Result<FileDescriptor> root = SharedAccess::makeRoot(m_spoolRoot); !root)
        return fail(root.error().description);

    const SpoolPdfWriter pdf(
        QStringLiteral("%1/%2").arg(m_spoolRoot, QLatin1String(SpoolLayout::kPdfFolderName)),
        m_isCancelled, m_staging);
    pdf.removeStalePartials();
    Result<StagedPdf> staged = pdf.stage(job.jobId, data);
    if (m_isCancelled())
        return cancelled(job);
    if (!staged)
        return fail(staged.error().description);
    Result<std::optional<StagedPdf>> joined = joinDocuments(job, pdf, staged.value());
    if (m_isCancelled())
        return cancelled(job);
    if (!joined)
        return reject(joined.error());
    // The PDF to publish: the joined one, or the staged one as it came.
    StagedPdf &whole = joined->has_value() ? joined.value().value() : staged.value();
    if (const Result<Done> checked = CompletePdfCheck::check(whole.descriptor(), m_isCancelled);
        !checked)
        return reject(checked.error());
    if (m_isCancelled())
        return cancelled(job);

    // The row goes in before the PDF appears under its job name, where the monitor takes it; a
    // job that ends before it is handed over takes its row out again.
    const JobDatabaseWriter database(
        QStringLiteral("%1/%2").arg(m_spoolRoot, QLatin1String(SpoolLayout::kDatabaseFolderName)),
        m_isCancelled);
    const Result<Done> written = database.write(rowOf(job));
    // A cancel also ends the wait for a busy table.
    if (m_isCancelled()) {
        if (written)
            database.remove(job.jobId);
        return cancelled(job);
    }
    if (!written)
        return fail(written.error().description);
    if (const Result<Done> published = whole.publish(); !published) {
        database.remove(job.jobId);
        return fail(published.error().description);
    }
    // From here on the job is the monitor's, cancelled or not.
    message("INFO:", QStringLiteral("job %1 handed to the monitor").arg(job.jobId));
    return CUPS_BACKEND_OK;
}

Result<std::optional<StagedPdf>> PrinterBackend::joinDocuments(const JobArguments &job,
                                                               const SpoolPdfWriter &pdf,
                                                               const StagedPdf &staged)
{
    const Result<QList<DocumentRange>> documents = DocumentBoundaries::find(
        staged.descriptor(), NamedDocumentCount::of(job.options), m_isCancelled);
    if (!documents)
        return documents.error();
    if (documents->size() == 1)
        return std::optional<StagedPdf>();
    Result<StagedPdf> joined = pdf.stageEmpty(job.jobId);
    if (!joined)
        return joined.error();
    // qpdf copies a large stream without a point where it could stop, and works on another user's
    // bytes: in a child process of its own, a cancel ends it at once and a crash fails only it.
    const auto join = [&] {
        return DocumentJoiner::join(staged.descriptor(), documents.value(), joined->descriptor(),
                                    m_isCancelled);
    };
    if (const Result<Done> written = ChildProcessStep::run(join, m_isCancelled); !written)
        return written.error();
    message("INFO:",
            QStringLiteral("job %1: %2 documents joined").arg(job.jobId).arg(documents->size()));
    return std::optional<StagedPdf>(std::move(joined.value()));
}

int PrinterBackend::cancelled(const JobArguments &job)
{
    message("INFO:", QStringLiteral("job %1 stopped before it was handed over").arg(job.jobId));
    // CUPS keeps the state it gave a job it cancelled or held, whatever the status; a job ended
    // by anyone else is retried rather than counted as printed.
    return CUPS_BACKEND_FAILED;
}

int PrinterBackend::fail(const QString &description)
{
    message("ERROR:", description);
    return CUPS_BACKEND_FAILED;
}

int PrinterBackend::reject(const Error &error)
{
    return CompletePdfCheck::isRefusal(error) ? refuse(error.description) : fail(error.description);
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
