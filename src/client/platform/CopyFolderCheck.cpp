#include "CopyFolderCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

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
    return SharedFolderFiles::openRegularFile(folder->get(), named.fileName(), O_RDONLY);
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
