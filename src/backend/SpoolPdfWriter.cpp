#include "SpoolPdfWriter.h"

#include "BackendDefaults.h"
#include "PartialFileName.h"
#include "SharedAccess.h"
#include "StalePartialSweep.h"

#include <QFile>
#include <QIODevice>

#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

QString pdfName(qint64 jobId)
{
    return QStringLiteral("%1.pdf").arg(jobId);
}

// Locks the new file and makes sure it is still at its name: a sweep may have taken it between
// its creation and the lock. False when it was lost (the caller tries another name).
bool lockAtName(int folder, const QString &name, int file)
{
    struct stat own = {};
    if (::fstat(file, &own) != 0)
        return false;
    if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
        SharedFolderFiles::removeCheckedFile(folder, name, own);
        return false;
    }
    struct stat named = {};
    return ::fstatat(folder, QFile::encodeName(name).constData(), &named, AT_SYMLINK_NOFOLLOW) ==
               0 &&
           named.st_dev == own.st_dev && named.st_ino == own.st_ino;
}

} // namespace

SpoolPdfWriter::SpoolPdfWriter(QString folder, std::function<bool()> isCancelled,
                               PdfStaging staging)
    : m_folder(std::move(folder))
    , m_isCancelled(std::move(isCancelled))
    , m_staging(staging)
{}

Result<StagedPdf> SpoolPdfWriter::stage(qint64 jobId, QIODevice &source) const
{
    Result<StagedPdf> staged = stageEmpty(jobId);
    if (!staged)
        return staged;
    if (const Result<Done> copied = copy(source, staged.value()); !copied)
        return copied.error();
    return staged;
}

Result<StagedPdf> SpoolPdfWriter::stageEmpty(qint64 jobId) const
{
    Result<FileDescriptor> folder = SharedAccess::makeFolder(m_folder);
    if (!folder)
        return folder.error();
    if (m_staging == PdfStaging::Unnamed) {
        Result<FileDescriptor> file =
            SharedFolderFiles::createUnnamedFile(folder->get(), BackendDefaults::kStagingFileMode);
        if (file)
            return StagedPdf(std::move(folder.value()), m_folder, pdfName(jobId),
                             std::move(file.value()));
        if (!SharedFolderFiles::isUnnamedFileRefused(file.error()))
            return SharedAccess::inFolder(m_folder, file.error());
    }
    return stageAtHiddenName(jobId, std::move(folder.value()));
}

Result<StagedPdf> SpoolPdfWriter::stageAtHiddenName(qint64 jobId, FileDescriptor folder) const
{
    Error lastError;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString partial = PartialFileName::make(jobId);
        // Readable too: the check reads the copy back through the same descriptor.
        Result<FileDescriptor> file = SharedFolderFiles::createFile(
            folder.get(), partial, BackendDefaults::kStagingFileMode, true);
        if (!file && file.error().code != EEXIST)
            return SharedAccess::inFolder(m_folder, file.error());
        if (!file) {
            lastError = file.error();
            continue;
        }
        if (!lockAtName(folder.get(), partial, file->get())) {
            lastError = SharedFolderFiles::systemError(
                QStringLiteral("cannot keep %1").arg(partial), EAGAIN);
            continue;
        }
        return StagedPdf(std::move(folder), m_folder, pdfName(jobId), std::move(file.value()),
                         partial);
    }
    return SharedAccess::inFolder(m_folder, lastError);
}

void SpoolPdfWriter::removeStalePartials() const
{
    if (const Result<FileDescriptor> folder = SharedAccess::makeFolder(m_folder); folder)
        StalePartialSweep::removeStale(folder->get());
}

Result<Done> SpoolPdfWriter::copy(QIODevice &source, const StagedPdf &target) const
{
    const auto failure = [&](const QString &what, const QIODevice &device) {
        return Error{QString::fromLatin1(BackendDefaults::kErrorDomain), EIO,
                     QStringLiteral("%1: %2").arg(what, device.errorString())};
    };
    const QString targetPath = target.description();
    QFile file;
    if (!file.open(target.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return failure(QStringLiteral("cannot write %1").arg(targetPath), file);
    QByteArray block(kBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 length = source.read(block.data(), block.size());
        // A cancelled job's data also ends early, or fails, when CUPS stops the filters before us.
        if (m_isCancelled()) {
            return Error{QString::fromLatin1(BackendDefaults::kErrorDomain), ECANCELED,
                         QStringLiteral("the job was cancelled")};
        }
        if (length < 0)
            return failure(QStringLiteral("cannot read the job's data"), source);
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
