#include "SpoolPdfWriter.h"

#include "BackendDefaults.h"
#include "SharedAccess.h"

#include <QFile>
#include <QIODevice>

#include <cerrno>
#include <cstdio>

SpoolPdfWriter::SpoolPdfWriter(QString folder, std::function<bool()> isCancelled)
    : m_folder(std::move(folder))
    , m_isCancelled(std::move(isCancelled))
{}

QString SpoolPdfWriter::pdfPath(qint64 jobId) const
{
    return QStringLiteral("%1/%2.pdf").arg(m_folder).arg(jobId);
}

QString SpoolPdfWriter::partialPath(qint64 jobId) const
{
    // Hidden, and without the ".pdf" extension the monitor takes as a job.
    return QStringLiteral("%1/.%2.partial").arg(m_folder).arg(jobId);
}

Result<Done> SpoolPdfWriter::write(qint64 jobId, QIODevice &source) const
{
    if (auto folder = SharedAccess::makeFolder(m_folder); !folder)
        return folder.error();
    const QString partial = partialPath(jobId);
    Result<Done> copied = copy(source, partial);
    if (copied) {
        const QString target = pdfPath(jobId);
        // rename() replaces a stale file of the same name in one step.
        if (std::rename(QFile::encodeName(partial).constData(),
                        QFile::encodeName(target).constData()) != 0) {
            copied = SharedAccess::systemError(
                QStringLiteral("cannot move the PDF to %1").arg(target), errno);
        }
    }
    if (!copied)
        QFile::remove(partial);
    return copied;
}

Result<Done> SpoolPdfWriter::copy(QIODevice &source, const QString &target) const
{
    const auto failure = [&](const QString &what, const QIODevice &device) {
        return Error{QString::fromLatin1(BackendDefaults::kErrorDomain), EIO,
                     QStringLiteral("%1: %2").arg(what, device.errorString())};
    };
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failure(QStringLiteral("cannot create %1").arg(target), file);
    if (auto mode = SharedAccess::grantMode(target, BackendDefaults::kSharedFileMode); !mode)
        return mode.error();
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
            return failure(QStringLiteral("cannot write %1").arg(target), file);
    }
    // A full disk may only show when the last data leaves the buffer.
    if (!file.flush())
        return failure(QStringLiteral("cannot write %1").arg(target), file);
    file.close();
    return Done{};
}
