#include "CopyFolderCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

Error refused(const QString &why)
{
    return Error{QString::fromLatin1(CopyFolderCheck::kErrorDomain), EINVAL, why};
}

bool isSameFolder(int folder, const QString &path)
{
    struct stat opened = {};
    struct stat named = {};
    return ::fstat(folder, &opened) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Every user may put files in the copy folder; only one of this user's, as the monitor leaves its
// copies, is uploaded to this user's account.
Result<FileDescriptor> ownedByThisUser(FileDescriptor copy)
{
    struct stat status = {};
    if (::fstat(copy.get(), &status) != 0)
        return refused(QStringLiteral("the file cannot be read"));
    if (status.st_uid != ::geteuid())
        return refused(
            QStringLiteral("the file belongs to user %1, not to this user").arg(status.st_uid));
    return copy;
}

} // namespace

CopyFolderCheck::CopyFolderCheck(QString copyFolder)
    : m_copyFolder(std::move(copyFolder))
{}

Result<FileDescriptor> CopyFolderCheck::openCopy(const QString &pdfPath) const
{
    if (pdfPath.isEmpty())
        return refused(QStringLiteral("no file is named"));
    if (!QDir::isAbsolutePath(pdfPath) || QDir::cleanPath(pdfPath) != pdfPath ||
        pdfPath.contains(QChar(0)))
        return refused(QStringLiteral("the path is not plain and absolute"));

    const Result<FileDescriptor> folder = SharedFolderFiles::openFolder(m_copyFolder);
    if (!folder)
        return refused(QStringLiteral("the copy folder %1 cannot be used: %2")
                           .arg(m_copyFolder, folder.error().description));
    const QFileInfo named(pdfPath);
    if (!isSameFolder(folder->get(), named.path()))
        return refused(QStringLiteral("the file is not in the copy folder %1").arg(m_copyFolder));
    Result<FileDescriptor> copy =
        SharedFolderFiles::openRegularFile(folder->get(), named.fileName(), O_RDONLY);
    if (!copy)
        return copy;
    return ownedByThisUser(std::move(copy.value()));
}

bool CopyFolderCheck::isMissing(const Error &refusal)
{
    return refusal.domain == QLatin1String(SharedFolderFiles::kErrorDomain) &&
           refusal.code == ENOENT;
}

QString CopyFolderCheck::refusal(const QString &pdfPath) const
{
    const Result<FileDescriptor> copy = openCopy(pdfPath);
    if (copy || isMissing(copy.error()))
        return {};
    return copy.error().description;
}
