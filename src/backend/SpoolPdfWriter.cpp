#include "SpoolPdfWriter.h"

#include "BackendDefaults.h"
#include "SharedAccess.h"

#include <QFile>
#include <QIODevice>

#include <cerrno>

namespace {

QString pdfName(qint64 jobId)
{
    return QStringLiteral("%1.pdf").arg(jobId);
}

// Hidden, and without the ".pdf" extension the monitor takes as a job.
QString partialName(qint64 jobId)
{
    return QStringLiteral(".%1.partial").arg(jobId);
}

} // namespace

SpoolPdfWriter::SpoolPdfWriter(QString folder, std::function<bool()> isCancelled)
    : m_folder(std::move(folder))
    , m_isCancelled(std::move(isCancelled))
{}

Result<StagedPdf> SpoolPdfWriter::stage(qint64 jobId, QIODevice &source) const
{
    Result<FileDescriptor> folder = SharedAccess::makeFolder(m_folder);
    if (!folder)
        return folder.error();
    const QString partial = partialName(jobId);
    // Readable too: the check reads the copy back through the same descriptor.
    Result<FileDescriptor> file = SharedFolderFiles::replaceFile(
        folder->get(), partial, BackendDefaults::kSharedFileMode, true);
    if (!file)
        return SharedAccess::inFolder(m_folder, file.error());
    const int target = file->get();
    StagedPdf staged(std::move(folder.value()), m_folder, partial, pdfName(jobId),
                     std::move(file.value()));
    if (const Result<Done> copied = copy(source, target, partial); !copied)
        return copied.error();
    return staged;
}

Result<Done> SpoolPdfWriter::copy(QIODevice &source, int target, const QString &targetName) const
{
    const auto failure = [&](const QString &what, const QIODevice &device) {
        return Error{QString::fromLatin1(BackendDefaults::kErrorDomain), EIO,
                     QStringLiteral("%1: %2").arg(what, device.errorString())};
    };
    const QString targetPath = QStringLiteral("%1/%2").arg(m_folder, targetName);
    QFile file;
    if (!file.open(target, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return failure(QStringLiteral("cannot write %1").arg(targetPath), file);
    QByteArray block(kBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 length = source.read(block.data(), block.size());
        if (length < 0)
            return failure(QStringLiteral("cannot read the job's data"), source);
        // A cancelled job's data also ends early, when CUPS stops the filters before us.
        if (m_isCancelled()) {
            return Error{QString::fromLatin1(BackendDefaults::kErrorDomain), ECANCELED,
                         QStringLiteral("the job was cancelled")};
        }
        if (length == 0)
            break;
        if (file.write(block.constData(), length) != length)
            return failure(QStringLiteral("cannot write %1").arg(targetPath), file);
    }
    // A full disk may only show when the last data leaves the buffer.
    if (!file.flush())
        return failure(QStringLiteral("cannot write %1").arg(targetPath), file);
    return Done{};
}
